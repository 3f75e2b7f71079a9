// Rendering speed: generates report files of PAGES pages (default 2,000; payslips with
// frames, shaded bands and a logo, one per page) and of as many up to 2,000 (a landscape
// grouped summary), then parses, lays out and writes each to PDF. Then the longest
// report of the system, the payroll book (five lines and a rule per employee,
// landscape), written by its writer from a generated month of EMPLOYEES (default
// 10,000) and rendered in the same way. With COMPANY, the data folder of a company
// made as bench/big_company.sh makes it (the demo at 31/12/2016 with calc_bench
// --generar and the month calculated), also the writers' PDT and pension summaries
// and a batch of CERTIFICATES (default 500) fifth-category certificates of the year,
// each to its own PDF, as the operator makes them one after another.
//
// For each kind it prints the pages, the processor time of reading and laying out and
// of the PDF step, their ratio (target: the PDF step at most 3 times the first) and
// the pages per processor second (target: 2,000); processor time, as other programs
// on the machine do not change it. Also the time by the clock.
// First, in a process of its own, it renders a report file written as one line of
// LINE_MB megabytes (default 50) from disk to PDF and prints that process's peak
// memory: reading and laying out must not grow with the length of a line.
//
//   render_bench [PAGES] [OUT_DIR] [LINE_MB] [EMPLOYEES] [COMPANY] [CERTIFICATES]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "reports/render/rpv_render.h"
#include "reports/render/tests/sample_reports.h"
#include "reports/summaries.h"
#include "reports/year_reports.h"
#include "reports/rpv_writer.h"
#include "session/install.h"
#include "session/startup.h"
#include "store/catalog.h"

using namespace planilla;

namespace {

double cpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Measure {
  double parseLayout = 0, pdf = 0;        // by the clock
  double cpuLayout = 0, cpuPdf = 0;       // processor time of each step
  size_t pages = 0;
  uintmax_t bytes = 0;
  double cpu() const { return cpuLayout + cpuPdf; }
  void add(const Measure& o) {
    parseLayout += o.parseLayout, pdf += o.pdf, cpuLayout += o.cpuLayout, cpuPdf += o.cpuPdf;
    pages += o.pages, bytes += o.bytes;
  }
};

// The file's pages read and laid out, then written to DIR/NAME.pdf.
Measure run(const std::string& rpv, const std::string& dir, const std::string& name) {
  Measure m;
  const double c0 = cpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  rpv::RenderedReport r = rpv::layoutReport(rpv, dir);
  auto t1 = std::chrono::steady_clock::now();
  const double c1 = cpuSeconds();
  const std::string out = dir + "/" + name + ".pdf";
  Status s = rpv::writePdf(r, out);
  auto t2 = std::chrono::steady_clock::now();
  if (!s) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    std::exit(1);
  }
  m.cpuLayout = c1 - c0;
  m.cpuPdf = cpuSeconds() - c1;
  m.parseLayout = std::chrono::duration<double>(t1 - t0).count();
  m.pdf = std::chrono::duration<double>(t2 - t1).count();
  m.pages = r.layout.pages.size();
  m.bytes = std::filesystem::file_size(out);
  return m;
}

double worstRate = 1e9, worstRatio = 0;

void report(const char* what, const Measure& m) {
  const double total = m.parseLayout + m.pdf, rate = m.pages / m.cpu(), ratio = m.cpuPdf / m.cpuLayout;
  std::printf("%-12s %6zu paginas  CPU: lectura+diagramacion %6.3f s  PDF %6.3f s (x%4.1f)  %7.0f paginas/s CPU  "
              "| reloj %6.3f s %7.0f paginas/s  %.1f MB\n",
              what, m.pages, m.cpuLayout, m.cpuPdf, ratio, rate, total, m.pages / total, m.bytes / 1e6);
  worstRate = std::min(worstRate, rate);
  worstRatio = std::max(worstRatio, ratio);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Renders a report file of one `megabytes`-long line (blanks and text, no line
// end) from disk to PDF in a child process; prints the child's peak memory.
void oneLineFile(const std::string& dir, int megabytes) {
  const std::string in = dir + "/linea.rpv", out = dir + "/linea.pdf";
  {
    std::FILE* f = std::fopen(in.c_str(), "wb");
    if (!f) std::exit(1);
    std::fputs("{f=Lucida Console;s=8;$c01}", f);
    const std::string piece = "APELLIDO NOMBRE     1,234.50  ";  // 30 bytes
    for (long n = 0; n < megabytes * 1000000L; n += static_cast<long>(piece.size())) std::fputs(piece.c_str(), f);
    std::fputs("{\\n}FIN", f);
    std::fclose(f);
  }
  pid_t child = ::fork();
  if (child < 0) std::exit(1);
  if (child == 0) {
    int qargc = 1;
    char name[] = "render_bench";
    char* qargv[] = {name, nullptr};
    QGuiApplication app(qargc, qargv);
    Result<rpv::RenderedReport> r = rpv::loadReport(in);
    Status s = r ? rpv::writePdf(r.value(), out) : r.status();
    if (!s) std::fprintf(stderr, "%s\n", s.message().c_str());
    std::_Exit(s ? 0 : 1);
  }
  int status = 0;
  struct rusage ru;
  if (::wait4(child, &status, 0, &ru) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "linea de %d MB: fallo\n", megabytes);
    std::exit(1);
  }
  std::printf("linea de %d MB a PDF: memoria maxima %.1f MB\n", megabytes, ru.ru_maxrss / 1024.0);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
}

// Messages of the generated month's session: any is a failure of the benchmark.
struct FailOnMessage : ui::Messages {
  bool show(ui::MsgKind, const std::string& text, const std::string& title) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::exit(1);
  }
};

void check(const Status& st, const char* what) {
  if (st) return;
  std::fprintf(stderr, "%s: %s\n", what, st.message().c_str());
  std::exit(1);
}

// A data directory with `n` employees in two cost centres and their payroll results
// of December 2026, for company 01.
void generateMonth(const std::string& dir, int n) {
  using catalog::TableId;
  FileSystem& fs = platformFileSystem();
  check(installBase(fs, dir), "instalacion");
  const catalog::Period p{"01", "12", "26"};
  auto table = [&](TableId id, const catalog::Period& per) {
    const catalog::TableDef def = catalog::define(id, per);
    check(catalog::ensureTable(fs, dir, def), def.dbf().c_str());
    auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
    check(t.status(), def.dbf().c_str());
    return std::move(t.value());
  };
  {
    auto t = table(TableId::Institutions, {});
    check(t->appendBlank(), "pmae0001");
    check(t->replace("COD_CIA", "01"), "pmae0001");
    check(t->replace("NOM_CIA", "EMPRESA GENERADA S.A."), "pmae0001");
    check(t->replace("RUC", "20100000001"), "pmae0001");
  }
  {
    auto t = table(TableId::WorkerTypes, p);
    check(t->appendBlank(), "tipos");
    check(t->replace("CODIGO", "23"), "tipos");
    check(t->replace("NOMBRE", "EMPLEADO"), "tipos");
  }
  {
    auto emp = table(TableId::EmployeeMaster, p);
    for (int i = 1; i <= n; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "G%06d", i);
      check(emp->appendBlank(), "maestro");
      check(emp->replace("CODIGO", code), "maestro");
      check(emp->replace("NOMBRE", std::string("APELLIDO") + code + " NOMBRE"), "maestro");
      check(emp->replace("CARGO", "ANALISTA"), "maestro");
      check(emp->replace("TIPTRAB", "23"), "maestro");
      check(emp->replace("FECH_ING", Date(2015, 1 + i % 12, 1 + i % 28)), "maestro");
    }
  }
  (void)table(TableId::ActiveEmployees, p);
  check(catalog::recreateCalcFile(fs, dir, catalog::define(TableId::PayrollSoles, p)), "e2");
  auto e2 = table(TableId::PayrollSoles, p);
  for (int i = 1; i <= n; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "G%06d", i);
    const double base = 1500 + (i % 40) * 125.5;
    check(e2->appendBlank(), "e2");
    check(e2->replace("CODIGO", code), "e2");
    check(e2->replace("CCOSTO", i % 2 ? "ADM" : "PRO"), "e2");
    check(e2->replace("DIA_TRA", 30.0), "e2");
    check(e2->replace("BAS_MEN", base), "e2");
    check(e2->replace("BAS_QUI", base), "e2");
    check(e2->replace("TBRUTO", base), "e2");
    check(e2->replace("AAPOR1", round2(base / 10)), "e2");
    check(e2->replace("T_DSCTOT", round2(base / 10)), "e2");
    check(e2->replace("TPAGAR", base - round2(base / 10)), "e2");
    check(e2->replace("IPSSE", round2(base * 0.09)), "e2");
  }
}

// The payroll book of a generated month of `employees`, written by its writer.
void payrollBook(const std::string& dir, int employees) {
  const std::string data = dir + "/mes";
  std::filesystem::create_directories(data);
  generateMonth(data, employees);
  FailOnMessage messages;
  Session s(platformFileSystem(), messages, data);
  s.setRed(false);
  s.YCIA = "01";
  s.YFECHA = Date(2026, 12, 31);
  if (!acceptWorkingDate(s)) std::exit(1);
  std::string ruc;
  const double c0 = cpuSeconds();
  if (!reports::checkPayrollBook(s, ruc) || !reports::PREP406(s, ruc, /*startViewer=*/false)) std::exit(1);
  const double write = cpuSeconds() - c0;
  const std::string path = data + "/Test.rpv";
  if (employees > 20000) {
    // A book this long is rendered as the operator's command does, page by page from
    // the file (all its pages laid out at once would not fit in memory).
    const double c1 = cpuSeconds();
    size_t pages = 0;
    if (Status st = rpv::renderFileToPdf(path, dir + "/libro.pdf", &pages); !st) std::exit(1);
    const double render = cpuSeconds() - c1;
    std::printf("libro de %d empleados: escrito en %.3f s CPU (%.1f MB), %zu paginas a PDF en %.3f s CPU; "
                "por empleado: %.1f us escribir, %.1f us PDF\n",
                employees, write, std::filesystem::file_size(path) / 1e6, pages, render, write / employees * 1e6,
                render / employees * 1e6);
    return;
  }
  const std::string rpv = readFile(path);
  Measure m = run(rpv, dir, "libro");
  std::printf("libro de %d empleados: escrito en %.3f s CPU (%.1f MB), %zu paginas a PDF en %.3f s CPU; por "
              "empleado: %.1f us escribir, %.1f us PDF\n",
              employees, write, rpv.size() / 1e6, m.pages, m.cpu(), write / employees * 1e6,
              m.cpu() / employees * 1e6);
  report("libro", m);
}

// The writers' PDT and pension summaries and `certificates` fifth-category
// certificates of a company made by bench/big_company.sh's steps, at 31/12/2016.
void companyDocuments(const std::string& dir, const std::string& data, int certificates) {
  FailOnMessage messages;
  Session s(platformFileSystem(), messages, data);
  s.setRed(false);
  s.YCIA = "01";
  s.YFECHA = Date(2016, 12, 31);
  if (!acceptWorkingDate(s)) std::exit(1);
  const std::string rpvPath = data + "/" + reports::kReportFile;
  if (!reports::REPXXP404(s, false)) std::exit(1);
  report("pdt", run(readFile(rpvPath), dir, "pdt"));
  if (!reports::checkPensionSummary(s) || !reports::REPXXP405(s, false)) std::exit(1);
  report("aportes", run(readFile(rpvPath), dir, "aportes"));
  Measure all;
  for (int i = 1; i <= certificates; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "T%07d  ", i);
    if (!reports::PREP419(s, 2016, code, false)) std::exit(1);
    all.add(run(readFile(rpvPath), dir, "certificado"));
  }
  report("certificados", all);
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string() + "/render_bench";
  const int lineMb = argc > 3 ? std::atoi(argv[3]) : 50;
  const int employees = argc > 4 ? std::atoi(argv[4]) : 10000;
  const std::string company = argc > 5 ? argv[5] : "";
  const int certificates = argc > 6 ? std::atoi(argv[6]) : 500;
  std::filesystem::create_directories(dir);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Before this process starts Qt: the child must not inherit its threads.
  if (lineMb > 0) oneLineFile(dir, lineMb);
  int qargc = 1;
  char name[] = "render_bench";
  char* qargv[] = {name, nullptr};
  QGuiApplication app(qargc, qargv);

  // The logo the payslip header names, so pictures are part of the work.
  QImage logo(200, 200, QImage::Format_RGB32);
  logo.fill(QColor(0x20, 0x40, 0x80));
  logo.save(QString::fromStdString(dir + "/dm.bmp"));

  // Payslips, one per page.
  std::string slips = samples::payslipReport(1);
  const std::string body = samples::payslipBody("E0001", 3000, true);
  for (int i = 1; i < pages; ++i) slips += "{\\np}" + body;
  report("boletas", run(slips, dir, "boletas"));

  // The grouped landscape summary: about 30 rows a page.
  std::string summary = samples::summaryReport(std::min(pages, 2000) * 30);
  report("resumen", run(summary, dir, "resumen"));

  if (employees > 0) payrollBook(dir, employees);
  if (!company.empty()) companyDocuments(dir, company, certificates);

  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  std::printf("memoria maxima %.1f MB\n", ru.ru_maxrss / 1024.0);
  std::printf("%s: la mas lenta %.0f paginas por segundo de CPU (objetivo 2000); PDF hasta x%.1f la lectura y "
              "diagramacion (objetivo x3)\n",
              worstRate >= 2000 && worstRatio <= 3 ? "OK" : "LENTO", worstRate, worstRatio);
  std::filesystem::remove_all(dir);
  return 0;
}
