#include "masters/rates.h"

#include <map>
#include <string>
#include <vector>

#include "calc/tax_law.h"
#include "session/tables.h"
#include "masters/maintenance.h"
#include "store/catalog.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::masters {

namespace {

const char* kTitle = "Mensaje";
const char* kPercent = "###.##";
const char* kAmount = "###,###.##";

struct NumberControl {
  int id;
  const char* field;
  const char* picture;
};

// The numeric inputs of the form, in the order of the template.
const std::vector<NumberControl>& numberControls() {
  static const std::vector<NumberControl> k = {
      {104, "ipsst", kPercent},      {114, "snpt", kPercent},     {138, "cofovice", kPercent},
      {108, "ipsse", kPercent},      {116, "snpe", kPercent},     {136, "eps", kPercent},
      {140, "sctr", kPercent},       {118, "acctrab", kPercent},  {122, "hexemp1", kPercent},
      {120, "hexemp2", kPercent},    {130, "baseret", "####,###.##"}, {144, "bonifi9", kAmount},
      {142, "minivital", kAmount},   {222, "tasa08", "###"},      {224, "tasa14", "###"},
      {226, "tasa17", "###"},        {228, "tasa20", "###"},      {230, "tasa30", "###"},
  };
  return k;
}

const char* const kLimitFields[5] = {"scala01", "scala02", "scala03", "scala04", "scala05"};
const int kLimitIds[5] = {202, 204, 206, 208, 210};

// Text fields of the form: control and field (the combos are bound apart).
const struct {
  int id;
  const char* field;
} kTextControls[] = {{102, "codigo"}, {150, "banco"}, {152, "carpeta"}};

}  // namespace

bool IMPUIT2(Session& s, double uit, std::array<double, 5>& limits) {
  if (uit < 0) {
    ui::MSGSTOP(s.messages(), "Importe Debe Ser Mayor Que Cero", kTitle);
    return false;
  }
  static const double kTimes[5] = {5, 20, 35, 45, 45};
  std::array<double, 5> out{};
  for (int i = 0; i < 5; ++i) out[static_cast<size_t>(i)] = round2(kTimes[i] * uit);
  // The limits are N 10.2 fields: a tax unit whose limits cannot be stored is refused
  // here rather than when the form is saved.
  if (out[4] > 9999999.99) {
    ui::MSGSTOP(s.messages(), "Importe Fuera De Rango", kTitle);
    return false;
  }
  limits = out;
  return true;
}

void F_PJLG05(Session& s, ui::Toolkit& tk) {
  if (isBlank(s.YCIA) || isBlank(s.YANO) || isBlank(s.YMES)) {
    ui::MSGSTOP(s.messages(), "Primero Ingrese Fecha", kTitle);
    return;
  }
  const catalog::TableDef def = s.def(catalog::TableId::Rates);
  if (!ensureTable(s, def)) return;  // created with its one blank record
  const int area = s.firstFreeArea() ? s.firstFreeArea() : 1;
  Table* tp = openOwnTable(s, def, area, "Porcen");
  if (!tp) return;
  Table& t = *tp;
  (void)t.goTop();
  const bool hasRecord = onRecord(t);

  auto width = [&](const char* f) {
    int i = t.fieldIndex(f);
    return i < 0 ? size_t(0) : static_cast<size_t>(t.field(i).width);
  };
  // The form's variables, read from the first record (zeros and blanks without one).
  std::map<std::string, double> num;
  std::map<std::string, std::string> txt;
  for (const auto& c : numberControls()) num[c.field] = hasRecord ? t.num(c.field) : 0;
  num["uit2"] = hasRecord ? t.num("uit2") : 0;
  std::array<double, 5> limits{};
  for (int i = 0; i < 5; ++i) limits[static_cast<size_t>(i)] = hasRecord ? t.num(kLimitFields[i]) : 0;
  for (const auto& c : kTextControls) txt[c.field] = hasRecord ? t.str(c.field) : std::string(width(c.field), ' ');
  std::string mesafec = hasRecord ? t.str("mesafec") : std::string(width("mesafec"), ' ');
  std::string firma = hasRecord ? t.str("Firma") : std::string(width("Firma"), ' ');
  // The projection with the gratifications' bonus, kept in its own table (pmae13).
  calc::TaxSettings tax;
  if (Status st = calc::readTaxSettings(s, &tax); !st) {
    showTableError(s, st);
    s.close(s.areaOf("Porcen"));
    return;
  }
  bool projectBonus = tax.projectBonus;

  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditPorce", "Datos");
    if (const ui::DialogTemplate* tmpl = dlg.tmpl()) {
      for (const auto& c : tmpl->controls) {
        if (c.cls == ui::ControlClass::Label && c.id != 65535)
          dlg.label(c.id).colors(ui::color::kBlue, ui::color::kScreen);
      }
    }
    for (const auto& c : kTextControls)
      dlg.field(c.id, ui::ref(txt[c.field])).picture("@!").column(t, c.field).colors(ui::color::kNavy, ui::color::kCyan);
    for (const auto& c : numberControls())
      dlg.field(c.id, ui::ref(num[c.field]))
          .picture(c.picture)
          .column(t, c.field)
          .colors(ui::color::kNavy, ui::color::kCyan);
    std::vector<ui::Field*> limitFields;
    for (int i = 0; i < 5; ++i) {
      limitFields.push_back(&dlg.field(kLimitIds[i], ui::ref(limits[static_cast<size_t>(i)]))
                                 .picture(kAmount)
                                 .readOnly()
                                 .colors(ui::color::kNavy, ui::color::kSilver));
    }
    dlg.field(200, ui::ref(num["uit2"])).picture(kAmount).colors(ui::color::kNavy, ui::color::kCyan).valid([&] {
      if (!IMPUIT2(s, num["uit2"], limits)) return false;
      for (ui::Field* f : limitFields) f->refresh();
      return true;
    });
    dlg.combo(146, ui::ref(mesafec),
              {"01 ENE", "02 FEB", "03 MAR", "04 ABR", "05 MAY", "06 JUN", "07 JUL", "08 AGO", "09 SET", "10 OCT",
               "11 NOV", "12 DIC"})
        .colors(ui::color::kNavy, ui::color::kSilver);
    dlg.combo(154, ui::ref(firma), {"1-ROVAN", "2-TELIS"}).colors(ui::color::kNavy, ui::color::kSilver);
    dlg.check(231, ui::ref(projectBonus)).colors(ui::color::kBlue, ui::color::kScreen);
    okCancelButtons(dlg, accepted);
    dlg.activate();
  }

  if (accepted) {
    // Only the fields of the form are written; the others keep what is stored.
    auto fill = [&](RecordEdit& e) {
      for (const auto& c : kTextControls) e.text(c.field, txt[c.field]);
      for (const auto& c : numberControls()) e.number(c.field, num[c.field]);
      e.number("uit2", num["uit2"]);
      for (int i = 0; i < 5; ++i) e.number(kLimitFields[i], limits[static_cast<size_t>(i)]);
      e.text("mesafec", mesafec).text("Firma", firma);
    };
    if (hasRecord) {
      (void)changeRecord(s, t, t.recno(), fill);
    } else {
      // A table left without its record gets it back on the first save.
      RecordEdit e = RecordEdit::blank(t);
      fill(e);
      if (addRecord(s, t, e)) FREE(s);
    }
    if (projectBonus != tax.projectBonus) {
      tax.projectBonus = projectBonus;
      Status st = calc::writeTaxSettings(s, tax);
      if (st.code() == ErrorCode::Locked || st.code() == ErrorCode::InUse)
        ui::MSGSTOP(s.messages(), "Acceso Denegado Registro En Uso", kTitle);
      else if (!st)
        showTableError(s, st);
    }
  }
  s.close(s.areaOf("Porcen"));
}

}  // namespace planilla::masters
