// The message-box facade every screen, run and helper uses. The Qt backend shows
// real boxes; the scripted backend records them and plays the answers a test gives.
#pragma once

#include <chrono>
#include <string>

namespace planilla::ui {

// YesNo: a question whose default answer (Enter) is Yes; NoYes: the same question
// with No as the default, for a step that is hard to undo.
enum class MsgKind { Stop, Info, Alert, YesNo, NoYes };
inline bool isQuestion(MsgKind k) { return k == MsgKind::YesNo || k == MsgKind::NoYes; }

class Messages {
 public:
  virtual ~Messages() = default;
  // Shows a modal box with the given (already resolved) title. For a question the
  // result is true for Yes; for the other kinds it is true.
  virtual bool show(MsgKind kind, const std::string& text, const std::string& title) = 0;

  // Long work (the calculation runs, listings, utilities): the backend shows a busy
  // cursor and how far the work is. `total` 0: unknown. Nested work shows the outer one.
  // Without a screen these do nothing. Use them through Busy.
  virtual void workBegin(const std::string& title, const std::string& what, long total) {
    (void)title, (void)what, (void)total;
  }
  virtual void workProgress(long done) { (void)done; }
  virtual void workEnd(long done) { (void)done; }
};

// The busy indication of one piece of long work, from construction to destruction.
// step() is cheap: the backend hears of the count at most every tenth of a second
// (and once more at the end), so a run is not slowed by its own progress display.
class Busy {
 public:
  Busy(Messages& m, const std::string& title, const std::string& what, long total) : m_(&m) {
    m_->workBegin(title, what, total);
    next_ = std::chrono::steady_clock::now() + kEvery;
  }
  ~Busy() { m_->workEnd(done_); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

  void step() {
    ++done_;
    if ((done_ & 15) != 0) return;
    auto now = std::chrono::steady_clock::now();
    if (now < next_) return;
    next_ = now + kEvery;
    m_->workProgress(done_);
  }
  // Shows the count now (before a closing message, so the operator sees the total).
  void report() { m_->workProgress(done_); }
  long done() const { return done_; }

 private:
  static constexpr std::chrono::milliseconds kEvery{100};
  Messages* m_;
  long done_ = 0;
  std::chrono::steady_clock::time_point next_;
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
// The question with "No" as the default button: Enter, Escape and closing the box
// all answer No.
bool MSGNOYES(Messages& m, const std::string& text, const std::string& title);

}  // namespace planilla::ui
