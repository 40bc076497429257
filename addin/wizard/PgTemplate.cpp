#include "addin/wizard/PgTemplate.h"

#include "addin/AddinResource.h"
#include "addin/wizard/WizSheet.h"
#include "classlib/strings/LoadText.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/Base64Coder.h"

namespace {

// Where text has sub last, or -1.
int FindLast(const CString& text, const char* sub)
{
    int found = -1;
    for (int at = text.Find(sub); at >= 0; at = text.Find(sub, at + 1))
        found = at;
    return found;
}

} // namespace

CPgTemplate::CPgTemplate(DWORD kind)
    : CWizPage(kind, IDD_WIZ_TEMPLATE),
      m_prompt(LoadText(IDS_TEMPLATE_PROMPT, "<click here to select a template>")),
      m_values(IDC_TEMPLATE_VALUES, this)
{}

BOOL CPgTemplate::OnInitDialog()
{
    CWizPage::OnInitDialog();
    m_combo.Attach(GetDlgItem(IDC_TEMPLATE_COMBO));
    m_values.SubclassDlgItem(IDC_TEMPLATE_VALUES, m_hWnd);
    FillTemplates(true);
    m_values.InsertColumn(0, "Template Attribute", LVCFMT_LEFT, 75);
    m_values.InsertColumn(1, "Value", LVCFMT_LEFT, 75);
    FitColumns();
    EnableValues(false);
    // An owner-drawn list asks for its row height as it is made or
    // resized; where that happened before the page could answer, a resize
    // asks again.
    RECT frame{};
    m_values.GetWindowRect(&frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    m_values.SetWindowPos(nullptr, 0, 0, width, height - 1, flags);
    m_values.SetWindowPos(nullptr, 0, 0, width, height, flags);
    return TRUE;
}

CTemplate* CPgTemplate::SelectedTemplate() const
{
    const int selected = m_combo.GetCurSel();
    // The prompt carries no template: it means none.
    return selected >= 0 ? reinterpret_cast<CTemplate*>(m_combo.GetItemData(selected)) : nullptr;
}

void CPgTemplate::EnableValues(bool enable)
{
    GetDlgItem(IDC_TEMPLATE_VALUES_LABEL).EnableWindow(enable);
    m_values.EnableWindow(enable);
}

void CPgTemplate::FitColumns()
{
    RECT frame{};
    m_values.GetWindowRect(&frame);
    const bool allShow = m_values.GetItemCount() <= m_values.GetCountPerPage();
    // Room for the vertical scroll bar only when it shows.
    const int each = (frame.right - frame.left + (allShow ? 16 : 0) - 20) / 2;
    m_values.SetColumnWidth(0, each);
    m_values.SetColumnWidth(1, each);
}

void CPgTemplate::FillTemplates(bool load)
{
    CWizSheet* sheet = GetWizSheet();
    EnableValues(false);
    if (load)
        sheet->m_library.LoadTemplates(nullptr);
    else
        m_combo.ResetContent();
    if (m_combo.FindStringExact(-1, m_prompt) == CB_ERR) {
        const int at = m_combo.AddString(m_prompt);
        m_combo.SetItemData(at, 0);
        m_combo.SetCurSel(at);
    }
    // Templates whose document is the mail's attachment need one.
    const bool hasAttachments = sheet->m_request.m_sendOptions.m_attachCount > 0;
    const CString placeholder = LoadText(IDS_ATTACHMENT_PLACEHOLDER, "<Outlook Attachment>");
    int count = 0;
    sheet->m_library.FindMatches(&sheet->m_request, count, nullptr, nullptr,
                                 hasAttachments ? "" : placeholder.GetString());
    for (CTemplate* stored : sheet->m_library.GetTemplates()) {
        const CTempDoc* document = stored->m_signatureDoc.get();
        if (!document || document->m_name.IsEmpty() || !stored->m_match)
            continue;
        const int at =
            m_combo.AddString(document->m_fromTemplate ? stored->m_name : document->m_name);
        m_combo.SetItemData(at, reinterpret_cast<DWORD_PTR>(stored));
    }
    PostButtonsFor(IsPageComplete());
}

BOOL CPgTemplate::OnSetActive()
{
    CTemplate* chosen = SelectedTemplate();
    FillTemplates(false);
    for (int i = 0; chosen && i < m_combo.GetCount(); ++i) {
        if (reinterpret_cast<CTemplate*>(m_combo.GetItemData(i)) == chosen) {
            m_combo.SetCurSel(i);
            break;
        }
    }
    return CWizPage::OnSetActive();
}

BOOL CPgTemplate::OnKillActive()
{
    return CWizPage::OnKillActive();
}

void CPgTemplate::DecodeEmbedded(CTemplate& chosen)
{
    CTempDoc* document = chosen.m_signatureDoc.get();
    if (!document || document->m_kind != CTempDoc::kEmbedded)
        return;
    const CString encoded = document->m_embeddedPath;
    const int at = FindLast(encoded, ".tmp");
    if (at < 0)
        return; // decoded the first time it was chosen
    const int dot = document->m_name.ReverseFind('.');
    CString decoded = encoded.Left(at);
    if (dot >= 0)
        decoded += "." + document->m_name.Mid(dot + 1);
    decoded += encoded.Mid(at + 4);
    File64Coder coder;
    if (!coder.DecodeFile(encoded, decoded)) {
        TheLog().CommentFormat("Could not decode the template document %s", encoded);
        return;
    }
    ::DeleteFileA(encoded);
    // The decoded file is the document's from now on, like the base64 one
    // was: it goes with the last copy that holds it (the library's, or the
    // request's once the mail has its attachment).
    document->TakeEmbeddedFile(decoded);
    CTempDoc* requested = GetWizSheet()->m_request.m_signatureDoc.get();
    if (requested && requested->m_embeddedPath == encoded)
        *requested = *document;
}

void CPgTemplate::OnTemplateSelected()
{
    CLogBlock block("CPgTemplate::OnTemplateSelected");
    // The rows an open editor writes to are about to go.
    m_values.CancelEdit();
    m_values.DeleteAllItems();
    CTemplate* chosen = SelectedTemplate();
    if (!chosen || !chosen->m_signatureDoc) {
        // The prompt: no template, nothing to apply.
        EnableValues(false);
        PostButtonsFor(IsPageComplete());
        return;
    }
    EnableValues(chosen->m_signatureDoc->m_fromTemplate != 0);

    CTemplate& request = GetWizSheet()->m_request;
    TheLog().HResult("CPgTemplate::OnTemplateSelected", request.ApplyTemplate(chosen));
    DecodeEmbedded(*chosen);
    TheLog().HResult("CPgTemplate::OnTemplateSelected", request.ApplyTemplate(chosen));
    TheLog().HResult("CPgTemplate::OnTemplateSelected", request.BuildKeywordRows());
    // Drawn once, when every row is in: a template of thousands of signers
    // would otherwise be drawn (and asked whether it is complete) for each.
    m_values.SendMessage(WM_SETREDRAW, FALSE, 0);
    int row = 0;
    for (CKeywordValue* value : request.m_keywordValues) {
        const int at = m_values.InsertItem(row++, LPSTR_TEXTCALLBACK, I_IMAGECALLBACK,
                                           reinterpret_cast<LPARAM>(value));
        if (at >= 0)
            m_values.SetItemText(at, 1, LPSTR_TEXTCALLBACK);
    }
    m_values.SendMessage(WM_SETREDRAW, TRUE, 0);
    m_values.Invalidate();
    if (chosen->m_signatureDoc->m_kind == CTempDoc::kEmbedded)
        request.CopyDocuments(*chosen);
    FitColumns();
    PostButtonsFor(IsPageComplete());
}

void CPgTemplate::OnValueChanged(int row)
{
    CKeywordValue* changed = m_values.GetValue(row);
    if (!changed)
        return;
    // A role is one signer's: the row that had it gives it up.
    for (int other = 0; other < m_values.GetItemCount(); ++other) {
        CKeywordValue* value = m_values.GetValue(other);
        if (other == row || !value || value->m_type != "List" ||
            !(value->m_value == changed->m_value))
            continue;
        value->m_value = value->m_prompt;
        m_values.SetItemText(other, 1, value->m_prompt);
        break;
    }
    GetWizSheet()->m_request.SetSignerRole(*changed);
}

BOOL CPgTemplate::IsPageComplete()
{
    // The prompt: the user goes on without a template, as the page says.
    if (!SelectedTemplate())
        return TRUE;
    CTemplate& request = GetWizSheet()->m_request;
    if (!request.m_signatureDoc)
        return FALSE;
    if (!request.m_signatureDoc->m_fromTemplate)
        return TRUE;
    // The list's rows are the request's keyword values, in their order.
    // They are walked here rather than asked of the list row by row: this
    // runs for every cell the list draws.
    int unset = 0;
    int unsetRow = -1;
    CKeywordValue* unsetValue = nullptr;
    int row = 0;
    for (CKeywordValue* value : request.m_keywordValues) {
        if (value->IsRoleRow() && value->m_type == "List" && value->m_value == value->m_prompt) {
            ++unset;
            unsetRow = row;
            unsetValue = value;
        }
        ++row;
    }
    if (unset == 1) {
        CKeywordValue* value = unsetValue;
        // One role row left with one role free: it can only be that one.
        if (request.AutoSelectRole(*value)) {
            m_values.SetItemText(unsetRow, 1, value->m_value);
            // Asked while the list draws, which then redraws nothing: it
            // draws again afterwards.
            m_values.Invalidate(FALSE);
            request.SetSignerRole(*value);
            return TRUE;
        }
    }
    return unset == 0;
}

void CPgTemplate::OnDisplayInfo(NMHDR* header)
{
    m_values.OnScrolled();
    // Next, not Finish: the positioning and sequence pages still have the
    // user's choices to offer once the values are set.
    PostButtonsFor(IsPageComplete());
    // Both forms start with the same item fields.
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    const CKeywordValue* value = m_values.GetValue(info->item.iItem);
    if (info->item.mask & LVIF_IMAGE)
        info->item.iImage = 0;
    if (!(info->item.mask & LVIF_TEXT))
        return;
    CString text;
    if (value && info->item.iSubItem == 0)
        text = value->m_label.IsEmpty() ? value->m_key : value->m_label;
    else if (value && info->item.iSubItem == 1)
        text = value->m_value;
    CListCtrl::SetDisplayText(header, text);
}

BOOL CPgTemplate::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) != IDC_TEMPLATE_COMBO)
        return CWizPage::OnCommand(wParam, lParam);
    switch (HIWORD(wParam)) {
    case CBN_DROPDOWN: {
        const int prompt = m_combo.FindStringExact(-1, m_prompt);
        if (prompt != CB_ERR)
            m_combo.DeleteString(prompt);
        return TRUE;
    }
    case CBN_CLOSEUP:
        if (m_combo.GetCurSel() == CB_ERR) {
            int prompt = m_combo.FindStringExact(-1, m_prompt);
            if (prompt == CB_ERR) {
                prompt = m_combo.AddString(m_prompt);
                m_combo.SetItemData(prompt, 0);
            }
            m_combo.SetCurSel(prompt);
        }
        return TRUE;
    case CBN_SELCHANGE:
        OnTemplateSelected();
        return TRUE;
    default:
        return CWizPage::OnCommand(wParam, lParam);
    }
}

BOOL CPgTemplate::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && header->idFrom == IDC_TEMPLATE_VALUES &&
        (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW)) {
        OnDisplayInfo(header);
        *result = 0;
        return TRUE;
    }
    return CWizPage::OnNotify(wParam, lParam, result);
}

BOOL CPgTemplate::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_MEASUREITEM && wParam == IDC_TEMPLATE_VALUES && lParam) {
        // Taller value rows, so the in-cell editors fit. The list asks
        // again on a resize, offering what it was told before: the rows
        // grow from the platform's height once only.
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!m_rowHeight)
            m_rowHeight = measure->itemHeight + measure->itemHeight / 4;
        measure->itemHeight = m_rowHeight;
        result = TRUE;
        return TRUE;
    }
    if (message == kValueChanged) {
        OnValueChanged(static_cast<int>(wParam));
        result = 0;
        return TRUE;
    }
    return CWizPage::OnMessage(message, wParam, lParam, result);
}
