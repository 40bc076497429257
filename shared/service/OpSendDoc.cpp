#include "shared/service/OpSendDoc.h"

#include <new>

#include "classlib/strings/LoadText.h"
#include "shared/SharedResource.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/xml/XmlEscape.h"

namespace {
constexpr const char* kMethod = "CreateSignatureRequest";

CString MessagePartName()
{
    return LoadText(IDS_MESSAGE_BODY, "Message Body");
}

// Sequence numbers above 2 sign after the first signers as well; the
// service knows only two tiers.
int TierOf(const CRecip& recip)
{
    return recip.m_sequence >= 2 ? 2 : recip.m_sequence;
}

const char* SignTypeOf(int type)
{
    return type == 0 ? "elec" : type == 1 ? "fax" : "both";
}
} // namespace

OpSendDoc::OpSendDoc(const char* serviceUrl) : OpQuillet(serviceUrl)
{
    static const char* const kTexts[6] = {
        "Preparing Data",     "Connecting to Quillet", "Creating Signature Request",
        "Receiving Response", "Confirming Result",     "Signature Request Created"};
    Describe("OpSendDoc", kMethod, kTexts);
}

HRESULT OpSendDoc::AddPart(IDispatch* object, LONG index, const char* fileName, const char* kind)
{
    CBodyPart* part = new (std::nothrow) CBodyPart(object, index, fileName, kind, "");
    if (!part)
        return E_OUTOFMEMORY;
    m_parts.AddTail(part);
    return S_OK;
}

void OpSendDoc::AppendPart(CBodyPart* part)
{
    if (part)
        m_parts.AddTail(part);
}

void OpSendDoc::FreeParts()
{
    for (POSITION pos = m_parts.GetHeadPosition(); pos;)
        m_parts.GetNext(pos)->m_object.Clear();
    m_parts.RemoveAll();
}

CBodyPart* OpSendDoc::MessagePart() const
{
    const CString name = MessagePartName();
    for (POSITION pos = m_parts.GetHeadPosition(); pos;) {
        CBodyPart* part = m_parts.GetNext(pos);
        if (part->m_fileName == name)
            return part;
    }
    return nullptr;
}

int OpSendDoc::IsMessageEmpty() const
{
    CBodyPart* message = MessagePart();
    if (!message)
        return 0;
    CString path;
    HANDLE file = CreateNewTempFile(nullptr, nullptr, path, "esn");
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    DWORD length = 0;
    const HRESULT hr = message->WriteBodyToFile(path, nullptr, &length, FALSE);
    DeleteFileA(path);
    return SUCCEEDED(hr) && length <= 1 ? 1 : 0;
}

void OpSendDoc::DefaultSubject()
{
    if (!m_request.m_subject.IsEmpty())
        return;
    const CBodyPart* message = MessagePart();
    for (POSITION pos = m_parts.GetHeadPosition(); pos;) {
        const CBodyPart* part = m_parts.GetNext(pos);
        if (part != message) {
            m_request.m_subject = part->m_fileName;
            return;
        }
    }
}

HRESULT OpSendDoc::WritePart(HANDLE, const char* name)
{
    return name ? S_OK : E_INVALIDARG;
}

HRESULT OpSendDoc::CheckInputs()
{
    return m_parts.IsEmpty() || m_request.m_signers.IsEmpty() ? E_INVALIDARG : S_OK;
}

CString OpSendDoc::RecipientList(int tier) const
{
    CString list;
    for (POSITION pos = m_request.m_signers.GetHeadPosition(); pos;) {
        const CRecip* recip = m_request.m_signers.GetNext(pos);
        if (TierOf(*recip) != tier || !Listed(*recip))
            continue;
        if (!list.IsEmpty())
            list += ",";
        list += recip->m_email;
    }
    return list;
}

HRESULT OpSendDoc::WriteRecipients()
{
    HRESULT hr = S_OK;
    if (m_queued) {
        CString wrapper;
        wrapper.Format("<CSRSigners xmlns:m=\"%s\">", kServiceNamespace);
        hr = Put(wrapper);
    }
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_Signers", RecipientList(1));
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_SecondSigners", RecipientList(2));
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_CCs", RecipientList(-1));
    if (!m_queued || FAILED(hr))
        return hr;

    // The agent loads these lists as XML: each value is escaped on its own.
    auto target = [](const CRecip& recip) {
        CString line;
        line.Format(
            "<target><email>%s</email><name>%s</name><role>%s</role><tier>%d</tier></target>\n",
            XmlEscaped(recip.m_email.GetString()).GetString(),
            XmlEscaped(recip.m_name.GetString()).GetString(),
            XmlEscaped(recip.m_role.GetString()).GetString(), recip.m_sequence);
        return line;
    };
    CString audience = "<m:pstr_Audience>";
    CString roleMap = "<m:pstr_RoleMap>";
    for (POSITION pos = m_request.m_signers.GetHeadPosition(); pos;) {
        const CRecip* recip = m_request.m_signers.GetNext(pos);
        if (!recip->m_hardCoded) {
            audience += target(*recip);
        } else if (recip->m_role.IsEmpty()) {
            roleMap += target(*recip);
        } else {
            CString entry;
            entry.Format("<entry><name>%s</name><role>%s</role></entry>\n",
                         XmlEscaped(recip->m_name.GetString()).GetString(),
                         XmlEscaped(recip->m_role.GetString()).GetString());
            roleMap += entry;
        }
    }
    hr = Put(audience + "</m:pstr_Audience>\n");
    if (SUCCEEDED(hr) && m_roleMap)
        hr = Put(roleMap + "</m:pstr_RoleMap>\n");
    if (SUCCEEDED(hr))
        hr = Put("</CSRSigners>\n");
    return hr;
}

HRESULT OpSendDoc::WriteRequest()
{
    const CSendOptions& options = m_request.m_sendOptions;
    HRESULT hr = Put(SoapEnvelopeHead(kMethod));
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_APICode", m_credentials.m_accountId);
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_SenderEmail", m_credentials.m_email);
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_SenderName", m_credentials.m_displayName);
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_FileName", options.m_string1);
    if (SUCCEEDED(hr))
        hr = BeginPiece("Recips");
    if (SUCCEEDED(hr))
        hr = WriteRecipients();
    if (SUCCEEDED(hr))
        hr = BeginPiece("Tail");
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_Cosign", "false");
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_SignType", SignTypeOf(options.m_signatureType));
    if (SUCCEEDED(hr))
        hr = PutElement("pstr_Password", options.m_password);
    if (SUCCEEDED(hr))
        hr = Put("<m:pstr_EmailMessage>");
    if (SUCCEEDED(hr))
        hr = PutBase64(MessagePart(), false);
    if (SUCCEEDED(hr))
        hr = Put("</m:pstr_EmailMessage>\n");
    if (SUCCEEDED(hr))
        hr = Put(SoapEnvelopeTail(kMethod));
    if (SUCCEEDED(hr) && m_queued) {
        CCastlet* piece = new (std::nothrow) CCastlet("Options");
        if (!piece)
            return E_OUTOFMEMORY;
        m_castlets.AddTail(piece);
        CString path;
        if (!m_request.m_sendOptions.WriteXml(path))
            return E_FAIL;
        piece->m_path = path;
    }
    return hr;
}

int OpSendDoc::ParseResponse()
{
    return TakeResult(kMethod, m_result);
}
