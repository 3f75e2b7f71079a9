// The month's payslips signed and sent by e-mail from the command line, on a
// demonstration installation, to a real SMTP server started on the loopback address
// (aiosmtpd): each message read back with Python's e-mail parser (recipient, subject,
// the attachment's bytes), a signature checked with pdfsig, the register read.
#include <signal.h>
#include "test_paths.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/tests/cli_util.h"
#include "delivery/deliveries.h"
#include "delivery/settings.h"
#include "store/tests/temp_dir.h"
#include "ui/messages.h"

namespace planilla {
namespace {

using testing::quoted;
using testing::runPlanilla;

const std::string kServer = std::string(PLANILLA_SOURCE_DIR) + "/delivery/tests/smtp_server.py";

class Quiet : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string&, const std::string&) override { return false; }
};

// One aiosmtpd server in a folder of its own, stopped with the test.
struct SmtpServer {
  SmtpServer(const std::string& folder, const std::string& options) : folder(folder) {
    std::filesystem::create_directories(folder);
    FILE* p = popen(("exec /usr/bin/python3 " + quoted(kServer) + " " + quoted(folder) + " " + options).c_str(), "r");
    if (p && std::fscanf(p, "%d %d", &port, &pid) != 2) port = 0;
    pipe = p;
  }
  ~SmtpServer() {
    if (pid > 0) ::kill(pid, SIGTERM);
    if (pipe) pclose(pipe);
  }
  // The messages received: "envelope|to|subject|file|sha256|message-id" each.
  std::vector<std::string> messages() const {
    FILE* p = popen(("/usr/bin/python3 " + quoted(kServer) + " --leer " + quoted(folder)).c_str(), "r");
    std::vector<std::string> out;
    char line[1024];
    while (p && std::fgets(line, sizeof line, p)) out.push_back(std::string(line, std::strcspn(line, "\n")));
    if (p) pclose(p);
    return out;
  }
  std::string folder;
  int port = 0, pid = 0;
  FILE* pipe = nullptr;
};

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> out;
  std::stringstream in(s);
  for (std::string part; std::getline(in, part, '|');) out.push_back(part);
  return out;
}

class PayslipDelivery : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(testing::planillaBinary())) GTEST_SKIP() << "no existe el ejecutable planilla";
    if (std::system("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null") != 0)
      GTEST_SKIP() << "python3-aiosmtpd no esta instalado";
    data = scratch.file("d");
    testing::Run r = runPlanilla(scratch.path(), {"init", "d", "--demo", "--fecha", "31/03/2026"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = runPlanilla(data, {"calcular", "--cia", "01", "--tc", "03 31"});
    ASSERT_EQ(r.code, 0) << r.err;
  }
  // Points the demo's settings at `port`.
  void usePort(int port) {
    Quiet q;
    Session s(platformFileSystem(), q, data);
    s.YCIA = "01";
    auto v = delivery::readSettings(s);
    ASSERT_TRUE(v.isOk());
    v.value().smtpPort = port;
    ASSERT_TRUE(delivery::writeSettings(s, v.value()).isOk());
  }
  testing::Run send() {
    return runPlanilla(data, {"boletas", "--cia", "01", "--dir", "pdf", "--firmar", "--enviar"},
                       "PLANILLA_CERT_CLAVE=demo");
  }
  // Result of the register's records of March 2026, by code.
  std::map<std::string, std::vector<delivery::DeliveryRecord>> registerByCode() {
    Quiet q;
    Session s(platformFileSystem(), q, data);
    s.YCIA = "01";
    s.YANO = "26";
    auto recs = delivery::readDeliveries(s, "202603");
    std::map<std::string, std::vector<delivery::DeliveryRecord>> out;
    for (auto& r : recs.value()) out[trimRight(r.codigo)].push_back(r);
    return out;
  }
  int payslips() {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(data + "/pdf"))
      n += e.path().filename().string().rfind("boleta_", 0) == 0;
    return n;
  }

  testutil::TempDir scratch{"planilla-envio"};
  std::string data;
};

TEST_F(PayslipDelivery, RefusedRecipientIsListedOthersSentAndRunningAgainSendsOnlyWhatIsMissing) {
  SmtpServer refusing(scratch.file("smtp1"), "--rechazar e0005@empresa-demo.test");
  ASSERT_GT(refusing.port, 0);
  usePort(refusing.port);
  testing::Run r = send();
  EXPECT_EQ(r.code, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("E0005 <e0005@empresa-demo.test>: El servidor rechazo el correo (respuesta 550)"),
            std::string::npos) << r.err;
  const int n = payslips();
  ASSERT_GT(n, 5);

  // Every message: to the employee's address, the month and the employee's name in the
  // subject, his own signed payslip attached, as the register says.
  const auto messages = refusing.messages();
  ASSERT_EQ(static_cast<int>(messages.size()), n - 1);
  auto reg = registerByCode();
  for (const std::string& m : messages) {
    const auto f = split(m);
    ASSERT_EQ(f.size(), 6u) << m;
    const std::string code = f[3].substr(7, f[3].size() - 11);  // boleta_E0001.pdf
    std::string lower = code;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(f[0], lower + "@empresa-demo.test") << m;
    EXPECT_EQ(f[1], f[0]);
    EXPECT_EQ(f[2].rfind("Boleta de pago Marzo 2026 - ", 0), 0u) << m;
    ASSERT_EQ(reg[code].size(), 1u) << code;
    EXPECT_EQ(reg[code][0].resultado, delivery::kSent);
    EXPECT_EQ(reg[code][0].sha256, f[4]) << code;
    EXPECT_EQ(reg[code][0].msgid, f[5]) << code;
  }
  ASSERT_EQ(reg["E0005"].size(), 1u);
  EXPECT_EQ(reg["E0005"][0].resultado, delivery::kFailed);
  // The names in the subjects come from the master: E0001's is the demo's first.
  EXPECT_NE(messages[0].find("RAMIREZ SOTO, CARLOS ALBERTO"), std::string::npos) << messages[0];
  const std::string check = testing::quoted(data + "/pdf/boleta_E0001.pdf");
  FILE* p = popen(("pdfsig " + check + " 2>&1").c_str(), "r");
  std::string report;
  char buf[512];
  while (p && std::fgets(buf, sizeof buf, p)) report += buf;
  if (p) pclose(p);
  EXPECT_NE(report.find("Signature is Valid"), std::string::npos) << report;
  EXPECT_NE(report.find("Total document signed"), std::string::npos) << report;

  // Again, to a server that takes everyone: only E0005 goes; a third time, nothing.
  SmtpServer open(scratch.file("smtp2"), "");
  usePort(open.port);
  r = send();
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("1 enviada(s), " + std::to_string(n - 1) + " ya enviada(s) antes"), std::string::npos) << r.out;
  r = send();
  EXPECT_EQ(r.code, 0) << r.err;
  const auto second = open.messages();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(split(second[0])[0], "e0005@empresa-demo.test");
  reg = registerByCode();
  int sent = 0;
  for (const auto& [code, recs] : reg)
    for (const auto& rec : recs) sent += rec.resultado == delivery::kSent;
  EXPECT_EQ(sent, n);
}

// The server goes away after 10 messages: the batch stops, says why, and the next run
// sends the rest, each employee once; a sending the register left unfinished keeps its
// Message-ID.
TEST_F(PayslipDelivery, BatchCutByTheServerIsResumedWithoutDuplicates) {
  // E0001's sending was cut after the server took it, before the register heard: it
  // goes again under the Message-ID the register holds.
  const std::string kept = "<20260331.202603ME0001.cortado@empresa-demo.test>";
  {
    Quiet q;
    Session s(platformFileSystem(), q, data);
    s.YCIA = "01";
    s.YANO = "26";
    auto reg = delivery::DeliveryRegister::open(s);
    ASSERT_TRUE(reg.isOk());
    delivery::DeliveryRecord rec{"E0001", "202603", "M", "e0001@empresa-demo.test", "boleta_E0001.pdf"};
    rec.msgid = kept;
    rec.resultado = delivery::kSending;
    ASSERT_TRUE(reg.value()->add(rec).isOk());
  }
  std::set<std::string> recipients;
  int total = 0;
  {
    SmtpServer cut(scratch.file("smtp1"), "--cortar 10");
    usePort(cut.port);
    testing::Run r = send();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Envio detenido: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("421"), std::string::npos) << r.err;
    const auto messages = cut.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(split(messages[0])[0], "e0001@empresa-demo.test");
    EXPECT_EQ(split(messages[0])[5], kept);
    for (const auto& m : messages) recipients.insert(split(m)[0]), ++total;
    EXPECT_EQ(total, 10);
  }
  SmtpServer rest(scratch.file("smtp2"), "");
  usePort(rest.port);
  testing::Run r = send();
  EXPECT_EQ(r.code, 0) << r.err;
  for (const auto& m : rest.messages()) recipients.insert(split(m)[0]), ++total;
  EXPECT_EQ(total, payslips());
  EXPECT_EQ(static_cast<int>(recipients.size()), total);
}

}  // namespace
}  // namespace planilla
