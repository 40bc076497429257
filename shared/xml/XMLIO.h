// The writing side of XML: one element per call, into a text buffer or an
// output file. CXMLElem is the element record that the SAX readers fill and
// that the template, document, recipient and receipt records derive from.
#pragma once

#include <memory>
#include <windows.h>

#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"
#include "classlib/win32/CFile.h"
#include "classlib/win32/Handles.h"

class CXMLIO : public CObject {
public:
    CXMLIO() = default;
    ~CXMLIO() override;

    // Creates a new temporary file whose name ends in suffix (".xml") and
    // makes it the output; path receives its name. 0 or E_FAIL.
    [[nodiscard]] HRESULT OpenOutputFile(CString& path, const char* suffix);

    // Writes "<tag>value</tag>\n" (value escaped when escape is set); with no
    // tag the value as it stands; with no value "<tag></tag>\n" unless
    // skipEmpty. 0, E_INVALIDARG (neither given) or E_FAIL (write failed).
    [[nodiscard]] HRESULT WriteElement(const char* tag, const char* value, BOOL skipEmpty,
                                       BOOL escape);

    // Writes "<tag>value</tag>\n" with value in decimal (a negative one with
    // its minus sign). What WriteElement returns.
    [[nodiscard]] HRESULT WriteIntElement(const char* tag, int value);

    // Empties the buffer and closes the output file.
    void Close();

    // Decodes the base64 text file source into a new temporary file. format
    // (may be null) shapes its name: with "%" the bare temporary name is put
    // through it ("Signed Copy %s.pdf"); without, it replaces ".tmp". E_FAIL,
    // with path empty and no file left, when no file can be made or the text
    // is not base64.
    [[nodiscard]] static HRESULT DecodeFileToTemp(const char* source, const char* format,
                                                  CString& path);

    // What was written while no output file was open.
    const CString& GetBuffer() const { return m_buffer; }
    bool IsOutputOpen() const { return m_output.IsValid(); }
    const CString& GetOutputPath() const { return m_outputPath; }

protected:
    CString m_buffer;
    CString m_outputPath;
    CFileHandle m_output;
};

class CXMLElem : public CXMLIO {
public:
    CXMLElem() = default;
    explicit CXMLElem(const char* elementName) : m_elementName(elementName) {}
    // Closes the temporary file; the file stays on disk for whoever took its path.
    ~CXMLElem() override;

    // Creates a temporary file ("Quill" prefix, user's temporary folder),
    // keeps its path and opens it for writing. 0 or E_FAIL (no file object
    // is left behind).
    [[nodiscard]] HRESULT CreateTempFile();

    CString m_elementName;
    CString* m_textTarget = nullptr; // where character data is appended
    int m_captureAsText = 0;         // 1: to the text target; 0: to the temporary file
    int* m_numberTarget = nullptr;   // where the text converted to an integer goes
    CString m_tempPath;
    std::unique_ptr<CFile> m_tempFile;
};
