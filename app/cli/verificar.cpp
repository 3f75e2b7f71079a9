// planilla verificar TABLA [INDICE ...]: checks a table against its index bags.
#include <ostream>

#include "app/commands.h"
#include "store/io.h"
#include "store/verify.h"

namespace planilla {
namespace {

int runVerificar(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "uso: planilla verificar TABLA [INDICE ...]\n";
    return 2;
  }
  FileSystem& fs = posixFileSystem();
  const std::string& table = args[0];
  std::vector<std::string> bags(args.begin() + 1, args.end());
  if (bags.empty()) {
    std::string companion = companionBag(fs, table);
    if (!companion.empty()) bags.push_back(companion);
  }
  std::vector<std::string> problems;
  Status st = verifyTable(fs, table, bags, problems);
  if (!st) {
    err << "planilla verificar: " << st.message() << "\n";
    return 1;
  }
  if (problems.empty()) {
    out << "OK\n";
    return 0;
  }
  for (const auto& p : problems) out << p << "\n";
  return 1;
}

const CommandRegistration kVerificar("verificar", "verificar TABLA [INDICE ...]  comprueba una tabla y sus indices",
                                     runVerificar);

}  // namespace
}  // namespace planilla
