#include "addin/wizard/PgSignSeq.h"

#include <memory>
#include <new>

#include "addin/AddinResource.h"
#include "addin/wizard/PgSigPos.h"
#include "addin/wizard/WizSheet.h"
#include "classlib/strings/LoadText.h"
#include "shared/identity/Proxy.h"
#include "shared/service/ServiceGlobals.h"

namespace {

void SetNumber(CRecip& signer, int number)
{
    signer.m_sequence = number;
    signer.m_sequenceText.Format("%d", number);
}

// The entry "Add myself as a signer" made: the user, neither a recipient
// of the mail nor a signer a template brought.
bool IsOwnEntry(const CRecip& signer)
{
    return signer.m_sender && !signer.m_fromMail && !signer.m_hardCoded;
}

// Listed: a To signer not removed.
bool IsListed(const CRecip& signer)
{
    return signer.m_recipType == 1 && !signer.m_skip;
}

} // namespace

CPgSignSeq::CPgSignSeq(DWORD kind)
    : CWizPage(kind, IDD_WIZ_SIGN_SEQ),
      m_sequenceLabel(LoadText(IDS_SIGNING_SEQUENCE, "Signing Sequence:")),
      m_parallelLabel(LoadText(IDS_PARALLEL_SIGNING, "Parallel Signing:"))
{}

CTemplate& CPgSignSeq::Request() const
{
    return GetWizSheet()->m_request;
}

bool CPgSignSeq::IsBroadcast() const
{
    return IsDlgButtonChecked(IDC_SIGNSEQ_BROADCAST) == BST_CHECKED;
}

bool CPgSignSeq::IsManual() const
{
    return Request().m_sendOptions.m_positioning == CPgSigPos::kManual;
}

CRecip* CPgSignSeq::RowSigner(int row) const
{
    return reinterpret_cast<CRecip*>(m_list.GetItemData(row));
}

BOOL CPgSignSeq::OnInitDialog()
{
    CWizPage::OnInitDialog();
    m_list.Attach(GetDlgItem(IDC_SIGNSEQ_LIST));
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    PostWizardButtons(PSWIZB_FINISH | BackUnlessFirst());
    CTemplate& request = Request();
    if (request.m_senderIsRecipient) {
        CheckDlgButton(IDC_SIGNSEQ_ADD_MYSELF, BST_CHECKED);
        GetDlgItem(IDC_SIGNSEQ_ADD_MYSELF).EnableWindow(FALSE);
    }
    CString subject;
    subject.Format(LoadText(IDS_RECEIPT_SUBJECT, "[Signer] %s"), request.m_subject.GetString());
    GetDlgItem(IDC_SIGNSEQ_SUBJECT).SetWindowText(subject);
    GetDlgItem(IDC_SIGNSEQ_CATEGORY).SetWindowText(LoadText(IDS_RECEIPT_CATEGORY, "Quillet"));
    EnableReceiptFields(false);
    Refresh();
    return TRUE;
}

BOOL CPgSignSeq::OnSetActive()
{
    if (IsManual()) {
        // The service cannot position by hand for many requests at once.
        CheckDlgButton(IDC_SIGNSEQ_BROADCAST, BST_UNCHECKED);
        GetDlgItem(IDC_SIGNSEQ_BROADCAST).EnableWindow(FALSE);
        EnableReceiptFields(false);
    } else {
        Renumber();
        GetDlgItem(IDC_SIGNSEQ_BROADCAST).EnableWindow(TRUE);
    }
    Refresh();
    return CWizPage::OnSetActive();
}

BOOL CPgSignSeq::OnKillActive()
{
    CSendOptions& options = Request().m_sendOptions;
    if (IsBroadcast())
        options.m_sendMode = CSendOptions::kBroadcast;
    options.m_receiptSubject = GetDlgItem(IDC_SIGNSEQ_SUBJECT).GetWindowText();
    options.m_categoryTags = GetDlgItem(IDC_SIGNSEQ_CATEGORY).GetWindowText();
    return CWizPage::OnKillActive();
}

void CPgSignSeq::KnowIdentity()
{
    if (m_identityKnown)
        return;
    m_identityKnown = true;
    const HRESULT found = CTemplate::IdentifyUser();
    if (SUCCEEDED(found) && !ServiceGlobals().senderName.IsEmpty()) {
        m_ownName = ServiceGlobals().senderName;
        m_ownAddress = ServiceGlobals().senderSmtp;
        return;
    }
    m_ownName.Empty();
    m_ownAddress = GetWizSheet()->m_credentials ? GetWizSheet()->m_credentials->m_email : "";
    NormalizeSmtpAddr(m_ownAddress);
}

void CPgSignSeq::EnableMoves(bool up, bool down)
{
    GetDlgItem(IDC_SIGNSEQ_UP).EnableWindow(up);
    GetDlgItem(IDC_SIGNSEQ_DOWN).EnableWindow(down);
}

void CPgSignSeq::EnableReceiptFields(bool enable)
{
    for (int id : {IDC_SIGNSEQ_SUBJECT, IDC_SIGNSEQ_SUBJECT_LABEL, IDC_SIGNSEQ_CATEGORY,
                   IDC_SIGNSEQ_CATEGORY_LABEL})
        GetDlgItem(id).EnableWindow(enable);
}

void CPgSignSeq::Refresh()
{
    const bool selected = m_list.GetSelectedCount() > 0;
    if (IsDlgButtonChecked(IDC_SIGNSEQ_ADD_MYSELF) == BST_CHECKED && IsManual())
        EnableMoves(false, false);
    else
        EnableMoves(selected, selected);

    KnowIdentity();
    CTemplate& request = Request();
    // The entry the box itself added does not count: the box must stay
    // free to take it back.
    bool signs = false;
    for (const CRecip* signer : request.m_signers) {
        if (!IsOwnEntry(*signer) && !m_ownAddress.IsEmpty() &&
            signer->m_email.CompareNoCase(m_ownAddress) == 0)
            signs = true;
    }
    GetDlgItem(IDC_SIGNSEQ_ADD_MYSELF).EnableWindow(!signs && !request.m_senderIsRecipient);
    RebuildList();
}

void CPgSignSeq::RebuildList()
{
    m_list.DeleteAllItems();
    m_list.DeleteAllColumns();
    if (IsBroadcast()) {
        m_columns = 1;
        m_list.InsertColumn(0, "Signer", LVCFMT_LEFT, 75);
        GetDlgItem(IDC_SIGNSEQ_LABEL).SetWindowText(m_parallelLabel);
    } else {
        m_columns = 2;
        m_list.InsertColumn(0, "#", LVCFMT_LEFT, 75);
        m_list.InsertColumn(1, "Signer", LVCFMT_LEFT, 75);
        GetDlgItem(IDC_SIGNSEQ_LABEL).SetWindowText(m_sequenceLabel);
    }
    for (CRecip* signer : Request().m_signers) {
        if (IsListed(*signer))
            PlaceRow(signer);
    }
    FitColumns();
}

void CPgSignSeq::InsertRow(int row, CRecip* signer)
{
    const int at = m_list.InsertItem(row, LPSTR_TEXTCALLBACK, I_IMAGECALLBACK,
                                     reinterpret_cast<LPARAM>(signer));
    if (at >= 0 && m_columns == 2)
        m_list.SetItemText(at, 1, LPSTR_TEXTCALLBACK);
}

void CPgSignSeq::PlaceRow(CRecip* signer)
{
    if (signer->m_sequence == -1) {
        InsertRow(0, signer);
        Renumber();
        return;
    }
    const int count = m_list.GetItemCount();
    int row = count;
    for (int at = 0; at < count; ++at) {
        if (RowSigner(at)->m_sequence > signer->m_sequence) {
            row = at;
            break;
        }
    }
    signer->m_sequenceText.Format("%d", signer->m_sequence);
    InsertRow(row, signer);
}

void CPgSignSeq::Renumber()
{
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        SetNumber(*RowSigner(row), row + 1);
    m_list.Invalidate();
}

void CPgSignSeq::FitColumns()
{
    RECT frame{};
    m_list.GetWindowRect(&frame);
    const bool allShow = m_list.GetItemCount() <= m_list.GetCountPerPage();
    const int width = frame.right - frame.left + (allShow ? 16 : 0) - 20;
    if (m_columns == 2) {
        m_list.SetColumnWidth(0, width / 10);
        m_list.SetColumnWidth(1, width * 9 / 10);
    } else {
        m_list.SetColumnWidth(0, width);
    }
}

BOOL CPgSignSeq::IsPageComplete()
{
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        const CRecip* signer = RowSigner(row);
        if (signer && signer->m_sequence == 1)
            return TRUE;
    }
    return FALSE;
}

void CPgSignSeq::OnAddMyself()
{
    CTemplate& request = Request();
    if (request.m_senderIsRecipient)
        return;
    if (IsDlgButtonChecked(IDC_SIGNSEQ_ADD_MYSELF) == BST_CHECKED) {
        KnowIdentity();
        auto own = std::unique_ptr<CRecip>(new (std::nothrow) CRecip());
        if (!own)
            return;
        own->m_sender = 1;
        own->m_name = m_ownName;
        own->m_email = m_ownAddress;
        SetNumber(*own, m_list.GetItemCount() + 1);
        request.m_signers.AddTail(own.get());
        PlaceRow(own.release());
    } else {
        // The others close up; the user's entry keeps the number of the
        // row after it and goes.
        CRecip* own = nullptr;
        bool ownNumbered = false;
        int number = 1;
        for (int row = 0; row < m_list.GetItemCount(); ++row) {
            CRecip* signer = RowSigner(row);
            if (!own && IsOwnEntry(*signer)) {
                own = signer;
                continue;
            }
            SetNumber(*signer, number);
            if (own && !ownNumbered) {
                SetNumber(*own, number);
                ownNumbered = true;
            }
            ++number;
        }
        if (own) {
            if (!ownNumbered)
                SetNumber(*own, number);
            own->m_skip = 1;
        }
    }
    Refresh();
}

void CPgSignSeq::OnBroadcast()
{
    const bool broadcast = IsBroadcast();
    const bool selected = m_list.GetSelectedCount() > 0;
    EnableMoves(!broadcast && selected, !broadcast && selected);
    EnableReceiptFields(broadcast);
    // Everyone gets a document of their own and signs it at once.
    for (CRecip* signer : Request().m_signers) {
        if (signer->m_recipType == 1) {
            SetNumber(*signer, 1);
        } else {
            signer->m_sequence = -1;
            signer->m_sequenceText = "-";
        }
    }
    RebuildList();
}

void CPgSignSeq::OnListClick()
{
    if (m_list.GetSelectedCount() != 1)
        return;
    if (IsBroadcast()) {
        EnableMoves(false, false);
        return;
    }
    // Up for all but the top row, Down for all but the bottom one, so any
    // signer can be moved in a list of any length.
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    const bool up = row > 0;
    const bool down = row < m_list.GetItemCount() - 1;
    EnableMoves(up, down);
    if (up != down)
        GetDlgItem(up ? IDC_SIGNSEQ_UP : IDC_SIGNSEQ_DOWN).SetFocus();
}

void CPgSignSeq::Move(bool up)
{
    const int count = m_list.GetItemCount();
    int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    // The list is rebuilt (and its selection gone) while the buttons still
    // show enabled; nothing to move then, nor past either end.
    if (row < 0)
        return;
    int next = up ? row - 1 : row + 1;
    if (next < 0 || next >= count)
        return;
    CRecip* moving = RowSigner(row);
    auto swapRows = [this](int a, int b) {
        const DWORD_PTR first = m_list.GetItemData(a);
        m_list.SetItemData(a, m_list.GetItemData(b));
        m_list.SetItemData(b, first);
    };
    if (IsManual()) {
        // Signers may share a number (they sign at once); the row moves
        // past its neighbour, and on past those the new number puts it
        // before (after).
        const int number = moving->m_sequence + (up ? -1 : 1);
        if (number < 1)
            return;
        SetNumber(*moving, number);
        do {
            swapRows(row, next);
            row = next;
            next = up ? row - 1 : row + 1;
        } while (
            next >= 0 && next < count &&
            (up ? RowSigner(next)->m_sequence > number : RowSigner(next)->m_sequence < number));
    } else {
        CRecip* other = RowSigner(next);
        const int number = moving->m_sequence;
        SetNumber(*moving, other->m_sequence);
        SetNumber(*other, number);
        swapRows(row, next);
        row = next;
    }
    m_list.SelectOnly(row);
    m_list.EnsureVisible(row, FALSE);
    m_list.Invalidate();
    OnListClick();
}

void CPgSignSeq::OnDisplayInfo(NMHDR* header)
{
    // Without a first signer only Back is left.
    PostWizardButtons(IsPageComplete() ? PSWIZB_FINISH | BackUnlessFirst() : BackUnlessFirst());
    // Both forms start with the same item fields.
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if (info->item.mask & LVIF_IMAGE)
        info->item.iImage = 1;
    if (!(info->item.mask & LVIF_TEXT))
        return;
    const CRecip* signer = RowSigner(info->item.iItem);
    CString text;
    if (signer && m_columns == 2 && info->item.iSubItem == 0) {
        text = signer->m_sequenceText;
    } else if (signer) {
        text = signer->m_email;
        if (signer->m_sender && Request().m_sendOptions.m_positioning == CPgSigPos::kAutomatic)
            text += " (sender)";
    }
    CListCtrl::SetDisplayText(header, text);
}

BOOL CPgSignSeq::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return CWizPage::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDC_SIGNSEQ_ADD_MYSELF:
        OnAddMyself();
        return TRUE;
    case IDC_SIGNSEQ_BROADCAST:
        OnBroadcast();
        return TRUE;
    case IDC_SIGNSEQ_UP:
        Move(true);
        return TRUE;
    case IDC_SIGNSEQ_DOWN:
        Move(false);
        return TRUE;
    default:
        return CWizPage::OnCommand(wParam, lParam);
    }
}

BOOL CPgSignSeq::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && header->idFrom == IDC_SIGNSEQ_LIST) {
        switch (header->code) {
        case NM_CLICK:
            OnListClick();
            *result = 0;
            return TRUE;
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW:
            OnDisplayInfo(header);
            *result = 0;
            return TRUE;
        default:
            break;
        }
    }
    return CWizPage::OnNotify(wParam, lParam, result);
}
