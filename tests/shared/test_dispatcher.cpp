// CDispatcher: Outlook's objects reached by late binding (properties,
// methods, user properties) and the window a dialog is parented to, against
// scriptable fakes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/outlook/Dispatcher.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

namespace {

// The user properties of a mail item, kept the way Outlook keeps them:
// Find answers Nothing for a missing name; Add makes a new property object.
struct UserPropertyStore {
    std::vector<std::pair<std::wstring, CComPtr<CFakeDispatch>>> properties;
    bool folderRefusesFields = false;

    CFakeDispatch* Find(const std::wstring& name) const
    {
        for (const auto& [known, property] : properties) {
            if (_wcsicmp(known.c_str(), name.c_str()) == 0)
                return property.Get();
        }
        return nullptr;
    }

    CFakeDispatch& AddProperty(const std::wstring& name, long type)
    {
        auto property = CFakeDispatch::Create();
        property->Prop(L"Name", name.c_str()).Prop(L"Type", type).Prop(L"Value", L"");
        properties.emplace_back(name, property);
        return *property.Get();
    }
};

struct FakeMailItem {
    CComPtr<CFakeDispatch> item = CFakeDispatch::Create();
    CComPtr<CFakeDispatch> collection = CFakeDispatch::Create();
    std::shared_ptr<UserPropertyStore> store = std::make_shared<UserPropertyStore>();

    FakeMailItem()
    {
        item->Prop(L"UserProperties", collection.Get());
        item->Method(L"Save", [](const DISPPARAMS&, VARIANT*) { return S_OK; });
        auto shared = store;
        collection->Method(L"Find", [shared](const DISPPARAMS& params, VARIANT* result) {
            if (params.cArgs != 2)
                return DISP_E_BADPARAMCOUNT;
            if (result) {
                CVariant found(static_cast<IDispatch*>(shared->Find(WideOf(params.rgvarg[1]))));
                found.Detach(result);
            }
            return S_OK;
        });
        collection->Method(L"Add", [shared](const DISPPARAMS& params, VARIANT* result) {
            if (params.cArgs != 3)
                return DISP_E_BADPARAMCOUNT;
            const bool toFolder = params.rgvarg[0].vt == VT_BOOL && params.rgvarg[0].boolVal;
            if (toFolder && shared->folderRefusesFields)
                return E_FAIL;
            CFakeDispatch& added =
                shared->AddProperty(WideOf(params.rgvarg[2]), params.rgvarg[1].lVal);
            if (result)
                CVariant(static_cast<IDispatch*>(&added)).Detach(result);
            return S_OK;
        });
    }
};

// The invokes of a member that were plain method calls, leaving out the
// property-read retries CallMethod makes after a failure.
std::vector<CFakeDispatch::Call> MethodCalls(const CFakeDispatch& fake, const wchar_t* name)
{
    std::vector<CFakeDispatch::Call> calls;
    for (const auto& call : fake.CallsTo(name)) {
        if (call.flags == DISPATCH_METHOD)
            calls.push_back(call);
    }
    return calls;
}

class DispatcherTest : public CleanProfileTest {};

} // namespace

// ---------------------------------------------------------------- properties

TEST_F(DispatcherTest, GetPropReadsByNameWithNoArguments)
{
    auto mail = CFakeDispatch::Create();
    mail->Prop(L"Subject", L"Contract");
    CVariant subject(5L); // what an out VARIANT held goes first
    ASSERT_EQ(S_OK, CDispatcher::GetProp(mail.Get(), L"subject", subject.Put()));
    EXPECT_EQ(L"Contract", WideOf(subject));
    ASSERT_EQ(1u, mail->Calls().size());
    EXPECT_EQ(DISPATCH_METHOD | DISPATCH_PROPERTYGET, mail->Calls()[0].flags);
    EXPECT_TRUE(mail->Calls()[0].args.empty());
}

TEST_F(DispatcherTest, NullObjectsAndFailedLookUpsComeBackAsTheyAre)
{
    auto object = CFakeDispatch::Create();
    object->Prop(L"Locked", 1L).Fail(L"Locked", E_ACCESSDENIED);
    CVariant out;
    CVariant value(1L);
    CString text;
    struct Case {
        const char* what;
        HRESULT expected;
        std::function<HRESULT()> call;
    };
    const Case cases[] = {
        {"GetProp, null object", E_POINTER,
         [&] { return CDispatcher::GetProp(nullptr, L"Subject", out.Put()); }},
        {"PutProp, null object", E_POINTER,
         [&] { return CDispatcher::PutProp(nullptr, L"Subject", &value); }},
        {"PutProp, null value", E_POINTER,
         [&] { return CDispatcher::PutProp(object.Get(), L"Locked", nullptr); }},
        {"CallMethod, null object", E_POINTER,
         [&] { return CDispatcher::CallMethod(nullptr, L"Save", out.Put(), 0, nullptr); }},
        {"FindUserProperty, null item", E_POINTER,
         [&] { return CDispatcher::FindUserProperty(nullptr, L"X", out.Put(), FALSE, TRUE); }},
        {"SetUserProperty, null item", E_POINTER,
         [&] { return CDispatcher::SetUserProperty(nullptr, L"X", "v", FALSE, TRUE); }},
        {"GetUserProperty, null item", E_POINTER,
         [&] { return CDispatcher::GetUserProperty(nullptr, L"X", text); }},
        {"GetProp, unknown name", DISP_E_UNKNOWNNAME,
         [&] { return CDispatcher::GetProp(object.Get(), L"Nope", out.Put()); }},
        {"PutProp, unknown name", DISP_E_UNKNOWNNAME,
         [&] { return CDispatcher::PutProp(object.Get(), L"Nope", &value); }},
        {"CallMethod, unknown name", DISP_E_UNKNOWNNAME,
         [&] { return CDispatcher::CallMethod(object.Get(), L"Nope", out.Put(), 0, nullptr); }},
        {"GetProp, failing member", E_ACCESSDENIED,
         [&] { return CDispatcher::GetProp(object.Get(), L"Locked", out.Put()); }},
        {"FindUserProperty, failing UserProperties", DISP_E_UNKNOWNNAME,
         [&] { return CDispatcher::FindUserProperty(object.Get(), L"X", out.Put(), TRUE, TRUE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        object->ClearCalls();
        EXPECT_EQ(c.expected, c.call());
        if (c.expected == DISP_E_UNKNOWNNAME) {
            EXPECT_TRUE(object->Calls().empty()) << "nothing is invoked after a failed look-up";
        }
    }
}

TEST_F(DispatcherTest, PutPropOffersObjectsArraysAndReferencesByReferenceFirst)
{
    constexpr WORD kPut = DISPATCH_METHOD | DISPATCH_PROPERTYPUT;
    constexpr WORD kRef = DISPATCH_METHOD | DISPATCH_PROPERTYPUTREF;
    auto other = CFakeDispatch::Create();
    long number = 7;
    CVariant array;
    array.vt = VT_ARRAY | VT_I4;
    array.parray = SafeArrayCreateVector(VT_I4, 0, 2);

    auto make = [&](VARTYPE type) {
        CVariant value;
        switch (type) {
        case VT_BSTR:
            value = CVariant(L"text");
            break;
        case VT_I4:
            value = CVariant(3L);
            break;
        case VT_DISPATCH:
            value = CVariant(static_cast<IDispatch*>(other.Get()));
            break;
        case VT_UNKNOWN:
            value.vt = VT_UNKNOWN;
            value.punkVal = other.Get();
            other->AddRef();
            break;
        case VT_I4 | VT_BYREF:
            value.vt = VT_I4 | VT_BYREF;
            value.plVal = &number;
            break;
        default:
            value = array;
            break;
        }
        return value;
    };

    struct Case {
        VARTYPE type;
        WORD accepts;
        std::vector<WORD> invokes;
        HRESULT expected;
    };
    const Case cases[] = {
        {VT_DISPATCH, CFakeDispatch::kPut, {kRef, kPut}, S_OK},
        {VT_DISPATCH, CFakeDispatch::kProperty, {kRef}, S_OK},
        {VT_DISPATCH, CFakeDispatch::kPutRef, {kRef}, S_OK},
        {VT_UNKNOWN, CFakeDispatch::kPut, {kRef, kPut}, S_OK},
        {VT_I4 | VT_BYREF, CFakeDispatch::kPut, {kRef, kPut}, S_OK},
        {VT_ARRAY | VT_I4, CFakeDispatch::kPut, {kRef, kPut}, S_OK},
        {VT_BSTR, CFakeDispatch::kProperty, {kPut}, S_OK},
        {VT_I4, CFakeDispatch::kProperty, {kPut}, S_OK},
        {VT_BSTR, CFakeDispatch::kPutRef, {kPut}, DISP_E_MEMBERNOTFOUND},
        {VT_DISPATCH, CFakeDispatch::kGet, {kRef, kPut}, DISP_E_MEMBERNOTFOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << ", accepts " << c.accepts);
        auto target = CFakeDispatch::Create();
        target->Prop(L"Value", CVariant(), c.accepts);
        CVariant value = make(c.type);
        EXPECT_EQ(c.expected, CDispatcher::PutProp(target.Get(), L"Value", &value));
        std::vector<WORD> invokes;
        for (const auto& call : target->Calls()) {
            invokes.push_back(call.flags);
            ASSERT_EQ(1u, call.args.size());
            EXPECT_EQ(c.type, call.args[0].vt);
            EXPECT_EQ(std::vector<DISPID>{DISPID_PROPERTYPUT}, call.named);
        }
        EXPECT_EQ(c.invokes, invokes);
        if (c.expected == S_OK) {
            EXPECT_EQ(c.type, target->Value(L"Value")->vt);
        }
    }
}

// ------------------------------------------------------------------- methods

TEST_F(DispatcherTest, CallMethodPassesTheArgumentsInAutomationOrder)
{
    auto collection = CFakeDispatch::Create();
    std::vector<std::wstring> seen;
    collection->Method(L"Add", [&](const DISPPARAMS& params, VARIANT* result) {
        EXPECT_EQ(0u, params.cNamedArgs);
        for (UINT i = 0; i < params.cArgs; ++i) {
            CVariant text;
            VariantChangeType(&text, &params.rgvarg[i], 0, VT_BSTR);
            seen.push_back(WideOf(text));
        }
        if (result)
            CVariant(42L).Detach(result);
        return S_OK;
    });
    // Add("Quillet ID", 1, False) in automation order.
    VARIANT args[3];
    Bool(false).Detach(&args[0]);
    CVariant(1L).Detach(&args[1]);
    CVariant(L"Quillet ID").Detach(&args[2]);
    CVariant result;
    EXPECT_EQ(S_OK, CDispatcher::CallMethod(collection.Get(), L"Add", result.Put(), 3, args));
    EXPECT_EQ(42, result.lVal);
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"Quillet ID"}), seen)
        << "the arguments go as the caller ordered them";
    ASSERT_EQ(1u, collection->Calls().size());
    EXPECT_EQ(DISPATCH_METHOD, collection->Calls()[0].flags);
    for (VARIANT& arg : args)
        VariantClear(&arg);

    // A caller that wants no value may pass none.
    EXPECT_EQ(S_OK, CDispatcher::CallMethod(collection.Get(), L"Add", nullptr, 0, nullptr));
}

TEST_F(DispatcherTest, CallMethodTriesAPropertyReadOnlyWhenTheMemberIsNoMethod)
{
    // Item(1) is a parametrised property: a plain method call is refused
    // with DISP_E_MEMBERNOTFOUND.
    auto attachments = CFakeDispatch::Create();
    auto first = CFakeDispatch::Create();
    attachments->Method(
        L"Item",
        [&](const DISPPARAMS& params, VARIANT* result) {
            EXPECT_EQ(1u, params.cArgs);
            CVariant(static_cast<IDispatch*>(first.Get())).Detach(result);
            return S_OK;
        },
        CFakeDispatch::kGet);
    CVariant index(1L);
    CVariant item;
    EXPECT_EQ(S_OK, CDispatcher::CallMethod(attachments.Get(), L"Item", item.Put(), 1, &index));
    EXPECT_EQ(first.Get(), item.pdispVal);
    ASSERT_EQ(2u, attachments->Calls().size());
    EXPECT_EQ(DISPATCH_METHOD, attachments->Calls()[0].flags);
    EXPECT_EQ(DISPATCH_METHOD | DISPATCH_PROPERTYGET, attachments->Calls()[1].flags);
    EXPECT_EQ(1, attachments->Calls()[1].args.at(0).lVal);

    // A method that ran and failed may have done part of its work: it is
    // never run again, whatever else the member would accept.
    struct Case {
        const char* what;
        HRESULT failure;
    } cases[] = {
        {"a plain failure", E_FAIL},
        {"an Outlook exception", DISP_E_EXCEPTION},
        {"a refused argument", DISP_E_TYPEMISMATCH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto mail = CFakeDispatch::Create();
        int calls = 0;
        mail->Method(
            L"Send",
            [&](const DISPPARAMS&, VARIANT*) {
                ++calls;
                return c.failure;
            },
            CFakeDispatch::kMethod | CFakeDispatch::kGet);
        CVariant ignored;
        EXPECT_EQ(c.failure,
                  CDispatcher::CallMethod(mail.Get(), L"Send", ignored.Put(), 0, nullptr));
        EXPECT_EQ(1, calls) << "Send ran once";
        EXPECT_EQ(1u, mail->Calls().size());
    }

    // A member that is neither method nor property read: the read's answer.
    auto locked = CFakeDispatch::Create();
    locked->Method(
        L"Locked", [](const DISPPARAMS&, VARIANT*) { return S_OK; }, CFakeDispatch::kPut);
    CVariant ignored;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              CDispatcher::CallMethod(locked.Get(), L"Locked", ignored.Put(), 0, nullptr));
    EXPECT_EQ(2u, locked->Calls().size());
}

// ----------------------------------------------------------- user properties

TEST_F(DispatcherTest, FindUserPropertyFindsACustomPropertyAndAddsNone)
{
    for (BOOL create : {FALSE, TRUE}) {
        SCOPED_TRACE(create);
        FakeMailItem mail;
        CFakeDispatch& existing = mail.store->AddProperty(L"Quillet ID", 1);
        CVariant property;
        EXPECT_EQ(S_OK, CDispatcher::FindUserProperty(mail.item.Get(), L"Quillet ID",
                                                      property.Put(), TRUE, create));
        EXPECT_EQ(static_cast<IDispatch*>(&existing), property.pdispVal);
        EXPECT_TRUE(mail.collection->CallsTo(L"Add").empty());
        EXPECT_EQ(1u, mail.store->properties.size());

        auto finds = mail.collection->CallsTo(L"Find");
        ASSERT_EQ(1u, finds.size());
        ASSERT_EQ(2u, finds[0].args.size());
        EXPECT_EQ(VT_BOOL, finds[0].args[0].vt) << "custom = true, the last parameter first";
        EXPECT_EQ(VARIANT_TRUE, finds[0].args[0].boolVal);
        EXPECT_EQ(L"Quillet ID", WideOf(finds[0].args[1]));
    }
}

TEST_F(DispatcherTest, FindUserPropertyAddsAMissingOneAsText)
{
    struct Case {
        const char* what;
        BOOL create;
        BOOL addToFolderFields;
        bool folderRefuses;
        HRESULT findFailure;
        HRESULT addFailure;
        std::vector<bool> addsWithFolderFlag;
        HRESULT expected;
        bool propertyBack;
    };
    const Case cases[] = {
        {"not asked to create", FALSE, TRUE, false, S_OK, S_OK, {}, S_OK, false},
        {"plain add", TRUE, FALSE, false, S_OK, S_OK, {false}, S_OK, true},
        {"added to the folder's fields", TRUE, TRUE, false, S_OK, S_OK, {true}, S_OK, true},
        {"folder refuses its fields", TRUE, TRUE, true, S_OK, S_OK, {true, false}, S_OK, true},
        {"no fields asked, folder refuses them",
         TRUE,
         FALSE,
         true,
         S_OK,
         S_OK,
         {false},
         S_OK,
         true},
        {"failed Find, create", TRUE, FALSE, false, E_ACCESSDENIED, S_OK, {false}, S_OK, true},
        {"failed Find, no create",
         FALSE,
         FALSE,
         false,
         E_ACCESSDENIED,
         S_OK,
         {},
         E_ACCESSDENIED,
         false},
        {"Add fails both ways",
         TRUE,
         TRUE,
         false,
         S_OK,
         E_ACCESSDENIED,
         {true, false},
         E_ACCESSDENIED,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMailItem mail;
        mail.store->AddProperty(L"Other", 1);
        mail.store->folderRefusesFields = c.folderRefuses;
        mail.collection->Fail(L"Find", c.findFailure).Fail(L"Add", c.addFailure);
        CVariant property(9L);
        EXPECT_EQ(c.expected,
                  CDispatcher::FindUserProperty(mail.item.Get(), L"eSigners", property.Put(),
                                                c.addToFolderFields, c.create));
        std::vector<bool> folderFlags;
        for (const auto& add : MethodCalls(*mail.collection.Get(), L"Add")) {
            ASSERT_EQ(3u, add.args.size());
            EXPECT_EQ(L"eSigners", WideOf(add.args[2]));
            EXPECT_EQ(VT_I4, add.args[1].vt);
            EXPECT_EQ(CDispatcher::kUserPropertyText, add.args[1].lVal) << "type text";
            EXPECT_EQ(VT_BOOL, add.args[0].vt);
            folderFlags.push_back(add.args[0].boolVal != VARIANT_FALSE);
        }
        EXPECT_EQ(c.addsWithFolderFlag, folderFlags);
        if (c.propertyBack) {
            ASSERT_EQ(VT_DISPATCH, property.vt);
            EXPECT_EQ(static_cast<IDispatch*>(mail.store->Find(L"eSigners")), property.pdispVal);
            EXPECT_EQ(2u, mail.store->properties.size());
        } else {
            EXPECT_EQ(VT_EMPTY, property.vt) << "nothing came back";
        }
    }
}

TEST_F(DispatcherTest, SetUserPropertyPutsTheTextAndSavesWhenAsked)
{
    struct Case {
        const char* what;
        bool exists;
        BOOL save;
        HRESULT putFailure;
        HRESULT saveFailure;
        size_t saves;
        HRESULT expected;
    };
    const Case cases[] = {
        {"added, saved", false, TRUE, S_OK, S_OK, 1, S_OK},
        {"existing, not saved", true, FALSE, S_OK, S_OK, 0, S_OK},
        {"put fails: no save", true, TRUE, E_ACCESSDENIED, S_OK, 0, E_ACCESSDENIED},
        {"save fails", true, TRUE, S_OK, E_FAIL, 1, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMailItem mail;
        if (c.exists)
            mail.store->AddProperty(L"Quillet URL", 1).Fail(L"Value", c.putFailure);
        mail.item->Fail(L"Save", c.saveFailure);
        EXPECT_EQ(c.expected,
                  CDispatcher::SetUserProperty(mail.item.Get(), L"Quillet URL",
                                               "https://q.example/caf\xE9", TRUE, c.save));
        CFakeDispatch* property = mail.store->Find(L"Quillet URL");
        ASSERT_TRUE(property);
        EXPECT_EQ(1u, mail.store->properties.size());
        if (c.putFailure == S_OK) {
            EXPECT_EQ(L"https://q.example/caf\u00e9", WideOf(*property->Value(L"Value")));
        }
        auto saves = MethodCalls(*mail.item.Get(), L"Save");
        EXPECT_EQ(c.saves, saves.size());
        for (const auto& save : saves)
            EXPECT_TRUE(save.args.empty());
    }
}

TEST_F(DispatcherTest, GetUserPropertyGivesTheValueAsText)
{
    auto object = CFakeDispatch::Create();
    CVariant null;
    null.vt = VT_NULL;
    struct Case {
        const char* what;
        CVariant stored;
        HRESULT expected;
        const char* text;
    };
    const Case cases[] = {
        {"text", CVariant(L"Caf\u00e9 \u00e0 Paris"), S_OK, "Caf\xE9 \xE0 Paris"},
        {"number", CVariant(42L), S_OK, "42"},
        {"null", null, DISP_E_TYPEMISMATCH, ""},
        {"object", CVariant(static_cast<IDispatch*>(object.Get())), DISP_E_TYPEMISMATCH, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMailItem mail;
        mail.store->AddProperty(L"Quillet ID", 1).Prop(L"Value", c.stored);
        CString text = "junk";
        EXPECT_EQ(c.expected, CDispatcher::GetUserProperty(mail.item.Get(), L"Quillet ID", text));
        EXPECT_STREQ(c.text, text);
    }

    FakeMailItem mail;
    CString text = "junk";
    EXPECT_EQ(S_FALSE, CDispatcher::GetUserProperty(mail.item.Get(), L"Quillet ID", text));
    EXPECT_STREQ("", text);
    EXPECT_TRUE(mail.collection->CallsTo(L"Add").empty()) << "reading adds nothing";
}

// ------------------------------------------------------------- parent window

namespace {

// A hidden top-level window of the class Outlook gives its explorers and
// inspectors.
class OutlookWindow {
public:
    explicit OutlookWindow(const std::wstring& caption)
    {
        static const ATOM windowClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"rctrl_renwnd32";
            return RegisterClassW(&wc);
        }();
        EXPECT_NE(0, windowClass);
        m_window = CreateWindowExW(0, L"rctrl_renwnd32", caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                   100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_TRUE(m_window);
    }
    OutlookWindow(const OutlookWindow&) = delete;
    OutlookWindow& operator=(const OutlookWindow&) = delete;
    ~OutlookWindow()
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    HWND Get() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// Captions of this process alone, as other programs may have windows open.
std::wstring Caption(const wchar_t* text)
{
    return std::wstring(text) + L" - Outlook " + std::to_wstring(GetCurrentProcessId());
}

} // namespace

TEST_F(DispatcherTest, GetParentWindowFindsTheWindowThePreferenceAsksFor)
{
    enum Expect { kExplorer, kInspector, kNoOwner };
    struct Case {
        const char* what;
        int preference;
        bool inspectorOpen;
        bool inspectorWindow;
        bool explorerWindow;
        Expect expect;
    };
    const Case cases[] = {
        {"explorer", 0, true, true, true, kExplorer},
        {"explorer minimised to no window", 0, false, false, false, kNoOwner},
        {"inspector", 1, true, true, true, kInspector},
        {"inspector, none open: the explorer", 1, false, false, true, kExplorer},
        {"either, inspector open", 2, true, true, true, kInspector},
        {"either, no inspector", 2, false, false, true, kExplorer},
        {"either, inspector without its window", 2, true, false, true, kExplorer},
        {"either, no window at all", 2, true, false, false, kNoOwner},
        {"unknown preference: the explorer", 3, true, true, true, kExplorer},
    };
    const std::wstring explorerCaption = Caption(L"Inbox");
    const std::wstring inspectorCaption = Caption(L"Contract - Message (HTML)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<OutlookWindow> explorerWindow;
        std::unique_ptr<OutlookWindow> inspectorWindow;
        if (c.explorerWindow)
            explorerWindow = std::make_unique<OutlookWindow>(explorerCaption);
        if (c.inspectorWindow)
            inspectorWindow = std::make_unique<OutlookWindow>(inspectorCaption);
        auto explorer = CFakeDispatch::Create();
        explorer->Prop(L"Caption", explorerCaption.c_str());
        explorer->Window(explorerWindow ? explorerWindow->Get() : nullptr);
        auto inspector = CFakeDispatch::Create();
        inspector->Prop(L"Caption", inspectorCaption.c_str());
        inspector->Window(inspectorWindow ? inspectorWindow->Get() : nullptr);
        auto application = CFakeDispatch::Create();
        application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(explorer.Get()));
        application->Prop(L"ActiveInspector",
                          static_cast<IDispatch*>(c.inspectorOpen ? inspector.Get() : nullptr));

        const HWND expected = c.expect == kExplorer    ? explorerWindow->Get()
                              : c.expect == kInspector ? inspectorWindow->Get()
                                                       : nullptr;
        const HWND found = CDispatcher::GetParentWindow(application.Get(), c.preference);
        EXPECT_EQ(expected, found);
        EXPECT_NE(GetDesktopWindow(), found) << "a dialog owned by the desktop disables it";
    }
    EXPECT_EQ(nullptr, CDispatcher::GetParentWindow(nullptr, 2));
}

// Two open mails may have one caption, and a caption need not be the
// window's text: the owner is the window the object itself names.
TEST_F(DispatcherTest, GetParentWindowIsTheInspectorsOwnWindowWhateverItsCaption)
{
    const std::wstring caption = Caption(L"Lease - Message (HTML)");
    OutlookWindow first(caption);
    OutlookWindow second(caption);
    OutlookWindow renamed(Caption(L"Lease (read-only) - Message (HTML)"));
    struct Case {
        const char* what;
        HWND window;
    };
    const Case cases[] = {
        {"the older of two mails with one caption", first.Get()},
        {"the newer of two mails with one caption", second.Get()},
        {"a window whose text is not the caption", renamed.Get()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto inspector = CFakeDispatch::Create();
        inspector->Prop(L"Caption", caption.c_str()).Window(c.window);
        auto application = CFakeDispatch::Create();
        application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(nullptr));
        application->Prop(L"ActiveInspector", static_cast<IDispatch*>(inspector.Get()));
        EXPECT_EQ(c.window, CDispatcher::GetParentWindow(application.Get(), 1));
        EXPECT_EQ(c.window, CDispatcher::GetOwnerWindow(application.Get(), inspector.Get()));
    }
}

TEST_F(DispatcherTest, GetOwnerWindowFallsBackToTheActiveExplorer)
{
    OutlookWindow explorerWindow(Caption(L"Tasks"));
    auto explorer = CFakeDispatch::Create();
    explorer->Prop(L"Caption", L"Tasks").Window(explorerWindow.Get());
    auto closed = CFakeDispatch::Create(); // an inspector whose window has gone
    closed->Prop(L"Caption", L"Lease - Message (HTML)");
    auto application = CFakeDispatch::Create();
    application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(explorer.Get()));

    EXPECT_EQ(explorerWindow.Get(), CDispatcher::GetOwnerWindow(application.Get(), closed.Get()));
    EXPECT_EQ(explorerWindow.Get(), CDispatcher::GetOwnerWindow(application.Get(), nullptr));
    application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(nullptr));
    EXPECT_EQ(nullptr, CDispatcher::GetOwnerWindow(application.Get(), closed.Get()))
        << "no Outlook window at all: no owner, not the desktop";
}

TEST_F(DispatcherTest, GetParentWindowLogsItsWay)
{
    const std::wstring explorerCaption = Caption(L"Inbox");
    OutlookWindow explorerWindow(explorerCaption);
    auto explorer = CFakeDispatch::Create();
    explorer->Prop(L"Caption", explorerCaption.c_str()).Window(explorerWindow.Get());
    auto application = CFakeDispatch::Create();
    application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(explorer.Get()));
    application->Prop(L"ActiveInspector", static_cast<IDispatch*>(nullptr));

    LogCapture log;
    EXPECT_EQ(explorerWindow.Get(), CDispatcher::GetParentWindow(application.Get(), 2));
    application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(nullptr));
    EXPECT_EQ(nullptr, CDispatcher::GetParentWindow(application.Get(), 1));
    const std::string caption = CBstr::ToNarrow(explorerCaption.c_str()).str();
    EXPECT_TRUE(
        InOrder(log.Text(), {"<block_enter>CDispatcher::GetParentWindow</block_enter>",
                             "<comment>Either window is preferred</comment>",
                             "<comment>Fetching Active Inspector</comment>",
                             "<comment>Fetching Active Explorer</comment>",
                             "<comment>Getting Explorer Caption</comment>",
                             "<comment>" + caption + "</comment>",
                             "<block_exit>CDispatcher::GetParentWindow</block_exit>",
                             "<comment>Active Inspector is preferred</comment>",
                             "<comment>Fetching Active Explorer</comment>",
                             "<comment>Invalid Window Handle - Deferring to Desktop</comment>",
                             "<block_exit>CDispatcher::GetParentWindow</block_exit>"}));
    EXPECT_EQ(std::string::npos, log.Text().find("Getting Inspector Caption"))
        << "no inspector, no caption of one";
}
