// The command table and the desktop hook, filled by the static registrations of the
// command files before main runs.
#include "app/commands.h"

namespace planilla {

std::vector<Command>& commandRegistry() {
  static std::vector<Command> registry;
  return registry;
}

int (*runDesktop)(int argc, char** argv) = nullptr;

}  // namespace planilla
