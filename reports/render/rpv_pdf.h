// Writing laid-out pages straight into a PDF file, without a QPainter.
//
// The page description a painter produces for a PDF places every glyph on its own
// (a move and a show per character) and recompresses all of it; a report is nothing
// but rows of text in a handful of fonts, so here each text run becomes one string of
// glyph numbers shown at its position, and the fonts are embedded once, at the end, as
// TrueType subsets holding the glyphs used (with a ToUnicode map, so the text can be
// searched and copied). Frames, bands, rules and pictures become the same few
// operators the painter would write. A font without TrueType outlines has its glyphs
// drawn as filled shapes; a character a font lacks is taken from DejaVu Sans.
//
// The sheet, the margins and the drawing are those of PagePainter: the two must look
// the same on paper.
#pragma once

#include <memory>
#include <string>

#include "reports/render/rpv_layout.h"
#include "store/status.h"

namespace planilla::rpv {

class DirectPdf {
 public:
  // Writes through `fd` (left open); `pictureDir` is the folder pictures come from.
  DirectPdf(int fd, std::string pictureDir);
  ~DirectPdf();
  DirectPdf(const DirectPdf&) = delete;
  DirectPdf& operator=(const DirectPdf&) = delete;

  // The sheet of every page and the document's title (Windows-1252); before page().
  void begin(const Layout& sheet, const std::string& title);
  // One page: the header of `l` and the body `page`; `l` holds the fonts so far.
  void page(const Layout& l, const Page& page);
  // The fonts, pictures, page tree and cross-reference table; fails when any write
  // failed (a full disk).
  [[nodiscard]] Status finish();
  size_t pages() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace planilla::rpv
