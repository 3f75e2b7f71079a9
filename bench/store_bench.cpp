// Storage engine benchmark against SQLite on the same data, in the same process.
//
//   store_bench [RECORDS] [APPENDS]      (defaults 1000000 and 100000)
//
// Prints each measurement with SQLite's time and the ratio (ours / SQLite); the
// targets are ratios <= 1.0, shared seeks <= 3x exclusive seeks, and resident memory
// under 64 MB after opening a 1,000,000-record table and seeking in it.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/dbf_format.h"
#include "store/io.h"
#include "store/table.h"

using namespace planilla;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "store_bench: %s\n", what.c_str());
  std::exit(1);
}

void check(const Status& st, const char* what) {
  if (!st) die(std::string(what) + ": " + st.message());
}

void sqlCheck(sqlite3* db, int rc, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) die(std::string(what) + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) die(std::string(sql) + ": " + (err ? err : "?"));
}

long residentKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

struct Row {
  char code[11];
  char name[31];
  char mes[3];
  double sueldo;
};

// Codes are a shuffled sequence so that key order and record order differ.
std::vector<Row> makeRows(uint32_t n, uint32_t seed) {
  std::vector<uint32_t> ids(n);
  for (uint32_t i = 0; i < n; ++i) ids[i] = i * 7 + 3;
  std::mt19937 rng(seed);
  std::shuffle(ids.begin(), ids.end(), rng);
  std::vector<Row> rows(n);
  for (uint32_t i = 0; i < n; ++i) {
    std::snprintf(rows[i].code, sizeof rows[i].code, "C%09u", ids[i]);
    std::snprintf(rows[i].name, sizeof rows[i].name, "EMPLEADO %08u APELLIDO", static_cast<unsigned>(rng() % 100000000));
    std::snprintf(rows[i].mes, sizeof rows[i].mes, "%02u", static_cast<unsigned>(1 + i % 12));
    rows[i].sueldo = (rng() % 1000000) / 100.0;
  }
  return rows;
}

const std::vector<FieldSpec> kFields = {
    {"CODIGO", 'C', 10, 0}, {"NOMBRE", 'C', 30, 0}, {"MES", 'C', 2, 0}, {"SUELDO", 'N', 10, 2}};

std::string fieldBytes(const Row& r) {
  std::string b(52, ' ');
  dbf::encodeText(r.code, 10, b.data());
  dbf::encodeText(r.name, 30, b.data() + 10);
  dbf::encodeText(r.mes, 2, b.data() + 40);
  check(dbf::encodeNumber(r.sueldo, 10, 2, b.data() + 42), "numero");
  return b;
}

// Writes the table file in one go through the format code (loading is not measured).
void writeTable(const std::string& path, const std::vector<Row>& rows) {
  auto layout = dbf::layoutFor(kFields, Date(2026, 1, 1));
  if (!layout) die(layout.status().message());
  layout->header.recordCount = static_cast<uint32_t>(rows.size());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string head = dbf::encodeLayout(*layout);
  out.write(head.data(), static_cast<std::streamsize>(head.size()));
  std::string rec;
  for (const auto& r : rows) {
    rec.assign(1, ' ');
    rec += fieldBytes(r);
    out.write(rec.data(), static_cast<std::streamsize>(rec.size()));
  }
  out.put(dbf::kEndOfFile);
}

void loadSqlite(sqlite3* db, const std::vector<Row>& rows) {
  exec(db, "CREATE TABLE t(codigo TEXT, nombre TEXT, mes TEXT, sueldo REAL)");
  exec(db, "BEGIN");
  sqlite3_stmt* ins;
  sqlCheck(db, sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?)", -1, &ins, nullptr), "prepare");
  for (const auto& r : rows) {
    sqlite3_bind_text(ins, 1, r.code, -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 2, r.name, -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 3, r.mes, -1, SQLITE_STATIC);
    sqlite3_bind_double(ins, 4, r.sueldo);
    sqlCheck(db, sqlite3_step(ins), "insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  exec(db, "COMMIT");
}

void report(const char* what, double ours, double theirs) {
  std::printf("%-56s planilla %8.3f s   sqlite %8.3f s   ratio %5.2f %s\n", what, ours, theirs, ours / theirs,
              ours <= theirs ? "" : "(> 1.0)");
}

// Seeks every code of `order` and reads a field of the found record.
double runSeeks(Table& t, const std::vector<Row>& rows, const std::vector<uint32_t>& order, size_t* checksum) {
  auto a = Clock::now();
  size_t sum = 0;
  for (uint32_t i : order) {
    if (!t.seek(rows[i].code)) die(std::string("no se encontro ") + rows[i].code);
    sum += static_cast<unsigned char>(t.str(1)[9]);
  }
  auto b = Clock::now();
  *checksum = sum;
  return seconds(a, b);
}

}  // namespace

// Child process of the memory measurement: open, seek, print resident memory.
int measureMemory(const std::string& tablePath, const std::string& bagPath, uint32_t n) {
  long before = residentKb("VmRSS:");
  auto t = Table::open(platformFileSystem(), tablePath, OpenMode::Shared);
  if (!t) die(t.status().message());
  check((*t)->openIndex(bagPath), "openIndex");
  check((*t)->setOrder(1), "setOrder");
  std::mt19937 rng(3);
  size_t sum = 0;
  for (int i = 0; i < 200000; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "C%09u", static_cast<unsigned>((rng() % n) * 7 + 3));
    if (!(*t)->seek(code)) die(std::string("no se encontro ") + code);
    sum += (*t)->str(1).size();
  }
  long after = residentKb("VmRSS:"), peak = residentKb("VmHWM:");
  std::printf("%-58s %.1f MB (pico %.1f MB; al empezar %.1f MB; objetivo < 64 MB)\n",
              "memoria residente tras abrir y buscar", after / 1024.0, peak / 1024.0, before / 1024.0);
  return sum > 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--memoria")
    return measureMemory(argv[2], argv[3], static_cast<uint32_t>(std::atol(argv[4])));
  const uint32_t n = argc > 1 ? static_cast<uint32_t>(std::atol(argv[1])) : 1000000;
  const uint32_t appends = argc > 2 ? static_cast<uint32_t>(std::atol(argv[2])) : 100000;
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("planilla-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  FileSystem& pfs = platformFileSystem();
  std::printf("planilla store benchmark: %u records, %u appends, folder %s\n", n, appends, dir.c_str());

  const auto rows = makeRows(n, 42);
  const std::string tablePath = (dir / "big.dbf").string();
  const std::string bagPath = (dir / "big.cdx").string();
  writeTable(tablePath, rows);
  sqlite3* db;
  sqlCheck(nullptr, sqlite3_open((dir / "big.sqlite").c_str(), &db), "open");
  exec(db, "PRAGMA journal_mode=WAL");
  exec(db, "PRAGMA synchronous=OFF");
  // A page cache like the index bag's (24 MB), so neither side reads more from the OS.
  exec(db, "PRAGMA cache_size=-24576");
  loadSqlite(db, rows);

  // 1. One C(10) tag over every record vs CREATE INDEX.
  double ourBuild, sqlBuild;
  {
    auto t = Table::open(pfs, tablePath, OpenMode::Exclusive);
    if (!t) die(t.status().message());
    auto a = Clock::now();
    check((*t)->createTag(bagPath, "CODIGO", "CODIGO"), "createTag");
    check((*t)->flush(), "flush");
    ourBuild = seconds(a, Clock::now());
    a = Clock::now();
    exec(db, "CREATE INDEX t_codigo ON t(codigo)");
    sqlBuild = seconds(a, Clock::now());
  }
  report("tag C(10) sobre todos los registros / CREATE INDEX", ourBuild, sqlBuild);

  // 2. Random exact seeks reading the record, exclusive vs prepared indexed SELECT.
  std::vector<uint32_t> order(n);
  for (uint32_t i = 0; i < n; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  double ourSeekX, ourSeekS, sqlSeek;
  size_t sumX = 0, sumS = 0, sumQ = 0;
  {
    auto t = Table::open(pfs, tablePath, OpenMode::Exclusive);
    if (!t) die(t.status().message());
    check((*t)->openIndex(bagPath), "openIndex");
    check((*t)->setOrder(1), "setOrder");
    ourSeekX = runSeeks(**t, rows, order, &sumX);
  }
  {
    sqlite3_stmt* q;
    sqlCheck(db, sqlite3_prepare_v2(db, "SELECT codigo, nombre, mes, sueldo FROM t WHERE codigo = ?", -1, &q, nullptr),
             "prepare");
    auto a = Clock::now();
    for (uint32_t i : order) {
      sqlite3_bind_text(q, 1, rows[i].code, 10, SQLITE_STATIC);
      if (sqlite3_step(q) != SQLITE_ROW) die("sqlite: fila no encontrada");
      const unsigned char* name = sqlite3_column_text(q, 1);
      sumQ += name[9];
      sqlite3_reset(q);
    }
    sqlSeek = seconds(a, Clock::now());
    sqlite3_finalize(q);
  }
  report("seeks exactos leyendo el registro (exclusivo) / SELECT", ourSeekX, sqlSeek);
  {
    auto t = Table::open(pfs, tablePath, OpenMode::Shared);
    if (!t) die(t.status().message());
    check((*t)->openIndex(bagPath), "openIndex");
    check((*t)->setOrder(1), "setOrder");
    ourSeekS = runSeeks(**t, rows, order, &sumS);
  }
  report("seeks en tabla compartida / SELECT", ourSeekS, sqlSeek);
  std::printf("%-58s compartido/exclusivo %.2f (objetivo <= 3.0)\n", "seeks compartidos", ourSeekS / ourSeekX);
  if (sumX != sumS || sumX != sumQ) die("las lecturas no coinciden");

  // 3. Appends to a shared table with two tags, each under its locks, vs SQLite
  //    inserts with two indexes, one transaction per row, WAL, synchronous=OFF.
  double ourAppend, sqlAppend;
  {
    const auto more = makeRows(appends, 99);
    const std::string small = (dir / "altas.dbf").string();
    const std::string smallBag = (dir / "altas.cdx").string();
    check(Table::create(pfs, small, kFields), "create");
    {
      auto t = Table::open(pfs, small, OpenMode::Exclusive);
      if (!t) die(t.status().message());
      check((*t)->createTag(smallBag, "CODIGO", "CODIGO"), "tag");
      check((*t)->createTag(smallBag, "MESCOD", "MES+CODIGO"), "tag");
    }
    auto t = Table::open(pfs, small, OpenMode::Shared);
    if (!t) die(t.status().message());
    check((*t)->openIndex(smallBag), "openIndex");
    std::vector<std::string> images;
    images.reserve(more.size());
    for (const auto& r : more) images.push_back(fieldBytes(r));
    auto a = Clock::now();
    for (const auto& img : images) {
      check((*t)->appendRaw(img), "append");
      (*t)->unlockAll();
    }
    ourAppend = seconds(a, Clock::now());
    if ((*t)->recordCount() != appends) die("faltan registros");

    exec(db, "CREATE TABLE a(codigo TEXT, nombre TEXT, mes TEXT, sueldo REAL)");
    exec(db, "CREATE INDEX a_codigo ON a(codigo)");
    exec(db, "CREATE INDEX a_mescod ON a(mes, codigo)");
    sqlite3_stmt* ins;
    sqlCheck(db, sqlite3_prepare_v2(db, "INSERT INTO a VALUES(?,?,?,?)", -1, &ins, nullptr), "prepare");
    sqlite3_stmt* begin;
    sqlite3_stmt* commit;
    sqlCheck(db, sqlite3_prepare_v2(db, "BEGIN", -1, &begin, nullptr), "prepare");
    sqlCheck(db, sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr), "prepare");
    a = Clock::now();
    for (const auto& r : more) {
      sqlCheck(db, sqlite3_step(begin), "begin");
      sqlite3_reset(begin);
      sqlite3_bind_text(ins, 1, r.code, -1, SQLITE_STATIC);
      sqlite3_bind_text(ins, 2, r.name, -1, SQLITE_STATIC);
      sqlite3_bind_text(ins, 3, r.mes, -1, SQLITE_STATIC);
      sqlite3_bind_double(ins, 4, r.sueldo);
      sqlCheck(db, sqlite3_step(ins), "insert");
      sqlite3_reset(ins);
      sqlCheck(db, sqlite3_step(commit), "commit");
      sqlite3_reset(commit);
    }
    sqlAppend = seconds(a, Clock::now());
    sqlite3_finalize(ins);
    sqlite3_finalize(begin);
    sqlite3_finalize(commit);
  }
  report("altas en tabla compartida, 2 tags / INSERT 1 transaccion", ourAppend, sqlAppend);
  sqlite3_close(db);

  // 4. Resident memory of a fresh process that opens the big table and seeks in it.
  std::fflush(stdout);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::string count = std::to_string(n);
    ::execl("/proc/self/exe", argv[0], "--memoria", tablePath.c_str(), bagPath.c_str(), count.c_str(),
            static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die("fallo la medida de memoria");

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
