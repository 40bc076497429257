// CDlgNewTemplate: the name and signature document of a new template, and
// the role the sending user signs under, if any; everything else starts
// with its default.
#pragma once

#include <functional>

#include "classlib/strings/CTypedPtrList.h"
#include "classlib/ui/CComboBox.h"
#include "classlib/ui/CDialog.h"
#include "classlib/ui/CEdit.h"
#include "shared/requests/Template.h"

class CDlgNewTemplate : public CDialog {
public:
    explicit CDlgNewTemplate(HWND parent = nullptr);
    // The record the dialog browsed and nobody took over goes with it.
    ~CDlgNewTemplate() override;

    // Filled by the caller before DoModal: the records offered (not owned).
    CTypedPtrList<CTempDoc> m_choices{Ownership::Borrowed};
    // After IDOK: the template built.
    CTemplate m_template;
    // The record of the last browse, owned by the dialog until the caller
    // takes it over with TakeBrowsed (after IDOK).
    CTempDoc* TakeBrowsed();
    const CTempDoc* GetBrowsed() const { return m_browsed.get(); }

    // The folder the template will be written to: a name that would make
    // no file there is refused at OK. Empty: only the name's own rule.
    CString m_folder;
    // Asked at OK for a name that fits: whether the new template may take
    // it (the caller asks the user before anything is replaced). False
    // keeps the dialog open. Unset: every name is free.
    std::function<bool(HWND owner, const CString& name)> m_mayTake;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

private:
    void OnDocumentChanged();
    void OnSenderCheck();
    void UpdateOK();

    int m_previous = -1;
    std::unique_ptr<CTempDoc> m_browsed;
    CComboBox m_documents;
    CWnd m_ok;
    CEdit m_name;
    CEdit m_role;
};
