// CLauncher: starts the system's other programs. A mixin of each
// deliverable's application object; the add-in hands a broadcast to the
// agent through it. Nothing launched is waited for or kept: the program
// runs on after the caller returns.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CLauncher {
public:
    // The longest folder (after the drive) of a module path that a command
    // line is made from.
    static constexpr int kMaxFolder = 255;

    CLauncher() = default;
    virtual ~CLauncher() = default;

    // Starts the command line as a new process with the caller's environment
    // and current folder. Non-zero when it started; a failure is logged.
    BOOL LaunchProcess(const char* commandLine);

    // Starts program from the folder of modulePath with argument as the rest
    // of the command line (see MakeModuleCommandLine). 0 when no command line
    // can be made or the program does not start.
    BOOL LaunchModuleProgram(const char* modulePath, const char* program, const char* argument);

    // "<drive><folder of modulePath><program>" in quotes, one blank, then
    // argument exactly as given (empty when null). The quotes keep a folder
    // with a blank from being read as a shorter program path. false (and the
    // refusal logged) for a missing module path or program, a quote in
    // either, or a folder longer than kMaxFolder.
    // Starts the template editor, "inkEdit.exe" in the folder of
    // modulePath, with no argument: the command line ends in one blank.
    // 0 when it did not start (logged).
    BOOL LaunchEditor(const char* modulePath);

    static bool MakeModuleCommandLine(const char* modulePath, const char* program,
                                      const char* argument, CString& commandLine);
};
