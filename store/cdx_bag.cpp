// Index bags: the tag directory, the tags' B-trees, their maintenance and checking.
// Page layouts are cdx_format's business; this file only moves decoded nodes around.
//
// Tree invariants kept by every change (and checked by verify()):
//  - entries are ordered by key bytes, then record number, across the whole tree;
//  - every interior entry holds the last key and record number of its child;
//  - nodes of one level are linked left and right, the ends pointing nowhere (-1);
//  - only the root carries the root flag; an empty tree is a root leaf with no keys.
// Descending tags are stored like ascending ones and walked from the other end.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <list>
#include <unordered_map>
#include <unordered_set>

#include "store/cdx_format.h"
#include "store/expr.h"
#include "store/index.h"

namespace planilla {

namespace {

using cdx::kNone;
using cdx::kPageSize;
using cdx::Node;
using NodeP = std::shared_ptr<const Node>;

constexpr int kMaxDepth = 24;
// Decoded pages kept per bag: enough for the upper levels and a good share of the
// leaves of a million-record tag, bounded so that many open bags stay small.
constexpr size_t kCachePages = 32768;
constexpr size_t kCacheBytes = 16u << 20;
constexpr uint64_t kIndexLockByte = 0x7FFFFFFEull;
constexpr size_t kWriteChunk = 1u << 20;
constexpr size_t kMaxProblemsPerTag = 50;

int cmpEntry(std::string_view a, uint32_t ra, std::string_view b, uint32_t rb) {
  int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c) return c < 0 ? -1 : 1;
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

std::string hexOff(uint64_t v) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
  return b;
}

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put32be(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t get32be(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// One B-tree of the bag: the tag directory or a tag.
struct Tree {
  uint32_t headerOff = 0;
  cdx::Header hdr;
  uint8_t filler = 0x20;
  int kl() const { return hdr.keyLength; }
};

// Root-to-leaf path of a descent: the node at each level and the entry chosen in it.
struct Path {
  int depth = 0;
  uint32_t off[kMaxDepth];
  int idx[kMaxDepth];
  NodeP node[kMaxDepth];
};

// A place in the leaf level.
struct LeafPos {
  uint32_t off = kNone;
  NodeP node;
  int idx = 0;
};

using OptEntry = std::optional<IndexEntry>;

class CdxBag;

class CdxTag final : public IndexTag {
 public:
  CdxTag(CdxBag* bag, std::string name, Tree tree, std::shared_ptr<KeyExpr> key,
         std::shared_ptr<KeyExpr> forExpr, bool evaluable, std::string whyNot)
      : bag_(bag), name_(std::move(name)), tree_(std::move(tree)), key_(std::move(key)),
        for_(std::move(forExpr)), evaluable_(evaluable), whyNot_(std::move(whyNot)) {}

  const std::string& name() const override { return name_; }
  const std::string& keyText() const override { return tree_.hdr.keyExpr; }
  const std::string& forText() const override { return tree_.hdr.forExpr; }
  int keyLength() const override { return tree_.kl(); }
  bool descending() const override { return tree_.hdr.descending != 0; }
  bool evaluable() const override { return evaluable_ && !retired_; }
  Result<std::string> keyOf(std::string_view record) const override;
  Result<bool> admits(std::string_view record) const override;
  Status insert(std::string_view key, uint32_t recno) override;
  Status remove(std::string_view key, uint32_t recno) override;
  Result<OptEntry> first() override;
  Result<OptEntry> last() override;
  Result<OptEntry> lowerBound(std::string_view key) override;
  Result<OptEntry> next(const IndexEntry& from) override;
  Result<OptEntry> prev(const IndexEntry& from) override;

  Tree& tree() { return tree_; }
  const std::string& whyNot() const { return whyNot_; }
  bool nullable() const { return (tree_.hdr.options & cdx::kOptNullable) != 0; }
  void retire() { retired_ = true; }
  bool retired() const { return retired_; }
  Status writable() const;

 private:
  CdxBag* bag_;
  std::string name_;
  Tree tree_;
  std::shared_ptr<KeyExpr> key_;
  std::shared_ptr<KeyExpr> for_;
  bool evaluable_;
  std::string whyNot_;
  bool retired_ = false;
};

class CdxBag final : public IndexBag {
 public:
  CdxBag(FileSystem& fs, std::string path, RecordLayout layout, bool exclusive)
      : fs_(fs), path_(std::move(path)), layout_(std::move(layout)), exclusive_(exclusive) {}
  ~CdxBag() override {
    if (counterDirty_) (void)writeCounter();
    if (lockHeld_) (void)file_->unlock(kIndexLockByte, 1);
  }

  Status openFile(bool create, bool mustBeNew = false);
  Status loadDirectory();
  Status initEmpty(uint32_t counter = 0);

  const std::string& path() const override { return path_; }
  int tagCount() const override { return static_cast<int>(tags_.size()); }
  IndexTag& tag(int i) override { return *tags_.at(static_cast<size_t>(i)); }
  int findTag(std::string_view name) const override;
  Status createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr,
                   const RecordWalker& records) override {
    return createTag(name, keyExpr, forExpr, records, TagOptions{});
  }
  Status createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr,
                   const RecordWalker& records, const TagOptions& options) override;
  Status reindex(const RecordWalker& records) override;
  Status beginUpdate() override;
  Status endUpdate() override;
  Status refresh() override;
  Status verify(const RecordWalker& records, std::vector<std::string>& problems) override;
  Status flush() override;

  // --- used by the tags
  Status readRefresh() { return (exclusive_ || updateDepth_ > 0) ? Status::ok() : refresh(); }
  // Runs a read. A shared reader may catch another station in the middle of an
  // update and see a half-written tree: a read that finds damage is tried again on
  // fresh pages a few times before the damage is reported.
  template <class F>
  auto sharedRead(F&& f) -> decltype(f()) {
    auto r = f();
    for (int attempt = 0; attempt < 5 && !r && r.status().code() == ErrorCode::Corrupt &&
                          !exclusive_ && updateDepth_ == 0;
         ++attempt) {
      struct timespec ts{0, 2000000L * (attempt + 1)};
      nanosleep(&ts, nullptr);
      dropCache();
      Status st = reloadHeaders();
      if (!st) break;
      r = f();
    }
    return r;
  }
  Status insertEntry(Tree& t, std::string_view key, uint32_t rec);
  Status removeEntry(Tree& t, std::string_view key, uint32_t rec);
  Result<OptEntry> physFirst(Tree& t);
  Result<OptEntry> physLast(Tree& t);
  // First entry >= (key, rec), or > when strict.
  Result<OptEntry> physAtOrAfter(Tree& t, std::string_view key, uint32_t rec, bool strict);
  // Last entry < (key, rec), or <= when inclusive.
  Result<OptEntry> physBefore(Tree& t, std::string_view key, uint32_t rec, bool inclusive);
  bool readOnly() const { return readOnly_; }

 private:
  // --- pages
  Result<NodeP> readNode(const Tree& t, uint32_t off);
  Status writeNode(const Tree& t, uint32_t off, Node n, NodeP* cached = nullptr);
  Status storePage(uint32_t off, const uint8_t* page, NodeP node);
  Result<uint32_t> allocPage();
  Status freePages(const std::vector<uint32_t>& pages);
  Status writeRoot(Tree& t);
  Status writeDirFree();
  void cachePut(uint32_t off, NodeP n);
  void dropCache();
  uint64_t pageLimit() const { return fileSize_ / kPageSize + 1; }

  // --- tree algorithms
  Status descend(const Tree& t, std::string_view key, uint32_t rec, bool strict, Path& p);
  Status leafPosAt(const Tree& t, std::string_view key, uint32_t rec, bool strict, LeafPos& pos);
  Result<OptEntry> forwardFrom(const Tree& t, LeafPos& pos);
  Result<OptEntry> backwardFrom(const Tree& t, LeafPos& pos);
  Status enterSibling(const Tree& t, uint32_t off, uint64_t& guard, LeafPos& pos);
  Status edgeLeaf(const Tree& t, bool last, LeafPos& pos);
  static OptEntry entryAt(const LeafPos& pos);
  Status putNode(Tree& t, Path& p, int level, Node& n, bool atEnd);
  Status fixParentKeys(Tree& t, Path& p, int level, const Node& n);
  Status afterRemove(Tree& t, Path& p, int level, Node& n);
  bool leafFits(const Tree& t, const Node& n, int b, int e) const;
  std::vector<std::pair<int, int>> splitRanges(const Tree& t, const Node& n, bool atEnd) const;
  Status collectPages(const Tree& t, std::vector<uint32_t>& pages);
  Status collectEntries(const Tree& t, std::vector<std::pair<std::string, uint32_t>>& out);
  void checkTree(const Tree& t, const std::string& label, std::vector<std::string>& problems,
                 std::unordered_set<uint32_t>& seen, std::string* keys, std::vector<uint32_t>* recs);

  // --- bag-level helpers
  Status bumpCounter();
  Status writeCounter();
  Status reloadHeaders();
  Result<std::unique_ptr<CdxTag>> makeTag(const std::string& name, uint32_t headerOff);
  Status buildTag(CdxTag*& out, const std::string& name, const std::string& keyExpr,
                  const std::string& forExpr, const RecordWalker& records, bool descending);

  FileSystem& fs_;
  std::string path_;
  RecordLayout layout_;
  bool exclusive_;
  bool readOnly_ = false;
  std::unique_ptr<File> file_;
  uint64_t fileSize_ = 0;
  Tree dir_;
  std::vector<std::unique_ptr<CdxTag>> tags_;
  std::vector<std::unique_ptr<CdxTag>> retired_;
  int updateDepth_ = 0;
  bool changed_ = false;
  bool lockHeld_ = false;
  bool counterDirty_ = false;  // exclusive bags write the counter on flush and close

  struct CacheSlot {
    NodeP node;
    std::list<uint32_t>::iterator lru;
  };
  std::unordered_map<uint32_t, CacheSlot> cache_;
  std::list<uint32_t> lru_;
  size_t cacheBytes_ = 0;
  std::vector<uint8_t> pageBuf_ = std::vector<uint8_t>(kPageSize);
};

// ====================================================================== pages

void CdxBag::cachePut(uint32_t off, NodeP n) {
  auto it = cache_.find(off);
  if (it != cache_.end()) {
    cacheBytes_ -= it->second.node->memoryBytes();
    cacheBytes_ += n->memoryBytes();
    it->second.node = std::move(n);
    lru_.splice(lru_.begin(), lru_, it->second.lru);
  } else {
    cacheBytes_ += n->memoryBytes();
    lru_.push_front(off);
    cache_.emplace(off, CacheSlot{std::move(n), lru_.begin()});
  }
  while ((cache_.size() > kCachePages || cacheBytes_ > kCacheBytes) && cache_.size() > 1) {
    uint32_t victim = lru_.back();
    lru_.pop_back();
    auto v = cache_.find(victim);
    cacheBytes_ -= v->second.node->memoryBytes();
    cache_.erase(v);
  }
}

void CdxBag::dropCache() {
  cache_.clear();
  lru_.clear();
  cacheBytes_ = 0;
}

Result<NodeP> CdxBag::readNode(const Tree& t, uint32_t off) {
  auto it = cache_.find(off);
  if (it != cache_.end() && it->second.node->keyLength == t.kl()) {
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    return it->second.node;
  }
  if (off % kPageSize != 0 || off == 0 || static_cast<uint64_t>(off) + kPageSize > fileSize_)
    return Status::corrupt(path_ + ": puntero a pagina fuera del archivo (" + hexOff(off) + ")");
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(file_->readAt(off, pageBuf_.data(), kPageSize, &got));
  if (got != kPageSize) return Status::corrupt(path_ + ": pagina incompleta en " + hexOff(off));
  auto n = std::make_shared<Node>();
  Status st = cdx::decodeNode(pageBuf_.data(), off, t.kl(), t.filler, fileSize_, n.get());
  if (!st) return st.withContext(path_);
  NodeP p = std::move(n);
  cachePut(off, p);
  return p;
}

Status CdxBag::storePage(uint32_t off, const uint8_t* page, NodeP node) {
  Status st = file_->writeAt(off, page, kPageSize);
  if (!st) {
    dropCache();
    return st.withContext(path_);
  }
  changed_ = true;
  fileSize_ = std::max<uint64_t>(fileSize_, static_cast<uint64_t>(off) + kPageSize);
  cachePut(off, std::move(node));
  return Status::ok();
}

Status CdxBag::writeNode(const Tree& t, uint32_t off, Node n, NodeP* cached) {
  uint8_t buf[kPageSize];
  if (!cdx::encodeNode(n, t.filler, buf))
    return Status::invalid(path_ + ": el nodo no cabe en una pagina (" + hexOff(off) + ")");
  NodeP p = std::make_shared<Node>(std::move(n));
  if (cached) *cached = p;
  return storePage(off, buf, std::move(p));
}

Status CdxBag::writeDirFree() {
  uint8_t b[4];
  put32(b, dir_.hdr.freeList);
  changed_ = true;
  return file_->writeAt(4, b, 4).withContext(path_);
}

Result<uint32_t> CdxBag::allocPage() {
  uint32_t head = dir_.hdr.freeList;
  if (head != 0 && head != kNone) {
    uint8_t b[4];
    size_t got = 0;
    bool usable = head % kPageSize == 0 && head >= cdx::kHeaderSize &&
                  static_cast<uint64_t>(head) + kPageSize <= fileSize_;
    if (usable) {
      PLANILLA_RETURN_IF_ERROR(file_->readAt(head, b, 4, &got));
      uint32_t next = got == 4 ? get32(b) : kNone;
      bool nextOk = next == 0 || next == kNone ||
                    (next % kPageSize == 0 && next >= cdx::kHeaderSize && next != head &&
                     static_cast<uint64_t>(next) + kPageSize <= fileSize_);
      dir_.hdr.freeList = nextOk ? next : 0;  // a damaged list is abandoned, never followed
      PLANILLA_RETURN_IF_ERROR(writeDirFree());
      auto it = cache_.find(head);
      if (it != cache_.end()) {
        cacheBytes_ -= it->second.node->memoryBytes();
        lru_.erase(it->second.lru);
        cache_.erase(it);
      }
      return head;
    }
    dir_.hdr.freeList = 0;
    PLANILLA_RETURN_IF_ERROR(writeDirFree());
  }
  uint64_t off = (fileSize_ + kPageSize - 1) / kPageSize * kPageSize;
  if (off + kPageSize > 0x7FFFF000ull) return Status::invalid(path_ + ": el indice llego a su tamano maximo");
  fileSize_ = off + kPageSize;
  return static_cast<uint32_t>(off);
}

Status CdxBag::freePages(const std::vector<uint32_t>& pages) {
  if (pages.empty()) return Status::ok();
  uint8_t buf[kPageSize];
  for (size_t i = 0; i < pages.size(); ++i) {
    std::memset(buf, 0, sizeof buf);
    uint32_t next = i + 1 < pages.size() ? pages[i + 1] : (dir_.hdr.freeList == kNone ? 0 : dir_.hdr.freeList);
    put32(buf, next);
    PLANILLA_RETURN_IF_ERROR(file_->writeAt(pages[i], buf, kPageSize).withContext(path_));
    auto it = cache_.find(pages[i]);
    if (it != cache_.end()) {
      cacheBytes_ -= it->second.node->memoryBytes();
      lru_.erase(it->second.lru);
      cache_.erase(it);
    }
  }
  dir_.hdr.freeList = pages.front();
  return writeDirFree();
}

Status CdxBag::writeRoot(Tree& t) {
  uint8_t b[4];
  put32(b, t.hdr.root);
  changed_ = true;
  return file_->writeAt(t.headerOff, b, 4).withContext(path_);
}

// ====================================================================== descent

Status CdxBag::descend(const Tree& t, std::string_view key, uint32_t rec, bool strict, Path& p) {
  p.depth = 0;
  uint32_t off = t.hdr.root;
  const int kl = t.kl();
  while (true) {
    if (p.depth >= kMaxDepth) return Status::corrupt(path_ + ": arbol de indice demasiado profundo o ciclico");
    auto r = readNode(t, off);
    if (!r) return r.status();
    NodeP n = std::move(r).value();
    // Binary search: first entry >= target (strict: > target).
    int lo = 0, hi = n->size();
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      int c = cmpEntry(std::string_view(n->keys.data() + static_cast<size_t>(mid) * kl, kl), n->recnos[mid], key, rec);
      if (c < 0 || (strict && c == 0)) lo = mid + 1;
      else hi = mid;
    }
    p.off[p.depth] = off;
    p.node[p.depth] = n;
    if (n->leaf()) {
      p.idx[p.depth] = lo;
      ++p.depth;
      return Status::ok();
    }
    if (lo == n->size()) lo = n->size() - 1;  // beyond every key: the last child
    p.idx[p.depth] = lo;
    ++p.depth;
    off = n->children[lo];
  }
}

Status CdxBag::leafPosAt(const Tree& t, std::string_view key, uint32_t rec, bool strict, LeafPos& pos) {
  Path p;
  PLANILLA_RETURN_IF_ERROR(descend(t, key, rec, strict, p));
  pos.off = p.off[p.depth - 1];
  pos.node = p.node[p.depth - 1];
  pos.idx = p.idx[p.depth - 1];
  return Status::ok();
}

// Moves `pos` onto the neighbouring leaf at `off` (its index is left to the caller).
// `guard` counts the pages a walk may still visit, so that a cycle in the leaf chain
// ends as a corrupt index instead of a loop.
Status CdxBag::enterSibling(const Tree& t, uint32_t off, uint64_t& guard, LeafPos& pos) {
  if (guard-- == 0) return Status::corrupt(path_ + ": cadena de hojas ciclica");
  auto r = readNode(t, off);
  if (!r) return r.status();
  if (!r.value()->leaf()) return Status::corrupt(path_ + ": el hermano de una hoja no es hoja (" + hexOff(off) + ")");
  pos.off = off;
  pos.node = std::move(r).value();
  return Status::ok();
}

OptEntry CdxBag::entryAt(const LeafPos& pos) {
  IndexEntry e;
  e.key.assign(pos.node->key(pos.idx));
  e.recno = pos.node->recnos[pos.idx];
  return OptEntry(std::move(e));
}

Result<OptEntry> CdxBag::forwardFrom(const Tree& t, LeafPos& pos) {
  uint64_t guard = pageLimit();
  while (pos.idx >= pos.node->size()) {
    uint32_t next = pos.node->right;
    if (next == kNone) return OptEntry{};
    PLANILLA_RETURN_IF_ERROR(enterSibling(t, next, guard, pos));
    pos.idx = 0;
  }
  return entryAt(pos);
}

Result<OptEntry> CdxBag::backwardFrom(const Tree& t, LeafPos& pos) {
  uint64_t guard = pageLimit();
  while (pos.idx <= 0) {
    uint32_t prev = pos.node->left;
    if (prev == kNone) return OptEntry{};
    PLANILLA_RETURN_IF_ERROR(enterSibling(t, prev, guard, pos));
    pos.idx = pos.node->size();
  }
  --pos.idx;
  return entryAt(pos);
}

// The leaf at the first (or, with `last`, the last) edge of the tree, reached down the
// first (last) child of every level; the position is before its first entry (after its
// last one).
Status CdxBag::edgeLeaf(const Tree& t, bool last, LeafPos& pos) {
  uint32_t off = t.hdr.root;
  for (int d = 0;; ++d) {
    if (d >= kMaxDepth) return Status::corrupt(path_ + ": arbol de indice demasiado profundo o ciclico");
    auto r = readNode(t, off);
    if (!r) return r.status();
    if (r.value()->leaf()) {
      pos.off = off;
      pos.node = std::move(r).value();
      pos.idx = last ? pos.node->size() : 0;
      return Status::ok();
    }
    off = last ? r.value()->children.back() : r.value()->children.front();
  }
}

Result<OptEntry> CdxBag::physFirst(Tree& t) {
  LeafPos pos;
  PLANILLA_RETURN_IF_ERROR(edgeLeaf(t, false, pos));
  return forwardFrom(t, pos);
}

Result<OptEntry> CdxBag::physLast(Tree& t) {
  LeafPos pos;
  PLANILLA_RETURN_IF_ERROR(edgeLeaf(t, true, pos));
  return backwardFrom(t, pos);
}

// Both walks check that the entry found lies on the right side of the target: a
// damaged sibling link then gives an error instead of sending a caller's loop back
// over entries it has seen (and so never ending).
Result<OptEntry> CdxBag::physAtOrAfter(Tree& t, std::string_view key, uint32_t rec, bool strict) {
  LeafPos pos;
  PLANILLA_RETURN_IF_ERROR(leafPosAt(t, key, rec, strict, pos));
  auto r = forwardFrom(t, pos);
  if (r && r.value()) {
    int c = cmpEntry(r.value()->key, r.value()->recno, key, rec);
    if (c < 0 || (strict && c == 0)) return Status::corrupt(path_ + ": hojas del indice fuera de orden (" + hexOff(pos.off) + ")");
  }
  return r;
}

Result<OptEntry> CdxBag::physBefore(Tree& t, std::string_view key, uint32_t rec, bool inclusive) {
  LeafPos pos;
  PLANILLA_RETURN_IF_ERROR(leafPosAt(t, key, rec, inclusive, pos));
  auto r = backwardFrom(t, pos);
  if (r && r.value()) {
    int c = cmpEntry(r.value()->key, r.value()->recno, key, rec);
    if (c > 0 || (!inclusive && c == 0)) return Status::corrupt(path_ + ": hojas del indice fuera de orden (" + hexOff(pos.off) + ")");
  }
  return r;
}

// ====================================================================== changes

bool CdxBag::leafFits(const Tree& t, const Node& n, int b, int e) const {
  cdx::LeafSizer s(t.kl(), t.filler);
  size_t size = 24;
  for (int i = b; i < e; ++i) {
    size = s.sizeWith(n.key(i), n.recnos[i]);
    s.add(n.key(i), n.recnos[i]);
  }
  return size <= kPageSize;
}

std::vector<std::pair<int, int>> CdxBag::splitRanges(const Tree& t, const Node& n, bool atEnd) const {
  const int cnt = n.size();
  auto fits = [&](int b, int e) {
    return n.leaf() ? leafFits(t, n, b, e) : (e - b) <= cdx::interiorCapacity(t.kl());
  };
  // Appending at the end of the last node: keep the full node, start a new one.
  if (atEnd && cnt >= 2 && fits(0, cnt - 1)) return {{0, cnt - 1}, {cnt - 1, cnt}};
  for (int d = 0; d < cnt; ++d) {
    for (int s : {cnt / 2 - d, cnt / 2 + d}) {
      if (s >= 1 && s < cnt && fits(0, s) && fits(s, cnt)) return {{0, s}, {s, cnt}};
    }
  }
  // Very long keys: as many pieces as needed, each filled greedily.
  std::vector<std::pair<int, int>> out;
  int b = 0;
  while (b < cnt) {
    int e = b + 1;
    while (e < cnt && fits(b, e + 1)) ++e;
    out.emplace_back(b, e);
    b = e;
  }
  return out;
}

static void copyRange(const Node& from, int b, int e, Node& to) {
  const size_t kl = static_cast<size_t>(from.keyLength);
  to.keyLength = from.keyLength;
  to.keys.assign(from.keys.data() + b * kl, (e - b) * kl);
  to.recnos.assign(from.recnos.begin() + b, from.recnos.begin() + e);
  if (from.leaf()) to.children.clear();
  else to.children.assign(from.children.begin() + b, from.children.begin() + e);
}

Status CdxBag::fixParentKeys(Tree& t, Path& p, int level, const Node& n) {
  if (n.size() == 0) return Status::ok();
  std::string_view lastKey = n.key(n.size() - 1);
  uint32_t lastRec = n.recnos.back();
  const size_t kl = static_cast<size_t>(t.kl());
  for (int l = level - 1; l >= 0; --l) {
    const Node& parent = *p.node[l];
    int i = p.idx[l];
    if (parent.key(i) == lastKey && parent.recnos[i] == lastRec) break;
    const bool wasLast = i == parent.size() - 1;
    Node copy = parent;
    std::memcpy(copy.keys.data() + i * kl, lastKey.data(), kl);
    copy.recnos[i] = lastRec;
    PLANILLA_RETURN_IF_ERROR(writeNode(t, p.off[l], std::move(copy), &p.node[l]));
    if (!wasLast) break;
  }
  return Status::ok();
}

Status CdxBag::putNode(Tree& t, Path& p, int level, Node& n, bool atEnd) {
  uint8_t page[kPageSize];
  if (cdx::encodeNode(n, t.filler, page)) {
    NodeP np = std::make_shared<Node>(std::move(n));
    p.node[level] = np;
    PLANILLA_RETURN_IF_ERROR(storePage(p.off[level], page, np));
    return level > 0 ? fixParentKeys(t, p, level, *np) : Status::ok();
  }
  // Split into pieces; the first keeps the page, the others get new ones.
  auto ranges = splitRanges(t, n, atEnd && n.right == kNone);
  const size_t k = ranges.size();
  std::vector<uint32_t> offs(k);
  offs[0] = p.off[level];
  for (size_t i = 1; i < k; ++i) {
    auto a = allocPage();
    if (!a) return a.status();
    offs[i] = a.value();
  }
  std::vector<Node> pieces(k);
  const uint16_t kind = n.leaf() ? cdx::kNodeLeaf : 0;
  for (size_t i = 0; i < k; ++i) {
    copyRange(n, ranges[i].first, ranges[i].second, pieces[i]);
    pieces[i].flags = kind;
    pieces[i].left = i == 0 ? n.left : offs[i - 1];
    pieces[i].right = i + 1 == k ? n.right : offs[i + 1];
  }
  // New pages first, the old page last: a reader never follows a link to a page
  // that is not written yet.
  for (size_t i = k; i-- > 0;) PLANILLA_RETURN_IF_ERROR(writeNode(t, offs[i], pieces[i]));
  if (n.right != kNone) {
    auto r = readNode(t, n.right);
    if (!r) return r.status();
    Node nb = *r.value();
    nb.left = offs.back();
    PLANILLA_RETURN_IF_ERROR(writeNode(t, n.right, nb));
  }
  const size_t kl = static_cast<size_t>(t.kl());
  if (level == 0) {
    auto a = allocPage();
    if (!a) return a.status();
    Node root;
    root.flags = cdx::kNodeRoot;
    root.keyLength = t.kl();
    for (size_t i = 0; i < k; ++i) {
      const Node& pc = pieces[i];
      root.keys.append(pc.keys.data() + (pc.size() - 1) * kl, kl);
      root.recnos.push_back(pc.recnos.back());
      root.children.push_back(offs[i]);
    }
    PLANILLA_RETURN_IF_ERROR(writeNode(t, a.value(), root));
    t.hdr.root = a.value();
    return writeRoot(t);
  }
  Node parent = *p.node[level - 1];
  int pi = p.idx[level - 1];
  bool parentAtEnd = atEnd && pi == parent.size() - 1;
  std::string keys;
  std::vector<uint32_t> recs, kids;
  for (size_t i = 0; i < k; ++i) {
    const Node& pc = pieces[i];
    keys.append(pc.keys.data() + (pc.size() - 1) * kl, kl);
    recs.push_back(pc.recnos.back());
    kids.push_back(offs[i]);
  }
  parent.keys.replace(pi * kl, kl, keys);
  parent.recnos.erase(parent.recnos.begin() + pi);
  parent.recnos.insert(parent.recnos.begin() + pi, recs.begin(), recs.end());
  parent.children.erase(parent.children.begin() + pi);
  parent.children.insert(parent.children.begin() + pi, kids.begin(), kids.end());
  return putNode(t, p, level - 1, parent, parentAtEnd);
}

Status CdxBag::insertEntry(Tree& t, std::string_view key, uint32_t rec) {
  Path p;
  PLANILLA_RETURN_IF_ERROR(descend(t, key, rec, false, p));
  int level = p.depth - 1;
  const Node& leaf = *p.node[level];
  int i = p.idx[level];
  if (i < leaf.size() && leaf.key(i) == key && leaf.recnos[i] == rec)
    return Status::invalid("la clave del registro " + std::to_string(rec) + " ya esta en el indice");
  Node n = leaf;
  const size_t kl = static_cast<size_t>(t.kl());
  n.keys.insert(i * kl, key.data(), kl);
  n.recnos.insert(n.recnos.begin() + i, rec);
  bool atEnd = i == leaf.size();
  return putNode(t, p, level, n, atEnd);
}

Status CdxBag::afterRemove(Tree& t, Path& p, int level, Node& n) {
  if (n.size() == 0) {
    if (level == 0) {
      n.flags = cdx::kNodeRoot | cdx::kNodeLeaf;
      n.children.clear();
      n.left = n.right = kNone;
      return writeNode(t, p.off[0], n);
    }
    if (n.left != kNone) {
      auto r = readNode(t, n.left);
      if (!r) return r.status();
      Node l = *r.value();
      l.right = n.right;
      PLANILLA_RETURN_IF_ERROR(writeNode(t, n.left, l));
    }
    if (n.right != kNone) {
      auto r = readNode(t, n.right);
      if (!r) return r.status();
      Node rn = *r.value();
      rn.left = n.left;
      PLANILLA_RETURN_IF_ERROR(writeNode(t, n.right, rn));
    }
    PLANILLA_RETURN_IF_ERROR(freePages({p.off[level]}));
    Node parent = *p.node[level - 1];
    int pi = p.idx[level - 1];
    const size_t kl = static_cast<size_t>(t.kl());
    parent.keys.erase(pi * kl, kl);
    parent.recnos.erase(parent.recnos.begin() + pi);
    parent.children.erase(parent.children.begin() + pi);
    if (parent.size() > 0 && pi == parent.size()) p.idx[level - 1] = pi - 1;
    return afterRemove(t, p, level - 1, parent);
  }
  if (level == 0 && !n.leaf() && n.size() == 1) {
    // A root with one child gives way to the child.
    std::vector<uint32_t> freed{p.off[0]};
    uint32_t child = n.children[0];
    for (int guard = 0;; ++guard) {
      if (guard >= kMaxDepth) return Status::corrupt(path_ + ": arbol de indice ciclico");
      auto r = readNode(t, child);
      if (!r) return r.status();
      if (!r.value()->leaf() && r.value()->size() == 1) {
        freed.push_back(child);
        child = r.value()->children[0];
        continue;
      }
      Node c = *r.value();
      c.flags |= cdx::kNodeRoot;
      c.left = c.right = kNone;
      PLANILLA_RETURN_IF_ERROR(writeNode(t, child, c));
      break;
    }
    t.hdr.root = child;
    PLANILLA_RETURN_IF_ERROR(writeRoot(t));
    return freePages(freed);
  }
  if (level > 0) {
    // A thin node joins a neighbour under the same parent when both fit one page.
    const Node& parent = *p.node[level - 1];
    const int pi = p.idx[level - 1];
    bool thin;
    if (n.leaf()) {
      cdx::LeafSizer sizer(t.kl(), t.filler);
      size_t bytes = 24;
      for (int i = 0; i < n.size() && bytes < kPageSize / 3; ++i) {
        bytes = sizer.sizeWith(n.key(i), n.recnos[i]);
        sizer.add(n.key(i), n.recnos[i]);
      }
      thin = bytes < kPageSize / 3;
    } else {
      thin = n.size() <= cdx::interiorCapacity(t.kl()) / 3;
    }
    for (int side = 0; thin && side < 2; ++side) {
      const bool right = side == 0;
      const int li = right ? pi : pi - 1;  // parent entry of the left one of the pair
      if (li < 0 || li + 1 >= parent.size()) continue;
      const uint32_t otherOff = right ? n.right : n.left;
      if (otherOff == kNone || otherOff != parent.children[right ? pi + 1 : pi - 1]) continue;
      auto r = readNode(t, otherOff);
      if (!r) return r.status();
      NodeP other = std::move(r).value();
      if (other->leaf() != n.leaf()) continue;
      const Node& L = right ? n : *other;
      const Node& R = right ? *other : n;
      const uint32_t leftOff = right ? p.off[level] : otherOff;
      const uint32_t rightOff = right ? otherOff : p.off[level];
      Node merged = L;
      merged.keys += R.keys;
      merged.recnos.insert(merged.recnos.end(), R.recnos.begin(), R.recnos.end());
      merged.children.insert(merged.children.end(), R.children.begin(), R.children.end());
      merged.left = L.left;
      merged.right = R.right;
      uint8_t page[kPageSize];
      if (!cdx::encodeNode(merged, t.filler, page)) continue;
      const uint32_t farRight = R.right;
      const size_t kl = static_cast<size_t>(t.kl());
      Node par = parent;
      par.keys.replace(li * kl, kl, merged.keys, (merged.size() - 1) * kl, kl);
      par.recnos[li] = merged.recnos.back();
      par.keys.erase((li + 1) * kl, kl);
      par.recnos.erase(par.recnos.begin() + li + 1);
      par.children.erase(par.children.begin() + li + 1);
      PLANILLA_RETURN_IF_ERROR(storePage(leftOff, page, std::make_shared<Node>(std::move(merged))));
      if (farRight != kNone) {
        auto rr = readNode(t, farRight);
        if (!rr) return rr.status();
        Node nb = *rr.value();
        nb.left = leftOff;
        PLANILLA_RETURN_IF_ERROR(writeNode(t, farRight, std::move(nb)));
      }
      PLANILLA_RETURN_IF_ERROR(freePages({rightOff}));
      p.idx[level - 1] = li;
      return afterRemove(t, p, level - 1, par);
    }
  }
  return putNode(t, p, level, n, false);
}

Status CdxBag::removeEntry(Tree& t, std::string_view key, uint32_t rec) {
  Path p;
  PLANILLA_RETURN_IF_ERROR(descend(t, key, rec, false, p));
  int level = p.depth - 1;
  const Node& leaf = *p.node[level];
  int i = p.idx[level];
  if (i >= leaf.size() || leaf.key(i) != key || leaf.recnos[i] != rec)
    return Status::notFound("la clave del registro " + std::to_string(rec) + " no esta en el indice");
  Node n = leaf;
  const size_t kl = static_cast<size_t>(t.kl());
  n.keys.erase(i * kl, kl);
  n.recnos.erase(n.recnos.begin() + i);
  return afterRemove(t, p, level, n);
}

// ====================================================================== walking

Status CdxBag::collectPages(const Tree& t, std::vector<uint32_t>& pages) {
  std::vector<uint32_t> level{t.hdr.root};
  std::unordered_set<uint32_t> seen;
  for (int d = 0; !level.empty(); ++d) {
    if (d >= kMaxDepth) return Status::corrupt(path_ + ": arbol de indice demasiado profundo");
    std::vector<uint32_t> next;
    for (uint32_t off : level) {
      if (!seen.insert(off).second) return Status::corrupt(path_ + ": pagina repetida en el arbol " + hexOff(off));
      pages.push_back(off);
      auto r = readNode(t, off);
      if (!r) return r.status();
      if (!r.value()->leaf()) next.insert(next.end(), r.value()->children.begin(), r.value()->children.end());
    }
    level.swap(next);
  }
  return Status::ok();
}

Status CdxBag::collectEntries(const Tree& t, std::vector<std::pair<std::string, uint32_t>>& out) {
  Tree tt = t;
  auto r = physFirst(tt);
  if (!r) return r.status();
  OptEntry e = std::move(r).value();
  uint64_t guard = 0;
  const uint64_t limit = pageLimit() * (kPageSize / 4 + 1);
  while (e) {
    if (++guard > limit) return Status::corrupt(path_ + ": recorrido del indice sin fin");
    out.emplace_back(e->key, e->recno);
    auto n = physAtOrAfter(tt, e->key, e->recno, true);
    if (!n) return n.status();
    e = std::move(n).value();
  }
  return Status::ok();
}

// ====================================================================== bag

Status CdxBag::openFile(bool create, bool mustBeNew) {
  OpenOptions o;
  o.create = create && !mustBeNew;
  o.truncate = create && !mustBeNew;
  o.mustCreate = create && mustBeNew;
  auto f = fs_.open(path_, o);
  if (!f && !create && !exclusive_ && f.status().code() == ErrorCode::IoError) {
    // A bag we may not write (read-only media, permissions) still opens for reading.
    o.readOnly = true;
    auto ro = fs_.open(path_, o);
    if (!ro) return f.status();
    readOnly_ = true;
    file_ = std::move(ro).value();
  } else {
    if (!f) {
      if (f.status().code() == ErrorCode::InUse)
        return Status::inUse("Apertura denegada: el archivo " + path_ + " esta en uso");
      return f.status();
    }
    file_ = std::move(f).value();
  }
  if (exclusive_) {
    // Exclusive use: every open holds the use byte shared, so this refuses (and is
    // refused by) any other open of the bag, in this process or another.
    Status st = file_->lock(kUseLockOffset, 1, LockKind::Exclusive);
    if (st.code() == ErrorCode::Locked)
      return Status::inUse("Apertura denegada: el archivo " + path_ + " esta en uso por otra estacion");
    PLANILLA_RETURN_IF_ERROR(st.withContext(path_));
  }
  auto sz = file_->size();
  if (!sz) return sz.status();
  fileSize_ = sz.value();
  return Status::ok();
}

Status CdxBag::initEmpty(uint32_t counter) {
  dir_.headerOff = 0;
  dir_.filler = 0x00;
  dir_.hdr = cdx::Header();
  dir_.hdr.counter = counter;
  dir_.hdr.root = cdx::kHeaderSize;
  dir_.hdr.freeList = 0;
  dir_.hdr.keyLength = cdx::kDirectoryKeyLength;
  dir_.hdr.options = cdx::kOptCompact | cdx::kOptCompound | cdx::kOptDirectory;
  std::vector<uint8_t> buf(cdx::kHeaderSize + kPageSize);
  cdx::encodeHeader(dir_.hdr, buf.data());
  Node root;
  root.flags = cdx::kNodeRoot | cdx::kNodeLeaf;
  root.keyLength = cdx::kDirectoryKeyLength;
  if (!cdx::encodeNode(root, dir_.filler, buf.data() + cdx::kHeaderSize))
    return Status::invalid("no se pudo crear el directorio del indice");
  PLANILLA_RETURN_IF_ERROR(file_->writeAt(0, buf.data(), buf.size()).withContext(path_));
  fileSize_ = buf.size();
  return Status::ok();
}

Result<std::unique_ptr<CdxTag>> CdxBag::makeTag(const std::string& name, uint32_t headerOff) {
  std::vector<uint8_t> h(cdx::kHeaderSize);
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(file_->readAt(headerOff, h.data(), h.size(), &got));
  if (got != h.size()) return Status::corrupt(path_ + ": cabecera de la etiqueta " + name + " fuera del archivo");
  Tree t;
  t.headerOff = headerOff;
  Status st = cdx::decodeHeader(h.data(), headerOff, fileSize_, &t.hdr);
  if (!st) return st.withContext(path_ + ": etiqueta " + name);
  if (t.hdr.options & cdx::kOptDirectory)
    return Status::corrupt(path_ + ": la etiqueta " + name + " apunta a una cabecera de directorio");
  std::shared_ptr<KeyExpr> key, forE;
  std::string why;
  bool ok = true;
  auto k = KeyExpr::compile(t.hdr.keyExpr, layout_);
  if (k) {
    key = k.value();
    int expect = key->keyLength() + ((t.hdr.options & cdx::kOptNullable) ? 1 : 0);
    if (expect != t.hdr.keyLength) {
      ok = false;
      why = "la expresion da claves de " + std::to_string(expect) + " bytes y el indice usa " +
            std::to_string(t.hdr.keyLength);
    }
    t.filler = key->type() == KeyExpr::Type::Char ? 0x20 : 0x00;
  } else {
    ok = false;
    why = k.status().message();
    t.filler = 0x20;
  }
  std::string forText = t.hdr.forExpr;
  if (ok && forText.find_first_not_of(' ') != std::string::npos) {
    auto f = KeyExpr::compile(forText, layout_);
    if (!f) {
      ok = false;
      why = f.status().message();
    } else if (f.value()->type() != KeyExpr::Type::Logical) {
      ok = false;
      why = "la condicion FOR no es logica";
    } else {
      forE = f.value();
    }
  }
  return std::make_unique<CdxTag>(this, name, std::move(t), key, forE, ok, why);
}

Status CdxBag::loadDirectory() {
  if (fileSize_ < cdx::kHeaderSize + kPageSize)
    return Status::corrupt(path_ + ": archivo de indice demasiado corto (" + std::to_string(fileSize_) + " bytes)");
  std::vector<uint8_t> h(cdx::kHeaderSize);
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(file_->readAt(0, h.data(), h.size(), &got).withContext(path_));
  if (got != h.size()) return Status::corrupt(path_ + ": cabecera incompleta");
  dir_.headerOff = 0;
  dir_.filler = 0x00;
  Status st = cdx::decodeHeader(h.data(), 0, fileSize_, &dir_.hdr);
  if (!st) return st.withContext(path_);
  if (!(dir_.hdr.options & cdx::kOptDirectory))
    return Status::corrupt(path_ + ": no es un indice compuesto (falta el directorio de etiquetas)");
  if (dir_.hdr.keyLength != cdx::kDirectoryKeyLength)
    return Status::corrupt(path_ + ": directorio de etiquetas con claves de " + std::to_string(dir_.hdr.keyLength) + " bytes");
  std::vector<std::pair<std::string, uint32_t>> entries;
  PLANILLA_RETURN_IF_ERROR(collectEntries(dir_, entries));
  std::vector<std::unique_ptr<CdxTag>> tags;
  for (size_t i = 0; i < entries.size(); ++i) {
    auto& [k, off] = entries[i];
    // Entries are ordered by name, then header offset: of two entries with one name
    // (a replacement cut short) the later, newer one wins.
    if (i + 1 < entries.size() && entries[i + 1].first == k) continue;
    std::string name = k;
    while (!name.empty() && (name.back() == '\0' || name.back() == ' ')) name.pop_back();
    auto t = makeTag(name, off);
    if (!t) return t.status();
    tags.push_back(std::move(t).value());
  }
  std::stable_sort(tags.begin(), tags.end(),
                   [](const auto& a, const auto& b) { return a->tree().headerOff < b->tree().headerOff; });
  tags_ = std::move(tags);
  return Status::ok();
}

int CdxBag::findTag(std::string_view name) const {
  for (size_t i = 0; i < tags_.size(); ++i) {
    const std::string& n = tags_[i]->name();
    if (n.size() != name.size()) continue;
    bool eq = true;
    for (size_t j = 0; j < n.size() && eq; ++j)
      eq = std::toupper(static_cast<unsigned char>(n[j])) == std::toupper(static_cast<unsigned char>(name[j]));
    if (eq) return static_cast<int>(i);
  }
  return -1;
}

Status CdxBag::reloadHeaders() {
  uint8_t b[12];
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(file_->readAt(0, b, sizeof b, &got).withContext(path_));
  if (got != sizeof b) return Status::corrupt(path_ + ": cabecera incompleta");
  auto sz = file_->size();
  if (!sz) return sz.status();
  fileSize_ = sz.value();
  dir_.hdr.root = get32(b);
  dir_.hdr.freeList = get32(b + 4);
  dir_.hdr.counter = get32be(b + 8);
  for (auto& t : tags_) {
    uint8_t r[4];
    PLANILLA_RETURN_IF_ERROR(file_->readAt(t->tree().headerOff, r, 4, &got).withContext(path_));
    if (got != 4) return Status::corrupt(path_ + ": cabecera de etiqueta incompleta");
    t->tree().hdr.root = get32(r);
  }
  return Status::ok();
}

Status CdxBag::refresh() {
  if (exclusive_) return Status::ok();
  uint8_t b[4];
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(file_->readAt(8, b, 4, &got).withContext(path_));
  if (got != 4) return Status::corrupt(path_ + ": cabecera incompleta");
  if (get32be(b) == dir_.hdr.counter) return Status::ok();
  dropCache();
  return reloadHeaders();
}

Status CdxBag::beginUpdate() {
  if (readOnly_) return Status::invalid(path_ + ": el indice esta abierto solo para lectura");
  if (updateDepth_++ > 0) return Status::ok();
  changed_ = false;
  if (exclusive_) return Status::ok();
  Status st = file_->lock(kIndexLockByte, 1, LockKind::Exclusive);
  if (!st) {
    --updateDepth_;
    if (st.code() == ErrorCode::Locked)
      return Status::locked(path_ + ": el indice esta siendo actualizado en otra estacion");
    return st.withContext(path_);
  }
  lockHeld_ = true;
  // Every writer bumps the counter, so an unchanged counter means the free list,
  // the roots and the file size are as this station last saw them.
  st = refresh();
  if (!st) {
    (void)file_->unlock(kIndexLockByte, 1);
    lockHeld_ = false;
    --updateDepth_;
  }
  return st;
}

Status CdxBag::writeCounter() {
  uint8_t b[4];
  put32be(b, dir_.hdr.counter);
  counterDirty_ = false;
  return file_->writeAt(8, b, 4).withContext(path_);
}

Status CdxBag::bumpCounter() {
  dir_.hdr.counter += 1;
  if (exclusive_) {
    // Nobody else has the file open: the new value is written once, on flush or close.
    counterDirty_ = true;
    return Status::ok();
  }
  return writeCounter();
}

Status CdxBag::endUpdate() {
  if (updateDepth_ == 0) return Status::invalid(path_ + ": fin de actualizacion sin inicio");
  if (--updateDepth_ > 0) return Status::ok();
  Status st = Status::ok();
  if (changed_) st = bumpCounter();
  changed_ = false;
  if (lockHeld_) {
    Status u = file_->unlock(kIndexLockByte, 1);
    lockHeld_ = false;
    if (st && !u) st = u.withContext(path_);
  }
  return st;
}

Status CdxBag::flush() {
  if (counterDirty_) PLANILLA_RETURN_IF_ERROR(writeCounter());
  return file_->sync().withContext(path_);
}

Status CdxBag::reindex(const RecordWalker& records) {
  if (readOnly_) return Status::invalid(path_ + ": el indice esta abierto solo para lectura");
  if (!exclusive_) return Status::invalid(path_ + ": reindexar requiere el indice en uso exclusivo");
  struct Def {
    std::string name, key, cond;
    bool descending;
  };
  std::vector<Def> defs;
  for (const auto& t : tags_) {
    Def d{t->name(), t->keyText(), t->forText(), t->descending()};
    auto k = KeyExpr::compile(d.key, layout_);
    if (!k) return k.status().withContext("etiqueta " + d.name);
    if (d.cond.find_first_not_of(' ') != std::string::npos) {
      auto f = KeyExpr::compile(d.cond, layout_);
      if (!f) return f.status().withContext("etiqueta " + d.name);
    }
    defs.push_back(std::move(d));
  }
  const uint32_t counter = dir_.hdr.counter + 1;
  dropCache();
  for (auto& t : tags_) {
    t->retire();
    retired_.push_back(std::move(t));
  }
  tags_.clear();
  PLANILLA_RETURN_IF_ERROR(file_->truncate(0).withContext(path_));
  fileSize_ = 0;
  PLANILLA_RETURN_IF_ERROR(initEmpty(counter));
  for (const Def& d : defs)
    PLANILLA_RETURN_IF_ERROR(createTag(d.name, d.key, d.cond, records, TagOptions{d.descending}));
  return Status::ok();
}

// ---------------------------------------------------------------- bulk build

namespace {
bool validTagName(const std::string& n) {
  if (n.empty() || n.size() > 10) return false;
  if (!std::isalpha(static_cast<unsigned char>(n[0])) && n[0] != '_') return false;
  for (char c : n)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}
}  // namespace

Status CdxBag::createTag(const std::string& rawName, const std::string& keyExpr, const std::string& forExpr,
                         const RecordWalker& records, const TagOptions& options) {
  std::string name = rawName;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!validTagName(name)) return Status::invalid("nombre de etiqueta invalido: '" + rawName + "'");
  PLANILLA_RETURN_IF_ERROR(beginUpdate());
  CdxTag* made = nullptr;
  Status st = buildTag(made, name, keyExpr, forExpr, records, options.descending);
  if (st) changed_ = true;
  Status e = endUpdate();
  if (!st) return st;
  return e;
}

Status CdxBag::buildTag(CdxTag*& made, const std::string& name, const std::string& keyExpr,
                        const std::string& forExpr, const RecordWalker& records, bool descending) {
  auto kr = KeyExpr::compile(keyExpr, layout_);
  if (!kr) return kr.status().withContext("etiqueta " + name);
  auto* key = static_cast<CompiledExpr*>(kr.value().get());
  std::shared_ptr<KeyExpr> forE;
  CompiledExpr* forC = nullptr;
  if (forExpr.find_first_not_of(' ') != std::string::npos) {
    auto fr = KeyExpr::compile(forExpr, layout_);
    if (!fr) return fr.status().withContext("etiqueta " + name);
    if (fr.value()->type() != KeyExpr::Type::Logical)
      return Status::invalid("etiqueta " + name + ": la condicion FOR no es logica");
    forE = fr.value();
    forC = static_cast<CompiledExpr*>(forE.get());
  }
  if (!cdx::headerFits(keyExpr, forExpr)) return Status::invalid("etiqueta " + name + ": expresiones demasiado largas");
  const int kl = key->keyLength();
  const size_t ukl = static_cast<size_t>(kl);
  const uint8_t filler = key->filler();

  // 1. Keys of every admitted record, in one flat buffer.
  std::string keys;
  std::vector<uint32_t> recs;
  if (records) {
    Status walk = records([&](uint32_t recno, std::string_view rec) -> Status {
      if (forC) {
        auto a = forC->truth(rec);
        if (!a) return a.status().withContext("registro " + std::to_string(recno));
        if (!a.value()) return Status::ok();
      }
      size_t at = keys.size();
      if (at + ukl > keys.capacity()) keys.reserve(std::max<size_t>(4096, keys.capacity() * 2));
      keys.resize(at + ukl);
      Status s = key->keyInto(rec, keys.data() + at);
      if (!s) return s.withContext("registro " + std::to_string(recno));
      recs.push_back(recno);
      return Status::ok();
    });
    if (!walk) return walk;
  }
  const size_t n = recs.size();

  // 2. Sort by (first 8 key bytes, rest of the key, record number).
  struct Item {
    uint64_t prefix;
    uint32_t idx;
  };
  std::vector<Item> order(n);
  const size_t pre = std::min<size_t>(8, ukl);
  for (size_t i = 0; i < n; ++i) {
    uint64_t p = 0;
    const auto* k = reinterpret_cast<const uint8_t*>(keys.data() + i * ukl);
    for (size_t j = 0; j < 8; ++j) p = (p << 8) | (j < pre ? k[j] : 0);
    order[i] = Item{p, static_cast<uint32_t>(i)};
  }
  const char* kb = keys.data();
  std::sort(order.begin(), order.end(), [&](const Item& a, const Item& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (ukl > 8) {
      int c = std::memcmp(kb + a.idx * ukl + 8, kb + b.idx * ukl + 8, ukl - 8);
      if (c) return c < 0;
    }
    return recs[a.idx] < recs[b.idx];
  });
  for (size_t i = 1; i < n; ++i) {
    const Item& a = order[i - 1];
    const Item& b = order[i];
    if (recs[a.idx] == recs[b.idx] && std::memcmp(kb + a.idx * ukl, kb + b.idx * ukl, ukl) == 0)
      return Status::invalid("etiqueta " + name + ": el registro " + std::to_string(recs[a.idx]) + " aparece dos veces");
  }

  // 3. Pages. First the shape: where each leaf ends and how many nodes each level
  // above has; then a page for every node, taken from the free list first (so that
  // rebuilding a tag again and again does not grow the file) and then after a fresh
  // tag header at the end; then the pages, written in long runs where they follow
  // each other.
  Tree t;
  t.filler = filler;
  t.hdr.keyLength = static_cast<uint16_t>(kl);
  t.hdr.options = cdx::kOptCompact | cdx::kOptCompound | (forC ? cdx::kOptHasFor : 0);
  t.hdr.descending = descending ? 1 : 0;
  t.hdr.keyExpr = keyExpr;
  t.hdr.forExpr = forE ? forExpr : "";
  t.hdr.freeList = 0;
  auto keyAt = [&](size_t i) { return std::string_view(kb + order[i].idx * ukl, ukl); };
  auto recAt = [&](size_t i) { return recs[order[i].idx]; };

  std::vector<size_t> leafEnd;
  {
    cdx::LeafSizer sizer(kl, filler);
    for (size_t i = 0; i < n; ++i) {
      if (sizer.count() > 0 && sizer.sizeWith(keyAt(i), recAt(i)) > kPageSize) {
        leafEnd.push_back(i);
        sizer.reset();
      }
      sizer.add(keyAt(i), recAt(i));
    }
    leafEnd.push_back(n);
  }
  const int cap = cdx::interiorCapacity(kl);
  std::vector<size_t> levelPages{leafEnd.size()};
  while (levelPages.back() > 1) levelPages.push_back((levelPages.back() + cap - 1) / cap);
  size_t total = 0;
  for (size_t c : levelPages) total += c;

  const uint64_t tagOff = (fileSize_ + kPageSize - 1) / kPageSize * kPageSize;
  t.headerOff = static_cast<uint32_t>(tagOff);
  uint64_t endOff = tagOff + cdx::kHeaderSize;
  std::vector<uint32_t> offs;
  offs.reserve(total);
  {
    uint32_t head = dir_.hdr.freeList;
    std::unordered_set<uint32_t> taken;
    auto usable = [&](uint32_t f) {
      return f != 0 && f != kNone && f % kPageSize == 0 && f >= cdx::kHeaderSize &&
             static_cast<uint64_t>(f) + kPageSize <= fileSize_ && !taken.count(f);
    };
    while (offs.size() < total && usable(head)) {
      uint8_t b[4];
      size_t got = 0;
      PLANILLA_RETURN_IF_ERROR(file_->readAt(head, b, 4, &got).withContext(path_));
      offs.push_back(head);
      taken.insert(head);
      head = got == 4 ? get32(b) : 0;
    }
    if (!offs.empty()) {
      // The list loses these pages before they are written: a failure from here on
      // leaves them unreferenced, never both free and in use.
      dir_.hdr.freeList = usable(head) ? head : 0;
      PLANILLA_RETURN_IF_ERROR(writeDirFree());
    }
  }
  while (offs.size() < total) {
    offs.push_back(static_cast<uint32_t>(endOff));
    endOff += kPageSize;
  }
  if (endOff > 0x7FFFF000ull) return Status::invalid(path_ + ": el indice llego a su tamano maximo");

  std::vector<uint8_t> out;
  out.reserve(kWriteChunk);
  uint64_t outOff = 0;  // file offset of out[0]
  auto flushOut = [&]() -> Status {
    if (out.empty()) return Status::ok();
    Status s = file_->writeAt(outOff, out.data(), out.size());
    if (!s) return s.withContext(path_);
    out.clear();
    return Status::ok();
  };
  // Encodes one page into the current run (or starts a new run); the page stays in
  // `out` until the next one arrives, so the root flag can still be set on it.
  auto emit = [&](uint32_t off, const Node& node) -> Status {
    bool follows = !out.empty() && off == outOff + out.size() && out.size() + kPageSize <= kWriteChunk;
    if (!follows) {
      PLANILLA_RETURN_IF_ERROR(flushOut());
      outOff = off;
    }
    size_t at = out.size();
    out.resize(at + kPageSize);
    if (!cdx::encodeNode(node, filler, out.data() + at))
      return Status::invalid("etiqueta " + name + ": una clave no cabe en una pagina");
    return Status::ok();
  };

  // Level list: last key, record and page of every node of the level below.
  std::string lvKeys;
  std::vector<uint32_t> lvRecs, lvOffs;
  Node lastNode;
  {
    const size_t leaves = leafEnd.size();
    Node node;
    node.keyLength = kl;
    node.flags = cdx::kNodeLeaf;
    size_t b = 0;
    for (size_t j = 0; j < leaves; ++j) {
      node.keys.clear();
      node.recnos.clear();
      for (size_t i = b; i < leafEnd[j]; ++i) {
        node.keys.append(keyAt(i));
        node.recnos.push_back(recAt(i));
      }
      b = leafEnd[j];
      node.left = j == 0 ? kNone : offs[j - 1];
      node.right = j + 1 < leaves ? offs[j + 1] : kNone;
      PLANILLA_RETURN_IF_ERROR(emit(offs[j], node));
      if (node.size() > 0) {
        lvKeys.append(node.keys.data() + (node.size() - 1) * ukl, ukl);
        lvRecs.push_back(node.recnos.back());
      } else {
        lvKeys.append(ukl, static_cast<char>(filler));
        lvRecs.push_back(0);
      }
      lvOffs.push_back(offs[j]);
    }
    lastNode = std::move(node);
  }
  // Free the sort memory before building the levels above.
  std::vector<Item>().swap(order);
  std::string().swap(keys);
  std::vector<uint32_t>().swap(recs);

  size_t base = levelPages[0];
  for (size_t lv = 1; lv < levelPages.size(); ++lv) {
    std::string upKeys;
    std::vector<uint32_t> upRecs, upOffs;
    const size_t m = lvOffs.size();
    const size_t pages = levelPages[lv];
    const size_t per = m / pages, extra = m % pages;
    size_t b = 0;
    for (size_t pgi = 0; pgi < pages; ++pgi) {
      size_t cnt = per + (pgi < extra ? 1 : 0);
      Node in;
      in.keyLength = kl;
      in.flags = 0;
      in.keys.assign(lvKeys.data() + b * ukl, cnt * ukl);
      in.recnos.assign(lvRecs.begin() + b, lvRecs.begin() + b + cnt);
      in.children.assign(lvOffs.begin() + b, lvOffs.begin() + b + cnt);
      in.left = pgi == 0 ? kNone : offs[base + pgi - 1];
      in.right = pgi + 1 < pages ? offs[base + pgi + 1] : kNone;
      PLANILLA_RETURN_IF_ERROR(emit(offs[base + pgi], in));
      upKeys.append(in.keys.data() + (cnt - 1) * ukl, ukl);
      upRecs.push_back(in.recnos.back());
      upOffs.push_back(offs[base + pgi]);
      lastNode = std::move(in);
      b += cnt;
    }
    base += pages;
    lvKeys.swap(upKeys);
    lvRecs.swap(upRecs);
    lvOffs.swap(upOffs);
  }
  // The last page written is the root.
  lastNode.flags |= cdx::kNodeRoot;
  if (!cdx::encodeNode(lastNode, filler, out.data() + out.size() - kPageSize))
    return Status::invalid("etiqueta " + name + ": raiz invalida");
  PLANILLA_RETURN_IF_ERROR(flushOut());
  t.hdr.root = lvOffs.front();
  std::vector<uint8_t> hb(cdx::kHeaderSize);
  cdx::encodeHeader(t.hdr, hb.data());
  PLANILLA_RETURN_IF_ERROR(file_->writeAt(tagOff, hb.data(), hb.size()).withContext(path_));
  fileSize_ = std::max<uint64_t>(fileSize_, endOff);
  for (uint32_t off : offs) {  // pages of the free list may sit in the cache
    auto it = cache_.find(off);
    if (it != cache_.end()) {
      cacheBytes_ -= it->second.node->memoryBytes();
      lru_.erase(it->second.lru);
      cache_.erase(it);
    }
  }
  changed_ = true;

  // 4. Directory: the new tag in, a tag of the same name out, its pages freed.
  std::string dirKey = name;
  dirKey.resize(cdx::kDirectoryKeyLength, '\0');
  int old = findTag(name);
  if (old >= 0) {
    Tree& ot = tags_[old]->tree();
    std::vector<uint32_t> oldPages;
    Status cp = collectPages(ot, oldPages);
    // The new entry goes in before the old one goes out: a crash in between leaves
    // two entries of one name, and opening keeps the newer (see loadDirectory).
    PLANILLA_RETURN_IF_ERROR(insertEntry(dir_, dirKey, t.headerOff));
    PLANILLA_RETURN_IF_ERROR(removeEntry(dir_, dirKey, ot.headerOff));
    if (cp) {
      // A damaged old tree is left unreferenced rather than half freed.
      oldPages.push_back(ot.headerOff);
      oldPages.push_back(ot.headerOff + kPageSize);
      PLANILLA_RETURN_IF_ERROR(freePages(oldPages));
    }
    tags_[old]->retire();
    retired_.push_back(std::move(tags_[old]));
    tags_.erase(tags_.begin() + old);
  } else {
    PLANILLA_RETURN_IF_ERROR(insertEntry(dir_, dirKey, t.headerOff));
  }
  auto tag = std::make_unique<CdxTag>(this, name, std::move(t), kr.value(), forE, true, "");
  made = tag.get();
  tags_.push_back(std::move(tag));
  return Status::ok();
}

// ---------------------------------------------------------------- verification

void CdxBag::checkTree(const Tree& t, const std::string& label, std::vector<std::string>& problems,
                       std::unordered_set<uint32_t>& seen, std::string* keysOut, std::vector<uint32_t>* recsOut) {
  size_t before = problems.size();
  auto problem = [&](const std::string& s) {
    if (problems.size() - before < kMaxProblemsPerTag) problems.push_back(label + ": " + s);
  };
  struct Want {
    uint32_t off;
    std::string key;
    uint32_t rec;
    bool check;
  };
  std::vector<Want> level{{t.hdr.root, "", 0, false}};
  std::string prevKey;
  uint32_t prevRec = 0;
  bool havePrev = false;
  for (int d = 0; !level.empty(); ++d) {
    if (d >= kMaxDepth) { problem("arbol demasiado profundo"); return; }
    std::vector<Want> next;
    int leaves = 0;
    for (size_t i = 0; i < level.size(); ++i) {
      const Want& w = level[i];
      if (!seen.insert(w.off).second) {
        problem("la pagina " + hexOff(w.off) + " esta enlazada mas de una vez");
        return;
      }
      auto r = readNode(t, w.off);
      if (!r) { problem(r.status().message()); return; }
      const Node& n = *r.value();
      if (n.root() != (d == 0)) problem("marca de raiz incorrecta en la pagina " + hexOff(w.off));
      if (n.leaf()) ++leaves;
      if (n.size() == 0 && d > 0) problem("pagina vacia " + hexOff(w.off));
      uint32_t wantLeft = i == 0 ? kNone : level[i - 1].off;
      uint32_t wantRight = i + 1 == level.size() ? kNone : level[i + 1].off;
      if (n.left != wantLeft || n.right != wantRight)
        problem("enlaces entre hermanos incorrectos en la pagina " + hexOff(w.off));
      if (w.check && n.size() > 0 &&
          (n.key(n.size() - 1) != w.key || n.recnos.back() != w.rec))
        problem("la clave del nodo padre no es la ultima de la pagina " + hexOff(w.off));
      for (int j = 0; j < n.size(); ++j) {
        std::string_view k = n.key(j);
        if (n.leaf()) {
          if (havePrev && cmpEntry(prevKey, prevRec, k, n.recnos[j]) >= 0)
            problem("claves fuera de orden en la pagina " + hexOff(w.off) + " (registro " + std::to_string(n.recnos[j]) + ")");
          prevKey.assign(k);
          prevRec = n.recnos[j];
          havePrev = true;
          if (keysOut) { keysOut->append(k); recsOut->push_back(n.recnos[j]); }
        } else {
          if (j > 0 && cmpEntry(n.key(j - 1), n.recnos[j - 1], k, n.recnos[j]) >= 0)
            problem("claves fuera de orden en el nodo interior " + hexOff(w.off));
          next.push_back(Want{n.children[j], std::string(k), n.recnos[j], true});
        }
      }
    }
    if (leaves != 0 && leaves != static_cast<int>(level.size()))
      problem("hojas a distintas profundidades");
    if (leaves != 0 && !next.empty()) problem("nodos interiores y hojas mezclados");
    level.swap(next);
  }
}

Status CdxBag::verify(const RecordWalker& records, std::vector<std::string>& problems) {
  PLANILLA_RETURN_IF_ERROR(readRefresh());
  std::unordered_set<uint32_t> seen;
  seen.insert(0);
  seen.insert(kPageSize);
  checkTree(dir_, "Directorio de etiquetas", problems, seen, nullptr, nullptr);
  struct Got {
    std::string keys;
    std::vector<uint32_t> recs;
    std::string expKeys;
    std::vector<uint32_t> expRecs;
    bool check = false;
  };
  std::vector<Got> got(tags_.size());
  for (size_t i = 0; i < tags_.size(); ++i) {
    CdxTag& tg = *tags_[i];
    const std::string label = "Etiqueta " + tg.name();
    seen.insert(tg.tree().headerOff);
    seen.insert(tg.tree().headerOff + kPageSize);
    size_t before = problems.size();
    checkTree(tg.tree(), label, problems, seen, &got[i].keys, &got[i].recs);
    if (!tg.evaluable()) {
      problems.push_back(label + ": la expresion no se puede evaluar (" + tg.whyNot() + ")");
    } else if (!tg.tree().hdr.machineCollation()) {
      problems.push_back(label + ": orden de clasificacion no admitido; hay que reindexar");
    } else if (problems.size() == before) {
      got[i].check = true;
    }
  }
  // Free list: within the file, no loops, no page that a tree uses.
  {
    uint32_t f = dir_.hdr.freeList;
    uint64_t guard = pageLimit();
    std::unordered_set<uint32_t> freeSeen;
    while (f != 0 && f != kNone) {
      if (guard-- == 0 || !freeSeen.insert(f).second) { problems.push_back("Lista de paginas libres ciclica"); break; }
      if (f % kPageSize != 0 || static_cast<uint64_t>(f) + kPageSize > fileSize_) {
        problems.push_back("Lista de paginas libres fuera del archivo (" + hexOff(f) + ")");
        break;
      }
      if (seen.count(f)) { problems.push_back("La pagina libre " + hexOff(f) + " esta en uso"); break; }
      uint8_t b[4];
      size_t n = 0;
      PLANILLA_RETURN_IF_ERROR(file_->readAt(f, b, 4, &n).withContext(path_));
      f = n == 4 ? get32(b) : 0;
    }
  }
  if (!records) return Status::ok();
  uint32_t maxRec = 0;
  Status walk = records([&](uint32_t recno, std::string_view rec) -> Status {
    maxRec = std::max(maxRec, recno);
    for (size_t i = 0; i < tags_.size(); ++i) {
      if (!got[i].check) continue;
      auto a = tags_[i]->admits(rec);
      if (!a) return a.status().withContext("registro " + std::to_string(recno));
      if (!a.value()) continue;
      auto k = tags_[i]->keyOf(rec);
      if (!k) return k.status().withContext("registro " + std::to_string(recno));
      got[i].expKeys += k.value();
      got[i].expRecs.push_back(recno);
    }
    return Status::ok();
  });
  PLANILLA_RETURN_IF_ERROR(walk);
  for (size_t i = 0; i < tags_.size(); ++i) {
    Got& g = got[i];
    if (!g.check) continue;
    const std::string label = "Etiqueta " + tags_[i]->name();
    const size_t kl = static_cast<size_t>(tags_[i]->keyLength());
    auto sorted = [&](const std::string& keys, const std::vector<uint32_t>& recs) {
      std::vector<uint32_t> idx(recs.size());
      for (size_t j = 0; j < idx.size(); ++j) idx[j] = static_cast<uint32_t>(j);
      std::sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) {
        return cmpEntry(std::string_view(keys).substr(a * kl, kl), recs[a],
                        std::string_view(keys).substr(b * kl, kl), recs[b]) < 0;
      });
      return idx;
    };
    auto gi = sorted(g.keys, g.recs);
    auto ei = sorted(g.expKeys, g.expRecs);
    size_t a = 0, b = 0, count = 0;
    auto report = [&](const std::string& s) {
      if (count++ < kMaxProblemsPerTag) problems.push_back(label + ": " + s);
    };
    while (a < gi.size() || b < ei.size()) {
      int c;
      if (a == gi.size()) c = 1;
      else if (b == ei.size()) c = -1;
      else
        c = cmpEntry(std::string_view(g.keys).substr(gi[a] * kl, kl), g.recs[gi[a]],
                     std::string_view(g.expKeys).substr(ei[b] * kl, kl), g.expRecs[ei[b]]);
      if (c == 0) { ++a; ++b; continue; }
      if (c < 0) {
        uint32_t r = g.recs[gi[a]];
        if (r == 0 || r > maxRec) report("entrada con un numero de registro inexistente (" + std::to_string(r) + ")");
        else if (a > 0 && g.recs[gi[a - 1]] == r && g.keys.compare(gi[a] * kl, kl, g.keys, gi[a - 1] * kl, kl) == 0)
          report("el registro " + std::to_string(r) + " esta repetido en el indice");
        else report("entrada sobrante para el registro " + std::to_string(r));
        ++a;
      } else {
        report("la clave del registro " + std::to_string(g.expRecs[ei[b]]) + " no esta en el indice");
        ++b;
      }
    }
    if (count > kMaxProblemsPerTag)
      problems.push_back(label + ": y " + std::to_string(count - kMaxProblemsPerTag) + " problemas mas");
  }
  return Status::ok();
}

// ====================================================================== tag

Status CdxTag::writable() const {
  if (retired_) return Status::invalid("la etiqueta " + name_ + " fue reemplazada");
  if (bag_->readOnly()) return Status::invalid(bag_->path() + ": el indice esta abierto solo para lectura");
  if (!tree_.hdr.machineCollation())
    return Status::needsReindex("Etiqueta " + name_ + ": orden de clasificacion no admitido; hay que reindexar");
  if (tree_.hdr.options & cdx::kOptUnique)
    return Status::unsupported("Etiqueta " + name_ + ": las etiquetas UNIQUE no se mantienen; hay que reindexar");
  return Status::ok();
}

Result<std::string> CdxTag::keyOf(std::string_view record) const {
  if (!evaluable()) return Status::needsReindex("Etiqueta " + name_ + ": la expresion no se puede evaluar (" + whyNot_ + ")");
  auto* k = static_cast<const CompiledExpr*>(key_.get());
  std::string out;
  size_t lead = nullable() ? 1 : 0;
  out.resize(lead + static_cast<size_t>(k->keyLength()));
  if (lead) out[0] = static_cast<char>(0x80);
  PLANILLA_RETURN_IF_ERROR(k->keyInto(record, out.data() + lead));
  return out;
}

Result<bool> CdxTag::admits(std::string_view record) const {
  if (!evaluable()) return Status::needsReindex("Etiqueta " + name_ + ": la expresion no se puede evaluar (" + whyNot_ + ")");
  if (!for_) return true;
  return for_->truth(record);
}

Status CdxTag::insert(std::string_view key, uint32_t recno) {
  PLANILLA_RETURN_IF_ERROR(writable());
  if (key.size() != static_cast<size_t>(keyLength()))
    return Status::invalid("Etiqueta " + name_ + ": clave de longitud " + std::to_string(key.size()) + " en vez de " + std::to_string(keyLength()));
  if (recno == 0) return Status::invalid("Etiqueta " + name_ + ": numero de registro 0");
  PLANILLA_RETURN_IF_ERROR(bag_->beginUpdate());
  Status st = bag_->insertEntry(tree_, key, recno);
  Status e = bag_->endUpdate();
  if (!st) return st.withContext("Etiqueta " + name_);
  return e;
}

Status CdxTag::remove(std::string_view key, uint32_t recno) {
  PLANILLA_RETURN_IF_ERROR(writable());
  if (key.size() != static_cast<size_t>(keyLength()))
    return Status::invalid("Etiqueta " + name_ + ": clave de longitud " + std::to_string(key.size()) + " en vez de " + std::to_string(keyLength()));
  PLANILLA_RETURN_IF_ERROR(bag_->beginUpdate());
  Status st = bag_->removeEntry(tree_, key, recno);
  Status e = bag_->endUpdate();
  if (!st) return st.withContext("Etiqueta " + name_);
  return e;
}

Result<OptEntry> CdxTag::first() {
  if (retired_) return Status::invalid("la etiqueta " + name_ + " fue reemplazada");
  PLANILLA_RETURN_IF_ERROR(bag_->readRefresh());
  return bag_->sharedRead([&] { return descending() ? bag_->physLast(tree_) : bag_->physFirst(tree_); });
}

Result<OptEntry> CdxTag::last() {
  if (retired_) return Status::invalid("la etiqueta " + name_ + " fue reemplazada");
  PLANILLA_RETURN_IF_ERROR(bag_->readRefresh());
  return bag_->sharedRead([&] { return descending() ? bag_->physFirst(tree_) : bag_->physLast(tree_); });
}

Result<OptEntry> CdxTag::lowerBound(std::string_view key) {
  if (retired_) return Status::invalid("la etiqueta " + name_ + " fue reemplazada");
  PLANILLA_RETURN_IF_ERROR(bag_->readRefresh());
  const size_t kl = static_cast<size_t>(keyLength());
  if (key.size() > kl) key = key.substr(0, kl);
  char buf[cdx::kMaxKeyLength];
  std::memcpy(buf, key.data(), key.size());
  if (!descending()) {
    std::memset(buf + key.size(), 0x00, kl - key.size());
    return bag_->sharedRead([&] { return bag_->physAtOrAfter(tree_, std::string_view(buf, kl), 0, false); });
  }
  // In descending order: the last stored entry whose key prefix is <= key.
  std::memset(buf + key.size(), 0xFF, kl - key.size());
  return bag_->sharedRead([&] { return bag_->physBefore(tree_, std::string_view(buf, kl), 0xFFFFFFFFu, true); });
}

Result<OptEntry> CdxTag::next(const IndexEntry& from) {
  if (retired_) return Status::invalid("la etiqueta " + name_ + " fue reemplazada");
  PLANILLA_RETURN_IF_ERROR(bag_->readRefresh());
  if (from.key.size() != static_cast<size_t>(keyLength())) return Status::invalid("Etiqueta " + name_ + ": clave de longitud incorrecta");
  return bag_->sharedRead([&] {
    return descending() ? bag_->physBefore(tree_, from.key, from.recno, false)
                        : bag_->physAtOrAfter(tree_, from.key, from.recno, true);
  });
}

Result<OptEntry> CdxTag::prev(const IndexEntry& from) {
  if (retired_) return Status::invalid("la etiqueta " + name_ + " fue reemplazada");
  PLANILLA_RETURN_IF_ERROR(bag_->readRefresh());
  if (from.key.size() != static_cast<size_t>(keyLength())) return Status::invalid("Etiqueta " + name_ + ": clave de longitud incorrecta");
  return bag_->sharedRead([&] {
    return descending() ? bag_->physAtOrAfter(tree_, from.key, from.recno, true)
                        : bag_->physBefore(tree_, from.key, from.recno, false);
  });
}

}  // namespace

// ====================================================================== factories

Result<std::unique_ptr<IndexBag>> IndexBag::open(FileSystem& fs, const std::string& path,
                                                 const RecordLayout& layout, bool exclusive) {
  std::string real = fs.resolve(path);
  auto bag = std::make_unique<CdxBag>(fs, real, layout, exclusive);
  PLANILLA_RETURN_IF_ERROR(bag->openFile(false));
  PLANILLA_RETURN_IF_ERROR(bag->loadDirectory());
  return std::unique_ptr<IndexBag>(std::move(bag));
}

Result<std::unique_ptr<IndexBag>> IndexBag::create(FileSystem& fs, const std::string& path,
                                                   const RecordLayout& layout, bool mustBeNew) {
  std::string real = fs.resolve(path);
  auto bag = std::make_unique<CdxBag>(fs, real, layout, true);
  PLANILLA_RETURN_IF_ERROR(bag->openFile(true, mustBeNew));
  PLANILLA_RETURN_IF_ERROR(bag->initEmpty());
  return std::unique_ptr<IndexBag>(std::move(bag));
}

}  // namespace planilla
