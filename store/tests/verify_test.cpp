// The consistency check on tables as other programs and interrupted writers leave
// them: what lies past the last record, amounts that are not numbers, the mark of a
// rebuild cut short; and every table of the shared FoxPro fixtures passes.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "store/dbf_format.h"
#include "store/tests/store_test_util.h"
#include "store/verify.h"

namespace planilla {
namespace {

std::string lines(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += s + "\n";
  return out;
}

TEST(Verify, WhatLiesPastTheRecordsAndInsideTheAmounts) {
  testing::ScratchDir dir;
  const std::string table = dir.file("pagos.dbf");
  ASSERT_TRUE(
      Table::create(platformFileSystem(), table, {{"CODIGO", 'C', 4, 0}, {"SUELDO", 'N', 8, 2}, {"TASA", 'F', 6, 2}})
          .isOk());
  {
    auto t = Table::open(platformFileSystem(), table, OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    ASSERT_TRUE((*t)->appendRaw("A001 1500.00  1.50").isOk());
    ASSERT_TRUE((*t)->appendRaw("A002              ").isOk());  // blank amounts are 0, not damage
  }
  // Header 32 + 3 x 32 + 1 = 129 bytes; records of 1 + 4 + 8 + 6 = 19 bytes at 129 and
  // 148; the end mark at 167.
  const std::string good = testing::readAll(table);
  ASSERT_EQ(good.size(), 168u);
  ASSERT_EQ(good.back(), '\x1A');
  const std::string records = good.substr(0, 167);
  auto with = [&](size_t at, const std::string& bytes) {
    std::string b = good;
    b.replace(at, bytes.size(), bytes);
    return b;
  };
  std::string marked = good;
  marked[dbf::kRebuildMarkOffset] = static_cast<char>(dbf::kRebuildMark);

  struct Case {
    const char* what;
    std::string bytes, problems, notes;
  };
  const std::vector<Case> cases = {
      {"sound", good, "", ""},
      // Another program's ending, as rooms.dbf of the fixtures has it.
      {"line feed after the end mark", good + "\n", "",
       "pagos.dbf: 1 byte(s) despues de la marca de fin de archivo; no forman parte de la tabla\n"},
      {"padding after the end mark", good + std::string(40, '\0'), "",
       "pagos.dbf: 40 byte(s) despues de la marca de fin de archivo; no forman parte de la tabla\n"},
      // An append cut short: its record where the end mark was, whole or in part.
      {"a whole record without its end mark", records + " A003  700.00  0.00",
       "pagos.dbf: agregado que no termino: 1 registro(s) despues del registro 2, el ultimo que cuenta el "
       "encabezado\n",
       ""},
      {"part of a record", records + " A003  70", "pagos.dbf: 9 bytes sobrantes despues del ultimo registro\n", ""},
      // Record 2's SUELDO is at 148 + 1 + 4 = 153, its TASA at 161.
      {"asterisks", with(153, "********"), "Dato No Numerico En pagos.dbf, Registro 2, Campo SUELDO (********)\n", ""},
      {"NUL bytes", with(153, std::string(8, '\0')),
       "Dato No Numerico En pagos.dbf, Registro 2, Campo SUELDO (" + std::string(8, '?') + ")\n", ""},
      {"a decimal comma in an F field", with(161, "  1,50"),
       "Dato No Numerico En pagos.dbf, Registro 2, Campo TASA (1,50)\n", ""},
      {"the mark of a rebuild cut short", marked,
       "pagos.dbf: la reconstruccion de sus indices quedo a medias; reindexe la tabla\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::writeAll(table, c.bytes);
    std::vector<std::string> problems, notes;
    ASSERT_TRUE(verifyTable(platformFileSystem(), table, {}, problems, {}, &notes).isOk());
    EXPECT_EQ(lines(problems), c.problems);
    EXPECT_EQ(lines(notes), c.notes);
  }
}

// As `planilla verificar TABLE` checks a table of another program: with the index bag
// of the same name when there is one.
TEST(Verify, EveryFixtureTablePasses) {
  const std::string root = testing::sharedDir() + "/fixtures";
  if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no estan los archivos de prueba compartidos en " << root;
  int tables = 0;
  std::string roomsNotes;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".dbf" && ext != ".dbc") continue;
    const std::string path = e.path().string();
    SCOPED_TRACE(path);
    std::vector<std::string> bags, problems, notes;
    if (std::string bag = companionBag(platformFileSystem(), path); !bag.empty()) bags.push_back(bag);
    ASSERT_TRUE(verifyTable(platformFileSystem(), path, bags, problems, {}, &notes).isOk());
    EXPECT_EQ(lines(problems), "");
    if (e.path().filename() == "rooms.dbf") roomsNotes = lines(notes);
    ++tables;
  }
  EXPECT_GE(tables, 13);
  // rooms.dbf ends with its end mark and a line feed.
  EXPECT_EQ(roomsNotes, "rooms.dbf: 1 byte(s) despues de la marca de fin de archivo; no forman parte de la tabla\n");
}

}  // namespace
}  // namespace planilla
