#include "editor/dialogs/DlgNewTemplate.h"

#include "editor/EditorResource.h"
#include "editor/dialogs/DlgEditError.h"
#include "editor/files/FilePickers.h"
#include "editor/main/SampleAddresses.h"

namespace {

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

} // namespace

CDlgNewTemplate::CDlgNewTemplate(HWND parent) : CDialog(IDD_NEW_TEMPLATE, parent) {}

CDlgNewTemplate::~CDlgNewTemplate() = default;

CTempDoc* CDlgNewTemplate::TakeBrowsed()
{
    if (CTempDoc* browsed = m_browsed.get()) {
        if (POSITION pos = m_choices.Find(browsed))
            m_choices.RemoveAt(pos);
    }
    return m_browsed.release();
}

BOOL CDlgNewTemplate::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_documents.Attach(GetDlgItem(IDC_NEW_DOCUMENT));
    m_ok = GetDlgItem(IDOK);
    m_name.Attach(GetDlgItem(IDC_NEW_NAME));
    m_role.Attach(GetDlgItem(IDC_NEW_SENDER_ROLE));
    for (CTempDoc* choice : m_choices) {
        const int index = m_documents.AddString(choice->m_name);
        if (index >= 0)
            m_documents.SetItemData(index, reinterpret_cast<DWORD_PTR>(choice));
    }
    UpdateOK();
    return TRUE;
}

BOOL CDlgNewTemplate::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_NEW_DOCUMENT && code == CBN_SELCHANGE) {
        OnDocumentChanged();
        return TRUE;
    }
    if ((id == IDC_NEW_NAME || id == IDC_NEW_SENDER_ROLE) && code == EN_CHANGE) {
        UpdateOK();
        return TRUE;
    }
    if (id == IDC_NEW_SENDER_SIGNS && code == BN_CLICKED) {
        OnSenderCheck();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CDlgNewTemplate::UpdateOK()
{
    const bool signs = IsDlgButtonChecked(IDC_NEW_SENDER_SIGNS) == BST_CHECKED;
    m_ok.EnableWindow(m_documents.GetCurSel() >= 0 && m_name.GetWindowTextLength() > 0 &&
                      (!signs || m_role.GetWindowTextLength() > 0));
}

void CDlgNewTemplate::OnSenderCheck()
{
    m_role.EnableWindow(IsDlgButtonChecked(IDC_NEW_SENDER_SIGNS) == BST_CHECKED);
    UpdateOK();
}

void CDlgNewTemplate::OnDocumentChanged()
{
    const int selected = m_documents.GetCurSel();
    if (selected < 0) {
        UpdateOK();
        return;
    }
    const auto* record = reinterpret_cast<const CTempDoc*>(m_documents.GetItemData(selected));
    if (record && record->m_name == LoadText(IDS_BROWSE)) {
        CString name;
        CString path;
        if (PickDocumentFile(m_hWnd, name, path) != IDOK) {
            m_documents.SetCurSel(m_previous);
            UpdateOK();
            return;
        }
        auto browsed = PickedDocument(name, path, "Signature");
        // Only the latest browse is offered; the earlier record goes.
        if (m_browsed) {
            for (int i = m_documents.GetCount() - 1; i >= 0; --i) {
                if (m_documents.GetItemData(i) == reinterpret_cast<DWORD_PTR>(m_browsed.get()))
                    m_documents.DeleteString(i);
            }
            if (POSITION pos = m_choices.Find(m_browsed.get()))
                m_choices.RemoveAt(pos);
        }
        m_browsed = std::move(browsed);
        m_choices.AddTail(m_browsed.get());
        const int index = m_documents.AddString(m_browsed->m_name);
        m_documents.SetItemData(index, reinterpret_cast<DWORD_PTR>(m_browsed.get()));
        m_documents.SetCurSel(index);
    }
    m_previous = m_documents.GetCurSel();
    UpdateOK();
}

void CDlgNewTemplate::OnOK()
{
    const int selected = m_documents.GetCurSel();
    if (selected < 0)
        return;
    const CString name = m_name.GetWindowText();
    CString path;
    const bool fits = m_folder.IsEmpty()
                          ? CTemplate::IsValidName(name)
                          : SUCCEEDED(CTemplate::PathInFolder(m_folder, name + ".xml", path));
    if (!fits) {
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_BAD_TEMPLATE_NAME),
                                LoadText(IDS_BAD_TEMPLATE_NAME_DETAILS));
        m_name.SetFocus();
        return;
    }
    if (m_mayTake && !m_mayTake(m_hWnd, name)) {
        m_name.SetFocus();
        return;
    }

    m_template.m_name = name;
    m_template.m_subject = LoadText(IDS_DEFAULT_SUBJECT);
    m_template.m_message = LoadText(IDS_DEFAULT_MESSAGE);

    auto recipient = std::make_unique<CRecip>("Signer");
    recipient->m_name = LoadText(IDS_RECIPIENT);
    recipient->m_email = kSampleRecipientAddress;
    recipient->m_recipType = 1;
    recipient->m_sequence = 1;
    recipient->m_sequenceText = "1";
    recipient->m_role = "Customer";
    m_template.m_signers.AddHead(recipient.release());

    if (IsDlgButtonChecked(IDC_NEW_SENDER_SIGNS) == BST_CHECKED) {
        auto sender = std::make_unique<CRecip>("Signer");
        sender->m_name = LoadText(IDS_SENDER);
        sender->m_email = kSampleSenderAddress;
        sender->m_sender = 1;
        sender->m_recipType = 1;
        sender->m_sequence = 2;
        sender->m_sequenceText = "2";
        sender->m_role = m_role.GetWindowText();
        m_template.m_signers.AddHead(sender.release());
    }

    const auto* record = reinterpret_cast<const CTempDoc*>(m_documents.GetItemData(selected));
    m_template.m_signatureDoc = record ? std::make_unique<CTempDoc>(*record) : nullptr;
    if (m_template.m_signatureDoc)
        m_template.m_signatureDoc->m_type = "Signature";
    EndDialog(IDOK);
}
