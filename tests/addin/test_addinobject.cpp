// The add-in object: which sinks and bars its start-up installs for which
// host and Outlook version, the ribbon's markup, callbacks and image, the
// send button on new mail inspectors, the explorer's folder type, the
// mailed-template import with its untrusted names, and QuillOff.dll
// itself loaded, run and shut down by the stand-in Outlook and Word.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "addin/core/SinkHolder.h"
#include "addin/host/ItemWindowsEvents.h"
#include "addin/host/OutAddIn.h"
#include "addin/core/RibbonMode.h"
#include "addin/host/Ribbon.h"
#include "addin/host/WordEvents.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "classlib/com/CVariant.h"
#include "classlib/com/OfficeAddin.h"
#include "shared/requests/Receipt.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/ItemWindow.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/UserProperties.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/FolderGuard.h"
#include "tests/support/HResultText.h"
#include "tests/support/OutlookHost.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

namespace {

using outlookhost::CRegisteredAddin;
using outlookhost::CRun;

constexpr const char* kClsidText = "{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}";
constexpr const char* kProgId = "Quillet.OutlookAddin";

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// A text inside double quotes of a host script: backslashes doubled.
std::string ScriptText(const std::string& text)
{
    std::string quoted;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

// ---- in process ----

class AddinObjectTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        SetRibbonMode(false);
        m_addin = CComPtr<COutAddIn>(new COutAddIn);
    }
    void TearDown() override
    {
        m_addin.Release();
        SetRibbonMode(false);
        CRegisteredAddin::ForgetStartup();
        CleanProfileTest::TearDown();
    }

    HRESULT CallByName(const wchar_t* name, UINT argCount, VARIANT* result)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        HRESULT hr = m_addin->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        if (FAILED(hr))
            return hr;
        std::vector<CVariant> args(argCount);
        DISPPARAMS params{argCount ? &args[0] : nullptr, nullptr, argCount, 0};
        return m_addin->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    }

    CComPtr<COutAddIn> m_addin;
};

// Office asks for the ribbon right after creating the add-in, before
// connecting it, and never again: the add-in answers at once, with its markup.
TEST_F(AddinObjectTest, TheRibbonIsOfferedBeforeConnectingAndSetsRibbonMode)
{
    CComPtr<IDTRibbonExtensibility> ribbon;
    EXPECT_FALSE(IsRibbonMode());
    EXPECT_HR(S_OK, m_addin->QueryInterface(IID_IDTRibbonExtensibility, ribbon.PutVoid()));
    ASSERT_TRUE(ribbon);
    EXPECT_TRUE(IsRibbonMode());
    CBstr id(L"Microsoft.Outlook.Mail.Compose");
    CBstr markup;
    EXPECT_HR(S_OK, ribbon->GetCustomUI(id.Get(), markup.Put()));
    EXPECT_NE(nullptr, wcsstr(markup.Get() ? markup.Get() : L"", L"inkSendClicked"))
        << "the markup needs no application object";
    CComPtr<CFakeDispatch> host = CFakeDispatch::Create();
    host->Prop(L"Name", L"Outlook");
    ASSERT_HR(S_OK, m_addin->OnConnection(host.Get(), ext_cm_Startup, nullptr, nullptr));
    EXPECT_HR(E_POINTER, m_addin->OnConnection(nullptr, ext_cm_Startup, nullptr, nullptr));
    ribbon.Release();
    m_addin->OnDisconnection(ext_dm_HostShutdown, nullptr);
}

TEST_F(AddinObjectTest, TheMarkupIsThereForTheTwoRibbonsAndEmptyForOthers)
{
    struct Case {
        const wchar_t* id;
        const char* contains; // null: empty markup
    } const cases[] = {
        {L"Microsoft.Outlook.Explorer",
         "<tab idMso=\"TabTasks\"><group id=\"inkSyncTasksGroup\" label=\"Inkstave\"><button "
         "id=\"inkSyncTasks\" getImage=\"GetCustomImage\" size=\"large\" label=\"Synclet-It\" "
         "screentip=\"Synchronize e-signature receipts\" onAction=\"inkSyncClicked\"/>"},
        {L"Microsoft.Outlook.Mail.Compose",
         "<ribbon><tabs><tab idMso=\"TabNewMailMessage\"><group id=\"inkSendGroup\" "
         "label=\"Inkstave\"><button id=\"inkSend\" getImage=\"GetCustomImage\" size=\"large\" "
         "label=\"Quillet-It\" screentip=\"Send out for e-signature(s)\" "
         "onAction=\"inkSendClicked\"/></group></tab></tabs></ribbon></customUI>"},
        {L"Microsoft.Outlook.Mail.Read", nullptr},
        {L"microsoft.outlook.explorer", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        CBstr markup;
        ASSERT_HR(S_OK, m_addin->GetCustomUI(CBstr(c.id).Get(), markup.Put()));
        ASSERT_TRUE(markup.Get());
        const std::string text = markup.ToString().GetString();
        if (!c.contains) {
            EXPECT_EQ(text, "") << CBstr(c.id).ToString().GetString();
            continue;
        }
        EXPECT_EQ(text.rfind("<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/"
                             "customui\"><ribbon><tabs>",
                             0),
                  0u)
            << text;
        EXPECT_NE(text.find(c.contains), std::string::npos) << text;
    }
    EXPECT_HR(E_POINTER, m_addin->GetCustomUI(CBstr(L"Microsoft.Outlook.Explorer").Get(), nullptr));
}

TEST_F(AddinObjectTest, CallbacksAreCheckedAgainstTheirNamesAndArguments)
{
    struct NameCase {
        const wchar_t* name;
        HRESULT hr;
        DISPID id;
    } const names[] = {
        {L"GetCustomImage", S_OK, 1},         {L"inkSendClicked", S_OK, 2},
        {L"inkSyncClicked", S_OK, 3},         {L"inksendclicked", DISP_E_UNKNOWNNAME, 0},
        {L"OnAction", DISP_E_UNKNOWNNAME, 0},
    };
    for (const NameCase& c : names) {
        LPOLESTR list[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 0;
        EXPECT_HR(c.hr, m_addin->GetIDsOfNames(IID_NULL, list, 1, 0, &id));
        EXPECT_EQ(id, c.id);
    }
    LPOLESTR two[] = {const_cast<LPOLESTR>(L"GetCustomImage"),
                      const_cast<LPOLESTR>(L"inkSendClicked")};
    DISPID ids[2] = {};
    EXPECT_HR(E_INVALIDARG, m_addin->GetIDsOfNames(IID_NULL, two, 2, 0, ids));
    EXPECT_HR(DISP_E_UNKNOWNINTERFACE, m_addin->GetIDsOfNames(IID_IDispatch, two, 1, 0, ids));

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_HR(DISP_E_BADPARAMCOUNT,
              m_addin->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    CVariant arg;
    DISPPARAMS one{&arg, nullptr, 1, 0};
    EXPECT_HR(DISP_E_MEMBERNOTFOUND,
              m_addin->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr));
    EXPECT_HR(E_POINTER,
              m_addin->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
}

namespace {

// The size of the bitmap inside a picture the image callback answered.
SIZE PictureSize(const CVariant& picture)
{
    EXPECT_EQ(picture.vt, VT_DISPATCH);
    if (picture.vt != VT_DISPATCH)
        return {};
    CComPtr<IPicture> image;
    EXPECT_HR(S_OK, picture.pdispVal->QueryInterface(IID_IPicture, image.PutVoid()));
    short type = 0;
    OLE_HANDLE handle = 0;
    EXPECT_HR(S_OK, image->get_Type(&type));
    EXPECT_EQ(type, PICTYPE_BITMAP);
    EXPECT_HR(S_OK, image->get_Handle(&handle));
    BITMAP bitmap{};
    EXPECT_TRUE(GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof(bitmap),
                           &bitmap));
    return {bitmap.bmWidth, bitmap.bmHeight};
}

} // namespace

TEST_F(AddinObjectTest, TheImageIsA32By32BitmapAndNeedsAPlaceForIt)
{
    // The test screen runs at 96 DPI.
    CVariant picture;
    ASSERT_HR(S_OK, CallByName(L"GetCustomImage", 1, picture.Put()));
    const SIZE size = PictureSize(picture);
    EXPECT_EQ(size.cx, 32);
    EXPECT_EQ(size.cy, 32);
    // No result: no picture is made at all.
    EXPECT_HR(E_POINTER, CallByName(L"GetCustomImage", 1, nullptr));
}

struct ImageDpiCase {
    const char* name;
    int dpi;
    LONG side;
};

class RibbonImageDpi : public ::testing::TestWithParam<ImageDpiCase> {};

TEST_P(RibbonImageDpi, LargerScreensGetTheLargerForm)
{
    CVariant picture;
    ASSERT_HR(S_OK, GetCustomImageAt(GetParam().dpi, picture.Put()));
    const SIZE size = PictureSize(picture);
    EXPECT_EQ(size.cx, GetParam().side) << "at " << GetParam().dpi << " DPI";
    EXPECT_EQ(size.cy, GetParam().side) << "at " << GetParam().dpi << " DPI";
}

INSTANTIATE_TEST_SUITE_P(Screens, RibbonImageDpi,
                         ::testing::Values(ImageDpiCase{.name = "Normal", .dpi = 96, .side = 32},
                                           ImageDpiCase{.name = "At125", .dpi = 120, .side = 32},
                                           ImageDpiCase{.name = "At150", .dpi = 144, .side = 64},
                                           ImageDpiCase{.name = "At200", .dpi = 192, .side = 64}),
                         [](const auto& info) { return std::string(info.param.name); });

// What start-up installs, by the host's name (case matters: only "Outlook"
// is Outlook) and by the Outlook version (the explorer bar only before the
// ribbon's version "13", compared as text), and whether it ran at all: an
// add-in connected after start-up runs it from OnConnection, since no
// OnStartupComplete follows.
TEST_F(AddinObjectTest, StartUpInstallsTheSinksOfItsHost)
{
    struct Case {
        const wchar_t* hostName; // null: the stand-in Outlook
        const char* curVer;      // null: none registered ("11")
        ext_ConnectMode mode;
        bool callStartupComplete;
        bool outlookSinks;
        bool explorerBar;
        bool wordSink;
    } const cases[] = {
        {nullptr, "Outlook.Application.12", ext_cm_Startup, true, true, true, false},
        {nullptr, nullptr, ext_cm_Startup, true, true, true, false},
        {nullptr, "Outlook.Application.14", ext_cm_Startup, true, true, false, false},
        {nullptr, "Outlook.Application.9", ext_cm_Startup, true, true, false, false},
        {nullptr, "Outlook.Application.12", ext_cm_AfterStartup, false, true, true, false},
        {nullptr, "Outlook.Application.12", ext_cm_AfterStartup, true, true, true, false},
        {nullptr, "Outlook.Application.12", ext_cm_Startup, false, false, false, false},
        {L"outlook", "Outlook.Application.12", ext_cm_Startup, true, false, false, true},
        {L"Microsoft Word", "Outlook.Application.12", ext_cm_Startup, true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.curVer ? c.curVer : "no CurVer") + " mode " +
                     std::to_string(c.mode) + (c.hostName ? " host" : " outlook"));
        CRegisteredAddin::ForgetStartup();
        if (c.curVer)
            CRegisteredAddin::SetOutlookVersion(c.curVer);
        CComPtr<standin::CApplication> outlook = standin::New<standin::CApplication>();
        outlook->OpenExplorer();
        CComPtr<CFakeDispatch> other = CFakeDispatch::Create();
        if (c.hostName)
            other->Prop(L"Name", c.hostName);
        IDispatch* host = c.hostName ? static_cast<IDispatch*>(other.Get()) : outlook->Dispatch();
        CComPtr<COutAddIn> addin(new COutAddIn);
        ASSERT_HR(S_OK, addin->OnConnection(host, c.mode, nullptr, nullptr));
        if (c.callStartupComplete) {
            ASSERT_HR(S_OK, addin->OnStartupComplete(nullptr));
        }
        EXPECT_EQ(addin->HasInspectorsSink(), c.outlookSinks);
        EXPECT_EQ(addin->HasOutlookSink(), c.outlookSinks);
        EXPECT_EQ(addin->HasInboxSink(), c.outlookSinks);
        EXPECT_EQ(addin->HasExplorerSink(), c.outlookSinks);
        EXPECT_EQ(addin->HasExplorerBar(), c.explorerBar);
        EXPECT_EQ(addin->HasWordSink(), c.wordSink);
        ASSERT_HR(S_OK, addin->OnBeginShutdown(nullptr));
        EXPECT_FALSE(addin->HasInspectorsSink() || addin->HasOutlookSink() ||
                     addin->HasInboxSink() || addin->HasExplorerSink() || addin->HasExplorerBar() ||
                     addin->HasWordSink());
        ASSERT_HR(S_OK, addin->OnDisconnection(ext_dm_HostShutdown, nullptr));
        addin.Release();
        outlook->Quit();
    }
}

// The user removing the add-in while the host runs: everything is let go
// before the application.
TEST_F(AddinObjectTest, DisconnectingByTheUserRunsTheShutdown)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.12");
    CComPtr<standin::CApplication> outlook = standin::New<standin::CApplication>();
    outlook->OpenExplorer();
    ASSERT_HR(S_OK, m_addin->OnConnection(outlook->Dispatch(), ext_cm_Startup, nullptr, nullptr));
    ASSERT_HR(S_OK, m_addin->OnStartupComplete(nullptr));
    ASSERT_TRUE(m_addin->HasExplorerBar());
    ASSERT_HR(S_OK, m_addin->OnDisconnection(ext_dm_UserClosed, nullptr));
    EXPECT_FALSE(m_addin->HasExplorerBar() || m_addin->HasExplorerSink() ||
                 m_addin->HasInspectorsSink());
    outlook->Quit();
}

// Outlook's message loop, for the work the add-in posted to run after an
// event.
void RunPostedMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Each open unsent mail inspector has a context; once its item closes, the
// context (inspector, item, item sink, bar) goes, after the Close event
// has returned, while the other inspectors keep theirs.
TEST_F(AddinObjectTest, AnInspectorsContextGoesWhenItsItemCloses)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.11");
    CComPtr<standin::CApplication> outlook = standin::New<standin::CApplication>();
    CSinkHolder<CMyInspectorsEvents> sink;
    ASSERT_HR(S_OK, sink.Make(outlook->Dispatch(), outlook->Inspectors().Dispatch()));
    CComPtr<standin::CItem> first = outlook->Mailbox().CreateItem(standin::kItemTypeMail);
    CComPtr<standin::CItem> second = outlook->Mailbox().CreateItem(standin::kItemTypeMail);
    standin::CInspector& closing = outlook->OpenInspector(*first);
    outlook->OpenInspector(*second);
    ASSERT_EQ(sink->GetContexts().GetCount(), 2);
    const size_t barsDeleted = standin::CallLog().Count(L"CommandBar", L"Delete");

    closing.Close(1);
    EXPECT_EQ(sink->GetContexts().GetCount(), 2) << "not inside its own Close event";
    RunPostedMessages();
    ASSERT_EQ(sink->GetContexts().GetCount(), 1);
    EXPECT_EQ(sink->GetContexts().GetHead()->item.Get(), second->Dispatch());
    EXPECT_EQ(standin::CallLog().Count(L"CommandBar", L"Delete"), barsDeleted + 1)
        << "the closed inspector's bar";

    sink.Reset();
    outlook->Quit();
}

// ---- QuillOff.dll in the stand-in Outlook ----

class QuillOffHostTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CRegisteredAddin::ForgetStartup();
        CRegisteredAddin::LoadAtStartup(kProgId);
    }
    void TearDown() override
    {
        CRegisteredAddin::ForgetStartup();
        CleanProfileTest::TearDown();
    }

    CRegisteredAddin addin{kClsidText, {kProgId}, QUILLOFF_DLL_PATH};
};

// Load, a new mail, shutdown, by Outlook version: the ribbon host (12 on)
// asks for markup and so puts the add-in in ribbon mode, where the mail
// inspector gets no bar; the explorer bar exists below "13" only. Every
// sink is let go at the end.
TEST_F(QuillOffHostTest, LoadAndShutDownByOutlookVersion)
{
    struct Case {
        const char* curVer;
        bool ribbon;
        bool explorerBar;
        bool inspectorBar;
    } const cases[] = {
        {"Outlook.Application.11", false, true, true},
        {"Outlook.Application.12", true, true, false},
        {"Outlook.Application.14", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.curVer);
        CRegisteredAddin::SetOutlookVersion(c.curVer);
        const CRun run = outlookhost::Run(TempDir(), "new-mail \"Contract\"\n"
                                                     "close discard\n");
        ASSERT_EQ(run.exitCode, 0) << run.Text();
        EXPECT_EQ(run.HasPrefix("ribbon Microsoft.Outlook.Explorer <customUI"), c.ribbon)
            << run.Text();
        EXPECT_EQ(run.HasPrefix("ribbon Microsoft.Outlook.Mail.Compose <customUI"), c.ribbon);
        EXPECT_EQ(Occurrences(run.calls, "CommandBar.Delete()"),
                  (c.explorerBar ? 1u : 0u) + (c.inspectorBar ? 1u : 0u))
            << run.calls;
        EXPECT_EQ(run.calls.find("CommandBarButton.Tag() = sf0l;") != std::string::npos,
                  c.inspectorBar);
        EXPECT_TRUE(run.Has("connections left 0")) << run.Text();
    }
}

TEST_F(QuillOffHostTest, TheRibbonsCallbacksResolveFromItsMarkup)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    const CRun run = outlookhost::Run(TempDir(), "ribbon-image inkSyncTasks\n"
                                                 "ribbon inkSyncTasks\n"
                                                 "new-mail \"Contract\"\n"
                                                 "ribbon-image inkSend\n"
                                                 "close discard\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_TRUE(run.Has("ribbon getImage inkSyncTasks 00000000 picture type 1 32x32"))
        << run.Text();
    EXPECT_TRUE(run.Has("ribbon getImage inkSend 00000000 picture type 1 32x32"));
    // The press reached the sync command, which refuses a mail folder.
    EXPECT_TRUE(run.Has("ribbon onAction inkSyncTasks 80070057")) << run.Text();
    EXPECT_TRUE(run.Has("connections left 0"));
}

TEST_F(QuillOffHostTest, TheOptionsDialogGetsTheOptionsPage)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    // The user looks at the dialog and closes it.
    const CRun run = outlookhost::Run(TempDir(), "expect Options\nclose-dialog\noptions\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_TRUE(run.Has("options page QuillOpts.PropPage \"Quillet\"")) << run.Text();
}

// Inspectors of sent mail and of tasks get no button; two new mails get
// buttons tagged in turn.
TEST_F(QuillOffHostTest, NewMailInspectorsGetTheSendButton)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.11");
    const CRun run = outlookhost::Run(TempDir(), "new-task \"Call back\"\n"
                                                 "close discard\n"
                                                 "new-mail \"One\"\n"
                                                 "new-mail \"Two\"\n"
                                                 "close discard\n"
                                                 "close discard\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_NE(run.calls.find("CommandBarButton.Tag() = sf0l;"), std::string::npos) << run.calls;
    EXPECT_NE(run.calls.find("CommandBarButton.Tag() = sf1l;"), std::string::npos);
    EXPECT_EQ(run.calls.find("sf2l;"), std::string::npos);
    EXPECT_NE(run.calls.find("CommandBarButton.Caption() = Quillet-It"), std::string::npos);
    // The explorer's bar and the two inspectors' bars.
    EXPECT_EQ(Occurrences(run.calls, "CommandBar.Delete()"), 3u) << run.calls;
    EXPECT_TRUE(run.Has("connections left 0"));
}

// The explorer bar of Outlook before the ribbon shows in task folders only;
// a selection change in a mail folder imports nothing.
TEST_F(QuillOffHostTest, FolderSwitchesShowTheSyncBarInTaskFoldersOnly)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.11");
    const CRun run = outlookhost::Run(TempDir(), "say \"to tasks\"\n"
                                                 "folder \"Tasks\"\n"
                                                 "select all\n"
                                                 "say \"to inbox\"\n"
                                                 "folder \"Inbox\"\n"
                                                 "select all\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    const size_t toTasks = run.calls.find("MAPIFolder.DefaultItemType()");
    ASSERT_NE(toTasks, std::string::npos) << run.calls;
    const std::string afterTasks = run.calls.substr(toTasks);
    const size_t shown = afterTasks.find("CommandBar.Visible() = 1");
    const size_t hidden = afterTasks.find("CommandBar.Visible() = 0");
    EXPECT_NE(shown, std::string::npos) << run.calls;
    EXPECT_NE(hidden, std::string::npos) << run.calls;
    EXPECT_LT(shown, hidden);
    EXPECT_TRUE(run.Has("connections left 0"));
}

// With the ribbon (version 14) there is no explorer bar to tend.
TEST_F(QuillOffHostTest, WithTheRibbonFolderSwitchesTouchNoBar)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    const CRun run = outlookhost::Run(TempDir(), "folder \"Tasks\"\nselect all\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_EQ(run.calls.find("CommandBar.Visible()"), std::string::npos) << run.calls;
}

// A template file as the editor writes it: name, documents, options, signers.
std::string TemplateXml(const std::string& name, const std::string& documents = "",
                        const std::string& signers = "")
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>" + name +
           "</Name>\n" + documents +
           "<Options><SignatureType>0</SignatureType>\n<SendMode>0</SendMode>\n"
           "</Options><Email><Subject>s</Subject>\n</Email><Signers>" +
           signers + "</Signers></inkTemplate>";
}

std::string DocumentXml(const std::string& key, const std::string& name,
                        const std::string& fileBytes = "", const char* type = "Signature")
{
    std::string xml =
        "<Document><Key>" + key + "</Key>\n<Name>" + name + "</Name>\n<Type>" + type + "</Type>\n";
    if (!fileBytes.empty())
        xml += "<FileBytes>" + fileBytes + "</FileBytes>\n";
    return xml + "</Document>\n";
}

std::string SignerXml(const std::string& name, const std::string& email, int hardCoded,
                      int sender = 0)
{
    return "<Signer><Name>" + name + "</Name>\n<Email>" + email +
           "</Email>\n<Role>r</Role>\n<Sequence>1</Sequence>\n<Sender>" + std::to_string(sender) +
           "</Sender>\n<HardCoded>" + std::to_string(hardCoded) + "</HardCoded>\n</Signer>";
}

// A mail that brings a template: only "Inkstave Template" with exactly one
// attachment whose name ends in ".xml" (lower case) is offered, and only a
// template whose own name is a plain file name; Yes copies it into the
// template folder, No leaves the folder. Offline nothing happens. The
// temporary copy never stays behind.
TEST_F(QuillOffHostTest, MailedTemplatesAreImportedOnlyWhenWanted)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    struct Case {
        const char* what;
        const char* subject;
        const char* attachmentName; // the file delivered, in the run folder
        const char* templateName;   // <Name> of the template
        int attachments;
        const char* answer;   // null: no question may come up
        const char* imported; // the file expected in the folder, or null
        bool offline = false;
    } const cases[] = {
        {"yes", "Inkstave Template", "new.xml", "Fresh", 1, "6", "Fresh.xml"},
        {"no", "Inkstave Template", "new.xml", "Fresh", 1, "7", nullptr},
        {"other subject", "inkstave template", "new.xml", "Fresh", 1, nullptr, nullptr},
        {"two attachments", "Inkstave Template", "new.xml", "Fresh", 2, nullptr, nullptr},
        {"no attachment", "Inkstave Template", "new.xml", "Fresh", 0, nullptr, nullptr},
        {"capital extension", "Inkstave Template", "new.XML", "Fresh", 1, nullptr, nullptr},
        {"not xml", "Inkstave Template", "new.txt", "Fresh", 1, nullptr, nullptr},
        {"offline", "Inkstave Template", "new.xml", "Fresh", 1, nullptr, nullptr, true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = TempDir() + "case" + std::to_string(index++) + "\\";
        const std::string templates = folder + "templates";
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA(templates.c_str(), nullptr);
        testenv::WriteText(testenv::kProductKey, "TemplateFolder", templates);
        const std::string xml = TemplateXml(c.templateName);
        const std::string attachment = folder + c.attachmentName;
        testenv::WriteFileBytes(attachment, xml);
        std::string deliver = "deliver \"" + std::string(c.subject) + "\"";
        for (int i = 0; i < c.attachments; ++i)
            deliver += " \"" + ScriptText(attachment) + "\"";
        std::string script = c.offline ? "offline on\n" : "";
        if (c.answer)
            script += "answer " + std::string(c.answer) + "\n";
        script += deliver + "\n";
        const CRun run = outlookhost::Run(folder, script);
        ASSERT_EQ(run.exitCode, 0) << run.Text();
        EXPECT_EQ(run.HasPrefix("messagebox You have just received a Inkstave template."),
                  c.answer != nullptr)
            << run.Text();
        std::vector<std::string> expected;
        if (c.imported)
            expected.push_back(c.imported);
        EXPECT_EQ(testenv::ListFiles(templates), expected);
        if (c.imported) {
            EXPECT_EQ(testenv::ReadFileBytes(templates + "\\" + c.imported), xml);
        }
        // Nothing of the template stayed anywhere but where it was wanted.
        for (const std::string& name : testenv::ListFiles(TempDir()))
            EXPECT_NE(testenv::ReadFileBytes(TempDir() + name), xml) << name;
    }
}

// The mail comes from anyone. A template that names a file of this machine
// as a document (which a send would upload) or whose name cannot be a file
// of the template folder is refused before any question, with a message
// that says why. The question shows what the template holds (its name,
// documents and the signers it adds to every request) and says when it
// would replace a template of the user's, which No keeps.
TEST_F(QuillOffHostTest, MailedTemplatesShowWhatTheyHoldAndRefuseWhatIsUnsafe)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    const std::string embedded = standin::Base64Encode("%PDF-1.4 contract");
    const std::string stranger = SignerXml("Eve Stranger", "eve@elsewhere.example", 1);
    struct Case {
        const char* what;
        std::string templateName;
        std::string documents = "";
        std::string signers = "";
        const char* answer;             // the box's button: 1 OK, 6 Yes, 7 No
        std::vector<std::string> shown; // texts the box must show
        bool imported;                  // the template lands in the folder
    } const cases[] = {
        {.what = "local file and a stranger",
         .templateName = "Offer",
         .documents = DocumentXml("C:\\users\\ann\\secret.txt", "Contract.pdf"),
         .signers = stranger,
         .answer = "1",
         .shown = {"names a file on this computer", "C:\\users\\ann\\secret.txt",
                   "was not imported"},
         .imported = false},
        {.what = "local reference document",
         .templateName = "Offer",
         .documents = DocumentXml("Contract.pdf", "Contract.pdf", embedded) +
                      DocumentXml("D:\\notes.doc", "Notes.doc", "", "Reference"),
         .answer = "1",
         .shown = {"names a file on this computer", "D:\\notes.doc"},
         .imported = false},
        {.what = "name too long for a path",
         .templateName = std::string(250, 'n'),
         .answer = "1",
         .shown = {"cannot name a file in your template folder", std::string(80, 'n') + "..."},
         .imported = false},
        {.what = "dot dot",
         .templateName = "..",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "climbs out",
         .templateName = "..\\escaped",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "slash",
         .templateName = "sub/escaped",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "drive",
         .templateName = "C:escaped",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "forbidden",
         .templateName = "what?",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "device",
         .templateName = "CON",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "empty",
         .templateName = "",
         .answer = "1",
         .shown = {"cannot name a file"},
         .imported = false},
        {.what = "embedded document and a fixed signer",
         .templateName = "Offer",
         .documents = DocumentXml("C:\\author\\Contract.pdf", "Contract.pdf", embedded),
         .signers = stranger + SignerXml("", "", 0, 1),
         .answer = "6",
         .shown = {"Template: Offer", "Documents: Contract.pdf",
                   "Signers added to every request: Eve Stranger <eve@elsewhere.example>"},
         .imported = true},
        {.what = "the mail's attachment",
         .templateName = "Offer",
         .documents = DocumentXml("&lt;Outlook Attachment&gt;", "&lt;Outlook Attachment&gt;"),
         .answer = "6",
         .shown = {"Documents: the attachments of the mail you send",
                   "Signers added to every request: none"},
         .imported = true},
        {.what = "replaces, No keeps the old one",
         .templateName = "Existing",
         .answer = "7",
         .shown = {"You already have a template named \"Existing\""},
         .imported = false},
        {.what = "replaces on Yes",
         .templateName = "Existing",
         .answer = "6",
         .shown = {"Importing this one replaces it"},
         .imported = true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = TempDir() + "unsafe" + std::to_string(index++) + "\\";
        const std::string templates = folder + "templates";
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA(templates.c_str(), nullptr);
        testenv::WriteText(testenv::kProductKey, "TemplateFolder", templates);
        testenv::WriteFileBytes(templates + "\\Existing.xml", "old");
        const std::string xml = TemplateXml(c.templateName, c.documents, c.signers);
        const std::string attachment = folder + "new.xml";
        testenv::WriteFileBytes(attachment, xml);
        const CRun run = outlookhost::Run(folder, "answer " + std::string(c.answer) +
                                                      "\ndeliver \"Inkstave Template\" \"" +
                                                      ScriptText(attachment) + "\"\n");
        ASSERT_EQ(run.exitCode, 0) << run.Text();
        const std::string text = run.Text();
        for (const std::string& shown : c.shown)
            EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
        // A refusal comes instead of the question, never before it.
        EXPECT_EQ(std::string(c.answer) != "1",
                  run.HasPrefix("messagebox You have just received a Inkstave template."))
            << text;
        const std::string target =
            templates + "\\" + (c.templateName == "Existing" ? "Existing" : "Offer") + ".xml";
        if (c.imported) {
            EXPECT_EQ(testenv::ReadFileBytes(target), xml);
        } else {
            EXPECT_EQ(testenv::ReadFileBytes(templates + "\\Existing.xml"), "old");
            EXPECT_EQ(testenv::ListFiles(templates), std::vector<std::string>{"Existing.xml"});
        }
        EXPECT_FALSE(testenv::FileExists(folder + "escaped.xml"));
        EXPECT_FALSE(testenv::FileExists(TempDir() + "escaped.xml"));
    }
}

// The library may go only once the host let go of every object and
// factory it had and every lock it took.
TEST_F(QuillOffHostTest, TheLibraryStaysWhileAnythingOfItLives)
{
    HMODULE library = LoadLibraryA(QUILLOFF_DLL_PATH);
    ASSERT_TRUE(library);
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnloadNow);
    CLSID clsid{};
    ASSERT_HR(S_OK, CLSIDFromString(CBstr(kClsidText).Get(), &clsid));
    CComPtr<IClassFactory> factory;
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
              getClassObject(IID_IUnknown, IID_IClassFactory, factory.PutVoid()));
    EXPECT_FALSE(factory);
    EXPECT_HR(S_OK, canUnloadNow());
    ASSERT_HR(S_OK, getClassObject(clsid, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_FALSE, canUnloadNow()) << "a factory is held";
    CComPtr<IUnknown> object;
    CComPtr<IUnknown> outer(factory.Get());
    EXPECT_HR(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(outer.Get(), IID_IUnknown, object.PutVoid()));
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IDTExtensibility2, object.PutVoid()));
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    outer.Release();
    factory.Release();
    EXPECT_HR(S_FALSE, canUnloadNow()) << "an add-in object and a lock";
    object.Release();
    EXPECT_HR(S_FALSE, canUnloadNow()) << "a lock";
    ASSERT_HR(S_OK, getClassObject(clsid, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    factory.Release();
    EXPECT_HR(S_OK, canUnloadNow());
    FreeLibrary(library);
}

// The lines of the calls that start with prefix, in order.
std::vector<std::string> CallsStarting(const std::string& calls, const std::string& prefix)
{
    std::vector<std::string> found;
    for (size_t at = 0; at < calls.size();) {
        size_t end = calls.find('\n', at);
        if (end == std::string::npos)
            end = calls.size();
        const std::string line = calls.substr(at, end - at);
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
        at = end + 1;
    }
    return found;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The subjects of a default folder of the mailbox the run left, sorted.
std::vector<std::string> Subjects(const CRun& run, long folder)
{
    standin::CMailbox mailbox;
    std::wstring error;
    if (!mailbox.Load(run.mailbox, &error))
        return {"<mailbox not saved>"};
    std::vector<std::string> subjects;
    standin::CItems& items = mailbox.DefaultFolder(folder)->Items();
    for (size_t i = 0; i < items.Count(); ++i)
        subjects.push_back(Narrow(items.At(i)->Subject()));
    std::sort(subjects.begin(), subjects.end());
    return subjects;
}

// Word, when it edits Outlook's mail, loads the add-ins registered for Word
// and hands them its own application: QuillOff connects its Word sink
// alone (no Outlook object asked for, no bar made), the "Quillet" bar
// follows the mail envelope of the window Word brings forward (the window's,
// not the document's), and shutdown lets go of everything. An add-in
// registered for Outlook only is not Word's to load.
TEST_F(QuillOffHostTest, WordAsHostConnectsOnlyItsWordSink)
{
    struct Case {
        const char* what;
        const char* curVer;
        const char* program; // where the add-in is registered to load
        bool loaded;
        bool ribbon;
    } const cases[] = {
        {"command bars", "Outlook.Application.11", "Word", true, false},
        {"ribbon", "Outlook.Application.14", "Word", true, true},
        {"registered for Outlook", "Outlook.Application.14", "Outlook", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRegisteredAddin::ForgetStartup();
        CRegisteredAddin::SetOutlookVersion(c.curVer);
        CRegisteredAddin::LoadAtStartup(kProgId, 3, false, c.program);
        const CRun run = outlookhost::Run(TempDir(),
                                          "word-bar \"Quillet\"\n"
                                          "word-window \"Mail to Ann\" on\n"
                                          "word-window \"Letter\" off\n"
                                          "word-window \"Mail to Ann\" on\n",
                                          "", "word");
        ASSERT_EQ(run.exitCode, 0) << run.Text();
        EXPECT_EQ(run.Has(std::string("addin ") + kProgId + " connected"), c.loaded) << run.Text();
        // Word asks for its own ribbon, for which QuillOff has no markup.
        EXPECT_EQ(run.Has("ribbon Microsoft.Word.Document "), c.ribbon) << run.Text();
        EXPECT_FALSE(run.HasPrefix("ribbon Microsoft.Outlook"));
        for (const char* outlookKind : {"Application.", "NameSpace.", "Inspectors.", "Explorer."})
            EXPECT_TRUE(CallsStarting(run.calls, outlookKind).empty()) << outlookKind << "\n"
                                                                       << run.calls;
        EXPECT_EQ(run.calls.find("CommandBars.Add("), std::string::npos) << run.calls;
        EXPECT_EQ(run.calls.find("CommandBar.Delete()"), std::string::npos);
        EXPECT_EQ(run.calls.find("Document.EnvelopeVisible"), std::string::npos);
        EXPECT_EQ(Occurrences(run.calls, "Window.EnvelopeVisible()"), c.loaded ? 3u : 0u)
            << run.calls;
        const std::vector<std::string> shownHiddenShown = {
            "CommandBar.Enabled() = True",  "CommandBar.Visible() = True",
            "CommandBar.Visible() = False", "CommandBar.Enabled() = False",
            "CommandBar.Enabled() = True",  "CommandBar.Visible() = True"};
        EXPECT_EQ(CallsStarting(run.calls, "CommandBar."),
                  c.loaded ? shownHiddenShown : std::vector<std::string>{})
            << run.calls;
        EXPECT_TRUE(run.Has("connections left 0")) << run.Text();
    }
}

// Word mail inspectors share Word's bars, so the two inspectors' send
// buttons sink one control, whose tag carries both. A click acts in the
// inspector the user clicked in, on its own mail alone: that mail is saved
// (so it lands in Drafts) and the send reads its recipients (only the
// second mail has one) up to the refusal the user sees.
TEST_F(QuillOffHostTest, WordMailInspectorsEachSendTheirOwnMail)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.11");
    struct Case {
        const char* what;
        std::vector<std::string> clicks; // the mail whose inspector is in front, a click each
    } const cases[] = {
        {"in the first", {"First"}},
        {"in the second", {"Second"}},
        {"in each in turn", {"First", "Second"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = "word-mail on\n"
                             "new-mail \"First\"\n"
                             "new-mail \"Second\"\n"
                             "bcc \"bob@example.com\"\n";
        for (const std::string& subject : c.clicks)
            script += "activate \"" + subject +
                      "\"\n"
                      "expect \"Quillet Error\"\n"
                      "press 1\n"
                      "click \"Quillet-It\"\n";
        script += "close discard\nclose discard\n";
        const CRun run = outlookhost::Run(TempDir(), script);
        ASSERT_EQ(run.exitCode, 0) << run.Text();
        EXPECT_NE(run.calls.find("CommandBarButton.Tag() = sf1l;sf0l;"), std::string::npos)
            << run.calls;
        EXPECT_EQ(static_cast<size_t>(
                      std::count(run.report.begin(), run.report.end(), "dialog Quillet Error")),
                  c.clicks.size())
            << run.Text();
        // One button acted on each click, on the mail in front.
        EXPECT_EQ(Occurrences(run.calls, "MailItem.Save()"), c.clicks.size()) << run.calls;
        std::vector<std::string> saved = c.clicks;
        std::sort(saved.begin(), saved.end());
        EXPECT_EQ(Subjects(run, standin::kFolderDrafts), saved);
        const bool secondSent =
            std::find(c.clicks.begin(), c.clicks.end(), "Second") != c.clicks.end();
        EXPECT_EQ(Occurrences(run.calls, "Recipients.Item(1)"), secondSent ? 1u : 0u) << run.calls;
        EXPECT_TRUE(run.Has("connections left 0")) << run.Text();
    }
}

// A receipt as the broadcast agent files it in the Receipts folder: the
// request's pieces as the add-in cut them (a document's bytes before its
// name), the service's results, the closing line.
void FileAgentReceipt(const std::string& workFolder, const std::string& fileId,
                      const std::string& receiptSubject)
{
    const std::string envelopeOpen =
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>";
    const std::string envelopeClose = "</soap:Body></soap:Envelope>\n";
    const std::string ns = " xmlns:m=\"http://secure.quillet.com/services/\"";
    const std::string pieces[] = {
        envelopeOpen + "<m:CreateSignatureRequest" + ns +
            "><m:pstr_FileName>Contract</m:pstr_FileName>\n",
        "<CSRSigners" + ns +
            "><m:pstr_Signers>ann@example.com</m:pstr_Signers>\n<m:pstr_SecondSigners>"
            "</m:pstr_SecondSigners>\n<m:pstr_CCs></m:pstr_CCs>\n</CSRSigners>\n",
        "<m:pstr_EmailMessage>" + standin::Base64Encode("Please sign.") +
            "</m:pstr_EmailMessage>\n</m:CreateSignatureRequest>" + envelopeClose,
        envelopeOpen + "<m:AddDocumentToRequest" + ns + "><m:pstr_FileID>" + fileId +
            "</m:pstr_FileID>\n<m:pbyt_File>" + standin::Base64Encode("%PDF-1.4 " + fileId) +
            "</m:pbyt_File>\n<m:pstr_FileName>contract.pdf</m:pstr_FileName>\n"
            "</m:AddDocumentToRequest>" +
            envelopeClose,
    };
    CReceipt receipt(nullptr, CReceipt::kFileReceipt);
    int index = 0;
    for (const std::string& piece : pieces) {
        const std::string path = workFolder + fileId + "-" + std::to_string(index++) + ".txt";
        testenv::WriteFileBytes(path, piece);
        ASSERT_HR(S_OK, CloseReceiptFile(&receipt, path.c_str()));
        DeleteFileA(path.c_str());
    }
    ASSERT_HR(S_OK, AddReceiptResults(&receipt, fileId.c_str(),
                                      ("https://sign.example/doc?id=" + fileId).c_str(),
                                      receiptSubject.c_str(), "Contracts"));
    ASSERT_HR(S_OK, CloseReceiptFile(&receipt, nullptr));
    ASSERT_HR(S_OK, FileReceipt(&receipt));
}

// The agent's receipts become tasks when the user looks at a task folder: a
// selection change in the Inbox imports nothing; one in Tasks imports every
// receipt once (its dialog comes up once), the files go, and the next
// selection change finds nothing new.
TEST_F(QuillOffHostTest, ASelectionChangeInTasksImportsTheAgentsReceipts)
{
    CRegisteredAddin::SetOutlookVersion("Outlook.Application.14");
    CString receiptsFolder;
    CString sentFolder;
    ASSERT_HR(S_OK, GetReceiptsFolder(receiptsFolder));
    ASSERT_HR(S_OK, GetSentItemsFolder(sentFolder));
    const std::string receipts = receiptsFolder.str() + "\\";
    CFolderGuard receiptsGuard(receipts, TempDir() + "receipts-aside\\", true);
    CFolderGuard sentGuard(sentFolder.str() + "\\", TempDir() + "sent-aside\\", false);
    const std::pair<std::string, std::string> filed[] = {{"QF2001", "Receipt for Ann"},
                                                         {"QF2002", "Receipt for Bob"}};
    for (const auto& [fileId, subject] : filed)
        FileAgentReceipt(TempDir(), fileId, subject);
    ASSERT_EQ(testenv::ListFiles(receipts).size(), 2u);

    const CRun run = outlookhost::Run(TempDir(), "say \"inbox\"\n"
                                                 "select all\n"
                                                 "folder \"Tasks\"\n"
                                                 "say \"tasks\"\n"
                                                 "select all\n"
                                                 "say \"again\"\n"
                                                 "select all\n");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    // The tasks are made once the explorer shows a task folder, and only once.
    const size_t switched = run.calls.find("MAPIFolder.DefaultItemType()");
    ASSERT_NE(switched, std::string::npos) << run.calls;
    EXPECT_LT(switched, run.calls.find("Application.CreateItem(3)")) << run.calls;
    EXPECT_EQ(Occurrences(run.calls, "Application.CreateItem(3)"), 2u) << run.calls;
    EXPECT_TRUE(testenv::ListFiles(receipts).empty());

    standin::CMailbox mailbox;
    std::wstring error;
    ASSERT_TRUE(mailbox.Load(run.mailbox, &error)) << Narrow(error);
    standin::CItems& tasks = mailbox.DefaultFolder(standin::kFolderTasks)->Items();
    ASSERT_EQ(tasks.Count(), 2u) << "each receipt once";
    for (const auto& [fileId, subject] : filed) {
        SCOPED_TRACE(fileId);
        standin::CItem* task = nullptr;
        for (size_t i = 0; i < tasks.Count(); ++i)
            if (Narrow(tasks.At(i)->Subject()) == subject)
                task = tasks.At(i);
        ASSERT_TRUE(task);
        EXPECT_EQ(Narrow(task->MessageClass()), "IPM.Task.Quillet");
        standin::CUserProperty* id = task->UserProperties().Find(L"Quillet ID");
        ASSERT_TRUE(id);
        EXPECT_EQ(Narrow(id->Text()), fileId);
        EXPECT_EQ(task->Attachments().Count(), 1u) << "the sent mail, embedded";
    }
    EXPECT_TRUE(run.Has("connections left 0"));
}

// Outlook started without a window (by another program through COM) has no
// explorer at start-up: each explorer the user opens later gets the
// receipt import and, before the ribbon, its sync bar; closing it lets
// both go.
TEST_F(QuillOffHostTest, ExplorersOpenedLaterImportTheAgentsReceipts)
{
    struct Case {
        const char* curVer;
        size_t bars; // explorer bars made (and deleted again)
    } const cases[] = {
        {"Outlook.Application.11", 1},
        {"Outlook.Application.14", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.curVer);
        CRegisteredAddin::SetOutlookVersion(c.curVer);
        CString receiptsFolder;
        CString sentFolder;
        ASSERT_HR(S_OK, GetReceiptsFolder(receiptsFolder));
        ASSERT_HR(S_OK, GetSentItemsFolder(sentFolder));
        const std::string receipts = receiptsFolder.str() + "\\";
        CFolderGuard receiptsGuard(receipts, TempDir() + "receipts-aside\\", true);
        CFolderGuard sentGuard(sentFolder.str() + "\\", TempDir() + "sent-aside\\", false);
        FileAgentReceipt(TempDir(), "QF3001", "Receipt for Cora");

        const CRun run = outlookhost::Run(TempDir(),
                                          "explorer \"Tasks\"\n"
                                          "select all\n"
                                          "close-explorer\n",
                                          "", "", "--no-explorer");
        ASSERT_EQ(run.exitCode, 0) << run.Text();
        EXPECT_EQ(Occurrences(run.calls, "Application.CreateItem(3)"), 1u) << run.calls;
        EXPECT_TRUE(testenv::ListFiles(receipts).empty());
        EXPECT_EQ(Occurrences(run.calls, "CommandBars.Add("), c.bars) << run.calls;
        EXPECT_EQ(Occurrences(run.calls, "CommandBar.Delete()"), c.bars) << run.calls;
        EXPECT_TRUE(run.Has("connections left 0")) << run.Text();
    }
}

// Word as host: the "Quillet" bar follows the activated window's mail
// envelope (the window, the event's second argument, not the document).
TEST(WordEvents, TheBarFollowsTheWindowsEnvelope)
{
    for (const bool envelope : {true, false}) {
        CComPtr<CFakeDispatch> bar = CFakeDispatch::Create();
        bar->Prop(L"Enabled", !envelope ? 1L : 0L).Prop(L"Visible", !envelope ? 1L : 0L);
        CComPtr<CFakeDispatch> bars = CFakeDispatch::Create();
        bars->Method(
            L"Item",
            [&](const DISPPARAMS& params, VARIANT* result) {
                if (params.cArgs != 1 || params.rgvarg[0].vt != VT_BSTR ||
                    std::wstring(params.rgvarg[0].bstrVal) != L"Quillet")
                    return DISP_E_BADINDEX;
                result->vt = VT_DISPATCH;
                result->pdispVal = bar.Get();
                bar->AddRef();
                return S_OK;
            },
            CFakeDispatch::kMethod | CFakeDispatch::kGet);
        CComPtr<CFakeDispatch> word = CFakeDispatch::Create();
        word->Prop(L"CommandBars", bars.Get());
        CComPtr<CFakeDispatch> document = CFakeDispatch::Create();
        document->Prop(L"EnvelopeVisible", !envelope ? -1L : 0L);
        CComPtr<CFakeDispatch> window = CFakeDispatch::Create();
        window->Prop(L"EnvelopeVisible", envelope ? -1L : 0L);

        CComPtr<CWordEvents> sink(new CWordEvents);
        sink->SetApplication(word.Get());
        // Automation order: the window (second parameter) first.
        CVariant args[2] = {CVariant(window.Get()), CVariant(document.Get())};
        DISPPARAMS params{args, nullptr, 2, 0};
        ASSERT_HR(S_OK, sink->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                     nullptr));
        const VARIANT* visible = bar->Value(L"Visible");
        ASSERT_EQ(visible->vt, VT_BOOL);
        EXPECT_EQ(visible->boolVal != VARIANT_FALSE, envelope);
        const std::vector<CFakeDispatch::Call>& calls = bar->Calls();
        ASSERT_EQ(calls.size(), 2u);
        // Enabled first when showing, Visible first when hiding.
        EXPECT_EQ(calls[0].name, envelope ? L"Enabled" : L"Visible");
        EXPECT_EQ(calls[1].name, envelope ? L"Visible" : L"Enabled");
    }
}

} // namespace
