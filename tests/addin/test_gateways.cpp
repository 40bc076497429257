// The gateway plug-ins a successful send is told about, with the sample
// gateway (standins/gateway) registered from beside the test program: what
// the "Gateways" setting makes the add-in call, what each gateway is told,
// and how their answers are joined for the receipt.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "addin/send/GatewayEntry.h"
#include "addin/send/SendDocsXml.h"
#include "shared/service/OpSendDoc.h"
#include "shared/xml/XMLDoc.h"
#include "standins/gateway/SampleGatewayIds.h"
#include "tests/support/HResultText.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kUnregistered[] = "{0E0D0C0B-0A09-0807-0605-040302010000}";
constexpr char kLink[] = "https://q.example/r/F100";

std::string SettingsKey(const char* clsid)
{
    return std::string(kSampleGatewayKey) + "\\" + clsid;
}

// What the sample gateway of that class recorded: SendDocs calls and the
// last text it was told.
DWORD Calls(const char* clsid)
{
    const auto value = ReadValue(SettingsKey(clsid).c_str(), "Calls");
    return value && value->data.size() == sizeof(DWORD)
               ? *reinterpret_cast<const DWORD*>(value->data.data())
               : 0;
}

std::string Told(const char* clsid)
{
    HKEY key = nullptr;
    std::string told;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKey(clsid).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return told;
    char text[4096] = {};
    DWORD size = sizeof text - 1;
    if (RegQueryValueExA(key, "Told", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS)
        told = text;
    RegCloseKey(key);
    return told;
}

void AddSigner(OpSendDoc& request, const char* name, const char* email, int type)
{
    auto* signer = new CRecip;
    signer->m_name = name;
    signer->m_email = email;
    signer->m_recipType = type;
    signer->m_fromMail = 1;
    request.m_request.m_signers.AddHead(signer);
}

// A send as the road has it by the time the gateways are called: the mail
// body, two attachments and a template's document; recipients at the head
// in the reverse of the mail's order.
void FillRequest(OpSendDoc& request, const char* subject)
{
    request.m_request.m_subject = subject;
    AddSigner(request, "Cy", "cy@x.com", 2);
    AddSigner(request, "Bob", "bob@x.com", 1);
    AddSigner(request, "Ann Smith", "ann@x.com", 1);
    AddSigner(request, "Odd", "odd@x.com", 7);
    ASSERT_HR(S_OK, request.AddPart(nullptr, 0, "Message Body", "Message Body"));
    ASSERT_HR(S_OK, request.AddPart(nullptr, 1, "lease.doc", "Attachment"));
    ASSERT_HR(S_OK, request.AddPart(nullptr, 2, "annex.pdf", "Attachment"));
    ASSERT_HR(S_OK, request.AddPart(nullptr, 3, "NDA & terms.pdf", "Attachment"));
}

class GatewayTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        m_library = LoadLibraryA((ProgramFolder() + "SampleGateway.dll").c_str());
        ASSERT_TRUE(m_library) << "SampleGateway.dll is not beside the test program";
        auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(m_library, "DllRegisterServer")));
        ASSERT_TRUE(registerServer);
        ASSERT_HR(S_OK, registerServer());
    }
    void TearDown() override
    {
        if (m_library) {
            auto unregisterServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                reinterpret_cast<void*>(GetProcAddress(m_library, "DllUnregisterServer")));
            if (unregisterServer) {
                EXPECT_HR(S_OK, unregisterServer());
            }
            CoFreeUnusedLibraries();
            FreeLibrary(m_library);
        }
        CleanProfileTest::TearDown();
    }

    // Tells the gateway of that class what to answer.
    static void Answer(const char* clsid, const char* name, const std::string& text)
    {
        WriteText(SettingsKey(clsid).c_str(), name, text);
    }
    static void Fail(const char* clsid, const char* name, HRESULT hr)
    {
        WriteDword(SettingsKey(clsid).c_str(), name, static_cast<DWORD>(hr));
    }
    static void Forget() { SHDeleteKeyA(HKEY_CURRENT_USER, kSampleGatewayKey); }

    HMODULE m_library = nullptr;
};

TEST_F(GatewayTest, TheSendIsDescribedAsWellFormedXml)
{
    OpSendDoc request("http://127.0.0.1/");
    FillRequest(request, "Q&A <draft> \"final\" caf\xe9");
    CString xml = "junk";
    ASSERT_HR(S_OK, BuildSendDocsXml(&request, kLink, xml));
    EXPECT_EQ("<senddocs><statusURL>https://q.example/r/F100</statusURL>"
              "<subject>Q&amp;A &lt;draft&gt; \"final\" caf&#233;</subject>"
              "<activitySubject>Quillet Document Sent</activitySubject><recipients>"
              "<recip><name>Odd</name><email>odd@x.com</email><mode>To:</mode></recip>"
              "<recip><name>Ann Smith</name><email>ann@x.com</email><mode>To:</mode></recip>"
              "<recip><name>Bob</name><email>bob@x.com</email><mode>To:</mode></recip>"
              "<recip><name>Cy</name><email>cy@x.com</email><mode>Cc:</mode></recip>"
              "</recipients><documents><doc><name>lease.doc</name></doc>"
              "<doc><name>annex.pdf</name></doc><doc><name>NDA &amp; terms.pdf</name></doc>"
              "</documents></senddocs>",
              xml.str());

    CXMLDoc document;
    ASSERT_HR(S_OK, document.LoadString(xml)) << "a gateway can read it";
    CString subject;
    EXPECT_HR(S_OK, document.GetSingleNodeValue("/senddocs/subject", subject));
    EXPECT_STREQ("Q&A <draft> \"final\" caf\xe9", subject);

    // No link, no recipients, only the body: the containers still stand.
    OpSendDoc bare("http://127.0.0.1/");
    ASSERT_HR(S_OK, bare.AddPart(nullptr, 0, "Message Body", "Message Body"));
    ASSERT_HR(S_OK, BuildSendDocsXml(&bare, nullptr, xml));
    EXPECT_EQ("<senddocs><statusURL></statusURL><subject></subject><activitySubject>Quillet "
              "Document Sent</activitySubject><recipients></recipients><documents></documents>"
              "</senddocs>",
              xml.str());
    EXPECT_HR(E_POINTER, BuildSendDocsXml(nullptr, kLink, xml));
}

TEST_F(GatewayTest, EveryListedGatewayIsToldAndTheirResultsJoined)
{
    const std::string a = kSampleGatewayAText;
    const std::string b = kSampleGatewayBText;
    const std::string okA = "<reply><result>A-ok</result></reply>";
    const std::string okB = "<gateway><status>0</status><result>B-ok</result></gateway>";
    struct Setting {
        const char* clsid;
        const char* name; // "Reply", "Fail", "NameFails"
        std::string text; // a reply, or a code in hex
    };
    struct Case {
        const char* what;
        std::string gateways; // the setting
        std::vector<Setting> settings;
        std::string results;
        DWORD callsA;
        DWORD callsB;
    } cases[] = {
        {"none", "", {}, "", 0, 0},
        {"one without its tab", a, {{kSampleGatewayAText, "Reply", okA}}, "", 0, 0},
        {"one", a + "\t", {{kSampleGatewayAText, "Reply", okA}}, "A-ok", 1, 0},
        {"an unregistered one, then a good one",
         std::string(kUnregistered) + "\t" + a + "\t",
         {{kSampleGatewayAText, "Reply", okA}},
         "A-ok",
         1,
         0},
        {"a malformed one, then a good one",
         "{not a class}\t" + b + "\t",
         {{kSampleGatewayBText, "Reply", okB}},
         "B-ok",
         0,
         1},
        {"two, joined in their order",
         b + "\t" + a + "\t",
         {{kSampleGatewayAText, "Reply", okA}, {kSampleGatewayBText, "Reply", okB}},
         "B-okA-ok",
         1,
         1},
        {"the same answer twice",
         a + "\t" + b + "\t",
         {{kSampleGatewayAText, "Reply", "<r><result>ok</result></r>"},
          {kSampleGatewayBText, "Reply", "<result>ok</result>"}},
         "okok",
         1,
         1},
        {"tabs before the entries",
         "\t\t" + a + "\t\t\t" + b + "\t",
         {{kSampleGatewayAText, "Reply", okA}, {kSampleGatewayBText, "Reply", okB}},
         "A-okB-ok",
         1,
         1},
        {"one that fails",
         a + "\t" + b + "\t",
         {{kSampleGatewayAText, "Fail", "80004005"},
          {kSampleGatewayAText, "Reply", okA},
          {kSampleGatewayBText, "Reply", okB}},
         "B-ok",
         1,
         1},
        {"one that answers S_FALSE",
         a + "\t" + b + "\t",
         {{kSampleGatewayAText, "Fail", "00000001"},
          {kSampleGatewayAText, "Reply", okA},
          {kSampleGatewayBText, "Reply", okB}},
         "B-ok",
         1,
         1},
        {"one that succeeds with no reply",
         a + "\t" + b + "\t",
         {{kSampleGatewayBText, "Reply", okB}},
         "B-ok",
         1,
         1},
        {"one whose reply is no XML",
         a + "\t" + b + "\t",
         {{kSampleGatewayAText, "Reply", "<result>ok"}, {kSampleGatewayBText, "Reply", okB}},
         "B-ok",
         1,
         1},
        {"one whose reply has no result",
         a + "\t" + b + "\t",
         {{kSampleGatewayAText, "Reply", "<reply><status>0</status></reply>"},
          {kSampleGatewayBText, "Reply", okB}},
         "B-ok",
         1,
         1},
        {"one without a name",
         a + "\t",
         {{kSampleGatewayAText, "NameFails", "1"}, {kSampleGatewayAText, "Reply", okA}},
         "A-ok",
         1,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Forget();
        WriteText(kProductKey, "Gateways", c.gateways);
        for (const Setting& setting : c.settings) {
            if (std::string(setting.name) == "Reply")
                Answer(setting.clsid, setting.name, setting.text);
            else
                Fail(setting.clsid, setting.name,
                     static_cast<HRESULT>(std::stoul(setting.text, nullptr, 16)));
        }

        OpSendDoc request("http://127.0.0.1/");
        FillRequest(request, "Lease & annex");
        CString results = "junk";
        EXPECT_HR(S_OK, CallGateways(&request, kLink, results));
        EXPECT_EQ(c.results, results.str());
        EXPECT_EQ(c.callsA, Calls(kSampleGatewayAText));
        EXPECT_EQ(c.callsB, Calls(kSampleGatewayBText));

        CString described;
        ASSERT_HR(S_OK, BuildSendDocsXml(&request, kLink, described));
        if (c.callsA) {
            EXPECT_EQ(described.str(), Told(kSampleGatewayAText));
        }
        if (c.callsB) {
            EXPECT_EQ(described.str(), Told(kSampleGatewayBText));
        }
    }
}

TEST_F(GatewayTest, AGatewayIsCreatedAndNamed)
{
    Answer(kSampleGatewayBText, "Name", "Records Office");
    struct Case {
        const char* what;
        const char* clsid;
        bool nameFails;
        HRESULT hr;
        bool created;
        const char* name;
    } cases[] = {
        {"a gateway with its name", kSampleGatewayBText, false, S_OK, true, "Records Office"},
        {"a gateway without a name", kSampleGatewayAText, true, E_FAIL, true, "Unspecified"},
        {"a class nobody registered", kUnregistered, false, REGDB_E_CLASSNOTREG, false, ""},
        {"no class", "", false, E_FAIL, false, ""},
        {"no class text", "6F1C3B2A-8E47-4D1B-9C55-2A7D1E0B9A01", false, E_FAIL, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.nameFails)
            Fail(c.clsid, "NameFails", 1);
        CGatewayEntry entry(c.clsid);
        EXPECT_HR(c.hr, LoadGateway(entry));
        EXPECT_EQ(c.created, static_cast<bool>(entry.m_gateway));
        EXPECT_STREQ(c.name, entry.m_name);
    }
}

} // namespace
