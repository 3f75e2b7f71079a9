// Two stations on one data directory, in one process and in two: whole-table work
// (building tags, packing, recreating or deleting a file) is refused while the
// other station has the table open and changes nothing; what one station appends,
// changes, flushes or deletes is what the other sees on its next read.
#ifndef _WIN32  // fork(), signals and pipes: these stations run on Linux only
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/index.h"
#include "store/io.h"
#include "store/table.h"
#include "stress_util.h"

namespace planilla {
namespace {

using testing::Children;
using testing::padRight;
using testing::readAll;
using testing::ScratchDir;

const std::vector<FieldSpec>& empFields() {
  static const std::vector<FieldSpec> f = {
      {"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}, {"SUELDO", 'N', 10, 2}, {"MES", 'C', 2, 0}};
  return f;
}

std::unique_ptr<Table> openOk(const std::string& path, OpenMode mode) {
  auto t = Table::open(platformFileSystem(), path, mode);
  EXPECT_TRUE(t.isOk()) << t.status().message();
  return t ? std::move(t).value() : nullptr;
}

// The screens' way: ADD_REG, fields, FREE.
void addRow(Table& t, const std::string& code, const std::string& name, double pay = 100) {
  ASSERT_TRUE(t.appendBlank().isOk());
  ASSERT_TRUE(t.replace("CODIGO", code).isOk());
  ASSERT_TRUE(t.replace("NOMBRE", name).isOk());
  ASSERT_TRUE(t.replace("SUELDO", pay).isOk());
  ASSERT_TRUE(t.replace("MES", "01").isOk());
  t.unlockAll();
}

// Live record numbers in the current order, from the top.
std::vector<uint32_t> walk(Table& t) {
  std::vector<uint32_t> r;
  EXPECT_TRUE(t.goTop().isOk());
  while (!t.eof() && r.size() < 10000) {
    r.push_back(t.recno());
    EXPECT_TRUE(t.skip().isOk()) << t.lastError().message();
  }
  return r;
}

std::vector<uint32_t> walkBack(Table& t) {
  std::vector<uint32_t> r;
  EXPECT_TRUE(t.goBottom().isOk());
  while (!t.eof() && !t.bof() && r.size() < 10000) {
    r.push_back(t.recno());
    EXPECT_TRUE(t.skip(-1).isOk());
  }
  return r;
}

class SharedStations : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = dir_.file("pmae0101.dbf");
    bag_ = dir_.file("pmae0101.cdx");
    other_ = dir_.file("pmno0101.cdx");
    ASSERT_TRUE(Table::create(platformFileSystem(), table_, empFields()).isOk());
    auto t = openOk(table_, OpenMode::Exclusive);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->createTag(bag_, "CODIGO", "CODIGO").isOk());
    ASSERT_TRUE(t->createTag(bag_, "NOMBRE", "UPPER(NOMBRE)").isOk());
    ASSERT_TRUE(t->createIndexFile(other_, "MES+CODIGO").isOk());
    for (int i = 1; i <= 6; ++i) addRow(*t, "E0000" + std::to_string(i), "NOMBRE " + std::to_string(i), 100.0 * i);
    ASSERT_TRUE(t->go(3).isOk());
    ASSERT_TRUE(t->markDeleted().isOk());  // so that a pack would have work to do
  }

  std::unique_ptr<Table> station(OpenMode mode) {
    auto t = openOk(table_, mode);
    if (!t) return nullptr;
    EXPECT_TRUE(t->openIndex(bag_).isOk());
    EXPECT_TRUE(t->openIndex(other_).isOk());
    return t;
  }

  struct Snapshot {
    std::string dbf, cdx, other;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot snapshot() const { return {readAll(table_), readAll(bag_), readAll(other_)}; }

  // Every kind of exclusive work, tried by a station while someone else holds the
  // table open: each one is refused as "in use" and leaves every file as it was.
  void expectExclusiveWorkRefused() {
    FileSystem& fs = platformFileSystem();
    const Snapshot before = snapshot();
    ASSERT_FALSE(before.dbf.empty());

    auto x = Table::open(fs, table_, OpenMode::Exclusive);  // to build tags or pack
    ASSERT_FALSE(x.isOk());
    EXPECT_EQ(x.status().code(), ErrorCode::InUse);
    EXPECT_NE(x.status().message().find("en uso"), std::string::npos) << x.status().message();

    // Recreating a calculated file over the open one, or deleting it first.
    EXPECT_EQ(Table::create(fs, table_, empFields()).code(), ErrorCode::InUse);
    EXPECT_EQ(fs.remove(table_).code(), ErrorCode::InUse);
    EXPECT_EQ(fs.remove(bag_).code(), ErrorCode::InUse);
    EXPECT_EQ(fs.remove(dir_.file("PMNO0101.CDX")).code(), ErrorCode::InUse);  // any spelling
    // Replacing it by a renamed copy, or renaming it away.
    const std::string spare = dir_.file("copia.dbf");
    if (!fs.exists(spare)) {
      ASSERT_TRUE(Table::create(fs, spare, empFields()).isOk());
    }
    EXPECT_EQ(fs.rename(spare, table_).code(), ErrorCode::InUse);
    EXPECT_EQ(fs.rename(table_, dir_.file("otro.dbf")).code(), ErrorCode::InUse);
    EXPECT_FALSE(fs.exists(dir_.file("otro.dbf")));
    // Making its index files anew from another table.
    {
      auto w = Table::open(fs, spare, OpenMode::Exclusive);
      ASSERT_TRUE(w.isOk()) << w.status().message();
      EXPECT_EQ((*w)->copyStructure(table_).code(), ErrorCode::InUse);
      EXPECT_EQ((*w)->createIndexFile(other_, "CODIGO").code(), ErrorCode::InUse);
    }
    auto b = IndexBag::create(fs, bag_, RecordLayout{});
    EXPECT_EQ(b.status().code(), ErrorCode::InUse);

    EXPECT_TRUE(snapshot() == before) << "un intento rechazado cambio los archivos";
    EXPECT_TRUE(fs.exists(table_) && fs.exists(bag_) && fs.exists(other_));
  }

  ScratchDir dir_;
  std::string table_, bag_, other_;
};

TEST_F(SharedStations, ExclusiveWorkIsRefusedWhileAnotherStationHasTheTable) {
  {
    auto a = station(OpenMode::Shared);
    ASSERT_TRUE(a);
    ASSERT_TRUE(a->setOrder(1).isOk());
    ASSERT_TRUE(a->seek("E00004"));
    expectExclusiveWorkRefused();
    // A shared station may not do the exclusive work itself either.
    const Snapshot before = snapshot();
    EXPECT_FALSE(a->pack().isOk());
    EXPECT_FALSE(a->createTag(bag_, "SUELDO", "STR(SUELDO,10,2)").isOk());
    EXPECT_FALSE(a->createIndexFile(other_, "CODIGO").isOk());
    EXPECT_TRUE(snapshot() == before);
    // The station that has it goes on working undisturbed.
    EXPECT_EQ(a->recordCount(), 6u);
    EXPECT_EQ(walk(*a), (std::vector<uint32_t>{1, 2, 4, 5, 6}));
    addRow(*a, "E00007", "NUEVO");
    EXPECT_TRUE(a->seek("E00007"));
  }
  {
    // The same while the table is held exclusively: even a shared open is refused.
    auto a = station(OpenMode::Exclusive);
    ASSERT_TRUE(a);
    const Snapshot before = snapshot();
    EXPECT_EQ(Table::open(platformFileSystem(), table_, OpenMode::Shared).status().code(), ErrorCode::InUse);
    EXPECT_EQ(Table::openReadOnly(platformFileSystem(), table_).status().code(), ErrorCode::InUse);
    expectExclusiveWorkRefused();
    EXPECT_TRUE(snapshot() == before);
  }
  // Once nobody has it, the same work goes through.
  auto x = station(OpenMode::Exclusive);
  ASSERT_TRUE(x);
  ASSERT_TRUE(x->pack().isOk());
  EXPECT_EQ(x->recordCount(), 6u);
  ASSERT_TRUE(x->createTag(bag_, "SUELDO", "STR(SUELDO,10,2)").isOk());
  x->close();
  EXPECT_EQ(testing::verifyProblems(table_, {bag_, other_}), "");
  EXPECT_TRUE(Table::create(platformFileSystem(), table_, empFields()).isOk());
  EXPECT_TRUE(platformFileSystem().remove(bag_).isOk());
  EXPECT_FALSE(platformFileSystem().exists(bag_));
}

// A table held exclusively may build tags only into bags nobody else has open: a
// tag written into a bag that another station is reading and maintaining would
// change its pages under it, without the index lock.
TEST_F(SharedStations, TagIntoABagAnotherStationHasOpenIsRefused) {
  auto a = station(OpenMode::Shared);
  ASSERT_TRUE(a);
  const std::string spare = dir_.file("trabajo.dbf");
  ASSERT_TRUE(Table::create(platformFileSystem(), spare, empFields()).isOk());
  auto w = openOk(spare, OpenMode::Exclusive);
  ASSERT_TRUE(w);
  const Snapshot before = snapshot();
  EXPECT_EQ(w->createTag(other_, "OTRA", "CODIGO").code(), ErrorCode::InUse);
  EXPECT_EQ(w->openIndex(bag_).code(), ErrorCode::InUse);
  EXPECT_TRUE(snapshot() == before) << "el indice en uso fue modificado";
}

// The same refusals when the other station is another process.
TEST_F(SharedStations, ExclusiveWorkIsRefusedWhileAnotherProcessHasTheTable) {
  for (OpenMode held : {OpenMode::Shared, OpenMode::Exclusive}) {
    SCOPED_TRACE(held == OpenMode::Shared ? "compartida" : "exclusiva");
    int toChild[2], toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    Children kids;
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto t = Table::open(platformFileSystem(), table_, held);
      bool ok = t.isOk() && (*t)->openIndex(bag_).isOk() && (*t)->openIndex(other_).isOk();
      char c = ok ? 'o' : 'e';
      if (::write(toParent[1], &c, 1) != 1) _exit(2);
      if (::read(toChild[0], &c, 1) != 1) _exit(3);
      _exit(0);
    }
    kids.add(pid);
    std::string got = testing::readSome(toParent[0], 1, 10000);
    ASSERT_EQ(got, "o");
    expectExclusiveWorkRefused();
    if (held == OpenMode::Exclusive) {
      EXPECT_EQ(Table::open(platformFileSystem(), table_, OpenMode::Shared).status().code(), ErrorCode::InUse);
    }
    char c = 'x';
    ASSERT_EQ(::write(toChild[1], &c, 1), 1);
    int st = kids.wait(pid);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);
  }
  // The other process is gone, and with it its claim on the files.
  auto x = station(OpenMode::Exclusive);
  ASSERT_TRUE(x);
  EXPECT_TRUE(x->pack().isOk());
}

TEST_F(SharedStations, ChangesShowOnTheOtherStationAtItsNextRead) {
  auto a = station(OpenMode::Shared);
  auto b = station(OpenMode::Shared);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(b->setOrder(1).isOk());  // CODIGO
  // b reads the whole index now, so that it holds its pages.
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{1, 2, 4, 5, 6}));

  // An append on a, flushed: on disk for any reader, and b finds it.
  addRow(*a, "E00010", "DIEZ", 1234.5);
  ASSERT_TRUE(a->flush().isOk());
  const std::string bytes = readAll(table_);
  const testing::RawHeader h = testing::rawHeader(bytes);
  ASSERT_TRUE(h.ok);
  EXPECT_EQ(h.count, 7u);
  ASSERT_GE(bytes.size(), h.dataEnd());
  const std::string onDisk = bytes.substr(h.headerLength + 6 * h.recordLength, h.recordLength);
  EXPECT_EQ(onDisk, " E00010" + padRight("DIEZ", 20) + "   1234.50" + "01");
  EXPECT_EQ(b->recordCount(), 7u);
  ASSERT_TRUE(b->seek("E00010"));
  EXPECT_EQ(b->recno(), 7u);
  EXPECT_DOUBLE_EQ(b->num("SUELDO"), 1234.5);

  // b stays on record 7 while a changes it: b's next read shows the change.
  ASSERT_TRUE(a->go(7).isOk());
  ASSERT_TRUE(a->lockRecord().isOk());
  ASSERT_TRUE(a->replace("NOMBRE", "CAMBIADO").isOk());
  ASSERT_TRUE(a->replace("CODIGO", "A00001").isOk());  // a key field: moves in the order
  a->unlockAll();
  ASSERT_TRUE(a->flush().isOk());
  EXPECT_EQ(b->str("NOMBRE"), padRight("CAMBIADO", 20));
  EXPECT_FALSE(b->seek("E00010"));
  EXPECT_TRUE(b->eof());
  ASSERT_TRUE(b->seek("A00001"));
  EXPECT_EQ(b->recno(), 7u);
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{7, 1, 2, 4, 5, 6}));
  ASSERT_TRUE(b->setOrder(2).isOk());  // UPPER(NOMBRE)
  ASSERT_TRUE(b->seek("CAMBIADO"));
  EXPECT_EQ(b->recno(), 7u);

  // A record deleted on a disappears from b's seeks and skips in every order.
  ASSERT_TRUE(b->setOrder(1).isOk());
  ASSERT_TRUE(b->seek("E00004"));
  ASSERT_TRUE(a->go(4).isOk());
  ASSERT_TRUE(a->lockRecord().isOk());
  ASSERT_TRUE(a->markDeleted().isOk());
  a->unlockAll();
  EXPECT_TRUE(b->deleted());  // b's current record, read again
  EXPECT_FALSE(b->seek("E00004"));
  EXPECT_TRUE(b->eof());
  for (int order : {0, 1, 2, 3}) {
    SCOPED_TRACE("orden " + std::to_string(order));
    ASSERT_TRUE(b->setOrder(order).isOk());
    auto forward = walk(*b);
    EXPECT_EQ(std::count(forward.begin(), forward.end(), 4u), 0);
    EXPECT_EQ(forward.size(), 5u);
    auto back = walkBack(*b);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, forward);
  }
  // The first and last records of an order deleted on a: top and bottom on b pass over them.
  ASSERT_TRUE(b->setOrder(1).isOk());
  ASSERT_TRUE(a->go(7).isOk());
  ASSERT_TRUE(a->markDeleted().isOk());  // takes and lets go of the lock by itself
  ASSERT_TRUE(a->go(6).isOk());
  ASSERT_TRUE(a->markDeleted().isOk());
  ASSERT_TRUE(b->goTop().isOk());
  EXPECT_EQ(b->recno(), 1u);
  ASSERT_TRUE(b->goBottom().isOk());
  EXPECT_EQ(b->recno(), 5u);
  // Recalled on a, it comes back on b.
  ASSERT_TRUE(a->recall().isOk());
  EXPECT_TRUE(b->seek("E00006"));
  a.reset();
  b.reset();
  EXPECT_EQ(testing::verifyProblems(table_, {bag_, other_}), "");
}

// The other station is another process that keeps the table open all along, with
// its index pages read: it sees each change as soon as it is made.
TEST_F(SharedStations, AnotherProcessSeesAppendsChangesAndDeletions) {
  int toChild[2], toParent[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(toParent), 0);
  Children kids;
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The writer: one step per command from the parent, answering 'k' or 'e'.
    auto t = Table::open(platformFileSystem(), table_, OpenMode::Shared);
    if (!t || !(*t)->openIndex(bag_) || !(*t)->openIndex(other_)) _exit(2);
    Table& w = **t;
    char c;
    while (::read(toChild[0], &c, 1) == 1) {
      bool ok = true;
      if (c == 'a') {
        ok = w.appendBlank().isOk() && w.replace("CODIGO", "P00001").isOk() && w.replace("NOMBRE", "OTRO PROCESO").isOk() &&
             w.replace("MES", "02").isOk();
        w.unlockAll();
        ok = ok && w.flush().isOk();
      } else if (c == 'c') {
        ok = w.go(2).isOk() && w.lockRecord().isOk() && w.replace("CODIGO", "Z00002").isOk() &&
             w.replace("NOMBRE", "ZETA").isOk();
        w.unlockAll();
        ok = ok && w.flush().isOk();
      } else if (c == 'd') {
        ok = w.go(5).isOk() && w.lockRecord().isOk() && w.markDeleted().isOk();
        w.unlockAll();
      } else if (c == 'l') {
        ok = w.go(1).isOk() && w.lockRecord().isOk();  // held until the next command
      } else if (c == 'u') {
        w.unlockAll();
      } else if (c == 'q') {
        break;
      }
      char r = ok ? 'k' : 'e';
      if (::write(toParent[1], &r, 1) != 1) _exit(3);
    }
    _exit(0);
  }
  kids.add(pid);
  ::close(toChild[0]);
  ::close(toParent[1]);
  auto ask = [&](char c) {
    if (::write(toChild[1], &c, 1) != 1) return std::string("?");
    return testing::readSome(toParent[0], 1, 10000);
  };
  auto b = station(OpenMode::Shared);
  ASSERT_TRUE(b);
  ASSERT_TRUE(b->setOrder(1).isOk());
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{1, 2, 4, 5, 6}));

  ASSERT_EQ(ask('a'), "k");
  ASSERT_TRUE(b->seek("P00001"));
  EXPECT_EQ(b->recno(), 7u);
  ASSERT_TRUE(b->setOrder(3).isOk());  // MES+CODIGO, in the other bag
  ASSERT_TRUE(b->seek("02P00001"));
  ASSERT_TRUE(b->setOrder(1).isOk());
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{1, 2, 4, 5, 6, 7}));

  ASSERT_TRUE(b->seek("E00002"));
  ASSERT_EQ(ask('c'), "k");
  EXPECT_EQ(b->str("NOMBRE"), padRight("ZETA", 20));
  EXPECT_FALSE(b->seek("E00002"));
  ASSERT_TRUE(b->seek("Z00002"));
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{1, 4, 5, 6, 7, 2}));

  ASSERT_EQ(ask('d'), "k");
  EXPECT_FALSE(b->seek("E00005"));
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{1, 4, 6, 7, 2}));
  ASSERT_TRUE(b->setOrder(2).isOk());
  EXPECT_EQ(walk(*b).size(), 5u);

  // A record the other process holds locked cannot be changed here; nothing is written.
  ASSERT_EQ(ask('l'), "k");
  ASSERT_TRUE(b->go(1).isOk());
  const std::string before = readAll(table_);
  EXPECT_EQ(b->lockRecord().code(), ErrorCode::Locked);
  EXPECT_EQ(b->replace("NOMBRE", "NO DEBE").code(), ErrorCode::Locked);
  EXPECT_EQ(readAll(table_), before);
  ASSERT_EQ(ask('u'), "k");
  EXPECT_TRUE(b->lockRecord().isOk());
  b->unlockAll();

  ASSERT_EQ(ask('q'), "");
  int st = kids.wait(pid);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  ::close(toChild[1]);
  ::close(toParent[0]);
  b.reset();
  EXPECT_EQ(testing::verifyProblems(table_, {bag_, other_}), "");
}

}  // namespace
}  // namespace planilla

#endif  // !_WIN32
