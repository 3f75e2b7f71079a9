#include "admin/screens.h"

#include "admin/institutions.h"
#include "admin/parameters.h"
#include "admin/users.h"
#include "admin/utilities.h"

namespace planilla::admin {

const std::vector<ScreenEntry>& adminScreens() {
  static const std::vector<ScreenEntry> k = [] {
    std::vector<ScreenEntry> v = {
        {"F_I00002", [](Session& s, ui::Toolkit& tk) { F_I00002(s, tk); }},
        {"F_CLAVE01", [](Session& s, ui::Toolkit& tk) { F_CLAVE01(s, tk); }},
        {"F_VJLG99", [](Session& s, ui::Toolkit& tk) { F_VJLG99(s, tk); }},
        {"F_105REIN(5)", [](Session& s, ui::Toolkit& tk) { F_105REIN(s, tk, 5); }},
        {"F_109REIN(1)", [](Session& s, ui::Toolkit& tk) { F_109REIN(s, tk, 1); }},
        {"F_P888", [](Session& s, ui::Toolkit& tk) { F_P888(s, tk); }},
        {"F_MAESEMPLEADATA", [](Session& s, ui::Toolkit& tk) { F_MAESEMPLEADATA(s, tk); }},
    };
    for (const auto& e : reindexSelectors()) {
      const int n = e.n;
      v.push_back({"F_102PLAREIN(" + std::to_string(n) + ")",
                   [n](Session& s, ui::Toolkit& tk) { F_102PLAREIN(s, tk, n); }});
    }
    return v;
  }();
  return k;
}

const ScreenEntry* findScreen(const std::string& function) {
  for (const auto& e : adminScreens())
    if (e.function == function) return &e;
  return nullptr;
}

}  // namespace planilla::admin
