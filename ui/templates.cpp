#include "ui/templates.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "ui/text1252.h"

namespace planilla::ui {

// Generated at build time from ui/templates/*.dlg: a null-terminated list of file texts.
extern const char* const kEmbeddedTemplates[];

namespace {

struct ClassName {
  ControlClass cls;
  const char* name;
};
constexpr ClassName kClasses[] = {
    {ControlClass::Label, "label"},       {ControlClass::Edit, "edit"},
    {ControlClass::Button, "button"},     {ControlClass::Group, "group"},
    {ControlClass::ListBox, "listbox"},   {ControlClass::ComboBox, "combobox"},
    {ControlClass::Radio, "radio"},       {ControlClass::CheckBox, "checkbox"},
    {ControlClass::Image, "image"},
};

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Splits a line into words; a double-quoted word may hold blanks, \" and \\.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::vector<bool>& quoted) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    if (line[i] == '#') break;  // comment to the end of the line
    std::string w;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '\\' && i < line.size()) {
          w += line[i++];
        } else if (c == '"') {
          closed = true;
          break;
        } else {
          w += c;
        }
      }
      if (!closed) return false;
      words.push_back(w);
      quoted.push_back(true);
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w += line[i++];
      words.push_back(w);
      quoted.push_back(false);
    }
  }
  return true;
}

bool toInt(const std::string& s, int& out) {
  if (s.empty() || s.size() > 6) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

}  // namespace

const char* controlClassName(ControlClass c) {
  for (const auto& k : kClasses) {
    if (k.cls == c) return k.name;
  }
  return nullptr;
}

const TemplateControl* DialogTemplate::find(int id) const {
  for (const auto& c : controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

Result<DialogTemplate> parseTemplate(std::string_view text) {
  DialogTemplate t;
  bool haveDialog = false;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
    ++lineNo;
    std::vector<std::string> w;
    std::vector<bool> q;
    auto bad = [&](const std::string& why) {
      return Status::corrupt("plantilla, linea " + std::to_string(lineNo) + ": " + why);
    };
    if (!splitWords(line, w, q)) return bad("comillas sin cerrar");
    if (w.empty()) continue;
    std::string head = upperAscii(w[0]);
    if (head == "DIALOG" && !q[0]) {
      if (haveDialog) return bad("segunda linea dialog");
      if (w.size() != 4 || !toInt(w[2], t.width) || !toInt(w[3], t.height) || t.width == 0 || t.height == 0) {
        return bad("se espera: dialog NOMBRE ANCHO ALTO");
      }
      t.name = upperAscii(w[1]);
      haveDialog = true;
      continue;
    }
    if (!haveDialog) return bad("falta la linea dialog");
    if (head == "TITLE" && !q[0]) {
      if (w.size() != 2) return bad("se espera: title \"texto\"");
      t.title = utf8To1252(w[1]);
      continue;
    }
    TemplateControl c;
    if (w.size() < 6 || w.size() > 7) return bad("se espera: ID CLASE X Y ANCHO ALTO [\"texto\"]");
    if (!toInt(w[0], c.id) || c.id > 65535) return bad("identificador no valido: " + w[0]);
    bool known = false;
    for (const auto& k : kClasses) {
      if (upperAscii(w[1]) == upperAscii(k.name)) c.cls = k.cls, known = true;
    }
    if (!known) return bad("clase desconocida: " + w[1]);
    if (!toInt(w[2], c.x) || !toInt(w[3], c.y) || !toInt(w[4], c.w) || !toInt(w[5], c.h)) {
      return bad("posicion o tamano no valido");
    }
    if (c.x + c.w > t.width || c.y + c.h > t.height) return bad("el control sale del dialogo");
    if (w.size() == 7) {
      if (!q[6]) return bad("el texto va entre comillas");
      c.text = utf8To1252(w[6]);
    }
    t.controls.push_back(std::move(c));
  }
  if (!haveDialog) return Status::corrupt("plantilla vacia");
  return t;
}

namespace {
const std::map<std::string, DialogTemplate>& registry() {
  static const std::map<std::string, DialogTemplate> reg = [] {
    std::map<std::string, DialogTemplate> m;
    for (const char* const* p = kEmbeddedTemplates; *p; ++p) {
      auto r = parseTemplate(*p);
      if (r) m.emplace(r->name, std::move(r.value()));
      // A broken file is reported by the template tests; the screen that asks for it
      // then gets "template missing" from findTemplate.
    }
    return m;
  }();
  return reg;
}
}  // namespace

const DialogTemplate* findTemplate(std::string_view name) {
  const auto& reg = registry();
  auto it = reg.find(upperAscii(name));
  return it == reg.end() ? nullptr : &it->second;
}

std::vector<std::string> templateNames() {
  std::vector<std::string> names;
  for (const auto& [k, v] : registry()) names.push_back(k);
  return names;
}

}  // namespace planilla::ui
