#include "calc/quinta.h"

#include <algorithm>

#include "calc/record.h"
#include "store/catalog.h"

namespace planilla::calc {

double RTAPROYECTADA(double n, const TaxBands& b) {
  const double* s = b.limit;
  const double* r = b.rate;
  // Whole lower bands, each rounded on its own.
  auto full = [&](int i) { return roundMoney((i == 0 ? s[0] : s[i] - s[i - 1]) * r[i] / 100); };
  auto part = [&](int i) { return roundMoney((i == 0 ? n : n - s[i - 1]) * r[i] / 100); };
  int band = 4;
  for (int i = 0; i < 4; ++i) {
    if (n < s[i] + 1) {
      band = i;
      break;
    }
  }
  double x = 0;
  for (int i = 0; i < band; ++i) x += full(i);
  return x + part(band);
}

double RTAMENSUAL(double amount, int m) {
  switch (m) {
    case 1:
    case 2:
    case 3: return amount / 12;
    case 4: return amount / 9;
    case 5:
    case 6:
    case 7: return amount / 8;
    case 8: return amount / 5;
    case 9:
    case 10:
    case 11: return amount / 4;
    default: return amount;
  }
}

double RTAPREVIA(double t, double o1, double o2, double mv, double j, double d, double su, int m) {
  // The run passes further amounts as zero; they are left out of the sum.
  return t * (12 - m + 1) + j + d + o1 + o2 + mv + su;
}

static double sumMonths(const YearRow& r, int from, int to) {  // 1-based, inclusive
  double s = 0;
  for (int i = from; i <= to; ++i) s += r.month[i - 1];
  return s;
}

double earlierEarnings(const YearRow& r, int m) {
  if (m < 1) return 0;
  if (m > 12) m = 13;
  return sumMonths(r, 1, m - 1);
}

double earlierWithholdings(const YearRow& r, int m) {
  switch (m) {
    case 4: return sumMonths(r, 1, 3);
    case 5:
    case 6:
    case 7: return sumMonths(r, 1, 4);
    case 8: return sumMonths(r, 1, 7);
    case 9:
    case 10:
    case 11: return sumMonths(r, 1, 8);
    case 12: return sumMonths(r, 1, 11) + r.graf2;
    default: return 0;
  }
}

Projection projectGratifications(double t, const Date& entry, const TaxPeriod& p, const GratSources& g) {
  Projection pr;
  const bool laterYear = !entry.empty() && entry.year() > p.year;
  if (laterYear) return pr;  // J = D = 0
  const bool sameYear = !entry.empty() && entry.year() == p.year;
  pr.j = t;
  pr.d = t;
  pr.jProjected = pr.dProjected = true;
  if (sameYear && p.ymes < "07") pr.j = t / 6 * (7 - entry.month());
  if (p.ymes > "06") {
    if (p.ymes < "12") {
      if (g.julyExists) {
        if (g.julyGross) {
          pr.j = *g.julyGross;
          pr.d = t;
        } else {
          pr.j = 0;
          pr.d = 0;
        }
        pr.jProjected = false;
      }
    } else {
      if (g.julyExists) pr.j = g.julyGross.value_or(0), pr.jProjected = false;
      if (g.decemberExists) pr.d = g.decemberGross.value_or(0), pr.dProjected = false;
    }
  }
  return pr;
}

FifthOutcome computeFifth(const FifthInput& in, const TaxPeriod& p, const TaxBands& b,
                          const std::optional<YearRow>& earnings, const std::optional<YearRow>& withholdings,
                          const GratSources& g) {
  FifthOutcome o;
  o.k = 7 * in.u;
  o.h = earnings ? earlierEarnings(*earnings, p.m) : 0;
  o.w = withholdings ? earlierWithholdings(*withholdings, p.m) : 0;
  if (in.projectGrat) {
    Projection pr = projectGratifications(in.t, in.entry, p, g);
    o.j = pr.j;
    o.d = pr.d;
    // The bonus goes with each gratification still to come, rounded as the
    // gratification run stores it; a paid one carries its own in its gross.
    if (in.bonusRate > 0) {
      if (pr.jProjected) o.b += roundMoney(pr.j * in.bonusRate / 100);
      if (pr.dProjected) o.b += roundMoney(pr.d * in.bonusRate / 100);
    }
  }
  o.y = RTAPREVIA(in.t, in.o1, in.o2, in.mv, o.j, o.d, in.su, p.m) + o.b;
  o.n = o.y + o.h - o.k;
  o.x = RTAPROYECTADA(o.n, b);
  if (o.n > 0) {
    o.positive = true;
    o.z = RTAMENSUAL(o.x - o.w, p.m);
  }
  // An extraordinary payment is not spread: the tax it adds to the year is withheld
  // in full in the month it is paid.
  if (in.extra > 0 && o.n + in.extra > 0) {
    o.xe = RTAPROYECTADA(o.n + in.extra, b);
    o.ze = roundMoney(o.xe - (o.positive ? o.x : 0));
    if (o.ze < 0) o.ze = 0;
  }
  return o;
}

// --- on tables ---------------------------------------------------------------------

static const std::string& monthField(int m) { return catalog::monthFieldNames()[m - 1]; }

// The seek positions the table by itself (a failed one leaves it at end of file).
static bool seekCode(Table& t, const std::string& code) { return t.seek(code); }

// One employee's record of a year table, changed in memory and written back in one
// go: either the whole change is stored or none of it.
class YearRecord {
 public:
  YearRecord(Table& t, const FieldMap& map) : t_(t), map_(map) {}

  // Seeks the code; an employee without a record gets a new one holding the code
  // (written by store()).
  Status find(const std::string& code) {
    found_ = seekCode(t_, code);
    if (found_) {
      raw_ = t_.rawRecord();
      return Status::ok();
    }
    size_t len = 0;
    for (int i = 0; i < map_.size(); ++i) len += static_cast<size_t>(map_.fieldAt(i).width);
    raw_.assign(len, ' ');
    return setText("CODIGO", code);
  }
  // A number of the record; one that is not (asterisks, letters) reads as 0 and is
  // kept for numberError().
  double num(std::string_view name) const {
    int i = map_.index(name);
    if (i < 0) return 0;
    const dbf::Field& f = map_.field(i);
    if (f.offset + static_cast<size_t>(f.width) > raw_.size()) return 0;
    const std::string_view bytes = std::string_view(raw_).substr(f.offset, static_cast<size_t>(f.width));
    bool ok = true;
    const double v = dbf::decodeNumber(f, bytes, &ok);
    if (!ok && bad_.isOk()) bad_ = unreadableNumber(fileName(t_.path()), t_.recno(), f.name, bytes);
    return v;
  }
  Status numberError() const { return bad_; }
  double months(int from, int to) const {  // stored month fields, 1-based inclusive
    double s = 0;
    for (int i = from; i <= to; ++i) s += num(monthField(i));
    return s;
  }
  Status set(std::string_view name, double v) {
    const dbf::Field* f = nullptr;
    PLANILLA_RETURN_IF_ERROR(field(name, &f));
    double stored = 0;
    return encodeStored(v, *f, raw_.data() + f->offset, &stored).withContext(t_.alias());
  }
  Status setText(std::string_view name, std::string_view text) {
    const dbf::Field* f = nullptr;
    PLANILLA_RETURN_IF_ERROR(field(name, &f));
    dbf::encodeText(text, f->width, raw_.data() + f->offset);
    return Status::ok();
  }
  bool found() const { return found_; }
  Status store() {
    Status st = found_ ? t_.replaceRaw(raw_) : t_.appendRaw(raw_);
    t_.unlockAll();
    return st;
  }

 private:
  Status field(std::string_view name, const dbf::Field** f) const {
    int i = map_.index(name);
    if (i < 0) return Status::invalid("campo " + std::string(name) + " no existe en " + t_.alias());
    *f = &map_.field(i);
    if ((*f)->offset + static_cast<size_t>((*f)->width) > raw_.size())
      return Status::invalid("estructura distinta de " + t_.alias());
    return Status::ok();
  }
  static std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }
  Table& t_;
  const FieldMap& map_;
  std::string raw_;
  bool found_ = false;
  mutable Status bad_;
};

Status readYearRow(Table& t, const std::string& code, std::optional<YearRow>* row) {
  FieldMap map(fieldSpecs(t));
  return readYearRow(t, map, code, row);
}

Status readYearRow(Table& t, const FieldMap& map, const std::string& code, std::optional<YearRow>* row) {
  row->reset();
  YearRecord rec(t, map);
  if (!rec.find(code).isOk() || !rec.found()) return Status::ok();
  YearRow r;
  for (int i = 1; i <= 12; ++i) r.month[i - 1] = rec.num(monthField(i));
  r.graf2 = rec.num("GRAF2");
  PLANILLA_RETURN_IF_ERROR(rec.numberError());
  *row = r;
  return Status::ok();
}

Status gratGross(Table* t, const std::string& code, std::optional<double>* gross) {
  gross->reset();
  if (!t || !seekCode(*t, code)) return Status::ok();
  Result<double> v = checkedNum(*t, "TBRUTO");
  if (!v) return v.status();
  *gross = *v;
  return Status::ok();
}

static Status checkMonth(int m) {
  if (m < 1 || m > 12) return Status::invalid("mes de trabajo fuera de rango: " + std::to_string(m));
  return Status::ok();
}

// Month m = amount and the running total of the stored months.
static Status recordMonth(Table& t, const FieldMap& map, const std::string& code, double amount, int m,
                          bool withGraf2) {
  PLANILLA_RETURN_IF_ERROR(checkMonth(m));
  YearRecord rec(t, map);
  PLANILLA_RETURN_IF_ERROR(rec.find(code));
  PLANILLA_RETURN_IF_ERROR(rec.set(monthField(m), amount));
  double tot = rec.months(1, m);
  if (m == 12 && withGraf2) tot += rec.num("GRAF2");
  PLANILLA_RETURN_IF_ERROR(rec.numberError());
  PLANILLA_RETURN_IF_ERROR(rec.set("TOT", tot));
  return rec.store();
}

static Status grabarenta(Table& t, const FieldMap& map, const std::string& code, double amount, int m) {
  if (!(amount > 0)) return Status::ok();
  return recordMonth(t, map, code, amount, m, true);
}

Status GRABARENTA(Table& withholdings, const std::string& code, double amount, int m) {
  return grabarenta(withholdings, FieldMap(fieldSpecs(withholdings)), code, amount, m);
}

Status GRABAHABER(Table& earnings, const std::string& code, double amount, int m) {
  return recordMonth(earnings, FieldMap(fieldSpecs(earnings)), code, amount, m, false);
}

Status GRABA01RENTA(Table& withholdings, const std::string& code, double amount, const std::string& ymes) {
  FieldMap map(fieldSpecs(withholdings));
  YearRecord rec(withholdings, map);
  PLANILLA_RETURN_IF_ERROR(rec.find(code));
  if (ymes == "12") {
    PLANILLA_RETURN_IF_ERROR(rec.set("GRAF2", amount));
    const double tot = rec.months(1, 11) + rec.num("GRAF2");
    PLANILLA_RETURN_IF_ERROR(rec.numberError());
    PLANILLA_RETURN_IF_ERROR(rec.set("TOT", tot));
  }
  return rec.store();
}

TaxTables::TaxTables(Table* earn, Table* ret, Table* jul, Table* dec)
    : earnings(earn), withholdings(ret), july(jul), december(dec) {
  if (earnings) earningsMap = FieldMap(fieldSpecs(*earnings));
  if (withholdings) withholdingsMap = FieldMap(fieldSpecs(*withholdings));
}

Status readTaxInputs(TaxTables& tt, const std::string& code, bool projectGrat, TaxInputs* out) {
  PLANILLA_RETURN_IF_ERROR(readYearRow(*tt.earnings, tt.earningsMap, code, &out->earnings));
  PLANILLA_RETURN_IF_ERROR(readYearRow(*tt.withholdings, tt.withholdingsMap, code, &out->withholdings));
  out->grat = GratSources{};
  if (projectGrat) {
    out->grat.julyExists = tt.july != nullptr;
    out->grat.decemberExists = tt.december != nullptr;
    PLANILLA_RETURN_IF_ERROR(gratGross(tt.july, code, &out->grat.julyGross));
    PLANILLA_RETURN_IF_ERROR(gratGross(tt.december, code, &out->grat.decemberGross));
  }
  return Status::ok();
}

Result<FifthOutcome> DETERMINE5TA(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b) {
  PLANILLA_RETURN_IF_ERROR(checkMonth(p.m));
  TaxInputs ti;
  PLANILLA_RETURN_IF_ERROR(readTaxInputs(tt, in.code, in.projectGrat, &ti));
  return DETERMINE5TA(tt, in, p, b, ti);
}

Result<FifthOutcome> DETERMINE5TA(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b,
                                  const TaxInputs& ti) {
  PLANILLA_RETURN_IF_ERROR(checkMonth(p.m));
  FifthOutcome o = computeFifth(in, p, b, ti.earnings, ti.withholdings, ti.grat);
  if (!o.records()) return o;
  // Without an extraordinary payment this is the share and p, as always; with one,
  // the month holds what was withheld and earned in it, so that later months count
  // the payment among the earlier earnings and its tax among the withholdings.
  const double withheld = o.ze > 0 ? roundMoney(std::max(o.z, 0.0)) + o.ze : o.z;
  const double earned = o.ze > 0 ? in.p + in.extra : in.p;
  PLANILLA_RETURN_IF_ERROR(grabarenta(*tt.withholdings, tt.withholdingsMap, in.code, withheld, p.m));
  PLANILLA_RETURN_IF_ERROR(recordMonth(*tt.earnings, tt.earningsMap, in.code, earned, p.m, false));
  return o;
}

static Result<double> deter(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b) {
  Result<FifthOutcome> o = DETERMINE5TA(tt, in, p, b);
  if (!o) return o.status();
  return o->positive ? o->z : 0.0;
}

Result<double> DETER5TA(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b) {
  FifthInput i = in;
  i.projectGrat = true;
  return deter(tt, i, p, b);
}

Result<double> DETER5TAES(TaxTables& tt, const FifthInput& in, const TaxPeriod& p, const TaxBands& b) {
  FifthInput i = in;
  i.projectGrat = false;
  return deter(tt, i, p, b);
}

}  // namespace planilla::calc
