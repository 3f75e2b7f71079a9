// The POSIX file system: names found without regard to case, open-file-description
// locks that conflict inside one process, and files in use that cannot be removed.
#include <gtest/gtest.h>

#include "store/io.h"
#include "store/io_faulty.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::ScratchDir;

std::unique_ptr<File> openOk(FileSystem& fs, const std::string& p, OpenOptions o = {}) {
  auto f = fs.open(p, o);
  EXPECT_TRUE(f.isOk()) << f.status().message();
  return f ? std::move(f).value() : nullptr;
}

TEST(PosixFiles, NamesMatchWithoutRegardToCase) {
  ScratchDir dir;
  FileSystem& fs = posixFileSystem();
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

TEST(PosixFiles, ReadWriteSizeTruncate) {
  ScratchDir dir;
  FileSystem& fs = posixFileSystem();
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

TEST(PosixFiles, LocksConflictBetweenTwoOpensOfOneProcess) {
  ScratchDir dir;
  FileSystem& fs = posixFileSystem();
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

TEST(PosixFiles, FileInUseCannotBeRemovedRenamedOrEmptied) {
  ScratchDir dir;
  FileSystem& fs = posixFileSystem();
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

TEST(FaultyFiles, FailsExactlyTheNthMutatingCall) {
  ScratchDir dir;
  FaultyFileSystem fs(posixFileSystem());
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
