// `planilla reindexar` stopped at every write of a demonstration month, one point at a
// time: killed outright (the operating system keeps what was written), or with the
// disk full from that write on. After each stop the next `calcular` either refuses
// with a message or computes exactly the month an uninterrupted run computes; and
// `reindexar` run again always repairs the files, leaving nothing behind.
//
// The stops are made by strace's fault injection on the real executable; the test is
// skipped when strace is missing or may not trace.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include <gtest/gtest.h>

#include "app/tests/cli_util.h"
#include "app/tests/sweep_util.h"
#include "store/catalog.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

namespace fs = std::filesystem;
using testing::runPlanilla;
using testing::copyTree;
using testing::kWrites;
using testing::leftovers;
using testing::scratchPrefix;
using testing::straceUsable;
using testing::tracer;
using Records = std::map<std::string, std::vector<std::string>>;

class ReindexSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(testing::planillaBinary())) GTEST_SKIP() << "no existe el ejecutable planilla";
    if (!straceUsable()) GTEST_SKIP() << "strace no esta instalado o no puede seguir procesos: se omite el barrido";
    base = scratch.file("base");
    testing::Run r = runPlanilla(scratch.path(), {"init", "base", "--demo", "--fecha", "31/07/2016"});
    ASSERT_EQ(r.code, 0) << r.err;
    // Records marked deleted make the reindex write the tables anew (pack), and an
    // append cut short leaves a record past a count for it to drop.
    FileSystem& posix = platformFileSystem();
    const catalog::Period july{"01", "07", "16"};
    using catalog::TableId;
    for (auto [id, recno] : {std::pair{TableId::IncomeEntries, 2u}, std::pair{TableId::Earnings, 3u}}) {
      auto t = catalog::openTable(posix, base, catalog::define(id, july), OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk()) << t.status().message();
      ASSERT_TRUE((*t)->go(recno).isOk());
      ASSERT_TRUE((*t)->markDeleted().isOk());
    }
    testing::appendPastCount(catalog::joinPath(base, "tcam16.dbf"));

    // The month an uninterrupted reindex and run give.
    const std::string ref = scratch.file("ref");
    copyTree(base, ref);
    ASSERT_EQ(runPlanilla(ref, {"reindexar", "--cia", "01"}).code, 0);
    r = runPlanilla(ref, {"calcular", "--cia", "01", "--tc", "07 31", "--sin-gratificacion"});
    ASSERT_EQ(r.code, 0) << r.err;
    expected = testing::liveRecords(ref);

    // How many writing calls of each kind an uninterrupted reindex makes.
    const std::string counted = scratch.file("cuenta");
    copyTree(base, counted);
    const std::string trace = scratch.file("traza");
    r = runPlanilla(counted, {"reindexar", "--cia", "01"},
                    tracer(std::string("-e trace=") + kWrites + " -o " + testing::quoted(trace)));
    ASSERT_EQ(r.code, 0) << r.err;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      auto paren = line.find('(');
      if (paren == std::string::npos) continue;
      auto name = line.substr(0, paren);
      name = name.substr(name.find_last_of(' ') + 1);
      ++calls[name];
    }
    ASSERT_GT(calls["pwrite64"], 50);
  }

  // Stops the reindex with `inject` (strace's expression, "%N" standing for the call
  // number) at call n of `syscall`, then checks the next run and the repair.
  void stopAndCheck(const std::string& syscall, int n, const std::string& inject, bool expectKilled) {
    SCOPED_TRACE(syscall + " numero " + std::to_string(n));
    const std::string k = scratch.file("k"), k2 = scratch.file("k2");
    copyTree(base, k);
    std::string expr = inject;
    expr.replace(expr.find("%N"), 2, std::to_string(n));
    testing::Run r = runPlanilla(k, {"reindexar", "--cia", "01"},
                                 tracer("-o /dev/null -e trace=" + syscall + " -e inject=" + syscall + ":" + expr));
    if (expectKilled) {
      EXPECT_EQ(r.code, 128 + SIGKILL) << r.err;
    } else {
      EXPECT_NE(r.code, 0) << "un disco lleno no es un exito";
      EXPECT_FALSE(r.err.empty());
    }
    copyTree(k, k2);

    // The next run refuses, saying why, or computes exactly the month.
    r = runPlanilla(k, {"calcular", "--cia", "01", "--tc", "07 31", "--sin-gratificacion"});
    if (r.code == 0) {
      ++exact;
      EXPECT_EQ(testing::differingTables(testing::liveRecords(k), expected), "") << "calculo con datos errados";
    } else {
      ++refused;
      EXPECT_FALSE(r.err.empty());
      EXPECT_EQ(r.err.find("Fin De Proceso"), std::string::npos) << r.err;
      refusals[r.err.substr(0, r.err.find('\n'))]++;
    }

    // Reindexing again repairs it: the run computes the month, nothing is left behind.
    r = runPlanilla(k2, {"reindexar", "--cia", "01"});
    EXPECT_EQ(r.code, 0) << r.err;
    r = runPlanilla(k2, {"calcular", "--cia", "01", "--tc", "07 31", "--sin-gratificacion"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(testing::differingTables(testing::liveRecords(k2), expected), "");
    EXPECT_EQ(leftovers(k2), std::vector<std::string>{});
  }

  void report(const char* what) {
    int points = exact + refused;
    std::cout << what << ": " << points << " puntos (";
    for (const auto& [name, count] : calls) std::cout << name << " " << count << " ";
    std::cout << "en la reindexacion completa), " << exact << " con el mes exacto, " << refused
              << " rechazados por calcular\n";
    for (const auto& [text, count] : refusals) std::cout << "  " << count << " x " << text << "\n";
  }

  testutil::TempDir scratch{scratchPrefix("planilla-barrido")};
  std::string base;
  Records expected;
  std::map<std::string, int> calls;
  std::map<std::string, int> refusals;
  int exact = 0, refused = 0;
};

TEST_F(ReindexSweep, KilledAtEveryWrite) {
  for (const auto& [syscall, count] : calls)
    for (int n = 1; n <= count; ++n) stopAndCheck(syscall, n, "signal=SIGKILL:when=%N", true);
  report("muerte en cada escritura");
  EXPECT_GT(exact + refused, 100);
}

TEST_F(ReindexSweep, DiskFullFromEveryWrite) {
  // Writes are what a full disk refuses (the truncates here only shorten files).
  for (int n = 1; n <= calls["pwrite64"]; ++n) stopAndCheck("pwrite64", n, "error=ENOSPC:when=%N+", false);
  report("disco lleno desde cada escritura");
  EXPECT_GT(exact + refused, 50);
}

}  // namespace
}  // namespace planilla
