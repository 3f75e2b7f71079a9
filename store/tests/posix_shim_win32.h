// The few POSIX C calls the test programs use that Windows lacks (environment and
// scratch folders), for the Windows build of the tests only: planilla_test puts this
// header in front of every test source there. The program itself never uses it.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <random>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable on Windows.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Replaces the trailing "XXXXXX" and creates the folder, which must not exist yet.
inline char* mkdtemp(char* tmpl) {
  const size_t n = strlen(tmpl);
  if (n < 6 || strcmp(tmpl + n - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = n - 6; i < n; ++i) tmpl[i] = kChars[rd() % (sizeof kChars - 1)];
    if (_mkdir(tmpl) == 0) return tmpl;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}
#endif
