#include "ui/dialogs.h"

#include "ui/text1252.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace planilla::ui {

namespace {

// Builds and runs the input box over an accessor to the caller's copy.
bool runInputBox(Toolkit& tk, const std::string& title, const std::string& prompt, Accessor copy,
                 const std::string& image, const std::string& picture) {
  Dialog dlg(tk, 10, 20, 18, 59.5, title);
  double col = 1;
  if (!image.empty()) {
    dlg.imageAt(0.4, 1, image, 24, 24);
    col = 8;
  }
  dlg.labelAt(0.4, col, prompt, 120, 10);
  Field& f = dlg.fieldAt(1.4, col, std::move(copy), 120, 12);
  if (!picture.empty()) f.picture(picture);
  bool ok = false;
  // The Spanish captions are wider than "Ok"/"Cancel": 42 units each, side by side in
  // the middle of the box.
  dlg.buttonAt(3, 9, "&Aceptar", 42, 12, [&] {
     ok = true;
     dlg.end();
   }).defaultButton();
  dlg.buttonAt(3, 20, "&Cancelar", 42, 12, [&] { dlg.end(); }).cancel();
  dlg.activate();
  return ok;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

}  // namespace

bool MSGGET(Toolkit& tk, const std::string& title, const std::string& prompt, std::string& var,
            const std::string& image, const std::string& picture) {
  std::string copy = var;
  if (!runInputBox(tk, title, prompt, ref(copy), image, picture)) return false;
  var = copy;
  return true;
}

bool MSGGET(Toolkit& tk, const std::string& title, const std::string& prompt, double& var,
            const std::string& image, const std::string& picture) {
  double copy = var;
  if (!runInputBox(tk, title, prompt, ref(copy), image, picture)) return false;
  var = copy;
  return true;
}

bool MSGGET(Toolkit& tk, const std::string& title, const std::string& prompt, Date& var,
            const std::string& image, const std::string& picture) {
  Date copy = var;
  if (!runInputBox(tk, title, prompt, ref(copy), image, picture)) return false;
  var = copy;
  return true;
}

void KAPTURAKEY(int key, Dialog& dlg, Browse& list, Field& field) {
  if (key < 32 || key > 255) return;
  std::string text = trim(field.text());
  text += static_cast<char>(key);
  if (list.filtered()) {
    // A list of some records only: the typed name is looked for among its rows.
    (void)list.findName(text);
    (void)dlg;
    return;
  }
  Table& t = list.table();
  uint32_t rec = t.recno();
  bool eof = t.eof();
  if (t.seek(text)) {
    list.stabilize();
    list.refresh();
  } else if (eof) {
    (void)t.goBottom();
    if (!t.eof()) (void)t.skip(1);
  } else {
    (void)t.go(rec);
  }
  (void)dlg;
}

bool lookupList(Toolkit& tk, Table& table, const LookupOptions& o, std::string* code) {
  Dialog dlg(tk, o.top, o.left, o.bottom, o.right, o.title);
  std::string search(static_cast<size_t>(std::max(o.searchWidth, 1)), ' ');
  Field* field = nullptr;
  if (o.searchWidth > 0) {
    field = &dlg.fieldAt(1, 6, ref(search), std::min(o.searchWidth * 4.0 + 8, (o.right - o.left - 7) * kColUnits), 12);
    field->picture("@!");
  }
  Browse& list = dlg.browseAt(o.listRow, o.listCol, o.listWidth, o.listHeight, table);
  list.headers(o.headers).widths(o.widths).columnMoving(false).wholeRowCursor(true);
  if (o.filter) {
    list.filter(o.filter);
    // The list starts on its first row, not on a record it leaves out.
    if (list.rowCount() > 0) (void)list.pick(0);
  }
  if (o.line) {
    list.line(o.line);
  } else {
    std::string cf = o.codeField, nf = o.nameField;
    list.line([&table, cf, nf] { return std::vector<std::string>{table.str(cf), table.str(nf)}; });
  }
  if (field) {
    Field* f = field;
    field->onKey([&dlg, &list, f](int key) { KAPTURAKEY(key, dlg, list, *f); });
  }
  bool chosen = false;
  list.onDoubleClick([&] {
    chosen = true;
    dlg.end();
  });
  // The buttons go below the list even where the text rows would overlap it.
  double listBottom = o.listRow * kRowUnits + o.listHeight;
  double row = std::max(o.buttonRow, (listBottom + 5) / kRowUnits);
  dlg.buttonAt(row, o.selectCol, "&Selecciona", 40, 12, [&] {
       if (table.eof()) return;  // empty list: nothing to choose
       if (code) *code = table.str(o.codeField);
       chosen = true;
       dlg.end();
     })
      .defaultButton()
      .cancel(true);
  dlg.buttonAt(row, o.cancelCol, "&Cancela", 40, 12, [&] { dlg.end(); });
  list.stabilize();
  dlg.activate();
  return chosen;
}

namespace {
// "12345.67", "-1,234.5" as a number with its decimals; nullopt for anything else.
std::optional<std::pair<double, int>> shownNumber(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c != ',' && c != ' ') digits += c;
  }
  if (digits.empty() || digits == "-" || digits == ".") return std::nullopt;
  size_t i = digits[0] == '-' ? 1 : 0;
  int dots = 0;
  for (; i < digits.size(); ++i) {
    if (digits[i] == '.') ++dots;
    else if (digits[i] < '0' || digits[i] > '9') return std::nullopt;
  }
  if (dots > 1) return std::nullopt;
  size_t dot = digits.find('.');
  int decimals = dot == std::string::npos ? 0 : static_cast<int>(digits.size() - dot - 1);
  return std::make_pair(std::strtod(digits.c_str(), nullptr), decimals);
}

ListCell cellOf(const std::string& shown, bool right) {
  ListCell c;
  c.text = trim(shown);
  if (right) {
    if (auto n = shownNumber(c.text)) {
      c.kind = ListCell::Kind::Number;
      c.number = n->first;
      c.decimals = n->second;
      return c;
    }
  }
  if (c.text.size() == 10 && c.text[2] == '/' && c.text[5] == '/') {
    bool ok = false;
    Date d = Date::fromDmy(c.text, &ok);
    if (ok && d.valid()) {
      c.kind = ListCell::Kind::Day;
      c.day = d;
      return c;
    }
  }
  if (c.text == "/  /") c.text.clear();  // an empty date
  if (!right) {
    // Text keeps its leading blanks (indented lines), only the padding goes.
    size_t e = shown.find_last_not_of(' ');
    c.text = e == std::string::npos ? std::string() : shown.substr(0, e + 1);
    if (trim(c.text) == "/  /") c.text.clear();
  }
  return c;
}
}  // namespace

ListSheet listSheet(Browse& list) {
  ListSheet out;
  out.title = list.dialog().title();
  out.headers = list.headerTexts();
  out.widths = list.columnWidths();
  const size_t n = list.columnCount();
  const int rows = list.rowCount();
  for (int r = 0; rows > 0; ++r) {
    const std::vector<std::string> line = list.row(r);  // a copy: the window cache moves on
    if (line.empty()) break;
    std::vector<ListCell> cells;
    for (size_t c = 0; c < n; ++c) cells.push_back(c < line.size() ? cellOf(line[c], list.align(c) == Browse::Align::Right) : ListCell{});
    out.rows.push_back(std::move(cells));
  }
  const auto& totals = list.totalsLine();
  for (size_t c = 0; c < totals.size(); ++c) out.totals.push_back(cellOf(totals[c], list.align(c) == Browse::Align::Right));
  return out;
}

std::string fileNameOf(std::string_view title) {
  std::string out;
  bool gap = false;
  for (unsigned char c : title) {
    char32_t u = cp1252ToUnicode(c);
    // Accented Latin letters as their plain letter (enough for Spanish titles).
    static const std::pair<const char*, char> kPlain[] = {{"\xe1\xc1", 'a'}, {"\xe9\xc9", 'e'}, {"\xed\xcd", 'i'},
                                                          {"\xf3\xd3", 'o'}, {"\xfa\xda\xfc\xdc", 'u'}, {"\xf1\xd1", 'n'}};
    char plain = 0;
    if (u < 128 && std::isalnum(static_cast<int>(u))) plain = static_cast<char>(std::tolower(static_cast<int>(u)));
    for (const auto& [set, to] : kPlain) {
      if (std::string_view(set).find(static_cast<char>(c)) != std::string_view::npos) plain = to;
    }
    if (plain) {
      if (gap && !out.empty()) out += '_';
      out += plain;
      gap = false;
    } else {
      gap = true;
    }
  }
  return out.empty() ? std::string("lista") : out;
}

bool exportList(Toolkit& tk, Browse& list) {
  const std::string title = "Exportar A Hoja De Calculo";
  if (!tk.sheetWriter()) {
    MSGSTOP(tk, "Esta Estacion No Puede Escribir Hojas De Calculo", title);
    return false;
  }
  std::string name = list.exportBaseName().empty() ? fileNameOf(list.dialog().title()) : list.exportBaseName();
  std::string dir = tk.dataDir().empty() ? std::string(".") : tk.dataDir();
  auto path = tk.askSaveFile(title, dir + "/" + name + ".xlsx", "Hoja De Calculo (*.xlsx)");
  if (!path || path->empty()) return false;
  std::string target = *path;
  if (target.size() < 5 || target.compare(target.size() - 5, 5, ".xlsx") != 0) target += ".xlsx";
  ListSheet sheet;
  {
    Busy busy(tk, title, list.dialog().title(), 0);
    sheet = listSheet(list);
  }
  std::string error = tk.sheetWriter()(sheet, target);
  if (!error.empty()) {
    MSGSTOP(tk, error, title);
    return false;
  }
  MSGINFO(tk, "Lista Grabada En " + target + " (" + std::to_string(sheet.rows.size()) + " Filas)", title);
  return true;
}

}  // namespace planilla::ui
