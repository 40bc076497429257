#include "addin/receipts/QuilletReceipt.h"

#include <new>
#include <utility>

#include "addin/receipts/ReceiptEmail.h"
#include "addin/receipts/ReceiptTask.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/requests/SAXReceipt.h"

using namespace automation;

namespace {

constexpr long kTaskItem = 3;
constexpr long kTaskInProgress = 1;
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
    if (m_taskSaved && !GetFilePath().IsEmpty())
        DeleteFileA(GetFilePath());
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
    HRESULT hr = S_OK;
    try {
        const CString sentAt = ReceiptSentAtText();
        CReceiptEmail email;
        CString body;
        CString receiptSubject;

        TheLog().Comment("GenerateTaskReceipt: CreateItem");
        CVariant task;
        VARIANT type[] = {LongArg(kTaskItem)};
        hr = CallMethod(GetApplication(), L"CreateItem", task.Put(), 1, type);
        if (FAILED(hr))
            return hr;
        if (!IsObject(task))
            return E_FAIL;
        IDispatch* item = task.pdispVal;

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
                    SetTaskProperty(item, kSignersProperty, value);
                    email.m_signers = value;
                } else if (name == CReceiptAtom::kSecondSigners) {
                    email.m_secondSigners = value;
                } else if (name == CReceiptAtom::kCCs) {
                    email.m_ccs = value;
                } else if (name == CReceiptAtom::kLink) {
                    TheLog().Comment("GenerateTaskReceipt: Setting Remote URL");
                    SetTaskProperty(item, kQuilletUrlProperty, value);
                    if (!value.IsEmpty()) {
                        body = ReceiptBodyText(sentAt, value);
                        TheLog().Comment("GenerateTaskReceipt: PutProp Body");
                        PutText(item, L"Body", body);
                    }
                } else if (name == CReceiptAtom::kFileID) {
                    SetTaskProperty(item, kQuilletIdProperty, value);
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
        }

        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp Status");
        PutLong(item, L"Status", kTaskInProgress);
        TheLog().Comment("GenerateTaskReceipt: PutProp Subject");
        PutText(item, L"Subject",
                receiptSubject.IsEmpty() ? email.m_subject
                                         : FillSubject(receiptSubject, email.m_signers));
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp Categories");
        PutText(item, L"Categories",
                GetCategories().IsEmpty() ? DefaultReceiptCategory() : GetCategories());
        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp StartDate");
        PutStartDateNow(item);

        CVariant mail;
        hr = ReconstituteEmail(GetApplication(), email, item, mail.Put(), body.GetLength());
        if (FAILED(hr))
            return hr;

        TheLog().Comment("CReceipt::GenerateTaskReceipt: PutProp MessageClass");
        MarkReceiptClass(item);
        TheLog().Comment("CReceipt::GenerateTaskReceipt: Calling Save");
        CVariant ignored;
        hr = CallMethod(item, L"Save", ignored.Put(), 0, nullptr);
        if (SUCCEEDED(hr)) {
            m_taskSaved = true;
            TheLog().Comment("CReceipt::GenerateTaskReceipt: Saved");
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr))
        TheLog().HResult("CQuilletReceipt::GenerateTaskReceipt", hr);
    return hr;
}
