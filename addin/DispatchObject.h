// CDispatchObject: the IDispatch that an Outlook, Word or Office event
// source calls. It knows its events from a static table (DISPID, argument
// count, name) and checks every call against it, so the handler sees only
// the events it declared, each with exactly the arguments it declared.
// The count of references is a plain one: everything runs on Outlook's user
// interface thread. A new object starts at 0; the last Release deletes it.
#pragma once

#include <windows.h>
#include <oaidl.h>

// One event of a sink's table; a table ends at the first entry without a name.
struct CEventEntry {
    DISPID dispid;
    UINT argCount;
    const char* name;
};

class CDispatchObject : public IDispatch {
public:
    explicit CDispatchObject(const CEventEntry* events) : m_events(events) {}
    CDispatchObject(const CDispatchObject&) = delete;
    CDispatchObject& operator=(const CDispatchObject&) = delete;

    // IUnknown: the sink answers for its event interface, IUnknown and
    // IDispatch (a source's Advise asks for the event interface).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: no type information; names and calls from the table.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    virtual ~CDispatchObject() = default;

    ULONG RefCount() const { return m_refs; }

    // The argument an event passes at declaration position index (0 for the
    // first) of its argCount arguments, with a VARIANT reference followed.
    // Automation passes them last first, so this is rgvarg[argCount-1-index].
    // Null when the event has no such argument.
    static const VARIANT* EventArg(const DISPPARAMS* params, UINT index, UINT argCount);
    // That argument as an object (by value or by reference); null when it is
    // none.
    static IDispatch* EventObject(const DISPPARAMS* params, UINT index, UINT argCount);

protected:
    // An event of the table with its declared argument count. What it
    // returns does not reach the source.
    virtual HRESULT OnInvoke(DISPID id, DISPPARAMS* params) = 0;
    // The event interface this sink implements.
    virtual const IID& GetEventIID() const = 0;

    // From here on Release never deletes: the object is already going, and
    // what it lets go of on the way (an advised connection) calls Release.
    void BeginDestruction() { m_dying = true; }

private:
    const CEventEntry* Find(DISPID id) const;

    ULONG m_refs = 0;
    const CEventEntry* m_events;
    bool m_dying = false;
};
