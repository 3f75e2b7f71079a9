#include "calc/payroll.h"

namespace planilla::calc {

namespace {

bool blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

PayrollParams readParams(const RecordView& t) {
  PayrollParams p;
  p.ipsst = t.num("IPSST");
  p.snpt = t.num("SNPT");
  p.fonavit = t.num("FONAVIT");
  p.ipsse = t.num("IPSSE");
  p.snpe = t.num("SNPE");
  p.fonavie = t.num("FONAVIE");
  p.minivital = t.num("MINIVITAL");
  p.hexemp1 = t.num("HEXEMP1");
  p.hexemp2 = t.num("HEXEMP2");
  p.uit2 = t.num("UIT2");
  p.bonifi9 = t.num("BONIFI9");
  p.mesafec = t.str("MESAFEC");
  static const char* limits[5] = {"SCALA01", "SCALA02", "SCALA03", "SCALA04", "SCALA05"};
  static const char* rates[5] = {"TASA08", "TASA14", "TASA17", "TASA20", "TASA30"};
  for (int i = 0; i < 5; ++i) {
    p.bands.limit[i] = t.num(limits[i]);
    p.bands.rate[i] = t.num(rates[i]);
  }
  return p;
}

FundRates readFundRates(const RecordView& t) {
  FundRates f;
  f.afppor1 = t.num("AFPPOR1");
  f.afppor2 = t.num("AFPPOR2");
  f.afppor3 = t.num("AFPPOR3");
  f.afppor4 = t.num("AFPPOR4");
  return f;
}

Currency currencyOf(const std::string& dolar) {
  std::string d = trimRight(dolar);
  if (d.empty() || d == "S") return Currency::Soles;
  if (d == "D") return Currency::Dollars;
  if (d == "E") return Currency::Euros;
  return Currency::Unknown;
}

bool Employee::fundMember() const { return !blank(codafp); }

Employee readEmployee(const RecordView& t) {
  Employee e;
  e.codigo = t.str("CODIGO");
  e.codafp = t.str("CODAFP");
  e.fechAfp = t.date("FECH_AFP");
  e.fechIng = t.date("FECH_ING");
  e.basMen = t.num("BAS_MEN");
  e.asigna = t.num("ASIGNA");
  e.gratif = t.num("GRATIF");
  e.esvida = t.num("ESVIDA");
  e.imp5ta = t.num("IMP5TA");
  e.diaTra = t.num("DIA_TRA");
  e.fraccion = t.num("FRACCION");
  e.subsid = t.num("SUBSID");
  e.currency = currencyOf(t.str("DOLAR"));
  e.quinta = trimRight(t.str("QUINTA"));
  e.insured = trimRight(t.str("SEGUROAFP")) == "S";
  e.feePaid = trimRight(t.str("RETRI")) == "2";
  return e;
}

MonthlyEntries readEntries(const RecordView& t) {
  MonthlyEntries m;
  m.simple = t.num("SIMPLE");
  m.doble = t.num("DOBLE");
  m.refrige = t.num("REFRIGE");
  m.diastra = t.num("DIASTRA");
  m.produc = t.num("PRODUC");
  m.movili = t.num("MOVILI");
  m.utili = t.num("UTILI");
  m.cts = t.num("CTS");
  m.subsid = t.num("SUBSID");
  m.sumini = t.num("SUMINI");
  m.adelanto = t.num("ADELANTO");
  m.otrosegr = t.num("OTROSEGR");
  m.tardan = t.num("TARDAN");
  m.retjud = t.num("RETJUD");
  m.cuosin = t.num("CUOSIN");
  return m;
}

Status payrollToBase(const Employee& e, const VacationEntry& vac, const MonthlyEntries& me, const RunValues& rv,
                     PendingRecord& rec, EmployeeWork& w) {
  const PayrollParams& pp = rv.params;
  // 1. Vacation days; in February more than 27 days count as 30.
  w.control = 3;
  w.v = 0;
  if (vac.found) {
    w.control = static_cast<int>(vac.control);
    w.v = vac.diavac;
    if (rv.ymes == "02" && w.v > 27) w.v = 30;
  }
  // 2. Monthly base and proportional gratification in soles; the allowance is in soles.
  const double days = e.diaTra + w.v;
  switch (e.currency) {
    case Currency::Dollars:
      w.m = roundMoney(rv.dollar * e.basMen);
      w.g = roundMoney(rv.dollar * (e.gratif / 30 * days));
      break;
    case Currency::Euros:
      w.m = roundMoney(rv.euro * e.basMen);
      w.g = roundMoney(rv.euro * (e.gratif / 30 * days));
      break;
    case Currency::Soles:
      w.m = e.basMen;
      w.g = roundMoney(e.gratif / 30 * days);
      break;
    case Currency::Unknown:
      return Status::invalid("moneda desconocida");
  }
  w.a = e.asigna;
  // 3. Vacation pay, only for vacations recorded by the roll (control 1).
  w.vp = w.control == 1 ? roundMoney((w.m + w.a) / 30 * w.v) : 0;
  // 4. Basic pay and allowance of the month; each absence removes a thirtieth of the
  //    rounded daily amount.
  w.b = w.m / 30 * e.diaTra - (roundMoney(w.m / 30) / 30) * e.fraccion;
  w.f = w.a / 30 * e.diaTra - (roundMoney(w.a / 30) / 30) * e.fraccion;
  // 5. Overtime rates.
  const double hourly = roundMoney((w.m + w.a) / 30 / 8);
  w.r1 = roundMoney(hourly * pp.hexemp1);
  w.r2 = roundMoney(hourly * pp.hexemp2);
  w.o1 = me.simple * w.r1;
  w.o2 = me.doble * w.r2;
  // 8. The result fields of the employee's earnings and entries.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("BAS_MEN", w.m));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("ASIGNA", w.f));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("MOVILI", me.movili));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("OTROSP", 0));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("REFRIG", me.refrige));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("DIASTRA", me.diastra));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("PRODUC", me.produc));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("UTILI", me.utili));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("CTS", me.cts));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("HSIMPLE", me.simple));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("HDOBLE", me.doble));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("GRATIF", w.g));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("ADELANTO", me.adelanto));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("VACACI", w.vp));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("OTROSD", me.otrosegr));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("RETJUD", me.retjud));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("ESVIDA", e.esvida));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("SUMINI", me.sumini));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("CUOSIN", me.cuosin));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("TARDAN", me.tardan));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("SUBSI", e.subsid));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("SUBSID", me.subsid));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("HSIMPLE_P", w.o1));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("HDOBLE_P", w.o2));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("BAS_QUI", w.b));
  // 9. Contribution base, meal allowance included.
  PLANILLA_RETURN_IF_ERROR(rec.setNum(
      "TBRUTO", rec.num("BAS_QUI") + rec.num("ASIGNA") + rec.num("VACACI") + rec.num("MOVILI") +
                    rec.num("HSIMPLE_P") + rec.num("HDOBLE_P") + rec.num("OTROSP") + rec.num("GRATIF") +
                    rec.num("SUMINI") + rec.num("SUBSID") + rec.num("REFRIG")));
  w.p = rec.num("TBRUTO");
  // 10. Monthly tax base; variant "E" includes the month's gratification.
  w.t = rec.num("BAS_QUI") + rec.num("ASIGNA") + rec.num("VACACI") + rec.num("SUBSID");
  if (e.quinta == "E") w.t += w.g;
  return Status::ok();
}

TaxVariant taxVariant(const Employee& e) {
  if (e.quinta == "S") return TaxVariant::WithGratifications;
  if (e.quinta == "E") return TaxVariant::Monthly;
  return TaxVariant::None;
}

FifthInput fifthInput(const Employee& e, const MonthlyEntries& me, const RunValues& rv, const EmployeeWork& w) {
  FifthInput in;
  in.u = rv.params.uit2;
  in.t = w.t;
  in.o1 = w.o1;
  in.o2 = w.o2;
  in.mv = me.movili;
  in.su = me.sumini;
  in.p = w.p;
  in.code = e.codigo;
  in.entry = e.fechIng;
  in.projectGrat = taxVariant(e) == TaxVariant::WithGratifications;
  return in;
}

Result<AfterTax> payrollAfterTax(const Employee& e, const RunValues& rv, const FundRates& fund, double decPremium,
                                 double tax, PendingRecord& rec, EmployeeWork& w) {
  const PayrollParams& pp = rv.params;
  const double p = w.p;
  // 11. Fifth-category tax; a fixed amount replaces the computed one.
  double rta = 0;
  if (taxVariant(e) != TaxVariant::None) rta = tax > 0 ? tax : 0;
  if (e.imp5ta != 0) rta = e.imp5ta;
  // The tax on an extraordinary payment is withheld on top, whole, in its month.
  if (taxVariant(e) != TaxVariant::None) rta = roundMoney(rta) + w.rtaExtra;
  PLANILLA_RETURN_IF_ERROR(rec.setNum("RTA_5TA", rta));
  if (rec.hasField(kExtraTaxField)) PLANILLA_RETURN_IF_ERROR(rec.setNum(kExtraTaxField, w.rtaExtra));
  // 12. Worker's health contributions.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("IPSST", p * pp.ipsst / 100));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("FONAVIT", p * pp.fonavit / 100));
  // 13. Pension.
  if (e.fundMember()) {
    if (e.fechAfp.empty()) return AfterTax::NoAffiliationDate;
    PLANILLA_RETURN_IF_ERROR(rec.setNum("AAPOR1", p * fund.afppor1 / 100));
    PLANILLA_RETURN_IF_ERROR(rec.setNum("AAPOR3", p * fund.afppor3 / 100));
    double premium = 0;
    if (e.insured) premium = (p > fund.afppor4 ? fund.afppor4 : p) * fund.afppor2 / 100 - decPremium;
    PLANILLA_RETURN_IF_ERROR(rec.setNum("AAPOR2", premium));
    PLANILLA_RETURN_IF_ERROR(rec.setNum("AFPDSC", rec.num("AAPOR1") + rec.num("AAPOR2") + rec.num("AAPOR3")));
  } else {
    PLANILLA_RETURN_IF_ERROR(rec.setNum("SNPT", p * pp.snpt / 100));
  }
  // 14. Employer's EsSalud on the base without the subsidy; the minimum wage is the
  //     floor when there is no subsidy.
  const double subsidy = rec.num("SUBSID");
  const double base = p - subsidy;
  double ipsse = 0;
  if (subsidy != 0) {
    ipsse = base == 0 ? 0 : base * pp.ipsse / 100;
  } else if (base == 0) {
    ipsse = 0;
  } else if (base < pp.minivital) {
    ipsse = pp.minivital * pp.ipsse / 100;
  } else {
    ipsse = base * pp.ipsse / 100;
  }
  PLANILLA_RETURN_IF_ERROR(rec.setNum("IPSSE", ipsse));
  // 15. Further employer contributions.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("FONAVIE", (p - w.g) * pp.fonavie / 100));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("SNPE", p * pp.snpe / 100));
  // 16.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("OTROSP", 0));
  // 17. Final gross, without the meal allowance.
  PLANILLA_RETURN_IF_ERROR(rec.setNum(
      "TBRUTO", rec.num("BAS_QUI") + w.f + rec.num("VACACI") + rec.num("MOVILI") + rec.num("HSIMPLE_P") +
                    rec.num("HDOBLE_P") + rec.num("OTROSP") + rec.num("GRATIF") + rec.num("SUMINI") +
                    rec.num("SUBSID")));
  // 18. Totals and net pay.
  PLANILLA_RETURN_IF_ERROR(rec.setNum(
      "T_DSCTOT", rec.num("IPSST") + rec.num("FONAVIT") + rec.num("SNPT") + rec.num("AFPDSC") +
                      rec.num("RTA_5TA") + rec.num("ESVIDA") + rec.num("ADELANTO") + rec.num("OTROSD") +
                      rec.num("RETJUD") + rec.num("CUOSIN") + rec.num("TARDAN")));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("T_DSCTOE", rec.num("IPSSE") + rec.num("FONAVIE") + rec.num("SNPE")));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("TPAGAR", rec.num("TBRUTO") - rec.num("T_DSCTOT")));
  // 19. Fee-paid employee: the recorded pay, untouched by deductions.
  if (e.feePaid) {
    PLANILLA_RETURN_IF_ERROR(rec.setNum("TBRUTO", e.basMen));
    PLANILLA_RETURN_IF_ERROR(rec.setNum("BAS_QUI", rec.num("TBRUTO")));
    PLANILLA_RETURN_IF_ERROR(rec.setNum("TPAGAR", rec.num("TBRUTO")));
    static const char* zeroed[] = {"MOVILI", "ASIGNA",   "BONIFI",  "VACACI", "HSIMPLE_P", "HDOBLE_P",
                                   "OTROSP", "GRATIF",   "SUMINI",  "SUBSID", "T_DSCTOT",  "IPSST",
                                   "FONAVIT", "SNPT",    "AFPDSC",  "AAPOR1", "AAPOR2",    "AAPOR3",
                                   "RTA_5TA", "ESVIDA",  "ADELANTO", "OTROSD", "RETJUD",   "CUOSIN",
                                   "TARDAN", "T_DSCTOE", "IPSSE",   "FONAVIE", "SNPE"};
    for (const char* f : zeroed) PLANILLA_RETURN_IF_ERROR(rec.setNum(f, 0));
    if (rec.hasField(kExtraTaxField)) PLANILLA_RETURN_IF_ERROR(rec.setNum(kExtraTaxField, 0));
  }
  return AfterTax::Done;
}

const std::vector<std::string>& payrollCopiedFields() {
  static const std::vector<std::string> f = {"CODIGO",   "NOMBRE",   "CCOSTO",    "CODAFP",  "NROAFP",
                                             "SITUACION", "FECHASITUA", "DIA_TRA", "TIPTRAB", "HORASTRA",
                                             "CATEGO",   "FRACCION", "FRACCION1", "NOSUBS",  "TIENECTA",
                                             "DOCIDEN",  "MOVPER",   "PLANI"};
  return f;
}

const std::vector<std::string>& convertedCopiedFields() {
  static const std::vector<std::string> f = {"CODIGO",  "NOMBRE",     "CCOSTO",  "CODAFP",  "NROAFP",
                                             "SITUACION", "FECHASITUA", "DIA_TRA", "TIPTRAB", "HORASTRA",
                                             "TIENECTA", "DOCIDEN",    "MOVPER",  "PLANI"};
  return f;
}

const std::vector<std::string>& convertedAmountFields() {
  static const std::vector<std::string> f = {
      "BAS_QUI", "SNPT",   "RETJUD", "OTROSD",  "IPSSE",    "ASIGNA",    "MOVILI",   "AAPOR1", "RTA_5TA",
      "FONAVIE", "T_DSCTOT", "HSIMPLE_P", "HDOBLE_P", "AAPOR2", "ESVIDA", "GRATIF", "VACACI", "OTROSP",
      "AAPOR3",  "ADELANTO", "TPAGAR", "TBRUTO", "SUMINI",  "CUOSIN",   "TARDAN",    "SUBSID",   "BAS_MEN"};
  return f;
}

const std::vector<std::string>& payrollResultFields() {
  static const std::vector<std::string> f = [] {
    std::vector<std::string> v = payrollCopiedFields();
    for (const char* n : {"BAS_MEN", "ASIGNA", "MOVILI", "OTROSP", "REFRIG", "DIASTRA", "PRODUC", "UTILI", "CTS",
                          "HSIMPLE", "HDOBLE", "GRATIF", "ADELANTO", "VACACI", "OTROSD", "RETJUD", "ESVIDA",
                          "SUMINI", "CUOSIN", "TARDAN", "SUBSI", "SUBSID", "HSIMPLE_P", "HDOBLE_P", "BAS_QUI",
                          "TBRUTO", "RTA_5TA", "IPSST", "FONAVIT", "AAPOR1", "AAPOR2", "AAPOR3", "AFPDSC", "SNPT",
                          "IPSSE", "FONAVIE", "SNPE", "T_DSCTOT", "T_DSCTOE", "TPAGAR", "BONIFI"})
      v.push_back(n);
    return v;
  }();
  return f;
}

const char* const kExtraTaxField = "RTA_EXTRA";
FieldSpec extraTaxField() { return FieldSpec{kExtraTaxField, 'N', 14, 2}; }

Status convertAmounts(const PendingRecord& result, const std::vector<std::string>& amounts, double rate,
                      PendingRecord& conv) {
  if (!(rate > 0)) return Status::invalid("tipo de cambio en cero");
  for (const std::string& f : amounts) PLANILLA_RETURN_IF_ERROR(conv.setNum(f, roundMoney(result.num(f) / rate)));
  return Status::ok();
}

}  // namespace planilla::calc
