#include "store/verify.h"

#include <cctype>
#include <cstring>

#include "store/dbf_format.h"
#include "store/index.h"
#include "store/table.h"

namespace planilla {
namespace {

std::string fileName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The header and the record area read straight from the file, so that a damaged
// table is described rather than refused.
Status checkFile(FileSystem& fs, const std::string& path, std::vector<std::string>& problems, bool* usable) {
  *usable = false;
  OpenOptions ro;
  ro.readOnly = true;
  auto f = fs.open(path, ro);
  if (!f) return f.status();
  const std::string name = fileName(path);
  std::string head(dbf::kHeaderSize, '\0');
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR((*f)->readAt(0, head.data(), head.size(), &got));
  head.resize(got);
  dbf::Layout layout;
  Status st = dbf::decodeHeader(head, &layout.header);
  if (st) {
    std::string area(layout.header.headerLength, '\0');
    PLANILLA_RETURN_IF_ERROR((*f)->readAt(0, area.data(), area.size(), &got));
    area.resize(got);
    st = dbf::decodeLayout(area, &layout);
  }
  if (!st) {
    problems.push_back(name + ": encabezado danado: " + st.message());
    return Status::ok();
  }
  auto size = (*f)->size();
  if (!size) return size.status();
  const uint64_t need = dbf::dataEnd(layout.header);
  if (*size < need) {
    problems.push_back(name + ": el encabezado indica " + std::to_string(layout.header.recordCount) +
                       " registros pero el archivo solo tiene " + std::to_string(*size) + " bytes (se esperan " +
                       std::to_string(need) + ")");
    return Status::ok();
  }
  const size_t rl = layout.header.recordLength;
  const uint32_t total = layout.header.recordCount;
  const uint32_t per = static_cast<uint32_t>(std::max<size_t>(1, (1u << 20) / rl));
  std::string buf;
  size_t reported = 0;
  for (uint32_t first = 1; first <= total; first += per) {
    uint32_t n = std::min(per, total - first + 1);
    buf.resize(size_t(n) * rl);
    PLANILLA_RETURN_IF_ERROR((*f)->readAt(dbf::recordOffset(layout.header, first), buf.data(), buf.size(), &got));
    for (uint32_t k = 0; k < n && reported < 50; ++k) {
      std::string_view r(buf.data() + size_t(k) * rl, rl);
      uint32_t recno = first + k;
      if (r[0] != dbf::kLiveFlag && r[0] != dbf::kDeletedFlag) {
        problems.push_back(name + ": registro " + std::to_string(recno) + ": marca de borrado invalida");
        ++reported;
        continue;
      }
      for (const auto& fld : layout.fields) {
        if (fld.type != 'N' && fld.type != 'F') continue;
        bool ok = true;
        (void)dbf::decodeNumber(fld, r.substr(fld.offset, static_cast<size_t>(fld.width)), &ok);
        if (!ok) {
          problems.push_back(name + ": registro " + std::to_string(recno) + ": el campo " + fld.name +
                             " no contiene un numero");
          ++reported;
        }
      }
    }
  }
  if (reported >= 50) problems.push_back(name + ": demasiados registros danados; se omiten los demas");
  *usable = true;
  return Status::ok();
}

}  // namespace

std::string companionBag(FileSystem& fs, const std::string& tablePath) {
  std::string real = fs.resolve(tablePath);
  auto slash = real.rfind('/');
  auto dot = real.rfind('.');
  std::string base = (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? real : real.substr(0, dot);
  std::string ext = real.substr(base.size());
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A database container (.dbc) keeps its index in a .dcx.
  std::string cand = fs.resolve(base + (ext == ".dbc" ? ".dcx" : ".cdx"));
  return fs.exists(cand) ? cand : std::string();
}

Status verifyTable(FileSystem& fs, const std::string& tablePath, const std::vector<std::string>& bagPaths,
                   std::vector<std::string>& problems) {
  if (!fs.exists(tablePath)) return Status::notFound("no existe la tabla " + tablePath);
  bool usable = false;
  PLANILLA_RETURN_IF_ERROR(checkFile(fs, tablePath, problems, &usable));
  if (!usable) return Status::ok();
  auto t = Table::openReadOnly(fs, tablePath);
  if (!t) {
    problems.push_back(fileName(tablePath) + ": " + t.status().message());
    return Status::ok();
  }
  for (const auto& bp : bagPaths) {
    if (!fs.exists(bp)) {
      problems.push_back("no existe el indice " + bp);
      continue;
    }
    auto bag = IndexBag::open(fs, bp, (*t)->recordLayout(), false);
    if (!bag) {
      problems.push_back(fileName(bp) + ": " + bag.status().message());
      continue;
    }
    std::vector<std::string> found;
    Status st = (*bag)->verify((*t)->records(), found);
    for (auto& p : found) problems.push_back(fileName(bp) + ": " + p);
    if (!st) problems.push_back(fileName(bp) + ": " + st.message());
  }
  return Status::ok();
}

}  // namespace planilla
