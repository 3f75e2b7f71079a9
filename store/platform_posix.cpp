// The POSIX side of platform.h.
#ifndef _WIN32  // platform_win32.cpp is the Windows side

#include <dirent.h>
#include <spawn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/platform.h"

extern char** environ;

namespace planilla::platform {
namespace {

Status osError(const std::string& what, int err) { return Status::ioError(what + ": " + std::strerror(err)); }

std::string dirOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::path(utf8); }
std::string utf8(const std::filesystem::path& p) { return p.string(); }

std::string tempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = env && *env ? env : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

Result<std::string> makeUniqueFolder(const std::string& parent, const std::string& prefix) {
  std::string base = parent.empty() ? tempFolder() : parent;
  std::string tmpl = (base == "/" ? "" : base) + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) return osError("no se puede crear una carpeta en " + base, errno);
  return tmpl;
}

std::string computerName() {
  char buf[256] = {0};
  if (::gethostname(buf, sizeof buf - 1) != 0) return "";
  return buf;
}

long processId() { return static_cast<long>(::getpid()); }

std::string executablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> listFolder(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

Result<std::string> readRegularFile(const std::string& path, long limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return Status::notFound(path + " no existe");
    return Status::ioError("No se puede leer " + path + ": " + std::strerror(errno));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Status::ioError("No se puede leer " + path + ": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Status::invalid(path + " no es un archivo de texto comun: reemplacelo por uno");
  if (st.st_size > limit)
    return Status::invalid(path + " tiene " + std::to_string(st.st_size) + " bytes, mas del maximo de " +
                           std::to_string(limit));
  std::string text;
  char buf[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::ioError("No se puede leer " + path + ": " + std::strerror(errno));
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.size() > static_cast<size_t>(limit))
      return Status::invalid(path + " tiene mas del maximo de " + std::to_string(limit) + " bytes");
  }
  return text;
}

std::optional<std::time_t> modifiedTime(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return st.st_mtime;
}

NewFile::~NewFile() { close(); }
NewFile::NewFile(NewFile&& o) noexcept : fd_(o.fd_), path_(std::move(o.path_)) { o.fd_ = -1; }
NewFile& NewFile::operator=(NewFile&& o) noexcept {
  if (this != &o) {
    close();
    fd_ = o.fd_;
    path_ = std::move(o.path_);
    o.fd_ = -1;
  }
  return *this;
}

void NewFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Result<NewFile> NewFile::create(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == EEXIST) return Status::invalid("el archivo " + path + " ya existe");
    return osError("no se puede crear " + path, errno);
  }
  NewFile f;
  f.fd_ = fd;
  f.path_ = path;
  return f;
}

Status NewFile::write(std::string_view bytes) {
  if (fd_ < 0) return Status::ioError("no se puede escribir " + path_ + ": archivo cerrado");
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return osError("no se puede escribir " + path_, errno);
    }
    done += static_cast<size_t>(n);
  }
  return Status::ok();
}

Status NewFile::commit() {
  if (fd_ < 0) return Status::ioError("no se puede grabar " + path_ + ": archivo cerrado");
  const int fd = fd_;
  fd_ = -1;
  const int syncRc = ::fsync(fd), syncErr = errno;
  const int closeRc = ::close(fd), closeErr = errno;
  if (syncRc != 0) return osError("no se puede grabar " + path_, syncErr);
  if (closeRc != 0) return osError("no se puede grabar " + path_, closeErr);
  return Status::ok();
}

FolderLock::~FolderLock() { release(); }
FolderLock::FolderLock(FolderLock&& o) noexcept : handle_(o.handle_) { o.handle_ = -1; }
FolderLock& FolderLock::operator=(FolderLock&& o) noexcept {
  if (this != &o) {
    release();
    handle_ = o.handle_;
    o.handle_ = -1;
  }
  return *this;
}

void FolderLock::release() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
  handle_ = -1;
}

Result<FolderLock> FolderLock::acquire(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return osError("No se pudo abrir la carpeta " + dir, errno);
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  FolderLock l;
  l.handle_ = fd;
  return l;
}

Status replaceFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Status::ioError(std::strerror(errno));
  // The new name on disk: a crash after this call leaves the new file, not the old.
  const int dfd = ::open(dirOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
  return Status::ok();
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

Status syncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return osError("no se puede abrir " + path, errno);
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  return rc == 0 ? Status::ok() : osError("no se puede grabar " + path, err);
}

Status renameFolder(const std::string& from, const std::string& to) {
  // rename(2) takes the place of an empty folder and refuses one with something in it.
  if (::rename(from.c_str(), to.c_str()) != 0) return osError("no se puede crear " + to, errno);
  return Status::ok();
}

Status setFolderPermissions(const std::string& dir, const std::string& like) {
  if (!like.empty()) {
    struct stat existing {};
    if (::stat(like.c_str(), &existing) != 0) return osError("no se puede consultar " + like, errno);
    if (::chmod(dir.c_str(), existing.st_mode & 07777) != 0) return osError("chmod " + like, errno);
    (void)::chown(dir.c_str(), static_cast<uid_t>(-1), existing.st_gid);  // the group when allowed
    return Status::ok();
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::chmod(dir.c_str(), 0777 & ~mask) != 0) return osError("chmod " + dir, errno);
  return Status::ok();
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::optional<std::string> realPath(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf) == nullptr) return std::nullopt;
  return std::string(buf);
}

long raiseOpenFileLimit(long handles) {
  struct rlimit rl {};
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return -1;
  if (rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < static_cast<rlim_t>(handles)) {
    rlim_t want = static_cast<rlim_t>(handles);
    if (rl.rlim_max != RLIM_INFINITY && want > rl.rlim_max) want = rl.rlim_max;
    rl.rlim_cur = want;
    (void)setrlimit(RLIMIT_NOFILE, &rl);
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return -1;
  }
  return rl.rlim_cur == RLIM_INFINITY ? handles : static_cast<long>(rl.rlim_cur);
}

namespace {

// The executable file for `program`: itself when it names a path, else the first
// executable match in PATH; empty when none.
std::string findProgram(const std::string& program) {
  if (program.empty()) return std::string();
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + program;
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return std::string();
}

}  // namespace

Status startDetached(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return Status::invalid("falta el programa");
  const std::string exe = findProgram(args[0]);
  if (exe.empty()) return Status::notFound("no se encuentra el programa " + args[0]);

  // Everything the children need is prepared before fork: after it only
  // async-signal-safe calls are made.
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int pipefd[2];  // reports an exec failure of the grandchild; closed by a successful exec
  if (::pipe2(pipefd, O_CLOEXEC) != 0)
    return Status::ioError(std::string("no se pudo iniciar: ") + std::strerror(errno));

  pid_t child = ::fork();
  if (child < 0) {
    int e = errno;
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    return Status::ioError(std::string("no se pudo iniciar: ") + std::strerror(e));
  }
  if (child == 0) {
    // Intermediate child: a new session, then the program as its own child, then
    // exit at once so the program is adopted by init and never becomes our zombie.
    ::close(pipefd[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild < 0) {
      int e = errno;
      (void)!::write(pipefd[1], &e, sizeof e);
      ::_exit(1);
    }
    if (grandchild == 0) {
      int devnull = ::open("/dev/null", O_RDONLY);
      if (devnull >= 0) {
        ::dup2(devnull, 0);
        if (devnull != 0) ::close(devnull);
      }
      ::execve(exe.c_str(), argv.data(), environ);
      int e = errno;
      (void)!::write(pipefd[1], &e, sizeof e);
      ::_exit(127);
    }
    ::_exit(0);
  }
  ::close(pipefd[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int childErr = 0;
  ssize_t got;
  do {
    got = ::read(pipefd[0], &childErr, sizeof childErr);
  } while (got < 0 && errno == EINTR);
  ::close(pipefd[0]);
  if (got == static_cast<ssize_t>(sizeof childErr))
    return Status::ioError(std::strerror(childErr));
  return Status::ok();
}

Result<int> runProgram(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return Status::invalid("falta el programa");
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, copy[0].c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return Status::ioError(std::string("no se pudo iniciar ") + args[0] + ": " + std::strerror(rc));
  int st = 0;
  while (::waitpid(pid, &st, 0) < 0)
    if (errno != EINTR) return Status::ioError(std::string("no se pudo esperar a ") + args[0]);
  return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
}

std::tm localTime(std::time_t t) {
  std::tm tm {};
  ::localtime_r(&t, &tm);
  return tm;
}

std::tm utcTime(std::time_t t) {
  std::tm tm {};
  ::gmtime_r(&t, &tm);
  return tm;
}

// The whole tree under each of `kTrees`; only the folder itself for `kTops` (their
// subfolders, such as /var/tmp or /run/user/N, are ordinary places).
bool isSystemFolder(const std::string& real) {
  if (real == "/dev/shm" || real.compare(0, 9, "/dev/shm/") == 0) return false;
  static const char* const kTrees[] = {"/bin", "/boot", "/dev",  "/etc", "/lib", "/lib32",
                                       "/lib64", "/libx32", "/proc", "/sbin", "/sys", "/usr"};
  static const char* const kTops[] = {"/", "/run", "/var"};
  for (const char* t : kTops)
    if (real == t) return true;
  for (const char* t : kTrees) {
    const size_t n = std::strlen(t);
    if (real.compare(0, n, t) == 0 && (real.size() == n || real[n] == '/')) return true;
  }
  return false;
}

void setEnvDefault(const char* name, const char* value) { ::setenv(name, value, 0); }

}  // namespace planilla::platform

#endif  // !_WIN32
