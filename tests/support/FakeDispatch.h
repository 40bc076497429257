// CFakeDispatch: a scriptable automation object for tests of code that
// drives Outlook by late binding. Members are looked up by name without
// regard to case, as Outlook does. Each member accepts the invoke kinds it
// is given (a property refuses a plain method call, a member may take a
// value by put but not by put-by-reference); a refused kind answers
// DISP_E_MEMBERNOTFOUND, as a type library would. Every invoke is logged,
// refused or not, with its arguments as they came (the last parameter first).
//
// Which to use: CFakeDispatch where a test is about the code that drives an
// object by late binding (how it names members, which invoke kinds and
// arguments it passes, what it does with a failure or an odd answer), and
// the object model around it does not matter; a few members, scripted
// inline, and its call list. The Outlook stand-in's automation objects
// (standins/outlook, CAutoObject) where the code works with Outlook itself:
// items, folders, inspectors, command bars and their events, whose
// behaviour and whose state afterwards the test asserts on, and where a
// member's meaning (not only its signature) must be Outlook's.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "standins/outlook/core/OleWindowPart.h"

// A test double: its count does not hold the module (see CComObject.h).
class CFakeDispatch final : public CComDispatchT<ComLifetime::Unlocked, IDispatch> {
public:
    static constexpr WORD kMethod = DISPATCH_METHOD;
    static constexpr WORD kGet = DISPATCH_PROPERTYGET;
    static constexpr WORD kPut = DISPATCH_PROPERTYPUT;
    static constexpr WORD kPutRef = DISPATCH_PROPERTYPUTREF;
    static constexpr WORD kProperty = kGet | kPut | kPutRef;

    // Answers one accepted invoke: params as the caller passed them; result
    // may be null when the caller wants no value.
    using Handler = std::function<HRESULT(const DISPPARAMS& params, VARIANT* result)>;

    struct Call {
        std::wstring name; // as the member was registered
        WORD flags;
        std::vector<CVariant> args; // rgvarg order: the last parameter first
        std::vector<DISPID> named;
    };

    static CComPtr<CFakeDispatch> Create();

    // A property that stores its value: a get returns a copy, a put or
    // put-by-reference of one argument named DISPID_PROPERTYPUT replaces it.
    CFakeDispatch& Prop(const wchar_t* name, const VARIANT& value, WORD accepts = kProperty);
    CFakeDispatch& Prop(const wchar_t* name, const wchar_t* text, WORD accepts = kProperty);
    CFakeDispatch& Prop(const wchar_t* name, long value, WORD accepts = kProperty);
    // Takes a reference; null stands for Outlook's Nothing.
    CFakeDispatch& Prop(const wchar_t* name, IDispatch* object, WORD accepts = kProperty);
    // A member answered by handler. A parametrised property such as Item is
    // a member that accepts kGet alone.
    CFakeDispatch& Method(const wchar_t* name, Handler handler, WORD accepts = kMethod);
    // Every invoke of the member fails with hr (S_OK ends that); the call is
    // still logged.
    CFakeDispatch& Fail(const wchar_t* name, HRESULT hr);

    // Answers IOleWindow with this window from now on, as an explorer or
    // inspector does (null: no IOleWindow).
    CFakeDispatch& Window(HWND window);

    // The stored value of a property (null for an unknown name or a method).
    const VARIANT* Value(const wchar_t* name) const;

    const std::vector<Call>& Calls() const { return m_calls; }
    std::vector<Call> CallsTo(const wchar_t* name) const;
    void ClearCalls() { m_calls.clear(); }

    // IDispatch (no type information)
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

private:
    struct Member {
        std::wstring name;
        WORD accepts = 0;
        Handler handler; // empty for a stored property
        CVariant value;
        HRESULT failure = S_OK;
    };

    CFakeDispatch() = default;
    ~CFakeDispatch() override = default;
    void* QueryOther(REFIID iid) override;

    Member& Define(const wchar_t* name);
    Member* Find(const wchar_t* name);
    const Member* Find(const wchar_t* name) const;
    HRESULT Answer(Member& member, WORD flags, const DISPPARAMS& params, VARIANT* result);

    std::vector<Member> m_members; // DISPID = index + 1
    std::vector<Call> m_calls;
    HWND m_window = nullptr;
    standin::COleWindowPart m_oleWindow{static_cast<IDispatch&>(*this),
                                        [this] { return m_window; }};
};
