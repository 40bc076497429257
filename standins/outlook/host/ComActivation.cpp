#include "standins/outlook/host/ComActivation.h"

#include <new>

#include <objbase.h>
#include <oleauto.h>

#include "classlib/com/CComObject.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/host/Report.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/ItemWindow.h"

namespace host {

namespace {

// Hands every client the one application, as Outlook does: a second
// CoCreateInstance while Outlook runs reaches the same Outlook.
class CApplicationFactory final : public CComObjectT<ComLifetime::Unlocked, IClassFactory> {
public:
    explicit CApplicationFactory(IDispatch* application) : m_application(application) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_application->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    CComPtr<IDispatch> m_application;
};

size_t DisplaysCalled()
{
    return standin::CallLog().Count(L"MailItem", L"Display");
}

void Pump(DWORD ms)
{
    const ULONGLONG until = GetTickCount64() + ms;
    MSG message;
    while (GetTickCount64() < until) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring Quoted(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t ch : text) {
        if (ch == L'\n')
            out += L"\\n";
        else if (ch == L'\r')
            out += L"\\r";
        else if (ch == L'"' || ch == L'\\')
            out += std::wstring(L"\\") + ch;
        else
            out += ch;
    }
    return out + L"\"";
}

} // namespace

CComActivation::CComActivation(standin::CApplication& application, CReport& report)
    : m_application(application), m_report(report)
{}

CComActivation::~CComActivation()
{
    if (m_classCookie)
        CoRevokeClassObject(m_classCookie);
    if (m_tableCookie)
        RevokeActiveObject(m_tableCookie, nullptr);
}

bool CComActivation::Register(bool localServer)
{
    IDispatch* application = m_application.Dispatch();
    HRESULT hr =
        RegisterActiveObject(application, kOutlookClsid, ACTIVEOBJECT_STRONG, &m_tableCookie);
    if (FAILED(hr)) {
        // Scripts play on without it; a local server is there for nothing else.
        m_tableCookie = 0;
        if (localServer)
            m_report.Error(L"cannot enter the running object table");
        else
            m_report.Line(L"not in the running object table");
        return !localServer;
    }
    if (!localServer)
        return true;
    // Objects start with no reference: the holder takes the first.
    m_factory = CComPtr<IClassFactory>(new (std::nothrow) CApplicationFactory(application));
    if (!m_factory)
        return false;
    hr = CoRegisterClassObject(kOutlookClsid, m_factory.Get(), CLSCTX_LOCAL_SERVER,
                               REGCLS_MULTIPLEUSE, &m_classCookie);
    if (FAILED(hr)) {
        m_classCookie = 0;
        m_report.Error(L"cannot register the class object");
        return false;
    }
    m_report.Line(L"local server");
    return true;
}

bool ServeOtherPrograms(standin::CApplication& application, CReport& report, DWORD timeoutMs)
{
    // A mail another program showed before this began counts: its calls may
    // have come in while the script's last action still ran messages (a
    // dialog of Outlook's closing, the program trying again).
    static size_t served = 0;
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    while (DisplaysCalled() == served) {
        if (GetTickCount64() >= until) {
            report.Error(L"no program showed a mail within " + std::to_wstring(timeoutMs) + L" ms");
            return false;
        }
        Pump(20);
    }
    served = DisplaysCalled();
    // What a client does right after Display (its message box, its release).
    Pump(300);
    for (const auto& inspector : application.Inspectors().Open()) {
        standin::CItem& item = inspector->CurrentItem();
        if (item.Class() != 43)
            continue;
        report.Line(L"mail " + Quoted(item.Subject()) + L" body " + Quoted(item.Body()));
        standin::CAttachments& attachments = item.Attachments();
        for (size_t i = 0; i < attachments.Count(); ++i) {
            const standin::CAttachment* attachment = attachments.At(i);
            report.Line(L"attachment " + Quoted(attachment->DisplayName()) + L" position " +
                        std::to_wstring(attachment->Position()) + L" file " +
                        Quoted(attachment->FileName()) + L" bytes " +
                        std::to_wstring(attachment->Bytes().size()));
        }
    }
    return true;
}

bool CComActivation::IsEmbedding(const std::wstring& commandLine)
{
    return commandLine.find(L"-Embedding") != std::wstring::npos ||
           commandLine.find(L"/Embedding") != std::wstring::npos;
}

} // namespace host
