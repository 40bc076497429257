// The editor's two open-file dialogs: a document for a template, and a
// template file to import.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

// The dialog's result; on IDOK path is the full path and name the file
// name with its extension.
INT_PTR PickDocumentFile(HWND parent, CString& name, CString& path);
INT_PTR PickTemplateFile(HWND parent, CString& name, CString& path);
