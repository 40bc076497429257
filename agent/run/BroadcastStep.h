// What the agent keeps per audience target and per step. Every step of one
// target shares the target's record: its own file ID and link (so that no
// document, parameter or invitation can reach another target's request) and
// its receipt.
//
// A target's operations and request pieces are made only when its turn
// comes (its own recipient lists and filled tails), and go again once it is
// done: a broadcast of any size starts at once, keeps a handful of files
// and holds no more than its rows.
#pragma once

#include <memory>
#include <vector>

#include "classlib/strings/CString.h"
#include "shared/requests/Receipt.h"
#include "shared/ui/StepOp.h"

class CBroadcastStep;

class CBroadcastTarget {
public:
    CBroadcastTarget() = default;
    CBroadcastTarget(const CBroadcastTarget&) = delete;
    CBroadcastTarget& operator=(const CBroadcastTarget&) = delete;
    // A receipt that never got its results is half a receipt: its work file
    // goes with the target. A finished one that could not be filed stays
    // where it is, for the user to find (the log says where).
    ~CBroadcastTarget();

    // Its place in the audience, from 1.
    int m_number = 0;
    CString m_email;
    CString m_name;
    CString m_role;
    CString m_tier;
    // Set by the target's own create step; its later steps send it.
    CString m_fileId;
    CString m_link;
    // Null when the broadcast asks for no receipts.
    std::unique_ptr<CReceipt> m_receipt;
    bool m_receiptFinished = false;
    // Its pieces are with its operations.
    bool m_prepared = false;
    // Its steps in the order they run (the run's list owns them).
    std::vector<CBroadcastStep*> m_steps;
};

// The kinds of step a target has, in the order they run.
enum class StepKind { kCreate, kAddDocument, kSetParams, kGetLink, kInvite };

// One step every target has, with the pieces all targets share as its
// operation file names them; the target's own pieces join them when its
// turn comes.
struct CStepPlan {
    StepKind kind{};
    UINT firstText = 0;
    UINT secondText = 0;
    CString head{};
    CString tail{};
    CString action{}; // an upload's SOAPAction, which names its method
    // The tail carries the invitation's text, with the roles to fill.
    bool fillTail = false;
};

class CBroadcastStep : public CStepOp {
public:
    // The operation comes when the target's turn does.
    CBroadcastStep(const CStepPlan& plan, std::shared_ptr<CBroadcastTarget> target)
        : m_plan(plan), m_target(std::move(target))
    {}

    // Held by the run, which outlives its steps.
    const CStepPlan& m_plan;
    std::shared_ptr<CBroadcastTarget> m_target;
    // The target's last step: its receipt is finished and filed after it.
    bool m_lastOfTarget = false;
};
