// The Qt backend under the offscreen platform: pictures as the operator types, the
// focus rule of validations, message boxes and the lazy browse.
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolButton>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

#include "ui/dialogs.h"
#include "ui/qt/qt_dialog.h"
#include "ui/qt/qt_toolkit.h"
#include "ui/tests/fake_table.h"

// The system's font library keeps a cache for the life of the process; LeakSanitizer
// (sanitizer builds) should not count it against the toolkit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace planilla::ui::qt {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "qtui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* a = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *a;
}

DialogHost* host() { return qobject_cast<DialogHost*>(QApplication::activeModalWidget()); }

template <class W>
W* widget(Dialog& dlg, int id) {
  DialogHost* h = host();
  if (!h) return nullptr;
  return qobject_cast<W*>(h->widgetOf(dlg.control(id)));
}

// Runs `steps` once the dialog is on screen; ends the dialog if the steps did not.
void activateWith(Dialog& dlg, std::function<void()> steps) {
  dlg.activate([&dlg, steps] {
    QTimer::singleShot(0, [&dlg, steps] {
      QTest::qWait(20);
      steps();
      if (!dlg.ended()) dlg.end();
    });
  });
}

TEST(QtPicture, UpperCaseAsYouType) {
  app();
  QtToolkit tk;
  std::string user = "    ";
  Dialog dlg(tk, "ACCESO1", "Sistema Varmond");
  dlg.field(105, ref(user)).picture("@!").colors(color::kNavy, color::kCyan);
  bool pressed = false;
  dlg.button(301, [&] {
    pressed = true;
    dlg.end();
  });
  QString shown;
  activateWith(dlg, [&] {
    auto* e = widget<QLineEdit>(dlg, 105);
    ASSERT_NE(e, nullptr);
    e->setFocus();
    QTest::keyClicks(e, "abc");
    shown = e->text();
    EXPECT_EQ(e->palette().color(QPalette::Base), QColor(0, 255, 255));
    QTest::mouseClick(widget<QPushButton>(dlg, 301), Qt::LeftButton);
  });
  EXPECT_EQ(shown, "ABC");
  EXPECT_TRUE(pressed);
  EXPECT_EQ(user, "ABC ");
}

TEST(QtPicture, NumberMaskRightAlignedWithGrouping) {
  app();
  QtToolkit tk;
  double ceiling = 1234.5, typed = 0;
  Dialog dlg(tk, "EDITAFPS", "Adicionar Registro");
  dlg.field(120, ref(ceiling)).picture("###,###.##");
  dlg.field(114, ref(typed)).picture("###,###.##");
  dlg.button(301, [&] { dlg.end(); });
  QString shown, afterTyping, refused;
  Qt::Alignment align;
  activateWith(dlg, [&] {
    auto* e = widget<QLineEdit>(dlg, 120);
    ASSERT_NE(e, nullptr);
    shown = e->text();
    align = e->alignment();
    auto* t = widget<QLineEdit>(dlg, 114);
    t->setFocus();
    t->selectAll();
    QTest::keyClicks(t, "1234567.891");  // the seventh digit and the third decimal are refused
    refused = t->text();
    t->selectAll();
    QTest::keyClicks(t, "9876.5");
    QTest::keyClick(t, Qt::Key_Tab);
    QTest::qWait(20);
    afterTyping = t->text();
  });
  EXPECT_EQ(shown, "  1,234.50");
  EXPECT_TRUE(align & Qt::AlignRight);
  EXPECT_EQ(refused, "123456.89");
  EXPECT_EQ(afterTyping, "  9,876.50");
  EXPECT_DOUBLE_EQ(typed, 9876.5);
}

TEST(QtPicture, DatesDayMonthYear) {
  app();
  QtToolkit tk;
  Date d(2016, 3, 15), typed;
  Dialog dlg(tk, "ELEGIRCIA", "Elija Compa\xF1ia");
  dlg.field(104, ref(d)).picture("@e");
  std::string code = "  ";
  dlg.field(102, ref(code)).picture("@!");
  QString shown;
  activateWith(dlg, [&] {
    auto* e = widget<QLineEdit>(dlg, 104);
    shown = e->displayText();
    e->setFocus();
    QTest::qWait(10);
    e->selectAll();
    QTest::keyClicks(e, "01012017");
    widget<QLineEdit>(dlg, 102)->setFocus();
    QTest::qWait(20);
    typed = d;
  });
  EXPECT_EQ(shown, "15/03/2016");
  EXPECT_EQ(typed, Date(2017, 1, 1));
  EXPECT_EQ(QString::fromUtf8("Elija Compañia"), toQ("Elija Compa\xF1ia"));
}

TEST(QtFocus, FalseValidationKeepsTheFocus) {
  app();
  QtToolkit tk;
  std::string code = "    ", name = std::string(20, ' ');
  int refusals = 0;
  bool accepted = false;
  Dialog dlg(tk, "EDITBANCO", "Adicionar Registro");
  dlg.field(102, ref(code)).picture("@!").valid([&] {
    if (code == "    ") {
      ++refusals;
      return false;
    }
    return true;
  });
  dlg.field(104, ref(name));
  dlg.button(301, [&] {
    accepted = true;
    dlg.end();
  });
  QWidget *afterTab = nullptr, *afterClick = nullptr, *codeEdit = nullptr, *finalFocus = nullptr;
  Control* modelFocus = nullptr;
  activateWith(dlg, [&] {
    auto* e = widget<QLineEdit>(dlg, 102);
    codeEdit = e;
    e->setFocus();
    QTest::qWait(10);
    QTest::keyClick(e, Qt::Key_Tab);
    QTest::qWait(30);
    afterTab = QApplication::focusWidget();
    widget<QLineEdit>(dlg, 104)->setFocus(Qt::MouseFocusReason);
    QTest::qWait(30);
    afterClick = QApplication::focusWidget();
    modelFocus = dlg.focus();
    QTest::mouseClick(widget<QPushButton>(dlg, 301), Qt::LeftButton);  // refused too
    QTest::qWait(10);
    QTest::keyClicks(e, "bn");
    QTest::keyClick(e, Qt::Key_Return);  // Enter moves on like Tab
    QTest::qWait(30);
    finalFocus = QApplication::focusWidget();
    QTest::mouseClick(widget<QPushButton>(dlg, 301), Qt::LeftButton);
  });
  EXPECT_EQ(afterTab, codeEdit);
  EXPECT_EQ(afterClick, codeEdit);
  EXPECT_EQ(modelFocus, dlg.control(102));
  EXPECT_EQ(refusals, 3);
  EXPECT_NE(finalFocus, codeEdit);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(code, "BN  ");
}

TEST(QtFocus, EscapeClosesWithoutValidation) {
  app();
  QtToolkit tk;
  std::string code = "    ";
  int validations = 0;
  Dialog dlg(tk, "EDITBANCO", "x");
  dlg.field(102, ref(code)).valid([&] {
    ++validations;
    return false;
  });
  dlg.activate([&] {
    QTimer::singleShot(20, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
  });
  EXPECT_TRUE(dlg.ended());
  EXPECT_EQ(validations, 0);
}

TEST(QtMessages, YesNoClosedIsNoAndTitles) {
  app();
  QtToolkit tk;
  QString title;
  QTimer::singleShot(30, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    box->reject();  // the close box / Escape
  });
  EXPECT_FALSE(MSGYESNO(tk, "Esta Seguro?"));
  EXPECT_EQ(title, "Select an option");
  QTimer::singleShot(30, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    for (auto* b : box->buttons()) {
      if (b->text() == QString::fromUtf8("&Sí")) b->click();
    }
  });
  EXPECT_TRUE(MSGYESNO(tk, "Esta Seguro?", "Mensaje"));
  EXPECT_EQ(title, "Mensaje");
}

// Enter answers the default button: Yes for MSGYESNO, No for MSGNOYES (a step that is
// hard to undo).
TEST(QtMessages, EnterTakesTheDefaultAnswer) {
  app();
  QtToolkit tk;
  auto pressEnter = [] {
    QTimer::singleShot(30, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      QTest::keyClick(box, Qt::Key_Return);
    });
  };
  pressEnter();
  EXPECT_TRUE(MSGYESNO(tk, "Esta Seguro?", "Mensaje"));
  pressEnter();
  EXPECT_FALSE(MSGNOYES(tk, "Cambia El Permiso ?", "Mensaje"));
}

TEST(QtInputBox, CancelLeavesTheVariable) {
  app();
  QtToolkit tk;
  std::string code = "0001";
  QTimer::singleShot(30, [] {
    auto* w = QApplication::activeModalWidget();
    ASSERT_NE(w, nullptr);
    if (auto* e = w->findChild<QLineEdit*>()) QTest::keyClicks(e, "99");
    for (auto* b : w->findChildren<QPushButton*>()) {
      if (b->text() == "&Cancelar") b->click();
    }
  });
  EXPECT_FALSE(MSGGET(tk, "Buscar", "Codigo ", code, "lupa.bmp"));
  EXPECT_EQ(code, "0001");
}

TEST(QtBrowse, LargeTableOpensLazily) {
  app();
  testing::FakeTable t({{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}});
  for (int i = 0; i < 100000; ++i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06d", i);
    t.add({buf, "EMPLEADO"});
  }
  ASSERT_TRUE(t.goTop().isOk());
  t.moves = 0;
  QtToolkit tk;
  Dialog dlg(tk, "MANTE02", "Maestro De Bancos");
  Browse& b = dlg.browse(101, t)
                  .headers({"CODIGO", "DESCRIPCION"})
                  .widths({100, 300})
                  .columnMoving(false)
                  .wholeRowCursor(true)
                  .line([&] { return std::vector<std::string>{t.str("CODIGO"), t.str("NOMBRE")}; });
  int rows = 0;
  long moves = 0;
  QString cell, picked;
  activateWith(dlg, [&] {
    auto* tv = widget<QTableView>(dlg, 101);
    ASSERT_NE(tv, nullptr);
    rows = tv->model()->rowCount();
    cell = tv->model()->index(0, 0).data().toString();
    moves = t.moves;
    tv->setFocus();
    QTest::qWait(10);
    QTest::keyClick(tv->viewport(), Qt::Key_Down);
    QTest::keyClick(tv->viewport(), Qt::Key_Down);
    QTest::qWait(10);
    picked = toQ(t.str("CODIGO"));
    tv->scrollToBottom();
    QTest::qWait(10);
  });
  EXPECT_EQ(rows, 100000);
  EXPECT_EQ(cell, "000000");
  EXPECT_LT(moves, 2000);
  EXPECT_EQ(picked, "000002");
  EXPECT_FALSE(b.canMoveColumns());
}

TEST(QtInputBox, OneEnterIsOk) {
  app();
  QtToolkit tk;
  std::string code = "    ";
  QTimer::singleShot(30, [] {
    auto* w = QApplication::activeModalWidget();
    ASSERT_NE(w, nullptr);
    auto* e = w->findChild<QLineEdit*>();
    ASSERT_NE(e, nullptr);
    QTest::keyClicks(e, "b2");
    QTest::keyClick(e, Qt::Key_Return);  // the only input: Enter presses "&Aceptar"
  });
  EXPECT_TRUE(MSGGET(tk, "Buscar", "Codigo ", code, "lupa.bmp", "@!"));
  EXPECT_EQ(code, "B2  ");
}

TEST(QtSize, FormsAndListsFitTheScreen) {
  app();
  QtToolkit tk;
  const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
  // The largest form: taller than the offscreen screen at the dialog font, so it is
  // held to the screen and scrolls.
  {
    Dialog dlg(tk, "EDITPORCE", "Datos");
    QSize shown, natural;
    activateWith(dlg, [&] {
      shown = host()->size();
      natural = QSize(static_cast<int>(dlg.width() * QtToolkit::unitX()), static_cast<int>(dlg.height() * QtToolkit::unitY()));
    });
    EXPECT_LE(shown.height(), avail.height());
    EXPECT_LE(shown.width(), avail.width());
    if (natural.height() > avail.height()) {
      EXPECT_LT(shown.height(), natural.height());
    }
  }
  // A list of seven columns wider than its template (and narrower than the 800 pixels
  // of the offscreen screen): the list grows until every
  // column and the scroll bar show (no sideways scrolling), and may be resized.
  testing::FakeTable t({{"CODIGO", 'C', 6, 0}});
  for (int i = 0; i < 60; ++i) t.add({"AFP" + std::to_string(i)});
  ASSERT_TRUE(t.goTop().isOk());
  Dialog dlg(tk, "MANTE02", "Maestro");
  dlg.browse(101, t)
      .headers({"MES", "CODIGO", "DESCRIPCION", "APORTE", "PRIMA", "COMIS.", "TOPE"})
      .widths({50, 60, 200, 65, 60, 60, 90})
      .line([&] { return std::vector<std::string>{"ENER", t.str("CODIGO"), "X", "1.00", "1.00", "1.00", "9.00"}; });
  int sideways = -1;
  bool resizable = false;
  QSize before, after;
  activateWith(dlg, [&] {
    auto* tv = widget<QTableView>(dlg, 101);
    ASSERT_NE(tv, nullptr);
    QTest::qWait(10);
    sideways = tv->horizontalScrollBar()->maximum();
    resizable = host()->minimumSize() != host()->maximumSize();
    before = tv->size();
    host()->resize(host()->width() + 40, host()->height() + 30);
    QTest::qWait(10);
    after = tv->size();
  });
  EXPECT_EQ(sideways, 0);
  EXPECT_TRUE(resizable);
  EXPECT_EQ(after.width() - before.width(), 40);  // the list takes the room
  EXPECT_EQ(after.height() - before.height(), 30);
}

TEST(QtBrowse, ListKeysAndAcceleratorsReachTheBar) {
  app();
  QtToolkit tk;
  testing::FakeTable t({{"CODIGO", 'C', 6, 0}});
  for (const char* c : {"A1", "B2", "C3"}) t.add({c});
  ASSERT_TRUE(t.goTop().isOk());
  Dialog dlg(tk, "MANTE02", "Maestro");
  dlg.browse(101, t).headers({"CODIGO"}).widths({100}).line([&] { return std::vector<std::string>{t.str("CODIGO")}; });
  std::string done;
  dlg.activate([&] {
    dlg.barButton("add.bmp", "Adiciona Registro", [&] { done += "A"; });
    dlg.barButton("modify.bmp", "Modifica Registro", [&] { done += "M"; });
    dlg.barButton("buscar10.bmp", "Buscar Registro", [&] { done += "B"; });
    dlg.barButton("borrar.bmp", "Elimina Registro", [&] { done += "E"; });
    dlg.barButton("exit10.bmp", "Salir", [&] { dlg.end(); });
    QTimer::singleShot(0, [&] {
      QTest::qWait(20);
      auto* tv = widget<QTableView>(dlg, 101);
      ASSERT_NE(tv, nullptr);
      tv->setFocus();
      QTest::qWait(10);
      QTest::keyClick(tv, Qt::Key_Insert);
      QTest::keyClick(tv, Qt::Key_Return);
      QTest::keyClick(tv, Qt::Key_Delete);
      QTest::keyClick(tv, Qt::Key_F3);
      QTest::keyClick(tv, Qt::Key_M, Qt::AltModifier);
      // Tab from the list goes round to the first bar button, which takes the focus.
      QTest::keyClick(tv, Qt::Key_Tab);
      QTest::qWait(10);
      done += qobject_cast<QToolButton*>(QApplication::focusWidget()) ? "T" : "-";
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      QTest::qWait(10);
      if (!dlg.ended()) dlg.end();
    });
  });
  EXPECT_EQ(done, "AMEBMT");
}

TEST(QtImages, BuiltInWhenTheDataDirectoryLacksThem) {
  app();
  QPixmap p = findImage("/nonexistent-dir", "check1.bmp", 24, 24);
  EXPECT_FALSE(p.isNull());
  EXPECT_EQ(p.size(), QSize(24, 24));
  QImage img = p.toImage();
  bool painted = false;
  for (int y = 0; y < 24 && !painted; ++y) {
    for (int x = 0; x < 24; ++x) painted = painted || qAlpha(img.pixel(x, y)) > 0;
  }
  EXPECT_TRUE(painted);
}

}  // namespace
}  // namespace planilla::ui::qt

namespace planilla::ui::qt {
namespace {

TEST(QtFocus, RefusalWithAMessageAsksOnce) {
  app();
  QtToolkit tk;
  std::string code = "    ", name = "    ";
  int refusals = 0;
  Dialog dlg(tk, "EDITBANCO", "Adicionar Registro");
  dlg.field(102, ref(code)).valid([&] {
    ++refusals;
    MSGSTOP(tk, "Campo En Blanco", "Mensaje");
    return false;
  });
  dlg.field(104, ref(name));
  // Closes every message box that shows up, as the operator would.
  QTimer closer;
  int boxes = 0;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      ++boxes;
      box->accept();
    }
  });
  closer.start(15);
  QWidget *codeEdit = nullptr, *after = nullptr;
  activateWith(dlg, [&] {
    auto* e = widget<QLineEdit>(dlg, 102);
    codeEdit = e;
    e->setFocus();
    QTest::qWait(10);
    QTest::keyClick(e, Qt::Key_Tab);
    QTest::qWait(150);
    after = e->window()->focusWidget();  // the dialog's focus (the platform may not reactivate it)
  });
  closer.stop();
  EXPECT_EQ(refusals, 1);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(after, codeEdit);
}

}  // namespace
}  // namespace planilla::ui::qt

namespace planilla::ui::qt {
namespace {

TEST(QtLookup, TypingSearchesTheList) {
  app();
  testing::FakeTable t({{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}});
  t.add({"000001", "ANA"});
  t.add({"000002", "JUAN"});
  t.add({"000003", "JULIA"});
  t.add({"000004", "PEDRO"});
  t.orderBy("NOMBRE");
  ASSERT_TRUE(t.goTop().isOk());
  QtToolkit tk;
  LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Empleados)";
  std::string code = "      ";
  std::string afterJu, afterJul;
  int selectedRow = -1;
  QTimer::singleShot(30, [&] {
    auto* w = QApplication::activeModalWidget();
    ASSERT_NE(w, nullptr);
    auto* e = w->findChild<QLineEdit*>();
    ASSERT_NE(e, nullptr);
    e->setFocus();
    QTest::keyClicks(e, "ju");
    afterJu = t.str("NOMBRE").substr(0, 4);
    QTest::keyClicks(e, "l");
    afterJul = t.str("NOMBRE").substr(0, 5);
    QTest::qWait(10);
    auto* tv = w->findChild<QTableView*>();
    selectedRow = tv->currentIndex().row();
    for (auto* b : w->findChildren<QPushButton*>()) {
      if (b->text() == "&Selecciona") b->click();
    }
  });
  EXPECT_TRUE(lookupList(tk, t, o, &code));
  EXPECT_EQ(afterJu, "JUAN");
  EXPECT_EQ(afterJul, "JULIA");
  EXPECT_EQ(selectedRow, 2);
  EXPECT_EQ(code, "000003");
}

TEST(QtMainWindow, MenuBarAndButtons) {
  app();
  QtToolkit tk;
  MainWindow w(tk);
  int chosen = 0, pressed = 0;
  w.setTitle("Sistema De Planilla (Varmond)");
  w.beginMenu("&Fecha", "Permite Elegir Fecha De Trabajo");
  w.add("&Elegir Fecha De Trabajo", "Permite Elegir La Fecha De Trabajo", [&] { ++chosen; }, "F14.bmp");
  w.add("Inerte", "sin accion");
  w.endMenu();
  w.add("&Salir", "Salir Del Sistema", [&] { w.close(); });
  w.addBarButton({"A1.bmp", "", "Permite Adicionar", "Maestro Trabajadores Activos", true, [&] { ++pressed; }});
  w.setMessageBar("Planilla");
  QString title, tip, status;
  QStringList menus;
  QTimer::singleShot(30, [&] {
    auto* frame = qobject_cast<QMainWindow*>(QApplication::activeWindow());
    if (!frame) {
      for (QWidget* tl : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<QMainWindow*>(tl); m && m->isVisible()) frame = m;
      }
    }
    ASSERT_NE(frame, nullptr);
    title = frame->windowTitle();
    for (QAction* a : frame->menuBar()->actions()) menus << a->text();
    QMenu* fecha = frame->menuBar()->actions().at(0)->menu();
    ASSERT_NE(fecha, nullptr);
    for (QAction* a : fecha->actions()) {
      a->trigger();  // the inert entry does nothing
      if (a->text() == "&Elegir Fecha De Trabajo") status = a->statusTip();
    }
    QToolButton* tb = nullptr;
    for (auto* b : frame->findChildren<QToolButton*>()) {
      if (!b->toolTip().isEmpty()) tb = b;  // not the tool bar's own extension button
    }
    ASSERT_NE(tb, nullptr);
    tip = tb->toolTip();
    tb->click();
    w.setTitle("01 EMPRESA");
    title += "|" + frame->windowTitle();
    frame->menuBar()->actions().at(1)->trigger();  // &Salir
  });
  w.run();
  EXPECT_TRUE(w.closed());
  EXPECT_EQ(title, "Sistema De Planilla (Varmond)|01 EMPRESA");
  EXPECT_EQ(menus, (QStringList{"&Fecha", "&Salir"}));
  EXPECT_EQ(status, "Permite Elegir La Fecha De Trabajo");
  EXPECT_EQ(tip, "Maestro Trabajadores Activos");
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(pressed, 1);
}

TEST(QtMainWindow, SharedAcceleratorSelectsAndEnterRuns) {
  app();
  QtToolkit tk;
  MainWindow w(tk);
  int sueldos = 0;
  w.add("&Sueldo Detallados", "Consulta", [&] { ++sueldos; });
  w.add("&Salir", "Salir Del Sistema", [&] { w.close(); });
  QString first, second;
  bool openAfterTwo = false;
  QTimer::singleShot(30, [&] {
    QMainWindow* frame = nullptr;
    for (QWidget* tl : QApplication::topLevelWidgets()) {
      if (auto* m = qobject_cast<QMainWindow*>(tl); m && m->isVisible()) frame = m;
    }
    ASSERT_NE(frame, nullptr);
    frame->activateWindow();
    QTest::qWait(20);
    QMenuBar* bar = frame->menuBar();
    // Alt+S twice: each press selects the next entry of the letter; none runs.
    QTest::keyClick(frame, Qt::Key_S, Qt::AltModifier);
    QTest::qWait(10);
    first = bar->activeAction() ? bar->activeAction()->text() : QString();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : frame, Qt::Key_S, Qt::AltModifier);
    QTest::qWait(10);
    second = bar->activeAction() ? bar->activeAction()->text() : QString();
    openAfterTwo = !w.closed();
    QTest::keyClick(bar, Qt::Key_Return);  // Enter runs the selected one: Salir
    QTest::qWait(10);
    if (!w.closed()) w.close();
  });
  w.run();
  EXPECT_EQ(first, "&Sueldo Detallados");
  EXPECT_EQ(second, "&Salir");
  EXPECT_TRUE(openAfterTwo);
  EXPECT_EQ(sueldos, 0);
  EXPECT_TRUE(w.closed());
}

}  // namespace
}  // namespace planilla::ui::qt

namespace planilla::ui::qt {
namespace {

TEST(QtFocus, EndOfARunGivesTheKeyboardBackToTheMainWindow) {
  // A run as the payroll's: "Fin De Proceso" over the progress window, then its
  // dialog ends. The main window takes keys again: Alt+S reaches "&Salir".
  app();
  QtToolkit tk;
  MainWindow w(tk);
  w.beginMenu("&Procesos", "");
  w.add("Calculo", "", [&] {
    Dialog dlg(tk, "CALCU01", "Calculo De Planilla");
    dlg.button(201, [&] {
      Busy busy(tk, "Calculo De Planilla", "Empleados", 1);
      MSGINFO(tk, "Fin De Proceso", "Mensaje");
      dlg.end();
    });
    dlg.activate();
  });
  w.endMenu();
  w.add("&Salir", "", [&] { w.close(); });
  QTimer op;  // the operator: presses "&Procesar" (from the event loop), accepts the box
  QObject::connect(&op, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    if (auto* h = host(); h && !h->property("pressed").toBool()) {
      h->setProperty("pressed", true);
      QTimer::singleShot(0, h->widgetOf(h->model().control(201)), [h] {
        qobject_cast<QPushButton*>(h->widgetOf(h->model().control(201)))->click();
      });
    }
  });
  op.start(15);
  bool active = false, closedByKey = false;
  QTimer::singleShot(30, [&] {
    QMainWindow* frame = nullptr;
    for (QWidget* tl : QApplication::topLevelWidgets())
      if (tl->isVisible() && !frame) frame = qobject_cast<QMainWindow*>(tl);
    frame->menuBar()->actions().at(0)->menu()->actions().at(0)->trigger();  // returns when the run ends
    QTest::qWait(30);
    active = QApplication::activeWindow() == frame;
    if (QWidget* keys = QApplication::activeWindow()) QTest::keyClick(keys, Qt::Key_S, Qt::AltModifier);
    QTest::qWait(20);
    closedByKey = w.closed();
    w.close();
  });
  w.run();
  EXPECT_TRUE(active);
  EXPECT_TRUE(closedByKey);
}

TEST(QtFocus, AFocusMoveOfTheScreenIsNotTheOperatorLeaving) {
  // As the employee form: choosing "No Ingresar Dato" sends the focus to the currency.
  // Down on the first radio button chooses the second, and Qt then moves its focus to
  // that button: not the operator leaving the blank currency, which he does with Tab.
  app();
  QtToolkit tk;
  int control = 1, validations = 0;
  std::string currency = " ";
  Dialog dlg(tk, "EDITEMPLE", "Adicionar Registro");
  dlg.radio({181, 182}, ref(control)).onChange([&] { dlg.fieldById(144)->setFocus(); });
  dlg.field(144, ref(currency)).valid([&] { return ++validations, currency != " "; });
  int afterDown = -1;
  QWidget *edit = nullptr, *focusAfterDown = nullptr;
  activateWith(dlg, [&] {
    QWidget* first = host()->widgetOf(dlg.control(181));
    edit = widget<QLineEdit>(dlg, 144);
    first->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    QTest::keyClick(first, Qt::Key_Down);
    QTest::qWait(40);
    afterDown = validations;
    focusAfterDown = first->window()->focusWidget();
    QTest::keyClick(edit, Qt::Key_Tab);
    QTest::qWait(40);
  });
  EXPECT_EQ(control, 2);
  EXPECT_EQ(afterDown, 0);
  EXPECT_EQ(focusAfterDown, edit);
  EXPECT_EQ(validations, 1);
}

TEST(QtMnemonics, ASharedLetterPressesTheFocusedButton) {
  // "&Buscar" and "&Bisiesto" share B: from the list Alt+B goes to "&Buscar" without
  // pressing it; on a button of that letter Alt+B presses it.
  app();
  QtToolkit tk;
  testing::FakeTable t({{"CODIGO", 'C', 6, 0}});
  Dialog dlg(tk, "MANTEP03", "Empleados Activos");
  dlg.browse(101, t).headers({"CODIGO"}).widths({60}).line([&] { return std::vector<std::string>{"X"}; });
  std::string done;
  dlg.button(104, [&] { done += "B"; });
  dlg.button(109, [&] { done += "I"; });
  activateWith(dlg, [&] {
    widget<QTableView>(dlg, 101)->setFocus();
    for (int i = 0; i < 3; ++i) {
      if (i == 2) widget<QPushButton>(dlg, 109)->setFocus(Qt::TabFocusReason);
      QTest::qWait(20);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::AltModifier);
      QTest::qWait(20);
      done += i == 0 && QApplication::focusWidget() == widget<QPushButton>(dlg, 104) ? "f" : "";
    }
  });
  EXPECT_EQ(done, "fBI");
}

TEST(QtSize, ADialogPlacedByItsOpenerStaysOnTheScreen) {
  // The active employees' list opens at its opener's top left, not centred; as wide
  // as the screen (at 200%), it must not run past the screen's edge.
  app();
  QtToolkit tk;
  const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget opener;
  opener.setGeometry(avail);
  opener.show();
  QTest::qWait(20);
  testing::FakeTable t({{"CODIGO", 'C', 6, 0}});
  Dialog dlg(tk, "MANTEP03", "Empleados Activos");
  dlg.browse(101, t).headers(std::vector<std::string>(10, "COLUMNA")).widths({50, 230, 200, 60, 36, 38, 40, 40, 40, 40});
  dlg.button(110, [&] { dlg.end(); });
  QRect shown, salir;
  int room = 0;
  dlg.activate([&] {
    QTimer::singleShot(10, [&] {
      shown = host()->geometry();
      QWidget* b = host()->widgetOf(dlg.control(110));
      salir = b->geometry(), room = b->parentWidget()->width();  // the form scrolls to it
      dlg.end();
    });
  }, false);
  EXPECT_TRUE(avail.contains(shown)) << shown.x() << " + " << shown.width();
  EXPECT_GT(shown.width(), avail.width() / 2);
  EXPECT_LE(salir.right(), room);
}

TEST(QtTexts, TitlesPrintDialogAndPrinterIcon) {
  app();
  EXPECT_EQ(titleText("Datos De &Liquidacion CTS"), "Datos De Liquidacion CTS");
  EXPECT_EQ(titleText("Sueldos && Salarios &"), "Sueldos & Salarios ");
  // The page range of Qt's print dialog, which the system's catalogue leaves in English.
  if (auto spanish = installSpanish()) {
    EXPECT_EQ(QCoreApplication::translate("QPrintSettingsOutput", "Pages"), QString::fromUtf8("P\u00e1ginas"));
    EXPECT_EQ(QCoreApplication::translate("QPrintSettingsOutput", "Pages from"), QString::fromUtf8("P\u00e1ginas desde"));
    QCoreApplication::removeTranslator(spanish.get());
  }
  // The print buttons name "printer": the printer is drawn, not a letter.
  EXPECT_EQ(findImage("/nonexistent", "printer", 24, 24).toImage(), findImage("/nonexistent", "print1", 24, 24).toImage());
}

}  // namespace
}  // namespace planilla::ui::qt
