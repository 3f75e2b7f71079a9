#include "reports/render/rpv_viewer.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTranslator>
#include <QMessageBox>
#include <QPainter>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <memory>
#include <ostream>

#include "ui/qt/qt_toolkit.h"

namespace planilla::rpv {

// Paints the pages visible in its scroll area, at zoom x 96 dpi.
class PagesView : public QWidget {
 public:
  PagesView(const RenderedReport& r, QWidget* parent) : QWidget(parent), r_(r), painter_(r.layout, r.pictureDir) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
    relayout();
  }
  double zoom() const { return zoom_; }
  void setZoom(double z) {
    zoom_ = std::clamp(z, 0.25, 4.0);
    relayout();
    update();
  }
  double scale() const { return zoom_ * 96.0 / 1440.0; }
  int pageWidthPx() const { return static_cast<int>(r_.layout.pageWidth * scale()); }
  int pageHeightPx() const { return static_cast<int>(r_.layout.pageHeight * scale()); }
  int pageAt(int y) const {
    int h = pageHeightPx() + kGap;
    return h > 0 ? std::max(0, (y - kGap) / h) : 0;
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const int pw = pageWidthPx(), ph = pageHeightPx();
    const int x0 = std::max(kGap, (width() - pw) / 2);
    const size_t n = r_.layout.pages.size();
    for (size_t i = static_cast<size_t>(pageAt(e->rect().top())); i < n; ++i) {
      const int y0 = kGap + static_cast<int>(i) * (ph + kGap);
      if (y0 > e->rect().bottom()) break;
      p.fillRect(QRect(x0 + 3, y0 + 3, pw, ph), QColor(0x40, 0x40, 0x40));
      p.fillRect(QRect(x0, y0, pw, ph), Qt::white);
      p.save();
      p.setClipRect(QRect(x0, y0, pw, ph));
      p.translate(x0, y0);
      p.scale(scale(), scale());
      painter_.paint(p, i);
      p.restore();
    }
  }

 private:
  static constexpr int kGap = 16;
  void relayout() {
    const int n = static_cast<int>(std::max<size_t>(1, r_.layout.pages.size()));
    setMinimumSize(pageWidthPx() + 2 * kGap, kGap + n * (pageHeightPx() + kGap));
    resize(minimumSize());
  }
  const RenderedReport& r_;
  PagePainter painter_;
  double zoom_ = 1.0;
};

ViewerWindow::ViewerWindow(RenderedReport report, QString fileName, QWidget* parent)
    : QMainWindow(parent), report_(std::move(report)) {
  QString title = fromCp1252(report_.doc.title);
  setWindowTitle(title.isEmpty() ? QFileInfo(fileName).fileName() : title + " - " + QFileInfo(fileName).fileName());

  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignHCenter);
  view_ = new PagesView(report_, scroll_);
  scroll_->setWidget(view_);
  scroll_->setWidgetResizable(false);
  setCentralWidget(scroll_);

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
  QAction* close = bar->addAction(QStringLiteral("Cerrar"));
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, this, &QWidget::close);

  pageLabel_ = new QLabel(this);
  statusBar()->addPermanentWidget(pageLabel_);
  connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateStatus(); });
  updateStatus();
  // Opens at the page width (with room for the scroll bar), as tall as the screen
  // allows: never larger than the screen's free area, whatever its size and scaling.
  QScreen* scr = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect avail = scr ? scr->availableGeometry() : QRect(0, 0, 1024, 768);
  const int frameH = 48;  // title bar and frame of the window manager
  const int w = std::min(view_->width() + scroll_->verticalScrollBar()->sizeHint().width() + 8, avail.width() - 16);
  const int h = std::min(avail.height() - frameH, std::max(480, avail.height() * 9 / 10));
  resize(std::max(320, w), std::max(240, h));
  move(avail.left() + (avail.width() - width()) / 2, avail.top() + std::max(0, (avail.height() - h - frameH) / 2));
}

ViewerWindow::~ViewerWindow() = default;

size_t ViewerWindow::pageCount() const { return report_.layout.pages.size(); }
double ViewerWindow::zoom() const { return view_->zoom(); }

void ViewerWindow::zoomBy(double factor) {
  view_->setZoom(view_->zoom() * factor);
  updateStatus();
}

void ViewerWindow::updateStatus() {
  const int page = view_->pageAt(scroll_->verticalScrollBar()->value() + scroll_->viewport()->height() / 3) + 1;
  pageLabel_->setText(QStringLiteral("Pagina %1 de %2  (%3%)")
                          .arg(std::min<int>(page, static_cast<int>(pageCount())))
                          .arg(pageCount())
                          .arg(qRound(view_->zoom() * 100)));
}

Status ViewerWindow::saveAsPdf(const QString& path) { return writePdf(report_, path.toLocal8Bit().toStdString()); }

QString ViewerWindow::proposedPdf() const {
  if (!proposedPdf_.isEmpty()) return proposedPdf_;
  QString name;
  bool gap = false;
  for (QChar c : QString::fromLatin1(report_.doc.title.c_str()).toLower()) {
    if (c.isLetterOrNumber() && c.unicode() < 128) {
      if (gap && !name.isEmpty()) name += QLatin1Char('_');
      name += c;
      gap = false;
    } else {
      gap = true;
    }
  }
  if (name.isEmpty()) name = QStringLiteral("reporte");
  const QString dir = report_.pictureDir.empty() ? QStringLiteral(".") : QString::fromLocal8Bit(report_.pictureDir.c_str());
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
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setMinMax(1, static_cast<int>(std::max<size_t>(1, pageCount())));
  if (dialog.exec() != QDialog::Accepted) return;
  int from = 0, to = 0;
  if (printer.printRange() == QPrinter::PageRange) {
    from = printer.fromPage();
    to = printer.toPage();
  }
  Status s = printReport(report_, printer, from, to);
  if (!s) QMessageBox::warning(this, QStringLiteral("Mensaje"), QString::fromStdString(s.message()));
}

int runViewer(const std::string& path, std::ostream& err, const std::string& pdfPath) {
  Result<RenderedReport> r = loadReport(path);
  if (!r) {
    err << "planilla ver: " << r.status().message() << "\n";
    return 1;
  }
  // Qt's own dialogs (save, print) in Spanish, as on the desktop.
  std::unique_ptr<QTranslator> spanish = ui::qt::installSpanish();
  ViewerWindow w(std::move(r.value()), QString::fromLocal8Bit(path.c_str()));
  if (!pdfPath.empty()) w.setProposedPdf(QString::fromLocal8Bit(pdfPath.c_str()));
  w.show();
  return QApplication::exec();
}

}  // namespace planilla::rpv
