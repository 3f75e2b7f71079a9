// The runs on real tables in a temporary data directory: preparation checks and
// their messages, the records written, the year tables, and how the runs of a year
// meet (July and December gratifications read by the monthly runs).
#include "calc/runs.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "calc/quinta.h"
#include "calc/tests/calc_fixture.h"
#include "session/run_tables.h"
#include "session/tables.h"

namespace planilla::calc {
namespace {

using catalog::TableId;
using testing::CalcFixture;
using testing::Fields;
using testing::pad;
using testing::Row;

class Proce01 : public CalcFixture {
 protected:
  void SetUp() override {
    CalcFixture::SetUp();
    makeCompany();
  }
  bool runMonth(const std::string& code = "TC0001") {
    msgs.shown.clear();
    return PROCE01(s(), code);
  }
  bool finished() const { return !msgs.shown.empty() && msgs.shown.back().text == "Fin De Proceso"; }
  // The build files of the runs left in the data directory, by name.
  std::string buildFiles() {
    std::string out;
    for (const auto& e : std::filesystem::directory_iterator(dir()))
      if (e.path().filename().string().find(".tmp") != std::string::npos) out += e.path().filename().string() + " ";
    return out;
  }
  void removeFile(const std::string& name) { std::filesystem::remove(std::filesystem::path(dir()) / name); }
  std::string fileBytes(const std::string& name) {
    std::ifstream in(std::filesystem::path(dir()) / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(Proce01, WritesBothResultRecordsInCodeOrder) {
  addEmployee("E003", {{"DOLAR", std::string("E")}, {"BAS_MEN", 1000.0}});
  addEmployee("E001");
  addEmployee("E002", {{"DOLAR", std::string("D")}, {"BAS_MEN", 1000.0}, {"CODAFP", std::string("INTEG ")},
                       {"FECH_AFP", Date(2012, 5, 1)}, {"NROAFP", std::string("123456")}});
  add(TableId::IncomeEntries, {{"CODIGO", std::string("E001")}, {"SIMPLE", 2.0}, {"REFRIGE", 100.0}});

  ASSERT_TRUE(runMonth()) << msgs.all();
  ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].title, "Mensaje");
  EXPECT_TRUE(finished());
  // The busy indication: "Fin De Proceso" is shown over the count of the three
  // employees processed, and the indication ends with the run.
  EXPECT_EQ(msgs.workTitle, "Calculo De Planilla");
  EXPECT_EQ(msgs.workTotal, 3);
  EXPECT_EQ(msgs.countShownWithMessage, 3);
  EXPECT_FALSE(msgs.working);

  std::vector<Row> e2 = rows(TableId::PayrollSoles);
  ASSERT_EQ(e2.size(), 3u);
  EXPECT_EQ(e2[0].str("CODIGO"), pad("E001", 10));
  EXPECT_EQ(e2[1].str("CODIGO"), pad("E002", 10));
  EXPECT_EQ(e2[2].str("CODIGO"), pad("E003", 10));
  EXPECT_EQ(e2[0].str("NOMBRE").substr(0, 13), "EMPLEADO E001");
  EXPECT_DOUBLE_EQ(e2[0].num("HSIMPLE_P"), 16.40);
  EXPECT_DOUBLE_EQ(e2[0].num("REFRIG"), 100.00);
  EXPECT_DOUBLE_EQ(e2[0].num("TBRUTO"), 1591.40);  // without the meal allowance
  EXPECT_DOUBLE_EQ(e2[0].num("SNPT"), round2(1691.40 * 0.13));
  EXPECT_DOUBLE_EQ(e2[0].num("DIA_TRA"), 30);
  EXPECT_DOUBLE_EQ(e2[0].num("HORASTRA"), 8);
  EXPECT_DOUBLE_EQ(e2[1].num("BAS_MEN"), 3250.00);
  EXPECT_DOUBLE_EQ(e2[1].num("AAPOR1"), 332.50);  // (3250 + 75) x 10%
  EXPECT_EQ(e2[1].str("NROAFP"), pad("123456", 12));
  EXPECT_EQ(e2[1].str("FECHASITUA"), std::string(8, ' '));
  EXPECT_DOUBLE_EQ(e2[2].num("BAS_MEN"), 3600.00);

  std::vector<Row> e1 = rows(TableId::PayrollDollars);
  ASSERT_EQ(e1.size(), 3u);
  EXPECT_DOUBLE_EQ(e1[0].num("BAS_MEN"), round2(1500 / 3.25));
  EXPECT_DOUBLE_EQ(e1[0].num("HSIMPLE_P"), round2(16.40 / 3.25));
  EXPECT_DOUBLE_EQ(e1[0].num("REFRIG"), 0);  // not carried over
  EXPECT_DOUBLE_EQ(e1[1].num("BAS_MEN"), 1000.00);
  EXPECT_DOUBLE_EQ(e1[1].num("TPAGAR"), round2(e2[1].num("TPAGAR") / 3.25));
  EXPECT_EQ(e1[1].str("CODAFP"), "INTEG ");
  EXPECT_DOUBLE_EQ(e1[2].num("BAS_MEN"), 1000.00);  // euros at the euro rate
  EXPECT_DOUBLE_EQ(e1[2].num("TBRUTO"), round2(e2[2].num("TBRUTO") / 3.6));
  EXPECT_EQ(e1[2].str("CATEGO"), "  ");  // only the listed fields are copied
}

TEST_F(Proce01, FeePaidEmployeeAndBlankCurrency) {
  addEmployee("E001", {{"RETRI", std::string("2")}, {"BAS_MEN", 2000.0}, {"DOLAR", std::string(" ")}});
  ASSERT_TRUE(runMonth()) << msgs.all();
  Row r = *row(TableId::PayrollSoles, "E001");
  EXPECT_DOUBLE_EQ(r.num("TBRUTO"), 2000.00);
  EXPECT_DOUBLE_EQ(r.num("TPAGAR"), 2000.00);
  EXPECT_DOUBLE_EQ(r.num("BAS_QUI"), 2000.00);
  EXPECT_DOUBLE_EQ(r.num("SNPT"), 0);
  EXPECT_DOUBLE_EQ(r.num("IPSSE"), 0);
  EXPECT_DOUBLE_EQ(r.num("T_DSCTOT"), 0);
  Row c = *row(TableId::PayrollDollars, "E001");
  EXPECT_DOUBLE_EQ(c.num("TBRUTO"), round2(2000 / 3.25));
}

TEST_F(Proce01, VacationRollAndMissingEntries) {
  addEmployee("E001", {{"DIA_TRA", 20.0}, {"GRATIF", 300.0}});
  addEmployee("E002", {{"DIA_TRA", 20.0}, {"GRATIF", 300.0}});
  add(TableId::VacationRoll, {{"CODIGO", std::string("E001")}, {"CONTROL", 1.0}, {"DIAVAC", 10.0}});
  add(TableId::IncomeEntries, {{"CODIGO", std::string("E999")}, {"SIMPLE", 5.0}});
  removeFile("p8031601.cdx");  // the name order plays no part in the run
  ASSERT_TRUE(runMonth()) << msgs.all();
  Row a = *row(TableId::PayrollSoles, "E001");
  EXPECT_DOUBLE_EQ(a.num("VACACI"), 525.00);
  EXPECT_DOUBLE_EQ(a.num("GRATIF"), 300.00);
  EXPECT_DOUBLE_EQ(a.num("BAS_QUI"), 1000.00);
  Row b = *row(TableId::PayrollSoles, "E002");
  EXPECT_DOUBLE_EQ(b.num("VACACI"), 0);
  EXPECT_DOUBLE_EQ(b.num("GRATIF"), 200.00);  // DIA_TRA days only
  EXPECT_DOUBLE_EQ(b.num("HSIMPLE_P"), 0);
  EXPECT_DOUBLE_EQ(b.num("ADELANTO"), 0);
}

TEST_F(Proce01, RerunLeavesTheSameTables) {
  setDate(2016, 1, 31);
  create(TableId::ActiveEmployees);
  addEmployee("E001", {{"QUINTA", std::string("S")}, {"BAS_MEN", 3000.0}, {"ASIGNA", 0.0}});
  addEmployee("E002", {{"QUINTA", std::string("E")}, {"BAS_MEN", 3000.0}, {"ASIGNA", 0.0}, {"GRATIF", 250.0}});
  addEmployee("E003", {{"CODAFP", std::string("INTEG ")}, {"FECH_AFP", Date(2012, 5, 1)}});
  ASSERT_TRUE(runMonth()) << msgs.all();
  const std::string names[] = {"e2010116.dbf", "e1010116.dbf", "habe0116.dbf", "rete0116.dbf"};
  std::vector<std::string> first;
  for (const auto& n : names) first.push_back(fileBytes(n));
  auto e2first = rows(TableId::PayrollSoles);
  ASSERT_TRUE(runMonth()) << msgs.all();
  for (size_t i = 0; i < 4; ++i) {
    // Byte 1..3 of a table header is the date of last update: the same day here.
    EXPECT_EQ(fileBytes(names[i]), first[i]) << names[i];
  }
  auto e2second = rows(TableId::PayrollSoles);
  ASSERT_EQ(e2first.size(), e2second.size());
  for (size_t i = 0; i < e2first.size(); ++i) EXPECT_EQ(e2first[i].raw, e2second[i].raw);
  // The January example: 1148.00 / 12 stored as 95.67.
  EXPECT_DOUBLE_EQ(row(TableId::PayrollSoles, "E001")->num("RTA_5TA"), 95.67);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("ENE"), 95.67);
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E001")->num("ENE"), 3000.00);
  // Variant E: T = 3250 x 12 = 39000; N = 11350; X = 908.
  EXPECT_DOUBLE_EQ(row(TableId::PayrollSoles, "E002")->num("RTA_5TA"), round2(908.0 / 12));
  // No tax, no row in the year tables.
  EXPECT_FALSE(row(TableId::Deductions, "E003"));
  EXPECT_FALSE(row(TableId::Earnings, "E003"));
  EXPECT_EQ(row(TableId::PayrollSoles, "E003")->num("RTA_5TA"), 0);
}

TEST_F(Proce01, NetworkStationGivesTheSameResults) {
  addEmployee("E001", {{"QUINTA", std::string("S")}, {"BAS_MEN", 9000.0}});
  addEmployee("E002", {{"DOLAR", std::string("D")}, {"CODAFP", std::string("INTEG ")}, {"FECH_AFP", Date(2012, 5, 1)}});
  add(TableId::IncomeEntries, {{"CODIGO", std::string("E002")}, {"DOBLE", 4.0}});
  add(TableId::VacationRoll, {{"CODIGO", std::string("E001")}, {"CONTROL", 1.0}, {"DIAVAC", 5.0}});
  ASSERT_TRUE(runMonth()) << msgs.all();
  auto local = rows(TableId::PayrollSoles);
  auto localConv = rows(TableId::PayrollDollars);
  s().setRed(true);  // tables not held exclusively by the run open shared
  ASSERT_TRUE(runMonth()) << msgs.all();
  auto shared = rows(TableId::PayrollSoles);
  auto sharedConv = rows(TableId::PayrollDollars);
  ASSERT_EQ(local.size(), 2u);
  ASSERT_EQ(shared.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(local[i].raw, shared[i].raw);
    EXPECT_EQ(localConv[i].raw, sharedConv[i].raw);
  }
  EXPECT_DOUBLE_EQ(shared[1].num("HDOBLE_P"), 4 * round2(round2((1500 * 3.25 + 75) / 30 / 8) * 2));
}

TEST_F(Proce01, PreparationMessages) {
  struct Case {
    const char* file;
    const char* message;
  };
  const Case cases[] = {{"pbase18.dbf", "WARNING  P18!!  "},
                        {"p9031601.dbf", "Maestro De Empleados No Existe"},
                        {"pmae0501.dbf", "Maestro De Descuentos No Existe"},
                        {"pm060116.dbf", "Maestro De AFP No Existe"},
                        {"rete0116.dbf", "Tabla De Retenciones  No Existe"},
                        {"habe0116.dbf", "Tabla De Haberes  No Existe"}};
  addEmployee("E001");
  // Removing the files from the last checked to the first: each run stops at the
  // file just removed.
  for (auto it = std::rbegin(cases); it != std::rend(cases); ++it) {
    const Case& c = *it;
    removeFile(c.file);
    EXPECT_FALSE(runMonth());
    ASSERT_EQ(msgs.shown.size(), 1u) << c.file << msgs.all();
    EXPECT_EQ(msgs.shown[0].text, c.message);
    EXPECT_EQ(msgs.shown[0].title, "Stop");
    EXPECT_FALSE(exists(TableId::PayrollSoles)) << c.file;
  }
}

TEST_F(Proce01, UnknownExchangeCodeKeepsTheMonthsResults) {
  addEmployee("E001");
  ASSERT_TRUE(runMonth());
  const std::string before = fileBytes("e2010316.dbf");
  EXPECT_FALSE(runMonth("XX"));
  ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Tipo De Cambio  XX     No Existe");
  EXPECT_EQ(msgs.shown[0].title, "Stop");
  EXPECT_EQ(fileBytes("e2010316.dbf"), before);
  EXPECT_EQ(rows(TableId::PayrollDollars).size(), 1u);
}

TEST_F(Proce01, NumberFieldsThatHoldNoNumberStopTheRunBeforeAnythingIsDeleted) {
  // E001 pays the fifth-category tax, belongs to a fund and has monthly entries and
  // vacations; E002 is the second record of the active table.
  addEmployee("E001", {{"QUINTA", std::string("S")}, {"BAS_MEN", 9000.0}, {"CODAFP", std::string("INTEG ")},
                       {"FECH_AFP", Date(2012, 5, 1)}});
  addEmployee("E002");
  add(TableId::IncomeEntries, {{"CODIGO", std::string("E001")}, {"SIMPLE", 2.0}});
  add(TableId::VacationRoll, {{"CODIGO", std::string("E001")}, {"CONTROL", 1.0}, {"DIAVAC", 5.0}});
  ASSERT_TRUE(runMonth()) << msgs.all();
  const std::string results = fileBytes("e2010316.dbf");
  std::string january = catalog::monthFieldNames()[0];
  for (char& c : january) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  struct Case {
    TableId table;
    const char* key;  // "" = first record
    std::string field;
    const char* bytes;
    std::string message;
  };
  const Case cases[] = {
      {TableId::ActiveEmployees, "E002", "BAS_MEN", "*********",
       "Dato No Numerico En p9031601.dbf, Registro 2, Campo BAS_MEN (*********)"},
      {TableId::ActiveEmployees, "E001", "DIA_TRA", "3O", "Dato No Numerico En p9031601.dbf, Registro 1, Campo DIA_TRA (3O)"},
      {TableId::Rates, "", "IPSSE", "9,00", "Dato No Numerico En pmae0501.dbf, Registro 1, Campo IPSSE (9,00)"},
      {TableId::ExchangeRates, "TC0001", "TIP_CAM", "***", "Dato No Numerico En tcam16.dbf, Registro 1, Campo TIP_CAM (***)"},
      // The funds hold one record per month: March is the third.
      {TableId::PensionFunds, "03INTEG ", "AFPPOR1", "DIEZ", "Dato No Numerico En pm060116.dbf, Registro 3, Campo AFPPOR1 (DIEZ)"},
      {TableId::IncomeEntries, "E001", "SIMPLE", "2 H", "Dato No Numerico En ph010316.dbf, Registro 1, Campo SIMPLE (2 H)"},
      {TableId::VacationRoll, "E001", "DIAVAC", "NAN", "Dato No Numerico En ve010316.dbf, Registro 1, Campo DIAVAC (NAN)"},
      {TableId::Earnings, "E001", january, "*****", "Dato No Numerico En habe0116.dbf, Registro 1, Campo " + january + " (*****)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const std::string kept = poke(c.table, c.key, c.field, c.bytes);
    EXPECT_FALSE(runMonth());
    ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
    EXPECT_EQ(msgs.shown[0].text, c.message);
    EXPECT_EQ(msgs.shown[0].title, "Stop");
    EXPECT_EQ(fileBytes("e2010316.dbf"), results);
    poke(c.table, c.key, c.field, kept);
  }
  // A blank numeric field is an empty amount, as dBase has it: zero pay.
  poke(TableId::ActiveEmployees, "E002", "BAS_MEN", "");
  ASSERT_TRUE(runMonth()) << msgs.all();
  ASSERT_TRUE(row(TableId::PayrollSoles, "E002"));
  EXPECT_DOUBLE_EQ(row(TableId::PayrollSoles, "E002")->num("BAS_QUI"), 0);
}

TEST_F(Proce01, ZeroRateIsRefusedBeforeAnythingIsDeleted) {
  addEmployee("E001");
  ASSERT_TRUE(runMonth());
  change(TableId::ExchangeRates, "TC0001", {{"TIP_CAM", 0.0}});
  EXPECT_FALSE(runMonth());
  ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Tipo De Cambio Dolar TC0001 En Cero, Proceso Cancelado");
  EXPECT_EQ(rows(TableId::PayrollSoles).size(), 1u);
  EXPECT_EQ(rows(TableId::PayrollDollars).size(), 1u);

  // A zero euro rate matters only when someone is paid in euros.
  change(TableId::ExchangeRates, "TC0001", {{"TIP_CAM", 3.25}, {"TIP_CAME", 0.0}});
  EXPECT_TRUE(runMonth()) << msgs.all();
  addEmployee("E002", {{"DOLAR", std::string("E")}});
  EXPECT_FALSE(runMonth());
  EXPECT_EQ(msgs.shown.back().text, "Tipo De Cambio Euro TC0001 En Cero, Proceso Cancelado");
  EXPECT_EQ(rows(TableId::PayrollSoles).size(), 1u);
}

TEST_F(Proce01, FundWithoutRatesForTheMonthStopsTheRun) {
  addEmployee("E001");
  ASSERT_TRUE(runMonth());
  addEmployee("E002", {{"CODAFP", std::string("PRIMA ")}, {"FECH_AFP", Date(2012, 1, 1)}});
  EXPECT_FALSE(runMonth());
  ASSERT_EQ(msgs.shown.size(), 2u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Falta Ingresar Tasas De La AFP PRIMA  Del Mes 03");
  EXPECT_EQ(msgs.shown[1].text, "Del Trabajador De Codigo E002      ");
  EXPECT_EQ(msgs.shown[1].title, "Stop");
  // The month's previous results are untouched.
  EXPECT_EQ(rows(TableId::PayrollSoles).size(), 1u);
}

TEST_F(Proce01, UnknownCurrencyStopsNamingTheEmployee) {
  addEmployee("E001");
  ASSERT_TRUE(runMonth());
  addEmployee("E002", {{"DOLAR", std::string("X")}});
  EXPECT_FALSE(runMonth());
  ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Moneda X No Valida (S, D o E) Del Trabajador De Codigo E002      ");
  EXPECT_EQ(rows(TableId::PayrollSoles).size(), 1u);
}

TEST_F(Proce01, TablesHeldByAnotherStation) {
  addEmployee("E001", {{"QUINTA", std::string("S")}, {"BAS_MEN", 9000.0}});
  ASSERT_TRUE(runMonth());
  const std::string before = fileBytes("rete0116.dbf");
  for (TableId held : {TableId::Deductions, TableId::Earnings, TableId::PayrollSoles, TableId::PayrollDollars}) {
    auto other = Table::open(s().fs(), catalog::joinPath(dir(), def(held).dbf()), OpenMode::Shared);
    ASSERT_TRUE(other.isOk()) << other.status().message();
    EXPECT_FALSE(runMonth());
    ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
    EXPECT_EQ(msgs.shown[0].text, "Apertura Denegada El Archivo Esta En Uso");
    (*other)->close();
    EXPECT_EQ(rows(TableId::PayrollSoles).size(), 1u);
    EXPECT_EQ(fileBytes("rete0116.dbf"), before);
  }
  EXPECT_TRUE(runMonth());
}

// The run stops on the employee, after the tax step wrote the month into the year
// tables; the month in place stays as it was, year tables included, and nothing of
// the stopped run is left beside it.
TEST_F(Proce01, NoAffiliationDateKeepsThePreviousMonth) {
  addEmployee("E001");
  ASSERT_TRUE(runMonth());
  const std::string ret = fileBytes("rete0116.dbf"), hab = fileBytes("habe0116.dbf");
  const std::vector<Row> before = rows(TableId::PayrollSoles);
  addEmployee("E002", {{"CODAFP", std::string("INTEG ")}, {"QUINTA", std::string("S")}, {"BAS_MEN", 9000.0}});
  addEmployee("E003");
  EXPECT_FALSE(runMonth());
  ASSERT_EQ(msgs.shown.size(), 2u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Falta Ingresar fecha De Ingreso De AFP");
  EXPECT_EQ(msgs.shown[1].text, "Del Trabajador De Codigo E002      ");
  EXPECT_FALSE(finished());
  std::vector<Row> e2 = rows(TableId::PayrollSoles);
  ASSERT_EQ(e2.size(), 1u);
  EXPECT_EQ(e2[0].raw, before[0].raw);
  EXPECT_EQ(rows(TableId::PayrollDollars).size(), 1u);
  EXPECT_EQ(fileBytes("rete0116.dbf"), ret);
  EXPECT_EQ(fileBytes("habe0116.dbf"), hab);
  EXPECT_EQ(buildFiles(), "");
}

// A refusal met at the last employee, after the others were calculated and written
// beside the month in place: every table in place stays as it was, byte for byte,
// and nothing of the refused run is left beside them.
TEST_F(Proce01, RefusalAtTheLastEmployeeLeavesEveryTableAsItWas) {
  addEmployee("E001", {{"QUINTA", std::string("S")}, {"BAS_MEN", 9000.0}});
  addEmployee("E002", {{"CODAFP", std::string("INTEG ")}, {"FECH_AFP", Date(2012, 5, 1)}});
  addEmployee("E003", {{"QUINTA", std::string("E")}, {"BAS_MEN", 7000.0}});
  ASSERT_TRUE(runMonth()) << msgs.all();
  std::vector<std::string> names, before;
  for (TableId id : {TableId::PayrollSoles, TableId::PayrollDollars, TableId::Earnings, TableId::Deductions}) {
    names.push_back(def(id).dbf());
    before.push_back(fileBytes(names.back()));
  }
  const struct {
    const char* field;
    const char* bytes;
    const char* message;
  } cases[] = {
      {"BAS_MEN", "*******", "Dato No Numerico En p9031601.dbf, Registro 3, Campo BAS_MEN (*******)"},
      {"DOLAR", "X", "Moneda X No Valida (S, D o E) Del Trabajador De Codigo E003      "},
      {"CODAFP", "PRIMA ", "Falta Ingresar Tasas De La AFP PRIMA  Del Mes 03"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    const std::string kept = poke(TableId::ActiveEmployees, "E003", c.field, c.bytes);
    EXPECT_FALSE(runMonth());
    ASSERT_FALSE(msgs.shown.empty());
    EXPECT_EQ(msgs.shown[0].text, c.message);
    EXPECT_FALSE(finished());
    for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(fileBytes(names[i]) == before[i]) << names[i];
    EXPECT_EQ(buildFiles(), "");
    poke(TableId::ActiveEmployees, "E003", c.field, kept);
  }
  EXPECT_TRUE(runMonth()) << msgs.all();
  for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(fileBytes(names[i]) == before[i]) << names[i];
}

// A reader of the month's results that meets a run is told so: while the run builds
// the month's first results, while it holds the results in place, and after a run cut
// short left a table marked (which the next run puts in order).
TEST_F(Proce01, ReadersMeetingARunAreToldSo) {
  addEmployee("E001");
  const catalog::TableDef e2 = s().def(TableId::PayrollSoles);
  auto readerSees = [&]() {
    auto t = catalog::openTable(platformFileSystem(), dir(), e2, OpenMode::Shared);
    return t ? std::string("abierta") : t.status().message();
  };
  {
    RunTables run(s());
    ASSERT_TRUE(run.fresh(e2).isOk());
    EXPECT_TRUE(exists(TableId::PayrollSoles));
    EXPECT_EQ(readerSees(), catalog::kRunInProgress);
  }
  EXPECT_FALSE(exists(TableId::PayrollSoles));
  EXPECT_EQ(buildFiles(), "");
  ASSERT_TRUE(runMonth());
  {
    RunTables run(s());
    ASSERT_TRUE(run.hold(e2).isOk());
    auto t = catalog::openTable(platformFileSystem(), dir(), e2, OpenMode::Shared);
    ASSERT_FALSE(t.isOk());
    showTableError(s(), t.status());
    EXPECT_EQ(msgs.shown.back().text, catalog::kRunInProgress);
  }
  EXPECT_EQ(readerSees(), "abierta");
  {
    auto t = open(TableId::PayrollSoles);
    ASSERT_TRUE(t && t->setRebuildMark(true).isOk());
  }
  EXPECT_EQ(readerSees(), catalog::kRunInterrupted);
  ASSERT_TRUE(runMonth()) << msgs.all();
  EXPECT_EQ(readerSees(), "abierta");
  EXPECT_EQ(rows(TableId::PayrollSoles).size(), 1u);
}

TEST_F(Proce01, NotTaxableLeavesTheYearTables) {
  addEmployee("E001", {{"QUINTA", std::string("S")}});
  add(TableId::Deductions, {{"CODIGO", std::string("E001")}, {"MAR", 12.0}, {"TOT", 12.0}});
  ASSERT_TRUE(runMonth());
  EXPECT_EQ(row(TableId::PayrollSoles, "E001")->num("RTA_5TA"), 0);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("MAR"), 12);
  EXPECT_FALSE(row(TableId::Earnings, "E001"));
}

TEST_F(Proce01, FixedFifthCategoryAmount) {
  addEmployee("E001", {{"QUINTA", std::string("S")}, {"IMP5TA", 50.0}, {"BAS_MEN", 9000.0}});
  ASSERT_TRUE(runMonth());
  EXPECT_DOUBLE_EQ(row(TableId::PayrollSoles, "E001")->num("RTA_5TA"), 50.00);
  // The year tables keep the computed withholding.
  EXPECT_GT(row(TableId::Deductions, "E001")->num("MAR"), 0);
  EXPECT_NE(row(TableId::Deductions, "E001")->num("MAR"), 50.00);
}

// ---- gratification ----------------------------------------------------------------

class Proce05 : public Proce01 {
 protected:
  void SetUp() override {
    Proce01::SetUp();
    create(TableId::EmployeeMaster);
  }
  void gratDate(int month) { setDate(2016, month, month == 7 ? 31 : 30); }
  void rollEntry(const std::string& code, const Fields& f) {
    Fields all = {{"CODIGO", code}};
    for (auto& x : f) all.push_back(x);
    add(TableId::GratificationRoll, all);
  }
  bool runGrat(const std::string& code = "TC0001") {
    msgs.shown.clear();
    return PROCE05(s(), code);
  }
};

TEST_F(Proce05, JulyRun) {
  gratDate(7);
  addEmployee("E001", {}, TableId::EmployeeMaster);
  addEmployee("E002", {{"DOLAR", std::string("D")}, {"BAS_MEN", 1000.0}}, TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}});
  rollEntry("E002", {{"MES", 5.0}, {"DIA", 10.0}, {"DSCLEY", 500.0}, {"DSCTO", 20.0}});
  rollEntry("E404", {{"MES", 6.0}, {"DESGRAT", 99.0}});  // not in the master
  ASSERT_TRUE(runGrat()) << msgs.all();
  ASSERT_EQ(msgs.shown.size(), 1u);
  EXPECT_EQ(msgs.shown[0].text, "Fin De Proceso");
  EXPECT_EQ(msgs.shown[0].title, "Mensaje");
  std::vector<Row> he = rows(TableId::GratSoles);
  ASSERT_EQ(he.size(), 2u);
  EXPECT_DOUBLE_EQ(he[0].num("GRATIF"), 1575.00);
  EXPECT_DOUBLE_EQ(he[0].num("BONIFI"), 141.75);
  EXPECT_DOUBLE_EQ(he[0].num("TBRUTO"), 1716.75);
  EXPECT_DOUBLE_EQ(he[0].num("SNPT"), 0);
  // 3325 / 6 x 5 + 3325 / 6 / 30 x 10
  EXPECT_DOUBLE_EQ(he[1].num("GRATIF"), round2(3325.0 / 6 * 5) + round2(3325.0 / 6 / 30 * 10));
  EXPECT_DOUBLE_EQ(he[1].num("SNPT"), 65.00);
  EXPECT_DOUBLE_EQ(he[1].num("IPSSE"), 45.00);
  EXPECT_DOUBLE_EQ(he[1].num("ADELANTO"), 520.00);
  std::vector<Row> h1 = rows(TableId::GratDollars);
  ASSERT_EQ(h1.size(), 2u);
  EXPECT_DOUBLE_EQ(h1[1].num("BAS_MEN"), 1000.00);
  EXPECT_DOUBLE_EQ(h1[1].num("TBRUTO"), round2(he[1].num("TBRUTO") / 3.25));
  EXPECT_DOUBLE_EQ(h1[0].num("BONIFI"), 0);  // not carried over
  // July: the employees get a record in the withholding table, without amounts.
  ASSERT_TRUE(row(TableId::Deductions, "E001"));
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("GRAF2"), 0);
  EXPECT_FALSE(row(TableId::Deductions, "E404"));
}

TEST_F(Proce05, OnlyJulyAndDecember) {
  setDate(2016, 5, 31);
  addEmployee("E001", {}, TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}});
  EXPECT_FALSE(runGrat());
  ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Recuerde Solo   JULIO-DICIEMBRE   Opcion Ejecutable");
  EXPECT_EQ(msgs.shown[0].title, "Lea  El  Mensaje");
  EXPECT_TRUE(exists(TableId::GratSoles));
  EXPECT_TRUE(rows(TableId::GratSoles).empty());
  EXPECT_TRUE(rows(TableId::GratDollars).empty());
}

TEST_F(Proce05, GratificationMonthOfTheParameters) {
  gratDate(7);
  change(TableId::Rates, "01", {{"MESAFEC", std::string("01 ENE")}});
  addEmployee("E001", {}, TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}});
  EXPECT_FALSE(runGrat());
  ASSERT_EQ(msgs.shown.size(), 1u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Mes Fuera de Parametro");
  change(TableId::Rates, "01", {{"MESAFEC", std::string("12 DIC")}});  // not compared with the month
  EXPECT_TRUE(runGrat()) << msgs.all();
}

TEST_F(Proce05, PreparationMessages) {
  gratDate(7);
  addEmployee("E001", {}, TableId::EmployeeMaster);
  EXPECT_FALSE(runGrat());
  ASSERT_EQ(msgs.shown.size(), 1u);
  EXPECT_EQ(msgs.shown[0].text, "Relacion De Empleados Para Gratificaciones  No Existe");
  EXPECT_EQ(msgs.shown[0].title, "Lea  El  Mensaje");
  create(TableId::GratificationRoll);
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Sin Registros");
  EXPECT_FALSE(exists(TableId::GratSoles));
  rollEntry("E001", {{"MES", 6.0}});
  removeFile("rete0116.dbf");
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Tabla De Retenciones No Existe");
  create(TableId::Deductions);
  EXPECT_FALSE(runGrat("ZZ9"));
  EXPECT_EQ(msgs.shown.back().text, "Tipo De Cambio  ZZ9    No Existe");
  EXPECT_EQ(msgs.shown.back().title, "Error En Ingreso De Dato");
  EXPECT_EQ(msgs.shown.back().kind, ui::MsgKind::Alert);
  removeFile("pbase18.dbf");
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "WARNING  P18!!  ");
  EXPECT_EQ(msgs.shown.back().title, "Stop");
}

TEST_F(Proce05, NoAffiliationDateWithAdvance) {
  gratDate(7);
  addEmployee("E001", {}, TableId::EmployeeMaster);
  addEmployee("E002", {{"CODAFP", std::string("INTEG ")}}, TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}});
  rollEntry("E002", {{"MES", 6.0}, {"DSCLEY", 100.0}});
  EXPECT_FALSE(runGrat());
  ASSERT_EQ(msgs.shown.size(), 2u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Falta Ingresar fecha De Ingreso De AFP");
  EXPECT_EQ(msgs.shown[1].text, "Del Trabajador De Codigo E002         ");
  // No gratification was in place; none is now.
  EXPECT_FALSE(exists(TableId::GratSoles));
  EXPECT_FALSE(exists(TableId::GratDollars));
  EXPECT_EQ(buildFiles(), "");
}

// A fund member's gratification is charged to the fund when the year and month of
// affiliation are not after the working month, otherwise to the public system.
// Everyone has DSCLEY 500.00 and an insured member's gross of 1575.00 + (1575.00 -
// 500.00) x 9% = 1671.75, below the 9000.00 ceiling. The fund takes 500 x 10% = 50.00,
// 500 x 1.36% = 6.80 and 500 x 1.55% = 7.75, together 64.55; the public system
// 500 x 13% = 65.00.
TEST_F(Proce05, AffiliationYearAndMonthAgainstTheWorkingMonth) {
  struct Case {
    int month;  // of the gratification run, in 2016
    const char* code;
    Date fechAfp;
    bool fund;
  };
  const Case cases[] = {
      {7, "J01", Date(2016, 7, 1), true},     // joined in the working month
      {7, "J02", Date(2016, 7, 31), true},    // on its last day
      {7, "J03", Date(2016, 8, 1), false},    // the month after
      {7, "J04", Date(2001, 9, 1), true},     // a later month of an earlier year
      {7, "J05", Date(2017, 3, 1), false},    // an earlier month of a later year
      {12, "D01", Date(2016, 12, 15), true},  // joined in the working month
      {12, "D02", Date(2017, 1, 1), false},   // the month after, in the next year
      {12, "D03", Date(2015, 12, 31), true},
  };
  for (const Case& c : cases)
    addEmployee(c.code, {{"CODAFP", std::string("INTEG ")}, {"FECH_AFP", c.fechAfp}}, TableId::EmployeeMaster);
  for (int month : {7, 12}) {
    gratDate(month);
    for (const Case& c : cases)
      if (c.month == month) rollEntry(c.code, {{"MES", 6.0}, {"DSCLEY", 500.0}});
    ASSERT_TRUE(runGrat()) << msgs.all();
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.code) + " afiliado " + c.fechAfp.dmy());
    std::optional<Row> g = row(TableId::GratSoles, c.code, c.month == 7 ? "07" : "12");
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->num("TBRUTO"), 1671.75);
    EXPECT_DOUBLE_EQ(g->num("AAPOR1"), c.fund ? 50.00 : 0);
    EXPECT_DOUBLE_EQ(g->num("AAPOR2"), c.fund ? 6.80 : 0);
    EXPECT_DOUBLE_EQ(g->num("AAPOR3"), c.fund ? 7.75 : 0);
    EXPECT_DOUBLE_EQ(g->num("AFPDSC"), c.fund ? 64.55 : 0);
    EXPECT_DOUBLE_EQ(g->num("SNPT"), c.fund ? 0 : 65.00);
  }
}

TEST_F(Proce05, RefusalsBeforeAnythingIsDeleted) {
  gratDate(7);
  addEmployee("E001", {}, TableId::EmployeeMaster);
  addEmployee("E002", {{"CODAFP", std::string("PRIMA ")}, {"FECH_AFP", Date(2012, 1, 1)}},
              TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}});
  rollEntry("E002", {{"MES", 6.0}});
  // A fund without rates matters only when contributions are charged (DSCLEY).
  ASSERT_TRUE(runGrat()) << msgs.all();
  ASSERT_EQ(rows(TableId::GratSoles).size(), 2u);
  change(TableId::GratificationRoll, "E002", {{"DSCLEY", 100.0}});
  EXPECT_FALSE(runGrat());
  ASSERT_EQ(msgs.shown.size(), 2u) << msgs.all();
  EXPECT_EQ(msgs.shown[0].text, "Falta Ingresar Tasas De La AFP PRIMA  Del Mes 07");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  change(TableId::GratificationRoll, "E002", {{"DSCLEY", 0.0}});
  change(TableId::ExchangeRates, "TC0001", {{"TIP_CAM", 0.0}});
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Tipo De Cambio Dolar TC0001 En Cero, Proceso Cancelado");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  // A zero euro rate, with someone paid in euros.
  change(TableId::ExchangeRates, "TC0001", {{"TIP_CAM", 3.25}, {"TIP_CAME", 0.0}});
  change(TableId::EmployeeMaster, "E001", {{"DOLAR", std::string("E")}});
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Tipo De Cambio Euro TC0001 En Cero, Proceso Cancelado");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  EXPECT_EQ(rows(TableId::GratDollars).size(), 2u);
  change(TableId::ExchangeRates, "TC0001", {{"TIP_CAME", 3.6}});
  change(TableId::EmployeeMaster, "E001", {{"DOLAR", std::string("$")}});
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Moneda $ No Valida (S, D o E) Del Trabajador De Codigo E001      ");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  change(TableId::EmployeeMaster, "E001", {{"DOLAR", std::string(" ")}});
  // A typo in the exchange-rate code, a gratification month of the parameters that is
  // neither July nor December, a number that is none.
  EXPECT_FALSE(runGrat("TC001"));
  EXPECT_EQ(msgs.shown.back().text, "Tipo De Cambio  TC001  No Existe");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  change(TableId::Rates, "01", {{"MESAFEC", std::string("01 ENE")}});
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Mes Fuera de Parametro");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  change(TableId::Rates, "01", {{"MESAFEC", std::string("07 JUL")}});
  const std::string months = poke(TableId::GratificationRoll, "E002", "MES", "SE");
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Dato No Numerico En ge010716.dbf, Registro 2, Campo MES (SE)");
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  poke(TableId::GratificationRoll, "E002", "MES", months);
  // Another station working on the withholding table.
  auto other = Table::open(s().fs(), catalog::joinPath(dir(), def(TableId::Deductions).dbf()), OpenMode::Shared);
  ASSERT_TRUE(other.isOk());
  EXPECT_FALSE(runGrat());
  EXPECT_EQ(msgs.shown.back().text, "Apertura Denegada El Archivo Esta En Uso");
  (*other)->close();
  EXPECT_EQ(rows(TableId::GratSoles).size(), 2u);
  EXPECT_TRUE(runGrat()) << msgs.all();
}

// December, a refusal at the last record of the roll, after the others were
// calculated and their tax written into the copy of the withholding table.
TEST_F(Proce05, RefusalAtTheLastRecordLeavesEveryTableAsItWas) {
  gratDate(12);
  for (const char* code : {"E001", "E002", "E003"}) {
    addEmployee(code, {{"BAS_MEN", 6000.0}}, TableId::EmployeeMaster);
    rollEntry(code, {{"MES", 6.0}, {"DESGRAT", 120.0}});
  }
  ASSERT_TRUE(runGrat()) << msgs.all();
  std::vector<std::string> names, before;
  for (TableId id : {TableId::GratSoles, TableId::GratDollars, TableId::Deductions}) {
    names.push_back(def(id).dbf());
    before.push_back(fileBytes(names.back()));
  }
  ASSERT_TRUE(row(TableId::Deductions, "E003"));
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E003")->num("GRAF2"), 120.0);
  const std::string kept = poke(TableId::GratificationRoll, "E003", "MES", "SE");
  EXPECT_FALSE(runGrat());
  ASSERT_FALSE(msgs.shown.empty());
  EXPECT_EQ(msgs.shown[0].text, "Dato No Numerico En " + def(TableId::GratificationRoll).dbf() +
                                    ", Registro 3, Campo MES (SE)");
  for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(fileBytes(names[i]) == before[i]) << names[i];
  EXPECT_EQ(buildFiles(), "");
  poke(TableId::GratificationRoll, "E003", "MES", kept);
  EXPECT_TRUE(runGrat()) << msgs.all();
}

// ---- how the runs of the year meet --------------------------------------------------

TEST_F(Proce05, JulyResultReadByALaterMonth) {
  gratDate(7);
  addEmployee("E001", {{"BAS_MEN", 5000.0}, {"ASIGNA", 0.0}, {"QUINTA", std::string("S")}},
              TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}});
  ASSERT_TRUE(runGrat()) << msgs.all();
  EXPECT_DOUBLE_EQ(row(TableId::GratSoles, "E001", "07")->num("TBRUTO"), 5450.00);

  setDate(2016, 9, 30);
  create(TableId::ActiveEmployees);
  addEmployee("E001", {{"BAS_MEN", 5000.0}, {"ASIGNA", 0.0}, {"QUINTA", std::string("S")}});
  ASSERT_TRUE(runMonth()) << msgs.all();
  // Y = 5000 x 4 + 5450 (July result) + 5000; N = 2800; X = 224; September divides by 4.
  EXPECT_DOUBLE_EQ(row(TableId::PayrollSoles, "E001")->num("RTA_5TA"), 56.00);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("SETI"), 56.00);
  EXPECT_DOUBLE_EQ(row(TableId::Earnings, "E001")->num("SETI"), 5000.00);

  // Without the July result both gratifications are projected at T.
  removeFile("he010716.dbf");
  removeFile("he010716.cdx");
  ASSERT_TRUE(runMonth()) << msgs.all();
  EXPECT_DOUBLE_EQ(row(TableId::PayrollSoles, "E001")->num("RTA_5TA"), 47.00);
}

TEST_F(Proce05, DecemberPayrollAfterTheDecemberGratification) {
  removeFile("pm060116.dbf");
  removeFile("pm060116.cdx");
  makeFunds(10, 1.36, 1.55, 50000);
  gratDate(12);
  const Fields emp = {{"BAS_MEN", 20000.0}, {"ASIGNA", 0.0}, {"QUINTA", std::string("S")},
                      {"CODAFP", std::string("INTEG ")}, {"FECH_AFP", Date(2012, 3, 1)}};
  addEmployee("E001", emp, TableId::EmployeeMaster);
  rollEntry("E001", {{"MES", 6.0}, {"DSCLEY", 500.0}, {"DESGRAT", 120.0}});
  ASSERT_TRUE(runGrat()) << msgs.all();
  Row g = *row(TableId::GratSoles, "E001");
  EXPECT_DOUBLE_EQ(g.num("RTA_5TA"), 120.00);
  EXPECT_DOUBLE_EQ(g.num("BONIFI"), 1755.00);
  EXPECT_DOUBLE_EQ(g.num("TBRUTO"), 21755.00);
  EXPECT_DOUBLE_EQ(g.num("AAPOR2"), 6.80);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("GRAF2"), 120.00);
  EXPECT_DOUBLE_EQ(row(TableId::Deductions, "E001")->num("TOT"), 120.00);

  create(TableId::ActiveEmployees);
  addEmployee("E001", emp);
  ASSERT_TRUE(runMonth()) << msgs.all();
  Row r = *row(TableId::PayrollSoles, "E001");
  EXPECT_DOUBLE_EQ(r.num("AAPOR2"), 265.20);  // 20000 x 1.36% - 6.80
  // Y = 20000 + 20000 (no July result) + 21755; N = 34105; X = 3589.70; minus GRAF2.
  EXPECT_DOUBLE_EQ(r.num("RTA_5TA"), 3469.70);
  Row w = *row(TableId::Deductions, "E001");
  EXPECT_DOUBLE_EQ(w.num("DIC"), 3469.70);
  EXPECT_DOUBLE_EQ(w.num("TOT"), 3589.70);
  EXPECT_DOUBLE_EQ(w.num("GRAF2"), 120.00);
}

TEST_F(Proce05, RollCodeMissingFromTheMasterChangesNothing) {
  gratDate(12);
  addEmployee("E001", {}, TableId::EmployeeMaster);
  rollEntry("E404", {{"MES", 6.0}, {"DESGRAT", 50.0}});
  const std::string before = fileBytes("rete0116.dbf");
  ASSERT_TRUE(runGrat()) << msgs.all();
  EXPECT_TRUE(rows(TableId::GratSoles).empty());
  EXPECT_EQ(fileBytes("rete0116.dbf"), before);
}

}  // namespace
}  // namespace planilla::calc
