// The shutdown privilege and the restart request.
#pragma once

#include "platform/platform.h"

extern const char ShutdownPrivilegeName[];

// Turns the named privilege on (enable non-zero) or off in the process's
// own token. Returns 1 when the platform reports it set, else 0; every
// failure but a failed token open has been shown to the user.
int SetProcessPrivilege(const char *name, int enable);

// Enables the shutdown privilege and asks the system to restart. Returns
// once the request is made, whether or not the system accepts it.
void RestartSystem(void);
