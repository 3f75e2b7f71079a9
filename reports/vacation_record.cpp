#include "reports/vacation_record.h"

#include "reports/institution.h"
#include "reports/report_common.h"
#include "reports/report_format.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

// Appends to `into` the employee's row of every monthly roll of the working year.
bool gatherYear(Session& s, const std::string& key, Table& into) {
  for (int m = 1; m <= 12; ++m) {
    const catalog::TableDef roll = catalog::define(TableId::VacationRoll, {s.YCIA, NUM_CAR(m, 2), s.YANO});
    if (!tableExists(s, roll)) continue;
    Table* t = openAs(s, roll, "Vacaci");
    if (!t) return false;
    if (t->seek(key)) {
      Status st = into.appendBlank();
      for (const char* f : {"CODIGO", "NOMBRE"})
        if (st) st = into.replace(f, t->str(f));
      if (st) st = into.replace("DIAVAC", t->num("DIAVAC"));
      for (const char* f : {"INIVACA", "FINVACA"})
        if (st) st = into.replace(f, t->date(f));
      if (!st) {
        showStatus(s, st);
        return false;
      }
    }
    s.close(s.areaOf("Vacaci"));
  }
  return true;
}

}  // namespace

bool checkVacationRecord(Session& s) {
  const std::string title = "Lea El Mensaje";
  if (!companyChosen(s, "Mensaje")) return false;
  InstitutionData in;
  if (!institutionRecord(s, in, "Tabla de Institucion  No Existe", "Codigo de Institucion No Existe", title)) return false;
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe", title);
    return false;
  }
  return openAs(s, TableId::EmployeeMaster, "RepEmplea") != nullptr;
}

bool PREP429(Session& s, const std::string& code, const std::string& shownName, bool startViewer) {
  s.closeAll();
  const catalog::TableDef tmpl = s.def(TableId::RollTemplate);
  if (!tableExists(s, tmpl)) {
    stopBox(s, "WARNING 14P", "Lea El Mensaje");
    return false;
  }
  ScratchTable copy;
  Status err;
  switch (emptyScratch(s.fs(), s.dataDir(), s.period(), s.path(tmpl.dbf()), copy, &err)) {
    case ScratchOutcome::Ready:
      break;
    case ScratchOutcome::InUse:
      stopBox(s, kInUse, "Mensaje");
      return false;
    default:
      showStatus(s, err);
      return false;
  }
  Table& rows = *copy.table;
  if (!gatherYear(s, padTo(code, 10), rows)) {
    s.closeAll();
    return false;
  }
  if (Status st = rows.goTop(); !st || rows.eof()) {
    if (!st)
      showStatus(s, st);
    else
      stopBox(s, "Sin Registros ");
    return false;
  }

  RpvWriter w(s.dataDir());
  ReportSettings st;
  st.title = "Record Vacacional";
  st.orientation = 1;
  st.c00 = 600;
  st.base = 690;
  st.widths = {1, 12, 11, 11, 8, 8, 8};
  w.settings(st);
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  L("[Header]");
  L("{f=Lucida Console;\\n;s=9}");
  L("{\\n;\\n;$c00;a=l} {tab=900}" + rpvText(s.YNOMBRE1));
  L("{$c00;a=l;\\n;s=6} {tab=900} <KYL429P> {\\n}");
  L("{\\n;\\n;$c00;s=10;b=y;a=l} {tab=1800} RECORD VACACIONAL " + s.ANO_CIE + "{\\n;\\n}");
  L("{\\n;$c00;s=10;a=l} {tab=700} " + rpvText(rtrim(code)) + " " + rpvText(shownName) + "{\\n;\\n}");
  for (const char* box : {"{w=2;box=900,2700,9500,650}", "{w=2;box=900,2700,1600,650}", "{w=2;box=900,2700,3300,650}",
                          "{w=2;box=900,2700,4700,650}", "{w=1;box=900,2700,6400,650}", "{w=1;box=900,2700,8100,650}"})
    L(box);
  L("{$c01;\\n;a=l} {tab=200} INICIO{$c02;a=l} {tab=750} CESE{$c03;a=l} {tab=970} DIAS{$c04;a=l} {tab=800} "
    "INICIO{$c05;a=l} {tab=1600}CESE{$c06;a=l} {tab=2300} DIAS{\\n;$c01;a=l} {tab=200} VACACI.{$c02;a=l} {tab=600} "
    "VACACI.{$c04;a=l} {tab=800} VACACI.{$c05;a=l} {tab=1450}VACACI.{\\n;b=n;\\n}");
  L("[Data]");
  w.PRINTLINE(h);

  double total = 0;
  Status sk;
  while (sk && !rows.eof()) {
    total += rows.num("DIAVAC");
    w.line("{e;$c01;a=l}{tab= +50}  " + dateE(rows.date("INIVACA")) + "{e;$c02;a=l}{tab= +300} " +
           dateE(rows.date("FINVACA")) + "{e;$c03;a=l}{tab= +1100}" + amount(rows.num("DIAVAC"), kPicDays2) + "{t}");
    sk = rows.skip(1);
    if (!sk || rows.eof()) break;
    if (!rows.date("INIVACA").empty()) {
      total += rows.num("DIAVAC");
      w.line("{e;$c04;a=l}{tab= +700}  " + dateE(rows.date("INIVACA")) + "{e;$c05;a=l}{tab= +1400} " +
             dateE(rows.date("FINVACA")) + "{e;$c06;a=l}{tab= +2450}" + amount(rows.num("DIAVAC"), kPicDays2) +
             "{t;\\n}");
    } else {
      // An entry without dates is neither printed nor counted; the line of the entry
      // beside it still ends here, so the pairs stay two to a line.
      w.line("{t;\\n}");
    }
    sk = rows.skip(1);
  }
  if (!sk) {
    showStatus(s, sk);
    return false;
  }
  w.line("{\\n;Line=800,10500;\\n}");
  w.line("{e;$c01;a=l;b=y} RECORD VACACIONAL EN EL A\xD1O " + s.ANO_CIE + " ====>{t;$c02;a=r} {tab= +4300} " +
         amount(total, kPicDays2) + "{t;$c02;a=r} {tab= +5000} DIAS{t;b=n;\\n;\\n}");
  copy.table.reset();
  return finishReport(s, w, startViewer);
}

}  // namespace planilla::reports
