// The SOAP engine and the account and status operations against the
// stand-in service, over real WinINet.
#include <algorithm>
#include <functional>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <winsock2.h>

#include "classlib/win32/CRegKey.h"
#include "shared/xml/Base64Coder.h"
#include "shared/config/Config.h"
#include "shared/requests/FileMgr.h"
#include "shared/service/NormalizeDate.h"
#include "shared/service/OpLogin.h"
#include "shared/service/OpReqPDF.h"
#include "shared/service/OpReqStat.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/SoapEnvelope.h"
#include "shared/service/WebSvrAPI.h"
#include "shared/service/WebService.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XMLIO.h"
#include "shared/xml/XmlEscape.h"
#include "shared/xml/XmlProlog.h"
#include "tests/support/DialogAnswerer.h"
#include "tests/support/Json.h"
#include "tests/support/StandInService.h"
#include "tests/support/SoapCallOp.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/StepRunner.h"
#include "tests/support/UploadOp.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.3";

class ServiceTest : public ServiceTestOn<kAddress> {
protected:
    // A request with these signers; its file ID.
    std::string CreateRequest(const std::string& signers)
    {
        SoapCallOp create(m_url, "CreateSignatureRequest",
                          SoapCallOp::CreateRequestElements(signers, "Contract"));
        EXPECT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        EXPECT_EQ(0, create.m_result.Find("QF")) << create.m_result;
        return create.m_result.str();
    }

    std::string WriteDocument(const std::string& bytes)
    {
        const std::string path = TempDir() + "document.bin";
        WriteFileBytes(path, bytes);
        return path;
    }
};

} // namespace

TEST_F(ServiceTest, RequestsCarryTheirHeadersAndEscapedElementsInOrder)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CWebSvrOp>(const char*, const CCredentials&)> make;
        const char* method;
        std::vector<std::pair<std::string, std::string>> elements;
    };
    CCredentials odd;
    odd.m_email = "o'brien&co<x>@example.com";
    odd.m_accountId = "API&<'\"";
    const Case cases[] = {
        {"GetUserInfo",
         [](const char* url, const CCredentials& c) {
             auto op = std::make_unique<OpLogin>(url);
             op->m_credentials = c;
             return std::unique_ptr<CWebSvrOp>(std::move(op));
         },
         "GetUserInfo",
         {{"pstr_APICode", "API&<'\""}, {"pstr_Email", "o'brien&co<x>@example.com"}}},
        {"GetFileStatus",
         [](const char* url, const CCredentials& c) {
             auto op = std::make_unique<OpReqStat>(url);
             op->m_credentials = c;
             op->m_fileId = "QF<1>&";
             return std::unique_ptr<CWebSvrOp>(std::move(op));
         },
         "GetFileStatus",
         {{"pstr_APICode", "API&<'\""}, {"pstr_FileID", "QF<1>&"}}},
        {"DownloadSignedDocument",
         [](const char* url, const CCredentials& c) {
             auto op = std::make_unique<OpReqPDF>(url);
             op->m_credentials = c;
             op->m_fileId = "QF7";
             op->m_documentId = "QD'9";
             return std::unique_ptr<CWebSvrOp>(std::move(op));
         },
         "DownloadSignedDocument",
         {{"pstr_APICode", "API&<'\""}, {"pstr_FileID", "QF7"}, {"pstr_DocumentID", "QD'9"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().Reset());
        auto op = c.make(m_url, odd);
        op->Run(nullptr, 0, CWebSvrOp::kPrepare); // the service refuses the account: no matter here
        auto requests = Service().Requests();
        ASSERT_EQ(1u, requests.size());
        const standin::Request& request = requests[0];
        EXPECT_EQ("POST", request.method);
        EXPECT_EQ("/services/gateway.asmx", request.path);
        EXPECT_EQ(std::string("\"") + kServiceNamespace + c.method + "\"",
                  request.Header("SOAPAction"));
        EXPECT_EQ("text/xml; charset=utf-8", request.Header("Content-Type"));
        EXPECT_EQ("Inkstave/1.2", request.Header("User-Agent"));
        EXPECT_EQ(c.method, request.soapMethod) << request.parseError;
        EXPECT_EQ(c.elements, request.elements) << "names, order and values survive escaping";
        EXPECT_EQ(std::string::npos, request.body.find("Brien&co")) << "raw '&' in the envelope";
        EXPECT_EQ(std::string::npos, request.body.find("never sent"));
    }
}

TEST_F(ServiceTest, LoginAcceptsTheAccountAndRefusesOthers)
{
    CCredentials demo = Demo();
    EXPECT_EQ(S_OK, m_protocol.Login(demo));

    CCredentials stranger = Demo();
    stranger.m_email = "someone.else@example.com";
    EXPECT_TRUE(FAILED(m_protocol.Login(stranger)));

    struct Case {
        const char* name;
        const char* kind;
        std::string fields;
    };
    const Case failures[] = {
        {"Fault", standin::kind::Fault, "\"faultstring\": \"Account locked\""},
        {"Malformed", standin::kind::Malformed, ""},
        {"Empty", standin::kind::Empty, ""},
        {"ResultNotXml", standin::kind::Result, "\"text\": \"plain words\""},
        {"ResultWithoutUser", standin::kind::Result, "\"text\": \"<Account/>\""},
        {"Http404", standin::kind::Http, "\"status\": 404"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().FailNext(c.kind, 1, nullptr, c.fields)) << Service().LastError();
        EXPECT_TRUE(FAILED(m_protocol.Login(demo))) << "a failed login never reads as valid";
    }
    EXPECT_EQ(S_OK, m_protocol.Login(demo)) << "behaviours used up";
}

TEST_F(ServiceTest, StatusCodesAndFaults)
{
    struct Case {
        const char* name;
        const char* kind;
        std::string fields;
        int result;
        HRESULT code;
        const char* errorText;
        const char* faultCode;
    };
    const Case cases[] = {
        {"Ok", nullptr, "", 1, S_OK, "", ""},
        {"Created", standin::kind::Http,
         "\"status\": 201, \"body\": \"<?xml version='1.0'?><soap:Envelope "
         "xmlns:soap='http://schemas.xmlsoap.org/soap/envelope/"
         "'><soap:Body><GetUserInfoResponse><GetUserInfoResult>&lt;User/&gt;</GetUserInfoResult></"
         "GetUserInfoResponse></soap:Body></soap:Envelope>\"",
         1, S_OK, "", ""},
        {"BadRequestWithFault", standin::kind::Fault,
         "\"status\": 400, \"faultstring\": \"Bad input\", \"faultcode\": \"soap:Client\"", 0,
         E_FAIL, "Bad input", "soap:Client"},
        {"ServerFault", standin::kind::Fault,
         "\"faultstring\": \"Server was unable to process request.\"", 0, E_FAIL,
         "Server was unable to process request.", "soap:Server"},
        {"ServerErrorPage", standin::kind::Http,
         "\"status\": 500, \"body\": \"<html><body>Oops</body></html>\"", 0, E_FAIL,
         "Malformed SOAP", "Malformed SOAP"},
        {"Redirect", standin::kind::Http,
         "\"status\": 302, \"headers\": [[\"Location\", \"http://127.0.0.3/elsewhere\"]]", 0,
         RPC_E_SERVERFAULT,
         "The signature service answered with HTTP status 302, sending the request on to "
         "\"http://127.0.0.3/elsewhere\".  A request to the service is never sent to another "
         "address: please check the service's address in the settings.",
         ""},
        {"NotFound", standin::kind::Http, "\"status\": 404", 0, RPC_E_SERVERFAULT, "", ""},
        {"Malformed", standin::kind::Malformed, "", 0, E_FAIL, "Malformed SOAP", "Malformed SOAP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().Reset());
        if (c.kind) {
            ASSERT_TRUE(Service().FailNext(c.kind, 1, nullptr, c.fields)) << Service().LastError();
        }
        OpLogin op(m_url);
        op.m_credentials = Demo();
        EXPECT_EQ(c.result, op.Run(nullptr, 0, CWebSvrOp::kPrepare));
        EXPECT_EQ(c.code, op.GetErrorCode()) << std::hex << op.GetErrorCode();
        EXPECT_STREQ(c.errorText, op.GetErrorText());
        EXPECT_STREQ(c.faultCode, op.GetFaultCode());
    }
}

// A response with a DTD is refused, in the envelope or in the XML text of
// a result, and nothing it names on this machine is read.
TEST_F(ServiceTest, ResponsesWithADtdAreRefused)
{
    const std::string secret = TempDir() + "secret.txt";
    WriteFileBytes(secret, "SECRET");
    std::string url = "file:///" + secret;
    for (char& ch : url)
        ch = ch == '\\' ? '/' : ch;
    const std::string envelope =
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
        "<GetUserInfoResponse><GetUserInfoResult>";
    const std::string envelopeEnd =
        "</GetUserInfoResult></GetUserInfoResponse></soap:Body></soap:Envelope>";
    const struct {
        const char* name;
        std::string body;
    } cases[] = {
        {"InTheEnvelope", "<?xml version=\"1.0\"?><!DOCTYPE soap:Envelope [<!ENTITY x SYSTEM \"" +
                              url + "\">]>" + envelope + "&lt;User&gt;&x;&lt;/User&gt;" +
                              envelopeEnd},
        {"InTheResult", "<?xml version=\"1.0\"?>" + envelope +
                            "&lt;!DOCTYPE User [&lt;!ENTITY x SYSTEM \"" + url +
                            "\"&gt;]&gt;&lt;User&gt;&amp;x;&lt;/User&gt;" + envelopeEnd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().Reset());
        ASSERT_TRUE(Service().FailNext(standin::kind::Http, 1, nullptr,
                                       "\"status\": 200, \"body\": " + standin::JsonQuote(c.body)))
            << Service().LastError();
        OpLogin op(m_url);
        op.m_credentials = Demo();
        EXPECT_EQ(0, op.Run(nullptr, 0, CWebSvrOp::kPrepare));
        EXPECT_EQ(kXmlDtdRefused, op.GetErrorCode()) << std::hex << op.GetErrorCode();
        EXPECT_EQ(-1, op.GetErrorText().Find("SECRET"));
    }
}

TEST_F(ServiceTest, EmptyResponseHeldAsTextSucceedsAndInAFileFails)
{
    ASSERT_TRUE(Service().FailNext(standin::kind::Empty, 2));
    SoapCallOp inMemory(m_url, "GetUserInfo", {{"pstr_APICode", "x"}}, false);
    EXPECT_EQ(1, inMemory.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(0, inMemory.GetBytesReceived());

    SoapCallOp toFile(m_url, "GetUserInfo", {{"pstr_APICode", "x"}}, true);
    EXPECT_EQ(0, toFile.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_STREQ("", toFile.GetErrorText());
    EXPECT_TRUE(FAILED(toFile.GetErrorCode()));
}

TEST_F(ServiceTest, NoServiceGivesTheConnectionFailure)
{
    m_protocol.Disconnect();
    WriteText(kProductKey, "Host", "127.0.0.250");
    CConfig config;
    CString url;
    ASSERT_EQ(S_OK, config.GetServiceUrl(url, "services/gateway.asmx"));
    ASSERT_EQ(S_OK, m_protocol.Connect(url));
    OpLogin op(url);
    op.m_credentials = Demo();
    EXPECT_EQ(0, op.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(CWebSvrOp::kConnectionFailed, op.GetErrorCode());
    EXPECT_STREQ("An internal exception has occurred.  Your connection to the remote service has "
                 "failed.  Please contact Technical Support.",
                 op.GetErrorText());
}

TEST_F(ServiceTest, DocumentsArriveByteForByteSteppedAndWhole)
{
    const std::string fileId = CreateRequest("signer@example.com");
    const size_t sizes[] = {0, 1, 4094, 4095, 8190, 64 * 1024};
    size_t uploads = 0;
    for (bool stepped : {false, true}) {
        for (size_t size : sizes) {
            SCOPED_TRACE(testing::Message() << (stepped ? "stepped " : "whole ") << size);
            const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
            UploadOp upload(m_url, fileId, WriteDocument(bytes));
            if (stepped) {
                SteppedRun run = RunStepped(upload);
                ASSERT_FALSE(run.timedOut);
                EXPECT_EQ(1, run.result) << upload.GetErrorText();
                EXPECT_EQ(CWebSvrOp::kDone, run.stages.back());
                EXPECT_EQ("", UploadProgressFault(run, upload.GetUploadSize()));
                if (size >= 64 * 1024) {
                    const auto sends =
                        std::count(run.stages.begin(), run.stages.end(), CWebSvrOp::kSend);
                    EXPECT_LT(sends, static_cast<long>(size / 4095))
                        << "the upload is not paced by one small write per message";
                }
            } else {
                EXPECT_EQ(1, upload.Run(nullptr, 0, CWebSvrOp::kPrepare)) << upload.GetErrorText();
            }
            EXPECT_EQ(upload.GetUploadSize(), upload.GetBytesSent());
            EXPECT_FALSE(FileExists(upload.m_requestPath.str())) << "the request file is removed";
            auto documents = Service().Documents(fileId);
            ASSERT_EQ(++uploads, documents.size());
            EXPECT_TRUE(documents.back().data == bytes) << "document differs";
        }
    }
}

TEST_F(ServiceTest, SteppedResponsesOfEverySizeArriveWhole)
{
    struct Case {
        int size;
        bool soap; // a valid answer padded to the size, or that many bytes of page
    };
    const Case cases[] = {{0, false},   {1, false},    {4096, false},        {4096, true},
                          {4097, true}, {4097, false}, {3 * 4096 + 1, true}, {20000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << (c.soap ? " soap" : " page"));
        if (c.soap) {
            ASSERT_TRUE(Service().FailNext(standin::kind::Padded, 1, nullptr,
                                           "\"size\": " + std::to_string(c.size)));
        } else {
            ASSERT_TRUE(Service().FailNext(standin::kind::Http, 1, nullptr,
                                           "\"status\": 200, \"body\": \"" +
                                               std::string(c.size, 'x') + "\""));
        }
        OpLogin op(m_url);
        op.m_credentials = Demo();
        SteppedRun run = RunStepped(op);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(c.soap ? 1 : 0, run.result) << op.GetErrorText();
        EXPECT_EQ(c.size, op.GetBytesReceived());
        EXPECT_TRUE(std::is_sorted(run.stages.begin(), run.stages.end()))
            << "a stage never runs after a later one";
        EXPECT_EQ(1, std::count(run.stages.begin(), run.stages.end(), CWebSvrOp::kPrepare));
    }
}

TEST_F(ServiceTest, SteppedFailureIsNeverFollowedByTheLastStage)
{
    ASSERT_TRUE(Service().FailNext(standin::kind::Fault, 1, nullptr, "\"faultstring\": \"No\""));
    OpLogin op(m_url);
    op.m_credentials = Demo();
    SteppedRun run = RunStepped(op, 3000);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(CWebSvrOp::kRead, run.stages.back());
    EXPECT_EQ(0, std::count(run.stages.begin(), run.stages.end(), CWebSvrOp::kDone));
    EXPECT_STREQ("No", op.GetErrorText());
}

TEST_F(ServiceTest, AnOperationDroppedMidUploadRemovesItsRequestFile)
{
    // A service of its own: the connection left half-sent behind the dropped
    // upload is of no use to the next test's requests.
    CStandInService other("127.0.0.4");
    ASSERT_TRUE(other.Start()) << other.LastError();
    m_protocol.Disconnect();
    WriteText(kProductKey, "Host", "127.0.0.4");
    CString url;
    ASSERT_EQ(S_OK, CConfig().GetServiceUrl(url, "services/gateway.asmx"));
    ASSERT_EQ(S_OK, m_protocol.Connect(url));

    HWND sink = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int lastStage : {CWebSvrOp::kPrepare, CWebSvrOp::kSend}) {
        SCOPED_TRACE(lastStage);
        auto upload = std::make_unique<UploadOp>(url, "QF1", WriteDocument(RandomBytes(50000, 5)));
        for (int stage = CWebSvrOp::kPrepare; stage <= lastStage; ++stage)
            ASSERT_EQ(1, upload->Run(sink, WM_USER + 100, stage)) << upload->GetErrorText();
        const std::string requestPath = upload->m_requestPath.str();
        EXPECT_TRUE(FileExists(requestPath));
        upload.reset();
        EXPECT_FALSE(FileExists(requestPath));
    }
    DestroyWindow(sink);
    m_protocol.Disconnect();
}

TEST_F(ServiceTest, TraceFileKeepsOneClosingTagAcrossRuns)
{
    WriteDword(kAdvancedKey, "LogXML", 1);
    for (int run = 0; run < 2; ++run) {
        OpLogin op(m_url);
        op.m_credentials = Demo();
        EXPECT_EQ(1, op.Run(nullptr, 0, CWebSvrOp::kPrepare));
    }
    const std::string trace = ReadFileBytes(TempDir() + "\\QuilletDebug.xml");
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(0u, trace.find("<XmlLog>\n"));
    EXPECT_EQ(trace.size() - 10, trace.find("</XmlLog>\n"));
    EXPECT_EQ(trace.find("</XmlLog>"), trace.rfind("</XmlLog>")) << "exactly one closing tag";
    size_t requests = 0;
    for (size_t at = trace.find("<m:GetUserInfo "); at != std::string::npos;
         at = trace.find("<m:GetUserInfo ", at + 1))
        ++requests;
    EXPECT_EQ(2u, requests);
    EXPECT_NE(std::string::npos, trace.find("GetUserInfoResult")) << "responses are traced too";

    // A trace cut short (no closing tag) is added to, not overwritten.
    WriteFileBytes(TempDir() + "QuilletDebug.xml", "<XmlLog>\npartial");
    OpLogin op(m_url);
    op.m_credentials = Demo();
    EXPECT_EQ(1, op.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_EQ(0u, ReadFileBytes(TempDir() + "QuilletDebug.xml").find("<XmlLog>\npartial<SOAP-ENV"));
}

TEST_F(ServiceTest, StatusCountsTheSignersWhoSigned)
{
    const std::string fileId = CreateRequest("a@example.com,b@example.com,c@example.com");
    UploadOp upload(m_url, fileId, WriteDocument("%PDF-1.4 contract"));
    ASSERT_EQ(1, upload.Run(nullptr, 0, CWebSvrOp::kPrepare)) << upload.GetErrorText();

    struct Step {
        const char* signer;
        int percent;
    };
    const Step steps[] = {
        {nullptr, 0}, {"a@example.com", 33}, {"c@example.com", 66}, {"b@example.com", 100}};
    for (const Step& step : steps) {
        if (step.signer) {
            ASSERT_TRUE(Service().SetSigned(fileId, step.signer));
        }
        OpReqStat status(m_url);
        status.m_credentials = Demo();
        status.m_fileId = fileId.c_str();
        ASSERT_EQ(1, status.Run(nullptr, 0, CWebSvrOp::kPrepare)) << status.GetErrorText();
        EXPECT_EQ(step.percent, status.m_envStat.m_percentSigned);
        EXPECT_STREQ(upload.m_result, status.m_documentId) << "the first document's ID";
    }
}

TEST_F(ServiceTest, StatusResultsThatLackWhatIsReadFail)
{
    struct Case {
        const char* name;
        const char* result;
        int percent; // -1: the run fails
    };
    const Case cases[] = {
        {"NoFile", "<Other/>", -1},
        {"NoDocument", "<File><Signer><Signed>1</Signed></Signer></File>", -1},
        {"NoSigners", "<File><Document><DocumentID>D1</DocumentID></Document></File>", 7},
        {"SignedMustBeExactlyOne",
         "<File><Document><DocumentID>D1</DocumentID></Document>"
         "<Signer><Signed>1.0</Signed></Signer><Signer><Signed>yes</Signed></Signer>"
         "<Signer><Signed>1</Signed></Signer></File>",
         33},
        {"NotXml", "plain words", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().FailNext(standin::kind::Result, 1, nullptr,
                                       std::string("\"text\": \"") + c.result + "\""));
        OpReqStat status(m_url);
        status.m_credentials = Demo();
        status.m_fileId = "QF1";
        status.m_envStat.m_percentSigned = 7;
        const int result = status.Run(nullptr, 0, CWebSvrOp::kPrepare);
        if (c.percent < 0) {
            EXPECT_EQ(0, result);
            EXPECT_TRUE(FAILED(status.GetErrorCode()));
        } else {
            EXPECT_EQ(1, result);
            EXPECT_EQ(c.percent, status.m_envStat.m_percentSigned);
        }
    }
}

TEST_F(ServiceTest, SignedCopyOfSeveralMegabytesArrivesIntact)
{
    const std::string fileId = CreateRequest("a@example.com");
    UploadOp upload(m_url, fileId, WriteDocument("%PDF-1.4 original"));
    ASSERT_EQ(1, upload.Run(nullptr, 0, CWebSvrOp::kPrepare));
    const std::string signedPdf = RandomBytes(3 * 1024 * 1024 + 17, 99);
    ASSERT_TRUE(Service().SetSignedPdf(fileId, upload.m_result.str(), signedPdf));

    OpReqPDF early(m_url);
    early.m_credentials = Demo();
    early.m_fileId = fileId.c_str();
    early.m_documentId = upload.m_result;
    EXPECT_EQ(0, early.Run(nullptr, 0, CWebSvrOp::kPrepare)) << "not signed yet";
    EXPECT_EQ(0, early.GetErrorText().Find("ERROR:")) << early.GetErrorText();
    EXPECT_FALSE(early.m_finalPdf);

    ASSERT_TRUE(Service().SetSigned(fileId));
    // The answer is scanned as it comes; with the trace on, which keeps it
    // whole, it goes to its file first.
    for (const bool traced : {false, true}) {
        SCOPED_TRACE(traced ? "traced" : "scanned as it came");
        WriteDword(kAdvancedKey, "LogXML", traced ? 1 : 0);
        OpReqPDF download(m_url);
        download.m_credentials = Demo();
        download.m_fileId = fileId.c_str();
        download.m_documentId = upload.m_result;
        SteppedRun run = RunStepped(download);
        ASSERT_EQ(1, run.result) << download.GetErrorText();
        ASSERT_TRUE(download.m_finalPdf);
        CString pdfPath;
        ASSERT_EQ(S_OK, CXMLIO::DecodeFileToTemp(download.m_finalPdf->GetBase64Path(),
                                                 "Signed Copy %s.pdf", pdfPath));
        EXPECT_EQ(0, pdfPath.Find((TempDir() + "Signed Copy Qui").c_str())) << pdfPath;
        EXPECT_TRUE(ReadFileBytes(pdfPath.str()) == signedPdf) << "signed copy differs";
        DeleteFileA(pdfPath);
        const std::string trace = ReadFileBytes(TempDir() + "QuilletDebug.xml");
        EXPECT_EQ(traced, trace.find("<DownloadSignedDocumentResult>") != std::string::npos);
    }
}

TEST_F(ServiceTest, SignedCopyRefusedByAFaultSaysWhy)
{
    ASSERT_TRUE(Service().FailNext(standin::kind::Fault, 1, nullptr, "\"faultstring\": \"Gone\""));
    OpReqPDF download(m_url);
    download.m_credentials = Demo();
    download.m_fileId = "QF1";
    download.m_documentId = "QD1";
    EXPECT_EQ(0, download.Run(nullptr, 0, CWebSvrOp::kPrepare));
    EXPECT_STREQ("Gone", download.GetErrorText());
    EXPECT_TRUE(FAILED(download.GetErrorCode()));
    EXPECT_FALSE(download.m_finalPdf);

    ASSERT_TRUE(Service().FailNext(standin::kind::Result, 1, nullptr, "\"text\": \"\""));
    OpReqPDF empty(m_url);
    empty.m_credentials = Demo();
    EXPECT_EQ(0, empty.Run(nullptr, 0, CWebSvrOp::kPrepare)) << "an empty result is no document";
}

// A signed copy is taken only from a SOAP answer with one result at its
// place: whatever else comes back fails, keeps no file, and says why: the
// service's own words when it gave any, else that no copy could be read.
TEST_F(ServiceTest, SignedCopyFromAnythingButItsAnswerIsRefused)
{
    const std::string result = "<DownloadSignedDocumentResult>QUJD</DownloadSignedDocumentResult>";
    const std::string response = "<DownloadSignedDocumentResponse xmlns=\"" +
                                 std::string(kServiceNamespace) + "\">" + result +
                                 "</DownloadSignedDocumentResponse>";
    const auto envelope = [](const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
               "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>" +
               body + "</soap:Body></soap:Envelope>";
    };
    const std::string fault = "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>Not "
                              "yours</faultstring><detail>" +
                              response + "</detail></soap:Fault>";
    const auto http = [](int status, const char* type, const std::string& body) {
        return "\"status\": " + std::to_string(status) + ", \"contentType\": \"" + type +
               "\", \"body\": " + standin::JsonQuote(body);
    };
    struct Case {
        const char* name;
        const char* kind;
        std::string fields;
        const char* errorText;
    };
    const char* const kUnreadable =
        "The signature service's answer holds no signed copy that can be read.";
    const Case cases[] = {
        {"ResultInAFaultsDetail", standin::kind::Http, http(500, "text/xml", envelope(fault)),
         "Not yours"},
        {"FaultBesideAResult", standin::kind::Http,
         http(200, "text/xml", envelope(fault + response)), "Not yours"},
        {"ResultWithoutAnEnvelope", standin::kind::Http, http(200, "text/xml", response),
         kUnreadable},
        {"PageOf503HoldingAResult", standin::kind::Http,
         http(503, "text/html", "<html><body>" + response + "</body></html>"), ""},
        {"PageOf200HoldingAResult", standin::kind::Http,
         http(200, "text/html", "<html><body>" + response + "</body></html>"), kUnreadable},
        {"ErrorReportAfterBlanks", standin::kind::Result,
         "\"text\": " + standin::JsonQuote(" \n\t ERROR: Document not signed. \n"),
         "ERROR: Document not signed."},
        {"TwoResults", standin::kind::Http,
         http(200, "text/xml",
              envelope("<DownloadSignedDocumentResponse>" + result + result +
                       "</DownloadSignedDocumentResponse>")),
         kUnreadable},
        {"TwoResponses", standin::kind::Http, http(200, "text/xml", envelope(response + response)),
         kUnreadable},
        {"ResultThatIsNotBase64", standin::kind::Result, "\"text\": \"QUJD=QUJD\"", kUnreadable},
        {"BlanksOnly", standin::kind::Result, "\"text\": \" \\r\\n \"", kUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().FailNext(c.kind, 1, nullptr, c.fields));
        {
            OpReqPDF download(m_url);
            download.m_credentials = Demo();
            download.m_fileId = "QF1";
            download.m_documentId = "QD1";
            EXPECT_EQ(0, download.Run(nullptr, 0, CWebSvrOp::kPrepare));
            EXPECT_TRUE(FAILED(download.GetErrorCode()));
            EXPECT_STREQ(c.errorText, download.GetErrorText());
            EXPECT_FALSE(download.m_finalPdf);
        }
        EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "a file of the answer was left behind";
    }
}

TEST_F(ServiceTest, ProtocolNeedsItsObjectAndReusesItsConnection)
{
    ServiceGlobals().protocol = nullptr;
    CWebService web;
    EXPECT_EQ(E_INVALIDARG, web.FireUpProtocol(nullptr));
    ServiceGlobals().protocol = &m_protocol;

    CHttpConnection* connection = ServiceGlobals().connection;
    ASSERT_NE(nullptr, connection);
    EXPECT_EQ(S_OK, web.FireUpProtocol("http://127.0.0.3/other/path.asmx"));
    EXPECT_EQ(connection, ServiceGlobals().connection) << "the open connection stays in use";
    EXPECT_STREQ("http://127.0.0.3/other/path.asmx", ServiceGlobals().api->GetServiceUrl());
    EXPECT_EQ(S_OK, web.FireUpProtocol(nullptr));
    EXPECT_STREQ("http://127.0.0.3/services/gateway.asmx", ServiceGlobals().api->GetServiceUrl());

    // The connection goes with the API, and nothing points at either after.
    m_protocol.Disconnect();
    EXPECT_EQ(nullptr, ServiceGlobals().api);
    EXPECT_EQ(nullptr, ServiceGlobals().connection) << "a pointer outlived the connection";
    EXPECT_EQ(S_OK, web.FireUpProtocol(nullptr)) << "a new API connects again";
    ASSERT_NE(nullptr, ServiceGlobals().api);
    EXPECT_TRUE(ServiceGlobals().api->IsOpen());
    EXPECT_NE(nullptr, ServiceGlobals().connection);
    OpLogin login(ServiceGlobals().api->GetServiceUrl());
    login.m_credentials = Demo();
    EXPECT_EQ(1, login.Run(nullptr, 0, CWebSvrOp::kPrepare)) << login.GetErrorText();
}

TEST(NormalizeDateTest, MonthDayYear)
{
    struct Case {
        const char* in;
        int result;
        const char* out;
    };
    const Case cases[] = {
        {"1/2/2012", 1, "01/02/2012"},
        {"12/31/99", 1, "12/31/0099"},
        {"2012-01-02", 0, "2012-01-02"},
        {"", 0, ""},
        {"1/2", 0, "1/2"},
        {"x/y/z", 1, "00/00/0000"},
        {"3a/4b/2020c", 1, "03/04/2020"},
    };
    for (const Case& c : cases) {
        CString text(c.in);
        EXPECT_EQ(c.result, NormalizeDate(text)) << c.in;
        EXPECT_STREQ(c.out, text) << c.in;
    }
}

namespace {

// The system's proxy setting for the life of the object; the old one comes
// back even when the test stops early.
class SystemProxy {
public:
    explicit SystemProxy(const std::string& server)
        : m_enabled(ReadValue(kSettings, "ProxyEnable")),
          m_server(ReadValue(kSettings, "ProxyServer"))
    {
        WriteDword(kSettings, "ProxyEnable", 1);
        WriteText(kSettings, "ProxyServer", server, true);
    }
    ~SystemProxy()
    {
        Restore("ProxyEnable", m_enabled);
        Restore("ProxyServer", m_server);
    }

private:
    static constexpr const char* kSettings =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

    static void Restore(const char* name, const std::optional<RegValue>& value)
    {
        CRegKey key;
        if (key.Open(HKEY_CURRENT_USER, kSettings, KEY_ALL_ACCESS) != ERROR_SUCCESS)
            return;
        if (value)
            (void)key.SetValue(name, value->type, value->data.data(),
                               static_cast<DWORD>(value->data.size()));
        else
            (void)key.DeleteValue(name);
    }

    std::optional<RegValue> m_enabled;
    std::optional<RegValue> m_server;
};

} // namespace

// A top-level window of this thread, standing for the host's (Outlook's).
class HostWindow {
public:
    HostWindow()
        : m_window(CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr))
    {}
    ~HostWindow() { DestroyWindow(m_window); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND Get() const { return m_window; }

private:
    HWND m_window;
};

TEST_F(ServiceTest, ProxyChallengeAsksTheOwnerAndResendsOnlyWhenToldTo)
{
    struct Case {
        const char* name;
        int challenges;
        int button; // pressed in the proxy's dialog
        int result;
        HRESULT code;
        size_t requests; // 0: more than one, as WinINet sees fit
    };
    const Case cases[] = {
        {.name = "CredentialsGiven",
         .challenges = 1,
         .button = IDOK,
         .result = 1,
         .code = S_OK,
         .requests = 2},
        {.name = "Cancelled",
         .challenges = 1,
         .button = IDCANCEL,
         .result = 0,
         .code = RPC_E_SERVERFAULT,
         .requests = 1},
        // Every request challenged (0: no end); WinINet itself meets a
        // challenge with the credentials given, so the count is its own.
        {.name = "RefusedAgain",
         .challenges = 0,
         .button = IDOK,
         .result = 0,
         .code = RPC_E_SERVERFAULT,
         .requests = 0},
    };
    // A challenge comes from a proxy: the system's proxy setting names the
    // stand-in, which answers proxied requests too.
    SystemProxy proxy(std::string(kAddress) + ":80");
    HostWindow owner;
    // A challenge with a body of some size: the resend can go over the
    // same connection only once all of it has been read.
    const std::string challenge =
        "\"body\": \"<html><body>" + std::string(200 * 1024, 'x') + "</body></html>\"";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A session of its own: one keeps the proxy credentials given in
        // its dialog and meets the next challenge with them unasked.
        m_protocol.Disconnect();
        ASSERT_EQ(S_OK, m_protocol.Connect(m_url));
        ASSERT_TRUE(Service().Reset());
        ASSERT_TRUE(Service().FailNext(standin::kind::ProxyAuth, c.challenges, nullptr, challenge));
        OpLogin op(m_url);
        op.m_credentials = Demo();
        op.SetOwner(owner.Get());
        int result = 0;
        std::vector<HWND> owners;
        {
            CDialogAnswerer answerer(c.button);
            result = op.Run(nullptr, 0, CWebSvrOp::kPrepare);
            owners = answerer.Owners();
        }
        EXPECT_EQ(c.result, result) << op.GetErrorText();
        EXPECT_EQ(c.code, op.GetErrorCode());
        ASSERT_EQ(1u, owners.size()) << "the proxy dialog comes up once";
        EXPECT_EQ(owner.Get(), owners[0]) << "the proxy dialog belongs to the caller's window";
        const auto requests = Service().Requests();
        if (c.requests) {
            ASSERT_EQ(c.requests, requests.size()) << "resent only when the dialog asked";
        } else {
            ASSERT_GE(requests.size(), 2u);
        }
        if (requests.size() >= 2) {
            EXPECT_EQ(requests[0].client, requests[1].client)
                << "the challenge was not read before the resend";
        }
        if (!result) {
            EXPECT_NE(std::string::npos, op.GetErrorText().str().find("proxy server"))
                << op.GetErrorText();
        }
    }

    // A request sent from its file goes again whole, in as many pieces.
    m_protocol.Disconnect();
    ASSERT_EQ(S_OK, m_protocol.Connect(m_url));
    ASSERT_TRUE(Service().Reset());
    const std::string fileId = CreateRequest("signer@example.com");
    const std::string bytes = RandomBytes(2 * 1024 * 1024 + 7, 21);
    ASSERT_TRUE(Service().FailNext(standin::kind::ProxyAuth, 1));
    UploadOp upload(m_url, fileId, WriteDocument(bytes));
    upload.SetOwner(owner.Get());
    {
        CDialogAnswerer answerer(IDOK);
        EXPECT_EQ(1, upload.Run(nullptr, 0, CWebSvrOp::kPrepare)) << upload.GetErrorText();
        EXPECT_EQ(1u, answerer.Captions().size());
    }
    EXPECT_EQ(upload.GetUploadSize(), upload.GetBytesSent());
    const auto requests = Service().Requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ(requests[1].body, requests[2].body) << "the second sending differs from the first";
    EXPECT_EQ(upload.GetUploadSize(), requests[2].body.size());
    const auto documents = Service().Documents(fileId);
    ASSERT_EQ(1u, documents.size());
    EXPECT_TRUE(documents[0].data == bytes) << "the document differs";
    EXPECT_FALSE(FileExists(upload.m_requestPath.str())) << "the request file is removed";

    // Cancelled, an upload leaves no request file either.
    m_protocol.Disconnect();
    ASSERT_EQ(S_OK, m_protocol.Connect(m_url));
    ASSERT_TRUE(Service().FailNext(standin::kind::ProxyAuth, 1));
    UploadOp cancelled(m_url, fileId, WriteDocument(bytes));
    cancelled.SetOwner(owner.Get());
    {
        CDialogAnswerer answerer(IDCANCEL);
        EXPECT_EQ(0, cancelled.Run(nullptr, 0, CWebSvrOp::kPrepare));
    }
    EXPECT_FALSE(FileExists(cancelled.m_requestPath.str())) << "the request file is removed";

    m_protocol.Disconnect();
}

namespace {

// Counts the ticks of a thread timer of the host's window while a login
// runs: each is a message the host's thread dispatched meanwhile.
struct HostWatch {
    HWND window = nullptr;
    int ticks = 0;
    int ticksDisabled = 0; // ticks that found the window disabled
    int quitAtTick = 0;    // posts WM_QUIT at this tick (0: never)
};
HostWatch* g_watch = nullptr;

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD)
{
    HostWatch& watch = *g_watch;
    ++watch.ticks;
    if (!IsWindowEnabled(watch.window))
        ++watch.ticksDisabled;
    if (watch.ticks == watch.quitAtTick)
        PostQuitMessage(7);
}

} // namespace

// The login waits for a slow service without holding up its caller's
// thread: the host's window goes on getting its messages, disabled as a
// modal dialog's owner is, and is enabled again at the end.
TEST_F(ServiceTest, LoginKeepsItsCallersThreadAnswering)
{
    struct Case {
        const char* name;
        int quitAtTick;
        const char* delay; // how long the service keeps the login waiting
        HRESULT result;
    };
    // A login given up at the quit ends long before the service answers,
    // however busy the machine.
    const Case cases[] = {
        {.name = "Answered", .quitAtTick = 0, .delay = "2", .result = S_OK},
        {.name = "QuitMeanwhile", .quitAtTick = 5, .delay = "30", .result = E_ABORT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostWindow host;
        HostWatch watch{.window = host.Get(), .quitAtTick = c.quitAtTick};
        g_watch = &watch;
        const UINT_PTR timer = SetTimer(host.Get(), 1, 50, CountTick);
        ASSERT_TRUE(Service().FailNext(standin::kind::Slow, 1, nullptr,
                                       std::string("\"delay\": ") + c.delay));
        m_protocol.SetOwner(host.Get());
        CCredentials demo = Demo();
        const ULONGLONG started = GetTickCount64();
        const HRESULT hr = m_protocol.Login(demo);
        const ULONGLONG took = GetTickCount64() - started;
        KillTimer(host.Get(), timer);
        m_protocol.SetOwner(nullptr);
        g_watch = nullptr;

        EXPECT_EQ(c.result, hr);
        EXPECT_TRUE(IsWindowEnabled(host.Get())) << "the host's window stays disabled";
        if (c.quitAtTick) {
            MSG quit;
            EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
                << "the quit was swallowed";
            EXPECT_EQ(7u, quit.wParam);
            EXPECT_LT(took, 15000u) << "the login went on after the quit";
        } else {
            EXPECT_GE(took, 2000u) << "the service was not slow enough to show";
            // 50 ms ticks over two seconds, 40 on a quiet machine; a
            // thread held up for the whole login would see one at its end.
            EXPECT_GE(watch.ticks, 5) << "the host's thread was held up";
            EXPECT_EQ(watch.ticks, watch.ticksDisabled) << "the host could be used meanwhile";
        }
        // The service was never left waiting on a connection that
        // nobody reads: the next login goes through.
        ASSERT_TRUE(Service().ClearBehaviours());
        CCredentials again = Demo();
        EXPECT_EQ(S_OK, m_protocol.Login(again));
    }
}

// A secure connection that cannot be made says why, in words the user can
// act on, and nothing reaches the service: a certificate for another name
// (the service's names 127.0.0.1, not "127.1", which reaches it too), and a
// server on the secure port that speaks no TLS at all.
TEST_F(ServiceTest, SecureConnectionFailuresSayWhy)
{
    CStandInService named("127.0.0.1", true);
    ASSERT_TRUE(named.Start()) << named.LastError();

    // A server on 443 that answers in plain text, whatever is sent.
    WSADATA winsock{};
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &winsock));
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, listener);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(443);
    at.sin_addr.s_addr = htonl(0x7f000006); // 127.0.0.6
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at));
    ASSERT_EQ(0, listen(listener, 4));
    std::thread plain([listener] {
        for (;;) {
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            static const char kAnswer[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
            send(client, kAnswer, sizeof kAnswer - 1, 0);
            closesocket(client);
        }
    });

    struct Case {
        const char* host;
        const char* text;
    };
    const Case cases[] = {
        {"127.1", "certificate was not issued for 127.1"},
        {"127.0.0.6", "No secure connection could be made with 127.0.0.6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        m_protocol.Disconnect();
        WriteText(kProductKey, "Host", c.host);
        WriteDword(kProductKey, "SSL", 1);
        CString url;
        ASSERT_EQ(S_OK, CConfig().GetServiceUrl(url, "services/gateway.asmx"));
        ASSERT_EQ(S_OK, m_protocol.Connect(url));
        OpLogin login(url);
        login.m_credentials = Demo();
        EXPECT_EQ(0, login.Run(nullptr, 0, CWebSvrOp::kPrepare));
        EXPECT_NE(std::string::npos, login.GetErrorText().str().find(c.text))
            << login.GetErrorText();
        EXPECT_TRUE(FAILED(login.GetErrorCode()));
        m_protocol.Disconnect();
    }
    EXPECT_EQ(0u, named.Requests().size()) << "a request went out over a refused connection";
    closesocket(listener);
    plain.join();
    WSACleanup();
}

TEST_F(ServiceTest, SecureSettingSpeaksTlsOnPort443)
{
    CStandInService secure("127.0.0.5", true);
    ASSERT_TRUE(secure.Start()) << secure.LastError();
    m_protocol.Disconnect();
    WriteText(kProductKey, "Host", "127.0.0.5");
    WriteDword(kProductKey, "SSL", 1);
    CString url;
    ASSERT_EQ(S_OK, CConfig().GetServiceUrl(url, "services/gateway.asmx"));
    EXPECT_STREQ("https://127.0.0.5/services/gateway.asmx", url);
    ASSERT_EQ(S_OK, m_protocol.Connect(url));

    CCredentials demo = Demo();
    EXPECT_EQ(S_OK, m_protocol.Login(demo));
    auto requests = secure.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_TRUE(requests[0].tls);
    EXPECT_EQ("GetUserInfo", requests[0].soapMethod);
    m_protocol.Disconnect();
}
