// The month's input lists as a clerk reads them: the totals line kept right after a
// change, the name typed on a list that has no name index, and the gratification
// form offering only the employees on the payroll when the half-year closes.
#include <gtest/gtest.h>

#include "inputs/gratification_roll.h"
#include "inputs/income_entries.h"
#include "inputs/tests/inputs_test_util.h"
#include "session/install.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;

constexpr size_t kSimple = 2, kMeal = 3;  // HOR/SIMPLE, REFRIGERIO

class InputLists : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());  // the rolls' template
    st.session.MES_CIE = "Mayo";
  }
  TempDir dir;
  Station st{dir.path()};
};

TEST_F(InputLists, TotalsFollowAChangeAndTheNameIsFoundWithoutAnIndex) {
  testing::seedMaster(dir.path(), st);
  testing::seed(dir.path(), st.session.def(TableId::IncomeEntries),
                {{{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"refrige", "50"}, {"simple", "4.5"}},
                 {{"codigo", "E002"}, {"nombre", "ALVA ROJAS ANA"}, {"refrige", "1030.5"}},
                 {{"codigo", "E003"}, {"nombre", "QUISPE MAMANI ROSA"}, {"refrige", "12.25"}, {"simple", "2"}}});
  st.tk.expectDialog("MANTE04I")
      .inspect([](ui::Dialog& d) {
        const auto& t = testing::listOf(d).totalsLine();
        ASSERT_GT(t.size(), kMeal);
        EXPECT_EQ(t[1], "TOTALES");
        EXPECT_EQ(t[kSimple], "6.50");     // 4.50 + 2.00
        EXPECT_EQ(t[kMeal], "1,092.75");  // 50.00 + 1,030.50 + 12.25
        EXPECT_EQ(t[0], "");              // the code is not added up
      })
      // E001's meal allowance goes from 50 to 80 through the form.
      .doubleClick(101, 1)
      .expectDialog("EDITHORAE", "Modificar Registro")
      .type(108, "80")
      .press(201)
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(testing::listOf(d).totalsLine()[kMeal], "1,122.75");  // 1,092.75 - 50 + 80
      })
      // No index on the name here: the rows are read in code order.
      .typeAhead(101, "quis")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(testing::listOf(d).table().str("codigo").substr(0, 4), "E003"); })
      .typeAhead(101, "rojas")  // a word of the name
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(testing::listOf(d).table().str("codigo").substr(0, 4), "E002");
        EXPECT_EQ(testing::listOf(d).currentRow(), 1);  // still in code order
      })
      .press(testing::kExit);
  F_PFMR201(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
}

TEST_F(InputLists, GratificationFormOffersOnlyWhoIsOnThePayrollAtTheHalfYearsClose) {
  // July 2016 pays January to June. E004 left in May (paid with the settlement), E005
  // came in July; E003 has no hire date and stays.
  testing::seedMaster(dir.path(), st,
                      {{{"codigo", "E004"}, {"nombre", "BARRIOS LEON ELSA"}, {"fech_ing", "20100301"},
                        {"baja", "1"}, {"fcese", "20160531"}},
                       {{"codigo", "E005"}, {"nombre", "ACOSTA PAZ LUIS"}, {"fech_ing", "20160705"}}});
  st.session.YMES = "07";
  st.session.YFECHA = Date(2016, 7, 31);
  st.tk.expectDialog("MANTE04")
      .press(testing::kAdd)
      .expectDialog("EDITGRATI", "Adicionar Registro")
      .inspect([](ui::Dialog& d) {
        auto* c = dynamic_cast<ui::Combo*>(d.control(102));
        ASSERT_NE(c, nullptr);
        // In name order; those left in the master's code order before.
        EXPECT_EQ(c->items(), (std::vector<std::string>{"ALVA ROJAS ANA", "PEREZ LUNA JUAN", "QUISPE MAMANI ROSA"}));
      })
      .press(302)
      .press(testing::kExit);
  F_PFMR203(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
}

}  // namespace
}  // namespace planilla::inputs
