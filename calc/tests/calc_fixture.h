// Test data for the calculation runs: a company's tables in a temporary data
// directory, built through the catalog, and helpers to add and read records.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "session/session.h"
#include "session/startup.h"
#include "store/catalog.h"
#include "store/table.h"
#include "store/tests/store_test_util.h"
#include "ui/messages.h"

namespace planilla::calc::testing {

struct Shown {
  ui::MsgKind kind;
  std::string text;
  std::string title;
};

class RecordingMessages : public ui::Messages {
 public:
  bool show(ui::MsgKind kind, const std::string& text, const std::string& title) override {
    shown.push_back({kind, text, title});
    if (working) countShownWithMessage = workCount;
    return true;
  }
  // The busy indication: title, total, last count heard, and the count on screen
  // when the last message was shown during the work.
  void workBegin(const std::string& title, const std::string&, long total) override {
    workTitle = title, workTotal = total, workCount = 0, working = true;
  }
  void workProgress(long done) override { workCount = done; }
  void workEnd(long done) override { workCount = done, working = false; }
  std::string workTitle;
  long workTotal = -1, workCount = -1, countShownWithMessage = -1;
  bool working = false;
  bool has(const std::string& text) const {
    for (const auto& m : shown)
      if (m.text == text) return true;
    return false;
  }
  std::string all() const {
    std::string s;
    for (const auto& m : shown) s += "[" + m.title + ": " + m.text + "]";
    return s;
  }
  std::vector<Shown> shown;
};

using Val = std::variant<double, std::string, Date>;
using Fields = std::vector<std::pair<std::string, Val>>;

// One record read back: numbers by upper-case field name, text and dates too.
struct Row {
  std::map<std::string, double> n;
  std::map<std::string, std::string> s;
  std::string raw;
  double num(const std::string& f) const {
    auto it = n.find(f);
    EXPECT_NE(it, n.end()) << "campo " << f;
    return it == n.end() ? 0 : it->second;
  }
  std::string str(const std::string& f) const {
    auto it = s.find(f);
    EXPECT_NE(it, s.end()) << "campo " << f;
    return it == s.end() ? "" : it->second;
  }
};

inline std::string pad(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

class CalcFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "calc_testXXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
    ASSERT_FALSE(dir_.empty());
    session_ = std::make_unique<Session>(platformFileSystem(), msgs, dir_);
    session_->setRed(false);
    setDate(2016, 3, 31);
  }
  void TearDown() override {
    session_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  Session& s() { return *session_; }
  const std::string& dir() const { return dir_; }

  void setDate(int y, int m, int d) {
    s().YCIA = "01";
    s().YFECHA = Date(y, m, d);
    ASSERT_TRUE(FECRETE(s(), s().YFECHA));
  }

  catalog::Period period(const std::string& mes = "") const {
    catalog::Period p = session_->period();
    if (!mes.empty()) p.mes = mes;
    return p;
  }

  // The catalog definition with the fields a test creates it with.
  catalog::TableDef def(catalog::TableId id, const std::string& mes = "") const {
    catalog::TableDef d = catalog::define(id, period(mes));
    // Tag names are identifiers in the index file ("mes+codigo" is the key, not a name).
    for (auto& t : d.tags)
      for (char& c : t.name)
        if (c == '+') c = '_';
    if (d.fields.empty()) {
      switch (d.origin) {
        case catalog::Origin::MasterCopy: d.fields = catalog::employeeFields(); break;
        case catalog::Origin::RollTemplate: d.fields = catalog::rollTemplateFields(); break;
        case catalog::Origin::CalcTemplate:
        case catalog::Origin::External: d.fields = catalog::calcTemplateFields(); break;
        default: break;
      }
    }
    return d;
  }

  void create(catalog::TableId id, const std::string& mes = "") {
    catalog::TableDef d = def(id, mes);
    if (catalog::tableExists(s().fs(), dir_, d)) return;
    Status st = catalog::createWithTags(s().fs(), dir_, d);
    ASSERT_TRUE(st.isOk()) << st.message();
  }

  std::unique_ptr<Table> open(catalog::TableId id, const std::string& mes = "",
                              OpenMode mode = OpenMode::Exclusive) {
    auto t = catalog::openTable(s().fs(), dir_, def(id, mes), mode);
    EXPECT_TRUE(t.isOk()) << t.status().message();
    if (!t) return nullptr;
    return std::move(*t);
  }

  static void put(Table& t, const Fields& f) {
    for (const auto& [name, v] : f) {
      Status st;
      if (auto* d = std::get_if<double>(&v)) st = t.replace(name, *d);
      else if (auto* x = std::get_if<std::string>(&v)) st = t.replace(name, std::string_view(*x));
      else st = t.replace(name, std::get<Date>(v));
      ASSERT_TRUE(st.isOk()) << name << ": " << st.message();
    }
  }

  void add(catalog::TableId id, const Fields& f, const std::string& mes = "") {
    create(id, mes);
    auto t = open(id, mes);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->appendBlank().isOk());
    put(*t, f);
    t->close();
  }

  // Changes the record whose CODIGO (first tag) is `code`.
  void change(catalog::TableId id, const std::string& code, const Fields& f, const std::string& mes = "") {
    auto t = open(id, mes);
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->seek(code)) << code;
    put(*t, f);
    t->close();
  }

  // Writes `bytes` as they are into `field` of the record sought by `key` (the first
  // record when `key` is empty), as another program may leave a numeric field:
  // asterisks, letters, a decimal comma. Returns what the field held.
  std::string poke(catalog::TableId id, const std::string& key, const std::string& field, std::string bytes) {
    auto t = open(id);
    if (!t) return "";
    if (key.empty()) EXPECT_TRUE(t->goTop().isOk());
    else EXPECT_TRUE(t->seek(key)) << key;
    const std::string before = planilla::testing::pokeField(*t, field, std::move(bytes));
    t->close();
    return before;
  }

  std::vector<Row> rows(catalog::TableId id, const std::string& mes = "") {
    std::vector<Row> out;
    auto t = open(id, mes);
    if (!t) return out;
    for (Status st = t->goTop(); st && !t->eof(); st = t->skip()) {
      Row r;
      for (int i = 0; i < t->fieldCount(); ++i) {
        std::string name = t->field(i).name;
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (r.s.count(name)) continue;  // first field of the name
        r.s[name] = t->str(i);
        if (t->field(i).type == 'N') r.n[name] = t->num(i);
      }
      r.raw = t->rawRecord();
      out.push_back(std::move(r));
    }
    t->close();
    return out;
  }

  std::optional<Row> row(catalog::TableId id, const std::string& code, const std::string& mes = "") {
    for (auto& r : rows(id, mes))
      if (r.s["CODIGO"] == pad(code, 10)) return r;
    return std::nullopt;
  }

  bool exists(catalog::TableId id, const std::string& mes = "") {
    return catalog::tableExists(s().fs(), dir_, def(id, mes));
  }

  // --- a standard company ----------------------------------------------------------
  void makeTemplate() { create(catalog::TableId::CalcTemplate); }

  void makeRates(const Fields& extra = {}) {
    Fields f = {{"CODIGO", std::string("01")}, {"IPSST", 0.0},      {"SNPT", 13.0},     {"FONAVIT", 0.0},
                {"IPSSE", 9.0},                {"SNPE", 0.0},       {"FONAVIE", 0.0},   {"MINIVITAL", 850.0},
                {"HEXEMP1", 1.25},             {"HEXEMP2", 2.0},    {"UIT2", 3950.0},   {"SCALA01", 19750.0},
                {"SCALA02", 79000.0},          {"SCALA03", 138250.0}, {"SCALA04", 177750.0},
                {"SCALA05", 177750.0},         {"TASA08", 8.0},     {"TASA14", 14.0},   {"TASA17", 17.0},
                {"TASA20", 20.0},              {"TASA30", 30.0},    {"BONIFI9", 9.0},
                {"MESAFEC", std::string("07 JUL")}};
    for (auto& e : extra) f.push_back(e);
    add(catalog::TableId::Rates, f);
  }

  // Fund "INTEG " with the given rates for every month of the year.
  void makeFunds(double p1 = 10, double p2 = 1.36, double p3 = 1.55, double p4 = 9000) {
    create(catalog::TableId::PensionFunds);
    auto t = open(catalog::TableId::PensionFunds);
    ASSERT_TRUE(t);
    for (int m = 1; m <= 12; ++m) {
      char mes[3];
      std::snprintf(mes, sizeof mes, "%02d", m);
      ASSERT_TRUE(t->appendBlank().isOk());
      put(*t, {{"MES", std::string(mes)},
               {"CODIGO", std::string("INTEG ")},
               {"NOMBRE", std::string("INTEGRA")},
               {"AFPPOR1", p1},
               {"AFPPOR2", p2},
               {"AFPPOR3", p3},
               {"AFPPOR4", p4}});
    }
    t->close();
  }

  void makeExchange(const std::string& code = "TC0001", double dollar = 3.25, double euro = 3.6) {
    add(catalog::TableId::ExchangeRates, {{"CODIGO", code},
                                          {"CODCAM", std::string("3.250")},
                                          {"CODCAME", std::string("3.600")},
                                          {"TIP_CAM", dollar},
                                          {"TIP_CAME", euro}});
  }

  // An employee of the month's active table: soles, 1500.00 + 75.00, 30 days, public
  // pension, no fifth-category tax, paid by payslip.
  void addEmployee(const std::string& code, const Fields& extra = {}, catalog::TableId table =
                                                                          catalog::TableId::ActiveEmployees) {
    Fields f = {{"CODIGO", code},
                {"NOMBRE", "EMPLEADO " + code},
                {"CCOSTO", std::string("CC01")},
                {"CODAFP", std::string("      ")},
                {"FECH_ING", Date(2010, 1, 4)},
                {"BAS_MEN", 1500.0},
                {"ASIGNA", 75.0},
                {"DOLAR", std::string("S")},
                {"DIA_TRA", 30.0},
                {"QUINTA", std::string("N")},
                {"RETRI", std::string("1")},
                {"SEGUROAFP", std::string("S")},
                {"TIPTRAB", std::string("01")},
                {"HorasTra", 8.0}};
    for (auto& e : extra) f.push_back(e);
    add(table, f);
  }

  void makeYearTables() {
    create(catalog::TableId::Earnings);
    create(catalog::TableId::Deductions);
  }

  // Template, rates, funds, exchange rate, year tables and an empty active table.
  void makeCompany() {
    makeTemplate();
    makeRates();
    makeFunds();
    makeExchange();
    makeYearTables();
    create(catalog::TableId::ActiveEmployees);
  }

  RecordingMessages msgs;

 private:
  std::string dir_;
  std::unique_ptr<Session> session_;
};

}  // namespace planilla::calc::testing
