// CPushPull: the per-item worker of the sync dialog. It reads what a
// receipt task carries (its request ID and signed copy, kept in user
// properties), asks the service how far the request has been signed
// (OpReqStat) and writes that into the task, and once the request is fully
// signed fetches the signed copy (OpReqPDF) and attaches it to the task.
// The operations run one at a time as the pump's current operation; the
// dialog that derives from this class runs their stages and supplies the
// list rows.
#pragma once

#include <windows.h>

#include "classlib/com/CVariant.h"
#include "shared/config/Credentials.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/service/EnvStat.h"
#include "shared/ui/PumpOp.h"

class CSyncItem;
class OpReqPDF;

class CPushPull : public CPumpOp, public CDispatcher {
public:
    // The user properties of a receipt task.
    static constexpr const wchar_t* kRequestIdProperty = L"Quillet ID";
    static constexpr const wchar_t* kSignedCopyProperty = L"Quillet PDF";
    // The signed copy's attachment on the task.
    static constexpr const char* kSignedCopyName = "Signed Copy";
    static constexpr const char* kSignedCopyFormat = "Signed Copy %s.pdf";

    explicit CPushPull(CWebSvrAPI* api);
    ~CPushPull() override;

    // The sync's operations are run by the dialog's own pump, which moves
    // on to the next item when one ends.
    BOOL OnOpDone() override { return TRUE; }

    // Takes from the explorer what is to be synchronised: the MAPI
    // namespace, the current folder and its default item type (contacts or
    // tasks, else E_INVALIDARG), the selection and the folder's items. In a
    // task folder with nothing selected every task of the folder counts as
    // selected. The first failing call's HRESULT.
    HRESULT LoadExplorer(IDispatch* application, IDispatch* explorer);

    // Fills the sync item from the Outlook item: its user properties, entry
    // ID, name and e-mail (contacts) or subject and due date (tasks), and
    // last change. A property that cannot be read leaves its field as it
    // was. 0, or the failure of the entry ID's read.
    HRESULT LoadOneItem(CSyncItem& item, IDispatch* outlookItem);
    // The request ID and the signed copy from the task's user properties
    // (each left as it was when missing).
    HRESULT LoadUserProps(CSyncItem& item, IDispatch* outlookItem);

    // Makes the status (PullStatus) or signed-copy (PullPDF) operation of
    // the item's request the current one, at its first stage. postNow posts
    // that stage to the owner; otherwise the caller arms the pump. 0,
    // E_INVALIDARG for an item without a request ID or without a service,
    // E_OUTOFMEMORY.
    HRESULT PullStatus(CSyncItem& item, BOOL postNow);
    HRESULT PullPDF(CSyncItem& item, BOOL postNow);

    // Writes the request's status into the task (found again by the item's
    // entry ID when task is null): Complete, PercentComplete (capped at
    // 100) and Status, then saves it. A complete request asks for the signed
    // copy. E_INVALIDARG without an item, request ID or way to the task,
    // E_FAIL when the task is gone, else the HRESULT of the first write that
    // failed or of Save.
    HRESULT LinkItem(IDispatch* task, CSyncItem* item, const CEnvStat& status);
    // Attaches the finished operation's signed copy to the task (found
    // again when task is null) as "Signed Copy", records it in "Quillet PDF"
    // and saves the task. Only a whole PDF document is taken. The decoded
    // file is deleted before this returns: the attachment holds its bytes.
    // E_INVALIDARG without an item, request ID or operation; E_FAIL when the
    // task is gone or the copy cannot be had, is no whole PDF or cannot be
    // attached (then nothing is recorded, so the next sync tries again);
    // else the HRESULT of Save.
    HRESULT SaveSignedCopy(IDispatch* task, CSyncItem* item, OpReqPDF* op);
    // Attaches the file by value at the end of the task's attachments.
    HRESULT AttachFile(IDispatch* task, const char* path, const char* displayName);

    // Adds the item's row to the list; its index, or -1.
    virtual int AddItemRow(CSyncItem& item) = 0;

    // The window that receives the operations' stage messages.
    void SetOwner(HWND owner) { m_owner = owner; }
    void SetApi(CWebSvrAPI* api) { m_api = api; }
    int GetItemType() const { return m_itemType; }
    void SetItemType(int itemType) { m_itemType = itemType; }

    // The login's credentials, given to every operation.
    CCredentials m_credentials;

protected:
    // The task of the item, found again by its entry ID: E_INVALIDARG
    // without one, E_FAIL when it is gone.
    HRESULT FindTask(const CSyncItem& item, CVariant& task);
    // Starts op (owned from here) as the current operation.
    void StartOp(CWebSvrOp* op, BOOL postNow);

    HWND m_owner = nullptr;
    CVariant m_namespace;
    CVariant m_folder;
    CVariant m_items;
    CVariant m_item;
    long m_itemsCount = 0;
    int m_itemType = 2;
    CVariant m_selection;
    long m_selectionCount = 0;
};
