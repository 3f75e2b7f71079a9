// A FileSystem for tests that fails on purpose: the Nth mutating call (write,
// truncate, sync, lock, creating open, remove, rename, replace) reports an I/O error, and
// optionally every mutating call after it too. Reads always pass through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "store/io.h"

namespace planilla {

class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& base) : base_(base) {}

  // Call number `n` (1-based, counted from now) fails; 0 disarms. With `sticky`
  // every later mutating call fails as well, like a disk that went away.
  void failAt(int64_t n, bool sticky = false) {
    calls_ = 0;
    failAt_ = n;
    sticky_ = sticky;
    failed_ = false;
  }
  void disarm() { failAt_ = 0; sticky_ = false; failed_ = false; }
  int64_t calls() const { return calls_; }   // mutating calls since failAt()/disarm()
  bool failed() const { return failed_; }    // whether an injected failure happened

  Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions opts) override;
  bool exists(const std::string& path) override { return base_.exists(path); }
  Status remove(const std::string& path) override;
  Status rename(const std::string& from, const std::string& to) override;
  Status replace(const std::string& from, const std::string& to) override;
  std::string resolve(const std::string& path) override { return base_.resolve(path); }

  // Used by the file wrappers: counts one mutating call and says whether it fails.
  bool shouldFail();

 private:
  FileSystem& base_;
  int64_t calls_ = 0;
  int64_t failAt_ = 0;
  bool sticky_ = false;
  bool failed_ = false;
};

}  // namespace planilla
