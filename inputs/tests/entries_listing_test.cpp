// "&Impresion" of the month's entries prints the entries, not the employee roster.
#include <gtest/gtest.h>

#include "inputs/income_entries.h"
#include "inputs/tests/inputs_test_util.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;

TEST(IncomeEntriesListing, EveryEntryOfTheMonthWithItsAmounts) {
  testing::TempDir dir;
  testing::Station st{dir.path()};
  st.session.MES_CIE = "Mayo";
  testing::seedMaster(dir.path(), st);
  testing::seed(dir.path(), st.session.def(TableId::IncomeEntries),
                {{{"codigo", "E002"}, {"nombre", "ALVA ROJAS ANA"}, {"simple", "4.5"}, {"cuosin", "25"}},
                 {{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"adelanto", "1234567.5"}}});
  st.tk.expectDialog("MANTE04I", "Ingreso De Datos Mensual Mayo")
      .pick(101, 2)
      .press(testing::kPrint)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(testing::listOf(d).currentRow(), 1); })  // still on E002
      .press(testing::kExit);
  F_PFMR201(st.session, st.tk);
  ASSERT_TRUE(st.tk.ok()) << st.tk.report();
  const std::string rpv = masters::testing::readFile(dir.file("Test.rpv"));
  EXPECT_NE(rpv.find("INGRESOS Y DESCUENTOS DEL MES  MAYO"), std::string::npos);
  // Columns of twelve: blank when nothing was entered; under "#,###,###.##" 4.5 is
  // "        4.50" and 1234567.5 fills the twelve, "1,234,567.50". From the top in code order: E001 (advance, third of the second
  // line), then E002 (hours at the first rate, first of the first line; union dues,
  // last of the second).
  const std::string b(12, ' ');
  auto cells = [&](const std::vector<std::string>& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) out += "{t;$c0" + std::to_string(i + 2) + ";a=l} " + v[i];
    return out + "{t;\\n}\r\n";
  };
  const std::string next = "{e;$c00;a=l;s=7} {t;$c01;a=l} ";
  const std::string data = "[Data]\r\n{e;$c00;a=l;s=7} E001  {t;$c01;a=l} PEREZ LUNA JUAN" + std::string(15, ' ') +
                           cells({b, b, b, b, b, b, b}) + next + cells({b, b, "1,234,567.50", b, b, b, b}) +
                           "{e;$c00;a=l;s=7} E002  {t;$c01;a=l} ALVA ROJAS ANA" + std::string(16, ' ') +
                           cells({"        4.50", b, b, b, b, b, b}) + next + cells({b, b, b, b, b, b, "       25.00"});
  EXPECT_NE(rpv.find(data), std::string::npos) << rpv;
}

}  // namespace
}  // namespace planilla::inputs
