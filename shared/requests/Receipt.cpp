#include "shared/requests/Receipt.h"

#include <shlobj.h>
#include <utility>
#include <vector>

#include "classlib/win32/CFile.h"
#include "classlib/win32/CRegKey.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/FileMgr.h"
#include "shared/config/ProductKey.h"
#include "shared/config/SettingValue.h"
#include "shared/xml/XmlEscape.h"

namespace {

constexpr const char kReceiptHead[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><inkReceipt>\n";
constexpr const char kReceiptTail[] = "</inkReceipt>\n";
// Pieces are copied in blocks this large: a receipt holds each document's
// base64 once per target.
constexpr DWORD kCopyBlock = 64 * 1024;
// What a receipt is called in the Receipts folder until it is whole: the
// add-in imports only "*.xml" there.
constexpr char kPartialSuffix[] = ".part";
bool EnsureFolder(const CString& path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

HRESULT GetProductDataFolder(CString& path)
{
    char appData[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                   SHGFP_TYPE_CURRENT, appData))) {
        path.Format("%s\\Quillet", appData);
        return S_OK;
    }
    // A profile without an application-data folder: the machine-wide data
    // path with a folder per user, as an administrator set it up. Only read:
    // a user's Outlook may not write HKEY_LOCAL_MACHINE, and a key made
    // there empty would hold no path anyway.
    CRegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kProductKeyPath, KEY_READ) != ERROR_SUCCESS)
        return E_FAIL;
    // A text, as every setting is read (a value of another type is none).
    CString dataPath;
    if (ReadSettingText(key, "Path", dataPath, MAX_PATH) != ERROR_SUCCESS)
        return E_FAIL;
    char user[257] = {};
    DWORD userLength = sizeof user - 1;
    if (!GetUserNameA(user, &userLength))
        return E_FAIL;
    path.Format("%s\\%s", dataPath.GetString(), user);
    return S_OK;
}

HRESULT GetDataFolder(const char* format, CString& path)
{
    path.Empty();
    CString product;
    if (FAILED(GetProductDataFolder(product)) || !EnsureFolder(product))
        return E_FAIL;
    CString folder;
    folder.Format(format, product.GetString());
    if (!EnsureFolder(folder))
        return E_FAIL;
    path = folder;
    return S_OK;
}

CString FileNameOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash >= 0 ? path.Mid(slash + 1) : path;
}

HANDLE CreateNewXmlFile(const char* folder, CString& path)
{
    return CreateNewTempFile(folder, ".xml", path);
}

constexpr int kRenameAttempts = 8;

// Copies the file at source into a new file of folder whose name the
// add-in does not import, every byte of it or none: on failure nothing is
// left there. Its path goes to copy.
bool CopyWhole(const CString& source, const CString& folder, CString& copy)
{
    CFileHandle from(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!from || !GetFileSizeEx(from.Get(), &size))
        return false;
    CString path;
    CFileHandle to(CreateNewTempFile(folder, kPartialSuffix, path));
    if (!to)
        return false;
    std::vector<char> block(kCopyBlock);
    LONGLONG copied = 0;
    bool whole = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from.Get(), block.data(), kCopyBlock, &got, nullptr)) {
            whole = false;
            break;
        }
        if (got == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(to.Get(), block.data(), got, &written, nullptr) || written != got) {
            whole = false;
            break;
        }
        copied += got;
    }
    // A read that ends short of the size the file had is a copy cut off.
    whole = whole && copied == size.QuadPart && FlushFileBuffers(to.Get());
    to.Reset();
    if (!whole) {
        DeleteFileA(path);
        return false;
    }
    copy = path;
    return true;
}

} // namespace

CReceiptAtom::CReceiptAtom(IDispatch* item, const char* name, const char* requestId,
                           const char* link, const char* subject)
    : m_item(item), m_name(name ? name : ""), m_requestId(requestId ? requestId : ""),
      m_link(link ? link : ""), m_subject(subject ? subject : "")
{}

CReceiptAtom::CReceiptAtom(const char* name, const char* subject, CString value)
    : m_name(name ? name : ""), m_subject(subject ? subject : ""), m_value(std::move(value))
{}

CReceipt::CReceipt(IDispatch* application, int kind) : m_kind(kind), m_application(application) {}

CReceipt::~CReceipt() = default;

HRESULT CReceipt::AddAtom(std::unique_ptr<CReceiptAtom> atom)
{
    if (!atom)
        return E_INVALIDARG;
    try {
        m_atoms.push_front(std::move(atom));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

std::unique_ptr<CReceiptAtom> CReceipt::TakeHeadAtom()
{
    if (m_atoms.empty())
        return nullptr;
    std::unique_ptr<CReceiptAtom> atom = std::move(m_atoms.front());
    m_atoms.pop_front();
    return atom;
}

HRESULT CReceipt::OpenReceiptFile()
{
    m_file.Reset();
    if (!m_filePath.IsEmpty()) {
        // Our own work file from an earlier step: only ever appended to.
        HANDLE file = CreateFileA(m_filePath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return E_FAIL;
        m_file.Reset(file);
        if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR) {
            m_file.Reset();
            return E_FAIL;
        }
        return S_OK;
    }
    CString path;
    HANDLE file = CreateNewXmlFile(nullptr, path);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    m_file.Reset(file);
    m_filePath = path;
    return AppendToReceiptFile(kReceiptHead, sizeof kReceiptHead - 1);
}

HRESULT CReceipt::AppendToReceiptFile(const char* bytes, DWORD count)
{
    DWORD written = 0;
    if (!m_file.IsValid() || !WriteFile(m_file.Get(), bytes, count, &written, nullptr) ||
        written != count)
        return E_FAIL;
    return S_OK;
}

HRESULT GetSentItemsFolder(CString& path)
{
    return GetDataFolder("%s\\Sent Items", path);
}

HRESULT GetReceiptsFolder(CString& path)
{
    return GetDataFolder("%s\\Receipts", path);
}

HRESULT CloseReceiptFile(CReceipt* receipt, const char* piecePath)
{
    if (!receipt || receipt->m_kind != CReceipt::kFileReceipt)
        return E_INVALIDARG;
    HRESULT hr = receipt->OpenReceiptFile();
    if (SUCCEEDED(hr)) {
        if (piecePath && *piecePath) {
            CFile piece;
            if (!piece.Open(piecePath, CFile::modeRead | CFile::shareDenyWrite)) {
                hr = E_FAIL;
            } else {
                std::vector<char> block(kCopyBlock);
                UINT got = 0;
                while (SUCCEEDED(hr) && (got = piece.Read(block.data(), kCopyBlock)) > 0)
                    hr = receipt->AppendToReceiptFile(block.data(), got);
            }
        } else {
            hr = receipt->AppendToReceiptFile(kReceiptTail, sizeof kReceiptTail - 1);
        }
    }
    receipt->m_file.Reset();
    if (FAILED(hr))
        TheLog().HResult("CloseReceiptFile", hr);
    return hr;
}

HRESULT AddReceiptAtom(const char* text, CReceipt* receipt)
{
    if (!receipt || receipt->m_kind != CReceipt::kFileReceipt)
        return E_INVALIDARG;
    const CString value(text ? text : "");
    HRESULT hr = receipt->OpenReceiptFile();
    if (SUCCEEDED(hr))
        hr = receipt->AppendToReceiptFile(value.GetString(), value.GetLength());
    receipt->m_file.Reset();
    if (FAILED(hr))
        TheLog().HResult("AddReceiptAtom", hr);
    return hr;
}

HRESULT AddReceiptResults(CReceipt* receipt, const char* fileId, const char* link,
                          const char* subject, const char* category)
{
    if (!receipt || receipt->GetKind() != CReceipt::kFileReceipt)
        return E_INVALIDARG;
    CString text;
    try {
        text = "<Results><FileID>";
        text += XmlEscaped(fileId);
        text += "</FileID><Link>";
        text += XmlEscaped(link);
        text += "</Link><ReceiptSubject>";
        text += XmlEscaped(subject);
        text += "</ReceiptSubject><ReceiptCategory>";
        text += XmlEscaped(category);
        text += "</ReceiptCategory></Results>";
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return AddReceiptAtom(text, receipt);
}

HRESULT FileReceipt(CReceipt* receipt)
{
    if (!receipt || receipt->m_kind != CReceipt::kFileReceipt)
        return E_INVALIDARG;
    receipt->m_file.Reset();
    CString folder;
    if (receipt->m_filePath.IsEmpty() || FAILED(GetReceiptsFolder(folder)))
        return E_FAIL;
    // The copy goes under a name the add-in does not import and takes its
    // own only once it is whole: an import that comes meanwhile, or a copy
    // that breaks off, never finds half a receipt.
    CString partial;
    if (!CopyWhole(receipt->m_filePath, folder, partial)) {
        TheLog().Error("FileReceipt: the receipt stays in the temporary folder");
        return E_FAIL;
    }
    CString target = folder + "\\" + FileNameOf(receipt->m_filePath);
    bool filed = MoveFileA(partial, target) != 0;
    // Every file in the folder is imported, so a fresh name serves as well
    // as the work file's own; nothing there is written over.
    CFileMgr namer(folder);
    for (int attempt = 0; !filed && attempt < kRenameAttempts; ++attempt) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
        if (!namer.MakeTempName(".xml"))
            break;
        target = namer.GetFilePath();
        filed = MoveFileA(partial, target) != 0;
    }
    if (!filed) {
        DeleteFileA(partial);
        TheLog().Error("FileReceipt: the receipt stays in the temporary folder");
        return E_FAIL;
    }
    DeleteFileA(receipt->m_filePath);
    receipt->m_filePath = target;
    return S_OK;
}
