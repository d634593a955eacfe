#include "system/driver_switch.h"

#include "ui/messages.h"

const char AtapiServiceKey[] = "System\\CurrentControlSet\\Services\\atapi";
const char VendorServiceKey[] = "System\\CurrentControlSet\\Services\\zyratapi";
const char StartValueName[] = "Start";

// Start types as REG_DWORD data, low byte first.
static const BYTE BootStart[4] = {0, 0, 0, 0}; // SERVICE_BOOT_START
static const BYTE Disabled[4] = {4, 0, 0, 0};  // SERVICE_DISABLED

int SwitchAtapiDriver(void)
{
    HKEY atapiKey = NULL;
    HKEY vendorKey = NULL;
    int switched = 0;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, AtapiServiceKey, 0, KEY_ALL_ACCESS, &atapiKey) !=
        ERROR_SUCCESS) {
        // An absent key and a refused access are reported alike.
        atapiKey = NULL;
        ShowReport(AtapiMissingText, TitleText);
    } else if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VendorServiceKey, 0, KEY_ALL_ACCESS, &vendorKey) !=
               ERROR_SUCCESS) {
        vendorKey = NULL;
        ShowReport(VendorMissingText, TitleText);
    } else {
        // Zero-filled, so that a Start value holding no data reads as 0.
        BYTE start[4] = {0, 0, 0, 0};
        DWORD size = sizeof start;
        DWORD type = 0;

        if (RegQueryValueExA(vendorKey, StartValueName, NULL, &type, start, &size) !=
            ERROR_SUCCESS) {
            ShowReport(VendorMissingText, TitleText);
        } else if (start[0] == Disabled[0]) {
            // Only the low byte decides; the type and other bytes are not examined.
            ShowReport(VendorDisabledText, TitleText);
        } else if (RegSetValueExA(atapiKey, StartValueName, 0, REG_DWORD, BootStart,
                                  sizeof BootStart) != ERROR_SUCCESS) {
            // The vendor driver stays as it was: disabling it while ATAPI.SYS
            // is not set to start would leave the machine unable to boot.
            ShowReport(WriteFailedText, TitleText);
        } else if (RegSetValueExA(vendorKey, StartValueName, 0, REG_DWORD, Disabled,
                                  sizeof Disabled) != ERROR_SUCCESS) {
            ShowReport(WriteFailedText, TitleText);
        } else {
            switched = 1;
        }
    }

    if (atapiKey != NULL)
        RegCloseKey(atapiKey);
    if (vendorKey != NULL)
        RegCloseKey(vendorKey);
    return switched;
}
