// The active employees of the month (F_PJLG02): the month's table made from the general
// master, the month form, the two refresh operations and the day counts.
#include <functional>

#include <gtest/gtest.h>

#include "masters/active_employees.h"
#include "masters/employees.h"
#include "masters/tests/employees_test_util.h"

namespace planilla::masters {
namespace {

using catalog::TableId;
using ui::MsgKind;

constexpr int kModify = 102, kRefresh = 106, kOneRefresh = 107, kRealDays = 108, kLeap = 109, kExit = 110;

ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

class Active : public testing::EmployeesFixture {
 protected:
  void run() {
    F_PJLG02(st.session, st.tk);
    EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  }
  // The codes of the month's table in record order.
  std::vector<std::string> codes() {
    std::vector<std::string> out;
    for (auto& r : stored(TableId::ActiveEmployees).rows) out.push_back(r["codigo"]);
    return out;
  }
};

TEST(DaysOfMonth, CalendarDaysWithoutLeapYears) {
  // "Thirty days hath September, April, June and November"; February 28.
  const std::vector<std::pair<const char*, int>> months = {
      {"01", 31}, {"02", 28}, {"03", 31}, {"04", 30}, {"05", 31}, {"06", 30}, {"07", 31},
      {"08", 31}, {"09", 30}, {"10", 31}, {"11", 30}, {"12", 31}, {"00", 0},  {"13", 0}};
  for (auto [month, days] : months) EXPECT_EQ(daysOfMonth(month), days) << month;
}

// The day and hour fields of the month form: 0 up to their bound, never below.
TEST_F(Active, DayAndHourFieldsRefuseNegativesAndTooMany) {
  struct Case {
    const char* what;
    std::function<bool(double)> check;
    double top;
  };
  const Case cases[] = {
      {"dias trabajados", [&](double v) { return COD01TRA(st.session, v, 1); }, 31},
      {"dias de falta", [&](double v) { return COD01TRA(st.session, v, 2); }, 31},
      {"horas", [&](double v) { return COD02TRA(st.session, v); }, 240},
      {"dias", [&](double v) { return COD03TRA(st.session, v); }, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (double bad : {-1.0, -0.5, c.top + 1}) {
      st.tk.expectMessage(MsgKind::Alert, "Rango Fuera De Parametro", "Error En Ingreso De Dato");
      EXPECT_FALSE(c.check(bad)) << bad;
    }
    EXPECT_TRUE(c.check(0));
    EXPECT_TRUE(c.check(c.top));
  }
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
}

TEST_F(Active, MissingGeneralMasterStopsTheScreen) {
  st.session.YANO = "  ";
  st.tk.expectMessage(MsgKind::Alert, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Alert");
  run();
  st.session.YANO = "16";
  seedCodeTables();
  st.tk.expectMessage(MsgKind::Alert, "Tabla Maestro Empleados  No Existe, (Crearlo)", "Alert");
  run();
  EXPECT_FALSE(dir.has("p9051601.dbf"));
}

// A new month: the terminated employee is left out; the month form keeps its values
// through both refresh operations, which bring in the later hires once each.
TEST_F(Active, NewMonthFormAndRefreshes) {
  seedCodeTables();
  seedMaster({{"E001", "PEREZ", "JUAN", " "}, {"E002", "QUISPE", "ANA", "1"}, {"E003", "ROJAS", "LUIS", " "}});
  st.tk.expectDialog("MANTEP03", "Mantenimiento Maestro De Empleados Activos")
      .inspect([](ui::Dialog& d) {
        EXPECT_FALSE(d.centered());
        ASSERT_EQ(listOf(d).rowCount(), 2);
        EXPECT_EQ(listOf(d).row(1)[0], padTo("E003", 10));
      })
      .pick(101, 1)
      .press(kModify)
      .expectDialog("EDITACTI", "Modificar Registro")
      .expectText(102, "E001")
      .expectText(122, "")  // no situation in the master
      .type(170, "241")
      .leave(170)
      .expectMessage(MsgKind::Alert, "Rango Fuera De Parametro", "Error En Ingreso De Dato")
      .expectFocus(170)
      .type(170, "240")
      .type(150, "20")
      .type(183, "55")
      .radio(182)  // the typed amount is not kept
      .type(152, "2")
      .type(174, "3")
      .type(176, "1")
      .type(178, "15")
      .type(180, "32")
      .leave(180)
      .expectMessage(MsgKind::Alert, "Rango Fuera De Parametro", "Error En Ingreso De Dato")
      .type(180, "31")
      .press(301)
      .press(kRealDays)  // May: 31 days for everyone
      .inspect([](ui::Dialog& d) {
        EXPECT_EQ(listOf(d).row(0)[7], "31");
        EXPECT_EQ(listOf(d).row(1)[7], "31");
      })
      .press(kExit);
  run();
  EXPECT_TRUE(dir.has("p9051601.cdx"));
  EXPECT_TRUE(dir.has("p8051601.cdx"));
  ASSERT_EQ(codes(), (std::vector<std::string>{padTo("E001", 10), padTo("E003", 10)}));
  {
    auto s = stored(TableId::ActiveEmployees);
    auto& n = s.nums[0];
    EXPECT_EQ(n["dia_tra"], 20);
    EXPECT_EQ(n["horastra"], 240);
    EXPECT_EQ(n["control"], 2);
    EXPECT_EQ(n["imp5ta"], 0);
    EXPECT_EQ(n["fraccion"], 2);
    EXPECT_EQ(n["subsid"], 3);
    EXPECT_EQ(n["nosubs"], 1);
    EXPECT_EQ(n["tardan"], 15);
    EXPECT_EQ(n["fraccion1"], 31);
    EXPECT_DOUBLE_EQ(n["bas_men"], 1500);  // carried from the master
    EXPECT_EQ(s.rows[1]["nombre"], padTo("ROJAS , LUIS ", 50));
  }

  // Two hires after the month was made, one of them terminated at once.
  seedMaster({{"E004", "SALAS", "EVA", " "}, {"E005", "TORRES", "RAUL", " "}, {"E006", "URBINA", "LEO", "2"}});
  st.tk.expectDialog("MANTEP03")
      .press(kOneRefresh)
      .expectDialog("ONEREFRES", "Adicionar OneRefresh")
      .choose(102, "PEREZ , JUAN")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Trabajador  E001       Ya Existe en Esta Planilla", "Stop")
      .choose(102, "QUISPE , ANA")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Trabajador  E002        Dado de Baja", "Stop")
      .choose(102, "TORRES , RAUL")
      .leave(102)
      .expectText(551, "E005")
      .press(109)
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).rowCount(), 3); })
      .press(kRefresh)
      .press(kRefresh)  // a second refresh finds no one missing
      .inspect([](ui::Dialog& d) { EXPECT_EQ(listOf(d).rowCount(), 4); })
      .press(kExit);
  run();
  EXPECT_EQ(codes(), (std::vector<std::string>{padTo("E001", 10), padTo("E003", 10), padTo("E005", 10), padTo("E004", 10)}));
  auto s = stored(TableId::ActiveEmployees);
  EXPECT_EQ(s.nums[0]["dia_tra"], 20);  // the month's values stay
  EXPECT_EQ(s.nums[0]["fraccion1"], 31);
  EXPECT_EQ(s.nums[3]["dia_tra"], 30);  // E004 as in the master
  EXPECT_EQ(s.nums[3]["fraccion1"], 0);
  EXPECT_EQ(s.rows[2]["nombre"], padTo("TORRES , RAUL ", 50));
}

// "&Dias Real" gives the calendar days of the working month without leap years;
// "&Bisiesto" sets 29 in February only.
TEST_F(Active, RealDaysAndLeapFebruary) {
  seedCodeTables();
  seedMaster({{"E001", "PEREZ", "JUAN", " "}, {"E003", "ROJAS", "LUIS", " "}});
  struct Case {
    const char* month;
    int button;
    const char* shown;
  };
  const Case cases[] = {
      {"04", kLeap, " 0"},     {"04", kRealDays, "30"}, {"04", kLeap, "30"},  // April: Bisiesto changes nothing
      {"02", kRealDays, "28"}, {"02", kLeap, "29"},                          // February 2016
      {"00", kRealDays, " 0"},                                               // 1 January: no month
  };
  for (const auto& c : cases) {
    st.session.YMES = c.month;
    st.tk.expectDialog("MANTEP03")
        .press(c.button)
        .inspect([&c](ui::Dialog& d) {
          EXPECT_EQ(listOf(d).row(0)[7], c.shown) << c.month << " " << c.button;
          EXPECT_EQ(listOf(d).row(1)[7], c.shown) << c.month << " " << c.button;
        })
        .press(kExit);
    run();
  }
  st.session.YMES = "02";
  for (auto& n : stored(TableId::ActiveEmployees).nums) EXPECT_EQ(n["fraccion1"], 29);
}

}  // namespace
}  // namespace planilla::masters
