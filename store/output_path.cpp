#include "store/output_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace planilla {

namespace {

// The system's folders: the whole tree under each of `kTrees`; only the folder itself
// for `kTops` (their subfolders, such as /var/tmp or /run/user/N, are ordinary places).
// The shared-memory folder under /dev is an ordinary scratch place.
bool systemFolder(const std::string& real) {
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

}  // namespace

Status checkOutputFolder(const std::string& dir) {
  const std::string shown = dir.empty() ? "." : dir;
  char buf[PATH_MAX];
  struct stat st {};
  if (::realpath(shown.c_str(), buf) == nullptr || ::stat(buf, &st) != 0 || !S_ISDIR(st.st_mode))
    return Status::notFound("La Carpeta " + shown + " No Existe");
  if (systemFolder(buf))
    return Status::invalid("La Carpeta " + shown + " Es Del Sistema: Elija Otra Carpeta Para Los Archivos");
  return Status::ok();
}

Status checkOutputFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (slash != std::string::npos && slash + 1 == path.size())
    return Status::invalid("Falta el nombre del archivo: " + path);
  PLANILLA_RETURN_IF_ERROR(checkOutputFolder(dir));
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return Status::ok();
    return Status::ioError("No se puede usar el archivo " + path + ": " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode))
    return Status::invalid("El Archivo " + path + " Ya Existe Y No Es Un Archivo Comun: No Se Reemplaza");
  return Status::ok();
}

}  // namespace planilla
