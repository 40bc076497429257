#include "addin/receipts/ReceiptTask.h"

#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "addin/receipts/MsgCopy.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/requests/Receipt.h"

using namespace automation;

namespace {

// Outlook's item type of a task (CreateItem) and its status "in progress".
constexpr long kTaskItem = 3;
constexpr long kTaskInProgress = 1;

CString LoadText(UINT id, const char* fallback)
{
    CString text;
    if (!text.LoadString(id))
        text = fallback;
    return text;
}

// The item's text property; empty when it cannot be read or is no text.
CString ReadText(IDispatch* item, const wchar_t* name)
{
    CVariant value;
    if (FAILED(CDispatcher::GetProp(item, name, value.Put())) || value.vt != VT_BSTR)
        return CString();
    return CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal));
}

// A failed step of the task is noted and the next one runs.
void Note(HRESULT hr)
{
    if (FAILED(hr))
        TheLog().HResult("CReceipt::GenerateTaskReceipt", hr);
}

} // namespace

HRESULT SetReceiptProperty(IDispatch* item, const wchar_t* name, const char* value)
{
    if (!value || !*value)
        return S_FALSE;
    return CDispatcher::SetUserProperty(item, name, value, TRUE, TRUE);
}

CString ReceiptSentAtText()
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char text[128] = {};
    if (!local || std::strftime(text, sizeof text, "%c", local) == 0)
        return CString();
    return CString(text);
}

CString ReceiptBodyText(const char* sentAt, const char* url)
{
    CString body = LoadText(IDS_TASK_RECEIPT_BODY, "%s %s");
    // The two places are filled in by hand, in order: a text that came from
    // elsewhere (a link holding "%") must never act as a format.
    const char* values[] = {sentAt ? sentAt : "", url ? url : ""};
    int from = 0;
    for (const char* value : values) {
        const int at = body.Find("%s", from);
        if (at < 0)
            break;
        body.Delete(at, 2);
        body.Insert(at, value);
        from = at + static_cast<int>(std::strlen(value));
    }
    return body;
}

CString DefaultReceiptCategory()
{
    return LoadText(IDS_TASK_RECEIPT_CATEGORY, "Quillet");
}

HRESULT PutStartDateNow(IDispatch* item)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CVariant date;
    date.vt = VT_DATE;
    if (!SystemTimeToVariantTime(&now, &date.date))
        return E_FAIL;
    return CDispatcher::PutProp(item, L"StartDate", &date);
}

HRESULT MarkReceiptClass(IDispatch* item)
{
    CVariant messageClass;
    HRESULT hr = CDispatcher::GetProp(item, L"MessageClass", messageClass.Put());
    if (FAILED(hr))
        return hr;
    if (messageClass.vt != VT_BSTR)
        return E_FAIL;
    CString text = CBstr::ToNarrow(messageClass.bstrVal, SysStringLen(messageClass.bstrVal));
    if (text.Find(kReceiptClassSuffix) >= 0)
        return S_FALSE;
    text += kReceiptClassSuffix;
    TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp MessageClass(2)");
    return PutText(item, L"MessageClass", text);
}

// ---- CReceipt's task ----

HRESULT CReceipt::AddItem(IDispatch* item, const char* name, const char* requestId,
                          const char* link)
{
    try {
        CVariant value;
        const HRESULT hr = GetProp(item, L"Subject", value.Put());
        CString subject = "<no subject>";
        if (SUCCEEDED(hr) && value.vt == VT_BSTR)
            subject = CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal));
        std::unique_ptr<CReceiptAtom> atom(new (std::nothrow)
                                               CReceiptAtom(item, name, requestId, link, subject));
        if (!atom)
            return E_OUTOFMEMORY;
        const HRESULT added = AddAtom(std::move(atom));
        return FAILED(added) ? added : hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void CReceipt::GetReceiptUrl(const CReceiptAtom& atom, CString& url)
{
    if (!atom.m_link.IsEmpty()) {
        url = atom.m_link;
        return;
    }
    CConfig config;
    config.GetHost(url);
}

HRESULT CReceipt::AttachMsgToItem(IDispatch* target, const char* subject, long position)
{
    if (m_atoms.empty())
        return E_INVALIDARG;
    const CReceiptAtom& atom = *m_atoms.front();
    return SaveMsgCopy(target, atom.m_item, atom.m_subject, subject, position);
}

void CReceipt::Generate(const char* signers, BOOL display, const char* subject)
{
    if (m_atoms.empty())
        return;
    try {
        const CReceiptAtom& atom = *m_atoms.front();
        CString fullSubject;
        CString shortSubject;
        CString signerText;
        if (atom.m_item) {
            if (subject && *subject) {
                fullSubject = subject;
                shortSubject = subject;
            } else {
                fullSubject =
                    LoadText(IDS_TASK_RECEIPT_SUBJECT, "Quillet Receipt") + ": " + atom.m_subject;
                shortSubject = atom.m_subject;
            }
            TheLog().CommentFormat("Full Subject: %s", fullSubject);
            TheLog().CommentFormat("Subject: %s", shortSubject);
            if (signers) {
                signerText = signers;
            } else {
                signerText = ReadText(atom.m_item, L"To");
                const CString copies = ReadText(atom.m_item, L"CC");
                if (!copies.IsEmpty())
                    signerText += "; " + copies;
            }
        }
        if (m_kind != kTaskReceipt)
            return;
        TheLog().Comment("CReceipt::Generate: GenerateTaskReceipt");
        GenerateTaskReceipt(fullSubject, shortSubject, signerText, &atom, display);
    } catch (const std::bad_alloc&) {
        TheLog().HResult("CReceipt::Generate", E_OUTOFMEMORY);
    }
}

HRESULT CReceipt::GenerateTaskReceipt(const char* fullSubject, const char* shortSubject,
                                      const char* signers, const CReceiptAtom* atom, BOOL display)
{
    if (!atom)
        return E_INVALIDARG;
    try {
        const CString sentAt = ReceiptSentAtText();

        TheLog().Comment("CReceipt::GenerateTaskReceipt: CreateItem");
        VARIANT createArgs[] = {LongArg(kTaskItem)};
        CVariant created;
        HRESULT hr = CallMethod(m_application, L"CreateItem", created.Put(), 1, createArgs);
        if (FAILED(hr) || !IsObject(created)) {
            hr = FAILED(hr) ? hr : E_FAIL;
            TheLog().HResult("CReceipt::GenerateTaskReceipt", hr);
            return hr;
        }
        IDispatch* task = created.pdispVal;

        if (!atom->m_requestId.IsEmpty()) {
            TheLog().Comment("CReceipt::GenerateTaskReceipt: Setting Remote ID");
            Note(SetReceiptProperty(task, kQuilletIdProperty, atom->m_requestId));
        }
        if (signers && *signers) {
            TheLog().Comment("CReceipt::GenerateTaskReceipt: Setting eSigners");
            Note(SetReceiptProperty(task, kSignersProperty, signers));
        }
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp Subject");
        Note(PutText(task, L"Subject", fullSubject ? fullSubject : ""));
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp Status");
        Note(PutLong(task, L"Status", kTaskInProgress));
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp Categories");
        Note(PutText(task, L"Categories",
                     m_categories.IsEmpty() ? DefaultReceiptCategory() : m_categories));
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp StartDate");
        Note(PutStartDateNow(task));

        CString url;
        GetReceiptUrl(*atom, url);
        TheLog().Comment("CReceipt::GenerateTaskReceipt: Setting Remote URL");
        Note(SetReceiptProperty(task, kQuilletUrlProperty, url));

        CString body = ReceiptBodyText(sentAt, url);
        if (!m_extraText.IsEmpty())
            body += "\n" + m_extraText;
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp Body");
        Note(PutText(task, L"Body", body));

        // The mail stands after the body's text.
        TheLog().Comment("CReceipt::GenerateTaskReceipt: AttachMsgToItem");
        Note(AttachMsgToItem(task, shortSubject, body.GetLength()));
        TheLog().Comment("CReceipt::GenerateTaskReceipt: Msg Attached");

        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp MessageClass");
        Note(MarkReceiptClass(task));

        TheLog().Comment("CReceipt::GenerateTaskReceipt: Calling Save");
        hr = CallMethod(task, L"Save", nullptr, 0, nullptr);
        Note(hr);
        TheLog().Comment("CReceipt::GenerateTaskReceipt: Saved");
        if (display) {
            TheLog().Comment("CReceipt::GenerateTaskReceipt: Calling Display");
            Note(CallMethod(task, L"Display", nullptr, 0, nullptr));
        }
        return hr;
    } catch (const std::bad_alloc&) {
        TheLog().HResult("CReceipt::GenerateTaskReceipt", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
}
