#include "masters/reference_tables.h"

#include "reports/rpv_writer.h"
#include "session/tables.h"
#include "masters/maintenance.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::masters {

namespace {

using catalog::TableId;

const char* kTitle = "Mensaje";
const char* kAlias = "Costos";
const char* kBanksTitle = "Maestro de Bancos";

int fieldWidth(const Table& t, std::string_view name) {
  int i = t.fieldIndex(name);
  return i < 0 ? 0 : t.field(i).width;
}

// The add and modify dialogs of the banks and of the code tables: code, name and, for
// banks, the currency. `bank` selects the banks' template, widths and messages.
void codeNameDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, bool bank) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;  // nothing under the cursor to modify

  // Code and name are typed as wide as the table keeps them (a bank code 4 characters,
  // a cost-centre name 45), so nothing typed is cut when the record is written.
  std::string code(static_cast<size_t>(fieldWidth(t, "codigo")), ' ');
  std::string name(static_cast<size_t>(fieldWidth(t, "nombre")), ' ');
  std::string currency;           // "S", "D" or blank
  std::string choice(6, ' ');     // the combo's text
  if (add) {
    // A new bank starts on soles, so that its currency is never left blank unseen.
    choice = "Soles ";
    currency = "S";
  } else {
    bool read = readLocked(s, t, [&] {
      code = padTo(t.str("codigo"), code.size());
      name = padTo(t.str("nombre"), name.size());
      if (bank) {
        currency = t.str("moneda");
        if (currency == "S") choice = "Soles ";
        else if (currency == "D") choice = "Dolar ";
      }
    });
    if (!read) return;  // LAN_REG has said why
  }

  bool accepted = false;
  {
    ui::Dialog dlg(tk, bank ? "EditBanco" : "EditNacion", add ? "Adicionar Registro" : "Modificar Registro");
    dlg.label(101).colors(ui::color::kNavy, ui::color::kScreen);
    dlg.label(103).colors(ui::color::kNavy, ui::color::kScreen);
    ui::Field& fc =
        dlg.field(102, ui::ref(code)).picture("@!").column(t, "codigo").colors(ui::color::kNavy, ui::color::kCyan);
    ui::Field& fn =
        dlg.field(104, ui::ref(name)).picture("@!").column(t, "nombre").colors(ui::color::kNavy, ui::color::kCyan);
    if (add) {
      fc.tooltip("Ingrese Codigo").valid([&] { return CHEC01(s, t, code); });
      fn.tooltip("Ingrese Descripcion");
    } else {
      fc.tooltip("Modificar Codigo").valid([&] { return CHEC012(s, t, code, rec); });
      fn.tooltip("Modificar Descripcion");
    }
    if (bank) {
      dlg.label(105).colors(ui::color::kNavy, ui::color::kScreen);
      dlg.combo(106, ui::ref(choice), {"Soles ", "Dolar "}).valid([&] { return MONEDA(choice, currency); });
    }
    dlg.bitmapButton(301, "save1.bmp", [&] {
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (bank) MONEDA(choice, currency);  // the choice shown is the one stored

  auto fill = [&](RecordEdit& e) {
    e.text("codigo", code).text("nombre", name).text("codnom", code + " " + name);
    if (bank) e.text("moneda", currency);
  };

  if (add) {
    if (accepted && !isBlank(code)) return saveRecord(s, t, br, rec, true, fill);
    if (accepted) {
      if (bank)
        ui::MSGSTOP(s.messages(), "Codigo En Blanco");
      else
        ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
    }
    return returnTo(t, br, rec);
  }

  if (!accepted) return returnTo(t, br, rec);
  if (!isBlank(code) && !isBlank(name)) {
    (void)changeRecord(s, t, rec, fill);
  } else if (isBlank(code)) {
    ui::MSGSTOP(s.messages(), "Codigo En Blanco", kTitle);
  }
  // A blank name saves nothing and says nothing.
  FREE(s);
  returnTo(t, br, rec);
}

// The listing of a code table or of the banks: code and name from the cursor on.
void codeListing(Session& s, ui::Browse& br, const std::string& title) {
  ListingLayout listing;
  listing.reportTitle = "Reporte de Maestro";
  listing.c00 = 690;
  listing.base = 690;
  listing.widths = {10, 40, 7};
  listing.header = listingTitleLines(s, title, 500);
  listing.header.push_back("{Line=300,6000;\\n}");
  listing.header.push_back("{$c00;a=l} CODIGO{$c01;a=l} DESCRIPCION{\\n}");
  listing.header.push_back("{Line=300,6000;\\n}");
  printListing(s, br, listing, [](Table& t) {
    return "{e;$c00;a=l} " + reports::rpvText(t.str("codigo")) + "{t;$c01;a=l} " + reports::rpvText(t.str("nombre")) +
           "{t;\\n}";
  });
}

}  // namespace

// --- banks ------------------------------------------------------------------------------
void F_BJLG01(Session& s, ui::Toolkit& tk) {
  Table* t = openMaintenanceTable(s, s.def(TableId::Banks), kAlias);
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "Mante02", kBanksTitle, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        br.headers({"CODIGO", "DESCRIPCION", "MOV"}).widths({60, 350, 40}).line([&tb] {
          return std::vector<std::string>{tb.str("codigo"), tb.str("nombre"),
                                          tb.str("moneda") == "S" ? "SOLES" : "DOLAR"};
        });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUILD01BANC(s, tk, dlg, br); });
}

void BUILD01BANC(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br) {
  buildBars(dlg, {
                     {"add.bmp", "Adiciona Registro", [&] { EDITBANCOS(s, tk, br, true); }},
                     {"modify.bmp", "Modifica Registro", [&] { MODIBANCOS(s, tk, br, false); }},
                     {"buscar10.bmp", "Buscar Registro", [&] { SEEKBANCOS(s, tk, br); }},
                     {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                     {"print1.bmp", "Imprime Registros", [&] { IMPRBANCOS(s, br); }},
                 });
}

void EDITBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { codeNameDialog(s, tk, br, add, true); }

void MODIBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { codeNameDialog(s, tk, br, add, true); }

void SEEKBANCOS(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string code;
  if (!askKey(tk, "Codigo ", 4, code)) return;
  selectTable(s, t);
  if (keySearch(t, code, fieldWidth(t, "codigo"))) {
    settle(br);
    return;
  }
  ui::MSGSTOP(s.messages(), "Codigo " + code + " No Existe");
  settle(br);
}

void IMPRBANCOS(Session& s, ui::Browse& br) { codeListing(s, br, kBanksTitle); }

bool MONEDA(const std::string& comboText, std::string& currency) {
  const std::string c = trimRight(ui::upper1252(comboText));
  if (c == "SOLES") currency = "S";
  else if (c == "DOLAR") currency = "D";
  return true;
}

// --- key validations ------------------------------------------------------------------------
bool CHEC01(Session& s, Table& t, const std::string& code) {
  switch (checkKey(t, code)) {
    case KeyCheck::Blank:
      ui::MSGSTOP(s.messages(), "Campo En Blanco", kTitle);
      return false;
    case KeyCheck::Taken:
    case KeyCheck::Self:
      ui::MSGSTOP(s.messages(), "Dato  Existe", kTitle);
      return false;
    case KeyCheck::Free:
      break;
  }
  return true;
}

bool CHEC012(Session& s, Table& t, const std::string& code, uint32_t recno) {
  switch (checkKey(t, code, recno)) {
    case KeyCheck::Blank:
      ui::MSGSTOP(s.messages(), "Campo  En Blanco", kTitle);
      backTo(t, recno);
      return false;
    case KeyCheck::Taken:
      ui::MSGSTOP(s.messages(), "Codigo  " + code + " Existe", kTitle);
      backTo(t, recno);
      return false;
    case KeyCheck::Self:
    case KeyCheck::Free:
      break;
  }
  return true;
}

// --- code tables ------------------------------------------------------------------------------
bool codeTableInfo(int selector, CodeTableInfo* out) {
  static const struct {
    int n;
    const char* title;
  } kTitles[] = {
      {1, "Maestro Centro De Costos"},
      {2, "Maestro Planilla Unica"},
      {7, "Maestro De Situacion"},
      {8, "Maestro Tipo De Trabajador"},
      {3, "Maestro Tipo Pensionista  o  Prestador De Servicios"},
      {9, "Maestro Tipo de Documento de Identidad"},
      {10, "Maestro Tipo de Movimiento de Personal"},
  };
  TableId id;
  if (!catalog::codeTableId(selector, &id)) return false;
  for (const auto& k : kTitles) {
    if (k.n == selector) {
      if (out) *out = CodeTableInfo{selector, id, k.title};
      return true;
    }
  }
  return false;
}

void F_PJLG04(Session& s, ui::Toolkit& tk, int selector) {
  CodeTableInfo info;
  if (!codeTableInfo(selector, &info)) return;
  Table* t = openMaintenanceTable(s, s.def(info.id), kAlias);
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "Mante02", info.title, *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        br.headers({"CODIGO", "DESCRIPCION"}).widths({100, 300}).line([&tb] {
          return std::vector<std::string>{tb.str("codigo"), tb.str("nombre")};
        });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) { BUILD04PLA(s, tk, dlg, br, selector, info.title); });
}

void BUILD04PLA(Session& s, ui::Toolkit& tk, ui::Dialog& dlg, ui::Browse& br, int selector,
                const std::string& title) {
  buildBars(dlg, {
                     {"add.bmp", "Adiciona Registro", [&s, &tk, &br, selector] { EDITCOSTOS(s, tk, br, true, selector); }},
                     {"modify.bmp", "Modifica Registro", [&] { MODICOSTOS(s, tk, br, false); }},
                     {"buscar10.bmp", "Buscar Registro", [&] { SEEKCUENTA(s, tk, br); }},
                     {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                     {"print1.bmp", "Imprime Registros", [&s, &br, selector, title] { IMPRCOSTOS(s, br, selector, title); }},
                 });
}

void EDITCOSTOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add, int /*selector*/) {
  codeNameDialog(s, tk, br, add, false);
}

void MODICOSTOS(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { codeNameDialog(s, tk, br, add, false); }

void SEEKCUENTA(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  std::string typed;
  if (!askKey(tk, "Codigo ", 10, typed)) return;
  selectTable(s, t);
  // Upper-cased, and only as many leading characters as the key is wide take part.
  const int width = fieldWidth(t, "codigo");
  std::string key = ui::upper1252(typed).substr(0, static_cast<size_t>(width));
  if (!keySearch(t, key, width)) ui::MSGSTOP(s.messages(), "Dato Ingresado No Existe", kTitle);
  settle(br);
}

void IMPRCOSTOS(Session& s, ui::Browse& br, int /*selector*/, const std::string& title) {
  codeListing(s, br, title);
}

}  // namespace planilla::masters
