// CGwInfo: one installed gateway plug-in as the options page lists it: its
// display name, its CLSID text and whether the user enabled it.
//
// The gateway object is made, and asked its name, on a thread of its own
// (an apartment of its own) and lives there as long as the record: a
// gateway is code from outside the system, and one whose name getter never
// returns must not hang the options dialog. Its creation and name are
// waited for kNameWaitMs at most, while the dialog's thread serves the COM
// calls made to it; a gateway that takes longer is listed as "Unspecified",
// as one whose name getter fails.
#pragma once

#include <memory>

#include <windows.h>

#include "classlib/strings/CString.h"

class CGatewayObject;

class CGwInfo {
public:
    static constexpr DWORD kNameWaitMs = 3000;

    CGwInfo();
    explicit CGwInfo(const char* clsid);
    CGwInfo(const CGwInfo&) = delete;
    CGwInfo& operator=(const CGwInfo&) = delete;
    // Lets the gateway object go.
    ~CGwInfo();

    // Makes the gateway object of a record that has none and reads its
    // name. S_OK; S_FALSE when the object was not made in time (it may
    // still come; the record keeps it and is named "Unspecified"); E_FAIL
    // for an empty CLSID text; what parsing the text or creating the object
    // failed with (the record keeps no object then).
    HRESULT Create();
    bool HasObject() const { return m_object != nullptr; }

    CString m_name;
    CString m_clsid; // in registry form, with its braces
    BOOL m_flag = 0;
    BOOL m_enabled = 0;

private:
    std::unique_ptr<CGatewayObject> m_object;
};
