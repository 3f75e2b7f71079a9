// A station that stops dead in the middle of a change: from the Nth mutating call on,
// nothing more reaches the files (a sticky I/O failure leaves them as a killed
// process would). Afterwards the table opens, its header matches the file, every
// change that had completed is there, and rebuilding the tags gives a clean check.
#include <set>

#include <gtest/gtest.h>

#include "store/io_faulty.h"
#include "store/table.h"
#include "store/verify.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::ScratchDir;

struct Files {
  std::string table, bag;
};

std::string code(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "%06d", i);
  return b;
}

Files makeTable(const ScratchDir& dir, int records) {
  Files f{dir.file("planilla.dbf"), dir.file("planilla.cdx")};
  FileSystem& fs = platformFileSystem();
  EXPECT_TRUE(Table::create(fs, f.table, {{"CODIGO", 'C', 6, 0}, {"MES", 'C', 2, 0}, {"NETO", 'N', 10, 2}}).isOk());
  auto t = Table::open(fs, f.table, OpenMode::Exclusive);
  EXPECT_TRUE(t.isOk());
  EXPECT_TRUE((*t)->createTag(f.bag, "CODIGO", "CODIGO").isOk());
  EXPECT_TRUE((*t)->createTag(f.bag, "MESCOD", "MES+CODIGO", "NETO > 0").isOk());
  for (int i = 0; i < records; ++i) {
    EXPECT_TRUE((*t)->appendBlank().isOk());
    EXPECT_TRUE((*t)->replace("CODIGO", code(i * 2)).isOk());
    EXPECT_TRUE((*t)->replace("MES", i % 2 ? "01" : "02").isOk());
    EXPECT_TRUE((*t)->replace("NETO", i * 10.0).isOk());
  }
  return f;
}

// Opens after the "crash", checks what must hold, rebuilds the tags and checks again.
std::set<std::string> recoverAndCheck(const Files& f) {
  std::set<std::string> codes;
  FileSystem& fs = platformFileSystem();
  std::vector<std::string> problems;
  EXPECT_TRUE(verifyTable(fs, f.table, {}, problems).isOk());
  // The table itself is always sound, but for the traces of the cut.
  problems = testing::withoutInterrupted(problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  auto t = Table::open(fs, f.table, OpenMode::Exclusive);
  EXPECT_TRUE(t.isOk()) << t.status().message();
  if (!t) return codes;
  EXPECT_TRUE((*t)->goTop().isOk());
  while (!(*t)->eof()) {
    codes.insert((*t)->str("CODIGO"));
    EXPECT_TRUE((*t)->skip().isOk());
  }
  // The index may have been caught mid-update; rebuilding its tags restores it. A pack
  // stopped after the new table went in leaves it marked: its bag is refused until then.
  Status opened = (*t)->openIndex(f.bag);
  if (!opened) {
    EXPECT_EQ(opened.code(), ErrorCode::NeedsReindex) << opened.message();
  }
  (*t)->closeIndexes();
  std::vector<TagSpec> tags = testing::tagSpecsOf(f.bag, (*t)->recordLayout());
  EXPECT_GE(tags.size(), 2u);
  for (const auto& tag : tags) EXPECT_EQ(tag.forExpr, tag.name == "MESCOD" ? "NETO > 0" : "");
  EXPECT_TRUE((*t)->rebuildBags({{f.bag, tags}}, false).isOk());
  t->reset();
  problems.clear();
  EXPECT_TRUE(verifyTable(fs, f.table, {f.bag}, problems).isOk());
  EXPECT_TRUE(problems.empty()) << problems.front();
  return codes;
}

TEST(CrashPoints, AppendAndReplaceInSharedMode) {
  for (int n = 1;; ++n) {
    SCOPED_TRACE("parada en la llamada " + std::to_string(n));
    ScratchDir dir;
    Files f = makeTable(dir, 20);
    FaultyFileSystem fs(platformFileSystem());
    bool stopped = false;
    bool appended = false, replaced = false;
    {
      auto t = Table::open(fs, f.table, OpenMode::Shared);
      ASSERT_TRUE(t.isOk());
      ASSERT_TRUE((*t)->openIndex(f.bag).isOk());
      fs.failAt(n, /*sticky=*/true);
      if ((*t)->appendBlank().isOk() && (*t)->replace("CODIGO", "NUEVO").isOk()) appended = true;
      (*t)->unlockAll();
      ASSERT_TRUE((*t)->setOrder(1).isOk());
      if ((*t)->seek(code(4)) && (*t)->replace("CODIGO", "CAMBIO").isOk()) replaced = true;
      stopped = fs.failed();
    }
    std::set<std::string> codes = recoverAndCheck(f);
    // What was reported done is there; everything from before is there.
    if (appended) {
      EXPECT_EQ(codes.count("NUEVO "), 1u);
    }
    if (replaced) {
      EXPECT_EQ(codes.count("CAMBIO"), 1u);
    }
    EXPECT_EQ(codes.count("CAMBIO") + codes.count(code(4)), 1u);
    for (int i = 0; i < 20; ++i) {
      if (i != 2) {
        EXPECT_EQ(codes.count(code(i * 2)), 1u) << code(i * 2);
      }
    }
    if (!stopped) {
      EXPECT_TRUE(appended && replaced);
      break;
    }
    ASSERT_LT(n, 100);
  }
}

TEST(CrashPoints, TagBuildAndPack) {
  for (int n = 1;; ++n) {
    SCOPED_TRACE("parada en la llamada " + std::to_string(n));
    ScratchDir dir;
    Files f = makeTable(dir, 30);
    {
      auto t = Table::open(platformFileSystem(), f.table, OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk());
      ASSERT_TRUE((*t)->openIndex(f.bag).isOk());
      for (uint32_t r = 1; r <= 30; r += 4) {
        ASSERT_TRUE((*t)->go(r).isOk());
        ASSERT_TRUE((*t)->markDeleted().isOk());
      }
    }
    FaultyFileSystem fs(platformFileSystem());
    bool stopped;
    {
      auto t = Table::open(fs, f.table, OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk());
      ASSERT_TRUE((*t)->openIndex(f.bag).isOk());
      fs.failAt(n, /*sticky=*/true);
      if ((*t)->createTag(f.bag, "NETO", "STR(NETO,10,2)").isOk()) (void)(*t)->pack();
      stopped = fs.failed();
    }
    std::set<std::string> codes = recoverAndCheck(f);
    std::set<std::string> expected;
    for (int i = 0; i < 30; ++i)
      if (i % 4 != 0) expected.insert(code(i * 2));
    EXPECT_EQ(codes, expected);
    if (!stopped) break;
    ASSERT_LT(n, 400);
  }
}

}  // namespace
}  // namespace planilla
