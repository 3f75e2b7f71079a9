// The table cursor in record order: create, append, replace, delete, navigation,
// whole-table work, sharing between stations, damaged files.
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "store/dbf_format.h"
#include "store/platform.h"
#include "store/table.h"
#include "store/tests/station_process.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::personFields;
using testing::ScratchDir;

std::unique_ptr<Table> openOk(const std::string& path, OpenMode mode, const std::string& alias = "") {
  auto t = Table::open(platformFileSystem(), path, mode, alias);
  EXPECT_TRUE(t.isOk()) << t.status().message();
  return t ? std::move(t).value() : nullptr;
}

// Appends people named P1..Pn with code "C" + number and salary 100 * number.
void addPeople(Table& t, int n, int from = 1) {
  for (int i = from; i < from + n; ++i) {
    ASSERT_TRUE(t.appendBlank().isOk());
    ASSERT_TRUE(t.replace("CODIGO", "C" + std::to_string(i)).isOk());
    ASSERT_TRUE(t.replace("NOMBRE", "P" + std::to_string(i)).isOk());
    ASSERT_TRUE(t.replace("SUELDO", 100.0 * i).isOk());
  }
  t.unlockAll();
}

std::vector<uint32_t> walk(Table& t) {
  std::vector<uint32_t> seen;
  EXPECT_TRUE(t.goTop().isOk());
  while (!t.eof()) {
    seen.push_back(t.recno());
    EXPECT_TRUE(t.skip().isOk());
  }
  return seen;
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("personas.dbf");
    ASSERT_TRUE(Table::create(platformFileSystem(), path_, personFields()).isOk());
  }
  ScratchDir dir_;
  std::string path_;
};

TEST_F(TableTest, CreatedFileIsStrict) {
  std::string bytes = testing::readAll(path_);
  dbf::Layout l;
  ASSERT_TRUE(dbf::decodeLayout(bytes, &l).isOk());
  EXPECT_EQ(l.header.version, 0x03);
  EXPECT_EQ(l.header.codePage, 0x03);
  EXPECT_EQ(l.header.recordCount, 0u);
  EXPECT_EQ(bytes[l.header.headerLength - 1], 0x0D);
  EXPECT_EQ(bytes.size(), l.header.headerLength + 1u);
  EXPECT_EQ(bytes.back(), 0x1A);
  EXPECT_NE(l.header.month, 0);  // last update stamped
}

TEST_F(TableTest, AppendReplaceAndReadBack) {
  auto t = openOk(path_, OpenMode::Exclusive, "per");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->alias(), "PER");
  EXPECT_TRUE(t->eof());
  ASSERT_TRUE(t->appendBlank().isOk());
  EXPECT_EQ(t->recno(), 1u);
  EXPECT_FALSE(t->eof());
  EXPECT_EQ(t->str("codigo"), "      ");
  ASSERT_TRUE(t->replace("CODIGO", "A01").isOk());
  ASSERT_TRUE(t->replace("nombre", "Mu\xF1oz \xD1").isOk());
  ASSERT_TRUE(t->replace("SUELDO", 1234.565).isOk());
  ASSERT_TRUE(t->replace("INGRESO", Date(2016, 3, 31)).isOk());
  ASSERT_TRUE(t->replaceLogical("ACTIVO", true).isOk());
  EXPECT_EQ(t->str("CODIGO"), "A01   ");
  EXPECT_DOUBLE_EQ(t->num("SUELDO"), 1234.57);
  EXPECT_EQ(t->str("SUELDO"), "   1234.57");
  EXPECT_EQ(t->date("INGRESO"), Date(2016, 3, 31));
  EXPECT_TRUE(t->logical("ACTIVO"));
  EXPECT_EQ(t->str("NOPE"), "");
  EXPECT_EQ(t->fieldIndex("sueldo"), 2);
  EXPECT_EQ(t->fieldIndex("NOPE"), -1);

  // Values that do not fit are refused and change nothing.
  EXPECT_EQ(t->replace("SUELDO", 123456789.0).code(), ErrorCode::Invalid);
  EXPECT_EQ(t->str("SUELDO"), "   1234.57");
  EXPECT_EQ(t->replace("NOPE", "x").code(), ErrorCode::Invalid);
  EXPECT_EQ(t->replace("CODIGO", 5.0).code(), ErrorCode::Invalid);
  EXPECT_EQ(t->replace("INGRESO", "2016-03-31").code(), ErrorCode::Invalid);
  EXPECT_EQ(t->replace("INGRESO", Date(2016, 2, 30)).code(), ErrorCode::Invalid);
  ASSERT_TRUE(t->replace("SUELDO", " 12.5").isOk());  // numeric text
  EXPECT_DOUBLE_EQ(t->num("SUELDO"), 12.5);
  ASSERT_TRUE(t->replace("INGRESO", "20200229").isOk());
  EXPECT_EQ(t->date("INGRESO"), Date(2020, 2, 29));
  t->close();

  std::string bytes = testing::readAll(path_);
  dbf::Layout l;
  ASSERT_TRUE(dbf::decodeLayout(bytes, &l).isOk());
  EXPECT_EQ(l.header.recordCount, 1u);
  ASSERT_EQ(bytes.size(), l.header.headerLength + l.header.recordLength + 1u);
  EXPECT_EQ(bytes.back(), 0x1A);
  std::string rec = bytes.substr(l.header.headerLength, l.header.recordLength);
  EXPECT_EQ(rec, " A01   Mu\xF1oz \xD1" + std::string(20 - 7, ' ') + "     12.5020200229T");
}

TEST_F(TableTest, RawRecordsAndRecordOrderNavigation) {
  auto t = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  addPeople(*t, 6);
  EXPECT_EQ(t->recordCount(), 6u);
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  // The walk ended at end of file: one step back is the last record, which is live.
  ASSERT_TRUE(t->eof());
  ASSERT_TRUE(t->skip(-1).isOk());
  EXPECT_FALSE(t->eof());
  EXPECT_EQ(t->recno(), 6u);
  EXPECT_EQ(t->str("CODIGO"), "C6    ");

  ASSERT_TRUE(t->go(2).isOk());
  ASSERT_TRUE(t->markDeleted().isOk());
  ASSERT_TRUE(t->go(1).isOk());
  ASSERT_TRUE(t->markDeleted().isOk());
  ASSERT_TRUE(t->go(6).isOk());
  ASSERT_TRUE(t->markDeleted().isOk());
  EXPECT_TRUE(t->deleted());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{3, 4, 5}));
  ASSERT_TRUE(t->goBottom().isOk());
  EXPECT_EQ(t->recno(), 5u);
  ASSERT_TRUE(t->skip().isOk());
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->recno(), 7u);
  EXPECT_EQ(t->str("CODIGO"), "      ");  // the phantom record is blank
  ASSERT_TRUE(t->skip(-1).isOk());
  EXPECT_EQ(t->recno(), 5u);
  ASSERT_TRUE(t->skip(-2).isOk());
  EXPECT_EQ(t->recno(), 3u);
  EXPECT_FALSE(t->bof());
  ASSERT_TRUE(t->skip(-1).isOk());  // before the first live record
  EXPECT_TRUE(t->bof());
  EXPECT_EQ(t->recno(), 3u);
  ASSERT_TRUE(t->skip(2).isOk());
  EXPECT_EQ(t->recno(), 5u);

  // go() reaches deleted records; recall brings one back.
  ASSERT_TRUE(t->go(1).isOk());
  EXPECT_TRUE(t->deleted());
  EXPECT_EQ(t->str("NOMBRE").substr(0, 2), "P1");
  ASSERT_TRUE(t->recall().isOk());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 3, 4, 5}));
  EXPECT_EQ(t->go(0).code(), ErrorCode::Invalid);
  EXPECT_EQ(t->go(99).code(), ErrorCode::Invalid);
  EXPECT_TRUE(t->go(7).isOk());  // one past the end is end of file
  EXPECT_TRUE(t->eof());

  ASSERT_TRUE(t->go(3).isOk());
  std::string raw = t->rawRecord();
  EXPECT_EQ(raw.size(), 6u + 20 + 10 + 8 + 1);
  ASSERT_TRUE(t->go(4).isOk());
  ASSERT_TRUE(t->replaceRaw(raw).isOk());
  EXPECT_EQ(t->str("CODIGO"), "C3    ");
  EXPECT_FALSE(t->deleted());
  EXPECT_EQ(t->replaceRaw("short").code(), ErrorCode::Invalid);

  // All deleted: top and bottom are end of file.
  for (uint32_t n = 1; n <= 6; ++n) {
    ASSERT_TRUE(t->go(n).isOk());
    ASSERT_TRUE(t->markDeleted().isOk());
  }
  ASSERT_TRUE(t->goTop().isOk());
  EXPECT_TRUE(t->eof());
  ASSERT_TRUE(t->goBottom().isOk());
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->markDeleted().code(), ErrorCode::Invalid);  // no current record
}

TEST_F(TableTest, RecordsWalkerSeesEveryRecordWithFlag) {
  auto t = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  addPeople(*t, 3);
  ASSERT_TRUE(t->go(2).isOk());
  ASSERT_TRUE(t->markDeleted().isOk());
  std::vector<std::string> seen;
  ASSERT_TRUE(t->records()([&](uint32_t n, std::string_view r) {
    seen.push_back(std::to_string(n) + std::string(r.substr(0, 3)));
    return Status::ok();
  }).isOk());
  EXPECT_EQ(seen, (std::vector<std::string>{"1 C1", "2*C2", "3 C3"}));
  // A walker callback's error stops the walk and comes back.
  int calls = 0;
  Status st = t->records()([&](uint32_t, std::string_view) {
    ++calls;
    return Status::invalid("alto");
  });
  EXPECT_EQ(st.code(), ErrorCode::Invalid);
  EXPECT_EQ(calls, 1);
}

TEST_F(TableTest, DuplicateFieldNames) {
  std::string p = dir_.file("dup.dbf");
  ASSERT_TRUE(Table::create(platformFileSystem(), p, {{"IMPORTE", 'N', 8, 2}, {"CODIGO", 'C', 3, 0},
                                                   {"importe", 'N', 8, 2}})
                  .isOk());
  auto t = openOk(p, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->fieldCount(), 3);
  EXPECT_EQ(t->fieldIndex("IMPORTE"), 0);  // by name reaches the first
  ASSERT_TRUE(t->appendBlank().isOk());
  ASSERT_TRUE(t->replace("IMPORTE", 5.0).isOk());
  EXPECT_DOUBLE_EQ(t->num(0), 5.0);
  EXPECT_DOUBLE_EQ(t->num(2), 0.0);
  std::string raw = t->rawRecord();
  raw.replace(11, 8, "    7.25");  // the second IMPORTE
  ASSERT_TRUE(t->replaceRaw(raw).isOk());
  EXPECT_DOUBLE_EQ(t->num(2), 7.25);

  // Copies of the structure keep both, and whole-record copies carry both values.
  std::string copy = dir_.file("dupcopy.dbf");
  ASSERT_TRUE(t->copyStructure(copy).isOk());
  auto c = openOk(copy, OpenMode::Exclusive);
  ASSERT_TRUE(c);
  ASSERT_EQ(c->fieldCount(), 3);
  EXPECT_EQ(c->field(2).name, "IMPORTE");
  ASSERT_TRUE(c->appendBlank().isOk());
  ASSERT_TRUE(c->replaceRaw(t->rawRecord()).isOk());
  EXPECT_DOUBLE_EQ(c->num(0), 5.0);
  EXPECT_DOUBLE_EQ(c->num(2), 7.25);
}

TEST_F(TableTest, CopyStructureAndAppendFromByName) {
  auto src = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(src);
  addPeople(*src, 5);
  ASSERT_TRUE(src->go(2).isOk());
  ASSERT_TRUE(src->replace("INGRESO", Date(2015, 1, 2)).isOk());
  ASSERT_TRUE(src->replaceLogical("ACTIVO", true).isOk());
  ASSERT_TRUE(src->go(4).isOk());
  ASSERT_TRUE(src->markDeleted().isOk());
  src->close();

  // Another layout: fields in another order, one missing, one extra, other widths.
  std::string dst = dir_.file("resumen.dbf");
  ASSERT_TRUE(Table::create(platformFileSystem(), dst,
                            {{"SUELDO", 'N', 12, 3}, {"EXTRA", 'C', 4, 0}, {"codigo", 'C', 2, 0},
                             {"INGRESO", 'D', 8, 0}, {"ACTIVO", 'L', 1, 0}})
                  .isOk());
  auto t = openOk(dst, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->appendFrom(path_).isOk());
  EXPECT_EQ(t->recordCount(), 4u);  // the deleted record is not copied
  std::vector<std::string> codes;
  ASSERT_TRUE(t->goTop().isOk());
  while (!t->eof()) {
    codes.push_back(t->str("CODIGO"));
    EXPECT_EQ(t->str("EXTRA"), "    ");
    ASSERT_TRUE(t->skip().isOk());
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"C1", "C2", "C3", "C5"}));
  ASSERT_TRUE(t->go(2).isOk());
  EXPECT_EQ(t->str("SUELDO"), "     200.000");
  EXPECT_EQ(t->date("INGRESO"), Date(2015, 1, 2));
  EXPECT_TRUE(t->logical("ACTIVO"));
  ASSERT_TRUE(t->go(4).isOk());
  EXPECT_DOUBLE_EQ(t->num("SUELDO"), 500.0);

  // A number that does not fit the destination is an error, never asterisks.
  std::string narrow = dir_.file("narrow.dbf");
  ASSERT_TRUE(Table::create(platformFileSystem(), narrow, {{"SUELDO", 'N', 2, 0}}).isOk());
  auto n = openOk(narrow, OpenMode::Exclusive);
  ASSERT_TRUE(n);
  Status st = n->appendFrom(path_);
  EXPECT_EQ(st.code(), ErrorCode::Invalid);
  EXPECT_EQ(n->recordCount(), 0u);
  EXPECT_EQ(n->appendFrom(dir_.file("nada.dbf")).code(), ErrorCode::NotFound);
}

// Appending by name: a name held twice is matched occurrence by occurrence, and only a
// pair of types that converts is matched at all.
TEST(MatchFieldsByName, OccurrenceAndTypeDecide) {
  struct Case {
    std::vector<FieldSpec> to, from;
    std::vector<int> want;
  };
  const Case cases[] = {
      // The second MOVILI of the new layout has no counterpart in an old one with one.
      {{{"nombre", 'C', 9, 0}, {"MOVILI", 'N', 7, 2}, {"movili", 'N', 10, 2}},
       {{"movili", 'N', 9, 2}, {"NOMBRE", 'C', 4, 0}},
       {1, 0, -1}},
      // Same layout: each to its own.
      {{{"M", 'N', 7, 2}, {"M", 'N', 10, 2}}, {{"M", 'N', 7, 2}, {"M", 'N', 10, 2}}, {0, 1}},
      // Text into a number, a number into a date: no match; a date into a date and a
      // logical into a logical: matched.
      {{{"A", 'N', 5, 0}, {"B", 'D', 8, 0}, {"C", 'D', 8, 0}, {"L", 'L', 1, 0}},
       {{"A", 'C', 5, 0}, {"B", 'N', 8, 0}, {"C", 'D', 8, 0}, {"L", 'L', 1, 0}},
       {-1, -1, 2, 3}},
  };
  for (const Case& c : cases) EXPECT_EQ(matchFieldsByName(c.to, c.from), c.want);
}

TEST_F(TableTest, PackRemovesDeletedRecordsInOrder) {
  auto t = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  addPeople(*t, 7);
  for (uint32_t n : {1u, 4u, 5u, 7u}) {
    ASSERT_TRUE(t->go(n).isOk());
    ASSERT_TRUE(t->markDeleted().isOk());
  }
  ASSERT_TRUE(t->pack().isOk());
  EXPECT_EQ(t->recordCount(), 3u);
  std::vector<std::string> codes;
  ASSERT_TRUE(t->goTop().isOk());
  while (!t->eof()) {
    codes.push_back(t->str("CODIGO"));
    EXPECT_FALSE(t->deleted());
    ASSERT_TRUE(t->skip().isOk());
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"C2    ", "C3    ", "C6    "}));
  t->close();
  std::string bytes = testing::readAll(path_);
  dbf::Layout l;
  ASSERT_TRUE(dbf::decodeLayout(bytes, &l).isOk());
  EXPECT_EQ(l.header.recordCount, 3u);
  EXPECT_EQ(bytes.size(), dbf::dataEnd(l.header) + 1);
  EXPECT_EQ(bytes.back(), 0x1A);

  auto s = openOk(path_, OpenMode::Shared);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->pack().code(), ErrorCode::Invalid);  // exclusive only
}

TEST_F(TableTest, ExclusiveAndSharedRefuseEachOther) {
  FileSystem& fs = platformFileSystem();
  {
    auto a = openOk(path_, OpenMode::Shared);
    auto b = openOk(dir_.file("PERSONAS.DBF"), OpenMode::Shared);  // two shared opens are fine
    ASSERT_TRUE(a && b);
    auto x = Table::open(fs, path_, OpenMode::Exclusive);
    ASSERT_FALSE(x.isOk());
    EXPECT_EQ(x.status().code(), ErrorCode::InUse);
    EXPECT_NE(x.status().message().find("en uso"), std::string::npos);
    // Re-creating, deleting or renaming the table in use is refused too.
    EXPECT_EQ(Table::create(fs, path_, personFields()).code(), ErrorCode::InUse);
    EXPECT_EQ(fs.remove(path_).code(), ErrorCode::InUse);
    a->close();
    EXPECT_EQ(Table::open(fs, path_, OpenMode::Exclusive).status().code(), ErrorCode::InUse);
  }
  {
    auto x = openOk(path_, OpenMode::Exclusive);
    ASSERT_TRUE(x);
    EXPECT_EQ(Table::open(fs, path_, OpenMode::Shared).status().code(), ErrorCode::InUse);
    EXPECT_EQ(Table::open(fs, path_, OpenMode::Exclusive).status().code(), ErrorCode::InUse);
    EXPECT_EQ(Table::openReadOnly(fs, path_).status().code(), ErrorCode::InUse);
    EXPECT_EQ(fs.remove(path_).code(), ErrorCode::InUse);
  }
  auto again = openOk(path_, OpenMode::Exclusive);  // closing released it
  ASSERT_TRUE(again);
  again.reset();
  EXPECT_TRUE(fs.remove(path_).isOk());
}

TEST_F(TableTest, RecordLocksBetweenStations) {
  auto a = openOk(path_, OpenMode::Shared);
  auto b = openOk(path_, OpenMode::Shared);
  ASSERT_TRUE(a && b);
  addPeople(*a, 3);
  ASSERT_TRUE(a->go(2).isOk());
  ASSERT_TRUE(a->lockRecord().isOk());
  ASSERT_TRUE(b->go(2).isOk());
  Status st = b->lockRecord();
  EXPECT_EQ(st.code(), ErrorCode::Locked);
  // Without the lock, a change by the other station is refused and writes nothing.
  EXPECT_EQ(b->replace("NOMBRE", "OTRO").code(), ErrorCode::Locked);
  EXPECT_EQ(b->markDeleted().code(), ErrorCode::Locked);
  ASSERT_TRUE(b->go(3).isOk());
  EXPECT_TRUE(b->lockRecord().isOk());  // another record is free
  ASSERT_TRUE(a->replace("NOMBRE", "CAMBIADO").isOk());
  a->unlockAll();
  ASSERT_TRUE(b->go(2).isOk());
  EXPECT_TRUE(b->lockRecord().isOk());
  EXPECT_EQ(b->str("NOMBRE").substr(0, 8), "CAMBIADO");
  EXPECT_FALSE(b->deleted());
  // A change with no lock held takes one for itself and lets it go.
  b->unlockAll();
  ASSERT_TRUE(a->go(2).isOk());
  ASSERT_TRUE(a->replace("NOMBRE", "SIN LOCK").isOk());
  EXPECT_TRUE(b->lockRecord().isOk());

  // A new record stays locked by the station that appended it.
  ASSERT_TRUE(a->appendBlank().isOk());
  uint32_t n = a->recno();
  ASSERT_TRUE(b->go(n).isOk());
  EXPECT_EQ(b->lockRecord().code(), ErrorCode::Locked);
  a->unlockAll();
  EXPECT_TRUE(b->lockRecord().isOk());
}

TEST_F(TableTest, StationsSeeEachOthersAppendsAndChanges) {
  auto a = openOk(path_, OpenMode::Shared);
  auto b = openOk(path_, OpenMode::Shared);
  ASSERT_TRUE(a && b);
  addPeople(*a, 2);
  EXPECT_EQ(b->recordCount(), 2u);
  ASSERT_TRUE(b->goBottom().isOk());
  EXPECT_EQ(b->recno(), 2u);
  addPeople(*b, 2, 3);  // b's appends land after a's, never on them
  EXPECT_EQ(a->recordCount(), 4u);
  EXPECT_EQ(walk(*a), (std::vector<uint32_t>{1, 2, 3, 4}));
  ASSERT_TRUE(a->go(4).isOk());
  EXPECT_EQ(a->str("CODIGO"), "C4    ");
  ASSERT_TRUE(b->go(4).isOk());
  ASSERT_TRUE(b->replace("CODIGO", "Z9").isOk());
  EXPECT_EQ(a->str("CODIGO"), "Z9    ");  // read again on use
  ASSERT_TRUE(b->markDeleted().isOk());
  EXPECT_TRUE(a->deleted());
  EXPECT_EQ(walk(*a), (std::vector<uint32_t>{1, 2, 3}));
  b->unlockAll();
}

TEST_F(TableTest, ClosedTableRefusesWork) {
  auto t = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  addPeople(*t, 1);
  t->close();
  EXPECT_FALSE(t->goTop().isOk());
  EXPECT_FALSE(t->appendBlank().isOk());
  EXPECT_FALSE(t->seek("C1"));
  EXPECT_EQ(t->str("CODIGO").find_first_not_of(' '), std::string::npos);
  t->close();  // twice is harmless
}

TEST_F(TableTest, DamagedFilesGiveNamedErrors) {
  {
    auto t = openOk(path_, OpenMode::Exclusive);
    ASSERT_TRUE(t);
    addPeople(*t, 5);
  }
  const std::string good = testing::readAll(path_);
  dbf::Layout l;
  ASSERT_TRUE(dbf::decodeLayout(good, &l).isOk());
  std::string p = dir_.file("bad.dbf");
  FileSystem& fs = platformFileSystem();

  // Truncations at every length.
  for (size_t len = 0; len < good.size(); len += (len < 200 ? 1 : 7)) {
    testing::writeAll(p, good.substr(0, len));
    auto t = Table::open(fs, p, OpenMode::Shared);
    if (len < dbf::dataEnd(l.header)) {
      ASSERT_FALSE(t.isOk()) << "length " << len;
      EXPECT_EQ(t.status().code(), ErrorCode::Corrupt) << len;
      EXPECT_NE(t.status().message().find("bad.dbf"), std::string::npos);
    } else {
      EXPECT_TRUE(t.isOk()) << len;  // only the end-of-file mark missing
    }
  }
  // Byte flips in the header and descriptors: an error or a table that reads.
  for (size_t i = 0; i < l.header.headerLength; ++i) {
    for (int bit : {0, 3, 7}) {
      std::string b = good;
      b[i] = static_cast<char>(b[i] ^ (1 << bit));
      testing::writeAll(p, b);
      auto t = Table::open(fs, p, OpenMode::Shared);
      if (!t) {
        EXPECT_EQ(t.status().code(), ErrorCode::Corrupt) << "byte " << i;
        continue;
      }
      (void)(*t)->goTop();
      int guard = 0;
      while (!(*t)->eof() && guard++ < 100) {
        for (int f = 0; f < (*t)->fieldCount(); ++f) (void)(*t)->str(f);
        if (!(*t)->skip().isOk()) break;
      }
      EXPECT_LT(guard, 100);
    }
  }
}

}  // namespace
}  // namespace planilla

namespace planilla {
namespace {

// The data stays below the lock bytes: record n is locked at 0x7FFFFFFE - n, and
// Windows would bar every other station from reading a record written over a held
// lock. A table grown to that edge refuses the next append and stays as it was.
TEST_F(TableTest, AppendStopsBeforeTheLockBytes) {
  dbf::Layout l;
  ASSERT_TRUE(dbf::decodeLayout(testing::readAll(path_), &l).isOk());
  const uint64_t h = l.header.headerLength, len = l.header.recordLength;
  // Record n ends, with the end-of-file mark, at h + n*len; its lock byte is at
  // 0x7FFFFFFE - n. The last record that fits has h + n*len < 0x7FFFFFFE - n, that is
  // n < (0x7FFFFFFE - h) / (len + 1). For the 46-byte records here, some 45.7 million.
  const uint64_t last = (0x7FFFFFFEull - h - 1) / (len + 1);
  ASSERT_LT(h + last * len, 0x7FFFFFFEull - last);
  ASSERT_GE(h + (last + 1) * len, 0x7FFFFFFEull - (last + 1));
  {
    // The count one short of the edge, over a sparse file of that size.
    std::fstream f(platform::fsPath(path_), std::ios::in | std::ios::out | std::ios::binary);
    const uint32_t count = static_cast<uint32_t>(last - 1);
    const char le[4] = {static_cast<char>(count), static_cast<char>(count >> 8), static_cast<char>(count >> 16),
                        static_cast<char>(count >> 24)};
    f.seekp(4);
    f.write(le, 4);
  }
  std::filesystem::resize_file(platform::fsPath(path_), h + (last - 1) * len + 1);
  auto t = openOk(path_, OpenMode::Shared);
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->appendBlank().isOk());  // record `last`
  t->unlockAll();
  const uint64_t size = std::filesystem::file_size(platform::fsPath(path_));
  const Status st = t->appendBlank();
  EXPECT_EQ(st.code(), ErrorCode::Invalid) << st.message();
  EXPECT_NE(st.message().find("tamano maximo"), std::string::npos) << st.message();
  EXPECT_EQ(t->recordCount(), static_cast<uint32_t>(last));
  EXPECT_EQ(std::filesystem::file_size(platform::fsPath(path_)), size);
}

TEST_F(TableTest, AppendRawWritesAWholeRecord) {
  auto t = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  std::string raw = "X1    " + std::string("Nombre") + std::string(14, ' ') + "     10.50" + "20240229" + "T";
  ASSERT_TRUE(t->appendRaw(raw).isOk());
  EXPECT_EQ(t->recno(), 1u);
  EXPECT_EQ(t->str("CODIGO"), "X1    ");
  EXPECT_DOUBLE_EQ(t->num("SUELDO"), 10.5);
  EXPECT_EQ(t->date("INGRESO"), Date(2024, 2, 29));
  EXPECT_TRUE(t->logical("ACTIVO"));
  EXPECT_EQ(t->rawRecord(), raw);
  EXPECT_EQ(t->appendRaw("corto").code(), ErrorCode::Invalid);
  EXPECT_EQ(t->recordCount(), 1u);
}

// Stations in separate processes: exclusive use refuses them, and appends from
// several processes at once are neither lost nor written over each other.
TEST_F(TableTest, ProcessesShareAndRefuseAcrossTheSystem) {
  constexpr int kProcs = 3, kEach = 300;
  if (auto station = testing::stationRole()) {
    const std::string table = station->dir + "/personas.dbf";
    if (station->role == "exclusive") {
      auto t = Table::open(platformFileSystem(), table, OpenMode::Exclusive);
      ASSERT_TRUE(t.isOk()) << t.status().message();
      testing::signalDone(station->dir, "held");
      ASSERT_TRUE(testing::awaitSignal(station->dir, "release"));
      return;
    }
    const std::string p = station->role.substr(1);  // "a0", "a1", ...
    auto t = Table::open(platformFileSystem(), table, OpenMode::Shared);
    ASSERT_TRUE(t.isOk()) << t.status().message();
    for (int i = 0; i < kEach; ++i) {
      char code[32];
      std::snprintf(code, sizeof code, "%s%05d", p.c_str(), i);
      ASSERT_TRUE((*t)->appendBlank().isOk());
      ASSERT_TRUE((*t)->replace("CODIGO", code).isOk());
      (*t)->unlockAll();
    }
    return;
  }
  {
    testing::StationProcess holder;
    ASSERT_TRUE(holder.start("exclusive", dir_.path()));
    ASSERT_TRUE(testing::awaitSignal(dir_.path(), "held"));
    EXPECT_EQ(Table::open(platformFileSystem(), path_, OpenMode::Shared).status().code(), ErrorCode::InUse);
    EXPECT_EQ(platformFileSystem().remove(path_).code(), ErrorCode::InUse);
    testing::signalDone(dir_.path(), "release");
    EXPECT_EQ(holder.wait(), 0);
  }

  // Three processes append 300 records each to one shared table.
  std::vector<std::unique_ptr<testing::StationProcess>> kids;
  for (int p = 0; p < kProcs; ++p) {
    kids.push_back(std::make_unique<testing::StationProcess>());
    ASSERT_TRUE(kids.back()->start("a" + std::to_string(p), dir_.path()));
  }
  for (auto& k : kids) EXPECT_EQ(k->wait(), 0);
  auto t = openOk(path_, OpenMode::Exclusive);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recordCount(), static_cast<uint32_t>(kProcs * kEach));
  std::set<std::string> codes;
  ASSERT_TRUE(t->goTop().isOk());
  while (!t->eof()) {
    codes.insert(t->str("CODIGO"));
    ASSERT_TRUE(t->skip().isOk());
  }
  EXPECT_EQ(codes.size(), static_cast<size_t>(kProcs * kEach));  // none lost, none overwritten
}

}  // namespace
}  // namespace planilla
