#include "reports/render/rpv_viewer.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPaintEvent>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <climits>
#include <memory>
#include <ostream>

#include "reports/rpv_writer.h"
#include "ui/qt/qt_toolkit.h"

namespace planilla::rpv {

namespace {

// Bytes of the report read on between two looks at the window while pages are
// counted: a few hundred pages, some tens of milliseconds.
constexpr size_t kCountStep = 1 << 20;

QPageLayout pageLayoutOf(const Layout& l) {
  const int w = l.landscape ? l.pageHeight : l.pageWidth;
  const int h = l.landscape ? l.pageWidth : l.pageHeight;
  QPageSize size(QSizeF(w / 20.0, h / 20.0), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
  return QPageLayout(size, l.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

}  // namespace

// Paints the pages in view, at zoom x 96 dpi, laying them out as they come into
// view. The pages are not one tall widget (a widget is at most 16,777,215 pixels
// high: some twenty thousand pages): the scroll bars give the place in the report
// and the pages there are painted on the viewport.
class PagesView : public QAbstractScrollArea {
 public:
  PagesView(ReportPages& pages, QWidget* parent)
      : QAbstractScrollArea(parent), pages_(pages), painter_(pages.sheet(), pages.pictureDir()) {
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    viewport()->setPalette(pal);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
    relayout();
  }
  double zoom() const { return zoom_; }
  void setZoom(double z) {
    zoom_ = std::clamp(z, 0.25, 4.0);
    relayout();
    viewport()->update();
  }
  double scale() const { return zoom_ * 96.0 / 1440.0; }
  int pageWidthPx() const { return static_cast<int>(pages_.sheet().pageWidth * scale()); }
  int pageHeightPx() const { return static_cast<int>(pages_.sheet().pageHeight * scale()); }
  // Positions in the report, in pixels from its top (64 bits: a long report at a
  // large zoom passes the range of an int only beyond a million pages).
  int pageAt(long long y) const {
    const long long h = pageHeightPx() + kGap;
    return h > 0 ? static_cast<int>(std::max(0LL, (y - kGap) / h)) : 0;
  }
  long long pageTop(int index) const { return kGap + static_cast<long long>(index) * (pageHeightPx() + kGap); }
  int contentWidth() const { return pageWidthPx() + 2 * kGap; }
  // The scroll ranges follow the pages counted.
  void relayout() {
    const long long n = static_cast<long long>(std::max<size_t>(1, pages_.pageCount()));
    const long long height = kGap + n * (pageHeightPx() + kGap);
    const QSize vp = viewport()->size();
    verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<long long>(height - vp.height(), 0, INT_MAX)));
    verticalScrollBar()->setPageStep(std::max(1, vp.height()));
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth() - vp.width()));
    horizontalScrollBar()->setPageStep(std::max(1, vp.width()));
  }
  QSize sizeHint() const override { return QSize(contentWidth() + 8, 600); }
  static constexpr int kGap = 16;

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QAbstractScrollArea::resizeEvent(e);
    relayout();
  }
  void scrollContentsBy(int dx, int dy) override { viewport()->scroll(dx, dy); }
  void paintEvent(QPaintEvent* e) override {
    QPainter p(viewport());
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const int pw = pageWidthPx(), ph = pageHeightPx();
    const int x0 = std::max(kGap, (viewport()->width() - pw) / 2) - horizontalScrollBar()->value();
    const long long top = verticalScrollBar()->value();
    const size_t n = pages_.pageCount();
    for (size_t i = static_cast<size_t>(pageAt(top + e->rect().top())); i < n; ++i) {
      const long long y = pageTop(static_cast<int>(i)) - top;
      if (y > e->rect().bottom()) break;
      const int y0 = static_cast<int>(y);
      p.fillRect(QRect(x0 + 3, y0 + 3, pw, ph), QColor(0x40, 0x40, 0x40));
      p.fillRect(QRect(x0, y0, pw, ph), Qt::white);
      const Page* page = pages_.page(i);
      if (!page) continue;
      p.save();
      p.setClipRect(QRect(x0, y0, pw, ph));
      p.translate(x0, y0);
      p.scale(scale(), scale());
      painter_.paint(p, *page);
      p.restore();
    }
  }

 private:
  ReportPages& pages_;
  PagePainter painter_;
  double zoom_ = 1.0;
};

ViewerWindow::ViewerWindow(std::unique_ptr<ReportPages> pages, QString fileName, QWidget* parent)
    : QMainWindow(parent), pages_(std::move(pages)) {
  QString title = fromCp1252(pages_->head().title);
  setWindowTitle(title.isEmpty() ? QFileInfo(fileName).fileName() : title + " - " + QFileInfo(fileName).fileName());
  // The first pages before the window shows; the rest is counted while it is shown.
  while (!pages_->complete() && pages_->pageCount() < 4)
    if (!pages_->count(kCountStep / 4)) break;

  view_ = new PagesView(*pages_, this);
  setCentralWidget(view_);

  QToolBar* bar = addToolBar(QStringLiteral("Reporte"));
  bar->setMovable(false);
  QAction* print = bar->addAction(QStringLiteral("Imprimir"));
  print->setShortcut(QKeySequence::Print);
  connect(print, &QAction::triggered, this, [this] { this->print(); });
  QAction* pdf = bar->addAction(QStringLiteral("Guardar como PDF"));
  pdf->setShortcut(QKeySequence::Save);
  connect(pdf, &QAction::triggered, this, [this] { askSaveAsPdf(); });
  bar->addSeparator();
  QAction* in = bar->addAction(QStringLiteral("Acercar"));
  in->setShortcut(QKeySequence::ZoomIn);
  connect(in, &QAction::triggered, this, [this] { zoomBy(1.25); });
  QAction* out = bar->addAction(QStringLiteral("Alejar"));
  out->setShortcut(QKeySequence::ZoomOut);
  connect(out, &QAction::triggered, this, [this] { zoomBy(0.8); });
  bar->addSeparator();
  QAction* first = bar->addAction(QStringLiteral("Primera"));
  first->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
  connect(first, &QAction::triggered, this, [this] { goToPage(1); });
  QAction* page = bar->addAction(QStringLiteral("Ir A Pagina"));
  page->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(page, &QAction::triggered, this, [this] { askPage(); });
  QAction* last = bar->addAction(QStringLiteral("Ultima"));
  last->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
  connect(last, &QAction::triggered, this, [this] { goToLastPage(); });
  bar->addSeparator();
  QAction* close = bar->addAction(QStringLiteral("Cerrar"));
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, this, &QWidget::close);

  pageLabel_ = new QLabel(this);
  statusBar()->addPermanentWidget(pageLabel_);
  connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateStatus(); });
  counting_ = new QTimer(this);
  counting_->setInterval(0);
  connect(counting_, &QTimer::timeout, this, [this] { countOn(); });
  if (!pages_->complete()) counting_->start();
  updateStatus();
  // Opens at the page width (with room for the scroll bar), as tall as the screen
  // allows: never larger than the screen's free area, whatever its size and scaling.
  QScreen* scr = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect avail = scr ? scr->availableGeometry() : QRect(0, 0, 1024, 768);
  const int frameH = 48;  // title bar and frame of the window manager
  const int w = std::min(view_->contentWidth() + view_->verticalScrollBar()->sizeHint().width() + 8, avail.width() - 16);
  const int h = std::min(avail.height() - frameH, std::max(480, avail.height() * 9 / 10));
  resize(std::max(320, w), std::max(240, h));
  move(avail.left() + (avail.width() - width()) / 2, avail.top() + std::max(0, (avail.height() - h - frameH) / 2));
}

ViewerWindow::~ViewerWindow() = default;

size_t ViewerWindow::pageCount() const { return pages_->pageCount(); }
double ViewerWindow::zoom() const { return view_->zoom(); }

void ViewerWindow::zoomBy(double factor) {
  const int page = currentPage();
  view_->setZoom(view_->zoom() * factor);
  goToPage(page);
}

// A step of the count, between two looks at the window.
void ViewerWindow::countOn() {
  const size_t before = pages_->pageCount();
  Status st = pages_->count(kCountStep);
  if (!st) {
    counting_->stop();
    statusBar()->showMessage(QString::fromStdString(st.message()));
  }
  if (pages_->complete()) counting_->stop();
  if (pages_->pageCount() != before || !counting_->isActive()) pagesCounted();
}

void ViewerWindow::countUntil(size_t n) {
  if (pages_->complete() || pages_->pageCount() >= n) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Status st;
  while (st && !pages_->complete() && pages_->pageCount() < n) st = pages_->count(kCountStep);
  QApplication::restoreOverrideCursor();
  if (!st) {
    counting_->stop();
    statusBar()->showMessage(QString::fromStdString(st.message()));
  }
  if (pages_->complete()) counting_->stop();
  pagesCounted();
}

void ViewerWindow::pagesCounted() {
  const int value = view_->verticalScrollBar()->value();
  view_->relayout();
  view_->verticalScrollBar()->setValue(value);
  updateStatus();
}

int ViewerWindow::currentPage() const {
  const QScrollBar* bar = view_->verticalScrollBar();
  const int n = static_cast<int>(pageCount());
  if (bar->value() > 0 && bar->value() >= bar->maximum()) return std::max(1, n);
  const int probe = std::min(view_->viewport()->height() / 3, view_->pageHeightPx() / 2);
  return std::clamp(view_->pageAt(bar->value() + probe) + 1, 1, std::max(1, n));
}

QString ViewerWindow::currentPageText() {
  const Page* page = pages_->page(static_cast<size_t>(currentPage() - 1));
  QString text;
  if (!page) return text;
  for (const DrawOp& op : page->ops)
    if (op.kind == DrawOp::Text) text += fromCp1252(op.text) + QLatin1Char(' ');
  return text.trimmed();
}

void ViewerWindow::goToPage(int n) {
  countUntil(static_cast<size_t>(std::max(1, n)));
  n = std::clamp(n, 1, std::max(1, static_cast<int>(pageCount())));
  view_->verticalScrollBar()->setValue(
      static_cast<int>(std::min<long long>(view_->pageTop(n - 1) - PagesView::kGap / 2, INT_MAX)));
  updateStatus();
}

void ViewerWindow::goToLastPage() {
  countUntil(SIZE_MAX);
  goToPage(static_cast<int>(pageCount()));
}

void ViewerWindow::askPage() {
  countUntil(SIZE_MAX);
  bool ok = false;
  const int n = QInputDialog::getInt(this, QStringLiteral("Ir A Pagina"), QStringLiteral("Pagina:"), currentPage(), 1,
                                     std::max(1, static_cast<int>(pageCount())), 1, &ok);
  if (ok) goToPage(n);
}

void ViewerWindow::updateStatus() {
  const QString of = pages_->complete() ? QString::number(pageCount()) : QString::number(pageCount()) + "...";
  pageLabel_->setText(
      QStringLiteral("Pagina %1 de %2  (%3%)").arg(currentPage()).arg(of).arg(qRound(view_->zoom() * 100)));
}

Status ViewerWindow::saveAsPdf(const QString& path) {
  const std::string pdfPath = path.toLocal8Bit().toStdString();
  countUntil(SIZE_MAX);
  // Written beside the target under a fresh name and renamed over it, as every PDF.
  reports::ReplacementFile out(pdfPath);
  PLANILLA_RETURN_IF_ERROR(out.open());
  QFile file;
  if (!file.open(out.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
    return Status::ioError("No se puede crear el archivo " + pdfPath + ": " + file.errorString().toStdString());
  Status st;
  {
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("planilla"));
    writer.setTitle(fromCp1252(pages_->head().title));
    writer.setResolution(1440);
    writer.setPageLayout(pageLayoutOf(pages_->sheet()));
    QPainter p;
    if (!p.begin(&writer)) return Status::ioError("No se puede escribir el archivo " + pdfPath);
    PagePainter painter(pages_->sheet(), pages_->pictureDir());
    bool first = true;
    st = pages_->eachPage(0, SIZE_MAX, [&](const Page& page) {
      if (!first) writer.newPage();
      first = false;
      painter.paint(p, page);
    });
    p.end();
  }
  if (!st) return st;
  const bool written = file.flush() && file.error() == QFileDevice::NoError;
  const std::string why = file.errorString().toStdString();
  file.close();
  if (!written) return Status::ioError("No se puede grabar el archivo " + pdfPath + ": " + why);
  return out.commit();
}

QString ViewerWindow::proposedPdf() const {
  if (!proposedPdf_.isEmpty()) return proposedPdf_;
  QString name;
  bool gap = false;
  for (QChar c : QString::fromLatin1(pages_->head().title.c_str()).toLower()) {
    if (c.isLetterOrNumber() && c.unicode() < 128) {
      if (gap && !name.isEmpty()) name += QLatin1Char('_');
      name += c;
      gap = false;
    } else {
      gap = true;
    }
  }
  if (name.isEmpty()) name = QStringLiteral("reporte");
  const std::string& pictures = pages_->pictureDir();
  const QString dir = pictures.empty() ? QStringLiteral(".") : QString::fromLocal8Bit(pictures.c_str());
  return dir + QLatin1Char('/') + name + QStringLiteral(".pdf");
}

void ViewerWindow::askSaveAsPdf() {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Guardar como PDF"), proposedPdf(),
                                              QStringLiteral("Documentos PDF (*.pdf)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
  Status s = saveAsPdf(path);
  if (!s) QMessageBox::warning(this, QStringLiteral("Mensaje"), QString::fromStdString(s.message()));
}

void ViewerWindow::print() {
  countUntil(SIZE_MAX);
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setMinMax(1, static_cast<int>(std::max<size_t>(1, pageCount())));
  if (dialog.exec() != QDialog::Accepted) return;
  size_t from = 0, to = SIZE_MAX;
  if (printer.printRange() == QPrinter::PageRange) {
    from = static_cast<size_t>(std::max(1, printer.fromPage()) - 1);
    if (printer.toPage() > 0) to = static_cast<size_t>(printer.toPage() - 1);
  }
  printer.setFullPage(true);
  printer.setPageLayout(pageLayoutOf(pages_->sheet()));
  QPainter p;
  if (!p.begin(&printer)) {
    QMessageBox::warning(this, QStringLiteral("Mensaje"), QStringLiteral("No se puede usar la impresora"));
    return;
  }
  const double scale = printer.resolution() / 1440.0;
  p.scale(scale, scale);
  PagePainter painter(pages_->sheet(), pages_->pictureDir());
  bool first = true;
  Status s = pages_->eachPage(from, to, [&](const Page& page) {
    if (!first) printer.newPage();
    first = false;
    painter.paint(p, page);
  });
  p.end();
  if (!s) QMessageBox::warning(this, QStringLiteral("Mensaje"), QString::fromStdString(s.message()));
}

int runViewer(const std::string& path, std::ostream& err, const std::string& pdfPath) {
  Result<std::unique_ptr<ReportPages>> pages = ReportPages::open(path);
  if (!pages) {
    err << "planilla ver: " << pages.status().message() << "\n";
    return 1;
  }
  // Qt's own dialogs (save, print) in Spanish, as on the desktop.
  std::unique_ptr<QTranslator> spanish = ui::qt::installSpanish();
  ViewerWindow w(std::move(pages.value()), QString::fromLocal8Bit(path.c_str()));
  if (!pdfPath.empty()) w.setProposedPdf(QString::fromLocal8Bit(pdfPath.c_str()));
  w.show();
  return QApplication::exec();
}

}  // namespace planilla::rpv
