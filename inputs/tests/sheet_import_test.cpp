// "Importar Desde Hoja De Calculo" of the month's entries: the sheets a supervisor
// sends (CSV in Windows-1252 with semicolons and decimal commas, UTF-8 with its mark,
// an .xlsx written by openpyxl), the preview's problem list, and the write of every
// row or none, also when the disk fails at any write or the program is killed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "inputs/income_entries.h"
#include "inputs/sheet_import.h"
#include "inputs/tests/inputs_test_util.h"
#include "session/change_log.h"
#include "store/io_faulty.h"

namespace planilla::inputs {
namespace {

using catalog::TableId;
using testing::Station;
using testing::TempDir;

class SheetImport : public ::testing::Test {
 protected:
  void SetUp() override {
    st.session.MES_CIE = "Mayo";
    st.session.ANO_CIE = "2016";
    // E004 left the company.
    testing::seedMaster(dir.path(), st, {{{"codigo", "E004"}, {"nombre", "ROJAS DIAZ LUIS"}, {"baja", "S"}}});
    // E001 already has the month's entry: 50 of meals and 120 kept by the form.
    testing::seed(dir.path(), def(), {{{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"refrige", "50"},
                                       {"sumini", "120"}}});
  }
  catalog::TableDef def() { return st.session.def(TableId::IncomeEntries); }
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = dir.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // The entries as "CODE:field=value ..." for the amounts that are not zero.
  std::string entries() {
    std::string out;
    auto stored = testing::readAll(dir.path(), def());
    for (size_t i = 0; i < stored.rows.size(); ++i) {
      out += trimRight(stored.rows[i].at("codigo")) + ":";
      for (const auto& [f, v] : stored.nums[i]) {
        if (v != 0) out += " " + f + "=" + std::to_string(v).substr(0, std::to_string(v).find('.') + 3);
      }
      out += "; ";
    }
    return out;
  }
  TempDir dir;
  Station st{dir.path(), true};
};

TEST_F(SheetImport, SpreadsheetsAsTheyAreSavedGiveTheSameAmounts) {
  struct Case {
    const char* what;
    std::string name, bytes;
  };
  // Windows-1252 (0xD1 is the N with tilde of "ANO"), semicolons, decimal commas and a
  // thousands point; UTF-8 with its mark, commas, quoted "1,234.50"; a blank line.
  const std::vector<Case> cases = {
      {"1252 ;", "h.csv", "CODIGO;NOMBRE;HOR/SIMPLE;Adelanto\r\nE001;PE\xD1" "A;10,5;1.234,50\r\n\r\nE002;X;2;\r\n"},
      {"utf8 ,", "h.txt", "\xEF\xBB\xBF" "codigo,Nombres,Hor.Ext.1ra. Tasa :,ADELANTO\nE001,PE\xC3\x91" "A,10.50,\"1,234.50\"\n"
                          "e002,X,2,\n"},
  };
  for (const Case& c : cases) {
    auto rows = readSheet(write(c.name, c.bytes));
    ASSERT_TRUE(rows.isOk()) << c.what;
    EXPECT_EQ(rows.value()[1].cells[1], "PE\xD1" "A") << c.what;  // UTF-8 read into Windows-1252
    ImportPlan plan = checkIncomeImport(st.session, rows.value());
    ASSERT_TRUE(plan.problems.empty()) << c.what << ": " << plan.problems[0].text;
    ASSERT_EQ(plan.fields, (std::vector<std::string>{"simple", "adelanto"})) << c.what;
    ASSERT_EQ(plan.rows.size(), 2u);
    EXPECT_EQ(plan.rows[0].values[0], 10.5);
    EXPECT_EQ(plan.rows[0].values[1], 1234.5);
    EXPECT_EQ(plan.rows[1].code, "E002      ");
    EXPECT_FALSE(plan.rows[1].values[1].has_value()) << c.what;  // blank: left as it is
  }
}

TEST_F(SheetImport, XlsxWrittenByOpenpyxl) {
  const char* py = std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") == 0 ? "/usr/bin/python3" : nullptr;
  if (!py) GTEST_SKIP() << "python3 con openpyxl no disponible (apt-get install python3-openpyxl)";
  const std::string xlsx = dir.path() + "/horas.xlsx";
  const std::string script = write("mk.py",
                                   "import openpyxl, sys\n"
                                   "wb = openpyxl.Workbook(); ws = wb.active; ws.title = 'Horas'\n"
                                   "ws.append(['CODIGO', 'NOMBRE', 'HOR/SIMPLE', 'HOR/DOBLE'])\n"
                                   "ws.append(['E001', 'P\\u00c9REZ', 10.5, 2])\n"
                                   "ws.append(['E002', 'ALVA', 8, None])\n"
                                   "ws.append([])\n"
                                   "ws.append([1003, 'numero', '3,25', 1])\n"
                                   "wb.save(sys.argv[1])\n");
  ASSERT_EQ(std::system((std::string(py) + " " + script + " " + xlsx).c_str()), 0);
  auto rows = readSheet(xlsx);
  if (rows.status().code() == ErrorCode::Unsupported) GTEST_SKIP() << rows.status().message();
  ASSERT_TRUE(rows.isOk()) << rows.status().message();
  ASSERT_EQ(rows.value().size(), 4u);  // the empty row left out
  EXPECT_EQ(rows.value()[1].cells[1], "P\xC9REZ");
  EXPECT_EQ(rows.value()[3].line, 5);  // lines are the sheet's rows
  ImportPlan plan = checkIncomeImport(st.session, rows.value());
  // 1003 is a number cell: its code is "1003", not in the master.
  ASSERT_EQ(plan.problems.size(), 1u);
  EXPECT_EQ(plan.problems[0].line, 5);
  EXPECT_EQ(plan.problems[0].text, "Codigo Empleado 1003 No Existe");
  ASSERT_EQ(plan.rows.size(), 2u);
  EXPECT_EQ(plan.rows[0].values[0], 10.5);
  EXPECT_EQ(plan.rows[0].values[1], 2.0);
  EXPECT_FALSE(plan.rows[1].values[1].has_value());
}

// Every kind of problem, each on its line, in the preview; "Grabar" disabled and
// nothing written.
TEST_F(SheetImport, PreviewListsEveryProblemByLineAndWritesNothing) {
  const std::string csv = write("malo.csv",
                                "CODIGO;HOR/SIMPLE;SUMINI;ADELANTO\n"  // 1: SUMINI is not an input
                                "E001;10;;\n"                         // 2: fine
                                "E099;1;;\n"                          // 3: unknown employee
                                "E002;diez;;\n"                       // 4: not a number
                                "E001;2;;\n"                          // 5: twice
                                "E004;1;;\n"                          // 6: left the company
                                "E003;;;-5\n"                         // 7: negative
                                "E003;;;99999999\n");                 // 8: too large, and twice
  const auto before = entries();
  st.tk.expectDialog("MANTE04I")
      .press(108)
      .expectDialog("", "Importar Desde Hoja De Calculo")
      .type(0, csv)
      .press("Aceptar")
      .expectDialog("IMPORTHOJA", "Importar Desde Hoja De Calculo")
      .inspect([](ui::Dialog& d) {
        auto* list = dynamic_cast<ui::Browse*>(d.control(102));
        ASSERT_NE(list, nullptr) << d.templateName();
        ui::Browse& br = *list;
        std::vector<std::string> lines;
        for (int i = 0; i < br.rowCount(); ++i) lines.push_back(br.row(i)[0] + " " + br.row(i)[3]);
        EXPECT_EQ(lines, (std::vector<std::string>{
                             "1 La Columna \"SUMINI\" No Es Un Dato De Ingreso Del Mes",
                             "3 Codigo Empleado E099 No Existe",
                             "4 HOR/SIMPLE: \"diez\" No Es Un Numero",
                             "5 Codigo E001 Repetido (Ya Esta En La Linea 2)",
                             "6 Trabajador E004 No Esta Activo En Mayo 2016",
                             "7 ADELANTO: -5,00 No Puede Ser Negativo",
                             "8 Codigo E003 Repetido (Ya Esta En La Linea 7)",
                             "8 ADELANTO: 99999999,00 No Cabe (Maximo 9999999,99)",
                         }));
        EXPECT_FALSE(d.control(201)->enabled());
      })
      .press(202)
      .press(testing::kExit);
  F_PFMR201(st.session, st.tk);
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  EXPECT_EQ(entries(), before);
}

// A good sheet: the existing entry keeps what the sheet leaves blank, the new one is
// added, each change is in the change log. A lock held by another station on one of
// the records writes nothing at all.
TEST_F(SheetImport, AllRowsOrNoneAgainstALockAndWithTheChangeLog) {
  auto rows = readSheet(write("ok.csv", "CODIGO;HOR/SIMPLE;REFRIGERIO\nE002;4;\nE001;10,5;\n"));
  ASSERT_TRUE(rows.isOk());
  ImportPlan plan = checkIncomeImport(st.session, rows.value());
  ASSERT_TRUE(plan.writable());
  const auto before = entries();

  Station other(dir.path(), true);
  auto held = catalog::openTable(platformFileSystem(), dir.path(), def(), OpenMode::Shared);
  ASSERT_TRUE(held.isOk());
  ASSERT_TRUE((*held)->goTop().isOk());
  ASSERT_TRUE((*held)->lockRecord().isOk());  // E001 held by another station

  auto mine = catalog::openTable(platformFileSystem(), dir.path(), def(), OpenMode::Shared, "HorMovExt");
  ASSERT_TRUE(mine.isOk());
  auto inArea = st.session.use(1, std::move(mine).value());
  ASSERT_TRUE(inArea.isOk());
  Table& t = *inArea.value();
  auto refused = applyIncomeImport(st.session, t, plan);
  ASSERT_FALSE(refused.isOk());
  EXPECT_EQ(refused.status().message(), "Los Ingresos De E001 Estan En Uso En Otra Estacion: No Se Grabo Nada");
  EXPECT_EQ(entries(), before);

  (*held)->unlockAll();
  auto written = applyIncomeImport(st.session, t, plan);
  ASSERT_TRUE(written.isOk()) << written.status().message();
  EXPECT_EQ(written.value(), 2);
  // E001 keeps its meals (blank column) and SUMINI; E002 is new with its name.
  EXPECT_EQ(entries(), "E001: refrige=50.00 simple=10.50 sumini=120.00; E002: simple=4.00; ");
  EXPECT_EQ(testing::readAll(dir.path(), def()).rows[1].at("nombre").substr(0, 14), "ALVA ROJAS ANA");
  std::vector<ChangeRow> log;
  ASSERT_TRUE(readChangeLog(st.session, &log).isOk());
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].operation, 'A');
  EXPECT_NE(log[1].detail.find("SIMPLE:  -> 10.50"), std::string::npos) << log[1].detail;
  EXPECT_FALSE(platformFileSystem().exists(importJournalPath(st.session)));
}

// The disk failing at each write in turn (and staying failed, as when the program is
// killed there): the next opening of the month's entries finds the old set or the new
// one, never a mix.
TEST_F(SheetImport, AFailureAtAnyWriteLeavesTheOldSetOrTheNew) {
  auto rows = readSheet(write("ok.csv", "CODIGO;HOR/SIMPLE\nE001;10\nE002;4\nE003;7\n"));
  ASSERT_TRUE(rows.isOk());
  const auto old = entries();
  const std::string fresh = "E001: refrige=50.00 simple=10.00 sumini=120.00; E002: simple=4.00; E003: simple=7.00; ";
  bool reachedEnd = false;
  int recovered = 0;  // rounds that left a journal for the next station
  for (int n = 1; n < 200 && !reachedEnd; ++n) {
    SCOPED_TRACE("falla en la escritura " + std::to_string(n));
    FaultyFileSystem faulty(platformFileSystem());
    {
      Session s(faulty, st.tk, dir.path());
      s.YCIA = "01", s.YMES = "05", s.YANO = "16", s.MES_CIE = "Mayo", s.ANO_CIE = "2016";
      s.setRed(true);
      ImportPlan plan = checkIncomeImport(s, rows.value());
      auto t = catalog::openTable(faulty, dir.path(), def(), OpenMode::Shared, "HorMovExt");
      ASSERT_TRUE(t.isOk());
      auto in = s.use(1, std::move(t).value());
      ASSERT_TRUE(in.isOk());
      faulty.failAt(n, /*sticky=*/true);
      auto r = applyIncomeImport(s, *in.value(), plan);
      reachedEnd = !faulty.failed();
      if (reachedEnd) EXPECT_TRUE(r.isOk());
      s.closeAll();
    }
    // The next station to open the screen.
    {
      Session s(platformFileSystem(), st.tk, dir.path());
      s.YCIA = "01", s.YMES = "05", s.YANO = "16";
      s.setRed(true);
      auto t = catalog::openTable(platformFileSystem(), dir.path(), def(), OpenMode::Shared, "HorMovExt");
      ASSERT_TRUE(t.isOk());
      auto in = s.use(1, std::move(t).value());
      recovered += platformFileSystem().exists(importJournalPath(s));
      ASSERT_TRUE(recoverIncomeImport(s, *in.value()).isOk());
      s.closeAll();
    }
    const std::string now = entries();
    EXPECT_TRUE(now == old || now == fresh) << now;
    if (now == fresh) {
      // Back to the old set for the next round.
      auto t = catalog::openTable(platformFileSystem(), dir.path(), def(), OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk());
      for (Status s = (*t)->goTop(); !(*t)->eof(); s = (*t)->skip()) {
        if (trimRight((*t)->str("codigo")) == "E001")
          ASSERT_TRUE((*t)->replace("simple", 0.0).isOk());
        else
          ASSERT_TRUE((*t)->markDeleted().isOk());
      }
      ASSERT_TRUE((*t)->pack().isOk());
      (*t)->close();
    }
  }
  EXPECT_TRUE(reachedEnd);
  EXPECT_GT(recovered, 3);
}

}  // namespace
}  // namespace planilla::inputs
