// The table catalog: file-name rules, layouts, bags and tags, create on first use.
#include "store/catalog.h"

#include <set>

#include <gtest/gtest.h>

#include "store/tests/store_test_util.h"
#include "store/verify.h"

namespace planilla {
namespace {

using catalog::Period;
using catalog::TableId;
using testing::ScratchDir;

const Period kMarch16{"01", "03", "16"};

std::string blanks(size_t n) { return std::string(n, ' '); }

std::unique_ptr<Table> mustOpen(FileSystem& fs, const std::string& dir, TableId id, const Period& p,
                                OpenMode mode = OpenMode::Exclusive) {
  auto t = catalog::openTable(fs, dir, catalog::define(id, p), mode);
  EXPECT_TRUE(t.isOk()) << t.status().message();
  if (!t) return nullptr;
  return std::move(*t);
}

void expectClean(FileSystem& fs, const std::string& dir, const catalog::TableDef& def) {
  std::vector<std::string> bags;
  for (const auto& b : def.bags()) bags.push_back(catalog::joinPath(dir, b));
  std::vector<std::string> problems;
  Status st = verifyTable(fs, catalog::joinPath(dir, def.dbf()), bags, problems);
  ASSERT_TRUE(st.isOk()) << st.message();
  for (const auto& p : problems) ADD_FAILURE() << def.dbf() << ": " << p;
}

// --- file names ----------------------------------------------------------------------

TEST(CatalogNames, Company01OnMarch15th2016) {
  auto master = catalog::define(TableId::EmployeeMaster, kMarch16);
  EXPECT_EQ(master.dbf(), "pmae0101.dbf");
  EXPECT_EQ(master.bags(), (std::vector<std::string>{"pmae0101.cdx", "pmno0101.cdx"}));
  EXPECT_EQ(catalog::baseName(TableId::IncomeEntries, kMarch16), "ph010316");
  auto active = catalog::define(TableId::ActiveEmployees, kMarch16);
  EXPECT_EQ(active.dbf(), "p9031601.dbf");
  EXPECT_EQ(active.bags(), (std::vector<std::string>{"p9031601.cdx", "p8031601.cdx"}));
  EXPECT_EQ(catalog::baseName(TableId::ExchangeRates, kMarch16), "tcam16");
  EXPECT_EQ(catalog::baseName(TableId::PensionFunds, kMarch16), "pm060116");
  EXPECT_EQ(catalog::baseName(TableId::CtsMay, kMarch16), "cts10116");
  EXPECT_EQ(catalog::baseName(TableId::CtsNovember, kMarch16), "cts20116");
  EXPECT_EQ(catalog::baseName(TableId::PayrollSoles, kMarch16), "e2010316");
  EXPECT_EQ(catalog::baseName(TableId::PayrollDollars, kMarch16), "e1010316");
  EXPECT_EQ(catalog::baseName(TableId::Rates, kMarch16), "pmae0501");
  EXPECT_EQ(catalog::baseName(TableId::Banks, kMarch16), "bmae0101");
  EXPECT_EQ(catalog::baseName(TableId::Institutions, kMarch16), "pmae0001");
  EXPECT_EQ(catalog::baseName(TableId::Users, kMarch16), "kylusua");
}

TEST(CatalogNames, FirstOfJanuaryUsesMonth00) {
  const Period jan1{"01", "00", "16"};
  EXPECT_EQ(catalog::define(TableId::IncomeEntries, jan1).dbf(), "ph010016.dbf");
  EXPECT_EQ(catalog::baseName(TableId::VacationRoll, jan1), "ve010016");
  EXPECT_EQ(catalog::baseName(TableId::ActiveEmployees, jan1), "p9001601");
}

TEST(CatalogNames, JulyGratificationNamedExplicitly) {
  Period july = kMarch16;
  july.mes = "07";
  EXPECT_EQ(catalog::baseName(TableId::GratSoles, july), "he010716");
}

TEST(CatalogNames, EveryBaseNameFitsEightCharactersAndTagNamesTen) {
  for (TableId id : catalog::allTables()) {
    auto def = catalog::define(id, kMarch16);
    EXPECT_LE(def.base.size(), 8u) << def.base;
    EXPECT_FALSE(def.base.empty());
    for (const auto& t : def.tags) {
      EXPECT_LE(t.bag.size(), 8u) << t.bag;
      EXPECT_LE(t.name.size(), 10u) << t.name;
      EXPECT_FALSE(t.key.empty());
    }
    for (const auto& f : def.fields) EXPECT_LE(f.name.size(), 10u) << f.name;
  }
}

// --- layouts -------------------------------------------------------------------------

TEST(CatalogLayouts, EmployeeMasterHas73FieldsWithTwoMovili) {
  const auto& f = catalog::employeeFields();
  ASSERT_EQ(f.size(), 73u);
  EXPECT_EQ(f[29].name, "movili");
  EXPECT_EQ(f[29].width, 7);
  EXPECT_EQ(f[29].decimals, 2);
  EXPECT_EQ(f[69].name, "movili");
  EXPECT_EQ(f[69].width, 10);
  EXPECT_EQ(f[0].name, "codigo");
  EXPECT_EQ(f[59].name, "baja");
  EXPECT_EQ(f[72].name, "Plani");
  int recordLength = 1;
  for (const auto& x : f) recordLength += x.width;
  EXPECT_EQ(recordLength, 632);
}

TEST(CatalogLayouts, FieldCountsOfTheCreatedTables) {
  EXPECT_EQ(catalog::ratesFields().size(), 41u);
  EXPECT_EQ(catalog::define(TableId::PrePayroll, kMarch16).fields.size(), 63u);
  EXPECT_EQ(catalog::define(TableId::Earnings, kMarch16).fields.size(), 17u);
  EXPECT_EQ(catalog::define(TableId::Deductions, kMarch16).fields.size(), 17u);
  EXPECT_EQ(catalog::define(TableId::Health, kMarch16).fields.size(), 27u);
  EXPECT_EQ(catalog::define(TableId::CtsMay, kMarch16).fields.size(), 16u);
  EXPECT_EQ(catalog::define(TableId::IncomeEntries, kMarch16).fields.size(), 17u);
  EXPECT_EQ(catalog::define(TableId::ExchangeRates, kMarch16).fields.size(), 9u);
  EXPECT_EQ(catalog::define(TableId::PensionFunds, kMarch16).fields.size(), 8u);
  EXPECT_EQ(catalog::define(TableId::Banks, kMarch16).fields.size(), 5u);
  EXPECT_EQ(catalog::define(TableId::AccountingParams, kMarch16).fields.size(), 6u);
  EXPECT_EQ(catalog::activeCarriedFields().size(), 45u);
  const auto pre = catalog::define(TableId::PrePayroll, kMarch16).fields;
  EXPECT_EQ(pre[14].name, "enesnp");
  EXPECT_EQ(pre[61].name, "dicap3");
  EXPECT_EQ(pre[62].name, "tot");
  EXPECT_EQ(pre[62].width, 14);
}

TEST(CatalogLayouts, CodeTablesBySelector) {
  struct Want {
    int selector;
    std::string base;
    int code, name, codnom;
  };
  const Want wants[] = {{1, "pmae0401", 6, 45, 52}, {2, "pmae0201", 6, 50, 57}, {3, "pmae0301", 2, 50, 52},
                        {7, "pmae0701", 2, 50, 53}, {8, "pmae0801", 2, 50, 52}, {9, "pmae0901", 1, 50, 52},
                        {10, "pmae1001", 1, 50, 52}};
  for (const auto& w : wants) {
    TableId id;
    ASSERT_TRUE(catalog::codeTableId(w.selector, &id)) << w.selector;
    auto def = catalog::define(id, kMarch16);
    EXPECT_EQ(def.base, w.base);
    ASSERT_EQ(def.fields.size(), 3u);
    EXPECT_EQ(def.fields[0].width, w.code) << w.base;
    EXPECT_EQ(def.fields[1].width, w.name) << w.base;
    EXPECT_EQ(def.fields[2].width, w.codnom) << w.base;
  }
  TableId id;
  EXPECT_FALSE(catalog::codeTableId(4, &id));
  EXPECT_FALSE(catalog::codeTableId(0, &id));
}

TEST(CatalogLayouts, TemplatesCarryWhatTheRunsWrite) {
  std::set<std::string> names;
  for (const auto& f : catalog::calcTemplateFields()) names.insert(f.name);
  for (const char* n : {"codigo", "nombre", "bas_men", "bas_qui", "tbruto", "t_dsctot", "t_dsctoe", "tpagar",
                        "aapor1", "aapor2", "aapor3", "afpdsc", "rta_5ta", "hsimple_p", "hdoble_p", "subsi",
                        "HorasTra", "Plani", "ipsse", "fonavie", "snpe", "bonifi", "refrig"})
    EXPECT_TRUE(names.count(n)) << n;
  for (const auto& f : catalog::calcTemplateFields())
    if (f.type == 'N' && f.decimals == 2) {
      EXPECT_EQ(f.width, 14) << f.name;
    }
  names.clear();
  for (const auto& f : catalog::rollTemplateFields()) names.insert(f.name);
  for (const char* n : {"codigo", "nombre", "control", "inivaca", "finvaca", "diavac", "difvac", "mes", "dia",
                        "dscto", "desgrat", "dscley", "indica"})
    EXPECT_TRUE(names.count(n)) << n;
}

// --- create on first use -------------------------------------------------------------

TEST(CatalogCreate, NewEmployeeMasterReadsMoviliFromField30) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto def = catalog::define(TableId::EmployeeMaster, kMarch16);
  bool created = false;
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def, &created).isOk());
  EXPECT_TRUE(created);
  auto t = mustOpen(fs, dir.path(), TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->fieldCount(), 73);
  EXPECT_EQ(t->fieldIndex("movili"), 29);
  EXPECT_EQ(t->fieldIndex("MOVILI"), 29);
  ASSERT_TRUE(t->appendBlank().isOk());
  ASSERT_TRUE(t->replace("codigo", "A1").isOk());
  ASSERT_TRUE(t->replace("movili", 123.45).isOk());
  EXPECT_DOUBLE_EQ(t->num(29), 123.45);
  EXPECT_EQ(t->str(69), blanks(10));  // the second movili is left alone
  EXPECT_EQ(t->str(29), " 123.45");
  t->close();
  // A second call leaves the file as it is.
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def, &created).isOk());
  EXPECT_FALSE(created);
  t = mustOpen(fs, dir.path(), TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recordCount(), 1u);
}

TEST(CatalogCreate, RatesTableHoldsExactlyOneBlankRecord) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto def = catalog::define(TableId::Rates, kMarch16);
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def).isOk());
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def).isOk());
  auto t = mustOpen(fs, dir.path(), TableId::Rates, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->fieldCount(), 41);
  EXPECT_EQ(t->recordCount(), 1u);
  ASSERT_TRUE(t->goTop().isOk());
  ASSERT_FALSE(t->eof());
  EXPECT_EQ(t->str("codigo"), blanks(6));
  EXPECT_EQ(t->num("uit2"), 0.0);
  EXPECT_EQ(t->str("carpeta"), blanks(11));
  // The blank record is in the index: a seek of the blank code finds it.
  EXPECT_TRUE(t->seek(blanks(6)));
  t->close();
  expectClean(fs, dir.path(), def);
}

TEST(CatalogCreate, CodeOrderFirstNameOrderSecond) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto def = catalog::define(TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def).isOk());
  auto t = mustOpen(fs, dir.path(), TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(t);
  const std::pair<const char*, const char*> people[] = {
      {"B2", "ZAPATA, ANA"}, {"A1", "MEDINA, LUIS"}, {"C3", "ALVA, ROSA"}};
  for (const auto& [code, name] : people) {
    ASSERT_TRUE(t->appendBlank().isOk());
    ASSERT_TRUE(t->replace("codigo", code).isOk());
    ASSERT_TRUE(t->replace("nombre", name).isOk());
  }
  ASSERT_EQ(t->tagCount(), 2);
  EXPECT_EQ(t->order(), 1);
  ASSERT_TRUE(t->goTop().isOk());
  EXPECT_EQ(t->str("codigo"), "A1" + blanks(8));
  ASSERT_TRUE(t->setOrder(2).isOk());
  ASSERT_TRUE(t->goTop().isOk());
  EXPECT_EQ(t->str("codigo"), "C3" + blanks(8));
  EXPECT_TRUE(t->seek("MEDINA"));
  EXPECT_EQ(t->str("codigo"), "A1" + blanks(8));
  t->close();
  expectClean(fs, dir.path(), def);
}

TEST(CatalogCreate, ActiveEmployeesCopyTheMasterWithoutTerminated) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), catalog::define(TableId::EmployeeMaster, kMarch16)).isOk());
  {
    auto m = mustOpen(fs, dir.path(), TableId::EmployeeMaster, kMarch16);
    ASSERT_TRUE(m);
    struct E {
      const char* code;
      const char* baja;
      double basMen;
    };
    for (const E& e : {E{"E3", " ", 3000}, E{"E1", "1", 1000}, E{"E2", "", 2000}, E{"E4", "2", 4000}}) {
      ASSERT_TRUE(m->appendBlank().isOk());
      ASSERT_TRUE(m->replace("codigo", e.code).isOk());
      ASSERT_TRUE(m->replace("nombre", std::string("EMPLEADO ") + e.code).isOk());
      ASSERT_TRUE(m->replace("baja", e.baja).isOk());
      ASSERT_TRUE(m->replace("bas_men", e.basMen).isOk());
      ASSERT_TRUE(m->replace("bas_dia", e.basMen / 30).isOk());   // not carried
      ASSERT_TRUE(m->replace("fraccion", 4.0).isOk());           // not carried
      ASSERT_TRUE(m->replace("dia_tra", 30.0).isOk());           // carried
      ASSERT_TRUE(m->replace("fech_ing", Date(2015, 2, 3)).isOk());
    }
    // A record marked deleted is not copied either.
    ASSERT_TRUE(m->appendBlank().isOk());
    ASSERT_TRUE(m->replace("codigo", "E9").isOk());
    ASSERT_TRUE(m->markDeleted().isOk());
  }
  auto def = catalog::define(TableId::ActiveEmployees, kMarch16);
  bool created = false;
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def, &created).isOk());
  EXPECT_TRUE(created);
  auto t = mustOpen(fs, dir.path(), TableId::ActiveEmployees, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->fieldCount(), 73);
  EXPECT_EQ(t->recordCount(), 2u);
  ASSERT_TRUE(t->goTop().isOk());
  EXPECT_EQ(t->str("codigo"), "E2" + blanks(8));
  EXPECT_DOUBLE_EQ(t->num("bas_men"), 2000);
  EXPECT_DOUBLE_EQ(t->num("dia_tra"), 30);
  EXPECT_EQ(t->date("fech_ing"), Date(2015, 2, 3));
  EXPECT_EQ(t->num("bas_dia"), 0.0);
  EXPECT_EQ(t->num("fraccion"), 0.0);
  ASSERT_TRUE(t->skip(1).isOk());
  EXPECT_EQ(t->str("codigo"), "E3" + blanks(8));
  ASSERT_TRUE(t->skip(1).isOk());
  EXPECT_TRUE(t->eof());
  t->close();
  expectClean(fs, dir.path(), def);
}

TEST(CatalogCreate, ActiveEmployeesNeedTheMaster) {
  ScratchDir dir;
  Status st = catalog::ensureTable(platformFileSystem(), dir.path(), catalog::define(TableId::ActiveEmployees, kMarch16));
  EXPECT_EQ(st.code(), ErrorCode::NotFound);
  EXPECT_FALSE(platformFileSystem().exists(dir.file("p9031601.dbf")));
}

TEST(CatalogCreate, RollsComeFromTemplate14) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto ve = catalog::define(TableId::VacationRoll, kMarch16);
  Status st = catalog::ensureTable(fs, dir.path(), ve);
  EXPECT_EQ(st.code(), ErrorCode::NotFound);
  EXPECT_EQ(st.message(), "WARNING 14P");
  EXPECT_FALSE(fs.exists(dir.file("ve010316.dbf")));

  ASSERT_TRUE(catalog::createWithTags(fs, dir.path(), catalog::define(TableId::RollTemplate, kMarch16)).isOk());
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), ve).isOk());
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), catalog::define(TableId::GratificationRoll, kMarch16)).isOk());
  auto t = mustOpen(fs, dir.path(), TableId::VacationRoll, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->fieldCount(), static_cast<int>(catalog::rollTemplateFields().size()));
  EXPECT_EQ(t->tagCount(), 1);
  auto g = mustOpen(fs, dir.path(), TableId::GratificationRoll, kMarch16);
  ASSERT_TRUE(g);
  ASSERT_EQ(g->tagCount(), 1);
  EXPECT_EQ(g->tagName(1), "GE010316");  // single-index tag named after its bag
}

TEST(CatalogCreate, CalculatedFilesRecreatedEmptyFromTemplate18) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto e2 = catalog::define(TableId::PayrollSoles, kMarch16);
  Status st = catalog::recreateCalcFile(fs, dir.path(), e2);
  EXPECT_EQ(st.code(), ErrorCode::NotFound);
  EXPECT_EQ(st.message(), "WARNING  P18!!  ");

  ASSERT_TRUE(catalog::createWithTags(fs, dir.path(), catalog::define(TableId::CalcTemplate, kMarch16)).isOk());
  ASSERT_TRUE(catalog::recreateCalcFile(fs, dir.path(), e2).isOk());
  {
    auto t = mustOpen(fs, dir.path(), TableId::PayrollSoles, kMarch16);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->appendBlank().isOk());
    ASSERT_TRUE(t->replace("codigo", "X").isOk());
    ASSERT_TRUE(t->replace("tpagar", 1234567.89).isOk());
    EXPECT_EQ(t->recordCount(), 1u);
  }
  // Another station holding the file: refused, and nothing is lost.
  {
    auto holder = mustOpen(fs, dir.path(), TableId::PayrollSoles, kMarch16, OpenMode::Shared);
    ASSERT_TRUE(holder);
    st = catalog::recreateCalcFile(fs, dir.path(), e2);
    EXPECT_EQ(st.code(), ErrorCode::InUse) << st.message();
    EXPECT_EQ(holder->recordCount(), 1u);
  }
  ASSERT_TRUE(catalog::recreateCalcFile(fs, dir.path(), e2).isOk());
  auto t = mustOpen(fs, dir.path(), TableId::PayrollSoles, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recordCount(), 0u);
  EXPECT_EQ(t->fieldCount(), static_cast<int>(catalog::calcTemplateFields().size()));
  EXPECT_EQ(t->tagCount(), 1);
}

TEST(CatalogCreate, ShippedAndExternalTablesAreNeverCreatedOnUse) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  for (TableId id : {TableId::Institutions, TableId::Users, TableId::ExtraGrat, TableId::PayrollSoles,
                     TableId::ReportWork}) {
    auto def = catalog::define(id, kMarch16);
    EXPECT_EQ(catalog::ensureTable(fs, dir.path(), def).code(), ErrorCode::Unsupported) << def.base;
    EXPECT_FALSE(catalog::tableExists(fs, dir.path(), def));
  }
}

// --- opening and reindexing ---------------------------------------------------------

TEST(CatalogOpen, MissingBagIsReportedNotRebuilt) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto def = catalog::define(TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def).isOk());
  ASSERT_TRUE(fs.remove(dir.file("pmno0101.cdx")).isOk());
  auto t = catalog::openTable(fs, dir.path(), def, OpenMode::Exclusive);
  ASSERT_FALSE(t.isOk());
  EXPECT_EQ(t.status().code(), ErrorCode::NotFound);
  EXPECT_NE(t.status().message().find("pmno0101.cdx"), std::string::npos);
  EXPECT_FALSE(fs.exists(dir.file("pmno0101.cdx")));
  // The file names match without regard to case.
  std::filesystem::rename(dir.file("pmae0101.dbf"), dir.file("PMAE0101.DBf"));
#ifndef _WIN32  // Windows itself finds names without regard to case
  ASSERT_FALSE(std::filesystem::exists(dir.file("pmae0101.dbf")));
#endif
  EXPECT_TRUE(catalog::tableExists(fs, dir.path(), def));
}

TEST(CatalogOpen, RebuildIndexesRestoresBagsAndPacks) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto def = catalog::define(TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(catalog::ensureTable(fs, dir.path(), def).isOk());
  {
    auto t = mustOpen(fs, dir.path(), TableId::EmployeeMaster, kMarch16);
    ASSERT_TRUE(t);
    for (const char* code : {"C", "A", "B"}) {
      ASSERT_TRUE(t->appendBlank().isOk());
      ASSERT_TRUE(t->replace("codigo", code).isOk());
      ASSERT_TRUE(t->replace("nombre", std::string("N") + code).isOk());
    }
    ASSERT_TRUE(t->seek("A"));
    ASSERT_TRUE(t->markDeleted().isOk());
  }
  ASSERT_TRUE(fs.remove(dir.file("pmae0101.cdx")).isOk());
  // Another station holding the table: refused, nothing deleted.
  {
    auto holder = Table::open(fs, dir.file("pmae0101.dbf"), OpenMode::Shared, "otro");
    ASSERT_TRUE(holder.isOk());
    EXPECT_EQ(catalog::rebuildIndexes(fs, dir.path(), def).code(), ErrorCode::InUse);
    EXPECT_TRUE(fs.exists(dir.file("pmno0101.cdx")));
  }
  ASSERT_TRUE(catalog::rebuildIndexes(fs, dir.path(), def).isOk());
  auto t = mustOpen(fs, dir.path(), TableId::EmployeeMaster, kMarch16);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recordCount(), 2u);  // packed
  ASSERT_TRUE(t->goTop().isOk());
  EXPECT_EQ(t->str("codigo"), "B" + blanks(9));
  EXPECT_FALSE(t->seek("A"));
  EXPECT_TRUE(t->eof());
  t->close();
  expectClean(fs, dir.path(), def);
}

TEST(CatalogOpen, ShippedFilesWithTheirTags) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  auto users = catalog::define(TableId::Users, kMarch16);
  ASSERT_TRUE(catalog::createWithTags(fs, dir.path(), users).isOk());
  EXPECT_EQ(catalog::createWithTags(fs, dir.path(), users).code(), ErrorCode::Invalid);
  auto t = mustOpen(fs, dir.path(), TableId::Users, kMarch16);
  ASSERT_TRUE(t);
  for (const auto& [pass, fn] : {std::pair{"CLAVE2", "FUN002"}, std::pair{"CLAVE1", "FUN009"}}) {
    ASSERT_TRUE(t->appendBlank().isOk());
    ASSERT_TRUE(t->replace("INICIA", pass).isOk());
    ASSERT_TRUE(t->replace("FUNCION", fn).isOk());
  }
  // The key is INICIA + FUNCION: a password alone matches as a prefix.
  EXPECT_TRUE(t->seek("CLAVE1    "));
  EXPECT_EQ(t->str("FUNCION"), "FUN009    ");
  EXPECT_FALSE(t->seek("CLAVE     "));
}

}  // namespace
}  // namespace planilla
