#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "session/install.h"
#include "session/startup.h"
#include "session/tests/session_test_util.h"
#include "calc/payroll.h"
#include "reports/payslip.h"
#include "reports/report_format.h"
#include "reports/runrpv.h"
#include "store/catalog.h"

using namespace planilla;
using namespace planilla::reports;
using planilla::testing::Station;
using planilla::testing::TempDir;

namespace {

std::string readAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> crlfLines(const std::string& t) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < t.size()) {
    size_t e = t.find("\r\n", start);
    if (e == std::string::npos) {
      out.push_back(t.substr(start));
      break;
    }
    out.push_back(t.substr(start, e - start));
    start = e + 2;
  }
  return out;
}

size_t count(const std::string& hay, const std::string& needle) {
  size_t n = 0;
  for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
  return n;
}

using Values = std::map<std::string, double>;

class PayslipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(kViewerEnv, "true", 1);
    ASSERT_TRUE(installBase(platformFileSystem(), dir_.path()).isOk());
    ASSERT_TRUE(installDemo(platformFileSystem(), dir_.path(), Date(2026, 3, 31)).isOk());
    station_ = std::make_unique<Station>(dir_.path());
    Session& s = session();
    s.YCIA = "01";
    s.YFECHA = Date(2026, 3, 31);
    ASSERT_TRUE(acceptWorkingDate(s));
    period_ = s.period();
    // The month's payroll results, filled by the tests.
    ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), catalog::define(catalog::TableId::PayrollSoles, period_))
                    .isOk());
    station_->messages.boxes.clear();
  }

  Session& session() { return station_->session; }
  FileSystem& fs() { return platformFileSystem(); }

  std::unique_ptr<Table> open(catalog::TableId id) {
    auto t = catalog::openTable(fs(), dir_.path(), catalog::define(id, period_), OpenMode::Exclusive);
    EXPECT_TRUE(t.isOk()) << t.status().message();
    return std::move(t.value());
  }

  void addPayroll(const std::string& code, const Values& v) {
    auto t = open(catalog::TableId::PayrollSoles);
    ASSERT_TRUE(t->appendBlank().isOk());
    ASSERT_TRUE(t->replace("CODIGO", code).isOk());
    for (const auto& [f, x] : v) ASSERT_TRUE(t->replace(f, x).isOk()) << f;
  }

  void setFirma(const std::string& firma) {
    auto t = open(catalog::TableId::Rates);
    ASSERT_TRUE(t->setOrder(0).isOk());
    ASSERT_TRUE(t->goTop().isOk());
    ASSERT_TRUE(t->replace("Firma", firma).isOk());
  }

  void setEmployee(const std::string& code, const std::string& field, const std::string& value) {
    auto t = open(catalog::TableId::EmployeeMaster);
    ASSERT_TRUE(t->seek(padTo(code, 10)));
    ASSERT_TRUE(t->replace(field, value).isOk());
  }

  void setVacation(const std::string& code, const Date& from, const Date& to, double days) {
    auto t = open(catalog::TableId::VacationRoll);
    if (!t->seek(padTo(code, 10))) {
      ASSERT_TRUE(t->appendBlank().isOk());
      ASSERT_TRUE(t->replace("CODIGO", code).isOk());
    }
    ASSERT_TRUE(t->replace("INIVACA", from).isOk());
    ASSERT_TRUE(t->replace("FINVACA", to).isOk());
    ASSERT_TRUE(t->replace("DIAVAC", days).isOk());
  }

  void removeVacationRoll() {
    const auto def = catalog::define(catalog::TableId::VacationRoll, period_);
    for (const auto& f : {def.dbf(), def.base + ".cdx"}) {
      std::string p = fs().resolve(dir_.path() + "/" + f);
      if (fs().exists(p)) {
        ASSERT_TRUE(fs().remove(p).isOk());
      }
    }
  }

  // F_P401's checks, CODPER and PREP401 as the dialog runs them; the report text.
  std::string run(const std::string& code) {
    PayslipValues v;
    if (!checkPayslipPreconditions(session(), v)) return std::string();
    std::string name, cc = "      ";
    const std::string typed = padTo(code, 10);
    if (!CODPER(session(), typed, &name, &cc)) {
      session().closeAll();  // the screen closes its tables after the dialog
      return std::string();
    }
    if (!PREP401(session(), typed, v, cc)) return std::string();
    return readAll(dir_.path() + "/Test.rpv");
  }

  std::vector<std::string> messages() const { return station_->messages.texts(); }

  TempDir dir_;
  std::unique_ptr<Station> station_;
  catalog::Period period_;
};

const Values kRow = {{"FRACCION1", 30}, {"BAS_QUI", 2500}, {"ASIGNA", 102.5}, {"HSIMPLE_P", 40},
                     {"HDOBLE_P", 5.1}, {"SNPT", 325},     {"TBRUTO", 2647.6}, {"T_DSCTOT", 325},
                     {"IPSSE", 225},    {"TPAGAR", 2322.6}};

}  // namespace

TEST_F(PayslipTest, SettingsAndHeaderWithSignatureTwoAreByteExact) {
  setFirma("2");
  addPayroll("E0001", kRow);
  const std::string t = run("E0001");
  ASSERT_FALSE(t.empty()) << ::testing::PrintToString(messages());
  const std::string expected =
      "Report_Title=Boleta De Pago\r\nPaperSize=A4\r\nOrientation=1\r\nSpacing=220\r\n$c00=400\r\n$caa=w3\r\n"
      "$c01=1835\r\n$c02=4940\r\n$c03=7125\r\n$c04=10230\r\n$c05=11035\r\n$c06=13105\r\n$c07=14370\r\n"
      "[Header]\r\n{f=Lucida Console;\\n;s=10}\r\n{w=2;box=1300,2000,9000,12000}\r\n"
      "{pic=dm.bmp,8600,3000,1000,1000}\r\n{c=7;w=2;boxf=1310,6700,8980,450;c=0}\r\n"
      "{c=7;w=2;boxf=6000,10000,4280,340;c=0}\r\n{c=7;w=2;boxf=1310,10900,8980,350;c=0}\r\n"
      "{c=7;w=2;boxf=6000,11590,4280,370;c=0}\r\n{pic=firjpg2.jpg,1900,12400,3500,1000}\r\n"
      "{$c02} {tab=500} {\\n}\r\n{$c07} {\\n}\r\n{\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n}\r\n[Data]\r\n"
      "{e;$c01;a=l;b=y} {tab= +2100} BOLETA DE REMUNERACIONES{t;\\n;b=n;s=8}\r\n";
  EXPECT_EQ(t.substr(0, expected.size()), expected);
  EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
  // Every line ends in CR LF and nothing else.
  EXPECT_EQ(count(t, "\n"), count(t, "\r\n"));
  EXPECT_EQ(count(t, "\r"), count(t, "\r\n"));
}

TEST_F(PayslipTest, SignatureOneAndNoHeaderVariants) {
  addPayroll("E0001", kRow);
  setFirma("1-ROVAN");
  std::string one = run("E0001");
  EXPECT_NE(one.find("\r\n{pic=firRov2.jpg,2750,12400,1600,950}\r\n"), std::string::npos);
  EXPECT_EQ(one.find("firjpg2"), std::string::npos);
  setFirma("X");
  std::string none = run("E0001");
  EXPECT_EQ(none.find("[Header]"), std::string::npos);
  EXPECT_EQ(none.find("[Data]"), std::string::npos);
  EXPECT_NE(none.find("$c07=14370\r\n{e;$c01;a=l;b=y} {tab= +2100} BOLETA DE REMUNERACIONES"), std::string::npos);
}

TEST_F(PayslipTest, AmountLinesAndOverflow) {
  Values v = kRow;
  v["BAS_QUI"] = 123456.78;  // wider than 99,999.99
  addPayroll("E0001", v);
  const std::string t = run("E0001");
  auto lines = crlfLines(t);
  auto find = [&](const std::string& start) -> std::string {
    for (auto& l : lines)
      if (l.find(start) != std::string::npos) return l;
    return "";
  };
  EXPECT_EQ(find("Rem.Mensual"),
            "{e;$c01;a=l} {tab= +150} Rem.Mensual   :{e;$c02;a=r} {tab= +300}*********{e;$c03;a=l} {tab= -1100} "
            "O.N.P.            :{e;$c04;a=r} {tab= -350}   325.00{t;\\n}");
  EXPECT_EQ(find("Horas Extras  :{"),
            "{e;$c01;a=l} {tab= 150} Horas Extras  :{e;$c02;a=r} {tab= 300}    45.10{e;$c03;a=l} {tab= -1100} "
            "Seguro AFP        :{e;$c04;a=r} {tab= -350}      0.00{t;\\n}");
  EXPECT_EQ(find("Subsidios"),
            "{e;$c01;a=l} {tab= 150} Subsidios     :{e;$c02;a=r} {tab= 300}     0.00{e;$c03;a=l} {tab= -1100}"
            "Total Descuentos  :{e;$c04;a=r} {tab= -350}   325.00{t;\\n;\\n}");
  EXPECT_EQ(find("Neto A Pagar"),
            "{e;$c03;a=l} {tab= -1100} Neto A Pagar :    S/.{e;$c04;a=r} {tab= -350} 2,322.60"
            "{t;\\n;\\n;\\n;\\n;\\n;\\n;\\n}");
  EXPECT_EQ(find("KYL"), "{e;$c00;a=l}{tab= +900} KYLE0001/ADM   {t;b=n;\\n;\\n}");
}

// A member of a private pension fund: the fund contribution, the insurance premium and
// the commission each stand on their own labelled line with their own amount; the
// public system's line shows nothing.
TEST_F(PayslipTest, FundMemberContributionLines) {
  setEmployee("E0001", "NROAFP", "578190JPMRA4");
  Values v = kRow;  // gross 2,647.60 = 2,500.00 + 102.50 + 40.00 + 5.10
  v["SNPT"] = 0;
  v["AAPOR1"] = 264.76;  // 2,647.60 x 10%
  v["AAPOR2"] = 36.01;   // 2,647.60 x 1.36% = 36.007
  v["AAPOR3"] = 41.04;   // 2,647.60 x 1.55% = 41.038
  v["AFPDSC"] = 341.81;  // 264.76 + 36.01 + 41.04
  v["T_DSCTOT"] = 341.81;
  v["TPAGAR"] = 2305.79;  // 2,647.60 - 341.81
  addPayroll("E0001", v);
  const std::string t = run("E0001");
  ASSERT_FALSE(t.empty()) << ::testing::PrintToString(messages());
  const std::vector<std::string> lines = crlfLines(t);
  auto line = [&](const std::string& label) -> std::string {
    for (const auto& l : lines)
      if (l.find(label) != std::string::npos) return l;
    return "";
  };
  // "99,999.99" gives nine characters; the premium and the commission have one blank
  // more before their amount.
  EXPECT_EQ(line("O.N.P."),
            "{e;$c01;a=l} {tab= +150} Rem.Mensual   :{e;$c02;a=r} {tab= +300} 2,500.00{e;$c03;a=l} {tab= -1100} "
            "O.N.P.            :{e;$c04;a=r} {tab= -350}     0.00{t;\\n}");
  EXPECT_EQ(line("Pension  AFP"),
            "{e;$c01;a=l} {tab= +150} Asig.Familiar :{e;$c02;a=r} {tab= +300}   102.50{e;$c03;a=l} {tab= -1100} "
            "Pension  AFP      :{e;$c04;a=r} {tab= -350}   264.76{t;\\n}");
  EXPECT_EQ(line("Seguro AFP"),
            "{e;$c01;a=l} {tab= 150} Horas Extras  :{e;$c02;a=r} {tab= 300}    45.10{e;$c03;a=l} {tab= -1100} "
            "Seguro AFP        :{e;$c04;a=r} {tab= -350}     36.01{t;\\n}");
  EXPECT_EQ(line("Comision AFP"),
            "{e;$c01;a=l} {tab= 150} Vacaciones    :{e;$c02;a=r} {tab= 300}     0.00{e;$c03;a=l} {tab= -1100} "
            "Comision AFP      :{e;$c04;a=r} {tab= -350}     41.04{t;\\n}");
  EXPECT_NE(line("C.U.S.P.P.").find("{tab= +1120} C.U.S.P.P. : 578190JPMRA4{t;\\n}"), std::string::npos)
      << line("C.U.S.P.P.");
  EXPECT_NE(line("Total Descuentos").find("{tab= -350}   341.81{t;\\n;\\n}"), std::string::npos);
  EXPECT_NE(line("Neto A Pagar").find("{tab= -350} 2,305.79{t;"), std::string::npos);
}

TEST_F(PayslipTest, NoVacationRollGivesTheEmptyVacationLineAndAllDaysWorked) {
  removeVacationRoll();
  addPayroll("E0001", kRow);
  const std::string t = run("E0001");
  EXPECT_NE(t.find("\r\n{e;$c01;a=l}{tab= +50} Inicio Vacac. :{e;$c02;a=r}{tab= +2050} Cese Vacac.: {t;\\n}\r\n"),
            std::string::npos);
  EXPECT_NE(t.find("\r\n{e;$c01;a=l}{tab= +50} Dias Trab.    :  30{t;$c02;a=l}{tab= -700} Horas Trab.: 240"
                   "{t;$c03;a=l}{tab= -820} Horas Extras  :   0{t;\\n}\r\n"),
            std::string::npos);
}

TEST_F(PayslipTest, VacationLineAndDaysWorkedLessVacation) {
  setVacation("E0001", Date(2026, 3, 1), Date(2026, 3, 10), 10);
  Values v = kRow;
  v["HSIMPLE"] = 3;
  v["HDOBLE"] = 2;
  addPayroll("E0001", v);
  const std::string t = run("E0001");
  EXPECT_NE(t.find("\r\n{e;$c01;a=l}{tab= +50} Inicio Vacac. : 01/03/2026{e;$c03;a=l}{tab= -1290} Cese Vacac.: "
                   "10/03/2026{e;$c03;a=l}{tab= +1250}  (10 dias){t;\\n}\r\n"),
            std::string::npos);
  EXPECT_NE(t.find("Dias Trab.    :  20{t;$c02;a=l}{tab= -700} Horas Trab.: 160{t;$c03;a=l}{tab= -820} "
                   "Horas Extras  :   5{t;\\n}"),
            std::string::npos);
}

TEST_F(PayslipTest, WholeMonthOnVacationShowsZeroDaysAndHours) {
  setVacation("E0001", Date(2026, 3, 1), Date(2026, 3, 30), 30);
  addPayroll("E0001", kRow);
  const std::string t = run("E0001");
  EXPECT_NE(t.find("Dias Trab.    :   0{t;$c02;a=l}{tab= -700} Horas Trab.:   0{"), std::string::npos);
}

TEST_F(PayslipTest, WorkedDaysLineWithRecordedHours) {
  Values v = kRow;
  v["HORASTRA"] = 232;
  addPayroll("E0001", v);
  const std::string t = run("E0001");
  EXPECT_NE(t.find("\r\n{e;$c01;a=l}{tab= +50} Dias Trab.    :30{t;$c02;a=l}{tab= -700} Horas Trab.: 232"
                   "{t;$c03;a=l}{tab= -820} Horas Extras  :   0{t;\\n}\r\n"),
            std::string::npos);
}

TEST_F(PayslipTest, TwoPayrollRowsOfOneCodeGiveTwoPayslips) {
  addPayroll("E0001", kRow);
  Values second = kRow;
  second["TPAGAR"] = 99.99;
  addPayroll("E0001", second);
  addPayroll("E0002", kRow);
  const std::string t = run("E0001");
  EXPECT_EQ(count(t, "BOLETA DE REMUNERACIONES"), 2u);
  EXPECT_EQ(count(t, "KYLE0001/"), 2u);
  EXPECT_EQ(count(t, "KYLE0002/"), 0u);
  EXPECT_LT(t.find(" 2,322.60{t;"), t.find("     99.99{t;"));
}

TEST_F(PayslipTest, NamesKeepTheirWindows1252Bytes) {
  setEmployee("E0001", "NOMBRE", "MU\xD1OZ PE\xD1" "A, JOS\xC9");
  addPayroll("E0001", kRow);
  const std::string t = run("E0001");
  const std::string name = padTo("MU\xD1OZ PE\xD1" "A, JOS\xC9", 50);
  EXPECT_NE(t.find("{e;$c01;a=l}{tab= +50} Nombre  : " + name + "{t;\\n}\r\n"), std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(t[t.find("Nombre  : MU") + 12]), 0xD1);
}

TEST_F(PayslipTest, MissingWorkerTypeAndEmptyHireDate) {
  setEmployee("E0001", "TIPTRAB", "ZZ");
  {
    auto t = open(catalog::TableId::EmployeeMaster);
    ASSERT_TRUE(t->seek(padTo("E0001", 10)));
    ASSERT_TRUE(t->replace("FECH_ING", Date()).isOk());
  }
  addPayroll("E0001", kRow);
  const std::string t = run("E0001");
  EXPECT_NE(t.find("Tipo Trab.    :  {e;$c03;a=l}{tab= +800} Faltas    :"), std::string::npos);
  EXPECT_NE(t.find("Fecha Ingreso : 00/00/   0{t;\\n}"), std::string::npos);
}

TEST_F(PayslipTest, EmployeeWithoutPayrollRowGetsNoReport) {
  addPayroll("E0002", kRow);
  { std::ofstream(dir_.path() + "/Test.rpv", std::ios::binary) << "anterior"; }
  EXPECT_EQ(run("E0001"), "");
  EXPECT_EQ(messages(), (std::vector<std::string>{"Trabajador  E0001      Sin Boleta "}));
  EXPECT_EQ(station_->messages.boxes[0].title, "Stop");
  EXPECT_EQ(readAll(dir_.path() + "/Test.rpv"), "anterior");
  EXPECT_EQ(session().current(), nullptr);  // tables closed
}

TEST_F(PayslipTest, UnknownCodeIsRefusedByTheValidation) {
  addPayroll("E0001", kRow);
  EXPECT_EQ(run("X999"), "");
  ASSERT_EQ(station_->messages.boxes.size(), 1u);
  EXPECT_EQ(station_->messages.boxes[0].text, "Codigo Empleado  X999       No Existe");
  EXPECT_EQ(station_->messages.boxes[0].title, "Error En Ingreso De Dato");
  // The writer itself refuses too when called with an unknown code.
  PayslipValues v;
  ASSERT_TRUE(checkPayslipPreconditions(session(), v));
  EXPECT_FALSE(PREP401(session(), padTo("X999", 10), v, "      "));
  EXPECT_EQ(station_->messages.boxes.back().text, "Trabajador X999       No Existe");
}

TEST_F(PayslipTest, PreconditionRefusals) {
  PayslipValues v;
  // Empty payroll results.
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Sin Registros ");
  // Missing payroll results of the month.
  const auto e2 = catalog::define(catalog::TableId::PayrollSoles, period_);
  ASSERT_TRUE(fs().remove(fs().resolve(dir_.path() + "/" + e2.dbf())).isOk());
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Archivo Planilla-1 Mes 03 No Existe");
  // Missing worker types (checked after the payroll results).
  ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), e2).isOk());
  addPayroll("E0001", kRow);
  const auto types = catalog::define(catalog::TableId::WorkerTypes, period_);
  ASSERT_TRUE(fs().remove(fs().resolve(dir_.path() + "/" + types.dbf())).isOk());
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Maestro Tipo De Trabajador  No Existe, (Crearlo) ");
  // Parameters table missing.
  const auto rates = catalog::define(catalog::TableId::Rates, period_);
  ASSERT_TRUE(fs().remove(fs().resolve(dir_.path() + "/" + rates.dbf())).isOk());
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Maestro De Parametros No Existe");
  // A company without institution record.
  session().YCIA = "07";
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Maestro De Institucion  No Existe  ");
  // No company chosen.
  session().YCIA = "  ";
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)");
  for (const auto& b : station_->messages.boxes) EXPECT_EQ(b.title, "Stop") << b.text;
  EXPECT_EQ(session().current(), nullptr);
  EXPECT_FALSE(std::ifstream(dir_.path() + "/Test.rpv").good());
}

TEST_F(PayslipTest, MissingInstitutionTable) {
  PayslipValues v;
  ASSERT_TRUE(fs().remove(fs().resolve(dir_.path() + "/pmae0001.dbf")).isOk());
  EXPECT_FALSE(checkPayslipPreconditions(session(), v));
  EXPECT_EQ(messages().back(), "Tabla de Institucion  No Existe  ");
}

TEST_F(PayslipTest, InstitutionValuesReachTheSignatureBlock) {
  addPayroll("E0001", kRow);
  const std::string t = run("E0001");
  InstitutionData in;
  ASSERT_EQ(readInstitution(session(), in), Lookup::Found);
  EXPECT_NE(t.find("{e;$c01;a=l} {tab= +650} " + in.nombres + "{e;$c03;a=l} {tab= +200}{t;\\n}\r\n"),
            std::string::npos);
  EXPECT_NE(t.find("{e;$c01;a=l} {tab=" + numberText(in.lineacar) + "} " + in.cargo +
                   "{e;$c03;a=l} {tab= +200} TRABAJADOR(A){t;b=n;\\n;\\n}\r\n"),
            std::string::npos);
  EXPECT_NE(t.find("Registro Patronal :  " + in.patro + "{e;$c03;a=l} {tab= -500} Ruc :  " + in.ruc + "{t;\\n}"),
            std::string::npos);
}

// A month with an extraordinary payment, as the run leaves it for a company that
// withholds its tax apart: RTA_5TA holds both taxes, RTA_EXTRA (a field the run adds)
// the extraordinary one. 1,544.73 - 1,400.00 = 144.73 is the month's tax.
TEST_F(PayslipTest, ExtraordinaryTaxHasItsOwnLine) {
  const auto def = catalog::define(catalog::TableId::PayrollSoles, period_);
  std::vector<FieldSpec> fields = catalog::calcTemplateFields();
  fields.push_back(calc::extraTaxField());
  ASSERT_TRUE(Table::create(fs(), dir_.path() + "/" + def.dbf(), fields).isOk());
  ASSERT_TRUE(catalog::rebuildIndexes(fs(), dir_.path(), def, true).isOk());
  Values v = kRow;
  v["RTA_5TA"] = 1544.73;
  v["RTA_EXTRA"] = 1400;
  addPayroll("E0001", v);
  const std::string t = run("E0001");
  EXPECT_NE(t.find("Rta.5ta.Categoria :{e;$c04;a=r} {tab= -350}   144.73{t;\\n}\r\n"
                   "{e;$c01;a=l} {tab= 150}               {e;$c02;a=r} {tab= 300}{e;$c03;a=l} {tab= -1100} "
                   "Rta.5ta.Extraord. :{e;$c04;a=r} {tab= -350} 1,400.00{t;\\n}"),
            std::string::npos)
      << t;
  // It takes the blank line under the amounts: the slip keeps its number of lines.
  EXPECT_NE(t.find("Total Descuentos  :{e;$c04;a=r} {tab= -350}   325.00{t;\\n}\r\n"), std::string::npos) << t;
}
