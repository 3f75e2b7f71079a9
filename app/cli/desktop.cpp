// `planilla` without a command: the desktop application on the working directory. The
// Qt toolkit shows the shell's screens; the session works on the current directory.
#include <QApplication>

#include "app/commands.h"
#include "session/session.h"
#include "app/shell/shell.h"
#include "exports/list_sheet.h"
#include "store/io.h"
#include "ui/qt/qt_toolkit.h"

namespace planilla {
namespace {

int desktopMain(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("planilla"));
  ui::qt::QtToolkit tk;
  tk.setDataDir(".");
  tk.setSheetWriter(&exports::writeListSheet);  // "Exportar A Hoja De Calculo" on every list
  Session session(platformFileSystem(), tk, ".");
  session.monthStatusOnOpening = true;
  return shell::XXMAIN(session, tk);
}

// Registers the desktop with the entry point before main runs.
struct DesktopRegistration {
  DesktopRegistration() { runDesktop = &desktopMain; }
} desktopRegistration;

}  // namespace
}  // namespace planilla
