#include "store/cdx_format.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace planilla::cdx {

namespace {

uint16_t rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t rd32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t rd32be(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
void wr16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void wr32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void wr32be(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

std::string hexOff(uint32_t at) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%X", at);
  return b;
}

Status bad(uint32_t at, const char* what, long long v) {
  char b[160];
  std::snprintf(b, sizeof b, ": %s (%lld)", what, v);
  return Status::corrupt("pagina de indice " + hexOff(at) + b);
}

// Bits needed to hold values 0..v.
int bitsFor(uint32_t v) { return v == 0 ? 1 : 32 - std::countl_zero(v); }

uint32_t maskOf(int bits) { return bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u); }

bool pageOffsetOk(uint32_t off, uint64_t fileSize) {
  return off != 0 && off % kPageSize == 0 && static_cast<uint64_t>(off) + kPageSize <= fileSize;
}

}  // namespace

int interiorCapacity(int keyLength) { return 500 / (keyLength + 8); }

int trailingCount(std::string_view key, uint8_t filler) {
  int t = 0;
  for (size_t i = key.size(); i > 0 && static_cast<uint8_t>(key[i - 1]) == filler; --i) ++t;
  return t;
}

int leafEntryBytes(int keyLength, uint32_t maxRecno) {
  int kb = bitsFor(static_cast<uint32_t>(keyLength));
  int total = bitsFor(maxRecno) + 2 * kb;
  return (total + 7) / 8;
}

// ---------------------------------------------------------------- headers

bool headerFits(const std::string& keyExpr, const std::string& forExpr) {
  return keyExpr.size() + 1 + forExpr.size() + 1 <= 512 &&
         keyExpr.find('\0') == std::string::npos && forExpr.find('\0') == std::string::npos;
}

Status decodeHeader(const uint8_t* p, uint32_t at, uint64_t fileSize, Header* h) {
  auto fail = [&](const char* what, long long v) {
    char b[160];
    std::snprintf(b, sizeof b, ": %s (%lld)", what, v);
    return Status::corrupt("cabecera de indice " + hexOff(at) + b);
  };
  if (at % kPageSize != 0 || static_cast<uint64_t>(at) + kHeaderSize > fileSize)
    return fail("posicion fuera del archivo", at);
  h->root = rd32(p);
  h->freeList = rd32(p + 4);
  h->counter = rd32be(p + 8);
  h->keyLength = rd16(p + 12);
  h->options = p[14];
  h->signature = p[15];
  std::memcpy(h->collation.data(), p + 494, 8);
  h->descending = rd16(p + 502);
  if (!pageOffsetOk(h->root, fileSize)) return fail("nodo raiz fuera del archivo", h->root);
  if (h->freeList != 0 && h->freeList != kNone && !pageOffsetOk(h->freeList, fileSize))
    return fail("lista de paginas libres fuera del archivo", h->freeList);
  if (h->keyLength < 1 || h->keyLength > kMaxKeyLength)
    return fail("longitud de clave invalida", h->keyLength);
  if (!(h->options & kOptCompact)) return fail("indice no compacto", h->options);
  if (h->descending > 1) return fail("orden invalido", h->descending);
  uint16_t forStart = rd16(p + 504), forLen = rd16(p + 506);
  uint16_t keyStart = rd16(p + 508), keyLen = rd16(p + 510);
  if (keyStart + keyLen > 512) return fail("expresion clave fuera de la cabecera", keyStart + keyLen);
  if (forStart + forLen > 512) return fail("expresion FOR fuera de la cabecera", forStart + forLen);
  const char* pool = reinterpret_cast<const char*>(p + 512);
  auto take = [&](uint16_t start, uint16_t len) {
    std::string_view s(pool + start, len);
    size_t z = s.find('\0');
    return std::string(z == std::string_view::npos ? s : s.substr(0, z));
  };
  h->keyExpr = take(keyStart, keyLen);
  h->forExpr = take(forStart, forLen);
  return Status::ok();
}

void encodeHeader(const Header& h, uint8_t* p) {
  std::memset(p, 0, kHeaderSize);
  wr32(p, h.root);
  wr32(p + 4, h.freeList);
  wr32be(p + 8, h.counter);
  wr16(p + 12, h.keyLength);
  p[14] = h.options;
  p[15] = h.signature;
  std::memcpy(p + 494, h.collation.data(), 8);
  wr16(p + 502, h.descending);
  uint16_t keyLen = static_cast<uint16_t>(h.keyExpr.size() + 1);
  uint16_t forLen = static_cast<uint16_t>(h.forExpr.size() + 1);
  wr16(p + 504, keyLen);
  wr16(p + 506, forLen);
  wr16(p + 508, 0);
  wr16(p + 510, keyLen);
  std::memcpy(p + 512, h.keyExpr.data(), h.keyExpr.size());
  std::memcpy(p + 512 + keyLen, h.forExpr.data(), h.forExpr.size());
}

// ---------------------------------------------------------------- nodes

Status decodeNode(const uint8_t* page, uint32_t at, int keyLength, uint8_t filler,
                  uint64_t fileSize, Node* out) {
  if (keyLength < 1 || keyLength > kMaxKeyLength) return bad(at, "longitud de clave invalida", keyLength);
  uint16_t flags = rd16(page);
  if (flags & ~kNodeFlagMask) return bad(at, "marcas de nodo invalidas", flags);
  int n = rd16(page + 2);
  uint32_t left = rd32(page + 4), right = rd32(page + 8);
  if (left != kNone && !pageOffsetOk(left, fileSize)) return bad(at, "hermano izquierdo fuera del archivo", left);
  if (right != kNone && !pageOffsetOk(right, fileSize)) return bad(at, "hermano derecho fuera del archivo", right);
  if (left == at || right == at) return bad(at, "el nodo se enlaza consigo mismo", at);
  out->flags = flags;
  out->left = left;
  out->right = right;
  out->keyLength = keyLength;
  out->keys.resize(static_cast<size_t>(n) * keyLength);
  out->recnos.resize(n);
  out->children.clear();
  char* keys = out->keys.data();

  if (!(flags & kNodeLeaf)) {
    if (n < 1 || n > interiorCapacity(keyLength)) return bad(at, "cantidad de claves invalida en nodo interior", n);
    out->children.resize(n);
    for (int i = 0; i < n; ++i) {
      const uint8_t* e = page + 12 + static_cast<size_t>(i) * (keyLength + 8);
      std::memcpy(keys + static_cast<size_t>(i) * keyLength, e, keyLength);
      out->recnos[i] = rd32be(e + keyLength);
      uint32_t child = rd32be(e + keyLength + 4);
      if (!pageOffsetOk(child, fileSize)) return bad(at, "puntero a nodo hijo fuera del archivo", child);
      if (child == at) return bad(at, "el nodo se apunta a si mismo", child);
      out->children[i] = child;
    }
    return Status::ok();
  }

  uint16_t freeSpace = rd16(page + 12);
  uint32_t recMask = rd32(page + 14);
  uint8_t dupMask = page[18], trailMask = page[19];
  int recBits = page[20], dupBits = page[21], trailBits = page[22], eb = page[23];
  if (eb < 1 || eb > 8) return bad(at, "bytes por entrada invalidos", eb);
  if (recBits < 1 || recBits > 32) return bad(at, "bits de numero de registro invalidos", recBits);
  if (dupBits > 8 || trailBits > 8) return bad(at, "bits de compresion invalidos", dupBits * 100 + trailBits);
  if (recBits + dupBits + trailBits > eb * 8) return bad(at, "los campos no caben en la entrada", eb);
  if (recMask != maskOf(recBits)) return bad(at, "mascara de registro invalida", recMask);
  if (dupMask != maskOf(dupBits) || trailMask != maskOf(trailBits))
    return bad(at, "mascaras de compresion invalidas", dupMask * 256 + trailMask);
  if (24 + n * eb > static_cast<int>(kPageSize)) return bad(at, "cantidad de claves invalida en hoja", n);
  int end = kPageSize;
  const int entriesEnd = 24 + n * eb;
  for (int i = 0; i < n; ++i) {
    uint64_t x = 0;
    const uint8_t* e = page + 24 + i * eb;
    for (int b = eb - 1; b >= 0; --b) x = (x << 8) | e[b];
    uint32_t rec = static_cast<uint32_t>(x & recMask);
    int dup = static_cast<int>((x >> recBits) & dupMask);
    int trail = static_cast<int>((x >> (recBits + dupBits)) & trailMask);
    if (dup + trail > keyLength) return bad(at, "compresion de clave mayor que la clave", i);
    if (i == 0 && dup != 0) return bad(at, "primera clave de la hoja con prefijo repetido", dup);
    int stored = keyLength - dup - trail;
    if (end - stored < entriesEnd) return bad(at, "bytes de clave fuera de la pagina", i);
    end -= stored;
    char* k = keys + static_cast<size_t>(i) * keyLength;
    if (dup) std::memcpy(k, k - keyLength, dup);
    std::memcpy(k + dup, page + end, stored);
    std::memset(k + dup + stored, filler, trail);
    out->recnos[i] = rec;
  }
  if (freeSpace != end - entriesEnd) return bad(at, "espacio libre inconsistente", freeSpace);
  return Status::ok();
}

bool encodeNode(const Node& n, uint8_t filler, uint8_t* page) {
  const int kl = n.keyLength;
  const int count = n.size();
  std::memset(page, 0, kPageSize);
  wr16(page, n.flags);
  wr16(page + 2, static_cast<uint16_t>(count));
  wr32(page + 4, n.left);
  wr32(page + 8, n.right);
  if (!n.leaf()) {
    if (count > interiorCapacity(kl)) return false;
    for (int i = 0; i < count; ++i) {
      uint8_t* e = page + 12 + static_cast<size_t>(i) * (kl + 8);
      std::memcpy(e, n.keys.data() + static_cast<size_t>(i) * kl, kl);
      wr32be(e + kl, n.recnos[i]);
      wr32be(e + kl + 4, n.children[i]);
    }
    return true;
  }
  uint32_t maxRec = 0;
  for (uint32_t r : n.recnos) maxRec = std::max(maxRec, r);
  const int kb = bitsFor(static_cast<uint32_t>(kl));
  const int eb = leafEntryBytes(kl, maxRec);
  const int recBits = std::min(32, eb * 8 - 2 * kb);
  const int entriesEnd = 24 + count * eb;
  if (entriesEnd > static_cast<int>(kPageSize)) return false;
  int end = kPageSize;
  int prevTrail = kl;
  const char* prev = nullptr;
  for (int i = 0; i < count; ++i) {
    const char* k = n.keys.data() + static_cast<size_t>(i) * kl;
    int trail = trailingCount(std::string_view(k, kl), filler);
    int dup = 0;
    if (prev) {
      int lim = std::min(kl - prevTrail, kl - trail);
      while (dup < lim && k[dup] == prev[dup]) ++dup;
    }
    int stored = kl - dup - trail;
    if (end - stored < entriesEnd) return false;
    end -= stored;
    std::memcpy(page + end, k + dup, stored);
    uint64_t x = static_cast<uint64_t>(n.recnos[i]) | (static_cast<uint64_t>(dup) << recBits) |
                 (static_cast<uint64_t>(trail) << (recBits + kb));
    uint8_t* e = page + 24 + i * eb;
    for (int b = 0; b < eb; ++b) e[b] = static_cast<uint8_t>(x >> (8 * b));
    prev = k;
    prevTrail = trail;
  }
  wr16(page + 12, static_cast<uint16_t>(end - entriesEnd));
  wr32(page + 14, maskOf(recBits));
  page[18] = static_cast<uint8_t>(maskOf(kb));
  page[19] = static_cast<uint8_t>(maskOf(kb));
  page[20] = static_cast<uint8_t>(recBits);
  page[21] = static_cast<uint8_t>(kb);
  page[22] = static_cast<uint8_t>(kb);
  page[23] = static_cast<uint8_t>(eb);
  return true;
}

LeafSizer::LeafSizer(int keyLength, uint8_t filler) : keyLength_(keyLength), filler_(filler) {
  prev_.assign(keyLength, '\0');
}

void LeafSizer::reset() {
  n_ = 0;
  stored_ = 0;
  maxRec_ = 0;
  prevTrail_ = keyLength_;
}

size_t LeafSizer::sizeWith(std::string_view key, uint32_t recno) const {
  int trail = trailingCount(key, filler_);
  int dup = 0;
  if (n_ > 0) {
    int lim = std::min(keyLength_ - prevTrail_, keyLength_ - trail);
    while (dup < lim && key[dup] == prev_[dup]) ++dup;
  }
  size_t stored = stored_ + (keyLength_ - dup - trail);
  int eb = leafEntryBytes(keyLength_, std::max(maxRec_, recno));
  return 24 + static_cast<size_t>(n_ + 1) * eb + stored;
}

void LeafSizer::add(std::string_view key, uint32_t recno) {
  int trail = trailingCount(key, filler_);
  int dup = 0;
  if (n_ > 0) {
    int lim = std::min(keyLength_ - prevTrail_, keyLength_ - trail);
    while (dup < lim && key[dup] == prev_[dup]) ++dup;
  }
  stored_ += keyLength_ - dup - trail;
  maxRec_ = std::max(maxRec_, recno);
  prev_.assign(key.data(), key.size());
  prevTrail_ = trail;
  ++n_;
}

// ---------------------------------------------------------------- key forms

void encodeDoubleKey(double v, uint8_t* out) {
  if (v == 0.0) v = 0.0;  // -0.0 sorts with +0.0
  uint64_t b = std::bit_cast<uint64_t>(v);
  if (b >> 63) b = ~b;
  else b |= 0x8000000000000000ull;
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(b >> (56 - 8 * i));
}

double decodeDoubleKey(const uint8_t* in) {
  uint64_t b = 0;
  for (int i = 0; i < 8; ++i) b = (b << 8) | in[i];
  if (b >> 63) b &= 0x7FFFFFFFFFFFFFFFull;
  else b = ~b;
  return std::bit_cast<double>(b);
}

void encodeIntKey(int32_t v, uint8_t* out) {
  uint32_t u = static_cast<uint32_t>(v) ^ 0x80000000u;
  wr32be(out, u);
}

}  // namespace planilla::cdx
