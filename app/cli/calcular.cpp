// planilla calcular / planilla gratificacion: the monthly payroll run and the
// gratification run on the data of the current directory, for automation. The run's
// messages go to stderr as "title: text"; the exit code is 0 only when the run
// reached "Fin De Proceso".
//
// In July and December `calcular` refuses (exit 1) while the month's gratification is
// not calculated or is older than its roll, since the payroll's tax reads it; the flag
// --sin-gratificacion runs it all the same.
#include <algorithm>
#include <cctype>
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#include "calc/run_stamps.h"
#include "calc/runs.h"

namespace planilla {
namespace {

using RunFn = bool (*)(Session&, const std::string&);

constexpr const char* kWithoutGrat = "--sin-gratificacion";

int runCalc(const char* name, RunFn run, std::vector<std::string> args, std::ostream& err, bool payroll = false) {
  // The one option without a value: taken out before the others are read.
  const auto flag = std::remove(args.begin(), args.end(), std::string(kWithoutGrat));
  const bool withoutGrat = payroll && flag != args.end();
  if (payroll) args.erase(flag, args.end());
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
  if (payroll && !withoutGrat) {
    const std::string problem = calc::gratificationProblem(cs.session(), calc::gratificationStatus(cs.session()));
    if (!problem.empty()) {
      err << "Mensaje: " << problem << ". Para calcular la planilla sin ella, indique " << kWithoutGrat << "\n";
      return 1;
    }
  }
  return run(cs.session(), code) ? 0 : 1;
}

int runCalcular(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  return runCalc("calcular", &calc::PROCE01, args, err, true);
}

int runGratificacion(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  return runCalc("gratificacion", &calc::PROCE05, args, err);
}

const CommandRegistration kCalcular(
    "calcular",
    "calcular --cia CC --fecha DD/MM/AAAA --tc CODIGO [--sin-gratificacion] [--clave CLAVE]  calcula la planilla del "
    "mes",
    runCalcular);
const CommandRegistration kGratificacion(
    "gratificacion",
    "gratificacion --cia CC --fecha DD/MM/AAAA --tc CODIGO [--clave CLAVE]  calcula la gratificacion del mes",
    runGratificacion);

}  // namespace
}  // namespace planilla
