#include "reports/runrpv.h"

#include <cstdlib>
#include <sstream>

#include "store/platform.h"

namespace planilla::reports {

std::string selfExecutable() { return platform::executablePath(); }

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

Status startDetached(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return Status::invalid("No se indico el programa visor de reportes");
  Status st = platform::startDetached(args);
  if (st.code() == ErrorCode::NotFound) return Status::notFound("No se encuentra el programa visor de reportes: " + args[0]);
  if (!st) return Status::ioError("No se pudo iniciar el visor de reportes " + args[0] + ": " + st.message());
  return Status::ok();
}

Status RUNRPV(const std::string& dataDir, const std::string& fileName, const std::string& pdfName) {
  std::string path = (dataDir.empty() ? std::string(".") : dataDir) + "/" + fileName;
  if (auto resolved = platform::realPath(path)) path = *resolved;
  std::string pdf;
  if (!pdfName.empty()) {
    const size_t slash = path.find_last_of("/\\");
    pdf = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + pdfName;
  }
  return startDetached(viewerCommand(path, pdf));
}

}  // namespace planilla::reports
