// CDlgSync: the sync command's dialog. It lists the items to synchronise
// and works through them in list order, one service operation at a time:
// for a receipt task the request's status, which updates the task, and
// then, for a fully signed request whose task has no signed copy yet, the
// signed copy. A 5 ms timer runs each stage of the current operation; each
// stage posts WM_USER+100 with the next one, and the last moves on to the
// next item. An item whose operation or task update fails ends failed and
// the next one follows.
//
// The details (the list) can be hidden; the setting "SyncSize" keeps that
// choice (1: hidden), and a dialog with hidden details closes by itself
// once every item is done.
#pragma once

#include <memory>
#include <vector>

#include "addin/controls/Expander.h"
#include "addin/sync/PushPull.h"
#include "addin/sync/SyncItem.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CImageList.h"
#include "classlib/ui/CListCtrl.h"
#include "classlib/ui/CProgressCtrl.h"

class CDlgSync : public CDialog, public CExpander, public CPushPull {
public:
    // The pump's timer: between a stage message and the run of the stage.
    static constexpr UINT kPumpDelayMs = 5;

    // api: the service connection (may be given later, SetApi); without
    // one the dialog lists the items and does nothing else.
    explicit CDlgSync(CWebSvrAPI* api, HWND parent = nullptr);
    ~CDlgSync() override;

    int AddItemRow(CSyncItem& item) override;

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Reads count items of the collection into sync items; those of a task
    // folder without a request ID are dropped. With rows they are the items
    // to synchronise and get a row each; without, they are only kept.
    // count becomes the number kept.
    void LoadItems(long& count, IDispatch* collection, bool withRows);
    // Ends the operation that has come to its end, if any, and goes on to
    // the next item, or ends the sync when none is left.
    void NextItem();
    // A stage message (WM_USER+100).
    void OnRunOp(int stage);

private:
    using ItemList = std::vector<std::unique_ptr<CSyncItem>>;

    // Takes in what the finished operation brought for the current item.
    void FinishOperation();
    // The item's row now (rows move when others are inserted above them).
    int RowOf(const CSyncItem* item) const;
    void RedrawItem(const CSyncItem* item);
    void SetStatus(const char* text);
    // The status line of an item that is done: its state's text.
    void ShowItemDone(const CSyncItem& item);
    void ArmPump();
    // Ends the current item as failed, its row saying why (reason, or the
    // text of a failure without one), and lets the pump move on.
    void FailCurrent(HRESULT hr, const CString& reason);
    // The item shows as failed, with its reason; a reason already given is
    // kept (it is the first, and says most).
    void MarkFailed(CSyncItem& item, const CString& reason);
    // The status line at the end: complete, or how many items failed.
    CString EndText() const;
    int FailedCount() const;
    void ToggleDetails();
    void LayOutList();
    void OnDisplayInfo(NMHDR* header);
    void SaveSyncSize();

    CListCtrl m_list;
    CProgressCtrl m_progressBar;
    CWnd m_statusLine;
    CImageList m_images;
    ItemList m_selected; // the items to synchronise, each with a row
    ItemList m_others;   // the folder's items, only kept
    CSyncItem* m_current = nullptr;
    int m_rowCounter = 0;
    int m_total = 0;
    bool m_started = false;     // the first item has been taken up
    bool m_progressSet = false; // the progress bar counts items
    bool m_finished = false;
    HRESULT m_lastResult = S_OK; // of the current item's last operation
    int m_listMargin = 0;
};
