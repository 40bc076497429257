#include "addin/send/GatewayEntry.h"

#include <new>

#include "addin/send/SendDocsXml.h"
#include "classlib/com/CBstr.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/XMLDoc.h"

namespace {

constexpr char kUnnamed[] = "Unspecified";

// The text of the reply's "result" element; false when the reply is no XML
// or has none.
bool ResultOf(const CString& reply, CString& result)
{
    CXMLDoc document;
    if (document.LoadString(reply) != S_OK)
        return false;
    return document.GetSingleNodeValue("//result", result) == S_OK;
}

// Tells one created gateway; its result text goes to results.
void TellGateway(CGatewayEntry& entry, const CString& xml, CString& results)
{
    CBstr told(xml.GetString());
    if (!told.Get())
        throw std::bad_alloc();
    CBstr reply;
    const HRESULT hr = entry.m_gateway->SendDocs(told.Get(), reply.Put());
    if (hr != S_OK) {
        TheLog().HResult("CallGateways: SendDocs", FAILED(hr) ? hr : E_UNEXPECTED);
        return;
    }
    if (reply.Length() == 0) {
        TheLog().CommentFormat("CallGateways: %s gave no reply", entry.m_name);
        return;
    }
    CString result;
    if (ResultOf(reply.ToString(), result))
        results += result;
    else
        TheLog().CommentFormat("CallGateways: %s gave no result", entry.m_name);
}

} // namespace

HRESULT LoadGateway(CGatewayEntry& entry)
{
    entry.m_gateway.Release();
    if (entry.m_clsid.IsEmpty())
        return E_FAIL;
    CBstr text(entry.m_clsid.GetString());
    CLSID clsid{};
    if (!text.Get() || FAILED(CLSIDFromString(text.Get(), &clsid)))
        return E_FAIL;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IQuilletGateway,
                                  entry.m_gateway.PutVoid());
    if (FAILED(hr))
        return hr;
    if (!entry.m_gateway)
        return E_NOINTERFACE;
    CBstr name;
    hr = entry.m_gateway->get_Name(name.Put());
    entry.m_name = SUCCEEDED(hr) ? name.ToString() : CString(kUnnamed);
    return hr;
}

HRESULT CallGateways(OpSendDoc* request, const char* link, CString& results)
{
    results.Empty();
    try {
        CString gateways;
        if (FAILED(CConfig().GetGateways(gateways)) || gateways.IsEmpty())
            return S_OK;
        CString xml;
        bool built = false;
        int at = 0;
        for (;;) {
            while (at < gateways.GetLength() && gateways[at] == '\t')
                ++at;
            // Only an entry that a tab ends is one.
            const int tab = gateways.Find('\t', at);
            if (tab < 0)
                break;
            CGatewayEntry entry(gateways.Mid(at, tab - at));
            at = tab + 1;
            const HRESULT hr = LoadGateway(entry);
            if (!entry.m_gateway) {
                TheLog().CommentFormat("CallGateways: no gateway %s", entry.m_clsid);
                TheLog().HResult("CallGateways: LoadGateway", hr);
                continue;
            }
            if (!built) {
                if (FAILED(BuildSendDocsXml(request, link, xml)))
                    return S_OK;
                built = true;
            }
            TellGateway(entry, xml, results);
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
