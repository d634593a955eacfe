// A stand-in for the parts of Win32 the tool calls, so that the tool's own
// code runs natively under test: an in-memory HKEY_LOCAL_MACHINE with typed
// values, scripted message box answers, a process token, a message queue,
// a log of every call, and a way to make any one call fail.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fake {

// Documented Win32 error codes the stand-in reports.
constexpr LONG kFileNotFound = 2;
constexpr LONG kAccessDenied = 5;
constexpr LONG kInvalidHandle = 6;
constexpr LONG kMoreData = 234;
constexpr DWORD kNotAllAssigned = 1300;
constexpr DWORD kNoSuchPrivilege = 1313;
constexpr DWORD kPrivilegeNotHeld = 1314;

constexpr DWORD kRegNone = 0;
constexpr DWORD kRegSz = 1;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;

constexpr int kIdOk = 1;
constexpr int kIdNo = 7;

using Bytes = std::vector<BYTE>;

// A value as the registry holds it. Strings are held as UTF-16LE, as the
// real registry does; the narrow query converts them to code-page bytes.
struct Value {
    DWORD type = kRegNone;
    Bytes data;
};

struct NoCase {
    bool operator()(const std::string &a, const std::string &b) const;
};

struct Key {
    std::map<std::string, Value, NoCase> values;
    bool denyOpen = false; // the caller lacks the rights for full access
};

struct Box {
    bool ownerless = false;
    std::string text;
    std::string caption;
    UINT style = 0;
};

// One platform call: its name, the key path for registry calls on a
// handle, its arguments written out, and its result.
struct Call {
    std::string name;
    std::string key;
    std::string args;
    std::int64_t result = 0;
};

// Thrown by ExitProcess, which never returns.
struct ProcessExit {
    UINT code;
};

struct Machine {
    std::map<std::string, Key, NoCase> hklm;

    // Answers for the question boxes, in order: IDYES, IDNO, or 0 for a
    // box the platform failed to show. Report boxes need no answer.
    std::deque<int> answers;
    std::vector<Box> boxes;

    bool tokenHoldsShutdown = true;
    std::set<DWORD> enabledPrivileges; // LUID low parts
    std::vector<UINT> restartRequests; // flags of each ExitWindowsEx call

    std::deque<MSG> queued; // messages waiting ahead of the quit message
    bool quitPosted = false;
    int quitCode = -1;
    int dispatched = 0;

    std::string commandLine = "ATAPISW.EXE";
    DWORD lastError = 0xDEADu; // stale until a call sets it

    std::map<HKEY, std::string> keyHandles; // every handle handed out
    std::map<HKEY, int> keyCloses;
    std::map<HANDLE, int> tokenCloses; // every token handed out
    std::uintptr_t nextHandle = 0x1000;

    std::vector<Call> calls;
    std::map<std::string, int> callCounts;
    std::string failCall;   // the call made to fail, by name...
    int failOccurrence = 0; // ...on its n-th occurrence (1-based)
};

Machine &M();
void Reset();

// Makes the n-th call (1-based) of the named function fail.
void Fail(const std::string &call, int occurrence);

// The names of the calls that have a failure result to inject.
bool CanFail(const std::string &call);

// Seeding and reading the registry.
void AddKey(const std::string &path);
void SetValue(const std::string &path, const std::string &name, DWORD type, const Bytes &data);
void SetString(const std::string &path, const std::string &name, const std::string &ascii);
std::optional<Value> GetValue(const std::string &path, const std::string &name);
Bytes Dword(DWORD v);

} // namespace fake
