#include "session/install.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "store/catalog.h"
#include "store/platform.h"
#include "store/table.h"

namespace planilla {

namespace {

using catalog::TableDef;
using catalog::TableId;

// One field value to store: text, number or date.
struct V {
  enum Kind { Text, Num, Day } kind;
  std::string s;
  double n = 0;
  Date d;
  V(const char* t) : kind(Text), s(t) {}            // NOLINT: implicit by design
  V(std::string t) : kind(Text), s(std::move(t)) {}  // NOLINT
  V(double v) : kind(Num), n(v) {}                   // NOLINT
  V(int v) : kind(Num), n(v) {}                      // NOLINT
  V(Date v) : kind(Day), d(v) {}                     // NOLINT
};
using Fields = std::vector<std::pair<std::string, V>>;

Status put(Table& t, const Fields& fields) {
  for (const auto& [name, v] : fields) {
    Status st;
    switch (v.kind) {
      case V::Text: st = t.replace(name, v.s); break;
      case V::Num: st = t.replace(name, v.n); break;
      case V::Day: st = t.replace(name, v.d); break;
    }
    if (!st) return st.withContext(name);
  }
  return Status::ok();
}

Status append(Table& t, const Fields& fields) {
  PLANILLA_RETURN_IF_ERROR(t.appendBlank());
  return put(t, fields);
}

std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v % 100);
  return b;
}

// Fixed-point text of a number in `width` positions with `dec` decimals.
std::string numText(double v, int width, int dec) {
  char b[32];
  std::snprintf(b, sizeof b, "%*.*f", width, dec, roundHalfAway(v, dec));
  return b;
}

// A table created from its catalog layout with its tags, then opened exclusively
// with its bags so that appends keep the tags.
Result<std::unique_ptr<Table>> createAndOpen(FileSystem& fs, const std::string& dir, const TableDef& def) {
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(fs, dir, def));
  return catalog::openTable(fs, dir, def, OpenMode::Exclusive);
}

Status finish(Table& t) {
  Status st = t.flush();
  t.close();
  return st;
}

// --- demo content --------------------------------------------------------------

struct CodeRow {
  const char* code;
  const char* name;
};

Status fillCodeTable(FileSystem& fs, const std::string& dir, const catalog::Period& p, TableId id,
                     std::initializer_list<CodeRow> rows) {
  TableDef def = catalog::define(id, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  const int wCode = def.fields[0].width, wCodnom = def.fields[2].width;
  for (const auto& r : rows) {
    std::string codnom = padTo(std::string(r.code), static_cast<size_t>(wCode)) + " " + r.name;
    Status st = append(**t, {{"codigo", r.code}, {"nombre", r.name}, {"codnom", padTo(codnom, wCodnom)}});
    if (!st) return st.withContext(def.dbf());
  }
  return finish(**t);
}

struct Fund {
  const char* code;
  const char* name;
  double commission;
};
const Fund kFunds[] = {{"HABITA", "AFP HABITAT", 1.47},
                       {"INTEGR", "AFP INTEGRA", 1.55},
                       {"PRIMA", "PRIMA AFP", 1.60},
                       {"PROFUT", "PROFUTURO AFP", 1.69}};
constexpr double kFundContribution = 10.00;
constexpr double kFundPremium = 1.37;
constexpr double kFundCeiling = 12234.34;

constexpr double kUit = 5500.00;
constexpr double kMinimumWage = 1130.00;
constexpr double kDollar = 3.750, kEuro = 4.050, kEuroDollar = 1.0800;

// One demo employee. Amounts in the currency of `dolar`.
struct Emp {
  const char* code;
  const char* ap1;
  const char* ap2;
  const char* n1;
  const char* n2;
  char sexo;
  const char* cargo;
  const char* ccosto;
  double basMen;
  char dolar;        // S, D, E
  double asigna;
  double gratif;     // monthly proportional gratification
  double esvida;
  char quinta;       // S, E or ' '
  double imp5ta;     // fixed fifth-category tax (control 1)
  const char* afp;   // fund code, "" = public system (ONP)
  char seguro;       // S/N
  char retri;        // 1 payslip, 2 fee
  int diaTra;        // days worked this month
  int fraccion;      // absences
  int subsidDays;    // days on subsidy
  char baja;         // ' ' active
  const char* tiptrab;
  int hireYear;      // year of entry (month fixed per employee below)
};

// The staff exercises the rules of the monthly run: soles, dollars and euros; funds and
// the public system; insured or not; fifth category S, E and none; one fixed tax; one
// fee-paid; absences; vacations; overtime; meal allowance; a subsidy; advances and
// other deductions; one terminated employee (not carried into the month).
const Emp kStaff[] = {
    {"E0001", "RAMIREZ", "SOTO", "CARLOS", "ALBERTO", 'M', "GERENTE GENERAL", "ADM", 15000, 'S', 113, 2500, 0, 'S', 0, "HABITA", 'S', '1', 30, 0, 0, ' ', "21", 2015},
    {"E0002", "TORRES", "VEGA", "MARIA", "ELENA", 'F', "CONTADORA", "ADM", 5200, 'S', 113, 866.67, 0, 'S', 0, "", 'N', '1', 30, 0, 0, ' ', "23", 2018},
    {"E0003", "GARCIA", "LUNA", "JOHN", "", 'M', "JEFE DE PROYECTOS", "PRO", 2500, 'D', 113, 416.67, 0, 'S', 0, "INTEGR", 'S', '1', 30, 0, 0, ' ', "21", 2020},
    {"E0004", "MULLER", "KLEIN", "ANNA", "", 'F', "CONSULTORA EUROPA", "VEN", 1800, 'E', 0, 300, 0, 'S', 0, "PRIMA", 'S', '1', 30, 0, 0, ' ', "23", 2021},
    {"E0005", "QUISPE", "MAMANI", "JORGE", "LUIS", 'M', "JEFE DE VENTAS", "VEN", 4200, 'S', 113, 700, 0, 'E', 0, "PROFUT", 'S', '1', 30, 0, 0, ' ', "23", 2019},
    {"E0006", "FLORES", "CHAVEZ", "ROSA", "", 'F', "OPERARIA", "PRO", kMinimumWage, 'S', 0, 188.33, 0, ' ', 0, "", 'N', '1', 30, 0, 0, ' ', "22", 2022},
    {"E0007", "DIAZ", "ROJAS", "PEDRO", "PABLO", 'M', "ASESOR LEGAL", "ADM", 6000, 'S', 0, 1000, 0, 'S', 150, "HABITA", 'S', '1', 30, 0, 0, ' ', "23", 2017},
    {"E0008", "SALAZAR", "PONCE", "LUCIA", "", 'F', "CONSULTORA EXTERNA", "ADM", 2500, 'S', 0, 0, 0, ' ', 0, "", 'N', '2', 30, 0, 0, ' ', "23", 2023},
    {"E0009", "CASTRO", "NUNEZ", "MIGUEL", "ANGEL", 'M', "ALMACENERO", "PRO", 3000, 'S', 113, 500, 0, ' ', 0, "INTEGR", 'S', '1', 30, 3, 0, ' ', "22", 2016},
    {"E0010", "MENDOZA", "RIOS", "CARMEN", "", 'F', "ASISTENTE ADMINISTRATIVA", "ADM", 2400, 'S', 113, 400, 0, ' ', 0, "PRIMA", 'S', '1', 15, 0, 0, ' ', "23", 2019},
    {"E0011", "VARGAS", "LOPEZ", "LUIS", "", 'M', "OPERARIO DE MAQUINAS", "PRO", 1500, 'S', 113, 250, 0, ' ', 0, "PROFUT", 'S', '1', 30, 0, 0, ' ', "22", 2020},
    {"E0012", "HUAMAN", "CRUZ", "ANA", "MARIA", 'F', "SUPERVISORA DE PLANTA", "PRO", 3500, 'S', 113, 583.33, 0, 'S', 0, "HABITA", 'S', '1', 30, 0, 0, ' ', "23", 2018},
    {"E0013", "ROJAS", "PAREDES", "JULIO", "", 'M', "CHOFER", "VEN", 1800, 'S', 113, 300, 0, ' ', 0, "", 'N', '1', 10, 0, 20, ' ', "22", 2021},
    {"E0014", "SANCHEZ", "VILLA", "ROCIO", "", 'F', "VENDEDORA", "VEN", 2200, 'S', 0, 366.67, 0, ' ', 0, "INTEGR", 'S', '1', 30, 0, 0, ' ', "23", 2022},
    {"E0015", "PEREZ", "GOMEZ", "RAUL", "", 'M', "TECNICO DE MANTENIMIENTO", "PRO", 2800, 'S', 113, 466.67, 0, ' ', 0, "PRIMA", 'N', '1', 30, 0, 0, ' ', "22", 2017},
    {"E0016", "BELLIDO", "ARCE", "FERNANDO", "", 'M', "DIRECTOR COMERCIAL", "VEN", 25000, 'S', 113, 4166.67, 0, 'S', 0, "PROFUT", 'S', '1', 30, 0, 0, ' ', "21", 2012},
    {"E0017", "ORTIZ", "LEON", "SERGIO", "", 'M', "EX EMPLEADO", "VEN", 2000, 'S', 0, 333.33, 0, ' ', 0, "", 'N', '1', 0, 0, 0, '1', "23", 2015},
    {"E0018", "RIVERA", "CAMPOS", "PATRICIA", "", 'F', "ASISTENTE DE VENTAS", "VEN", 2100, 'S', 113, 350, 0, ' ', 0, "HABITA", 'S', '1', 30, 0, 0, ' ', "23", 2020},
    {"E0019", "MORALES", "TAPIA", "VICTOR", "HUGO", 'M', "OPERARIO", "PRO", 1600, 'S', 113, 266.67, 0, ' ', 0, "", 'N', '1', 30, 0, 0, ' ', "22", 2019},
    {"E0020", "GUTIERREZ", "SILVA", "KAREN", "", 'F', "RECEPCIONISTA", "ADM", 1400, 'S', 0, 233.33, 0, ' ', 0, "INTEGR", 'S', '1', 30, 0, 0, ' ', "23", 2023},
    {"E0021", "CHAVEZ", "MORI", "DIEGO", "", 'M', "PRACTICANTE DE SISTEMAS", "ADM", 1300, 'S', 0, 216.67, 0, ' ', 0, "", 'N', '1', 15, 0, 0, ' ', "23", 0},
    {"E0022", "ESPINOZA", "REYES", "GLORIA", "", 'F', "JEFA DE RECURSOS HUMANOS", "ADM", 7500, 'S', 113, 1250, 5, 'S', 0, "PRIMA", 'S', '1', 30, 0, 0, ' ', "21", 2014},
    {"E0023", "WILLIAMS", "BROWN", "ROBERT", "", 'M', "INGENIERO RESIDENTE", "PRO", 3000, 'D', 0, 500, 0, 'S', 0, "", 'N', '1', 30, 0, 0, ' ', "21", 2022},
    {"E0024", "CANO", "PALOMINO", "SONIA", "", 'F', "AUXILIAR DE LIMPIEZA", "ADM", 800, 'S', 0, 133.33, 0, ' ', 0, "", 'N', '1', 30, 0, 0, ' ', "22", 2021},
    {"E0025", "AGUILAR", "NAVARRO", "OSCAR", "", 'M', "ANALISTA DE COSTOS", "ADM", 3800, 'S', 113, 633.33, 0, 'E', 0, "HABITA", 'S', '1', 30, 0, 0, ' ', "23", 2018},
    {"E0026", "LEON", "BARRIOS", "TERESA", "", 'F', "CAJERA", "VEN", 1900, 'S', 113, 316.67, 0, ' ', 0, "PROFUT", 'S', '1', 30, 1, 0, ' ', "23", 2020},
    {"E0027", "PAZ", "SOLIS", "HECTOR", "", 'M', "SOLDADOR", "PRO", 2300, 'S', 113, 383.33, 0, ' ', 0, "INTEGR", 'S', '1', 30, 0, 0, ' ', "22", 2016},
    {"E0028", "VEGA", "CORDOVA", "LILIANA", "", 'F', "DISENADORA", "VEN", 2700, 'S', 0, 450, 0, ' ', 0, "PRIMA", 'S', '1', 30, 0, 0, ' ', "23", 2021},
    {"E0029", "RUIZ", "ZAVALA", "ERNESTO", "", 'M', "VIGILANTE", "ADM", 1250, 'S', 0, 208.33, 0, ' ', 0, "", 'N', '1', 30, 0, 0, ' ', "22", 2019},
    {"E0030", "NUNEZ", "VALDEZ", "ELSA", "", 'F', "ASISTENTA CONTABLE", "ADM", 2600, 'S', 113, 433.33, 0, ' ', 0, "HABITA", 'S', '1', 30, 0, 0, ' ', "23", 2022},
};

std::string fullName(const Emp& e) {
  std::string n = std::string(e.ap1) + " " + e.ap2 + ", " + e.n1;
  if (*e.n2) n += std::string(" ") + e.n2;
  return n.substr(0, 50);
}

std::string workMonth(const Date& d) { return (d.month() == 1 && d.day() == 1) ? "00" : two(d.month()); }

Status demoInstitution(FileSystem& fs, const std::string& dir, const Date& wd) {
  TableDef def = catalog::define(TableId::Institutions, {});
  auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
  if (!t) return t.status();
  char year[8];
  std::snprintf(year, sizeof year, "%5d", wd.year());
  static const char* months[] = {"Enero", "Febrero", "Marzo",     "Abril",   "Mayo",      "Junio",
                                 "Julio", "Agosto",  "Setiembre", "Octubre", "Noviembre", "Diciembre"};
  Status st = append(**t, {{"COD_CIA", kDemoCompany},
                           {"NOM_CIA", "EMPRESA DEMOSTRACION S.A.C."},
                           {"RUC", "20512345678"},
                           {"PATRO", "5123456"},
                           {"DIREC", "AV. JAVIER PRADO ESTE 1234, SAN ISIDRO, LIMA"},
                           {"NOMBRES", "CARLOS ALBERTO RAMIREZ SOTO"},
                           {"CARGO", "GERENTE GENERAL"},
                           {"LINEANOM", 0},
                           {"LINEACAR", 0},
                           {"REPITE", 0},
                           {"DNI", "10203040"},
                           {"NOM_ABREV", "DEMO SAC"},
                           {"FECHA", wd},
                           {"YDESCRI", two(wd.day()) + " del " + workMonth(wd) + " de " + year},
                           {"DESCRI_MES", two(wd.day()) + " de " + months[wd.month() - 1] + " de " + year}});
  if (!st) return st.withContext("pmae0001.dbf");
  return finish(**t);
}

Status demoRates(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  TableDef def = catalog::define(TableId::Rates, p);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(fs, dir, def));  // one blank record
  auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
  if (!t) return t.status();
  Table& r = **t;
  PLANILLA_RETURN_IF_ERROR(r.goTop());
  Status st = put(r, {{"codigo", "000001"},  {"ipsst", 0.0},      {"snpt", 13.0},     {"fonavit", 0.0},
                      {"acctrab", 0.0},      {"ipsse", 9.0},      {"snpe", 0.0},      {"fonavie", 0.0},
                      {"hexemp1", 1.25},     {"hexemp2", 2},      {"uit", kUit},      {"escala1", 5 * kUit},
                      {"escala2", 20 * kUit}, {"escala3", 35 * kUit}, {"baseret", 7 * kUit},
                      {"minivital", kMinimumWage}, {"bonifi9", 9.0},
                      {"mesafec", wd.month() <= 7 ? "07 JUL" : "12 DIC"},
                      {"uit2", kUit},        {"scala01", 5 * kUit}, {"scala02", 20 * kUit},
                      {"scala03", 35 * kUit}, {"scala04", 45 * kUit}, {"scala05", 45 * kUit},
                      {"tasa08", 8},         {"tasa14", 14},      {"tasa17", 17},     {"tasa20", 20},
                      {"tasa30", 30},        {"banco", "BCP"},    {"Firma", "1-ROVAN"}, {"carpeta", "PLANILLAS"}});
  if (!st) return st.withContext(def.dbf());
  return finish(r);
}

// The company's fifth-category settings: the projection with the gratifications'
// extraordinary bonus, as the law reads it.
Status demoTaxSettings(FileSystem& fs, const std::string& dir, const catalog::Period& p) {
  TableDef def = catalog::define(TableId::TaxSettings, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  Status st = append(**t, {{"codigo", "000001"}, {"proyboni", "S"}});
  if (!st) return st.withContext(def.dbf());
  return finish(**t);
}

Status demoFunds(FileSystem& fs, const std::string& dir, const catalog::Period& p) {
  TableDef def = catalog::define(TableId::PensionFunds, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  for (int m = 1; m <= 12; ++m)
    for (const auto& f : kFunds) {
      Status st = append(**t, {{"mes", two(m)},
                               {"codigo", f.code},
                               {"nombre", f.name},
                               {"afppor1", kFundContribution},
                               {"afppor2", kFundPremium},
                               {"afppor3", f.commission},
                               {"afppor4", kFundCeiling}});
      if (!st) return st.withContext(def.dbf());
    }
  return finish(**t);
}

Status demoExchange(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  TableDef def = catalog::define(TableId::ExchangeRates, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  auto rate = [&](const std::string& mes, const std::string& dia, double usd, double eur, double eurusd) {
    const std::string d3 = padTo(dia, 3);
    const std::string head = mes + " " + d3 + " ";
    return append(**t, {{"codigo", mes + " " + d3},
                        {"codcam", head + numText(usd, 7, 3)},
                        {"codcamE", head + numText(eur, 7, 3)},
                        {"codeuro", (head + numText(eurusd, 8, 4)).substr(0, 14)},
                        {"xdias", d3},
                        {"xmes", mes},
                        {"tip_cam", usd},
                        {"tip_camE", eur},
                        {"tip_Euro", eurusd}});
  };
  // The last day of every month up to the working month, with a slight drift.
  for (int m = 1; m <= wd.month(); ++m) {
    const double drift = (m - wd.month()) * 0.005;
    Status st = rate(two(m), std::to_string(Date::daysInMonth(wd.year(), m)), kDollar + drift, kEuro + drift,
                     kEuroDollar);
    if (!st) return st.withContext(def.dbf());
  }
  // The CTS rates of May and November.
  Status st = rate("88", "888", kDollar - 0.010, kEuro - 0.010, kEuroDollar);
  if (st) st = rate("99", "999", kDollar, kEuro, kEuroDollar);
  if (!st) return st.withContext(def.dbf());
  return finish(**t);
}

// A CUSPP of the form the funds give: six digits, five letters from the surnames and
// given names (A-Z only), a check digit; 12 characters.
std::string demoCuspp(const Emp& e, int i) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%06d", 512347 + i * 7919);
  std::string cuspp = digits;
  const std::pair<const char*, size_t> picks[] = {{e.ap1, 0}, {e.ap2, 0}, {e.n1, 0}, {e.ap1, 1}, {e.ap2, 1}};
  for (const auto& [part, at] : picks) {
    const char c = std::strlen(part) > at ? part[at] : 'X';
    cuspp += c >= 'A' && c <= 'Z' ? c : 'X';
  }
  return cuspp + std::to_string(i % 10);
}

Status demoMaster(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  TableDef def = catalog::define(TableId::EmployeeMaster, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  int i = 0;
  for (const auto& e : kStaff) {
    ++i;
    const bool fund = *e.afp != 0;
    const int hireYear = e.hireYear ? e.hireYear : wd.year();
    const Date hired = e.hireYear ? Date(hireYear, 1 + (i * 5) % 12, 1 + (i * 7) % 28) : Date(wd.year(), wd.month(), 16);
    const Date born(1960 + (i * 13) % 40, 1 + (i * 3) % 12, 1 + (i * 11) % 28);
    char dni[16];
    std::snprintf(dni, sizeof dni, "4%07d", 1234567 + i * 98765);
    char phone[16];
    std::snprintf(phone, sizeof phone, "9%08d", 87654321 - i * 1111);
    char account[32];
    std::snprintf(account, sizeof account, "191-%08d-0-%02d", 30000000 + i * 4321, i);
    Fields f = {{"codigo", e.code},
                {"nombre", fullName(e)},
                {"apelli1", e.ap1},
                {"apelli2", e.ap2},
                {"nombre1", e.n1},
                {"nombre2", e.n2},
                {"direccion", "CALLE LOS PINOS " + std::to_string(100 + i * 7) + ", LIMA"},
                {"fech_nac", born},
                {"fech_ing", hired},
                {"telefono", phone},
                {"ccosto", e.ccosto},
                {"electoral", dni},
                {"cargo", e.cargo},
                {"carnet", std::string("ESS") + dni},
                {"sexo", std::string(1, e.sexo)},
                {"nacion", e.dolar == 'S' ? "PERUANA" : "EXTRANJERA"},
                {"tiptrab", e.tiptrab},
                {"Retri", std::string(1, e.retri)},
                {"bas_men", e.basMen},
                {"asigna", e.asigna},
                {"gratif", e.gratif},
                {"dia_tra", e.diaTra},
                {"esvida", e.esvida},
                {"control", e.imp5ta != 0 ? 1 : 2},
                {"imp5ta", e.imp5ta},
                {"quinta", std::string(1, e.quinta)},
                {"dolar", std::string(1, e.dolar)},
                {"seguroafp", std::string(1, e.seguro)},
                {"banco", i % 3 == 0 ? "BBVA" : "BCP"},
                {"ctacte", account},
                {"codafp", e.afp},
                {"nroafp", fund ? demoCuspp(e, i) : std::string()},
                {"DocIden", e.dolar == 'S' ? "1" : "4"},
                {"Plani", e.tiptrab[1] == '2' ? "02" : "01"},
                {"MovPer", e.hireYear ? "0" : "1"},
                {"catego", "00"},
                {"situacion", e.baja == ' ' ? "11" : "15"},
                {"fechasitua", hired},
                {"tienecta", i % 4 == 0 ? "N" : "F"},
                {"HorasTra", 8 * e.diaTra},
                {"horastraba", 8},
                {"subsid", e.subsidDays},
                {"baja", std::string(1, e.baja)}};
    if (fund) f.push_back({"fech_afp", Date(hireYear, 1 + (i * 5) % 12, 1 + (i * 7) % 28)});
    if (e.baja != ' ') f.push_back({"fcese", Date(wd.year(), 1, 31)});
    Status st = append(**t, f);
    if (!st) return st.withContext(def.dbf());
  }
  return finish(**t);
}

// Every employee's second record, complete enough for the worker registration files
// (pmae11<cia>): mobile and e-mail, a Lima address with its UBIGEO, the labour data,
// the salary account of those paid by deposit and, for the one who left, the reason.
// The demo's new hire of the month registers cleanly.
Status demoExtra(FileSystem& fs, const std::string& dir, const catalog::Period& p) {
  TableDef def = catalog::define(TableId::EmployeeExtra, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  // San Isidro, Santiago de Surco, Miraflores, San Borja, Surquillo (RENIEC's codes).
  static const char* const kDistricts[] = {"140124", "140130", "140115", "140140", "140131"};
  int i = 0;
  for (const auto& e : kStaff) {
    ++i;
    char phone[16];
    std::snprintf(phone, sizeof phone, "9%08d", 87654321 - i * 1111);
    // Addresses on a reserved test domain, so that nothing the demo sends can reach anyone.
    std::string email = std::string(e.code) + "@empresa-demo.test";
    for (char& c : email) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string cargo = e.cargo;
    const char* occupation = std::string(e.tiptrab) == "21" ? "137005"
                             : cargo == "CHOFER"               ? "885005"
                             : cargo == "VIGILANTE"            ? "952019"
                             : cargo == "AUXILIAR DE LIMPIEZA" ? "942008"
                                                               : "999001";
    // Those with a salary account (tienecta F) are paid by deposit at the BCP or BBVA.
    const bool deposit = i % 4 != 0;
    char account[24];
    std::snprintf(account, sizeof account, "191%08d0%02d", 30000000 + i * 4321, i);
    const char* nationality = e.dolar == 'S' ? "9589" : std::string(e.ap1) == "MULLER" ? "9023" : "9249";
    Fields f = {{"CODIGO", e.code},       {"NACIONAL", nationality},  {"CELULAR", phone},
                {"EMAIL", email},         {"TIPVIA", "03"},           {"NOMVIA", "LOS PINOS"},
                {"NUMVIA", std::to_string(100 + i * 7)},              {"UBIGEO", kDistricts[i % 5]},
                {"REGLAB", "01"},         {"SITEDU", std::string(e.tiptrab) == "22" ? "07" : "12"},
                {"OCUPACION", occupation}, {"DISCAPAC", "0"},         {"SCTRPEN", "0"},
                {"TIPCONT", e.hireYear ? "01" : "03"},                {"JORNALT", "0"},
                {"JORMAX", "0"},          {"NOCTURNO", "0"},          {"SINDICATO", "0"},
                {"PERIODIC", "1"},        {"EXON5TA", "0"},           {"SITESP", std::string(e.tiptrab) == "21" ? "1" : "0"},
                {"TIPPAGO", deposit ? "2" : "1"},                     {"CONVENIO", "0"},
                {"REGSAL", "00"},         {"ESTAB", "0000"},          {"CTAMON", e.dolar == 'D' ? "D" : "S"}};
    if (deposit) {
      f.push_back({"BANCOSUN", i % 3 == 0 ? "11" : "02"});
      f.push_back({"CTANUM", account});
    }
    if (e.baja != ' ') f.push_back({"MOTBAJA", "01"});
    Status st = append(**t, f);
    if (!st) return st.withContext(def.dbf());
  }
  return finish(**t);
}

// The month figures of the active employees.
Status demoActive(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  TableDef def = catalog::define(TableId::ActiveEmployees, p);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(fs, dir, def));
  auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
  if (!t) return t.status();
  Table& a = **t;
  const int days = Date::daysInMonth(wd.year(), wd.month());
  for (const auto& e : kStaff) {
    if (e.baja != ' ') continue;
    if (!a.seek(padTo(e.code, 10))) return Status::corrupt(def.dbf() + ": falta el empleado " + e.code);
    Status st = put(a, {{"fraccion", e.fraccion}, {"fraccion1", days}, {"nosubs", 0}, {"tardan", 0}});
    if (!st) return st.withContext(def.dbf());
  }
  return finish(a);
}

Status demoEntries(FileSystem& fs, const std::string& dir, const catalog::Period& p) {
  TableDef def = catalog::define(TableId::IncomeEntries, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  struct Entry {
    const char* code;
    Fields f;
  };
  const std::vector<Entry> rows = {
      {"E0011", {{"simple", 4.0}, {"doble", 2.0}, {"movili", 150.0}}},
      {"E0012", {{"refrige", 100.0}, {"produc", 250.0}}},
      {"E0013", {{"subsid", 1200.0}}},
      {"E0014", {{"adelanto", 500.0}, {"movili", 200.0}}},
      {"E0016", {{"simple", 0.0}, {"movili", 800.0}}},
      {"E0018", {{"otrosegr", 200.0}, {"cuosin", 25.0}}},
      {"E0019", {{"retjud", 300.0}, {"simple", 10.0}}},
      {"E0020", {{"tardan", 35.5}}},
      {"E0027", {{"simple", 6.5}, {"doble", 3.0}, {"refrige", 80.0}}},
      {"E0030", {{"adelanto", 300.0}, {"sumini", 120.0}}},
  };
  for (const auto& r : rows) {
    const Emp* e = nullptr;
    for (const auto& s : kStaff)
      if (std::string(s.code) == r.code) e = &s;
    Fields f = {{"codigo", r.code}, {"nombre", e ? fullName(*e) : std::string()}};
    f.insert(f.end(), r.f.begin(), r.f.end());
    Status st = append(**t, f);
    if (!st) return st.withContext(def.dbf());
  }
  return finish(**t);
}

// Vacations taken earlier in the year, each in the roll of its month: E0005 in January,
// June and September, E0010 in February, E0012 all of April (the months before the
// working month only), so the year's vacation record has something to show.
Status demoEarlierVacations(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  struct Taken {
    int month;
    int staff;  // index into kStaff
    int from, to;
  };
  const Taken taken[] = {{1, 4, 15, 29}, {2, 9, 1, 10}, {4, 11, 1, 30}, {6, 4, 1, 15}, {9, 4, 1, 5}};
  for (const Taken& v : taken) {
    if (v.month >= wd.month()) continue;
    TableDef def = catalog::define(TableId::VacationRoll, {p.cia, two(v.month), p.ano});
    PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(fs, dir, def));
    auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
    if (!t) return t.status();
    const Emp& e = kStaff[v.staff];
    Status st = append(**t, {{"codigo", e.code},
                             {"nombre", fullName(e)},
                             {"inivaca", Date(wd.year(), v.month, v.from)},
                             {"finvaca", Date(wd.year(), v.month, v.to)},
                             {"diavac", v.to - v.from + 1},
                             {"difvac", 0},
                             {"control", 1}});
    if (!st) return st.withContext(def.dbf());
    PLANILLA_RETURN_IF_ERROR(finish(**t));
  }
  return Status::ok();
}

// The CTS tables of the year's two half-years (cts1: November to April, deposited in May;
// cts2: May to October, deposited in November) for the employees paid by payslip who
// had joined by the half-year's end, computed as the CTS data screen computes them. One
// account in soles for pay in dollars and one in dollars for pay in soles exercise the
// conversion; one employee carries a previous deposit.
Status demoCts(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  const int y = wd.year();
  for (TableId id : {TableId::CtsMay, TableId::CtsNovember}) {
    const bool may = id == TableId::CtsMay;
    TableDef def = catalog::define(id, p);
    auto t = createAndOpen(fs, dir, def);
    if (!t) return t.status();
    const Date start = may ? Date(y - 1, 11, 1) : Date(y, 5, 1);
    const int endMonth = y * 12 + (may ? 5 : 11);
    int i = 0;
    for (const auto& e : kStaff) {
      ++i;
      if (e.baja != ' ' || e.retri != '1' || e.hireYear == 0) continue;
      const Date hired(e.hireYear, 1 + (i * 5) % 12, 1 + (i * 7) % 28);
      const int n = endMonth - (hired.year() * 12 + hired.month());
      if (n <= 0) continue;
      const double recompu = round2(e.basMen + e.asigna + e.gratif);
      const double r12 = round2(recompu / 12);
      int meses = 6, dias1 = 0;
      double dias2 = 0;
      if (!(hired < start)) {
        meses = hired.day() == 1 ? std::min(n, 6) : std::min(n, 6) - 1;
        if (hired.day() != 1) dias1 = hired.day(), dias2 = round2(r12 / 30 * (30 - hired.day() + 1));
      }
      const std::string code = e.code;
      const std::string pay(1, e.dolar);
      const std::string account = code == "E0003" ? "S" : code == "E0009" ? "D" : pay;
      const double depante = (!may && code == "E0002") ? 150.0 : 0.0;
      Status st = append(**t, {{"codigo", e.code},
                               {"nombre", fullName(e)},
                               {"fech_ing", hired},
                               {"bas_men", e.basMen},
                               {"asigna", e.asigna},
                               {"dolar", pay},
                               {"moneda", account},
                               {"banco", i % 3 == 0 ? "BBVA" : "BCP"},
                               {"dias1", dias1},
                               {"dias2", dias2},
                               {"recompu", recompu},
                               {"grati16", e.gratif},
                               {"meses", meses},
                               {"depante", depante},
                               {"calculo", round2(r12 * meses + dias2)}});
      if (!st) return st.withContext(def.dbf());
    }
    PLANILLA_RETURN_IF_ERROR(finish(**t));
  }
  return Status::ok();
}

Status demoVacations(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  PLANILLA_RETURN_IF_ERROR(demoEarlierVacations(fs, dir, p, wd));
  TableDef def = catalog::define(TableId::VacationRoll, p);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(fs, dir, def));
  auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
  if (!t) return t.status();
  // E0010 takes the second half of the month (she worked the first fifteen days).
  const int last = Date::daysInMonth(wd.year(), wd.month());
  const Date from(wd.year(), wd.month(), 16), to(wd.year(), wd.month(), last);
  const int taken = last - 16 + 1;
  const int difvac = wd.month() == 2 ? (taken > 27 ? 30 : taken) : 0;
  Status st = append(**t, {{"codigo", "E0010"},
                           {"nombre", fullName(kStaff[9])},
                           {"inivaca", from},
                           {"finvaca", to},
                           {"diavac", taken},
                           {"difvac", difvac},
                           {"control", 1}});
  if (!st) return st.withContext(def.dbf());
  return finish(**t);
}

// In July and December, the gratification roll: every active employee paid by payslip
// with the full half-year, one with four months and fifteen days, one with an advance
// already paid under the gratification law and a discount.
Status demoGratRoll(FileSystem& fs, const std::string& dir, const catalog::Period& p) {
  TableDef def = catalog::define(TableId::GratificationRoll, p);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(fs, dir, def));
  auto t = catalog::openTable(fs, dir, def, OpenMode::Exclusive);
  if (!t) return t.status();
  for (const auto& e : kStaff) {
    if (e.baja != ' ' || e.retri == '2') continue;
    const std::string code = e.code;
    int months = 6, days = 0;
    double dscto = 0, dscley = 0;
    if (code == "E0021") months = 0, days = 15;
    if (code == "E0026") months = 4, days = 15;
    if (code == "E0014") dscley = 300, dscto = 50;
    Status st = append(**t, {{"codigo", e.code},
                             {"nombre", fullName(e)},
                             {"mes", months},
                             {"dia", days},
                             {"dscto", dscto},
                             {"desgrat", 0.0},
                             {"dscley", dscley},
                             {"indica", "S"}});
    if (!st) return st.withContext(def.dbf());
  }
  return finish(**t);
}

// Earnings and withholdings of the months before the working month for the employees
// subject to the fifth category: their usual contribution base and a withholding of a
// twelfth of the yearly tax on fourteen such salaries.
Status demoYearTables(FileSystem& fs, const std::string& dir, const catalog::Period& p, const Date& wd) {
  TableDef hdef = catalog::define(TableId::Earnings, p);
  TableDef rdef = catalog::define(TableId::Deductions, p);
  auto h = createAndOpen(fs, dir, hdef);
  if (!h) return h.status();
  auto r = createAndOpen(fs, dir, rdef);
  if (!r) return r.status();
  const auto& months = catalog::monthFieldNames();
  const int before = wd.month() - 1;
  for (const auto& e : kStaff) {
    if (e.baja != ' ' || (e.quinta != 'S' && e.quinta != 'E') || e.retri == '2') continue;
    const double rate = e.dolar == 'D' ? kDollar : e.dolar == 'E' ? kEuro : 1.0;
    const double base = round2(e.basMen * rate + e.asigna);
    // Yearly tax on 14 salaries less 7 UIT, by the brackets.
    double taxable = 14 * base - 7 * kUit, tax = 0, low = 0;
    const double limits[] = {5 * kUit, 20 * kUit, 35 * kUit, 45 * kUit, 1e18};
    const double rates[] = {8, 14, 17, 20, 30};
    for (int k = 0; k < 5 && taxable > low; ++k) {
      tax += (std::min(taxable, limits[k]) - low) * rates[k] / 100;
      low = limits[k];
    }
    const double monthly = tax > 0 ? round2(tax / 12) : 0;
    Fields hf = {{"codigo", e.code}, {"nombre", fullName(e)}};
    Fields rf = hf;
    double htot = 0, rtot = 0;
    for (int m = 0; m < before; ++m) {
      hf.push_back({months[m], base});
      htot += base;
      if (monthly > 0) {
        rf.push_back({months[m], monthly});
        rtot += monthly;
      }
    }
    hf.push_back({"tot", round2(htot)});
    rf.push_back({"tot", round2(rtot)});
    Status st = append(**h, hf);
    if (st) st = append(**r, rf);
    if (!st) return st;
  }
  Status st = finish(**h);
  Status st2 = finish(**r);
  return st ? st2 : st;
}

}  // namespace

// The salary accounts of the staff (the employees' second records, made or completed)
// and the company's charge accounts, for the bank transfer files: most at BCP (the
// dollar earners in dollars), every third at BBVA, one at Scotiabank paid through its
// CCI from BCP, the cleaning auxiliary E0024 paid in cash.
Status demoBankAccounts(FileSystem& fs, const std::string& dir, const catalog::Period& p) {
  {
    TableDef def = catalog::define(TableId::ChargeAccounts, p);
    auto t = createAndOpen(fs, dir, def);
    if (!t) return t.status();
    struct A {
      const char *bank, *account, *currency, *interbank, *name;
    };
    for (const A& a : {A{"02", "1911000152155", "S", "S", "BCP SOLES - PLANILLAS"},
                       A{"02", "1912000000001", "D", "N", "BCP DOLARES - PLANILLAS"},
                       A{"11", "00110123010000012345", "S", "N", "BBVA SOLES"}}) {
      Status st = append(**t, {{"banco", a.bank}, {"cuenta", a.account}, {"moneda", a.currency},
                               {"tipcta", "C"}, {"interb", a.interbank}, {"descrip", a.name}});
      if (!st) return st.withContext(def.dbf());
    }
    PLANILLA_RETURN_IF_ERROR(finish(**t));
  }
  TableDef def = catalog::define(TableId::EmployeeExtra, p);
  auto t = createAndOpen(fs, dir, def);
  if (!t) return t.status();
  int i = 0;
  for (const auto& e : kStaff) {
    ++i;
    char number[32];
    Fields f = {{"ctamon", e.dolar == 'D' ? "D" : "S"}, {"tippago", "2"}};
    if (std::string(e.code) == "E0024") {
      f = {{"tippago", "1"}};
    } else if (std::string(e.code) == "E0010") {
      f.push_back({"bancosun", "09"});
      f.push_back({"ctacci", "00963200000380987111"});
    } else if (i % 3 == 0 && e.dolar != 'D') {
      std::snprintf(number, sizeof number, "0011%04d02%010d", 100 + i, 20000000 + i * 7919);
      f.push_back({"bancosun", "11"});
      f.push_back({"ctanum", number});
    } else {
      std::snprintf(number, sizeof number, "193%08d1%02d", 40000000 + i * 5431, i);
      f.push_back({"bancosun", "02"});
      f.push_back({"ctanum", number});
    }
    Status st;
    if (!(*t)->seek(padTo(e.code, 10))) st = append(**t, Fields{{"codigo", e.code}});
    if (st) st = put(**t, f);
    if (!st) return st.withContext(def.dbf());
  }
  return finish(**t);
}

Date defaultDemoDate(const Date& today) {
  return Date(today.year(), today.month(), Date::daysInMonth(today.year(), today.month()));
}

Status installBase(FileSystem& fs, const std::string& dir) {
  const catalog::Period none{};
  const TableId shipped[] = {TableId::Institutions, TableId::Users, TableId::RollTemplate, TableId::CalcTemplate};
  for (TableId id : shipped) {
    TableDef def = catalog::define(id, none);
    if (catalog::tableExists(fs, dir, def))
      return Status::invalid(def.dbf() + " ya existe: el directorio ya esta instalado");
  }
  for (TableId id : shipped) PLANILLA_RETURN_IF_ERROR(catalog::createWithTags(fs, dir, catalog::define(id, none)));
  TableDef users = catalog::define(TableId::Users, none);
  auto t = catalog::openTable(fs, dir, users, OpenMode::Exclusive);
  if (!t) return t.status();
  Status st = append(**t, {{"CODIGO", "QTR"},
                           {"NOMBRE", "ADMINISTRADOR DEL SISTEMA"},
                           {"FUNCION", "FUN001"},
                           {"ACCESO", "T"},
                           {"INICIA", kInstallPassword}});
  if (!st) return st.withContext(users.dbf());
  return finish(**t);
}

namespace {

// The files of a new installation, made inside `tmp` and synced to disk.
Status fillNewDirectory(FileSystem& fs, const std::string& tmp, bool demo, const Date& workDate) {
  PLANILLA_RETURN_IF_ERROR(installBase(fs, tmp));
  if (demo) PLANILLA_RETURN_IF_ERROR(installDemo(fs, tmp, workDate));
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(platform::fsPath(tmp), ec))
    PLANILLA_RETURN_IF_ERROR(platform::syncFile(platform::utf8(entry.path())));
  if (ec) return Status::ioError("no se puede leer " + tmp + ": " + ec.message());
  return platform::syncFile(tmp);
}

}  // namespace

Status installDirectory(FileSystem& fs, const std::string& dirIn, bool demo, const Date& workDate) {
  namespace fsys = std::filesystem;
  std::string dir = dirIn;
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == fsys::path::preferred_separator)) dir.pop_back();
  if (dir.empty()) return Status::invalid("falta el directorio");
  const fsys::path target = platform::fsPath(dir);
  const std::string name = platform::utf8(target.filename());
  // "." and ".." are names of directories that exist already, under other names.
  if (name.empty() || name == "." || name == "..") return Status::invalid(dir + ": indique un directorio nuevo");
  const fsys::path parent = target.has_parent_path() ? target.parent_path() : fsys::path(".");

  // What is already there: nothing, or an empty directory to take the place of.
  bool replace = false;
  std::error_code there;
  const fsys::file_status existing = fsys::status(target, there);
  if (fsys::exists(existing)) {
    if (!fsys::is_directory(existing)) return Status::invalid(dir + " existe y no es un directorio");
    if (catalog::tableExists(fs, dir, catalog::define(TableId::Institutions, {})) &&
        catalog::tableExists(fs, dir, catalog::define(TableId::Users, {})))
      return Status::invalid(dir + " ya esta instalado");
    std::error_code ec;
    if (!fsys::is_empty(target, ec) || ec)
      return Status::invalid(dir + " no esta vacio; indique un directorio nuevo");
    if (platform::sameFile(".", dir))
      return Status::invalid("no se puede instalar en el directorio actual; indique uno nuevo");
    replace = true;
  } else if (existing.type() != fsys::file_type::not_found) {
    return Status::ioError("no se puede consultar " + dir + ": " + there.message());
  } else {
    std::error_code ec;
    fsys::create_directories(parent, ec);
    if (ec) return Status::ioError("no se puede crear " + platform::utf8(parent) + ": " + ec.message());
  }

  // The sibling: a name nobody else holds, made by this call alone (owner only).
  auto made = platform::makeUniqueFolder(platform::utf8(parent), "." + name + ".init");
  if (!made) return made.status().withContext("no se puede crear un directorio junto a " + dir);
  const std::string tmp = made.value();
  auto discard = [&tmp](Status st) {
    std::error_code ec;
    fsys::remove_all(platform::fsPath(tmp), ec);
    return st;
  };

  Status st = fillNewDirectory(fs, tmp, demo, workDate);
  if (!st) return discard(st);
  // The permissions of the directory it replaces, or those of a new directory.
  st = platform::setFolderPermissions(tmp, replace ? dir : std::string());
  if (!st) return discard(st);
  st = platform::renameFolder(tmp, dir);
  if (!st) return discard(st);
  (void)platform::syncFile(platform::utf8(parent));
  return Status::ok();
}

Status installDemo(FileSystem& fs, const std::string& dir, const Date& wd) {
  if (!wd.valid()) return Status::invalid("Fecha de trabajo no valida");
  char yy[8];
  std::snprintf(yy, sizeof yy, "%02d", wd.year() % 100);
  const catalog::Period p{kDemoCompany, workMonth(wd), yy};

  PLANILLA_RETURN_IF_ERROR(demoInstitution(fs, dir, wd));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::CostCentres,
                                         {{"ADM", "ADMINISTRACION"}, {"VEN", "VENTAS"}, {"PRO", "PRODUCCION"}}));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::UniqueCodes,
                                         {{"01", "PLANILLA DE EMPLEADOS"}, {"02", "PLANILLA DE OBREROS"}}));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::PensionerTypes,
                                         {{"00", "NO APLICA"},
                                          {"01", "PENSIONISTA"},
                                          {"02", "PRESTADOR DE SERVICIOS - CUARTA CATEGORIA"}}));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::Situations,
                                         {{"11", "ACTIVO O SUBSIDIADO"},
                                          {"13", "SUSPENSION PERFECTA"},
                                          {"15", "SIN VINCULO LABORAL CON CONCEPTOS PENDIENTES"}}));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::WorkerTypes,
                                         {{"21", "EJECUTIVO"}, {"22", "OBRERO"}, {"23", "EMPLEADO"}}));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::DocumentTypes,
                                         {{"1", "DOCUMENTO NACIONAL DE IDENTIDAD"},
                                          {"4", "CARNET DE EXTRANJERIA"},
                                          {"7", "PASAPORTE"}}));
  PLANILLA_RETURN_IF_ERROR(fillCodeTable(fs, dir, p, TableId::MovementTypes,
                                         {{"0", "SIN MOVIMIENTO"}, {"1", "ALTA"}, {"2", "BAJA"}}));
  {
    TableDef def = catalog::define(TableId::Banks, p);
    auto t = createAndOpen(fs, dir, def);
    if (!t) return t.status();
    struct B {
      const char* code;
      const char* name;
      const char* account;
      const char* currency;
    };
    for (const B& b : {B{"BCP", "BANCO DE CREDITO DEL PERU", "193-1234567-0-11", "S"},
                       B{"BBVA", "BBVA PERU", "0011-0123-45", "S"},
                       B{"IBK", "INTERBANK", "200-3001234567", "S"},
                       B{"SCOT", "SCOTIABANK PERU", "000-1234567", "D"}}) {
      Status st = append(**t, {{"codigo", b.code},
                               {"nombre", b.name},
                               {"codnom", padTo(std::string(b.code), 4) + " " + b.name},
                               {"cuenta", b.account},
                               {"moneda", b.currency}});
      if (!st) return st.withContext(def.dbf());
    }
    PLANILLA_RETURN_IF_ERROR(finish(**t));
  }
  PLANILLA_RETURN_IF_ERROR(demoRates(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoTaxSettings(fs, dir, p));
  PLANILLA_RETURN_IF_ERROR(demoFunds(fs, dir, p));
  PLANILLA_RETURN_IF_ERROR(demoExchange(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoMaster(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoExtra(fs, dir, p));
  PLANILLA_RETURN_IF_ERROR(demoActive(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoEntries(fs, dir, p));
  PLANILLA_RETURN_IF_ERROR(demoVacations(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoYearTables(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoCts(fs, dir, p, wd));
  PLANILLA_RETURN_IF_ERROR(demoBankAccounts(fs, dir, p));
  if (wd.month() == 7 || wd.month() == 12) PLANILLA_RETURN_IF_ERROR(demoGratRoll(fs, dir, p));
  return Status::ok();
}

}  // namespace planilla
