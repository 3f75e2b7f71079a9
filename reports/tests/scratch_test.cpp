#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "session/install.h"
#include "session/tests/session_test_util.h"
#include "reports/scratch.h"
#include "store/catalog.h"

using namespace planilla;
using namespace planilla::reports;
using planilla::testing::TempDir;

namespace {

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installBase(fs(), dir_.path()).isOk());
    src_ = catalog::define(catalog::TableId::PayrollSoles, period_);
    ASSERT_TRUE(catalog::recreateCalcFile(fs(), dir_.path(), src_).isOk());
    source_ = dir_.path() + "/" + src_.dbf();
  }
  FileSystem& fs() { return platformFileSystem(); }

  void addRows(std::initializer_list<std::pair<const char*, const char*>> rows, bool deleteFirst = false) {
    auto t = catalog::openTable(fs(), dir_.path(), src_, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    bool first = true;
    for (auto [code, cc] : rows) {
      ASSERT_TRUE(t.value()->appendBlank().isOk());
      ASSERT_TRUE(t.value()->replace("CODIGO", code).isOk());
      ASSERT_TRUE(t.value()->replace("CCOSTO", cc).isOk());
      ASSERT_TRUE(t.value()->replace("TBRUTO", 100.0).isOk());
      if (first && deleteFirst) {
        ASSERT_TRUE(t.value()->markDeleted().isOk());
      }
      first = false;
    }
  }

  std::vector<std::string> codesInOrder(Table& t) {
    std::vector<std::string> out;
    EXPECT_TRUE(t.goTop().isOk());
    while (!t.eof()) {
      out.push_back(t.str("CODIGO").substr(0, 5));
      EXPECT_TRUE(t.skip(1).isOk());
    }
    return out;
  }

  TempDir dir_;
  catalog::Period period_{"01", "03", "26"};
  catalog::TableDef src_;
  std::string source_;
};

}  // namespace

TEST_F(ScratchTest, CopiesLiveRowsOrderedByCode) {
  addRows({{"E0009", "B"}, {"E0003", "A"}, {"E0005", "B"}, {"E0001", "A"}}, /*deleteFirst=*/true);
  ScratchTable s;
  Status st;
  ASSERT_EQ(buildScratch(fs(), dir_.path(), period_, source_, s, &st), ScratchOutcome::Ready) << st.message();
  EXPECT_EQ(s.dbf, dir_.path() + "/xx010326.dbf");
  EXPECT_EQ(s.bag, dir_.path() + "/xx010326.cdx");
  EXPECT_EQ(s.table->mode(), OpenMode::Exclusive);
  EXPECT_EQ(s.table->tagName(1), "CODIGO");
  EXPECT_EQ(codesInOrder(*s.table), (std::vector<std::string>{"E0001", "E0003", "E0005"}));
  // Amounts may be changed on the copy without touching the source.
  ASSERT_TRUE(s.table->seek("E0003"));
  ASSERT_TRUE(s.table->replace("TBRUTO", 250.0).isOk());
  auto src = Table::openReadOnly(fs(), source_);
  ASSERT_TRUE(src.isOk());
  ASSERT_TRUE(src.value()->goTop().isOk());
  while (!src.value()->eof()) {
    EXPECT_DOUBLE_EQ(src.value()->num("TBRUTO"), 100.0);
    ASSERT_TRUE(src.value()->skip(1).isOk());
  }
}

TEST_F(ScratchTest, RegroupsByAnotherKeyAndAnEarlierCopyIsReplaced) {
  addRows({{"E0009", "B"}, {"E0003", "A"}, {"E0005", "B"}, {"E0001", "A"}});
  {
    ScratchTable first;
    ASSERT_EQ(buildScratch(fs(), dir_.path(), period_, source_, first), ScratchOutcome::Ready);
    ASSERT_TRUE(first.table->appendBlank().isOk());  // left over from an earlier run
  }
  ScratchTable s;
  ASSERT_EQ(buildScratch(fs(), dir_.path(), period_, source_, s), ScratchOutcome::Ready);
  EXPECT_EQ(codesInOrder(*s.table).size(), 4u);
  Status st;
  ASSERT_EQ(regroupScratch(fs(), s, "ccosto", "CCOSTO+CODIGO", &st), ScratchOutcome::Ready) << st.message();
  EXPECT_EQ(s.table->tagCount(), 1);
  EXPECT_EQ(codesInOrder(*s.table), (std::vector<std::string>{"E0001", "E0003", "E0005", "E0009"}));
  ASSERT_EQ(regroupScratch(fs(), s, "", "CCOSTO", &st, "ntx"), ScratchOutcome::Ready) << st.message();
  EXPECT_EQ(s.bag, dir_.path() + "/xx010326.ntx");
  EXPECT_FALSE(fs().exists(dir_.path() + "/xx010326.cdx"));
}

// Links planted at the copy's names (even ones pointing nowhere yet) are removed,
// not followed: the copy is created in the data folder and nothing appears where
// the links pointed.
TEST_F(ScratchTest, LinksAtTheCopyNamesAreNotFollowed) {
  addRows({{"E0001", "A"}});
  TempDir other;
  for (const char* name : {"xx010326.dbf", "xx010326.cdx", "XX010326.NTX"}) {
    const std::string target = other.path() + "/" + name;
    ASSERT_EQ(::symlink(target.c_str(), (dir_.path() + "/" + name).c_str()), 0);
  }
  ScratchTable s;
  Status st;
  ASSERT_EQ(buildScratch(fs(), dir_.path(), period_, source_, s, &st), ScratchOutcome::Ready) << st.message();
  ASSERT_EQ(regroupScratch(fs(), s, "", "CCOSTO", &st, "ntx"), ScratchOutcome::Ready) << st.message();
  EXPECT_EQ(codesInOrder(*s.table), (std::vector<std::string>{"E0001"}));
  for (const std::string& f : {s.dbf, s.bag}) {
    struct stat lst;
    ASSERT_EQ(::lstat(f.c_str(), &lst), 0) << f;
    EXPECT_TRUE(S_ISREG(lst.st_mode)) << f;
  }
  for (const auto& e : std::filesystem::directory_iterator(other.path())) ADD_FAILURE() << e.path();
}

TEST_F(ScratchTest, EmptySourceCreatesNothing) {
  addRows({{"E0001", "A"}}, /*deleteFirst=*/true);
  ScratchTable s;
  EXPECT_EQ(buildScratch(fs(), dir_.path(), period_, source_, s), ScratchOutcome::Empty);
  EXPECT_FALSE(fs().exists(dir_.path() + "/xx010326.dbf"));
  EXPECT_EQ(s.table, nullptr);
}

TEST_F(ScratchTest, CopyHeldByAnotherStationIsRefused) {
  addRows({{"E0001", "A"}});
  ScratchTable held;
  ASSERT_EQ(buildScratch(fs(), dir_.path(), period_, source_, held), ScratchOutcome::Ready);
  ScratchTable s;
  Status st;
  ScratchOutcome o = buildScratch(fs(), dir_.path(), period_, source_, s, &st);
  EXPECT_NE(o, ScratchOutcome::Ready);
  EXPECT_FALSE(st.isOk());
  // The copy the other station works on is intact.
  EXPECT_EQ(codesInOrder(*held.table), (std::vector<std::string>{"E0001"}));
}

TEST_F(ScratchTest, MissingSourceIsAFailure) {
  ScratchTable s;
  Status st;
  EXPECT_EQ(buildScratch(fs(), dir_.path(), period_, dir_.path() + "/noexiste.dbf", s, &st), ScratchOutcome::Failed);
  EXPECT_FALSE(st.isOk());
}
