// CAutoObject: the base of every stand-in Outlook, Word and Office object.
// Its members are defined by name at construction and served through
// IDispatch the way Office's type-library dispatch serves them: names
// without regard to case, a property read through DISPATCH_PROPERTYGET
// (alone or with DISPATCH_METHOD), a method through DISPATCH_METHOD, a put
// only through DISPATCH_PROPERTYPUT (or PUTREF for objects) with the named
// DISPID_PROPERTYPUT argument. Every call is recorded in the call log, and
// injected failures are answered before the member runs.
//
// Objects that raise events hold one connection point per event interface
// and fire through it to every advised sink, with the arguments in
// automation order.
//
// Their IUnknown is the class library's, with a lifetime of their own kind:
// the last Release deletes them, but they do not hold the module's lock
// count. The stand-ins live in the same test program as the product code
// under test, whose count (what its DllCanUnloadNow answers) a test may
// check while an Outlook of stand-ins is still open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "standins/outlook/core/Call.h"

namespace standin {

// Asked of an IDispatch to find whether it is one of ours ({B3D0C1A5-...}).
extern const IID IID_IStandInObject;

class CConnectionPoint;

class CAutoObject
    : public CComDispatchT<ComLifetime::Unlocked, IDispatch, IConnectionPointContainer> {
public:
    const std::wstring& Kind() const { return m_kind; }
    IDispatch* Dispatch() { return this; }

    // Fires an event to every sink advised on the interface, arguments in
    // declaration order (references let a sink answer, as Cancel does).
    // Sinks may unadvise while the event runs. The sinks' answers.
    std::vector<HRESULT> Fire(REFIID events, DISPID id, std::vector<CVariant> args = {});
    // Sinks advised on the interface now (0 for one the object lacks).
    size_t Connections(REFIID events) const;

    // This object alone fails the member with hr from now on (S_OK ends it).
    void FailMember(const std::wstring& member, HRESULT hr);

    // IDispatch (no type information)
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

protected:
    using Handler = std::function<void(CCall& call)>;

    explicit CAutoObject(std::wstring kind);
    ~CAutoObject() override;

    // A method taking minArgs to maxArgs positional arguments.
    void Method(const wchar_t* name, unsigned minArgs, unsigned maxArgs, Handler handler);
    // A member that is both a method and a (parametrised) property read,
    // such as a collection's Item.
    void Indexed(const wchar_t* name, unsigned minArgs, unsigned maxArgs, Handler handler);
    // A read-only property.
    void Getter(const wchar_t* name, Handler get);
    // A read-write property; objectValue also takes puts by reference.
    void Property(const wchar_t* name, Handler get, Handler put, bool objectValue = false);

    // The object sources this event interface.
    void AddEventSource(REFIID events);

    // IID_IStandInObject gives the object itself; an object that sources no
    // events is no connection point container.
    void* QueryOther(REFIID iid) override;
    bool Withholds(REFIID iid) const override;

private:
    struct Member {
        std::wstring name;
        WORD accepts = 0;
        unsigned minArgs = 0;
        unsigned maxArgs = 0;
        Handler get; // the method, or the property read
        Handler put;
        HRESULT failure = S_OK;
    };

    void Define(const wchar_t* name, WORD accepts, unsigned minArgs, unsigned maxArgs, Handler get,
                Handler put);
    HRESULT Answer(Member& member, WORD flags, const DISPPARAMS& params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError);
    CConnectionPoint* PointFor(REFIID events) const;

    std::wstring m_kind;
    std::vector<Member> m_members; // DISPID = index + 1
    std::vector<std::unique_ptr<CConnectionPoint>> m_points;
};

// A new object, with the one reference the pointer holds.
template <class T, class... Args>
CComPtr<T> New(Args&&... args)
{
    return CComPtr<T>(new T(std::forward<Args>(args)...));
}

// The stand-in object behind an IDispatch, when it is one of ours and a T.
template <class T>
T* Unwrap(IDispatch* dispatch)
{
    if (!dispatch)
        return nullptr;
    CAutoObject* object = nullptr;
    if (FAILED(dispatch->QueryInterface(IID_IStandInObject, reinterpret_cast<void**>(&object))))
        return nullptr;
    object->Release(); // the caller's own reference keeps it alive
    return dynamic_cast<T*>(object);
}

} // namespace standin
