// POSIX implementation of File and FileSystem: pread/pwrite, open-file-description
// locks (F_OFD_SETLK, never waiting) and case-insensitive name resolution.
#ifndef _WIN32  // io_win32.cpp is the Windows side

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/io.h"

namespace planilla {
namespace {

// The operating system's reason, in Spanish for the ones an operator meets.
std::string errText(int e) {
  switch (e) {
    case EACCES:
    case EPERM: return "permiso denegado";
    case EROFS: return "el disco es de solo lectura";
    case ENOSPC: return "no queda espacio en el disco";
    case EDQUOT: return "se agoto la cuota de disco";
    case EIO: return "error de entrada/salida del disco";
    default: return std::string(std::strerror(e));
  }
}

bool isLockRefusal(int e) { return e == EAGAIN || e == EACCES || e == EWOULDBLOCK; }

// One attempt at a lock on an open file description. Returns 0, or errno.
int tryLock(int fd, uint64_t off, uint64_t len, short type) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(off);
  fl.l_len = static_cast<off_t>(len);
  fl.l_pid = 0;
  while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    return errno;
  }
  return 0;
}

// True when some open file description holds a lock that conflicts with an
// exclusive lock on the use byte (works on descriptors opened read-only).
bool useByteTaken(int fd) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(kUseLockOffset);
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

std::string dirOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);  // closing the description releases its locks
  }

  Status readAt(uint64_t off, void* buf, size_t n, size_t* got) override {
    size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(off + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        if (got) *got = done;
        return Status::ioError("error de lectura en " + path_ + ": " + errText(errno));
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    if (got) *got = done;
    return Status::ok();
  }

  Status writeAt(uint64_t off, const void* buf, size_t n) override {
    size_t done = 0;
    const auto* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(off + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return Status::ioError("error de escritura en " + path_ + ": " + errText(errno));
      }
      done += static_cast<size_t>(r);
    }
    return Status::ok();
  }

  Result<uint64_t> size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Status::ioError("no se puede leer el tamano de " + path_);
    return static_cast<uint64_t>(st.st_size);
  }

  Status truncate(uint64_t len) override {
    while (::ftruncate(fd_, static_cast<off_t>(len)) != 0) {
      if (errno == EINTR) continue;
      return Status::ioError("no se puede truncar " + path_ + ": " + errText(errno));
    }
    return Status::ok();
  }

  Status sync() override {
    if (::fdatasync(fd_) != 0 && errno != EINVAL)
      return Status::ioError("no se puede grabar en disco " + path_ + ": " + errText(errno));
    return Status::ok();
  }

  Status lock(uint64_t off, uint64_t len, LockKind kind) override {
    int e = tryLock(fd_, off, len, kind == LockKind::Shared ? F_RDLCK : F_WRLCK);
    if (e == 0) return Status::ok();
    if (isLockRefusal(e)) return Status::locked("bloqueo ocupado en " + path_);
    return Status::ioError("no se puede bloquear " + path_ + ": " + errText(e));
  }

  Status unlock(uint64_t off, uint64_t len) override {
    int e = tryLock(fd_, off, len, F_UNLCK);
    if (e == 0) return Status::ok();
    return Status::ioError("no se puede desbloquear " + path_ + ": " + errText(e));
  }

  const std::string& path() const override { return path_; }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::string resolve(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return path;
    std::string dir = dirOf(path), base = baseOf(path);
    if (base.empty()) return path;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return path;
    std::string found;
    while (struct dirent* e = ::readdir(d)) {
      if (::strcasecmp(e->d_name, base.c_str()) == 0) {
        found = e->d_name;
        break;
      }
    }
    ::closedir(d);
    if (found.empty()) return path;
    auto slash = path.rfind('/');
    return slash == std::string::npos ? found : path.substr(0, slash + 1) + found;
  }

  Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions opts) override {
    std::string real = resolve(path);
    int flags = O_CLOEXEC | (opts.readOnly ? O_RDONLY : O_RDWR);
    if ((opts.create || opts.mustCreate) && !opts.readOnly) flags |= O_CREAT;
    if (opts.mustCreate && !opts.readOnly) flags |= O_EXCL;
    int fd;
    do {
      fd = ::open(real.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      int e = errno;
      if (e == ENOENT) return Status::notFound("no existe el archivo " + path);
      if (e == EEXIST && opts.mustCreate) return Status::invalid("el archivo " + path + " ya existe");
      return Status::ioError("no se puede abrir " + path + ": " + errText(e));
    }
    auto file = std::make_unique<PosixFile>(fd, real);
    if (opts.truncate && !opts.readOnly) {
      // Emptying a file another station has open would pull it from under them.
      int e = tryLock(fd, kUseLockOffset, 1, F_WRLCK);
      if (e != 0) {
        if (isLockRefusal(e)) return Status::inUse("el archivo " + path + " esta en uso");
        return Status::ioError("no se puede bloquear " + path + ": " + errText(e));
      }
      if (::ftruncate(fd, 0) != 0)
        return Status::ioError("no se puede vaciar " + path + ": " + errText(errno));
    }
    int e = tryLock(fd, kUseLockOffset, 1, F_RDLCK);  // downgrades after truncate
    if (e != 0) {
      if (isLockRefusal(e)) return Status::inUse("el archivo " + path + " esta en uso exclusivo");
      return Status::ioError("no se puede bloquear " + path + ": " + errText(e));
    }
    return std::unique_ptr<File>(std::move(file));
  }

  bool exists(const std::string& path) override {
    struct stat st;
    return ::stat(resolve(path).c_str(), &st) == 0;
  }

  Status remove(const std::string& path) override {
    std::string real = resolve(path);
    int fd = -1;
    PLANILLA_RETURN_IF_ERROR(claim(real, path, &fd));
    int r = ::unlink(real.c_str());
    int e = errno;
    if (fd >= 0) ::close(fd);
    if (r != 0) {
      if (e == ENOENT) return Status::notFound("no existe el archivo " + path);
      return Status::ioError("no se puede borrar " + path + ": " + errText(e));
    }
    return Status::ok();
  }

  Status rename(const std::string& from, const std::string& to) override {
    std::string realFrom = resolve(from), realTo = resolve(to);
    int fdFrom = -1, fdTo = -1;
    PLANILLA_RETURN_IF_ERROR(claim(realFrom, from, &fdFrom));
    Status st = claim(realTo, to, &fdTo);
    if (!st.isOk() && st.code() != ErrorCode::NotFound) {
      if (fdFrom >= 0) ::close(fdFrom);
      return st;
    }
    int r = ::rename(realFrom.c_str(), realTo.c_str());
    int e = errno;
    if (fdFrom >= 0) ::close(fdFrom);
    if (fdTo >= 0) ::close(fdTo);
    if (r != 0) return Status::ioError("no se puede renombrar " + from + ": " + errText(e));
    return Status::ok();
  }

  Status replace(const std::string& from, const std::string& to) override {
    std::string realFrom = resolve(from), realTo = resolve(to);
    if (::rename(realFrom.c_str(), realTo.c_str()) != 0)
      return Status::ioError("no se puede poner " + baseOf(from) + " en lugar de " + baseOf(to) + ": " +
                             errText(errno));
    // The new name on disk before the caller goes on: replacements that follow (a
    // table, then its bags) then reach the disk in the order they were made.
    int dfd = ::open(dirOf(realTo).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      int r = ::fsync(dfd);
      int e = errno;
      ::close(dfd);
      if (r != 0 && e != EINVAL && e != EBADF)
        return Status::ioError("no se puede grabar en disco el nombre de " + baseOf(to) + ": " + errText(e));
    }
    return Status::ok();
  }

 private:
  // Opens `real` and takes its use byte exclusively, so nobody can open it while it
  // is removed or replaced. *fd receives the descriptor to close afterwards.
  Status claim(const std::string& real, const std::string& shown, int* fd) {
    *fd = ::open(real.c_str(), O_RDWR | O_CLOEXEC);
    if (*fd < 0 && (errno == EACCES || errno == EISDIR || errno == EROFS)) {
      // Not writable by us: we can only look for other users, not hold them off.
      int rfd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
      if (rfd < 0) return Status::ioError("no se puede abrir " + shown + ": " + errText(errno));
      bool taken = useByteTaken(rfd);
      ::close(rfd);
      if (taken) return Status::inUse("el archivo " + shown + " esta en uso");
      return Status::ok();
    }
    if (*fd < 0) {
      if (errno == ENOENT) return Status::notFound("no existe el archivo " + shown);
      return Status::ioError("no se puede abrir " + shown + ": " + errText(errno));
    }
    int e = tryLock(*fd, kUseLockOffset, 1, F_WRLCK);
    if (e != 0) {
      ::close(*fd);
      *fd = -1;
      if (isLockRefusal(e)) return Status::inUse("el archivo " + shown + " esta en uso");
      return Status::ioError("no se puede bloquear " + shown + ": " + errText(e));
    }
    return Status::ok();
  }
};

}  // namespace

FileSystem& posixFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

FileSystem& platformFileSystem() { return posixFileSystem(); }

}  // namespace planilla

#endif  // !_WIN32
