#include "reports/report_common.h"

#include <cctype>
#include <cstdio>


#include "calc/run_stamps.h"
#include "session/change_log.h"
#include "session/run_register.h"
#include "reports/runrpv.h"
#include "ui/messages.h"

namespace planilla::reports {

void stopBox(Session& s, const std::string& text, const std::string& title) {
  if (title.empty())
    ui::MSGSTOP(s.messages(), text);
  else
    ui::MSGSTOP(s.messages(), text, title);
}

void showStatus(Session& s, const Status& st) {
  stopBox(s, st.code() == ErrorCode::InUse ? std::string(kInUse) : st.message(), "Mensaje");
}

bool periodChosen(const Session& s) {
  auto blank = [](const std::string& v) { return v.find_first_not_of(' ') == std::string::npos; };
  return !blank(s.YCIA) && !blank(s.YANO) && !blank(s.YMES);
}

bool companyChosen(Session& s, const std::string& title) {
  if (periodChosen(s)) return true;
  stopBox(s, kChooseCompany, title);
  return false;
}

bool institutionRecord(Session& s, InstitutionData& out, const std::string& tableMissing,
                       const std::string& recordMissing, const std::string& title) {
  Status err;
  switch (readInstitution(s, out, &err)) {
    case Lookup::Found:
      return true;
    case Lookup::TableMissing:
      stopBox(s, tableMissing, title);
      return false;
    case Lookup::RecordMissing:
      stopBox(s, recordMissing, title);
      return false;
    case Lookup::Failed:
      showStatus(s, err);
      return false;
  }
  return false;
}

bool tableExists(Session& s, const catalog::TableDef& def) { return catalog::tableExists(s.fs(), s.dataDir(), def); }

bool tableExists(Session& s, catalog::TableId id) { return tableExists(s, s.def(id)); }

Table* openAs(Session& s, const catalog::TableDef& def, const std::string& alias, std::optional<OpenMode> mode) {
  if (int area = s.areaOf(alias); area != 0) s.close(area);
  const int area = s.firstFreeArea();
  if (area == 0) {
    stopBox(s, "No hay areas de trabajo libres", "Mensaje");
    return nullptr;
  }
  Result<Table*> t = s.open(area, def, mode, alias);
  if (!t) {
    showStatus(s, t.status());
    return nullptr;
  }
  if (t.value()->tagCount() > 0) (void)t.value()->setOrder(1);
  return t.value();
}

Table* openAs(Session& s, catalog::TableId id, const std::string& alias, std::optional<OpenMode> mode) {
  return openAs(s, s.def(id), alias, mode);
}

bool scratchCopy(Session& s, const catalog::TableDef& source, ScratchTable& out, const std::string& emptyText,
                 const std::string& emptyTitle, const std::string& tag, const std::string& key) {
  Status st;
  switch (buildScratch(s.fs(), s.dataDir(), s.period(), s.path(source.dbf()), out, &st, tag, key)) {
    case ScratchOutcome::Ready:
      return true;
    case ScratchOutcome::Empty:
      stopBox(s, emptyText, emptyTitle);
      return false;
    case ScratchOutcome::InUse:
      stopBox(s, kInUse, "Mensaje");
      return false;
    case ScratchOutcome::Failed:
      showStatus(s, st);
      return false;
  }
  return false;
}

bool regroup(Session& s, ScratchTable& scratch, const std::string& tag, const std::string& key) {
  Status st;
  switch (regroupScratch(s.fs(), scratch, tag, key, &st)) {
    case ScratchOutcome::Ready:
      return true;
    case ScratchOutcome::InUse:
      stopBox(s, kInUse, "Mensaje");
      return false;
    default:
      showStatus(s, st);
      return false;
  }
}

bool addByCode(Session& s, Table& from, Table& into, const std::vector<const char*>& fields) {
  return eachRow(s, from, [&] {
    if (!into.seek(from.str("CODIGO"))) return true;
    for (const char* f : fields) {
      Status st = into.replace(f, into.num(f) + from.num(f));
      if (!st) {
        showStatus(s, st.withContext(f));
        return false;
      }
    }
    return true;
  });
}

double sumOf(const Table& t, std::initializer_list<const char*> fields) {
  double v = 0;
  for (const char* f : fields) v += t.num(f);
  return v;
}

std::string pdfNameOf(const Session& s, const std::string& what, const std::string& who) {
  std::string name = what + "_";
  for (char c : who.empty() ? s.YCIA : who) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') name += c;  // a code is never a path
  }
  if (!s.YFECHA.empty()) {
    char period[16];
    std::snprintf(period, sizeof period, "_%04d-%02d", s.YFECHA.year(), s.YFECHA.month());
    name += period;
  }
  return name + ".pdf";
}

bool finishReport(Session& s, RpvWriter& w, bool startViewer, const std::string& pdfName) {
  s.closeAll();
  // The viewer is shown a file of this station's own: "Test.rpv" may be replaced by
  // another station's report before the viewer has read it.
  std::string shown = s.reportFile;
  Status written = !s.reportFile.empty() ? w.closeAs(s.reportFile) : startViewer ? w.closeForViewer(&shown) : w.close();
  if (!written) {
    stopBox(s, written.message(), "Mensaje");
    return false;
  }
  if (startViewer) {
    Status started = RUNRPV(s.dataDir(), shown, pdfName);
    if (!started) stopBox(s, started.message(), "Mensaje");
  }
  return true;
}

std::string markPendingPayroll(Session& s, std::string header) {
  // On the header's first printed line, above the company's name: the headers open
  // with "[Header]" and a line that sets the font and ends the line.
  const size_t top = header.find("[Header]");
  const size_t font = top == std::string::npos ? top : header.find(kCrLf, top);
  const size_t at = font == std::string::npos ? font : header.find(kCrLf, font + 2);
  (void)warnIfStale(s, kRunPayroll);
  if (at == std::string::npos || !calc::payrollPending(s)) return header;
  header.insert(at + 2, std::string("{$c00;a=l;b=y} ") + calc::kPayrollPendingText + "{b=n}" + kCrLf);
  return header;
}

}  // namespace planilla::reports
