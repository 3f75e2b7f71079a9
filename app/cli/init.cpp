// planilla init DIR [--demo] [--fecha DD/MM/AAAA]: installs a data directory with the
// files shipped with the program and, with --demo, a demonstration company.
#include <ctime>
#include <filesystem>
#include <ostream>

#include "app/cli_session.h"
#include "app/commands.h"
#include "session/install.h"

namespace planilla {
namespace {

Date todayDate() {
  std::time_t now = std::time(nullptr);
  std::tm tmv{};
  localtime_r(&now, &tmv);
  return Date(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
}

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
  if (a.positional.size() != 1 || !a.cia.empty() || a.claveGiven) {
    err << "uso: planilla init DIRECTORIO [--demo] [--fecha DD/MM/AAAA]\n";
    return 2;
  }
  Date work = defaultDemoDate(todayDate());
  if (!a.fecha.empty()) {
    bool ok = false;
    work = Date::fromDmy(a.fecha, &ok);
    if (!ok || work.empty()) {
      err << "planilla init: fecha no valida: " << a.fecha << " (DD/MM/AAAA)\n";
      return 2;
    }
  }
  const std::string dir = a.positional[0];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    err << "planilla init: no se puede crear el directorio " << dir << ": " << ec.message() << "\n";
    return 1;
  }
  FileSystem& fs = posixFileSystem();
  Status st = installBase(fs, dir);
  if (!st) {
    err << "planilla init: " << st.message() << "\n";
    return 1;
  }
  out << "Instalado en " << dir << ": pmae0001, kylusua, pbase14, pbase18.\n"
      << "Usuario QTR, clave " << kInstallPassword << ".\n";
  if (demo) {
    st = installDemo(fs, dir, work);
    if (!st) {
      err << "planilla init: empresa de demostracion: " << st.message() << "\n";
      return 1;
    }
    out << "Empresa de demostracion " << kDemoCompany << ", fecha de trabajo " << work.dmy() << ".\n";
  }
  return 0;
}

const CommandRegistration kInit("init", "init DIRECTORIO [--demo] [--fecha DD/MM/AAAA]  instala los archivos del sistema",
                                runInit);

}  // namespace
}  // namespace planilla
