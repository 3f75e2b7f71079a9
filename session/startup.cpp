#include "session/startup.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "session/tables.h"
#include "store/platform.h"
#include "ui/messages.h"

namespace planilla {

namespace {

const char* kTitle = "Mensaje";

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v % 100);
  return b;
}

// The date the period globals were last derived from (FECRETE). Kept per session in
// the globals themselves: DIA_CIE, YMES and ANO_CIE describe it.
bool derivedFor(const Session& s, const Date& d) {
  if (d.empty() || s.ANO_CIE.size() != 4 || s.DIA_CIE.size() != 2) return false;
  std::string expectMes = (d.month() == 1 && d.day() == 1) ? "00" : two(d.month());
  return s.DIA_CIE == two(d.day()) && s.YMES == expectMes && s.ANO_CIE == std::to_string(d.year()) &&
         s.MES_CIE == monthName(d.month());
}

// Opens the users or the institution table into `area` under `alias` with its index.
// When the index is refused for its own sake (damaged, lacking its tag, a rebuild cut
// short) the table is opened alone after a warning naming the index: the lookups below
// then read the records in order, and nothing is written to it. Without this, a damaged index of
// these two small tables would keep every station out, and with it the reindex that
// repairs it. A table in use elsewhere or unreadable is reported as usual.
Table* openStartupTable(Session& s, catalog::TableId id, int area, const std::string& alias) {
  const catalog::TableDef def = s.def(id);
  auto t = s.open(area, def, std::nullopt, alias);
  if (t) return *t;
  const Status st = t.status();
  if (st.code() != ErrorCode::InUse && st.code() != ErrorCode::Locked) {
    // When the table opens alone, it was its index that failed.
    auto plain = Table::open(s.fs(), s.path(def.dbf()), s.defaultMode(), alias);
    if (plain) {
      ui::MSGALERT(s.messages(), st.message() + " (se lee " + def.dbf() + " sin su indice)", kTitle);
      auto used = s.use(area, std::move(plain).value());
      if (used) return *used;
    }
  }
  showTableError(s, st);
  return nullptr;
}

// The seek of the start-up lookups: `key` as a prefix of `field`, on the first live
// record. A table opened without its index, or an index that fails under the seek,
// is read in record order instead.
bool lookup(Table& t, const std::string& key, const char* field) {
  if (t.tagCount() > 0) {
    if (t.seek(key)) return true;
    if (t.lastError().isOk()) return false;
  }
  const int order = t.order();
  (void)t.setOrder(0);
  bool found = false;
  Status st = t.goTop();
  while (st && !t.eof() && !found) {
    found = t.str(field).compare(0, key.size(), key) == 0;
    if (!found) st = t.skip(1);
  }
  (void)t.setOrder(order);
  return found;
}

// The access the password's records give (the users table in any order; every record
// is read, the table is small). False when none of them has ACCESO "T".
bool readAccess(Table& t, const std::string& key, Session& s) {
  const int order = t.order();
  (void)t.setOrder(0);
  std::vector<AccessRecord> records;
  s.userCode.clear();
  for (Status st = t.goTop(); st && !t.eof(); st = t.skip(1)) {
    if (t.str("INICIA").compare(0, key.size(), key) != 0) continue;
    records.push_back({t.str("FUNCION"), t.str("ACCESO")});
    // The user the logs name: the code of the password's first record that has one.
    if (s.userCode.empty()) s.userCode = trimRight(t.str("CODIGO"));
  }
  (void)t.setOrder(order);
  const PasswordAccess a = accessOf(records);
  s.accessLimited = a.limited;
  s.accessGroups = a.groups;
  return a.granted;
}

}  // namespace

const std::vector<std::string>& functionCodes() {
  static const std::vector<std::string> k = {"FECHA",    "MAESTROS", "DATOS",   "PROCESOS",
                                             "REPORTES", "AFPNET",   "SUELDOS", "HERRAMIENT"};
  return k;
}

bool PasswordAccess::opens(const std::string& group) const {
  return granted && (!limited || std::find(groups.begin(), groups.end(), group) != groups.end());
}

PasswordAccess accessOf(const std::vector<AccessRecord>& records) {
  const auto& codes = functionCodes();
  PasswordAccess a;
  for (const AccessRecord& r : records) {
    const std::string code = trimRight(upper(r.funcion));
    const bool on = r.acceso == "T";
    a.granted = a.granted || on;
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) continue;
    a.limited = true;
    if (on) a.groups.push_back(code);
  }
  return a;
}

long applyProcessSettings(long handles) { return platform::raiseOpenFileLimit(handles); }

const char* monthName(int month) {
  static const char* names[] = {"Enero", "Febrero", "Marzo",     "Abril",   "Mayo",      "Junio",
                                "Julio", "Agosto",  "Setiembre", "Octubre", "Noviembre", "Diciembre"};
  if (month < 1 || month > 12) return "";
  return names[month - 1];
}

std::string yearText5(int year) {
  char b[16];
  std::snprintf(b, sizeof b, "%5d", year);
  return b;
}

bool VALACEPTAR(Session& s, const std::string& password, const std::string& user) {
  // The fields carry the "@!" picture: what is typed arrives upper-cased.
  const std::string u = upper(user);
  if (u != kLoginUser) {
    ui::MSGSTOP(s.messages(), "Ingrese Login", kTitle);
    s.LACCESO = false;
    return true;
  }
  if (!s.fileExists("kylusua.DBF")) {
    ui::MSGSTOP(s.messages(), "Archivo De Accesos-1  No Existe", kTitle);
    s.closeAll();
    s.LACCESO = false;
    s.endRequested = true;
    return true;
  }
  if (!s.fileExists("kylusua.CDX")) {
    ui::MSGSTOP(s.messages(), "Archivo De Accesos-2  No Existe", kTitle);
    s.closeAll();
    s.LACCESO = false;
    s.endRequested = true;
    return true;
  }
  s.select(1);
  Table* t = openStartupTable(s, catalog::TableId::Users, 1, "kylusua");
  if (!t) {
    s.closeAll();
    s.LACCESO = false;
    return true;
  }
  // The password field holds ten characters: a longer password is not one of them
  // (its first ten must not open the door). The tag is INICIA+FUNCION: ten characters
  // sought as a prefix fall on INICIA.
  const bool fits = password.find_first_not_of(' ', 10) == std::string::npos;
  const std::string key = padTo(upper(password), 10);
  if (fits && lookup(*t, key, "INICIA")) {
    s.LACCESO = readAccess(*t, key, s);
    if (!s.LACCESO) ui::MSGSTOP(s.messages(), "Acceso Denegado", kTitle);
  } else {
    ui::MSGSTOP(s.messages(), "Clave No Valida  , Intente Nuevamente", kTitle);
    s.LACCESO = false;
  }
  s.closeAll();
  return true;
}

bool FECRETE(Session& s, const Date& date) {
  if (date.empty()) {
    ui::MSGSTOP(s.messages(), "Ingrese Fecha Del Sistema", "");
    return false;
  }
  if (!date.inOperatorRange()) {
    ui::MSGSTOP(s.messages(), "Fecha No Valida", "");
    return false;
  }
  s.DIA_CIE = two(date.day());
  s.YMES = two(date.month());
  if (date.month() == 1 && date.day() == 1) s.YMES = "00";
  s.MES_CIE = monthName(date.month());
  char y[8];
  std::snprintf(y, sizeof y, "%04d", date.year());
  s.ANO_CIE = y;
  s.YANO = s.ANO_CIE.substr(2, 2);
  s.YDIA = s.DIA_CIE;
  return true;
}

bool openInstitutions(Session& s) {
  if (!s.fileExists("pmae0001.DBF")) {
    ui::MSGSTOP(s.messages(), "WARNING MAIN", kTitle);
    return false;
  }
  if (!s.fileExists("pmae0001.CDX")) {
    ui::MSGSTOP(s.messages(), "WARNING MAIN-2", kTitle);
    return false;
  }
  return openStartupTable(s, catalog::TableId::Institutions, 0, "xSeteoCia") != nullptr;
}

bool CHEKCIA(Session& s, std::string& code) {
  if (blank(code)) {
    ui::MSGSTOP(s.messages(), "Codigo Institucion En Blanco", kTitle);
    return false;
  }
  Table* t = s.alias("xSeteoCia");
  if (!t) t = s.current();
  if (!t || !lookup(*t, code, "COD_CIA")) {
    ui::MSGSTOP(s.messages(), "Codigo Ingresado " + code + " No Existe", kTitle);
    return false;
  }
  code = t->str("COD_CIA");
  s.YNOMBRE1 = t->str("NOM_CIA");
  return true;
}

void applyCompanyChoice(Session& s, const Table& institutions) {
  s.YCIA = institutions.str("COD_CIA");
  s.YNOMBRE1 = institutions.str("NOM_CIA");
}

void cancelWorkingDate(Session& s) { ui::MSGSTOP(s.messages(), "Ingrese Fecha Del Sistema", kTitle); }

std::string mainTitle(const Session& s) {
  const std::string year = s.YFECHA.empty() ? std::string(5, ' ') : yearText5(s.YFECHA.year());
  return s.YCIA + " " + s.YABREV + "   " + s.DIA_CIE + " de " + s.MES_CIE + " de " + year;
}

bool acceptWorkingDate(Session& s) {
  // The period comes from the date even when its field was never left.
  if (!derivedFor(s, s.YFECHA) && !FECRETE(s, s.YFECHA)) return false;

  Table* t = s.alias("xSeteoCia");
  if (!t) {
    if (!openInstitutions(s)) return false;
    t = s.alias("xSeteoCia");
  }
  if (!t) return false;
  s.select(s.areaOf("xSeteoCia"));
  const std::string year = yearText5(s.YFECHA.year());
  if (lookup(*t, s.YCIA, "COD_CIA")) {
    // Read without its index (a damaged one), the record is left as it is.
    if (t->tagCount() == 0) {
      s.YABREV = t->str("NOM_ABREV").substr(0, 45);
    } else if (LAN_REG(s)) {
      Status st = t->replace("FECHA", s.YFECHA);
      if (st) st = t->replace("YDESCRI", s.DIA_CIE + " del " + s.YMES + " de " + year);
      if (st) st = t->replace("DESCRI_MES", s.DIA_CIE + " de " + s.MES_CIE + " de " + year);
      if (st) st = t->flush();
      if (!st) showTableError(s, st);
      s.YNOMBRE1 = t->str("NOM_CIA").substr(0, 45);
      s.YABREV = t->str("NOM_ABREV").substr(0, 45);
      FREE(s);
    }
    s.YNOMBRE1 = t->str("NOM_CIA").substr(0, 45);
    s.YRUC = t->str("RUC");
  }
  s.windowTitle = mainTitle(s);
  s.closeAll();
  return true;
}

bool requireCompany(Session& s, bool needPeriod) {
  if (blank(s.YCIA) || (needPeriod && (blank(s.YMES) || blank(s.YANO)))) {
    ui::MSGSTOP(s.messages(), "Primero, Elija La Compania Con Que Va a Trabajar (cia)", kTitle);
    return false;
  }
  return true;
}

bool requireDate(Session& s, bool needPeriod) {
  if (blank(s.YCIA) || (needPeriod && (blank(s.YMES) || blank(s.YANO)))) {
    ui::MSGSTOP(s.messages(), "Primero, Ingrese Fecha", kTitle);
    return false;
  }
  return true;
}

}  // namespace planilla
