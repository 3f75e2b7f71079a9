// Entry point: no arguments opens the desktop; otherwise the first word picks a command.
#include <iostream>
#include <string>
#include <vector>

#include "app/commands.h"

static void usage(std::ostream& os) {
  os << "uso: planilla [COMANDO ...]\n"
        "Sin comando abre la aplicacion en el directorio de trabajo.\n"
        "Comandos:\n";
  for (const auto& c : planilla::commandRegistry()) os << "  " << c.usage << "\n";
}

int main(int argc, char** argv) {
  using namespace planilla;
  if (argc < 2) {
    if (runDesktop) return runDesktop(argc, argv);
    usage(std::cerr);
    return 2;
  }
  std::string word = argv[1];
  if (word == "-h" || word == "--help" || word == "ayuda") {
    usage(std::cout);
    return 0;
  }
  for (const auto& c : commandRegistry()) {
    if (c.name == word) {
      std::vector<std::string> args(argv + 2, argv + argc);
      return c.run(args, std::cout, std::cerr);
    }
  }
  std::cerr << "planilla: comando desconocido: " << word << "\n";
  usage(std::cerr);
  return 2;
}
