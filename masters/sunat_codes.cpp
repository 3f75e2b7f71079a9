#include "masters/sunat_codes.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "reports/rpv_writer.h"
#include "store/platform.h"
#include "ui/text1252.h"

namespace planilla::masters {

// The shipped texts (UTF-8, generated from masters/data at build time).
extern const char* const kShippedSunatTables;
extern const char* const kShippedUbigeo;

namespace {

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The shipped text as the data directory keeps it: Windows-1252 with CR LF ends.
std::string shipped(const char* utf8) {
  std::string text = ui::utf8To1252(utf8), out;
  out.reserve(text.size() + text.size() / 20);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Each non-blank line without its comment, with its number.
template <class Fn>
Status eachLine(const std::string& text, Fn fn) {
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (size_t hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' ' || raw.back() == '\t')) raw.pop_back();
    size_t start = raw.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    PLANILLA_RETURN_IF_ERROR(fn(raw.substr(start), lineNo));
  }
  return Status::ok();
}

// Splits "word rest of the line".
void split(const std::string& line, std::string& word, std::string& rest) {
  const size_t sp = line.find_first_of(" \t");
  word = line.substr(0, sp);
  rest.clear();
  if (sp == std::string::npos) return;
  const size_t r = line.find_first_not_of(" \t", sp);
  if (r != std::string::npos) rest = line.substr(r);
}

Result<std::string> loadOrCreate(Session& s, const char* name, const char* shippedText) {
  const std::string path = s.path(name);
  Result<std::string> r = readDataText(path, kCodeFileLimit);
  if (r || r.status().code() != ErrorCode::NotFound) return r;
  std::string text = shipped(shippedText);
  PLANILLA_RETURN_IF_ERROR(reports::writeFileAtomically(path, text));
  return text;
}

}  // namespace

const std::vector<CodeEntry>& SunatCodes::table(int n) const {
  static const std::vector<CodeEntry> none;
  auto it = tables.find(n);
  return it == tables.end() ? none : it->second;
}

const CodeEntry* SunatCodes::find(int n, const std::string& code) const {
  for (const CodeEntry& e : table(n))
    if (e.code == code) return &e;
  return nullptr;
}

bool SunatCodes::district(const std::string& code) const { return code.size() == 6 && places.count(code) > 0; }

std::string SunatCodes::placeName(const std::string& code) const {
  if (!district(code)) return "";
  std::string name = places.at(code);
  for (size_t n : {4, 2}) {
    auto it = places.find(code.substr(0, n));
    if (it != places.end()) name += " - " + it->second;
  }
  return name;
}

std::string defaultSunatTablesText() { return shipped(kShippedSunatTables); }
std::string defaultUbigeoText() { return shipped(kShippedUbigeo); }

Result<SunatCodes> parseSunatCodes(const std::string& tablesText, const std::string& ubigeoText) {
  SunatCodes out;
  Status st = eachLine(tablesText, [&](const std::string& line, int lineNo) {
    std::string number, rest, code, name;
    split(line, number, rest);
    split(rest, code, name);
    const int n = allDigits(number) && number.size() <= 2 ? std::stoi(number) : 0;
    if (n < 1 || !allDigits(code) || code.size() > 6 || name.empty())
      return Status::invalid(std::string(kSunatTablesFile) + ", linea " + std::to_string(lineNo) +
                             ": se espera TABLA CODIGO DESCRIPCION (la tabla y el codigo con digitos)");
    out.tables[n].push_back({code, name});
    return Status::ok();
  });
  if (!st) return st;
  st = eachLine(ubigeoText, [&](const std::string& line, int lineNo) {
    std::string code, name;
    split(line, code, name);
    if (!allDigits(code) || (code.size() != 2 && code.size() != 4 && code.size() != 6) || name.empty())
      return Status::invalid(std::string(kUbigeoFile) + ", linea " + std::to_string(lineNo) +
                             ": se espera CODIGO NOMBRE (codigo de 2, 4 o 6 digitos)");
    out.places[code] = name;
    return Status::ok();
  });
  if (!st) return st;
  return out;
}

Result<SunatCodes> loadSunatCodes(Session& s) {
  Result<std::string> tables = loadOrCreate(s, kSunatTablesFile, kShippedSunatTables);
  if (!tables) return tables.status();
  Result<std::string> places = loadOrCreate(s, kUbigeoFile, kShippedUbigeo);
  if (!places) return places.status();
  return parseSunatCodes(tables.value(), places.value());
}

Result<std::string> readDataText(const std::string& path, long limit) {
  // Opened without waiting and checked on the open file: a plain file of sensible
  // size, or nothing is read.
  return platform::readRegularFile(path, limit);
}

}  // namespace planilla::masters
