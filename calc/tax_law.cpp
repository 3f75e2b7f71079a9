#include "calc/tax_law.h"

#include <cstdio>

#include "calc/record.h"
#include "store/catalog.h"

namespace planilla::calc {

namespace {

// UIT by year (D.S. of each December for the following year).
struct YearUnit {
  int year;
  double uit;
};
constexpr YearUnit kUnits[] = {{2016, 3950}, {2017, 4050}, {2018, 4150}, {2019, 4200}, {2020, 4300}, {2021, 4400},
                               {2022, 4600}, {2023, 4950}, {2024, 5150}, {2025, 5350}, {2026, 5500}};

std::string plain(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

}  // namespace

std::optional<double> yearUit(int year) {
  for (const YearUnit& u : kUnits)
    if (u.year == year) return u.uit;
  return std::nullopt;
}

TaxBands bandsForUit(double uit) {
  static const double kTimes[5] = {5, 20, 35, 45, 45};
  static const double kRates[5] = {8, 14, 17, 20, 30};
  TaxBands b;
  for (int i = 0; i < 5; ++i) {
    b.limit[i] = roundMoney(kTimes[i] * uit);
    b.rate[i] = kRates[i];
  }
  return b;
}

std::string uitWarning(double ratesUit, int year) {
  const std::optional<double> uit = yearUit(year);
  if (!uit || roundMoney(ratesUit) == *uit) return "";
  return "La U.I.T. De Porcentajes (" + plain(ratesUit) + ") No Es La Del A\xF1o " + std::to_string(year) + " (" +
         plain(*uit) + "): Revise Porcentajes";
}

Status readTaxSettings(Session& s, TaxSettings* out) {
  *out = TaxSettings{};
  const catalog::TableDef def = s.def(catalog::TableId::TaxSettings);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return Status::ok();
  auto t = Table::openReadOnly(s.fs(), s.path(def.dbf()));
  if (!t) return t.status().withContext(def.dbf());
  Status st = (*t)->goTop();
  if (st && !(*t)->eof()) out->projectBonus = trimRight((*t)->str("PROYBONI")) == "S";
  (*t)->close();
  return st.withContext(def.dbf());
}

Status writeTaxSettings(Session& s, const TaxSettings& in) {
  const catalog::TableDef def = s.def(catalog::TableId::TaxSettings);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(s.fs(), s.dataDir(), def));
  auto opened = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!opened) return opened.status();
  Table& t = **opened;
  Status st = t.goTop();
  // The one record: locked when there, appended (and so locked) on the first save.
  if (st) st = t.eof() ? t.appendBlank() : t.lockRecord();
  if (st) st = t.replace("PROYBONI", std::string_view(in.projectBonus ? "S" : "N"));
  if (st) st = t.flush();
  t.unlockAll();
  t.close();
  return st.withContext(def.dbf());
}

}  // namespace planilla::calc
