// The screen "Datos Adicionales": the employee's second record (masters/employee_extra.h).
#include <vector>

#include "masters/employee_extra.h"
#include "masters/sunat_codes.h"
#include "store/value.h"
#include "ui/messages.h"

namespace planilla::masters {

namespace {

const char* kTitle = "Mensaje";

// The first word of a list item ("01 RENUNCIA" -> "01"): the code the record keeps.
std::string codeOf(const std::string& item) {
  const std::string t = trimRight(item);
  const size_t b = t.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  const size_t e = t.find(' ', b);
  return t.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

// The list of a SUNAT table: a blank first item, then "CODE NAME".
std::vector<std::string> itemsOf(const SunatCodes& codes, int n) {
  std::vector<std::string> items = {""};
  for (const CodeEntry& e : codes.table(n)) items.push_back(e.code + " " + e.name);
  return items;
}

// The item a stored code shows as: its list item, or the bare code when the table no
// longer lists it (kept as it is, the export names it).
std::string itemOf(const SunatCodes& codes, int n, const std::string& code) {
  if (code.empty()) return "";
  const CodeEntry* e = codes.find(n, code);
  return e ? e->code + " " + e->name : code;
}

// A text field of the form: the value padded to the field's width while edited.
struct Text {
  std::string* member;
  int width;
  std::string value;
};

// Checks of the form, in the order of the fields; each shows its message and returns
// false on the first problem.
struct Checks {
  Session& s;
  const SunatCodes& codes;
  bool fail(const std::string& text) {
    ui::MSGSTOP(s.messages(), text, kTitle);
    return false;
  }
  bool document(const std::string& tipdoc, const std::string& number) {
    if (number.empty()) return true;
    if (tipdoc == "01" || tipdoc.empty())
      return dniValid(number) || fail("El DNI Debe Tener 8 Digitos");
    return documentNumberValid(tipdoc, number) || fail("Numero De Documento No Valido Para Su Tipo");
  }
  bool mobile(const std::string& v) {
    return v.empty() || mobileValid(v) || fail("El Celular Debe Tener 9 Digitos Y Empezar Con 9");
  }
  bool email(const std::string& v) { return v.empty() || emailValid(v) || fail("Correo Electronico No Valido"); }
  bool ubigeo(const std::string& v) {
    if (v.empty()) return true;
    if (v.size() != 6 || !allDigits(v)) return fail("El UBIGEO Debe Tener 6 Digitos");
    return codes.district(v) || fail("UBIGEO " + v + " No Existe En " + kUbigeoFile);
  }
  bool occupation(const std::string& v) {
    return v.empty() || (v.size() == 6 && allDigits(v)) || fail("La Ocupacion Debe Tener 6 Digitos");
  }
  bool flag(const std::string& v) { return v.empty() || v == "0" || v == "1" || fail("Ingrese [1=Si] o [0=No]"); }
  bool account(const std::string& v) {
    return v.empty() || allDigits(v) || fail("La Cuenta Debe Tener Solo Digitos, Sin Guiones");
  }
  bool cci(const std::string& v) {
    return v.empty() || cciValid(v) ||
           fail("CCI No Valido: Son 20 Digitos Y Sus Dos Digitos De Control No Corresponden");
  }
  bool year(const std::string& v) {
    return v.empty() || (v.size() == 4 && allDigits(v)) || fail("El Anio Debe Tener 4 Digitos");
  }
};

}  // namespace

bool EDITADIC(Session& s, ui::Toolkit& tk, const std::string& codigo, const std::string& name) {
  if (trimRight(codigo).empty()) {
    ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
    return false;
  }
  Result<SunatCodes> loaded = loadSunatCodes(s);
  if (!loaded) {
    ui::MSGSTOP(s.messages(), loaded.status().message(), kTitle);
    return false;
  }
  const SunatCodes& codes = loaded.value();
  auto opened = openEmployeeExtra(s, OpenMode::Shared);
  if (!opened) {
    ui::MSGSTOP(s.messages(),
                opened.status().code() == ErrorCode::InUse ? "Apertura Denegada El Archivo Esta En Uso"
                                                           : opened.status().message(),
                kTitle);
    return false;
  }
  Table& t = **opened;
  EmployeeExtra x;
  if (!readEmployeeExtra(t, codigo, &x)) {
    // First edit: the usual case of a private company's monthly payroll.
    x.reglab = "01", x.periodic = "1", x.regsal = "00", x.estab = "0000", x.sitesp = "0", x.convenio = "0";
    x.discapac = x.jornalt = x.jormax = x.nocturno = x.sindicato = x.exon5ta = "0";
    x.sctrpen = "0", x.ctamon = "S";
  }
  Checks check{s, codes};

  // The coded fields, shown as list items.
  struct Coded {
    std::string* member;
    int table;
    std::string item;
  };
  std::vector<Coded> coded = {
      {&x.tipdoc, tabla::kDocumento, ""},       {&x.paisemi, tabla::kPaisEmisor, ""},
      {&x.nacional, tabla::kNacionalidad, ""},  {&x.tipvia, tabla::kVia, ""},
      {&x.tipzona, tabla::kZona, ""},           {&x.motbaja, tabla::kMotivoBaja, ""},
      {&x.reglab, tabla::kRegimenLaboral, ""},  {&x.sitedu, tabla::kEducacion, ""},
      {&x.tipcont, tabla::kContrato, ""},       {&x.periodic, tabla::kPeriodicidad, ""},
      {&x.sitesp, tabla::kSituacionEspecial, ""}, {&x.catocup, tabla::kCategoria, ""},
      {&x.convenio, tabla::kConvenio, ""},      {&x.regsal, tabla::kSalud, ""},
      {&x.eps, tabla::kEps, ""},                {&x.regpen, tabla::kPension, ""},
      {&x.tippago, tabla::kTipoPago, ""}};
  const int comboIds[] = {101, 103, 104, 107, 117, 123, 131, 132, 135, 136, 137, 138, 139, 151, 152, 155, 161};
  for (Coded& c : coded) c.item = itemOf(codes, c.table, *c.member);
  // The bank: table 36 has three digits, the record keeps the last two.
  std::string bank = x.bancosun.empty() ? "" : itemOf(codes, tabla::kBanco, "0" + x.bancosun);
  auto fixedItem = [](const std::vector<std::string>& items, const std::string& code) {
    for (const std::string& i : items)
      if (!code.empty() && codeOf(i) == code) return i;
    return code;
  };
  const std::vector<std::string> asisteItems = {"", "1 SI", "2 NO"};
  const std::vector<std::string> sctrSalItems = {"", "1 ESSALUD", "2 EPS"};
  const std::vector<std::string> sctrPenItems = {"0 NINGUNO", "1 ONP", "2 CIA. PRIVADA"};
  const std::vector<std::string> currencyItems = {"S SOLES", "D DOLARES"};
  std::string asiste = fixedItem(asisteItems, x.asiste), sctrsal = fixedItem(sctrSalItems, x.sctrsal),
              sctrpen = fixedItem(sctrPenItems, x.sctrpen), currency = fixedItem(currencyItems, x.ctamon);

  // The text fields, edited at the width of their fields.
  std::vector<Text> texts = {
      {&x.numdoc, 15, ""},  {&x.celular, 9, ""},  {&x.email, 60, ""},   {&x.nomvia, 20, ""},
      {&x.numvia, 4, ""},   {&x.depto, 4, ""},    {&x.interior, 4, ""}, {&x.manzana, 4, ""},
      {&x.lote, 4, ""},     {&x.kilometro, 4, ""}, {&x.block, 4, ""},   {&x.etapa, 4, ""},
      {&x.nomzona, 20, ""}, {&x.referen, 40, ""}, {&x.ubigeo, 6, ""},   {&x.edutipo, 1, ""},
      {&x.eduperu, 1, ""},  {&x.eduano, 4, ""},   {&x.eduinst, 9, ""},  {&x.educarr, 6, ""},
      {&x.ocupacion, 6, ""}, {&x.discapac, 1, ""}, {&x.jornalt, 1, ""}, {&x.jormax, 1, ""},
      {&x.nocturno, 1, ""}, {&x.sindicato, 1, ""}, {&x.exon5ta, 1, ""}, {&x.estab, 4, ""},
      {&x.ctanum, 20, ""},  {&x.ctacci, 20, ""}};
  const int textIds[] = {102, 105, 106, 108, 109, 110, 111, 112, 113, 114, 115, 116, 118, 119, 120,
                         124, 125, 126, 127, 128, 133, 140, 141, 142, 143, 144, 145, 146, 163, 165};
  for (Text& f : texts) f.value = padTo(*f.member, static_cast<size_t>(f.width));
  auto value = [&](std::string* member) {
    for (const Text& f : texts)
      if (f.member == member) return trimRight(f.value);
    return std::string();
  };

  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditAdic", "Datos Adicionales " + trimRight(codigo) + " " + trimRight(name));
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    for (size_t i = 0; i < coded.size(); ++i)
      dlg.combo(comboIds[i], ui::ref(coded[i].item), itemsOf(codes, coded[i].table))
          .colors(ui::color::kNavy, ui::color::kCyan);
    std::vector<std::string> banks = {""};
    for (const CodeEntry& e : codes.table(tabla::kBanco)) banks.push_back(e.code + " " + e.name);
    dlg.combo(162, ui::ref(bank), banks).colors(ui::color::kNavy, ui::color::kCyan);
    dlg.combo(122, ui::ref(asiste), asisteItems).colors(ui::color::kNavy, ui::color::kCyan);
    dlg.combo(153, ui::ref(sctrsal), sctrSalItems).colors(ui::color::kNavy, ui::color::kCyan);
    dlg.combo(154, ui::ref(sctrpen), sctrPenItems).colors(ui::color::kNavy, ui::color::kCyan);
    dlg.combo(164, ui::ref(currency), currencyItems).colors(ui::color::kNavy, ui::color::kCyan);
    std::vector<ui::Field*> fields;
    for (size_t i = 0; i < texts.size(); ++i) {
      // E-mail addresses keep their case; everything else is upper case.
      const bool lower = texts[i].member == &x.email;
      fields.push_back(&dlg.field(textIds[i], ui::ref(texts[i].value))
                            .picture(lower ? "" : "@!")
                            .colors(ui::color::kBlack, ui::color::kCyan));
    }
    auto field = [&](std::string* member) -> ui::Field& {
      for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i].member == member) return *fields[i];
      return *fields[0];
    };
    field(&x.numdoc).valid([&] { return check.document(codeOf(coded[0].item), value(&x.numdoc)); });
    field(&x.celular).valid([&] { return check.mobile(value(&x.celular)); });
    field(&x.email).valid([&] { return check.email(value(&x.email)); });
    field(&x.ubigeo).valid([&] {
      const bool ok = check.ubigeo(value(&x.ubigeo));
      if (ui::Label* l = dlg.labelById(121)) l->refresh();
      return ok;
    });
    field(&x.ocupacion).valid([&] {
      const bool ok = check.occupation(value(&x.ocupacion));
      if (ui::Label* l = dlg.labelById(134)) l->refresh();
      return ok;
    });
    for (std::string* f : {&x.discapac, &x.jornalt, &x.jormax, &x.nocturno, &x.sindicato, &x.exon5ta, &x.eduperu})
      field(f).valid([&check, &value, f] { return check.flag(value(f)); });
    field(&x.eduano).valid([&] { return check.year(value(&x.eduano)); });
    field(&x.ctanum).valid([&] { return check.account(value(&x.ctanum)); });
    field(&x.ctacci).valid([&] { return check.cci(value(&x.ctacci)); });
    dlg.label(121).text([&] { return codes.placeName(value(&x.ubigeo)); });
    dlg.label(134).text([&] {
      const CodeEntry* e = codes.find(tabla::kOcupacion, value(&x.ocupacion));
      return e ? e->name : std::string();
    });
    dlg.button(401, [&] {
      accepted = true;
      dlg.end();
    });
    dlg.button(402, [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  if (!accepted) {
    t.close();
    return false;
  }
  // The form's values, checked again whole: a field never visited is checked too.
  for (Text& f : texts) *f.member = trimRight(f.value);
  for (Coded& c : coded) *c.member = codeOf(c.item);
  const std::string bankCode = codeOf(bank);
  x.bancosun = bankCode.size() == 3 && bankCode[0] == '0' ? bankCode.substr(1) : bankCode;
  x.asiste = codeOf(asiste), x.sctrsal = codeOf(sctrsal), x.sctrpen = codeOf(sctrpen), x.ctamon = codeOf(currency);
  const bool ok = check.document(x.tipdoc, x.numdoc) && check.mobile(x.celular) && check.email(x.email) &&
                  check.ubigeo(x.ubigeo) && check.occupation(x.ocupacion) && check.account(x.ctanum) &&
                  check.cci(x.ctacci) && check.year(x.eduano);
  if (!ok) {
    t.close();
    return false;
  }
  x.codigo = trimRight(codigo);
  Status st = writeEmployeeExtra(t, x);
  t.close();
  if (!st) {
    ui::MSGSTOP(s.messages(),
                st.code() == ErrorCode::Locked ? "Acceso Denegado Registro En Uso" : st.message(), kTitle);
    return false;
  }
  return true;
}

}  // namespace planilla::masters
