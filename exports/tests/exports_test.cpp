// The statutory files of a fixed month (March 2016, company 01) built from hand-made
// payroll results, compared line by line with figures worked out here.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "calc/tests/calc_fixture.h"
#include "exports/afp_year.h"
#include "exports/afpnet.h"
#include "exports/concepts.h"
#include "exports/month.h"
#include "exports/plame.h"
#include "exports/screens.h"
#include "exports/xlsx.h"

namespace planilla::exports {
namespace {

using catalog::TableId;
using calc::testing::CalcFixture;
using calc::testing::Fields;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Names in `dir` holding `part` (".tmp-": temporary files left behind).
std::vector<std::string> namesWith(const std::string& dir, const std::string& part) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string().find(part) != std::string::npos) out.push_back(e.path().filename().string());
  return out;
}

std::vector<std::string> filesIn(const std::string& dir, const std::string& ext) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string n = e.path().filename().string();
    if (n.size() >= ext.size() && n.compare(n.size() - ext.size(), ext.size(), ext) == 0) out.push_back(n);
  }
  return out;
}

class ExportsTest : public CalcFixture {
 protected:
  void SetUp() override {
    CalcFixture::SetUp();
    s().YRUC = "20100000001";
    s().YNOMBRE1 = "EMPRESA PRUEBA SAC";
    makeFunds(10, 1.37, 1.47, 9000);
    // E0001: fund member (INTEG), DNI, basic 1500.00 + family 75.00 + 2 overtime hours
    // paid 16.40, meal 100.00. The base the fund was charged on is the gross plus the
    // meal: 1591.40 + 100.00 = 1691.40; 10% = 169.14; premium 1.37% = 23.17218 ->
    // 23.17; commission 1.47% = 24.86358 -> 24.86. Advance 200.00, +Vida 5.00.
    // Net 1591.40 - (169.14 + 23.17 + 24.86 + 200.00 + 5.00) = 1169.23.
    person("E0001", "1", "40123456", "PEREZ", "LOPEZ", "ANA", "MARIA", Date(2015, 5, 10), Date(), "1");
    result("E0001", {{"CODAFP", std::string("INTEG")}, {"NROAFP", std::string("123456ABCDE1")},
                     {"HORASTRA", 240.0}, {"BAS_QUI", 1500.0}, {"ASIGNA", 75.0}, {"HSIMPLE", 2.0},
                     {"HSIMPLE_P", 16.40}, {"REFRIG", 100.0}, {"TBRUTO", 1591.40}, {"AAPOR1", 169.14},
                     {"AAPOR2", 23.17}, {"AAPOR3", 24.86}, {"AFPDSC", 217.17}, {"ADELANTO", 200.0},
                     {"ESVIDA", 5.0}, {"IPSSE", 152.23}, {"TPAGAR", 1169.23}, {"FECHASITUA", Date(2016, 3, 1)}});
    // E0002: public system, carne de extranjeria with leading zeros, hired on 16 March,
    // 120 hours and 1.25 overtime hours (1 h 15 min) paid 20.00; 10
    // subsidised days, 2 days neither worked nor subsidised. ONP 13% of 1270.00 =
    // 165.10 (computed by the declaration: never in the file). Net 1270.00 - 165.10.
    person("E0002", "4", "00123456", "SMITH", "JONES", "JOHN", "", Date(2016, 3, 16), Date(), "1");
    result("E0002", {{"HORASTRA", 120.0}, {"BAS_QUI", 1250.0}, {"HDOBLE", 1.25}, {"HDOBLE_P", 20.0},
                     {"SUBSI", 10.0}, {"NOSUBS", 2.0}, {"TBRUTO", 1270.0}, {"SNPT", 165.10},
                     {"TPAGAR", 1104.90}});
    // E0003: paid as a plain fee: outside the declaration and the funds.
    person("E0003", "1", "40999888", "ROJAS", "DIAZ", "LUIS", "", Date(2014, 1, 2), Date(), "2");
    result("E0003", {{"BAS_QUI", 2500.0}, {"TBRUTO", 2500.0}, {"TPAGAR", 2500.0}});
    // E0004: fund member (INTEG), carne, the whole month subsidised with no pay from the
    // employer, left on 20 March.
    person("E0004", "4", "00765432", "QUISPE", "MAMANI", "ROSA", "", Date(2010, 2, 1), Date(2016, 3, 20), "1");
    result("E0004", {{"CODAFP", std::string("INTEG")}, {"NROAFP", std::string("654321XYZW12")}, {"SUBSI", 31.0}});
  }

  void person(const std::string& code, const std::string& doc, const std::string& number, const std::string& ap1,
              const std::string& ap2, const std::string& n1, const std::string& n2, Date hired, Date ceased,
              const std::string& retri) {
    Fields f = {{"CODIGO", code}, {"NOMBRE", ap1 + " " + ap2 + ", " + n1}, {"DOCIDEN", doc},
                {"ELECTORAL", number}, {"APELLI1", ap1}, {"APELLI2", ap2}, {"NOMBRE1", n1}, {"NOMBRE2", n2},
                {"FECH_ING", hired}, {"RETRI", retri}};
    if (ceased.valid()) f.push_back({"FCESE", ceased});
    add(TableId::ActiveEmployees, f);
  }

  void result(const std::string& code, Fields f) {
    f.insert(f.begin(), {{"CODIGO", code}, {"NOMBRE", "EMPLEADO " + code}});
    add(TableId::PayrollSoles, f);
  }

  std::vector<std::string> run(Export which) {
    std::vector<std::string> written;
    EXPECT_TRUE(runExport(s(), which, "", written)) << msgs.all();
    return written;
  }

  // An export that must stop: the message it showed.
  std::string refused(Export which) {
    msgs.shown.clear();
    std::vector<std::string> written;
    EXPECT_FALSE(runExport(s(), which, "", written));
    EXPECT_TRUE(written.empty());
    return msgs.shown.empty() ? std::string() : msgs.shown.back().text;
  }
};

TEST_F(ExportsTest, PlameFilesHoldTheHandWorkedLines) {
  const std::vector<std::string> written = run(Export::Plame);
  const std::string base = dir() + "/0601201603" + "20100000001";
  ASSERT_EQ(written, (std::vector<std::string>{base + ".rem", base + ".jor", base + ".snl", base + ".toc"}));
  // Concepts in code order, accrued = paid; E0004 has no amount; E0003 is fee-paid.
  EXPECT_EQ(slurp(base + ".rem"),
            "01|40123456|0105|16.40|16.40|\r\n"
            "01|40123456|0121|1500.00|1500.00|\r\n"
            "01|40123456|0201|75.00|75.00|\r\n"
            "01|40123456|0601|24.86|24.86|\r\n"
            "01|40123456|0606|23.17|23.17|\r\n"
            "01|40123456|0608|169.14|169.14|\r\n"
            "01|40123456|0701|200.00|200.00|\r\n"
            "01|40123456|0914|100.00|100.00|\r\n"
            "04|00123456|0106|20.00|20.00|\r\n"
            "04|00123456|0121|1250.00|1250.00|\r\n");
  EXPECT_EQ(slurp(base + ".jor"),
            "01|40123456|240|0|2|0|\r\n"
            "04|00123456|120|0|1|15|\r\n");
  EXPECT_EQ(slurp(base + ".snl"),
            "04|00123456|21|10|\r\n"
            "04|00123456|05|2|\r\n"
            "04|00765432|21|31|\r\n");
  EXPECT_EQ(slurp(base + ".toc"), "01|40123456|0|1||1|\r\n");
  // The totals the declaration computes (ONP 0607, EsSalud 0804 ...) never appear.
  const std::string rem = slurp(base + ".rem");
  for (const char* code : {"0607", "0804", "0604"}) EXPECT_EQ(rem.find(std::string("|") + code + "|"), std::string::npos);
  // The equivalences were created with their defaults on first use.
  EXPECT_TRUE(std::filesystem::exists(dir() + "/" + kConceptsFile));
  EXPECT_TRUE(filesIn(dir(), ".tmp").empty());
}

// E0004 left on 20 March: the settlement is declared with March's payroll, by the
// default LIQ lines; E0001's settlement of February is not this month's.
TEST_F(ExportsTest, PlameCarriesTheSettlementOfTheTerminationMonth) {
  add(TableId::Settlements, {{"CODIGO", std::string("E0004")}, {"FCESE", Date(2016, 3, 20)}, {"CTS", 500.0},
                             {"VAC_TRUNC", 300.0}, {"GRAT", 250.0}, {"BONIF", 22.5}, {"RENTA5", 10.0}});
  add(TableId::Settlements, {{"CODIGO", std::string("E0001")}, {"FCESE", Date(2016, 2, 29)}, {"CTS", 999.0}});
  run(Export::Plame);
  const std::string rem = slurp(dir() + "/0601201603" + "20100000001.rem");
  EXPECT_NE(rem.find("04|00765432|0114|300.00|300.00|\r\n"
                     "04|00765432|0313|22.50|22.50|\r\n"
                     "04|00765432|0407|250.00|250.00|\r\n"
                     "04|00765432|0605|10.00|10.00|\r\n"
                     "04|00765432|0904|500.00|500.00|\r\n"),
            std::string::npos)
      << rem;
  EXPECT_EQ(rem.find("999.00"), std::string::npos);
  EXPECT_FALSE(parseConcepts("REM LIQ NOMBRE 0904\n").isOk());  // not an amount of the settlement
}

TEST_F(ExportsTest, AmountsAndEquivalences) {
  std::string a;
  struct Case {
    double v;
    bool fits;
    const char* text;
  } cases[] = {{9999999.99, true, "9999999.99"}, {10000000.0, false, ""}, {1.005, true, "1.01"},
               {0, true, "0.00"}, {-0.01, false, ""}};
  for (const Case& c : cases) {
    a.clear();
    EXPECT_EQ(plameAmount(c.v, a), c.fits) << c.v;
    EXPECT_EQ(a, c.text) << c.v;
  }
  // The defaults parse; an excluded code, an unknown field or a bad code is refused
  // naming its line.
  ASSERT_TRUE(parseConcepts(defaultConceptsText()));
  for (const char* bad : {"REM MES SNPT 0607", "REM MES NOEXISTE 0121", "REM MES BAS_QUI 121", "XYZ 1 2 3"}) {
    Result<Concepts> r = parseConcepts(std::string("# comentario\n") + bad + "\n");
    ASSERT_FALSE(r) << bad;
    EXPECT_NE(r.status().message().find("linea 2"), std::string::npos) << r.status().message();
  }
  // An accountant's change takes effect without a new build.
  std::ofstream(dir() + "/" + kConceptsFile) << "REM MES BAS_QUI 0122\nDOC 1 01 0\nDOC 4 04 1\n";
  run(Export::Plame);
  EXPECT_EQ(slurp(dir() + "/0601201603" + "20100000001.rem"),
            "01|40123456|0122|1500.00|1500.00|\r\n04|00123456|0122|1250.00|1250.00|\r\n");
}

TEST_F(ExportsTest, GapsStopTheExportAndListEveryOne) {
  s().YRUC = "";
  change(TableId::ActiveEmployees, "E0002", {{"ELECTORAL", std::string("")}});
  change(TableId::PayrollSoles, "E0001", {{"BAS_QUI", 12345678.90}, {"NROAFP", std::string("")}});
  std::vector<std::string> written;
  EXPECT_FALSE(runExport(s(), Export::Plame, "", written));
  ASSERT_EQ(msgs.shown.size(), 1u);
  EXPECT_EQ(msgs.shown[0].text,
            "No Se Generaron Los Archivos, Faltan Datos:\r\n"
            "Empresa 01: falta el RUC (11 digitos) en el maestro de instituciones\r\n"
            "E0001 EMPLEADO E0001: el importe 12345678.90 del concepto 0121 no cabe en 7 enteros y 2 decimales o es "
            "negativo\r\n"
            "E0002 EMPLEADO E0002: falta el numero de documento (L.Electoral)");
  s().YRUC = "20100000001";
  msgs.shown.clear();
  EXPECT_FALSE(runExport(s(), Export::Afpnet, "", written));
  ASSERT_EQ(msgs.shown.size(), 1u);
  EXPECT_EQ(msgs.shown[0].text,
            "No Se Generaron Los Archivos, Faltan Datos:\r\nE0001 EMPLEADO E0001: falta el CUSPP (numero de AFP)");
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(filesIn(dir(), ".rem").empty());
  EXPECT_TRUE(filesIn(dir(), ".xlsx").empty());
}

// Asterisks another program left in an amount are no amount of 0: every export
// refuses with the table, the record and the field, and writes nothing. E0001 is the
// first row of e2010316.dbf (the payroll in soles of company 01, March 2016).
TEST_F(ExportsTest, AnUnreadableAmountStopsEveryExport) {
  poke(TableId::PayrollSoles, "E0001", "BAS_QUI", "****");
  for (Export which : {Export::Plame, Export::Afpnet, Export::Payroll}) {
    msgs.shown.clear();
    std::vector<std::string> written;
    EXPECT_FALSE(runExport(s(), which, "", written));
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text, "Dato No Numerico En e2010316.dbf, Registro 1, Campo BAS_QUI (****)");
    EXPECT_TRUE(written.empty());
  }
  EXPECT_TRUE(filesIn(dir(), ".rem").empty());
  EXPECT_TRUE(filesIn(dir(), ".xlsx").empty());
}

TEST_F(ExportsTest, AfpnetReportsTotalPerFundAndListOthers) {
  ASSERT_TRUE(runAfpnetSummary(s(), false)) << msgs.all();
  const std::string sum = slurp(dir() + "/Test.rpv");
  // Fund INTEG: E0001 1691.40 | 169.14 | 23.17 | 24.86 | 217.17; E0004 all zero.
  EXPECT_NE(sum.find("10.00%  Seguro 1.37% (tope 9000.00)  Comision 1.47%"), std::string::npos) << sum;
  EXPECT_NE(sum.find("2 afiliado(s)"), std::string::npos);
  const size_t total = sum.find("TOTAL AFPNET (2 afiliados)");
  ASSERT_NE(total, std::string::npos);
  for (const char* v : {"  1,691.40", "    169.14", "     23.17", "     24.86", "    217.17"})
    EXPECT_NE(sum.find(v, total), std::string::npos) << v;

  ASSERT_TRUE(runNonAffiliated(s(), false)) << msgs.all();
  const std::string non = slurp(dir() + "/Test.rpv");
  // ONP first (E0002: 1270.00, 165.10), then the fee-paid E0003 with no base.
  const size_t onp = non.find("SISTEMA NACIONAL DE PENSIONES"), none = non.find("SIN REGIMEN PENSIONARIO");
  ASSERT_NE(onp, std::string::npos);
  ASSERT_NE(none, std::string::npos);
  EXPECT_LT(onp, non.find("E0002"));
  EXPECT_LT(non.find("E0002"), none);
  EXPECT_LT(none, non.find("E0003"));
  EXPECT_EQ(non.find("E0001"), std::string::npos);
  EXPECT_NE(non.find("  1,270.00"), std::string::npos);
  EXPECT_NE(non.find("    165.10"), std::string::npos);
}

// The spreadsheets read back with an independent reader: each cell as type:value.
// A python3 that has openpyxl: the one on PATH, else the system's (a PATH may lead to a
// private interpreter without the system's packages). Empty when there is none.
std::string pythonWithOpenpyxl() {
  for (const char* py : {"python3", "/usr/bin/python3"})
    if (std::system((std::string(py) + " -c 'import openpyxl' >/dev/null 2>&1").c_str()) == 0) return py;
  return "";
}

std::string readBack(const std::string& xlsx, const std::string& dir) {
  const std::string script = dir + "/dump.py";
  std::ofstream(script) << "import sys, openpyxl, datetime\n"
                           "ws = openpyxl.load_workbook(sys.argv[1], data_only=True).active\n"
                           "for row in ws.iter_rows(max_col=max(ws.max_column, 17)):\n"
                           "  out = []\n"
                           "  for c in row:\n"
                           "    v = c.value\n"
                           "    if v is None: out.append('-')\n"
                           "    elif isinstance(v, datetime.datetime): out.append('d:' + v.strftime('%d/%m/%Y'))\n"
                           "    elif isinstance(v, (int, float)): out.append('n:%.2f[%s]' % (v, c.number_format))\n"
                           "    else: out.append('s:' + v)\n"
                           "  print('|'.join(out))\n";
  std::string out;
  if (FILE* p = ::popen((pythonWithOpenpyxl() + " " + script + " " + xlsx + " 2>&1").c_str(), "r")) {
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

TEST_F(ExportsTest, SpreadsheetsReadBackWithOpenpyxl) {
  if (pythonWithOpenpyxl().empty()) GTEST_SKIP() << "python3 con openpyxl no disponible (apt-get install python3-openpyxl)";
  const std::vector<std::string> afp = run(Export::Afpnet);
  ASSERT_EQ(afp, (std::vector<std::string>{dir() + "/AFPNET_20100000001_201603.xlsx"}));
  // No header row; E0004 has no pay and is subsidised (U) and left in the month.
  EXPECT_EQ(readBack(afp[0], dir()),
            "n:1.00[0]|s:123456ABCDE1|s:0|s:40123456|s:PEREZ|s:LOPEZ|s:ANA MARIA|s:S|s:N|s:N|-|n:1691.40[0.00]|"
            "n:0.00[0.00]|n:0.00[0.00]|n:0.00[0.00]|s:N|-\n"
            "n:2.00[0]|s:654321XYZW12|s:1|s:00765432|s:QUISPE|s:MAMANI|s:ROSA|s:S|s:N|s:S|s:U|n:0.00[0.00]|"
            "n:0.00[0.00]|n:0.00[0.00]|n:0.00[0.00]|s:N|-\n");

  const std::vector<std::string> book = run(Export::Payroll);
  ASSERT_EQ(book, (std::vector<std::string>{dir() + "/PLANILLA_01_201603.xlsx"}));
  std::istringstream lines(readBack(book[0], dir()));
  std::vector<std::vector<std::string>> rows;
  for (std::string l; std::getline(lines, l);) {
    rows.emplace_back();
    std::istringstream cells(l);
    for (std::string c; std::getline(cells, c, '|');) rows.back().push_back(c);
  }
  ASSERT_EQ(rows.size(), 7u);  // title, captions, four employees, totals
  EXPECT_EQ(rows[0][0], "s:PLANILLA MENSUAL MARZO 2016 - EMPRESA PRUEBA SAC");
  auto col = [&](const std::string& caption) {
    for (size_t i = 0; i < rows[1].size(); ++i)
      if (rows[1][i] == "s:" + caption) return i;
    ADD_FAILURE() << caption;
    return size_t{0};
  };
  EXPECT_EQ(rows[1].size(), catalog::calcTemplateFields().size());
  EXPECT_EQ(rows[2][col("CODIGO")], "s:E0001");
  EXPECT_EQ(rows[2][col("FECHASITUA")], "d:01/03/2016");
  EXPECT_EQ(rows[3][col("HORASTRA")], "n:120.00[0]");
  // Sueldo 1500.00 + 1250.00 + 2500.00 + 0 = 5250.00; net 1169.23 + 1104.90 + 2500.00
  // = 4774.13.
  EXPECT_EQ(rows[2][col("SUELDO")], "n:1500.00[#,##0.00]");
  EXPECT_EQ(rows[6][0], "s:TOTALES");
  EXPECT_EQ(rows[6][col("SUELDO")], "n:5250.00[#,##0.00]");
  EXPECT_EQ(rows[6][col("NETO PAGAR")], "n:4774.13[#,##0.00]");
  EXPECT_EQ(rows[6][col("HORASTRA")], "-");
}

TEST(AfpYearSheet, RowsPerFundWithFundAndGrandTotals) {
  // Two employees in HABITA, one in PRIMA. HABITA: 70,000 + 30,000 = 100,000.00 insurable,
  // 6,000 + 2,500 = 8,500.00 contributions; PRIMA 28,000.00 and 2,400.00. All: 128,000.00
  // and 10,900.00. Totals of the withholdings: 6,000 + 600 + 720 = 7,320.00 for B001.
  const std::vector<reports::FundYearRow> rows = {
      {"HABITA", "AFP HABITAT", "B001", "ROJAS PAZ, ROSA", 70000, 6000, 600, 720},
      {"HABITA", "AFP HABITAT", "B004", "LEON RUIZ, EVA", 30000, 2500, 250, 300},
      {"PRIMA", "PRIMA AFP", "B003", "VARGAS LUNA, ANA", 28000, 2400, 240, 360}};
  const Sheet sh = afpYearSheet("EMPRESA DE PRUEBA S.A.", 2026, rows);
  // Title, captions, two rows and HABITA's total (rows 3-5), one row and PRIMA's total
  // (rows 6-7), the grand total (row 8).
  ASSERT_EQ(sh.rows.size(), 8u);
  EXPECT_EQ(sh.rows[2][7].number, 7320.0);
  struct Expect {
    size_t row;
    std::string label, formula;
    double value;
  } cases[] = {{4, "TOTAL HABITA", "=SUM(D3:D4)", 100000}, {6, "TOTAL PRIMA", "=SUM(D6:D6)", 28000},
               {7, "TOTAL GENERAL", "=D5+D7", 128000}};
  for (const Expect& e : cases) {
    SCOPED_TRACE(e.label);
    EXPECT_EQ(sh.rows[e.row][0].text, e.label);
    EXPECT_EQ(sh.rows[e.row][3].text, e.formula);
    EXPECT_DOUBLE_EQ(sh.rows[e.row][3].number, e.value);
  }
  EXPECT_DOUBLE_EQ(sh.rows[7][4].number, 10900.0);
  EXPECT_EQ(afpYearFileName("01", 2026), "AFPANUAL_01_2026.xlsx");
}

// The four PLAME files are one set: a name that cannot be written stops the export
// before anything is replaced, a month without +Vida takes the earlier .toc away, and
// a change a killed run had decided (its journal complete) is finished by the next run.
TEST_F(ExportsTest, PlameSetIsReplacedWhole) {
  const std::string base = dir() + "/0601201603" + "20100000001";
  run(Export::Plame);
  const std::string rem = slurp(base + ".rem"), toc = slurp(base + ".toc");
  change(TableId::PayrollSoles, "E0001", {{"BAS_QUI", 1600.0}, {"ESVIDA", 0.0}});
  for (const char* ext : {".jor", ".toc"}) {  // the second file, and the last
    SCOPED_TRACE(ext);
    const std::string kept = slurp(base + ext);
    std::filesystem::remove(base + ext);
    std::filesystem::create_directory(base + ext);
    EXPECT_NE(refused(Export::Plame).find("No Es Un Archivo Comun"), std::string::npos) << msgs.all();
    EXPECT_EQ(slurp(base + ".rem"), rem);
    EXPECT_TRUE(namesWith(dir(), ".tmp-").empty());
    std::filesystem::remove(base + ext);
    std::ofstream(base + ext, std::ios::binary) << kept;
  }
  EXPECT_EQ(slurp(base + ".toc"), toc);
  // No +Vida this time: the new set has no .toc and the old one goes.
  ASSERT_EQ(run(Export::Plame).size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(base + ".toc"));
  EXPECT_NE(slurp(base + ".rem").find("01|40123456|0121|1600.00|1600.00|"), std::string::npos);

  // A run killed after its journal: the new .rem waits under its temporary name and
  // .snl was to go; another killed run left a temporary .jor. The next run finishes
  // the change (even one that then stops for a gap) and clears the leftovers.
  const std::string name = "0601201603" "20100000001";
  std::ofstream(base + ".rem.tmp-AAAAAAAAAAAA", std::ios::binary) << "NUEVO\r\n";
  std::ofstream(base + ".jor.tmp-BBBBBBBBBBBB", std::ios::binary) << "a medias";
  std::ofstream(base + ".cambio", std::ios::binary) << "planilla conjunto de archivos 1\nR " << name
                                                    << ".rem.tmp-AAAAAAAAAAAA " << name << ".rem\nD " << name
                                                    << ".snl\nFIN\n";
  change(TableId::ActiveEmployees, "E0002", {{"ELECTORAL", std::string("")}});
  EXPECT_NE(refused(Export::Plame).find("falta el numero de documento"), std::string::npos);
  EXPECT_EQ(slurp(base + ".rem"), "NUEVO\r\n");
  EXPECT_FALSE(std::filesystem::exists(base + ".snl"));
  EXPECT_TRUE(std::filesystem::exists(base + ".jor"));
  EXPECT_TRUE(namesWith(dir(), ".tmp-").empty());
  EXPECT_TRUE(namesWith(dir(), ".cambio").empty());
  // A journal naming anything but the set's own files is not acted on.
  std::ofstream(base + ".cambio", std::ios::binary) << "planilla conjunto de archivos 1\nR ../../victima " << name
                                                    << ".rem\nD ../" << name << ".jor\nFIN\n";
  refused(Export::Plame);
  EXPECT_EQ(slurp(base + ".rem"), "NUEVO\r\n");
  EXPECT_TRUE(std::filesystem::exists(base + ".jor"));
  EXPECT_TRUE(namesWith(dir(), ".cambio").empty());
}

TEST_F(ExportsTest, EquivalencesFileIsReadOnlyWhenItIsOneAndSaysEachThingOnce) {
  const std::string path = dir() + "/" + kConceptsFile;
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* message;
  } cases[] = {
      {"repetida", [&] { std::ofstream(path) << "REM MES BAS_QUI 0121\nDOC 1 01 0\nREM MES BAS_QUI 0121\n"; },
       "conceptos_plame.txt, lineas 1 y 3: REM MES BAS_QUI esta repetido; deje una sola linea"},
      {"otro codigo", [&] { std::ofstream(path) << "REM MES BAS_QUI 0121\n# x\nREM MES BAS_QUI 0122\n"; },
       "lineas 1 y 3: REM MES BAS_QUI esta repetido"},
      {"documento", [&] { std::ofstream(path) << "DOC 1 01 0\nDOC 1 04 1\n"; }, "lineas 1 y 2: DOC 1 esta repetido"},
      {"fifo", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, "no es un archivo de texto comun"},
      {"/dev/zero", [&] { ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0); }, "no es un archivo de texto comun"},
      {"grande", [&] { std::ofstream(path) << std::string(kConceptsLimit + 1, '#'); }, "mas del maximo de 1048576"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path);
    c.make();
    EXPECT_NE(refused(Export::Plame).find(c.message), std::string::npos) << msgs.all();
  }
  EXPECT_TRUE(filesIn(dir(), ".rem").empty());
  // The same field from the payroll and from the gratification is not a repeat.
  EXPECT_TRUE(parseConcepts("REM MES RTA_5TA 0605\nREM GRA RTA_5TA 0605\n"));
  // Every code the declaration computes itself is refused (0100 ... 0808).
  for (const char* code : {"0100", "0200", "0300", "0400", "0500", "0600", "0603", "0604", "0607", "0610", "0612",
                           "0616", "0800", "0802", "0804", "0806", "0808"}) {
    Result<Concepts> r = parseConcepts(std::string("REM MES BAS_QUI ") + code + "\n");
    EXPECT_FALSE(r) << code;
    if (!r) {
      EXPECT_NE(r.status().message().find("lo calcula la declaracion"), std::string::npos) << code;
    }
  }
}

TEST_F(ExportsTest, DocumentNumbersMatchTheirType) {
  const DocConcept dni{"1", "01", "0"}, ce{"4", "04", "1"}, passport{"7", "07", "4"}, other{"9", "09", "9"};
  struct Case {
    const DocConcept* doc;
    const char* number;
    bool ok;
  } cases[] = {{&dni, "40123456", true},         {&dni, "4012345", false},       {&dni, "4012345|", false},
               {&dni, "4012345A", false},        {&ce, "00123456", true},        {&ce, "ABC123456789", true},
               {&ce, "ABC1234567890", false},    {&passport, "AB 123", false},   {&passport, "X|1", false},
               {&other, "123456789012345", true}, {&other, "1234567890123456", false}};
  for (const Case& c : cases) EXPECT_EQ(validDocumentNumber(*c.doc, c.number), c.ok) << c.doc->type << " " << c.number;
  // A "|" in a number would cut the record into one field too many: nothing is written.
  change(TableId::ActiveEmployees, "E0001", {{"ELECTORAL", std::string("4012345|")}});
  for (Export which : {Export::Plame, Export::Afpnet})
    EXPECT_NE(refused(which).find("E0001 EMPLEADO E0001: el numero de documento \"4012345|\" no es valido para el "
                                  "tipo 01 (DNI: 8 digitos)"),
              std::string::npos)
        << msgs.all();
  EXPECT_TRUE(filesIn(dir(), ".rem").empty());
  EXPECT_TRUE(filesIn(dir(), ".xlsx").empty());
}

// July: the gratification run charged the fund on the advance of its roll. PLAME adds
// the amounts of one code from both runs; AFPnet's insurable pay and its summary cover
// both; a hire or a cessation on the last day of the month is marked.
TEST_F(ExportsTest, JulyCoversTheGratificationRunsCharges) {
  setDate(2016, 7, 31);
  // E0001: payroll 1500.00, fund 10% 150.00, premium 1.37% 20.55, commission 1.47%
  // 22.05, tax 50.00. Gratification 1500.00 with an advance of 300.00: fund 30.00,
  // premium 4.11 (1.37% of 300 = 4.11), commission 4.41 (1.47% of 300 = 4.41), tax
  // 20.00. The month: base 1500 + 300 = 1800.00; fund 180.00, premium 24.66,
  // commission 26.46, total 231.12; tax 70.00.
  person("E0001", "1", "40123456", "PEREZ", "LOPEZ", "ANA", "MARIA", Date(2015, 5, 10), Date(), "1");
  result("E0001", {{"CODAFP", std::string("INTEG")}, {"NROAFP", std::string("123456ABCDE1")}, {"BAS_QUI", 1500.0},
                   {"TBRUTO", 1500.0}, {"AAPOR1", 150.0}, {"AAPOR2", 20.55}, {"AAPOR3", 22.05}, {"RTA_5TA", 50.0}});
  add(TableId::GratSoles, {{"CODIGO", std::string("E0001")}, {"CODAFP", std::string("INTEG")}, {"GRATIF", 1500.0},
                           {"TBRUTO", 1500.0}, {"AAPOR1", 30.0}, {"AAPOR2", 4.11}, {"AAPOR3", 4.41},
                           {"RTA_5TA", 20.0}, {"ADELANTO", 300.0}});
  add(TableId::GratificationRoll, {{"CODIGO", std::string("E0001")}, {"DSCLEY", 300.0}});
  // E0004 leaves on the last day, E0005 starts on it (one day: 1000 / 30 = 33.33).
  person("E0004", "4", "00765432", "QUISPE", "MAMANI", "ROSA", "", Date(2010, 2, 1), Date(2016, 7, 31), "1");
  result("E0004", {{"CODAFP", std::string("INTEG")}, {"NROAFP", std::string("654321XYZW12")}, {"TBRUTO", 1000.0}});
  person("E0005", "1", "41234567", "DIAZ", "ROJAS", "LUZ", "", Date(2016, 7, 31), Date(), "1");
  result("E0005", {{"CODAFP", std::string("INTEG")}, {"NROAFP", std::string("111111AAAAA1")}, {"TBRUTO", 33.33}});

  run(Export::Plame);
  const std::string rem = slurp(dir() + "/0601201607" "20100000001.rem");
  for (const char* line : {"01|40123456|0605|70.00|70.00|", "01|40123456|0608|180.00|180.00|",
                           "01|40123456|0606|24.66|24.66|", "01|40123456|0601|26.46|26.46|",
                           "01|40123456|0406|1500.00|1500.00|"})
    EXPECT_NE(rem.find(line), std::string::npos) << line << "\n" << rem;

  ASSERT_TRUE(runAfpnetSummary(s(), false)) << msgs.all();
  const std::string sum = slurp(dir() + "/Test.rpv");
  const size_t e1 = sum.find("E0001");
  ASSERT_NE(e1, std::string::npos);
  for (const char* v : {"  1,800.00", "    180.00", "     24.66", "     26.46", "    231.12"})
    EXPECT_NE(sum.substr(e1, sum.find("\r\n", e1) - e1).find(v), std::string::npos) << v;

  if (!pythonWithOpenpyxl().empty()) {
    const std::vector<std::string> afp = run(Export::Afpnet);
    ASSERT_EQ(afp.size(), 1u);
    const std::string tail = "|n:0.00[0.00]|n:0.00[0.00]|n:0.00[0.00]|s:N|-\n";
    EXPECT_EQ(readBack(afp[0], dir()),
              "n:1.00[0]|s:123456ABCDE1|s:0|s:40123456|s:PEREZ|s:LOPEZ|s:ANA MARIA|s:S|s:N|s:N|-|n:1800.00[0.00]" +
                  tail + "n:2.00[0]|s:654321XYZW12|s:1|s:00765432|s:QUISPE|s:MAMANI|s:ROSA|s:S|s:N|s:S|-|"
                  "n:1000.00[0.00]" + tail +
                  "n:3.00[0]|s:111111AAAAA1|s:0|s:41234567|s:DIAZ|s:ROJAS|s:LUZ|s:S|s:S|s:N|-|n:33.33[0.00]" + tail);
  }
  // A CUSPP of 11 characters is a gap like the others: nothing is written.
  std::filesystem::remove(dir() + "/AFPNET_20100000001_201607.xlsx");
  change(TableId::PayrollSoles, "E0004", {{"NROAFP", std::string("654321XYZW1")}});
  EXPECT_EQ(refused(Export::Afpnet), "No Se Generaron Los Archivos, Faltan Datos:\r\n"
                                     "E0004 EMPLEADO E0004: el CUSPP 654321XYZW1 no es valido (12 letras y digitos)");
  EXPECT_TRUE(filesIn(dir(), ".xlsx").empty());
}

// 1 January is the month "00" of the working date: the files are January's.
TEST_F(ExportsTest, FirstOfJanuaryNamesTheFilesOfJanuary) {
  setDate(2017, 1, 1);
  ASSERT_EQ(s().YMES, "00");
  person("E0001", "1", "40123456", "PEREZ", "LOPEZ", "ANA", "", Date(2015, 5, 10), Date(), "1");
  result("E0001", {{"BAS_QUI", 1500.0}});
  EXPECT_EQ(run(Export::Plame), (std::vector<std::string>{dir() + "/0601201701" "20100000001.rem",
                                                          dir() + "/0601201701" "20100000001.jor",
                                                          dir() + "/0601201701" "20100000001.snl"}));
}

// A disk that fills while the library writes its parts (here the file size limit of a
// child process: every write past it fails as on a full disk) stops the export, and
// the good spreadsheet of the last export stays as it was.
TEST_F(ExportsTest, SpreadsheetCutShortNeverReplacesTheGoodOne) {
  const std::string book = run(Export::Payroll).at(0);
  const std::string good = slurp(book);
  ASSERT_GT(good.size(), 1000u);
  const std::string tmp = dir() + "/tmp";
  std::filesystem::create_directory(tmp);
  // Room for the finished file, not for the parts the library writes uncompressed.
  for (rlim_t limit : {static_cast<rlim_t>(good.size() + 512), static_cast<rlim_t>(2048)}) {
    SCOPED_TRACE(limit);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      ::setenv("TMPDIR", tmp.c_str(), 1);
      rlimit r{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &r);
      std::vector<std::string> written;
      const bool ok = runExport(s(), Export::Payroll, "", written);
      const bool said = !msgs.shown.empty() && msgs.shown.back().text.find("hoja de calculo") != std::string::npos;
      const bool unrecorded = !msgs.shown.empty() && msgs.shown.back().text.find("Registro De Procesos") != std::string::npos;
      ::_exit(ok ? 0 : said ? 1 : unrecorded ? 3 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    // With 2048 bytes the run register's index cannot take the export's record: the
    // export is refused before it writes anything.
    EXPECT_EQ(WEXITSTATUS(status), limit == 2048 ? 3 : 1);
    EXPECT_TRUE(slurp(book) == good);  // (not printed: binary)
    EXPECT_TRUE(namesWith(dir(), ".tmp-").empty());
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
  }
  // A workbook read back whole passes; cut short or with a part's bytes changed, not.
  EXPECT_TRUE(checkXlsx(book, "x"));
  std::ofstream(dir() + "/corto.xlsx", std::ios::binary) << good.substr(0, good.size() - 100);
  EXPECT_FALSE(checkXlsx(dir() + "/corto.xlsx", "x"));
  std::string flipped = good;
  flipped[200] ^= 0x55;
  std::ofstream(dir() + "/cambiado.xlsx", std::ios::binary) << flipped;
  EXPECT_FALSE(checkXlsx(dir() + "/cambiado.xlsx", "x"));
}

}  // namespace
}  // namespace planilla::exports
