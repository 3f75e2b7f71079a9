// The Qt Widgets backend of the screen toolkit: real modal dialogs over the toolkit's
// model (ui/toolkit.h), message boxes, the main window and sound.
//
// Requires a QApplication. Texts cross from Windows-1252 to Unicode here and only here.
#pragma once

#include <QPixmap>
#include <QString>
#include <memory>
#include <string>

#include "ui/toolkit.h"

class QProgressDialog;
class QTranslator;
class QWidget;

namespace planilla::ui::qt {

// Windows-1252 bytes <-> QString.
QString toQ(const std::string& cp1252);
std::string fromQ(const QString& s);

// Image named by a screen ("check1.bmp", "Buscar", "lupa.bmp", resource names such as
// "folder"): taken from `dataDir` when a file of that name exists there (name matched
// without regard to case; ".bmp", ".ico", ".png", ".jpg" tried when the name has no
// extension), otherwise drawn from the built-in icon set. Never null.
QPixmap findImage(const std::string& dataDir, const std::string& name, int width, int height);

// Message boxes alone (for code that has no toolkit, e.g. the viewer).
class QtMessages : public Messages {
 public:
  bool show(MsgKind kind, const std::string& text, const std::string& title) override;
};

// Installs Qt's Spanish translation (context menus, standard buttons) when the
// system has it.
class QtToolkit : public Toolkit {
 public:
  QtToolkit();
  ~QtToolkit() override;
  bool show(MsgKind kind, const std::string& text, const std::string& title) override;
  void runModal(Dialog& dlg) override;
  void runMain(MainWindow& w) override;
  void playSound(const std::string& file) override;
  // The system's save dialog, parented to the window in front.
  std::optional<std::string> askSaveFile(const std::string& title, const std::string& proposed,
                                         const std::string& filter) override;
  std::optional<std::string> askFolder(const std::string& title, const std::string& proposed) override;
  void mainChanged(MainWindow& w) override;
  // Busy cursor and a progress window with the count (see Messages::workBegin).
  void workBegin(const std::string& title, const std::string& what, long total) override;
  void workProgress(long done) override;
  void workEnd(long done) override;

  // The widget of the innermost open dialog (or the main window); parent of boxes.
  QWidget* activeWindow() const;
  // Pixels per dialog unit for the current dialog font.
  static double unitX();
  static double unitY();

 private:
  struct MainHost;
  MainHost* main_ = nullptr;
  std::unique_ptr<QTranslator> translator_;  // Qt's own texts in Spanish
  int workDepth_ = 0;
  long workTotal_ = 0;
  std::string workWhat_;
  QProgressDialog* progress_ = nullptr;
};

// Loads Qt's own Spanish texts (standard buttons, file and print dialogs, context
// menus) into the application; null when the system lacks them.
std::unique_ptr<QTranslator> installSpanish();

}  // namespace planilla::ui::qt
