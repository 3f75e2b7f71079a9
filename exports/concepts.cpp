#include "exports/concepts.h"

#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "masters/sunat_codes.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "ui/picture.h"

namespace planilla::exports {

namespace {

bool digits(const std::string& s, size_t n) {
  if (s.size() != n) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A numeric field of the result layout (the payroll and the gratification share it).
bool resultAmountField(const std::string& name) {
  for (const FieldSpec& f : catalog::calcTemplateFields())
    if (f.type == 'N' && ui::upper1252(f.name) == name) return true;
  return false;
}

bool settlementAmountField(const std::string& name) {
  for (const FieldSpec& f : catalog::settlementFields())
    if (f.type == 'N' && f.decimals == 2 && ui::upper1252(f.name) == name) return true;
  return false;
}

}  // namespace

const DocConcept* Concepts::document(const std::string& docIden) const {
  for (const DocConcept& d : doc)
    if (d.docIden == docIden) return &d;
  return nullptr;
}

bool excludedCode(const std::string& code) {
  static const char* const kExcluded[] = {"0100", "0200", "0300", "0400", "0500", "0600",
                                          "0603", "0604", "0607", "0610", "0612", "0616",
                                          "0800", "0802", "0804", "0806", "0808"};
  for (const char* c : kExcluded)
    if (code == c) return true;
  return false;
}

std::string defaultConceptsText() {
  return "# Equivalencias de los archivos PLAME y AFPnet (ver README).\r\n"
         "# REM origen campo codigo: importe del calculo (MES = planilla, GRA = gratificacion)\r\n"
         "#   -> concepto de la tabla 22 del archivo .rem. Montos del mismo codigo se suman.\r\n"
         "# SNL campo tipo: dias del calculo -> tipo de suspension (tabla 21) del archivo .snl.\r\n"
         "# DOC codigo tipo afpnet: tipo de documento del maestro -> tabla 3 y codigo AFPnet.\r\n"
         "# No se admiten los codigos que calcula la declaracion (0607 ONP, 0804 EsSalud ...).\r\n"
         "REM MES BAS_QUI   0121 Remuneracion o jornal basico\r\n"
         "REM MES ASIGNA    0201 Asignacion familiar\r\n"
         "REM MES HSIMPLE_P 0105 Trabajo en sobretiempo (horas extras) 25%\r\n"
         "REM MES HDOBLE_P  0106 Trabajo en sobretiempo (horas extras) 35%\r\n"
         "REM MES VACACI    0118 Remuneracion vacacional\r\n"
         "REM MES GRATIF    0405 Gratificacion proporcional (afecta, como la calcula la planilla)\r\n"
         "REM MES MOVILI    0908 Movilidad de libre disposicion\r\n"
         "REM MES REFRIG    0914 Refrigerio que no es alimentacion principal\r\n"
         "REM MES SUBSID    0916 Subsidio por incapacidad temporal\r\n"
         "REM MES SUMINI    1001 Otros ingresos\r\n"
         "REM MES RTA_5TA   0605 Renta quinta categoria retenciones\r\n"
         "REM MES AAPOR1    0608 SPP aportacion obligatoria\r\n"
         "REM MES AAPOR2    0606 SPP prima de seguro\r\n"
         "REM MES AAPOR3    0601 Comision AFP porcentual\r\n"
         "REM MES ADELANTO  0701 Adelanto\r\n"
         "REM MES CUOSIN    0702 Cuota sindical\r\n"
         "REM MES RETJUD    0703 Descuento autorizado u ordenado por mandato judicial\r\n"
         "REM MES TARDAN    0704 Tardanzas\r\n"
         "REM MES OTROSD    0706 Otros descuentos no deducibles de la base imponible\r\n"
         "REM GRA GRATIF    0406 Gratificaciones de fiestas patrias y navidad Ley 29351\r\n"
         "REM GRA BONIFI    0312 Bonificacion extraordinaria Ley 29351\r\n"
         "REM GRA RTA_5TA   0605 Renta quinta categoria retenciones\r\n"
         "REM GRA AAPOR1    0608 SPP aportacion obligatoria\r\n"
         "REM GRA AAPOR2    0606 SPP prima de seguro\r\n"
         "REM GRA AAPOR3    0601 Comision AFP porcentual\r\n"
         "REM GRA ADELANTO  0701 Adelanto\r\n"
         "# LIQ: liquidacion de beneficios sociales, declarada en el mes del cese.\r\n"
         "REM LIQ CTS       0904 Compensacion por tiempo de servicios\r\n"
         "REM LIQ VAC_TRUNC 0114 Vacaciones truncas\r\n"
         "REM LIQ VAC_PEND  0118 Remuneracion vacacional (records no gozados)\r\n"
         "REM LIQ VAC_INDEM 0504 Indemnizacion por vacaciones no gozadas\r\n"
         "REM LIQ GRAT      0407 Gratificacion proporcional Ley 29351 y 30334\r\n"
         "REM LIQ BONIF     0313 Bonificacion extraordinaria proporcional Ley 29351 y 30334\r\n"
         "REM LIQ INDEMNIZ  0501 Indemnizacion por despido\r\n"
         "REM LIQ RENTA5    0605 Renta quinta categoria retenciones\r\n"
         "REM LIQ AFP_APORTE 0608 SPP aportacion obligatoria\r\n"
         "REM LIQ AFP_PRIMA 0606 SPP prima de seguro\r\n"
         "REM LIQ AFP_COMIS 0601 Comision AFP porcentual\r\n"
         "SNL SUBSI    21 Incapacidad temporal (dias subsidiados)\r\n"
         "SNL NOSUBS   05 Licencia sin goce de haber (dias no laborados y no subsidiados)\r\n"
         "DOC 1 01 0 Documento nacional de identidad\r\n"
         "DOC 4 04 1 Carne de extranjeria\r\n"
         "DOC 7 07 4 Pasaporte\r\n";
}

Result<Concepts> parseConcepts(const std::string& text) {
  Concepts out;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  // The line that first gave each equivalence: a field read twice would be declared
  // twice (its amount doubled), a document code twice would be ambiguous.
  std::map<std::string, int> firstLine;
  auto repeated = [&](const std::string& key, const std::string& shown) -> std::optional<Status> {
    auto [it, fresh] = firstLine.emplace(key, lineNo);
    if (fresh) return std::nullopt;
    return Status::invalid(std::string(kConceptsFile) + ", lineas " + std::to_string(it->second) + " y " +
                           std::to_string(lineNo) + ": " + shown + " esta repetido; deje una sola linea");
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    if (size_t hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
    std::istringstream words(raw);
    std::string kind;
    if (!(words >> kind)) continue;
    kind = ui::upper1252(kind);
    auto bad = [&](const std::string& why) {
      return Status::invalid(std::string(kConceptsFile) + ", linea " + std::to_string(lineNo) + ": " + why);
    };
    if (kind == "REM") {
      std::string src, field, code;
      if (!(words >> src >> field >> code)) return bad("se espera REM MES|GRA|LIQ CAMPO CODIGO");
      RemConcept c;
      src = ui::upper1252(src);
      if (src == "MES") c.source = Source::Payroll;
      else if (src == "GRA") c.source = Source::Gratification;
      else if (src == "LIQ") c.source = Source::Settlement;
      else return bad("origen " + src + " no valido (MES, GRA o LIQ)");
      c.field = ui::upper1252(field);
      if (c.source == Source::Settlement ? !settlementAmountField(c.field) : !resultAmountField(c.field))
        return bad("campo " + field + (c.source == Source::Settlement ? " no existe en la liquidacion"
                                                                     : " no existe en el calculo"));
      if (!digits(code, 4)) return bad("codigo " + code + " no es de 4 digitos");
      if (excludedCode(code)) return bad("el codigo " + code + " lo calcula la declaracion, no se informa");
      if (auto dup = repeated("REM " + src + " " + c.field, "REM " + src + " " + c.field)) return *dup;
      c.code = code;
      out.rem.push_back(std::move(c));
    } else if (kind == "SNL") {
      std::string field, type;
      if (!(words >> field >> type)) return bad("se espera SNL CAMPO TIPO");
      SnlConcept c{ui::upper1252(field), type};
      if (!resultAmountField(c.field)) return bad("campo " + field + " no existe en el calculo");
      if (!digits(type, 2)) return bad("tipo " + type + " no es de 2 digitos");
      if (auto dup = repeated("SNL " + c.field, "SNL " + c.field)) return *dup;
      out.snl.push_back(std::move(c));
    } else if (kind == "DOC") {
      std::string docIden, type, afp;
      if (!(words >> docIden >> type >> afp)) return bad("se espera DOC CODIGO TIPO AFPNET");
      if (docIden.size() != 1) return bad("codigo de documento " + docIden + " no es de 1 caracter");
      if (!digits(type, 2)) return bad("tipo " + type + " no es de 2 digitos");
      if (afp.size() != 1) return bad("codigo AFPnet " + afp + " no es de 1 caracter");
      if (auto dup = repeated("DOC " + ui::upper1252(docIden), "DOC " + docIden)) return *dup;
      out.doc.push_back({ui::upper1252(docIden), type, ui::upper1252(afp)});
    } else {
      return bad("clase de linea " + kind + " desconocida (REM, SNL o DOC)");
    }
  }
  return out;
}

Result<Concepts> loadConcepts(Session& s) {
  const std::string path = s.path(kConceptsFile);
  // Read as the other data files the operator may edit: without waiting (a FIFO at the
  // name would hang the export), a regular file of sensible size, or nothing is read.
  Result<std::string> text = masters::readDataText(path, kConceptsLimit);
  if (!text && text.status().code() == ErrorCode::NotFound) {
    std::string made = defaultConceptsText();
    Status st = reports::writeFileAtomically(path, made);
    if (!st) return st;
    return parseConcepts(made);
  }
  if (!text) return text.status();
  return parseConcepts(text.value());
}

}  // namespace planilla::exports
