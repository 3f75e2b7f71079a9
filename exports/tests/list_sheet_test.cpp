// "Exportar A Hoja De Calculo" on a list: the columns as shown, typed cells and the
// totals line, written by the workbook writer and read back with openpyxl.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "exports/list_sheet.h"
#include "masters/tests/masters_test_util.h"
#include "ui/dialogs.h"
#include "ui/picture.h"
#include "ui/text1252.h"

namespace planilla::exports {
namespace {

using masters::testing::Station;
using masters::testing::TempDir;

std::string python() {
  for (const char* py : {"python3", "/usr/bin/python3"})
    if (std::system((std::string(py) + " -c 'import openpyxl' >/dev/null 2>&1").c_str()) == 0) return py;
  return "";
}

// Every cell as kind:value[number format], a row a line.
std::string readBack(const std::string& xlsx, const std::string& dir) {
  const std::string script = dir + "/dump.py";
  std::ofstream(script) << "import sys, openpyxl, datetime\n"
                           "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                           "print(ws.title)\n"
                           "for row in ws.iter_rows():\n"
                           "  out = []\n"
                           "  for c in row:\n"
                           "    v = c.value\n"
                           "    if v is None: out.append('-')\n"
                           "    elif isinstance(v, datetime.datetime): out.append('d:' + v.strftime('%d/%m/%Y'))\n"
                           "    elif isinstance(v, (int, float)): out.append('n:%.2f[%s]' % (v, c.number_format))\n"
                           "    else: out.append('s:' + v)\n"
                           "  print('|'.join(out))\n";
  std::string out;
  if (FILE* p = ::popen((python() + " " + script + " " + xlsx + " 2>&1").c_str(), "r")) {
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

TEST(ListSheet, TheListAsShownWithTypedCellsAndTotals) {
  if (python().empty()) GTEST_SKIP() << "python3 con openpyxl no disponible (apt-get install python3-openpyxl)";
  TempDir dir;
  Station st(dir.path());
  const auto def = st.session.def(catalog::TableId::EmployeeMaster);
  masters::testing::seed(dir.path(), def,
                         {{{"codigo", "E002"}, {"nombre", "PE\xd1" "A ROJAS ANA"}, {"fech_ing", "20160610"}, {"bas_men", "1500.5"}},
                          {{"codigo", "00017"}, {"nombre", "ALVA LUNA JUAN"}, {"bas_men", "12345.25"}}});
  auto opened = catalog::openTable(platformFileSystem(), dir.path(), def, OpenMode::Shared);
  ASSERT_TRUE(opened.isOk());
  Table& t = **opened;
  (void)t.setOrder(0);  // record order: E002 first
  (void)t.goTop();
  st.tk.setSheetWriter(&writeListSheet);
  const std::string target = dir.path() + "/lista.xlsx";
  const std::string title = "Exportar A Hoja De Calculo";
  st.tk.expectDialog("", "Maestro De Empleados")
      .key(1001, ui::Key::Export)  // the list: the first control placed
      .expectSaveFile(target, title)
      .expectMessage(ui::MsgKind::Info, "Lista Grabada En " + target + " (2 Filas)", title)
      .close();
  ui::Dialog dlg(st.tk, 1, 1, 20, 60, "Maestro De Empleados");
  using A = ui::Browse::Align;
  dlg.browseAt(1, 1, 200, 100, t)
      .headers({"CODIGO", "NOMBRE", "INGRESO", "SUELDO"})
      .aligns({A::Left, A::Left, A::Left, A::Right})
      .line([&t] {
        return std::vector<std::string>{t.str("codigo"), t.str("nombre"), t.date("fech_ing").dmy(),
                                        ui::transform(t.num("bas_men"), "999,999.99")};
      })
      .totals({3});
  dlg.activate();
  EXPECT_TRUE(st.tk.ok()) << st.tk.report();
  // The code with leading zeros stays text; the empty date an empty cell. Totals:
  // 1,500.50 + 12,345.25 = 13,845.75.
  EXPECT_EQ(readBack(target, dir.path()),
            "Maestro De Empleados\n"
            "s:CODIGO|s:NOMBRE|s:INGRESO|s:SUELDO\n"
            "s:E002|s:PE\xc3\x91" "A ROJAS ANA|d:10/06/2016|n:1500.50[#,##0.00]\n"
            "s:00017|s:ALVA LUNA JUAN|-|n:12345.25[#,##0.00]\n"
            "-|s:TOTALES|-|n:13845.75[#,##0.00]\n");
}

}  // namespace
}  // namespace planilla::exports
