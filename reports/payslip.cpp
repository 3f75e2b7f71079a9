#include "reports/payslip.h"

#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "reports/runrpv.h"
#include "store/catalog.h"
#include "ui/messages.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

constexpr const char* kAliasEmployees = "RepEmplea";
constexpr const char* kAliasPayroll = "RepFijos";
constexpr const char* kAliasTypes = "Tipos";
constexpr const char* kAliasVacation = "DatVac";

void stop(Session& s, const std::string& text) { ui::MSGSTOP(s.messages(), text); }

// Opens `id` in a free area under `alias`; false after a message when it cannot be.
bool openAs(Session& s, TableId id, const std::string& alias) {
  const int area = s.firstFreeArea();
  if (area == 0) {
    ui::MSGSTOP(s.messages(), "No hay areas de trabajo libres", "Mensaje");
    return false;
  }
  Result<Table*> t = s.open(area, s.def(id), std::nullopt, alias);
  if (!t) {
    const Status& st = t.status();
    ui::MSGSTOP(s.messages(),
                st.code() == ErrorCode::InUse ? std::string("Apertura Denegada El Archivo Esta En Uso") : st.message(),
                "Mensaje");
    return false;
  }
  if (t.value()->tagCount() > 0) (void)t.value()->setOrder(1);
  return true;
}

bool exists(Session& s, TableId id) { return catalog::tableExists(s.fs(), s.dataDir(), s.def(id)); }

// The code as the key of a 10-character code field.
std::string codeKey(const std::string& code) { return padTo(code, 10); }

std::string amt(const Table& t, const char* field) { return amount(t.num(field), kPicPayslip); }

std::string amountLine(const std::string& L, const std::string& R, const std::string& left,
                       const std::string& leftAmount, const std::string& right, const std::string& rightAmount,
                       bool last) {
  return "{e;$c01;a=l} {tab= " + L + "} " + left + "{e;$c02;a=r} {tab= " + R + "}" + leftAmount +
         "{e;$c03;a=l} {tab= -1100}" + right + "{e;$c04;a=r} {tab= -350}" + rightAmount +
         (last ? "{t;\\n;\\n}" : "{t;\\n}") + kCrLf;
}

struct EmployeeData {
  std::string nombre, cargo, carnet, nroafp, electoral, hireDate, typeName;
};

struct VacationData {
  Date start, end;
  double days = 0;
  std::string daysText = "  ";
};

std::string payslipBody(Session& s, const Table& row, const EmployeeData& e, const VacationData& v,
                        const PayslipValues& pv, const std::string& code, const std::string& costCentre) {
  const InstitutionData& in = pv.institution;
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  L("{e;$c01;a=l;b=y} {tab= +2100} BOLETA DE REMUNERACIONES{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l} {tab=+2600} D.S. Nro. 020-2008-TR{t;\\n;\\n;\\n}");
  L("{e;$c01;a=l;b=y;s=9} {tab= +50} DATOS DEL EMPLEADOR :{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l;b=y} {tab= +50} Razon Social :  " + s.YNOMBRE1 + "{t;\\n;b=n}");
  L("{e;$c01;a=l} {tab= +50} Registro Patronal :  " + in.patro + "{e;$c03;a=l} {tab= -500} Ruc :  " + in.ruc +
    "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Direccion  :" + in.direc + "{t;\\n;\\n}");
  L("{e;$c01;a=l;b=y;s=9} {tab= +50} DATOS DEL TRABAJADOR(A) :{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l}{tab= +50} Nombre  : " + e.nombre + "{t;\\n}");
  L("{e;$c01;a=l}{tab=+50} Cargo   : " + e.cargo + "{e;$c03;a=l}{tab=+250} DNI : " + e.electoral + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Mes de Pago   : " + s.MES_CIE + "  " + s.ANO_CIE +
    "{e;$c03;a=r} {tab= +1210} Fecha Ingreso : " + e.hireDate + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Nro. Seguro   : " + e.carnet + "{e;$c03;a=r} {tab= +1120} C.U.S.P.P. : " + e.nroafp +
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
  L("{e;$c01;a=l}{tab= +50} Tipo Trab.    : " + e.typeName.substr(0, 38) +
    "{e;$c03;a=l}{tab= +800} Faltas    :{e;$c03;a=l}{tab= +2150}" + amount(row.num("FRACCION"), kPicDays3) +
    "{t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Dias Subsid.  :" + amount(row.num("SUBSI"), kPicDays3) +
    "{t;$c02;a=l}{tab= -700} Dias No Labor. y no Subsid.: " + amount(row.num("NOSUBS"), kPicDays3) +
    "{e;$c03;a=l}{tab= +800} Tardanzas : " + amount(row.num("TARDANZA"), kPicDays3) + "{t;\\n;\\n}");
  L("{e;$c01;a=l;b=y} {tab= +600} REMUNERACIONES    S/.{e;$c03;a=l} {tab= -300} DESCUENTO TRABAJADOR(A)   "
    "S/.{t;b=n;\\n;\\n}");
  struct Pair {
    const char* left;
    std::string leftAmount;
    const char* right;
    std::string rightAmount;
  };
  const Pair pairs[12] = {
      {"Rem.Mensual   :", amt(row, "BAS_QUI"), " O.N.P.            :", amt(row, "SNPT")},
      {"Asig.Familiar :", amt(row, "ASIGNA"), " Pension  AFP      :", amt(row, "AAPOR1")},
      {"Horas Extras  :", amount(row.num("HSIMPLE_P") + row.num("HDOBLE_P"), kPicPayslip), " Seguro AFP        :",
       " " + amt(row, "AAPOR2")},
      {"Vacaciones    :", amt(row, "VACACI"), " Comision AFP      :", " " + amt(row, "AAPOR3")},
      {"Refrigerio    :", amt(row, "REFRIG"), " Desc.Judicial     :", amt(row, "RETJUD")},
      {"Movilidad     :", amt(row, "MOVILI"), " Rta.5ta.Categoria :", amt(row, "RTA_5TA")},
      {"Gratificacion :", amt(row, "GRATIF"), "Es-Vida           :", amt(row, "ESVIDA")},
      {"Bono Producc. :", amt(row, "PRODUC"), " Adelantos         :", amt(row, "ADELANTO")},
      {"Dias Trabajado:", amt(row, "DIASTRA"), " Otros Dsctos.     :", amt(row, "OTROSD")},
      {"Utilidad      :", amt(row, "UTILI"), " Cuota Sindical    :", amt(row, "CUOSIN")},
      {"CTS           :", amt(row, "CTS"), " Tardanzas         :", amt(row, "TARDAN")},
      {"Subsidios     :", amt(row, "SUBSID"), "Total Descuentos  :", amt(row, "T_DSCTOT")},
  };
  for (int i = 0; i < 12; ++i)
    b += amountLine(i < 2 ? "+150" : "150", i < 2 ? "+300" : "300", pairs[i].left, pairs[i].leftAmount,
                    pairs[i].right, pairs[i].rightAmount, i == 11);
  L("{e;$c03;a=l} {tab= -100} APORTACIONES EMPLEADOR{t;\\n}");
  L("{e;$c03;a=l} {tab= -1100} RCSSS              :{e;$c04;a=r} {tab= -350}" + amt(row, "IPSSE") + "{t;\\n}");
  L("{e;$c03;a=l} {tab= -1100} SCTR-SALUD         :{e;$c04;a=r} {tab= -350}" + amt(row, "SNPE") + "{t;\\n;\\n}");
  L("{e;$c01;a=l} {tab= 150} Total Remuneracion :{e;$c02;a=r} {tab= 300}" + amt(row, "TBRUTO") +
    "{e;$c03;a=l} {tab= -1100} Total Aportaciones :{e;$c04;a=r} {tab= -350}" + amt(row, "T_DSCTOE") +
    "{t;\\n;\\n;\\n}");
  L("{e;$c03;a=l} {tab= -1100} Neto A Pagar :    S/.{e;$c04;a=r} {tab= -350}" + amt(row, "TPAGAR") +
    "{t;\\n;\\n;\\n;\\n;\\n;\\n;\\n}");
  L("{e;$c01;a=l;b=y} {tab= +650} ---------------------{t;\\n}");
  L("{e;$c01;a=l} {tab= +650} " + in.nombres + "{e;$c03;a=l} {tab= +200}{t;\\n}");
  L("{e;$c01;a=l} {tab=" + numberText(in.lineacar) + "} " + in.cargo +
    "{e;$c03;a=l} {tab= +200} TRABAJADOR(A){t;b=n;\\n;\\n}");
  L("{e;$c00;a=l}{tab= +900} KYL" + rtrim(code) + "/" + costCentre + "{t;b=n;\\n;\\n}");
  return b;
}

std::string payslipHeader(const std::string& firma) {
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

}  // namespace

bool checkPayslipPreconditions(Session& s, PayslipValues& out) {
  auto blank = [](const std::string& v) { return v.find_first_not_of(' ') == std::string::npos; };
  if (blank(s.YCIA) || blank(s.YANO) || blank(s.YMES)) {
    stop(s, "Primero, Elija La Compania Con Que Va a Trabajar (cia)");
    return false;
  }
  Status err;
  switch (readInstitution(s, out.institution, &err)) {
    case Lookup::Found:
      break;
    case Lookup::TableMissing:
      stop(s, "Tabla de Institucion  No Existe  ");
      return false;
    case Lookup::RecordMissing:
      stop(s, "Maestro De Institucion  No Existe  ");
      return false;
    case Lookup::Failed:
      ui::MSGSTOP(s.messages(), err.message(), "Mensaje");
      return false;
  }
  switch (readSignatureChoice(s, out.firma, &err)) {
    case Lookup::Found:
      break;
    case Lookup::TableMissing:
    case Lookup::RecordMissing:
      stop(s, "Maestro De Parametros No Existe");
      return false;
    case Lookup::Failed:
      ui::MSGSTOP(s.messages(), err.message(), "Mensaje");
      return false;
  }
  if (!exists(s, TableId::EmployeeMaster)) {
    stop(s, "Maestro De Empleados No Existe  ");
    return false;
  }
  if (!exists(s, TableId::PayrollSoles)) {
    stop(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe");
    return false;
  }
  if (!exists(s, TableId::WorkerTypes)) {
    stop(s, "Maestro Tipo De Trabajador  No Existe, (Crearlo) ");
    return false;
  }
  // A previous run of the screen may have left its tables open.
  for (const char* alias : {kAliasEmployees, kAliasPayroll, kAliasTypes, kAliasVacation})
    if (int area = s.areaOf(alias); area != 0) s.close(area);
  if (!openAs(s, TableId::EmployeeMaster, kAliasEmployees) || !openAs(s, TableId::PayrollSoles, kAliasPayroll) ||
      !openAs(s, TableId::WorkerTypes, kAliasTypes)) {
    s.closeAll();
    return false;
  }
  out.vacationOpen = false;
  if (exists(s, TableId::VacationRoll)) {
    if (!openAs(s, TableId::VacationRoll, kAliasVacation)) {
      s.closeAll();
      return false;
    }
    out.vacationOpen = true;
  }
  Table* payroll = s.alias(kAliasPayroll);
  Status st = payroll->goTop();
  if (!st) {
    ui::MSGSTOP(s.messages(), st.message(), "Mensaje");
    s.closeAll();
    return false;
  }
  if (payroll->eof()) {
    stop(s, "Sin Registros ");
    s.closeAll();
    return false;
  }
  return true;
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
    ui::MSGSTOP(s.messages(), "Las tablas de la boleta no estan abiertas", "Mensaje");
    s.closeAll();
    return false;
  }
  const std::string key = codeKey(code);
  (void)emp->setOrder(1);
  if (!emp->seek(key)) {
    stop(s, "Trabajador " + code + " No Existe");
    s.closeAll();
    return false;
  }
  EmployeeData e;
  e.nombre = emp->str("NOMBRE");
  e.cargo = emp->str("CARGO");
  e.carnet = emp->str("CARNET");
  e.nroafp = emp->str("NROAFP");
  e.electoral = emp->str("ELECTORAL");
  e.hireDate = writerDate(emp->date("FECH_ING"));
  const std::string tiptrab = emp->str("TIPTRAB");
  e.typeName = types->seek(tiptrab) ? types->str("NOMBRE") : std::string(" ");

  VacationData v;
  if (vac && vac->seek(key)) {
    v.start = vac->date("INIVACA");
    v.end = vac->date("FINVACA");
    v.days = vac->num("DIAVAC");
    v.daysText = NUM_CAR(v.days, 2);
  }

  if (!payroll->seek(key)) {
    stop(s, "Trabajador  " + code + " Sin Boleta ");
    s.closeAll();
    return false;
  }

  RpvWriter w(s.dataDir());
  ReportSettings st;
  st.title = "Boleta De Pago";
  st.orientation = 1;
  st.c00 = 400;
  st.payslipMark = true;
  st.base = 800;
  st.widths = {8, 26, 18, 26, 6, 17, 10, 10};
  w.settings(st);
  w.PRINTLINE(payslipHeader(values.firma));
  while (!payroll->eof() && payroll->str("CODIGO") == key) {
    w.PRINTLINE(payslipBody(s, *payroll, e, v, values, code, costCentre));
    Status sk = payroll->skip(1);
    if (!sk) {
      ui::MSGSTOP(s.messages(), sk.message(), "Mensaje");
      s.closeAll();
      return false;
    }
  }
  s.closeAll();
  Status written = w.close();
  if (!written) {
    ui::MSGSTOP(s.messages(), written.message(), "Mensaje");
    return false;
  }
  if (startViewer) {
    Status started = RUNRPV(s.dataDir(), kReportFile);
    if (!started) ui::MSGSTOP(s.messages(), started.message(), "Mensaje");
  }
  return true;
}

}  // namespace planilla::reports
