// The page in an Options dialog as strict as a real container: the control
// is hidden and deactivated when its tab is switched away and activated
// again when it comes back, Apply comes while its window is gone or before
// it was ever made, and the keys reach it only through TranslateAccelerator
// from a host window that is no dialog.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "classlib/com/CComObject.h"
#include "classlib/com/CComPtr.h"
#include "options/OptionsResource.h"
#include "options/page/PageIds.h"
#include "shared/config/Config.h"
#include "standins/gateway/SampleGatewayIds.h"
#include "standins/outlook/model/PropertyPages.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/HResultText.h"

using namespace optionstest;
using namespace testenv;
using standin::COptionsDialog;
using HiddenTab = standin::COptionsDialog::HiddenTab;

namespace {

std::optional<DWORD> StoredDword(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(value->data.data());
}

std::string StoredText(const char* name)
{
    const auto value = ReadValue(kProductKey, name);
    std::string text = value ? value->data : "<none>";
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool Checked(HWND dialog, int id)
{
    return SendMessageA(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The page's window: the parent of its controls.
HWND PageWindow(HWND dialog)
{
    return GetParent(Control(dialog, IDC_USERNAME));
}

// A key as the keyboard sends it to the window with the focus, with Shift
// or Alt held until ReleaseKeys.
void PressKey(UINT message, WPARAM key, bool shift, bool alt)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(state);
    const LPARAM flags = alt ? (1 << 29) : 0;
    PostMessageA(GetFocus(), message, key, flags | 1);
}

void ReleaseKeys()
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = 0;
    state[VK_MENU] = 0;
    SetKeyboardState(state);
}

// Where the focus is: the page control's id, or kOutside on the dialog's
// own controls, or kNowhere.
constexpr int kOutside = -100;
// The property sheet's tab control.
constexpr int kSheetTabs = 0x3020;
constexpr int kNowhere = -200;
int FocusIn(HWND dialog)
{
    HWND focus = GetFocus();
    if (!focus || !IsChild(dialog, focus))
        return kNowhere;
    HWND page = PageWindow(dialog);
    if (focus != page && !IsChild(page, focus))
        return kOutside;
    while (GetParent(focus) != page && focus != page)
        focus = GetParent(focus);
    return GetDlgCtrlID(focus);
}

} // namespace

TEST_F(OptionsPageTest, WhatTheUserSetOutlivesThePagesWindowAndApplyWritesIt)
{
    const std::string defaultFolder = [] {
        CString folder;
        return SUCCEEDED(CConfig().GetTemplateFolder(folder)) ? std::string(folder.GetString())
                                                              : std::string();
    }();
    ASSERT_FALSE(defaultFolder.empty());
    bool typedShownAgain = false;
    bool receiptsShownAgain = true;
    bool followerEnabledAgain = true;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Type(IDC_USERNAME, "ann@example.com")
            .Type(IDC_PASSWORD, "pw")
            .Type(IDC_ACCOUNT_ID, "ACC-1")
            .Check(IDC_MAKE_RECEIPT, false)
            .PickTab("Preferences")
            .PickTab("Quillet")
            .Do("looks at the page again",
                [&](HWND dialog) {
                    typedShownAgain = ControlText(dialog, IDC_USERNAME) == "ann@example.com" &&
                                      ControlText(dialog, IDC_ACCOUNT_ID) == "ACC-1";
                    receiptsShownAgain = Checked(dialog, IDC_MAKE_RECEIPT);
                    followerEnabledAgain =
                        IsWindowEnabled(Control(dialog, IDC_SHOW_RECEIPT)) != FALSE;
                    return true;
                })
            // OK while another tab is in front: the page's window is gone.
            .PickTab("Preferences")
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(2, run.Page().activations);
    EXPECT_TRUE(typedShownAgain) << "the second window shows what the user typed";
    EXPECT_FALSE(receiptsShownAgain);
    EXPECT_FALSE(followerEnabledAgain);
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, run.Page().applies);

    CCredentials credentials;
    ASSERT_HR(S_OK, CConfig().GetCredentials(credentials));
    EXPECT_STREQ("ann@example.com", credentials.m_email);
    EXPECT_STREQ("pw", credentials.m_password);
    EXPECT_STREQ("ACC-1", credentials.m_accountId);
    struct Row {
        const char* name;
        DWORD value;
    };
    for (const Row& row :
         {Row{.name = "MakeReceipt", .value = 0}, Row{.name = "ShowReceipt", .value = 0},
          Row{.name = "GotoShortcuts", .value = 1}, Row{.name = "TemplatesOnly", .value = 0},
          Row{.name = "SingleClick", .value = 0}}) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.value, StoredDword(row.name));
    }
    EXPECT_EQ(defaultFolder, StoredText("TemplateFolder"));
}

TEST_F(OptionsPageTest, APageNeverShownIsAppliedOnOkAndWritesNothing)
{
    WriteDword(kProductKey, "MakeReceipt", 0);
    const OptionsRun run =
        RunOptions([](CScriptedUser& user) { user.Click(IDOK); }, {}, {.pickPage = false});
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(IDOK, run.ended);
    EXPECT_FALSE(run.Page().activated);
    EXPECT_EQ(std::vector<HRESULT>{S_FALSE}, run.Page().applies) << "nothing written, and said";
    EXPECT_EQ(0u, StoredDword("MakeReceipt"));
    EXPECT_FALSE(ReadValue(kProductKey, "Credentials"));
    EXPECT_FALSE(ReadValue(kProductKey, "GotoShortcuts"));
}

TEST_F(OptionsPageTest, TheTabComingBackShowsThePageAgain)
{
    struct Row {
        const char* name;
        HiddenTab hiddenTab;
        int activations;
    };
    for (const Row& row :
         {Row{.name = "hidden only", .hiddenTab = HiddenTab::KeepActive, .activations = 1},
          Row{.name = "hidden and deactivated",
          .hiddenTab = HiddenTab::Deactivate,
          .activations = 2}}) {
        SCOPED_TRACE(row.name);
        bool hiddenWhileAway = false;
        bool shownAgain = false;
        const OptionsRun run = RunOptions(
            [&](CScriptedUser& user) {
                user.PickTab("Preferences")
                    .Do("looks for the page",
                        [&](HWND dialog) {
                            HWND name = Control(dialog, IDC_USERNAME);
                            hiddenWhileAway = !name || !IsWindowVisible(name);
                            return true;
                        })
                    .PickTab("Quillet")
                    .Do("looks at the page",
                        [&](HWND dialog) {
                            shownAgain = IsWindowVisible(Control(dialog, IDC_USERNAME)) != FALSE;
                            return true;
                        })
                    .Click(IDCANCEL);
            },
            {}, {.hiddenTab = row.hiddenTab});
        ASSERT_TRUE(run.scriptDone) << run.report;
        EXPECT_TRUE(hiddenWhileAway);
        EXPECT_TRUE(shownAgain);
        EXPECT_EQ(row.activations, run.Page().activations);
        EXPECT_EQ(0, run.Page().statusChanges) << "showing again is no change";
    }
}

namespace {

class StrictGatewaysTest : public OptionsPageTest {
protected:
    void SetUp() override
    {
        OptionsPageTest::SetUp();
        ASSERT_EQ(S_OK, RegisterLibrary(ProgramFolder() + "SampleGateway.dll", true));
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
    }
    void TearDown() override
    {
        CoFreeUnusedLibrariesEx(0, 0);
        RegisterLibrary(ProgramFolder() + "SampleGateway.dll", false);
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
        OptionsPageTest::TearDown();
    }
};

} // namespace

TEST_F(StrictGatewaysTest, EachActivationShowsEachGatewayOnceAndLeavesThePageClean)
{
    // A is enabled, stored without its tab.
    WriteText(kProductKey, "Gateways", kSampleGatewayAText);
    std::vector<std::string> first, again;
    bool applyEnabledAgain = true;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at the gateways",
                [&](HWND dialog) {
                    first = ListRows(dialog, IDC_GATEWAYS);
                    return true;
                })
            .PickTab("Preferences")
            .PickTab("Quillet")
            .Do("looks at them again",
                [&](HWND dialog) {
                    again = ListRows(dialog, IDC_GATEWAYS);
                    applyEnabledAgain =
                        IsWindowEnabled(GetDlgItem(dialog, COptionsDialog::kApplyButton));
                    return true;
                })
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ(2, run.Page().activations);
    EXPECT_EQ(2u, first.size());
    EXPECT_EQ(first, again);
    EXPECT_FALSE(applyEnabledAgain);
    EXPECT_EQ(0, run.Page().statusChanges);
    EXPECT_EQ(std::string(kSampleGatewayAText) + "\t", StoredText("Gateways"));
}

TEST_F(OptionsPageTest, TabMnemonicsEnterAndEscReachWhereAUserExpects)
{
    struct Row {
        const char* name;
        int from; // a control of the page's, or of the dialog's (IDOK, its tabs)
        UINT message;
        WPARAM key;
        bool shift;
        int to;
    };
    const std::vector<Row> rows = {
        {.name = "Tab within the page",
         .from = IDC_USERNAME,
         .message = WM_KEYDOWN,
         .key = VK_TAB,
         .shift = false,
         .to = IDC_PASSWORD},
        {.name = "Tab after the last control leaves the page",
         .from = IDC_EDIT_TEMPLATES,
         .message = WM_KEYDOWN,
         .key = VK_TAB,
         .shift = false,
         .to = kOutside},
        {.name = "Shift+Tab before the first leaves it backwards",
         .from = IDC_USERNAME,
         .message = WM_KEYDOWN,
         .key = VK_TAB,
         .shift = true,
         .to = kOutside},
        {.name = "Shift+Tab within the page",
         .from = IDC_PASSWORD,
         .message = WM_KEYDOWN,
         .key = VK_TAB,
         .shift = true,
         .to = IDC_USERNAME},
        {.name = "Tab from the dialog's tabs enters the page",
         .from = kSheetTabs,
         .message = WM_KEYDOWN,
         .key = VK_TAB,
         .shift = false,
         .to = IDC_USERNAME},
        {.name = "Alt+A in the page",
         .from = IDC_USERNAME,
         .message = WM_SYSKEYDOWN,
         .key = 'A',
         .shift = false,
         .to = IDC_ACCOUNT_ID},
        {.name = "Alt+F from the dialog's OK button",
         .from = IDOK,
         .message = WM_SYSKEYDOWN,
         .key = 'F',
         .shift = false,
         .to = IDC_TEMPLATE_FOLDER},
    };
    std::vector<int> reached(rows.size(), kNowhere);
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            user.Do(std::string("puts the focus for ") + row.name,
                    [&row](HWND dialog) {
                        SetFocus(Control(dialog, row.from));
                        return true;
                    })
                .Do(std::string("presses for ") + row.name,
                    [&row](HWND) {
                        PressKey(row.message, row.key, row.shift, row.message == WM_SYSKEYDOWN);
                        return true;
                    })
                .Do("looks where the focus went", [&reached, i](HWND dialog) {
                    ReleaseKeys();
                    reached[i] = FocusIn(dialog);
                    return true;
                });
        }
        user.Click(IDCANCEL);
    });
    ReleaseKeys();
    ASSERT_TRUE(run.scriptDone) << run.report;
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(rows[i].to, reached[i]);
    }

    // Enter in an edit is the dialog's OK, Esc its Cancel.
    struct Ending {
        const char* name;
        WPARAM key;
        INT_PTR ended;
        size_t applies;
    };
    for (const Ending& ending :
         {Ending{.name = "Enter", .key = VK_RETURN, .ended = IDOK, .applies = 1},
          Ending{.name = "Esc", .key = VK_ESCAPE, .ended = IDCANCEL, .applies = 0}}) {
        SCOPED_TRACE(ending.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        const OptionsRun ended = RunOptions([&](CScriptedUser& user) {
            user.Type(IDC_USERNAME, "ann@example.com").Do("presses the key", [&](HWND) {
                PressKey(WM_KEYDOWN, ending.key, false, false);
                return true;
            });
        });
        ASSERT_TRUE(ended.scriptDone) << ended.report;
        EXPECT_EQ(ending.ended, ended.ended);
        EXPECT_EQ(ending.applies, ended.Page().applies.size());
    }
}

namespace {

// The page as a control that offers IQuickActivate: it answers that itself
// (siting the page) and its IOleObject, and leaves the rest to the page.
class CQuickPage final
    : public CComObjectT<ComLifetime::Unlocked, IDispatch, IOleObject, IQuickActivate> {
public:
    explicit CQuickPage(CComPtr<IOleObject> page) : m_page(std::move(page)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        const HRESULT hr = CComObjectT::QueryInterface(iid, object);
        return hr == E_NOINTERFACE ? m_page->QueryInterface(iid, object) : hr;
    }

    // IDispatch: nothing of its own.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    // IQuickActivate
    HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override
    {
        ++quickActivations;
        control->dwMiscStatus = 0;
        m_page->GetMiscStatus(DVASPECT_CONTENT, &control->dwMiscStatus);
        return m_page->SetClientSite(container->pClientSite);
    }
    HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override
    {
        return m_page->SetExtent(DVASPECT_CONTENT, size);
    }
    HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override
    {
        return m_page->GetExtent(DVASPECT_CONTENT, size);
    }

    // IOleObject: the page's.
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override
    {
        ++sitings;
        return m_page->SetClientSite(site);
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override
    {
        return m_page->GetClientSite(site);
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override
    {
        return m_page->SetHostNames(app, object);
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD option) override { return m_page->Close(option); }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override
    {
        return m_page->SetMoniker(which, moniker);
    }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override
    {
        return m_page->GetMoniker(assign, which, moniker);
    }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD) override
    {
        return m_page->InitFromData(data, creation, 0);
    }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override
    {
        return m_page->GetClipboardData(0, data);
    }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index,
                                     HWND parent, LPCRECT position) override
    {
        return m_page->DoVerb(verb, message, site, index, parent, position);
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override
    {
        return m_page->EnumVerbs(verbs);
    }
    HRESULT STDMETHODCALLTYPE Update() override { return m_page->Update(); }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return m_page->IsUpToDate(); }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override
    {
        return m_page->GetUserClassID(clsid);
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override
    {
        return m_page->GetUserType(form, type);
    }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override
    {
        return m_page->SetExtent(aspect, size);
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override
    {
        return m_page->GetExtent(aspect, size);
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override
    {
        return m_page->Advise(sink, cookie);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return m_page->Unadvise(cookie); }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override
    {
        return m_page->EnumAdvise(advises);
    }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override
    {
        ++miscAsked;
        return m_page->GetMiscStatus(aspect, status);
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override
    {
        return m_page->SetColorScheme(palette);
    }

    int quickActivations = 0;
    int sitings = 0;   // SetClientSite calls the container made itself
    int miscAsked = 0; // likewise GetMiscStatus

private:
    CComPtr<IOleObject> m_page;
};

} // namespace

TEST_F(OptionsPageTest, AControlOfferingQuickActivationIsSitedInOneCall)
{
    CComPtr<IOleObject> inner;
    ASSERT_HR(S_OK, CoCreateInstance(CLSID_PropPage, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                     inner.PutVoid()));
    CComPtr<CQuickPage> quick(new CQuickPage(inner));
    inner.Release();
    CComPtr<standin::CPropertyPages> pages = standin::New<standin::CPropertyPages>();
    pages->AddPage(static_cast<IDispatch*>(quick.Get()), L"Quillet");
    std::vector<COptionsDialog::PageRecord> records;
    INT_PTR ended = 0;
    std::string report;
    bool done = false;
    {
        COptionsDialog dialog(*pages, nullptr);
        CScriptedUser user;
        user.Expect("Options")
            .PickTab("Quillet")
            .Type(IDC_USERNAME, "quick@example.com")
            .Click(IDOK);
        user.Start();
        ended = dialog.Run(nullptr);
        user.Stop();
        done = user.Finished();
        report = user.Report();
        records = dialog.Records();
    }
    ASSERT_TRUE(done) << report;
    ASSERT_EQ(2u, records.size());
    const COptionsDialog::PageRecord& page = records[1];
    EXPECT_HR(S_OK, page.created);
    EXPECT_TRUE(page.quickActivated);
    EXPECT_EQ(1, quick->quickActivations);
    EXPECT_EQ(0, quick->miscAsked) << "the status came with the quick activation";
    EXPECT_EQ(IDOK, ended);
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, page.applies);
    CCredentials credentials;
    ASSERT_HR(S_OK, CConfig().GetCredentials(credentials));
    EXPECT_STREQ("quick@example.com", credentials.m_email);
    EXPECT_EQ(1, quick->sitings) << "only the null site as the dialog closed";
}
