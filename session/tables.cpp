#include "session/tables.h"

#include <cmath>
#include <cstdio>

#include "ui/messages.h"

namespace planilla {

namespace {
const char* kTitle = "Mensaje";
const char* kRecordInUse = "Acceso Denegado Registro En Uso";
const char* kFileInUse = "Apertura Denegada El Archivo Esta En Uso";

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}
}  // namespace

bool RED(const Session& s) { return s.red(); }

bool LAN_REG(Session& s) {
  if (!s.red()) return true;
  Table* t = s.current();
  Status st = t ? t->lockRecord() : Status::invalid("No hay tabla en el area actual");
  if (st) return true;
  // Only a lock held by another station is "in use"; a table that may not be written
  // (read-only folder or disk) or an I/O error says so.
  ui::MSGSTOP(s.messages(), st.code() == ErrorCode::Locked ? kRecordInUse : st.message(), kTitle);
  return false;
}

bool ADD_REG(Session& s) {
  Table* t = s.current();
  Status st = t ? t->appendBlank() : Status::invalid("No hay tabla en el area actual");
  if (st) return true;
  if (st.code() == ErrorCode::Locked || st.code() == ErrorCode::InUse)
    ui::MSGSTOP(s.messages(), kRecordInUse, kTitle);
  else
    ui::MSGSTOP(s.messages(), st.message(), kTitle);
  return false;
}

void FREE(Session& s) {
  if (!s.red()) return;
  if (Table* t = s.current()) t->unlockAll();
}

bool SEARCHDAT(Session& s, const std::string& key) {
  Table* t = s.current();
  return t && t->seek(key);
}

KeySearch kapturaKeySearch(Table& table, int keycode, const std::string& fieldText, std::string* searched) {
  if (keycode < 32 || keycode > 255) return KeySearch::Ignored;
  const uint32_t before = table.recno();
  std::string key = trim(fieldText);
  key.push_back(static_cast<char>(keycode));
  if (searched) *searched = key;
  if (table.seek(key)) return KeySearch::Found;
  // Back to the record the list showed (the cursor was at end of file when the
  // list was at its end).
  if (before <= table.recordCount()) (void)table.go(before);
  return KeySearch::NotFound;
}

namespace {
// Puts the cursor back on `recno` (end of file when it was there).
void restore(Table& t, uint32_t recno) {
  if (recno >= 1 && recno <= t.recordCount()) {
    (void)t.go(recno);
  } else {
    (void)t.goBottom();
    (void)t.skip(1);
  }
}
}  // namespace

KeyCheck checkKey(Table& table, const std::string& key, uint32_t editing) {
  if (trim(key).empty()) return KeyCheck::Blank;
  const uint32_t before = table.recno();
  KeyCheck out = KeyCheck::Free;
  // As the screens do it: the first record the seek finds decides.
  if (table.seek(key)) out = table.recno() == editing ? KeyCheck::Self : KeyCheck::Taken;
  restore(table, before);
  return out;
}

bool keySearch(Table& table, const std::string& typed, int keyWidth) {
  std::string key = typed;
  if (keyWidth > 0) key.resize(static_cast<size_t>(keyWidth), ' ');
  const uint32_t before = table.recno();
  if (table.seek(key)) return true;
  restore(table, before);
  return false;
}

bool checkRange(Session& s, double value, double lo, double hi) {
  if (value >= lo && value <= hi) return true;
  ui::MSGSTOP(s.messages(), "Rango Fuera De Parametro", "Error En Ingreso De Dato");
  return false;
}

void showTableError(Session& s, const Status& st) {
  if (st.code() == ErrorCode::InUse)
    ui::MSGSTOP(s.messages(), st.message() == catalog::kRunInProgress ? catalog::kRunInProgress : kFileInUse, kTitle);
  else if (st.code() == ErrorCode::Locked)
    ui::MSGSTOP(s.messages(), kRecordInUse, kTitle);
  else
    ui::MSGSTOP(s.messages(), st.message(), kTitle);
}

bool ensureTable(Session& s, const catalog::TableDef& def) {
  Status st = catalog::ensureTable(s.fs(), s.dataDir(), def);
  if (st) return true;
  if (st.code() == ErrorCode::NotFound && st.message() == "WARNING 14P")
    ui::MSGSTOP(s.messages(), "WARNING 14P");
  else
    showTableError(s, st);
  return false;
}

Table* openOwnTable(Session& s, const catalog::TableDef& def, int area, const std::string& alias,
                    std::optional<OpenMode> mode) {
  if (!ensureTable(s, def)) return nullptr;
  auto t = s.open(area, def, mode, alias);
  if (!t) {
    showTableError(s, t.status());
    return nullptr;
  }
  return *t;
}

Table* openOwnTable(Session& s, catalog::TableId id, int area, const std::string& alias,
                    std::optional<OpenMode> mode) {
  return openOwnTable(s, s.def(id), area, alias, mode);
}

Table* openExisting(Session& s, const catalog::TableDef& def, int area, const std::string& missingMessage,
                    const std::string& alias, std::optional<OpenMode> mode) {
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) {
    ui::MSGSTOP(s.messages(), missingMessage, kTitle);
    return nullptr;
  }
  auto t = s.open(area, def, mode, alias);
  if (!t) {
    showTableError(s, t.status());
    return nullptr;
  }
  return *t;
}

bool recreateCalcFile(Session& s, const catalog::TableDef& def) {
  Status st = catalog::recreateCalcFile(s.fs(), s.dataDir(), def);
  if (st) return true;
  if (st.code() == ErrorCode::NotFound && st.message() == "WARNING  P18!!  ")
    ui::MSGSTOP(s.messages(), "WARNING  P18!!  ");
  else
    showTableError(s, st);
  return false;
}

}  // namespace planilla
