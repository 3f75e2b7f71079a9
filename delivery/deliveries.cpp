#include "delivery/deliveries.h"

#include <ctime>

#include "calc/record.h"
#include "store/catalog.h"
#include "store/platform.h"
#include "store/value.h"

namespace planilla::delivery {

namespace {

DeliveryRecord fromRecord(const Table& t) {
  DeliveryRecord r;
  r.codigo = t.str("CODIGO");
  r.periodo = t.str("PERIODO");
  r.tipo = t.str("TIPO");
  r.email = trimRight(t.str("EMAIL"));
  r.archivo = trimRight(t.str("ARCHIVO"));
  r.sha256 = trimRight(t.str("SHA256"));
  r.msgid = trimRight(t.str("MSGID"));
  r.fecha = t.date("FECHA");
  r.hora = t.str("HORA");
  r.resultado = trimRight(t.str("RESULTADO"));
  r.detalle = trimRight(t.str("DETALLE"));
  r.recno = t.recno();
  return r;
}

void nowParts(Date* d, std::string* hora) {
  const std::time_t now = std::time(nullptr);
  const std::tm lt = platform::localTime(now);
  *d = Date(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday);
  char buf[12];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", lt.tm_hour, lt.tm_min, lt.tm_sec);
  *hora = buf;
}

}  // namespace

Result<std::unique_ptr<DeliveryRegister>> DeliveryRegister::open(Session& s) {
  const catalog::TableDef def = s.def(catalog::TableId::PayslipDeliveries);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(s.fs(), s.dataDir(), def));
  auto t = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!t) return t.status();
  return std::unique_ptr<DeliveryRegister>(new DeliveryRegister(std::move(t).value()));
}

DeliveryRegister::~DeliveryRegister() {
  if (t_) t_->close();
}

std::vector<DeliveryRecord> DeliveryRegister::history(const std::string& codigo, const std::string& periodo,
                                                      const std::string& tipo) {
  std::vector<DeliveryRecord> out;
  const std::string key = padTo(codigo, 10) + padTo(periodo, 6) + padTo(tipo, 1);
  if (!t_->seek(key)) return out;
  for (; !t_->eof(); (void)t_->skip()) {
    if (t_->str("CODIGO") + t_->str("PERIODO") + t_->str("TIPO") != key) break;
    out.push_back(fromRecord(*t_));
  }
  return out;
}

Status DeliveryRegister::add(DeliveryRecord& r) {
  nowParts(&r.fecha, &r.hora);
  calc::PendingRecord rec = calc::PendingRecord::forTable(*t_);
  Status st = rec.setText("CODIGO", r.codigo);
  if (st) st = rec.setText("PERIODO", r.periodo);
  if (st) st = rec.setText("TIPO", r.tipo);
  if (st) st = rec.setText("EMAIL", r.email);
  if (st) st = rec.setText("ARCHIVO", r.archivo);
  if (st) st = rec.setText("SHA256", r.sha256);
  if (st) st = rec.setText("MSGID", r.msgid);
  if (st) st = rec.setDate("FECHA", r.fecha);
  if (st) st = rec.setText("HORA", r.hora);
  if (st) st = rec.setText("RESULTADO", r.resultado);
  if (st) st = rec.setText("DETALLE", r.detalle);
  if (st) st = rec.appendTo(*t_);
  if (st) st = t_->flush();
  r.recno = t_->recno();
  t_->unlockAll();
  return st;
}

Status DeliveryRegister::finish(uint32_t recno, const std::string& resultado, const std::string& detalle) {
  Status st = t_->go(recno);
  if (st) st = t_->lockRecord();
  if (st) st = t_->replace("RESULTADO", resultado);
  if (st) st = t_->replace("DETALLE", detalle.substr(0, 100));
  if (st) st = t_->flush();
  t_->unlockAll();
  return st;
}

Result<std::vector<DeliveryRecord>> readDeliveries(Session& s, const std::string& periodo) {
  std::vector<DeliveryRecord> out;
  const catalog::TableDef def = s.def(catalog::TableId::PayslipDeliveries);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return out;
  auto t = Table::openReadOnly(s.fs(), catalog::joinPath(s.dataDir(), def.dbf()));
  if (!t) return t.status();
  Table& tab = **t;
  for (Status st = tab.goTop(); !tab.eof(); st = tab.skip()) {
    if (!st) return st;
    if (periodo.empty() || tab.str("PERIODO") == periodo) out.push_back(fromRecord(tab));
  }
  return out;
}

}  // namespace planilla::delivery
