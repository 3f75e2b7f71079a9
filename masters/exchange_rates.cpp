#include "masters/exchange_rates.h"

#include <algorithm>
#include <string>

#include "session/tables.h"
#include "masters/maintenance.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::masters {

namespace {

const char* kTitle = "Mensaje";
const char* kScreenTitle = "Maestro Tipo De Cambios";

// What the add, modify and CTS dialogs edit.
struct Rate {
  std::string day = std::string(3, ' ');
  std::string month = std::string(2, ' ');
  double dollar = 0, euro = 0, euroDollar = 0;
};

void fillRate(RecordEdit& e, const Rate& r) {
  e.text("codigo", r.month + " " + r.day)
      .text("xdias", r.day)
      .text("xmes", r.month)
      .number("tip_cam", r.dollar)
      .number("tip_Euro", r.euroDollar)
      .text("codcam", rateLabel(r.month, r.day, r.dollar, 7, 3))
      .number("tip_camE", r.euro)
      .text("codcamE", rateLabel(r.month, r.day, r.euro, 7, 3))
      .text("codeuro", rateLabel(r.month, r.day, r.euroDollar, 8, 4));
}

std::string key(const Rate& r) { return r.month + " " + r.day; }

// The number a day or month field holds (digits, blanks around them), or -1.
int numberIn(const std::string& text) {
  const std::string t = trimRight(text.substr(std::min(text.find_first_not_of(' '), text.size())));
  if (t.empty() || t.size() > 3 || t.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(t);
}

// The CTS rate of May ("88 888") or November ("99 999").
bool ctsRate(const Rate& r) {
  const std::string k = key(r);
  return k == "88 888" || k == "99 999";
}

// The code of a rate being added or modified must be a day of the calendar (the CTS
// codes aside) and no other record's: the runs seek the code and take the first record
// that holds it. Shows the message, puts the focus on the field to correct and returns
// false otherwise. `editing` is the record being modified (0 when adding).
bool rateCodeAccepted(Session& s, Table& t, const Rate& r, uint32_t editing, ui::Dialog& dlg) {
  if (!ctsRate(r)) {
    const int month = numberIn(r.month);
    if (month < 1 || month > 12) {
      ui::MSGSTOP(s.messages(), "Mes " + trimRight(r.month) + " No Valido", kTitle);
      if (ui::Field* f = dlg.fieldById(104)) f->setFocus();
      return false;
    }
    // The year of the file (tcam<ano>) decides the 29th of February.
    const int year = !s.YFECHA.empty() ? s.YFECHA.year() : 2000 + std::max(0, numberIn(s.YANO));
    const int day = numberIn(r.day);
    if (day < 1 || day > Date::daysInMonth(year, month)) {
      ui::MSGSTOP(s.messages(), "Dia " + trimRight(r.day) + " No Valido Para El Mes " + trimRight(r.month), kTitle);
      if (ui::Field* f = dlg.fieldById(102)) f->setFocus();
      return false;
    }
  }
  if (checkKey(t, key(r), editing) == KeyCheck::Taken) {
    ui::MSGSTOP(s.messages(), "Codigo  " + key(r) + " Existe", kTitle);
    if (ui::Field* f = dlg.fieldById(102)) f->setFocus();
    return false;
  }
  return true;
}

void rateDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  Rate r;
  if (!add) {
    bool read = readLocked(s, t, [&] {
      r.day = padTo(t.str("xdias"), 3);
      r.month = padTo(t.str("xmes"), 2);
      r.dollar = t.num("tip_cam");
      r.euro = t.num("tip_camE");
      r.euroDollar = t.num("tip_Euro");
    });
    if (!read) return;
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditCamb", add ? "Adicionar Registro" : "Modificar Registro");
    for (int id : {101, 103, 105, 107, 111}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    dlg.field(102, ui::ref(r.day)).picture("@!").column(t, "xdias");
    dlg.field(104, ui::ref(r.month)).picture("@!").column(t, "xmes");
    dlg.field(106, ui::ref(r.dollar)).picture("###.###").column(t, "tip_cam");
    dlg.field(108, ui::ref(r.euro)).picture("###.###").column(t, "tip_camE");
    dlg.field(112, ui::ref(r.euroDollar)).picture("###.####").column(t, "tip_Euro");
    // "&Aceptar" keeps the dialog open on an impossible or taken code; a blank day
    // ends it and is refused below.
    dlg.bitmapButton(301, "check1.bmp", [&] {
      if (!isBlank(r.day) && !rateCodeAccepted(s, t, r, add ? 0 : rec, dlg)) return;
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(302, "exit1.bmp", [&dlg] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (!accepted) return returnTo(t, br, rec);
  if (isBlank(r.day)) {
    ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
    return returnTo(t, br, rec);
  }
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) { fillRate(e, r); });
}

}  // namespace

std::string rateLabel(const std::string& month, const std::string& day, double rate, int width, int decimals) {
  return padTo(month + " " + day + " " + ui::formatPlain(rate, width, decimals), 14);
}

void F_PJLG11(Session& s, ui::Toolkit& tk) {
  Table* t = openMaintenanceTable(s, s.def(catalog::TableId::ExchangeRates), "TCambio");
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "Mante03", kScreenTitle, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"D I A", "M E S", "TIPO CAMBIO SOLES", "TIPO CAMBIO EURO/SOLES", "TIPO CAMBIO EURO/DOL"})
            .widths({45, 45, 150, 150, 150})
            .aligns({A::Left, A::Left, A::Right, A::Right, A::Right})
            .line([&tb] {
              return std::vector<std::string>{tb.str("xdias"), tb.str("xmes"),
                                              ui::transform(tb.num("tip_cam"), "999.999"),
                                              ui::transform(tb.num("tip_camE"), "999.999"),
                                              ui::transform(tb.num("tip_Euro"), "999.9999")};
            });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUILD11EMP(s, tk, dlg, br); });
}

void BUILD11EMP(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br) {
  buildBars(dlg, {
                     {"add.bmp", "Adiciona Registro", [&] { EDITTCAM(s, tk, br, true); }},
                     {"modify.bmp", "Modifica Registro", [&] { MODITCAM(s, tk, br, false); }},
                     {"buscar10.bmp", "Buscar Registro", [&] { SEEKTCAM(s, tk, br); }},
                     {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                     {"print1.bmp", "Imprime Registros", [&] { IMPRTCAM(s, br); }},
                     {"cts.bmp", "TC para CTS", [&] { TCCTS(s, tk, br); }},
                 });
}

void EDITTCAM(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { rateDialog(s, tk, br, add); }

void MODITCAM(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { rateDialog(s, tk, br, add); }

void TCCTS(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Rate r;
  if (s.YMES == "05") {
    r.day = "888";
    r.month = "88";
  } else if (s.YMES == "11") {
    r.day = "999";
    r.month = "99";
  } else {
    ui::MSGSTOP(s.messages(), "Error , No Es Periodo de  CTS");
    return;
  }
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  // One CTS rate per half-year: the reports take the first record of the code, so a
  // correction is made on that record with the modify dialog.
  if (checkKey(t, key(r)) == KeyCheck::Taken) {
    ui::MSGSTOP(s.messages(), "Codigo  " + key(r) + " Existe", kTitle);
    return;
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "TcCts", "Datos Del Registro");
    for (int id : {101, 103, 105, 107, 111}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    dlg.field(102, ui::ref(r.day)).readOnly().colors(ui::color::kNavy, ui::color::kSilver);
    dlg.field(104, ui::ref(r.month)).readOnly().colors(ui::color::kNavy, ui::color::kSilver);
    dlg.field(106, ui::ref(r.dollar)).picture("###.###").column(t, "tip_cam");
    dlg.field(108, ui::ref(r.euro)).picture("###.###").column(t, "tip_camE");
    dlg.field(112, ui::ref(r.euroDollar)).picture("###.####").column(t, "tip_Euro");
    dlg.button(109, [&] {
      accepted = true;
      dlg.end();
    });
    dlg.button(110, [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (accepted)
    saveRecord(s, t, br, rec, true, [&](RecordEdit& e) { fillRate(e, r); });
  else
    returnTo(t, br, rec);
}

void SEEKTCAM(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string typed;
  if (!askKey(tk, "Mes Dia ", 6, typed, "@!")) return;
  selectTable(s, t);
  if (!keySearch(t, trimRight(typed), 0)) ui::MSGSTOP(s.messages(), " Dia " + typed + " No Existe");
  settle(br);
}

void IMPRTCAM(Session& s, ui::Browse& br) {
  ListingLayout listing;
  listing.reportTitle = "Maestro Tipo de Cambio";
  listing.c00 = 690;
  listing.base = 690;
  listing.widths = {15, 20, 7, 7};
  listing.header = listingTitleLines(s, "MAESTRO TIPO DE CAMBIO", 500);
  listing.header.push_back("{Line=300,6000;\\n}");
  listing.header.push_back("{$c00;a=l} DIA/MES{$c01;a=l} SOL/DOLAR{$c02;a=l} EURO/SOLES{$c03;a=l} EURO/DOLAR{\\n}");
  listing.header.push_back("{Line=300,6000;\\n}");
  printListing(s, br, listing, [](Table& t) {
    return "{e;$c00;a=l} " + reports::rpvText(t.str("xdias")) + "/" + reports::rpvText(t.str("xmes")) +
           "{t;$c01;a=r} {tab=800} " +
           reports::amount(t.num("tip_cam"), "99.999") + "{t;$c02;a=r} {tab=800} " +
           reports::amount(t.num("tip_camE"), "99.9999") + "{t;$c03;a=r} {tab=800} " +
           reports::amount(t.num("tip_Euro"), "999.9999") + "{t;\\n}";
  });
}

}  // namespace planilla::masters
