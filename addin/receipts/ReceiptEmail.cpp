#include "addin/receipts/ReceiptEmail.h"

#include "addin/receipts/MsgCopy.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"

using namespace automation;

namespace {

// The service's lists of addresses are joined by commas; a mail's are
// joined by semicolons, one recipient each.
CString RecipientLine(const CString& addresses)
{
    CString line = addresses;
    line.Replace(",", "; ");
    return line;
}

HRESULT AttachDocument(IDispatch* attachments, const CQuilletReceipt::CDocument& document)
{
    CBstr source(document.m_file);
    CBstr name(document.m_name);
    VARIANT args[] = {BorrowedTextArg(name.Get()), LongArg(ol::kAttachAtEnd),
                      LongArg(ol::kAttachByValue), BorrowedTextArg(source.Get())};
    CVariant added;
    return CDispatcher::CallMethod(attachments, L"Add", added.Put(), 4, args);
}

HRESULT BuildMail(CReceiptEmail& email, IDispatch* task, IDispatch* mail, long position)
{
    TheLog().Comment("ReconstituteEmail: PutProp Subject");
    RETURN_IF_FAILED(PutText(mail, L"Subject", email.m_subject));
    TheLog().Comment("ReconstituteEmail: PutProp Body");
    RETURN_IF_FAILED(PutText(mail, L"Body", email.m_message));
    TheLog().Comment("ReconstituteEmail: PutProp To");
    CString to = RecipientLine(email.m_signers);
    if (!email.m_secondSigners.IsEmpty())
        to += "; " + RecipientLine(email.m_secondSigners);
    RETURN_IF_FAILED(PutText(mail, L"To", to));
    if (!email.m_ccs.IsEmpty()) {
        TheLog().Comment("ReconstituteEmail: PutProp CC");
        RETURN_IF_FAILED(PutText(mail, L"CC", RecipientLine(email.m_ccs)));
    }
    if (!email.m_documents.empty()) {
        CVariant attachments;
        RETURN_IF_FAILED(CDispatcher::GetProp(mail, L"Attachments", attachments.Put()));
        if (!IsObject(attachments))
            return E_FAIL;
        while (!email.m_documents.empty()) {
            // Outlook has the bytes once they are attached: the document and
            // its file go.
            std::unique_ptr<CQuilletReceipt::CDocument> document =
                std::move(email.m_documents.front());
            email.m_documents.pop_front();
            RETURN_IF_FAILED(AttachDocument(attachments.pdispVal, *document));
        }
    }
    TheLog().Comment("ReconstituteEmail: Calling Save");
    CVariant ignored;
    RETURN_IF_FAILED(CDispatcher::CallMethod(mail, L"Save", ignored.Put(), 0, nullptr));
    TheLog().Comment("ReconstituteEmail: Item Saved");
    TheLog().Comment("ReconstituteEmail: AttachMsgToItem");
    RETURN_IF_FAILED(SaveMsgCopy(task, mail, email.m_subject, email.m_subject, position));
    TheLog().Comment("ReconstituteEmail: Msg Attached");
    return S_OK;
}

} // namespace

HRESULT ReconstituteEmail(IDispatch* application, CReceiptEmail& email, IDispatch* task,
                          VARIANT* mail, long position)
{
    if (!application || !task || !mail)
        return E_INVALIDARG;
    VariantClear(mail);
    HRESULT hr = S_OK;
    try {
        TheLog().Comment("ReconstituteEmail: CreateItem");
        VARIANT type[] = {LongArg(ol::kMailItem)};
        hr = CDispatcher::CallMethod(application, L"CreateItem", mail, 1, type);
        if (SUCCEEDED(hr) && !IsObject(*mail))
            hr = E_FAIL;
        if (SUCCEEDED(hr)) {
            TheLog().Comment("ReconstituteEmail: Item Created");
            hr = BuildMail(email, task, mail->pdispVal, position);
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    // The mail was only the vehicle of its ".msg" copy.
    if (IsObject(*mail)) {
        CVariant ignored;
        (void)CDispatcher::CallMethod(mail->pdispVal, L"Delete", ignored.Put(), 0, nullptr);
    }
    email.m_documents.clear();
    if (FAILED(hr))
        TheLog().HResult("ReconstituteEmail", hr);
    return hr;
}
