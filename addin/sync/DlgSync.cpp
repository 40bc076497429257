#include "addin/sync/DlgSync.h"
#include "classlib/ui/ScreenDpi.h"

#include <new>

#include "addin/AddinResource.h"
#include "classlib/strings/LoadText.h"
#include "shared/SharedResource.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/service/OpReqPDF.h"
#include "shared/service/OpReqStat.h"

namespace {

constexpr int kColumns = 3;
constexpr const char* kColumnNames[kColumns] = {"Action", "Subject", "Due Date"};
constexpr int kFirstColumnWidth = 75;
constexpr int kStateImageSize = 16;
constexpr COLORREF kTransparent = RGB(255, 0, 255);

CString FormatText(UINT id, const char* fallback, const char* value)
{
    CString text;
    text.Format(LoadText(id, fallback), value ? value : "");
    return text;
}

} // namespace

CDlgSync::CDlgSync(CWebSvrAPI* api, HWND parent) : CDialog(IDD_SYNC, parent), CPushPull(api) {}

CDlgSync::~CDlgSync() = default;

BOOL CDlgSync::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetOwner(GetSafeHwnd());
    m_list.Attach(GetDlgItem(IDC_SYNC_LIST));
    m_progressBar.Attach(GetDlgItem(IDC_SYNC_PROGRESS));
    m_statusLine.Attach(GetDlgItem(IDC_SYNC_STATUS));

    RecordSize(GetSafeHwnd());
    RecordSize(GetSafeHwnd(), IDC_SYNC_MARKER);
    // Toggled once below, so "SyncSize" 1 opens with the details hidden.
    SetState(CConfig().GetSyncSize() == 1 ? kExpanded : kCollapsed);
    ToggleDetails();

    SetForegroundWindow();
    if (HICON icon = LoadIconA(GetResourceModule(), MAKEINTRESOURCEA(IDI_LOGIN))) {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    // The state pictures grow with the screen's DPI, as the rows' text does.
    m_images.Reset(
        LoadImageStrip(GetResourceModule(), IDB_SYNC_STATES, kStateImageSize, kTransparent));
    if (m_images) {
        ImageList_SetBkColor(m_images.Get(), GetSysColor(COLOR_WINDOW));
        m_list.SetImageList(m_images.Get(), LVSIL_SMALL);
    }
    for (int column = 0; column < kColumns; ++column)
        m_list.InsertColumn(column, kColumnNames[column], LVCFMT_LEFT, kFirstColumnWidth);
    RECT list{};
    m_list.GetWindowRect(&list);
    ScreenToClient(&list);
    m_listMargin = list.left;
    LayOutList();

    if (automation::IsObject(m_selection))
        LoadItems(m_selectionCount, m_selection.pdispVal, true);
    if (automation::IsObject(m_items))
        LoadItems(m_itemsCount, m_items.pdispVal, false);

    if (m_api) {
        for (const auto& item : m_selected) {
            if (m_itemType == CSyncItem::kTaskItems) {
                item->m_state = CSyncItem::kToUpdate;
                item->m_actionText = LoadText(IDS_SYNC_UPDATE_OUTLOOK, "Update Outlook");
            } else if (item->m_state == CSyncItem::kNew) {
                item->m_state = CSyncItem::kNothing;
                item->m_actionText = LoadText(IDS_SYNC_NONE, "None");
            }
        }
        NextItem();
    }
    return TRUE;
}

void CDlgSync::LoadItems(long& count, IDispatch* collection, bool withRows)
{
    CLogBlock block("CDlgSync::LoadItems");
    long kept = 0;
    for (long i = 1; i <= count; ++i) {
        TheLog().Comment("LoadItems: CallMethod Item");
        VARIANT index[] = {automation::LongArg(i)};
        CVariant found;
        if (FAILED(CallMethod(collection, L"Item", found.Put(), 1, index)) ||
            !automation::IsObject(found))
            continue;
        auto item = std::make_unique<CSyncItem>(m_itemType);
        TheLog().Comment("LoadItems: LoadOneItem");
        LoadOneItem(*item, found.pdispVal);
        if (m_itemType == CSyncItem::kTaskItems && item->m_requestId.IsEmpty())
            continue;
        if (withRows) {
            AddItemRow(*item);
            m_selected.push_back(std::move(item));
        } else {
            m_others.push_back(std::move(item));
        }
        ++kept;
    }
    count = kept;
}

int CDlgSync::AddItemRow(CSyncItem& item)
{
    const int row =
        m_list.InsertItem(0, LPSTR_TEXTCALLBACK, I_IMAGECALLBACK, reinterpret_cast<LPARAM>(&item));
    if (row < 0)
        return -1;
    m_list.SetItemText(row, 1, LPSTR_TEXTCALLBACK);
    m_list.SetItemText(row, 2, LPSTR_TEXTCALLBACK);
    return row;
}

int CDlgSync::RowOf(const CSyncItem* item) const
{
    return item ? m_list.FindItemByData(reinterpret_cast<LPARAM>(item)) : -1;
}

void CDlgSync::RedrawItem(const CSyncItem* item)
{
    const int row = RowOf(item);
    if (row >= 0)
        m_list.RedrawItems(row, row);
}

void CDlgSync::SetStatus(const char* text)
{
    m_statusLine.SetWindowText(text);
}

void CDlgSync::ShowItemDone(const CSyncItem& item)
{
    switch (item.m_state) {
    case CSyncItem::kNothing:
        SetStatus(
            FormatText(IDS_SYNC_NOTHING_TO_DO, "Synchronizing... \"%s\"", item.DisplayName()));
        break;
    case CSyncItem::kUpdated:
        SetStatus(FormatText(IDS_SYNC_UPDATED, "Updated \"%s\"", item.DisplayName()));
        break;
    case CSyncItem::kFailed:
        SetStatus(FormatText(IDS_SYNC_FAILED, "Failed to sync \"%s\"", item.DisplayName()));
        break;
    default:
        break;
    }
}

void CDlgSync::ArmPump()
{
    m_timer = SetTimer(kStepTimer, kPumpDelayMs);
}

void CDlgSync::MarkFailed(CSyncItem& item, const CString& reason)
{
    item.m_state = CSyncItem::kFailed;
    if (item.m_failure.IsEmpty())
        item.m_failure = reason.IsEmpty() ? LoadText(IDS_OPERATION_UNKNOWN,
                                                     "The operation failed for unknown reasons")
                                          : reason;
    item.m_actionText = FormatText(IDS_SYNC_FAILED_BECAUSE, "Failed: %s", item.m_failure);
    RedrawItem(&item);
}

int CDlgSync::FailedCount() const
{
    int failed = 0;
    for (const auto& item : m_selected)
        failed += item->m_state == CSyncItem::kFailed;
    return failed;
}

CString CDlgSync::EndText() const
{
    const int failed = FailedCount();
    if (failed == 0)
        return LoadText(IDS_SYNC_COMPLETE, "Synchronization is Complete");
    CString text;
    text.Format(LoadText(IDS_SYNC_SOME_FAILED, "%d of %d could not be synchronized"), failed,
                m_total);
    return text;
}

void CDlgSync::FailCurrent(HRESULT hr, const CString& reason)
{
    m_lastResult = FAILED(hr) ? hr : E_FAIL;
    if (m_current)
        MarkFailed(*m_current, reason);
    // The message comes back as the end of the item, whose failure the
    // next step records; then the next item runs.
    PostMessage(kStageMessage, CWebSvrOp::kDone);
}

void CDlgSync::FinishOperation()
{
    CWebSvrOp* op = GetOp();
    if (!op || !m_current)
        return;
    if (SUCCEEDED(m_lastResult)) {
        HRESULT hr = E_FAIL;
        CString reason;
        if (op->GetOpKind() == "OpReqStat") {
            auto* status = static_cast<OpReqStat*>(op);
            m_current->m_statusDetail = status->m_documentId;
            hr = LinkItem(nullptr, m_current, status->m_envStat);
            reason = LoadText(IDS_SYNC_TASK_NOT_UPDATED, "The task could not be updated.");
        } else if (op->GetOpKind() == "OpReqPDF") {
            hr = SaveSignedCopy(nullptr, m_current, static_cast<OpReqPDF*>(op));
            reason = LoadText(IDS_SYNC_COPY_NOT_ATTACHED, "The signed copy was not attached.");
        }
        if (SUCCEEDED(hr)) {
            m_current->m_actionText = LoadText(IDS_SYNC_TASK_UPDATED, "Task Updated");
            m_current->m_state = CSyncItem::kUpdated;
            RedrawItem(m_current);
        } else {
            // The service answered, yet the task does not show it.
            TheLog().HResult("CDlgSync::NextItem: the task was not updated", hr);
            m_lastResult = hr;
            MarkFailed(*m_current, reason);
        }
    }
    DropOp();
}

void CDlgSync::NextItem()
{
    if (m_finished)
        return;
    const bool tasks = m_itemType == CSyncItem::kTaskItems;
    if (tasks && GetOp())
        FinishOperation();
    else
        DropOp();
    if (!m_started) {
        m_started = true;
        m_total = m_list.GetItemCount();
        m_rowCounter = 0;
        if (tasks) {
            SetStatus(LoadText(IDS_SYNC_IN_PROGRESS, "Synchronization in progress..."));
            m_progressBar.SetRange32(0, m_total);
            m_progressSet = true;
        }
    }

    if (m_current) {
        if (m_current->m_state != CSyncItem::kNothing && m_current->m_state != CSyncItem::kFailed) {
            if (FAILED(m_lastResult))
                MarkFailed(*m_current, CString());
            else
                m_current->m_state = CSyncItem::kUpdated;
        }
        ShowItemDone(*m_current);
        RedrawItem(m_current);

        if (tasks && m_current->m_state != CSyncItem::kFailed &&
            !m_current->m_requestId.IsEmpty() && m_current->m_wantsSignedCopy &&
            m_current->m_signedCopy.IsEmpty()) {
            TheLog().Comment("NextItem: PullPDF...");
            // Asked once: whatever the download does, the item then moves on.
            m_current->m_wantsSignedCopy = 0;
            m_lastResult = S_OK;
            const HRESULT hr = PullPDF(*m_current, FALSE);
            if (SUCCEEDED(hr)) {
                ArmPump();
            } else {
                FailCurrent(hr, CString());
            }
            return;
        }
    }

    if (m_progressSet)
        m_progressBar.SetPos(m_rowCounter);

    if (m_rowCounter < m_total) {
        TheLog().Comment("NextItem: Loading next item");
        m_current = reinterpret_cast<CSyncItem*>(m_list.GetItemData(m_rowCounter));
        ++m_rowCounter;
        if (!m_current) {
            // No row can be without its item; should one be, it is passed over.
            PostMessage(kStageMessage, CWebSvrOp::kDone);
            return;
        }
        TheLog().CommentFormat("NextItem: Syncing %s", m_current->DisplayName());
        if (!m_progressSet)
            m_progressBar.SetPos(0);
        m_list.EnsureVisible(RowOf(m_current), FALSE);
        m_lastResult = S_OK;
        if (m_current->m_state == CSyncItem::kToUpdate && tasks) {
            TheLog().Comment("NextItem: PullStatus...");
            const HRESULT hr = PullStatus(*m_current, FALSE);
            if (FAILED(hr)) {
                FailCurrent(hr, CString());
                return;
            }
        }
        if (m_current->m_state != 0)
            ArmPump();
        return;
    }

    TheLog().Comment("NextItem: Last item housekeeping");
    KillTimer(kStepTimer);
    m_timer = 0;
    GetDlgItem(IDCANCEL).SetWindowText(LoadText(IDS_SYNC_CLOSE, "Close"));
    m_finished = true;
    SetStatus(EndText());
    SaveSyncSize();
    const bool allWell = FailedCount() == 0;
    if (m_total == 0) {
        m_progressBar.SetRange32(0, 100);
        m_progressBar.SetPos(100);
    } else if (GetState() == kCollapsed && allWell) {
        // With failures the dialog stays: its status line counts them and
        // the details say why.
        EndDialog(IDOK);
    }
    TheLog().Comment("NextItem: Complete");
}

void CDlgSync::OnTimer(UINT_PTR id)
{
    if (id != kStepTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kStepTimer);
    m_timer = 0;
    if (m_finished)
        return;
    if (CWebSvrOp* op = GetOp()) {
        if (!op->Run(GetSafeHwnd(), kStageMessage, m_stage)) {
            TheLog().HResult("CDlgSync::OnTimer: the operation failed", op->GetErrorCode());
            const HRESULT hr = op->GetErrorCode();
            const CString reason = op->GetErrorText();
            DropOp();
            FailCurrent(hr, reason);
        }
    } else if (m_current && m_current->m_state != 0) {
        PostMessage(kStageMessage, CWebSvrOp::kDone);
    }
}

void CDlgSync::OnRunOp(int stage)
{
    if (m_finished)
        return;
    if (CWebSvrOp* op = GetOp()) {
        m_stage = stage;
        if (stage >= CWebSvrOp::kPrepare && stage <= CWebSvrOp::kDone) {
            m_statusText = op->GetStageText(stage);
            SetStatus(m_statusText);
        }
        if (stage != CWebSvrOp::kDone) {
            ArmPump();
            return;
        }
        TheLog().Comment("CDlgSynch::OnRunOp: calling NextItem(1)");
    } else {
        TheLog().Comment("CDlgSynch::OnRunOp: calling NextItem(2)");
    }
    NextItem();
}

BOOL CDlgSync::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case kStageMessage:
        OnRunOp(static_cast<int>(wParam));
        result = 0;
        return TRUE;
    case WM_GETMINMAXINFO: {
        // The user may make the dialog larger, not smaller than it is shown
        // now; without its details it keeps its height.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        const SIZE size = GetSize(GetState());
        if (info && size.cx > 0 && size.cy > 0) {
            info->ptMinTrackSize.x = size.cx;
            info->ptMinTrackSize.y = size.cy;
            if (GetState() == kCollapsed)
                info->ptMaxTrackSize.y = size.cy;
        }
        result = 0;
        return TRUE;
    }
    case WM_SIZE:
        LayOutList();
        return FALSE;
    default:
        return FALSE;
    }
}

void CDlgSync::LayOutList()
{
    if (!m_list.IsWindow())
        return;
    RECT client{};
    RECT list{};
    GetClientRect(&client);
    m_list.GetWindowRect(&list);
    ScreenToClient(&list);
    if (GetState() == kExpanded && m_listMargin > 0) {
        list.right = client.right - m_listMargin;
        if (client.bottom - m_listMargin > list.top)
            list.bottom = client.bottom - m_listMargin;
        m_list.MoveWindow(list);
    }
    const int width = (list.right - list.left - 4) / kColumns;
    if (width > 0) {
        for (int column = 0; column < kColumns; ++column)
            m_list.SetColumnWidth(column, width);
    }
}

void CDlgSync::ToggleDetails()
{
    CWnd details = GetDlgItem(IDC_SYNC_DETAILS);
    if (GetState() == kExpanded) {
        SetState(kCollapsed);
        details.SetWindowText(LoadText(IDS_SYNC_DETAILS_SHOW, "Details >>"));
        GetDlgItem(IDC_SYNC_LIST).ShowWindow(SW_HIDE);
    } else {
        SetState(kExpanded);
        details.SetWindowText(LoadText(IDS_SYNC_DETAILS_HIDE, "<< Details"));
        GetDlgItem(IDC_SYNC_LIST).ShowWindow(SW_SHOW);
    }
    ApplySize(GetSafeHwnd());
    Invalidate();
}

void CDlgSync::SaveSyncSize()
{
    CConfig().SetSyncSize(GetState() == kCollapsed ? 1 : 0);
}

BOOL CDlgSync::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_SYNC_DETAILS && HIWORD(wParam) == BN_CLICKED) {
        ToggleDetails();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CDlgSync::OnCancel()
{
    SaveSyncSize();
    KillTimer(kStepTimer);
    m_timer = 0;
    m_finished = true;
    DropOp();
    CDialog::OnCancel();
}

BOOL CDlgSync::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && header->idFrom == IDC_SYNC_LIST &&
        (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW)) {
        OnDisplayInfo(header);
        *result = 0;
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, result);
}

void CDlgSync::OnDisplayInfo(NMHDR* header)
{
    // The item part is laid out alike in the narrow and the wide form.
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    const auto* item = reinterpret_cast<const CSyncItem*>(m_list.GetItemData(info->item.iItem));
    if (!item)
        return;
    if (info->item.mask & LVIF_IMAGE)
        info->item.iImage = item->m_state;
    if (!(info->item.mask & LVIF_TEXT))
        return;
    const bool contact = item->m_itemType == CSyncItem::kContactItems;
    switch (info->item.iSubItem) {
    case 0:
        CListCtrl::SetDisplayText(header, item->m_actionText);
        break;
    case 1:
        CListCtrl::SetDisplayText(header, contact ? item->m_fullName : item->m_subject);
        break;
    case 2:
        CListCtrl::SetDisplayText(header, contact ? item->m_email : item->m_dueDate);
        break;
    default:
        break;
    }
}
