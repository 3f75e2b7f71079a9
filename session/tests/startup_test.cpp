// Start-up logic: working-date derivation, login, company check, acceptance of the
// working date and the main window's title.
#include "session/startup.h"

#include <sys/resource.h>

#include <fstream>

#include <gtest/gtest.h>

#include "session/install.h"
#include "session/reindex.h"
#include "session/tables.h"
#include "session/tests/session_test_util.h"
#include "store/catalog.h"

namespace planilla {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;

std::string blanks(size_t n) { return std::string(n, ' '); }

// Damages for the index of a start-up table: what an index build cut short used to
// leave (the bag with no tag) and a file that is no index at all.
enum class Damage { NoTag, Garbage };
void damageBag(const std::string& dir, const std::string& table, const std::string& bag, Damage d) {
  if (d == Damage::Garbage) {
    std::ofstream(catalog::joinPath(dir, bag), std::ios::binary | std::ios::trunc) << std::string(3072, 'x');
    return;
  }
  auto t = Table::openReadOnly(platformFileSystem(), catalog::joinPath(dir, table));
  ASSERT_TRUE(t.isOk());
  ASSERT_TRUE(IndexBag::create(platformFileSystem(), catalog::joinPath(dir, bag), (*t)->recordLayout()).isOk());
}

// --- FECRETE ---------------------------------------------------------------------------

TEST(Fecrete, FirstOfJanuaryGivesMonth00) {
  TempDir dir;
  Station st(dir.path());
  Session& s = st.session;
  ASSERT_TRUE(FECRETE(s, Date(2016, 1, 1)));
  EXPECT_EQ(s.YMES, "00");
  EXPECT_EQ(s.MES_CIE, "Enero");
  EXPECT_EQ(s.YANO, "16");
  EXPECT_EQ(s.DIA_CIE, "01");
  EXPECT_EQ(s.YDIA, "01");
  EXPECT_EQ(s.ANO_CIE, "2016");
  EXPECT_EQ(catalog::baseName(TableId::IncomeEntries, {"01", s.YMES, s.YANO}), "ph010016");
}

TEST(Fecrete, OrdinaryDatesAndTheSecondOfJanuary) {
  TempDir dir;
  Station st(dir.path());
  Session& s = st.session;
  ASSERT_TRUE(FECRETE(s, Date(2016, 3, 15)));
  EXPECT_EQ(s.YMES, "03");
  EXPECT_EQ(s.YANO, "16");
  EXPECT_EQ(s.ANO_CIE, "2016");
  EXPECT_EQ(s.DIA_CIE, "15");
  EXPECT_EQ(s.MES_CIE, "Marzo");
  ASSERT_TRUE(FECRETE(s, Date(2016, 1, 2)));
  EXPECT_EQ(s.YMES, "01");
  EXPECT_EQ(s.DIA_CIE, "02");
  ASSERT_TRUE(FECRETE(s, Date(2009, 9, 5)));
  EXPECT_EQ(s.YMES, "09");
  EXPECT_EQ(s.YANO, "09");
  EXPECT_EQ(s.MES_CIE, "Setiembre");
  EXPECT_EQ(s.DIA_CIE, "05");
  EXPECT_TRUE(st.messages.boxes.empty());
}

TEST(Fecrete, EmptyDateRefusedWithEmptyTitle) {
  TempDir dir;
  Station st(dir.path());
  Session& s = st.session;
  EXPECT_FALSE(FECRETE(s, Date()));
  ASSERT_EQ(st.messages.boxes.size(), 1u);
  EXPECT_EQ(st.messages.boxes[0].text, "Ingrese Fecha Del Sistema");
  EXPECT_EQ(st.messages.boxes[0].title, "");
  EXPECT_EQ(s.YMES, "  ");  // nothing derived
  EXPECT_EQ(s.YANO, "  ");
  EXPECT_FALSE(FECRETE(s, Date(2016, 2, 30)));
  EXPECT_EQ(s.YMES, "  ");
  // Years outside 1900 to 2099 would name another year's files (0026 -> "26").
  st.messages.boxes.clear();
  for (const Date& d : {Date(26, 12, 31), Date(1899, 12, 31), Date(2100, 1, 1)}) {
    EXPECT_FALSE(FECRETE(s, d)) << d.year();
    EXPECT_EQ(s.YANO, "  ");
  }
  ASSERT_EQ(st.messages.boxes.size(), 3u);
  for (const auto& b : st.messages.boxes) {
    EXPECT_EQ(b.text, "Fecha No Valida");
    EXPECT_EQ(b.title, "");
  }
}

TEST(Fecrete, MonthNamesAndFiveCharacterYear) {
  const char* names[] = {"Enero", "Febrero", "Marzo",     "Abril",   "Mayo",      "Junio",
                         "Julio", "Agosto",  "Setiembre", "Octubre", "Noviembre", "Diciembre"};
  for (int m = 1; m <= 12; ++m) EXPECT_STREQ(monthName(m), names[m - 1]);
  EXPECT_STREQ(monthName(0), "");
  EXPECT_STREQ(monthName(13), "");
  EXPECT_EQ(yearText5(2016), " 2016");
  EXPECT_EQ(yearText5(999), "  999");
}

TEST(StartupSettings, AtLeastSixtyFileHandles) {
  EXPECT_GE(applyProcessSettings(), 60);
  struct rlimit rl {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &rl), 0);
  if (rl.rlim_cur != RLIM_INFINITY) {
    EXPECT_GE(rl.rlim_cur, 60u);
  }
}

// --- globals -----------------------------------------------------------------------------

TEST(SessionGlobals, InitialValuesAndWidths) {
  TempDir dir;
  Station st(dir.path());
  const Session& s = st.session;
  EXPECT_FALSE(s.LACCESO);
  EXPECT_EQ(s.CVARGETX, blanks(4));
  EXPECT_EQ(s.CVARGETY, blanks(10));
  EXPECT_TRUE(s.YFECHA.empty());
  EXPECT_EQ(s.YCIA, blanks(2));
  EXPECT_EQ(s.YNOMBRE1, blanks(45));
  EXPECT_EQ(s.YMES, blanks(2));
  EXPECT_EQ(s.YANO, blanks(2));
  EXPECT_EQ(s.WANO, blanks(4));
  EXPECT_EQ(s.windowTitle, "Sistema De Planilla (Varmond)");
}

TEST(SessionGlobals, ResetPeriodAfterLogin) {
  TempDir dir;
  Station st(dir.path());
  Session& s = st.session;
  s.YCIA = "07";
  s.YFECHA = Date(2020, 5, 5);
  s.YMES = "05";
  s.YANO = "20";
  s.YNOMBRE1 = "X";
  s.resetPeriod();
  EXPECT_EQ(s.YCIA, "  ");
  EXPECT_TRUE(s.YFECHA.empty());
  EXPECT_EQ(s.YMES, "  ");
  EXPECT_EQ(s.YANO, "  ");
  EXPECT_EQ(s.YNOMBRE1, blanks(45));
}

TEST(SessionGlobals, OpeningCheckOfTheScreens) {
  TempDir dir;
  Station st(dir.path());
  Session& s = st.session;
  EXPECT_FALSE(requireCompany(s));
  ASSERT_EQ(st.messages.boxes.size(), 1u);
  EXPECT_EQ(st.messages.boxes[0].text, "Primero, Elija La Compania Con Que Va a Trabajar (cia)");
  EXPECT_EQ(st.messages.boxes[0].title, "Mensaje");
  s.YCIA = "01";
  EXPECT_TRUE(requireCompany(s));
  EXPECT_FALSE(requireCompany(s, true));  // month and year still blank
  EXPECT_FALSE(requireDate(s, true));
  EXPECT_EQ(st.messages.boxes.back().text, "Primero, Ingrese Fecha");
  s.YMES = "03";
  s.YANO = "16";
  EXPECT_TRUE(requireCompany(s, true));
  EXPECT_EQ(st.messages.boxes.size(), 3u);
}

// --- login -------------------------------------------------------------------------------

class Login : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    // A second password with another function: the login matches any function (one
    // that names no menu group opens them all; access "F" everywhere would refuse it).
    auto t = catalog::openTable(platformFileSystem(), dir.path(), catalog::define(TableId::Users, {}),
                                OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->appendBlank().isOk());
    ASSERT_TRUE((*t)->replace("INICIA", "CLAVE1").isOk());
    ASSERT_TRUE((*t)->replace("FUNCION", "FUN009").isOk());
    ASSERT_TRUE((*t)->replace("ACCESO", "T").isOk());
  }
  TempDir dir;
};

TEST_F(Login, FixedUserAndPasswordOfAnyFunction) {
  Station st(dir.path());
  Session& s = st.session;
  EXPECT_TRUE(VALACEPTAR(s, "PLANILLA", "QTR "));
  EXPECT_TRUE(s.LACCESO);
  EXPECT_TRUE(st.messages.boxes.empty());
  EXPECT_EQ(s.current(), nullptr);  // every table closed
  s.LACCESO = false;
  EXPECT_TRUE(VALACEPTAR(s, "clave1", "qtr "));  // the "@!" picture upper-cases both
  EXPECT_TRUE(s.LACCESO);
}

TEST_F(Login, PasswordIsPaddedNotAPrefix) {
  Station st(dir.path());
  Session& s = st.session;
  EXPECT_TRUE(VALACEPTAR(s, "CLAVE", "QTR "));
  EXPECT_FALSE(s.LACCESO);
  ASSERT_EQ(st.messages.boxes.size(), 1u);
  EXPECT_EQ(st.messages.boxes[0].text, "Clave No Valida  , Intente Nuevamente");
  EXPECT_EQ(st.messages.boxes[0].title, "Mensaje");
  EXPECT_EQ(st.messages.boxes[0].kind, ui::MsgKind::Stop);
  EXPECT_FALSE(s.endRequested);
  EXPECT_TRUE(VALACEPTAR(s, "PLANILLA  ", "QTR "));
  EXPECT_TRUE(s.LACCESO);
  s.LACCESO = false;
  EXPECT_TRUE(VALACEPTAR(s, "PLANILLAX", "QTR "));
  EXPECT_FALSE(s.LACCESO);
  // The field holds ten characters: an eleventh is not cut away to let the first ten in.
  st.messages.boxes.clear();
  ASSERT_TRUE(VALACEPTAR(s, "CLAVE1", "QTR "));
  ASSERT_TRUE(s.LACCESO);
  s.LACCESO = false;
  EXPECT_TRUE(VALACEPTAR(s, "CLAVE1    X", "QTR "));
  EXPECT_FALSE(s.LACCESO);
  EXPECT_TRUE(VALACEPTAR(s, "CLAVE1        ", "QTR "));  // trailing blanks are the padding
  EXPECT_TRUE(s.LACCESO);
  ASSERT_EQ(st.messages.boxes.size(), 1u);
  EXPECT_EQ(st.messages.boxes[0].text, "Clave No Valida  , Intente Nuevamente");
}

TEST_F(Login, OtherUserIsRefusedWithoutLookingUp) {
  // Without the users file a lookup would end the program: the user check comes first.
  ASSERT_TRUE(platformFileSystem().remove(dir.file("kylusua.dbf")).isOk());
  Station st(dir.path());
  Session& s = st.session;
  for (const char* user : {"QTR", "QTRX", "ABC ", "    "}) {
    st.messages.boxes.clear();
    EXPECT_TRUE(VALACEPTAR(s, "PLANILLA", user));
    EXPECT_FALSE(s.LACCESO);
    ASSERT_EQ(st.messages.boxes.size(), 1u) << user;
    EXPECT_EQ(st.messages.boxes[0].text, "Ingrese Login");
    EXPECT_FALSE(s.endRequested);
  }
}

TEST_F(Login, MissingUsersFilesEndTheProgram) {
  ASSERT_TRUE(platformFileSystem().remove(dir.file("kylusua.cdx")).isOk());
  {
    Station st(dir.path());
    EXPECT_TRUE(VALACEPTAR(st.session, "PLANILLA", "QTR "));
    EXPECT_FALSE(st.session.LACCESO);
    EXPECT_TRUE(st.session.endRequested);
    EXPECT_EQ(st.messages.texts(), std::vector<std::string>{"Archivo De Accesos-2  No Existe"});
  }
  ASSERT_TRUE(platformFileSystem().remove(dir.file("kylusua.dbf")).isOk());
  Station st(dir.path());
  EXPECT_TRUE(VALACEPTAR(st.session, "PLANILLA", "QTR "));
  EXPECT_TRUE(st.session.endRequested);
  EXPECT_EQ(st.messages.texts(), std::vector<std::string>{"Archivo De Accesos-1  No Existe"});
}

TEST_F(Login, DamagedUsersIndexIsNamedAndTheTableReadWithoutIt) {
  for (Damage d : {Damage::NoTag, Damage::Garbage}) {
    SCOPED_TRACE(d == Damage::NoTag ? "sin etiqueta" : "basura");
    damageBag(dir.path(), "kylusua.dbf", "kylusua.cdx", d);
    Station st(dir.path());
    Session& s = st.session;
    EXPECT_TRUE(VALACEPTAR(s, "clave1", "QTR "));
    EXPECT_TRUE(s.LACCESO);
    ASSERT_EQ(st.messages.boxes.size(), 1u);
    EXPECT_EQ(st.messages.boxes[0].kind, ui::MsgKind::Alert);
    EXPECT_NE(st.messages.boxes[0].text.find("kylusua.cdx"), std::string::npos) << st.messages.boxes[0].text;
    EXPECT_EQ(s.current(), nullptr);
    s.LACCESO = false;
    EXPECT_TRUE(VALACEPTAR(s, "CLAVE", "QTR "));  // still no prefix of a password
    EXPECT_FALSE(s.LACCESO);
    EXPECT_EQ(st.messages.boxes.back().text, "Clave No Valida  , Intente Nuevamente");
    // The reindex the login lets through repairs it.
    std::vector<ReindexResult> results;
    ASSERT_TRUE(reindexPeriod(s, results));
    st.messages.boxes.clear();
    EXPECT_TRUE(VALACEPTAR(s, "PLANILLA", "QTR "));
    EXPECT_TRUE(s.LACCESO);
    EXPECT_TRUE(st.messages.boxes.empty());
  }
}

// --- company check and working date -------------------------------------------------------

class WorkingDate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    auto t = catalog::openTable(platformFileSystem(), dir.path(), catalog::define(TableId::Institutions, {}),
                                OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->appendBlank().isOk());
    ASSERT_TRUE((*t)->replace("COD_CIA", "01").isOk());
    ASSERT_TRUE((*t)->replace("NOM_CIA", std::string(48, 'N') + "ZZ").isOk());  // 50 characters
    ASSERT_TRUE((*t)->replace("NOM_ABREV", "ABCDEFGH").isOk());
    ASSERT_TRUE((*t)->replace("RUC", "20100000001").isOk());
  }
  Table* institution(Session& s) { return s.alias("xSeteoCia"); }
  TempDir dir;
};

TEST_F(WorkingDate, ChekciaBlankUnknownAndFound) {
  Station st(dir.path());
  Session& s = st.session;
  ASSERT_TRUE(openInstitutions(s));
  std::string code = "  ";
  EXPECT_FALSE(CHEKCIA(s, code));
  EXPECT_EQ(st.messages.boxes.back().text, "Codigo Institucion En Blanco");
  code = "99";
  EXPECT_FALSE(CHEKCIA(s, code));
  EXPECT_EQ(st.messages.boxes.back().text, "Codigo Ingresado 99 No Existe");
  EXPECT_EQ(st.messages.boxes.back().title, "Mensaje");
  code = "01";
  EXPECT_TRUE(CHEKCIA(s, code));
  EXPECT_EQ(code, "01");
  EXPECT_EQ(s.YNOMBRE1, std::string(48, 'N') + "ZZ");  // the whole NOM_CIA
  EXPECT_EQ(st.messages.boxes.size(), 2u);
}

TEST_F(WorkingDate, LookupChoiceCopiesCodeAndName) {
  Station st(dir.path());
  Session& s = st.session;
  ASSERT_TRUE(openInstitutions(s));
  Table* t = s.current();
  ASSERT_TRUE(t && t->goTop().isOk());
  applyCompanyChoice(s, *t);
  EXPECT_EQ(s.YCIA, "01");
  EXPECT_EQ(s.YNOMBRE1, std::string(48, 'N') + "ZZ");
  EXPECT_TRUE(st.messages.boxes.empty());
}

TEST_F(WorkingDate, MissingInstitutionFiles) {
  ASSERT_TRUE(platformFileSystem().remove(dir.file("pmae0001.cdx")).isOk());
  Station st(dir.path());
  EXPECT_FALSE(openInstitutions(st.session));
  EXPECT_EQ(st.messages.texts(), std::vector<std::string>{"WARNING MAIN-2"});
  ASSERT_TRUE(platformFileSystem().remove(dir.file("pmae0001.dbf")).isOk());
  EXPECT_FALSE(openInstitutions(st.session));
  EXPECT_EQ(st.messages.boxes.back().text, "WARNING MAIN");
}

TEST_F(WorkingDate, AcceptanceUpdatesRecordGlobalsAndTitle) {
  Station st(dir.path());
  Session& s = st.session;
  ASSERT_TRUE(openInstitutions(s));
  s.YCIA = "01";
  s.YFECHA = Date(2016, 3, 15);  // the date field was never left: derived on acceptance
  ASSERT_TRUE(acceptWorkingDate(s));
  EXPECT_EQ(s.YMES, "03");
  EXPECT_EQ(s.YANO, "16");
  EXPECT_EQ(s.YNOMBRE1, std::string(45, 'N'));
  EXPECT_EQ(s.YABREV, "ABCDEFGH" + blanks(37));
  EXPECT_EQ(s.YRUC, "20100000001");
  EXPECT_EQ(s.windowTitle, "01 ABCDEFGH" + blanks(37) + "   15 de Marzo de  2016");
  EXPECT_EQ(mainTitle(s), s.windowTitle);
  EXPECT_EQ(s.current(), nullptr);
  EXPECT_TRUE(st.messages.boxes.empty());

  auto t = catalog::openTable(platformFileSystem(), dir.path(), catalog::define(TableId::Institutions, {}),
                              OpenMode::Shared);
  ASSERT_TRUE(t.isOk());
  ASSERT_TRUE((*t)->seek("01"));
  EXPECT_EQ((*t)->date("FECHA"), Date(2016, 3, 15));
  EXPECT_EQ((*t)->str("YDESCRI").substr(0, 18), "15 del 03 de  2016");
  EXPECT_EQ((*t)->str("DESCRI_MES").substr(0, 20), "15 de Marzo de  2016");
}

TEST_F(WorkingDate, DamagedIndexIsNamedAndTheCompanyFoundWithoutIt) {
  for (Damage d : {Damage::NoTag, Damage::Garbage}) {
    SCOPED_TRACE(d == Damage::NoTag ? "sin etiqueta" : "basura");
    damageBag(dir.path(), "pmae0001.dbf", "pmae0001.cdx", d);
    Station st(dir.path(), true);
    Session& s = st.session;
    ASSERT_TRUE(openInstitutions(s));
    ASSERT_EQ(st.messages.boxes.size(), 1u);
    EXPECT_EQ(st.messages.boxes[0].kind, ui::MsgKind::Alert);
    EXPECT_NE(st.messages.boxes[0].text.find("pmae0001.cdx"), std::string::npos) << st.messages.boxes[0].text;
    std::string code = "99";
    EXPECT_FALSE(CHEKCIA(s, code));
    EXPECT_EQ(st.messages.boxes.back().text, "Codigo Ingresado 99 No Existe");
    code = "01";
    EXPECT_TRUE(CHEKCIA(s, code));
    EXPECT_EQ(s.YNOMBRE1, std::string(48, 'N') + "ZZ");
    s.YCIA = "01";
    s.YFECHA = Date(2016, 3, 15);
    ASSERT_TRUE(acceptWorkingDate(s));
    EXPECT_EQ(s.YRUC, "20100000001");
    EXPECT_EQ(s.windowTitle, "01 ABCDEFGH" + blanks(37) + "   15 de Marzo de  2016");
    EXPECT_EQ(st.messages.boxes.size(), 2u);  // no lock, no write attempted
    // Read without its index, the record is not written.
    auto t = Table::openReadOnly(platformFileSystem(), dir.file("pmae0001.dbf"));
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->go(1).isOk());
    EXPECT_TRUE((*t)->date("FECHA").empty());
  }
}

TEST_F(WorkingDate, LockedRecordLeavesItAndTheShortNameAlone) {
  Station other(dir.path(), true);
  ASSERT_TRUE(openInstitutions(other.session));
  Table* held = other.session.current();
  ASSERT_TRUE(held && held->seek("01"));
  ASSERT_TRUE(held->lockRecord().isOk());

  Station st(dir.path(), true);
  Session& s = st.session;
  s.YCIA = "01";
  s.YABREV = "ANTES";
  s.YFECHA = Date(2016, 3, 15);
  ASSERT_TRUE(FECRETE(s, s.YFECHA));
  ASSERT_TRUE(acceptWorkingDate(s));
  EXPECT_EQ(st.messages.texts(), std::vector<std::string>{"Acceso Denegado Registro En Uso"});
  EXPECT_EQ(st.messages.boxes[0].title, "Mensaje");
  EXPECT_EQ(s.YABREV, "ANTES");
  EXPECT_EQ(s.YNOMBRE1, std::string(45, 'N'));
  EXPECT_EQ(s.YRUC, "20100000001");
  EXPECT_EQ(s.windowTitle, "01 ANTES   15 de Marzo de  2016");
  held->unlockAll();
  EXPECT_TRUE(held->seek("01"));
  EXPECT_TRUE(held->date("FECHA").empty());  // not updated
}

TEST_F(WorkingDate, LeftoverUnknownCodeStillRetitles) {
  Station st(dir.path());
  Session& s = st.session;
  s.YCIA = "77";
  s.YABREV = "";
  s.YFECHA = Date(2016, 1, 1);
  ASSERT_TRUE(acceptWorkingDate(s));
  EXPECT_EQ(s.YMES, "00");
  EXPECT_EQ(s.windowTitle, "77    01 de Enero de  2016");
  EXPECT_TRUE(st.messages.boxes.empty());
}

TEST_F(WorkingDate, RefusedDateEndsAcceptance) {
  Station st(dir.path());
  Session& s = st.session;
  s.YCIA = "01";
  const std::string before = s.windowTitle;
  EXPECT_FALSE(acceptWorkingDate(s));
  EXPECT_EQ(st.messages.texts(), std::vector<std::string>{"Ingrese Fecha Del Sistema"});
  EXPECT_EQ(s.windowTitle, before);
  cancelWorkingDate(s);
  EXPECT_EQ(st.messages.boxes.back().title, "Mensaje");
}

}  // namespace
}  // namespace planilla
