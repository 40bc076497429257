#include "addin/receipts/ReceiptMgr.h"

#include <new>

#include "addin/receipts/DlgReceipts.h"
#include "addin/receipts/SetAside.h"
#include "shared/log/DebugLog.h"

namespace {

// Set while an import runs, on the one thread Outlook calls the add-in on.
bool g_importing = false;

// Marks the import as running for as long as it lives.
class CImportRunning {
public:
    CImportRunning() { g_importing = true; }
    CImportRunning(const CImportRunning&) = delete;
    CImportRunning& operator=(const CImportRunning&) = delete;
    ~CImportRunning() { g_importing = false; }
};

} // namespace

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
    if (g_importing) {
        TheLog().Comment("CReceiptMgr::Import: an import is running already");
        return S_FALSE;
    }
    CImportRunning running;
    HRESULT hr = S_FALSE;
    try {
        CReceiptMgr manager(application);
        if (manager.LoadReceipts(nullptr) && !manager.Receipts().empty()) {
            CDlgReceipts dialog(&manager);
            dialog.DoModal();
            hr = S_OK;
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    return hr;
}
