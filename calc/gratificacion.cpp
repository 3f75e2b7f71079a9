#include "calc/gratificacion.h"

namespace planilla::calc {

RollEntry readRollEntry(const RecordView& t) {
  RollEntry r;
  r.codigo = t.str("CODIGO");
  r.mes = t.num("MES");
  r.dia = t.num("DIA");
  r.dscto = t.num("DSCTO");
  r.desgrat = t.num("DESGRAT");
  r.dscley = t.num("DSCLEY");
  return r;
}

bool gratNeedsFund(const Employee& e, const RollEntry& r) { return r.dscley != 0 && e.fundMember(); }

Result<AfterTax> gratificationSteps(const Employee& e, const RollEntry& r, const RunValues& rv,
                                    const FundRates& fund, int workYear, int workMonth, PendingRecord& rec,
                                    GratWork& w) {
  const PayrollParams& pp = rv.params;
  // 2. Monthly base in soles.
  switch (e.currency) {
    case Currency::Dollars: w.m = roundMoney(rv.dollar * e.basMen); break;
    case Currency::Euros: w.m = roundMoney(rv.euro * e.basMen); break;
    case Currency::Soles: w.m = e.basMen; break;
    case Currency::Unknown: return Status::invalid("moneda desconocida");
  }
  w.a = e.asigna;
  // 3. A sixth of the monthly pay per month counted, a thirtieth of that per day.
  const double sixth = (w.m + w.a) / 6;
  const double gratif = roundMoney(sixth * r.mes) + roundMoney(sixth / 30 * r.dia);
  // 5. The result record's amounts.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("BAS_MEN", w.m));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("MOVILI", 0));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("OTROSP", 0));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("ESCOLAR", 0));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("GRATIF", gratif));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("ADELANTO", r.dscley + r.dscto));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("OTROSD", 0));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("RETJUD", 0));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("RTA_5TA", r.desgrat));
  // 6. Extraordinary bonus, on the part not paid in advance.
  const double g0 = rec.num("GRATIF");
  const double bonifi = r.dscley != 0 ? (g0 - r.dscley) * pp.bonifi9 / 100 : g0 * pp.bonifi9 / 100;
  PLANILLA_RETURN_IF_ERROR(rec.setNum("BONIFI", bonifi));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("TBRUTO", rec.num("GRATIF") + rec.num("BONIFI")));
  w.q = rec.num("TBRUTO");
  // 7. Worker's health contributions on the gross.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("IPSST", w.q * pp.ipsst / 100));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("FONAVIT", w.q * pp.fonavit / 100));
  if (r.dscley != 0) {
    // 8. Pension on the amount paid in advance.
    if (e.fundMember()) {
      if (e.fechAfp.empty()) return AfterTax::NoAffiliationDate;
      // Year and month both count: affiliated in an earlier year, whatever the month,
      // the employee is a fund member; affiliated after the working month, not yet.
      const bool affiliated = e.fechAfp.year() < workYear ||
                              (e.fechAfp.year() == workYear && e.fechAfp.month() <= workMonth);
      if (affiliated) {
        PLANILLA_RETURN_IF_ERROR(rec.setNum("AAPOR1", r.dscley * fund.afppor1 / 100));
        double premium = 0;
        if (e.insured)
          premium = w.q > fund.afppor4 ? fund.afppor4 * fund.afppor2 / 100 : r.dscley * fund.afppor2 / 100;
        PLANILLA_RETURN_IF_ERROR(rec.setNum("AAPOR2", premium));
        PLANILLA_RETURN_IF_ERROR(rec.setNum("AAPOR3", r.dscley * fund.afppor3 / 100));
        PLANILLA_RETURN_IF_ERROR(
            rec.setNum("AFPDSC", rec.num("AAPOR1") + rec.num("AAPOR2") + rec.num("AAPOR3")));
      } else {
        PLANILLA_RETURN_IF_ERROR(rec.setNum("SNPT", r.dscley * pp.snpt / 100));
      }
    } else {
      PLANILLA_RETURN_IF_ERROR(rec.setNum("SNPT", r.dscley * pp.snpt / 100));
    }
    // 9. Employer contributions on the same amount.
    PLANILLA_RETURN_IF_ERROR(rec.setNum("IPSSE", r.dscley * pp.ipsse / 100));
    PLANILLA_RETURN_IF_ERROR(rec.setNum("FONAVIE", r.dscley * pp.fonavie / 100));
    PLANILLA_RETURN_IF_ERROR(rec.setNum("SNPE", r.dscley * pp.snpe / 100));
  }
  // 10. Totals.
  PLANILLA_RETURN_IF_ERROR(rec.setNum("TBRUTO", rec.num("GRATIF") + rec.num("BONIFI")));
  PLANILLA_RETURN_IF_ERROR(rec.setNum(
      "T_DSCTOT", rec.num("IPSST") + rec.num("FONAVIT") + rec.num("SNPT") + rec.num("AFPDSC") +
                      rec.num("RTA_5TA") + rec.num("ESVIDA") + rec.num("ADELANTO") + rec.num("OTROSD") +
                      rec.num("RETJUD")));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("T_DSCTOE", rec.num("IPSSE") + rec.num("FONAVIE") + rec.num("SNPE")));
  PLANILLA_RETURN_IF_ERROR(rec.setNum("TPAGAR", rec.num("TBRUTO") - rec.num("T_DSCTOT")));
  return AfterTax::Done;
}

const std::vector<std::string>& gratCopiedFields() {
  static const std::vector<std::string> f = {"CODIGO",    "NOMBRE",     "CCOSTO", "CODAFP",
                                             "NROAFP", "SITUACION", "FECHASITUA", "TIPTRAB"};
  return f;
}

const std::vector<std::string>& gratConvertedAmountFields() {
  static const std::vector<std::string> f = {
      "BAS_QUI", "ESCOLAR", "SNPT",   "RETJUD", "OTROSD",   "IPSSE",  "ASIGNA",  "MOVILI",   "AAPOR1",
      "RTA_5TA", "FONAVIE", "T_DSCTOT", "HSIMPLE_P", "HDOBLE_P", "AAPOR2", "ESVIDA", "GRATIF", "VACACI",
      "OTROSP",  "AAPOR3",  "ADELANTO", "BAS_MEN", "TPAGAR", "TBRUTO", "GRAEXT"};
  return f;
}

const std::vector<std::string>& gratResultFields() {
  static const std::vector<std::string> f = [] {
    std::vector<std::string> v = gratCopiedFields();
    for (const char* n : {"BAS_MEN", "MOVILI", "OTROSP", "ESCOLAR", "GRATIF", "ADELANTO", "OTROSD", "RETJUD",
                          "RTA_5TA", "BONIFI", "TBRUTO", "IPSST", "FONAVIT", "AAPOR1", "AAPOR2", "AAPOR3", "AFPDSC",
                          "SNPT", "IPSSE", "FONAVIE", "SNPE", "T_DSCTOT", "T_DSCTOE", "TPAGAR", "BAS_QUI",
                          "ASIGNA", "ESVIDA", "HSIMPLE_P", "HDOBLE_P", "VACACI", "GRAEXT"})
      v.push_back(n);
    return v;
  }();
  return f;
}

}  // namespace planilla::calc
