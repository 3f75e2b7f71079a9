#include "reports/render/rpv_render.h"

#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QFile>

#include "reports/render/rpv_pdf.h"
#include "reports/rpv_writer.h"

namespace planilla::rpv {

QString fromCp1252(std::string_view bytes) {
  // 0x80..0x9F differ from Latin-1; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unassigned
  // and shown as the replacement character.
  static const char16_t kHigh[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                     0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  QString s;
  s.resize(static_cast<qsizetype>(bytes.size()));
  QChar* out = s.data();
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    char16_t u = c;
    if (c >= 0x80 && c < 0xA0) u = kHigh[c - 0x80];
    else if (c < 0x20) u = 0x20;  // control characters print as blanks
    out[i] = QChar(u);
  }
  return s;
}

QFont qtFont(const FontSpec& f) {
  const QString face = QString::fromLatin1(f.face.data(), static_cast<qsizetype>(f.face.size())).trimmed();
  const QString lower = face.toLower();
  QFont font;
  QStringList families;
  QFont::StyleHint hint = QFont::AnyStyle;
  if (lower.isEmpty() || lower.contains("console") || lower.contains("courier") || lower.contains("mono") ||
      lower == "fixedsys" || lower == "terminal") {
    families << (lower.contains("courier") ? "Liberation Mono" : "DejaVu Sans Mono") << "DejaVu Sans Mono"
             << "Liberation Mono" << "monospace";
    hint = QFont::Monospace;
  } else if (lower.contains("times") || lower.contains("serif")) {
    families << "Liberation Serif" << "DejaVu Serif" << "serif";
    hint = QFont::Serif;
  } else if (lower.contains("arial") || lower.contains("helvetica") || lower.contains("sans")) {
    families << "Liberation Sans" << "DejaVu Sans" << "sans-serif";
    hint = QFont::SansSerif;
  } else {
    families << face << "DejaVu Sans";
  }
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(std::max(1, f.size * 20));
  font.setBold(f.bold);
  font.setUnderline(f.underline);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(false);
  return font;
}

QtTextMetrics::Entry& QtTextMetrics::entry(const FontSpec& f) {
  if (last_ < cache_.size() && cache_[last_].fontKey == f) return cache_[last_];
  for (size_t i = 0; i < cache_.size(); ++i)
    if (cache_[i].fontKey == f) return cache_[last_ = i];
  Entry e;
  e.fontKey = f;
  e.font = qtFont(f);
  QFontMetricsF fm(e.font);
  e.ascent = fm.ascent();
  e.descent = fm.descent();
  if (QFontInfo(e.font).fixedPitch()) e.advance = fm.horizontalAdvance(QLatin1Char('0'));
  cache_.push_back(std::move(e));
  last_ = cache_.size() - 1;
  return cache_.back();
}

double QtTextMetrics::width(const FontSpec& f, std::string_view text) {
  Entry& e = entry(f);
  if (e.advance > 0) return e.advance * static_cast<double>(text.size());
  return QFontMetricsF(e.font).horizontalAdvance(fromCp1252(text));
}

double QtTextMetrics::ascent(const FontSpec& f) { return entry(f).ascent; }
double QtTextMetrics::descent(const FontSpec& f) { return entry(f).descent; }

RenderedReport layoutReport(std::string_view bytes, std::string pictureDir, const LayoutOptions& options) {
  RenderedReport r;
  QtTextMetrics metrics;
  r.layout = layoutBytes(bytes, metrics, options, &r.doc);
  r.pictureDir = std::move(pictureDir);
  return r;
}

Result<RenderedReport> loadReport(const std::string& path, const LayoutOptions& options) {
  RenderedReport r;
  QtTextMetrics metrics;
  Result<Layout> layout = layoutFile(path, metrics, options, &r.doc);
  if (!layout) return layout.status();
  r.layout = std::move(layout.value());
  QFileInfo fi(QString::fromLocal8Bit(path.c_str()));
  r.pictureDir = fi.absolutePath().toLocal8Bit().toStdString();
  return r;
}

PagePainter::PagePainter(const Layout& layout, std::string pictureDir)
    : layout_(layout), dir_(std::move(pictureDir)) {
  loadFonts();
}

void PagePainter::loadFonts() {
  // A layout made while painting (streamed) adds fonts as they first appear.
  for (size_t i = fonts_.size(); i < layout_.fonts.size(); ++i) {
    fonts_.push_back(qtFont(layout_.fonts[i]));
    rawFonts_.push_back(QRawFont::fromFont(fonts_.back()));
  }
  runs_.resize(rawFonts_.size());
}

const QGlyphRun* PagePainter::glyphs(int font, const std::string& text) {
  if (font < 0 || static_cast<size_t>(font) >= rawFonts_.size()) return nullptr;
  // Underlined text goes through drawText, which draws the line with the text.
  if (fonts_[static_cast<size_t>(font)].underline()) return nullptr;
  auto& cache = runs_[static_cast<size_t>(font)];
  auto it = cache.find(text);
  if (it != cache.end()) return it->second.isEmpty() ? nullptr : &it->second;
  ++cached_;
  QGlyphRun run;
  const QRawFont& raw = rawFonts_[static_cast<size_t>(font)];
  if (raw.isValid()) {
    const QString str = fromCp1252(text);
    QList<quint32> ids = raw.glyphIndexesForString(str);
    bool complete = ids.size() == str.size();
    for (quint32 g : ids) complete = complete && g != 0;
    if (complete) {
      QList<QPointF> advances = raw.advancesForGlyphIndexes(ids, QRawFont::KernedAdvances);
      QList<QPointF> positions;
      positions.reserve(ids.size());
      QPointF pen(0, 0);
      for (const QPointF& a : advances) {
        positions.push_back(pen);
        pen += a;
      }
      run.setRawFont(raw);
      run.setGlyphIndexes(ids);
      run.setPositions(positions);
    }
  }
  auto ins = cache.emplace(text, std::move(run));
  return ins.first->second.isEmpty() ? nullptr : &ins.first->second;
}

const QImage& PagePainter::picture(const std::string& name) {
  const QString key = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  auto it = pictures_.find(key);
  if (it != pictures_.end()) return *it;
  QImage img;
  // Only plain names of files in the report's folder: no paths, matched without
  // regard to letter case.
  if (!key.contains('/') && !key.contains('\\') && key != "." && key != "..") {
    QDir dir(QString::fromLocal8Bit(dir_.c_str()));
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
      if (e.compare(key, Qt::CaseInsensitive) == 0) {
        img.load(dir.filePath(e));
        break;
      }
    }
  }
  return *pictures_.insert(key, img);
}

void PagePainter::paint(QPainter& p, size_t index) {
  if (index < layout_.pages.size()) paint(p, layout_.pages[index]);
}

void PagePainter::paint(QPainter& p, const Page& page) {
  loadFonts();
  // The shaped texts are kept across pages, within bounds on huge reports. They are
  // dropped only here, between pages: while a page is painted, the runs of a row are
  // gathered by pointer into the cache and must stay where they are.
  if (cached_ > kMaxCachedRuns) {
    for (auto& c : runs_) c.clear();
    cached_ = 0;
  }
  p.save();
  p.translate(layout_.margins.marginLeft, layout_.margins.marginTop);
  int currentFont = -1;
  QRgb currentText = 0xFFFFFFFF;
  const size_t nh = layout_.header.size(), n = nh + page.ops.size();
  auto opAt = [&](size_t k) -> const DrawOp& { return k < nh ? layout_.header[k] : page.ops[k - nh]; };
  QGlyphRun batch;
  QList<quint32> batchIds;
  QList<QPointF> batchPos;
  std::vector<const QGlyphRun*> batchRuns;
  for (size_t k = 0; k < n; ++k) {
    const DrawOp& op = opAt(k);
    const QColor color(QRgb(0xFF000000u | op.rgb));
    switch (op.kind) {
      case DrawOp::Text: {
        if (op.font != currentFont && op.font >= 0 && static_cast<size_t>(op.font) < fonts_.size()) {
          p.setFont(fonts_[static_cast<size_t>(op.font)]);
          currentFont = op.font;
        }
        if (currentText != op.rgb) {
          p.setPen(color);
          currentText = op.rgb;
        }
        const QGlyphRun* run = glyphs(op.font, op.text);
        if (!run) {
          p.drawText(QPointF(op.x, op.y), fromCp1252(op.text));
          break;
        }
        // The texts that follow on the same baseline in the same font and colour (the
        // cells of a row) go out as one glyph run: far fewer text objects in a PDF.
        size_t last = k;
        batchRuns.clear();
        batchRuns.push_back(run);
        while (last + 1 < n) {
          const DrawOp& nx = opAt(last + 1);
          if (nx.kind != DrawOp::Text || nx.font != op.font || nx.rgb != op.rgb || nx.y != op.y) break;
          const QGlyphRun* next = glyphs(nx.font, nx.text);
          if (!next) break;
          batchRuns.push_back(next);
          ++last;
        }
        if (last == k) {
          p.drawGlyphRun(QPointF(op.x, op.y), *run);
          break;
        }
        batchIds.clear();
        batchPos.clear();
        for (size_t j = k; j <= last; ++j) {
          const DrawOp& t = opAt(j);
          const QGlyphRun* r = batchRuns[j - k];
          const QPointF shift(t.x - op.x, 0);
          batchIds.append(r->glyphIndexes());
          for (const QPointF& pt : r->positions()) batchPos.append(pt + shift);
        }
        batch.setRawFont(run->rawFont());
        batch.setGlyphIndexes(batchIds);
        batch.setPositions(batchPos);
        p.drawGlyphRun(QPointF(op.x, op.y), batch);
        k = last;
        break;
      }
      case DrawOp::Fill:
        p.fillRect(QRectF(op.x, op.y, op.w, op.h), color);
        break;
      case DrawOp::Frame:
      case DrawOp::Rule: {
        QPen pen(color);
        pen.setWidthF(std::max(op.pen, 1));
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        if (op.kind == DrawOp::Frame)
          p.drawRect(QRectF(op.x, op.y, op.w, op.h));
        else
          p.drawLine(QPointF(op.x, op.y), QPointF(op.x + op.w, op.y));
        currentText = 0xFFFFFFFF;
        break;
      }
      case DrawOp::Picture: {
        const QImage& img = picture(op.text);
        if (img.isNull()) break;
        // Fit the picture in its rectangle keeping its proportions, centred.
        QSizeF size = QSizeF(img.size()).scaled(QSizeF(op.w, op.h), Qt::KeepAspectRatio);
        QRectF target(op.x + (op.w - size.width()) / 2, op.y + (op.h - size.height()) / 2, size.width(),
                      size.height());
        p.drawImage(target, img);
        break;
      }
    }
  }
  p.restore();
}

namespace {

QPageLayout pageLayoutOf(const Layout& l) {
  const int w = l.landscape ? l.pageHeight : l.pageWidth;
  const int h = l.landscape ? l.pageWidth : l.pageHeight;
  QPageSize size(QSizeF(w / 20.0, h / 20.0), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
  return QPageLayout(size, l.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

}  // namespace

Status writePdf(const RenderedReport& r, const std::string& pdfPath) {
  // Written beside the target under a fresh name and renamed over it: a link planted
  // at the PDF's name is replaced, never written through.
  reports::ReplacementFile out(pdfPath);
  PLANILLA_RETURN_IF_ERROR(out.open());
  DirectPdf pdf(out.fd(), r.pictureDir);
  pdf.begin(r.layout, r.doc.title);
  for (const Page& page : r.layout.pages) pdf.page(r.layout, page);
  if (Status st = pdf.finish(); !st) return Status::ioError("No se puede grabar el archivo " + pdfPath + ": " + st.message());
  return out.commit();
}

Status renderFileToPdf(const std::string& rpvPath, const std::string& pdfPath, size_t* pageCount,
                      const LayoutOptions& options) {
  reports::ReplacementFile out(pdfPath);
  PLANILLA_RETURN_IF_ERROR(out.open());
  const std::string pictureDir =
      QFileInfo(QString::fromLocal8Bit(rpvPath.c_str())).absolutePath().toLocal8Bit().toStdString();
  DirectPdf pdf(out.fd(), pictureDir);
  bool started = false;
  // The sheet and the title come from the first page's layout (the settings are
  // complete by then); each page is written as the layout finishes it.
  Document doc;
  QtTextMetrics metrics;
  LayoutBuilder builder(doc, metrics, options, [&](const Layout& l, Page&& page) {
    if (!started) pdf.begin(l, doc.title);
    started = true;
    pdf.page(l, page);
  });
  Status st = readDocumentFile(
      rpvPath, doc, [&](Item&& it) { builder.headerItem(it); }, [&](Item&& it) { builder.bodyItem(it); });
  const Layout rest = builder.finish();
  if (!st) return st;
  if (!started) pdf.begin(rest, doc.title);  // a report without pages still makes a PDF file
  if (Status w = pdf.finish(); !w) return Status::ioError("No se puede grabar el archivo " + pdfPath + ": " + w.message());
  PLANILLA_RETURN_IF_ERROR(out.commit());
  if (pageCount) *pageCount = pdf.pages();
  return Status::ok();
}

Status printReport(const RenderedReport& r, QPrinter& printer, int from, int to) {
  printer.setFullPage(true);
  printer.setPageLayout(pageLayoutOf(r.layout));
  const int count = static_cast<int>(r.layout.pages.size());
  if (from <= 0) from = 1;
  if (to <= 0 || to > count) to = count;
  QPainter p;
  if (!p.begin(&printer)) return Status::ioError("No se puede usar la impresora");
  const double scale = printer.resolution() / 1440.0;
  p.scale(scale, scale);
  PagePainter painter(r.layout, r.pictureDir);
  for (int i = from; i <= to; ++i) {
    if (i > from) printer.newPage();
    painter.paint(p, static_cast<size_t>(i - 1));
  }
  p.end();
  return Status::ok();
}

}  // namespace planilla::rpv
