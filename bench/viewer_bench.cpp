// The report viewer on a long report: generates a landscape summary of about PAGES
// pages (default 20,000; 30 rows a page), opens it in the viewer window offscreen,
// paints the first pages, counts the rest and goes to the last page and back, scrolls
// to the middle, by half screens, and to the end, and prints the
// time of each step and the process's resident memory after each (VmRSS) and at its
// peak (VmHWM). Target: under 200 MB resident whatever the length of the report.
//
//   viewer_bench [PAGES] [OUT_DIR] [PNG]     (PNG: the window at the middle of the report)
#include <QApplication>
#include <QAbstractScrollArea>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "reports/render/rpv_viewer.h"
#include "reports/render/tests/sample_reports.h"

using namespace planilla;

namespace {

// A line of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.compare(0, k.size(), k) == 0) return std::atof(line.c_str() + k.size()) / 1024.0;
  return -1;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void step(const char* what, std::chrono::steady_clock::time_point t0) {
  const double s = seconds(t0);
  std::printf("%-32s %7.3f s   residente %7.1f MB\n", what, s, statusMb("VmRSS"));
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 20000;
  const std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string() + "/viewer_bench";
  std::filesystem::create_directories(dir);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string path = dir + "/largo.rpv";
  {
    const std::string rpv = samples::summaryReport(pages * 30);
    std::ofstream out(path, std::ios::binary);
    out << rpv;
    std::printf("reporte de %.1f MB\n", rpv.size() / 1e6);
  }
  // The peak counts from here: the generated text is not the viewer's.
  std::ofstream("/proc/self/clear_refs") << "5";
  int qargc = 1;
  char name[] = "viewer_bench";
  char* qargv[] = {name, nullptr};
  QApplication app(qargc, qargv);
  std::printf("%-32s %7s     residente %7.1f MB\n", "inicio", "", statusMb("VmRSS"));

  auto t0 = std::chrono::steady_clock::now();
  Result<std::unique_ptr<rpv::ReportPages>> r = rpv::ReportPages::open(path);
  if (!r) {
    std::fprintf(stderr, "%s\n", r.status().message().c_str());
    return 1;
  }
  rpv::ViewerWindow w(std::move(r.value()), QStringLiteral("largo.rpv"));
  w.show();
  QApplication::processEvents();
  step("abierto, primeras paginas", t0);
  std::printf("%-32s %zu\n", "paginas contadas al abrir", w.pageCount());
  QScrollBar* bar = w.findChild<QAbstractScrollArea*>()->verticalScrollBar();

  // The rest of the file is counted while the window is shown.
  t0 = std::chrono::steady_clock::now();
  w.goToLastPage();
  QApplication::processEvents();
  step("contadas todas, ultima pagina", t0);
  std::printf("%-32s %d de %zu\n", "pagina mostrada", w.currentPage(), w.pageCount());
  t0 = std::chrono::steady_clock::now();
  w.goToPage(1);
  QApplication::processEvents();
  step("primera pagina", t0);

  t0 = std::chrono::steady_clock::now();
  bar->setValue(bar->maximum() / 2);
  QApplication::processEvents();
  step("al medio", t0);
  if (argc > 3) w.grab().save(QString::fromLocal8Bit(argv[3]));  // a look at the window
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 200; ++i) {
    bar->setValue(bar->value() + bar->pageStep() / 2);
    w.repaint();
  }
  step("200 pasos de media pantalla", t0);
  t0 = std::chrono::steady_clock::now();
  bar->setValue(bar->maximum());
  QApplication::processEvents();
  step("ultima pagina", t0);
  std::printf("paginas %zu\n", w.pageCount());
  const double peak = statusMb("VmHWM");
  std::printf("%s: memoria maxima %.1f MB (objetivo 200)\n", peak < 200 ? "OK" : "EXCEDE", peak);
  std::filesystem::remove_all(dir);
  return 0;
}
