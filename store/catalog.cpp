#include "store/catalog.h"

#include <algorithm>
#include <cctype>

namespace planilla::catalog {

namespace {

FieldSpec C(const char* n, int w) { return FieldSpec{n, 'C', w, 0}; }
FieldSpec N(const char* n, int w, int d = 0) { return FieldSpec{n, 'N', w, d}; }
FieldSpec D(const char* n) { return FieldSpec{n, 'D', 8, 0}; }

// Code tables: widths of codigo, nombre, codnom per table.
std::vector<FieldSpec> codeFields(int wCode, int wName, int wCodnom) {
  return {C("codigo", wCode), C("nombre", wName), C("codnom", wCodnom)};
}

const std::vector<FieldSpec>& paracontFields() {
  static const std::vector<FieldSpec> f = {C("codigo", 4),   C("campo01", 10), C("campo02", 10),
                                           C("campo03", 10), C("campo04", 10), C("campo05", 10)};
  return f;
}

const std::vector<FieldSpec>& exchangeFields() {
  static const std::vector<FieldSpec> f = {C("codigo", 6),   C("codcam", 14),    C("codcamE", 14),
                                           C("codeuro", 14), C("xdias", 3),      C("xmes", 2),
                                           N("tip_cam", 7, 3), N("tip_camE", 7, 3), N("tip_Euro", 8, 4)};
  return f;
}

const std::vector<FieldSpec>& bankFields() {
  static const std::vector<FieldSpec> f = {C("codigo", 4), C("nombre", 50), C("codnom", 55), C("cuenta", 15),
                                           C("moneda", 1)};
  return f;
}

const std::vector<FieldSpec>& pensionFields() {
  static const std::vector<FieldSpec> f = {C("mes", 2),          C("codigo", 6),       C("nombre", 40),
                                           N("afppor1", 6, 2),   N("afppor2", 6, 2),   N("afppor3", 6, 2),
                                           N("afppor4", 10, 2),  N("afppor41", 6, 2)};
  return f;
}

std::vector<FieldSpec> yearFields(bool health) {
  std::vector<FieldSpec> f = {C("codigo", 10), C("nombre", 50)};
  for (const auto& m : monthFieldNames()) f.push_back(FieldSpec{m, 'N', 12, 2});
  if (health) {
    static const char* second[] = {"ene01", "feb02", "mar03", "abr04", "may05", "jun06",
                                   "jul07", "ago08", "seti09", "oct10", "nov11", "dic12"};
    for (const char* m : second) f.push_back(N(m, 12, 2));
  } else {
    f.push_back(N("graf1", 12, 2));
    f.push_back(N("graf2", 12, 2));
  }
  f.push_back(N("tot", 14, 2));
  return f;
}

std::vector<FieldSpec> prePayrollFields() {
  std::vector<FieldSpec> f = {C("codigo", 10), C("nombre", 50)};
  for (const char* suffix : {"", "snp", "ap1", "ap2", "ap3"})
    for (const auto& m : monthFieldNames()) f.push_back(FieldSpec{m + suffix, 'N', 12, 2});
  f.push_back(N("tot", 14, 2));
  return f;
}

const std::vector<FieldSpec>& ctsFields() {
  static const std::vector<FieldSpec> f = {
      C("codigo", 10),     C("nombre", 50),     D("fech_ing"),       N("bas_men", 10, 2), N("asigna", 7, 2),
      C("dolar", 1),       C("moneda", 1),      C("banco", 4),       C("ctacts", 12),     N("dias1", 12, 2),
      N("dias2", 12, 2),   N("recompu", 12, 2), N("grati16", 12, 2), N("meses", 2),       N("depante", 12, 2),
      N("calculo", 12, 2)};
  return f;
}

const std::vector<FieldSpec>& incomeFields() {
  static const std::vector<FieldSpec> f = {
      C("codigo", 10),      C("nombre", 60),      N("simple", 7, 2),    N("doble", 7, 2),
      N("refrige", 10, 2),  N("diastra", 10, 2),  N("produc", 10, 2),   N("movili", 10, 2),
      N("utili", 10, 2),    N("cts", 10, 2),      N("subsid", 10, 2),   N("adelanto", 10, 2),
      N("otrosegr", 10, 2), N("tardan", 10, 2),   N("retjud", 10, 2),   N("cuosin", 10, 2),
      N("sumini", 10, 2)};
  return f;
}

TagDef tag(const std::string& bag, const std::string& name, const std::string& key) {
  return TagDef{bag, name, key, ""};
}

}  // namespace

// One row per settlement; the README lists what each field holds.
const std::vector<FieldSpec>& settlementFields() {
  static const std::vector<FieldSpec> f = {
      C("codigo", 10),      C("nombre", 50),      D("fech_ing"),        D("fcese"),
      C("motivo", 2),       D("fecha"),           C("estado", 1),       D("fechapago"),
      N("rc_basico", 12, 2), N("rc_asigfam", 10, 2), N("rc_regular", 12, 2), N("rc", 12, 2),
      N("rc_grat6", 12, 2), N("rc_cts", 12, 2),   N("serv_anos", 2),    N("serv_meses", 2),
      N("serv_dias", 2),    D("cts_desde"),       N("cts_meses", 2),    N("cts_dias", 2),
      N("cts", 12, 2),      D("vt_desde"),        N("vt_meses", 2),     N("vt_dias", 2),
      N("vac_trunc", 12, 2), N("vp_dias", 4),     N("vac_pend", 12, 2), N("vi_dias", 4),
      N("vac_indem", 12, 2), D("gr_desde"),       N("gr_meses", 2),     N("grat", 12, 2),
      N("bonif_pct", 6, 2), N("bonif", 12, 2),    N("in_anos", 2),      N("in_meses", 2),
      N("in_dias", 2),      N("indemniz", 12, 2), N("afecto", 12, 2),   N("afp_aporte", 10, 2),
      N("afp_prima", 10, 2), N("afp_comis", 10, 2), N("onp", 10, 2),    N("renta5", 10, 2),
      N("t_ingreso", 12, 2), N("t_dscto", 12, 2), N("neto", 12, 2),     N("essalud", 10, 2),
      D("plazo")};
  return f;
}

const std::vector<std::string>& monthFieldNames() {
  static const std::vector<std::string> m = {"ene", "feb", "mar", "abr", "may", "jun",
                                             "jul", "ago", "seti", "oct", "nov", "dic"};
  return m;
}

const std::vector<FieldSpec>& employeeFields() {
  static const std::vector<FieldSpec> f = {
      C("codigo", 10),       C("nombre", 50),      C("direccion", 60),   D("fech_nac"),
      D("fech_ing"),         D("fech_afp"),        C("telefono", 10),    C("ccosto", 6),
      C("electoral", 8),     C("cargo", 40),       C("carnet", 15),      N("bas_dia", 10, 2),
      N("dia_tra", 2),       N("bas_sem", 10, 2),  N("domini", 7, 2),    N("por_h_e", 6, 2),
      N("ipsst", 5, 2),      N("snpt", 5, 2),      N("fonavit", 5, 2),   N("gratif", 10, 2),
      N("ipsse", 5, 2),      N("snpe", 5, 2),      N("fonavie", 5, 2),   C("afp", 1),
      C("vari", 1),          N("bas_men", 10, 2),  C("codafp", 6),       N("asigna", 7, 2),
      N("bonifi", 7, 2),     N("movili", 7, 2),    N("esvida", 7, 2),    C("quinta", 1),
      N("imp5ta", 8, 2),     N("control", 1),      C("dolar", 1),        C("nroafp", 12),
      C("situacion", 2),     D("fechasitua"),      C("indique", 1),      C("banco", 4),
      C("seguroafp", 1),     C("sexo", 1),         C("nacion", 20),      D("fcese"),
      C("tiptrab", 2),       N("fraccion", 2),     N("fraccion1", 2),    C("apelli1", 20),
      C("apelli2", 20),      C("nombre1", 20),     C("nombre2", 20),     C("ctacte", 25),
      N("horastraba", 3),    C("catego", 2),       N("subsid", 2),       N("nosubs", 2),
      N("tardan", 6),        D("inivaca"),         D("finvaca"),         C("baja", 1),
      N("diavac", 2),        C("tienecta", 1),     C("DocIden", 1),      C("MovPer", 1),
      C("Retri", 1),         N("HorasTra", 4),     N("refrige", 10, 2),  N("diastra", 10, 2),
      N("produc", 10, 2),    N("movili", 10, 2),   N("utili", 10, 2),    N("cts", 10, 2),
      C("Plani", 6)};
  return f;
}

const std::vector<std::string>& activeCarriedFields() {
  static const std::vector<std::string> f = {
      "codigo",  "nombre",    "direccion", "fech_nac",  "fech_ing",  "fech_afp", "telefono", "electoral",
      "cargo",   "carnet",    "situacion", "fechasitua", "codafp",   "ccosto",   "banco",    "ctacte",
      "nroafp",  "bas_men",   "asigna",    "esvida",    "gratif",    "quinta",   "sexo",     "nacion",
      "fcese",   "imp5ta",    "control",   "dolar",     "seguroafp", "tiptrab",  "nombre1",  "nombre2",
      "apelli1", "apelli2",   "HorasTra",  "catego",    "subsid",    "nosubs",   "tardan",   "dia_tra",
      "tienecta", "DocIden",  "MovPer",    "Plani",     "Retri"};
  return f;
}

const std::vector<FieldSpec>& ratesFields() {
  static const std::vector<FieldSpec> f = {
      C("codigo", 6),        N("ipsst", 9, 2),     N("snpt", 9, 2),      N("fonavit", 9, 2),
      N("acctrab", 9, 2),    N("ipsse", 9, 2),     N("snpe", 9, 2),      N("fonavie", 9, 2),
      N("afpaum", 9, 2),     N("afpdsc", 9, 2),    N("hsimple", 9, 2),   N("hdoble", 9, 2),
      N("uit", 9, 2),        N("hexemp1", 9, 2),   N("hexemp2", 9),      N("escala1", 10, 2),
      N("escala2", 10, 2),   N("baseret", 10, 2),  N("escala3", 10, 2),  N("montopdt", 9, 2),
      N("eps", 9, 2),        N("cofovice", 9, 2),  N("senati", 9, 2),    N("minivital", 10, 2),
      N("bonifi9", 9, 2),    C("mesafec", 6),      N("sctr", 9, 2),      N("uit2", 9, 2),
      N("scala01", 10, 2),   N("scala02", 10, 2),  N("scala03", 10, 2),  N("scala04", 10, 2),
      N("scala05", 10, 2),   N("tasa08", 4),       N("tasa14", 4),       N("tasa17", 4),
      N("tasa20", 4),        N("tasa30", 4),       C("banco", 6),        C("Firma", 7),
      C("carpeta", 11)};
  return f;
}

// The employee's second record: what the state's registration of hires and leavers
// needs and the master cannot hold. Codes are SUNAT's (the table number in brackets);
// one-character flags are "1"/"0". EMAIL, CELULAR, TIPDOC, NUMDOC, BANCOSUN, CTANUM,
// CTACCI and CTAMON are read by the bank transfer files and the payslip delivery: keep
// their names and widths.
const std::vector<FieldSpec>& employeeExtraFields() {
  static const std::vector<FieldSpec> f = {
      C("CODIGO", 10),                                                 // the master's code
      C("TIPDOC", 2),    C("NUMDOC", 15),   C("PAISEMI", 3),           // document [3], issuing country [26]
      C("NACIONAL", 4),  C("CELULAR", 9),   C("EMAIL", 60),            // nationality [4]
      C("TIPVIA", 2),    C("NOMVIA", 20),   C("NUMVIA", 4),            // address: street type [5]
      C("DEPTO", 4),     C("INTERIOR", 4),  C("MANZANA", 4),   C("LOTE", 4),
      C("KILOMETRO", 4), C("BLOCK", 4),     C("ETAPA", 4),
      C("TIPZONA", 2),   C("NOMZONA", 20),  C("REFEREN", 40),  C("UBIGEO", 6),  // zone type [6]
      C("ASISTE", 1),                                                  // EsSalud centre by address 1/2
      C("REGLAB", 2),    C("SITEDU", 2),    C("OCUPACION", 6), C("DISCAPAC", 1),  // [33] [9] [30]
      C("SCTRPEN", 1),   C("TIPCONT", 2),   C("JORNALT", 1),   C("JORMAX", 1),    // SCTR pension 0/1/2, [12]
      C("NOCTURNO", 1),  C("SINDICATO", 1), C("PERIODIC", 1),  C("EXON5TA", 1),   // [13]
      C("SITESP", 1),    C("TIPPAGO", 1),   C("CATOCUP", 2),   C("CONVENIO", 1),  // [35] [16] [24] [25]
      C("REGSAL", 2),    C("EPS", 1),       C("SCTRSAL", 1),   C("REGPEN", 2),    // [32] [14] 1/2, [11]
      C("ESTAB", 4),                                                   // workplace (RUC register)
      C("EDUTIPO", 1),   C("EDUPERU", 1),   C("EDUINST", 9),   C("EDUCARR", 6),  C("EDUANO", 4),
      C("BANCOSUN", 2),  C("CTANUM", 20),   C("CTACCI", 20),   C("CTAMON", 1),  // [36] without its leading 0
      C("MOTBAJA", 2)};                                                // end reason [17]
  return f;
}

const std::vector<FieldSpec>& institutionFields() {
  static const std::vector<FieldSpec> f = {
      C("COD_CIA", 2),  C("NOM_CIA", 50),  C("RUC", 11),       C("PATRO", 12),    C("DIREC", 50),
      C("NOMBRES", 50), C("CARGO", 30),    N("LINEANOM", 5),   N("LINEACAR", 5),  N("REPITE", 5),
      C("DNI", 8),      C("NOM_ABREV", 50), D("FECHA"),        C("YDESCRI", 30),  C("DESCRI_MES", 30)};
  return f;
}

const std::vector<FieldSpec>& userFields() {
  static const std::vector<FieldSpec> f = {C("CODIGO", 4), C("NOMBRE", 50), C("FUNCION", 10), C("ACCESO", 1),
                                           C("INICIA", 10)};
  return f;
}

const std::vector<FieldSpec>& rollTemplateFields() {
  static const std::vector<FieldSpec> f = {
      C("codigo", 10), C("nombre", 50),     N("control", 1),     D("inivaca"),       D("finvaca"),
      N("diavac", 3),  N("difvac", 3),      N("mes", 2),         N("dia", 3),        N("dscto", 14, 2),
      N("desgrat", 14, 2), N("dscley", 14, 2), C("indica", 1)};
  return f;
}

const std::vector<FieldSpec>& calcTemplateFields() {
  static const std::vector<FieldSpec> f = [] {
    std::vector<FieldSpec> v = {C("codigo", 10),  C("nombre", 50),  C("ccosto", 6),   C("codafp", 6),
                                C("nroafp", 12),  C("situacion", 2), D("fechasitua"), C("tiptrab", 2),
                                C("catego", 2),   C("DocIden", 1),  C("MovPer", 1),   C("Plani", 6),
                                C("tienecta", 1), N("HorasTra", 4)};
    for (const char* d : {"dia_tra", "fraccion", "fraccion1", "nosubs", "subsi"}) v.push_back(N(d, 3));
    for (const char* a : {"bas_men", "bas_qui", "asigna", "bonifi", "movili", "hsimple", "hdoble", "hsimple_p",
                          "hdoble_p", "otrosp", "gratif", "graext", "escolar", "vacaci", "refrig", "diastra",
                          "produc", "utili", "cts", "subsid", "sumini", "tbruto",
                          // worker deductions
                          "ipsst", "fonavit", "snpt", "aapor1", "aapor2", "aapor3", "afpdsc", "rta_5ta", "esvida",
                          "adelanto", "otrosd", "retjud", "cuosin", "sumind", "tardan", "tardanza", "t_dsctot",
                          // employer contributions
                          "ipsse", "fonavie", "snpe", "t_dsctoe",
                          // net
                          "tpagar"})
      v.push_back(N(a, 14, 2));
    return v;
  }();
  return f;
}

bool codeTableId(int selector, TableId* id) {
  switch (selector) {
    case 1: *id = TableId::CostCentres; return true;
    case 2: *id = TableId::UniqueCodes; return true;
    case 3: *id = TableId::PensionerTypes; return true;
    case 7: *id = TableId::Situations; return true;
    case 8: *id = TableId::WorkerTypes; return true;
    case 9: *id = TableId::DocumentTypes; return true;
    case 10: *id = TableId::MovementTypes; return true;
    default: return false;
  }
}

const std::vector<TableId>& allTables() {
  static const std::vector<TableId> ids = {
      TableId::Institutions,  TableId::Users,          TableId::AccountingParams, TableId::ExchangeRates,
      TableId::RollTemplate,  TableId::CalcTemplate,   TableId::EmployeeMaster,   TableId::UniqueCodes,
      TableId::PensionerTypes, TableId::CostCentres,   TableId::Rates,            TableId::Situations,
      TableId::WorkerTypes,   TableId::DocumentTypes,  TableId::MovementTypes,    TableId::Banks,
      TableId::PensionFunds,  TableId::Earnings,       TableId::Deductions,       TableId::Health,
      TableId::PrePayroll,    TableId::CtsMay,         TableId::CtsNovember,      TableId::IncomeEntries,
      TableId::VacationRoll,  TableId::GratificationRoll, TableId::ActiveEmployees, TableId::PayrollSoles,
      TableId::PayrollDollars, TableId::GratSoles,     TableId::GratDollars,      TableId::ReportWork,
      TableId::ExtraGrat,     TableId::RunStamps,      TableId::Settlements,      TableId::RunRegister,
      TableId::ChangeLog,     TableId::TaxSettings,    TableId::EmployeeExtra,    TableId::ChargeAccounts,
      TableId::PayslipDeliveries, TableId::DeliverySettings};
  return ids;
}

std::string baseName(TableId id, const Period& p) {
  const std::string cma = p.cia + p.mes + p.ano;
  switch (id) {
    case TableId::Institutions: return "pmae0001";
    case TableId::Users: return "kylusua";
    case TableId::AccountingParams: return "paracont";
    case TableId::ExchangeRates: return "tcam" + p.ano;
    case TableId::RollTemplate: return "pbase14";
    case TableId::CalcTemplate: return "pbase18";
    case TableId::EmployeeMaster: return "pmae01" + p.cia;
    case TableId::UniqueCodes: return "pmae02" + p.cia;
    case TableId::PensionerTypes: return "pmae03" + p.cia;
    case TableId::CostCentres: return "pmae04" + p.cia;
    case TableId::Rates: return "pmae05" + p.cia;
    case TableId::Situations: return "pmae07" + p.cia;
    case TableId::WorkerTypes: return "pmae08" + p.cia;
    case TableId::DocumentTypes: return "pmae09" + p.cia;
    case TableId::MovementTypes: return "pmae10" + p.cia;
    case TableId::Banks: return "bmae01" + p.cia;
    case TableId::PensionFunds: return "pm06" + p.cia + p.ano;
    case TableId::Earnings: return "habe" + p.cia + p.ano;
    case TableId::Deductions: return "rete" + p.cia + p.ano;
    case TableId::Health: return "salu" + p.cia + p.ano;
    case TableId::PrePayroll: return "apor" + p.cia + p.ano;
    case TableId::CtsMay: return "cts1" + p.cia + p.ano;
    case TableId::CtsNovember: return "cts2" + p.cia + p.ano;
    case TableId::IncomeEntries: return "ph" + cma;
    case TableId::VacationRoll: return "ve" + cma;
    case TableId::GratificationRoll: return "ge" + cma;
    case TableId::ActiveEmployees: return "p9" + p.mes + p.ano + p.cia;
    case TableId::PayrollSoles: return "e2" + cma;
    case TableId::PayrollDollars: return "e1" + cma;
    case TableId::GratSoles: return "he" + cma;
    case TableId::GratDollars: return "h1" + cma;
    case TableId::ReportWork: return "xx" + cma;
    case TableId::ExtraGrat: return "ke" + cma;
    case TableId::RunStamps: return "sp" + cma;
    case TableId::Settlements: return "lq" + p.cia + p.ano;
    case TableId::RunRegister: return "rproc" + p.cia;
    case TableId::ChangeLog: return "bitac" + p.cia;
    case TableId::TaxSettings: return "pmae13" + p.cia;
    case TableId::EmployeeExtra: return "pmae11" + p.cia;
    case TableId::ChargeAccounts: return "bmae02" + p.cia;
    case TableId::PayslipDeliveries: return "eb" + p.cia + p.ano;
    case TableId::DeliverySettings: return "pmae12" + p.cia;
  }
  return "";
}

std::vector<std::string> TableDef::bags() const {
  std::vector<std::string> out;
  for (const auto& t : tags) {
    std::string b = t.bag + ".cdx";
    if (std::find(out.begin(), out.end(), b) == out.end()) out.push_back(b);
  }
  return out;
}

TableDef define(TableId id, const Period& p) {
  TableDef d;
  d.id = id;
  d.period = p;
  d.base = baseName(id, p);
  const std::string& b = d.base;
  auto codigoTag = [&] { d.tags = {tag(b, "codigo", "CODIGO")}; };
  auto singleTag = [&] { d.tags = {tag(b, "", "CODIGO")}; };
  auto codeTable = [&](int wc, int wn, int wcn, const char* alias, const char* role) {
    d.fields = codeFields(wc, wn, wcn);
    codigoTag();
    d.alias = alias;
    d.role = role;
  };
  switch (id) {
    case TableId::Institutions:
      d.origin = Origin::Shipped;
      d.fields = institutionFields();
      d.tags = {tag(b, "cod_cia", "COD_CIA")};
      d.alias = "xSeteoCia";
      d.role = "Maestro De Institucion";
      break;
    case TableId::Users:
      d.origin = Origin::Shipped;
      d.fields = userFields();
      // The tag is known by its key, INICIA+FUNCION; tag names hold at most ten characters.
      d.tags = {tag(b, "inicia", "INICIA+FUNCION")};
      d.alias = "kylusua";
      d.role = "Archivo De Accesos";
      break;
    case TableId::AccountingParams:
      d.fields = paracontFields();
      singleTag();
      d.alias = "TCambio";
      d.role = "Parametros Contables";
      break;
    case TableId::ExchangeRates:
      d.fields = exchangeFields();
      codigoTag();
      d.alias = "TCambio";
      d.role = "Tipo De Cambio";
      break;
    case TableId::RollTemplate:
      d.origin = Origin::Shipped;
      d.fields = rollTemplateFields();
      d.role = "Plantilla pbase14";
      break;
    case TableId::CalcTemplate:
      d.origin = Origin::Shipped;
      d.fields = calcTemplateFields();
      d.role = "Plantilla pbase18";
      break;
    case TableId::EmployeeMaster:
      d.fields = employeeFields();
      d.tags = {tag(b, "codigo", "CODIGO"), tag("pmno01" + p.cia, "nombre", "NOMBRE")};
      d.alias = "Emplea";
      d.role = "Maestro De Empleados";
      break;
    case TableId::UniqueCodes: codeTable(6, 50, 57, "Unica", "Planilla Unica"); break;
    case TableId::PensionerTypes: codeTable(2, 50, 52, "Catego", "Tipo Pensionista"); break;
    case TableId::CostCentres: codeTable(6, 45, 52, "Costos", "Centro De Costos"); break;
    case TableId::Situations: codeTable(2, 50, 53, "Situac", "Situacion"); break;
    case TableId::WorkerTypes: codeTable(2, 50, 52, "Tipos", "Tipo Trabajador"); break;
    case TableId::DocumentTypes: codeTable(1, 50, 52, "DocIde", "Documento De Identidad"); break;
    case TableId::MovementTypes: codeTable(1, 50, 52, "MovPer", "Movimiento De Personal"); break;
    case TableId::Rates:
      d.fields = ratesFields();
      codigoTag();
      d.alias = "Porcen";
      d.role = "Porcentajes";
      break;
    case TableId::Banks:
      d.fields = bankFields();
      codigoTag();
      d.alias = "Bancos";
      d.role = "Bancos";
      break;
    case TableId::PensionFunds:
      d.fields = pensionFields();
      // A tag name holds letters, digits and underscores only: the key is MES+CODIGO.
      d.tags = {tag(b, "mescodigo", "MES+CODIGO")};
      d.alias = "Afps";
      d.role = "Maestro De A.F.P.";
      break;
    case TableId::Earnings:
      d.fields = yearFields(false);
      codigoTag();
      d.alias = "TabHaber";
      d.role = "Haberes";
      break;
    case TableId::Deductions:
      d.fields = yearFields(false);
      codigoTag();
      d.alias = "TabReten";
      d.role = "Retenciones";
      break;
    case TableId::Health:
      d.fields = yearFields(true);
      codigoTag();
      d.alias = "Haberes";
      d.role = "Essalud Y Quinta";
      break;
    case TableId::PrePayroll:
      d.fields = prePayrollFields();
      codigoTag();
      d.alias = "Haberes";
      d.role = "Tabla Antes De Planilla";
      break;
    case TableId::CtsMay:
    case TableId::CtsNovember:
      d.fields = ctsFields();
      singleTag();
      d.alias = "DataCts";
      d.role = "Datos CTS";
      break;
    case TableId::IncomeEntries:
      d.fields = incomeFields();
      codigoTag();
      d.alias = "HorMovExt";
      d.role = "Ingresos De Trabajador";
      break;
    case TableId::VacationRoll:
      d.origin = Origin::RollTemplate;
      codigoTag();
      d.alias = "Vacaci";
      d.role = "Rol De Vacaciones";
      break;
    case TableId::GratificationRoll:
      d.origin = Origin::RollTemplate;
      singleTag();
      d.alias = "Gratif";
      d.role = "Rol De Gratificaciones";
      break;
    case TableId::ActiveEmployees:
      d.origin = Origin::MasterCopy;
      d.tags = {tag(b, "codigo", "CODIGO"), tag("p8" + p.mes + p.ano + p.cia, "nombre", "NOMBRE")};
      d.alias = "MaeAct";
      d.role = "Empleados Activos";
      break;
    case TableId::PayrollSoles:
      d.origin = Origin::CalcTemplate;
      singleTag();
      d.alias = "CalFijos";
      d.role = "Archivo Sueldos";
      break;
    case TableId::PayrollDollars:
      d.origin = Origin::CalcTemplate;
      singleTag();
      d.alias = "CalDolar";
      d.role = "Archivo Sueldos Dolares";
      break;
    case TableId::GratSoles:
      d.origin = Origin::CalcTemplate;
      singleTag();
      d.alias = "CalGrati";
      d.role = "Archivo Gratificaciones";
      break;
    case TableId::GratDollars:
      d.origin = Origin::CalcTemplate;
      singleTag();
      d.alias = "CalDolar";
      d.role = "Archivo Gratificaciones Dolares";
      break;
    case TableId::ReportWork:
      d.origin = Origin::WorkFile;
      d.alias = "RepFijos";
      d.role = "Archivo De Trabajo";
      break;
    case TableId::ExtraGrat:
      d.origin = Origin::External;
      // Read with whatever tags its bag holds.
      d.tags = {tag(b, "", "CODIGO")};
      d.alias = "ExtGrati";
      d.role = "Gratificacion Extraordinaria";
      break;
    case TableId::RunStamps:
      // PROCESO names the run; HUELLA is what the run was made from (the
      // gratification: a digest of its inputs); PENDIENTE "S" marks a payroll that a
      // later gratification run left out of date. No time of day: two runs on the same
      // data leave the same record.
      d.fields = {C("proceso", 10), C("huella", 16), C("pendiente", 1)};
      d.tags = {tag(b, "proceso", "PROCESO")};
      d.alias = "Procesos";
      d.role = "Registro De Procesos";
      break;
    case TableId::Settlements:
      d.fields = settlementFields();
      d.tags = {tag(b, "codigo", "CODIGO")};
      d.alias = "Liquida";
      d.role = "Liquidaciones De Beneficios Sociales";
      break;
    case TableId::RunRegister:
      // One record per run or export, written when it starts (ESTADO "E") and completed
      // when it ends ("T" finished, "D" stopped with MENSAJE). A record left "E" whose
      // station no longer holds its lock was interrupted. Times are AAAAMMDDHHMMSSmmm.
      d.fields = {C("proceso", 12), C("periodo", 6),  C("usuario", 10),  C("estacion", 30),
                  C("inicio", 17),  C("fin", 17),     N("emplead", 7),   N("bruto", 14, 2),
                  N("descto", 14, 2), N("neto", 14, 2), N("aporte", 14, 2), C("estado", 1),
                  C("mensaje", 120)};
      d.tags = {tag(b, "inicio", "INICIO")};
      d.alias = "RegProc";
      d.role = "Registro De Procesos";
      break;
    case TableId::ChangeLog:
      // Append only: one record per record added (A), changed (M) or deleted (B) by a
      // screen or command, with the changed fields' old and new values in DETALLE1..8.
      // PERIODO is the working period of the session that made the change.
      d.fields = {C("momento", 17), C("usuario", 10), C("estacion", 30), C("tabla", 8),
                  C("clave", 20),   C("codigo", 10),  C("operacion", 1), C("periodo", 6)};
      for (const char* f : {"detalle1", "detalle2", "detalle3", "detalle4", "detalle5", "detalle6", "detalle7",
                            "detalle8"})
        d.fields.push_back(C(f, 254));
      d.tags = {tag(b, "momento", "MOMENTO")};
      d.alias = "Bitacora";
      d.role = "Bitacora De Cambios";
      break;
    case TableId::TaxSettings:
      // Kept apart from the rates record (pmae05) so that its layout stays as other
      // installations and programs know it. PROYBONI "S": the fifth-category
      // projection adds the extraordinary bonus of the gratifications and a month
      // with an extraordinary payment withholds its own tax; anything else: off.
      d.fields = {C("codigo", 6), C("proyboni", 1)};
      codigoTag();
      d.alias = "ParRenta";
      d.role = "Parametros De Renta";
      break;
    case TableId::EmployeeExtra:
      d.fields = employeeExtraFields();
      codigoTag();
      d.alias = "EmpAdic";
      d.role = "Datos Adicionales Del Empleado";
      break;
    case TableId::ChargeAccounts:
      // BANCO is the bank's code as the employee's second record keeps it ("02" BCP,
      // "11" BBVA, "03" Interbank, "38" BanBif); MONEDA "S"/"D"; TIPCTA "C" corriente,
      // "M" maestra, "A" ahorros; INTERB "S" when the account also pays other banks'
      // accounts through their CCI (one per currency).
      d.fields = {C("banco", 2), C("cuenta", 20), C("moneda", 1), C("tipcta", 1), C("interb", 1), C("descrip", 40)};
      d.tags = {tag(b, "cuenta", "CUENTA")};
      d.alias = "CtaCargo";
      d.role = "Cuentas De Cargo Bancarias";
      break;
    case TableId::PayslipDeliveries:
      // One record per payslip sent or tried: PERIODO "AAAAMM", TIPO "M" monthly or
      // "G" gratification, the SHA-256 of the file sent, the message's Message-ID, and
      // RESULTADO "ENVIANDO" (written before the server is called), "ENVIADO" or
      // "FALLIDO" with the reason in DETALLE.
      d.fields = {C("codigo", 10), C("periodo", 6), C("tipo", 1),     C("email", 60),    C("archivo", 40),
                  C("sha256", 64), C("msgid", 100), D("fecha"),       C("hora", 8),      C("resultado", 10),
                  C("detalle", 100)};
      d.tags = {tag(b, "envio", "CODIGO+PERIODO+TIPO")};
      d.alias = "Envios";
      d.role = "Registro De Boletas Enviadas";
      break;
    case TableId::DeliverySettings:
      // The certificate is a file name in the data directory (its password is never
      // stored); FIRMAR/PROTEGER "S" or "N"; SMTPTLS "N" none, "S" STARTTLS, "T" TLS
      // from the start; the subject and the body's lines take {periodo}, {nombre},
      // {codigo} and {empresa}.
      d.fields = {C("certif", 60),   C("firmar", 1),    C("proteger", 1), C("motivo", 40),   C("lugar", 40),
                  C("smtphost", 60), N("smtpport", 5),  C("smtptls", 1),  C("smtpuser", 60), C("remite", 60),
                  C("nombrerem", 60), C("asunto", 100), C("cuerpo1", 100), C("cuerpo2", 100), C("cuerpo3", 100),
                  C("cuerpo4", 100)};
      d.alias = "EnvioCfg";
      d.role = "Configuracion De Boletas Electronicas";
      break;
  }
  return d;
}

bool identify(const std::string& fileName, TableDef* out) {
  std::string name = fileName;
  if (auto slash = name.rfind('/'); slash != std::string::npos) name = name.substr(slash + 1);
  if (auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(0, dot);
  auto lower = [](std::string v) {
    for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v;
  };
  name = lower(name);
  auto digits = [](const std::string& v) {
    return v.size() == 2 && std::isdigit(static_cast<unsigned char>(v[0])) &&
           std::isdigit(static_cast<unsigned char>(v[1]));
  };
  // Where the period's characters sit in each rule: a name built from marker bytes.
  const Period marks{"\x01\x02", "\x03\x04", "\x05\x06"};
  for (TableId id : allTables()) {
    const std::string rule = baseName(id, marks);
    if (rule.size() != name.size()) continue;
    Period p{"  ", "  ", "  "};
    bool match = true;
    for (size_t i = 0; i < rule.size() && match; ++i) {
      const unsigned char r = static_cast<unsigned char>(rule[i]);
      if (r >= 1 && r <= 6) {
        std::string& part = r <= 2 ? p.cia : r <= 4 ? p.mes : p.ano;
        part[(r - 1) % 2] = name[i];
      } else {
        match = std::tolower(r) == static_cast<unsigned char>(name[i]);
      }
    }
    if (!match) continue;
    if (rule.find('\x03') != std::string::npos && (!digits(p.mes) || p.mes > "12")) continue;
    if (rule.find('\x05') != std::string::npos && !digits(p.ano)) continue;
    TableDef d = define(id, p);
    if (lower(d.base) != name) continue;
    if (out) *out = std::move(d);
    return true;
  }
  return false;
}

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir == ".") return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

static bool fileExists(FileSystem& fs, const std::string& path) { return fs.exists(fs.resolve(path)); }

// Puts the file's name in front of a failure's message unless the message already
// names it (most engine messages do), so that no message repeats it.
static Status about(const Status& st, const std::string& name) {
  if (st.isOk() || st.message().find(name) != std::string::npos) return st;
  return st.withContext(name);
}

std::vector<BagSpec> bagSpecs(const std::string& dir, const TableDef& def) {
  std::vector<BagSpec> out;
  for (const auto& bag : def.bags()) {
    BagSpec b{joinPath(dir, bag), {}};
    for (const auto& tg : def.tags)
      if (tg.bag + ".cdx" == bag) b.tags.push_back(TagSpec{tg.name, tg.key, tg.forExpr, false});
    out.push_back(std::move(b));
  }
  return out;
}

std::string runBuildPath(const std::string& path) { return path + ".run.tmp"; }

// True when a run on some station has the table it builds under `temp` open: the
// shared open that every reader takes is refused.
static bool builtByRun(FileSystem& fs, const std::string& temp) {
  if (!fs.exists(temp)) return false;
  OpenOptions ro;
  ro.readOnly = true;
  auto f = fs.open(temp, ro);
  return !f && f.status().code() == ErrorCode::InUse;
}

bool tableExists(FileSystem& fs, const std::string& dir, const TableDef& def) {
  const std::string path = joinPath(dir, def.dbf());
  if (fileExists(fs, path)) return true;
  return def.origin == Origin::CalcTemplate && builtByRun(fs, runBuildPath(fs.resolve(path)));
}

// Builds every bag of `def` with its tags on an exclusively open table, each beside
// its old file and renamed into place.
static Status buildTags(Table& t, const std::string& dir, const TableDef& def) {
  return t.rebuildBags(bagSpecs(dir, def), false);
}

// Removes a file when it exists (name matched without regard to case).
static Status removeIfExists(FileSystem& fs, const std::string& path) {
  std::string real = fs.resolve(path);
  if (!fs.exists(real)) return Status::ok();
  return about(fs.remove(real), path);
}

// Copies one field of the current record of `from` into the current record of `to`.
static Status copyField(const Table& from, int fi, Table& to, const std::string& name) {
  const FieldSpec& f = from.field(fi);
  switch (f.type) {
    case 'N':
    case 'F': {
      std::string raw = from.str(fi);
      if (raw.find_first_not_of(' ') == std::string::npos) return Status::ok();  // stays blank
      return to.replace(name, from.num(fi));
    }
    case 'D': return to.replace(name, from.date(name));
    case 'L': return to.replaceLogical(name, from.logical(name));
    default: return to.replace(name, from.str(fi));
  }
}

// Fills a new active-employee table with the employees of the master whose baja is
// blank, carrying the fields of activeCarriedFields(); the rest start empty.
static Status fillActive(FileSystem& fs, const std::string& masterPath, Table& dest) {
  auto src = Table::openReadOnly(fs, masterPath, "TabGen");
  if (!src) return src.status();
  Table& m = **src;
  struct Pair { int from; std::string name; };
  std::vector<Pair> pairs;
  for (const auto& name : activeCarriedFields()) {
    int fi = m.fieldIndex(name);
    if (fi >= 0 && dest.fieldIndex(name) >= 0) pairs.push_back({fi, name});
  }
  const int baja = m.fieldIndex("baja");
  Status st = m.goTop();
  while (st && !m.eof()) {
    const bool active = baja < 0 || m.str(baja).find_first_not_of(' ') == std::string::npos;
    if (active) {
      st = dest.appendBlank();
      for (size_t i = 0; st && i < pairs.size(); ++i) st = copyField(m, pairs[i].from, dest, pairs[i].name);
    }
    if (st) st = m.skip(1);
  }
  if (st) st = m.lastError();
  m.close();
  return st;
}

Status ensureTable(FileSystem& fs, const std::string& dir, const TableDef& def, bool* created) {
  if (created) *created = false;
  const std::string path = joinPath(dir, def.dbf());
  if (fileExists(fs, path)) return Status::ok();
  // The table is made whole under a temporary name, its bags are put in place, and
  // only then does it get its name: a process stopped half-way leaves no table (the
  // next opening starts again), never one half filled that a reindex would accept.
  // A leftover of such a stop is emptied by the create (refused while in use).
  const std::string temp = path + ".tmp";

  // 1. create
  switch (def.origin) {
    case Origin::Layout:
      PLANILLA_RETURN_IF_ERROR(about(Table::create(fs, temp, def.fields), def.dbf()));
      break;
    case Origin::RollTemplate: {
      const std::string tpl = joinPath(dir, "pbase14.dbf");
      if (!fileExists(fs, tpl)) return Status::notFound("WARNING 14P");
      auto t = Table::openReadOnly(fs, tpl, "pbase14");
      if (!t) return about(t.status(), "pbase14.dbf");
      Status st = (*t)->copyStructure(temp);
      (*t)->close();
      PLANILLA_RETURN_IF_ERROR(about(st, def.dbf()));
      break;
    }
    case Origin::MasterCopy: {
      const std::string master = joinPath(dir, baseName(TableId::EmployeeMaster, def.period) + ".dbf");
      if (!fileExists(fs, master)) return Status::notFound("Maestro De Empleados No Existe");
      auto m = Table::openReadOnly(fs, master, "MaeEmp");
      if (!m) return about(m.status(), baseName(TableId::EmployeeMaster, def.period) + ".dbf");
      Status st = (*m)->copyStructure(temp);
      (*m)->close();
      PLANILLA_RETURN_IF_ERROR(about(st, def.dbf()));
      break;
    }
    default:
      return Status::unsupported(def.dbf() + ": el sistema no crea esta tabla");
  }

  // 2. open exclusively; 3. fill and build the tags; 4. name it, close.
  auto t = Table::open(fs, temp, OpenMode::Exclusive, def.alias);
  if (!t) {
    (void)removeIfExists(fs, temp);
    return about(t.status(), def.dbf());
  }
  Table& tab = **t;
  Status st;
  if (def.origin == Origin::MasterCopy) {
    st = fillActive(fs, joinPath(dir, baseName(TableId::EmployeeMaster, def.period) + ".dbf"), tab);
  }
  if (st && def.id == TableId::Rates) st = tab.appendBlank();
  if (st) st = buildTags(tab, dir, def);
  if (st) st = tab.flush();
  // Another station may have made the table meanwhile: theirs stays.
  bool madeElsewhere = st && fileExists(fs, path);
  if (st && !madeElsewhere) st = fs.replace(temp, path);
  tab.close();
  if (!st || madeElsewhere) (void)removeIfExists(fs, temp);
  if (!st) return about(st, def.dbf());
  if (created) *created = !madeElsewhere;
  return Status::ok();
}

Status recreateCalcFile(FileSystem& fs, const std::string& dir, const TableDef& def) {
  if (def.origin != Origin::CalcTemplate)
    return Status::invalid(def.dbf() + ": no es un archivo de calculo");
  const std::string tpl = joinPath(dir, "pbase18.dbf");
  if (!fileExists(fs, tpl)) return Status::notFound("WARNING  P18!!  ");
  const std::string path = joinPath(dir, def.dbf());
  // Refuse before deleting anything when another station holds the file open.
  if (fileExists(fs, path)) {
    auto probe = Table::open(fs, path, OpenMode::Exclusive, def.alias);
    if (!probe) {
      if (probe.status().code() == ErrorCode::InUse) return about(probe.status(), def.dbf());
      // A damaged file is simply replaced.
    } else {
      (*probe)->close();
    }
  }
  for (const auto& bag : def.bags()) PLANILLA_RETURN_IF_ERROR(removeIfExists(fs, joinPath(dir, bag)));
  PLANILLA_RETURN_IF_ERROR(removeIfExists(fs, path));
  {
    auto t = Table::openReadOnly(fs, tpl, "pbase18");
    if (!t) return about(t.status(), "pbase18.dbf");
    Status st = (*t)->copyStructure(path);
    (*t)->close();
    PLANILLA_RETURN_IF_ERROR(about(st, def.dbf()));
  }
  auto t = Table::open(fs, path, OpenMode::Exclusive, def.alias);
  if (!t) return about(t.status(), def.dbf());
  Status st = buildTags(**t, dir, def);
  if (st) st = (*t)->flush();
  (*t)->close();
  return about(st, def.dbf());
}

Status checkTags(Table& t, const TableDef& def) {
  // A table the system does not make is read with whatever tags its bag holds.
  if (def.origin == Origin::External || def.origin == Origin::WorkFile) return Status::ok();
  auto lower = [](std::string v) {
    for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v;
  };
  for (const auto& tg : def.tags) {
    std::string name = tg.name.empty() ? tg.bag.substr(0, 10) : tg.name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string bagFile = lower(tg.bag + ".cdx");
    for (int i = 0; i < t.bagCount(); ++i) {
      std::string open = t.bag(i).path();
      if (auto slash = open.rfind('/'); slash != std::string::npos) open = open.substr(slash + 1);
      if (lower(open) == bagFile && t.bag(i).findTag(name) < 0)
        return Status::needsReindex("Indice " + tg.bag + ".cdx Incompleto (Falta La Etiqueta " + name +
                                    "): Reindexe " + def.dbf());
    }
  }
  return Status::ok();
}

Result<std::unique_ptr<Table>> openTable(FileSystem& fs, const std::string& dir, const TableDef& def,
                                         OpenMode mode, const std::string& alias) {
  const std::string path = joinPath(dir, def.dbf());
  // A run's results are replaced as a whole by the run, which holds them meanwhile.
  const bool result = def.origin == Origin::CalcTemplate;
  if (!fileExists(fs, path)) {
    if (result && builtByRun(fs, runBuildPath(fs.resolve(path)))) return Status::inUse(kRunInProgress);
    return Status::notFound(def.dbf() + " No Existe");
  }
  // Check the bags before opening, so that a missing one leaves nothing open.
  for (const auto& bag : def.bags())
    if (!fileExists(fs, joinPath(dir, bag))) return Status::notFound("Indice " + bag + " No Existe");
  auto t = Table::open(fs, path, mode, alias.empty() ? def.alias : alias);
  if (!t) {
    if (result && t.status().code() == ErrorCode::InUse) return Status::inUse(kRunInProgress);
    return about(t.status(), def.dbf());
  }
  for (const auto& bag : def.bags()) {
    Status st = (*t)->openIndex(joinPath(dir, bag));
    if (!st) {
      (*t)->close();
      if (result && st.code() == ErrorCode::NeedsReindex) return Status::needsReindex(kRunInterrupted);
      return about(st, bag);
    }
  }
  // A bag that lacks a tag the system uses would make seeks fail as if the keys were
  // not there.
  Status st = checkTags(**t, def);
  if (st && (*t)->tagCount() > 0) st = (*t)->setOrder(1);
  if (!st) {
    (*t)->close();
    return about(st, def.dbf());
  }
  return std::move(*t);
}

Status rebuildIndexes(FileSystem& fs, const std::string& dir, const TableDef& def, bool pack) {
  const std::string path = joinPath(dir, def.dbf());
  if (!fileExists(fs, path)) return Status::notFound(def.dbf() + " No Existe");
  // Exclusive open first: while another station has the table, nothing is touched.
  // The old bags stay in place until their replacements are whole.
  auto t = Table::open(fs, path, OpenMode::Exclusive, def.alias);
  if (!t) return about(t.status(), def.dbf());
  Table& tab = **t;
  Status st = tab.rebuildBags(bagSpecs(dir, def), pack);
  if (st) st = tab.flush();
  tab.close();
  return about(st, def.dbf());
}

Status createWithTags(FileSystem& fs, const std::string& dir, const TableDef& def) {
  const std::string path = joinPath(dir, def.dbf());
  if (fileExists(fs, path)) return Status::invalid(def.dbf() + " ya existe");
  PLANILLA_RETURN_IF_ERROR(about(Table::create(fs, path, def.fields), def.dbf()));
  if (def.tags.empty()) return Status::ok();
  auto t = Table::open(fs, path, OpenMode::Exclusive, def.alias);
  if (!t) return about(t.status(), def.dbf());
  Status st = buildTags(**t, dir, def);
  if (st) st = (*t)->flush();
  (*t)->close();
  return about(st, def.dbf());
}

}  // namespace planilla::catalog
