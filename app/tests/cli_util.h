// Helpers of the tests that run the `planilla` executable on a data directory: a run
// with its exit code and both outputs, the live records of every table of a folder
// for comparisons, and a demonstration installation made by `planilla init`.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "store/io.h"
#include "store/table.h"

namespace planilla::testing {

inline std::string planillaBinary() { return PLANILLA_BIN; }

// Single quotes for the shell.
inline std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Run {
  int code = -1;  // exit code; 128 + signal when killed
  std::string out, err;
};

// Runs `planilla ARGS` in `dir` with the demo's password in the environment (but for
// `init`, which refuses one). `before` goes in front of the executable (a tracer).
// The outputs pass through files beside `dir`, never inside it.
inline Run runPlanilla(const std::string& dir, const std::vector<std::string>& args,
                       const std::string& before = "") {
  const std::string outFile = dir + ".out", errFile = dir + ".err";
  const bool logsIn = args.empty() || args[0] != "init";
  std::string cmd = "cd " + quoted(dir) + " && " + (logsIn ? "PLANILLA_CLAVE=planilla " : "") + before + " " +
                    quoted(planillaBinary());
  for (const auto& a : args) cmd += " " + quoted(a);
  cmd += " >" + quoted(outFile) + " 2>" + quoted(errFile);
  Run r;
  int st = std::system(cmd.c_str());
  if (st != -1 && WIFEXITED(st)) r.code = WEXITSTATUS(st);
  if (st != -1 && WIFSIGNALED(st)) r.code = 128 + WTERMSIG(st);
  r.out = slurp(outFile);
  r.err = slurp(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return r;
}

// What an append cut before the header's count moved leaves: a copy of the last
// record, and the end-of-file mark, past the count.
inline void appendPastCount(const std::string& table) {
  std::string bytes = slurp(table);
  auto u16 = [&](size_t i) { return size_t(uint8_t(bytes[i])) | size_t(uint8_t(bytes[i + 1])) << 8; };
  const size_t count = u16(4) | u16(6) << 16, headerLength = u16(8), recordLength = u16(10);
  const size_t end = headerLength + count * recordLength;
  bytes = bytes.substr(0, end) + bytes.substr(end - recordLength, recordLength) + "\x1a";
  std::ofstream(table, std::ios::binary | std::ios::trunc) << bytes;
}

// The live records of every table of `dir`, by lower-case file name, in record order,
// read straight from the files (the header's count decides; indexes are not used).
// The logs are left out (see below).
inline std::map<std::string, std::vector<std::string>> liveRecords(const std::string& dir) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dbf") != 0) continue;
    // The run register and the change log say when and on which station things ran:
    // no two runs leave the same records there.
    if (name.compare(0, 5, "rproc") == 0 || name.compare(0, 5, "bitac") == 0) continue;
    std::vector<std::string>& rows = out[name];
    auto t = Table::openReadOnly(platformFileSystem(), e.path().string());
    if (!t) {
      rows.push_back("ilegible: " + t.status().message());
      continue;
    }
    Status st = (*t)->records()([&](uint32_t, std::string_view r) {
      if (r[0] != '*') rows.emplace_back(r);
      return Status::ok();
    });
    if (!st) rows.push_back("ilegible: " + st.message());
  }
  return out;
}

// The tables whose live records differ, by name ("" when none).
inline std::string differingTables(const std::map<std::string, std::vector<std::string>>& a,
                                   const std::map<std::string, std::vector<std::string>>& b) {
  std::string names;
  for (const auto& [name, rows] : a) {
    auto it = b.find(name);
    if (it == b.end() || it->second != rows) names += name + " ";
  }
  for (const auto& [name, rows] : b)
    if (!a.count(name)) names += name + " ";
  return names;
}

}  // namespace planilla::testing
