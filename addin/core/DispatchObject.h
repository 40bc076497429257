// CDispatchObject: the IDispatch that an Outlook, Word or Office event
// source calls. It knows its events from a static table (DISPID, argument
// count, name) and checks every call against it, so the handler sees only
// the events it declared, each with exactly the arguments it declared.
// Its IUnknown is CComObject's: a new object starts at 0, the last Release
// deletes it, and while it lives it keeps the library loaded.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "classlib/com/CComDispatch.h"

// One event of a sink's table; a table ends at the first entry without a name.
struct CEventEntry {
    DISPID dispid;
    UINT argCount;
    const char* name;
};

// The sink answers for its event interface, IUnknown and IDispatch (a
// source's Advise asks for the event interface).
class CDispatchObject : public CComDispatch<IDispatch> {
public:
    explicit CDispatchObject(const CEventEntry* events) : m_events(events) {}

    // IDispatch: no type information (CComDispatch); names and calls from
    // the table.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

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

    void* QueryOther(REFIID iid) override;

private:
    const CEventEntry* Find(DISPID id) const;

    const CEventEntry* m_events;
};
