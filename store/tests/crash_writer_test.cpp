// A writer process killed with SIGKILL at random moments, again and again, while it
// appends, changes key fields and builds tags. The writer reports each operation
// through a pipe only after the call returned success; after every kill the parent
// checks that the table opens, that every reported append is there with its data,
// that the header's record count agrees with the file, and that an index caught in
// the middle of an update is reported by the consistency check and comes back clean
// after the tags are rebuilt.
#ifndef _WIN32  // fork(), signals and pipes: these stations run on Linux only
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "store/io.h"
#include "store/table.h"
#include "stress_util.h"

namespace planilla {
namespace {

using testing::Children;
using testing::ScratchDir;

constexpr int kIterations = 200;
constexpr int kSeriesPerIteration = 20000;  // serial numbers of iteration i start at i * this

const std::vector<FieldSpec>& crashFields() {
  static const std::vector<FieldSpec> f = {{"SERIE", 'N', 8, 0}, {"CODIGO", 'C', 10, 0}, {"NOMBRE", 'C', 24, 0},
                                           {"GRUPO", 'C', 2, 0}, {"CUENTA", 'N', 6, 0}};
  return f;
}

// A record's whole content follows from its serial number and how often it was changed.
std::string codeOf(int serie, int version) {
  char b[16];
  std::snprintf(b, sizeof b, "%07d%03d", serie, version);
  return b;
}
std::string nameOf(int serie) { return testing::padRight("TRABAJADOR " + std::to_string(serie), 24); }
std::string groupOf(int serie) { return {char('A' + serie % 7), char('A' + serie % 3)}; }

struct Rec {
  int serie = 0;
  int version = 0;
  bool deleted = false;
};

// The writer: works until killed. Each line goes into the pipe after the call it
// describes returned success, in one write (shorter than PIPE_BUF, so whole).
[[noreturn]] void writer(const std::string& table, const std::string& bag, int fd, bool buildTags,
                         std::vector<Rec> model, int iteration, uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto say = [&](const std::string& s) {
    if (::write(fd, s.data(), s.size()) != static_cast<ssize_t>(s.size())) _exit(5);
  };
  auto die = [&](const std::string& what, const Status& st) {
    say("E " + what + ": " + st.message() + "\n");
    _exit(1);
  };
  auto t = Table::open(platformFileSystem(), table, buildTags ? OpenMode::Exclusive : OpenMode::Shared);
  if (!t) die("apertura", t.status());
  Table& tb = **t;
  Status st = tb.openIndex(bag);
  if (!st) die("indice", st);
  say("R\n");
  int serie = iteration * kSeriesPerIteration;
  int builds = 0;
  while (true) {
    const int r = static_cast<int>(rng() % 100);
    if (buildTags && r < 30) {
      // Rebuild one of the tags over all records, as the reindex utilities do.
      st = (builds++ % 2 == 0) ? tb.createTag(bag, "CODIGO", "CODIGO")
                               : tb.createTag(bag, "GRUPCTA", "GRUPO+STR(CUENTA,6)");
      if (!st) die("creacion de etiqueta", st);
      say("T\n");
    } else if (r < 60) {
      ++serie;
      if (rng() % 3 == 0) {
        // A record built in memory, written whole.
        char num[16];
        std::snprintf(num, sizeof num, "%8d", serie);
        const std::string raw = num + codeOf(serie, 0) + nameOf(serie) + groupOf(serie) + "     0";
        if (!(st = tb.appendRaw(raw))) die("alta directa", st);
      } else {
        if (!(st = tb.appendBlank())) die("alta", st);
        if (!(st = tb.replace("SERIE", double(serie))) || !(st = tb.replace("CODIGO", codeOf(serie, 0))) ||
            !(st = tb.replace("NOMBRE", nameOf(serie))) || !(st = tb.replace("GRUPO", groupOf(serie))) ||
            !(st = tb.replace("CUENTA", 0.0)))
          die("campos del alta", st);
      }
      tb.unlockAll();
      const uint32_t n = tb.recno();
      if (model.size() <= n) model.resize(n + 1);
      model[n] = {serie, 0, false};
      say("A " + std::to_string(n) + " " + std::to_string(serie) + "\n");
    } else {
      // Both key fields of a live record changed in one write, under the record lock.
      if (model.size() < 2) continue;
      const uint32_t n = 1 + static_cast<uint32_t>(rng() % (model.size() - 1));
      Rec& m = model[n];
      if (m.serie == 0 || m.deleted || m.version >= 999) continue;
      if (!(st = tb.go(n))) die("ir al registro", st);
      if (!(st = tb.lockRecord())) die("bloqueo", st);
      std::string raw = tb.rawRecord();
      const int v = m.version + 1;
      const std::string code = codeOf(m.serie, v);
      char cnt[16];
      std::snprintf(cnt, sizeof cnt, "%6d", v);
      raw.replace(8, 10, code);
      raw.replace(8 + 10 + 24 + 2, 6, cnt);
      if (!(st = tb.replaceRaw(raw))) die("modificacion", st);
      tb.unlockAll();
      m.version = v;
      say("U " + std::to_string(n) + " " + std::to_string(v) + "\n");
    }
    if (rng() % 50 == 0 && !(st = tb.flush())) die("grabacion", st);
  }
}

// Builds the bag anew with both tags over all records, exclusively, as a reindex does
// (a record an append cut short left past the count is dropped).
Status rebuildTags(const std::string& table, const std::string& bag) {
  auto t = Table::open(platformFileSystem(), table, OpenMode::Exclusive);
  if (!t) return t.status();
  return (*t)->rebuildBags({{bag, {{"CODIGO", "CODIGO"}, {"GRUPCTA", "GRUPO+STR(CUENTA,6)"}}}}, false);
}

TEST(SlowCrash, WriterKilledAtRandomMoments) {
  ScratchDir dir;
  const std::string table = dir.file("crash.dbf"), bag = dir.file("crash.cdx");
  ASSERT_TRUE(Table::create(platformFileSystem(), table, crashFields()).isOk());
  ASSERT_TRUE(rebuildTags(table, bag).isOk());

  std::vector<Rec> model(1);  // by record number; [0] unused
  std::mt19937_64 rng(7);
  Children kids;
  int killedInBuild = 0, caught = 0, tails = 0, cutTails = 0, inFlightUpdates = 0, tornUpdates = 0, unreported = 0,
      reportedAppends = 0, reportedUpdates = 0, builds = 0;
  std::map<std::string, std::pair<int, std::string>> kinds;  // kinds of problems reported: count, an example

  for (int it = 1; it <= kIterations; ++it) {
    SCOPED_TRACE("iteracion " + std::to_string(it));
    const bool buildTags = it % 5 == 0;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const uint64_t seed = rng();
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(fds[0]);
      writer(table, bag, fds[1], buildTags, model, it, seed);
    }
    kids.add(pid);
    ::close(fds[1]);
    std::string got = testing::readSome(fds[0], 2, 10000);
    ASSERT_EQ(got.substr(0, 2), "R\n") << got;
    // On a loaded machine one tag build can outlast every moment drawn below: until a
    // build has been seen, a building writer is let finish one first.
    if (buildTags && builds == 0) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (got.find("\nT\n") == std::string::npos && std::chrono::steady_clock::now() < until)
        got += testing::readSome(fds[0], 1, 1000);
      ASSERT_NE(got.find("\nT\n"), std::string::npos) << "el escritor no termino ninguna etiqueta";
    }
    // A random moment: from at once to a few tag builds later.
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % (buildTags ? 40000 : 15000)));
    ::kill(pid, SIGKILL);
    int status = kids.wait(pid);
    got += testing::readToEnd(fds[0]);
    ::close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "el escritor termino solo: " << got;
    if (buildTags) ++killedInBuild;

    // What the writer reported as done.
    std::vector<uint32_t> touched;
    std::istringstream lines(got.substr(2));
    std::string line;
    while (std::getline(lines, line)) {
      std::istringstream ls(line);
      char kind = 0;
      ls >> kind;
      if (kind == 'A') {
        uint32_t n;
        int serie;
        ls >> n >> serie;
        ASSERT_EQ(n, model.size()) << "alta informada fuera de lugar";
        model.push_back({serie, 0, false});
        touched.push_back(n);
        ++reportedAppends;
      } else if (kind == 'U') {
        uint32_t n;
        int v;
        ls >> n >> v;
        ASSERT_LT(n, model.size());
        model[n].version = v;
        touched.push_back(n);
        ++reportedUpdates;
      } else if (kind == 'T') {
        ++builds;
      } else {
        FAIL() << "linea inesperada del escritor: " << line;
      }
    }

    // The header agrees with the file: never short. Past the count lies at most the
    // record that was being appended, written with its end mark in one write. A kill
    // can cut that write short: Linux copies a write into the file page by page and
    // gives up between two pages when the process is being killed, so a part of the
    // record (all of it but the end mark, when a page ends there) is left, ending on
    // a page boundary. Nothing reads past the count; the check reports it and the
    // rebuild below cuts it off.
    const std::string bytes = testing::readAll(table);
    const testing::RawHeader h = testing::rawHeader(bytes);
    ASSERT_TRUE(h.ok);
    ASSERT_GE(bytes.size(), h.dataEnd()) << "el encabezado indica mas registros que el archivo";
    const uint64_t extra = bytes.size() - h.dataEnd();
    if (extra > 1) {
      ASSERT_LE(extra, uint64_t(h.recordLength) + 1) << "cola del archivo de " << extra << " bytes";
      ASSERT_EQ(bytes[h.dataEnd()], ' ') << "la cola no empieza como un registro";
      if (extra == uint64_t(h.recordLength) + 1) {
        ASSERT_EQ(bytes.back(), '\x1A');
      } else {
        ASSERT_EQ(bytes.size() % static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)), 0u)
            << "cola del archivo de " << extra << " bytes que no termina en un limite de pagina";
        ++cutTails;
      }
      ++tails;
    }
    ASSERT_GE(h.count + 1, model.size()) << "altas informadas que no estan";
    ASSERT_LE(h.count, model.size()) << "mas de un alta sin informar";

    // The table opens, shared and exclusively; every reported record holds its data.
    {
      auto s = Table::open(platformFileSystem(), table, OpenMode::Shared);
      ASSERT_TRUE(s.isOk()) << s.status().message();
    }
    auto t = Table::open(platformFileSystem(), table, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    Table& x = **t;
    ASSERT_EQ(x.recordCount(), h.count);
    for (uint32_t n = 1; n < model.size(); ++n) {
      Rec& m = model[n];
      ASSERT_TRUE(x.go(n).isOk());
      if (m.serie == 0) continue;  // an append that was cut short, deleted afterwards
      ASSERT_EQ(static_cast<int>(x.num("SERIE")), m.serie) << "registro " << n;
      ASSERT_EQ(x.str("NOMBRE"), nameOf(m.serie)) << n;
      ASSERT_EQ(x.str("GRUPO"), groupOf(m.serie)) << n;
      ASSERT_EQ(x.deleted(), m.deleted) << n;
      const int v = static_cast<int>(x.num("CUENTA"));
      if (v == m.version + 1) {
        // The change under way when the writer died reached the file before its report.
        ++inFlightUpdates;
        m.version = v;
      } else if (v == m.version && x.str("CODIGO") != codeOf(m.serie, m.version)) {
        // The change under way, cut like an append (above) where the record crosses a
        // page boundary: the new bytes up to the boundary, the old ones after it. The
        // operator makes the change again; the index, which holds the new keys, is
        // checked below.
        const uint64_t flag = h.headerLength + uint64_t(n - 1) * h.recordLength;
        const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
        const uint64_t boundary = (flag / page + 1) * page;
        ASSERT_LT(boundary, flag + h.recordLength) << "registro " << n << " a medio cambiar dentro de una pagina";
        std::string before = x.rawRecord(), after = before;
        char cnt[16];
        std::snprintf(cnt, sizeof cnt, "%6d", v + 1);
        before.replace(8, 10, codeOf(m.serie, v));
        after.replace(8, 10, codeOf(m.serie, v + 1));
        after.replace(8 + 10 + 24 + 2, 6, cnt);
        const size_t k = static_cast<size_t>(boundary - flag - 1);  // field bytes before the boundary
        ASSERT_EQ(x.rawRecord(), after.substr(0, k) + before.substr(k)) << "registro " << n;
        ASSERT_TRUE(x.replaceRaw(after).isOk());
        ++tornUpdates;
        m.version = v + 1;
      }
      ASSERT_EQ(static_cast<int>(x.num("CUENTA")), m.version) << "registro " << n;
      ASSERT_EQ(x.str("CODIGO"), codeOf(m.serie, m.version)) << n;
    }
    x.close();

    // The consistency check speaks up about an index caught mid-update, and a
    // rebuild of the tags brings it back.
    std::string problems = testing::verifyProblems(table, {bag});
    if (!problems.empty()) {
      ++caught;
      auto& k = kinds[problems.substr(0, problems.find(':', problems.find(':') + 1))];
      if (k.first++ == 0) k.second = problems.substr(0, problems.find('\n'));
      Status st = rebuildTags(table, bag);
      ASSERT_TRUE(st.isOk()) << st.message();
      ASSERT_EQ(testing::verifyProblems(table, {bag}), "");
    }

    // A clean check must mean a usable index: every record changed in this round,
    // and some others, are found by their keys.
    {
      auto r = Table::open(platformFileSystem(), table, OpenMode::Exclusive);
      ASSERT_TRUE(r.isOk()) << r.status().message();
      Table& y = **r;
      ASSERT_TRUE(y.openIndex(bag).isOk());
      ASSERT_EQ(y.tagCount(), 2) << y.tagName(1) << " " << y.tagName(2) << " " << y.tagName(3);
      // Rebuilding one tag moves it last, so the tags are found by name.
      const int byCode = y.tagName(1) == "CODIGO" ? 1 : 2, byGroup = 3 - byCode;
      ASSERT_EQ(y.tagName(byCode), "CODIGO");
      ASSERT_EQ(y.tagName(byGroup), "GRUPCTA");
      for (int k = 0; k < 20 && model.size() > 1; ++k) touched.push_back(1 + rng() % (model.size() - 1));
      for (uint32_t n : touched) {
        const Rec& m = model[n];
        if (m.serie == 0 || m.deleted) continue;
        ASSERT_TRUE(y.setOrder(byCode).isOk());
        ASSERT_TRUE(y.seek(codeOf(m.serie, m.version))) << "registro " << n << " no esta en CODIGO";
        ASSERT_EQ(y.recno(), n);
        char key[16];
        std::snprintf(key, sizeof key, "%s%6d", groupOf(m.serie).c_str(), m.version);
        ASSERT_TRUE(y.setOrder(byGroup).isOk());
        ASSERT_TRUE(y.seek(key)) << "registro " << n << " no esta en GRUPCTA";
      }
      // A record appended but not reported (cut short or not) is withdrawn, the way
      // an operator deletes a half-entered row.
      if (y.recordCount() == model.size()) {
        ASSERT_TRUE(y.go(static_cast<uint32_t>(model.size())).isOk());
        if (!y.deleted()) {
          ASSERT_TRUE(y.markDeleted().isOk());
        }
        model.push_back({0, 0, true});
        ++unreported;
      }
      // Now and then, delete a reported record too, so the writer meets deleted ones.
      if (model.size() > 2 && rng() % 2 == 0) {
        uint32_t n = 1 + static_cast<uint32_t>(rng() % (model.size() - 1));
        if (model[n].serie != 0 && !model[n].deleted) {
          ASSERT_TRUE(y.go(n).isOk());
          ASSERT_TRUE(y.markDeleted().isOk());
          model[n].deleted = true;
        }
      }
    }
    ASSERT_EQ(testing::verifyProblems(table, {bag}), "");
  }

  EXPECT_GT(reportedAppends, 0);
  EXPECT_GT(reportedUpdates, 0);
  EXPECT_GT(builds, 0);
  std::cout << "[ crash   ] " << kIterations << " muertes (" << killedInBuild << " durante creacion de etiquetas), "
            << reportedAppends << " altas y " << reportedUpdates << " cambios informados, " << builds
            << " etiquetas creadas; indice sorprendido a medio cambio " << caught << " veces; registro sin confirmar al final del archivo "
            << tails << " veces (" << cutTails << " cortado); altas sin informar " << unreported << ", cambios en curso " << inFlightUpdates << " (" << tornUpdates << " cortados)\n";
  for (const auto& [k, v] : kinds) std::cout << "[ crash   ]   " << v.first << " x " << v.second << "\n";
}

}  // namespace
}  // namespace planilla

#endif  // !_WIN32
