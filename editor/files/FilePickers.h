// The editor's two open-file dialogs: a document for a template, and a
// template file to import.
#pragma once

#include <memory>

#include <windows.h>

#include "classlib/strings/CString.h"
#include "shared/requests/TempDoc.h"

// The dialog's result; on IDOK path is the full path and name the file
// name with its extension.
INT_PTR PickDocumentFile(HWND parent, CString& name, CString& path);
INT_PTR PickTemplateFile(HWND parent, CString& name, CString& path);

// The record of a document just picked with PickDocumentFile (its name and
// full path), of the given type: embedded, and marked as picked here, so
// that Save encodes the file into the template and OPEN may open it.
std::unique_ptr<CTempDoc> PickedDocument(const CString& name, const CString& path,
                                         const char* type);
