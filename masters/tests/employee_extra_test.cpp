// The employee's second record: made on first use, read back field for field, absent
// for an employee who has none; the CCI check digits.
#include <gtest/gtest.h>

#include "masters/employee_extra.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::masters {
namespace {

using testing::Station;
using testing::TempDir;

TEST(EmployeeExtra, CreatedOnFirstUseWrittenAndReadBack) {
  TempDir dir;
  Station st(dir.path(), true);
  EXPECT_FALSE(dir.has("pmae1101.dbf"));
  auto t = openEmployeeExtra(st.session, OpenMode::Shared);
  ASSERT_TRUE(t.isOk()) << t.status().message();
  EXPECT_TRUE(dir.has("pmae1101.dbf"));
  EXPECT_TRUE(dir.has("pmae1101.cdx"));

  EmployeeExtra none;
  EXPECT_FALSE(readEmployeeExtra(**t, "E0001", &none));
  EXPECT_EQ(none.codigo, "E0001");
  EXPECT_EQ(none.email, "");

  EmployeeExtra e;
  e.codigo = "E0002";
  e.email = "ana.rios@example.pe";
  e.celular = "987654321";
  e.tipdoc = "04";
  e.numdoc = "001234567890";  // a 12-character foreigner's card: longer than the master's 8
  e.bancosun = "02";
  e.ctanum = "19100087910970";
  e.ctacci = "00963200000380987111";
  e.ctamon = "S";
  e.ubigeo = "150130";
  e.motbaja = "01";
  ASSERT_TRUE(writeEmployeeExtra(**t, e).isOk());
  e.celular = "912345678";  // a second write changes the record, adds none
  ASSERT_TRUE(writeEmployeeExtra(**t, e).isOk());
  EXPECT_EQ((*t)->recordCount(), 1u);
  (*t)->close();

  // Another station reads what was written, through a fresh open.
  Station other(dir.path(), true);
  auto r = openEmployeeExtra(other.session, OpenMode::Shared);
  ASSERT_TRUE(r.isOk());
  EmployeeExtra back;
  ASSERT_TRUE(readEmployeeExtra(**r, "E0002", &back));
  EXPECT_EQ(back.email, "ana.rios@example.pe");
  EXPECT_EQ(back.celular, "912345678");
  EXPECT_EQ(back.numdoc, "001234567890");
  EXPECT_EQ(back.ctacci, "00963200000380987111");
  EXPECT_EQ(back.ctamon, "S");
  EXPECT_EQ(back.ubigeo, "150130");
  EXPECT_EQ(back.motbaja, "01");
  EXPECT_FALSE(readEmployeeExtra(**r, "E000", nullptr));  // a code is sought whole, not by its start
}

TEST(EmployeeExtra, CciCheckDigits) {
  // 009632 -> 0,0,9,6x2=12->3,3,2x2=4: sum 19, check 1.
  // 000003809871 -> 3x2=6, 8, 9, 8x2=16->7, 7, 1x2=2: sum 39, check 1.
  EXPECT_TRUE(cciValid("00963200000380987111"));
  // 002191 -> 0,0,2,1x2=2,9,1x2=2: sum 15, check 5.
  // 000012345678 -> 1, 2x2=4, 3, 4x2=8, 5, 6x2=12->3, 7, 8x2=16->7: sum 38, check 2.
  EXPECT_TRUE(cciValid("00219100001234567852"));
  for (const char* bad : {"00963200000380987112",   // second check digit wrong
                          "00963200000380987101",   // first check digit wrong
                          "0096320000038098711",    // 19 digits
                          "0096320000038098711A",   // not a digit
                          "00963200000380987111 ",  // 21 characters
                          ""})
    EXPECT_FALSE(cciValid(bad)) << bad;
}

}  // namespace
}  // namespace planilla::masters
