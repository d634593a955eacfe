// Every text the tool shows, and the two kinds of message box it shows
// them in. Texts are Shift_JIS (code page 932) byte strings, passed to
// the platform exactly as stored; array sizes include the terminating zero.
#pragma once

#include "platform/platform.h"

extern const char TitleText[30];
extern const char IntroText[377];
extern const char RestartPromptText[124];
extern const char AtapiMissingText[96];
extern const char VendorMissingText[95];
extern const char VendorDisabledText[77];
extern const char WriteFailedText[79];
extern const char PrivilegeCaption[8];
extern const char LookupErrorText[27];
extern const char AdjustErrorText[28];

// A Yes/No question under TitleText, with no owner window. True only when
// the user answered Yes; a box that could not be shown counts as No.
bool AskYesNo(const char *text);

// An informative box with an OK button and no owner window.
void ShowReport(const char *text, const char *caption);
