// CPgSignSeq: the wizard page with the To signers in their signing order.
// The user reorders them, adds himself as a signer, or turns the send into
// a broadcast (one separate request per recipient, all signing at once)
// with the subject and categories of its receipts.
#pragma once

#include "addin/wizard/WizPage.h"
#include "classlib/ui/CListCtrl.h"

class CRecip;
class CTemplate;

class CPgSignSeq : public CWizPage {
public:
    explicit CPgSignSeq(DWORD kind);

    // A listed signer signs first.
    BOOL IsPageComplete() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    CTemplate& Request() const;
    bool IsBroadcast() const;
    bool IsManual() const;
    // The user's own address (and name when the mail profile knows it),
    // found once.
    void KnowIdentity();
    // Buttons, the "Add myself" box and the list, from the request.
    void Refresh();
    void RebuildList();
    void PlaceRow(CRecip* signer);
    void InsertRow(int row, CRecip* signer);
    void Renumber();
    void FitColumns();
    CRecip* RowSigner(int row) const;
    void EnableMoves(bool up, bool down);
    void EnableReceiptFields(bool enable);
    void OnAddMyself();
    void OnBroadcast();
    void OnListClick();
    void Move(bool up);
    void OnDisplayInfo(NMHDR* header);

    CListCtrl m_list;
    int m_columns = 2;
    CString m_sequenceLabel;
    CString m_parallelLabel;
    bool m_identityKnown = false;
    CString m_ownName;
    CString m_ownAddress;
};
