// The Inbox items' sink: a mailed template ("Inkstave Template" with one
// .xml attachment) is offered to the user and, on Yes, copied into the
// template folder under the template's own name, which must be a safe
// file name there. The mail comes from anyone: a template that names a
// file of this machine as a document (which a send would upload) is
// refused, and the question shows what the template holds and whether it
// replaces one of the user's. ItemAdd fires during Send/Receive, where
// Outlook must not be held in a dialog: the import runs once the event
// has returned (CPostedWork).
#pragma once

#include "addin/core/EventHandler.h"
#include "classlib/com/CComPtr.h"
#include "classlib/strings/CString.h"

class CTemplate;

class CItemsEvents : public CEventHandler {
public:
    CItemsEvents();

    // With a null source, reconnects to the Items collection it had.
    HRESULT Connect(IDispatch* items) override;

    // The template import of one new item. S_FALSE when the item is no
    // mailed template or the user said No; a failure when it could not be
    // read or copied or was refused (the user is told why).
    HRESULT OnItemAddChange(IDispatch* item);
    // Loads the item's one .xml attachment into tmpl through a temporary
    // copy, whose path goes to tempPath (the caller deletes the file).
    HRESULT ReadTemplateAttachment(IDispatch* item, CTemplate& tmpl, CString& tempPath);

    // {00063077-0000-0000-C000-000000000046}: Outlook's ItemsEvents.
    static const IID kEvents;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override;
    const IID& GetEventIID() const override { return kEvents; }

    // The Yes/No question; true for Yes.
    virtual bool AskToImport(const CString& question);
    // Why a mailed template was not imported.
    virtual void TellRefused(const CString& text);

private:
    CComPtr<IDispatch> m_source;
};
