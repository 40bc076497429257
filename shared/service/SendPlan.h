// The send plan: which service operations one signature request takes, in
// the order the service needs them. Every road that sends a request walks
// this one plan, so the steps and their conditions are said once:
//
//   1. kCreate        CreateSignatureRequest (the request itself, OpSendDoc)
//   2. kUpload        one per document of the request, in the request's order
//   3. kSetParams     only when the e-mail addresses are to be hidden
//   4. kGetLink       always
//   5. kEditLocations only with manual positioning, and only where a user
//                     sits at the screen: a question step without operation
//   6. kInvite        only when invitations are asked and the mail has a body
//
// How to walk it:
//   - From a request (the add-in's step dialog and its broadcast files):
//     PlanSend(request) gives the steps with the part each one works on;
//     MakeStepOperation(step, request, serviceUrl) makes the operation of
//     any step but kCreate (the request is that one) and kEditLocations
//     (which has none), ready to follow the request's file ID.
//   - From what a broadcast file says (the agent, one target at a time):
//     fill a CSendPlanInput (the number of AddDocument entries, whether
//     SetParams and SendInvite name a file; no manual positioning) and walk
//     PlanSteps(input); each step's document is the index of its
//     AddDocument entry.
#pragma once

#include <memory>
#include <vector>

class CBodyPart;
class OpQuillet;
class OpSendDoc;

enum class SendStep { kCreate, kUpload, kSetParams, kGetLink, kEditLocations, kInvite };

// What decides the plan.
struct CSendPlanInput {
    int documents = 0;          // the documents to upload
    bool hideAddresses = false; // the send options' HideEmailAddrs
    bool manualPositioning = false;
    bool invite = false; // SendInvite asked and a mail body to send
};

struct CPlannedStep {
    SendStep step = SendStep::kCreate;
    // kUpload: the document's place among the request's documents, from 0;
    // -1 for every other step.
    int document = -1;
    // The request's part the step works on (kUpload: the document, kInvite:
    // the mail body); null for the other steps, and in a plan made from a
    // CSendPlanInput. Owned by the request.
    CBodyPart* part = nullptr;
};

// The steps, in order.
std::vector<CPlannedStep> PlanSteps(const CSendPlanInput& input);

// The request's plan: every part but the mail body is a document; its send
// options say the rest.
std::vector<CPlannedStep> PlanSend(const OpSendDoc& request);

// The operation of step on serviceUrl, carrying a copy of the request's
// credentials and following the request's file ID (which the create step
// fills); the step's part goes with it. Logs "Creating ... object" first.
// Null for kCreate and kEditLocations, and when out of memory.
std::unique_ptr<OpQuillet> MakeStepOperation(const CPlannedStep& step, const OpSendDoc& request,
                                             const char* serviceUrl);

// Whether a step has an operation of its own to make (all but kCreate and
// kEditLocations).
inline bool HasOwnOperation(SendStep step)
{
    return step != SendStep::kCreate && step != SendStep::kEditLocations;
}
