// The one door between the storage engine and the operating system.
// Table, index and lock code reach files only through File and FileSystem, so
// tests can swap in a failing implementation (FaultyFileSystem) and check that
// every mutating operation reports an I/O error instead of a false success.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/status.h"

namespace planilla {

enum class LockKind { Shared, Exclusive };

// Byte reserved for "this file is in use". FileSystem::open takes a shared lock on it
// for as long as the File lives; an exclusive table open turns it into an exclusive
// lock. remove, rename and an open with truncate first try it exclusively, so they
// fail with ErrorCode::InUse while any station (or another File in this process)
// has the file open. It lies far beyond any record or header lock byte.
inline constexpr uint64_t kUseLockOffset = 0x4000000000000000ull;

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at off; *got receives how many were read (short at end of file).
  virtual Status readAt(uint64_t off, void* buf, size_t n, size_t* got) = 0;
  virtual Status writeAt(uint64_t off, const void* buf, size_t n) = 0;
  virtual Result<uint64_t> size() = 0;
  virtual Status truncate(uint64_t len) = 0;
  virtual Status sync() = 0;
  // Tries a byte-range lock once, never waiting. Refusal gives ErrorCode::Locked.
  // Locks belong to this File object (open file description): two File objects on
  // the same path conflict even inside one process.
  virtual Status lock(uint64_t off, uint64_t len, LockKind kind) = 0;
  virtual Status unlock(uint64_t off, uint64_t len) = 0;
  virtual const std::string& path() const = 0;
};

struct OpenOptions {
  bool create = false;     // create when missing
  bool truncate = false;   // empty an existing file (InUse when someone has it open)
  bool readOnly = false;
  bool mustCreate = false; // create, refusing (ErrorCode::Invalid) when the name is taken
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens (resolving the name without regard to case) and takes the shared use lock.
  // A file someone holds exclusively gives ErrorCode::InUse.
  virtual Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions opts) = 0;
  virtual bool exists(const std::string& path) = 0;
  // Both refuse with ErrorCode::InUse, leaving the file in place, while the file
  // (or rename's target) is open anywhere.
  virtual Status remove(const std::string& path) = 0;
  virtual Status rename(const std::string& from, const std::string& to) = 0;
  // Puts `from` in the place of `to` in one step (`to` need not exist). Unlike
  // rename() it makes no use-byte checks: it is for a caller that already holds the
  // use of both, typically a table or index rebuilt beside the old file while the
  // table is open exclusively; the caller's open File of `from` then reaches the
  // file under its new name. The new name is on disk when it returns.
  virtual Status replace(const std::string& from, const std::string& to) = 0;
  // The name as it exists on disk when a file matches `path` without regard to
  // case (in its directory); otherwise `path` unchanged.
  virtual std::string resolve(const std::string& path) = 0;
};

// The real thing for the machine the program runs on: POSIX calls with
// open-file-description locks (F_OFD_SETLK) on Linux, Win32 calls with LockFileEx on
// Windows. Everything above the storage engine reaches files through this one.
FileSystem& platformFileSystem();

#ifdef _WIN32
// CreateFileW with every share mode, LockFileEx/UnlockFileEx at the same byte offsets
// as the POSIX side (record, header, index and use locks), MoveFileExW for renames,
// names in UTF-8 turned into wide characters.
FileSystem& win32FileSystem();
#else
FileSystem& posixFileSystem();
#endif

}  // namespace planilla
