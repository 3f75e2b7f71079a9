// The report file every writer produces: "Test.rpv" in the data directory, Windows-1252
// text with CR LF line ends, in three parts: the settings block (key=value lines), the
// page-header section after "[Header]" and the body after "[Data]".
//
// RpvWriter accumulates the file in memory and, past kSpillBytes, carries on in a
// temporary file beside the target, so a long report (the payroll book of a large
// company) does not grow the process; close() completes the temporary file and renames
// it over "Test.rpv", so a viewer never sees half a report and a failed write leaves
// the previous report untouched. The data folder is shared by every operator: the
// temporary file gets an unpredictable name and is created only if nothing (no file,
// no link) has that name yet, so nobody can make a report be written through a link
// into a file of theirs.
//
// "Test.rpv" is shared by every station using the folder, so nothing is ever read
// back from it: a command renders the report from a file of its own (closeAs() with
// a privateReportName()) and the desktop shows its viewer a copy of its own
// (closeForViewer()); both still leave "Test.rpv" holding the last report made.
//
// Markup: text outside braces is printed, "{...}" holds commands. A value taken from
// the tables goes in through rpvText(), which writes its braces and backslashes as
// the escapes "\{", "\}" and "\\", so that no value can be read as a command.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/platform.h"
#include "store/status.h"

namespace planilla::reports {

inline constexpr const char* kReportFile = "Test.rpv";
inline constexpr const char* kCrLf = "\r\n";

// A value from the tables as printed text in the markup: "{", "}" and "\" escaped with
// a backslash, control characters (line ends included, which would end a file line)
// as blanks. Width-dependent work (padding, cutting) is done before: the escapes take
// no room on paper.
std::string rpvText(std::string_view value);

// A fresh report file name for one command or one viewer window: "Test-" and twelve
// random letters and digits, ".rpv". Lives in the data folder beside "Test.rpv" (the
// pictures a report names are taken from its folder).
std::string privateReportName();

// Puts the report file `fileName` of `dataDir` in place as "Test.rpv" (a rename: the
// file is gone from its own name afterwards) and removes other spellings of it.
[[nodiscard]] Status publishReport(const std::string& dataDir, const std::string& fileName);

// Removes the private report files (privateReportName()) of `dataDir` older than
// `maxAgeSeconds`: those of viewers long closed and of commands that were killed.
void removeStalePrivateReports(const std::string& dataDir, long maxAgeSeconds = 24 * 3600);

// The layout values of a writer's settings block.
struct ReportSettings {
  std::string title;          // Report_Title
  int orientation = 1;        // 1 portrait, 2 landscape
  int spacing = 220;          // line advance in twips
  int c00 = 0;                // $c00
  bool payslipMark = false;   // writes "$caa=w3" right after $c00
  int base = 0;               // base position of the computed stops
  std::vector<int> widths;    // column widths in characters (the last one unused)
};

class ReplacementFile;

class RpvWriter {
 public:
  // `dataDir` is the folder receiving "Test.rpv" ("." = the working directory).
  explicit RpvWriter(std::string dataDir = ".");
  ~RpvWriter();
  RpvWriter(RpvWriter&&) noexcept;

  // Writes the settings block: Report_Title, PaperSize=A4, Orientation, Spacing, $c00,
  // optionally $caa=w3, then $c01 ... from the column-stop rule.
  void settings(const ReportSettings& s);
  // Appends text unchanged; the text carries its own line ends (PRINTLINE).
  void PRINTLINE(std::string_view text);
  // Appends text followed by CR LF.
  void line(std::string_view text);

  // Writes the accumulated text to "<dataDir>/Test.rpv" (temporary file, sync, rename).
  // Any existing file whose name differs only in letter case is replaced as well, so
  // one report file exists whatever spelling an earlier run used.
  [[nodiscard]] Status close();
  // The same under another name in the data folder (a command's private file).
  [[nodiscard]] Status closeAs(const std::string& fileName);
  // For the desktop's viewer: the report under a fresh private name, which `*shown`
  // receives (the file name), and a copy of it as "Test.rpv". Private files of earlier
  // viewers older than a day are removed.
  [[nodiscard]] Status closeForViewer(std::string* shown);

  // The whole text written so far (read back from the temporary file once spilled).
  std::string contents() const;
  // Full path of the report file.
  std::string path() const;

  // Text held in memory before the writer carries on in its temporary file.
  static constexpr size_t kSpillBytes = 1 << 20;

 private:
  void spill();
  std::string dir_;
  std::string text_;
  std::unique_ptr<ReplacementFile> file_;  // once spilled
  Status spillError_;                             // a failed spill: the text stays in memory
};

// A file that takes the place of `path` once complete. open() creates a temporary file
// in the same folder under a random name, exclusively (an existing name or link there
// is never opened: another name is drawn); commit() syncs it and renames it over
// `path`, which replaces a link at `path` rather than writing through it. Without
// commit() the temporary file is removed and `path` is left as it was.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  [[nodiscard]] Status open();
  // The open temporary file, for writers that need a descriptor (-1 before open()).
  int fd() const { return file_.descriptor(); }
  [[nodiscard]] Status write(std::string_view bytes);
  [[nodiscard]] Status commit();
  const std::string& tempPath() const { return tmp_; }
  const std::string& path() const { return path_; }
  // Changes the name commit() gives the file (same folder).
  void setPath(std::string path) { path_ = std::move(path); }

 private:
  void discard();
  std::string path_;
  std::string tmp_;
  platform::NewFile file_;
};

// Writes `bytes` to `path` through a ReplacementFile.
[[nodiscard]] Status writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace planilla::reports
