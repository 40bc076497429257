// The gateway plug-ins an interactive send tells about itself once it has
// succeeded: every CLSID of the "Gateways" setting (each followed by a tab)
// is created for the gateway interface and handed the send's "senddocs"
// description; the "result" texts of their replies are joined for the
// receipt. A gateway that cannot be created, fails or says nothing is
// passed over: gateways never change the outcome of a send.
#pragma once

#include <windows.h>

#include "classlib/com/CComPtr.h"
#include "classlib/strings/CString.h"
#include "shared/gateway/QuilletGateway.h"

class OpSendDoc;

// One gateway while it is called; it lets the gateway go when it goes.
class CGatewayEntry {
public:
    explicit CGatewayEntry(const char* clsid) : m_clsid(clsid ? clsid : "") {}

    CString m_name;
    CString m_clsid;
    CComPtr<IQuilletGateway> m_gateway;
};

// Creates the gateway of the entry's CLSID (in any server context) and
// reads its name ("Unspecified" when the gateway gives none). E_FAIL for an
// empty or malformed CLSID; else the creation's failure, or 0.
HRESULT LoadGateway(CGatewayEntry& entry);

// Tells every gateway of the "Gateways" setting about the send of request,
// whose receipt link is link, and gives the "result" texts of their
// replies, joined in gateway order. Always 0, E_OUTOFMEMORY aside: what the
// gateways do is logged, not reported.
HRESULT CallGateways(OpSendDoc* request, const char* link, CString& results);
