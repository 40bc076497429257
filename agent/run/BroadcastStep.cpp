#include "agent/run/BroadcastStep.h"

#include <windows.h>

CBroadcastTarget::~CBroadcastTarget()
{
    if (!m_receipt || m_receiptFinished)
        return;
    const CString path = m_receipt->GetFilePath();
    // The receipt closes its file first.
    m_receipt.reset();
    if (!path.IsEmpty())
        DeleteFileA(path);
}
