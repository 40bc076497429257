// A sample gateway plug-in: what a gateway outside the system looks like to
// the add-in. Two classes (A and B) of one behaviour, so a test can have
// two gateways called in one send. Each reads what to answer from its
// registry key and records there what it was told (SampleGatewayIds.h).
#include <string>

#include <windows.h>
#include <comcat.h>
#include <oleauto.h>
#include <olectl.h>

#include "classlib/com/Barrier.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComModule.h"
#include "classlib/com/CComPtr.h"
#include "shared/gateway/QuilletGateway.h"
#include "standins/gateway/SampleGatewayIds.h"

namespace {

std::wstring ClsidText(REFCLSID clsid)
{
    wchar_t text[64] = {};
    StringFromGUID2(clsid, text, 64);
    return text;
}

std::wstring SettingsKey(REFCLSID clsid)
{
    const std::string base = kSampleGatewayKey;
    return std::wstring(base.begin(), base.end()) + L"\\" + ClsidText(clsid);
}

bool ReadDword(REFCLSID clsid, const wchar_t* name, DWORD& value)
{
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, SettingsKey(clsid).c_str(), name, RRF_RT_REG_DWORD,
                        nullptr, &value, &size) == ERROR_SUCCESS;
}

bool ReadText(REFCLSID clsid, const wchar_t* name, std::wstring& text)
{
    DWORD size = 0;
    const std::wstring key = SettingsKey(clsid);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS)
        return false;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(),
                     &size) != ERROR_SUCCESS)
        return false;
    value.resize(wcslen(value.c_str()));
    text = value;
    return true;
}

void Record(REFCLSID clsid, const wchar_t* counter, const wchar_t* textName, const BSTR text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey(clsid).c_str(), 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD count = 0;
    ReadDword(clsid, counter, count);
    ++count;
    RegSetValueExW(key, counter, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    if (textName) {
        const std::wstring value(text ? text : L"", text ? SysStringLen(text) : 0);
        RegSetValueExW(key, textName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

class CSampleGatewayBase : public CComDispatch<IQuilletGateway> {
public:
    explicit CSampleGatewayBase(REFCLSID clsid, const wchar_t* defaultName)
        : m_clsid(clsid), m_defaultName(defaultName)
    {
        DWORD hangMs = 0;
        if (ReadDword(m_clsid, L"MakeHangsMs", hangMs) && hangMs)
            Sleep(hangMs);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = nullptr;
        return CatchAtEdge("CSampleGateway::get_Name", [&] {
            Record(m_clsid, L"Named", nullptr, nullptr);
            DWORD hangMs = 0;
            if (ReadDword(m_clsid, L"NameHangsMs", hangMs) && hangMs)
                Sleep(hangMs);
            DWORD fails = 0;
            if (ReadDword(m_clsid, L"NameFails", fails) && fails)
                return E_FAIL;
            std::wstring text = m_defaultName;
            ReadText(m_clsid, L"Name", text);
            *name = SysAllocString(text.c_str());
            return *name ? S_OK : E_OUTOFMEMORY;
        });
    }

    HRESULT STDMETHODCALLTYPE Reserved() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE SendDocs(BSTR xml, BSTR* reply) override
    {
        if (!reply)
            return E_POINTER;
        *reply = nullptr;
        return CatchAtEdge("CSampleGateway::SendDocs", [&] {
            Record(m_clsid, L"Calls", L"Told", xml);
            DWORD failure = 0;
            if (ReadDword(m_clsid, L"Fail", failure))
                return static_cast<HRESULT>(failure);
            std::wstring text;
            if (!ReadText(m_clsid, L"Reply", text))
                return S_OK; // a gateway with nothing to say
            *reply = SysAllocString(text.c_str());
            return *reply ? S_OK : E_OUTOFMEMORY;
        });
    }

private:
    CLSID m_clsid;
    const wchar_t* m_defaultName;
};

class CSampleGatewayA final : public CSampleGatewayBase {
public:
    CSampleGatewayA() : CSampleGatewayBase(kSampleGatewayA, L"Sample Gateway A") {}
};

class CSampleGatewayB final : public CSampleGatewayBase {
public:
    CSampleGatewayB() : CSampleGatewayBase(kSampleGatewayB, L"Sample Gateway B") {}
};

std::wstring ModulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModulePath), &module))
        return std::wstring();
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

LONG SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    return RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HRESULT RegisterGatewayClass(REFCLSID clsid, const wchar_t* name, const std::wstring& path,
                             ICatRegister* categories)
{
    const std::wstring key = L"CLSID\\" + ClsidText(clsid);
    const std::wstring server = key + L"\\InprocServer32";
    if (SetText(HKEY_CLASSES_ROOT, key, nullptr, name) != ERROR_SUCCESS ||
        SetText(HKEY_CLASSES_ROOT, server, nullptr, path) != ERROR_SUCCESS ||
        SetText(HKEY_CLASSES_ROOT, server, L"ThreadingModel", L"Apartment") != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    CATID category = CATID_QuilletGateways;
    return categories->RegisterClassImplCategories(clsid, 1, &category);
}

CComPtr<ICatRegister> CategoryManager()
{
    CComPtr<ICatRegister> manager;
    CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                     IID_ICatRegister, manager.PutVoid());
    return manager;
}

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (clsid == kSampleGatewayB)
        return GetClassObject<CSampleGatewayB>(kSampleGatewayB, clsid, iid, object);
    return GetClassObject<CSampleGatewayA>(kSampleGatewayA, clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return CComModule::CanUnloadNow();
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return CatchAtEdge("DllRegisterServer", [] {
        const std::wstring path = ModulePath();
        CComPtr<ICatRegister> categories = CategoryManager();
        if (path.empty() || !categories)
            return SELFREG_E_CLASS;
        CATEGORYINFO info{};
        info.catid = CATID_QuilletGateways;
        info.lcid = 0x409;
        wcscpy(info.szDescription, L"Quillet Gateways");
        HRESULT hr = categories->RegisterCategories(1, &info);
        if (FAILED(hr))
            return hr;
        hr = RegisterGatewayClass(kSampleGatewayA, L"Sample Gateway A", path, categories.Get());
        if (SUCCEEDED(hr))
            hr = RegisterGatewayClass(kSampleGatewayB, L"Sample Gateway B", path, categories.Get());
        return hr;
    });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return CatchAtEdge("DllUnregisterServer", [] {
        CComPtr<ICatRegister> categories = CategoryManager();
        for (const CLSID* clsid : {&kSampleGatewayA, &kSampleGatewayB}) {
            if (categories) {
                CATID category = CATID_QuilletGateways;
                categories->UnRegisterClassImplCategories(*clsid, 1, &category);
            }
            RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClsidText(*clsid)).c_str());
        }
        return S_OK;
    });
}
