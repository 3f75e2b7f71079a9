#include "reports/settlement_docs.h"

#include "reports/report_common.h"
#include "reports/report_format.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "ui/text1252.h"

namespace planilla::reports {

namespace {

const char* kTitle = "Mensaje";

// Positions in twips from the left edge of an A4 page.
constexpr int kLeft = 900, kValue = 3300, kPeriod = 1300, kTime = 4800, kAmount = 10900;

std::string at(int x, char align, const std::string& text) {
  return "{$c00;a=" + std::string(1, align) + ";tab=" + std::to_string(x - 600) + "}" + rpvText(text);
}
const char* kEnd = "{\\n}";

std::string money(double v) {
  const std::string t = amount(v, kPicWide);
  const size_t b = t.find_first_not_of(' ');
  return b == std::string::npos ? t : t.substr(b);
}

std::string spanText(int years, int months, int days) {
  std::string out;
  auto part = [&](int n, const char* one, const char* many) {
    if (n == 0) return;
    out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
  };
  part(years, ui::utf8To1252("año").c_str(), ui::utf8To1252("años").c_str());
  part(months, "mes", "meses");
  part(days, ui::utf8To1252("día").c_str(), ui::utf8To1252("días").c_str());
  return out.empty() ? ui::utf8To1252("0 días") : out;
}

std::string longDate(const Date& d) {
  std::string month = monthNameUpper(d.month());
  for (size_t i = 1; i < month.size(); ++i) month[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(month[i])));
  return std::to_string(d.day()) + " de " + month + " de " + std::to_string(d.year());
}

// Cuts a paragraph into lines of at most `width` bytes at blanks.
std::vector<std::string> wrap(const std::string& text, size_t width) {
  std::vector<std::string> out;
  std::string line;
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find(' ', i);
    if (j == std::string::npos) j = text.size();
    const std::string word = text.substr(i, j - i);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    i = j + 1;
  }
  if (!line.empty()) out.push_back(line);
  return out;
}

void paragraph(RpvWriter& w, const std::string& text, size_t width = 78) {
  for (const std::string& l : wrap(text, width)) w.line(at(kLeft, 'l', l) + kEnd);
  w.line(kEnd);
}

void begin(RpvWriter& w, const std::string& title, const std::string& heading) {
  ReportSettings st;
  st.title = title;
  st.orientation = 1;
  st.c00 = 600;
  st.base = 690;
  st.widths = {1, 1};
  w.settings(st);
  w.line("[Header]");
  w.line("{f=Lucida Console;s=10;\\n}");
  w.line("[Data]");
  w.line("{s=13;b=y}" + at(5953, 'c', heading) + "{b=n;s=10;\\n;\\n;\\n}");
}

void field(RpvWriter& w, const std::string& label, const std::string& value) {
  w.line(at(kLeft, 'l', label) + at(kValue, 'l', ": " + value) + kEnd);
}

void signatures(RpvWriter& w, const std::string& left1, const std::string& left2, const std::string& right1,
                const std::string& right2) {
  w.line("{\\n;\\n;\\n;\\n}");
  w.line(at(kLeft, 'l', "______________________________") +
         (right1.empty() ? "" : at(6600, 'l', "______________________________")) + kEnd);
  w.line(at(kLeft, 'l', left1) + (right1.empty() ? "" : at(6600, 'l', right1)) + kEnd);
  w.line(at(kLeft, 'l', left2) + (right2.empty() ? "" : at(6600, 'l', right2)) + kEnd);
}

std::string placeAndDate(const Date& d) { return "Lugar y fecha: ____________________, " + longDate(d); }

std::string company(Session& s) { return rtrim(s.YNOMBRE1); }

}  // namespace

const char* settlementDocName(SettlementDoc d) {
  switch (d) {
    case SettlementDoc::Settlement: return "liquidacion";
    case SettlementDoc::Certificate: return "certificado-trabajo";
    case SettlementDoc::CtsLetter: return "carta-cts";
  }
  return "";
}

bool PREPLIQ(Session& s, const calc::SettlementCase& c, const InstitutionData& in, bool startViewer) {
  const calc::Settlement& x = c.result;
  RpvWriter w(s.dataDir());
  begin(w, "Liquidacion De Beneficios Sociales", "LIQUIDACION DE BENEFICIOS SOCIALES");
  field(w, "EMPLEADOR", company(s) + "   RUC " + rtrim(in.ruc));
  field(w, "DOMICILIO", rtrim(in.direc));
  field(w, "TRABAJADOR", c.emp.name + "   DNI " + c.emp.dni);
  field(w, "CARGO", c.emp.cargo);
  field(w, "FECHA DE INGRESO", x.hire.dmy() + "      FECHA DE CESE: " + x.cese.dmy());
  field(w, "TIEMPO DE SERVICIOS", spanText(x.service.years, x.service.months, x.service.days));
  const char* reason = calc::endReasonName(x.reason);
  field(w, "MOTIVO DEL CESE", x.reason + " " + (reason ? reason : ""));
  field(w, "REGIMEN LABORAL", "PRIVADO GENERAL (D.LEG. 728)");
  field(w, "SISTEMA PENSIONARIO",
        trimRight(c.emp.codafp).empty() ? std::string("SNP (ONP)") : "SPP " + rtrim(c.emp.codafp) + " CUSPP " + c.emp.nroafp);
  w.line(kEnd);

  w.line("{b=y}" + at(kLeft, 'l', "REMUNERACION COMPUTABLE") + "{b=n}" + kEnd);
  auto row = [&](const std::string& label, double v, bool bold = false) {
    w.line(std::string(bold ? "{b=y}" : "") + at(kLeft + 200, 'l', label) + at(kAmount, 'r', money(v)) +
           (bold ? "{b=n}" : "") + kEnd);
  };
  row(ui::utf8To1252("Remuneración básica"), x.rcBasic);
  row(ui::utf8To1252("Asignación familiar"), x.rcAsigna);
  row("Conceptos regulares (promedio de los 6 meses anteriores)", x.rcRegular);
  row("Remuneracion computable (vacaciones, gratificacion, indemnizacion)", x.rc, true);
  row(ui::utf8To1252("1/6 de la gratificación del semestre"), x.rcGrat6);
  row("Remuneracion computable para la CTS", x.rcCts, true);
  w.line(kEnd);

  w.line("{b=y}" + at(kLeft, 'l', "BENEFICIOS (periodo, tiempo en meses de 30 dias y calculo)") +
         at(kAmount, 'r', "IMPORTE S/") + "{b=n}" + kEnd);
  for (const calc::SettlementLine& l : calc::settlementLines(x)) {
    // A period that starts after the termination date (a gratification already paid) has nothing to show.
    const std::string period = l.from.empty() || l.to < l.from ? std::string() : l.from.dmy() + " al " + l.to.dmy();
    const std::string time = l.key == "BONIF"    ? std::string()
                             : l.key == "GRATIF" ? std::to_string(l.months) + " meses"
                                                 : spanText(l.years, l.months, l.days);
    w.line(at(kLeft, 'l', l.name) + at(kAmount, 'r', money(l.amount)) + kEnd);
    // The formula goes on a line of its own when it does not fit beside the time.
    const std::string detail = time.empty() ? l.formula : time + ":  " + l.formula;
    if (detail.size() <= 68) {
      w.line("{s=8}" + at(kPeriod, 'l', period) + at(kTime, 'l', detail) + "{s=10}" + kEnd);
    } else {
      w.line("{s=8}" + at(kPeriod, 'l', period) + at(kTime, 'l', time) + "{s=10}" + kEnd);
      w.line("{s=8}" + at(kPeriod, 'l', l.formula) + "{s=10}" + kEnd);
    }
  }
  w.line(at(kAmount, 'r', "--------------") + kEnd);
  row("TOTAL BENEFICIOS", x.gross, true);
  w.line(kEnd);

  w.line("{b=y}" + at(kLeft, 'l', "DESCUENTOS (sobre los importes afectos)") + "{b=n}" + kEnd);
  const std::string base = money(x.affected);
  if (trimRight(c.emp.codafp).empty()) {
    row("ONP sobre vacaciones " + base, x.onp);
  } else {
    row("AFP aporte obligatorio sobre vacaciones " + base, x.afpAporte);
    row("AFP prima de seguro", x.afpPrima);
    row(ui::utf8To1252("AFP comisión"), x.afpComision);
  }
  row("Renta de quinta categoria (vacaciones, gratificacion y bonificacion)", x.tax);
  row("TOTAL DESCUENTOS", x.deductions, true);
  w.line(kEnd);
  w.line("{s=11;b=y}" + at(kLeft, 'l', "NETO A PAGAR") + at(kAmount, 'r', "S/ " + money(x.net)) + "{b=n;s=10}" + kEnd);
  w.line("{b=y}" + at(kLeft, 'l', calc::amountInWords(x.net)) + "{b=n}" + kEnd);
  w.line(kEnd);
  row("Aporte del empleador (informativo): EsSalud sobre " + base, x.essalud);
  w.line(kEnd);
  paragraph(w, "Plazo de pago: hasta el " + x.deadline.dmy() + " (48 horas desde el cese). Los periodos se cuentan "
               "en meses de 30 dias (el ultimo dia de un mes cuenta como su dia 30); la gratificacion trunca, por "
               "meses calendario completos; cada linea se redondea a dos decimales.");
  paragraph(w, "Declaro haber recibido el importe neto de la presente liquidacion de beneficios sociales, con lo "
               "que doy mi conformidad.");
  w.line(at(kLeft, 'l', placeAndDate(c.computedOn.empty() ? s.YFECHA : c.computedOn)) + kEnd);
  signatures(w, "EMPLEADOR", rtrim(in.nombres), "TRABAJADOR", c.emp.name + "  DNI " + c.emp.dni);
  w.line(at(6600, 'l', "Huella digital: [        ]") + kEnd);
  return finishReport(s, w, startViewer);
}

bool PREPCERTRAB(Session& s, const calc::SettlementCase& c, const InstitutionData& in, bool startViewer) {
  const calc::Settlement& x = c.result;
  RpvWriter w(s.dataDir());
  begin(w, "Certificado De Trabajo", "CERTIFICADO DE TRABAJO");
  paragraph(w, "El que suscribe, " + rtrim(in.nombres) + ", " + rtrim(in.cargo) + " de " + company(s) +
                   ", con RUC " + rtrim(in.ruc) + " y domicilio en " + rtrim(in.direc) + ",");
  w.line("{b=y}" + at(kLeft, 'l', "CERTIFICA:") + "{b=n;\\n}" + kEnd);
  paragraph(w, ui::utf8To1252("Que don(ña) ") + c.emp.name + ", identificado(a) con DNI " + c.emp.dni +
                   ", ha laborado en nuestra empresa desde el " + x.hire.dmy() + " hasta el " + x.cese.dmy() +
                   ui::utf8To1252(", desempeñando el cargo de ") + c.emp.cargo + ", con un tiempo de servicios de " +
                   spanText(x.service.years, x.service.months, x.service.days) + ".");
  paragraph(w, "Se expide el presente certificado conforme al articulo 2 del Decreto Supremo 001-96-TR, para los "
               "fines que el interesado estime conveniente.");
  w.line(at(kLeft, 'l', placeAndDate(c.computedOn.empty() ? s.YFECHA : c.computedOn)) + kEnd);
  signatures(w, rtrim(in.nombres), rtrim(in.cargo), "", "");
  return finishReport(s, w, startViewer);
}

bool PREPCARTACTS(Session& s, const calc::SettlementCase& c, const InstitutionData& in, const std::string& bankName,
                  bool startViewer) {
  const calc::Settlement& x = c.result;
  RpvWriter w(s.dataDir());
  begin(w, "Carta De Liberacion De CTS", "CARTA DE LIBERACION DE DEPOSITOS CTS");
  w.line(at(kLeft, 'l', placeAndDate(c.computedOn.empty() ? s.YFECHA : c.computedOn)) + "{\\n;\\n}" + kEnd);
  w.line(at(kLeft, 'l', ui::utf8To1252("Señores")) + kEnd);
  w.line("{b=y}" + at(kLeft, 'l', bankName) + "{b=n}" + kEnd);
  w.line(at(kLeft, 'l', "Presente.-") + "{\\n}" + kEnd);
  w.line(at(kLeft, 'l', "Asunto: Liberacion de los depositos de CTS por cese del trabajador") + "{\\n}" + kEnd);
  const char* reason = calc::endReasonName(x.reason);
  paragraph(w, "Por medio de la presente, " + company(s) + ", con RUC " + rtrim(in.ruc) +
                   ", comunica a ustedes que su trabajador(a) " + c.emp.name + ", identificado(a) con DNI " +
                   c.emp.dni + ", titular de la cuenta CTS Nro. " + c.emp.ctacte + ", ha cesado en sus labores el " +
                   x.cese.dmy() + " (motivo: " + (reason ? reason : x.reason) + ").");
  paragraph(w, "En consecuencia, conforme al articulo 45 del TUO de la Ley de Compensacion por Tiempo de "
               "Servicios (D.S. 001-97-TR), solicitamos se sirvan poner a su disposicion la totalidad de los "
               "depositos de su compensacion por tiempo de servicios y sus intereses.");
  paragraph(w, "Atentamente,");
  signatures(w, rtrim(in.nombres), rtrim(in.cargo) + " - " + company(s), "", "");
  return finishReport(s, w, startViewer);
}

bool printSettlementDoc(Session& s, SettlementDoc doc, const std::string& code, bool startViewer) {
  if (!companyChosen(s, kTitle)) return false;
  InstitutionData in;
  if (!institutionRecord(s, in, "Tabla de Institucion  No Existe", "Codigo de Institucion No Existe", kTitle))
    return false;
  calc::SettlementCase c;
  if (!calc::readStoredSettlement(s, code, &c)) return false;
  switch (doc) {
    case SettlementDoc::Settlement: return PREPLIQ(s, c, in, startViewer);
    case SettlementDoc::Certificate: return PREPCERTRAB(s, c, in, startViewer);
    case SettlementDoc::CtsLetter: break;
  }
  if (trimRight(c.emp.banco).empty() || c.emp.ctacte.empty()) {
    stopBox(s, "Trabajador Sin Banco O Cuenta CTS En El Maestro", kTitle);
    return false;
  }
  std::string bankName = trimRight(c.emp.banco);
  if (tableExists(s, catalog::TableId::Banks)) {
    Table* banks = openAs(s, catalog::TableId::Banks, "MaeBanc");
    if (!banks) return false;
    if (banks->seek(c.emp.banco)) bankName = rtrim(banks->str("NOMBRE"));
    s.close(s.areaOf("MaeBanc"));
  }
  return PREPCARTACTS(s, c, in, bankName, startViewer);
}

}  // namespace planilla::reports
