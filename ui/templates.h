// Dialog templates as data. Every template the screens open is a text file under
// ui/templates/ (format in ui/templates/README.md); the build embeds the files in the
// program, so the templates travel with the executable and need no folder at run time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/status.h"

namespace planilla::ui {

enum class ControlClass { Label, Edit, Button, Group, ListBox, ComboBox, Radio, CheckBox, Image };

// "label", "edit", ... as written in template files; nullptr for an unknown class.
const char* controlClassName(ControlClass c);

struct TemplateControl {
  int id = 65535;  // 65535: a label the code never addresses
  ControlClass cls = ControlClass::Label;
  std::string text;  // caption (Windows-1252); empty for edit fields
  int x = 0, y = 0, w = 0, h = 0;  // dialog units
};

struct DialogTemplate {
  std::string name;   // upper case as stored
  std::string title;  // usually empty: the screen passes its title
  int width = 0, height = 0;  // dialog units
  std::vector<TemplateControl> controls;  // in tab order

  // First control with that identifier; nullptr when absent.
  const TemplateControl* find(int id) const;
};

// Parses one template file (UTF-8 text). Errors name the line.
Result<DialogTemplate> parseTemplate(std::string_view text);

// The embedded templates. `name` is matched without regard to case; nullptr when the
// program has no template of that name.
const DialogTemplate* findTemplate(std::string_view name);
// Names of all embedded templates, in alphabetical order.
std::vector<std::string> templateNames();

}  // namespace planilla::ui
