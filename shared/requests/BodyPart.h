// CBodyPart: one part of an Outlook mail item that goes out for signature,
// an attachment or the message body, with the temporary file it was saved
// to. The part owns that file: it goes when the part goes.
#pragma once

#include <windows.h>

#include "classlib/com/CVariant.h"
#include "classlib/strings/CString.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/outlook/Dispatcher.h"

class CBodyPart : public CDispatcher {
public:
    // Outlook's body format of an HTML mail.
    static constexpr LONG kBodyFormatHtml = 2;
    // The longest path (in UTF-16 units, without the closing zero) that an
    // attachment is saved to.
    static constexpr int kMaxSavePath = 519;

    // object is the attachment or, for the body, the mail item (a reference
    // is taken). The extension is the file name's text after its last ".",
    // "pdf" when it has none.
    CBodyPart(IDispatch* object, LONG index, const char* fileName, const char* kind,
              const char* documentType);
    CBodyPart(const CBodyPart&) = delete;
    CBodyPart& operator=(const CBodyPart&) = delete;
    // Deletes the sub-parts and the temporary file, and lets the object go.
    virtual ~CBodyPart();

    // The attachment or mail item; null once it was let go.
    IDispatch* Object() const { return m_object.vt == VT_DISPATCH ? m_object.pdispVal : nullptr; }

    // Saves the attachment to path (ANSI; at most kMaxSavePath characters,
    // a longer one is refused with HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)).
    HRESULT SaveAsFile(const char* path);

    // Writes the mail's text to path, replacing what the file held: the HTML
    // source when useHtml is set and the mail is HTML, else the plain body.
    // With length, that receives the text's length and an empty text writes
    // nothing; without, an empty text is written as "message unspecified".
    // prefix (may be null) goes before the text. E_OUTOFMEMORY when the file
    // cannot be opened, E_FAIL when a write fails, else the result of
    // reading the text.
    HRESULT WriteBodyToFile(const char* path, const char* prefix, DWORD* length, BOOL useHtml);

    // The mail's plain body in text (empty when it cannot be read): with
    // defaultWhenEmpty an empty body becomes "message unspecified"; else,
    // with sevenBitOnly, only its characters below 128 stay. Always S_OK.
    HRESULT GetBody(CString& text, BOOL sevenBitOnly, BOOL defaultWhenEmpty);

    // Saves the part to a new file in the temporary folder and keeps its
    // path: the body (body set) as text, or as an ".htm" file of its HTML
    // source when useHtml is set and the mail is HTML; an attachment through
    // SaveAsFile. 1 on success; 0 on failure, and no file stays behind.
    int SaveToTempFile(BOOL body, BOOL useHtml);

    // In the order the request's records list them. The unnamed values and
    // texts are the send road's and the operations' to fill.
    CVariant m_object;
    LONG m_index;
    CString m_fileName;
    CString m_extension;
    LONG m_value1 = 0;
    LONG m_value2 = 0;
    CString m_kind;
    CString m_text1;
    CString m_text2;
    CString m_tempPath;
    LONG m_value3 = 0;
    CString m_text3;
    CString m_text4;
    CString m_documentType;
    CString m_text5;
    LONG m_value4 = 0;
    LONG m_bodyFormat = 0; // set by the owner; kBodyFormatHtml for an HTML mail
    CString m_text6;
    CTypedPtrList<CBodyPart> m_subParts{10};

private:
    HRESULT ReadBody(BOOL useHtml, CString& text);
    // Creates a new, empty file in folder whose name ends in suffix (the
    // system's ".tmp" when null) and gives its path.
    static bool CreateTempFile(const CString& folder, const char* suffix, CString& path);
};
