// What the agent keeps per audience target and per step. Every step of one
// target shares the target's record: its own file ID and link (so that no
// document, parameter or invitation can reach another target's request) and
// its receipt.
#pragma once

#include <memory>

#include "classlib/strings/CString.h"
#include "shared/requests/Receipt.h"
#include "shared/ui/StepOp.h"

class CBroadcastTarget {
public:
    CBroadcastTarget() = default;
    CBroadcastTarget(const CBroadcastTarget&) = delete;
    CBroadcastTarget& operator=(const CBroadcastTarget&) = delete;
    // A receipt that never got its results is half a receipt: its work file
    // goes with the target. A finished one that could not be filed stays
    // where it is, for the user to find (the log says where).
    ~CBroadcastTarget();

    CString m_email;
    // Set by the target's own create step; its later steps send it.
    CString m_fileId;
    CString m_link;
    // Null when the broadcast asks for no receipts.
    std::unique_ptr<CReceipt> m_receipt;
    bool m_receiptFinished = false;
};

// The kinds of step a target has, in the order they run.
enum class StepKind { kCreate, kAddDocument, kSetParams, kGetLink, kInvite };

class CBroadcastStep : public CStepOp {
public:
    CBroadcastStep(CWebSvrOp* op, StepKind kind, std::shared_ptr<CBroadcastTarget> target)
        : CStepOp(op), m_kind(kind), m_target(std::move(target))
    {}

    StepKind m_kind;
    std::shared_ptr<CBroadcastTarget> m_target;
    // The target's last step: its receipt is finished and filed after it.
    bool m_lastOfTarget = false;
};
