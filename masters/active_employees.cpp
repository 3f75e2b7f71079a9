#include "masters/active_employees.h"

#include <functional>
#include <utility>
#include <vector>

#include "masters/employees.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::masters {

namespace {

using catalog::TableId;

const char* kScreenTitle = "Mantenimiento Maestro De Empleados Activos";
const char* kMasterAlias = "TabGen";

// Tested in this order before the screen opens; the code tables are opened in areas 2
// to 7 under these aliases.
const std::vector<ScreenTable>& prerequisites() {
  static const std::vector<ScreenTable> k = {
      {TableId::Situations, "Situac", "Maestro Situacion  No Existe, (Crearlo)"},
      {TableId::PensionFunds, "Afps", "Maestro De Afps.   No Existe, (Crearlo)"},
      {TableId::CostCentres, "Costos", "Maestro Centro Costos   No Existe, (Crearlo)"},
      {TableId::Banks, "Bancos", "Maestro De Bancos  No Existe, (Crearlo)"},
      {TableId::WorkerTypes, "Tipos", "Maestro Tipo De Trabajador  No Existe, (Crearlo)"},
      {TableId::PensionerTypes, "Cate", "Maestro Tipo Pensionistas/Prestacion Servicios  No Existe, (Crearlo)"},
      {TableId::EmployeeMaster, kMasterAlias, "Tabla Maestro Empleados  No Existe, (Crearlo)"},
  };
  return k;
}

// Appends to `active` a record carrying the 45 fields of the master's current record
// (the rest empty), released at once. False when nothing was added.
bool appendFromMaster(Session& s, Table& active, Table& master) {
  RecordEdit e = RecordEdit::blank(active);
  for (const auto& name : catalog::activeCarriedFields()) {
    int i = master.fieldIndex(name);
    if (i < 0) continue;
    if (master.field(i).type == 'N')
      e.number(name, master.num(i));
    else
      e.text(name, master.str(i));
  }
  if (!addRecord(s, active, e)) return false;
  FREE(s);
  return true;
}

bool inMonth(Table& active, const std::string& code) {
  return checkKey(active, padTo(code, 10)) != KeyCheck::Free;
}

// The name of `code` in a code table (blanks when absent or not found).
std::string nameOf(Session& s, const char* alias, const std::string& key) {
  Table* t = s.alias(alias);
  if (!t || isBlank(key)) return std::string();
  const uint32_t rec = t->recno();
  const bool eof = t->eof();
  std::string name;
  if (t->seek(key)) name = trimRight(t->str("nombre"));
  if (eof)
    backTo(*t, t->recordCount() + 1);
  else
    (void)t->go(rec);
  return name;
}

// Sets fraccion1 to `days` on every active record, each under its own short lock; a
// record whose lock is refused is skipped.
void setRealDays(Session& s, ui::Browse& br, int days) {
  Table& t = br.table();
  const uint32_t rec = t.recno();
  selectTable(s, t);
  (void)t.goTop();
  while (!t.eof()) {
    const uint32_t here = t.recno();
    (void)changeRecord(s, t, here, [days](RecordEdit& e) { e.number("fraccion1", days); });
    backTo(t, here);
    if (!t.skip(1)) break;
  }
  returnTo(t, br, rec);
}

}  // namespace

int daysOfMonth(const std::string& month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) {
    char two[3] = {static_cast<char>('0' + m / 10), static_cast<char>('0' + m % 10), 0};
    if (month == two) return kDays[m - 1];
  }
  return 0;
}

void F_PJLG02(Session& s, ui::Toolkit& tk) {
  // The first opening in the month creates the table from the general master.
  Table* t = openEmployeeScreen(s, TableId::ActiveEmployees, prerequisites(), true);
  if (!t) return;
  {
    ui::Dialog dlg(tk, "ManteP03", kScreenTitle);
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    ui::Browse& br = dlg.browse(101, *t);
    Table& tb = *t;
    using A = ui::Browse::Align;
    br.columnMoving(false)
        .wholeRowCursor(true)
        .headers({"CODIGO", "NOMBRE", "CARGO", "D.N.I.", "QUINTA", "SEGURO", "D/TRAB", "D/REAL", "D/VAC", "CTA"})
        .widths({50, 230, 200, 60, 36, 38, 40, 40, 40, 40})
        .aligns({A::Left, A::Left, A::Left, A::Left, A::Left, A::Left, A::Right, A::Right, A::Right, A::Left})
        .line([&tb] {
          return std::vector<std::string>{tb.str("codigo"),    tb.str("nombre"),
                                          tb.str("cargo"),     tb.str("electoral"),
                                          tb.str("quinta"),    tb.str("seguroafp"),
                                          ui::transform(tb.num("dia_tra"), "99"),
                                          ui::transform(tb.num("fraccion1"), "99"),
                                          ui::transform(tb.num("diavac"), "99"),
                                          tb.str("tienecta")};
        });
    struct Btn {
      int id;
      const char* image;
      const char* tooltip;
      std::function<void()> action;
    };
    const std::vector<Btn> buttons = {
        {102, "edit", "Modifica Registro de Empleado", [&] { XMODIEMPLEA(s, tk, br, false); }},
        {103, "del", "Elimina Registro de Empleado", [&] { DELBANCOS(s, tk, br); }},
        {104, "search", "Busca Registro de Empleado", [&] { SEEKEMPLEA(s, tk, br); }},
        {105, "printer", "Impresion Registro de Empleado", [&] { IMPREMPLEA(s, br); }},
        {106, "edit", "Actualiza el Registro de Empleado", [&] { XREFRES(s, br); }},
        {107, "edit", "Actualiza Un Registro de Empleado", [&] { XONEREFRES(s, tk, br); }},
        {108, "edit", "Indica Dias Real del Mes", [&] { DIASREAL(s, br); }},
        {109, "edit", "Indica Dia  Bisiesto  del Mes", [&] { BISIESTOS(s, br); }},
        {110, "salir0", "Salir", [&] { dlg.end(); }},
    };
    for (const auto& b : buttons) dlg.bitmapButton(b.id, b.image, b.action).tooltip(b.tooltip);
    dlg.activate({}, false);
  }
  s.closeAll();
}

void XMODIEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!onRecord(t)) return;
  EmployeeForm f;
  {
    // Read without a lock: the month's figures are written under one at the end.
    f.codigo = t.str("codigo");
    f.nombre1 = t.str("nombre1");
    f.nombre2 = t.str("nombre2");
    f.apelli1 = t.str("apelli1");
    f.apelli2 = t.str("apelli2");
    f.direccion = t.str("direccion");
    f.fech_nac = t.date("fech_nac");
    f.fech_ing = t.date("fech_ing");
    f.telefono = t.str("telefono");
    f.electoral = t.str("electoral");
    f.cargo = t.str("cargo");
    f.carnet = t.str("carnet");
    f.sexo = t.str("sexo");
    f.fcese = t.date("fcese");
    f.nacion = t.str("nacion");
    f.fechasitua = t.date("fechasitua");
    f.nroafp = t.str("nroafp");
    f.codafp = t.str("codafp");
    f.ctacte = t.str("ctacte");
    f.tienecta = t.str("tienecta");
    f.fech_afp = t.date("fech_afp");
    f.bas_men = t.num("bas_men");
    f.asigna = t.num("asigna");
    f.esvida = t.num("esvida");
    f.gratif = t.num("gratif");
    f.quinta = padTo(t.str("quinta"), 1);
    f.control = static_cast<int>(t.num("control"));
    f.imp5ta = t.num("imp5ta");
    f.dolar = padTo(t.str("dolar"), 1);
    f.seguroafp = padTo(t.str("seguroafp"), 1);
    f.dia_tra = t.num("dia_tra");
  }
  double absent = t.num("fraccion"), hours = t.num("HorasTra"), subsid = t.num("subsid"),
         notWorked = t.num("nosubs"), late = t.num("tardan"), realDays = t.num("fraccion1");
  f.fundName = nameOf(s, "Afps", padTo(s.YMES, 2) + padTo(f.codafp, 6));
  std::string situation = nameOf(s, "Situac", t.str("situacion"));
  std::string centre = nameOf(s, "Costos", t.str("ccosto"));
  std::string workerType = nameOf(s, "Tipos", t.str("tiptrab"));
  std::string bank = nameOf(s, "Bancos", t.str("banco"));
  std::string pensioner = nameOf(s, "Cate", t.str("catego"));

  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditActi", "Modificar Registro");
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    for (int id = 201; id <= 239; ++id) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    auto shown = [&](int id, ui::Accessor a) {
      dlg.field(id, std::move(a)).readOnly().colors(ui::color::kNavy, ui::color::kSilver);
    };
    auto edit = [&](int id, double& v, const char* pic) -> ui::Field& {
      return dlg.field(id, ui::ref(v)).picture(pic).colors(ui::color::kBlack, ui::color::kCyan);
    };
    edit(134, f.bas_men, "###,###.##");
    edit(136, f.asigna, "##,###.##");
    edit(138, f.esvida, "##,###.##");
    edit(140, f.gratif, "##,###.##");
    dlg.field(142, ui::ref(f.quinta)).picture("!").colors(ui::color::kBlack, ui::color::kCyan);
    dlg.radio({181, 182}, ui::ref(f.control)).onChange([&] { CCAM05(dlg, f.control, f.imp5ta); });
    edit(183, f.imp5ta, "##,###.##").colors(ui::color::kNavy, ui::color::kCyan).enable(f.control != 2);
    dlg.field(144, ui::ref(f.dolar)).picture("!").colors(ui::color::kBlack, ui::color::kCyan).valid([&] {
      return CODEURO(s, f.dolar);
    });
    dlg.field(148, ui::ref(f.seguroafp)).picture("!").colors(ui::color::kBlack, ui::color::kCyan);
    edit(150, f.dia_tra, "##")
        .tooltip("Se Registra 30 dias ( MENOS  los dias de VACACIONES  si hubiera)")
        .valid([&] { return COD01TRA(s, f.dia_tra, 1); });
    edit(152, absent, "##").valid([&] { return COD01TRA(s, absent, 2); });
    edit(170, hours, "###").valid([&] { return COD02TRA(s, hours); });
    edit(174, subsid, "##").valid([&] { return COD01TRA(s, subsid, 2); });
    edit(176, notWorked, "##").valid([&] { return COD01TRA(s, notWorked, 2); });
    edit(178, late, "###").valid([&] { return COD02TRA(s, late); });
    edit(180, realDays, "##")
        .tooltip("Se Ingresa Los Dias Calendario Del Mes En Curso")
        .valid([&] { return COD03TRA(s, realDays); });
    shown(102, ui::ref(f.codigo));
    shown(104, ui::ref(f.nombre1));
    shown(168, ui::ref(f.nombre2));
    shown(164, ui::ref(f.apelli1));
    shown(166, ui::ref(f.apelli2));
    shown(106, ui::ref(f.direccion));
    shown(108, ui::ref(f.fech_nac));
    shown(112, ui::ref(f.fech_ing));
    shown(114, ui::ref(f.telefono));
    shown(116, ui::ref(f.electoral));
    shown(118, ui::ref(f.cargo));
    shown(120, ui::ref(f.carnet));
    shown(158, ui::ref(f.sexo));
    shown(154, ui::ref(f.fcese));
    shown(156, ui::ref(f.nacion));
    shown(122, ui::ref(situation));
    shown(124, ui::ref(f.fechasitua));
    shown(132, ui::ref(f.nroafp));
    shown(126, ui::ref(f.codafp));
    dlg.label(551).text(f.fundName).colors(ui::color::kNavy, ui::color::kSilver);
    shown(160, ui::ref(workerType));
    shown(128, ui::ref(centre));
    shown(130, ui::ref(bank));
    shown(172, ui::ref(pensioner));
    shown(186, ui::ref(f.ctacte));
    shown(188, ui::ref(f.tienecta));
    shown(146, ui::ref(f.fech_afp));
    for (int id : {108, 112, 154, 124, 146}) dlg.fieldById(id)->picture("@e");
    okCancelButtons(dlg, accepted);
    dlg.activate();
  }
  selectTable(s, t);
  if (!accepted) return returnTo(t, br, rec);
  (void)changeRecord(s, t, rec, [&](RecordEdit& e) {
    e.number("bas_men", f.bas_men)
        .number("asigna", f.asigna)
        .number("esvida", f.esvida)
        .number("gratif", f.gratif)
        .text("quinta", f.quinta)
        .number("control", f.control)
        .number("imp5ta", f.control == 1 ? f.imp5ta : 0)
        .text("dolar", f.dolar)
        .text("seguroafp", f.seguroafp)
        .number("dia_tra", f.dia_tra)
        .number("fraccion", absent)
        .number("HorasTra", hours)
        .number("subsid", subsid)
        .number("nosubs", notWorked)
        .number("tardan", late)
        .number("fraccion1", realDays);
  });
  returnTo(t, br, rec);
}

void XREFRES(Session& s, ui::Browse& br) {
  Table& active = br.table();
  Table* master = s.alias(kMasterAlias);
  const uint32_t rec = active.recno();
  if (master) {
    for ((void)master->goTop(); !master->eof(); (void)master->skip(1)) {
      if (!isBlank(master->str("baja"))) continue;
      if (inMonth(active, master->str("codigo"))) continue;
      (void)appendFromMaster(s, active, *master);
    }
  }
  selectTable(s, active);
  returnTo(active, br, rec);
}

bool CODONEREFRESH(Session& s, Table& active, Table& master, std::string& code, std::string& name) {
  if (isBlank(code)) return true;
  if (inMonth(active, code)) {
    ui::MSGSTOP(s.messages(), "Trabajador  " + code + " Ya Existe en Esta Planilla");
    return false;
  }
  if (!keySearch(master, padTo(code, 10), 0)) {
    ui::MSGSTOP(s.messages(), "Trabajador  " + code + " No Existe");
    return false;
  }
  if (!isBlank(master.str("baja"))) {
    ui::MSGSTOP(s.messages(), "Trabajador  " + code + "  Dado de Baja");
    return false;
  }
  return readLocked(s, master, [&] {
    code = master.str("codigo");
    name = master.str("nombre");
  });
}

void XONEREFRES(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& active = br.table();
  Table* master = s.alias(kMasterAlias);
  const uint32_t rec = active.recno();
  if (!master) return;
  std::string code(10, ' '), name;
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "OneRefres", "Adicionar OneRefresh");
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    dlg.label(101).colors(ui::color::kBlue, ui::color::kScreen);
    dlg.tableCombo(102, ui::ref(code), *master, "CODIGO", "NOMBRE")
        .colors(ui::color::kNavy, ui::color::kCyan)
        .valid([&] {
          bool ok = CODONEREFRESH(s, active, *master, code, name);
          if (ok)
            if (ui::Label* l = dlg.labelById(551)) l->refresh();
          return ok;
        });
    dlg.label(551).text([&code] { return trimRight(code); }).colors(ui::color::kNavy, ui::color::kSilver);
    dlg.bitmapButton(109, "check1.bmp", [&] {
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(110, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  if (accepted && !isBlank(code)) {
    // Checked again at the accept: the choice may have been left untouched.
    if (CODONEREFRESH(s, active, *master, code, name)) (void)appendFromMaster(s, active, *master);
  } else if (accepted) {
    ui::MSGSTOP(s.messages(), "Codigo  En Blanco");
  }
  selectTable(s, active);
  returnTo(active, br, rec);
}

void DIASREAL(Session& s, ui::Browse& br) {
  const int days = daysOfMonth(s.YMES);
  if (days == 0) return returnTo(br.table(), br, br.table().recno());
  setRealDays(s, br, days);
}

void BISIESTOS(Session& s, ui::Browse& br) {
  if (s.YMES != "02") return returnTo(br.table(), br, br.table().recno());
  setRealDays(s, br, 29);
}

void SEEKEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!askKey(tk, "Codigo ", 10, code, "@!")) return;
  selectTable(s, t);
  if (!keySearch(t, code, 10)) ui::MSGALERT(s.messages(), "Codigo " + code + " No Existe");
  settle(br);
}

}  // namespace planilla::masters
