// The grouped summaries: PDT (REPXXP404), pension contributions (REPXXP405) and net
// pay (PREP426).
#include "reports/summaries.h"

#include <functional>
#include <utility>
#include <vector>

#include "reports/grouped_summary.h"
#include "reports/institution.h"
#include "reports/report_common.h"
#include "reports/report_format.h"
#include "store/value.h"

namespace planilla::reports {

namespace {

using catalog::TableId;

std::optional<std::string> nameIn(Table& t, const std::string& key) {
  if (!t.seek(key)) return std::nullopt;
  return t.str("NOMBRE");
}

ReportSettings landscape(const char* title, int c00, std::vector<int> widths) {
  ReportSettings st;
  st.title = title;
  st.orientation = 2;
  st.c00 = c00;
  st.base = 690;
  st.widths = std::move(widths);
  return st;
}

// Opens the employee master and the cost centres for a summary; false after a message.
bool openNames(Session& s, Table*& employees, Table*& centres) {
  employees = openAs(s, TableId::EmployeeMaster, "RepEmplea");
  centres = employees ? openAs(s, TableId::CostCentres, "MaeCos") : nullptr;
  if (!centres) s.closeAll();
  return centres != nullptr;
}

bool noRows(Session& s, ScratchTable& copy, const std::string& text, const std::string& title) {
  Status st = copy.table->goTop();
  if (st && !copy.table->eof()) return false;
  if (!st)
    showStatus(s, st);
  else
    stopBox(s, text, title);
  s.closeAll();
  return true;
}

// The month's payroll results with the month's gratification added in, in cost-centre
// order on the scratch copy, and the employee and cost-centre names open beside it.
// False after a message (every table closed).
bool monthByCentre(Session& s, ScratchTable& copy, Table*& employees, Table*& centres) {
  const std::string title = "Mensaje";
  s.closeAll();
  const bool withGrati = tableExists(s, TableId::GratSoles);
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::PayrollSoles)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + "  No Existe ", title);
    return false;
  }
  if (!tableExists(s, TableId::CostCentres)) {
    stopBox(s, "Maestro Centros Costos No Existe", title);
    return false;
  }
  if (!scratchCopy(s, s.def(TableId::PayrollSoles), copy, "Sin Registros ", "")) return false;
  if (withGrati) {
    Table* g = openAs(s, TableId::GratSoles, "CalGrati");
    if (!g || !addByCode(s, *g, *copy.table,
                         {"BAS_QUI", "ESCOLAR", "SNPT", "RETJUD", "OTROSD", "IPSSE", "ASIGNA", "MOVILI",
                          "AAPOR1", "RTA_5TA", "FONAVIE", "T_DSCTOT", "HSIMPLE_P", "HDOBLE_P", "AAPOR2", "ESVIDA",
                          "GRATIF", "VACACI", "OTROSP", "AAPOR3", "ADELANTO", "TBRUTO", "TPAGAR", "SNPE"})) {
      s.closeAll();
      return false;
    }
    s.closeAll();
  }
  if (!regroup(s, copy, "cccodigo", "CCOSTO+CODIGO")) return false;
  return openNames(s, employees, centres) && !noRows(s, copy, "Sin Registros ", "");
}

}  // namespace

namespace {

// The month by cost centre, as the PDT summary and the cost report print it: the company's
// name and subtitle, the report's own header lines, one row per employee with the amounts
// `amountsOf` reads from the current row, each centre's totals and the grand total line.
bool centreSummary(Session& s, bool startViewer, const char* reportName,
                   const std::vector<std::string>& ownHeader, size_t columns,
                   const std::function<std::vector<double>(Table&)>& amountsOf, const std::string& totalCaption) {
  ScratchTable copy;
  Table *employees = nullptr, *centres = nullptr;
  if (!monthByCentre(s, copy, employees, centres)) return false;

  RpvWriter w(s.dataDir());
  w.settings(landscape(reportName, 200, {1, 33, 11, 11, 9, 9, 9, 9, 9, 9}));
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  L("[Header]");
  L("{f=Lucida Console;\\n;s=10}");
  L("{\\n;\\n;$c00;a=l;b=y} {tab=900}" + rpvText(s.YNOMBRE1));
  L("{\\n;$c00;a=l} {tab=900} " + companySubtitle(s.YCIA));
  for (const std::string& line : ownHeader) L(line);
  L("[Data]");
  w.PRINTLINE(markPendingPayroll(s, h));

  GroupedSummary g(w, columns);
  Table& rows = *copy.table;
  if (!eachRow(s, rows, [&] {
        const std::string cc = rows.str("CCOSTO");
        g.add({cc, nameIn(*centres, cc), rows.str("CODIGO"), nameIn(*employees, rows.str("CODIGO")), amountsOf(rows)});
        return true;
      })) {
    s.closeAll();
    return false;
  }
  g.finish();
  w.PRINTLINE("{e;$c01;b=y;\\n;a=l;b=y} " + totalCaption + " :" +
              amountCells(g.grandTotals(), {std::string(kPicSummary)}) + "{t;\\n}" + kCrLf);
  return finishReport(s, w, startViewer);
}

}  // namespace

bool REPXXP404(Session& s, bool startViewer) {
  const std::vector<std::string> header = {
      "{$c00;a=l;\\n;s=6;b=n} {tab=900} <KYL404P> {\\n}",
      "{s=10}",
      "{\\n;\\n;\\n;$c00;s=10;b=y;a=l} {tab=3100} RESUMEN  PDT-SUNAT (MENSUAL)  " + monthNameUpper(s.YFECHA.month()) +
          "  " + s.ANO_CIE + "{\\n;\\n;\\n}",
      "{$c01;s=7;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=100} REM.ASEGURABLE{$c03;a=l} {tab=560} "
      "O.N.P.{$c04;a=l} {tab=+20} RTA.QUINTA{$c05;a=l} {tab=400} EsVida{$c06;a=l} {tab=450} RCSSS{$c07;a=l} "
      "{tab=460} TOTAL{\\n;Line=900,12200;b=n;\\n}"};
  return centreSummary(s, startViewer, "Resumen PDT-Sunat", header, 6, [](Table& rows) {
    const double snpt = rows.num("SNPT"), ipsse = rows.num("IPSSE"), quinta = rows.num("RTA_5TA"),
                 esvida = rows.num("ESVIDA");
    return std::vector<double>{rows.num("TBRUTO"), snpt, quinta, esvida, ipsse, snpt + ipsse + quinta + esvida};
  }, "TOTAL PDT-SUNAT");
}

bool REPCOSTOCC(Session& s, bool startViewer) {
  const std::vector<std::string> header = {
      "{\\n;\\n;$c00;s=10;b=y;a=l} {tab=2100} COSTO DE PLANILLA MENSUAL POR CENTRO DE COSTO  " +
          monthNameUpper(s.YFECHA.month()) + "  " + s.ANO_CIE + "{\\n}",
      "{$c00;s=7;b=n;a=l} {tab=2100} (las planillas no registran proyecto: el costo se agrupa por centro de costo)"
      "{\\n;\\n;\\n}",
      "{$c01;s=7;a=l;b=y} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=100} REMUNERACION{$c03;a=l} {tab=560} "
      "ESSALUD{$c04;a=l} {tab=200} OTROS EMPL.{$c05;a=l} {tab=400} COSTO TOTAL{\\n;Line=900,12200;b=n;\\n}"};
  // The employer's cost of each row: the gross pay and the employer's contributions.
  return centreSummary(s, startViewer, "Costo de Planilla Mensual x Centro de Costo", header, 4, [](Table& rows) {
    const double gross = rows.num("TBRUTO"), essalud = rows.num("IPSSE"),
                 other = rows.num("FONAVIE") + rows.num("SNPE");
    return std::vector<double>{gross, essalud, other, gross + essalud + other};
  }, "COSTO TOTAL DEL MES");
}

bool checkPensionSummary(Session& s) {
  if (!tableExists(s, TableId::PensionFunds)) {
    stopBox(s, "Maestro De AFPs No Existe  ");
    return false;
  }
  return true;
}

namespace {

// July and December: the gratification run charges the fund contributions on the
// gratification's advance (the roll's DSCLEY), and the month declares and pays them
// with the payroll's. Adds, into the scratch copy in code order, each charged
// employee's contributions and, to the gross pay, the advance they were charged on.
// False after a message (every table closed).
bool addGratificationCharges(Session& s, Table& rows) {
  if ((s.YMES != "07" && s.YMES != "12") || !tableExists(s, TableId::GratSoles)) return true;
  Table* grat = openAs(s, TableId::GratSoles, "GraAporte");
  Table* roll = grat && tableExists(s, TableId::GratificationRoll) ? openAs(s, TableId::GratificationRoll, "GraRol")
                                                                   : nullptr;
  if (!grat || (!roll && tableExists(s, TableId::GratificationRoll))) {
    s.closeAll();
    return false;
  }
  const bool added = eachRow(s, *grat, [&] {
    const double a1 = grat->num("AAPOR1"), a2 = grat->num("AAPOR2"), a3 = grat->num("AAPOR3");
    if ((a1 == 0 && a2 == 0 && a3 == 0) || !rows.seek(grat->str("CODIGO"))) return true;
    const double advance = roll && roll->seek(padTo(grat->str("CODIGO"), 10)) ? roll->num("DSCLEY") : 0;
    using Charge = std::pair<const char*, double>;
    for (const auto& [field, amount] : {Charge{"AAPOR1", a1}, Charge{"AAPOR2", a2}, Charge{"AAPOR3", a3},
                                        Charge{"TBRUTO", advance}}) {
      if (Status st = rows.replace(field, rows.num(field) + amount); !st) {
        showStatus(s, st.withContext(field));
        return false;
      }
    }
    return true;
  });
  if (!added) s.closeAll();
  return added;
}

}  // namespace

bool REPXXP405(Session& s, bool startViewer) {
  s.closeAll();
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe  ");
    return false;
  }
  if (!tableExists(s, TableId::CostCentres)) {
    stopBox(s, "Maestro Centros Costos No Existe  ");
    return false;
  }
  if (!tableExists(s, TableId::PayrollSoles)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe ", "Mensaje");
    return false;
  }
  ScratchTable copy;
  if (!scratchCopy(s, s.def(TableId::PayrollSoles), copy, "Sin Registros", "Mensaje") ||
      !addGratificationCharges(s, *copy.table) || !regroup(s, copy, "afpccosto", "CODAFP+CCOSTO"))
    return false;
  Table *employees = nullptr, *centres = nullptr;
  if (!openNames(s, employees, centres)) return false;
  Table* funds = openAs(s, TableId::PensionFunds, "MaeAfp");
  if (!funds) {
    s.closeAll();
    return false;
  }
  if (noRows(s, copy, "Sin Registros", "Mensaje")) return false;
  // Employees without a fund (blank code) sort first and are left out.
  Table& rows = *copy.table;
  const std::string blank6(6, ' ');
  while (!rows.eof() && rows.str("CODAFP") == blank6) {
    if (Status st = rows.skip(1); !st) {
      showStatus(s, st);
      s.closeAll();
      return false;
    }
  }

  RpvWriter w(s.dataDir());
  w.settings(landscape("Resumen Aportes Previsionales", 600, {1, 29, 11, 11, 8, 8, 8, 8, 8, 8}));
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  L("[Header]");
  L("{f=Lucida Console;\\n;s=10}");
  L("{\\n;\\n;$c00;a=l;b=y} {tab=410}" + rpvText(s.YNOMBRE1));
  L("{\\n;$c00;a=l;b=n} {tab=410} " + companySubtitle(s.YCIA));
  L("{$c00;a=l;\\n;s=6} {tab=410} <KYL405P> {\\n}");
  L("{\\n;\\n;\\n;$c00;s=10;b=y;a=l} {tab=1100} RESUMEN APORTES PREVISIONALES (MENSUAL) " +
    monthNameUpper(s.YFECHA.month()) + "  " + s.ANO_CIE + "{\\n;\\n;\\n}");
  L("{$c01;s=7;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=1} REM.ASEGURABLE{$c03;a=l} {tab=320} "
    "APORTES{$c04;a=l} {tab=550} SEGURO{$c05;a=l} {tab=450} COMISION{$c06;a=l} {tab=200} TOTAL RETENC.{$c07;a=l} "
    "{tab=550} TOTAL{\\n;$c03;a=l} {tab=150} OBLIGATORIO{$c04;a=l} {tab=600} A.F.P.{$c05;a=l} {tab=600} "
    "A.F.P.{$c06;a=l} {tab=200} RETRIBUCIONES{$c07;a=l} {tab=500} GENERAL{\\n;Line=900,11500;b=n;\\n}");
  L("[Data]");
  w.PRINTLINE(markPendingPayroll(s, h));

  const std::vector<std::string> pic = {std::string(kPicSummary)};
  std::vector<double> ccSum(6, 0.0), fundSum(6, 0.0), grand(6, 0.0);
  std::string fund = blank6, cc = rows.eof() ? blank6 : rows.str("CCOSTO");
  auto ccTotal = [&] {
    w.PRINTLINE(groupTotalLine(cc, nameIn(*centres, cc), ccSum, pic, 25));
    std::fill(ccSum.begin(), ccSum.end(), 0.0);
  };
  auto fundHeader = [&] {
    // The name clears a six-letter fund code printed at the stop before it.
    if (std::optional<std::string> name = nameIn(*funds, s.YMES + fund))
      w.PRINTLINE("{e;$c00;a=l;s=8;b=y}" + rpvText(fund) + "{t;$c01;a=l} {tab=400} " + rpvText(*name) +
                  "{t;b=n;s=7;\\n}" + kCrLf);
    else
      w.PRINTLINE("{e;$c00;a=l;s=8;b=y}" + rpvText(fund) + "{t;b=n;s=7;\\n}" + kCrLf);
  };
  auto fundTotal = [&] {
    w.PRINTLINE("{e;$c01;a=l;s=8;b=y} Total Afp  " + fund + amountCells(fundSum, pic, "s=7") + "{t;b=n;\\n;\\n}" +
                kCrLf);
    std::fill(fundSum.begin(), fundSum.end(), 0.0);
  };
  while (!rows.eof()) {
    const std::string rowFund = rows.str("CODAFP"), rowCc = rows.str("CCOSTO");
    const bool fundChanges = fund != blank6 && fund != rowFund;
    if (rowCc != cc || fundChanges) {
      ccTotal();
      cc = rowCc;
    }
    if (fundChanges) {
      fundTotal();
      fund = rowFund;
      fundHeader();
    }
    if (fund == blank6) {
      fund = rowFund;
      fundHeader();
    }
    const double a1 = rows.num("AAPOR1"), a2 = rows.num("AAPOR2"), a3 = rows.num("AAPOR3");
    const std::vector<double> v = {rows.num("TBRUTO") - rows.num("ESCOLAR"), a1, a2, a3, a2 + a3, a1 + a2 + a3};
    for (size_t i = 0; i < v.size(); ++i) {
      ccSum[i] += v[i];
      fundSum[i] += v[i];
      grand[i] += v[i];
    }
    const std::string code = rows.str("CODIGO");
    w.PRINTLINE(summaryRowLine(code, nameIn(*employees, code), v, pic, 30, " "));
    if (Status st = rows.skip(1); !st) {
      showStatus(s, st);
      s.closeAll();
      return false;
    }
  }
  ccTotal();
  fundTotal();
  w.PRINTLINE("{e;$c01;b=y;s=8;\\n;a=l} TOTAL APORTES PREVISIONALES :" + amountCells(grand, pic, "s=7") + "{t;\\n}" +
              kCrLf);
  return finishReport(s, w, startViewer);
}

bool checkNetPay(Session& s) {
  const std::string title = "Mensaje";
  if (!companyChosen(s, title)) return false;
  InstitutionData in;
  if (!institutionRecord(s, in, "Maestro De Institucion No Existe", "Codigo De Institucion  No Existe", title)) return false;
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados  No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::PayrollDollars)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe", title);
    return false;
  }
  return true;
}

bool PREP426(Session& s, int selector, bool startViewer) {
  const std::string title = "Mensaje";
  s.closeAll();
  if (!tableExists(s, TableId::ExchangeRates)) {
    stopBox(s, "Maestro Tipo De Cambio No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::EmployeeMaster)) {
    stopBox(s, "Maestro De Empleados No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::PayrollSoles)) {
    stopBox(s, "Archivo Planilla-1 Mes " + s.YMES + " No Existe", title);
    return false;
  }
  if (!tableExists(s, TableId::CostCentres)) {
    stopBox(s, "Maestro Centros Costos No Existe", title);
    return false;
  }
  ScratchTable copy;
  if (!scratchCopy(s, s.def(TableId::PayrollSoles), copy, "Sin Registros", title)) return false;
  Table *employees = nullptr, *centres = nullptr;
  if (!openNames(s, employees, centres)) return false;
  // The payment currency is the employee's (DOLAR); a row whose employee has left the
  // master keeps the row's own (MONEDA, when the results carry that field). A blank
  // currency is soles, as the monthly run pays it (the employee form leaves it blank by
  // default); so a row without a currency of its own is listed with the soles.
  const std::string letter = selector == 3 ? "S" : selector == 2 ? "D" : "E";
  Table& rows = *copy.table;
  const bool rowCurrency = rows.fieldIndex("MONEDA") >= 0;
  if (!eachRow(s, rows, [&] {
        std::string currency = employees->seek(rows.str("CODIGO")) ? employees->str("DOLAR")
                               : rowCurrency                       ? rows.str("MONEDA")
                                                                   : std::string();
        if (rtrim(currency).empty()) currency = "S";
        if (currency == letter) return true;
        if (Status st = rows.markDeleted(); !st) {
          showStatus(s, st);
          return false;
        }
        return true;
      })) {
    s.closeAll();
    return false;
  }
  if (Status st = rows.pack(); !st) {
    showStatus(s, st);
    s.closeAll();
    return false;
  }
  if (!regroup(s, copy, "cccodigo", "CCOSTO+CODIGO") || noRows(s, copy, "Sin Registros", title)) {
    s.closeAll();
    return false;
  }

  RpvWriter w(s.dataDir());
  w.settings(landscape("Planilla Mensual", 600, {7, 35, 11, 11, 10, 10, 10, 10}));
  std::string h;
  auto L = [&](const std::string& t) { h += t + kCrLf; };
  L("[Header]");
  L("{f=Lucida Console;\\n;s=9}");
  L("{\\n;\\n;$c00;a=l} {tab=1300}" + rpvText(s.YNOMBRE1));
  L("{\\n;$c00;a=l} {tab=1300} " + companySubtitle(s.YCIA));
  L("{$c00;a=l;\\n;s=6}{tab=1300}  <KYL426P> {\\n}");
  L("{\\n;$c01;s=10;b=y;a=l} {tab=2200} PLANILLA MENSUAL (SOLES) " + monthNameUpper(s.YFECHA.month()) + "  " +
    s.ANO_CIE + "{\\n;\\n;\\n}");
  for (int x : {4000, 5950, 7150, 8410, 9750, 11100}) L("{w=2;box=1400,1990," + std::to_string(x) + ",660}");
  L("{$c01;s=8;a=l} {tab=200} APELLIDOS Y NOMBRES{$c02;a=l} {tab=-100} REMUNERACION{$c03;a=l} {tab=470} "
    "TOTAL{$c04;a=l} {tab=350} NETO A{$c05;a=l} {tab=250} APORTAC.{$c06;a=l} {tab=350} COSTO{\\n;$c02;a=l} "
    "{tab=+450} MENSUAL");
  L("{$c03;a=l} {tab=470} DSCTO{$c04;a=l} {tab=350} PAGAR{$c05;a=l} {tab=250} MENSUAL{$c06;a=l} {tab=350} "
    "SUELDO{\\n;b=n;\\n}");
  L("[Data]");
  w.PRINTLINE(markPendingPayroll(s, h));

  const std::vector<std::string> pics = {std::string(kPicSummary), std::string(kPicSummary),
                                         std::string(kPicSummary), std::string(kPicSummary), std::string(kPicWide)};
  GroupedSummary g(w, 5, pics);
  Table& listed = *copy.table;
  if (!eachRow(s, listed, [&] {
        const std::string cc = listed.str("CCOSTO"), code = listed.str("CODIGO");
        const double bruto = listed.num("TBRUTO"), ipsse = listed.num("IPSSE");
        g.add({cc, nameIn(*centres, cc), code, nameIn(*employees, code),
               {bruto, listed.num("T_DSCTOT"), listed.num("TPAGAR"), ipsse, bruto + ipsse}});
        return true;
      })) {
    s.closeAll();
    return false;
  }
  g.finish();
  w.PRINTLINE("{e;$c01;b=y;\\n;a=l;b=y} TOTAL PLANILLA :" + amountCells(g.grandTotals(), pics) + "{t;\\n}" + kCrLf);
  return finishReport(s, w, startViewer);
}

}  // namespace planilla::reports
