// Any service method, its request written as text from the given elements;
// the result text is kept. For the engine's tests and benchmark.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "shared/service/WebSvrOp.h"

class SoapCallOp : public CWebSvrOp {
public:
    using Elements = std::vector<std::pair<std::string, std::string>>;

    // responseToFile: the response goes to a temporary file (as every real
    // operation does) rather than into memory.
    SoapCallOp(const char* url, const char* method, Elements elements, bool responseToFile = true);

    CString m_result;

    // The elements of a CreateSignatureRequest of the stand-in's demo
    // account with these signers (comma-joined).
    static Elements CreateRequestElements(const std::string& signers, const char* fileName);

protected:
    int PrepareData() override;
    int ParseResponse() override;

private:
    std::string m_method;
    Elements m_elements;
    bool m_responseToFile;
};
