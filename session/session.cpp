#include "session/session.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "session/app_info.h"
#include "store/platform.h"

namespace planilla {

namespace {

Date systemToday() {
  const std::tm tmv = platform::localTime(std::time(nullptr));
  return Date(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
}

}  // namespace

std::string computerNetworkName() { return platform::computerName(); }

bool detectRed() {
  if (const char* env = std::getenv("PLANILLA_RED")) {
    std::string v = env;
    if (v == "0") return false;
    if (v == "1") return true;
  }
  std::string name = computerNetworkName();
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  return !name.empty();
}

Session::Session(FileSystem& fs, ui::Messages& messages, std::string dataDir)
    : fs_(&fs), messages_(&messages), dataDir_(std::move(dataDir)), red_(detectRed()) {
  if (dataDir_.empty()) dataDir_ = ".";
  windowTitle = kSystemName;
  station = computerNetworkName();
  areas_ = std::make_unique<WorkAreas>(kMaxAreas);
}

Session::~Session() { areas_->closeAll(); }

bool Session::allows(const std::string& group) const {
  if (!accessLimited) return true;
  for (const auto& g : accessGroups)
    if (g == group) return true;
  return false;
}

void Session::resetPeriod() {
  YFECHA = Date();
  YMES = "  ";
  YCIA = "  ";
  YANO = "  ";
  YNOMBRE1 = std::string(45, ' ');
}

std::string Session::path(const std::string& name) const { return catalog::joinPath(dataDir_, name); }

bool Session::fileExists(const std::string& name) {
  std::string p = path(name);
  return fs_->exists(fs_->resolve(p));
}

Date Session::today() const { return clock_ ? clock_() : systemToday(); }

Result<Table*> Session::use(int n, std::unique_ptr<Table> table) {
  PLANILLA_RETURN_IF_ERROR(areas_->use(n, std::move(table)));
  return areas_->table();
}

Result<Table*> Session::open(int n, const std::string& name, const std::string& aliasName,
                             std::optional<OpenMode> mode, const std::vector<std::string>& bags) {
  if (n == 0) n = areas_->current();
  if (n < 1 || n > kMaxAreas) return Status::invalid("Area de trabajo fuera de rango");
  areas_->close(n);
  auto t = Table::open(*fs_, path(name), mode.value_or(defaultMode()), aliasName);
  if (!t) return t.status().withContext(name);
  for (const auto& bag : bags) {
    Status st = (*t)->openIndex(path(bag));
    if (!st) {
      (*t)->close();
      return st.message().find(bag) != std::string::npos ? st : st.withContext(bag);
    }
  }
  // A catalog table's bags must hold the tags the system uses.
  catalog::TableDef def;
  Status st = catalog::identify(name, &def) ? catalog::checkTags(**t, def) : Status::ok();
  if (st && (*t)->tagCount() > 0) st = (*t)->setOrder(1);
  if (!st) {
    (*t)->close();
    return st;
  }
  return use(n, std::move(*t));
}

Result<Table*> Session::open(int n, const catalog::TableDef& def, std::optional<OpenMode> mode,
                             const std::string& aliasName) {
  if (n == 0) n = areas_->current();
  if (n < 1 || n > kMaxAreas) return Status::invalid("Area de trabajo fuera de rango");
  areas_->close(n);
  auto t = catalog::openTable(*fs_, dataDir_, def, mode.value_or(defaultMode()), aliasName);
  if (!t) return t.status();
  return use(n, std::move(*t));
}

Table* Session::area(int n) const { return areas_->table(n); }
int Session::areaOf(const std::string& aliasName) const { return areas_->areaOf(aliasName); }
Table* Session::alias(const std::string& name) const { return areas_->find(name); }
void Session::select(int n) {
  if (n >= 1 && n <= kMaxAreas) (void)areas_->select(n);
}
bool Session::select(const std::string& aliasName) { return areas_->select(std::string_view(aliasName)).isOk(); }
int Session::selected() const { return areas_->current(); }
Table* Session::current() const { return areas_->table(); }
void Session::close(int n) { areas_->close(n); }
void Session::closeAll() {
  areas_->closeAll();
  (void)areas_->select(1);
}
int Session::firstFreeArea() const { return areas_->freeArea(); }

}  // namespace planilla
