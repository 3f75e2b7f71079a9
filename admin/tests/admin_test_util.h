// Fixtures of the administration tests: the demonstration company (session layer's
// fixture), a second station on the same directory, records read back, and the check
// `planilla verificar` makes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "masters/tests/masters_test_util.h"
#include "session/tests/demo_fixture.h"
#include "store/catalog.h"
#include "store/verify.h"

namespace planilla::admin::testing {

using planilla::testing::DemoFixture;
using planilla::masters::testing::readAll;
using planilla::masters::testing::seed;

// Every file of the folder with its bytes: to show that a refused utility changed none.
inline std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    out[e.path().filename().string()] = masters::testing::readFile(e.path().string());
  return out;
}

// What `planilla verificar` finds in every table of the folder (with the bags and tags
// the catalog expects), one sentence per problem; empty when all is well.
inline std::vector<std::string> verifyAll(const std::string& dir) {
  std::vector<std::string> problems;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().extension() != ".dbf") continue;
    const std::string path = e.path().string();
    Status st = verifyTable(platformFileSystem(), path, {}, problems, catalogExpectations(path));
    if (!st) problems.push_back(path + ": " + st.message());
  }
  return problems;
}

}  // namespace planilla::admin::testing
