// The commands of the executable, run in-process as `planilla WORD ...` runs them, on
// demo data directories made by `planilla init` in a scratch folder. The commands work
// on the current directory, so each test moves into its scratch folder and back.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "store/catalog.h"
#include "store/table.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

using catalog::TableId;

struct Outcome {
  int rc = -1;
  std::string out, err;
};

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("PLANILLA_CLAVE");
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    home_ = buf;
    ASSERT_EQ(::chdir(scratch_.path().c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(::chdir(home_.c_str()), 0);
    ::unsetenv("PLANILLA_CLAVE");
  }

  // `planilla words...`
  static Outcome run(const std::vector<std::string>& words) {
    Outcome o;
    std::ostringstream out, err;
    for (const auto& c : commandRegistry()) {
      if (c.name != words.at(0)) continue;
      o.rc = c.run(std::vector<std::string>(words.begin() + 1, words.end()), out, err);
      break;
    }
    o.out = out.str();
    o.err = err.str();
    return o;
  }

  // A demo installation in ./<name>, which becomes the current directory.
  void enterDemo(const std::string& fecha, const std::string& name = "datos") {
    Outcome o = run({"init", name, "--demo", "--fecha", fecha});
    ASSERT_EQ(o.rc, 0) << o.err;
    ASSERT_EQ(::chdir(name.c_str()), 0);
  }

  static std::string bytesOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static const catalog::Period kMarch;

  testutil::TempDir scratch_{"planilla-cli"};
  std::string home_;
};

const catalog::Period Commands::kMarch{"01", "03", "26"};

// Offset and width of a field inside rawRecord().
std::pair<size_t, size_t> placeOf(const Table& t, const std::string& field) {
  size_t off = 0;
  for (int i = 0; i < t.fieldCount(); ++i) {
    if (t.fieldIndex(field) == i) return {off, static_cast<size_t>(t.field(i).width)};
    off += static_cast<size_t>(t.field(i).width);
  }
  ADD_FAILURE() << "no field " << field;
  return {0, 0};
}

// Adds to a table of the demo a copy of the record of `from` under the code `code`.
void copyEmployee(TableId id, const std::string& from, const std::string& code) {
  auto t = catalog::openTable(platformFileSystem(), ".", catalog::define(id, {"01", "03", "26"}), OpenMode::Exclusive);
  ASSERT_TRUE(t.isOk()) << t.status().message();
  ASSERT_TRUE((*t)->seek(from));
  std::string raw = (*t)->rawRecord();
  auto [off, width] = placeOf(**t, "CODIGO");
  std::string c = code;
  c.resize(width, ' ');
  raw.replace(off, width, c);
  ASSERT_TRUE((*t)->appendRaw(raw).isOk());
  ASSERT_TRUE((*t)->flush().isOk());
  (*t)->close();
}

// Writes `bytes` as they are into a field of the record of `code`.
void poke(TableId id, const std::string& code, const std::string& field, const std::string& bytes) {
  auto t = catalog::openTable(platformFileSystem(), ".", catalog::define(id, {"01", "03", "26"}), OpenMode::Exclusive);
  ASSERT_TRUE(t.isOk()) << t.status().message();
  ASSERT_TRUE((*t)->seek(code)) << code;
  std::string raw = (*t)->rawRecord();
  auto [off, width] = placeOf(**t, field);
  std::string b = bytes;
  b.resize(width, ' ');
  raw.replace(off, width, b);
  ASSERT_TRUE((*t)->replaceRaw(raw).isOk());
  (*t)->close();
}

// ---- init -----------------------------------------------------------------------------

TEST_F(Commands, InitMakesTheDirectoryWholeOrRefusesClearly) {
  // The password of the other commands in the environment does not get in the way.
  ::setenv("PLANILLA_CLAVE", "PLANILLA", 1);
  Outcome o = run({"init", "datos", "--demo", "--fecha", "31/03/2026"});
  ASSERT_EQ(o.rc, 0) << o.err;
  EXPECT_NE(o.out.find("Instalado en datos"), std::string::npos);
  // Nothing beside it: the directory was made aside and renamed whole.
  EXPECT_EQ(namesIn("."), std::vector<std::string>{"datos"});
  EXPECT_TRUE(std::filesystem::exists("datos/kylusua.cdx"));

  struct Case {
    std::vector<std::string> words;
    int rc;
    std::string message;
  };
  // A directory an earlier version left half installed.
  std::filesystem::create_directory("parcial");
  std::ofstream("parcial/pmae0001.dbf") << "x";
  const Case cases[] = {
      {{"init", "datos", "--demo"}, 1, "planilla init: datos ya esta instalado"},
      {{"init", "parcial"}, 1, "planilla init: parcial no esta vacio; indique un directorio nuevo"},
      {{"init", "nuevo", "--demo", "--fecha", "31/12/26"}, 2, "Fecha No Valida: 31/12/26"},
      {{"init", "nuevo", "--clave", "X"}, 2, "--clave no se usa al instalar"},
      {{"init", "nuevo", "otro"}, 2, "un solo directorio"},
  };
  for (const Case& c : cases) {
    Outcome r = run(c.words);
    EXPECT_EQ(r.rc, c.rc) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_EQ(namesIn("."), (std::vector<std::string>{"datos", "parcial"}));
  EXPECT_EQ(namesIn("parcial"), std::vector<std::string>{"pmae0001.dbf"});
}

// ---- access of the password -----------------------------------------------------------

TEST_F(Commands, RunsFollowTheAccessOfThePassword) {
  enterDemo("31/03/2026");
  {
    auto t = catalog::openTable(platformFileSystem(), ".", catalog::define(TableId::Users, {}), OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    // MIX1 opens the reports and holds a closed record for the processes; AFP1 opens
    // only the AFPnet group.
    for (auto [code, function, access, password] : {std::tuple{"ANA", "REPORTES", "T", "REP1"},
                                                    std::tuple{"LUIS", "FUN001", "F", "OFF1"},
                                                    std::tuple{"EVA", "REPORTES", "T", "MIX1"},
                                                    std::tuple{"EVA", "PROCESOS", "F", "MIX1"},
                                                    std::tuple{"JOSE", "AFPNET", "T", "AFP1"}}) {
      ASSERT_TRUE((*t)->appendBlank().isOk());
      for (auto [field, value] : {std::pair{"CODIGO", code}, {"FUNCION", function}, {"ACCESO", access},
                                  {"INICIA", password}})
        ASSERT_TRUE((*t)->replace(field, value).isOk());
    }
    (*t)->close();
  }
  const std::string names = [] {
    std::string all;
    for (const auto& n : namesIn(".")) all += n + " ";
    return all;
  }();
  // Limited to the reports: no calculation, no reindex; every access flag off: nothing.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"calcular", "--cia", "01", "--clave", "REP1", "--tc", "03 31"},
        {"reindexar", "--cia", "01", "--clave", "REP1"},
        {"exportar", "afpnet", "--cia", "01", "--clave", "REP1"},
        {"exportar", "excel", "--cia", "01", "--clave", "REP1"},
        {"calcular", "--cia", "01", "--clave", "MIX1", "--tc", "03 31"},
        {"reporte", "libro", "--cia", "01", "--clave", "AFP1"},
        {"calcular", "--cia", "01", "--clave", "OFF1", "--tc", "03 31"},
        {"reporte", "libro", "--cia", "01", "--clave", "OFF1"}}) {
    Outcome r = run(words);
    EXPECT_EQ(r.rc, 2) << words[0];
    EXPECT_NE(r.err.find("Mensaje: Acceso Denegado"), std::string::npos) << r.err;
  }
  std::string after;
  for (const auto& n : namesIn(".")) after += n + " ";
  EXPECT_EQ(after, names);  // no calculated file made
  // The reports and the PLAME files are open to it: refused here only for want of a payroll.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"boletas", "--cia", "01", "--clave", "REP1", "--dir", "boletas"},
        {"reporte", "libro", "--cia", "01", "--clave", "REP1"},
        {"reporte", "libro", "--cia", "01", "--clave", "MIX1"},
        {"exportar", "excel", "--cia", "01", "--clave", "AFP1"},
        {"exportar", "plame", "--cia", "01", "--clave", "REP1"}}) {
    Outcome r = run(words);
    EXPECT_EQ(r.rc, 1) << words[0] << ": " << r.err;
    EXPECT_EQ(r.err.find("Acceso Denegado"), std::string::npos) << r.err;
  }
}

// ---- calcular / gratificacion --------------------------------------------------------

TEST_F(Commands, CalcularRefusesBeforeTouchingTheMonth) {
  enterDemo("31/03/2026");
  const std::vector<std::string> base = {"calcular", "--cia", "01", "--clave", "PLANILLA"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> w = base;
    w.insert(w.end(), extra.begin(), extra.end());
    return run(w);
  };
  Outcome ok = with({"--tc", "03 31"});
  ASSERT_EQ(ok.rc, 0) << ok.err;
  const std::string results = bytesOf("e2010326.dbf");
  const std::string company = bytesOf("pmae0001.dbf");
  ASSERT_FALSE(results.empty());

  struct Case {
    std::vector<std::string> extra;
    int rc;
    std::string message;
  };
  const Case cases[] = {
      // A typo in the exchange-rate code.
      {{"--tc", "03 30"}, 1, "Stop: Tipo De Cambio  03 30  No Existe"},
      // Year 26 names the files of 2026 (e2010326): it is no date.
      {{"--fecha", "31/03/26", "--tc", "03 31"}, 2, "Fecha No Valida: 31/03/26"},
      {{"--fecha", "31/03/0026", "--tc", "03 31"}, 2, "Fecha No Valida: 31/03/0026"},
      // Company 011 is not company 01.
      {{"--cia", "011", "--tc", "03 31"}, 2, "Mensaje: Codigo Ingresado 011 No Existe"},
      // A word the command does not take.
      {{"--tc", "03 31", "marzo"}, 2, "planilla calcular: argumento no esperado: marzo"},
  };
  for (const Case& c : cases) {
    Outcome r = with(c.extra);
    EXPECT_EQ(r.rc, c.rc) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(bytesOf("e2010326.dbf"), results) << c.message;
    EXPECT_EQ(bytesOf("pmae0001.dbf"), company) << c.message;  // the date not stored either
  }

  // Pay that cannot be read is no pay of zero. E0005 is the fifth active employee (p9 + month + year + company).
  poke(TableId::ActiveEmployees, "E0005", "BAS_MEN", "*********");
  Outcome r = with({"--tc", "03 31"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("Stop: Dato No Numerico En p9032601.dbf, Registro 5, Campo BAS_MEN (*********)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(bytesOf("e2010326.dbf"), results);
}

TEST_F(Commands, GratificacionWithAnUnknownRateKeepsTheResults) {
  enterDemo("31/07/2026");
  const std::vector<std::string> base = {"gratificacion", "--cia", "01", "--clave", "PLANILLA", "--tc"};
  auto withCode = [&](const std::string& code) {
    std::vector<std::string> w = base;
    w.push_back(code);
    return run(w);
  };
  Outcome ok = withCode("07 31");
  ASSERT_EQ(ok.rc, 0) << ok.err;
  const std::string results = bytesOf("he010726.dbf");
  Outcome r = withCode("07 3");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("Error En Ingreso De Dato: Tipo De Cambio  07 3   No Existe"), std::string::npos) << r.err;
  EXPECT_EQ(bytesOf("he010726.dbf"), results);
}

// The month's fifth-category tax withheld by the payroll (every employee).
double monthTax(const std::string& file) {
  auto t = Table::openReadOnly(platformFileSystem(), file);
  if (!t) return -1;
  double sum = 0;
  for ((void)(*t)->goTop(); !(*t)->eof(); (void)(*t)->skip(1)) sum += (*t)->num("RTA_5TA");
  (*t)->close();
  return sum;
}

// December's payroll reads the December gratification (its tax joins the year's
// projection): run first it withholds too little. Refused until the gratification is
// run, again when the roll changes after it; --sin-gratificacion runs it all the same,
// and a gratification run after the payroll leaves the month's reports marked.
TEST_F(Commands, DecemberPayrollWaitsForItsGratification) {
  enterDemo("31/12/2026");
  // Without the bonus in the projection: with it, the demo's December gratification
  // (one monthly pay and its bonus) is projected exactly and both runs withhold alike.
  {
    auto t = catalog::openTable(platformFileSystem(), ".", catalog::define(TableId::TaxSettings, {"01", "12", "26"}),
                                OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->goTop().isOk() && (*t)->replace("PROYBONI", std::string_view("N")).isOk());
    (*t)->close();
  }
  const std::vector<std::string> calcular = {"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "12 31"};
  const std::vector<std::string> libro = {"reporte", "libro", "--cia", "01", "--clave", "PLANILLA"};
  const std::string pending = "PLANILLA PENDIENTE DE RECALCULO";
  Outcome refused = run(calcular);
  EXPECT_EQ(refused.rc, 1);
  EXPECT_NE(refused.err.find("Mensaje: La Gratificacion De Diciembre No Esta Calculada"), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("--sin-gratificacion"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("e2011226.dbf"));

  std::vector<std::string> anyway = calcular;
  anyway.insert(anyway.begin() + 1, "--sin-gratificacion");
  ASSERT_EQ(run(anyway).rc, 0);
  const double early = monthTax("e2011226.dbf");
  ASSERT_EQ(run({"gratificacion", "--cia", "01", "--clave", "PLANILLA", "--tc", "12 31"}).rc, 0);
  ASSERT_EQ(run(libro).rc, 0);
  EXPECT_NE(bytesOf("Test.rpv").find(pending), std::string::npos);

  ASSERT_EQ(run(calcular).rc, 0);
  EXPECT_GT(monthTax("e2011226.dbf"), early + 100);  // the gratification's tax is now projected
  ASSERT_EQ(run(libro).rc, 0);
  EXPECT_EQ(bytesOf("Test.rpv").find(pending), std::string::npos);

  // A roll changed after its run: the gratification is out of date.
  {
    auto t = catalog::openTable(platformFileSystem(), ".",
                                catalog::define(TableId::GratificationRoll, {"01", "12", "26"}), OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    ASSERT_TRUE((*t)->goTop().isOk());
    ASSERT_TRUE((*t)->replace("DSCTO", (*t)->num("DSCTO") + 10).isOk());
    (*t)->close();
  }
  Outcome outdated = run(calcular);
  EXPECT_EQ(outdated.rc, 1);
  EXPECT_NE(outdated.err.find("Se Calculo Antes De Los Ultimos Cambios De Su Rol"), std::string::npos)
      << outdated.err;
}

// ---- boletas ---------------------------------------------------------------------------

TEST_F(Commands, BoletasWritesOneFilePerEmployeeCode) {
  enterDemo("31/03/2026");
  // Codes that differ only in punctuation are different employees.
  for (TableId id : {TableId::EmployeeMaster, TableId::ActiveEmployees}) {
    copyEmployee(id, "E0002", "E0001-");
    copyEmployee(id, "E0003", "E.0001");
    copyEmployee(id, "E0004", "e0001");
  }
  Outcome calc = run({"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "03 31"});
  ASSERT_EQ(calc.rc, 0) << calc.err;
  Outcome o = run({"boletas", "--cia", "01", "--clave", "PLANILLA", "--dir", "pdf"});
  ASSERT_EQ(o.rc, 0) << o.err;
  // The demo's 29 active employees and the three added; "e" is 0x65.
  EXPECT_EQ(o.out, "32 boleta(s) en pdf\n");
  const std::vector<std::string> files = namesIn("pdf");
  EXPECT_EQ(files.size(), 32u);
  for (const char* name : {"boleta_E0001.pdf", "boleta_E0001_2D.pdf", "boleta_E_2E0001.pdf", "boleta__650001.pdf",
                           "boleta_E0030.pdf"})
    EXPECT_TRUE(std::binary_search(files.begin(), files.end(), name)) << name;
  // One payslip that cannot be written (a folder holds its name): the others are, and
  // the command fails.
  std::filesystem::create_directories("pdf2/boleta_E0030.pdf");
  Outcome part = run({"boletas", "--cia", "01", "--clave", "PLANILLA", "--dir", "pdf2"});
  EXPECT_EQ(part.rc, 1);
  EXPECT_EQ(part.out, "31 boleta(s) en pdf2\n");
  EXPECT_NE(part.err.find("1 boleta(s) no se pudieron escribir"), std::string::npos) << part.err;
}

TEST_F(Commands, BoletasOfAMonthWithoutPayrollFail) {
  enterDemo("31/03/2026");
  const std::vector<std::string> words = {"boletas", "--cia", "01", "--clave", "PLANILLA", "--dir", "pdf"};
  Outcome none = run(words);
  EXPECT_EQ(none.rc, 1);
  EXPECT_NE(none.err.find("Stop: Archivo Planilla-1 Mes 03 No Existe"), std::string::npos) << none.err;
  // Calculated and empty.
  ASSERT_TRUE(catalog::recreateCalcFile(platformFileSystem(), ".", catalog::define(TableId::PayrollSoles, kMarch))
                  .isOk());
  Outcome empty = run(words);
  EXPECT_EQ(empty.rc, 1);
  EXPECT_NE(empty.err.find("Stop: Sin Registros "), std::string::npos) << empty.err;
  EXPECT_EQ(empty.out, "");
  EXPECT_FALSE(std::filesystem::exists("pdf"));
}

// ---- exportar --------------------------------------------------------------------------

TEST_F(Commands, ExportarWritesTheMonthsFilesIntoTheFolder) {
  enterDemo("31/03/2026");
  const std::vector<std::string> base = {"exportar", "plame", "--cia", "01", "--clave", "PLANILLA"};
  EXPECT_EQ(run({"exportar", "pdt", "--cia", "01", "--clave", "PLANILLA"}).rc, 2);
  Outcome before = run(base);
  EXPECT_EQ(before.rc, 1);
  EXPECT_NE(before.err.find("Archivo Planilla-1 Mes 03 No Existe"), std::string::npos) << before.err;
  ASSERT_EQ(run({"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "03 31"}).rc, 0);
  std::filesystem::create_directory("out");
  std::vector<std::string> words = base;
  words.insert(words.end(), {"--dir", "out"});
  Outcome o = run(words);
  ASSERT_EQ(o.rc, 0) << o.err;
  // "0601" + 2026 + 03 + the demo's RUC; one demo employee pays EsSalud +Vida: a .toc.
  const std::string b = "060120260320512345678";
  EXPECT_EQ(o.out, "out/" + b + ".rem\nout/" + b + ".jor\nout/" + b + ".snl\nout/" + b + ".toc\n");
  EXPECT_EQ(namesIn("out"), (std::vector<std::string>{b + ".jor", b + ".rem", b + ".snl", b + ".toc"}));
  Outcome missing = run({"exportar", "excel", "--cia", "01", "--clave", "PLANILLA", "--dir", "nada"});
  EXPECT_EQ(missing.rc, 1);
  EXPECT_NE(missing.err.find("La Carpeta nada No Existe"), std::string::npos) << missing.err;
  // The system's folders are no place for the month's files.
  for (const char* system : {"/", "/etc", "/usr/lib"}) {
    Outcome o = run({"exportar", "excel", "--cia", "01", "--clave", "PLANILLA", "--dir", system});
    EXPECT_EQ(o.rc, 1) << system;
    EXPECT_NE(o.err.find("Es Del Sistema"), std::string::npos) << o.err;
  }
}

TEST_F(Commands, ExportarBancoWritesFilesWhoseHeaderAgreesWithTheirLines) {
  enterDemo("31/03/2026");
  EXPECT_EQ(run({"exportar", "banco", "HSBC", "--cia", "01", "--clave", "PLANILLA"}).rc, 2);
  EXPECT_EQ(run({"exportar", "plame", "--cia", "01", "--clave", "PLANILLA", "--pago", "planilla"}).rc, 2);
  ASSERT_EQ(run({"calcular", "--cia", "01", "--clave", "PLANILLA", "--tc", "03 31"}).rc, 0);
  std::filesystem::create_directory("out");
  Outcome o = run({"exportar", "banco", "BCP", "--cia", "01", "--clave", "PLANILLA", "--dir", "out"});
  ASSERT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(o.out, "out/BCP_HABERES_202603_PEN.txt\nout/BCP_HABERES_202603_USD.txt\nTest.rpv\n");
  for (const char* name : {"out/BCP_HABERES_202603_PEN.txt", "out/BCP_HABERES_202603_USD.txt"}) {
    std::istringstream in(bytesOf(name));
    std::string header, line;
    ASSERT_TRUE(std::getline(in, header));
    long count = 0, cents = 0;
    while (std::getline(in, line)) {
      ASSERT_EQ(line.size(), 196u) << line;  // 195 and the CR
      ++count;
      cents += std::stol(line.substr(177, 14)) * 100 + std::stol(line.substr(192, 2));
    }
    ASSERT_EQ(header.size(), 114u);
    EXPECT_EQ(std::stol(header.substr(1, 6)), count) << name;
    EXPECT_EQ(std::stol(header.substr(41, 14)) * 100 + std::stol(header.substr(56, 2)), cents) << name;
  }
  // A settlement of the month is paid to the leaver's account (E0002: BCP 193 + 40000000 +
  // 2 x 5431 + 1 + 02 in the demo) for the net it was saved with, once: marked paid, it
  // is listed apart and no file is written.
  const std::vector<std::string> leaver = {"liquidacion", "--cia", "01", "--clave", "PLANILLA", "--codigo", "E0002"};
  auto with = [](std::vector<std::string> v, std::vector<std::string> more) {
    v.insert(v.end(), more.begin(), more.end());
    return v;
  };
  Outcome saved = run(with(leaver, {"--fecha-cese", "20/03/2026", "--motivo", "01"}));
  ASSERT_EQ(saved.rc, 0) << saved.err;
  const size_t at = saved.out.find("NETO A PAGAR:");
  ASSERT_NE(at, std::string::npos) << saved.out;
  std::string net;
  for (char c : saved.out.substr(at + 13, saved.out.find('\n', at) - at - 13))
    if (std::isdigit(static_cast<unsigned char>(c))) net += c;
  const std::vector<std::string> pay = {"exportar", "banco", "BCP", "--cia", "01", "--clave", "PLANILLA",
                                        "--pago", "liquidacion", "--dir", "out"};
  Outcome paid = run(pay);
  ASSERT_EQ(paid.rc, 0) << paid.err;
  EXPECT_EQ(paid.out, "out/BCP_LIQUIDACION_202603_PEN.txt\nTest.rpv\n");
  const std::string file = bytesOf("out/BCP_LIQUIDACION_202603_PEN.txt");
  ASSERT_EQ(file.size(), 115u + 197u) << file;  // the header and one payment, each with CR LF
  EXPECT_NE(file.find("19340010862102"), std::string::npos) << file;
  EXPECT_EQ(std::to_string(std::stol(file.substr(115 + 177, 14)) * 100 + std::stol(file.substr(115 + 192, 2))), net);
  ASSERT_EQ(run(with(leaver, {"--pagada", "31/03/2026"})).rc, 0);
  Outcome again = run(pay);
  EXPECT_EQ(again.rc, 1);
  EXPECT_NE(again.err.find("No Se Genero Ningun Archivo"), std::string::npos) << again.err;
}

TEST_F(Commands, ExportarTregistroWritesTheRangesHiresAndLeavers) {
  enterDemo("31/03/2026");
  const std::vector<std::string> base = {"exportar", "tregistro", "--cia", "01", "--clave", "PLANILLA"};
  auto run2 = [&](std::vector<std::string> extra) {
    std::vector<std::string> words = base;
    words.insert(words.end(), extra.begin(), extra.end());
    return run(words);
  };
  EXPECT_EQ(run2({"--desde", "01/03/2026"}).rc, 2);
  EXPECT_EQ(run2({"--desde", "01/03/2026", "--hasta", "31/13/2026"}).rc, 2);
  std::filesystem::create_directory("out");
  // March: the demo's hire of the 16th, paid by deposit, no completed studies.
  Outcome march = run2({"--desde", "01/03/2026", "--hasta", "31/03/2026", "--dir", "out"});
  ASSERT_EQ(march.rc, 0) << march.err;
  const std::string b = "out/RP_20512345678";
  EXPECT_EQ(march.out, b + ".ide\n" + b + ".tra\n" + b + ".per\n" + b + ".est\n" + b + ".cta\n");
  // 31 January: the demo's leaver E0017 (DNI 4 + 1234567 + 17 x 98765, hired on the
  // 8th of month 1 + 85 mod 12, renuncia); the hire's files of March go.
  Outcome january = run2({"--desde", "31/01/2026", "--hasta", "31/01/2026", "--dir", "out"});
  ASSERT_EQ(january.rc, 0) << january.err;
  EXPECT_EQ(namesIn("out"), std::vector<std::string>{"RP_20512345678.per"});
  std::ifstream per("out/RP_20512345678.per", std::ios::binary);
  std::string line;
  std::getline(per, line);
  EXPECT_EQ(line, "01|42913572||1|1|08/02/2015|31/01/2026|01||\r");
}

// ---- reporte --------------------------------------------------------------------------

TEST_F(Commands, ReporteWritesTheReportOrSaysWhyNot) {
  enterDemo("30/11/2026");
  const std::vector<std::string> base = {"--cia", "01", "--clave", "PLANILLA"};
  auto reporte = [&](std::vector<std::string> words) {
    words.insert(words.begin(), "reporte");
    words.insert(words.end(), base.begin(), base.end());
    return run(words);
  };
  struct Case {
    std::vector<std::string> words;
    int rc;
    std::string err;  // expected on stderr ("" = nothing particular)
    std::string rpv;  // expected in Test.rpv
  };
  const std::vector<Case> cases = {
      {{"nomina"}, 2, "reporte desconocido: nomina", ""},
      {{"cts"}, 2, "indique --codigo", ""},
      {{"depositos-cts", "--moneda", "X"}, 2, "--moneda S", ""},
      // No payroll run for November yet.
      {{"libro"}, 1, "Stop: Archivo Planilla-1 Mes 11 No Existe", ""},
      {{"cts", "--codigo", "e0002", "--fecha-cert", "13/11/2026"}, 0, "", "dia 13 De Noviembre Del 2026"},
      {{"depositos-cts", "--moneda", "D", "--banco", "bcp"}, 0, "", "DEPOSITO SEMESTRAL CTS (DOLARES) NOVIEMBRE"},
      // A bank the master lacks would list no one and look complete.
      {{"depositos-cts", "--banco", "XXXX"}, 1, "Banco XXXX No Existe En El Maestro De Bancos", ""},
      {{"depositos-cts", "--banco", "BCPXY"}, 1, "Banco BCPXY No Existe", ""},
      // A PDF never replaces what is not a file (a FIFO here; a device or link alike).
      {{"netos", "--pdf", "tubo"}, 1, "El Archivo tubo Ya Existe Y No Es Un Archivo Comun", ""},
      {{"vacaciones", "--codigo", "E0099"}, 1, "Error En Ingreso De Dato: Codigo Empleado  E0099      No Existe", ""},
      {{"vacaciones", "--codigo", "E0005"}, 0, "", "RECORD VACACIONAL 2026"},
      // The year's documents: a four-digit year, and no month of it calculated yet.
      {{"quinta-anual", "--ano", "26"}, 2, "--ano AAAA", ""},
      {{"certificado-quinta", "--ano", "2026"}, 2, "indique --codigo", ""},
      {{"aportes-anual", "--ano", "2026"}, 1, "Mensaje: No Hay Planillas Calculadas En El A", ""},
  };
  ASSERT_EQ(::mkfifo("tubo", 0600), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words[0]);
    std::filesystem::remove("Test.rpv");
    Outcome o = reporte(c.words);
    EXPECT_EQ(o.rc, c.rc) << o.err;
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    EXPECT_EQ(std::filesystem::exists("Test.rpv"), c.rc == 0);
    if (c.rc == 0) {
      EXPECT_NE(bytesOf("Test.rpv").find(c.rpv), std::string::npos);
    }
  }
  EXPECT_TRUE(std::filesystem::is_fifo("tubo"));
  Outcome pdf = run({"pdf", "nada.rpv", "tubo"});
  EXPECT_EQ(pdf.rc, 1);
  EXPECT_NE(pdf.err.find("No Es Un Archivo Comun"), std::string::npos) << pdf.err;
}

TEST_F(Commands, LiquidacionSavesPrintsAndClosesWhenPaid) {
  enterDemo("30/11/2026");
  const std::vector<std::string> base = {"--cia", "01", "--clave", "PLANILLA"};
  auto cmd = [&](std::vector<std::string> words) {
    words.insert(words.end(), base.begin(), base.end());
    return run(words);
  };
  // Refusals, nothing written.
  Outcome o = cmd({"liquidacion", "--codigo", "E0002", "--fecha-cese", "15/12/2026", "--motivo", "01"});
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find("La Fecha De Cese Es Posterior Al Mes De Trabajo (30/11/2026)"), std::string::npos) << o.err;
  o = cmd({"liquidacion", "--codigo", "E0002", "--fecha-cese", "15/11/2026"});
  EXPECT_EQ(o.rc, 2);
  EXPECT_NE(o.err.find("08 MUTUO DISENSO"), std::string::npos) << o.err;  // the reasons are listed
  EXPECT_FALSE(std::filesystem::exists("lq0126.dbf"));

  o = cmd({"liquidacion", "--codigo", "E0002", "--fecha-cese", "15/11/2026", "--motivo", "08"});
  ASSERT_EQ(o.rc, 0) << o.err;
  EXPECT_NE(o.out.find("CTS TRUNCA:"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("SON: "), std::string::npos) << o.out;
  for (const auto& [doc, text] : {std::pair{"liquidacion", "FECHA DE CESE: 15/11/2026"},
                                  std::pair{"certificado-trabajo", "CERTIFICADO DE TRABAJO"},
                                  std::pair{"carta-cts", "ha cesado en sus labores el 15/11/2026"}}) {
    SCOPED_TRACE(doc);
    Outcome r = cmd({"reporte", doc, "--codigo", "e0002"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(bytesOf("Test.rpv").find(text), std::string::npos);
  }
  EXPECT_EQ(cmd({"liquidacion", "--codigo", "E0002", "--pagada", "17/11/2026"}).rc, 0);
  o = cmd({"liquidacion", "--codigo", "E0002", "--fecha-cese", "15/11/2026", "--motivo", "01"});
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find("Ya Fue Pagada El 17/11/2026"), std::string::npos) << o.err;
  // An employee without a settlement has no documents.
  EXPECT_NE(cmd({"reporte", "carta-cts", "--codigo", "E0005"}).err.find("Trabajador Sin Liquidacion Grabada"),
            std::string::npos);
}

}  // namespace
}  // namespace planilla
