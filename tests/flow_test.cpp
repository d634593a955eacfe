// Whole runs of the tool through WinMain: which boxes the user sees, what
// the registry holds afterwards, whether a restart is requested.

#include "tests/tool_fixture.h"

using namespace tool_test;

namespace {

const std::string kSystemOn = "4:00000000";
const std::string kVendorOff = "4:04000000";

struct FlowRow {
    const char *name;
    Seed atapi;
    Seed vendor;
    std::vector<int> answers;
    std::vector<ShownBox> boxes;
    std::string atapiAfter;
    std::string vendorAfter;
    std::vector<UINT> restarts;
    bool holdsShutdown = true;
    const char *failCall = nullptr; // a platform call made to fail, once
    int failOccurrence = 0;
};

void PrintTo(const FlowRow &row, std::ostream *os)
{
    *os << row.name;
}

std::vector<FlowRow> FlowRows()
{
    const Seed onVendor = StartDword(1);
    const Seed atapiOff = StartDword(4);
    return {
        {"DeclinedAtFirst",
         atapiOff,
         onVendor,
         {fake::kIdNo},
         {Question(IntroText)},
         "4:04000000",
         "4:01000000",
         {}},
        {"FirstBoxNotShown",
         atapiOff,
         onVendor,
         {},
         {},
         "4:04000000",
         "4:01000000",
         {},
         true,
         "MessageBoxA",
         1},
        {"SystemKeyMissing",
         NoKey(),
         onVendor,
         {IDYES},
         {Question(IntroText), Report(AtapiMissingText)},
         "none",
         "4:01000000",
         {}},
        {"SystemKeyRefused",
         DeniedKey(4),
         onVendor,
         {IDYES},
         {Question(IntroText), Report(AtapiMissingText)},
         "4:04000000",
         "4:01000000",
         {}},
        {"VendorKeyMissing",
         atapiOff,
         NoKey(),
         {IDYES},
         {Question(IntroText), Report(VendorMissingText)},
         "4:04000000",
         "none",
         {}},
        {"VendorStartMissing",
         atapiOff,
         NoStart(),
         {IDYES},
         {Question(IntroText), Report(VendorMissingText)},
         "4:04000000",
         "none",
         {}},
        {"VendorAlreadyDisabled",
         atapiOff,
         StartDword(4),
         {IDYES},
         {Question(IntroText), Report(VendorDisabledText)},
         "4:04000000",
         kVendorOff,
         {}},
        {"SwitchedNoRestart",
         atapiOff,
         onVendor,
         {IDYES, fake::kIdNo},
         {Question(IntroText), Question(RestartPromptText)},
         kSystemOn,
         kVendorOff,
         {}},
        {"SwitchedRestartBoxNotShown",
         atapiOff,
         onVendor,
         {IDYES},
         {Question(IntroText)},
         kSystemOn,
         kVendorOff,
         {},
         true,
         "MessageBoxA",
         2},
        {"SwitchedRestart",
         atapiOff,
         onVendor,
         {IDYES, IDYES},
         {Question(IntroText), Question(RestartPromptText)},
         kSystemOn,
         kVendorOff,
         {EWX_REBOOT}},
        {"SwitchedRestartWithoutPrivilege",
         atapiOff,
         onVendor,
         {IDYES, IDYES},
         {Question(IntroText), Question(RestartPromptText), PrivilegeReport(AdjustErrorText)},
         kSystemOn,
         kVendorOff,
         {EWX_REBOOT},
         false},
        {"SwitchedRestartLookupFails",
         atapiOff,
         onVendor,
         {IDYES, IDYES},
         {Question(IntroText), Question(RestartPromptText), PrivilegeReport(LookupErrorText)},
         kSystemOn,
         kVendorOff,
         {EWX_REBOOT},
         true,
         "LookupPrivilegeValueA",
         1},
        // A failed write is reported and no restart is offered; the vendor
        // driver is left as it was unless the system driver is set to boot.
        {"SystemWriteFails",
         atapiOff,
         onVendor,
         {IDYES},
         {Question(IntroText), Report(WriteFailedText)},
         "4:04000000",
         "4:01000000",
         {},
         true,
         "RegSetValueExA",
         1},
        {"VendorWriteFails",
         atapiOff,
         onVendor,
         {IDYES},
         {Question(IntroText), Report(WriteFailedText)},
         kSystemOn,
         "4:01000000",
         {},
         true,
         "RegSetValueExA",
         2},
    };
}

class ProgramFlow : public ::testing::TestWithParam<FlowRow> {
  protected:
    void SetUp() override { fake::Reset(); }
};

TEST_P(ProgramFlow, BoxesRegistryAndRestart)
{
    const FlowRow &row = GetParam();
    SeedKey(AtapiServiceKey, row.atapi);
    SeedKey(VendorServiceKey, row.vendor);
    fake::M().answers.assign(row.answers.begin(), row.answers.end());
    fake::M().tokenHoldsShutdown = row.holdsShutdown;
    if (row.failCall != nullptr)
        fake::Fail(row.failCall, row.failOccurrence);

    int status = RunTool();

    ExpectBoxes(row.boxes);
    EXPECT_EQ(StartAfter(AtapiServiceKey), row.atapiAfter);
    EXPECT_EQ(StartAfter(VendorServiceKey), row.vendorAfter);
    EXPECT_EQ(fake::M().restartRequests, row.restarts);
    EXPECT_TRUE(fake::M().answers.empty()) << "questions left unasked";
    ExpectSoundRun(status);
}

INSTANTIATE_TEST_SUITE_P(Runs, ProgramFlow, ::testing::ValuesIn(FlowRows()),
                         [](const auto &info) { return std::string(info.param.name); });

class Flow : public ::testing::Test {
  protected:
    void SetUp() override
    {
        fake::Reset();
        SeedKey(AtapiServiceKey, StartDword(4));
        SeedKey(VendorServiceKey, StartDword(1));
    }

    // The calls made, each as "name key", in order, leaving out the pump.
    static std::vector<std::string> SystemCalls()
    {
        std::vector<std::string> out;
        for (const fake::Call &c : fake::M().calls)
            if (c.name != "MessageBoxA" && !IsPumpCall(c.name))
                out.push_back(c.name + (c.key.empty() ? "" : " " + c.key.substr(34)) +
                              (c.args.empty() ? "" : "(" + c.args + ")"));
        return out;
    }
};

TEST_F(Flow, TypicalRunCallsThePlatformInOrder)
{
    fake::M().answers = {IDYES, IDYES};
    EXPECT_EQ(RunTool(), 0);
    std::vector<std::string> expected = {
        "RegOpenKeyExA atapi(\"System\\CurrentControlSet\\Services\\atapi\", 0x0, 0xf003f)",
        "RegOpenKeyExA zyratapi(\"System\\CurrentControlSet\\Services\\zyratapi\", 0x0, 0xf003f)",
        "RegQueryValueExA zyratapi(\"Start\", size 0x4 -> 01 00 00 00)",
        "RegSetValueExA atapi(\"Start\", 0x0, 0x4, 00 00 00 00, 0x4)",
        "RegSetValueExA zyratapi(\"Start\", 0x0, 0x4, 04 00 00 00, 0x4)",
        "RegCloseKey atapi",
        "RegCloseKey zyratapi",
        "GetCurrentProcess",
        "OpenProcessToken(0xffffffffffffffff, 0x28)",
        "LookupPrivilegeValueA(NULL, \"SeShutdownPrivilege\")",
        "AdjustTokenPrivileges(0x1008, 0x0, count 0x1, luid 0x13:0x0, attributes 0x2, 0x0, NULL, "
        "NULL)",
        "GetLastError",
        "CloseHandle(0x1008)",
        "ExitWindowsEx(0x2, 0x0)",
    };
    EXPECT_EQ(SystemCalls(), expected);
    // The other values of the keys are left alone.
    EXPECT_EQ(fake::M().hklm[AtapiServiceKey].values.size(), 2u);
    EXPECT_EQ(fake::M().hklm[VendorServiceKey].values.size(), 2u);
}

TEST_F(Flow, MessagesQueuedAheadOfQuitAreDispatchedFirst)
{
    fake::M().answers = {fake::kIdNo};
    fake::M().queued = {MSG{nullptr, 0x0113 /* WM_TIMER */, 0, 0, 0, {0, 0}},
                        MSG{nullptr, 0x0400 /* WM_USER */, 0, 0, 0, {0, 0}}};
    EXPECT_EQ(RunTool(), 0);
    EXPECT_EQ(fake::M().dispatched, 2);
    EXPECT_EQ(fake::M().callCounts["GetMessageA"], 3);
}

TEST_F(Flow, FailedMessageFetchEndsThePump)
{
    // A loop that tested the fetch only against zero would dispatch the
    // record it never got and fetch again.
    fake::M().answers = {fake::kIdNo};
    fake::M().queued = {MSG{nullptr, 0x0400, 0, 0, 0, {0, 0}}};
    fake::Fail("GetMessageA", 1);
    EXPECT_EQ(RunTool(), 0);
    EXPECT_EQ(fake::M().callCounts["GetMessageA"], 1);
    EXPECT_EQ(fake::M().dispatched, 0);
}

TEST_F(Flow, CommandLineArgumentsChangeNothing)
{
    const char *lines[] = {"ATAPISW.EXE", "ATAPISW.EXE /restart /force",
                           "\"C:\\Program Files\\ATAPISW.EXE\" -y zyratapi 4", "ATAPISW.EXE \"\""};
    std::vector<std::string> reference;
    for (const char *line : lines) {
        SCOPED_TRACE(line);
        SetUp();
        fake::M().commandLine = line;
        fake::M().answers = {IDYES, fake::kIdNo};
        EXPECT_EQ(RunTool(), 0);
        std::vector<std::string> seen = SystemCalls();
        for (const fake::Box &b : fake::M().boxes)
            seen.push_back(b.text);
        if (reference.empty())
            reference = seen;
        EXPECT_EQ(seen, reference);
    }
}

} // namespace
