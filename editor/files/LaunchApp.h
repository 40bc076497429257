// Opening a template's document with the application the user's system
// registers for its type. The path and its extension come from template
// files, which may arrive by mail from anyone: only document types are
// opened, never a program, script or shortcut, and nothing read from the
// registry or a template is ever used as a format.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

// True for an extension (without its dot, any case) of a document type the
// editor opens: letters and digits only, and one of pdf, doc, docx, rtf,
// txt, odt, ods, xls, xlsx.
bool IsDocumentExtension(const char* extension);

// The command line that opens path: the open command registered for its
// extension's file type (HKEY_CLASSES_ROOT), its variables expanded when it
// is stored as REG_EXPAND_SZ, every "%1" replaced by the path (in quotes
// unless that "%1" stands inside quotes already), or, without "%1", the
// command, one blank and the path in quotes. 0, or E_INVALIDARG (no path, no
// extension, not a document type or a path with a quote), E_FAIL (nothing
// registered, or an expansion longer than a command line). Failures are
// logged.
HRESULT MakeLaunchCommand(const char* path, CString& commandLine);

// Starts the command line of MakeLaunchCommand. 0 once it was handed to the
// launcher (whether the program then started is the launcher's to log), or
// the failure of MakeLaunchCommand.
HRESULT LaunchApp(const char* path);
