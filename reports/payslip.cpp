#include "reports/payslip.h"

#include <vector>

#include "calc/payroll.h"
#include "calc/run_stamps.h"
#include "session/change_log.h"
#include "session/run_register.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

constexpr const char* kAliasEmployees = "RepEmplea";
constexpr const char* kAliasPayroll = "RepFijos";
constexpr const char* kAliasTypes = "Tipos";
constexpr const char* kAliasVacation = "DatVac";

// The code as the key of a 10-character code field.
std::string codeKey(const std::string& code) { return padTo(code, 10); }

std::string amt(const Table& t, const char* field) { return amount(t.num(field), kPicPayslip); }

// What the payslips print of the employee.
struct SlipEmployee {
  std::string nombre, cargo, carnet, nroafp, electoral, hireDate, typeName;
};

SlipEmployee readSlipEmployee(const Table& emp, Table& types) {
  SlipEmployee e;
  e.nombre = emp.str("NOMBRE");
  e.cargo = emp.str("CARGO");
  e.carnet = emp.str("CARNET");
  e.nroafp = emp.str("NROAFP");
  e.electoral = emp.str("ELECTORAL");
  e.hireDate = writerDate(emp.date("FECH_ING"));
  e.typeName = types.seek(emp.str("TIPTRAB")) ? types.str("NOMBRE") : std::string(" ");
  return e;
}

// One two-sided amount line: label and amount of an earning, label and amount of a
// deduction.
struct SlipPair {
  const char* left;
  std::string leftAmount;
  const char* right;
  std::string rightAmount;
};

// The amount lines: offsets "+150"/"+300" on the first two lines, "150"/"300" after;
// the last one ends with an empty line when `lastBlank`.
std::string slipAmountLines(const std::vector<SlipPair>& pairs, bool lastBlank) {
  std::string b;
  const size_t n = pairs.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string L = i < 2 ? "+150" : "150", R = i < 2 ? "+300" : "300";
    b += "{e;$c01;a=l} {tab= " + L + "} " + pairs[i].left + "{e;$c02;a=r} {tab= " + R + "}" + pairs[i].leftAmount +
         "{e;$c03;a=l} {tab= -1100}" + pairs[i].right + "{e;$c04;a=r} {tab= -350}" + pairs[i].rightAmount +
         (lastBlank && i == n - 1 ? "{t;\\n;\\n}" : "{t;\\n}") + kCrLf;
  }
  return b;
}

// The captions over the two amount columns.
std::string slipCaptions() {
  return std::string("{e;$c01;a=l;b=y} {tab= +600} REMUNERACIONES    S/.{e;$c03;a=l} {tab= -300} DESCUENTO "
                     "TRABAJADOR(A)   S/.{t;b=n;\\n;\\n}") +
         kCrLf;
}

// The amount lines both payslips open with: basic pay, family allowance, overtime and
// vacations against the public pension and the three fund deductions.
std::vector<SlipPair> slipFirstPairs(const Table& row) {
  return {{"Rem.Mensual   :", amt(row, "BAS_QUI"), " O.N.P.            :", amt(row, "SNPT")},
          {"Asig.Familiar :", amt(row, "ASIGNA"), " Pension  AFP      :", amt(row, "AAPOR1")},
          {"Horas Extras  :", amount(row.num("HSIMPLE_P") + row.num("HDOBLE_P"), kPicPayslip),
           " Seguro AFP        :", " " + amt(row, "AAPOR2")},
          {"Vacaciones    :", amt(row, "VACACI"), " Comision AFP      :", " " + amt(row, "AAPOR3")}};
}

// The employer's block: company name, registration and tax number, address.
std::string slipEmployer(const Session& s, const InstitutionData& in) {
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  L("{e;$c01;a=l;b=y} {tab= +50} Razon Social :  " + rpvText(s.YNOMBRE1) + "{t;\\n;b=n}");
  L("{e;$c01;a=l} {tab= +50} Registro Patronal :  " + rpvText(in.patro) + "{e;$c03;a=l} {tab= -500} Ruc :  " + rpvText(in.ruc) +
    "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Direccion  :" + rpvText(in.direc) + "{t;\\n;\\n}");
  return b;
}

// The employer's contribution heading and its first line (health).
std::string slipContributions(const Table& row) {
  return std::string("{e;$c03;a=l} {tab= -100} APORTACIONES EMPLEADOR{t;\\n}") + kCrLf +
         "{e;$c03;a=l} {tab= -1100} RCSSS              :{e;$c04;a=r} {tab= -350}" + amt(row, "IPSSE") + "{t;\\n}" +
         kCrLf;
}

// From the totals to the end: totals, net pay, signature, the reference line.
// `positionEnd` closes the signatory's position line.
std::string slipClosing(const Table& row, const InstitutionData& in, const std::string& code,
                        const std::string& costCentre, const std::string& positionEnd) {
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  L("{e;$c01;a=l} {tab= 150} Total Remuneracion :{e;$c02;a=r} {tab= 300}" + amt(row, "TBRUTO") +
    "{e;$c03;a=l} {tab= -1100} Total Aportaciones :{e;$c04;a=r} {tab= -350}" + amt(row, "T_DSCTOE") +
    "{t;\\n;\\n;\\n}");
  L("{e;$c03;a=l} {tab= -1100} Neto A Pagar :    S/.{e;$c04;a=r} {tab= -350}" + amt(row, "TPAGAR") +
    "{t;\\n;\\n;\\n;\\n;\\n;\\n;\\n}");
  L("{e;$c01;a=l;b=y} {tab= +650} ---------------------{t;\\n}");
  L("{e;$c01;a=l} {tab= +650} " + rpvText(in.nombres) + "{e;$c03;a=l} {tab= +200}{t;\\n}");
  L("{e;$c01;a=l} {tab=" + numberText(in.lineacar) + "} " + rpvText(in.cargo) + "{e;$c03;a=l} {tab= +200} TRABAJADOR(A)" +
    positionEnd);
  L("{e;$c00;a=l}{tab= +900} KYL" + rpvText(rtrim(code)) + "/" + rpvText(costCentre) + "{t;b=n;\\n;\\n}");
  return b;
}

struct VacationData {
  Date start, end;
  double days = 0;
  std::string daysText = "  ";
};

std::string payslipBody(Session& s, const Table& row, const SlipEmployee& e, const VacationData& v,
                        const PayslipValues& pv, const std::string& code, const std::string& costCentre) {
  const InstitutionData& in = pv.institution;
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  L("{e;$c01;a=l;b=y} {tab= +2100} BOLETA DE REMUNERACIONES{t;\\n;b=n;s=8}");
  if (calc::payrollPending(s)) {
    // A gratification run came after the month's payroll: said on the blank line under
    // the title, so nothing below moves off the page's frames.
    L("{e;$c01;a=l} {tab=+2600} D.S. Nro. 020-2008-TR{t;\\n}");
    L(std::string("{e;$c01;a=l;b=y} {tab= +50} ") + calc::kPayrollPendingText + "{t;\\n;\\n;b=n}");
  } else {
    L("{e;$c01;a=l} {tab=+2600} D.S. Nro. 020-2008-TR{t;\\n;\\n;\\n}");
  }
  L("{e;$c01;a=l;b=y;s=9} {tab= +50} DATOS DEL EMPLEADOR :{t;\\n;b=n;s=8}");
  b += slipEmployer(s, in);
  L("{e;$c01;a=l;b=y;s=9} {tab= +50} DATOS DEL TRABAJADOR(A) :{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l}{tab= +50} Nombre  : " + rpvText(e.nombre) + "{t;\\n}");
  L("{e;$c01;a=l}{tab=+50} Cargo   : " + rpvText(e.cargo) + "{e;$c03;a=l}{tab=+250} DNI : " + rpvText(e.electoral) + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Mes de Pago   : " + s.MES_CIE + "  " + s.ANO_CIE +
    "{e;$c03;a=r} {tab= +1210} Fecha Ingreso : " + e.hireDate + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Nro. Seguro   : " + rpvText(e.carnet) + "{e;$c03;a=r} {tab= +1120} C.U.S.P.P. : " + rpvText(e.nroafp) +
    "{t;\\n}");
  if (v.start.empty())
    L("{e;$c01;a=l}{tab= +50} Inicio Vacac. :{e;$c02;a=r}{tab= +2050} Cese Vacac.: {t;\\n}");
  else
    L("{e;$c01;a=l}{tab= +50} Inicio Vacac. : " + dateE(v.start) + "{e;$c03;a=l}{tab= -1290} Cese Vacac.: " +
      dateE(v.end) + "{e;$c03;a=l}{tab= +1250}  (" + v.daysText + " dias){t;\\n}");
  const double days = row.num("FRACCION1") - v.days;
  if (row.num("HORASTRA") == 0)
    L("{e;$c01;a=l}{tab= +50} Dias Trab.    : " + amount(days, kPicDays3) + "{t;$c02;a=l}{tab= -700} Horas Trab.: " +
      amount(days * 8, kPicDays3) + "{t;$c03;a=l}{tab= -820} Horas Extras  : " +
      amount(row.num("HSIMPLE") + row.num("HDOBLE"), kPicDays3) + "{t;\\n}");
  else
    L("{e;$c01;a=l}{tab= +50} Dias Trab.    :" + amount(days, kPicDays2) + "{t;$c02;a=l}{tab= -700} Horas Trab.: " +
      amount(row.num("HORASTRA"), kPicDays3) + "{t;$c03;a=l}{tab= -820} Horas Extras  : " +
      amount(row.num("HSIMPLE") + row.num("HDOBLE"), kPicDays3) + "{t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Tipo Trab.    : " + rpvText(e.typeName.substr(0, 38)) +
    "{e;$c03;a=l}{tab= +800} Faltas    :{e;$c03;a=l}{tab= +2150}" + amount(row.num("FRACCION"), kPicDays3) +
    "{t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Dias Subsid.  :" + amount(row.num("SUBSI"), kPicDays3) +
    "{t;$c02;a=l}{tab= -700} Dias No Labor. y no Subsid.: " + amount(row.num("NOSUBS"), kPicDays3) +
    "{e;$c03;a=l}{tab= +800} Tardanzas : " + amount(row.num("TARDANZA"), kPicDays3) + "{t;\\n;\\n}");
  b += slipCaptions();
  // A month with an extraordinary payment withholds its tax apart (RTA_EXTRA, a field
  // the run adds only for the companies that do): the ordinary tax and that tax on
  // lines of their own, RTA_5TA holding both.
  const double extraTax = row.fieldIndex(calc::kExtraTaxField) >= 0 ? row.num(calc::kExtraTaxField) : 0.0;
  std::vector<SlipPair> pairs = slipFirstPairs(row);
  pairs.insert(pairs.end(), {
      {"Refrigerio    :", amt(row, "REFRIG"), " Desc.Judicial     :", amt(row, "RETJUD")},
      {"Movilidad     :", amt(row, "MOVILI"), " Rta.5ta.Categoria :",
       extraTax != 0 ? amount(calc::roundMoney(row.num("RTA_5TA") - extraTax), kPicPayslip) : amt(row, "RTA_5TA")},
      {"Gratificacion :", amt(row, "GRATIF"), "Es-Vida           :", amt(row, "ESVIDA")},
      {"Bono Producc. :", amt(row, "PRODUC"), " Adelantos         :", amt(row, "ADELANTO")},
      {"Dias Trabajado:", amt(row, "DIASTRA"), " Otros Dsctos.     :", amt(row, "OTROSD")},
      {"Utilidad      :", amt(row, "UTILI"), " Cuota Sindical    :", amt(row, "CUOSIN")},
      {"CTS           :", amt(row, "CTS"), " Tardanzas         :", amt(row, "TARDAN")},
      {"Subsidios     :", amt(row, "SUBSID"), "Total Descuentos  :", amt(row, "T_DSCTOT")},
  });
  // Its line takes the place of the blank line under the amounts, so that the rest
  // of the slip stays on the frames the header draws.
  if (extraTax != 0)
    pairs.insert(pairs.begin() + 6, {"              ", std::string(), " Rta.5ta.Extraord. :", amount(extraTax, kPicPayslip)});
  b += slipAmountLines(pairs, /*lastBlank=*/extraTax == 0);
  b += slipContributions(row);
  L("{e;$c03;a=l} {tab= -1100} SCTR-SALUD         :{e;$c04;a=r} {tab= -350}" + amt(row, "SNPE") + "{t;\\n;\\n}");
  b += slipClosing(row, in, code, costCentre, "{t;b=n;\\n;\\n}");
  return b;
}

std::string slipHeader(const std::string& firma) {
  const std::string pic = signaturePicture(firma);
  if (pic.empty()) return std::string();
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  L("[Header]");
  L("{f=Lucida Console;\\n;s=10}");
  L("{w=2;box=1300,2000,9000,12000}");
  L("{pic=dm.bmp,8600,3000,1000,1000}");
  L("{c=7;w=2;boxf=1310,6700,8980,450;c=0}");
  L("{c=7;w=2;boxf=6000,10000,4280,340;c=0}");
  L("{c=7;w=2;boxf=1310,10900,8980,350;c=0}");
  L("{c=7;w=2;boxf=6000,11590,4280,370;c=0}");
  L(firma[0] == '2' ? "{pic=firjpg2.jpg,1900,12400,3500,1000}" : "{pic=firRov2.jpg,2750,12400,1600,950}");
  L("{$c02} {tab=500} {\\n}");
  L("{$c07} {\\n}");
  L("{\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n}");
  L("[Data]");
  return h;
}


// The gratification payslip of one gratification row.
std::string gratiSlipBody(Session& s, const Table& row, const SlipEmployee& e, const PayslipValues& pv,
                          const std::string& code, const std::string& costCentre) {
  const InstitutionData& in = pv.institution;
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  L("{e;$c01;a=l;b=y} {tab= +1700} BOLETA DE REMUNERACIONES{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l} {tab=+1800} D.S. Nro. 020-2008-TR{t;\\n;\\n;\\n;\\n}");
  L("{e;$c01;a=l;b=y} {tab= +50} DATOS DEL EMPLEADOR :{t;\\n;b=n}");
  b += slipEmployer(s, in);
  L("{e;$c01;a=l;b=y} {tab= +50} DATOS DEL TRABAJADOR(A) :{t;\\n;b=n}");
  L("{e;$c01;a=l} {tab= +50} Nombre  : " + rpvText(e.nombre) + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Cargo   : " + rpvText(e.cargo) + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Fecha Ingreso : " + e.hireDate + "{e;$c03;a=r} {tab= +1000} DNI : " + rpvText(e.electoral) +
    "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Nro. Seguro   : " + rpvText(e.carnet) + "{e;$c03;a=r} {tab= +1000} C.U.S.P.P. : " + rpvText(e.nroafp) +
    "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Mes de Pago   : Gratificacion " + s.MES_CIE + "  " + s.ANO_CIE + "{t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Dias Trab.    : {t;$c03;a=r}{tab= +110} Horas Trab.: {t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Tipo Trab.    : " + rpvText(e.typeName) + "{t;\\n;\\n}");
  b += slipCaptions();
  std::vector<SlipPair> pairs = slipFirstPairs(row);
  pairs.insert(pairs.end(), {
      {"Escolaridad   :", amt(row, "ESCOLAR"), " Desc.Judicial     :", amt(row, "RETJUD")},
      {"Movilidad     :", amt(row, "MOVILI"), " Rta.5ta.Categoria :", amt(row, "RTA_5TA")},
      {"Gratificacion :", amt(row, "GRATIF"), "Es-Vida           :", amt(row, "ESVIDA")},
      {"Otros Ingresos:", amt(row, "OTROSP"), " Adelantos         :", amt(row, "ADELANTO")},
      {"Bonif.Extraord:", amt(row, "BONIFI"), " Otros Dsctos.     :", amt(row, "OTROSD")},
  });
  b += slipAmountLines(pairs, /*lastBlank=*/false);
  L("{e;$c03;a=l} {tab= -1100}Total Descuentos  :{e;$c04;a=r} {tab= -350}" + amt(row, "T_DSCTOT") +
    "{t;\\n;\\n;\\n;\\n}");
  b += slipContributions(row);
  L("{e;$c03;a=l} {tab= -1100} I.E.S.             :{e;$c04;a=r} {tab= -350}" + amt(row, "FONAVIE") + "{t;\\n;\\n}");
  // One line feed fewer than the payslip's totals take: the slip keeps to one page.
  b += slipClosing(row, in, code, costCentre, "{t;b=n;\\n;\\n}");
  return b;
}

// The texts and tables that tell the two payslip screens apart.
struct SlipKind {
  std::string title;  // of the refusals ("" = "Stop")
  const char* institutionTableMissing;
  const char* institutionMissing;
  const char* parametersMissing;
  const char* employeesMissing;
  std::string resultsMissing;
  const char* typesMissing;
  TableId results;
  bool vacation;  // the month's vacation roll is read
};

bool checkSlipPreconditions(Session& s, PayslipValues& out, const SlipKind& k) {
  if (!companyChosen(s, k.title) ||
      !institutionRecord(s, out.institution, k.institutionTableMissing, k.institutionMissing, k.title))
    return false;
  Status err;
  switch (readSignatureChoice(s, out.firma, &err)) {
    case Lookup::Found:
      break;
    case Lookup::TableMissing:
    case Lookup::RecordMissing:
      stopBox(s, k.parametersMissing, k.title);
      return false;
    case Lookup::Failed:
      stopBox(s, err.message(), "Mensaje");
      return false;
  }
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, k.employeesMissing, k.title);
    return false;
  }
  if (!tableExists(s, k.results)) {
    stopBox(s, k.resultsMissing, k.title);
    return false;
  }
  if (!tableExists(s, TableId::WorkerTypes)) {
    stopBox(s, k.typesMissing, k.title);
    return false;
  }
  if (!openAs(s, TableId::EmployeeMaster, kAliasEmployees) || !openAs(s, k.results, kAliasPayroll) ||
      !openAs(s, TableId::WorkerTypes, kAliasTypes)) {
    s.closeAll();
    return false;
  }
  out.vacationOpen = false;
  if (int area = s.areaOf(kAliasVacation); area != 0) s.close(area);
  if (k.vacation && tableExists(s, TableId::VacationRoll)) {
    if (!openAs(s, TableId::VacationRoll, kAliasVacation)) {
      s.closeAll();
      return false;
    }
    out.vacationOpen = true;
  }
  Table* results = s.alias(kAliasPayroll);
  Status st = results->goTop();
  if (!st) {
    showStatus(s, st);
    s.closeAll();
    return false;
  }
  if (results->eof()) {
    stopBox(s, "Sin Registros ", k.title);
    s.closeAll();
    return false;
  }
  (void)warnIfStale(s, k.results == TableId::GratSoles ? kRunGratification : kRunPayroll);
  return true;
}

// The settings block of both payslips.
ReportSettings slipSettings(const char* title, bool payslipMark) {
  ReportSettings st;
  st.title = title;
  st.orientation = 1;
  st.c00 = 400;
  st.payslipMark = payslipMark;
  st.base = 800;
  st.widths = {8, 26, 18, 26, 6, 17, 10, 10};
  return st;
}

// Writes one slip per result row of `key` (the table is on the first of them).
template <class Body>
bool writeSlips(Session& s, RpvWriter& w, Table& results, const std::string& key, Body body) {
  while (!results.eof() && results.str("CODIGO") == key) {
    Status sk = checkNumbers(results);  // an amount that cannot be read is not printed as 0
    if (sk) w.PRINTLINE(body(results));
    if (sk) sk = results.skip(1);
    if (!sk) {
      showStatus(s, sk);
      s.closeAll();
      return false;
    }
  }
  return true;
}

}  // namespace

bool checkPayslipPreconditions(Session& s, PayslipValues& out) {
  return checkSlipPreconditions(
      s, out,
      {"", "Tabla de Institucion  No Existe  ", "Maestro De Institucion  No Existe  ", "Maestro De Parametros No Existe",
       "Maestro De Empleados No Existe  ", "Archivo Planilla-1 Mes " + s.YMES + " No Existe",
       "Maestro Tipo De Trabajador  No Existe, (Crearlo) ", TableId::PayrollSoles, true});
}

bool checkGratiSlipPreconditions(Session& s, PayslipValues& out) {
  return checkSlipPreconditions(
      s, out,
      {"Lea El Mensaje", "Tabla de Institucion  No Existe ", "Maestro De Institucion  No Existe  ",
       "Maestro De Parametros No Existe ", "Maestro De Empleados No Existe ", "Archivo Gratificaciones No Existe ",
       "Maestro Tipo De Trabajador  No Existe, (Crearlo) ", TableId::GratSoles, false});
}

bool CODPER(Session& s, const std::string& code, std::string* name, std::string* costCentre) {
  Table* emp = s.alias(kAliasEmployees);
  if (emp && emp->setOrder(1).isOk() && emp->seek(codeKey(code))) {
    if (name) *name = emp->str("NOMBRE");
    if (costCentre) *costCentre = emp->str("CCOSTO");
    return true;
  }
  ui::MSGALERT(s.messages(), "Codigo Empleado  " + code + " No Existe", "Error En Ingreso De Dato");
  return false;
}

bool PREP401(Session& s, const std::string& code, const PayslipValues& values, const std::string& costCentre,
             bool startViewer) {
  Table* emp = s.alias(kAliasEmployees);
  Table* payroll = s.alias(kAliasPayroll);
  Table* types = s.alias(kAliasTypes);
  Table* vac = values.vacationOpen ? s.alias(kAliasVacation) : nullptr;
  if (!emp || !payroll || !types) {
    stopBox(s, "Las tablas de la boleta no estan abiertas", "Mensaje");
    s.closeAll();
    return false;
  }
  const std::string key = codeKey(code);
  (void)emp->setOrder(1);
  if (!emp->seek(key)) {
    stopBox(s, "Trabajador " + code + " No Existe");
    s.closeAll();
    return false;
  }
  const SlipEmployee e = readSlipEmployee(*emp, *types);
  VacationData v;
  if (vac && vac->seek(key)) {
    v.start = vac->date("INIVACA");
    v.end = vac->date("FINVACA");
    v.days = vac->num("DIAVAC");
    v.daysText = NUM_CAR(v.days, 2);
  }
  if (!payroll->seek(key)) {
    stopBox(s, "Trabajador  " + code + " Sin Boleta ");
    s.closeAll();
    return false;
  }
  RpvWriter w(s.dataDir());
  w.settings(slipSettings("Boleta De Pago", true));
  w.PRINTLINE(slipHeader(values.firma));
  if (!writeSlips(s, w, *payroll, key,
                  [&](const Table& row) { return payslipBody(s, row, e, v, values, code, costCentre); }))
    return false;
  return finishReport(s, w, startViewer, pdfNameOf(s, "boleta", code));
}

bool PREP403(Session& s, const std::string& code, const std::string& shownName, const PayslipValues& values,
             const std::string& costCentre, bool startViewer) {
  const std::string title = "Lea El Mensaje";
  Table* emp = s.alias(kAliasEmployees);
  Table* grati = s.alias(kAliasPayroll);
  Table* types = s.alias(kAliasTypes);
  if (!emp || !grati || !types) {
    stopBox(s, "Las tablas de la boleta no estan abiertas", "Mensaje");
    s.closeAll();
    return false;
  }
  const std::string key = codeKey(code);
  (void)emp->setOrder(1);
  if (!emp->seek(key)) {
    stopBox(s, "Trabajador " + code + " No Existe", title);
    s.closeAll();
    return false;
  }
  const SlipEmployee e = readSlipEmployee(*emp, *types);
  if (!grati->seek(key)) {
    stopBox(s, "Trabajador " + shownName + " Sin Boleta Gratificacion ", title);
    s.closeAll();
    return false;
  }
  RpvWriter w(s.dataDir());
  w.settings(slipSettings("Boleta De Gratificacion", false));
  w.PRINTLINE(slipHeader(values.firma));
  if (!writeSlips(s, w, *grati, key,
                  [&](const Table& row) { return gratiSlipBody(s, row, e, values, code, costCentre); }))
    return false;
  return finishReport(s, w, startViewer, pdfNameOf(s, "boleta_gratificacion", code));
}

}  // namespace planilla::reports
