// planilla verificar TABLA [INDICE ...]: checks a table against its index bags. A
// table of the system's catalog is also checked against the bags and tags the system
// uses (a missing or empty bag, a missing tag); for other tables without INDICE the
// bag of the same name is checked when there is one.
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
  FileSystem& fs = platformFileSystem();
  const std::string& table = args[0];
  std::vector<std::string> bags(args.begin() + 1, args.end());
  const std::vector<BagExpectation> expected = catalogExpectations(table);
  if (bags.empty() && expected.empty()) {
    std::string companion = companionBag(fs, table);
    if (!companion.empty()) bags.push_back(companion);
  }
  std::vector<std::string> problems, notes;
  Status st = verifyTable(fs, table, bags, problems, expected, &notes);
  if (!st) {
    err << "planilla verificar: " << st.message() << "\n";
    return 1;
  }
  for (const auto& n : notes) out << "Nota: " << n << "\n";
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
