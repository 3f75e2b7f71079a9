#include "masters/pension_funds.h"

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
const char* kScreenTitle = "Mantenimiento De Maestro De Afps";

struct FundMonth {
  std::string month = std::string(2, ' ');
  std::string code = std::string(6, ' ');
  std::string name = std::string(40, ' ');
  double contribution = 0, premium = 0, commission = 0, ceiling = 0;
};

void fillFund(RecordEdit& e, const FundMonth& f) {
  e.text("mes", f.month)
      .text("codigo", f.code)
      .text("nombre", f.name)
      .number("afppor1", f.contribution)
      .number("afppor2", f.premium)
      .number("afppor3", f.commission)
      .number("afppor4", f.ceiling);
}

void fundDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  FundMonth f;
  if (!add) {
    bool read = readLocked(s, t, [&] {
      f.month = padTo(t.str("mes"), 2);
      f.code = padTo(t.str("codigo"), 6);
      f.name = padTo(t.str("nombre"), 40);
      f.contribution = t.num("afppor1");
      f.premium = t.num("afppor2");
      f.commission = t.num("afppor3");
      f.ceiling = t.num("afppor4");
    });
    if (!read) return;
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditAfps", add ? "Adicionar Registro" : "Modificar Registro");
    for (int id : {121, 101, 103, 113, 115, 117, 119}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    ui::Field& fm = dlg.field(122, ui::ref(f.month)).picture("@!").column(t, "mes");
    ui::Field& fc = dlg.field(102, ui::ref(f.code)).picture("@!").column(t, "codigo");
    std::vector<ui::Field*> others = {
        &fc,
        &dlg.field(104, ui::ref(f.name)).picture("@!").column(t, "nombre"),
        &dlg.field(114, ui::ref(f.contribution)).picture("###.##").column(t, "afppor1"),
        &dlg.field(116, ui::ref(f.premium)).picture("###.##").column(t, "afppor2"),
        &dlg.field(118, ui::ref(f.commission)).picture("###.##").column(t, "afppor3"),
        &dlg.field(120, ui::ref(f.ceiling)).picture("###,###.##").column(t, "afppor4"),
    };
    if (add) {
      fm.valid([&] { return CHEC01AFP(s, f.month); });
      fc.valid([&] { return CHEC02AFP(s, t, f.month, f.code); });
    } else {
      fc.valid([&] { return CHEC03AFP(s, t, f.month, f.code, rec); });
      for (ui::Field* o : others) o->colors(ui::color::kBlack, ui::color::kWhite);
    }
    okCancelButtons(dlg, accepted);
    dlg.activate();
  }
  selectTable(s, t);
  if (!accepted) return returnTo(t, br, rec);
  if (isBlank(f.code)) {
    ui::MSGSTOP(s.messages(), "Campo  En Blanco");
    return returnTo(t, br, rec);
  }
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) { fillFund(e, f); });
}

}  // namespace

std::string CAC01AFP(const std::string& month) {
  static const char* const kNames[12] = {"ENER", "FEBR", "MARZ", "ABRI", "MAYO", "JUNI",
                                         "JULI", "AGOS", "SETI", "OCTU", "NOVI", "DICI"};
  for (int m = 1; m <= 12; ++m) {
    char two[3] = {static_cast<char>('0' + m / 10), static_cast<char>('0' + m % 10), 0};
    if (month == two) return kNames[m - 1];
  }
  return "   ";
}

bool CHEC01AFP(Session& s, const std::string& month) {
  if (!isBlank(month)) return true;
  ui::MSGSTOP(s.messages(), "Campo En Blanco");
  return false;
}

bool CHEC02AFP(Session& s, Table& t, const std::string& month, const std::string& code) {
  if (isBlank(code)) {
    ui::MSGSTOP(s.messages(), "Campo En Blanco");
    return false;
  }
  if (checkKey(t, padTo(month, 2) + code) != KeyCheck::Free) {
    ui::MSGSTOP(s.messages(), "Codigo  " + code + " Existe");
    return false;
  }
  return true;
}

bool CHEC03AFP(Session& s, Table& t, const std::string& month, const std::string& code, uint32_t recno) {
  std::string text;
  if (isBlank(month)) {
    text = "Mes En Blanco";
  } else if (isBlank(code)) {
    text = "Codigo En Blanco";
  } else if (checkKey(t, padTo(month, 2) + code, recno) == KeyCheck::Taken) {
    text = "Registro   " + month + code + " Ya Existe";
  }
  if (text.empty()) return true;
  ui::MSGSTOP(s.messages(), text, kTitle);
  backTo(t, recno);
  return false;
}

void F_PJLG06(Session& s, ui::Toolkit& tk) {
  Table* t = openMaintenanceTable(s, s.def(catalog::TableId::PensionFunds), "Afps");
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "Mante03", kScreenTitle, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        using A = ui::Browse::Align;
        br.headers({"MES", "CODIGO", "DESCRIPCION", "APORTE", "PRIMA", "COMIS.", "TOPE"})
            .widths({50, 60, 270, 65, 60, 60, 90})
            .aligns({A::Left, A::Left, A::Left, A::Right, A::Right, A::Right, A::Right})
            .line([&tb] {
              return std::vector<std::string>{CAC01AFP(tb.str("mes")),
                                              tb.str("codigo"),
                                              tb.str("nombre"),
                                              ui::transform(tb.num("afppor1"), "999.99"),
                                              ui::transform(tb.num("afppor2"), "999.99"),
                                              ui::transform(tb.num("afppor3"), "999.99"),
                                              ui::transform(tb.num("afppor4"), "99,999.99")};
            });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUILD06AFP(s, tk, dlg, br); });
}

void BUILD06AFP(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br) {
  buildBars(dlg, {
                     {"add.bmp", "Adiciona Registro", [&] { EDITAFPS(s, tk, br, true); }},
                     {"modify.bmp", "Modifica Registro", [&] { MODIAFPS(s, tk, br, false); }},
                     {"buscar10.bmp", "Buscar Registro", [&] { SEEKAFPS(s, tk, br); }},
                     {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                     {"print1.bmp", "Imprime Registros", [&] { IMPRAFPS(s, br); }},
                 });
}

void EDITAFPS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { fundDialog(s, tk, br, add); }

void MODIAFPS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { fundDialog(s, tk, br, add); }

void SEEKAFPS(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!askKey(tk, "Codigo ", 6, code, "@!")) return;
  selectTable(s, t);
  // The fund of the working month, the record the calculations use.
  if (!keySearch(t, padTo(s.YMES, 2) + trimRight(code), 0)) ui::MSGSTOP(s.messages(), "Codigo " + code + " No Existe");
  settle(br);
}

void IMPRAFPS(Session& s, ui::Browse& br) {
  ListingLayout listing;
  listing.reportTitle = "Reporte Maestro  AFPs";
  listing.c00 = 690;
  listing.base = 690;
  listing.widths = {6, 7, 17, 10, 10, 10, 10};
  listing.header = listingTitleLines(s, "MAESTRO DE AFPs", 2900);
  listing.header.push_back("{Line=300,9500;\\n}");
  listing.header.push_back(
      "{$c00;a=l} MES{$c01;a=l} {tab=-100} CODIGO{$c02;a=l} {tab=200} NOMBRE{$c03;a=l} {tab=100} APORTE"
      "{$c04;a=l} {tab=100} PRIMA{$c05;a=l} COMISION{$c06;a=l} TOPE{\\n}");
  listing.header.push_back("{Line=300,9500;\\n}");
  printListing(s, br, listing, [](Table& t) {
    return "{e;$c00;a=l} " + reports::rpvText(t.str("mes")) + "{t;$c01;a=l} " + reports::rpvText(t.str("codigo")) +
           "{t;$c02;a=l} " + reports::rpvText(t.str("nombre")) +
           "{t;$c03;a=r} {tab=800} " + reports::amount(t.num("afppor1"), "99.99") + "{t;$c04;a=r} {tab=800} " +
           reports::amount(t.num("afppor2"), "99.99") + "{t;$c05;a=r} {tab=800} " +
           reports::amount(t.num("afppor3"), "99.99") + "{t;$c06;a=r} {tab=800} " +
           reports::amount(t.num("afppor4"), "99,999.99") + "{t;\\n}";
  });
}

}  // namespace planilla::masters
