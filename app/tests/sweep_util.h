// What the sweep tests share: the tracer that counts and cuts the engine's writing
// calls, a scratch folder in memory where there is one, and the copies they make.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace planilla::testing {

// The writing calls of the engine: every change to a file goes through one of them.
inline const char* const kWrites = "pwrite64,ftruncate,rename,renameat,renameat2,unlink,unlinkat";

// The tracer in front of the executable. A sanitized build's leak check cannot run
// under a tracer: it is left out there.
inline std::string tracer(const std::string& options) {
  return "ASAN_OPTIONS=detect_leaks=0 strace -f -qq " + options;
}

inline bool straceUsable() { return std::system("strace -f -qq -o /dev/null true >/dev/null 2>&1") == 0; }

// The scratch folder goes to a memory file system when there is one: the thousand
// runs of a sweep then spend no time waiting for the disk.
inline std::string scratchPrefix(const std::string& name) {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm/" + name;
  return name;
}

inline void copyTree(const std::string& from, const std::string& to) {
  std::filesystem::remove_all(to);
  std::filesystem::copy(from, to);
}

// The temporary files left in `dir`.
inline std::vector<std::string> leftovers(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".tmp") out.push_back(e.path().filename().string());
  return out;
}

}  // namespace planilla::testing
