// The month's input screens and the result editors as menu entries, for the
// application shell: one function per entry, each taking the session and the toolkit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::inputs {

struct ScreenEntry {
  std::string function;  // "F_PFMR201", "F_CTS" ...
  std::function<void(Session&, ui::Toolkit&)> run;
};

// F_PFMR201 income entries, F_PFMR202 vacations, F_PFMR203 gratification roll, F_CTS
// CTS data, F_SUELDOS payroll results, F_GRATIFI gratification results.
const std::vector<ScreenEntry>& inputScreens();
// The entry of a function name; nullptr when there is none.
const ScreenEntry* findScreen(const std::string& function);

}  // namespace planilla::inputs
