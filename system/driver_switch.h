// The switch of the machine's ATAPI support from the vendor's driver to
// the system's own ATAPI.SYS, made in the two drivers' service keys.
#pragma once

#include "platform/platform.h"

// Paths under HKEY_LOCAL_MACHINE; each backslash is a path separator.
extern const char AtapiServiceKey[];
extern const char VendorServiceKey[];
extern const char StartValueName[];

// Sets the system driver to start at boot and disables the vendor driver.
// Returns 1 when both Start values were written. Returns 0 when nothing was
// switched, after showing the user why.
int SwitchAtapiDriver(void);
