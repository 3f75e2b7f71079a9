#include "ui/qt/qt_dialog.h"

#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QPainter>
#include <QShortcut>
#include <QShortcutEvent>
#include <QStyleOptionFocusRect>
#include <QToolButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/qt/qt_toolkit.h"
#include "ui/dialogs.h"
#include "ui/text1252.h"

namespace planilla::ui::qt {

namespace {

QColor qcolor(Color c) { return QColor(c.r, c.g, c.b); }

void applyColors(QWidget* w, const Control& c, QPalette::ColorRole fgRole, QPalette::ColorRole bgRole) {
  if (!c.foreground() && !c.background()) return;
  QPalette pal = w->palette();
  if (auto fg = c.foreground()) {
    pal.setColor(QPalette::Active, fgRole, qcolor(*fg));
    pal.setColor(QPalette::Inactive, fgRole, qcolor(*fg));
  }
  if (auto bg = c.background()) {
    pal.setColor(QPalette::Active, bgRole, qcolor(*bg));
    pal.setColor(QPalette::Inactive, bgRole, qcolor(*bg));
    if (bgRole == QPalette::Window) w->setAutoFillBackground(true);
  }
  w->setPalette(pal);
}

// A view whose two duties are given as functions.
struct LambdaView : ControlView {
  std::function<void()> onUpdate, onFocus;
  void update() override {
    if (onUpdate) onUpdate();
  }
  void takeFocus() override {
    if (onFocus) onFocus();
  }
};

// Key code the hooks expect: the Windows-1252 byte of a typed character, 8 for
// backspace, 13 for Enter, the raw Qt key otherwise.
int hookCode(QKeyEvent* e) {
  if (e->key() == Qt::Key_Backspace) return 8;
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return 13;
  if (e->key() == Qt::Key_Escape) return 27;
  if (e->key() == Qt::Key_Tab) return 9;
  QString t = e->text();
  if (!t.isEmpty() && t.at(0).unicode() >= 32) {
    std::string b = fromQ(t.left(1));
    if (!b.empty()) return static_cast<unsigned char>(b[0]);
  }
  return 1000 + e->key() % 1000;  // navigation keys: above the character range
}

// Column widths: the screens give pixel widths for a compact font of about six pixels
// per character; they are scaled to the font in use and widened (never narrowed) to show the header
// and the first rows whole.
void fitColumns(QTableView* tv, Browse& m) {
  QFontMetrics fm(tv->font());
  double scale = std::max(1.0, fm.averageCharWidth() / 6.0);
  const auto& widths = m.columnWidths();
  const auto& headers = m.headerTexts();
  int rows = std::min(m.rowCount(), 40);
  for (size_t i = 0; i < m.columnCount(); ++i) {
    int want = i < widths.size() ? static_cast<int>(widths[i] * scale) : 80;
    int need = i < headers.size() ? fm.horizontalAdvance(toQ(headers[i])) + 14 : 0;
    for (int r = 0; r < rows; ++r) {
      const auto& line = m.row(r);
      if (i < line.size()) need = std::max(need, fm.horizontalAdvance(toQ(line[i]).trimmed()) + 14);
    }
    int cap = i < widths.size() ? static_cast<int>(widths[i] * scale * 3) : 400;
    tv->setColumnWidth(static_cast<int>(i), std::max(want, std::min(need, cap)));
  }
}

}  // namespace

// --- PictureValidator ------------------------------------------------------------------
PictureValidator::PictureValidator(const Field& field, QObject* parent) : QValidator(parent), field_(&field) {}

QValidator::State PictureValidator::validate(QString& input, int&) const {
  const Picture& p = field_->pic();
  switch (field_->type()) {
    case Field::Type::Text:
      // Characters the tables cannot hold are refused as they are typed (they would
      // be stored as "?").
      for (QChar c : input) {
        if (!encodes1252(c.unicode())) return Invalid;
      }
      if (p.upperCase()) input = toQ(upper1252(fromQ(input)));
      else if (!p.mask().empty()) input = toQ(p.applyText(fromQ(input)));
      if (field_->width() > 0 && input.size() > field_->width()) return Invalid;
      return Acceptable;
    case Field::Type::Number:
      return p.parseNumber(fromQ(input)) && field_->fitsColumn(fromQ(input)) ? Acceptable : Invalid;
    case Field::Type::Date:
      for (QChar c : input) {
        if (!c.isDigit() && c != '/' && c != ' ') return Invalid;
      }
      return Acceptable;
    case Field::Type::Logical:
      if (input.size() > 1) return Invalid;
      input = input.toUpper();
      return input.isEmpty() || QStringLiteral("TFSNY").contains(input) ? Acceptable : Invalid;
  }
  return Acceptable;
}

// --- PictureEdit -----------------------------------------------------------------------
PictureEdit::PictureEdit(Field& field, QWidget* parent) : QLineEdit(parent), field_(&field) {
  setValidator(new PictureValidator(field, this));
  if (field.type() == Field::Type::Number) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for the digits the picture takes and the separators typed between them;
    // the validator decides what fits.
    setMaxLength(std::max(field.width() + 4, 12));
  } else if (field.type() == Field::Type::Date) {
    setInputMask(QStringLiteral("99/99/9999; "));
  } else if (field.type() == Field::Type::Text) {
    if (field.width() > 0) setMaxLength(field.width());
  }
  if (field.isPassword()) setEchoMode(QLineEdit::Password);
}

void PictureEdit::keyPressEvent(QKeyEvent* e) {
  // F4 and Alt+Down open the field's lookup (the magnifier beside it).
  if ((e->key() == Qt::Key_F4 && e->modifiers() == Qt::NoModifier) ||
      (e->key() == Qt::Key_Down && e->modifiers() == Qt::AltModifier)) {
    e->accept();
    if (!field_->dialog().keyPress(Key::Lookup)) QApplication::beep();
    return;
  }
  if (field_->hasKeyHook()) field_->keyDown(hookCode(e));
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    // Enter moves to the next input, or presses the default button from the last one.
    e->accept();
    field_->dialog().keyPress(Key::Enter);
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void PictureEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (field_->type() == Field::Type::Number) QTimer::singleShot(0, this, [this] { selectAll(); });
  if (field_->type() == Field::Type::Date) QTimer::singleShot(0, this, [this] { setCursorPosition(0); });
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (onClick) onClick();
}

// --- BarToolButton ------------------------------------------------------------------------
void BarToolButton::paintEvent(QPaintEvent* e) {
  QToolButton::paintEvent(e);
  if (!hasFocus()) return;
  // The style draws no focus mark on tool buttons: a frame shows where Tab is.
  QPainter p(this);
  QStyleOptionFocusRect o;
  o.initFrom(this);
  o.rect = rect().adjusted(3, 3, -3, -3);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
}

// --- Canvas ------------------------------------------------------------------------------
void Canvas::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (!stretch_ || natural_.isEmpty()) return;
  if (home_.empty()) {
    for (QObject* o : children()) {
      if (auto* w = qobject_cast<QWidget*>(o)) home_[w] = w->geometry();
    }
  }
  const QRect list = home_[stretch_];
  // The list takes the room given or taken (down to a small list: then it scrolls).
  const int dx = std::max(width() - natural_.width(), std::min(0, 160 - list.width()));
  const int dy = std::max(height() - natural_.height(), std::min(0, 80 - list.height()));
  for (auto& [w, g] : home_) {
    if (w == stretch_) {
      w->setGeometry(g.adjusted(0, 0, dx, dy));
      continue;
    }
    QRect n = g;
    if (g.left() >= list.right()) n.translate(dx, 0);
    if (g.top() >= list.bottom()) n.translate(0, dy);
    w->setGeometry(n);
  }
}

// --- BrowseModel -----------------------------------------------------------------------
BrowseModel::BrowseModel(Browse& b, QObject* parent) : QAbstractTableModel(parent), b_(&b) {
  rows_ = b_->rowCount();
}

int BrowseModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int BrowseModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(b_->columnCount());
}

void BrowseModel::checkCount() const {
  if (syncPending_ || b_->rowCount() == rows_) return;
  syncPending_ = true;
  // The estimate was corrected while painting: adjust after the paint is over.
  QTimer::singleShot(0, const_cast<BrowseModel*>(this), [this] {
    syncPending_ = false;
    int now = b_->rowCount();
    auto* self = const_cast<BrowseModel*>(this);
    if (now < rows_) {
      self->beginRemoveRows({}, now, rows_ - 1);
      rows_ = now;
      self->endRemoveRows();
    } else if (now > rows_) {
      self->beginInsertRows({}, rows_, now - 1);
      rows_ = now;
      self->endInsertRows();
    }
  });
}

QVariant BrowseModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  int r = index.row(), c = index.column();
  switch (role) {
    case Qt::DisplayRole: {
      const auto& line = b_->row(r);
      checkCount();
      if (c < 0 || c >= static_cast<int>(line.size())) return QString();
      QString s = toQ(line[static_cast<size_t>(c)]);
      if (b_->align(static_cast<size_t>(c)) == Browse::Align::Right) return s.trimmed();
      while (!s.isEmpty() && s.back() == QLatin1Char(' ')) s.chop(1);  // fixed-width fields
      return s;
    }
    case Qt::TextAlignmentRole:
      return b_->align(static_cast<size_t>(c)) == Browse::Align::Right ? int(Qt::AlignRight | Qt::AlignVCenter)
                                                                      : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
      if (auto rc = b_->rowColor(r)) return QColor(rc->first.r, rc->first.g, rc->first.b);
      return {};
    case Qt::BackgroundRole:
      if (auto rc = b_->rowColor(r)) return QColor(rc->second.r, rc->second.g, rc->second.b);
      return {};
    default:
      return {};
  }
}

QVariant BrowseModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
  const auto& h = b_->headerTexts();
  return section >= 0 && section < static_cast<int>(h.size()) ? toQ(h[static_cast<size_t>(section)]) : QString();
}

void BrowseModel::reload() {
  beginResetModel();
  rows_ = b_->rowCount();
  endResetModel();
}

// --- DialogHost ------------------------------------------------------------------------
DialogHost::DialogHost(Dialog& dlg, const std::string& dataDir, QWidget* parent) : QDialog(parent), dlg_(&dlg) {
  setWindowTitle(titleText(dlg.title()));
  setModal(true);
  build(dataDir);
  dlg.onEnd = [this] { done(QDialog::Accepted); };
  dlg.onTitleChanged = [this] { setWindowTitle(titleText(dlg_->title())); };
  focusConn_ = connect(qApp, &QApplication::focusChanged, this, &DialogHost::onFocusChanged);
}

DialogHost::~DialogHost() {
  disconnect(focusConn_);
  for (Control* c : dlg_->controls()) c->view = nullptr;
  dlg_->onEnd = nullptr;
  dlg_->onTitleChanged = nullptr;
}

QRect DialogHost::px(const Rect& r) const {
  double ux = QtToolkit::unitX(), uy = QtToolkit::unitY();
  return QRect(static_cast<int>(r.x * ux + 0.5), static_cast<int>(r.y * uy + 0.5), static_cast<int>(r.w * ux + 0.5),
               static_cast<int>(r.h * uy + 0.5));
}

QWidget* DialogHost::widgetOf(Control* c) const {
  auto it = byControl_.find(c);
  return it == byControl_.end() ? nullptr : it->second;
}

Control* DialogHost::controlOf(QWidget* w) const {
  while (w && w != this) {
    auto it = byWidget_.find(w);
    if (it != byWidget_.end()) return it->second;
    w = w->parentWidget();
  }
  return nullptr;
}

void DialogHost::syncFocus() {
  // After a message box (a refused validation) the dialog takes the keyboard back,
  // also where no window manager gives it.
  QWidget* modal = QApplication::activeModalWidget();
  if (isVisible() && !isActiveWindow() && (!modal || modal == this)) activateWindow();
  if (QWidget* w = widgetOf(dlg_->focus())) {
    const bool was = busy_;
    busy_ = true;
    w->setFocus(Qt::OtherFocusReason);
    busy_ = was;
  }
}

void DialogHost::notePlaced() {
  if (placed_) return;
  placed_ = true;
  QTimer::singleShot(0, this, [this] { placed_ = false; });
}

void DialogHost::pressOrCycle(char letter) {
  // Buttons sharing an accelerator: Alt+letter presses the focused one when it has
  // that letter, else moves the focus to the next one that has it (in tab order,
  // from the focus), as on the desktop.
  if (dlg_->ended() || !letter) return;
  const std::vector<Control*> all = dlg_->controls();
  auto has = [letter](Control* c) {
    return c && c->kind() == Control::Kind::Button && c->enabled() && static_cast<Button*>(c)->mnemonic() == letter;
  };
  if (has(dlg_->focus())) {
    (void)static_cast<Button*>(dlg_->focus())->press();
    return;
  }
  const auto at = std::find(all.begin(), all.end(), dlg_->focus());
  const size_t from = at == all.end() ? 0 : static_cast<size_t>(at - all.begin()) + 1;
  for (size_t k = 0; k < all.size(); ++k) {
    Control* c = all[(from + k) % all.size()];
    if (!has(c)) continue;
    busy_ = true;
    (void)dlg_->moveFocus(c);  // leaving a field validates it; a refusal keeps it
    busy_ = false;
    if (!dlg_->ended()) syncFocus();
    return;
  }
}

char DialogHost::letterOf(const QKeySequence& k) {
  if (k.isEmpty()) return 0;
  const int key = k[0].key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<char>('0' + (key - Qt::Key_0));
  return 0;
}

bool DialogHost::focusNextPrevChild(bool next) {
  // Tab order and the focus rules are the model's: Shift+Tab goes back without
  // validating, Tab leaves the field under its validation.
  if (dlg_->ended()) return QDialog::focusNextPrevChild(next);
  busy_ = true;
  dlg_->keyPress(next ? Key::Tab : Key::BackTab);
  busy_ = false;
  if (!dlg_->ended()) syncFocus();
  return true;
}

void DialogHost::reject() {
  // Close box and Escape end the dialog without validating; a form with changes asks
  // first and stays open on "No".
  if (!dlg_->ended()) dlg_->close();
  if (!dlg_->ended()) return;
  QDialog::reject();
}

bool DialogHost::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::Shortcut && qobject_cast<QAbstractButton*>(o)) {
    auto* se = static_cast<QShortcutEvent*>(e);
    if (se->isAmbiguous()) {
      pressOrCycle(letterOf(se->key()));
      return true;
    }
  }
  if (e->type() == QEvent::KeyPress) {
    auto* ke = static_cast<QKeyEvent*>(e);
    Control* c = controlOf(qobject_cast<QWidget*>(o));
    if (!c || c != dlg_->focus()) return QDialog::eventFilter(o, e);
    const bool list = c->kind() == Control::Kind::Browse;
    if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
      if (list || c->kind() == Control::Kind::Combo || c->kind() == Control::Kind::Check ||
          c->kind() == Control::Kind::Radio) {
        dlg_->keyPress(Key::Enter);
        return true;
      }
    }
    if (list && ke->modifiers() == Qt::NoModifier) {
      if (ke->key() == Qt::Key_Insert) return dlg_->keyPress(Key::Insert) || true;
      if (ke->key() == Qt::Key_Delete) return dlg_->keyPress(Key::Delete) || true;
    }
    if (list) {
      auto* br = static_cast<Browse*>(c);
      const auto mods = ke->modifiers() & ~Qt::KeypadModifier;
      // Ctrl+E: the list to a spreadsheet; Ctrl+1..9: ordered by that column.
      if (mods == Qt::ControlModifier && ke->key() == Qt::Key_E) return dlg_->keyPress(Key::Export) || true;
      if (mods == Qt::ControlModifier && ke->key() >= Qt::Key_1 && ke->key() <= Qt::Key_9) {
        if (!br->sortBy(static_cast<size_t>(ke->key() - Qt::Key_1))) QApplication::beep();
        return true;
      }
      // Type-ahead: letters typed on the list look for a name; a pause starts over.
      const QString text = ke->text();
      const bool plain = mods == Qt::NoModifier || mods == Qt::ShiftModifier;
      if (plain && (ke->key() == Qt::Key_Backspace || (text.size() == 1 && text[0].isPrint() && text[0] != QLatin1Char(' ')) ||
                    (text == QLatin1String(" ") && !br->typedText().empty()))) {
        if (typeAheadClock_.isValid() && typeAheadClock_.elapsed() > 1500) br->resetTypeAhead();
        typeAheadClock_.start();
        const int code = ke->key() == Qt::Key_Backspace ? 8 : static_cast<unsigned char>(fromQ(text).empty() ? '?' : fromQ(text)[0]);
        if (!br->typeKey(code)) QApplication::beep();
        return true;
      }
    }
  }
  return QDialog::eventFilter(o, e);
}

void DialogHost::onFocusChanged(QWidget* old, QWidget* now) {
  // A form that scrolls keeps the control with the focus in sight.
  if (scroll_ && now && canvas_ && canvas_->isAncestorOf(now)) scroll_->ensureWidgetVisible(now, 8, 8);
  if (busy_ || !isVisible() || dlg_->ended()) return;
  Control* target = controlOf(now);
  if (!target || target == dlg_->focus()) return;
  if (placed_) {
    // The screen's code has just put the focus somewhere (a change handler, an
    // action) and Qt moves it on its own within the same key event: the arrow keys of
    // a radio group move to the next button after its click ran the handler. That is
    // not the operator leaving the field the screen chose: nothing is validated and
    // the focus goes back where the screen put it.
    QTimer::singleShot(0, this, [this] { syncFocus(); });
    return;
  }
  if (dlg_->focus() && controlOf(old) != dlg_->focus()) {
    // The focus comes back from elsewhere (a message box, another window) to a
    // control the operator did not choose: put it where the model has it.
    QTimer::singleShot(0, this, [this] { syncFocus(); });
    return;
  }
  busy_ = true;
  bool ok = dlg_->moveFocus(target);
  busy_ = false;
  if (!ok) QTimer::singleShot(0, this, [this] { syncFocus(); });
}

void DialogHost::build(const std::string& dataDir) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  if (auto bg = dlg_->background()) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, qcolor(*bg));
    if (auto fg = dlg_->foreground()) pal.setColor(QPalette::WindowText, qcolor(*fg));
    setPalette(pal);
    setAutoFillBackground(true);
  }
  // Button bar of the maintenance screens.
  if (!dlg_->barButtons().empty()) {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(4);
    for (Button* b : dlg_->barButtons()) {
      if (b->barGroup && b != dlg_->barButtons().front()) row->addSpacing(10);
      auto* tb = new BarToolButton(bar);
      int size = b->barSize > 0 ? b->barSize : 55;
      tb->setFixedSize(size, size);
      tb->setIconSize(QSize(size - 16, size - 16));
      tb->setIcon(QIcon(findImage(dataDir, b->imageName(), size - 16, size - 16)));
      // The tooltip underlines the accelerator letter: Alt+letter presses the button.
      QString tip = toQ(b->tooltipText()).toHtmlEscaped();
      if (char m = b->mnemonic()) {
        int at = tip.indexOf(QChar(m), 0, Qt::CaseInsensitive);
        if (at >= 0) tip = tip.left(at) + "<u>" + tip.mid(at, 1) + "</u>" + tip.mid(at + 1);
        auto* sc = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_A + (m - 'A'))), this);
        Button* pressed = b;
        connect(sc, &QShortcut::activated, this, [pressed] { pressed->press(); });
        connect(sc, &QShortcut::activatedAmbiguously, this, [this, m] { pressOrCycle(m); });
      }
      tb->setToolTip(tip);
      tb->setAutoRaise(false);
      tb->setFocusPolicy(Qt::StrongFocus);  // reachable with Tab; Space presses it
      Button* model = b;
      connect(tb, &QToolButton::clicked, this, [model] { model->press(); });
      byWidget_[tb] = b;
      byControl_[b] = tb;
      row->addWidget(tb);
    }
    row->addStretch(1);
    outer->addWidget(bar);
  }
  auto* canvas = new Canvas(this);
  canvas_ = canvas;
  QRect extent(0, 0, static_cast<int>(dlg_->width() * QtToolkit::unitX()),
               static_cast<int>(dlg_->height() * QtToolkit::unitY()));
  for (Control* c : dlg_->controls()) {
    if (std::find(dlg_->barButtons().begin(), dlg_->barButtons().end(), c) != dlg_->barButtons().end()) continue;
    QWidget* w = makeWidget(*c, canvas, dataDir);
    if (!w) continue;
    if (c->kind() == Control::Kind::Browse && !canvas->stretch()) canvas->setStretch(w);
    extent = extent.united(w->geometry().adjusted(0, 0, 6, 6));
  }
  canvas->setNatural(extent.size());
  canvas->resize(extent.size());
  // A form too big for the screen scrolls (fitToScreen decides when it is shown).
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidget(canvas);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->viewport()->setAutoFillBackground(false);
  scroll_->setAutoFillBackground(false);
  outer->addWidget(scroll_, 1);
  // F3 and Ctrl+F: the screen's search button.
  if (dlg_->barButton(BarRole::Search)) {
    for (QKeySequence k : {QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_F)}) {
      auto* sc = new QShortcut(k, this);
      connect(sc, &QShortcut::activated, this, [this] { dlg_->keyPress(Key::Find); });
    }
  }
  if (!dlg_->messageBarText().empty()) {
    auto* msg = new QLabel(toQ(dlg_->messageBarText()), this);
    msg->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    msg->setContentsMargins(6, 2, 6, 2);
    msg->setAutoFillBackground(true);
    outer->addWidget(msg);
  }
}

void DialogHost::placeWithin(QPoint topLeft) {
  QScreen* scr = parentWidget() ? parentWidget()->screen() : screen();
  if (!scr) scr = QGuiApplication::primaryScreen();
  if (!scr) {
    move(topLeft);
    return;
  }
  // The same room for the frame and title bar as fitToScreen leaves.
  const QRect avail = scr->availableGeometry().adjusted(0, 0, -16, -48);
  int x = std::min(topLeft.x(), avail.right() + 1 - width());
  int y = std::min(topLeft.y(), avail.bottom() + 1 - height());
  move(std::max(x, avail.left()), std::max(y, avail.top()));
}

void DialogHost::fitToScreen() {
  QScreen* scr = parentWidget() ? parentWidget()->screen() : screen();
  if (!scr) scr = QGuiApplication::primaryScreen();
  // Room left for the window frame and title bar.
  QRect avail = scr ? scr->availableGeometry().adjusted(0, 0, -16, -48) : QRect(0, 0, 1024, 720);
  QSize content = canvas_->natural();
  QWidget* list = canvas_->stretch();
  auto* tv = qobject_cast<QTableView*>(list);
  if (!tv && list) tv = list->findChild<QTableView*>(QString(), Qt::FindDirectChildrenOnly);  // the list above its totals
  if (tv) {
    // The list is widened to show every column and its scroll bar.
    // Frame, scroll bar and the grid's last line.
    int need = tv->frameWidth() * 2 + tv->verticalScrollBar()->sizeHint().width() + 2;
    for (int i = 0; i < tv->model()->columnCount(); ++i) need += tv->columnWidth(i);
    int extra = need - tv->width();
    if (extra > 0) content.setWidth(content.width() + extra);
  }
  int chrome = 0;  // the bars above and below the canvas
  if (auto* lay = layout()) {
    for (int i = 0; i < lay->count(); ++i) {
      QWidget* w = lay->itemAt(i)->widget();
      if (w && w != scroll_) chrome += w->sizeHint().height();
    }
  }
  int w = content.width(), h = content.height() + chrome;
  bool tooBig = w > avail.width() || h > avail.height();
  if (tooBig) {
    // Scrolls inside what the screen can show.
    int sb = scroll_->verticalScrollBar()->sizeHint().width();
    w = std::min(avail.width(), w + (h > avail.height() ? sb : 0));
    h = std::min(avail.height(), h + (content.width() > avail.width() ? sb : 0));
  }
  if (auto* tv = qobject_cast<QTableView*>(list)) {
    const QSize n = canvas_->natural();
    // The list may shrink, but not below what the controls that do not move with it
    // need (the row of buttons under it): narrower, the form scrolls.
    int minW = n.width() - std::max(0, tv->width() - 160), minH = n.height() - std::max(0, tv->height() - 80);
    const QRect lg = tv->geometry();
    for (QObject* o : canvas_->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (!w || w == tv || w->isHidden()) continue;
      const QRect g = w->geometry();
      if (g.left() < lg.right()) minW = std::max(minW, g.right() + 1 + 6);
      if (g.top() < lg.bottom()) minH = std::max(minH, g.bottom() + 1 + 6);
    }
    canvas_->setMinimumSize(std::min(minW, n.width()), std::min(minH, n.height()));
  } else {
    canvas_->setMinimumSize(canvas_->natural());
  }
  if (list) {
    // Lists may be resized: the list takes the room.
    setSizeGripEnabled(true);
    setMinimumSize(std::min(w, canvas_->minimumWidth()), std::min(h, canvas_->minimumHeight() + chrome));
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(w, h);
  } else {
    setFixedSize(w, h);
  }
  scroll_->setVerticalScrollBarPolicy(tooBig ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  scroll_->setHorizontalScrollBarPolicy(tooBig ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  // Centred on the screen area, inside it.
  QRect g(QPoint(0, 0), QSize(w, h));
  g.moveCenter(scr ? scr->availableGeometry().center() : QPoint(w / 2, h / 2));
  g.moveTop(std::max(g.top(), avail.top() + 32));
  g.moveLeft(std::max(g.left(), avail.left()));
  move(g.topLeft());
}

QWidget* DialogHost::makeWidget(Control& c, QWidget* canvas, const std::string& dataDir) {
  QRect g = px(c.rect());
  QWidget* w = nullptr;
  auto view = std::make_unique<LambdaView>();
  LambdaView* v = view.get();
  switch (c.kind()) {
    case Control::Kind::Group: {
      auto* box = new QGroupBox(toQ(c.caption()), canvas);
      w = box;
      break;
    }
    case Control::Kind::Static: {
      switch (c.templateClass()) {
        case ControlClass::Image: {
          auto* l = new QLabel(canvas);
          l->setPixmap(findImage(dataDir, c.caption(), g.width(), g.height()));
          l->setAlignment(Qt::AlignCenter);
          w = l;
          break;
        }
        case ControlClass::Edit: {
          auto* e = new QLineEdit(canvas);
          e->setReadOnly(true);
          e->setFocusPolicy(Qt::NoFocus);
          w = e;
          break;
        }
        case ControlClass::Button: {
          auto* b = new QPushButton(toQ(c.caption()), canvas);
          b->setFocusPolicy(Qt::TabFocus);
          w = b;
          break;
        }
        case ControlClass::Radio: w = new QRadioButton(toQ(c.caption()), canvas); break;
        case ControlClass::CheckBox: w = new QCheckBox(toQ(c.caption()), canvas); break;
        case ControlClass::ListBox: w = new QListWidget(canvas); break;
        case ControlClass::ComboBox: w = new QComboBox(canvas); break;
        default: {
          auto* l = new QLabel(toQ(c.caption()), canvas);
          l->setTextFormat(Qt::PlainText);
          w = l;
          break;
        }
      }
      break;
    }
    case Control::Kind::Label: {
      auto& m = static_cast<Label&>(c);
      auto* l = new QLabel(canvas);
      l->setTextFormat(Qt::PlainText);
      // A label on its own background (a display such as a looked-up name) gets a
      // sunken frame; labels on the dialog's colour read as plain text.
      if (m.background() && m.background() != dlg_->background()) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      v->onUpdate = [l, &m] {
        l->setText(toQ(m.shown()));
        applyColors(l, m, QPalette::WindowText, QPalette::Window);
        l->setToolTip(toQ(m.tooltipText()));
        if (!m.fontFamily().empty()) {
          QFont f(toQ(m.fontFamily()));
          if (m.fontHeight() > 0) f.setPixelSize(m.fontHeight());
          l->setFont(f);
        }
      };
      w = l;
      break;
    }
    case Control::Kind::Field: {
      auto& m = static_cast<Field&>(c);
      auto* e = new PictureEdit(m, canvas);
      auto typing = std::make_shared<bool>(false);
      connect(e, &QLineEdit::textEdited, this, [e, &m, typing](const QString& text) {
        *typing = true;
        QString t = m.type() == Field::Type::Date ? e->displayText() : text;
        if (!m.type(fromQ(t))) e->setText(toQ(m.text()));
        *typing = false;
      });
      v->onUpdate = [e, &m, typing] {
        if (!*typing && e->displayText() != toQ(m.text())) e->setText(toQ(m.text()));
        e->setEnabled(m.focusable());
        e->setReadOnly(m.isReadOnly());
        e->setToolTip(toQ(m.tooltipText()));
        applyColors(e, m, QPalette::Text, QPalette::Base);
      };
      v->onFocus = [this, e] {
        if (!e->hasFocus()) {
          busy_ = true;
          // Entered by the model (Tab, Shift+Tab, Enter, a validation): the text is
          // selected, so typing replaces it as when Qt itself tabs in.
          e->setFocus(Qt::TabFocusReason);
          busy_ = false;
        }
      };
      w = e;
      break;
    }
    case Control::Kind::Button: {
      auto& m = static_cast<Button&>(c);
      auto* b = new QPushButton(toQ(m.caption()), canvas);
      b->setFocusPolicy(Qt::TabFocus);  // a click leaves the field's focus to press()
      b->setAutoDefault(true);
      b->setDefault(m.isDefault());
      if (!m.imageName().empty()) {
        int side = std::max(12, std::min(g.height() - 6, 24));
        b->setIcon(QIcon(findImage(dataDir, m.imageName(), side, side)));
        b->setIconSize(QSize(side, side));
      }
      connect(b, &QPushButton::clicked, this, [&m] { m.press(); });
      b->installEventFilter(this);  // accelerators shared with another button
      v->onUpdate = [b, &m] {
        b->setText(toQ(m.caption()));
        b->setEnabled(m.enabled());
        b->setToolTip(toQ(m.tooltipText()));
      };
      v->onFocus = [this, b] {
        busy_ = true;
        b->setFocus(Qt::OtherFocusReason);
        busy_ = false;
      };
      w = b;
      break;
    }
    case Control::Kind::Image: {
      auto& m = static_cast<Image&>(c);
      auto* l = new ClickLabel(canvas);
      l->setPixmap(findImage(dataDir, m.name(), g.width(), g.height()));
      l->setAlignment(Qt::AlignCenter);
      if (m.clickable()) {
        l->setCursor(Qt::PointingHandCursor);
        l->onClick = [&m] { m.click(); };
      }
      l->setToolTip(toQ(m.tooltipText()));
      w = l;
      break;
    }
    case Control::Kind::Combo: {
      auto& m = static_cast<Combo&>(c);
      auto* cb = new QComboBox(canvas);
      for (const auto& it : m.items()) cb->addItem(toQ(it));
      connect(cb, QOverload<int>::of(&QComboBox::activated), this, [&m](int i) { m.choose(i); });
      cb->installEventFilter(this);
      v->onUpdate = [cb, &m] {
        QSignalBlocker block(cb);
        cb->setCurrentIndex(m.current());
        cb->setEnabled(m.enabled());
        cb->setToolTip(toQ(m.tooltipText()));
        applyColors(cb, m, QPalette::Text, QPalette::Base);
        applyColors(cb, m, QPalette::ButtonText, QPalette::Button);
      };
      v->onFocus = [this, cb] {
        busy_ = true;
        cb->setFocus(Qt::OtherFocusReason);
        busy_ = false;
      };
      w = cb;
      break;
    }
    case Control::Kind::Radio: {
      auto& m = static_cast<RadioGroup&>(c);
      auto* group = new QButtonGroup(canvas);
      std::vector<QRadioButton*> buttons;
      for (size_t i = 0; i < m.ids().size(); ++i) {
        auto* rb = new QRadioButton(toQ(i < m.captions.size() ? m.captions[i] : std::string()), canvas);
        rb->setGeometry(px(i < m.rects.size() ? m.rects[i] : Rect{}));
        group->addButton(rb, static_cast<int>(i) + 1);
        rb->installEventFilter(this);
        byWidget_[rb] = &c;
        buttons.push_back(rb);
      }
      connect(group, &QButtonGroup::idClicked, this, [&m](int id) { m.choose(id); });
      v->onUpdate = [buttons, &m] {
        for (size_t i = 0; i < buttons.size(); ++i) {
          QSignalBlocker block(buttons[i]);
          buttons[i]->setChecked(m.value() == static_cast<int>(i) + 1);
          buttons[i]->setEnabled(m.enabled());
        }
      };
      v->onUpdate();
      byControl_[&c] = buttons.empty() ? nullptr : buttons.front();
      c.view = v;
      views_.push_back(std::move(view));
      return buttons.empty() ? nullptr : buttons.front();
    }
    case Control::Kind::Check: {
      auto& m = static_cast<CheckBox&>(c);
      auto* cb = new QCheckBox(toQ(m.caption()), canvas);
      connect(cb, &QCheckBox::toggled, this, [&m](bool on) { m.set(on); });
      cb->installEventFilter(this);
      v->onUpdate = [cb, &m] {
        QSignalBlocker block(cb);
        cb->setChecked(m.checked());
        cb->setEnabled(m.enabled());
      };
      w = cb;
      break;
    }
    case Control::Kind::Browse: {
      auto& m = static_cast<Browse&>(c);
      auto* tv = new QTableView(canvas);
      auto* model = new BrowseModel(m, tv);
      tv->setModel(model);
      tv->setSelectionBehavior(m.rowCursor() ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
      tv->setSelectionMode(QAbstractItemView::SingleSelection);
      tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
      tv->setAlternatingRowColors(false);
      tv->setWordWrap(false);
      tv->setTabKeyNavigation(false);
      tv->verticalHeader()->hide();
      tv->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
      tv->verticalHeader()->setDefaultSectionSize(QFontMetrics(tv->font()).height() + 6);
      tv->horizontalHeader()->setSectionsMovable(m.canMoveColumns());
      tv->horizontalHeader()->setHighlightSections(false);
      tv->horizontalHeader()->setStretchLastSection(false);
      tv->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      fitColumns(tv, m);
      tv->installEventFilter(this);
      // A click on a header orders the list by that column where an index allows it.
      tv->horizontalHeader()->setSectionsClickable(true);
      auto showOrder = [tv, &m] {
        const int col = m.sortedColumn();
        tv->horizontalHeader()->setSortIndicatorShown(col >= 0);
        if (col >= 0) tv->horizontalHeader()->setSortIndicator(col, Qt::AscendingOrder);
      };
      showOrder();
      connect(tv->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, &m, showOrder](int section) {
        if (section < 0 || !dlg_->moveFocus(&m) || !m.sortBy(static_cast<size_t>(section))) QApplication::beep();
        showOrder();
        syncFocus();
      });
      // The list's own menu: the spreadsheet export, wherever the list is.
      tv->setContextMenuPolicy(Qt::CustomContextMenu);
      connect(tv, &QWidget::customContextMenuRequested, this, [this, tv, &m](const QPoint& at) {
        QMenu menu(tv);
        QAction* xls = menu.addAction(QStringLiteral("Exportar A Hoja De Calculo\tCtrl+E"));
        if (menu.exec(tv->viewport()->mapToGlobal(at)) == xls) (void)exportList(dlg_->toolkit(), m);
      });
      // The totals line: a one-row table under the list, its columns as wide as the
      // list's and scrolled with it.
      QTableView* foot = nullptr;
      QStandardItemModel* footModel = nullptr;
      QWidget* box = nullptr;
      if (m.hasTotals()) {
        box = new QWidget(canvas);
        box->setFocusProxy(tv);
        auto* lay = new QVBoxLayout(box);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->setSpacing(0);
        tv->setParent(box);
        lay->addWidget(tv, 1);
        foot = new QTableView(box);
        footModel = new QStandardItemModel(1, static_cast<int>(m.columnCount()), foot);
        foot->setModel(footModel);
        foot->horizontalHeader()->hide();
        foot->verticalHeader()->hide();
        foot->setFocusPolicy(Qt::NoFocus);
        foot->setSelectionMode(QAbstractItemView::NoSelection);
        foot->setEditTriggers(QAbstractItemView::NoEditTriggers);
        foot->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        foot->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        foot->verticalHeader()->setDefaultSectionSize(tv->verticalHeader()->defaultSectionSize());
        foot->setFixedHeight(tv->verticalHeader()->defaultSectionSize() + 2 * foot->frameWidth());
        QFont bold = foot->font();
        bold.setBold(true);
        foot->setFont(bold);
        foot->setAccessibleName(QStringLiteral("Totales"));
        lay->addWidget(foot);
        for (int i = 0; i < static_cast<int>(m.columnCount()); ++i) foot->setColumnWidth(i, tv->columnWidth(i));
        connect(tv->horizontalHeader(), &QHeaderView::sectionResized, foot,
                [foot](int i, int, int size) { foot->setColumnWidth(i, size); });
        connect(tv->horizontalScrollBar(), &QScrollBar::valueChanged, foot->horizontalScrollBar(), &QScrollBar::setValue);
      }
      auto fillTotals = [foot, footModel, tv, &m] {
        if (!foot) return;
        const auto& line = m.totalsLine();
        for (int i = 0; i < static_cast<int>(line.size()); ++i) {
          auto* item = new QStandardItem(toQ(line[static_cast<size_t>(i)]));
          item->setTextAlignment(m.align(static_cast<size_t>(i)) == Browse::Align::Right ? (Qt::AlignRight | Qt::AlignVCenter)
                                                                                          : (Qt::AlignLeft | Qt::AlignVCenter));
          footModel->setItem(0, i, item);
          // A total is wider than the amounts it adds up (and bold): the column widens.
          const int need = QFontMetrics(foot->font()).horizontalAdvance(item->text()) + 14;
          if (tv->columnWidth(i) < need) tv->setColumnWidth(i, need);
          foot->setColumnWidth(i, tv->columnWidth(i));
        }
      };
      fillTotals();
      auto lastGen = std::make_shared<uint64_t>(m.generation());
      auto selecting = std::make_shared<bool>(false);
      auto select = [tv, &m, selecting] {
        int row = m.currentRow();
        *selecting = true;
        if (row >= 0) {
          tv->selectRow(row);
          tv->scrollTo(tv->model()->index(row, 0));
        } else {
          tv->clearSelection();
        }
        *selecting = false;
      };
      connect(tv->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
              [this, &m, selecting, select](const QModelIndex& now) {
                if (*selecting || !now.isValid()) return;
                if (dlg_->focus() != &m) {
                  // The field being left refused: the list does not move.
                  QTimer::singleShot(0, this, select);
                  return;
                }
                m.pick(now.row());
              });
      connect(tv, &QTableView::doubleClicked, this, [&m](const QModelIndex& i) {
        if (i.isValid()) m.doubleClick(i.row());
      });
      v->onUpdate = [model, &m, lastGen, select, tv, fillTotals, showOrder] {
        if (m.generation() != *lastGen) {
          *lastGen = m.generation();
          model->reload();
          fitColumns(tv, m);
          select();
          fillTotals();
          showOrder();
        }
      };
      v->onFocus = [this, tv] {
        busy_ = true;
        tv->setFocus(Qt::OtherFocusReason);
        busy_ = false;
      };
      QTimer::singleShot(0, tv, select);
      w = box ? box : tv;
      break;
    }
  }
  if (!w) return nullptr;
  w->setGeometry(g);
  if (c.kind() == Control::Kind::Static || c.kind() == Control::Kind::Group) {
    if (c.kind() == Control::Kind::Static && c.templateClass() == ControlClass::Label) {
      // Template labels read in the dialog's text colour, unless the screen gave them
      // colours of their own (the blue or navy labels of the data forms).
      applyColors(w, c, QPalette::WindowText, QPalette::Window);
    }
    byWidget_[w] = &c;
    byControl_[&c] = w;
    return w;
  }
  if (!c.rect().w && !c.inTemplate()) w->hide();  // bound to an identifier the template lacks
  byWidget_[w] = &c;
  byControl_[&c] = w;
  c.view = v;
  if (v->onUpdate) v->onUpdate();
  if (!v->onFocus) {
    v->onFocus = [this, w] {
      busy_ = true;
      w->setFocus(Qt::OtherFocusReason);
      busy_ = false;
    };
  }
  // The model moving the focus while no operator move is being handled here: the
  // screen's code placed it (see onFocusChanged).
  v->onFocus = [this, place = std::move(v->onFocus)] {
    if (!busy_) notePlaced();
    place();
  };
  views_.push_back(std::move(view));
  return w;
}

}  // namespace planilla::ui::qt
