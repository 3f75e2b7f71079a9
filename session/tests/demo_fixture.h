// Fixture of the screen tests: a data directory with the demonstration company
// installed, and a session on it whose message boxes are the scripted toolkit.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "session/install.h"
#include "session/session.h"
#include "session/startup.h"
#include "session/tests/session_test_util.h"
#include "store/io.h"
#include "ui/scripted.h"

namespace planilla::testing {

// The demo's working date in every test: 31 March 2025.
inline Date demoDate() { return Date(2025, 3, 31); }

// A demo installation in a temporary folder, a scripted toolkit and a session (no
// network) whose messages the toolkit records.
class DemoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    ASSERT_TRUE(installBase(platformFileSystem(), dir.path()).isOk());
    ASSERT_TRUE(installDemo(platformFileSystem(), dir.path(), demoDate()).isOk());
    // The report viewer is a program that does nothing.
    ::setenv("PLANILLA_VISOR", "true", 1);
    tk.setDataDir(dir.path());
    session = std::make_unique<Session>(platformFileSystem(), tk, dir.path());
    session->setRed(false);
  }
  void TearDown() override {
    if (session) session->closeAll();
  }

  Session& s() { return *session; }

  // Chooses company 01 and the demo date as an accepted working-date dialog does.
  void chooseDemoDate(const Date& d = demoDate()) {
    s().YCIA = "01";
    s().YFECHA = d;
    ASSERT_TRUE(acceptWorkingDate(s()));
  }

  bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }
  std::string read(const std::string& name) const {
    std::ifstream in(dir.file(name), std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
  }

  planilla::testing::TempDir dir;
  ui::ScriptedToolkit tk;
  std::unique_ptr<Session> session;
};

}  // namespace planilla::testing
