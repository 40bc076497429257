// Which files the agent reads, sends and deletes, and what it sends of
// them: only the add-in's own temporary files, wherever a name reaches it
// (its command line, the broadcast file, an operation file); all of them
// when a broadcast is refused; a request only when it can be put together
// whole; and the target's names in the invitation the service decodes.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent/AgentResource.h"
#include "shared/SharedResource.h"
#include "shared/service/WireLimits.h"
#include "shared/xml/XmlEscape.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kNoDirectives[] =
    "No Broadcast directives have been specified.  These directives are required as they "
    "guide the agent's execution.";
constexpr char kNotCompleted[] = "Your e-signature broadcast was not completed successfully.";

// A name as the add-in gives its temporary files, for a file that is not one.
constexpr char kAddinLikeName[] = "Qui0123456789ABCDEF.xml";

std::vector<std::string> Methods(const std::vector<standin::Request>& requests)
{
    std::vector<std::string> methods;
    for (const auto& request : requests)
        methods.push_back(request.soapMethod);
    return methods;
}

// A text as the request files write it, read back: every character
// reference (the escape table writes ":", "\\" and "-" as such) resolved.
std::string Unescaped(const std::string& text)
{
    std::string plain;
    for (size_t at = 0; at < text.size(); ++at) {
        const size_t end = text.find(';', at);
        if (text.compare(at, 2, "&#") == 0 && end != std::string::npos) {
            plain += static_cast<char>(std::stoi(text.substr(at + 2, end - at - 2)));
            at = end;
        } else {
            plain += text[at];
        }
    }
    return plain;
}

// The text of the first "<tag>" element of the file.
std::string ValueIn(const std::string& path, const char* tag)
{
    const std::string text = ReadFileBytes(path);
    const std::string open = std::string("<") + tag + ">";
    const size_t start = text.find(open);
    if (start == std::string::npos)
        return {};
    const size_t from = start + open.size();
    return Unescaped(text.substr(from, text.find("</", from) - from));
}

// Puts value (escaped as the add-in writes it) in place of the first
// "<tag>" element's text; the old text.
std::string ReplaceValue(const std::string& path, const char* tag, const std::string& value)
{
    std::string text = ReadFileBytes(path);
    const std::string open = std::string("<") + tag + ">";
    const size_t start = text.find(open);
    if (start == std::string::npos)
        return {};
    const size_t from = start + open.size();
    const size_t end = text.find("</", from);
    const std::string old = text.substr(from, end - from);
    text.replace(from, end - from, XmlEscaped(value).str());
    WriteFileBytes(path, text);
    return Unescaped(old);
}

// Deletes an operation file with the pieces it names.
void DeleteOperationFile(const std::string& path)
{
    for (const char* piece : {"Head", "Recips", "Tail", "Options"}) {
        const std::string named = ValueIn(path, piece);
        if (!named.empty())
            DeleteFileA(named.c_str());
    }
    DeleteFileA(path.c_str());
}

void SetFileSize(const std::string& path, ULONGLONG size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
}

// The script of a user facing a broadcast the agent cannot run: the error,
// then "Close" (waitForClose sees the dialog then) and Yes.
void ExpectRefusal(CScriptedUser& user, std::function<bool(HWND)> waitForClose)
{
    user.Expect("Quillet Error")
        .Read(IDC_ERROR_DETAILS)
        .Click(IDOK)
        .Expect(kAgentCaption)
        .Do("waits for Close", std::move(waitForClose))
        .Click(IDCANCEL)
        .AnswerMessageBox(IDYES);
}

// The user's own documents: a folder beside the temporary folder, gone
// with what it holds at the end.
struct UserDocuments {
    explicit UserDocuments(const std::string& tempDir)
        : name("documents-" + std::to_string(GetCurrentProcessId())),
          folder(FolderOf(tempDir.substr(0, tempDir.size() - 1)) + name + "\\")
    {
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    ~UserDocuments()
    {
        for (const std::string& file : ListFiles(folder))
            DeleteFileA((folder + file).c_str());
        RemoveDirectoryA(folder.c_str());
    }
    UserDocuments(const UserDocuments&) = delete;
    UserDocuments& operator=(const UserDocuments&) = delete;

    const std::string name;
    const std::string folder;
};

} // namespace

TEST_F(AgentTest, AUsersFileNamedAnywhereIsNeverReadSentOrDeleted)
{
    // Where the name stands: on the command line (neither element given),
    // as an element of the broadcast file (element), or as a piece of the
    // operation file that element of the broadcast names (piece).
    const struct {
        const char* what;
        const char* element;
        const char* piece;
        // How the user's file is named: "outside" (a document beside the
        // temporary folder), "addin-like" (there, named as the add-in's
        // files are), "dot-dot" (reached from the temporary folder through
        // ".."), "in-temp" (a document of the user's in the temporary folder).
        const char* form;
    } places[] = {
        {"the command line", nullptr, nullptr, "outside"},
        {"the command line, reached through ..", nullptr, nullptr, "dot-dot"},
        {"CreateSignature", "CreateSignature", nullptr, "outside"},
        {"AddDocument", "AddDocument", nullptr, "addin-like"},
        {"SetParams", "SetParams", nullptr, "dot-dot"},
        {"GetLink", "GetLink", nullptr, "in-temp"},
        {"SendInvite", "SendInvite", nullptr, "outside"},
        {"the create request's Head", "CreateSignature", "Head", "outside"},
        {"the create request's Recips", "CreateSignature", "Recips", "addin-like"},
        {"the create request's Tail", "CreateSignature", "Tail", "dot-dot"},
        {"the create request's Options", "CreateSignature", "Options", "outside"},
        {"the upload's Head", "AddDocument", "Head", "outside"},
        {"the upload's Tail", "AddDocument", "Tail", "in-temp"},
        {"the parameters' Head", "SetParams", "Head", "outside"},
        {"the link's Tail", "GetLink", "Tail", "outside"},
        {"the invitation's Tail", "SendInvite", "Tail", "dot-dot"},
    };
    const UserDocuments documents(TempDir());
    const std::string precious = "%PDF-1.4 the user's own thesis, not the agent's";
    for (const auto& place : places) {
        SCOPED_TRACE(std::string(place.what) + " names " + place.form);
        ASSERT_TRUE(Service().Reset());
        const std::string form = place.form;
        std::string userFile;
        if (form == "outside")
            userFile = documents.folder + "thesis.docx";
        else if (form == "addin-like")
            userFile = documents.folder + kAddinLikeName;
        else if (form == "dot-dot")
            userFile = documents.folder + kAddinLikeName;
        else
            userFile = TempDir() + "thesis.docx";
        WriteFileBytes(userFile, precious);
        const std::string named = form == "dot-dot"
                                      ? TempDir() + "..\\" + documents.name + "\\" + kAddinLikeName
                                      : userFile;

        std::string path;
        if (!place.element) {
            m_tempBefore = ListFiles(TempDir());
            path = named;
        } else {
            BroadcastShape shape;
            shape.targets = ThreeTargets();
            shape.documents = {"%PDF-1.4 lease"};
            shape.hideAddresses = true;
            path = WriteBroadcast(shape);
            ASSERT_FALSE(path.empty());
            // The file the user's takes the place of would be nobody's.
            if (place.piece) {
                const std::string replaced =
                    ReplaceValue(ValueIn(path, place.element), place.piece, named);
                ASSERT_TRUE(DeleteFileA(replaced.c_str())) << replaced;
            } else {
                const std::string replaced = ReplaceValue(path, place.element, named);
                ASSERT_TRUE(FileExists(replaced)) << replaced;
                DeleteOperationFile(replaced);
            }
        }

        AgentSeen seen;
        CScriptedUser user(PatientUser());
        ExpectRefusal(user, WaitForButton("Close", seen));
        EXPECT_EQ(IDCANCEL, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(kNoDirectives, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_EQ(kNotCompleted, seen.status);
        EXPECT_TRUE(seen.rows.empty());
        EXPECT_EQ(0u, Service().RequestCount()) << "nothing at all goes out";
        ASSERT_TRUE(FileExists(userFile));
        EXPECT_TRUE(precious == ReadFileBytes(userFile)) << "the user's file changed";
        // Every file of the add-in's the broadcast named went all the same.
        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
        DeleteFileA(userFile.c_str());
    }
}

TEST_F(AgentTest, ABroadcastRefusedWhenItIsReadLeavesNoneOfTheAddinsFiles)
{
    const std::string dtd = "<!DOCTYPE x [<!ENTITY e \"e\">]>";
    const struct {
        const char* what;
        std::function<void(const std::string& broadcast)> spoil;
    } cases[] = {
        {"a broadcast file with a DTD",
         [&](const std::string& broadcast) {
             WriteFileBytes(broadcast, dtd + ReadFileBytes(broadcast));
         }},
        {"a create request's file with a DTD",
         [&](const std::string& broadcast) {
             const std::string op = ValueIn(broadcast, "CreateSignature");
             WriteFileBytes(op, dtd + ReadFileBytes(op));
         }},
        {"an upload's file with a DTD",
         [&](const std::string& broadcast) {
             const std::string op = ValueIn(broadcast, "AddDocument");
             WriteFileBytes(op, dtd + ReadFileBytes(op));
         }},
        {"a broadcast file without its end",
         [&](const std::string& broadcast) {
             const std::string text = ReadFileBytes(broadcast);
             WriteFileBytes(broadcast, text.substr(0, text.find("</inkBroadcast>")));
         }},
        {"a broadcast file of another kind",
         [&](const std::string& broadcast) {
             std::string text = ReadFileBytes(broadcast);
             text.replace(text.find("<inkBroadcast>"), 14, "<inkReceipt>");
             text.replace(text.find("</inkBroadcast>"), 15, "</inkReceipt>");
             WriteFileBytes(broadcast, text);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Service().Reset());
        BroadcastShape shape;
        shape.targets = ThreeTargets();
        shape.documents = {"%PDF-1.4 one", "%PDF-1.4 two"};
        shape.hideAddresses = true;
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());
        c.spoil(path);

        AgentSeen seen;
        CScriptedUser user(PatientUser());
        ExpectRefusal(user, WaitForButton("Close", seen));
        EXPECT_EQ(IDCANCEL, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(kNoDirectives, user.TextRead(IDC_ERROR_DETAILS));
        EXPECT_EQ(kNotCompleted, seen.status);
        EXPECT_EQ(0u, Service().RequestCount());
        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
    }
}

TEST_F(AgentTest, ARequestThatCannotBePutTogetherWholeIsNeverSent)
{
    const struct {
        const char* what;
        const char* element; // of the broadcast, naming the operation file
        const char* piece;
        std::function<void(const std::string& piece)> spoil;
        std::vector<std::string> sent; // before the step that fails
        const char* says;              // what the error says, among the rest
    } cases[] = {
        {"the create request's Tail is gone",
         "CreateSignature",
         "Tail",
         [](const std::string& piece) { DeleteFileA(piece.c_str()); },
         {},
         "missing, empty or cannot be read"},
        {"the create request's Tail is empty",
         "CreateSignature",
         "Tail",
         [](const std::string& piece) { WriteFileBytes(piece, ""); },
         {},
         "missing, empty or cannot be read"},
        {"the upload's Head is gone",
         "AddDocument",
         "Head",
         [](const std::string& piece) { DeleteFileA(piece.c_str()); },
         {"CreateSignatureRequest"},
         "missing, empty or cannot be read"},
        {"the link's Tail is larger than a request may hold",
         "GetLink",
         "Tail",
         [](const std::string& piece) { SetFileSize(piece, CWireLimits::kSmallRequestBytes); },
         {"CreateSignatureRequest", "AddDocumentToRequest"},
         "bytes a request may hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Service().Reset());
        BroadcastShape shape;
        shape.targets = ThreeTargets();
        shape.documents = {"%PDF-1.4 lease"};
        shape.receipts = false; // the run's own reading of the pieces only
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());
        const std::string piece = ValueIn(ValueIn(path, c.element), c.piece);
        ASSERT_FALSE(piece.empty());
        c.spoil(piece);

        AgentSeen seen;
        CScriptedUser user(PatientUser());
        ExpectRefusal(user, WaitForButton("Close", seen));
        EXPECT_EQ(IDCANCEL, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();

        const std::string said = user.TextRead(IDC_ERROR_DETAILS);
        EXPECT_NE(std::string::npos, said.find(std::string("\"") + c.piece + "\"")) << said;
        EXPECT_NE(std::string::npos, said.find(c.says)) << said;
        EXPECT_EQ(c.sent, Methods(Service().Requests()));
        ASSERT_EQ(12u, seen.rows.size());
        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
    }
}

TEST_F(AgentTest, RolesAreFilledInTheInvitationTheServiceDecodes)
{
    BroadcastShape shape;
    shape.targets = ThreeTargets(); // roles "Buyer", "<Seller>", "Witness"
    shape.documents = {"%PDF-1.4 lease"};
    shape.roleMap = true; // "Approver" is "Al Approver" in every request
    shape.message = "Dear [Buyer], [<Seller>] and [Approver]: [Witness] signs last.";
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());
    AgentSeen seen;
    CScriptedUser user(PatientUser());
    user.Expect(kAgentCaption).Do("waits for Done", WaitForButton("Done", seen)).Click(IDCANCEL);
    EXPECT_EQ(IDOK, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();

    const std::string expected[] = {
        "Dear Ann Archer, [<Seller>] and Al Approver: [Witness] signs last.",
        "Dear [Buyer], Zo\xEB \xDCnal and Al Approver: [Witness] signs last.",
        "Dear [Buyer], [<Seller>] and Al Approver: Carl Cole signs last.",
    };
    std::vector<std::string> create;
    std::vector<std::string> invite;
    for (const auto& request : Service().Requests()) {
        const std::string message = standin::Base64Decode(request.Element("pstr_EmailMessage"));
        if (request.soapMethod == "CreateSignatureRequest")
            create.push_back(message);
        else if (request.soapMethod == "InviteSigners")
            invite.push_back(message);
    }
    EXPECT_EQ(std::vector<std::string>(std::begin(expected), std::end(expected)), create);
    EXPECT_EQ(std::vector<std::string>(std::begin(expected), std::end(expected)), invite);
    EXPECT_EQ("Your Quillet e-signature transactions have been submitted!", seen.status);
}
