#include "exports/screens.h"

#include <filesystem>

#include "exports/afp_year.h"
#include "exports/afpnet.h"
#include "exports/bank_screens.h"
#include "exports/concepts.h"
#include "exports/files.h"
#include "exports/logbook.h"
#include "exports/month.h"
#include "exports/payroll_sheet.h"
#include "exports/plame.h"
#include "exports/tregistro.h"
#include "reports/report_screens.h"
#include "reports/rpv_writer.h"
#include "reports/runrpv.h"
#include "session/change_log.h"
#include "session/run_register.h"
#include "store/output_path.h"
#include "ui/dialogs.h"
#include "ui/messages.h"

namespace planilla::exports {

namespace {

bool loadConceptsShowing(Session& s, Concepts& c) {
  Result<Concepts> r = loadConcepts(s);
  if (!r) {
    ui::MSGSTOP(s.messages(), r.status().message(), "Mensaje");
    return false;
  }
  c = std::move(r.value());
  return true;
}

// A report run: reads the month, writes the report file, starts the viewer.
bool runReport(Session& s, bool startViewer, Status (*write)(const Month&, const std::string&)) {
  Month m;
  if (!readMonth(s, m)) return false;
  Status st = write(m, s.dataDir());
  if (!st) {
    ui::MSGSTOP(s.messages(), st.message(), "Mensaje");
    return false;
  }
  if (startViewer) {
    Status started = reports::RUNRPV(s.dataDir(), reports::kReportFile);
    if (!started) ui::MSGSTOP(s.messages(), started.message(), "Mensaje");
  }
  return true;
}

// The closing box with the full paths: the data directory is often "."; the operator
// wants to know where to look.
void announceFull(Session& s, std::vector<std::string> written) {
  for (std::string& p : written) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(p, ec);
    if (!ec) p = full.lexically_normal().string();
  }
  announce(s, written);
}

std::function<void(Session&, ui::Toolkit&)> fileScreen(Export which) {
  return [which](Session& s, ui::Toolkit& tk) {
    // The operator chooses the folder (the data directory proposed); the files keep
    // the names the institutions require.
    const auto dir = tk.askFolder("Carpeta Para Los Archivos", s.dataDir().empty() ? "." : s.dataDir());
    if (!dir) return;
    std::vector<std::string> written;
    if (runExport(s, which, *dir, written)) announceFull(s, written);
  };
}

// The annual fund liquidation: the year asked, the report shown, the spreadsheet written.
void afpYearScreen(Session& s, ui::Toolkit& tk) {
  int year = 0;
  if (!reports::askYear(s, tk, "Liquidacion Anual Aportes/Retenciones AFP", year)) return;
  std::vector<std::string> written;
  if (runAfpYear(s, year, "", written, true)) announceFull(s, written);
}

// The registration files of the hires and leavers of a range of days, the working
// date by default (a hire must be registered the day he starts).
void tregistroScreen(Session& s, ui::Toolkit& tk) {
  const char* title = "Archivos T-Registro";
  if (s.YCIA.find_first_not_of(' ') == std::string::npos || !s.YFECHA.valid()) {
    ui::MSGSTOP(s.messages(), kChooseCompany, "Mensaje");
    return;
  }
  Date from = s.YFECHA, to = s.YFECHA;
  if (!ui::MSGGET(tk, title, "Altas Y Bajas Desde :", from)) return;
  if (!ui::MSGGET(tk, title, "Hasta :", to)) return;
  const auto dir = tk.askFolder("Carpeta Para Los Archivos", s.dataDir().empty() ? "." : s.dataDir());
  if (!dir) return;
  std::vector<std::string> written;
  if (runTregistro(s, from, to, *dir, written)) announceFull(s, written);
}

}  // namespace

bool runExport(Session& s, Export which, const std::string& dirGiven, std::vector<std::string>& written) {
  RunRecord reg(s, which == Export::Payroll ? kRunExportExcel
                   : which == Export::Plame ? kRunExportPlame
                                            : kRunExportAfpnet);
  if (!reg.started()) return false;
  const std::string dir = dirGiven.empty() ? s.dataDir() : dirGiven;
  MonthReader reader;
  Month m;
  if (!reader.open(s, m)) return false;
  (void)warnIfStale(s, kRunPayroll);
  reg.totals().employees = static_cast<long>(reader.count());
  if (Status st = checkOutputFolder(dir); !st) {
    ui::MSGSTOP(s.messages(), st.message(), "Mensaje");
    return false;
  }
  std::vector<Missing> missing;
  Status st;
  if (which == Export::Payroll) {
    st = writePayrollSheet(reader, m, dir, &written);
  } else {
    Concepts c;
    if (!loadConceptsShowing(s, c)) return false;
    st = which == Export::Plame ? writePlame(reader, m, c, dir, missing, &written)
                                : writeAfpnet(reader, m, c, dir, missing, &written);
  }
  if (reader.failed()) return false;  // the reader showed why
  if (!missing.empty()) written.clear();
  if (!reportFailure(s, missing, st)) return false;
  reg.finish();
  return true;
}

bool runAfpnetSummary(Session& s, bool startViewer) { return runReport(s, startViewer, &writeAfpnetSummary); }

bool runNonAffiliated(Session& s, bool startViewer) { return runReport(s, startViewer, &writeNonAffiliated); }

const std::vector<ScreenEntry>& exportScreens() {
  static const std::vector<ScreenEntry> entries = {
      {"F_AFPNET01", "Generacion &Planilla Unica", fileScreen(Export::Afpnet)},
      {"F_AFPNET02", "&Resumen De AFPNet", [](Session& s, ui::Toolkit&) { runAfpnetSummary(s, true); }},
      {"F_AFPNET03", "&Empleados No Afiliados", [](Session& s, ui::Toolkit&) { runNonAffiliated(s, true); }},
      {"F_AFPNET04", "Exportar Planilla Mensual", fileScreen(Export::Payroll)},
      {"F_PLAME01", "Archivos P&LAME Del Mes", fileScreen(Export::Plame)},
      {"F_P428", "&Liquidacion Anual Aportes/Retenciones AFP", afpYearScreen},
      {"F_REGPROC", "Registro De Procesos", F_REGPROC},
      {"F_BITACORA", "Bitacora De Cambios", F_BITACORA},
      {"F_BANCO01", "Archivos De &Pago Al Banco", F_BANCO01},
      {"F_BJLG02", "Cuentas De &Cargo Bancarias", F_BJLG02},
      {"F_TREG01", "Archivos &T-Registro", tregistroScreen},
  };
  return entries;
}

const ScreenEntry* findScreen(const std::string& function) {
  for (const ScreenEntry& e : exportScreens())
    if (e.function == function) return &e;
  return nullptr;
}

}  // namespace planilla::exports
