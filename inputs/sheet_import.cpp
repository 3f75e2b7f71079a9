#include "inputs/sheet_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <map>
#include <set>

#include "inputs/common.h"
#include "masters/maintenance.h"
#include "session/change_log.h"
#include "store/catalog.h"
#include "store/value.h"

namespace planilla::inputs {

namespace {

using masters::RecordEdit;

// Headings compared as the operator sees them: capitals, accents and blanks, dots,
// slashes and colons aside ("Hor.Ext.1ra. Tasa :" -> "HOREXT1RATASA").
std::string normalized(const std::string& heading) {
  static const std::string kFrom = "\xC1\xC9\xCD\xD3\xDA\xDC\xD1\xE1\xE9\xED\xF3\xFA\xFC\xF1";
  static const std::string kTo = "AEIOUUNAEIOUUN";
  std::string out;
  for (char ch : heading) {
    const size_t accent = kFrom.find(ch);
    if (accent != std::string::npos) ch = kTo[accent];
    const auto u = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(ch)));
    if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) out += static_cast<char>(u);
  }
  return out;
}

struct InputColumn {
  const char* field;
  const char* heading;  // the entries list's heading, else the field in capitals
  std::vector<const char*> names;  // normalized: field, form label, list heading
};
const std::vector<InputColumn>& inputColumns() {
  static const std::vector<InputColumn> k = {
      {"simple", "HOR/SIMPLE", {"SIMPLE", "HOREXT1RATASA", "HORSIMPLE"}},
      {"doble", "HOR/DOBLE", {"DOBLE", "HOREXT2RATASA", "HOREXT2DATASA", "HORDOBLE"}},
      {"refrige", "REFRIGERIO", {"REFRIGE", "REFRIGERIO"}},
      {"diastra", "DIAS/TRAB", {"DIASTRA", "DIASTRABAJADOS", "DIASTRAB"}},
      {"produc", "BONO/PRODUC", {"PRODUC", "BONPRODUCTIVIDAD", "BONOPRODUC"}},
      {"movili", "MOVILIDAD", {"MOVILI", "MOVILIDAD"}},
      {"utili", "UTILIDAD", {"UTILI", "UTILIDAD"}},
      {"cts", "CTS", {"CTS"}},
      {"subsid", "SUBSIDIO", {"SUBSID", "SUBSIDIO"}},
      {"adelanto", "ADELANTO", {"ADELANTO"}},
      {"otrosegr", "PRESTAMO", {"OTROSEGR", "PRESTAMO"}},
      {"tardan", "TARDANZAS", {"TARDAN", "TARDANZAS"}},
      {"retjud", "RET/JUDICIAL", {"RETJUD", "RETJUDICIAL"}},
      {"cuosin", "CUO/SIND", {"CUOSIN", "CUOTASINDICAL", "CUOSIND"}},
  };
  return k;
}
const std::set<std::string>& codeHeadings() {
  static const std::set<std::string> k = {"CODIGO", "CODIGOEMPLEADO", "CODIGOTRABAJADOR"};
  return k;
}
const std::set<std::string>& nameHeadings() {
  static const std::set<std::string> k = {"NOMBRE",           "NOMBRES", "NOMBRESAPELLIDOS", "APELLIDOSYNOMBRES",
                                          "APELLIDOSNOMBRES", "TRABAJADOR", "EMPLEADO"};
  return k;
}

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\xA0");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t\xA0");
  return s.substr(a, b - a + 1);
}

// An amount as a spreadsheet writes it; false when it is not a number.
bool parseAmount(const std::string& cell, double* out) {
  std::string t;
  for (char ch : cell) {
    if (ch != ' ' && ch != '\xA0') t += ch;
  }
  if (t.empty()) return false;
  const size_t comma = t.rfind(','), dot = t.rfind('.');
  char decimal = 0;
  if (comma != std::string::npos && dot != std::string::npos) {
    decimal = comma > dot ? ',' : '.';
    const char group = decimal == ',' ? '.' : ',';
    const size_t mark = std::max(comma, dot);
    // The grouping mark only before the decimal one.
    std::string whole;
    for (size_t i = 0; i < mark; ++i) {
      if (t[i] != group) whole += t[i];
    }
    t = whole + t.substr(mark);
  } else if (comma != std::string::npos) {
    decimal = ',';
  }
  if (decimal == ',') {
    if (std::count(t.begin(), t.end(), ',') > 1) return false;
    std::replace(t.begin(), t.end(), ',', '.');
  }
  size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
  bool digits = false, point = false;
  for (; i < t.size(); ++i) {
    const char ch = t[i];
    if (ch >= '0' && ch <= '9') {
      digits = true;
    } else if (ch == '.' && !point) {
      point = true;
    } else if ((ch == 'E' || ch == 'e') && digits && i + 1 < t.size()) {
      // Exponent form, as a workbook stores small or large numbers.
      size_t j = i + 1 + (t[i + 1] == '-' || t[i + 1] == '+');
      if (j >= t.size()) return false;
      for (; j < t.size(); ++j) {
        if (t[j] < '0' || t[j] > '9') return false;
      }
      break;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (!std::isfinite(v)) return false;
  *out = v;
  return true;
}

std::string amountText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

// The codes of a table (first live record of each), with the record's name and
// termination mark.
struct Person {
  std::string name;
  bool terminated = false;
};
Result<std::map<std::string, Person>> readPeople(Session& s, catalog::TableId id, bool withTermination) {
  std::map<std::string, Person> out;
  auto t = Table::openReadOnly(s.fs(), s.path(s.def(id).dbf()));
  if (!t) return t.status();
  Table& tab = *t.value();
  const bool hasBaja = withTermination && tab.fieldIndex("baja") >= 0;
  for (Status st = tab.goTop(); !tab.eof(); st = tab.skip()) {
    if (!st) return st;
    Person p{trimRight(tab.str("nombre")), hasBaja && !trimRight(tab.str("baja")).empty()};
    out.emplace(padTo(tab.str("codigo"), kCodeWidth), p);
  }
  return out;
}

// The first entry of every code in `entries`' controlling order (the one a seek
// finds); the cursor goes back where it was.
std::map<std::string, uint32_t> entryRecords(Table& entries) {
  std::map<std::string, uint32_t> out;
  const uint32_t back = entries.recno();
  for (Status st = entries.goTop(); st && !entries.eof(); st = entries.skip())
    out.emplace(padTo(entries.str("codigo"), kCodeWidth), entries.recno());
  masters::backTo(entries, back);
  return out;
}

const FieldSpec* fieldSpec(Session& s, const std::string& name) {
  static thread_local std::vector<FieldSpec> fields;
  fields = s.def(catalog::TableId::IncomeEntries).fields;
  for (const auto& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

// --- the journal --------------------------------------------------------------------
// Text header lines, then each record's old image as "rec <recno> <length>\n" and its
// bytes, each added record as "new <length>\n" and its bytes; "end\n" last. A journal without "end" was cut short before the table was
// touched.
constexpr const char* kJournalMagic = "PLANILLA IMPORTACION 1\n";
// The byte the writing station holds while it writes: a journal whose byte can be
// locked belongs to an import that was cut short.
constexpr uint64_t kJournalLiveByte = 0x3000000000000000ull;

struct Journal {
  uint32_t count = 0;  // records before the import: those after it may be its own
  std::vector<std::pair<uint32_t, std::string>> images;
  // The records the import adds: a record past `count` is taken back only when it is
  // one of them (another station may have added its own since).
  std::set<std::string> added;
};

Status writeAll(File& f, const std::string& bytes) {
  PLANILLA_RETURN_IF_ERROR(f.truncate(0));
  PLANILLA_RETURN_IF_ERROR(f.writeAt(0, bytes.data(), bytes.size()));
  return f.sync();
}

Result<Journal> parseJournal(const std::string& text, bool* complete) {
  Journal j;
  *complete = false;
  if (text.compare(0, std::strlen(kJournalMagic), kJournalMagic) != 0) return j;
  size_t pos = std::strlen(kJournalMagic);
  auto line = [&](std::string* out) {
    const size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) return false;
    *out = text.substr(pos, nl - pos);
    pos = nl + 1;
    return true;
  };
  std::string l;
  if (!line(&l) || std::sscanf(l.c_str(), "count %u", &j.count) != 1) return j;
  while (line(&l)) {
    if (l == "end") {
      *complete = true;
      return j;
    }
    unsigned rec = 0;
    size_t len = 0;
    const bool added = std::sscanf(l.c_str(), "new %zu", &len) == 1;
    if ((!added && std::sscanf(l.c_str(), "rec %u %zu", &rec, &len) != 2) || pos + len + 1 > text.size())
      return Status::corrupt("El diario de importacion esta danado");
    if (added)
      j.added.insert(text.substr(pos, len));
    else
      j.images.emplace_back(rec, text.substr(pos, len));
    pos += len + 1;
  }
  return j;
}

// Puts the journal's images back into `t` and marks deleted what the import added.
// Every record is locked first; nothing is put back when one lock is refused.
Status rollBack(Session& s, Table& t, const Journal& j) {
  const uint32_t back = t.recno();
  auto done = [&](Status st) {
    t.unlockAll();
    masters::backTo(t, back);
    return st;
  };
  PLANILLA_RETURN_IF_ERROR(done([&]() -> Status {
    const uint32_t total = t.recordCount();
    for (const auto& [rec, img] : j.images) {
      PLANILLA_RETURN_IF_ERROR(t.go(rec));
      PLANILLA_RETURN_IF_ERROR(t.lockRecord());
    }
    std::vector<uint32_t> ours;
    for (uint32_t r = j.count + 1; r <= total; ++r) {
      PLANILLA_RETURN_IF_ERROR(t.go(r));
      if (t.deleted() || !j.added.count(t.rawRecord())) continue;
      PLANILLA_RETURN_IF_ERROR(t.lockRecord());
      ours.push_back(r);
    }
    for (const auto& [rec, img] : j.images) {
      PLANILLA_RETURN_IF_ERROR(t.go(rec));
      const std::string now = t.rawRecord();
      if (now == img) continue;
      PLANILLA_RETURN_IF_ERROR(t.replaceRaw(img));
      (void)logChange(s, t, 'M', now, img);
    }
    for (uint32_t r : ours) {
      PLANILLA_RETURN_IF_ERROR(t.go(r));
      const std::string now = t.rawRecord();
      PLANILLA_RETURN_IF_ERROR(t.markDeleted());
      (void)logChange(s, t, 'B', now, "");
    }
    return t.flush();
  }()));
  return Status::ok();
}

}  // namespace

std::string importJournalPath(Session& s) { return s.path(s.def(catalog::TableId::IncomeEntries).base + ".imp"); }

ImportPlan checkIncomeImport(Session& s, const std::vector<SheetRow>& rows) {
  ImportPlan plan;
  auto problem = [&](int line, const std::string& code, const std::string& text) {
    plan.problems.push_back({line, trimRight(code), text});
  };
  if (rows.empty()) {
    problem(0, "", "La Hoja Esta Vacia");
    return plan;
  }
  // The header: which column is the code, which are amounts (and of which field).
  const SheetRow& head = rows.front();
  int codeCol = -1;
  std::vector<std::pair<size_t, size_t>> amountCols;  // sheet column -> index in plan.fields
  for (size_t c = 0; c < head.cells.size(); ++c) {
    const std::string shown = trimmed(head.cells[c]);
    const std::string n = normalized(shown);
    if (n.empty()) continue;
    if (codeHeadings().count(n)) {
      if (codeCol >= 0) problem(head.line, "", "La Columna De Codigo Esta Dos Veces");
      codeCol = static_cast<int>(c);
      continue;
    }
    if (nameHeadings().count(n)) continue;
    const InputColumn* col = nullptr;
    for (const auto& ic : inputColumns()) {
      if (std::find(ic.names.begin(), ic.names.end(), n) != ic.names.end()) col = &ic;
    }
    if (!col) {
      problem(head.line, "", "La Columna \"" + shown + "\" No Es Un Dato De Ingreso Del Mes");
      continue;
    }
    if (std::find(plan.fields.begin(), plan.fields.end(), col->field) != plan.fields.end()) {
      problem(head.line, "", "La Columna \"" + shown + "\" Esta Dos Veces");
      continue;
    }
    plan.fields.push_back(col->field);
    plan.headers.push_back(col->heading);
    amountCols.emplace_back(c, plan.fields.size() - 1);
  }
  if (codeCol < 0) problem(head.line, "", "Falta La Columna CODIGO");
  if (plan.fields.empty()) problem(head.line, "", "La Hoja No Tiene Columnas De Importes Del Mes");
  if (codeCol < 0) return plan;

  auto master = readPeople(s, catalog::TableId::EmployeeMaster, true);
  if (!master) {
    problem(0, "", "No Se Pudo Leer El Maestro De Trabajadores: " + master.status().message());
    return plan;
  }
  // The month's active employees when the month has them; else the master's
  // employees that are not terminated.
  std::optional<std::map<std::string, Person>> active;
  if (s.fileExists(s.def(catalog::TableId::ActiveEmployees).dbf())) {
    auto a = readPeople(s, catalog::TableId::ActiveEmployees, false);
    if (!a) {
      problem(0, "", "No Se Pudo Leer Los Empleados Activos Del Mes: " + a.status().message());
      return plan;
    }
    active = std::move(a).value();
  }

  std::map<std::string, int> seen;  // code -> first line
  for (size_t r = 1; r < rows.size(); ++r) {
    const SheetRow& row = rows[r];
    auto cell = [&](size_t c) { return c < row.cells.size() ? trimmed(row.cells[c]) : std::string(); };
    std::string code = cell(static_cast<size_t>(codeCol));
    std::transform(code.begin(), code.end(), code.begin(), [](unsigned char ch) { return std::toupper(ch); });
    // A code a spreadsheet turned into a number ("1001.0") is the number's digits.
    if (code.size() > 2 && code.compare(code.size() - 2, 2, ".0") == 0 &&
        code.find_first_not_of("0123456789") == code.size() - 2)
      code.resize(code.size() - 2);
    const size_t before = plan.problems.size();
    if (code.empty()) {
      problem(row.line, "", "Falta El Codigo Del Trabajador");
      continue;
    }
    if (code.size() > kCodeWidth) {
      problem(row.line, code, "Codigo " + code + " Demasiado Largo");
      continue;
    }
    const std::string key = padTo(code, kCodeWidth);
    auto it = master.value().find(key);
    if (it == master.value().end()) {
      problem(row.line, code, "Codigo Empleado " + code + " No Existe");
    } else if (active ? !active->count(key) : it->second.terminated) {
      problem(row.line, code, "Trabajador " + code + " No Esta Activo En " + s.MES_CIE + " " + s.ANO_CIE);
    }
    auto dup = seen.emplace(key, row.line);
    if (!dup.second) problem(row.line, code, "Codigo " + code + " Repetido (Ya Esta En La Linea " +
                                                 std::to_string(dup.first->second) + ")");
    ImportRow out{row.line, key, it == master.value().end() ? "" : it->second.name, {}};
    out.values.resize(plan.fields.size());
    for (const auto& [c, fi] : amountCols) {
      const std::string text = cell(c);
      if (text.empty()) continue;
      const std::string& heading = plan.headers[fi];
      double v = 0;
      if (!parseAmount(text, &v)) {
        problem(row.line, code, heading + ": \"" + text + "\" No Es Un Numero");
        continue;
      }
      v = round2(v);
      const FieldSpec* f = fieldSpec(s, plan.fields[fi]);
      const double limit = std::pow(10.0, f->width - f->decimals - 1);
      if (v < 0) {
        problem(row.line, code, heading + ": " + amountText(v) + " No Puede Ser Negativo");
      } else if (v >= limit) {
        problem(row.line, code, heading + ": " + amountText(v) + " No Cabe (Maximo " + amountText(limit - 0.01) + ")");
      } else {
        out.values[fi] = v;
      }
    }
    if (plan.problems.size() == before) plan.rows.push_back(std::move(out));
  }
  if (rows.size() == 1) problem(head.line, "", "La Hoja No Tiene Filas De Trabajadores");
  std::stable_sort(plan.problems.begin(), plan.problems.end(),
                   [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
  return plan;
}

std::string describeRow(const ImportPlan& plan, const ImportRow& row, Table& entries) {
  const uint32_t back = entries.recno();
  const bool existing = entries.seek(row.code) && padTo(entries.str("codigo"), kCodeWidth) == row.code;
  masters::backTo(entries, back);
  std::string out = existing ? "Modifica:" : "Nuevo:";
  for (size_t i = 0; i < plan.fields.size(); ++i) {
    if (row.values[i]) out += " " + plan.headers[i] + " " + amountText(*row.values[i]);
  }
  return out;
}

Result<int> applyIncomeImport(Session& s, Table& entries, const ImportPlan& plan) {
  if (!plan.writable()) return Status::invalid("La Hoja Tiene Problemas: No Se Grabo Nada");
  PLANILLA_RETURN_IF_ERROR(recoverIncomeImport(s, entries));
  Table& t = entries;
  const uint32_t back = t.recno();
  masters::selectTable(s, t);

  // 1. Every record to change locked, every new image built, before any write.
  const std::map<std::string, uint32_t> existing = entryRecords(t);
  struct Change {
    uint32_t recno;  // 0: a new record
    std::string before, after;
  };
  std::vector<Change> changes;
  auto release = [&](Status st) -> Status {
    t.unlockAll();
    masters::backTo(t, back);
    return st;
  };
  for (const ImportRow& row : plan.rows) {
    auto it = existing.find(row.code);
    Change c{it == existing.end() ? 0 : it->second, "", ""};
    if (c.recno) {
      if (Status st = t.go(c.recno); !st) return release(st);
      if (Status st = t.lockRecord(); !st) {
        if (st.code() == ErrorCode::Locked)
          return release(Status::locked("Los Ingresos De " + trimRight(row.code) +
                                        " Estan En Uso En Otra Estacion: No Se Grabo Nada"));
        return release(st);
      }
    }
    RecordEdit e = c.recno ? RecordEdit::current(t) : RecordEdit::blank(t);
    c.before = c.recno ? e.bytes() : "";
    if (!c.recno) e.text("codigo", row.code).number("sumini", 0);
    e.text("nombre", row.name);
    for (size_t i = 0; i < plan.fields.size(); ++i) {
      if (row.values[i]) e.number(plan.fields[i], *row.values[i]);
    }
    if (!e.status()) return release(e.status());
    c.after = e.bytes();
    changes.push_back(std::move(c));
  }

  // 2. The journal: the old images, synced before the table is touched.
  const std::string jpath = importJournalPath(s);
  auto opened = s.fs().open(jpath, OpenOptions{.create = true, .mustCreate = true});
  if (!opened) {
    return release(opened.status().code() == ErrorCode::Invalid
                       ? Status::locked("Otra Estacion Esta Importando Los Ingresos Del Mes: No Se Grabo Nada")
                       : opened.status());
  }
  std::unique_ptr<File> journal = std::move(opened).value();
  if (Status st = journal->lock(kJournalLiveByte, 1, LockKind::Exclusive); !st) {
    journal.reset();
    return release(Status::locked("Otra Estacion Esta Importando Los Ingresos Del Mes: No Se Grabo Nada"));
  }
  auto dropJournal = [&] {
    journal.reset();
    (void)s.fs().remove(jpath);
  };
  Journal j;
  j.count = t.recordCount();
  std::string text = kJournalMagic;
  text += "count " + std::to_string(j.count) + "\n";
  for (const Change& c : changes) {
    if (!c.recno) {
      text += "new " + std::to_string(c.after.size()) + "\n" + c.after + "\n";
      j.added.insert(c.after);
      continue;
    }
    text += "rec " + std::to_string(c.recno) + " " + std::to_string(c.before.size()) + "\n" + c.before + "\n";
    j.images.emplace_back(c.recno, c.before);
  }
  text += "end\n";
  if (Status st = writeAll(*journal, text); !st) {
    dropJournal();
    return release(st.withContext("No se pudo escribir el diario de importacion"));
  }

  // 3. The writes; a failure puts back what was written.
  Status st = [&]() -> Status {
    for (const Change& c : changes) {
      if (c.recno) {
        PLANILLA_RETURN_IF_ERROR(t.go(c.recno));
        PLANILLA_RETURN_IF_ERROR(t.replaceRaw(c.after));
        (void)logChange(s, t, 'M', c.before, c.after);
      } else {
        PLANILLA_RETURN_IF_ERROR(t.appendRaw(c.after));
        (void)logChange(s, t, 'A', "", c.after);
      }
    }
    return t.flush();
  }();
  if (!st) {
    // Kept when the old images cannot be put back now: the next import or opening
    // of the screen tries again.
    if (rollBack(s, t, j)) dropJournal();
    return release(st.withContext("No Se Grabo Nada"));
  }
  dropJournal();
  (void)release(Status::ok());
  return static_cast<int>(changes.size());
}

Status recoverIncomeImport(Session& s, Table& entries) {
  const std::string jpath = importJournalPath(s);
  if (!s.fs().exists(jpath)) return Status::ok();
  auto opened = s.fs().open(jpath, OpenOptions{});
  if (!opened) return opened.status();
  std::unique_ptr<File> f = std::move(opened).value();
  if (Status live = f->lock(kJournalLiveByte, 1, LockKind::Exclusive); !live) {
    if (live.code() == ErrorCode::Locked)
      return Status::locked("Otra Estacion Esta Importando Los Ingresos Del Mes");
    return live;
  }
  auto size = f->size();
  if (!size) return size.status();
  std::string text(static_cast<size_t>(size.value()), '\0');
  size_t got = 0;
  PLANILLA_RETURN_IF_ERROR(f->readAt(0, text.data(), text.size(), &got));
  text.resize(got);
  bool complete = false;
  auto j = parseJournal(text, &complete);
  if (!j) return j.status();
  if (complete) {
    masters::selectTable(s, entries);
    PLANILLA_RETURN_IF_ERROR(rollBack(s, entries, j.value()).withContext(
        "No se pudo deshacer una importacion interrumpida"));
  }
  f.reset();
  return s.fs().remove(jpath);
}

}  // namespace planilla::inputs
