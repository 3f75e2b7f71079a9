// The administration screens as menu entries, for the application shell: the
// institution master, users and access, accounting parameters and the utilities of the
// tools menu, each by the function name the menu table gives.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::admin {

struct ScreenEntry {
  std::string function;  // "F_I00002", "F_102PLAREIN(11)" ...
  std::function<void(Session&, ui::Toolkit&)> run;
};

const std::vector<ScreenEntry>& adminScreens();
// The entry of a function name; nullptr when there is none.
const ScreenEntry* findScreen(const std::string& function);

}  // namespace planilla::admin
