// The add-in's plumbing as Outlook meets it: in an add-in library loaded by
// the host program, the explorer gets the hidden sync bar, each new mail
// inspector a bar with a tagged button whose click runs through the one
// click path (item saved, recipients resolved, command run, offline test
// first), faces come as pictures or through the clipboard by Outlook
// version, and shutdown leaves no bar and no advised sink behind.
#include <string>

#include <gtest/gtest.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/Dispatcher.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "tests/addin/plumbing/PlumbingAddinIds.h"
#include "tests/support/HResultText.h"
#include "tests/support/OutlookHost.h"
#include "tests/support/TestEnv.h"

namespace {

using outlookhost::CRegisteredAddin;
using outlookhost::CRun;

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

void PutClipboardText(const std::wstring& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block))
        GlobalFree(block);
    CloseClipboard();
}

std::wstring ClipboardText()
{
    if (!OpenClipboard(nullptr))
        return L"<clipboard not open>";
    std::wstring text = L"<no text>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class PlumbingTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CRegisteredAddin::LoadAtStartup(kPlumbingAddinProgId);
    }

    // The "Quillet" mark of the mail in Drafts with that subject; empty when
    // it has none.
    static std::string SentMark(const CRun& run, const std::wstring& subject)
    {
        standin::CMailbox mailbox;
        std::wstring error;
        if (!mailbox.Load(run.mailbox, &error))
            return "<mailbox not saved>";
        standin::CItems& drafts = mailbox.DefaultFolder(standin::kFolderDrafts)->Items();
        for (size_t i = 0; i < drafts.Count(); ++i) {
            if (drafts.At(i)->Subject() != subject)
                continue;
            CString mark;
            CDispatcher::GetUserProperty(drafts.At(i)->Dispatch(), L"Quillet", mark);
            return mark.GetString();
        }
        return "<no such draft>";
    }

    CRegisteredAddin addin{kPlumbingAddinClsidText,
                           {kPlumbingAddinProgId},
                           testenv::ProgramFolder() + "PlumbingAddin.dll"};
};

TEST_F(PlumbingTest, AClickOnAnInspectorsButtonRunsTheCommandOnItsItem)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.12");
    const CRun run = outlookhost::Run(TempDir(), "new-mail \"Contract\"\n"
                                                 "to \"jane@example.com\"\n"
                                                 "click \"Quillet-It\"\n"
                                                 "close save\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_EQ(SentMark(run, L"Contract"), "True");
    // The click path: the item saved, its recipients resolved, the mark set.
    const size_t click = run.calls.find("CommandBarButton.Tag()\n");
    ASSERT_NE(click, std::string::npos) << run.calls;
    const std::string afterClick = run.calls.substr(click);
    EXPECT_NE(afterClick.find("MailItem.Save()"), std::string::npos);
    EXPECT_NE(afterClick.find("Recipients.ResolveAll()"), std::string::npos);
    EXPECT_NE(afterClick.find("UserProperties.Add(Quillet, 6)"), std::string::npos) << afterClick;
    EXPECT_NE(run.calls.find("CommandBarButton.Tag() = sf0l;"), std::string::npos);
    // Both bars went with the add-in, and no sink stayed advised.
    EXPECT_EQ(Occurrences(run.calls, "CommandBar.Delete()"), 2u) << run.calls;
    EXPECT_TRUE(run.Has("connections left 0")) << run.Text();
}

TEST_F(PlumbingTest, OfflineTheClickOnlyTellsTheUser)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.12");
    const CRun run = outlookhost::Run(TempDir(), "new-mail \"Contract\"\n"
                                                 "offline on\n"
                                                 "expect \"Quillet Error\"\n"
                                                 "press 1\n"
                                                 "click \"Quillet-It\"\n"
                                                 "close save\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_TRUE(run.Has("dialog Quillet Error")) << run.Text();
    EXPECT_EQ(SentMark(run, L"Contract"), "");
    EXPECT_EQ(run.calls.find("Recipients.ResolveAll()"), std::string::npos);
}

// With Word as the editor the inspectors share Word's bar and so one
// control: a click runs the command once, on the mail the user clicked in.
TEST_F(PlumbingTest, WordMailInspectorsShareTheButtonAndTheClickIsTheActiveOnes)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.12");
    const CRun run = outlookhost::Run(TempDir(), "word-mail on\n"
                                                 "new-mail \"First\"\n"
                                                 "new-mail \"Second\"\n"
                                                 "click \"Quillet-It\"\n"
                                                 "close save\n"
                                                 "close save\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_EQ(SentMark(run, L"Second"), "True");
    EXPECT_EQ(SentMark(run, L"First"), "");
    EXPECT_NE(run.calls.find("CommandBarButton.Tag() = sf1l;sf0l;"), std::string::npos)
        << run.calls;
    EXPECT_TRUE(run.Has("connections left 0")) << run.Text();
}

TEST_F(PlumbingTest, TheOutlookVersionChoosesHowFacesArePut)
{
    struct Case {
        const char* curVer;
        bool pasted; // the face through the clipboard, else as pictures
    } const cases[] = {
        {"Outlook.Application.10", true},
        {"Outlook.Application.11", false},
        {"Outlook.Application.14", false},
    };
    for (const Case& c : cases) {
        CRegisteredAddin::SetOutlookVersion(c.curVer);
        CRegisteredAddin::LoadAtStartup(kPlumbingAddinProgId);
        // What the user had on the clipboard survives a pasted face.
        PutClipboardText(L"keep me");
        const CRun run = outlookhost::Run(TempDir(), "new-mail\nclose discard\n");
        ASSERT_EQ(run.exitCode, 0) << c.curVer << "\n" << run.Text();
        // The explorer's sync button and the inspector's send button alike.
        EXPECT_EQ(Occurrences(run.calls, "CommandBarButton.PasteFace()"), c.pasted ? 2u : 0u)
            << c.curVer;
        EXPECT_EQ(Occurrences(run.calls, "CommandBarButton.Picture() := <object>"),
                  c.pasted ? 0u : 2u)
            << c.curVer << "\n"
            << run.calls;
        EXPECT_EQ(ClipboardText(), L"keep me") << c.curVer;
    }
}

// The add-in library's DllCanUnloadNow, loaded in process as COM loads it:
// the library stays while a factory, an object or a server lock of it lives.
TEST_F(PlumbingTest, TheLibraryStaysWhileAFactoryAnObjectOrALockLives)
{
    HMODULE library = LoadLibraryA((testenv::ProgramFolder() + "PlumbingAddin.dll").c_str());
    ASSERT_TRUE(library);
    // Through void*: FARPROC has no arguments, the exports have.
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnloadNow);
    CLSID clsid{};
    ASSERT_HR(S_OK, CLSIDFromString(CBstr(kPlumbingAddinClsidText).Get(), &clsid));
    EXPECT_HR(S_OK, canUnloadNow()) << "nothing made yet";

    CComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK, getClassObject(clsid, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_FALSE, canUnloadNow()) << "a factory is held";
    CComPtr<IUnknown> addin;
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, addin.PutVoid()));
    factory.Release();
    EXPECT_HR(S_FALSE, canUnloadNow()) << "an add-in object is alive";
    addin.Release();
    EXPECT_HR(S_OK, canUnloadNow()) << "after its release";

    ASSERT_HR(S_OK, getClassObject(clsid, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    CComPtr<IClassFactory> again(factory.Get());
    factory.Release();
    again.Release();
    EXPECT_HR(S_FALSE, canUnloadNow()) << "the server is locked, no factory held";
    ASSERT_HR(S_OK, getClassObject(clsid, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    factory.Release();
    EXPECT_HR(S_OK, canUnloadNow()) << "unlocked";
    FreeLibrary(library);
}

} // namespace
