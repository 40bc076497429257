// CEditDlg: the editor's main dialog. The user picks a template of the
// library, edits a working copy of it (documents, options, invitation,
// signers) and saves, creates, imports, deletes or mails templates from the
// toolbar. The library's templates are never edited in place: the controls
// show the working copy, and Save writes it.
//
// The three document lists point at CTempDoc records that the dialog's
// document list owns; templates hold copies of their own, so no record
// belongs to two owners.
#pragma once

#include <vector>

#include "classlib/com/CComPtr.h"
#include "classlib/strings/CTypedPtrList.h"
#include "classlib/ui/CBitmapButton.h"
#include "classlib/ui/CComboBox.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CListCtrl.h"
#include "classlib/ui/CToolBar.h"
#include "editor/files/OpenDocument.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/requests/TempMgr.h"
#include "shared/requests/Template.h"

class CEditDlg : public CDialog, public CDispatcher {
public:
    // Position Signatures and Mode, as their lists' indices.
    static constexpr int kAutomatic = 0;
    static constexpr int kManual = 1;
    static constexpr int kNormal = 0;
    static constexpr int kBroadcast = 1;

    explicit CEditDlg(HWND parent = nullptr);
    ~CEditDlg() override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnPaint() override;

private:
    // ---- the dialog (EditDlg.cpp) ----
    void FillTemplateList();
    void MakeDocumentRecords();
    void ShowTemplate(CTemplate* shown);
    void EnableTemplateControls(BOOL enable);
    void OnSelectTemplate();
    void OnDocumentChosen(int listId);
    void OnDropDown(int listId);
    void OnPositioningChanged();
    void OnModeChanged();
    void OnOpenButton(int buttonId);
    // The list's OPEN button is enabled exactly when its chosen document
    // has bytes of its own to open (CanOpenDocument).
    void UpdateOpenButton(int listId);
    void SetModified();
    void ClearModified();
    // Offers to save unsaved changes; false when the user wanted them saved
    // and the save failed (they are still there, and still modified).
    bool AskSave();
    BOOL OnToolTipText(NMHDR* header);
    // Takes the record into the document list; returns it (null when it
    // could not be kept, and then it is gone).
    CTempDoc* KeepRecord(std::unique_ptr<CTempDoc> record);
    // The document lists' entries that name a record of a document (not the
    // browse record, not the remove record, not a placeholder).
    bool IsDocumentEntry(const CComboBox& list, int index) const;
    void CleanDocumentList(CComboBox& list);
    int EnsurePlaceholder(CComboBox& list);
    CComboBox& DocumentList(int listId);
    int& PreviousSelection(int listId);
    std::unique_ptr<CTempDoc>* CurrentSlot(CTemplate& tmpl, int listId);
    int Positioning() const;
    int Mode() const;
    void ShowError(UINT messageId, UINT detailsId);
    int AddTemplateEntry(CTemplate* tmpl, bool sorted);
    // Whether a template named name may take that name's place in the
    // template folder: when a listed template other than taker holds the
    // name or its file, or the file exists, the user is asked first. Yes
    // takes the listed holders out of the list and the library; No keeps
    // them, and the caller gives up the name.
    bool MayTakeName(HWND owner, const CString& name, const CTemplate* taker);
    // The template's own file: its path when that names an existing file
    // directly in the template folder (where Save writes), else empty. A
    // template imported and never saved points at the file it came from,
    // which is the user's, not the library's.
    static CString OwnFile(const CTemplate& tmpl);

    // ---- template commands (EditDlgCommands.cpp) ----
    void OnOpenTemplate();
    void OnNewTemplate();
    // True when the working copy was written (or there was nothing to write).
    bool OnSaveTemplate();
    void OnDeleteTemplate();
    int BrowseDocument(CComboBox& list, const char* type, int& previous);
    bool NameFitsFolder(const CString& name);

    // ---- Send (EditDlgSend.cpp) ----
    void OnSendTemplate();
    HRESULT GetOutlook();
    HRESULT MailTemplate();
    HRESULT AddTemplateAttachment(IDispatch* mail, long bodyLength);

    // ---- the signer list (EditDlgSigners.cpp) ----
    BOOL InitSignerList();
    int AddSignerRow(CRecip* signer);
    void RenumberSigners();
    void SwapSignerRows(int a, int b);
    void UpdateSignerButtons();
    void OnSignerDispInfo(NMHDR* header);
    void OnNewSigner();
    void OnDeleteSigner();
    void OnMoveSignerUp();
    void OnMoveSignerDown();
    CRecip* SignerAt(int row) const;
    void SetSequence(CRecip& signer, int sequence);

    CToolBar m_toolBar;
    HICON m_icon = nullptr;
    CTempMgr m_library;
    CString m_browseText;
    CString m_removeText;
    CString m_placeholderText;
    CString m_attachmentText;
    CString m_senderText;
    CString m_recipientText;
    int m_modified = 0;
    CTemplate* m_current = nullptr; // a library entry, not owned
    CTemplate m_working;
    CTempDoc* m_removeRecord = nullptr;
    CTempDoc* m_browseRecord = nullptr;
    CTempDoc* m_attachmentRecord = nullptr;
    int m_previousSignature = -1;
    int m_previousReference = -1;
    int m_previousInfo = -1;
    CComPtr<IDispatch> m_outlook;
    CTypedPtrList<CTempDoc> m_documents;
    CDocumentCopies m_openedCopies; // OPEN's decoded copies: they go with the dialog
    // The records ShowTemplate made for the template on screen: they go
    // when another template is shown, so showing a template again and again
    // adds no further copies of its documents.
    std::vector<CTempDoc*> m_shownRecords;

    CComboBox m_templateList;
    CComboBox m_signatureList;
    CComboBox m_referenceList;
    CComboBox m_infoList;
    CComboBox m_positioning;
    CComboBox m_mode;
    CListCtrl m_signers;
    CBitmapButton m_openButtons[3];
    int m_signatureType = 0;
};
