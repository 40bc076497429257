#include <algorithm>
#include <string>

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "classlib/app/CWinApp.h"
#include "classlib/win32/CRegKey.h"
#include "classlib/win32/Handles.h"
#include "shared/config/Config.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr const char* kClsidKey = "CLSID\\{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}";

// The defaults file "inkDefaults.xml" is looked for beside the module the
// settings code is linked into: this program, which runs from a folder of
// its own so no other test program sees the files it writes there.
std::string DefaultsPath()
{
    return ProgramFolder() + "inkDefaults.xml";
}

class ConfigTest : public CleanProfileTest {
protected:
    void TearDown() override
    {
        DeleteFileA(DefaultsPath().c_str());
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kClsidKey);
        CleanProfileTest::TearDown();
    }

    static void RegisterAddinAt(const std::string& path)
    {
        CRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CLASSES_ROOT,
                                            (std::string(kClsidKey) + "\\InprocServer32").c_str(),
                                            nullptr, KEY_ALL_ACCESS));
        ASSERT_EQ(ERROR_SUCCESS,
                  key.SetValue(nullptr, REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1)));
    }

    void WriteDefaults(const std::string& elements)
    {
        WriteFileBytes(DefaultsPath(),
                       "<?xml version=\"1.0\"?>\n<inkDefaults>" + elements + "</inkDefaults>\n");
    }
};

// A registry text as Wine hands it back: the stored bytes, perhaps with one
// zero more than was stored.
std::string StoredText(const RegValue& value)
{
    std::string text = value.data;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

} // namespace

TEST_F(ConfigTest, FreshProfileWritesBackOnlyHostServicePathAndLogXml)
{
    CConfig config;
    EXPECT_EQ(std::vector<std::string>{"Host"}, ValueNames(kProductKey))
        << "constructing the settings writes the default host and nothing else";

    DWORD flags[] = {config.GetMakeReceipt(),  config.GetGotoShortcuts(),
                     config.GetShowWizIntro(), config.GetTemplatesOnly(),
                     config.GetSingleClick(),  config.GetShowAttachWarning(),
                     config.GetSyncSize()};
    EXPECT_EQ((std::vector<DWORD>{1, 1, 1, 0, 0, 1, 1}),
              std::vector<DWORD>(std::begin(flags), std::end(flags)));
    CString text("junk");
    EXPECT_EQ(E_FAIL, config.GetFileTypes(text));
    EXPECT_STREQ("*", text) << "a missing FileTypes keeps its preset";
    EXPECT_EQ(E_FAIL, config.GetGateways(text));
    EXPECT_STREQ("", text);
    EXPECT_EQ(E_FAIL, config.GetIdentity(text));
    EXPECT_EQ(E_FAIL, config.GetMailboxName(text));
    CCmdBarState state;
    EXPECT_EQ(E_FAIL, config.GetCmdBarState(state));
    EXPECT_EQ(443, config.GetPort());

    CString url;
    ASSERT_EQ(S_OK, config.GetServiceUrl(url, nullptr));
    EXPECT_EQ(0u, config.GetLogXML());

    EXPECT_EQ((std::vector<std::string>{"Host", "ServicePortPath"}), ValueNames(kProductKey));
    EXPECT_EQ(std::vector<std::string>{"LogXML"}, ValueNames(kAdvancedKey));

    auto host = ReadValue(kProductKey, "Host");
    ASSERT_TRUE(host);
    EXPECT_EQ(DWORD(REG_SZ), host->type);
    EXPECT_EQ(kBuiltInServiceHost, StoredText(*host));
    auto path = ReadValue(kProductKey, "ServicePortPath");
    ASSERT_TRUE(path);
    EXPECT_EQ("services/gateway.asmx", StoredText(*path));
    auto logXml = ReadValue(kAdvancedKey, "LogXML");
    ASSERT_TRUE(logXml);
    EXPECT_EQ(DWORD(REG_DWORD), logXml->type);
    EXPECT_EQ(std::string(4, '\0'), logXml->data);
}

TEST_F(ConfigTest, TextsAreStoredWithoutTheirZero)
{
    CConfig config;
    config.SetIdentity("jane@example.com");
    // Wine reports one byte more for a text stored without its zero, so
    // the raw length is asked of the key itself.
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kProductKey, KEY_READ));
    DWORD size = 0;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, key.QueryValue("Identity", &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_TRUE(size == 16 || size == 17) << "size=" << size;
    CString identity;
    EXPECT_EQ(S_OK, config.GetIdentity(identity));
    EXPECT_STREQ("jane@example.com", identity);
}

struct LookupCase {
    const char* name;
    const char* setting;
    const char* registryText; // null: none; stored as REG_SZ
    long registryDword;       // -1: none
    const char* defaultsText; // null: no element in the defaults file
    DWORD (CConfig::*getter)();
    DWORD expected;
};

class FlagLookupTest : public ConfigTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(FlagLookupTest, RegistryThenDefaultsFileThenDefault)
{
    const LookupCase& c = GetParam();
    if (c.registryDword >= 0)
        WriteDword(kProductKey, c.setting, static_cast<DWORD>(c.registryDword));
    if (c.registryText)
        WriteText(kProductKey, c.setting, c.registryText);
    if (c.defaultsText)
        WriteDefaults(std::string("<") + c.setting + ">" + c.defaultsText + "</" + c.setting + ">");
    else
        WriteDefaults("<Other>1</Other>");
    CConfig config;
    EXPECT_EQ(c.expected, (config.*c.getter)());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FlagLookupTest,
    ::testing::Values(LookupCase{"RegistryZero", "MakeReceipt", nullptr, 0, "1",
                                 &CConfig::GetMakeReceipt, 0},
                      LookupCase{"RegistrySevenReadsOne", "MakeReceipt", nullptr, 7, nullptr,
                                 &CConfig::GetMakeReceipt, 1},
                      LookupCase{"DefaultsFileOnly", "MakeReceipt", nullptr, -1, "0",
                                 &CConfig::GetMakeReceipt, 0},
                      LookupCase{"DefaultsFileLettersReadZero", "ShowWizIntro", nullptr, -1, "abc",
                                 &CConfig::GetShowWizIntro, 0},
                      LookupCase{"DefaultsFileLeadingDigits", "TemplatesOnly", nullptr, -1, "2x",
                                 &CConfig::GetTemplatesOnly, 1},
                      LookupCase{"NeitherKeepsDefaultOn", "GotoShortcuts", nullptr, -1, nullptr,
                                 &CConfig::GetGotoShortcuts, 1},
                      LookupCase{"NeitherKeepsDefaultOff", "SingleClick", nullptr, -1, nullptr,
                                 &CConfig::GetSingleClick, 0},
                      LookupCase{"DecimalTextReadsItsNumber", "SyncSize", "0123456789", -1, "0",
                                 &CConfig::GetSyncSize, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A value stored with a type the setting does not have: a number setting
// takes a DWORD (also as four binary bytes) or a decimal text; a text
// setting takes a text; anything else counts as missing, so the defaults
// file and then the default decide.
TEST_F(ConfigTest, ValuesOfAnotherTypeFollowOneRule)
{
    auto dword = [](DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); };
    using Read = std::string (*)(CConfig&);
    const Read makeReceipt = [](CConfig& c) { return std::to_string(c.GetMakeReceipt()); };
    const Read templatesOnly = [](CConfig& c) { return std::to_string(c.GetTemplatesOnly()); };
    const Read port = [](CConfig& c) { return std::to_string(c.GetPort()); };
    const Read fileTypes = [](CConfig& c) {
        CString types;
        return SUCCEEDED(c.GetFileTypes(types)) ? types.str() : std::string("<failed>");
    };
    struct Case {
        const char* name;
        const char* setting;
        DWORD type;
        std::string data;
        const char* defaults; // the defaults file's text for the setting, or null
        Read read;
        std::string expected;
    };
    const Case cases[] = {
        {.name = "an administrator's text zero stays off",
         .setting = "MakeReceipt",
         .type = REG_SZ,
         .data = "0",
         .defaults = nullptr,
         .read = makeReceipt,
         .expected = "0"},
        {.name = "text zero with its terminating zero",
         .setting = "MakeReceipt",
         .type = REG_SZ,
         .data = std::string("0\0", 2),
         .defaults = nullptr,
         .read = makeReceipt,
         .expected = "0"},
        {.name = "expandable text one",
         .setting = "TemplatesOnly",
         .type = REG_EXPAND_SZ,
         .data = "1",
         .defaults = nullptr,
         .read = templatesOnly,
         .expected = "1"},
        {.name = "text zero turns the secure port off",
         .setting = "SSL",
         .type = REG_SZ,
         .data = "0",
         .defaults = nullptr,
         .read = port,
         .expected = "80"},
        {.name = "a text that is no number is missing",
         .setting = "TemplatesOnly",
         .type = REG_SZ,
         .data = "yes",
         .defaults = nullptr,
         .read = templatesOnly,
         .expected = "0"},
        {.name = "a number with a blank is missing, the defaults file decides",
         .setting = "MakeReceipt",
         .type = REG_SZ,
         .data = " 1",
         .defaults = "0",
         .read = makeReceipt,
         .expected = "0"},
        {.name = "a number beyond a DWORD is missing",
         .setting = "TemplatesOnly",
         .type = REG_SZ,
         .data = "4294967296",
         .defaults = nullptr,
         .read = templatesOnly,
         .expected = "0"},
        {.name = "a DWORD's four bytes stored as binary are that number",
         .setting = "MakeReceipt",
         .type = REG_BINARY,
         .data = dword(0),
         .defaults = "1",
         .read = makeReceipt,
         .expected = "0"},
        {.name = "other binary is missing",
         .setting = "TemplatesOnly",
         .type = REG_BINARY,
         .data = std::string("\1", 1),
         .defaults = nullptr,
         .read = templatesOnly,
         .expected = "0"},
        {.name = "a DWORD of another size is missing",
         .setting = "TemplatesOnly",
         .type = REG_DWORD,
         .data = std::string("\1\0", 2),
         .defaults = nullptr,
         .read = templatesOnly,
         .expected = "0"},
        {.name = "a text setting stored as a DWORD is missing",
         .setting = "FileTypes",
         .type = REG_DWORD,
         .data = dword(0x742A),
         .defaults = "*.pdf",
         .read = fileTypes,
         .expected = "*.pdf"},
        {.name = "a text setting stored as several texts is missing",
         .setting = "FileTypes",
         .type = REG_MULTI_SZ,
         .data = std::string("*.doc\0*.pdf\0\0", 13),
         .defaults = nullptr,
         .read = fileTypes,
         .expected = "<failed>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        CRegKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  key.Create(HKEY_CURRENT_USER, kProductKey, nullptr, KEY_ALL_ACCESS));
        ASSERT_EQ(ERROR_SUCCESS, key.SetValue(c.setting, c.type, c.data.data(),
                                              static_cast<DWORD>(c.data.size())));
        WriteDefaults(c.defaults
                          ? std::string("<") + c.setting + ">" + c.defaults + "</" + c.setting + ">"
                          : "");
        CConfig config;
        EXPECT_EQ(c.expected, c.read(config));
        const auto stored = ReadValue(kProductKey, c.setting);
        ASSERT_TRUE(stored);
        EXPECT_EQ(c.type, stored->type) << "reading rewrites nothing";
    }
}

// What a read fills in when missing is not written over a value of
// another type: it stays for whoever stored it to mend.
TEST_F(ConfigTest, WriteBacksLeaveValuesOfAnotherType)
{
    WriteDword(kProductKey, "Host", 7);
    WriteText(kAdvancedKey, "LogXML", "on");
    CurrentServiceHost() = kBuiltInServiceHost;
    CConfig config;
    EXPECT_STREQ(kBuiltInServiceHost, CurrentServiceHost());
    EXPECT_EQ(0u, config.GetLogXML());
    auto host = ReadValue(kProductKey, "Host");
    auto logXml = ReadValue(kAdvancedKey, "LogXML");
    ASSERT_TRUE(host && logXml);
    EXPECT_EQ(DWORD(REG_DWORD), host->type);
    EXPECT_EQ(DWORD(REG_SZ), logXml->type);

    WriteText(kAdvancedKey, "LogXML", "1");
    EXPECT_EQ(1u, config.GetLogXML()) << "a decimal text is its number here too";
}

TEST_F(ConfigTest, TextLookupAtTheEdgesOfTheBuffer)
{
    struct Case {
        const char* name;
        size_t registryLength; // 0: no registry value
        size_t defaultsLength; // 0: no defaults element
        HRESULT hr;
        size_t expectedLength; // of the text read ('r' from the registry, 'd' from the file)
        char expectedFill;
    };
    const Case cases[] = {
        {"Registry511", 511, 0, S_OK, 511, 'r'},
        {"Registry512FallsBackToDefaults", 512, 20, S_OK, 20, 'd'},
        {"Registry512AndNoDefaultsIsNotFound", 512, 0, E_FAIL, 0, 0},
        {"Defaults511", 0, 511, S_OK, 511, 'd'},
        {"Defaults512IsRefused", 0, 512, E_FAIL, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        DeleteFileA((DefaultsPath()).c_str());
        if (c.registryLength)
            WriteText(kProductKey, "FileTypes", std::string(c.registryLength, 'r'));
        if (c.defaultsLength)
            WriteDefaults("<FileTypes>" + std::string(c.defaultsLength, 'd') + "</FileTypes>");
        CConfig config;
        CString types;
        EXPECT_EQ(c.hr, config.GetFileTypes(types));
        if (c.hr == S_OK)
            EXPECT_EQ(std::string(c.expectedLength, c.expectedFill), types.str());
        else
            EXPECT_STREQ("*", types) << "a failed lookup leaves the preset";
    }
}

TEST_F(ConfigTest, SslSettingChoosesSchemeAndPort)
{
    struct Case {
        const char* name;
        long registrySsl; // -1: none
        const char* defaultsSsl;
        const char* url;
        WORD port;
    };
    const Case cases[] = {
        {"Zero", 0, nullptr, "http://quill.test/services/gateway.asmx", 80},
        {"Missing", -1, nullptr, "https://quill.test/services/gateway.asmx", 443},
        {"Five", 5, nullptr, "https://quill.test/services/gateway.asmx", 443},
        {"ZeroInDefaultsFile", -1, "0", "http://quill.test/services/gateway.asmx", 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
        WriteText(kProductKey, "Host", "quill.test");
        if (c.registrySsl >= 0)
            WriteDword(kProductKey, "SSL", static_cast<DWORD>(c.registrySsl));
        WriteDefaults(c.defaultsSsl ? std::string("<SSL>") + c.defaultsSsl + "</SSL>" : "");
        CConfig config;
        CString url;
        ASSERT_EQ(S_OK, config.GetServiceUrl(url, nullptr));
        EXPECT_STREQ(c.url, url);
        EXPECT_EQ(c.port, config.GetPort());
    }
}

TEST_F(ConfigTest, ServiceUrlTakesAnExplicitPathAndTheStoredOne)
{
    WriteText(kProductKey, "Host", "127.0.0.9");
    WriteDword(kProductKey, "SSL", 0);
    WriteText(kProductKey, "ServicePortPath", "alt/endpoint.asmx");
    CConfig config;
    EXPECT_STREQ("127.0.0.9", CurrentServiceHost()) << "construction refreshes the current host";
    CString url("untouched");
    ASSERT_EQ(S_OK, config.GetServiceUrl(url, "services/gateway.asmx"));
    EXPECT_STREQ("http://127.0.0.9/services/gateway.asmx", url);
    ASSERT_EQ(S_OK, config.GetServiceUrl(url, nullptr));
    EXPECT_STREQ("http://127.0.0.9/alt/endpoint.asmx", url);
}

TEST_F(ConfigTest, OverlongHostIsRefusedButNotOverwritten)
{
    const std::string fits(255, 'h');
    WriteText(kProductKey, "Host", fits);
    {
        CConfig config;
        EXPECT_EQ(fits, CurrentServiceHost().str());
    }
    const std::string tooLong(256, 'h');
    WriteText(kProductKey, "Host", tooLong);
    CurrentServiceHost() = kBuiltInServiceHost;
    CConfig config;
    EXPECT_STREQ(kBuiltInServiceHost, CurrentServiceHost());
    CString url;
    ASSERT_EQ(S_OK, config.GetServiceUrl(url, nullptr));
    EXPECT_EQ(std::string("https://") + kBuiltInServiceHost + "/services/gateway.asmx", url.str());
    auto stored = ReadValue(kProductKey, "Host");
    ASSERT_TRUE(stored);
    EXPECT_EQ(tooLong, StoredText(*stored)) << "the user's value stays for them to mend";
}

// The folder is the module's own, whatever the registry says of the
// server: regsvr32 given the name in another case, another installation's
// path, or nothing registered at all.
TEST_F(ConfigTest, FindAddinIsTheFolderOfItsOwnModule)
{
    for (const char* registered : {"", "C:\\Prog\\QuillOff.dll", "C:\\Prog\\quilloff.dll"}) {
        SCOPED_TRACE(registered);
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kClsidKey);
        if (*registered)
            RegisterAddinAt(registered);
        CConfig config;
        CString folder("junk");
        EXPECT_EQ(S_OK, config.FindAddin(folder));
        EXPECT_EQ(ProgramFolder(), folder.str());
    }
}

TEST_F(ConfigTest, FindAddinPrefersTheApplicationObject)
{
    CWinApp app;
    AfxSetApp(&app);
    CConfig config;
    CString folder;
    EXPECT_EQ(S_OK, config.FindAddin(folder));
    AfxSetApp(nullptr);
    EXPECT_EQ(ProgramFolder(), folder.str());
}

TEST_F(ConfigTest, DefaultsFileWithoutTheRootOrUnreadableIsNotFound)
{
    for (const char* contents :
         {"<other><FileTypes>x</FileTypes></other>", "<inkDefaults><FileTypes>", ""}) {
        SCOPED_TRACE(contents);
        WriteFileBytes(DefaultsPath(), contents);
        CConfig config;
        CString types;
        EXPECT_EQ(E_FAIL, config.GetFileTypes(types));
        EXPECT_STREQ("*", types);
    }
}

// Numbers in the defaults file: leading decimal digits only; a number no
// DWORD holds is refused, not wrapped.
TEST_F(ConfigTest, DefaultsFileNumbersTakeLeadingDigitsAndRefuseOverflow)
{
    struct Case {
        const char* text;
        HRESULT hr;
        DWORD value; // when read
    };
    const Case cases[] = {
        {"-1", S_OK, 0},
        {" 1", S_OK, 0},
        {"+5", S_OK, 0},
        {"12abc", S_OK, 12},
        {"0000000000000000000042", S_OK, 42},
        {"4294967295", S_OK, 4294967295u},
        {"4294967296", E_FAIL, 0},
        {"99999999999999", E_FAIL, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteDefaults(std::string("<CmdBarTop>") + c.text + "</CmdBarTop>");
        CConfig config;
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(c.hr, config.GetKey("CmdBarTop", value));
        EXPECT_EQ(c.hr == S_OK ? c.value : 0xDEADBEEF, value);
    }
    // A refused number leaves the getter's default.
    WriteDefaults("<MakeReceipt>99999999999999</MakeReceipt><SingleClick>-1</SingleClick>");
    CConfig config;
    EXPECT_EQ(1u, config.GetMakeReceipt());
    EXPECT_EQ(0u, config.GetSingleClick()) << "-1 has no leading digit: 0";
}

// The defaults file is parsed once and again only when it changed, however
// many settings miss the registry.
TEST_F(ConfigTest, DefaultsFileIsReadOnceUntilItChanges)
{
    WriteDefaults("<FileTypes>pdf</FileTypes><Gateways>{G}</Gateways>");
    CConfig config;
    CString text;
    ASSERT_EQ(S_OK, config.GetFileTypes(text));
    EXPECT_STREQ("pdf", text);
    {
        // Nobody can read the file now; a second parse would find nothing.
        CFileHandle locked(CreateFileA((DefaultsPath()).c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked.IsValid());
        for (int i = 0; i < 100; ++i) {
            ASSERT_EQ(S_OK, CConfig().GetGateways(text)) << i;
            EXPECT_STREQ("{G}", text);
        }
    }
    WriteDefaults("<FileTypes>docx</FileTypes>");
    ASSERT_EQ(S_OK, config.GetFileTypes(text));
    EXPECT_STREQ("docx", text) << "a changed file is read again";
    EXPECT_EQ(E_FAIL, config.GetGateways(text));
    DeleteFileA((DefaultsPath()).c_str());
    EXPECT_EQ(E_FAIL, config.GetFileTypes(text)) << "a removed file gives nothing";
    EXPECT_STREQ("*", text);
}

// A defaults file that is not ours is refused without a look inside:
// nothing it names is read, and one far too large costs nothing.
TEST_F(ConfigTest, HostileDefaultsFilesAreRefused)
{
    const std::string secret = TempDir() + "secret.txt";
    WriteFileBytes(secret, "SECRET");
    std::string url = "file:///" + secret;
    std::replace(url.begin(), url.end(), '\\', '/');
    const std::string cases[] = {
        "<?xml version=\"1.0\"?><!DOCTYPE inkDefaults [<!ENTITY x SYSTEM \"" + url +
            "\">]><inkDefaults><FileTypes>&x;</FileTypes></inkDefaults>",
        "<!DOCTYPE inkDefaults SYSTEM \"" + url +
            "\"><inkDefaults><FileTypes>pdf</FileTypes></inkDefaults>",
        "<!DOCTYPE inkDefaults [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
        "<inkDefaults><FileTypes>&b;</FileTypes></inkDefaults>",
        "<inkDefaults><FileTypes>pdf</FileTypes><Pad>" + std::string(1100000, 'x') +
            "</Pad></inkDefaults>",
    };
    for (const std::string& contents : cases) {
        SCOPED_TRACE(contents.substr(0, 80));
        WriteFileBytes(DefaultsPath(), contents);
        CConfig config;
        CString types;
        EXPECT_EQ(E_FAIL, config.GetFileTypes(types));
        EXPECT_STREQ("*", types);
    }
}

TEST_F(ConfigTest, CommandBarStateStopsAtTheFirstMissingValue)
{
    WriteDword(kProductKey, "CmdBarTop", 10);
    WriteDword(kProductKey, "CmdBarLeft", 20);
    WriteDword(kProductKey, "CmdBarRowIndex", 2);
    CConfig config;
    CCmdBarState state;
    EXPECT_EQ(E_FAIL, config.GetCmdBarState(state));
    EXPECT_EQ(10, state.Top);
    EXPECT_EQ(20, state.Left);
    EXPECT_EQ(-1, state.Position);
    EXPECT_EQ(-1, state.RowIndex) << "members after the first failure stay unset";

    WriteDword(kProductKey, "CmdBarPos", 1);
    WriteDword(kProductKey, "CmdBarVisible", 1);
    EXPECT_EQ(S_OK, config.GetCmdBarState(state));
    EXPECT_EQ(1, state.Position);
    EXPECT_EQ(2, state.RowIndex);
    EXPECT_EQ(1, state.Visible);
}

TEST_F(ConfigTest, TemplateFolderIsCreatedWithItsParents)
{
    const std::string nested = TempDir() + "library\\a\\b";
    WriteText(kProductKey, "TemplateFolder", nested);
    CConfig config;
    CString folder;
    ASSERT_EQ(S_OK, config.GetTemplateFolder(folder));
    EXPECT_EQ(nested, folder.str());
    EXPECT_TRUE(PathIsDirectoryA(nested.c_str()));

    // A file where the folder should be cannot serve.
    const std::string blocked = TempDir() + "blocked";
    WriteFileBytes(blocked, "x");
    WriteText(kProductKey, "TemplateFolder", blocked);
    folder = "junk";
    EXPECT_EQ(E_ACCESSDENIED, config.GetTemplateFolder(folder));
    EXPECT_STREQ("", folder);
}

TEST_F(ConfigTest, TemplateFolderDefaultsUnderApplicationData)
{
    char appData[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData));
    const std::string expected = std::string(appData) + "\\Quillet\\Templates";
    CConfig config;
    CString folder;
    ASSERT_EQ(S_OK, config.GetTemplateFolder(folder));
    EXPECT_EQ(expected, folder.str());
    EXPECT_TRUE(PathIsDirectoryA(expected.c_str()));
    EXPECT_FALSE(ReadValue(kProductKey, "TemplateFolder")) << "the default is not written back";
}

TEST_F(ConfigTest, SettersWriteTheirDwords)
{
    CConfig config;
    config.SetShowWizIntro(0);
    config.SetShowAttachWarning(0);
    config.SetSyncSize(0);
    EXPECT_EQ(0u, config.GetShowWizIntro());
    EXPECT_EQ(0u, config.GetShowAttachWarning());
    EXPECT_EQ(0u, config.GetSyncSize());
    auto stored = ReadValue(kProductKey, "SyncSize");
    ASSERT_TRUE(stored);
    EXPECT_EQ(DWORD(REG_DWORD), stored->type);
}

TEST(ConfigIdentityTest, RibbonIdsAreExactAndCaseSensitive)
{
    CConfig config;
    EXPECT_EQ(19050u, config.GetRibbonId("Microsoft.Outlook.Explorer"));
    EXPECT_EQ(19051u, config.GetRibbonId("Microsoft.Outlook.Mail.Compose"));
    EXPECT_EQ(0u, config.GetRibbonId("microsoft.outlook.explorer"));
    EXPECT_EQ(0u, config.GetRibbonId("Microsoft.Outlook.Mail.Read"));
    EXPECT_EQ(0u, config.GetRibbonId(nullptr));
    EXPECT_EQ(19001u, config.GetImageId());
    EXPECT_TRUE(CConfig::IsSyncFolderType(3));
    EXPECT_FALSE(CConfig::IsSyncFolderType(0));
    SHDeleteKeyA(HKEY_CURRENT_USER, kCompanyKey);
}
