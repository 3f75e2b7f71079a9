// The screen toolkit: dialogs built from named templates (or from text coordinates),
// with input fields, labels, buttons, images, combos, radio groups and browse lists
// bound by identifier to the screen's variables and actions.
//
// A screen is plain C++: it builds a Dialog on a Toolkit, binds controls, and calls
// activate(). The Dialog and its controls are the model: they hold the edit texts,
// run the pictures, the "when" and the validations, and keep the focus rules. A
// backend only shows the model and feeds it the operator's actions:
//   - ui/qt (QtToolkit): real Qt Widgets dialogs;
//   - ui/scripted.h (ScriptedToolkit): plays a queue of operator steps in tests.
// So every rule below holds the same way on screen and in tests.
//
// Focus rules: leaving an input field (Tab, Enter, a click elsewhere, pressing a
// button) stores the edit text into the variable and runs the field's validation;
// false keeps the focus in the field and the button's action does not run. Buttons
// marked cancel() (by default those whose caption starts with "&Cancel") and closing
// the dialog (close box, Escape) end without validating.
//
// Units: template geometry is in dialog units (a horizontal unit is a quarter of the
// average character width of the dialog font, a vertical unit an eighth of its
// height). Controls placed "at" a row and column use text cells: one column is 4
// dialog units and one row kRowUnits dialog units; their sizes are dialog units.
// Browse column widths are pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "store/table.h"
#include "store/value.h"
#include "ui/messages.h"
#include "ui/picture.h"
#include "ui/templates.h"

namespace planilla::ui {

class Dialog;
class Toolkit;

// --- colours -----------------------------------------------------------------------
struct Color {
  int r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};
namespace color {
inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kNavy{0, 0, 128};         // label and input text
inline constexpr Color kBlue{0, 0, 255};         // labels of the data forms
inline constexpr Color kCyan{0, 255, 255};       // input field background ("aqua")
inline constexpr Color kScreen{140, 200, 200};   // maintenance screen background
inline constexpr Color kSilver{192, 192, 192};   // read-only displays, combos of the rates form
inline constexpr Color kMainWindow{51, 51, 51};  // main window text and background
inline constexpr Color kFace{240, 240, 240};     // face of the small dialogs (date, runs, reports)
}  // namespace color

// --- variables -----------------------------------------------------------------------
// A bound variable is reached through a getter and a setter. The kind of the value
// the getter returns decides how the field edits it: text (fixed width: the length of
// the value when bound), number, date, logical.
using Value = std::variant<std::string, double, Date, bool>;
struct Accessor {
  std::function<Value()> get;
  std::function<void(const Value&)> set;
};
Accessor ref(std::string& v);
Accessor ref(double& v);
Accessor ref(int& v);
Accessor ref(Date& v);
Accessor ref(bool& v);

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;  // dialog units
};

// Dialog units per text row for controls placed at a row (and per text row of a
// dialog built from coordinates).
inline constexpr double kRowUnits = 13;
inline constexpr double kColUnits = 4;

// Keys the model handles itself (backends translate their key events):
//   - Tab / BackTab move the focus in tab order. Tab leaves a field under its
//     validation; BackTab goes back without validating (the field's text is stored and
//     its validation is owed: a button that is not cancel() runs it before acting).
//   - Enter in an input moves on like Tab; from the last input before the buttons it
//     presses the default button (the first button that is not cancel() when none is
//     marked), so one Enter accepts the login, the search box and the run dialogs.
//   - On a browse list: Enter (and a double click) runs the list's double-click action
//     or else the bar's modify button, Insert the add button, Delete the delete button.
//   - Find (F3, Ctrl+F) runs the bar's search button; Escape its exit button, or closes.
//   - Lookup (F4, Alt+Down) in a field opens its lookup: the one given with
//     Field::lookup(), else the clickable picture beside the field (the magnifier).
//   - Export (Ctrl+E) on a list writes it to a spreadsheet (exportList in dialogs.h).
enum class Key { Tab, BackTab, Enter, Insert, Delete, Find, Escape, Lookup, Export };

// What a button of a maintenance bar does, as the list keys need to know. Taken from
// the image the screens give ("add.bmp", "modify.bmp", "buscar10.bmp", "borrar.bmp",
// "print1.bmp", "exit10.bmp"); role() sets it for other images.
enum class BarRole { None, Add, Modify, Search, Delete, Print, Exit };

// A backend mirrors a control through a view; the model calls it when something the
// operator sees has changed.
class ControlView {
 public:
  virtual ~ControlView() = default;
  virtual void update() = 0;      // re-read text, colours, enabled state
  virtual void takeFocus() {}     // the model moved the focus here
};

// --- controls ------------------------------------------------------------------------
class Control {
 public:
  enum class Kind { Static, Group, Label, Field, Button, Image, Combo, Radio, Check, Browse };
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Kind kind() const { return kind_; }
  int id() const { return id_; }
  Dialog& dialog() const { return *dialog_; }
  const Rect& rect() const { return rect_; }
  // The template's caption (for buttons the caption shown, "&" marks the accelerator).
  const std::string& caption() const { return caption_; }
  // The template class the control came from (Label for controls placed in code).
  ControlClass templateClass() const { return cls_; }
  bool inTemplate() const { return inTemplate_; }

  std::optional<Color> foreground() const { return fg_; }
  std::optional<Color> background() const { return bg_; }
  const std::string& tooltipText() const { return tooltip_; }
  bool enabled() const { return enabled_; }
  void setEnabled(bool on);
  void setColors(Color fg, Color bg);
  void setTooltip(std::string text);
  void setCaption(std::string text);

  // Can the focus rest here now? (fields: enabled and "when" true)
  virtual bool focusable() const { return false; }
  // Re-reads the bound value and repaints.
  virtual void refresh();
  // Moves the focus here (validating the control being left); false when refused.
  bool setFocus();

  ControlView* view = nullptr;  // owned by the backend while the dialog is shown

 protected:
  Control(Kind k, Dialog& d, int id) : kind_(k), dialog_(&d), id_(id) {}
  void changed() const {
    if (view) view->update();
  }

 private:
  friend class Dialog;
  Kind kind_;
  Dialog* dialog_;
  int id_;
  Rect rect_;
  std::string caption_;
  ControlClass cls_ = ControlClass::Label;
  bool inTemplate_ = false;
  std::optional<Color> fg_, bg_;
  std::string tooltip_;
  bool enabled_ = true;
};

// Chainable setters shared by the bound controls.
#define PLANILLA_UI_STYLE(T)                                          \
  T& colors(Color fg, Color bg) {                                     \
    setColors(fg, bg);                                                \
    return *this;                                                     \
  }                                                                   \
  T& tooltip(std::string t) {                                         \
    setTooltip(std::move(t));                                         \
    return *this;                                                     \
  }                                                                   \
  T& enable(bool on) {                                                \
    setEnabled(on);                                                   \
    return *this;                                                     \
  }

// A template control nobody bound: keeps its template text (static labels, frames).
class StaticControl : public Control {
 public:
  StaticControl(Dialog& d, int id, Kind k) : Control(k, d, id) {}
};

class Label : public Control {
 public:
  Label(Dialog& d, int id) : Control(Kind::Label, d, id) {}
  PLANILLA_UI_STYLE(Label)
  // A fixed text, or a text computed at every refresh.
  Label& text(std::string t);
  Label& text(std::function<std::string()> fn);
  Label& font(std::string family, int width, int height);
  // The text shown now (the template caption when none was given).
  const std::string& shown() const { return shown_; }
  const std::string& fontFamily() const { return fontFamily_; }
  int fontHeight() const { return fontHeight_; }
  void refresh() override;

 private:
  std::function<std::string()> fn_;
  std::string shown_;
  bool hasText_ = false;
  std::string fontFamily_;
  int fontWidth_ = 0, fontHeight_ = 0;
};

class Field : public Control {
 public:
  enum class Type { Text, Number, Date, Logical };
  Field(Dialog& d, int id, Accessor a);
  PLANILLA_UI_STYLE(Field)
  Field& picture(std::string_view p);
  // Run when the operator leaves the field, after the variable received the text;
  // false keeps the focus here. It may show messages, change other variables and
  // refresh other controls.
  Field& valid(std::function<bool()> fn);
  // The field is enterable only while this returns true.
  Field& when(std::function<bool()> fn);
  Field& readOnly(bool on = true);
  Field& password(bool on = true);  // characters shown masked
  // Key-down hook: receives the key code (letters as capitals) before the key changes
  // the text, so text() is still the text before the key.
  Field& onKey(std::function<void(int key)> fn);
  // Limits what can be typed to what the table field `name` of `t` holds: a text field
  // edits at most the field's width; a number at most the integer digits the field
  // holds and, when no numeric picture says otherwise, its decimals. Refused keys are
  // refused as they are typed, so nothing is cut when the record is written.
  Field& column(const Table& t, std::string_view name);
  // The lookup F4 (and Alt+Down) opens from this field. Without one, the clickable
  // picture beside the field on its row stands for it.
  Field& lookup(std::function<void()> fn);
  const std::function<void()>& lookupAction() const { return lookup_; }

  Type type() const { return type_; }
  const Picture& pic() const { return picture_; }
  // Characters the field edits: the variable's length when bound (0: no limit).
  int width() const { return width_; }
  bool isReadOnly() const { return readOnly_; }
  bool isPassword() const { return password_; }
  bool hasKeyHook() const { return static_cast<bool>(onKey_); }
  // Largest number of integer digits and decimals that can be typed (-1: the picture's).
  int maxIntDigits() const { return maxInt_; }
  int maxDecimals() const { return maxDec_; }
  // A number text within the column limits (column()).
  bool fitsColumn(std::string_view text) const;
  // Was left backwards with its validation not yet run.
  bool owesValidation() const { return owed_; }
  bool focusable() const override;
  // Enabled, not read-only and "when" allows it.
  bool editable() const;

  // The edit text as the operator sees it (pictures applied).
  const std::string& text() const { return text_; }
  // Operator side: replaces the whole edit text, as typing over the field does. The
  // picture applies (upper case). Returns false, leaving the text as it was, when the
  // field is not editable or the text cannot be typed in it (wider than the field, a
  // number that does not fit its mask or column, letters in a number or date).
  bool type(std::string_view text);
  // One key press: runs the key hook, then appends the character to the text (8 is
  // backspace).
  bool key(int code);
  // Backends that insert characters themselves call only the hook (letters are
  // passed as capitals).
  void keyDown(int code);
  // Stores the edit text into the variable (when the operator changed it) and runs
  // the validation. Returns false
  // when the text is not a value (a date not in the calendar: "Fecha No Valida" is
  // shown) or the validation refused; the focus then stays.
  bool leave();
  // Stores the edit text into the variable without validating (leaving backwards).
  // False when the text is not a value ("Fecha No Valida").
  bool store();
  // Re-reads the variable into the edit text.
  void refresh() override;

 private:
  friend class Dialog;
  Accessor acc_;
  Type type_ = Type::Text;
  Picture picture_;
  std::function<bool()> valid_, when_;
  std::function<void(int)> onKey_;
  std::function<void()> lookup_;
  bool readOnly_ = false, password_ = false, owed_ = false;
  int width_ = 0, maxInt_ = -1, maxDec_ = -1;
  std::string text_;
  std::string format(const Value& v) const;
};

class Button : public Control {
 public:
  Button(Dialog& d, int id, std::function<void()> action);
  PLANILLA_UI_STYLE(Button)
  Button& image(std::string name, bool textRight = true);
  Button& action(std::function<void()> fn);
  // Pressing it does not validate the field being left (cancel-like buttons).
  Button& cancel(bool on = true);
  Button& defaultButton(bool on = true);
  Button& caption(std::string text);
  using Control::caption;
  const std::string& imageName() const { return image_; }
  bool textRight() const { return textRight_; }
  bool isCancel() const { return cancel_; }
  bool isDefault() const { return default_; }
  bool focusable() const override { return enabled(); }
  // Operator side: validates the field being left (unless cancel) and runs the
  // action. False when the validation kept the focus or the button is disabled.
  bool press();

  // Button bar buttons (maintenance screens): pixel size, gap before it.
  int barSize = 0;
  bool barGroup = false;
  Button& role(BarRole r) {
    role_ = r;
    return *this;
  }
  BarRole barRole() const { return role_; }
  // The accelerator letter (upper case; 0 none): the one marked "&" in the caption; for
  // bar buttons, which show only a picture, a letter of the caption or tooltip that no
  // other button of the dialog uses (Alt+letter presses it).
  char mnemonic() const;

 private:
  friend class Dialog;
  std::function<void()> action_;
  std::string image_;
  bool textRight_ = true, cancel_ = false, default_ = false;
  BarRole role_ = BarRole::None;
  char barMnemonic_ = 0;
};

// A clickable picture (hand cursor), e.g. "Buscar" beside a code field.
class Image : public Control {
 public:
  Image(Dialog& d, int id, std::string name, std::function<void()> onClick);
  PLANILLA_UI_STYLE(Image)
  const std::string& name() const { return name_; }
  bool clickable() const { return static_cast<bool>(onClick_); }
  bool handCursor() const { return clickable(); }
  // Operator side: clicking leaves the current field first (validation applies).
  bool click();

 private:
  std::string name_;
  std::function<void()> onClick_;
};

// A drop-down list. The plain combo binds a text variable to the chosen item's text;
// the table combo binds the chosen row's value field and shows its display field.
class Combo : public Control {
 public:
  Combo(Dialog& d, int id, Accessor a, std::vector<std::string> items,
        std::vector<std::string> values = {});
  PLANILLA_UI_STYLE(Combo)
  Combo& onChange(std::function<void()> fn);
  Combo& valid(std::function<bool()> fn);
  const std::vector<std::string>& items() const { return items_; }
  // Index of the current choice, -1 when the variable matches no item.
  int current() const { return current_; }
  bool focusable() const override { return enabled(); }
  // Operator side: choose an item (0-based) or by its text (compared after trimming
  // blanks on the right). The variable changes at once; onChange runs.
  bool choose(int index);
  bool choose(std::string_view item);
  bool leave();
  void refresh() override;

 private:
  Accessor acc_;
  std::vector<std::string> items_, values_;  // values_ empty: the items are the values
  std::function<void()> onChange_;
  std::function<bool()> valid_;
  int current_ = -1;
};

// Radio buttons of several template identifiers bound to one number (1 = first).
class RadioGroup : public Control {
 public:
  RadioGroup(Dialog& d, std::vector<int> ids, Accessor a);
  PLANILLA_UI_STYLE(RadioGroup)
  RadioGroup& onChange(std::function<void()> fn);
  const std::vector<int>& ids() const { return ids_; }
  int value() const { return value_; }  // 1-based; 0 none
  bool focusable() const override { return enabled(); }
  bool choose(int index1);               // operator side, 1-based
  bool chooseId(int id);
  void refresh() override;
  // Rect of each button (template geometry).
  std::vector<Rect> rects;
  std::vector<std::string> captions;

 private:
  std::vector<int> ids_;
  Accessor acc_;
  std::function<void()> onChange_;
  int value_ = 0;
};

class CheckBox : public Control {
 public:
  CheckBox(Dialog& d, int id, Accessor a);
  PLANILLA_UI_STYLE(CheckBox)
  CheckBox& onChange(std::function<void()> fn);
  bool checked() const { return checked_; }
  bool focusable() const override { return enabled(); }
  bool set(bool on);  // operator side
  void refresh() override;

 private:
  Accessor acc_;
  std::function<void()> onChange_;
  bool checked_ = false;
};

// A browse list over a table in its controlling order. The table is shared with the
// screen: the current record of the table is the list's cursor. Rows are fetched in
// windows and the table's position is restored after every fetch, so the screen's
// code always finds the table where the operator left the cursor.
class Browse : public Control {
 public:
  enum class Align { Left, Right };
  Browse(Dialog& d, int id, Table& table);
  PLANILLA_UI_STYLE(Browse)
  Browse& headers(std::vector<std::string> h);
  Browse& widths(std::vector<int> pixels);
  Browse& aligns(std::vector<Align> a);
  // Column values of the table's current record.
  Browse& line(std::function<std::vector<std::string>()> fn);
  Browse& onDoubleClick(std::function<void()> fn);
  Browse& columnMoving(bool on);
  Browse& wholeRowCursor(bool on);
  // Optional colours of the current record's row.
  Browse& rowColors(std::function<std::optional<std::pair<Color, Color>>()> fn);
  // Only the records for which `fn` is true are rows (a view of the table, nothing
  // copied); the table's position is the cursor as before. Such a list is counted
  // whole when it is first shown.
  Browse& filter(std::function<bool()> fn);
  // The column type-ahead searches (default: the one whose header says "NOMBRE"; -1
  // none).
  Browse& nameColumn(int col);
  // The index tag (by name, any case) that orders the table by each column; "" where
  // none does. Default: the tag named as the column's header (letters only, "N O M B
  // R E" is "nombre"), and for the name column a tag "nombre".
  Browse& sortTags(std::vector<std::string> tags);
  // Columns added up on the totals line (right-aligned amounts as shown).
  Browse& totals(std::vector<int> cols);
  // What an exported list is called (the spreadsheet's file name without period and
  // extension, and its sheet), e.g. "empleados_2026-12".
  Browse& exportName(std::string name);

  const std::vector<std::string>& headerTexts() const { return headers_; }
  const std::vector<int>& columnWidths() const { return widths_; }
  Align align(size_t col) const { return col < aligns_.size() ? aligns_[col] : Align::Left; }
  size_t columnCount() const;
  bool canMoveColumns() const { return moving_; }
  bool rowCursor() const { return rowCursor_; }
  Table& table() const { return *table_; }
  bool focusable() const override { return enabled(); }
  int nameColumnIndex() const;
  bool hasTotals() const { return !totalCols_.empty(); }
  const std::vector<int>& totalColumns() const { return totalCols_; }
  const std::string& exportBaseName() const { return exportName_; }
  bool filtered() const { return static_cast<bool>(filter_); }

  // --- finding and sorting (operator side) -------------------------------------------
  // Moves the cursor to the first row whose name starts with `text` (any case; then,
  // when none does, one where a word of the name starts with it). With a tag on the
  // name the list is put in name order and the tag is sought; otherwise the rows are
  // read in the list's order. False, cursor and order unchanged, when no row matches.
  bool findName(std::string_view text);
  // Type-ahead: a character (32..255) is added to the text typed so far and sought
  // with findName; backspace (8) takes the last one back; any other code starts over.
  // A character that matches no row is not kept (false). The backend starts over
  // after a pause.
  bool typeKey(int code);
  void resetTypeAhead() { typed_.clear(); }
  const std::string& typedText() const { return typed_; }
  // The tag that orders by column `col` (1-based tag position; 0 none).
  int sortTag(size_t col) const;
  // Puts the list in the order of column `col` (the cursor stays on its record).
  // False when no index orders by it.
  bool sortBy(size_t col);
  // The column the list is ordered by now; -1 when none (or an order of no column).
  int sortedColumn() const;

  // --- totals --------------------------------------------------------------------------
  // The totals line: the sum of each totalled column over every row, shown with the
  // most decimals its values show (asterisks when a value shown did not fit its
  // column: its sum is not known); "TOTALES" in the name column (else the first
  // free one). Recomputed whenever the list was stabilised or refreshed. Empty when
  // the list has no totals.
  const std::vector<std::string>& totalsLine();

  // Re-synchronises with the table after the screen moved it or changed records.
  void stabilize();
  // Repaints (re-reads the visible rows).
  void refresh() override;
  // Bumped by stabilize() and refresh(): views re-read everything when it changes.
  uint64_t generation() const { return generation_; }

  // --- data for views (each restores the table's position) ---------------------
  // Number of rows: an estimate from the record count until the end has been seen.
  int rowCount();
  bool rowCountExact() const { return exact_; }
  // Column values of row `index` (0-based, controlling order); empty past the end.
  const std::vector<std::string>& row(int index);
  std::optional<std::pair<Color, Color>> rowColor(int index);
  // Row of the table's current record; -1 at end of file.
  int currentRow();

  // --- operator side -------------------------------------------------------------
  bool pick(int index);  // moves the table to row `index`; false past the end
  bool doubleClick(int index);

 private:
  struct Saved {
    uint32_t recno;
    bool eof;
  };
  Saved save() const;
  void restore(const Saved& s);
  bool positionAt(int index);  // moves the table to row `index` (may refine the count)
  void fetchWindow(int index);
  void resetCache();
  bool seekName(const std::string& key);
  bool scanName(const std::string& key, bool wordStart);
  void countFiltered();

  Table* table_;
  std::vector<std::string> headers_;
  std::vector<int> widths_;
  std::vector<Align> aligns_;
  std::function<std::vector<std::string>()> line_;
  std::function<void()> onDouble_;
  std::function<std::optional<std::pair<Color, Color>>()> rowColor_;
  std::function<bool()> filter_;
  int nameCol_ = -2;  // -2: from the headers
  std::vector<std::string> sortTags_;
  std::vector<int> totalCols_;
  std::string exportName_, typed_;
  std::vector<std::string> totals_;
  uint64_t totalsGen_ = ~uint64_t{0};
  bool moving_ = true, rowCursor_ = false;
  uint64_t generation_ = 0;
  // Cache: known record numbers by row, fetched rows, and the row count.
  std::map<int, uint32_t> recnoByRow_;
  std::unordered_map<uint32_t, int> rowByRecno_;
  std::map<int, std::vector<std::string>> lines_;
  std::map<int, std::optional<std::pair<Color, Color>>> colors_;
  int count_ = -1;
  bool exact_ = false;
};

// --- dialog --------------------------------------------------------------------------
class Dialog {
 public:
  // From a named template (matched without regard to case). A missing template is
  // reported when the dialog opens, like a missing identifier.
  Dialog(Toolkit& tk, std::string_view templateName, std::string title);
  // From text coordinates (row, column, bottom, right), without template.
  Dialog(Toolkit& tk, double top, double left, double bottom, double right, std::string title);
  ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // --- binding by template identifier --------------------------------------------
  Field& field(int id, Accessor a);
  Label& label(int id);
  Button& button(int id, std::function<void()> action);
  // Bitmap button: caption from the template, the image left of it (TEXTRIGHT).
  Button& bitmapButton(int id, std::string image, std::function<void()> action, bool textRight = true);
  Image& image(int id, std::string name, std::function<void()> onClick = {});
  Combo& combo(int id, Accessor a, std::vector<std::string> items);
  // Items read now from `table` (from its first record in its controlling order; the
  // table's position is restored): `valueField` is stored, `displayField` shown.
  // With `only`, the records for which it is false are left out.
  Combo& tableCombo(int id, Accessor a, Table& table, std::string_view valueField,
                    std::string_view displayField, const std::function<bool()>& only = {});
  RadioGroup& radio(std::vector<int> ids, Accessor a);
  CheckBox& check(int id, Accessor a);
  Browse& browse(int id, Table& table);

  // --- controls placed in code (text cells; sizes in dialog units) ----------------
  // Identifiers are given from 1001 up in order of creation.
  Field& fieldAt(double row, double col, Accessor a, double w = 0, double h = 12);
  Label& labelAt(double row, double col, std::string text, double w = 0, double h = 10);
  Button& buttonAt(double row, double col, std::string caption, double w, double h,
                   std::function<void()> action);
  Image& imageAt(double row, double col, std::string name, double w, double h,
                 std::function<void()> onClick = {});
  Browse& browseAt(double row, double col, double w, double h, Table& table);

  // --- bars of the maintenance screens (built in the initialisation action) --------
  // A button of `size` x `size` pixels on a bar along the top of the dialog; `group`
  // leaves a gap before it.
  Button& barButton(std::string image, std::string tooltip, std::function<void()> action,
                    int size = 55, bool group = false);
  void messageBar(std::string text);
  const std::string& messageBarText() const { return messageBar_; }
  const std::vector<Button*>& barButtons() const { return bar_; }

  // --- life ------------------------------------------------------------------------
  // Shows the dialog modally; `init` runs once the controls exist. Returns when the
  // dialog is ended.
  void activate(std::function<void()> init = {}, bool centered = true);
  // Ends the dialog (from any action). The action that calls it runs to its end.
  void end();
  bool ended() const { return ended_; }
  bool active() const { return active_; }
  bool centered() const { return centered_; }

  Toolkit& toolkit() const { return *tk_; }
  const std::string& templateName() const { return templateName_; }
  const DialogTemplate* tmpl() const { return tmpl_; }
  const std::string& title() const { return title_; }
  void setTitle(std::string t);
  // Text and background of the dialog (maintenance screens: white on (140, 200, 200)).
  void setColors(Color fg, Color bg) { fg_ = fg, bg_ = bg; }
  std::optional<Color> foreground() const { return fg_; }
  std::optional<Color> background() const { return bg_; }
  double width() const { return width_; }   // dialog units
  double height() const { return height_; }
  // Binding errors found so far ("EDITBANCO: no hay control 999"); reported by the
  // backends when the dialog opens.
  const std::vector<std::string>& errors() const { return errors_; }

  // All controls in tab order (template order, then those placed in code).
  std::vector<Control*> controls() const;
  // The control bound (or left static) at that identifier; nullptr when absent.
  Control* control(int id) const;
  Field* fieldById(int id) const;
  Label* labelById(int id) const;
  Button* buttonByCaption(std::string_view caption) const;  // "&" and blanks ignored

  // --- focus -------------------------------------------------------------------------
  Control* focus() const { return focus_; }
  // Moves the focus; leaving a field runs its validation, refusal keeps the focus.
  bool moveFocus(Control* target);
  // Tab: to the next focusable control after the current one.
  bool focusNext();
  // Called by backends when the dialog opens: focus on the first focusable control.
  void focusFirst();
  // Shift+Tab: back to the previous focusable control without validating the field
  // being left (its validation is owed until it is left forwards or a button acts).
  bool focusPrev();
  // Runs the owed validations (fields left backwards), in tab order; a refusal puts
  // the focus on that field and returns false.
  bool validateOwed();
  // A key the operator pressed with the focus where the model has it (see Key). True
  // when the key did something.
  bool keyPress(Key k);
  // Alt+letter: presses the button whose accelerator is `letter`. False when none.
  bool pressMnemonic(char letter);
  // The bar button with that role; nullptr when the bar has none.
  Button* barButton(BarRole r) const;
  // The button Enter presses from the last input: the default one, else the first
  // enabled button that is not cancel(), in tab order. nullptr when none.
  Button* enterButton() const;
  // Close box / Escape: ends without validation (after the discard question, see
  // askDiscard; the dialog stays open when the operator keeps the form).
  void close();
  // A form whose changes are worth keeping: once the operator has changed a value
  // (typed into a field, chosen in a combo, radio group or check box), closing it
  // or pressing a cancel() button first asks "¿Descartar Los Cambios?" (default No);
  // "No" keeps the form open as it is. Nothing is asked without changes.
  Dialog& askDiscard(bool on = true) {
    askDiscard_ = on;
    return *this;
  }
  bool asksDiscard() const { return askDiscard_; }
  bool changedByOperator() const { return touched_; }
  // Called by the controls when the operator changed a value.
  void noteChange() { touched_ = true; }
  // True when the dialog may be left without saving: no changes, not a form that
  // asks, or the operator answered "Si".
  bool mayDiscard();
  // The action F4 runs from field `f` (its lookup, else the picture beside it);
  // empty when it has none.
  std::function<void()> lookupOf(const Field& f) const;
  // Runs the leave rules of the focused control (store and validate a field) without
  // moving the focus; false when refused.
  bool validateFocused();

  // Views may hook the title and focus moves.
  std::function<void()> onTitleChanged;
  std::function<void(Control*)> onFocusMoved;
  std::function<void()> onEnd;  // end() was called (the backend closes its window)

 private:
  friend class Control;
  template <class T, class... A>
  T& bind(int id, A&&... args);
  template <class T, class... A>
  T& place(Rect r, A&&... args);
  void adopt(Control& c, int id, bool fromTemplate);
  void assignMnemonic(Button& b);
  bool pressBarRole(BarRole r);
  bool enter();

  Toolkit* tk_;
  std::string templateName_;
  const DialogTemplate* tmpl_ = nullptr;
  std::string title_;
  double width_ = 0, height_ = 0;
  std::vector<std::unique_ptr<Control>> controls_;  // tab order
  std::vector<Button*> bar_;
  std::string messageBar_;
  std::vector<std::string> errors_;
  Control* focus_ = nullptr;
  int nextId_ = 1001;
  bool ended_ = false, active_ = false, centered_ = true;
  bool validating_ = false, movedInValid_ = false;
  bool askDiscard_ = false, touched_ = false;
  std::optional<Color> fg_, bg_;
};

// --- main window ---------------------------------------------------------------------
class MainWindow {
 public:
  struct MenuItem {
    std::string caption, message, image;
    std::function<void()> action;  // empty: an inert entry
    bool separator = false;
    bool submenu = false;
    bool enabled = true;  // false: shown greyed, cannot be chosen
    std::vector<MenuItem> children;
  };
  struct BarButton {
    std::string image, image2, message, tooltip;
    bool group = false;  // a gap before it
    std::function<void()> action;
    bool enabled = true;  // false: shown greyed, cannot be pressed
  };

  explicit MainWindow(Toolkit& tk) : tk_(&tk) {}

  void setTitle(std::string t);
  const std::string& title() const { return title_; }
  void setIcon(std::string name) { icon_ = std::move(name); }
  const std::string& icon() const { return icon_; }
  void setColors(Color fg, Color bg) { fg_ = fg, bg_ = bg; }
  Color foreground() const { return fg_; }
  Color background() const { return bg_; }

  // Menu tree: begin a submenu, add items, end it. add() without arguments adds a
  // separator.
  // A disabled entry or submenu is shown greyed and cannot be chosen.
  void beginMenu(std::string caption, std::string message = "", std::string image = "", bool enabled = true);
  void add(std::string caption, std::string message, std::function<void()> action = {},
           std::string image = "", bool enabled = true);
  void add();
  void endMenu();
  const std::vector<MenuItem>& menu() const { return menu_; }

  void addBarButton(BarButton b) { bar_.push_back(std::move(b)); }
  const std::vector<BarButton>& bar() const { return bar_; }
  void setMessageBar(std::string text);
  const std::string& messageBarText() const { return message_; }
  // Logo re-centred whenever the window is resized (pixels).
  void setLogo(std::string image, int width, int height) {
    logo_ = std::move(image), logoW_ = width, logoH_ = height;
  }
  const std::string& logo() const { return logo_; }
  int logoWidth() const { return logoW_; }
  int logoHeight() const { return logoH_; }

  // Shows the window maximised; returns when it is closed.
  void run();
  void close();
  bool closed() const { return closed_; }

  // Operator side: chooses the entry at `path` (captions exactly as given); false
  // when there is no such entry, it is a submenu or it (or a submenu on the way) is
  // disabled. Inert entries do nothing.
  bool choose(const std::vector<std::string>& path);
  bool pressBar(int index);  // 0-based; false for a disabled button

  std::function<void()> onChanged;  // title or message bar changed (for views)

 private:
  Toolkit* tk_;
  std::string title_, icon_, message_, logo_;
  int logoW_ = 0, logoH_ = 0;
  Color fg_ = color::kMainWindow, bg_ = color::kMainWindow;
  std::vector<MenuItem> menu_;
  std::vector<std::vector<MenuItem>*> open_;  // submenus being built
  std::vector<BarButton> bar_;
  bool closed_ = false;
};

// --- a list as a spreadsheet ------------------------------------------------------------
// What "Exportar A Hoja De Calculo" writes: the list's columns with typed cells (an
// amount a number, a date a date, the rest text as shown) and its totals line.
struct ListCell {
  enum class Kind { Text, Number, Day } kind = Kind::Text;
  std::string text;  // Windows-1252, as shown (trailing blanks cut)
  double number = 0;
  int decimals = 0;
  Date day;
};
struct ListSheet {
  std::string title;                           // the dialog's title
  std::vector<std::string> headers;
  std::vector<int> widths;                     // pixels, as on screen
  std::vector<std::vector<ListCell>> rows;
  std::vector<ListCell> totals;                // empty: no totals line
};
// Writes `sheet` to the file `path`; returns "" when written, else what went wrong.
using SheetWriter = std::function<std::string(const ListSheet& sheet, const std::string& path)>;

// --- the backend -----------------------------------------------------------------------
// One toolkit per session: it is also the session's message boxes.
class Toolkit : public Messages {
 public:
  // Where to write a file the operator asked for (an export, a PDF): the desktop asks
  // with the system's save dialog, starting in `proposed` (a path: folder and a name
  // that says what the file is). nullopt when the operator cancelled. Without a
  // screen the proposal is taken as it is.
  virtual std::optional<std::string> askSaveFile(const std::string& title, const std::string& proposed,
                                                 const std::string& filter) {
    (void)title, (void)filter;
    return proposed;
  }
  // The folder to write a set of files into whose names are fixed (the statutory
  // files): the desktop asks with the system's folder dialog, starting in `proposed`.
  // nullopt when cancelled; without a screen `proposed` as it is.
  virtual std::optional<std::string> askFolder(const std::string& title, const std::string& proposed) {
    (void)title;
    return proposed;
  }
  // The spreadsheet writer lists are exported with (installed by the program).
  void setSheetWriter(SheetWriter w) { sheetWriter_ = std::move(w); }
  const SheetWriter& sheetWriter() const { return sheetWriter_; }

  // Runs `dlg` modally: shows it, lets the operator work until dlg.end()/close().
  virtual void runModal(Dialog& dlg) = 0;
  // Shows the main window; returns when it is closed.
  virtual void runMain(MainWindow& w) = 0;
  // Plays a wave file once without waiting; silent when there is no sound device.
  virtual void playSound(const std::string& file) = 0;
  // The main window's title or message bar changed.
  virtual void mainChanged(MainWindow&) {}

  // Folder where images named by the screens are looked for ("." = working dir).
  void setDataDir(std::string dir) { dataDir_ = std::move(dir); }
  const std::string& dataDir() const { return dataDir_; }

 private:
  std::string dataDir_ = ".";
  SheetWriter sheetWriter_;
};

// Plays `file` (a name of the data directory) once, without waiting.
void playSound(Toolkit& tk, const std::string& file);

}  // namespace planilla::ui
