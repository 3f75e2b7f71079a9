// The report file every writer produces: "Test.rpv" in the data directory, Windows-1252
// text with CR LF line ends, in three parts: the settings block (key=value lines), the
// page-header section after "[Header]" and the body after "[Data]".
//
// RpvWriter accumulates the file in memory; close() writes it in one go to a temporary
// file beside the target and renames it over "Test.rpv", so a viewer never sees half a
// report and a failed write leaves the previous report untouched. The data folder is
// shared by every operator: the temporary file gets an unpredictable name and is
// created only if nothing (no file, no link) has that name yet, so nobody can make a
// report be written through a link into a file of theirs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/status.h"

namespace planilla::reports {

inline constexpr const char* kReportFile = "Test.rpv";
inline constexpr const char* kCrLf = "\r\n";

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

class RpvWriter {
 public:
  // `dataDir` is the folder receiving "Test.rpv" ("." = the working directory).
  explicit RpvWriter(std::string dataDir = ".");

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

  const std::string& contents() const { return text_; }
  // Full path of the report file.
  std::string path() const;

 private:
  std::string dir_;
  std::string text_;
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
  int fd() const { return fd_; }
  [[nodiscard]] Status write(std::string_view bytes);
  [[nodiscard]] Status commit();
  const std::string& tempPath() const { return tmp_; }

 private:
  void discard();
  std::string path_;
  std::string tmp_;
  int fd_ = -1;
};

// Writes `bytes` to `path` through a ReplacementFile.
[[nodiscard]] Status writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace planilla::reports
