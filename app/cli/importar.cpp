// `planilla importar ARCHIVO --cia CC [--fecha DD/MM/AAAA] [--clave CLAVE]`: the month's
// entries (overtime, other income, deductions) from a spreadsheet, as "Importar Desde
// Hoja De Calculo" does on the entries screen (inputs/sheet_import.h): the file is
// checked whole; any problem is listed on stderr by line ("linea 4: ...") and nothing
// is written (exit 1); otherwise every row is written, or none when a record is in
// use on another station (exit 1).
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#include "inputs/sheet_import.h"
#include "session/tables.h"
#include "store/catalog.h"

namespace planilla {
namespace {

int importarCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {}, a, err)) return 2;
  if (a.cia.empty() || a.positional.size() != 1) {
    err << "uso: planilla importar ARCHIVO.csv|ARCHIVO.xlsx --cia CC [--fecha DD/MM/AAAA] [--clave CLAVE]\n";
    return 2;
  }
  const std::string file = a.positional[0];
  CliSession cs(err);
  if (int rc = cs.start(a, true, "DATOS"); rc != 0) return rc;
  Session& s = cs.session();
  auto rows = inputs::readSheet(file);
  if (!rows) {
    err << "planilla importar: " << rows.status().message() << "\n";
    return 1;
  }
  const inputs::ImportPlan plan = inputs::checkIncomeImport(s, rows.value());
  if (!plan.problems.empty()) {
    for (const auto& p : plan.problems)
      err << (p.line > 0 ? "linea " + std::to_string(p.line) + ": " : "") << p.text << "\n";
    err << "planilla importar: " << plan.problems.size() << " problema(s); no se grabo nada\n";
    return 1;
  }
  Table* t = openOwnTable(s, catalog::TableId::IncomeEntries, 1, "HorMovExt");
  if (!t) return 1;
  auto written = inputs::applyIncomeImport(s, *t, plan);
  s.closeAll();
  if (!written) {
    err << "planilla importar: " << written.status().message() << "\n";
    return 1;
  }
  out << written.value() << " trabajador(es) importado(s) de " << file << "\n";
  return 0;
}

const CommandRegistration kImportar(
    "importar",
    "importar ARCHIVO --cia CC [--fecha DD/MM/AAAA] [--clave CLAVE]   ingresos del mes (horas extras, otros ingresos, "
    "descuentos) desde una hoja CSV o .xlsx: todas las filas o ninguna",
    importarCommand);

}  // namespace
}  // namespace planilla
