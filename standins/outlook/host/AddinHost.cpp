#include "standins/outlook/host/AddinHost.h"

#include <algorithm>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPart.h"
#include "classlib/com/CVariant.h"
#include "classlib/win32/CRegKey.h"
#include "standins/outlook/core/AutoObject.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Word.h"

namespace host {

namespace {

constexpr const char* kOutlookAddinsKey = "Software\\Microsoft\\Office\\Outlook\\Addins";
constexpr const char* kWordAddinsKey = "Software\\Microsoft\\Office\\Word\\Addins";
constexpr DWORD kLoadAtStartup = 3;

std::wstring Hex(HRESULT hr)
{
    wchar_t text[16];
    wsprintfW(text, L"%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Times the add-in's calls with the performance counter: the tick count is
// far too coarse for calls that take microseconds.
class CStopwatch {
public:
    CStopwatch() { QueryPerformanceCounter(&m_start); }
    double Milliseconds() const
    {
        LARGE_INTEGER now;
        LARGE_INTEGER frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_start;
};

std::wstring TimingsLine(const CAddinHost::Addin& addin)
{
    wchar_t text[128];
    swprintf(text, sizeof text / sizeof text[0], L" load %.3f ms startup %.3f ms shutdown %.3f ms",
             addin.loadMs, addin.startupMs, addin.shutdownMs);
    return L"timings " + addin.progId + text;
}

std::vector<std::wstring> StartupAddins(HKEY root, const char* addinsKey)
{
    std::vector<std::wstring> found;
    CRegKey addins;
    if (addins.Open(root, addinsKey, KEY_READ) != ERROR_SUCCESS)
        return found;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(addins.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        CRegKey addin;
        DWORD behaviour = 0;
        if (addin.Open(addins.Get(), name, KEY_READ) == ERROR_SUCCESS &&
            addin.QueryDword("LoadBehavior", behaviour) == ERROR_SUCCESS &&
            behaviour == kLoadAtStartup)
            found.push_back(FromUtf8(name));
    }
    return found;
}

// What Outlook passes as the add-in's own entry (AddInInst).
class CComAddIn final : public standin::CAutoObject {
public:
    explicit CComAddIn(std::wstring progId) : CAutoObject(L"COMAddIn"), m_progId(std::move(progId))
    {
        Getter(L"ProgId", [this](standin::CCall& call) { call.Return(m_progId); });
        Getter(L"Description", [this](standin::CCall& call) { call.Return(m_progId); });
        Getter(L"Connect", [](standin::CCall& call) { call.ReturnBool(true); });
        Property(
            L"Object", [this](standin::CCall& call) { call.Return(m_object.Get()); },
            [this](standin::CCall& call) { m_object = CComPtr<IDispatch>(call.ValueObject()); },
            true);
    }

private:
    std::wstring m_progId;
    CComPtr<IDispatch> m_object;
};

// The control a ribbon callback gets: its id and the window it is in, by
// name through IDispatch, and through IRibbonControl for an add-in that
// binds to it early (another face of the object, with its identity and
// references).
class CRibbonControl final : public standin::CAutoObject {
public:
    CRibbonControl(std::wstring id, IDispatch* context)
        : CAutoObject(L"RibbonControl"), m_id(std::move(id)), m_context(context), m_vtable(*this)
    {
        Getter(L"Id", [this](standin::CCall& call) { call.Return(m_id); });
        Getter(L"Context", [this](standin::CCall& call) { call.Return(m_context.Get()); });
        Getter(L"Tag", [](standin::CCall& call) { call.Return(L""); });
    }

protected:
    void* QueryOther(REFIID iid) override
    {
        return iid == IID_IRibbonControl ? static_cast<IRibbonControl*>(&m_vtable)
                                         : CAutoObject::QueryOther(iid);
    }

private:
    class CVtable final : public CComPartT<ComIdentity::Owners, IRibbonControl> {
    public:
        explicit CVtable(CRibbonControl& owner) : CComPartT(*owner.Dispatch()), m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
        {
            return m_owner.GetTypeInfoCount(count);
        }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override
        {
            return m_owner.GetTypeInfo(index, locale, info);
        }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                LCID locale, DISPID* ids) override
        {
            return m_owner.GetIDsOfNames(iid, names, count, locale, ids);
        }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                         UINT* argError) override
        {
            return m_owner.Invoke(id, iid, locale, flags, params, result, exception, argError);
        }
        HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) override
        {
            if (!id)
                return E_POINTER;
            *id = SysAllocStringLen(m_owner.m_id.data(), static_cast<UINT>(m_owner.m_id.size()));
            return *id ? S_OK : E_OUTOFMEMORY;
        }
        HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) override
        {
            if (!context)
                return E_POINTER;
            *context = m_owner.m_context.Get();
            if (*context)
                (*context)->AddRef();
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) override
        {
            if (!tag)
                return E_POINTER;
            *tag = SysAllocString(L"");
            return *tag ? S_OK : E_OUTOFMEMORY;
        }

    private:
        CRibbonControl& m_owner;
    };

    std::wstring m_id;
    CComPtr<IDispatch> m_context;
    CVtable m_vtable;
};

// An empty array of custom arguments, as Outlook passes.
class CCustomArgs {
public:
    CCustomArgs() : m_array(SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
    CCustomArgs(const CCustomArgs&) = delete;
    CCustomArgs& operator=(const CCustomArgs&) = delete;
    ~CCustomArgs()
    {
        if (m_array)
            SafeArrayDestroy(m_array);
    }
    SAFEARRAY** Get() { return &m_array; }

private:
    SAFEARRAY* m_array;
};

} // namespace

std::wstring RibbonAttribute(const std::wstring& markup, const std::wstring& controlId,
                             const std::wstring& attribute)
{
    const std::wstring idText = L"id=\"" + controlId + L"\"";
    for (size_t at = markup.find(idText); at != std::wstring::npos;
         at = markup.find(idText, at + 1)) {
        // "id" must be the whole attribute name, not the end of "idMso".
        if (at == 0 || !iswspace(markup[at - 1]))
            continue;
        const size_t start = markup.rfind(L'<', at);
        const size_t end = markup.find(L'>', at);
        if (start == std::wstring::npos || end == std::wstring::npos)
            return {};
        const std::wstring element = markup.substr(start, end - start);
        const std::wstring wanted = L" " + attribute + L"=\"";
        const size_t value = element.find(wanted);
        if (value == std::wstring::npos)
            return {};
        const size_t first = value + wanted.size();
        const size_t last = element.find(L'"', first);
        return last == std::wstring::npos ? std::wstring() : element.substr(first, last - first);
    }
    return {};
}

CAddinHost::CAddinHost(standin::CApplication& application, CReport& report, Host host)
    : m_application(application), m_report(report), m_host(host), m_version(OutlookVersion())
{}

CAddinHost::~CAddinHost()
{
    ShutDown();
}

std::vector<std::wstring> CAddinHost::RegisteredAddins(Host host)
{
    const char* key = host == Host::Word ? kWordAddinsKey : kOutlookAddinsKey;
    std::vector<std::wstring> progIds = StartupAddins(HKEY_CURRENT_USER, key);
    for (const std::wstring& machine : StartupAddins(HKEY_LOCAL_MACHINE, key)) {
        const bool already = std::any_of(progIds.begin(), progIds.end(), [&](const auto& user) {
            return standin::SameName(user, machine);
        });
        if (!already)
            progIds.push_back(machine);
    }
    return progIds;
}

int CAddinHost::OutlookVersion()
{
    CRegKey key;
    CString value;
    if (key.Open(HKEY_CLASSES_ROOT, "Outlook.Application\\CurVer", KEY_READ) != ERROR_SUCCESS ||
        key.QueryText(nullptr, value, 512) != ERROR_SUCCESS)
        return 11;
    const char* text = value.GetString();
    const char* dot = strrchr(text, '.');
    const int version = dot ? atoi(dot + 1) : 0;
    return version > 0 ? version : 11;
}

IDispatch* CAddinHost::HostApplication() const
{
    return m_host == Host::Word ? m_application.Word().Dispatch() : m_application.Dispatch();
}

void CAddinHost::Load(const std::wstring& progId)
{
    Addin addin;
    addin.progId = progId;
    CLSID clsid;
    const CStopwatch creating;
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2,
                              addin.object.PutVoid());
    addin.loadMs = creating.Milliseconds();
    if (FAILED(hr)) {
        m_report.Error(L"addin " + progId + L" not created " + Hex(hr));
        return;
    }
    // Office asks a new add-in for its ribbon once, right after creating it
    // and before connecting it; an add-in that says no then has no ribbon.
    if (m_version >= 12) {
        const CStopwatch asking;
        if (FAILED(
                addin.object->QueryInterface(IID_IDTRibbonExtensibility, addin.ribbon.PutVoid())))
            addin.ribbon.Release();
        addin.startupMs += asking.Milliseconds();
    }
    CComPtr<IDispatch> entry(standin::New<CComAddIn>(progId)->Dispatch());
    CCustomArgs custom;
    const CStopwatch connecting;
    hr = addin.object->OnConnection(HostApplication(), ext_cm_Startup, entry.Get(), custom.Get());
    addin.startupMs += connecting.Milliseconds();
    if (FAILED(hr)) {
        m_report.Error(L"addin " + progId + L" OnConnection " + Hex(hr));
        return;
    }
    addin.connected = true;
    m_report.Line(L"addin " + progId + L" connected");

    if (addin.ribbon) {
        const std::vector<const wchar_t*> ribbonIds =
            m_host == Host::Word ? std::vector<const wchar_t*>{kWordRibbon}
                                 : std::vector<const wchar_t*>{kExplorerRibbon, kComposeRibbon};
        for (const wchar_t* ribbonId : ribbonIds) {
            CBstr id(ribbonId);
            CBstr markup;
            const CStopwatch asking;
            hr = addin.ribbon->GetCustomUI(id.Get(), markup.Put());
            addin.startupMs += asking.Milliseconds();
            const std::wstring text(markup.Get() ? markup.Get() : L"", markup.Length());
            if (FAILED(hr))
                m_report.Error(L"ribbon " + std::wstring(ribbonId) + L" " + Hex(hr));
            else
                m_report.Line(L"ribbon " + std::wstring(ribbonId) + L" " + text);
            addin.ribbonXml[ribbonId] = text;
        }
    }
    m_addins.push_back(std::move(addin));
}

void CAddinHost::StartUp()
{
    m_report.Line((m_host == Host::Word ? L"word version " : L"outlook version ") +
                  std::to_wstring(m_version));
    for (const std::wstring& progId : RegisteredAddins(m_host))
        Load(progId);
    for (Addin& addin : m_addins) {
        CCustomArgs custom;
        const CStopwatch updating;
        addin.object->OnAddInsUpdate(custom.Get());
        addin.startupMs += updating.Milliseconds();
    }
    for (Addin& addin : m_addins) {
        CCustomArgs custom;
        const CStopwatch completing;
        const HRESULT hr = addin.object->OnStartupComplete(custom.Get());
        addin.startupMs += completing.Milliseconds();
        if (FAILED(hr))
            m_report.Error(L"addin " + addin.progId + L" OnStartupComplete " + Hex(hr));
    }
}

void CAddinHost::ShutDown()
{
    for (Addin& addin : m_addins) {
        CCustomArgs custom;
        const CStopwatch beginning;
        addin.object->OnBeginShutdown(custom.Get());
        addin.shutdownMs += beginning.Milliseconds();
    }
    for (Addin& addin : m_addins) {
        CCustomArgs custom;
        const CStopwatch disconnecting;
        addin.object->OnDisconnection(ext_dm_HostShutdown, custom.Get());
        addin.shutdownMs += disconnecting.Milliseconds();
        m_report.Line(L"addin " + addin.progId + L" disconnected");
        if (m_timings)
            m_report.Line(TimingsLine(addin));
    }
    // The add-ins go before the host does: COM may unload their libraries.
    m_addins.clear();
}

HRESULT CAddinHost::RibbonCallback(const std::wstring& controlId, const std::wstring& attribute,
                                   IDispatch* context, VARIANT* result)
{
    for (Addin& addin : m_addins) {
        for (const auto& [ribbonId, markup] : addin.ribbonXml) {
            const std::wstring callback = RibbonAttribute(markup, controlId, attribute);
            if (callback.empty())
                continue;
            LPOLESTR names[] = {const_cast<LPOLESTR>(callback.c_str())};
            DISPID id = DISPID_UNKNOWN;
            HRESULT hr = addin.object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
            if (FAILED(hr))
                return hr;
            CVariant control(standin::New<CRibbonControl>(controlId, context)->Dispatch());
            DISPPARAMS params{&control, nullptr, 1, 0};
            return addin.object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                        result, nullptr, nullptr);
        }
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace host
