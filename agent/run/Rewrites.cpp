#include "agent/run/Rewrites.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "classlib/win32/Handles.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/xml/Base64Stream.h"
#include "shared/xml/XmlEscape.h"

namespace {

// The element in which the create and invite requests carry the
// invitation's text, in base64 with "+", "/" and "=" as references.
constexpr std::string_view kMessageOpen = "<m:pstr_EmailMessage>";
constexpr std::string_view kMessageClose = "</m:pstr_EmailMessage>";

// The bytes of a text carried as a request carries it; false when it is no
// such text.
bool DecodeCarried(std::string_view carried, std::string& bytes)
{
    std::string plain;
    plain.reserve(carried.size());
    for (size_t at = 0; at < carried.size();) {
        if (carried[at] != '&') {
            plain += carried[at++];
            continue;
        }
        const size_t end = carried.find(';', at);
        if (end == std::string_view::npos)
            return false;
        const std::string_view reference = carried.substr(at, end + 1 - at);
        if (reference == "&#43;")
            plain += '+';
        else if (reference == "&#47;")
            plain += '/';
        else if (reference == "&#61;")
            plain += '=';
        else
            return false;
        at = end + 1;
    }
    Base64StreamDecoder decoder;
    bytes.assign(Base64StreamDecoder::RoomFor(plain.size()), '\0');
    size_t produced = 0;
    if (!decoder.Decode(plain.data(), plain.size(), reinterpret_cast<BYTE*>(bytes.data()),
                        produced))
        return false;
    produced += decoder.Finish(reinterpret_cast<BYTE*>(bytes.data()) + produced);
    if (decoder.Failed())
        return false;
    bytes.resize(produced);
    return true;
}

// Bytes carried as the request carries a text: base64 lines, escaped.
std::string EncodeCarried(const std::string& bytes)
{
    const Base64LineEncoder encoder(true);
    std::string carried;
    char line[Base64LineEncoder::kMaxLineText + Base64LineEncoder::kLineSlack];
    for (size_t at = 0; at < bytes.size(); at += Base64LineEncoder::kLineBytes) {
        const UINT count =
            static_cast<UINT>(std::min<size_t>(Base64LineEncoder::kLineBytes, bytes.size() - at));
        const UINT length =
            encoder.EncodeLine(reinterpret_cast<const BYTE*>(bytes.data()) + at, count, line);
        carried.append(line, length);
    }
    return carried;
}

CString Joined(const CString& list, const CString& email)
{
    return list.IsEmpty() ? email : list + "," + email;
}

} // namespace

CRecipientLists ListsForTarget(const CRecipientLists& read, const CString& email,
                               const CString& tier)
{
    CRecipientLists lists = read;
    if (tier == "2")
        lists.secondSigners = Joined(read.secondSigners, email);
    else
        lists.signers = Joined(read.signers, email);
    return lists;
}

CString RecipsPiece(const CRecipientLists& lists)
{
    CString piece;
    piece.Format("<m:pstr_Signers>%s</m:pstr_Signers>\n"
                 "<m:pstr_SecondSigners>%s</m:pstr_SecondSigners>\n"
                 "<m:pstr_CCs>%s</m:pstr_CCs>\n",
                 XmlEscaped(lists.signers.GetString()).GetString(),
                 XmlEscaped(lists.secondSigners.GetString()).GetString(),
                 XmlEscaped(lists.ccs.GetString()).GetString());
    return piece;
}

CString FillRoles(const CString& tail, const CString& role, const CString& name,
                  const CRoleMap& map)
{
    const std::string_view text(tail.GetString(), static_cast<size_t>(tail.GetLength()));
    std::string filled;
    size_t done = 0;
    for (size_t open = text.find(kMessageOpen); open != std::string_view::npos;
         open = text.find(kMessageOpen, done)) {
        const size_t start = open + kMessageOpen.size();
        const size_t end = text.find(kMessageClose, start);
        if (end == std::string_view::npos)
            break;
        filled.append(text.substr(done, start - done));
        const std::string_view carried = text.substr(start, end - start);
        std::string message;
        bool changed = false;
        if (DecodeCarried(carried, message)) {
            auto fill = [&message, &changed](const std::string& placeholderRole,
                                             const std::string& with) {
                const std::string placeholder = "[" + placeholderRole + "]";
                for (size_t at = message.find(placeholder); at != std::string::npos;
                     at = message.find(placeholder, at + with.size())) {
                    message.replace(at, placeholder.size(), with);
                    changed = true;
                }
            };
            fill(role.str(), name.str());
            for (const auto& [entryRole, entryName] : map)
                fill(entryRole, entryName);
        }
        if (changed)
            filled.append(EncodeCarried(message));
        else
            filled.append(carried);
        done = end;
    }
    filled.append(text.substr(done));
    return CString(std::move(filled));
}

HRESULT WriteNewPieceFile(const CString& text, CString& path)
{
    CFileHandle file(CreateNewTempFile(nullptr, ".xml", path));
    if (!file)
        return E_FAIL;
    const DWORD length = static_cast<DWORD>(text.GetLength());
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.GetString(), length, &written, nullptr) || written != length) {
        file.Reset();
        DeleteFileA(path);
        path.Empty();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT RewriteTail(const char* tailPath, const CString& role, const CString& name,
                    const CRoleMap& map, CString& newPath)
{
    CFileHandle file(CreateFileA(tailPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return E_FAIL;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return E_FAIL;
    if (size.QuadPart > static_cast<LONGLONG>(kMaxTailBytes))
        return kTailTooLarge;
    std::string text;
    try {
        text.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    DWORD total = 0;
    while (total < text.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), text.data() + total, static_cast<DWORD>(text.size()) - total,
                      &read, nullptr))
            return E_FAIL;
        if (read == 0)
            break;
        total += read;
    }
    text.resize(total);
    file.Reset();
    return WriteNewPieceFile(FillRoles(CString(std::move(text)), role, name, map), newPath);
}

void SelectAddDocMethod(const char* soapAction, OpAddDoc& op)
{
    const CString action(soapAction);
    op.SetSoapAction(action);
    if (action.Find("AddDocumentToRequest") >= 0)
        op.m_method = "AddDocumentToRequest";
    else if (action.Find("AddReferenceDocumentToRequest") >= 0)
        op.m_method = "AddReferenceDocumentToRequest";
    else
        op.m_method = "AddInstructionalDocumentToRequest";
}
