#include "exports/files.h"

#include <memory>

#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla::exports {

std::string missingMessage(const std::vector<Missing>& missing) {
  std::string text = "No Se Generaron Los Archivos, Faltan Datos:";
  for (const Missing& m : missing) {
    text += "\r\n";
    text += m.code.empty() ? m.name : m.code + " " + m.name;
    text += ": " + m.what;
  }
  return text;
}

Status writeFiles(const std::string& dir, const std::vector<OutFile>& files, std::vector<std::string>* written) {
  std::vector<std::unique_ptr<reports::ReplacementFile>> temps;
  for (const OutFile& f : files) {
    auto t = std::make_unique<reports::ReplacementFile>(catalog::joinPath(dir, f.name));
    PLANILLA_RETURN_IF_ERROR(t->open());
    PLANILLA_RETURN_IF_ERROR(t->write(f.bytes));
    temps.push_back(std::move(t));
  }
  for (size_t i = 0; i < temps.size(); ++i) {
    PLANILLA_RETURN_IF_ERROR(temps[i]->commit());
    if (written) written->push_back(catalog::joinPath(dir, files[i].name));
  }
  return Status::ok();
}

bool reportFailure(Session& s, const std::vector<Missing>& missing, const Status& written) {
  if (!missing.empty()) {
    ui::MSGSTOP(s.messages(), missingMessage(missing), "Mensaje");
    return false;
  }
  if (!written) {
    ui::MSGSTOP(s.messages(), written.message(), "Mensaje");
    return false;
  }
  return true;
}

void announce(Session& s, const std::vector<std::string>& paths) {
  std::string text = "Archivos Generados:";
  for (const std::string& p : paths) text += "\r\n" + p;
  ui::MSGINFO(s.messages(), text, "Mensaje");
}

}  // namespace planilla::exports
