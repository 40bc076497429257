#include "shared/outlook/Dispatcher.h"

#include <new>

#include <oleidl.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/log/DebugLog.h"

namespace {

using automation::BoolArg;
using automation::BorrowedTextArg;
using automation::IsObject;
using automation::LongArg;

HRESULT LookUp(IDispatch* object, const wchar_t* name, DISPID& id)
{
    // GetIDsOfNames takes the names as writable pointers but only reads them.
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result)
{
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                          nullptr);
}

void ClearOut(VARIANT* out)
{
    if (out)
        VariantClear(out);
}

HRESULT AddUserProperty(IDispatch* properties, BSTR name, bool addToFolderFields, VARIANT* property)
{
    VARIANT args[] = {BoolArg(addToFolderFields), LongArg(CDispatcher::kUserPropertyText),
                      BorrowedTextArg(name)};
    return CDispatcher::CallMethod(properties, L"Add", property, 3, args);
}

// The window of the given Outlook window object (explorer or inspector).
// Its caption is logged for support, but the handle comes from the object
// itself: two open mails may share one caption, and a caption need not be
// the window's text, so a search by caption can find the wrong window.
HWND FindOutlookWindow(IDispatch* application, const wchar_t* member, const char* comment)
{
    CVariant window;
    if (FAILED(CDispatcher::GetProp(application, member, window.Put())) || !IsObject(window))
        return nullptr;
    TheLog().Comment(comment);
    CVariant caption;
    if (SUCCEEDED(CDispatcher::GetProp(window.pdispVal, L"Caption", caption.Put())) &&
        caption.vt == VT_BSTR)
        TheLog().Comment(CBstr::ToNarrow(caption.bstrVal, SysStringLen(caption.bstrVal)));
    return CDispatcher::GetWindowOf(window.pdispVal);
}

bool IsValidWindow(HWND window)
{
    return window && IsWindow(window);
}

} // namespace

HRESULT CDispatcher::GetProp(IDispatch* object, const wchar_t* name, VARIANT* result)
{
    if (!object || !name || !result)
        return E_POINTER;
    VariantClear(result);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUp(object, name, id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return Invoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, result);
}

HRESULT CDispatcher::GetTextProp(IDispatch* object, const wchar_t* name, CString& text)
{
    text.Empty();
    CVariant value;
    const HRESULT hr = GetProp(object, name, value.Put());
    if (SUCCEEDED(hr) && value.vt == VT_BSTR)
        text = CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal));
    return hr;
}

HRESULT CDispatcher::GetLongProp(IDispatch* object, const wchar_t* name, long& number)
{
    CVariant value;
    HRESULT hr = GetProp(object, name, value.Put());
    if (FAILED(hr))
        return hr;
    CVariant converted;
    hr = VariantChangeType(&converted, &value, 0, VT_I4);
    if (SUCCEEDED(hr))
        number = converted.lVal;
    return hr;
}

HRESULT CDispatcher::PutProp(IDispatch* object, const wchar_t* name, VARIANT* value)
{
    if (!object || !name || !value)
        return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUp(object, name, id);
    if (FAILED(hr))
        return hr;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {value, &putId, 1, 1};
    const VARTYPE type = value->vt;
    if (type == VT_UNKNOWN || type == VT_DISPATCH || (type & (VT_ARRAY | VT_BYREF))) {
        if (Invoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYPUTREF, params, nullptr) == S_OK)
            return S_OK;
    }
    return Invoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYPUT, params, nullptr);
}

HRESULT CDispatcher::CallMethod(IDispatch* object, const wchar_t* name, VARIANT* result,
                                int argCount, VARIANT* args)
{
    if (!object || !name || (argCount > 0 && !args))
        return E_POINTER;
    if (argCount < 0)
        return E_INVALIDARG;
    ClearOut(result);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUp(object, name, id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS params = {argCount ? args : nullptr, nullptr, static_cast<UINT>(argCount), 0};
    hr = Invoke(object, id, DISPATCH_METHOD, params, result);
    // Only a member that is no method at all is tried again: a method that
    // failed may have done part of its work (Send, Save, Delete), and
    // running it once more as a "property" would do it twice.
    if (hr != DISP_E_MEMBERNOTFOUND)
        return hr;
    ClearOut(result);
    return Invoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, params, result);
}

HRESULT CDispatcher::FindUserProperty(IDispatch* item, const wchar_t* propertyName,
                                      VARIANT* property, BOOL addToFolderFields, BOOL create)
{
    if (!item || !propertyName || !property)
        return E_POINTER;
    VariantClear(property);
    CVariant properties;
    HRESULT hr = GetProp(item, L"UserProperties", properties.Put());
    if (FAILED(hr))
        return hr;
    if (!IsObject(properties))
        return E_FAIL;

    CBstr name(propertyName);
    if (!name.Get())
        return E_OUTOFMEMORY;
    VARIANT findArgs[] = {BoolArg(true), BorrowedTextArg(name.Get())};
    hr = CallMethod(properties.pdispVal, L"Find", property, 2, findArgs);
    const bool found = SUCCEEDED(hr) && IsObject(*property);
    if (!found)
        VariantClear(property);
    if (found || !create)
        return hr;

    if (addToFolderFields) {
        hr = AddUserProperty(properties.pdispVal, name.Get(), true, property);
        if (SUCCEEDED(hr))
            return hr;
        VariantClear(property);
    }
    return AddUserProperty(properties.pdispVal, name.Get(), false, property);
}

HRESULT CDispatcher::SetUserProperty(IDispatch* item, const wchar_t* propertyName,
                                     const char* value, BOOL addToFolderFields, BOOL save)
{
    CVariant property;
    HRESULT hr = FindUserProperty(item, propertyName, property.Put(), addToFolderFields, TRUE);
    if (FAILED(hr))
        return hr;
    // Added yet not handed back: the value has nowhere to go.
    if (!IsObject(property))
        return E_FAIL;
    CVariant text(value ? value : "");
    if (!text.bstrVal)
        return E_OUTOFMEMORY;
    hr = PutProp(property.pdispVal, L"Value", &text);
    if (FAILED(hr) || !save)
        return hr;
    CVariant ignored;
    return CallMethod(item, L"Save", ignored.Put(), 0, nullptr);
}

HRESULT CDispatcher::GetUserProperty(IDispatch* item, const wchar_t* propertyName, CString& value)
{
    try {
        value.Empty();
        CVariant property;
        HRESULT hr = FindUserProperty(item, propertyName, property.Put(), FALSE, FALSE);
        if (FAILED(hr))
            return hr;
        if (!IsObject(property))
            return S_FALSE;
        CVariant stored;
        hr = GetProp(property.pdispVal, L"Value", stored.Put());
        if (FAILED(hr))
            return hr;
        if (stored.vt == VT_BSTR) {
            value = CBstr::ToNarrow(stored.bstrVal, SysStringLen(stored.bstrVal));
            return S_OK;
        }
        // Converting an object would read its default member: not a text.
        const VARTYPE type = stored.vt & VT_TYPEMASK;
        if (type == VT_DISPATCH || type == VT_UNKNOWN || (stored.vt & VT_ARRAY))
            return DISP_E_TYPEMISMATCH;
        CVariant converted;
        hr = VariantChangeTypeEx(&converted, &stored, LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL,
                                 VT_BSTR);
        if (FAILED(hr))
            return hr;
        value = CBstr::ToNarrow(converted.bstrVal, SysStringLen(converted.bstrVal));
        return S_OK;
    } catch (const std::bad_alloc&) {
        value.Empty();
        return E_OUTOFMEMORY;
    }
}

HWND CDispatcher::GetParentWindow(IDispatch* application, int preference)
{
    CLogBlock block("CDispatcher::GetParentWindow");
    HWND window = nullptr;
    try {
        switch (preference) {
        case kPreferExplorer:
            TheLog().Comment("Explorer is preferred");
            window = FindOutlookWindow(application, L"ActiveExplorer", "Getting Explorer Caption");
            break;
        case kPreferInspector:
            TheLog().Comment("Active Inspector is preferred");
            window =
                FindOutlookWindow(application, L"ActiveInspector", "Getting Inspector Caption");
            break;
        case kPreferEither:
            TheLog().Comment("Either window is preferred");
            TheLog().Comment("Fetching Active Inspector");
            window =
                FindOutlookWindow(application, L"ActiveInspector", "Getting Inspector Caption");
            if (!IsValidWindow(window)) {
                TheLog().Comment("Fetching Active Explorer");
                window =
                    FindOutlookWindow(application, L"ActiveExplorer", "Getting Explorer Caption");
            }
            break;
        default:
            break;
        }
        if (!IsValidWindow(window) && preference != kPreferExplorer &&
            preference != kPreferEither) {
            TheLog().Comment("Fetching Active Explorer");
            window = FindOutlookWindow(application, L"ActiveExplorer", "Getting Explorer Caption");
        }
    } catch (const std::bad_alloc&) {
        window = nullptr;
    }
    if (!IsValidWindow(window)) {
        // The text stays as support knows it; the dialog then has no owner,
        // which is what the desktop as owner amounts to, but an owner that is
        // the desktop itself would be disabled while the dialog runs.
        TheLog().Comment("Invalid Window Handle - Deferring to Desktop");
        window = nullptr;
    }
    return window;
}

HWND CDispatcher::GetWindowOf(IDispatch* window)
{
    if (!window)
        return nullptr;
    IOleWindow* ole = nullptr;
    if (FAILED(window->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&ole))) || !ole)
        return nullptr;
    HWND handle = nullptr;
    if (FAILED(ole->GetWindow(&handle)))
        handle = nullptr;
    ole->Release();
    return IsValidWindow(handle) ? handle : nullptr;
}

HWND CDispatcher::GetOwnerWindow(IDispatch* application, IDispatch* window)
{
    if (HWND own = GetWindowOf(window))
        return own;
    return GetParentWindow(application, kPreferExplorer);
}
