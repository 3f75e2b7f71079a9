// The command line in front of damaged or interrupted files, on a demonstration
// installation made by `planilla init`: `reindexar` repairs what it must (the users
// and institution indexes included), `calcular` refuses a table whose index lacks its
// tag instead of computing a wrong month, and `verificar` reports missing and empty
// bags, missing tags and records past the header's count.
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/tests/cli_util.h"
#include "store/catalog.h"
#include "store/index.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

using testing::runPlanilla;

class CliRepair : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(testing::planillaBinary())) GTEST_SKIP() << "no existe el ejecutable planilla";
    data = scratch.file("d");
    testing::Run r = runPlanilla(scratch.path(), {"init", "d", "--demo", "--fecha", "31/07/2016"});
    ASSERT_EQ(r.code, 0) << r.err;
  }
  std::string file(const std::string& name) const { return catalog::joinPath(data, name); }
  // What an index build cut short used to leave: the bag with its tag directory only.
  void emptyBag(const std::string& table, const std::string& bag) {
    auto t = Table::openReadOnly(platformFileSystem(), file(table));
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE(IndexBag::create(platformFileSystem(), file(bag), (*t)->recordLayout()).isOk());
  }
  testing::Run planilla(const std::vector<std::string>& args) { return runPlanilla(data, args); }
  testing::Run calcular() { return planilla({"calcular", "--cia", "01", "--tc", "07 31", "--sin-gratificacion"}); }

  testutil::TempDir scratch{"planilla-cli"};
  std::string data;
};

TEST_F(CliRepair, ReindexarRepairsTheUsersAndInstitutionIndexesItLogsInWith) {
  for (const char* base : {"kylusua", "pmae0001"}) {
    SCOPED_TRACE(base);
    const std::string bag = std::string(base) + ".cdx";
    emptyBag(std::string(base) + ".dbf", bag);
    testing::Run r = planilla({"reindexar", "--cia", "01"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(bag), std::string::npos) << r.err;  // the warning names the index
    EXPECT_NE(r.out.find(std::string(base) + ".dbf: reindexado"), std::string::npos) << r.out;
    r = planilla({"reindexar", "--cia", "01"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = planilla({"verificar", std::string(base) + ".dbf"});
    EXPECT_EQ(r.out, "OK\n");
  }
}

TEST_F(CliRepair, CalcularRefusesATableWhoseIndexLacksItsTagAndReindexRepairs) {
  // The month as an uninterrupted run computes it, on a copy.
  const std::string ref = scratch.file("ref");
  std::filesystem::copy(data, ref);
  testing::Run r = runPlanilla(ref, {"calcular", "--cia", "01", "--tc", "07 31", "--sin-gratificacion"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto expected = testing::liveRecords(ref);

  for (const char* base : {"rete0116", "habe0116", "ph010716", "p9071601"}) {
    SCOPED_TRACE(base);
    emptyBag(std::string(base) + ".dbf", std::string(base) + ".cdx");
    r = calcular();
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.err.find("Fin De Proceso"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::string(base) + ".cdx"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Reindexe"), std::string::npos) << r.err;
    ASSERT_EQ(planilla({"reindexar", "--cia", "01"}).code, 0);
  }
  r = calcular();
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(testing::differingTables(testing::liveRecords(data), expected), "");
}

TEST_F(CliRepair, VerificarReportsMissingAndEmptyBagsAndRecordsPastTheCount) {
  emptyBag("pmae0101.dbf", "pmno0101.cdx");
  std::filesystem::remove(file("p8071601.cdx"));
  testing::appendPastCount(file("tcam16.dbf"));

  struct Case {
    const char* table;
    const char* problem;
  };
  for (const Case& c : {Case{"pmae0101.dbf", "pmno0101.cdx: falta la etiqueta NOMBRE que usa el sistema"},
                        Case{"pmae0101.dbf", "pmno0101.cdx: el indice no tiene etiquetas"},
                        Case{"p9071601.dbf", "no existe el indice p8071601.cdx"},
                        Case{"tcam16.dbf", "1 registro(s) despues del registro "}}) {
    SCOPED_TRACE(c.problem);
    testing::Run r = planilla({"verificar", c.table});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find(c.problem), std::string::npos) << r.out;
  }
  testing::Run r = planilla({"reindexar", "--cia", "01"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("tcam16.dbf: se descartaron 1 registro(s)"), std::string::npos) << r.err;
  for (const char* table : {"pmae0101.dbf", "p9071601.dbf", "tcam16.dbf"}) {
    r = planilla({"verificar", table});
    EXPECT_EQ(r.out, "OK\n") << table;
  }
}

TEST_F(CliRepair, ReindexarNamesTheFileOnceInItsErrors) {
  std::filesystem::resize_file(file("pmae0401.dbf"), 200);  // cut inside its records
  testing::Run r = planilla({"reindexar", "--cia", "01"});
  EXPECT_EQ(r.code, 1);
  size_t line = r.err.find("pmae0401.dbf");
  ASSERT_NE(line, std::string::npos) << r.err;
  const std::string text = r.err.substr(line, r.err.find('\n', line) - line);
  EXPECT_EQ(text.find("pmae0401.dbf", 1), std::string::npos) << text;
  EXPECT_NE(r.out.find("pmae0501.dbf: reindexado"), std::string::npos);  // the others go on
}

TEST_F(CliRepair, AReadOnlyDataDirectoryIsReportedAsSuch) {
  if (::geteuid() == 0) GTEST_SKIP() << "como administrador los permisos no impiden escribir";
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(data))
    fs::permissions(e.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  fs::permissions(data, fs::perms::owner_write, fs::perm_options::remove);
  testing::Run r = planilla({"reindexar", "--cia", "01"});
  fs::permissions(data, fs::perms::owner_write, fs::perm_options::add);
  for (const auto& e : fs::directory_iterator(data))
    fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("permiso denegado"), std::string::npos) << r.err;
  for (const char* wrong : {"Registro En Uso", "No Existe", "Esta En Uso"})
    EXPECT_EQ(r.err.find(wrong), std::string::npos) << r.err;
}

}  // namespace
}  // namespace planilla
