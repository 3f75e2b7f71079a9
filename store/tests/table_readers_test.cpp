// Second readers: tables this engine writes must read the same in independent
// tools (python3-dbfread, Perl XBase's dbf_dump), and the real FoxPro tables of the
// shared fixtures must read here as those tools read them.
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "store/table.h"
#include "store_test_util.h"

namespace planilla {
namespace {

using testing::ScratchDir;

// The python3 that has dbfread, or empty.
std::string pythonWithDbfread() {
  for (const char* py : {"python3", "/usr/bin/python3"}) {
    std::string out;
    std::string cmd = std::string(py) + " -c 'import dbfread' 2>/dev/null";
    if (testing::runCommand(cmd, &out) == 0) return py;
  }
  return "";
}

bool haveDbfDump() {
  std::string out;
  return testing::runCommand("command -v dbf_dump 2>/dev/null", &out) == 0 && !out.empty();
}

// Prints every live record as NAME=repr(value) pairs, the way dbfread decodes them.
const char* kDbfreadScript = R"PY(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], raw=(sys.argv[2] == 'raw'), ignore_missing_memofile=True, char_decode_errors='ignore', encoding='cp1252')
for r in t:
    print('|'.join(k + '=' + (v.hex() if isinstance(v, bytes) else repr(v)) for k, v in r.items()))
print('deleted', len(list(t.deleted)))
)PY";

std::string runDbfread(const std::string& py, const std::string& table, bool raw, const ScratchDir& dir) {
  std::string script = dir.file("dump.py");
  testing::writeAll(script, kDbfreadScript);
  std::string out;
  int rc = testing::runCommand(py + " " + script + " '" + table + "' " + (raw ? "raw" : "typed") + " 2>&1", &out);
  EXPECT_EQ(rc, 0) << out;
  return out;
}

std::string hex(std::string_view s) {
  static const char* d = "0123456789abcdef";
  std::string r;
  for (unsigned char c : s) {
    r.push_back(d[c >> 4]);
    r.push_back(d[c & 15]);
  }
  return r;
}

void writeSample(const std::string& path) {
  FileSystem& fs = platformFileSystem();
  ASSERT_TRUE(Table::create(fs, path, {{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 12, 0}, {"SUELDO", 'N', 10, 2},
                                       {"HORAS", 'N', 4, 0}, {"INGRESO", 'D', 8, 0}, {"ACTIVO", 'L', 1, 0}})
                  .isOk());
  auto t = Table::open(fs, path, OpenMode::Exclusive);
  ASSERT_TRUE(t.isOk());
  Table& tb = **t;
  ASSERT_TRUE(tb.appendBlank().isOk());
  ASSERT_TRUE(tb.replace("CODIGO", "000123").isOk());
  ASSERT_TRUE(tb.replace("NOMBRE", "Pe\xF1" "a Ana").isOk());
  ASSERT_TRUE(tb.replace("SUELDO", 1500.0).isOk());
  ASSERT_TRUE(tb.replace("HORAS", -12.0).isOk());
  ASSERT_TRUE(tb.replace("INGRESO", Date(2016, 3, 31)).isOk());
  ASSERT_TRUE(tb.replaceLogical("ACTIVO", true).isOk());
  ASSERT_TRUE(tb.appendBlank().isOk());  // deleted: readers must skip it
  ASSERT_TRUE(tb.replace("CODIGO", "BORRA").isOk());
  ASSERT_TRUE(tb.markDeleted().isOk());
  ASSERT_TRUE(tb.appendBlank().isOk());  // blank values
  ASSERT_TRUE(tb.replace("CODIGO", "X").isOk());
  ASSERT_TRUE(tb.replace("SUELDO", 0.005).isOk());
  ASSERT_TRUE(tb.replaceLogical("ACTIVO", false).isOk());
  tb.close();
}

TEST(SecondReaders, DbfreadReadsTablesWeWrite) {
  std::string py = pythonWithDbfread();
  if (py.empty()) GTEST_SKIP() << "python3-dbfread no esta instalado";
  ScratchDir dir;
  std::string p = dir.file("muestra.dbf");
  writeSample(p);
  std::string out = runDbfread(py, p, false, dir);
  EXPECT_EQ(out,
            "CODIGO='000123'|NOMBRE='Pe\xC3\xB1" "a Ana'|SUELDO=1500.0|HORAS=-12|INGRESO=datetime.date(2016, 3, 31)|"
            "ACTIVO=True\n"
            "CODIGO='X'|NOMBRE=''|SUELDO=0.01|HORAS=None|INGRESO=None|ACTIVO=False\n"
            "deleted 1\n");
}

TEST(SecondReaders, DbfDumpReadsTablesWeWrite) {
  if (!haveDbfDump()) GTEST_SKIP() << "dbf_dump (libdbd-xbase-perl) no esta instalado";
  ScratchDir dir;
  std::string p = dir.file("muestra.dbf");
  writeSample(p);
  std::string out;
  ASSERT_EQ(testing::runCommand("dbf_dump --fs '|' '" + p + "' 2>&1", &out), 0) << out;
  // dbf_dump prints live records only, values trimmed.
  EXPECT_EQ(out,
            "000123|Pe\xF1" "a Ana|1500|-12|20160331|1\n"
            "X||0.01|||0\n");
  ASSERT_EQ(testing::runCommand("dbf_dump --info '" + p + "' 2>&1", &out), 0);
  EXPECT_NE(out.find("Num of records:\t3"), std::string::npos) << out;
}

// Every table of the fixtures opens and every record reads as dbfread reads it.
TEST(Fixtures, EveryTableOpensAndReadsLikeDbfread) {
  namespace fs = std::filesystem;
  fs::path root = fs::path(testing::sharedDir()) / "fixtures";
  if (!fs::exists(root)) GTEST_SKIP() << "no estan los archivos de prueba en " << root;
  std::string py = pythonWithDbfread();
  ScratchDir dir;
  int tables = 0;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string ext = e.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dbf" && ext != ".dbc") continue;
    ++tables;
    SCOPED_TRACE(e.path().string());
    auto t = Table::openReadOnly(platformFileSystem(), e.path().string());
    ASSERT_TRUE(t.isOk()) << t.status().message();
    Table& tb = **t;
    uint32_t count = tb.recordCount();
    uint32_t walked = 0;
    ASSERT_TRUE(tb.records()([&](uint32_t, std::string_view r) {
      EXPECT_TRUE(r[0] == ' ' || r[0] == '*');
      ++walked;
      return Status::ok();
    }).isOk());
    EXPECT_EQ(walked, count);
    // Live records in order, character fields as raw bytes.
    std::ostringstream mine;
    uint32_t live = 0;
    ASSERT_TRUE(tb.goTop().isOk());
    while (!tb.eof()) {
      ++live;
      bool first = true;
      for (int f = 0; f < tb.fieldCount(); ++f) {
        if (tb.field(f).type != 'C') continue;
        if (!first) mine << '|';
        first = false;
        mine << tb.field(f).name << '=' << hex(tb.str(f));
      }
      mine << '\n';
      ASSERT_TRUE(tb.skip().isOk());
    }
    ASSERT_TRUE(tb.lastError().isOk());
    for (uint32_t n = 1; n <= count; ++n) ASSERT_TRUE(tb.go(n).isOk()) << n;
    if (py.empty()) continue;
    // dbfread, raw: the same character bytes for the same live records.
    std::string out = runDbfread(py, e.path().string(), true, dir);
    std::istringstream lines(out);
    std::ostringstream theirs;
    std::string line;
    uint32_t deleted = 0;
    while (std::getline(lines, line)) {
      if (line.rfind("deleted ", 0) == 0) {
        deleted = static_cast<uint32_t>(std::stoul(line.substr(8)));
        continue;
      }
      std::istringstream parts(line);
      std::string part;
      bool first = true;
      while (std::getline(parts, part, '|')) {
        std::string name = part.substr(0, part.find('='));
        int idx = tb.fieldIndex(name);
        if (idx < 0 || tb.field(idx).type != 'C') continue;
        if (!first) theirs << '|';
        first = false;
        theirs << part;
      }
      theirs << '\n';
    }
    EXPECT_EQ(live + deleted, count);
    EXPECT_EQ(mine.str(), theirs.str());
  }
  EXPECT_GE(tables, 10);
}

TEST(Fixtures, RoomsReadsDespiteItsTerminator) {
  std::string p = testing::sharedDir() + "/fixtures/DBD-XBase/rooms.dbf";
  if (!std::filesystem::exists(p)) GTEST_SKIP() << "no esta " << p;
  auto t = Table::openReadOnly(platformFileSystem(), testing::sharedDir() + "/fixtures/DBD-XBase/ROOMS.DBF");
  ASSERT_TRUE(t.isOk()) << t.status().message();
  EXPECT_EQ((*t)->recordCount(), 42u);
  ASSERT_EQ((*t)->fieldCount(), 2);
  ASSERT_TRUE((*t)->go(2).isOk());
  EXPECT_EQ((*t)->str("roomname"), "Bay  1    ");
  EXPECT_EQ((*t)->str("FACILITY"), "Main      ");
  EXPECT_EQ((*t)->replace("FACILITY", "x").code(), ErrorCode::Invalid);  // read only
}

}  // namespace
}  // namespace planilla

namespace planilla {
namespace {

struct ExpectedTag {
  std::string bag, tag, expr, forExpr, options;
  int keyLength = 0;
  std::vector<std::pair<std::string, uint32_t>> keys;  // hex key, recno in index order
};

// Reads expected_keys.json through python3's json module (no third-party code).
std::vector<ExpectedTag> loadExpected(const std::string& json) {
  std::vector<ExpectedTag> r;
  std::string out;
  std::string cmd =
      "python3 -c \"import json,sys\n"
      "d=json.load(open(sys.argv[1]))\n"
      "for f,tags in d.items():\n"
      "  for t,v in tags.items():\n"
      "    print(f, t, v['keylen'], v['options'], json.dumps(v['expr']), json.dumps(v['forexpr']), sep='\\t')\n"
      "    print(' '.join('%s:%d' % (k, n) for k, n in v['keys']))\n\" '" +
      json + "'";
  if (testing::runCommand(cmd, &out) != 0) return r;
  std::istringstream in(out);
  std::string head, keys;
  while (std::getline(in, head) && std::getline(in, keys)) {
    ExpectedTag e;
    std::istringstream h(head);
    std::string kl;
    std::getline(h, e.bag, '\t');
    std::getline(h, e.tag, '\t');
    std::getline(h, kl, '\t');
    std::getline(h, e.options, '\t');
    std::getline(h, e.expr, '\t');
    std::getline(h, e.forExpr, '\t');
    e.keyLength = std::stoi(kl);
    auto unquote = [](std::string& s) {
      if (s.size() >= 2 && s.front() == '"') s = s.substr(1, s.size() - 2);
    };
    unquote(e.expr);
    unquote(e.forExpr);
    std::istringstream k(keys);
    std::string item;
    while (k >> item) {
      auto colon = item.find(':');
      e.keys.push_back({item.substr(0, colon), static_cast<uint32_t>(std::stoul(item.substr(colon + 1)))});
    }
    r.push_back(std::move(e));
  }
  return r;
}

std::string unhex(const std::string& h) {
  std::string r;
  for (size_t i = 0; i + 1 < h.size(); i += 2) r.push_back(static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return r;
}

// Every tag of every fixture bag, walked and sought through the table cursor: the
// live records come in the order of the expected keys, and each character key is
// found again by seek.
TEST(Fixtures, TagsWalkAndSeekThroughTheCursor) {
  namespace fs = std::filesystem;
  fs::path root = fs::path(testing::sharedDir()) / "fixtures";
  if (!fs::exists(root / "expected_keys.json")) GTEST_SKIP() << "no estan los archivos de prueba en " << root;
  auto expected = loadExpected((root / "expected_keys.json").string());
  if (expected.empty()) GTEST_SKIP() << "python3 no pudo leer expected_keys.json";
  int walked = 0, sought = 0;
  for (const auto& e : expected) {
    SCOPED_TRACE(e.bag + " " + e.tag);
    fs::path bag = root / e.bag;
    std::string ext = bag.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    fs::path table = bag;
    table.replace_extension(ext == ".dcx" ? ".dbc" : ".dbf");
    auto t = Table::openReadOnly(platformFileSystem(), table.string());
    ASSERT_TRUE(t.isOk()) << t.status().message();
    Table& tb = **t;
    ASSERT_TRUE(tb.openIndex(bag.string()).isOk());
    int pos = 0;
    for (int p = 1; p <= tb.tagCount(); ++p)
      if (tb.tagName(p) == e.tag) pos = p;
    ASSERT_GT(pos, 0);
    ASSERT_TRUE(tb.setOrder(pos).isOk());
    std::vector<uint32_t> want, got;
    for (const auto& [key, n] : e.keys) {
      ASSERT_TRUE(tb.go(n).isOk());
      if (!tb.deleted()) want.push_back(n);
    }
    ASSERT_TRUE(tb.goTop().isOk());
    while (!tb.eof()) {
      got.push_back(tb.recno());
      ASSERT_TRUE(tb.skip().isOk()) << tb.lastError().message();
    }
    EXPECT_EQ(got, want);
    ++walked;
    // Seeks on character tags over one field.
    int f = tb.fieldIndex(e.expr);
    if (f < 0 || tb.field(f).type != 'C') continue;
    bool nullable = e.options == "0x62";
    if (e.keyLength != tb.field(f).width + (nullable ? 1 : 0)) continue;
    for (const auto& [key, n] : e.keys) {
      std::string k = unhex(key).substr(nullable ? 1 : 0);
      ASSERT_TRUE(tb.go(n).isOk());
      if (tb.deleted()) continue;
      EXPECT_TRUE(tb.seek(k)) << key;
      EXPECT_EQ(tb.str(f), k);
      ++sought;
    }
  }
  EXPECT_GE(walked, 30);
  EXPECT_GE(sought, 100);
}

}  // namespace
}  // namespace planilla
