// CFinalPDF: the signed document as the service returned it, read from a
// DownloadSignedDocument response. Two texts: the response file it was read
// from, and the temporary file that holds the document's base64 text.
//
// The base64 file belongs to this record. The reader made it for it and
// nobody else knows its path; the signed-copy pull decodes it into the PDF
// that Outlook gets, after which the text is worth nothing, and a sync of
// many tasks would otherwise leave megabytes behind per document. So the
// file is deleted when the record goes, when another load or file replaces
// it, and when a load fails. Whoever wants to keep it takes it with
// TakeBase64File and deletes it in turn. The response file is the caller's.
#pragma once

#include "classlib/strings/CString.h"
#include "shared/xml/XMLIO.h"

class CFinalPDF : public CXMLElem {
public:
    CFinalPDF() = default;
    ~CFinalPDF() override;

    // Reads the response file; afterwards the record holds the base64 file
    // of its result. 0 also for a response without a result (a SOAP fault):
    // then there is no file. A response that does not parse gives the
    // reader's HRESULT and leaves no file; E_INVALIDARG for a null path.
    HRESULT LoadXML(const char* responsePath);

    const CString& GetResponsePath() const { return m_responsePath; }
    // Empty when there is none.
    const CString& GetBase64Path() const { return m_base64Path; }
    bool HasBase64File() const { return !m_base64Path.IsEmpty(); }

    // Makes path (a closed file) this record's base64 file; the one it had
    // is deleted.
    void AdoptBase64File(CString&& path) noexcept;
    // Hands the base64 file to the caller; the record forgets it.
    CString TakeBase64File() noexcept;
    // Deletes the base64 file, if any.
    void DeleteBase64File() noexcept;

private:
    CString m_responsePath;
    CString m_base64Path;
};
