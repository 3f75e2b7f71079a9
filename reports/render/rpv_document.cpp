#include "reports/render/rpv_document.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <fstream>
#include <functional>

namespace planilla::rpv {

namespace {

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

std::string lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// A signed whole number; blanks allowed around the sign ("+ 50", " -500"). False when
// the text is not a number. Clamped to +-kMaxCoord.
bool parseInt(std::string_view s, int& out) {
  s = trim(s);
  bool neg = false;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
    while (i < s.size() && s[i] == ' ') ++i;
  }
  if (i >= s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.') {  // decimals are dropped ("500.00")
      for (size_t j = i + 1; j < s.size(); ++j)
        if (!std::isdigit(static_cast<unsigned char>(s[j]))) return false;
      break;
    }
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    if (v < 10LL * kMaxCoord) v = v * 10 + (c - '0');
  }
  if (neg) v = -v;
  out = static_cast<int>(std::clamp<long long>(v, -kMaxCoord, kMaxCoord));
  return true;
}

// Comma-separated numbers; false unless exactly `count` numbers are present.
bool parseInts(std::string_view s, size_t count, std::vector<int>& out) {
  out.clear();
  size_t start = 0;
  while (true) {
    size_t comma = s.find(',', start);
    std::string_view part = s.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    int v = 0;
    if (!parseInt(part, v)) return false;
    out.push_back(v);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out.size() == count;
}

Item command(Cmd c) {
  Item it;
  it.cmd = c;
  return it;
}

}  // namespace

void parseGroup(std::string_view group, std::vector<Item>& out) {
  size_t start = 0;
  while (start <= group.size()) {
    size_t semi = group.find(';', start);
    std::string_view raw = group.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start);
    start = semi == std::string_view::npos ? group.size() + 1 : semi + 1;
    std::string_view c = trim(raw);
    if (c.empty()) continue;

    if (c == "\\n") {
      out.push_back(command(Cmd::NewLine));
      continue;
    }
    if (iequals(c, "\\np")) {
      out.push_back(command(Cmd::PageBreak));
      continue;
    }
    if (iequals(c, "e") || iequals(c, "t")) {
      out.push_back(command(Cmd::Cell));
      continue;
    }
    if (c.size() > 2 && c[0] == '$' && (c[1] == 'c' || c[1] == 'C')) {
      Item it = command(Cmd::Stop);
      it.text = lower(trim(c.substr(2)));
      out.push_back(std::move(it));
      continue;
    }
    int number = 0;
    if (parseInt(c, number)) {  // a bare number: offset from the selected stop
      Item it = command(Cmd::Tab);
      it.value = number;
      out.push_back(std::move(it));
      continue;
    }
    size_t eq = c.find('=');
    Item unknown = command(Cmd::Unknown);
    unknown.text = std::string(c);
    if (eq == std::string_view::npos) {
      out.push_back(std::move(unknown));
      continue;
    }
    const std::string key = lower(trim(c.substr(0, eq)));
    const std::string_view val = trim(c.substr(eq + 1));
    Item it;
    bool ok = false;
    if (key == "tab") {
      it.cmd = Cmd::Tab;
      ok = parseInt(val, it.value);
    } else if (key == "a") {
      it.cmd = Cmd::Align;
      if (!val.empty()) {
        char a = static_cast<char>(std::tolower(static_cast<unsigned char>(val[0])));
        if (a == 'l' || a == 'r' || a == 'c') {
          it.ch = a;
          ok = true;
        }
      }
    } else if (key == "b" || key == "u") {
      it.cmd = key == "b" ? Cmd::Bold : Cmd::Underline;
      if (!val.empty()) {
        char v = static_cast<char>(std::tolower(static_cast<unsigned char>(val[0])));
        if (v == 'y' || v == 'n') {
          it.value = v == 'y' ? 1 : 0;
          ok = true;
        }
      }
    } else if (key == "s") {
      it.cmd = Cmd::Size;
      ok = parseInt(val, it.value) && it.value > 0;
      it.value = std::min(it.value, 144);
    } else if (key == "f") {
      it.cmd = Cmd::Font;
      it.text = std::string(val);
      ok = !val.empty();
    } else if (key == "w") {
      it.cmd = Cmd::PenWidth;
      ok = parseInt(val, it.value) && it.value >= 0;
      it.value = std::min(it.value, 100);
    } else if (key == "box" || key == "boxf") {
      it.cmd = key == "box" ? Cmd::Box : Cmd::FilledBox;
      ok = parseInts(val, 4, it.nums);
    } else if (key == "c") {
      it.cmd = Cmd::Color;
      ok = parseInt(val, it.value);
    } else if (key == "pic") {
      it.cmd = Cmd::Picture;
      // The file name is everything before the last four numbers.
      size_t cut = val.size();
      int commas = 0;
      while (cut > 0 && commas < 4) {
        --cut;
        if (val[cut] == ',') ++commas;
      }
      if (commas == 4) {
        it.text = std::string(trim(val.substr(0, cut)));
        ok = !it.text.empty() && parseInts(val.substr(cut + 1), 4, it.nums);
      }
    } else if (key == "line") {
      it.cmd = Cmd::Rule;
      ok = parseInts(val, 2, it.nums);
    }
    out.push_back(ok ? std::move(it) : std::move(unknown));
  }
}

// --- items of a section ----------------------------------------------------------

void ItemReader::flushText() {
  if (run_.empty()) return;
  Item it;
  it.isText = true;
  it.text = std::move(run_);
  run_.clear();
  sink_(std::move(it));
}

void ItemReader::feed(std::string_view piece) {
  for (size_t i = 0; i < piece.size(); ++i) {
    const char c = piece[i];
    if (c == '\r' || c == '\n') continue;
    if (!inGroup_) {
      if (escape_) {
        // "\{", "\}" and "\\" print the character; before anything else the
        // backslash prints itself.
        escape_ = false;
        if (c != '{' && c != '}' && c != '\\') text('\\');
        else {
          text(c);
          continue;
        }
      }
      if (c == '\\')
        escape_ = true;
      else if (c == '{')
        inGroup_ = true;  // the run before it stays open: an unclosed group joins it
      else
        text(c);
      continue;
    }
    if (c == '}') {
      inGroup_ = false;
      flushText();
      parseGroup(group_, items_);
      group_.clear();
      for (Item& it : items_) sink_(std::move(it));
      items_.clear();
    } else if (group_.size() < kMaxGroupBytes) {
      group_.push_back(c);
    } else {
      // Too long for any command: the brace and what followed it are text.
      inGroup_ = false;
      text('{');
      for (char g : group_) text(g);
      group_.clear();
      text(c);
    }
  }
}

void ItemReader::finish() {
  if (escape_) {
    escape_ = false;
    text('\\');
  }
  if (inGroup_) {
    inGroup_ = false;
    text('{');
    for (char g : group_) text(g);
    group_.clear();
  }
  flushText();
}

std::vector<Item> parseSection(std::string_view text) {
  std::vector<Item> items;
  ItemReader r([&](Item&& it) { items.push_back(std::move(it)); });
  r.feed(text);
  r.finish();
  return items;
}

// --- first reading: where the parts lie ---------------------------------------------

void PartsScanner::feed(std::string_view piece) {
  for (size_t i = 0; i < piece.size(); ++i) {
    const char c = piece[i];
    if (c == '\n') {
      endLine(pos_ + i + 1);
      continue;
    }
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    // Section line: the trimmed line is "[Header]" or "[Data]".
    if (blank) {
      if (!word_.empty()) ++blanks_;
    } else if (!long_) {
      if (word_.size() + blanks_ + 1 > 8) {
        long_ = true;
      } else {
        word_.append(blanks_, ' ');
        blanks_ = 0;
        word_.push_back(c);
      }
    }
    // Settings line: a key of letters, digits, "_" or "$" (blanks around it), "=".
    if (keyState_ < 3) {
      const bool keyChar = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
      if (c == '=')
        keyState_ = keyState_ == 0 ? 4 : 3;
      else if (blank)
        keyState_ = keyState_ == 0 ? 0 : 2;
      else if (keyChar && keyState_ < 2)
        keyState_ = 1;
      else
        keyState_ = 4;
    }
  }
  pos_ += piece.size();
}

void PartsScanner::endLine(uint64_t next) {
  if (!dataLine_) {
    const bool isHeader = !long_ && iequals(word_, "[Header]");
    const bool isData = !long_ && iequals(word_, "[Data]");
    if (!headerLine_ && isHeader) {
      headerLine_ = true;
      headerStart_ = lineStart_;
      headerNext_ = next;
    } else if (isData) {
      dataLine_ = true;
      dataStart_ = lineStart_;
      dataNext_ = next;
    }
  }
  if (allSettings_ && keyState_ != 3) {
    allSettings_ = false;
    firstOther_ = lineStart_;
  }
  lineStart_ = next;
  word_.clear();
  blanks_ = 0;
  long_ = false;
  keyState_ = 0;
}

FileParts PartsScanner::finish() {
  if (lineStart_ < pos_) endLine(pos_);  // a last line without line feed
  const uint64_t end = pos_;
  FileParts p;
  if (headerLine_ || dataLine_) {
    p.settingsEnd = headerLine_ ? headerStart_ : dataStart_;
    p.hasHeader = headerLine_;
    p.headerBegin = headerNext_;
    p.headerEnd = dataLine_ ? dataStart_ : end;
    p.bodyBegin = dataLine_ ? dataNext_ : end;
  } else {
    // Without sections the settings are the leading key=value lines (a report without
    // page header goes straight from its settings to its body).
    p.settingsEnd = allSettings_ ? end : firstOther_;
    p.bodyBegin = p.settingsEnd;
  }
  return p;
}

// --- second reading: settings and items ----------------------------------------------

DocumentReader::DocumentReader(const FileParts& parts, Document& head, ItemSink header, ItemSink body)
    : parts_(parts), doc_(head), header_(std::move(header)), body_(std::move(body)) {
  doc_.hasHeader = parts.hasHeader;
}

void DocumentReader::feed(std::string_view piece) {
  const uint64_t a = pos_, b = pos_ + piece.size();
  auto part = [&](uint64_t from, uint64_t to) {
    from = std::max(from, a);
    to = std::min(to, b);
    return from < to ? piece.substr(static_cast<size_t>(from - a), static_cast<size_t>(to - from))
                     : std::string_view();
  };
  if (std::string_view s = part(0, parts_.settingsEnd); !s.empty()) settingsBytes(s);
  if (parts_.hasHeader) {
    if (std::string_view s = part(parts_.headerBegin, parts_.headerEnd); !s.empty()) {
      endSettings();
      header_.feed(s);
    }
  }
  if (std::string_view s = part(parts_.bodyBegin, UINT64_MAX); !s.empty()) {
    endHeader();
    body_.feed(s);
  }
  pos_ = b;
}

void DocumentReader::finish() {
  endHeader();
  body_.finish();
}

void DocumentReader::settingsBytes(std::string_view s) {
  while (!s.empty()) {
    const size_t lf = s.find('\n');
    const std::string_view l = s.substr(0, lf);
    line_.append(l.substr(0, std::min(l.size(), kMaxSettingLine - std::min(line_.size(), kMaxSettingLine))));
    if (lf == std::string_view::npos) break;
    settingLine();
    s.remove_prefix(lf + 1);
  }
}

void DocumentReader::settingLine() {
  const std::string_view l = line_;
  const size_t eq = l.find('=');
  if (eq != std::string_view::npos) {
    std::string key(trim(l.substr(0, eq)));
    std::string value(trim(l.substr(eq + 1)));
    const std::string k = lower(key);
    int n = 0;
    if (k == "report_title") {
      doc_.title = value;
    } else if (k == "papersize") {
      doc_.paper = value;
    } else if (k == "orientation") {
      if (parseInt(value, n)) doc_.orientation = n == 2 ? 2 : 1;
    } else if (k == "spacing") {
      if (parseInt(value, n) && n > 0) doc_.spacing = std::clamp(n, 20, 5000);
    } else if (k.size() > 2 && k[0] == '$' && k[1] == 'c') {
      std::string name = lower(trim(k.substr(2)));
      if (parseInt(value, n) && (doc_.stops.size() < kMaxSettings || doc_.stops.count(name)))
        doc_.stops[name] = n;
    }
    if (doc_.settings.size() < kMaxSettings) doc_.settings.emplace_back(std::move(key), std::move(value));
  }
  line_.clear();
}

void DocumentReader::endSettings() {
  if (settingsDone_) return;
  settingsDone_ = true;
  if (!line_.empty()) settingLine();  // a last settings line without line feed
}

void DocumentReader::endHeader() {
  endSettings();
  if (headerDone_) return;
  headerDone_ = true;
  header_.finish();
}

void readDocument(std::string_view bytes, Document& head, ItemSink header, ItemSink body) {
  PartsScanner scan;
  scan.feed(bytes);
  DocumentReader reader(scan.finish(), head, std::move(header), std::move(body));
  reader.feed(bytes);
  reader.finish();
}

Status readDocumentFile(const std::string& path, Document& head, ItemSink header, ItemSink body) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::notFound("No se puede abrir el reporte " + path);
  std::vector<char> buf(64 * 1024);
  auto pass = [&](const std::function<void(std::string_view)>& feed, const std::function<bool()>& done) {
    while (!done() && in.read(buf.data(), static_cast<std::streamsize>(buf.size())).gcount() > 0) {
      feed(std::string_view(buf.data(), static_cast<size_t>(in.gcount())));
      if (in.eof()) break;
    }
    return !in.bad();
  };
  PartsScanner scan;
  if (!pass([&](std::string_view p) { scan.feed(p); }, [&] { return scan.done(); }))
    return Status::ioError("No se puede leer el reporte " + path);
  const FileParts parts = scan.finish();
  in.clear();
  if (!in.seekg(0)) return Status::ioError("No se puede leer el reporte " + path);
  DocumentReader reader(parts, head, std::move(header), std::move(body));
  if (!pass([&](std::string_view p) { reader.feed(p); }, [] { return false; }))
    return Status::ioError("No se puede leer el reporte " + path);
  reader.finish();
  return Status::ok();
}

Document parseDocument(std::string_view bytes) {
  Document doc;
  readDocument(
      bytes, doc, [&](Item&& it) { doc.header.push_back(std::move(it)); },
      [&](Item&& it) { doc.body.push_back(std::move(it)); });
  return doc;
}

}  // namespace planilla::rpv
