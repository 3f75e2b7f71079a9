#include "ui/picture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace planilla::ui {

char upper1252(char ch) {
  auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 32);  // à..þ
  switch (c) {
    case 0x9A: return static_cast<char>(0x8A);  // š
    case 0x9C: return static_cast<char>(0x8C);  // œ
    case 0x9E: return static_cast<char>(0x8E);  // ž
    case 0xFF: return static_cast<char>(0x9F);  // ÿ
    default: return ch;
  }
}

std::string upper1252(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = upper1252(c);
  return out;
}

Picture::Picture(std::string_view picture) : source_(picture) {
  std::string_view rest = picture;
  if (!rest.empty() && rest[0] == '@') {
    size_t end = rest.find(' ');
    std::string_view funcs = rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    for (char f : funcs) {
      if (f == '!') upper_ = true;
      if (f == 'e' || f == 'E') dmy_ = true;
    }
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  mask_ = std::string(rest);
  if (mask_.empty()) return;
  bool allUpper = true;
  bool numeric = true;
  for (char c : mask_) {
    if (c != '!') allUpper = false;
    if (c != '#' && c != '9' && c != ',' && c != '.') numeric = false;
  }
  if (allUpper) upper_ = true;
  numeric_ = numeric && mask_.find_first_of("#9") != std::string::npos;
  if (numeric_) {
    size_t dot = mask_.find('.');
    for (size_t i = 0; i < mask_.size(); ++i) {
      bool digit = mask_[i] == '#' || mask_[i] == '9';
      if (!digit) continue;
      if (dot != std::string::npos && i > dot) ++decimals_;
      else ++intDigits_;
    }
  }
}

std::string Picture::formatNumber(double value) const {
  if (!numeric_) return formatPlain(value, 10, 2);
  const size_t w = mask_.size();
  if (!std::isfinite(value)) return std::string(w, '*');
  double r = roundHalfAway(value, decimals_);
  bool negative = r < 0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals_, std::fabs(r));
  std::string digits(buf);
  std::string intPart = digits, decPart;
  if (size_t p = digits.find('.'); p != std::string::npos) {
    intPart = digits.substr(0, p);
    decPart = digits.substr(p + 1);
  }
  if (intPart == "0" && decimals_ > 0 && intDigits_ == 0) intPart.clear();  // ".50" masks
  if (negative && r == 0) negative = false;
  size_t dot = mask_.find('.');
  size_t intEnd = dot == std::string::npos ? w : dot;  // positions [0, intEnd) hold the integer part
  std::string out(w, ' ');
  // Decimals, left to right after the point.
  if (dot != std::string::npos) {
    out[dot] = '.';
    size_t k = 0;
    for (size_t i = dot + 1; i < w; ++i) {
      if (mask_[i] == '#' || mask_[i] == '9') out[i] = k < decPart.size() ? decPart[k++] : '0';
      else out[i] = mask_[i];
    }
  }
  // Integer digits, right to left; the sign needs one more digit position.
  size_t need = intPart.size() + (negative ? 1 : 0);
  if (need > static_cast<size_t>(intDigits_)) return std::string(w, '*');
  int k = static_cast<int>(intPart.size()) - 1;
  bool signDone = !negative;
  for (int i = static_cast<int>(intEnd) - 1; i >= 0; --i) {
    char m = mask_[static_cast<size_t>(i)];
    if (m == '#' || m == '9') {
      if (k >= 0) {
        out[static_cast<size_t>(i)] = intPart[static_cast<size_t>(k--)];
      } else if (!signDone) {
        out[static_cast<size_t>(i)] = '-';
        signDone = true;
      }
    } else if (m == ',') {
      // Shown only between digits: a digit must follow on the left. The sign takes
      // the place right before the first digit, whatever the mask has there.
      if (k >= 0) {
        out[static_cast<size_t>(i)] = ',';
      } else if (!signDone) {
        out[static_cast<size_t>(i)] = '-';
        signDone = true;
      } else {
        out[static_cast<size_t>(i)] = ' ';
      }
    } else {
      out[static_cast<size_t>(i)] = m;
    }
  }
  return out;
}

std::optional<double> Picture::parseNumber(std::string_view text) const {
  std::string clean;
  for (char c : text) {
    if (c == ' ' || c == ',') continue;
    clean += c;
  }
  if (clean.empty() || clean == "-" || clean == ".") return 0.0;
  size_t i = 0;
  bool negative = false;
  if (clean[0] == '-') {
    negative = true;
    i = 1;
  }
  int intCount = 0, decCount = 0;
  bool seenDot = false;
  for (; i < clean.size(); ++i) {
    char c = clean[i];
    if (c == '.') {
      if (seenDot) return std::nullopt;
      seenDot = true;
    } else if (c >= '0' && c <= '9') {
      (seenDot ? decCount : intCount)++;
    } else {
      return std::nullopt;
    }
  }
  if (numeric_) {
    // Leading zeros do not take positions.
    std::string body = clean.substr(negative ? 1 : 0);
    std::string ip = body.substr(0, body.find('.'));
    size_t nz = ip.find_first_not_of('0');
    int significant = nz == std::string::npos ? 0 : static_cast<int>(ip.size() - nz);
    if (significant > 0 && significant + (negative ? 1 : 0) > intDigits_) return std::nullopt;
    if (decCount > decimals_) return std::nullopt;
  }
  (void)intCount;
  char* end = nullptr;
  double v = std::strtod(clean.c_str(), &end);
  if (end == clean.c_str()) return std::nullopt;
  return v;
}

std::string Picture::applyText(std::string_view text) const {
  if (upper_ && (mask_.empty() || mask_.find_first_not_of('!') == std::string::npos)) {
    return upper1252(text);
  }
  std::string out(text);
  for (size_t i = 0; i < out.size() && i < mask_.size(); ++i) {
    if (mask_[i] == '!') out[i] = upper1252(out[i]);
  }
  return out;
}

namespace {
std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v % 100);
  return b;
}
}  // namespace

std::string Picture::formatDate(const Date& d) const {
  if (d.empty()) return "  /  /    ";
  char y[8];
  std::snprintf(y, sizeof y, "%04d", d.year() % 10000);
  return dmy_ ? two(d.day()) + "/" + two(d.month()) + "/" + y : two(d.month()) + "/" + two(d.day()) + "/" + y;
}

std::optional<Date> Picture::parseDate(std::string_view text) const {
  int parts[3] = {0, 0, 0};
  int counts[3] = {0, 0, 0};
  int p = 0;
  bool any = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (counts[p] >= (p == 2 ? 4 : 2)) return std::nullopt;
      parts[p] = parts[p] * 10 + (c - '0');
      ++counts[p];
      any = true;
    } else if (c == '/' || c == '-' || c == '.') {
      if (++p > 2) return std::nullopt;
    } else if (c != ' ' && c != '_') {
      return std::nullopt;
    }
  }
  if (!any) return Date();
  // The year is typed in full: a two-digit year is refused rather than guessed.
  if (counts[0] == 0 || counts[1] == 0 || counts[2] != 4) return std::nullopt;
  Date d = dmy_ ? Date(parts[2], parts[1], parts[0]) : Date(parts[2], parts[0], parts[1]);
  if (!d.inOperatorRange()) return std::nullopt;
  return d;
}

std::string transform(double value, std::string_view picture) { return Picture(picture).formatNumber(value); }

std::string formatPlain(double value, int width, int decimals) {
  double r = roundHalfAway(value, decimals);
  if (r == 0) r = 0;  // no "-0"
  char buf[64];
  std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, r);
  std::string s(buf);
  if (static_cast<int>(s.size()) > width) return std::string(static_cast<size_t>(width), '*');
  return s;
}

}  // namespace planilla::ui
