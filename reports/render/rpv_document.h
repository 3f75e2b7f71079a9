// The report markup as data: settings, the page-header section and the body, each
// section a sequence of text runs and commands. Parsing never fails: text that is not
// markup is printed, commands that are not understood are kept as Unknown and
// skipped by the layout, an unclosed "{" is printed as text. Outside braces "\{",
// "\}" and "\\" print a brace or a backslash (how values from the tables are
// written); a backslash before any other character prints as itself, as it always did.
//
// File form: key=value lines, a line "[Header]", the header lines, a line "[Data]",
// the body lines. Carriage returns and line feeds only end file lines; the printed
// line advances with the "\n" command alone. In a file without "[Header]" and
// "[Data]" lines the leading key=value lines are the settings and the rest is body.
//
// A file is read twice, in pieces: once to find where its parts lie (that a file has
// no section lines is known only at its end), once to hand its settings and items on
// as they come. Nothing is held in proportion to the length of a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/status.h"

namespace planilla::rpv {

enum class Cmd {
  Stop,       // $cNN: select column stop NN (text: the stop's name, "01")
  Tab,        // tab=N or a bare number: offset N from the selected stop (value)
  Align,      // a=l / a=L / a=r / a=c (ch: 'l', 'r' or 'c')
  Bold,       // b=y / b=n (value 1 / 0)
  Underline,  // u=y / u=n
  Size,       // s=N (points)
  Font,       // f=NAME (text)
  NewLine,    // \n
  PageBreak,  // \np
  Cell,       // e, t: cell markers, no effect on the page
  PenWidth,   // w=N
  Box,        // box=X,Y,W,H (nums)
  FilledBox,  // boxf=X,Y,W,H
  Color,      // c=N
  Picture,    // pic=FILE,X,Y,W,H (text, nums)
  Rule,       // Line=X1,X2 (nums)
  Unknown,    // anything else (text: the command as written)
};

struct Item {
  bool isText = false;
  std::string text;  // the run (Windows-1252 bytes) or the command's text argument
  Cmd cmd = Cmd::Unknown;
  int value = 0;
  char ch = 0;
  std::vector<int> nums;
};

struct Document {
  std::vector<std::pair<std::string, std::string>> settings;  // as written, in order
  std::string title;        // Report_Title
  std::string paper = "A4"; // PaperSize
  int orientation = 1;      // 1 portrait, 2 landscape
  int spacing = 220;        // line advance, twips
  std::map<std::string, int> stops;  // "00" -> 400 ...
  bool hasHeader = false;
  std::vector<Item> header;
  std::vector<Item> body;
};

// Limits that keep the memory of reading a report within bounds whatever the file
// holds. None is reached by a report the system writes: the widest sheet (A3
// landscape, 23811 twips) holds under 400 characters at 5 points.
inline constexpr size_t kMaxRunBytes = 4096;    // a text run keeps its first bytes
inline constexpr size_t kMaxGroupBytes = 4096;  // a group not closed within is text
inline constexpr size_t kMaxSettings = 1024;    // settings kept, and distinct stops
inline constexpr size_t kMaxSettingLine = 4096; // a settings line keeps its first bytes

using ItemSink = std::function<void(Item&&)>;

// The items of a section's text, produced as the text arrives in pieces of any size.
// Carriage returns and line feeds are skipped. A run longer than kMaxRunBytes is cut
// there; a "{" whose group does not close within kMaxGroupBytes (or before the end
// of the section) is text, together with what follows it up to that point.
class ItemReader {
 public:
  explicit ItemReader(ItemSink sink) : sink_(std::move(sink)) {}
  void feed(std::string_view piece);
  // The end of the section: a group left open is text.
  void finish();

 private:
  void text(char c) {
    if (run_.size() < kMaxRunBytes) run_.push_back(c);
  }
  void flushText();
  ItemSink sink_;
  std::string run_;
  std::string group_;
  bool inGroup_ = false;
  bool escape_ = false;  // a backslash outside a group, waiting for the next byte
  std::vector<Item> items_;
};

// Where the parts of a report file lie, in bytes from its start.
struct FileParts {
  uint64_t settingsEnd = 0;  // the settings lines are [0, settingsEnd)
  bool hasHeader = false;
  uint64_t headerBegin = 0, headerEnd = 0;
  uint64_t bodyBegin = 0;  // the body runs to the end of the file
};

// First reading of a report: finds its parts. Holds a few bytes whatever the
// length of the lines.
class PartsScanner {
 public:
  void feed(std::string_view piece);
  // True once the "[Data]" line has been seen: the rest need not be read.
  bool done() const { return dataLine_; }
  FileParts finish();

 private:
  void endLine(uint64_t next);
  uint64_t pos_ = 0, lineStart_ = 0;
  // The line read so far, trimmed on the left and up to 8 characters ("[Header]").
  std::string word_;
  size_t blanks_ = 0;  // blanks after the last character of word_
  bool long_ = false;  // more than "[Header]" holds
  int keyState_ = 0;   // key=value line: 0 before the key, 1 key, 2 blanks after it, 3 yes, 4 no
  bool headerLine_ = false, dataLine_ = false;
  uint64_t headerStart_ = 0, headerNext_ = 0, dataStart_ = 0, dataNext_ = 0;
  bool allSettings_ = true;
  uint64_t firstOther_ = 0;  // start of the first line that is no key=value line
};

// Second reading: the settings into `head`, the items of the header and the body to
// their sinks, in file order; `head` is complete before the first item goes out.
class DocumentReader {
 public:
  DocumentReader(const FileParts& parts, Document& head, ItemSink header, ItemSink body);
  void feed(std::string_view piece);
  void finish();

 private:
  void settingsBytes(std::string_view s);
  void settingLine();
  void endSettings();
  void endHeader();
  FileParts parts_;
  Document& doc_;
  ItemReader header_, body_;
  uint64_t pos_ = 0;
  std::string line_;
  bool settingsDone_ = false, headerDone_ = false;
};

// Both readings over bytes in memory.
void readDocument(std::string_view bytes, Document& head, ItemSink header, ItemSink body);
// Both readings over a file, in pieces of 64 KiB; fails only when it cannot be read.
[[nodiscard]] Status readDocumentFile(const std::string& path, Document& head, ItemSink header, ItemSink body);

// The whole report with its sections' items.
Document parseDocument(std::string_view bytes);

// The commands of one group's text (between the braces), appended to `out`.
void parseGroup(std::string_view group, std::vector<Item>& out);
// A section's text into items.
std::vector<Item> parseSection(std::string_view text);

// Coordinates and sizes are clamped to this range so that absurd values cannot make
// the painter misbehave.
inline constexpr int kMaxCoord = 200000;

}  // namespace planilla::rpv
