// Subcommands of the `planilla` executable. Each command lives in its own file under
// app/cli/ and registers itself with a static CommandRegistration, so adding one
// touches no shared table.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace planilla {

// args excludes the program name and the command word. Messages go to `err` in
// Spanish; the return value is the process exit code.
using CommandFn = std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)>;

struct Command {
  std::string name;
  std::string usage;  // one line, Spanish
  CommandFn run;
};

std::vector<Command>& commandRegistry();

struct CommandRegistration {
  CommandRegistration(std::string name, std::string usage, CommandFn fn) {
    commandRegistry().push_back({std::move(name), std::move(usage), std::move(fn)});
  }
};

// Runs the desktop application on the working directory; provided by the shell.
// Returns the exit code. Absent until the shell is built (then main prints help).
extern int (*runDesktop)(int argc, char** argv);

}  // namespace planilla
