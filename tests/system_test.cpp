// The driver switch and the shutdown privilege, called directly.

#include "tests/tool_fixture.h"

using namespace tool_test;

namespace {

struct SwitchRow {
    const char *name;
    Seed atapi;
    Seed vendor;
    int flag;
    const char *report; // the one report box shown, or null for none
    std::string atapiAfter;
    std::string vendorAfter;
};

void PrintTo(const SwitchRow &row, std::ostream *os)
{
    *os << row.name;
}

std::vector<SwitchRow> SwitchRows()
{
    const std::string on = "4:00000000";
    const std::string off = "4:04000000";
    return {
        {"NeitherKey", NoKey(), NoKey(), 0, AtapiMissingText, "none", "none"},
        {"SystemKeyMissing", NoKey(), StartDword(1), 0, AtapiMissingText, "none", "4:01000000"},
        {"SystemKeyRefused", DeniedKey(4), StartDword(1), 0, AtapiMissingText, "4:04000000",
         "4:01000000"},
        {"VendorKeyMissing", StartDword(4), NoKey(), 0, VendorMissingText, "4:04000000", "none"},
        {"VendorKeyRefused", StartDword(4), DeniedKey(1), 0, VendorMissingText, "4:04000000",
         "4:01000000"},
        {"VendorStartMissing", StartDword(4), NoStart(), 0, VendorMissingText, "4:04000000",
         "none"},
        {"VendorStartTooLong", StartDword(4), StartData(fake::kRegBinary, {1, 0, 0, 0, 0, 0, 0, 0}),
         0, VendorMissingText, "4:04000000", "3:0100000000000000"},
        {"VendorDisabled", StartDword(4), StartDword(4), 0, VendorDisabledText, "4:04000000", off},
        {"VendorLowByteFour", StartDword(4), StartDword(0x104), 0, VendorDisabledText, "4:04000000",
         "4:04010000"},
        {"VendorOneByteFour", StartDword(4), StartData(fake::kRegBinary, {4}), 0,
         VendorDisabledText, "4:04000000", "3:04"},
        {"VendorBoot", StartDword(4), StartDword(0), 1, nullptr, on, off},
        {"VendorSystem", StartDword(4), StartDword(1), 1, nullptr, on, off},
        {"VendorAuto", StartDword(4), StartDword(2), 1, nullptr, on, off},
        {"VendorDemand", StartDword(4), StartDword(3), 1, nullptr, on, off},
        {"VendorHighBytes", StartDword(3), StartDword(0x201), 1, nullptr, on, off},
        {"VendorTextFour", StartDword(4), StartSz("4"), 1, nullptr, on, off},
        {"VendorStartEmpty", StartDword(4), StartData(fake::kRegBinary, {}), 1, nullptr, on, off},
        {"SystemStartMissing", NoStart(), StartDword(1), 1, nullptr, on, off},
        {"SystemStartWasBoot", StartDword(0), StartDword(1), 1, nullptr, on, off},
    };
}

class DriverSwitch : public ::testing::TestWithParam<SwitchRow> {
  protected:
    void SetUp() override { fake::Reset(); }
};

TEST_P(DriverSwitch, FlagReportAndStartValues)
{
    const SwitchRow &row = GetParam();
    // A first run on a disabled vendor driver leaves 04 in the memory where
    // the next run's read buffer lies, so that a decision taken on a byte
    // the read did not fill shows as "already disabled".
    SeedKey(AtapiServiceKey, StartDword(4));
    SeedKey(VendorServiceKey, StartDword(4));
    ASSERT_EQ(SwitchAtapiDriver(), 0);
    fake::Reset();
    SeedKey(AtapiServiceKey, row.atapi);
    SeedKey(VendorServiceKey, row.vendor);

    EXPECT_EQ(SwitchAtapiDriver(), row.flag);

    if (row.report != nullptr)
        ExpectBoxes({Report(row.report)});
    else
        ExpectBoxes({});
    EXPECT_EQ(StartAfter(AtapiServiceKey), row.atapiAfter);
    EXPECT_EQ(StartAfter(VendorServiceKey), row.vendorAfter);
    for (const auto &[handle, path] : fake::M().keyHandles)
        EXPECT_EQ(fake::M().keyCloses[handle], 1) << "closes of " << path;
    // The vendor key is not tried once the system key failed to open.
    if (row.report == AtapiMissingText) {
        EXPECT_EQ(fake::M().callCounts["RegOpenKeyExA"], 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, DriverSwitch, ::testing::ValuesIn(SwitchRows()),
                         [](const auto &info) { return std::string(info.param.name); });

struct PrivilegeRow {
    const char *name;
    const char *privilege;
    int enable;
    bool holds;
    const char *failCall;
    int flag;
    const char *report; // shown under PrivilegeCaption, or null for none
    bool enabledAfter;
    bool adjusted; // AdjustTokenPrivileges was called
};

void PrintTo(const PrivilegeRow &row, std::ostream *os)
{
    *os << row.name;
}

class Privilege : public ::testing::TestWithParam<PrivilegeRow> {
  protected:
    void SetUp() override { fake::Reset(); }
};

TEST_P(Privilege, FlagReportAndToken)
{
    const PrivilegeRow &row = GetParam();
    fake::M().tokenHoldsShutdown = row.holds;
    fake::M().enabledPrivileges = {23}; // SeChangeNotifyPrivilege, enabled in every token
    if (row.enable == 0)
        fake::M().enabledPrivileges.insert(19);
    if (row.failCall != nullptr)
        fake::Fail(row.failCall, 1);

    EXPECT_EQ(SetProcessPrivilege(row.privilege, row.enable), row.flag);

    if (row.report != nullptr)
        ExpectBoxes({PrivilegeReport(row.report)});
    else
        ExpectBoxes({});
    EXPECT_EQ(fake::M().enabledPrivileges.count(19) == 1, row.enabledAfter);
    EXPECT_EQ(fake::M().callCounts["AdjustTokenPrivileges"], row.adjusted ? 1 : 0);
    for (const auto &[token, closes] : fake::M().tokenCloses)
        EXPECT_EQ(closes, 1) << "closes of the token";
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Privilege,
    ::testing::Values(
        PrivilegeRow{"Enabled", "SeShutdownPrivilege", 1, true, nullptr, 1, nullptr, true, true},
        PrivilegeRow{"Disabled", "SeShutdownPrivilege", 0, true, nullptr, 1, nullptr, false, true},
        PrivilegeRow{"NotInToken", "SeShutdownPrivilege", 1, false, nullptr, 0, AdjustErrorText,
                     false, true},
        PrivilegeRow{"UnknownName", "SeNoSuchPrivilege", 1, true, nullptr, 0, LookupErrorText,
                     false, false},
        PrivilegeRow{"TokenNotOpened", "SeShutdownPrivilege", 1, true, "OpenProcessToken", 0,
                     nullptr, false, false},
        PrivilegeRow{"AdjustRefused", "SeShutdownPrivilege", 1, true, "AdjustTokenPrivileges", 0,
                     AdjustErrorText, false, true},
        PrivilegeRow{"TokenCloseFails", "SeShutdownPrivilege", 1, true, "CloseHandle", 1, nullptr,
                     true, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Privilege, StaleLastErrorIsNotMistakenForTheAdjustment)
{
    // The last error is read after the adjustment, which sets it; an error
    // left over from before must not decide the outcome.
    fake::Reset();
    fake::M().lastError = fake::kAccessDenied;
    EXPECT_EQ(SetProcessPrivilege(ShutdownPrivilegeName, 1), 1);
    ExpectBoxes({});
}

struct RestartRow {
    const char *name;
    bool holds;
    const char *failCall;
    std::vector<ShownBox> boxes;
    bool accepted; // the system took the restart request
};

void PrintTo(const RestartRow &row, std::ostream *os)
{
    *os << row.name;
}

class Restart : public ::testing::TestWithParam<RestartRow> {
  protected:
    void SetUp() override { fake::Reset(); }
};

TEST_P(Restart, RequestedWhateverThePrivilege)
{
    const RestartRow &row = GetParam();
    fake::M().tokenHoldsShutdown = row.holds;
    if (row.failCall != nullptr)
        fake::Fail(row.failCall, 1);

    RestartSystem();

    ExpectBoxes(row.boxes);
    EXPECT_EQ(fake::M().restartRequests, std::vector<UINT>{EWX_REBOOT});
    EXPECT_EQ(fake::M().calls.back().name, "ExitWindowsEx");
    EXPECT_EQ(fake::M().calls.back().args, "0x2, 0x0");
    EXPECT_EQ(fake::M().calls.back().result, row.accepted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Restart,
    ::testing::Values(
        RestartRow{"PrivilegeHeld", true, nullptr, {}, true},
        RestartRow{"PrivilegeAbsent", false, nullptr, {PrivilegeReport(AdjustErrorText)}, false},
        RestartRow{"TokenNotOpened", true, "OpenProcessToken", {}, false},
        RestartRow{"LookupFails",
                   true,
                   "LookupPrivilegeValueA",
                   {PrivilegeReport(LookupErrorText)},
                   false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
