#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "reports/grouped_summary.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "reports/runrpv.h"

namespace fs = std::filesystem;
using namespace planilla;
using namespace planilla::reports;

namespace {

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "rpvwriterXXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

ReportSettings payslipSettings() {
  ReportSettings s;
  s.title = "Boleta De Pago";
  s.orientation = 1;
  s.c00 = 400;
  s.payslipMark = true;
  s.base = 800;
  s.widths = {8, 26, 18, 26, 6, 17, 10, 10};
  return s;
}

}  // namespace

TEST(ColumnStops, PayslipListGivesSevenStops) {
  EXPECT_EQ(columnStops(800, {8, 26, 18, 26, 6, 17, 10, 10}),
            (std::vector<int>{1835, 4940, 7125, 10230, 11035, 13105, 14370}));
}

TEST(ColumnStops, LastWidthHasNoEffectAndShortListsGiveNothing) {
  EXPECT_EQ(columnStops(690, {1, 33, 11}), columnStops(690, {1, 33, 99}));
  EXPECT_EQ(columnStops(690, {1, 33, 11}), (std::vector<int>{920, 4830}));
  EXPECT_TRUE(columnStops(600, {7}).empty());
  EXPECT_TRUE(columnStops(600, {}).empty());
}

TEST(RpvWriter, PayslipSettingsBlockIsByteExact) {
  RpvWriter w("/nonexistent");
  w.settings(payslipSettings());
  EXPECT_EQ(w.contents(),
            "Report_Title=Boleta De Pago\r\nPaperSize=A4\r\nOrientation=1\r\nSpacing=220\r\n$c00=400\r\n"
            "$caa=w3\r\n$c01=1835\r\n$c02=4940\r\n$c03=7125\r\n$c04=10230\r\n$c05=11035\r\n$c06=13105\r\n"
            "$c07=14370\r\n");
}

TEST(RpvWriter, SummarySettingsHaveNoPayslipMarkAndLandscape) {
  RpvWriter w;
  ReportSettings s;
  s.title = "Resumen PDT-Sunat";
  s.orientation = 2;
  s.c00 = 200;
  s.base = 690;
  s.widths = {1, 33, 11, 11, 9, 9, 9, 9, 9, 9};
  w.settings(s);
  const std::string& t = w.contents();
  EXPECT_EQ(t.find("$caa"), std::string::npos);
  EXPECT_NE(t.find("Orientation=2\r\n"), std::string::npos);
  EXPECT_NE(t.find("$c00=200\r\n$c01=920\r\n$c02=4830\r\n"), std::string::npos);
  EXPECT_NE(t.find("$c09=13340\r\n"), std::string::npos);
  EXPECT_EQ(t.find("$c10"), std::string::npos);
}

TEST(RpvWriter, CloseWritesTheExactBytesAndReplacesOtherSpellings) {
  TempDir d;
  {
    std::ofstream old(d.path() + "/test.rpv", std::ios::binary);
    old << "stale";
  }
  RpvWriter w(d.path());
  w.line("[Header]");
  w.line("[Data]");
  // "ESPAÑA" and "año" as Windows-1252 bytes (D1, F1); PRINTLINE adds nothing.
  w.PRINTLINE("{e;$c01;a=l} ESPA\xD1" "A a\xF1o{t;\\n}\r\n");
  ASSERT_TRUE(w.close().isOk());
  const std::string bytes = readAll(d.path() + "/Test.rpv");
  EXPECT_EQ(bytes, "[Header]\r\n[Data]\r\n{e;$c01;a=l} ESPA\xD1" "A a\xF1o{t;\\n}\r\n");
  EXPECT_EQ(static_cast<unsigned char>(bytes[bytes.find("ESPA") + 4]), 0xD1);
  EXPECT_FALSE(fs::exists(d.path() + "/test.rpv"));
  // No temporary file is left beside the report.
  int files = 0;
  for (auto& e : fs::directory_iterator(d.path())) (void)e, ++files;
  EXPECT_EQ(files, 1);
}

// Anyone who can write in the shared data folder can plant links at the names a
// report is written through. None of them may be followed: the files they point at
// stay as they were (or are not created), and the report still lands as a file of
// its own.
TEST(RpvWriter, LinksPlantedAtTheReportNamesAreNeverFollowed) {
  const std::string pid = std::to_string(::getpid());
  for (const std::string& planted : {"Test.rpv.tmp" + pid, std::string("Test.rpv"), std::string("test.rpv")}) {
    for (bool dangling : {false, true}) {
      SCOPED_TRACE(planted + (dangling ? " (sin destino)" : ""));
      TempDir d, other;
      const std::string victim = other.path() + (dangling ? "/nuevo" : "/ajeno");
      if (!dangling) std::ofstream(victim, std::ios::binary) << "ajeno";
      ASSERT_EQ(::symlink(victim.c_str(), (d.path() + "/" + planted).c_str()), 0);
      RpvWriter w(d.path());
      w.line("[Data]");
      ASSERT_TRUE(w.close().isOk());
      if (dangling)
        EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
      else
        EXPECT_EQ(readAll(victim), "ajeno");
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(d.path() + "/Test.rpv")));
      EXPECT_EQ(readAll(d.path() + "/Test.rpv"), "[Data]\r\n");
    }
  }
}

TEST(RpvWriter, WriteIntoAMissingFolderIsReported) {
  TempDir d;
  RpvWriter w(d.path() + "/no/existe");
  w.line("x");
  Status s = w.close();
  EXPECT_FALSE(s.isOk());
  EXPECT_EQ(s.code(), ErrorCode::IoError);
  EXPECT_NE(s.message().find("Test.rpv"), std::string::npos);
}

TEST(RpvWriter, ReportNameTakenByAFolderIsReportedAndNothingIsLeft) {
  TempDir d;
  fs::create_directory(d.path() + "/Test.rpv");
  RpvWriter w(d.path());
  w.line("x");
  EXPECT_FALSE(w.close().isOk());
  int files = 0;
  for (auto& e : fs::directory_iterator(d.path())) (void)e, ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST(RpvWriter, FailedWriteIsReportedAndKeepsThePreviousReport) {
  TempDir d;
  RpvWriter first(d.path());
  first.line("primero");
  ASSERT_TRUE(first.close().isOk());
  ::chmod(d.path().c_str(), 0500);  // the folder refuses new files
  RpvWriter second(d.path());
  second.line("segundo");
  Status s = second.close();
  ::chmod(d.path().c_str(), 0700);
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  EXPECT_FALSE(s.isOk());
  EXPECT_EQ(s.code(), ErrorCode::IoError);
  EXPECT_EQ(readAll(d.path() + "/Test.rpv"), "primero\r\n");
}

// A long report goes on in a temporary file once past kSpillBytes, so the writer
// does not grow with the company. The desktop's viewer is shown a private copy equal
// to the "Test.rpv" written with it; private copies older than a day are cleared,
// recent ones (another station's open viewer) stay.
TEST(RpvWriter, LongReportsSpillAndTheViewerGetsAPrivateCopy) {
  TempDir d;
  const std::string stale = d.path() + "/Test-AAAAAAAAAAAA.rpv", recent = d.path() + "/Test-BBBBBBBBBBBB.rpv";
  std::ofstream(stale) << "viejo";
  std::ofstream(recent) << "reciente";
  const auto twoDaysAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(stale, twoDaysAgo);
  RpvWriter w(d.path());
  std::string expected;
  for (int i = 0; expected.size() <= 2 * RpvWriter::kSpillBytes; ++i) {
    const std::string l = "{$c01} LINEA " + std::to_string(i) + std::string(100, 'x');
    w.line(l);
    expected += l + "\r\n";
  }
  bool spilled = false;
  for (auto& e : fs::directory_iterator(d.path()))
    spilled = spilled || e.path().filename().string().rfind("Test.rpv.tmp-", 0) == 0;
  EXPECT_TRUE(spilled);
  EXPECT_EQ(w.contents(), expected);
  std::string shown;
  ASSERT_TRUE(w.closeForViewer(&shown).isOk());
  EXPECT_EQ(shown.size(), std::string("Test-AAAAAAAAAAAA.rpv").size());
  EXPECT_EQ(readAll(d.path() + "/" + shown), expected);
  EXPECT_EQ(readAll(d.path() + "/Test.rpv"), expected);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(recent));
  int files = 0;
  for (auto& e : fs::directory_iterator(d.path())) (void)e, ++files;
  EXPECT_EQ(files, 3);  // Test.rpv, the viewer's copy, the recent copy: no temporary file
}

TEST(ReportFormat, AmountsUnderTheirPictures) {
  EXPECT_EQ(amount(1234.5, kPicPayslip), " 1,234.50");
  EXPECT_EQ(amount(0, kPicPayslip), "     0.00");
  EXPECT_EQ(amount(99999.99, kPicPayslip), "99,999.99");
  EXPECT_EQ(amount(999.5, kPicPayslip), "   999.50");
  EXPECT_EQ(amount(1.005, kPicPayslip), "     1.01");  // decimal half rounds away from zero
  EXPECT_EQ(amount(-5.5, kPicPayslip), "    -5.50");
  EXPECT_EQ(amount(-1234.5, kPicPayslip), "-1,234.50");
  EXPECT_EQ(amount(-123.45, kPicPayslip), "  -123.45");  // the sign sits just before the first digit
  EXPECT_EQ(amount(-0.001, kPicPayslip), "     0.00");   // no negative zero
  EXPECT_EQ(amount(123456.78, kPicSummary), "123,456.78");
  EXPECT_EQ(amount(1234567.891, kPicWide), "1,234,567.89");
  EXPECT_EQ(amount(3.456789, kPicRate), "  3.4568");
  EXPECT_EQ(amount(30, kPicDays3), " 30");
  EXPECT_EQ(amount(7.5, kPicDays2), " 8");
}

TEST(ReportFormat, OverflowingAmountsPrintAsterisks) {
  EXPECT_EQ(amount(100000, kPicPayslip), "*********");
  EXPECT_EQ(amount(99999.995, kPicPayslip), "*********");  // rounds up past the picture
  EXPECT_EQ(amount(-12345.67, kPicPayslip), "*********");  // no room for the sign
  EXPECT_EQ(amount(1000, kPicDays3), "***");
  EXPECT_EQ(amount(100, kPicDays2), "**");
  EXPECT_EQ(amount(1e300, kPicSummary), "**********");
}

TEST(ReportFormat, Dates) {
  EXPECT_EQ(dateE(Date(2026, 3, 5)), "05/03/2026");
  EXPECT_EQ(dateE(Date()), "  /  /    ");
  EXPECT_EQ(writerDate(Date(2015, 11, 1)), "01/11/2015");
  EXPECT_EQ(writerDate(Date()), "00/00/   0");
}

TEST(ReportFormat, NumCarAndNumberText) {
  EXPECT_EQ(NUM_CAR(7, 2), "07");
  EXPECT_EQ(NUM_CAR(5, 3), "005");
  EXPECT_EQ(NUM_CAR(12, 2), "12");
  EXPECT_EQ(NUM_CAR(123, 2), "**");
  EXPECT_EQ(NUM_CAR(6.5, 2), "07");
  EXPECT_EQ(NUM_CAR(-5, 3), "-05");
  EXPECT_EQ(numberText(500), "       500");
  EXPECT_EQ(numberText(-500), "      -500");
  EXPECT_EQ(numberText(12345678901.0), "**********");
}

TEST(ReportFormat, CompanySubtitleByCode) {
  EXPECT_EQ(companySubtitle("01"), "  ");
  EXPECT_EQ(companySubtitle("02"), "ASISTENCIA TECNICA");
  EXPECT_EQ(companySubtitle("03"), "PROGRAMA DE PATRIMONIO CULTURAL");
  EXPECT_EQ(companySubtitle("04"), "PROGRAMA DE ALFABETIZACION Y EDUCACION BASICA DE ADULTOS");
  EXPECT_EQ(companySubtitle("05"), " ");
  EXPECT_EQ(companySubtitle("  "), " ");
}

TEST(ReportFormat, FitAndTrim) {
  EXPECT_EQ(padTo("ABC", 5), "ABC  ");
  EXPECT_EQ(padTo("ABCDEFG", 5), "ABCDE");
  EXPECT_EQ(rtrim("E001   "), "E001");
  EXPECT_EQ(rtrim("   "), "");
  EXPECT_EQ(monthNameUpper(9), "SETIEMBRE");
  EXPECT_EQ(monthNameUpper(13), "");
}

TEST(GroupedSummary, LinesAreByteExact) {
  EXPECT_EQ(groupHeaderLine("CC0001", std::string("ADMINISTRACION")),
            "{e;$c01;a=l;s=8;b=y}CC0001{t;$c01;a=l} {tab=650} ADMINISTRACION{t;b=n;s=7;\\n}\r\n");
  EXPECT_EQ(groupHeaderLine("CC0009", std::nullopt), "{e;$c00;a=l;s=8;b=y}CC0009{t;b=n;s=7;\\n}\r\n");
  EXPECT_EQ(summaryRowLine("E001", std::string("PEREZ"), {1500, 65.5}, {std::string(kPicSummary)}),
            "{e;$c01;a=l}E001      PEREZ                                   "
            "{t;$c02;a=r} {tab= +1200}   1,500.00{t;$c03;a=r} {tab= +1100}      65.50{t;\\n}\r\n");
  EXPECT_EQ(summaryRowLine("E001", std::nullopt, {1}, {std::string(kPicSummary)}),
            "{e;$c01;a=l} {t;$c02;a=r} {tab= +1200}       1.00{t;\\n}\r\n");
  EXPECT_EQ(groupTotalLine("CC0009", std::nullopt, {10, 20}, {std::string(kPicSummary)}, 20),
            "{e;$c01;a=l;s=8;b=y} Total CC0009  {t;$c02;s=7;a=r} {tab= +1200}      10.00"
            "{t;$c03;a=r} {tab= +1100}      20.00{t;b=n;\\n;\\n}\r\n");
  EXPECT_NE(groupTotalLine("CC0001", std::string("ADMINISTRACION GENERAL Y FINANZAS"), {1}, {std::string(kPicSummary)}, 25)
                .find("} Total CC0001 ADMINISTRACION GENERAL Y {t;$c02;s=7;a=r}"),
            std::string::npos);
}

TEST(GroupedSummary, OneGroupPerCostCentreWithTotals) {
  RpvWriter w;
  GroupedSummary g(w, 2);
  g.add({"      ", std::nullopt, "E001", std::string("SIN CENTRO"), {100, 1}});
  g.add({"      ", std::nullopt, "E002", std::string("SIN CENTRO DOS"), {50, 2}});
  g.add({"CC0001", std::string("ADMIN"), "E003", std::string("ALFA"), {10, 3}});
  g.add({"CC0002", std::nullopt, "E004", std::nullopt, {1, 4}});
  g.finish();
  EXPECT_EQ(g.groupCount(), 3u);
  EXPECT_EQ(g.grandTotals(), (std::vector<double>{161, 10}));
  const std::string& t = w.contents();
  // The blank cost centre is one group with its own header and total.
  EXPECT_EQ(t.find("{e;$c00;a=l;s=8;b=y}      {t;"), 0u);
  EXPECT_EQ(t.find("{e;$c00;a=l;s=8;b=y}      {t;", 1), std::string::npos);
  EXPECT_NE(t.find(" Total         {t;$c02;s=7;a=r} {tab= +1200}     150.00{t;$c03;a=r} {tab= +1100}       3.00"),
            std::string::npos);
  // CC0001 counts only its own row.
  EXPECT_NE(t.find(" Total CC0001 ADMIN               {t;$c02;s=7;a=r} {tab= +1200}      10.00"), std::string::npos);
  // Order: header, rows, total for each group.
  size_t h1 = t.find("CC0001{t;$c01;a=l}"), r3 = t.find("E003"), t1 = t.find("Total CC0001");
  size_t h2 = t.find("CC0002{t;b=n"), t2 = t.find("Total CC0002");
  EXPECT_LT(h1, r3);
  EXPECT_LT(r3, t1);
  EXPECT_LT(t1, h2);
  EXPECT_LT(h2, t2);
}

TEST(GroupedSummary, NoRowsWriteNothing) {
  RpvWriter w;
  GroupedSummary g(w, 3);
  g.finish();
  EXPECT_TRUE(w.contents().empty());
  EXPECT_EQ(g.grandTotals(), (std::vector<double>{0, 0, 0}));
}

// --- viewer start ------------------------------------------------------------------

namespace {

class ViewerEnv {
 public:
  explicit ViewerEnv(const std::string& value) {
    const char* old = std::getenv(kViewerEnv);
    had_ = old != nullptr;
    if (had_) old_ = old;
    ::setenv(kViewerEnv, value.c_str(), 1);
  }
  ~ViewerEnv() {
    if (had_)
      ::setenv(kViewerEnv, old_.c_str(), 1);
    else
      ::unsetenv(kViewerEnv);
  }

 private:
  bool had_ = false;
  std::string old_;
};

bool waitForFile(const std::string& p) {
  for (int i = 0; i < 500; ++i) {
    if (fs::exists(p) && fs::file_size(p) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

TEST(RunRpv, DefaultViewerIsThisProgramInViewerMode) {
  ::unsetenv(kViewerEnv);
  auto argv = viewerCommand("/d/Test.rpv");
  ASSERT_EQ(argv.size(), 3u);
  EXPECT_EQ(argv[0], selfExecutable());
  EXPECT_EQ(argv[1], "ver");
  EXPECT_EQ(argv[2], "/d/Test.rpv");
}

TEST(RunRpv, ConfiguredViewerCommandGetsTheFileAsLastArgument) {
  ViewerEnv env("  visor  --vista previa ");
  EXPECT_EQ(viewerCommand("/d/Test.rpv"), (std::vector<std::string>{"visor", "--vista", "previa", "/d/Test.rpv"}));
}

TEST(RunRpv, StartsTheViewerWithArgumentsAsAListWithoutShell) {
  TempDir d;
  const std::string script = d.path() + "/visor.sh";
  {
    std::ofstream s(script);
    s << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.tmp\"\n"
         "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args.txt\"\n";
  }
  ::chmod(script.c_str(), 0755);
  // A report name a shell would expand: must arrive unchanged as one argument.
  const std::string odd = "a b $(touch hacked);.rpv";
  { std::ofstream(d.path() + "/" + odd) << "x"; }
  ViewerEnv env(script);
  ASSERT_TRUE(RUNRPV(d.path(), odd).isOk());
  ASSERT_TRUE(waitForFile(d.path() + "/args.txt"));
  char real[PATH_MAX];
  ASSERT_NE(::realpath(d.path().c_str(), real), nullptr);
  EXPECT_EQ(readAll(d.path() + "/args.txt"), std::string(real) + "/" + odd + "\n");
  EXPECT_FALSE(fs::exists(d.path() + "/hacked"));
}

TEST(RunRpv, NoOpViewerReturnsAtOnce) {
  ViewerEnv env("true");
  EXPECT_TRUE(RUNRPV(".", kReportFile).isOk());
}

TEST(RunRpv, MissingViewerIsReported) {
  ViewerEnv env("no-existe-este-visor-xyz");
  Status s = RUNRPV(".", kReportFile);
  EXPECT_FALSE(s.isOk());
  EXPECT_NE(s.message().find("visor"), std::string::npos);
  TempDir d;
  const std::string notExec = d.path() + "/noexec";
  { std::ofstream(notExec) << "#!/bin/sh\n"; }
  ::chmod(notExec.c_str(), 0644);
  ViewerEnv env2(notExec);
  EXPECT_FALSE(RUNRPV(".", kReportFile).isOk());
}
