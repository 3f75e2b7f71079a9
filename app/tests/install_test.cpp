// Installation, the demonstration company, the command-line session and reindexing.
#include "session/install.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "app/cli_session.h"
#include "session/reindex.h"
#include "session/startup.h"
#include "session/tests/session_test_util.h"
#include "store/catalog.h"
#include "store/io_faulty.h"
#include "store/verify.h"

namespace planilla {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;

const Date kDemoDate(2016, 3, 15);

std::vector<std::string> problemsOf(const std::string& dir, const catalog::TableDef& def) {
  std::vector<std::string> bags, problems;
  for (const auto& b : def.bags()) bags.push_back(catalog::joinPath(dir, b));
  Status st = verifyTable(platformFileSystem(), catalog::joinPath(dir, def.dbf()), bags, problems);
  if (!st) problems.push_back(st.message());
  return problems;
}

class Demo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    ASSERT_TRUE(installBase(platformFileSystem(), dir_->path()).isOk());
    Status st = installDemo(platformFileSystem(), dir_->path(), kDemoDate);
    ASSERT_TRUE(st.isOk()) << st.message();
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static const std::string& dir() { return dir_->path(); }
  static catalog::Period period() { return {"01", "03", "16"}; }
  std::unique_ptr<Table> open(TableId id) {
    auto t = catalog::openTable(platformFileSystem(), dir(), catalog::define(id, period()), OpenMode::Shared);
    EXPECT_TRUE(t.isOk()) << t.status().message();
    return t ? std::move(*t) : nullptr;
  }
  static TempDir* dir_;
};
TempDir* Demo::dir_ = nullptr;

TEST(Install, RefusesToOverwriteAnInstallation) {
  TempDir dir;
  ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
  Status st = installBase(platformFileSystem(), dir.path());
  EXPECT_EQ(st.code(), ErrorCode::Invalid);
  auto users = catalog::openTable(platformFileSystem(), dir.path(), catalog::define(TableId::Users, {}),
                                  OpenMode::Shared);
  ASSERT_TRUE(users.isOk());
  EXPECT_EQ((*users)->recordCount(), 1u);
  EXPECT_TRUE((*users)->seek("PLANILLA  "));
  EXPECT_EQ((*users)->str("CODIGO"), "QTR ");
  EXPECT_EQ((*users)->str("ACCESO"), "T");
}

// Names in `dir`, sorted.
std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Install, NewDirectoryAppearsOnlyWhenComplete) {
  TempDir parent;
  const std::string target = parent.file("datos");
  // How many writes, syncs, creations ... a whole demo installation makes.
  FaultyFileSystem counting(platformFileSystem());
  {
    TempDir scratch;
    ASSERT_TRUE(installDirectory(counting, scratch.file("x"), true, kDemoDate).isOk());
  }
  const int64_t total = counting.calls();
  ASSERT_GT(total, 100);
  // Interrupted at the first, a middle and the last of them: nothing under the final
  // name, no sibling left behind, and a new attempt installs.
  for (int64_t n : {int64_t{1}, total / 3, 2 * total / 3, total}) {
    FaultyFileSystem faulty(platformFileSystem());
    faulty.failAt(n, /*sticky=*/true);
    Status st = installDirectory(faulty, target, true, kDemoDate);
    EXPECT_FALSE(st.isOk()) << n;
    EXPECT_TRUE(faulty.failed()) << n;
    EXPECT_EQ(namesIn(parent.path()), std::vector<std::string>{}) << n;
  }
  ASSERT_TRUE(installDirectory(platformFileSystem(), target, true, kDemoDate).isOk());
  EXPECT_EQ(namesIn(parent.path()), std::vector<std::string>{"datos"});
  for (const char* f : {"pmae0001.dbf", "kylusua.dbf", "kylusua.cdx", "pbase18.dbf", "p9031601.dbf"})
    EXPECT_TRUE(std::filesystem::exists(catalog::joinPath(target, f))) << f;
  // An ordinary directory's permissions, not the private ones of the sibling.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(std::filesystem::status(target).permissions(),
            static_cast<std::filesystem::perms>(0777 & ~mask));
}

TEST(Install, ExistingDirectories) {
  TempDir parent;
  // An empty directory is taken over with its permissions.
  const std::string empty = parent.file("vacio");
  ASSERT_TRUE(std::filesystem::create_directory(empty));
  std::filesystem::permissions(empty, static_cast<std::filesystem::perms>(0750));
  ASSERT_TRUE(installDirectory(platformFileSystem(), empty, false, kDemoDate).isOk());
  EXPECT_TRUE(std::filesystem::exists(catalog::joinPath(empty, "kylusua.dbf")));
  EXPECT_EQ(std::filesystem::status(empty).permissions(), static_cast<std::filesystem::perms>(0750));

  struct Case {
    std::string dir;
    std::string message;
  };
  // A directory half filled by an installation of earlier versions, or anything else.
  const std::string partial = parent.file("parcial");
  ASSERT_TRUE(std::filesystem::create_directory(partial));
  ASSERT_TRUE(installBase(platformFileSystem(), partial).isOk());
  std::filesystem::remove(catalog::joinPath(partial, "kylusua.dbf"));
  const Case cases[] = {
      {empty, empty + " ya esta instalado"},
      {partial, partial + " no esta vacio; indique un directorio nuevo"},
      {parent.path() + "/.", parent.path() + "/.: indique un directorio nuevo"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> before = namesIn(c.dir);
    Status st = installDirectory(platformFileSystem(), c.dir, true, kDemoDate);
    EXPECT_EQ(st.code(), ErrorCode::Invalid) << c.dir;
    EXPECT_EQ(st.message(), c.message);
    EXPECT_EQ(namesIn(c.dir), before) << c.dir;
  }
}

TEST(Install, DefaultDemoDateIsTheLastDayOfTheMonth) {
  EXPECT_EQ(defaultDemoDate(Date(2024, 2, 7)), Date(2024, 2, 29));
  EXPECT_EQ(defaultDemoDate(Date(2026, 12, 31)), Date(2026, 12, 31));
  EXPECT_EQ(defaultDemoDate(Date(2025, 4, 1)), Date(2025, 4, 30));
}

TEST_F(Demo, EveryTableIsConsistentWithItsBags) {
  int checked = 0;
  for (TableId id : catalog::allTables()) {
    auto def = catalog::define(id, period());
    if (!catalog::tableExists(platformFileSystem(), dir(), def)) continue;
    ++checked;
    EXPECT_EQ(problemsOf(dir(), def), std::vector<std::string>{}) << def.dbf();
  }
  EXPECT_EQ(checked, 26);  // March: no gratification roll; both CTS half-years; the bank accounts; the second records
}

TEST_F(Demo, InstitutionHoldsTheWorkingDate) {
  auto t = open(TableId::Institutions);
  ASSERT_TRUE(t && t->seek("01"));
  EXPECT_EQ(t->date("FECHA"), kDemoDate);
  EXPECT_EQ(t->str("YDESCRI").substr(0, 18), "15 del 03 de  2016");
  EXPECT_EQ(t->str("NOM_ABREV").substr(0, 8), "DEMO SAC");
}

TEST_F(Demo, StaffAndActiveEmployees) {
  auto m = open(TableId::EmployeeMaster);
  auto a = open(TableId::ActiveEmployees);
  ASSERT_TRUE(m && a);
  EXPECT_GE(m->recordCount(), 30u);
  EXPECT_EQ(a->recordCount(), m->recordCount() - 1);  // one terminated employee
  int dollars = 0, euros = 0, fee = 0, onp = 0, quintaS = 0, quintaE = 0, fixedTax = 0, uninsured = 0;
  ASSERT_TRUE(a->goTop().isOk());
  for (; !a->eof(); (void)a->skip(1)) {
    const std::string code = a->str("codigo");
    ASSERT_TRUE(m->seek(code)) << code;
    EXPECT_EQ(m->str("baja"), " ");
    dollars += a->str("dolar") == "D";
    euros += a->str("dolar") == "E";
    fee += a->str("Retri") == "2";
    quintaS += a->str("quinta") == "S";
    quintaE += a->str("quinta") == "E";
    fixedTax += a->num("imp5ta") != 0;
    const bool fund = a->str("codafp") != std::string(6, ' ');
    onp += !fund;
    uninsured += fund && a->str("seguroafp") == "N";
    if (fund) {
      EXPECT_FALSE(a->date("fech_afp").empty()) << code;
    }
    EXPECT_EQ(a->num("fraccion1"), 31) << code;  // March
    const std::string d = a->str("dolar");
    EXPECT_TRUE(d == "S" || d == "D" || d == "E") << code;
  }
  EXPECT_GE(dollars, 1);
  EXPECT_GE(euros, 1);
  EXPECT_EQ(fee, 1);
  EXPECT_GE(onp, 1);
  EXPECT_GE(quintaS, 1);
  EXPECT_GE(quintaE, 1);
  EXPECT_EQ(fixedTax, 1);
  EXPECT_GE(uninsured, 1);
  // The terminated employee stays in the general master only.
  ASSERT_TRUE(m->seek("E0017"));
  EXPECT_NE(m->str("baja"), " ");
  EXPECT_FALSE(a->seek("E0017"));
}

TEST_F(Demo, RatesFundsAndExchange) {
  auto r = open(TableId::Rates);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->recordCount(), 1u);
  ASSERT_TRUE(r->goTop().isOk());
  EXPECT_EQ(r->num("uit2"), 5500);
  EXPECT_EQ(r->num("minivital"), 1130);
  EXPECT_EQ(r->num("ipsse"), 9);
  EXPECT_EQ(r->num("snpt"), 13);
  EXPECT_EQ(r->num("scala01"), 27500);
  EXPECT_EQ(r->num("scala04"), 247500);
  EXPECT_EQ(r->num("scala05"), 247500);
  EXPECT_EQ(r->num("tasa08"), 8);
  EXPECT_EQ(r->num("tasa30"), 30);
  EXPECT_EQ(r->str("mesafec"), "07 JUL");

  auto f = open(TableId::PensionFunds);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->recordCount(), 48u);  // four funds, twelve months
  for (const char* key : {"01HABITA", "03INTEGR", "03PRIMA ", "12PROFUT"}) EXPECT_TRUE(f->seek(key)) << key;
  ASSERT_TRUE(f->seek("03PROFUT"));
  EXPECT_EQ(f->num("afppor1"), 10);
  EXPECT_EQ(f->num("afppor2"), 1.37);
  EXPECT_EQ(f->num("afppor3"), 1.69);
  EXPECT_GT(f->num("afppor4"), 0);

  auto x = open(TableId::ExchangeRates);
  ASSERT_TRUE(x);
  ASSERT_TRUE(x->seek("03 31 "));
  EXPECT_EQ(x->num("tip_cam"), 3.75);
  EXPECT_EQ(x->str("codcam"), "03 31    3.750");
  EXPECT_TRUE(x->seek("88 888"));
  EXPECT_TRUE(x->seek("99 999"));
}

TEST_F(Demo, MonthInputs) {
  auto e = open(TableId::IncomeEntries);
  ASSERT_TRUE(e);
  ASSERT_TRUE(e->seek("E0011"));
  EXPECT_EQ(e->num("simple"), 4);
  auto v = open(TableId::VacationRoll);
  ASSERT_TRUE(v);
  ASSERT_TRUE(v->seek("E0010"));
  EXPECT_EQ(v->num("control"), 1);
  EXPECT_EQ(v->num("diavac"), 16);  // 16 to 31 March
  EXPECT_EQ(v->date("inivaca"), Date(2016, 3, 16));
  auto h = open(TableId::Earnings);
  ASSERT_TRUE(h);
  ASSERT_TRUE(h->seek("E0001"));
  EXPECT_GT(h->num("ene"), 0);
  EXPECT_GT(h->num("feb"), 0);
  EXPECT_EQ(h->num("mar"), 0);  // the working month is left to the run
  EXPECT_EQ(h->num("tot"), h->num("ene") + h->num("feb"));
  // No gratification roll outside July and December.
  EXPECT_FALSE(catalog::tableExists(platformFileSystem(), dir(), catalog::define(TableId::GratificationRoll, period())));
}

TEST_F(Demo, CommandLineSessionLogsInAndTakesTheStoredDate) {
  std::ostringstream err;
  CliSession cs(err, dir());
  CliArgs a;
  ASSERT_TRUE(parseCliArgs({"--cia", "01", "--clave", "planilla"}, {}, a, err));
  ASSERT_EQ(cs.start(a), 0) << err.str();
  Session& s = cs.session();
  EXPECT_EQ(s.YCIA, "01");
  EXPECT_EQ(s.YFECHA, kDemoDate);
  EXPECT_EQ(s.YMES, "03");
  EXPECT_EQ(s.YANO, "16");
  EXPECT_EQ(s.YABREV.substr(0, 8), "DEMO SAC");
  EXPECT_EQ(s.YRUC, "20512345678");
  EXPECT_EQ(s.current(), nullptr);
}

TEST_F(Demo, CommandLineRefusals) {
  struct Case {
    std::vector<std::string> args;
    std::string expect;
  };
  const Case cases[] = {
      {{"--cia", "01", "--fecha", "15/03/2016", "--clave", "MALA"}, "Mensaje: Clave No Valida  , Intente Nuevamente"},
      {{"--cia", "09", "--fecha", "15/03/2016", "--clave", "PLANILLA"}, "Codigo Ingresado 09 No Existe"},
      {{"--cia", "01", "--fecha", "31/02/2016", "--clave", "PLANILLA"}, "Fecha No Valida: 31/02/2016"},
      {{"--fecha", "15/03/2016", "--clave", "PLANILLA"}, "indique --cia"},
      // Two year digits would name the files of 2026 with the year 0026.
      {{"--cia", "01", "--fecha", "31/12/26", "--clave", "PLANILLA"}, "Fecha No Valida: 31/12/26"},
      {{"--cia", "01", "--fecha", "31/12/0026", "--clave", "PLANILLA"}, "Fecha No Valida: 31/12/0026"},
      {{"--cia", "01", "--fecha", "01/01/2100", "--clave", "PLANILLA"}, "Fecha No Valida: 01/01/2100"},
      // A company code is two characters, a password ten: nothing is cut to fit.
      {{"--cia", "011", "--fecha", "15/03/2016", "--clave", "PLANILLA"}, "Mensaje: Codigo Ingresado 011 No Existe"},
      {{"--cia", "01", "--fecha", "15/03/2016", "--clave", "PLANILLA  X"},
       "Mensaje: Clave No Valida  , Intente Nuevamente"},
  };
  for (const auto& c : cases) {
    std::ostringstream err;
    CliArgs a;
    ASSERT_TRUE(parseCliArgs(c.args, {}, a, err));
    CliSession cs(err, dir());
    EXPECT_EQ(cs.start(a), 2) << c.expect;
    EXPECT_NE(err.str().find(c.expect), std::string::npos) << err.str();
  }
  // No refused date was stored as the company's working date.
  auto t = open(TableId::Institutions);
  ASSERT_TRUE(t && t->seek("01"));
  EXPECT_EQ(t->date("FECHA"), kDemoDate);
}

TEST_F(Demo, ReindexRebuildsTablesCopiedInWithoutIndexes) {
  // Work on a copy, so the other tests keep their files.
  TempDir copy;
  for (const auto& entry : std::filesystem::directory_iterator(dir()))
    std::filesystem::copy_file(entry.path(), copy.file(entry.path().filename().string()));
  std::filesystem::remove(copy.file("ph010316.cdx"));
  std::filesystem::remove(copy.file("pmno0101.cdx"));
  Station st(copy.path());
  Session& s = st.session;
  s.YCIA = "01";
  s.YMES = "03";
  s.YANO = "16";
  std::vector<ReindexResult> results;
  ASSERT_TRUE(reindexPeriod(s, results));
  EXPECT_EQ(results.size(), 24u);  // the 26 tables less the two templates
  for (const auto& r : results) EXPECT_TRUE(r.status.isOk()) << r.file << ": " << r.message;
  for (const auto& def : reindexableTables(s))
    if (catalog::tableExists(platformFileSystem(), copy.path(), def)) {
      EXPECT_EQ(problemsOf(copy.path(), def), std::vector<std::string>{}) << def.dbf();
    }
  EXPECT_TRUE(std::filesystem::exists(copy.file("ph010316.cdx")));
  EXPECT_TRUE(std::filesystem::exists(copy.file("pmno0101.cdx")));

  // A table another station holds open is refused and left as it was; the rest go on.
  Station other(copy.path(), true);
  other.session.YCIA = "01";
  ASSERT_TRUE(other.session.open(1, other.session.def(TableId::Banks)).isOk());
  results.clear();
  EXPECT_FALSE(reindexPeriod(s, results));
  int refused = 0;
  for (const auto& r : results)
    if (!r.status) {
      ++refused;
      EXPECT_EQ(r.file, "bmae0101.dbf");
      EXPECT_EQ(r.message, "Apertura Denegada El Archivo Esta En Uso");
    }
  EXPECT_EQ(refused, 1);
}

TEST(CliArgs, OptionsValuesAndEnvironment) {
  std::ostringstream err;
  CliArgs a;
  ASSERT_TRUE(parseCliArgs({"--cia=ab", "--tc", "03 31", "--fecha", "1/2/2016", "libre"}, {"--tc"}, a, err));
  EXPECT_EQ(a.cia, "AB");
  EXPECT_EQ(a.extra["--tc"], "03 31");
  EXPECT_EQ(a.fecha, "1/2/2016");
  EXPECT_EQ(a.positional, std::vector<std::string>{"libre"});
  CliArgs b;
  EXPECT_FALSE(parseCliArgs({"--otra", "x"}, {}, b, err));
  EXPECT_NE(err.str().find("opcion desconocida"), std::string::npos);
  CliArgs c;
  EXPECT_FALSE(parseCliArgs({"--cia"}, {}, c, err));
  EXPECT_NE(err.str().find("falta el valor"), std::string::npos);
  ::setenv("PLANILLA_CLAVE", "DESDEENV", 1);
  CliArgs d;
  ASSERT_TRUE(parseCliArgs({}, {}, d, err));
  EXPECT_TRUE(d.claveGiven);
  EXPECT_EQ(d.clave, "DESDEENV");
  CliArgs e;
  ASSERT_TRUE(parseCliArgs({"--clave", "X"}, {}, e, err));
  EXPECT_EQ(e.clave, "X");
  ::unsetenv("PLANILLA_CLAVE");
}

}  // namespace
}  // namespace planilla
