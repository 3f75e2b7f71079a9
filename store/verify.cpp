#include "store/verify.h"

#include <cctype>
#include <cstring>

#include "store/catalog.h"
#include "store/dbf_format.h"
#include "store/index.h"
#include "store/numbers.h"
#include "store/table.h"

namespace planilla {
namespace {

std::string fileName(const std::string& path) {
#ifdef _WIN32
  auto slash = path.find_last_of("/\\");  // Windows names take either separator
#else
  auto slash = path.rfind('/');
#endif
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The header and the record area read straight from the file, so that a damaged
// table is described rather than refused.
Status checkFile(FileSystem& fs, const std::string& path, std::vector<std::string>& problems,
                 std::vector<std::string>* notes, bool* usable) {
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
  if (layout.header.rebuildPending)
    problems.push_back(name + ": la reconstruccion de sus indices quedo a medias; reindexe la tabla");
  // After the last record: the end-of-file mark, which other programs may follow with
  // a line feed or padding. Nothing reads past the count and the next append writes
  // over it all, so that is worth a note only. Anything else there is a problem: an
  // append cut short leaves its record, whole or in part, where the mark belongs
  // (the next append writes over it too, but a reindex drops it).
  if (uint64_t past = *size - need; past > 1) {
    char first = 0;
    PLANILLA_RETURN_IF_ERROR((*f)->readAt(need, &first, 1, &got));
    const uint64_t whole = past / layout.header.recordLength;
    if (got == 1 && first == dbf::kEndOfFile) {
      if (notes)
        notes->push_back(name + ": " + std::to_string(past - 1) +
                         " byte(s) despues de la marca de fin de archivo; no forman parte de la tabla");
    } else if (whole > 0) {
      problems.push_back(name + ": agregado que no termino: " + std::to_string(whole) +
                         " registro(s) despues del registro " + std::to_string(layout.header.recordCount) +
                         ", el ultimo que cuenta el encabezado");
    } else {
      problems.push_back(name + ": " + std::to_string(past) + " bytes sobrantes despues del ultimo registro");
    }
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
        const std::string_view bytes = r.substr(fld.offset, static_cast<size_t>(fld.width));
        (void)dbf::decodeNumber(fld, bytes, &ok);
        if (!ok) {
          // The runs' message: it names the table and shows the bytes found.
          problems.push_back(unreadableNumber(name, recno, fld.name, bytes).message());
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

Result<TableTail> tableTail(FileSystem& fs, const std::string& tablePath) {
  OpenOptions ro;
  ro.readOnly = true;
  auto f = fs.open(tablePath, ro);
  if (!f) return f.status();
  std::string head(dbf::kHeaderSize, '\0');
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR((*f)->readAt(0, head.data(), head.size(), &got));
  head.resize(got);
  dbf::Header h;
  PLANILLA_RETURN_IF_ERROR(dbf::decodeHeader(head, &h).withContext(fileName(tablePath)));
  auto size = (*f)->size();
  if (!size) return size.status();
  TableTail tail;
  const uint64_t need = dbf::dataEnd(h);
  if (*size > need + 1) {
    tail.bytes = *size - need;
    tail.records = static_cast<uint32_t>(tail.bytes / h.recordLength);
  }
  return tail;
}

std::vector<BagExpectation> catalogExpectations(const std::string& tablePath) {
  std::vector<BagExpectation> out;
  catalog::TableDef def;
  if (!catalog::identify(tablePath, &def)) return out;
  if (def.origin == catalog::Origin::External || def.origin == catalog::Origin::WorkFile) return out;
  const auto slash = tablePath.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : tablePath.substr(0, slash);
  for (const auto& bag : catalog::bagSpecs(dir, def)) {
    BagExpectation e{bag.path, {}};
    for (const auto& t : bag.tags) {
      std::string name = t.name;
      if (name.empty()) {
        name = fileName(bag.path);
        name = name.substr(0, std::min<size_t>(10, name.rfind('.')));
      }
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      e.tags.push_back(name);
    }
    out.push_back(std::move(e));
  }
  return out;
}

Status verifyTable(FileSystem& fs, const std::string& tablePath, const std::vector<std::string>& bagPaths,
                   std::vector<std::string>& problems, const std::vector<BagExpectation>& expected,
                   std::vector<std::string>* notes) {
  if (!fs.exists(tablePath)) return Status::notFound("no existe la tabla " + tablePath);
  bool usable = false;
  PLANILLA_RETURN_IF_ERROR(checkFile(fs, tablePath, problems, notes, &usable));
  if (!usable) return Status::ok();
  auto t = Table::openReadOnly(fs, tablePath);
  if (!t) {
    problems.push_back(fileName(tablePath) + ": " + t.status().message());
    return Status::ok();
  }
  // The bags named, then those the system expects that were not named.
  struct Check {
    std::string path;
    const BagExpectation* expect;
  };
  std::vector<Check> checks;
  for (const auto& bp : bagPaths) checks.push_back({bp, nullptr});
  for (const auto& e : expected) {
    bool named = false;
    for (auto& c : checks)
      if (fs.resolve(c.path) == fs.resolve(e.path)) {
        c.expect = &e;
        named = true;
      }
    if (!named) checks.push_back({e.path, &e});
  }
  for (const auto& c : checks) {
    const std::string bagName = fileName(c.path);
    if (!fs.exists(c.path)) {
      problems.push_back("no existe el indice " + bagName);
      continue;
    }
    auto bag = IndexBag::open(fs, c.path, (*t)->recordLayout(), false);
    if (!bag) {
      const std::string& m = bag.status().message();
      problems.push_back(m.find(bagName) != std::string::npos ? m : bagName + ": " + m);
      continue;
    }
    if ((*bag)->tagCount() == 0) problems.push_back(bagName + ": el indice no tiene etiquetas");
    if (c.expect)
      for (const auto& tag : c.expect->tags)
        if ((*bag)->findTag(tag) < 0)
          problems.push_back(bagName + ": falta la etiqueta " + tag + " que usa el sistema");
    std::vector<std::string> found;
    Status st = (*bag)->verify((*t)->records(), found);
    for (auto& p : found) problems.push_back(bagName + ": " + p);
    if (!st) problems.push_back(bagName + ": " + st.message());
  }
  return Status::ok();
}

}  // namespace planilla
