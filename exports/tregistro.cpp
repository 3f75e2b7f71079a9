#include "exports/tregistro.h"

#include <cctype>
#include <set>
#include <sstream>

#include "exports/plame.h"
#include "reports/rpv_writer.h"
#include "session/run_register.h"
#include "store/catalog.h"
#include "store/output_path.h"
#include "ui/messages.h"
#include "ui/picture.h"

namespace planilla::exports {

namespace {

using masters::allDigits;
namespace tabla = masters::tabla;

enum Member { kIde, kTra, kPer, kEst, kEdu, kCta, kMembers };
const char* const kExtensions[kMembers] = {".ide", ".tra", ".per", ".est", ".edu", ".cta"};

// Worker types (table 8) the .tra fields 4, 10, 14, 15 and 20 do not apply to, and
// those the occupational category (table 24) does not apply to.
const std::set<std::string> kNoLabourFields = {"23", "66", "71", "73"};
const std::set<std::string> kNoCategory = {"19", "20", "21", "23", "66", "71", "88", "89", "90", "91", "98"};
// Education situations (table 9) that need the completed studies (.edu).
const std::set<std::string> kStudies = {"11", "13", "14", "15", "16", "17", "18", "19", "20", "21"};

std::string trim(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// One record: every field followed by "|", CR LF at the end.
std::string record(const std::vector<std::string>& fields) {
  std::string out;
  for (const std::string& f : fields) out += f + "|";
  return out + "\r\n";
}

std::string orDefault(const std::string& v, const char* d) { return v.empty() ? d : v; }

// Collects one employee's gaps into one line of the stop message.
struct Gaps {
  std::vector<std::string> list;
  void add(const std::string& what) { list.push_back(what); }
  // Text that goes into a field: a "|" or a control character would break the record.
  bool text(const std::string& v, const char* what) {
    for (char c : v)
      if (c == '|' || static_cast<unsigned char>(c) < ' ') {
        add(std::string(what) + " contiene un caracter no permitido");
        return false;
      }
    return true;
  }
  // A code that must be listed in a SUNAT table.
  void code(const masters::SunatCodes& codes, int n, const std::string& v, const char* what) {
    if (v.empty())
      add("falta " + std::string(what));
    else if (!codes.find(n, v))
      add(std::string(what) + " " + v + " no esta en la tabla " + std::to_string(n) + " de " +
          masters::kSunatTablesFile);
  }
};

Status bad(int lineNo, const std::string& why) {
  return Status::invalid(std::string(kTregistroMapFile) + ", linea " + std::to_string(lineNo) + ": " + why);
}

}  // namespace

std::string RegEmployee::displayName() const {
  std::string n = ap1;
  if (!ap2.empty()) n += " " + ap2;
  if (!names.empty()) n += ", " + names;
  return n;
}

std::string defaultTregistroMapText() {
  return "# Equivalencias del T-Registro (ver README).\r\n"
         "# TRA codigo tabla8: tipo de trabajador del maestro -> tabla 8 de SUNAT.\r\n"
         "# SIT codigo tabla15: situacion del maestro -> tabla 15.\r\n"
         "# AFP codigo tabla11: fondo de pensiones del maestro -> regimen pensionario (tabla 11).\r\n"
         "# ONP tabla11: regimen de quien no tiene fondo.\r\n"
         "# Un tipo o una situacion sin linea se toma como codigo de SUNAT si la tabla lo tiene.\r\n"
         "# Los tipos y situaciones de abajo son los del PDT anterior, que trae el sistema.\r\n"
         "TRA 21 19 Ejecutivo\r\n"
         "TRA 22 20 Obrero\r\n"
         "TRA 23 21 Empleado\r\n"
         "SIT 11 1 Activo o subsidiado\r\n"
         "SIT 12 0 Baja\r\n"
         "SIT 13 3 Suspension perfecta de labores\r\n"
         "SIT 15 2 Sin vinculo laboral con conceptos pendientes\r\n"
         "AFP INTEGR 21 SPP Integra\r\n"
         "AFP HORIZO 22 SPP Horizonte\r\n"
         "AFP PROFUT 23 SPP Profuturo\r\n"
         "AFP PRIMA  24 SPP Prima\r\n"
         "AFP HABITA 25 SPP Habitat\r\n"
         "ONP 02 SNP - D.Ley 19990\r\n";
}

Result<TregistroMap> parseTregistroMap(const std::string& text) {
  TregistroMap out;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  bool onp = false;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (size_t hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
    std::istringstream words(raw);
    std::string kind, from, to;
    if (!(words >> kind)) continue;
    kind = ui::upper1252(kind);
    if (kind == "ONP") {
      if (!(words >> to) || !allDigits(to) || to.size() != 2) return bad(lineNo, "se espera ONP REGIMEN (2 digitos)");
      if (onp) return bad(lineNo, "ONP esta repetido; deje una sola linea");
      onp = true;
      out.publicSystem = to;
      continue;
    }
    std::map<std::string, std::string>* target = kind == "TRA" ? &out.workerType
                                                 : kind == "SIT" ? &out.situation
                                                 : kind == "AFP" ? &out.fund
                                                                 : nullptr;
    if (!target) return bad(lineNo, "clase de linea " + kind + " desconocida (TRA, SIT, AFP u ONP)");
    if (!(words >> from >> to)) return bad(lineNo, "se espera " + kind + " CODIGO CODIGO_SUNAT");
    const size_t width = kind == "SIT" ? 1 : 2;
    if (!allDigits(to) || to.size() != width)
      return bad(lineNo, "el codigo de SUNAT " + to + " no es de " + std::to_string(width) + " digito(s)");
    from = ui::upper1252(from);
    if (!target->emplace(from, to).second) return bad(lineNo, kind + " " + from + " esta repetido; deje una sola linea");
  }
  return out;
}

Result<TregistroMap> loadTregistroMap(Session& s) {
  const std::string path = s.path(kTregistroMapFile);
  Result<std::string> r = masters::readDataText(path, kConceptsLimit);
  if (!r && r.status().code() == ErrorCode::NotFound) {
    std::string text = defaultTregistroMapText();
    PLANILLA_RETURN_IF_ERROR(reports::writeFileAtomically(path, text));
    return parseTregistroMap(text);
  }
  if (!r) return r.status();
  return parseTregistroMap(r.value());
}

std::string tregistroBaseName(const RegCompany& company) { return "RP_" + company.ruc; }

bool tregistroLines(const RegEmployee& e, const RegContext& c, std::string lines[6], std::vector<Missing>& missing) {
  const bool hire = !e.hired.empty() && !(e.hired < c.from) && !(c.to < e.hired);
  const bool leaver = !e.ceased.empty() && !(e.ceased < c.from) && !(c.to < e.ceased);
  if (!hire && !leaver) return false;
  const masters::EmployeeExtra& x = e.extra;
  const masters::SunatCodes& codes = c.codes;
  Gaps g;
  if (hire && !e.hasExtra) g.add("no tiene Datos Adicionales");

  // The identity document: the second record's, else the master's.
  std::string td = x.tipdoc;
  if (td.empty())
    if (const DocConcept* d = c.concepts.document(e.docIden)) td = d->type;
  const std::string number = x.numdoc.empty() ? e.docNumber : x.numdoc;
  if (td.empty()) g.add("falta el tipo de documento");
  else if (!codes.find(tabla::kDocumento, td)) g.code(codes, tabla::kDocumento, td, "el tipo de documento");
  else if (!masters::documentNumberValid(td, number))
    g.add(number.empty() ? "falta el numero de documento" : "el numero de documento " + number + " no es valido");
  // The issuing country only for the passport and the foreign identity document.
  std::string country;
  if (td == "07" || td == "24") {
    country = x.paisemi;
    g.code(codes, tabla::kPaisEmisor, country, "el pais emisor del documento");
  }
  const std::vector<std::string> id = {td, number, country};
  auto with = [&](std::vector<std::string> rest) {
    std::vector<std::string> f = id;
    f.insert(f.end(), rest.begin(), rest.end());
    return record(f);
  };
  if (e.hired.empty()) g.add("falta la fecha de ingreso");

  if (hire) {
    // Worker type and pension regime, through the equivalences.
    std::string type;
    auto mt = c.map.workerType.find(e.tiptrab);
    if (mt != c.map.workerType.end()) type = mt->second;
    else if (codes.find(tabla::kTipoTrabajador, e.tiptrab)) type = e.tiptrab;
    if (type.empty())
      g.add("el tipo de trabajador " + (e.tiptrab.empty() ? std::string("(en blanco)") : e.tiptrab) +
            " no tiene equivalencia en " + kTregistroMapFile);
    std::string pension = x.regpen;
    if (pension.empty()) {
      if (e.codafp.empty()) {
        pension = c.map.publicSystem;
      } else if (auto f = c.map.fund.find(e.codafp); f != c.map.fund.end()) {
        pension = f->second;
      } else {
        g.add("el fondo " + e.codafp + " no tiene equivalencia en " + kTregistroMapFile);
      }
    }
    if (!pension.empty() && !codes.find(tabla::kPension, pension)) g.code(codes, tabla::kPension, pension, "el regimen pensionario");
    const bool spp = pension >= "21" && pension <= "25";
    if (spp && e.cuspp.empty()) g.add("falta el CUSPP del afiliado a la AFP");

    // .ide
    if (e.born.empty()) g.add("falta la fecha de nacimiento");
    if (e.ap1.empty()) g.add("falta el apellido paterno");
    if (e.names.empty()) g.add("faltan los nombres");
    g.text(e.ap1 + e.ap2 + e.names, "el nombre");
    const std::string sex = e.sex == "M" ? "1" : e.sex == "F" ? "2" : "";
    if (sex.empty()) g.add("falta el sexo (M o F)");
    const std::string nationality = x.nacional.empty() && td == "01" ? std::string("9589") : x.nacional;
    g.code(codes, tabla::kNacionalidad, nationality, "la nacionalidad");
    if (!masters::mobileValid(x.celular))
      g.add(x.celular.empty() ? "falta el celular" : "el celular " + x.celular + " no es de 9 digitos empezando en 9");
    if (!masters::emailValid(x.email))
      g.add(x.email.empty() ? "falta el correo electronico" : "el correo " + x.email + " no es valido");
    if (x.tipvia.empty() && x.tipzona.empty()) g.add("falta la via o la zona de la direccion");
    if (!x.tipvia.empty()) g.code(codes, tabla::kVia, x.tipvia, "el tipo de via");
    if (!x.tipzona.empty()) g.code(codes, tabla::kZona, x.tipzona, "el tipo de zona");
    if (!x.tipvia.empty() && x.nomvia.empty()) g.add("falta el nombre de la via");
    if (!x.tipzona.empty() && x.nomzona.empty()) g.add("falta el nombre de la zona");
    g.text(x.nomvia + x.numvia + x.depto + x.interior + x.manzana + x.lote + x.kilometro + x.block + x.etapa +
               x.nomzona + x.referen,
           "la direccion");
    if (x.ubigeo.empty()) g.add("falta el UBIGEO");
    else if (!codes.district(x.ubigeo)) g.add("el UBIGEO " + x.ubigeo + " no es un distrito de " + masters::kUbigeoFile);
    std::vector<std::string> ide = {e.born.dmy(), e.ap1, e.ap2, e.names, sex, nationality, "", x.celular, x.email,
                                    x.tipvia, x.nomvia, x.numvia, x.depto, x.interior, x.manzana, x.lote,
                                    x.kilometro, x.block, x.etapa, x.tipzona, x.nomzona, x.referen, x.ubigeo};
    ide.resize(ide.size() + 14);  // the second address, not kept
    ide.push_back(x.asiste);
    lines[kIde] += with(ide);

    // .tra
    const bool labour = !kNoLabourFields.count(type);
    if (labour) {
      g.code(codes, tabla::kRegimenLaboral, x.reglab, "el regimen laboral");
      g.code(codes, tabla::kContrato, x.tipcont, "el tipo de contrato");
    }
    g.code(codes, tabla::kEducacion, x.sitedu, "la situacion educativa");
    if (x.ocupacion.size() != 6 || !allDigits(x.ocupacion)) g.add("falta la ocupacion (6 digitos)");
    std::string basic;
    if (!plameAmount(e.basic, basic)) g.add("la remuneracion basica no cabe en 7 enteros y 2 decimales");
    std::string situation = "1";
    if (!e.situacion.empty()) {
      auto ms = c.map.situation.find(e.situacion);
      if (ms != c.map.situation.end()) situation = ms->second;
      else if (e.situacion.size() == 1 && allDigits(e.situacion)) situation = e.situacion;
      else g.add("la situacion " + e.situacion + " no tiene equivalencia en " + kTregistroMapFile);
    }
    const std::string payment = x.tippago.empty() ? (x.ctanum.empty() ? "1" : "2") : x.tippago;
    if (!codes.find(tabla::kTipoPago, payment)) g.code(codes, tabla::kTipoPago, payment, "el tipo de pago");
    std::string category;
    if (!type.empty() && !kNoCategory.count(type)) {
      category = x.catocup;
      g.code(codes, tabla::kCategoria, category, "la categoria ocupacional");
    }
    auto labourOnly = [&](const std::string& v) { return labour ? v : std::string(); };
    lines[kTra] += with({labourOnly(x.reglab), x.sitedu, x.ocupacion, orDefault(x.discapac, "0"),
                         spp ? e.cuspp : std::string(), orDefault(x.sctrpen, "0"), labourOnly(x.tipcont),
                         orDefault(x.jornalt, "0"), orDefault(x.jormax, "0"), orDefault(x.nocturno, "0"),
                         labourOnly(orDefault(x.sindicato, "0")), labourOnly(orDefault(x.periodic, "1")), basic,
                         situation, orDefault(x.exon5ta, "0"), orDefault(x.sitesp, "0"), labourOnly(payment),
                         category, orDefault(x.convenio, "0"), ""});

    // .per: the labour link, the worker type, health, pension and, when insured, SCTR health.
    const std::string start = e.hired.dmy();
    const std::string health = orDefault(x.regsal, "00");
    g.code(codes, tabla::kSalud, health, "el regimen de salud");
    std::string eps;
    if (health == "01" || health == "03") {
      eps = x.eps;
      g.code(codes, tabla::kEps, eps, "la EPS");
    }
    lines[kPer] += with({"1", "1", start, "", "", ""});
    lines[kPer] += with({"1", "2", start, "", type, ""});
    lines[kPer] += with({"1", "3", start, "", health, eps});
    lines[kPer] += with({"1", "4", start, "", pension, ""});
    if (x.sctrsal == "1" || x.sctrsal == "2") lines[kPer] += with({"1", "5", start, "", x.sctrsal, ""});

    // .est: the workplace, the fiscal domicile (0000) unless another is given.
    lines[kEst] += with({c.company.ruc, orDefault(x.estab, "0000")});

    // .edu: only for the education situations with completed higher studies.
    if (kStudies.count(x.sitedu)) {
      if (x.edutipo.empty() || x.eduperu.empty() || x.eduano.size() != 4)
        g.add("faltan los estudios concluidos (tipo, institucion peruana 1/0 y anio de egreso)");
      lines[kEdu] += with({x.edutipo, x.eduperu, x.eduinst, x.educarr, x.eduano});
    }

    // .cta: the salary account when pay goes by deposit.
    if (payment == "2") {
      const std::string bank = x.bancosun.empty() ? "" : "0" + x.bancosun;
      g.code(codes, tabla::kBanco, bank, "el banco de la cuenta de sueldo");
      if (!allDigits(x.ctanum) || x.ctanum.size() > 20)
        g.add(x.ctanum.empty() ? "falta la cuenta de sueldo" : "la cuenta " + x.ctanum + " no es solo digitos");
      lines[kCta] += with({bank, x.ctanum});
    }
  }

  if (leaver) {
    if (x.motbaja.empty()) g.add("falta el motivo de la baja");
    else g.code(codes, tabla::kMotivoBaja, x.motbaja, "el motivo de la baja");
    if (!e.hired.empty()) lines[kPer] += with({"1", "1", e.hired.dmy(), e.ceased.dmy(), x.motbaja, ""});
  }

  if (!g.list.empty()) {
    std::string what;
    for (const std::string& w : g.list) what += (what.empty() ? "" : ", ") + w;
    missing.push_back({e.code, e.displayName(), what});
  }
  return true;
}

Status readRegEmployees(Session& s, std::vector<RegEmployee>& out) {
  const catalog::TableDef def = s.def(catalog::TableId::EmployeeMaster);
  auto master = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared, "TrMaestro");
  if (!master) return master.status();
  // The second records, when the company keeps any yet: an export only reads.
  std::unique_ptr<Table> extra;
  const catalog::TableDef xdef = s.def(catalog::TableId::EmployeeExtra);
  if (catalog::tableExists(s.fs(), s.dataDir(), xdef)) {
    auto x = catalog::openTable(s.fs(), s.dataDir(), xdef, OpenMode::Shared, "TrAdic");
    if (!x) return x.status();
    extra = std::move(x.value());
  }
  Table& t = **master;
  Status st = t.goTop();
  for (; st && !t.eof(); st = t.skip(1)) {
    RegEmployee e;
    e.code = trim(t.str("codigo"));
    e.ap1 = trim(t.str("apelli1"));
    e.ap2 = trim(t.str("apelli2"));
    e.names = trim(trim(t.str("nombre1")) + " " + trim(t.str("nombre2")));
    e.sex = trim(t.str("sexo"));
    e.docIden = ui::upper1252(trim(t.str("DocIden")));
    e.docNumber = trim(t.str("electoral"));
    e.tiptrab = trim(t.str("tiptrab"));
    e.situacion = trim(t.str("situacion"));
    e.codafp = ui::upper1252(trim(t.str("codafp")));
    e.cuspp = trim(t.str("nroafp"));
    e.retri = trim(t.str("Retri"));
    e.born = t.date("fech_nac");
    e.hired = t.date("fech_ing");
    e.ceased = t.date("fcese");
    e.basic = t.num("bas_men");
    if (e.retri == "2") continue;  // paid as a plain fee: not a worker of the registration
    if (extra) e.hasExtra = masters::readEmployeeExtra(*extra, e.code, &e.extra);
    out.push_back(std::move(e));
  }
  if (!st) st = st.withContext(def.dbf());
  t.close();
  if (extra) extra->close();
  return st;
}

Status writeTregistro(const std::vector<RegEmployee>& employees, const RegContext& c, const std::string& dir,
                      std::vector<Missing>& missing, std::vector<std::string>* written) {
  if (c.company.ruc.size() != 11 || !allDigits(c.company.ruc))
    missing.push_back({"", "Empresa " + c.company.cia, "falta el RUC (11 digitos) en el maestro de instituciones"});
  std::string lines[kMembers];
  bool any = false;
  for (const RegEmployee& e : employees) any = tregistroLines(e, c, lines, missing) || any;
  if (!missing.empty()) return Status::ok();
  if (!any)
    return Status::notFound("No Hay Altas Ni Bajas Del " + c.from.dmy() + " Al " + c.to.dmy() +
                            ": No Se Generaron Archivos");
  const std::string base = tregistroBaseName(c.company);
  std::vector<std::string> names;
  for (const char* ext : kExtensions) names.push_back(base + ext);
  FileSet set(dir, base, names);
  PLANILLA_RETURN_IF_ERROR(set.open());
  std::vector<bool> present;
  for (size_t i = 0; i < kMembers; ++i) {
    present.push_back(!lines[i].empty());
    if (present[i]) PLANILLA_RETURN_IF_ERROR(set.write(i, lines[i]));
  }
  PLANILLA_RETURN_IF_ERROR(set.commit(present));
  if (written)
    for (size_t i = 0; i < kMembers; ++i)
      if (present[i]) written->push_back(set.path(i));
  return Status::ok();
}

bool runTregistro(Session& s, const Date& from, const Date& to, const std::string& dirGiven,
                  std::vector<std::string>& written) {
  auto stop = [&s](const std::string& text) {
    ui::MSGSTOP(s.messages(), text, "Mensaje");
    return false;
  };
  if (trim(s.YCIA).empty() || !s.YFECHA.valid()) return stop(kChooseCompany);
  if (!from.valid() || !to.valid() || to < from) return stop("Rango De Fechas No Valido");
  RunRecord reg(s, kRunExportTregistro);
  if (!reg.started()) return false;
  const std::string dir = dirGiven.empty() ? s.dataDir() : dirGiven;
  if (Status st = checkOutputFolder(dir); !st) return stop(st.message());
  RegContext c;
  c.company = {trim(s.YCIA), trim(s.YRUC)};
  c.from = from;
  c.to = to;
  Result<Concepts> concepts = loadConcepts(s);
  if (!concepts) return stop(concepts.status().message());
  c.concepts = std::move(concepts.value());
  Result<TregistroMap> map = loadTregistroMap(s);
  if (!map) return stop(map.status().message());
  c.map = std::move(map.value());
  Result<masters::SunatCodes> codes = masters::loadSunatCodes(s);
  if (!codes) return stop(codes.status().message());
  c.codes = std::move(codes.value());
  std::vector<RegEmployee> employees;
  if (Status st = readRegEmployees(s, employees); !st)
    return stop(st.code() == ErrorCode::InUse ? "Apertura Denegada El Archivo Esta En Uso" : st.message());
  std::vector<Missing> missing;
  Status st = writeTregistro(employees, c, dir, missing, &written);
  if (st.code() == ErrorCode::NotFound) return stop(st.message());
  if (!missing.empty()) written.clear();
  if (!reportFailure(s, missing, st)) return false;
  reg.finish();
  return true;
}

}  // namespace planilla::exports
