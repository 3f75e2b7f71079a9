// planilla calcular / planilla gratificacion: the monthly payroll run and the
// gratification run on the data of the current directory, for automation. The run's
// messages go to stderr as "title: text"; the exit code is 0 only when the run
// reached "Fin De Proceso".
#include <cctype>
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#include "calc/runs.h"

namespace planilla {
namespace {

using RunFn = bool (*)(Session&, const std::string&);

int runCalc(const char* name, RunFn run, const std::vector<std::string>& args, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--tc"}, a, err)) return 2;
  if (!a.positional.empty()) {
    err << "planilla " << name << ": argumento no esperado: " << a.positional[0] << "\n";
    return 2;
  }
  auto tc = a.extra.find("--tc");
  if (tc == a.extra.end() || tc->second.empty()) {
    err << "planilla " << name << ": indique --tc CODIGO (tipo de cambio)\n";
    return 2;
  }
  // The code field of the screen takes upper case, six characters.
  std::string code = tc->second;
  for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (code.size() > 6) {
    err << "planilla " << name << ": codigo de tipo de cambio de mas de 6 caracteres: " << tc->second << "\n";
    return 2;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "PROCESOS"); rc != 0) return rc;
  return run(cs.session(), code) ? 0 : 1;
}

int runCalcular(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  return runCalc("calcular", &calc::PROCE01, args, err);
}

int runGratificacion(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  return runCalc("gratificacion", &calc::PROCE05, args, err);
}

const CommandRegistration kCalcular(
    "calcular", "calcular --cia CC --fecha DD/MM/AAAA --tc CODIGO [--clave CLAVE]  calcula la planilla del mes",
    runCalcular);
const CommandRegistration kGratificacion(
    "gratificacion",
    "gratificacion --cia CC --fecha DD/MM/AAAA --tc CODIGO [--clave CLAVE]  calcula la gratificacion del mes",
    runGratificacion);

}  // namespace
}  // namespace planilla
