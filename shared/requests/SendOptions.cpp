#include "shared/requests/SendOptions.h"

#include <new>

CSendOptions& CSendOptions::operator=(const CSendOptions& other)
{
    if (this == &other)
        return *this;
    m_string1 = other.m_string1;
    m_password = other.m_password;
    m_signatureType = other.m_signatureType;
    m_positioning = other.m_positioning;
    m_sendMode = other.m_sendMode;
    m_mouseSignAllowed = other.m_mouseSignAllowed;
    m_hideEmailAddrs = other.m_hideEmailAddrs;
    m_sendInvite = other.m_sendInvite;
    m_displayReceipt = other.m_displayReceipt;
    m_receiptSubject = other.m_receiptSubject;
    m_categoryTags = other.m_categoryTags;
    m_receiptType = other.m_receiptType;
    m_attachCount = other.m_attachCount;
    return *this;
}

namespace {

const char* Flag(int value)
{
    return value ? "true" : "false";
}

CString Number(int value)
{
    CString text;
    text.Format("%d", value);
    return text;
}

} // namespace

int CSendOptions::WriteXml(CString& path)
{
    CString written;
    if (FAILED(OpenOutputFile(written, ".xml")))
        return 0;
    bool ok = true;
    try {
        // The user's own texts are escaped like every other value the
        // system writes, so "<", "&" or an accented letter in a subject
        // keeps the piece readable and loses nothing.
        auto put = [this, &ok](const char* tag, const char* value, BOOL escape = FALSE) {
            if (ok && FAILED(WriteElement(tag, value, FALSE, escape)))
                ok = false;
        };
        put(nullptr, "<SendOptions>\n");
        if (!m_password.IsEmpty())
            put("Password", m_password, TRUE);
        put("DisplayReceipt", Flag(m_displayReceipt));
        put("MouseSignAllowed", Flag(m_mouseSignAllowed));
        put("HideEmailAddrs", Flag(m_hideEmailAddrs));
        put("SendInvite", Flag(m_sendInvite));
        put("SignatureType", Number(m_signatureType));
        put("Positioning", Number(m_positioning));
        put("SendMode", Number(m_sendMode));
        put("ReceiptType", Number(m_receiptType));
        if (!m_receiptSubject.IsEmpty())
            put("ReceiptSubject", m_receiptSubject, TRUE);
        if (!m_categoryTags.IsEmpty())
            put("CategoryTags", m_categoryTags, TRUE);
        put(nullptr, "</SendOptions>\n");
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    Close();
    if (!ok) {
        // A half-written piece must not be sent.
        DeleteFileA(written);
        return 0;
    }
    path = written;
    return 1;
}
