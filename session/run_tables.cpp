#include "session/run_tables.h"

#include <algorithm>
#include <cctype>

#include "store/catalog.h"
#include "store/dbf_format.h"

namespace planilla {

namespace {

using catalog::TableDef;
using catalog::TableId;

std::vector<TableDef> defsOf(const Session& s, std::initializer_list<TableId> ids) {
  std::vector<TableDef> out;
  for (TableId id : ids) out.push_back(s.def(id));
  return out;
}

std::string baseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One file of a set: where it is in place and where a run builds it.
struct Place {
  std::string real, temp;
};

Place tablePlace(Session& s, const TableDef& def) {
  std::string real = s.fs().resolve(catalog::joinPath(s.dataDir(), def.dbf()));
  return {real, catalog::runBuildPath(real)};
}

std::vector<Place> bagPlaces(Session& s, const TableDef& def) {
  std::vector<Place> out;
  for (const BagSpec& b : catalog::bagSpecs(s.dataDir(), def)) {
    std::string real = s.fs().resolve(b.path);
    out.push_back({real, catalog::runBuildPath(real)});
  }
  return out;
}

// The bags of `def` as a run builds them, under their build names. A tag without a
// name (the single index of a bag) keeps the name the bag in place gives it.
std::vector<BagSpec> buildSpecs(Session& s, const TableDef& def) {
  std::vector<BagSpec> specs = catalog::bagSpecs(s.dataDir(), def);
  for (BagSpec& b : specs) {
    std::string real = s.fs().resolve(b.path);
    std::string name = baseName(real);
    name = name.substr(0, name.rfind('.'));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (TagSpec& t : b.tags)
      if (t.name.empty()) t.name = name.substr(0, 10);
    b.path = catalog::runBuildPath(real);
  }
  return specs;
}

// True when the table file carries the rebuild mark. InUse when a station holds it
// exclusively.
Result<bool> marked(FileSystem& fs, const std::string& path) {
  if (!fs.exists(path)) return false;
  OpenOptions ro;
  ro.readOnly = true;
  auto f = fs.open(path, ro);
  if (!f) return f.status();
  char b = 0;
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR((*f)->readAt(dbf::kRebuildMarkOffset, &b, 1, &got));
  return got == 1 && static_cast<uint8_t>(b) == dbf::kRebuildMark;
}

// The file opened and its use taken exclusively; InUse when another holder has it.
Result<std::unique_ptr<File>> holdFile(FileSystem& fs, const std::string& path) {
  auto f = fs.open(path, OpenOptions{});
  if (!f) return f.status();
  Status st = (*f)->lock(kUseLockOffset, 1, LockKind::Exclusive);
  if (st.code() == ErrorCode::Locked) return Status::inUse("el archivo " + baseName(path) + " esta en uso");
  PLANILLA_RETURN_IF_ERROR(st);
  return std::move(f).value();
}

// Every build file a run of `def` may leave: the table's, its bags', and the files
// its bag builds write beside those.
std::vector<std::string> buildFiles(Session& s, const TableDef& def) {
  std::vector<std::string> out;
  for (const Place& b : bagPlaces(s, def)) {
    out.push_back(b.temp + ".tmp");
    out.push_back(b.temp);
  }
  out.push_back(tablePlace(s, def).temp);
  return out;
}

}  // namespace

std::vector<TableDef> payrollRunSet(const Session& s) {
  return defsOf(s, {TableId::PayrollSoles, TableId::PayrollDollars, TableId::Earnings, TableId::Deductions});
}

std::vector<TableDef> gratificationRunSet(const Session& s) {
  return defsOf(s, {TableId::GratSoles, TableId::GratDollars, TableId::Deductions});
}

Status settleRunTables(Session& s, std::vector<RunNotice>* notices) {
  FileSystem& fs = s.fs();
  const std::vector<std::vector<TableDef>> sets = {payrollRunSet(s), gratificationRunSet(s)};
  // Anything to do: a build file, or a table of a set carrying the mark.
  bool pending = false;
  std::vector<TableDef> tables;
  for (const auto& set : sets)
    for (const TableDef& d : set) {
      if (std::none_of(tables.begin(), tables.end(), [&](const TableDef& t) { return t.dbf() == d.dbf(); }))
        tables.push_back(d);
    }
  for (const TableDef& d : tables) {
    for (const std::string& f : buildFiles(s, d)) pending = pending || fs.exists(f);
    Result<bool> m = marked(fs, tablePlace(s, d).real);
    if (!m) return m.status();
    pending = pending || *m;
  }
  if (!pending) return Status::ok();

  // A set whose first table was renamed into place (it is marked, its build file
  // gone) is finished: the rest of its tables go into place. The build files of
  // every other set are removed, its first table's last.
  std::vector<bool> finished(sets.size(), false);
  for (size_t i = 0; i < sets.size(); ++i) {
    const Place first = tablePlace(s, sets[i].front());
    Result<bool> m = marked(fs, first.real);
    if (!m) return m.status();
    finished[i] = *m && !fs.exists(first.temp);
  }
  // Exclusive use of the tables in place, and no one using a build file: a run under
  // way on another station holds one or the other (and a run starting meanwhile
  // needs the tables held here).
  std::vector<std::unique_ptr<File>> held;
  for (const TableDef& d : tables) {
    for (const std::string& f : buildFiles(s, d)) {
      if (!fs.exists(f)) continue;
      auto h = holdFile(fs, f);
      if (!h) return h.status();
    }
    const std::string real = tablePlace(s, d).real;
    if (!fs.exists(real)) continue;
    auto h = holdFile(fs, real);
    if (!h) return h.status();
    held.push_back(std::move(h).value());
  }
  std::vector<RunNotice> done;
  for (size_t i = 0; i < sets.size(); ++i) {
    if (!finished[i]) continue;
    for (const TableDef& d : sets[i]) {
      const Place p = tablePlace(s, d);
      if (!fs.exists(p.temp)) continue;
      PLANILLA_RETURN_IF_ERROR(fs.replace(p.temp, p.real).withContext(baseName(p.real)));
    }
    done.push_back({sets[i].front().dbf(), "el calculo interrumpido se completo con los archivos que dejo"});
  }
  for (size_t i = 0; i < sets.size(); ++i) {
    bool removed = false;
    for (auto d = sets[i].rbegin(); d != sets[i].rend(); ++d)
      for (const std::string& f : buildFiles(s, *d)) {
        if (!fs.exists(f)) continue;
        PLANILLA_RETURN_IF_ERROR(fs.remove(f).withContext(baseName(f)));
        removed = true;
      }
    if (removed && !finished[i])
      done.push_back({sets[i].front().dbf(), "se descartaron los archivos de un calculo interrumpido; el mes anterior sigue vigente"});
  }
  held.clear();

  // The bags of every table that carries the mark are built anew from its records.
  for (const TableDef& d : tables) {
    Result<bool> m = marked(fs, tablePlace(s, d).real);
    if (!m) return m.status();
    if (*m) PLANILLA_RETURN_IF_ERROR(catalog::rebuildIndexes(fs, s.dataDir(), d, false));
  }
  if (notices) *notices = std::move(done);
  return Status::ok();
}

// ------------------------------------------------------------------------------------

RunTables::~RunTables() {
  for (auto b = built_.rbegin(); b != built_.rend(); ++b) {
    if (b->table) b->table->close();
    if (pastReturn_) continue;
    for (const std::string& f : buildFiles(s_, b->def))
      if (s_.fs().exists(f)) (void)s_.fs().remove(f);
  }
  held_.clear();
}

Status RunTables::hold(const TableDef& def) {
  const Place p = tablePlace(s_, def);
  if (!s_.fs().exists(p.real)) return Status::ok();
  auto h = holdFile(s_.fs(), p.real);
  if (!h) return h.status();
  held_.push_back(std::move(h).value());
  return Status::ok();
}

Result<Table*> RunTables::add(const TableDef& def, std::unique_ptr<Table> t, const std::string& real,
                              const std::string& temp, bool bagsBuilt) {
  built_.push_back(Built{def, real, temp, std::move(t), false});
  if (bagsBuilt) PLANILLA_RETURN_IF_ERROR(buildBags(built_.back()));
  return built_.back().table.get();
}

Status RunTables::buildBags(Built& b) {
  PLANILLA_RETURN_IF_ERROR(b.table->rebuildBags(buildSpecs(s_, b.def), false).withContext(b.def.dbf()));
  if (b.table->tagCount() > 0) PLANILLA_RETURN_IF_ERROR(b.table->setOrder(1));
  b.bagsBuilt = true;
  return Status::ok();
}

Result<Table*> RunTables::fresh(const TableDef& def, const std::vector<FieldSpec>& extra) {
  FileSystem& fs = s_.fs();
  const Place p = tablePlace(s_, def);
  if (fs.exists(p.temp)) PLANILLA_RETURN_IF_ERROR(fs.remove(p.temp));
  {
    auto tpl = Table::openReadOnly(fs, s_.path("pbase18.dbf"), "pbase18");
    if (!tpl) return tpl.status().withContext("pbase18.dbf");
    Status st;
    if (extra.empty()) {
      st = (*tpl)->copyStructure(p.temp);
    } else {
      std::vector<FieldSpec> fields;
      for (int i = 0; i < (*tpl)->fieldCount(); ++i) fields.push_back((*tpl)->field(i));
      fields.insert(fields.end(), extra.begin(), extra.end());
      st = Table::create(fs, p.temp, fields);
    }
    if (!st) return st.withContext(def.dbf());
  }
  auto t = Table::open(fs, p.temp, OpenMode::Exclusive, def.alias);
  if (!t) {
    (void)fs.remove(p.temp);
    return t.status().withContext(def.dbf());
  }
  return add(def, std::move(t).value(), p.real, p.temp, false);
}

Result<Table*> RunTables::copyOf(const TableDef& def, Table& current) {
  FileSystem& fs = s_.fs();
  const Place p = tablePlace(s_, def);
  if (fs.exists(p.temp)) PLANILLA_RETURN_IF_ERROR(fs.remove(p.temp));
  PLANILLA_RETURN_IF_ERROR(current.copyStructure(p.temp).withContext(def.dbf()));
  auto t = Table::open(fs, p.temp, OpenMode::Exclusive, def.alias);
  if (!t) {
    (void)fs.remove(p.temp);
    return t.status().withContext(def.dbf());
  }
  Table* raw = t->get();
  Result<Table*> r = add(def, std::move(t).value(), p.real, p.temp, false);
  if (!r) return r;
  PLANILLA_RETURN_IF_ERROR(raw->appendFrom(current).withContext(def.dbf()));
  PLANILLA_RETURN_IF_ERROR(buildBags(built_.back()));
  return raw;
}

Status RunTables::commit() {
  FileSystem& fs = s_.fs();
  // 1. Every new table whole on disk with its bags, then marked.
  for (Built& b : built_) {
    if (!b.bagsBuilt) PLANILLA_RETURN_IF_ERROR(buildBags(b));
    PLANILLA_RETURN_IF_ERROR(b.table->flush().withContext(b.def.dbf()));
  }
  for (Built& b : built_) PLANILLA_RETURN_IF_ERROR(b.table->setRebuildMark(true));
  // 2. Into place, in order; from the first rename on there is no way back.
  for (Built& b : built_) {
    PLANILLA_RETURN_IF_ERROR(fs.replace(b.temp, b.real).withContext(b.def.dbf()));
    pastReturn_ = true;
    for (const Place& bag : bagPlaces(s_, b.def))
      PLANILLA_RETURN_IF_ERROR(fs.replace(bag.temp, bag.real).withContext(baseName(bag.real)));
  }
  // 3. The marks go.
  for (Built& b : built_) PLANILLA_RETURN_IF_ERROR(b.table->setRebuildMark(false));
  for (Built& b : built_) b.table->close();
  built_.clear();
  held_.clear();
  return Status::ok();
}

}  // namespace planilla
