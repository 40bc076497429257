// Word as the host of the add-in (when Word is the mail editor, Word loads
// the same add-ins): its application with command bars and the
// WindowActivate event, a document and the window showing it. The mail
// envelope's visibility belongs to the window, as in Word.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CCommandBars;
class CWordWindow;

class CWordDocument final : public CAutoObject {
public:
    explicit CWordDocument(std::wstring name);

private:
    std::wstring m_name;
};

class CWordWindow final : public CAutoObject {
public:
    CWordWindow(CWordDocument& document, bool envelopeVisible);

    CWordDocument& Document() const { return *m_document; }
    bool EnvelopeVisible() const { return m_envelopeVisible; }
    void SetEnvelopeVisible(bool visible) { m_envelopeVisible = visible; }

private:
    CComPtr<CWordDocument> m_document;
    bool m_envelopeVisible;
};

class CWordApplication final : public CAutoObject {
public:
    CWordApplication();

    CCommandBars& CommandBars() { return *m_commandBars; }
    // The window on the document of that name, made on first use.
    CWordWindow& Window(const std::wstring& documentName);
    // The user brings a window to the front: WindowActivate(Doc, Wn).
    void ActivateWindow(CWordWindow& window);

private:
    CComPtr<CCommandBars> m_commandBars;
    std::vector<std::pair<std::wstring, CComPtr<CWordWindow>>> m_windows;
};

} // namespace standin
