// CTaskItem: a stand-in Outlook task (Class 48, "IPM.Task"). Status,
// PercentComplete and Complete move together as Outlook moves them: a task
// set complete is at 100 percent with status 2 and a completion date.
#pragma once

#include "standins/outlook/model/Item.h"

namespace standin {

// Outlook's task states.
inline constexpr long kTaskNotStarted = 0;
inline constexpr long kTaskInProgress = 1;
inline constexpr long kTaskComplete = 2;

class CTaskItem : public CItem {
public:
    explicit CTaskItem(std::shared_ptr<CMailboxLink> link = nullptr);

    long Status() const { return Long(L"Status"); }
    long PercentComplete() const { return Long(L"PercentComplete"); }
    bool Complete() const { return Bool(L"Complete"); }

protected:
    void OnFieldSet(const std::wstring& name) override;

private:
    bool m_moving = false; // a field set by another one's change
};

} // namespace standin
