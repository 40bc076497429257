// Send: a new Outlook mail that carries the template file, for the user to
// address and send. Another installation's add-in recognises it by its
// subject and offers to import the attachment.
#include "editor/EditorResource.h"
#include "editor/app/BusyRetry.h"
#include "editor/dialogs/DlgEditError.h"
#include "editor/main/EditDlg.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"

using namespace automation;
using busyretry::CallRetrying;
using busyretry::IsRefused;

namespace {

constexpr long kMailItem = 0;
constexpr long kAttachByValue = 1;

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

// Outlook's answer while a dialog of its own runs: it refused the calls for
// as long as the editor tried them again, or failed to show the mail.
void ShowOutlookBusy(HWND owner)
{
    MessageBoxA(owner, "The Template can't be sent until you close the current Outlook dialog box",
                "Inkstave Template Editor", MB_ICONEXCLAMATION | MB_OK);
}

// The Outlook we held has gone (closed, or crashed) since the last Send.
bool IsGone(HRESULT hr)
{
    return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) || hr == CO_E_OBJNOTCONNECTED;
}

} // namespace

HRESULT CEditDlg::GetOutlook()
{
    if (m_outlook)
        return S_OK;
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"Outlook.Application", &clsid);
    if (FAILED(hr))
        return hr;
    CComPtr<IUnknown> unknown;
    hr = GetActiveObject(clsid, nullptr, unknown.Put());
    if (FAILED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, unknown.PutVoid());
    if (FAILED(hr))
        return hr;
    return unknown->QueryInterface(IID_IDispatch, m_outlook.PutVoid());
}

HRESULT CEditDlg::AddTemplateAttachment(IDispatch* mail, long bodyLength)
{
    CVariant attachments;
    HRESULT hr = CallRetrying([&] { return GetProp(mail, L"Attachments", attachments.Put()); });
    if (FAILED(hr))
        return hr;
    if (!IsObject(attachments))
        return E_FAIL;
    CBstr path(m_working.m_filePath);
    CBstr name(m_working.m_name);
    // Source, type, position, display name: in automation order, last first.
    VARIANT args[] = {BorrowedTextArg(name.Get()), LongArg(bodyLength + 1), LongArg(kAttachByValue),
                      BorrowedTextArg(path.Get())};
    return CallRetrying([&] { return CallMethod(attachments.pdispVal, L"Add", nullptr, 4, args); });
}

HRESULT CEditDlg::MailTemplate()
{
    VARIANT kind[] = {LongArg(kMailItem)};
    CVariant mail;
    HRESULT hr = CallRetrying(
        [&] { return CallMethod(m_outlook.Get(), L"CreateItem", mail.Put(), 1, kind); });
    if (FAILED(hr))
        return hr;
    if (!IsObject(mail))
        return E_FAIL;
    const CString subject = LoadText(IDS_TEMPLATE_SUBJECT);
    const CString body = LoadText(IDS_TEMPLATE_BODY);
    CVariant subjectValue(subject.GetString());
    CVariant bodyValue(body.GetString());
    hr = CallRetrying([&] { return PutProp(mail.pdispVal, L"Subject", &subjectValue); });
    if (SUCCEEDED(hr))
        hr = CallRetrying([&] { return PutProp(mail.pdispVal, L"Body", &bodyValue); });
    if (SUCCEEDED(hr))
        hr = AddTemplateAttachment(mail.pdispVal, body.GetLength());
    if (FAILED(hr))
        return hr;
    hr = CallRetrying([&] { return CallMethod(mail.pdispVal, L"Display", nullptr, 0, nullptr); });
    if (FAILED(hr)) {
        // A modal dialog of Outlook's refuses to show another window.
        ShowOutlookBusy(m_hWnd);
        return S_FALSE;
    }
    return S_OK;
}

void CEditDlg::OnSendTemplate()
{
    CLogBlock block("CEditDlg::OnSendTemplate");
    if (!m_current)
        return;
    // Only a file can be attached: a template is sent as it was last saved
    // into the template folder.
    if (OwnFile(m_working).IsEmpty()) {
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_SEND_FAILED), LoadText(IDS_SEND_NOT_SAVED));
        return;
    }
    HRESULT hr = GetOutlook();
    if (SUCCEEDED(hr)) {
        hr = MailTemplate();
        if (IsGone(hr)) {
            // Started again since: the next one is found afresh.
            m_outlook.Release();
            hr = GetOutlook();
            if (SUCCEEDED(hr))
                hr = MailTemplate();
        }
    }
    if (IsRefused(hr)) {
        ShowOutlookBusy(m_hWnd);
    } else if (FAILED(hr)) {
        TheLog().HResult("CEditDlg::OnSendTemplate", hr);
        const bool reached = m_outlook && !IsGone(hr);
        CString details = LoadText(IDS_SEND_NO_OUTLOOK);
        if (reached)
            details.Format("Outlook could not prepare the mail (error 0x%08lX).",
                           static_cast<unsigned long>(hr));
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_SEND_FAILED), details);
    }
}
