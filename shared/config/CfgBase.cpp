#include "shared/config/CfgBase.h"

#include <mutex>
#include <shlwapi.h>
#include <vector>

#include "classlib/app/CWinApp.h"
#include "classlib/win32/CRegKey.h"
#include "classlib/win32/ModulePath.h"
#include "shared/config/Blowfish.h"
#include "shared/config/SettingValue.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/XMLDoc.h"

namespace {

constexpr const char* kKeyClass = "Application Global Data";

// A defaults file is a handful of hand-written lines; one far larger is not
// ours, and parsing it would stall whoever asked for a setting.
constexpr ULONGLONG kLongestDefaultsFile = 1 << 20;

// What identifies one state of the defaults file: when it changes, it is
// read again.
struct FileStamp {
    CString path;
    FILETIME created{};
    FILETIME written{};
    ULONGLONG size = 0;

    bool operator==(const FileStamp& other) const
    {
        return path == other.path && CompareFileTime(&created, &other.created) == 0 &&
               CompareFileTime(&written, &other.written) == 0 && size == other.size;
    }
};

bool StampOf(const CString& path, FileStamp& stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    stamp.path = path;
    stamp.created = data.ftCreationTime;
    stamp.written = data.ftLastWriteTime;
    stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// The defaults file as last read, one per process: a lookup that misses the
// registry costs a parse only the first time and after the file changed.
struct DefaultsCache {
    std::mutex lock;
    bool filled = false;
    FileStamp stamp;
    HRESULT loaded = E_FAIL; // E_FAIL: unreadable, or no "inkDefaults" root
    std::vector<CXMLDoc::ChildValue> values;
};

DefaultsCache& Defaults()
{
    static DefaultsCache cache;
    return cache;
}

// The decimal number the text begins with; text without leading digits is
// 0. False for a number no DWORD holds, which is refused rather than cut.
bool LeadingNumber(const char* text, DWORD& value)
{
    ULONGLONG number = 0;
    for (const char* at = text; *at >= '0' && *at <= '9'; ++at) {
        number = number * 10 + static_cast<ULONGLONG>(*at - '0');
        if (number > 0xFFFFFFFFull)
            return false;
    }
    value = static_cast<DWORD>(number);
    return true;
}

} // namespace

CString& CurrentServiceHost()
{
    static CString host(kBuiltInServiceHost);
    return host;
}

CString& DefaultServicePath()
{
    static CString path("services/gateway.asmx");
    return path;
}

CCfgBase::~CCfgBase() = default;

const CString& CCfgBase::GetKeyPath()
{
    CString company;
    company.Format("Software\\%s", m_companyWord.GetString());
    CRegKey companyKey;
    if (companyKey.Create(HKEY_CURRENT_USER, company, kKeyClass, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        CRegKey productKey;
        (void)productKey.Create(companyKey.Get(), m_productName, kKeyClass, KEY_ALL_ACCESS);
    }
    m_keyPath.Format("Software\\%s\\%s", m_companyWord.GetString(), m_productName.GetString());
    return m_keyPath;
}

void CCfgBase::SetKey(const char* name, const char* text)
{
    TheLog().CommentFormat("CCfgBase::SetKey: Name=%s", name);
    TheLog().CommentFormat("CCfgBase::SetKey: Value=%s", text);
    const CString value(text);
    CRegKey key;
    // Texts are stored without their terminating zero; readers allow for it.
    if (key.Create(HKEY_CURRENT_USER, GetKeyPath(), kKeyClass, KEY_ALL_ACCESS) != ERROR_SUCCESS ||
        key.SetValue(name, REG_SZ, value.GetString(), value.GetLength()) != ERROR_SUCCESS)
        TheLog().Error("CCfgBase::SetKey failed");
}

void CCfgBase::SetKey(const char* name, DWORD value)
{
    TheLog().CommentFormat("CCfgBase::SetKey: Name=%s", name);
    TheLog().CommentFormatInt("CCfgBase::SetKey: Value=%lu", static_cast<long>(value));
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, GetKeyPath(), kKeyClass, KEY_ALL_ACCESS) != ERROR_SUCCESS ||
        key.SetValue(name, REG_DWORD, &value, sizeof value) != ERROR_SUCCESS)
        TheLog().Error("CCfgBase::SetKey failed");
}

void CCfgBase::SetKey(const char* name, const BYTE* bytes, DWORD length)
{
    TheLog().CommentFormat("CCfgBase::SetKey: Name=%s", name);
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, GetKeyPath(), kKeyClass, KEY_ALL_ACCESS) != ERROR_SUCCESS ||
        key.SetValue(name, REG_BINARY, bytes, length) != ERROR_SUCCESS)
        TheLog().Error("CCfgBase::SetKey failed");
}

HRESULT CCfgBase::GetKey(const char* name, CString& value)
{
    TheLog().CommentFormat("CCfgBase::GetKey: Name=%s", name);
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, GetKeyPath(), KEY_READ) != ERROR_SUCCESS) {
        TheLog().Comment("CCfgBase::GetKey Not Found");
        return E_FAIL;
    }
    CString text;
    const char* source = "CCfgBase::GetKey from registry \"%s\"";
    // Longer than 511 characters, or no text at all, counts as missing here.
    const LONG read = ReadSettingText(key, name, text, kTextCapacity);
    if (read == ERROR_DATATYPE_MISMATCH)
        TheLog().Warning("CCfgBase::GetKey: the value is no text and is ignored");
    if (read != ERROR_SUCCESS) {
        HRESULT hr = GetDefaultValue(name, text);
        if (FAILED(hr)) {
            TheLog().Comment("CCfgBase::GetKey Not Found");
            return hr;
        }
        source = "CCfgBase::GetKey from inkDefaults \"%s\"";
    }
    TheLog().CommentFormat(source, text);
    value = text;
    TheLog().CommentFormat("CCfgBase::GetKey: Value=%s", value);
    return S_OK;
}

HRESULT CCfgBase::GetKey(const char* name, DWORD& value)
{
    TheLog().CommentFormat("CCfgBase::GetKey: Name=%s", name);
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, GetKeyPath(), KEY_READ) != ERROR_SUCCESS) {
        TheLog().Comment("CCfgBase::GetKey Not Found");
        return E_FAIL;
    }
    DWORD number = 0;
    const char* source = "CCfgBase::GetKey from registry \"%ld\"";
    const LONG read = ReadSettingNumber(key, name, number);
    if (read == ERROR_DATATYPE_MISMATCH)
        TheLog().Warning("CCfgBase::GetKey: the value holds no number and is ignored");
    if (read != ERROR_SUCCESS) {
        HRESULT hr = GetDefaultValue(name, number);
        if (FAILED(hr)) {
            TheLog().Comment("CCfgBase::GetKey Not Found");
            return hr;
        }
        source = "CCfgBase::GetKey from inkDefaults \"%ld\"";
    }
    TheLog().CommentFormatInt(source, static_cast<long>(number));
    value = number;
    TheLog().CommentFormatInt("CCfgBase::GetKey: Value=%ld", static_cast<long>(value));
    return S_OK;
}

HRESULT CCfgBase::GetBinary(const char* name, BYTE* buffer, DWORD& size)
{
    ZeroMemory(buffer, size);
    CRegKey key;
    DWORD type = 0;
    DWORD read = size;
    if (key.Open(HKEY_CURRENT_USER, GetKeyPath(), KEY_READ) != ERROR_SUCCESS ||
        key.QueryValue(name, &type, buffer, &read) != ERROR_SUCCESS || type != REG_BINARY) {
        ZeroMemory(buffer, size);
        TheLog().Comment("CCfgBase::GetKey Not Found");
        return E_FAIL;
    }
    size = read;
    return S_OK;
}

DWORD CCfgBase::GetLogXML()
{
    CString path;
    path.Format("%s\\%s", GetKeyPath().GetString(), "Advanced");
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, path, kKeyClass, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        TheLog().Comment("CCfgBase::GetLogXML Access denied");
        return 0;
    }
    DWORD value = 0;
    const LONG read = ReadSettingNumber(key, "LogXML", value);
    if (read == ERROR_SUCCESS)
        return value;
    // Only a missing value is filled in; one of another type is left as
    // it was, and the trace stays off.
    if (read == ERROR_FILE_NOT_FOUND)
        (void)key.SetValue("LogXML", REG_DWORD, &value, sizeof value);
    return 0;
}

HRESULT CCfgBase::DeleteKey()
{
    LONG result = SHDeleteKeyA(HKEY_CURRENT_USER, GetKeyPath());
    return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(result);
}

bool CCfgBase::ReadHost(CString& host, bool& missing)
{
    missing = false;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, GetKeyPath(), KEY_READ) != ERROR_SUCCESS)
        return false;
    LONG result = ReadSettingText(key, "Host", host, kHostCapacity);
    missing = result == ERROR_FILE_NOT_FOUND;
    return result == ERROR_SUCCESS;
}

HRESULT CCfgBase::GetHost(CString& host)
{
    TheLog().Comment("CCfgBase::GetHost");
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, GetKeyPath(), KEY_READ) != ERROR_SUCCESS) {
        host = CurrentServiceHost();
        TheLog().CommentFormat("CCfgBase::GetHost: Default=%s", host);
        return S_OK;
    }
    key.Close();

    CString value;
    bool missing = false;
    if (ReadHost(value, missing)) {
        host = value;
        TheLog().CommentFormat("CCfgBase::GetHost: %s", host);
        return S_OK;
    }
    // A value too long for a host name, or no text at all, is refused but
    // left for the user to mend; only a missing one is filled in.
    const CString fallback = CurrentServiceHost();
    host = fallback;
    if (missing)
        SetKey("Host", host);
    else
        TheLog().Warning("CCfgBase::GetHost: Host is too long or no text; the default is used");
    return S_OK;
}

HRESULT CCfgBase::FindAddin(CString& folder)
{
    TheLog().Comment("CCfgBase::FindAddin");
    // The deliverable's own file: its application object's module, else the
    // module this code is linked into (the add-in's DLL). Never the
    // registered server path: it names the file as regsvr32 was given it
    // ("quilloff.dll" as well as "QuillOff.dll"), and another installation
    // may have registered itself since.
    const CWinApp* app = AfxGetApp();
    static const char kInThisModule = 0;
    const CString modulePath =
        app ? app->GetModulePath() : ModulePathOf(ModuleHolding(&kInThisModule));
    const int slash = modulePath.ReverseFind('\\');
    if (slash < 0) {
        folder.Empty();
        TheLog().Error("CCfgBase::FindAddin failed");
        return E_FAIL;
    }
    folder = modulePath.Left(slash + 1);
    TheLog().CommentFormat("Inkstave lives here: %s", folder);
    return S_OK;
}

HRESULT CCfgBase::LoadDefaultValues(CXMLDoc& document)
{
    TheLog().Comment("CCfgBase::LoadDefaultValues");
    CString path;
    HRESULT hr = FindAddin(path);
    if (FAILED(hr))
        return hr;
    path += "inkDefaults.xml";
    TheLog().CommentFormat("Loading %s", path);
    // A missing or unreadable file shows as a failed node lookup afterwards.
    (void)document.LoadFile(path);
    return S_OK;
}

HRESULT CCfgBase::FindDefault(const char* name, CString& text, CString& exact)
{
    if (!name)
        return E_INVALIDARG;
    CString path;
    HRESULT hr = FindAddin(path);
    if (FAILED(hr))
        return hr;
    path += "inkDefaults.xml";

    bool found = false;
    {
        DefaultsCache& cache = Defaults();
        std::lock_guard<std::mutex> guard(cache.lock);
        FileStamp stamp;
        if (!StampOf(path, stamp)) {
            cache.filled = false;
            cache.values.clear();
            return E_FAIL;
        }
        if (!cache.filled || !(cache.stamp == stamp)) {
            cache.filled = true;
            cache.stamp = stamp;
            cache.values.clear();
            cache.loaded = E_FAIL;
            if (stamp.size > kLongestDefaultsFile) {
                TheLog().Warning("CCfgBase::GetDefaultValue: inkDefaults.xml is too large and is "
                                 "ignored");
            } else {
                CXMLDoc document;
                if (SUCCEEDED(LoadDefaultValues(document)) &&
                    document.GotoNode("inkDefaults") == S_OK &&
                    document.GetChildValues(cache.values) == S_OK)
                    cache.loaded = S_OK;
            }
        }
        if (FAILED(cache.loaded))
            return cache.loaded;
        for (const CXMLDoc::ChildValue& element : cache.values) {
            if (element.name == name) {
                // An element that holds only other elements has no value.
                found = element.hasText;
                text = element.text;
                exact = element.exact;
                break;
            }
        }
    }
    // "Not found" is a failure like any other to the settings.
    if (!found)
        return E_FAIL;
    if (text.GetLength() >= static_cast<int>(kTextCapacity)) {
        TheLog().Warning("CCfgBase::GetDefaultValue: the text is too long and is ignored");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CCfgBase::GetDefaultValue(const char* name, CString& value)
{
    TheLog().CommentFormat("CCfgBase::GetDefaultValue for %s", name);
    CString text;
    CString exact;
    HRESULT hr = FindDefault(name, text, exact);
    if (FAILED(hr))
        return hr;
    value = text;
    TheLog().CommentFormat("CCfgBase::GetDefaultValue found %s", value);
    return S_OK;
}

HRESULT CCfgBase::GetDefaultValue(const char* name, DWORD& value)
{
    TheLog().CommentFormat("CCfgBase::GetDefaultValue for %s", name);
    CString text;
    CString exact;
    HRESULT hr = FindDefault(name, text, exact);
    if (FAILED(hr))
        return hr;
    // The digits must lead the text as written: " 1" has none.
    DWORD number = 0;
    if (!LeadingNumber(exact, number)) {
        TheLog().Warning("CCfgBase::GetDefaultValue: the number is out of range and is ignored");
        return E_FAIL;
    }
    value = number;
    TheLog().CommentFormatInt("CCfgBase::GetDefaultValue found %ld", static_cast<long>(number));
    return S_OK;
}

HRESULT CCfgBase::GetCmdBarState(CCmdBarState& state)
{
    struct Member {
        const char* name;
        long CCmdBarState::*field;
    };
    static constexpr Member kMembers[] = {
        {"CmdBarTop", &CCmdBarState::Top},         {"CmdBarLeft", &CCmdBarState::Left},
        {"CmdBarPos", &CCmdBarState::Position},    {"CmdBarRowIndex", &CCmdBarState::RowIndex},
        {"CmdBarVisible", &CCmdBarState::Visible},
    };
    for (const Member& member : kMembers) {
        DWORD value = 0;
        HRESULT hr = GetKey(member.name, value);
        if (FAILED(hr))
            return hr;
        state.*member.field = static_cast<long>(value);
    }
    return S_OK;
}

WORD CCfgBase::GetPort()
{
    DWORD ssl = 1;
    (void)GetKey("SSL", ssl);
    return ssl ? 443 : 80;
}

HRESULT CCfgBase::GetMailboxName(CString& name)
{
    return GetKey("MailboxName", name);
}

void CCfgBase::SetMailboxName(const char* name)
{
    SetKey("MailboxName", name);
}

HRESULT CCfgBase::GetIdentity(CString& identity)
{
    identity.Empty();
    return GetKey("Identity", identity);
}

void CCfgBase::SetIdentity(const char* identity)
{
    SetKey("Identity", identity);
}

HRESULT CCfgBase::GetServiceUrl(CString& url, const char* path)
{
    {
        CRegKey key;
        if (key.Open(HKEY_CURRENT_USER, GetKeyPath(), KEY_ALL_ACCESS) != ERROR_SUCCESS)
            return E_FAIL;
    }

    CString host;
    bool missing = false;
    if (!ReadHost(host, missing)) {
        host = CurrentServiceHost();
        if (missing)
            SetKey("Host", host);
    }

    CString servicePath;
    if (path) {
        servicePath = path;
    } else if (FAILED(GetKey("ServicePortPath", servicePath))) {
        servicePath = DefaultServicePath();
        SetKey("ServicePortPath", servicePath);
    }

    url.Format(GetPort() == 443 ? "https://%s/%s" : "http://%s/%s", host.GetString(),
               servicePath.GetString());
    return S_OK;
}
