// A batch of electronic payslips: the month's (or the gratification's) payslips of
// every employee of the calculated payroll, each rendered to PDF in a folder,
// signed with the company's certificate, protected with the employee's document
// number when the company asks for it, and sent by e-mail, one message per
// employee, with the register of what was sent kept as it goes.
//
// The batch stands on the payslip writers (reports/) and leaves the rendering of a
// report file to PDF to its caller, the only part that needs Qt.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"

namespace planilla::delivery {

enum class PayslipKind { Monthly, Gratification };

// The PDF's name for an employee code, one name per code whatever characters it
// holds: digits and capital letters stay, every other byte (punctuation, blanks
// inside the code, small letters, accented letters) becomes "_" and its two hex
// digits, so "E0001", "E0001-" and "E.0001" give boleta_E0001.pdf,
// boleta_E0001_2D.pdf and boleta_E_2E0001.pdf. Small letters are escaped too, for
// file systems that do not tell them from capitals. The blanks that pad the code on
// the right are not part of it. Gratification payslips are "gratificacion_<code>.pdf".
std::string payslipFileName(const std::string& code, PayslipKind kind = PayslipKind::Monthly);
// The same with the period the desktop's save dialogs name: "boleta_E0001_2026-12.pdf"
// (`period` is "2026-12"; empty gives payslipFileName's name).
std::string payslipFileName(const std::string& code, PayslipKind kind, const std::string& period);
// The session's period as those names write it: "2026-12".
std::string namePeriod(const Session& s);

struct BatchOptions {
  PayslipKind kind = PayslipKind::Monthly;
  std::string dir;  // folder of the PDFs (must exist and be checked by the caller)
  bool sign = false;
  bool send = false;
  bool resend = false;  // send again what the register shows as sent
  bool periodInName = false;  // "boleta_E0001_2026-12.pdf" (the desktop's "Boletas Del Mes")
  std::string certPassword;
  std::string smtpPassword;
};

struct BatchLine {
  std::string code, name, email, detail;
};

struct BatchResult {
  int written = 0;      // PDFs written
  int signedCount = 0;  // of them signed
  int sent = 0;
  int alreadySent = 0;  // left out: the register shows them sent
  std::vector<BatchLine> failures;
  bool stopped = false;  // the server failed: the rest was not tried
  std::string stopReason;
};

// Renders a report file (.rpv) into a PDF.
using PdfRenderer = std::function<Status(const std::string& rpv, const std::string& pdf)>;

// Runs the batch. Refused before any payslip is made (Status with the Spanish
// message): a month without calculated payroll (the payslip screen's own stop box says
// so; the Status's message is then empty), signing or sending without the company's settings, a certificate that
// does not open, sending without server or sender. Failures of one employee (no
// e-mail, no document number to protect the file, a refused recipient) are listed
// in `out->failures` and written to the register; the others go on. A failure of the
// server (connection, login, timeout) stops the batch: running it again resumes it.
// `progress` (optional) hears one line per employee.
Status runBatch(Session& s, const BatchOptions& o, const PdfRenderer& render, BatchResult* out,
                const std::function<void(const std::string&)>& progress = {});

// --- "Boletas Del Mes" -----------------------------------------------------------------
// Every payslip of the month (or of the gratification) at once: into one PDF, into
// one PDF per employee in a folder (the batch above, with the period in the names),
// or into one report shown in the viewer, from which it is printed.
enum class PayslipsTo { OnePdf, PdfPerEmployee, Viewer };

struct MonthPayslips {
  PayslipsTo to = PayslipsTo::OnePdf;
  PayslipKind kind = PayslipKind::Monthly;
  std::string target;  // the PDF (OnePdf) or the folder (PdfPerEmployee); the caller checked it
};

struct MonthPayslipsResult {
  int written = 0;  // payslips made
  int total = 0;    // employees of the calculated month
  std::vector<BatchLine> failures;
  std::string report;  // Viewer: the report file shown (a private name in the data directory)
};

// `progress` (optional) hears (payslips done, total) after each employee. The run is
// recorded in the run register ("BOLETAS", with the number of payslips), for the
// month's checklist. Refused as runBatch is (a month without calculated payroll: the
// payslip screen's stop box; an empty message). The single PDF is put in place whole
// or not at all. `startViewer` (Viewer) starts it; tests leave it false.
Status writeMonthPayslips(Session& s, const MonthPayslips& m, const PdfRenderer& render, MonthPayslipsResult* out,
                          const std::function<void(int done, int total)>& progress = {}, bool startViewer = true);

}  // namespace planilla::delivery
