// The template commands of the main dialog: Open/Import, New, Save and
// Delete, and browsing for a template's document.
#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

#include "editor/EditorResource.h"
#include "editor/dialogs/DlgDelete.h"
#include "editor/dialogs/DlgEditError.h"
#include "editor/dialogs/DlgNewTemplate.h"
#include "editor/files/FilePickers.h"
#include "editor/main/EditDlg.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/XmlProlog.h"

namespace {

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

CString TemplateFolder()
{
    CConfig config;
    CString folder;
    if (FAILED(config.GetTemplateFolder(folder)))
        folder.Empty();
    return folder;
}

// Why the template file just read is none the editor can import, or empty
// when it is one. loaded is what reading it gave.
CString Unimportable(const CString& path, const CTemplate& tmpl, HRESULT loaded)
{
    if (loaded == kXmlDtdRefused)
        return LoadText(IDS_IMPORT_DTD);
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &file) ||
        (FAILED(loaded) && HRESULT_FACILITY(loaded) == FACILITY_WIN32))
        return LoadText(IDS_IMPORT_UNREADABLE);
    if (file.nFileSizeLow == 0 && file.nFileSizeHigh == 0)
        return LoadText(IDS_IMPORT_EMPTY);
    // Not well-formed, or well-formed but of another kind (its root names
    // what it is).
    if (FAILED(loaded) || !(tmpl.m_elementName == "inkTemplate"))
        return LoadText(IDS_IMPORT_NOT_TEMPLATE);
    if (tmpl.m_name.IsEmpty())
        return LoadText(IDS_IMPORT_NO_NAME);
    if (!tmpl.m_signatureDoc || tmpl.m_signatureDoc->m_name.IsEmpty())
        return LoadText(IDS_IMPORT_NO_DOCUMENT);
    return CString();
}

} // namespace

CString CEditDlg::OwnFile(const CTemplate& tmpl)
{
    const CString& path = tmpl.m_filePath;
    const CString folder = TemplateFolder();
    CString inFolder;
    if (path.IsEmpty() || folder.IsEmpty() ||
        FAILED(CTemplate::PathInFolder(folder, path.Mid(path.ReverseFind('\\') + 1), inFolder)) ||
        inFolder.CompareNoCase(path) != 0 || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return CString();
    return path;
}

bool CEditDlg::NameFitsFolder(const CString& name)
{
    const CString folder = TemplateFolder();
    CString path;
    if (folder.IsEmpty() ? CTemplate::IsValidName(name)
                         : SUCCEEDED(CTemplate::PathInFolder(folder, name + ".xml", path)))
        return true;
    editor::CDlgError::Show(m_hWnd, LoadText(IDS_BAD_TEMPLATE_NAME),
                            LoadText(IDS_BAD_TEMPLATE_NAME_DETAILS));
    return false;
}

void CEditDlg::OnOpenTemplate()
{
    CLogBlock block("CEditDlg::OnOpenTemplate");
    if (!AskSave())
        return;
    CString name;
    CString path;
    if (PickTemplateFile(m_hWnd, name, path) != IDOK)
        return;
    auto imported = std::make_unique<CTemplate>();
    const HRESULT loaded = imported->LoadXML(path);
    const CString unimportable = Unimportable(path, *imported, loaded);
    if (!unimportable.IsEmpty()) {
        TheLog().HResult("CEditDlg::OnOpenTemplate: not imported",
                         FAILED(loaded) ? loaded : E_FAIL);
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_IMPORT_REFUSED), unimportable);
        return;
    }
    // The file may come from anyone: its name must make a file of the
    // template folder and nothing else, and its documents must be its own,
    // as the add-in requires of a mailed template.
    if (!NameFitsFolder(imported->m_name))
        return;
    if (const CTempDoc* local = imported->LocalDocument(m_attachmentText)) {
        // Written for a message box; the details field breaks lines at "\r\n".
        CString details = imported->LocalDocumentRefusal(*local);
        details.Replace("\n", "\r\n");
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_IMPORT_REFUSED), details);
        return;
    }
    if (!MayTakeName(m_hWnd, imported->m_name, imported.get()))
        return;
    CTemplate* tmpl = imported.get();
    m_library.Add(std::move(imported));
    m_current = tmpl;
    m_templateList.SetCurSel(AddTemplateEntry(tmpl, true));
    ShowTemplate(tmpl);
    // Imported, it is not yet in the template folder: saving puts it there.
    SetModified();
}

void CEditDlg::OnNewTemplate()
{
    CLogBlock block("CEditDlg::OnNewTemplate");
    if (!AskSave())
        return;
    CDlgNewTemplate dialog(m_hWnd);
    dialog.m_folder = TemplateFolder();
    dialog.m_mayTake = [this](HWND owner, const CString& name) {
        return MayTakeName(owner, name, nullptr);
    };
    // Each document once: a file browsed and then shown as the saved
    // template's own is one document (the shown record, which carries its
    // bytes, is the one offered).
    std::vector<CTempDoc*> offered;
    for (CTempDoc* record : m_documents) {
        // "<Remove>" names no document a template could be signed on.
        if (record == m_removeRecord)
            continue;
        const auto same = std::find_if(offered.begin(), offered.end(), [record](CTempDoc* seen) {
            return seen->m_name == record->m_name && seen->m_key.CompareNoCase(record->m_key) == 0;
        });
        if (same == offered.end())
            offered.push_back(record);
        else if ((*same)->m_embeddedPath.IsEmpty())
            *same = record;
    }
    for (CTempDoc* record : offered)
        dialog.m_choices.AddTail(record);
    if (dialog.DoModal() != IDOK)
        return; // the dialog deletes what it browsed
    auto created = std::make_unique<CTemplate>();
    *created = dialog.m_template;
    if (CTempDoc* browsed = dialog.TakeBrowsed())
        KeepRecord(std::unique_ptr<CTempDoc>(browsed));
    CTemplate* tmpl = created.get();
    m_library.Add(std::move(created));
    m_current = tmpl;
    m_templateList.SetCurSel(AddTemplateEntry(tmpl, true));
    ShowTemplate(tmpl);
    // A new template is written at once.
    (void)OnSaveTemplate();
}

bool CEditDlg::OnSaveTemplate()
{
    CLogBlock block("CEditDlg::OnSaveTemplate");
    if (!m_current)
        return true;
    if (!UpdateData(TRUE))
        return false;
    // A template is only ever written with a document to sign: one that
    // has none the editor can write (its document is neither embedded nor
    // the mail's attachment) is not saved, and its changes stay.
    const int chosen = m_signatureList.GetCurSel();
    if (!IsDocumentEntry(m_signatureList, chosen)) {
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_SAVE_FAILED),
                                LoadText(IDS_NO_SIGNATURE_DOCUMENT));
        return false;
    }
    if (!(GetDlgItem(IDC_CONFIRM).GetWindowText() == m_working.m_sendOptions.m_password)) {
        editor::CDlgError::Show(m_hWnd, CString(), LoadText(IDS_PASSWORDS_DIFFER));
        return false;
    }

    const auto* signature = reinterpret_cast<const CTempDoc*>(m_signatureList.GetItemData(chosen));
    m_working.m_signatureDoc = std::make_unique<CTempDoc>(*signature);
    m_working.m_signatureDoc->m_type = "Signature";
    const struct {
        CComboBox* list;
        std::unique_ptr<CTempDoc>* slot;
        const char* type;
    } others[] = {{&m_referenceList, &m_working.m_referenceDoc, "Reference"},
                  {&m_infoList, &m_working.m_infoDoc, "Informative"}};
    for (const auto& [list, slot, type] : others) {
        const int index = list->GetCurSel();
        if (!IsDocumentEntry(*list, index))
            continue;
        *slot = std::make_unique<CTempDoc>(
            *reinterpret_cast<const CTempDoc*>(list->GetItemData(index)));
        (*slot)->m_type = type;
    }

    CSendOptions& options = m_working.m_sendOptions;
    options.m_signatureType = m_signatureType;
    options.m_positioning = Positioning() == kManual ? 1 : 2;
    options.m_mouseSignAllowed = IsDlgButtonChecked(IDC_MOUSE_TOUCH) == BST_CHECKED ? 1 : 0;
    options.m_hideEmailAddrs = IsDlgButtonChecked(IDC_HIDE_EMAILS) == BST_CHECKED ? 1 : 0;
    options.m_sendMode = Mode();

    // The file lists the signers bottom row first: the reader lists them
    // backwards, so the rows come back as they are now, signers of one
    // round included.
    // Signers without a row (deleted ones) stay behind them, unwritten.
    std::vector<CRecip*> rows;
    for (int row = 0; row < m_signers.GetItemCount(); ++row) {
        if (CRecip* signer = SignerAt(row))
            rows.push_back(signer);
    }
    const std::unordered_set<CRecip*> inRows(rows.begin(), rows.end());
    std::vector<CRecip*> rest;
    while (!m_working.m_signers.IsEmpty()) {
        CRecip* signer = m_working.m_signers.RemoveHead();
        if (!inRows.contains(signer))
            rest.push_back(signer);
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        m_working.m_signers.AddTail(*row);
    for (CRecip* signer : rest)
        m_working.m_signers.AddTail(signer);

    const CString folder = TemplateFolder();
    const HRESULT hr = folder.IsEmpty() ? E_ACCESSDENIED : m_working.SaveXML(folder);
    if (FAILED(hr)) {
        TheLog().HResult("CEditDlg::OnSaveTemplate", hr);
        CString details;
        if (hr == E_INVALIDARG) {
            details = LoadText(IDS_BAD_TEMPLATE_NAME_DETAILS);
        } else {
            details.Format("The file \"%s.xml\" could not be written in the template folder "
                           "\"%s\", or a document of the template could not be read.",
                           m_working.m_name.GetString(), folder.GetString());
        }
        editor::CDlgError::Show(m_hWnd, LoadText(IDS_SAVE_FAILED), details);
        return false; // still modified: nothing of it was lost
    }

    // The library's entry becomes what the file now holds, read back as
    // the add-in will read it: its embedded documents then live on in the
    // reader's copy of their bytes, whether or not the files they came from
    // stay where they were.
    CString path;
    CTemplate::PathInFolder(folder, m_working.m_name + ".xml", path);
    CTemplate saved;
    if (SUCCEEDED(saved.LoadXML(path))) {
        *m_current = saved;
        ShowTemplate(m_current);
    } else {
        m_working.m_filePath = path;
        *m_current = m_working;
    }
    ClearModified();
    return true;
}

int CEditDlg::BrowseDocument(CComboBox& list, const char* type, int& previous)
{
    CString name;
    CString path;
    const INT_PTR picked = PickDocumentFile(m_hWnd, name, path);
    if (picked != IDOK) {
        list.SetCurSel(previous);
        return static_cast<int>(picked);
    }
    CTempDoc* kept = KeepRecord(PickedDocument(name, path, type));
    const int index = list.AddString(kept->m_name);
    list.SetItemData(index, reinterpret_cast<DWORD_PTR>(kept));
    list.SetCurSel(index);

    const CString slot(type);
    std::unique_ptr<CTempDoc>& target = slot == "Signature"   ? m_working.m_signatureDoc
                                        : slot == "Reference" ? m_working.m_referenceDoc
                                                              : m_working.m_infoDoc;
    target = std::make_unique<CTempDoc>(*kept);
    const int button = slot == "Signature"   ? IDC_OPEN_SIGNATURE
                       : slot == "Reference" ? IDC_OPEN_REFERENCE
                                             : IDC_OPEN_INFO;
    GetDlgItem(button).EnableWindow(TRUE);
    SetModified();
    previous = index;
    return 1;
}

void CEditDlg::OnDeleteTemplate()
{
    CLogBlock block("CEditDlg::OnDeleteTemplate");
    if (!m_current)
        return;
    CDlgDelete dialog(m_hWnd);
    dialog.m_question = LoadText(IDS_DELETE_TEMPLATE);
    if (dialog.DoModal() != IDOK)
        return;

    // The entry of exactly this template: names may share a beginning.
    for (int i = m_templateList.GetCount() - 1; i >= 0; --i) {
        if (m_templateList.GetItemData(i) == reinterpret_cast<DWORD_PTR>(m_current))
            m_templateList.DeleteString(i);
    }
    const CString own = OwnFile(*m_current);
    if (!own.IsEmpty())
        DeleteFileA(own);

    m_current = nullptr;
    ShowTemplate(nullptr);
    const CString placeholder = LoadText(IDS_SELECT_TEMPLATE);
    int index = m_templateList.FindStringExact(-1, placeholder);
    if (index < 0)
        index = m_templateList.InsertString(-1, placeholder);
    m_templateList.SetCurSel(index);
    ClearModified();
}

bool CEditDlg::MayTakeName(HWND owner, const CString& name, const CTemplate* taker)
{
    const CString folder = TemplateFolder();
    CString target;
    if (!folder.IsEmpty() && FAILED(CTemplate::PathInFolder(folder, name + ".xml", target)))
        target.Empty();
    // Names are file names: "offer" and "Offer" are one template.
    std::vector<CTemplate*> holders;
    for (int i = 0; i < m_templateList.GetCount(); ++i) {
        const DWORD_PTR data = m_templateList.GetItemData(i);
        auto* listed = reinterpret_cast<CTemplate*>(data);
        if (!listed || data == static_cast<DWORD_PTR>(CB_ERR) || listed == taker)
            continue;
        const CString own = OwnFile(*listed);
        if (listed->m_name.CompareNoCase(name) == 0 ||
            (!target.IsEmpty() && own.CompareNoCase(target) == 0))
            holders.push_back(listed);
    }
    const bool fileTaken = !target.IsEmpty() &&
                           GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES &&
                           !(taker && OwnFile(*taker).CompareNoCase(target) == 0);
    if (holders.empty() && !fileTaken)
        return true;

    CString question;
    question.Format(LoadText(IDS_REPLACE_TEMPLATE), name.GetString());
    CConfig config;
    if (MessageBoxA(owner, question, config.GetDisplayName(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return false;
    for (CTemplate* holder : holders) {
        for (int i = m_templateList.GetCount() - 1; i >= 0; --i) {
            if (m_templateList.GetItemData(i) == reinterpret_cast<DWORD_PTR>(holder))
                m_templateList.DeleteString(i);
        }
        if (holder == m_current)
            m_current = nullptr;
        m_library.Remove(holder);
    }
    return true;
}
