// planilla init DIR [--demo] [--fecha DD/MM/AAAA]: installs a new data directory with
// the files shipped with the program and, with --demo, a demonstration company. The
// directory appears only once complete (installDirectory).
#include <ctime>
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#ifdef PLANILLA_HAVE_DELIVERY
#include "delivery/demo.h"
#endif
#include "session/install.h"
#include "store/platform.h"

namespace planilla {
namespace {

Date todayDate() {
  const std::tm tmv = platform::localTime(std::time(nullptr));
  return Date(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
}

const char* kUsage = "uso: planilla init DIRECTORIO [--demo] [--fecha DD/MM/AAAA]\n";

int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest;
  bool demo = false;
  for (const auto& a : args) {
    if (a == "--demo")
      demo = true;
    else
      rest.push_back(a);
  }
  CliArgs a;
  if (!parseCliArgs(rest, {}, a, err)) return 2;
  // The password of $PLANILLA_CLAVE is meant for the other commands: installing asks
  // for none, so only a --clave typed here is out of place.
  if (a.claveGiven && !a.claveFromEnvironment) {
    err << "planilla init: --clave no se usa al instalar (usuario QTR, clave " << kInstallPassword << ")\n" << kUsage;
    return 2;
  }
  if (!a.cia.empty()) {
    err << "planilla init: --cia no se usa al instalar (la demostracion es la empresa " << kDemoCompany << ")\n"
        << kUsage;
    return 2;
  }
  if (a.positional.size() != 1) {
    err << (a.positional.empty() ? "planilla init: indique el directorio\n" : "planilla init: un solo directorio\n")
        << kUsage;
    return 2;
  }
  Date work = defaultDemoDate(todayDate());
  if (!a.fecha.empty()) {
    bool ok = false;
    work = Date::fromOperatorDmy(a.fecha, &ok);
    if (!ok || work.empty()) {
      err << "Fecha No Valida: " << a.fecha << " (DD/MM/AAAA)\n";
      return 2;
    }
  }
  const std::string dir = a.positional[0];
  Status st = installDirectory(platformFileSystem(), dir, demo, work);
  if (!st) {
    err << "planilla init: " << st.message() << "\n";
    return 1;
  }
  // The demo signs and sends its payslips: a test certificate, the settings and the
  // employees' e-mail addresses on a test domain (in a build that signs and sends).
#ifdef PLANILLA_HAVE_DELIVERY
  if (demo) {
    if (Status d = delivery::installDemoDelivery(dir); !d) {
      err << "planilla init: " << d.message() << "\n";
      return 1;
    }
  }
#endif
  out << "Instalado en " << dir << ": pmae0001, kylusua, pbase14, pbase18.\n"
      << "Usuario QTR, clave " << kInstallPassword << ".\n";
  if (demo) out << "Empresa de demostracion " << kDemoCompany << ", fecha de trabajo " << work.dmy() << ".\n";
  return 0;
}

const CommandRegistration kInit("init", "init DIRECTORIO [--demo] [--fecha DD/MM/AAAA]  instala los archivos del sistema",
                                runInit);

}  // namespace
}  // namespace planilla
