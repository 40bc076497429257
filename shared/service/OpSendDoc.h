// OpSendDoc: CreateSignatureRequest, the request with its signers; its
// result is the new request's file ID. It is also the record of the whole
// send: the parts of the mail that go out and the request template.
#pragma once

#include "classlib/strings/CTypedPtrList.h"
#include "shared/requests/BodyPart.h"
#include "shared/service/OpQuillet.h"
#include "shared/requests/Template.h"

class OpSendDoc : public OpQuillet {
public:
    explicit OpSendDoc(const char* serviceUrl);

    // A new part for an attachment (or the mail itself), appended. 0 or E_OUTOFMEMORY.
    HRESULT AddPart(IDispatch* object, LONG index, const char* fileName, const char* kind);
    // Takes an existing part over (null is ignored).
    void AppendPart(CBodyPart* part);
    void FreeRecipients() { m_request.m_signers.RemoveAll(); }
    // Every part lets its Outlook object go, then the parts are deleted.
    void FreeParts();
    // The part named "Message Body", or null.
    CBodyPart* MessagePart() const;
    // 1 when the mail's text is at most one byte long; 0 otherwise or
    // without a message part.
    int IsMessageEmpty() const;
    // An empty subject becomes the file name of the first part that is not
    // the message.
    void DefaultSubject();
    // No file ID goes into this request: it is the one that makes it.
    HRESULT WritePart(HANDLE file, const char* name) override;

    CTypedPtrList<CBodyPart> m_parts{10};
    CTemplate m_request;
    CString m_result;
    int m_roleMap = 0;

protected:
    HRESULT CheckInputs() override;
    const char* RequestExtension() const override { return ".xml"; }
    HRESULT WriteRequest() override;
    int ParseResponse() override;

private:
    // The escaped addresses of the listed recipients of these tiers.
    CString RecipientList(int tier) const;
    bool Listed(const CRecip& recip) const { return !m_queued || recip.m_hardCoded; }
    HRESULT WriteRecipients();
};
