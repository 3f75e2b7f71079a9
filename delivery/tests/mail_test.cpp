// One message through libcurl to a real SMTP server on the loopback (aiosmtpd), read
// back with Python's e-mail parser: accented names and a long subject arrive as typed,
// a line break in a name cannot add a header; a refused recipient and a server that
// is not there are told apart (the first lets the batch go on, the second stops it).
#include <gtest/gtest.h>
#include "test_paths.h"
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "delivery/mail.h"
#include "store/tests/temp_dir.h"

namespace planilla::delivery {
namespace {

const std::string kServer = std::string(PLANILLA_SOURCE_DIR) + "/delivery/tests/smtp_server.py";

std::string run(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

TEST(Mail, WhatArrivesAndHowFailuresAreTold) {
  if (std::system("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-aiosmtpd no esta instalado";
  testutil::TempDir dir{"planilla-correo"};
  const std::string box = dir.path() + "/buzon";
  std::filesystem::create_directories(box);
  FILE* server = popen(("exec /usr/bin/python3 " + kServer + " " + box + " --rechazar nadie@empresa.test").c_str(), "r");
  int port = 0, pid = 0;
  ASSERT_EQ(std::fscanf(server, "%d %d", &port, &pid), 2);
  const std::string pdf = dir.path() + "/boleta_E0001.pdf";
  std::ofstream(pdf, std::ios::binary) << "%PDF-1.4\n" << std::string(3000, 'x') << "\n%%EOF\n";

  SmtpClient client(MailServer{"127.0.0.1", port, SmtpTls::None, "", ""});
  Mail m;
  m.fromAddress = "boletas@empresa.test";
  m.fromName = "Empresa Demostración S.A.C.";
  m.to = "e0001@empresa.test";
  m.toName = "PEREZ DIAZ, JUAN\r\nBcc: intruso@otro.test";
  m.subject = "Boleta de pago Marzo 2026 - PEÑA NÚÑEZ, JOSÉ MARÍA DE LOS ÁNGELES (E0001)";
  m.body = "Estimado(a) JOSÉ:\nAdjuntamos su boleta.\n";
  m.attachmentPath = pdf;
  m.attachmentName = "boleta_E0001.pdf";
  m.messageId = newMessageId(m.fromAddress, "202603ME0001");
  EXPECT_TRUE(client.send(m).ok());
  Mail refused = m;
  refused.to = "nadie@empresa.test";
  const MailResult r = client.send(refused);
  EXPECT_EQ(r.failure, MailFailure::Recipient);
  EXPECT_NE(r.detail.find("550"), std::string::npos) << r.detail;
  ::kill(pid, SIGTERM);
  pclose(server);

  const std::string read = run("/usr/bin/python3 " + kServer + " --leer " + box);
  // envelope|to|subject|file|sha256|message-id: one message, the refused one absent.
  EXPECT_EQ(read.find('\n'), read.size() - 1) << read;
  EXPECT_EQ(read.rfind("e0001@empresa.test|e0001@empresa.test|" + m.subject + "|boleta_E0001.pdf|", 0), 0u) << read;
  EXPECT_NE(read.find(m.messageId), std::string::npos) << read;
  const std::string raw = run("cat " + box + "/0001.eml");
  EXPECT_EQ(raw.find("\nBcc:"), std::string::npos) << raw;

  // Nobody listens any more on that port.
  SmtpClient gone(MailServer{"127.0.0.1", port, SmtpTls::None, "", "", 5, 10});
  const MailResult down = gone.send(m);
  EXPECT_EQ(down.failure, MailFailure::Server);
  EXPECT_NE(down.detail.find("No se pudo conectar"), std::string::npos) << down.detail;
}

}  // namespace
}  // namespace planilla::delivery
