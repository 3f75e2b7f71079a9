// A scratch folder for tests: a fresh directory under the system's temporary folder,
// named "<prefix>-XXXXXX", removed with everything in it when the object goes away.
// Shared by the test helpers of every folder (include "store/tests/temp_dir.h").
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "store/platform.h"

namespace planilla::testutil {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "planilla") {
    // A prefix with a folder in it ("/dev/shm/sweep") makes the folder there; a bare
    // one in the system's temporary folder.
    const std::filesystem::path p = platform::fsPath(prefix);
    auto d = p.has_parent_path() ? platform::makeUniqueFolder(platform::utf8(p.parent_path()), platform::utf8(p.filename()))
                                 : platform::makeUniqueFolder("", prefix);
    path_ = d ? d.value() : "";
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(platform::fsPath(path_), ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  bool has(const std::string& name) const { return std::filesystem::exists(platform::fsPath(file(name))); }

 private:
  std::string path_;
};

}  // namespace planilla::testutil
