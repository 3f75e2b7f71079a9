// Index rebuilds and what the next station meets: a rebuild cut short at any write
// leaves bags that are whole or refused, never one that silently lacks keys; a bag
// without a tag the system uses is refused naming what to reindex; a station finds
// a table being rebuilt in use, not missing its index; and the check reports what
// interrupted work left behind.
#include <set>

#include <gtest/gtest.h>

#include "store/catalog.h"
#include "store/io_faulty.h"
#include "store/tests/store_test_util.h"
#include "store/tests/stress_util.h"
#include "store/verify.h"

namespace planilla {
namespace {

using catalog::Period;
using catalog::TableId;
using testing::ScratchDir;

const Period kJuly16{"01", "07", "16"};
const catalog::TableDef kMaster = catalog::define(TableId::EmployeeMaster, kJuly16);
const char* const kFiles[] = {"pmae0101.dbf", "pmae0101.cdx", "pmno0101.cdx"};

std::string employee(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "E%03d", i);
  return testing::padRight(b, 10);
}

// The employee master of company 01 with `n` employees, every fourth one marked
// deleted, so that a rebuild packs. Returns the codes of the live ones.
std::set<std::string> makeMaster(const std::string& dir, int n) {
  FileSystem& fs = platformFileSystem();
  std::set<std::string> live;
  EXPECT_TRUE(catalog::createWithTags(fs, dir, kMaster).isOk());
  auto t = catalog::openTable(fs, dir, kMaster, OpenMode::Exclusive);
  EXPECT_TRUE(t.isOk()) << t.status().message();
  if (!t) return live;
  for (int i = 1; i <= n; ++i) {
    EXPECT_TRUE((*t)->appendBlank().isOk());
    EXPECT_TRUE((*t)->replace("codigo", employee(i)).isOk());
    EXPECT_TRUE((*t)->replace("nombre", "NOMBRE " + std::to_string(100 - i)).isOk());
    if (i % 4 == 0)
      EXPECT_TRUE((*t)->markDeleted().isOk());
    else
      live.insert(employee(i));
  }
  return live;
}

// Every live employee is found by code, and both orders list exactly them.
void expectFindsExactly(Table& t, const std::set<std::string>& live) {
  ASSERT_TRUE(t.setOrder(1).isOk());
  for (const auto& code : live) {
    EXPECT_TRUE(t.seek(code)) << code;
    EXPECT_EQ(t.str("codigo"), code);
  }
  for (int order : {1, 2}) {
    ASSERT_TRUE(t.setOrder(order).isOk()) << "orden " << order;
    std::multiset<std::string> seen;
    ASSERT_TRUE(t.goTop().isOk());
    while (!t.eof()) {
      seen.insert(t.str("codigo"));
      ASSERT_TRUE(t.skip().isOk());
    }
    EXPECT_EQ(seen, std::multiset<std::string>(live.begin(), live.end())) << "orden " << order;
  }
}

TEST(RebuildCutShort, BagsAreWholeOrRefusedAndReindexRepairs) {
  ScratchDir clean;
  const std::set<std::string> live = makeMaster(clean.path(), 30);
  for (int n = 1;; ++n) {
    SCOPED_TRACE("corte en la llamada " + std::to_string(n));
    ScratchDir dir;
    for (const char* f : kFiles) testing::writeAll(dir.file(f), testing::readAll(clean.file(f)));
    FaultyFileSystem fs(platformFileSystem());
    fs.failAt(n, /*sticky=*/true);  // from the cut on nothing reaches the disk
    Status st = catalog::rebuildIndexes(fs, dir.path(), kMaster, true);
    const bool cut = fs.failed();
    fs.disarm();
    if (!cut) {
      ASSERT_TRUE(st.isOk()) << st.message();
    }
    auto t = catalog::openTable(platformFileSystem(), dir.path(), kMaster, OpenMode::Shared);
    if (!t) {
      // Refused, saying what to rebuild; the reindex repairs it.
      EXPECT_TRUE(cut);
      EXPECT_TRUE(t.status().code() == ErrorCode::NeedsReindex || t.status().code() == ErrorCode::NotFound)
          << t.status().message();
      EXPECT_NE(t.status().message().find("pmae0101"), std::string::npos) << t.status().message();
      ASSERT_TRUE(catalog::rebuildIndexes(platformFileSystem(), dir.path(), kMaster, true).isOk());
      t = catalog::openTable(platformFileSystem(), dir.path(), kMaster, OpenMode::Shared);
      ASSERT_TRUE(t.isOk()) << t.status().message();
    }
    expectFindsExactly(**t, live);
    if (!cut) break;
    ASSERT_LT(n, 300);
  }
}

// What an index build cut short used to leave: the bag's file with its tag directory
// and no tag.
void emptyBag(const std::string& dir, const std::string& bag) {
  auto t = Table::openReadOnly(platformFileSystem(), catalog::joinPath(dir, "pmae0101.dbf"));
  ASSERT_TRUE(t.isOk());
  ASSERT_TRUE(IndexBag::create(platformFileSystem(), catalog::joinPath(dir, bag), (*t)->recordLayout()).isOk());
}

TEST(CatalogOpen, BagWithoutItsTagIsRefusedNamingWhatToReindex) {
  for (auto [bag, tag] : {std::pair{"pmae0101.cdx", "CODIGO"}, std::pair{"pmno0101.cdx", "NOMBRE"}}) {
    SCOPED_TRACE(bag);
    ScratchDir dir;
    const std::set<std::string> live = makeMaster(dir.path(), 6);
    emptyBag(dir.path(), bag);
    auto t = catalog::openTable(platformFileSystem(), dir.path(), kMaster, OpenMode::Shared);
    ASSERT_FALSE(t.isOk());
    EXPECT_EQ(t.status().code(), ErrorCode::NeedsReindex);
    for (const char* part : {bag, tag, "pmae0101.dbf", "Reindexe"})
      EXPECT_NE(t.status().message().find(part), std::string::npos) << t.status().message();
    ASSERT_TRUE(catalog::rebuildIndexes(platformFileSystem(), dir.path(), kMaster, true).isOk());
    t = catalog::openTable(platformFileSystem(), dir.path(), kMaster, OpenMode::Shared);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    expectFindsExactly(**t, live);
  }
}

// A file system that, before every change the reindex makes to the files, lets
// another station try to open the table.
class ProbingFileSystem final : public FileSystem {
 public:
  explicit ProbingFileSystem(std::function<void()> probe) : probe_(std::move(probe)) {}
  Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions opts) override {
    if (opts.create || opts.truncate || opts.mustCreate) probe_();
    auto f = base_.open(path, opts);
    if (!f) return f.status();
    return std::unique_ptr<File>(std::make_unique<ProbingFile>(this, std::move(f).value()));
  }
  bool exists(const std::string& path) override { return base_.exists(path); }
  Status remove(const std::string& path) override { return probe_(), base_.remove(path); }
  Status rename(const std::string& from, const std::string& to) override { return probe_(), base_.rename(from, to); }
  Status replace(const std::string& from, const std::string& to) override {
    return probe_(), base_.replace(from, to);
  }
  std::string resolve(const std::string& path) override { return base_.resolve(path); }

 private:
  class ProbingFile final : public File {
   public:
    ProbingFile(ProbingFileSystem* fs, std::unique_ptr<File> f) : fs_(fs), f_(std::move(f)) {}
    Status readAt(uint64_t off, void* buf, size_t n, size_t* got) override { return f_->readAt(off, buf, n, got); }
    Status writeAt(uint64_t off, const void* buf, size_t n) override {
      return fs_->probe_(), f_->writeAt(off, buf, n);
    }
    Result<uint64_t> size() override { return f_->size(); }
    Status truncate(uint64_t len) override { return fs_->probe_(), f_->truncate(len); }
    Status sync() override { return f_->sync(); }
    Status lock(uint64_t off, uint64_t len, LockKind kind) override { return f_->lock(off, len, kind); }
    Status unlock(uint64_t off, uint64_t len) override { return f_->unlock(off, len); }
    const std::string& path() const override { return f_->path(); }

   private:
    ProbingFileSystem* fs_;
    std::unique_ptr<File> f_;
  };
  FileSystem& base_ = platformFileSystem();
  std::function<void()> probe_;
};

TEST(RebuildByAnotherStation, TheTableIsInUseNotMissingItsIndex) {
  ScratchDir dir;
  makeMaster(dir.path(), 12);
  int probes = 0;
  ProbingFileSystem fs([&] {
    ++probes;
    auto t = catalog::openTable(platformFileSystem(), dir.path(), kMaster, OpenMode::Shared);
    ASSERT_FALSE(t.isOk());
    EXPECT_EQ(t.status().code(), ErrorCode::InUse) << t.status().message();
  });
  ASSERT_TRUE(catalog::rebuildIndexes(fs, dir.path(), kMaster, true).isOk());
  EXPECT_GT(probes, 5);
}

TEST(Verify, ReportsWhatInterruptedWorkLeft) {
  struct Case {
    const char* what;
    std::function<void(const std::string& dir)> damage;
    bool catalogBags;  // check against the bags and tags the catalog expects
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"bolsa sin etiquetas", [](const std::string& d) { emptyBag(d, "pmae0101.cdx"); }, false,
       {"pmae0101.cdx: el indice no tiene etiquetas"}},
      {"registro despues de la cuenta",
       [](const std::string& d) {
         // An append cut before the count moved: a whole record (and the end mark) past it.
         std::string bytes = testing::readAll(catalog::joinPath(d, "pmae0101.dbf"));
         testing::RawHeader h = testing::rawHeader(bytes);
         bytes.resize(h.dataEnd());
         bytes += bytes.substr(h.dataEnd() - h.recordLength) + "\x1a";
         testing::writeAll(catalog::joinPath(d, "pmae0101.dbf"), bytes);
       },
       false, {"pmae0101.dbf: agregado que no termino: 1 registro(s) despues del registro 8, el ultimo"}},
      {"falta una bolsa", [](const std::string& d) { std::remove(catalog::joinPath(d, "pmno0101.cdx").c_str()); },
       true, {"no existe el indice pmno0101.cdx"}},
      {"falta una etiqueta", [](const std::string& d) { emptyBag(d, "pmno0101.cdx"); }, true,
       {"pmno0101.cdx: el indice no tiene etiquetas", "pmno0101.cdx: falta la etiqueta NOMBRE que usa el sistema"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    makeMaster(dir.path(), 8);
    c.damage(dir.path());
    const std::string table = dir.file("pmae0101.dbf");
    std::vector<std::string> bags, problems;
    std::vector<BagExpectation> expected;
    if (c.catalogBags)
      expected = catalogExpectations(table);
    else
      bags = {dir.file("pmae0101.cdx")};
    ASSERT_TRUE(verifyTable(platformFileSystem(), table, bags, problems, expected).isOk());
    ASSERT_EQ(problems.size(), c.expected.size()) << (problems.empty() ? "" : problems[0]);
    for (size_t i = 0; i < problems.size(); ++i) EXPECT_EQ(problems[i].rfind(c.expected[i], 0), 0u) << problems[i];
  }
}

TEST(MadeOnFirstUse, ACutNeverLeavesAHalfFilledTable) {
  // The month's active employees are the master's live ones; a cut while they are
  // copied must not leave a table holding some of them.
  ScratchDir clean;
  const std::set<std::string> live = makeMaster(clean.path(), 20);
  const auto active = catalog::define(TableId::ActiveEmployees, kJuly16);
  for (int n = 1;; ++n) {
    SCOPED_TRACE("corte en la llamada " + std::to_string(n));
    ScratchDir dir;
    for (const char* f : kFiles) testing::writeAll(dir.file(f), testing::readAll(clean.file(f)));
    FaultyFileSystem fs(platformFileSystem());
    fs.failAt(n, /*sticky=*/true);
    Status st = catalog::ensureTable(fs, dir.path(), active);
    const bool cut = fs.failed();
    fs.disarm();
    if (!cut) {
      ASSERT_TRUE(st.isOk()) << st.message();
    }
    // The next opening makes it (again, when the cut left nothing) and finds it whole.
    ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir.path(), active).isOk());
    auto t = catalog::openTable(platformFileSystem(), dir.path(), active, OpenMode::Shared);
    if (!t) {
      EXPECT_TRUE(t.status().code() == ErrorCode::NeedsReindex || t.status().code() == ErrorCode::NotFound)
          << t.status().message();
      ASSERT_TRUE(catalog::rebuildIndexes(platformFileSystem(), dir.path(), active, true).isOk());
      t = catalog::openTable(platformFileSystem(), dir.path(), active, OpenMode::Shared);
      ASSERT_TRUE(t.isOk()) << t.status().message();
    }
    expectFindsExactly(**t, live);
    if (!cut) break;
    ASSERT_LT(n, 500);
  }
}

TEST(CatalogNames, FileNamesAreIdentifiedWithTheirPeriod) {
  catalog::TableDef d;
  ASSERT_TRUE(catalog::identify("/datos/RETE0116.DBF", &d));
  EXPECT_EQ(d.id, TableId::Deductions);
  EXPECT_EQ(d.period.cia, "01");
  EXPECT_EQ(d.period.ano, "16");
  ASSERT_TRUE(catalog::identify("p9071601.dbf", &d));
  EXPECT_EQ(d.id, TableId::ActiveEmployees);
  EXPECT_EQ(d.bags(), (std::vector<std::string>{"p9071601.cdx", "p8071601.cdx"}));
  ASSERT_TRUE(catalog::identify("pmae0001.dbf", &d));
  EXPECT_EQ(d.id, TableId::Institutions);
  ASSERT_TRUE(catalog::identify("pmae0101.dbf", &d));
  EXPECT_EQ(d.id, TableId::EmployeeMaster);
  EXPECT_FALSE(catalog::identify("ph011316.dbf", nullptr));  // month 13
  EXPECT_FALSE(catalog::identify("clientes.dbf", nullptr));
}

}  // namespace
}  // namespace planilla
