// The interactive branch: the step dialog runs the send plan, then the
// gateways are told, the receipt task is made and the mail item goes.
#include "addin/send/SendBtn.h"

#include <memory>
#include <new>
#include <utility>

#include "addin/AddinResource.h"
#include "addin/send/DlgSteps.h"
#include "addin/send/GatewayEntry.h"
#include "addin/send/SendClick.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/HResult.h"
#include "classlib/strings/LoadText.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/requests/Receipt.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpSendDoc.h"
#include "shared/service/SendPlan.h"

using namespace automation;

namespace {

// What the step dialog shows for each step of the plan: pending and done.
struct CStepTextIds {
    UINT pending;
    UINT done;
};

CStepTextIds StepTextIds(SendStep step)
{
    switch (step) {
    case SendStep::kCreate:
        return {IDS_STEP_CREATE, IDS_STEP_CREATED};
    case SendStep::kUpload:
        return {IDS_STEP_UPLOAD, IDS_STEP_UPLOADED};
    case SendStep::kSetParams:
        return {IDS_STEP_SET_PARAMS, IDS_STEP_PARAMS_SET};
    case SendStep::kGetLink:
        return {IDS_STEP_GET_LINK, IDS_STEP_GOT_LINK};
    case SendStep::kEditLocations:
        return {IDS_STEP_EDIT_LOCATIONS, IDS_STEP_LOCATIONS_EDITED};
    case SendStep::kInvite:
        return {IDS_STEP_INVITE, IDS_STEP_INVITED};
    }
    return {0, 0};
}

} // namespace

HRESULT CSendBtn::AddSendSteps(CDlgSteps& dialog, std::unique_ptr<OpSendDoc>& request,
                               const char* serviceUrl, OpGetLink** link)
{
    if (!request)
        return E_INVALIDARG;
    OpSendDoc& model = *request;
    const CString* linkText = nullptr;
    for (const CPlannedStep& planned : PlanSend(model)) {
        auto step = std::unique_ptr<CStepOp>(new (std::nothrow) CStepOp());
        if (!step)
            return E_OUTOFMEMORY;
        const CStepTextIds texts = StepTextIds(planned.step);
        if (planned.step == SendStep::kUpload) {
            step->m_pendingText.Format(LoadText(texts.pending),
                                       planned.part->m_fileName.GetString());
            step->m_doneText.Format(LoadText(texts.done), planned.part->m_fileName.GetString());
        } else {
            step->m_pendingText = LoadText(texts.pending);
            step->m_doneText = LoadText(texts.done);
        }
        if (planned.step == SendStep::kCreate) {
            // From here on the dialog owns the request.
            step->m_op = std::move(request);
        } else if (planned.step == SendStep::kEditLocations) {
            step->m_questionText = LoadText(IDS_STEP_LOCATIONS_QUESTION);
            step->m_linkText = linkText;
            step->m_question = 1;
        } else {
            step->m_op = MakeStepOperation(planned, model, serviceUrl);
            if (!step->m_op)
                return E_OUTOFMEMORY;
            if (planned.step == SendStep::kGetLink) {
                auto* getLink = static_cast<OpGetLink*>(step->m_op.get());
                linkText = &getLink->m_result;
                if (link)
                    *link = getLink;
            }
        }
        dialog.AddStep(std::move(step));
    }
    return S_OK;
}

HRESULT CSendBtn::SendInteractively(CClick& click, const CString& serviceUrl)
{
    OpSendDoc& request = *click.request;
    click.steps.reset(new (std::nothrow) CDlgSteps(DialogOwner()));
    if (!click.steps)
        return E_OUTOFMEMORY;
    OpGetLink* link = nullptr;
    RETURN_IF_FAILED(AddSendSteps(*click.steps, click.ownedRequest, serviceUrl, &link));

    const INT_PTR result = click.steps->DoModal();
    const bool succeeded = result == IDOK && click.steps->m_ok && request.GetErrorCode() == 0;
    if (!succeeded) {
        if (!click.steps->m_handled)
            ShowError(request.GetErrorCode(), request.GetErrorText());
        return E_ABORT;
    }

    const CString receiptLink = link ? link->m_result : CString();
    const CString results = TellGateways(request, receiptLink);
    if (CConfig().GetMakeReceipt() == 1)
        MakeReceipt(request, receiptLink, results);
    if (CConfig().GetGotoShortcuts() == 1)
        ShowShortcuts();
    FinishItem("interactive send");
    return S_OK;
}

void CSendBtn::ShowShortcuts()
{
    CLogBlock block("CSendBtn::ShowShortcuts");
    CVariant explorer;
    CVariant panes;
    CVariant pane;
    if (FAILED(CallMethod(m_application, L"ActiveExplorer", explorer.Put(), 0, nullptr)) ||
        !IsObject(explorer) || FAILED(GetProp(explorer.pdispVal, L"Panes", panes.Put())) ||
        !IsObject(panes))
        return;
    CBstr name(L"OutlookBar");
    VARIANT args[] = {BorrowedTextArg(name.Get())};
    if (FAILED(CallMethod(panes.pdispVal, L"Item", pane.Put(), 1, args)) || !IsObject(pane))
        return;
    VARIANT visible = BoolArg(true);
    PutProp(pane.pdispVal, L"Visible", &visible);
}

CString CSendBtn::TellGateways(OpSendDoc& request, const CString& link)
{
    CString results;
    const HRESULT hr = CallGateways(&request, link, results);
    if (FAILED(hr))
        TheLog().HResult("CallGateways", hr);
    return results;
}

void CSendBtn::MakeReceipt(OpSendDoc& request, const CString& link, const CString& results)
{
    CReceipt receipt(m_application, CReceipt::kTaskReceipt);
    if (link.IsEmpty())
        return;
    receipt.AddItem(m_sendItem.Get(), "MailItem", request.m_result, link);
    if (!results.IsEmpty())
        receipt.SetExtraText(results);
    receipt.Generate(nullptr, TRUE, nullptr);
}
