// `planilla pdf IN.rpv OUT.pdf` renders a report file to PDF without a display;
// `planilla ver FILE.rpv` opens the report viewer window.
#include <QApplication>
#include <QGuiApplication>
#include <unistd.h>

#include <cstdlib>
#include <ostream>

#include "app/cli/render_pdf.h"
#include "app/commands.h"
#include "reports/render/rpv_render.h"
#include "reports/render/rpv_viewer.h"
#include "store/output_path.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"

namespace planilla {

namespace {
char kProgramName[] = "planilla";
}  // namespace

int renderPdf(const std::string& rpv, const std::string& pdf, const std::string& command, std::ostream& out,
              std::ostream& err) {
  // Rendering needs fonts but never a screen.
  if (Status st = checkOutputFile(pdf); !st) {
    err << "planilla " << command << ": " << st.message() << "\n";
    return 1;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char* argv[] = {kProgramName, nullptr};
  QGuiApplication app(argc, argv);
  size_t pages = 0;
  Status st = rpv::renderFileToPdf(rpv, pdf, &pages);
  if (!st) {
    err << "planilla " << command << ": " << st.message() << "\n";
    return 1;
  }
  out << pdf << ": " << pages << " pagina(s)\n";
  return 0;
}

namespace {

int pdfCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "uso: planilla pdf ENTRADA.rpv SALIDA.pdf\n";
    return 2;
  }
  return renderPdf(args[0], args[1], "pdf", out, err);
}

int verCommand(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  if (args.size() != 1 && args.size() != 2) {
    err << "uso: planilla ver ARCHIVO.rpv [PROPUESTA.pdf]\n";
    return 2;
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr && std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    err << "planilla ver: no hay pantalla disponible; use \"planilla pdf " << args[0] << " SALIDA.pdf\"\n";
    return 1;
  }
  int argc = 1;
  char* argv[] = {kProgramName, nullptr};
  QApplication app(argc, argv);
  return rpv::runViewer(args[0], err, args.size() == 2 ? args[1] : std::string());
}

CommandRegistration pdfRegistration("pdf", "pdf ENTRADA.rpv SALIDA.pdf   convierte un reporte a PDF", pdfCommand);
CommandRegistration verRegistration("ver", "ver ARCHIVO.rpv [PDF]        muestra un reporte en pantalla (PDF: el nombre que propone al guardar)", verCommand);

}  // namespace
}  // namespace planilla
