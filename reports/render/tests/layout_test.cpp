#include <gtest/gtest.h>

#include <algorithm>

#include "reports/render/rpv_layout.h"
#include "reports/render/tests/sample_reports.h"

using namespace planilla::rpv;

namespace {

// The layout with every page holding what is drawn on it: the header's operations
// (kept once in Layout::header) followed by the page's own.
Layout lay(const std::string& text, LayoutOptions o = {}) {
  FixedMetrics m;  // 0.6 em per character: 96 twips at 8 points
  Layout l = layoutDocument(parseDocument(text), m, o);
  for (auto& p : l.pages) p.ops.insert(p.ops.begin(), l.header.begin(), l.header.end());
  return l;
}

const DrawOp* findText(const Page& p, const std::string& needle) {
  for (const auto& op : p.ops)
    if (op.kind == DrawOp::Text && op.text.find(needle) != std::string::npos) return &op;
  return nullptr;
}

int countText(const Page& p, const std::string& needle) {
  int n = 0;
  for (const auto& op : p.ops) n += op.kind == DrawOp::Text && op.text.find(needle) != std::string::npos;
  return n;
}

const std::string kSettings = "Spacing=220\r\n$c00=400\r\n$c01=1000\r\n$c02=5000\r\n";

}  // namespace

TEST(Layout, PageSizeFollowsPaperAndOrientation) {
  Layout p = lay("PaperSize=A4\r\nOrientation=1\r\n[Data]\r\nx");
  EXPECT_EQ(p.pageWidth, 11906);
  EXPECT_EQ(p.pageHeight, 16838);
  Layout l = lay("PaperSize=A4\r\nOrientation=2\r\n[Data]\r\nx");
  EXPECT_TRUE(l.landscape);
  EXPECT_EQ(l.pageWidth, 16838);
  EXPECT_EQ(l.pageHeight, 11906);
}

TEST(Layout, StopsTabsAndAlignment) {
  Layout l = lay(kSettings + "[Data]\r\n{s=8;$c01;a=l} {tab= +50}LEFT{$c02;a=r} {tab= -350}  1,234.50{$c02;a=c;tab=2000}MID{\\n}");
  ASSERT_EQ(l.pages.size(), 1u);
  const Page& p = l.pages[0];
  const DrawOp* left = findText(p, "LEFT");
  const DrawOp* amount = findText(p, "1,234.50");
  const DrawOp* mid = findText(p, "MID");
  ASSERT_TRUE(left && amount && mid);
  EXPECT_DOUBLE_EQ(left->x, 1050);                     // stop 1000 + 50, left edge
  EXPECT_DOUBLE_EQ(amount->x + amount->w, 5000 - 350);  // right edge on stop - 350
  EXPECT_DOUBLE_EQ(amount->w, 10 * 96);
  EXPECT_DOUBLE_EQ(mid->x + mid->w / 2, 7000);          // centred on stop + 2000
  // Blank runs only move the pen: no operation is drawn for them.
  EXPECT_EQ(p.ops.size(), 3u);
}

TEST(Layout, RightAlignedAmountsShareTheirRightEdge) {
  std::string body;
  for (double v : {1.0, 12.5, 1234.5, 99999.99})
    body += "{e;$c01;a=l} {tab= 150} Label :{e;$c02;a=r} {tab= 300}" + planilla::reports::amount(v, "99,999.99") +
            "{t;\\n}";
  Layout l = lay(kSettings + "[Data]\r\n{s=8}" + body);
  std::vector<double> rights;
  for (const auto& op : l.pages[0].ops)
    if (op.kind == DrawOp::Text && op.text.find('.') != std::string::npos) rights.push_back(op.x + op.w);
  ASSERT_EQ(rights.size(), 4u);
  for (double r : rights) EXPECT_DOUBLE_EQ(r, 5300);
}

TEST(Layout, TextWithoutNewPositionContinuesAfterThePreviousRun) {
  Layout l = lay(kSettings + "[Data]\r\n{s=10;$c01}ABC{b=y}DEF{\\n}GHI");
  const Page& p = l.pages[0];
  const DrawOp* abc = findText(p, "ABC");
  const DrawOp* def = findText(p, "DEF");
  const DrawOp* ghi = findText(p, "GHI");
  ASSERT_TRUE(abc && def && ghi);
  EXPECT_DOUBLE_EQ(def->x, abc->x + abc->w);
  EXPECT_TRUE(l.fonts[def->font].bold);
  EXPECT_FALSE(l.fonts[abc->font].bold);
  // After a line feed, text without a position starts at the selected stop.
  EXPECT_DOUBLE_EQ(ghi->x, 1000);
  EXPECT_DOUBLE_EQ(ghi->y - abc->y, 220);
}

TEST(Layout, LinesAdvanceBySpacingOrByALargerFont) {
  Layout l = lay(kSettings + "[Data]\r\n{s=8}A{\\n}B{\\n;\\n}C{s=14;\\n}D{\\n}E");
  const Page& p = l.pages[0];
  double a = findText(p, "A")->y, b = findText(p, "B")->y, c = findText(p, "C")->y;
  double d = findText(p, "D")->y, e = findText(p, "E")->y;
  EXPECT_DOUBLE_EQ(b - a, 220);
  EXPECT_DOUBLE_EQ(c - b, 440);
  // "C" is 8 points on a 220 line; "D" is 14 points: its line is 280 high.
  // Baselines centre each font in its line: 8 points at 158 under the line's top,
  // 14 points at 224 under the top of its 280-high line.
  EXPECT_DOUBLE_EQ(d - c, 220 + 224 - 158);
  EXPECT_DOUBLE_EQ(e - d, 280);
}

TEST(Layout, HeaderIsRepeatedOnEveryPageAndBodyStartsBelowIt) {
  std::string body;
  for (int i = 0; i < 200; ++i) body += "{$c01}FILA" + std::to_string(i) + "{\\n}";
  Layout l = lay(kSettings + "[Header]\r\n{s=8;$c01}TITULO{\\n;\\n}{w=2;box=100,100,5000,1000}\r\n[Data]\r\n" + body);
  ASSERT_GT(l.pages.size(), 2u);
  const int perPage = (l.contentHeight() - 440) / 220;
  EXPECT_EQ(l.pages.size(), static_cast<size_t>((200 + perPage - 1) / perPage));
  for (const Page& p : l.pages) {
    EXPECT_EQ(countText(p, "TITULO"), 1);
    int frames = 0;
    for (auto& op : p.ops) frames += op.kind == DrawOp::Frame;
    EXPECT_EQ(frames, 1);
  }
  // Every page's first row sits two lines under the top.
  for (const Page& p : l.pages) {
    const DrawOp* title = findText(p, "TITULO");
    double firstRow = 1e9;
    for (auto& op : p.ops)
      if (op.kind == DrawOp::Text && op.text.rfind("FILA", 0) == 0) firstRow = std::min(firstRow, op.y);
    EXPECT_DOUBLE_EQ(firstRow - title->y, 440);
  }
  // No row is lost or repeated, and none crosses the bottom.
  int rows = 0;
  for (const Page& p : l.pages)
    for (auto& op : p.ops)
      if (op.kind == DrawOp::Text && op.text.rfind("FILA", 0) == 0) {
        ++rows;
        EXPECT_LT(op.y, l.contentHeight());
      }
  EXPECT_EQ(rows, 200);
  EXPECT_NE(findText(l.pages[1], "FILA" + std::to_string(perPage)), nullptr);
}

TEST(Layout, ExplicitPageBreaksAndNoTrailingEmptyPage) {
  Layout l = lay(kSettings + "[Header]\r\n{$c01}H{\\n}\r\n[Data]\r\nUNO{\\n}{\\np}DOS{\\n}{\\np}");
  ASSERT_EQ(l.pages.size(), 2u);
  EXPECT_NE(findText(l.pages[0], "UNO"), nullptr);
  EXPECT_NE(findText(l.pages[1], "DOS"), nullptr);
  EXPECT_EQ(findText(l.pages[1], "UNO"), nullptr);
  EXPECT_DOUBLE_EQ(findText(l.pages[1], "DOS")->y, findText(l.pages[0], "UNO")->y);
}

TEST(Layout, BodyStateContinuesAcrossPagesWhileHeaderKeepsItsOwn) {
  std::string body = "{s=7;b=y}";
  for (int i = 0; i < 120; ++i) body += "{$c01}R{\\n}";
  Layout l = lay(kSettings + "[Header]\r\n{s=12}T{\\n}\r\n[Data]\r\n" + body);
  ASSERT_GE(l.pages.size(), 2u);
  const DrawOp* t2 = findText(l.pages[1], "T");
  ASSERT_NE(t2, nullptr);
  EXPECT_EQ(l.fonts[t2->font].size, 12);
  const DrawOp* r2 = findText(l.pages[1], "R");
  EXPECT_EQ(l.fonts[r2->font].size, 7);
  EXPECT_TRUE(l.fonts[r2->font].bold);
}

TEST(Layout, HeaderStateIsTheBodyStartingState) {
  Layout l = lay(kSettings + "[Header]\r\n{f=Lucida Console;\\n;s=10}\r\n[Data]\r\n{$c01}X");
  const DrawOp* x = findText(l.pages[0], "X");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(l.fonts[x->font].size, 10);
  EXPECT_EQ(l.fonts[x->font].face, "Lucida Console");
  EXPECT_GT(x->y, 220);  // below the header's line feed
}

// A line feed with nothing on its line still takes its line: text after a run of
// them lands where it would on paper, on a later page when they run past the
// bottom. A4 portrait less the 360-twip margins leaves 16838 - 720 = 16118 twips:
// 73 lines of 220 (73 x 220 = 16060; a 74th would end at 16280), 72 under a
// one-line header ((16118 - 220) / 220 = 72.3).
TEST(Layout, BlankLinesKeepTheirPlaceAcrossPages) {
  auto feeds = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "{\\n}";
    return s;
  };
  struct Case {
    std::string header, before;
    size_t pages;
    double top;  // top of the line "FIN" is on, on the last page
  };
  const std::string h = "[Header]\r\n{$c01}H{\\n}\r\n";
  for (const Case& c : std::vector<Case>{
           {"", feeds(72), 1, 72 * 220},
           {"", feeds(73), 2, 0},
           {"", feeds(100), 2, (100 - 73) * 220},
           {"", "A{\\n}" + feeds(199), 3, (200 - 2 * 73) * 220},
           {"", feeds(3 * 73 + 5), 4, 5 * 220},
           {h, feeds(100), 2, 220 + (100 - 72) * 220},
           // A break after line feeds that ran onto page 2 goes to that page's top.
           {"", feeds(74) + "{\\np}", 2, 0},
       }) {
    SCOPED_TRACE(c.before.size());
    Layout l = lay(kSettings + c.header + "[Data]\r\n" + c.before + "FIN{\\n}");
    ASSERT_EQ(l.pages.size(), c.pages);
    const DrawOp* fin = findText(l.pages.back(), "FIN");
    ASSERT_NE(fin, nullptr);
    // 10 points on a 220 line: baseline at top + (220 + ascent 160 - descent 40) / 2.
    EXPECT_DOUBLE_EQ(fin->y, c.top + 170);
    for (size_t i = 0; i + 1 < l.pages.size(); ++i) EXPECT_EQ(findText(l.pages[i], "FIN"), nullptr);
  }
}

// Lines far wider than any sheet cannot print (A3 landscape, 23811 twips, holds
// under 400 characters at 5 points): a text run keeps its first 4096 bytes, a group
// not closed within 4096 bytes is text, a printed line keeps its first 1024 drawn
// items and a page its first 65536. What follows is laid out as usual.
TEST(Layout, OverlongLinesAreCut) {
  auto times = [](const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
  };
  struct Case {
    std::string body;
    size_t longest;  // longest text drawn
    size_t first;    // items on the first page
    size_t pages;
  };
  for (const Case& c : std::vector<Case>{
           {"{$c01}" + std::string(1'000'000, 'A') + "{\\n}FIN", 4096, 2, 1},
           {"FIN{\\n}{" + std::string(1'000'000, 'B'), 4096, 2, 1},  // never closed: text
           {"{" + times("s=20;", 200'000) + "}{\\n}FIN", 4096, 2, 1},  // taken as text, s=20 unused
           {times("{$c01}A", 200'000) + "{\\n}FIN", 3, 1024 + 1, 1},  // the longest is "FIN"
           {times("{box=1,1,1,1}", 70'000) + "{\\np}FIN", 3, 65536, 2},
       }) {
    SCOPED_TRACE(c.body.substr(0, 20));
    Layout l = lay(kSettings + "[Data]\r\n" + c.body);
    ASSERT_EQ(l.pages.size(), c.pages);
    EXPECT_EQ(l.pages[0].ops.size(), c.first);
    size_t longest = 0;
    for (const Page& p : l.pages)
      for (const DrawOp& op : p.ops) longest = std::max(longest, op.text.size());
    EXPECT_EQ(longest, c.longest);
    const DrawOp* fin = findText(l.pages.back(), "FIN");
    ASSERT_NE(fin, nullptr);
    EXPECT_EQ(l.fonts[fin->font].size, 10);
  }
}

TEST(Layout, BoxesFillsPicturesRulesAndColours) {
  Layout l = lay(kSettings +
                 "[Data]\r\n{w=2;box=1300,2000,9000,12000}{c=7;w=2;boxf=1310,6700,8980,450;c=0}"
                 "{pic=dm.bmp,8600,3000,1000,1000}{\\n;Line=300,16000;\\n}{c=12}ROJO");
  const Page& p = l.pages[0];
  std::vector<const DrawOp*> frames, fills, pics, rules;
  for (auto& op : p.ops) {
    if (op.kind == DrawOp::Frame) frames.push_back(&op);
    if (op.kind == DrawOp::Fill) fills.push_back(&op);
    if (op.kind == DrawOp::Picture) pics.push_back(&op);
    if (op.kind == DrawOp::Rule) rules.push_back(&op);
  }
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]->pen, 20);
  EXPECT_DOUBLE_EQ(frames[0]->h, 12000);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0]->rgb, paletteColor(7));
  EXPECT_NE(fills[0]->rgb, 0u);
  ASSERT_EQ(pics.size(), 1u);
  EXPECT_EQ(pics[0]->text, "dm.bmp");
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_DOUBLE_EQ(rules[0]->x, 300);
  EXPECT_DOUBLE_EQ(rules[0]->w, 15700);
  EXPECT_DOUBLE_EQ(rules[0]->y, 220 + 110);  // middle of the second line
  EXPECT_EQ(findText(p, "ROJO")->rgb, 0xFF0000u);
}

TEST(Layout, UnknownCommandsAndMissingStopsAreHarmless) {
  Layout l = lay("[Data]\r\n{zz=4;$c77;e}A{\\n}");
  ASSERT_EQ(l.pages.size(), 1u);
  EXPECT_DOUBLE_EQ(findText(l.pages[0], "A")->x, 0);
}

// --- the payslip and the wide summary ---------------------------------------------------

TEST(Layout, PayslipFitsItsFrameAndBands) {
  Layout l = lay(planilla::samples::payslipReport(1));
  ASSERT_EQ(l.pages.size(), 1u);
  const Page& p = l.pages[0];
  // Every text lies inside the frame (1300..10300 wide, 2000..14000 high), except
  // the reference line under it.
  for (auto& op : p.ops) {
    if (op.kind != DrawOp::Text || op.text.find("KYL") != std::string::npos) continue;
    EXPECT_GE(op.x, 1300) << op.text;
    EXPECT_LE(op.x + op.w, 10300) << op.text;
    EXPECT_GT(op.y, 2000) << op.text;
    EXPECT_LT(op.y, 14000) << op.text;
  }
  // The captions sit on their shaded bands.
  auto inBand = [&](const std::string& t, double top, double height) {
    const DrawOp* op = findText(p, t);
    ASSERT_NE(op, nullptr) << t;
    EXPECT_GT(op->y - 0.8 * 160, top) << t;
    EXPECT_LT(op->y + 0.2 * 160, top + height) << t;
  };
  inBand("REMUNERACIONES    S/.", 6700, 450);
  inBand("APORTACIONES EMPLEADOR", 10000, 340);
  inBand("Total Remuneracion", 10900, 350);
  inBand("Neto A Pagar", 11590, 370);
  // Texts on one line never overlap.
  for (size_t i = 0; i < p.ops.size(); ++i)
    for (size_t j = i + 1; j < p.ops.size(); ++j) {
      const DrawOp &a = p.ops[i], &b = p.ops[j];
      if (a.kind != DrawOp::Text || b.kind != DrawOp::Text || a.y != b.y) continue;
      EXPECT_TRUE(a.x + a.w <= b.x || b.x + b.w <= a.x) << a.text << " / " << b.text;
    }
}

TEST(Layout, TwoPayslipsOfOneCodeFillTwoCopiesOfTheForm) {
  Layout one = lay(planilla::samples::payslipReport(1));
  Layout l = lay(planilla::samples::payslipReport(2));
  ASSERT_EQ(l.pages.size(), 2u);
  for (const Page& p : l.pages) {
    EXPECT_EQ(countText(p, "BOLETA DE REMUNERACIONES"), 1);
    EXPECT_EQ(countText(p, "KYLE0001/"), 1);  // the reference line stays with its payslip
    // Each payslip sits on its form exactly as the single one does.
    EXPECT_DOUBLE_EQ(findText(p, "Neto A Pagar")->y, findText(one.pages[0], "Neto A Pagar")->y);
  }
}

TEST(Layout, SmallHeaderFramesAreNoForm) {
  std::string body;
  for (int i = 0; i < 30; ++i) body += "{$c01}FILA{\\n}";
  Layout l = lay(kSettings + "[Header]\r\n{w=2;box=900,200,9500,650}{\\n;\\n}\r\n[Data]\r\n" + body);
  EXPECT_EQ(l.pages.size(), 1u);
  EXPECT_EQ(countText(l.pages[0], "FILA"), 30);
}

TEST(Layout, WideSummaryFitsLandscapeWidth) {
  Layout l = lay(planilla::samples::summaryReport(300));
  EXPECT_TRUE(l.landscape);
  EXPECT_GT(l.pages.size(), 3u);
  for (const Page& p : l.pages) {
    EXPECT_EQ(countText(p, "RESUMEN  PDT-SUNAT"), 1);
    for (auto& op : p.ops) {
      double right = op.kind == DrawOp::Text || op.kind == DrawOp::Rule ? op.x + op.w : 0;
      EXPECT_LE(right + l.margins.marginLeft, l.pageWidth - 300) << op.text;
    }
  }
}

// Read in pieces of any size, as a file is read, a report lays out exactly as when
// parsed whole.
TEST(Layout, ReadingInPiecesLaysOutAsTheWholeDocument) {
  for (const std::string& text :
       {planilla::samples::payslipReport(3, true), planilla::samples::summaryReport(150),
        std::string("sin secciones{\\n}X{\\np}Y"), std::string("Spacing=300\r\n$c01=50\n{$c01}A{\\n}B\r\n"),
        std::string("Report_Title=Solo ajustes"), std::string("[Header]\r\n{b=y;\\n\r\n[Data]\r\n{s=12}X{a")}) {
    FixedMetrics m;
    const Document doc = parseDocument(text);
    const Layout whole = layoutDocument(doc, m);
    for (size_t piece : {size_t(1), size_t(7), text.size()}) {
      SCOPED_TRACE(text.substr(0, 20) + " / " + std::to_string(piece));
      PartsScanner scan;
      for (size_t at = 0; at < text.size(); at += piece) scan.feed(std::string_view(text).substr(at, piece));
      Document head;
      LayoutBuilder b(head, m);
      DocumentReader reader(
          scan.finish(), head, [&](Item&& it) { b.headerItem(it); }, [&](Item&& it) { b.bodyItem(it); });
      for (size_t at = 0; at < text.size(); at += piece) reader.feed(std::string_view(text).substr(at, piece));
      reader.finish();
      const Layout streamed = b.finish();
      EXPECT_EQ(head.settings, doc.settings);
      EXPECT_EQ(head.stops, doc.stops);
      EXPECT_EQ(head.hasHeader, doc.hasHeader);
      EXPECT_TRUE(head.header.empty() && head.body.empty());
      ASSERT_EQ(streamed.pages.size(), whole.pages.size());
      ASSERT_EQ(streamed.header.size(), whole.header.size());
      EXPECT_EQ(streamed.fonts, whole.fonts);
      for (size_t i = 0; i < whole.pages.size(); ++i) {
        ASSERT_EQ(streamed.pages[i].ops.size(), whole.pages[i].ops.size());
        for (size_t j = 0; j < whole.pages[i].ops.size(); ++j) {
          EXPECT_EQ(streamed.pages[i].ops[j].text, whole.pages[i].ops[j].text);
          EXPECT_DOUBLE_EQ(streamed.pages[i].ops[j].x, whole.pages[i].ops[j].x);
          EXPECT_DOUBLE_EQ(streamed.pages[i].ops[j].y, whole.pages[i].ops[j].y);
        }
      }
    }
  }
}
