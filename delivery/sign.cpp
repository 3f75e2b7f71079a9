#include "delivery/sign.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <podofo/podofo.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

#include "store/platform.h"

namespace planilla::delivery {

namespace {

// OpenSSL 3 leaves RC2 and the other old ciphers in its "legacy" provider; many
// .pfx files are still encrypted with them. Both providers are loaded once.
void quietPodofo() {
  // PoDoFo's debug and log lines (trailers and the like) would land on stdout.
  static const bool done = [] {
    PoDoFo::PdfError::EnableDebug(false);
    PoDoFo::PdfError::EnableLogging(false);
    return true;
  }();
  (void)done;
}

void loadProviders() {
  static const bool loaded = [] {
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    return true;
  }();
  (void)loaded;
}

std::string opensslError() {
  const unsigned long e = ERR_get_error();
  ERR_clear_error();
  if (e == 0) return "";
  char buf[256];
  ERR_error_string_n(e, buf, sizeof buf);
  return buf;
}

std::string tempBeside(const std::string& path) { return path + ".firma." + std::to_string(platform::processId()) + ".tmp"; }

// Flushes `tmp` to disk and renames it over `target`: the target is the old file or
// the new one, never a part of it.
Status putInPlace(const std::string& tmp, const std::string& target) {
  (void)platform::syncFile(tmp);
  if (!platform::replaceFile(tmp, target)) {
    std::remove(tmp.c_str());
    return Status::ioError("No se pudo escribir " + target);
  }
  return Status::ok();
}

std::string asn1Date(const ASN1_TIME* t) {
  struct tm tmv {};
  if (!t || ASN1_TIME_to_tm(t, &tmv) != 1) return "";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", tmv.tm_mday, tmv.tm_mon + 1, tmv.tm_year + 1900);
  return buf;
}

// The signing time as the box shows it: local time with its offset from UTC.
std::string localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm lt = platform::localTime(now);
  char buf[40];
  std::strftime(buf, sizeof buf, "%d/%m/%Y %H:%M:%S %z", &lt);
  std::string s = buf;  // "... -0500" -> "... -05:00"
  if (s.size() >= 5) s.insert(s.size() - 2, ":");
  return s;
}

}  // namespace

struct Signer::Keys {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* chain = nullptr;
  ~Keys() {
    EVP_PKEY_free(key);
    X509_free(cert);
    sk_X509_pop_free(chain, X509_free);
  }
};

Signer::Signer(std::unique_ptr<Keys> k) : keys_(std::move(k)) {}
Signer::~Signer() = default;

Result<std::unique_ptr<Signer>> Signer::open(const std::string& path, const std::string& password,
                                             long long nowUtc) {
  loadProviders();
  ERR_clear_error();
  BIO* in = BIO_new_file(path.c_str(), "rb");
  if (!in) return Status::notFound("No se encuentra el certificado " + path);
  PKCS12* p12 = d2i_PKCS12_bio(in, nullptr);
  BIO_free(in);
  if (!p12) {
    opensslError();
    return Status::corrupt("El archivo " + path + " no es un certificado PKCS#12 (.pfx/.p12)");
  }
  auto keys = std::make_unique<Keys>();
  const int okParse = PKCS12_parse(p12, password.c_str(), &keys->key, &keys->cert, &keys->chain);
  PKCS12_free(p12);
  if (okParse != 1) {
    opensslError();
    return Status::invalid("Clave Del Certificado Incorrecta");
  }
  if (!keys->key || !keys->cert) return Status::invalid("El certificado " + path + " no trae su clave privada");
  if (X509_check_private_key(keys->cert, keys->key) != 1) {
    opensslError();
    return Status::invalid("La clave privada no corresponde al certificado " + path);
  }
  const std::time_t now = nowUtc ? static_cast<std::time_t>(nowUtc) : std::time(nullptr);
  std::time_t t = now;
  const std::string until = asn1Date(X509_get0_notAfter(keys->cert));
  if (X509_cmp_time(X509_get0_notAfter(keys->cert), &t) <= 0)
    return Status::invalid("Certificado Vencido El " + until);
  if (X509_cmp_time(X509_get0_notBefore(keys->cert), &t) > 0)
    return Status::invalid("El Certificado Aun No Es Valido: Desde El " +
                           asn1Date(X509_get0_notBefore(keys->cert)));
  std::unique_ptr<Signer> s(new Signer(std::move(keys)));
  char cn[256] = "";
  X509_NAME_get_text_by_NID(X509_get_subject_name(s->keys_->cert), NID_commonName, cn, sizeof cn);
  s->commonName_ = cn;
  s->validUntil_ = until;
  return s;
}

Status Signer::signPdf(const std::string& in, const std::string& out, const SignatureText& text,
                       const std::string& userPassword) const {
  using namespace PoDoFo;
  quietPodofo();
  const std::string tmp = tempBeside(out);
  // Reserve room for the CMS: the certificates it carries, the signature value and
  // the signed attributes. The placeholder is written as hex, two digits a byte.
  size_t certBytes = static_cast<size_t>(i2d_X509(keys_->cert, nullptr));
  for (int i = 0; keys_->chain && i < sk_X509_num(keys_->chain); ++i)
    certBytes += static_cast<size_t>(i2d_X509(sk_X509_value(keys_->chain, i), nullptr));
  const size_t reserve = certBytes + static_cast<size_t>(EVP_PKEY_get_size(keys_->key)) + 1536;

  try {
    PdfMemDocument doc;
    // A protected payslip is encrypted and signed in one whole write (the protection
    // rewrites every object anyway, and PoDoFo cannot update an encrypted file); an
    // open one gets the signature as an incremental update, its own bytes untouched.
    const bool protect = !userPassword.empty();
    doc.Load(in.c_str(), !protect);
    if (protect) {
      unsigned char rnd[24];
      RAND_bytes(rnd, sizeof rnd);
      std::string owner;
      for (unsigned char c : rnd) owner += "0123456789abcdef"[c & 15];
      doc.SetEncrypted(userPassword, owner,
                       PdfEncrypt::ePdfPermissions_Print | PdfEncrypt::ePdfPermissions_Copy |
                           PdfEncrypt::ePdfPermissions_Accessible | PdfEncrypt::ePdfPermissions_DocAssembly,
                       PdfEncrypt::ePdfEncryptAlgorithm_AESV3);
    }
    if (doc.GetPageCount() < 1) return Status::corrupt("El PDF " + in + " no tiene paginas");

    PdfOutputDevice file(tmp.c_str(), true);
    PdfSignOutputDevice signer(&file);
    signer.SetSignatureSize(reserve);

    PdfAcroForm* form = doc.GetAcroForm(true, ePdfAcroFormDefaultAppearance_None);
    form->GetObject()->GetDictionary().AddKey(PdfName("SigFlags"), PdfObject(static_cast<pdf_int64>(3)));
    form->SetNeedAppearances(false);

    // The box sits above the employer's signature line of the payslip (bottom left
    // of an A4 page, in points from the bottom-left corner).
    PdfPage* page = doc.GetPage(0);
    const PdfRect rect(100, 168, 210, 50);
    PdfAnnotation* widget = page->CreateAnnotation(ePdfAnnotation_Widget, rect);
    widget->SetFlags(ePdfAnnotationFlags_Print | ePdfAnnotationFlags_Locked);
    PdfSignatureField field(widget, form, &doc);
    field.SetFieldName(PdfString("FirmaEmpleador"));

    const std::string when = text.when.empty() ? localNow() : text.when;
    PdfXObject look(PdfRect(0, 0, rect.GetWidth(), rect.GetHeight()), &doc);
    {
      PdfPainter p;
      p.SetPage(&look);
      p.SetStrokingColor(0.1, 0.2, 0.5);
      p.SetStrokeWidth(0.8);
      p.Rectangle(0.5, 0.5, rect.GetWidth() - 1, rect.GetHeight() - 1);
      p.Stroke();
      PdfFont* bold = doc.CreateFont("Helvetica-Bold", false, PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                     PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
      PdfFont* font = doc.CreateFont("Helvetica", false, PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                     PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
      p.SetColor(0.1, 0.2, 0.5);
      bold->SetFontSize(7.5);
      p.SetFont(bold);
      p.DrawText(5, 38, PdfString("Firmado digitalmente por:"));
      p.SetFont(bold);
      p.DrawText(5, 27, PdfString(reinterpret_cast<const pdf_utf8*>(commonName_.c_str())));
      font->SetFontSize(7);
      p.SetFont(font);
      p.DrawText(5, 16, PdfString(reinterpret_cast<const pdf_utf8*>(("Fecha: " + when).c_str())));
      p.DrawText(5, 6, PdfString(reinterpret_cast<const pdf_utf8*>(("Motivo: " + text.reason).c_str())));
      p.FinishPage();
    }
    field.SetAppearanceStream(&look);
    field.SetSignatureReason(PdfString(reinterpret_cast<const pdf_utf8*>(text.reason.c_str())));
    field.SetSignatureLocation(PdfString(reinterpret_cast<const pdf_utf8*>(text.location.c_str())));
    field.SetSignatureCreator(PdfName("planilla"));
    field.SetSignatureDate(PdfDate());
    field.SetSignature(*signer.GetSignatureBeacon());

    if (protect)
      doc.Write(&signer);
    else
      doc.WriteUpdate(&signer, true);
    if (!signer.HasSignaturePosition()) throw PdfError(ePdfError_SignatureError, __FILE__, __LINE__);
    signer.AdjustByteRange();
    signer.Seek(0);

    // The CMS over the bytes the byte range names: everything but the placeholder.
    BIO* data = BIO_new(BIO_s_mem());
    std::vector<char> buf(65536);
    size_t n;
    while ((n = signer.ReadForSignature(buf.data(), buf.size())) > 0) BIO_write(data, buf.data(), static_cast<int>(n));
    const unsigned flags = CMS_DETACHED | CMS_BINARY | CMS_PARTIAL | CMS_NOSMIMECAP | CMS_CADES;
    CMS_ContentInfo* cms = CMS_sign(nullptr, nullptr, keys_->chain, nullptr, flags);
    bool made = cms && CMS_add1_signer(cms, keys_->cert, keys_->key, EVP_sha256(), flags) &&
                CMS_final(cms, data, nullptr, flags) == 1;
    unsigned char* der = nullptr;
    const int derLen = made ? i2d_CMS_ContentInfo(cms, &der) : -1;
    CMS_ContentInfo_free(cms);
    BIO_free(data);
    if (derLen <= 0) {
      const std::string why = opensslError();
      std::remove(tmp.c_str());
      return Status::invalid("No se pudo firmar " + in + (why.empty() ? "" : ": " + why));
    }
    signer.SetSignature(PdfData(reinterpret_cast<const char*>(der), static_cast<size_t>(derLen)));
    OPENSSL_free(der);
    signer.Flush();
  } catch (const PdfError& e) {
    std::remove(tmp.c_str());
    return Status::corrupt("No se pudo firmar el PDF " + in + ": " + PdfError::ErrorMessage(e.GetError()));
  }
  return putInPlace(tmp, out);
}

Status writeTestCertificate(const std::string& path, const std::string& password, const std::string& commonName,
                            int days) {
  loadProviders();
  EVP_PKEY* key = EVP_RSA_gen(2048);
  X509* cert = X509_new();
  bool ok = key && cert;
  if (ok) {
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), static_cast<long>(std::time(nullptr)));
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), static_cast<long>(days) * 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "C", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("PE"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    ok = X509_sign(cert, key, EVP_sha256()) > 0;
  }
  PKCS12* p12 = ok ? PKCS12_create(password.c_str(), commonName.c_str(), key, cert, nullptr, 0, 0, 0, 0, 0)
                   : nullptr;
  const std::string tmp = tempBeside(path);
  BIO* out = p12 ? BIO_new_file(tmp.c_str(), "wb") : nullptr;
  ok = out && i2d_PKCS12_bio(out, p12) == 1;
  if (out) BIO_free(out);
  PKCS12_free(p12);
  X509_free(cert);
  EVP_PKEY_free(key);
  if (!ok) {
    std::remove(tmp.c_str());
    return Status::ioError("No se pudo crear el certificado de prueba " + path + ": " + opensslError());
  }
  return putInPlace(tmp, path);
}

Result<std::string> fileSha256(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return Status::notFound("No se encuentra " + path);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
  std::vector<char> buf(65536);
  while (f) {
    f.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    if (f.gcount() > 0) EVP_DigestUpdate(ctx, buf.data(), static_cast<size_t>(f.gcount()));
  }
  unsigned char md[32];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx, md, &len);
  EVP_MD_CTX_free(ctx);
  if (f.bad()) return Status::ioError("No se pudo leer " + path);
  std::string hex;
  for (unsigned i = 0; i < len; ++i) {
    hex += "0123456789abcdef"[md[i] >> 4];
    hex += "0123456789abcdef"[md[i] & 15];
  }
  return hex;
}

}  // namespace planilla::delivery
