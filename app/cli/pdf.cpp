// `planilla pdf IN.rpv OUT.pdf` renders a report file to PDF without a display;
// `planilla ver FILE.rpv` opens the report viewer window.
#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <ostream>

#include "app/commands.h"
#include "reports/render/rpv_render.h"
#include "reports/render/rpv_viewer.h"

namespace planilla {
namespace {

char kProgramName[] = "planilla";

int pdfCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "uso: planilla pdf ENTRADA.rpv SALIDA.pdf\n";
    return 2;
  }
  // Rendering needs fonts but never a screen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char* argv[] = {kProgramName, nullptr};
  QGuiApplication app(argc, argv);
  Result<rpv::RenderedReport> r = rpv::loadReport(args[0]);
  if (!r) {
    err << "planilla pdf: " << r.status().message() << "\n";
    return 1;
  }
  Status s = rpv::writePdf(r.value(), args[1]);
  if (!s) {
    err << "planilla pdf: " << s.message() << "\n";
    return 1;
  }
  out << args[1] << ": " << r.value().layout.pages.size() << " pagina(s)\n";
  return 0;
}

int verCommand(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  if (args.size() != 1) {
    err << "uso: planilla ver ARCHIVO.rpv\n";
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
  return rpv::runViewer(args[0], err);
}

CommandRegistration pdfRegistration("pdf", "pdf ENTRADA.rpv SALIDA.pdf   convierte un reporte a PDF", pdfCommand);
CommandRegistration verRegistration("ver", "ver ARCHIVO.rpv              muestra un reporte en pantalla", verCommand);

}  // namespace
}  // namespace planilla
