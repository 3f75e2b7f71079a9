// The working-date dialog F_I00001 through the scripted backend.
#include <filesystem>

#include "app/shell/shell.h"
#include "shell_test_util.h"
#include "store/catalog.h"

namespace planilla::shell {
namespace {

using testing::DemoFixture;
using ui::MsgKind;

class WorkingDateTest : public DemoFixture {
 protected:
  void SetUp() override {
    DemoFixture::SetUp();
    owner = std::make_unique<ui::MainWindow>(tk);
    owner->setTitle("Sistema De Planilla (Varmond)");
  }
  // The demo company's record as stored.
  std::string institutionField(const std::string& field) {
    auto t = s().open(0, s().def(catalog::TableId::Institutions));
    EXPECT_TRUE(t.isOk());
    if (!t) return {};
    EXPECT_TRUE((*t)->seek("01"));
    std::string v = (*t)->str(field);
    s().closeAll();
    return v;
  }
  std::unique_ptr<ui::MainWindow> owner;
};

TEST_F(WorkingDateTest, BlankAndUnknownCodesKeepTheFocusThenTheDateIsAccepted) {
  tk.expectDialog("ELEGIRCIA", "Elija Compa\xF1ia")
      .inspect([](ui::Dialog& d) { EXPECT_FALSE(d.centered()); })
      .type(102, "")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo Institucion En Blanco", "Mensaje")
      .expectFocus(102)
      .type(102, "77")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Codigo Ingresado 77 No Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "01")
      .leave(102)
      .expectFocus(300)
      .type(104, "15/03/2025")
      .leave(104)
      .press(301);
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YCIA, "01");
  EXPECT_EQ(s().YMES, "03");
  EXPECT_EQ(s().YANO, "25");
  EXPECT_EQ(s().ANO_CIE, "2025");
  EXPECT_EQ(s().DIA_CIE, "15");
  EXPECT_NE(s().YNOMBRE1.find_first_not_of(' '), std::string::npos);
  EXPECT_EQ(s().YABREV.substr(0, 8), "DEMO SAC");
  EXPECT_FALSE(s().YRUC.empty());
  // Title: code, short name (45 with its blanks), three blanks, the date, five-place year.
  const std::string expected = "01 " + s().YABREV + "   15 de Marzo de  2025";
  EXPECT_EQ(owner->title(), expected);
  EXPECT_EQ(s().windowTitle, expected);
  // The institution record keeps the date and its descriptions.
  EXPECT_EQ(institutionField("DESCRI_MES").substr(0, 21), "15 de Marzo de  2025 ");
  EXPECT_EQ(institutionField("YDESCRI").substr(0, 19), "15 del 03 de  2025 ");
  EXPECT_EQ(s().current(), nullptr);  // all tables closed
}

TEST_F(WorkingDateTest, LookupChoosesTheCompanyWithoutValidatingIt) {
  tk.expectDialog("ELEGIRCIA")
      .type(102, "7")
      .press(300)  // the lookup runs with the code as typed: no message
      .expectDialog("", "Ventana De Ayuda (Maestro De Institucion)")
      .pick(1001, 1)
      .press("&Selecciona")
      .expectText(102, "01")
      .expectFocus(102)
      .inspect([this](ui::Dialog& d) {
        ASSERT_NE(d.labelById(551), nullptr);
        EXPECT_EQ(d.labelById(551)->shown(), s().YNOMBRE1);
        EXPECT_NE(s().YNOMBRE1.find("DEMO"), std::string::npos) << s().YNOMBRE1;
      })
      .type(104, "31/03/2025")
      .press(301);
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YCIA, "01");
  EXPECT_EQ(owner->title().substr(0, 3), "01 ");
}

TEST_F(WorkingDateTest, LookupCancelledChangesNothing) {
  tk.expectDialog("ELEGIRCIA")
      .press(300)
      .expectDialog("", "Ventana De Ayuda (Maestro De Institucion)")
      .press("&Cancela")
      .expectText(102, "")
      .close()
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Sistema", "Mensaje");
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YCIA, "  ");
}

TEST_F(WorkingDateTest, FirstOfJanuaryGivesMonthZero) {
  tk.expectDialog("ELEGIRCIA").type(102, "01").type(104, "01/01/2025").leave(104).press(301);
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YMES, "00");
  EXPECT_EQ(s().MES_CIE, "Enero");
  EXPECT_EQ(s().YANO, "25");
  EXPECT_EQ(s().DIA_CIE, "01");
  EXPECT_NE(owner->title().find("   01 de Enero de  2025"), std::string::npos) << owner->title();
  // The second of January is month 01.
  tk.reset();
  tk.expectDialog("ELEGIRCIA").type(104, "02/01/2025").press(301);
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YMES, "01");
}

TEST_F(WorkingDateTest, CancelShowsTheMessageAndKeepsTheTitle) {
  tk.expectDialog("ELEGIRCIA")
      .type(102, "01")
      .type(104, "15/03/2025")
      .leave(104)
      .press(302)
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Sistema", "Mensaje");
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(owner->title(), "Sistema De Planilla (Varmond)");
  // What the validations wrote stays.
  EXPECT_EQ(s().YCIA, "01");
  EXPECT_EQ(s().YMES, "03");
  EXPECT_EQ(s().current(), nullptr);
}

TEST_F(WorkingDateTest, EmptyDateIsRefusedInTheFieldAndOnAcceptance) {
  tk.expectDialog("ELEGIRCIA")
      .type(102, "01")
      .press(301)  // the date field was never visited
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Sistema", "")
      .expectFocus(104)
      .leave(104)
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Sistema", "")
      .expectFocus(104)
      // A two-digit year and a year out of range are no working date.
      .type(104, "31/12/26")
      .leave(104)
      .expectMessage(MsgKind::Stop, "Fecha No Valida", "Mensaje")
      .expectFocus(104)
      .type(104, "31/12/2100")
      .press(301)
      .expectMessage(MsgKind::Stop, "Fecha No Valida", "Mensaje")
      .expectFocus(104)
      .type(104, "31/03/2025")
      .press(301);
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YMES, "03");
}

TEST_F(WorkingDateTest, MissingInstitutionFilesShowTheWarningsAndNoDialog) {
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    std::string n = e.path().filename().string();
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (n == "pmae0001.cdx") std::filesystem::remove(e.path());
  }
  tk.expectMessage(MsgKind::Stop, "WARNING MAIN-2", "Mensaje");
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();

  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    std::string n = e.path().filename().string();
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (n == "pmae0001.dbf") std::filesystem::remove(e.path());
  }
  tk.reset();
  tk.expectMessage(MsgKind::Stop, "WARNING MAIN", "Mensaje");
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(owner->title(), "Sistema De Planilla (Varmond)");
}

TEST_F(WorkingDateTest, RecordLockedByAnotherStationStillRetitles) {
  s().setRed(true);
  Session other(platformFileSystem(), tk, dir.path());
  other.setRed(true);
  auto t = other.open(1, other.def(catalog::TableId::Institutions));
  ASSERT_TRUE(t.isOk());
  ASSERT_TRUE((*t)->seek("01"));
  ASSERT_TRUE((*t)->lockRecord().isOk());

  tk.expectDialog("ELEGIRCIA")
      .type(102, "01")
      .type(104, "15/03/2025")
      .press(301)
      .expectMessage(MsgKind::Stop, "Acceso Denegado Registro En Uso", "Mensaje");
  F_I00001(s(), tk, owner.get());
  EXPECT_TRUE(tk.ok()) << tk.report();
  // YABREV is not refreshed under a refused lock; the name, RUC and title are.
  EXPECT_TRUE(s().YABREV.empty());
  EXPECT_NE(s().YNOMBRE1.find_first_not_of(' '), std::string::npos);
  EXPECT_EQ(owner->title(), "01 " + s().YABREV + "   15 de Marzo de  2025");
  other.closeAll();
  EXPECT_NE(institutionField("DESCRI_MES").substr(0, 2), "15");
}

}  // namespace
}  // namespace planilla::shell
