// The five signature-request operations against the stand-in service: sent
// at once, and queued as pieces that are assembled later; and the broadcast
// file that hands a queued request to the agent.
#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/requests/Broadcast.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/Castlet.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpInvite.h"
#include "shared/service/OpParam.h"
#include "shared/service/OpSendDoc.h"
#include "shared/service/SendPlan.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/service/WireLimits.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XmlEscape.h"
#include "tests/support/FakeAttachment.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/Json.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/StepRunner.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.8";

std::string WithoutWhitespace(std::string text)
{
    text.erase(
        std::remove_if(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }),
        text.end());
    return text;
}

// The shared escape table's form of a value.
std::string E(const std::string& text)
{
    return XmlEscaped(text).str();
}

// Text of this process's code page as UTF-8, the form the stand-in reports
// element values in.
std::string Utf8Of(const std::string& text)
{
    const int wide =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring units(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), units.data(), wide);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, units.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, units.data(), wide, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// Values as a new user types them: accented letters, the euro sign, markup
// characters and an apostrophe (Windows-1252).
const char* const kAccented[] = {
    "J\xFCrgen M\xFCller & S\xF6hne <Sales>",
    "Jos\xE9 O'Brien \x80 100",
};

std::vector<std::string> NamesOf(const standin::Pairs& elements)
{
    std::vector<std::string> names;
    for (const auto& element : elements)
        names.push_back(element.first);
    return names;
}

CComPtr<CFakeDispatch> MailItem(const wchar_t* body)
{
    auto item = CFakeDispatch::Create();
    item->Prop(L"Body", body).Prop(L"HTMLBody", L"<p>not sent</p>");
    return item;
}

CRecip* Recipient(const char* email, int sequence, int hardCoded = 1, const char* name = "",
                  const char* role = "")
{
    auto* recip = new CRecip;
    recip->m_email = email;
    recip->m_sequence = sequence;
    recip->m_hardCoded = hardCoded;
    recip->m_name = name;
    recip->m_role = role;
    return recip;
}

// The operations' request building, reachable from the tests.
template <class Op>
struct Probe : Op {
    using Op::Op;
    using Op::PrepareData;
};

class RequestTest : public ServiceTestOn<kAddress> {
protected:
    void SetUp() override
    {
        ServiceTestOn<kAddress>::SetUp();
        m_mail = MailItem(L"Please sign the contract.");
        m_message =
            std::make_unique<CBodyPart>(m_mail.Get(), 0, "Message Body", "Message Body", "");
    }

    CCredentials Sender() const
    {
        CCredentials credentials = Demo();
        credentials.m_displayName = "Smith & Co <Sales>";
        return credentials;
    }

    // A created request on the service; its file ID.
    std::string CreateRequest()
    {
        OpSendDoc create(m_url);
        create.m_credentials = Sender();
        create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
        create.m_request.m_signers.AddTail(Recipient("first@example.com", 1));
        EXPECT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        create.FreeParts();
        return create.m_result.str();
    }

    standin::Request LastRequest()
    {
        auto requests = Service().Requests();
        EXPECT_FALSE(requests.empty());
        return requests.empty() ? standin::Request{} : requests.back();
    }

    CComPtr<CFakeDispatch> m_mail;
    std::unique_ptr<CBodyPart> m_message;
};

TEST_F(RequestTest, CreateSignatureRequestSendsEveryElementEscapedAndInOrder)
{
    OpSendDoc create(m_url);
    create.m_credentials = Sender();
    create.m_credentials.m_email = "sales&co@example.com";
    create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
    auto attachment = Attachment("%PDF-1.4");
    ASSERT_EQ(S_OK, create.AddPart(attachment.Get(), 1, "Contract.pdf", "Attachment"));
    // Sequence numbers 3 and above sign with the second signers.
    create.m_request.m_signers.AddTail(Recipient("a@example.com", 1));
    create.m_request.m_signers.AddTail(Recipient("c@example.com", 2));
    create.m_request.m_signers.AddTail(Recipient("b@example.com", 1));
    create.m_request.m_signers.AddTail(Recipient("d@example.com", 3));
    create.m_request.m_signers.AddTail(Recipient("e@example.com", -1));
    create.m_request.m_sendOptions.m_string1 = "Q3 <Sales> & Co";
    create.m_request.m_sendOptions.m_password = "p&ss<word>";
    create.m_request.m_sendOptions.m_signatureType = 1;

    ASSERT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
    EXPECT_EQ(0, create.m_result.Find("QF")) << create.m_result;

    const standin::Request request = LastRequest();
    EXPECT_EQ("", request.parseError);
    EXPECT_EQ("CreateSignatureRequest", request.soapMethod);
    EXPECT_EQ(std::string("\"") + kServiceNamespace + "CreateSignatureRequest\"",
              request.Header("SOAPAction"));
    const std::vector<std::string> order = {
        "pstr_APICode",  "pstr_SenderEmail",   "pstr_SenderName",  "pstr_FileName",
        "pstr_Signers",  "pstr_SecondSigners", "pstr_CCs",         "pstr_Cosign",
        "pstr_SignType", "pstr_Password",      "pstr_EmailMessage"};
    EXPECT_EQ(order, NamesOf(request.elements));
    EXPECT_EQ("sales&co@example.com", request.Element("pstr_SenderEmail"));
    EXPECT_EQ("Smith & Co <Sales>", request.Element("pstr_SenderName"));
    EXPECT_EQ("Q3 <Sales> & Co", request.Element("pstr_FileName"));
    EXPECT_EQ("a@example.com,b@example.com", request.Element("pstr_Signers"));
    EXPECT_EQ("c@example.com,d@example.com", request.Element("pstr_SecondSigners"));
    EXPECT_EQ("e@example.com", request.Element("pstr_CCs"));
    EXPECT_EQ("false", request.Element("pstr_Cosign"));
    EXPECT_EQ("fax", request.Element("pstr_SignType"));
    EXPECT_EQ("p&ss<word>", request.Element("pstr_Password"));
    EXPECT_EQ("Please sign the contract.",
              standin::Base64Decode(request.Element("pstr_EmailMessage")));
    create.FreeParts();
}

// Every value reaches the service whole, as the characters the user typed:
// the request is plain ASCII, and the service reads the references back.
TEST_F(RequestTest, AccentedValuesReachTheServiceWhole)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the values are Windows-1252; this process runs code page " << GetACP();
    for (const char* value : kAccented) {
        SCOPED_TRACE(value);
        const std::string sent = Utf8Of(value);
        OpSendDoc create(m_url);
        create.m_credentials = Demo();
        create.m_credentials.m_displayName = value;
        create.m_credentials.m_email = value;
        create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
        create.m_request.m_signers.AddTail(Recipient("a@example.com", 1));
        create.m_request.m_sendOptions.m_string1 = value;
        create.m_request.m_sendOptions.m_password = value;
        ASSERT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        create.FreeParts();
        standin::Request request = LastRequest();
        EXPECT_EQ("", request.parseError);
        EXPECT_EQ("utf-8", request.encoding);
        for (char ch : request.body)
            ASSERT_LT(static_cast<unsigned char>(ch), 128u) << "only ASCII goes out";
        for (const char* element :
             {"pstr_SenderName", "pstr_SenderEmail", "pstr_FileName", "pstr_Password"})
            EXPECT_EQ(sent, request.Element(element)) << element;

        // The account ID and the file ID of the other operations alike.
        const CString fileId(value);
        OpGetLink link(m_url);
        link.m_credentials = Demo();
        link.m_credentials.m_accountId = value;
        link.m_fileId = &fileId;
        link.Run(nullptr, 0, CWebSvrOp::kPrepare);
        request = LastRequest();
        EXPECT_EQ("", request.parseError);
        EXPECT_EQ(sent, request.Element("pstr_APICode"));
        EXPECT_EQ(sent, request.Element("pstr_FileID"));
    }
}

TEST_F(RequestTest, SignatureTypeAndInputsAreChecked)
{
    const struct {
        int type;
        const char* sent;
    } kTypes[] = {{0, "elec"}, {1, "fax"}, {2, "both"}, {7, "both"}};
    for (const auto& type : kTypes) {
        OpSendDoc create(m_url);
        create.m_credentials = Demo();
        create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
        create.m_request.m_signers.AddTail(Recipient("a@example.com", 1));
        create.m_request.m_sendOptions.m_signatureType = type.type;
        ASSERT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        EXPECT_EQ(type.sent, LastRequest().Element("pstr_SignType"));
        create.FreeParts();
    }

    // Without a part or without a recipient nothing is sent.
    const size_t before = Service().RequestCount();
    OpSendDoc noParts(m_url);
    noParts.m_request.m_signers.AddTail(Recipient("a@example.com", 1));
    EXPECT_EQ(0, noParts.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(E_INVALIDARG, noParts.GetErrorCode());
    OpSendDoc noSigners(m_url);
    noSigners.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
    EXPECT_EQ(0, noSigners.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(E_INVALIDARG, noSigners.GetErrorCode());
    noSigners.FreeParts();
    EXPECT_EQ(before, Service().RequestCount());
}

TEST_F(RequestTest, DocumentsArriveByteForByteWithTheMethodOfTheirType)
{
    const std::string fileId = CreateRequest();
    ASSERT_FALSE(fileId.empty());
    const CString fileIdText(fileId.c_str());
    const struct {
        const char* type;
        const char* method;
        size_t size;
    } kDocuments[] = {{"", "AddDocumentToRequest", 5000},
                      {"Reference", "AddReferenceDocumentToRequest", 1},
                      {"Informative", "AddInstructionalDocumentToRequest", 0},
                      {"reference", "AddDocumentToRequest", 777}};
    unsigned seed = 1;
    std::vector<std::string> sent;
    for (const auto& document : kDocuments) {
        const std::string bytes = RandomBytes(document.size, seed++);
        sent.push_back(bytes);
        auto attachment = Attachment(bytes);
        CBodyPart part(attachment.Get(), 1, "Smith & Co <v1>.pdf", "Attachment", document.type);
        OpAddDoc add(m_url);
        add.m_credentials = Demo();
        add.m_document = &part;
        add.m_fileId = &fileIdText;
        ASSERT_EQ(1, add.Run(nullptr, 0, CWebSvrOp::kPrepare))
            << document.method << add.GetErrorText();
        EXPECT_EQ(0, add.m_result.Find("QD")) << add.m_result;
        const standin::Request request = LastRequest();
        EXPECT_EQ(document.method, request.soapMethod);
        EXPECT_EQ(std::string("\"") + kServiceNamespace + document.method + "\"",
                  request.Header("SOAPAction"));
        const std::vector<std::string> order = {"pstr_APICode", "pstr_FileID", "pbyt_File",
                                                "pstr_FileName", "pstr_Title"};
        EXPECT_EQ(order, NamesOf(request.elements));
        EXPECT_EQ(fileId, request.Element("pstr_FileID"));
    }
    const auto documents = Service().Documents(fileId);
    ASSERT_EQ(sent.size(), documents.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i], documents[i].data) << i;
        EXPECT_EQ(kDocuments[i].method, documents[i].method);
        EXPECT_EQ("Smith & Co <v1>.pdf", documents[i].fileName);
        EXPECT_EQ("Smith & Co <v1>.pdf", documents[i].title);
    }
}

// Every size that meets a boundary of the upload (one byte, the stepped
// chunk, a line of base64, the read and write blocks) arrives byte for byte
// on every road: sent in one call, stepped as the dialogs step it, and
// queued for the agent and assembled from its pieces. The request carries
// the document exactly as it always has: base64 lines of 64 characters,
// "+", "/" and "=" as references.
TEST_F(RequestTest, DocumentsOfEverySizeArriveByteForByteOnEveryRoad)
{
    const std::string fileId = CreateRequest();
    const CString fileIdText(fileId.c_str());
    const size_t sizes[] = {0, 1, 4095, 4096, 65536 + 1, 3 * 1024 * 1024 + 5};
    enum class Road { Whole, Stepped, Queued };
    size_t uploads = 0;
    for (Road road : {Road::Whole, Road::Stepped, Road::Queued}) {
        for (size_t size : sizes) {
            SCOPED_TRACE(testing::Message()
                         << static_cast<int>(road) << " road, " << size << " bytes");
            const std::string bytes = RandomBytes(size, static_cast<unsigned>(size) + 77);
            auto attachment = Attachment(bytes);
            CBodyPart part(attachment.Get(), 1, "Scan.pdf", "Attachment", "");
            OpAddDoc add(m_url);
            add.m_credentials = Demo();
            add.m_document = &part;
            int result = 0;
            if (road == Road::Queued) {
                CString opPath;
                ASSERT_EQ(S_OK, add.SaveOpFile(opPath));
                add.m_fileId = &fileIdText;
                result = add.Run(nullptr, 0, CWebSvrOp::kPrepare);
            } else {
                add.m_fileId = &fileIdText;
                if (road == Road::Stepped) {
                    const SteppedRun run = RunStepped(add);
                    ASSERT_FALSE(run.timedOut);
                    result = run.result;
                    EXPECT_EQ("", UploadProgressFault(run, add.GetUploadSize()));
                } else {
                    result = add.Run(nullptr, 0, CWebSvrOp::kPrepare);
                }
            }
            ASSERT_EQ(1, result) << add.GetErrorText();
            EXPECT_EQ(add.GetUploadSize(), add.GetBytesSent());
            const auto documents = Service().Documents(fileId);
            ASSERT_EQ(++uploads, documents.size());
            EXPECT_EQ(size, documents.back().data.size());
            EXPECT_TRUE(documents.back().data == bytes) << "the document differs";

            const standin::Request request = LastRequest();
            EXPECT_EQ(add.GetUploadSize(), request.body.size());
            const size_t start = request.body.find("<m:pbyt_File>");
            const size_t end = request.body.find("</m:pbyt_File>\n");
            ASSERT_NE(std::string::npos, start);
            ASSERT_NE(std::string::npos, end);
            const std::string carried = request.body.substr(start + 13, end - start - 13);
            EXPECT_TRUE(standin::Base64RequestText(bytes) == carried)
                << "the document is not carried as it always was";
        }
    }
}

TEST_F(RequestTest, DocumentThatCannotBeSavedIsNeverUploaded)
{
    const CString fileId("QF1");
    auto attachment = Attachment("x");
    attachment->Fail(L"SaveAsFile", E_ACCESSDENIED);
    CBodyPart part(attachment.Get(), 1, "Contract.pdf", "Attachment", "");
    const size_t before = Service().RequestCount();
    OpAddDoc add(m_url);
    add.m_credentials = Demo();
    add.m_document = &part;
    add.m_fileId = &fileId;
    EXPECT_EQ(0, add.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_TRUE(FAILED(add.GetErrorCode()));

    OpAddDoc noDocument(m_url);
    noDocument.m_fileId = &fileId;
    EXPECT_EQ(0, noDocument.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(E_INVALIDARG, noDocument.GetErrorCode());
    EXPECT_EQ(before, Service().RequestCount());
    // Nothing half-written stays behind.
    for (const std::string& file : ListFiles(TempDir()))
        EXPECT_EQ(std::string::npos, file.find(".xml")) << file;
}

TEST_F(RequestTest, ParametersLinkAndInvitationFollowTheDocuments)
{
    const std::string fileId = CreateRequest();
    const CString fileIdText(fileId.c_str());
    auto attachment = Attachment("%PDF-1.4 contract");
    CBodyPart part(attachment.Get(), 1, "Contract.pdf", "Attachment", "");
    OpAddDoc add(m_url);
    add.m_credentials = Demo();
    add.m_document = &part;
    add.m_fileId = &fileIdText;
    ASSERT_EQ(1, add.Run(nullptr, 0, CWebSvrOp::kPrepare)) << add.GetErrorText();

    OpParam params(m_url);
    params.m_credentials = Demo();
    params.m_fileId = &fileIdText;
    ASSERT_EQ(1, params.Run(nullptr, 0, CWebSvrOp::kPrepare)) << params.GetErrorText();
    standin::Request request = LastRequest();
    EXPECT_EQ((std::vector<std::string>{"p_ApiCode", "p_FileID", "p_XMLContent"}),
              NamesOf(request.elements));
    EXPECT_EQ("<?xml version='1.0' encoding='UTF-8' ?><file><parameter name='maskemailsfromclient' "
              "value='true' /></file>",
              request.Element("p_XMLContent"));

    OpGetLink link(m_url);
    link.m_credentials = Demo();
    link.m_fileId = &fileIdText;
    ASSERT_EQ(1, link.Run(nullptr, 0, CWebSvrOp::kPrepare)) << link.GetErrorText();
    EXPECT_EQ((std::vector<std::string>{"pstr_APICode", "pstr_FileID"}),
              NamesOf(LastRequest().elements));
    EXPECT_NE(-1, link.m_result.Find(("FileID=" + fileId).c_str())) << link.m_result;

    OpInvite invite(m_url);
    invite.m_credentials = Demo();
    invite.m_fileId = &fileIdText;
    invite.m_messagePart = m_message.get();
    ASSERT_EQ(1, invite.Run(nullptr, 0, CWebSvrOp::kPrepare)) << invite.GetErrorText();
    request = LastRequest();
    EXPECT_EQ((std::vector<std::string>{"pstr_APICode", "pstr_FileID", "pstr_EmailMessage"}),
              NamesOf(request.elements));
    EXPECT_EQ("Please sign the contract.",
              standin::Base64Decode(request.Element("pstr_EmailMessage")));
}

TEST_F(RequestTest, AccountIdAndFileIdCannotBreakTheRequest)
{
    const CString fileId("QF1</m:pstr_FileID><m:x>");
    OpGetLink link(m_url);
    link.m_credentials = Demo();
    link.m_credentials.m_accountId = "A&B<C>";
    link.m_fileId = &fileId;
    EXPECT_EQ(0, link.Run(nullptr, 0, CWebSvrOp::kPrepare));
    const standin::Request request = LastRequest();
    EXPECT_EQ("", request.parseError);
    EXPECT_EQ((std::vector<std::string>{"pstr_APICode", "pstr_FileID"}), NamesOf(request.elements));
    EXPECT_EQ("A&B<C>", request.Element("pstr_APICode"));
    EXPECT_EQ("QF1</m:pstr_FileID><m:x>", request.Element("pstr_FileID"));
    // The service's refusal is its error report.
    EXPECT_EQ(0, link.GetErrorText().Find("ERROR:")) << link.GetErrorText();

    // Without a file ID there is no request to send.
    const size_t before = Service().RequestCount();
    OpInvite invite(m_url);
    invite.m_credentials = Demo();
    EXPECT_EQ(0, invite.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(before, Service().RequestCount());
}

TEST_F(RequestTest, ResultTextsAreJudged)
{
    const CString fileId("QF1");
    const struct {
        const char* text;
        HRESULT expected;
        const char* errorText;
    } kResults[] = {{"", E_FAIL, ""},
                    {"ERROR: whatever follows", E_FAIL, "ERROR: whatever follows"},
                    {"Refused. ERROR: quota", E_FAIL, "Refused. ERROR: quota"},
                    {"success", E_FAIL, ""},
                    {"SUCCESS", S_OK, ""}};
    for (const auto& result : kResults) {
        ASSERT_TRUE(Service().FailNext(standin::kind::Result, 2, nullptr,
                                       "\"text\": " + standin::JsonQuote(result.text)));
        OpInvite invite(m_url);
        invite.m_credentials = Demo();
        invite.m_fileId = &fileId;
        EXPECT_EQ(result.expected == S_OK, invite.Run(nullptr, 0, CWebSvrOp::kPrepare) == 1)
            << result.text;
        EXPECT_EQ(result.expected, invite.GetErrorCode()) << result.text;
        EXPECT_STREQ(result.errorText, invite.GetErrorText()) << result.text;

        OpParam params(m_url);
        params.m_credentials = Demo();
        params.m_fileId = &fileId;
        EXPECT_EQ(result.expected,
                  params.Run(nullptr, 0, CWebSvrOp::kPrepare) == 1 ? S_OK : params.GetErrorCode())
            << result.text;
    }
}

TEST_F(RequestTest, MessagePartDecidesEmptinessAndTheSubjectComesFromTheFirstDocument)
{
    const struct {
        const wchar_t* body;
        int empty;
    } kBodies[] = {{L"", 1}, {L"x", 1}, {L"ok", 0}};
    for (const auto& body : kBodies) {
        OpSendDoc create(m_url);
        auto mail = MailItem(body.body);
        auto attachment = Attachment("%PDF");
        ASSERT_EQ(S_OK, create.AddPart(attachment.Get(), 1, "Offer.pdf", "Attachment"));
        EXPECT_EQ(0, create.IsMessageEmpty()) << "no message part yet";
        create.AppendPart(new CBodyPart(mail.Get(), 0, "Message Body", "Message Body", ""));
        create.AppendPart(nullptr);
        EXPECT_EQ(2, create.m_parts.GetCount());
        EXPECT_EQ(body.empty, create.IsMessageEmpty());
        create.DefaultSubject();
        EXPECT_STREQ("Offer.pdf", create.m_request.m_subject);
        create.m_request.m_subject = "Kept";
        create.DefaultSubject();
        EXPECT_STREQ("Kept", create.m_request.m_subject);
        const ULONG held = attachment->RefCount();
        create.FreeParts();
        EXPECT_TRUE(create.m_parts.IsEmpty());
        EXPECT_EQ(held - 1, attachment->RefCount());
    }
}

// ------------------------------------------------------------- the plan

// The one plan every road walks: which steps a request takes, over the
// options that decide it.
TEST_F(RequestTest, ThePlanTakesTheStepsTheOptionsAsk)
{
    using S = SendStep;
    const struct {
        const char* what = "";
        int documents = 0;
        bool hide = false, manual = false, invite = false, body = false;
        std::vector<S> steps = {};
    } cases[] = {
        {.what = "the usual send",
         .documents = 2,
         .invite = true,
         .body = true,
         .steps = {S::kCreate, S::kUpload, S::kUpload, S::kGetLink, S::kInvite}},
        {.what = "everything asked",
         .documents = 1,
         .hide = true,
         .manual = true,
         .invite = true,
         .body = true,
         .steps = {S::kCreate, S::kUpload, S::kSetParams, S::kGetLink, S::kEditLocations,
                   S::kInvite}},
        {.what = "no invitations",
         .documents = 1,
         .body = true,
         .steps = {S::kCreate, S::kUpload, S::kGetLink}},
        {.what = "invitations asked without a mail body",
         .documents = 1,
         .invite = true,
         .steps = {S::kCreate, S::kUpload, S::kGetLink}},
        {.what = "no document (a template brings its own later)",
         .invite = true,
         .body = true,
         .steps = {S::kCreate, S::kGetLink, S::kInvite}},
    };
    const char* const names[] = {"lease.pdf", "annex.doc"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpSendDoc request(m_url);
        request.m_credentials = Sender();
        request.m_result = "file-7";
        std::vector<CComPtr<CFakeDispatch>> attachments;
        // The mail body comes first, as the send road adds it.
        if (c.body)
            request.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
        for (int i = 0; i < c.documents; ++i) {
            attachments.push_back(Attachment("%PDF"));
            ASSERT_EQ(S_OK,
                      request.AddPart(attachments.back().Get(), i + 1, names[i], "Attachment"));
        }
        CSendOptions& options = request.m_request.m_sendOptions;
        options.m_hideEmailAddrs = c.hide ? 1 : 0;
        options.m_positioning =
            c.manual ? CSendOptions::kManualPositioning : CSendOptions::kAutomaticPositioning;
        options.m_sendInvite = c.invite ? 1 : 0;

        const std::vector<CPlannedStep> plan = PlanSend(request);
        std::vector<S> steps;
        for (const CPlannedStep& step : plan)
            steps.push_back(step.step);
        EXPECT_EQ(c.steps, steps);

        // The plan made from what a broadcast file says is the same plan.
        const std::vector<CPlannedStep> fromFile = PlanSteps({.documents = c.documents,
                                                              .hideAddresses = c.hide,
                                                              .manualPositioning = c.manual,
                                                              .invite = c.invite && c.body});
        ASSERT_EQ(plan.size(), fromFile.size());
        int uploads = 0;
        for (size_t i = 0; i < plan.size(); ++i) {
            const CPlannedStep& step = plan[i];
            EXPECT_EQ(step.step, fromFile[i].step);
            EXPECT_EQ(step.document, fromFile[i].document);
            EXPECT_EQ(nullptr, fromFile[i].part);
            std::unique_ptr<OpQuillet> op = MakeStepOperation(step, request, m_url);
            if (!HasOwnOperation(step.step)) {
                EXPECT_EQ(nullptr, op);
                continue;
            }
            ASSERT_NE(nullptr, op);
            EXPECT_EQ(&request.m_result, op->m_fileId) << "it follows the request's file ID";
            EXPECT_STREQ(Sender().m_accountId, op->m_credentials.m_accountId);
            if (step.step == S::kUpload) {
                EXPECT_EQ(uploads, step.document);
                auto* upload = dynamic_cast<OpAddDoc*>(op.get());
                ASSERT_NE(nullptr, upload);
                ASSERT_NE(nullptr, upload->m_document);
                EXPECT_STREQ(names[uploads], upload->m_document->m_fileName)
                    << "the documents in the mail's order";
                ++uploads;
            } else if (step.step == S::kInvite) {
                auto* invite = dynamic_cast<OpInvite*>(op.get());
                ASSERT_NE(nullptr, invite);
                EXPECT_EQ(request.MessagePart(), invite->m_messagePart);
            } else if (step.step == S::kSetParams) {
                EXPECT_NE(nullptr, dynamic_cast<OpParam*>(op.get()));
            } else {
                EXPECT_NE(nullptr, dynamic_cast<OpGetLink*>(op.get()));
            }
        }
        request.FreeParts();
    }
}

// ------------------------------------------------------------- queued mode

// Occupies the names the system is about to give out in the temporary
// folder with stale files longer than any request.
void PlantStaleFiles(const std::string& folder, std::vector<std::string>& planted)
{
    char name[MAX_PATH];
    ASSERT_NE(0u, GetTempFileNameA(folder.c_str(), "Quill", 0, name));
    DeleteFileA(name);
    std::string base(name);
    base = base.substr(0, base.rfind('\\') + 1);
    const std::string stem = std::string(name).substr(base.size() + 3);
    const unsigned first = std::stoul(stem.substr(0, stem.find('.')), nullptr, 16);
    const std::string stale(100000, 'S');
    for (unsigned unique = first; unique < first + 24; ++unique) {
        char file[MAX_PATH];
        wsprintfA(file, "%sQui%x.xml", base.c_str(), unique & 0xFFFF);
        WriteFileBytes(file, stale);
        planted.push_back(file);
    }
}

class QueuedTest : public RequestTest {
protected:
    // The same operation prepared with its file ID at once and queued, then
    // assembled over stale files and sent.
    template <class Op>
    void CheckQueued(const char* kind, const std::function<void(Op&)>& setup)
    {
        SCOPED_TRACE(kind);
        const CString fileId("QF42&1");
        Probe<Op> immediate(m_url);
        setup(immediate);
        immediate.m_credentials = Demo();
        immediate.m_credentials.m_accountId = "A&B";
        immediate.m_fileId = &fileId;
        ASSERT_EQ(1, immediate.PrepareData());
        const std::string expected = ReadFileBytes(immediate.GetRequestFilePath().str());
        ASSERT_NE(std::string::npos, expected.find("QF42&amp;1"));

        Probe<Op> queued(m_url);
        setup(queued);
        queued.m_credentials = immediate.m_credentials;
        std::vector<std::string> planted;
        PlantStaleFiles(TempDir(), planted);
        CString opPath;
        ASSERT_EQ(S_OK, queued.SaveOpFile(opPath));
        EXPECT_EQ(opPath, queued.GetOpFilePath());
        ASSERT_EQ(2, queued.m_castlets.GetCount());
        POSITION pos = queued.m_castlets.GetHeadPosition();
        const CCastlet* head = queued.m_castlets.GetNext(pos);
        const CCastlet* tail = queued.m_castlets.GetNext(pos);
        EXPECT_STREQ("Head", head->m_name);
        EXPECT_STREQ("Tail", tail->m_name);
        const std::string headText = ReadFileBytes(head->m_path.str());
        EXPECT_EQ("FileID>", headText.substr(headText.size() - 7));
        EXPECT_EQ(0u, ReadFileBytes(tail->m_path.str()).find("</m:"));

        std::string expectedOp = std::string("<") + kind + ">";
        expectedOp += "<SOAPAction>" + E(queued.GetSoapAction().str()) + "</SOAPAction>\n";
        expectedOp += "<Head>" + E(head->m_path.str()) + "</Head>\n";
        expectedOp += "<Tail>" + E(tail->m_path.str()) + "</Tail>\n";
        expectedOp += std::string("</") + kind + ">";
        EXPECT_EQ(expectedOp, ReadFileBytes(opPath.str()));
        CXMLDoc opFile;
        EXPECT_EQ(S_OK, opFile.LoadFile(opPath));

        queued.m_fileId = &fileId;
        const char* assembled = queued.AssembleRequest();
        ASSERT_NE(nullptr, assembled);
        const std::string text = ReadFileBytes(assembled);
        EXPECT_EQ(WithoutWhitespace(expected), WithoutWhitespace(text));
        for (const std::string& path :
             {std::string(assembled), opPath.str(), head->m_path.str(), tail->m_path.str()})
            EXPECT_EQ(planted.end(), std::find_if(planted.begin(), planted.end(),
                                                  [&](const std::string& p) {
                                                      return lstrcmpiA(p.c_str(), path.c_str()) ==
                                                             0;
                                                  }))
                << path << " was opened over a stale file";

        // Run, the queued operation sends what its pieces give.
        const size_t before = Service().RequestCount();
        queued.Run(nullptr, 0, CWebSvrOp::kPrepare);
        ASSERT_EQ(before + 1, Service().RequestCount())
            << queued.GetErrorText() << " " << Service().LastError();
        const standin::Request request = LastRequest();
        EXPECT_EQ("", request.parseError);
        EXPECT_EQ("A&B", request.elements.at(0).second);
        EXPECT_EQ("QF42&1", request.elements.at(1).second);
        for (const std::string& path : planted)
            DeleteFileA(path.c_str());
    }
};

TEST_F(QueuedTest, QueuedOperationsAssembleToTheImmediateRequest)
{
    auto attachment = Attachment(RandomBytes(3000, 9));
    CBodyPart part(attachment.Get(), 1, "Smith & Co.pdf", "Attachment", "Reference");
    CheckQueued<OpAddDoc>("OpAddDoc", [&](OpAddDoc& op) { op.m_document = &part; });
    CheckQueued<OpParam>("OpSetParams", [](OpParam&) {});
    CheckQueued<OpGetLink>("OpGetLink", [](OpGetLink&) {});
    CheckQueued<OpInvite>("OpInvite", [&](OpInvite& op) { op.m_messagePart = m_message.get(); });
}

TEST_F(QueuedTest, QueuedCreateRequestKeepsTargetsApartAndEscaped)
{
    std::vector<std::string> planted;
    PlantStaleFiles(TempDir(), planted);
    OpSendDoc create(m_url);
    create.m_credentials = Sender();
    create.m_roleMap = 1;
    create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
    create.m_request.m_signers.AddTail(Recipient("fixed@example.com", 1, 1, "Fixed", "Approver"));
    create.m_request.m_signers.AddTail(Recipient("late@example.com", 4, 1, "Late & Co", ""));
    create.m_request.m_signers.AddTail(Recipient("t1@example.com", 1, 0, "Smith & Co", "<Sales>"));
    create.m_request.m_signers.AddTail(Recipient("t2@example.com", 2, 0, "T2", "Buyer"));
    CString opPath;
    ASSERT_EQ(S_OK, create.SaveOpFile(opPath));

    std::vector<std::string> names;
    std::vector<std::string> paths;
    for (POSITION pos = create.m_castlets.GetHeadPosition(); pos;) {
        const CCastlet* castlet = create.m_castlets.GetNext(pos);
        names.push_back(castlet->m_name.str());
        paths.push_back(castlet->m_path.str());
    }
    ASSERT_EQ((std::vector<std::string>{"Head", "Recips", "Tail", "Options"}), names);
    const std::string opText = ReadFileBytes(opPath.str());
    EXPECT_EQ(0u, opText.find("<OpSendDoc><SOAPAction>"));
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_NE(std::string::npos,
                  opText.find("<" + names[i] + ">" + E(paths[i]) + "</" + names[i] + ">\n"));

    const std::string head = ReadFileBytes(paths[0]);
    EXPECT_NE(std::string::npos,
              head.find("<m:pstr_SenderName>Smith &amp; Co &lt;Sales&gt;</m:pstr_SenderName>"));
    EXPECT_EQ("</m:pstr_FileName>\n", head.substr(head.size() - 19));

    const std::string recips = ReadFileBytes(paths[1]);
    CXMLDoc loaded;
    EXPECT_EQ(S_OK, loaded.LoadString(recips.c_str())) << recips;
    const std::string expected =
        std::string("<CSRSigners xmlns:m=\"") + kServiceNamespace + "\">" + "<m:pstr_Signers>" +
        E("fixed@example.com") + "</m:pstr_Signers>\n" + "<m:pstr_SecondSigners>" +
        E("late@example.com") + "</m:pstr_SecondSigners>\n" + "<m:pstr_CCs></m:pstr_CCs>\n" +
        "<m:pstr_Audience>" + "<target><email>" + E("t1@example.com") + "</email><name>" +
        E("Smith & Co") + "</name><role>" + E("<Sales>") + "</role><tier>1</tier></target>\n" +
        "<target><email>" + E("t2@example.com") +
        "</email><name>T2</name><role>Buyer</role><tier>2</tier></target>\n" +
        "</m:pstr_Audience>\n" + "<m:pstr_RoleMap>" +
        "<entry><name>Fixed</name><role>Approver</role></entry>\n" + "<target><email>" +
        E("late@example.com") + "</email><name>" + E("Late & Co") +
        "</name><role></role><tier>4</tier></target>\n" + "</m:pstr_RoleMap>\n" + "</CSRSigners>\n";
    EXPECT_EQ(expected, recips);
    EXPECT_EQ(0u, ReadFileBytes(paths[2]).find("<m:pstr_Cosign>false</m:pstr_Cosign>\n"));
    EXPECT_NE(std::string::npos, ReadFileBytes(paths[3]).find("<SendOptions>"));
    for (const std::string& path : paths)
        EXPECT_EQ(std::string::npos, ReadFileBytes(path).find("SSSS")) << path;
    for (const std::string& path : planted)
        DeleteFileA(path.c_str());
    create.FreeParts();
}

TEST_F(RequestTest, BroadcastFileNamesEveryOperationFileEscaped)
{
    const struct {
        DWORD makeReceipt;
        const char* setParams;
        std::vector<std::string> documents;
    } kCases[] = {{1, "C:\\t\\params & more.xml", {"C:\\t\\doc1.xml", "C:\\t\\doc<2>.xml"}},
                  {0, "", {"C:\\t\\only.xml"}}};
    for (const auto& c : kCases) {
        WriteDword(kProductKey, "MakeReceipt", c.makeReceipt);
        OpSendDoc request(m_url);
        request.m_request.m_sendOptions.m_receiptSubject = "Signed: Smith & Co";
        request.m_request.m_sendOptions.m_categoryTags = "<Sales>";
        CBroadcast broadcast;
        broadcast.m_createSignaturePath = "C:\\t\\create.xml";
        for (const std::string& document : c.documents)
            broadcast.m_addDocumentPaths.AddTail(document.c_str());
        broadcast.m_setParamsPath = c.setParams;
        broadcast.m_getLinkPath = "C:\\t\\link.xml";
        broadcast.m_sendInvitePath = "C:\\t\\invite.xml";
        broadcast.m_entryId = "00AB";
        std::vector<std::string> planted;
        PlantStaleFiles(TempDir(), planted);
        const char* path = broadcast.Write(request);
        ASSERT_NE(nullptr, path);
        EXPECT_EQ(broadcast.m_broadcastPath, CString(path));

        std::string expected =
            "<inkBroadcast><CreateSignature>" + E("C:\\t\\create.xml") + "</CreateSignature>\n";
        for (const std::string& document : c.documents)
            expected += "<AddDocument>" + E(document) + "</AddDocument>\n";
        expected += "<SetParams>" + E(c.setParams) + "</SetParams>\n" + "<GetLink>" +
                    E("C:\\t\\link.xml") + "</GetLink>\n" + "<SendInvite>" +
                    E("C:\\t\\invite.xml") + "</SendInvite>\n" + "<EntryID>00AB</EntryID>\n" +
                    "<MakeReceipt>" + std::to_string(c.makeReceipt) + "</MakeReceipt>\n" +
                    "<ReceiptSubject>" + E("Signed: Smith & Co") + "</ReceiptSubject>\n" +
                    "<ReceiptCategory>&lt;Sales&gt;</ReceiptCategory>\n" + "</inkBroadcast>";
        EXPECT_EQ(expected, ReadFileBytes(path));
        CXMLDoc loaded;
        EXPECT_EQ(S_OK, loaded.LoadFile(path));
        for (const std::string& stale : planted)
            DeleteFileA(stale.c_str());
    }
}

// A temporary folder whose name holds accented letters, as a user's own
// name makes it: the operation files and the broadcast file name their
// pieces there, and the agent must find every one of them.
TEST_F(RequestTest, BroadcastInAnAccentedFolderNamesPiecesThatExist)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the folder name is Windows-1252; this process runs code page " << GetACP();
    const std::string folder = TempDir() + "Jos\xE9 M\xFCller\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());

    auto attachment = Attachment("%PDF-1.4");
    CBodyPart document(attachment.Get(), 1, "Vertr\xE4ge.pdf", "Attachment", "");
    OpSendDoc create(m_url);
    create.m_credentials = Sender();
    create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
    create.m_request.m_signers.AddTail(Recipient("t@example.com", 1, 0, kAccented[0], "K\xE4ufer"));
    create.m_request.m_sendOptions.m_receiptSubject = kAccented[0];
    create.m_request.m_sendOptions.m_categoryTags = kAccented[1];
    CString createPath;
    ASSERT_EQ(S_OK, create.SaveOpFile(createPath));
    OpAddDoc add(m_url);
    add.m_credentials = Demo();
    add.m_document = &document;
    CString addPath;
    ASSERT_EQ(S_OK, add.SaveOpFile(addPath));

    CBroadcast broadcast;
    broadcast.m_createSignaturePath = createPath;
    broadcast.m_addDocumentPaths.AddTail(addPath);
    broadcast.m_getLinkPath = createPath;
    broadcast.m_sendInvitePath = createPath;
    const char* written = broadcast.Write(create);
    ASSERT_NE(nullptr, written);
    const std::string broadcastPath = written;
    EXPECT_EQ(0u, broadcastPath.find(folder)) << broadcastPath;

    // Read back as the agent does.
    CXMLDoc loaded;
    ASSERT_EQ(S_OK, loaded.LoadFile(broadcastPath.c_str()));
    ASSERT_EQ(S_OK, loaded.GotoNode("/inkBroadcast"));
    CString text;
    ASSERT_EQ(S_OK, loaded.GetSingleNodeValue("ReceiptSubject", text));
    EXPECT_STREQ(kAccented[0], text);
    ASSERT_EQ(S_OK, loaded.GetSingleNodeValue("ReceiptCategory", text));
    EXPECT_STREQ(kAccented[1], text);
    std::vector<std::string> opFiles;
    for (const char* element : {"CreateSignature", "AddDocument"}) {
        ASSERT_EQ(S_OK, loaded.GetSingleNodeValue(element, text)) << element;
        opFiles.push_back(text.str());
    }
    EXPECT_EQ((std::vector<std::string>{createPath.str(), addPath.str()}), opFiles);
    size_t pieces = 0;
    for (const std::string& opFile : opFiles) {
        SCOPED_TRACE(opFile);
        CXMLDoc op;
        ASSERT_EQ(S_OK, op.LoadFile(opFile.c_str()));
        for (const char* piece : {"Head", "Recips", "Tail", "Options"}) {
            CString path;
            if (op.GetSingleNodeValue(std::string("/*/").append(piece).c_str(), path) != S_OK)
                continue;
            ++pieces;
            EXPECT_EQ(0, path.Find(folder.c_str())) << path;
            EXPECT_TRUE(FileExists(path.str())) << piece << " is not where the file says";
        }
    }
    EXPECT_EQ(6u, pieces) << "Head, Recips, Tail and Options, then Head and Tail";
    // The recipients piece names the target as typed.
    CXMLDoc recips;
    CString recipsPath;
    CXMLDoc op;
    ASSERT_EQ(S_OK, op.LoadFile(createPath));
    ASSERT_EQ(S_OK, op.GetSingleNodeValue("/OpSendDoc/Recips", recipsPath));
    ASSERT_EQ(S_OK, recips.LoadFile(recipsPath));
    ASSERT_EQ(S_OK, recips.GotoNode("/*"));
    ASSERT_EQ(S_OK, recips.LoadNodesByName("name"));
    ASSERT_EQ(S_OK, recips.GotoNodeAt(0));
    ASSERT_EQ(S_OK, recips.GetSingleNodeValue(text));
    EXPECT_STREQ(kAccented[0], text);
    create.FreeParts();
}

// ------------------------------------------------ the agent's files and requests

class TempFileRuleTest : public CleanProfileTest {};

TEST_F(TempFileRuleTest, OnlyTheAddinsTemporaryFilesAreTheAgents)
{
    CString made;
    CloseHandle(CreateNewTempFile(nullptr, ".xml", made));
    CString madeTmp;
    CloseHandle(CreateNewTempFile(nullptr, nullptr, madeTmp));
    CString scratch;
    CloseHandle(CreateNewTempFile(nullptr, nullptr, scratch, "qlt"));
    CFileMgr names;
    ASSERT_EQ(1, names.MakeTempName(".xml"));
    const std::string name = FileNameOf(made.str());
    const std::string temp = TempDir();
    const std::string beside = FolderOf(temp.substr(0, temp.size() - 1));
    std::string lower = name;
    std::transform(lower.begin() + 3, lower.end() - 4, lower.begin() + 3,
                   [](char c) { return static_cast<char>(tolower(c)); });
    const std::string folderNamed = temp + "Qui0123456789ABCDEF.xml";
    ASSERT_TRUE(CreateDirectoryA(folderNamed.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((temp + "sub").c_str(), nullptr));

    const struct {
        const char* what;
        std::string path;
        bool theAgents;
    } cases[] = {
        {"a piece the add-in made", made.str(), true},
        {"a request file the add-in made", madeTmp.str(), true},
        {"a name made but not yet created", names.GetFilePath().str(), true},
        {"a file that is gone", temp + "QuiFEDCBA9876543210.xml", true},
        {"the user's document in the temporary folder", temp + "thesis.docx", false},
        {"a scratch file, never handed on", scratch.str(), false},
        {"another ending", temp + name.substr(0, name.size() - 4) + ".docx", false},
        {"lower-case digits", temp + lower, false},
        {"a digit short", temp + name.substr(0, 18) + ".xml", false},
        {"a folder so named", folderNamed, false},
        {"in a folder below", temp + "sub\\" + name, false},
        {"beside the temporary folder", beside + name, false},
        {"through \"..\"", temp + "sub\\..\\" + name, false},
        {"through \".\"", temp + ".\\" + name, false},
        {"a forward slash", temp.substr(0, temp.size() - 1) + "/" + name, false},
        {"a doubled backslash", temp + "\\" + name, false},
        {"the name alone", name, false},
        {"a UNC path", "\\\\server\\share\\" + name, false},
        {"the long-path form", "\\\\?\\" + temp + name, false},
        {"the device form", "\\\\.\\" + temp + name, false},
        {"a stream of the file", made.str() + ":secret", false},
        {"a trailing dot", made.str() + ".", false},
        {"a device name", temp + "CON", false},
        {"nothing", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.theAgents, IsAddinTempFile(c.path.c_str())) << c.what << ": " << c.path;
    EXPECT_FALSE(IsAddinTempFile(nullptr));
    RemoveDirectoryA(folderNamed.c_str());
    RemoveDirectoryA((temp + "sub").c_str());
}

// A user's name makes the temporary folder's: "&" and accented letters
// reach the broadcast file as references. The agent reads it whole, and
// when it refuses the file (a DTD) it still finds every name in its text:
// nothing the add-in wrote stays.
TEST_F(RequestTest, ABroadcastInAFolderOfAnyNameIsReadAndLeavesNothing)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the folder name is Windows-1252; this process runs code page " << GetACP();
    const std::string folder = TempDir() + "Smith & Jos\xE9 M\xFCller\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
    // The add-in's side, its operations gone once the files are written.
    auto writeBroadcast = [this](CString& createPath) -> std::string {
        auto attachment = Attachment("%PDF-1.4");
        CBodyPart document(attachment.Get(), 1, "lease.pdf", "Attachment", "");
        OpSendDoc create(m_url);
        create.m_credentials = Sender();
        create.AppendPart(new CBodyPart(m_mail.Get(), 0, "Message Body", "Message Body", ""));
        create.m_request.m_signers.AddTail(Recipient("t@example.com", 1, 0, "T", "Buyer"));
        CBroadcast written;
        OpGetLink link(m_url);
        OpAddDoc add(m_url);
        add.m_document = &document;
        CString addPath;
        if (FAILED(create.SaveOpFile(written.m_createSignaturePath)) ||
            FAILED(link.SaveOpFile(written.m_getLinkPath)) || FAILED(add.SaveOpFile(addPath)))
            return {};
        written.m_addDocumentPaths.AddTail(addPath);
        createPath = written.m_createSignaturePath;
        const char* path = written.Write(create);
        create.FreeParts();
        return path ? path : "";
    };
    for (const bool withDtd : {false, true}) {
        SCOPED_TRACE(withDtd ? "with a DTD" : "as written");
        CString createPath;
        const std::string path = writeBroadcast(createPath);
        ASSERT_FALSE(path.empty());
        ASSERT_NE(std::string::npos, ReadFileBytes(path).find("Smith &amp; Jos&#233;"));
        if (withDtd)
            WriteFileBytes(path, "<!DOCTYPE x [<!ENTITY e \"e\">]>" + ReadFileBytes(path));

        CBroadcast read;
        read.m_broadcastPath = path.c_str();
        EXPECT_EQ(withDtd ? E_FAIL : S_OK, read.Load());
        if (!withDtd) {
            EXPECT_STREQ(createPath, read.m_createSignaturePath);
            EXPECT_EQ(8, read.m_pieceFiles.GetCount()) << "4 pieces, then 2 and 2";
        }
        read.DeleteFiles();
        EXPECT_EQ(std::vector<std::string>{}, ListFiles(folder));
    }
}

// The agent sends a queued request only when it can put it together whole,
// and says why when it cannot: nothing goes out, no request file stays.
TEST_F(QueuedTest, AQueuedRequestIsSentWholeOrNotAtAll)
{
    const std::string outside = FolderOf(TempDir().substr(0, TempDir().size() - 1)) + "thesis-" +
                                std::to_string(GetCurrentProcessId()) + ".docx";
    const std::string thesis = "%PDF-1.4 the user's own";
    WriteFileBytes(outside, thesis);
    const CString fileId("QF42");
    const CString noFileId;
    const struct {
        const char* what;
        bool upload;
        std::function<void(OpQuillet& op, CCastlet& head, CCastlet& tail)> spoil;
        const char* says;
    } cases[] = {
        {"a piece that is gone", false,
         [](OpQuillet&, CCastlet&, CCastlet& tail) { DeleteFileA(tail.m_path); },
         "its piece \"Tail\""},
        {"an empty piece", false,
         [](OpQuillet&, CCastlet& head, CCastlet&) { WriteFileBytes(head.m_path.str(), ""); },
         "its piece \"Head\""},
        {"a piece that is the user's", false,
         [&](OpQuillet&, CCastlet&, CCastlet& tail) {
             DeleteFileA(tail.m_path);
             tail.m_path = outside.c_str();
         },
         "not one of the add-in's files"},
        {"no file ID", false, [&](OpQuillet& op, CCastlet&, CCastlet&) { op.m_fileId = &noFileId; },
         "has no file ID"},
        {"more than a request other than an upload may hold", false,
         [](OpQuillet&, CCastlet&, CCastlet& tail) {
             HANDLE file =
                 CreateFileA(tail.m_path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             LARGE_INTEGER size{};
             size.QuadPart = CWireLimits::kSmallRequestBytes;
             SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
             SetEndOfFile(file);
             CloseHandle(file);
         },
         "33554432 bytes a request may hold"},
        {"more than an upload can be", true,
         [](OpQuillet&, CCastlet&, CCastlet& tail) {
             // Sparse: the length is looked at, never the bytes.
             HANDLE file =
                 CreateFileA(tail.m_path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             LARGE_INTEGER size{};
             size.QuadPart = CWireLimits::kDocumentRequestBytes;
             SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
             SetEndOfFile(file);
             CloseHandle(file);
         },
         "4294967295 bytes a request may hold"},
    };
    auto attachment = Attachment(RandomBytes(3000, 9));
    CBodyPart part(attachment.Get(), 1, "lease.pdf", "Attachment", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<OpQuillet> op;
        if (c.upload) {
            auto upload = std::make_unique<OpAddDoc>(m_url);
            upload->m_document = &part;
            op = std::move(upload);
        } else {
            op = std::make_unique<OpGetLink>(m_url);
        }
        op->m_credentials = Demo();
        const auto before = ListFiles(TempDir());
        CString opPath;
        ASSERT_EQ(S_OK, op->SaveOpFile(opPath));
        DeleteFileA(opPath);
        ASSERT_EQ(2, op->m_castlets.GetCount());
        CCastlet& head = *op->m_castlets.GetHead();
        CCastlet& tail = *op->m_castlets.GetTail();
        op->m_fileId = &fileId;
        c.spoil(*op, head, tail);

        EXPECT_EQ(0, op->Run(nullptr, 0, CWebSvrOp::kPrepare));
        EXPECT_NE(std::string::npos, op->GetErrorText().str().find(c.says))
            << op->GetErrorText().str();
        EXPECT_EQ(0u, Service().RequestCount());
        EXPECT_TRUE(thesis == ReadFileBytes(outside));
        for (CCastlet* castlet : op->m_castlets)
            castlet->m_delete = castlet->m_path != outside.c_str();
        op.reset();
        EXPECT_EQ(before, ListFiles(TempDir())) << "a request file stayed";
    }
    DeleteFileA(outside.c_str());
}

} // namespace
