// The platform file system (POSIX or Win32): names found without regard to case,
// locks that conflict between two opens of one process, and files in use that
// cannot be removed.
#include <gtest/gtest.h>

#include "store/io.h"
#include "store/io_faulty.h"
#include "store/platform.h"
#include "store/tests/station_process.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::ScratchDir;

std::unique_ptr<File> openOk(FileSystem& fs, const std::string& p, OpenOptions o = {}) {
  auto f = fs.open(p, o);
  EXPECT_TRUE(f.isOk()) << f.status().message();
  return f ? std::move(f).value() : nullptr;
}

TEST(Files, NamesMatchWithoutRegardToCase) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  testing::writeAll(dir.file("pmae0101.dbf"), "hello");
  EXPECT_TRUE(fs.exists(dir.file("PMAE0101.DBF")));
  EXPECT_TRUE(fs.exists(dir.file("pmae0101.DBf")));
  EXPECT_FALSE(fs.exists(dir.file("pmae0102.dbf")));
  EXPECT_EQ(fs.resolve(dir.file("pmae0101.DBf")), dir.file("pmae0101.dbf"));
  EXPECT_EQ(fs.resolve(dir.file("nada.dbf")), dir.file("nada.dbf"));

  auto f = openOk(fs, dir.file("pmae0101.DBf"));
  ASSERT_TRUE(f);
  char buf[5];
  size_t got = 0;
  ASSERT_TRUE(f->readAt(0, buf, 5, &got).isOk());
  EXPECT_EQ(std::string(buf, got), "hello");
  EXPECT_EQ(f->path(), dir.file("pmae0101.dbf"));
  f.reset();

  // Creating under another spelling reuses the file that is there.
  OpenOptions create;
  create.create = true;
  auto g = openOk(fs, dir.file("PMAE0101.dbf"), create);
  g.reset();
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename().string(), "pmae0101.dbf");
    ++entries;
  }
  EXPECT_EQ(entries, 1);

  ASSERT_TRUE(fs.remove(dir.file("PMAE0101.DBF")).isOk());
  EXPECT_FALSE(std::filesystem::exists(dir.file("pmae0101.dbf")));
  EXPECT_EQ(fs.remove(dir.file("pmae0101.dbf")).code(), ErrorCode::NotFound);
  EXPECT_EQ(fs.open(dir.file("nada.dbf"), {}).status().code(), ErrorCode::NotFound);
}

TEST(Files, ReadWriteSizeTruncate) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  OpenOptions create;
  create.create = true;
  auto f = openOk(fs, dir.file("a.bin"), create);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->writeAt(10, "xyz", 3).isOk());
  EXPECT_EQ(f->size().value(), 13u);
  char buf[8];
  size_t got = 99;
  ASSERT_TRUE(f->readAt(11, buf, 8, &got).isOk());
  EXPECT_EQ(got, 2u);  // short at end of file
  EXPECT_EQ(std::string(buf, 2), "yz");
  ASSERT_TRUE(f->truncate(4).isOk());
  EXPECT_EQ(f->size().value(), 4u);
  EXPECT_TRUE(f->sync().isOk());
}

TEST(Files, LocksConflictBetweenTwoOpensOfOneProcess) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  testing::writeAll(dir.file("t.dbf"), "x");
  auto a = openOk(fs, dir.file("t.dbf"));
  auto b = openOk(fs, dir.file("T.DBF"));
  ASSERT_TRUE(a && b);
  const uint64_t rec5 = 0x7FFFFFFEull - 5;
  ASSERT_TRUE(a->lock(rec5, 1, LockKind::Exclusive).isOk());
  EXPECT_EQ(b->lock(rec5, 1, LockKind::Exclusive).code(), ErrorCode::Locked);
  EXPECT_EQ(b->lock(rec5, 1, LockKind::Shared).code(), ErrorCode::Locked);
  EXPECT_TRUE(b->lock(rec5 - 1, 1, LockKind::Exclusive).isOk());  // another record
  EXPECT_TRUE(a->lock(rec5, 1, LockKind::Exclusive).isOk());      // again by its holder
  ASSERT_TRUE(a->unlock(rec5, 1).isOk());
  EXPECT_TRUE(b->lock(rec5, 1, LockKind::Exclusive).isOk());
  // Closing one File releases only its own locks.
  b.reset();
  EXPECT_TRUE(a->lock(rec5, 1, LockKind::Exclusive).isOk());
}

TEST(Files, FileInUseCannotBeRemovedRenamedOrEmptied) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  testing::writeAll(dir.file("e2010316.dbf"), "data");
  testing::writeAll(dir.file("other.dbf"), "other");
  {
    auto holder = openOk(fs, dir.file("e2010316.dbf"));
    ASSERT_TRUE(holder);
    Status st = fs.remove(dir.file("E2010316.DBF"));
    EXPECT_EQ(st.code(), ErrorCode::InUse);
    EXPECT_TRUE(std::filesystem::exists(dir.file("e2010316.dbf")));
    EXPECT_EQ(fs.rename(dir.file("e2010316.dbf"), dir.file("x.dbf")).code(), ErrorCode::InUse);
    EXPECT_EQ(fs.rename(dir.file("other.dbf"), dir.file("e2010316.dbf")).code(), ErrorCode::InUse);
    OpenOptions trunc;
    trunc.create = true;
    trunc.truncate = true;
    EXPECT_EQ(fs.open(dir.file("e2010316.dbf"), trunc).status().code(), ErrorCode::InUse);
    EXPECT_EQ(testing::readAll(dir.file("e2010316.dbf")), "data");
    EXPECT_EQ(testing::readAll(dir.file("other.dbf")), "other");
    // The holder's exclusive use keeps even plain opens away.
    ASSERT_TRUE(holder->lock(kUseLockOffset, 1, LockKind::Exclusive).isOk());
    EXPECT_EQ(fs.open(dir.file("e2010316.dbf"), {}).status().code(), ErrorCode::InUse);
  }
  EXPECT_TRUE(fs.rename(dir.file("other.dbf"), dir.file("e2010316.dbf")).isOk());
  EXPECT_EQ(testing::readAll(dir.file("e2010316.dbf")), "other");
  EXPECT_TRUE(fs.remove(dir.file("e2010316.dbf")).isOk());
  EXPECT_FALSE(std::filesystem::exists(dir.file("e2010316.dbf")));
}

// Linux locks an open file description's range again (a no-op) or changes its kind;
// Windows refuses a handle the range it already holds. Both behave the same here.
TEST(Files, LockKindsChangeAndDataStaysReadableAroundLocks) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  testing::writeAll(dir.file("t.dbf"), std::string(100, 'd'));
  auto a = openOk(fs, dir.file("t.dbf"));
  auto b = openOk(fs, dir.file("t.dbf"));
  auto c = openOk(fs, dir.file("t.dbf"));
  ASSERT_TRUE(a && b && c);
  const uint64_t head = 0x7FFFFFFEull, rec1 = head - 1;
  ASSERT_TRUE(a->lock(rec1, 1, LockKind::Shared).isOk());
  ASSERT_TRUE(a->lock(rec1, 1, LockKind::Shared).isOk());  // again: still one lock
  ASSERT_TRUE(b->lock(rec1, 1, LockKind::Shared).isOk());
  EXPECT_EQ(a->lock(rec1, 1, LockKind::Exclusive).code(), ErrorCode::Locked);  // b shares it
  EXPECT_EQ(c->lock(rec1, 1, LockKind::Exclusive).code(), ErrorCode::Locked);  // a kept its share
  ASSERT_TRUE(b->unlock(rec1, 1).isOk());
  ASSERT_TRUE(a->lock(rec1, 1, LockKind::Exclusive).isOk());  // shared to exclusive
  EXPECT_EQ(c->lock(rec1, 1, LockKind::Shared).code(), ErrorCode::Locked);
  ASSERT_TRUE(a->lock(rec1, 1, LockKind::Shared).isOk());  // and back
  EXPECT_TRUE(c->lock(rec1, 1, LockKind::Shared).isOk());
  ASSERT_TRUE(c->unlock(rec1, 1).isOk());
  ASSERT_TRUE(a->unlock(rec1, 1).isOk());  // one unlock frees what two locks took
  EXPECT_TRUE(c->lock(rec1, 1, LockKind::Exclusive).isOk());
  EXPECT_TRUE(a->unlock(head - 7, 1).isOk());  // a range not held

  // Header, record and use bytes held by others leave the data readable and
  // writable (Windows locks bind reads and writes of the locked bytes only).
  ASSERT_TRUE(a->lock(head, 1, LockKind::Exclusive).isOk());
  ASSERT_TRUE(a->lock(head - 2, 1, LockKind::Exclusive).isOk());
  char buf[100];
  size_t got = 0;
  ASSERT_TRUE(b->readAt(0, buf, sizeof buf, &got).isOk());
  EXPECT_EQ(std::string(buf, got), std::string(100, 'd'));
  EXPECT_TRUE(b->writeAt(99, "e", 1).isOk());
  EXPECT_EQ(b->size().value(), 100u);
}

// A data folder and files whose names carry "Ñ": opened, found without regard to the
// case of their other letters, renamed, replaced and removed, listed back as written.
TEST(Files, NamesWithEnye) {
  ScratchDir scratch;
  FileSystem& fs = platformFileSystem();
  auto dir = platform::makeUniqueFolder(scratch.path(), "PLANILLA ÑAÑA");
  ASSERT_TRUE(dir.isOk()) << dir.status().message();
  const std::string folder = dir.value(), file = folder + "/AÑO2026.dbf";
  OpenOptions create;
  create.create = true;
  {
    auto f = openOk(fs, file, create);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->writeAt(0, "ano", 3).isOk());
  }
  EXPECT_TRUE(fs.exists(folder + "/AÑO2026.DBF"));
  EXPECT_EQ(fs.resolve(folder + "/AÑO2026.DBF"), file);
  EXPECT_EQ(platform::listFolder(folder), std::vector<std::string>{"AÑO2026.dbf"});
  ASSERT_TRUE(fs.rename(file, folder + "/MAÑANA.dbf").isOk());
  auto made = platform::NewFile::create(folder + "/NUEVO Ñ.tmp");
  ASSERT_TRUE(made.isOk()) << made.status().message();
  ASSERT_TRUE(made->write("nuevo").isOk());
  ASSERT_TRUE(made->commit().isOk());
  EXPECT_EQ(platform::NewFile::create(folder + "/NUEVO Ñ.tmp").status().code(), ErrorCode::Invalid);
  ASSERT_TRUE(platform::replaceFile(folder + "/NUEVO Ñ.tmp", folder + "/MAÑANA.dbf").isOk());
  auto f = openOk(fs, folder + "/MAÑANA.DBF");
  ASSERT_TRUE(f);
  char buf[8];
  size_t got = 0;
  ASSERT_TRUE(f->readAt(0, buf, sizeof buf, &got).isOk());
  EXPECT_EQ(std::string(buf, got), "nuevo");
  f.reset();
  ASSERT_TRUE(fs.remove(folder + "/MAÑANA.dbf").isOk());
  EXPECT_TRUE(platform::listFolder(folder).empty());
}

// A table or index rebuilt beside the old file takes its place while the caller
// still holds the old one open (Windows refuses a rename over an open file unless
// the holder lets go); the new file, open under its old name, goes on working.
TEST(Files, ReplaceOverAFileHeldOpen) {
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  testing::writeAll(dir.file("pmae.cdx"), "old");
  auto held = openOk(fs, dir.file("pmae.cdx"));
  ASSERT_TRUE(held);
  ASSERT_TRUE(held->lock(kUseLockOffset, 1, LockKind::Exclusive).isOk());
  OpenOptions fresh;
  fresh.mustCreate = true;
  auto built = openOk(fs, dir.file("pmae.tmp"), fresh);
  ASSERT_TRUE(built);
  ASSERT_TRUE(built->lock(kUseLockOffset, 1, LockKind::Exclusive).isOk());
  ASSERT_TRUE(built->writeAt(0, "new", 3).isOk());
  ASSERT_TRUE(fs.replace(dir.file("pmae.tmp"), dir.file("PMAE.CDX")).isOk());
  EXPECT_FALSE(fs.exists(dir.file("pmae.tmp")));
  ASSERT_TRUE(built->writeAt(3, "er", 2).isOk());
  EXPECT_EQ(testing::readAll(dir.file("pmae.cdx")), "newer");
  // The new file is held exclusively: the old holder's claim went with the old file.
  EXPECT_EQ(fs.open(dir.file("pmae.cdx"), {}).status().code(), ErrorCode::InUse);
  held.reset();
  built.reset();
  EXPECT_TRUE(fs.open(dir.file("pmae.cdx"), {}).isOk());
}

// Two processes: exclusive use refuses every open, remove and rename from the other;
// a record lock refuses the other's lock on that record only.
TEST(Files, LocksHoldBetweenTwoProcesses) {
  const uint64_t rec5 = 0x7FFFFFFEull - 5;
  if (auto station = testing::stationRole()) {
    const std::string path = station->dir + "/t.dbf";
    auto f = platformFileSystem().open(path, {});
    ASSERT_TRUE(f.isOk()) << f.status().message();
    ASSERT_TRUE((*f)->lock(kUseLockOffset, 1, LockKind::Exclusive).isOk());
    testing::signalDone(station->dir, "exclusive");
    ASSERT_TRUE(testing::awaitSignal(station->dir, "share"));
    ASSERT_TRUE((*f)->lock(kUseLockOffset, 1, LockKind::Shared).isOk());
    ASSERT_TRUE((*f)->lock(rec5, 1, LockKind::Exclusive).isOk());
    testing::signalDone(station->dir, "record");
    ASSERT_TRUE(testing::awaitSignal(station->dir, "end"));
    return;
  }
  ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  testing::writeAll(dir.file("t.dbf"), "registro");
  testing::StationProcess other;
  ASSERT_TRUE(other.start("holder", dir.path()));
  ASSERT_TRUE(testing::awaitSignal(dir.path(), "exclusive"));
  EXPECT_EQ(fs.open(dir.file("t.dbf"), {}).status().code(), ErrorCode::InUse);
  EXPECT_EQ(fs.remove(dir.file("t.dbf")).code(), ErrorCode::InUse);
  EXPECT_EQ(fs.rename(dir.file("t.dbf"), dir.file("u.dbf")).code(), ErrorCode::InUse);
  testing::signalDone(dir.path(), "share");
  ASSERT_TRUE(testing::awaitSignal(dir.path(), "record"));
  auto f = openOk(fs, dir.file("t.dbf"));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->lock(rec5, 1, LockKind::Exclusive).code(), ErrorCode::Locked);
  EXPECT_EQ(f->lock(rec5, 1, LockKind::Shared).code(), ErrorCode::Locked);
  EXPECT_TRUE(f->lock(rec5 + 1, 1, LockKind::Exclusive).isOk());
  EXPECT_EQ(f->lock(kUseLockOffset, 1, LockKind::Exclusive).code(), ErrorCode::Locked);
  EXPECT_EQ(testing::readAll(dir.file("t.dbf")), "registro");
  testing::signalDone(dir.path(), "end");
  EXPECT_EQ(other.wait(), 0);
  // The other process is gone, and its locks with it.
  EXPECT_TRUE(f->lock(rec5, 1, LockKind::Exclusive).isOk());
  EXPECT_TRUE(f->lock(kUseLockOffset, 1, LockKind::Exclusive).isOk());
}

TEST(FaultyFiles, FailsExactlyTheNthMutatingCall) {
  ScratchDir dir;
  FaultyFileSystem fs(platformFileSystem());
  OpenOptions create;
  create.create = true;
  auto f = openOk(fs, dir.file("f.bin"), create);
  ASSERT_TRUE(f);
  fs.failAt(3);
  EXPECT_TRUE(f->writeAt(0, "a", 1).isOk());
  char c;
  size_t got;
  EXPECT_TRUE(f->readAt(0, &c, 1, &got).isOk());  // reads are not counted
  EXPECT_TRUE(f->sync().isOk());
  Status st = f->writeAt(1, "b", 1);
  EXPECT_EQ(st.code(), ErrorCode::IoError);
  EXPECT_TRUE(fs.failed());
  EXPECT_TRUE(f->writeAt(1, "c", 1).isOk());  // one failure only
  EXPECT_EQ(testing::readAll(dir.file("f.bin")), "ac");

  fs.failAt(1, /*sticky=*/true);
  EXPECT_FALSE(f->truncate(0).isOk());
  EXPECT_FALSE(f->lock(5, 1, LockKind::Exclusive).isOk());
  EXPECT_FALSE(fs.remove(dir.file("f.bin")).isOk());
  EXPECT_EQ(fs.calls(), 3);
  fs.disarm();
  f.reset();
  EXPECT_TRUE(fs.remove(dir.file("f.bin")).isOk());
}

}  // namespace
}  // namespace planilla
