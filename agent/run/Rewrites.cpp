#include "agent/run/Rewrites.h"

#include <new>
#include <string>

#include "classlib/win32/Handles.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XmlEscape.h"

namespace {

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
    CString filled = tail;
    auto fill = [&filled](const std::string& placeholderRole, const std::string& with) {
        const CString placeholder = XmlEscaped("[" + placeholderRole + "]");
        filled.Replace(placeholder, XmlEscaped(with));
    };
    fill(role.str(), name.str());
    for (const auto& [entryRole, entryName] : map)
        fill(entryRole, entryName);
    return filled;
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
