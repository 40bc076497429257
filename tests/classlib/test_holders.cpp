#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "classlib/ui/CMessageWindow.h"
#include "classlib/win32/Gdi.h"
#include "classlib/win32/Handles.h"
#include "classlib/win32/LastError.h"
#include "classlib/win32/Memory.h"

// A bitmap selected into a memory device context must be selected back out
// before it can be packed or deleted, and the holders must free it then.
TEST(HolderTest, SelectionGivesBackThePreviousObjectAndTheBitmapGoes)
{
    HBITMAP kept = nullptr;
    {
        CGdiObject<HBITMAP> bitmap(CreateBitmap(4, 4, 1, 1, nullptr));
        CMemoryDC dc(CreateCompatibleDC(nullptr));
        ASSERT_TRUE(bitmap && dc);
        const HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BITMAP);
        {
            CDCSelection selected(dc.Get(), bitmap.Get());
            EXPECT_TRUE(selected.IsSelected());
            EXPECT_EQ(bitmap.Get(), GetCurrentObject(dc.Get(), OBJ_BITMAP));
        }
        EXPECT_EQ(before, GetCurrentObject(dc.Get(), OBJ_BITMAP)) << "the old bitmap is back";
        kept = bitmap.Get();
        EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(kept));
    }
    EXPECT_EQ(0u, GetObjectType(kept)) << "the bitmap was deleted with its holder";
}

TEST(HolderTest, GlobalBlockIsUnlockedAfterItsScopeAndDetachHandsItOver)
{
    CGlobalMem block(GlobalAlloc(GMEM_MOVEABLE, 16));
    ASSERT_TRUE(block);
    {
        CGlobalLock locked(block.Get());
        ASSERT_TRUE(locked);
        std::memcpy(locked.Data(), "face", 5);
        EXPECT_EQ(1u, GlobalFlags(block.Get()) & GMEM_LOCKCOUNT);
    }
    EXPECT_EQ(0u, GlobalFlags(block.Get()) & GMEM_LOCKCOUNT) << "unlocked at the scope's end";

    HGLOBAL taken = block.Detach();
    EXPECT_FALSE(block) << "nothing left to free";
    {
        CGlobalLock again(taken);
        ASSERT_TRUE(again) << "the detached block is still alive";
        EXPECT_STREQ("face", static_cast<const char*>(again.Data()));
    }
    EXPECT_EQ(nullptr, GlobalFree(taken));

    CGlobalLock none(nullptr);
    EXPECT_FALSE(none);
}

// Each kind has its own "no handle": a CreateFile or FindFirstFile failure
// must not look like a handle, nor a null one from the other creators.
TEST(HolderTest, EachKindKnowsItsNoHandle)
{
    EXPECT_FALSE(CKernelHandle(nullptr));
    EXPECT_FALSE(CFileHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CFindHandle(INVALID_HANDLE_VALUE));

    WIN32_FIND_DATAA data{};
    CFindHandle missing(FindFirstFileA("Z:\\no such folder\\*", &data));
    EXPECT_FALSE(missing);

    char folder[MAX_PATH + 1];
    ASSERT_GT(GetTempPathA(sizeof folder, folder), 0u);
    CFindHandle found(FindFirstFileA((std::string(folder) + "*").c_str(), &data));
    ASSERT_TRUE(found);
    CFindHandle moved(std::move(found));
    EXPECT_FALSE(found);
    EXPECT_TRUE(moved);
}

TEST(HolderTest, LastErrorBecomesAFailingHResult)
{
    struct Case {
        const char* name;
        DWORD error;
        HRESULT expected;
    } const cases[] = {
        {"NoErrorSetIsStillAFailure", ERROR_SUCCESS, E_FAIL},
        {"AccessDenied", ERROR_ACCESS_DENIED, E_ACCESSDENIED},
        {"FileNotFound", ERROR_FILE_NOT_FOUND, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
    };
    for (const Case& c : cases) {
        SetLastError(c.error);
        const HRESULT hr = HResultFromLastError();
        EXPECT_EQ(c.expected, hr) << c.name << ": hr=0x" << std::hex << hr;
    }
}

namespace {

// Lets the thread's queue run dry.
void DrainMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

} // namespace

TEST(MessageWindowTest, PostedMessagesReachTheHandlerUntilTheWindowGoes)
{
    std::vector<UINT> heard;
    auto window = std::make_unique<CMessageWindow>();
    ASSERT_TRUE(window->Create([&](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        if (message < WM_APP)
            return false;
        heard.push_back(static_cast<UINT>(wParam));
        result = 7;
        return true;
    }));
    EXPECT_TRUE(window->Post(WM_APP, 1));
    EXPECT_TRUE(window->Post(WM_APP, 2));
    DrainMessages();
    EXPECT_EQ((std::vector<UINT>{1, 2}), heard);
    EXPECT_EQ(7, SendMessageW(window->Get(), WM_APP, 3, 0));
    // What the handler leaves is the system window's own.
    EXPECT_TRUE(SetWindowTextW(window->Get(), L"kept"));
    wchar_t text[8] = {};
    GetWindowTextW(window->Get(), text, 8);
    EXPECT_STREQ(L"kept", text);

    // A message still queued when the window goes reaches nobody, also
    // once its object is gone.
    heard.clear();
    const HWND gone = window->Get();
    EXPECT_TRUE(window->Post(WM_APP, 4));
    window.reset();
    DrainMessages();
    EXPECT_TRUE(heard.empty());
    EXPECT_FALSE(IsWindow(gone));
}

TEST(MessageWindowTest, AHandlerMayDestroyItsOwnWindow)
{
    CMessageWindow window;
    int calls = 0;
    ASSERT_TRUE(window.Create([&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_APP)
            return false;
        ++calls;
        window.Destroy();
        return true;
    }));
    window.Post(WM_APP);
    window.Post(WM_APP);
    DrainMessages();
    EXPECT_EQ(1, calls);
    EXPECT_FALSE(window);
    EXPECT_FALSE(window.Post(WM_APP)) << "no window to post to";
}
