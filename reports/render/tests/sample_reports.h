// Report files shaped like the system's payslip and wide summary, for the renderer's
// tests and benchmark. Built with the writer helpers, so they carry the same bytes
// the writers produce.
#pragma once

#include <string>

#include "reports/grouped_summary.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"

namespace planilla::samples {

inline std::string payslipAmountLine(const char* l, const char* lm, double left, const char* right, double ra,
                                     bool first, bool last) {
  using reports::amount;
  std::string L = first ? "+150" : "150", R = first ? "+300" : "300";
  return std::string("{e;$c01;a=l} {tab= ") + L + "} " + l + "{e;$c02;a=r} {tab= " + R + "}" + lm +
         amount(left, reports::kPicPayslip) + "{e;$c03;a=l} {tab= -1100}" + right + "{e;$c04;a=r} {tab= -350}" +
         amount(ra, reports::kPicPayslip) + (last ? "{t;\\n;\\n}" : "{t;\\n}") + "\r\n";
}

// One payslip body (54 printed lines) for employee `code`.
inline std::string payslipBody(const std::string& code, double base, bool vacation) {
  using namespace reports;
  std::string s;
  auto L = [&](const std::string& t) { s += t + "\r\n"; };
  L("{e;$c01;a=l;b=y} {tab= +2100} BOLETA DE REMUNERACIONES{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l} {tab=+2600} D.S. Nro. 020-2008-TR{t;\\n;\\n;\\n}");
  L("{e;$c01;a=l;b=y;s=9} {tab= +50} DATOS DEL EMPLEADOR :{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l;b=y} {tab= +50} Razon Social :  " + padTo("EMPRESA DE DEMOSTRACION S.A.C.", 45) + "{t;\\n;b=n}");
  L("{e;$c01;a=l} {tab= +50} Registro Patronal :  " + padTo("PAT-0001", 12) + "{e;$c03;a=l} {tab= -500} Ruc :  " +
    "20123456789{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Direccion  :" + padTo("AV. LOS PR\xC9" "CERES 123, LIMA", 40) + "{t;\\n;\\n}");
  L("{e;$c01;a=l;b=y;s=9} {tab= +50} DATOS DEL TRABAJADOR(A) :{t;\\n;b=n;s=8}");
  L("{e;$c01;a=l}{tab= +50} Nombre  : " + padTo("NU\xD1" "EZ QUISPE, MAR\xCD" "A ELENA", 40) + "{t;\\n}");
  L("{e;$c01;a=l}{tab=+50} Cargo   : " + padTo("ASISTENTE CONTABLE", 30) + "{e;$c03;a=l}{tab=+250} DNI : " +
    padTo("40123456", 8) + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Mes de Pago   : Marzo  2026{e;$c03;a=r} {tab= +1210} Fecha Ingreso : " +
    writerDate(Date(2015, 3, 1)) + "{t;\\n}");
  L("{e;$c01;a=l} {tab= +50} Nro. Seguro   : " + padTo("8001234567", 15) +
    "{e;$c03;a=r} {tab= +1120} C.U.S.P.P. : " + padTo("123456ABCDE7", 12) + "{t;\\n}");
  if (vacation)
    L("{e;$c01;a=l}{tab= +50} Inicio Vacac. : " + dateE(Date(2026, 3, 1)) + "{e;$c03;a=l}{tab= -1290} Cese Vacac.: " +
      dateE(Date(2026, 3, 15)) + "{e;$c03;a=l}{tab= +1250}  (15 dias){t;\\n}");
  else
    L("{e;$c01;a=l}{tab= +50} Inicio Vacac. :{e;$c02;a=r}{tab= +2050} Cese Vacac.: {t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Dias Trab.    : " + amount(30, kPicDays3) + "{t;$c02;a=l}{tab= -700} Horas Trab.: " +
    amount(240, kPicDays3) + "{t;$c03;a=l}{tab= -820} Horas Extras  : " + amount(4, kPicDays3) + "{t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Tipo Trab.    : " + padTo("EMPLEADO", 38) +
    "{e;$c03;a=l}{tab= +800} Faltas    :{e;$c03;a=l}{tab= +2150}" + amount(0, kPicDays3) + "{t;\\n}");
  L("{e;$c01;a=l}{tab= +50} Dias Subsid.  :" + amount(0, kPicDays3) +
    "{t;$c02;a=l}{tab= -700} Dias No Labor. y no Subsid.: " + amount(0, kPicDays3) +
    "{e;$c03;a=l}{tab= +800} Tardanzas : " + amount(2, kPicDays3) + "{t;\\n;\\n}");
  L("{e;$c01;a=l;b=y} {tab= +600} REMUNERACIONES    S/.{e;$c03;a=l} {tab= -300} DESCUENTO TRABAJADOR(A)   "
    "S/.{t;b=n;\\n;\\n}");
  s += payslipAmountLine("Rem.Mensual   :", "", base, " O.N.P.            :", 0, true, false);
  s += payslipAmountLine("Asig.Familiar :", "", 102.5, " Pension  AFP      :", base * 0.1, true, false);
  s += payslipAmountLine("Horas Extras  :", "", 45.1, " Seguro AFP        :", base * 0.0137, false, false);
  s += payslipAmountLine("Vacaciones    :", "", 0, " Comision AFP      :", base * 0.0155, false, false);
  s += payslipAmountLine("Refrigerio    :", "", 0, " Desc.Judicial     :", 0, false, false);
  s += payslipAmountLine("Movilidad     :", "", 150, " Rta.5ta.Categoria :", 321.45, false, false);
  s += payslipAmountLine("Gratificacion :", "", 0, "Es-Vida           :", 5, false, false);
  s += payslipAmountLine("Bono Producc. :", "", 0, " Adelantos         :", 500, false, false);
  s += payslipAmountLine("Dias Trabajado:", "", 0, " Otros Dsctos.     :", 0, false, false);
  s += payslipAmountLine("Utilidad      :", "", 0, " Cuota Sindical    :", 15, false, false);
  s += payslipAmountLine("CTS           :", "", 0, " Tardanzas         :", 12.3, false, false);
  s += payslipAmountLine("Subsidios     :", "", 0, "Total Descuentos  :", 1234.56, false, true);
  L("{e;$c03;a=l} {tab= -100} APORTACIONES EMPLEADOR{t;\\n}");
  L("{e;$c03;a=l} {tab= -1100} RCSSS              :{e;$c04;a=r} {tab= -350}" + amount(base * 0.09, kPicPayslip) +
    "{t;\\n}");
  L("{e;$c03;a=l} {tab= -1100} SCTR-SALUD         :{e;$c04;a=r} {tab= -350}" + amount(0, kPicPayslip) +
    "{t;\\n;\\n}");
  L("{e;$c01;a=l} {tab= 150} Total Remuneracion :{e;$c02;a=r} {tab= 300}" + amount(base + 297.6, kPicPayslip) +
    "{e;$c03;a=l} {tab= -1100} Total Aportaciones :{e;$c04;a=r} {tab= -350}" + amount(base * 0.09, kPicPayslip) +
    "{t;\\n;\\n;\\n}");
  L("{e;$c03;a=l} {tab= -1100} Neto A Pagar :    S/.{e;$c04;a=r} {tab= -350}" +
    amount(base + 297.6 - 1234.56, kPicPayslip) + "{t;\\n;\\n;\\n;\\n;\\n;\\n;\\n}");
  L("{e;$c01;a=l;b=y} {tab= +650} ---------------------{t;\\n}");
  L("{e;$c01;a=l} {tab= +650} " + padTo("JUAN PEREZ GOMEZ", 40) + "{e;$c03;a=l} {tab= +200}{t;\\n}");
  L("{e;$c01;a=l} {tab=" + numberText(500) + "} " + padTo("GERENTE GENERAL", 30) +
    "{e;$c03;a=l} {tab= +200} TRABAJADOR(A){t;b=n;\\n;\\n}");
  L("{e;$c00;a=l}{tab= +900} KYL" + reports::rtrim(code) + "/CC0001{t;b=n;\\n;\\n}");
  return s;
}

inline std::string payslipHeader(char firma) {
  std::string s = "[Header]\r\n{f=Lucida Console;\\n;s=10}\r\n{w=2;box=1300,2000,9000,12000}\r\n"
                  "{pic=dm.bmp,8600,3000,1000,1000}\r\n{c=7;w=2;boxf=1310,6700,8980,450;c=0}\r\n"
                  "{c=7;w=2;boxf=6000,10000,4280,340;c=0}\r\n{c=7;w=2;boxf=1310,10900,8980,350;c=0}\r\n"
                  "{c=7;w=2;boxf=6000,11590,4280,370;c=0}\r\n";
  s += firma == '2' ? "{pic=firjpg2.jpg,1900,12400,3500,1000}\r\n" : "{pic=firRov2.jpg,2750,12400,1600,950}\r\n";
  s += "{$c02} {tab=500} {\\n}\r\n{$c07} {\\n}\r\n{\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n;\\n}\r\n[Data]\r\n";
  return s;
}

// A payslip report with `copies` payslips (one code with that many payroll rows).
inline std::string payslipReport(int copies, bool vacation = false, char firma = '2') {
  reports::RpvWriter w;
  reports::ReportSettings st;
  st.title = "Boleta De Pago";
  st.c00 = 400;
  st.payslipMark = true;
  st.base = 800;
  st.widths = {8, 26, 18, 26, 6, 17, 10, 10};
  w.settings(st);
  w.PRINTLINE(payslipHeader(firma));
  for (int i = 0; i < copies; ++i) w.PRINTLINE(payslipBody("E0001     ", 2500 + 1000 * i, vacation));
  return w.contents();
}

// A landscape summary with the statutory summary's header and `rows` employees in
// groups of 12 per cost centre.
inline std::string summaryReport(int rows) {
  using namespace reports;
  RpvWriter w;
  ReportSettings st;
  st.title = "Resumen PDT-Sunat";
  st.orientation = 2;
  st.c00 = 200;
  st.base = 690;
  st.widths = {1, 33, 11, 11, 9, 9, 9, 9, 9, 9};
  w.settings(st);
  w.line("[Header]");
  w.line("{f=Lucida Console;\\n;s=10}");
  w.line("{\\n;\\n;$c00;a=l;b=y} {tab=900}EMPRESA DE DEMOSTRACION S.A.C.");
  w.line("{\\n;$c00;a=l} {tab=900} " + companySubtitle("02"));
  w.line("{$c00;a=l;\\n;s=6;b=n} {tab=900} <KYL404P> {\\n}");
  w.line("{s=10}");
  w.line("{\\n;\\n;\\n;$c00;s=10;b=y;a=l} {tab=3100} RESUMEN  PDT-SUNAT (MENSUAL)  MARZO  2026{\\n;\\n;\\n}");
  w.line("{$c01;s=7;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=100} REM.ASEGURABLE{$c03;a=l} {tab=560} "
         "O.N.P.{$c04;a=l} {tab=+20} RTA.QUINTA{$c05;a=l} {tab=400} EsVida{$c06;a=l} {tab=450} RCSSS{$c07;a=l} "
         "{tab=460} TOTAL{\\n;Line=900,12200;b=n;\\n}");
  w.line("[Data]");
  GroupedSummary g(w, 6);
  for (int i = 0; i < rows; ++i) {
    char cc[16], code[16], name[64];
    std::snprintf(cc, sizeof cc, "CC%04d", i / 12 + 1);
    std::snprintf(code, sizeof code, "E%05d", i + 1);
    std::snprintf(name, sizeof name, "APELLIDO%05d NOMBRE%05d", i, i);
    double base = 1000 + (i * 37) % 5000 + 0.25 * (i % 4);
    g.add({cc, (i / 12) % 3 == 2 ? std::optional<std::string>() : std::optional<std::string>("AREA " + std::string(cc)),
           code, std::string(name), {base, base * 0.13, 0, 5, base * 0.09, base * 0.22 + 5}});
  }
  g.finish();
  const auto& t = g.grandTotals();
  std::string total = "{e;$c01;b=y;\\n;a=l;b=y} TOTAL PDT-SUNAT :{t;$c02;a=r} {tab= +1200} " + amount(t[0], kPicSummary);
  for (size_t i = 1; i < t.size(); ++i)
    total += "{t;$c" + NUM_CAR(static_cast<double>(i + 2), 2) + ";a=r} {tab= +1100} " + amount(t[i], kPicSummary);
  w.line(total + "{t;\\n}");
  return w.contents();
}

}  // namespace planilla::samples
