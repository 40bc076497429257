// The command line of a verb the registry gives for a class of files or
// links ("shell\open\command"), made safe to start with one argument.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

// The registered command with argument in it, ready for CreateProcess:
// - a REG_EXPAND_SZ command has its environment references expanded;
// - a program path with blanks that is not quoted gets quotes, so
//   "C:\Program Files\x\x.exe" is never started as "C:\Program";
// - every "%1" (quoted in the command or not) becomes the argument in
//   quotes, and with no "%1" the quoted argument follows a blank. Nothing
//   else of the command is touched: it is the registry's text, never a
//   format.
// The caller makes sure the argument holds no quote: one would end the
// quoting and let the rest of it through as switches.
CString ShellCommandLine(const CString& registered, DWORD type, const char* argument);

// A link the service handed over that may be given to the browser: http or
// https, without control characters, blanks or quotes (which on a command
// line would end the link and start switches of their own).
bool IsBrowsableLink(const char* link);
