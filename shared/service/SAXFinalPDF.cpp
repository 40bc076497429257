#include "shared/service/SAXFinalPDF.h"

#include <cwchar>
#include <utility>

#include "classlib/com/Barrier.h"
#include "shared/log/DebugLog.h"
#include "shared/service/FinalPDF.h"

namespace {

bool IsSoapNamespace(const wchar_t* uri, int length)
{
    const size_t expected = std::wcslen(CSAXFinalPDF::kSoapNamespace);
    return uri && length >= 0 && static_cast<size_t>(length) == expected &&
           std::wmemcmp(uri, CSAXFinalPDF::kSoapNamespace, expected) == 0;
}

} // namespace

CSAXFinalPDF::CSAXFinalPDF(CFinalPDF* target) : CSAXContentHandler(target) {}

CFinalPDF& CSAXFinalPDF::Target() const
{
    return *static_cast<CFinalPDF*>(GetTarget());
}

HRESULT CSAXFinalPDF::startElement(const wchar_t* namespaceUri, int namespaceLength,
                                   const wchar_t* localName, int localLength, const wchar_t* qName,
                                   int qLength, ISAXAttributes*)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXFinalPDF::startElement", S_OK, [&] {
        ++m_depth;
        Start(ElementName(localName, localLength, qName, qLength),
              IsSoapNamespace(namespaceUri, namespaceLength));
        return S_OK;
    });
}

HRESULT CSAXFinalPDF::endElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                 const wchar_t* qName, int qLength)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXFinalPDF::endElement", S_OK, [&] {
        End(ElementName(localName, localLength, qName, qLength));
        if (m_depth > 0)
            --m_depth;
        if (m_onPath > m_depth)
            m_onPath = m_depth;
        return S_OK;
    });
}

void CSAXFinalPDF::Start(const CString& name, bool soap)
{
    if (!GetTarget())
        return;
    // The answer's own path, one level at a time.
    if (m_depth == m_onPath + 1 && m_onPath < 3) {
        if (m_onPath == 0 && soap && name == "Envelope") {
            m_onPath = 1;
        } else if (m_onPath == 1 && soap && name == "Body") {
            m_onPath = 2;
        } else if (m_onPath == 2 && name == kResponse) {
            m_onPath = 3;
            PushTarget(name);
        } else if (m_onPath == 2 && soap && name == kFault) {
            m_onPath = 3;
            Target().NoteFault();
            PushTarget(name);
        }
        return;
    }
    if (m_depth != 4 || m_onPath != 3)
        return;
    CXMLElem* parent = nullptr;
    CXMLElem* capture = nullptr;
    if (name == kResult) {
        if (PushTextElement(kResponse, kResult, &parent, &capture) != S_OK)
            return;
        Target().NoteResult();
        // Without a file the text is dropped and the target gets no path.
        if (FAILED(OpenFileCapture(*capture)))
            TheLog().Error("CSAXFinalPDF: no temporary file for the signed document");
    } else if (name == "faultcode" || name == "faultstring") {
        if (PushTextElement(kFault, name, &parent, &capture) != S_OK)
            return;
        capture->m_textTarget = &Target().FaultText(name == "faultcode");
    }
}

void CSAXFinalPDF::End(const CString& name)
{
    CSAXStack::Entry entry = PopNamed(name);
    if (!entry || !entry.get_deleter().owned || !(name == kResult))
        return; // the target only leaves the stack; other captures go with the entry
    // Closed before it is handed on, so that the next reader finds it whole.
    entry->m_tempFile.reset();
    const LiftedText* lifted = TakeLifted(*entry);
    if (!entry->m_tempPath.IsEmpty())
        Target().AdoptBase64File(std::move(entry->m_tempPath), lifted && lifted->base64);
}
