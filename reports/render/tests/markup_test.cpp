#include <gtest/gtest.h>

#include "reports/render/rpv_document.h"
#include "reports/rpv_writer.h"

using namespace planilla::rpv;

namespace {

std::vector<Item> group(const std::string& g) {
  std::vector<Item> out;
  parseGroup(g, out);
  return out;
}

}  // namespace

TEST(Markup, SettingsBlockAndSections) {
  Document d = parseDocument(
      "Report_Title=Boleta De Pago\r\nPaperSize=A4\r\nOrientation=2\r\nSpacing=240\r\n$c00=400\r\n$caa=w3\r\n"
      "$c01=1835\r\n[Header]\r\n{f=Lucida Console;\\n;s=10}\r\n[Data]\r\nHOLA{\\n}\r\n");
  EXPECT_EQ(d.title, "Boleta De Pago");
  EXPECT_EQ(d.paper, "A4");
  EXPECT_EQ(d.orientation, 2);
  EXPECT_EQ(d.spacing, 240);
  ASSERT_EQ(d.stops.size(), 2u);  // "$caa=w3" is not a position
  EXPECT_EQ(d.stops.at("00"), 400);
  EXPECT_EQ(d.stops.at("01"), 1835);
  EXPECT_EQ(d.settings.size(), 7u);
  EXPECT_EQ(d.settings[5].first, "$caa");
  EXPECT_EQ(d.settings[5].second, "w3");
  EXPECT_TRUE(d.hasHeader);
  ASSERT_EQ(d.header.size(), 3u);
  EXPECT_EQ(d.header[0].cmd, Cmd::Font);
  EXPECT_EQ(d.header[0].text, "Lucida Console");
  EXPECT_EQ(d.header[1].cmd, Cmd::NewLine);
  EXPECT_EQ(d.header[2].cmd, Cmd::Size);
  EXPECT_EQ(d.header[2].value, 10);
  ASSERT_EQ(d.body.size(), 2u);
  EXPECT_TRUE(d.body[0].isText);
  EXPECT_EQ(d.body[0].text, "HOLA");
}

TEST(Markup, NoHeaderSectionAndNoSectionsAtAll) {
  Document a = parseDocument("Report_Title=X\r\nSpacing=220\r\n[Data]\r\nA{\\n}\r\n");
  EXPECT_FALSE(a.hasHeader);
  EXPECT_TRUE(a.header.empty());
  EXPECT_EQ(a.body.size(), 2u);
  // Settings followed directly by the body (a payslip whose signature choice selects
  // no header).
  Document c = parseDocument("Report_Title=Boleta De Pago\r\n$c00=400\r\n{e;$c01;a=l} X=1{t;\\n}\r\n");
  EXPECT_EQ(c.title, "Boleta De Pago");
  EXPECT_EQ(c.stops.at("00"), 400);
  ASSERT_EQ(c.body.size(), 6u);
  EXPECT_EQ(c.body[3].text, " X=1");
  Document b = parseDocument("solo texto{\\n}mas");
  EXPECT_TRUE(b.settings.empty());
  ASSERT_EQ(b.body.size(), 3u);
  EXPECT_EQ(b.body[2].text, "mas");
}

TEST(Markup, FileLineEndsDoNotAdvanceAndJoinRuns) {
  Document d = parseDocument("[Data]\r\n{e;$c01} uno\r\n dos{t;\\n}\r\n");
  // Cell marker, stop, text " uno dos" (the two file lines form one run), cell, newline.
  ASSERT_EQ(d.body.size(), 5u);
  EXPECT_EQ(d.body[2].text, " uno dos");
  EXPECT_EQ(d.body[4].cmd, Cmd::NewLine);
}

TEST(Markup, TextBetweenGroupsKeepsBlanksAndBytes) {
  auto items = parseSection("{a=l}  A\xD1o  {b=y}");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].text, "  A\xD1o  ");
}

TEST(Markup, TabsInEveryWrittenForm) {
  for (auto [g, v] : std::vector<std::pair<std::string, int>>{
           {"tab=650", 650}, {"tab=+2600", 2600}, {"tab= +50", 50}, {"tab= -1290", -1290},
           {"tab=       500", 500}, {"tab=      -500", -500}, {"13000", 13000}, {"tab= + 20", 20}}) {
    auto items = group(g);
    ASSERT_EQ(items.size(), 1u) << g;
    EXPECT_EQ(items[0].cmd, Cmd::Tab) << g;
    EXPECT_EQ(items[0].value, v) << g;
  }
}

TEST(Markup, EveryCommandOfTheLanguage) {
  auto items = group("e;$c03;a=r;a=L;b=y;u=n;s=7;f=Times New Roman;\\n;w=2;box=1300,2000,9000,12000;c=7;"
                     "boxf=1310,6700,8980,450;pic=dm.bmp,8600,3000,1000,1000;Line=300,16000;t");
  std::vector<Cmd> kinds;
  for (auto& i : items) kinds.push_back(i.cmd);
  EXPECT_EQ(kinds, (std::vector<Cmd>{Cmd::Cell, Cmd::Stop, Cmd::Align, Cmd::Align, Cmd::Bold, Cmd::Underline,
                                     Cmd::Size, Cmd::Font, Cmd::NewLine, Cmd::PenWidth, Cmd::Box, Cmd::Color,
                                     Cmd::FilledBox, Cmd::Picture, Cmd::Rule, Cmd::Cell}));
  EXPECT_EQ(items[1].text, "03");
  EXPECT_EQ(items[2].ch, 'r');
  EXPECT_EQ(items[3].ch, 'l');
  EXPECT_EQ(items[4].value, 1);
  EXPECT_EQ(items[5].value, 0);
  EXPECT_EQ(items[7].text, "Times New Roman");
  EXPECT_EQ(items[10].nums, (std::vector<int>{1300, 2000, 9000, 12000}));
  EXPECT_EQ(items[11].value, 7);
  EXPECT_EQ(items[13].text, "dm.bmp");
  EXPECT_EQ(items[13].nums, (std::vector<int>{8600, 3000, 1000, 1000}));
  EXPECT_EQ(items[14].nums, (std::vector<int>{300, 16000}));
}

TEST(Markup, PageBreakAndRepeatedLineFeeds) {
  auto items = group("\\np");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].cmd, Cmd::PageBreak);
  auto feeds = group("t;\\n;\\n;\\n;\\n;\\n;\\n;\\n");
  int n = 0;
  for (auto& i : feeds) n += i.cmd == Cmd::NewLine;
  EXPECT_EQ(n, 7);
}

TEST(Markup, UnknownAndMalformedCommandsAreKeptAsUnknown) {
  auto items = group("zz=1;box=1,2,3;pic=,1,2,3,4;s=abc;b=q;a=x;;  ;Line=1");
  ASSERT_EQ(items.size(), 7u);
  for (auto& i : items) EXPECT_EQ(i.cmd, Cmd::Unknown) << i.text;
}

TEST(Markup, PictureNamesMayHoldCommas) {
  auto items = group("pic=firma, 2.jpg,10,20,30,40");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].cmd, Cmd::Picture);
  EXPECT_EQ(items[0].text, "firma, 2.jpg");
}

TEST(Markup, UnclosedGroupPrintsAsTextAndStrayBraceIsText) {
  auto items = parseSection("A}B{\\n}C{sin cerrar");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "A}B");
  EXPECT_EQ(items[1].cmd, Cmd::NewLine);
  EXPECT_EQ(items[2].text, "C{sin cerrar");
}

TEST(Markup, HugeNumbersAreClamped) {
  auto items = group("box=99999999999999999999,-99999999999999999999,1,1;tab=123456789012");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].nums[0], kMaxCoord);
  EXPECT_EQ(items[0].nums[1], -kMaxCoord);
  EXPECT_EQ(items[1].value, kMaxCoord);
}

// Values from the tables go into the markup through rpvText: whatever braces,
// backslashes or line ends they hold, they print as written (control characters as
// blanks) and add no command. Read whole and a byte at a time: a file is read in
// pieces and an escape may be split between two.
TEST(Markup, TableValuesPrintAsWrittenAndAddNoCommand) {
  const struct {
    const char* value;
    const char* printed;
  } cases[] = {
      {"RAMIREZ {SOTO", "RAMIREZ {SOTO"},
      {"{s=144}", "{s=144}"},
      {"A}B{C", "A}B{C"},
      {"{\\np}{pic=x.bmp,0,0,9,9}", "{\\np}{pic=x.bmp,0,0,9,9}"},
      {"C:\\DATOS\\", "C:\\DATOS\\"},
      {"\\{", "\\{"},
      {"UNO\r\n[Data]\r\nDOS\t", "UNO  [Data]  DOS "},
  };
  for (const auto& c : cases) {
    const std::string section = "{$c01}<" + planilla::reports::rpvText(c.value) + ">{\\n}";
    for (size_t piece : {section.size(), size_t{1}}) {
      SCOPED_TRACE(std::string(c.value) + " en trozos de " + std::to_string(piece));
      std::string text;
      std::vector<Cmd> cmds;
      ItemReader r([&](Item&& it) {
        if (it.isText)
          text += it.text;
        else
          cmds.push_back(it.cmd);
      });
      for (size_t i = 0; i < section.size(); i += piece) r.feed(std::string_view(section).substr(i, piece));
      r.finish();
      EXPECT_EQ(text, std::string("<") + c.printed + ">");
      EXPECT_EQ(cmds, (std::vector<Cmd>{Cmd::Stop, Cmd::NewLine}));
    }
  }
}

// Files written before the escapes print as they did: a backslash before anything but
// a brace or a backslash, or at the end of the section, is printed.
TEST(Markup, LoneBackslashesPrintAsBefore) {
  std::vector<Item> items = parseSection("C:\\DATOS\\n{\\n}FIN\\");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "C:\\DATOS\\n");
  EXPECT_EQ(items[1].cmd, Cmd::NewLine);
  EXPECT_EQ(items[2].text, "FIN\\");
}
