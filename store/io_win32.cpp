// Win32 implementation of File and FileSystem, the Windows side of io_posix.cpp.
//
// Every open shares read, write and delete with everybody: several stations use one
// table at once, and a table rebuilt beside the old one is renamed over it while
// stations hold it open. Locks are LockFileEx/UnlockFileEx at the same byte offsets
// as on Linux (records, header, index, the use byte), never waiting.
//
// Where Windows differs from POSIX, and what this file does about it:
// - Locks are mandatory: bytes another handle holds locked cannot be read or written
//   through this one. The lock bytes lie at 0x7FFFFFFE - n and far beyond (the use
//   byte), past any data the engine reads or writes (an append that would reach them
//   is refused), so only a file grown wrong can meet them; such a read is reported
//   as a lock refusal, not as data.
// - A handle that holds a lock cannot take it again: POSIX lets an open file
//   description lock a range it already holds (no-op) or change its kind (shared to
//   exclusive and back). File keeps the ranges it holds and does the same: the same
//   kind again is a no-op, a change of kind lets the range go and takes it anew
//   (and, if the new kind is refused, takes the old kind back).
// - UnlockFileEx must name a range exactly as it was locked; the engine always
//   unlocks what it locked, and a range not held unlocks as a no-op, as on POSIX.
// - A file that is open cannot be replaced by a rename even when shared for delete
//   (the name stays taken until the last handle closes). replace() is for callers
//   that hold the old file themselves: the handles this process has on the target
//   are closed (their File objects answer with an error from then on, as the old
//   file is gone) and the rename is tried again; a station that only looked in
//   between (an open refused by the use byte) is waited for briefly.
#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "store/io.h"
#include "store/platform.h"

namespace planilla {
namespace {

using platform::narrow;
using platform::widen;

// The operating system's reason, in Spanish for the ones an operator meets.
std::string errText(DWORD e) {
  switch (e) {
    case ERROR_ACCESS_DENIED: return "permiso denegado";
    case ERROR_WRITE_PROTECT: return "el disco es de solo lectura";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "no queda espacio en el disco";
    case ERROR_LOCK_VIOLATION: return "otra estacion tiene bloqueada esa parte del archivo";
    case ERROR_SHARING_VIOLATION: return "otro programa tiene el archivo abierto sin compartirlo";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no existe";
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NETPATH:
    case ERROR_UNEXP_NET_ERR: return "se perdio la conexion con la carpeta de red";
    case ERROR_CRC:
    case ERROR_IO_DEVICE: return "error de entrada/salida del disco";
    case ERROR_NO_UNICODE_TRANSLATION: return "el nombre no es texto UTF-8 valido";
    default: return "error de Windows " + std::to_string(e);
  }
}

bool isLockRefusal(DWORD e) { return e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING; }

// Renames are refused while someone has the target (or the source without sharing
// delete) open, and for a moment after the last handle closes.
bool isTransientRenameRefusal(DWORD e) { return e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION; }

size_t lastSeparator(const std::string& path) {
  size_t a = path.rfind('/'), b = path.rfind('\\');
  if (a == std::string::npos) return b;
  if (b == std::string::npos) return a;
  return std::max(a, b);
}

std::string baseOf(const std::string& path) {
  auto slash = lastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

OVERLAPPED at(uint64_t off) {
  OVERLAPPED ov;
  std::memset(&ov, 0, sizeof ov);
  ov.Offset = static_cast<DWORD>(off & 0xFFFFFFFFu);
  ov.OffsetHigh = static_cast<DWORD>(off >> 32);
  return ov;
}

// POSIX reads a length of 0 as "to the end and beyond"; LockFileEx wants a count.
uint64_t lockLength(uint64_t off, uint64_t len) { return len != 0 ? len : UINT64_MAX - off; }

// One attempt at a lock on a handle. Returns 0 or the Windows error.
DWORD tryLock(HANDLE h, uint64_t off, uint64_t len, LockKind kind) {
  OVERLAPPED ov = at(off);
  len = lockLength(off, len);
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (::LockFileEx(h, flags, 0, static_cast<DWORD>(len & 0xFFFFFFFFu), static_cast<DWORD>(len >> 32), &ov))
    return 0;
  return ::GetLastError();
}

DWORD tryUnlock(HANDLE h, uint64_t off, uint64_t len) {
  OVERLAPPED ov = at(off);
  len = lockLength(off, len);
  if (::UnlockFileEx(h, 0, static_cast<DWORD>(len & 0xFFFFFFFFu), static_cast<DWORD>(len >> 32), &ov)) return 0;
  return ::GetLastError();
}

// The key under which open files of one name meet: the full path, in lower case.
std::wstring identity(const std::wstring& wide) {
  DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full;
  if (n > 0) {
    full.resize(n);
    n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    full.resize(n);
  } else {
    full = wide;
  }
  std::replace(full.begin(), full.end(), L'/', L'\\');
  if (!full.empty()) ::CharLowerBuffW(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

class Win32File;

// The files this process has open, by name: replace() closes the ones it puts a new
// file in place of.
class OpenFiles {
 public:
  void add(const std::wstring& id, Win32File* f) {
    std::lock_guard<std::mutex> g(mu_);
    byId_.emplace(id, f);
  }
  void drop(const std::wstring& id, Win32File* f) {
    std::lock_guard<std::mutex> g(mu_);
    auto [b, e] = byId_.equal_range(id);
    for (auto it = b; it != e; ++it)
      if (it->second == f) {
        byId_.erase(it);
        return;
      }
  }
  // Closes the handle of every File open under `id` (they stay as objects).
  int retireAll(const std::wstring& id);

 private:
  std::mutex mu_;
  std::multimap<std::wstring, Win32File*> byId_;
};

OpenFiles& openFiles() {
  static OpenFiles files;
  return files;
}

class Win32File final : public File {
 public:
  Win32File(HANDLE h, std::string path, std::wstring id, bool readOnly)
      : h_(h), path_(std::move(path)), id_(std::move(id)), readOnly_(readOnly) {
    openFiles().add(id_, this);
  }
  ~Win32File() override {
    openFiles().drop(id_, this);
    std::lock_guard<std::mutex> g(mu_);
    closeHandle();
  }

  Status readAt(uint64_t off, void* buf, size_t n, size_t* got) override {
    std::lock_guard<std::mutex> g(mu_);
    size_t done = 0;
    auto* p = static_cast<char*>(buf);
    if (got) *got = 0;
    if (h_ == INVALID_HANDLE_VALUE) return gone();
    while (done < n) {
      DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30)), read = 0;
      OVERLAPPED ov = at(off + done);
      if (!::ReadFile(h_, p + done, want, &read, &ov)) {
        DWORD e = ::GetLastError();
        if (e == ERROR_HANDLE_EOF) break;
        if (got) *got = done;
        if (e == ERROR_LOCK_VIOLATION) return Status::locked("lectura rechazada en " + path_ + ": " + errText(e));
        return Status::ioError("error de lectura en " + path_ + ": " + errText(e));
      }
      if (read == 0) break;
      done += read;
    }
    if (got) *got = done;
    return Status::ok();
  }

  Status writeAt(uint64_t off, const void* buf, size_t n) override {
    std::lock_guard<std::mutex> g(mu_);
    if (h_ == INVALID_HANDLE_VALUE) return gone();
    size_t done = 0;
    const auto* p = static_cast<const char*>(buf);
    while (done < n) {
      DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30)), wrote = 0;
      OVERLAPPED ov = at(off + done);
      if (!::WriteFile(h_, p + done, want, &wrote, &ov)) {
        DWORD e = ::GetLastError();
        if (e == ERROR_LOCK_VIOLATION) return Status::locked("escritura rechazada en " + path_ + ": " + errText(e));
        return Status::ioError("error de escritura en " + path_ + ": " + errText(e));
      }
      if (wrote == 0) return Status::ioError("error de escritura en " + path_ + ": no se escribio nada");
      done += wrote;
    }
    return Status::ok();
  }

  Result<uint64_t> size() override {
    std::lock_guard<std::mutex> g(mu_);
    if (h_ == INVALID_HANDLE_VALUE) return gone();
    LARGE_INTEGER sz;
    if (!::GetFileSizeEx(h_, &sz)) return Status::ioError("no se puede leer el tamano de " + path_);
    return static_cast<uint64_t>(sz.QuadPart);
  }

  Status truncate(uint64_t len) override {
    std::lock_guard<std::mutex> g(mu_);
    if (h_ == INVALID_HANDLE_VALUE) return gone();
    FILE_END_OF_FILE_INFO eof;
    eof.EndOfFile.QuadPart = static_cast<LONGLONG>(len);
    if (!::SetFileInformationByHandle(h_, FileEndOfFileInfo, &eof, sizeof eof))
      return Status::ioError("no se puede truncar " + path_ + ": " + errText(::GetLastError()));
    return Status::ok();
  }

  Status sync() override {
    std::lock_guard<std::mutex> g(mu_);
    if (h_ == INVALID_HANDLE_VALUE) return gone();
    if (readOnly_) return Status::ok();  // nothing written; Windows refuses the call on such a handle
    if (!::FlushFileBuffers(h_))
      return Status::ioError("no se puede grabar en disco " + path_ + ": " + errText(::GetLastError()));
    return Status::ok();
  }

  Status lock(uint64_t off, uint64_t len, LockKind kind) override {
    std::lock_guard<std::mutex> g(mu_);
    if (h_ == INVALID_HANDLE_VALUE) return gone();
    DWORD e = lockLocked(off, len, kind);
    if (e == 0) return Status::ok();
    if (isLockRefusal(e)) return Status::locked("bloqueo ocupado en " + path_);
    return Status::ioError("no se puede bloquear " + path_ + ": " + errText(e));
  }

  Status unlock(uint64_t off, uint64_t len) override {
    std::lock_guard<std::mutex> g(mu_);
    auto it = held_.find({off, len});
    if (it == held_.end() || h_ == INVALID_HANDLE_VALUE) return Status::ok();
    held_.erase(it);
    DWORD e = tryUnlock(h_, off, len);
    if (e == 0 || e == ERROR_NOT_LOCKED) return Status::ok();
    return Status::ioError("no se puede desbloquear " + path_ + ": " + errText(e));
  }

  const std::string& path() const override { return path_; }

  // Lets go of the handle (and its locks): another file has taken this one's name.
  void retire() {
    std::lock_guard<std::mutex> g(mu_);
    closeHandle();
  }

 private:
  // lock() with mu_ held. POSIX semantics over Windows locks (see the top of the file).
  DWORD lockLocked(uint64_t off, uint64_t len, LockKind kind) {
    auto it = held_.find({off, len});
    if (it != held_.end()) {
      if (it->second == kind) return 0;
      const LockKind was = it->second;
      held_.erase(it);
      (void)tryUnlock(h_, off, len);
      DWORD e = tryLock(h_, off, len, kind);
      if (e == 0) {
        held_[{off, len}] = kind;
        return 0;
      }
      // Refused: back to what was held. Should someone have taken the range in the
      // instant between, it is no longer held, and the next lock() says so.
      if (tryLock(h_, off, len, was) == 0) held_[{off, len}] = was;
      return e;
    }
    DWORD e = tryLock(h_, off, len, kind);
    if (e == 0) held_[{off, len}] = kind;
    return e;
  }

  void closeHandle() {
    if (h_ == INVALID_HANDLE_VALUE) return;
    // Locks go explicitly: Windows frees those of a closed handle only "eventually".
    for (const auto& [range, kind] : held_) (void)tryUnlock(h_, range.first, range.second);
    held_.clear();
    ::CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

  Status gone() const {
    return Status::ioError("el archivo " + path_ + " fue reemplazado por otro y ya no se puede usar");
  }

  std::mutex mu_;
  HANDLE h_;
  std::string path_;
  std::wstring id_;
  bool readOnly_;
  std::map<std::pair<uint64_t, uint64_t>, LockKind> held_;
};

int OpenFiles::retireAll(const std::wstring& id) {
  std::vector<Win32File*> victims;
  {
    std::lock_guard<std::mutex> g(mu_);
    auto [b, e] = byId_.equal_range(id);
    for (auto it = b; it != e; ++it) victims.push_back(it->second);
  }
  for (Win32File* f : victims) f->retire();
  return static_cast<int>(victims.size());
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Win32FileSystem final : public FileSystem {
 public:
  std::string resolve(const std::string& path) override {
    std::string base = baseOf(path);
    // A name with wildcards is not a pattern to search for.
    if (base.empty() || base == "." || base == ".." || base.find_first_of("*?") != std::string::npos) return path;
    auto wide = widen(path);
    if (!wide) return path;
    WIN32_FIND_DATAW fd;
    HANDLE f = ::FindFirstFileW(wide->c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return path;
    ::FindClose(f);
    auto found = narrow(fd.cFileName);
    if (found.empty()) return path;
    auto slash = lastSeparator(path);
    return slash == std::string::npos ? found : path.substr(0, slash + 1) + found;
  }

  Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions opts) override {
    std::string real = resolve(path);
    auto wide = widen(real);
    if (!wide) return Status::invalid("no se puede abrir " + path + ": " + errText(ERROR_NO_UNICODE_TRANSLATION));
    DWORD access = GENERIC_READ | (opts.readOnly ? 0 : GENERIC_WRITE);
    DWORD disposition = OPEN_EXISTING;
    if (!opts.readOnly && opts.mustCreate) disposition = CREATE_NEW;
    else if (!opts.readOnly && opts.create) disposition = OPEN_ALWAYS;
    HANDLE h = ::CreateFileW(wide->c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD e = ::GetLastError();
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return Status::notFound("no existe el archivo " + path);
      if ((e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS) && opts.mustCreate)
        return Status::invalid("el archivo " + path + " ya existe");
      if (e == ERROR_SHARING_VIOLATION) return Status::inUse("el archivo " + path + " esta en uso por otro programa");
      return Status::ioError("no se puede abrir " + path + ": " + errText(e));
    }
    auto file = std::make_unique<Win32File>(h, real, identity(*wide), opts.readOnly);
    if (opts.truncate && !opts.readOnly) {
      // Emptying a file another station has open would pull it from under them.
      Status st = file->lock(kUseLockOffset, 1, LockKind::Exclusive);
      if (st.code() == ErrorCode::Locked) return Status::inUse("el archivo " + path + " esta en uso");
      PLANILLA_RETURN_IF_ERROR(st);
      FILE_END_OF_FILE_INFO eof;
      eof.EndOfFile.QuadPart = 0;
      if (!::SetFileInformationByHandle(h, FileEndOfFileInfo, &eof, sizeof eof))
        return Status::ioError("no se puede vaciar " + path + ": " + errText(::GetLastError()));
    }
    Status st = file->lock(kUseLockOffset, 1, LockKind::Shared);  // downgrades after truncate
    if (st.code() == ErrorCode::Locked) return Status::inUse("el archivo " + path + " esta en uso exclusivo");
    PLANILLA_RETURN_IF_ERROR(st);
    return std::unique_ptr<File>(std::move(file));
  }

  bool exists(const std::string& path) override {
    auto wide = widen(resolve(path));
    return wide && ::GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  Status remove(const std::string& path) override {
    std::string real = resolve(path);
    HANDLE h = INVALID_HANDLE_VALUE;
    PLANILLA_RETURN_IF_ERROR(claim(real, path, /*forDelete=*/true, &h));
    // Deleted through the handle that holds the use byte: nobody opens it in between.
    FILE_DISPOSITION_INFO del;
    del.DeleteFile = TRUE;
    BOOL ok = ::SetFileInformationByHandle(h, FileDispositionInfo, &del, sizeof del);
    DWORD e = ok ? 0 : ::GetLastError();
    release(h);
    if (!ok) return Status::ioError("no se puede borrar " + path + ": " + errText(e));
    return Status::ok();
  }

  Status rename(const std::string& from, const std::string& to) override {
    std::string realFrom = resolve(from), realTo = resolve(to);
    HANDLE hFrom = INVALID_HANDLE_VALUE, hTo = INVALID_HANDLE_VALUE;
    PLANILLA_RETURN_IF_ERROR(claim(realFrom, from, false, &hFrom));
    Status st = claim(realTo, to, false, &hTo);
    if (!st.isOk() && st.code() != ErrorCode::NotFound) {
      release(hFrom);
      return st;
    }
    // Our own handles would stop the rename. Whoever opens either name from here on
    // makes Windows refuse it: a file someone has open is not renamed over.
    release(hFrom);
    release(hTo);
    auto wFrom = widen(realFrom), wTo = widen(realTo);
    if (!wFrom || !wTo) return Status::invalid("no se puede renombrar " + from + ": " + errText(ERROR_NO_UNICODE_TRANSLATION));
    if (!::MoveFileExW(wFrom->c_str(), wTo->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DWORD e = ::GetLastError();
      if (isTransientRenameRefusal(e)) return Status::inUse("el archivo " + to + " esta en uso");
      return Status::ioError("no se puede renombrar " + from + ": " + errText(e));
    }
    return Status::ok();
  }

  Status replace(const std::string& from, const std::string& to) override {
    std::string realFrom = resolve(from), realTo = resolve(to);
    auto wFrom = widen(realFrom), wTo = widen(realTo);
    if (!wFrom || !wTo)
      return Status::invalid("no se puede poner " + baseOf(from) + " en lugar de " + baseOf(to) + ": " +
                             errText(ERROR_NO_UNICODE_TRANSLATION));
    DWORD e = 0;
    bool retired = false;
    // About a second for a station that opened the old file only to be refused by
    // its use byte (it closes at once).
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (::MoveFileExW(wFrom->c_str(), wTo->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Status::ok();
      e = ::GetLastError();
      if (!isTransientRenameRefusal(e)) break;
      if (!retired) {
        // The caller's own hold on the old file: it goes with the old file.
        retired = true;
        if (openFiles().retireAll(identity(*wTo)) > 0) continue;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Status::ioError("no se puede poner " + baseOf(from) + " en lugar de " + baseOf(to) + ": " + errText(e));
  }

 private:
  // Opens `real` and takes its use byte exclusively, so nobody can open it while it
  // is removed or renamed. *h receives the handle to release afterwards.
  Status claim(const std::string& real, const std::string& shown, bool forDelete, HANDLE* h) {
    *h = INVALID_HANDLE_VALUE;
    auto wide = widen(real);
    if (!wide) return Status::invalid("nombre invalido: " + shown);
    // A read handle is enough to take a lock; delete needs its own right.
    DWORD access = GENERIC_READ | (forDelete ? DELETE : 0);
    *h = ::CreateFileW(wide->c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (*h == INVALID_HANDLE_VALUE) {
      DWORD e = ::GetLastError();
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return Status::notFound("no existe el archivo " + shown);
      if (e == ERROR_SHARING_VIOLATION) return Status::inUse("el archivo " + shown + " esta en uso por otro programa");
      return Status::ioError("no se puede abrir " + shown + ": " + errText(e));
    }
    DWORD e = tryLock(*h, kUseLockOffset, 1, LockKind::Exclusive);
    if (e != 0) {
      ::CloseHandle(*h);
      *h = INVALID_HANDLE_VALUE;
      if (isLockRefusal(e)) return Status::inUse("el archivo " + shown + " esta en uso");
      return Status::ioError("no se puede bloquear " + shown + ": " + errText(e));
    }
    return Status::ok();
  }

  static void release(HANDLE& h) {
    if (h == INVALID_HANDLE_VALUE) return;
    (void)tryUnlock(h, kUseLockOffset, 1);
    ::CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
};

}  // namespace

FileSystem& win32FileSystem() {
  static Win32FileSystem fs;
  return fs;
}

FileSystem& platformFileSystem() { return win32FileSystem(); }

}  // namespace planilla

#endif  // _WIN32
