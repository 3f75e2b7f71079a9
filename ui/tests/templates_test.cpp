#include "ui/templates.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace planilla::ui {
namespace {

struct Expected {
  const char* name;
  int width, height, controls;
};
// Sizes and control counts of the dialogs the screens open.
constexpr Expected kExpected[] = {
    {"ACCESO1", 167, 83, 8},     {"ACERCATHKYL", 200, 135, 10}, {"CALCU01", 259, 83, 6},
    {"ELEGIRCIA", 307, 112, 8},  {"REPP401", 324, 110, 6},      {"MANTE02", 320, 255, 1},
    {"MANTE03", 358, 269, 1},    {"EDITBANCO", 398, 126, 8},    {"EDITNACION", 330, 152, 6},
    {"EDITPORCE", 380, 329, 62}, {"EDITCAMB", 182, 167, 12},    {"TCCTS", 230, 152, 12},
    {"EDITAFPS", 230, 191, 16},  {"INDEX01HONORA", 191, 68, 2}, {"MAYORIZACIONCONTABLE", 191, 68, 2},
    {"REPOR402", 191, 68, 2},    {"REPP430", 314, 124, 8},      {"REPP431", 228, 137, 4},
    {"MANTEP02", 521, 376, 1},   {"CLAVEEDIT", 283, 183, 13},   {"MANTE06", 575, 300, 6},
    {"MANTEP03", 529, 328, 10},  {"MANTECLAVE", 491, 328, 6},     {"EDITCIA", 334, 229, 26},
    {"EDITPARA1", 278, 219, 14}, {"EDITCTS", 278, 167, 11},       {"MODICTS", 278, 167, 11},
    {"EDITVACAE", 320, 196, 13},
    {"EDITEMPLE", 499, 353, 91}, {"EDITACTI", 422, 385, 87},  {"ONEREFRES", 260, 92, 6},
    {"EDITADIC", 500, 322, 114},
    {"EDITHABER", 290, 236, 32}, {"EDITRETE", 276, 232, 32}, {"EDITSALUD", 327, 289, 56}, {"EDITPLANI", 378, 378, 131},
    {"MANTE04", 600, 300, 7},    {"MANTE041", 600, 300, 3},   {"EDITHORAE", 360, 228, 36},
    {"EDITGRATI", 300, 190, 19}, {"MODIGRATI", 300, 190, 19}, {"EDITSUELDO", 474, 238, 57},
};

TEST(Templates, EveryScreenTemplateIsEmbeddedWithItsSize) {
  for (const auto& e : kExpected) {
    const DialogTemplate* t = findTemplate(e.name);
    ASSERT_NE(t, nullptr) << e.name;
    EXPECT_EQ(t->width, e.width) << e.name;
    EXPECT_EQ(t->height, e.height) << e.name;
    EXPECT_EQ(static_cast<int>(t->controls.size()), e.controls) << e.name;
  }
}

TEST(Templates, NamesMatchWithoutRegardToCase) {
  EXPECT_EQ(findTemplate("EditBanco"), findTemplate("EDITBANCO"));
  EXPECT_NE(findTemplate("editbanco"), nullptr);
  EXPECT_EQ(findTemplate("NoHayTal"), nullptr);
}

TEST(Templates, QuotedCaptionsAndIdentifiers) {
  const DialogTemplate* t = findTemplate("EditBanco");
  ASSERT_NE(t, nullptr);
  ASSERT_NE(t->find(102), nullptr);
  EXPECT_EQ(t->find(102)->cls, ControlClass::Edit);
  EXPECT_EQ(t->find(101)->text, "Codigo :");
  EXPECT_EQ(t->find(106)->cls, ControlClass::ComboBox);
  EXPECT_EQ(t->find(301)->text, "&Aceptar");
  EXPECT_EQ(findTemplate("TcCts")->find(101)->text, " D  i  a  :");
  EXPECT_EQ(findTemplate("ACCESO1")->controls[0].text, "Acceso ");
  // Non-ASCII captions arrive as Windows-1252.
  bool found = false;
  for (const auto& c : findTemplate("ACCESO1")->controls) found = found || c.text == "Contrase\xF1" "a :";
  EXPECT_TRUE(found);
  EXPECT_EQ(findTemplate("EDITPORCE")->find(146)->cls, ControlClass::ComboBox);
  EXPECT_EQ(findTemplate("EDITPORCE")->find(203)->text, "Tope  +5 A 20  UIT :");
}

TEST(Templates, IdentifiersAreUniqueAndControlsInside) {
  for (const auto& name : templateNames()) {
    const DialogTemplate* t = findTemplate(name);
    std::set<int> ids;
    for (const auto& c : t->controls) {
      if (c.id != 65535) {
        EXPECT_TRUE(ids.insert(c.id).second) << name << " repeats " << c.id;
      }
      EXPECT_LE(c.x + c.w, t->width) << name << " " << c.id;
      EXPECT_LE(c.y + c.h, t->height) << name << " " << c.id;
      EXPECT_GT(c.w, 0) << name << " " << c.id;
    }
  }
}

TEST(Templates, EverySourceFileParsesAndIsEmbedded) {
  std::filesystem::path dir = std::filesystem::path(PLANILLA_SOURCE_DIR) / "ui" / "templates";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no source tree at " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".dlg") continue;
    ++files;
    std::ifstream in(entry.path());
    std::stringstream ss;
    ss << in.rdbuf();
    auto r = parseTemplate(ss.str());
    ASSERT_TRUE(r.isOk()) << entry.path() << ": " << r.status().message();
    EXPECT_EQ(r->name, entry.path().stem().string()) << "file name and dialog name differ";
    EXPECT_NE(findTemplate(r->name), nullptr) << r->name << " not embedded";
  }
  EXPECT_EQ(files, static_cast<int>(templateNames().size()));
}

TEST(TemplateParser, ReportsBadLines) {
  EXPECT_FALSE(parseTemplate("").isOk());
  EXPECT_FALSE(parseTemplate("101 label 0 0 10 10").isOk());  // no dialog line
  EXPECT_FALSE(parseTemplate("dialog X 10 10\n101 label 0 0 20 5").isOk());  // outside
  EXPECT_FALSE(parseTemplate("dialog X 100 100\n101 widget 0 0 20 5").isOk());
  EXPECT_FALSE(parseTemplate("dialog X 100 100\n101 label 0 0 20 5 \"open").isOk());
  EXPECT_FALSE(parseTemplate("dialog X 100 100\n70000 label 0 0 20 5").isOk());
  auto bad = parseTemplate("dialog X 100 100\n\n101 label 0 0 20 x");
  ASSERT_FALSE(bad.isOk());
  EXPECT_NE(bad.status().message().find("linea 3"), std::string::npos) << bad.status().message();
  auto ok = parseTemplate("# c\ndialog small 100 50  # tail\ntitle \"T \\\"x\\\"\"\n65535 label 1 2 30 8 \"a # b\"\n");
  ASSERT_TRUE(ok.isOk()) << ok.status().message();
  EXPECT_EQ(ok->name, "SMALL");
  EXPECT_EQ(ok->title, "T \"x\"");
  EXPECT_EQ(ok->controls.at(0).text, "a # b");
  EXPECT_EQ(ok->controls.at(0).y, 2);
}

}  // namespace
}  // namespace planilla::ui
