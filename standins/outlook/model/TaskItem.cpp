#include "standins/outlook/model/TaskItem.h"

#include "standins/outlook/model/ValueText.h"

namespace standin {

CTaskItem::CTaskItem(std::shared_ptr<CMailboxLink> link)
    : CItem(L"TaskItem", kClassTask, L"IPM.Task", std::move(link))
{
    AddField(L"Status", VT_I4);
    AddField(L"PercentComplete", VT_I4);
    AddField(L"Complete", VT_BOOL);
    AddField(L"DueDate", VT_DATE);
    AddField(L"StartDate", VT_DATE);
    AddField(L"DateCompleted", VT_DATE);
    AddField(L"Owner", VT_BSTR);
}

void CTaskItem::OnFieldSet(const std::wstring& name)
{
    if (m_moving)
        return;
    m_moving = true;
    // Sets the state that goes with being complete or not, leaving what is
    // already consistent alone.
    auto complete = [this](bool done) {
        SetBool(L"Complete", done);
        if (done) {
            SetLong(L"Status", kTaskComplete);
            SetLong(L"PercentComplete", 100);
            if (Date(L"DateCompleted") == kNoDate)
                SetDate(L"DateCompleted", Now());
        } else {
            if (Status() == kTaskComplete)
                SetLong(L"Status", PercentComplete() > 0 && PercentComplete() < 100
                                       ? kTaskInProgress
                                       : kTaskNotStarted);
            if (PercentComplete() == 100)
                SetLong(L"PercentComplete", 0);
            SetDate(L"DateCompleted", kNoDate);
        }
    };
    try {
        if (name == L"Complete") {
            complete(Complete());
        } else if (name == L"Status") {
            if (Status() == kTaskComplete)
                complete(true);
            else if (Complete())
                complete(false);
        } else if (name == L"PercentComplete") {
            const long percent = PercentComplete();
            if (percent >= 100)
                complete(true);
            else {
                if (Complete())
                    complete(false);
                SetLong(L"PercentComplete", percent);
                SetLong(L"Status", percent > 0 ? kTaskInProgress : kTaskNotStarted);
            }
        }
    } catch (...) {
        m_moving = false;
        throw;
    }
    m_moving = false;
}

} // namespace standin
