// The commands a build leaves out (the Windows command-line build: no Qt, no
// spreadsheet library, no signing) stay listed and answer that they are not part of
// the build, exit 1, before touching anything; in a full build they are the real ones.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/commands.h"

namespace planilla {
namespace {

struct Case {
  const char* command;
  bool built;
};

TEST(CommandsLeftOut, StayListedAndSayWhy) {
  const std::vector<Case> cases = {
#ifdef PLANILLA_HAVE_QT
      {"pdf", true}, {"ver", true},
#else
      {"pdf", false}, {"ver", false},
#endif
#if defined(PLANILLA_HAVE_QT) && defined(PLANILLA_HAVE_DELIVERY)
      {"boletas", true},
#else
      {"boletas", false},
#endif
#ifdef PLANILLA_HAVE_EXPORTS
      {"exportar", true}, {"bitacora", true},
#else
      {"exportar", false}, {"bitacora", false},
#endif
  };
  for (const Case& c : cases) {
    const Command* found = nullptr;
    int listed = 0;
    for (const auto& cmd : commandRegistry()) {
      if (cmd.name != c.command) continue;
      found = &cmd;
      ++listed;
    }
    ASSERT_EQ(listed, 1) << c.command;
    if (c.built) continue;
    std::ostringstream out, err;
    EXPECT_EQ(found->run({"--cia", "01"}, out, err), 1) << c.command;
    EXPECT_EQ(err.str().rfind(std::string("planilla ") + c.command + ": no es parte de esta compilacion (", 0), 0u)
        << err.str();
    EXPECT_EQ(out.str(), "") << c.command;
  }
}

}  // namespace
}  // namespace planilla
