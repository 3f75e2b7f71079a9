// The utilities of the tools menu: the reindex of each selector, refusals while another
// station holds a table open, blanking the month's active employees, and the migration
// of an older employee master (with an interruption at every write).
#include <filesystem>
#include <fstream>

#include "admin/tests/admin_test_util.h"
#include "admin/utilities.h"
#include "session/tables.h"
#include "store/io_faulty.h"
#include "ui/text1252.h"

namespace planilla::admin {
namespace {

using catalog::TableId;
using testing::DemoFixture;
using testing::readAll;
using testing::snapshot;
using testing::verifyAll;
using ui::MsgKind;

// Message boxes that nobody answers (the migration under injected faults).
struct Quiet : ui::Messages {
  bool show(ui::MsgKind, const std::string&, const std::string&) override { return true; }
};

class Utilities : public DemoFixture {
 protected:
  void SetUp() override {
    DemoFixture::SetUp();
    chooseDemoDate();  // company 01, 31/03/2025: period files ...0325, p9032501
  }
  std::string path(const std::string& name) const { return dir.file(name); }
  // Appends a record and marks it deleted, so the reindex has one to remove.
  void addDeleted(const catalog::TableDef& def) {
    auto t = Table::open(platformFileSystem(), path(def.dbf()), OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    ASSERT_TRUE((*t)->appendBlank().isOk());
    ASSERT_TRUE((*t)->markDeleted().isOk());
    (*t)->close();
  }
};

TEST_F(Utilities, EachSelectorRebuildsItsTablesBagsAndRemovesDeletedRecords) {
  // The calculated files come from the runs: made empty here.
  ASSERT_TRUE(recreateCalcFile(s(), s().def(TableId::PayrollSoles)));
  ASSERT_TRUE(recreateCalcFile(s(), s().def(TableId::GratSoles)));
  for (const auto& sel : reindexSelectors()) {
    SCOPED_TRACE(sel.n);
    catalog::TableDef def;
    ASSERT_TRUE(reindexTableOf(s(), sel.n, &def));
    ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir.path(), def).isOk());
    const size_t live = readAll(dir.path(), def).rows.size();
    addDeleted(def);
    for (const auto& bag : def.bags()) std::filesystem::remove(path(bag));  // lost index files

    tk.expectDialog("INDEX01HONORA", ui::utf8To1252(sel.title))
        .press(301)
        .expectMessage(MsgKind::Info, "Fin De Proceso", "Mensaje");
    F_102PLAREIN(s(), tk, sel.n);
    EXPECT_TRUE(tk.ok()) << tk.report();
    tk.reset();

    EXPECT_EQ(readAll(dir.path(), def).physical, live);  // the deleted record is gone for good
    std::vector<std::string> problems;
    EXPECT_TRUE(verifyTable(platformFileSystem(), path(def.dbf()), {}, problems, catalogExpectations(path(def.dbf())))
                    .isOk());
    EXPECT_TRUE(problems.empty()) << problems.front();
    auto t = catalog::openTable(platformFileSystem(), dir.path(), def, OpenMode::Shared);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    EXPECT_EQ((*t)->tagCount(), static_cast<int>(def.tags.size()));  // 18, 19: the codigo tag too
  }
  EXPECT_EQ(s().current(), nullptr);  // every table closed
}

// Each utility while a second station has its file open: refused with its message,
// and every file of the directory byte for byte as before.
TEST_F(Utilities, RefusedWhileAnotherStationHoldsTheFileOpen) {
  ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir.path(), s().def(TableId::AccountingParams)).isOk());
  struct Case {
    const char* held;
    std::function<void(Session&, ui::Toolkit&)> run;
    const char* message;
  };
  const Case cases[] = {
      {"bmae0101.dbf", [](Session& s, ui::Toolkit& tk) { F_102PLAREIN(s, tk, 15); },
       "Apertura Denegada El Archivo Esta Esta En Uso"},
      {"pmno0101.cdx", [](Session& s, ui::Toolkit& tk) { F_102PLAREIN(s, tk, 1); },
       "Apertura Denegada El Archivo Esta Esta En Uso"},
      {"kylusua.dbf", [](Session& s, ui::Toolkit& tk) { F_105REIN(s, tk); },
       "Apertura Denegada El Archivo Esta En Uso"},
      {"paracont.dbf", [](Session& s, ui::Toolkit& tk) { F_109REIN(s, tk); },
       "Apertura Denegada El Archivo Esta Bloqueado"},
      {"p9032501.dbf", [](Session& s, ui::Toolkit& tk) { F_P888(s, tk); },
       "No Se Puede Borrar p9032501.dbf : El Archivo Esta En Uso En Otra Estacion"},
      {"p8032501.cdx", [](Session& s, ui::Toolkit& tk) { F_P888(s, tk); },
       "No Se Puede Borrar p8032501.cdx : El Archivo Esta En Uso En Otra Estacion"},
      {"pmae0101.dbf", [](Session& s, ui::Toolkit& tk) { F_MAESEMPLEADATA(s, tk); },
       "Apertura Denegada El Archivo Esta En Uso"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held);
    const auto before = snapshot(dir.path());
    auto other = platformFileSystem().open(path(c.held), OpenOptions{});  // the other station
    ASSERT_TRUE(other.isOk());
    const bool migration = std::string(c.held) == "pmae0101.dbf";
    tk.expectDialog(migration ? "MAYORIZACIONCONTABLE" : "INDEX01HONORA")
        .press(301)
        .expectMessage(MsgKind::Stop, c.message, "Mensaje");
    c.run(s(), tk);
    EXPECT_TRUE(tk.ok()) << tk.report();
    tk.reset();
    EXPECT_TRUE(snapshot(dir.path()) == before);
  }
}

TEST_F(Utilities, BlankedActiveEmployeesAreBuiltAnewFromTheMaster) {
  const catalog::TableDef active = s().def(TableId::ActiveEmployees);
  ASSERT_TRUE(exists("p9032501.dbf"));
  // A month's change that the rebuild must not keep.
  addDeleted(active);
  tk.expectDialog("INDEX01HONORA", "Empleados Activos").press(301).expectMessage(MsgKind::Info, "Fin De Proceso", "Mensaje");
  F_P888(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(exists("p9032501.dbf"));
  EXPECT_FALSE(exists("p9032501.cdx"));
  EXPECT_FALSE(exists("p8032501.cdx"));

  ASSERT_NE(openOwnTable(s(), TableId::ActiveEmployees, 1), nullptr);
  s().closeAll();
  size_t working = 0;
  for (auto& r : readAll(dir.path(), s().def(TableId::EmployeeMaster)).rows) working += r["baja"] == " ";
  EXPECT_GT(working, 0u);
  EXPECT_EQ(readAll(dir.path(), active).physical, working);
  EXPECT_TRUE(verifyAll(dir.path()).empty());
}

// An employee master in an older layout of 60 fields: the first 59 of today's, with
// `nombre` 40 wide, then a field today's layout lacks.
class Migration : public Utilities {
 protected:
  void SetUp() override {
    Utilities::SetUp();
    catalog::TableDef old = s().def(TableId::EmployeeMaster);
    old.fields.assign(catalog::employeeFields().begin(), catalog::employeeFields().begin() + 59);
    old.fields[1].width = 40;
    old.fields.push_back({"antiguo", 'C', 5, 0});
    ASSERT_EQ(old.fields.size(), 60u);
    for (const char* f : {"pmae0101.dbf", "pmae0101.cdx", "pmno0101.cdx"}) std::filesystem::remove(path(f));
    ASSERT_TRUE(catalog::createWithTags(platformFileSystem(), dir.path(), old).isOk());
    auto t = catalog::openTable(platformFileSystem(), dir.path(), old, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    struct Row { const char* code; const char* name; double movili; bool deleted; };
    for (Row r : {Row{"E2", "ZAPATA LUIS", 125.5, false}, Row{"E1", "ALVA ROSA", 0, true},
                  Row{"E3", "BRAVO ANA", 80.25, false}}) {
      ASSERT_TRUE((*t)->appendBlank().isOk());
      ASSERT_TRUE((*t)->replace("codigo", r.code).isOk());
      ASSERT_TRUE((*t)->replace("nombre", r.name).isOk());
      ASSERT_TRUE((*t)->replace("movili", r.movili).isOk());
      ASSERT_TRUE((*t)->replace("antiguo", "X").isOk());
      if (r.deleted) {
        ASSERT_TRUE((*t)->markDeleted().isOk());
      }
    }
    (*t)->close();
    old_ = snapshot(dir.path());
  }
  // The migrated master: 73 fields, the two live employees in code order of their
  // names, movili (field 30) carried and the second movili (field 70) zero.
  void expectMigrated() {
    auto t = catalog::openTable(platformFileSystem(), dir.path(), s().def(TableId::EmployeeMaster), OpenMode::Shared);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    Table& m = **t;
    ASSERT_EQ(m.fieldCount(), 73);
    EXPECT_EQ(m.recordCount(), 2u);
    ASSERT_TRUE(m.setOrder(2).isOk());  // nombre
    ASSERT_TRUE(m.goTop().isOk());
    EXPECT_EQ(m.str("codigo"), padTo("E3", 10));
    EXPECT_EQ(m.str("nombre"), padTo("BRAVO ANA", 50));
    EXPECT_DOUBLE_EQ(m.num(29), 80.25);
    EXPECT_DOUBLE_EQ(m.num(69), 0);
    EXPECT_EQ(m.str("Plani"), padTo("", 6));
    ASSERT_TRUE(m.skip(1).isOk());
    EXPECT_DOUBLE_EQ(m.num(29), 125.5);
  }
  std::map<std::string, std::string> old_;
};

TEST_F(Migration, KeepsValuesByNameNamesWhatHadNoPlaceAndVerifiesClean) {
  tk.expectDialog("MAYORIZACIONCONTABLE", "Migracion Maestro Empleados")
      .press(301)
      .expectMessage(MsgKind::Info, "Campos Del Maestro Anterior Sin Lugar En El Nuevo: ANTIGUO", "Mensaje")
      .expectMessage(MsgKind::Info, "Fin De Proceso");
  F_MAESEMPLEADATA(s(), tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  expectMigrated();
  EXPECT_FALSE(exists("pxs0125.dbf"));
  const auto problems = verifyAll(dir.path());
  EXPECT_TRUE(problems.empty()) << problems.front();
}

// A fault at each write in turn: the master found afterwards is the old one byte for
// byte, or the new one whole; a second run then completes the migration.
TEST_F(Migration, AnInterruptionLeavesTheOldMasterOrTheNewOneWhole) {
  FaultyFileSystem faulty(platformFileSystem());
  Quiet quiet;
  int sawOld = 0, sawNew = 0;
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) std::filesystem::remove(e.path());
    for (const auto& [name, bytes] : old_) std::ofstream(path(name), std::ios::binary) << bytes;
    {
      Session broken(faulty, quiet, dir.path());
      broken.YCIA = "01", broken.YMES = "03", broken.YANO = "25";
      faulty.failAt(n);
      const bool done = MAESTRO01(broken);
      if (!faulty.failed()) {
        EXPECT_TRUE(done);
        break;
      }
      EXPECT_FALSE(done);
    }
    auto t = Table::openReadOnly(platformFileSystem(), path("pmae0101.dbf"));
    ASSERT_TRUE(t.isOk()) << t.status().message();
    const int fields = (*t)->fieldCount();
    (*t)->close();
    if (fields == 60) {
      ++sawOld;
      EXPECT_EQ(masters::testing::readFile(path("pmae0101.dbf")), old_.at("pmae0101.dbf"));
    } else {
      ++sawNew;
      ASSERT_EQ(fields, 73);
    }
    Session healthy(platformFileSystem(), quiet, dir.path());
    healthy.YCIA = "01", healthy.YMES = "03", healthy.YANO = "25";
    ASSERT_TRUE(MAESTRO01(healthy));
    expectMigrated();
    const auto problems = verifyAll(dir.path());
    EXPECT_TRUE(problems.empty()) << problems.front();
  }
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);  // faults after the rename: the new master, bags awaiting their rebuild
}

}  // namespace
}  // namespace planilla::admin
