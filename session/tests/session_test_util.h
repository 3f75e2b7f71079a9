// Helpers of the start-up and session tests: a scratch data directory, a message box
// recorder and a ready-made installation.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session/install.h"
#include "session/session.h"
#include "store/tests/temp_dir.h"
#include "ui/messages.h"

namespace planilla::testing {

// A scratch folder named "planilla-app-XXXXXX".
struct TempDir : testutil::TempDir {
  TempDir() : testutil::TempDir("planilla-app") {}
};

// Records every message box; yes/no questions get `answer`.
class RecordingMessages : public ui::Messages {
 public:
  struct Box {
    ui::MsgKind kind;
    std::string text;
    std::string title;
  };
  bool show(ui::MsgKind kind, const std::string& text, const std::string& title) override {
    boxes.push_back({kind, text, title});
    return ui::isQuestion(kind) ? answer : true;
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
  }
  std::vector<Box> boxes;
  bool answer = true;
};

// A station: a session on `dir` with its own message recorder.
struct Station {
  explicit Station(const std::string& dir, bool red = false) : session(platformFileSystem(), messages, dir) {
    session.setRed(red);
  }
  RecordingMessages messages;
  Session session;
};

}  // namespace planilla::testing
