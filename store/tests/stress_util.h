// Helpers for the tests that run several stations as separate processes: child
// bookkeeping that never leaves a process behind, a header reader independent of
// the engine's own decoder, and the consistency check as a list of problems.
#pragma once

#ifndef _WIN32  // fork(), signals and pipes: Children and the pipe readers are Linux only
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "store/io.h"
#include "store/verify.h"
#include "store_test_util.h"

namespace planilla::testing {

#ifndef _WIN32
// Child processes of one test. Whatever is still running when the guard goes
// (a failed assertion returned early) is killed by its id and reaped.
class Children {
 public:
  Children() = default;
  Children(const Children&) = delete;
  Children& operator=(const Children&) = delete;
  ~Children() {
    for (pid_t p : pids_) {
      ::kill(p, SIGKILL);
      int st = 0;
      ::waitpid(p, &st, 0);
    }
  }
  void add(pid_t p) { pids_.push_back(p); }
  // Waits for `p` and forgets it; returns the wait status.
  int wait(pid_t p) {
    int st = 0;
    while (::waitpid(p, &st, 0) < 0 && errno == EINTR) {
    }
    forget(p);
    return st;
  }
  // Waits up to `limit` for `p`; kills it when it has not ended by then.
  int waitOrKill(pid_t p, std::chrono::milliseconds limit, bool* killed) {
    *killed = false;
    auto end = std::chrono::steady_clock::now() + limit;
    int st = 0;
    while (true) {
      pid_t r = ::waitpid(p, &st, WNOHANG);
      if (r == p) break;
      if (std::chrono::steady_clock::now() >= end) {
        *killed = true;
        ::kill(p, SIGKILL);
        ::waitpid(p, &st, 0);
        break;
      }
      ::usleep(10000);
    }
    forget(p);
    return st;
  }

 private:
  void forget(pid_t p) {
    for (size_t i = 0; i < pids_.size(); ++i)
      if (pids_[i] == p) {
        pids_.erase(pids_.begin() + static_cast<long>(i));
        break;
      }
  }
  std::vector<pid_t> pids_;
};
#endif  // !_WIN32

// The few header words the checks need, read straight from the bytes.
struct RawHeader {
  bool ok = false;
  uint32_t count = 0;
  uint32_t headerLength = 0;
  uint32_t recordLength = 0;
  uint64_t dataEnd() const { return uint64_t(headerLength) + uint64_t(count) * recordLength; }
};

inline RawHeader rawHeader(const std::string& bytes) {
  RawHeader h;
  if (bytes.size() < 32) return h;
  auto u8 = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
  h.count = u8(4) | (u8(5) << 8) | (u8(6) << 16) | (u8(7) << 24);
  h.headerLength = u8(8) | (u8(9) << 8);
  h.recordLength = u8(10) | (u8(11) << 8);
  h.ok = h.headerLength >= 33 && h.recordLength >= 1;
  return h;
}

// Problems verifyTable reports for the table and its bags, one per line ("" when
// clean). A check that cannot run at all is reported as a problem too.
inline std::string verifyProblems(const std::string& table, const std::vector<std::string>& bags) {
  std::vector<std::string> problems;
  Status st = verifyTable(platformFileSystem(), table, bags, problems);
  std::string all;
  if (!st) all += "verificacion no ejecutada: " + st.message() + "\n";
  for (const auto& p : problems) all += p + "\n";
  return all;
}

#ifndef _WIN32
// Reads from fd until `want` bytes arrived, end of file, or the time is up.
inline std::string readSome(int fd, size_t want, int timeoutMs) {
  std::string out;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < want) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    struct pollfd pfd{fd, POLLIN, 0};
    int r = ::poll(&pfd, 1, static_cast<int>(left));
    if (r <= 0) {
      if (r < 0 && errno == EINTR) continue;
      break;
    }
    char buf[4096];
    ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - out.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// Everything left in fd until end of file (the writer has ended).
inline std::string readToEnd(int fd) {
  std::string out;
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

#endif  // !_WIN32

}  // namespace planilla::testing
