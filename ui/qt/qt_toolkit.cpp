#include "ui/qt/qt_toolkit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMainWindow>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcutEvent>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/qt/qt_dialog.h"
#include "ui/text1252.h"

namespace planilla::ui::qt {

QString toQ(const std::string& cp1252) { return QString::fromUtf8(cp1252ToUtf8(cp1252)); }
std::string fromQ(const QString& s) { return utf8To1252(s.toUtf8().toStdString()); }

double QtToolkit::unitX() {
  QFontMetricsF fm(QApplication::font());
  // Average width of the alphabet, as dialog units are defined.
  double avg = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  return avg / 4.0;
}
double QtToolkit::unitY() { return QFontMetricsF(QApplication::font()).height() / 8.0; }

QString titleText(const std::string& cp1252) {
  // A caption taken from a menu entry keeps its accelerator marks: "&&" is an
  // ampersand, a lone "&" only marks the letter and is not shown.
  const QString t = toQ(cp1252);
  QString out;
  out.reserve(t.size());
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t.at(i) == QLatin1Char('&') && i + 1 < t.size()) ++i;
    else if (t.at(i) == QLatin1Char('&')) continue;
    out += t.at(i);
  }
  return out;
}

void giveFocusBack(QWidget* opener) {
  // A window that closes (a box, a run's dialog, the progress window) leaves the
  // keyboard to no window where the platform does not hand it on itself: the window
  // that opened it takes it back, unless another modal window now has it.
  if (!opener || !opener->isVisible()) return;
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != opener) return;
  if (auto* host = qobject_cast<DialogHost*>(opener)) {
    host->syncFocus();  // where the dialog's model has the focus
    return;
  }
  if (!opener->isActiveWindow()) opener->activateWindow();
  if (!opener->focusWidget()) opener->setFocus(Qt::ActiveWindowFocusReason);
}

namespace {

bool messageBox(QWidget* parent, MsgKind kind, const std::string& text, const std::string& title) {
  QPointer<QWidget> opener = parent;
  struct Back {
    QPointer<QWidget>& w;
    ~Back() { giveFocusBack(w); }
  } back{opener};
  QMessageBox box(parent);
  box.setWindowTitle(titleText(title));
  box.setText(toQ(text));
  switch (kind) {
    case MsgKind::Stop: box.setIcon(QMessageBox::Critical); break;
    case MsgKind::Info: box.setIcon(QMessageBox::Information); break;
    case MsgKind::Alert: box.setIcon(QMessageBox::Warning); break;
    case MsgKind::YesNo:
    case MsgKind::NoYes: box.setIcon(QMessageBox::Question); break;
  }
  if (isQuestion(kind)) {
    QPushButton* yes = box.addButton(QStringLiteral("&Sí"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(kind == MsgKind::NoYes ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;  // No, Escape or the close box: false
  }
  QPushButton* ok = box.addButton(QStringLiteral("&Aceptar"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
  return true;
}

}  // namespace

bool QtMessages::show(MsgKind kind, const std::string& text, const std::string& title) {
  return messageBox(QApplication::activeWindow(), kind, text, title);
}

// --- main window -------------------------------------------------------------------------
class MainFrame : public QMainWindow {
 public:
  std::function<void()> onClose;

 protected:
  void closeEvent(QCloseEvent* e) override {
    if (onClose) onClose();
    e->accept();
  }
};

struct QtToolkit::MainHost {
  MainWindow* model = nullptr;
  MainFrame* frame = nullptr;
  QLabel* fixedMessage = nullptr;
  QEventLoop* loop = nullptr;
};

namespace {

// Qt's own texts in Spanish: the system's catalogue, with the few texts of Qt's
// dialogs that it leaves in English (the print dialog's page range) supplied here.
class SpanishQt : public QTranslator {
 public:
  bool loadSystem() {
    // "qt_es" gathers the catalogues of every Qt module (qtbase: buttons, the file
    // and print dialogs); Debian ships them in qt6-translations-l10n.
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    return system_.load(QStringLiteral("qt_es"), dir) || system_.load(QStringLiteral("qtbase_es"), dir);
  }
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* disambiguation, int n) const override {
    struct Text {
      const char *context, *source, *spanish;
    };
    static const Text kMissing[] = {
        {"QPrintSettingsOutput", "Pages", "P\u00e1ginas"},
        {"QPrintSettingsOutput",
         "Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a hyphen. "
         "E.g: 3,5-7.",
         "P\u00e1ginas o intervalos separados por comas; un intervalo son dos n\u00fameros separados por un "
         "guion. Ej.: 3,5-7."},
        {"QPrintDialog", "All Pages", "Todas las p\u00e1ginas"},
        {"QPrintDialog", "Odd Pages", "P\u00e1ginas impares"},
        {"QPrintDialog", "Even Pages", "P\u00e1ginas pares"},
        {"QPrintDialog", "&Print", "Im&primir"},
        {"QPrintDialog", "Print", "Imprimir"},
    };
    if (context && source) {
      for (const Text& t : kMissing) {
        if (qstrcmp(context, t.context) == 0 && qstrcmp(source, t.source) == 0) {
          const QString mine = system_.translate(context, source, disambiguation, n);
          return mine.isEmpty() ? QString::fromUtf8(t.spanish) : mine;
        }
      }
    }
    return system_.translate(context, source, disambiguation, n);
  }

 private:
  QTranslator system_;
};

}  // namespace

std::unique_ptr<QTranslator> installSpanish() {
  if (!QCoreApplication::instance()) return nullptr;
  auto tr = std::make_unique<SpanishQt>();
  if (!tr->loadSystem()) return nullptr;
  QCoreApplication::installTranslator(tr.get());
  return tr;
}

QtToolkit::QtToolkit() { translator_ = installSpanish(); }
QtToolkit::~QtToolkit() {
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
  delete progress_;
  delete main_;
}

QWidget* QtToolkit::activeWindow() const {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  if (QWidget* w = QApplication::activeWindow()) return w;
  return main_ ? main_->frame : nullptr;
}

std::optional<std::string> QtToolkit::askSaveFile(const std::string& title, const std::string& proposed,
                                                  const std::string& filter) {
  if (workDepth_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const QString path = QFileDialog::getSaveFileName(activeWindow(), toQ(title), QFileInfo(QFile::decodeName(proposed.c_str())).absoluteFilePath(), toQ(filter));
  if (workDepth_ > 0) QApplication::restoreOverrideCursor();
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

std::optional<std::string> QtToolkit::askFolder(const std::string& title, const std::string& proposed) {
  if (workDepth_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const QString dir =
      QFileDialog::getExistingDirectory(activeWindow(), toQ(title), QFileInfo(QFile::decodeName(proposed.c_str())).absoluteFilePath());
  if (workDepth_ > 0) QApplication::restoreOverrideCursor();
  if (dir.isEmpty()) return std::nullopt;
  return QFile::encodeName(dir).toStdString();
}

bool QtToolkit::show(MsgKind kind, const std::string& text, const std::string& title) {
  // A message during long work waits for the operator: the normal cursor meanwhile.
  if (workDepth_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  bool r = messageBox(activeWindow(), kind, text, title);
  if (workDepth_ > 0) QApplication::restoreOverrideCursor();
  return r;
}

namespace {
QString countText(const std::string& what, long done, long total) {
  QLocale es(QLocale::Spanish, QLocale::Peru);
  QString n = es.toString(static_cast<qlonglong>(done));
  if (total > 0) n += QStringLiteral(" de ") + es.toString(static_cast<qlonglong>(total));
  return toQ(what) + QStringLiteral(": ") + n;
}
}  // namespace

void QtToolkit::workBegin(const std::string& title, const std::string& what, long total) {
  if (workDepth_++ > 0) return;
  workTotal_ = total, workWhat_ = what;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  progress_ = new QProgressDialog(activeWindow());
  progress_->setWindowTitle(titleText(title));
  progress_->setLabelText(countText(what, 0, total));
  progress_->setCancelButton(nullptr);  // a run is not stopped half-way
  progress_->setRange(0, total > 0 ? static_cast<int>(total) : 0);
  progress_->setMinimumDuration(0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setWindowModality(Qt::ApplicationModal);
  progress_->setMinimumWidth(360);
  progress_->setValue(0);
  progress_->show();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtToolkit::workProgress(long done) {
  if (!progress_) return;
  if (workTotal_ > 0) progress_->setValue(static_cast<int>(std::min(done, workTotal_)));
  progress_->setLabelText(countText(workWhat_, done, workTotal_));
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtToolkit::workEnd(long done) {
  if (workDepth_ == 0 || --workDepth_ > 0) return;
  if (progress_) {
    workProgress(done);
    QPointer<QWidget> opener = progress_->parentWidget();
    progress_->hide();
    delete progress_;
    progress_ = nullptr;
    giveFocusBack(opener);
  }
  QApplication::restoreOverrideCursor();
}

void QtToolkit::runModal(Dialog& dlg) {
  // The window that opens the dialog takes the keyboard back when it ends, also when
  // the last thing shown was a box over the dialog (the runs' "Fin De Proceso").
  QPointer<QWidget> opener = activeWindow();
  {
    DialogHost host(dlg, dataDir(), opener);
    if (!dlg.errors().empty()) {
      std::string all;
      for (const auto& e : dlg.errors()) all += e + "\n";
      messageBox(&host, MsgKind::Stop, "Error de programa en el dialogo:\n" + all, "Error");
    }
    dlg.focusFirst();
    QTimer::singleShot(0, &host, [&host] { host.syncFocus(); });
    host.fitToScreen();
    if (!dlg.centered()) {
      // Near the top left of the window that opened it, as far as the screen allows.
      if (QWidget* p = host.parentWidget()) host.placeWithin(p->mapToGlobal(QPoint(40, 40)));
    }
    host.exec();
    if (!dlg.ended()) dlg.close();
  }
  giveFocusBack(opener);
}

namespace {

void buildMenu(QMenu* menu, QMenuBar* bar, const std::vector<MainWindow::MenuItem>& items, const std::string& dir,
               QWidget* owner) {
  for (const auto& it : items) {
    if (it.separator) {
      if (menu) menu->addSeparator();
      continue;
    }
    QIcon icon;
    if (!it.image.empty()) icon = QIcon(findImage(dir, it.image, 16, 16));
    if (it.submenu) {
      QMenu* sub = menu ? menu->addMenu(icon, toQ(it.caption)) : bar->addMenu(toQ(it.caption));
      sub->menuAction()->setStatusTip(toQ(it.message));
      sub->menuAction()->setEnabled(it.enabled);
      buildMenu(sub, nullptr, it.children, dir, owner);
      continue;
    }
    QAction* a = menu ? menu->addAction(icon, toQ(it.caption)) : bar->addAction(toQ(it.caption));
    a->setStatusTip(toQ(it.message));
    a->setEnabled(it.enabled);
    auto action = it.action;
    QObject::connect(a, &QAction::triggered, owner, [action] {
      if (action) action();  // entries without an action are inert
    });
  }
}

// Menu-bar entries that share an accelerator letter: each Alt+letter selects the next
// of them (a menu opens, a command is only highlighted) and runs nothing; Enter runs
// the highlighted command. An accelerator of its own still acts at once.
class SharedMnemonics : public QObject {
 public:
  explicit SharedMnemonics(QMenuBar* bar) : QObject(bar), bar_(bar) {}

  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Shortcut && o == bar_) {
      auto* se = static_cast<QShortcutEvent*>(e);
      QList<QAction*> same = sharing(se->key());
      if (same.size() > 1) {
        selectNext(same);
        return true;
      }
    } else if (e->type() == QEvent::KeyPress && (qobject_cast<QMenu*>(o) || o == bar_)) {
      auto* ke = static_cast<QKeyEvent*>(e);
      const bool alt = ke->modifiers() == Qt::AltModifier;
      if ((alt || o == bar_) && ke->key() >= Qt::Key_A && ke->key() <= Qt::Key_Z) {
        QList<QAction*> same = sharing(QKeySequence(Qt::ALT | Qt::Key(ke->key())));
        if (same.size() > 1 && (alt || bar_->activeAction())) {
          selectNext(same);
          return true;
        }
      }
      if (o == bar_ && highlighted_ && bar_->activeAction() == highlighted_ &&
          (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)) {
        QAction* a = highlighted_;
        highlighted_ = nullptr;
        bar_->setActiveAction(nullptr);
        a->trigger();
        return true;
      }
      if (o == bar_ && ke->key() == Qt::Key_Escape) highlighted_ = nullptr;
    }
    return QObject::eventFilter(o, e);
  }

 private:
  QList<QAction*> sharing(const QKeySequence& k) const {
    QList<QAction*> out;
    for (QAction* a : bar_->actions()) {
      if (a->isVisible() && a->isEnabled() && !a->isSeparator() && QKeySequence::mnemonic(a->text()) == k)
        out.push_back(a);
    }
    return out;
  }
  void selectNext(const QList<QAction*>& same) {
    QAction* now = bar_->activeAction();
    if (!now) now = highlighted_;
    int at = same.indexOf(now);
    QAction* next = same.at(at < 0 ? 0 : (at + 1) % same.size());
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    if (next->menu()) {
      highlighted_ = nullptr;
      bar_->setActiveAction(next);  // opens the menu: choosing in it is another key
    } else {
      // A command is highlighted, not run: the menu bar takes the keys until Enter.
      highlighted_ = next;
      bar_->setFocus(Qt::ShortcutFocusReason);
      bar_->setActiveAction(next);
    }
  }
  QMenuBar* bar_;
  QAction* highlighted_ = nullptr;
};

void watchMenus(QMenu* m, QObject* filter) {
  for (QAction* a : m->actions()) {
    if (a->menu()) {
      a->menu()->installEventFilter(filter);
      watchMenus(a->menu(), filter);
    }
  }
}

}  // namespace

void QtToolkit::runMain(MainWindow& w) {
  delete main_;
  main_ = new MainHost;
  main_->model = &w;
  auto* frame = new MainFrame;
  main_->frame = frame;
  frame->setAttribute(Qt::WA_DeleteOnClose, false);
  frame->setWindowTitle(toQ(w.title()));
  if (!w.icon().empty()) frame->setWindowIcon(QIcon(findImage(dataDir(), w.icon(), 32, 32)));
  QPalette pal = frame->palette();
  pal.setColor(QPalette::Window, QColor(w.background().r, w.background().g, w.background().b));
  frame->setPalette(pal);

  buildMenu(nullptr, frame->menuBar(), w.menu(), dataDir(), frame);
  auto* shared = new SharedMnemonics(frame->menuBar());
  frame->menuBar()->installEventFilter(shared);
  for (QAction* a : frame->menuBar()->actions()) {
    if (a->menu()) {
      a->menu()->installEventFilter(shared);
      watchMenus(a->menu(), shared);
    }
  }
  frame->menuBar()->setAutoFillBackground(true);
  QPalette mp = frame->menuBar()->palette();
  mp.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
  frame->menuBar()->setPalette(mp);

  auto* bar = frame->addToolBar(QStringLiteral("Botones"));
  bar->setMovable(false);
  bar->setIconSize(QSize(36, 36));
  bar->setAutoFillBackground(true);
  bar->setPalette(mp);
  for (size_t i = 0; i < w.bar().size(); ++i) {
    const auto& b = w.bar()[i];
    if (b.group && i > 0) bar->addSeparator();
    auto* tb = new QToolButton(bar);
    tb->setFixedSize(50, 50);
    tb->setIconSize(QSize(36, 36));
    tb->setIcon(QIcon(findImage(dataDir(), b.image, 36, 36)));
    tb->setToolTip(toQ(b.tooltip));
    tb->setStatusTip(toQ(b.message));
    tb->setEnabled(b.enabled);
    auto action = b.action;
    QObject::connect(tb, &QToolButton::clicked, frame, [action] {
      if (action) action();
    });
    bar->addWidget(tb);
  }

  auto* central = new QWidget(frame);
  central->setAutoFillBackground(true);
  central->setPalette(pal);
  auto* lay = new QVBoxLayout(central);
  auto* logo = new QLabel(central);
  if (!w.logo().empty()) {
    logo->setPixmap(findImage(dataDir(), w.logo(), w.logoWidth() > 0 ? w.logoWidth() : 280,
                              w.logoHeight() > 0 ? w.logoHeight() : 200));
  }
  lay->addWidget(logo, 0, Qt::AlignCenter);  // re-centred by the layout on every resize
  frame->setCentralWidget(central);

  main_->fixedMessage = new QLabel(toQ(w.messageBarText()));
  main_->fixedMessage->setContentsMargins(6, 0, 6, 0);
  // A normal (not permanent) widget: the status bar hides it while a highlighted menu
  // entry or button shows its own message-bar text, and shows it again afterwards.
  frame->statusBar()->addWidget(main_->fixedMessage, 1);
  frame->statusBar()->setAutoFillBackground(true);
  frame->statusBar()->setPalette(mp);

  QEventLoop loop;
  main_->loop = &loop;
  frame->onClose = [this, &loop, &w] {
    if (!w.closed()) w.close();
    loop.quit();
  };
  // Without a window manager (a bare X server) maximising does nothing: fill the screen.
  if (QScreen* screen = QApplication::primaryScreen()) frame->setGeometry(screen->availableGeometry());
  frame->showMaximized();
  frame->activateWindow();  // takes the keyboard after the login, also without a window manager
  if (!w.closed()) loop.exec();
  main_->loop = nullptr;
  frame->onClose = nullptr;
  frame->hide();
  delete frame;
  main_->frame = nullptr;
}

void QtToolkit::mainChanged(MainWindow& w) {
  if (!main_ || main_->model != &w || !main_->frame) return;
  main_->frame->setWindowTitle(toQ(w.title()));
  if (main_->fixedMessage) main_->fixedMessage->setText(toQ(w.messageBarText()));
  if (w.closed() && main_->loop) main_->loop->quit();
}

void QtToolkit::playSound(const std::string& file) {
  // Look the file up in the data directory (any letter case); play it with the
  // system's player in the background. No player or no file: silence.
  QDir d(toQ(dataDir()));
  QString wanted = toQ(file), found;
  for (const QString& e : d.entryList(QDir::Files)) {
    if (e.compare(wanted, Qt::CaseInsensitive) == 0) found = d.filePath(e);
  }
  if (found.isEmpty()) return;
  for (const char* player : {"aplay", "paplay", "pw-play"}) {
    QString exe = QStandardPaths::findExecutable(QLatin1String(player));
    if (exe.isEmpty()) continue;
    QStringList args;
    if (QLatin1String(player) == QLatin1String("aplay")) args << QStringLiteral("-q");
    args << found;
    QProcess::startDetached(exe, args);
    return;
  }
}

}  // namespace planilla::ui::qt
