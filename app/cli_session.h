// What every command-line command that works on company data shares: the options
// --cia CC --fecha DD/MM/AAAA --clave CLAVE, a session on the current directory, the
// login check and the acceptance of the working date, exactly as the desktop does them.
//
// Typical use in a command:
//
//   CliArgs a;
//   if (!parseCliArgs(args, {"--tc"}, a, err)) return 2;
//   CliSession cs(err);
//   if (int rc = cs.start(a); rc != 0) return rc;   // message already on err
//   Session& s = cs.session();                       // YCIA, YMES, YANO ... are set
//   ... run; the messages shown go to err as "title: text" ...
#pragma once

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "session/session.h"
#include "ui/messages.h"

namespace planilla {

struct CliArgs {
  std::string cia;                           // --cia, upper-cased, 2 characters
  std::string fecha;                         // --fecha as typed (dd/mm/aaaa); may be empty
  std::string clave;                         // --clave, else $PLANILLA_CLAVE
  bool claveGiven = false;
  bool claveFromEnvironment = false;         // taken from $PLANILLA_CLAVE, not typed
  std::map<std::string, std::string> extra;  // further options with a value ("--tc" -> "88 888")
  std::vector<std::string> positional;       // words that are not options
};

// Parses `args`. Every option takes one value, as "--opt VALUE" or "--opt=VALUE".
// Accepted: --cia, --fecha, --clave and those listed in `extraOptions`. An unknown
// option or a missing value is reported on `err` in Spanish; returns false (exit 2).
bool parseCliArgs(const std::vector<std::string>& args, const std::vector<std::string>& extraOptions,
                  CliArgs& out, std::ostream& err);

// Message boxes of a command: each is written to `out` as "title: text" (just the text
// when the title is empty) and kept in `shown`; an alert already written is not written
// again. Yes/no questions get `yesNoAnswer`.
class StreamMessages : public ui::Messages {
 public:
  struct Shown {
    ui::MsgKind kind;
    std::string text;
    std::string title;
  };
  explicit StreamMessages(std::ostream& out) : out_(out) {}
  bool show(ui::MsgKind kind, const std::string& text, const std::string& title) override;
  std::vector<Shown> shown;
  bool yesNoAnswer = true;

 private:
  std::ostream& out_;
};

class CliSession {
 public:
  // A session on `dir` (the working directory by default) with the POSIX file system;
  // messages go to `err`.
  explicit CliSession(std::ostream& err, const std::string& dir = ".");
  ~CliSession();
  // Logs in with the password (user "QTR "), then, when args.cia is given (it must be
  // when `needDate`), picks the company and the working date as the working-date
  // dialog does. Without --fecha the date is the one last chosen for the company (the
  // FECHA of its institution record; `planilla init --demo` stores the demo's).
  // Returns 0, or 2 after the failure's message on err: wrong password ("Clave No
  // Valida  , Intente Nuevamente"), missing users file, missing/unknown company (a
  // code of more than two characters included), a date that is not dd/mm/yyyy with
  // a year from 1900 to 2099 ("Fecha No Valida").
  // The password's access applies as on the desktop: a command runs only when the
  // password may open its menu group `group` (a function code: "PROCESOS",
  // "REPORTES", "HERRAMIENT" ...); otherwise "Acceso Denegado" and 2. A command that
  // names no group runs only for a password limited to no group.
  int start(const CliArgs& args, bool needDate = true, const char* group = nullptr);
  Session& session() { return *session_; }
  StreamMessages& messages() { return messages_; }

 private:
  std::ostream& err_;
  StreamMessages messages_;
  std::unique_ptr<Session> session_;
};

}  // namespace planilla
