// Another station in another process, on Linux and on Windows alike: the test
// program is started again with only the current test selected and the station's
// role and folder in its environment. The test's body begins with
//
//   if (auto role = testing::stationRole()) { ...the station's part...; return; }
//
// (the station's process exits as the test ends: 0 when its checks held) and the two
// sides meet through files in the shared folder (signalDone / awaitSignal),
// as two workstations on one data folder would.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "store/platform.h"

namespace planilla::testing {

inline constexpr const char* kStationVar = "PLANILLA_TEST_STATION";

struct StationRole {
  std::string role;  // what the station does
  std::string dir;   // the shared folder
};

// Set in a station's process only: "<role>|<folder>".
inline std::optional<StationRole> stationRole() {
  const char* v = std::getenv(kStationVar);
  if (v == nullptr || *v == '\0') return std::nullopt;
  std::string s(v);
  const size_t bar = s.find('|');
  if (bar == std::string::npos) return StationRole{s, ""};
  return StationRole{s.substr(0, bar), s.substr(bar + 1)};
}

// A file named `name` in `dir` says "done" to the other side.
inline void signalDone(const std::string& dir, const std::string& name) {
  std::ofstream(platform::fsPath(dir + "/" + name + ".tmp")) << "1";
  std::error_code ec;
  std::filesystem::rename(platform::fsPath(dir + "/" + name + ".tmp"), platform::fsPath(dir + "/" + name), ec);
}

// Waits for `name` to appear in `dir`; false after `seconds` (a Wine process's first
// start alone can take half a minute).
inline bool awaitSignal(const std::string& dir, const std::string& name, int seconds = 120) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (std::filesystem::exists(platform::fsPath(dir + "/" + name))) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

class StationProcess {
 public:
  StationProcess() = default;
  StationProcess(const StationProcess&) = delete;
  StationProcess& operator=(const StationProcess&) = delete;
  ~StationProcess() {
    if (started_) (void)wait();
  }

  // Starts the current test again as station `role` working in `dir`.
  bool start(const std::string& role, const std::string& dir) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    const std::string exe = platform::executablePath();
    const std::string value = role + "|" + dir;
#ifdef _WIN32
    auto wexe = platform::widen(exe), wfilter = platform::widen(filter), wvalue = platform::widen(value);
    if (!wexe || !wfilter || !wvalue) return false;
    // --gtest_brief: the station prints its failures only.
    std::wstring cmd = L"\"" + *wexe + L"\" " + *wfilter + L" --gtest_brief=1";
    // The child inherits the environment as it is at CreateProcessW.
    ::SetEnvironmentVariableW(L"PLANILLA_TEST_STATION", wvalue->c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL ok = ::CreateProcessW(wexe->c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableW(L"PLANILLA_TEST_STATION", nullptr);
    if (!ok) return false;
    ::CloseHandle(pi.hThread);
    process_ = pi.hProcess;
#else
    std::string var = std::string(kStationVar) + "=" + value;
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
    env.push_back(var.data());
    env.push_back(nullptr);
    std::string exeArg = exe, filterArg = filter, briefArg = "--gtest_brief=1";
    char* argv[] = {exeArg.data(), filterArg.data(), briefArg.data(), nullptr};
    if (::posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv, env.data()) != 0) return false;
#endif
    started_ = true;
    return true;
  }

  // The station's exit code (-1 when it could not be had).
  int wait() {
    if (!started_) return -1;
    started_ = false;
#ifdef _WIN32
    ::WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    const BOOL ok = ::GetExitCodeProcess(process_, &code);
    ::CloseHandle(process_);
    return ok ? static_cast<int>(code) : -1;
#else
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0)
      if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }

 private:
  bool started_ = false;
#ifdef _WIN32
  HANDLE process_ = nullptr;
#else
  pid_t pid_ = -1;
#endif
};

}  // namespace planilla::testing
