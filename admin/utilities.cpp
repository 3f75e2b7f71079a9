#include "admin/utilities.h"

#include "session/reindex.h"
#include "session/startup.h"
#include "session/tables.h"
#include "ui/messages.h"
#include "ui/text1252.h"

namespace planilla::admin {

namespace {

using catalog::TableId;

const char* kTitle = "Mensaje";
const char* kInUse = "Apertura Denegada El Archivo Esta En Uso";

// The confirmation dialog of every utility: button 301 runs `work` and closes the
// dialog, 302 closes it. `work` gets the label (font Roman, row 1) that tells what is
// being done. Every table is closed when the dialog ends.
void utilityDialog(Session& s, ui::Toolkit& tk, const char* templateName, const std::string& title,
                   double labelColumn, const std::function<void(ui::Label&)>& work) {
  {
    ui::Dialog dlg(tk, templateName, title);
    ui::Label& label = dlg.labelAt(1, labelColumn, "", 170, 19).font("Roman", 10, 25);
    dlg.button(301, [&] {
      work(label);
      dlg.end();
    });
    dlg.button(302, [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  s.closeAll();
}

// The end of a utility that did its work: the label goes, then "Fin De Proceso".
void finished(Session& s, ui::Label& work) {
  work.text("");
  ui::MSGINFO(s.messages(), "Fin De Proceso", kTitle);
}

// Packs `def` and builds its bags anew through the one reindex of the system. The
// table must exist (`missing` is said otherwise); `refused` is the utility's text for
// a table another station has open, which is then left untouched.
bool rebuild(Session& s, const catalog::TableDef& def, const std::string& missing, const std::string& refused) {
  s.closeAll();  // our own areas would refuse the exclusive use
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) {
    ui::MSGSTOP(s.messages(), missing, kTitle);
    return false;
  }
  const ReindexResult r = reindexTable(s, def);
  if (!r.notice.empty()) ui::MSGALERT(s.messages(), r.line(r.notice), kTitle);
  if (r.status) return true;
  ui::MSGSTOP(s.messages(), r.status.code() == ErrorCode::InUse ? refused : r.line(r.message), kTitle);
  return false;
}

// Holds `name` of the data directory exclusively (nullptr when it does not exist).
// Another station having it open gives InUse.
Result<std::unique_ptr<File>> holdFile(Session& s, const std::string& name) {
  const std::string real = s.fs().resolve(s.path(name));
  if (!s.fs().exists(real)) return std::unique_ptr<File>();
  auto f = s.fs().open(real, OpenOptions{});
  if (!f) return f.status();
  Status st = (*f)->lock(kUseLockOffset, 1, LockKind::Exclusive);
  if (st.code() == ErrorCode::Locked) return Status::inUse(name);
  if (!st) return st;
  return std::move(f).value();
}

std::string inUseElsewhere(const std::string& name) {
  return "No Se Puede Borrar " + name + " : El Archivo Esta En Uso En Otra Estacion";
}

}  // namespace

const std::vector<ReindexSelector>& reindexSelectors() {
  static const std::vector<ReindexSelector> k = {
      {1, "Maestro De Empleados", TableId::EmployeeMaster},
      {5, "Maestro Compañias", TableId::Institutions},
      {6, "Ingresos De Trabajador", TableId::IncomeEntries},
      {7, "Rol De Vacaciones", TableId::VacationRoll},
      {8, "Rol De Gratificaciones", TableId::GratificationRoll},
      {9, "Datos De &Liquidacion CTS", TableId::VacationRoll},
      {11, "Empleados Activos", TableId::ActiveEmployees},
      {12, "Centro De Costos", TableId::CostCentres},
      {13, "Situacion", TableId::Situations},
      {14, "Porcentajes", TableId::Rates},
      {15, "Bancos", TableId::Banks},
      {16, "Tipo De Cambios", TableId::ExchangeRates},
      {17, "Maestro De A.F.P.", TableId::PensionFunds},
      {18, "Archivo Sueldos", TableId::PayrollSoles},
      {19, "Archivo Gratificaciones", TableId::GratSoles},
  };
  return k;
}

bool reindexTableOf(const Session& s, int n, catalog::TableDef* def) {
  for (const auto& e : reindexSelectors()) {
    if (e.n != n) continue;
    *def = s.def(e.id);
    if (n == 18 || n == 19) def->tags.push_back({def->base, "codigo", "CODIGO", ""});
    return true;
  }
  return false;
}

void F_102PLAREIN(Session& s, ui::Toolkit& tk, int n) {
  if (!requireDate(s)) return;
  std::string title;
  for (const auto& e : reindexSelectors())
    if (e.n == n) title = ui::utf8To1252(e.title);
  utilityDialog(s, tk, "INDEX01HONORA", title, 3, [&](ui::Label& work) { (void)PLANI102(s, work, n); });
}

bool PLANI102(Session& s, ui::Label& work, int n) {
  work.text("Reindexando Maestro");
  catalog::TableDef def;
  if (!reindexTableOf(s, n, &def)) return false;
  if (!rebuild(s, def, "Maestro No Existe", "Apertura Denegada El Archivo Esta Esta En Uso")) return false;
  s.closeAll();
  finished(s, work);
  return true;
}

void F_105REIN(Session& s, ui::Toolkit& tk, int n) {
  (void)n;  // the menu passes 5: the users table
  if (!requireDate(s, true)) return;
  utilityDialog(s, tk, "INDEX01HONORA", "Reindexar Usuarios", 2, [&](ui::Label& work) {
    work.text("Reindexando Movimientos");
    if (rebuild(s, s.def(TableId::Users), "Archivo De Movimientos Del Mes " + s.YMES + "  No Existe", kInUse))
      finished(s, work);
  });
}

void F_109REIN(Session& s, ui::Toolkit& tk, int n) {
  (void)n;  // the menu passes 1: the accounting parameters
  utilityDialog(s, tk, "INDEX01HONORA", "Reindexar Parametros", 1, [&](ui::Label& work) {
    work.text("Reindexando Parametros");
    if (rebuild(s, s.def(TableId::AccountingParams), "Tabla Parametros No Existe",
                "Apertura Denegada El Archivo Esta Bloqueado"))
      finished(s, work);
  });
}

void F_P888(Session& s, ui::Toolkit& tk) {
  if (!requireCompany(s, true)) return;
  utilityDialog(s, tk, "INDEX01HONORA", "Empleados Activos", 1, [&](ui::Label& work) {
    work.text("Blanqueando Archivo");
    if (blankActiveEmployees(s)) finished(s, work);
  });
}

bool blankActiveEmployees(Session& s) {
  s.closeAll();
  const catalog::TableDef def = s.def(TableId::ActiveEmployees);
  std::vector<std::string> names = {def.dbf()};
  for (const auto& b : def.bags()) names.push_back(b);
  // Every file first held exclusively: while another station has one open nothing is
  // deleted, and it is said which.
  {
    std::vector<std::unique_ptr<File>> held;
    for (const auto& name : names) {
      auto h = holdFile(s, name);
      if (!h) {
        ui::MSGSTOP(s.messages(), h.status().code() == ErrorCode::InUse ? inUseElsewhere(name) : h.status().message(),
                    kTitle);
        return false;
      }
      held.push_back(std::move(h).value());
    }
  }
  for (const auto& name : names) {
    const std::string real = s.fs().resolve(s.path(name));
    if (!s.fs().exists(real)) continue;
    Status st = s.fs().remove(real);
    if (!st) {
      // Opened by another station in the instant between the check and the deletion.
      ui::MSGSTOP(s.messages(), st.code() == ErrorCode::InUse ? inUseElsewhere(name) : st.message(), kTitle);
      return false;
    }
  }
  return true;
}

void F_MAESEMPLEADATA(Session& s, ui::Toolkit& tk) {
  if (!requireCompany(s)) return;
  utilityDialog(s, tk, "MAYORIZACIONCONTABLE", "Migracion Maestro Empleados", 1,
                [&](ui::Label&) { (void)MAESTRO01(s); });
}

bool MAESTRO01(Session& s, std::vector<std::string>* dropped) {
  s.closeAll();
  FileSystem& fs = s.fs();
  const catalog::TableDef def = s.def(TableId::EmployeeMaster);
  if (!catalog::tableExists(fs, s.dataDir(), def)) {
    ui::MSGSTOP(s.messages(), "Maestro Empleados  No Existe", kTitle);
    return false;
  }
  // The old master held exclusively from the start: no station works on it while it is
  // read, and none is left on a file that is being replaced.
  auto old = Table::open(fs, s.path(def.dbf()), OpenMode::Exclusive, "MaeViejo");
  if (!old) {
    const bool inUse = old.status().code() == ErrorCode::InUse || old.status().code() == ErrorCode::Locked;
    ui::MSGSTOP(s.messages(), inUse ? kInUse : old.status().message(), kTitle);
    return false;
  }
  std::vector<FieldSpec> before;
  for (int j = 0; j < (*old)->fieldCount(); ++j) before.push_back((*old)->field(j));
  const std::vector<int> match = matchFieldsByName(catalog::employeeFields(), before);
  std::vector<std::string> lost;
  for (size_t j = 0; j < before.size(); ++j)
    if (std::find(match.begin(), match.end(), static_cast<int>(j)) == match.end()) lost.push_back(before[j].name);

  // The new master beside the old one, complete, then put in its place.
  const std::string work = s.path("pxs" + s.YCIA + s.YANO + ".dbf");
  Status st;
  if (fs.exists(fs.resolve(work))) st = fs.remove(fs.resolve(work));
  if (st) st = Table::create(fs, work, catalog::employeeFields());
  std::unique_ptr<Table> fresh;
  if (st) {
    auto t = Table::open(fs, work, OpenMode::Exclusive, "MaeNuevo");
    if (t) fresh = std::move(t).value();
    else st = t.status();
  }
  if (st) st = fresh->appendFrom(**old);
  if (st) st = fresh->takePlaceOf(s.path(def.dbf()), catalog::bagSpecs(s.dataDir(), def));
  if (fresh) fresh->close();
  (*old)->close();
  if (!st) {
    // Still under its own name, the new master never replaced the old one.
    const bool replaced = !fs.exists(fs.resolve(work)) && fresh;
    if (!replaced && fs.exists(fs.resolve(work))) (void)fs.remove(fs.resolve(work));
    std::string text = st.code() == ErrorCode::InUse ? kInUse : st.message();
    if (replaced) text += " (el maestro nuevo ya esta en su lugar: reindexe el Maestro De Empleados)";
    ui::MSGSTOP(s.messages(), text, kTitle);
    return false;
  }
  if (!lost.empty()) {
    std::string names;
    for (const auto& n : lost) names += (names.empty() ? "" : ", ") + n;
    ui::MSGINFO(s.messages(), "Campos Del Maestro Anterior Sin Lugar En El Nuevo: " + names, kTitle);
  }
  if (dropped) *dropped = lost;
  ui::MSGINFO(s.messages(), "Fin De Proceso");
  return true;
}

}  // namespace planilla::admin
