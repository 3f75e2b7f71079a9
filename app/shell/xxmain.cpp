// Program entry: the login, the main window, About and exit.
#include "session/app_info.h"
#include "app/shell/shell.h"
#include "session/startup.h"
#include "ui/text1252.h"

namespace planilla::shell {

const char* const kBanner = kMakerBanner;

namespace {

// Start-up step 1: the globals of a fresh start.
void initialGlobals(Session& s) {
  s.LACCESO = false;
  s.CVARGETX = std::string(4, ' ');
  s.CVARGETY = std::string(10, ' ');
  s.resetPeriod();
  s.WDIA = "  ";
  s.WMES = "  ";
  s.WANO = "    ";
  s.endRequested = false;
}

}  // namespace

bool loginDialog(Session& s, ui::Toolkit& tk) {
  ui::Dialog dlg(tk, "ACCESO1", "Sistema Varmond");
  dlg.field(105, ui::ref(s.CVARGETX)).picture("@!").colors(ui::color::kNavy, ui::color::kCyan);
  dlg.field(106, ui::ref(s.CVARGETY)).picture("@!").password().colors(ui::color::kNavy, ui::color::kCyan);
  dlg.bitmapButton(301, "check1", [&] {
       VALACEPTAR(s, s.CVARGETY, s.CVARGETX);
       // Access granted, or the users file is missing (the program ends): close.
       if (s.LACCESO || s.endRequested) dlg.end();
     }).defaultButton();
  dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); });
  dlg.activate();
  return s.LACCESO;
}

int XXMAIN(Session& s, ui::Toolkit& tk) {
  initialGlobals(s);
  // Process-wide settings: file handles here; hidden deleted records and four-digit
  // years live in the engine, the open mode in the session (RED, decided once).
  (void)applyProcessSettings(60);
  tk.setDataDir(s.dataDir());

  loginDialog(s, tk);
  if (!s.LACCESO) {
    const int rc = s.endRequested ? 1 : 0;
    s.closeAll();
    s.select(1);
    return rc;
  }
  s.resetPeriod();

  ui::MainWindow w(tk);
  s.windowTitle = kSystemName;
  w.setTitle(kSystemName);
  CREARMENU(w, s, tk);
  w.setIcon("conta10.bmp");
  w.setColors(ui::color::kMainWindow, ui::color::kMainWindow);
  buildButtonBar(w, s, tk);
  // The greeting sound plays once, without waiting, when the installation has it.
  if (s.fileExists("final.wav")) ui::playSound(tk, "final.wav");
  w.setMessageBar(kBanner);
  w.setLogo("varmond.bmp", 280, 200);
  w.run();

  s.closeAll();
  s.select(1);
  return 0;
}

void XEXIT(Session& s, ui::MainWindow& w) {
  s.closeAll();
  w.close();
}

void XMAINXXX(Session& s, ui::Toolkit& tk) {
  (void)s;
  // The maker's contact data.
  std::string mail1 = "soporte@varmond.example";
  std::string mail2 = "ventas@varmond.example";
  std::string web = "www.varmond.example";
  std::string skype = "varmond.soporte";
  std::string phone = "(01) 555-0100  /  555-0101";
  ui::Dialog dlg(tk, "ACERCATHKYL", kBanner);
  dlg.label(101).text("Correo :");
  dlg.label(105).text("Pagina Web :");
  dlg.label(107).text("Skype :");
  dlg.label(109).text("Telefono :");
  for (auto [id, var] : {std::pair{102, &mail1}, {104, &mail2}, {106, &web}, {108, &skype}, {110, &phone}}) {
    dlg.field(id, ui::ref(*var)).readOnly().colors(ui::color::kNavy, ui::color::kSilver);
  }
  dlg.bitmapButton(301, "BitMap_91", [&] { dlg.end(); }).cancel();
  dlg.activate({}, /*centered=*/false);
}

}  // namespace planilla::shell
