// Lays a parsed report out on pages: where every text run, frame, rule and picture
// goes, in twips (1/1440 inch) from the top-left corner of the printable area. No
// painting happens here; text is measured through TextMetrics, so the layout can be
// checked with fixed metrics.
//
// Rules:
//  - Page size from PaperSize (A4 11906 x 16838; Letter, Legal) and Orientation
//    (2 = landscape). The printable area is the page less LayoutOptions' margins;
//    positions in the file are measured from its top-left corner.
//  - Each "\n" ends the printed line: the line is Spacing high, or the largest font
//    size on it (in twips) when that is taller. Text is centred vertically in its
//    line on a common baseline.
//  - $cNN selects a stop; tab=N (or a bare number) places the next text N twips from
//    it. With a=l the text starts there, with a=r it ends there, with a=c it is
//    centred on it. Text with no new position continues where the last text ended.
//  - After a "\n" the next text without a new position starts at the selected stop.
//  - The header section is laid out once and drawn at the top of every page; the
//    body of every page starts where the header ended. The state the header leaves
//    (font, size ...) is the body's starting state.
//  - A body line that would cross the bottom of the printable area moves to a new
//    page, a line with nothing on it as well: line feeds keep their place however
//    many there are, and what follows them lands on the page and line it would on
//    paper. A page that line feeds alone reached is made only when something is
//    drawn on it or after it; a "\np" there goes back to its top instead of leaving
//    it blank. Elsewhere "\np" starts a new page. A last page left without body
//    content is dropped.
//  - Forms: when the header draws a frame reaching at least half a page below the
//    header's end (the payslip), a body line starting more than one line below that
//    frame begins a new page, so each copy of the form is filled from its top; line
//    feeds below the frame only lead to that next copy.
//  - A printed line keeps its first kMaxLineOps drawn items and a page its first
//    kMaxPageOps: nothing on paper comes near, and memory stays bounded.
//  - box/boxf/pic positions are absolute on the page being filled; Line=X1,X2 draws
//    a rule through the middle of the current line.
//  - Colours c=N follow the 16-colour console palette (0 black, 7 light grey ...).
//  - w=N gives frames and rules a pen of N x 10 twips (half a point each).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reports/render/rpv_document.h"

namespace planilla::rpv {

struct FontSpec {
  std::string face;  // as named in the report ("Lucida Console")
  int size = 10;     // points
  bool bold = false;
  bool underline = false;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  // Width of Windows-1252 `text` in twips.
  virtual double width(const FontSpec& f, std::string_view text) = 0;
  // Ascent and descent in twips.
  virtual double ascent(const FontSpec& f) = 0;
  virtual double descent(const FontSpec& f) = 0;
};

// Every character `advance` x the size wide (0.6 em: the monospace report fonts),
// ascent 0.8 em, descent 0.2 em. Used by tests and as a fallback.
class FixedMetrics : public TextMetrics {
 public:
  explicit FixedMetrics(double advance = 0.6) : advance_(advance) {}
  double width(const FontSpec& f, std::string_view text) override {
    return static_cast<double>(text.size()) * advance_ * f.size * 20.0;
  }
  double ascent(const FontSpec& f) override { return 0.8 * f.size * 20.0; }
  double descent(const FontSpec& f) override { return 0.2 * f.size * 20.0; }

 private:
  double advance_;
};

struct DrawOp {
  enum Kind : uint8_t { Text, Frame, Fill, Rule, Picture };
  Kind kind = Text;
  // Text: x = left edge, y = baseline, w = measured width. Frame/Fill/Picture: the
  // rectangle. Rule: from (x, y) to (x + w, y).
  double x = 0, y = 0, w = 0, h = 0;
  int font = -1;        // index into Layout::fonts (Text)
  int pen = 0;          // pen width in twips (Frame, Rule)
  uint32_t rgb = 0;     // colour 0xRRGGBB
  std::string text;     // Text: the run (Windows-1252); Picture: the file name
  bool header = false;  // part of the repeated header section
};

// The body operations of one page; the header's are in Layout::header, drawn first
// on every page.
struct Page {
  std::vector<DrawOp> ops;
  bool hasBody = false;
};

struct LayoutOptions {
  int marginLeft = 360;
  int marginTop = 360;
  int marginRight = 360;
  int marginBottom = 360;
};

struct Layout {
  int pageWidth = 11906;   // whole sheet, twips
  int pageHeight = 16838;
  bool landscape = false;
  LayoutOptions margins;
  std::vector<FontSpec> fonts;
  std::vector<DrawOp> header;  // the header section, drawn at the top of every page
  std::vector<Page> pages;
  // Height available for lines on a page, twips.
  int contentHeight() const { return pageHeight - margins.marginTop - margins.marginBottom; }
};

inline constexpr size_t kMaxLineOps = 1024;
inline constexpr size_t kMaxPageOps = 65536;

// Receives each finished page of a layout in order; the layout passed along holds the
// sheet, the fonts seen so far and the header.
using PageSink = std::function<void(const Layout&, Page&&)>;

// Lays a report out item by item as it is read: every header item before the first
// body item. `head` holds the settings by the first item (or finish()). With a page
// sink every page goes to the sink as soon as it is complete and the finished Layout
// holds no pages: memory stays that of one page however long the report.
class LayoutBuilder {
 public:
  LayoutBuilder(const Document& head, TextMetrics& metrics, const LayoutOptions& options = {},
                PageSink sink = nullptr);
  ~LayoutBuilder();
  void headerItem(const Item& it);
  void bodyItem(const Item& it);
  Layout finish();

  // Laying pages out again from a point already passed (the viewer lays out only the
  // pages around the one shown). mark() saves the state between two items; resume()
  // puts this builder back in it, and the sink then receives again the pages that
  // followed the mark, numbered as pagesHanded() says. A mark is for its own builder.
  struct Mark;
  std::shared_ptr<const Mark> mark();
  void resume(const Mark& m);
  // Pages handed to the sink since the start (as of the mark resumed last).
  size_t pagesHanded() const;
  // The end of the items as finish() has it (the last pages go to the sink), keeping
  // the sheet, fonts and header, so that a mark can be resumed afterwards.
  void endPages();
  // The sheet, the fonts seen so far and the header.
  const Layout& sheet() const { return out_; }

 private:
  class Engine;
  Engine& engine();
  const Document& head_;
  TextMetrics& metrics_;
  LayoutOptions options_;
  PageSink sink_;
  Layout out_;
  std::unique_ptr<Engine> engine_;
};

Layout layoutDocument(const Document& doc, TextMetrics& metrics, const LayoutOptions& options = {});
// Reads and lays out report bytes, or a report file, in one go, without holding the
// sections' items; `head` (optional) receives the settings.
Layout layoutBytes(std::string_view bytes, TextMetrics& metrics, const LayoutOptions& options = {},
                   Document* head = nullptr);
Result<Layout> layoutFile(const std::string& path, TextMetrics& metrics, const LayoutOptions& options = {},
                          Document* head = nullptr);

// Sheet size in twips for a PaperSize value (portrait); A4 for unknown names.
void paperSize(std::string_view paper, int& width, int& height);
// Colour of palette entry n (0xRRGGBB); out-of-range numbers give black.
uint32_t paletteColor(int n);

}  // namespace planilla::rpv
