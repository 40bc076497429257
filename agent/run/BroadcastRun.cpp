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

HRESULT CinkProxyDlg::AddRequestPiece(const char* path, const char* name, OpQuillet* op, bool own)
{
    if (!path || !*path || !name || !*name || !op)
        return E_INVALIDARG;
    // Only the add-in's files (and the agent's own) are sent and deleted.
    if (!IsAddinTempFile(path))
        return kNotAddinFile;
    auto* piece = new (std::nothrow) CCastlet(name);
    if (!piece) {
        if (own)
            DeleteFileA(path);
        return E_OUTOFMEMORY;
    }
    piece->m_path = path;
    // What every target shares stays until the broadcast ends.
    piece->m_delete = own ? 1 : 0;
    op->m_castlets.AddTail(piece);
    return S_OK;
}

HRESULT CinkProxyDlg::AddBroadcastStep(const std::shared_ptr<CBroadcastTarget>& target,
                                       const CStepPlan& plan)
{
    if (!target)
        return E_INVALIDARG;
    auto step = std::make_unique<CBroadcastStep>(plan, target);
    CString format;
    format.LoadString(plan.firstText);
    step->m_pendingText.Format(format, target->m_email.GetString());
    format.LoadString(plan.secondText);
    step->m_doneText.Format(format, target->m_email.GetString());
    target->m_steps.push_back(step.get());
    m_broadcast.m_steps.AddTail(step.release());
    return S_OK;
}

namespace {

// Head and Tail of the operation file at root: false when one is missing.
bool ReadPieces(CXMLDoc& opDoc, const char* root, CStepPlan& planned)
{
    return opDoc.GotoNode(CString("/") + root) == S_OK &&
           ReadRequired(opDoc, "Head", planned.head) && ReadRequired(opDoc, "Tail", planned.tail);
}

std::unique_ptr<OpQuillet> MakeOp(const CStepPlan& plan, const CString& url)
{
    switch (plan.kind) {
    case StepKind::kCreate:
        return std::make_unique<OpSendDoc>(url);
    case StepKind::kAddDocument: {
        auto upload = std::make_unique<OpAddDoc>(url);
        SelectAddDocMethod(plan.action, *upload);
        return upload;
    }
    case StepKind::kSetParams:
        return std::make_unique<OpParam>(url);
    case StepKind::kGetLink:
        return std::make_unique<OpGetLink>(url);
    case StepKind::kInvite:
        return std::make_unique<OpInvite>(url);
    }
    return nullptr;
}

} // namespace

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

    m_readLists = {};
    recips.GetSingleNodeValue("m:pstr_Signers", m_readLists.signers);
    recips.GetSingleNodeValue("m:pstr_SecondSigners", m_readLists.secondSigners);
    recips.GetSingleNodeValue("m:pstr_CCs", m_readLists.ccs);

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

    // The steps every target has, as every road that sends a request takes
    // them, with the pieces their operation files name: read once.
    std::vector<CStepPlan>& plan = m_plan;
    plan.clear();
    CStepPlan createOp{
        .kind = StepKind::kCreate, .firstText = IDS_STEP_CREATE, .secondText = IDS_STEP_CREATED};
    createOp.fillTail = hasRoleMap;
    if (!ReadPieces(create, "OpSendDoc", createOp))
        return E_INVALIDARG;
    plan.push_back(createOp);
    std::vector<CXMLDoc*> documents;
    for (CXMLDoc* document : cast.m_docs)
        documents.push_back(document);
    CSendPlanInput input;
    input.documents = static_cast<int>(documents.size());
    input.hideAddresses = cast.m_paramsDoc != nullptr;
    input.invite = cast.m_inviteDoc != nullptr;
    for (const CPlannedStep& planned : PlanSteps(input)) {
        CStepPlan op{};
        bool read = true;
        switch (planned.step) {
        case SendStep::kCreate:
        case SendStep::kEditLocations: // no one at the screen to place signatures
            continue;
        case SendStep::kUpload: {
            CXMLDoc& document = *documents[static_cast<size_t>(planned.document)];
            op = {.kind = StepKind::kAddDocument,
                  .firstText = IDS_STEP_ADD_DOCUMENT,
                  .secondText = IDS_STEP_DOCUMENT_ADDED};
            read = ReadPieces(document, "OpAddDoc", op);
            document.GetSingleNodeValue("SOAPAction", op.action);
            break;
        }
        case SendStep::kSetParams:
            op = {.kind = StepKind::kSetParams,
                  .firstText = IDS_STEP_SET_PARAMS,
                  .secondText = IDS_STEP_PARAMS_SET};
            read = ReadPieces(*cast.m_paramsDoc, "OpSetParams", op);
            break;
        case SendStep::kGetLink:
            op = {.kind = StepKind::kGetLink,
                  .firstText = IDS_STEP_GET_LINK,
                  .secondText = IDS_STEP_LINK_OBTAINED};
            read = ReadPieces(*cast.m_linkDoc, "OpGetLink", op);
            break;
        case SendStep::kInvite:
            op = {.kind = StepKind::kInvite,
                  .firstText = IDS_STEP_INVITE,
                  .secondText = IDS_STEP_INVITED};
            op.fillTail = hasRoleMap;
            read = ReadPieces(*cast.m_inviteDoc, "OpInvite", op);
            break;
        }
        if (!read)
            return E_INVALIDARG;
        plan.push_back(op);
    }

    long targets = 0;
    if (recips.GotoNode("m:pstr_Audience") != S_OK || recips.LoadNodesByName("target") != S_OK ||
        FAILED(recips.GetNodeCount(&targets)))
        return E_FAIL;
    m_targetCount = static_cast<int>(targets);

    // Only the texts are read here: each target's pieces are made when its
    // turn comes (PrepareStep), so the run starts at once at any size.
    for (long i = 0; i < targets; ++i) {
        auto target = std::make_shared<CBroadcastTarget>();
        target->m_number = static_cast<int>(i) + 1;
        // What the target lacks, if anything (the status line says it).
        const UINT lacks =
            recips.GotoNodeAt(i) != S_OK || !ReadRequired(recips, "email", target->m_email)
                ? IDS_AGENT_TARGET_NO_EMAIL
            : recips.GetSingleNodeValue("name", target->m_name) != S_OK ? IDS_AGENT_TARGET_NO_NAME
            : recips.GetSingleNodeValue("role", target->m_role) != S_OK ? IDS_AGENT_TARGET_NO_ROLE
            : !ReadRequired(recips, "tier", target->m_tier)             ? IDS_AGENT_TARGET_NO_TIER
                                                                        : 0;
        if (lacks) {
            // The building ends here; the targets before it go out whole.
            CString format;
            format.LoadString(lacks);
            CString reason;
            reason.Format(format, target->m_number);
            NoteNotSent(target->m_number, reason);
            for (long rest = i; rest < targets; ++rest) {
                CString email;
                if (recips.GotoNodeAt(rest) == S_OK)
                    recips.GetSingleNodeValue("email", email);
                CString note;
                note.Format("CinkProxyDlg::BuildBroadcastSteps: target %ld (%s) is not sent",
                            rest + 1, email.GetString());
                TheLog().Error(note);
            }
            cast.m_steps.RemoveAll();
            return E_INVALIDARG;
        }
        if (m_makeReceipt)
            target->m_receipt = std::make_unique<CReceipt>(nullptr, CReceipt::kFileReceipt);
        for (const CStepPlan& planned : plan) {
            const HRESULT hr = AddBroadcastStep(target, planned);
            if (FAILED(hr)) {
                cast.m_steps.RemoveAll();
                return hr;
            }
        }
        // The target is whole: its steps join the run. The first one's
        // operations are there from the start, for the run's first stage.
        static_cast<CBroadcastStep*>(cast.m_steps.GetTail())->m_lastOfTarget = true;
        if (i == 0)
            MakeOps(*target);
        while (!cast.m_steps.IsEmpty())
            m_steps.AddTail(cast.m_steps.RemoveHead());
    }
    return S_OK;
}

void CinkProxyDlg::MakeOps(CBroadcastTarget& target)
{
    for (CBroadcastStep* step : target.m_steps) {
        if (step->m_op)
            continue;
        std::unique_ptr<OpQuillet> op = MakeOp(step->m_plan, m_serviceUrl);
        // A step sends its own target's file ID, never another's.
        if (step->m_plan.kind != StepKind::kCreate)
            op->m_fileId = &target.m_fileId;
        step->m_op = std::move(op);
    }
}

HRESULT CinkProxyDlg::PrepareTarget(CBroadcastTarget& target)
{
    MakeOps(target);
    CString recips;
    HRESULT hr = WriteNewPieceFile(
        RecipsPiece(ListsForTarget(m_readLists, target.m_email, target.m_tier)), recips);
    for (CBroadcastStep* step : target.m_steps) {
        if (FAILED(hr))
            break;
        auto* op = static_cast<OpQuillet*>(step->m_op.get());
        const CStepPlan& plan = step->m_plan;
        hr = AddRequestPiece(plan.head, "Head", op, false);
        if (SUCCEEDED(hr) && plan.kind == StepKind::kCreate) {
            hr = AddRequestPiece(recips, "Recips", op, true);
            recips.Empty();
        }
        if (FAILED(hr))
            break;
        if (!plan.fillTail) {
            hr = AddRequestPiece(plan.tail, "Tail", op, false);
            continue;
        }
        // The target's roles filled into a tail of its own.
        CString filled;
        hr = RewriteTail(plan.tail, target.m_role, target.m_name, m_roleMap, filled);
        if (hr == kTailTooLarge)
            TheLog().Error("CinkProxyDlg::PrepareTarget: a tail is too large to fill");
        if (SUCCEEDED(hr))
            hr = AddRequestPiece(filled, "Tail", op, true);
    }
    if (!recips.IsEmpty())
        DeleteFileA(recips);
    if (FAILED(hr)) {
        ReleaseTargetPieces(target);
        return hr;
    }
    target.m_prepared = true;
    return S_OK;
}

void CinkProxyDlg::ReleaseTargetPieces(CBroadcastTarget& target)
{
    // The target's own pieces are deleted with their castlets; the shared
    // ones stay for the targets after it.
    for (CBroadcastStep* step : target.m_steps) {
        if (auto* op = static_cast<OpQuillet*>(step->m_op.get()))
            op->m_castlets.RemoveAll();
    }
}

void CinkProxyDlg::ReleaseTargetOps(CBroadcastTarget& target)
{
    ReleaseTargetPieces(target);
    for (CBroadcastStep* step : target.m_steps)
        step->m_op.reset();
}
