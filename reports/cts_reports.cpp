#include "reports/cts_reports.h"

#include <cstdlib>

#include "reports/report_common.h"
#include "reports/report_format.h"
#include "ui/messages.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

constexpr const char* kNoCts = "File de CTS  No Generada";

std::string currencyLabel(const std::string& c) {
  if (c == "S") return "S/.";
  if (c == "D") return "USD";
  if (c == "E") return "Euros";
  return std::string();
}

// The CTS table of the working month; false in any month but May and November.
bool ctsTableDef(const Session& s, catalog::TableDef& def) {
  if (s.YMES != "05" && s.YMES != "11") return false;
  def = s.def(s.YMES == "05" ? TableId::CtsMay : TableId::CtsNovember);
  return true;
}

// The CTS rate record of the working month ("88 888" in May, "99 999" in November).
// False after the message when the table or the record is missing.
bool readCtsRates(Session& s, CtsRates& r, const char* tableMissing) {
  if (!tableExists(s, TableId::ExchangeRates)) {
    stopBox(s, tableMissing, "Mensaje");
    return false;
  }
  if (s.YMES != "05" && s.YMES != "11") return true;  // no rate is read; the CTS table check refuses later
  const std::string code = s.YMES == "05" ? "88 888" : "99 999";
  Table* t = openAs(s, TableId::ExchangeRates, "MaeCamb");
  if (!t) return false;
  const bool found = t->seek(code);
  if (found) {
    r.tipCam = t->num("TIP_CAM");
    r.tipCame = t->num("TIP_CAME");
    r.tipEuro = t->num("TIP_EURO");
  }
  s.close(s.areaOf("MaeCamb"));
  if (!found) {
    stopBox(s, "Tipo Cambio " + code + (s.YMES == "05" ? "  Para Cts Mes Mayo No Existe" : "  Para Cts Mes Noviembre No Existe"),
            "Mensaje");
    return false;
  }
  return true;
}

// A conversion needs a rate; a zero rate would deposit nothing or divide by zero.
bool rateUsable(Session& s, const CtsDeposit& d) {
  if (!d.converted || d.rate != 0) return true;
  stopBox(s, "Tipo De Cambio Para Cts En Cero: " + rtrim(d.rateCaption), "Mensaje");
  return false;
}

const char* const kMonthNames[] = {"Enero", "Febrero", "Marzo",     "Abril",   "Mayo",      "Junio",
                                   "Julio", "Agosto",  "Setiembre", "Octubre", "Noviembre", "Diciembre"};

// The period settled, for MESES 1 to 6; empty otherwise.
std::string periodText(const std::string& mes, int meses, int year) {
  if (meses < 1 || meses > 6) return std::string();
  static const char* const kMay[] = {"abril", "marzo", "febrero", "enero", "diciembre", "noviembre"};
  static const char* const kNov[] = {"octubre", "setiembre", "agosto", "julio", "junio", "mayo"};
  const bool may = mes == "05";
  const int startYear = may && meses >= 5 ? year - 1 : year;
  return std::string("del 01 de ") + (may ? kMay : kNov)[meses - 1] + " del " + std::to_string(startYear) +
         (may ? " al 30 de abril del " : " al 31 de octubre del ") + std::to_string(year);
}

}  // namespace

CtsDeposit ctsDeposit(const std::string& dolar, const std::string& monedaIn, double total, const CtsRates& r) {
  const std::string moneda = rtrim(monedaIn).empty() ? dolar : monedaIn;
  CtsDeposit d;
  if (dolar == moneda || (dolar != "S" && dolar != "D" && dolar != "E")) {
    // Same currency; a pay currency the system does not know cannot be converted, so
    // the amount stays as computed.
    d.amount = total;
    d.label = currencyLabel(dolar);
    return d;
  }
  d.converted = true;
  bool divide = true;
  if (dolar == "S" && moneda == "D") {
    d.rateCaption = "Tipo Cambio ", d.rate = r.tipCam, d.label = "USD";
  } else if (dolar == "S") {
    d.rateCaption = "Cambio Euro/Soles ", d.rate = r.tipCame, d.label = "Euros";
  } else if (dolar == "D" && moneda == "S") {
    d.rateCaption = "Tipo Cambio ", d.rate = r.tipCam, d.label = "S/.", divide = false;
  } else if (dolar == "D") {
    d.rateCaption = "Cambio Euro/Dolar", d.rate = r.tipEuro, d.label = "Euros";
  } else if (moneda == "S") {
    d.rateCaption = "Cambio Euro/Soles", d.rate = r.tipCame, d.label = "S/.", divide = false;
  } else {
    d.rateCaption = "Cambio Euro/Dolar", d.rate = r.tipEuro, d.label = "USD", divide = false;
  }
  if (divide)
    d.amount = d.rate != 0 ? round2(total / d.rate) : 0;
  else
    d.amount = round2(total * d.rate);
  return d;
}

bool checkCtsCertificate(Session& s, CtsCertificateValues& out) {
  const std::string title = "Mensaje";
  if (!companyChosen(s, title)) return false;
  if (!institutionRecord(s, out.institution, "Tabla de Institucion  No Existe", "Codigo De Institucion  No Existe", title)) return false;
  Status err;
  switch (readSignatureChoice(s, out.firma, &err)) {
    case Lookup::Found:
      break;
    case Lookup::Failed:
      showStatus(s, err);
      return false;
    default:
      stopBox(s, "Maestro De Parametros No Existe", title);
      return false;
  }
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe", title);
    return false;
  }
  return openAs(s, TableId::EmployeeMaster, "RepEmplea") != nullptr;
}

bool CODPERQUINTA(Session& s, const std::string& code, CtsEmployee& e) {
  Table* emp = s.alias("RepEmplea");
  bool found = emp && emp->setOrder(1).isOk() && emp->seek(padTo(code, 10));
  if (found) {
    e.code = padTo(code, 10);
    e.name = emp->str("NOMBRE");
    e.costCentre = emp->str("CCOSTO");
    e.electoral = emp->str("ELECTORAL");
    e.direccion = emp->str("DIRECCION");
    e.cargo = emp->str("CARGO");
    e.ctacte = emp->str("CTACTE");
    e.banco = emp->str("BANCO");
  }
  if (emp) (void)emp->setOrder(2);
  if (!found) ui::MSGALERT(s.messages(), "Codigo Empleado  " + code + " No Existe", "Error En Ingreso De Dato");
  return found;
}

bool PREP430(Session& s, const CtsEmployee& e, const CtsCertificateValues& values, const Date& certificate,
             bool startViewer) {
  const std::string title = "Mensaje";
  CtsRates rates;
  if (!readCtsRates(s, rates, "Maestro Tipo Cambios No Existe")) return false;
  if (!tableExists(s, TableId::Banks)) {
    stopBox(s, "Maestro De Bancos No Existe", title);
    return false;
  }
  std::string bankName = " ";
  if (Table* banks = openAs(s, TableId::Banks, "MaeBanc")) {
    if (banks->seek(e.banco)) bankName = banks->str("NOMBRE");
    s.close(s.areaOf("MaeBanc"));
  } else {
    return false;
  }
  catalog::TableDef def;
  if (!ctsTableDef(s, def) || !tableExists(s, def)) {
    stopBox(s, kNoCts, title);
    return false;
  }
  Table* cts = openAs(s, def, "DataCts");
  if (!cts) return false;
  if (!cts->seek(e.code)) {
    stopBox(s, "Trabajador No Tiene CTS Generada", title);
    s.close(s.areaOf("DataCts"));
    return false;
  }
  if (Status st = checkNumbers(*cts); !st) {
    showStatus(s, st);
    s.close(s.areaOf("DataCts"));
    return false;
  }
  const std::string nombre = cts->str("NOMBRE"), dolar = cts->str("DOLAR"), moneda = cts->str("MONEDA");
  const double basMen = cts->num("BAS_MEN"), asigna = cts->num("ASIGNA"), grati16 = cts->num("GRATI16"),
               recompu = cts->num("RECOMPU"), calculo = cts->num("CALCULO"), depante = cts->num("DEPANTE");
  const int meses = static_cast<int>(cts->num("MESES"));
  const double days = (30 - cts->num("DIAS1")) + 1;
  s.close(s.areaOf("DataCts"));
  const CtsDeposit dep = ctsDeposit(dolar, moneda, calculo + depante, rates);
  if (!rateUsable(s, dep)) return false;

  const InstitutionData& in = values.institution;
  RpvWriter w(s.dataDir());
  ReportSettings st;
  st.title = "Liquidacion Deposito CTS";
  st.orientation = 1;
  st.c00 = 600;
  st.base = 690;
  st.widths = {2, 18, 18, 18, 8, 8, 8};
  w.settings(st);
  std::string b;
  auto L = [&](const std::string& t) { b += t + kCrLf; };
  const std::string pic = signaturePicture(values.firma);
  if (!pic.empty()) {
    L("[Header]");
    L("{f=Lucida Console;f=Times New Roman;\\n;s=9}");
    L("{w=2;box=550,2000,10400,12970}");
    L("{$c00;a=l;\\n;s=6} {tab=900}{\\n}");
    L(values.firma[0] == '2' ? "{pic=firjpg2.jpg,1450,12250,3500,1000}" : "{pic=firRov2.jpg,2250,12400,1600,950}");
    L("{\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n;$c00;s=12;b=y;a=l;u=y} {tab=1800} LIQUIDACION DE DEPOSITO SEMESTRAL DE CTS{\\n}");
    L("{\\n;$c00;a=l} {\\n;\\n;u=n;b=n}");
    L("[Data]");
  }
  const std::string cur = currencyLabel(dolar);
  const auto amt = [](double v) { return amount(v, kPicSummary); };
  // The employer is the working company, named by its own record.
  L("{e;$c01;a=l;s=10;f=Lucida Console} {tab=20} " + rpvText(rtrim(s.YNOMBRE1)) + ", con  RUC Nro. " + rpvText(rtrim(in.ruc)) +
    ", con{t;\\n}");
  L("{e;$c01;a=l} {tab=20} domicilio legal en  " + rpvText(in.direc) + "{t;\\n}");
  L("{e;$c01;a=l} {tab=20} representado legalmente por Don(Do\xF1" "a) " + rpvText(in.nombres) + "{t;\\n}");
  L("{e;$c01;a=l} {tab=20} identificado(a) con DNI Nro. " + rpvText(in.dni) + "  en aplicacion del articulo 24 del{t;\\n}");
  L("{e;$c01;a=l}{tab=20} TUO del D.Leg.650, Ley de Compensacion por  Tiempo de Servicios aprobado{t;\\n}");
  L("{e;$c01;a=l} {tab=20} mediante el DS Nro.001-97TR otorga a{e;$c03;b=y;a=l} {tab=300}" + rpvText(nombre) + "{t;\\n;b=n}");
  L("{e;$c01;a=l;s=10} {tab=20} la presente constancia  del  deposito de su  compensacion  por tiempo de{t;\\n}");
  const int cm = certificate.month();
  L("{$c01;a=l} {tab=20}servicios realizado el dia " + NUM_CAR(certificate.day(), 2) + " De " +
    (cm >= 1 && cm <= 12 ? kMonthNames[cm - 1] : "") + " Del " + std::to_string(certificate.year()) +
    ",en la cuenta CTS Nro{t;\\n}");
  // The bank follows the account number (a fixed offset would print over a long one).
  L("{e;$c01;a=l;b=y} {tab=20} " + rpvText(rtrim(e.ctacte)) + "{b=n}  del " + rpvText(rtrim(bankName)) + "{t;\\n}");
  L("{e;$c01;a=l} {tab=20} por los siguientes montos y periodos:{t;\\n;\\n;\\n}");
  L("{e;$c01;a=l;s=12;u=y;b=y}{tab=20} 1. Periodo que se liquida:{t;\\n;s=10;u=n;b=n}");
  const int year = std::atoi(s.ANO_CIE.c_str());
  const std::string period = periodText(s.YMES, meses, year);
  if (!period.empty())
    L("{e;$c01;a=l} {tab=20}{t;\\n}{tab=320} " + period + "{t;\\n;\\n}");
  else if (s.YMES == "05")
    L("{e;$c01;a=l} {tab=20}{t;\\n}{tab=320} " + amount(days, kPicDays2) + " dias del primer deposito respectivo del " +
      s.ANO_CIE + "{t;\\n;\\n}");
  else
    L("{e;$c01;a=l} {tab=20}{t;\\n}{tab=320}  " + amount(days, kPicDays2) +
      " dias del segundo deposito respectivo del " + s.ANO_CIE + "{t;\\n;\\n}");
  // The currency of the amounts heads their column (right of the heading, which is
  // wider than its stop allows in the fixed-width face).
  L("{e;\\n;$c01;a=l;s=12;u=y;b=y}{tab=20} 2. Remuneracion computable{u=n;$c04;a=r}{tab= 1150}" + cur +
    "{e;\\n;\\n;$c01;s=10;b=n;a=l}{tab=320}  - Remuneracion Basica {e;$c04;a=r}{tab= 1150}  " + amt(basMen) +
    "{e;\\n;$c01;a=l}{tab=320}  - Asignacion Familiar{e;$c04;a=r}{tab= 1150}  " + amt(asigna) +
    "{e;\\n;$c01;a=l}{tab=320}  - 1/6 de Gratificacion{e;$c04;a=r}{tab= 1150}  " + amt(grati16) +
    "{e;\\n;$c03;a=l}{tab=2000}        -------------{e;\\n;$c02;a=l;b=y}{tab=-400}Total Remuneracion Computable"
    "{e;$c04;a=r}{tab=1150}" +
    amt(recompu) + "{t;\\n}");
  L("{\\n;$c00;s=12;b=y;a=l;u=y;b=y} {tab=510} 3. CALCULO:{\\n;s=10;b=n}");
  L("{t;\\n;u=n;b=n}");
  L("{e;$c01;a=l} {tab=550} por los meses respectivos");
  L("{t;\\n}");
  L("{e;$c01;a=l}{tab=550}" + amt(recompu) + "{e;$c02;a=l} {tab=-550} / 12 x " + amount(meses, kPicDays2) +
    (meses == 6 ? std::string("m ") : "m  x " + amount(days, kPicDays2) + "d "));
  L("{e;$c04;a=r} {tab=1150}  " + cur + "   " + amt(calculo) + "{t;\\n;\\n}");
  if (depante != 0)
    L("{e;$c01;b=n;a=l}{tab=320}  - Deposito CTS Periodo Anterior{e;$c04;a=r}{tab= 1150}  " + amt(depante) +
      "{e;\\n;$c03;a=l}{tab=2000}        -------------{e;\\n;$c02;a=l;b=y}{tab=-400}Total Deposito CTS"
      "{e;$c04;a=r}{tab=1150}" +
      amt(calculo + depante) + "{t;b=n;\\n;\\n;\\n}");
  else
    L("{e;$c01;a=l} {t;b=n;\\n;\\n;\\n}");
  if (dep.converted) {
    L("{\\n;$c00;s=11;a=l} {tab=510} " + dep.rateCaption);
    L("{e;$c03;a=r} {tab=250}" + amount(dep.rate, kPicRate) + "{t;\\n}");
  }
  L("{\\n;$c00;s=11;b=y;a=l;u=y} {tab=510} MONTO DEPOSITADO EN CUENTA CTS");
  const std::string label = (dep.converted && dep.label == "S/." ? "   " : "  ") + dep.label;
  L("{e;$c03;a=l;u=n} {tab=1300}" + label + "{e;$c04;a=r} {tab=1150}   " + amt(dep.amount) + "{t;\\n}");
  L(std::string("{e;$c03;a=l} {tab=1700}        -------------") +
    (dep.converted ? "{t;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n}" : "{t;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n}"));
  L("{e;$c01;a=l;b=y} {tab= +600} ---------------------");
  L("{e;$c03;a=l;b=y} {tab= +800} ----------------------{t;\\n}");
  // The representative's name stops short of the employee's beside it.
  L("{e;$c01;a=l} {tab= +600}" + rpvText(in.nombres.substr(0, 32)) + "{e;$c03;a=l} {tab= +160}" + rpvText(nombre) + "{t;\\n}");
  L("{e;$c01;a=l} {tab=+960} " + rpvText(in.cargo.substr(0, 34)) + "{e;$c03;a=l} {tab=+900} TRABAJADOR(A){t;b=n;\\n;\\n;\\n}");
  // The reference mark stays on the certificate's page.
  L("{\\n}");
  L("{$c01;s=6}{tab=-480}<KylCTS>");
  L("{\\n}");
  L("{\\n}");
  w.PRINTLINE(b);
  return finishReport(s, w, startViewer);
}

bool checkCtsDeposits(Session& s) {
  const std::string title = "Mensaje";
  if (!companyChosen(s, title)) return false;
  InstitutionData in;
  if (!institutionRecord(s, in, "Maestro De Institucion No Existe", "Codigo De Institucion  No Existe", title)) return false;
  catalog::TableDef def;
  if (!ctsTableDef(s, def) || !tableExists(s, def)) {
    stopBox(s, kNoCts, title);
    return false;
  }
  if (!tableExists(s, TableId::Banks)) {
    stopBox(s, "Maestro De Bancos No Existe", title);
    return false;
  }
  Table* banks = openAs(s, TableId::Banks, "Bancos");
  if (!banks) return false;
  Status st = banks->goTop();
  if (!st || banks->eof()) {
    if (!st)
      showStatus(s, st);
    else
      stopBox(s, "Sin Registros ");
    s.closeAll();
    return false;
  }
  return true;
}

bool REP431(Session& s, const std::string& bankIn, int selector, bool startViewer) {
  const std::string title = "Mensaje";
  const std::string bank = padTo(bankIn, 4);
  s.closeAll();
  if (!tableExists(s, TableId::ExchangeRates)) {
    stopBox(s, "Maestro Tipo De Cambio No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro Empleados No Existe", title);
    return false;
  }
  std::string bankName = " ";
  if (tableExists(s, TableId::Banks)) {
    Table* banks = openAs(s, TableId::Banks, "Bancos");
    if (!banks) return false;
    if (banks->seek(bank)) bankName = banks->str("NOMBRE");
    s.closeAll();
  }
  // The rates of the semester's CTS record, as the certificate uses them, so that the
  // list and the certificates deposit the same amounts.
  CtsRates rates;
  if (!readCtsRates(s, rates, "Maestro Tipo De Cambio No Existe")) return false;
  catalog::TableDef def;
  if (!ctsTableDef(s, def) || !tableExists(s, def)) {
    stopBox(s, kNoCts, title);
    return false;
  }
  ScratchTable copy;
  if (!scratchCopy(s, def, copy, "Sin Registros ", "", "banco", "BANCO")) return false;
  Table* employees = openAs(s, TableId::EmployeeMaster, "MaeEmp");
  if (!employees) return false;
  const std::string letter = selector == 3 ? "S" : "D";
  Table& rows = *copy.table;
  bool usable = true;
  if (!eachRow(s, rows, [&] {
        const std::string dolar = rows.str("DOLAR"), moneda = rows.str("MONEDA");
        const CtsDeposit d = ctsDeposit(dolar, moneda, rows.num("CALCULO") + rows.num("DEPANTE"), rates);
        const std::string account = rtrim(moneda).empty() ? dolar : moneda;
        Status st;
        if (account != letter || rows.str("BANCO") != bank) {
          st = rows.markDeleted();
        } else {
          if (!rateUsable(s, d)) return usable = false;
          st = rows.replace("RECOMPU", d.amount);
        }
        if (!st) showStatus(s, st.withContext(rtrim(rows.str("CODIGO"))));
        return st.isOk();
      })) {
    s.closeAll();
    return false;
  }
  if (Status st = rows.pack(); !st) {
    showStatus(s, st);
    s.closeAll();
    return false;
  }

  RpvWriter w(s.dataDir());
  ReportSettings st;
  st.title = "Deposito CTS";
  st.orientation = 1;
  st.c00 = 600;
  st.base = 890;
  st.widths = {7, 37, 12, 27, 11};
  w.settings(st);
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  L("[Header]");
  L("{f=Lucida Console;\\n;s=9}");
  L("{\\n;\\n;$c00;a=l} {tab=1300}" + rpvText(s.YNOMBRE1));
  L("{\\n;$c00;a=l} {tab=1300} " + companySubtitle(s.YCIA));
  L("{\\n;$c00;a=l;s=6}{tab=1300}  <KYL431P> {\\n}");
  L("{\\n;$c01;s=10;b=y;a=l} {tab=130}" + rpvText(bank) + "    " + rpvText(bankName));
  L(std::string("{\\n;\\n;$c01;a=l} {tab=100} DEPOSITO SEMESTRAL CTS ") + (selector == 3 ? "(SOLES) " : "(DOLARES) ") +
    monthNameUpper(s.YFECHA.month()) + "  " + s.ANO_CIE + "{\\n;\\n;\\n}");
  L("{\\n;$c00;s=8;a=l} {tab=400} DNI{$c01;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=350} FECHA{$c03;a=l} "
    "{tab=330} NRO.CUENTA{$c04;a=l} {tab=-700} NETO A{\\n;$c02;a=l} {tab=90} NACIMIENTO{$c04;a=l} {tab=-900} "
    "DEPOSITAR");
  L("{\\n;Line=600,11100;b=n;\\n}");
  L("[Data]");
  w.PRINTLINE(h);
  double total = 0;
  int onPage = 0;
  const std::string blank8(8, ' ');
  if (!eachRow(s, rows, [&] {
        const bool known = employees->seek(rows.str("CODIGO"));
        const double deposit = rows.num("RECOMPU");
        total += deposit;
        w.PRINTLINE("{e;$c00;a=l}{tab=200} " + rpvText(known ? employees->str("ELECTORAL") : blank8) + "{e;$c01;a=l} " +
                    rpvText(rows.str("NOMBRE").substr(0, 45)) + "{e;$c02;a=l} {tab= +100} " +
                    dateE(known ? employees->date("FECH_NAC") : Date()) + "{e;$c03;a=l} " +
                    rpvText(known ? employees->str("CTACTE") : std::string()) + "{t;$c04;a=r} {tab= +100} " +
                    amount(deposit, kPicWide) + "{t;\\n}" + kCrLf);
        if (++onPage == 54) {
          w.PRINTLINE("{\\np}");
          onPage = 0;
        }
        return true;
      })) {
    s.closeAll();
    return false;
  }
  w.PRINTLINE("{e;$c02;b=y;\\n;a=l}{tab=+100} TOTAL :{t;$c04;a=r} {tab= +100} " + amount(total, kPicWide) + "{t;\\n}" +
              kCrLf);
  copy.table.reset();
  return finishReport(s, w, startViewer);
}

}  // namespace planilla::reports
