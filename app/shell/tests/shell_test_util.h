// Fixtures of the shell's screen tests: the demonstration company of the session
// layer's test fixture.
#pragma once

#include "session/tests/demo_fixture.h"

namespace planilla::shell::testing {
using planilla::testing::DemoFixture;
using planilla::testing::demoDate;
}  // namespace planilla::shell::testing
