#include "inputs/screens.h"

#include "inputs/cts.h"
#include "inputs/gratification_roll.h"
#include "inputs/income_entries.h"
#include "inputs/result_editors.h"
#include "inputs/vacations.h"

namespace planilla::inputs {

const std::vector<ScreenEntry>& inputScreens() {
  static const std::vector<ScreenEntry> k = {
      {"F_PFMR201", F_PFMR201}, {"F_PFMR202", F_PFMR202}, {"F_PFMR203", F_PFMR203},
      {"F_CTS", F_CTS},         {"F_SUELDOS", F_SUELDOS}, {"F_GRATIFI", F_GRATIFI},
  };
  return k;
}

const ScreenEntry* findScreen(const std::string& function) {
  for (const auto& e : inputScreens()) {
    if (e.function == function) return &e;
  }
  return nullptr;
}

}  // namespace planilla::inputs
