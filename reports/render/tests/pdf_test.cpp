#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <sstream>

#include "reports/render/rpv_pdf.h"
#include "reports/render/rpv_render.h"
#include "reports/render/rpv_viewer.h"
#include "reports/render/tests/sample_reports.h"

namespace fs = std::filesystem;
using namespace planilla;
using namespace planilla::rpv;

// The font library keeps caches for the life of the process; under LeakSanitizer
// they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "render_tests";
  static char* argv[] = {name, nullptr};
  // Rendering needs no screen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* a = new QApplication(argc, argv);
  return *a;
}

std::string readAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int pdfPages(const std::string& pdf) {
  int n = 0;
  for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++n;
  return n;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    std::string tmpl = (fs::temp_directory_path() / "rpvrenderXXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string dir_;
};

}  // namespace

TEST_F(RenderTest, Cp1252TextBecomesUnicode) {
  EXPECT_EQ(fromCp1252("A\xD1" "o \xF1 \x80 \xE9"), QString::fromUtf8("AÑo ñ € é"));
  EXPECT_EQ(fromCp1252(std::string("a\tb", 3)), QStringLiteral("a b"));
}

TEST_F(RenderTest, ReportFontsMapToInstalledCompatibleFaces) {
  QtTextMetrics m;
  FontSpec mono{"Lucida Console", 10, false, false};
  // The monospace substitute keeps the 0.6 em advance of the console face.
  EXPECT_NEAR(m.width(mono, "0123456789"), 10 * 0.6 * 200, 10 * 200 * 0.01);
  EXPECT_DOUBLE_EQ(m.width(mono, "iiiii"), m.width(mono, "MMMMM"));
  FontSpec serif{"Times New Roman", 12, false, false};
  EXPECT_LT(m.width(serif, "iiiii"), m.width(serif, "MMMMM"));
  EXPECT_TRUE(QFontInfo(qtFont(mono)).fixedPitch());
  EXPECT_EQ(QFontInfo(qtFont(serif)).family(), QStringLiteral("Liberation Serif"));
  EXPECT_EQ(QFontInfo(qtFont(mono)).family(), QStringLiteral("DejaVu Sans Mono"));
}

TEST_F(RenderTest, PayslipRendersToAOnePagePdf) {
  RenderedReport r = layoutReport(samples::payslipReport(1), dir_);
  const std::string out = dir_ + "/boleta.pdf";
  ASSERT_TRUE(writePdf(r, out).isOk());
  const std::string pdf = readAll(out);
  ASSERT_GT(pdf.size(), 1000u);
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  EXPECT_EQ(pdfPages(pdf), 1);
  EXPECT_NE(pdf.find("DejaVuSansMono"), std::string::npos);
}

TEST_F(RenderTest, PdfTextCanBeExtractedWithItsAccents) {
  if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext no esta instalado";
  RenderedReport r = layoutReport(samples::payslipReport(1), dir_);
  const std::string out = dir_ + "/texto.pdf";
  ASSERT_TRUE(writePdf(r, out).isOk());
  ASSERT_EQ(std::system(("pdftotext -layout " + out + " " + dir_ + "/texto.txt").c_str()), 0);
  const std::string text = readAll(dir_ + "/texto.txt");
  EXPECT_NE(text.find("BOLETA DE REMUNERACIONES"), std::string::npos);
  EXPECT_NE(text.find("NU\xC3\x91" "EZ QUISPE, MAR\xC3\x8D" "A ELENA"), std::string::npos);  // UTF-8
  EXPECT_NE(text.find("2,500.00"), std::string::npos);
}

TEST_F(RenderTest, PagesOfALongReportAllReachThePdf) {
  RenderedReport r = layoutReport(samples::summaryReport(400), dir_);
  ASSERT_GT(r.layout.pages.size(), 3u);
  const std::string out = dir_ + "/resumen.pdf";
  ASSERT_TRUE(writePdf(r, out).isOk());
  EXPECT_EQ(pdfPages(readAll(out)), static_cast<int>(r.layout.pages.size()));
}

// A long report of more distinct texts than the renderer keeps shaped, in rows of
// many cells, rendered page by page from its file: every page reaches the PDF, and
// the last five pages, around and after where the shaped texts are first dropped,
// hold exactly their numbers. They used to be dropped in the middle of a row whose first cells
// were still to be painted from them (the payroll book crashed from about 12,500
// employees).
TEST_F(RenderTest, LongReportsStreamFromTheirFileWithEveryText) {
  if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext no esta instalado";
  // 2,900 lines of 19 numbers from 100000 up, 560 twips apart, 73 lines a page: 55,100
  // distinct texts, 19 a line, so the renderer's limit of 50,000 falls inside line
  // 2,632 (page 37 of 40).
  std::string rpv = "$c00=0\r\n[Data]\r\n{f=Lucida Console;s=6}\r\n";
  for (int line = 0; line < 2900; ++line) {
    for (int c = 0; c < 19; ++c) rpv += "{$c00;" + std::to_string(c * 560) + "}" + std::to_string(100000 + line * 19 + c);
    rpv += "{\\n}\r\n";
  }
  const std::string in = dir_ + "/largo.rpv", out = dir_ + "/largo.pdf";
  std::ofstream(in, std::ios::binary) << rpv;
  size_t pages = 0;
  ASSERT_TRUE(renderFileToPdf(in, out, &pages).isOk());
  EXPECT_EQ(pages, layoutReport(rpv, dir_).layout.pages.size());
  ASSERT_EQ(pages, 40u);
  EXPECT_EQ(pdfPages(readAll(out)), static_cast<int>(pages));
  // Every number from the first of those pages shows to 155099 (100000 + 2900 x 19 - 1),
  // once, and nothing else.
  const std::string txt = dir_ + "/largo.txt";
  ASSERT_EQ(std::system(("pdftotext -f " + std::to_string(pages - 4) + " " + out + " " + txt).c_str()), 0);
  std::istringstream words(readAll(txt));
  std::vector<int> found;
  for (std::string w; words >> w;) found.push_back(std::atoi(w.c_str()));
  std::sort(found.begin(), found.end());
  ASSERT_GT(found.size(), 19u * 4 * 70);
  for (size_t i = 0; i < found.size(); ++i) ASSERT_EQ(found[i], found.front() + static_cast<int>(i)) << i;
  EXPECT_EQ(found.back(), 155099);
}

TEST_F(RenderTest, PicturesComeFromTheReportFolderAndMissingOnesDrawNothing) {
  const std::string rpv = "[Data]\r\n{pic=LOGO.PNG,0,0,1440,1440}{pic=falta.bmp,2000,0,1440,1440}";
  auto render = [&](const RenderedReport& r) {
    QImage img(200, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.scale(96.0 / 1440, 96.0 / 1440);
    PagePainter pp(r.layout, r.pictureDir);
    pp.paint(p, 0);
    p.end();
    return img;
  };
  RenderedReport without = layoutReport(rpv, dir_);
  QImage blank = render(without);
  EXPECT_EQ(blank.pixel(40, 40), qRgb(255, 255, 255));
  QImage logo(10, 10, QImage::Format_RGB32);
  logo.fill(Qt::red);
  ASSERT_TRUE(logo.save(QString::fromStdString(dir_ + "/logo.png")));  // other letter case on disk
  QImage drawn = render(layoutReport(rpv, dir_));
  // 1 inch square at (0.25 in, 0.25 in) margin: red at its centre, white beside it.
  EXPECT_EQ(drawn.pixel(24 + 48, 24 + 48), qRgb(255, 0, 0));
  EXPECT_EQ(drawn.pixel(24 + 150, 24 + 48), qRgb(255, 255, 255));
}

TEST_F(RenderTest, PicturesOutsideTheReportFolderAreNotRead) {
  const std::string sub = dir_ + "/sub";
  fs::create_directory(sub);
  QImage logo(10, 10, QImage::Format_RGB32);
  logo.fill(Qt::red);
  ASSERT_TRUE(logo.save(QString::fromStdString(dir_ + "/fuera.png")));
  RenderedReport r = layoutReport("[Data]\r\n{pic=../fuera.png,0,0,1440,1440}", sub);
  QImage img(200, 200, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.scale(96.0 / 1440, 96.0 / 1440);
  PagePainter(r.layout, r.pictureDir).paint(p, 0);
  p.end();
  EXPECT_EQ(img.pixel(72, 72), qRgb(255, 255, 255));
}

TEST_F(RenderTest, FilledBandsAndTextReachThePage) {
  RenderedReport r = layoutReport(samples::payslipReport(1), dir_);
  const double s = 72.0 / 1440;  // 72 dpi
  QImage img(static_cast<int>(r.layout.pageWidth * s) + 1, static_cast<int>(r.layout.pageHeight * s) + 1,
             QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.scale(s, s);
  PagePainter(r.layout, r.pictureDir).paint(p, 0);
  p.end();
  // A point of the first band away from any text is light grey; the frame's left
  // edge is dark.
  const int m = r.layout.margins.marginLeft;
  QRgb band = img.pixel(static_cast<int>((1400 + m) * s), static_cast<int>((6720 + m) * s));
  EXPECT_EQ(band, 0xFF000000u | paletteColor(7));
  QRgb edge = img.pixel(static_cast<int>((1300 + m) * s), static_cast<int>((5000 + m) * s));
  EXPECT_LT(qGray(edge), 128);
}

TEST_F(RenderTest, HeaderIsPaintedOnEveryPage) {
  RenderedReport r = layoutReport(samples::summaryReport(200), dir_);
  ASSERT_GT(r.layout.pages.size(), 2u);
  const DrawOp* title = nullptr;
  for (const auto& op : r.layout.header)
    if (op.kind == DrawOp::Text && op.text.find("RESUMEN") != std::string::npos) title = &op;
  ASSERT_NE(title, nullptr);
  for (const auto& p : r.layout.pages)
    for (const auto& op : p.ops) EXPECT_FALSE(op.header);
  const double s = 72.0 / 1440;
  PagePainter painter(r.layout, r.pictureDir);
  for (size_t page : {size_t(0), r.layout.pages.size() - 1}) {
    QImage img(static_cast<int>(r.layout.pageWidth * s) + 1, static_cast<int>(r.layout.pageHeight * s) + 1,
               QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.scale(s, s);
    painter.paint(p, page);
    p.end();
    int dark = 0;
    const int m = r.layout.margins.marginLeft;
    for (int x = static_cast<int>((title->x + m) * s); x < static_cast<int>((title->x + title->w + m) * s); ++x)
      for (int y = static_cast<int>((title->y + m - 150) * s); y <= static_cast<int>((title->y + m) * s); ++y)
        dark += qGray(img.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20) << "pagina " << page;
  }
}

TEST_F(RenderTest, UnderlineCoversTheTextButNotTheGapBetweenCells) {
  // Two underlined cells on one line, 2 inches apart.
  RenderedReport r =
      layoutReport("$c01=0\r\n$c02=2880\r\n[Data]\r\n{s=12;u=y;$c01}AAAA{$c02}BBBB{\\n}", dir_);
  QImage img(400, 100, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.scale(96.0 / 1440, 96.0 / 1440);
  PagePainter(r.layout, r.pictureDir).paint(p, 0);
  p.end();
  const int left = 24;  // quarter-inch margin at 96 dpi
  auto darkRun = [&](int y, int x0, int x1) {  // every pixel of the row dark
    for (int x = x0; x <= x1; ++x)
      if (qGray(img.pixel(x, y)) >= 160) return false;
    return true;
  };
  int row = -1;  // the underline: a dark row under the whole first cell
  for (int y = 0; y < img.height() && row < 0; ++y)
    if (darkRun(y, left + 2, left + 35)) row = y;
  ASSERT_GE(row, 0);
  bool gapDark = false;
  for (int x = left + 45; x < left + 185; ++x)
    for (int y = row - 1; y <= row + 1; ++y) gapDark = gapDark || qGray(img.pixel(x, y)) < 160;
  EXPECT_FALSE(gapDark);  // nothing between the cells
  bool second = false;    // the second cell is underlined on the same row
  for (int y = row - 1; y <= row + 1; ++y) second = second || darkRun(y, left + 194, left + 226);
  EXPECT_TRUE(second);
}

TEST_F(RenderTest, UnreadableReportAndUnwritablePdfAreReported) {
  Result<RenderedReport> missing = loadReport(dir_ + "/no-existe.rpv");
  ASSERT_FALSE(missing.isOk());
  EXPECT_NE(missing.status().message().find("no-existe.rpv"), std::string::npos);
  RenderedReport r = layoutReport("[Data]\r\nX", dir_);
  Status s = writePdf(r, dir_ + "/no/existe/x.pdf");
  EXPECT_FALSE(s.isOk());
  EXPECT_FALSE(fs::exists(dir_ + "/no/existe/x.pdf"));
}

// A report file written as one enormous line, read from disk as "planilla pdf"
// reads it: the run is cut where no sheet could show it (4096 bytes) and the text
// after it still prints, on the next line.
TEST_F(RenderTest, OneLineReportFileIsCutAndTheRestPrints) {
  const std::string in = dir_ + "/linea.rpv";
  std::ofstream(in, std::ios::binary) << "{$c01}" << std::string(3'000'000, 'A') << "{\\n}FIN";
  Result<RenderedReport> r = loadReport(in);
  ASSERT_TRUE(r.isOk());
  ASSERT_EQ(r.value().layout.pages.size(), 1u);
  const auto& ops = r.value().layout.pages[0].ops;
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].text.size(), 4096u);
  EXPECT_EQ(ops[0].text.find_first_not_of('A'), std::string::npos);
  EXPECT_EQ(ops[1].text, "FIN");
  ASSERT_TRUE(writePdf(r.value(), dir_ + "/linea.pdf").isOk());
  EXPECT_EQ(pdfPages(readAll(dir_ + "/linea.pdf")), 1);
}

// A link planted at the PDF's name (the payslip archive writes predictable names)
// is replaced by the PDF, never followed into the file it points at.
TEST_F(RenderTest, PdfReplacesALinkAtItsNameInsteadOfFollowingIt) {
  const std::string victim = dir_ + "/ajeno.txt", out = dir_ + "/boleta_E0001.pdf";
  std::ofstream(victim, std::ios::binary) << "ajeno";
  ASSERT_EQ(::symlink(victim.c_str(), out.c_str()), 0);
  ASSERT_TRUE(writePdf(layoutReport("[Data]\r\nX", dir_), out).isOk());
  EXPECT_TRUE(readAll(victim) == "ajeno");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out)));
  EXPECT_EQ(pdfPages(readAll(out)), 1);
}

TEST_F(RenderTest, ViewerWindowShowsEveryPageAndSavesPdf) {
  const std::string in = dir_ + "/Test.rpv";
  std::ofstream(in, std::ios::binary) << samples::payslipReport(3);
  const size_t pages = layoutReport(samples::payslipReport(3), dir_).layout.pages.size();
  Result<std::unique_ptr<ReportPages>> opened = ReportPages::open(in);
  ASSERT_TRUE(opened.isOk());
  ViewerWindow w(std::move(opened.value()), QStringLiteral("Test.rpv"));
  EXPECT_EQ(w.pageCount(), pages);
  w.show();
  QApplication::processEvents();
  w.zoomBy(2.0);
  EXPECT_DOUBLE_EQ(w.zoom(), 2.0);
  w.zoomBy(100);
  EXPECT_DOUBLE_EQ(w.zoom(), 4.0);
  const std::string out = dir_ + "/vista.pdf";
  ASSERT_TRUE(w.saveAsPdf(QString::fromStdString(out)).isOk());
  EXPECT_EQ(pdfPages(readAll(out)), static_cast<int>(pages));
  EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("Boleta De Pago")));
}

// The PDF is written without a painter: each page must look as the painter draws it
// on screen. Frames, bands, a picture, an underline, colours and fonts switched in
// the middle of a line, rasterized by poppler and compared with the painter's image
// at the same resolution, in blocks of 8 x 8 pixels (the two smooth edges apart).
TEST_F(RenderTest, PdfPageLooksLikeThePaintedPage) {
  if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftoppm no esta instalado";
  QImage logo(120, 60, QImage::Format_RGB32);
  logo.fill(QColor(0x20, 0x40, 0x80));
  QPainter(&logo).fillRect(0, 0, 60, 30, Qt::yellow);
  ASSERT_TRUE(logo.save(QString::fromStdString(dir_ + "/dm.bmp")));
  const std::string extra =
      "{e;$c01;a=l;s=12;u=y} {tab= +50} SUBRAYADO{t;u=n;b=y} NEGRITA{t;b=n;s=16} GRANDE{t;s=10;c=4} ROJO"
      "{t;c=0;f=Times New Roman} Serif{t;f=Arial} Sans \x80 \xD1{t;f=Lucida Console;\\n}\r\n";
  // The payslip fills its page: the extra line goes on a second one.
  RenderedReport r = layoutReport(samples::payslipReport(1) + extra, dir_);
  ASSERT_EQ(r.layout.pages.size(), 2u);
  const std::string pdf = dir_ + "/igual.pdf";
  ASSERT_TRUE(writePdf(r, pdf).isOk());
  PagePainter painter(r.layout, r.pictureDir);
  for (int page = 1; page <= 2; ++page) {
    const std::string png = dir_ + "/igual" + std::to_string(page);
    ASSERT_EQ(std::system(("pdftoppm -r 100 -gray -png -singlefile -f " + std::to_string(page) + " -l " +
                           std::to_string(page) + " " + pdf + " " + png).c_str()),
              0);
    QImage fromPdf(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(fromPdf.isNull());
    QImage painted(fromPdf.size(), QImage::Format_RGB32);
    painted.fill(Qt::white);
    QPainter p(&painted);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(100.0 / 1440, 100.0 / 1440);
    painter.paint(p, static_cast<size_t>(page - 1));
    p.end();
    int blocks = 0, differ = 0, inked = 0;
    for (int by = 0; by + 8 <= painted.height(); by += 8)
      for (int bx = 0; bx + 8 <= painted.width(); bx += 8) {
        int a = 0, b = 0;
        for (int y = by; y < by + 8; ++y)
          for (int x = bx; x < bx + 8; ++x) a += qGray(painted.pixel(x, y)), b += qGray(fromPdf.pixel(x, y));
        ++blocks;
        inked += b < 64 * 224;
        differ += std::abs(a - b) > 64 * 32;
      }
    EXPECT_GT(inked, page == 1 ? blocks / 20 : 10) << "pagina " << page;  // not blank
    // Smooth edges and the two programs' greys differ a little, never by a whole glyph.
    EXPECT_LT(differ, 4) << "pagina " << page << ": " << differ << " de " << blocks << " bloques difieren";
  }
}

// Text written in several fonts, switched in the middle of a line, and a character
// the font lacks, can be searched in the PDF, each word where it was written.
TEST_F(RenderTest, TextOfEveryFontCanBeSearchedInThePdf) {
  if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext no esta instalado";
  const std::string report =
      "$c01=0\r\n[Data]\r\n{s=10;b=y;$c01}Negrita{b=n} normal{s=14} grande{f=Times New Roman;s=10} serif"
      "{f=Arial} sans \x80 \xD1\xC1{f=Courier New} mono{\\n}"
      "{f=Lucida Console;s=9}FILA DOS{\\n}{f=C059;s=11}Curvas \xE1\xE9{\\n}";
  RenderedReport r = layoutReport(report, dir_);
  const std::string out = dir_ + "/fuentes.pdf";
  ASSERT_TRUE(writePdf(r, out).isOk());
  ASSERT_EQ(std::system(("pdftotext -layout " + out + " " + dir_ + "/fuentes.txt").c_str()), 0);
  std::string text;  // blanks run together
  for (char c : readAll(dir_ + "/fuentes.txt"))
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  const size_t first = text.find("Negrita normal grande serif sans \xE2\x82\xAC \xC3\x91\xC3\x81 mono");
  EXPECT_NE(first, std::string::npos) << text;
  EXPECT_GT(text.find("FILA DOS"), first);
  // A face without TrueType outlines (when installed) is drawn as shapes with the
  // words kept under them.
  if (QFontInfo(qtFont(FontSpec{"C059", 11, false, false})).family() == QStringLiteral("C059"))
    EXPECT_NE(text.find("Curvas \xC3\xA1\xC3\xA9"), std::string::npos) << text;
}

// A PDF that cannot be written whole is a failure, never a success (a full disk); a
// report without pages still gives a file readers open: one blank sheet.
TEST_F(RenderTest, PdfWriteFailuresAreReportedAndEmptyReportsStillOpen) {
  RenderedReport r = layoutReport(samples::summaryReport(60), dir_);
  const int full = ::open("/dev/full", O_WRONLY);
  if (full < 0) GTEST_SKIP() << "/dev/full no existe";
  DirectPdf pdf(full, dir_);
  pdf.begin(r.layout, r.doc.title);
  for (const Page& page : r.layout.pages) pdf.page(r.layout, page);
  EXPECT_FALSE(pdf.finish().isOk());
  ::close(full);

  const std::string empty = dir_ + "/vacio.rpv", out = dir_ + "/vacio.pdf";
  std::ofstream(empty) << "$c01=0\r\n[Data]\r\n";
  ASSERT_TRUE(renderFileToPdf(empty, out).isOk());
  if (std::system("command -v pdfinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdfinfo no esta instalado";
  ASSERT_EQ(std::system(("pdfinfo " + out + " > " + dir_ + "/info.txt 2>&1").c_str()), 0);
  EXPECT_NE(readAll(dir_ + "/info.txt").find("Pages:           1"), std::string::npos) << readAll(dir_ + "/info.txt");
}
