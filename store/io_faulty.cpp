#include "store/io_faulty.h"

namespace planilla {
namespace {

Status injected(const std::string& what, const std::string& path) {
  return Status::ioError("error de E/S simulado (" + what + ") en " + path);
}

class FaultyFile final : public File {
 public:
  FaultyFile(FaultyFileSystem& fs, std::unique_ptr<File> base) : fs_(fs), base_(std::move(base)) {}
  Status readAt(uint64_t off, void* buf, size_t n, size_t* got) override {
    return base_->readAt(off, buf, n, got);
  }
  Status writeAt(uint64_t off, const void* buf, size_t n) override {
    if (fs_.shouldFail()) return injected("escritura", path());
    return base_->writeAt(off, buf, n);
  }
  Result<uint64_t> size() override { return base_->size(); }
  Status truncate(uint64_t len) override {
    if (fs_.shouldFail()) return injected("truncado", path());
    return base_->truncate(len);
  }
  Status sync() override {
    if (fs_.shouldFail()) return injected("sincronizacion", path());
    return base_->sync();
  }
  Status lock(uint64_t off, uint64_t len, LockKind kind) override {
    if (fs_.shouldFail()) return injected("bloqueo", path());
    return base_->lock(off, len, kind);
  }
  Status unlock(uint64_t off, uint64_t len) override { return base_->unlock(off, len); }
  const std::string& path() const override { return base_->path(); }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<File> base_;
};

}  // namespace

bool FaultyFileSystem::shouldFail() {
  ++calls_;
  if (failAt_ <= 0) return false;
  if (calls_ == failAt_ || (sticky_ && calls_ > failAt_)) {
    failed_ = true;
    return true;
  }
  return false;
}

Result<std::unique_ptr<File>> FaultyFileSystem::open(const std::string& path, OpenOptions opts) {
  if ((opts.create || opts.truncate || opts.mustCreate) && !opts.readOnly && shouldFail())
    return injected("apertura", path);
  auto r = base_.open(path, opts);
  if (!r) return r.status();
  return std::unique_ptr<File>(std::make_unique<FaultyFile>(*this, std::move(r).value()));
}

Status FaultyFileSystem::remove(const std::string& path) {
  if (shouldFail()) return injected("borrado", path);
  return base_.remove(path);
}

Status FaultyFileSystem::rename(const std::string& from, const std::string& to) {
  if (shouldFail()) return injected("renombrado", from);
  return base_.rename(from, to);
}

Status FaultyFileSystem::replace(const std::string& from, const std::string& to) {
  if (shouldFail()) return injected("reemplazo", from);
  return base_.replace(from, to);
}

}  // namespace planilla
