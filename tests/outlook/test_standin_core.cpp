// The stand-in serves its members as Office's type-library dispatch does;
// add-in tests are only worth what these rules are, so they are checked
// once here: which invoke kinds reach which members, the argument order,
// the put conventions, failure injection and the connection points.
#include <gtest/gtest.h>

#include "classlib/com/CVariant.h"
#include "shared/outlook/Dispatcher.h"
#include "standins/outlook/core/AutoObject.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/ItemWindow.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/Mailbox.h"
#include "tests/support/TestEventSink.h"
#include "tests/support/HResultText.h"

using namespace standin;

namespace {

class CProbe final : public CAutoObject {
public:
    CProbe() : CAutoObject(L"Probe")
    {
        AddEventSource(kItemEvents);
        Method(L"Subtract", 2, 2, [](CCall& call) { call.Return(call.Long(0) - call.Long(1)); });
        Indexed(L"Item", 1, 1, [](CCall& call) {
            if (call.Text(0) != L"known")
                Fail(kObjectNotFound, L"not found");
            call.Return(L"found");
        });
        Getter(L"Name", [](CCall& call) { call.Return(L"probe"); });
        Property(
            L"Caption", [this](CCall& call) { call.Return(caption); },
            [this](CCall& call) { caption = call.ValueText(); });
        Property(
            L"Picture", [this](CCall& call) { call.Return(picture.Get()); },
            [this](CCall& call) { picture = CComPtr<IDispatch>(call.ValueObject()); }, true);
    }

    std::wstring caption;
    CComPtr<IDispatch> picture;
};

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<CVariant> args,
               bool namedPut, VARIANT* result)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    std::vector<VARIANT> raw(args.begin(), args.end()); // already in automation order
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), namedPut ? &put : nullptr,
                      static_cast<UINT>(raw.size()), namedPut ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                          nullptr);
}

struct InvokeCase {
    const wchar_t* member;
    WORD flags;
    int args; // texts "known" / longs 7, 2 as the member needs
    bool namedPut;
    HRESULT expected;
};

class StandInCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CallLog().Clear();
        CallLog().ClearInjections();
    }
    CComPtr<CProbe> probe = New<CProbe>();
};

TEST_F(StandInCoreTest, InvokeKindsReachMembersAsATypeLibraryWould)
{
    constexpr WORD kMethod = DISPATCH_METHOD;
    constexpr WORD kGet = DISPATCH_PROPERTYGET;
    constexpr WORD kPut = DISPATCH_PROPERTYPUT;
    constexpr WORD kPutRef = DISPATCH_PROPERTYPUTREF;
    const InvokeCase cases[] = {
        {L"name", kGet, 0, false, S_OK},           // names match without case
        {L"Name", kMethod | kGet, 0, false, S_OK}, // how late binding reads
        {L"Name", kMethod, 0, false, DISP_E_MEMBERNOTFOUND},
        {L"Name", kPut, 1, true, DISP_E_MEMBERNOTFOUND}, // read-only
        {L"Caption", kPut, 1, true, S_OK},
        {L"Caption", kPut, 1, false, DISP_E_PARAMNOTFOUND},    // a put names its value
        {L"Caption", kPutRef, 1, true, DISP_E_MEMBERNOTFOUND}, // not an object
        {L"Caption", kMethod | kPutRef, 1, true, DISP_E_MEMBERNOTFOUND},
        {L"Caption", kMethod | kPut, 1, true, S_OK},
        {L"Subtract", kMethod, 2, false, S_OK},
        {L"Subtract", kGet, 2, false, DISP_E_MEMBERNOTFOUND},
        {L"Subtract", kMethod, 1, false, DISP_E_BADPARAMCOUNT},
        {L"Item", kGet, 1, false, S_OK},
        {L"Item", kMethod, 1, false, S_OK},
        {L"Missing", kGet, 0, false, DISP_E_UNKNOWNNAME},
    };
    for (const InvokeCase& c : cases) {
        std::vector<CVariant> args;
        if (std::wstring(c.member) == L"Subtract")
            for (int i = 0; i < c.args; ++i)
                args.push_back(CVariant(7L));
        else
            for (int i = 0; i < c.args; ++i)
                args.push_back(CVariant(L"known"));
        CVariant result;
        EXPECT_EQ(Invoke(probe->Dispatch(), c.member, c.flags, args, c.namedPut, &result),
                  c.expected)
            << "member " << CBstr::ToNarrow(c.member).str() << " flags " << c.flags;
    }
}

TEST_F(StandInCoreTest, ArgumentsArriveLastFirstAndFailuresComeAsOfficeGivesThem)
{
    // Automation order: rgvarg[0] is the last parameter, so 2 - 10.
    CVariant result;
    ASSERT_HR(S_OK, Invoke(probe->Dispatch(), L"Subtract", DISPATCH_METHOD,
                           {CVariant(10L), CVariant(2L)}, false, &result));
    EXPECT_EQ(result.lVal, -8);

    // A missing item is an automation exception carrying Outlook's code.
    EXCEPINFO exception{};
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Item")};
    ASSERT_HR(S_OK, probe->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    CVariant unknown = CVariant(L"other");
    DISPPARAMS params{&unknown, nullptr, 1, 0};
    EXPECT_HR(DISP_E_EXCEPTION, probe->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result,
                                              &exception, nullptr));
    EXPECT_EQ(exception.scode, kObjectNotFound);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);

    // The late-binding helpers the product uses put objects by reference.
    CComPtr<CProbe> other = New<CProbe>();
    CVariant picture(other->Dispatch());
    EXPECT_HR(S_OK, CDispatcher::PutProp(probe->Dispatch(), L"Picture", &picture));
    EXPECT_EQ(probe->picture.Get(), other->Dispatch());
    ASSERT_EQ(CallLog().Count(L"Probe", L"Picture"), 1u);
    EXPECT_EQ(CallLog().Of(L"Probe", L"Picture")[0].Text(), L"Probe.Picture() := <Probe>");
}

TEST_F(StandInCoreTest, InjectedFailuresAnswerForTheirCountThenTheMemberRuns)
{
    CallLog().Inject(L"probe", L"NAME", E_ACCESSDENIED, 2);
    CVariant name;
    EXPECT_HR(E_ACCESSDENIED, CDispatcher::GetProp(probe->Dispatch(), L"Name", name.Put()));
    EXPECT_HR(E_ACCESSDENIED, CDispatcher::GetProp(probe->Dispatch(), L"Name", name.Put()));
    EXPECT_HR(S_OK, CDispatcher::GetProp(probe->Dispatch(), L"Name", name.Put()));
    {
        CCallLog::CQuiet quiet; // the host's own doings neither fail nor count
        probe->FailMember(L"Name", E_FAIL);
        EXPECT_HR(S_OK, CDispatcher::GetProp(probe->Dispatch(), L"Name", name.Put()));
    }
    EXPECT_HR(E_FAIL, CDispatcher::GetProp(probe->Dispatch(), L"Name", name.Put()));
    EXPECT_EQ(CallLog().Count(L"Probe", L"Name"), 4u);
}

TEST_F(StandInCoreTest, ConnectionPointsAdviseOnlySinksOfTheEventInterface)
{
    CComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, probe->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()));
    CComPtr<IConnectionPoint> point;
    EXPECT_HR(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(kExplorerEvents, point.Put()));
    ASSERT_HR(S_OK, container->FindConnectionPoint(kItemEvents, point.Put()));

    // The cancel flag is the last argument: rgvarg[0].
    auto cancelIt = [](DISPID, DISPPARAMS& params) {
        if (params.cArgs == 2 && params.rgvarg[0].vt == (VT_BOOL | VT_BYREF))
            *params.rgvarg[0].pboolVal = VARIANT_TRUE;
    };
    CTestEventSink stranger(kItemEvents, {}, false), sink(kItemEvents, cancelIt);
    DWORD cookie = 0;
    EXPECT_HR(CONNECT_E_CANNOTCONNECT, point->Advise(&stranger, &cookie));
    ASSERT_HR(S_OK, point->Advise(&sink, &cookie));
    EXPECT_EQ(probe->Connections(kItemEvents), 1u);

    VARIANT_BOOL cancel = VARIANT_FALSE;
    CVariant cancelArg;
    cancelArg.vt = VT_BOOL | VT_BYREF;
    cancelArg.pboolVal = &cancel;
    probe->Fire(kItemEvents, kDispClose, {CVariant(probe->Dispatch()), cancelArg});
    EXPECT_EQ(sink.Events(), std::vector<DISPID>{kDispClose});
    EXPECT_EQ(cancel, VARIANT_TRUE) << "a sink answers through the reference";

    EXPECT_HR(CONNECT_E_NOCONNECTION, point->Unadvise(cookie + 1));
    EXPECT_HR(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(probe->Connections(kItemEvents), 0u);
    EXPECT_EQ(sink.RefCount(), 0u) << "the point released the sink";
    probe->Fire(kItemEvents, kDispClose, {CVariant(probe->Dispatch()), cancelArg});
    EXPECT_EQ(sink.Events().size(), 1u);
}

} // namespace

namespace {

// The windows the product owns its dialogs by are the explorers' and
// inspectors' own, as Outlook hands them out through IOleWindow.
TEST(StandInApplication, DialogOwnersAreTheExplorerAndInspectorWindows)
{
    CComPtr<CApplication> application = New<CApplication>();
    EXPECT_EQ(CDispatcher::GetParentWindow(application->Dispatch(), CDispatcher::kPreferEither),
              nullptr)
        << "no window yet: no owner, never the desktop";
    CExplorer& explorer = application->OpenExplorer();
    CComPtr<CItem> mail = application->Mailbox().CreateItem(kItemTypeMail);
    mail->SetSubject(L"Quarterly figures");
    CInspector& inspector = application->OpenInspector(*mail);

    EXPECT_EQ(CDispatcher::GetParentWindow(application->Dispatch(), CDispatcher::kPreferExplorer),
              explorer.Window());
    EXPECT_EQ(CDispatcher::GetParentWindow(application->Dispatch(), CDispatcher::kPreferEither),
              inspector.Window());
    EXPECT_EQ(inspector.Caption(), L"Quarterly figures - Message (HTML)");

    // Two mails of one subject: two windows of one caption, each its own.
    CComPtr<CItem> twin = application->Mailbox().CreateItem(kItemTypeMail);
    twin->SetSubject(L"Quarterly figures");
    CInspector& second = application->OpenInspector(*twin);
    EXPECT_EQ(second.Caption(), inspector.Caption());
    EXPECT_NE(second.Window(), inspector.Window());
    EXPECT_EQ(CDispatcher::GetWindowOf(second.Dispatch()), second.Window());
    EXPECT_EQ(CDispatcher::GetWindowOf(inspector.Dispatch()), inspector.Window());

    CComPtr<CInspector> closed(&second); // Close lets the application's reference go
    second.Close(1);
    EXPECT_EQ(CDispatcher::GetWindowOf(closed->Dispatch()), nullptr) << "closed: no window";
    inspector.Close(1);
    EXPECT_EQ(CDispatcher::GetParentWindow(application->Dispatch(), CDispatcher::kPreferInspector),
              explorer.Window())
        << "no inspector open: the active explorer";
    application->Quit();
}

} // namespace
