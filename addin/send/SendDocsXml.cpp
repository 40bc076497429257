#include "addin/send/SendDocsXml.h"

#include <new>

#include "shared/requests/BodyPart.h"
#include "shared/service/OpSendDoc.h"
#include "shared/xml/XmlEscape.h"

namespace {

constexpr char kActivitySubject[] = "Quillet Document Sent";

void PutElement(CString& xml, const char* name, const char* text)
{
    xml += "<";
    xml += name;
    xml += ">";
    xml += XmlMarkupEscaped(text ? text : "");
    xml += "</";
    xml += name;
    xml += ">";
}

const char* ModeOf(int recipientType)
{
    switch (recipientType) {
    case 2:
        return "Cc:";
    case 3:
        return "Bcc:";
    default:
        return "To:";
    }
}

} // namespace

HRESULT BuildSendDocsXml(const OpSendDoc* request, const char* link, CString& xml)
{
    xml.Empty();
    if (!request)
        return E_POINTER;
    try {
        CString text = "<senddocs>";
        PutElement(text, "statusURL", link);
        PutElement(text, "subject", request->m_request.m_subject);
        PutElement(text, "activitySubject", kActivitySubject);
        text += "<recipients>";
        for (const CRecip* recipient : request->m_request.m_signers) {
            text += "<recip>";
            PutElement(text, "name", recipient->m_name);
            PutElement(text, "email", recipient->m_email);
            PutElement(text, "mode", ModeOf(recipient->m_recipType));
            text += "</recip>";
        }
        text += "</recipients><documents>";
        const CBodyPart* message = request->MessagePart();
        for (const CBodyPart* part : request->m_parts) {
            if (part == message)
                continue;
            text += "<doc>";
            PutElement(text, "name", part->m_fileName);
            text += "</doc>";
        }
        text += "</documents></senddocs>";
        xml = text;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
