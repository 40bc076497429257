// CStepOp: one row of a step list: an operation with its texts and state.
#pragma once

#include <memory>

#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"
#include "shared/service/WebSvrOp.h"

class CStepOp : public CObject {
public:
    // op: owned from now on (may be null).
    explicit CStepOp(CWebSvrOp* op = nullptr) : m_op(op) {}

    std::unique_ptr<CWebSvrOp> m_op;
    CString m_pendingText;
    CString m_doneText;
    CString m_questionText;
    const CString* m_linkText = nullptr; // owned by the step's user
    int m_question = 0;
    int m_state = 0; // 0..4, as the step list's owner defines them
    int m_listIndex = -1;
    CString m_extraText;
    int m_extraValue = 0;
};
