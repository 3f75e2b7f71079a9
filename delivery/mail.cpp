#include "delivery/mail.h"

#include <curl/curl.h>
#include <openssl/rand.h>

#include <ctime>

#include "store/platform.h"

namespace planilla::delivery {

namespace {

void curlOnce() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

std::string base64(const std::string& in) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                       static_cast<unsigned char>(in[i + 2]);
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += k[(v >> 6) & 63];
    out += k[v & 63];
  }
  if (i < in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += i + 1 < in.size() ? k[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Header values lose line breaks: a name or subject can never add a header.
std::string oneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

std::string rfc5322Date() {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  const std::tm lt = platform::localTime(now);
  char zone[8];
  std::strftime(zone, sizeof zone, "%z", &lt);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %s", days[lt.tm_wday], lt.tm_mday,
                months[lt.tm_mon], lt.tm_year + 1900, lt.tm_hour, lt.tm_min, lt.tm_sec, zone);
  return buf;
}

// A display name as a quoted string (payroll names carry a comma: "RAMIREZ SOTO,
// CARLOS" unquoted would read as two addresses), or encoded when not plain ASCII.
std::string mailbox(const std::string& name, const std::string& address) {
  if (name.empty()) return "<" + address + ">";
  const std::string encoded = encodeHeader(name);
  if (encoded.rfind("=?", 0) == 0) return encoded + " <" + address + ">";
  std::string quoted = "\"";
  for (char c : encoded) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\" <" + address + ">";
}

}  // namespace

std::string encodeHeader(const std::string& utf8In) {
  const std::string utf8 = oneLine(utf8In);
  bool plain = true;
  for (unsigned char c : utf8)
    if (c >= 0x80 || c == '"' || c == '=' || c == '?') plain = false;
  if (plain) return utf8;
  // Encoded words of at most 75 characters: 45 bytes of text each, cut between
  // characters (never inside a UTF-8 sequence).
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t end = std::min(utf8.size(), i + 45);
    while (end < utf8.size() && end > i && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + base64(utf8.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

std::string newMessageId(const std::string& sender, const std::string& tag) {
  const auto at = sender.find('@');
  const std::string domain = at == std::string::npos ? "localhost" : sender.substr(at + 1);
  unsigned char rnd[8];
  RAND_bytes(rnd, sizeof rnd);
  std::string r;
  for (unsigned char c : rnd) {
    r += "0123456789abcdef"[c >> 4];
    r += "0123456789abcdef"[c & 15];
  }
  char t[20];
  const std::time_t now = std::time(nullptr);
  const std::tm g = platform::utcTime(now);
  std::strftime(t, sizeof t, "%Y%m%d%H%M%S", &g);
  std::string clean;
  for (char c : tag)
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) clean += c;
  return "<" + std::string(t) + "." + clean + "." + r + "@" + domain + ">";
}

struct SmtpClient::Impl {
  MailServer server;
  CURL* curl = nullptr;
};

SmtpClient::SmtpClient(MailServer server) : impl_(std::make_unique<Impl>()) {
  curlOnce();
  impl_->server = std::move(server);
  impl_->curl = curl_easy_init();
}

SmtpClient::~SmtpClient() {
  if (impl_->curl) curl_easy_cleanup(impl_->curl);
}

MailResult SmtpClient::send(const Mail& m) {
  MailResult res;
  CURL* c = impl_->curl;
  const MailServer& sv = impl_->server;
  if (!c) return {MailFailure::Server, "No se pudo iniciar la conexion de correo"};
  curl_easy_reset(c);
  const std::string url = std::string(sv.tls == SmtpTls::Implicit ? "smtps://" : "smtp://") + sv.host + ":" +
                          std::to_string(sv.port);
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, sv.connectTimeout);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, sv.timeout);
  if (sv.tls == SmtpTls::StartTls) curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!sv.user.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, sv.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, sv.password.c_str());
  }
  const std::string from = "<" + m.fromAddress + ">";
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  curl_slist* rcpt = curl_slist_append(nullptr, ("<" + m.to + ">").c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);

  curl_slist* headers = nullptr;
  for (const std::string& h : {"Date: " + rfc5322Date(), "From: " + mailbox(m.fromName, m.fromAddress),
                               "To: " + mailbox(m.toName, m.to), "Subject: " + encodeHeader(m.subject),
                               "Message-ID: " + oneLine(m.messageId)})
    headers = curl_slist_append(headers, h.c_str());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);

  curl_mime* mime = curl_mime_init(c);
  curl_mimepart* text = curl_mime_addpart(mime);
  std::string body;
  for (char ch : m.body) body += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  curl_mime_data(text, body.c_str(), CURL_ZERO_TERMINATED);
  curl_mime_type(text, "text/plain; charset=UTF-8");
  curl_mime_encoder(text, "quoted-printable");
  curl_mimepart* pdf = curl_mime_addpart(mime);
  CURLcode rc = curl_mime_filedata(pdf, m.attachmentPath.c_str());
  curl_mime_type(pdf, "application/pdf");
  curl_mime_encoder(pdf, "base64");
  curl_mime_filename(pdf, m.attachmentName.c_str());
  curl_easy_setopt(c, CURLOPT_MIMEPOST, mime);

  char errbuf[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  if (rc == CURLE_OK) rc = curl_easy_perform(c);
  long code = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
  curl_mime_free(mime);
  curl_slist_free_all(headers);
  curl_slist_free_all(rcpt);

  const std::string reply = code ? " (respuesta " + std::to_string(code) + ")" : "";
  switch (rc) {
    case CURLE_OK:
      return res;
    case CURLE_READ_ERROR:
      return {MailFailure::Recipient, "No se pudo leer el PDF adjunto"};
    case CURLE_OPERATION_TIMEDOUT:
      return {MailFailure::Server, "Tiempo de espera agotado con el servidor de correo"};
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      return {MailFailure::Server, "No se pudo conectar con el servidor de correo " + sv.host + ":" +
                                       std::to_string(sv.port)};
    case CURLE_LOGIN_DENIED:
      return {MailFailure::Server, "El servidor de correo rechazo el usuario o la clave" + reply};
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
      return {MailFailure::Server, "No se pudo establecer la conexion segura (TLS) con el servidor de correo"};
    default:
      break;
  }
  // A reply in the 500s to the recipient or the message: that message alone; 400s
  // and anything else stop the batch, which the next run resumes.
  if (code >= 500 && code < 600) return {MailFailure::Recipient, "El servidor rechazo el correo" + reply};
  if (code >= 400 && code < 500)
    return {MailFailure::Server, "El servidor de correo no acepta envios por ahora" + reply};
  return {MailFailure::Server, std::string("Error de envio: ") + (errbuf[0] ? errbuf : curl_easy_strerror(rc)) + reply};
}

}  // namespace planilla::delivery
