// The program's entry through the scripted backend: the login dialog, the main
// window's opening and closing, the greeting sound.
#include <filesystem>
#include <fstream>

#include "session/app_info.h"
#include "app/shell/shell.h"
#include "shell_test_util.h"

namespace planilla::shell {
namespace {

using testing::DemoFixture;
using ui::MsgKind;

class LoginTest : public DemoFixture {};

TEST_F(LoginTest, WrongUserThenWrongPasswordThenRightOneOpensTheMainWindow) {
  tk.expectDialog("ACCESO1", "Sistema Varmond")
      .type(105, "ABC")
      .type(106, "PLANILLA")
      .press(301)
      .expectMessage(MsgKind::Stop, "Ingrese Login", "Mensaje")
      .type(105, "QTR")
      .type(106, "NOESESTA")
      .press(301)
      .expectMessage(MsgKind::Stop, "Clave No Valida  , Intente Nuevamente", "Mensaje")
      .type(106, "PLANILLA")
      .press(301)
      .closeMain();
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(s().LACCESO);
  EXPECT_EQ(s().CVARGETX, "QTR ");
  EXPECT_EQ(s().CVARGETY, "PLANILLA  ");
  // The password stays for the session; the period starts blank.
  EXPECT_EQ(s().YCIA, "  ");
  EXPECT_TRUE(s().YFECHA.empty());
  ASSERT_EQ(tk.dialogs().size(), 1u);
  // Nothing is left open after the main window closed.
  EXPECT_EQ(s().current(), nullptr);
}

TEST_F(LoginTest, LowerCaseUserAndPasswordAreUpperCasedByThePicture) {
  tk.expectDialog("ACCESO1")
      .inspect([](ui::Dialog& d) {
        EXPECT_TRUE(d.centered());
        EXPECT_FALSE(d.fieldById(105)->isPassword());
        EXPECT_TRUE(d.fieldById(106)->isPassword());
        EXPECT_EQ(d.fieldById(105)->width(), 4);
        EXPECT_EQ(d.fieldById(106)->width(), 10);
      })
      .type(105, "qtr")
      .expectText(105, "QTR")
      .type(106, "planilla")
      .press(301)
      .closeMain();
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(s().LACCESO);
  EXPECT_EQ(s().CVARGETX, "QTR ");
}

TEST_F(LoginTest, WrongUserMakesNoLookupEvenWithoutTheUsersFile) {
  std::filesystem::remove(dir.file("kylusua.dbf"));
  std::filesystem::remove(dir.file("KYLUSUA.DBF"));
  tk.expectDialog("ACCESO1")
      .type(105, "XYZ")
      .type(106, "PLANILLA")
      .press(301)
      .expectMessage(MsgKind::Stop, "Ingrese Login", "Mensaje")
      .press(302);
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(s().LACCESO);
}

TEST_F(LoginTest, CancelEndsWithoutMainWindow) {
  tk.expectDialog("ACCESO1").press(302);
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(s().LACCESO);
  EXPECT_TRUE(tk.sounds().empty());
}

TEST_F(LoginTest, ClosingTheLoginBoxEndsWithoutMainWindow) {
  tk.expectDialog("ACCESO1").type(105, "QTR").close();
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(s().LACCESO);
}

TEST_F(LoginTest, MissingUsersIndexEndsTheProgramAtOnce) {
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    std::string n = e.path().filename().string();
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (n == "kylusua.cdx") std::filesystem::remove(e.path());
  }
  tk.expectDialog("ACCESO1")
      .type(105, "QTR")
      .type(106, "PLANILLA")
      .press(301)
      .expectMessage(MsgKind::Stop, "Archivo De Accesos-2  No Existe", "Mensaje");
  EXPECT_EQ(XXMAIN(s(), tk), 1);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(s().LACCESO);
  EXPECT_TRUE(s().endRequested);
}

TEST_F(LoginTest, GreetingSoundPlaysOnlyWhenTheFileIsThere) {
  tk.expectDialog("ACCESO1").type(105, "QTR").type(106, "PLANILLA").press(301).closeMain();
  ASSERT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(tk.sounds().empty());

  std::ofstream(dir.file("FINAL.WAV")) << "RIFF";
  tk.reset();
  tk.expectDialog("ACCESO1").type(105, "QTR").type(106, "PLANILLA").press(301).closeMain();
  ASSERT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  ASSERT_EQ(tk.sounds().size(), 1u);
  EXPECT_EQ(tk.sounds()[0], "final.wav");
}

TEST_F(LoginTest, ExitButtonClosesTheMainWindowAndTheTables) {
  tk.expectDialog("ACCESO1").type(105, "QTR").type(106, "PLANILLA").press(301).mainBar(8);
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(LoginTest, SalirEntryClosesTheMainWindow) {
  tk.expectDialog("ACCESO1").type(105, "QTR").type(106, "PLANILLA").press(301).menu({"&Salir"});
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(LoginTest, WorkingDateFromTheMenuRetitlesTheWindowAndStaysForLaterScreens) {
  tk.expectDialog("ACCESO1")
      .type(105, "QTR")
      .type(106, "PLANILLA")
      .press(301)
      .menu({"&Fecha", "&Elegir Fecha De Trabajo"})
      .expectDialog("ELEGIRCIA")
      .type(102, "01")
      .type(104, "31/03/2025")
      .press(301)
      // The button bar reaches the calculation screen of the chosen month.
      .mainBar(6)
      .expectDialog("CALCU01", "Calculo De Planilla")
      .press(202)
      .closeMain();
  EXPECT_EQ(XXMAIN(s(), tk), 0);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(s().YMES, "03");
  EXPECT_EQ(s().YANO, "25");
  EXPECT_EQ(s().windowTitle.substr(0, 3), "01 ");
  EXPECT_NE(s().windowTitle.find("31 de Marzo de  2025"), std::string::npos) << s().windowTitle;
}

}  // namespace
}  // namespace planilla::shell
