// Work areas: numbered slots with aliases and a current area.
#include "store/workarea.h"

#include <gtest/gtest.h>

#include "store_test_util.h"

namespace planilla {
namespace {

TEST(WorkAreas, SelectUseCloseByNumberAndAlias) {
  testing::ScratchDir dir;
  FileSystem& fs = platformFileSystem();
  ASSERT_TRUE(Table::create(fs, dir.file("bancos.dbf"), {{"CODIGO", 'C', 2, 0}}).isOk());
  ASSERT_TRUE(Table::create(fs, dir.file("pmae0101.dbf"), {{"CODIGO", 'C', 6, 0}}).isOk());

  WorkAreas wa(10);
  EXPECT_EQ(wa.capacity(), 10);
  EXPECT_EQ(wa.current(), 1);
  EXPECT_EQ(wa.table(), nullptr);
  auto b = wa.open(fs, 1, dir.file("BANCOS.DBF"), OpenMode::Shared);
  ASSERT_TRUE(b.isOk()) << b.status().message();
  EXPECT_EQ((*b)->alias(), "BANCOS");  // the file's base name by default
  ASSERT_TRUE(wa.select(0).isOk());    // lowest free area
  EXPECT_EQ(wa.current(), 2);
  auto m = wa.open(fs, 0, dir.file("pmae0101.dbf"), OpenMode::Shared, "maestro");
  ASSERT_TRUE(m.isOk());
  EXPECT_EQ(wa.table(2), *m);
  EXPECT_EQ(wa.find("MAESTRO"), *m);
  EXPECT_EQ(wa.areaOf("bancos"), 1);
  ASSERT_TRUE(wa.select("Bancos").isOk());
  EXPECT_EQ(wa.current(), 1);
  EXPECT_EQ(wa.table(), *b);
  EXPECT_EQ(wa.select("nada").code(), ErrorCode::NotFound);
  EXPECT_EQ(wa.select(11).code(), ErrorCode::Invalid);
  EXPECT_EQ(wa.select(-1).code(), ErrorCode::Invalid);
  EXPECT_EQ(wa.current(), 1);

  // One alias in one area only.
  auto dup = Table::open(fs, dir.file("bancos.dbf"), OpenMode::Shared, "MAESTRO");
  ASSERT_TRUE(dup.isOk());
  EXPECT_EQ(wa.use(3, std::move(dup).value()).code(), ErrorCode::Invalid);
  EXPECT_EQ(wa.table(3), nullptr);

  // Reopening in an occupied area closes what was there first.
  auto again = wa.open(fs, 2, dir.file("pmae0101.dbf"), OpenMode::Exclusive, "maestro");
  ASSERT_TRUE(again.isOk()) << again.status().message();
  EXPECT_EQ(wa.current(), 2);

  wa.close(1);
  EXPECT_EQ(wa.table(1), nullptr);
  EXPECT_EQ(wa.freeArea(), 1);
  wa.closeAll();
  EXPECT_EQ(wa.table(2), nullptr);
  EXPECT_EQ(wa.current(), 1);
  // Everything was really closed: the tables can be taken exclusively.
  EXPECT_TRUE(Table::open(fs, dir.file("pmae0101.dbf"), OpenMode::Exclusive).isOk());
  EXPECT_TRUE(Table::open(fs, dir.file("bancos.dbf"), OpenMode::Exclusive).isOk());
}

}  // namespace
}  // namespace planilla
