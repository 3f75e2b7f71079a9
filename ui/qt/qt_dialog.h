// Widgets and models of the Qt backend (private to ui/qt).
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QElapsedTimer>
#include <QValidator>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ui/toolkit.h"

class QScrollArea;
class QTableView;

namespace planilla::ui::qt {

// Input rules of a field's picture while the operator types: "@!" upper-cases every
// letter, numeric masks admit only numbers that fit, dates only digits and slashes.
class PictureValidator : public QValidator {
  Q_OBJECT
 public:
  PictureValidator(const Field& field, QObject* parent);
  State validate(QString& input, int& pos) const override;

 private:
  const Field* field_;
};

// The line edit of an input field. Enter moves on like Tab; the key hook sees every
// key before the text changes; numbers are right-aligned and selected on entry.
class PictureEdit : public QLineEdit {
  Q_OBJECT
 public:
  PictureEdit(Field& field, QWidget* parent);
  Field& field() const { return *field_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;

 private:
  Field* field_;
};

// A picture that can be clicked (hand cursor).
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};

// Lazy table model over a Browse: rows are fetched from the table in windows as the
// view paints them; the row count starts as an estimate and is corrected when the
// end of the table is seen.
class BrowseModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit BrowseModel(Browse& b, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  // Re-reads everything (after stabilize/refresh).
  void reload();

 private:
  void checkCount() const;
  Browse* b_;
  mutable int rows_ = 0;
  mutable bool syncPending_ = false;
};

// A button of a maintenance bar: a picture that shows when it has the keyboard focus.
class BarToolButton : public QToolButton {
  Q_OBJECT
 public:
  using QToolButton::QToolButton;

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// The surface the template controls are placed on, at their template geometry. A
// dialog that holds a list may be resized: the list takes the extra room, and the
// controls right of it or below it move along.
class Canvas : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  void setNatural(QSize s) { natural_ = s; }
  QSize natural() const { return natural_; }
  void setStretch(QWidget* w) { stretch_ = w; }
  QWidget* stretch() const { return stretch_; }
  QSize sizeHint() const override { return natural_; }
  QSize minimumSizeHint() const override { return natural_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  QSize natural_;
  QWidget* stretch_ = nullptr;
  std::map<QWidget*, QRect> home_;  // geometry at the natural size
};

// The QDialog of one activation: builds a widget per control, mirrors the model and
// feeds it the operator's actions under the toolkit's focus rules.
class DialogHost : public QDialog {
  Q_OBJECT
 public:
  DialogHost(Dialog& dlg, const std::string& dataDir, QWidget* parent);
  ~DialogHost() override;
  Dialog& model() { return *dlg_; }
  QWidget* widgetOf(Control* c) const;
  Control* controlOf(QWidget* w) const;
  // Puts the Qt focus where the model has it.
  void syncFocus();
  // Sizes the window for the screen it opens on: a list widened to show its columns,
  // never larger than the screen's free area (a form too big scrolls).
  void fitToScreen();
  // Moves the window to `topLeft` (global), or as near as keeps it on the screen.
  void placeWithin(QPoint topLeft);
  // Alt+letter shared by several buttons (see pressOrCycle in the source).
  void pressOrCycle(char letter);

 protected:
  void reject() override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void build(const std::string& dataDir);
  QWidget* makeWidget(Control& c, QWidget* canvas, const std::string& dataDir);
  void onFocusChanged(QWidget* old, QWidget* now);
  // The screen's code has placed the focus: until control returns to the event loop,
  // a focus move Qt makes is not the operator's.
  void notePlaced();
  static char letterOf(const QKeySequence& k);
  QRect px(const Rect& r) const;

  Dialog* dlg_;
  Canvas* canvas_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  std::map<QWidget*, Control*> byWidget_;
  std::map<Control*, QWidget*> byControl_;
  std::vector<std::unique_ptr<ControlView>> views_;
  bool busy_ = false;
  bool placed_ = false;
  QElapsedTimer typeAheadClock_;  // since the last key typed on a list
  QMetaObject::Connection focusConn_;
};

// A dialog or window title from a caption: accelerator marks removed ("&&" is "&").
QString titleText(const std::string& cp1252);
// Gives the keyboard back to `opener` when a window it opened has closed (see the
// source); nothing when it is gone, hidden, or another modal window has it.
void giveFocusBack(QWidget* opener);

}  // namespace planilla::ui::qt
