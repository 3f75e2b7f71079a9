#include "masters/exchange_rates.h"

#include "session/tables.h"
#include "masters/maintenance.h"
#include "reports/report_format.h"
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

void rateDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  Rate r;
  if (!add) {
    bool read = readLocked(s, t, [&] {
      r.day = pad(t.str("xdias"), 3);
      r.month = pad(t.str("xmes"), 2);
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
    okCancelButtons(dlg, accepted);
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
  return pad(month + " " + day + " " + ui::formatPlain(rate, width, decimals), 14);
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
    return "{e;$c00;a=l} " + t.str("xdias") + "/" + t.str("xmes") + "{t;$c01;a=r} {tab=800} " +
           reports::amount(t.num("tip_cam"), "99.999") + "{t;$c02;a=r} {tab=800} " +
           reports::amount(t.num("tip_camE"), "99.9999") + "{t;$c03;a=r} {tab=800} " +
           reports::amount(t.num("tip_Euro"), "999.9999") + "{t;\\n}";
  });
}

}  // namespace planilla::masters
