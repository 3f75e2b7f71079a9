// The salary-transfer file of a company of 100,000 employees (or as many as asked):
// one BCP file of the month's payroll, four in five paid to their BCP account and one
// in five to another bank through its CCI, with the summary report.
//
//   bank_bench [employees]     (default: 100000)
//
// Baseline, in the same run: one plain pass over each table the file is made from (the
// month's results, the active employees, the second records). Reported: processor and
// elapsed time of both and their ratio. Target: the export under a second of processor time.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "exports/bank_transfer.h"
#include "masters/employee_extra.h"
#include "session/session.h"
#include "session/startup.h"
#include "store/catalog.h"
#include "store/table.h"
#include "ui/messages.h"

namespace {

using namespace planilla;
using catalog::TableDef;
using catalog::TableId;

class QuietMessages : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string& text, const std::string& title) override {
    last = title + ": " + text;
    return true;
  }
  std::string last;
};

void check(const Status& st, const char* what) {
  if (!st) {
    std::fprintf(stderr, "%s: %s\n", what, st.message().c_str());
    std::exit(1);
  }
}

std::string digits(long v, int width) {
  char b[32];
  std::snprintf(b, sizeof b, "%0*ld", width, v);
  return b;
}

// The CCI check digit of a group: weights 1, 2, 1, 2 ... from the left, the digits of
// each product added, (10 - sum mod 10) mod 10.
char checkDigit(const std::string& group) {
  int sum = 0;
  for (size_t i = 0; i < group.size(); ++i) {
    const int p = (group[i] - '0') * (i % 2 == 0 ? 1 : 2);
    sum += p / 10 + p % 10;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::unique_ptr<Table> fresh(Session& s, const TableDef& base) {
  TableDef def = base;
  if (def.fields.empty()) def.fields = def.origin == catalog::Origin::MasterCopy ? catalog::employeeFields()
                                                                                   : catalog::calcTemplateFields();
  check(catalog::createWithTags(s.fs(), s.dataDir(), def), def.dbf().c_str());
  auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Exclusive);
  check(t.status(), def.dbf().c_str());
  return std::move(*t);
}

void generate(Session& s, int n) {
  auto active = fresh(s, s.def(TableId::ActiveEmployees));
  auto pay = fresh(s, s.def(TableId::PayrollSoles));
  auto accounts = fresh(s, s.def(TableId::ChargeAccounts));
  check(accounts->appendBlank(), "append");
  check(accounts->replace("BANCO", "02"), "banco");
  check(accounts->replace("CUENTA", "1911000152155"), "cuenta");
  check(accounts->replace("MONEDA", "S"), "moneda");
  check(accounts->replace("INTERB", "S"), "interb");
  accounts->close();
  auto extraOpened = masters::openEmployeeExtra(s, OpenMode::Exclusive);
  check(extraOpened.status(), "pmae11");
  Table& extra = **extraOpened;
  for (int i = 1; i <= n; ++i) {
    const std::string code = "T" + digits(i, 7);
    check(active->appendBlank(), "append");
    check(active->replace("codigo", code), "codigo");
    check(active->replace("nombre", "APELLIDO" + code + " , NOMBRE"), "nombre");
    check(active->replace("apelli1", "APELLIDO" + code), "apelli1");
    check(active->replace("apelli2", "MATERNO"), "apelli2");
    check(active->replace("nombre1", "NOMBRE"), "nombre1");
    check(active->replace("DocIden", "1"), "dociden");
    check(active->replace("electoral", digits(40000000 + i, 8)), "electoral");
    check(pay->appendBlank(), "append");
    check(pay->replace("CODIGO", code), "codigo");
    check(pay->replace("NOMBRE", "APELLIDO" + code + " , NOMBRE"), "nombre");
    check(pay->replace("TPAGAR", 1000.0 + (i % 5000) + 0.37), "tpagar");
    check(extra.appendBlank(), "append");
    check(extra.replace("CODIGO", code), "codigo");
    check(extra.replace("CTAMON", "S"), "ctamon");
    if (i % 5 != 0) {
      check(extra.replace("BANCOSUN", "02"), "banco");
      check(extra.replace("CTANUM", "191" + digits(i, 10)), "cuenta");  // 13 digits, corriente
    } else {
      const std::string office = "009632", account = digits(i, 12);
      check(extra.replace("BANCOSUN", "09"), "banco");
      check(extra.replace("CTACCI", office + account + checkDigit(office) + checkDigit(account)), "cci");
    }
  }
  active->close();
  pay->close();
  extra.close();
}

double cpu() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The baseline: the reading every export of the month needs, one pass over each of
// the three tables (results, active employees, second records).
long baseline(Session& s) {
  long bytes = 0;
  for (TableId id : {TableId::PayrollSoles, TableId::ActiveEmployees, TableId::EmployeeExtra}) {
    auto t = catalog::openTable(s.fs(), s.dataDir(), s.def(id), OpenMode::Shared);
    check(t.status(), "tabla");
    check((*t)->records()([&](uint32_t, std::string_view r) {
      bytes += static_cast<long>(r.size());
      return Status::ok();
    }),
          "lectura");
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::string tmpl = (std::filesystem::temp_directory_path() / "bank_benchXXXXXX").string();
  const std::string dir = mkdtemp(tmpl.data());
  QuietMessages msgs;
  {
    Session s(platformFileSystem(), msgs, dir);
    s.setRed(false);
    s.YCIA = "01";
    s.YFECHA = Date(2026, 3, 31);
    if (!FECRETE(s, s.YFECHA)) return 1;
    s.YRUC = "20100000001";
    s.YNOMBRE1 = "EMPRESA DE PRUEBA SAC";
    s.setClock([] { return Date(2026, 4, 1); });
    const double g0 = now();
    generate(s, n);
    std::printf("%d empleados generados en %.1f s\n", n, now() - g0);

    const double b0 = cpu(), bw0 = now();
    const long seen = baseline(s);
    const double b1 = cpu(), bw1 = now();

    // The export in its three steps (what runBankTransfer does): read and check,
    // write the file, write the summary report.
    exports::TransferRequest req;
    req.bank = exports::bank::Bank::Bcp;
    req.dir = dir;
    exports::Transfer t;
    std::vector<std::string> written;
    const double e0 = cpu(), ew0 = now();
    bool ok = exports::buildTransfer(s, req, t) && t.refusals.empty();
    const double e1 = cpu();
    ok = ok && exports::writeTransferFiles(t, &written).isOk();
    const double e2 = cpu();
    ok = ok && exports::writeTransferSummary(s, t, false);
    const double e3 = cpu(), ew3 = now();
    if (!ok) {
      std::printf("FALLO: %s\n", t.refusals.empty() ? msgs.last.c_str() : t.refusals[0].what.c_str());
      return 1;
    }
    const auto size = std::filesystem::file_size(written.at(0));
    std::printf("lectura base (una pasada por tabla): cpu %.3f s, %.3f s  [%ld bytes]\n", b1 - b0, bw1 - bw0, seen);
    std::printf("archivo BCP + resumen: cpu %.3f s (lectura y controles %.3f, archivo %.3f, resumen %.3f), %.3f s, "
                "%ju bytes\n",
                e3 - e0, e1 - e0, e2 - e1, e3 - e2, ew3 - ew0, static_cast<uintmax_t>(size));
    std::printf("razon exportacion / lectura base (cpu): %.2f\n", (e3 - e0) / (b1 - b0));
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
