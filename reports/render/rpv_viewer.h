// The report viewer window: the rendered pages one under the other, with Print (the
// system's print dialog), Save as PDF and zoom. Pages are painted on demand, so a
// report of thousands of pages opens at once.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "reports/render/rpv_render.h"

class QLabel;
class QScrollArea;

namespace planilla::rpv {

class PagesView;

class ViewerWindow : public QMainWindow {
 public:
  explicit ViewerWindow(RenderedReport report, QString fileName, QWidget* parent = nullptr);
  ~ViewerWindow() override;
  size_t pageCount() const;
  // Actions, public so that tests can run them without dialogs.
  [[nodiscard]] Status saveAsPdf(const QString& path);
  // The file "Guardar PDF" proposes; without one, the report's title as a name in
  // the report's folder ("Boleta De Pago" -> "boleta_de_pago.pdf").
  void setProposedPdf(QString path) { proposedPdf_ = std::move(path); }
  QString proposedPdf() const;
  void zoomBy(double factor);
  double zoom() const;

 private:
  void print();
  void askSaveAsPdf();
  void updateStatus();
  RenderedReport report_;
  PagesView* view_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* pageLabel_ = nullptr;
  QString proposedPdf_;
};

// `planilla ver FILE`: needs a QApplication; shows the window and runs the event loop.
// Returns the exit code; errors are written to `err` in Spanish.
// `pdfPath`: the file "Guardar PDF" proposes (empty: see proposedPdf()).
int runViewer(const std::string& path, std::ostream& err, const std::string& pdfPath = "");

}  // namespace planilla::rpv
