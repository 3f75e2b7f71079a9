// Digital signature of the payslip PDFs with the company's certificate.
//
// The certificate comes as a PKCS#12 file (.pfx/.p12, as the certification bodies
// deliver it) opened with its password. A signature is a CMS detached signature
// (SHA-256, with the signing-certificate-v2 attribute) written into an incremental
// update of the PDF: the bytes the payslip had are kept as they were, and a reader
// shows "signed, whole document" for the file as it left the program. The update
// adds a visible box on the first page naming who signed and when.
//
// PoDoFo writes the update and OpenSSL makes the CMS; nothing here shows messages:
// failures come back as a Status with a Spanish message.
#pragma once

#include <memory>
#include <string>

#include "store/status.h"

namespace planilla::delivery {

// What the visible box says besides the signer's name.
struct SignatureText {
  std::string reason = "Boleta de pago";  // UTF-8
  std::string location = "Lima, Peru";    // UTF-8
  std::string when;                       // "dd/mm/aaaa hh:mm:ss -05:00"; empty: the signing time
};

// A certificate with its private key, opened from a PKCS#12 file.
class Signer {
 public:
  // Opens `path` with `password`. Refusals: a missing or unreadable file, a wrong
  // password ("Clave Del Certificado Incorrecta"), a file without key and certificate,
  // a certificate not yet valid or expired on `nowUtc` (seconds since 1970; 0 = now).
  // Legacy-encrypted files (RC2/3DES, as older tools export them) open too.
  static Result<std::unique_ptr<Signer>> open(const std::string& path, const std::string& password,
                                              long long nowUtc = 0);
  ~Signer();
  Signer(const Signer&) = delete;
  Signer& operator=(const Signer&) = delete;

  // The certificate's subject common name (UTF-8) and its last day of validity
  // ("dd/mm/aaaa").
  const std::string& commonName() const { return commonName_; }
  const std::string& validUntil() const { return validUntil_; }

  // Signs the PDF `in` into `out` (which may not be `in`). The signed file is built
  // beside `out` and put in place whole: a failure or a kill leaves `out` as it was.
  // With `userPassword` non-empty the PDF is first protected with it (AES-256; the
  // owner password is a random one, so that nobody can lift the protection without
  // re-signing) and then signed.
  Status signPdf(const std::string& in, const std::string& out, const SignatureText& text,
                 const std::string& userPassword = "") const;

 private:
  struct Keys;
  explicit Signer(std::unique_ptr<Keys> k);
  std::unique_ptr<Keys> keys_;
  std::string commonName_;
  std::string validUntil_;
};

// Writes a self-signed test certificate (RSA-2048, SHA-256, valid `days` days from
// now) for `commonName` as a PKCS#12 file protected by `password`, built beside `path`
// and put in place whole. For the demo company and the tests; never for real use.
Status writeTestCertificate(const std::string& path, const std::string& password, const std::string& commonName,
                            int days = 3650);

// The SHA-256 of a file, as 64 lower-case hex digits.
Result<std::string> fileSha256(const std::string& path);

}  // namespace planilla::delivery
