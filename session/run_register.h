// The run register rproc<cia>: one record per calculation run and per statutory
// export, saying what ran, for which period, who ran it and on which station, when it
// started and ended, how many employees it processed, its totals and how it ended.
//
// The record is written when the run starts (ESTADO "E") and completed when it ends:
// "T" finished, "D" stopped with the message the operator was shown. While the run
// goes on its station holds the record's lock; a record still "E" whose lock nobody
// holds belongs to a run that was cut short (the process killed, the machine down),
// and is read as interrupted. Two writes per run, whatever the number of employees.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"
#include "store/table.h"

namespace planilla {

// What ran (PROCESO).
inline constexpr const char* kRunPayroll = "PLANILLA";
inline constexpr const char* kRunGratification = "GRATIF";
inline constexpr const char* kRunSettlement = "LIQUIDACION";
inline constexpr const char* kRunExportPlame = "EXP PLAME";
inline constexpr const char* kRunExportAfpnet = "EXP AFPNET";
inline constexpr const char* kRunExportExcel = "EXP EXCEL";
inline constexpr const char* kRunExportAfpYear = "EXP AFP ANUAL";
inline constexpr const char* kRunExportBank = "EXP BANCO";
inline constexpr const char* kRunExportTregistro = "EXP TREGISTRO";
// Every payslip of the month made at once ("Boletas Del Mes"): to PDF or to the viewer.
inline constexpr const char* kRunPayslips = "BOLETAS";

// The current time as the logs store it: AAAAMMDDHHMMSSmmm (local time), so that the
// text sorts as the time does.
std::string nowStamp();
// A stored time for people: "dd/mm/aaaa hh:mm:ss" ("" for a blank one).
std::string stampText(const std::string& stamp);
// The period the logs name: four-digit year and month of the session ("201607").
std::string periodOf(const Session& s);
// The user and the station the logs name (never blank).
std::string auditUser(const Session& s);
std::string auditStation(const Session& s);

struct RunTotals {
  long employees = 0;
  double gross = 0;       // TBRUTO
  double deductions = 0;  // T_DSCTOT
  double net = 0;         // TPAGAR
  double employer = 0;    // T_DSCTOE
};

// One run, from its start to its end. Build it first thing in the run (it listens to
// the messages the run shows, to name the one that stopped it); call finish() when the
// run reached its end. Destroyed without finish(), the record says "stopped" with the
// last stop or alert message shown ("Proceso Detenido" when there was none).
class RunRecord {
 public:
  RunRecord(Session& s, std::string process);
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // False when the start record could not be written; the operator has been told
  // ("No Se Pudo Anotar El Proceso En El Registro De Procesos: ...") and the run must
  // not go on, so that no run goes unrecorded.
  // A session without a company has no register: nothing is written (the run then
  // stops at its own company check).
  bool started() const { return table_ != nullptr || noCompany_; }
  RunTotals& totals() { return totals_; }
  // Adds one result record's amounts to the totals (one employee).
  void count(double gross, double deductions, double net, double employer);
  void finish();

 private:
  class Listener;
  void end(char state, const std::string& message);
  Session& s_;
  std::string process_;
  std::unique_ptr<Listener> listener_;
  ui::Messages* outer_ = nullptr;
  std::unique_ptr<Table> table_;
  uint32_t recno_ = 0;
  bool noCompany_ = false;
  RunTotals totals_;
};

// One record of the register as read back.
struct RunRow {
  uint32_t recno = 0;
  std::string process, period, user, station, start, end, message;
  char state = ' ';  // 'E' running, 'T' finished, 'D' stopped, 'I' interrupted
  RunTotals totals;
};
// The register's state as people read it: "En Curso", "Terminado", "Detenido",
// "Interrumpido".
std::string runStateText(char state);

// Every record of the company's register in time order (an empty list when it does not
// exist yet). A record left "E" whose lock no station holds is given state 'I'.
Status readRunRegister(Session& s, std::vector<RunRow>* out);

// The last run of `process` for `period` that finished ("T"); false when none.
bool lastFinishedRun(Session& s, const std::string& process, const std::string& period, RunRow* out);

}  // namespace planilla
