// The viewer's pages laid out on demand: the same pages as the whole layout, whatever
// the order they are asked in, and the page shown after moving to it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "reports/render/rpv_viewer.h"
#include "reports/render/rpv_viewer_pages.h"
#include "reports/render/tests/sample_reports.h"

namespace fs = std::filesystem;
using namespace planilla;
using namespace planilla::rpv;

namespace {

class ViewerPages : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "render_tests";
    static char* argv[] = {name, nullptr};
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!QApplication::instance()) new QApplication(argc, argv);
    std::string tmpl = (fs::temp_directory_path() / "rpvviewerXXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

// Pages of `n` lines each, every line naming its page: "PAGINA 7 LINEA 3".
std::string numberedPages(int pages, int lines) {
  std::string r = "Report_Title=Numerado\r\n$c01=400\r\n[Header]\r\n{f=Lucida Console;s=10;$c01}ENCABEZADO{\\n}\r\n[Data]\r\n";
  for (int p = 1; p <= pages; ++p) {
    if (p > 1) r += "{\\np}";
    for (int l = 1; l <= lines; ++l) r += "{$c01}PAGINA " + std::to_string(p) + " LINEA " + std::to_string(l) + "{\\n}\r\n";
  }
  return r;
}

}  // namespace

TEST_F(ViewerPages, EveryPageAsTheWholeLayoutHasIt) {
  // Reports whose pages come about in each way: forms filled one copy a page (the
  // payslip), lines running over the bottom (the summary), explicit page breaks, line
  // feeds alone reaching pages that are made only when something follows, and long
  // runs across the pieces the file is read in.
  std::string feeds = "[Data]\r\n";
  for (int i = 0; i < 1500; ++i) {
    if (i % 11 == 0) {
      feeds += "{";
      for (int k = 0; k < 73; ++k) feeds += "\\n;";
      feeds += "}{\\np}X";
    } else {
      feeds += "L" + std::to_string(i) + "{\\n}" + std::string(i % 5 * 900, 'a') + "{b=y}B{b=n}{\\n}";
    }
  }
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"boletas", samples::payslipReport(100)},
      {"resumen", samples::summaryReport(3000)},
      {"numerado", numberedPages(100, 9)},
      {"saltos", feeds},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write(std::string(c.name) + ".rpv", c.bytes);
    Result<RenderedReport> whole = loadReport(path);
    ASSERT_TRUE(whole.isOk());
    const std::vector<Page>& expected = whole->layout.pages;
    ASSERT_GT(expected.size(), ReportPages::kKept + ReportPages::kMarkEvery);
    Result<std::unique_ptr<ReportPages>> opened = ReportPages::open(path);
    ASSERT_TRUE(opened.isOk());
    ReportPages& pages = **opened;
    // Counted in small steps, so that marks fall inside the file's pieces.
    while (!pages.complete()) ASSERT_TRUE(pages.count(3001).isOk());
    ASSERT_EQ(pages.pageCount(), expected.size());
    EXPECT_GT(pages.marks(), expected.size() / ReportPages::kMarkEvery - 1);
    EXPECT_EQ(pages.sheet().header.size(), whole->layout.header.size());
    // From the last page back, then every third page forward: laid out from a mark
    // each time the page asked for is not among those kept.
    std::vector<size_t> order;
    for (size_t i = expected.size(); i-- > 0;) order.push_back(i);
    for (size_t i = 0; i < expected.size(); i += 3) order.push_back(i);
    for (size_t i : order) {
      const Page* p = pages.page(i);
      ASSERT_NE(p, nullptr) << i;
      ASSERT_EQ(p->ops.size(), expected[i].ops.size()) << "pagina " << i;
      for (size_t k = 0; k < p->ops.size(); ++k) {
        const DrawOp &a = p->ops[k], &b = expected[i].ops[k];
        ASSERT_TRUE(a.kind == b.kind && a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h && a.font == b.font &&
                    a.text == b.text)
            << "pagina " << i << ", elemento " << k << ": " << a.text << " / " << b.text;
      }
    }
    EXPECT_EQ(pages.page(expected.size()), nullptr);
    // Passed on in order for printing: pages 3 to 5.
    std::vector<std::string> firstTexts;
    ASSERT_TRUE(pages.eachPage(2, 4, [&](const Page& p) { firstTexts.push_back(p.ops.empty() ? "" : p.ops[0].text); }).isOk());
    ASSERT_EQ(firstTexts.size(), 3u);
    EXPECT_EQ(firstTexts[2], expected[4].ops.empty() ? "" : expected[4].ops[0].text);
  }
}

TEST_F(ViewerPages, WindowShowsThePageItMovesTo) {
  const std::string path = write("numerado.rpv", numberedPages(3000, 8));
  Result<std::unique_ptr<ReportPages>> opened = ReportPages::open(path);
  ASSERT_TRUE(opened.isOk());
  ViewerWindow w(std::move(opened.value()), QString::fromStdString(path));
  // The window opens before the whole file is read: the rest is counted once shown.
  EXPECT_LT(w.pageCount(), 3000u);
  w.show();
  QApplication::processEvents();
  EXPECT_EQ(w.currentPage(), 1);
  EXPECT_TRUE(w.currentPageText().startsWith(QStringLiteral("PAGINA 1 LINEA 1 ")));
  // The file is replaced under its name meanwhile (as the desktop puts a new report in
  // place): the pages shown are still those of the file opened.
  const std::string other = write("otro.rpv", numberedPages(2, 1));
  fs::rename(other, path);
  w.goToPage(1234);
  EXPECT_EQ(w.currentPage(), 1234);
  EXPECT_TRUE(w.currentPageText().startsWith(QStringLiteral("PAGINA 1234 LINEA 1 "))) << w.currentPageText().toStdString();
  w.goToLastPage();
  EXPECT_EQ(w.pageCount(), 3000u);
  EXPECT_EQ(w.currentPage(), 3000);
  EXPECT_TRUE(w.currentPageText().endsWith(QStringLiteral("PAGINA 3000 LINEA 8"))) << w.currentPageText().toStdString();
  // Back near the start, zoomed out: the page stays the one shown.
  w.goToPage(7);
  w.zoomBy(0.5);
  EXPECT_EQ(w.currentPage(), 7);
  EXPECT_TRUE(w.currentPageText().startsWith(QStringLiteral("PAGINA 7 LINEA 1 ")));
}
