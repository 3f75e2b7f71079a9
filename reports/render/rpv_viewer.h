// The report viewer window: the pages one under the other, with Print (the system's
// print dialog), Save as PDF, zoom and moving to a page. Pages are laid out and
// painted on demand (see rpv_viewer_pages.h): a report of tens of thousands of pages
// opens at once, its page count growing while the rest of the file is read, and the
// memory it takes does not grow with its length.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "reports/render/rpv_viewer_pages.h"

class QLabel;
class QTimer;

namespace planilla::rpv {

class PagesView;

class ViewerWindow : public QMainWindow {
 public:
  explicit ViewerWindow(std::unique_ptr<ReportPages> pages, QString fileName, QWidget* parent = nullptr);
  ~ViewerWindow() override;
  // The pages counted so far (all of them once the file has been read through).
  size_t pageCount() const;
  // The page shown (1-based): the one across the upper third of the window, the last
  // one at the end of the report.
  int currentPage() const;
  // The text of the page shown, in the order it is painted (for tests).
  QString currentPageText();
  // Actions, public so that tests can run them without dialogs.
  [[nodiscard]] Status saveAsPdf(const QString& path);
  // The file "Guardar PDF" proposes; without one, the report's title as a name in
  // the report's folder ("Boleta De Pago" -> "boleta_de_pago.pdf").
  void setProposedPdf(QString path) { proposedPdf_ = std::move(path); }
  QString proposedPdf() const;
  void zoomBy(double factor);
  double zoom() const;
  // Shows page `n` (1-based) at the top, reading on as far as it when it is not
  // counted yet; a number past the last page shows the last.
  void goToPage(int n);
  void goToLastPage();

 private:
  void print();
  void askSaveAsPdf();
  void askPage();
  void countOn();
  // Counts to the end (or to page n), with the wait cursor.
  void countUntil(size_t n);
  void pagesCounted();
  void updateStatus();
  std::unique_ptr<ReportPages> pages_;
  PagesView* view_ = nullptr;
  QLabel* pageLabel_ = nullptr;
  QString proposedPdf_;
  QTimer* counting_ = nullptr;
};

// `planilla ver FILE`: needs a QApplication; shows the window and runs the event loop.
// Returns the exit code; errors are written to `err` in Spanish.
// `pdfPath`: the file "Guardar PDF" proposes (empty: see proposedPdf()).
int runViewer(const std::string& path, std::ostream& err, const std::string& pdfPath = "");

}  // namespace planilla::rpv
