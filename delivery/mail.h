// One e-mail with a PDF attached, sent through the company's SMTP server with
// libcurl (plain, STARTTLS or TLS from the start; server certificates verified).
// Texts arrive as UTF-8; headers that need it are encoded (RFC 2047).
#pragma once

#include <memory>
#include <string>

#include "delivery/settings.h"
#include "store/status.h"

namespace planilla::delivery {

struct MailServer {
  std::string host;
  int port = 587;
  SmtpTls tls = SmtpTls::StartTls;
  std::string user;      // empty: no login
  std::string password;  // never stored; asked or from the environment
  long connectTimeout = 20;  // seconds
  long timeout = 120;        // seconds for one message
};

struct Mail {
  std::string fromAddress, fromName;
  std::string to, toName;
  std::string subject;
  std::string body;            // lines separated by "\n"
  std::string attachmentPath;  // the PDF
  std::string attachmentName;  // its name in the message
  std::string messageId;       // "<...@domain>"
};

// What went wrong with one message: the recipient alone (the next may go through),
// or the server (connection, login, timeout: the batch stops).
enum class MailFailure { None, Recipient, Server };

struct MailResult {
  MailFailure failure = MailFailure::None;
  std::string detail;  // Spanish, with the server's reply code when there is one
  bool ok() const { return failure == MailFailure::None; }
};

// An SMTP session: messages sent one after another reuse the connection.
class SmtpClient {
 public:
  explicit SmtpClient(MailServer server);
  ~SmtpClient();
  SmtpClient(const SmtpClient&) = delete;
  SmtpClient& operator=(const SmtpClient&) = delete;
  MailResult send(const Mail& mail);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A new Message-ID for `sender`'s domain: "<time.tag.random@domain>", `tag` being
// letters and digits that name the payslip.
std::string newMessageId(const std::string& sender, const std::string& tag);

// RFC 2047 encoding of a header's text when it is not plain ASCII.
std::string encodeHeader(const std::string& utf8);

}  // namespace planilla::delivery
