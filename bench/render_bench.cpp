// Rendering speed: generates report files of about 2,000 pages (payslips with frames,
// shaded bands and a logo; a landscape grouped summary), then parses, lays out and
// writes each to PDF, and prints pages per second. Target: at least 200 pages/s.
// First, in a process of its own, it renders a report file written as one line of
// LINE_MB megabytes (default 50) from disk to PDF and prints that process's peak
// memory: reading and laying out must not grow with the length of a line.
//
//   render_bench [PAGES] [OUT_DIR] [LINE_MB]
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
#include <string>

#include "reports/render/rpv_render.h"
#include "reports/render/tests/sample_reports.h"

using namespace planilla;

namespace {

double cpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Measure {
  double parseLayout = 0, pdf = 0;
  double cpu = 0;  // processor time of both steps (unaffected by other programs)
  size_t pages = 0;
  uintmax_t bytes = 0;
};

Measure run(const std::string& rpv, const std::string& dir, const std::string& name) {
  Measure m;
  const double c0 = cpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  rpv::RenderedReport r = rpv::layoutReport(rpv, dir);
  auto t1 = std::chrono::steady_clock::now();
  const std::string out = dir + "/" + name + ".pdf";
  Status s = rpv::writePdf(r, out);
  auto t2 = std::chrono::steady_clock::now();
  if (!s) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    std::exit(1);
  }
  m.cpu = cpuSeconds() - c0;
  m.parseLayout = std::chrono::duration<double>(t1 - t0).count();
  m.pdf = std::chrono::duration<double>(t2 - t1).count();
  m.pages = r.layout.pages.size();
  m.bytes = std::filesystem::file_size(out);
  return m;
}

void report(const char* what, const Measure& m) {
  const double total = m.parseLayout + m.pdf;
  std::printf("%-10s %5zu paginas  lectura+diagramacion %6.3f s  PDF %6.3f s  total %6.3f s  %7.1f paginas/s  "
              "(CPU %6.3f s: %7.1f paginas/s)  %.1f MB\n",
              what, m.pages, m.parseLayout, m.pdf, total, m.pages / total, m.cpu, m.pages / m.cpu, m.bytes / 1e6);
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

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string() + "/render_bench";
  const int lineMb = argc > 3 ? std::atoi(argv[3]) : 50;
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
  Measure a = run(slips, dir, "boletas");
  report("boletas", a);

  // The grouped landscape summary: about 30 rows a page.
  std::string summary = samples::summaryReport(pages * 30);
  Measure b = run(summary, dir, "resumen");
  report("resumen", b);

  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  std::printf("memoria maxima %.1f MB\n", ru.ru_maxrss / 1024.0);
  const double worst = std::min(a.pages / (a.parseLayout + a.pdf), b.pages / (b.parseLayout + b.pdf));
  std::printf("%s: %.1f paginas/s (objetivo 200)\n", worst >= 200 ? "OK" : "LENTO", worst);
  std::filesystem::remove_all(dir);
  return 0;
}
