// The agent's per-target pieces (recipient lists, role placeholders, the
// upload method) and what its dialog does with a broadcast it cannot run:
// no path, a file that is not a broadcast, one without targets.
#include <string>

#include <gtest/gtest.h>

#include "agent/AgentResource.h"
#include "agent/run/Rewrites.h"
#include "shared/SharedResource.h"
#include "shared/service/OpAddDoc.h"
#include "shared/xml/XMLDoc.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kNoDirectives[] =
    "No Broadcast directives have been specified.  These directives are required as they "
    "guide the agent's execution.";
constexpr char kNotCompleted[] = "Your e-signature broadcast was not completed successfully.";
constexpr char kCancelQuestion[] =
    "Are you sure you want to cancel the current esignature broadcast?";

} // namespace

TEST(AgentPieces, EachTargetJoinsTheListOfItsTier)
{
    const CRecipientLists read{"fixed@example.com", "", "cc@example.com"};
    const struct {
        const char* what;
        CRecipientLists read;
        const char* tier;
        CRecipientLists expected;
    } cases[] = {
        {"tier 1 after a fixed signer",
         read,
         "1",
         {"fixed@example.com,t@example.com", "", "cc@example.com"}},
        {"tier 2 into empty second signers",
         read,
         "2",
         {"fixed@example.com", "t@example.com", "cc@example.com"}},
        {"tier 2 after a second signer",
         {"", "late@example.com", ""},
         "2",
         {"", "late@example.com,t@example.com", ""}},
        {"any other tier signs first", {}, "3", {"t@example.com", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CRecipientLists lists = ListsForTarget(c.read, "t@example.com", c.tier);
        EXPECT_EQ(c.expected.signers.str(), lists.signers.str());
        EXPECT_EQ(c.expected.secondSigners.str(), lists.secondSigners.str());
        EXPECT_EQ(c.expected.ccs.str(), lists.ccs.str());
    }
}

TEST(AgentPieces, RecipientListsAreEscaped)
{
    // Inside the request's element, as the service reads it.
    const CRecipientLists lists{"a&b@example.com", "<x>@example.com", ""};
    CXMLDoc doc;
    const std::string text = "<w xmlns:m=\"urn:x\">" + RecipsPiece(lists).str() + "</w>";
    ASSERT_EQ(S_OK, doc.LoadString(text.c_str()));
    CString signers, second;
    ASSERT_EQ(S_OK, doc.GetSingleNodeValue("/w/m:pstr_Signers", signers));
    ASSERT_EQ(S_OK, doc.GetSingleNodeValue("/w/m:pstr_SecondSigners", second));
    EXPECT_EQ(lists.signers.str(), signers.str());
    EXPECT_EQ(lists.secondSigners.str(), second.str());
}

TEST(AgentPieces, RolePlaceholdersAreFilledInTheCarriedMessageOwnRoleFirst)
{
    const CRoleMap map{{"Approver", "Al & Co"}, {"Buyer", "Not Me"}};
    const std::string across = std::string(45, '.') + "[Buyer]"; // over a base64 line's end
    const struct {
        const char* what;
        std::string message;
        const char* role;
        const char* name;
        std::string expected;
    } cases[] = {
        {"an accented name", "Dear [Buyer],", "Buyer", "Zo\xEB \xDCnal", "Dear Zo\xEB \xDCnal,"},
        {"a role with markup", "to [<Seller>] and [Approver]", "<Seller>", "Bob",
         "to Bob and Al & Co"},
        {"a name with markup stays text", "[Buyer]", "Buyer", "<b>x</b>", "<b>x</b>"},
        {"the target's role before the map's", "[Buyer] [Buyer]", "Buyer", "Me", "Me Me"},
        {"another role stays", "[Seller]", "Buyer", "Me", "[Seller]"},
        {"a placeholder over a line's end", across, "Buyer", "Ann", std::string(45, '.') + "Ann"},
    };
    // A tail as the create request carries it: a text of its own (kept as
    // written, whatever it holds), the message in base64, the envelope's end.
    auto tail = [](const std::string& message) {
        return "<m:pstr_Password>[Buyer]</m:pstr_Password>\n<m:pstr_EmailMessage>" +
               standin::Base64RequestText(message) +
               "</m:pstr_EmailMessage>\n</m:CreateSignatureRequest>";
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tail(c.expected), FillRoles(CString(tail(c.message)), c.role, c.name, map).str());
    }
    // Without a placeholder the tail stays as it came, byte for byte: its
    // message is not even encoded again (so a line layout of its own stays).
    const std::string unbroken =
        "<m:pstr_EmailMessage>" + standin::Base64Encode("Hello") + "</m:pstr_EmailMessage>";
    EXPECT_EQ(unbroken, FillRoles(CString(unbroken), "Buyer", "Ann", map).str());
}

class AgentFiles : public CleanProfileTest {};

TEST_F(AgentFiles, LongTailsAreFilledWholeAndTooLongOnesRefused)
{
    // An invitation of many kilobytes is an ordinary message.
    auto carried = [](const std::string& message) {
        return "<m:pstr_EmailMessage>" + standin::Base64RequestText(message) +
               "</m:pstr_EmailMessage>\n";
    };
    const std::string longTail =
        carried(std::string(100000, 'x') + "[Buyer]" + std::string(5000, 'y'));
    const std::string path = TempDir() + "tail.xml";
    WriteFileBytes(path, longTail);
    CString filled;
    ASSERT_EQ(S_OK, RewriteTail(path.c_str(), "Buyer", "Ann", {}, filled));
    const std::string expected = carried(std::string(100000, 'x') + "Ann" + std::string(5000, 'y'));
    EXPECT_TRUE(expected == ReadFileBytes(filled.str())) << "the tail is not filled whole";
    DeleteFileA(filled);

    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size{};
    size.QuadPart = kMaxTailBytes + 1;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    const auto before = ListFiles(TempDir());
    CString none;
    EXPECT_EQ(kTailTooLarge, RewriteTail(path.c_str(), "Buyer", "Ann", {}, none));
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(before, ListFiles(TempDir()));
    EXPECT_EQ(E_FAIL, RewriteTail((TempDir() + "missing.xml").c_str(), "", "", {}, none));
}

TEST(AgentPieces, TheUploadMethodFollowsTheSoapAction)
{
    const struct {
        const char* action;
        const char* method;
    } cases[] = {
        {"http://quillet.example/ws/AddDocumentToRequest", "AddDocumentToRequest"},
        {"http://quillet.example/ws/AddReferenceDocumentToRequest",
         "AddReferenceDocumentToRequest"},
        {"http://quillet.example/ws/AddInstructionalDocumentToRequest",
         "AddInstructionalDocumentToRequest"},
        {"", "AddInstructionalDocumentToRequest"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        OpAddDoc op("http://127.0.1.1/services/gateway.asmx");
        SelectAddDocMethod(c.action, op);
        EXPECT_EQ(c.method, op.m_method.str());
        EXPECT_EQ(c.action, op.GetSoapAction().str());
    }
}

// ---- broadcasts the agent cannot run ----

TEST_F(AgentTest, NoBroadcastPathIsSaidAndTheDialogEnds)
{
    CScriptedUser user(PatientUser());
    user.Expect("Quillet Error").Read(IDC_ERROR_DETAILS).Click(IDOK);
    EXPECT_EQ(IDCANCEL, RunAgent("", user));
    EXPECT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(kNoDirectives, user.TextRead(IDC_ERROR_DETAILS));
    EXPECT_EQ(0u, Service().RequestCount());
}

TEST_F(AgentTest, ABroadcastThatYieldsNoStepIsSaidAndOffersClose)
{
    BroadcastShape noTargets;
    noTargets.documents = {"%PDF-1.4 a"};
    noTargets.roleMap = true; // a fixed signer, but nobody in the audience
    const struct {
        const char* what;
        std::function<std::string()> write;
    } cases[] = {
        {"not a broadcast file",
         [this] {
             m_tempBefore = ListFiles(TempDir());
             const std::string path = TempDir() + "Qui00000000000000AB.xml";
             WriteFileBytes(path, "<inkReceipt/>");
             return path;
         }},
        {"a file that is gone", [this] { return TempDir() + "Qui00000000000000CD.xml"; }},
        {"no audience", [&, this] { return WriteBroadcast(noTargets); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.write();
        AgentSeen seen;
        CScriptedUser user(PatientUser());
        user.Expect("Quillet Error")
            .Read(IDC_ERROR_DETAILS)
            .Click(IDOK)
            .Expect(kAgentCaption)
            .Do("waits for Close", WaitForButton("Close", seen))
            .Click(IDCANCEL)
            .AnswerMessageBox(IDYES);
        EXPECT_EQ(IDCANCEL, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(kNoDirectives, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_TRUE(seen.rows.empty());
        EXPECT_EQ(kNotCompleted, seen.status);
        ASSERT_EQ(1u, user.MessageBoxTexts().size());
        EXPECT_EQ(kCancelQuestion, user.MessageBoxTexts()[0]);
        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
        EXPECT_EQ(0u, Service().RequestCount());
    }
}
