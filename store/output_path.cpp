#include "store/output_path.h"

#include <system_error>

#include "store/platform.h"

namespace planilla {

Status checkOutputFolder(const std::string& dir) {
  const std::string shown = dir.empty() ? "." : dir;
  const std::optional<std::string> real = platform::realPath(shown);
  std::error_code ec;
  if (!real || !std::filesystem::is_directory(platform::fsPath(*real), ec))
    return Status::notFound("La Carpeta " + shown + " No Existe");
  if (platform::isSystemFolder(*real))
    return Status::invalid("La Carpeta " + shown + " Es Del Sistema: Elija Otra Carpeta Para Los Archivos");
  return Status::ok();
}

Status checkOutputFile(const std::string& path) {
  // Either separator on Windows; only '/' elsewhere.
#ifdef _WIN32
  const size_t slash = path.find_last_of("/\\");
#else
  const size_t slash = path.rfind('/');
#endif
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (slash != std::string::npos && slash + 1 == path.size())
    return Status::invalid("Falta el nombre del archivo: " + path);
  PLANILLA_RETURN_IF_ERROR(checkOutputFolder(dir));
  std::error_code ec;
  const auto st = std::filesystem::symlink_status(platform::fsPath(path), ec);
  if (st.type() == std::filesystem::file_type::not_found) return Status::ok();
  if (ec) return Status::ioError("No se puede usar el archivo " + path + ": " + ec.message());
  if (st.type() != std::filesystem::file_type::regular)
    return Status::invalid("El Archivo " + path + " Ya Existe Y No Es Un Archivo Comun: No Se Reemplaza");
  return Status::ok();
}

}  // namespace planilla
