// The event sink base: the dispatch checks that stand between an event
// source and a handler, the connection to a source through its connection
// point, and the helpers every sink and button shares (the sent mark, the
// offline test, the error report), against the Outlook stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/core/EventHandler.h"
#include "classlib/com/CComModule.h"
#include "classlib/com/CVariant.h"
#include "shared/SharedResource.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/NameSpace.h"
#include "standins/outlook/model/UserProperties.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/MapiStandIn.h"
#include "tests/support/TestEnv.h"
#include "tests/support/HResultText.h"

using namespace standin;

namespace {

constexpr DISPID kTwoArgs = 5;
constexpr DISPID kNoArgs = 7;

const CEventEntry kProbeEvents[] = {
    {kTwoArgs, 2, "Changed"},
    {kNoArgs, 0, "Ping"},
    {0, 0, nullptr},
};
const CEventEntry kNoEvents[] = {{0, 0, nullptr}};

// A sink of the item events with a table of its own; it records what its
// handler saw, by declaration position.
class CProbeSink : public CEventHandler {
public:
    explicit CProbeSink(const CEventEntry* events = kProbeEvents, bool* deleted = nullptr)
        : CEventHandler(events), m_deleted(deleted)
    {}
    ~CProbeSink() override
    {
        if (m_deleted)
            *m_deleted = true;
    }

    struct Seen {
        DISPID id;
        std::vector<std::wstring> args; // declaration order, as texts
    };
    std::vector<Seen> seen;

protected:
    HRESULT OnInvoke(DISPID id, DISPPARAMS* params) override
    {
        Seen call{id, {}};
        const UINT count = id == kTwoArgs ? 2 : 0;
        for (UINT i = 0; i < count; ++i) {
            CVariant text;
            const VARIANT* arg = EventArg(params, i, count);
            if (arg && SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(arg), 0, VT_BSTR)))
                call.args.push_back(text.bstrVal);
            else
                call.args.push_back(L"?");
        }
        seen.push_back(std::move(call));
        return E_FAIL; // never reaches the source
    }
    const IID& GetEventIID() const override { return kItemEvents; }

private:
    bool* m_deleted;
};

// A source of the item events, and one of another interface.
class CProbeSource final : public CAutoObject {
public:
    explicit CProbeSource(const IID& events) : CAutoObject(L"ProbeSource")
    {
        AddEventSource(events);
    }
};
class CPlainObject final : public CAutoObject {
public:
    CPlainObject() : CAutoObject(L"Plain") {}
};

struct NameCase {
    const char* what;
    bool badIid;
    const wchar_t* name; // null: no names array
    UINT count;
    bool nullIds;
    HRESULT expected;
    DISPID id;
};

struct InvokeCase {
    const char* what;
    bool badIid;
    DISPID id;
    int argCount; // -1: no DISPPARAMS at all
    HRESULT expected;
    bool handled;
};

class EventSinkTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CallLog().Clear();
        CallLog().ClearInjections();
    }
};

TEST_F(EventSinkTest, NamesAreLookedUpExactlyInTheTable)
{
    const std::wstring longName(700, L'C');
    const NameCase cases[] = {
        {"interface other than IID_NULL", true, L"Changed", 1, false, DISP_E_UNKNOWNINTERFACE, -1},
        {"no names", false, nullptr, 1, false, E_POINTER, -1},
        {"no ids", false, L"Changed", 1, true, E_POINTER, -1},
        {"two names", false, L"Changed", 2, false, E_INVALIDARG, -1},
        {"the name", false, L"Changed", 1, false, S_OK, kTwoArgs},
        {"another name", false, L"Ping", 1, false, S_OK, kNoArgs},
        {"other case", false, L"changed", 1, false, DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {"unknown name", false, L"Closed", 1, false, DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {"name longer than any", false, longName.c_str(), 1, false, DISP_E_UNKNOWNNAME,
         DISPID_UNKNOWN},
    };
    CProbeSink sink;
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        const wchar_t* name = c.name;
        LPOLESTR names[2] = {const_cast<LPOLESTR>(name), const_cast<LPOLESTR>(L"Ping")};
        DISPID ids[2] = {-1, -1};
        const IID& iid = c.badIid ? IID_IDispatch : IID_NULL;
        const HRESULT hr = sink.GetIDsOfNames(iid, name ? names : nullptr, c.count,
                                              LOCALE_USER_DEFAULT, c.nullIds ? nullptr : ids);
        EXPECT_HR(c.expected, hr);
        EXPECT_EQ(c.id, ids[0]);
    }
}

TEST_F(EventSinkTest, InvokeReachesTheHandlerOnlyForDeclaredEventsAndCounts)
{
    const InvokeCase cases[] = {
        {"interface other than IID_NULL", true, kTwoArgs, 2, DISP_E_UNKNOWNINTERFACE, false},
        {"DISPID not in the table", false, 99, 2, DISP_E_MEMBERNOTFOUND, false},
        {"no parameters", false, kTwoArgs, -1, E_POINTER, false},
        {"one argument too many", false, kTwoArgs, 3, DISP_E_BADPARAMCOUNT, false},
        {"one argument too few", false, kTwoArgs, 1, DISP_E_BADPARAMCOUNT, false},
        {"an argument for none", false, kNoArgs, 1, DISP_E_BADPARAMCOUNT, false},
        {"declared count", false, kTwoArgs, 2, S_OK, true},
        {"no arguments declared and given", false, kNoArgs, 0, S_OK, true},
    };
    for (const InvokeCase& c : cases) {
        SCOPED_TRACE(c.what);
        CProbeSink sink;
        std::vector<CVariant> args(c.argCount > 0 ? c.argCount : 0, CVariant(1L));
        std::vector<VARIANT> raw(args.begin(), args.end());
        DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr,
                          static_cast<UINT>(raw.size()), 0};
        const HRESULT hr = sink.Invoke(
            c.id, c.badIid ? IID_IDispatch : IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
            c.argCount < 0 ? nullptr : &params, nullptr, nullptr, nullptr);
        EXPECT_HR(c.expected, hr);
        EXPECT_EQ(c.handled ? 1u : 0u, sink.seen.size());
    }

    CProbeSink empty(kNoEvents);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, empty.Invoke(0, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                                  &none, nullptr, nullptr, nullptr))
        << "an empty table knows no event";
}

TEST_F(EventSinkTest, InterfacesAndTypeInformation)
{
    CComPtr<CProbeSink> sink(new CProbeSink); // its creator's reference
    struct {
        const char* what;
        const IID& iid;
        HRESULT expected;
    } cases[] = {
        {"its own event interface", kItemEvents, S_OK},
        {"IUnknown", IID_IUnknown, S_OK},
        {"IDispatch", IID_IDispatch, S_OK},
        {"another event interface", kExplorerEvents, E_NOINTERFACE},
        {"IConnectionPoint", IID_IConnectionPoint, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_HR(c.expected, sink->QueryInterface(c.iid, &object));
        if (c.expected == S_OK) {
            EXPECT_EQ(static_cast<IDispatch*>(sink.Get()), object);
            EXPECT_EQ(2u, sink->RefCount());
            sink->Release();
        } else {
            EXPECT_EQ(nullptr, object) << "cleared on refusal";
        }
    }
    EXPECT_HR(E_POINTER, sink->QueryInterface(IID_IUnknown, nullptr));

    UINT count = 7;
    EXPECT_HR(E_POINTER, sink->GetTypeInfoCount(nullptr));
    EXPECT_HR(S_OK, sink->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_HR(E_POINTER, sink->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_HR(E_FAIL, sink->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    EXPECT_EQ(nullptr, info);
}

TEST_F(EventSinkTest, ConnectAdvisesOnTheSourceAndDisconnectLetsGo)
{
    auto source = New<CProbeSource>(kItemEvents);
    bool deleted = false;
    auto* sink = new CProbeSink(kProbeEvents, &deleted);
    sink->AddRef();
    ASSERT_HR(S_OK, sink->Connect(source->Dispatch()));
    EXPECT_TRUE(sink->IsConnected());
    EXPECT_EQ(1u, source->Connections(kItemEvents));
    EXPECT_EQ(2u, sink->RefCount()) << "the creator's and the source's";

    // The handler reads each argument at its declared place: the source
    // passes them last first.
    source->Fire(kItemEvents, kTwoArgs, {CVariant(L"first"), CVariant(2L)});
    source->Fire(kItemEvents, kNoArgs);
    ASSERT_EQ(2u, sink->seen.size());
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"2"}), sink->seen[0].args);
    EXPECT_EQ(kNoArgs, sink->seen[1].id);

    ASSERT_HR(S_OK, sink->Connect(source->Dispatch())) << "connecting again";
    EXPECT_EQ(1u, source->Connections(kItemEvents)) << "a second connect replaces the first";

    sink->Disconnect();
    EXPECT_FALSE(sink->IsConnected());
    EXPECT_EQ(0u, source->Connections(kItemEvents));
    EXPECT_EQ(1u, sink->RefCount());
    sink->Disconnect(); // again: nothing
    source->Fire(kItemEvents, kNoArgs);
    EXPECT_EQ(2u, sink->seen.size()) << "no events after Disconnect";

    EXPECT_EQ(0u, sink->Release());
    EXPECT_TRUE(deleted) << "the last Release deletes the sink";
}

TEST_F(EventSinkTest, SourcesThatCannotTakeTheSink)
{
    auto other = New<CProbeSource>(kExplorerEvents);
    auto plain = New<CPlainObject>();
    CProbeSink sink;
    EXPECT_HR(S_FALSE, sink.Connect(other->Dispatch())) << "no point for the sink's interface";
    EXPECT_FALSE(sink.IsConnected());
    EXPECT_EQ(0u, other->Connections(kExplorerEvents));
    EXPECT_HR(E_NOINTERFACE, sink.Connect(plain->Dispatch())) << "no connection point container";
    EXPECT_HR(E_POINTER, sink.Connect(nullptr));
    EXPECT_FALSE(sink.IsConnected());
    EXPECT_EQ(0u, sink.RefCount());
}

TEST_F(EventSinkTest, DeletingAConnectedSinkUnadvisesIt)
{
    auto source = New<CProbeSource>(kItemEvents);
    bool deleted = false;
    auto* sink = new CProbeSink(kProbeEvents, &deleted);
    sink->AddRef();
    ASSERT_HR(S_OK, sink->Connect(source->Dispatch()));
    delete sink; // as a bar deletes its buttons
    EXPECT_TRUE(deleted) << "deleted once, not again by the source's release";
    EXPECT_EQ(0u, source->Connections(kItemEvents));
    source->Fire(kItemEvents, kNoArgs); // reaches nobody
}

TEST_F(EventSinkTest, ALiveSinkKeepsTheLibraryLoaded)
{
    // What QuillOff.dll's DllCanUnloadNow answers: this program's count, as
    // the library's is the library's.
    ASSERT_HR(S_OK, CComModule::CanUnloadNow()) << "no object of the add-in alive yet";
    bool deleted = false;
    auto* sink = new CProbeSink(kProbeEvents, &deleted);
    sink->AddRef();
    EXPECT_HR(S_FALSE, CComModule::CanUnloadNow()) << "a sink is alive";
    sink->Release();
    ASSERT_TRUE(deleted);
    EXPECT_HR(S_OK, CComModule::CanUnloadNow()) << "after its release";
}

class OutlookSinkTest : public EventSinkTest {
protected:
    void SetUp() override
    {
        EventSinkTest::SetUp();
        m_app = New<CApplication>();
        m_sink.SetApplication(m_app->Dispatch());
    }
    void TearDown() override
    {
        m_app->Quit();
        m_app.Release();
        EventSinkTest::TearDown();
    }

    CComPtr<CApplication> m_app;
    CProbeSink m_sink;
};

TEST_F(OutlookSinkTest, OfflineIsReportedOnlyWhenAsked)
{
    const std::string offlineText =
        "This Quillet capability is not available when Outlook is in offline mode.";
    struct {
        const char* what;
        bool offline;
        BOOL report;
        BOOL expected;
    } cases[] = {
        {"online, silent", false, FALSE, FALSE},
        {"online, reporting", false, TRUE, FALSE},
        {"offline, silent", true, FALSE, TRUE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_app->NameSpace().SetOffline(c.offline);
        CScriptedUser nobody;
        nobody.Start();
        EXPECT_EQ(c.expected, m_sink.IsOffline(c.report));
        nobody.Stop();
        EXPECT_TRUE(nobody.Captions().empty()) << "no dialog";
    }

    m_app->NameSpace().SetOffline(true);
    CScriptedUser user;
    user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Click(IDOK);
    user.Start();
    EXPECT_TRUE(m_sink.IsOffline(TRUE));
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(offlineText, user.TextRead(IDC_ERROR_DETAILS));
    EXPECT_EQ(1u, user.Captions().size()) << "shown once";

    // A namespace or state that cannot be read counts as online.
    for (const wchar_t* member : {L"GetNamespace", L"Offline"}) {
        CallLog().Inject(member[0] == L'G' ? L"Application" : L"NameSpace", member, E_FAIL);
        CScriptedUser nobody;
        nobody.Start();
        EXPECT_FALSE(m_sink.IsOffline(TRUE));
        nobody.Stop();
        EXPECT_TRUE(nobody.Captions().empty());
        CallLog().ClearInjections();
    }
    CProbeSink detached;
    EXPECT_FALSE(detached.IsOffline(TRUE)) << "no application";
}

TEST_F(OutlookSinkTest, ErrorReportFallsBackToItsOwnText)
{
    struct {
        const char* text;
        std::string shown;
    } cases[] = {
        {"The service is down.", "The service is down."},
        {"", "The operation failed for unknown reasons"},
        {nullptr, "The operation failed for unknown reasons"},
    };
    for (const auto& c : cases) {
        CScriptedUser user;
        user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Click(IDOK);
        user.Start();
        m_sink.ShowError(E_FAIL, c.text);
        user.Stop();
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(c.shown, user.TextRead(IDC_ERROR_DETAILS));
    }
}

TEST_F(OutlookSinkTest, MarkItemSentSetsTheYesNoProperty)
{
    for (bool already : {false, true}) {
        SCOPED_TRACE(already ? "with the property" : "without the property");
        CComPtr<CItem> item = m_app->Mailbox().CreateItem(kItemTypeMail);
        if (already)
            item->UserProperties().Add(L"Quillet", kPropYesNo);
        item->MarkSaved();
        CallLog().Clear();

        m_sink.MarkItemSent(item->Dispatch());

        ASSERT_EQ(1u, item->UserProperties().Count());
        CUserProperty* mark = item->UserProperties().Find(L"Quillet");
        ASSERT_NE(nullptr, mark);
        EXPECT_EQ(kPropYesNo, mark->Type());
        ASSERT_EQ(VT_BOOL, mark->Value().vt);
        EXPECT_EQ(VARIANT_TRUE, mark->Value().boolVal);
        EXPECT_EQ(already ? 0u : 1u, CallLog().Count(L"UserProperties", L"Add"))
            << CallLog().Dump();
        EXPECT_EQ(0u, CallLog().Count(L"MailItem", L"Save")) << "not saved here";
    }

    // A failure on the way ends the helper quietly.
    CComPtr<CItem> item = m_app->Mailbox().CreateItem(kItemTypeMail);
    CallLog().Inject(L"UserProperties", L"Add", E_FAIL);
    m_sink.MarkItemSent(item->Dispatch());
    EXPECT_EQ(0u, item->UserProperties().Count());
    m_sink.MarkItemSent(nullptr);
}

TEST_F(OutlookSinkTest, SmtpProxyAddressComesFromTheExchangeDirectory)
{
    CMapiStandIn mapi(TempDir());
    ASSERT_TRUE(mapi.Register()) << "mapistandin.dll is not beside the test program";
    const char* exchange = "/o=Org/ou=Site/cn=Recipients/cn=jdoe";
    mapi.Directory(std::string("identity=jdoe\ngals=1\n[user jdoe]\nname=John Doe\ntype=EX\n") +
                   "address=" + exchange + "\nproxy=smtp:jd@example.net\n" +
                   "proxy=SMTP:John.Doe@example.com\n");
    CString smtp("junk");
    EXPECT_HR(S_OK, m_sink.GetSmtpProxyAddress(exchange, smtp));
    EXPECT_STREQ("John.Doe@example.com", smtp);

    smtp = "junk";
    EXPECT_TRUE(FAILED(m_sink.GetSmtpProxyAddress("/o=Org/cn=nobody", smtp)));
    EXPECT_STREQ("", smtp) << "emptied first";
    EXPECT_HR(E_POINTER, m_sink.GetSmtpProxyAddress(nullptr, smtp));
}

} // namespace
