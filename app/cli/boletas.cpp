// `planilla boletas --cia CC [--fecha DD/MM/AAAA] --dir CARPETA [--clave CLAVE]`:
// the month's payslips of every employee of the calculated payroll, each rendered to
// CARPETA/boleta_<codigo>.pdf (payslipFileName). Serves the demo and an operator who
// archives the month's payslips; the report file "Test.rpv" is left with the last one
// written. A month without calculated payroll, or with no rows, stops with the
// payslip screen's message and exit status 1.
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>

#include "app/cli_session.h"
#include "app/cli/render_pdf.h"
#include "app/commands.h"
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

// The PDF's name for an employee code, one name per code whatever characters it
// holds: digits and capital letters stay, every other byte (punctuation, blanks inside
// the code, small letters, accented letters) becomes "_" and its two hex digits, so
// "E0001", "E0001-" and "E.0001" give boleta_E0001.pdf, boleta_E0001_2D.pdf and
// boleta_E_2E0001.pdf. Small letters are escaped too, for file systems that do not
// tell them from capitals. The blanks that pad the code on the right are not part of it.
std::string payslipFileName(const std::string& code) {
  static const char* kHex = "0123456789ABCDEF";
  std::string c = code;
  while (!c.empty() && c.back() == ' ') c.pop_back();
  std::string name = "boleta_";
  for (char ch : c) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z')) {
      name += ch;
    } else {
      name += '_';
      name += kHex[u >> 4];
      name += kHex[u & 15];
    }
  }
  return name + ".pdf";
}

int boletasCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliArgs a;
  if (!parseCliArgs(args, {"--dir"}, a, err)) return 2;
  auto dir = a.extra.find("--dir");
  if (a.cia.empty() || dir == a.extra.end() || dir->second.empty() || !a.positional.empty()) {
    err << "uso: planilla boletas --cia CC [--fecha DD/MM/AAAA] --dir CARPETA [--clave CLAVE]\n";
    return 2;
  }
  CliSession cs(err);
  if (int rc = cs.start(a, true, "REPORTES"); rc != 0) return rc;
  Session& s = cs.session();

  // The checks of the payslip screen: the month calculated and holding rows ("Sin
  // Registros "), the masters present.
  {
    reports::PayslipValues values;
    if (!reports::checkPayslipPreconditions(s, values)) return 1;
    s.closeAll();
  }
  auto codes = payrollCodes(s);
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
    const std::string pdf = (std::filesystem::path(dir->second) / payslipFileName(code)).string();
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
    "boletas", "boletas --cia CC [--fecha DD/MM/AAAA] --dir CARPETA   boletas del mes de todos los trabajadores en PDF",
    boletasCommand);

}  // namespace
}  // namespace planilla
