// The table cursor with index bags: seeks, orders, tag maintenance on every change,
// tags that cannot be kept, pack, several stations, and the consistency check.
#include <algorithm>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "store/io.h"
#include "store/table.h"
#include "store/verify.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::padRight;
using testing::ScratchDir;

std::unique_ptr<Table> openOk(const std::string& path, OpenMode mode) {
  auto t = Table::open(platformFileSystem(), path, mode);
  EXPECT_TRUE(t.isOk()) << t.status().message();
  return t ? std::move(t).value() : nullptr;
}

void expectVerifies(const std::string& table, const std::vector<std::string>& bags) {
  std::vector<std::string> problems;
  Status st = verifyTable(platformFileSystem(), table, bags, problems);
  ASSERT_TRUE(st.isOk()) << st.message();
  std::string all;
  for (auto& p : problems) all += p + "\n";
  EXPECT_TRUE(problems.empty()) << all;
}

// Record numbers in the controlling order, from the top.
std::vector<uint32_t> walk(Table& t) {
  std::vector<uint32_t> r;
  EXPECT_TRUE(t.goTop().isOk());
  while (!t.eof()) {
    r.push_back(t.recno());
    EXPECT_TRUE(t.skip().isOk()) << t.lastError().message();
  }
  return r;
}

std::vector<uint32_t> walkBack(Table& t) {
  std::vector<uint32_t> r;
  EXPECT_TRUE(t.goBottom().isOk());
  while (!t.eof() && !t.bof()) {
    r.push_back(t.recno());
    EXPECT_TRUE(t.skip(-1).isOk());
  }
  return r;
}

class IndexedTable : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = dir_.file("pmae0101.dbf");
    bag_ = dir_.file("pmae0101.cdx");
    ASSERT_TRUE(Table::create(platformFileSystem(), table_,
                              {{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}, {"MES", 'C', 2, 0},
                               {"SUELDO", 'N', 10, 2}, {"ACTIVO", 'L', 1, 0}})
                    .isOk());
    auto t = openOk(table_, OpenMode::Exclusive);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->createTag(bag_, "CODIGO", "CODIGO").isOk());
    ASSERT_TRUE(t->createTag(bag_, "NOMBRE", "UPPER(NOMBRE)").isOk());
    ASSERT_TRUE(t->createTag(bag_, "MESCOD", "MES+CODIGO").isOk());
    ASSERT_TRUE(t->createTag(bag_, "ACTIVOS", "CODIGO", "ACTIVO").isOk());
    ASSERT_EQ(t->tagCount(), 4);
  }

  std::unique_ptr<Table> openWithBag(OpenMode mode) {
    auto t = openOk(table_, mode);
    if (!t) return nullptr;
    Status st = t->openIndex(dir_.file("PMAE0101.CDX"));
    EXPECT_TRUE(st.isOk()) << st.message();
    return t;
  }

  static void add(Table& t, const std::string& code, const std::string& name, const std::string& mes,
                  bool activo = true) {
    ASSERT_TRUE(t.appendBlank().isOk());
    ASSERT_TRUE(t.replace("CODIGO", code).isOk());
    ASSERT_TRUE(t.replace("NOMBRE", name).isOk());
    ASSERT_TRUE(t.replace("MES", mes).isOk());
    ASSERT_TRUE(t.replaceLogical("ACTIVO", activo).isOk());
    t.unlockAll();
  }

  ScratchDir dir_;
  std::string table_, bag_;
};

TEST_F(IndexedTable, SeekIsPrefixMatchAndFailureLeavesEndOfFile) {
  auto t = openWithBag(OpenMode::Exclusive);
  ASSERT_TRUE(t);
  add(*t, "AA", "uno", "01");
  add(*t, "ABC", "dos", "01");
  add(*t, "B", "tres", "01");
  ASSERT_TRUE(t->setOrder(1).isOk());
  EXPECT_TRUE(t->seek("AB"));
  EXPECT_TRUE(t->found());
  EXPECT_FALSE(t->eof());
  EXPECT_EQ(t->str("CODIGO"), "ABC   ");
  EXPECT_FALSE(t->seek("AAB"));
  EXPECT_FALSE(t->found());
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->recno(), 4u);
  EXPECT_TRUE(t->lastError().isOk());
  EXPECT_TRUE(t->seek("B     "));  // padded as a screen types it
  EXPECT_EQ(t->recno(), 3u);
  EXPECT_TRUE(t->seek("ABC   longer than the key"));  // cut to the key length
  EXPECT_EQ(t->recno(), 2u);
  EXPECT_FALSE(t->seek("C"));
  EXPECT_TRUE(t->eof());
  // From end of file the order goes on normally.
  ASSERT_TRUE(t->skip(-1).isOk());
  EXPECT_EQ(t->recno(), 3u);

  // A deleted record is passed over by seek, also when it holds the first match.
  ASSERT_TRUE(t->seek("AB"));
  ASSERT_TRUE(t->markDeleted().isOk());
  EXPECT_FALSE(t->seek("AB"));
  EXPECT_TRUE(t->eof());
  add(*t, "ABD", "cuatro", "01");
  EXPECT_TRUE(t->seek("AB"));
  EXPECT_EQ(t->str("CODIGO"), "ABD   ");

  // Seeking without an order is a not-found with an explanation.
  ASSERT_TRUE(t->setOrder(0).isOk());
  EXPECT_FALSE(t->seek("AA"));
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->lastError().code(), ErrorCode::Invalid);
  EXPECT_EQ(t->setOrder(5).code(), ErrorCode::Invalid);
}

TEST_F(IndexedTable, OrdersFollowEveryChange) {
  auto t = openWithBag(OpenMode::Exclusive);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->tagName(1), "CODIGO");
  EXPECT_EQ(t->tagName(4), "ACTIVOS");
  EXPECT_EQ(t->tagName(5), "");
  add(*t, "000030", "perez", "02");            // 1
  add(*t, "000010", "Alvarez", "03", false);   // 2
  add(*t, "000020", "zapata", "01");           // 3
  add(*t, "000005", "Mendez", "02");           // 4

  ASSERT_TRUE(t->setOrder(1).isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{4, 2, 3, 1}));
  EXPECT_EQ(walkBack(*t), (std::vector<uint32_t>{1, 3, 2, 4}));
  ASSERT_TRUE(t->setOrder(2).isOk());  // UPPER(NOMBRE)
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{2, 4, 1, 3}));
  ASSERT_TRUE(t->setOrder(3).isOk());  // MES+CODIGO
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{3, 4, 1, 2}));
  ASSERT_TRUE(t->setOrder(4).isOk());  // FOR ACTIVO
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{4, 3, 1}));
  ASSERT_TRUE(t->setOrder(0).isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 2, 3, 4}));

  // A key change moves the record; a FOR change lets it in or out.
  ASSERT_TRUE(t->go(1).isOk());
  ASSERT_TRUE(t->replace("CODIGO", "000001").isOk());
  ASSERT_TRUE(t->go(2).isOk());
  ASSERT_TRUE(t->replaceLogical("ACTIVO", true).isOk());
  ASSERT_TRUE(t->go(3).isOk());
  ASSERT_TRUE(t->replaceLogical("ACTIVO", false).isOk());
  ASSERT_TRUE(t->setOrder(1).isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 4, 2, 3}));
  ASSERT_TRUE(t->setOrder(4).isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 4, 2}));
  EXPECT_FALSE(t->seek("000020"));  // out of the FOR tag
  EXPECT_TRUE(t->seek("000010"));

  // Changing the key of the current record keeps the cursor's place right.
  ASSERT_TRUE(t->setOrder(1).isOk());
  ASSERT_TRUE(t->seek("000005"));
  ASSERT_TRUE(t->replace("CODIGO", "000099").isOk());
  ASSERT_TRUE(t->skip().isOk());
  EXPECT_TRUE(t->eof());
  ASSERT_TRUE(t->seek("000010"));
  ASSERT_TRUE(t->skip().isOk());
  EXPECT_EQ(t->str("CODIGO"), "000020");

  // Deleted records disappear from every order but keep their keys.
  ASSERT_TRUE(t->seek("000020"));
  ASSERT_TRUE(t->markDeleted().isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 2, 4}));
  ASSERT_TRUE(t->seek("000010"));
  ASSERT_TRUE(t->skip().isOk());
  EXPECT_EQ(t->recno(), 4u);
  ASSERT_TRUE(t->skip(-1).isOk());
  EXPECT_EQ(t->recno(), 2u);
  t->close();
  expectVerifies(table_, {bag_});
}

TEST_F(IndexedTable, ManyChangesKeepTheBagConsistent) {
  auto t = openWithBag(OpenMode::Exclusive);
  ASSERT_TRUE(t);
  std::mt19937 rng(7);
  std::map<std::string, uint32_t> live;  // code -> recno
  for (int i = 0; i < 3000; ++i) {
    int what = static_cast<int>(rng() % 10);
    if (what < 6 || live.empty()) {
      char code[8];
      std::snprintf(code, sizeof code, "%06u", static_cast<unsigned>(rng() % 1000000));
      if (live.count(code)) continue;
      add(*t, code, "N" + std::to_string(rng() % 500), std::to_string(10 + rng() % 3), rng() % 2);
      live[code] = t->recno();
    } else {
      auto it = live.begin();
      std::advance(it, static_cast<long>(rng() % live.size()));
      ASSERT_TRUE(t->go(it->second).isOk());
      if (what < 8) {
        ASSERT_TRUE(t->replace("NOMBRE", "M" + std::to_string(rng() % 500)).isOk());
        ASSERT_TRUE(t->replaceLogical("ACTIVO", rng() % 2).isOk());
      } else {
        ASSERT_TRUE(t->markDeleted().isOk());
        live.erase(it);
      }
    }
  }
  ASSERT_TRUE(t->setOrder(1).isOk());
  std::vector<uint32_t> expected;
  for (auto& [code, n] : live) expected.push_back(n);
  EXPECT_EQ(walk(*t), expected);
  for (auto& [code, n] : live) {
    ASSERT_TRUE(t->seek(code)) << code;
    EXPECT_EQ(t->recno(), n);
  }
  t->close();
  expectVerifies(table_, {bag_});
}

TEST_F(IndexedTable, TagsAreNumberedAcrossBagsInOpeningOrder) {
  {
    auto t = openWithBag(OpenMode::Exclusive);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->createIndexFile(dir_.file("porsueldo.NTX"), "STR(SUELDO,10,2)").isOk());
    EXPECT_EQ(t->tagCount(), 5);
    EXPECT_EQ(t->tagName(5), "PORSUELDO");  // named after the file
    add(*t, "A", "a", "01");
    ASSERT_TRUE(t->replace("SUELDO", 300.0).isOk());
    add(*t, "B", "b", "01");
    ASSERT_TRUE(t->replace("SUELDO", 20.0).isOk());
  }
  auto t = openOk(table_, OpenMode::Shared);
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->openIndex(dir_.file("PORSUELDO.ntx")).isOk());
  ASSERT_TRUE(t->openIndex(bag_).isOk());
  ASSERT_EQ(t->tagCount(), 5);
  EXPECT_EQ(t->bagCount(), 2);
  EXPECT_EQ(t->tagName(1), "PORSUELDO");
  EXPECT_EQ(t->tagName(2), "CODIGO");
  EXPECT_EQ(t->tagName(5), "ACTIVOS");
  ASSERT_TRUE(t->setOrder(1).isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{2, 1}));
  ASSERT_TRUE(t->setOrder(2).isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(t->createTag(bag_, "X", "CODIGO").code(), ErrorCode::Invalid);  // shared
  EXPECT_EQ(t->openIndex(dir_.file("nada.cdx")).code(), ErrorCode::NotFound);
  t->closeIndexes();
  EXPECT_EQ(t->tagCount(), 0);
  EXPECT_EQ(t->order(), 0);
}

TEST_F(IndexedTable, ReplacingATagKeepsTheControllingOrder) {
  auto t = openWithBag(OpenMode::Exclusive);
  ASSERT_TRUE(t);
  add(*t, "2", "b", "01");
  add(*t, "1", "a", "02");
  ASSERT_TRUE(t->setOrder(3).isOk());  // MESCOD
  ASSERT_TRUE(t->createTag(bag_, "CODIGO", "NOMBRE").isOk());  // replaced, moves last
  EXPECT_EQ(t->tagName(4), "CODIGO");
  EXPECT_EQ(t->tagName(t->order()), "MESCOD");
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 2}));
}

TEST_F(IndexedTable, AppendOverKeysOfARecordThatNeverWasAsksForAReindex) {
  {
    auto t = openWithBag(OpenMode::Exclusive);
    ASSERT_TRUE(t);
    add(*t, "A1", "UNO", "01");
    add(*t, "B2", "DOS", "02");
  }
  // Count back to 1 and a different image past it: the index keeps the keys of
  // "B2" for record 2, which the image lying there no longer explains.
  std::string bytes = testing::readAll(table_);
  const size_t headerLen = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
  const size_t recLen = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
  ASSERT_GE(bytes.size(), headerLen + 2 * recLen);
  const std::string second = bytes.substr(headerLen + recLen + 1, recLen - 1);
  bytes[4] = 1;
  bytes.replace(headerLen + recLen + 1, 2, "C3");
  testing::writeAll(table_, bytes);

  auto t = openWithBag(OpenMode::Shared);
  ASSERT_TRUE(t);
  Status st = t->appendRaw(second);
  EXPECT_EQ(st.code(), ErrorCode::NeedsReindex) << st.message();
  EXPECT_NE(st.message().find("reindexe"), std::string::npos) << st.message();
  EXPECT_EQ(t->recordCount(), 1u);
  t->unlockAll();
}

TEST_F(IndexedTable, TagThatCannotBeEvaluatedRefusesChanges) {
  // A bag built for another layout: its tags name a field this table lacks.
  std::string other = dir_.file("otra.dbf");
  ASSERT_TRUE(Table::create(platformFileSystem(), other, {{"CODIGO", 'C', 6, 0}, {"MES", 'C', 2, 0}}).isOk());
  {
    auto own = openWithBag(OpenMode::Exclusive);
    ASSERT_TRUE(own);
    add(*own, "X1", "n", "01");
  }
  {
    auto w = openOk(other, OpenMode::Exclusive);
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->appendBlank().isOk());
    ASSERT_TRUE(w->replace("CODIGO", "X1").isOk());
  }
  auto t = openOk(other, OpenMode::Shared);
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->openIndex(bag_).isOk());  // reading is allowed
  ASSERT_TRUE(t->setOrder(1).isOk());
  EXPECT_TRUE(t->seek("X1"));
  Status st = t->appendBlank();
  EXPECT_EQ(st.code(), ErrorCode::NeedsReindex);
  EXPECT_NE(st.message().find("reindexe"), std::string::npos);
  EXPECT_EQ(t->replace("CODIGO", "Y").code(), ErrorCode::NeedsReindex);
  EXPECT_EQ(t->markDeleted().code(), ErrorCode::NeedsReindex);
  EXPECT_EQ(t->recordCount(), 1u);
  EXPECT_EQ(t->str("CODIGO"), "X1    ");
  t->closeIndexes();
  EXPECT_TRUE(t->replace("CODIGO", "Y").isOk());  // without the bag, changes go on
}

TEST_F(IndexedTable, PackRebuildsTheTags) {
  auto t = openWithBag(OpenMode::Exclusive);
  ASSERT_TRUE(t);
  for (int i = 0; i < 50; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%06d", (i * 37) % 50);
    add(*t, code, "n", "01", i % 2 == 0);
  }
  for (uint32_t n = 1; n <= 50; n += 3) {
    ASSERT_TRUE(t->go(n).isOk());
    ASSERT_TRUE(t->markDeleted().isOk());
  }
  ASSERT_TRUE(t->setOrder(1).isOk());
  std::vector<std::string> before;
  ASSERT_TRUE(t->goTop().isOk());
  while (!t->eof()) {
    before.push_back(t->str("CODIGO"));
    ASSERT_TRUE(t->skip().isOk());
  }
  ASSERT_TRUE(t->pack().isOk());
  EXPECT_EQ(t->recordCount(), 33u);
  EXPECT_EQ(t->tagName(1), "CODIGO");  // same tags, same positions
  EXPECT_EQ(t->tagName(4), "ACTIVOS");
  EXPECT_EQ(t->order(), 1);
  std::vector<std::string> after;
  ASSERT_TRUE(t->goTop().isOk());
  while (!t->eof()) {
    after.push_back(t->str("CODIGO"));
    ASSERT_TRUE(t->skip().isOk());
  }
  EXPECT_EQ(after, before);
  ASSERT_TRUE(t->seek("000037"));
  EXPECT_LE(t->recno(), 33u);
  t->close();
  expectVerifies(table_, {bag_});
}

TEST_F(IndexedTable, StationsShareTheIndex) {
  auto a = openWithBag(OpenMode::Shared);
  auto b = openWithBag(OpenMode::Shared);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->setOrder(1).isOk());
  ASSERT_TRUE(b->setOrder(1).isOk());
  add(*a, "000100", "a", "01");
  EXPECT_TRUE(b->seek("000100"));
  add(*b, "000050", "b", "01");
  EXPECT_TRUE(a->seek("000050"));
  EXPECT_EQ(a->recno(), 2u);
  ASSERT_TRUE(a->lockRecord().isOk());
  ASSERT_TRUE(a->replace("CODIGO", "000200").isOk());
  a->unlockAll();
  EXPECT_FALSE(b->seek("000050"));
  EXPECT_TRUE(b->seek("000200"));
  EXPECT_EQ(b->recno(), 2u);
  EXPECT_EQ(walk(*b), (std::vector<uint32_t>{1, 2}));
  ASSERT_TRUE(b->seek("000100"));
  ASSERT_TRUE(b->markDeleted().isOk());
  EXPECT_FALSE(a->seek("000100"));
  EXPECT_EQ(walk(*a), (std::vector<uint32_t>{2}));
  // The bag is in use: it cannot be removed or rebuilt from under the stations.
  EXPECT_EQ(platformFileSystem().remove(bag_).code(), ErrorCode::InUse);
  a.reset();
  b.reset();
  expectVerifies(table_, {bag_});
}

// Two stations changing one bag by turns, neither of them reading it in between (an
// append or a change reaches the index only under its lock). The station that takes
// the lock must work on the pages, free list, roots and file end the other one just
// wrote; working on what it had cached, it writes over them and records vanish from
// the orders.
TEST_F(IndexedTable, EachStationWritesOnWhatTheOtherJustWroteIntoTheBag) {
  auto a = openWithBag(OpenMode::Shared);
  auto b = openWithBag(OpenMode::Shared);
  ASSERT_TRUE(a && b);
  std::map<std::string, uint32_t> live;  // code -> record number
  std::map<std::string, bool> active;
  auto code = [](int number) {
    char c[8];
    std::snprintf(c, sizeof c, "%06d", number);
    return std::string(c);
  };
  auto addOn = [&](Table& t, int number) {
    add(t, code(number), "N" + code(number), "01");
    live[code(number)] = t.recno();
    active[code(number)] = true;
  };
  // Takes the codes from..to out of (or back into) the FOR ACTIVO order.
  auto setActive = [&](Table& t, int from, int to, bool on) {
    for (int n = from; n <= to; ++n) {
      auto it = live.find(code(n));
      if (it == live.end()) continue;
      ASSERT_TRUE(t.go(it->second).isOk());
      ASSERT_TRUE(t.replaceLogical("ACTIVO", on).isOk());
      active[it->first] = on;
    }
  };

  // b starts the bag and reads it: every tag is one root leaf in b's cache.
  for (int i = 1; i <= 3; ++i) addOn(*b, 2 * i + 1);
  ASSERT_TRUE(b->setOrder(1).isOk());
  ASSERT_EQ(walk(*b).size(), 3u);
  // a fills every tag past one page: split leaves, new roots, a longer file.
  for (int i = 1; i <= 250; ++i) addOn(*a, 2 * i);
  // b's keys go in among a's, into leaves only a has seen.
  for (int i = 4; i <= 250; ++i) addOn(*b, 2 * i + 1);
  // a empties leaves of the FOR order, which go to the free list; b takes the lock
  // once while they are free; a then takes them back for its own splits. b's next
  // splits must come from the end of the file, not from the list b saw.
  setActive(*a, 1, 300, false);
  ASSERT_TRUE(b->go(live[code(3)]).isOk());
  ASSERT_TRUE(b->replace("NOMBRE", "CAMBIADO").isOk());
  setActive(*a, 1, 300, true);
  for (int i = 251; i <= 400; ++i) addOn(*b, 2 * i + 1);

  std::vector<uint32_t> inCodeOrder, activeInCodeOrder;
  for (const auto& [c, n] : live) {
    inCodeOrder.push_back(n);
    if (active[c]) activeInCodeOrder.push_back(n);
  }
  ASSERT_EQ(inCodeOrder.size(), 250u + 400u);  // a: 250 even codes; b: 3 + 247 + 150 odd ones
  for (Table* t : {a.get(), b.get()}) {
    SCOPED_TRACE(t == a.get() ? "estacion a" : "estacion b");
    ASSERT_TRUE(t->setOrder(1).isOk());
    EXPECT_EQ(walk(*t), inCodeOrder);
    for (const auto& [c, n] : live) {
      EXPECT_TRUE(t->seek(c)) << c;
      EXPECT_EQ(t->recno(), n) << c;
    }
    ASSERT_TRUE(t->setOrder(4).isOk());  // FOR ACTIVO
    EXPECT_EQ(walk(*t), activeInCodeOrder);
  }
  a.reset();
  b.reset();
  expectVerifies(table_, {bag_});
}

TEST_F(IndexedTable, VerifyFindsProblems) {
  {
    auto t = openWithBag(OpenMode::Exclusive);
    ASSERT_TRUE(t);
    add(*t, "000001", "a", "01");
    add(*t, "000002", "b", "01");
  }
  expectVerifies(table_, {bag_});
  EXPECT_EQ(companionBag(platformFileSystem(), dir_.file("PMAE0101.DBF")), bag_);
  EXPECT_EQ(companionBag(platformFileSystem(), dir_.file("nada.dbf")), "");

  // A change written behind the index's back.
  {
    auto t = openOk(table_, OpenMode::Exclusive);  // no bag open
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->go(2).isOk());
    ASSERT_TRUE(t->replace("CODIGO", "999999").isOk());
  }
  std::vector<std::string> problems;
  ASSERT_TRUE(verifyTable(platformFileSystem(), table_, {bag_}, problems).isOk());
  EXPECT_FALSE(problems.empty());
  for (const auto& p : problems) EXPECT_NE(p.find("pmae0101.cdx"), std::string::npos) << p;

  // Damaged records and a short file are described.
  std::string bytes = testing::readAll(table_);
  std::string bad = bytes;
  bad[bad.size() - 2] = 'x';  // last byte of the last record: the L field, harmless
  bad[bad.size() - 1 - 40] = '#';  // deletion flag of record 2 (records are 40 bytes)
  testing::writeAll(dir_.file("danada.dbf"), bad);
  problems.clear();
  ASSERT_TRUE(verifyTable(platformFileSystem(), dir_.file("danada.dbf"), {}, problems).isOk());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("marca de borrado"), std::string::npos) << problems[0];

  testing::writeAll(dir_.file("corta.dbf"), bytes.substr(0, bytes.size() - 20));
  problems.clear();
  ASSERT_TRUE(verifyTable(platformFileSystem(), dir_.file("corta.dbf"), {}, problems).isOk());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("registros"), std::string::npos);

  EXPECT_EQ(verifyTable(platformFileSystem(), dir_.file("nada.dbf"), {}, problems).code(), ErrorCode::NotFound);
}

}  // namespace
}  // namespace planilla
