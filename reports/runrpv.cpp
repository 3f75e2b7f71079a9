#include "reports/runrpv.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

extern char** environ;

namespace planilla::reports {

std::string selfExecutable() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::vector<std::string> viewerCommand(const std::string& reportPath, const std::string& pdfPath) {
  std::vector<std::string> argv;
  bool self = false;
  if (const char* env = std::getenv(kViewerEnv)) {
    std::istringstream words(env);
    std::string w;
    while (words >> w) argv.push_back(w);
  }
  if (argv.empty()) {
    argv.push_back(selfExecutable());
    argv.push_back("ver");
    self = true;
  }
  argv.push_back(reportPath);
  if (self && !pdfPath.empty()) argv.push_back(pdfPath);
  return argv;
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
  if (args.empty() || args[0].empty()) return Status::invalid("No se indico el programa visor de reportes");
  const std::string exe = findProgram(args[0]);
  if (exe.empty()) return Status::notFound("No se encuentra el programa visor de reportes: " + args[0]);

  // Everything the children need is prepared before fork: after it only
  // async-signal-safe calls are made.
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int pipefd[2];  // reports an exec failure of the grandchild; closed by a successful exec
  if (::pipe2(pipefd, O_CLOEXEC) != 0)
    return Status::ioError(std::string("No se pudo iniciar el visor de reportes: ") + std::strerror(errno));

  pid_t child = ::fork();
  if (child < 0) {
    int e = errno;
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    return Status::ioError(std::string("No se pudo iniciar el visor de reportes: ") + std::strerror(e));
  }
  if (child == 0) {
    // Intermediate child: a new session, then the viewer as its own child, then exit
    // at once so the viewer is adopted by init and never becomes our zombie.
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
    return Status::ioError("No se pudo iniciar el visor de reportes " + args[0] + ": " + std::strerror(childErr));
  return Status::ok();
}

Status RUNRPV(const std::string& dataDir, const std::string& fileName, const std::string& pdfName) {
  std::string path = (dataDir.empty() ? std::string(".") : dataDir) + "/" + fileName;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) path = resolved;
  std::string pdf;
  if (!pdfName.empty()) {
    const size_t slash = path.find_last_of('/');
    pdf = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + pdfName;
  }
  return startDetached(viewerCommand(path, pdf));
}

}  // namespace planilla::reports
