#include "app/startup.h"

LPSTR CommandTail(LPSTR line)
{
    char *p = line;
    if (*p == '"') {
        // A quoted program name may hold blanks; it ends at the closing quote.
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

extern "C" void AppStartup(void)
{
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, CommandTail(GetCommandLineA()),
                              SW_SHOWDEFAULT));
}
