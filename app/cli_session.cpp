#include "app/cli_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "session/startup.h"
#include "ui/messages.h"

namespace planilla {

bool parseCliArgs(const std::vector<std::string>& args, const std::vector<std::string>& extraOptions,
                  CliArgs& out, std::ostream& err) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
      out.positional.push_back(a);
      continue;
    }
    std::string name = a, value;
    bool haveValue = false;
    if (auto eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      haveValue = true;
    }
    const bool known = name == "--cia" || name == "--fecha" || name == "--clave" ||
                       std::find(extraOptions.begin(), extraOptions.end(), name) != extraOptions.end();
    if (!known) {
      err << "planilla: opcion desconocida: " << name << "\n";
      return false;
    }
    if (!haveValue) {
      if (i + 1 >= args.size()) {
        err << "planilla: falta el valor de " << name << "\n";
        return false;
      }
      value = args[++i];
    }
    if (name == "--cia") {
      for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out.cia = value;
    } else if (name == "--fecha") {
      out.fecha = value;
    } else if (name == "--clave") {
      out.clave = value;
      out.claveGiven = true;
    } else {
      out.extra[name] = value;
    }
  }
  if (!out.claveGiven) {
    if (const char* env = std::getenv("PLANILLA_CLAVE")) {
      out.clave = env;
      out.claveGiven = true;
      out.claveFromEnvironment = true;
    }
  }
  return true;
}

bool StreamMessages::show(ui::MsgKind kind, const std::string& text, const std::string& title) {
  // A warning is printed once per command, however many times the work meets it (the
  // payslips of every employee).
  bool repeated = false;
  for (const Shown& m : shown) repeated = repeated || (kind == ui::MsgKind::Alert && m.kind == kind && m.text == text);
  shown.push_back({kind, text, title});
  if (repeated) return true;
  if (title.empty())
    out_ << text << "\n";
  else
    out_ << title << ": " << text << "\n";
  return ui::isQuestion(kind) ? yesNoAnswer : true;
}

CliSession::CliSession(std::ostream& err, const std::string& dir) : err_(err), messages_(err) {
  session_ = std::make_unique<Session>(platformFileSystem(), messages_, dir);
}

CliSession::~CliSession() = default;

int CliSession::start(const CliArgs& args, bool needDate, const char* group) {
  Session& s = *session_;
  if (!args.claveGiven) {
    err_ << "planilla: falta la clave (--clave o PLANILLA_CLAVE)\n";
    return 2;
  }
  (void)VALACEPTAR(s, args.clave, kLoginUser);
  if (!s.LACCESO) return 2;  // the login's message is already on err
  if (group ? !s.allows(group) : s.accessLimited) {
    ui::MSGSTOP(messages_, "Acceso Denegado", "Mensaje");
    return 2;
  }
  s.resetPeriod();

  if (args.cia.empty() && args.fecha.empty() && !needDate) return 0;
  if (args.cia.empty()) {
    err_ << "planilla: indique --cia CC (y --fecha DD/MM/AAAA)\n";
    return 2;
  }
  Date d;
  if (!args.fecha.empty()) {
    bool ok = false;
    d = Date::fromOperatorDmy(args.fecha, &ok);
    if (!ok || d.empty()) {
      err_ << "Fecha No Valida: " << args.fecha << " (DD/MM/AAAA)\n";
      return 2;
    }
  }
  // The company field holds two characters: a longer code is no company, not the
  // company of its first two.
  if (args.cia.size() > 2) {
    ui::MSGSTOP(messages_, "Codigo Ingresado " + args.cia + " No Existe", "Mensaje");
    return 2;
  }
  if (!openInstitutions(s)) return 2;
  std::string code = args.cia;
  code.resize(2, ' ');
  if (!CHEKCIA(s, code)) {
    s.closeAll();
    return 2;
  }
  if (d.empty()) {
    // Without --fecha: the working date last chosen for the company.
    Table* t = s.alias("xSeteoCia");
    if (t) d = t->date("FECHA");
    if (d.empty() || !d.valid()) {
      s.closeAll();
      err_ << "planilla: la empresa " << code << " no tiene fecha de trabajo; indique --fecha DD/MM/AAAA\n";
      return 2;
    }
  }
  s.YCIA = code;
  s.YFECHA = d;
  if (!FECRETE(s, d)) {
    s.closeAll();
    return 2;
  }
  if (!acceptWorkingDate(s)) return 2;
  return 0;
}

}  // namespace planilla
