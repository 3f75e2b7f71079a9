// Byte layouts of compound index (.cdx) files: the 1024-byte headers (tag directory
// and tags), interior nodes and compact leaf nodes. Only encoding and decoding live
// here; tree and bag logic (cdx_bag.cpp) never compute byte offsets inside a page.
//
// Decoding trusts nothing: every count, mask, width, key length and page pointer is
// checked against the page and the file size, and a violation comes back as
// Status::corrupt with a Spanish description naming the page and the fault.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/status.h"

namespace planilla::cdx {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kHeaderSize = 1024;
constexpr uint32_t kNone = 0xFFFFFFFFu;  // "no sibling" in node headers
constexpr int kMaxKeyLength = 240;
constexpr int kDirectoryKeyLength = 10;

// Option bits of a header (offset 14).
enum : uint8_t {
  kOptUnique = 0x01,
  kOptNullable = 0x02,
  kOptCandidate = 0x04,
  kOptHasFor = 0x08,
  kOptCompact = 0x20,
  kOptCompound = 0x40,
  kOptDirectory = 0x80,
};

// Node flag bits (offset 0 of every node).
enum : uint16_t { kNodeRoot = 0x01, kNodeLeaf = 0x02, kNodeFlagMask = 0x07 };

struct Header {
  uint32_t root = 0;
  uint32_t freeList = 0;   // 0 or kNone when empty
  uint32_t counter = 0;    // change counter, stored big-endian
  uint16_t keyLength = 0;
  uint8_t options = kOptCompact | kOptCompound;
  uint8_t signature = 1;
  std::array<uint8_t, 8> collation{};  // all zero = MACHINE
  uint16_t descending = 0;
  std::string keyExpr;
  std::string forExpr;

  bool machineCollation() const {
    for (uint8_t b : collation)
      if (b) return false;
    return true;
  }
};

// Decodes a header from `p` (kHeaderSize bytes). `at` is the header's own offset and
// `fileSize` the size of the file, for pointer checks. The key and FOR expressions
// are taken from the pool by their recorded positions.
Status decodeHeader(const uint8_t* p, uint32_t at, uint64_t fileSize, Header* out);
// Encodes `h` into kHeaderSize bytes. REQUIRES: the expressions fit the 512-byte
// pool (checked by headerFits()).
void encodeHeader(const Header& h, uint8_t* out);
bool headerFits(const std::string& keyExpr, const std::string& forExpr);

// A node decoded into flat arrays. keys holds n * keyLength bytes, key i at
// i * keyLength (leaf keys with their trailing filler restored). children is empty
// for leaves.
struct Node {
  uint16_t flags = 0;
  uint32_t left = kNone;
  uint32_t right = kNone;
  int keyLength = 0;
  std::string keys;
  std::vector<uint32_t> recnos;
  std::vector<uint32_t> children;

  bool leaf() const { return (flags & kNodeLeaf) != 0; }
  bool root() const { return (flags & kNodeRoot) != 0; }
  int size() const { return static_cast<int>(recnos.size()); }
  std::string_view key(int i) const {
    return std::string_view(keys).substr(static_cast<size_t>(i) * keyLength, keyLength);
  }
  size_t memoryBytes() const {
    return sizeof(Node) + keys.capacity() + recnos.capacity() * 4 + children.capacity() * 4;
  }
};

// Interior capacity: floor(500 / (keyLength + 8)).
int interiorCapacity(int keyLength);

// Decodes the node at file offset `at`. `filler` restores trailing-compressed bytes
// of leaf keys (0x20 for character keys, 0x00 for binary ones).
Status decodeNode(const uint8_t* page, uint32_t at, int keyLength, uint8_t filler,
                  uint64_t fileSize, Node* out);

// Encodes `n` into one page. Leaves are compressed with widths chosen for their
// contents; returns false (page untouched or partly written) when the node does not
// fit in one page.
bool encodeNode(const Node& n, uint8_t filler, uint8_t* page);

// Incremental size accounting for packing leaves: feed keys in order and ask whether
// the leaf still fits. Mirrors the encoder exactly.
class LeafSizer {
 public:
  LeafSizer(int keyLength, uint8_t filler);
  void reset();
  // Bytes the leaf would take with this key added (24-byte header included).
  size_t sizeWith(std::string_view key, uint32_t recno) const;
  void add(std::string_view key, uint32_t recno);
  int count() const { return n_; }

 private:
  int keyLength_;
  uint8_t filler_;
  int n_ = 0;
  size_t stored_ = 0;
  uint32_t maxRec_ = 0;
  std::string prev_;
  int prevTrail_ = 0;
};

// Entry width for a leaf holding record numbers up to maxRecno.
int leafEntryBytes(int keyLength, uint32_t maxRecno);
// Trailing filler bytes of a key and the bytes it shares with the previous key of the
// page (limited to the bytes the previous key actually stores).
int trailingCount(std::string_view key, uint8_t filler);

// Sortable 8-byte form of a double (numeric and date keys) and 4-byte form of an
// integer.
void encodeDoubleKey(double v, uint8_t* out);
double decodeDoubleKey(const uint8_t* in);
void encodeIntKey(int32_t v, uint8_t* out);

}  // namespace planilla::cdx
