// The page's gateway list with the sample gateway plug-in (and a class of
// the category that cannot be made) registered: what it lists and in which
// order, what a click on a check box or on a name does, and what Apply
// stores; a gateway whose name fails or hangs.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <comcat.h>
#include <commctrl.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CComPtr.h"
#include "options/OptionsResource.h"
#include "shared/gateway/QuilletGateway.h"
#include "standins/gateway/SampleGatewayIds.h"
#include "tests/options/OptionsTest.h"
#include "tests/support/HResultText.h"

using namespace optionstest;
using namespace testenv;

namespace {

// A class of the gateway category whose server is not there.
constexpr CLSID kMissingGateway = {
    0x0e0d0c0b, 0x0a09, 0x0807, {0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x00, 0x77}};
constexpr char kMissingGatewayText[] = "{0E0D0C0B-0A09-0807-0605-040302010077}";

std::string GatewayKey(const char* clsid)
{
    return std::string(kSampleGatewayKey) + "\\" + clsid;
}

// The category's classes in the order the category manager lists them.
std::vector<std::string> CategoryOrder()
{
    std::vector<std::string> order;
    CComPtr<ICatInformation> categories;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICatInformation, categories.PutVoid())))
        return order;
    CATID category = CATID_QuilletGateways;
    CComPtr<IEnumCLSID> classes;
    if (FAILED(categories->EnumClassesOfCategories(1, &category, 0, nullptr, classes.Put())))
        return order;
    CLSID clsid{};
    ULONG fetched = 0;
    while (classes->Next(1, &clsid, &fetched) == S_OK && fetched == 1) {
        LPOLESTR text = nullptr;
        StringFromCLSID(clsid, &text);
        order.push_back(CBstr::ToNarrow(text).GetString());
        CoTaskMemFree(text);
    }
    return order;
}

std::string StoredGateways()
{
    const auto value = ReadValue(kProductKey, "Gateways");
    std::string text = value ? value->data : "<none>";
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

class PageGatewaysTest : public OptionsPageTest {
protected:
    void SetUp() override
    {
        OptionsPageTest::SetUp();
        ASSERT_EQ(S_OK, RegisterLibrary(ProgramFolder() + "SampleGateway.dll", true));
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
    }
    void TearDown() override
    {
        ForgetMissingGateway();
        CoFreeUnusedLibrariesEx(0, 0);
        RegisterLibrary(ProgramFolder() + "SampleGateway.dll", false);
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
        OptionsPageTest::TearDown();
    }

    static void AddMissingGateway()
    {
        const std::string key = std::string("CLSID\\") + kMissingGatewayText + "\\InprocServer32";
        HKEY created = nullptr;
        RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &created, nullptr);
        const std::string path = ProgramFolder() + "NoSuchGateway.dll";
        RegSetValueExA(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
        RegCloseKey(created);
        CComPtr<ICatRegister> categories;
        CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ICatRegister, categories.PutVoid());
        CATID category = CATID_QuilletGateways;
        ASSERT_TRUE(categories);
        ASSERT_HR(S_OK, categories->RegisterClassImplCategories(kMissingGateway, 1, &category));
    }
    static void ForgetMissingGateway()
    {
        CComPtr<ICatRegister> categories;
        CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ICatRegister, categories.PutVoid());
        CATID category = CATID_QuilletGateways;
        if (categories)
            categories->UnRegisterClassImplCategories(kMissingGateway, 1, &category);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kMissingGatewayText).c_str());
    }

    // The list's rows with their check box state, as the user sees them.
    struct Shown {
        std::vector<std::string> names;
        std::vector<int> states;
    };
    static std::function<bool(HWND)> Look(Shown& shown)
    {
        return [&shown](HWND dialog) {
            shown.names = ListRows(dialog, IDC_GATEWAYS);
            shown.states.clear();
            for (size_t row = 0; row < shown.names.size(); ++row)
                shown.states.push_back(ListRowState(dialog, IDC_GATEWAYS, static_cast<int>(row)));
            return true;
        };
    }
};

} // namespace

TEST_F(PageGatewaysTest, TheListShowsTheCategoryUpsideDownAndOnlyCheckBoxClicksToggle)
{
    const std::vector<std::string> order = CategoryOrder();
    ASSERT_EQ(2u, order.size());
    // The first is enabled, stored without its tab: the setting is searched.
    WriteText(kProductKey, "Gateways", order[0]);
    const std::string firstName =
        order[0] == kSampleGatewayAText ? "Sample Gateway A" : "Sample Gateway B";
    const std::string secondName =
        order[0] == kSampleGatewayAText ? "Sample Gateway B" : "Sample Gateway A";

    Shown before, afterText, afterBox;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at the gateways", Look(before))
            // Row 1 is the first gateway, row 0 the second.
            .ClickListRow(IDC_GATEWAYS, 1, false)
            .Do("looks again", Look(afterText))
            .ClickListRow(IDC_GATEWAYS, 0, true)
            .Do("looks once more", Look(afterBox))
            .Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    EXPECT_EQ((std::vector<std::string>{secondName, firstName}), before.names);
    EXPECT_EQ((std::vector<int>{2, 1}), before.states);
    EXPECT_EQ(before.states, afterText.states) << "a click on the name changes nothing";
    EXPECT_EQ((std::vector<int>{1, 1}), afterBox.states);
    EXPECT_EQ(1, run.Page().statusChanges) << "only the box click is a change";
    // Saved in the category's order, each CLSID ended by a tab.
    EXPECT_EQ(order[0] + "\t" + order[1] + "\t", StoredGateways());
}

TEST_F(PageGatewaysTest, TheGatewayObjectsGoWithThePage)
{
    const OptionsRun run = RunOptions([&](CScriptedUser& user) { user.Click(IDCANCEL); });
    ASSERT_TRUE(run.scriptDone) << run.report;
    for (const char* clsid : {kSampleGatewayAText, kSampleGatewayBText}) {
        const auto named = ReadValue(GatewayKey(clsid).c_str(), "Named");
        EXPECT_TRUE(named) << clsid << " was asked its name";
    }
    // Every object let go of: the gateways' library is unloaded, or could be.
    HMODULE gateway = GetModuleHandleA((ProgramFolder() + "SampleGateway.dll").c_str());
    if (gateway) {
        EXPECT_HR(S_OK, CallExport(gateway, "DllCanUnloadNow"));
    }
}

TEST_F(PageGatewaysTest, AGatewayOfTheMainApartmentIsNamedAndKept)
{
    // Registered without a ThreadingModel, gateway A lives on the thread
    // that first entered an apartment: the dialog's.
    const std::string server = std::string("CLSID\\") + kSampleGatewayAText + "\\InprocServer32";
    ASSERT_EQ(ERROR_SUCCESS,
              RegDeleteKeyValueA(HKEY_CLASSES_ROOT, server.c_str(), "ThreadingModel"));
    WriteText(kProductKey, "Gateways", std::string(kSampleGatewayAText) + "\t");
    Shown shown;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("looks at the gateways", Look(shown)).Click(IDC_GOTO_SHORTCUTS).Click(IDOK);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    std::vector<std::string> names = shown.names;
    ASSERT_EQ(2u, names.size());
    const size_t rowA = names[0] == "Sample Gateway A" ? 0 : 1;
    EXPECT_EQ("Sample Gateway A", names[rowA]) << "its name was read, not waited out";
    EXPECT_EQ(1, shown.states[rowA]);
    EXPECT_EQ(std::string(kSampleGatewayAText) + "\t", StoredGateways());
}

TEST_F(PageGatewaysTest, TheStateImagesAreDestroyedOnceWithTheList)
{
    // The test holds the list's state images twice through their COM face,
    // so however often they are destroyed they stay for it to count.
    using QueryImageList = HRESULT(WINAPI*)(HIMAGELIST, REFIID, void**);
    const auto query = reinterpret_cast<QueryImageList>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("comctl32.dll"), "HIMAGELIST_QueryInterface")));
    ASSERT_TRUE(query);
    // IID_IImageList, which no import library here carries.
    constexpr IID kImageList = {
        0x46eb5926, 0x582e, 0x4017, {0x9f, 0xdf, 0xe8, 0x99, 0x8d, 0xaa, 0x09, 0x50}};
    IUnknown* held = nullptr;
    const OptionsRun run = RunOptions([&](CScriptedUser& user) {
        user.Do("holds the list's state images",
                [&](HWND dialog) {
                    const HIMAGELIST images =
                        ListView_GetImageList(Control(dialog, IDC_GATEWAYS), LVSIL_STATE);
                    if (!images ||
                        FAILED(query(images, kImageList, reinterpret_cast<void**>(&held))))
                        return false;
                    held->AddRef();
                    return true;
                })
            .Click(IDCANCEL);
    });
    ASSERT_TRUE(run.scriptDone) << run.report;
    ASSERT_TRUE(held);
    // Gone with the page: the list's own reference, and nothing of ours.
    held->AddRef();
    const ULONG left = held->Release();
    EXPECT_EQ(2u, left) << "destroyed " << (3 - static_cast<int>(left)) << " times";
    for (ULONG ours = std::min(left, 2ul); ours > 0; --ours)
        held->Release();
}

// Last: a hung gateway keeps its object for a while after the page went.
TEST_F(PageGatewaysTest, FailingNamesAndMissingServersDoNotTakeTheListDown)
{
    struct Row {
        const char* name;
        const char* told; // what gateway A is told to do
        DWORD value;
        const char* listedA; // how A is listed, or null when it is not
    };
    for (const Row& row :
         {Row{.name = "name fails", .told = "NameFails", .value = 1, .listedA = "Unspecified"},
          Row{.name = "name hangs", .told = "NameHangsMs", .value = 8000, .listedA = "Unspecified"},
          Row{.name = "making it hangs",
          .told = "MakeHangsMs",
          .value = 8000,
          .listedA = "Unspecified"}}) {
        SCOPED_TRACE(row.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        WriteDword(GatewayKey(kSampleGatewayAText).c_str(), row.told, row.value);
        AddMissingGateway();
        // Both listed classes that cannot be made and the two samples were
        // enabled before.
        WriteText(kProductKey, "Gateways",
                  std::string(kMissingGatewayText) + "\t" + kSampleGatewayAText + "\t" +
                      kSampleGatewayBText + "\t");
        Shown shown;
        const ULONGLONG started = GetTickCount64();
        const OptionsRun run = RunOptions([&](CScriptedUser& user) {
            user.Do("looks at the gateways", Look(shown)).Click(IDOK);
        });
        const ULONGLONG took = GetTickCount64() - started;
        ForgetMissingGateway();
        ASSERT_TRUE(run.scriptDone) << run.report;
        std::vector<std::string> names = shown.names;
        std::sort(names.begin(), names.end());
        EXPECT_EQ((std::vector<std::string>{"Sample Gateway B", row.listedA}), names);
        EXPECT_EQ((std::vector<int>{1, 1}), shown.states) << "each is listed as enabled";
        EXPECT_LT(took, 8000u) << "the page did not wait for the hung gateway";
        // The class that cannot be made is dropped from the setting.
        const std::string stored = StoredGateways();
        EXPECT_EQ(std::string::npos, stored.find(kMissingGatewayText)) << stored;
        EXPECT_NE(std::string::npos, stored.find(kSampleGatewayBText)) << stored;
        EXPECT_NE(std::string::npos, stored.find(kSampleGatewayAText)) << stored;
    }
}
