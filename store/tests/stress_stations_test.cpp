// Several stations, each a separate process, working at once on two shared tables
// with two tags each: appends the way the screens make them (blank record under the
// header lock, fields filled while the new record stays locked), locked changes of
// key fields, deletions, seeks and skips. Every station logs what it did; afterwards
// the parent checks that no append was lost or doubled, that no locked change was
// lost, and that both tables verify against their indexes.
#ifndef _WIN32  // fork(), signals and pipes: these stations run on Linux only
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "store/io.h"
#include "store/table.h"
#include "stress_util.h"

namespace planilla {
namespace {

using testing::Children;
using testing::ScratchDir;

constexpr int kStations = 4;
constexpr int kSeconds = 20;          // of work per station
constexpr int kInitialRecords = 300;  // per table, written before the stations start
constexpr int kParentProc = 9;        // the PROC value of the initial records
constexpr int kHotRecords = 12;       // initial records every station keeps changing

const std::vector<FieldSpec>& movFields() {
  static const std::vector<FieldSpec> f = {{"CODIGO", 'C', 10, 0}, {"GRUPO", 'C', 2, 0},
                                           {"CUENTA", 'N', 8, 0},  {"PROC", 'N', 2, 0},
                                           {"SERIE", 'N', 7, 0},   {"NOMBRE", 'C', 20, 0}};
  return f;
}

struct Paths {
  std::string table[2], bag[2];
};

std::string codeFor(int proc, int serie, const std::string& suffix) {
  char b[16];
  std::snprintf(b, sizeof b, "%1d%07d", proc, serie);
  return std::string(b) + suffix;
}

std::string nameFor(int proc, int serie) { return "EST " + std::to_string(proc) + " NRO " + std::to_string(serie); }

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// ---------------------------------------------------------------------------------
// One station (runs in a child process; reports through its log file only)

class Station {
 public:
  Station(int proc, uint64_t seed, const Paths& paths, FILE* log) : proc_(proc), rng_(seed), paths_(paths), log_(log) {}

  int run(std::chrono::steady_clock::time_point deadline) {
    for (int t = 0; t < 2; ++t) {
      auto r = Table::open(platformFileSystem(), paths_.table[t], OpenMode::Shared);
      if (!r) return fatal(t, "apertura: " + r.status().message());
      tables_[t] = std::move(r).value();
      Status st = tables_[t]->openIndex(paths_.bag[t]);
      if (!st) return fatal(t, "indice: " + st.message());
      if (!(st = tables_[t]->setOrder(1))) return fatal(t, st.message());
    }
    while (std::chrono::steady_clock::now() < deadline) {
      int t = static_cast<int>(rng_() % 2);
      int r = static_cast<int>(rng_() % 100);
      if (r < 25) append(t);
      else if (r < 55) update(t);
      else if (r < 60) remove(t);
      else if (r < 85) seek(t);
      else walk(t);
      ++ops_;
    }
    std::fprintf(log_, "S %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld\n", ops_, appends_, updates_, deletes_, seeks_,
                 skips_, lockFails_, refused_, transient_, errors_);
    return errors_ == 0 ? 0 : 1;
  }

 private:
  struct Own {
    uint32_t recno;
    int serie;
    bool live;
  };

  int fatal(int t, const std::string& m) {
    error(t, m);
    std::fprintf(log_, "S 0 0 0 0 0 0 0 0 0 %ld\n", errors_);
    return 2;
  }
  void error(int t, const std::string& m) {
    ++errors_;
    std::string one = m;
    for (char& c : one)
      if (c == '\n') c = ' ';
    std::fprintf(log_, "E %d %s\n", t, one.c_str());
  }
  std::string letters(int n, char last) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('A' + rng_() % static_cast<unsigned>(last - 'A' + 1)));
    return s;
  }

  // ADD_REG then the fields, the new record locked all along, then FREE.
  void append(int t) {
    Table& tb = *tables_[t];
    Status st = tb.appendBlank();
    if (st.code() == ErrorCode::Locked) {
      ++refused_;  // "Acceso Denegado Registro En Uso": nothing was added
      return;
    }
    if (!st) return error(t, "alta: " + st.message());
    const uint32_t n = tb.recno();
    const int serie = ++serie_;
    const std::string grupo = letters(2, 'E');
    const std::string code = codeFor(proc_, serie, letters(2, 'Z'));
    if (!(st = tb.replace("PROC", double(proc_))) || !(st = tb.replace("SERIE", double(serie))) ||
        !(st = tb.replace("CODIGO", code)) || !(st = tb.replace("GRUPO", grupo)) ||
        !(st = tb.replace("NOMBRE", nameFor(proc_, serie)))) {
      tb.unlockAll();
      return error(t, "alta, campos: " + st.message());
    }
    tb.unlockAll();
    own_[t].push_back({n, serie, true});
    ++appends_;
    std::fprintf(log_, "A %d %u %d %d %s %s\n", t, n, proc_, serie, grupo.c_str(), code.c_str());
  }

  // LAN_REG on a record (one of ours or any), then the counter and both key fields.
  void update(int t) {
    Table& tb = *tables_[t];
    uint32_t n;
    const unsigned pick = static_cast<unsigned>(rng_() % 10);
    if (pick < 3) {
      n = 1 + static_cast<uint32_t>(rng_() % kHotRecords);  // a few records everyone changes
    } else if (!own_[t].empty() && pick < 7) {
      n = own_[t][rng_() % own_[t].size()].recno;
    } else {
      uint32_t count = tb.recordCount();
      if (count == 0) return;
      n = 1 + static_cast<uint32_t>(rng_() % count);
    }
    Status st = tb.go(n);
    if (!st) return error(t, "ir a " + std::to_string(n) + ": " + st.message());
    st = tb.lockRecord();
    if (st.code() == ErrorCode::Locked) {
      ++lockFails_;  // tried once, never waited for
      return;
    }
    if (!st) return error(t, "bloqueo: " + st.message());
    if (tb.deleted() || tb.num("SERIE") == 0) {
      tb.unlockAll();
      return;
    }
    const int cuenta = static_cast<int>(tb.num("CUENTA")) + 1;
    const std::string grupo = letters(2, 'E');
    std::string code = tb.str("CODIGO");
    if (rng_() % 2) code = code.substr(0, 8) + letters(2, 'Z');
    if (!(st = tb.replace("CUENTA", double(cuenta))) || !(st = tb.replace("GRUPO", grupo)) ||
        !(st = tb.replace("CODIGO", code))) {
      tb.unlockAll();
      return error(t, "modificacion: " + st.message());
    }
    tb.unlockAll();
    ++updates_;
    std::fprintf(log_, "U %d %u %d %s %s\n", t, n, cuenta, grupo.c_str(), code.c_str());
  }

  // Deletes one of this station's own records, under its lock.
  void remove(int t) {
    Table& tb = *tables_[t];
    if (own_[t].empty()) return;
    Own& o = own_[t][rng_() % own_[t].size()];
    if (!o.live) return;
    Status st = tb.go(o.recno);
    if (!st) return error(t, "ir a " + std::to_string(o.recno) + ": " + st.message());
    st = tb.lockRecord();
    if (st.code() == ErrorCode::Locked) {
      ++lockFails_;
      return;
    }
    if (!st) return error(t, "bloqueo: " + st.message());
    if (!(st = tb.markDeleted())) {
      tb.unlockAll();
      return error(t, "borrado: " + st.message());
    }
    tb.unlockAll();
    o.live = false;
    ++deletes_;
    std::fprintf(log_, "D %d %u\n", t, o.recno);
  }

  void seek(int t) {
    Table& tb = *tables_[t];
    ++seeks_;
    if (!own_[t].empty() && rng_() % 2 == 0) {
      // One of our live records: nobody else deletes it or changes its first 8 characters.
      const Own& o = own_[t][rng_() % own_[t].size()];
      if (!o.live) return;
      Status st = tb.setOrder(1);
      if (!st) return error(t, st.message());
      const std::string prefix = codeFor(proc_, o.serie, "");
      bool found = tb.seek(prefix);
      for (int retry = 0; !found && tb.lastError().isOk() && retry < 10; ++retry) {
        // Another station may be between taking this key out and putting it back
        // (readers do not wait for the index lock); it may also be descheduled there.
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + retry));
        found = tb.seek(prefix);
        if (found) ++transient_;
      }
      if (!tb.lastError().isOk()) return error(t, "busqueda: " + tb.lastError().message());
      if (!found) return error(t, "no se encuentra el registro propio " + prefix);
      if (tb.recno() != o.recno || tb.str("CODIGO").substr(0, 8) != prefix ||
          static_cast<int>(tb.num("SERIE")) != o.serie)
        return error(t, "la busqueda de " + prefix + " dio el registro " + std::to_string(tb.recno()));
      return;
    }
    Status st = tb.setOrder(2);
    if (!st) return error(t, st.message());
    const std::string grupo = letters(2, 'E');
    bool found = tb.seek(grupo);
    if (!tb.lastError().isOk()) return error(t, "busqueda: " + tb.lastError().message());
    if (found && tb.eof()) return error(t, "busqueda encontrada en fin de archivo");
    if (!found && !tb.eof()) return error(t, "busqueda fallida fuera de fin de archivo");
  }

  void walk(int t) {
    Table& tb = *tables_[t];
    Status st = tb.setOrder(static_cast<int>(rng_() % 3));
    if (!st) return error(t, st.message());
    const bool forward = rng_() % 2 == 0;
    st = forward ? tb.goTop() : tb.goBottom();
    if (!st) return error(t, "inicio del recorrido: " + st.message());
    const int steps = 1 + static_cast<int>(rng_() % 20);
    for (int i = 0; i < steps && !tb.eof() && !(i > 0 && tb.bof()); ++i) {
      st = tb.skip(forward ? 1 : -1);
      if (!st) return error(t, "salto: " + st.message());
      ++skips_;
    }
  }

  int proc_;
  std::mt19937_64 rng_;
  Paths paths_;
  FILE* log_;
  std::unique_ptr<Table> tables_[2];
  std::vector<Own> own_[2];
  int serie_ = 0;
  long ops_ = 0, appends_ = 0, updates_ = 0, deletes_ = 0, seeks_ = 0, skips_ = 0, lockFails_ = 0, refused_ = 0,
       transient_ = 0, errors_ = 0;
};

// ---------------------------------------------------------------------------------
// What the logs say every record must hold

struct Expect {
  bool appended = false;
  int proc = 0, serie = 0;
  std::string grupo, code;  // as appended
  std::vector<std::tuple<int, std::string, std::string>> updates;  // cuenta, grupo, code
  int deletes = 0;
};

struct Totals {
  long ops = 0, appends = 0, updates = 0, deletes = 0, seeks = 0, skips = 0, lockFails = 0, refused = 0,
       transient = 0, errors = 0;
};

TEST(SlowStress, StationsShareTwoIndexedTables) {
  ScratchDir dir;
  Paths paths;
  for (int t = 0; t < 2; ++t) {
    paths.table[t] = dir.file(t == 0 ? "mova.dbf" : "movb.dbf");
    paths.bag[t] = dir.file(t == 0 ? "mova.cdx" : "movb.cdx");
  }
  std::vector<std::map<uint32_t, Expect>> expect(2);
  std::mt19937_64 rng(20261207);
  for (int t = 0; t < 2; ++t) {
    ASSERT_TRUE(Table::create(platformFileSystem(), paths.table[t], movFields()).isOk());
    auto tb = Table::open(platformFileSystem(), paths.table[t], OpenMode::Exclusive);
    ASSERT_TRUE(tb.isOk()) << tb.status().message();
    ASSERT_TRUE((*tb)->createTag(paths.bag[t], "CODIGO", "CODIGO").isOk());
    Status st = (*tb)->createTag(paths.bag[t], "GRUPOCTA", "GRUPO+STR(CUENTA,8)");
    ASSERT_TRUE(st.isOk()) << st.message();
    for (int i = 1; i <= kInitialRecords; ++i) {
      std::string grupo = {char('A' + rng() % 5), char('A' + rng() % 5)};
      std::string code = codeFor(kParentProc, i, "AA");
      ASSERT_TRUE((*tb)->appendBlank().isOk());
      ASSERT_TRUE((*tb)->replace("CODIGO", code).isOk());
      ASSERT_TRUE((*tb)->replace("GRUPO", grupo).isOk());
      ASSERT_TRUE((*tb)->replace("PROC", double(kParentProc)).isOk());
      ASSERT_TRUE((*tb)->replace("SERIE", double(i)).isOk());
      ASSERT_TRUE((*tb)->replace("NOMBRE", nameFor(kParentProc, i)).isOk());
      Expect& e = expect[t][(*tb)->recno()];
      e.appended = true;
      e.proc = kParentProc;
      e.serie = i;
      e.grupo = grupo;
      e.code = code;
    }
  }

  // The stations start together and stop by themselves at the deadline.
  Children kids;
  std::vector<pid_t> pids;
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::seconds(kSeconds);
  for (int p = 0; p < kStations; ++p) {
    const std::string logPath = dir.file("station" + std::to_string(p) + ".log");
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      FILE* log = std::fopen(logPath.c_str(), "w");
      if (!log) _exit(3);
      int rc;
      {
        Station s(p, 1000 + static_cast<uint64_t>(p) * 7919, paths, log);
        rc = s.run(deadline);
      }
      if (std::fclose(log) != 0) rc = 4;
      _exit(rc);
    }
    kids.add(pid);
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    bool killed = false;
    int st = kids.waitOrKill(pid, std::chrono::seconds(kSeconds + 60), &killed);
    EXPECT_FALSE(killed) << "una estacion no termino a tiempo";
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "estado de la estacion " << st;
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // Read the logs.
  Totals tot;
  long logged[2] = {0, 0};
  for (int p = 0; p < kStations; ++p) {
    std::ifstream in(dir.file("station" + std::to_string(p) + ".log"));
    ASSERT_TRUE(in) << "falta el registro de la estacion " << p;
    std::string line;
    bool summary = false;
    while (std::getline(in, line)) {
      std::istringstream ls(line);
      char kind = 0;
      ls >> kind;
      if (kind == 'A') {
        int t, proc, serie;
        uint32_t n;
        std::string grupo, code;
        ls >> t >> n >> proc >> serie >> grupo >> code;
        Expect& e = expect[t][n];
        EXPECT_FALSE(e.appended) << "dos altas con el registro " << n << " de la tabla " << t;
        e.appended = true;
        e.proc = proc;
        e.serie = serie;
        e.grupo = grupo;
        e.code = code;
        ++logged[t];
      } else if (kind == 'U') {
        int t, cuenta;
        uint32_t n;
        std::string grupo, code;
        ls >> t >> n >> cuenta >> grupo >> code;
        expect[t][n].updates.emplace_back(cuenta, grupo, code);
      } else if (kind == 'D') {
        int t;
        uint32_t n;
        ls >> t >> n;
        expect[t][n].deletes++;
      } else if (kind == 'E') {
        ADD_FAILURE() << "estacion " << p << ": " << line;
      } else if (kind == 'S') {
        Totals s;
        ls >> s.ops >> s.appends >> s.updates >> s.deletes >> s.seeks >> s.skips >> s.lockFails >> s.refused >>
            s.transient >> s.errors;
        tot.ops += s.ops, tot.appends += s.appends, tot.updates += s.updates, tot.deletes += s.deletes;
        tot.seeks += s.seeks, tot.skips += s.skips, tot.lockFails += s.lockFails, tot.refused += s.refused;
        tot.transient += s.transient, tot.errors += s.errors;
        summary = true;
      }
    }
    EXPECT_TRUE(summary) << "la estacion " << p << " no dejo su resumen";
  }
  EXPECT_EQ(tot.errors, 0);
  EXPECT_EQ(tot.appends, logged[0] + logged[1]);

  // Every record against the logs.
  long updatesSeen = 0;
  for (int t = 0; t < 2; ++t) {
    SCOPED_TRACE("tabla " + paths.table[t]);
    auto tb = Table::open(platformFileSystem(), paths.table[t], OpenMode::Exclusive);
    ASSERT_TRUE(tb.isOk()) << tb.status().message();
    Table& x = **tb;
    ASSERT_EQ(x.recordCount(), static_cast<uint32_t>(kInitialRecords + logged[t]))
        << "altas perdidas o de mas";
    double sum = 0;
    long updates = 0;
    for (uint32_t n = 1; n <= x.recordCount(); ++n) {
      ASSERT_TRUE(x.go(n).isOk());
      auto it = expect[t].find(n);
      ASSERT_TRUE(it != expect[t].end() && it->second.appended) << "registro " << n << " sin alta registrada";
      Expect& e = it->second;
      EXPECT_EQ(static_cast<int>(x.num("PROC")), e.proc) << n;
      EXPECT_EQ(static_cast<int>(x.num("SERIE")), e.serie) << n;
      EXPECT_EQ(trimRight(x.str("NOMBRE")), nameFor(e.proc, e.serie)) << n;
      // The counter is raised by one under the record lock: the values written on
      // this record are exactly 1..final, each once, and the last one wins.
      std::sort(e.updates.begin(), e.updates.end());
      const int final = static_cast<int>(x.num("CUENTA"));
      ASSERT_EQ(final, static_cast<int>(e.updates.size())) << "cambios perdidos en el registro " << n;
      for (size_t i = 0; i < e.updates.size(); ++i)
        ASSERT_EQ(std::get<0>(e.updates[i]), static_cast<int>(i) + 1) << "registro " << n;
      const std::string wantGrupo = e.updates.empty() ? e.grupo : std::get<1>(e.updates.back());
      const std::string wantCode = e.updates.empty() ? e.code : std::get<2>(e.updates.back());
      EXPECT_EQ(x.str("GRUPO"), wantGrupo) << n;
      EXPECT_EQ(x.str("CODIGO"), wantCode) << n;
      EXPECT_EQ(x.deleted(), e.deletes == 1) << n;
      EXPECT_LE(e.deletes, 1) << n;
      sum += x.num("CUENTA");
      updates += static_cast<long>(e.updates.size());
    }
    EXPECT_EQ(static_cast<long>(sum), updates);
    updatesSeen += updates;
    EXPECT_EQ(expect[t].size(), static_cast<size_t>(x.recordCount())) << "cambios en registros inexistentes";
    x.close();
    EXPECT_EQ(testing::verifyProblems(paths.table[t], {paths.bag[t]}), "");
  }
  EXPECT_EQ(updatesSeen, tot.updates);

  std::cout << "[ stress  ] " << kStations << " procesos, " << elapsed << " s, " << tot.ops << " operaciones = "
            << static_cast<long>(tot.ops / elapsed) << " op/s (altas " << tot.appends << ", cambios "
            << tot.updates << ", bajas " << tot.deletes << ", busquedas " << tot.seeks << ", saltos " << tot.skips
            << ", bloqueos negados " << tot.lockFails << ", altas negadas " << tot.refused
            << ", busquedas repetidas " << tot.transient << ")\n";
}

}  // namespace
}  // namespace planilla

#endif  // !_WIN32
