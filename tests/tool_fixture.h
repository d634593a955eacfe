// Shared pieces of the native tests: seeding the two service keys, running
// the tool, and the checks every run must pass whatever happened in it.
#pragma once

#include "system/driver_switch.h"
#include "system/restart.h"
#include "tests/fake_platform.h"
#include "ui/messages.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tool_test {

using fake::Bytes;

// How a service key stands before the run.
struct Seed {
    enum Kind { Absent, Denied, NoStart, Start } kind = Absent;
    DWORD type = 0;
    Bytes data;
    std::string text;
};

inline Seed Make(Seed::Kind kind, DWORD type = 0, Bytes data = {}, const char *text = nullptr)
{
    Seed seed;
    seed.kind = kind;
    seed.type = type;
    seed.data = std::move(data);
    seed.text = text ? text : "";
    return seed;
}
inline Seed NoKey()
{
    return Make(Seed::Absent);
}
// A key the caller may not open for full access; its Start is d.
inline Seed DeniedKey(DWORD d)
{
    return Make(Seed::Denied, fake::kRegDword, fake::Dword(d));
}
inline Seed NoStart()
{
    return Make(Seed::NoStart);
}
inline Seed StartDword(DWORD v)
{
    return Make(Seed::Start, fake::kRegDword, fake::Dword(v));
}
inline Seed StartData(DWORD type, Bytes data)
{
    return Make(Seed::Start, type, std::move(data));
}
inline Seed StartSz(const char *s)
{
    return Make(Seed::Start, fake::kRegSz, {}, s);
}

inline void SeedKey(const char *path, const Seed &seed)
{
    if (seed.kind == Seed::Absent)
        return;
    fake::AddKey(path);
    fake::M().hklm[path].denyOpen = seed.kind == Seed::Denied;
    // Every real service key has more than its Start value; it must survive.
    fake::SetValue(path, "Type", fake::kRegDword, fake::Dword(1));
    if (seed.kind == Seed::Start && seed.type == fake::kRegSz)
        fake::SetString(path, StartValueName, seed.text);
    else if (seed.kind == Seed::Start || seed.kind == Seed::Denied)
        fake::SetValue(path, StartValueName, seed.type, seed.data);
}

// The Start value afterwards as "type:bytes", or "none" when absent.
inline std::string StartAfter(const char *path)
{
    std::optional<fake::Value> v = fake::GetValue(path, StartValueName);
    if (!v)
        return "none";
    std::string out = std::to_string(v->type) + ":";
    for (BYTE b : v->data) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

// A box as the user saw it.
struct ShownBox {
    const char *text;
    const char *caption;
    UINT style;
};

inline ShownBox Question(const char *text)
{
    return {text, TitleText, MB_YESNO};
}
inline ShownBox Report(const char *text)
{
    return {text, TitleText, MB_OK};
}
inline ShownBox PrivilegeReport(const char *text)
{
    return {text, PrivilegeCaption, MB_OK};
}

inline void ExpectBoxes(const std::vector<ShownBox> &expected)
{
    const std::vector<fake::Box> &shown = fake::M().boxes;
    ASSERT_EQ(shown.size(), expected.size()) << "number of boxes shown";
    for (size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE("box " + std::to_string(i + 1));
        EXPECT_TRUE(shown[i].ownerless);
        EXPECT_EQ(shown[i].text, expected[i].text);
        EXPECT_EQ(shown[i].caption, expected[i].caption);
        EXPECT_EQ(shown[i].style, expected[i].style);
    }
}

inline int RunTool()
{
    return WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, fake::M().commandLine.data(),
                   SW_SHOWDEFAULT);
}

inline bool IsPumpCall(const std::string &name)
{
    return name == "PostQuitMessage" || name == "GetMessageA" || name == "TranslateMessage" ||
           name == "DispatchMessageA";
}

// What holds after every run of the tool, whatever failed along the way.
inline void ExpectSoundRun(int status)
{
    const fake::Machine &m = fake::M();
    EXPECT_EQ(status, 0) << "exit status";

    for (const auto &[handle, path] : m.keyHandles)
        EXPECT_EQ(m.keyCloses.at(handle), 1) << "closes of the key " << path;
    for (const auto &[token, closes] : m.tokenCloses)
        EXPECT_EQ(closes, 1) << "closes of the process token";

    bool systemWritten = false;
    bool vendorWritten = false;
    bool declined = false;
    for (const fake::Call &c : m.calls) {
        if (declined) {
            EXPECT_TRUE(IsPumpCall(c.name)) << c.name << " after a question was not answered Yes";
        }
        if (c.name == "RegSetValueExA" && c.key == AtapiServiceKey)
            systemWritten = c.result == ERROR_SUCCESS;
        if (c.name == "RegSetValueExA" && c.key == VendorServiceKey) {
            EXPECT_TRUE(systemWritten) << "vendor Start written before the system's succeeded";
            vendorWritten = c.result == ERROR_SUCCESS;
        }
        if (c.name == "MessageBoxA" && c.args.find(RestartPromptText) != std::string::npos) {
            EXPECT_TRUE(systemWritten && vendorWritten) << "restart offered after a failed switch";
        }
        bool question = c.name == "MessageBoxA" && c.args.size() > 5 &&
                        c.args.compare(c.args.size() - 5, 5, ", 0x4") == 0;
        if (question && c.result != IDYES)
            declined = true;
    }
    EXPECT_EQ(m.calls.back().name, "GetMessageA") << "the run ends in its message pump";
}

} // namespace tool_test
