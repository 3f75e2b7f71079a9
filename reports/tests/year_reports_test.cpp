// The year's documents on a fixed year 2026 of company 01, built here:
//  B001 ROJAS PAZ, ROSA   fund HABITA, 5,000.00 every month, 230.00 withheld each month,
//                         July and December gratifications of 5,000.00; a public-system
//                         charge of 10.00 left in January;
//  B002 SOTO VEGA, LUIS   public system, hired in June: 8,000.00 from June to December,
//                         300.00 withheld each month, July gratification 1,333.33,
//                         December gratification 8,000.00 + extraordinary bonus 720.00;
//  B003 VARGAS LUNA, ANA  fund PRIMA, 2,000.00 every month, nothing withheld,
//                         gratifications of 2,000.00.
// Tax unit 5,500.00; bands 27,500 / 110,000 / 192,500 / 247,500 at 8, 14, 17, 20, 30 %.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <variant>

#include "calc/runs.h"
#include "reports/runrpv.h"
#include "reports/summaries.h"
#include "reports/year_reports.h"
#include "session/install.h"
#include "session/startup.h"
#include "session/tests/demo_fixture.h"
#include "session/tests/session_test_util.h"
#include "store/catalog.h"

using namespace planilla;
using namespace planilla::reports;
using catalog::TableId;

namespace {

using Value = std::variant<std::string, double, Date>;
using Row = std::vector<std::pair<std::string, Value>>;

std::vector<std::string> bodyLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> out;
  std::istringstream lines(text);
  bool body = false;
  for (std::string l; std::getline(lines, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (body) out.push_back(l);
    if (l == "[Data]") body = true;
  }
  return out;
}

std::string right(const std::string& text, size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// A grid line: label, twelve month cells, gratifications and total, as hand-written text.
std::string grid(const std::string& label, const std::vector<std::string>& months, const std::string& grat,
                 const std::string& total) {
  std::string l = "  " + label;
  l.resize(16, ' ');
  for (const std::string& m : months) l += right(m, 11);
  return "{$c00;a=l}" + l + right(grat, 13) + right(total, 13) + "{\\n}";
}

std::vector<std::string> twelve(const std::string& v) { return std::vector<std::string>(12, v); }
// Five months without data (January to May), then seven of `v`.
std::vector<std::string> fromJune(const std::string& v) {
  std::vector<std::string> m(5, "s/d");
  m.resize(12, v);
  return m;
}

// A certificate line: the label in 58 places, the amount in 12.
std::string cert(const std::string& label, const std::string& v) {
  std::string l = label;
  l.resize(58, ' ');
  return "{$c00;a=l}" + l + right(v, 12) + "{\\n}";
}

class FixedYear : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(kViewerEnv, "true", 1);
    ASSERT_TRUE(installBase(fs(), dir_.path()).isOk());
    build();
    station_ = std::make_unique<planilla::testing::Station>(dir_.path());
    s().YCIA = "01";
    s().YFECHA = Date(2026, 12, 31);
    ASSERT_TRUE(acceptWorkingDate(s()));
    boxes().clear();
  }

  FileSystem& fs() { return platformFileSystem(); }
  Session& s() { return station_->session; }
  std::vector<planilla::testing::RecordingMessages::Box>& boxes() { return station_->messages.boxes; }
  std::string rpv() { return dir_.path() + "/Test.rpv"; }

  void add(TableId id, const catalog::Period& p, const std::vector<Row>& rows, bool calcFile = false) {
    const catalog::TableDef def = catalog::define(id, p);
    if (calcFile)
      ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), def).isOk()) << def.dbf();
    else
      ASSERT_TRUE(catalog::ensureTable(fs(), dir_.path(), def).isOk()) << def.dbf();
    auto t = catalog::openTable(fs(), dir_.path(), def, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    ASSERT_TRUE(t.value()->setOrder(0).isOk());
    if (id == TableId::Rates) {  // created with its one record
      ASSERT_TRUE(t.value()->goTop().isOk());
    }
    for (const Row& r : rows) {
      if (id != TableId::Rates) {
        ASSERT_TRUE(t.value()->appendBlank().isOk());
      }
      for (const auto& [f, v] : r) {
        Status st = std::visit([&](const auto& x) { return t.value()->replace(f, x); }, v);
        ASSERT_TRUE(st.isOk()) << f << ": " << st.message();
      }
    }
  }

  static std::string mm(int m) { return (m < 10 ? "0" : "") + std::to_string(m); }

  void build() {
    const catalog::Period none{}, dec{"01", "12", "26"};
    add(TableId::Institutions, none,
        {{{"COD_CIA", "01"}, {"NOM_CIA", "EMPRESA DE PRUEBA S.A."}, {"RUC", "20100000001"},
          {"DIREC", "AV. PRUEBA 100, LIMA"}, {"NOMBRES", "JUAN PEREZ SOTO"}, {"DNI", "10000001"}}});
    add(TableId::Rates, dec,
        {{{"UIT2", 5500.0}, {"SCALA01", 27500.0}, {"SCALA02", 110000.0}, {"SCALA03", 192500.0},
          {"SCALA04", 247500.0}, {"TASA08", 8.0}, {"TASA14", 14.0}, {"TASA17", 17.0}, {"TASA20", 20.0},
          {"TASA30", 30.0}}});
    // The fund master names HABITA only; PRIMA is named by its code.
    add(TableId::PensionFunds, dec, {{{"MES", "12"}, {"CODIGO", "HABITA"}, {"NOMBRE", "AFP HABITAT"}}});
    add(TableId::CostCentres, dec, {{{"CODIGO", "ADM"}, {"NOMBRE", "ADMINISTRACION"}}});
    add(TableId::EmployeeMaster, dec,
        {{{"CODIGO", "B001"}, {"NOMBRE", "ROJAS PAZ, ROSA"}, {"CODAFP", "HABITA"}, {"FECH_ING", Date(2020, 1, 6)}},
         {{"CODIGO", "B002"}, {"NOMBRE", "SOTO VEGA, LUIS"}, {"FECH_ING", Date(2026, 6, 1)}},
         {{"CODIGO", "B003"}, {"NOMBRE", "VARGAS LUNA, ANA"}, {"CODAFP", "PRIMA"}, {"FECH_ING", Date(2019, 4, 1)}}});
    for (int m = 1; m <= 12; ++m) {
      std::vector<Row> rows = {
          {{"CODIGO", "B001"}, {"CODAFP", "HABITA"}, {"BAS_QUI", 5000.0}, {"TBRUTO", 5000.0}, {"RTA_5TA", 230.0},
           {"AAPOR1", 500.0}, {"AAPOR2", 50.0}, {"AAPOR3", 60.0}, {"IPSSE", 450.0}},
          {{"CODIGO", "B003"}, {"CODAFP", "PRIMA"}, {"BAS_QUI", 2000.0}, {"TBRUTO", 2000.0}, {"AAPOR1", 200.0},
           {"AAPOR2", 20.0}, {"AAPOR3", 30.0}, {"IPSSE", 180.0}}};
      if (m == 1) rows[0].push_back({"SNPT", 10.0});  // a public-system charge left in January
      if (m >= 6)
        rows.push_back({{"CODIGO", "B002"}, {"BAS_QUI", 8000.0}, {"TBRUTO", 8000.0}, {"RTA_5TA", 300.0},
                        {"SNPT", 1040.0}, {"IPSSE", 720.0}});
      add(TableId::PayrollSoles, {"01", mm(m), "26"}, rows, true);
    }
    add(TableId::GratSoles, {"01", "07", "26"},
        {{{"CODIGO", "B001"}, {"GRATIF", 5000.0}, {"TBRUTO", 5000.0}},
         {{"CODIGO", "B002"}, {"GRATIF", 1333.33}, {"TBRUTO", 1333.33}},
         {{"CODIGO", "B003"}, {"GRATIF", 2000.0}, {"TBRUTO", 2000.0}}},
        true);
    add(TableId::GratSoles, dec,
        {{{"CODIGO", "B001"}, {"GRATIF", 5000.0}, {"TBRUTO", 5000.0}},
         {{"CODIGO", "B002"}, {"GRATIF", 8000.0}, {"BONIFI", 720.0}, {"TBRUTO", 8720.0}},
         {{"CODIGO", "B003"}, {"GRATIF", 2000.0}, {"TBRUTO", 2000.0}}},
        true);
  }

  // Three more employees of the public system, none with a gratification but B004:
  //  B004 LEON RIOS, PEDRO  5,000.00 every month, 300.00 withheld, March paid in two rows
  //                         (3,000 and 2,000; 180 and 120 withheld); gratifications of 5,000;
  //  B005 PAZ SOTO, ELSA    in the system from October (6,000.00, 400.00 withheld); the
  //                         registers hold January-September: 6,000.00 earned and 200.00
  //                         withheld a month (and October-December as the runs wrote them);
  //  B006 RUIZ VERA, LUIS   in the system from October (4,000.00, 100.00 withheld); the
  //                         registers hold January-June (4,000.00 and 100.00); July to
  //                         September are nowhere.
  void addLaterStaff() {
    const catalog::Period dec{"01", "12", "26"}, year{"01", "", "26"};
    add(TableId::EmployeeMaster, dec,
        {{{"CODIGO", "B004"}, {"NOMBRE", "LEON RIOS, PEDRO"}, {"FECH_ING", Date(2020, 2, 3)}},
         {{"CODIGO", "B005"}, {"NOMBRE", "PAZ SOTO, ELSA"}, {"FECH_ING", Date(2015, 1, 5)}},
         {{"CODIGO", "B006"}, {"NOMBRE", "RUIZ VERA, LUIS"}, {"FECH_ING", Date(2018, 8, 1)}}});
    auto pay = [](const char* code, double gross, double tax) {
      return Row{{"CODIGO", code}, {"BAS_QUI", gross}, {"TBRUTO", gross}, {"RTA_5TA", tax}};
    };
    for (int m = 1; m <= 12; ++m) {
      std::vector<Row> rows;
      if (m == 3)
        rows = {pay("B004", 3000, 180), pay("B004", 2000, 120)};
      else
        rows = {pay("B004", 5000, 300)};
      if (m >= 10) rows.push_back(pay("B005", 6000, 400)), rows.push_back(pay("B006", 4000, 100));
      add(TableId::PayrollSoles, {"01", mm(m), "26"}, rows);
    }
    const Row grat = {{"CODIGO", "B004"}, {"GRATIF", 5000.0}, {"TBRUTO", 5000.0}};
    add(TableId::GratSoles, {"01", "07", "26"}, {grat});
    add(TableId::GratSoles, dec, {grat});
    const auto& months = catalog::monthFieldNames();
    auto registerRow = [&](const char* code, int upTo, double a, double b) {
      Row r = {{"CODIGO", code}};
      for (int m = 0; m < upTo; ++m) r.push_back({months[m], m < 9 ? a : b});
      return r;
    };
    add(TableId::Earnings, year, {registerRow("B005", 12, 6000, 6000), registerRow("B006", 6, 4000, 4000)});
    add(TableId::Deductions, year, {registerRow("B005", 12, 200, 400), registerRow("B006", 6, 100, 100)});
  }

  planilla::testing::TempDir dir_;
  std::unique_ptr<planilla::testing::Station> station_;
};

TEST_F(FixedYear, SummariesListEveryMonthAndMarkTheMonthsWithoutData) {
  // Gratifications: B001 5,000 + 5,000 = 10,000.00; B002 1,333.33 + 8,720 = 10,053.33;
  // B003 2,000 + 2,000 = 4,000.00.
  // Totals: B001 12 x 5,000 + 10,000 = 70,000.00; B002 7 x 8,000 + 10,053.33 = 66,053.33;
  // B003 12 x 2,000 + 4,000 = 28,000.00. All: January-May 5,000 + 2,000 = 7,000.00,
  // June-December 15,000.00, gratifications 24,053.33, 5 x 7,000 + 7 x 15,000 + 24,053.33
  // = 164,053.33 (= 70,000 + 66,053.33 + 28,000).
  std::vector<std::string> months(5, "7,000.00");
  months.resize(12, "15,000.00");
  // Withholdings: B001 12 x 230 = 2,760.00; B002 7 x 300 = 2,100.00; all: 230.00 to May,
  // 530.00 from June, 5 x 230 + 7 x 530 = 4,860.00.
  std::vector<std::string> tax(5, "230.00");
  tax.resize(12, "530.00");
  const std::vector<std::string> quinta = {
      "{$c00;a=l;b=y}B001  ROJAS PAZ, ROSA{b=n;\\n}",
      grid("Remuneracion", twelve("5,000.00"), "10,000.00", "70,000.00"),
      grid("Retencion 5ta", twelve("230.00"), "0.00", "2,760.00"),
      "{$c00;a=l;b=y}B002  SOTO VEGA, LUIS{b=n;\\n}",
      grid("Remuneracion", fromJune("8,000.00"), "10,053.33", "66,053.33"),
      grid("Retencion 5ta", fromJune("300.00"), "0.00", "2,100.00"),
      "{$c00;a=l;b=y}B003  VARGAS LUNA, ANA{b=n;\\n}",
      grid("Remuneracion", twelve("2,000.00"), "4,000.00", "28,000.00"),
      grid("Retencion 5ta", twelve("0.00"), "0.00", "0.00"),
      "{\\n;Line=400,15050;\\n;b=y}{$c00;a=l}TOTAL GENERAL{\\n}",
      grid("Remuneracion", months, "24,053.33", "164,053.33"),
      grid("Retencion 5ta", tax, "0.00", "4,860.00"),
      "{b=n;\\n;s=7}{$c00;a=l}s/d: mes sin planilla del trabajador{\\n}"};
  // Pensions: B001 fund 12 x 500 = 6,000.00, premium 12 x 50 = 600.00, commission
  // 12 x 60 = 720.00; B002 public system 7 x 1,040 = 7,280.00; B003 12 x 200 = 2,400.00,
  // 12 x 20 = 240.00, 12 x 30 = 360.00.
  std::vector<std::string> january10 = twelve("0.00");
  january10[0] = "10.00";
  const std::vector<std::string> pensionsB1B2 = {
      "{$c00;a=l;b=y}B001  ROJAS PAZ, ROSA   AFP HABITAT{b=n;\\n}",
      grid("Remuneracion", twelve("5,000.00"), "10,000.00", "70,000.00"),
      grid("O.N.P.", january10, "0.00", "10.00"),  // the other system's line, as it holds an amount
      grid("Aporte AFP", twelve("500.00"), "0.00", "6,000.00"),
      grid("Seguro AFP", twelve("50.00"), "0.00", "600.00"),
      grid("Comision AFP", twelve("60.00"), "0.00", "720.00"),
      "{$c00;a=l;b=y}B002  SOTO VEGA, LUIS   SISTEMA NACIONAL DE PENSIONES{b=n;\\n}",
      grid("Remuneracion", fromJune("8,000.00"), "10,053.33", "66,053.33"),
      grid("O.N.P.", fromJune("1,040.00"), "0.00", "7,280.00")};
  // EsSalud all employees: January-May 450 + 180 = 630.00, June-December 1,350.00;
  // 5 x 630 + 7 x 1,350 = 3,150 + 9,450 = 12,600.00.
  std::vector<std::string> health(5, "630.00");
  health.resize(12, "1,350.00");
  const std::string essaludTotal = grid("EsSalud", health, "0.00", "12,600.00");

  ASSERT_TRUE(PREP424(s(), 2026, false));
  EXPECT_EQ(bodyLines(rpv()), quinta);
  ASSERT_TRUE(PREP425(s(), 2026, false));
  const std::vector<std::string> pensions = bodyLines(rpv());
  ASSERT_GE(pensions.size(), pensionsB1B2.size());
  EXPECT_EQ(std::vector<std::string>(pensions.begin(), pensions.begin() + pensionsB1B2.size()), pensionsB1B2);
  ASSERT_TRUE(PREPESSALUD(s(), 2026, false));
  const std::vector<std::string> essalud = bodyLines(rpv());
  EXPECT_NE(std::find(essalud.begin(), essalud.end(), essaludTotal), essalud.end());
  EXPECT_TRUE(boxes().empty());

  // A month never calculated: named in the heading, s/d for everyone, no amount made up.
  ASSERT_EQ(std::remove((dir_.path() + "/e2010326.dbf").c_str()), 0);
  ASSERT_TRUE(PREP424(s(), 2026, false));
  std::ifstream in(rpv(), std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(all.find("Meses sin planilla calculada: MAR"), std::string::npos);
  std::vector<std::string> noMarch = twelve("5,000.00");
  noMarch[2] = "s/d";
  // 11 x 5,000 + 10,000 = 65,000.00.
  EXPECT_EQ(bodyLines(rpv())[1], grid("Remuneracion", noMarch, "10,000.00", "65,000.00"));

  // A year never calculated is refused before the report file is written.
  EXPECT_FALSE(PREP424(s(), 2025, false));
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, "No Hay Planillas Calculadas En El A\xD1O 2025");
}

TEST_F(FixedYear, CertificateTaxOnTheBandsAgainstTheWithholdings) {
  struct Case {
    const char* code;
    std::vector<std::string> expected;  // consecutive lines, from "1. RENTA BRUTA" or a later one
  } cases[] = {
      // Paid the same every month: 12 x 5,000 + 2 x 5,000 = 70,000.00; 7 x 5,500 =
      // 38,500.00; net 31,500.00; tax 27,500 x 8% = 2,200 + (31,500 - 27,500) x 14% = 560,
      // 2,760.00; withheld 12 x 230 = 2,760.00: no balance.
      {"B001",
       {"{$c00;a=l}1. RENTA BRUTA{\\n}", cert("  Remuneraciones", "60,000.00"),
        cert("  Asignacion familiar", "0.00"), cert("  Vacaciones", "0.00"), cert("  Horas extras", "0.00"),
        cert("  Gratificaciones", "10,000.00"), cert("  Bonificacion extraordinaria", "0.00"),
        cert("  Otros ingresos", "0.00"), cert("", "------------"), cert("  Total renta bruta", "70,000.00"),
        cert("2. DEDUCCION 7 UIT (7 x 5,500.00)", "-38,500.00"), cert("3. RENTA NETA", "31,500.00"),
        cert("4. IMPUESTO SEGUN ESCALA", "2,760.00"), cert("5. RETENCIONES EFECTUADAS", "-2,760.00"),
        cert("", "------------"), cert("6. SALDO", "0.00")}},
      // Hired in June: 7 x 8,000 = 56,000.00; gratifications 1,333.33 + 8,000 = 9,333.33;
      // bonus 720.00; gross 66,053.33; net 66,053.33 - 38,500 = 27,553.33; tax 2,200 +
      // (27,553.33 - 27,500) x 14% = 7.4662 -> 7.47, 2,207.47; withheld 7 x 300 = 2,100.00;
      // 107.47 still to pay.
      {"B002",
       {"{$c00;a=l}1. RENTA BRUTA{\\n}", cert("  Remuneraciones", "56,000.00"),
        cert("  Asignacion familiar", "0.00"), cert("  Vacaciones", "0.00"), cert("  Horas extras", "0.00"),
        cert("  Gratificaciones", "9,333.33"), cert("  Bonificacion extraordinaria", "720.00"),
        cert("  Otros ingresos", "0.00"), cert("", "------------"), cert("  Total renta bruta", "66,053.33"),
        cert("2. DEDUCCION 7 UIT (7 x 5,500.00)", "-38,500.00"), cert("3. RENTA NETA", "27,553.33"),
        cert("4. IMPUESTO SEGUN ESCALA", "2,207.47"), cert("5. RETENCIONES EFECTUADAS", "-2,100.00"),
        cert("", "------------"), cert("6. SALDO POR REGULARIZAR", "107.47")}},
      // From here on the lines from the first that differs. March's two rows both count:
      // 12 x 5,000 + 2 x 5,000 = 70,000.00, tax 2,760.00 as B001's; withheld 11 x 300 +
      // 180 + 120 = 3,600.00: 840.00 back to the worker.
      {"B004",
       {cert("  Total renta bruta", "70,000.00"), cert("2. DEDUCCION 7 UIT (7 x 5,500.00)", "-38,500.00"),
        cert("3. RENTA NETA", "31,500.00"), cert("4. IMPUESTO SEGUN ESCALA", "2,760.00"),
        cert("5. RETENCIONES EFECTUADAS", "-3,600.00"), cert("", "------------"),
        cert("6. SALDO A FAVOR DEL TRABAJADOR", "840.00")}},
      // October-December from the results (3 x 6,000 = 18,000.00), January-September from
      // the registers: 9 x 6,000 = 54,000.00; 72,000.00 in all, net 33,500.00; tax 2,200 +
      // (33,500 - 27,500) x 14% = 840, 3,040.00; withheld 9 x 200 + 3 x 400 = 3,000.00.
      {"B005",
       {cert("  Remuneraciones segun registro anual", "54,000.00"), cert("", "------------"),
        cert("  Total renta bruta", "72,000.00"), cert("2. DEDUCCION 7 UIT (7 x 5,500.00)", "-38,500.00"),
        cert("3. RENTA NETA", "33,500.00"), cert("4. IMPUESTO SEGUN ESCALA", "3,040.00"),
        cert("5. RETENCIONES EFECTUADAS", "-3,000.00"), cert("", "------------"),
        cert("6. SALDO POR REGULARIZAR", "40.00"), "{\\n}",
        "{$c00;a=l}Meses segun registro anual de haberes y retenciones:{\\n}",
        "{$c00;a=l}ENE, FEB, MAR, ABR, MAY, JUN, JUL, AGO, SET{\\n}"}},
      // July to September are in neither: the year is incomplete and no balance is
      // settled. 3 x 4,000 + 6 x 4,000 = 36,000.00, below the deduction; withheld 9 x 100.
      {"B006",
       {cert("  Remuneraciones segun registro anual", "24,000.00"), cert("", "------------"),
        cert("  Total renta bruta", "36,000.00"), cert("2. DEDUCCION 7 UIT (7 x 5,500.00)", "-38,500.00"),
        cert("3. RENTA NETA", "0.00"), cert("4. IMPUESTO SEGUN ESCALA", "0.00"),
        cert("5. RETENCIONES EFECTUADAS", "-900.00"), cert("", "------------"),
        "{$c00;a=l}6. SALDO: NO SE DETERMINA, A\xD1O INCOMPLETO{\\n}", "{\\n}",
        "{$c00;a=l}A\xD1O INCOMPLETO, meses sin planilla ni registro anual:{\\n}",
        "{$c00;a=l}JUL, AGO, SET{\\n}"}},
  };
  addLaterStaff();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_TRUE(PREP419(s(), 2026, c.code, false));
    const std::vector<std::string> body = bodyLines(rpv());
    auto from = std::find(body.begin(), body.end(), c.expected.front());
    ASSERT_NE(from, body.end());
    ASSERT_GE(body.end() - from, static_cast<long>(c.expected.size()));
    EXPECT_EQ(std::vector<std::string>(from, from + c.expected.size()), c.expected);
  }
  EXPECT_TRUE(boxes().empty());
  // The summary counts both March rows of B004 and marks the registers' months.
  ASSERT_TRUE(PREP424(s(), 2026, false));
  const std::vector<std::string> summary = bodyLines(rpv());
  std::vector<std::string> earned(9, "*6,000.00"), withheld(9, "*200.00"), earnedB6(6, "*4,000.00");
  earned.resize(12, "6,000.00");
  withheld.resize(12, "400.00");
  earnedB6.resize(9, "s/d");
  earnedB6.resize(12, "4,000.00");
  const std::vector<std::string> blocks[] = {
      {"{$c00;a=l;b=y}B004  LEON RIOS, PEDRO{b=n;\\n}", grid("Remuneracion", twelve("5,000.00"), "10,000.00", "70,000.00"),
       grid("Retencion 5ta", twelve("300.00"), "0.00", "3,600.00")},
      {"{$c00;a=l;b=y}B005  PAZ SOTO, ELSA{b=n;\\n}", grid("Remuneracion", earned, "", "72,000.00"),
       grid("Retencion 5ta", withheld, "", "3,000.00")},
      {"{$c00;a=l;b=y}B006  RUIZ VERA, LUIS{b=n;\\n}", grid("Remuneracion", earnedB6, "", "36,000.00")},
      {"{$c00;a=l}*: mes sin planilla en el sistema, importe del registro anual{\\n}"}};
  for (const auto& b : blocks)
    EXPECT_NE(std::search(summary.begin(), summary.end(), b.begin(), b.end()), summary.end()) << b.front();
  ASSERT_TRUE(PREP419(s(), 2026, "B002", false));
  // B002's months before June are named; a code without results is refused.
  const std::vector<std::string> last = bodyLines(rpv());
  const auto named = std::find(last.begin(), last.end(), "{$c00;a=l}Meses sin planilla del trabajador:{\\n}");
  ASSERT_NE(named, last.end());
  ASSERT_NE(named + 1, last.end());
  EXPECT_EQ(named[1], "{$c00;a=l}ENE, FEB, MAR, ABR, MAY{\\n}");
  EXPECT_FALSE(PREP419(s(), 2026, "Z999", false));
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, "Trabajador Z999 Sin Planilla En El A\xD1O 2026");
}

TEST_F(FixedYear, PensionStatementVoucherAndFundLiquidation) {
  auto row = [](const std::string& label, const std::vector<std::string>& v) {
    std::string l = label;
    l.resize(12, ' ');
    for (const std::string& x : v) l += right(x, 13);
    return "{$c00;a=l}" + l + "{\\n}";
  };
  auto contains = [](const std::vector<std::string>& body, const std::vector<std::string>& lines) {
    for (const std::string& l : lines)
      if (std::find(body.begin(), body.end(), l) == body.end()) return ::testing::AssertionFailure() << l;
    return ::testing::AssertionSuccess();
  };
  // B002, public system: 13% of 8,000 = 1,040.00 a month from June; gratifications
  // 1,333.33 + 8,720 = 10,053.33 without contribution; 7 x 1,040 = 7,280.00.
  ASSERT_TRUE(PREP414(s(), 2026, "B002", false));
  EXPECT_TRUE(contains(bodyLines(rpv()),
                       {"{$c00;a=l}ENERO" + std::string(7 + 10, ' ') + "s/d{\\n}",
                        row("JUNIO", {"8,000.00", "1,040.00", "1,040.00"}),
                        row("GRATIFIC.", {"10,053.33", "0.00", "0.00"}),
                        "{b=y}" + row("TOTAL", {"66,053.33", "7,280.00", "7,280.00"}) + "{b=n;s=10}"}));
  // B001, fund: 12 x 500 = 6,000.00, 12 x 50 = 600.00, 12 x 60 = 720.00; 7,320.00 in all.
  auto voucher = [](const std::string& label, const std::string& v) {
    std::string l = "  " + label;
    l.resize(40, ' ');
    return "{$c00;a=l}" + l + right(v, 12) + "{\\n}";
  };
  ASSERT_TRUE(PREP420(s(), 2026, "B001", false));
  EXPECT_TRUE(contains(bodyLines(rpv()),
                       {voucher("APORTE OBLIGATORIO", "6,000.00"), voucher("SEGURO", "600.00"),
                        voucher("COMISION", "720.00"), voucher("TOTAL", "7,320.00"),
                        "{$c00;a=l}la suma de S/ 7,320.00 por aportes al sistema de pensiones{\\n}"}));
  // Funds in order HABITA, PRIMA; B002 (public system) is not listed. B003: 12 x 2,000 +
  // 4,000 = 28,000.00; 2,400.00 + 240.00 + 360.00 = 3,000.00. All: 98,000.00, 8,400.00,
  // 840.00, 1,080.00, 10,320.00.
  auto fundLine = [](const std::string& label, const std::vector<std::string>& v) {
    std::string l = label;
    l.resize(50, ' ');
    for (const std::string& x : v) l += right(x, 14);
    return "{$c00;a=l}" + l + "{\\n}";
  };
  ASSERT_TRUE(PREP428(s(), 2026, false));
  const std::vector<std::string> afp = bodyLines(rpv());
  const std::vector<std::string> expected = {
      "{b=y}{$c00;a=l}AFP HABITAT{\\n}{b=n}",
      fundLine("B001      ROJAS PAZ, ROSA", {"70,000.00", "6,000.00", "600.00", "720.00", "7,320.00"}),
      "{b=y}" + fundLine("  Total AFP HABITAT", {"70,000.00", "6,000.00", "600.00", "720.00", "7,320.00"}) +
          "{b=n;\\n}",
      "{b=y}{$c00;a=l}AFP PRIMA{\\n}{b=n}",
      fundLine("B003      VARGAS LUNA, ANA", {"28,000.00", "2,400.00", "240.00", "360.00", "3,000.00"}),
      "{b=y}" + fundLine("  Total AFP PRIMA", {"28,000.00", "2,400.00", "240.00", "360.00", "3,000.00"}) +
          "{b=n;\\n}",
      "{Line=400,11950;\\n;b=y}" +
          fundLine("TOTAL GENERAL", {"98,000.00", "8,400.00", "840.00", "1,080.00", "10,320.00"}) + "{b=n}"};
  EXPECT_EQ(afp, expected);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(FixedYear, MonthCostByCostCentreIncludesTheGratification) {
  // December: gross 5,000 + 5,000 (B001) + 8,000 + 8,720 (B002) + 2,000 + 2,000 (B003) =
  // 30,720.00; EsSalud 450 + 720 + 180 = 1,350.00; cost 32,070.00.
  ASSERT_TRUE(REPCOSTOCC(s(), false));
  std::string total;
  for (const std::string& l : bodyLines(rpv()))
    if (l.find("COSTO TOTAL DEL MES") != std::string::npos) total = l;
  size_t at = 0;
  for (const char* v : {" 30,720.00", "  1,350.00", "      0.00", " 32,070.00"}) {
    at = total.find(v, at);
    ASSERT_NE(at, std::string::npos) << v << " in " << total;
  }
}

// The demo company in December 2024: its registers hold January to November for the
// employees of the fifth category, the system calculates December.
class DemoDecember : public planilla::testing::DemoFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    ASSERT_TRUE(installDemo(platformFileSystem(), dir.path(), Date(2024, 12, 31)).isOk());
    ::setenv(kViewerEnv, "true", 1);
    tk.setDataDir(dir.path());
    session = std::make_unique<Session>(platformFileSystem(), tk, dir.path());
    session->setRed(false);
    chooseDemoDate(Date(2024, 12, 31));
  }
};

TEST_F(DemoDecember, CertificateCountsTheRegistersOfTheMonthsBeforeTheSystem) {
  ASSERT_TRUE(calc::PROCE05(s(), "12 31 "));
  ASSERT_TRUE(calc::PROCE01(s(), "12 31 "));
  ASSERT_TRUE(PREP419(s(), 2024, "E0001", false));
  // E0001: 15,000 a month and 113.00 of family allowance, the monthly share of the
  // gratification 2,500.00. December's payroll: 15,000.00, 113.00, 2,500.00; December's
  // gratification: (15,000 + 113) / 6 x 6 = 15,113.00 with 9% bonus 1,360.17.
  // Registers January-November: 11 x 15,113.00 = 166,243.00 earned and 11 x 2,039.50 =
  // 22,434.50 withheld. December withholds on the rates record's UIT 5,500, the bonus
  // projected (the demo's setting): 15,113 + July (not calculated) 15,113 and its bonus
  // 1,360.17 + December's gross 16,473.17 + 166,243 - 38,500 = 175,802.34; tax 2,200 +
  // 11,550 + 65,802.34 x 17% = 11,186.40 -> 24,936.40, less 22,434.50: 2,501.90.
  // Gross 15,000 + 113 + 2,500 + 15,113 + 1,360.17 + 166,243 = 200,329.17. The
  // certificate settles 2024 on 2024's UIT, 5,150: net 200,329.17 - 36,050 = 164,279.17;
  // tax 25,750 x 8% = 2,060 + 77,250 x 14% = 10,815 + 61,279.17 x 17% = 10,417.46 ->
  // 23,292.46; withheld 24,936.40: 1,643.94 back to the worker.
  const std::vector<std::string> expected = {
      cert("  Gratificaciones", "17,613.00"), cert("  Bonificacion extraordinaria", "1,360.17"),
      cert("  Otros ingresos", "0.00"), cert("  Remuneraciones segun registro anual", "166,243.00"),
      cert("", "------------"), cert("  Total renta bruta", "200,329.17"),
      cert("2. DEDUCCION 7 UIT (7 x 5,150.00)", "-36,050.00"), cert("3. RENTA NETA", "164,279.17"),
      cert("4. IMPUESTO SEGUN ESCALA", "23,292.46"), cert("5. RETENCIONES EFECTUADAS", "-24,936.40"),
      cert("", "------------"), cert("6. SALDO A FAVOR DEL TRABAJADOR", "1,643.94"), "{\\n}",
      "{$c00;a=l}Meses segun registro anual de haberes y retenciones:{\\n}",
      "{$c00;a=l}ENE, FEB, MAR, ABR, MAY, JUN, JUL, AGO, SET, OCT, NOV{\\n}", "{\\n;\\n}"};
  const std::vector<std::string> body = bodyLines(dir.file("Test.rpv"));
  auto from = std::find(body.begin(), body.end(), expected.front());
  ASSERT_GE(body.end() - from, static_cast<long>(expected.size()));
  EXPECT_EQ(std::vector<std::string>(from, from + expected.size()), expected);
}

// The month's pension summary carries the fund contributions the gratification run
// charged on its advance with the payroll's. E0014 (AFP INTEGRA: 10%, premium 1.37%,
// commission 1.55%): the payroll charged 276.67 / 33.79 / 42.88 on 2,766.67; the
// gratification's advance of 300.00 was charged 30.00 / 4.11 / 4.65. The month:
// insurable 3,066.67, fund 306.67, premium 37.90, commission 47.53, retentions 85.43,
// 392.10 in all.
TEST_F(DemoDecember, PensionSummaryCarriesTheGratificationsCharges) {
  ASSERT_TRUE(calc::PROCE05(s(), "12 31 "));
  ASSERT_TRUE(calc::PROCE01(s(), "12 31 "));
  ASSERT_TRUE(checkPensionSummary(s()) && REPXXP405(s(), false));
  std::istringstream report(read("Test.rpv"));
  std::string line;
  while (std::getline(report, line) && line.find("E0014") == std::string::npos) {
  }
  for (const char* amount : {"3,066.67", "306.67", "37.90", "47.53", "85.43", "392.10"})
    EXPECT_NE(line.find(std::string(" ") + amount + "{"), std::string::npos) << amount << " en: " << line;
}

}  // namespace
