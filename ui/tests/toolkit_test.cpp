#include "ui/toolkit.h"

#include <gtest/gtest.h>

#include "ui/dialogs.h"
#include "ui/scripted.h"
#include "ui/tests/fake_table.h"

namespace planilla::ui {
namespace {

using planilla::testing::FakeTable;

// A screen written the way the system's screens are: a code field validated when
// left, a name field, a currency combo, accept and cancel.
struct BankForm {
  std::string code = std::string(10, ' ');
  std::string name = std::string(50, ' ');
  std::string currency = std::string(6, ' ');
  bool accepted = false;
  int validations = 0;

  void run(Toolkit& tk) {
    Dialog dlg(tk, "EditBanco", "Adicionar Registro");
    dlg.label(101).colors(color::kNavy, color::kScreen);
    dlg.field(102, ref(code)).picture("@!").tooltip("Ingrese Codigo").valid([&] {
      ++validations;
      if (code == std::string(10, ' ')) {
        MSGSTOP(tk, "Campo En Blanco", "Mensaje");
        return false;
      }
      if (code.compare(0, 4, "0001") == 0) {
        MSGSTOP(tk, "Dato  Existe", "Mensaje");
        return false;
      }
      return true;
    });
    dlg.field(104, ref(name)).picture("@!");
    dlg.combo(106, ref(currency), {"Soles ", "Dolar "});
    dlg.bitmapButton(301, "save1.bmp", [&] {
      accepted = true;
      dlg.end();
    });
    dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); });
    dlg.activate();
  }
};

TEST(ScriptedDialog, TypingUpperCasesAndAcceptStoresVariables) {
  ScriptedToolkit tk;
  tk.expectDialog("EDITBANCO", "Adicionar Registro")
      .type(102, "bcp")
      .expectText(102, "BCP")
      .type(104, "banco de cr\xE9" "dito")
      .choose(106, "Dolar")
      .press(301);
  BankForm f;
  f.run(tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(f.accepted);
  EXPECT_EQ(f.code, "BCP       ");
  EXPECT_EQ(f.name, "BANCO DE CR\xC9" "DITO" + std::string(34, ' '));
  EXPECT_EQ(f.currency, "Dolar ");
  ASSERT_EQ(tk.dialogs().size(), 1u);
  EXPECT_EQ(tk.dialogs()[0].templateName, "EDITBANCO");
}

TEST(ScriptedDialog, FalseValidationKeepsFocusAndBlocksTheButton) {
  ScriptedToolkit tk;
  tk.expectDialog("EditBanco")
      .type(102, "")
      .leave(102)
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Mensaje")
      .expectFocus(102)
      .type(102, "0001")
      .press(301)  // leaving the field refuses again: the button does nothing
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "0002")
      .leave()
      .expectFocus(104)
      .press(301);
  BankForm f;
  f.run(tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(f.accepted);
  EXPECT_EQ(f.code, "0002      ");
  EXPECT_EQ(f.validations, 3);
}

TEST(ScriptedDialog, MovingToAnotherFieldPastARefusalIsAFailedStep) {
  ScriptedToolkit tk;
  tk.expectDialog("EditBanco")
      .type(102, "")
      .type(104, "X")  // the operator cannot get there: 102 refuses
      .expectMessage(MsgKind::Stop, "Campo En Blanco", "Mensaje")
      .close();
  BankForm f;
  f.run(tk);
  ASSERT_EQ(tk.failures().size(), 1u) << tk.report();
  EXPECT_NE(tk.failures()[0].find("retuvo el foco"), std::string::npos) << tk.report();
}

TEST(ScriptedDialog, CancelAndCloseSkipValidation) {
  for (bool useClose : {false, true}) {
    ScriptedToolkit tk;
    tk.expectDialog("EditBanco").type(102, "");
    if (useClose) tk.close();
    else tk.press(302);
    BankForm f;
    f.run(tk);
    EXPECT_TRUE(tk.ok()) << tk.report();
    EXPECT_FALSE(f.accepted);
    EXPECT_EQ(f.validations, 0);
  }
}

TEST(ScriptedDialog, UnexpectedDialogMessageAndLeftoverStepsFail) {
  {
    ScriptedToolkit tk;  // nothing expected
    BankForm f;
    f.run(tk);
    ASSERT_EQ(tk.failures().size(), 1u);
    EXPECT_NE(tk.failures()[0].find("dialogo inesperado"), std::string::npos);
    EXPECT_FALSE(tk.ok());
  }
  {
    ScriptedToolkit tk;
    tk.expectDialog("EditBanco").type(102, "").leave().close();  // message not expected
    BankForm f;
    f.run(tk);
    EXPECT_FALSE(tk.ok());
    EXPECT_NE(tk.report().find("mensaje inesperado"), std::string::npos) << tk.report();
    ASSERT_EQ(tk.messagesShown().size(), 1u);
    EXPECT_EQ(tk.messagesShown()[0].text, "Campo En Blanco");
  }
  {
    ScriptedToolkit tk;
    tk.expectDialog("EditNacion");  // wrong template
    tk.close();
    BankForm f;
    f.run(tk);
    EXPECT_FALSE(tk.ok());
  }
  {
    ScriptedToolkit tk;
    tk.expectDialog("EditBanco").press(999);  // no such button, then steps run out
    BankForm f;
    f.run(tk);
    EXPECT_EQ(tk.failures().size(), 2u) << tk.report();
  }
  {
    ScriptedToolkit tk;
    tk.expectDialog("EditBanco").press(302).press(301);  // one step too many
    BankForm f;
    f.run(tk);
    EXPECT_TRUE(tk.failures().empty());
    EXPECT_EQ(tk.pending(), 1u);
    EXPECT_FALSE(tk.ok());
  }
}

TEST(ScriptedDialog, BindingAnIdentifierTheTemplateLacksIsReported) {
  ScriptedToolkit tk;
  tk.expectDialog("EditNacion").close();
  std::string code = "  ", extra = "  ";
  Dialog dlg(tk, "EditNacion", "Adicionar Registro");
  dlg.field(102, ref(code));
  dlg.field(106, ref(extra));  // EDITNACION has no currency combo
  ASSERT_EQ(dlg.errors().size(), 1u);
  EXPECT_NE(dlg.errors()[0].find("106"), std::string::npos);
  dlg.activate();
  ASSERT_EQ(tk.failures().size(), 1u);
  EXPECT_NE(tk.failures()[0].find("106"), std::string::npos);

  // Binding an identifier twice is a screen error too.
  Dialog twice(tk, "EditNacion", "x");
  Label& first = twice.label(101);
  twice.label(101);
  EXPECT_EQ(twice.errors().size(), 1u);
  EXPECT_EQ(twice.labelById(101), &first);

  ScriptedToolkit tk2;
  tk2.expectDialog("NoSuchTemplate").close();
  Dialog missing(tk2, "NoSuchTemplate", "x");
  missing.activate();
  EXPECT_EQ(tk2.failures().size(), 1u) << tk2.report();
}

TEST(ScriptedDialog, WhenReadOnlyAndNumbers) {
  ScriptedToolkit tk;
  double amount = 0, rate = 3.5;
  std::string locked = "88";
  bool allow = false;
  tk.expectDialog("EditCamb")
      .type(104, "05")    // read-only: cannot be typed
      .type(106, "1234")  // does not fit "###.###"
      .type(106, "123.4567")
      .type(106, "-12.5")
      .expectText(106, "-12.5")
      .leave()
      .expectText(106, "-12.500")
      .type(108, "1")     // "when" false
      .inspect([&](Dialog&) { allow = true; })
      .type(108, "2.25")
      .press(301);
  Dialog dlg(tk, "EditCamb", "Adicionar Registro");
  dlg.field(104, ref(locked)).readOnly();
  dlg.field(106, ref(amount)).picture("###.###");
  dlg.field(108, ref(rate)).picture("###.###").when([&] { return allow; });
  dlg.button(301, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_EQ(tk.failures().size(), 4u) << tk.report();
  EXPECT_EQ(tk.pending(), 0u);
  EXPECT_DOUBLE_EQ(amount, -12.5);
  EXPECT_DOUBLE_EQ(rate, 2.25);
  EXPECT_EQ(locked, "88");
}

TEST(ScriptedDialog, NumberFieldShowsMaskRightAligned) {
  ScriptedToolkit tk;
  double v = 1234.5;
  tk.expectDialog("EditAfps").expectText(120, "  1,234.50").type(120, "1234567").type(120, "999999.99").leave().close();
  Dialog dlg(tk, "EditAfps", "t");
  Field& f = dlg.field(120, ref(v)).picture("###,###.##");
  EXPECT_EQ(f.width(), 10);
  dlg.activate();
  EXPECT_EQ(tk.failures().size(), 1u) << tk.report();  // seven integer digits refused
  EXPECT_DOUBLE_EQ(v, 999999.99);
}

TEST(ScriptedDialog, UntouchedValuesKeepTheirDigits) {
  ScriptedToolkit tk;
  double rate = 1.005, other = 2.5;
  std::string name = "abc ";
  int valids = 0;
  tk.expectDialog("EditCamb").expectText(106, "  1.01").leave(102).expectFocus(106).leave(106).type(108, "3").leave(108).press(301);
  Dialog dlg(tk, "EditCamb", "t");
  dlg.field(106, ref(rate)).picture("###.##").valid([&] {
    ++valids;
    return true;
  });
  dlg.field(108, ref(other)).picture("###.##");
  dlg.field(102, ref(name)).picture("@!");
  dlg.button(301, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_DOUBLE_EQ(rate, 1.005);  // shown rounded, never stored rounded
  EXPECT_DOUBLE_EQ(other, 3);
  EXPECT_EQ(valids, 1);            // the validation runs all the same
  EXPECT_EQ(name, "abc ");
}

TEST(ScriptedDialog, DatesTypedDayMonthYear) {
  ScriptedToolkit tk;
  Date d;
  tk.expectDialog("ElegirCia")
      .type(104, "31/02/2016")
      .leave()
      .expectMessage(MsgKind::Stop, "Fecha No Valida")
      .expectFocus(104)
      .type(104, "15/03/2016")
      .press(301);
  Dialog dlg(tk, "ElegirCia", "Elija Compa\xF1ia");
  dlg.field(104, ref(d)).picture("@e");
  dlg.button(301, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(d, Date(2016, 3, 15));
  EXPECT_EQ(tk.dialogs().at(0).title, "Elija Compa\xF1ia");
}

TEST(ScriptedDialog, ImageClickDoesNotValidateAndLabelsRefresh) {
  ScriptedToolkit tk;
  std::string code = "      ", labelText = " ";
  int valids = 0;
  tk.expectDialog("Calcu01")
      .type(102, "zz")
      .click(301)
      .expectText(102, "05 15")
      .expectText(551, "05 15  3.456")
      .expectFocus(102)
      .press(202);
  Dialog dlg(tk, "Calcu01", "Calculo De Planilla");
  Field& f = dlg.field(102, ref(code)).picture("@!").valid([&] {
    ++valids;
    return true;
  });
  Label& l = dlg.label(551).text([&] { return labelText; });
  dlg.image(301, "Buscar", [&] {
    code = "05 15 ";
    labelText = "05 15  3.456";
    f.refresh();
    l.refresh();
    f.setFocus();
  });
  dlg.button(202, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(valids, 0);
}

TEST(ScriptedDialog, ValidationMayMoveTheFocusItself) {
  ScriptedToolkit tk;
  std::string a = "  ", b = "  ", c = "  ";
  int runs = 0;
  Field* third = nullptr;
  tk.expectDialog("EditCamb").type(102, "1").leave().expectFocus(108).press(302);
  Dialog dlg(tk, "EditCamb", "t");
  dlg.field(102, ref(a)).valid([&] {
    ++runs;
    third->setFocus();  // jumps over 104
    return true;
  });
  dlg.field(104, ref(b));
  third = &dlg.field(108, ref(c));
  dlg.button(302, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_EQ(runs, 1);
}

TEST(ScriptedDialog, RadioAndCheck) {
  ScriptedToolkit tk;
  int choice = 2;
  tk.expectDialog("ClaveEdit").expectText(107, "Si").radio(107).press(109);
  Dialog dlg(tk, "ClaveEdit", "Adicionar Registro");
  int changes = 0;
  RadioGroup& g = dlg.radio({107, 108}, ref(choice)).onChange([&] { ++changes; });
  EXPECT_EQ(g.value(), 2);
  dlg.button(109, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_TRUE(dlg.errors().empty());
  EXPECT_EQ(choice, 1);
  EXPECT_EQ(changes, 1);
}

// --- message boxes ---------------------------------------------------------------------

TEST(ScriptedMessages, TitleRuleAndYesNoAnswers) {
  ScriptedToolkit tk;
  tk.expectMessage(MsgKind::Stop, "a", "Stop")
      .expectMessage(MsgKind::Info, "b", "Mensaje")
      .expectMessage(MsgKind::Alert, "c", "Alert")
      .expectMessage(MsgKind::YesNo, "d", "Select an option", false)
      .expectMessage(MsgKind::YesNo, "e", "Mensaje", true);
  MSGSTOP(tk, "a");
  MSGINFO(tk, "b", "Mensaje");
  MSGALERT(tk, "c", "", "Mensaje");  // three arguments: default title
  EXPECT_FALSE(MSGYESNO(tk, "d"));
  EXPECT_TRUE(MSGYESNO(tk, "e", "Mensaje"));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST(ScriptedMessages, UnexpectedYesNoIsNo) {
  ScriptedToolkit tk;
  EXPECT_FALSE(MSGYESNO(tk, "Borrar?"));
  EXPECT_FALSE(tk.ok());
}

// --- input box ---------------------------------------------------------------------------

TEST(InputBox, OkStoresCancelAndCloseLeaveTheVariable) {
  ScriptedToolkit tk;
  std::string code = "0001";
  tk.expectDialog("", "Buscar").type(0, "0002").press("&Cancelar");
  EXPECT_FALSE(MSGGET(tk, "Buscar", "Codigo ", code, "lupa.bmp"));
  EXPECT_EQ(code, "0001");
  tk.expectDialog("", "Buscar").type(0, "0003").close();
  EXPECT_FALSE(MSGGET(tk, "Buscar", "Codigo ", code, "lupa.bmp"));
  EXPECT_EQ(code, "0001");
  tk.expectDialog("", "Buscar").type(0, "ab").press("&Aceptar");
  EXPECT_TRUE(MSGGET(tk, "Buscar", "Codigo ", code, "", "@!"));
  EXPECT_EQ(code, "AB  ");  // keeps its width
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST(InputBox, Geometry) {
  ScriptedToolkit tk;
  std::string code = "    ";
  tk.expectDialog("", "Buscar")
      .inspect([](Dialog& d) {
        EXPECT_DOUBLE_EQ(d.width(), 39.5 * kColUnits);
        EXPECT_DOUBLE_EQ(d.height(), 8 * 8);
        Field* f = dynamic_cast<Field*>(d.focus());
        ASSERT_NE(f, nullptr);
        EXPECT_DOUBLE_EQ(f->rect().w, 120);
        EXPECT_DOUBLE_EQ(f->rect().h, 12);
        Button* ok = d.buttonByCaption("&Aceptar");
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_DOUBLE_EQ(ok->rect().w, 42);  // room for "Aceptar" and "Cancelar"
        EXPECT_DOUBLE_EQ(ok->rect().h, 12);
        // With an image the field moves right of it.
        EXPECT_GT(f->rect().x, 24);
        EXPECT_LE(f->rect().x + f->rect().w, d.width());
      })
      .close();
  MSGGET(tk, "Buscar", "Codigo ", code, "lupa.bmp");
  EXPECT_TRUE(tk.ok()) << tk.report();
}

// --- browse and lookup -------------------------------------------------------------------

FakeTable employees() {
  FakeTable t({{"CODIGO", 'C', 6, 0}, {"NOMBRE", 'C', 20, 0}});
  t.add({"000003", "CARLOS"});
  t.add({"000001", "ANA"});
  t.add({"000002", "BETO"});
  t.add({"000004", "JUAN"});
  t.add({"000005", "JULIA"});
  return t;
}

TEST(Browse, ListsControllingOrderAndKeepsTheTablePosition) {
  FakeTable t = employees();
  t.orderBy("CODIGO");
  t.setDeleted(3, true);  // 000002 hidden
  ScriptedToolkit tk;
  Dialog dlg(tk, "Mante02", "Maestro");
  Browse& b = dlg.browse(101, t)
                  .headers({"CODIGO", "DESCRIPCION"})
                  .widths({100, 300})
                  .columnMoving(false)
                  .wholeRowCursor(true)
                  .line([&] { return std::vector<std::string>{t.str("CODIGO"), t.str("NOMBRE")}; });
  ASSERT_TRUE(t.goTop().isOk());
  ASSERT_TRUE(t.skip(2).isOk());  // on 000004
  EXPECT_EQ(b.rowCount(), 4);
  EXPECT_TRUE(b.rowCountExact());
  EXPECT_EQ(b.row(0).at(0), "000001");
  EXPECT_EQ(b.row(1).at(0), "000003");
  EXPECT_EQ(b.row(3).at(1), "JULIA               ");
  EXPECT_TRUE(b.row(4).empty());
  EXPECT_EQ(t.str("CODIGO"), "000004");  // position restored
  EXPECT_EQ(b.currentRow(), 2);
  EXPECT_FALSE(b.canMoveColumns());
  EXPECT_TRUE(b.rowCursor());
}

TEST(Browse, PickDoubleClickAndStabilize) {
  FakeTable t = employees();
  t.orderBy("CODIGO");
  ScriptedToolkit tk;
  int doubles = 0;
  std::string seen;
  tk.expectDialog("MANTE02")
      .pick(101, 3)
      .inspect([&](Dialog&) { seen = t.str("CODIGO"); })
      .doubleClick(101, 5)
      .pick(101, 6)  // past the end
      .press("&Salir");
  Dialog dlg(tk, "Mante02", "Maestro");
  Browse& b = dlg.browse(101, t).line([&] { return std::vector<std::string>{t.str("CODIGO")}; });
  b.onDoubleClick([&] { ++doubles; });
  dlg.activate([&] {
    dlg.barButton("add.bmp", "Adiciona Registro", [] {});
    dlg.barButton("exit10.bmp", "Salir", [&] { dlg.end(); }, 55, true).caption("&Salir");
    dlg.messageBar("Varmond");
  });
  ASSERT_EQ(dlg.barButtons().size(), 2u);
  EXPECT_EQ(dlg.controls()[0], dlg.barButtons()[0]);  // bar first, in order
  EXPECT_EQ(dlg.controls()[1], dlg.barButtons()[1]);
  EXPECT_TRUE(dlg.barButtons()[1]->barGroup);
  EXPECT_EQ(tk.failures().size(), 1u) << tk.report();
  EXPECT_EQ(seen, "000003");
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(t.str("CODIGO"), "000005");
  EXPECT_EQ(dlg.messageBarText(), "Varmond");
  // A record added by the screen shows after stabilize.
  uint64_t g = b.generation();
  t.add({"000000", "CERO"});
  b.stabilize();
  EXPECT_GT(b.generation(), g);
  EXPECT_EQ(b.rowCount(), 6);
  EXPECT_EQ(b.row(0).at(0), "000000");
}

TEST(Browse, LargeTableOpensWithoutWalkingEveryRow) {
  FakeTable t({{"CODIGO", 'C', 6, 0}});
  for (int i = 0; i < 100000; ++i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06d", i);
    t.add({buf});
  }
  for (uint32_t r = 99001; r <= 100000; ++r) t.setDeleted(r, true);  // the estimate is too high
  ASSERT_TRUE(t.goTop().isOk());
  ScriptedToolkit tk;
  Dialog dlg(tk, "Mante02", "x");
  Browse& b = dlg.browse(101, t).line([&] { return std::vector<std::string>{t.str("CODIGO")}; });
  t.moves = 0;
  EXPECT_EQ(b.rowCount(), 100000);  // estimate from the record count
  EXPECT_FALSE(b.rowCountExact());
  EXPECT_EQ(b.row(10).at(0), "000010");
  EXPECT_LT(t.moves, 100);
  t.moves = 0;
  EXPECT_EQ(b.row(50000).at(0), "050000");  // a jump: one long skip, one window
  EXPECT_LT(t.moves, 100);
  // Asking past the live rows refines the count.
  EXPECT_TRUE(b.row(99500).empty());
  EXPECT_TRUE(b.rowCountExact());
  EXPECT_EQ(b.rowCount(), 99000);
  EXPECT_EQ(b.row(98999).at(0), "098999");
  EXPECT_EQ(t.str("CODIGO"), "000000");
}

TEST(Lookup, IncrementalSearchAndSelect) {
  FakeTable t = employees();
  t.orderBy("NOMBRE");
  ASSERT_TRUE(t.goTop().isOk());
  ScriptedToolkit tk;
  LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Empleados)";
  tk.expectDialog("", o.title)
      .keys(0, "ju")
      .inspect([&](Dialog&) { EXPECT_EQ(t.str("NOMBRE").substr(0, 4), "JUAN"); })
      .keys(0, "l")
      .inspect([&](Dialog&) { EXPECT_EQ(t.str("NOMBRE").substr(0, 5), "JULIA"); })
      .keys(0, "x")  // JULX: not found, stays on JULIA
      .inspect([&](Dialog&) { EXPECT_EQ(t.str("NOMBRE").substr(0, 5), "JULIA"); })
      .expectText(kLookupSearchId, "JULX")
      .press("&Selecciona");
  std::string code = "      ";
  EXPECT_TRUE(lookupList(tk, t, o, &code));
  EXPECT_EQ(code, "000005");
  EXPECT_TRUE(tk.ok()) << tk.report();

  tk.expectDialog("", o.title).doubleClick(1002, 2);
  code = "      ";
  EXPECT_TRUE(lookupList(tk, t, o, &code));
  EXPECT_EQ(code, "      ");  // a double-click leaves the row to the caller
  EXPECT_EQ(t.str("NOMBRE").substr(0, 4), "BETO");

  tk.expectDialog("", o.title).press("&Cancela");
  EXPECT_FALSE(lookupList(tk, t, o, &code));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST(Lookup, ButtonsStayBelowATallList) {
  FakeTable t = employees();
  ScriptedToolkit tk;
  LookupOptions o;
  o.title = "Ventana De Ayuda (Maestro De Institucion)";
  o.bottom = 30, o.listHeight = 150, o.widths = {80, 280}, o.searchWidth = 0;
  o.buttonRow = 10.7, o.cancelCol = 24;
  tk.expectDialog("", o.title)
      .inspect([](Dialog& d) {
        Button* sel = d.buttonByCaption("&Selecciona");
        ASSERT_NE(sel, nullptr);
        EXPECT_GE(sel->rect().y, 2.5 * kRowUnits + 150);
        EXPECT_LE(sel->rect().y + sel->rect().h, d.height());
        EXPECT_EQ(d.focus()->kind(), Control::Kind::Browse);
      })
      .press("&Cancela");
  EXPECT_FALSE(lookupList(tk, t, o, nullptr));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

// --- main window -------------------------------------------------------------------------

TEST(MainWindowModel, MenuTreeInertEntriesBarAndClose) {
  ScriptedToolkit tk;
  MainWindow w(tk);
  int dates = 0, bars = 0;
  w.setTitle("Sistema De Planilla (Varmond)");
  w.beginMenu("&Fecha", "Permite Elegir Fecha De Trabajo");
  w.add("&Elegir Fecha De Trabajo", "Permite Elegir La Fecha De Trabajo", [&] { ++dates; }, "F14.bmp");
  w.add();
  w.beginMenu("&Sub", "");
  w.add("Inerte", "nada");
  w.endMenu();
  w.endMenu();
  w.add("&Salir", "Salir Del Sistema", [&] { w.close(); });
  w.addBarButton({"A1.bmp", "", "msg", "tip", true, [&] { ++bars; }});
  tk.menu({"&Fecha", "&Elegir Fecha De Trabajo"})
      .menu({"&Fecha", "&Sub", "Inerte"})
      .menu({"&Fecha", "&Sub"})  // a submenu is not an entry
      .mainBar(1)
      .menu({"&Salir"});
  w.run();
  EXPECT_EQ(tk.failures().size(), 1u) << tk.report();
  EXPECT_EQ(dates, 1);
  EXPECT_EQ(bars, 1);
  EXPECT_TRUE(w.closed());
  ASSERT_EQ(w.menu().size(), 2u);
  EXPECT_TRUE(w.menu()[0].children[1].separator);
  EXPECT_EQ(w.menu()[0].children[2].children[0].caption, "Inerte");
}

TEST(Sound, RecordedByTheScriptedBackend) {
  ScriptedToolkit tk;
  playSound(tk, "final.wav");
  ASSERT_EQ(tk.sounds().size(), 1u);
  EXPECT_EQ(tk.sounds()[0], "final.wav");
}

}  // namespace
}  // namespace planilla::ui

namespace planilla::ui {
namespace {

TEST(ScriptedDialog, KeysRespectWidthAndBackspace) {
  ScriptedToolkit tk;
  std::string code = "    ", free;
  tk.expectDialog("EditNacion")
      .keys(102, "ab\bcd")
      .expectText(102, "ACD")
      .keys(102, "ef")  // the fifth character does not fit
      .type(104, "sin limite de ancho")
      .press(301);
  Dialog dlg(tk, "EditNacion", "t");
  dlg.field(102, ref(code)).picture("@!");
  dlg.field(104, ref(free));
  dlg.button(301, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_EQ(tk.failures().size(), 1u) << tk.report();
  EXPECT_EQ(code, "ACDE");
  EXPECT_EQ(free, "sin limite de ancho");
}

TEST(ScriptedDialog, TableComboStoresTheValueField) {
  testing::FakeTable t({{"CODIGO", 'C', 2, 0}, {"NOMBRE", 'C', 20, 0}});
  t.add({"01", "EMPLEADO"});
  t.add({"02", "OBRERO"});
  ASSERT_TRUE(t.goTop().isOk());
  ASSERT_TRUE(t.skip(1).isOk());
  ScriptedToolkit tk;
  std::string tipo = "01";
  tk.expectDialog("Repp431").choose(102, "OBRERO").press(109);
  Dialog dlg(tk, "Repp431", "t");
  Combo& c = dlg.tableCombo(102, ref(tipo), t, "CODIGO", "NOMBRE");
  EXPECT_EQ(c.items(), (std::vector<std::string>{"EMPLEADO", "OBRERO"}));
  EXPECT_EQ(c.current(), 0);
  EXPECT_EQ(t.str("CODIGO"), "02");  // position kept
  dlg.button(109, [&] { dlg.end(); });
  dlg.activate();
  EXPECT_EQ(tipo, "02");
  EXPECT_EQ(c.current(), 1);
  EXPECT_TRUE(tk.ok()) << tk.report();
}

}  // namespace
}  // namespace planilla::ui
