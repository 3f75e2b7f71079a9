// The message-box facade every screen, run and helper uses. The Qt backend shows
// real boxes; the scripted backend records them and plays the answers a test gives.
#pragma once

#include <string>

namespace planilla::ui {

enum class MsgKind { Stop, Info, Alert, YesNo };

class Messages {
 public:
  virtual ~Messages() = default;
  // Shows a modal box with the given (already resolved) title. For YesNo the result is
  // true for Yes; for the other kinds it is true.
  virtual bool show(MsgKind kind, const std::string& text, const std::string& title) = 0;
};

// The four services. The caller's title is used only when the call passes exactly
// two arguments; one argument, or three (text, nothing, title), shows the default
// title ("Stop", "Information", "Alert", "Select an option").
void MSGSTOP(Messages& m, const std::string& text);
void MSGSTOP(Messages& m, const std::string& text, const std::string& title);
void MSGSTOP(Messages& m, const std::string& text, const std::string& unused, const std::string& title);
void MSGINFO(Messages& m, const std::string& text);
void MSGINFO(Messages& m, const std::string& text, const std::string& title);
void MSGINFO(Messages& m, const std::string& text, const std::string& unused, const std::string& title);
void MSGALERT(Messages& m, const std::string& text);
void MSGALERT(Messages& m, const std::string& text, const std::string& title);
void MSGALERT(Messages& m, const std::string& text, const std::string& unused, const std::string& title);
bool MSGYESNO(Messages& m, const std::string& text);
bool MSGYESNO(Messages& m, const std::string& text, const std::string& title);

}  // namespace planilla::ui
