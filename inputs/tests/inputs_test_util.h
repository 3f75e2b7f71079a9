// Helpers of the input-screen tests: the stations and table access of the master-screen
// tests, a general master of three employees, and the list of an open screen.
#pragma once

#include "masters/tests/masters_test_util.h"
#include "ui/text1252.h"
#include "ui/toolkit.h"

namespace planilla::inputs::testing {

using masters::testing::readAll;
using masters::testing::seed;
using masters::testing::Station;
using masters::testing::Stored;
using masters::testing::TempDir;

// E001 PEREZ, E002 ALVA, E003 QUISPE (name order ALVA, PEREZ, QUISPE).
inline void seedMaster(const std::string& dir, Station& st,
                       const std::vector<std::map<std::string, std::string>>& extra = {}) {
  std::vector<std::map<std::string, std::string>> rows = {
      {{"codigo", "E001"}, {"nombre", "PEREZ LUNA JUAN"}, {"bas_men", "2000"}, {"asigna", "100"},
       {"fech_ing", "20151115"}, {"dolar", "S"}, {"banco", "BCP"}},
      {{"codigo", "E002"}, {"nombre", "ALVA ROJAS ANA"}, {"bas_men", "1500"}, {"fech_ing", "20160610"},
       {"dolar", "S"}},
      {{"codigo", "E003"}, {"nombre", "QUISPE MAMANI ROSA"}, {"bas_men", "1000"}, {"dolar", "S"}}};
  rows.insert(rows.end(), extra.begin(), extra.end());
  seed(dir, st.session.def(catalog::TableId::EmployeeMaster), rows);
}

inline ui::Browse& listOf(ui::Dialog& d) { return *dynamic_cast<ui::Browse*>(d.control(101)); }

// Asked when a form with changes is cancelled.
inline std::string discardQuestion() { return ui::utf8To1252("¿Descartar Los Cambios?"); }

// The buttons of the list screens.
constexpr int kAdd = 102, kModify = 103, kDelete = 104, kSearch = 105, kPrint = 106, kExit = 107;

}  // namespace planilla::inputs::testing
