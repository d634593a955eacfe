// Test pilot for the real executable under Wine. It seeds the two service
// keys, starts the tool, finds each message box the tool shows, reports
// its caption, text (as code page 932 bytes) and buttons, presses the
// button it is told to, and reports the exit code and both Start values
// once the tool has ended.
//
//   pilot.exe [options] [-- tool.exe [arguments...]]   (no tool: seed only)
//     --seed KEY=STATE  KEY: atapi | zyratapi; STATE: absent | nostart |
//                       dword:N | binary:HEX | sz:TEXT | data:TYPE:HEX
//     --answers S       Y or N for each question in turn (reports get OK);
//                       "-" reads the button id for every box from stdin
//     --watch           only observe: the user answers the real windows
//     --timeout SEC     give up after this long (default 60)
//
// Output, one record a line: ACP n | WINVER major.minor.build | BOX n |
// CAPTION hex | TEXT hex | BUTTON id hex(label, UTF-8) | RECT l t r b |
// SHOWN | PRESS id | EXIT code | BEFORE/START key nokey|novalue|type hex |
// ERROR message.

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char ServicesKey[] = "System\\CurrentControlSet\\Services\\";

void Line(const std::string &s)
{
    fwrite(s.data(), 1, s.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Unhex(const std::string &hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

std::string Narrow(const std::wstring &w, UINT codePage)
{
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(codePage, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(codePage, 0, w.data(), (int)w.size(), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring WindowText(HWND hwnd)
{
    DWORD_PTR len = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len);
    std::wstring text(len + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, len + 1, (LPARAM)&text[0], SMTO_ABORTIFHUNG, 2000, &got);
    text.resize(got);
    return text;
}

std::string ClassOf(HWND hwnd)
{
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

bool Seed(const std::string &arg)
{
    size_t eq = arg.find('=');
    if (eq == std::string::npos)
        return false;
    std::string path = ServicesKey + arg.substr(0, eq);
    std::string state = arg.substr(eq + 1);

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
    if (state == "absent")
        return true;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    // Service keys hold more than Start; the tool must leave the rest alone.
    DWORD type = 1;
    RegSetValueExA(key, "Type", 0, REG_DWORD, (const BYTE *)&type, sizeof type);

    LONG rc = ERROR_SUCCESS;
    if (state.rfind("dword:", 0) == 0) {
        DWORD v = strtoul(state.c_str() + 6, nullptr, 0);
        rc = RegSetValueExA(key, "Start", 0, REG_DWORD, (const BYTE *)&v, sizeof v);
    } else if (state.rfind("binary:", 0) == 0) {
        std::string data = Unhex(state.substr(7));
        rc = RegSetValueExA(key, "Start", 0, REG_BINARY, (const BYTE *)data.data(),
                            (DWORD)data.size());
    } else if (state.rfind("sz:", 0) == 0) {
        std::string text = state.substr(3);
        rc = RegSetValueExA(key, "Start", 0, REG_SZ, (const BYTE *)text.c_str(),
                            (DWORD)text.size() + 1);
    } else if (state.rfind("data:", 0) == 0) {
        size_t colon = state.find(':', 5);
        DWORD t = strtoul(state.substr(5, colon - 5).c_str(), nullptr, 0);
        std::string data = colon == std::string::npos ? "" : Unhex(state.substr(colon + 1));
        rc = RegSetValueExA(key, "Start", 0, t, (const BYTE *)data.data(), (DWORD)data.size());
    } else if (state != "nostart") {
        rc = ERROR_INVALID_PARAMETER;
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void ReportStart(const char *tag, const char *name)
{
    std::string path = ServicesKey + std::string(name);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        Line(std::string(tag) + " " + name + " nokey");
        return;
    }
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, "Start", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        Line(std::string(tag) + " " + name + " novalue");
    } else {
        std::string data(size, '\0');
        RegQueryValueExA(key, "Start", nullptr, &type, (BYTE *)&data[0], &size);
        data.resize(size);
        Line(std::string(tag) + " " + name + " " + std::to_string(type) + " " + Hex(data));
    }
    RegCloseKey(key);
}

struct Finder {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    Finder *f = (Finder *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770") {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct Controls {
    std::vector<HWND> buttons;
    std::vector<HWND> statics;
};

BOOL CALLBACK CollectControl(HWND hwnd, LPARAM param)
{
    Controls *c = (Controls *)param;
    std::string cls = ClassOf(hwnd);
    if (_stricmp(cls.c_str(), "Button") == 0)
        c->buttons.push_back(hwnd);
    else if (_stricmp(cls.c_str(), "Static") == 0)
        c->statics.push_back(hwnd);
    return TRUE;
}

// Reports one box and returns the ids of its buttons.
std::vector<int> ReportBox(HWND box, int number)
{
    Line("BOX " + std::to_string(number));
    Line("CAPTION " + Hex(Narrow(WindowText(box), 932)));
    Controls c;
    EnumChildWindows(box, CollectControl, (LPARAM)&c);
    std::wstring text;
    for (HWND s : c.statics) {
        std::wstring t = WindowText(s);
        if (!t.empty())
            text = t; // the icon static, where there is one, has no text
    }
    Line("TEXT " + Hex(Narrow(text, 932)));
    std::vector<int> ids;
    for (HWND b : c.buttons) {
        int id = GetDlgCtrlID(b);
        ids.push_back(id);
        Line("BUTTON " + std::to_string(id) + " " + Hex(Narrow(WindowText(b), CP_UTF8)));
    }
    RECT r;
    GetWindowRect(box, &r);
    Line("RECT " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
         std::to_string(r.right) + " " + std::to_string(r.bottom));
    Line("SHOWN");
    return ids;
}

bool Has(const std::vector<int> &ids, int id)
{
    for (int i : ids)
        if (i == id)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);

    std::string answers;
    bool fromStdin = false, watch = false;
    int timeout = 60;
    int i = 1;
    std::vector<std::string> seeds;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        } else if (a == "--seed" && i + 1 < argc) {
            seeds.push_back(argv[++i]);
        } else if (a == "--answers" && i + 1 < argc) {
            answers = argv[++i];
            fromStdin = answers == "-";
        } else if (a == "--watch") {
            watch = true;
        } else if (a == "--timeout" && i + 1 < argc) {
            timeout = atoi(argv[++i]);
        } else {
            Line("ERROR unknown option " + a);
            return 2;
        }
    }

    Line("ACP " + std::to_string(GetACP()));
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version))
        Line("WINVER " + std::to_string(version.dwMajorVersion) + "." +
             std::to_string(version.dwMinorVersion) + "." + std::to_string(version.dwBuildNumber));
    for (const std::string &s : seeds) {
        if (!Seed(s)) {
            Line("ERROR cannot seed " + s);
            return 2;
        }
    }
    ReportStart("BEFORE", "atapi");
    ReportStart("BEFORE", "zyratapi");
    if (i >= argc)
        return 0; // seeding only

    // The tool's command line: its path, quoted, then its arguments as given.
    std::string cmd = std::string("\"") + argv[i] + "\"";
    for (int j = i + 1; j < argc; ++j)
        cmd += std::string(" ") + argv[j];
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Line("ERROR cannot start " + cmd + ": " + std::to_string(GetLastError()));
        return 2;
    }

    DWORD deadline = GetTickCount() + timeout * 1000u;
    size_t nextAnswer = 0;
    int boxes = 0;
    bool timedOut = false;
    while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
        if (GetTickCount() > deadline) {
            timedOut = true;
            break;
        }
        Finder f = {pi.dwProcessId, nullptr};
        EnumWindows(FindBox, (LPARAM)&f);
        if (f.found == nullptr)
            continue;
        Sleep(50); // let the box finish laying out its controls
        std::vector<int> ids = ReportBox(f.found, ++boxes);
        int press = 0;
        if (watch) {
            press = 0;
        } else if (fromStdin) {
            char buf[32];
            if (fgets(buf, sizeof buf, stdin) == nullptr)
                break;
            press = atoi(buf);
        } else if (Has(ids, IDYES) && Has(ids, IDNO)) {
            char a = nextAnswer < answers.size() ? answers[nextAnswer++] : '?';
            if (a != 'Y' && a != 'N')
                Line("ERROR a question with no scripted answer");
            press = a == 'Y' ? IDYES : IDNO;
        } else {
            press = Has(ids, IDOK) ? IDOK : (ids.empty() ? 0 : ids[0]);
        }
        if (press != 0) {
            Line("PRESS " + std::to_string(press));
            PostMessageA(f.found, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED),
                         (LPARAM)GetDlgItem(f.found, press));
        }
        // Wait for this box to go before looking for the next one.
        while (IsWindow(f.found) && IsWindowVisible(f.found) &&
               WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT && GetTickCount() <= deadline) {
        }
    }
    if (timedOut) {
        Line("ERROR timed out; ending the tool");
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    if (!fromStdin && !watch && nextAnswer < answers.size())
        Line("ERROR answers left unused");

    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    Line("EXIT " + std::to_string(code));
    ReportStart("START", "atapi");
    ReportStart("START", "zyratapi");
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
