// The add-in's command bars and buttons on the Outlook stand-in's explorer
// and inspectors: the bar found or added, placed from the saved state and
// left hidden, the buttons set up or sharing a control by their tags, the
// one click path, and a face pasted through the clipboard that the user
// gets back unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <olectl.h>

#include "addin/AddinResource.h"
#include "addin/commands/ClipBack.h"
#include "addin/commands/CmdBar.h"
#include "addin/commands/CmdBtn.h"
#include "addin/commands/ExplorerButtons.h"
#include "addin/sync/SyncBtn.h"
#include "shared/SharedResource.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/ItemWindow.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/NameSpace.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/office/CommandBarButton.h"
#include "standins/outlook/office/CommandBars.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/TestEnv.h"
#include "tests/support/HResultText.h"

using namespace standin;

namespace {

// A button whose command only counts its runs and what it was given.
class CProbeBtn : public CCmdBtn {
public:
    explicit CProbeBtn(const char* tag = "", bool canClick = true)
        : CCmdBtn(IDS_SEND_CAPTION, IDB_SEND_FACE, IDB_SEND_MASK), m_canClick(canClick)
    {
        SetTag(tag);
    }
    BOOL CanClick() override
    {
        ++canClickCalls;
        return m_canClick;
    }
    HRESULT OnClick() override
    {
        ++clicks;
        clickedWithItem.push_back(m_item.vt == VT_DISPATCH && m_item.pdispVal);
        return S_OK;
    }

    int canClickCalls = 0;
    int clicks = 0;
    std::vector<bool> clickedWithItem;

private:
    bool m_canClick;
};

// The version Outlook registers, for the tests that need an old one; the
// key is removed again when the test made it.
class COutlookVersion {
public:
    explicit COutlookVersion(const char* curVer)
    {
        HKEY key = nullptr;
        m_existed = RegOpenKeyExA(HKEY_CLASSES_ROOT, "Outlook.Application", 0, KEY_READ, &key) ==
                    ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        EXPECT_FALSE(m_existed) << "the prefix has its own Outlook registration";
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "Outlook.Application\\CurVer", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(curVer),
                           static_cast<DWORD>(std::strlen(curVer) + 1));
            RegCloseKey(key);
        }
    }
    ~COutlookVersion()
    {
        if (!m_existed)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, "Outlook.Application");
    }

private:
    bool m_existed = false;
};

// The clipboard as the user's other programs use it, through a window of
// the test's own.
class CTestClipboard {
public:
    CTestClipboard()
        : m_window(CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   nullptr, nullptr))
    {}
    ~CTestClipboard() { DestroyWindow(m_window); }

    // Empties the clipboard and puts these blocks on it.
    void Put(const std::vector<std::pair<UINT, std::string>>& blocks)
    {
        ASSERT_TRUE(OpenClipboard(m_window));
        EmptyClipboard();
        for (const auto& [format, bytes] : blocks) {
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
            std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
            GlobalUnlock(block);
            EXPECT_TRUE(SetClipboardData(format, block)) << "format " << format;
        }
        CloseClipboard();
    }
    void PutHandle(UINT format, HANDLE handle)
    {
        ASSERT_TRUE(OpenClipboard(m_window));
        EXPECT_TRUE(SetClipboardData(format, handle)) << "format " << format;
        CloseClipboard();
    }
    // The block of a format; "<none>" when it is not there.
    std::string Read(UINT format)
    {
        if (!OpenClipboard(m_window))
            return "<not open>";
        std::string bytes = "<none>";
        if (HANDLE data = GetClipboardData(format)) {
            bytes.assign(static_cast<const char*>(GlobalLock(data)), GlobalSize(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return bytes;
    }
    bool Has(UINT format) { return IsClipboardFormatAvailable(format) != FALSE; }
    HWND Window() const { return m_window; }

private:
    HWND m_window;
};

std::string WithZero(const char* text)
{
    return std::string(text, std::strlen(text) + 1);
}

// Width and height of a picture's bitmap; 0, 0 when it is none.
SIZE PictureSize(IPictureDisp* picture)
{
    SIZE size{0, 0};
    CComPtr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.PutVoid())))
        return size;
    SHORT type = 0;
    OLE_HANDLE handle = 0;
    if (FAILED(pic->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(pic->get_Handle(&handle)))
        return size;
    BITMAP bitmap{};
    if (GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof(bitmap),
                   &bitmap)) {
        size.cx = bitmap.bmWidth;
        size.cy = bitmap.bmHeight;
    }
    return size;
}

class CmdBarTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CallLog().Clear();
        CallLog().ClearInjections();
        m_app = New<CApplication>();
        m_explorer = &m_app->OpenExplorer();
    }
    void TearDown() override
    {
        CallLog().ClearInjections();
        m_app->Quit();
        m_app.Release();
        CleanProfileTest::TearDown();
    }

    // An open inspector on a new mail item with one recipient.
    CInspector& OpenMail(bool wordMail = false)
    {
        CComPtr<CItem> item = m_app->Mailbox().CreateItem(kItemTypeMail);
        item->Recipients().Add(L"jane@example.com", 1);
        m_app->SetWordMail(wordMail);
        return m_app->OpenInspector(*item);
    }

    static void WriteState(std::initializer_list<std::pair<const char*, DWORD>> values)
    {
        for (const auto& [name, value] : values)
            testenv::WriteDword(testenv::kProductKey, name, value);
    }

    CComPtr<CApplication> m_app;
    CExplorer* m_explorer = nullptr;
};

TEST_F(CmdBarTest, CreateFindsTheBarOrAddsATemporaryOne)
{
    CCommandBars& bars = m_explorer->CommandBars();
    {
        CCmdBar bar;
        ASSERT_HR(S_OK, bar.Create(m_explorer->Dispatch(), "Quillet"));
        ASSERT_EQ(1u, bars.Count());
        CCommandBar* added = bars.Find(L"Quillet");
        ASSERT_NE(nullptr, added);
        EXPECT_EQ(added->Dispatch(), bar.GetCommandBar());
        EXPECT_EQ(1, added->Position()) << "at the top";
        EXPECT_FALSE(added->MenuBar());
        EXPECT_TRUE(added->Temporary());
    }
    EXPECT_EQ(0u, bars.Count()) << "the wrapper's end deletes the Office bar";

    CCommandBar* existing = bars.AddBar(L"quillet", 3, false, false);
    CallLog().Clear();
    {
        CCmdBar bar;
        ASSERT_HR(S_OK, bar.Create(m_explorer->Dispatch(), "Quillet"));
        EXPECT_EQ(existing->Dispatch(), bar.GetCommandBar()) << "found by name in any case";
        EXPECT_EQ(0u, CallLog().Count(L"CommandBars", L"Add"));
    }

    CCmdBar bar;
    EXPECT_HR(E_INVALIDARG, bar.Create(nullptr, "Quillet"));
    EXPECT_HR(E_INVALIDARG, bar.Create(m_explorer->Dispatch(), nullptr));
    CallLog().Inject(L"Explorer", L"CommandBars", E_ACCESSDENIED);
    EXPECT_HR(E_ACCESSDENIED, bar.Create(m_explorer->Dispatch(), "Other"));
    CallLog().ClearInjections();
    CallLog().Inject(L"CommandBars", L"Add", DISP_E_EXCEPTION);
    EXPECT_HR(E_FAIL, bar.Create(m_explorer->Dispatch(), "Other"));
    EXPECT_EQ(nullptr, bar.GetCommandBar());
}

TEST_F(CmdBarTest, ExplorerBarStartsHiddenAndIsPlacedOnlyFromAFullSavedState)
{
    struct {
        const char* what;
        bool write;
        bool complete;
    } cases[] = {
        {"no saved state", false, false},
        {"a state without its last value", true, false},
        {"a full saved state", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeA(HKEY_CURRENT_USER, testenv::kProductKey);
        if (c.write)
            WriteState(
                {{"CmdBarTop", 40}, {"CmdBarLeft", 12}, {"CmdBarPos", 4}, {"CmdBarRowIndex", 2}});
        if (c.complete)
            WriteState({{"CmdBarVisible", 1}});
        CallLog().Clear();

        CCmdBar* bar = nullptr;
        ASSERT_HR(S_OK, AddExplorerButtons(m_app->Dispatch(), m_explorer->Dispatch(), &bar));
        ASSERT_NE(nullptr, bar);
        CCommandBar* office = m_explorer->CommandBars().Find(L"Quillet");
        ASSERT_NE(nullptr, office);
        EXPECT_FALSE(office->Visible()) << "hidden until a task folder shows";
        EXPECT_EQ(c.complete ? 40 : 0, office->Top());
        EXPECT_EQ(c.complete ? 12 : 0, office->Left());
        EXPECT_EQ(c.complete ? 4 : 1, office->Position());
        EXPECT_EQ(c.complete ? 2 : 0, office->RowIndex());
        EXPECT_EQ(c.complete ? 1u : 0u, CallLog().Count(L"CommandBar", L"Top"));

        ASSERT_EQ(1u, office->Controls()->Count());
        // Held: deleting the bar lets go of the Office bar and its controls.
        CComPtr<CCommandBarButton> control(office->Controls()->At(0));
        EXPECT_EQ(L"Synclet-It", control->Caption());
        EXPECT_EQ(3, control->Style()) << "icon and caption";
        EXPECT_TRUE(control->Visible());
        EXPECT_EQ(L"", control->Tag());
        EXPECT_EQ(0u, CallLog().Count(L"CommandBarButton", L"Tag")) << "no tag to put";
        EXPECT_EQ(16, PictureSize(control->Picture()).cx);
        EXPECT_EQ(16, PictureSize(control->Mask()).cy);
        EXPECT_EQ(1u, control->Connections(kCommandBarButtonEvents)) << "the sync button listens";
        EXPECT_EQ(1, bar->GetButtons().GetCount());

        delete bar;
        EXPECT_EQ(0u, m_explorer->CommandBars().Count());
        EXPECT_EQ(0u, control->Connections(kCommandBarButtonEvents));
    }

    EXPECT_HR(E_INVALIDARG, AddExplorerButtons(m_app->Dispatch(), m_explorer->Dispatch(), nullptr));
    // A failing step leaves nothing behind and the out-parameter alone.
    CallLog().Inject(L"CommandBarControls", L"Add", E_OUTOFMEMORY);
    CCmdBar* bar = nullptr;
    EXPECT_HR(E_OUTOFMEMORY, AddExplorerButtons(m_app->Dispatch(), m_explorer->Dispatch(), &bar));
    EXPECT_EQ(nullptr, bar);
    EXPECT_EQ(0u, m_explorer->CommandBars().Count());
}

TEST_F(CmdBarTest, RenderPlacesTheBarInOrderAndLeavesItHidden)
{
    CCmdBar bar;
    ASSERT_HR(S_OK, bar.Create(m_explorer->Dispatch(), "Quillet"));
    CCommandBar* office = m_explorer->CommandBars().Find(L"Quillet");
    ASSERT_HR(S_OK, bar.SetVisibility(nullptr, TRUE));
    EXPECT_TRUE(office->Visible());

    CCmdBarState state;
    state.Top = 7;
    state.Left = 8;
    state.Position = 0;
    state.RowIndex = 3;
    state.Visible = 1;
    CallLog().Clear();
    ASSERT_HR(S_OK, bar.Render(state));
    EXPECT_FALSE(office->Visible()) << "only SetVisibility shows the bar";
    std::vector<std::wstring> puts;
    for (const CCallRecord& record : CallLog().Records())
        if (record.kind == L"CommandBar")
            puts.push_back(record.Text());
    EXPECT_EQ((std::vector<std::wstring>{L"CommandBar.Top() = 7", L"CommandBar.Left() = 8",
                                         L"CommandBar.Position() = 0", L"CommandBar.RowIndex() = 3",
                                         L"CommandBar.Visible() = 0"}),
              puts);

    // The first failure ends the placing.
    CallLog().Inject(L"CommandBar", L"Left", E_ACCESSDENIED);
    CallLog().Clear();
    EXPECT_HR(E_ACCESSDENIED, bar.Render(state));
    EXPECT_EQ(0u, CallLog().Count(L"CommandBar", L"Position"));
}

TEST_F(CmdBarTest, VisibilityOfAControlOrOfTheWholeBar)
{
    CCmdBar* made = nullptr;
    ASSERT_HR(S_OK, AddExplorerButtons(m_app->Dispatch(), m_explorer->Dispatch(), &made));
    std::unique_ptr<CCmdBar> bar(made);
    CCommandBar* office = m_explorer->CommandBars().Find(L"Quillet");
    CCommandBarButton* control = office->Controls()->At(0);

    EXPECT_HR(S_OK, bar->SetVisibility(nullptr, TRUE));
    EXPECT_TRUE(office->Visible());
    EXPECT_HR(S_OK, bar->SetVisibility("Synclet-It", FALSE));
    EXPECT_FALSE(control->Visible());
    EXPECT_TRUE(office->Visible()) << "the bar stays as it was";
    EXPECT_HR(DISP_E_EXCEPTION, bar->SetVisibility("Quillet-It", TRUE)) << "no such control";
    CCmdBar unmade;
    EXPECT_HR(E_INVALIDARG, unmade.SetVisibility(nullptr, TRUE));
}

TEST_F(CmdBarTest, SecondInspectorButtonSharesTheControlByItsTag)
{
    CInspector& inspector = OpenMail();
    CCmdBar bar;
    ASSERT_HR(S_OK, bar.Create(inspector.Dispatch(), "Quillet"));
    auto* first = new CProbeBtn("sf0l;");
    first->SetApplication(m_app->Dispatch());
    ASSERT_HR(S_OK, bar.AddButton(first, TRUE));
    CCommandBarControls* controls = inspector.CommandBars().Find(L"Quillet")->Controls();
    ASSERT_EQ(1u, controls->Count());
    CCommandBarButton* control = controls->At(0);
    EXPECT_EQ(L"Quillet-It", control->Caption());
    EXPECT_EQ(L"sf0l;", control->Tag());
    EXPECT_TRUE(first->GetInspectorMode());
    EXPECT_EQ(inspector.Dispatch(), first->GetOwnerWindow());

    CallLog().Clear();
    auto* second = new CProbeBtn("sf1l;");
    second->SetApplication(m_app->Dispatch());
    ASSERT_HR(S_OK, bar.AddButton(second, TRUE));
    EXPECT_EQ(1u, controls->Count()) << "the control with the caption is reused";
    EXPECT_EQ(0u, CallLog().Count(L"CommandBarControls", L"Add"));
    EXPECT_EQ(L"sf1l;sf0l;", control->Tag()) << "the new tag before the old";
    EXPECT_EQ("sf1l;", std::string(second->GetTag())) << "the button keeps its own tag";
    EXPECT_EQ(2u, control->Connections(kCommandBarButtonEvents));

    bar.DisconnectAll();
    EXPECT_EQ(0u, control->Connections(kCommandBarButtonEvents));
    EXPECT_EQ(2, bar.GetButtons().GetCount());
}

TEST_F(CmdBarTest, AddButtonOwnsTheButtonAndReportsTheFailingStep)
{
    CCmdBar unmade;
    bool deleted = false;
    struct CCountedBtn : CProbeBtn {
        explicit CCountedBtn(bool& flag) : m_flag(flag) {}
        ~CCountedBtn() override { m_flag = true; }
        bool& m_flag;
    };
    EXPECT_HR(E_INVALIDARG, unmade.AddButton(new CCountedBtn(deleted), FALSE));
    EXPECT_TRUE(deleted) << "a bar without an Office bar deletes what it was given";
    EXPECT_HR(E_INVALIDARG, unmade.AddButton(nullptr, FALSE));

    CCmdBar bar;
    ASSERT_HR(S_OK, bar.Create(m_explorer->Dispatch(), "Quillet"));
    struct CUncaptionedBtn : CCmdBtn {
        CUncaptionedBtn() : CCmdBtn(0, 0, 0) {}
    };
    EXPECT_HR(E_INVALIDARG, bar.AddButton(new CUncaptionedBtn, FALSE)) << "no caption";
    CallLog().Inject(L"CommandBarButton", L"Caption", E_ACCESSDENIED);
    EXPECT_HR(E_ACCESSDENIED, bar.AddButton(new CProbeBtn, FALSE)) << "a new control's set-up";
    EXPECT_EQ(2, bar.GetButtons().GetCount()) << "kept by the bar either way";
}

class ClickTest : public CmdBarTest {
protected:
    void SetUp() override
    {
        CmdBarTest::SetUp();
        m_inspector = &OpenMail();
        ASSERT_HR(S_OK, m_bar.Create(m_inspector->Dispatch(), "Quillet"));
    }
    void TearDown() override
    {
        m_bar.DisconnectAll();
        CmdBarTest::TearDown();
    }

    CProbeBtn* Add(const char* tag, bool canClick = true, BOOL inspectorMode = TRUE)
    {
        auto* button = new CProbeBtn(tag, canClick);
        button->SetApplication(m_app->Dispatch());
        EXPECT_HR(S_OK, m_bar.AddButton(button, inspectorMode));
        return button;
    }
    CCommandBarButton* Control()
    {
        return m_inspector->CommandBars().Find(L"Quillet")->Controls()->At(0);
    }

    CInspector* m_inspector = nullptr;
    CCmdBar m_bar;
};

TEST_F(ClickTest, ClickSavesAndResolvesTheItemThenRunsTheCommand)
{
    CProbeBtn* button = Add("sf0l;");
    CallLog().Clear();
    EXPECT_FALSE(Control()->Click()) << "CancelDefault is left alone";
    EXPECT_EQ(1, button->clicks);
    ASSERT_EQ(1u, button->clickedWithItem.size());
    EXPECT_TRUE(button->clickedWithItem[0]) << "the command sees the inspector's item";
    EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Save"));
    EXPECT_EQ(1u, CallLog().Count(L"Recipients", L"ResolveAll"));
    EXPECT_TRUE(button->GetAllResolved());
    std::vector<std::wstring> order;
    for (const CCallRecord& record : CallLog().Records())
        if (record.member == L"Save" || record.member == L"ResolveAll")
            order.push_back(record.member);
    EXPECT_EQ((std::vector<std::wstring>{L"Save", L"ResolveAll"}), order) << "saved, then resolved";

    // A failing step of the inspector's part ends the click before the command.
    CallLog().Inject(L"Recipients", L"ResolveAll", E_FAIL);
    Control()->Click();
    EXPECT_EQ(1, button->clicks);
}

TEST_F(ClickTest, ClickThatMayNotRunDoesNothing)
{
    CProbeBtn* button = Add("sf0l;", false);
    CallLog().Clear();
    Control()->Click();
    EXPECT_EQ(1, button->canClickCalls);
    EXPECT_EQ(0, button->clicks);
    EXPECT_EQ(0u, CallLog().Count(L"Application", L"ActiveInspector")) << CallLog().Dump();
    EXPECT_EQ(0u, CallLog().Count(L"MailItem", L"Save"));
}

TEST_F(ClickTest, OnlyTheButtonWhoseTagTheControlCarriesActs)
{
    CProbeBtn* first = Add("sf0l;");
    CProbeBtn* second = Add("sf1l;");
    CCommandBarButton* control = Control();
    struct {
        const wchar_t* controlTag;
        int firstClicks;
        int secondClicks;
        size_t saves;
    } cases[] = {
        {L"sf1l;", 0, 1, 1},
        {L"sf0l;", 1, 0, 1},
        {L"sf1l;sf0l;", 1, 1, 2},
        {L"other;", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(CBstr(c.controlTag).ToString()));
        // The control's own tag, as the control of that inspector has it.
        CVariant tag;
        tag.vt = VT_BSTR;
        tag.bstrVal = SysAllocString(c.controlTag);
        ASSERT_HR(S_OK, CDispatcher::PutProp(control->Dispatch(), L"Tag", &tag));
        first->clicks = second->clicks = 0;
        CallLog().Clear();
        control->Click();
        EXPECT_EQ(c.firstClicks, first->clicks);
        EXPECT_EQ(c.secondClicks, second->clicks);
        EXPECT_EQ(c.saves, CallLog().Count(L"MailItem", L"Save"));
    }
}

// Word's inspectors share Word's bars: the second inspector's button lands on
// the first one's control, and the click belongs to the inspector the user
// clicked in, whichever tags the control carries.
TEST_F(CmdBarTest, OnSharedWordBarsOnlyTheActiveInspectorsButtonActs)
{
    CInspector& first = OpenMail(true);
    CInspector& second = OpenMail(true);
    ASSERT_EQ(&first.CommandBars(), &second.CommandBars());
    CCmdBar firstBar, secondBar;
    ASSERT_HR(S_OK, firstBar.Create(first.Dispatch(), "Quillet"));
    ASSERT_HR(S_OK, secondBar.Create(second.Dispatch(), "Quillet"));
    auto* firstButton = new CProbeBtn("sf0l;");
    auto* secondButton = new CProbeBtn("sf1l;");
    for (CProbeBtn* button : {firstButton, secondButton})
        button->SetApplication(m_app->Dispatch());
    ASSERT_HR(S_OK, firstBar.AddButton(firstButton, TRUE));
    ASSERT_HR(S_OK, secondBar.AddButton(secondButton, TRUE));
    CCommandBarControls* controls = first.CommandBars().Find(L"Quillet")->Controls();
    ASSERT_EQ(1u, controls->Count());
    CCommandBarButton* control = controls->At(0);
    EXPECT_EQ(L"sf1l;sf0l;", control->Tag());
    EXPECT_NE(0u, CallLog().Count(L"CommandBarButton", L"PasteFace")) << "Word takes pasted faces";

    for (CInspector* active : {&first, &second}) {
        m_app->Activate(*active);
        firstButton->clicks = secondButton->clicks = 0;
        CallLog().Clear();
        control->Click();
        EXPECT_EQ(active == &first ? 1 : 0, firstButton->clicks);
        EXPECT_EQ(active == &second ? 1 : 0, secondButton->clicks);
        EXPECT_EQ(1u, CallLog().Count(L"MailItem", L"Save")) << "the command ran once";
    }
    firstBar.DisconnectAll();
    secondBar.DisconnectAll();
}

TEST_F(ClickTest, ExplorerButtonGoesStraightToItsCommand)
{
    CProbeBtn* button = Add("", true, FALSE);
    CallLog().Clear();
    Control()->Click();
    EXPECT_EQ(1, button->clicks);
    EXPECT_FALSE(button->clickedWithItem[0]);
    EXPECT_EQ(0u, CallLog().Count(L"Application", L"ActiveInspector"));
}

TEST_F(CmdBarTest, SyncButtonRefusesOfflineAndSaysSo)
{
    CCmdBar* bar = nullptr;
    ASSERT_HR(S_OK, AddExplorerButtons(m_app->Dispatch(), m_explorer->Dispatch(), &bar));
    std::unique_ptr<CCmdBar> owned(bar);
    CCommandBarButton* control = m_explorer->CommandBars().Find(L"Quillet")->Controls()->At(0);

    CSyncBtn sync;
    sync.SetApplication(m_app->Dispatch());
    CScriptedUser nobody;
    nobody.Start();
    EXPECT_TRUE(sync.CanClick()) << "online";
    nobody.Stop();
    EXPECT_TRUE(nobody.Captions().empty());

    m_app->NameSpace().SetOffline(true);
    CScriptedUser user;
    user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Click(IDOK);
    user.Start();
    control->Click(); // through the bar's own sync button
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ("This Quillet capability is not available when Outlook is in offline mode.",
              user.TextRead(IDC_ERROR_DETAILS));
    EXPECT_EQ(1u, user.Captions().size());
}

class PastedFaceTest : public CmdBarTest {
protected:
    CTestClipboard m_clipboard;
    const UINT m_userFormat = RegisterClipboardFormatW(L"Quillet Test Payload");
    const UINT m_faceFormat = RegisterClipboardFormatW(L"Toolbar Button Face");
    const UINT m_maskFormat = RegisterClipboardFormatW(L"Toolbar Button Mask");
};

TEST_F(PastedFaceTest, WordMailOrAnOldOutlookPastesTheFaceAndGivesTheClipboardBack)
{
    struct {
        const char* what;
        const char* curVer; // null: none registered ("11")
        bool wordMail;
        bool pasted;
    } cases[] = {
        {"Outlook 11, own editor", nullptr, false, false},
        {"Outlook 11, Word mail", nullptr, true, true},
        {"Outlook 10", "Outlook.Application.10", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<COutlookVersion> version;
        if (c.curVer)
            version = std::make_unique<COutlookVersion>(c.curVer);
        const std::string payload("\x01\x02\x00\x03 user data", 14);
        m_clipboard.Put({{CF_TEXT, WithZero("before")}, {m_userFormat, payload}});

        CInspector& inspector = OpenMail(c.wordMail);
        CCmdBar bar;
        ASSERT_HR(S_OK, bar.Create(inspector.Dispatch(), "Quillet"));
        auto* button = new CProbeBtn("sf0l;");
        ASSERT_HR(S_OK, bar.AddButton(button, TRUE));
        CCommandBarButton* control = inspector.CommandBars().Find(L"Quillet")->Controls()->At(0);

        if (c.pasted) {
            EXPECT_EQ(m_faceFormat, control->PastedFormat());
            const std::string& face = control->PastedFace();
            ASSERT_GE(face.size(), sizeof(BITMAPINFOHEADER));
            const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(face.data());
            EXPECT_EQ(16, header->biWidth);
            EXPECT_EQ(16, header->biHeight);
            EXPECT_EQ(8, header->biBitCount);
            EXPECT_EQ(40u + 256 * 4 + 16 * 16, face.size()) << "header, 256 colours, the bits";
            const auto* background = reinterpret_cast<const RGBQUAD*>(face.data() + 40);
            const COLORREF buttonFace = GetSysColor(COLOR_3DFACE);
            EXPECT_EQ(RGB(background->rgbRed, background->rgbGreen, background->rgbBlue),
                      buttonFace)
                << "the grey background is the user's 3D face colour";
            const std::string& mask = control->PastedMask();
            ASSERT_EQ(48u + 4 * 16, mask.size()) << "header, two colours, 16 rows of 4 bytes";
            EXPECT_EQ(1, reinterpret_cast<const BITMAPINFOHEADER*>(mask.data())->biBitCount);
            EXPECT_EQ(nullptr, control->Picture()) << "no picture put";
        } else {
            EXPECT_EQ(0u, control->PastedFormat());
            EXPECT_EQ(16, PictureSize(control->Picture()).cx);
        }
        EXPECT_EQ(WithZero("before"), m_clipboard.Read(CF_TEXT));
        EXPECT_EQ(payload, m_clipboard.Read(m_userFormat));
        EXPECT_FALSE(m_clipboard.Has(m_faceFormat)) << "the face left the clipboard again";
        EXPECT_FALSE(m_clipboard.Has(m_maskFormat));
        bar.DisconnectAll();
        inspector.Close();
    }
}

TEST_F(PastedFaceTest, ClipboardThatCannotBeCopiedIsLeftAloneAndTheButtonStillWorks)
{
    m_clipboard.Put({{CF_TEXT, WithZero("keep me")}});
    // Another program holds the clipboard open.
    ASSERT_TRUE(OpenClipboard(m_clipboard.Window()));
    CInspector& inspector = OpenMail(true);
    CCmdBar bar;
    ASSERT_HR(S_OK, bar.Create(inspector.Dispatch(), "Quillet"));
    auto* button = new CProbeBtn("sf0l;");
    button->SetApplication(m_app->Dispatch());
    const HRESULT hr = bar.AddButton(button, TRUE);
    CloseClipboard();
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ(0u, CallLog().Count(L"CommandBarButton", L"PasteFace"));
    EXPECT_EQ(WithZero("keep me"), m_clipboard.Read(CF_TEXT));
    // Without its face, but shown and listening.
    CCommandBarButton* control = inspector.CommandBars().Find(L"Quillet")->Controls()->At(0);
    EXPECT_TRUE(control->Visible());
    control->Click();
    EXPECT_EQ(1, button->clicks);
    bar.DisconnectAll();
}

TEST_F(PastedFaceTest, ClipBackKeepsWhatCanBeCopiedUnderTheRightFormat)
{
    // A file drop (15) and a locale (16) are predefined and have no name; an
    // enhanced metafile is a handle; a bitmap is a GDI object that is left
    // out without harm.
    const std::string drop("\x14\0\0\0drop list", 13);
    const std::string locale("\x09\x04\0\0", 4);
    const std::string payload("registered", 10);
    m_clipboard.Put({{CF_HDROP, drop}, {CF_LOCALE, locale}, {m_userFormat, payload}});
    HDC metaDC = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    Rectangle(metaDC, 0, 0, 10, 10);
    m_clipboard.PutHandle(CF_ENHMETAFILE, CloseEnhMetaFile(metaDC));
    HDC screen = GetDC(nullptr);
    m_clipboard.PutHandle(CF_BITMAP, CreateCompatibleBitmap(screen, 4, 4));
    ReleaseDC(nullptr, screen);

    {
        CClipBack saved;
        ASSERT_HR(S_OK, saved.Saved());
        m_clipboard.Put({{CF_TEXT, WithZero("face")}}); // what the add-in does meanwhile
        ASSERT_HR(S_OK, saved.Restore());
    }
    EXPECT_EQ(drop, m_clipboard.Read(CF_HDROP));
    EXPECT_EQ(locale, m_clipboard.Read(CF_LOCALE));
    EXPECT_EQ(payload, m_clipboard.Read(m_userFormat));
    EXPECT_TRUE(m_clipboard.Has(CF_ENHMETAFILE));
    EXPECT_FALSE(m_clipboard.Has(CF_TEXT)) << "what came meanwhile is gone";
}

} // namespace
