#include "exports/bank_screens.h"

#include <filesystem>

#include "exports/bank_transfer.h"
#include "masters/maintenance.h"
#include "session/tables.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla::exports {

namespace {

using catalog::TableId;
using namespace masters;

constexpr const char* kTitle = "Mensaje";
const std::vector<std::string> kBanks = {"BCP", "BBVA", "INTERBANK", "BANBIF"};
const std::vector<std::string> kCurrencies = {"Soles ", "Dolar "};
const std::vector<std::string> kTypes = {"Corriente", "Maestra", "Ahorros"};
const std::vector<std::string> kInterbank = {"No", "Si (Por CCI)"};

std::string bankCode(const std::string& name) {
  bank::Bank b;
  return bank::bankByName(trimRight(name), &b) ? bank::layout(b).sunatCode : "";
}

std::string bankOfCode(const std::string& code) {
  bank::Bank b;
  return bank::bankBySunat(trimRight(code), &b) ? bank::layout(b).name : trimRight(code);
}

// Another record of `t` in `currency` that pays other banks; the table goes back to `rec`.
std::string otherInterbank(Table& t, const std::string& currency, uint32_t rec) {
  std::string found;
  for (Status st = t.goTop(); st && !t.eof() && found.empty(); st = t.skip())
    if (t.recno() != rec && trimRight(t.str("MONEDA")) == currency && trimRight(t.str("INTERB")) == "S")
      found = trimRight(t.str("CUENTA"));
  backTo(t, rec);
  return found;
}

void accountDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  selectTable(s, t);
  const uint32_t rec = t.recno();
  if (!add && !onRecord(t)) return;
  // Combo texts are held as wide as their longest item: a bound text keeps its width.
  std::string bankChoice = padTo(kBanks[0], 9), account(20, ' '), currencyChoice = kCurrencies[0],
              typeChoice = kTypes[0], interChoice = padTo(kInterbank[0], 12), description(40, ' ');
  if (!add) {
    bool read = readLocked(s, t, [&] {
      bankChoice = padTo(bankOfCode(t.str("BANCO")), 9);
      account = padTo(t.str("CUENTA"), 20);
      currencyChoice = trimRight(t.str("MONEDA")) == "D" ? kCurrencies[1] : kCurrencies[0];
      const std::string type = trimRight(t.str("TIPCTA"));
      typeChoice = type == "M" ? kTypes[1] : type == "A" ? kTypes[2] : kTypes[0];
      interChoice = padTo(trimRight(t.str("INTERB")) == "S" ? kInterbank[1] : kInterbank[0], 12);
      description = padTo(t.str("DESCRIP"), 40);
    });
    if (!read) return;
  }
  ChargeAccount a;
  // Every check runs on "&Aceptar"; a refused account keeps the dialog open.
  auto acceptable = [&] {
    a.banco = bankCode(bankChoice);
    a.cuenta = trimRight(account);
    a.moneda = trimRight(currencyChoice) == "Dolar" ? "D" : "S";
    a.tipcta = trimRight(typeChoice) == kTypes[1] ? "M" : trimRight(typeChoice) == kTypes[2] ? "A" : "C";
    a.interb = trimRight(interChoice) == kInterbank[1] ? "S" : "N";
    a.descrip = trimRight(description);
    std::string problem = chargeAccountProblem(a);
    if (problem.empty() && checkKey(t, padTo(a.cuenta, 20), add ? 0 : rec) == KeyCheck::Taken)
      problem = "la cuenta " + a.cuenta + " ya esta registrada";
    if (problem.empty() && a.interb == "S") {
      const std::string other = otherInterbank(t, a.moneda, add ? 0 : rec);
      if (!other.empty())
        problem = "la cuenta " + other + " ya paga otros bancos en " + (a.moneda == "D" ? "dolares" : "soles") +
                  ": solo una por moneda";
    }
    if (problem.empty()) return true;
    ui::MSGSTOP(s.messages(), "Cuenta De Cargo No Valida: " + problem, kTitle);
    return false;
  };
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "EditCtaCargo", add ? "Adicionar Registro" : "Modificar Registro");
    for (int id : {101, 103, 105, 107, 109, 111}) dlg.label(id).colors(ui::color::kNavy, ui::color::kScreen);
    dlg.combo(102, ui::ref(bankChoice), kBanks);
    dlg.field(104, ui::ref(account)).picture("@!").tooltip("Numero De Cuenta, Solo Digitos");
    dlg.combo(106, ui::ref(currencyChoice), kCurrencies);
    dlg.combo(108, ui::ref(typeChoice), kTypes);
    dlg.combo(110, ui::ref(interChoice), kInterbank);
    dlg.field(112, ui::ref(description)).picture("@!");
    dlg.bitmapButton(301, "save1.bmp", [&] {
      if (!acceptable()) return;
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (!accepted) return returnTo(t, br, rec);
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    e.text("BANCO", a.banco).text("CUENTA", a.cuenta).text("MONEDA", a.moneda).text("TIPCTA", a.tipcta);
    e.text("INTERB", a.interb).text("DESCRIP", a.descrip);
  });
}

}  // namespace

void F_BJLG02(Session& s, ui::Toolkit& tk) {
  Table* t = openMaintenanceTable(s, s.def(TableId::ChargeAccounts), "CtaCargo");
  if (!t) return;
  runMaintenanceScreen(
      s, tk, "Mante02", "Cuentas De Cargo Bancarias", *t,
      [](ui::Browse& br) {
        Table& tb = br.table();
        br.headers({"BANCO", "CUENTA", "MON", "TIPO", "CCI", "DESCRIPCION"})
            .widths({70, 140, 40, 40, 30, 200})
            .line([&tb] {
              return std::vector<std::string>{bankOfCode(tb.str("BANCO")), tb.str("CUENTA"),
                                              trimRight(tb.str("MONEDA")) == "D" ? "US$" : "S/",
                                              tb.str("TIPCTA"), tb.str("INTERB"), tb.str("DESCRIP")};
            });
      },
      [&](ui::Dialog& dlg, ui::Browse& br) {
        buildBars(dlg, {
                           {"add.bmp", "Adiciona Registro", [&] { accountDialog(s, tk, br, true); }},
                           {"modify.bmp", "Modifica Registro", [&] { accountDialog(s, tk, br, false); }},
                           {"borrar.bmp", "Elimina Registro", [&] { DELBANCOS(s, tk, br); }},
                       });
      });
}

void F_BANCO01(Session& s, ui::Toolkit& tk) {
  if (trimRight(s.YCIA).empty() || trimRight(s.YMES).empty() || !s.YFECHA.valid()) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)", kTitle);
    return;
  }
  std::string bankChoice = padTo(kBanks[0], 9), runChoice = padTo("Planilla", 13), account(20, ' ');
  Date process = s.today();
  ui::Dialog dlg(tk, "PagoBanco", "Archivos De Pago Al Banco");
  dlg.setColors(ui::color::kBlack, ui::color::kFace);
  for (int id : {101, 103, 105, 107, 111}) dlg.label(id);
  dlg.combo(102, ui::ref(bankChoice), kBanks);
  dlg.combo(104, ui::ref(runChoice), {"Planilla", "Gratificacion", "Liquidacion"});
  dlg.field(106, ui::ref(account)).picture("@!").tooltip("En Blanco: La Cuenta De Cargo Del Banco En Cada Moneda");
  dlg.field(108, ui::ref(process)).picture("@e");
  dlg.button(109, [&] {
       TransferRequest req;
       if (!bank::bankByName(trimRight(bankChoice), &req.bank) || !paymentByName(trimRight(runChoice), &req.payment))
         return;
       req.chargeAccount = trimRight(account);
       if (process.empty()) {
         ui::MSGSTOP(s.messages(), "Ingrese La Fecha De Proceso", kTitle);
         return;
       }
       req.processDate = process;
       std::vector<std::string> written;
       if (!runBankTransfer(s, req, written, true)) return;
       for (std::string& p : written) {
         std::error_code ec;
         std::filesystem::path full = std::filesystem::absolute(p, ec);
         if (!ec) p = full.lexically_normal().string();
       }
       announce(s, written);
       dlg.end();
     }).defaultButton();
  dlg.button(110, [&] { dlg.end(); });
  dlg.activate();
  s.closeAll();
}

}  // namespace planilla::exports
