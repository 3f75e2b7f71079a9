// What the employee list and its form offer the keyboard: the name typed on the list,
// a header chosen to order it, the export's proposed name and the question before a
// changed form is thrown away.
#include <gtest/gtest.h>

#include "masters/employees.h"
#include "masters/tests/employees_test_util.h"
#include "ui/text1252.h"

namespace planilla::masters {
namespace {

using testing::Employee;
using ui::Key;
using ui::MsgKind;

constexpr int kAdd = 1, kExit = 7;

std::string codeAt(ui::Dialog& d) { return trimRight(dynamic_cast<ui::Browse*>(d.control(101))->table().str("codigo")); }

class EmployeeList : public testing::EmployeesFixture {
 protected:
  void SetUp() override {
    seedCodeTables();
    // Code order E001..E004 is not name order: ALVA, PEREZ DIAZ, QUISPE, ZEGARRA.
    seedMaster({{"E001", "QUISPE", "ROSA", " "},
                {"E002", "ZEGARRA", "LUIS", " "},
                {"E003", "PEREZ DIAZ", "JUAN", " "},
                {"E004", "ALVA", "ANA", " "}});
    st.session.YFECHA = Date(2016, 5, 31);
  }
  void run() {
    F_PJLG01(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
};

TEST_F(EmployeeList, TypedSurnameFindsTheEmployeeAndHeadersOrderTheList) {
  st.tk.expectDialog("MANTEP02")
      .typeAhead(101, "per")
      .inspect([](ui::Dialog& d) {
        auto& br = *dynamic_cast<ui::Browse*>(d.control(101));
        EXPECT_EQ(codeAt(d), "E003");
        // Found through the name index: the list is now in name order, PEREZ second.
        EXPECT_EQ(br.sortedColumn(), br.nameColumnIndex());
        EXPECT_EQ(br.currentRow(), 1);
        // A letter no name continues with is not kept: the cursor stays.
        EXPECT_FALSE(br.typeKey('X'));
        EXPECT_EQ(br.typedText(), "per");
        EXPECT_EQ(codeAt(d), "E003");
      })
      // The second surname: no name starts with it, a word of one does.
      .typeAhead(101, "diaz")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(codeAt(d), "E003"); })
      .typeAhead(101, "zeg")
      .inspect([](ui::Dialog& d) { EXPECT_EQ(codeAt(d), "E002"); })
      // The code header puts the list back in code order, the cursor on its employee.
      .sortBy(101, 0)
      .inspect([](ui::Dialog& d) {
        auto& br = *dynamic_cast<ui::Browse*>(d.control(101));
        EXPECT_EQ(br.sortedColumn(), 0);
        EXPECT_EQ(codeAt(d), "E002");
        EXPECT_EQ(br.currentRow(), 1);
      })
      // Ctrl+E: the spreadsheet's name says what it holds and the working month.
      .key(101, Key::Export)
      .expectSaveFile(std::nullopt)
      .pressBar(kExit);
  // Cancelled in the save dialog: the writer is never reached.
  st.tk.setSheetWriter([](const ui::ListSheet&, const std::string&) { return std::string("no usado"); });
  run();
  ASSERT_EQ(st.tk.savesAsked().size(), 1u);
  EXPECT_EQ(st.tk.savesAsked()[0], "./empleados_2016-05.xlsx");  // the data directory, "." here
}

TEST_F(EmployeeList, ChangedFormAsksBeforeItIsDiscarded) {
  const std::string question = ui::utf8To1252("¿Descartar Los Cambios?");
  st.tk.expectDialog("MANTEP02")
      // Nothing typed: Escape closes at once.
      .pressBar(kAdd)
      .expectDialog("EDITEMPLE", "Adicionar Registro")
      .key(0, Key::Escape)
      // Typed and Escape: "No" keeps the form with what was typed.
      .pressBar(kAdd)
      .expectDialog("EDITEMPLE", "Adicionar Registro")
      .type(102, "e0099")
      .key(0, Key::Escape)
      .expectMessage(MsgKind::NoYes, question, "Adicionar Registro", false)
      .expectText(102, "E0099")
      // "&Cancelar" asks the same; "Si" closes without saving.
      .press(402)
      .expectMessage(MsgKind::NoYes, question, "Adicionar Registro", true)
      .pressBar(kExit);
  run();
  EXPECT_EQ(stored(catalog::TableId::EmployeeMaster).rows.size(), 4u);
}

}  // namespace
}  // namespace planilla::masters
