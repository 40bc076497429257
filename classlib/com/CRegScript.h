// CRegScript: runs a registry script in the registrar's syntax, so that a
// server's keys are written and removed from one text kept as a resource.
//
//   HKCR
//   {
//       NoRemove AppID
//       {
//           '%APPID%' = s 'Name'
//           'Server.DLL' { val AppID = s '%APPID%' }
//       }
//   }
//
// Roots: HKCR, HKCU, HKLM (or their HKEY_ names). A key is a quoted or bare
// name with an optional default value (`= s 'text'` or `= d 'n'`) and an
// optional body of subkeys and named values (`val Name = s 'text'`).
// `NoRemove` keeps a key when unregistering (its children are still
// processed); `ForceRemove` deletes a key with its subkeys before writing it.
// `%NAME%` is replaced from the replacements given; `%%` is one percent sign.
//
// The whole script is read before the registry is touched, so a script with a
// syntax error or an unknown replacement changes nothing.
#pragma once

#include <string>
#include <utility>
#include <vector>
#include <windows.h>

class CRegScript {
public:
    // What %name% stands for; names compare without regard to case.
    void AddReplacement(const char* name, const char* value);

    // Writes every key and value the script names. S_OK, or the first
    // failure (HRESULT_FROM_WIN32 of the registry's code; a script error is
    // HRESULT_FROM_WIN32(ERROR_INVALID_DATA)); writing stops at a failure.
    [[nodiscard]] HRESULT Register(const char* script) const;
    // Removes what the script names except NoRemove keys. Missing keys and
    // values are no failure; every step is tried and the first failure is
    // returned.
    [[nodiscard]] HRESULT Unregister(const char* script) const;

    // Runs the script held by module as resource type "REGISTRY", id.
    [[nodiscard]] HRESULT RunResource(HMODULE module, UINT id, bool registering) const;

    // The text of a "REGISTRY" resource; false when the module has none.
    static bool LoadScript(HMODULE module, UINT id, std::string& script);

private:
    HRESULT Run(const char* script, bool registering) const;

    std::vector<std::pair<std::string, std::string>> m_replacements;
};
