#include "delivery/settings.h"

#include "calc/record.h"
#include "store/catalog.h"
#include "store/value.h"

namespace planilla::delivery {

namespace {

std::string yes(bool b) { return b ? "S" : "N"; }

const char* tlsCode(SmtpTls t) { return t == SmtpTls::None ? "N" : t == SmtpTls::Implicit ? "T" : "S"; }

SmtpTls tlsFrom(const std::string& c) {
  if (c == "N") return SmtpTls::None;
  if (c == "T") return SmtpTls::Implicit;
  return SmtpTls::StartTls;
}

bool validEmailImpl(const std::string& a) {
  const auto at = a.find('@');
  if (at == std::string::npos || at == 0 || at + 1 >= a.size() || a.find('@', at + 1) != std::string::npos)
    return false;
  for (unsigned char c : a)
    if (c <= ' ' || c >= 0x7F || c == '<' || c == '>' || c == ',' || c == ';' || c == '"') return false;
  return a.find('.', at) != std::string::npos;
}

}  // namespace

bool validEmail(const std::string& address) { return validEmailImpl(address); }

Status checkSettings(const DeliverySettings& st) {
  const std::string& c = st.certificate;
  if (!c.empty() && (c.find('/') != std::string::npos || c.find('\\') != std::string::npos || c == "." ||
                     c == ".." || c[0] == '.'))
    return Status::invalid("El Certificado Debe Ser Un Archivo De La Carpeta De Datos, Sin Ruta");
  if (st.smtpPort < 1 || st.smtpPort > 65535) return Status::invalid("Puerto SMTP No Valido");
  if (!st.sender.empty() && !validEmail(st.sender)) return Status::invalid("Correo Del Remitente No Valido");
  for (unsigned char ch : st.smtpHost)
    if (ch <= ' ' || ch >= 0x7F || ch == '/' || ch == '@') return Status::invalid("Servidor SMTP No Valido");
  return Status::ok();
}

std::string certificatePath(const Session& s, const DeliverySettings& settings) {
  return catalog::joinPath(s.dataDir(), settings.certificate);
}

Result<DeliverySettings> readSettings(Session& s, bool* found) {
  DeliverySettings out;
  if (found) *found = false;
  const catalog::TableDef def = s.def(catalog::TableId::DeliverySettings);
  if (!catalog::tableExists(s.fs(), s.dataDir(), def)) return out;
  auto t = Table::openReadOnly(s.fs(), catalog::joinPath(s.dataDir(), def.dbf()));
  if (!t) return t.status();
  Table& tab = **t;
  // The last live record holds the settings: writeSettings appends the new record
  // before it deletes the old one.
  Status st = tab.goBottom();
  if (!st) return st;
  if (tab.eof()) return out;
  calc::RecordView r(tab);
  r.load(tab);
  if (Status bad = r.checkNumbers({"SMTPPORT"}); !bad) return bad;
  out.certificate = trimRight(r.str("CERTIF"));
  out.sign = r.str("FIRMAR") != "N";
  out.protect = r.str("PROTEGER") == "S";
  out.reason = trimRight(r.str("MOTIVO"));
  out.location = trimRight(r.str("LUGAR"));
  out.smtpHost = trimRight(r.str("SMTPHOST"));
  out.smtpPort = static_cast<int>(r.num("SMTPPORT"));
  out.tls = tlsFrom(r.str("SMTPTLS"));
  out.smtpUser = trimRight(r.str("SMTPUSER"));
  out.sender = trimRight(r.str("REMITE"));
  out.senderName = trimRight(r.str("NOMBREREM"));
  out.subject = trimRight(r.str("ASUNTO"));
  const char* lines[] = {"CUERPO1", "CUERPO2", "CUERPO3", "CUERPO4"};
  for (int i = 0; i < 4; ++i) out.body[i] = trimRight(r.str(lines[i]));
  if (found) *found = true;
  return out;
}

Status writeSettings(Session& s, const DeliverySettings& v) {
  PLANILLA_RETURN_IF_ERROR(checkSettings(v));
  const catalog::TableDef def = s.def(catalog::TableId::DeliverySettings);
  PLANILLA_RETURN_IF_ERROR(catalog::ensureTable(s.fs(), s.dataDir(), def));
  auto opened = catalog::openTable(s.fs(), s.dataDir(), def, OpenMode::Shared);
  if (!opened) return opened.status();
  Table& t = **opened;
  calc::PendingRecord rec = calc::PendingRecord::forTable(t);
  Status st = rec.setText("CERTIF", v.certificate);
  if (st) st = rec.setText("FIRMAR", yes(v.sign));
  if (st) st = rec.setText("PROTEGER", yes(v.protect));
  if (st) st = rec.setText("MOTIVO", v.reason);
  if (st) st = rec.setText("LUGAR", v.location);
  if (st) st = rec.setText("SMTPHOST", v.smtpHost);
  if (st) st = rec.setNum("SMTPPORT", v.smtpPort);
  if (st) st = rec.setText("SMTPTLS", tlsCode(v.tls));
  if (st) st = rec.setText("SMTPUSER", v.smtpUser);
  if (st) st = rec.setText("REMITE", v.sender);
  if (st) st = rec.setText("NOMBREREM", v.senderName);
  if (st) st = rec.setText("ASUNTO", v.subject);
  const char* lines[] = {"CUERPO1", "CUERPO2", "CUERPO3", "CUERPO4"};
  for (int i = 0; i < 4 && st; ++i) st = rec.setText(lines[i], v.body[i]);
  if (!st) {
    t.close();
    return st;
  }
  // The old records go only once the new one is written: an interruption leaves the
  // old settings or both, and the last record is the one read.
  std::vector<uint32_t> old;
  for (st = t.goTop(); st && !t.eof(); st = t.skip()) old.push_back(t.recno());
  if (st) st = rec.appendTo(t);
  if (st) st = t.flush();
  t.unlockAll();
  for (uint32_t r : old) {
    if (!st) break;
    st = t.go(r);
    if (st) st = t.lockRecord();
    if (st) st = t.markDeleted();
    t.unlockAll();
  }
  if (st) st = t.flush();
  t.close();
  return st;
}

std::string fillTemplate(const std::string& text, const TemplateValues& v) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool done = false;
    for (auto [key, value] : {std::pair<const char*, const std::string*>{"{periodo}", &v.periodo},
                              {"{nombre}", &v.nombre},
                              {"{codigo}", &v.codigo},
                              {"{empresa}", &v.empresa}}) {
      const size_t n = std::char_traits<char>::length(key);
      if (text.compare(i, n, key) == 0) {
        out += *value;
        i += n;
        done = true;
        break;
      }
    }
    if (!done) out += text[i++];
  }
  return out;
}

}  // namespace planilla::delivery
