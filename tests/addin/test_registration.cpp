// The add-in's self-registration: what CRegMgr writes for each Outlook
// version and removes again, the registry-script runner, the module's
// unregistration when a step fails, and regsvr32 on the real QuillOff.dll.
#include <cstring>
#include <gtest/gtest.h>
#include <iterator>
#include <olectl.h>
#include <optional>
#include <shlwapi.h>
#include <string>
#include <vector>

#include "addin/AddinResource.h"
#include "addin/module/QuillOffModule.h"
#include "addin/module/RegMgr.h"
#include "classlib/com/CRegScript.h"
#include "classlib/win32/CRegKey.h"
#include "tests/support/TestEnv.h"
#include "tests/support/HResultText.h"

namespace {

constexpr const char* kClsid = "{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}";
constexpr const char* kClassKey = "CLSID\\{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}";
constexpr const char* kProgId = "Quillet.OutlookAddin";
constexpr const char* kDescription = "Quillet Add-in for Outlook";
constexpr const char* kAppIdKey = "AppID\\{F8369E48-2529-4511-B4AE-A719FB359F1E}";
constexpr const char* kAppIdServerKey = "AppID\\QuillOff.DLL";
constexpr const char* kTypeLibKey = "TypeLib\\{9F475F2E-ADD5-4ABF-96C3-618FE5FCA6F9}";
constexpr const char* kOutlookAddinKey =
    "Software\\Microsoft\\Office\\Outlook\\Addins\\Quillet.OutlookAddin";
constexpr const char* kWordAddinKey =
    "Software\\Microsoft\\Office\\Word\\Addins\\Quillet.OutlookAddin";
constexpr const char* kJournalKey =
    "Software\\Microsoft\\Shared Tools\\Outlook\\Journaling\\Quillet Document";
constexpr const char* kOutlookAppKey = "Outlook.Application";
constexpr const char* kCurVerKey = "Outlook.Application\\CurVer";

const char* RootName(HKEY root)
{
    return root == HKEY_CLASSES_ROOT ? "HKCR" : root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU";
}

bool KeyExists(HKEY root, const char* path)
{
    CRegKey key;
    return key.Open(root, path, KEY_READ) == ERROR_SUCCESS;
}

// A value as stored. Texts are read in UTF-16, where Wine reports exactly the
// stored size (its ANSI query adds a byte to a text stored without its zero):
// `text` holds every stored character, a stored terminating zero included,
// so its length is the byte length the ANSI writer gave.
struct Stored {
    DWORD type = REG_NONE;
    std::string text;
    DWORD number = 0;
};

std::optional<Stored> ReadStored(HKEY root, const char* path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring wideName;
    for (const char* p = name ? name : ""; *p; ++p)
        wideName += static_cast<wchar_t>(*p);
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, name ? wideName.c_str() : nullptr, nullptr, &type,
                                         data.data(), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    Stored stored;
    stored.type = type;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        std::memcpy(&stored.number, data.data(), sizeof(DWORD));
    } else {
        const wchar_t* chars = reinterpret_cast<const wchar_t*>(data.data());
        for (DWORD i = 0; i < size / sizeof(wchar_t); ++i)
            stored.text += static_cast<char>(chars[i]);
    }
    return stored;
}

std::string WithZero(const std::string& text)
{
    return text + std::string(1, '\0');
}

// Stores exactly these bytes. A non-zero byte follows them in the buffer: the
// ANSI registry functions, as Windows does, count a zero that follows a text
// given without it.
void WriteRaw(HKEY root, const char* path, const char* name, DWORD type, const std::string& bytes)
{
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(root, path, nullptr, KEY_ALL_ACCESS)) << path;
    const std::string guarded = bytes + "#";
    ASSERT_EQ(ERROR_SUCCESS,
              key.SetValue(name, type, guarded.data(), static_cast<DWORD>(bytes.size())))
        << path;
}

// The keys these tests write outside the product key. The add-in's own keys
// are removed before and after each test; the parents they sit in are removed
// afterwards only when the test made them; Outlook's CurVer is put back.
class RegistrationTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        RemoveAddinKeys();
        for (const Parent& parent : kParents)
            m_parentExisted.push_back(KeyExists(parent.root, parent.path));
        m_outlookAppExisted = KeyExists(HKEY_CLASSES_ROOT, kOutlookAppKey);
        if (m_outlookAppExisted)
            m_curVer = ReadCurVer();
    }

    void TearDown() override
    {
        RemoveAddinKeys();
        for (size_t i = std::size(kParents); i-- > 0;)
            if (!m_parentExisted[i])
                SHDeleteKeyA(kParents[i].root, kParents[i].path);
        if (!m_outlookAppExisted) {
            SHDeleteKeyA(HKEY_CLASSES_ROOT, kOutlookAppKey);
        } else {
            SHDeleteKeyA(HKEY_CLASSES_ROOT, kCurVerKey);
            if (m_curVer)
                WriteRaw(HKEY_CLASSES_ROOT, kCurVerKey, nullptr, m_curVer->first, m_curVer->second);
        }
        CleanProfileTest::TearDown();
    }

    // CurVer's default value as given (without a zero unless it holds one);
    // nothing removes the key.
    static void SetCurVer(const std::optional<std::string>& value)
    {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kCurVerKey);
        if (value)
            WriteRaw(HKEY_CLASSES_ROOT, kCurVerKey, nullptr, REG_SZ, *value);
    }

    static void RemoveAddinKeys()
    {
        for (const char* path : {kClassKey, kProgId, kAppIdKey, kAppIdServerKey, kTypeLibKey})
            SHDeleteKeyA(HKEY_CLASSES_ROOT, path);
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            SHDeleteKeyA(root, kOutlookAddinKey);
            SHDeleteKeyA(root, kWordAddinKey);
        }
        SHDeleteKeyA(HKEY_CURRENT_USER, kJournalKey);
    }

private:
    struct Parent {
        HKEY root;
        const char* path;
    };
    // Shallow before deep.
    static inline const Parent kParents[] = {
        {HKEY_CLASSES_ROOT, "AppID"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Outlook"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Outlook\\Addins"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Word"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Word\\Addins"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Office"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Outlook"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Outlook\\Addins"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Word"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Word\\Addins"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Shared Tools"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Shared Tools\\Outlook"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Shared Tools\\Outlook\\Journaling"},
    };

    static std::optional<std::pair<DWORD, std::string>> ReadCurVer()
    {
        CRegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, kCurVerKey, KEY_READ) != ERROR_SUCCESS)
            return std::nullopt;
        char data[1024];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (key.QueryValue(nullptr, &type, data, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::make_pair(type, std::string(data, size));
    }

    std::vector<bool> m_parentExisted;
    bool m_outlookAppExisted = false;
    std::optional<std::pair<DWORD, std::string>> m_curVer;
};

// ---------------------------------------------------------------------------
// CRegMgr over the Outlook versions.

struct VersionCase {
    const char* name;
    std::optional<std::string> curVer; // CurVer's stored bytes; nothing: no CurVer key
    const char* version;               // what GetOutlookVersion gives
    HKEY addinRoot;                    // where the Addins key goes
};

const VersionCase kVersionCases[] = {
    {"NoCurVerKey", std::nullopt, "11", HKEY_CURRENT_USER},
    {"Dot11", WithZero(".11"), "11", HKEY_CURRENT_USER},
    {"Dot12", WithZero(".12"), "12", HKEY_LOCAL_MACHINE},
    {"Dot14", WithZero(".14"), "14", HKEY_LOCAL_MACHINE},
    {"FullName11", WithZero("Outlook.Application.11"), "11", HKEY_CURRENT_USER},
    {"FullName12", WithZero("Outlook.Application.12"), "12", HKEY_LOCAL_MACHINE},
    // The comparison is byte-wise: "9" sorts after "12".
    {"Dot9", WithZero(".9"), "9", HKEY_LOCAL_MACHINE},
    {"NoDot", WithZero("Outlook"), "11", HKEY_CURRENT_USER},
    {"EndsInDot", WithZero("Outlook.Application."), "", HKEY_CURRENT_USER},
    {"StoredWithoutZero", std::string("Outlook.Application.14"), "14", HKEY_LOCAL_MACHINE},
    // The last character exactly fills the read buffer and no zero follows.
    {"FillsBufferWithoutZero", std::string(509, 'x') + ".14", "14", HKEY_LOCAL_MACHINE},
    {"LongerThanBuffer", std::string(600, 'x') + ".14", "11", HKEY_CURRENT_USER},
};

void PrintTo(const VersionCase& row, std::ostream* out)
{
    *out << row.name;
}

class OutlookVersionTest : public RegistrationTest,
                           public ::testing::WithParamInterface<VersionCase> {};

TEST_P(OutlookVersionTest, RegistersUnderTheRootOfTheVersionAndUnregistersBothRoots)
{
    const VersionCase& row = GetParam();
    SetCurVer(row.curVer);

    CString version = "junk";
    EXPECT_HR(S_OK, CRegMgr::GetOutlookVersion(version));
    EXPECT_STREQ(row.version, version) << "Outlook version text";

    const std::string modulePath = "C:\\Program Files\\Quillet\\QuillOff.dll";
    CRegMgr registry;
    EXPECT_HR(S_OK, registry.RegisterAddin(modulePath.c_str()));
    EXPECT_HR(S_OK, registry.RegisterJournalType());

    const HKEY otherRoot =
        row.addinRoot == HKEY_LOCAL_MACHINE ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    EXPECT_FALSE(KeyExists(otherRoot, kOutlookAddinKey))
        << "Addins key also under " << RootName(otherRoot);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kWordAddinKey)) << "nothing registers for Word";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kWordAddinKey)) << "nothing registers for Word";

    struct Expected {
        HKEY root;
        std::string path;
        const char* name;
        DWORD type;
        std::string text; // REG_SZ: every stored byte
        DWORD number;     // REG_DWORD
    };
    const std::string classKey = kClassKey;
    const std::string progId = kProgId;
    const Expected values[] = {
        {HKEY_CLASSES_ROOT, classKey, nullptr, REG_SZ, WithZero(kDescription), 0},
        {HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", nullptr, REG_SZ, WithZero(modulePath),
         0},
        {HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel", REG_SZ,
         WithZero("Apartment"), 0},
        {HKEY_CLASSES_ROOT, classKey + "\\ProgID", nullptr, REG_SZ, WithZero(kProgId), 0},
        {HKEY_CLASSES_ROOT, progId, nullptr, REG_SZ, WithZero(kDescription), 0},
        {HKEY_CLASSES_ROOT, progId + "\\CLSID", nullptr, REG_SZ, WithZero(kClsid), 0},
        {row.addinRoot, kOutlookAddinKey, "LoadBehavior", REG_DWORD, "", 3},
        {row.addinRoot, kOutlookAddinKey, "CommandLineSafe", REG_DWORD, "", 0},
        {row.addinRoot, kOutlookAddinKey, "FriendlyName", REG_SZ, WithZero(kDescription), 0},
        {row.addinRoot, kOutlookAddinKey, "Description", REG_SZ, WithZero(kDescription), 0},
        {HKEY_CURRENT_USER, kJournalKey, "AutoJournaled", REG_DWORD, "", 0},
        {HKEY_CURRENT_USER, kJournalKey, "JournalByContact", REG_DWORD, "", 0},
        {HKEY_CURRENT_USER, kJournalKey, "Large Icon", REG_SZ, "[18]", 0},
        {HKEY_CURRENT_USER, kJournalKey, "Small Icon", REG_SZ, "[18]", 0},
        {HKEY_CURRENT_USER, kJournalKey, "Description", REG_SZ, "Quillet Document", 0},
    };
    for (const Expected& expected : values) {
        const std::string where = std::string(RootName(expected.root)) + "\\" + expected.path +
                                  " value " + (expected.name ? expected.name : "(default)");
        std::optional<Stored> stored =
            ReadStored(expected.root, expected.path.c_str(), expected.name);
        ASSERT_TRUE(stored) << where << " missing";
        EXPECT_EQ(expected.type, stored->type) << where << " type";
        if (expected.type == REG_SZ) {
            EXPECT_EQ(expected.text, stored->text) << where << " stored bytes";
            EXPECT_EQ(expected.text.size(), stored->text.size()) << where << " byte length";
        } else {
            EXPECT_EQ(expected.number, stored->number) << where;
        }
    }

    // Keys left from Word and the other root go too, whichever exist.
    CRegMgr().WriteAddinKey(otherRoot, "Outlook", kProgId, kDescription, 3);
    CRegMgr().WriteAddinKey(HKEY_LOCAL_MACHINE, "Word", kProgId, nullptr, 3);
    CRegMgr().WriteAddinKey(HKEY_CURRENT_USER, "Word", kProgId, kDescription, 3);
    EXPECT_HR(S_OK, registry.UnregisterAddin());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey)) << "class key left";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId)) << "ProgID key left";
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(KeyExists(root, kOutlookAddinKey))
            << "Outlook Addins key left in " << RootName(root);
        EXPECT_FALSE(KeyExists(root, kWordAddinKey))
            << "Word Addins key left in " << RootName(root);
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kJournalKey)) << "journaling key removed";
}

INSTANTIATE_TEST_SUITE_P(CurVer, OutlookVersionTest, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistrationTest, WriteAddinKeyWithoutDescriptionWritesOnlyTheNumbers)
{
    EXPECT_HR(S_OK, CRegMgr().WriteAddinKey(HKEY_CURRENT_USER, "Word", kProgId, nullptr, 2));
    std::optional<Stored> load = ReadStored(HKEY_CURRENT_USER, kWordAddinKey, "LoadBehavior");
    ASSERT_TRUE(load);
    EXPECT_EQ(2u, load->number);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, kWordAddinKey, "CommandLineSafe"));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, kWordAddinKey, "FriendlyName"));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, kWordAddinKey, "Description"));
}

// ---------------------------------------------------------------------------
// DeleteKeyTree.

TEST_F(RegistrationTest, DeleteKeyTreeRemovesNestedKeysAndLeavesSiblings)
{
    const char* tree = "Software\\Quillet\\Tree";
    for (const char* path : {"Software\\Quillet\\Tree\\a\\b\\c\\d", "Software\\Quillet\\Tree\\a\\e",
                             "Software\\Quillet\\Tree\\f", "Software\\Quillet\\Sibling"})
        WriteRaw(HKEY_CURRENT_USER, path, "v", REG_SZ, WithZero("x"));
    WriteRaw(HKEY_CURRENT_USER, tree, "top", REG_DWORD, std::string(4, '\1'));

    EXPECT_EQ(ERROR_SUCCESS, CRegMgr::DeleteKeyTree(HKEY_CURRENT_USER, tree));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tree));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Quillet\\Sibling"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, CRegMgr::DeleteKeyTree(HKEY_CURRENT_USER, tree))
        << "a missing key gives the registry's code";
}

// ---------------------------------------------------------------------------
// The registry-script runner.

constexpr const char* kScriptBase = "Software\\Quillet\\Script";

class RegScriptTest : public RegistrationTest {
protected:
    static std::string Path(const char* below)
    {
        return std::string(kScriptBase) + (*below ? "\\" : "") + below;
    }
    static std::optional<Stored> Value(const char* below, const char* name)
    {
        return ReadStored(HKEY_CURRENT_USER, Path(below).c_str(), name);
    }
    static bool Exists(const char* below)
    {
        return KeyExists(HKEY_CURRENT_USER, Path(below).c_str());
    }
};

constexpr const char* kScript = R"(
HKCU
{
    NoRemove Software
    {
        NoRemove Quillet
        {
            NoRemove Script
            {
                val Marker = s '%NAME%'
                '%NAME%' = s 'It''s %NAME% at 100%%'
                {
                    val Count = d '42'
                    val Mask = d '0x0000FF00'
                    'Inner Key'
                    {
                        val Note = s 'deep'
                    }
                }
                ForceRemove Fresh = d '7'
                Kept
            }
        }
    }
}
)";

TEST_F(RegScriptTest, RegistersKeysValuesAndReplacements)
{
    CRegScript script;
    script.AddReplacement("name", "Server One");
    ASSERT_HR(S_OK, script.Register(kScript));

    struct Row {
        const char* key;
        const char* name;
        DWORD type;
        std::string text;
        DWORD number;
    };
    const Row rows[] = {
        {"", "Marker", REG_SZ, WithZero("Server One"), 0},
        {"Server One", nullptr, REG_SZ, WithZero("It's Server One at 100%"), 0},
        {"Server One", "Count", REG_DWORD, "", 42},
        {"Server One", "Mask", REG_DWORD, "", 0xFF00},
        {"Server One\\Inner Key", "Note", REG_SZ, WithZero("deep"), 0},
        {"Fresh", nullptr, REG_DWORD, "", 7},
    };
    for (const Row& row : rows) {
        std::optional<Stored> stored = Value(row.key, row.name);
        ASSERT_TRUE(stored) << row.key << " " << (row.name ? row.name : "(default)");
        EXPECT_EQ(row.type, stored->type) << row.key;
        if (row.type == REG_SZ)
            EXPECT_EQ(row.text, stored->text) << row.key;
        else
            EXPECT_EQ(row.number, stored->number) << row.key;
    }
    EXPECT_TRUE(Exists("Kept"));
}

TEST_F(RegScriptTest, ForceRemoveClearsTheKeyBeforeWritingIt)
{
    WriteRaw(HKEY_CURRENT_USER, Path("Fresh\\Old").c_str(), "v", REG_SZ, WithZero("x"));
    WriteRaw(HKEY_CURRENT_USER, Path("Server One\\Old").c_str(), "v", REG_SZ, WithZero("x"));
    CRegScript script;
    script.AddReplacement("NAME", "Server One");
    ASSERT_HR(S_OK, script.Register(kScript));
    EXPECT_FALSE(Exists("Fresh\\Old")) << "ForceRemove key kept what was below it";
    EXPECT_TRUE(Exists("Server One\\Old")) << "a plain key lost what was below it";
}

TEST_F(RegScriptTest, UnregisterRemovesWhatTheScriptNamesButNoRemoveKeys)
{
    CRegScript script;
    script.AddReplacement("NAME", "Server One");
    ASSERT_HR(S_OK, script.Register(kScript));
    WriteRaw(HKEY_CURRENT_USER, Path("Server One\\Unnamed").c_str(), "v", REG_SZ, WithZero("x"));
    WriteRaw(HKEY_CURRENT_USER, Path("Other").c_str(), "v", REG_SZ, WithZero("x"));
    WriteRaw(HKEY_CURRENT_USER, Path("").c_str(), "OtherValue", REG_SZ, WithZero("x"));

    ASSERT_HR(S_OK, script.Unregister(kScript));
    EXPECT_TRUE(Exists("")) << "NoRemove key removed";
    EXPECT_FALSE(Value("", "Marker")) << "named value of a NoRemove key kept";
    EXPECT_TRUE(Value("", "OtherValue")) << "a value the script does not name removed";
    EXPECT_FALSE(Exists("Server One")) << "named key kept";
    EXPECT_FALSE(Exists("Fresh"));
    EXPECT_FALSE(Exists("Kept"));
    EXPECT_TRUE(Exists("Other")) << "a key the script does not name removed";

    EXPECT_HR(S_OK, script.Unregister(kScript)) << "removing what is already gone";
}

TEST_F(RegScriptTest, RemovableKeyHoldingANoRemoveKeyStaysWhileSomethingIsLeft)
{
    const char* nested = R"(HKCU { NoRemove Software { NoRemove Quillet {
        Script { NoRemove Held { val Name = s 'v' } Dropped } } } })";
    CRegScript script;
    ASSERT_HR(S_OK, script.Register(nested));
    ASSERT_HR(S_OK, script.Unregister(nested));
    EXPECT_TRUE(Exists("Held")) << "NoRemove key below a removable one";
    EXPECT_FALSE(Value("Held", "Name"));
    EXPECT_FALSE(Exists("Dropped"));

    SHDeleteKeyA(HKEY_CURRENT_USER, Path("Held").c_str());
    ASSERT_HR(S_OK, script.Unregister(nested));
    EXPECT_FALSE(Exists("")) << "emptied removable key kept";
}

TEST_F(RegScriptTest, ScriptErrorsChangeNothing)
{
    struct Row {
        const char* name;
        const char* script;
    };
    const Row rows[] = {
        {"unknown replacement", "HKCU { Software { Quillet { Script = s '%MISSING%' } } }"},
        {"unterminated quote", "HKCU { Software { Quillet { Script = s 'open } } }"},
        {"missing closing brace", "HKCU { Software { Quillet { Script = s 'x' } }"},
        {"unknown root", "HKXX { Software { Quillet { Script } } }"},
        {"bad number", "HKCU { Software { Quillet { Script = d '12z' } } }"},
        {"number too large", "HKCU { Software { Quillet { Script = d '4294967296' } } }"},
        {"unknown value type", "HKCU { Software { Quillet { Script = q 'x' } } }"},
        {"value at the root", "HKCU { val Name = s 'x' }"},
        {"late error after good keys", "HKCU { Software { Quillet { Script } } } HKCU { ="},
    };
    for (const Row& row : rows) {
        CRegScript script;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), script.Register(row.script)) << row.name;
        EXPECT_FALSE(Exists("")) << row.name << ": the registry was written";
    }
}

TEST_F(RegScriptTest, ModuleScriptRegistersAndUnregistersTheAppId)
{
    const HMODULE self = GetModuleHandleA(nullptr);
    std::string text;
    ASSERT_TRUE(CRegScript::LoadScript(self, IDR_QUILLOFF, text)) << "no REGISTRY resource";

    CRegScript script;
    script.AddReplacement("APPID", kQuillOffAppId);
    ASSERT_HR(S_OK, script.RunResource(self, IDR_QUILLOFF, true));
    std::optional<Stored> name = ReadStored(HKEY_CLASSES_ROOT, kAppIdKey, nullptr);
    ASSERT_TRUE(name);
    EXPECT_EQ(WithZero("QuillOff"), name->text);
    std::optional<Stored> appId = ReadStored(HKEY_CLASSES_ROOT, kAppIdServerKey, "AppID");
    ASSERT_TRUE(appId);
    EXPECT_EQ(WithZero(kQuillOffAppId), appId->text);

    ASSERT_HR(S_OK, script.RunResource(self, IDR_QUILLOFF, false));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID")) << "NoRemove AppID removed";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdServerKey));

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND),
              CRegScript().RunResource(GetModuleHandleA("kernel32.dll"), IDR_QUILLOFF, true))
        << "a module without the script";
}

// ---------------------------------------------------------------------------
// The module's self-registration in this program, which carries the add-in's
// resources but no type library.

TEST_F(RegistrationTest, UnregisterRemovesEverythingEvenWhenTheTypeLibraryIsMissing)
{
    SetCurVer(WithZero("Outlook.Application.14"));
    CQuillOffModule module;
    ASSERT_HR(S_OK, module.Init(GetModuleHandleA(nullptr)));
    ASSERT_HR(S_OK,
              module.UpdateRegistryFromResource(IDR_QUILLOFF, TRUE, {{"APPID", kQuillOffAppId}}));
    CRegMgr registry;
    registry.RegisterAddin("C:\\QuillOff.dll");
    registry.RegisterJournalType();
    registry.WriteAddinKey(HKEY_CURRENT_USER, "Outlook", kProgId, kDescription, 3);
    registry.WriteAddinKey(HKEY_CURRENT_USER, "Word", kProgId, kDescription, 3);
    registry.WriteAddinKey(HKEY_LOCAL_MACHINE, "Word", kProgId, kDescription, 3);
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, testenv::kProductKey));

    const HRESULT hr = module.SelfUnregister();
    EXPECT_TRUE(FAILED(hr)) << "the missing type library is reported, hr=" << HResultText(hr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey)) << "class key left";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId)) << "ProgID key left";
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(KeyExists(root, kOutlookAddinKey))
            << "Outlook Addins key left in " << RootName(root);
        EXPECT_FALSE(KeyExists(root, kWordAddinKey))
            << "Word Addins key left in " << RootName(root);
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey)) << "AppID entry left";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, testenv::kProductKey)) << "settings left";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kJournalKey)) << "journaling key removed";
}

TEST_F(RegistrationTest, RegisterStopsWhenTheTypeLibraryCannotBeRegistered)
{
    CQuillOffModule module;
    ASSERT_HR(S_OK, module.Init(GetModuleHandleA(nullptr)));
    const HRESULT hr = module.SelfRegister();
    EXPECT_TRUE(FAILED(hr)) << "hr=" << HResultText(hr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey))
        << "add-in registered without its type library";
}

// ---------------------------------------------------------------------------
// The real QuillOff.dll.

// The library's path in the form Windows programs take (Wine maps / to Z:).
std::string DllPath()
{
    std::string path = QUILLOFF_DLL_PATH;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/')
            ch = '\\';
    return path;
}

int RunRegsvr32(const std::string& options)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    return testenv::RunProcess("\"" + std::string(system) + "\\regsvr32.exe\" " + options + " \"" +
                               DllPath() + "\"");
}

TEST_F(RegistrationTest, Regsvr32RegistersAndUnregistersTheLibrary)
{
    const std::string path = DllPath();
    ASSERT_TRUE(testenv::FileExists(path)) << path;
    SetCurVer(std::nullopt);

    ASSERT_EQ(0, RunRegsvr32("/s")) << "regsvr32 /s";
    std::optional<Stored> server = ReadStored(
        HKEY_CLASSES_ROOT, (std::string(kClassKey) + "\\InprocServer32").c_str(), nullptr);
    ASSERT_TRUE(server) << "no InprocServer32";
    EXPECT_EQ(0, lstrcmpiA(path.c_str(), server->text.c_str())) << server->text;
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kOutlookAddinKey))
        << "no CurVer: the user's Addins key";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kJournalKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
    std::optional<Stored> library =
        ReadStored(HKEY_CLASSES_ROOT, (std::string(kTypeLibKey) + "\\1.0").c_str(), nullptr);
    ASSERT_TRUE(library) << "type library not registered";
    EXPECT_EQ(WithZero("QuillOff 1.0 Type Library"), library->text);
    const char* platform = sizeof(void*) == 8 ? "\\1.0\\0\\win64" : "\\1.0\\0\\win32";
    std::optional<Stored> libraryPath =
        ReadStored(HKEY_CLASSES_ROOT, (std::string(kTypeLibKey) + platform).c_str(), nullptr);
    ASSERT_TRUE(libraryPath) << platform;
    EXPECT_EQ(0, lstrcmpiA(path.c_str(), libraryPath->text.c_str())) << libraryPath->text;

    ASSERT_EQ(0, RunRegsvr32("/u /s")) << "regsvr32 /u /s";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey)) << "type library left";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kOutlookAddinKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kJournalKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, testenv::kProductKey));
}

// A registration whose own entries could not be written is a failure:
// regsvr32 must not report an add-in that Outlook will never load. A key
// made volatile refuses the lasting subkeys the add-in writes under it.
TEST_F(RegistrationTest, Regsvr32FailsWhenTheAddinsOwnEntriesCannotBeWritten)
{
    struct Case {
        const char* what;
        const char* volatileParent; // under HKCU
        const char* refusedKey;
    } const cases[] = {
        {"Addins key", "Software\\Microsoft\\Office\\Outlook\\Addins", kOutlookAddinKey},
        {"journal key", "Software\\Microsoft\\Shared Tools\\Outlook\\Journaling", kJournalKey},
    };
    SetCurVer(std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SHDeleteKeyA(HKEY_CURRENT_USER, c.volatileParent);
        HKEY parent = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, c.volatileParent, 0, nullptr,
                                  REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &parent, nullptr));
        RegCloseKey(parent);
        EXPECT_NE(0, RunRegsvr32("/s"));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, c.refusedKey));
        RunRegsvr32("/u /s");
        SHDeleteKeyA(HKEY_CURRENT_USER, c.volatileParent);
    }
}

TEST_F(RegistrationTest, ExportsAreUndecoratedAndServeOnlyTheAddinsClass)
{
    HMODULE library = LoadLibraryA(DllPath().c_str());
    ASSERT_TRUE(library) << DllPath();
    for (const char* name :
         {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_TRUE(GetProcAddress(library, name)) << name;

    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    // Through void*: FARPROC has no arguments, the exports have.
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnloadNow);

    CLSID clsid{};
    CLSIDFromString(L"{DF82D7DA-6BFB-4072-984C-B860F99B6B9C}", &clsid);
    EXPECT_HR(E_POINTER, getClassObject(clsid, IID_IClassFactory, nullptr));
    void* object = reinterpret_cast<void*>(0x1234);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IUnknown, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object) << "out-parameter not cleared";
    EXPECT_HR(S_OK, canUnloadNow());
    ASSERT_HR(S_OK, getClassObject(clsid, IID_IClassFactory, &object));
    EXPECT_HR(S_FALSE, canUnloadNow());
    static_cast<IClassFactory*>(object)->Release();
    EXPECT_HR(S_OK, canUnloadNow());
    FreeLibrary(library);
}

} // namespace
