#include "delivery/batch.h"


#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "delivery/contact.h"
#include "delivery/deliveries.h"
#include "delivery/mail.h"
#include "delivery/settings.h"
#include "delivery/sign.h"
#include "reports/payslip.h"
#include "reports/rpv_writer.h"
#include "reports/runrpv.h"
#include "session/run_register.h"
#include "store/catalog.h"
#include "store/platform.h"
#include "store/value.h"
#include "ui/text1252.h"

namespace planilla::delivery {

namespace {

// Codes of the month's calculated payroll (or gratification), in code order.
Result<std::vector<std::string>> payrollCodes(Session& s, PayslipKind kind) {
  const catalog::TableDef def =
      s.def(kind == PayslipKind::Monthly ? catalog::TableId::PayrollSoles : catalog::TableId::GratSoles);
  auto t = Table::openReadOnly(s.fs(), catalog::joinPath(s.dataDir(), def.dbf()));
  if (!t) return t.status();
  std::set<std::string> codes;
  Table& tab = **t;
  for (Status st = tab.goTop(); !tab.eof(); st = tab.skip()) {
    if (!st) return st;
    codes.insert(tab.str("CODIGO"));
  }
  return std::vector<std::string>(codes.begin(), codes.end());
}

bool preconditions(Session& s, PayslipKind kind, reports::PayslipValues& v) {
  return kind == PayslipKind::Monthly ? reports::checkPayslipPreconditions(s, v)
                                      : reports::checkGratiSlipPreconditions(s, v);
}

// Writes the payslip of `code` into the session's report file; false after the
// writer's own message.
bool writePayslip(Session& s, PayslipKind kind, const std::string& code, std::string* name) {
  reports::PayslipValues values;
  if (!preconditions(s, kind, values)) return false;
  std::string costCentre = "      ";
  if (!reports::CODPER(s, code, name, &costCentre)) {
    s.closeAll();
    return false;
  }
  return kind == PayslipKind::Monthly
             ? reports::PREP401(s, code, values, costCentre, /*startViewer=*/false)
             : reports::PREP403(s, code, *name, values, costCentre, /*startViewer=*/false);
}

// The session's writers put their report in a file of the batch's own while it lives.
class OwnReport {
 public:
  explicit OwnReport(Session& s) : s_(s), name_(reports::privateReportName()) {
    reports::removeStalePrivateReports(s.dataDir());
    s_.reportFile = name_;
  }
  ~OwnReport() {
    s_.reportFile.clear();
    std::remove(path().c_str());
  }
  std::string path() const { return catalog::joinPath(s_.dataDir(), name_); }

 private:
  Session& s_;
  std::string name_;
};

std::string joinDir(const std::string& dir, const std::string& name) {
  return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The period as the templates name it: "Diciembre 2026", the gratification's
// "Gratificacion Diciembre 2026".
std::string periodText(const Session& s, PayslipKind kind) {
  const std::string month = trimRight(s.MES_CIE) + " " + s.ANO_CIE;
  return kind == PayslipKind::Monthly ? month : "Gratificacion " + month;
}

}  // namespace

std::string namePeriod(const Session& s) { return s.ANO_CIE + "-" + s.YMES; }

std::string payslipFileName(const std::string& code, PayslipKind kind, const std::string& period) {
  std::string name = payslipFileName(code, kind);
  if (period.empty()) return name;
  return name.substr(0, name.size() - 4) + "_" + period + ".pdf";
}

std::string payslipFileName(const std::string& code, PayslipKind kind) {
  static const char* kHex = "0123456789ABCDEF";
  std::string c = code;
  while (!c.empty() && c.back() == ' ') c.pop_back();
  std::string name = kind == PayslipKind::Monthly ? "boleta_" : "gratificacion_";
  for (char ch : c) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z')) {
      name += ch;
    } else {
      name += '_';
      name += kHex[u >> 4];
      name += kHex[u & 15];
    }
  }
  return name + ".pdf";
}

Status runBatch(Session& s, const BatchOptions& o, const PdfRenderer& render, BatchResult* out,
                const std::function<void(const std::string&)>& progress) {
  BatchResult& res = *out;
  res = BatchResult();
  {
    reports::PayslipValues values;
    // The payslip screen's own stop box has said why: the status carries no second text.
    if (!preconditions(s, o.kind, values)) return Status::invalid("");
    s.closeAll();
  }
  DeliverySettings settings;
  bool configured = false;
  if (o.sign || o.send) {
    auto read = readSettings(s, &configured);
    if (!read) return read.status();
    settings = read.value();
    if (!configured)
      return Status::notFound("Falta La Configuracion De Boletas Electronicas De La Compania " + s.YCIA);
  }
  std::unique_ptr<Signer> signer;
  if (o.sign) {
    if (settings.certificate.empty()) return Status::notFound("La Compania No Tiene Certificado Digital Configurado");
    auto opened = Signer::open(certificatePath(s, settings), o.certPassword);
    if (!opened) return opened.status();
    signer = std::move(opened).value();
  }
  std::unique_ptr<DeliveryRegister> reg;
  std::unique_ptr<SmtpClient> smtp;
  if (o.send) {
    if (settings.smtpHost.empty()) return Status::notFound("Falta El Servidor De Correo (SMTP) En La Configuracion");
    if (settings.sender.empty()) return Status::notFound("Falta El Correo Del Remitente En La Configuracion");
    auto r = DeliveryRegister::open(s);
    if (!r) return r.status();
    reg = std::move(r).value();
    smtp = std::make_unique<SmtpClient>(MailServer{settings.smtpHost, settings.smtpPort, settings.tls,
                                                   settings.smtpUser, o.smtpPassword});
  }
  auto codes = payrollCodes(s, o.kind);
  if (!codes) return codes.status();

  const std::string periodo = s.ANO_CIE + s.YMES;
  const std::string tipo = o.kind == PayslipKind::Monthly ? "M" : "G";
  const std::string company = ui::cp1252ToUtf8(trimRight(s.YNOMBRE1));
  OwnReport own(s);
  for (const std::string& code : codes.value()) {
    const std::string shownCode = trimRight(code);
    std::vector<DeliveryRecord> past;
    if (reg) {
      past = reg->history(code, periodo, tipo);
      bool sent = false;
      for (const auto& r : past) sent = sent || r.resultado == kSent;
      if (sent && !o.resend) {
        ++res.alreadySent;
        if (progress) progress(shownCode + ": ya enviada");
        continue;
      }
    }
    BatchLine line{shownCode, "", "", ""};
    Contact contact;
    if (Status st = readContact(s, code, &contact); !st) {
      line.detail = st.message();
      res.failures.push_back(line);
      continue;
    }
    line.email = contact.email;
    const bool protect = o.sign && settings.protect;
    auto fail = [&](const std::string& why) {
      line.detail = why;
      res.failures.push_back(line);
      if (progress) progress(shownCode + ": " + why);
    };
    // What cannot go is known before the payslip is made.
    if (protect && contact.document.empty()) {
      if (reg) {
        DeliveryRecord rec{code, periodo, tipo, contact.email, payslipFileName(code, o.kind)};
        rec.resultado = kFailed;
        rec.detalle = "Sin numero de documento para proteger el PDF";
        if (Status w = reg->add(rec); !w) return w;
      }
      fail("Sin numero de documento para proteger el PDF");
      continue;
    }

    std::string name;
    if (!writePayslip(s, o.kind, code, &name)) {
      fail("No se pudo preparar la boleta");
      continue;
    }
    line.name = ui::cp1252ToUtf8(trimRight(name));
    const std::string fileName = payslipFileName(code, o.kind, o.periodInName ? namePeriod(s) : "");
    const std::string pdf = joinDir(o.dir, fileName);
    // Rendered beside its final name, signed into it or renamed to it: a payslip in
    // the folder is always whole.
    const std::string tmp = joinDir(o.dir, "." + fileName + "." + std::to_string(platform::processId()) + ".tmp");
    Status st = render(own.path(), tmp);
    if (st && signer) {
      SignatureText text;
      text.reason = ui::cp1252ToUtf8(settings.reason);
      text.location = ui::cp1252ToUtf8(settings.location);
      st = signer->signPdf(tmp, pdf, text, protect ? contact.document : "");
      std::remove(tmp.c_str());
      if (st) ++res.signedCount;
    } else if (st && !platform::replaceFile(tmp, pdf)) {
      st = Status::ioError("No se pudo escribir " + pdf);
    }
    if (!st) {
      std::remove(tmp.c_str());
      fail(st.message());
      continue;
    }
    ++res.written;
    if (!reg) {
      if (progress) progress(shownCode + ": " + fileName);
      continue;
    }

    DeliveryRecord rec;
    rec.codigo = code;
    rec.periodo = periodo;
    rec.tipo = tipo;
    rec.email = contact.email;
    rec.archivo = fileName;
    auto sha = fileSha256(pdf);
    rec.sha256 = sha ? sha.value() : "";
    if (contact.email.empty() || !validEmail(contact.email)) {
      rec.resultado = kFailed;
      rec.detalle = contact.email.empty() ? "Sin correo electronico" : "Correo electronico no valido";
      if (Status w = reg->add(rec); !w) return w;
      fail(rec.detalle);
      continue;
    }
    // A sending left unfinished by a batch that was cut short keeps its Message-ID.
    rec.msgid = !past.empty() && past.back().resultado == kSending && !o.resend
                    ? past.back().msgid
                    : newMessageId(settings.sender, periodo + tipo + shownCode);
    rec.resultado = kSending;
    if (Status w = reg->add(rec); !w) return w;

    Mail mail;
    mail.fromAddress = settings.sender;
    mail.fromName = ui::cp1252ToUtf8(settings.senderName);
    mail.to = contact.email;
    mail.toName = line.name;
    const TemplateValues tv{periodText(s, o.kind), line.name, shownCode, company};
    mail.subject = fillTemplate(ui::cp1252ToUtf8(settings.subject), tv);
    for (const std::string& l : settings.body) mail.body += fillTemplate(ui::cp1252ToUtf8(l), tv) + "\n";
    mail.attachmentPath = pdf;
    mail.attachmentName = fileName;
    mail.messageId = rec.msgid;
    const MailResult sent = smtp->send(mail);
    if (Status w = reg->finish(rec.recno, sent.ok() ? kSent : kFailed, sent.detail); !w) return w;
    if (sent.ok()) {
      ++res.sent;
      if (progress) progress(shownCode + ": enviada a " + contact.email);
      continue;
    }
    fail(sent.detail);
    if (sent.failure == MailFailure::Server) {
      res.stopped = true;
      res.stopReason = sent.detail;
      break;
    }
  }
  return Status::ok();
}

namespace {

// The body of a payslip report: what follows its "[Data]" line (the whole text when
// it has none).
std::string dataPart(const std::string& rpv) {
  const size_t at = rpv.find("[Data]");
  if (at == std::string::npos) return rpv;
  const size_t eol = rpv.find('\n', at);
  return eol == std::string::npos ? std::string() : rpv.substr(eol + 1);
}

Result<std::string> readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::ioError("No se pudo leer " + path);
  std::ostringstream b;
  b << in.rdbuf();
  return b.str();
}

}  // namespace

Status writeMonthPayslips(Session& s, const MonthPayslips& m, const PdfRenderer& render, MonthPayslipsResult* out,
                          const std::function<void(int, int)>& progress, bool startViewer) {
  MonthPayslipsResult& res = *out;
  res = MonthPayslipsResult();
  {
    reports::PayslipValues values;
    if (!preconditions(s, m.kind, values)) return Status::invalid("");
    s.closeAll();
  }
  auto codes = payrollCodes(s, m.kind);
  if (!codes) return codes.status();
  res.total = static_cast<int>(codes.value().size());
  RunRecord run(s, kRunPayslips);
  if (!run.started()) return Status::invalid("");

  if (m.to == PayslipsTo::PdfPerEmployee) {
    BatchOptions o;
    o.kind = m.kind;
    o.dir = m.target;
    o.periodInName = true;
    BatchResult r;
    int done = 0;
    Status st = runBatch(s, o, render, &r, [&](const std::string&) {
      if (progress) progress(++done, res.total);
    });
    if (!st) return st;
    res.written = r.written;
    res.failures = r.failures;
    run.totals().employees = r.written;
    run.finish();
    return Status::ok();
  }

  // One report of every payslip: the first whole, each next one's body after a page
  // break (the settings and the page header are the company's, the same for all).
  const std::string combinedName = reports::privateReportName();
  const std::string combined = catalog::joinPath(s.dataDir(), combinedName);
  std::string text;
  {
    OwnReport own(s);
    int done = 0;
    for (const std::string& code : codes.value()) {
      std::string name;
      if (writePayslip(s, m.kind, code, &name)) {
        auto one = readWhole(own.path());
        if (!one) return one.status();
        text += text.empty() ? one.value() : "{\\np}\r\n" + dataPart(one.value());
        ++res.written;
      } else {
        res.failures.push_back({trimRight(code), ui::cp1252ToUtf8(trimRight(name)), "", "No se pudo preparar la boleta"});
      }
      if (progress) progress(++done, res.total);
    }
  }
  if (res.written == 0) return Status::notFound("No Hay Boletas Que Imprimir");
  {
    std::ofstream f(combined, std::ios::binary | std::ios::trunc);
    if (!(f << text) || !f.flush()) {
      std::remove(combined.c_str());
      return Status::ioError("No se pudo escribir el reporte de las boletas en " + s.dataDir());
    }
  }
  Status st;
  if (m.to == PayslipsTo::OnePdf) {
    st = render(combined, m.target);
    std::remove(combined.c_str());
  } else {
    res.report = combined;
    if (startViewer) st = reports::RUNRPV(s.dataDir(), combinedName);
  }
  if (!st) return st;
  run.totals().employees = res.written;
  run.finish();
  return Status::ok();
}

}  // namespace planilla::delivery
