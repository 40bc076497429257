// CQuillOptsApp: the options library's application object. It knows the
// library's own versions, which the page shows.
#pragma once

#include "classlib/app/CWinApp.h"
#include "classlib/strings/CString.h"

class CQuillOptsApp : public CWinApp {
public:
    BOOL InitInstance() override;

    // Reads the product and file versions from this library's version
    // resource, as " 1.2.3.4" (the major number two characters wide); both
    // stay empty when the resource cannot be read.
    void ReadVersion();

    const CString& GetProductVersion() const { return m_productVersion; }
    const CString& GetFileVersion() const { return m_fileVersion; }

    // The path the framework names the help file by: the library's own
    // path with the extension ".HLP". The editor starts from its folder.
    CString GetHelpFilePath() const;

private:
    CString m_productVersion;
    CString m_fileVersion;
};

// The library's application object.
CQuillOptsApp& TheOptsApp();
