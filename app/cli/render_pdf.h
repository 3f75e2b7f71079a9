// Rendering a report file to PDF from a command, without a display: shared by
// `planilla pdf`, `planilla boleta` and `planilla reporte`.
#pragma once

#include <ostream>
#include <string>

#include "session/session.h"
#include "store/status.h"

namespace planilla {

// A command's own report file in the data directory: while it lives, the session's
// writers put their report there (Session::reportFile) instead of the shared
// "Test.rpv", which another station's command may replace at any moment. The command
// renders it, then publish() puts it in place as "Test.rpv"; otherwise it is removed.
class PrivateReport {
 public:
  explicit PrivateReport(Session& s);
  ~PrivateReport();
  PrivateReport(const PrivateReport&) = delete;
  PrivateReport& operator=(const PrivateReport&) = delete;
  std::string path() const;
  [[nodiscard]] Status publish();

 private:
  Session& s_;
  std::string name_;
  bool published_ = false;
};

// Renders `rpv` into `pdf` (offscreen unless QT_QPA_PLATFORM says otherwise) and
// refuses a `pdf` that checkOutputFile refuses (a system folder, a device, a link), and
// writes "PDF: N pagina(s)" on `out`. Returns 0, or 1 after "planilla COMMAND: reason"
// on `err`. Must not run inside another QGuiApplication.
int renderPdf(const std::string& rpv, const std::string& pdf, const std::string& command, std::ostream& out,
              std::ostream& err);

}  // namespace planilla
