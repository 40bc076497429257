#include <cstdlib>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/requests/BodyPart.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/outlook/Launcher.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

CVariant Bool(bool flag)
{
    CVariant value;
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

std::wstring WideOf(const VARIANT& value)
{
    if (value.vt != VT_BSTR)
        return L"<not a string>";
    return std::wstring(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal));
}

std::string NarrowOf(const VARIANT& value)
{
    return CBstr::ToNarrow(value.bstrVal, SysStringLen(value.bstrVal)).str();
}

// The log's XML file turned back into the texts that were logged.
std::string Unescape(const std::string& xml)
{
    std::string text;
    for (size_t i = 0; i < xml.size(); ++i) {
        if (xml[i] == '&') {
            const size_t end = xml.find(';', i);
            const std::string entity = xml.substr(i + 1, end - i - 1);
            if (entity.size() > 1 && entity[0] == '#')
                text += static_cast<char>(std::strtol(entity.c_str() + 1, nullptr, 10));
            else
                text += entity == "lt"     ? '<'
                        : entity == "gt"   ? '>'
                        : entity == "quot" ? '"'
                        : entity == "apos" ? '\''
                                           : '&';
            i = end;
        } else {
            text += xml[i];
        }
    }
    return text;
}

// Switches the diagnostic log on and makes it the process's for its life.
class LogCapture {
public:
    LogCapture()
    {
        WriteDword(kAdvancedKey, "Diagnose", 1);
        WriteDword(kAdvancedKey, "Flags", CDebugLog::kXml | CDebugLog::kFile);
        m_log = std::make_unique<CDebugLog>();
        CDebugLog::SetProcess(m_log.get());
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() { CDebugLog::SetProcess(nullptr); }

    std::string Text() const { return Unescape(ReadFileBytes(m_log->GetFilePath().str())); }

private:
    std::unique_ptr<CDebugLog> m_log;
};

// Where each of the texts first occurs in the log, in the order given;
// empty when one is missing or out of order.
::testing::AssertionResult InOrder(const std::string& log, const std::vector<std::string>& texts)
{
    size_t at = 0;
    for (const std::string& text : texts) {
        const size_t found = log.find(text, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure()
                   << "missing or out of order: \"" << text << "\" in\n"
                   << log;
        at = found + text.size();
    }
    return ::testing::AssertionSuccess();
}

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

TEST_F(DispatcherTest, CallMethodTriesAFailedCallAgainAsAPropertyRead)
{
    // Item(1) is a parametrised property: a plain method call is refused.
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

    // When both fail, the second answer is the one that counts.
    auto mail = CFakeDispatch::Create();
    int calls = 0;
    mail->Method(
        L"Send",
        [&](const DISPPARAMS&, VARIANT*) { return ++calls == 1 ? E_FAIL : E_ACCESSDENIED; },
        CFakeDispatch::kMethod | CFakeDispatch::kGet);
    CVariant ignored;
    EXPECT_EQ(E_ACCESSDENIED,
              CDispatcher::CallMethod(mail.Get(), L"Send", ignored.Put(), 0, nullptr));
    EXPECT_EQ(2, calls);
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
    enum Expect { kExplorer, kInspector, kDesktop };
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
        {"explorer minimised to no window", 0, false, false, false, kDesktop},
        {"inspector", 1, true, true, true, kInspector},
        {"inspector, none open", 1, false, false, true, kDesktop},
        {"either, inspector open", 2, true, true, true, kInspector},
        {"either, no inspector", 2, false, false, true, kExplorer},
        {"either, inspector without its window", 2, true, false, true, kExplorer},
        {"either, no window at all", 2, true, false, false, kDesktop},
        {"unknown preference", 3, true, true, true, kDesktop},
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
        auto inspector = CFakeDispatch::Create();
        inspector->Prop(L"Caption", inspectorCaption.c_str());
        auto application = CFakeDispatch::Create();
        application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(explorer.Get()));
        application->Prop(L"ActiveInspector",
                          static_cast<IDispatch*>(c.inspectorOpen ? inspector.Get() : nullptr));

        const HWND expected = c.expect == kExplorer    ? explorerWindow->Get()
                              : c.expect == kInspector ? inspectorWindow->Get()
                                                       : GetDesktopWindow();
        EXPECT_EQ(expected, CDispatcher::GetParentWindow(application.Get(), c.preference));
    }
    EXPECT_EQ(GetDesktopWindow(), CDispatcher::GetParentWindow(nullptr, 2));
}

TEST_F(DispatcherTest, GetParentWindowLogsItsWay)
{
    const std::wstring explorerCaption = Caption(L"Inbox");
    OutlookWindow explorerWindow(explorerCaption);
    auto explorer = CFakeDispatch::Create();
    explorer->Prop(L"Caption", explorerCaption.c_str());
    auto application = CFakeDispatch::Create();
    application->Prop(L"ActiveExplorer", static_cast<IDispatch*>(explorer.Get()));
    application->Prop(L"ActiveInspector", static_cast<IDispatch*>(nullptr));

    LogCapture log;
    EXPECT_EQ(explorerWindow.Get(), CDispatcher::GetParentWindow(application.Get(), 2));
    EXPECT_EQ(GetDesktopWindow(), CDispatcher::GetParentWindow(application.Get(), 1));
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
                             "<comment>Invalid Window Handle - Deferring to Desktop</comment>",
                             "<block_exit>CDispatcher::GetParentWindow</block_exit>"}));
    EXPECT_EQ(std::string::npos, log.Text().find("Getting Inspector Caption"))
        << "no inspector, no caption of one";
}

// ------------------------------------------------------------------ launcher

namespace {

class LauncherTest : public CleanProfileTest {
protected:
    void TearDown() override
    {
        SetEnvironmentVariableA("QUILLET_PROBE_OUT", nullptr);
        // A program that was just started may still hold its file.
        for (const std::string& copy : m_copies) {
            for (int wait = 0; wait < 100 && FileExists(copy) && !DeleteFileA(copy.c_str()); ++wait)
                Sleep(50);
        }
        CleanProfileTest::TearDown();
    }

    static std::string Probe()
    {
        const std::string self = SelfPath();
        return self.substr(0, self.rfind('\\') + 1) + "launchprobe.exe";
    }

    void CopyProbe(const std::string& to)
    {
        ASSERT_TRUE(CopyFileA(Probe().c_str(), to.c_str(), FALSE)) << to;
        m_copies.push_back(to);
    }

    // What the probe reported (program, command line, folder), or nothing
    // when it did not report in time.
    static std::vector<std::string> WaitForReport(const std::string& path)
    {
        for (int wait = 0; wait < 400 && !FileExists(path); ++wait)
            Sleep(50);
        std::vector<std::string> lines;
        const std::string report = ReadFileBytes(path);
        for (size_t at = 0, end; (end = report.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(report.substr(at, end - at));
        return lines;
    }

private:
    std::vector<std::string> m_copies;
};

std::string CurrentFolder()
{
    char folder[MAX_PATH * 2];
    DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    return std::string(folder, length);
}

} // namespace

TEST_F(LauncherTest, ModuleCommandLineQuotesTheProgramAndKeepsTheArgument)
{
    const std::string folder255 = "C:\\" + std::string(253, 'f') + "\\";
    const std::string folder256 = "C:\\" + std::string(254, 'f') + "\\";
    struct Case {
        std::string modulePath;
        const char* program;
        const char* argument;
        const char* expected; // null: refused
    };
    const Case cases[] = {
        {"C:\\Apps\\Q\\QuillOff.dll", "inkProxy.exe", "C:\\Temp\\b.xml",
         R"("C:\Apps\Q\inkProxy.exe" C:\Temp\b.xml)"},
        {"C:\\Apps\\Q\\QuillOff.dll", "inkProxy.exe", "", R"("C:\Apps\Q\inkProxy.exe" )"},
        {"C:\\Apps\\Q\\QuillOff.dll", "inkProxy.exe", nullptr, R"("C:\Apps\Q\inkProxy.exe" )"},
        {"C:\\Program Files\\Q\\QuillOff.dll", "inkProxy.exe", "C:\\My Temp\\b c.xml",
         R"("C:\Program Files\Q\inkProxy.exe" C:\My Temp\b c.xml)"},
        {"C:/Apps/Q/QuillOff.dll", "inkEdit.exe", "a", R"("C:/Apps/Q/inkEdit.exe" a)"},
        {"\\\\server\\share\\QuillOff.dll", "inkProxy.exe", "a",
         R"("\\server\share\inkProxy.exe" a)"},
        {"QuillOff.dll", "inkProxy.exe", "a", R"("inkProxy.exe" a)"},
        {"C:QuillOff.dll", "inkProxy.exe", "a", R"("C:inkProxy.exe" a)"},
        {folder255 + "QuillOff.dll", "inkProxy.exe", "a", nullptr},
        {folder256 + "QuillOff.dll", "inkProxy.exe", "a", nullptr},
        {"C:\\Apps\\Q\"\\QuillOff.dll", "inkProxy.exe", "a", nullptr},
        {"C:\\Apps\\Q\\QuillOff.dll", "", "a", nullptr},
    };
    // The longest folder is still taken whole.
    const std::string longest = "\"" + folder255 + "inkProxy.exe\" a";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modulePath);
        const bool isLongest = c.modulePath.rfind(folder255, 0) == 0;
        const char* expected = isLongest ? longest.c_str() : c.expected;
        CString line = "untouched";
        EXPECT_EQ(expected != nullptr, CLauncher::MakeModuleCommandLine(
                                           c.modulePath.c_str(), c.program, c.argument, line));
        EXPECT_STREQ(expected ? expected : "untouched", line);
    }
    CString line;
    EXPECT_FALSE(CLauncher::MakeModuleCommandLine(nullptr, "inkProxy.exe", "a", line));
}

TEST_F(LauncherTest, StartsTheProgramBesideTheModuleWithTheExactArgument)
{
    // A folder with a blank, and a program named like the folder's first
    // word beside it, that an unquoted path would start instead.
    const std::string folder = TempDir() + "Apps Q\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    CopyProbe(folder + "inkProxy.exe");
    CopyProbe(TempDir() + "Apps.exe");
    const std::string report = TempDir() + "report.txt";
    SetEnvironmentVariableA("QUILLET_PROBE_OUT", report.c_str());

    for (const char* argument : {"C:\\Temp\\b.xml", "", "C:\\My Temp\\b c.xml"}) {
        SCOPED_TRACE(argument);
        DeleteFileA(report.c_str());
        CLauncher launcher;
        ASSERT_TRUE(launcher.LaunchModuleProgram((folder + "QuillOff.dll").c_str(), "inkProxy.exe",
                                                 argument));
        const auto lines = WaitForReport(report);
        ASSERT_EQ(3u, lines.size()) << "the program did not report";
        EXPECT_EQ(0, lstrcmpiA((folder + "inkProxy.exe").c_str(), lines[0].c_str())) << lines[0];
        EXPECT_EQ("\"" + folder + "inkProxy.exe\" " + argument, lines[1]);
        EXPECT_EQ(0, lstrcmpiA(CurrentFolder().c_str(), lines[2].c_str())) << lines[2];
    }
}

TEST_F(LauncherTest, FailuresAreLoggedAndGiveZero)
{
    LogCapture log;
    CLauncher launcher;
    EXPECT_FALSE(
        launcher.LaunchModuleProgram((TempDir() + "QuillOff.dll").c_str(), "missing.exe", "x"));
    const std::string failed = log.Text();
    EXPECT_TRUE(InOrder(failed, {"<error><details>CBrevikApp::LaunchProcess: Create Process "
                                 "Failed</details></error>",
                                 "<error><details>CBrevikApp::LaunchProcess failed with error "}));
    EXPECT_TRUE(std::regex_search(failed, std::regex("LaunchProcess failed with error [1-9]")))
        << failed;

    // A folder beyond the limit is refused before anything is started.
    const std::string tooLong = "C:\\" + std::string(254, 'f') + "\\QuillOff.dll";
    EXPECT_FALSE(launcher.LaunchModuleProgram(tooLong.c_str(), "inkProxy.exe", "x"));
    const std::string refused = log.Text().substr(failed.size());
    EXPECT_NE(std::string::npos, refused.find("CBrevikApp::LaunchModuleProgram")) << refused;
    EXPECT_EQ(std::string::npos, refused.find("Create Process Failed")) << refused;
}

// ---------------------------------------------------------------- body parts

namespace {

class BodyPartTest : public CleanProfileTest {
protected:
    static CComPtr<CFakeDispatch> MailItem(const wchar_t* body, const wchar_t* html)
    {
        auto item = CFakeDispatch::Create();
        item->Prop(L"Body", body).Prop(L"HTMLBody", html);
        return item;
    }

    // An attachment whose SaveAsFile writes contents to the path it is given.
    static CComPtr<CFakeDispatch> Attachment(const std::string& contents)
    {
        auto attachment = CFakeDispatch::Create();
        attachment->Method(L"SaveAsFile", [contents](const DISPPARAMS& params, VARIANT*) {
            if (params.cArgs != 1 || params.rgvarg[0].vt != VT_BSTR)
                return DISP_E_BADPARAMCOUNT;
            WriteFileBytes(NarrowOf(params.rgvarg[0]), contents);
            return S_OK;
        });
        return attachment;
    }

    static std::string NameOf(const CString& path)
    {
        return path.Mid(path.ReverseFind('\\') + 1).str();
    }
};

} // namespace

TEST_F(BodyPartTest, ExtensionIsTheTextAfterTheLastDot)
{
    struct Case {
        const char* fileName;
        const char* extension;
    };
    const Case cases[] = {
        {"Contract.pdf", "pdf"},
        {"offer.v2.docx", "docx"},
        {"README", "pdf"},
        {"", "pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        CBodyPart part(nullptr, 3, c.fileName, "Attachment", "Reference");
        EXPECT_STREQ(c.extension, part.m_extension);
        EXPECT_STREQ(c.fileName, part.m_fileName);
        EXPECT_STREQ("Attachment", part.m_kind);
        EXPECT_STREQ("Reference", part.m_documentType);
        EXPECT_EQ(3, part.m_index);
        EXPECT_TRUE(part.m_tempPath.IsEmpty());
        EXPECT_EQ(0, part.m_bodyFormat);
        EXPECT_TRUE(part.m_subParts.IsEmpty());
    }
}

TEST_F(BodyPartTest, BodyIsSavedAsTextOrAsItsHtmlSource)
{
    struct Case {
        const char* what;
        LONG bodyFormat;
        BOOL useHtml;
        const wchar_t* body;
        const char* suffix;
        std::string contents;
        const char* extension;
    };
    const Case cases[] = {
        {"HTML mail, HTML wanted", 2, TRUE, L"Caf\u00e9", ".htm", "<html><b>Caf\xE9</b></html>",
         "htm"},
        {"HTML mail, text wanted", 2, FALSE, L"Caf\u00e9", ".tmp", "Caf\xE9", "pdf"},
        {"plain mail, HTML wanted", 1, TRUE, L"Caf\u00e9", ".tmp", "Caf\xE9", "pdf"},
        {"empty plain body", 1, FALSE, L"", ".tmp", "message unspecified", "pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto item = MailItem(c.body, L"<html><b>Caf\u00e9</b></html>");
        CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
        part.m_bodyFormat = c.bodyFormat;
        ASSERT_EQ(1, part.SaveToTempFile(TRUE, c.useHtml));
        const std::string name = NameOf(part.m_tempPath);
        EXPECT_EQ(0, lstrcmpiA(c.suffix, name.substr(name.size() - 4).c_str())) << name;
        EXPECT_EQ(0,
                  lstrcmpiA(TempDir().c_str(), part.m_tempPath.Left(part.m_tempPath.GetLength() -
                                                                    static_cast<int>(name.size()))))
            << part.m_tempPath;
        EXPECT_EQ(c.contents, ReadFileBytes(part.m_tempPath.str()));
        EXPECT_EQ(std::vector<std::string>{name}, ListFiles(TempDir()))
            << "the file the path names is the only one";
        EXPECT_STREQ(c.extension, part.m_extension);
    }
}

TEST_F(BodyPartTest, HtmlBodyNeverWritesOverAStaleFile)
{
    // Temporary names follow the clock: the low 16 bits of the tick count in
    // hex after the prefix's first three letters. So the names the part will
    // be handed a moment from now can be taken ahead of it: each of them
    // gets a stale ".htm" twin, longer than the body.
    char probe[MAX_PATH];
    ASSERT_TRUE(GetTempFileNameA(TempDir().c_str(), "Quill", 0, probe));
    DeleteFileA(probe);
    const DWORD probed = std::strtoul(NameOf(CString(probe)).c_str() + 3, nullptr, 16);
    // The system steps past a name that is taken, so the probe may stand a
    // little ahead of the clock as well as behind it.
    const int drift = static_cast<short>((GetTickCount() - probed) & 0xFFFF);
    ASSERT_LT(std::abs(drift), 1000) << "temporary names no longer follow the clock: " << probe;

    constexpr DWORD kWindow = 40; // fewer than the part's tries at a name
    const std::string stale(64, 'S');
    std::vector<std::string> twins;
    DWORD first = 0;
    bool ahead = false;
    for (DWORD lead : {200u, 800u, 3000u}) {
        for (const std::string& twin : twins)
            DeleteFileA(twin.c_str());
        twins.clear();
        // Away from where the numbers wrap or lose a digit.
        while ((first = (GetTickCount() & 0xFFFF) + lead) < 0x1000 || first + kWindow > 0xFFFF)
            Sleep(100);
        for (DWORD number = first; number < first + kWindow; ++number) {
            char name[32];
            wsprintfA(name, "Qui%lx.htm", number);
            twins.push_back(TempDir() + name);
            WriteFileBytes(twins.back(), stale);
        }
        if ((ahead = (GetTickCount() & 0xFFFF) < first))
            break;
    }
    ASSERT_TRUE(ahead) << "could not take the names ahead of the clock";
    while ((GetTickCount() & 0xFFFF) < first + 2)
        Sleep(1);

    auto item = MailItem(L"plain", L"<p>fresh</p>");
    CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
    part.m_bodyFormat = CBodyPart::kBodyFormatHtml;
    ASSERT_EQ(1, part.SaveToTempFile(TRUE, TRUE));
    EXPECT_EQ("<p>fresh</p>", ReadFileBytes(part.m_tempPath.str()));
    const std::string name = NameOf(part.m_tempPath);
    EXPECT_GE(std::strtoul(name.c_str() + 3, nullptr, 16), first + kWindow)
        << name << ": every name of the window was a clash, so the part went past it";
    for (const std::string& twin : twins)
        EXPECT_EQ(stale, ReadFileBytes(twin)) << twin;
    for (const std::string& file : ListFiles(TempDir()))
        EXPECT_EQ(std::string::npos, file.find(".tmp")) << "reservations are given back: " << file;
}

TEST_F(BodyPartTest, AttachmentIsSavedThroughItsSaveAsFile)
{
    auto attachment = Attachment("%PDF-1.4 contract");
    CBodyPart part(attachment.Get(), 2, "Contract.pdf", "Attachment", "");
    ASSERT_EQ(1, part.SaveToTempFile(FALSE, TRUE));
    const std::string name = NameOf(part.m_tempPath);
    EXPECT_EQ(0, lstrcmpiA(".tmp", name.substr(name.size() - 4).c_str())) << name;
    EXPECT_EQ("%PDF-1.4 contract", ReadFileBytes(part.m_tempPath.str()));
    EXPECT_STREQ("pdf", part.m_extension);
    auto saves = attachment->CallsTo(L"SaveAsFile");
    ASSERT_EQ(1u, saves.size());
    EXPECT_EQ(0, lstrcmpiA(part.m_tempPath, NarrowOf(saves[0].args.at(0)).c_str()));

    // Saved again, the part keeps one file.
    ASSERT_EQ(1, part.SaveToTempFile(FALSE, TRUE));
    EXPECT_EQ(std::vector<std::string>{NameOf(part.m_tempPath)}, ListFiles(TempDir()));
}

TEST_F(BodyPartTest, FailedSaveLeavesNoFileAndNoPath)
{
    auto attachment = Attachment("x");
    attachment->Fail(L"SaveAsFile", E_ACCESSDENIED);
    auto item = MailItem(L"text", L"<p>html</p>");
    item->Fail(L"Body", E_FAIL).Fail(L"HTMLBody", E_FAIL);
    struct Case {
        const char* what;
        IDispatch* object;
        BOOL body;
        LONG bodyFormat;
    };
    const Case cases[] = {
        {"attachment", attachment.Get(), FALSE, 0},
        {"plain body", item.Get(), TRUE, 1},
        {"HTML body", item.Get(), TRUE, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CBodyPart part(c.object, 0, "a.pdf", "Attachment", "");
        part.m_bodyFormat = c.bodyFormat;
        EXPECT_EQ(0, part.SaveToTempFile(c.body, TRUE));
        EXPECT_TRUE(part.m_tempPath.IsEmpty());
        EXPECT_TRUE(ListFiles(TempDir()).empty());
    }
}

TEST_F(BodyPartTest, SaveAsFileTakesPathsUpToTheLimit)
{
    auto attachment = Attachment("");
    attachment->Method(L"SaveAsFile", [](const DISPPARAMS&, VARIANT*) { return S_OK; });
    struct Case {
        size_t length;
        HRESULT expected;
    };
    const Case cases[] = {
        {CBodyPart::kMaxSavePath, S_OK},
        {CBodyPart::kMaxSavePath + 1, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)},
        {4000, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        attachment->ClearCalls();
        // An accented name comes through as its UTF-16 character.
        const std::string path = "C:\\caf\xE9\\" + std::string(c.length - 8, 'a');
        CBodyPart part(attachment.Get(), 1, "a.pdf", "Attachment", "");
        EXPECT_EQ(c.expected, part.SaveAsFile(path.c_str()));
        auto saves = attachment->CallsTo(L"SaveAsFile");
        if (c.expected != S_OK) {
            EXPECT_TRUE(saves.empty());
            continue;
        }
        ASSERT_EQ(1u, saves.size());
        EXPECT_EQ(L"C:\\caf\u00e9\\" + std::wstring(c.length - 8, L'a'),
                  WideOf(saves[0].args.at(0)));
    }
    CBodyPart detached(nullptr, 1, "a.pdf", "Attachment", "");
    EXPECT_EQ(E_POINTER, detached.SaveAsFile("C:\\a.pdf"));
}

TEST_F(BodyPartTest, DestructorLetsGoOfTheObjectTheFileAndTheSubParts)
{
    auto item = MailItem(L"text", L"");
    auto attachment = Attachment("data");
    auto* part = new CBodyPart(item.Get(), 0, "Message Body", "Message Body", "");
    EXPECT_EQ(2u, item->RefCount());
    ASSERT_EQ(1, part->SaveToTempFile(TRUE, FALSE));
    auto* sub = new CBodyPart(attachment.Get(), 1, "a.pdf", "Attachment", "");
    ASSERT_EQ(1, sub->SaveToTempFile(FALSE, FALSE));
    part->m_subParts.AddTail(sub);
    EXPECT_EQ(2u, ListFiles(TempDir()).size());

    delete part;
    EXPECT_EQ(1u, item->RefCount());
    EXPECT_EQ(1u, attachment->RefCount());
    EXPECT_TRUE(ListFiles(TempDir()).empty());
}

TEST_F(BodyPartTest, WriteBodyToFileReplacesWhatTheFileHeld)
{
    struct Case {
        const char* what;
        const wchar_t* body;
        const char* prefix;
        bool wantLength;
        std::string contents;
        DWORD length;
    };
    const Case cases[] = {
        {"prefix and text", L"Sign here", "Note: ", false, "Note: Sign here", 0},
        {"length asked", L"Sign here", nullptr, true, "Sign here", 9},
        {"empty, length asked: nothing written", L"", "Note: ", true, "", 0},
        {"empty: the default text", L"", nullptr, false, "message unspecified", 0},
        {"empty with prefix", L"", "P:", false, "P:message unspecified", 0},
    };
    const std::string path = TempDir() + "body.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path, std::string(200, 'S'));
        auto item = MailItem(c.body, L"<p>html</p>");
        CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
        DWORD length = 1234;
        EXPECT_EQ(S_OK, part.WriteBodyToFile(path.c_str(), c.prefix,
                                             c.wantLength ? &length : nullptr, FALSE));
        EXPECT_EQ(c.contents, ReadFileBytes(path));
        EXPECT_EQ(c.wantLength ? c.length : 1234u, length);
    }

    auto item = MailItem(L"text", L"");
    CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
    EXPECT_EQ(E_OUTOFMEMORY, part.WriteBodyToFile((TempDir() + "missing\\body.txt").c_str(),
                                                  nullptr, nullptr, FALSE));
    item->Fail(L"Body", DISP_E_EXCEPTION);
    EXPECT_EQ(DISP_E_EXCEPTION, part.WriteBodyToFile(path.c_str(), nullptr, nullptr, FALSE));
}

TEST_F(BodyPartTest, GetBodyKeepsSevenBitsOrGivesTheDefault)
{
    struct Case {
        const wchar_t* body;
        BOOL sevenBitOnly;
        BOOL defaultWhenEmpty;
        bool readFails;
        const char* expected;
    };
    const Case cases[] = {
        {L"Caf\u00e9 cr\u00e8me", TRUE, FALSE, false, "Caf crme"},
        {L"Caf\u00e9 cr\u00e8me", FALSE, FALSE, false, "Caf\xE9 cr\xE8me"},
        {L"Caf\u00e9", TRUE, TRUE, false, "Caf"},
        {L"", FALSE, TRUE, false, "message unspecified"},
        {L"", TRUE, FALSE, false, ""},
        {L"text", FALSE, FALSE, true, ""},
        {L"text", FALSE, TRUE, true, "message unspecified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.expected << " " << c.sevenBitOnly << c.defaultWhenEmpty);
        auto item = MailItem(c.body, L"<p>html</p>");
        if (c.readFails)
            item->Fail(L"Body", E_FAIL);
        CBodyPart part(item.Get(), 0, "Message Body", "Message Body", "");
        part.m_bodyFormat = CBodyPart::kBodyFormatHtml; // the plain body all the same
        CString text = "junk";
        EXPECT_EQ(S_OK, part.GetBody(text, c.sevenBitOnly, c.defaultWhenEmpty));
        EXPECT_STREQ(c.expected, text);
    }
}
