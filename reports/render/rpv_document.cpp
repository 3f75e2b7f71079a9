#include "reports/render/rpv_document.h"

#include <algorithm>
#include <cctype>
#include <climits>
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

// "Key=value" with a key of letters, digits, "_" or "$" (no markup before the "=").
bool isSettingLine(std::string_view l) {
  size_t eq = l.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view key = trim(l.substr(0, eq));
  if (key.empty()) return false;
  for (char c : key)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$') return false;
  return true;
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

std::vector<Item> parseSection(std::string_view text) {
  std::vector<Item> items;
  forEachItem(text, [&](Item&& it) { items.push_back(std::move(it)); });
  return items;
}

void forEachItem(std::string_view text, const std::function<void(Item&&)>& sink) {
  std::vector<Item> items;
  std::string run;
  auto flushText = [&] {
    if (!run.empty()) {
      Item it;
      it.isText = true;
      it.text = std::move(run);
      sink(std::move(it));
      run.clear();
    }
  };
  auto flushGroup = [&] {
    for (Item& it : items) sink(std::move(it));
    items.clear();
  };
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '{') {
      size_t close = text.find('}', i + 1);
      if (close == std::string_view::npos) {  // unclosed: the rest is text
        for (size_t j = i; j < text.size(); ++j)
          if (text[j] != '\r' && text[j] != '\n') run.push_back(text[j]);
        break;
      }
      flushText();
      std::string group;
      for (size_t j = i + 1; j < close; ++j)
        if (text[j] != '\r' && text[j] != '\n') group.push_back(text[j]);
      parseGroup(group, items);
      flushGroup();
      i = close + 1;
      continue;
    }
    if (c != '\r' && c != '\n') run.push_back(c);
    ++i;
  }
  flushText();
}

Document parseDocument(std::string_view bytes) {
  std::string body;
  Document doc = parseHead(bytes, &body);
  doc.body = parseSection(body);
  return doc;
}

Document parseHead(std::string_view bytes, std::string* bodyText) {
  Document doc;
  // Split into file lines (LF, with an optional CR before it).
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    std::string_view l = bytes.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    lines.push_back(l);
    start = end + 1;
  }
  size_t headerAt = lines.size(), dataAt = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view t = trim(lines[i]);
    if (headerAt == lines.size() && dataAt == lines.size() && iequals(t, "[Header]")) {
      headerAt = i;
    } else if (dataAt == lines.size() && iequals(t, "[Data]")) {
      dataAt = i;
      break;
    }
  }
  size_t settingsEnd = std::min(headerAt, dataAt);
  const bool noSections = settingsEnd == lines.size();
  if (noSections) {
    // Without sections the settings are the leading key=value lines (a report without
    // page header goes straight from its settings to its body).
    settingsEnd = 0;
    while (settingsEnd < lines.size() && isSettingLine(lines[settingsEnd])) ++settingsEnd;
  }

  for (size_t i = 0; i < settingsEnd; ++i) {
    std::string_view l = lines[i];
    size_t eq = l.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key(trim(l.substr(0, eq)));
    std::string value(trim(l.substr(eq + 1)));
    doc.settings.emplace_back(key, value);
    std::string k = lower(key);
    int n = 0;
    if (k == "report_title") {
      doc.title = value;
    } else if (k == "papersize") {
      doc.paper = value;
    } else if (k == "orientation") {
      if (parseInt(value, n)) doc.orientation = n == 2 ? 2 : 1;
    } else if (k == "spacing") {
      if (parseInt(value, n) && n > 0) doc.spacing = std::clamp(n, 20, 5000);
    } else if (k.size() > 2 && k[0] == '$' && k[1] == 'c') {
      if (parseInt(value, n)) doc.stops[lower(trim(k.substr(2)))] = n;
    }
  }

  auto join = [&](size_t from, size_t to) {
    std::string s;
    for (size_t i = from; i < to && i < lines.size(); ++i) s.append(lines[i]);
    return s;
  };
  if (headerAt < lines.size() && headerAt < dataAt) {
    doc.hasHeader = true;
    doc.header = parseSection(join(headerAt + 1, dataAt));
  }
  if (dataAt < lines.size())
    *bodyText = join(dataAt + 1, lines.size());
  else if (noSections)
    *bodyText = join(settingsEnd, lines.size());
  else
    bodyText->clear();
  return doc;
}

}  // namespace planilla::rpv
