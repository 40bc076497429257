#include "addin/receipts/ReceiptMgr.h"

#include <new>

#include "addin/core/CommandRun.h"
#include "addin/receipts/DlgReceipts.h"
#include "addin/receipts/SetAside.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/log/DebugLog.h"

int FindReceiptFiles(CFindHandle& search, const char* folder, CString& path, CString& name,
                     FILETIME& lastWrite)
{
    if (!folder || !*folder)
        return 0;
    WIN32_FIND_DATAA found{};
    for (;;) {
        if (!search.IsValid()) {
            CString pattern;
            pattern.Format("%s\\*.xml", folder);
            search.Reset(FindFirstFileA(pattern, &found));
            if (!search.IsValid())
                return 0;
        } else if (!FindNextFileA(search.Get(), &found)) {
            return 0;
        }
        // A folder that happens to end in ".xml" is no receipt.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            break;
    }
    name = found.cFileName;
    path.Format("%s\\%s", folder, found.cFileName);
    lastWrite = found.ftLastWriteTime;
    return 1;
}

CReceiptMgr::CReceiptMgr(IDispatch* application) : m_application(application) {}

CReceiptMgr::~CReceiptMgr() = default;

bool CReceiptMgr::LoadReceipts(const char* folder)
{
    CLogBlock block("CReceiptMgr::LoadReceipts");
    m_folder = folder ? folder : "";
    if (m_folder.IsEmpty() && FAILED(GetReceiptsFolder(m_folder)))
        return false;
    bool loaded = false;
    CFindHandle search;
    CString path;
    CString name;
    FILETIME lastWrite{};
    DropStaleMarkers(m_folder);
    while (FindReceiptFiles(search, m_folder, path, name, lastWrite)) {
        SetAsideReason reason = SetAsideReason::Failed;
        if (IsReceiptSetAside(path, reason)) {
            if (reason == SetAsideReason::Imported && DeleteFileA(path))
                ForgetSetAside(path);
            continue;
        }
        auto receipt = std::make_unique<CQuilletReceipt>(m_application);
        if (FAILED(receipt->LoadFile(path))) {
            // Left where it is: nothing of it is imported, nothing is lost.
            SetReceiptAside(path, SetAsideReason::Failed, "does not read");
            continue;
        }
        m_receipts.push_back(std::move(receipt));
        loaded = true;
    }
    return loaded;
}

HRESULT CReceiptMgr::Import(IDispatch* application)
{
    // No import inside itself or beside a send or sync: it asks nothing of
    // the user, so it says nothing either; the files wait where they are
    // for the next selection.
    CCommandRun run(AddinCommand::kReceiptImport);
    if (!run.Taken()) {
        TheLog().Comment("CReceiptMgr::Import: another command is running");
        return S_FALSE;
    }
    HRESULT hr = S_FALSE;
    try {
        CReceiptMgr manager(application);
        if (manager.LoadReceipts(nullptr) && !manager.Receipts().empty()) {
            CDlgReceipts dialog(
                &manager, CDispatcher::GetParentWindow(application, CDispatcher::kPreferExplorer));
            dialog.DoModal();
            hr = S_OK;
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    return hr;
}
