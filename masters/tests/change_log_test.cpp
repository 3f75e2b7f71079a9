// The change log as the maintenance pattern writes it: a pay change made through the
// employee form, a deletion, what the detail says of each kind of change (a password
// never in clear), and the log read back whole after the tables are reindexed and
// packed.
#include <gtest/gtest.h>

#include "masters/employees.h"
#include "masters/tests/employees_test_util.h"
#include "session/change_log.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using ui::MsgKind;

constexpr int kModify = 2, kDelete = 4, kExit = 7;  // the employee master's bar: 6 is "Datos Adicionales"

class ChangeLogTest : public testing::EmployeesFixture {
 protected:
  void SetUp() override {
    st.session.userCode = "ANA";
    st.session.station = "CAJA-02";
    st.session.ANO_CIE = "2016";
  }
  std::vector<ChangeRow> log() {
    std::vector<ChangeRow> rows;
    EXPECT_TRUE(readChangeLog(st.session, &rows).isOk());
    return rows;
  }
};

TEST_F(ChangeLogTest, PayChangeAndDeletionThroughTheScreenSurviveReindexAndPack) {
  seedCodeTables();
  seedMaster({{"E001", "PEREZ", "JUAN", " "}, {"E002", "QUISPE", "ANA", " "}});
  st.tk.expectDialog("MANTEP02")
      .pressBar(kModify)
      .expectDialog("EDITEMPLE", "Modificar Registro")
      .type(134, "1800")
      .press(401)
      .pick(101, 2)
      .pressBar(kDelete)
      .expectDialog("", "Borrar Registro")
      .press("&Si ")
      .pressBar(kExit);
  F_PJLG01(st.session, st.tk);
  ASSERT_TRUE(st.tk.ok()) << st.tk.report();

  auto check = [&](const char* when) {
    std::vector<ChangeRow> rows = log();
    ASSERT_EQ(rows.size(), 2u) << when;
    // One row per record written: the change names only the field that changed.
    EXPECT_EQ(rows[0].operation, 'M');
    EXPECT_EQ(rows[0].table, "pmae0101");
    EXPECT_EQ(rows[0].key, "E001");
    EXPECT_EQ(rows[0].code, "E001");
    EXPECT_EQ(rows[0].user, "ANA");
    EXPECT_EQ(rows[0].station, "CAJA-02");
    EXPECT_EQ(rows[0].period, "201605");
    EXPECT_EQ(rows[0].detail, "BAS_MEN: 1500.00 -> 1800.00") << when;
    // The deletion keeps what the record held.
    EXPECT_EQ(rows[1].operation, 'B');
    EXPECT_EQ(rows[1].code, "E002");
    EXPECT_NE(rows[1].detail.find("APELLI1: QUISPE | "), std::string::npos) << rows[1].detail;
    EXPECT_NE(rows[1].detail.find("BAS_MEN: 1500.00"), std::string::npos);
    EXPECT_LE(rows[0].moment, rows[1].moment);
  };
  check("al grabar");
  // The reindex utilities pack every table: the master loses its deleted record, the
  // log keeps both of its own.
  FileSystem& fs = platformFileSystem();
  ASSERT_TRUE(catalog::rebuildIndexes(fs, dir.path(), def(TableId::EmployeeMaster), true).isOk());
  ASSERT_TRUE(catalog::rebuildIndexes(fs, dir.path(), def(TableId::ChangeLog), true).isOk());
  EXPECT_EQ(stored(TableId::EmployeeMaster).physical, 1u);
  check("tras reindexar y compactar");
}

// What the detail says, by kind of change, on the users table (whose password must
// never be written down) and on a table with a date.
TEST_F(ChangeLogTest, DetailOfAdditionsChangesDeletionsAndPasswords) {
  ASSERT_TRUE(catalog::createWithTags(platformFileSystem(), dir.path(), catalog::define(TableId::Users, {})).isOk());
  testing::seed(dir.path(), catalog::define(TableId::Users, {}),
       {{{"CODIGO", "ANA"}, {"FUNCION", "FUN001"}, {"ACCESO", "T"}, {"INICIA", "SECRETO1"}}});
  seedMaster({{"E001", "PEREZ", "JUAN", " "}});
  auto users = catalog::openTable(platformFileSystem(), dir.path(), catalog::define(TableId::Users, {}),
                                  OpenMode::Shared);
  auto master = catalog::openTable(platformFileSystem(), dir.path(), def(TableId::EmployeeMaster), OpenMode::Shared);
  ASSERT_TRUE(users.isOk() && master.isOk());
  ASSERT_TRUE((*users)->goTop().isOk());
  ASSERT_TRUE((*master)->goTop().isOk());
  const std::string user = (*users)->rawRecord();
  const std::string emp = (*master)->rawRecord();
  // The users record: CODIGO C4, NOMBRE C50, FUNCION C10, ACCESO C1, INICIA C10.
  std::string user2 = user;
  user2.replace(64, 1, "F");
  user2.replace(65, 10, "OTRACLAVE ");
  // The master: FECH_ING is the fifth field (10 + 50 + 60 + 8 = offset 128).
  std::string emp2 = emp;
  emp2.replace(128, 8, "20160301");
  struct Case {
    const char* what;
    Table* table;
    std::string before, after, detail;
  } cases[] = {
      {"clave cambiada", users->get(), user, user2, "ACCESO: T -> F | INICIA: **** -> ****"},
      {"usuario nuevo", users->get(), "", user, "CODIGO: ANA | FUNCION: FUN001 | ACCESO: T | INICIA: ****"},
      {"fecha", master->get(), emp, emp2, "FECH_ING:  -> 01/03/2016"},
      {"sin cambio", master->get(), emp, emp, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(describeChange(*c.table, c.before, c.after), c.detail) << c.what;
  // The password is not in the log file at all.
  ASSERT_TRUE(logChange(st.session, **users, 'M', user, user2).isOk());
  const std::string bytes = testing::readFile(dir.file("bitac01.dbf"));
  EXPECT_EQ(bytes.find("SECRETO1"), std::string::npos);
  EXPECT_EQ(bytes.find("OTRACLAVE"), std::string::npos);
  EXPECT_NE(bytes.find("ANA/FUN001"), std::string::npos);  // keyed by user and function
  (*users)->close();
  (*master)->close();
}

}  // namespace
}  // namespace planilla::masters
