#include "editor/main/EditDlg.h"

#include <memory>

#include "classlib/ui/CButton.h"
#include "classlib/win32/Gdi.h"
#include "editor/EditorResource.h"
#include "editor/dialogs/AboutDlg.h"
#include "editor/dialogs/DlgEditError.h"
#include "editor/files/OpenDocument.h"
#include "shared/config/Config.h"

namespace {

constexpr UINT WM_TEMPLATE_CHANGED = WM_USER + 20;

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

const int kEditingControls[] = {IDC_SIGNATURE_DOC,   IDC_REFERENCE_DOC,  IDC_INFO_DOC,
                                IDC_POSITIONING,     IDC_MODE,           IDC_OPEN_SIGNATURE,
                                IDC_OPEN_REFERENCE,  IDC_OPEN_INFO,      IDC_SIGTYPE_ELECTRONIC,
                                IDC_SIGTYPE_WRITTEN, IDC_SIGTYPE_EITHER, IDC_SUBJECT,
                                IDC_MESSAGE,         IDC_PASSWORD,       IDC_CONFIRM,
                                IDC_SIGNER_LIST,     IDC_MOUSE_TOUCH,    IDC_HIDE_EMAILS};

const int kSignatureTypes[] = {IDC_SIGTYPE_ELECTRONIC, IDC_SIGTYPE_WRITTEN, IDC_SIGTYPE_EITHER};

} // namespace

CEditDlg::CEditDlg(HWND parent) : CDialog(IDD_INKEDIT_DIALOG, parent) {}

CEditDlg::~CEditDlg() = default;

// ---- start-up ----

BOOL CEditDlg::OnInitDialog()
{
    m_templateList.Attach(GetDlgItem(IDC_TEMPLATE_LIST));
    m_signatureList.Attach(GetDlgItem(IDC_SIGNATURE_DOC));
    m_referenceList.Attach(GetDlgItem(IDC_REFERENCE_DOC));
    m_infoList.Attach(GetDlgItem(IDC_INFO_DOC));
    m_positioning.Attach(GetDlgItem(IDC_POSITIONING));
    m_mode.Attach(GetDlgItem(IDC_MODE));
    m_signers.Attach(GetDlgItem(IDC_SIGNER_LIST));
    CDialog::OnInitDialog();
    const int openIds[] = {IDC_OPEN_SIGNATURE, IDC_OPEN_REFERENCE, IDC_OPEN_INFO};
    for (int i = 0; i < 3; ++i)
        m_openButtons[i].AutoLoad(openIds[i], m_hWnd);

    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    const CString about = LoadText(IDS_ABOUTBOX);
    if (systemMenu && !about.IsEmpty()) {
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
    }

    m_icon = LoadIconA(GetResourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

    if (m_toolBar.CreateEx(m_hWnd, TBSTYLE_FLAT,
                           WS_CHILD | WS_VISIBLE | CBRS_ALIGN_ANY | CBRS_BORDER_BOTTOM |
                               CBRS_TOOLTIPS | CBRS_FLYBY) &&
        m_toolBar.LoadToolBar(IDR_TOOLBAR)) {
        for (UINT command = ID_SAVE_TEMPLATE; command <= ID_MOVE_SIGNER_DOWN; ++command)
            m_toolBar.EnableButton(command, FALSE);
        m_toolBar.EnableToolTips(TRUE);
        RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);
    }

    m_browseText = LoadText(IDS_BROWSE);
    m_removeText = LoadText(IDS_REMOVE);
    m_placeholderText = LoadText(IDS_ADD_DOCUMENT);
    m_attachmentText = LoadText(IDS_OUTLOOK_ATTACHMENT);
    m_senderText = LoadText(IDS_SENDER);
    m_recipientText = LoadText(IDS_RECIPIENT);

    m_positioning.AddString("automatically (use Tagwise)");
    m_positioning.AddString("manually (use browser)");
    m_mode.AddString("normal");
    m_mode.AddString("broadcast");

    FillTemplateList();
    ShowTemplate(nullptr);
    if (!InitSignerList())
        return FALSE;
    MakeDocumentRecords();
    return TRUE;
}

void CEditDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_SUBJECT, m_working.m_subject);
    DDX_Text(dx, IDC_PASSWORD, m_working.m_sendOptions.m_password);
    // The message edit shows lines with "\r\n"; the template keeps "\n".
    CString message = m_working.m_message;
    if (!dx.m_bSaveAndValidate)
        message.Replace("\n", "\r\n");
    DDX_Text(dx, IDC_MESSAGE, message);
    if (dx.m_bSaveAndValidate) {
        message.Replace("\r\n", "\n");
        m_working.m_message = message;
        for (int i = 0; i < 3; ++i) {
            if (IsDlgButtonChecked(kSignatureTypes[i]) == BST_CHECKED)
                m_signatureType = i;
        }
    } else {
        for (int i = 0; i < 3; ++i)
            CheckDlgButton(kSignatureTypes[i], i == m_signatureType ? BST_CHECKED : BST_UNCHECKED);
    }
}

void CEditDlg::FillTemplateList()
{
    m_library.LoadTemplates(nullptr);
    m_templateList.ResetContent();
    m_templateList.SetCurSel(m_templateList.AddString(LoadText(IDS_SELECT_TEMPLATE)));
    // In library order, above the placeholder.
    int listed = 0;
    for (CTemplate* tmpl : m_library.GetTemplates()) {
        if (!tmpl->m_signatureDoc || tmpl->m_signatureDoc->m_name.IsEmpty())
            continue;
        const int index = m_templateList.InsertString(listed, tmpl->m_name);
        if (index < 0)
            continue;
        m_templateList.SetItemData(index, reinterpret_cast<DWORD_PTR>(tmpl));
        ++listed;
    }
}

int CEditDlg::AddTemplateEntry(CTemplate* tmpl, bool sorted)
{
    const int index = sorted ? m_templateList.AddString(tmpl->m_name)
                             : m_templateList.InsertString(-1, tmpl->m_name);
    if (index >= 0)
        m_templateList.SetItemData(index, reinterpret_cast<DWORD_PTR>(tmpl));
    return index;
}

CTempDoc* CEditDlg::KeepRecord(std::unique_ptr<CTempDoc> record)
{
    CTempDoc* kept = record.get();
    m_documents.AddTail(kept);
    record.release();
    return kept;
}

void CEditDlg::MakeDocumentRecords()
{
    auto browse = std::make_unique<CTempDoc>();
    browse->m_name = m_browseText;
    m_browseRecord = KeepRecord(std::move(browse));
    for (CComboBox* list : {&m_signatureList, &m_referenceList, &m_infoList}) {
        const int index = list->AddString(m_browseText);
        list->SetItemData(index, reinterpret_cast<DWORD_PTR>(m_browseRecord));
    }

    auto attachment = std::make_unique<CTempDoc>();
    attachment->m_name = m_attachmentText;
    attachment->m_key = m_attachmentText;
    attachment->m_string1 = m_attachmentText;
    attachment->m_kind = CTempDoc::kKeyIsName;
    m_attachmentRecord = KeepRecord(std::move(attachment));
    const int index = m_signatureList.AddString(m_attachmentText);
    m_signatureList.SetItemData(index, reinterpret_cast<DWORD_PTR>(m_attachmentRecord));

    auto remove = std::make_unique<CTempDoc>();
    remove->m_name = m_removeText;
    m_removeRecord = KeepRecord(std::move(remove));
}

// ---- showing a template ----

bool CEditDlg::IsDocumentEntry(const CComboBox& list, int index) const
{
    if (index < 0)
        return false;
    const DWORD_PTR data = list.GetItemData(index);
    const auto* record = reinterpret_cast<const CTempDoc*>(data);
    return record && data != static_cast<DWORD_PTR>(CB_ERR) && record != m_browseRecord &&
           record != m_removeRecord;
}

void CEditDlg::CleanDocumentList(CComboBox& list)
{
    for (int i = list.GetCount() - 1; i >= 0; --i) {
        const auto* record = reinterpret_cast<const CTempDoc*>(list.GetItemData(i));
        if (record && record != m_browseRecord)
            list.DeleteString(i);
    }
}

int CEditDlg::EnsurePlaceholder(CComboBox& list)
{
    for (int i = 0; i < list.GetCount(); ++i) {
        if (!list.GetItemData(i) && list.GetLBText(i) == m_placeholderText)
            return i;
    }
    return list.AddString(m_placeholderText);
}

CComboBox& CEditDlg::DocumentList(int listId)
{
    return listId == IDC_SIGNATURE_DOC   ? m_signatureList
           : listId == IDC_REFERENCE_DOC ? m_referenceList
                                         : m_infoList;
}

int& CEditDlg::PreviousSelection(int listId)
{
    return listId == IDC_SIGNATURE_DOC   ? m_previousSignature
           : listId == IDC_REFERENCE_DOC ? m_previousReference
                                         : m_previousInfo;
}

std::unique_ptr<CTempDoc>* CEditDlg::CurrentSlot(CTemplate& tmpl, int listId)
{
    return listId == IDC_SIGNATURE_DOC   ? &tmpl.m_signatureDoc
           : listId == IDC_REFERENCE_DOC ? &tmpl.m_referenceDoc
                                         : &tmpl.m_infoDoc;
}

void CEditDlg::ShowTemplate(CTemplate* shown)
{
    m_signers.DeleteAllItems();
    EnableTemplateControls(shown != nullptr);
    if (!shown) {
        for (int id : {IDC_SUBJECT, IDC_MESSAGE, IDC_PASSWORD, IDC_CONFIRM})
            GetDlgItem(id).SetWindowText("");
        return;
    }

    m_working = *shown;
    m_signatureType = m_working.m_sendOptions.m_signatureType;
    UpdateData(FALSE);

    // The documents of templates shown before leave the lists, and the
    // records made for them go: each template shown brings its own.
    for (int i = m_signatureList.GetCount() - 1; i >= 0; --i) {
        if (IsDocumentEntry(m_signatureList, i) &&
            m_signatureList.GetItemData(i) != reinterpret_cast<DWORD_PTR>(m_attachmentRecord))
            m_signatureList.DeleteString(i);
    }
    CleanDocumentList(m_referenceList);
    CleanDocumentList(m_infoList);
    for (CTempDoc* record : m_shownRecords) {
        if (POSITION pos = m_documents.Find(record))
            delete m_documents.RemoveAt(pos);
    }
    m_shownRecords.clear();
    const auto keepShown = [this](const CTempDoc& doc) {
        CTempDoc* own = KeepRecord(std::make_unique<CTempDoc>(doc));
        m_shownRecords.push_back(own);
        return own;
    };

    // The signature document: an embedded one is listed as the template's
    // own record.
    const CTempDoc* signature = m_working.m_signatureDoc.get();
    if (signature && signature->m_kind == CTempDoc::kEmbedded) {
        CTempDoc* own = keepShown(*signature);
        const int index = m_signatureList.AddString(own->m_name);
        m_signatureList.SetItemData(index, reinterpret_cast<DWORD_PTR>(own));
        m_signatureList.SetCurSel(index);
        m_previousSignature = index;
    } else {
        const int index = signature ? static_cast<int>(m_signatureList.SendMessage(
                                          CB_FINDSTRING, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(signature->m_name.GetString())))
                                    : CB_ERR;
        m_signatureList.SetCurSel(index);
        m_previousSignature = index;
    }

    const struct {
        int listId;
        const CTempDoc* doc;
    } others[] = {{IDC_REFERENCE_DOC, m_working.m_referenceDoc.get()},
                  {IDC_INFO_DOC, m_working.m_infoDoc.get()}};
    for (const auto& [listId, doc] : others) {
        CComboBox& list = DocumentList(listId);
        int index = CB_ERR;
        if (doc) {
            CTempDoc* own = keepShown(*doc);
            index = list.AddString(own->m_name);
            list.SetItemData(index, reinterpret_cast<DWORD_PTR>(own));
        } else {
            index = EnsurePlaceholder(list);
        }
        list.SetCurSel(index);
        PreviousSelection(listId) = index;
    }
    for (int listId : {IDC_SIGNATURE_DOC, IDC_REFERENCE_DOC, IDC_INFO_DOC})
        UpdateOpenButton(listId);

    const CSendOptions& options = m_working.m_sendOptions;
    m_positioning.SetCurSel(options.m_positioning == 1 ? kManual : kAutomatic);
    m_mode.SetCurSel(options.m_sendMode == CSendOptions::kBroadcast ? kBroadcast : kNormal);
    CheckDlgButton(IDC_MOUSE_TOUCH, options.m_mouseSignAllowed ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_HIDE_EMAILS, options.m_hideEmailAddrs ? BST_CHECKED : BST_UNCHECKED);

    CString message = m_working.m_message;
    message.Replace("\n", "\r\n");
    GetDlgItem(IDC_SUBJECT).SetWindowText(m_working.m_subject);
    GetDlgItem(IDC_MESSAGE).SetWindowText(message);
    GetDlgItem(IDC_PASSWORD).SetWindowText(options.m_password);
    GetDlgItem(IDC_CONFIRM).SetWindowText(options.m_password);

    // Drawn once, when every row is in.
    m_signers.SendMessage(WM_SETREDRAW, FALSE, 0);
    for (CRecip* signer : m_working.m_signers) {
        if (!signer->m_skip)
            AddSignerRow(signer);
    }
    m_signers.SendMessage(WM_SETREDRAW, TRUE, 0);
    m_signers.Invalidate();
}

void CEditDlg::EnableTemplateControls(BOOL enable)
{
    for (int id : kEditingControls)
        GetDlgItem(id).EnableWindow(enable);
    m_toolBar.EnableButton(ID_DELETE_TEMPLATE, enable);
    m_toolBar.EnableButton(ID_SEND_TEMPLATE, enable);
    m_toolBar.EnableButton(ID_NEW_SIGNER, enable);
    m_toolBar.EnableButton(ID_DELETE_SIGNER, FALSE);
    m_toolBar.EnableButton(ID_MOVE_SIGNER_UP, FALSE);
    m_toolBar.EnableButton(ID_MOVE_SIGNER_DOWN, FALSE);
}

void CEditDlg::OnSelectTemplate()
{
    const int index = m_templateList.GetCurSel();
    DWORD_PTR data = index >= 0 ? m_templateList.GetItemData(index) : 0;
    if (data == static_cast<DWORD_PTR>(CB_ERR))
        data = 0;
    auto* chosen = reinterpret_cast<CTemplate*>(data);
    // The changes to the template shown so far can still be saved, whether
    // another template or none comes next (the keyboard reaches "<click to
    // select template>"); when that failed, they stay on screen.
    if (!AskSave()) {
        for (int i = 0; i < m_templateList.GetCount(); ++i) {
            if (m_templateList.GetItemData(i) == reinterpret_cast<DWORD_PTR>(m_current))
                m_templateList.SetCurSel(i);
        }
        return;
    }
    m_current = chosen;
    ShowTemplate(m_current);
    ClearModified();
}

// ---- document lists ----

void CEditDlg::OnDocumentChosen(int listId)
{
    CComboBox& list = DocumentList(listId);
    const int index = list.GetCurSel();
    if (index < 0)
        return;
    DWORD_PTR data = list.GetItemData(index);
    auto* record =
        data == static_cast<DWORD_PTR>(CB_ERR) ? nullptr : reinterpret_cast<CTempDoc*>(data);
    if (!record)
        return;
    int& previous = PreviousSelection(listId);
    if (record->m_name == m_browseText) {
        const char* type = listId == IDC_SIGNATURE_DOC   ? "Signature"
                           : listId == IDC_REFERENCE_DOC ? "Reference"
                                                         : "Informative";
        BrowseDocument(list, type, previous);
        return;
    }
    if (listId != IDC_SIGNATURE_DOC && record->m_name == m_removeText) {
        CleanDocumentList(list);
        list.SetCurSel(EnsurePlaceholder(list));
        previous = list.GetCurSel();
        SetModified();
        GetDlgItem(listId == IDC_REFERENCE_DOC ? IDC_OPEN_REFERENCE : IDC_OPEN_INFO)
            .EnableWindow(FALSE);
        CurrentSlot(m_working, listId)->reset();
        return;
    }
    // Another document: Save takes it from the list.
    if (index != previous) {
        previous = index;
        SetModified();
    }
}

void CEditDlg::OnDropDown(int listId)
{
    if (listId == IDC_TEMPLATE_LIST) {
        const int placeholder = m_templateList.FindStringExact(-1, LoadText(IDS_SELECT_TEMPLATE));
        if (placeholder >= 0 && !m_templateList.GetItemData(placeholder))
            m_templateList.DeleteString(placeholder);
        return;
    }
    CComboBox& list = DocumentList(listId);
    if (IsDocumentEntry(list, list.GetCurSel())) {
        bool listed = false;
        for (int i = 0; i < list.GetCount(); ++i)
            listed = listed || list.GetItemData(i) == reinterpret_cast<DWORD_PTR>(m_removeRecord);
        if (!listed) {
            const int at = list.InsertString(0, m_removeText);
            if (at >= 0)
                list.SetItemData(at, reinterpret_cast<DWORD_PTR>(m_removeRecord));
        }
    }
    for (int i = list.GetCount() - 1; i >= 0; --i) {
        if (!list.GetItemData(i) && list.GetLBText(i) == m_placeholderText)
            list.DeleteString(i);
    }
    PreviousSelection(listId) = list.GetCurSel();
}

// ---- positioning and mode ----

int CEditDlg::Positioning() const
{
    return m_positioning.GetCurSel() == kManual ? kManual : kAutomatic;
}

int CEditDlg::Mode() const
{
    return m_mode.GetCurSel();
}

void CEditDlg::ShowError(UINT messageId, UINT detailsId)
{
    editor::CDlgError::Show(m_hWnd, messageId ? LoadText(messageId) : CString(),
                            LoadText(detailsId));
}

void CEditDlg::OnPositioningChanged()
{
    if (Positioning() == kAutomatic) {
        RenumberSigners();
        m_signers.Invalidate();
        SetModified();
        return;
    }
    // A broadcast goes to each recipient alone, with the signatures placed
    // by the service: nobody is there to place them by hand.
    if (Mode() == kBroadcast) {
        ShowError(IDS_SETTINGS_CONFLICT, IDS_BROADCAST_NEEDS_AUTO);
        m_positioning.SetCurSel(kAutomatic);
        return;
    }
    SetModified();
}

void CEditDlg::OnModeChanged()
{
    if (Mode() == kBroadcast && Positioning() == kManual) {
        ShowError(IDS_SETTINGS_CONFLICT, IDS_BROADCAST_NEEDS_AUTO);
        m_mode.SetCurSel(kNormal);
        return;
    }
    SetModified();
}

// ---- opening a document ----

void CEditDlg::OnOpenButton(int buttonId)
{
    if (!m_current)
        return;
    const int listId = buttonId == IDC_OPEN_SIGNATURE   ? IDC_SIGNATURE_DOC
                       : buttonId == IDC_OPEN_REFERENCE ? IDC_REFERENCE_DOC
                                                        : IDC_INFO_DOC;
    CComboBox& list = DocumentList(listId);
    const int index = list.GetCurSel();
    if (!IsDocumentEntry(list, index))
        return;
    const auto* record = reinterpret_cast<const CTempDoc*>(list.GetItemData(index));
    if (OpenDocument(*record, m_openedCopies) == E_INVALIDARG)
        ShowError(IDS_OPEN_REFUSED, IDS_OPEN_REFUSED);
}

void CEditDlg::UpdateOpenButton(int listId)
{
    const CComboBox& list = DocumentList(listId);
    const int index = list.GetCurSel();
    const bool openable =
        IsDocumentEntry(list, index) &&
        CanOpenDocument(*reinterpret_cast<const CTempDoc*>(list.GetItemData(index)));
    const int buttonId = listId == IDC_SIGNATURE_DOC   ? IDC_OPEN_SIGNATURE
                         : listId == IDC_REFERENCE_DOC ? IDC_OPEN_REFERENCE
                                                       : IDC_OPEN_INFO;
    GetDlgItem(buttonId).EnableWindow(openable);
}

// ---- the modified state ----

void CEditDlg::SetModified()
{
    if (!m_current)
        return;
    m_modified = 1;
    m_toolBar.EnableButton(ID_SAVE_TEMPLATE, TRUE);
}

void CEditDlg::ClearModified()
{
    m_modified = 0;
    m_toolBar.EnableButton(ID_SAVE_TEMPLATE, FALSE);
}

bool CEditDlg::AskSave()
{
    if (!m_modified)
        return true;
    CConfig config;
    if (MessageBoxA(m_hWnd, LoadText(IDS_ASK_SAVE), config.GetDisplayName(),
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return true;
    return OnSaveTemplate();
}

// ---- messages ----

BOOL CEditDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    // Toolbar buttons send their command without a notification code.
    if (lParam && reinterpret_cast<HWND>(lParam) == m_toolBar.GetSafeHwnd()) {
        switch (id) {
        case ID_OPEN_TEMPLATE:
            OnOpenTemplate();
            return TRUE;
        case ID_NEW_TEMPLATE:
            OnNewTemplate();
            return TRUE;
        case ID_SAVE_TEMPLATE:
            (void)OnSaveTemplate();
            return TRUE;
        case ID_SEND_TEMPLATE:
            OnSendTemplate();
            return TRUE;
        case ID_DELETE_TEMPLATE:
            OnDeleteTemplate();
            return TRUE;
        case ID_NEW_SIGNER:
            OnNewSigner();
            return TRUE;
        case ID_DELETE_SIGNER:
            OnDeleteSigner();
            return TRUE;
        case ID_MOVE_SIGNER_UP:
            OnMoveSignerUp();
            return TRUE;
        case ID_MOVE_SIGNER_DOWN:
            OnMoveSignerDown();
            return TRUE;
        default:
            return FALSE;
        }
    }
    switch (id) {
    case IDOK:
    case IDCANCEL:
        // Return and Escape end the program as closing it does: changes
        // are offered for saving first, never dropped unasked, and a save
        // that failed keeps the program open with them.
        if (AskSave())
            EndDialog(id);
        return TRUE;
    case IDC_TEMPLATE_LIST:
        if (code == CBN_SELCHANGE)
            OnSelectTemplate();
        else if (code == CBN_DROPDOWN)
            OnDropDown(id);
        return TRUE;
    case IDC_SIGNATURE_DOC:
    case IDC_REFERENCE_DOC:
    case IDC_INFO_DOC:
        if (code == CBN_SELCHANGE) {
            OnDocumentChosen(id);
            UpdateOpenButton(id);
        } else if (code == CBN_DROPDOWN && id != IDC_SIGNATURE_DOC) {
            OnDropDown(id);
        }
        return TRUE;
    case IDC_POSITIONING:
        if (code == CBN_SELCHANGE)
            OnPositioningChanged();
        return TRUE;
    case IDC_MODE:
        if (code == CBN_SELCHANGE)
            OnModeChanged();
        return TRUE;
    case IDC_SUBJECT:
    case IDC_MESSAGE:
    case IDC_PASSWORD:
    case IDC_CONFIRM:
        if (code == EN_CHANGE)
            SetModified();
        return TRUE;
    case IDC_SIGTYPE_ELECTRONIC:
    case IDC_SIGTYPE_WRITTEN:
    case IDC_SIGTYPE_EITHER:
    case IDC_MOUSE_TOUCH:
    case IDC_HIDE_EMAILS:
        if (code == BN_CLICKED)
            SetModified();
        return TRUE;
    case IDC_OPEN_SIGNATURE:
    case IDC_OPEN_REFERENCE:
    case IDC_OPEN_INFO:
        if (code == BN_CLICKED)
            OnOpenButton(id);
        return TRUE;
    default:
        return CDialog::OnCommand(wParam, lParam);
    }
}

BOOL CEditDlg::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header)
        return FALSE;
    if (header->code == TTN_NEEDTEXTA || header->code == TTN_NEEDTEXTW)
        return OnToolTipText(header);
    if (header->idFrom == IDC_SIGNER_LIST) {
        if (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW) {
            OnSignerDispInfo(header);
            *result = 0;
            return TRUE;
        }
        if (header->code == NM_CLICK) {
            UpdateSignerButtons();
            *result = 0;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CEditDlg::OnToolTipText(NMHDR* header)
{
    UINT_PTR id = header->idFrom;
    bool isWindow = header->code == TTN_NEEDTEXTA
                        ? (reinterpret_cast<NMTTDISPINFOA*>(header)->uFlags & TTF_IDISHWND) != 0
                        : (reinterpret_cast<NMTTDISPINFOW*>(header)->uFlags & TTF_IDISHWND) != 0;
    if (isWindow)
        id = static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(id)));
    char text[256] = {};
    if (!id || LoadStringA(GetResourceModule(), static_cast<UINT>(id), text, 255) <= 0)
        return FALSE;
    const CString tip = CToolBar::TipOf(text);
    if (header->code == TTN_NEEDTEXTA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        lstrcpynA(info->szText, tip, sizeof info->szText);
        info->lpszText = info->szText;
    } else {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        MultiByteToWideChar(CP_ACP, 0, tip, -1, info->szText, 80);
        info->szText[79] = L'\0';
        info->lpszText = info->szText;
    }
    return TRUE;
}

BOOL CEditDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about(m_hWnd);
            about.DoModal();
            result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_icon);
        return TRUE;
    case WM_TEMPLATE_CHANGED:
        SetModified();
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}

void CEditDlg::OnPaint()
{
    if (!IsIconic(m_hWnd)) {
        Default();
        return;
    }
    CPaintDC paint(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Get()));
    RECT area{};
    GetClientRect(&area);
    const int x = (area.right - area.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (area.bottom - area.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.Get(), x, y, m_icon);
}
