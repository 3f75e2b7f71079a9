// The report markup as data: settings, the page-header section and the body, each
// section a sequence of text runs and commands. Parsing never fails: text that is not
// markup is printed, commands that are not understood are kept as Unknown and
// skipped by the layout, an unclosed "{" is printed as text.
//
// File form: key=value lines, a line "[Header]", the header lines, a line "[Data]",
// the body lines. Carriage returns and line feeds only end file lines; the printed
// line advances with the "\n" command alone. In a file without "[Header]" and
// "[Data]" lines the leading key=value lines are the settings and the rest is body.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

Document parseDocument(std::string_view bytes);
// The settings and the header of a report, with the body's text (file lines joined)
// in `bodyText` and `Document::body` left empty: long bodies are then laid out item by
// item without being held in memory (layoutStream).
Document parseHead(std::string_view bytes, std::string* bodyText);

// The commands of one group's text (between the braces), appended to `out`.
void parseGroup(std::string_view group, std::vector<Item>& out);
// A section's text (file lines already joined) into items.
std::vector<Item> parseSection(std::string_view text);
// The same, handing each item to `sink` in order.
void forEachItem(std::string_view text, const std::function<void(Item&&)>& sink);

// Coordinates and sizes are clamped to this range so that absurd values cannot make
// the painter misbehave.
inline constexpr int kMaxCoord = 200000;

}  // namespace planilla::rpv
