#include "addin/receipts/QuilletReceipt.h"

#include <new>
#include <utility>

#include "addin/receipts/ReceiptEmail.h"
#include "addin/receipts/ReceiptTask.h"
#include "addin/receipts/SetAside.h"
#include "addin/receipts/TaskLookup.h"
#include "addin/receipts/TaskSteps.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/requests/SAXReceipt.h"

using namespace automation;

namespace {

// What the send wizard puts in a receipt subject for the signers.
constexpr const char kSignerPlaceholder[] = "[Signer]";

// A user property of the task, as every receipt task has them, but not
// saved here: the import saves the task once, whole, or not at all, so that
// a receipt that fails leaves no half-made task behind.
HRESULT SetTaskProperty(IDispatch* task, const wchar_t* name, const CString& value)
{
    if (value.IsEmpty())
        return S_FALSE;
    return CDispatcher::SetUserProperty(task, name, value, TRUE, FALSE);
}

// The receipt subject with the send wizard's signer placeholder filled in
// (the brackets stay around the signers); any other "Signer" is the user's.
CString FillSubject(const CString& receiptSubject, const CString& signers)
{
    CString subject = receiptSubject;
    subject.Replace(kSignerPlaceholder, "[" + signers + "]");
    return subject;
}

} // namespace

CQuilletReceipt::CDocument::~CDocument()
{
    if (!m_file.IsEmpty())
        DeleteFileA(m_file);
}

CQuilletReceipt::CQuilletReceipt(IDispatch* application) : CReceipt(application, kFileReceipt) {}

CQuilletReceipt::~CQuilletReceipt()
{
    if (!m_taskSaved || GetFilePath().IsEmpty())
        return;
    if (DeleteFileA(GetFilePath())) {
        ForgetSetAside(GetFilePath());
        return;
    }
    // Held open by another program, say: read again, it would be imported
    // again. It is only deleted, once it can be.
    SetReceiptAside(GetFilePath(), SetAsideReason::Imported, "has its task but cannot be deleted");
}

CString CQuilletReceipt::GetRequestId() const
{
    for (const auto& atom : GetAtoms()) {
        if (atom->m_name == CReceiptAtom::kFileID)
            return atom->m_value;
    }
    return {};
}

HRESULT CQuilletReceipt::LoadFile(const char* path)
{
    SetFilePath(path);
    return CSAXReceipt::ReadFile(path, *this);
}

namespace {

// Gathers the documents of a receipt. The atoms come newest first, and a
// document operation of the agent holds its bytes before its name, so a
// document's name comes first and its bytes right after it. A name starts
// a document; the bytes that follow it are that document's. A document
// without bytes, or bytes without a name, is left out rather than paired
// with a neighbour's.
class CDocumentCollector {
public:
    explicit CDocumentCollector(CReceiptEmail::DocumentList& documents) : m_documents(documents) {}
    ~CDocumentCollector() { Finish(); }

    void Name(const CString& name)
    {
        Finish();
        m_open = std::make_unique<CQuilletReceipt::CDocument>();
        m_open->m_name = name;
    }

    void Bytes(CReceiptAtom& atom)
    {
        if (!m_open || !m_open->m_file.IsEmpty()) {
            Finish();
            TheLog().Warning("GenerateTaskReceipt: document bytes without a name are left out");
            return; // the atom deletes its file
        }
        m_open->m_file = atom.TakeFile();
        Finish();
    }

    void Finish()
    {
        if (!m_open)
            return;
        if (m_open->IsComplete()) {
            // Newest first in, so the list ends in the mail's own order.
            m_documents.push_front(std::move(m_open));
        } else {
            TheLog().Warning("GenerateTaskReceipt: a document without its bytes is left out");
        }
        m_open.reset();
    }

private:
    CReceiptEmail::DocumentList& m_documents;
    std::unique_ptr<CQuilletReceipt::CDocument> m_open;
};

} // namespace

HRESULT CQuilletReceipt::GenerateTaskReceipt()
{
    CLogBlock block("CQuilletReceipt::GenerateTaskReceipt");
    try {
        // One request, one task: a receipt of a request that has its task
        // already (an earlier import of this file or of another one) is done.
        const CString requestId = GetRequestId();
        const HRESULT found = FindReceiptTask(GetApplication(), requestId);
        if (found == S_OK) {
            TheLog().CommentFormat("CQuilletReceipt::GenerateTaskReceipt: request %s has its "
                                   "task already",
                                   requestId);
            m_taskSaved = true;
            return S_FALSE;
        }
        if (FAILED(found))
            TheLog().HResult("CQuilletReceipt::GenerateTaskReceipt: FindReceiptTask", found);
        const CString sentAt = ReceiptSentAtText();
        CReceiptEmail email;
        CString body;
        CString receiptSubject;
        CVariant created;
        IDispatch* task = nullptr;
        CVariant mail;
        return RunTaskSteps(
            {
                {.comment = "GenerateTaskReceipt: CreateItem",
                 .run = [&] { return CreateTask(GetApplication(), created, task); },
                 .stops = true},
                {.run = [&] { return TakeValues(task, sentAt, email, body, receiptSubject); }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp Status",
                 .run = [&] { return PutLong(task, L"Status", ol::kTaskInProgress); }},
                {.comment = "GenerateTaskReceipt: PutProp Subject",
                 .run =
                     [&] {
                         return PutText(task, L"Subject",
                                        receiptSubject.IsEmpty()
                                            ? email.m_subject
                                            : FillSubject(receiptSubject, email.m_signers));
                     }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp Categories",
                 .run = [&] { return PutReceiptCategories(task, GetCategories()); }},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp StartDate",
                 .run = [&] { return PutStartDateNow(task); }},
                {.run =
                     [&] {
                         return ReconstituteEmail(GetApplication(), email, task, mail.Put(),
                                                  body.GetLength());
                     },
                 .stops = true},
                {.comment = "CReceipt::GenerateTaskReceipt: PutProp MessageClass",
                 .run = [&] { return MarkReceiptClass(task); }},
                {.comment = "CReceipt::GenerateTaskReceipt: Calling Save",
                 .run =
                     [&] {
                         CVariant ignored;
                         const HRESULT hr = CallMethod(task, L"Save", ignored.Put(), 0, nullptr);
                         m_taskSaved = SUCCEEDED(hr);
                         return hr;
                     },
                 .stops = true,
                 .answers = true,
                 .doneComment = "CReceipt::GenerateTaskReceipt: Saved"},
            },
            "CQuilletReceipt::GenerateTaskReceipt");
    } catch (const std::bad_alloc&) {
        TheLog().HResult("CQuilletReceipt::GenerateTaskReceipt", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
}

HRESULT CQuilletReceipt::TakeValues(IDispatch* task, const CString& sentAt, CReceiptEmail& email,
                                    CString& body, CString& receiptSubject)
{
    CDocumentCollector documents(email.m_documents);
    while (std::unique_ptr<CReceiptAtom> atom = TakeHeadAtom()) {
        const CString& name = atom->m_name;
        const CString& value = atom->m_value;
        if (name == CReceiptAtom::kSubject) {
            email.m_subject = value;
        } else if (name == CReceiptAtom::kEmailMessage) {
            email.m_message = value;
        } else if (name == CReceiptAtom::kSigners) {
            SetTaskProperty(task, kSignersProperty, value);
            email.m_signers = value;
        } else if (name == CReceiptAtom::kSecondSigners) {
            email.m_secondSigners = value;
        } else if (name == CReceiptAtom::kCCs) {
            email.m_ccs = value;
        } else if (name == CReceiptAtom::kLink) {
            TheLog().Comment("GenerateTaskReceipt: Setting Remote URL");
            SetTaskProperty(task, kQuilletUrlProperty, value);
            if (!value.IsEmpty()) {
                body = ReceiptBodyText(sentAt, value);
                TheLog().Comment("GenerateTaskReceipt: PutProp Body");
                PutText(task, L"Body", body);
            }
        } else if (name == CReceiptAtom::kFileID) {
            SetTaskProperty(task, kQuilletIdProperty, value);
        } else if (name == CReceiptAtom::kReceiptSubject) {
            receiptSubject = value;
        } else if (name == CReceiptAtom::kReceiptCategory) {
            SetCategories(value);
        } else if (name == CReceiptAtom::kDocName) {
            documents.Name(value);
        } else if (name == CReceiptAtom::kDocBytes) {
            documents.Bytes(*atom);
        }
    }
    // A value the task does not take is left out, as a missing one is.
    return S_OK;
}
