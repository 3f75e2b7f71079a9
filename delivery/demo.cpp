#include "delivery/demo.h"

#include <cctype>

#include "delivery/settings.h"
#include "delivery/sign.h"
#include "masters/employee_extra.h"
#include "store/catalog.h"
#include "store/value.h"
#include "ui/messages.h"

namespace planilla::delivery {

namespace {

class NoMessages : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string&, const std::string&) override { return false; }
};

}  // namespace

Status installDemoDelivery(const std::string& dir) {
  NoMessages quiet;
  Session s(platformFileSystem(), quiet, dir);
  s.YCIA = "01";
  PLANILLA_RETURN_IF_ERROR(writeTestCertificate(catalog::joinPath(dir, kDemoCertificate), kDemoCertificatePassword,
                                                "EMPRESA DEMOSTRACION S.A.C. (PRUEBA)"));
  DeliverySettings v;
  v.certificate = kDemoCertificate;
  v.smtpHost = "127.0.0.1";
  v.smtpPort = 2525;
  v.tls = SmtpTls::None;
  v.sender = std::string("boletas@") + kDemoMailDomain;
  v.senderName = "Empresa Demostracion S.A.C.";
  PLANILLA_RETURN_IF_ERROR(writeSettings(s, v));

  // Every employee of the master gets <code>@empresa-demo.test in his second record.
  const catalog::TableDef master = s.def(catalog::TableId::EmployeeMaster);
  auto m = Table::openReadOnly(s.fs(), catalog::joinPath(dir, master.dbf()));
  if (!m) return m.status();
  std::vector<std::string> codes;
  for (Status st = (*m)->goTop(); !(*m)->eof(); st = (*m)->skip()) {
    if (!st) return st;
    codes.push_back(trimRight((*m)->str("CODIGO")));
  }
  (*m)->close();
  auto extra = masters::openEmployeeExtra(s, OpenMode::Shared);
  if (!extra) return extra.status();
  Status st;
  for (const std::string& code : codes) {
    masters::EmployeeExtra e;
    masters::readEmployeeExtra(**extra, code, &e);
    e.codigo = code;
    if (!e.email.empty()) continue;
    std::string local;
    for (char c : code) local += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    e.email = local + "@" + kDemoMailDomain;
    st = masters::writeEmployeeExtra(**extra, e);
    if (!st) break;
  }
  (*extra)->close();
  return st;
}

}  // namespace planilla::delivery
