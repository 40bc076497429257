// OpAddDoc: uploads one document of the request (AddDocumentToRequest, or
// its reference and instructional variants, chosen by the part's document
// type); the result is the service's document ID.
#pragma once

#include "shared/service/OpQuillet.h"
#include "shared/requests/SendOptions.h"

class CBodyPart;

class OpAddDoc : public OpQuillet {
public:
    explicit OpAddDoc(const char* serviceUrl);

    // The method a part goes up with.
    static const char* MethodFor(const CBodyPart& part);

    CSendOptions m_sendOptions;
    CBodyPart* m_document = nullptr; // not owned
    CString m_result;
    CString m_method = "AddDocumentToRequest";

protected:
    int PrepareData() override;
    HRESULT CheckInputs() override;
    const char* RequestExtension() const override { return ".xml"; }
    HRESULT WriteRequest() override;
    int ParseResponse() override;
    void LogFailure(const char* text) override;
};
