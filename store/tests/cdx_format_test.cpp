// Index page layouts: symmetric encode/decode of headers, interior nodes and compact
// leaves, and decoding that rejects every inconsistency with a named error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "store/cdx_format.h"
#include "store/tests/cdx_test_util.h"

namespace planilla {
namespace {

using namespace cdx;

constexpr uint64_t kBigFile = 1u << 20;

Node leafOf(int kl, const std::vector<std::pair<std::string, uint32_t>>& entries) {
  Node n;
  n.flags = kNodeLeaf;
  n.keyLength = kl;
  for (auto& [k, r] : entries) {
    std::string key = k;
    key.resize(static_cast<size_t>(kl), ' ');
    n.keys += key;
    n.recnos.push_back(r);
  }
  return n;
}

TEST(CdxHeader, RoundTripsEveryField) {
  Header h;
  h.root = 0x600;
  h.freeList = 0xA00;
  h.counter = 0x01020304;
  h.keyLength = 12;
  h.options = kOptCompact | kOptCompound | kOptHasFor;
  h.descending = 1;
  h.keyExpr = "MES+CODIGO";
  h.forExpr = ".NOT.DELETED()";
  uint8_t buf[kHeaderSize];
  encodeHeader(h, buf);
  EXPECT_EQ(buf[8], 0x01);  // counter is big-endian
  EXPECT_EQ(buf[11], 0x04);
  EXPECT_EQ(buf[15], 1);
  EXPECT_EQ(buf[504] | (buf[505] << 8), 11);  // FOR starts after the key and its NUL
  EXPECT_EQ(buf[510] | (buf[511] << 8), 11);
  Header d;
  ASSERT_TRUE(decodeHeader(buf, 0x200, kBigFile, &d).isOk());
  EXPECT_EQ(d.root, h.root);
  EXPECT_EQ(d.freeList, h.freeList);
  EXPECT_EQ(d.counter, h.counter);
  EXPECT_EQ(d.keyLength, h.keyLength);
  EXPECT_EQ(d.options, h.options);
  EXPECT_EQ(d.descending, 1);
  EXPECT_EQ(d.keyExpr, h.keyExpr);
  EXPECT_EQ(d.forExpr, h.forExpr);
  EXPECT_TRUE(d.machineCollation());
  EXPECT_TRUE(headerFits(std::string(300, 'a'), std::string(200, 'b')));
  EXPECT_FALSE(headerFits(std::string(300, 'a'), std::string(220, 'b')));
}

TEST(CdxHeader, RejectsImpossibleValuesByName) {
  Header h;
  h.root = 0x600;
  h.keyLength = 10;
  h.keyExpr = "CODIGO";
  uint8_t good[kHeaderSize];
  encodeHeader(h, good);
  struct Case {
    int off;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {0, {0x00, 0x00, 0x10, 0x00}},  // root beyond the file
      {0, {0x10, 0x06, 0x00, 0x00}},  // root not on a page boundary
      {4, {0x00, 0x00, 0x00, 0x7F}},  // free list beyond the file
      {12, {0x00, 0x00}},             // key length 0
      {12, {0xF1, 0x00}},             // key length 241
      {14, {0x40}},                   // not compact
      {502, {0x02, 0x00}},            // order neither 0 nor 1
      {510, {0x01, 0x02}},            // key expression runs out of the pool
      {506, {0xFF, 0x01}},            // FOR expression runs out of the pool
  };
  for (const auto& c : cases) {
    uint8_t buf[kHeaderSize];
    std::memcpy(buf, good, sizeof buf);
    std::memcpy(buf + c.off, c.bytes.data(), c.bytes.size());
    Header d;
    Status st = decodeHeader(buf, 0, 64 * 1024, &d);
    EXPECT_EQ(st.code(), ErrorCode::Corrupt) << "offset " << c.off;
    EXPECT_NE(st.message().find("cabecera de indice"), std::string::npos) << st.message();
  }
  Header d;
  EXPECT_EQ(decodeHeader(good, 0x300, 64 * 1024, &d).code(), ErrorCode::Corrupt);  // header not on a page
}

TEST(CdxLeaf, RoundTripsWithCompressionAndTheDocumentedLayout) {
  Node n = leafOf(10, {{"", 5}, {"ABC", 1}, {"ABD", 2}, {"ABDX", 3}, {"B", 4}, {"B", 9}});
  uint8_t page[kPageSize];
  ASSERT_TRUE(encodeNode(n, ' ', page));
  EXPECT_EQ(page[0], kNodeLeaf);
  EXPECT_EQ(page[2], 6);
  EXPECT_EQ(page[23], 2);  // 4 record bits + 4 + 4 compression bits fit in two bytes
  EXPECT_EQ(page[21], 4);
  EXPECT_EQ(page[22], 4);
  // Stored key bytes: "" + "ABC" + "D" (2 shared) + "X" (3 shared) + "B" + "" = 6 bytes.
  EXPECT_EQ(page[12] | (page[13] << 8), 512 - 24 - 6 * 2 - 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(page) + 512 - 3, 3), "ABC");  // first stored key last in the page
  Node d;
  ASSERT_TRUE(decodeNode(page, 0x400, 10, ' ', kBigFile, &d).isOk());
  EXPECT_EQ(d.keys, n.keys);
  EXPECT_EQ(d.recnos, n.recnos);
  EXPECT_TRUE(d.leaf());
  EXPECT_EQ(d.left, kNone);
  EXPECT_EQ(d.right, kNone);
}

TEST(CdxLeaf, RandomLeavesRoundTripAndTheSizerAgreesWithTheEncoder) {
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    int kl = 1 + static_cast<int>(rng() % 60);
    uint8_t filler = (round % 2) ? ' ' : 0;
    uint32_t maxRec = (round % 5 == 0) ? 0xFFFFFFFFu : (1u << (rng() % 31));
    std::vector<std::pair<std::string, uint32_t>> entries;
    int count = 1 + static_cast<int>(rng() % 80);
    for (int i = 0; i < count; ++i) {
      std::string k(static_cast<size_t>(kl), static_cast<char>(filler));
      int len = static_cast<int>(rng() % (kl + 1));
      for (int j = 0; j < len; ++j) k[j] = "AB \0"[rng() % 4];
      entries.emplace_back(k, 1 + static_cast<uint32_t>(rng() % maxRec));
    }
    std::sort(entries.begin(), entries.end());
    Node n;
    n.flags = kNodeLeaf | kNodeRoot;
    n.keyLength = kl;
    n.left = 0x200;
    n.right = 0x800;
    LeafSizer sizer(kl, filler);
    size_t size = 24;
    for (auto& [k, r] : entries) {
      size = sizer.sizeWith(k, r);
      sizer.add(k, r);
      n.keys += k;
      n.recnos.push_back(r);
    }
    uint8_t page[kPageSize];
    bool fits = encodeNode(n, filler, page);
    ASSERT_EQ(fits, size <= kPageSize) << "round " << round;
    if (!fits) continue;
    Node d;
    ASSERT_TRUE(decodeNode(page, 0x400, kl, filler, kBigFile, &d).isOk()) << "round " << round;
    EXPECT_EQ(d.keys, n.keys);
    EXPECT_EQ(d.recnos, n.recnos);
    EXPECT_EQ(d.flags, n.flags);
    EXPECT_EQ(d.left, 0x200u);
    EXPECT_EQ(d.right, 0x800u);
  }
}

TEST(CdxLeaf, EntryWidthGrowsWithRecordNumbers) {
  EXPECT_EQ(leafEntryBytes(10, 255), 2);
  EXPECT_EQ(leafEntryBytes(10, 256), 3);
  EXPECT_EQ(leafEntryBytes(10, 65535), 3);
  EXPECT_EQ(leafEntryBytes(10, 65536), 4);
  EXPECT_EQ(leafEntryBytes(240, 0xFFFFFFFFu), 6);
  Node n = leafOf(10, {{"A", 3}, {"B", 70000}});
  uint8_t page[kPageSize];
  ASSERT_TRUE(encodeNode(n, ' ', page));
  EXPECT_EQ(page[23], 4);
  Node d;
  ASSERT_TRUE(decodeNode(page, 0x400, 10, ' ', kBigFile, &d).isOk());
  EXPECT_EQ(d.recnos[1], 70000u);
}

TEST(CdxInterior, RoundTripsAndRespectsCapacity) {
  EXPECT_EQ(interiorCapacity(10), 27);
  EXPECT_EQ(interiorCapacity(240), 2);
  Node n;
  n.keyLength = 10;
  n.flags = kNodeRoot;
  for (int i = 0; i < 27; ++i) {
    std::string k = "K" + std::to_string(100 + i);
    k.resize(10, ' ');
    n.keys += k;
    n.recnos.push_back(static_cast<uint32_t>(i + 1));
    n.children.push_back(static_cast<uint32_t>(0x400 + 0x200 * i));
  }
  uint8_t page[kPageSize];
  ASSERT_TRUE(encodeNode(n, ' ', page));
  EXPECT_EQ(page[12 + 10 + 3], 1);  // record number big-endian after the key
  Node d;
  ASSERT_TRUE(decodeNode(page, 0x200, 10, ' ', kBigFile, &d).isOk());
  EXPECT_EQ(d.keys, n.keys);
  EXPECT_EQ(d.recnos, n.recnos);
  EXPECT_EQ(d.children, n.children);
  n.keys += std::string(10, 'Z');
  n.recnos.push_back(99);
  n.children.push_back(0x400);
  EXPECT_FALSE(encodeNode(n, ' ', page));
}

TEST(CdxDecode, EveryDamagedFieldGivesANamedCorruption) {
  Node n = leafOf(10, {{"ABC", 1}, {"ABD", 2}, {"B", 3}});
  uint8_t good[kPageSize];
  ASSERT_TRUE(encodeNode(n, ' ', good));
  struct Case {
    const char* what;
    int off;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"marcas", 0, {0x0A, 0x00}},
      {"cantidad", 2, {0xFF, 0x00}},
      {"hermano izquierdo", 4, {0x00, 0x00, 0x00, 0x01}},
      {"hermano derecho", 8, {0x33, 0x02, 0x00, 0x00}},
      {"se enlaza consigo", 8, {0x00, 0x04, 0x00, 0x00}},
      {"espacio libre", 12, {0x00, 0x00}},
      {"mascara de registro", 14, {0x7F, 0x00, 0x00, 0x00}},
      {"mascaras de compresion", 18, {0x0F, 0x07}},
      {"bits de numero de registro", 20, {0x00}},
      {"bits de compresion", 21, {0x09}},
      {"bytes por entrada", 23, {0x00}},
      {"primera clave", 24, {0x01, 0x14}},  // dup count 1 on the first entry
  };
  for (const auto& c : cases) {
    uint8_t page[kPageSize];
    std::memcpy(page, good, sizeof page);
    std::memcpy(page + c.off, c.bytes.data(), c.bytes.size());
    Node d;
    Status st = decodeNode(page, 0x400, 10, ' ', 0x1000, &d);
    EXPECT_EQ(st.code(), ErrorCode::Corrupt) << c.what;
    EXPECT_NE(st.message().find("0x400"), std::string::npos) << st.message();
  }
  // An interior node pointing outside the file or at itself.
  Node in;
  in.keyLength = 10;
  in.keys = std::string(10, 'A');
  in.recnos = {1};
  in.children = {0x10000};
  uint8_t page[kPageSize];
  ASSERT_TRUE(encodeNode(in, ' ', page));
  Node d;
  EXPECT_EQ(decodeNode(page, 0x400, 10, ' ', 0x1000, &d).code(), ErrorCode::Corrupt);
  in.children = {0x400};
  ASSERT_TRUE(encodeNode(in, ' ', page));
  EXPECT_EQ(decodeNode(page, 0x400, 10, ' ', 0x1000, &d).code(), ErrorCode::Corrupt);
  in.recnos.clear();
  in.keys.clear();
  in.children.clear();
  ASSERT_TRUE(encodeNode(in, ' ', page));
  EXPECT_EQ(decodeNode(page, 0x400, 10, ' ', 0x1000, &d).code(), ErrorCode::Corrupt);  // empty interior
}

TEST(CdxDecode, ByteFlipsNeverCrashAndDecodedKeysStayInsideThePage) {
  std::mt19937 rng(5);
  Node n = leafOf(20, {});
  for (int i = 0; i < 30; ++i) {
    std::string k = "EMP" + std::to_string(1000 + i * 7);
    k.resize(20, ' ');
    n.keys += k;
    n.recnos.push_back(static_cast<uint32_t>(i * 13 + 1));
  }
  uint8_t good[kPageSize];
  ASSERT_TRUE(encodeNode(n, ' ', good));
  int rejected = 0;
  for (int i = 0; i < 20000; ++i) {
    uint8_t page[kPageSize];
    std::memcpy(page, good, sizeof page);
    int flips = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < flips; ++f) page[rng() % 64] ^= static_cast<uint8_t>(1u << (rng() % 8));
    Node d;
    Status st = decodeNode(page, 0x400, 20, ' ', 0x2000, &d);
    if (!st) {
      ++rejected;
      EXPECT_EQ(st.code(), ErrorCode::Corrupt);
      continue;
    }
    EXPECT_EQ(d.keys.size(), static_cast<size_t>(d.size()) * 20);
  }
  EXPECT_GT(rejected, 1000);
}

TEST(CdxKeys, DoubleAndIntegerFormsSortAsNumbers) {
  std::vector<double> v{-1e300, -5, -1, -0.5, 0, 0.25, 1, 7, 1e300};
  std::string prev;
  for (double x : v) {
    uint8_t b[8];
    encodeDoubleKey(x, b);
    std::string k(reinterpret_cast<char*>(b), 8);
    if (!prev.empty()) {
      EXPECT_LT(prev, k) << x;
    }
    prev = k;
    EXPECT_EQ(decodeDoubleKey(b), x);
  }
  uint8_t z1[8], z2[8];
  encodeDoubleKey(0.0, z1);
  encodeDoubleKey(-0.0, z2);
  EXPECT_EQ(std::memcmp(z1, z2, 8), 0);
  uint8_t a[4], b[4];
  encodeIntKey(-1, a);
  encodeIntKey(0, b);
  EXPECT_LT(std::memcmp(a, b, 4), 0);
  EXPECT_EQ(cdxtest::hex(std::string(reinterpret_cast<char*>(b), 4)), "80000000");
}

}  // namespace
}  // namespace planilla
