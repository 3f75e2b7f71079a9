// Keyboard rules of the toolkit's model: Enter from the last input, Shift+Tab past a
// refusal with the validation owed, input limited to the table field, characters the
// tables can hold.
#include <gtest/gtest.h>

#include "ui/dialogs.h"
#include "ui/scripted.h"
#include "ui/tests/fake_table.h"
#include "ui/text1252.h"
#include "ui/toolkit.h"

namespace planilla::ui {
namespace {

using planilla::testing::FakeTable;

// The bank form of the add dialog: a code refused when blank or "0001", a name, the
// currency combo, accept (301) and cancel (302).
struct Form {
  std::string code = std::string(10, ' ');
  std::string name = std::string(50, ' ');
  std::string currency = std::string(6, ' ');
  bool accepted = false;

  void run(Toolkit& tk) {
    Dialog dlg(tk, "EditBanco", "Adicionar Registro");
    dlg.field(102, ref(code)).picture("@!").valid([&] {
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
    dlg.bitmapButton(302, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
};

TEST(Keys, EnterMovesOnAndFromTheLastInputPressesTheAcceptButton) {
  ScriptedToolkit tk;
  tk.expectDialog("EDITBANCO")
      .type(102, "0001")
      .key(0, Key::Enter)  // refused: the focus stays, nothing pressed
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "0002")
      .key(0, Key::Enter)
      .expectFocus(104)
      .type(104, "banco")
      .key(0, Key::Enter)
      .expectFocus(106)
      .key(0, Key::Enter);  // no input after the combo: "&Aceptar"
  Form f;
  f.run(tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(f.accepted);
  EXPECT_EQ(f.name.substr(0, 5), "BANCO");

  // The input box: one Enter in its only field is "&Aceptar".
  std::string typed = "    ";
  tk.expectDialog("", "Buscar").type(0, "b2").key(0, Key::Enter);
  EXPECT_TRUE(MSGGET(tk, "Buscar", "Codigo ", typed, "lupa.bmp", "@!"));
  EXPECT_EQ(typed, "B2  ");
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST(Keys, ShiftTabLeavesARefusedFieldAndTheButtonRunsItsValidation) {
  ScriptedToolkit tk;
  tk.expectDialog("EDITBANCO")
      .type(102, "0001")
      .leave()
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .expectFocus(102)
      .key(0, Key::BackTab)  // goes back without the message
      .expectFocus(302)
      .type(104, "x")  // Tab from elsewhere does not run the owed validation either
      .press(301)      // accepting does: refused, focus back on the code
      .expectMessage(MsgKind::Stop, "Dato  Existe", "Mensaje")
      .expectFocus(102)
      .type(102, "0003")
      .key(0, Key::BackTab)
      .press(301);  // owed again, and now accepted
  Form f;
  f.run(tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_TRUE(f.accepted);
  EXPECT_EQ(f.code, "0003      ");

  // Cancel never runs it.
  tk.expectDialog("EDITBANCO").type(102, "0001").key(0, Key::BackTab).press(302);
  Form g;
  g.run(tk);
  EXPECT_TRUE(tk.ok()) << tk.report();
  EXPECT_FALSE(g.accepted);
}

TEST(FieldLimits, TextAndNumbersTypedAsTheTableHoldsThem) {
  FakeTable t({{"CODIGO", 'C', 4, 0}, {"NOMBRE", 'C', 45, 0}, {"PORC", 'N', 6, 2}, {"FACTOR", 'N', 9, 0}});
  t.add({"", "", "0", "0"});
  struct Case {
    const char* field;
    const char* picture;  // "" none
    const char* typed;
    bool fits;
  };
  // N6.2 holds 3 integer digits (6 - 2 decimals - the point) and 2 decimals, N9.0 nine
  // digits (a minus sign takes one of them); a picture
  // with decimals wins over a field without them (the stored value is then rounded).
  const Case cases[] = {
      {"CODIGO", "@!", "abcd", true},     {"CODIGO", "@!", "abcde", false},
      {"PORC", "", "999.99", true},       {"PORC", "", "1000", false},
      {"PORC", "", "1.234", false},       {"PORC", "", "-99.5", true},
      {"PORC", "###,###.##", "1000", false},
      {"FACTOR", "###.##", "1.35", true}, {"FACTOR", "", "123456789", true}, {"FACTOR", "", "1234567890", false},
  };
  for (const Case& c : cases) {
    ScriptedToolkit tk;
    std::string text(10, ' ');
    double number = 0;
    Dialog dlg(tk, "EditBanco", "x");
    bool isText = std::string(c.field) == "CODIGO";
    Field& f = isText ? dlg.field(102, ref(text)) : dlg.field(102, ref(number));
    if (*c.picture) f.picture(c.picture);
    f.column(t, c.field);
    EXPECT_EQ(f.type(c.typed), c.fits) << c.field << " " << c.picture << " " << c.typed;
    if (isText) {
      EXPECT_EQ(text.size(), 4u);  // the variable keeps the width the table holds
      EXPECT_EQ(f.width(), 4);
    }
  }
  // Key by key, the fifth character of a 4-character code is refused.
  ScriptedToolkit tk;
  std::string code(10, ' ');
  Dialog dlg(tk, "EditBanco", "x");
  Field& f = dlg.field(102, ref(code)).picture("@!").column(t, "codigo");
  for (char ch : std::string("abcd")) EXPECT_TRUE(f.key(ch));
  EXPECT_FALSE(f.key('e'));
  EXPECT_EQ(f.text(), "ABCD");
}

TEST(Text1252, CharactersTheTablesCanHold) {
  struct Case {
    char32_t cp;
    bool ok;
  };
  const Case cases[] = {{U'A', true},   {U' ', true},    {0xE9, true} /* e acute */, {0xD1, true} /* N tilde */,
                        {0x20AC, true} /* euro */,        {0x100, false} /* A macron */,
                        {0x4E2D, false} /* a Han character */,           {0x81, false} /* unassigned */,
                        {0x09, false} /* tab */,          {0x1F600, false} /* an emoji */};
  for (const Case& c : cases) EXPECT_EQ(encodes1252(c.cp), c.ok) << std::hex << static_cast<uint32_t>(c.cp);
}

}  // namespace
}  // namespace planilla::ui
