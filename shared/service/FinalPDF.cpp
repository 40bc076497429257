#include "shared/service/FinalPDF.h"

#include <functional>
#include <utility>

#include "shared/log/DebugLog.h"
#include "shared/service/SAXFinalPDF.h"

CFinalPDF::~CFinalPDF()
{
    DeleteBase64File();
}

HRESULT CFinalPDF::LoadXML(const char* responsePath)
{
    CLogBlock block("CFinalPDF::LoadXML");
    if (!responsePath)
        return E_INVALIDARG;
    return Load(responsePath,
                [responsePath](CSAXFinalPDF* reader) { return RunSaxParse(responsePath, reader); });
}

HRESULT CFinalPDF::LoadScanned(CLargeTextScanner& scanned)
{
    CLogBlock block("CFinalPDF::LoadScanned");
    return Load(scanned.RestPath(),
                [&scanned](CSAXFinalPDF* reader) { return RunSaxParse(scanned, reader); });
}

std::vector<LargeElement> CFinalPDF::LargeElements()
{
    return CSAXFinalPDF::Lifted();
}

HRESULT CFinalPDF::Load(const CString& parsed, const std::function<HRESULT(CSAXFinalPDF*)>& parse)
{
    DeleteBase64File();
    m_fault = false;
    m_faultCode.Empty();
    m_faultString.Empty();
    m_results = 0;
    HRESULT hr = S_OK;
    try {
        m_responsePath = parsed;
        hr = parse(new CSAXFinalPDF(this));
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    // Of two documents neither can be the one asked for.
    if (m_results > 1)
        DeleteBase64File();
    if (FAILED(hr)) {
        // Even a result that ended before the error came from a document we
        // cannot trust.
        DeleteBase64File();
        TheLog().HResult("CFinalPDF::LoadXML", hr);
    }
    return hr;
}

void CFinalPDF::AdoptBase64File(CString&& path, bool checked) noexcept
{
    DeleteBase64File();
    m_base64Path = std::move(path);
    m_base64Checked = checked;
}

CString CFinalPDF::TakeBase64File() noexcept
{
    CString path = std::move(m_base64Path);
    m_base64Path.Empty();
    m_base64Checked = false;
    return path;
}

void CFinalPDF::DeleteBase64File() noexcept
{
    m_base64Checked = false;
    if (m_base64Path.IsEmpty())
        return;
    DeleteFileA(m_base64Path);
    m_base64Path.Empty();
}
