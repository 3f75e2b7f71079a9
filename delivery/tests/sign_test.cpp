// Signing payslip PDFs, checked with an independent verifier (poppler's pdfsig):
// the signature valid and covering the whole file, the original bytes kept (an
// incremental update), a byte changed afterwards making it invalid; the refusals of
// the certificate; the protected PDF that opens only with the document number.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "delivery/sign.h"

namespace planilla::delivery {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string run(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

bool have(const char* tool) { return run(std::string("command -v ") + tool).find(tool) != std::string::npos; }

// A one-page A4 PDF with a line of text, its cross-reference offsets counted here.
void writeOnePage(const std::string& path) {
  const std::string stream = "BT /F1 12 Tf 72 760 Td (BOLETA DE REMUNERACIONES) Tj ET";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"};
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t o : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  std::ofstream(path, std::ios::binary) << pdf;
}

class SignTest : public ::testing::Test {
 protected:
  // One key for the suite: making an RSA key takes a while.
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("firma_test_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    cert_ = (dir_ / "empresa.p12").string();
    made_ = writeTestCertificate(cert_, "secreto", "EMPRESA DEMOSTRACION S.A.C.").isOk();
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  void SetUp() override {
    if (!have("pdfsig")) GTEST_SKIP() << "pdfsig (poppler-utils) no instalado";
    ASSERT_TRUE(made_);
    plain_ = path("boleta.pdf");
    writeOnePage(plain_);
  }
  static std::string path(const char* name) { return (dir_ / name).string(); }
  static inline fs::path dir_;
  static inline std::string cert_;
  static inline bool made_ = false;
  std::string plain_;
};

TEST_F(SignTest, SignatureIsValidCoversTheWholeFileAndBreaksOnAChangedByte) {
  auto signer = Signer::open(cert_, "secreto");
  ASSERT_TRUE(signer) << signer.status().message();
  EXPECT_EQ(signer.value()->commonName(), "EMPRESA DEMOSTRACION S.A.C.");
  const std::string out = path("firmada.pdf");
  ASSERT_TRUE(signer.value()->signPdf(plain_, out, SignatureText{}).isOk());

  const std::string report = run("pdfsig " + out);
  EXPECT_NE(report.find("Signature is Valid"), std::string::npos) << report;
  EXPECT_NE(report.find("Total document signed"), std::string::npos) << report;
  EXPECT_NE(report.find("SHA-256"), std::string::npos) << report;
  EXPECT_NE(report.find("Signer Certificate Common Name: EMPRESA DEMOSTRACION S.A.C."), std::string::npos);
  // An incremental update: the payslip's own bytes first, untouched, then the update.
  const std::string original = slurp(plain_), bytes = slurp(out);
  EXPECT_EQ(bytes.compare(0, original.size(), original), 0);
  EXPECT_GT(bytes.size(), original.size());
  // The visible box names the signer.
  EXPECT_NE(run("pdftotext " + out + " -").find("EMPRESA DEMOSTRACION"), std::string::npos);

  // One byte of the payslip's text changed after signing ("BOLETA" -> "BOLETO").
  std::string tampered = bytes;
  const size_t at = tampered.find("BOLETA");
  ASSERT_NE(at, std::string::npos);
  tampered[at + 5] = 'O';
  std::ofstream(path("alterada.pdf"), std::ios::binary) << tampered;
  const std::string after = run("pdfsig " + path("alterada.pdf"));
  EXPECT_EQ(after.find("Signature is Valid"), std::string::npos) << after;
  EXPECT_NE(after.find("Digest Mismatch"), std::string::npos) << after;
}

TEST_F(SignTest, ProtectedPayslipOpensOnlyWithTheDocumentNumberAndStaysSigned) {
  auto signer = Signer::open(cert_, "secreto");
  ASSERT_TRUE(signer);
  const std::string out = path("protegida.pdf");
  ASSERT_TRUE(signer.value()->signPdf(plain_, out, SignatureText{}, "41333332").isOk());
  EXPECT_NE(run("pdftotext " + out + " -").find("Incorrect password"), std::string::npos);
  EXPECT_NE(run("pdftotext -upw 41333332 " + out + " -").find("BOLETA DE REMUNERACIONES"), std::string::npos);
  const std::string report = run("pdfsig -upw 41333332 " + out);
  EXPECT_NE(report.find("Signature is Valid"), std::string::npos) << report;
  EXPECT_NE(report.find("Total document signed"), std::string::npos) << report;
}

TEST_F(SignTest, CertificateRefusalsLeaveNoFile) {
  struct Case {
    const char* what;
    std::string file, password;
    long long now;
    const char* message;
  };
  std::ofstream(path("no_es.p12")) << "no es un certificado";
  const long long in20Years = static_cast<long long>(time(nullptr)) + 20LL * 365 * 86400;
  const Case cases[] = {
      {"clave errada", cert_, "otra", 0, "Clave Del Certificado Incorrecta"},
      {"no existe", path("falta.p12"), "secreto", 0, "No se encuentra el certificado"},
      {"no es PKCS#12", path("no_es.p12"), "secreto", 0, "no es un certificado PKCS#12"},
      {"vencido", cert_, "secreto", in20Years, "Certificado Vencido El "},
  };
  for (const Case& c : cases) {
    auto s = Signer::open(c.file, c.password, c.now);
    ASSERT_FALSE(s) << c.what;
    EXPECT_NE(s.status().message().find(c.message), std::string::npos) << c.what << ": " << s.status().message();
  }
  // A PDF that cannot be read is refused and the target is not created.
  auto signer = Signer::open(cert_, "secreto");
  ASSERT_TRUE(signer);
  std::ofstream(path("rota.pdf")) << "%PDF-1.4\nbasura";
  EXPECT_FALSE(signer.value()->signPdf(path("rota.pdf"), path("salida.pdf"), SignatureText{}).isOk());
  EXPECT_FALSE(fs::exists(path("salida.pdf")));
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

// Certificates exported by older tools are encrypted with RC2/3DES, which OpenSSL 3
// keeps in its legacy provider.
TEST_F(SignTest, LegacyEncryptedPfxOpens) {
  if (!have("openssl")) GTEST_SKIP() << "openssl no instalado";
  const std::string pem = path("c.pem"), legacy = path("legado.pfx");
  run("openssl pkcs12 -in " + cert_ + " -passin pass:secreto -nodes -out " + pem);
  run("openssl pkcs12 -export -legacy -in " + pem + " -passout pass:clave2 -out " + legacy);
  ASSERT_TRUE(fs::exists(legacy));
  auto s = Signer::open(legacy, "clave2");
  ASSERT_TRUE(s) << s.status().message();
  EXPECT_EQ(s.value()->commonName(), "EMPRESA DEMOSTRACION S.A.C.");
}

}  // namespace
}  // namespace planilla::delivery
