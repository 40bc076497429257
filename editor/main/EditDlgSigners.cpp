// The signer list of the main dialog and its commands. With automatic
// positioning the rows' order is the signing order and the numbers are 1, 2,
// 3 ... from the top; with manual positioning each signer keeps its own
// number, signers may share one (they sign in parallel), and the rows stay
// sorted by it, so Move Up and Move Down change the number.
#include "editor/EditorResource.h"
#include "editor/dialogs/DlgDelete.h"
#include "editor/dialogs/DlgSigner.h"
#include "editor/main/EditDlg.h"

namespace {

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

} // namespace

BOOL CEditDlg::InitSignerList()
{
    m_signers.SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
    const char* headings[] = {"Tier", "Signer", "Role"};
    for (int i = 0; i < 3; ++i) {
        if (m_signers.InsertColumn(i, headings[i], LVCFMT_LEFT, 75) < 0)
            return FALSE;
    }
    RECT area{};
    m_signers.GetClientRect(&area);
    RECT outer{};
    m_signers.GetWindowRect(&outer);
    int width = static_cast<int>(outer.right - outer.left) - 4;
    if (m_signers.GetItemCount() >= m_signers.GetCountPerPage())
        width -= 16;
    m_signers.SetColumnWidth(0, width / 12);
    m_signers.SetColumnWidth(1, 6 * width / 12);
    m_signers.SetColumnWidth(2, 5 * width / 12);
    m_signers.SetExtendedStyle(m_signers.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    return TRUE;
}

CRecip* CEditDlg::SignerAt(int row) const
{
    if (row < 0 || row >= m_signers.GetItemCount())
        return nullptr;
    return reinterpret_cast<CRecip*>(m_signers.GetItemData(row));
}

void CEditDlg::SetSequence(CRecip& signer, int sequence)
{
    signer.m_sequence = sequence;
    signer.m_sequenceText.Format("%d", sequence);
}

int CEditDlg::AddSignerRow(CRecip* signer)
{
    if (!signer)
        return -1;
    // Before the first signer who signs later; equal numbers keep the order
    // they were added in. The rows are always in signing order, so the place
    // is found by halving: a template of thousands of signers is shown
    // without walking the list for each row (and a template's own order,
    // the usual case, only ever appends).
    int row = m_signers.GetItemCount();
    if (row > 0 && SignerAt(row - 1)->m_sequence > signer->m_sequence) {
        int low = 0;
        while (low < row) {
            const int middle = low + (row - low) / 2;
            if (SignerAt(middle)->m_sequence <= signer->m_sequence)
                low = middle + 1;
            else
                row = middle;
        }
    }
    const int index = m_signers.InsertItem(row, LPSTR_TEXTCALLBACKA, I_IMAGECALLBACK,
                                           reinterpret_cast<LPARAM>(signer));
    if (index < 0)
        return -1;
    m_signers.SetItemText(index, 1, LPSTR_TEXTCALLBACKA);
    m_signers.SetItemText(index, 2, LPSTR_TEXTCALLBACKA);
    return index;
}

void CEditDlg::RenumberSigners()
{
    for (int row = 0; row < m_signers.GetItemCount(); ++row) {
        if (CRecip* signer = SignerAt(row)) {
            SetSequence(*signer, row + 1);
            m_signers.Update(row);
        }
    }
}

void CEditDlg::SwapSignerRows(int a, int b)
{
    CRecip* first = SignerAt(a);
    CRecip* second = SignerAt(b);
    if (!first || !second || a == b)
        return;
    m_signers.SetItemData(a, reinterpret_cast<DWORD_PTR>(second));
    m_signers.SetItemData(b, reinterpret_cast<DWORD_PTR>(first));
    if (Positioning() == kAutomatic) {
        // The numbers stay with the rows.
        const int sequence = first->m_sequence;
        SetSequence(*first, second->m_sequence);
        SetSequence(*second, sequence);
    }
    m_signers.Update(a);
    m_signers.Update(b);
}

void CEditDlg::UpdateSignerButtons()
{
    const int count = m_signers.GetItemCount();
    const int row =
        m_signers.GetSelectedCount() == 1 ? m_signers.GetNextItem(-1, LVNI_SELECTED) : -1;
    const CRecip* signer = SignerAt(row);
    // New Signer needs no row: it stays as the template's state set it.
    m_toolBar.EnableButton(ID_DELETE_SIGNER, signer != nullptr);
    bool up = false;
    bool down = false;
    if (signer) {
        if (Positioning() == kAutomatic) {
            up = row > 0;
            down = row < count - 1;
        } else {
            // A number from 1 to the count of signers: every signer can
            // sign first, and nobody needs to wait for more rounds than
            // there are signers.
            up = signer->m_sequence > 1;
            down = signer->m_sequence < count;
        }
    }
    m_toolBar.EnableButton(ID_MOVE_SIGNER_UP, up);
    m_toolBar.EnableButton(ID_MOVE_SIGNER_DOWN, down);
}

void CEditDlg::OnSignerDispInfo(NMHDR* header)
{
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    // The item part is laid out alike in the narrow and wide forms.
    const LVITEMA& item = info->item;
    const CRecip* signer = reinterpret_cast<const CRecip*>(item.lParam);
    if (!signer)
        signer = SignerAt(item.iItem);
    if (!signer)
        return;
    if (item.mask & LVIF_IMAGE)
        info->item.iImage = -1;
    if (!(item.mask & LVIF_TEXT))
        return;
    CString text;
    switch (item.iSubItem) {
    case 0:
        text = signer->m_sequenceText;
        break;
    case 1:
        if (signer->m_sender)
            text = m_senderText;
        else if (!signer->m_hardCoded)
            text = m_recipientText;
        else
            text = signer->m_name.IsEmpty() ? signer->m_email : signer->m_name;
        break;
    case 2:
        text = signer->m_role;
        break;
    default:
        break;
    }
    CListCtrl::SetDisplayText(header, text);
}

void CEditDlg::OnNewSigner()
{
    if (!m_current)
        return;
    CDlgSigner dialog(m_hWnd);
    if (dialog.DoModal() != IDOK)
        return;
    auto signer = std::make_unique<CRecip>("Signer");
    *signer = dialog.m_signer;
    SetSequence(*signer, m_signers.GetItemCount() + 1);
    CRecip* added = signer.get();
    m_working.m_signers.AddTail(added);
    signer.release();
    AddSignerRow(added);
    if (Positioning() == kAutomatic)
        RenumberSigners();
    SetModified();
}

void CEditDlg::OnDeleteSigner()
{
    const int row = m_signers.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return;
    CDlgDelete dialog(m_hWnd);
    dialog.m_question = LoadText(IDS_DELETE_SIGNER);
    if (dialog.DoModal() == IDOK) {
        // The record stays with the working copy, marked so Save leaves it out.
        if (CRecip* signer = SignerAt(row)) {
            m_signers.DeleteItem(row);
            signer->m_skip = 1;
        }
        m_toolBar.EnableButton(ID_MOVE_SIGNER_UP, FALSE);
        m_toolBar.EnableButton(ID_MOVE_SIGNER_DOWN, FALSE);
        m_toolBar.EnableButton(ID_DELETE_SIGNER, FALSE);
        SetModified();
    }
    // Manual numbers are the user's own; only the automatic ones follow the rows.
    if (Positioning() == kAutomatic)
        RenumberSigners();
}

void CEditDlg::OnMoveSignerUp()
{
    int row = m_signers.GetNextItem(-1, LVNI_SELECTED);
    CRecip* moved = SignerAt(row);
    if (!moved)
        return;
    if (Positioning() == kAutomatic) {
        if (row == 0)
            return;
        SwapSignerRows(row, row - 1);
        --row;
    } else {
        if (moved->m_sequence <= 1)
            return;
        SetSequence(*moved, moved->m_sequence - 1);
        // Up past every signer who now signs with it or after it: the moved
        // signer leads its round.
        while (row > 0 && SignerAt(row - 1)->m_sequence >= moved->m_sequence) {
            SwapSignerRows(row, row - 1);
            --row;
        }
        m_signers.Update(row);
    }
    m_signers.SelectOnly(row);
    m_signers.EnsureVisible(row, FALSE);
    UpdateSignerButtons();
    SetModified();
}

void CEditDlg::OnMoveSignerDown()
{
    const int count = m_signers.GetItemCount();
    int row = m_signers.GetNextItem(-1, LVNI_SELECTED);
    CRecip* moved = SignerAt(row);
    if (!moved)
        return;
    if (Positioning() == kAutomatic) {
        if (row >= count - 1)
            return;
        SwapSignerRows(row, row + 1);
        ++row;
    } else {
        if (moved->m_sequence >= count)
            return;
        SetSequence(*moved, moved->m_sequence + 1);
        // Down past every signer who signs before it or with it: the moved
        // signer closes its round.
        while (row < count - 1 && SignerAt(row + 1)->m_sequence <= moved->m_sequence) {
            SwapSignerRows(row, row + 1);
            ++row;
        }
        m_signers.Update(row);
    }
    m_signers.SelectOnly(row);
    m_signers.EnsureVisible(row, FALSE);
    UpdateSignerButtons();
    SetModified();
}
