#include "shared/service/SAXFinalPDF.h"

#include <utility>

#include "classlib/com/Barrier.h"
#include "shared/log/DebugLog.h"
#include "shared/service/FinalPDF.h"

CSAXFinalPDF::CSAXFinalPDF(CFinalPDF* target) : CSAXContentHandler(target) {}

HRESULT CSAXFinalPDF::startElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                   const wchar_t* qName, int qLength, ISAXAttributes*)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXFinalPDF::startElement", S_OK, [&] {
        Start(ElementName(localName, localLength, qName, qLength));
        return S_OK;
    });
}

HRESULT CSAXFinalPDF::endElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                 const wchar_t* qName, int qLength)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXFinalPDF::endElement", S_OK, [&] {
        End(ElementName(localName, localLength, qName, qLength));
        return S_OK;
    });
}

void CSAXFinalPDF::Start(const CString& name)
{
    if (name == kResponse) {
        PushTarget(name);
        return;
    }
    if (!(name == kResult))
        return;
    CXMLElem* parent = nullptr;
    CXMLElem* capture = nullptr;
    if (PushTextElement(kResponse, kResult, &parent, &capture) != S_OK)
        return;
    capture->m_captureAsText = 0;
    // Without a file the text is dropped and the target gets no path.
    if (FAILED(capture->CreateTempFile()))
        TheLog().Error("CSAXFinalPDF: no temporary file for the signed document");
}

void CSAXFinalPDF::End(const CString& name)
{
    CSAXStack::Entry entry = PopNamed(name);
    if (!entry || !entry.get_deleter().owned || !(name == kResult))
        return; // the target only leaves the stack; other captures go with the entry
    // Closed before it is handed on, so that the next reader finds it whole.
    entry->m_tempFile.reset();
    if (!entry->m_tempPath.IsEmpty())
        static_cast<CFinalPDF*>(GetTarget())->AdoptBase64File(std::move(entry->m_tempPath));
}
