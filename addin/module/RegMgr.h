// CRegMgr: the add-in's own registry entries: the COM class and ProgID under
// HKEY_CLASSES_ROOT, Outlook's Addins key (under HKEY_LOCAL_MACHINE from
// Outlook "12" on, else the current user) and the "Quillet Document" journal
// entry type; and their removal. The identity texts come from the settings
// object. ANSI registry functions throughout.
#pragma once

#include <windows.h>

#include "classlib/strings/CString.h"

class CRegMgr {
public:
    // The HKCR class and ProgID keys and the Outlook Addins key, with
    // modulePath as the in-process server. Every entry is tried (each one
    // not written is logged); 0, or the failure of the first that was not.
    HRESULT RegisterAddin(const char* modulePath);
    // The journaling key under HKCU. 0, E_FAIL when the key cannot be
    // opened after its creation, or the failure of a value's write.
    HRESULT RegisterJournalType();
    // Removes the class, the ProgID and the Addins keys of Word and Outlook
    // under both roots, whichever exist. The journaling key stays. Always 0.
    HRESULT UnregisterAddin();

    // Outlook's major version: the text after the last '.' of the default
    // value of HKCR\Outlook.Application\CurVer; "11" when the key or value
    // is missing, unreadable or has no '.'. Always 0.
    static HRESULT GetOutlookVersion(CString& version);

    // Software\Microsoft\Office\<application>\Addins\<progId> under root, with
    // "LoadBehavior" and "CommandLineSafe" 0 and, when description is given,
    // "FriendlyName" and "Description". 0, E_ACCESSDENIED when the key
    // cannot be created, E_FAIL when a value cannot be written.
    HRESULT WriteAddinKey(HKEY root, const char* application, const char* progId,
                          const char* description, DWORD loadBehavior);
    // Removes that key with its subkeys. Always 0.
    HRESULT DeleteAddinKey(HKEY root, const char* application, const char* progId);
    // Removes path under root with all its subkeys, deepest first. The
    // registry's code: the first failure, or that of the final deletion.
    static LONG DeleteKeyTree(HKEY root, const char* path);
};
