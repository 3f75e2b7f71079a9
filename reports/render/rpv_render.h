// Painting laid-out report pages with QPainter: onto a PDF file, a printer or a
// widget. Needs a QGuiApplication (fonts). Text arrives as Windows-1252 bytes and is
// converted here, at the Qt edge.
//
// Fonts: "Lucida Console" and other console faces become an installed monospace font
// with the same advance (DejaVu Sans Mono, 0.6 em), "Times New Roman" the
// metric-compatible Liberation Serif, "Arial" Liberation Sans, "Courier New"
// Liberation Mono; other names are asked of the font database as written.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QImage>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reports/render/rpv_layout.h"
#include "store/status.h"

class QPainter;
class QPrinter;

namespace planilla::rpv {

// Windows-1252 bytes to Unicode.
QString fromCp1252(std::string_view bytes);

// The QFont for a report font, sized in twips (pixel size = points x 20), so that it
// paints at the right size in a painter whose units are twips.
QFont qtFont(const FontSpec& f);

// Text measured with the real fonts (QFontMetricsF); monospace fonts by advance x count.
class QtTextMetrics : public TextMetrics {
 public:
  double width(const FontSpec& f, std::string_view text) override;
  double ascent(const FontSpec& f) override;
  double descent(const FontSpec& f) override;

 private:
  struct Entry {
    FontSpec fontKey;
    QFont font;
    double ascent = 0, descent = 0, advance = 0;  // advance > 0 for fixed pitch
  };
  Entry& entry(const FontSpec& f);
  std::vector<Entry> cache_;
  size_t last_ = 0;
};

// A report read from disk and laid out with QtTextMetrics.
struct RenderedReport {
  Document doc;  // settings and title (the sections are not kept)
  Layout layout;
  std::string pictureDir;  // folder the pictures are taken from (the report's folder)
};

// Reads and lays out `path`, in pieces (see rpv_document.h); fails only when the
// file cannot be read.
Result<RenderedReport> loadReport(const std::string& path, const LayoutOptions& options = {});
RenderedReport layoutReport(std::string_view bytes, std::string pictureDir, const LayoutOptions& options = {});

// Paints the pages of one layout; keeps the fonts and the pictures it has loaded.
class PagePainter {
 public:
  PagePainter(const Layout& layout, std::string pictureDir);
  // Paints page `index` with the painter's units in twips and the origin at the
  // sheet's top-left corner (margins are applied here).
  void paint(QPainter& p, size_t index);
  // Paints one page of the layout given at construction (a page handed out while the
  // layout is being made: its header and fonts are those of that layout).
  void paint(QPainter& p, const Page& page);

 private:
  // Shaped texts kept before the cache is emptied (between two pages).
  static constexpr size_t kMaxCachedRuns = 50000;
  void loadFonts();
  const QImage& picture(const std::string& name);
  // The text shaped once: glyphs and positions from the font's own tables, reused
  // for every later run of the same text in the same font (labels, amounts and the
  // header repeat on every page). Null when the font lacks a glyph or underlines:
  // drawText then.
  const QGlyphRun* glyphs(int font, const std::string& text);
  const Layout& layout_;
  std::string dir_;
  std::vector<QFont> fonts_;
  std::vector<QRawFont> rawFonts_;
  std::vector<std::unordered_map<std::string, QGlyphRun>> runs_;  // per font, by text
  size_t cached_ = 0;
  QHash<QString, QImage> pictures_;
};

// Writes every page to a PDF file (through a temporary file, renamed when complete).
[[nodiscard]] Status writePdf(const RenderedReport& r, const std::string& pdfPath);

// Reads, lays out and paints the report file `rpvPath` into `pdfPath` page by page:
// memory does not grow with the length of the report. `pageCount` receives the pages
// written. The PDF is written beside its target and put in place when complete.
[[nodiscard]] Status renderFileToPdf(const std::string& rpvPath, const std::string& pdfPath,
                                     size_t* pageCount = nullptr, const LayoutOptions& options = {});

// Prints pages from..to (1-based, 0 = all) on a printer already set up.
[[nodiscard]] Status printReport(const RenderedReport& r, QPrinter& printer, int from = 0, int to = 0);

}  // namespace planilla::rpv
