#include "reports/runrpv.h"

#include <cstdlib>
#include <sstream>

#include "store/platform.h"

namespace planilla::reports {

std::string selfExecutable() { return platform::executablePath(); }

std::vector<std::string> viewerCommand(const std::string& reportPath) {
  std::vector<std::string> argv;
  if (const char* env = std::getenv(kViewerEnv)) {
    std::istringstream words(env);
    std::string w;
    while (words >> w) argv.push_back(w);
  }
  if (argv.empty()) {
    argv.push_back(selfExecutable());
    argv.push_back("ver");
  }
  argv.push_back(reportPath);
  return argv;
}

Status startDetached(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return Status::invalid("No se indico el programa visor de reportes");
  Status st = platform::startDetached(args);
  if (st.code() == ErrorCode::NotFound) return Status::notFound("No se encuentra el programa visor de reportes: " + args[0]);
  if (!st) return Status::ioError("No se pudo iniciar el visor de reportes " + args[0] + ": " + st.message());
  return Status::ok();
}

Status RUNRPV(const std::string& dataDir, const std::string& fileName) {
  std::string path = (dataDir.empty() ? std::string(".") : dataDir) + "/" + fileName;
  if (auto resolved = platform::realPath(path)) path = *resolved;
  return startDetached(viewerCommand(path));
}

}  // namespace planilla::reports
