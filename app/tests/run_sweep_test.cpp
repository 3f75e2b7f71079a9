// `planilla calcular` and `planilla gratificacion` killed at every write of a
// demonstration month that already holds a calculated month, one point at a time.
// After each kill:
//  - the result tables a reader accepts are all of the previous month or all of the
//    new one, and an export of the month either refuses with a message or writes
//    exactly what it writes for one of the two months;
//  - after `reindexar` (which first puts in order what the run left) the run's tables
//    are one month or the other, whole, and nothing is left beside them.
//
// The kills are made by strace's fault injection on the real executable; the test is
// skipped when strace is missing or may not trace.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "app/tests/cli_util.h"
#include "app/tests/sweep_util.h"
#include "store/catalog.h"
#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

namespace fs = std::filesystem;
using catalog::TableId;
using testing::runPlanilla;
using testing::copyTree;
using testing::kWrites;
using testing::leftovers;
using testing::scratchPrefix;
using testing::straceUsable;
using testing::tracer;
using Records = std::map<std::string, std::vector<std::string>>;

const catalog::Period kJuly{"01", "07", "16"};

// Every file an export wrote into `dir`, by name, with its bytes.
Records files(const std::string& dir) {
  Records out;
  for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = {testing::slurp(e.path())};
  return out;
}

// The command line of a run of July: the payroll goes ahead on the gratification in
// place, whichever of the two the sweep has just changed.
std::vector<std::string> runArgs(const std::string& command) {
  std::vector<std::string> a = {command, "--cia", "01", "--tc", "07 31"};
  if (command == "calcular") a.push_back("--sin-gratificacion");
  return a;
}

struct SweptRun {
  const char* command;
  std::vector<TableId> set;  // the tables the run writes
};

class RunSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(testing::planillaBinary())) GTEST_SKIP() << "no existe el ejecutable planilla";
    if (!straceUsable()) GTEST_SKIP() << "strace no esta instalado o no puede seguir procesos: se omite el barrido";
    base = scratch.file("base");
    testing::Run r = runPlanilla(scratch.path(), {"init", "base", "--demo", "--fecha", "31/07/2016"});
    ASSERT_EQ(r.code, 0) << r.err;
    // The previous month: both runs made once.
    for (const char* c : {"calcular", "gratificacion"}) {
      r = runPlanilla(base, runArgs(c));
      ASSERT_EQ(r.code, 0) << c << ": " << r.err;
    }
    // The inputs change so that the new month differs from it for every employee the
    // first one's pay touches: 250.00 more in the active table and in the master.
    for (TableId id : {TableId::ActiveEmployees, TableId::EmployeeMaster}) {
      auto t = catalog::openTable(platformFileSystem(), base, catalog::define(id, kJuly), OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk()) << t.status().message();
      ASSERT_TRUE((*t)->goTop().isOk());
      ASSERT_TRUE((*t)->replace("BAS_MEN", (*t)->num("BAS_MEN") + 250).isOk());
    }
    previous = testing::liveRecords(base);
    std::string err;
    previousExport = exportOf(base, &err);
    ASSERT_FALSE(previousExport.empty()) << err;
  }

  // The files `exportar plame` writes for the month of `dir`; none when it refuses
  // (its message in *err).
  Records exportOf(const std::string& dir, std::string* err = nullptr) {
    const std::string out = dir + "-exportado";
    fs::remove_all(out);
    fs::create_directory(out);
    testing::Run r = runPlanilla(dir, {"exportar", "plame", "--cia", "01", "--dir", out});
    Records got = r.code == 0 ? files(out) : Records{};
    if (err) *err = r.code == 0 ? "" : r.err;
    fs::remove_all(out);
    return got;
  }

  // The live records of the tables of `run`, by file name.
  Records setOf(const Records& all, const SweptRun& run) {
    Records out;
    for (TableId id : run.set) {
      std::string name = catalog::define(id, kJuly).dbf();
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      auto it = all.find(name);
      out[name] = it == all.end() ? std::vector<std::string>{"no existe"} : it->second;
    }
    return out;
  }

  void sweep(const SweptRun& run) {
    // The new month, and how many writing calls of each kind an uninterrupted run makes.
    const std::string ref = scratch.file("ref");
    copyTree(base, ref);
    const std::string trace = scratch.file("traza");
    testing::Run r = runPlanilla(ref, runArgs(run.command),
                                 tracer(std::string("-e trace=") + kWrites + " -o " + testing::quoted(trace)));
    ASSERT_EQ(r.code, 0) << r.err;
    const Records before = setOf(previous, run), after = setOf(testing::liveRecords(ref), run);
    ASSERT_NE(before, after) << "el mes nuevo no se distingue del anterior";
    const Records afterExport = exportOf(ref);
    ASSERT_NE(afterExport, previousExport);
    std::map<std::string, int> calls;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      auto paren = line.find('(');
      if (paren == std::string::npos) continue;
      auto name = line.substr(0, paren);
      ++calls[name.substr(name.find_last_of(' ') + 1)];
    }
    ASSERT_GT(calls["pwrite64"], 50);

    int points = 0, kept = 0, made = 0, exported = 0;
    std::map<std::string, int> refusals;
    for (const auto& [syscall, count] : calls)
      for (int n = 1; n <= count; ++n) {
        SCOPED_TRACE(std::string(run.command) + ": " + syscall + " numero " + std::to_string(n));
        ++points;
        const std::string k = scratch.file("k");
        copyTree(base, k);
        r = runPlanilla(k, runArgs(run.command),
                        tracer("-o /dev/null -e trace=" + syscall + " -e inject=" + syscall +
                               ":signal=SIGKILL:when=" + std::to_string(n)));
        EXPECT_EQ(r.code, 128 + SIGKILL) << r.err;

        // What readers accept right after the kill: one month, never a mix.
        const Records now = setOf(testing::liveRecords(k), run);
        std::set<int> months;  // 0 previous, 1 new
        for (TableId id : run.set) {
          const catalog::TableDef def = catalog::define(id, kJuly);
          auto t = catalog::openTable(platformFileSystem(), k, def, OpenMode::Shared);
          if (!t) continue;
          std::string name = def.dbf();
          for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          const auto& rows = now.at(name);
          const bool asBefore = rows == before.at(name), asAfter = rows == after.at(name);
          EXPECT_TRUE(asBefore || asAfter) << name << " a medias";
          if (asBefore != asAfter) months.insert(asAfter ? 1 : 0);
        }
        EXPECT_LE(months.size(), 1u) << "tablas de meses distintos";
        std::string err;
        const Records e = exportOf(k, &err);
        if (e.empty()) {
          EXPECT_FALSE(err.empty());
          refusals[err.substr(0, err.find('\n'))]++;
        } else {
          ++exported;
          EXPECT_TRUE(e == previousExport || e == afterExport) << "exportacion de un mes a medias";
        }

        // Put in order by the next reindex: one month whole, nothing beside it.
        r = runPlanilla(k, {"reindexar", "--cia", "01"});
        EXPECT_EQ(r.code, 0) << r.err;
        const Records settled = setOf(testing::liveRecords(k), run);
        if (settled == before) ++kept;
        else if (settled == after) ++made;
        else ADD_FAILURE() << "despues de reindexar: " << testing::differingTables(settled, before) << "/ "
                           << testing::differingTables(settled, after);
        EXPECT_EQ(leftovers(k), std::vector<std::string>{});
      }
    std::cout << run.command << ": " << points << " puntos (";
    for (const auto& [name, count] : calls) std::cout << name << " " << count << " ";
    std::cout << "), " << kept << " con el mes anterior, " << made << " con el nuevo; " << exported
              << " exportaciones completas\n";
    for (const auto& [text, count] : refusals) std::cout << "  " << count << " x " << text << "\n";
    EXPECT_GT(kept, 0);
    EXPECT_GT(made, 0);
  }

  testutil::TempDir scratch{scratchPrefix("planilla-barrido-calculo")};
  std::string base;
  Records previous, previousExport;
};

TEST_F(RunSweep, PayrollKilledAtEveryWrite) {
  sweep({"calcular", {TableId::PayrollSoles, TableId::PayrollDollars, TableId::Earnings, TableId::Deductions}});
}

TEST_F(RunSweep, GratificationKilledAtEveryWrite) {
  sweep({"gratificacion", {TableId::GratSoles, TableId::GratDollars, TableId::Deductions}});
}

}  // namespace
}  // namespace planilla
