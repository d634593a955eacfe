#include "tests/fake_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <strings.h>
#include <type_traits>

namespace fake {

namespace {

Machine machine;

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
const HMODULE kImageBase = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));
constexpr int kPumpLimit = 100;
constexpr BOOL TRUE = 1;

// Privileges the local machine knows, with their identifiers.
const std::map<std::string, DWORD, NoCase> kPrivileges = {
    {"SeBackupPrivilege", 17}, {"SeRestorePrivilege", 18},      {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},  {"SeChangeNotifyPrivilege", 23}, {"SeSystemtimePrivilege", 12},
};
constexpr DWORD kShutdownLuid = 19;
constexpr DWORD kChangeNotifyLuid = 23;

std::string Quote(LPCSTR s)
{
    return s == nullptr ? "NULL" : "\"" + std::string(s) + "\"";
}

std::string Hex(const BYTE *data, DWORD size)
{
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? " %02x" : "%02x", data[i]);
        out += buf;
    }
    return out;
}

std::string Num(std::uint64_t v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// Counts the call and tells whether it is the one made to fail.
bool Failing(const char *name)
{
    int n = ++machine.callCounts[name];
    return machine.failCall == name && machine.failOccurrence == n;
}

template <typename R>
R Log(const char *name, const std::string &key, const std::string &args, R result)
{
    std::int64_t logged;
    if constexpr (std::is_pointer_v<R>)
        logged = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(result));
    else
        logged = static_cast<std::int64_t>(result);
    machine.calls.push_back({name, key, args, logged});
    return result;
}

// The path a key handle stands for, or null for a handle never handed out
// or already closed.
const std::string *KeyPath(HKEY key)
{
    auto it = machine.keyHandles.find(key);
    if (it == machine.keyHandles.end() || machine.keyCloses[key] > 0)
        return nullptr;
    return &it->second;
}

bool IsString(DWORD type)
{
    return type == kRegSz || type == 2 /* REG_EXPAND_SZ */ || type == 7 /* REG_MULTI_SZ */;
}

bool TokenOpen(HANDLE token)
{
    auto it = machine.tokenCloses.find(token);
    return it != machine.tokenCloses.end() && it->second == 0;
}

} // namespace

bool NoCase::operator()(const std::string &a, const std::string &b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

Machine &M()
{
    return machine;
}

void Reset()
{
    machine = Machine();
}

void Fail(const std::string &call, int occurrence)
{
    machine.failCall = call;
    machine.failOccurrence = occurrence;
}

bool CanFail(const std::string &call)
{
    static const std::set<std::string> faultable = {
        "RegOpenKeyExA", "RegQueryValueExA",      "RegSetValueExA",   "RegCloseKey",
        "MessageBoxA",   "GetMessageA",           "OpenProcessToken", "LookupPrivilegeValueA",
        "CloseHandle",   "AdjustTokenPrivileges", "ExitWindowsEx",
    };
    return faultable.count(call) != 0;
}

void AddKey(const std::string &path)
{
    machine.hklm[path];
}

void SetValue(const std::string &path, const std::string &name, DWORD type, const Bytes &data)
{
    machine.hklm[path].values[name] = Value{type, data};
}

void SetString(const std::string &path, const std::string &name, const std::string &ascii)
{
    Bytes utf16;
    for (char c : ascii + '\0') {
        utf16.push_back(static_cast<BYTE>(c));
        utf16.push_back(0);
    }
    SetValue(path, name, kRegSz, utf16);
}

std::optional<Value> GetValue(const std::string &path, const std::string &name)
{
    auto key = machine.hklm.find(path);
    if (key == machine.hklm.end())
        return std::nullopt;
    auto value = key->second.values.find(name);
    if (value == key->second.values.end())
        return std::nullopt;
    return value->second;
}

Bytes Dword(DWORD v)
{
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
            static_cast<BYTE>(v >> 24)};
}

} // namespace fake

using namespace fake;

extern "C" {

HANDLE WINAPI GetCurrentProcess(void)
{
    return Log("GetCurrentProcess", "", "", kCurrentProcess);
}

DWORD WINAPI GetLastError(void)
{
    return Log("GetLastError", "", "", machine.lastError);
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    std::string args = Num(reinterpret_cast<std::uintptr_t>(object));
    if (!TokenOpen(object)) {
        ADD_FAILURE() << "CloseHandle on a handle that is not open: " << args;
        machine.lastError = kInvalidHandle;
        return Log("CloseHandle", "", args, FALSE);
    }
    // A close is counted even when it fails: the caller has let go of it.
    machine.tokenCloses[object]++;
    if (Failing("CloseHandle")) {
        machine.lastError = kInvalidHandle;
        return Log("CloseHandle", "", args, FALSE);
    }
    return Log("CloseHandle", "", args, TRUE);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    EXPECT_EQ(name, nullptr);
    return Log("GetModuleHandleA", "", Quote(name), kImageBase);
}

LPSTR WINAPI GetCommandLineA(void)
{
    return Log("GetCommandLineA", "", "", machine.commandLine.data());
}

void WINAPI ExitProcess(UINT code)
{
    Log("ExitProcess", "", Num(code), 0);
    throw ProcessExit{code};
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    std::string args = Num(reinterpret_cast<std::uintptr_t>(owner)) + ", " + Quote(text) + ", " +
                       Quote(caption) + ", " + Num(style);
    if (Failing("MessageBoxA"))
        return Log("MessageBoxA", "", args, 0);
    machine.boxes.push_back({owner == nullptr, text ? text : "", caption ? caption : "", style});
    int answer = kIdOk;
    if ((style & 0xF) != MB_OK) {
        if (machine.answers.empty()) {
            ADD_FAILURE() << "a question nobody scripted an answer for: " << args;
            answer = kIdNo;
        } else {
            answer = machine.answers.front();
            machine.answers.pop_front();
        }
    }
    return Log("MessageBoxA", "", args, answer);
}

void WINAPI PostQuitMessage(int code)
{
    machine.quitPosted = true;
    machine.quitCode = code;
    Log("PostQuitMessage", "", Num(static_cast<UINT>(code)), 0);
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax)
{
    std::string args = Num(reinterpret_cast<std::uintptr_t>(window)) + ", " + Num(filterMin) +
                       ", " + Num(filterMax);
    if (machine.callCounts["GetMessageA"] >= kPumpLimit)
        throw std::runtime_error("the message pump does not end");
    if (Failing("GetMessageA") || msg == nullptr)
        return Log("GetMessageA", "", args, -1);
    if (!machine.queued.empty()) {
        *msg = machine.queued.front();
        machine.queued.pop_front();
        return Log("GetMessageA", "", args, TRUE);
    }
    if (!machine.quitPosted)
        throw std::runtime_error("GetMessageA would wait forever: the queue is empty");
    *msg = MSG{};
    msg->message = 0x0012; // WM_QUIT
    msg->wParam = static_cast<WPARAM>(machine.quitCode);
    machine.quitPosted = false;
    return Log("GetMessageA", "", args, FALSE);
}

BOOL WINAPI TranslateMessage(const MSG *msg)
{
    return Log("TranslateMessage", "", Num(msg->message), FALSE);
}

LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    machine.dispatched++;
    return Log("DispatchMessageA", "", Num(msg->message), 0);
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reserved)
{
    std::string args = Num(flags) + ", " + Num(reserved);
    machine.restartRequests.push_back(flags);
    if (Failing("ExitWindowsEx")) {
        machine.lastError = kAccessDenied;
        return Log("ExitWindowsEx", "", args, FALSE);
    }
    if (machine.enabledPrivileges.count(kShutdownLuid) == 0) {
        machine.lastError = kPrivilegeNotHeld;
        return Log("ExitWindowsEx", "", args, FALSE);
    }
    return Log("ExitWindowsEx", "", args, TRUE);
}

LONG WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    std::string args = Quote(subKey) + ", " + Num(options) + ", " + Num(access);
    std::string path = subKey ? subKey : "";
    // On failure the out handle is left holding something that is not a key.
    HKEY poison = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0xBADBAD));
    if (Failing("RegOpenKeyExA")) {
        *result = poison;
        return Log("RegOpenKeyExA", path, args, kAccessDenied);
    }
    EXPECT_EQ(parent, HKEY_LOCAL_MACHINE);
    auto key = machine.hklm.find(path);
    if (key == machine.hklm.end()) {
        *result = poison;
        return Log("RegOpenKeyExA", path, args, kFileNotFound);
    }
    if (key->second.denyOpen) {
        *result = poison;
        return Log("RegOpenKeyExA", path, args, kAccessDenied);
    }
    HKEY handle = reinterpret_cast<HKEY>(machine.nextHandle);
    machine.nextHandle += 4;
    machine.keyHandles[handle] = key->first;
    machine.keyCloses[handle] = 0;
    *result = handle;
    return Log("RegOpenKeyExA", path, args, ERROR_SUCCESS);
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size)
{
    const std::string *path = KeyPath(key);
    std::string args = Quote(name) + ", size " + (size ? Num(*size) : "NULL");
    if (Failing("RegQueryValueExA"))
        return Log("RegQueryValueExA", path ? *path : "?", args, kAccessDenied);
    if (path == nullptr) {
        ADD_FAILURE() << "RegQueryValueExA on a key that is not open";
        return Log("RegQueryValueExA", "?", args, kInvalidHandle);
    }
    if (reserved != nullptr)
        return Log("RegQueryValueExA", *path, args, 87L /* ERROR_INVALID_PARAMETER */);
    auto value = GetValue(*path, name ? name : "");
    if (!value)
        return Log("RegQueryValueExA", *path, args, kFileNotFound);

    // What the narrow call delivers: strings as code-page bytes (here ASCII,
    // one byte per UTF-16 unit) with the zero they were stored with.
    Bytes delivered = value->data;
    if (IsString(value->type)) {
        delivered.clear();
        for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
            unsigned unit = value->data[i] | (value->data[i + 1] << 8);
            delivered.push_back(unit < 0x80 ? static_cast<BYTE>(unit) : '?');
        }
    }
    if (type != nullptr)
        *type = value->type;
    if (data != nullptr && (size == nullptr || delivered.size() > *size)) {
        if (size != nullptr)
            *size = static_cast<DWORD>(delivered.size());
        return Log("RegQueryValueExA", *path, args, kMoreData);
    }
    if (data != nullptr && !delivered.empty())
        std::memcpy(data, delivered.data(), delivered.size());
    if (size != nullptr)
        *size = static_cast<DWORD>(delivered.size());
    return Log("RegQueryValueExA", *path, args + " -> " + Hex(delivered.data(), delivered.size()),
               ERROR_SUCCESS);
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data,
                           DWORD size)
{
    const std::string *path = KeyPath(key);
    std::string args = Quote(name) + ", " + Num(reserved) + ", " + Num(type) + ", " +
                       (data ? Hex(data, size) : "NULL") + ", " + Num(size);
    if (Failing("RegSetValueExA"))
        return Log("RegSetValueExA", path ? *path : "?", args, kAccessDenied);
    if (path == nullptr) {
        ADD_FAILURE() << "RegSetValueExA on a key that is not open";
        return Log("RegSetValueExA", "?", args, kInvalidHandle);
    }
    SetValue(*path, name ? name : "", type, Bytes(data, data + size));
    return Log("RegSetValueExA", *path, args, ERROR_SUCCESS);
}

LONG WINAPI RegCloseKey(HKEY key)
{
    auto it = machine.keyHandles.find(key);
    std::string path = it == machine.keyHandles.end() ? "?" : it->second;
    if (it == machine.keyHandles.end()) {
        ADD_FAILURE() << "RegCloseKey on a handle never opened";
        return Log("RegCloseKey", path, "", kInvalidHandle);
    }
    // A close is counted even when it fails: the caller has let go of it.
    machine.keyCloses[key]++;
    if (Failing("RegCloseKey"))
        return Log("RegCloseKey", path, "", kInvalidHandle);
    return Log("RegCloseKey", path, "",
               machine.keyCloses[key] == 1 ? ERROR_SUCCESS : kInvalidHandle);
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    std::string args = Num(reinterpret_cast<std::uintptr_t>(process)) + ", " + Num(access);
    if (Failing("OpenProcessToken")) {
        machine.lastError = kAccessDenied;
        return Log("OpenProcessToken", "", args, FALSE);
    }
    EXPECT_EQ(process, kCurrentProcess);
    HANDLE handle = reinterpret_cast<HANDLE>(machine.nextHandle);
    machine.nextHandle += 4;
    machine.tokenCloses[handle] = 0;
    *token = handle;
    return Log("OpenProcessToken", "", args, TRUE);
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid)
{
    std::string args = Quote(systemName) + ", " + Quote(name);
    auto known = kPrivileges.find(name ? name : "");
    if (Failing("LookupPrivilegeValueA") || systemName != nullptr || known == kPrivileges.end()) {
        machine.lastError = kNoSuchPrivilege;
        return Log("LookupPrivilegeValueA", "", args, FALSE);
    }
    luid->LowPart = known->second;
    luid->HighPart = 0;
    return Log("LookupPrivilegeValueA", "", args, TRUE);
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state,
                                  DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returnLength)
{
    std::string args = Num(reinterpret_cast<std::uintptr_t>(token)) + ", " + Num(disableAll);
    if (state != nullptr) {
        args += ", count " + Num(state->PrivilegeCount);
        for (DWORD i = 0; i < state->PrivilegeCount && i < 1; ++i)
            args += ", luid " + Num(state->Privileges[i].Luid.LowPart) + ":" +
                    Num(static_cast<DWORD>(state->Privileges[i].Luid.HighPart)) + ", attributes " +
                    Num(state->Privileges[i].Attributes);
    }
    args += ", " + Num(length) + ", " + (previous ? "state" : "NULL") + ", " +
            (returnLength ? "length" : "NULL");
    if (Failing("AdjustTokenPrivileges") || !TokenOpen(token) || state == nullptr) {
        machine.lastError = kAccessDenied;
        return Log("AdjustTokenPrivileges", "", args, FALSE);
    }
    EXPECT_EQ(disableAll, FALSE);
    EXPECT_EQ(state->PrivilegeCount, 1u); // the record has room for one entry
    bool all = true;
    for (DWORD i = 0; i < state->PrivilegeCount && i < 1; ++i) {
        DWORD luid = state->Privileges[i].Luid.LowPart;
        bool held =
            luid == kChangeNotifyLuid || (luid == kShutdownLuid && machine.tokenHoldsShutdown);
        if (!held || state->Privileges[i].Luid.HighPart != 0)
            all = false;
        else if (state->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED)
            machine.enabledPrivileges.insert(luid);
        else
            machine.enabledPrivileges.erase(luid);
    }
    machine.lastError = all ? 0 : kNotAllAssigned;
    return Log("AdjustTokenPrivileges", "", args, TRUE);
}

} // extern "C"
