#include "inputs/sheet_reader.h"

#ifdef PLANILLA_HAVE_XLSX_READER
#include <expat.h>
#include <zip.h>
#endif

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "ui/text1252.h"

namespace planilla::inputs {

namespace {

// Larger files are not a month's inputs; the limit also keeps a damaged or hostile
// package from filling the memory.
constexpr size_t kMaxBytes = 64u << 20;

bool validUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (n == 9 || i + n >= s.size() + (n == 0)) return false;
    for (size_t k = 1; k <= n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += n + 1;
  }
  return true;
}

bool blankRow(const std::vector<std::string>& cells) {
  return std::all_of(cells.begin(), cells.end(), [](const std::string& c) {
    return c.find_first_not_of(" \t") == std::string::npos;
  });
}

// The separator a spreadsheet chose: the most frequent of ';', ',' and tab outside
// quotes on the first line (a Spanish spreadsheet writes ';' because ',' is its
// decimal mark); ',' when the line has none.
char guessSeparator(const std::string& text) {
  int semi = 0, comma = 0, tab = 0;
  bool quoted = false;
  for (char ch : text) {
    if (ch == '"') quoted = !quoted;
    if (quoted) continue;
    if (ch == '\n') break;
    semi += ch == ';';
    comma += ch == ',';
    tab += ch == '\t';
  }
  if (semi >= comma && semi >= tab && semi > 0) return ';';
  if (tab > comma) return '\t';
  return ',';
}

// --- xlsx -------------------------------------------------------------------------------
#ifdef PLANILLA_HAVE_XLSX_READER

Result<std::string> zipEntry(zip_t* z, const std::string& name) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat(z, name.c_str(), ZIP_FL_NOCASE, &st) != 0)
    return Status::notFound("El libro no tiene la parte " + name);
  if ((st.valid & ZIP_STAT_SIZE) == 0 || st.size > kMaxBytes)
    return Status::invalid("La parte " + name + " del libro es demasiado grande");
  zip_file_t* f = zip_fopen_index(z, st.index, 0);
  if (!f) return Status::corrupt("No se pudo leer la parte " + name + " del libro");
  std::string out(static_cast<size_t>(st.size), '\0');
  zip_int64_t got = out.empty() ? 0 : zip_fread(f, out.data(), out.size());
  zip_fclose(f);
  if (got < 0 || static_cast<zip_uint64_t>(got) != st.size)
    return Status::corrupt("La parte " + name + " del libro esta danada");
  return out;
}

// The local name of an element or attribute ("x:c" -> "c").
std::string_view local(const XML_Char* name) {
  std::string_view n(name);
  const size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const XML_Char* attr(const XML_Char** atts, std::string_view name, bool byLocalName = true) {
  for (int i = 0; atts[i]; i += 2) {
    if (byLocalName ? local(atts[i]) == name : std::string_view(atts[i]) == name) return atts[i + 1];
  }
  return nullptr;
}

// Runs expat over `xml` with a handler object that has start(name, atts), end(name)
// and text(chars) members.
template <class H>
Status parseXml(const std::string& xml, H& h, const std::string& part) {
  XML_Parser p = XML_ParserCreate("UTF-8");
  XML_SetUserData(p, &h);
  XML_SetElementHandler(
      p, [](void* u, const XML_Char* n, const XML_Char** a) { static_cast<H*>(u)->start(local(n), a); },
      [](void* u, const XML_Char* n) { static_cast<H*>(u)->end(local(n)); });
  XML_SetCharacterDataHandler(p, [](void* u, const XML_Char* s, int len) {
    static_cast<H*>(u)->text(std::string_view(s, static_cast<size_t>(len)));
  });
  const bool ok = XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
  std::string why = ok ? "" : XML_ErrorString(XML_GetErrorCode(p));
  XML_ParserFree(p);
  if (!ok) return Status::corrupt("La parte " + part + " del libro no se puede leer (" + why + ")");
  return Status::ok();
}

// xl/workbook.xml: the relation id of the first sheet.
struct WorkbookHandler {
  std::string firstSheetRel;
  void start(std::string_view n, const XML_Char** a) {
    if (n != "sheet" || !firstSheetRel.empty()) return;
    for (int i = 0; a[i]; i += 2) {
      std::string_view an(a[i]);
      if (an.size() > 3 && an.substr(an.size() - 3) == ":id") firstSheetRel = a[i + 1];
    }
  }
  void end(std::string_view) {}
  void text(std::string_view) {}
};

struct RelsHandler {
  std::map<std::string, std::string> targets;
  void start(std::string_view n, const XML_Char** a) {
    if (n != "Relationship") return;
    const XML_Char* id = attr(a, "Id", false);
    const XML_Char* target = attr(a, "Target", false);
    if (id && target) targets[id] = target;
  }
  void end(std::string_view) {}
  void text(std::string_view) {}
};

// xl/sharedStrings.xml: each <si>'s text, its runs joined, phonetic guides left out.
struct SharedStringsHandler {
  std::vector<std::string> strings;
  std::string cur;
  bool inT = false;
  int phonetic = 0;
  void start(std::string_view n, const XML_Char**) {
    if (n == "si") cur.clear();
    if (n == "rPh") ++phonetic;
    if (n == "t" && phonetic == 0) inT = true;
  }
  void end(std::string_view n) {
    if (n == "t") inT = false;
    if (n == "rPh") --phonetic;
    if (n == "si") strings.push_back(cur);
  }
  void text(std::string_view s) {
    if (inT) cur += s;
  }
};

// The column of a reference ("C7" -> 2); -1 when it has no letters.
int columnOf(const char* ref) {
  int col = 0;
  bool any = false;
  for (; *ref >= 'A' && *ref <= 'Z'; ++ref) {
    col = col * 26 + (*ref - 'A' + 1);
    any = true;
    if (col > 16384) return -1;
  }
  return any ? col - 1 : -1;
}

struct SheetHandler {
  const std::vector<std::string>* shared = nullptr;
  std::vector<SheetRow> rows;
  SheetRow row;
  bool inRow = false;
  int nextRow = 1;
  std::string type, value;
  int col = 0, nextCol = 0;
  bool inValue = false, inCell = false;
  Status problem;

  void start(std::string_view n, const XML_Char** a) {
    if (n == "row") {
      const XML_Char* r = attr(a, "r");
      row = SheetRow{r ? std::atoi(r) : nextRow, {}};
      nextRow = row.line + 1;
      nextCol = 0;
      inRow = true;
    } else if (n == "c" && inRow) {
      const XML_Char* t = attr(a, "t");
      const XML_Char* r = attr(a, "r");
      type = t ? t : "n";
      const int c = r ? columnOf(r) : nextCol;
      col = c < 0 ? nextCol : c;
      nextCol = col + 1;
      value.clear();
      inCell = true;
    } else if ((n == "v" || n == "t") && inCell) {
      inValue = true;
    }
  }
  void end(std::string_view n) {
    if (n == "v" || n == "t") {
      inValue = false;
    } else if (n == "c" && inCell) {
      inCell = false;
      std::string cell = value;
      if (type == "s") {
        char* endp = nullptr;
        const long i = std::strtol(value.c_str(), &endp, 10);
        if (endp == value.c_str() || i < 0 || static_cast<size_t>(i) >= shared->size()) {
          if (problem) problem = Status::corrupt("El libro cita un texto compartido que no tiene");
          return;
        }
        cell = (*shared)[static_cast<size_t>(i)];
      }
      if (row.cells.size() <= static_cast<size_t>(col)) row.cells.resize(static_cast<size_t>(col) + 1);
      row.cells[static_cast<size_t>(col)] = ui::utf8To1252(cell);
    } else if (n == "row" && inRow) {
      inRow = false;
      if (!blankRow(row.cells)) rows.push_back(std::move(row));
    }
  }
  void text(std::string_view s) {
    if (inValue) value += s;
  }
};

Result<std::vector<SheetRow>> readXlsx(const std::string& path) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!z) return Status::invalid("El archivo " + path + " no es un libro .xlsx (no se pudo abrir como paquete)");
  struct Closer {
    zip_t* z;
    ~Closer() { zip_discard(z); }
  } closer{z};

  std::string sheetPart = "xl/worksheets/sheet1.xml";
  if (auto wb = zipEntry(z, "xl/workbook.xml")) {
    WorkbookHandler wh;
    PLANILLA_RETURN_IF_ERROR(parseXml(wb.value(), wh, "xl/workbook.xml"));
    auto rels = zipEntry(z, "xl/_rels/workbook.xml.rels");
    if (rels && !wh.firstSheetRel.empty()) {
      RelsHandler rh;
      PLANILLA_RETURN_IF_ERROR(parseXml(rels.value(), rh, "xl/_rels/workbook.xml.rels"));
      auto it = rh.targets.find(wh.firstSheetRel);
      if (it != rh.targets.end()) sheetPart = it->second[0] == '/' ? it->second.substr(1) : "xl/" + it->second;
    }
  } else {
    return Status::invalid("El archivo " + path + " no es un libro .xlsx");
  }
  SharedStringsHandler sh;
  if (auto ss = zipEntry(z, "xl/sharedStrings.xml")) PLANILLA_RETURN_IF_ERROR(parseXml(ss.value(), sh, "xl/sharedStrings.xml"));
  auto sheet = zipEntry(z, sheetPart);
  if (!sheet) return sheet.status();
  SheetHandler h;
  h.shared = &sh.strings;
  PLANILLA_RETURN_IF_ERROR(parseXml(sheet.value(), h, sheetPart));
  PLANILLA_RETURN_IF_ERROR(h.problem);
  return std::move(h.rows);
}
#else
Result<std::vector<SheetRow>> readXlsx(const std::string& path) {
  return Status::unsupported("Esta instalacion no lee libros .xlsx: guarde " + path + " como CSV");
}
#endif

}  // namespace

std::vector<SheetRow> parseCsv(const std::string& raw) {
  std::string text = raw;
  bool utf8 = false;
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.erase(0, 3);
    utf8 = true;
  } else {
    // Without the mark: UTF-8 when the bytes are valid UTF-8 and use it (plain ASCII
    // reads the same either way), Windows-1252 otherwise.
    utf8 = validUtf8(text) && std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
  }
  if (utf8) text = ui::utf8To1252(text);
  const char sep = guessSeparator(text);

  std::vector<SheetRow> rows;
  SheetRow row{1, {}};
  std::string cell;
  bool quoted = false;
  int line = 1;
  auto endCell = [&] {
    row.cells.push_back(cell);
    cell.clear();
  };
  auto endRow = [&] {
    endCell();
    if (!blankRow(row.cells)) rows.push_back(std::move(row));
    row = SheetRow{line, {}};
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (ch == '"') {
        quoted = false;
      } else {
        if (ch == '\n') ++line;
        if (ch != '\r') cell += ch;
      }
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == sep) {
      endCell();
    } else if (ch == '\n') {
      ++line;
      endRow();
    } else if (ch != '\r') {
      cell += ch;
    }
  }
  if (!cell.empty() || !row.cells.empty()) endRow();
  return rows;
}

Result<std::vector<SheetRow>> readSheet(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower.size() >= 5 && lower.compare(lower.size() - 5, 5, ".xlsx") == 0) return readXlsx(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::notFound("No se pudo abrir el archivo " + path);
  in.seekg(0, std::ios::end);
  const auto size = static_cast<size_t>(in.tellg());
  if (size > kMaxBytes) return Status::invalid("El archivo " + path + " es demasiado grande");
  in.seekg(0);
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return Status::ioError("No se pudo leer " + path);
  // A workbook saved with another name is not read as text.
  if (bytes.compare(0, 2, "PK") == 0) return readXlsx(path);
  return parseCsv(bytes);
}

}  // namespace planilla::inputs
