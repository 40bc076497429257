// Broadcasts run by the agent against the stand-in service, driven by the
// scripted user: every shape of broadcast (one or three targets, one or two
// documents, parameters, receipts, a role map), a failure in the middle, the
// cancel question answered both ways, and a service that falls silent.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/AgentResource.h"
#include "shared/SharedResource.h"
#include "shared/requests/Receipt.h"
#include "shared/requests/SAXReceipt.h"
#include "shared/xml/XMLDoc.h"
#include "tests/agent/AgentTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kSubmitted[] = "Your Quillet e-signature transactions have been submitted!";
constexpr char kCancelQuestion[] =
    "Are you sure you want to cancel the current esignature broadcast?";
constexpr int kImageDone = 0;
constexpr int kImagePending = 3;

// A target's requests: the create and what follows it up to the next create.
struct TargetRequests {
    standin::Request create;
    std::vector<standin::Request> rest;
};

std::vector<TargetRequests> ByTarget(const std::vector<standin::Request>& requests)
{
    std::vector<TargetRequests> targets;
    for (const auto& request : requests) {
        if (request.soapMethod == "CreateSignatureRequest")
            targets.push_back({request, {}});
        else if (!targets.empty())
            targets.back().rest.push_back(request);
    }
    return targets;
}

std::vector<std::string> Methods(const std::vector<standin::Request>& requests)
{
    std::vector<std::string> methods;
    for (const auto& request : requests)
        methods.push_back(request.soapMethod);
    return methods;
}

// The text of element under root in the XML file at path, or empty.
std::string ElementOf(const std::string& path, const char* root, const char* element)
{
    CXMLDoc doc;
    CString value;
    if (doc.LoadFile(path.c_str()) != S_OK || doc.GotoNode(root) != S_OK ||
        doc.GetSingleNodeValue(element, value) != S_OK)
        return {};
    return value.str();
}

std::map<std::string, std::string> ReceiptValues(const std::string& path)
{
    CReceipt receipt(nullptr, CReceipt::kFileReceipt);
    std::map<std::string, std::string> values;
    if (CSAXReceipt::ReadFile(path.c_str(), receipt) != S_OK)
        return values;
    for (const auto& atom : receipt.GetAtoms())
        values.emplace(atom->m_name.str(), atom->m_value.str());
    return values;
}

} // namespace

TEST_F(AgentTest, EveryTargetGetsItsOwnRequestWithItsOwnDocuments)
{
    const struct {
        const char* what;
        size_t targets;
        std::vector<std::string> documents;
        bool params, receipts, roleMap, invite;
    } cases[] = {
        {"one target, one document, receipts", 1, {"%PDF-1.4 lease"}, false, true, false, true},
        {"three targets, two documents, parameters, role map",
         3,
         {"%PDF-1.4 lease", RandomBytes(70000, 3)},
         true,
         true,
         true,
         true},
        {"three targets without receipts", 3, {"%PDF-1.4 only"}, false, false, false, true},
        {"one target, two documents, parameters, no receipts, role map",
         1,
         {"a", "b"},
         true,
         false,
         true,
         true},
        {"three targets, no invitations", 3, {"%PDF-1.4 quiet"}, false, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Service().Reset());
        BroadcastShape shape;
        shape.targets = ThreeTargets();
        shape.targets.resize(c.targets);
        shape.documents = c.documents;
        shape.hideAddresses = c.params;
        shape.receipts = c.receipts;
        shape.roleMap = c.roleMap;
        shape.invite = c.invite;
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());

        AgentSeen seen;
        CScriptedUser user(PatientUser());
        user.Expect(kAgentCaption)
            .Do("waits for Done", WaitForButton("Done", seen))
            .Click(IDCANCEL);
        EXPECT_EQ(IDOK, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();

        std::vector<std::string> perTarget{"CreateSignatureRequest"};
        for (size_t i = 0; i < c.documents.size(); ++i)
            perTarget.push_back("AddDocumentToRequest");
        if (c.params)
            perTarget.push_back("SetSignatureRequestParameters");
        perTarget.push_back("GetMaintenanceLink");
        if (c.invite)
            perTarget.push_back("InviteSigners");
        std::vector<std::string> expected;
        for (size_t i = 0; i < c.targets; ++i)
            expected.insert(expected.end(), perTarget.begin(), perTarget.end());
        const auto requests = Service().Requests();
        EXPECT_EQ(expected, Methods(requests));

        const standin::Json files = Service().State()["files"];
        ASSERT_EQ(c.targets, files.Size());
        const auto targets = ByTarget(requests);
        ASSERT_EQ(c.targets, targets.size());
        for (size_t t = 0; t < c.targets; ++t) {
            SCOPED_TRACE("target " + std::to_string(t + 1));
            const auto& target = shape.targets[t];
            const std::string fileId = files[t]["fileId"].Str();
            for (const auto& request : targets[t].rest) {
                // The parameters call names its elements apart.
                const char* element = request.soapMethod == "SetSignatureRequestParameters"
                                          ? "p_FileID"
                                          : "pstr_FileID";
                EXPECT_EQ(fileId, request.Element(element)) << request.soapMethod;
            }
            // Each request names its own target in the list of its tier.
            const std::string list =
                targets[t].create.Element(target.tier == 2 ? "pstr_SecondSigners" : "pstr_Signers");
            EXPECT_NE(std::string::npos, list.find(target.email)) << list;
            for (size_t other = 0; other < c.targets; ++other) {
                if (other != t) {
                    EXPECT_EQ(std::string::npos,
                              targets[t].create.body.find(shape.targets[other].email));
                }
            }
            if (c.roleMap) {
                EXPECT_NE(std::string::npos,
                          targets[t].create.Element("pstr_Signers").find("approver@example.com"));
            }
            const auto documents = Service().Documents(fileId);
            ASSERT_EQ(c.documents.size(), documents.size());
            for (size_t d = 0; d < documents.size(); ++d)
                EXPECT_TRUE(documents[d].data == c.documents[d]) << "document " << d + 1;
        }

        // One receipt per target, read back as the add-in reads them.
        const auto receipts = ReceiptFiles();
        EXPECT_EQ(c.receipts ? c.targets : 0u, receipts.size());
        std::vector<std::string> receiptIds;
        for (const std::string& name : receipts) {
            auto values = ReceiptValues(m_receipts + name);
            receiptIds.push_back(values["FileID"]);
            EXPECT_EQ(shape.receiptSubject, values["ReceiptSubject"]);
            EXPECT_EQ(shape.receiptCategory, values["ReceiptCategory"]);
            EXPECT_NE(std::string::npos, values["Link"].find(values["FileID"])) << values["Link"];
            EXPECT_FALSE(values["Link"].empty());
        }
        if (c.receipts) {
            std::vector<std::string> fileIds;
            for (size_t t = 0; t < files.Size(); ++t)
                fileIds.push_back(files[t]["fileId"].Str());
            std::sort(fileIds.begin(), fileIds.end());
            std::sort(receiptIds.begin(), receiptIds.end());
            EXPECT_EQ(fileIds, receiptIds);
        }
        for (const std::string& name : receipts)
            DeleteFileA((m_receipts + name).c_str());

        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
        EXPECT_EQ("Done", seen.button);
        EXPECT_EQ(kSubmitted, seen.status);
        ASSERT_EQ(expected.size(), seen.rows.size());
        EXPECT_EQ(std::vector<int>(expected.size(), kImageDone), seen.images);
        EXPECT_EQ("Create Signature Request for " + shape.targets[0].email + ".", seen.rows[0]);
    }
}

// A target the broadcast cannot build ends the building there: the targets
// before it still go out whole (their pieces are not taken with the bad
// one's), and the user learns which targets were not sent.
TEST_F(AgentTest, ATargetThatCannotBeBuiltLeavesTheEarlierOnesWhole)
{
    const struct {
        const char* what;
        size_t bad; // the target without an address, from 0
        const char* status;
    } cases[] = {
        {.what = "the second of three",
         .bad = 1,
         .status = "Not sent: targets 2 to 3 of 3 (target 2 has no e-mail address)."},
        {.what = "the last of three",
         .bad = 2,
         .status = "Not sent: target 3 of 3 (target 3 has no e-mail address)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Service().Reset());
        BroadcastShape shape;
        shape.targets = ThreeTargets();
        shape.targets[c.bad].email.clear();
        shape.documents = {"%PDF-1.4 lease"};
        shape.roleMap = true;
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());

        AgentSeen seen;
        CScriptedUser user(PatientUser());
        user.Expect(kAgentCaption)
            .Do("waits for Done", WaitForButton("Done", seen))
            .Click(IDCANCEL);
        EXPECT_EQ(IDOK, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();

        const std::vector<std::string> perTarget{"CreateSignatureRequest", "AddDocumentToRequest",
                                                 "GetMaintenanceLink", "InviteSigners"};
        std::vector<std::string> expected;
        for (size_t i = 0; i < c.bad; ++i)
            expected.insert(expected.end(), perTarget.begin(), perTarget.end());
        const auto requests = Service().Requests();
        EXPECT_EQ(expected, Methods(requests));
        for (const auto& request : requests) {
            EXPECT_EQ("", request.parseError) << request.soapMethod;
            EXPECT_EQ(200, request.status) << request.soapMethod;
        }
        const standin::Json files = Service().State()["files"];
        ASSERT_EQ(c.bad, files.Size());
        for (size_t t = 0; t < c.bad; ++t) {
            const auto documents = Service().Documents(files[t]["fileId"].Str());
            ASSERT_EQ(1u, documents.size());
            EXPECT_TRUE(documents[0].data == shape.documents[0]);
        }

        EXPECT_EQ("Done", seen.button);
        EXPECT_EQ(c.status, seen.status);
        EXPECT_EQ(std::vector<int>(expected.size(), kImageDone), seen.images);
        EXPECT_EQ(c.bad, ReceiptFiles().size());
        for (const std::string& name : ReceiptFiles())
            DeleteFileA((m_receipts + name).c_str());
        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
    }
}

// A target whose pieces cannot be made when its turn comes (here the tail
// its roles are filled into is gone) stops the run as a failed step does:
// nothing of it reaches the service, and the user learns which targets
// were not sent.
TEST_F(AgentTest, ATargetWhosePiecesCannotBeMadeIsNotSentAndSaidSo)
{
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    shape.roleMap = true;
    // The first target's invitation is answered late: meanwhile the shared
    // tail goes, before the second target's turn.
    ASSERT_TRUE(
        Service().SetBehaviour(R"({"kind": "slow", "method": "InviteSigners", "delay": 5})"));
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());
    const std::string sharedTail =
        ElementOf(ElementOf(path, "/inkBroadcast", "CreateSignature"), "/OpSendDoc", "Tail");
    ASSERT_FALSE(sharedTail.empty());

    AgentSeen seen;
    CScriptedUser user(PatientUser());
    user.Expect(kAgentCaption)
        .Do("takes the tail away during the first invitation",
            [&](HWND) {
                const auto methods = Methods(Service().Requests());
                if (std::find(methods.begin(), methods.end(), "InviteSigners") == methods.end())
                    return false;
                return DeleteFileA(sharedTail.c_str()) != FALSE;
            })
        .Expect("Quillet Error")
        .Read(IDC_ERROR_DETAILS)
        .Click(IDOK)
        .Expect(kAgentCaption)
        .Do("waits for Close", WaitForButton("Close", seen))
        .Click(IDCANCEL)
        .AnswerMessageBox(IDYES);
    EXPECT_EQ(IDCANCEL, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();

    EXPECT_EQ((std::vector<std::string>{"CreateSignatureRequest", "AddDocumentToRequest",
                                        "GetMaintenanceLink", "InviteSigners"}),
              Methods(Service().Requests()));
    EXPECT_EQ("Not sent: targets 2 to 3 of 3 (could not write target 2's files).", seen.status);
    EXPECT_EQ("could not write target 2's files", user.TextRead(IDC_ERROR_DETAILS));
    ASSERT_EQ(12u, seen.images.size());
    for (size_t row = 0; row < seen.images.size(); ++row)
        EXPECT_EQ(row < 4 ? kImageDone : kImagePending, seen.images[row]) << "row " << row;
    EXPECT_EQ(1u, ReceiptFiles().size());
    for (const std::string& name : ReceiptFiles())
        DeleteFileA((m_receipts + name).c_str());
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}

// A target's own pieces are made when its turn comes and go when it is
// done: while the first request is on its way, a broadcast of twelve
// targets keeps no more files than one of two.
TEST_F(AgentTest, ATargetsPiecesAreMadeWhenItsTurnComes)
{
    std::map<size_t, size_t> filesAtFirstRequest;
    for (const size_t targets : {2u, 12u}) {
        SCOPED_TRACE(std::to_string(targets) + " targets");
        ASSERT_TRUE(Service().Reset());
        // The first answer never comes: the run waits there while we look.
        ASSERT_TRUE(Service().SetBehaviour(
            R"({"kind": "stall", "method": "CreateSignatureRequest", "hold": 120})"));
        BroadcastShape shape;
        for (size_t i = 1; i <= targets; ++i)
            shape.targets.push_back({"target" + std::to_string(i) + "@example.com",
                                     "Target " + std::to_string(i), "Buyer", 1});
        shape.documents = {"%PDF-1.4 lease"};
        shape.roleMap = true;
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());
        // The log's own files aside.
        auto pieces = [this] {
            const auto left = FilesLeft();
            return static_cast<size_t>(
                std::count_if(left.begin(), left.end(), [](const auto& name) {
                    return name.find("Debug") == std::string::npos;
                }));
        };
        const size_t written = pieces();

        CScriptedUser user(PatientUser());
        user.Expect(kAgentCaption)
            .Do("waits for the first request",
                [&](HWND) {
                    const auto methods = Methods(Service().Requests());
                    if (std::find(methods.begin(), methods.end(), "CreateSignatureRequest") ==
                        methods.end())
                        return false;
                    filesAtFirstRequest[targets] = pieces() - written;
                    return true;
                })
            .Click(IDCANCEL)
            .AnswerMessageBox(IDYES);
        EXPECT_EQ(IDCANCEL, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();
        const auto methods = Methods(Service().Requests());
        EXPECT_EQ(1, std::count(methods.begin(), methods.end(), "CreateSignatureRequest"));
    }
    EXPECT_EQ(filesAtFirstRequest[2], filesAtFirstRequest[12]);
}

TEST_F(AgentTest, AccentsAndMarkupInNamesAndRolesReachTheServiceWhole)
{
    BroadcastShape shape;
    shape.targets = {ThreeTargets()[1]}; // "Zoë Ünal", role "<Seller>"
    shape.documents = {"%PDF-1.4 deed"};
    shape.roleMap = true;
    shape.message = "Dear [<Seller>], please sign.";
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());
    AgentSeen seen;
    CScriptedUser user(PatientUser());
    user.Expect(kAgentCaption).Do("waits for Done", WaitForButton("Done", seen)).Click(IDCANCEL);
    EXPECT_EQ(IDOK, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();
    const auto requests = Service().Requests();
    ASSERT_FALSE(requests.empty());
    for (const auto& request : requests)
        EXPECT_EQ("", request.parseError) << request.soapMethod;
    EXPECT_EQ("zoe@example.com", requests[0].Element("pstr_SecondSigners"));
    EXPECT_EQ(1u, ReceiptFiles().size());
    EXPECT_EQ(kSubmitted, seen.status);
}

TEST_F(AgentTest, AFailedUploadStopsTheWholeRunAndTheFilesGoOnYes)
{
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 one", "%PDF-1.4 two"};
    // Target 1's first upload goes through, its second is refused.
    ASSERT_TRUE(Service().SetBehaviour(
        R"([{"kind": "slow", "method": "AddDocumentToRequest"},
            {"kind": "fault", "method": "AddDocumentToRequest", "faultstring": "Document rejected."}])"));
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());

    AgentSeen failed;
    AgentSeen afterNo;
    std::vector<std::string> filesWhileOpen;
    CScriptedUser user(PatientUser());
    user.Expect("Quillet Error")
        .Read(IDC_ERROR_DETAILS)
        .Click(IDOK)
        .Expect(kAgentCaption)
        .Do("waits for Close", WaitForButton("Close", failed))
        .Click(IDCANCEL)
        .AnswerMessageBox(IDNO)
        .Do("looks again",
            [&](HWND dialog) {
                afterNo = LookAtAgent(dialog);
                filesWhileOpen = FilesLeft();
                return true;
            })
        .Click(IDCANCEL)
        .AnswerMessageBox(IDYES);
    EXPECT_EQ(IDCANCEL, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();

    EXPECT_NE(std::string::npos, user.TextRead(IDC_ERROR_DETAILS).find("Document rejected."))
        << user.TextRead(IDC_ERROR_DETAILS);
    EXPECT_EQ((std::vector<std::string>{"CreateSignatureRequest", "AddDocumentToRequest",
                                        "AddDocumentToRequest"}),
              Methods(Service().Requests()));
    ASSERT_EQ(15u, failed.rows.size());
    EXPECT_EQ(kImageDone, failed.images[0]);
    EXPECT_EQ(kImageDone, failed.images[1]);
    for (size_t row = 2; row < failed.rows.size(); ++row)
        EXPECT_EQ(kImagePending, failed.images[row]) << "row " << row;
    EXPECT_EQ("Close", afterNo.button);
    EXPECT_EQ(failed.images, afterNo.images);
    EXPECT_EQ((std::vector<std::string>{kCancelQuestion, kCancelQuestion}), user.MessageBoxTexts());
    // Kept while the dialog stays, gone once it ends; no half receipt filed.
    EXPECT_FALSE(filesWhileOpen.empty());
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
    EXPECT_EQ(std::vector<std::string>{}, ReceiptFiles());
}

TEST_F(AgentTest, CancelAsksAndOnlyYesEndsTheBroadcast)
{
    // What the dialog manager makes of each: a click, Escape, Enter.
    const struct {
        const char* what;
        std::function<void(HWND)> press;
    } roads[] = {
        {"the button",
         [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Escape", [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }},
        {"Enter", [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); }},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.what);
        ASSERT_TRUE(Service().Reset());
        // Slow answers keep the run going while the user decides.
        ASSERT_TRUE(Service().SetBehaviour(R"({"kind": "slow", "delay": 0.3, "count": 0})"));
        BroadcastShape shape;
        shape.targets = ThreeTargets();
        shape.documents = {"%PDF-1.4 lease"};
        const std::string path = WriteBroadcast(shape);
        ASSERT_FALSE(path.empty());
        size_t requestsAtNo = 0;
        CScriptedUser user(PatientUser());
        auto press = [&](HWND dialog) {
            road.press(dialog);
            return true;
        };
        user.Expect(kAgentCaption)
            .Do("presses", press)
            .AnswerMessageBox(IDNO)
            .Do("waits for the run to go on",
                [&](HWND) {
                    if (requestsAtNo == 0)
                        requestsAtNo = Service().RequestCount();
                    return Service().RequestCount() > requestsAtNo;
                })
            .Expect(kAgentCaption)
            .Do("presses again", press)
            .AnswerMessageBox(IDYES);
        EXPECT_EQ(IDCANCEL, RunAgent(path, user));
        EXPECT_TRUE(user.Finished()) << user.Report();
        EXPECT_EQ(2u, user.MessageBoxTexts().size());
        EXPECT_LT(Service().RequestCount(), 15u);
        EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
        EXPECT_EQ(std::vector<std::string>{}, ReceiptFiles());
    }
}

TEST_F(AgentTest, ASilentServiceEndsTheRunWithinTheWireLimits)
{
    // The link's answer never comes: the status line and nothing more.
    ASSERT_TRUE(Service().SetBehaviour(
        R"({"kind": "stall", "method": "GetMaintenanceLink", "hold": 120})"));
    BroadcastShape shape;
    shape.targets = ThreeTargets();
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    ASSERT_FALSE(path.empty());
    CScriptedUser::Limits limits = PatientUser();
    limits.stepMs = 80000;
    limits.idleMs = 80000;
    limits.deadlineMs = 150000;
    CScriptedUser user(limits);
    const ULONGLONG start = GetTickCount64();
    ULONGLONG failedAt = 0;
    user.Expect("Quillet Error")
        .Do("notes the time",
            [&](HWND) {
                failedAt = GetTickCount64();
                return true;
            })
        .Read(IDC_ERROR_DETAILS)
        .Click(IDOK)
        .Expect(kAgentCaption)
        .Click(IDCANCEL)
        .AnswerMessageBox(IDYES);
    EXPECT_EQ(IDCANCEL, RunAgent(path, user));
    EXPECT_TRUE(user.Finished()) << user.Report();
    // The silence limit (50 s) and a little for the steps before.
    EXPECT_LT(failedAt - start, 75000u);
    EXPECT_EQ((std::vector<std::string>{"CreateSignatureRequest", "AddDocumentToRequest",
                                        "GetMaintenanceLink"}),
              Methods(Service().Requests()))
        << "the error said: " << user.TextRead(IDC_ERROR_DETAILS);
    EXPECT_EQ(std::vector<std::string>{}, FilesLeft());
}

TEST_F(AgentTest, AReceiptThatCannotBeFiledStaysWholeAndIsLogged)
{
    LogCapture log;
    // The Receipts folder is a file: nothing can be filed there.
    const std::string folder = m_receipts.substr(0, m_receipts.size() - 1);
    ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
    WriteFileBytes(folder, "not a folder");
    BroadcastShape shape;
    shape.targets = {ThreeTargets()[0]};
    shape.documents = {"%PDF-1.4 lease"};
    const std::string path = WriteBroadcast(shape);
    AgentSeen seen;
    CScriptedUser user(PatientUser());
    user.Expect(kAgentCaption).Do("waits for Done", WaitForButton("Done", seen)).Click(IDCANCEL);
    const INT_PTR result = path.empty() ? -1 : RunAgent(path, user);
    DeleteFileA(folder.c_str());
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_EQ(IDOK, result);
    EXPECT_TRUE(user.Finished()) << user.Report();

    // The log's own files aside, the receipt is all that stays.
    std::vector<std::string> left;
    for (const std::string& name : FilesLeft()) {
        if (name.find("Debug") == std::string::npos)
            left.push_back(name);
    }
    ASSERT_EQ(1u, left.size());
    const std::string receipt = ReadFileBytes(TempDir() + left[0]);
    EXPECT_NE(std::string::npos, receipt.find("<Results><FileID>QF1001</FileID>"));
    EXPECT_EQ("</inkReceipt>\n", receipt.substr(receipt.size() - 14));
    EXPECT_TRUE(InOrder(log.Text(), {"the receipt for ann@example.com stays at"}));
}
