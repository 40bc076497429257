// Reading a broadcast and building its steps: one row of operations per
// audience target, each assembled from the request pieces the add-in wrote.
#include <new>
#include <vector>

#include "agent/AgentResource.h"
#include "agent/dialog/inkProxyDlg.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/Castlet.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpInvite.h"
#include "shared/service/OpParam.h"
#include "shared/service/OpSendDoc.h"
#include "shared/service/SendPlan.h"

namespace {

// A text the file must have: an element without text counts as missing.
bool ReadRequired(CXMLDoc& doc, const char* path, CString& value)
{
    value.Empty();
    return doc.GetSingleNodeValue(path, value) == S_OK && !value.IsEmpty();
}

std::unique_ptr<CXMLDoc> LoadDoc(const CString& path)
{
    auto doc = std::make_unique<CXMLDoc>();
    if (path.IsEmpty() || doc->LoadFile(path) != S_OK)
        return nullptr;
    return doc;
}

} // namespace

BOOL CinkProxyDlg::LoadBroadcast()
{
    CLogBlock block("CinkProxyDlg::LoadBroadcast");
    CBroadcast& cast = m_broadcast;
    // A name that is not the add-in's refuses the broadcast whole: no step
    // is built, so nothing goes out.
    if (FAILED(cast.Load()))
        return FALSE;
    CXMLDoc& doc = *cast.m_broadcastDoc;
    CString makeReceipt;
    if (doc.GetSingleNodeValue("MakeReceipt", makeReceipt) != S_OK)
        return FALSE;
    m_makeReceipt = makeReceipt == "1";
    // Kept as written: the receipt writer escapes what it writes.
    if (!ReadRequired(doc, "ReceiptSubject", m_receiptSubject) ||
        !ReadRequired(doc, "ReceiptCategory", m_receiptCategory))
        return FALSE;
    return SUCCEEDED(BuildBroadcastSteps());
}

HRESULT CinkProxyDlg::AddRequestPiece(const char* path, const char* name, OpQuillet* op,
                                      CReceipt* receipt)
{
    if (!path || !*path || !name || !*name || !op)
        return E_INVALIDARG;
    // Only the add-in's files (and the agent's own) are sent and deleted.
    if (!IsAddinTempFile(path))
        return kNotAddinFile;
    if (receipt) {
        const HRESULT hr = CloseReceiptFile(receipt, path);
        if (FAILED(hr))
            return hr;
    }
    auto* piece = new (std::nothrow) CCastlet(name);
    if (!piece)
        return E_OUTOFMEMORY;
    piece->m_path = path;
    piece->m_delete = 1;
    op->m_castlets.AddTail(piece);
    return S_OK;
}

HRESULT CinkProxyDlg::AddBroadcastStep(const std::shared_ptr<CBroadcastTarget>& target,
                                       std::unique_ptr<OpQuillet> op, StepKind kind, UINT firstText,
                                       UINT secondText)
{
    if (!op || !target)
        return E_INVALIDARG;
    // A step sends its own target's file ID, never another's.
    if (kind != StepKind::kCreate)
        op->m_fileId = &target->m_fileId;
    auto step = std::make_unique<CBroadcastStep>(op.release(), kind, target);
    CString format;
    format.LoadString(firstText);
    step->m_pendingText.Format(format, target->m_email.GetString());
    format.LoadString(secondText);
    step->m_doneText.Format(format, target->m_email.GetString());
    m_broadcast.m_steps.AddTail(step.release());
    return S_OK;
}

HRESULT CinkProxyDlg::BuildBroadcastSteps()
{
    CLogBlock block("CinkProxyDlg::BuildBroadcastSteps");
    CBroadcast& cast = m_broadcast;
    if (!cast.m_createDoc || cast.m_docs.IsEmpty() || !cast.m_linkDoc)
        return E_INVALIDARG;
    if (m_serviceUrl.IsEmpty())
        (void)CConfig().GetServiceUrl(m_serviceUrl, nullptr);

    CXMLDoc& create = *cast.m_createDoc;
    CString recipsPath;
    if (create.GotoNode("/OpSendDoc") != S_OK || !ReadRequired(create, "Recips", recipsPath))
        return E_INVALIDARG;
    cast.m_recipsDoc = LoadDoc(recipsPath);
    if (!cast.m_recipsDoc || cast.m_recipsDoc->GotoNode("/CSRSigners") != S_OK)
        return E_FAIL;
    CXMLDoc& recips = *cast.m_recipsDoc;

    CRecipientLists read;
    recips.GetSingleNodeValue("m:pstr_Signers", read.signers);
    recips.GetSingleNodeValue("m:pstr_SecondSigners", read.secondSigners);
    recips.GetSingleNodeValue("m:pstr_CCs", read.ccs);

    m_roleMap.clear();
    bool hasRoleMap = false;
    if (recips.GotoNode("m:pstr_RoleMap") == S_OK) {
        hasRoleMap = true;
        long entries = 0;
        if (recips.LoadNodesByName("entry") == S_OK && SUCCEEDED(recips.GetNodeCount(&entries))) {
            for (long i = 0; i < entries; ++i) {
                CString name;
                CString role;
                if (recips.GotoNodeAt(i) == S_OK &&
                    recips.GetSingleNodeValue("name", name) == S_OK &&
                    recips.GetSingleNodeValue("role", role) == S_OK)
                    m_roleMap[role.str()] = name.str();
            }
        }
        recips.GotoNode("/CSRSigners");
    }

    std::vector<CXMLDoc*> documents;
    for (CXMLDoc* document : cast.m_docs)
        documents.push_back(document);
    long targets = 0;
    if (recips.GotoNode("m:pstr_Audience") != S_OK || recips.LoadNodesByName("target") != S_OK ||
        FAILED(recips.GetNodeCount(&targets)))
        return E_FAIL;

    for (long i = 0; i < targets; ++i) {
        const bool first = i == 0;
        auto target = std::make_shared<CBroadcastTarget>();
        if (m_makeReceipt)
            target->m_receipt = std::make_unique<CReceipt>(nullptr, CReceipt::kFileReceipt);
        CReceipt* receipt = target->m_receipt.get();
        // A failure drops this target's steps, the earlier targets' stay.
        auto failed = [this](HRESULT hr) {
            m_broadcast.m_steps.RemoveAll();
            return hr;
        };

        // ---- create the request ----
        auto create_op = std::make_unique<OpSendDoc>(m_serviceUrl);
        CString head;
        if (!ReadRequired(create, "Head", head))
            return failed(E_INVALIDARG);
        HRESULT hr = AddRequestPiece(head, "Head", create_op.get(), receipt);
        if (FAILED(hr))
            return failed(hr);

        CString email, name, role, tier;
        if (recips.GotoNodeAt(i) != S_OK || !ReadRequired(recips, "email", email) ||
            recips.GetSingleNodeValue("name", name) != S_OK ||
            recips.GetSingleNodeValue("role", role) != S_OK || !ReadRequired(recips, "tier", tier))
            return failed(E_INVALIDARG);
        target->m_email = email;

        CString piece;
        hr = WriteNewPieceFile(RecipsPiece(ListsForTarget(read, email, tier)), piece);
        if (SUCCEEDED(hr))
            hr = AddRequestPiece(piece, "Recips", create_op.get(), receipt);
        else
            return failed(hr);
        if (FAILED(hr)) {
            DeleteFileA(piece);
            return failed(hr);
        }

        // Fills the target's roles into a tail, when the broadcast has a
        // role map; the rewritten tail is the target's own file.
        auto addTail = [&](CXMLDoc& opDoc, OpQuillet* op) {
            CString tail;
            if (!ReadRequired(opDoc, "Tail", tail))
                return E_INVALIDARG;
            if (!hasRoleMap)
                return AddRequestPiece(tail, "Tail", op, receipt);
            CString filled;
            HRESULT result = RewriteTail(tail, role, name, m_roleMap, filled);
            if (result == kTailTooLarge)
                TheLog().Error("CinkProxyDlg::BuildBroadcastSteps: a tail is too large to fill");
            if (SUCCEEDED(result))
                result = AddRequestPiece(filled, "Tail", op, receipt);
            if (FAILED(result) && !filled.IsEmpty())
                DeleteFileA(filled);
            return result;
        };
        hr = addTail(create, create_op.get());
        if (SUCCEEDED(hr))
            hr = AddBroadcastStep(target, std::move(create_op), StepKind::kCreate, IDS_STEP_CREATE,
                                  IDS_STEP_CREATED);
        if (FAILED(hr))
            return failed(hr);

        // Head and Tail of an operation file, taken as they stand; the first
        // target finds each file's element, the later ones stay there.
        auto addPlain = [&](CXMLDoc& opDoc, const char* root, std::unique_ptr<OpQuillet> op,
                            StepKind kind, UINT firstText, UINT secondText, bool fillTail) {
            if (first && opDoc.GotoNode(CString("/") + root) != S_OK)
                return E_INVALIDARG;
            CString headPath;
            if (!ReadRequired(opDoc, "Head", headPath))
                return E_INVALIDARG;
            HRESULT result = AddRequestPiece(headPath, "Head", op.get(), receipt);
            if (SUCCEEDED(result)) {
                if (fillTail) {
                    result = addTail(opDoc, op.get());
                } else {
                    CString tail;
                    result = ReadRequired(opDoc, "Tail", tail)
                                 ? AddRequestPiece(tail, "Tail", op.get(), receipt)
                                 : E_INVALIDARG;
                }
            }
            if (SUCCEEDED(result))
                result = AddBroadcastStep(target, std::move(op), kind, firstText, secondText);
            return result;
        };

        // The rest of the target's steps, as every road that sends a
        // request takes them; the create step is the one above.
        CSendPlanInput input;
        input.documents = static_cast<int>(documents.size());
        input.hideAddresses = cast.m_paramsDoc != nullptr;
        input.invite = cast.m_inviteDoc != nullptr;
        for (const CPlannedStep& planned : PlanSteps(input)) {
            switch (planned.step) {
            case SendStep::kCreate:
            case SendStep::kEditLocations: // no one at the screen to place signatures
                continue;
            case SendStep::kUpload: {
                CXMLDoc* document = documents[static_cast<size_t>(planned.document)];
                auto upload = std::make_unique<OpAddDoc>(m_serviceUrl);
                if (first && document->GotoNode("/OpAddDoc") != S_OK)
                    return failed(E_INVALIDARG);
                CString action;
                document->GetSingleNodeValue("SOAPAction", action);
                SelectAddDocMethod(action, *upload);
                hr = addPlain(*document, "OpAddDoc", std::move(upload), StepKind::kAddDocument,
                              IDS_STEP_ADD_DOCUMENT, IDS_STEP_DOCUMENT_ADDED, false);
                break;
            }
            case SendStep::kSetParams:
                hr = addPlain(*cast.m_paramsDoc, "OpSetParams",
                              std::make_unique<OpParam>(m_serviceUrl), StepKind::kSetParams,
                              IDS_STEP_SET_PARAMS, IDS_STEP_PARAMS_SET, false);
                break;
            case SendStep::kGetLink:
                hr = addPlain(*cast.m_linkDoc, "OpGetLink",
                              std::make_unique<OpGetLink>(m_serviceUrl), StepKind::kGetLink,
                              IDS_STEP_GET_LINK, IDS_STEP_LINK_OBTAINED, false);
                break;
            case SendStep::kInvite:
                hr = addPlain(*cast.m_inviteDoc, "OpInvite",
                              std::make_unique<OpInvite>(m_serviceUrl), StepKind::kInvite,
                              IDS_STEP_INVITE, IDS_STEP_INVITED, true);
                break;
            }
            if (FAILED(hr))
                return failed(hr);
        }

        // The target is whole: its steps join the run.
        static_cast<CBroadcastStep*>(cast.m_steps.GetTail())->m_lastOfTarget = true;
        while (!cast.m_steps.IsEmpty())
            m_steps.AddTail(cast.m_steps.RemoveHead());
    }
    return S_OK;
}
