// For each way a run can go, makes each platform call it makes fail in
// turn, one at a time, and checks what must hold whatever fails: the exit
// status, every handle closed once, no vendor write before the system's
// succeeded, no restart offered after a failed switch, nothing of the
// system touched after a question not answered Yes.

#include "tests/tool_fixture.h"

using namespace tool_test;

namespace {

struct SweepFlow {
    const char *name;
    Seed atapi;
    Seed vendor;
    std::vector<int> answers;
    bool holdsShutdown;
};

void PrintTo(const SweepFlow &row, std::ostream *os)
{
    *os << row.name;
}

std::vector<SweepFlow> SweepFlows()
{
    return {
        {"Declined", StartDword(4), StartDword(1), {fake::kIdNo}, true},
        {"SystemKeyMissing", NoKey(), StartDword(1), {IDYES}, true},
        {"VendorKeyMissing", StartDword(4), NoKey(), {IDYES}, true},
        {"VendorStartMissing", StartDword(4), NoStart(), {IDYES}, true},
        {"VendorDisabled", StartDword(4), StartDword(4), {IDYES}, true},
        {"SwitchedNoRestart", StartDword(4), StartDword(1), {IDYES, fake::kIdNo}, true},
        {"SwitchedRestart", StartDword(4), StartDword(1), {IDYES, IDYES}, true},
        {"SwitchedRestartWithoutPrivilege", StartDword(4), StartDword(1), {IDYES, IDYES}, false},
    };
}

int RunFlow(const SweepFlow &flow, const std::string &failCall, int occurrence)
{
    fake::Reset();
    SeedKey(AtapiServiceKey, flow.atapi);
    SeedKey(VendorServiceKey, flow.vendor);
    fake::M().answers.assign(flow.answers.begin(), flow.answers.end());
    fake::M().tokenHoldsShutdown = flow.holdsShutdown;
    if (!failCall.empty())
        fake::Fail(failCall, occurrence);
    return RunTool();
}

class FaultSweep : public ::testing::TestWithParam<SweepFlow> {};

TEST_P(FaultSweep, EveryCallFailingInTurnLeavesASoundRun)
{
    const SweepFlow &flow = GetParam();
    ExpectSoundRun(RunFlow(flow, "", 0));
    std::vector<fake::Call> clean = fake::M().calls;

    std::map<std::string, int> seen;
    int points = 0;
    for (const fake::Call &call : clean) {
        int occurrence = ++seen[call.name];
        if (!fake::CanFail(call.name))
            continue;
        SCOPED_TRACE(call.name + " #" + std::to_string(occurrence) + " fails");
        int status = RunFlow(flow, call.name, occurrence);
        ASSERT_EQ(fake::M().callCounts[call.name] >= occurrence, true) << "failure not reached";
        ExpectSoundRun(status);
        ++points;
    }
    EXPECT_GT(points, 0);
    std::printf("[ sweep    ] %s: %d failure points\n", flow.name, points);
}

INSTANTIATE_TEST_SUITE_P(Flows, FaultSweep, ::testing::ValuesIn(SweepFlows()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
