// The tool's own GUI start-up, so that the executable needs no C runtime.
#pragma once

#include "platform/platform.h"

// The arguments in a command line: what follows the program name (quoted
// or not) and the blanks after it. Points into the given line.
LPSTR CommandTail(LPSTR line);

// The process entry point: runs WinMain and ends the process with its result.
extern "C" [[noreturn]] void AppStartup(void);
