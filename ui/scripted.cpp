#include "ui/scripted.h"

#include <cctype>

namespace planilla::ui {

namespace {
const char* kindName(MsgKind k) {
  switch (k) {
    case MsgKind::Stop: return "MSGSTOP";
    case MsgKind::Info: return "MSGINFO";
    case MsgKind::Alert: return "MSGALERT";
    case MsgKind::YesNo: return "MSGYESNO";
    case MsgKind::NoYes: return "MSGNOYES";
  }
  return "?";
}
std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string quoted(const std::string& s) { return "\"" + s + "\""; }
}  // namespace

ScriptedToolkit& ScriptedToolkit::push(Step s) {
  steps_.push_back(std::move(s));
  return *this;
}

ScriptedToolkit& ScriptedToolkit::expectDialog(std::string templateName, std::optional<std::string> title) {
  Step s{Op::Dialog};
  s.text = std::move(templateName);
  s.title = std::move(title);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::expectMessage(MsgKind kind, std::string text, std::optional<std::string> title,
                                                bool answer) {
  Step s{Op::Message};
  s.kind = kind, s.text = std::move(text), s.title = std::move(title), s.flag = answer;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::typeAhead(int browseId, std::string text) {
  Step s{Op::TypeAhead};
  s.id = browseId, s.text = std::move(text);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::sortBy(int browseId, int col0) {
  Step s{Op::SortBy};
  s.id = browseId, s.n = col0;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::expectSaveFile(std::optional<std::string> answer, std::optional<std::string> title) {
  Step s{Op::SaveFile};
  s.flag = answer.has_value();
  s.text = answer.value_or("");
  s.title = std::move(title);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::type(int id, std::string text) {
  Step s{Op::Type};
  s.id = id, s.text = std::move(text);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::keys(int id, std::string text) {
  Step s{Op::Keys};
  s.id = id, s.text = std::move(text);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::leave(int id) {
  Step s{Op::Leave};
  s.id = id;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::press(int id) {
  Step s{Op::Press};
  s.id = id;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::press(std::string caption) {
  Step s{Op::PressCaption};
  s.text = std::move(caption);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::pressBar(int index1) {
  Step s{Op::PressBar};
  s.n = index1;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::click(int imageId) {
  Step s{Op::Click};
  s.id = imageId;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::choose(int comboId, std::string item) {
  Step s{Op::Choose};
  s.id = comboId, s.text = std::move(item);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::chooseIndex(int comboId, int index0) {
  Step s{Op::ChooseIndex};
  s.id = comboId, s.n = index0;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::radio(int id) {
  Step s{Op::Radio};
  s.id = id;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::setCheck(int id, bool on) {
  Step s{Op::Check};
  s.id = id, s.flag = on;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::pick(int browseId, int row1) {
  Step s{Op::Pick};
  s.id = browseId, s.n = row1;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::doubleClick(int browseId, int row1) {
  Step s{Op::DoubleClick};
  s.id = browseId, s.n = row1;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::close() { return push(Step{Op::Close}); }
ScriptedToolkit& ScriptedToolkit::key(int id, Key k) {
  Step s{Op::KeyPress};
  s.id = id, s.key = k;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::alt(char letter) {
  Step s{Op::Alt};
  s.text = std::string(1, letter);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::expectFocus(int id) {
  Step s{Op::ExpectFocus};
  s.id = id;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::expectText(int id, std::string text) {
  Step s{Op::ExpectText};
  s.id = id, s.text = std::move(text);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::inspect(std::function<void(Dialog&)> fn) {
  Step s{Op::Inspect};
  s.fn = std::move(fn);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::menu(std::vector<std::string> path) {
  Step s{Op::Menu};
  s.path = std::move(path);
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::mainBar(int index1) {
  Step s{Op::MainBar};
  s.n = index1;
  return push(std::move(s));
}
ScriptedToolkit& ScriptedToolkit::closeMain() { return push(Step{Op::CloseMain}); }

std::string ScriptedToolkit::describe(const Step& s) {
  switch (s.op) {
    case Op::Dialog: return "dialogo " + quoted(s.text) + (s.title ? " titulo " + quoted(*s.title) : "");
    case Op::Message:
      return std::string(kindName(s.kind)) + " " + quoted(s.text) + (s.title ? " titulo " + quoted(*s.title) : "");
    case Op::Type: return "escribir " + quoted(s.text) + " en " + std::to_string(s.id);
    case Op::Keys: return "teclear " + quoted(s.text) + " en " + std::to_string(s.id);
    case Op::Leave: return "salir de " + std::to_string(s.id);
    case Op::Press: return "pulsar " + std::to_string(s.id);
    case Op::PressCaption: return "pulsar " + quoted(s.text);
    case Op::PressBar: return "pulsar boton de barra " + std::to_string(s.n);
    case Op::Click: return "clic en imagen " + std::to_string(s.id);
    case Op::Choose: return "elegir " + quoted(s.text) + " en " + std::to_string(s.id);
    case Op::ChooseIndex: return "elegir item " + std::to_string(s.n) + " en " + std::to_string(s.id);
    case Op::Radio: return "marcar opcion " + std::to_string(s.id);
    case Op::Check: return "casilla " + std::to_string(s.id);
    case Op::Pick: return "fila " + std::to_string(s.n) + " de la lista " + std::to_string(s.id);
    case Op::DoubleClick: return "doble clic en fila " + std::to_string(s.n) + " de " + std::to_string(s.id);
    case Op::Close: return "cerrar dialogo";
    case Op::KeyPress: {
      static const char* kNames[] = {"Tab", "Mayus+Tab", "Enter", "Insert", "Supr", "F3", "Escape", "F4", "Ctrl+E"};
      return std::string("tecla ") + kNames[static_cast<int>(s.key)] + " en " + std::to_string(s.id);
    }
    case Op::Alt: return "Alt+" + s.text;
    case Op::ExpectFocus: return "foco en " + std::to_string(s.id);
    case Op::ExpectText: return "texto " + quoted(s.text) + " en " + std::to_string(s.id);
    case Op::Inspect: return "comprobacion";
    case Op::TypeAhead: return "buscar tecleando " + quoted(s.text) + " en la lista " + std::to_string(s.id);
    case Op::SortBy: return "ordenar por la columna " + std::to_string(s.n + 1) + " de " + std::to_string(s.id);
    case Op::SaveFile: return "dialogo Guardar" + (s.flag ? " -> " + quoted(s.text) : std::string(" cancelado"));
    case Op::Menu: {
      std::string p;
      for (const auto& x : s.path) p += (p.empty() ? "" : " > ") + x;
      return "menu " + p;
    }
    case Op::MainBar: return "boton " + std::to_string(s.n) + " de la barra principal";
    case Op::CloseMain: return "cerrar ventana principal";
  }
  return "?";
}

void ScriptedToolkit::fail(std::string why) {
  std::string where = openDialogs_.empty() ? std::string() : " [en " + openDialogs_.back() + "]";
  failures_.push_back(why + where);
}

std::string ScriptedToolkit::report() const {
  std::string out;
  for (const auto& f : failures_) out += "FALLO: " + f + "\n";
  for (const auto& s : steps_) out += "PASO NO JUGADO: " + describe(s) + "\n";
  return out;
}

void ScriptedToolkit::reset() {
  steps_.clear();
  dialogs_.clear();
  messages_.clear();
  sounds_.clear();
  work_.clear();
  failures_.clear();
}

std::optional<std::string> ScriptedToolkit::askSaveFile(const std::string& title, const std::string& proposed,
                                                        const std::string& filter) {
  (void)filter;
  saves_.push_back(proposed);
  if (steps_.empty() || steps_.front().op != Op::SaveFile) {
    fail("dialogo Guardar inesperado: " + quoted(proposed) + (steps_.empty() ? "" : " (se esperaba: " + describe(steps_.front()) + ")"));
    return std::nullopt;
  }
  Step s = steps_.front();
  steps_.pop_front();
  if (s.title && *s.title != title) fail("se esperaba " + describe(s) + " titulo " + quoted(*s.title) + ", titulo " + quoted(title));
  if (!s.flag) return std::nullopt;
  return s.text;
}

bool ScriptedToolkit::show(MsgKind kind, const std::string& text, const std::string& title) {
  messages_.push_back({kind, text, title});
  std::string seen = std::string(kindName(kind)) + " " + quoted(text) + " titulo " + quoted(title);
  if (steps_.empty() || steps_.front().op != Op::Message) {
    fail("mensaje inesperado: " + seen + (steps_.empty() ? "" : " (se esperaba: " + describe(steps_.front()) + ")"));
    return !isQuestion(kind);
  }
  Step s = steps_.front();
  steps_.pop_front();
  if (s.kind != kind || s.text != text || (s.title && *s.title != title)) {
    fail("se esperaba " + describe(s) + ", se mostro " + seen);
  }
  return isQuestion(kind) ? s.flag : true;
}

void ScriptedToolkit::runModal(Dialog& dlg) {
  std::string name = dlg.templateName().empty() ? "(sin plantilla)" : dlg.templateName();
  dialogs_.push_back({dlg.templateName(), dlg.title()});
  std::string seen = "dialogo " + quoted(name) + " titulo " + quoted(dlg.title());
  if (steps_.empty() || steps_.front().op != Op::Dialog) {
    fail("dialogo inesperado: " + seen + (steps_.empty() ? "" : " (se esperaba: " + describe(steps_.front()) + ")"));
    dlg.close();
    return;
  }
  Step head = steps_.front();
  steps_.pop_front();
  if (upper(head.text) != upper(dlg.templateName()) || (head.title && *head.title != dlg.title())) {
    fail("se esperaba " + describe(head) + ", se abrio " + seen);
  }
  openDialogs_.push_back(name + " " + quoted(dlg.title()));
  for (const auto& e : dlg.errors()) fail("error de enlace: " + e);
  dlg.focusFirst();
  while (!dlg.ended()) {
    if (steps_.empty()) {
      fail("el dialogo sigue abierto y no quedan pasos");
      dlg.close();
      break;
    }
    Step s = steps_.front();
    steps_.pop_front();
    play(s, dlg);
  }
  openDialogs_.pop_back();
}

Field* ScriptedToolkit::enterField(const Step& s, Dialog& dlg) {
  Field* f = s.id == 0 ? dynamic_cast<Field*>(dlg.focus()) : dlg.fieldById(s.id);
  if (!f) {
    fail("no se puede " + describe(s) + ": no hay tal campo");
    return nullptr;
  }
  if (!f->editable()) {
    fail("no se puede " + describe(s) + ": el campo no admite ingreso");
    return nullptr;
  }
  if (dlg.focus() != f && !dlg.moveFocus(f)) {
    fail("no se puede " + describe(s) + ": la validacion del campo " +
         std::to_string(dlg.focus() ? dlg.focus()->id() : 0) + " retuvo el foco");
    return nullptr;
  }
  return f;
}

void ScriptedToolkit::play(const Step& s, Dialog& dlg) {
  auto cannot = [&](const std::string& why) { fail("no se puede " + describe(s) + ": " + why); };
  switch (s.op) {
    case Op::Dialog:
    case Op::Message:
    case Op::SaveFile:
      fail("no aparecio el " + describe(s) + "; el dialogo esperaba al operador");
      return;
    case Op::TypeAhead:
    case Op::SortBy: {
      auto* b = dynamic_cast<Browse*>(dlg.control(s.id));
      if (!b) return cannot("no hay tal lista");
      if (dlg.focus() != b && !dlg.moveFocus(b)) return cannot("la validacion retuvo el foco");
      if (s.op == Op::SortBy) {
        if (!b->sortBy(static_cast<size_t>(s.n))) cannot("ningun indice ordena por esa columna");
        return;
      }
      b->resetTypeAhead();
      for (char c : s.text) {
        if (!b->typeKey(static_cast<unsigned char>(c))) return cannot("la lista no tiene ese nombre");
      }
      return;
    }
    case Op::Menu:
    case Op::MainBar:
    case Op::CloseMain:
      cannot("hay un dialogo abierto");
      return;
    case Op::Type: {
      Field* f = enterField(s, dlg);
      if (f && !f->type(s.text)) cannot("el texto no cabe en el campo o su mascara");
      return;
    }
    case Op::Keys: {
      Field* f = enterField(s, dlg);
      if (!f) return;
      for (char c : s.text) {
        if (!f->key(static_cast<unsigned char>(c))) {
          cannot("la tecla no entra en el campo");
          return;
        }
      }
      return;
    }
    case Op::Leave: {
      Control* c = s.id == 0 ? dlg.focus() : dlg.control(s.id);
      if (!c) return cannot("no hay tal control");
      if (dlg.focus() != c) return cannot("el foco no esta en ese control");
      dlg.focusNext();  // refusal keeps the focus: the program's answer, not a failure
      return;
    }
    case Op::Press:
    case Op::PressCaption: {
      Button* b = s.op == Op::Press ? dynamic_cast<Button*>(dlg.control(s.id)) : dlg.buttonByCaption(s.text);
      if (!b) return cannot("no hay tal boton");
      if (!b->enabled()) return cannot("el boton esta desactivado");
      b->press();
      return;
    }
    case Op::PressBar: {
      const auto& bar = dlg.barButtons();
      if (s.n < 1 || s.n > static_cast<int>(bar.size())) return cannot("la barra no tiene ese boton");
      bar[static_cast<size_t>(s.n - 1)]->press();
      return;
    }
    case Op::Click: {
      auto* im = dynamic_cast<Image*>(dlg.control(s.id));
      if (!im || !im->clickable()) return cannot("no hay imagen con accion");
      im->click();
      return;
    }
    case Op::Choose:
    case Op::ChooseIndex: {
      auto* c = dynamic_cast<Combo*>(dlg.control(s.id));
      if (!c) return cannot("no hay tal lista desplegable");
      if (dlg.focus() != c && !dlg.moveFocus(c)) return cannot("la validacion retuvo el foco");
      bool done = s.op == Op::Choose ? c->choose(s.text) : c->choose(s.n);
      if (!done) cannot("no existe ese item");
      return;
    }
    case Op::Radio: {
      auto* g = dynamic_cast<RadioGroup*>(dlg.control(s.id));
      if (!g) return cannot("no hay tal opcion");
      if (dlg.focus() != g && !dlg.moveFocus(g)) return cannot("la validacion retuvo el foco");
      if (!g->chooseId(s.id)) cannot("opcion desactivada");
      return;
    }
    case Op::Check: {
      auto* c = dynamic_cast<CheckBox*>(dlg.control(s.id));
      if (!c) return cannot("no hay tal casilla");
      if (dlg.focus() != c && !dlg.moveFocus(c)) return cannot("la validacion retuvo el foco");
      if (!c->set(s.flag)) cannot("casilla desactivada");
      return;
    }
    case Op::Pick:
    case Op::DoubleClick: {
      auto* b = dynamic_cast<Browse*>(dlg.control(s.id));
      if (!b) return cannot("no hay tal lista");
      if (dlg.focus() != b && !dlg.moveFocus(b)) return cannot("la validacion retuvo el foco");
      bool done = s.op == Op::Pick ? b->pick(s.n - 1) : b->doubleClick(s.n - 1);
      if (!done) cannot("la lista no tiene esa fila");
      return;
    }
    case Op::Close:
      dlg.close();
      return;
    case Op::KeyPress: {
      if (s.id != 0) {
        Control* c = dlg.control(s.id);
        if (!c) return cannot("no hay tal control");
        if (dlg.focus() != c && !dlg.moveFocus(c)) return cannot("la validacion retuvo el foco");
      }
      dlg.keyPress(s.key);  // what the key does (or refuses) is the program's answer
      return;
    }
    case Op::Alt:
      if (!dlg.pressMnemonic(s.text[0])) cannot("ningun boton tiene esa tecla");
      return;
    case Op::ExpectFocus: {
      int at = dlg.focus() ? dlg.focus()->id() : 0;
      if (at != s.id) fail("se esperaba el foco en " + std::to_string(s.id) + ", esta en " + std::to_string(at));
      return;
    }
    case Op::ExpectText: {
      Control* c = dlg.control(s.id);
      std::string got;
      if (auto* f = dynamic_cast<Field*>(c)) got = f->text();
      else if (auto* l = dynamic_cast<Label*>(c)) got = l->shown();
      else if (c) got = c->caption();
      else return cannot("no hay tal control");
      if (got != s.text) fail("se esperaba el texto " + quoted(s.text) + " en " + std::to_string(s.id) + ", hay " + quoted(got));
      return;
    }
    case Op::Inspect:
      if (s.fn) s.fn(dlg);
      return;
  }
}

void ScriptedToolkit::runMain(MainWindow& w) {
  openDialogs_.push_back("ventana principal");
  while (!w.closed()) {
    if (steps_.empty()) {
      fail("la ventana principal sigue abierta y no quedan pasos");
      w.close();
      break;
    }
    Step s = steps_.front();
    steps_.pop_front();
    switch (s.op) {
      case Op::Menu:
        if (!w.choose(s.path)) fail("no se puede " + describe(s) + ": no hay tal opcion");
        break;
      case Op::MainBar:
        if (!w.pressBar(s.n - 1)) fail("no se puede " + describe(s) + ": no hay tal boton");
        break;
      case Op::CloseMain:
        w.close();
        break;
      default:
        fail("no se puede " + describe(s) + " en la ventana principal");
        break;
    }
  }
  openDialogs_.pop_back();
}

}  // namespace planilla::ui
