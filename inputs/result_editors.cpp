#include "inputs/result_editors.h"

#include "inputs/common.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "store/value.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::inputs {

namespace {

using namespace masters;

constexpr const char* kAlias = "HorMovExt";
constexpr const char* kPicture = "###,###.##";
constexpr int kFirst = 104, kLastIncome = 122, kLastDeduction = 138;
constexpr int kDeductions = 140, kGross = 142, kContributions = 148, kNet = 150;

// The result field behind each control, for the gratification dialogs and for the
// payroll detail (they differ at 114 and 146).
struct FormField {
  int control;
  const char* grati;
  const char* payroll;
};
constexpr FormField kFields[24] = {
    {104, "BAS_QUI", "BAS_QUI"},   {106, "ASIGNA", "ASIGNA"},     {108, "REFRIG", "REFRIG"},
    {110, "MOVILI", "MOVILI"},     {112, "VACACI", "VACACI"},     {114, "BONIFI", "PRODUC"},
    {116, "UTILI", "UTILI"},       {118, "DIASTRA", "DIASTRA"},   {120, "CTS", "CTS"},
    {122, "GRATIF", "GRATIF"},     {124, "ADELANTO", "ADELANTO"}, {126, "OTROSD", "OTROSD"},
    {128, "TARDAN", "TARDAN"},     {130, "SNPT", "SNPT"},         {132, "AAPOR1", "AAPOR1"},
    {134, "AAPOR2", "AAPOR2"},     {136, "AAPOR3", "AAPOR3"},     {138, "RTA_5TA", "RTA_5TA"},
    {140, "T_DSCTOT", "T_DSCTOT"}, {142, "TBRUTO", "TBRUTO"},     {144, "IPSSE", "IPSSE"},
    {146, "FONAVIE", "SNPE"},      {148, "T_DSCTOE", "T_DSCTOE"}, {150, "TPAGAR", "TPAGAR"},
};

void readForm(Table& t, ResultForm& f, EmployeeChoice& c, bool payroll) {
  c.code = padTo(t.str("codigo"), kCodeWidth);
  c.name = trimRight(t.str("nombre"));
  for (const auto& k : kFields) f.at(k.control) = t.num(payroll ? k.payroll : k.grati);
}

double sum(ResultForm& f, int from, int to) {
  double total = 0;
  for (int id = from; id <= to; id += 2) total += f.at(id);
  return round2(total);
}

bool notNegative(Session& s, double amount) {
  if (amount >= 0) return true;
  ui::MSGSTOP(s.messages(), "Importe Debe Ser Mayor Que Cero", "Mensaje");
  return false;
}

void refreshFields(ui::Dialog* dlg, std::initializer_list<int> ids) {
  if (!dlg) return;
  for (int id : ids)
    if (ui::Field* f = dlg->fieldById(id)) f->refresh();
}

// The form's common part: labels, the code with its check and lookup, the name.
void codePart(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, EmployeeChoice& c) {
  c.dlg = &dlg;
  dlg.setColors(ui::color::kBlack, ui::color::kScreen);
  for (ui::Control* k : dlg.controls()) {
    if (k->inTemplate() && k->templateClass() == ui::ControlClass::Label && k->id() % 2 == 1)
      k->setColors(ui::color::kBlue, ui::color::kScreen);
  }
  dlg.field(102, ui::ref(c.code)).picture("@!").colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
    return CODEMPPER(s, c);
  });
  dlg.label(551).text([&c] { return c.name; }).colors(ui::color::kNavy, ui::color::kSilver);
  dlg.image(301, "Buscar", [&] { CONSULTAEMPBANCOS(s, tk, c, 1); }).tooltip("Buscar");
}

void gratiDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  EmployeeChoice c;
  ResultForm f;
  // A refused lock ends here: a blank form saved would zero the record.
  if (!add && !readLocked(s, t, [&] { readForm(t, f, c, false); })) return;
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditSueldo", add ? "Adicionar Registro" : "Modificar Registro");
    codePart(s, tk, dlg, c);
    for (const auto& k : kFields) {
      ui::Field& fld = dlg.field(k.control, ui::ref(f.at(k.control))).picture(kPicture).column(t, k.grati);
      double& v = f.at(k.control);
      if (k.control <= kLastIncome)
        fld.valid([&s, &f, &v, &dlg] { return SUELDO01(s, f, v, &dlg); });
      else if (k.control <= kLastDeduction)
        fld.valid([&s, &f, &v, &dlg] { return SUELDO02(s, f, v, &dlg); });
      else if (k.control == 144 || k.control == 146)
        fld.valid([&s, &f, &v, &dlg] { return SUELDO03(s, f, v, &dlg); });
      if (k.control == 128) fld.tooltip("Importe Inafecto (cuestion monetaria)");
    }
    saveCancelButtons(dlg, 201, accepted);
    dlg.activate();
  }
  if (!formAccepted(s, t, br, rec, accepted, c.code, "Codigo  En Blanco")) return;
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    e.text("codigo", c.code).text("nombre", c.name);
    for (const auto& k : kFields) e.number(k.grati, f.at(k.control));
  });
}

}  // namespace

bool SUELDO01(Session& s, ResultForm& f, double amount, ui::Dialog* dlg) {
  if (!notNegative(s, amount)) return false;
  f.at(kGross) = sum(f, kFirst, kLastIncome);
  f.at(kNet) = round2(f.at(kGross) - f.at(kDeductions));
  refreshFields(dlg, {kGross, kNet});
  return true;
}

bool SUELDO02(Session& s, ResultForm& f, double amount, ui::Dialog* dlg) {
  if (!notNegative(s, amount)) return false;
  f.at(kDeductions) = sum(f, kLastIncome + 2, kLastDeduction);
  f.at(kNet) = round2(f.at(kGross) - f.at(kDeductions));
  refreshFields(dlg, {kDeductions, kGross, kNet});
  return true;
}

bool SUELDO03(Session& s, ResultForm& f, double amount, ui::Dialog* dlg) {
  if (!notNegative(s, amount)) return false;
  f.at(kContributions) = round2(f.at(144) + f.at(146));
  refreshFields(dlg, {kContributions});
  return true;
}

void MODISUELDO(Session& s, ui::Toolkit& tk, ui::Browse& br, bool) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!onRecord(t)) return;
  EmployeeChoice c;
  ResultForm f;
  if (!readLocked(s, t, [&] { readForm(t, f, c, true); })) return;
  bool saveAsked = false;
  {
    ui::Dialog dlg(tk, "EditSueldo", "Consulta Detallada Del Trabajador");
    codePart(s, tk, dlg, c);
    for (const auto& k : kFields) {
      ui::Label& l = dlg.label(k.control).text(ui::transform(f.at(k.control), kPicture));
      l.colors(ui::color::kNavy, ui::color::kCyan);
      if (k.control == 128) l.tooltip("Importe Inafecto (cuestion monetaria)");
    }
    dlg.bitmapButton(201, "SAVE32.BMP", [&] {
      saveAsked = true;
      dlg.end();
    });
    dlg.bitmapButton(202, "exit1.bmp", [&dlg] { dlg.end(); }).cancel();
    dlg.activate();
  }
  if (saveAsked && isBlank(c.code)) ui::MSGSTOP(s.messages(), "Codigo  En Blanco");
  selectTable(s, t);
  returnTo(t, br, rec);
}

namespace {

// Steps 1 to 4 of both screens.
Table* openResults(Session& s, catalog::TableId id, const std::string& missing) {
  if (isBlank(s.YCIA) || isBlank(s.YANO) || isBlank(s.YMES)) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar", "Mensaje");
    return nullptr;
  }
  ScreenTables tables{id, kAlias, kMasterHor, "Maestro De Trabajadores  No Existe, (Crearlo)"};
  tables.create = false;
  tables.missing = missing;
  return openInputTables(s, tables);
}

// The list of both screens: code, name and 22 amounts; the sixth and seventh differ.
void resultColumns(ui::Browse& br, bool grati) {
  Table& tb = br.table();
  struct Col {
    const char* header;
    const char* field;
  };
  std::vector<Col> cols = {{"SUELDO", "BAS_QUI"},   {"ASIG", "ASIGNA"},       {"REFRIGERIO", "REFRIG"},
                           {"MOVILIDAD", "MOVILI"}, {"VACACI", "VACACI"},     {"BONO/PRODUC", "PRODUC"},
                           {"UTILIDAD", "UTILI"},   {"CTS", "CTS"},           {"D/TRABAJ", "DIASTRA"},
                           {"T/BRUTO", "TBRUTO"},   {"ONP.TRAB", "SNPT"},     {"AFP 10%", "AAPOR1"},
                           {"SEGURO", "AAPOR2"},    {"COMISION", "AAPOR3"},   {"ADELANTO", "ADELANTO"},
                           {"PREST/O.DSC.", "OTROSD"}, {"RTA.5TA", "RTA_5TA"}, {"T-DSCTOS", "T_DSCTOT"},
                           {"NETO PAGAR", "TPAGAR"}, {"ESSALUD", "IPSSE"},    {"SCTR-SALUD", "FONAVIE"},
                           {"T-APORTE", "T_DSCTOE"}};
  if (grati) {
    cols[5] = {"GRATIFICACION", "GRATIF"};
    cols[6] = {"BONIFICACION", "BONIFI"};
  }
  std::vector<std::string> headers = {"CODIGO", "N O M B R E"};
  std::vector<int> widths = {60, 250};
  std::vector<ui::Browse::Align> aligns = {ui::Browse::Align::Left, ui::Browse::Align::Left};
  for (const auto& c : cols) {
    headers.push_back(c.header);
    widths.push_back(80);
    aligns.push_back(ui::Browse::Align::Right);
  }
  br.headers(headers).widths(widths).aligns(aligns).line([&tb, cols] {
    std::vector<std::string> v = {tb.str("codigo"), tb.str("nombre")};
    for (const auto& c : cols) v.push_back(amount(tb, c.field, "##,###.##"));
    return v;
  });
}

}  // namespace

void F_SUELDOS(Session& s, ui::Toolkit& tk) {
  Table* t = openResults(s, catalog::TableId::PayrollSoles, "Archivo Planilla-1 Mes " + s.YMES + " No Existe");
  if (!t) return;
  runListScreen(
      s, tk, "Mante041", "Archivo De Sueldos Mensual " + s.MES_CIE, *t,
      [](ui::Browse& br) { resultColumns(br, false); },
      [&](ui::Dialog&, ui::Browse& br) {
        return std::vector<ScreenButton>{
            {103, "edit", "Consulta Detallada de Empleado", [&] { MODISUELDO(s, tk, br, false); }},
            {107, "salir0", "Salir", {}}};
      },
      "Solo consulta: un nuevo Calculo De Planilla del mes reemplaza estos resultados");
}

void F_GRATIFI(Session& s, ui::Toolkit& tk) {
  Table* t = openResults(s, catalog::TableId::GratSoles, "Archivo Gratificacion  " + s.YMES + " No Existe");
  if (!t) return;
  runListScreen(
      s, tk, "Mante04", "Archivo De Gratificacion " + s.MES_CIE, *t,
      [](ui::Browse& br) { resultColumns(br, true); },
      [&](ui::Dialog&, ui::Browse& br) {
        return standardButtons([&](bool add) { add ? EDITGRATIF(s, tk, br, true) : MODIGRATIF(s, tk, br, false); },
                               [&] { DELBANCOS(s, tk, br); }, [&] { SEEKVACACE(s, tk, br); },
                               [&] { printEmployees(s, kMasterHor); });
      },
      "Un nuevo Calculo De Gratificacion del mes reemplaza los cambios hechos aqui");
}

void EDITGRATIF(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { gratiDialog(s, tk, br, add); }
void MODIGRATIF(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { gratiDialog(s, tk, br, add); }

}  // namespace planilla::inputs
