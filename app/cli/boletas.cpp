// `planilla boletas --cia CC [--fecha DD/MM/AAAA] --dir CARPETA [--clave CLAVE]`:
// the month's payslips of every employee of the calculated payroll, each rendered to
// CARPETA/boleta_<codigo>.pdf (payslipFileName). Serves the demo and an operator who
// archives the month's payslips; the report file "Test.rpv" is left with the last one
// written. A month without calculated payroll, or with no rows, stops with the
// payslip screen's message and exit status 1.
//
// With --firmar, --enviar or --gratificacion the payslips are made by the electronic
// payslip batch (delivery/batch.h): --gratificacion takes the month's gratification
// payslips (gratificacion_<codigo>.pdf), --firmar signs each with the company's
// certificate (password from $PLANILLA_CERT_CLAVE, else asked on the terminal),
// --enviar sends each by e-mail through the company's server (its password, when
// the server asks for a user, from $PLANILLA_SMTP_CLAVE or the terminal) and keeps
// the register: what it shows as sent is not sent again unless --reenviar is given.
// Failures are listed at the end; exit 1 when there was any.
#include <QGuiApplication>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>

#include "app/cli_session.h"
#include "app/cli/render_pdf.h"
#include "app/commands.h"
#include "delivery/batch.h"
#include "delivery/settings.h"
#include "reports/payslip.h"
#include "reports/render/rpv_render.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "store/output_path.h"

namespace planilla {
namespace {

char kBoletasName[] = "planilla";

// Codes of the calculated payroll of the month, in code order, without repeats.
Result<std::vector<std::string>> payrollCodes(Session& s) {
  catalog::TableDef def = s.def(catalog::TableId::PayrollSoles);
  auto t = Table::openReadOnly(s.fs(), catalog::joinPath(s.dataDir(), def.dbf()));
  if (!t) return t.status();
  std::set<std::string> codes;
  Table& tab = *t.value();
  for (Status st = tab.goTop(); !tab.eof(); st = tab.skip()) {
    if (!st) return st;
    codes.insert(tab.str("CODIGO"));
  }
  return std::vector<std::string>(codes.begin(), codes.end());
}

// A password from the environment, else typed on the terminal without echo; empty
// when there is no terminal to ask on.
std::string password(const char* variable, const std::string& prompt, std::ostream& err) {
  if (const char* v = std::getenv(variable)) return v;
  if (!isatty(STDIN_FILENO)) return "";
  err << prompt << ": " << std::flush;
  termios old{};
  tcgetattr(STDIN_FILENO, &old);
  termios quiet = old;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  std::string line;
  std::getline(std::cin, line);
  tcsetattr(STDIN_FILENO, TCSANOW, &old);
  err << "\n";
  return line;
}

// Takes the flags without value out of `args`; true for each one found.
bool takeFlag(std::vector<std::string>& args, const char* flag) {
  auto it = std::find(args.begin(), args.end(), flag);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

int electronicBatch(Session& s, const std::string& dir, delivery::BatchOptions o, std::ostream& out,
                    std::ostream& err) {
  if (o.sign) {
    o.certPassword = password(delivery::kCertPasswordVar, "Clave del certificado digital", err);
    if (o.certPassword.empty()) {
      err << "planilla boletas: Falta La Clave Del Certificado (" << delivery::kCertPasswordVar << ")\n";
      return 1;
    }
  }
  if (o.send) {
    auto settings = delivery::readSettings(s);
    if (settings && !settings.value().smtpUser.empty()) {
      o.smtpPassword = password(delivery::kSmtpPasswordVar, "Clave del correo " + settings.value().smtpUser, err);
      if (o.smtpPassword.empty()) {
        err << "planilla boletas: Falta La Clave Del Servidor De Correo (" << delivery::kSmtpPasswordVar << ")\n";
        return 1;
      }
    }
  }
  o.dir = dir;
  delivery::BatchResult r;
  Status st = delivery::runBatch(
      s, o, [](const std::string& rpvPath, const std::string& pdf) { return rpv::renderFileToPdf(rpvPath, pdf); },
      &r, [&out](const std::string& line) { out << line << "\n"; });
  if (!st) {
    if (!st.message().empty()) err << "planilla boletas: " << st.message() << "\n";
    return 1;
  }
  out << r.written << " boleta(s) en " << dir;
  if (o.sign) out << ", " << r.signedCount << " firmada(s)";
  if (o.send) out << ", " << r.sent << " enviada(s), " << r.alreadySent << " ya enviada(s) antes";
  out << "\n";
  if (r.stopped) err << "Envio detenido: " << r.stopReason << "\n";
  if (!r.failures.empty()) {
    err << r.failures.size() << " boleta(s) con problemas:\n";
    for (const auto& f : r.failures)
      err << "  " << f.code << (f.email.empty() ? "" : " <" + f.email + ">") << ": " << f.detail << "\n";
  }
  return r.failures.empty() && !r.stopped ? 0 : 1;
}

int boletasCommand(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = argsIn;
  delivery::BatchOptions electronic;
  electronic.sign = takeFlag(args, "--firmar");
  electronic.send = takeFlag(args, "--enviar");
  electronic.resend = takeFlag(args, "--reenviar");
  const bool gratification = takeFlag(args, "--gratificacion");
  if (gratification) electronic.kind = delivery::PayslipKind::Gratification;
  if (electronic.resend) electronic.send = true;
  const bool batch = electronic.sign || electronic.send || gratification;
  CliArgs a;
  if (!parseCliArgs(args, {"--dir"}, a, err)) return 2;
  auto dir = a.extra.find("--dir");
  if (a.cia.empty() || dir == a.extra.end() || dir->second.empty() || !a.positional.empty()) {
    err << "uso: planilla boletas --cia CC [--fecha DD/MM/AAAA] --dir CARPETA [--clave CLAVE] [--gratificacion]"
           " [--firmar] [--enviar] [--reenviar]\n";
    return 2;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "REPORTES"); rc != 0) return rc;
  Session& s = cs.session();

  // The checks of the payslip screen: the month calculated and holding rows ("Sin
  // Registros "), the masters present.
  if (!batch) {
    reports::PayslipValues values;
    if (!reports::checkPayslipPreconditions(s, values)) return 1;
    s.closeAll();
  }
  auto codes = batch ? Result<std::vector<std::string>>(std::vector<std::string>()) : payrollCodes(s);
  if (!codes) {
    err << "planilla boletas: " << codes.status().message() << "\n";
    return 1;
  }
  // The folder is created when missing, but never inside a system folder: the nearest
  // folder that exists is checked first, the folder itself once it exists.
  std::filesystem::path existing = std::filesystem::absolute(dir->second);
  std::error_code ec;
  while (!std::filesystem::exists(existing, ec) && existing.has_parent_path() && existing != existing.parent_path())
    existing = existing.parent_path();
  Status where = checkOutputFolder(existing.string());
  if (where) {
    std::filesystem::create_directories(dir->second, ec);
    if (ec) {
      err << "planilla boletas: no se pudo crear la carpeta " << dir->second << "\n";
      return 1;
    }
    where = checkOutputFolder(dir->second);
  }
  if (!where) {
    err << "planilla boletas: " << where.message() << "\n";
    return 1;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char* argv[] = {kBoletasName, nullptr};
  QGuiApplication app(argc, argv);
  if (batch) return electronicBatch(s, dir->second, electronic, out, err);

  // Each payslip is written to a file of the command's own and rendered from it.
  PrivateReport own(s);
  int written = 0, failed = 0;
  for (const std::string& code : codes.value()) {
    reports::PayslipValues values;
    if (!reports::checkPayslipPreconditions(s, values)) return 1;
    std::string name, costCentre = "      ";
    if (!reports::CODPER(s, code, &name, &costCentre) ||
        !reports::PREP401(s, code, values, costCentre, /*startViewer=*/false)) {
      s.closeAll();
      ++failed;
      continue;
    }
    const std::string pdf = (std::filesystem::path(dir->second) / delivery::payslipFileName(code)).string();
    Status st = checkOutputFile(pdf);
    if (st) st = rpv::renderFileToPdf(own.path(), pdf);
    if (!st) {
      err << "planilla boletas: " << st.message() << "\n";
      ++failed;
      continue;
    }
    ++written;
  }
  if (written > 0) {
    if (Status st = own.publish(); !st) {
      err << "planilla boletas: " << st.message() << "\n";
      ++failed;
    }
  }
  out << written << " boleta(s) en " << dir->second << "\n";
  if (failed) err << failed << " boleta(s) no se pudieron escribir\n";
  return failed ? 1 : 0;
}

CommandRegistration boletasRegistration(
    "boletas",
    "boletas --cia CC [--fecha DD/MM/AAAA] --dir CARPETA [--gratificacion] [--firmar] [--enviar] [--reenviar]   "
    "boletas del mes de todos los trabajadores en PDF, firmadas y enviadas por correo",
    boletasCommand);

}  // namespace
}  // namespace planilla
