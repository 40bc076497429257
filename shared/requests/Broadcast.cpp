#include "shared/requests/Broadcast.h"

#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "classlib/win32/Handles.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/Castlet.h"
#include "shared/service/OpSendDoc.h"

namespace {

// The broadcast file and the operation files hold a line per path; a file
// that the XML reader refused is searched this far for the names it holds.
constexpr DWORD kMostNamesText = 1024 * 1024;

void LogRefused(const CString& path)
{
    CString note;
    note.Format("CBroadcast::Load: \"%s\" is not one of the add-in's files; nothing of the "
                "broadcast is sent",
                path.GetString());
    TheLog().Error(note);
}

// The start of the file at path, as far as kMostNamesText.
std::string ReadStart(const CString& path)
{
    CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return {};
    std::string text(kMostNamesText, '\0');
    DWORD total = 0;
    DWORD read = 0;
    while (total < kMostNamesText &&
           ReadFile(file.Get(), text.data() + total, kMostNamesText - total, &read, nullptr) &&
           read > 0)
        total += read;
    text.resize(total);
    return text;
}

// The ANSI text of an element's content as the request files write it:
// the escape table's character references and the five entities resolved.
// False for anything else after "&" or a character the code page lacks: no
// name the add-in wrote reads that way.
bool Unescape(std::string_view escaped, std::string& plain)
{
    plain.clear();
    for (size_t at = 0; at < escaped.size(); ++at) {
        if (escaped[at] != '&') {
            plain += escaped[at];
            continue;
        }
        const size_t end = escaped.find(';', at);
        if (end == std::string_view::npos)
            return false;
        const std::string_view name = escaped.substr(at + 1, end - at - 1);
        at = end;
        static constexpr std::pair<std::string_view, char> kEntities[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool named = false;
        for (const auto& [entity, character] : kEntities) {
            if (name == entity) {
                plain += character;
                named = true;
            }
        }
        if (named)
            continue;
        const bool hex = name.size() > 2 && name[0] == '#' && (name[1] == 'x' || name[1] == 'X');
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (name.empty() || name[0] != '#' || digits.empty() || digits.size() > 5)
            return false;
        unsigned long code = 0;
        for (char digit : digits) {
            const int value =
                std::isdigit(static_cast<unsigned char>(digit))
                    ? digit - '0'
                    : (hex && std::isxdigit(static_cast<unsigned char>(digit))
                           ? std::toupper(static_cast<unsigned char>(digit)) - 'A' + 10
                           : -1);
            if (value < 0)
                return false;
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
        }
        if (code == 0 || code > 0xFFFF)
            return false;
        const wchar_t wide = static_cast<wchar_t>(code);
        char bytes[4];
        BOOL lost = FALSE;
        const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                               sizeof bytes, nullptr, &lost);
        if (length <= 0 || lost)
            return false;
        plain.append(bytes, static_cast<size_t>(length));
    }
    return true;
}

// The texts written between a start tag and an end tag ("<Head>...</Head>"),
// each once, unescaped (a text that does not unescape is left out). The
// tags themselves, a DTD and whatever else surrounds them are not looked at.
std::vector<CString> ElementTexts(std::string_view text)
{
    std::set<std::string> seen;
    std::vector<CString> texts;
    for (size_t close = text.find('>'); close != std::string_view::npos;
         close = text.find('>', close + 1)) {
        const size_t end = text.find('<', close + 1);
        if (end == std::string_view::npos)
            break;
        if (end == close + 1 || text.compare(end, 2, "</") != 0)
            continue;
        std::string plain;
        if (Unescape(text.substr(close + 1, end - close - 1), plain) && seen.insert(plain).second)
            texts.emplace_back(plain);
    }
    return texts;
}

} // namespace

bool ReadRequired(CXMLDoc& doc, const char* path, CString& value)
{
    value.Empty();
    return doc.GetSingleNodeValue(path, value) == S_OK && !value.IsEmpty();
}

std::unique_ptr<CXMLDoc> LoadDoc(const CString& path)
{
    auto doc = std::make_unique<CXMLDoc>();
    if (path.IsEmpty() || doc->LoadFile(path) != S_OK)
        return nullptr;
    return doc;
}

CBroadcast::~CBroadcast()
{
    if (IsAddinTempFile(m_deletePath))
        DeleteFileA(m_deletePath);
}

HRESULT CBroadcast::Load()
{
    CLogBlock block("CBroadcast::Load");
    if (!IsAddinTempFile(m_broadcastPath)) {
        LogRefused(m_broadcastPath);
        return kNotAddinFile;
    }
    m_broadcastDoc = LoadDoc(m_broadcastPath);
    if (!m_broadcastDoc || m_broadcastDoc->GotoNode("/inkBroadcast") != S_OK) {
        m_broadcastDoc.reset();
        NoteNamesIn(m_broadcastPath, true);
        return E_FAIL;
    }
    CXMLDoc& doc = *m_broadcastDoc;

    // Every name is looked at before the answer is given, so that all the
    // add-in's files are known when the broadcast is refused.
    HRESULT result = S_OK;
    auto take = [&result](HRESULT hr) {
        if (FAILED(hr) && result != kNotAddinFile)
            result = hr;
    };
    if (ReadRequired(doc, "CreateSignature", m_createSignaturePath))
        take(LoadOperation(m_createSignaturePath, "OpSendDoc", m_createDoc));
    else
        take(E_FAIL);

    long count = 0;
    if (doc.LoadNodesByName("AddDocument") != S_OK || FAILED(doc.GetNodeCount(&count)))
        count = 0;
    if (count == 0)
        take(E_FAIL);
    for (long i = 0; i < count; ++i) {
        CString path;
        const bool read =
            doc.GotoNodeAt(i) == S_OK && doc.GetSingleNodeValue(path) == S_OK && !path.IsEmpty();
        doc.GotoNode("/inkBroadcast");
        if (!read) {
            take(E_FAIL);
            continue;
        }
        m_addDocumentPaths.AddTail(path);
        std::unique_ptr<CXMLDoc> document;
        take(LoadOperation(path, "OpAddDoc", document));
        if (document)
            m_docs.AddTail(document.release());
    }
    doc.GotoNode("/inkBroadcast");

    if (ReadRequired(doc, "SetParams", m_setParamsPath))
        take(LoadOperation(m_setParamsPath, "OpSetParams", m_paramsDoc));
    if (ReadRequired(doc, "GetLink", m_getLinkPath))
        take(LoadOperation(m_getLinkPath, "OpGetLink", m_linkDoc));
    else
        take(E_FAIL);
    // The add-in writes an empty SendInvite when the request sends no
    // invitations (none asked for, or no mail text): then there is no
    // invitation step. A path that names no readable file is an error.
    if (ReadRequired(doc, "SendInvite", m_sendInvitePath)) {
        take(LoadOperation(m_sendInvitePath, "OpInvite", m_inviteDoc));
    } else {
        CComPtr<IXMLDOMNode> element;
        if (doc.GotoNode("SendInvite", element) != S_OK)
            take(E_FAIL);
    }
    doc.GotoNode("/inkBroadcast");
    return result;
}

HRESULT CBroadcast::LoadOperation(const CString& path, const char* root,
                                  std::unique_ptr<CXMLDoc>& doc)
{
    if (!IsAddinTempFile(path)) {
        LogRefused(path);
        return kNotAddinFile;
    }
    doc = LoadDoc(path);
    if (!doc || doc->GotoNode(CString("/") + root) != S_OK) {
        doc.reset();
        NoteNamesIn(path, false);
        return E_FAIL;
    }
    // Every piece the file names is the agent's to delete, also those no
    // step sends.
    HRESULT result = S_OK;
    std::vector<CXMLDoc::ChildValue> children;
    if (SUCCEEDED(doc->GetChildValues(children))) {
        for (const auto& child : children) {
            if (child.name == "SOAPAction" || child.text.IsEmpty())
                continue;
            if (IsAddinTempFile(child.text)) {
                m_pieceFiles.AddTail(child.text);
            } else {
                LogRefused(child.text);
                result = kNotAddinFile;
            }
        }
    }
    doc->GotoNode("/");
    return result;
}

void CBroadcast::NoteNamesIn(const CString& path, bool operations)
{
    for (const CString& name : ElementTexts(ReadStart(path))) {
        if (!IsAddinTempFile(name))
            continue;
        m_pieceFiles.AddTail(name);
        if (operations)
            NoteNamesIn(name, false);
    }
}

void CBroadcast::DeleteFiles()
{
    auto remove = [](CString& path) {
        if (IsAddinTempFile(path))
            DeleteFileA(path);
        path.Empty();
    };
    remove(m_broadcastPath);
    remove(m_createSignaturePath);
    while (!m_addDocumentPaths.IsEmpty()) {
        CString path = m_addDocumentPaths.RemoveHead();
        remove(path);
    }
    remove(m_setParamsPath);
    remove(m_getLinkPath);
    remove(m_sendInvitePath);
    remove(m_deletePath);
    while (!m_pieceFiles.IsEmpty()) {
        CString path = m_pieceFiles.RemoveHead();
        remove(path);
    }
}

const char* CBroadcast::Write(const OpSendDoc& request)
{
    Close();
    // A new file, never one left from an earlier broadcast.
    CString path;
    HANDLE file = CCastlet::CreateNew(".xml", path);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    m_filePath = path;
    m_output.Reset(file);
    m_broadcastPath = m_filePath;

    CString makeReceipt;
    makeReceipt.Format("%d", static_cast<int>(CConfig().GetMakeReceipt()));
    const CSendOptions& options = request.m_request.m_sendOptions;
    // The agent reads this file as XML: paths and texts are escaped.
    HRESULT hr = WriteElement(nullptr, "<inkBroadcast>", FALSE, FALSE);
    if (SUCCEEDED(hr))
        hr = WriteElement("CreateSignature", m_createSignaturePath, FALSE, TRUE);
    for (POSITION pos = m_addDocumentPaths.GetHeadPosition(); pos && SUCCEEDED(hr);)
        hr = WriteElement("AddDocument", m_addDocumentPaths.GetNext(pos), FALSE, TRUE);
    const struct {
        const char* tag;
        const char* value;
    } kLines[] = {{"SetParams", m_setParamsPath},
                  {"GetLink", m_getLinkPath},
                  {"SendInvite", m_sendInvitePath},
                  {"EntryID", m_entryId},
                  {"MakeReceipt", makeReceipt},
                  {"ReceiptSubject", options.m_receiptSubject},
                  {"ReceiptCategory", options.m_categoryTags}};
    for (const auto& line : kLines) {
        if (SUCCEEDED(hr))
            hr = WriteElement(line.tag, line.value, FALSE, TRUE);
    }
    if (SUCCEEDED(hr))
        hr = WriteElement(nullptr, "</inkBroadcast>", FALSE, FALSE);
    Close();
    if (FAILED(hr)) {
        DeleteFileA(m_broadcastPath);
        m_broadcastPath.Empty();
        return nullptr;
    }
    return m_broadcastPath;
}
