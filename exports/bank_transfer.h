// The salary-transfer files of a run ("abono de haberes"): the net pay (TPAGAR) of the
// month's payroll or gratification, one file per bank and currency, charged to the
// company's account at that bank in that currency, plus a summary report to sign and
// file.
//
// Who goes into a bank's file: the employees whose salary account (second record:
// BANCOSUN, CTANUM, CTAMON) is at that bank; and, when the charge account is marked
// to pay other banks and the layout allows it, those whose bank is one the company has
// no charge account at, through their CCI. Everyone else of the run is listed in the
// summary with the reason (another bank's file, paid in cash, no net pay), never
// dropped silently. The amount is the run's net pay in the account's currency: the
// results in soles for soles accounts, the converted results for dollar accounts.
//
// Refusals are gathered over the whole run and shown at once; then nothing is
// written: positive net pay without an account, an account of the wrong length for its
// bank, a CCI with wrong check digits or of another bank, a negative net, an amount
// or count wider than its field, a month not calculated or pending recalculation, no
// charge account (or several, without --cuenta).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exports/bank_layouts.h"
#include "exports/files.h"
#include "session/session.h"
#include "store/value.h"

namespace planilla::exports {

// What is paid: the month's payroll, the gratification, or the settlements of the
// employees whose termination date falls in the working month (in soles).
enum class Payment { Payroll, Gratification, Settlement };

// "planilla" / "gratificacion" / "liquidacion" (any case); false for anything else.
bool paymentByName(const std::string& name, Payment* out);

struct TransferRequest {
  bank::Bank bank = bank::Bank::Bcp;
  Payment payment = Payment::Payroll;
  std::string chargeAccount;  // a charge account of the bank; empty: the company's, per currency
  Date processDate;           // empty: today
  std::string dir;            // empty: the data directory
};

// One company charge account (table bmae02<cia>).
struct ChargeAccount {
  std::string banco;    // the bank's code as the second record keeps it ("02" BCP ...)
  std::string cuenta;   // digits
  std::string moneda;   // "S" / "D"
  std::string tipcta;   // "C" corriente, "M" maestra, "A" ahorros
  std::string interb;   // "S": also pays other banks' accounts through their CCI
  std::string descrip;
};

// The charge accounts of the session's company, in account order (none when the table
// does not exist yet). A read failure is the status.
Result<std::vector<ChargeAccount>> readChargeAccounts(Session& s);

// Why a charge account cannot be kept as typed ("" when it can): an unknown bank, an
// account that is not digits of the bank's length, a currency other than S or D.
std::string chargeAccountProblem(const ChargeAccount& a);

// Why an employee's own account at `bank` cannot be paid ("" when it can): not digits,
// or not of a length the bank's accounts have. `type` receives BCP's account kind
// ("A" savings, 14 digits; "C" current, 13).
std::string accountProblem(bank::Bank bank, const std::string& account, std::string* type = nullptr);

// One payment of a file.
struct TransferLine {
  std::string code, name;           // name as written: "PATERNO MATERNO NOMBRES", folded
  std::string paterno, materno, nombres;
  std::string docType, docNumber;   // docType: the state's code (Tabla 3: "01" DNI ...)
  std::string bankSunat;            // the employee's bank
  std::string account;              // own account, or the CCI
  bool viaCci = false;
  int64_t cents = 0;
  std::string email, mobile, address, phone;
  bool feePaid = false;
};

// An employee of the run outside the file, and why.
struct TransferOmission {
  std::string code, name, reason;
  int64_t cents = 0;
  std::string currency;  // of the amount shown
};

struct TransferFile {
  std::string currency;  // "S" / "D"
  ChargeAccount charge;
  std::string fileName;
  std::vector<TransferLine> lines;
  int64_t totalCents = 0;
  std::string checksum;  // BCP only
  std::string text;      // the file's bytes, made when the transfer was built
};

struct Transfer {
  TransferRequest request;
  std::string cia, ruc, company;
  int year = 0, month = 0;
  Date processDate, today;
  std::vector<TransferFile> files;  // soles first; only those with payments
  std::vector<TransferOmission> omitted;
  std::vector<Missing> refusals;
  // The name of the file set ("BCP_HABERES_201603"), and whether a run without
  // --cuenta replaces both currencies' files as one set.
  std::string setName;
  bool wholeSet = true;
};

// Reads the run and builds the files in memory, checking everything. A problem that
// stops before the employees are looked at (no working date, results missing or being
// calculated, a table that cannot be read) is shown (title "Mensaje") and gives false;
// refusals go to `out.refusals` (and give true).
bool buildTransfer(Session& s, const TransferRequest& req, Transfer& out);

// The bytes of a file: its header (when the layout has one) and its payments, each
// line ended by CR LF. False with `error` when a value does not fit its field.
bool transferText(const Transfer& t, const TransferFile& f, std::string& text, std::string* error);

// Writes the files into the request's folder as one set (the previous files of the
// same bank, run and month replaced whole). `written` receives the paths.
[[nodiscard]] Status writeTransferFiles(const Transfer& t, std::vector<std::string>* written);

// The summary report written through the report writer ("Test.rpv", or the session's
// report file), started in the viewer when `startViewer`: per file the bank, charge
// account, process date and file name, per payment the employee, document, bank,
// account and amount, the total (and BCP's control sum); then the employees left out
// and why, the format's grade and the signature lines. False after showing why it was
// not written.
bool writeTransferSummary(Session& s, const Transfer& t, bool startViewer);

// The box listing every refusal: "No Se Generaron Los Archivos Del Banco:" and one
// line per refusal.
std::string refusalMessage(const std::vector<Missing>& refusals);

// The whole run, as the command and the screen make it: build, refuse (one box
// listing every refusal, "Mensaje"), write the files, write the summary report (and
// start the viewer when `startViewer`). True when the files were written.
bool runBankTransfer(Session& s, const TransferRequest& req, std::vector<std::string>& written, bool startViewer);

}  // namespace planilla::exports
