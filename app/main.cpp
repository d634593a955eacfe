// The program's whole course: ask, switch, offer the restart, then end
// through the thread's own message queue.

#include "platform/platform.h"
#include "system/driver_switch.h"
#include "system/restart.h"
#include "ui/messages.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int switched = 0;
    if (AskYesNo(IntroText))
        switched = SwitchAtapiDriver();

    // Any reason not to switch has already been shown by the switch itself.
    if (switched == 1 && AskYesNo(RestartPromptText))
        RestartSystem();

    PostQuitMessage(0);

    // Messages queued ahead of the quit message are handled first. A fetch
    // that fails (-1) ends the pump too, rather than spinning on the error.
    MSG msg;
    BOOL fetched;
    while ((fetched = GetMessageA(&msg, NULL, 0, 0)) != 0 && fetched != -1) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return fetched == 0 ? (int)msg.wParam : 0;
}
