#include "ui/dialogs.h"

#include <algorithm>

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

}  // namespace planilla::ui
