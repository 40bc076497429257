#include "shared/service/OpQuillet.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "classlib/strings/LoadText.h"
#include "shared/SharedResource.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/xml/Base64Stream.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XmlEscape.h"

namespace {
// Pieces are copied into the request in blocks as large as its writes.
constexpr DWORD kCopyBlock = 1024 * 1024;

// A "qlt" file of the temporary folder that goes when it goes.
class CScratchFile {
public:
    CScratchFile()
    {
        CString path;
        HANDLE file = CreateNewTempFile(nullptr, nullptr, path, "qlt");
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            m_path = path;
        }
    }
    ~CScratchFile()
    {
        if (!m_path.IsEmpty())
            DeleteFileA(m_path);
    }
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;
    bool IsValid() const { return !m_path.IsEmpty(); }
    const CString& Path() const { return m_path; }

private:
    CString m_path;
};
} // namespace

OpQuillet::~OpQuillet()
{
    m_castlets.RemoveAll();
}

HRESULT OpQuillet::CheckResult(const CString& result)
{
    if (result.IsEmpty())
        return E_FAIL;
    if (result.Find("ERROR:") >= 0) {
        m_errorText = result;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT OpQuillet::WriteAll(HANDLE file, const char* bytes, DWORD count)
{
    while (count > 0) {
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE || !WriteFile(file, bytes, count, &written, nullptr) ||
            written == 0)
            return E_FAIL;
        bytes += written;
        count -= written;
    }
    return S_OK;
}

HRESULT OpQuillet::Put(const char* text)
{
    return WriteAll(m_out, text, static_cast<DWORD>(strlen(text)));
}

HRESULT OpQuillet::PutElement(const char* name, const char* value)
{
    return Put(SoapElement(name, value));
}

HRESULT OpQuillet::WritePart(HANDLE file, const char* name)
{
    if (!name)
        return E_INVALIDARG;
    if (strcmp(name, "Head") != 0)
        return S_OK;
    if (!m_fileId || m_fileId->IsEmpty())
        return E_FAIL;
    const CString escaped = XmlEscaped(m_fileId->GetString());
    return WriteAll(file, escaped, static_cast<DWORD>(escaped.GetLength()));
}

HRESULT OpQuillet::BeginPiece(const char* name)
{
    if (!m_queued) {
        HRESULT hr = S_OK;
        if (m_piece == "Head")
            hr = WritePart(m_out, "Head");
        m_piece = name;
        return hr;
    }
    CCastlet* castlet = new (std::nothrow) CCastlet(name);
    if (!castlet)
        return E_OUTOFMEMORY;
    m_castlets.AddTail(castlet);
    m_piece = name;
    // The previous piece is complete; the head's handle is the request file's.
    if (m_castlets.GetCount() > 1) {
        POSITION pos = m_castlets.GetTailPosition();
        m_castlets.GetPrev(pos);
        m_castlets.GetAt(pos)->CloseFile();
    }
    if (strcmp(name, "Head") == 0) {
        castlet->m_path = m_requestFilePath;
        m_out = m_requestFile.Get();
        return S_OK;
    }
    const HRESULT hr = castlet->Open();
    m_out = castlet->Handle();
    return hr;
}

HRESULT OpQuillet::PutBase64(CBodyPart* part, bool asDocument)
{
    // The part must be a file to be read (an attachment is only ever saved);
    // from there its text is made in one pass, lines, escapes and all,
    // straight into the request.
    CScratchFile saved;
    bool ready = part && saved.IsValid();
    if (ready) {
        const HRESULT hr = asDocument
                               ? part->SaveAsFile(saved.Path())
                               : part->WriteBodyToFile(saved.Path(), nullptr, nullptr, FALSE);
        ready = SUCCEEDED(hr);
    }
    CFileHandle source;
    if (ready) {
        source.Reset(CreateFileA(saved.Path(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        ready = source.IsValid();
    }
    if (!ready)
        return asDocument ? E_FAIL : S_OK;
    // "+", "/" and "=" travel as the escape table's character references.
    const bool encoded =
        EncodeBase64Lines(source.Get(), true, [this](const char* text, size_t length) {
            return SUCCEEDED(WriteAll(m_out, text, static_cast<DWORD>(length)));
        });
    return encoded ? S_OK : E_FAIL;
}

bool OpQuillet::NewRequestFile(const char* extension)
{
    if (!extension)
        return PrepTxFile(nullptr) != nullptr;
    CString path;
    HANDLE file = CCastlet::CreateNew(extension, path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_requestFile.Reset(file);
    m_requestFilePath = path;
    m_requestBody = path;
    m_bodyFromFile = 1;
    return true;
}

void OpQuillet::DiscardCastlets()
{
    // The head is the request file, which its caller deletes.
    POSITION pos = m_castlets.GetHeadPosition();
    while (pos) {
        CCastlet* castlet = m_castlets.GetNext(pos);
        castlet->m_delete = castlet->m_name != "Head";
    }
    m_castlets.RemoveAll();
}

int OpQuillet::PrepareData()
{
    if (!PrepRxFile()) {
        LogFailure("PrepRxFile Failed");
        m_errorCode = E_FAIL;
        return 0;
    }
    if (!m_castlets.IsEmpty()) {
        if (!AssembleRequest()) {
            LogFailure("PrepBroadcastData Failed");
            m_errorCode = E_FAIL;
            return 0;
        }
        return 1;
    }
    HRESULT hr = CheckInputs();
    if (FAILED(hr)) {
        m_errorCode = hr;
        return 0;
    }
    if (!NewRequestFile(RequestExtension())) {
        LogFailure("PrepTxFile Failed");
        m_errorCode = E_FAIL;
        return 0;
    }
    m_out = m_requestFile.Get();
    m_piece.Empty();
    hr = BeginPiece("Head");
    if (SUCCEEDED(hr))
        hr = WriteRequest();
    m_out = INVALID_HANDLE_VALUE;
    m_requestFile.Reset();
    for (POSITION pos = m_castlets.GetHeadPosition(); pos;)
        m_castlets.GetNext(pos)->CloseFile();
    if (FAILED(hr)) {
        DiscardCastlets();
        DeleteFileA(m_requestFilePath);
        m_requestFilePath.Empty();
        m_requestBody.Empty();
        m_bodyFromFile = 0;
        m_errorCode = hr;
        return 0;
    }
    return 1;
}

const char* OpQuillet::AssembleRequest()
{
    // A request goes whole or not at all: every piece is one of the
    // add-in's files, there, not empty and within what a request may hold
    // before a byte is written; a missing file ID, a piece cut short while
    // it is copied or a write that fails still stop it here, before
    // anything is sent.
    struct Source {
        const CCastlet* castlet;
        CFileHandle file;
        ULONGLONG size = 0;
    };
    auto fail = [this](UINT id, const char* fallback, const CString& first = {},
                       const CString& second = {}, const CString& third = {}) -> const char* {
        // Said before the request file goes: it may be what the text names.
        m_errorText.Format(LoadText(id, fallback), first.GetString(), second.GetString(),
                           third.GetString());
        m_requestFile.Reset();
        if (!m_requestFilePath.IsEmpty())
            DeleteFileA(m_requestFilePath);
        m_requestFilePath.Empty();
        m_requestBody.Empty();
        m_bodyFromFile = 0;
        return nullptr;
    };
    auto unreadable = [&fail](const CCastlet& castlet) {
        return fail(IDS_PIECE_UNREADABLE, "A piece of this request cannot be read: %s (%s).",
                    castlet.m_name, castlet.m_path);
    };

    std::vector<Source> sources;
    ULONGLONG total = 0;
    const ULONGLONG most = GetWireLimits().maxRequestBytes;
    for (POSITION pos = m_castlets.GetHeadPosition(); pos;) {
        const CCastlet* castlet = m_castlets.GetNext(pos);
        if (!IsAddinTempFile(castlet->m_path))
            return fail(IDS_PIECE_NOT_ADDINS,
                        "A piece of this request is not the add-in's: %s (%s).", castlet->m_name,
                        castlet->m_path);
        Source source{castlet, CFileHandle(CreateFileA(castlet->m_path, GENERIC_READ,
                                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr))};
        LARGE_INTEGER size{};
        if (!source.file || !GetFileSizeEx(source.file.Get(), &size) || size.QuadPart <= 0)
            return unreadable(*castlet);
        source.size = static_cast<ULONGLONG>(size.QuadPart);
        total += source.size;
        if (total > most) {
            return fail(IDS_PIECE_TOO_LARGE, "A piece of this request is too large: %s (%s).",
                        castlet->m_name, castlet->m_path, CString(std::to_string(most)));
        }
        sources.push_back(std::move(source));
    }
    if (!NewRequestFile(".xml")) {
        CString folder;
        GetTempFolder(folder);
        return fail(IDS_REQUEST_NOT_WRITTEN, "This request could not be written (%s).",
                    CString("no new file in ") + folder);
    }
    std::unique_ptr<char[]> block(new (std::nothrow) char[kCopyBlock]);
    if (!block)
        return fail(IDS_REQUEST_NOT_WRITTEN, "This request could not be written (%s).",
                    CString("out of memory"));
    for (Source& source : sources) {
        ULONGLONG copied = 0;
        DWORD read = 0;
        while (copied < source.size) {
            const DWORD want =
                static_cast<DWORD>(std::min<ULONGLONG>(kCopyBlock, source.size - copied));
            if (!ReadFile(source.file.Get(), block.get(), want, &read, nullptr) || read == 0)
                return unreadable(*source.castlet);
            if (FAILED(WriteAll(m_requestFile.Get(), block.get(), read)))
                return fail(IDS_REQUEST_NOT_WRITTEN, "This request could not be written (%s).",
                            m_requestFilePath);
            copied += read;
        }
        const HRESULT hr = WritePart(m_requestFile.Get(), source.castlet->m_name);
        if (FAILED(hr)) {
            return m_fileId && !m_fileId->IsEmpty()
                       ? fail(IDS_REQUEST_NOT_WRITTEN, "This request could not be written (%s).",
                              m_requestFilePath)
                       : fail(IDS_REQUEST_NO_FILE_ID, "This request has no file ID.");
        }
    }
    m_requestFile.Reset();
    return m_requestFilePath;
}

const char* OpQuillet::WriteOpFile()
{
    try {
        if (!NewRequestFile(".xml"))
            return nullptr;
        CString text;
        text.Format("<%s>", m_opKind.GetString());
        CString line;
        line.Format("<SOAPAction>%s</SOAPAction>\n",
                    XmlEscaped(m_soapAction.GetString()).GetString());
        text += line;
        for (POSITION pos = m_castlets.GetHeadPosition(); pos;) {
            const CCastlet* castlet = m_castlets.GetNext(pos);
            line.Format("<%s>%s</%s>\n", castlet->m_name.GetString(),
                        XmlEscaped(castlet->m_path.GetString()).GetString(),
                        castlet->m_name.GetString());
            text += line;
        }
        line.Format("</%s>", m_opKind.GetString());
        text += line;
        const HRESULT hr =
            WriteAll(m_requestFile.Get(), text, static_cast<DWORD>(text.GetLength()));
        m_requestFile.Reset();
        if (FAILED(hr)) {
            DeleteFileA(m_requestFilePath);
            return nullptr;
        }
        m_opFilePath = m_requestFilePath;
        // The operation file is the agent's: no run of this operation may take it for its upload.
        m_requestFilePath.Empty();
        m_requestBody.Empty();
        m_bodyFromFile = 0;
        return m_opFilePath;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HRESULT OpQuillet::SaveOpFile(CString& path)
{
    m_queued = 1;
    if (!PrepareData())
        return E_INVALIDARG;
    // The prepared head must outlive any later run of this operation.
    m_requestFilePath.Empty();
    m_requestBody.Empty();
    m_bodyFromFile = 0;
    const char* written = WriteOpFile();
    if (!written)
        return E_FAIL;
    path = written;
    return S_OK;
}

HRESULT OpQuillet::ReadResult(const char* method, CString& result)
{
    CString name;
    name.Format("%sResponse", method);
    HRESULT hr = OkOrFailure(m_responseDoc->GotoNode(name));
    if (SUCCEEDED(hr)) {
        name.Format("%sResult", method);
        hr = OkOrFailure(m_responseDoc->GetSingleNodeValue(name, result));
    }
    if (SUCCEEDED(hr))
        hr = CheckResult(result);
    return hr;
}

HRESULT OpQuillet::PutHeadAndFileId(const char* method, const char* apiCodeTag,
                                    const char* fileIdTag)
{
    HRESULT hr = Put(SoapEnvelopeHead(method));
    if (SUCCEEDED(hr))
        hr = PutElement(apiCodeTag, m_credentials.m_accountId);
    if (SUCCEEDED(hr))
        hr = Put(CString("<m:") + fileIdTag + ">");
    if (SUCCEEDED(hr))
        hr = BeginPiece("Tail");
    if (SUCCEEDED(hr))
        hr = Put(CString("</m:") + fileIdTag + ">\n");
    return hr;
}

int OpQuillet::TakeResult(const char* method, CString& target)
{
    CString result;
    m_errorCode = ReadResult(method, result);
    if (FAILED(m_errorCode))
        return 0;
    target = result;
    return 1;
}
