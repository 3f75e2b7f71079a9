#include "ui/toolkit.h"

#include "ui/dialogs.h"
#include "ui/text1252.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace planilla::ui {

// --- accessors ---------------------------------------------------------------------------
Accessor ref(std::string& v) {
  return {[&v] { return Value(v); },
          [&v](const Value& x) {
            if (auto* s = std::get_if<std::string>(&x)) v = *s;
          }};
}
Accessor ref(double& v) {
  return {[&v] { return Value(v); },
          [&v](const Value& x) {
            if (auto* d = std::get_if<double>(&x)) v = *d;
          }};
}
Accessor ref(int& v) {
  return {[&v] { return Value(static_cast<double>(v)); },
          [&v](const Value& x) {
            if (auto* d = std::get_if<double>(&x)) v = static_cast<int>(std::lround(*d));
          }};
}
Accessor ref(Date& v) {
  return {[&v] { return Value(v); },
          [&v](const Value& x) {
            if (auto* d = std::get_if<Date>(&x)) v = *d;
          }};
}
Accessor ref(bool& v) {
  return {[&v] { return Value(v); },
          [&v](const Value& x) {
            if (auto* b = std::get_if<bool>(&x)) v = *b;
          }};
}

namespace {
std::string rtrim(std::string_view s) {
  size_t e = s.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string() : std::string(s.substr(0, e + 1));
}
std::string plainCaption(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c != '&') out += c;
  }
  size_t b = out.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : rtrim(out.substr(b));
}
bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (upper1252(s[i]) != upper1252(prefix[i])) return false;
  }
  return true;
}
}  // namespace

// --- Control -----------------------------------------------------------------------------
void Control::setEnabled(bool on) {
  enabled_ = on;
  changed();
}
void Control::setColors(Color fg, Color bg) {
  fg_ = fg, bg_ = bg;
  changed();
}
void Control::setTooltip(std::string text) {
  tooltip_ = std::move(text);
  changed();
}
void Control::setCaption(std::string text) {
  caption_ = std::move(text);
  changed();
}
void Control::refresh() { changed(); }
bool Control::setFocus() { return dialog_->moveFocus(this); }

// --- Label -------------------------------------------------------------------------------
Label& Label::text(std::string t) {
  fn_ = nullptr;
  shown_ = std::move(t);
  hasText_ = true;
  changed();
  return *this;
}
Label& Label::text(std::function<std::string()> fn) {
  fn_ = std::move(fn);
  hasText_ = true;
  refresh();
  return *this;
}
Label& Label::font(std::string family, int width, int height) {
  fontFamily_ = std::move(family);
  fontWidth_ = width, fontHeight_ = height;
  changed();
  return *this;
}
void Label::refresh() {
  if (fn_) shown_ = fn_();
  else if (!hasText_) shown_ = caption();
  changed();
}

// --- Field -------------------------------------------------------------------------------
Field::Field(Dialog& d, int id, Accessor a) : Control(Kind::Field, d, id), acc_(std::move(a)) {
  Value v = acc_.get ? acc_.get() : Value(std::string());
  switch (v.index()) {
    case 0: type_ = Type::Text, width_ = static_cast<int>(std::get<std::string>(v).size()); break;
    case 1: type_ = Type::Number, width_ = 12; break;
    case 2: type_ = Type::Date, width_ = 10; break;
    default: type_ = Type::Logical, width_ = 1; break;
  }
  text_ = format(v);
}

Field& Field::picture(std::string_view p) {
  picture_ = Picture(p);
  if (type_ == Type::Number && picture_.numeric()) {
    width_ = picture_.width();
    maxDec_ = -1;  // the picture's decimals (see column())
  }
  if (type_ == Type::Text && !picture_.mask().empty() && picture_.mask().find_first_not_of('!') == std::string::npos &&
      width_ == 0) {
    width_ = static_cast<int>(picture_.mask().size());
  }
  refresh();
  return *this;
}
Field& Field::valid(std::function<bool()> fn) {
  valid_ = std::move(fn);
  return *this;
}
Field& Field::when(std::function<bool()> fn) {
  when_ = std::move(fn);
  changed();
  return *this;
}
Field& Field::readOnly(bool on) {
  readOnly_ = on;
  changed();
  return *this;
}
Field& Field::password(bool on) {
  password_ = on;
  changed();
  return *this;
}
Field& Field::onKey(std::function<void(int)> fn) {
  onKey_ = std::move(fn);
  return *this;
}

Field& Field::lookup(std::function<void()> fn) {
  lookup_ = std::move(fn);
  return *this;
}

Field& Field::column(const Table& t, std::string_view name) {
  int i = t.fieldIndex(name);
  const RecordLayout& lay = t.recordLayout();
  if (i < 0 || static_cast<size_t>(i) >= lay.size()) return *this;
  const FieldLayout& f = lay[static_cast<size_t>(i)];
  if (type_ == Type::Text) {
    if (width_ <= 0 || width_ > f.width) width_ = f.width;
    if (acc_.get) {
      // The variable keeps the width the table holds.
      Value v = acc_.get();
      if (auto* str = std::get_if<std::string>(&v); str && static_cast<int>(str->size()) > width_ && acc_.set) {
        acc_.set(str->substr(0, static_cast<size_t>(width_)));
      }
    }
  } else if (type_ == Type::Number && (f.type == 'N' || f.type == 'F')) {
    // A sign and the point take positions of the field too.
    maxDec_ = picture_.numeric() ? -1 : f.decimals;
    maxInt_ = std::max(1, f.width - (f.decimals > 0 ? f.decimals + 1 : 0));
  }
  refresh();
  return *this;
}

bool Field::fitsColumn(std::string_view text) const {
  if (maxInt_ < 0 && maxDec_ < 0) return true;
  int ints = 0, decs = 0;
  bool dot = false, sign = false, lead = true;
  for (char c : text) {
    if (c == '-') sign = true;
    else if (c == '.') dot = true;
    else if (c >= '0' && c <= '9') {
      if (dot) ++decs;
      else if (!(lead && c == '0')) ++ints, lead = false;
    }
  }
  if (maxInt_ >= 0 && ints + (sign ? 1 : 0) > maxInt_) return false;
  if (maxDec_ >= 0 && decs > maxDec_) return false;
  return true;
}

bool Field::focusable() const { return enabled() && (!when_ || when_()); }
bool Field::editable() const { return focusable() && !readOnly_; }

std::string Field::format(const Value& v) const {
  switch (v.index()) {
    case 0: return rtrim(picture_.applyText(std::get<std::string>(v)));
    case 1: {
      double d = std::get<double>(v);
      return picture_.numeric() ? picture_.formatNumber(d) : formatPlain(d, width_, 2);
    }
    case 2: return picture_.formatDate(std::get<Date>(v));
    default: return std::get<bool>(v) ? "T" : "F";
  }
}

bool Field::type(std::string_view text) {
  if (!editable()) return false;
  const std::string before = text_;
  switch (type_) {
    case Type::Text: {
      // Text wider than the field is refused whole, as the keys beyond its width are:
      // nothing typed is cut without the operator seeing it.
      std::string t = rtrim(picture_.applyText(text));
      if (width_ > 0 && static_cast<int>(t.size()) > width_) return false;
      text_ = t;
      break;
    }
    case Type::Number: {
      if (!picture_.parseNumber(text) || !fitsColumn(text)) return false;
      text_ = std::string(text);
      break;
    }
    case Type::Date: {
      if (text.size() > 10) return false;
      for (char c : text) {
        if (!(c >= '0' && c <= '9') && c != '/' && c != ' ') return false;
      }
      text_ = std::string(text);
      break;
    }
    case Type::Logical: {
      if (text.size() > 1) return false;
      char c = text.empty() ? 'F' : upper1252(text[0]);
      if (c != 'T' && c != 'F' && c != 'S' && c != 'N' && c != 'Y') return false;
      text_ = std::string(1, c);
      break;
    }
  }
  if (text_ != before) dialog().noteChange();
  changed();
  return true;
}

void Field::keyDown(int code) {
  if (!onKey_ || !editable()) return;
  onKey_(code >= 32 && code <= 255 ? static_cast<unsigned char>(upper1252(static_cast<char>(code))) : code);
}

bool Field::key(int code) {
  if (!editable()) return false;
  keyDown(code);
  if (code == 8) {  // backspace
    std::string t = text_;
    if (!t.empty()) t.pop_back();
    return type(t);
  }
  if (code < 32 || code > 255) return true;
  std::string t = text_;
  if (type_ == Type::Text && width_ > 0 && static_cast<int>(t.size()) >= width_) return false;  // field full
  t += static_cast<char>(code);
  return type(t);
}

bool Field::leave() {
  if (!editable()) return true;
  if (!store()) return false;
  owed_ = false;
  if (valid_ && !valid_()) return false;
  return true;
}

bool Field::store() {
  if (!editable()) return true;
  // Untouched text is not stored back: a value the operator did not change keeps
  // every digit it had (the display may have rounded it).
  if (acc_.get && text_ == format(acc_.get())) return true;
  Value v;
  switch (type_) {
    case Type::Text: {
      std::string t = text_;
      if (static_cast<int>(t.size()) < width_) t.append(static_cast<size_t>(width_) - t.size(), ' ');
      v = picture_.applyText(t);
      break;
    }
    case Type::Number: {
      auto n = picture_.parseNumber(text_);
      v = n ? *n : 0.0;
      break;
    }
    case Type::Date: {
      auto d = picture_.parseDate(text_);
      if (!d) {
        dialog().toolkit().show(MsgKind::Stop, "Fecha No Valida", "Mensaje");
        return false;
      }
      v = *d;
      break;
    }
    case Type::Logical: {
      char c = text_.empty() ? 'F' : text_[0];
      v = c == 'T' || c == 'S' || c == 'Y';
      break;
    }
  }
  if (acc_.set) acc_.set(v);
  refresh();
  return true;
}

void Field::refresh() {
  if (acc_.get) text_ = format(acc_.get());
  changed();
}

// --- Button ------------------------------------------------------------------------------
Button::Button(Dialog& d, int id, std::function<void()> action)
    : Control(Kind::Button, d, id), action_(std::move(action)) {}

Button& Button::image(std::string name, bool textRight) {
  image_ = std::move(name);
  textRight_ = textRight;
  changed();
  return *this;
}
Button& Button::action(std::function<void()> fn) {
  action_ = std::move(fn);
  return *this;
}
Button& Button::cancel(bool on) {
  cancel_ = on;
  return *this;
}
Button& Button::defaultButton(bool on) {
  default_ = on;
  changed();
  return *this;
}
Button& Button::caption(std::string text) {
  setCaption(std::move(text));
  cancel_ = startsWithNoCase(Control::caption(), "&Cancel");
  return *this;
}

bool Button::press() {
  if (!enabled()) return false;
  Dialog& d = dialog();
  // Leaving the field validates it; the focus itself stays where the operator was.
  if (!cancel_ && d.focus() != this && !d.validateFocused()) return false;
  if (!cancel_ && !d.validateOwed()) return false;
  // Cancelling a form with changes asks first ("No" keeps the form).
  if (cancel_ && action_ && !d.mayDiscard()) return false;
  if (action_) action_();
  return true;
}

char Button::mnemonic() const {
  const std::string& c = caption();
  for (size_t i = 0; i + 1 < c.size(); ++i) {
    if (c[i] == '&' && c[i + 1] != '&') return upper1252(c[i + 1]);
  }
  return barMnemonic_;
}

// --- Image -------------------------------------------------------------------------------
Image::Image(Dialog& d, int id, std::string name, std::function<void()> onClick)
    : Control(Kind::Image, d, id), name_(std::move(name)), onClick_(std::move(onClick)) {}

bool Image::click() {
  // A picture does not take the focus: the field being edited keeps it and is not
  // validated (the lookup beside a code field runs with the code as typed).
  if (!enabled() || !onClick_) return false;
  onClick_();
  return true;
}

// --- Combo -------------------------------------------------------------------------------
Combo::Combo(Dialog& d, int id, Accessor a, std::vector<std::string> items, std::vector<std::string> values)
    : Control(Kind::Combo, d, id), acc_(std::move(a)), items_(std::move(items)), values_(std::move(values)) {
  refresh();
}
Combo& Combo::onChange(std::function<void()> fn) {
  onChange_ = std::move(fn);
  return *this;
}
Combo& Combo::valid(std::function<bool()> fn) {
  valid_ = std::move(fn);
  return *this;
}
bool Combo::choose(int index) {
  if (!enabled() || index < 0 || index >= static_cast<int>(items_.size())) return false;
  if (current_ != index) dialog().noteChange();
  current_ = index;
  const std::string& v = values_.empty() ? items_[static_cast<size_t>(index)] : values_[static_cast<size_t>(index)];
  if (acc_.get && acc_.set) {
    Value old = acc_.get();
    if (auto* s = std::get_if<std::string>(&old)) {
      std::string nv = v;
      // A fixed-width variable keeps its width (cut or padded).
      if (!s->empty()) nv.resize(s->size(), ' ');
      acc_.set(nv);
    } else if (std::holds_alternative<double>(old)) {
      acc_.set(static_cast<double>(index + 1));
    }
  }
  changed();
  if (onChange_) onChange_();
  return true;
}
bool Combo::choose(std::string_view item) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (rtrim(items_[i]) == rtrim(item)) return choose(static_cast<int>(i));
  }
  return false;
}
bool Combo::leave() { return !valid_ || valid_(); }
void Combo::refresh() {
  current_ = -1;
  if (acc_.get) {
    Value v = acc_.get();
    if (auto* s = std::get_if<std::string>(&v)) {
      const auto& keys = values_.empty() ? items_ : values_;
      for (size_t i = 0; i < keys.size(); ++i) {
        if (rtrim(keys[i]) == rtrim(*s) && !rtrim(*s).empty()) {
          current_ = static_cast<int>(i);
          break;
        }
      }
    } else if (auto* d = std::get_if<double>(&v)) {
      int k = static_cast<int>(std::lround(*d)) - 1;
      if (k >= 0 && k < static_cast<int>(items_.size())) current_ = k;
    }
  }
  changed();
}

// --- RadioGroup / CheckBox -----------------------------------------------------------------
RadioGroup::RadioGroup(Dialog& d, std::vector<int> ids, Accessor a)
    : Control(Kind::Radio, d, ids.empty() ? 0 : ids.front()), ids_(std::move(ids)), acc_(std::move(a)) {
  refresh();
}
RadioGroup& RadioGroup::onChange(std::function<void()> fn) {
  onChange_ = std::move(fn);
  return *this;
}
bool RadioGroup::choose(int index1) {
  if (!enabled() || index1 < 1 || index1 > static_cast<int>(ids_.size())) return false;
  if (value_ != index1) dialog().noteChange();
  value_ = index1;
  if (acc_.set) acc_.set(static_cast<double>(index1));
  changed();
  if (onChange_) onChange_();
  return true;
}
bool RadioGroup::chooseId(int id) {
  for (size_t i = 0; i < ids_.size(); ++i) {
    if (ids_[i] == id) return choose(static_cast<int>(i) + 1);
  }
  return false;
}
void RadioGroup::refresh() {
  value_ = 0;
  if (acc_.get) {
    Value v = acc_.get();
    if (auto* d = std::get_if<double>(&v)) value_ = static_cast<int>(std::lround(*d));
  }
  changed();
}

CheckBox::CheckBox(Dialog& d, int id, Accessor a) : Control(Kind::Check, d, id), acc_(std::move(a)) { refresh(); }
CheckBox& CheckBox::onChange(std::function<void()> fn) {
  onChange_ = std::move(fn);
  return *this;
}
bool CheckBox::set(bool on) {
  if (!enabled()) return false;
  if (checked_ != on) dialog().noteChange();
  checked_ = on;
  if (acc_.set) acc_.set(on);
  changed();
  if (onChange_) onChange_();
  return true;
}
void CheckBox::refresh() {
  if (acc_.get) {
    Value v = acc_.get();
    if (auto* b = std::get_if<bool>(&v)) checked_ = *b;
  }
  changed();
}

// --- Browse ------------------------------------------------------------------------------
Browse::Browse(Dialog& d, int id, Table& table) : Control(Kind::Browse, d, id), table_(&table) {}

Browse& Browse::headers(std::vector<std::string> h) {
  headers_ = std::move(h);
  changed();
  return *this;
}
Browse& Browse::widths(std::vector<int> pixels) {
  widths_ = std::move(pixels);
  changed();
  return *this;
}
Browse& Browse::aligns(std::vector<Align> a) {
  aligns_ = std::move(a);
  changed();
  return *this;
}
Browse& Browse::line(std::function<std::vector<std::string>()> fn) {
  line_ = std::move(fn);
  resetCache();
  return *this;
}
Browse& Browse::onDoubleClick(std::function<void()> fn) {
  onDouble_ = std::move(fn);
  return *this;
}
Browse& Browse::columnMoving(bool on) {
  moving_ = on;
  return *this;
}
Browse& Browse::wholeRowCursor(bool on) {
  rowCursor_ = on;
  return *this;
}
Browse& Browse::rowColors(std::function<std::optional<std::pair<Color, Color>>()> fn) {
  rowColor_ = std::move(fn);
  resetCache();
  return *this;
}

size_t Browse::columnCount() const { return std::max(headers_.size(), widths_.size()); }

Browse& Browse::filter(std::function<bool()> fn) {
  filter_ = std::move(fn);
  resetCache();
  return *this;
}
Browse& Browse::nameColumn(int col) {
  nameCol_ = col;
  return *this;
}
Browse& Browse::sortTags(std::vector<std::string> tags) {
  sortTags_ = std::move(tags);
  return *this;
}
Browse& Browse::totals(std::vector<int> cols) {
  totalCols_ = std::move(cols);
  totalsGen_ = ~uint64_t{0};
  changed();
  return *this;
}
Browse& Browse::exportName(std::string name) {
  exportName_ = std::move(name);
  return *this;
}

namespace {
// A header as a tag would be named: its letters and digits, lower case.
std::string headerKey(std::string_view h) {
  std::string k;
  for (char c : h) {
    if (std::isalnum(static_cast<unsigned char>(c))) k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return k;
}
std::string lowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

int Browse::nameColumnIndex() const {
  if (nameCol_ != -2) return nameCol_;
  for (size_t i = 0; i < headers_.size(); ++i) {
    if (headerKey(headers_[i]).find("nombre") != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

int Browse::sortTag(size_t col) const {
  std::string want;
  if (col < sortTags_.size()) {
    want = lowerAscii(sortTags_[col]);
  } else if (sortTags_.empty() && col < headers_.size()) {
    want = headerKey(headers_[col]);
    if (static_cast<int>(col) == nameColumnIndex()) want = "nombre";
  }
  if (want.empty()) return 0;
  for (int i = 1; i <= table_->tagCount(); ++i) {
    if (lowerAscii(table_->tagName(i)) == want) return i;
  }
  return 0;
}

int Browse::sortedColumn() const {
  const int order = table_->order();
  if (order <= 0) return -1;
  for (size_t c = 0; c < columnCount(); ++c) {
    if (sortTag(c) == order) return static_cast<int>(c);
  }
  return -1;
}

bool Browse::sortBy(size_t col) {
  const int tag = sortTag(col);
  if (tag == 0 || !enabled()) return false;
  if (table_->order() != tag) {
    const Saved s = save();
    if (!table_->setOrder(tag).isOk()) return false;
    restore(s);  // the cursor stays on its record, now in the new order
  }
  stabilize();
  return true;
}

bool Browse::seekName(const std::string& key) {
  const int col = nameColumnIndex();
  const int tag = col < 0 ? 0 : sortTag(static_cast<size_t>(col));
  if (tag == 0 || filter_) return false;
  const Saved s = save();
  const int order = table_->order();
  if (!table_->setOrder(tag).isOk()) return false;
  if (table_->seek(key) && !table_->eof()) return true;
  (void)table_->setOrder(order);
  restore(s);
  return false;
}

bool Browse::scanName(const std::string& key, bool wordStart) {
  const int col = nameColumnIndex();
  if (col < 0) return false;
  for (int i = 0;; ++i) {
    const auto& line = row(i);
    if (line.empty()) return false;
    if (static_cast<size_t>(col) >= line.size()) continue;
    const std::string name = upper1252(std::string_view(line[static_cast<size_t>(col)]));
    size_t at = name.find_first_not_of(' ');
    bool hit = at != std::string::npos && name.compare(at, key.size(), key) == 0;
    if (!hit && wordStart) {
      for (size_t p = name.find(' '); !hit && p != std::string::npos; p = name.find(' ', p + 1)) {
        hit = name.compare(p + 1, key.size(), key) == 0;
      }
    }
    if (hit) return positionAt(i);
  }
}

bool Browse::findName(std::string_view text) {
  std::string key = upper1252(text);
  while (!key.empty() && key.back() == ' ') key.pop_back();
  size_t b = key.find_first_not_of(' ');
  if (b == std::string::npos) return false;
  key.erase(0, b);
  const Saved s = save();
  // The name's index first (the list goes into name order), else the rows in the
  // list's order: a name that starts so, then a word of the name (a second surname).
  if (seekName(key) || scanName(key, false) || scanName(key, true)) {
    stabilize();
    return true;
  }
  restore(s);
  return false;
}

bool Browse::typeKey(int code) {
  if (code == 8) {
    if (!typed_.empty()) typed_.pop_back();
    return typed_.empty() || findName(typed_);
  }
  if (code < 32 || code > 255) {
    typed_.clear();
    return false;
  }
  typed_ += static_cast<char>(code);
  if (findName(typed_)) return true;
  typed_.pop_back();
  return false;
}

void Browse::countFiltered() {
  Saved s = save();
  recnoByRow_.clear();
  rowByRecno_.clear();
  int n = 0;
  (void)table_->goTop();
  while (!table_->eof()) {
    if (filter_()) {
      recnoByRow_[n] = table_->recno();
      rowByRecno_[table_->recno()] = n;
      ++n;
    }
    if (!table_->skip(1).isOk()) break;
  }
  count_ = n;
  exact_ = true;
  restore(s);
}

const std::vector<std::string>& Browse::totalsLine() {
  if (totalCols_.empty()) {
    totals_.clear();
    return totals_;
  }
  if (totalsGen_ == generation_) return totals_;
  const size_t n = columnCount();
  std::vector<double> sum(n, 0.0);
  std::vector<int> decimals(n, 0);
  std::vector<bool> unknown(n, false);
  // Every row as shown, in one pass over the table (its position is restored).
  const Saved s = save();
  (void)table_->goTop();
  while (!table_->eof()) {
    if (!filter_ || filter_()) {
      const std::vector<std::string> line = line_ ? line_() : std::vector<std::string>{};
      for (int c : totalCols_) {
        if (c < 0 || static_cast<size_t>(c) >= n || static_cast<size_t>(c) >= line.size()) continue;
        std::string digits;
        for (char ch : line[static_cast<size_t>(c)]) {
          if (ch != ',' && ch != ' ') digits += ch;
        }
        if (digits.empty()) continue;
        char* end = nullptr;
        const double v = std::strtod(digits.c_str(), &end);
        if (end != digits.c_str() + digits.size()) {
          unknown[static_cast<size_t>(c)] = true;  // asterisks: the value did not fit its column
          continue;
        }
        size_t dot = digits.find('.');
        if (dot != std::string::npos)
          decimals[static_cast<size_t>(c)] = std::max(decimals[static_cast<size_t>(c)], static_cast<int>(digits.size() - dot - 1));
        sum[static_cast<size_t>(c)] += v;
      }
    }
    if (!table_->skip(1).isOk()) break;
  }
  restore(s);
  totals_.assign(n, std::string());
  for (int c : totalCols_) {
    if (c < 0 || static_cast<size_t>(c) >= n) continue;
    const size_t k = static_cast<size_t>(c);
    if (unknown[k]) {
      totals_[k] = "*********";
      continue;
    }
    std::string mask = "999,999,999,999";
    if (decimals[k] > 0) mask += "." + std::string(static_cast<size_t>(decimals[k]), '9');
    std::string shown = Picture(mask).formatNumber(roundHalfAway(sum[k], decimals[k]));
    size_t b = shown.find_first_not_of(' ');
    totals_[k] = b == std::string::npos ? shown : shown.substr(b);
  }
  int label = nameColumnIndex();
  if (label < 0 || std::find(totalCols_.begin(), totalCols_.end(), label) != totalCols_.end()) {
    label = -1;
    for (size_t c = 0; c < n; ++c) {
      if (std::find(totalCols_.begin(), totalCols_.end(), static_cast<int>(c)) == totalCols_.end()) {
        label = static_cast<int>(c);
        break;
      }
    }
  }
  if (label >= 0) totals_[static_cast<size_t>(label)] = "TOTALES";
  totalsGen_ = generation_;
  return totals_;
}

Browse::Saved Browse::save() const { return {table_->recno(), table_->eof()}; }

void Browse::restore(const Saved& s) {
  if (s.eof) {
    (void)table_->goBottom();
    if (!table_->eof()) (void)table_->skip(1);
  } else {
    (void)table_->go(s.recno);
  }
}

void Browse::resetCache() {
  recnoByRow_.clear();
  rowByRecno_.clear();
  lines_.clear();
  colors_.clear();
  count_ = -1;
  exact_ = false;
}

void Browse::stabilize() {
  resetCache();
  ++generation_;
  changed();
}

void Browse::refresh() {
  lines_.clear();
  colors_.clear();
  ++generation_;
  changed();
}

int Browse::rowCount() {
  if (count_ >= 0) return count_;
  if (filter_) {
    countFiltered();
    return count_;
  }
  Saved s = save();
  uint32_t physical = table_->recordCount();
  if (physical <= 5000) {
    // Small tables are counted at once: no phantom rows for deleted records.
    int n = 0;
    (void)table_->goTop();
    while (!table_->eof()) {
      recnoByRow_[n] = table_->recno();
      rowByRecno_[table_->recno()] = n;
      ++n;
      if (!table_->skip(1)) break;
    }
    count_ = n;
    exact_ = true;
  } else {
    (void)table_->goTop();
    if (table_->eof()) {
      count_ = 0;
      exact_ = true;
    } else {
      count_ = static_cast<int>(physical);
      exact_ = false;
    }
  }
  restore(s);
  return count_;
}

bool Browse::positionAt(int index) {
  if (index < 0) return false;
  if (count_ < 0) rowCount();
  if (filter_) {
    // A filtered list is counted whole: every row's record is known.
    auto known = recnoByRow_.find(index);
    return index < count_ && known != recnoByRow_.end() && table_->go(known->second).isOk();
  }
  if (exact_ && index >= count_) return false;
  auto it = recnoByRow_.upper_bound(index);
  int from;
  if (it == recnoByRow_.begin()) {
    (void)table_->goTop();
    if (table_->eof()) {
      count_ = 0, exact_ = true;
      return false;
    }
    from = 0;
    recnoByRow_[0] = table_->recno();
    rowByRecno_[table_->recno()] = 0;
  } else {
    --it;
    from = it->first;
    if (!table_->go(it->second)) return false;
  }
  if (index > from) {
    (void)table_->skip(index - from);
    if (table_->eof()) {
      // Fewer rows than estimated: walk from the last known row to the end.
      (void)table_->go(recnoByRow_[from]);
      int n = from;
      while (true) {
        (void)table_->skip(1);
        if (table_->eof()) break;
        ++n;
        recnoByRow_[n] = table_->recno();
        rowByRecno_[table_->recno()] = n;
      }
      count_ = n + 1;
      exact_ = true;
      ++generation_;
      return false;
    }
  }
  recnoByRow_[index] = table_->recno();
  rowByRecno_[table_->recno()] = index;
  return true;
}

void Browse::fetchWindow(int index) {
  constexpr int kWindow = 32;
  if (lines_.size() > 4096) {
    lines_.clear();
    colors_.clear();
  }
  int start = index - index % kWindow;
  Saved s = save();
  if (filter_) {
    if (count_ < 0) rowCount();
    for (int i = start; i < start + kWindow && i < count_; ++i) {
      if (!positionAt(i)) break;
      lines_[i] = line_ ? line_() : std::vector<std::string>{};
      if (rowColor_) colors_[i] = rowColor_();
    }
    restore(s);
    return;
  }
  if (positionAt(start)) {
    for (int i = start; i < start + kWindow; ++i) {
      recnoByRow_[i] = table_->recno();
      rowByRecno_[table_->recno()] = i;
      lines_[i] = line_ ? line_() : std::vector<std::string>{};
      if (rowColor_) colors_[i] = rowColor_();
      (void)table_->skip(1);
      if (table_->eof()) {
        if (!exact_ || count_ != i + 1) {
          count_ = i + 1;
          exact_ = true;
        }
        break;
      }
      if (i + 1 >= count_) count_ = i + 2;  // more rows than estimated (appended elsewhere)
    }
  }
  restore(s);
}

const std::vector<std::string>& Browse::row(int index) {
  static const std::vector<std::string> kEmpty;
  if (index < 0) return kEmpty;
  auto it = lines_.find(index);
  if (it != lines_.end()) return it->second;
  fetchWindow(index);
  it = lines_.find(index);
  return it == lines_.end() ? kEmpty : it->second;
}

std::optional<std::pair<Color, Color>> Browse::rowColor(int index) {
  if (!rowColor_) return std::nullopt;
  row(index);
  auto it = colors_.find(index);
  return it == colors_.end() ? std::nullopt : it->second;
}

int Browse::currentRow() {
  if (table_->eof()) return -1;
  uint32_t rec = table_->recno();
  if (auto it = rowByRecno_.find(rec); it != rowByRecno_.end()) {
    auto r = recnoByRow_.find(it->second);
    if (r != recnoByRow_.end() && r->second == rec) return it->second;
  }
  if (table_->deleted()) return -1;
  if (filter_) {
    if (count_ < 0) rowCount();
    auto it = rowByRecno_.find(rec);
    return it == rowByRecno_.end() ? -1 : it->second;  // a record the filter leaves out
  }
  Saved s = save();
  int n = 0;
  while (true) {
    (void)table_->skip(-1);
    if (table_->bof()) break;
    ++n;
  }
  restore(s);
  recnoByRow_[n] = rec;
  rowByRecno_[rec] = n;
  if (count_ >= 0 && n >= count_) count_ = n + 1;
  return n;
}

bool Browse::pick(int index) {
  if (!enabled()) return false;
  if (!dialog().moveFocus(this)) return false;
  Saved s = save();
  if (!positionAt(index)) {
    restore(s);
    changed();
    return false;
  }
  changed();
  return true;
}

bool Browse::doubleClick(int index) {
  if (!pick(index)) return false;
  // Without an action of its own, a double click is the screen's modify button.
  if (onDouble_) onDouble_();
  else if (Button* b = dialog().barButton(BarRole::Modify)) b->press();
  return true;
}

// --- Dialog ------------------------------------------------------------------------------
Dialog::Dialog(Toolkit& tk, std::string_view templateName, std::string title)
    : tk_(&tk), templateName_(templateName), tmpl_(findTemplate(templateName)), title_(std::move(title)) {
  if (!tmpl_) {
    errors_.push_back("No existe la plantilla de dialogo " + std::string(templateName));
    width_ = 200, height_ = 100;
    return;
  }
  templateName_ = tmpl_->name;
  if (title_.empty()) title_ = tmpl_->title;
  width_ = tmpl_->width, height_ = tmpl_->height;
  for (const auto& tc : tmpl_->controls) {
    auto c = std::make_unique<StaticControl>(
        *this, tc.id, tc.cls == ControlClass::Group ? Control::Kind::Group : Control::Kind::Static);
    c->rect_ = Rect{double(tc.x), double(tc.y), double(tc.w), double(tc.h)};
    c->caption_ = tc.text;
    c->cls_ = tc.cls;
    c->inTemplate_ = true;
    controls_.push_back(std::move(c));
  }
}

Dialog::Dialog(Toolkit& tk, double top, double left, double bottom, double right, std::string title)
    : tk_(&tk), title_(std::move(title)) {
  width_ = std::max(40.0, (right - left) * kColUnits);
  height_ = std::max(30.0, (bottom - top) * 8);
}

Dialog::~Dialog() {
  for (auto& c : controls_) c->view = nullptr;
}

template <class T, class... A>
T& Dialog::bind(int id, A&&... args) {
  auto obj = std::make_unique<T>(*this, std::forward<A>(args)...);
  T& ref = *obj;
  for (auto& slot : controls_) {
    if (slot->id() == id && slot->inTemplate_ &&
        (slot->kind() == Control::Kind::Static || slot->kind() == Control::Kind::Group)) {
      obj->rect_ = slot->rect_;
      obj->caption_ = slot->caption_;
      obj->cls_ = slot->cls_;
      obj->inTemplate_ = true;
      slot = std::move(obj);
      if constexpr (std::is_same_v<T, Label>) ref.refresh();
      if constexpr (std::is_same_v<T, Button>) {
        ref.cancel(startsWithNoCase(ref.caption(), "&Cancel"));
      }
      return ref;
    }
  }
  bool bound = false;
  for (auto& slot : controls_) bound = bound || (slot->id() == id && slot->inTemplate_);
  errors_.push_back(templateName_ + ": " + (bound ? "el control " + std::to_string(id) + " ya esta enlazado"
                                                  : "no hay control " + std::to_string(id)));
  controls_.push_back(std::move(obj));
  return ref;
}

template <class T, class... A>
T& Dialog::place(Rect r, A&&... args) {
  int id = nextId_++;
  auto obj = std::make_unique<T>(*this, id, std::forward<A>(args)...);
  T& ref = *obj;
  obj->rect_ = r;
  controls_.push_back(std::move(obj));
  return ref;
}

Field& Dialog::field(int id, Accessor a) { return bind<Field>(id, id, std::move(a)); }
Label& Dialog::label(int id) { return bind<Label>(id, id); }
Button& Dialog::button(int id, std::function<void()> action) { return bind<Button>(id, id, std::move(action)); }
Button& Dialog::bitmapButton(int id, std::string image, std::function<void()> action, bool textRight) {
  Button& b = bind<Button>(id, id, std::move(action));
  b.image(std::move(image), textRight);
  return b;
}
Image& Dialog::image(int id, std::string name, std::function<void()> onClick) {
  return bind<Image>(id, id, std::move(name), std::move(onClick));
}
Combo& Dialog::combo(int id, Accessor a, std::vector<std::string> items) {
  return bind<Combo>(id, id, std::move(a), std::move(items), std::vector<std::string>{});
}
Combo& Dialog::tableCombo(int id, Accessor a, Table& table, std::string_view valueField,
                          std::string_view displayField, const std::function<bool()>& only) {
  std::vector<std::string> items, values;
  uint32_t rec = table.recno();
  bool eof = table.eof();
  (void)table.goTop();
  while (!table.eof()) {
    if (only && !only()) {
      if (!table.skip(1)) break;
      continue;
    }
    values.push_back(table.str(valueField));
    items.push_back(rtrim(table.str(displayField)));
    if (!table.skip(1)) break;
  }
  if (eof) {
    (void)table.goBottom();
    if (!table.eof()) (void)table.skip(1);
  } else {
    (void)table.go(rec);
  }
  return bind<Combo>(id, id, std::move(a), std::move(items), std::move(values));
}
RadioGroup& Dialog::radio(std::vector<int> ids, Accessor a) {
  int first = ids.empty() ? 0 : ids.front();
  RadioGroup& g = bind<RadioGroup>(first, ids, std::move(a));
  // The other buttons of the group: their template slots join the group.
  g.rects.push_back(g.rect());
  g.captions.push_back(g.caption());
  for (size_t i = 1; i < ids.size(); ++i) {
    bool found = false;
    for (auto it = controls_.begin(); it != controls_.end(); ++it) {
      Control& c = **it;
      if (c.id() == ids[i] && c.inTemplate_ && c.kind() == Control::Kind::Static) {
        g.rects.push_back(c.rect_);
        g.captions.push_back(c.caption_);
        controls_.erase(it);
        found = true;
        break;
      }
    }
    if (!found) {
      errors_.push_back(templateName_ + ": no hay control " + std::to_string(ids[i]));
      g.rects.push_back(Rect{});
      g.captions.push_back("");
    }
  }
  return g;
}
CheckBox& Dialog::check(int id, Accessor a) { return bind<CheckBox>(id, id, std::move(a)); }
Browse& Dialog::browse(int id, Table& table) { return bind<Browse>(id, id, table); }

namespace {
Rect cellRect(double row, double col, double w, double h) {
  return Rect{col * kColUnits, row * kRowUnits, w, h};
}
}  // namespace

Field& Dialog::fieldAt(double row, double col, Accessor a, double w, double h) {
  Field& f = place<Field>(cellRect(row, col, w, h), std::move(a));
  if (w <= 0) f.rect_.w = std::max(24, f.width() * 4 + 8);
  return f;
}
Label& Dialog::labelAt(double row, double col, std::string text, double w, double h) {
  if (w <= 0) w = static_cast<double>(text.size()) * 4 + 4;
  Label& l = place<Label>(cellRect(row, col, w, h));
  l.caption_ = text;
  l.text(std::move(text));
  return l;
}
Button& Dialog::buttonAt(double row, double col, std::string caption, double w, double h,
                         std::function<void()> action) {
  Button& b = place<Button>(cellRect(row, col, w, h), std::move(action));
  b.caption(std::move(caption));
  return b;
}
Image& Dialog::imageAt(double row, double col, std::string name, double w, double h,
                       std::function<void()> onClick) {
  return place<Image>(cellRect(row, col, w, h), std::move(name), std::move(onClick));
}
Browse& Dialog::browseAt(double row, double col, double w, double h, Table& table) {
  return place<Browse>(cellRect(row, col, w, h), table);
}

Button& Dialog::barButton(std::string image, std::string tooltip, std::function<void()> action, int size,
                          bool group) {
  auto obj = std::make_unique<Button>(*this, nextId_++, std::move(action));
  Button& b = *obj;
  b.image(std::move(image));
  b.setTooltip(std::move(tooltip));
  b.barSize = size;
  b.barGroup = group;
  b.cancel(true);  // bar buttons act on the list, never on a field being edited
  const std::string& img = b.imageName();
  if (startsWithNoCase(img, "add")) b.role(BarRole::Add);
  else if (startsWithNoCase(img, "modify")) b.role(BarRole::Modify);
  else if (startsWithNoCase(img, "buscar")) b.role(BarRole::Search);
  else if (startsWithNoCase(img, "borrar")) b.role(BarRole::Delete);
  else if (startsWithNoCase(img, "print")) b.role(BarRole::Print);
  else if (startsWithNoCase(img, "exit")) b.role(BarRole::Exit);
  assignMnemonic(b);
  bar_.push_back(&b);
  // Bar buttons come first in tab order, in the order they were added.
  controls_.insert(controls_.begin() + static_cast<long>(bar_.size() - 1), std::move(obj));
  return b;
}

void Dialog::assignMnemonic(Button& b) {
  // The first letter of a word of the tooltip that no other button uses yet, else
  // any free letter of it: "Adiciona Registro" A, "Modifica Registro" M, "Salir" S.
  auto taken = [this, &b](char ch) {
    for (const auto& c : controls_) {
      if (c.get() != &b && c->kind() == Control::Kind::Button && static_cast<Button*>(c.get())->mnemonic() == ch)
        return true;
    }
    return false;
  };
  const std::string& t = b.tooltipText();
  auto letter = [](char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); };
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < t.size(); ++i) {
      bool wordStart = i == 0 || t[i - 1] == ' ';
      if (!letter(t[i]) || (pass == 0 && !wordStart)) continue;
      char up = upper1252(t[i]);
      if (!taken(up)) {
        b.barMnemonic_ = up;
        return;
      }
    }
  }
}

void Dialog::messageBar(std::string text) { messageBar_ = std::move(text); }

void Dialog::activate(std::function<void()> init, bool centered) {
  centered_ = centered;
  ended_ = false;
  active_ = true;
  for (auto& c : controls_) {
    if (c->kind() == Control::Kind::Static || c->kind() == Control::Kind::Group || c->kind() == Control::Kind::Label) {
      c->refresh();
    }
  }
  if (init) init();
  if (!ended_) tk_->runModal(*this);
  active_ = false;
  ended_ = true;
  focus_ = nullptr;
}

void Dialog::end() {
  ended_ = true;
  if (onEnd) onEnd();
}

void Dialog::close() {
  if (!mayDiscard()) return;
  end();
}

bool Dialog::mayDiscard() {
  if (!askDiscard_ || !touched_ || ended_) return true;
  if (!MSGNOYES(*tk_, utf8To1252("¿Descartar Los Cambios?"), title_)) return false;
  touched_ = false;  // answered: closing goes on without asking again
  return true;
}

std::function<void()> Dialog::lookupOf(const Field& f) const {
  if (f.lookupAction()) return f.lookupAction();
  // The clickable picture right beside the field on its row (the magnifier of a code).
  const Rect& fr = f.rect();
  Image* best = nullptr;
  double bestGap = 0;
  for (const auto& c : controls_) {
    if (c->kind() != Control::Kind::Image) continue;
    auto* img = static_cast<Image*>(c.get());
    if (!img->clickable() || !img->enabled()) continue;
    const Rect& r = img->rect();
    const bool sameRow = r.y < fr.y + fr.h && fr.y < r.y + r.h;
    const double gap = r.x - (fr.x + fr.w);
    if (!sameRow || gap < -4 || gap > 60) continue;
    if (!best || gap < bestGap) best = img, bestGap = gap;
  }
  if (!best) return {};
  return [best] { best->click(); };
}

void Dialog::setTitle(std::string t) {
  title_ = std::move(t);
  if (onTitleChanged) onTitleChanged();
}

std::vector<Control*> Dialog::controls() const {
  std::vector<Control*> out;
  out.reserve(controls_.size());
  for (const auto& c : controls_) out.push_back(c.get());
  return out;
}

Control* Dialog::control(int id) const {
  for (const auto& c : controls_) {
    if (c->id() == id) return c.get();
  }
  for (const auto& c : controls_) {
    if (auto* g = dynamic_cast<RadioGroup*>(c.get())) {
      for (int x : g->ids()) {
        if (x == id) return g;
      }
    }
  }
  return nullptr;
}

Field* Dialog::fieldById(int id) const { return dynamic_cast<Field*>(control(id)); }
Label* Dialog::labelById(int id) const { return dynamic_cast<Label*>(control(id)); }

Button* Dialog::buttonByCaption(std::string_view caption) const {
  for (const auto& c : controls_) {
    if (c->kind() == Control::Kind::Button && plainCaption(c->caption()) == plainCaption(caption)) {
      return static_cast<Button*>(c.get());
    }
  }
  return nullptr;
}

bool Dialog::moveFocus(Control* target) {
  if (target == focus_) return true;
  if (validating_) {
    // A validation moves the focus itself (e.g. to another field): honour it
    // without validating again.
    focus_ = target;
    movedInValid_ = true;
    if (target && target->view) target->view->takeFocus();
    return true;
  }
  movedInValid_ = false;
  if (!validateFocused()) return false;
  if (movedInValid_) return true;
  focus_ = target;
  // "When" conditions may have changed with the value just stored.
  for (auto& c : controls_) {
    if (c->kind() == Control::Kind::Field && c->view) c->view->update();
  }
  if (onFocusMoved) onFocusMoved(target);
  if (target && target->view) target->view->takeFocus();
  return true;
}

bool Dialog::validateFocused() {
  if (!focus_ || validating_) return true;
  bool ok = true;
  validating_ = true;
  if (focus_->kind() == Control::Kind::Field) ok = static_cast<Field*>(focus_)->leave();
  else if (focus_->kind() == Control::Kind::Combo) ok = static_cast<Combo*>(focus_)->leave();
  validating_ = false;
  if (!ok && focus_->view) focus_->view->takeFocus();
  return ok;
}

bool Dialog::focusNext() {
  // Tab order: template order over every focusable control.
  std::vector<Control*> order;
  for (auto& c : controls_) {
    if (c->focusable()) order.push_back(c.get());
  }
  if (order.empty()) return true;
  auto it = std::find(order.begin(), order.end(), focus_);
  Control* next = (it == order.end() || it + 1 == order.end()) ? order.front() : *(it + 1);
  if (next == focus_) return validateFocused();  // the only stop: validate in place
  return moveFocus(next);
}

bool Dialog::focusPrev() {
  std::vector<Control*> order;
  for (auto& c : controls_) {
    if (c->focusable()) order.push_back(c.get());
  }
  if (order.empty()) return true;
  auto it = std::find(order.begin(), order.end(), focus_);
  Control* prev = (it == order.end() || it == order.begin()) ? order.back() : *(it - 1);
  if (prev == focus_) return validateFocused();
  if (focus_ && focus_->kind() == Control::Kind::Field) {
    auto* f = static_cast<Field*>(focus_);
    if (!f->store()) {
      if (f->view) f->view->takeFocus();
      return false;
    }
    if (f->editable()) f->owed_ = true;
  }
  focus_ = prev;
  for (auto& c : controls_) {
    if (c->kind() == Control::Kind::Field && c->view) c->view->update();
  }
  if (onFocusMoved) onFocusMoved(prev);
  if (prev->view) prev->view->takeFocus();
  return true;
}

bool Dialog::validateOwed() {
  for (auto& c : controls_) {
    if (c->kind() != Control::Kind::Field) continue;
    auto* f = static_cast<Field*>(c.get());
    if (!f->owed_ || f == focus_) continue;
    if (!f->editable()) {
      f->owed_ = false;
      continue;
    }
    validating_ = true;
    bool ok = f->leave();
    validating_ = false;
    if (!ok) {
      focus_ = f;
      if (onFocusMoved) onFocusMoved(f);
      if (f->view) f->view->takeFocus();
      return false;
    }
  }
  return true;
}

Button* Dialog::barButton(BarRole r) const {
  for (Button* b : bar_) {
    if (b->barRole() == r) return b;
  }
  return nullptr;
}

bool Dialog::pressBarRole(BarRole r) {
  Button* b = barButton(r);
  if (!b || !b->enabled()) return false;
  return b->press();
}

Button* Dialog::enterButton() const {
  Button* first = nullptr;
  for (const auto& c : controls_) {
    if (c->kind() != Control::Kind::Button || !c->enabled()) continue;
    auto* b = static_cast<Button*>(c.get());
    if (std::find(bar_.begin(), bar_.end(), b) != bar_.end()) continue;
    if (b->isDefault()) return b;
    if (!first && !b->isCancel()) first = b;
  }
  return first;
}

bool Dialog::enter() {
  // Another input after this one: Enter moves on like Tab.
  auto it = std::find_if(controls_.begin(), controls_.end(), [this](const auto& c) { return c.get() == focus_; });
  if (it != controls_.end()) {
    for (auto jt = it + 1; jt != controls_.end(); ++jt) {
      Control* c = jt->get();
      if (!c->focusable() || c->kind() == Control::Kind::Button) continue;
      return moveFocus(c);
    }
  }
  if (Button* b = enterButton()) return b->press();
  return focusNext();
}

bool Dialog::keyPress(Key k) {
  Control* at = focus_;
  bool onList = at && at->kind() == Control::Kind::Browse;
  switch (k) {
    case Key::Tab: return focusNext();
    case Key::BackTab: return focusPrev();
    case Key::Enter:
      if (!at) {
        if (Button* b = enterButton()) return b->press();
        return false;
      }
      if (onList) {
        auto* br = static_cast<Browse*>(at);
        int row = br->currentRow();
        return row >= 0 && br->doubleClick(row);
      }
      if (at->kind() == Control::Kind::Button) return static_cast<Button*>(at)->press();
      return enter();
    case Key::Insert: return onList && pressBarRole(BarRole::Add);
    case Key::Delete: return onList && pressBarRole(BarRole::Delete);
    case Key::Find: return pressBarRole(BarRole::Search);
    case Key::Escape:
      if (pressBarRole(BarRole::Exit)) return true;
      close();
      return true;
    case Key::Lookup: {
      if (!at || at->kind() != Control::Kind::Field) return false;
      auto* f = static_cast<Field*>(at);
      if (!f->editable()) return false;
      auto fn = lookupOf(*f);
      if (!fn) return false;
      fn();
      return true;
    }
    case Key::Export: {
      Browse* list = onList ? static_cast<Browse*>(at) : nullptr;
      for (size_t i = 0; !list && i < controls_.size(); ++i) {
        if (controls_[i]->kind() == Control::Kind::Browse) list = static_cast<Browse*>(controls_[i].get());
      }
      return list && exportList(*tk_, *list);
    }
  }
  return false;
}

bool Dialog::pressMnemonic(char letter) {
  char up = upper1252(letter);
  for (auto& c : controls_) {
    if (c->kind() != Control::Kind::Button || !c->enabled()) continue;
    auto* b = static_cast<Button*>(c.get());
    if (b->mnemonic() == up) return b->press();
  }
  return false;
}

void Dialog::focusFirst() {
  for (auto& c : controls_) {
    if (c->focusable() && c->kind() != Control::Kind::Button) {
      focus_ = c.get();
      return;
    }
  }
  for (auto& c : controls_) {
    if (c->focusable()) {
      focus_ = c.get();
      return;
    }
  }
}

// --- MainWindow --------------------------------------------------------------------------
void MainWindow::setTitle(std::string t) {
  title_ = std::move(t);
  tk_->mainChanged(*this);
}
void MainWindow::setMessageBar(std::string text) {
  message_ = std::move(text);
  tk_->mainChanged(*this);
}

void MainWindow::beginMenu(std::string caption, std::string message, std::string image, bool enabled) {
  auto& list = open_.empty() ? menu_ : *open_.back();
  MenuItem m;
  m.caption = std::move(caption), m.message = std::move(message), m.image = std::move(image);
  m.submenu = true;
  m.enabled = enabled;
  list.push_back(std::move(m));
  open_.push_back(&list.back().children);
}
void MainWindow::add(std::string caption, std::string message, std::function<void()> action, std::string image,
                     bool enabled) {
  auto& list = open_.empty() ? menu_ : *open_.back();
  MenuItem m;
  m.caption = std::move(caption), m.message = std::move(message), m.image = std::move(image);
  m.action = std::move(action);
  m.enabled = enabled;
  list.push_back(std::move(m));
}
void MainWindow::add() {
  auto& list = open_.empty() ? menu_ : *open_.back();
  MenuItem m;
  m.separator = true;
  list.push_back(std::move(m));
}
void MainWindow::endMenu() {
  if (!open_.empty()) open_.pop_back();
}

void MainWindow::run() {
  closed_ = false;
  tk_->runMain(*this);
  closed_ = true;
}
void MainWindow::close() {
  closed_ = true;
  tk_->mainChanged(*this);
}

bool MainWindow::choose(const std::vector<std::string>& path) {
  const std::vector<MenuItem>* list = &menu_;
  for (size_t i = 0; i < path.size(); ++i) {
    const MenuItem* hit = nullptr;
    for (const auto& m : *list) {
      if (!m.separator && m.caption == path[i]) {
        hit = &m;
        break;
      }
    }
    if (!hit || !hit->enabled) return false;
    if (i + 1 == path.size()) {
      if (hit->submenu) return false;
      if (hit->action) hit->action();
      return true;
    }
    if (!hit->submenu) return false;
    list = &hit->children;
  }
  return false;
}

bool MainWindow::pressBar(int index) {
  if (index < 0 || index >= static_cast<int>(bar_.size())) return false;
  if (!bar_[static_cast<size_t>(index)].enabled) return false;
  if (bar_[static_cast<size_t>(index)].action) bar_[static_cast<size_t>(index)].action();
  return true;
}

void playSound(Toolkit& tk, const std::string& file) { tk.playSound(file); }

}  // namespace planilla::ui
