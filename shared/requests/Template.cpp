#include "shared/requests/Template.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "classlib/strings/LoadText.h"
#include "classlib/win32/CFile.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/identity/Identity.h"
#include "shared/identity/Proxy.h"
#include "shared/SharedResource.h"
#include "shared/requests/SAXTemplate.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/xml/Base64Stream.h"
#include "shared/xml/XmlEscape.h"

namespace {

// Deletes the owned elements of list and appends copies of other's.
template <class T>
HRESULT CopyList(CTypedPtrList<T>& list, const CTypedPtrList<T>& other)
{
    list.RemoveAll();
    try {
        for (const T* item : other) {
            auto copy = std::make_unique<T>(*item);
            list.AddTail(copy.get());
            copy.release();
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Subject, message, password and the signer fields keep their punctuation
// as typed; only what would break the file or be lost is escaped (markup
// characters, and letters beyond ASCII as references, which read back
// whatever the code page).
CString MarkupEscaped(const CString& text)
{
    return XmlMarkupEscaped(std::string_view(text.GetString(), text.GetLength()));
}

CString Element(const char* tag, const CString& value)
{
    CString line;
    line.Format("<%s>%s</%s>\n", tag, value.GetString(), tag);
    return line;
}

CString Element(const char* tag, int value)
{
    CString number;
    number.Format("%d", value);
    return Element(tag, number);
}

CString FullPath(const char* path)
{
    char buffer[MAX_PATH * 2];
    const DWORD length = GetFullPathNameA(path, sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer)
        return CString();
    return CString(buffer, static_cast<int>(length));
}

bool IsDeviceName(const CString& name)
{
    // "con.xml" names the console as much as "con" does.
    CString stem = name;
    const int dot = stem.Find('.');
    if (dot >= 0)
        stem = stem.Left(dot);
    stem.TrimRight();
    // Windows also reserves COM and LPT with a superscript 1, 2 or 3, which
    // is one byte in one code page and two in another: the name is compared
    // as the file functions see it. A stem too long for the buffer is no
    // device name.
    wchar_t buffer[8] = {};
    const int length =
        stem.IsEmpty() ? 0 : MultiByteToWideChar(CP_ACP, 0, stem, stem.GetLength(), buffer, 8);
    if (length <= 0)
        return false;
    std::wstring text(buffer, static_cast<size_t>(length));
    for (wchar_t& ch : text) {
        if (ch >= L'a' && ch <= L'z')
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
    }
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (text == device)
            return true;
    }
    if (text.size() != 4 || (text.compare(0, 3, L"COM") != 0 && text.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = text[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' ||
           digit == L'\u00b3';
}

} // namespace

CTemplate& CTemplate::operator=(const CTemplate& other)
{
    if (this == &other)
        return *this;
    if (CopySettings(other) == E_OUTOFMEMORY || CopyDocuments(other) == E_OUTOFMEMORY ||
        CopySigners(other) == E_OUTOFMEMORY || CopyRoles(other) == E_OUTOFMEMORY ||
        CopyKeywordValues(other) == E_OUTOFMEMORY)
        throw std::bad_alloc();
    return *this;
}

// ---- template files ----

bool CTemplate::IsValidName(const char* name)
{
    if (!name || !*name)
        return false;
    const CString text(name);
    if (text == "." || text == "..")
        return false;
    for (int i = 0; i < text.GetLength(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch < 32 || std::strchr("\\/:*?\"<>|", ch))
            return false;
    }
    const char last = text[text.GetLength() - 1];
    if (last == '.' || last == ' ')
        return false;
    return !IsDeviceName(text);
}

HRESULT CTemplate::PathInFolder(const char* folder, const char* fileName, CString& path)
{
    path.Empty();
    if (!folder || !*folder || !IsValidName(fileName))
        return E_INVALIDARG;
    CString base = FullPath(folder);
    if (base.IsEmpty())
        return E_INVALIDARG;
    if (base[base.GetLength() - 1] != '\\')
        base += '\\';
    CString joined;
    joined.Format("%s\\%s", folder, fileName);
    const CString full = FullPath(joined);
    // Exactly one component below the folder: nothing may climb out or
    // reach into a subfolder.
    if (full.GetLength() <= base.GetLength() ||
        full.Left(base.GetLength()).CompareNoCase(base) != 0 ||
        full.Mid(base.GetLength()).Find('\\') >= 0 || full.GetLength() >= MAX_PATH)
        return E_INVALIDARG;
    path = joined;
    return S_OK;
}

HRESULT CTemplate::LoadXML(const char* path)
{
    if (!path || !*path)
        return E_INVALIDARG;
    try {
        m_filePath = path;
        // Our own reference, to ask the reader afterwards what it refused.
        CComPtr<CSAXTemplate> reader(new CSAXTemplate(this));
        HRESULT hr = RunSaxParse(path, reader.Get());
        if (SUCCEEDED(hr))
            hr = reader->GetFailure();
        if (FAILED(hr))
            reader->DiscardFiled();
        for (const CRecip* signer : m_signers) {
            if (signer->m_role.IsEmpty())
                continue;
            auto role = std::make_unique<CRole>();
            role->m_name = signer->m_role;
            role->m_sequence = signer->m_sequence;
            role->m_sequenceText = signer->m_sequenceText;
            m_roles.AddTail(role.get());
            role.release();
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CTemplate::SaveXML(const char* folder)
{
    // The library and the wizard only use templates with a signature
    // document, and the file's document block could not be filled.
    if (!m_signatureDoc)
        return E_INVALIDARG;
    CString path;
    CString fileName = m_name + ".xml";
    HRESULT hr = PathInFolder(folder, fileName, path);
    if (FAILED(hr) || !IsValidName(m_name))
        return E_INVALIDARG;
    // The new file is written beside the old one and takes its place only
    // when whole: a full disk or a vanished document never costs the user
    // the template saved before.
    char folderPath[MAX_PATH];
    const int folderLength = path.ReverseFind('\\');
    lstrcpynA(folderPath, path, folderLength + 1 < MAX_PATH ? folderLength + 1 : MAX_PATH);
    char partial[MAX_PATH];
    if (!GetTempFileNameA(folderPath, "ink", 0, partial))
        return E_FAIL;
    CFile file;
    if (!file.Open(partial, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
        DeleteFileA(partial);
        return E_FAIL;
    }
    try {
        hr = WriteFile(file);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    file.Close();
    if (SUCCEEDED(hr) && !MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING))
        hr = E_FAIL;
    if (FAILED(hr))
        DeleteFileA(partial);
    return hr;
}

HRESULT CTemplate::WriteFileBytes(CFile& output, const char* source)
{
    CFile input;
    if (!source || !*source || !input.Open(source, CFile::modeRead | CFile::shareDenyWrite))
        return E_ACCESSDENIED;
    const auto write = [&output](const char* text, size_t length) {
        return output.Write(text, static_cast<UINT>(length)) != FALSE;
    };
    return EncodeBase64Lines(input.GetHandle(), false, write) ? S_OK : E_FAIL;
}

HRESULT CTemplate::WriteFile(CFile& file) const
{
    bool ok = true;
    auto put = [&file, &ok](const CString& text) {
        if (ok && !file.Write(text))
            ok = false;
    };
    put("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    put("<inkTemplate>");
    put(Element("Name", XmlEscaped(m_name.GetString())));
    if (!m_description.IsEmpty())
        put(Element("Description", XmlEscaped(m_description.GetString())));

    const struct {
        const CTempDoc* doc;
        const char* type;
    } documents[] = {{m_signatureDoc.get(), "Signature"},
                     {m_referenceDoc.get(), "Reference"},
                     {m_infoDoc.get(), "Informative"}};
    for (const auto& [doc, type] : documents) {
        if (!doc)
            continue;
        put("<Document>");
        put(Element("Key", XmlEscaped(doc->m_key.GetString())));
        put(Element("Name", XmlEscaped(doc->m_name.GetString())));
        put(Element("Type", XmlEscaped(type)));
        if (doc->m_kind == CTempDoc::kEmbedded) {
            // The bytes the template already carries; else, for a document
            // the user just picked, the file itself. The key of any other
            // document is a path of its author's machine, never read here.
            const bool fromKey = doc->m_embeddedPath.IsEmpty();
            if (fromKey && !doc->m_browsed)
                return E_FAIL;
            put("<FileBytes>");
            if (!ok)
                return E_FAIL;
            if (fromKey) {
                if (FAILED(WriteFileBytes(file, doc->m_key)))
                    return E_FAIL;
            } else {
                CFile input;
                if (!input.Open(doc->m_embeddedPath, CFile::modeRead | CFile::shareDenyWrite))
                    return E_FAIL;
                char buffer[64 * 1024];
                for (UINT got; ok && (got = input.Read(buffer, sizeof buffer)) > 0;)
                    ok = file.Write(buffer, got) != FALSE;
            }
            put("</FileBytes>");
        }
        put("</Document>");
    }

    put("<Options>");
    put(Element("SignatureType", m_sendOptions.m_signatureType));
    put(Element("SendMode", m_sendOptions.m_sendMode));
    put(Element("Positioning", m_sendOptions.m_positioning));
    put(Element("Password", MarkupEscaped(m_sendOptions.m_password)));
    put(Element("MouseTouchSigning", m_sendOptions.m_mouseSignAllowed));
    put(Element("HideEmailAddrs", m_sendOptions.m_hideEmailAddrs));
    put("</Options>");
    put("<Email>");
    put(Element("Subject", MarkupEscaped(m_subject)));
    if (!m_message.IsEmpty())
        put(Element("Message", MarkupEscaped(m_message)));
    put("</Email>");
    put("<Signers>");
    for (const CRecip* signer : m_signers) {
        if (signer->m_skip)
            continue;
        put("<Signer>");
        put(Element("Name", MarkupEscaped(signer->m_name)));
        put(Element("Email", MarkupEscaped(signer->m_email)));
        put(Element("Role", MarkupEscaped(signer->m_role)));
        put(Element("Sequence", signer->m_sequence));
        put(Element("Sender", signer->m_sender));
        put(Element("HardCoded", signer->m_hardCoded));
        put("</Signer>");
    }
    put("</Signers>");
    put("</inkTemplate>");
    return ok ? S_OK : E_FAIL;
}

// ---- templates from someone else ----

const CTempDoc* CTemplate::LocalDocument(const char* placeholder) const
{
    for (const CTempDoc* doc : {m_signatureDoc.get(), m_referenceDoc.get(), m_infoDoc.get()}) {
        if (!doc || (placeholder && doc->m_key == placeholder))
            continue;
        if (doc->m_kind != CTempDoc::kEmbedded || doc->m_embeddedPath.IsEmpty())
            return doc;
    }
    return nullptr;
}

CString CTemplate::LocalDocumentRefusal(const CTempDoc& document) const
{
    // The name and the key come from the sender: shortened for a message box.
    const auto shown = [](const CString& text) {
        constexpr int kLongest = 80;
        return text.GetLength() <= kLongest ? text : text.Left(kLongest) + "...";
    };
    CString text;
    text.Format(LoadText(IDS_TEMPLATE_REFUSED_LOCAL_FILE,
                         "The template \"%s\" names a file on this computer:\n\n%s\n\n"
                         "It was not imported."),
                shown(m_name).GetString(), shown(document.m_key).GetString());
    return text;
}

// ---- copies ----

HRESULT CTemplate::CopySettings(const CTemplate& other)
{
    if (this == &other)
        return S_OK;
    try {
        m_name = other.m_name;
        m_description = other.m_description;
        m_subject = other.m_subject;
        m_message = other.m_message;
        m_sendOptions = other.m_sendOptions;
        m_filePath = other.m_filePath;
        m_senderIsRecipient = other.m_senderIsRecipient;
        m_fileTimeLow = other.m_fileTimeLow;
        m_fileTimeHigh = other.m_fileTimeHigh;
        m_match = other.m_match;
        m_string1 = other.m_string1;
        m_string2 = other.m_string2;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CTemplate::CopyDocuments(const CTemplate& other)
{
    if (this == &other)
        return S_OK;
    m_signatureDoc.reset();
    m_referenceDoc.reset();
    m_infoDoc.reset();
    try {
        if (other.m_signatureDoc)
            m_signatureDoc = std::make_unique<CTempDoc>(*other.m_signatureDoc);
        if (other.m_referenceDoc)
            m_referenceDoc = std::make_unique<CTempDoc>(*other.m_referenceDoc);
        if (other.m_infoDoc)
            m_infoDoc = std::make_unique<CTempDoc>(*other.m_infoDoc);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CTemplate::CopySigners(const CTemplate& other)
{
    return this == &other ? S_OK : CopyList(m_signers, other.m_signers);
}

HRESULT CTemplate::CopyRoles(const CTemplate& other)
{
    return this == &other ? S_OK : CopyList(m_roles, other.m_roles);
}

HRESULT CTemplate::CopyKeywordValues(const CTemplate& other)
{
    return this == &other ? S_OK : CopyList(m_keywordValues, other.m_keywordValues);
}

// ---- the wizard's rows ----

HRESULT CTemplate::IdentifyUser()
{
    CLogBlock block("CTemplate::IdentifyUser");
    try {
        CString name;
        CString address;
        CConfig config;
        if (FAILED(config.GetIdentity(address)) || address.IsEmpty()) {
            address.Empty();
            CIdentity identity;
            const HRESULT hr = identity.IdentifyUser("SMTP", name, address);
            if (FAILED(hr)) {
                TheLog().HResult("CTemplate::IdentifyUser", hr);
                return hr;
            }
        }
        TheLog().CommentFormat("IdentifyUser: %s", address);
        if (!NormalizeSmtpAddr(address))
            return E_FAIL;
        TheLog().CommentFormat("NormalizeSmtpAddr: %s", address);
        if (!name.IsEmpty())
            ServiceGlobals().senderName = name;
        ServiceGlobals().senderSmtp = address;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CTemplate::AddRoleRow(CRecip& signer, const CString& prompt)
{
    auto row = std::make_unique<CKeywordValue>();
    row->m_key = signer.RowKey();
    if (signer.m_partner || !signer.m_role.IsEmpty()) {
        row->m_value = signer.m_role;
        row->m_type = "Text";
        row->m_choice = 0;
    } else if (!IsBroadcast()) {
        row->m_prompt = prompt;
        row->m_selected = -1;
        row->m_value = prompt;
        row->m_choice = 1;
        row->m_type = "List";
        row->m_tag = CKeywordValue::kRoleRowTag;
        for (POSITION pos = signer.m_choices.GetHeadPosition(); pos;)
            row->m_choices.AddTail(signer.m_choices.GetNext(pos));
    } else {
        return; // a broadcast goes to each recipient alone: nobody picks roles
    }
    m_keywordValues.AddHead(row.get());
    row.release();
}

HRESULT CTemplate::AddListRow(const char* key, const CString& choices, int selected)
{
    auto row = std::make_unique<CKeywordValue>();
    row->m_key = key;
    row->m_type = "List";
    row->m_choice = 0;
    row->m_tag = 0;
    for (int start = 0; start <= choices.GetLength();) {
        int end = choices.Find(';', start);
        if (end < 0)
            end = choices.GetLength();
        row->m_choices.AddTail(choices.Mid(start, end - start));
        start = end + 1;
    }
    POSITION pos = row->m_choices.GetHeadPosition();
    for (int index = 0; pos && index < selected; ++index)
        row->m_choices.GetNext(pos);
    if (selected < 0 || !pos)
        return E_FAIL;
    row->m_selected = selected;
    row->m_value = row->m_choices.GetAt(pos);
    m_keywordValues.AddHead(row.get());
    row.release();
    return S_OK;
}

HRESULT CTemplate::BuildKeywordRows()
{
    m_keywordValues.RemoveAll();
    try {
        const CString rolePrompt = LoadText(19054, "<click here to select role>");
        for (CRecip* signer : m_signers)
            AddRoleRow(*signer, rolePrompt);

        const CString valuePrompt = LoadText(19053, "<click to enter a value>");
        const struct {
            const CTempDoc* doc;
            const char* key;
        } documents[] = {{m_signatureDoc.get(), "Signature Document"},
                         {m_referenceDoc.get(), "Reference Document"},
                         {m_infoDoc.get(), "Additional Information"}};
        for (const auto& [doc, key] : documents) {
            if (!doc)
                continue;
            auto row = std::make_unique<CKeywordValue>();
            row->m_key = key;
            row->m_value = doc->m_name;
            row->m_prompt = valuePrompt;
            row->m_choice = 0;
            m_keywordValues.AddHead(row.get());
            row.release();
        }

        HRESULT hr = AddListRow("Signature Type", LoadText(19055, "electronic;written;both"),
                                m_sendOptions.m_signatureType);
        if (FAILED(hr))
            return hr;
        hr = AddListRow("Mode", LoadText(19056, "normal;broadcast"), m_sendOptions.m_sendMode);
        if (FAILED(hr))
            return hr;

        if (!m_sendOptions.m_password.IsEmpty()) {
            auto row = std::make_unique<CKeywordValue>();
            row->m_key = "Password";
            row->m_value = m_sendOptions.m_password;
            row->m_choice = 0;
            m_keywordValues.AddHead(row.get());
            row.release();
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

int CTemplate::IsRoleTaken(const char* role) const
{
    for (const CKeywordValue* row : m_keywordValues) {
        if (row->IsRoleRow() && row->m_type == "List" && !row->m_skip && row->m_value == role)
            return 1;
    }
    return 0;
}

int CTemplate::AutoSelectRole(CKeywordValue& row)
{
    int freeIndex = -1;
    CString freeRole;
    int index = 0;
    for (POSITION pos = row.m_choices.GetHeadPosition(); pos; ++index) {
        const CString& choice = row.m_choices.GetNext(pos);
        if (IsRoleTaken(choice))
            continue;
        if (freeIndex >= 0)
            return 0;
        freeIndex = index;
        freeRole = choice;
    }
    if (freeIndex >= 0) {
        row.m_value = freeRole;
        row.m_selected = freeIndex;
    } else {
        row.m_value.Empty();
        row.m_selected = -1;
    }
    return 1;
}

BOOL CTemplate::SetSignerRole(const CKeywordValue& row)
{
    for (CRecip* signer : m_signers) {
        if (signer->RowKey() == row.m_key) {
            signer->m_role = row.m_value;
            return TRUE;
        }
    }
    return FALSE;
}

// ---- matching ----

int CTemplate::HasSenderSigner() const
{
    for (const CRecip* signer : m_signers) {
        if (signer->m_sender)
            return 1;
    }
    return 0;
}

void CTemplate::ResetMatches(BOOL removeAdded)
{
    for (POSITION pos = m_signers.GetHeadPosition(); pos;) {
        const POSITION here = pos;
        CRecip* signer = m_signers.GetNext(pos);
        signer->m_partner = nullptr;
        if (removeAdded && signer->m_hardCoded)
            delete m_signers.RemoveAt(here);
    }
}

int CTemplate::CountUnmatched() const
{
    int count = 0;
    for (const CRecip* signer : m_signers) {
        if (!signer->m_partner)
            ++count;
    }
    return count;
}

CRecip* CTemplate::NextUnmatched(POSITION& pos) const
{
    while (pos) {
        CRecip* signer = m_signers.GetNext(pos);
        if (!signer->m_partner)
            return signer;
    }
    return nullptr;
}

HRESULT CTemplate::CopyMatchedSigners()
{
    try {
        for (CRecip* recip : m_signers) {
            if (!recip->m_partner)
                continue;
            // The partner pointer is the pairing itself: the copy would
            // give it the partner's own, which points back or nowhere.
            CRecip* const partner = recip->m_partner;
            const CString name = recip->m_name;
            const CString email = recip->m_email;
            const int hardCoded = recip->m_hardCoded;
            const int fromMail = recip->m_fromMail;
            *recip = *partner;
            recip->m_name = name;
            recip->m_email = email;
            recip->m_hardCoded = hardCoded;
            if (fromMail)
                recip->m_fromMail = fromMail;
            recip->m_partner = partner;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CTemplate::ApplyTemplate(CTemplate* stored)
{
    if (!stored || !stored->m_signatureDoc || stored == this)
        return E_INVALIDARG;
    // What the send road found in the mail stays the mail's: a stored
    // template knows neither, and the wizard applies templates again after
    // every Back (which templates fit depends on the attachment count).
    const int attachCount = m_sendOptions.m_attachCount;
    const int senderIsRecipient = m_senderIsRecipient;
    HRESULT hr = CopySettings(*stored);
    m_sendOptions.m_attachCount = attachCount;
    m_senderIsRecipient = senderIsRecipient;
    if (FAILED(hr) || FAILED(hr = CopyDocuments(*stored)) ||
        FAILED(hr = CopyKeywordValues(*stored)) || FAILED(hr = CopyRoles(*stored)))
        return hr;
    if (!stored->m_signatureDoc->m_fromTemplate)
        return CopySigners(*stored);

    ResetMatches(TRUE);
    stored->ResetMatches(FALSE);
    try {
        if (!stored->IsBroadcast()) {
            for (CRecip* recip : m_signers) {
                for (CRecip* signer : stored->m_signers) {
                    if (recip->m_email == signer->m_email) {
                        recip->m_partner = signer;
                        signer->m_partner = recip;
                    }
                }
            }
        }

        for (CRecip* signer : stored->m_signers) {
            if (signer->m_partner || !(signer->m_sender || signer->m_hardCoded))
                continue;
            auto added = std::make_unique<CRecip>(*signer);
            if (signer->m_sender) {
                if (ServiceGlobals().senderSmtp.IsEmpty())
                    IdentifyUser(); // an unknown user is added with what is known
                added->m_name = ServiceGlobals().senderName;
                added->m_email = ServiceGlobals().senderSmtp;
            }
            added->m_hardCoded = 1;
            added->m_partner = signer;
            signer->m_partner = added.get();
            m_signers.AddTail(added.get());
            added.release();
        }

        if (stored->IsBroadcast()) {
            CRecip* everyone = nullptr;
            for (CRecip* signer : stored->m_signers) {
                if (!signer->m_sender && !signer->m_hardCoded) {
                    everyone = signer;
                    break;
                }
            }
            if (everyone) {
                for (CRecip* recip : m_signers) {
                    if (!recip->m_partner)
                        recip->m_partner = everyone;
                }
            }
            return CopyMatchedSigners();
        }

        const int unpairedRecips = CountUnmatched();
        const int unpairedSigners = stored->CountUnmatched();
        if (unpairedRecips != unpairedSigners)
            return E_INVALIDARG;
        if (unpairedRecips == 1) {
            POSITION recipPos = m_signers.GetHeadPosition();
            POSITION signerPos = stored->m_signers.GetHeadPosition();
            CRecip* recip = NextUnmatched(recipPos);
            CRecip* signer = stored->NextUnmatched(signerPos);
            if (!recip || !signer)
                return E_FAIL;
            recip->m_partner = signer;
            signer->m_partner = recip;
            recip->m_choices.RemoveAll();
            signer->m_fromMail = recip->m_fromMail;
            signer->m_sender = recip->m_sender;
        } else if (unpairedRecips > 1) {
            for (CRecip* recip : m_signers) {
                if (recip->m_partner)
                    continue;
                recip->m_choices.RemoveAll();
                for (const CRecip* signer : stored->m_signers) {
                    if (!signer->m_partner)
                        recip->m_choices.AddTail(signer->m_role);
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CopyMatchedSigners();
}
