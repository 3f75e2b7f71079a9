// The report writers on a small fixed month: four employees in two cost centres, two
// pension funds and the public system, three paid in soles and one in dollars, one
// gratification in the month, the November CTS table and a year of vacations.
//
// Every writer's report file is compared line by line with its expected file in
// tests/expected/; the totals are worked out by hand below.
#include <gtest/gtest.h>
#include "test_paths.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <variant>

#include "reports/cts_reports.h"
#include "reports/payslip.h"
#include "reports/runrpv.h"
#include "reports/summaries.h"
#include "reports/vacation_record.h"
#include "session/install.h"
#include "session/startup.h"
#include "session/tests/session_test_util.h"
#include "store/tests/store_test_util.h"
#include "store/catalog.h"

using namespace planilla;
using namespace planilla::reports;
using catalog::TableId;

namespace {

using Value = std::variant<std::string, double, Date>;
using Row = std::vector<std::pair<std::string, Value>>;

std::string readAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> crlfLines(const std::string& t) {
  std::vector<std::string> out;
  std::string line;
  std::istringstream in(t);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

// The amounts of a report line: every number that follows a "{tab= +NNNN} " cell.
std::vector<double> amountsOf(const std::string& line) {
  std::vector<double> v;
  for (size_t at = line.find("} {tab= +"); at != std::string::npos; at = line.find("} {tab= +", at + 1)) {
    size_t start = line.find("} ", at + 2) + 2;
    size_t end = line.find('{', start);
    std::string n = line.substr(start, end - start);
    std::erase(n, ',');
    if (n.find_first_of("0123456789") != std::string::npos) v.push_back(std::atof(n.c_str()));
  }
  return v;
}

// The line that contains `marker`.
std::string lineWith(const std::string& rpv, const std::string& marker) {
  for (const auto& l : crlfLines(rpv))
    if (l.find(marker) != std::string::npos) return l;
  return std::string();
}

class FixedMonth : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(kViewerEnv, "true", 1);
    ASSERT_TRUE(installBase(fs(), dir_.path()).isOk());
    build();
    station_ = std::make_unique<planilla::testing::Station>(dir_.path());
    workOn(Date(2026, 12, 31));
  }

  FileSystem& fs() { return platformFileSystem(); }
  Session& s() { return station_->session; }
  std::vector<planilla::testing::RecordingMessages::Box>& boxes() { return station_->messages.boxes; }

  void workOn(const Date& d) {
    s().YCIA = "01";
    s().YFECHA = d;
    ASSERT_TRUE(acceptWorkingDate(s()));
    boxes().clear();
  }

  void add(TableId id, const catalog::Period& p, const std::vector<Row>& rows) {
    const catalog::TableDef def = catalog::define(id, p);
    ASSERT_TRUE(catalog::ensureTable(fs(), dir_.path(), def).isOk()) << def.dbf();
    auto t = catalog::openTable(fs(), dir_.path(), def, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    for (const Row& r : rows) {
      ASSERT_TRUE(t.value()->appendBlank().isOk());
      for (const auto& [f, v] : r) {
        Status st = std::visit([&](const auto& x) { return t.value()->replace(f, x); }, v);
        ASSERT_TRUE(st.isOk()) << f << ": " << st.message();
      }
    }
  }

  void build() {
    const catalog::Period none{}, dec{"01", "12", "26"};
    add(TableId::Institutions, none,
        {{{"COD_CIA", "01"}, {"NOM_CIA", "EMPRESA DE PRUEBA S.A."}, {"RUC", "20100000001"}, {"PATRO", "PAT-01"},
          {"DIREC", "AV. PRUEBA 100, LIMA"}, {"NOMBRES", "JUAN PEREZ SOTO"}, {"CARGO", "GERENTE"},
          {"DNI", "10000001"}, {"NOM_ABREV", "PRUEBA"}}});
    {  // The parameters record is created with one blank record: the signature choice.
      const catalog::TableDef def = catalog::define(TableId::Rates, dec);
      ASSERT_TRUE(catalog::ensureTable(fs(), dir_.path(), def).isOk());
      auto t = catalog::openTable(fs(), dir_.path(), def, OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk());
      ASSERT_TRUE(t.value()->setOrder(0).isOk());
      ASSERT_TRUE(t.value()->goTop().isOk());
      ASSERT_TRUE(t.value()->replace("Firma", "1").isOk());
    }
    add(TableId::CostCentres, dec, {{{"CODIGO", "ADM"}, {"NOMBRE", "ADMINISTRACION"}},
                                    {{"CODIGO", "PRO"}, {"NOMBRE", "PRODUCCION"}}});
    add(TableId::WorkerTypes, dec, {{{"CODIGO", "21"}, {"NOMBRE", "EJECUTIVO"}},
                                    {{"CODIGO", "23"}, {"NOMBRE", "EMPLEADO"}}});
    add(TableId::PensionFunds, dec, {{{"MES", "12"}, {"CODIGO", "HABITA"}, {"NOMBRE", "AFP HABITAT"}},
                                     {{"MES", "12"}, {"CODIGO", "PRIMA"}, {"NOMBRE", "PRIMA AFP"}}});
    add(TableId::Banks, dec, {{{"CODIGO", "BCP"}, {"NOMBRE", "BANCO DE CREDITO"}},
                              {{"CODIGO", "SCOT"}, {"NOMBRE", "SCOTIABANK"}}});
    add(TableId::ExchangeRates, dec,
        {{{"CODIGO", "12 031"}, {"TIP_CAM", 3.8}, {"TIP_CAME", 4.1}, {"TIP_EURO", 1.08}},
         {{"CODIGO", "99 999"}, {"TIP_CAM", 3.75}, {"TIP_CAME", 4.05}, {"TIP_EURO", 1.08}}});
    auto emp = [](const char* code, const char* name, const char* cc, const char* afp, const char* dolar,
                  const char* tip, const char* bank, Date left) {
      Row r = {{"CODIGO", code},      {"NOMBRE", name},
               {"CCOSTO", cc},        {"CODAFP", afp},
               {"DOLAR", dolar},      {"TIPTRAB", tip},
               {"BANCO", bank},       {"CARGO", std::string("CARGO DE ") + code},
               {"CARNET", std::string("ESS-") + code}, {"NROAFP", *afp ? std::string("N-") + code : std::string()},
               {"ELECTORAL", std::string("4000") + (code + 1)}, {"CTACTE", std::string("CTA-") + code},
               {"FECH_ING", Date(2020, 3, 2)}, {"FECH_NAC", Date(1990, 7, 15)}};
      if (!left.empty()) r.push_back({"FECHASITUA", left});
      return r;
    };
    add(TableId::EmployeeMaster, dec,
        {emp("A001", "ALVA RUIZ, ANA", "ADM", "HABITA", "S", "21", "BCP", Date()),
         // A name of the field's full fifty characters.
         emp("A002", "BRAVO DIAZ DE LA TORRE Y SANTISTEBAN, BERNARDO JOS", "PRO", "PRIMA", "S", "23", "BCP", Date()),
         emp("A003", "CASAS LEON, CARLA", "ADM", "PRIMA", "D", "23", "BCP", Date()),
         emp("A004", "DURAN PAZ, DIEGO", "PRO", "", "S", "23", "SCOT", Date(2026, 12, 15))});
    add(TableId::ActiveEmployees, dec, {});
    ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), catalog::define(TableId::PayrollSoles, dec)).isOk());
    ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), catalog::define(TableId::PayrollDollars, dec)).isOk());
    ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), catalog::define(TableId::GratSoles, dec)).isOk());
    add(TableId::PayrollSoles, dec,
        {{{"CODIGO", "A001"}, {"CCOSTO", "ADM"}, {"CODAFP", "HABITA"}, {"DIA_TRA", 30.0}, {"BAS_MEN", 3000.0},
          {"BAS_QUI", 3000.0}, {"TBRUTO", 3000.0}, {"AAPOR1", 300.0}, {"AAPOR2", 40.0}, {"AAPOR3", 50.0},
          {"RTA_5TA", 100.0}, {"ESVIDA", 5.0}, {"IPSSE", 270.0}, {"T_DSCTOT", 495.0}, {"TPAGAR", 2505.0}},
         {{"CODIGO", "A002"}, {"CCOSTO", "PRO"}, {"CODAFP", "PRIMA"}, {"DIA_TRA", 30.0}, {"BAS_MEN", 2000.0},
          {"BAS_QUI", 2000.0}, {"ESCOLAR", 500.0}, {"TBRUTO", 2500.0}, {"AAPOR1", 200.0}, {"AAPOR2", 27.5},
          {"AAPOR3", 32.5}, {"IPSSE", 225.0}, {"T_DSCTOT", 260.0}, {"TPAGAR", 2240.0}},
         {{"CODIGO", "A003"}, {"CCOSTO", "ADM"}, {"CODAFP", "PRIMA"}, {"DIA_TRA", 30.0}, {"BAS_MEN", 1000.0},
          {"BAS_QUI", 3750.0}, {"TBRUTO", 3750.0}, {"AAPOR1", 375.0}, {"AAPOR2", 51.25}, {"AAPOR3", 60.0},
          {"RTA_5TA", 120.5}, {"IPSSE", 337.5}, {"T_DSCTOT", 606.75}, {"TPAGAR", 3143.25}},
         {{"CODIGO", "A004"}, {"CCOSTO", "PRO"}, {"CODAFP", ""}, {"DIA_TRA", 15.0}, {"HORASTRA", 120.0},
          {"BAS_MEN", 1200.0}, {"BAS_QUI", 1200.0}, {"ASIGNA", 113.0}, {"TBRUTO", 1313.0}, {"SNPT", 170.69},
          {"IPSSE", 118.17}, {"T_DSCTOT", 170.69}, {"TPAGAR", 1142.31}}});
    // The December gratification: A001's, and a row whose code has no payroll row.
    add(TableId::GratSoles, dec,
        {{{"CODIGO", "A001"}, {"CCOSTO", "ADM"}, {"GRATIF", 3000.0}, {"BONIFI", 270.0}, {"TBRUTO", 3270.0},
          {"TPAGAR", 3270.0}, {"IPSSE", 0.0}, {"FONAVIE", 12.5}},
         {{"CODIGO", "Z999"}, {"GRATIF", 999.0}, {"TBRUTO", 999.0}, {"TPAGAR", 999.0}}});
    auto cts = [](const char* code, const char* name, const char* dolar, const char* moneda, const char* bank,
                  double recompu, double meses, double dias1, double calculo, double depante) {
      return Row{{"CODIGO", code},      {"NOMBRE", name},       {"DOLAR", dolar},     {"MONEDA", moneda},
                 {"BANCO", bank},       {"BAS_MEN", recompu - 500}, {"ASIGNA", 0.0},  {"GRATI16", 500.0},
                 {"RECOMPU", recompu},  {"MESES", meses},       {"DIAS1", dias1},     {"CALCULO", calculo},
                 {"DEPANTE", depante}};
    };
    add(TableId::CtsNovember, dec,
        {cts("A001", "ALVA RUIZ, ANA", "S", "S", "BCP", 3500, 6, 0, 1750, 100),
         cts("A002", "BRAVO DIAZ, BERNARDO", "S", "D", "BCP", 2400, 6, 0, 1200, 0),
         cts("A003", "CASAS LEON, CARLA", "D", "S", "BCP", 1500, 4, 16, 500, 0),
         cts("A004", "DURAN PAZ, DIEGO", "S", "S", "SCOT", 1200, 6, 0, 600, 0)});
    auto vac = [](const char* code, Date from, Date to, double days) {
      return Row{{"CODIGO", code}, {"INIVACA", from}, {"FINVACA", to}, {"DIAVAC", days}};
    };
    add(TableId::VacationRoll, {"01", "01", "26"}, {vac("A001", Date(2026, 1, 5), Date(2026, 1, 9), 5)});
    add(TableId::VacationRoll, {"01", "03", "26"},
        {vac("A002", Date(2026, 3, 1), Date(2026, 3, 30), 30), vac("A001", Date(2026, 3, 1), Date(2026, 3, 10), 10)});
    add(TableId::VacationRoll, {"01", "12", "26"}, {vac("A001", Date(2026, 12, 20), Date(2026, 12, 31), 12)});
  }

  // Changes the fields of the row of `code` (the first, in file order).
  void set(TableId id, const catalog::Period& p, const std::string& code, const Row& fields) {
    auto t = catalog::openTable(fs(), dir_.path(), catalog::define(id, p), OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    Table& tb = *t.value();
    ASSERT_TRUE(tb.setOrder(0).isOk());
    for (Status st = tb.goTop(); !tb.eof(); st = tb.skip(1)) {
      ASSERT_TRUE(st.isOk()) << st.message();
      if (tb.str("CODIGO").substr(0, code.size()) != code) continue;
      for (const auto& [f, v] : fields) {
        Status st = std::visit([&](const auto& x) { return tb.replace(f, x); }, v);
        ASSERT_TRUE(st.isOk()) << f << ": " << st.message();
      }
      return;
    }
    FAIL() << code << " no esta en " << catalog::define(id, p).dbf();
  }

  std::string report() { return readAll(dir_.path() + "/Test.rpv"); }

  planilla::testing::TempDir dir_;
  std::unique_ptr<planilla::testing::Station> station_;
};

std::string expectedPath(const std::string& name) {
  return std::string(PLANILLA_SOURCE_DIR) + "/reports/tests/expected/" + name + ".rpv";
}

}  // namespace

// Each writer's file against the expected file, line by line. Dates are those of the
// fixed month: December 2026, the certificate dated 14/11/2026 in November.
TEST_F(FixedMonth, EveryReportFileMatchesItsExpectedFile) {
  struct Case {
    const char* name;
    Date date;
    std::function<bool(Session&)> run;
  };
  const Date dec(2026, 12, 31), nov(2026, 11, 30);
  const std::vector<Case> cases = {
      {"libro", dec, [](Session& s) { std::string ruc; return checkPayrollBook(s, ruc) && PREP406(s, ruc, false); }},
      {"grati", dec, [](Session& s) { std::string ruc; return checkGratiBook(s, ruc) && PREP402(s, ruc, false); }},
      {"pdt", dec, [](Session& s) { return REPXXP404(s, false); }},
      {"aportes", dec, [](Session& s) { return checkPensionSummary(s) && REPXXP405(s, false); }},
      {"netos", dec, [](Session& s) { return checkNetPay(s) && PREP426(s, 3, false); }},
      {"boleta-grati", dec,
       [](Session& s) {
         PayslipValues v;
         std::string name, cc;
         return checkGratiSlipPreconditions(s, v) && CODPER(s, "A001", &name, &cc) &&
                PREP403(s, "A001      ", name, v, cc, false);
       }},
      {"vacaciones", dec,
       [](Session& s) { return checkVacationRecord(s) && PREP429(s, "A001      ", "ALVA RUIZ, ANA", false); }},
      {"cts", nov,
       [](Session& s) {
         CtsCertificateValues v;
         CtsEmployee e;
         return checkCtsCertificate(s, v) && CODPERQUINTA(s, "A003", e) && PREP430(s, e, v, Date(2026, 11, 14), false);
       }},
      {"depositos-cts", nov, [](Session& s) { return checkCtsDeposits(s) && REP431(s, "BCP", 3, false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    workOn(c.date);
    ASSERT_TRUE(c.run(s())) << (boxes().empty() ? std::string() : boxes().back().text);
    EXPECT_TRUE(boxes().empty());
    const std::string got = report();
    const std::string want = readAll(expectedPath(c.name));
    const auto g = crlfLines(got), w = crlfLines(want);
    for (size_t i = 0; i < std::max(g.size(), w.size()); ++i) {
      const std::string gl = i < g.size() ? g[i] : "<fin>", wl = i < w.size() ? w[i] : "<fin>";
      if (gl == wl) continue;
      EXPECT_EQ(gl, wl) << "linea " << i + 1;
      break;  // the first difference says enough; the next report is checked all the same
    }
    EXPECT_EQ(got, want);  // line ends included
  }
}

// The totals of the fixed month, worked out from the rows above.
TEST_F(FixedMonth, TotalsWorkedByHand) {
  std::string ruc;
  // Payroll book: A001 gets its gratification added (3,000 + 270 bonus).
  ASSERT_TRUE(checkPayrollBook(s(), ruc) && PREP406(s(), ruc, false));
  std::string r = report();
  // (01) 3000 + 2000 + 3750 + 1200 = 9,950; (05) 500; (09) 270; (13) 170.69; (17) 0;
  // (21) 0; (25) 270 + 225 + 337.5 + 118.17 = 950.67;
  // (29) 3000 + 3270 + 2500 + 3750 + 1313 = 13,833.
  EXPECT_EQ(amountsOf(lineWith(r, "RESUMEN :")),
            (std::vector<double>{9950, 500, 270, 170.69, 0, 0, 950.67, 13833}));
  // (31) 2505 + 3270 + 2240 + 3143.25 + 1142.31 = 12,300.56; (07) 3,000 gratification.
  const auto l3 = amountsOf(crlfLines(r)[crlfLines(r).size() - 2]);
  EXPECT_DOUBLE_EQ(l3.front(), 0);  // (03) overtime
  EXPECT_DOUBLE_EQ(l3[1], 3000);
  EXPECT_DOUBLE_EQ(l3.back(), 12300.56);

  // PDT: TBRUTO 13,833; SNPT 170.69; RTA 100 + 120.5 = 220.50; ESVIDA 5; IPSSE 950.67;
  // TOTAL 170.69 + 220.50 + 5 + 950.67 = 1,346.86 (TBRUTO excluded).
  ASSERT_TRUE(REPXXP404(s(), false));
  r = report();
  EXPECT_EQ(amountsOf(lineWith(r, "TOTAL PDT-SUNAT")), (std::vector<double>{13833, 170.69, 220.5, 5, 950.67, 1346.86}));
  // ADM: A001 6,270 + A003 3,750 = 10,020; total 100 + 120.5 + 5 + 270 + 337.5 = 833.
  EXPECT_EQ(amountsOf(lineWith(r, "Total ADM")), (std::vector<double>{10020, 0, 220.5, 5, 607.5, 833}));

  // Pensions: A004 (no fund) left out, ESCOLAR out of the insurable pay.
  // PRIMA: A003 3,750 + A002 (2,500 - 500) = 5,750; 375 + 200 = 575; 51.25 + 27.5 = 78.75;
  // 60 + 32.5 = 92.5; 78.75 + 92.5 = 171.25; 575 + 171.25 = 746.25.
  ASSERT_TRUE(checkPensionSummary(s()) && REPXXP405(s(), false));
  r = report();
  EXPECT_EQ(amountsOf(lineWith(r, "Total Afp  PRIMA")), (std::vector<double>{5750, 575, 78.75, 92.5, 171.25, 746.25}));
  // Grand: + A001 3,000 / 300 / 40 / 50 / 90 / 390.
  EXPECT_EQ(amountsOf(lineWith(r, "TOTAL APORTES PREVISIONALES")),
            (std::vector<double>{8750, 875, 118.75, 142.5, 261.25, 1136.25}));

  // Net pay in soles: A003 (dollars) left out. 3000 + 2500 + 1313 = 6,813;
  // 495 + 260 + 170.69 = 925.69; 2505 + 2240 + 1142.31 = 5,887.31; 270 + 225 + 118.17 =
  // 613.17; cost 6,813 + 613.17 = 7,426.17.
  ASSERT_TRUE(checkNetPay(s()) && PREP426(s(), 3, false));
  EXPECT_EQ(amountsOf(lineWith(report(), "TOTAL PLANILLA")),
            (std::vector<double>{6813, 925.69, 5887.31, 613.17, 7426.17}));

  // Vacation record of A001: January 5 + March 10 + December 12 = 27 days.
  ASSERT_TRUE(checkVacationRecord(s()) && PREP429(s(), "A001      ", "ALVA RUIZ, ANA", false));
  EXPECT_EQ(amountsOf(lineWith(report(), "RECORD VACACIONAL EN EL")), (std::vector<double>{27}));

  // CTS deposits into BCP, soles accounts: A001 1,750 + 100 = 1,850; A003 500 dollars
  // into soles at 3.75 = 1,875; A002 (dollar account) and A004 (other bank) left out.
  workOn(Date(2026, 11, 30));
  ASSERT_TRUE(checkCtsDeposits(s()) && REP431(s(), "BCP", 3, false));
  EXPECT_NE(lineWith(report(), "TOTAL :").find("3,725.00"), std::string::npos);
  // Dollar accounts: A002 1,200 soles / 3.75 = 320.00.
  ASSERT_TRUE(checkCtsDeposits(s()) && REP431(s(), "BCP", 2, false));
  EXPECT_NE(lineWith(report(), "TOTAL :").find("320.00"), std::string::npos);
}

// The PDT summary takes the tax withheld on the month's gratification; the net pay list
// of each currency lists that currency's employees, a blank currency (the form's
// default) and a row whose employee left the master being paid in soles.
TEST_F(FixedMonth, GratificationTaxAndTheEmployeesOfEachCurrency) {
  const catalog::Period dec{"01", "12", "26"};
  set(TableId::GratSoles, dec, "A001", {{"RTA_5TA", 45.0}});
  // RTA 100 + 120.5 + 45 = 265.50; TOTAL 170.69 + 265.50 + 5 + 950.67 = 1,391.86.
  ASSERT_TRUE(REPXXP404(s(), false));
  EXPECT_EQ(amountsOf(lineWith(report(), "TOTAL PDT-SUNAT")),
            (std::vector<double>{13833, 170.69, 265.5, 5, 950.67, 1391.86}));

  set(TableId::EmployeeMaster, dec, "A004", {{"DOLAR", " "}});
  set(TableId::EmployeeMaster, dec, "A002", {{"DOLAR", "E"}});
  add(TableId::PayrollSoles, dec,
      {{{"CODIGO", "Z998"}, {"CCOSTO", "ADM"}, {"TBRUTO", 1000.0}, {"T_DSCTOT", 100.0}, {"TPAGAR", 900.0},
        {"IPSSE", 90.0}}});
  struct Case {
    int selector;
    std::vector<double> totals;  // gross, deductions, net, EsSalud, cost
  } cases[] = {
      // Soles: A001 3,000 / 495 / 2,505 / 270; A004 (blank) 1,313 / 170.69 / 1,142.31 /
      // 118.17; Z998 1,000 / 100 / 900 / 90. 5,313; 765.69; 4,547.31; 478.17; 5,791.17.
      {3, {5313, 765.69, 4547.31, 478.17, 5791.17}},
      // Dollars: A003 only; cost 3,750 + 337.5 = 4,087.50.
      {2, {3750, 606.75, 3143.25, 337.5, 4087.5}},
      // Euros: A002 only; cost 2,500 + 225 = 2,725.
      {1, {2500, 260, 2240, 225, 2725}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selector);
    ASSERT_TRUE(checkNetPay(s()) && PREP426(s(), c.selector, false));
    EXPECT_EQ(amountsOf(lineWith(report(), "TOTAL PLANILLA")), c.totals);
  }
  EXPECT_TRUE(boxes().empty());
}

// The deposit in the account's currency: hand-worked conversions, cents rounded.
TEST(CtsDeposit, ConvertsToTheAccountsCurrency) {
  const CtsRates r{3.75, 4.05, 1.08};
  struct Case {
    const char *dolar, *moneda;
    double total, amount;
    const char* label;
    bool converted;
  };
  const Case cases[] = {
      {"S", "S", 1000, 1000, "S/.", false},
      {"S", " ", 1000, 1000, "S/.", false},   // account currency left blank: the pay's
      {"S", "D", 1000, 266.67, "USD", true},  // 1000 / 3.75 = 266.666..
      {"S", "E", 1000, 246.91, "Euros", true},  // 1000 / 4.05 = 246.913..
      {"D", "S", 100, 375, "S/.", true},      // 100 x 3.75
      {"D", "E", 108, 100, "Euros", true},    // 108 / 1.08
      {"E", "S", 100, 405, "S/.", true},      // 100 x 4.05
      {"E", "D", 100, 108, "USD", true},      // 100 x 1.08
      {"X", "S", 100, 100, "", false},        // unknown pay currency: not converted
  };
  for (const Case& c : cases) {
    const CtsDeposit d = ctsDeposit(c.dolar, c.moneda, c.total, r);
    EXPECT_DOUBLE_EQ(d.amount, c.amount) << c.dolar << c.moneda;
    EXPECT_EQ(d.label, c.label) << c.dolar << c.moneda;
    EXPECT_EQ(d.converted, c.converted) << c.dolar << c.moneda;
  }
}

// Refusals show their message, leave the previous report file alone and return false.
TEST_F(FixedMonth, RefusalsLeaveThePreviousReport) {
  ASSERT_TRUE(REPXXP404(s(), false));
  const std::string before = report();
  struct Case {
    const char* what;
    Date date;
    std::function<bool(Session&)> run;
    std::string text, title;
    std::function<void()> before = nullptr;
  };
  // The November CTS rate at zero: A003's deposit is converted from dollars into soles.
  auto zeroRate = [&] { set(TableId::ExchangeRates, {"01", "12", "26"}, "99 999", {{"TIP_CAM", 0.0}}); };
  const std::vector<Case> cases = {
      {"gratification slip without a row", Date(2026, 12, 31),
       [](Session& s) {
         PayslipValues v;
         return checkGratiSlipPreconditions(s, v) && PREP403(s, "A002      ", "BRAVO", v, "PRO   ", false);
       },
       "Trabajador BRAVO Sin Boleta Gratificacion ", "Lea El Mensaje"},
      {"vacation record without vacations", Date(2026, 12, 31),
       [](Session& s) { return checkVacationRecord(s) && PREP429(s, "A004      ", "DURAN", false); }, "Sin Registros ",
       "Stop"},
      {"CTS certificate out of season", Date(2026, 10, 31),
       [](Session& s) {
         CtsCertificateValues v;
         CtsEmployee e;
         return checkCtsCertificate(s, v) && CODPERQUINTA(s, "A001", e) && PREP430(s, e, v, Date(2026, 10, 1), false);
       },
       "File de CTS  No Generada", "Mensaje"},
      {"deposit list out of season", Date(2026, 10, 31), [](Session& s) { return checkCtsDeposits(s); },
       "File de CTS  No Generada", "Mensaje"},
      {"pension summary of a month without results", Date(2026, 10, 31),
       [](Session& s) { return checkPensionSummary(s) && REPXXP405(s, false); }, "Archivo Planilla-1 Mes 10 No Existe ",
       "Mensaje"},
      {"net pay without results in dollars", Date(2026, 10, 31), [](Session& s) { return checkNetPay(s); },
       "Archivo Planilla-1 Mes 10 No Existe", "Mensaje"},
      // A converted deposit at a zero rate is refused rather than deposited as 0.00.
      {"CTS certificate at a zero rate", Date(2026, 11, 30),
       [](Session& s) {
         CtsCertificateValues v;
         CtsEmployee e;
         return checkCtsCertificate(s, v) && CODPERQUINTA(s, "A003", e) && PREP430(s, e, v, Date(2026, 11, 14), false);
       },
       "Tipo De Cambio Para Cts En Cero: Tipo Cambio", "Mensaje", zeroRate},
      {"deposit list at a zero rate", Date(2026, 11, 30),
       [](Session& s) { return checkCtsDeposits(s) && REP431(s, "BCP", 3, false); },
       "Tipo De Cambio Para Cts En Cero: Tipo Cambio", "Mensaje"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.before) c.before();
    workOn(c.date);
    EXPECT_FALSE(c.run(s()));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, c.text);
    EXPECT_EQ(boxes()[0].title, c.title);
    EXPECT_EQ(report(), before);
  }
}

// An amount another program left unreadable stops the report with the table, the
// record and the field, and the previous report file stays: whether the writer reads
// a copy of the results (the payroll book), walks the rows of one employee (the
// gratification slip) or reads a record it sought (the CTS certificate).
TEST_F(FixedMonth, UnreadableAmountsStopTheReport) {
  ASSERT_TRUE(REPXXP404(s(), false));
  const std::string before = report();
  const catalog::Period dec{"01", "12", "26"};
  struct Case {
    const char* what;
    Date date;
    TableId table;
    const char* code;
    const char* field;
    std::string bytes;
    std::function<bool(Session&)> run;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"payroll book", Date(2026, 12, 31), TableId::PayrollSoles, "A002", "BAS_QUI", "****",
       [](Session& s) { std::string ruc; return checkPayrollBook(s, ruc) && PREP406(s, ruc, false); },
       "Dato No Numerico En e2011226.dbf, Registro 2, Campo BAS_QUI (****)"},
      // GRATIF is 14 wide: NUL bytes where a write was lost, shown as '?'.
      {"gratification slip", Date(2026, 12, 31), TableId::GratSoles, "A001", "GRATIF", std::string(14, '\0'),
       [](Session& s) {
         PayslipValues v;
         std::string name, cc;
         return checkGratiSlipPreconditions(s, v) && CODPER(s, "A001", &name, &cc) &&
                PREP403(s, "A001      ", name, v, cc, false);
       },
       "Dato No Numerico En he011226.dbf, Registro 1, Campo GRATIF (" + std::string(14, '?') + ")"},
      {"CTS certificate", Date(2026, 11, 30), TableId::CtsNovember, "A003", "CALCULO", "    1.500,00",
       [](Session& s) {
         CtsCertificateValues v;
         CtsEmployee e;
         return checkCtsCertificate(s, v) && CODPERQUINTA(s, "A003", e) && PREP430(s, e, v, Date(2026, 11, 14), false);
       },
       "Dato No Numerico En cts20126.dbf, Registro 3, Campo CALCULO (1.500,00)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      auto t = catalog::openTable(fs(), dir_.path(), catalog::define(c.table, dec), OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk()) << t.status().message();
      ASSERT_TRUE(t.value()->seek(c.code));
      planilla::testing::pokeField(*t.value(), c.field, c.bytes);
    }
    workOn(c.date);
    EXPECT_FALSE(c.run(s()));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, c.text);
    EXPECT_EQ(report(), before);
  }
}
