// The session of one operator at one station: the globals every screen reads, the
// data directory, the open tables (numbered work areas with aliases), whether the
// station works on a network (RED), a clock and the message boxes.
//
// A Session is passed explicitly to every screen, run and report; there are no
// global singletons, so one process may hold several sessions (tests run several
// stations side by side on one data directory).
//
// Text globals are Windows-1252 bytes of fixed width, blank padded, exactly as the
// screens use them (YCIA is 2 characters, YNOMBRE1 45 ...).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/catalog.h"
#include "store/io.h"
#include "store/table.h"
#include "store/value.h"
#include "store/workarea.h"
#include "ui/messages.h"

namespace planilla {

class Session {
 public:
  // `dataDir` is the folder holding the tables ("." = the working directory).
  Session(FileSystem& fs, ui::Messages& messages, std::string dataDir = ".");
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // --- globals (initial values as at start-up) --------------------------------
  bool LACCESO = false;                  // access granted by the login
  std::string CVARGETX = "    ";         // user typed at login (4)
  std::string CVARGETY = std::string(10, ' ');  // password typed at login (10)
  Date YFECHA;                           // working date (empty until chosen)
  std::string YCIA = "  ";               // company code (2)
  std::string YNOMBRE1 = std::string(45, ' ');  // company name (45)
  std::string YABREV;                    // company short name (up to 45), set on acceptance
  std::string YRUC;                      // company tax number (11), set on acceptance
  std::string YMES = "  ";               // month of the working date, "00" on 1 January
  std::string YANO = "  ";               // last two digits of the year
  std::string ANO_CIE;                   // four-digit year
  std::string MES_CIE;                   // month name ("Marzo")
  std::string DIA_CIE;                   // two-digit day
  std::string YDIA;                      // copy of DIA_CIE
  std::string WDIA = "  ", WMES = "  ", WANO = "    ";  // work variables
  // The main window's title as text (the toolkit shows it). Starts as the system name.
  std::string windowTitle;
  // Set when the login found the users file missing: the program must end at once.
  bool endRequested = false;
  // What the password may open, from its records in the users table (set by the
  // login): with `accessLimited` only the menu groups listed in `accessGroups`
  // (function codes, see functionCodes() in session/startup.h); otherwise every one.
  bool accessLimited = false;
  std::vector<std::string> accessGroups;
  bool allows(const std::string& group) const;
  // Who and where, for the run register and the change log: the user code (CODIGO of
  // the password's records in the users table, set by the login; never the password)
  // and the station's network name (set when the session is built).
  std::string userCode;
  std::string station;
  // The last stale-results check (warnIfStale in session/change_log.h) and its answer.
  std::string staleCheck;
  bool staleResult = false;
  // The report file the report writers put their report in, a name in the data
  // directory; empty for the shared "Test.rpv". A command that renders the report it
  // makes sets a private name, so that another station's report cannot take its place.
  std::string reportFile;
  // The desktop shows the month's checklist ("Estado Del Mes") when a working date is
  // accepted, unless the operator chose not to see it; other callers leave it off.
  bool monthStatusOnOpening = false;

  // Resets YFECHA, YMES, YCIA, YANO and YNOMBRE1 to their initial values (start-up
  // step after a successful login).
  void resetPeriod();

  // The period part of the file names (YCIA, YMES, YANO).
  catalog::Period period() const { return {YCIA, YMES, YANO}; }
  // The catalog definition of a table for the session's period.
  catalog::TableDef def(catalog::TableId id) const { return catalog::define(id, period()); }

  // --- environment -------------------------------------------------------------
  FileSystem& fs() { return *fs_; }
  ui::Messages& messages() { return *messages_; }
  // Puts `m` in the place of the message boxes and returns the previous ones (the run
  // register listens to what a run tells the operator, then puts them back).
  ui::Messages* swapMessages(ui::Messages* m) {
    ui::Messages* old = messages_;
    messages_ = m;
    return old;
  }
  const std::string& dataDir() const { return dataDir_; }
  // A file name of the data directory as a path ("pmae0101.dbf" -> "DIR/pmae0101.dbf").
  std::string path(const std::string& name) const;
  // File existence in the data directory, name matched without regard to case.
  bool fileExists(const std::string& name);

  // Network mode (RED): decided once, when the session is built, from the computer's
  // network name (true when, with trailing blanks removed, it is not empty). The
  // environment variable PLANILLA_RED ("0"/"1") overrides the detection; tests and
  // single-user installations may also call setRed().
  bool red() const { return red_; }
  void setRed(bool on) { red_ = on; }
  // Default open mode: shared on a network, exclusive otherwise.
  OpenMode defaultMode() const { return red_ ? OpenMode::Shared : OpenMode::Exclusive; }

  // Today's date from the session clock (the system clock unless replaced).
  Date today() const;
  void setClock(std::function<Date()> clock) { clock_ = std::move(clock); }

  // --- work areas --------------------------------------------------------------
  // Areas are numbered from 1 to kMaxAreas. Opening into an occupied area closes what
  // was there; two areas may not hold the same alias. Aliases are compared without
  // regard to case. The areas themselves are a store WorkAreas, reachable for code
  // that wants its full interface.
  static constexpr int kMaxAreas = 60;
  WorkAreas& areas() { return *areas_; }
  // Puts an open table into `area` (0 = the current area), makes it current and
  // returns it.
  Result<Table*> use(int area, std::unique_ptr<Table> table);
  // Opens `name` (a file of the data directory) in `area` (0 = current) under `alias`
  // in `mode` (default: defaultMode()), then opens the listed bags in order and selects
  // order 1 when there are tags. A bag of a catalog table that lacks a tag the system
  // uses is refused (catalog::checkTags).
  Result<Table*> open(int area, const std::string& name, const std::string& alias,
                      std::optional<OpenMode> mode = std::nullopt,
                      const std::vector<std::string>& bags = {});
  // Opens a catalog table with its bags (catalog::openTable) into `area`.
  Result<Table*> open(int area, const catalog::TableDef& def, std::optional<OpenMode> mode = std::nullopt,
                      const std::string& alias = "");
  Table* area(int n) const;                    // nullptr when empty or out of range
  Table* alias(const std::string& name) const; // nullptr when no area has that alias
  int areaOf(const std::string& alias) const;  // 0 when absent
  void select(int n);                          // current area (out of range: unchanged)
  bool select(const std::string& alias);       // false when absent (current unchanged)
  int selected() const;
  Table* current() const;
  void close(int n);                           // close one area
  void closeAll();                             // close every area; current becomes 1
  int firstFreeArea() const;                   // 0 when all are taken

 private:
  FileSystem* fs_;
  ui::Messages* messages_;
  std::string dataDir_;
  bool red_ = false;
  std::function<Date()> clock_;
  std::unique_ptr<WorkAreas> areas_;
};

// The computer's network name as the operating system reports it (may be empty).
std::string computerNetworkName();
// RED() as decided from the environment: PLANILLA_RED when set to 0/1, otherwise the
// network name trimmed and non-empty.
bool detectRed();

}  // namespace planilla
