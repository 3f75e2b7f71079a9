// "Estado Del Mes" through the scripted backend: a line opens its screen, and the
// choice of not seeing the checklist on opening is kept for the operator, outside the
// data directory.
#include <cstdlib>
#include <filesystem>

#include "app/shell/month_status.h"
#include "session/preferences.h"
#include "shell_test_util.h"

namespace planilla::shell {
namespace {

class MonthStatusTest : public testing::DemoFixture {
 protected:
  void SetUp() override {
    DemoFixture::SetUp();
    ::setenv("XDG_CONFIG_HOME", (dir.path() + "/config").c_str(), 1);
    chooseDemoDate();
    s().userCode = "QTR";
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    DemoFixture::TearDown();
  }
};

TEST_F(MonthStatusTest, ALineOpensItsScreenAndTheChoiceIsKeptPerOperator) {
  std::vector<std::string> opened;
  // The demo month has its active employees and entries, nothing calculated (March:
  // no gratification lines).
  tk.expectDialog("ESTADOMES", "Estado Del Mes Marzo 2025")
      .inspect([](ui::Dialog& d) {
        auto* list = dynamic_cast<ui::Browse*>(d.control(101));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->row(1)[1], "Ingresos De Trabajador");
        EXPECT_EQ(list->row(1)[0], "Hecho");
        EXPECT_EQ(list->row(3)[1], "Calculo De Planilla");
        EXPECT_EQ(list->row(3)[0], "Pendiente");
      })
      .pick(101, 4)
      .press(201)
      .setCheck(204, true)
      .press(203);
  EXPECT_TRUE(showMonthStatusOnOpening(s()));
  F_ESTMES(s(), tk, [&](const std::string& f) { opened.push_back(f); });
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(opened, std::vector<std::string>{"F_P301"});
  EXPECT_FALSE(showMonthStatusOnOpening(s()));
  // Another operator on the same system account still sees it; nothing went into
  // the data directory.
  s().userCode = "ANA";
  EXPECT_TRUE(showMonthStatusOnOpening(s()));
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/config/planilla/preferencias"));
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find("prefer"), std::string::npos);
}

}  // namespace
}  // namespace planilla::shell
