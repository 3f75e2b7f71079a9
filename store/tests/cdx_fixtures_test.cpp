// Every tag of every index file in the shared FoxPro fixtures walks exactly as
// expected_keys.json records, forwards and backwards, seeks find every key, and the
// keys the engine computes from the records agree with the ones FoxPro stored.
#include <gtest/gtest.h>
#include "test_paths.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include "store/expr.h"
#include "store/index.h"
#include "store/io.h"
#include "store/tests/cdx_test_util.h"

namespace planilla {
namespace {

using cdxtest::FixtureTable;
using cdxtest::Json;

const std::string kFixtures = std::string(PLANILLA_SHARED_DIR) + "/fixtures";

struct Expected {
  bool ok = false;
  Json root;
};

const Expected& expected() {
  static Expected e = [] {
    Expected x;
    std::string text = cdxtest::slurp(kFixtures + "/expected_keys.json");
    size_t i = 0;
    x.ok = !text.empty() && Json::parse(text, i, x.root) && x.root.kind == Json::Obj;
    return x;
  }();
  return e;
}

// The table an index file belongs to: same base name, .dbf (or .dbc for a .dcx).
std::string tableFor(const std::string& indexPath) {
  std::filesystem::path p(indexPath);
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string base = (p.parent_path() / p.stem()).string();
  return platformFileSystem().resolve(base + (ext == ".dcx" ? ".dbc" : ".dbf"));
}

class CdxFixtures : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kFixtures + "/expected_keys.json"))
      GTEST_SKIP() << "no estan los archivos de prueba compartidos en " << kFixtures;
    ASSERT_TRUE(expected().ok) << "expected_keys.json ilegible";
  }
};

TEST_F(CdxFixtures, EveryTagWalksAsExpectedBothWays) {
  int tagsChecked = 0;
  for (const auto& [file, tags] : expected().root.obj) {
    SCOPED_TRACE(file);
    std::string path = kFixtures + "/" + file;
    FixtureTable table(tableFor(path));
    ASSERT_TRUE(table.ok) << "tabla de " << file;
    auto bag = IndexBag::open(platformFileSystem(), path, table.layout, false);
    ASSERT_TRUE(bag.isOk()) << bag.status().message();
    ASSERT_EQ(bag.value()->tagCount(), static_cast<int>(tags.obj.size()));
    for (const auto& [name, want] : tags.obj) {
      SCOPED_TRACE(name);
      int ti = bag.value()->findTag(name);
      ASSERT_GE(ti, 0);
      IndexTag& tag = bag.value()->tag(ti);
      EXPECT_EQ(tag.keyText(), want["expr"].str);
      EXPECT_EQ(tag.forText(), want["forexpr"].str);
      EXPECT_EQ(tag.keyLength(), static_cast<int>(want["keylen"].num));
      EXPECT_TRUE(tag.evaluable()) << "la expresion " << tag.keyText() << " debe compilar";
      // The expected keys restore compressed trailing bytes as blanks for every tag;
      // binary keys (numbers, dates) are compressed over zero bytes instead.
      auto kx = KeyExpr::compile(tag.keyText(), table.layout);
      bool binary = kx.isOk() && kx.value()->type() != KeyExpr::Type::Char;
      std::vector<IndexEntry> walked;
      ASSERT_TRUE(cdxtest::walkTag(tag, walked).isOk());
      const auto& keys = want["keys"].arr;
      ASSERT_EQ(walked.size(), keys.size());
      for (size_t i = 0; i < keys.size(); ++i) {
        std::string k = cdxtest::unhex(keys[i].arr[0].str);
        if (binary) {
          size_t e = k.size();
          while (e > 0 && k[e - 1] == ' ') k[--e] = '\0';
        }
        EXPECT_EQ(cdxtest::hex(walked[i].key), cdxtest::hex(k)) << "entrada " << i;
        EXPECT_EQ(walked[i].recno, static_cast<uint32_t>(keys[i].arr[1].num)) << "entrada " << i;
      }
      // Backwards from the last entry gives the same list reversed.
      std::vector<IndexEntry> back;
      auto l = tag.last();
      ASSERT_TRUE(l.isOk());
      std::optional<IndexEntry> e = l.value();
      while (e && back.size() <= walked.size()) {
        back.push_back(*e);
        auto p = tag.prev(*e);
        ASSERT_TRUE(p.isOk());
        e = p.value();
      }
      ASSERT_EQ(back.size(), walked.size());
      for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].key, walked[walked.size() - 1 - i].key);
        EXPECT_EQ(back[i].recno, walked[walked.size() - 1 - i].recno);
      }
      // A seek of every key lands on its first occurrence.
      for (size_t i = 0; i < walked.size(); ++i) {
        if (i > 0 && walked[i - 1].key == walked[i].key) continue;
        auto f = tag.lowerBound(walked[i].key);
        ASSERT_TRUE(f.isOk());
        ASSERT_TRUE(f.value().has_value());
        EXPECT_EQ(f.value()->recno, walked[i].recno);
      }
      ++tagsChecked;
    }
  }
  EXPECT_GE(tagsChecked, 30);
}

TEST_F(CdxFixtures, KeysComputedFromRecordsMatchTheStoredOnes) {
  for (const auto& [file, tags] : expected().root.obj) {
    SCOPED_TRACE(file);
    std::string path = kFixtures + "/" + file;
    FixtureTable table(tableFor(path));
    ASSERT_TRUE(table.ok);
    auto bag = IndexBag::open(platformFileSystem(), path, table.layout, false);
    ASSERT_TRUE(bag.isOk()) << bag.status().message();
    std::vector<std::string> problems;
    ASSERT_TRUE(bag.value()->verify(table.walker(), problems).isOk());
    for (const auto& p : problems) ADD_FAILURE() << p;
  }
}

TEST_F(CdxFixtures, TagsComeInCreationOrder) {
  std::string out;
  if (cdxtest::run("python3 --version 2>/dev/null", &out) != 0) GTEST_SKIP() << "python3 no esta instalado";
  for (const auto& [file, tags] : expected().root.obj) {
    SCOPED_TRACE(file);
    std::string path = kFixtures + "/" + file;
    ASSERT_EQ(cdxtest::run("python3 '" + std::string(PLANILLA_SHARED_DIR) + "/tools/cdxdump.py' '" + path + "'", &out), 0);
    // "TAG NAME @0x600: ..." lines, sorted by header offset.
    std::vector<std::pair<long, std::string>> byOffset;
    std::regex re("TAG (\\S+) @0x([0-9a-f]+):");
    for (std::sregex_iterator it(out.begin(), out.end(), re), end; it != end; ++it)
      byOffset.emplace_back(std::stol((*it)[2].str(), nullptr, 16), (*it)[1].str());
    std::sort(byOffset.begin(), byOffset.end());
    FixtureTable table(tableFor(path));
    auto bag = IndexBag::open(platformFileSystem(), path, table.layout, false);
    ASSERT_TRUE(bag.isOk());
    ASSERT_EQ(bag.value()->tagCount(), static_cast<int>(byOffset.size()));
    for (int i = 0; i < bag.value()->tagCount(); ++i) EXPECT_EQ(bag.value()->tag(i).name(), byOffset[i].second);
  }
}

}  // namespace
}  // namespace planilla
