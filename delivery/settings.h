// The company's settings for electronic payslips (pmae12<cia>, one record): the
// certificate, whether to sign and protect, the SMTP server and the message's
// templates. Passwords are never kept here: the certificate's and the server's are
// asked at the start of a batch or taken from the environment (deliveryPasswords).
#pragma once

#include <string>

#include "session/session.h"
#include "store/status.h"

namespace planilla::delivery {

enum class SmtpTls { None, StartTls, Implicit };

struct DeliverySettings {
  std::string certificate;  // file name of the .pfx/.p12 in the data directory
  bool sign = true;
  bool protect = false;  // open password: the employee's document number
  std::string reason = "Boleta de pago";
  std::string location = "Lima, Peru";
  std::string smtpHost;
  int smtpPort = 587;
  SmtpTls tls = SmtpTls::StartTls;
  std::string smtpUser;
  std::string sender;      // From address
  std::string senderName;  // From display name
  std::string subject = "Boleta de pago {periodo} - {nombre}";
  std::string body[4] = {"Estimado(a) {nombre}:", "Adjuntamos su boleta de pago de {periodo}.",
                         "Conserve este correo como constancia de entrega.", "Atentamente, {empresa}"};
};

// Reads the company's record. A missing table or record gives the defaults with
// `*found` false; an unreadable table is an error. Text is as stored (Windows-1252,
// blanks trimmed).
Result<DeliverySettings> readSettings(Session& s, bool* found = nullptr);

// Checks and writes the record (creating the table on first use): a certificate
// name that is not a plain file name of the data directory, a port outside 1-65535
// or a sender that is not an address is refused with a Spanish message and nothing
// is written.
Status writeSettings(Session& s, const DeliverySettings& settings);

// An address a message may be sent to: one "local@domain" without blanks, quotes,
// commas or angle brackets (nothing that could name a second recipient or a header).
bool validEmail(const std::string& address);

// The checks of writeSettings, for the screen's fields.
Status checkSettings(const DeliverySettings& settings);

// The certificate's path: the data directory and the file name.
std::string certificatePath(const Session& s, const DeliverySettings& settings);

// Replaces {periodo}, {nombre}, {codigo} and {empresa} in `text`; other braces stay.
struct TemplateValues {
  std::string periodo, nombre, codigo, empresa;
};
std::string fillTemplate(const std::string& text, const TemplateValues& v);

// Environment variables that give the passwords to automation.
inline constexpr const char* kCertPasswordVar = "PLANILLA_CERT_CLAVE";
inline constexpr const char* kSmtpPasswordVar = "PLANILLA_SMTP_CLAVE";

}  // namespace planilla::delivery
