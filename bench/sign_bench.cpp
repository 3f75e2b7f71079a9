// Signing speed of the electronic payslips: renders one payslip (the sample payslip
// report of the renderer's tests) to PDF, then signs it COUNT times (default 200)
// with a test certificate, as the batch does for each employee (PoDoFo incremental
// update + OpenSSL CMS, file built beside its name and renamed), and prints payslips
// signed per second, elapsed and processor time; then the same with the protection
// by document number (AES-256, whole rewrite). Beside it, for scale, the rendering
// of the same payslip to PDF repeated COUNT/10 times.
//
//   sign_bench [COUNT] [OUT_DIR]
#include <QGuiApplication>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "delivery/sign.h"
#include "reports/render/rpv_render.h"
#include "reports/render/tests/sample_reports.h"

using namespace planilla;

namespace {

double cpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

template <class Fn>
void measure(const char* what, int count, Fn fn) {
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = cpuSeconds();
  for (int i = 0; i < count; ++i) {
    if (Status st = fn(i); !st) {
      std::fprintf(stderr, "%s: %s\n", what, st.message().c_str());
      std::exit(1);
    }
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = cpuSeconds() - c0;
  std::printf("%-32s %5d en %6.2f s (CPU %6.2f s): %7.1f por segundo (%7.1f por segundo de CPU)\n", what, count,
              wall, cpu, count / wall, count / cpu);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::filesystem::path dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path() / "sign_bench";
  std::filesystem::create_directories(dir);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);

  const std::string rpv = (dir / "boleta.rpv").string(), pdf = (dir / "boleta.pdf").string();
  std::ofstream(rpv, std::ios::binary) << samples::payslipReport(1);
  if (Status st = rpv::renderFileToPdf(rpv, pdf); !st) {
    std::fprintf(stderr, "%s\n", st.message().c_str());
    return 1;
  }
  const std::string cert = (dir / "bench.p12").string();
  if (Status st = delivery::writeTestCertificate(cert, "bench", "EMPRESA DE PRUEBA S.A.C."); !st) {
    std::fprintf(stderr, "%s\n", st.message().c_str());
    return 1;
  }
  auto signer = delivery::Signer::open(cert, "bench");
  if (!signer) return 1;
  std::printf("Boleta de %ju bytes, certificado RSA-2048\n", static_cast<uintmax_t>(std::filesystem::file_size(pdf)));
  const std::string out = (dir / "firmada.pdf").string();
  measure("boletas firmadas", count,
          [&](int) { return signer.value()->signPdf(pdf, out, delivery::SignatureText{}); });
  measure("boletas firmadas y protegidas", count,
          [&](int) { return signer.value()->signPdf(pdf, out, delivery::SignatureText{}, "41333332"); });
  measure("boletas generadas (PDF, sin firma)", count / 10 > 0 ? count / 10 : 1,
          [&](int) { return rpv::renderFileToPdf(rpv, (dir / "generada.pdf").string()); });
  std::filesystem::remove_all(dir);
  return 0;
}
