// The record helpers, searches, NUM_CAR and the catalog operations with messages.
#include "session/tables.h"

#include <gtest/gtest.h>

#include "session/install.h"
#include "session/tests/session_test_util.h"
#include "store/catalog.h"

namespace planilla {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;

TEST(NumCar, ZeroPaddedOrAsterisks) {
  EXPECT_EQ(NUM_CAR(5, 3), "005");
  EXPECT_EQ(NUM_CAR(7, 2), "07");
  EXPECT_EQ(NUM_CAR(123, 2), "**");
  EXPECT_EQ(NUM_CAR(99, 2), "99");
  EXPECT_EQ(NUM_CAR(99.5, 2), "**");  // rounds to 100 first
  EXPECT_EQ(NUM_CAR(12.4, 3), "012");
  EXPECT_EQ(NUM_CAR(2.5, 1), "3");    // halves away from zero
  EXPECT_EQ(NUM_CAR(0, 2), "00");
  EXPECT_EQ(NUM_CAR(0.4, 2), "00");
  EXPECT_EQ(NUM_CAR(-5, 3), "-05");  // the sign stays in front of the zeros
  EXPECT_EQ(NUM_CAR(-50, 2), "**");
}

// A period input table with codes AA, ABC and B for the search tests.
class Searches : public ::testing::Test {
 protected:
  void SetUp() override {
    s().YCIA = "01";
    s().YMES = "03";
    s().YANO = "16";
    t = openOwnTable(s(), TableId::IncomeEntries, 1);
    ASSERT_NE(t, nullptr);
    for (const char* code : {"B", "AA", "ABC"}) {
      ASSERT_TRUE(ADD_REG(s()));
      ASSERT_TRUE(t->replace("codigo", code).isOk());
    }
  }
  Session& s() { return st.session; }
  TempDir dir;
  Station st{dir.path()};
  Table* t = nullptr;
};

TEST_F(Searches, SearchdatIsAPrefixSeek) {
  EXPECT_TRUE(SEARCHDAT(s(), "AB"));
  EXPECT_EQ(t->str("codigo").substr(0, 3), "ABC");
  EXPECT_FALSE(SEARCHDAT(s(), "AAB"));
  EXPECT_TRUE(t->eof());
}

TEST_F(Searches, KapturakeyFoundAndNotFound) {
  ASSERT_TRUE(t->seek("AA"));
  std::string sought;
  // The field held " A " (trimmed to "A") and the key B arrives: "AB" is sought.
  EXPECT_EQ(kapturaKeySearch(*t, 'B', " A ", &sought), KeySearch::Found);
  EXPECT_EQ(sought, "AB");
  EXPECT_EQ(t->str("codigo").substr(0, 3), "ABC");
  const uint32_t onAbc = t->recno();
  // "ABX" is not there: back on the record shown before, not at end of file.
  EXPECT_EQ(kapturaKeySearch(*t, 'X', "AB", &sought), KeySearch::NotFound);
  EXPECT_EQ(sought, "ABX");
  EXPECT_FALSE(t->eof());
  EXPECT_EQ(t->recno(), onAbc);
  // Control keys do nothing.
  EXPECT_EQ(kapturaKeySearch(*t, 13, "B", nullptr), KeySearch::Ignored);
  EXPECT_EQ(kapturaKeySearch(*t, 8, "B", nullptr), KeySearch::Ignored);
  EXPECT_EQ(t->recno(), onAbc);
  EXPECT_EQ(kapturaKeySearch(*t, 'B', "", nullptr), KeySearch::Found);
  EXPECT_EQ(t->str("codigo").substr(0, 1), "B");
}

TEST(RecordHelpers, WithoutNetworkNoLocksAreTaken) {
  TempDir dir;
  Station a(dir.path(), false);
  a.session.YCIA = "01";
  Table* t = openOwnTable(a.session, TableId::Banks, 1, "", OpenMode::Shared);
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(ADD_REG(a.session));
  ASSERT_TRUE(t->replace("codigo", "BCP").isOk());
  t->unlockAll();
  EXPECT_FALSE(RED(a.session));
  EXPECT_TRUE(LAN_REG(a.session));
  // Another station can lock the same record: station a took no lock.
  Station b(dir.path(), true);
  b.session.YCIA = "01";
  Table* tb = openOwnTable(b.session, TableId::Banks, 1);
  ASSERT_NE(tb, nullptr);
  ASSERT_TRUE(tb->seek("BCP"));
  EXPECT_TRUE(LAN_REG(b.session));
  // And with b holding it, a's LAN_REG still answers true without trying.
  EXPECT_TRUE(LAN_REG(a.session));
  FREE(a.session);
  EXPECT_TRUE(a.messages.boxes.empty());
}

TEST(RecordHelpers, OnANetworkALockedRecordIsRefusedOnce) {
  TempDir dir;
  Station a(dir.path(), true), b(dir.path(), true);
  a.session.YCIA = b.session.YCIA = "01";
  Table* ta = openOwnTable(a.session, TableId::Banks, 1);
  ASSERT_NE(ta, nullptr);
  ASSERT_TRUE(ADD_REG(a.session));  // the new record stays locked by a
  ASSERT_TRUE(ta->replace("codigo", "BCP").isOk());
  Table* tb = openOwnTable(b.session, TableId::Banks, 3);
  ASSERT_NE(tb, nullptr);
  ASSERT_TRUE(tb->seek("BCP"));
  EXPECT_FALSE(LAN_REG(b.session));
  ASSERT_EQ(b.messages.boxes.size(), 1u);
  EXPECT_EQ(b.messages.boxes[0].text, "Acceso Denegado Registro En Uso");
  EXPECT_EQ(b.messages.boxes[0].title, "Mensaje");
  FREE(a.session);
  EXPECT_TRUE(LAN_REG(b.session));
  EXPECT_TRUE(tb->replace("nombre", "BANCO DE CREDITO").isOk());
  FREE(b.session);
  EXPECT_TRUE(LAN_REG(a.session));
  ASSERT_TRUE(ta->seek("BCP"));
  EXPECT_EQ(ta->str("nombre").substr(0, 16), "BANCO DE CREDITO");
}

// A data directory this station may only read: every writable open is refused by the
// system, as on a read-only disk or folder.
class ReadOnlyFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions opts) override {
    if (!opts.readOnly) return Status::ioError("no se puede abrir " + path + ": permiso denegado");
    return base_.open(path, opts);
  }
  bool exists(const std::string& path) override { return base_.exists(path); }
  Status remove(const std::string& path) override { return refused(path); }
  Status rename(const std::string& from, const std::string&) override { return refused(from); }
  Status replace(const std::string& from, const std::string&) override { return refused(from); }
  std::string resolve(const std::string& path) override { return base_.resolve(path); }

 private:
  static Status refused(const std::string& path) { return Status::ioError(path + ": permiso denegado"); }
  FileSystem& base_ = platformFileSystem();
};

TEST(RecordHelpers, AReadOnlyFolderIsReportedAsSuchNotAsARecordInUse) {
  TempDir dir;
  Station maker(dir.path());
  maker.session.YCIA = "01";
  Table* made = openOwnTable(maker.session, TableId::Banks, 1);
  ASSERT_NE(made, nullptr);
  ASSERT_TRUE(ADD_REG(maker.session));
  ASSERT_TRUE(made->replace("codigo", "BCP").isOk());
  maker.session.closeAll();

  ReadOnlyFileSystem fs;
  testing::RecordingMessages messages;
  Session s(fs, messages, dir.path());
  s.setRed(true);
  s.YCIA = "01";
  Table* t = openOwnTable(s, TableId::Banks, 1);
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(t->seek("BCP"));
  EXPECT_FALSE(LAN_REG(s));
  EXPECT_FALSE(ADD_REG(s));
  ASSERT_EQ(messages.boxes.size(), 2u);
  for (const auto& box : messages.boxes) {
    EXPECT_NE(box.text, "Acceso Denegado Registro En Uso");
    EXPECT_NE(box.text.find("permiso denegado"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("bmae0101.dbf"), std::string::npos) << box.text;
  }
}

TEST(CatalogWithMessages, CreatesOnFirstUseAndReportsFailures) {
  TempDir dir;
  Station a(dir.path(), true);
  Session& s = a.session;
  s.YCIA = "01";
  s.YMES = "03";
  s.YANO = "16";
  Table* rates = openOwnTable(s, TableId::Rates, 1);
  ASSERT_NE(rates, nullptr);
  EXPECT_EQ(s.alias("porcen"), rates);
  EXPECT_EQ(rates->recordCount(), 1u);
  // The roll needs its template.
  EXPECT_EQ(openOwnTable(s, TableId::VacationRoll, 2), nullptr);
  ASSERT_EQ(a.messages.boxes.size(), 1u);
  EXPECT_EQ(a.messages.boxes[0].text, "WARNING 14P");
  EXPECT_EQ(a.messages.boxes[0].title, "Stop");
  // The calculated files need theirs.
  EXPECT_FALSE(recreateCalcFile(s, s.def(TableId::PayrollSoles)));
  EXPECT_EQ(a.messages.boxes.back().text, "WARNING  P18!!  ");
  // A table another station holds exclusively.
  Station b(dir.path(), true);
  b.session.YCIA = "01";
  ASSERT_NE(openOwnTable(b.session, TableId::Banks, 1, "", OpenMode::Exclusive), nullptr);
  EXPECT_EQ(openOwnTable(s, TableId::Banks, 2), nullptr);
  EXPECT_EQ(a.messages.boxes.back().text, "Apertura Denegada El Archivo Esta En Uso");
  EXPECT_EQ(a.messages.boxes.back().title, "Mensaje");
  // A missing table that must not be created.
  EXPECT_EQ(openExisting(s, s.def(TableId::EmployeeMaster), 3, "Maestro De Empleados No Existe"), nullptr);
  EXPECT_EQ(a.messages.boxes.back().text, "Maestro De Empleados No Existe");
  EXPECT_EQ(s.area(1), rates);  // the rates stay open in area 1
}

TEST(CatalogWithMessages, TwoBagTablesOpenInCatalogOrder) {
  TempDir dir;
  Station a(dir.path());
  Session& s = a.session;
  s.YCIA = "01";
  Table* t = openOwnTable(s, TableId::EmployeeMaster, 4, "HorEmplea");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(s.selected(), 4);
  EXPECT_EQ(s.alias("horemplea"), t);
  ASSERT_EQ(t->tagCount(), 2);
  EXPECT_EQ(t->order(), 1);
  s.closeAll();
  EXPECT_EQ(s.area(4), nullptr);
  EXPECT_EQ(s.selected(), 1);
}

}  // namespace
}  // namespace planilla

namespace planilla {
namespace {

TEST_F(Searches, KeyChecksOfTheMaintenanceScreens) {
  ASSERT_TRUE(t->seek("B"));
  const uint32_t onB = t->recno();
  EXPECT_EQ(checkKey(*t, "   "), KeyCheck::Blank);
  EXPECT_EQ(checkKey(*t, "ZZ"), KeyCheck::Free);
  EXPECT_EQ(checkKey(*t, "AA"), KeyCheck::Taken);
  EXPECT_EQ(checkKey(*t, "B", onB), KeyCheck::Self);  // modifying B and keeping its code
  EXPECT_EQ(checkKey(*t, "AA", onB), KeyCheck::Taken);
  EXPECT_EQ(t->recno(), onB);  // the cursor is back where it was
  EXPECT_FALSE(t->eof());
}

TEST_F(Searches, KeySearchReturnsToTheRecordWhenNotFound) {
  ASSERT_TRUE(t->seek("B"));
  const uint32_t onB = t->recno();
  EXPECT_FALSE(keySearch(*t, "AAB", 10));
  EXPECT_EQ(t->recno(), onB);
  EXPECT_FALSE(t->eof());
  EXPECT_TRUE(keySearch(*t, "ABC", 10));
  EXPECT_EQ(t->str("codigo").substr(0, 3), "ABC");
  // Typed as padded to the width: "AB" alone is no longer a prefix of "ABC".
  EXPECT_FALSE(keySearch(*t, "AB", 10));
  EXPECT_EQ(t->str("codigo").substr(0, 3), "ABC");
}

TEST(KeyValidation, DayCountsInRange) {
  TempDir dir;
  Station st(dir.path());
  EXPECT_TRUE(checkRange(st.session, 0, 0, 31));
  EXPECT_TRUE(checkRange(st.session, 31, 0, 31));
  EXPECT_FALSE(checkRange(st.session, 32, 0, 31));
  EXPECT_FALSE(checkRange(st.session, -1, 0, 31));
  ASSERT_EQ(st.messages.boxes.size(), 2u);
  EXPECT_EQ(st.messages.boxes[0].text, "Rango Fuera De Parametro");
  EXPECT_EQ(st.messages.boxes[0].title, "Error En Ingreso De Dato");
}

}  // namespace
}  // namespace planilla
