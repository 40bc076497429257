// CSendOptions: how a request is sent, and the piece of XML that carries
// these options to the service.
#pragma once

#include "shared/xml/XMLIO.h"

class CSendOptions : public CXMLIO {
public:
    static constexpr int kBroadcast = 1;
    // m_positioning: the signer places the signatures at the service.
    static constexpr int kManualPositioning = 1;
    static constexpr int kAutomaticPositioning = 2;

    CSendOptions() = default;
    CSendOptions(const CSendOptions& other) : CXMLIO() { *this = other; }
    // Copies the option fields, not the writer's state.
    CSendOptions& operator=(const CSendOptions& other);

    // Writes the "<SendOptions>" piece into a new temporary ".xml" file.
    // 1 and the file's path in path, or 0 (no file left behind).
    int WriteXml(CString& path);

    // The m_stringN and m_intN fields mirror the record's layout: they keep
    // the places of fields that nothing in the system gives a meaning, so
    // the named ones stay in their order, and copies carry them along.
    CString m_string1; // not written
    CString m_password;
    int m_signatureType = 0; // index into "electronic;written;both"
    int m_positioning = 0;
    int m_sendMode = 0; // index into "normal;broadcast"
    int m_mouseSignAllowed = 0;
    int m_hideEmailAddrs = 0;
    int m_sendInvite = 1;
    int m_displayReceipt = 1;
    CString m_receiptSubject;
    CString m_categoryTags;
    int m_receiptType = 3;
    int m_attachCount = 0; // the mail's supported attachments; not written
};
