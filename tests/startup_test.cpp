// The tool's own start-up: the command tail it hands to WinMain, and the
// exit status it ends the process with.

#include "app/startup.h"
#include "tests/tool_fixture.h"

#include <algorithm>

namespace {

struct TailRow {
    const char *line;
    const char *tail;
};

void PrintTo(const TailRow &row, std::ostream *os)
{
    *os << row.line;
}

class CommandTailOf : public ::testing::TestWithParam<TailRow> {};

TEST_P(CommandTailOf, SkipsTheProgramNameAndBlanks)
{
    std::string line = GetParam().line;
    EXPECT_STREQ(CommandTail(line.data()), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandTailOf,
    ::testing::Values(TailRow{"", ""}, TailRow{"ATAPISW.EXE", ""}, TailRow{"ATAPISW.EXE   ", ""},
                      TailRow{"ATAPISW.EXE /x y", "/x y"},
                      TailRow{"C:\\TOOLS\\ATAPISW.EXE\t-a", "-a"},
                      TailRow{"\"C:\\Program Files\\ATAPISW.EXE\" /x", "/x"},
                      TailRow{"\"C:\\Program Files\\ATAPISW.EXE\"/x", "/x"},
                      TailRow{"\"C:\\unterminated quote /x", ""},
                      // Shift_JIS trail bytes never take the values of a blank or quote.
                      TailRow{"C:\\\x83\x5C\x83\x74\x83\x67\\A.EXE arg", "arg"}));

TEST(AppStartup, RunsTheToolAndExitsWithItsStatus)
{
    fake::Reset();
    fake::M().commandLine = "\"C:\\ATAPISW.EXE\" /q";
    fake::M().answers = {fake::kIdNo};
    try {
        AppStartup();
        ADD_FAILURE() << "AppStartup returned";
    } catch (const fake::ProcessExit &exit) {
        EXPECT_EQ(exit.code, 0u);
    }
    std::vector<std::string> names;
    for (const fake::Call &c : fake::M().calls)
        names.push_back(c.name);
    std::vector<std::string> expected = {"GetCommandLineA", "GetModuleHandleA", "MessageBoxA",
                                         "PostQuitMessage", "GetMessageA",      "ExitProcess"};
    std::sort(names.begin(), names.begin() + 2); // argument order is the compiler's
    EXPECT_EQ(names, expected);
}

} // namespace
