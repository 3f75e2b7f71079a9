// The run register as the monthly run writes it: a run that finished with its totals,
// one that stopped with the message it showed, one whose process died in the middle
// (read as interrupted), and one still going on another session.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "calc/runs.h"
#include "calc/tests/calc_fixture.h"
#include "session/run_register.h"

namespace planilla::calc {
namespace {

using catalog::TableId;

// A station that dies when the run starts its work on the employees: the register's
// record is written, the new results are being built.
class DyingMessages : public ui::Messages {
 public:
  bool show(ui::MsgKind, const std::string&, const std::string&) override { return true; }
  void workBegin(const std::string&, const std::string&, long) override { ::_exit(7); }
};

class Register : public testing::CalcFixture {
 protected:
  void SetUp() override {
    CalcFixture::SetUp();
    makeCompany();
    s().userCode = "ANA";
    s().station = "CAJA-01";
  }
  std::vector<RunRow> rows() {
    std::vector<RunRow> out;
    EXPECT_TRUE(readRunRegister(s(), &out).isOk());
    return out;
  }
};

TEST_F(Register, FinishedStoppedInterruptedAndRunning) {
  // Two employees paid as a fee, nothing withheld: gross = net = 2000 + 1500 = 3500.00.
  addEmployee("E001", {{"RETRI", std::string("2")}, {"BAS_MEN", 2000.0}});
  addEmployee("E002", {{"RETRI", std::string("2")}, {"BAS_MEN", 1500.0}});
  ASSERT_TRUE(PROCE01(s(), "TC0001")) << msgs.all();
  ASSERT_FALSE(PROCE01(s(), "NOHAY1"));

  // A run whose process is killed half-way.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DyingMessages dying;
    Session other(platformFileSystem(), dying, dir());
    other.YCIA = "01";
    other.YFECHA = s().YFECHA;
    if (!FECRETE(other, other.YFECHA)) ::_exit(1);
    (void)PROCE01(other, "TC0001");
    ::_exit(2);  // not reached: the run dies first
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 7);

  std::vector<RunRow> r = rows();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].process, "PLANILLA");
  EXPECT_EQ(r[0].period, "201603");
  EXPECT_EQ(r[0].user, "ANA");
  EXPECT_EQ(r[0].station, "CAJA-01");
  EXPECT_EQ(r[0].state, 'T');
  EXPECT_EQ(r[0].totals.employees, 2);
  EXPECT_DOUBLE_EQ(r[0].totals.gross, 3500.00);
  EXPECT_DOUBLE_EQ(r[0].totals.deductions, 0.00);
  EXPECT_DOUBLE_EQ(r[0].totals.net, 3500.00);
  EXPECT_LE(r[0].start, r[0].end);
  EXPECT_EQ(r[1].state, 'D');
  EXPECT_EQ(r[1].message, "Tipo De Cambio  NOHAY1 No Existe");
  EXPECT_EQ(r[2].state, 'I');
  EXPECT_EQ(runStateText(r[2].state), "Interrumpido");
  EXPECT_EQ(r[2].end, "");

  // A run going on in another session: its record is read as running until it ends.
  {
    testing::RecordingMessages quiet;
    Session other(platformFileSystem(), quiet, dir());
    other.YCIA = "01";
    ASSERT_TRUE(FECRETE(other, s().YFECHA));
    RunRecord going(other, kRunGratification);
    ASSERT_TRUE(going.started());
    r = rows();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[3].state, 'E');
    going.finish();
  }
  r = rows();
  EXPECT_EQ(r[3].state, 'T');
  EXPECT_EQ(r[2].state, 'I');  // the dead one stays so
}

}  // namespace
}  // namespace planilla::calc
