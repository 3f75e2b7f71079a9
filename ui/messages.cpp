#include "ui/messages.h"

namespace planilla::ui {

void MSGSTOP(Messages& m, const std::string& text) { m.show(MsgKind::Stop, text, "Stop"); }
void MSGSTOP(Messages& m, const std::string& text, const std::string& title) { m.show(MsgKind::Stop, text, title); }
void MSGSTOP(Messages& m, const std::string& text, const std::string&, const std::string&) {
  m.show(MsgKind::Stop, text, "Stop");
}
void MSGINFO(Messages& m, const std::string& text) { m.show(MsgKind::Info, text, "Information"); }
void MSGINFO(Messages& m, const std::string& text, const std::string& title) { m.show(MsgKind::Info, text, title); }
void MSGINFO(Messages& m, const std::string& text, const std::string&, const std::string&) {
  m.show(MsgKind::Info, text, "Information");
}
void MSGALERT(Messages& m, const std::string& text) { m.show(MsgKind::Alert, text, "Alert"); }
void MSGALERT(Messages& m, const std::string& text, const std::string& title) { m.show(MsgKind::Alert, text, title); }
void MSGALERT(Messages& m, const std::string& text, const std::string&, const std::string&) {
  m.show(MsgKind::Alert, text, "Alert");
}
bool MSGYESNO(Messages& m, const std::string& text) { return m.show(MsgKind::YesNo, text, "Select an option"); }
bool MSGYESNO(Messages& m, const std::string& text, const std::string& title) {
  return m.show(MsgKind::YesNo, text, title);
}
bool MSGNOYES(Messages& m, const std::string& text, const std::string& title) {
  return m.show(MsgKind::NoYes, text, title);
}

}  // namespace planilla::ui
