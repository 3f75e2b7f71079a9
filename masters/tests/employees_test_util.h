// Shared setup of the employee-screen tests: the code tables the employee form lists,
// a few general employees, and reading a table back.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "masters/tests/masters_test_util.h"

namespace planilla::masters::testing {

struct Employee {
  std::string code, surname, name, baja;
};

class EmployeesFixture : public ::testing::Test {
 protected:
  catalog::TableDef def(catalog::TableId id) { return st.session.def(id); }
  Stored stored(catalog::TableId id) { return readAll(dir.path(), def(id)); }

  // Every table the employee screens require, with a few rows each (company 01, year 16).
  void seedCodeTables() {
    using catalog::TableId;
    auto code = [&](TableId id, std::vector<std::pair<std::string, std::string>> rows) {
      std::vector<std::map<std::string, std::string>> r;
      for (auto& [c, n] : rows) r.push_back({{"codigo", c}, {"nombre", n}, {"codnom", c + " " + n}});
      seed(dir.path(), def(id), r);
    };
    code(TableId::Situations, {{"11", "ACTIVO"}, {"15", "CESADO"}});
    code(TableId::CostCentres, {{"100   ", "ADMINISTRACION"}, {"200   ", "VENTAS"}});
    code(TableId::WorkerTypes, {{"01", "EMPLEADO"}, {"02", "OBRERO"}});
    code(TableId::PensionerTypes, {{"00", "NINGUNO"}, {"01", "PENSIONISTA"}});
    code(TableId::DocumentTypes, {{"1", "DNI"}, {"4", "CARNET DE EXTRANJERIA"}});
    code(TableId::MovementTypes, {{"1", "INGRESO"}, {"2", "CESE"}});
    code(TableId::UniqueCodes, {{"01    ", "PLANILLA EMPLEADOS"}, {"02    ", "PLANILLA OBREROS"}});
    seed(dir.path(), def(TableId::Banks),
         {{{"codigo", "BCP"}, {"nombre", "BANCO DE CREDITO"}, {"moneda", "S"}},
          {{"codigo", "BBVA"}, {"nombre", "BBVA CONTINENTAL"}, {"moneda", "S"}}});
    seed(dir.path(), def(TableId::PensionFunds),
         {{{"mes", "04"}, {"codigo", "HABITA"}, {"nombre", "HABITAT"}},
          {{"mes", "05"}, {"codigo", "INTEGR"}, {"nombre", "INTEGRA"}},
          {{"mes", "05"}, {"codigo", "PRIMA"}, {"nombre", "PRIMA AFP"}}});
  }

  // General employees in record order; `baja` " " for the active ones.
  void seedMaster(const std::vector<Employee>& staff) {
    std::vector<std::map<std::string, std::string>> rows;
    for (const auto& e : staff)
      rows.push_back({{"codigo", e.code},
                      {"apelli1", e.surname},
                      {"nombre1", e.name},
                      {"nombre", e.surname + " , " + e.name + " "},
                      {"cargo", "CONTADOR"},
                      {"bas_men", "1500"},
                      {"dia_tra", "30"},
                      {"sexo", "F"},
                      {"dolar", "S"},
                      {"baja", e.baja}});
    seed(dir.path(), def(catalog::TableId::EmployeeMaster), rows);
  }

  TempDir dir;
  Station st{dir.path()};
};

}  // namespace planilla::masters::testing
