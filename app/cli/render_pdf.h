// Rendering a report file to PDF from a command, without a display: shared by
// `planilla pdf`, `planilla boleta` and `planilla reporte`.
#pragma once

#include <ostream>
#include <string>

namespace planilla {

// Renders `rpv` into `pdf` (offscreen unless QT_QPA_PLATFORM says otherwise) and
// refuses a `pdf` that checkOutputFile refuses (a system folder, a device, a link), and
// writes "PDF: N pagina(s)" on `out`. Returns 0, or 1 after "planilla COMMAND: reason"
// on `err`. Must not run inside another QGuiApplication.
int renderPdf(const std::string& rpv, const std::string& pdf, const std::string& command, std::ostream& out,
              std::ostream& err);

}  // namespace planilla
