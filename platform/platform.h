// The one header through which the tool reaches the operating system.
//
// On Windows it is the real <windows.h>, limited to what NT 4.0 offers.
// On the test host it is our own short list of exactly the types,
// constants and calls the tool uses; the test suite supplies the calls.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "platform/host_windows.h"
#endif
