// Linux programs started from a Windows test running under Wine, and the
// mapping between the paths the two sides see. Wine shows the Linux root as
// drive Z: and passes a Linux program its arguments unchanged, so every
// path it is given must be the Linux one.
#pragma once

#include <string>
#include <vector>

namespace linuxprocess {

// "/work/main" as Windows sees it: "Z:\work\main".
std::string DosPathOf(const std::string& unixPath);
// The Linux path of a Windows path; empty when not under Wine.
std::string UnixPathOf(const std::string& dosPath);
// Debian's python3 as a Windows path, unless QUILLET_PYTHON names another
// (a Windows path); empty when there is none.
std::string PythonPath();

// Starts a Linux program (arguments[0], a Windows path) with the other
// arguments, each passed as one (none may hold a double quote or end in a
// backslash). The program runs on its own: its handle
// cannot be waited on, so it must tell by other means when it is ready.
// false, with *error saying why, when it did not start.
bool Start(const std::vector<std::string>& arguments, std::string* error);

} // namespace linuxprocess
