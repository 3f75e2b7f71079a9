// The grand totals of the payroll book, the PDT, pension and net pay summaries equal
// the sums of the month's result table, on the demo company after its monthly run.
#include <cstdlib>
#include <map>
#include <sstream>

#include "calc/runs.h"
#include "reports/summaries.h"
#include "session/tests/demo_fixture.h"

namespace planilla::reports {
namespace {

using catalog::TableId;

// The amounts after each "{tab= +NNNN} " of a line.
std::vector<double> amountsOf(const std::string& line) {
  std::vector<double> v;
  for (size_t at = line.find("} {tab= +"); at != std::string::npos; at = line.find("} {tab= +", at + 1)) {
    size_t start = line.find("} ", at + 2) + 2;
    std::string n = line.substr(start, line.find('{', start) - start);
    std::erase(n, ',');
    if (n.find_first_of("0123456789") != std::string::npos) v.push_back(std::atof(n.c_str()));
  }
  return v;
}

std::string lineWith(const std::string& text, const std::string& marker) {
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l))
    if (l.find(marker) != std::string::npos) return l;
  return std::string();
}

class ReportTotals : public testing::DemoFixture {
 protected:
  void SetUp() override {
    DemoFixture::SetUp();
    chooseDemoDate();
    ASSERT_TRUE(calc::PROCE01(s(), "03 31 "));
    s().closeAll();
  }

  // Sums of the result rows accepted by `keep`, per field.
  std::map<std::string, double> sums(const std::function<bool(const Table&)>& keep) {
    std::map<std::string, double> out;
    auto t = Table::openReadOnly(platformFileSystem(), dir.file(s().def(TableId::PayrollSoles).dbf()));
    EXPECT_TRUE(t.isOk());
    EXPECT_TRUE(t.value()->goTop().isOk());
    for (; !t.value()->eof(); (void)t.value()->skip(1)) {
      if (!keep(*t.value())) continue;
      for (const char* f : {"TBRUTO", "SNPT", "RTA_5TA", "ESVIDA", "IPSSE", "T_DSCTOT", "TPAGAR", "ESCOLAR", "AAPOR1",
                            "AAPOR2", "AAPOR3", "BAS_QUI"})
        out[f] += t.value()->num(f);
    }
    return out;
  }

  std::map<std::string, std::string> currencies() {
    std::map<std::string, std::string> m;
    auto t = Table::openReadOnly(platformFileSystem(), dir.file(s().def(TableId::EmployeeMaster).dbf()));
    EXPECT_TRUE(t.isOk());
    EXPECT_TRUE(t.value()->goTop().isOk());
    for (; !t.value()->eof(); (void)t.value()->skip(1)) m[t.value()->str("CODIGO")] = t.value()->str("DOLAR");
    return m;
  }

  static void near(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 0.005) << "columna " << i + 1;
  }
};

TEST_F(ReportTotals, GrandTotalsEqualTheMonthsResults) {
  auto all = sums([](const Table&) { return true; });
  ASSERT_GT(all["TBRUTO"], 0);

  std::string ruc;
  ASSERT_TRUE(checkPayrollBook(s(), ruc) && PREP406(s(), ruc, false));
  const std::string book = read("Test.rpv");
  const auto l1 = amountsOf(lineWith(book, "RESUMEN :"));
  ASSERT_EQ(l1.size(), 8u);
  EXPECT_NEAR(l1.front(), all["BAS_QUI"], 0.005);
  EXPECT_NEAR(l1.back(), all["TBRUTO"], 0.005);
  EXPECT_NEAR(l1[3], all["SNPT"], 0.005);
  EXPECT_NEAR(l1[6], all["IPSSE"], 0.005);

  ASSERT_TRUE(REPXXP404(s(), false));
  near(amountsOf(lineWith(read("Test.rpv"), "TOTAL PDT-SUNAT")),
       {all["TBRUTO"], all["SNPT"], all["RTA_5TA"], all["ESVIDA"], all["IPSSE"],
        all["SNPT"] + all["RTA_5TA"] + all["ESVIDA"] + all["IPSSE"]});

  auto funds = sums([](const Table& t) { return t.str("CODAFP") != std::string(6, ' '); });
  ASSERT_TRUE(checkPensionSummary(s()) && REPXXP405(s(), false));
  const double ret = funds["AAPOR2"] + funds["AAPOR3"];
  near(amountsOf(lineWith(read("Test.rpv"), "TOTAL APORTES PREVISIONALES")),
       {funds["TBRUTO"] - funds["ESCOLAR"], funds["AAPOR1"], funds["AAPOR2"], funds["AAPOR3"], ret,
        funds["AAPOR1"] + ret});

  const auto cur = currencies();
  auto soles = sums([&](const Table& t) {
    auto it = cur.find(t.str("CODIGO"));
    return it != cur.end() && it->second == "S";
  });
  ASSERT_LT(soles["TBRUTO"], all["TBRUTO"]);  // the demo pays some in dollars and euros
  ASSERT_TRUE(checkNetPay(s()) && PREP426(s(), 3, false));
  near(amountsOf(lineWith(read("Test.rpv"), "TOTAL PLANILLA")),
       {soles["TBRUTO"], soles["T_DSCTOT"], soles["TPAGAR"], soles["IPSSE"], soles["TBRUTO"] + soles["IPSSE"]});
}

}  // namespace
}  // namespace planilla::reports
