// Helpers shared by the storage tests: a scratch folder per test, small tables.
#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif
#include "test_paths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/index.h"
#include "store/io.h"
#include "store/table.h"
#include "store/tests/temp_dir.h"

namespace planilla::testing {

// A scratch folder for the storage tests ("planilla-store-XXXXXX"), removed at the end.
class ScratchDir : public testutil::TempDir {
 public:
  ScratchDir() : TempDir("planilla-store") {}
};

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Output of a shell command (stdout), and its exit status.
inline int runCommand(const std::string& cmd, std::string* out) {
  out->clear();
#ifdef _WIN32
  // The reference tools (python3, perl, shell pipes) are the build machine's: a
  // Windows test program does as if they were absent, and the tests using them skip.
  (void)cmd;
  return -1;
#else
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  return ::pclose(p);
#endif
}

inline std::string sharedDir() { return PLANILLA_SHARED_DIR; }

inline std::string padRight(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

// Writes `bytes` as they are into `field` of the current record of `t` (blank padded
// or cut to the width), as another program may leave it: asterisks, letters, NULs.
// Returns what the field held.
inline std::string pokeField(Table& t, const std::string& field, std::string bytes) {
  const int at = t.fieldIndex(field);
  EXPECT_GE(at, 0) << field;
  if (at < 0) return "";
  size_t off = 0;
  for (int i = 0; i < at; ++i) off += static_cast<size_t>(t.field(i).width);
  const size_t width = static_cast<size_t>(t.field(at).width);
  std::string raw = t.rawRecord();
  const std::string before = raw.substr(off, width);
  bytes.resize(width, ' ');
  raw.replace(off, width, bytes);
  EXPECT_TRUE(t.replaceRaw(raw).isOk());
  return before;
}

// A small employee-like layout used by many tests.
inline std::vector<FieldSpec> personFields() {
  return {{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}, {"SUELDO", 'N', 10, 2},
          {"INGRESO", 'D', 8, 0}, {"ACTIVO", 'L', 1, 0}};
}

// Problems of a check other than the traces an interrupted operation is expected to
// leave and the next one clears: the record an append cut short leaves past the
// header's count, and the mark of a pack cut short after the new table went in.
inline std::vector<std::string> withoutInterrupted(const std::vector<std::string>& problems) {
  std::vector<std::string> out;
  for (const auto& p : problems)
    if (p.find("agregado que no termino") == std::string::npos && p.find("quedo a medias") == std::string::npos)
      out.push_back(p);
  return out;
}

// The tags of a bag file as specifications to build it again (empty when it does not
// open), read past the table: a table carrying the rebuild mark refuses its bags.
inline std::vector<TagSpec> tagSpecsOf(const std::string& bag, const RecordLayout& layout) {
  std::vector<TagSpec> out;
  auto b = IndexBag::open(platformFileSystem(), bag, layout, false);
  if (!b) return out;
  for (int i = 0; i < (*b)->tagCount(); ++i) {
    IndexTag& t = (*b)->tag(i);
    out.push_back(TagSpec{t.name(), t.keyText(), t.forText(), t.descending()});
  }
  return out;
}

}  // namespace planilla::testing
