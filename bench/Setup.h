// What each benchmark does before it measures: COM in a single-threaded
// apartment, a temporary folder of its own (TMP and TEMP point there, so
// every file the product makes lands in it) and the stand-in service.
#pragma once

#include <string>

#include "tests/support/StandInService.h"

// folderName: the folder's name in the temporary folder. Returns its path
// with a trailing backslash, or an empty text (said on stdout) when the
// service did not start.
std::string BeginBenchmark(const char* folderName, CStandInService& service);
