#include "reports/scratch.h"

#include <filesystem>
#include <system_error>

#include "store/numbers.h"
#include "store/platform.h"

namespace planilla::reports {

namespace {

ScratchOutcome fail(const Status& st, Status* status) {
  if (status) *status = st;
  return st.code() == ErrorCode::InUse ? ScratchOutcome::InUse : ScratchOutcome::Failed;
}

// Removes the file at `path` (any letter case). The copy is created afresh at that
// name right after, in a folder every operator can write: a link found there is
// removed itself, never followed, or the copy would be written wherever it points.
Status removeIfPresent(FileSystem& fs, const std::string& path) {
  const std::string real = fs.resolve(path);
  std::error_code ec;
  const auto st = std::filesystem::symlink_status(platform::fsPath(real), ec);
  if (ec || !std::filesystem::exists(st)) return Status::ok();
  if (std::filesystem::is_symlink(st)) {
    std::filesystem::remove(platform::fsPath(real), ec);
    if (ec) return Status::ioError("no se puede borrar " + path + ": " + ec.message());
    return Status::ok();
  }
  return fs.remove(real);
}

std::string withExt(const std::string& dbf, const std::string& ext) {
  return dbf.substr(0, dbf.size() - 3) + ext;
}

}  // namespace

namespace {

// Deletes any earlier copy and names the new one.
ScratchOutcome clearScratch(FileSystem& fs, const std::string& dir, const catalog::Period& period,
                            ScratchTable& out, Status* status) {
  const catalog::TableDef def = catalog::define(catalog::TableId::ReportWork, period);
  out.table.reset();
  out.dbf = catalog::joinPath(dir, def.dbf());
  out.bag = withExt(out.dbf, "cdx");
  for (const char* ext : {"dbf", "cdx", "ntx"}) {
    Status st = removeIfPresent(fs, withExt(out.dbf, ext));
    if (!st) return fail(st, status);
  }
  return ScratchOutcome::Ready;
}

// Creates the copy with the structure of `structure` (an open table), opens it
// exclusively, builds its tag and appends the rows of `rowsFrom` (none when empty).
ScratchOutcome createCopy(FileSystem& fs, Table& structure, const std::string& rowsFrom, ScratchTable& out,
                          Status* status, const std::string& tag, const std::string& key) {
  Status st = structure.copyStructure(out.dbf);
  structure.close();
  if (!st) return fail(st, status);
  Result<std::unique_ptr<Table>> copy = Table::open(fs, out.dbf, OpenMode::Exclusive);
  if (!copy) return fail(copy.status(), status);
  out.table = std::move(copy.value());
  st = out.table->createTag(out.bag, tag, key);
  if (st && !rowsFrom.empty()) st = out.table->appendFrom(rowsFrom);
  if (st) st = out.table->setOrder(1);
  if (st) st = out.table->goTop();
  if (!st) {
    out.table.reset();
    return fail(st, status);
  }
  return ScratchOutcome::Ready;
}

}  // namespace

ScratchOutcome buildScratch(FileSystem& fs, const std::string& dir, const catalog::Period& period,
                            const std::string& sourceDbf, ScratchTable& out, Status* status,
                            const std::string& tag, const std::string& key) {
  if (ScratchOutcome o = clearScratch(fs, dir, period, out, status); o != ScratchOutcome::Ready) return o;
  Result<std::unique_ptr<Table>> src = Table::openReadOnly(fs, fs.resolve(sourceDbf));
  if (!src) return fail(src.status(), status);
  (void)src.value()->setOrder(0);
  Status st = src.value()->goTop();
  if (!st) return fail(st, status);
  if (src.value()->eof()) return ScratchOutcome::Empty;
  // An unreadable amount is refused here, under the source's name and record number:
  // the copy would carry it on as its own, and a sum into it would read it as 0.
  st = checkAllNumbers(*src.value());
  if (!st) return fail(st, status);
  const std::string srcPath = src.value()->path();
  return createCopy(fs, *src.value(), srcPath, out, status, tag, key);
}

ScratchOutcome emptyScratch(FileSystem& fs, const std::string& dir, const catalog::Period& period,
                            const std::string& structureDbf, ScratchTable& out, Status* status,
                            const std::string& tag, const std::string& key) {
  if (ScratchOutcome o = clearScratch(fs, dir, period, out, status); o != ScratchOutcome::Ready) return o;
  Result<std::unique_ptr<Table>> src = Table::openReadOnly(fs, fs.resolve(structureDbf));
  if (!src) return fail(src.status(), status);
  return createCopy(fs, *src.value(), std::string(), out, status, tag, key);
}

ScratchOutcome regroupScratch(FileSystem& fs, ScratchTable& scratch, const std::string& tag, const std::string& key,
                              Status* status, const std::string& bagExt) {
  if (scratch.table) {
    Status fl = scratch.table->flush();
    scratch.table->close();
    scratch.table.reset();
    if (!fl) return fail(fl, status);
  }
  Status st = removeIfPresent(fs, scratch.bag);
  if (!st) return fail(st, status);
  scratch.bag = withExt(scratch.dbf, bagExt);
  st = removeIfPresent(fs, scratch.bag);
  if (!st) return fail(st, status);
  Result<std::unique_ptr<Table>> t = Table::open(fs, scratch.dbf, OpenMode::Exclusive);
  if (!t) return fail(t.status(), status);
  scratch.table = std::move(t.value());
  if (bagExt == "cdx" || bagExt == "CDX")
    st = scratch.table->createTag(scratch.bag, tag, key);
  else
    st = scratch.table->createIndexFile(scratch.bag, key);
  if (st) st = scratch.table->setOrder(1);
  if (st) st = scratch.table->goTop();
  if (!st) {
    scratch.table.reset();
    return fail(st, status);
  }
  return ScratchOutcome::Ready;
}

}  // namespace planilla::reports
