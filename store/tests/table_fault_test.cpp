// Fault injection: an I/O error at the Nth mutating call of append, replace, tag
// build and pack is reported (never a false success) and leaves files that open,
// with every change either fully there or fully absent.
#include <set>

#include <gtest/gtest.h>

#include "store/io_faulty.h"
#include "store/table.h"
#include "store/verify.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::ScratchDir;

class FaultBase : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = dir_.file("datos.dbf");
    bag_ = dir_.file("datos.cdx");
    FileSystem& fs = platformFileSystem();
    ASSERT_TRUE(Table::create(fs, table_, {{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 12, 0}, {"ACTIVO", 'L', 1, 0}}).isOk());
    auto t = Table::open(fs, table_, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->createTag(bag_, "CODIGO", "CODIGO").isOk());
    ASSERT_TRUE((*t)->createTag(bag_, "NOMBRE", "UPPER(NOMBRE)", "ACTIVO").isOk());
    for (int i = 0; i < 40; ++i) {
      ASSERT_TRUE((*t)->appendBlank().isOk());
      ASSERT_TRUE((*t)->replace("CODIGO", code(i)).isOk());
      ASSERT_TRUE((*t)->replace("NOMBRE", "N" + std::to_string(i % 7)).isOk());
      ASSERT_TRUE((*t)->replaceLogical("ACTIVO", i % 3 != 0).isOk());
    }
    for (uint32_t n : {3u, 9u, 10u, 27u}) {
      ASSERT_TRUE((*t)->go(n).isOk());
      ASSERT_TRUE((*t)->markDeleted().isOk());
    }
  }

  static std::string code(int i) {
    char b[16];
    std::snprintf(b, sizeof b, "%06d", i);
    return b;
  }

  std::unique_ptr<Table> openVia(FileSystem& fs) {
    auto t = Table::open(fs, table_, mode_);
    EXPECT_TRUE(t.isOk()) << t.status().message();
    if (!t) return nullptr;
    EXPECT_TRUE((*t)->openIndex(bag_).isOk());
    return std::move(t).value();
  }

  // The files open with the real file system and check clean (but for what a failed
  // append leaves past the count, when `afterAppend`).
  void expectSound(bool afterAppend = false) {
    std::vector<std::string> problems;
    ASSERT_TRUE(verifyTable(platformFileSystem(), table_, {bag_}, problems).isOk());
    if (afterAppend) problems = testing::withoutInterrupted(problems);
    std::string all;
    for (auto& p : problems) all += p + "\n";
    EXPECT_TRUE(problems.empty()) << all;
  }

  std::multiset<std::string> liveCodes() {
    std::multiset<std::string> r;
    auto t = Table::open(platformFileSystem(), table_, OpenMode::Shared);
    EXPECT_TRUE(t.isOk()) << t.status().message();
    if (!t) return r;
    EXPECT_TRUE((*t)->goTop().isOk());
    while (!(*t)->eof()) {
      r.insert((*t)->str("CODIGO"));
      EXPECT_TRUE((*t)->skip().isOk());
    }
    return r;
  }

  ScratchDir dir_;
  std::string table_, bag_;
  OpenMode mode_ = OpenMode::Exclusive;
};

// The record-level operations run in both modes.
class FaultTest : public FaultBase, public ::testing::WithParamInterface<OpenMode> {
 protected:
  void SetUp() override {
    mode_ = GetParam();
    FaultBase::SetUp();
  }
};

TEST_P(FaultTest, AppendFailsCleanlyAtEveryCall) {
  FaultyFileSystem fs(platformFileSystem());
  for (int n = 1;; ++n) {
    SCOPED_TRACE("falla en la llamada " + std::to_string(n));
    auto t = openVia(fs);
    ASSERT_TRUE(t);
    uint32_t before = t->recordCount();
    fs.failAt(n);
    Status st = t->appendBlank();
    bool injected = fs.failed();
    fs.disarm();
    if (!injected) {
      ASSERT_TRUE(st.isOk()) << st.message();
      EXPECT_GT(n, 3);  // the append made several mutating calls, each failed once
      break;
    }
    t.reset();
    auto check = Table::open(platformFileSystem(), table_, OpenMode::Shared);
    ASSERT_TRUE(check.isOk()) << check.status().message();
    uint32_t after = (*check)->recordCount();
    check->reset();
    // A failure is reported; the table has the record only when the call said so,
    // except when only the closing of the index update failed after the commit.
    if (st.isOk()) {
      EXPECT_EQ(after, before + 1);
    } else {
      EXPECT_TRUE(after == before || after == before + 1) << st.message();
    }
    expectSound(/*afterAppend=*/true);
    ASSERT_LT(n, 100);
  }
}

TEST_P(FaultTest, ReplaceFailsCleanlyAtEveryCall) {
  FaultyFileSystem fs(platformFileSystem());
  for (int n = 1;; ++n) {
    SCOPED_TRACE("falla en la llamada " + std::to_string(n));
    auto t = openVia(fs);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->setOrder(1).isOk());
    ASSERT_TRUE(t->seek(code(5)));
    const std::string newCode = "Z" + std::to_string(n);
    fs.failAt(n);
    Status st = t->replace("CODIGO", newCode);
    bool injected = fs.failed();
    fs.disarm();
    t.reset();
    auto codes = liveCodes();
    bool old = codes.count(code(5)) == 1, now = codes.count(testing::padRight(newCode, 6)) == 1;
    EXPECT_NE(old, now);  // all or nothing
    if (st.isOk()) {
      EXPECT_TRUE(now);
    }
    expectSound();
    if (!injected) {
      ASSERT_TRUE(st.isOk()) << st.message();
      break;
    }
    // Put the code back for the next round.
    auto fix = openVia(platformFileSystem());
    ASSERT_TRUE(fix);
    ASSERT_TRUE(fix->setOrder(1).isOk());
    if (now) {
      ASSERT_TRUE(fix->seek(newCode));
      ASSERT_TRUE(fix->replace("CODIGO", code(5)).isOk());
    }
    ASSERT_LT(n, 100);
  }
}

TEST_F(FaultBase, TagBuildFailsCleanlyAtEveryCall) {
  FaultyFileSystem fs(platformFileSystem());
  for (int n = 1;; ++n) {
    SCOPED_TRACE("falla en la llamada " + std::to_string(n));
    {
      auto t = openVia(fs);
      ASSERT_TRUE(t);
      fs.failAt(n);
      Status st = t->createTag(bag_, "MIXTO", "NOMBRE+CODIGO");
      bool injected = fs.failed();
      fs.disarm();
      if (!injected) {
        ASSERT_TRUE(st.isOk()) << st.message();
        break;
      }
      EXPECT_FALSE(st.isOk());  // never a false success
    }
    // The files still open; building again without faults restores a clean bag.
    auto again = openVia(platformFileSystem());
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->createTag(bag_, "MIXTO", "NOMBRE+CODIGO").isOk());
    again.reset();
    expectSound();
    ASSERT_LT(n, 200);
  }
  expectSound();
}

TEST_F(FaultBase, PackFailsWithoutLosingRecords) {
  const auto expected = liveCodes();
  ASSERT_EQ(expected.size(), 36u);
  FaultyFileSystem fs(platformFileSystem());
  for (int n = 1;; ++n) {
    SCOPED_TRACE("falla en la llamada " + std::to_string(n));
    // A fresh copy of the unpacked files for every round.
    ScratchDir round;
    std::string t0 = round.file("datos.dbf"), b0 = round.file("datos.cdx");
    testing::writeAll(t0, testing::readAll(table_));
    testing::writeAll(b0, testing::readAll(bag_));
    Status st;
    bool injected;
    {
      auto t = Table::open(fs, t0, OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk());
      ASSERT_TRUE((*t)->openIndex(b0).isOk());
      fs.failAt(n);
      st = (*t)->pack();
      injected = fs.failed();
      fs.disarm();
    }
    auto t = Table::open(platformFileSystem(), t0, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    std::set<std::string> seen;
    ASSERT_TRUE((*t)->goTop().isOk());
    int rows = 0;
    while (!(*t)->eof()) {
      seen.insert((*t)->str("CODIGO"));
      ++rows;
      ASSERT_TRUE((*t)->skip().isOk());
    }
    // Every live record is still there, once.
    EXPECT_EQ(seen, std::set<std::string>(expected.begin(), expected.end()));
    EXPECT_EQ(rows, 36);
    if (!injected) {
      ASSERT_TRUE(st.isOk()) << st.message();
      EXPECT_EQ(rows, 36);
      ASSERT_TRUE((*t)->openIndex(b0).isOk());
      t->reset();
      std::vector<std::string> problems;
      ASSERT_TRUE(verifyTable(platformFileSystem(), t0, {b0}, problems).isOk());
      EXPECT_TRUE(problems.empty());
      break;
    }
    EXPECT_FALSE(st.isOk());
    // Rebuilding restores a table that checks clean. Once the new table is in, its
    // bag is refused until then.
    Status opened = (*t)->openIndex(b0);
    if (!opened) {
      EXPECT_EQ(opened.code(), ErrorCode::NeedsReindex) << opened.message();
    }
    (*t)->closeIndexes();
    ASSERT_TRUE((*t)->rebuildBags({{b0, testing::tagSpecsOf(b0, (*t)->recordLayout())}}, true).isOk());
    t->reset();
    std::vector<std::string> problems;
    ASSERT_TRUE(verifyTable(platformFileSystem(), t0, {b0}, problems).isOk());
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0]);
    ASSERT_LT(n, 300);
  }
}

TEST_P(FaultTest, StickyFailureNeverReportsSuccess) {
  FaultyFileSystem fs(platformFileSystem());
  auto t = openVia(fs);
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->go(1).isOk());
  fs.failAt(1, /*sticky=*/true);
  EXPECT_FALSE(t->appendBlank().isOk());
  EXPECT_FALSE(t->replace("CODIGO", "QQQ").isOk());
  EXPECT_FALSE(t->markDeleted().isOk());
  fs.disarm();
  t.reset();
  auto codes = liveCodes();
  EXPECT_EQ(codes.count("QQQ   "), 0u);
  EXPECT_EQ(codes.size(), 36u);
}

INSTANTIATE_TEST_SUITE_P(Modes, FaultTest, ::testing::Values(OpenMode::Exclusive, OpenMode::Shared),
                         [](const auto& info) { return info.param == OpenMode::Exclusive ? "Exclusivo" : "Compartido"; });

}  // namespace
}  // namespace planilla
