// Helpers of the master-screen tests: a scratch data directory, a station (session on
// the scripted toolkit), direct table access to seed and read records, and the report
// file.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session/session.h"
#include "store/catalog.h"
#include "store/io.h"
#include "store/tests/temp_dir.h"
#include "ui/scripted.h"

namespace planilla::masters::testing {

// A scratch folder named "planilla-masters-XXXXXX".
struct TempDir : testutil::TempDir {
  TempDir() : testutil::TempDir("planilla-masters") {}
};

// A workstation: its own scripted operator and session on the shared directory, with a
// working date of 15/05/2016 for company 01 (month and company may be changed).
struct Station {
  explicit Station(const std::string& dir, bool red = false) : session(platformFileSystem(), tk, dir) {
    session.setRed(red);
    session.YCIA = "01";
    session.YMES = "05";
    session.YANO = "16";
    session.YNOMBRE1 = "EMPRESA DEMO S.A.";
    session.YNOMBRE1.resize(45, ' ');
    // The listings start the viewer: a command that does nothing.
    ::setenv("PLANILLA_VISOR", "true", 1);
  }
  ui::ScriptedToolkit tk;
  Session session;
};

// Appends records to a catalog table (created when missing), each given as field ->
// text (numbers are parsed).
inline void seed(const std::string& dir, const catalog::TableDef& def,
                 const std::vector<std::map<std::string, std::string>>& rows) {
  ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir, def).isOk());
  auto t = catalog::openTable(platformFileSystem(), dir, def, OpenMode::Exclusive);
  ASSERT_TRUE(t.isOk()) << t.status().message();
  for (const auto& r : rows) {
    ASSERT_TRUE((*t)->appendBlank().isOk());
    for (const auto& [f, v] : r) {
      int i = (*t)->fieldIndex(f);
      ASSERT_GE(i, 0) << f;
      Status st = (*t)->field(i).type == 'N' ? (*t)->replace(f, std::stod(v)) : (*t)->replace(f, v);
      ASSERT_TRUE(st.isOk()) << st.message();
    }
  }
  (*t)->close();
}

// Changes the first record of a catalog table (the rates table's single record).
inline void updateFirst(const std::string& dir, const catalog::TableDef& def,
                        const std::map<std::string, std::string>& values) {
  ASSERT_TRUE(catalog::ensureTable(platformFileSystem(), dir, def).isOk());
  auto t = catalog::openTable(platformFileSystem(), dir, def, OpenMode::Exclusive);
  ASSERT_TRUE(t.isOk()) << t.status().message();
  ASSERT_TRUE((*t)->goTop().isOk());
  ASSERT_FALSE((*t)->eof());
  for (const auto& [f, v] : values) {
    int i = (*t)->fieldIndex(f);
    ASSERT_GE(i, 0) << f;
    Status st = (*t)->field(i).type == 'N' ? (*t)->replace(f, std::stod(v)) : (*t)->replace(f, v);
    ASSERT_TRUE(st.isOk()) << st.message();
  }
  (*t)->close();
}

// The live records in record order, each as field -> stored text (numbers as numbers).
struct Stored {
  std::vector<std::map<std::string, std::string>> rows;
  std::vector<std::map<std::string, double>> nums;
  uint32_t physical = 0;
};
inline Stored readAll(const std::string& dir, const catalog::TableDef& def) {
  Stored out;
  auto t = Table::openReadOnly(platformFileSystem(), catalog::joinPath(dir, def.dbf()));
  if (!t.isOk()) return out;
  Table& tb = **t;
  out.physical = tb.recordCount();
  (void)tb.setOrder(0);
  for ((void)tb.goTop(); !tb.eof(); (void)tb.skip(1)) {
    std::map<std::string, std::string> r;
    std::map<std::string, double> n;
    for (int i = 0; i < tb.fieldCount(); ++i) {
      std::string name = tb.field(i).name;
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      r[name] = tb.str(i);
      if (tb.field(i).type == 'N') n[name] = tb.num(i);
    }
    out.rows.push_back(r);
    out.nums.push_back(n);
  }
  tb.close();
  return out;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Joins lines with CR LF after each.
inline std::string crlf(const std::vector<std::string>& lines) {
  std::string o;
  for (const auto& l : lines) o += l + "\r\n";
  return o;
}

}  // namespace planilla::masters::testing
