#include "addin/module/RegMgr.h"

#include <cstring>
#include <string>

#include "classlib/win32/CRegKey.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

constexpr const char* kCurVerKey = "Outlook.Application\\CurVer";
constexpr const char* kDefaultOutlookVersion = "11";
// The longest CurVer value read, in bytes.
constexpr DWORD kCurVerCapacity = 512;
// The longest subkey name DeleteKeyTree takes, in characters.
constexpr DWORD kSubkeyNameCapacity = 256;

// LoadBehavior: connected (1) and loaded at start-up (2).
constexpr DWORD kLoadAtStartup = 3;

constexpr const char* kJournalKey =
    "Software\\Microsoft\\Shared Tools\\Outlook\\Journaling\\Quillet Document";
constexpr const char* kJournalIcon = "[18]";
constexpr const char* kJournalDescription = "Quillet Document";

CString AddinKeyPath(const char* application, const char* progId)
{
    CString path;
    path.Format("Software\\Microsoft\\Office\\%s\\Addins\\%s", application, progId);
    return path;
}

// A text with its terminating zero counted, as the class and Addins keys
// carry them.
LONG SetTextWithZero(const CRegKey& key, const char* name, const char* text)
{
    return key.SetValue(name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

// A text without its terminating zero, as the journaling key carries them.
// The ANSI registry functions count a zero that directly follows a text given
// without it, so the text is handed over with a non-zero byte behind it.
LONG SetTextWithoutZero(const CRegKey& key, const char* name, const char* text)
{
    const std::string guarded = std::string(text) + '#';
    return key.SetValue(name, REG_SZ, guarded.data(), static_cast<DWORD>(guarded.size() - 1));
}

LONG SetDword(const CRegKey& key, const char* name, DWORD value)
{
    return key.SetValue(name, REG_DWORD, &value, sizeof value);
}

HRESULT FromRegistry(LONG result)
{
    return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(result));
}

// Keeps the first failure of a run of writes that all go ahead.
void KeepFirst(HRESULT& first, HRESULT hr)
{
    if (FAILED(hr) && SUCCEEDED(first))
        first = hr;
}

// Creates root\path and sets its default value to text; logs both.
HRESULT WriteDefaultText(HKEY root, const char* path, const char* text)
{
    TheLog().Comment(path);
    TheLog().Comment(text);
    CRegKey key;
    LONG result = key.Create(root, path, nullptr, KEY_ALL_ACCESS);
    if (result == ERROR_SUCCESS)
        result = SetTextWithZero(key, nullptr, text);
    if (result != ERROR_SUCCESS)
        TheLog().Error("CRegMgr::RegisterAddin: key not written");
    return FromRegistry(result);
}

} // namespace

HRESULT CRegMgr::RegisterAddin(const char* modulePath)
{
    CLogBlock block("CRegMgr::RegisterAddin");
    CConfig config;
    const CString& clsid = config.GetClsid();
    const CString& progId = config.GetProgId();
    const CString& description = config.GetDescription();

    // Every entry is tried; the first that could not be written is the
    // answer, since Outlook cannot load an add-in registered in part.
    HRESULT first = S_OK;
    CString classKey;
    classKey.Format("CLSID\\%s", clsid.GetString());
    KeepFirst(first, WriteDefaultText(HKEY_CLASSES_ROOT, classKey, description));
    KeepFirst(first, WriteDefaultText(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32",
                                      modulePath ? modulePath : ""));
    // Outlook creates its add-ins on its user-interface thread, an
    // apartment: a server registered without a model would be created in
    // the process's first apartment instead, as Office add-ins never are.
    {
        CRegKey server;
        LONG result = server.Open(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", KEY_ALL_ACCESS);
        if (result == ERROR_SUCCESS)
            result = SetTextWithZero(server, "ThreadingModel", "Apartment");
        if (result != ERROR_SUCCESS)
            TheLog().Error("CRegMgr::RegisterAddin: ThreadingModel not written");
        KeepFirst(first, FromRegistry(result));
    }
    KeepFirst(first, WriteDefaultText(HKEY_CLASSES_ROOT, classKey + "\\ProgID", progId));
    KeepFirst(first, WriteDefaultText(HKEY_CLASSES_ROOT, progId, description));
    KeepFirst(first, WriteDefaultText(HKEY_CLASSES_ROOT, progId + "\\CLSID", clsid));

    // Outlook reads add-ins of all users from "12" on; a byte-wise comparison,
    // as every Outlook version test of the add-in makes.
    CString version;
    GetOutlookVersion(version);
    HKEY root = version.Compare("12") >= 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    KeepFirst(first, WriteAddinKey(root, "Outlook", progId, description, kLoadAtStartup));
    return first;
}

HRESULT CRegMgr::RegisterJournalType()
{
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, kJournalKey, nullptr, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        TheLog().Error("CRegMgr::RegisterJournalType: key not created");
    key.Close();
    if (key.Open(HKEY_CURRENT_USER, kJournalKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return E_FAIL;
    // Outlook takes these texts without their terminating zero.
    LONG result = SetDword(key, "AutoJournaled", 0);
    if (result == ERROR_SUCCESS)
        result = SetDword(key, "JournalByContact", 0);
    if (result == ERROR_SUCCESS)
        result = SetTextWithoutZero(key, "Large Icon", kJournalIcon);
    if (result == ERROR_SUCCESS)
        result = SetTextWithoutZero(key, "Small Icon", kJournalIcon);
    if (result == ERROR_SUCCESS)
        result = SetTextWithoutZero(key, "Description", kJournalDescription);
    if (result != ERROR_SUCCESS)
        TheLog().Error("CRegMgr::RegisterJournalType: value not written");
    return FromRegistry(result);
}

HRESULT CRegMgr::UnregisterAddin()
{
    CConfig config;
    CString classKey;
    classKey.Format("CLSID\\%s", config.GetClsid().GetString());
    // Each removal is tried whatever the one before did: a key that is not
    // there is nothing to remove.
    DeleteKeyTree(HKEY_CLASSES_ROOT, classKey);
    DeleteKeyTree(HKEY_CLASSES_ROOT, config.GetProgId());
    DeleteAddinKey(HKEY_LOCAL_MACHINE, "Word", config.GetProgId());
    DeleteAddinKey(HKEY_CURRENT_USER, "Word", config.GetProgId());
    DeleteAddinKey(HKEY_LOCAL_MACHINE, "Outlook", config.GetProgId());
    DeleteAddinKey(HKEY_CURRENT_USER, "Outlook", config.GetProgId());
    return S_OK;
}

HRESULT CRegMgr::GetOutlookVersion(CString& version)
{
    version = kDefaultOutlookVersion;
    CRegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, kCurVerKey, KEY_READ) != ERROR_SUCCESS)
        return S_OK;
    // The value may be stored without its terminating zero (and Wine then
    // reports one byte more than was stored), so the text is taken only from
    // the bytes the buffer holds, up to the first zero, and one zero byte
    // always follows them.
    char buffer[kCurVerCapacity + 1] = {};
    DWORD type = 0;
    DWORD size = kCurVerCapacity;
    if (key.QueryValue(nullptr, &type, buffer, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return S_OK;
    const size_t length = strnlen(buffer, size < kCurVerCapacity ? size : kCurVerCapacity);
    const CString text(buffer, static_cast<int>(length));
    const int dot = text.ReverseFind('.');
    if (dot >= 0)
        version = text.Mid(dot + 1);
    return S_OK;
}

HRESULT CRegMgr::WriteAddinKey(HKEY root, const char* application, const char* progId,
                               const char* description, DWORD loadBehavior)
{
    const CString path = AddinKeyPath(application, progId);
    TheLog().Comment(path);
    CRegKey key;
    if (key.Create(root, path, nullptr, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        TheLog().Error("CRegMgr::WriteAddinKey: key not created");
        return E_ACCESSDENIED;
    }
    bool written = SetDword(key, "LoadBehavior", loadBehavior) == ERROR_SUCCESS &&
                   SetDword(key, "CommandLineSafe", 0) == ERROR_SUCCESS;
    if (description) {
        TheLog().Comment(description);
        written = written && SetTextWithZero(key, "FriendlyName", description) == ERROR_SUCCESS &&
                  SetTextWithZero(key, "Description", description) == ERROR_SUCCESS;
    }
    if (!written) {
        TheLog().Error("CRegMgr::WriteAddinKey: value not written");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CRegMgr::DeleteAddinKey(HKEY root, const char* application, const char* progId)
{
    DeleteKeyTree(root, AddinKeyPath(application, progId));
    return S_OK;
}

LONG CRegMgr::DeleteKeyTree(HKEY root, const char* path)
{
    CRegKey key;
    LONG result = key.Open(root, path, KEY_ALL_ACCESS);
    if (result != ERROR_SUCCESS)
        return result;
    for (;;) {
        char name[kSubkeyNameCapacity + 1];
        DWORD length = kSubkeyNameCapacity + 1;
        result = RegEnumKeyExA(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            key.Close();
            return RegDeleteKeyA(root, path);
        }
        // Any other failure (a name too long, for one) ends the deletion.
        if (result != ERROR_SUCCESS)
            return result;
        result = DeleteKeyTree(key.Get(), name);
        if (result != ERROR_SUCCESS)
            return result;
    }
}
