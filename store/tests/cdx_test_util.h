// Helpers for the index tests: scratch folders, in-memory tables that feed bulk
// builds and verification, a reader for the shared fixture tables, and a tiny JSON
// reader for the fixtures' expected keys.
#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/dbf_format.h"
#include "store/index.h"
#include "store/tests/temp_dir.h"

namespace planilla::cdxtest {

// A scratch folder named "planilla-cdx-XXXXXX".
struct TempDir : testutil::TempDir {
  TempDir() : testutil::TempDir("planilla-cdx") {}
};

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline int run(const std::string& cmd, std::string* out) {
  out->clear();
#ifdef _WIN32
  // The reference tools (python3, perl, shell pipes) are the build machine's: a
  // Windows test program does as if they were absent, and the tests using them skip.
  (void)cmd;
  return -1;
#else
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  return ::pclose(p);
#endif
}

inline std::string hex(std::string_view s) {
  static const char* d = "0123456789abcdef";
  std::string r;
  for (unsigned char c : s) {
    r += d[c >> 4];
    r += d[c & 15];
  }
  return r;
}

// Records in memory with a layout built from (name, type, width, decimals).
struct MemTable {
  RecordLayout layout;
  uint32_t recordLength = 1;
  std::vector<std::string> records;  // record i has recno i+1

  void addField(const std::string& name, char type, int width, int decimals = 0) {
    FieldLayout f;
    f.name = name;
    f.type = type;
    f.width = width;
    f.decimals = decimals;
    f.offset = recordLength;
    recordLength += static_cast<uint32_t>(width);
    layout.push_back(f);
  }
  const FieldLayout& field(const std::string& name) const {
    for (const auto& f : layout)
      if (f.name == name) return f;
    return layout.front();
  }
  // Appends a blank record and returns its index.
  size_t append() {
    records.emplace_back(recordLength, ' ');
    return records.size() - 1;
  }
  void set(size_t i, const std::string& name, const std::string& text) {
    const FieldLayout& f = field(name);
    std::string v = text.substr(0, static_cast<size_t>(f.width));
    v.resize(static_cast<size_t>(f.width), ' ');
    if (f.type == 'N') {  // right aligned
      std::string t = text.substr(0, static_cast<size_t>(f.width));
      v = std::string(static_cast<size_t>(f.width) - t.size(), ' ') + t;
    }
    records[i].replace(f.offset, static_cast<size_t>(f.width), v);
  }
  void setDeleted(size_t i, bool d) { records[i][0] = d ? '*' : ' '; }
  RecordWalker walker() const {
    return [this](const std::function<Status(uint32_t, std::string_view)>& cb) -> Status {
      for (size_t i = 0; i < records.size(); ++i) PLANILLA_RETURN_IF_ERROR(cb(static_cast<uint32_t>(i + 1), records[i]));
      return Status::ok();
    };
  }
};

// A table of the shared fixtures, read with the engine's dbf decoder.
struct FixtureTable {
  RecordLayout layout;
  std::vector<std::string> records;
  bool ok = false;

  explicit FixtureTable(const std::string& path) {
    std::string bytes = slurp(path);
    dbf::Layout l;
    if (bytes.size() < 32) return;
    dbf::Header h;
    if (!dbf::decodeHeader(std::string_view(bytes).substr(0, 32), &h).isOk()) return;
    if (bytes.size() < h.headerLength) return;
    if (!dbf::decodeLayout(std::string_view(bytes).substr(0, h.headerLength), &l).isOk()) return;
    layout = dbf::recordLayout(l);
    for (uint32_t r = 1; r <= l.header.recordCount; ++r) {
      uint64_t off = dbf::recordOffset(l.header, r);
      if (off + l.header.recordLength > bytes.size()) break;
      records.push_back(bytes.substr(off, l.header.recordLength));
    }
    ok = true;
  }
  RecordWalker walker() const {
    return [this](const std::function<Status(uint32_t, std::string_view)>& cb) -> Status {
      for (size_t i = 0; i < records.size(); ++i) PLANILLA_RETURN_IF_ERROR(cb(static_cast<uint32_t>(i + 1), records[i]));
      return Status::ok();
    };
  }
};

// Just enough JSON for expected_keys.json: objects, arrays, strings, numbers.
struct Json {
  enum Kind { Null, Num, Str, Arr, Obj } kind = Null;
  double num = 0;
  std::string str;
  std::vector<Json> arr;
  std::map<std::string, Json> obj;

  const Json& operator[](const std::string& k) const {
    static const Json none;
    auto it = obj.find(k);
    return it == obj.end() ? none : it->second;
  }

  static bool parse(std::string_view s, size_t& i, Json& out) {
    auto ws = [&] { while (i < s.size() && std::strchr(" \t\r\n", s[i])) ++i; };
    ws();
    if (i >= s.size()) return false;
    char c = s[i];
    if (c == '{') {
      out.kind = Obj;
      ++i;
      ws();
      if (i < s.size() && s[i] == '}') { ++i; return true; }
      while (true) {
        Json k;
        if (!parse(s, i, k) || k.kind != Str) return false;
        ws();
        if (i >= s.size() || s[i] != ':') return false;
        ++i;
        Json v;
        if (!parse(s, i, v)) return false;
        out.obj[k.str] = std::move(v);
        ws();
        if (i < s.size() && s[i] == ',') { ++i; continue; }
        if (i < s.size() && s[i] == '}') { ++i; return true; }
        return false;
      }
    }
    if (c == '[') {
      out.kind = Arr;
      ++i;
      ws();
      if (i < s.size() && s[i] == ']') { ++i; return true; }
      while (true) {
        Json v;
        if (!parse(s, i, v)) return false;
        out.arr.push_back(std::move(v));
        ws();
        if (i < s.size() && s[i] == ',') { ++i; continue; }
        if (i < s.size() && s[i] == ']') { ++i; return true; }
        return false;
      }
    }
    if (c == '"') {
      out.kind = Str;
      ++i;
      while (i < s.size() && s[i] != '"') {
        if (s[i] == '\\' && i + 1 < s.size()) {
          char e = s[i + 1];
          if (e == 'u' && i + 5 < s.size()) {
            unsigned v = static_cast<unsigned>(std::stoul(std::string(s.substr(i + 2, 4)), nullptr, 16));
            if (v < 0x80) out.str += static_cast<char>(v);
            else if (v < 0x800) { out.str += static_cast<char>(0xC0 | (v >> 6)); out.str += static_cast<char>(0x80 | (v & 0x3F)); }
            else { out.str += static_cast<char>(0xE0 | (v >> 12)); out.str += static_cast<char>(0x80 | ((v >> 6) & 0x3F)); out.str += static_cast<char>(0x80 | (v & 0x3F)); }
            i += 6;
            continue;
          }
          out.str += e == 'n' ? '\n' : e == 't' ? '\t' : e;
          i += 2;
          continue;
        }
        out.str += s[i++];
      }
      if (i >= s.size()) return false;
      ++i;
      return true;
    }
    if (c == 'n' && s.substr(i, 4) == "null") { i += 4; out.kind = Null; return true; }
    size_t j = i;
    while (j < s.size() && std::strchr("+-0123456789.eE", s[j])) ++j;
    if (j == i) return false;
    out.kind = Num;
    out.num = std::stod(std::string(s.substr(i, j - i)));
    i = j;
    return true;
  }
};

inline std::string unhex(const std::string& h) {
  std::string r;
  for (size_t i = 0; i + 1 < h.size(); i += 2) r += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
  return r;
}

// Every entry of a tag in its own order, by first() and next().
inline Status walkTag(IndexTag& t, std::vector<IndexEntry>& out) {
  auto r = t.first();
  if (!r) return r.status();
  std::optional<IndexEntry> e = r.value();
  while (e) {
    out.push_back(*e);
    if (out.size() > 50'000'000) return Status::corrupt("sin fin");
    auto n = t.next(*e);
    if (!n) return n.status();
    e = n.value();
  }
  return Status::ok();
}

}  // namespace planilla::cdxtest
