#include "shared/service/SendPlan.h"

#include <new>

#include "shared/log/DebugLog.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/SendOptions.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpInvite.h"
#include "shared/service/OpParam.h"
#include "shared/service/OpSendDoc.h"

std::vector<CPlannedStep> PlanSteps(const CSendPlanInput& input)
{
    std::vector<CPlannedStep> steps;
    steps.push_back({SendStep::kCreate});
    for (int document = 0; document < input.documents; ++document)
        steps.push_back({SendStep::kUpload, document});
    if (input.hideAddresses)
        steps.push_back({SendStep::kSetParams});
    steps.push_back({SendStep::kGetLink});
    if (input.manualPositioning)
        steps.push_back({SendStep::kEditLocations});
    if (input.invite)
        steps.push_back({SendStep::kInvite});
    return steps;
}

std::vector<CPlannedStep> PlanSend(const OpSendDoc& request)
{
    const CSendOptions& options = request.m_request.m_sendOptions;
    CBodyPart* message = request.MessagePart();
    std::vector<CBodyPart*> documents;
    for (POSITION pos = request.m_parts.GetHeadPosition(); pos;) {
        CBodyPart* part = request.m_parts.GetNext(pos);
        if (part != message)
            documents.push_back(part);
    }
    CSendPlanInput input;
    input.documents = static_cast<int>(documents.size());
    input.hideAddresses = options.m_hideEmailAddrs != 0;
    input.manualPositioning = options.m_positioning == CSendOptions::kManualPositioning;
    input.invite = options.m_sendInvite != 0 && message;

    std::vector<CPlannedStep> steps = PlanSteps(input);
    for (CPlannedStep& step : steps) {
        if (step.step == SendStep::kUpload)
            step.part = documents[static_cast<size_t>(step.document)];
        else if (step.step == SendStep::kInvite)
            step.part = message;
    }
    return steps;
}

std::unique_ptr<OpQuillet> MakeStepOperation(const CPlannedStep& step, const OpSendDoc& request,
                                             const char* serviceUrl)
{
    // The log's texts are read by support staff and compared across
    // installations: "OpParams" stays as it always was.
    std::unique_ptr<OpQuillet> op;
    switch (step.step) {
    case SendStep::kUpload: {
        TheLog().Comment("Creating OpAddDoc object");
        auto* upload = new (std::nothrow) OpAddDoc(serviceUrl);
        if (upload)
            upload->m_document = step.part;
        op.reset(upload);
        break;
    }
    case SendStep::kSetParams:
        TheLog().Comment("Creating OpParams object");
        op.reset(new (std::nothrow) OpParam(serviceUrl));
        break;
    case SendStep::kGetLink:
        TheLog().Comment("Creating OpGetLink object");
        op.reset(new (std::nothrow) OpGetLink(serviceUrl));
        break;
    case SendStep::kInvite: {
        TheLog().Comment("Creating OpInvite object");
        auto* invite = new (std::nothrow) OpInvite(serviceUrl);
        if (invite)
            invite->m_messagePart = step.part;
        op.reset(invite);
        break;
    }
    case SendStep::kCreate:
    case SendStep::kEditLocations:
        return nullptr;
    }
    if (op) {
        // Every later operation works on the request the first one makes.
        op->m_credentials = request.m_credentials;
        op->m_fileId = &request.m_result;
    }
    return op;
}
