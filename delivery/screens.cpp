#include "delivery/screens.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "delivery/settings.h"
#include "session/startup.h"
#include "store/catalog.h"
#include "store/output_path.h"
#include "store/platform.h"
#include "store/value.h"
#include "ui/messages.h"

namespace planilla::delivery {

namespace {

constexpr const char* kTitle = "Envio De Boletas Electronicas";

// The screen's copy of the settings, in the types its controls bind.
struct Form {
  DeliverySettings v;
  std::string certPassword, smtpPassword, port, folder;
  int tls = 2;   // 1 none, 2 STARTTLS, 3 TLS
  int kind = 1;  // 1 month, 2 gratification
  bool resend = false;
};

}  // namespace

std::string batchSummary(const BatchResult& r, bool sign, bool send) {
  std::string t = std::to_string(r.written) + " Boleta(s) Generada(s)";
  if (sign) t += ", " + std::to_string(r.signedCount) + " Firmada(s)";
  if (send)
    t += ", " + std::to_string(r.sent) + " Enviada(s), " + std::to_string(r.alreadySent) + " Ya Enviada(s) Antes";
  if (r.stopped) t += "\nEnvio Detenido: " + r.stopReason;
  if (!r.failures.empty()) {
    t += "\nNo Enviadas:";
    size_t shown = 0;
    for (const BatchLine& f : r.failures) {
      if (++shown > 20) {
        t += "\n ... y " + std::to_string(r.failures.size() - 20) + " mas";
        break;
      }
      t += "\n " + f.code + (f.email.empty() ? "" : " <" + f.email + ">") + ": " + f.detail;
    }
  }
  return t;
}

PdfRenderer childProcessRenderer() {
  return [](const std::string& rpv, const std::string& pdf) -> Status {
    const std::string exe = platform::executablePath();
    if (exe.empty()) return Status::notFound("No se encuentra el programa para generar el PDF");
    Result<int> rc = platform::runProgram({exe, "pdf", rpv, pdf});
    if (!rc) return Status::ioError("No se pudo iniciar la generacion del PDF");
    if (rc.value() != 0) return Status::ioError("No se pudo generar el PDF " + pdf);
    return Status::ok();
  };
}

namespace {

// A folder to write in: created when missing, but never inside a system folder (the
// nearest folder that exists is checked first, the folder itself once it exists).
Status prepareFolder(const std::string& folder) {
  if (folder.empty()) return Status::invalid("Indique La Carpeta De Los PDF");
  std::error_code ec;
  std::filesystem::path existing = std::filesystem::absolute(folder, ec);
  while (!std::filesystem::exists(existing, ec) && existing.has_parent_path() && existing != existing.parent_path())
    existing = existing.parent_path();
  Status where = checkOutputFolder(existing.string());
  if (!where) return where;
  std::filesystem::create_directories(folder, ec);
  return ec ? Status::ioError("No se pudo crear la carpeta " + folder) : checkOutputFolder(folder);
}

bool endsWithPdf(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".pdf";
}

}  // namespace

void F_BOLMES(Session& s, ui::Toolkit& tk, const PdfRenderer& render) {
  constexpr const char* kMonthTitle = "Boletas Del Mes";
  if (!requireCompany(s, true)) return;
  int to = 1;    // 1 one PDF, 2 one per employee, 3 viewer
  int kind = 1;  // 1 month, 2 gratification
  std::string target = padTo(catalog::joinPath(s.dataDir(), "boletas_" + namePeriod(s)), 200);
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "BoletasMes", kMonthTitle);
    dlg.radio({101, 102, 103}, ui::ref(to));
    dlg.field(105, ui::ref(target));
    dlg.radio({106, 107}, ui::ref(kind));
    dlg.button(201, [&] {
         accepted = true;
         dlg.end();
       }).defaultButton();
    dlg.button(202, [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  if (!accepted) return;
  MonthPayslips m;
  m.to = to == 1 ? PayslipsTo::OnePdf : to == 2 ? PayslipsTo::PdfPerEmployee : PayslipsTo::Viewer;
  m.kind = kind == 1 ? PayslipKind::Monthly : PayslipKind::Gratification;
  const std::string typed = trimRight(target);
  Status where = Status::ok();
  if (m.to == PayslipsTo::OnePdf) {
    const std::string prefix = kind == 1 ? "boletas_" : "gratificaciones_";
    m.target = endsWithPdf(typed) ? typed : catalog::joinPath(typed, prefix + namePeriod(s) + ".pdf");
    where = prepareFolder(std::filesystem::path(m.target).parent_path().string());
    if (where) where = checkOutputFile(m.target);
  } else if (m.to == PayslipsTo::PdfPerEmployee) {
    m.target = typed;
    where = prepareFolder(typed);
  }
  if (!where) {
    ui::MSGSTOP(s.messages(), where.message(), kMonthTitle);
    return;
  }
  MonthPayslipsResult r;
  Status st;
  {
    s.messages().workBegin(kMonthTitle, "Preparando Las Boletas", 0);
    bool begun = false;
    st = writeMonthPayslips(s, m, render, &r, [&](int done, int total) {
      if (!begun) {
        // The count is known once the month's payroll was read.
        s.messages().workEnd(0);
        s.messages().workBegin(kMonthTitle, "Boletas", total);
        begun = true;
      }
      s.messages().workProgress(done);
    });
    s.messages().workEnd(r.written);
  }
  s.closeAll();
  if (!st) {
    if (!st.message().empty()) ui::MSGSTOP(s.messages(), st.message(), kMonthTitle);
    return;
  }
  std::string text = std::to_string(r.written) + " Boleta(s)";
  if (m.to == PayslipsTo::OnePdf) text += " En " + m.target;
  if (m.to == PayslipsTo::PdfPerEmployee) text += " En La Carpeta " + m.target;
  if (m.to == PayslipsTo::Viewer) text += " En La Vista Previa, Lista Para Imprimir";
  if (!r.failures.empty()) {
    text += "\nNo Se Pudieron Preparar:";
    for (const BatchLine& f : r.failures) text += "\n " + f.code + ": " + f.detail;
  }
  ui::MSGINFO(s.messages(), text, kMonthTitle);
}

void F_PENVIO01(Session& s, ui::Toolkit& tk, const PdfRenderer& render) {
  if (!requireCompany(s, true)) return;
  auto read = readSettings(s);
  if (!read) {
    ui::MSGSTOP(s.messages(), read.status().message(), "Mensaje");
    return;
  }
  Form f;
  f.v = read.value();
  f.port = std::to_string(f.v.smtpPort);
  f.tls = f.v.tls == SmtpTls::None ? 1 : f.v.tls == SmtpTls::Implicit ? 3 : 2;
  f.folder = catalog::joinPath(s.dataDir(), "boletas" + s.YMES + s.ANO_CIE);
  if (const char* c = std::getenv(kCertPasswordVar)) f.certPassword = c;
  if (const char* c = std::getenv(kSmtpPasswordVar)) f.smtpPassword = c;

  ui::Dialog dlg(tk, "EnvioBol", kTitle);
  dlg.field(102, ui::ref(f.v.certificate));
  dlg.check(103, ui::ref(f.v.sign));
  dlg.check(104, ui::ref(f.v.protect));
  dlg.field(106, ui::ref(f.certPassword)).password();
  dlg.field(108, ui::ref(f.v.reason));
  dlg.field(109, ui::ref(f.v.location));
  dlg.field(112, ui::ref(f.v.smtpHost));
  dlg.field(114, ui::ref(f.port)).picture("99999");
  dlg.radio({116, 117, 118}, ui::ref(f.tls));
  dlg.field(120, ui::ref(f.v.smtpUser));
  dlg.field(121, ui::ref(f.smtpPassword)).password();
  dlg.field(123, ui::ref(f.v.sender));
  dlg.field(124, ui::ref(f.v.senderName));
  dlg.field(132, ui::ref(f.v.subject));
  for (int i = 0; i < 4; ++i) dlg.field(134 + i, ui::ref(f.v.body[i]));
  dlg.radio({141, 142}, ui::ref(f.kind));
  dlg.check(143, ui::ref(f.resend));
  dlg.field(145, ui::ref(f.folder));

  // The form's settings, checked and written; false after the message.
  auto save = [&]() -> bool {
    DeliverySettings v = f.v;
    v.certificate = trimRight(v.certificate);
    v.smtpHost = trimRight(v.smtpHost);
    v.smtpUser = trimRight(v.smtpUser);
    v.sender = trimRight(v.sender);
    const std::string port = trimRight(f.port);
    v.smtpPort = port.empty() || port.find_first_not_of(" 0123456789") != std::string::npos ? 0 : std::atoi(port.c_str());
    v.tls = f.tls == 1 ? SmtpTls::None : f.tls == 3 ? SmtpTls::Implicit : SmtpTls::StartTls;
    if (Status st = writeSettings(s, v); !st) {
      ui::MSGSTOP(s.messages(), st.message(), "Mensaje");
      return false;
    }
    f.v = v;
    return true;
  };
  dlg.button(201, [&] {
    if (save()) ui::MSGINFO(s.messages(), "Configuracion Grabada", "Mensaje");
  });
  dlg.button(202, [&] {
    if (!save()) return;
    const std::string what = f.kind == 1 ? "Las Boletas Del Mes" : "Las Boletas De Gratificacion";
    if (!ui::MSGYESNO(s.messages(), "Enviar " + what + " Por Correo ?", kTitle)) return;
    const std::string folder = trimRight(f.folder);
    // Created when missing, but never inside a system folder: the nearest folder that
    // exists is checked first, the folder itself once it exists.
    std::error_code ec;
    std::filesystem::path existing = std::filesystem::absolute(folder, ec);
    while (!std::filesystem::exists(existing, ec) && existing.has_parent_path() &&
           existing != existing.parent_path())
      existing = existing.parent_path();
    Status where = folder.empty() ? Status::invalid("Indique La Carpeta De Los PDF") : checkOutputFolder(existing.string());
    if (where) {
      std::filesystem::create_directories(folder, ec);
      where = ec ? Status::ioError("No se pudo crear la carpeta " + folder) : checkOutputFolder(folder);
    }
    if (!where) {
      ui::MSGSTOP(s.messages(), where.message(), "Mensaje");
      return;
    }
    BatchOptions o;
    o.kind = f.kind == 1 ? PayslipKind::Monthly : PayslipKind::Gratification;
    o.dir = folder;
    o.sign = f.v.sign;
    o.send = true;
    o.resend = f.resend;
    o.certPassword = f.certPassword;
    o.smtpPassword = f.smtpPassword;
    BatchResult r;
    Status st = runBatch(s, o, render, &r);
    s.closeAll();
    if (!st) {
      if (!st.message().empty()) ui::MSGSTOP(s.messages(), st.message(), "Mensaje");
      return;
    }
    ui::MSGINFO(s.messages(), batchSummary(r, o.sign, true), kTitle);
    dlg.end();
  }).defaultButton();
  dlg.button(203, [&] { dlg.end(); });
  dlg.activate();
}

}  // namespace planilla::delivery
