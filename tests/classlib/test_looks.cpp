// A DLL's dialogs inside a host that has no common controls of version 6
// active. This program carries its manifest as a DLL does (resource 2, the
// isolation-aware form): the loader reads it for the imports only, so the
// process itself runs with the old controls, as an add-in finds Outlook
// whenever Outlook has something else active. Every window the class
// library makes must still come out of comctl32 version 6.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
#include <shlwapi.h>

#include "classlib/ui/CDialog.h"
#include "classlib/ui/CImageList.h"
#include "classlib/ui/CPropertyPage.h"
#include "classlib/ui/CPropertySheet.h"
#include "classlib/ui/ScreenDpi.h"
#include "classlib/win32/CActCtx.h"
#include "classlib/win32/Gdi.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/classlib/TestDialogIds.h"

namespace {

constexpr UINT WM_MAKE_BUTTON = WM_USER + 7;

// The file name of the DLL that holds a window's class procedure, in lower
// case. The buttons, edits and statics of the old look are user32's own;
// those of version 6 are comctl32's, which registers them only under a
// version 6 context. (Not GCLP_HMODULE: the themed classes are registered
// for whoever asks, under the asker's module.)
std::string ClassModule(HWND window)
{
    HMODULE module = nullptr;
    if (!window ||
        !GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(GetClassLongPtrW(window, GCLP_WNDPROC)), &module))
        return "(none)";
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string name = PathFindFileNameA(path);
    for (char& c : name)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return name;
}

constexpr const char* kThemed = "comctl32.dll";

// A window of the class "Button" made with whatever context is active.
HWND MakeButton(HWND parent)
{
    return CreateWindowExA(0, "Button", "Made", WS_CHILD, 0, 0, 40, 12, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

CScriptedUser::Limits Quick()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 300;
    limits.idleMs = 300;
    limits.deadlineMs = 20000;
    return limits;
}

// Makes a button each time it is asked, from its handler, as the options
// page makes its controls from messages of Outlook's loop.
class ButtonMaker : public CDialog {
public:
    ButtonMaker() : CDialog(IDD_TEST_PLAIN) {}
    HWND m_made = nullptr;

protected:
    BOOL OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        if (message != WM_MAKE_BUTTON)
            return FALSE;
        m_made = MakeButton(m_hWnd);
        result = 1;
        return TRUE;
    }
};

class LooksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ModuleActCtx().IsValid()) << "the program carries no resource 2 manifest";
        // Without this the test would pass on a host that hands out the
        // new controls to everyone.
        HWND bare = MakeButton(HWND_MESSAGE);
        ASSERT_NE(nullptr, bare);
        const std::string hostControls = ClassModule(bare);
        DestroyWindow(bare);
        ASSERT_EQ("user32.dll", hostControls) << "the process itself already has version 6 active";
    }
};

} // namespace

TEST_F(LooksTest, ModalDialogsControlsAreVersionSixAndTheHostsContextComesBack)
{
    HANDLE before = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&before));
    std::string button;
    std::string text;
    ButtonMaker dialog;
    CScriptedUser user(Quick());
    user.Do("look at the controls",
            [&](HWND d) {
                button = ClassModule(GetDlgItem(d, IDOK));
                text = ClassModule(GetDlgItem(d, IDC_PLAIN_TEXT));
                return true;
            })
        .Click(IDOK);
    user.Start();
    dialog.DoModal();
    user.Stop();
    ASSERT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ(kThemed, button) << "the dialog's push button";
    EXPECT_EQ(kThemed, text) << "the dialog's static text";
    HANDLE after = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&after));
    EXPECT_EQ(before, after) << "DoModal left its context active";
    if (before)
        ReleaseActCtx(before);
    if (after)
        ReleaseActCtx(after);
}

TEST_F(LooksTest, ModelessDialogMakesVersionSixControlsFromMessagesOfAnotherLoop)
{
    ButtonMaker dialog;
    ASSERT_TRUE(dialog.Create());
    HWND hwnd = dialog.GetSafeHwnd();
    EXPECT_EQ(kThemed, ClassModule(GetDlgItem(hwnd, IDOK))) << "made by Create";
    // The message comes from outside any scope of the class library's.
    ASSERT_EQ(1, SendMessageA(hwnd, WM_MAKE_BUTTON, 0, 0));
    EXPECT_EQ(kThemed, ClassModule(dialog.m_made)) << "made by a handler";
    dialog.DestroyWindow();
}

TEST_F(LooksTest, PropertySheetAndItsPagesAreVersionSix)
{
    class Page : public CPropertyPage {
    public:
        Page() : CPropertyPage(IDD_TEST_PAGE) {}
    };
    CPropertySheet sheet(0);
    Page page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    std::string sheetButton;
    std::string pageControl;
    CScriptedUser user(Quick());
    user.Do("look at the sheet",
            [&](HWND d) {
                sheetButton = ClassModule(GetDlgItem(d, IDCANCEL));
                HWND shown = PropSheet_GetCurrentPageHwnd(d);
                pageControl = ClassModule(GetDlgItem(shown, IDC_PAGE_PLAIN));
                return true;
            })
        .Click(IDCANCEL);
    user.Start();
    sheet.DoModal();
    user.Stop();
    ASSERT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ(kThemed, sheetButton) << "the wizard's Cancel button";
    EXPECT_EQ(kThemed, pageControl) << "a control of the page";
}

TEST(ActCtxTest, ModuleWithoutTheResourceHasNoContextAndItsScopeChangesNothing)
{
    // kernel32 carries no RT_MANIFEST resource 2 of its own.
    CActCtx none = CActCtx::FromModule(GetModuleHandleA("kernel32.dll"), 2);
    EXPECT_FALSE(none.IsValid());
    HANDLE before = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&before));
    {
        CActCtxScope scope(none);
        EXPECT_FALSE(scope.Active());
        HANDLE inside = nullptr;
        ASSERT_TRUE(GetCurrentActCtx(&inside));
        EXPECT_EQ(before, inside);
        if (inside)
            ReleaseActCtx(inside);
    }
    if (before)
        ReleaseActCtx(before);
}

namespace {

struct StripCase {
    const char* name;
    int dpi;
    int side;
};

class ImageStripForDpi : public ::testing::TestWithParam<StripCase> {};

} // namespace

TEST_P(ImageStripForDpi, EachPictureGrowsWholeAndKeepsItsSeeThroughPixels)
{
    const StripCase& c = GetParam();
    CImageList list(LoadImageStripForDpi(GetModuleHandleA(nullptr), IDB_TEST_STRIP, 16,
                                         RGB(255, 0, 255), c.dpi));
    ASSERT_TRUE(list.Get()) << "no list at " << c.dpi << " DPI";
    EXPECT_EQ(2, ImageList_GetImageCount(list.Get()));
    int width = 0;
    int height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.Get(), &width, &height));
    EXPECT_EQ(c.side, width);
    EXPECT_EQ(c.side, height);

    // The blue square drawn on white: filled to its far corner, white
    // where the strip was see-through.
    HDC screen = GetDC(nullptr);
    CMemoryDC dc(CreateCompatibleDC(screen));
    CGdiObject<HBITMAP> canvas(CreateCompatibleBitmap(screen, c.side, c.side));
    ReleaseDC(nullptr, screen);
    CDCSelection selected(dc.Get(), canvas.Get());
    RECT all{0, 0, c.side, c.side};
    FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ASSERT_TRUE(ImageList_Draw(list.Get(), 1, dc.Get(), 0, 0, ILD_TRANSPARENT));
    EXPECT_EQ(RGB(0, 0, 200), GetPixel(dc.Get(), c.side - 1, c.side - 1)) << "far corner";
    EXPECT_EQ(RGB(0, 0, 200), GetPixel(dc.Get(), c.side / 2, c.side / 2)) << "middle";
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc.Get(), 0, 0)) << "see-through corner";
}

INSTANTIATE_TEST_SUITE_P(Screens, ImageStripForDpi,
                         ::testing::Values(StripCase{.name = "Normal", .dpi = 96, .side = 16},
                                           StripCase{.name = "At150", .dpi = 144, .side = 24},
                                           StripCase{.name = "At200", .dpi = 192, .side = 32}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImageStripTest, AMissingResourceMakesNoList)
{
    EXPECT_EQ(nullptr, LoadImageStripForDpi(GetModuleHandleA(nullptr), 1, 16, 0, 192));
    EXPECT_EQ(nullptr, LoadBitmapForDpi(GetModuleHandleA(nullptr), 1, 192));
}
