// The browse list over a real table of the storage engine: controlling order,
// deleted records hidden, the table's position kept, a seek followed by stabilize.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "store/table.h"
#include "ui/scripted.h"
#include "ui/toolkit.h"

namespace planilla::ui {
namespace {

class BrowseOverStore : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("ui_browse_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& n) const { return (dir_ / n).string(); }
  std::filesystem::path dir_;
};

TEST_F(BrowseOverStore, ListsByCodeAndFollowsSeeks) {
  FileSystem& fs = platformFileSystem();
  ASSERT_TRUE(Table::create(fs, path("bmae0101.dbf"), {{"CODIGO", 'C', 4, 0}, {"NOMBRE", 'C', 30, 0}}).isOk());
  auto opened = Table::open(fs, path("bmae0101.dbf"), OpenMode::Exclusive, "Costos");
  ASSERT_TRUE(opened.isOk()) << opened.status().message();
  Table& t = *opened.value();
  ASSERT_TRUE(t.createTag(path("bmae0101.cdx"), "codigo", "CODIGO").isOk());
  const char* rows[][2] = {{"0003", "INTERBANK"}, {"0001", "CREDITO"}, {"0004", "SCOTIABANK"}, {"0002", "CONTINENTAL"}};
  for (auto& r : rows) {
    ASSERT_TRUE(t.appendBlank().isOk());
    ASSERT_TRUE(t.replace("CODIGO", r[0]).isOk());
    ASSERT_TRUE(t.replace("NOMBRE", r[1]).isOk());
  }
  ASSERT_TRUE(t.setOrder(1).isOk());
  ASSERT_TRUE(t.seek("0004"));
  ASSERT_TRUE(t.markDeleted().isOk());
  ASSERT_TRUE(t.goTop().isOk());

  ScriptedToolkit tk;
  Dialog dlg(tk, "MANTE02", "Maestro de Bancos");
  Browse& b = dlg.browse(101, t).headers({"CODIGO", "DESCRIPCION"}).widths({60, 350}).line([&] {
    return std::vector<std::string>{t.str("CODIGO"), t.str("NOMBRE")};
  });
  EXPECT_EQ(b.rowCount(), 3);
  EXPECT_EQ(b.row(0).at(0), "0001");
  EXPECT_EQ(b.row(2).at(0), "0003");
  EXPECT_EQ(t.str("CODIGO"), "0001");  // still where the screen left it
  ASSERT_TRUE(t.seek("0003"));
  b.stabilize();
  EXPECT_EQ(b.currentRow(), 2);
  tk.expectDialog("MANTE02").pick(101, 2).close();
  dlg.activate();
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(t.str("CODIGO"), "0002");
  t.close();
}

}  // namespace
}  // namespace planilla::ui
