// What the logs cost, measured in one run:
//  - a change to an employee record written alone, and written with its change-log record
//    (what every change made through a screen now does), over N employees;
//  - the run register's two writes per run (start and end), against the time of a run.
// The monthly run of 100,000 employees before and after the register: bench/run_register.sh.
//
//   bitacora_bench [N]     (default 2000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "session/change_log.h"
#include "session/run_register.h"
#include "session/session.h"
#include "session/startup.h"
#include "store/catalog.h"
#include "store/dbf_format.h"
#include "store/table.h"
#include "ui/messages.h"

namespace {

using namespace planilla;
using catalog::TableId;

class QuietMessages : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string& text, const std::string&) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return true;
  }
};

void check(const Status& st, const char* what) {
  if (!st) {
    std::fprintf(stderr, "%s: %s\n", what, st.message().c_str());
    std::exit(1);
  }
}

double since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
  const std::string dir = (std::filesystem::temp_directory_path() / "bitacora_bench").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  QuietMessages msgs;
  Session s(platformFileSystem(), msgs, dir);
  s.YCIA = "01";
  s.userCode = "BENCH";
  if (!FECRETE(s, Date(2016, 12, 31))) return 1;
  const catalog::TableDef def = s.def(TableId::EmployeeMaster);
  check(catalog::ensureTable(s.fs(), dir, def), "crear maestro");
  auto opened = catalog::openTable(s.fs(), dir, def, OpenMode::Shared);
  check(opened.status(), "abrir maestro");
  Table& t = **opened;
  for (int i = 1; i <= n; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "T%07d", i);
    check(t.appendBlank(), "agregar");
    check(t.replace("CODIGO", code), "codigo");
    check(t.replace("NOMBRE", std::string("EMPLEADO ") + code), "nombre");
    check(t.replace("BAS_MEN", 1500.0), "basico");
  }
  t.unlockAll();
  const FieldLayout* pay = nullptr;
  for (const auto& f : t.recordLayout())
    if (f.name == "BAS_MEN" || f.name == "bas_men") pay = &f;
  if (!pay) return 1;

  // One pass changes every record's pay: alone, then each with its log record.
  auto pass = [&](double amount, bool logged) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 1; i <= n; ++i) {
      check(t.go(static_cast<uint32_t>(i)), "ir");
      const std::string before = t.rawRecord();
      std::string after = before;
      check(dbf::encodeNumber(amount, pay->width, pay->decimals, after.data() + pay->offset - 1), "monto");
      check(t.lockRecord(), "bloquear");
      check(t.replaceRaw(after), "grabar");
      t.unlockAll();
      if (logged) check(logChange(s, t, 'M', before, after), "bitacora");
    }
    return since(t0);
  };
  const double alone = pass(1600, false);
  const double withLog = pass(1700, true);
  std::printf("%d cambios: solos %.3f s (%.3f ms c/u), con bitacora %.3f s (%.3f ms c/u), relacion %.2f\n", n, alone,
              alone * 1000 / n, withLog, withLog * 1000 / n, withLog / alone);

  const int runs = 200;
  auto r0 = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) {
    RunRecord r(s, kRunPayroll);
    if (!r.started()) return 1;
    r.count(1500, 200, 1300, 135);
    r.finish();
  }
  const double reg = since(r0);
  std::printf("registro de procesos: %.3f ms por proceso (inicio y fin)\n", reg * 1000 / runs);
  t.close();
  std::filesystem::remove_all(dir);
  return 0;
}
