#include "addin/receipts/ReceiptTask.h"

#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "addin/receipts/MsgCopy.h"
#include "addin/receipts/TaskSteps.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "classlib/strings/LoadText.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/requests/Receipt.h"

using namespace automation;

namespace {

// The item's text property; empty when it cannot be read or is no text.
CString ReadText(IDispatch* item, const wchar_t* name)
{
    CVariant value;
    if (FAILED(CDispatcher::GetProp(item, name, value.Put())) || value.vt != VT_BSTR)
        return CString();
    return CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal));
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

HRESULT CreateTask(IDispatch* application, CVariant& holder, IDispatch*& task)
{
    VARIANT type[] = {LongArg(ol::kTaskItem)};
    const HRESULT hr = CDispatcher::CallMethod(application, L"CreateItem", holder.Put(), 1, type);
    if (FAILED(hr))
        return hr;
    if (!IsObject(holder))
        return E_FAIL;
    task = holder.pdispVal;
    return S_OK;
}

HRESULT PutReceiptCategories(IDispatch* task, const CString& categories)
{
    return PutText(task, L"Categories",
                   categories.IsEmpty() ? DefaultReceiptCategory() : categories);
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
        CVariant created;
        IDispatch* task = nullptr;
        CString url;
        CString body;
        return RunTaskSteps(
            {
                {.comment = "CReceipt::GenerateTaskReceipt: CreateItem",
                 .run = [&] { return CreateTask(m_application, created, task); },
                 .stops = true},
                {.comment = "CReceipt::GenerateTaskReceipt: Setting Remote ID",
                 .run =
                     [&] {
                         return SetReceiptProperty(task, kQuilletIdProperty, atom->m_requestId);
                     },
                 .when = !atom->m_requestId.IsEmpty()},
                {.comment = "CReceipt::GenerateTaskReceipt: Setting eSigners",
                 .run = [&] { return SetReceiptProperty(task, kSignersProperty, signers); },
                 .when = signers && *signers},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp Subject",
                 .run = [&] { return PutText(task, L"Subject", fullSubject ? fullSubject : ""); }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp Status",
                 .run = [&] { return PutLong(task, L"Status", ol::kTaskInProgress); }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp Categories",
                 .run = [&] { return PutReceiptCategories(task, m_categories); }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp StartDate",
                 .run = [&] { return PutStartDateNow(task); }},
                {.comment = "CReceipt::GenerateTaskReceipt: Setting Remote URL",
                 .run =
                     [&] {
                         GetReceiptUrl(*atom, url);
                         return SetReceiptProperty(task, kQuilletUrlProperty, url);
                     }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp Body",
                 .run =
                     [&] {
                         body = ReceiptBodyText(sentAt, url);
                         if (!m_extraText.IsEmpty())
                             body += "\n" + m_extraText;
                         return PutText(task, L"Body", body);
                     }},
                // The mail stands after the body's text.
                {.comment = "CReceipt::GenerateTaskReceipt: AttachMsgToItem",
                 .run = [&] { return AttachMsgToItem(task, shortSubject, body.GetLength()); },
                 .doneComment = "CReceipt::GenerateTaskReceipt: Msg Attached"},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp MessageClass",
                 .run = [&] { return MarkReceiptClass(task); }},
                {.comment = "CReceipt::GenerateTaskReceipt: Calling Save",
                 .run = [&] { return CallMethod(task, L"Save", nullptr, 0, nullptr); },
                 .answers = true,
                 .doneComment = "CReceipt::GenerateTaskReceipt: Saved"},
                {.comment = "CReceipt::GenerateTaskReceipt: Calling Display",
                 .run = [&] { return CallMethod(task, L"Display", nullptr, 0, nullptr); },
                 .when = display != FALSE},
            },
            "CReceipt::GenerateTaskReceipt");
    } catch (const std::bad_alloc&) {
        TheLog().HResult("CReceipt::GenerateTaskReceipt", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
}
