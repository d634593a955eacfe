#include "system/restart.h"

#include "ui/messages.h"

const char ShutdownPrivilegeName[] = "SeShutdownPrivilege";

int SetProcessPrivilege(const char *name, int enable)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;

    TOKEN_PRIVILEGES privileges;
    if (!LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        ShowReport(LookupErrorText, PrivilegeCaption);
        return 0;
    }

    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // The return value does not tell whether the privilege was set; the last
    // error does, and it must be read before any other call changes it.
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    DWORD adjustError = GetLastError();
    CloseHandle(token);

    if (adjustError != ERROR_SUCCESS) {
        ShowReport(AdjustErrorText, PrivilegeCaption);
        return 0;
    }
    return 1;
}

void RestartSystem(void)
{
    // Without the privilege the system refuses the request; the user has
    // then been told why, and the request is made all the same.
    SetProcessPrivilege(ShutdownPrivilegeName, 1);
    ExitWindowsEx(EWX_REBOOT, 0);
}
