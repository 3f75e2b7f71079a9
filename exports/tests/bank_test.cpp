// The salary-transfer files of a fixed month (March 2016, company 01): four employees
// paid through each bank's layout, compared byte for byte with records worked out
// field by field from the layouts; BCP's control sum; the CCI check digits; the
// refusals and the summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "calc/tests/calc_fixture.h"
#include "exports/bank_layouts.h"
#include "exports/bank_screens.h"
#include "exports/bank_transfer.h"
#include "masters/employee_extra.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::exports {
namespace {

using bank::Bank;
using calc::testing::CalcFixture;
using calc::testing::Fields;
using catalog::TableId;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Field builders for the expected records: left-aligned text, right-aligned text,
// zero-padded digits, blanks.
std::string L(const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); }
std::string R(const std::string& s, size_t n) { return std::string(n - s.size(), ' ') + s; }
std::string Z(const std::string& s, size_t n) { return std::string(n - s.size(), '0') + s; }
std::string B(size_t n) { return std::string(n, ' '); }

TEST(BankLayouts, RecordWidthsAreThoseOfTheReference) {
  const struct {
    Bank bank;
    int header, detail;
  } cases[] = {{Bank::Bcp, 113, 195}, {Bank::Bbva, 151, 233}, {Bank::Interbank, 104, 380}, {Bank::Banbif, 0, 213}};
  for (const auto& c : cases) {
    EXPECT_EQ(bank::recordWidth(bank::layout(c.bank).header), c.header) << bank::layout(c.bank).name;
    EXPECT_EQ(bank::recordWidth(bank::layout(c.bank).detail), c.detail) << bank::layout(c.bank).name;
  }
}

TEST(BankLayouts, BcpControlSumAddsAccountDigitsOfAnySize) {
  // The reference's example: 1911000152155 -> 1000152155, 1910008791097 -> 8791097,
  // CCI 00963200000380987111 -> 380987111; 1000152155 + 8791097 + 380987111 = 1389930363.
  std::string sum;
  ASSERT_TRUE(bank::bcpControlSum("1911000152155", {"1910008791097", "00963200000380987111"}, {false, true}, &sum));
  EXPECT_EQ(sum, "1389930363");
  // Past 64 bits: 99999999999999999999 (20 nines) twice = 199999999999999999998.
  bank::DigitSum big;
  EXPECT_TRUE(big.add("99999999999999999999"));
  EXPECT_TRUE(big.add("099999999999999999999"));
  EXPECT_EQ(big.text(), "199999999999999999998");
  EXPECT_FALSE(big.add("12a4"));
  EXPECT_FALSE(bank::bcpControlSum("191", {"1910008791097"}, {false}, &sum));
}

TEST(BankLayouts, CciCheckDigits) {
  // Each check digit: weights 1,2,1,2.. from the left, digits of the products added,
  // (10 - sum mod 10) mod 10.
  //  009632: 0+0+9+(1+2)+3+4 = 19 -> 1; 000003809871: 6+8+9+(1+6)+7+2 = 39 -> 1.
  //  002191: 0+0+2+2+9+2 = 15 -> 5; 001234567890: 1+4+3+8+5+(1+2)+7+(1+6)+9 = 47 -> 3.
  //  009010: 9+1 = 10 -> 0; twelve zeros -> 0.
  const struct {
    const char* cci;
    bool valid;
  } cases[] = {{"00963200000380987111", true},  {"00219100123456789053", true}, {"00901000000000000000", true},
               {"00963200000380987112", false}, {"00219100123456789043", false}, {"0021910012345678905", false},
               {"0021910012345678905A", false}};
  for (const auto& c : cases) EXPECT_EQ(masters::cciValid(c.cci), c.valid) << c.cci;
}

TEST(BankLayouts, ValuesThatDoNotFitAreRefusedAndNamesFolded) {
  const bank::Layout& bcp = bank::layout(Bank::Bcp);
  bank::Values v;
  at(v, bank::Key::Amount) = "100000000000000000";  // 16 integer digits: 18 with the point, field of 17
  at(v, bank::Key::Account) = "1910008791097";
  std::string line, error;
  EXPECT_FALSE(bank::appendRecord(bcp.detail, v, line, &error));
  EXPECT_NE(error.find("importe (17 posiciones) no cabe"), std::string::npos) << error;
  at(v, bank::Key::Amount) = "-5";
  EXPECT_FALSE(bank::appendRecord(bcp.detail, v, line, &error));
  at(v, bank::Key::Amount) = "5";
  at(v, bank::Key::Account) = std::string(21, '1');
  EXPECT_FALSE(bank::appendRecord(bcp.detail, v, line, &error));
  EXPECT_NE(error.find("cuenta de abono"), std::string::npos) << error;
  // Windows-1252 accents and the N with tilde fold; signs become one blank.
  EXPECT_EQ(bank::foldName("  p\xE9rez-\xD1U\xD1" "EZ,  Mar\xEd" "a  Jos\xE9 "), "PEREZ NUNEZ MARIA JOSE");
}

class BankTest : public CalcFixture {
 protected:
  void SetUp() override {
    CalcFixture::SetUp();
    s().YRUC = "20100000001";
    s().YNOMBRE1 = "EMPRESA PRUEBA SAC";
    s().setClock([] { return Date(2016, 4, 2); });
    // Nets (TPAGAR) of March: 1169.23 + 1104.90 + 2500.00 + 0.50 = 4774.63 for the
    // four paid; E0005 has no net pay, E0006 is paid in cash.
    person("E0001", "1", "40123456", "P\xC9REZ", "L\xD3PEZ", "ANA", "MAR\xCD" "A", "1");
    person("E0002", "4", "00123456", "MU\xD1OZ", "D\xCD" "AZ", "JOS\xC9", "", "1");
    person("E0003", "1", "40999888", "ROJAS", "QUISPE", "LUIS", "ALBERTO", "2");
    person("E0004", "", "", "SMITH", "JONES", "JOHN", "", "1");
    person("E0005", "1", "41000001", "VEGA", "RIOS", "PEDRO", "", "1");
    person("E0006", "1", "41000002", "CRUZ", "LEON", "RUTH", "", "1");
    const double nets[] = {1169.23, 1104.90, 2500.00, 0.50, 0.0, 800.0};
    for (int i = 0; i < 6; ++i) net("E000" + std::to_string(i + 1), nets[i]);
    extra("E0005", {{"BANCOSUN", std::string("02")}, {"CTANUM", std::string("1910000000055")}});
    extra("E0006", {{"TIPPAGO", std::string("1")}});
  }

  void person(const std::string& code, const std::string& doc, const std::string& number, const std::string& ap1,
              const std::string& ap2, const std::string& n1, const std::string& n2, const std::string& retri) {
    add(TableId::ActiveEmployees,
        {{"CODIGO", code}, {"NOMBRE", ap1 + " " + ap2 + ", " + n1}, {"DOCIDEN", doc}, {"ELECTORAL", number},
         {"APELLI1", ap1}, {"APELLI2", ap2}, {"NOMBRE1", n1}, {"NOMBRE2", n2}, {"RETRI", retri},
         {"DIRECCION", std::string("AV. LOS \xC1LAMOS 123")}, {"TELEFONO", std::string("014445555")}});
  }
  void net(const std::string& code, double v, TableId id = TableId::PayrollSoles) {
    add(id, {{"CODIGO", code}, {"NOMBRE", "EMPLEADO " + code}, {"TPAGAR", v}});
  }
  void extra(const std::string& code, Fields f) {
    f.insert(f.begin(), {"CODIGO", code});
    add(TableId::EmployeeExtra, f);
  }
  void charge(const std::string& bank, const std::string& account, const std::string& currency = "S",
              const std::string& interbank = "S") {
    add(TableId::ChargeAccounts, {{"BANCO", bank}, {"CUENTA", account}, {"MONEDA", currency},
                                  {"TIPCTA", std::string("C")}, {"INTERB", interbank}});
  }
  // The four paid employees' accounts: three at `bank` (E0002's in `currency2`),
  // E0004 at Scotiabank through its CCI unless `own4` (BanBif takes no CCI).
  void accounts(const std::string& bank, const std::vector<std::string>& own, const std::string& own4 = "",
                const std::string& currency2 = "S") {
    for (int i = 0; i < 3; ++i)
      extra("E000" + std::to_string(i + 1),
            {{"BANCOSUN", bank}, {"CTANUM", own[i]}, {"CTAMON", std::string(i == 1 ? currency2 : "S")},
             {"EMAIL", std::string(i == 0 ? "ana.perez@correo.pe" : "")}, {"CELULAR", std::string(i == 1 ? "987654321" : "")}});
    Fields e4 = {{"TIPDOC", std::string("01")}, {"NUMDOC", std::string("07654321")}, {"CTAMON", std::string("S")}};
    if (own4.empty()) {
      e4.push_back({"BANCOSUN", std::string("09")});
      e4.push_back({"CTACCI", std::string("00963200000380987111")});
    } else {
      e4.push_back({"BANCOSUN", bank});
      e4.push_back({"CTANUM", own4});
    }
    extra("E0004", e4);
  }

  bool run(Bank b, std::vector<std::string>& written, const std::string& chargeAccount = "",
           Date process = Date(2016, 4, 5)) {
    TransferRequest req;
    req.bank = b;
    req.chargeAccount = chargeAccount;
    req.processDate = process;
    return runBankTransfer(s(), req, written, false);
  }
  std::string lastMessage() const { return msgs.shown.empty() ? "" : msgs.shown.back().text; }
};

const std::string kRef = "HABERES MARZO 2016";

TEST_F(BankTest, EachBanksFileMatchesTheLayoutByteForByte) {
  const std::string cci = "00963200000380987111";
  struct Case {
    Bank bank;
    std::string code, chargeAccount;
    std::vector<std::string> own;
    std::string own4, file, expected;
  };
  std::vector<Case> cases;
  // BCP: 13 digits corriente "C", 14 ahorros "A", the CCI "B". Control sum: 1000152155
  // (charge) + 8791097 + 12345678012 + 1 + 380987111 = 13735608376.
  cases.push_back(
      {Bank::Bcp, "02", "1911000152155", {"1910008791097", "19112345678012", "1930000000001"}, "",
       "BCP_HABERES_201603_PEN.txt",
       "1" "000004" "20160405" "X" "C" "0001" + L("1911000152155", 20) + "00000000004774.63" + L(kRef, 40) +
           "000013735608376\r\n" +
           "2C" + L("1910008791097", 20) + "1" + L("40123456", 12) + B(3) + L("PEREZ LOPEZ ANA MARIA", 75) +
           L(kRef, 40) + L("E0001", 20) + "0001" "00000000001169.23" "S\r\n" +
           "2A" + L("19112345678012", 20) + "3" + L("00123456", 12) + B(3) + L("MUNOZ DIAZ JOSE", 75) +
           L(kRef, 40) + L("E0002", 20) + "0001" "00000000001104.90" "S\r\n" +
           "2C" + L("1930000000001", 20) + "1" + L("40999888", 12) + B(3) + L("ROJAS QUISPE LUIS ALBERTO", 75) +
           L(kRef, 40) + L("E0003", 20) + "0001" "00000000002500.00" "S\r\n" +
           "2B" + L(cci, 20) + "1" + L("07654321", 12) + B(3) + L("SMITH JONES JOHN", 75) + L(kRef, 40) +
           L("E0004", 20) + "0001" "00000000000000.50" "S\r\n"});
  // BBVA: a later process date is "F" with the date; notice by e-mail, else mobile.
  cases.push_back(
      {Bank::Bbva, "11", "00110123010000012345",
       {"00110123020012345678", "00110456020198765432", "00110789020011112222"}, "", "BBVA_HABERES_201603_PEN.txt",
       "700" + L("00110123010000012345", 20) + "PEN" "000000000477463" "F" "20160405" " " + L(kRef, 25) + "000004" +
           "S" + Z("", 18) + B(50) + "\r\n" +
           "002L" + L("40123456", 12) + "P" "00110123020012345678" + L("PEREZ LOPEZ ANA MARIA", 40) +
           "000000000116923" + L(kRef, 40) + "E" + L("ana.perez@correo.pe", 50) + B(50) + "\r\n" +
           "002E" + L("00123456", 12) + "P" "00110456020198765432" + L("MUNOZ DIAZ JOSE", 40) + "000000000110490" +
           L(kRef, 40) + "C" + L("987654321", 50) + B(50) + "\r\n" +
           "002L" + L("40999888", 12) + "P" "00110789020011112222" + L("ROJAS QUISPE LUIS ALBERTO", 40) +
           "000000000250000" + L(kRef, 40) + B(1) + B(50) + B(50) + "\r\n" +
           "002L" + L("07654321", 12) + "I" + cci + L("SMITH JONES JOHN", 40) + "000000000000050" + L(kRef, 40) +
           B(1) + B(50) + B(50) + "\r\n"});
  // Interbank: own accounts "09", savings "002", soles "01"; the CCI "99" after 3 blanks.
  auto ibk = [&](const std::string& docType, const std::string& doc, const std::string& amount,
                 const std::string& payment, const std::string& ap1, const std::string& ap2, const std::string& names) {
    return "02" + docType + L(doc, 20) + B(19) + B(8) + "01" + Z(amount, 15) + B(1) + payment + "P" + docType +
           L(doc, 15) + L(ap1, 20) + L(ap2, 20) + L(names, 20) + B(2) + Z("", 15) + B(6) + B(40) + B(140) + "\r\n";
  };
  cases.push_back(
      {Bank::Interbank, "03", "2003000555666", {"2003001234567", "2003009876543", "1083000111222"}, "",
       "INTERBANK_HABERES_201603_PEN.txt",
       "0104" + B(36) + "20160405000000" + B(9) + "000004" "000000000477463" + Z("", 15) + "MC001\r\n" +
           ibk("01", "40123456", "116923", "09" "002" "01" + L("2003001234567", 23), "PEREZ", "LOPEZ", "ANA MARIA") +
           ibk("03", "00123456", "110490", "09" "002" "01" + L("2003009876543", 23), "MUNOZ", "DIAZ", "JOSE") +
           ibk("01", "40999888", "250000", "09" "002" "01" + L("1083000111222", 23), "ROJAS", "QUISPE",
               "LUIS ALBERTO") +
           ibk("01", "07654321", "50", "99" + B(3) + B(2) + L(B(3) + cci, 23), "SMITH", "JONES", "JOHN")});
  // BanBif: no header; own accounts only, right-aligned; motive 4 for the fee-paid E0003.
  auto bif = [&](const std::string& seq, const std::string& docType, const std::string& doc, const std::string& ap1,
                 const std::string& ap2, const std::string& names, const std::string& account,
                 const std::string& amount, const std::string& motive) {
    return R(seq, 7) + docType + L(doc, 11) + L(ap1, 20) + L(ap2, 20) + L(names, 44) + L("AV LOS ALAMOS 123", 60) +
           L("014445555", 10) + "H" "038" + R(account, 20) + "1" + R(amount, 14) + motive + "\r\n";
  };
  cases.push_back({Bank::Banbif, "38", "007000999888", {"00700123456", "007000654321", "008000111222"},
                   "008000333444", "BANBIF_HABERES_201603_PEN.txt",
                   bif("1", "1", "40123456", "PEREZ", "LOPEZ", "ANA MARIA", "00700123456", "116923", "5") +
                       bif("2", "3", "00123456", "MUNOZ", "DIAZ", "JOSE", "007000654321", "110490", "5") +
                       bif("3", "1", "40999888", "ROJAS", "QUISPE", "LUIS ALBERTO", "008000111222", "250000", "4") +
                       bif("4", "1", "07654321", "SMITH", "JONES", "JOHN", "008000333444", "50", "5")});

  for (const Case& c : cases) {
    SCOPED_TRACE(bank::layout(c.bank).name);
    for (TableId id : {TableId::EmployeeExtra, TableId::ChargeAccounts}) {
      catalog::TableDef d = def(id);
      for (const std::string& f : d.bags()) std::filesystem::remove(dir() + "/" + f);
      std::filesystem::remove(dir() + "/" + d.dbf());
    }
    extra("E0005", {{"BANCOSUN", std::string("02")}, {"CTANUM", std::string("1910000000055")}});
    extra("E0006", {{"TIPPAGO", std::string("1")}});
    accounts(c.code, c.own, c.own4);
    charge(c.code, c.chargeAccount);
    std::vector<std::string> written;
    ASSERT_TRUE(run(c.bank, written)) << msgs.all();
    ASSERT_EQ(written, std::vector<std::string>{dir() + "/" + c.file});
    EXPECT_EQ(slurp(written[0]), c.expected);
  }
}

TEST_F(BankTest, DollarAccountsGetTheConvertedNetInAFileOfTheirOwn) {
  accounts("02", {"1910008791097", "19112345678113", "1930000000001"}, "", "D");
  net("E0002", 339.97, TableId::PayrollDollars);
  charge("02", "1911000152155");
  charge("02", "1912000000001", "D", "N");
  std::vector<std::string> written;
  ASSERT_TRUE(run(Bank::Bcp, written)) << msgs.all();
  ASSERT_EQ(written.size(), 2u);
  // Dollars: 1 payment of 339.97 (the converted net), charged to the dollar account;
  // control sum 2000000001 + 12345678113 = 14345678114.
  const std::string usd = slurp(dir() + "/BCP_HABERES_201603_USD.txt");
  EXPECT_EQ(usd.substr(0, 113), "1" "000001" "20160405" "X" "C" "1001" + L("1912000000001", 20) +
                                    "00000000000339.97" + L(kRef, 40) + "000014345678114");
  EXPECT_EQ(usd.substr(115 + 173, 21), "1001" "00000000000339.97");
  // Soles: the other three, 1169.23 + 2500.00 + 0.50 = 3669.73.
  EXPECT_EQ(slurp(dir() + "/BCP_HABERES_201603_PEN.txt").substr(0, 58),
            "1" "000003" "20160405" "X" "C" "0001" + L("1911000152155", 20) + "00000000003669.73");

  // With the soles account named, only its file is written; E0002 is listed, and the
  // dollar file of the run before stays.
  written.clear();
  ASSERT_TRUE(run(Bank::Bcp, written, "1911000152155")) << msgs.all();
  EXPECT_EQ(written, std::vector<std::string>{dir() + "/BCP_HABERES_201603_PEN.txt"});
  EXPECT_EQ(slurp(dir() + "/BCP_HABERES_201603_USD.txt"), usd);
  const std::string summary = slurp(dir() + "/Test.rpv");
  EXPECT_NE(summary.find("cuenta en dolares: otra cuenta de cargo"), std::string::npos);
}

TEST_F(BankTest, EveryRefusalIsListedAtOnceAndNothingIsWritten) {
  accounts("02", {"191000879109", "19112345678012", "1930000000001"});
  {
    // E0002 without an account; E0003 with a negative net; E0004's CCI mistyped.
    auto t = open(TableId::EmployeeExtra);
    ASSERT_TRUE(t && t->seek("E0002"));
    ASSERT_TRUE(t->replace("CTANUM", std::string_view("")).isOk());
    ASSERT_TRUE(t->seek("E0004"));
    ASSERT_TRUE(t->replace("CTACCI", std::string_view("00963200000380987112")).isOk());
  }
  change(TableId::PayrollSoles, "E0003", {{"TPAGAR", -10.0}});
  // E0007 at the Banco de la Nacion with a Scotiabank CCI.
  person("E0007", "1", "41000007", "PAZ", "SOTO", "LIA", "", "1");
  net("E0007", 900.0);
  extra("E0007", {{"BANCOSUN", std::string("18")}, {"CTACCI", std::string("00963200000380987111")}});
  charge("02", "1911000152155");
  std::vector<std::string> written;
  EXPECT_FALSE(run(Bank::Bcp, written, "", Date(2016, 4, 1)));
  EXPECT_TRUE(written.empty());
  const std::string m = lastMessage();
  for (const char* line : {"No Se Generaron Los Archivos Del Banco:",
                           "Empresa 01: la fecha de proceso 01/04/2016 ya paso",
                           "E0001 EMPLEADO E0001: la cuenta BCP 191000879109 no tiene 13 (corriente) o 14 (ahorros) digitos",
                           "E0002 EMPLEADO E0002: tiene neto a pagar y no tiene cuenta de haberes",
                           "E0003 EMPLEADO E0003: neto a pagar negativo (-10.00)",
                           "E0004 EMPLEADO E0004: el CCI 00963200000380987112 tiene los digitos de control errados",
                           "E0007 EMPLEADO E0007: el CCI 00963200000380987111 no es del banco de su cuenta (NACION)"})
    EXPECT_NE(m.find(line), std::string::npos) << line << "\n" << m;
  EXPECT_FALSE(std::filesystem::exists(dir() + "/BCP_HABERES_201603_PEN.txt"));

  // A month not calculated, and one a later gratification left pending, stop at once.
  add(TableId::RunStamps, {{"PROCESO", std::string("PLANILLA")}, {"PENDIENTE", std::string("S")}});
  EXPECT_FALSE(run(Bank::Bcp, written));
  EXPECT_NE(lastMessage().find("Pendiente De Recalculo"), std::string::npos) << lastMessage();
  catalog::TableDef e2 = def(TableId::PayrollSoles);
  std::filesystem::remove(dir() + "/" + e2.dbf());
  EXPECT_FALSE(run(Bank::Bcp, written));
  EXPECT_EQ(lastMessage(), "Archivo Planilla-1 Mes 03 No Existe ");
  EXPECT_TRUE(written.empty());
}

TEST_F(BankTest, SummaryListsThePaymentsTheTotalAndWhoIsLeftOut) {
  accounts("02", {"1910008791097", "19112345678012", "1930000000001"});
  charge("02", "1911000152155");
  std::vector<std::string> written;
  ASSERT_TRUE(run(Bank::Bcp, written)) << msgs.all();
  const std::string r = slurp(dir() + "/Test.rpv");
  for (const char* part : {"ABONO DE HABERES MARZO 2016 - BCP", "CUENTA DE CARGO 1911000152155 (SOLES)",
                           "FECHA DE PROCESO 05/04/2016", "BCP_HABERES_201603_PEN.txt",
                           "E0002     MUNOZ DIAZ JOSE", "CE 00123456", "19112345678012", "1,104.90",
                           "SCOTIABANK CCI", "TOTAL 4 ABONO(S)", "4,774.63", "TOTAL DE CONTROL BCP 13735608376",
                           "E0005     EMPLEADO E0005", "sin neto a pagar", "E0006     EMPLEADO E0006",
                           "pago en efectivo", "S/         800.00", "Elaborado por", "sin validar"})
    EXPECT_NE(r.find(part), std::string::npos) << part;
}

TEST(BankScreens, ChargeAccountsAreCheckedBeforeTheyAreKeptAndTheDialogRunsTheExport) {
  masters::testing::TempDir dir;
  masters::testing::Station st(dir.path());
  st.session.YFECHA = Date(2016, 5, 31);
  st.tk.expectDialog("MANTE02", "Cuentas De Cargo Bancarias")
      .pressBar(1)
      .expectDialog("EDITCTACARGO", "Adicionar Registro")
      .type(104, "19110001521")
      .choose(110, "Si (Por CCI)")
      .press(301)
      .expectMessage(ui::MsgKind::Stop,
                     "Cuenta De Cargo No Valida: la cuenta BCP 19110001521 no tiene 13 (corriente) o 14 (ahorros) "
                     "digitos",
                     "Mensaje")
      .type(104, "1911000152155")
      .press(301)
      .pressBar(1)
      .expectDialog("EDITCTACARGO", "Adicionar Registro")
      .choose(102, "BBVA")
      .type(104, "00110123010000012345")
      .choose(110, "Si (Por CCI)")
      .press(301)
      .expectMessage(ui::MsgKind::Stop,
                     "Cuenta De Cargo No Valida: la cuenta 1911000152155 ya paga otros bancos en soles: solo una por "
                     "moneda",
                     "Mensaje")
      .choose(110, "No")
      .press(301)
      .pressBar(4);
  F_BJLG02(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  auto rows = masters::testing::readAll(dir.path(), st.session.def(TableId::ChargeAccounts)).rows;
  ASSERT_EQ(rows.size(), 2u);
  Result<std::vector<ChargeAccount>> kept = readChargeAccounts(st.session);
  ASSERT_TRUE(kept.isOk());
  ASSERT_EQ(kept->size(), 2u);
  EXPECT_EQ((*kept)[0].cuenta, "00110123010000012345");  // account order
  EXPECT_EQ((*kept)[0].banco, "11");
  EXPECT_EQ((*kept)[0].interb, "N");
  EXPECT_EQ((*kept)[1].banco, "02");
  EXPECT_EQ((*kept)[1].interb, "S");

  // The dialog hands its choices to the export, which refuses a month not calculated.
  st.tk.expectDialog("PAGOBANCO", "Archivos De Pago Al Banco")
      .choose(102, "BBVA")
      .press(109)
      .expectMessage(ui::MsgKind::Stop, "Archivo Planilla-1 Mes 05 No Existe ", "Mensaje")
      .press(110);
  F_BANCO01(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
}

}  // namespace
}  // namespace planilla::exports
