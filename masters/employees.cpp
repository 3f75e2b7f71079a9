#include "masters/employees.h"

#include <optional>
#include <utility>
#include <vector>

#include "masters/employee_extra.h"
#include "masters/maintenance.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "ui/dialogs.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::masters {

namespace {

using catalog::TableId;

const char* kTitle = "Mensaje";
const char* kInputTitle = "Error En Ingreso De Dato";
const char* kScreenTitle = "Mantenimiento Maestro De Empleados";
const char* kFundsAlias = "Afps";

// The tables the employee form lists, in the order the screen tests and opens them
// (work areas 2 to 10), with the message shown when one is missing.
const std::vector<ScreenTable>& formTables() {
  static const std::vector<ScreenTable> k = {
      {TableId::Situations, "Situac", "Maestro Situacion  No Existe, (Crearlo)"},
      {TableId::PensionFunds, kFundsAlias, "Maestro De Afps.   No Existe, (Crearlo)"},
      {TableId::CostCentres, "Costos", "Maestro Centro Costos   No Existe, (Crearlo)"},
      {TableId::Banks, "Bancos", "Maestro De Bancos  No Existe, (Crearlo)"},
      {TableId::WorkerTypes, "Tipos", "Maestro Tipo De Trabajador  No Existe, (Crearlo)"},
      {TableId::PensionerTypes, "Catego", "Maestro Tipo De Pensionistas/Prestacion Servicios  No Existe, (Crearlo)"},
      {TableId::DocumentTypes, "DocIde", "Maestro Tipo Documento De Identidad  No Existe, (Crearlo)"},
      {TableId::MovementTypes, "MovPer", "Maestro Tipo Movimiento De Personal  No Existe, (Crearlo)"},
      {TableId::UniqueCodes, "Unica", "Maestro Planilla Unica No Existe, (Crearlo)"},
  };
  return k;
}

void readForm(Table& t, EmployeeForm& f) {
  f.codigo = padTo(t.str("codigo"), 10);
  f.nombre1 = padTo(t.str("nombre1"), 20);
  f.nombre2 = padTo(t.str("nombre2"), 20);
  f.apelli1 = padTo(t.str("apelli1"), 20);
  f.apelli2 = padTo(t.str("apelli2"), 20);
  f.direccion = padTo(t.str("direccion"), 60);
  f.fech_nac = t.date("fech_nac");
  f.fech_ing = t.date("fech_ing");
  f.telefono = padTo(t.str("telefono"), 10);
  f.electoral = padTo(t.str("electoral"), 8);
  f.cargo = padTo(t.str("cargo"), 40);
  f.carnet = padTo(t.str("carnet"), 15);
  f.sexo = padTo(t.str("sexo"), 1);
  f.fcese = t.date("fcese");
  f.Retri = padTo(t.str("Retri"), 1);
  f.nacion = padTo(t.str("nacion"), 20);
  f.tiptrab = padTo(t.str("tiptrab"), 2);
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
  f.DocIden = padTo(t.str("DocIden"), 1);
  f.MovPer = padTo(t.str("MovPer"), 1);
  f.Plani = padTo(t.str("Plani"), 6);
  f.codafp = padTo(t.str("codafp"), 6);
  f.banco = padTo(t.str("banco"), 4);
  f.nroafp = padTo(t.str("nroafp"), 12);
  f.ctacte = padTo(t.str("ctacte"), 25);
  f.fech_afp = t.date("fech_afp");
  f.situacion = padTo(t.str("situacion"), 2);
  f.fechasitua = t.date("fechasitua");
  f.ccosto = padTo(t.str("ccosto"), 6);
  f.tienecta = padTo(t.str("tienecta"), 1);
  f.catego = padTo(t.str("catego"), 2);
}

// The fields the form writes, with the derived name.
void fillEmployee(RecordEdit& e, const EmployeeForm& f) {
  e.text("codigo", f.codigo)
      .text("nombre1", f.nombre1)
      .text("nombre2", f.nombre2)
      .text("apelli1", f.apelli1)
      .text("apelli2", f.apelli2)
      .text("nombre", employeeName(f.apelli1, f.apelli2, f.nombre1, f.nombre2))
      .text("direccion", f.direccion)
      .text("fech_nac", f.fech_nac.dtos())
      .text("fech_ing", f.fech_ing.dtos())
      .text("telefono", f.telefono)
      .text("electoral", f.electoral)
      .text("cargo", f.cargo)
      .text("carnet", f.carnet)
      .number("bas_men", f.bas_men)
      .number("asigna", f.asigna)
      .number("esvida", f.esvida)
      .number("gratif", f.gratif)
      .text("quinta", f.quinta)
      .text("sexo", f.sexo)
      .text("nacion", f.nacion)
      .text("fcese", f.fcese.dtos())
      .number("imp5ta", f.imp5ta)
      .text("Retri", f.Retri)
      .number("control", f.control)
      .text("dolar", f.dolar)
      .text("seguroafp", f.seguroafp)
      .number("dia_tra", f.dia_tra)
      .text("tiptrab", f.tiptrab)
      .text("DocIden", f.DocIden)
      .text("MovPer", f.MovPer)
      .text("Plani", f.Plani)
      .text("codafp", f.codafp)
      .text("banco", f.banco)
      .text("nroafp", f.nroafp)
      .text("ctacte", f.ctacte)
      .text("fech_afp", f.fech_afp.dtos())
      .text("situacion", f.situacion)
      .text("fechasitua", f.fechasitua.dtos())
      .text("ccosto", f.ccosto)
      .text("tienecta", f.tienecta)
      .text("catego", f.catego);
}

// A drop-down list of a code table of the screen, in code order.
void codeCombo(ui::Dialog& dlg, Session& s, int id, std::string& var, const char* alias, const char* shown) {
  Table* t = s.alias(alias);
  if (!t) return;
  dlg.tableCombo(id, ui::ref(var), *t, "CODIGO", shown).colors(ui::color::kNavy, ui::color::kCyan);
}

void employeeDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  EmployeeForm f;
  if (!add) {
    if (!readLocked(s, t, [&] { readForm(t, f); })) return;
    std::string name;
    Table* funds = s.alias(kFundsAlias);
    if (funds && !isBlank(f.codafp) && keySearch(*funds, padTo(s.YMES, 2) + f.codafp, 0))
      name = funds->str("nombre");
    f.fundName = name.empty() ? std::string(6, ' ') : trimRight(name);
  }

  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditEmple", add ? "Adicionar Registro" : "Modificar Registro");
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    for (int id = 201; id <= 238; ++id) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    auto text = [&](int id, std::string& v, const char* pic) -> ui::Field& {
      return dlg.field(id, ui::ref(v)).picture(pic).colors(ui::color::kBlack, ui::color::kCyan);
    };
    auto number = [&](int id, double& v, const char* pic) -> ui::Field& {
      return dlg.field(id, ui::ref(v)).picture(pic).colors(ui::color::kBlack, ui::color::kCyan);
    };
    auto date = [&](int id, Date& v) -> ui::Field& {
      return dlg.field(id, ui::ref(v)).picture("@e").colors(ui::color::kBlack, ui::color::kCyan);
    };
    ui::Field& code = text(102, f.codigo, "@!");
    ui::Field& first = text(104, f.nombre1, "@!");
    // Two employees with one code would be one person to the month's list, the
    // calculation and the reports: a code held by another record is refused here.
    code.valid([&] {
      if (isBlank(f.codigo) || checkKey(t, f.codigo, add ? 0 : rec) != KeyCheck::Taken) return true;
      ui::MSGSTOP(s.messages(), "Codigo  " + f.codigo + " Existe", kTitle);
      return false;
    });
    if (!add) {
      code.tooltip("Modificar Codigo");
      first.tooltip("Modificar Descripcion");
    }
    text(168, f.nombre2, "@!");
    text(164, f.apelli1, "@!");
    text(166, f.apelli2, "@!");
    text(106, f.direccion, "@!");
    date(108, f.fech_nac);
    date(112, f.fech_ing);
    text(114, f.telefono, "@!");
    text(116, f.electoral, "@!");
    text(118, f.cargo, "@!");
    text(120, f.carnet, "@!");
    text(158, f.sexo, "@!").valid([&] { return CODSEX(s, f.sexo); });
    date(154, f.fcese);
    text(190, f.Retri, "@!").valid([&] { return CODRET(s, f.Retri); });
    text(156, f.nacion, "@!");
    codeCombo(dlg, s, 160, f.tiptrab, "Tipos", "NOMBRE");
    number(134, f.bas_men, "###,###.##");
    number(136, f.asigna, "##,###.##");
    number(138, f.esvida, "##,###.##");
    number(140, f.gratif, "##,###.##");
    text(142, f.quinta, "!");
    ui::Field& amount = number(183, f.imp5ta, "##,###.##").colors(ui::color::kNavy, ui::color::kCyan);
    amount.enable(f.control != 2);
    dlg.radio({181, 182}, ui::ref(f.control)).onChange([&] { CCAM05(dlg, f.control, f.imp5ta); });
    text(144, f.dolar, "!").valid([&] { return CODEURO(s, f.dolar); });
    text(148, f.seguroafp, "!");
    number(150, f.dia_tra, "##").valid([&] { return COD01TRA(s, f.dia_tra, 1); });
    codeCombo(dlg, s, 169, f.DocIden, "DocIde", "CODNOM");
    codeCombo(dlg, s, 193, f.MovPer, "MovPer", "CODNOM");
    codeCombo(dlg, s, 192, f.Plani, "Unica", "CODNOM");
    text(126, f.codafp, "@!").colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
      return COD01PER(s, f.codafp, f.fundName, &dlg);
    });
    dlg.label(551).text([&f] { return f.fundName; }).colors(ui::color::kNavy, ui::color::kSilver);
    dlg.image(301, "Buscar", [&] { CONSULTAPLABANCOS(s, tk, f, 6, &dlg); });
    codeCombo(dlg, s, 130, f.banco, "Bancos", "NOMBRE");
    text(132, f.nroafp, "@!");
    text(186, f.ctacte, "@!");
    date(146, f.fech_afp);
    codeCombo(dlg, s, 122, f.situacion, "Situac", "NOMBRE");
    date(124, f.fechasitua);
    codeCombo(dlg, s, 128, f.ccosto, "Costos", "CODNOM");
    text(188, f.tienecta, "!").valid([&] { return INDICA02(s, f.tienecta); });
    codeCombo(dlg, s, 172, f.catego, "Catego", "NOMBRE");
    // The second record of the code on the form (created on its first edit).
    dlg.button(403, [&] {
      EDITADIC(s, tk, f.codigo, employeeName(f.apelli1, f.apelli2, f.nombre1, f.nombre2));
      selectTable(s, t);
    });
    dlg.bitmapButton(401, add ? "check1.bmp" : "save1.bmp", [&] {
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(402, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.askDiscard();
    dlg.activate();
  }
  selectTable(s, t);
  if (!accepted) return returnTo(t, br, rec);
  if (isBlank(f.codigo)) {
    if (add)
      ui::MSGSTOP(s.messages(), "Codigo  En Blanco");
    else
      ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
    return returnTo(t, br, rec);
  }
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) { fillEmployee(e, f); });
}

std::string writerDate(Table& t, const char* field) { return reports::writerDate(t.date(field)); }

// "Datos Adicionales" from the bar: the second record of the employee under the cursor.
void extraOfListed(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  if (!onRecord(t)) return;
  const std::string code = t.str("codigo"), name = t.str("nombre");
  EDITADIC(s, tk, code, name);
  selectTable(s, t);
  settle(br);
}

}  // namespace

std::string employeeName(const std::string& apelli1, const std::string& apelli2, const std::string& nombre1,
                         const std::string& nombre2) {
  return padTo(trimRight(apelli1) + " " + trimRight(apelli2) + ", " + trimRight(nombre1) + " " + trimRight(nombre2),
             50);
}

Table* openEmployeeScreen(Session& s, TableId own, const std::vector<ScreenTable>& needed, bool alert) {
  auto say = [&s, alert](const std::string& text) {
    if (alert) {
      ui::MSGALERT(s.messages(), text);
    } else {
      ui::MSGSTOP(s.messages(), text);
    }
  };
  if (isBlank(s.YCIA) || isBlank(s.YANO) || isBlank(s.YMES)) {
    say("Primero, Elija La Compania Con Que Va a Trabajar (cia)");
    return nullptr;
  }
  for (const auto& n : needed) {
    if (!s.fileExists(s.def(n.id).dbf())) {
      say(n.missing);
      return nullptr;
    }
  }
  const catalog::TableDef def = s.def(own);
  if (!ensureTable(s, def)) return nullptr;
  Table* t = openOwnTable(s, def, 1, "Emplea");
  if (!t) return nullptr;
  int area = 2;
  for (const auto& n : needed) {
    if (!openExisting(s, s.def(n.id), area++, n.missing, n.alias)) {
      s.closeAll();
      return nullptr;
    }
  }
  s.select(1);
  (void)t->goTop();
  return t;
}

bool activeBetween(const Table& master, const Date& from, const Date& to) {
  const Date hired = master.date("fech_ing");
  if (!hired.empty() && !to.empty() && hired > to) return false;
  const Date gone = master.date("fcese");
  if (isBlank(master.str("baja"))) return gone.empty() || from.empty() || gone >= from;
  return !gone.empty() && (from.empty() || gone >= from);
}

void F_PJLG01(Session& s, ui::Toolkit& tk) {
  Table* t = openEmployeeScreen(s, TableId::EmployeeMaster, formTables(), false);
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "ManteP02", kScreenTitle, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"CODIGO", "NOMBRE", "CARGO", "ELECTORAL", "TIPO", "QUINTA", "SEGURO", "D/TRAJ", "CTA", "IDENT",
                    "MOV", "PLANI"})
            .widths({50, 240, 200, 80, 40, 45, 45, 45, 40, 40, 40, 40})
            .aligns({A::Left, A::Left, A::Left, A::Left, A::Left, A::Left, A::Left, A::Right, A::Left, A::Left,
                     A::Left, A::Left})
            .line([&tb] {
              return std::vector<std::string>{tb.str("codigo"),   tb.str("nombre"),
                                              tb.str("cargo"),    tb.str("electoral"),
                                              tb.str("tiptrab"),  tb.str("quinta"),
                                              tb.str("seguroafp"), ui::transform(tb.num("dia_tra"), "99"),
                                              tb.str("tienecta"), tb.str("DocIden"),
                                              tb.str("MovPer"),   tb.str("Plani")};
            })
            // Terminated employees stand out: "1" cyan, "2" green.
            .rowColors([&tb]() -> std::optional<std::pair<ui::Color, ui::Color>> {
              const std::string baja = tb.str("baja");
              if (baja == "1") return std::make_pair(ui::color::kCyan, ui::color::kWhite);
              if (baja == "2") return std::make_pair(ui::Color{0, 255, 0}, ui::color::kWhite);
              return std::make_pair(ui::color::kBlack, ui::color::kWhite);
            });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUIL01EMPLE(s, tk, dlg, br); });
}

void BUIL01EMPLE(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br) {
  buildBars(dlg, {
                     {"add.bmp", "Adiciona Registro", [&] { EDITEMPLEA(s, tk, br, true); }},
                     {"modify.bmp", "Modifica Registro", [&] { MODIEMPLEA(s, tk, br, false); }},
                     {"buscar10.bmp", "Buscar Registro", [&] { seekGeneralEmployee(s, tk, br); }},
                     {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                     {"print1.bmp", "Imprime Registros", [&] { IMPREMPLEA(s, br); }},
                     {"datosadic.bmp", "Datos Adicionales", [&] { extraOfListed(s, tk, br); }},
                 });
}

void EDITEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { employeeDialog(s, tk, br, add); }

void MODIEMPLEA(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { employeeDialog(s, tk, br, add); }

void seekGeneralEmployee(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!askKey(tk, "Codigo ", 6, code, "@!")) return;
  selectTable(s, t);
  // The typed text is the leading part of a code: "12" finds "120001".
  if (!keySearch(t, trimRight(code), 0)) ui::MSGSTOP(s.messages(), "Codigo " + code + " No Existe");
  settle(br);
}

void CCAM05(ui::Dialog& dlg, int control, double& amount) {
  amount = 0;
  ui::Field* field = dlg.fieldById(183);
  if (!field) return;
  field->refresh();
  if (control == 1) {
    field->setEnabled(true);
    field->setFocus();
  } else {
    field->setEnabled(false);
    if (ui::Field* currency = dlg.fieldById(144)) currency->setFocus();
  }
}

bool CODSEX(Session& s, const std::string& v) {
  if (v == "F" || v == "M") return true;
  ui::MSGSTOP(s.messages(), "Error , Ingrese  [M=Masculino] o [F=Femenino] ");
  return false;
}

bool CODRET(Session& s, const std::string& v) {
  if (v == "1" || v == "2") return true;
  ui::MSGSTOP(s.messages(), "Error , Ingrese  [1=Boleta]  o  [2=Retribucion]");
  return false;
}

bool CODEURO(Session& s, const std::string& v) {
  if (v == "S" || v == "D" || v == "E") return true;
  ui::MSGSTOP(s.messages(), "Error , Ingrese  [D=Dolar] o [S=Soles] o [E=Euro] ");
  return false;
}

bool INDICA02(Session& s, const std::string& v) {
  if (isBlank(v) || v == "F" || v == "N") return true;
  ui::MSGSTOP(s.messages(),
              "Error , Ingrese  [F=Fondo Uno] o  [N=Sin Apertura  Cuenta de Sueldo]  o  [Espacio en Blanco=]");
  return false;
}

namespace {
bool inRange(Session& s, double value, double hi) {
  if (value >= 0 && value <= hi) return true;
  ui::MSGALERT(s.messages(), "Rango Fuera De Parametro", kInputTitle);
  return false;
}
}  // namespace

bool COD01TRA(Session& s, double value, int kind) {
  if (kind != 1 && kind != 2) return true;
  return inRange(s, value, 31);
}

bool COD02TRA(Session& s, double value) { return inRange(s, value, 240); }

bool COD03TRA(Session& s, double value) { return inRange(s, value, 31); }

bool COD01PER(Session& s, const std::string& code, std::string& name, ui::Dialog* dlg) {
  if (isBlank(code)) return true;
  Table* funds = s.alias(kFundsAlias);
  // A fund is valid for the form only with a record for the working month.
  if (funds && keySearch(*funds, padTo(s.YMES, 2) + padTo(code, 6), 0)) {
    name = trimRight(funds->str("nombre"));
    if (dlg)
      if (ui::Label* l = dlg->labelById(551)) l->refresh();
    return true;
  }
  ui::MSGALERT(s.messages(), "Codigo Afp  " + code + " No Existe", kInputTitle);
  return false;
}

bool KYLPLAAYU(Session& s, ui::Toolkit& tk, std::string& code, int n) {
  if (n != 6) return false;
  Table* funds = s.alias(kFundsAlias);
  if (!funds) return false;
  (void)funds->goTop();
  ui::LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Afps)";
  std::string chosen = code;
  if (!ui::lookupList(tk, *funds, o, &chosen)) return false;
  code = padTo(chosen, 6);
  return true;
}

void CONSULTAPLABANCOS(Session& s, ui::Toolkit& tk, EmployeeForm& f, int n, ui::Dialog* dlg) {
  if (!KYLPLAAYU(s, tk, f.codafp, n)) return;
  Table* funds = s.alias(kFundsAlias);
  if (!funds || funds->eof()) return;
  f.codafp = padTo(funds->str("codigo"), 6);
  f.fundName = trimRight(funds->str("nombre"));
  if (!dlg) return;
  if (ui::Label* l = dlg->labelById(551)) l->refresh();
  if (ui::Field* c = dlg->fieldById(126)) {
    c->refresh();
    c->setFocus();
  }
}

void IMPREMPLEA(Session& s, ui::Browse& br) {
  IMPREMPLEA(s, br.table());
  settle(br);
}

void IMPREMPLEA(Session& s, Table& table) {
  ListingLayout listing;
  listing.reportTitle = "Maestro Empleado";
  listing.orientation = 2;
  listing.c00 = 690;
  listing.base = 690;
  listing.widths = {6, 30, 2, 7, 27, 8, 7, 7, 11, 9, 7, 7};
  listing.header = listingTitleLines(s, "PADRON DE TRABAJADORES", 500, "$c02");
  listing.header.push_back("{\\n;$c02;s=8;b=y;a=l} {tab=500}  {b=n;\\n}");
  listing.header.push_back("{Line=300,16000;\\n}");
  listing.header.push_back(
      "{$c00;a=l;s=7} CODIGO{$c01;a=l} APELLIDOS Y NOMBRES {$c02;a=l} {tab=-100} SEXO{$c03;a=l} F/NACIMI."
      "{$c04;a=l} DOMICILIO{$c05;a=l} {tab=-100} NACIONALIDAD{$c06;a=l} DOC.IDEN.{$c07;a=l} F/INGRESO"
      "{$c08;a=l} CARGO{$c09;a=l} COD-AFP{$c10;a=l} F/CESE {\\n}");
  listing.header.push_back("{Line=300,16000;\\n}");
  printListing(s, table, listing, [](Table& t) {
    using reports::rpvText;
    return "{e;$c00;a=l;s=7} " + rpvText(t.str("codigo")) + "{t;$c01;a=l} " + rpvText(t.str("nombre")) +
           "{t;$c02;a=l} " + rpvText(t.str("sexo")) + "{t;$c03;a=l} " + writerDate(t, "fech_nac") + "{t;$c04;a=l} " +
           rpvText(t.str("direccion").substr(0, 36)) + "{t;$c05;a=l} " + rpvText(t.str("nacion").substr(0, 11)) +
           "{t;$c06;a=l} " + rpvText(t.str("electoral")) + "{t;$c07;a=l} " + writerDate(t, "fech_ing") +
           "{t;$c08;a=l} " + rpvText(t.str("cargo").substr(0, 15)) + "{t;$c09;a=l} " + rpvText(t.str("nroafp")) +
           "{t;$c10;a=l} " + writerDate(t, "fcese") + "{t;\\n}";
  });
}

}  // namespace planilla::masters
