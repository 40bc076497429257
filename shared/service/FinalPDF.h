// CFinalPDF: the signed document as the service returned it, read from a
// DownloadSignedDocument response. Two texts: the response file it was read
// from, and the temporary file that holds the document's base64 text. And
// what else the answer said: a SOAP fault in its body (code and string),
// and how many results stood where the document belongs.
//
// The base64 file belongs to this record. The reader made it for it and
// nobody else knows its path; the signed-copy pull decodes it into the PDF
// that Outlook gets, after which the text is worth nothing, and a sync of
// many tasks would otherwise leave megabytes behind per document. So the
// file is deleted when the record goes, when another load or file replaces
// it, and when a load fails. Whoever wants to keep it takes it with
// TakeBase64File and deletes it in turn. The response file is the caller's.
#pragma once

#include <functional>
#include <vector>

#include "classlib/strings/CString.h"
#include "shared/xml/LargeTextScanner.h"
#include "shared/xml/XMLIO.h"

class CSAXFinalPDF;

class CFinalPDF : public CXMLElem {
public:
    CFinalPDF() = default;
    ~CFinalPDF() override;

    // Reads the response file; afterwards the record holds the base64 file
    // of its result. 0 also for a response without exactly one result (a
    // SOAP fault, two results): then there is no file. A response that does
    // not parse gives the reader's HRESULT and leaves no file; E_INVALIDARG
    // for a null path.
    HRESULT LoadXML(const char* responsePath);
    // The same for a response scanned as it came off the wire (see
    // LargeTextScanner.h, BeginStream), with the elements LargeElements
    // names; its rest stands for the response file.
    HRESULT LoadScanned(CLargeTextScanner& scanned);
    // The elements whose text a scan of the response lifts.
    static std::vector<LargeElement> LargeElements();

    // What the last load found besides the document.
    bool IsFault() const { return m_fault; }
    const CString& GetFaultCode() const { return m_faultCode; }
    const CString& GetFaultString() const { return m_faultString; }
    int GetResultCount() const { return m_results; }

    // For the reader: a fault in the body, a result at its place, and
    // where the fault's texts go.
    void NoteFault() { m_fault = true; }
    void NoteResult() { ++m_results; }
    CString& FaultText(bool code) { return code ? m_faultCode : m_faultString; }

    // What was parsed: the response file, or the rest of a scanned one.
    const CString& GetResponsePath() const { return m_responsePath; }
    // Empty when there is none.
    const CString& GetBase64Path() const { return m_base64Path; }
    bool HasBase64File() const { return !m_base64Path.IsEmpty(); }

    // Whether the base64 file's text was found to be base64 on its way into
    // the file (the reader lifts a large text and checks it in one pass, see
    // LargeTextScanner.h): then nobody need read it again to know.
    bool IsBase64Checked() const { return m_base64Checked; }

    // Makes path (a closed file) this record's base64 file; the one it had
    // is deleted. checked: its text is known to be base64.
    void AdoptBase64File(CString&& path, bool checked = false) noexcept;
    // Hands the base64 file to the caller; the record forgets it.
    CString TakeBase64File() noexcept;
    // Deletes the base64 file, if any.
    void DeleteBase64File() noexcept;

private:
    HRESULT Load(const CString& parsed, const std::function<HRESULT(CSAXFinalPDF*)>& parse);

    CString m_responsePath;
    CString m_base64Path;
    bool m_base64Checked = false;
    bool m_fault = false;
    CString m_faultCode;
    CString m_faultString;
    int m_results = 0;
};
