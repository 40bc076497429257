// CPgTemplate: the wizard page where the user picks one of the templates
// that fit the mail and fills in its values (the signers' roles above
// all). Choosing a template applies it to the sheet's request at once.
#pragma once

#include "addin/controls/KVList.h"
#include "addin/core/WindowMessages.h"
#include "addin/wizard/WizPage.h"
#include "classlib/ui/CComboBox.h"

class CTemplate;

class CPgTemplate : public CWizPage {
public:
    // The message the values list sends when a value changed (wParam: the
    // row, lParam: its CKeywordValue).
    static constexpr UINT kValueChanged = WM_KEYWORD_CHANGED;

    explicit CPgTemplate(DWORD kind);

    // A template is chosen, and every role of its values is set.
    BOOL IsPageComplete() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Lists the fitting templates after the prompt; with load the library
    // is read from the template folder first.
    void FillTemplates(bool load);
    void OnTemplateSelected();
    // An embedded document still in its base64 file becomes a file of its
    // own type, for the request and the library's template alike.
    void DecodeEmbedded(CTemplate& chosen);
    void OnValueChanged(int row);
    // Display texts of a row (LVN_GETDISPINFO, narrow or wide).
    void OnDisplayInfo(NMHDR* header);
    CTemplate* SelectedTemplate() const;
    void EnableValues(bool enable);
    void FitColumns();

    CString m_prompt;
    UINT m_rowHeight = 0; // of the value rows, once the list has asked
    CComboBox m_combo;
    CKVList m_values;
};
