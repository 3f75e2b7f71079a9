// The scripted backend: plays a queue of operator steps against the screens' code and
// records every dialog opened and every message shown. Screen tests build the queue,
// call the screen function and check the verdict:
//
//   ui::ScriptedToolkit tk;
//   tk.expectDialog("EDITBANCO", "Adicionar Registro")
//     .type(102, "")                       // blank code
//     .press(301)                          // "&Aceptar": leaving 102 runs CHEC01
//     .expectMessage(ui::MsgKind::Stop, "Campo En Blanco", "Mensaje")
//     .close();
//   EDITBANCOS(session, tk, ...);
//   EXPECT_TRUE(tk.ok()) << tk.report();
//
// Strict by design: a dialog or message box that opens when the next step does not
// expect it, a step that cannot be played (no such control, a field that cannot be
// entered, a row past the end), a dialog left open when the steps run out, and steps
// never played all count as failures. Steps act on the innermost open dialog.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/toolkit.h"

namespace planilla::ui {

class ScriptedToolkit : public Toolkit {
 public:
  struct DialogRecord {
    std::string templateName;  // "" for dialogs built from coordinates
    std::string title;
  };
  struct MessageRecord {
    MsgKind kind;
    std::string text, title;
  };
  struct WorkRecord {
    std::string title, what;
    long total = 0;
    long done = -1;  // the count at the end; -1 while it runs
  };

  // --- steps (queued; each returns *this) -------------------------------------------
  // The next dialog to open: template name (any case; "" for a dialog without
  // template) and, when given, its exact title.
  ScriptedToolkit& expectDialog(std::string templateName, std::optional<std::string> title = std::nullopt);
  // The next message box: kind, exact text and (when given) exact title; `answer` is
  // the operator's choice for MSGYESNO (false: "No" or the box closed).
  ScriptedToolkit& expectMessage(MsgKind kind, std::string text, std::optional<std::string> title = std::nullopt,
                                 bool answer = true);
  // Types over field `id` (0: the field that has the focus) after moving the focus
  // there (which leaves the current field under its validation).
  ScriptedToolkit& type(int id, std::string text);
  // Types key by key (the field's key hook sees each key).
  ScriptedToolkit& keys(int id, std::string text);
  // Tab out of field `id` (0: the focused control): its validation decides.
  ScriptedToolkit& leave(int id = 0);
  ScriptedToolkit& press(int id);
  ScriptedToolkit& press(std::string caption);  // a button by caption ("&" and blanks ignored)
  ScriptedToolkit& pressBar(int index1);         // the dialog's button bar, 1-based
  ScriptedToolkit& click(int imageId);
  ScriptedToolkit& choose(int comboId, std::string item);
  ScriptedToolkit& chooseIndex(int comboId, int index0);
  ScriptedToolkit& radio(int id);                // the radio button with that identifier
  ScriptedToolkit& setCheck(int id, bool on);
  ScriptedToolkit& pick(int browseId, int row1);         // 1-based row in the list's order
  ScriptedToolkit& doubleClick(int browseId, int row1);
  ScriptedToolkit& close();                      // close box
  // A key pressed with the focus on control `id` (0: where it is): Tab, Shift+Tab,
  // Enter, Insert, Delete, F3, Escape (see ui::Key).
  ScriptedToolkit& key(int id, Key k);
  ScriptedToolkit& alt(char letter);             // Alt+letter: the button with that accelerator
  // Type-ahead on list `browseId`: the characters typed one by one with the list
  // focused (each one the list does not find is a failure).
  ScriptedToolkit& typeAhead(int browseId, std::string text);
  // A click on the header of column `col0` (0-based) of list `browseId`; refused
  // (no index orders by it) is a failure.
  ScriptedToolkit& sortBy(int browseId, int col0);
  // The next save dialog (askSaveFile): its title when given; the operator's answer,
  // a path, or nullopt to cancel. The proposals are kept in savesAsked().
  ScriptedToolkit& expectSaveFile(std::optional<std::string> answer, std::optional<std::string> title = std::nullopt);
  // Checks while the dialog is open.
  ScriptedToolkit& expectFocus(int id);
  ScriptedToolkit& expectText(int id, std::string text);  // a field's edit text or a label's text
  ScriptedToolkit& inspect(std::function<void(Dialog&)> fn);
  // Main window.
  ScriptedToolkit& menu(std::vector<std::string> path);
  ScriptedToolkit& mainBar(int index1);
  ScriptedToolkit& closeMain();

  // --- records ---------------------------------------------------------------------
  const std::vector<DialogRecord>& dialogs() const { return dialogs_; }
  const std::vector<MessageRecord>& messagesShown() const { return messages_; }
  const std::vector<std::string>& sounds() const { return sounds_; }
  const std::vector<WorkRecord>& work() const { return work_; }
  // The path each save dialog proposed, in order.
  const std::vector<std::string>& savesAsked() const { return saves_; }

  // --- verdict ---------------------------------------------------------------------
  const std::vector<std::string>& failures() const { return failures_; }
  size_t pending() const { return steps_.size(); }
  // No failure and every step played.
  bool ok() const { return failures_.empty() && steps_.empty(); }
  // Failures and unplayed steps, one per line (for the test's failure output).
  std::string report() const;
  // Forgets steps, records and failures.
  void reset();

  // --- Toolkit ---------------------------------------------------------------------
  bool show(MsgKind kind, const std::string& text, const std::string& title) override;
  void runModal(Dialog& dlg) override;
  void runMain(MainWindow& w) override;
  void playSound(const std::string& file) override { sounds_.push_back(file); }
  std::optional<std::string> askSaveFile(const std::string& title, const std::string& proposed,
                                         const std::string& filter) override;
  // The folder proposed is taken (and kept in savesAsked()): no step is needed.
  std::optional<std::string> askFolder(const std::string& title, const std::string& proposed) override {
    (void)title;
    saves_.push_back(proposed);
    return proposed;
  }
  void workBegin(const std::string& title, const std::string& what, long total) override {
    work_.push_back({title, what, total, -1});
  }
  void workEnd(long done) override {
    for (auto it = work_.rbegin(); it != work_.rend(); ++it) {
      if (it->done < 0) {
        it->done = done;
        break;
      }
    }
  }

 private:
  enum class Op {
    Dialog, Message, Type, Keys, Leave, Press, PressCaption, PressBar, Click, Choose, ChooseIndex, Radio,
    Check, Pick, DoubleClick, Close, KeyPress, Alt, ExpectFocus, ExpectText, Inspect, Menu, MainBar, CloseMain,
    TypeAhead, SortBy, SaveFile
  };
  struct Step {
    Op op;
    int id = 0;
    int n = 0;
    std::string text;
    std::optional<std::string> title;
    MsgKind kind = MsgKind::Info;
    bool flag = true;
    std::vector<std::string> path;
    std::function<void(Dialog&)> fn;
    Key key = Key::Tab;
  };
  ScriptedToolkit& push(Step s);
  static std::string describe(const Step& s);
  void fail(std::string why);
  void play(const Step& s, Dialog& dlg);
  Field* enterField(const Step& s, Dialog& dlg);

  std::deque<Step> steps_;  // front = next
  std::vector<DialogRecord> dialogs_;
  std::vector<MessageRecord> messages_;
  std::vector<std::string> sounds_;
  std::vector<WorkRecord> work_;
  std::vector<std::string> saves_;
  std::vector<std::string> failures_;
  std::vector<std::string> openDialogs_;
};

}  // namespace planilla::ui
