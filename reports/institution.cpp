#include "reports/institution.h"

#include "store/catalog.h"

namespace planilla::reports {

namespace {

// Opens `def` read-only in a free area; nullptr and `error` on failure.
Table* openInFreeArea(Session& s, const catalog::TableDef& def, Status* error, int* area) {
  *area = s.firstFreeArea();
  if (*area == 0) {
    if (error) *error = Status::ioError("No hay areas de trabajo libres");
    return nullptr;
  }
  Result<Table*> t = s.open(*area, def, OpenMode::Shared);
  if (!t) {
    if (error) *error = t.status();
    return nullptr;
  }
  return t.value();
}

}  // namespace

Lookup readInstitution(Session& s, InstitutionData& out, Status* error) {
  const catalog::TableDef def = s.def(catalog::TableId::Institutions);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return Lookup::TableMissing;
  int area = 0;
  Table* t = openInFreeArea(s, def, error, &area);
  if (!t) return Lookup::Failed;
  if (t->tagCount() > 0) (void)t->setOrder(1);
  bool found = t->seek(s.YCIA);
  Lookup result = Lookup::RecordMissing;
  if (found) {
    out.patro = t->str("PATRO");
    out.direc = t->str("DIREC");
    out.ruc = t->str("RUC");
    out.nombres = t->str("NOMBRES");
    out.cargo = t->str("CARGO");
    out.dni = t->str("DNI");
    out.lineanom = t->num("LINEANOM");
    out.lineacar = t->num("LINEACAR");
    out.repite = t->num("REPITE");
    result = Lookup::Found;
  } else if (!t->lastError().isOk()) {
    if (error) *error = t->lastError();
    result = Lookup::Failed;
  }
  s.close(area);
  return result;
}

Lookup readSignatureChoice(Session& s, std::string& firma, Status* error) {
  const catalog::TableDef def = s.def(catalog::TableId::Rates);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return Lookup::TableMissing;
  int area = 0;
  Table* t = openInFreeArea(s, def, error, &area);
  if (!t) return Lookup::Failed;
  (void)t->setOrder(0);
  Status st = t->goTop();
  if (!st) {
    if (error) *error = st;
    s.close(area);
    return Lookup::Failed;
  }
  firma = t->eof() ? std::string() : t->str("Firma");
  s.close(area);
  return Lookup::Found;
}

std::string signaturePicture(const std::string& firma) {
  if (!firma.empty() && firma[0] == '2') return "firjpg2.jpg";
  if (!firma.empty() && firma[0] == '1') return "firRov2.jpg";
  return std::string();
}

}  // namespace planilla::reports
