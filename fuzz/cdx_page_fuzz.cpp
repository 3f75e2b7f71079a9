// Index pages and whole index files from untrusted bytes. The first byte picks the
// decoder: 0 one node (then key length, filler, page), 1 one header, 2 a whole .cdx
// file opened, walked and verified through an in-memory file system. Nothing may
// crash, hang or read out of bounds; decoded nodes must survive a re-encoding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "store/cdx_format.h"
#include "store/index.h"
#include "store/io.h"

namespace {

using namespace planilla;

class MemFile final : public File {
 public:
  MemFile(std::string* data, std::string path) : data_(data), path_(std::move(path)) {}
  Status readAt(uint64_t off, void* buf, size_t n, size_t* got) override {
    *got = 0;
    if (off >= data_->size()) return Status::ok();
    *got = std::min<uint64_t>(n, data_->size() - off);
    std::memcpy(buf, data_->data() + off, *got);
    return Status::ok();
  }
  Status writeAt(uint64_t off, const void* buf, size_t n) override {
    if (off + n > (64u << 20)) return Status::ioError("demasiado grande");
    if (data_->size() < off + n) data_->resize(off + n, '\0');
    std::memcpy(data_->data() + off, buf, n);
    return Status::ok();
  }
  Result<uint64_t> size() override { return static_cast<uint64_t>(data_->size()); }
  Status truncate(uint64_t len) override {
    data_->resize(len);
    return Status::ok();
  }
  Status sync() override { return Status::ok(); }
  Status lock(uint64_t, uint64_t, LockKind) override { return Status::ok(); }
  Status unlock(uint64_t, uint64_t) override { return Status::ok(); }
  const std::string& path() const override { return path_; }

 private:
  std::string* data_;
  std::string path_;
};

class MemFs final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  Result<std::unique_ptr<File>> open(const std::string& path, OpenOptions o) override {
    auto it = files.find(path);
    if (it == files.end()) {
      if (!o.create) return Status::notFound(path);
      it = files.emplace(path, std::string()).first;
    }
    if (o.truncate) it->second.clear();
    return std::unique_ptr<File>(std::make_unique<MemFile>(&it->second, path));
  }
  bool exists(const std::string& path) override { return files.count(path) > 0; }
  Status remove(const std::string& path) override {
    files.erase(path);
    return Status::ok();
  }
  Status rename(const std::string&, const std::string&) override { return Status::ioError("no"); }
  Status replace(const std::string&, const std::string&) override { return Status::ioError("no"); }
  std::string resolve(const std::string& path) override { return path; }
};

RecordLayout layout() {
  RecordLayout l;
  uint32_t off = 1;
  auto add = [&](const char* n, char t, int w) {
    l.push_back(FieldLayout{n, t, w, 0, off});
    off += static_cast<uint32_t>(w);
  };
  add("CODIGO", 'C', 10);
  add("NOMBRE", 'C', 50);
  add("MES", 'C', 2);
  add("SUELDO", 'N', 10);
  add("FECHA", 'D', 8);
  add("ID", 'I', 4);
  return l;
}

void fuzzNode(const uint8_t* data, size_t size) {
  if (size < 3) return;
  int kl = 1 + data[1] % cdx::kMaxKeyLength;
  uint8_t filler = (data[2] & 1) ? 0x20 : 0x00;
  uint8_t page[cdx::kPageSize] = {};
  std::memcpy(page, data + 3, std::min<size_t>(size - 3, sizeof page));
  cdx::Node n;
  if (!cdx::decodeNode(page, 0x400, kl, filler, 1u << 20, &n)) return;
  if (n.keys.size() != static_cast<size_t>(n.size()) * kl) std::abort();
  uint8_t again[cdx::kPageSize];
  if (!cdx::encodeNode(n, filler, again)) return;
  cdx::Node m;
  if (!cdx::decodeNode(again, 0x400, kl, filler, 1u << 20, &m)) std::abort();
  if (m.keys != n.keys || m.recnos != n.recnos || m.children != n.children) std::abort();
}

void fuzzHeader(const uint8_t* data, size_t size) {
  uint8_t h[cdx::kHeaderSize] = {};
  std::memcpy(h, data + 1, std::min<size_t>(size - 1, sizeof h));
  cdx::Header d;
  if (!cdx::decodeHeader(h, 0, 1u << 20, &d)) return;
  if (!cdx::headerFits(d.keyExpr, d.forExpr)) return;
  uint8_t again[cdx::kHeaderSize];
  cdx::encodeHeader(d, again);
  cdx::Header e;
  if (!cdx::decodeHeader(again, 0, 1u << 20, &e)) std::abort();
  if (e.keyExpr != d.keyExpr || e.forExpr != d.forExpr || e.root != d.root) std::abort();
}

void fuzzBag(const uint8_t* data, size_t size) {
  MemFs fs;
  fs.files["x.cdx"] = std::string(reinterpret_cast<const char*>(data + 1), size - 1);
  RecordLayout l = layout();
  auto bag = IndexBag::open(fs, "x.cdx", l, true);
  if (!bag) return;
  for (int i = 0; i < bag.value()->tagCount(); ++i) {
    IndexTag& t = bag.value()->tag(i);
    auto e = t.first();
    for (int steps = 0; e && e.value() && steps < 5000; ++steps) {
      if (e.value()->key.size() != static_cast<size_t>(t.keyLength())) std::abort();
      e = t.next(*e.value());
    }
    auto lb = t.lowerBound("E1");
    if (lb && lb.value()) (void)t.prev(*lb.value());
    (void)t.last();
  }
  std::vector<std::string> problems;
  (void)bag.value()->verify(nullptr, problems);
  // Changes on damaged trees must fail cleanly too.
  if (bag.value()->tagCount() > 0) {
    IndexTag& t = bag.value()->tag(0);
    std::string k(static_cast<size_t>(t.keyLength()), 'M');
    (void)t.insert(k, 7);
    (void)t.remove(k, 7);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  switch (data[0] % 3) {
    case 0: fuzzNode(data, size); break;
    case 1: fuzzHeader(data, size); break;
    default: fuzzBag(data, size); break;
  }
  return 0;
}
