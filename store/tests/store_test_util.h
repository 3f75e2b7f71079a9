// Helpers shared by the storage tests: a scratch folder per test, small tables.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/table.h"
#include "store/tests/temp_dir.h"

namespace planilla::testing {

// A scratch folder for the storage tests ("planilla-store-XXXXXX"), removed at the end.
class ScratchDir : public testutil::TempDir {
 public:
  ScratchDir() : TempDir("planilla-store") {}
};

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Output of a shell command (stdout), and its exit status.
inline int runCommand(const std::string& cmd, std::string* out) {
  out->clear();
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  return ::pclose(p);
}

inline std::string sharedDir() { return PLANILLA_SHARED_DIR; }

inline std::string padRight(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

// A small employee-like layout used by many tests.
inline std::vector<FieldSpec> personFields() {
  return {{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}, {"SUELDO", 'N', 10, 2},
          {"INGRESO", 'D', 8, 0}, {"ACTIVO", 'L', 1, 0}};
}

}  // namespace planilla::testing
