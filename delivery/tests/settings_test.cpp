// The company's delivery settings kept and read back, the values refused before
// anything is written, and the message templates.
#include <gtest/gtest.h>

#include "delivery/settings.h"
#include "store/tests/temp_dir.h"
#include "ui/messages.h"

namespace planilla::delivery {
namespace {

class Quiet : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string&, const std::string&) override { return false; }
};

TEST(DeliverySettings, WrittenTwiceReadsTheLastAndRefusalsWriteNothing) {
  testutil::TempDir dir{"planilla-envio-cfg"};
  Quiet q;
  Session s(platformFileSystem(), q, dir.path());
  s.YCIA = "01";
  bool found = true;
  auto none = readSettings(s, &found);
  ASSERT_TRUE(none);
  EXPECT_FALSE(found);

  DeliverySettings v;
  v.certificate = "firma01.p12";
  v.smtpHost = "smtp.empresa.pe";
  v.smtpPort = 465;
  v.tls = SmtpTls::Implicit;
  v.sender = "planillas@empresa.pe";
  v.protect = true;
  v.body[3] = "Atentamente, Recursos Humanos";
  ASSERT_TRUE(writeSettings(s, v).isOk());
  v.smtpPort = 587;
  v.tls = SmtpTls::StartTls;
  ASSERT_TRUE(writeSettings(s, v).isOk());

  struct Bad {
    const char* what;
    void (*change)(DeliverySettings&);
    const char* message;
  };
  const Bad bad[] = {
      {"ruta", [](DeliverySettings& b) { b.certificate = "../otra/firma.p12"; }, "Sin Ruta"},
      {"oculto", [](DeliverySettings& b) { b.certificate = ".firma.p12"; }, "Sin Ruta"},
      {"puerto", [](DeliverySettings& b) { b.smtpPort = 70000; }, "Puerto SMTP No Valido"},
      {"remitente", [](DeliverySettings& b) { b.sender = "rrhh@empresa.pe, otro@x.pe"; }, "Remitente No Valido"},
      {"servidor", [](DeliverySettings& b) { b.smtpHost = "smtp.x.pe/ruta"; }, "Servidor SMTP No Valido"},
  };
  for (const Bad& b : bad) {
    DeliverySettings w = v;
    b.change(w);
    Status st = writeSettings(s, w);
    EXPECT_NE(st.message().find(b.message), std::string::npos) << b.what << ": " << st.message();
  }

  auto back = readSettings(s, &found);
  ASSERT_TRUE(back);
  EXPECT_TRUE(found);
  EXPECT_EQ(back.value().smtpPort, 587);
  EXPECT_EQ(back.value().tls, SmtpTls::StartTls);
  EXPECT_EQ(back.value().certificate, "firma01.p12");
  EXPECT_TRUE(back.value().protect);
  EXPECT_EQ(back.value().body[3], "Atentamente, Recursos Humanos");
  EXPECT_EQ(certificatePath(s, back.value()), dir.path() + "/firma01.p12");
}

TEST(DeliverySettings, TemplatesAndAddresses) {
  const TemplateValues v{"Marzo 2026", "RAMIREZ SOTO, CARLOS", "E0001", "EMPRESA S.A.C."};
  EXPECT_EQ(fillTemplate("Boleta {periodo} - {nombre} ({codigo}) {empresa} {otro}", v),
            "Boleta Marzo 2026 - RAMIREZ SOTO, CARLOS (E0001) EMPRESA S.A.C. {otro}");
  // A value holding a key is not expanded again.
  EXPECT_EQ(fillTemplate("{nombre}", TemplateValues{"", "{codigo}", "E1", ""}), "{codigo}");
  for (const char* ok : {"e0001@empresa-demo.test", "juan.perez@gmail.com"}) EXPECT_TRUE(validEmail(ok)) << ok;
  for (const char* bad : {"", "juan", "@x.pe", "a@b", "a b@x.pe", "a@x.pe,b@y.pe", "a@x.pe\r\nBcc: c@z.pe",
                          "<a@x.pe>", "a@@x.pe"})
    EXPECT_FALSE(validEmail(bad)) << bad;
}

}  // namespace
}  // namespace planilla::delivery
