// Index bags written by the engine: bulk builds of every key kind read back in the
// right order (also by the independent readers), random maintenance checked against a
// model, sharing between stations, and damaged files that fail by name.
#include <gtest/gtest.h>
#include "test_paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "store/cdx_format.h"
#include "store/index.h"
#include "store/io.h"
#include "store/io_faulty.h"
#include "store/tests/cdx_test_util.h"

namespace planilla {
namespace {

using cdxtest::MemTable;
using cdxtest::TempDir;

FileSystem& fs() { return platformFileSystem(); }

std::string randomText(std::mt19937& rng, size_t maxLen, const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ") {
  size_t n = rng() % (maxLen + 1);
  size_t a = std::strlen(alphabet);
  std::string s;
  for (size_t i = 0; i < n; ++i) s += alphabet[rng() % a];
  return s;
}

MemTable employees(size_t n, uint32_t seed) {
  MemTable t;
  t.addField("CODIGO", 'C', 10);
  t.addField("NOMBRE", 'C', 30);
  t.addField("MES", 'C', 2);
  t.addField("SUELDO", 'N', 10, 2);
  t.addField("FECHA", 'D', 8);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < n; ++i) {
    size_t r = t.append();
    t.set(r, "CODIGO", "E" + std::to_string(rng() % 5000));
    t.set(r, "NOMBRE", randomText(rng, 25, "abcdefghijklmnopqrstuvwxyzABCDE \xd1\xf1"));
    char mes[3];
    std::snprintf(mes, sizeof mes, "%02u", 1 + static_cast<unsigned>(rng() % 12));
    t.set(r, "MES", mes);
    char num[32];
    std::snprintf(num, sizeof num, "%.2f", (static_cast<double>(rng() % 2000000) - 1000000) / 100.0);
    t.set(r, "SUELDO", num);
    if (rng() % 10) {
      char d[9];
      std::snprintf(d, sizeof d, "%04u%02u%02u", 1990 + static_cast<unsigned>(rng() % 40),
                    1 + static_cast<unsigned>(rng() % 12), 1 + static_cast<unsigned>(rng() % 28));
      t.set(r, "FECHA", d);
    }
    if (rng() % 7 == 0) t.setDeleted(r, true);
  }
  return t;
}

std::string field(const MemTable& t, size_t i, const std::string& name) {
  const FieldLayout& f = t.field(name);
  return t.records[i].substr(f.offset, static_cast<size_t>(f.width));
}

std::vector<uint32_t> recnos(const std::vector<IndexEntry>& es) {
  std::vector<uint32_t> r;
  for (const auto& e : es) r.push_back(e.recno);
  return r;
}

// Record numbers in the order a sort key gives them (ties by record number).
template <class K>
std::vector<uint32_t> orderBy(const MemTable& t, K key, bool (*admit)(const MemTable&, size_t) = nullptr) {
  using V = decltype(key(t, 0));
  std::vector<std::pair<V, uint32_t>> v;
  for (size_t i = 0; i < t.records.size(); ++i)
    if (!admit || admit(t, i)) v.emplace_back(key(t, i), static_cast<uint32_t>(i + 1));
  std::sort(v.begin(), v.end());
  std::vector<uint32_t> out;
  for (auto& p : v) out.push_back(p.second);
  return out;
}

TEST(CdxBag, EmptyBagReopensWithoutTags) {
  TempDir dir;
  MemTable t = employees(0, 1);
  {
    auto b = IndexBag::create(fs(), dir.file("vacio.cdx"), t.layout);
    ASSERT_TRUE(b.isOk()) << b.status().message();
    EXPECT_EQ(b.value()->tagCount(), 0);
  }
  EXPECT_EQ(cdxtest::slurp(dir.file("vacio.cdx")).size(), 1536u);
  auto b = IndexBag::open(fs(), dir.file("VACIO.CDX"), t.layout, true);  // any case
  ASSERT_TRUE(b.isOk()) << b.status().message();
  EXPECT_EQ(b.value()->tagCount(), 0);
  EXPECT_EQ(b.value()->findTag("CODIGO"), -1);
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  EXPECT_TRUE(problems.empty());
}

TEST(CdxBag, BulkBuildsOfEveryKeyKindWalkInValueOrder) {
  TempDir dir;
  MemTable t = employees(3000, 2);
  std::string path = dir.file("emp.cdx");
  {
    auto b = IndexBag::create(fs(), path, t.layout);
    ASSERT_TRUE(b.isOk());
    IndexBag& bag = *b.value();
    ASSERT_TRUE(bag.createTag("codigo", "codigo", "", t.walker()).isOk());
    ASSERT_TRUE(bag.createTag("NOMBRE", "UPPER(nombre)", "", t.walker()).isOk());
    ASSERT_TRUE(bag.createTag("MESCOD", "MES+CODIGO", "", t.walker()).isOk());
    ASSERT_TRUE(bag.createTag("SUELDO", "sueldo", "", t.walker()).isOk());
    ASSERT_TRUE(bag.createTag("FECHA", "fecha", "", t.walker()).isOk());
    ASSERT_TRUE(bag.createTag("MARZO", "codigo", "mes = '03' .AND. .NOT. DELETED()", t.walker()).isOk());
    ASSERT_TRUE(bag.createTag("DESCOD", "DTOS(fecha)+codigo", "", t.walker(), IndexBag::TagOptions{true}).isOk());
    Status bad = bag.createTag("MALA", "codigo+", "", t.walker());
    EXPECT_EQ(bad.code(), ErrorCode::Invalid);
    EXPECT_EQ(bag.createTag("NOMBRE_LARGO_X", "codigo", "", t.walker()).code(), ErrorCode::Invalid);
    EXPECT_EQ(bag.createTag("FORNUM", "codigo", "sueldo", t.walker()).code(), ErrorCode::Invalid);
    EXPECT_EQ(bag.tagCount(), 7);
  }
  auto b = IndexBag::open(fs(), path, t.layout, true);
  ASSERT_TRUE(b.isOk()) << b.status().message();
  IndexBag& bag = *b.value();
  ASSERT_EQ(bag.tagCount(), 7);
  const char* order[] = {"CODIGO", "NOMBRE", "MESCOD", "SUELDO", "FECHA", "MARZO", "DESCOD"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(bag.tag(i).name(), order[i]);

  auto walk = [&](const char* name) {
    std::vector<IndexEntry> es;
    EXPECT_TRUE(cdxtest::walkTag(bag.tag(bag.findTag(name)), es).isOk());
    return es;
  };
  auto codigo = walk("CODIGO");
  EXPECT_EQ(recnos(codigo), orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "CODIGO"); }));
  for (const auto& e : codigo) EXPECT_EQ(e.key, field(t, e.recno - 1, "CODIGO"));
  EXPECT_EQ(recnos(walk("NOMBRE")), orderBy(t, [](const MemTable& m, size_t i) {
              std::string s = field(m, i, "NOMBRE");
              for (char& c : s) {
                auto u = static_cast<unsigned char>(c);
                if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = static_cast<char>(u - 32);
              }
              return s;
            }));
  auto mescod = walk("MESCOD");
  EXPECT_EQ(bag.tag(bag.findTag("MESCOD")).keyLength(), 12);
  EXPECT_EQ(recnos(mescod), orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "MES") + field(m, i, "CODIGO"); }));
  EXPECT_EQ(recnos(walk("SUELDO")), orderBy(t, [](const MemTable& m, size_t i) { return std::stod(field(m, i, "SUELDO")); }));
  EXPECT_EQ(recnos(walk("FECHA")), orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "FECHA"); }));
  EXPECT_EQ(recnos(walk("MARZO")),
            orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "CODIGO"); },
                    [](const MemTable& m, size_t i) { return field(m, i, "MES") == "03" && m.records[i][0] != '*'; }));
  auto desc = recnos(walk("DESCOD"));
  auto asc = orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "FECHA") + field(m, i, "CODIGO"); });
  std::reverse(asc.begin(), asc.end());
  EXPECT_EQ(desc, asc);
  EXPECT_TRUE(bag.tag(bag.findTag("DESCOD")).descending());

  std::vector<std::string> problems;
  ASSERT_TRUE(bag.verify(t.walker(), problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
}

TEST(CdxBag, SeeksMatchPrefixesInBothDirections) {
  TempDir dir;
  MemTable t;
  t.addField("CODIGO", 'C', 6);
  for (const char* c : {"AA", "ABC", "B", "ABD", "ABC", "C"}) t.set(t.append(), "CODIGO", c);
  auto b = IndexBag::create(fs(), dir.file("s.cdx"), t.layout);
  ASSERT_TRUE(b.isOk());
  ASSERT_TRUE(b.value()->createTag("ASC", "codigo", "", t.walker()).isOk());
  ASSERT_TRUE(b.value()->createTag("DES", "codigo", "", t.walker(), IndexBag::TagOptions{true}).isOk());
  IndexTag& asc = b.value()->tag(0);
  IndexTag& des = b.value()->tag(1);
  auto at = [](IndexTag& tag, const std::string& k) {
    auto r = tag.lowerBound(k);
    EXPECT_TRUE(r.isOk());
    return r.value() ? std::to_string(r.value()->recno) + ":" + r.value()->key : std::string("fin");
  };
  EXPECT_EQ(at(asc, "AB"), "2:ABC   ");  // first key that begins with AB
  EXPECT_EQ(at(asc, "AAB"), "2:ABC   ");
  EXPECT_EQ(at(asc, "ABD"), "4:ABD   ");
  EXPECT_EQ(at(asc, "ABZ"), "3:B     ");
  EXPECT_EQ(at(asc, "D"), "fin");
  EXPECT_EQ(at(asc, ""), "1:AA    ");
  EXPECT_EQ(at(asc, "ABC   TOO LONG"), "2:ABC   ");
  // Descending: C, B, ABD, ABC(5), ABC(2), AA.
  EXPECT_EQ(at(des, "AB"), "4:ABD   ");
  EXPECT_EQ(at(des, "ABC"), "5:ABC   ");
  EXPECT_EQ(at(des, "BZ"), "3:B     ");
  EXPECT_EQ(at(des, "A"), "4:ABD   ");  // the first, in descending order, that begins with A
  EXPECT_EQ(at(des, "AA"), "1:AA    ");
  EXPECT_EQ(at(des, "0"), "fin");
  auto f = des.first();
  ASSERT_TRUE(f.isOk() && f.value());
  EXPECT_EQ(f.value()->recno, 6u);
  auto l = des.last();
  ASSERT_TRUE(l.isOk() && l.value());
  EXPECT_EQ(l.value()->recno, 1u);
  auto n = des.next(IndexEntry{"ABC   ", 5});
  ASSERT_TRUE(n.isOk() && n.value());
  EXPECT_EQ(n.value()->recno, 2u);
  auto p = des.prev(IndexEntry{"ABC   ", 5});
  ASSERT_TRUE(p.isOk() && p.value());
  EXPECT_EQ(p.value()->recno, 4u);
  // Navigation from an entry that is no longer there finds its place by key.
  auto gone = asc.next(IndexEntry{"ABCZ  ", 9});
  ASSERT_TRUE(gone.isOk() && gone.value());
  EXPECT_EQ(gone.value()->recno, 4u);
}

// Random inserts, removals and key changes against a model, on short keys (wide
// nodes) and long ones (a deep tree after a few hundred entries).
void randomMaintenance(int width, int ops, uint32_t seed) {
  TempDir dir;
  MemTable t;
  t.addField("CLAVE", 'C', width);
  t.addField("VIVO", 'C', 1);
  std::mt19937 rng(seed);
  auto randomKey = [&] { return randomText(rng, static_cast<size_t>(std::min(width, 12)), "ABCD ") + std::to_string(rng() % 50); };
  for (int i = 0; i < 200; ++i) {
    size_t r = t.append();
    t.set(r, "CLAVE", randomKey());
    t.set(r, "VIVO", "S");
  }
  std::string path = dir.file("m.cdx");
  auto b = IndexBag::create(fs(), path, t.layout);
  ASSERT_TRUE(b.isOk());
  IndexBag& bag = *b.value();
  ASSERT_TRUE(bag.createTag("CLAVE", "clave", "vivo = 'S'", t.walker()).isOk());
  IndexTag& tag = bag.tag(0);
  std::multimap<std::string, uint32_t> model;
  for (size_t i = 0; i < t.records.size(); ++i) model.emplace(field(t, i, "CLAVE"), static_cast<uint32_t>(i + 1));
  auto keyOf = [&](size_t i) { return tag.keyOf(t.records[i]).value(); };
  for (int op = 0; op < ops; ++op) {
    int kind = static_cast<int>(rng() % 10);
    if (kind < 4 || t.records.size() < 10) {  // append
      size_t r = t.append();
      t.set(r, "CLAVE", randomKey());
      t.set(r, "VIVO", "S");
      ASSERT_TRUE(tag.insert(keyOf(r), static_cast<uint32_t>(r + 1)).isOk());
      model.emplace(field(t, r, "CLAVE"), static_cast<uint32_t>(r + 1));
    } else {
      size_t r = rng() % t.records.size();
      bool live = field(t, r, "VIVO") == "S";
      if (live) {
        Status st = tag.remove(keyOf(r), static_cast<uint32_t>(r + 1));
        ASSERT_TRUE(st.isOk()) << st.message();
        auto range = model.equal_range(field(t, r, "CLAVE"));
        for (auto it = range.first; it != range.second; ++it)
          if (it->second == r + 1) { model.erase(it); break; }
        if (kind < 8) {  // a key change: back in with another key
          t.set(r, "CLAVE", randomKey());
          ASSERT_TRUE(tag.insert(keyOf(r), static_cast<uint32_t>(r + 1)).isOk());
          model.emplace(field(t, r, "CLAVE"), static_cast<uint32_t>(r + 1));
        } else {
          t.set(r, "VIVO", "N");
        }
      } else {
        t.set(r, "VIVO", "S");
        ASSERT_TRUE(tag.insert(keyOf(r), static_cast<uint32_t>(r + 1)).isOk());
        model.emplace(field(t, r, "CLAVE"), static_cast<uint32_t>(r + 1));
      }
    }
    if (op % 97 == 0 || op + 1 == ops) {
      std::vector<IndexEntry> es;
      ASSERT_TRUE(cdxtest::walkTag(tag, es).isOk());
      ASSERT_EQ(es.size(), model.size()) << "op " << op;
      std::vector<std::pair<std::string, uint32_t>> want(model.begin(), model.end());
      std::sort(want.begin(), want.end());
      for (size_t i = 0; i < es.size(); ++i) {
        ASSERT_EQ(es[i].key, want[i].first) << "op " << op << " i " << i;
        ASSERT_EQ(es[i].recno, want[i].second) << "op " << op << " i " << i;
      }
      // Seeks and backward steps agree with the model too.
      for (int s = 0; s < 20 && !want.empty(); ++s) {
        std::string probe = randomKey();
        probe.resize(static_cast<size_t>(width), ' ');
        auto it = std::lower_bound(want.begin(), want.end(), std::make_pair(probe, 0u));
        auto lb = tag.lowerBound(probe);
        ASSERT_TRUE(lb.isOk());
        if (it == want.end()) {
          EXPECT_FALSE(lb.value().has_value());
        } else {
          ASSERT_TRUE(lb.value().has_value());
          EXPECT_EQ(lb.value()->recno, it->second);
          auto pv = tag.prev(*lb.value());
          ASSERT_TRUE(pv.isOk());
          if (it == want.begin()) EXPECT_FALSE(pv.value().has_value());
          else EXPECT_EQ(pv.value()->recno, std::prev(it)->second);
        }
      }
    }
  }
  std::vector<std::string> problems;
  ASSERT_TRUE(bag.verify(t.walker(), problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
  // While the bag is open exclusively nobody else may open it; closed, it reopens
  // with the same entries.
  EXPECT_EQ(IndexBag::open(fs(), path, t.layout, false).status().code(), ErrorCode::InUse);
  b.value().reset();
  auto again = IndexBag::open(fs(), path, t.layout, false);
  ASSERT_TRUE(again.isOk());
  std::vector<IndexEntry> es;
  ASSERT_TRUE(cdxtest::walkTag(again.value()->tag(0), es).isOk());
  EXPECT_EQ(es.size(), model.size());
  problems.clear();
  ASSERT_TRUE(again.value()->verify(t.walker(), problems).isOk());
  EXPECT_TRUE(problems.empty());
}

TEST(CdxBagMaintenance, RandomChangesOnShortKeysMatchTheModel) { randomMaintenance(10, 6000, 3); }
TEST(CdxBagMaintenance, RandomChangesOnLongKeysMatchTheModel) { randomMaintenance(150, 2500, 4); }

TEST(CdxBagMaintenance, EmptyingATreeAndFillingItAgainReusesPages) {
  TempDir dir;
  MemTable t;
  t.addField("CLAVE", 'C', 100);
  for (int i = 0; i < 400; ++i) t.set(t.append(), "CLAVE", "K" + std::to_string(100000 + i * 37 % 400));
  std::string path = dir.file("e.cdx");
  auto b = IndexBag::create(fs(), path, t.layout);
  ASSERT_TRUE(b.isOk());
  ASSERT_TRUE(b.value()->createTag("CLAVE", "clave", "", t.walker()).isOk());
  IndexTag& tag = b.value()->tag(0);
  size_t full = cdxtest::slurp(path).size();
  for (size_t i = 0; i < t.records.size(); ++i)
    ASSERT_TRUE(tag.remove(tag.keyOf(t.records[i]).value(), static_cast<uint32_t>(i + 1)).isOk()) << i;
  auto f = tag.first();
  ASSERT_TRUE(f.isOk());
  EXPECT_FALSE(f.value().has_value());
  std::string bytes = cdxtest::slurp(path);
  EXPECT_NE(bytes.substr(4, 4), std::string(4, '\0')) << "the emptied pages went to the free list";
  for (size_t i = 0; i < t.records.size(); ++i)
    ASSERT_TRUE(tag.insert(tag.keyOf(t.records[i]).value(), static_cast<uint32_t>(i + 1)).isOk()) << i;
  EXPECT_LE(cdxtest::slurp(path).size(), full + 4 * 512) << "pages of the free list were used again";
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
}

size_t freeListLength(const std::string& bytes) {
  auto at = [&](size_t off) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[off + i]);
    return v;
  };
  size_t n = 0;
  for (uint32_t f = at(4); f != 0 && f != 0xFFFFFFFFu && f + 512 <= bytes.size() && n < bytes.size() / 512; f = at(f)) ++n;
  return n;
}

TEST(CdxBagMaintenance, ThinPagesMergeWithTheirNeighbours) {
  TempDir dir;
  MemTable t;
  t.addField("CLAVE", 'C', 60);
  std::mt19937 rng(21);
  for (int i = 0; i < 400; ++i) t.set(t.append(), "CLAVE", randomText(rng, 60, "QWERTYUIOPASDFGHJKL").append(60, 'Z'));
  std::string path = dir.file("thin.cdx");
  auto b = IndexBag::create(fs(), path, t.layout);
  ASSERT_TRUE(b.isOk());
  ASSERT_TRUE(b.value()->createTag("CLAVE", "clave", "", t.walker()).isOk());
  IndexTag& tag = b.value()->tag(0);
  size_t pages = cdxtest::slurp(path).size() / 512;
  // Three entries of every four go, spread over every leaf: no leaf empties, so
  // only merging gives pages back.
  std::vector<IndexEntry> all;
  ASSERT_TRUE(cdxtest::walkTag(tag, all).isOk());
  for (size_t i = 0; i < all.size(); ++i)
    if (i % 4 != 0) {
      ASSERT_TRUE(tag.remove(all[i].key, all[i].recno).isOk()) << i;
    }
  size_t freed = freeListLength(cdxtest::slurp(path));
  EXPECT_GT(freed, pages / 3) << "of " << pages << " pages";
  std::vector<IndexEntry> left;
  ASSERT_TRUE(cdxtest::walkTag(tag, left).isOk());
  ASSERT_EQ(left.size(), (all.size() + 3) / 4);
  for (size_t i = 0; i < left.size(); ++i) EXPECT_EQ(left[i].recno, all[i * 4].recno);
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(nullptr, problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
}

TEST(CdxBagMaintenance, ReplacingATagFreesItsPagesAndMovesItLast) {
  TempDir dir;
  MemTable t = employees(2000, 5);
  std::string path = dir.file("r.cdx");
  auto b = IndexBag::create(fs(), path, t.layout);
  ASSERT_TRUE(b.isOk());
  IndexBag& bag = *b.value();
  ASSERT_TRUE(bag.createTag("CODIGO", "codigo", "", t.walker()).isOk());
  ASSERT_TRUE(bag.createTag("NOMBRE", "nombre", "", t.walker()).isOk());
  EXPECT_EQ(cdxtest::slurp(path).substr(4, 4), std::string(4, '\0'));
  ASSERT_TRUE(bag.createTag("codigo", "mes+codigo", "", t.walker()).isOk());
  ASSERT_EQ(bag.tagCount(), 2);
  EXPECT_EQ(bag.tag(0).name(), "NOMBRE");
  EXPECT_EQ(bag.tag(1).name(), "CODIGO");
  EXPECT_EQ(bag.tag(1).keyText(), "mes+codigo");
  EXPECT_NE(cdxtest::slurp(path).substr(4, 4), std::string(4, '\0'));
  size_t size = cdxtest::slurp(path).size();
  // New entries that split pages take freed pages, not new ones at the end.
  IndexTag& tag = bag.tag(1);
  for (uint32_t i = 0; i < 300; ++i) {
    std::string k = "07E" + std::to_string(i);
    k.resize(12, ' ');
    ASSERT_TRUE(tag.insert(k, 5000 + i).isOk());
  }
  EXPECT_EQ(cdxtest::slurp(path).size(), size);
  std::vector<std::string> problems;
  ASSERT_TRUE(bag.verify(nullptr, problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
  // Building the same tag again and again takes its pages from the free list: the
  // file grows by little more than the new headers.
  ASSERT_TRUE(bag.createTag("NOMBRE", "nombre", "", t.walker()).isOk());
  size_t twice = cdxtest::slurp(path).size();
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(bag.createTag("NOMBRE", "nombre", "", t.walker()).isOk());
  EXPECT_LE(cdxtest::slurp(path).size(), twice + 10 * 1024);
  problems.clear();
  ASSERT_TRUE(bag.verify(nullptr, problems).isOk());  // structure: CODIGO holds made-up records
  for (const auto& p : problems) ADD_FAILURE() << p;
  std::vector<IndexEntry> es;
  ASSERT_TRUE(cdxtest::walkTag(bag.tag(bag.findTag("NOMBRE")), es).isOk());
  EXPECT_EQ(recnos(es), orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "NOMBRE"); }));
}

TEST(CdxBagMaintenance, ReindexRewritesTheFileWithoutFreePages) {
  TempDir dir;
  MemTable t = employees(3000, 14);
  std::string path = dir.file("ri.cdx");
  std::string fresh = dir.file("fresh.cdx");
  auto build = [&](const std::string& p, int replaceTimes) {
    auto b = IndexBag::create(fs(), p, t.layout);
    ASSERT_TRUE(b.isOk());
    ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
    ASSERT_TRUE(b.value()->createTag("MARZO", "nombre", "mes='03'", t.walker()).isOk());
    ASSERT_TRUE(b.value()->createTag("DESC", "sueldo", "", t.walker(), IndexBag::TagOptions{true}).isOk());
    for (int i = 0; i < replaceTimes; ++i) ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
  };
  build(fresh, 0);
  build(path, 3);
  // Replacing leaves the old pages on the free list and the file grows.
  EXPECT_GT(cdxtest::slurp(path).size(), cdxtest::slurp(fresh).size());
  {
    auto shared = IndexBag::open(fs(), path, t.layout, false);
    ASSERT_TRUE(shared.isOk());
    EXPECT_FALSE(shared.value()->reindex(t.walker()).isOk());
  }
  {
    MemTable other;  // CODIGO missing: nothing may be written
    other.addField("NOMBRE", 'C', 30);
    std::string before = cdxtest::slurp(path);
    auto b = IndexBag::open(fs(), path, other.layout, true);
    ASSERT_TRUE(b.isOk());
    EXPECT_FALSE(b.value()->reindex(t.walker()).isOk());
    EXPECT_EQ(cdxtest::slurp(path), before);
  }
  auto b = IndexBag::open(fs(), path, t.layout, true);
  ASSERT_TRUE(b.isOk());
  ASSERT_EQ(b.value()->tag(0).name(), "MARZO");  // the replaced tag had moved last
  ASSERT_TRUE(b.value()->reindex(t.walker()).isOk());
  std::string bytes = cdxtest::slurp(path);
  EXPECT_EQ(bytes.size(), cdxtest::slurp(fresh).size());
  EXPECT_EQ(freeListLength(bytes), 0u);
  ASSERT_EQ(b.value()->tagCount(), 3);
  EXPECT_EQ(b.value()->tag(0).name(), "MARZO");
  EXPECT_EQ(b.value()->tag(0).forText(), "mes='03'");
  EXPECT_EQ(b.value()->tag(1).name(), "DESC");
  EXPECT_TRUE(b.value()->tag(1).descending());
  EXPECT_EQ(b.value()->tag(2).name(), "CODIGO");
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
  std::vector<IndexEntry> es;
  ASSERT_TRUE(cdxtest::walkTag(b.value()->tag(2), es).isOk());
  EXPECT_EQ(recnos(es), orderBy(t, [](const MemTable& m, size_t i) { return field(m, i, "CODIGO"); }));
}

TEST(CdxBagSharing, IndexLockCounterAndCachedPagesBetweenStations) {
  TempDir dir;
  MemTable t = employees(500, 6);
  std::string path = dir.file("sh.cdx");
  {
    auto b = IndexBag::create(fs(), path, t.layout);
    ASSERT_TRUE(b.isOk());
    ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
  }
  auto counter = [&] {
    std::string h = cdxtest::slurp(path).substr(8, 4);
    return (static_cast<uint32_t>(static_cast<uint8_t>(h[0])) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(h[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(h[2])) << 8) | static_cast<uint8_t>(h[3]);
  };
  auto a = IndexBag::open(fs(), path, t.layout, false);
  auto b = IndexBag::open(fs(), path, t.layout, false);
  ASSERT_TRUE(a.isOk() && b.isOk());
  IndexTag& ta = a.value()->tag(0);
  IndexTag& tb = b.value()->tag(0);
  std::vector<IndexEntry> before;
  ASSERT_TRUE(cdxtest::walkTag(tb, before).isOk());  // station B caches the pages
  uint32_t c0 = counter();

  ASSERT_TRUE(a.value()->beginUpdate().isOk());
  Status refused = b.value()->beginUpdate();
  EXPECT_EQ(refused.code(), ErrorCode::Locked);
  EXPECT_NE(refused.message().find("otra estacion"), std::string::npos);
  ASSERT_TRUE(ta.insert("A000000000", 501).isOk());
  ASSERT_TRUE(ta.insert("ZZZZZZZZZZ", 502).isOk());
  ASSERT_TRUE(a.value()->endUpdate().isOk());
  EXPECT_EQ(counter(), c0 + 1);
  // One change outside begin/end takes and releases the lock by itself.
  ASSERT_TRUE(ta.remove("ZZZZZZZZZZ", 502).isOk());
  EXPECT_EQ(counter(), c0 + 2);

  // Station B notices the counter and drops its cached pages.
  std::vector<IndexEntry> after;
  ASSERT_TRUE(cdxtest::walkTag(tb, after).isOk());
  ASSERT_EQ(after.size(), before.size() + 1);
  EXPECT_EQ(after.front().recno, 501u);
  ASSERT_TRUE(b.value()->beginUpdate().isOk());
  ASSERT_TRUE(tb.insert("B000000000", 503).isOk());
  ASSERT_TRUE(b.value()->endUpdate().isOk());
  ASSERT_TRUE(a.value()->refresh().isOk());
  auto f = ta.lowerBound("B000000000");
  ASSERT_TRUE(f.isOk() && f.value());
  EXPECT_EQ(f.value()->recno, 503u);
  EXPECT_EQ(counter(), c0 + 3);
}

TEST(CdxBagSafety, OtherCollationsAndUnknownFieldsRefuseChangesButRead) {
  TempDir dir;
  MemTable t = employees(50, 7);
  std::string path = dir.file("c.cdx");
  {
    auto b = IndexBag::create(fs(), path, t.layout);
    ASSERT_TRUE(b.isOk());
    ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
  }
  std::string bytes = cdxtest::slurp(path);
  // The first tag's header follows the empty directory (0x600); its pool holds the expression.
  ASSERT_EQ(bytes.substr(0x600 + 512, 7), std::string("codigo\0", 7));
  bytes.replace(0x600 + 494, 8, std::string("SPANISH\0", 8));
  cdxtest::spit(path, bytes);
  {
    auto b = IndexBag::open(fs(), path, t.layout, true);
    ASSERT_TRUE(b.isOk());
    IndexTag& tag = b.value()->tag(0);
    EXPECT_EQ(tag.insert(std::string(10, 'X'), 1).code(), ErrorCode::NeedsReindex);
    std::vector<IndexEntry> es;
    ASSERT_TRUE(cdxtest::walkTag(tag, es).isOk());
    EXPECT_EQ(es.size(), 50u);
    std::vector<std::string> problems;
    ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems[0].find("Etiqueta CODIGO"), std::string::npos);
  }
  // A layout without the field: the tag walks but cannot give keys.
  bytes.replace(0x600 + 494, 8, std::string(8, '\0'));
  cdxtest::spit(path, bytes);
  MemTable other;
  other.addField("OTRO", 'C', 10);
  auto b = IndexBag::open(fs(), path, other.layout, true);
  ASSERT_TRUE(b.isOk());
  IndexTag& tag = b.value()->tag(0);
  EXPECT_FALSE(tag.evaluable());
  EXPECT_EQ(tag.keyOf(std::string(11, ' ')).status().code(), ErrorCode::NeedsReindex);
  std::vector<IndexEntry> es;
  ASSERT_TRUE(cdxtest::walkTag(tag, es).isOk());
  EXPECT_EQ(es.size(), 50u);
}

TEST(CdxBagSafety, DamagedBytesGiveNamedErrorsNeverCrashesOrEndlessWalks) {
  TempDir dir;
  MemTable t = employees(600, 8);
  std::string path = dir.file("d.cdx");
  {
    auto b = IndexBag::create(fs(), path, t.layout);
    ASSERT_TRUE(b.isOk());
    ASSERT_TRUE(b.value()->createTag("NOMBRE", "nombre+codigo", "", t.walker()).isOk());
    ASSERT_TRUE(b.value()->createTag("SUELDO", "sueldo", "", t.walker()).isOk());
  }
  const std::string good = cdxtest::slurp(path);
  std::mt19937 rng(9);
  int failures = 0;
  for (int i = 0; i < 600; ++i) {
    std::string bytes = good;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int f = 0; f < flips; ++f) {
      size_t page = rng() % (bytes.size() / 512);
      size_t at = page * 512 + (rng() % 2 ? rng() % 24 : rng() % 512);
      bytes[at] = static_cast<char>(bytes[at] ^ static_cast<char>(1u << (rng() % 8)));
    }
    cdxtest::spit(path, bytes);
    auto b = IndexBag::open(fs(), path, t.layout, true);
    if (!b) {
      ++failures;
      EXPECT_EQ(b.status().code(), ErrorCode::Corrupt) << b.status().message();
      continue;
    }
    bool bad = false;
    for (int ti = 0; ti < b.value()->tagCount(); ++ti) {
      std::vector<IndexEntry> es;
      Status st = cdxtest::walkTag(b.value()->tag(ti), es);
      if (!st) {
        bad = true;
        EXPECT_EQ(st.code(), ErrorCode::Corrupt) << st.message();
      }
      EXPECT_LE(es.size(), 2 * t.records.size());
    }
    std::vector<std::string> problems;
    Status v = b.value()->verify(t.walker(), problems);
    if (!v || !problems.empty() || bad) ++failures;
  }
  EXPECT_GT(failures, 300);
}

TEST(CdxBagSafety, CyclicSiblingLinksEndTheWalkWithAnError) {
  TempDir dir;
  MemTable t = employees(2000, 10);
  std::string path = dir.file("cy.cdx");
  {
    auto b = IndexBag::create(fs(), path, t.layout);
    ASSERT_TRUE(b.isOk());
    ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
  }
  std::string bytes = cdxtest::slurp(path);
  // Leaves of a bulk build follow the tag header (0x600 + 1024): make the third leaf
  // point back to the first.
  const size_t first = 0xA00, third = 0xE00;
  ASSERT_EQ(bytes[static_cast<long>(third)] & 2, 2);
  bytes[third + 8] = static_cast<char>(first & 0xFF);
  bytes[third + 9] = static_cast<char>((first >> 8) & 0xFF);
  bytes[third + 10] = 0;
  bytes[third + 11] = 0;
  cdxtest::spit(path, bytes);
  auto b = IndexBag::open(fs(), path, t.layout, true);
  ASSERT_TRUE(b.isOk());
  IndexTag& tag = b.value()->tag(0);
  // Entry by entry from the start: the walk ends, with an error or at the end.
  std::vector<IndexEntry> es;
  Status st = cdxtest::walkTag(tag, es);
  EXPECT_LE(es.size(), t.records.size());
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  EXPECT_FALSE(problems.empty());
  (void)st;
}

TEST(CdxBagSafety, FailedWritesAreReportedAndLeaveAReadableBag) {
  TempDir dir;
  MemTable t;
  t.addField("CLAVE", 'C', 60);
  std::mt19937 rng(12);
  for (int i = 0; i < 300; ++i) t.set(t.append(), "CLAVE", randomText(rng, 60, "ABCDEFGH"));
  std::string path = dir.file("f.cdx");
  for (int n = 1; n < 60; ++n) {
    {
      auto b = IndexBag::create(fs(), path, t.layout);
      ASSERT_TRUE(b.isOk());
      ASSERT_TRUE(b.value()->createTag("A", "clave", "", t.walker()).isOk());
    }
    FaultyFileSystem faulty(fs());
    auto b = IndexBag::open(faulty, path, t.layout, false);
    ASSERT_TRUE(b.isOk());
    faulty.failAt(n, true);
    // A tag build, then inserts that split pages.
    Status st = b.value()->createTag("B", "clave", "", t.walker());
    IndexTag& a = b.value()->tag(0);
    for (uint32_t i = 0; st && i < 40; ++i) st = a.insert(randomText(rng, 60, "ABCDEFGH").append(60, ' ').substr(0, 60), 1000 + i);
    EXPECT_EQ(st.isOk(), !faulty.failed()) << "llamada " << n;
    if (!st) {
      EXPECT_EQ(st.code(), ErrorCode::IoError) << st.message();
    }
    b.value().reset();
    auto again = IndexBag::open(fs(), path, t.layout, true);
    if (!again) {
      EXPECT_EQ(again.status().code(), ErrorCode::Corrupt);
      continue;
    }
    std::vector<std::string> problems;
    EXPECT_TRUE(again.value()->verify(nullptr, problems).isOk());
    if (!faulty.failed()) {
      EXPECT_TRUE(problems.empty());
    }
  }
}

TEST(CdxBag, VerifyNamesEveryMissingExtraOrForeignEntry) {
  TempDir dir;
  MemTable t = employees(300, 16);
  auto b = IndexBag::create(fs(), dir.file("v.cdx"), t.layout);
  ASSERT_TRUE(b.isOk());
  ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
  ASSERT_TRUE(b.value()->createTag("MARZO", "codigo", "mes='03'", t.walker()).isOk());
  IndexTag& codigo = b.value()->tag(0);
  IndexTag& marzo = b.value()->tag(1);
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  ASSERT_TRUE(problems.empty());
  // Record 17's key goes missing, record 9999 does not exist, record 20 gets a
  // second entry under a wrong key, and a record outside the FOR clause slips in.
  ASSERT_TRUE(codigo.remove(codigo.keyOf(t.records[16]).value(), 17).isOk());
  ASSERT_TRUE(codigo.insert("ZZZZZZZZZZ", 9999).isOk());
  ASSERT_TRUE(codigo.insert("AAAAAAAAAA", 20).isOk());
  size_t outside = 0;
  while (field(t, outside, "MES") == "03") ++outside;
  ASSERT_TRUE(marzo.insert(marzo.keyOf(t.records[outside]).value(), static_cast<uint32_t>(outside + 1)).isOk());
  problems.clear();
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  std::set<std::string> got(problems.begin(), problems.end());
  std::set<std::string> want{
      "Etiqueta CODIGO: la clave del registro 17 no esta en el indice",
      "Etiqueta CODIGO: entrada con un numero de registro inexistente (9999)",
      "Etiqueta CODIGO: entrada sobrante para el registro 20",
      "Etiqueta MARZO: entrada sobrante para el registro " + std::to_string(outside + 1),
  };
  EXPECT_EQ(got, want);
}

TEST(CdxBag, ManyTagsGrowTheDirectoryIntoATree) {
  TempDir dir;
  MemTable t = employees(40, 15);
  std::string path = dir.file("muchas.cdx");
  {
    auto b = IndexBag::create(fs(), path, t.layout);
    ASSERT_TRUE(b.isOk());
    for (int i = 0; i < 120; ++i) {
      // Names in an order unlike their creation order.
      std::string name = "T" + std::to_string((i * 37) % 120);
      ASSERT_TRUE(b.value()->createTag(name, i % 2 ? "codigo" : "mes+nombre", i % 3 ? "" : "mes='05'", t.walker(),
                                       IndexBag::TagOptions{i % 5 == 0}).isOk()) << name;
    }
  }
  auto b = IndexBag::open(fs(), path, t.layout, true);
  ASSERT_TRUE(b.isOk()) << b.status().message();
  ASSERT_EQ(b.value()->tagCount(), 120);
  for (int i = 0; i < 120; ++i) {
    IndexTag& tag = b.value()->tag(i);
    EXPECT_EQ(tag.name(), "T" + std::to_string((i * 37) % 120));
    EXPECT_EQ(tag.descending(), i % 5 == 0);
    EXPECT_EQ(tag.forText(), i % 3 ? "" : "mes='05'");
  }
  std::vector<std::string> problems;
  ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
  for (const auto& p : problems) ADD_FAILURE() << p;
  std::string tool = std::string(PLANILLA_SHARED_DIR) + "/tools/cdxdump.py";
  std::string out;
  if (!std::filesystem::exists(tool) || cdxtest::run("python3 --version 2>/dev/null", &out) != 0) return;
  ASSERT_EQ(cdxtest::run("python3 '" + tool + "' '" + path + "' | grep -c '^TAG '", &out), 0);
  EXPECT_EQ(std::stoi(out), 120);
  // Header flags as other readers expect them: FOR clause 0x68, plain 0x60, descending order 1.
  ASSERT_EQ(cdxtest::run("python3 '" + tool + "' '" + path + "' | grep '^TAG T0 '", &out), 0);
  EXPECT_NE(out.find("opts=0x68"), std::string::npos) << out;
  EXPECT_NE(out.find("order=1"), std::string::npos) << out;
  EXPECT_NE(out.find("for=\"mes='05'\""), std::string::npos) << out;
  ASSERT_EQ(cdxtest::run("python3 '" + tool + "' '" + path + "' | grep '^TAG T37 '", &out), 0);
  EXPECT_NE(out.find("opts=0x60"), std::string::npos) << out;
  EXPECT_NE(out.find("order=0"), std::string::npos) << out;
}

TEST(CdxBagSafety, AReplacementCutShortLeavesOneWholeTagOfThatName) {
  TempDir dir;
  MemTable t = employees(700, 17);
  std::string path = dir.file("cut.cdx");
  int completed = 0;
  for (int n = 1; n <= 60; ++n) {
    {
      auto b = IndexBag::create(fs(), path, t.layout);
      ASSERT_TRUE(b.isOk());
      ASSERT_TRUE(b.value()->createTag("CODIGO", "codigo", "", t.walker()).isOk());
      ASSERT_TRUE(b.value()->createTag("NOMBRE", "nombre", "", t.walker()).isOk());
    }
    FaultyFileSystem faulty(fs());
    {
      auto b = IndexBag::open(faulty, path, t.layout, true);
      ASSERT_TRUE(b.isOk());
      faulty.failAt(n, true);  // everything from the nth write on is lost, as in a crash
      Status st = b.value()->createTag("CODIGO", "mes+codigo", "", t.walker());
      EXPECT_EQ(st.isOk(), !faulty.failed());
      if (st) ++completed;
    }
    auto b = IndexBag::open(fs(), path, t.layout, true);
    ASSERT_TRUE(b.isOk()) << "escritura " << n << ": " << b.status().message();
    ASSERT_EQ(b.value()->tagCount(), 2) << "escritura " << n;
    int ti = b.value()->findTag("CODIGO");
    ASSERT_GE(ti, 0);
    const std::string& expr = b.value()->tag(ti).keyText();
    EXPECT_TRUE(expr == "codigo" || expr == "mes+codigo") << expr;
    std::vector<std::string> problems;
    ASSERT_TRUE(b.value()->verify(t.walker(), problems).isOk());
    for (const auto& p : problems) ADD_FAILURE() << "escritura " << n << ": " << p;
  }
  EXPECT_GT(completed, 0);
}

// 100,000 records, three tags, multi-level trees: the independent readers see the
// same keys in the same order as the engine.
class CdxSecondReaders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    table_ = new MemTable();
    MemTable& t = *table_;
    t.addField("CODIGO", 'C', 10);
    t.addField("NOMBRE", 'C', 50);
    t.addField("MES", 'C', 2);
    std::mt19937 rng(13);
    const char* names[] = {"PEREZ", "GARCIA", "QUISPE", "FLORES", "ROJAS", "HUAMAN", "TORRES", "DIAZ"};
    for (int i = 0; i < 100000; ++i) {
      size_t r = t.append();
      char code[16];
      std::snprintf(code, sizeof code, "E%07u", static_cast<unsigned>(rng() % 10000000));
      t.set(r, "CODIGO", code);
      t.set(r, "NOMBRE", std::string(names[rng() % 8]) + " " + names[rng() % 8] + " " + std::to_string(rng() % 1000));
      char mes[3];
      std::snprintf(mes, sizeof mes, "%02u", 1 + static_cast<unsigned>(rng() % 12));
      t.set(r, "MES", mes);
    }
    path_ = new std::string(dir_->file("grande.cdx"));
    auto b = IndexBag::create(fs(), *path_, t.layout);
    ok_ = b.isOk() && b.value()->createTag("CODIGO", "CODIGO", "", t.walker()).isOk() &&
          b.value()->createTag("NOMBRE", "NOMBRE", "", t.walker()).isOk() &&
          b.value()->createTag("MESCOD", "MES+CODIGO", "", t.walker()).isOk();
  }
  static void TearDownTestSuite() {
    delete table_;
    delete path_;
    delete dir_;
  }
  static std::vector<std::pair<std::string, uint32_t>> ours(const std::string& tag, bool trim) {
    std::vector<std::pair<std::string, uint32_t>> out;
    auto b = IndexBag::open(fs(), *path_, table_->layout, false);
    if (!b) return out;
    std::vector<IndexEntry> es;
    if (!cdxtest::walkTag(b.value()->tag(b.value()->findTag(tag)), es)) return out;
    for (auto& e : es) {
      std::string k = e.key;
      if (trim) k.erase(k.find_last_not_of(' ') + 1);
      out.emplace_back(k, e.recno);
    }
    return out;
  }
  static TempDir* dir_;
  static MemTable* table_;
  static std::string* path_;
  static bool ok_;
};
TempDir* CdxSecondReaders::dir_ = nullptr;
MemTable* CdxSecondReaders::table_ = nullptr;
std::string* CdxSecondReaders::path_ = nullptr;
bool CdxSecondReaders::ok_ = false;

TEST_F(CdxSecondReaders, EngineVerifiesItsOwnBigBag) {
  ASSERT_TRUE(ok_);
  {
    auto b = IndexBag::open(fs(), *path_, table_->layout, true);
    ASSERT_TRUE(b.isOk());
    std::vector<std::string> problems;
    ASSERT_TRUE(b.value()->verify(table_->walker(), problems).isOk());
    for (const auto& p : problems) ADD_FAILURE() << p;
    // A second open waits for the exclusive one to close.
    EXPECT_EQ(IndexBag::open(fs(), *path_, table_->layout, false).status().code(), ErrorCode::InUse);
  }
  EXPECT_EQ(ours("MESCOD", false).size(), 100000u);
}

TEST_F(CdxSecondReaders, CdxdumpReadsTheSameKeys) {
  ASSERT_TRUE(ok_);
  std::string tool = std::string(PLANILLA_SHARED_DIR) + "/tools/cdxdump.py";
  std::string out;
  if (!std::filesystem::exists(tool) || cdxtest::run("python3 --version 2>/dev/null", &out) != 0)
    GTEST_SKIP() << "falta python3 o cdxdump.py";
  ASSERT_EQ(cdxtest::run("python3 '" + tool + "' '" + *path_ + "' --keys", &out), 0);
  // Sections "TAG NAME @0x...", then lines "  'KEY' -> recno".
  std::map<std::string, std::vector<std::pair<std::string, uint32_t>>> seen;
  std::string current;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t eol = out.find('\n', pos);
    if (eol == std::string::npos) eol = out.size();
    std::string line = out.substr(pos, eol - pos);
    pos = eol + 1;
    if (line.rfind("TAG ", 0) == 0) {
      current = line.substr(4, line.find(' ', 4) - 4);
      continue;
    }
    size_t arrow = line.rfind("' -> ");
    if (current.empty() || line.size() < 4 || line.compare(0, 3, "  '") != 0 || arrow == std::string::npos) continue;
    seen[current].emplace_back(line.substr(3, arrow - 3), static_cast<uint32_t>(std::stoul(line.substr(arrow + 5))));
  }
  ASSERT_EQ(seen.size(), 3u);
  for (const char* tag : {"CODIGO", "NOMBRE", "MESCOD"}) {
    auto want = ours(tag, false);
    ASSERT_EQ(seen[tag].size(), want.size()) << tag;
    EXPECT_TRUE(seen[tag] == want) << tag;
  }
  // The bag is deep: cdxdump shows the interior nodes on the way down.
  ASSERT_EQ(cdxtest::run("python3 '" + tool + "' '" + *path_ + "' --keys --hex | grep -c 'interior @'", &out), 0);
  EXPECT_GE(std::stoi(out), 6);  // at least two interior levels in each of the three tags
}

TEST_F(CdxSecondReaders, PerlXBaseIndexDumpReadsTheSameKeys) {
  ASSERT_TRUE(ok_);
  std::string out;
  if (cdxtest::run("command -v index_dump 2>/dev/null", &out) != 0 || out.empty())
    GTEST_SKIP() << "index_dump (libdbd-xbase-perl) no esta instalado";
  for (const char* tag : {"CODIGO", "NOMBRE", "MESCOD"}) {
    ASSERT_EQ(cdxtest::run("index_dump --type=char '" + *path_ + "' " + tag, &out), 0) << tag;
    std::vector<std::pair<std::string, uint32_t>> seen;
    size_t pos = 0;
    while (pos < out.size()) {
      size_t eol = out.find('\n', pos);
      if (eol == std::string::npos) eol = out.size();
      std::string line = out.substr(pos, eol - pos);
      pos = eol + 1;
      size_t sp = line.rfind(' ');
      if (sp == std::string::npos) continue;
      seen.emplace_back(line.substr(0, sp), static_cast<uint32_t>(std::stoul(line.substr(sp + 1))));
    }
    auto want = ours(tag, true);
    ASSERT_EQ(seen.size(), want.size()) << tag;
    EXPECT_TRUE(seen == want) << tag;
  }
}

}  // namespace
}  // namespace planilla
