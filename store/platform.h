// The operating-system calls outside the table files, one door for Linux and
// Windows: temporary folders, files made whole and put in place, folder listing,
// the running program's own name and process, file permissions. The code above
// calls these and never the system headers (unistd.h, fcntl.h, sys/..., windows.h);
// platform_posix.cpp and platform_win32.cpp are the two sides.
//
// Names are UTF-8 everywhere (a data folder "PLANILLA ÑAÑA" included); on Windows
// they become wide-character names at this door, never the ANSI code page.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/status.h"

namespace planilla::platform {

// A std::filesystem path for a UTF-8 name, and back. std::filesystem's own
// conversion from std::string uses the ANSI code page on Windows, which loses "Ñ"
// on some machines: every std::filesystem use goes through these.
std::filesystem::path fsPath(const std::string& utf8);
std::string utf8(const std::filesystem::path& p);

#ifdef _WIN32
// UTF-8 to UTF-16 and back; nullopt for bytes that are not UTF-8.
std::optional<std::wstring> widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
#endif

// The system's folder for temporary files (TMPDIR or /tmp; the user's TEMP on
// Windows), without a trailing separator.
std::string tempFolder();

// A new, empty folder "<prefix>-XXXXXX" inside `parent` (tempFolder() when empty),
// made by this call and nobody else's, readable by its owner only where the system
// has owners. Its full name.
Result<std::string> makeUniqueFolder(const std::string& parent, const std::string& prefix);

// This computer's name on the network (empty when it has none).
std::string computerName();

// The running process's number, for names of temporary files beside a target.
long processId();

// The running program's file (empty if the system does not say).
std::string executablePath();

// A plain file, not a link, folder or device (the link itself is not followed).
bool isRegularFile(const std::string& path);

// The names in a folder ("." and ".." left out); empty when it cannot be read.
std::vector<std::string> listFolder(const std::string& dir);

// The whole of a plain file of at most `limit` bytes, opened without waiting (a
// pipe or device under the name is refused, not waited on) and checked on the open
// file: NotFound when missing, Invalid when not a plain file or too big.
Result<std::string> readRegularFile(const std::string& path, long limit);

// The last change of a file (seconds since 1970), nullopt if it cannot be read.
std::optional<std::time_t> modifiedTime(const std::string& path);

// A file created new (refused when the name exists, links included), written and
// made durable, then closed. The way every whole-file output starts beside its
// target before replaceFile() puts it in place.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();  // closes (the file stays; the caller removes it if unwanted)
  NewFile(NewFile&& o) noexcept;
  NewFile& operator=(NewFile&& o) noexcept;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates `path` exclusively. ErrorCode::Invalid when the name is taken.
  static Result<NewFile> create(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  // The C runtime's descriptor of the open file (-1 when closed), for writers that
  // want one (Qt's QFile::open(int, ...)).
  int descriptor() const { return fd_; }
  Status write(std::string_view bytes);
  // Flushes to the disk and closes: a failure of either is reported.
  Status commit();
  const std::string& path() const { return path_; }

 private:
  void close();
  int fd_ = -1;
  std::string path_;
};

// Holds a folder for one writer at a time among stations (waiting for the one
// before): flock(2) on the folder on Linux; on Windows, where folders take no locks,
// a byte of the hidden file ".planilla-carpeta.lck" in it, never written or read.
// A folder whose file system has no locks is still usable: only the exclusion is lost.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(FolderLock&& o) noexcept;
  FolderLock& operator=(FolderLock&& o) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // IoError when the folder cannot be opened.
  static Result<FolderLock> acquire(const std::string& dir);
  void release();

 private:
  intptr_t handle_ = -1;  // a descriptor on POSIX, a HANDLE on Windows
};

// Puts `from` in the place of `to` in one step (`to` need not exist) and makes the
// new name durable: rename(2) and a sync of the folder, or MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH (retried for a second while
// another program has `to` open for a moment). A refusal's message is the system's
// reason alone: every caller names the file in its own words.
Status replaceFile(const std::string& from, const std::string& to);

// Removes a file; true when it is gone (or was never there).
bool removeFile(const std::string& path);

// Flushes a file already written and closed to the disk (a no-op for folders on
// Windows, where folder entries are written through).
Status syncFile(const std::string& path);

// Puts a folder made beside a missing one in its place (rename). Refused when the
// target appeared meanwhile.
Status renameFolder(const std::string& from, const std::string& to);

// The permissions a folder made by the program gets: those of `like` when given, else
// the usual ones for new folders (mode 0777 less the umask). No-op on Windows, where
// a new folder inherits its parent's permissions.
Status setFolderPermissions(const std::string& dir, const std::string& like);

// True when `a` and `b` name the same existing file or folder.
bool sameFile(const std::string& a, const std::string& b);

// The absolute name with links and "." / ".." resolved; nullopt if it does not exist.
std::optional<std::string> realPath(const std::string& path);

// Raises the process's limit of open files to at least `want` where the system has
// such a limit; the limit in force afterwards (-1 when unknown). Windows limits the
// handles of a process by memory only: `want` itself.
long raiseOpenFileLimit(long want);

// The calendar time of `t` on this machine's clock (local) or in UTC.
std::tm localTime(std::time_t t);
std::tm utcTime(std::time_t t);

// True for the system's own folders, where no output file goes: on Linux /usr, /etc,
// /dev and the like (the shared-memory folder is an ordinary scratch place), on
// Windows the Windows folder and the programs' folders. `real` is a realPath().
bool isSystemFolder(const std::string& real);

// Starts a program with these arguments (args[0] found in PATH unless it names a
// path) in a session of its own, not waited for: NotFound when there is no such
// program, IoError with the system's reason when it cannot be started.
Status startDetached(const std::vector<std::string>& args);

// Runs a program (args[0] a path) with these arguments, its standard output thrown
// away, and waits for it: its exit code.
Result<int> runProgram(const std::vector<std::string>& args);

// Sets an environment variable unless it is already set.
void setEnvDefault(const char* name, const char* value);

}  // namespace planilla::platform
