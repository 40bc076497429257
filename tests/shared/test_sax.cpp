#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/com/CComPtr.h"
#include "shared/service/FinalPDF.h"
#include "shared/xml/SAXContentHandler.h"
#include "shared/service/SAXFinalPDF.h"
#include "shared/xml/Base64Coder.h"
#include "shared/xml/XmlProlog.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

using namespace testenv;

namespace {

constexpr const wchar_t* kResponseW = L"DownloadSignedDocumentResponse";
constexpr const wchar_t* kResultW = L"DownloadSignedDocumentResult";

// Base64-looking text that differs along its whole length, so that a lost,
// doubled or reordered piece shows.
std::string Base64Text(size_t length)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text(length, 'A');
    for (size_t i = 0; i < length; ++i)
        text[i] = alphabet[(i * 7 + i / 64) % 64];
    return text;
}

std::string Envelope(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
           "<soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

std::string ResponseWith(const std::string& inner)
{
    return Envelope("<DownloadSignedDocumentResponse xmlns=\"http://quillet.example/ws/\">" +
                    inner + "</DownloadSignedDocumentResponse>");
}

std::string ResultResponse(const std::string& result)
{
    return ResponseWith("<DownloadSignedDocumentResult>" + result +
                        "</DownloadSignedDocumentResult>");
}

// The signed-document reader with its pieces and its end in view.
class CWatchedFinalPDF : public CSAXFinalPDF {
public:
    explicit CWatchedFinalPDF(CFinalPDF* target, bool* gone = nullptr)
        : CSAXFinalPDF(target), m_gone(gone)
    {}

    std::vector<int> m_pieces;

protected:
    ~CWatchedFinalPDF() override
    {
        if (m_gone)
            *m_gone = true;
    }

    bool WritePiece(CFile& file, const wchar_t* text, int length) override
    {
        m_pieces.push_back(length);
        return CSAXFinalPDF::WritePiece(file, text, length);
    }

private:
    bool* m_gone;
};

// Calls as the reader makes them, with a namespace prefix on the qualified
// name to show that only the local name counts.
void Start(ISAXContentHandler& handler, const wchar_t* name)
{
    const std::wstring qName = std::wstring(L"m:") + name;
    const int length = static_cast<int>(std::wcslen(name));
    EXPECT_EQ(S_OK, handler.startElement(L"urn:q", 5, name, length, qName.c_str(),
                                         static_cast<int>(qName.size()), nullptr));
}

void End(ISAXContentHandler& handler, const wchar_t* name)
{
    const std::wstring qName = std::wstring(L"m:") + name;
    const int length = static_cast<int>(std::wcslen(name));
    EXPECT_EQ(S_OK, handler.endElement(L"urn:q", 5, name, length, qName.c_str(),
                                       static_cast<int>(qName.size())));
}

// The SOAP envelope and body, which a response must stand in to count.
void OpenBody(ISAXContentHandler& handler)
{
    static const wchar_t kSoap[] = L"http://schemas.xmlsoap.org/soap/envelope/";
    const int soapLength = static_cast<int>(std::wcslen(kSoap));
    EXPECT_EQ(S_OK, handler.startElement(kSoap, soapLength, L"Envelope", 8, L"soap:Envelope", 13,
                                         nullptr));
    EXPECT_EQ(S_OK, handler.startElement(kSoap, soapLength, L"Body", 4, L"soap:Body", 9, nullptr));
}

void Characters(ISAXContentHandler& handler, const std::wstring& text)
{
    EXPECT_EQ(S_OK, handler.characters(text.data(), static_cast<int>(text.size())));
}

class SaxTest : public CleanProfileTest {
protected:
    std::string WriteResponse(const std::string& xml, const std::string& name = "response.xml")
    {
        const std::string path = TempDir() + name;
        const size_t slash = name.rfind('\\');
        if (slash != std::string::npos)
            CreateDirectoryA((TempDir() + name.substr(0, slash)).c_str(), nullptr);
        WriteFileBytes(path, xml);
        return path;
    }
};

struct CCountedElem : CXMLElem {
    explicit CCountedElem(const char* name) : CXMLElem(name) { ++s_alive; }
    ~CCountedElem() override { --s_alive; }
    static int s_alive;
};
int CCountedElem::s_alive = 0;

} // namespace

// ---- The signed-document response, read from a file ----

TEST_F(SaxTest, ResultStreamsWholeIntoTheBase64File)
{
    const std::string tenThousand = Base64Text(10000);
    const std::string megabytes = Base64Text(3 * 1024 * 1024 + 5);
    struct Case {
        const char* name;
        std::string fileName;
        std::string response;
        std::string expected;
    };
    const Case cases[] = {
        {"TenThousandCharacters", "response.xml", ResultResponse(tenThousand), tenThousand},
        {"SeveralMegabytes", "response.xml", ResultResponse(megabytes), megabytes},
        // The reader hands line ends and each character reference over in
        // calls of their own.
        {"LinesAndReferences", "response.xml", ResultResponse("QUJD\nREVG&#43;/&#61;&#61;\nR0hJ"),
         "QUJD\nREVG+/==\nR0hJ"},
        {"PrefixedElementsInAFolderWithSpaces", "Local Settings\\response.xml",
         Envelope("<m:DownloadSignedDocumentResponse xmlns:m=\"http://quillet.example/ws/\">"
                  "<m:DownloadSignedDocumentResult>" +
                  tenThousand +
                  "</m:DownloadSignedDocumentResult></m:DownloadSignedDocumentResponse>"),
         tenThousand},
        // A path read as a URL would end at "#" and turn "%41" into "A".
        {"InAFolderWithAHashAndAPercent", "C#dev %41\\response.xml", ResultResponse(tenThousand),
         tenThousand},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteResponse(c.response, c.fileName);
        std::string base64Path;
        {
            CFinalPDF pdf;
            ASSERT_EQ(S_OK, pdf.LoadXML(path.c_str()));
            ASSERT_TRUE(pdf.HasBase64File());
            base64Path = pdf.GetBase64Path().str();
            const std::string written = ReadFileBytes(base64Path);
            EXPECT_EQ(c.expected.size(), written.size());
            EXPECT_TRUE(written == c.expected) << "the file differs from the result text";
            // Nothing but the one file is left in the temporary folder.
            EXPECT_EQ(std::vector<std::string>{FileNameOf(base64Path)}, QuillFiles(TempDir()));
        }
        EXPECT_FALSE(FileExists(base64Path)) << "the record deletes its file";
        EXPECT_TRUE(FileExists(path)) << "the response file is the caller's";
    }
}

// Only a SOAP answer counts, and in it only a result where the service puts
// it: Envelope, Body, the response, the result. A fault in the body is noted
// with its texts, and the results at their place are counted.
TEST_F(SaxTest, OnlyAResultAtItsPlaceInTheAnswerReachesTheTarget)
{
    const std::string result = "<DownloadSignedDocumentResult>QUJD</DownloadSignedDocumentResult>";
    const std::string response =
        "<DownloadSignedDocumentResponse>" + result + "</DownloadSignedDocumentResponse>";
    const std::string fault = "<soap:Fault><faultcode>soap:Server</faultcode>"
                              "<faultstring>Document is not signed yet</faultstring>"
                              "<detail>" +
                              response + "</detail></soap:Fault>";
    struct Case {
        const char* name;
        std::string response;
        bool hasFile;
        std::string content;
        int results;
        bool fault;
    };
    const Case cases[] = {
        {"EmptyResult", ResultResponse(""), true, "", 1, false},
        {"SelfClosedResult", ResponseWith("<DownloadSignedDocumentResult/>"), true, "", 1, false},
        {"ContainerTextAroundTheResult",
         ResponseWith("head<Status>signed</Status>" + result + "tail"), true, "QUJD", 1, false},
        {"AnotherPrefixForTheEnvelope",
         "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<SOAP-ENV:Body>" +
             response + "</SOAP-ENV:Body></SOAP-ENV:Envelope>",
         true, "QUJD", 1, false},
        {"ResultOutsideTheResponse", Envelope(result), false, "", 0, false},
        {"ResultInAWrapper", ResponseWith("<Wrapper>" + result + "</Wrapper>"), false, "", 0,
         false},
        {"ResponseInAWrapper", Envelope("<Wrapper>" + response + "</Wrapper>"), false, "", 0,
         false},
        {"ResponseWithoutEnvelope", response, false, "", 0, false},
        {"EnvelopeOfAnotherNamespace",
         "<soap:Envelope xmlns:soap=\"urn:not-soap\"><soap:Body>" + response +
             "</soap:Body></soap:Envelope>",
         false, "", 0, false},
        {"PageHoldingAResult", "<html><body>" + response + "</body></html>", false, "", 0, false},
        {"TwoResults", ResponseWith(result + result), false, "", 2, false},
        {"TwoResponses", Envelope(response + response), false, "", 2, false},
        {"SoapFaultWithAResultInItsDetail", Envelope(fault), false, "", 0, true},
        {"SoapFaultBesideAResult", Envelope(fault + response), true, "QUJD", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteResponse(c.response);
        CFinalPDF pdf;
        ASSERT_EQ(S_OK, pdf.LoadXML(path.c_str()));
        ASSERT_EQ(c.hasFile, pdf.HasBase64File());
        if (c.hasFile) {
            EXPECT_EQ(c.content, ReadFileBytes(pdf.GetBase64Path().str()));
        }
        EXPECT_EQ(c.results, pdf.GetResultCount());
        EXPECT_EQ(c.fault, pdf.IsFault());
        EXPECT_STREQ(c.fault ? "Document is not signed yet" : "", pdf.GetFaultString());
        EXPECT_STREQ(c.fault ? "soap:Server" : "", pdf.GetFaultCode());
        // A result that was not captured leaves no temporary file either.
        EXPECT_EQ(c.hasFile ? 1u : 0u, QuillFiles(TempDir()).size());
    }
}

TEST_F(SaxTest, BrokenResponseFailsWithTheReadersCodeAndLeavesNothing)
{
    struct Case {
        const char* name;
        const char* response; // null: no file at all
        bool resultEnded;     // the result's end came before the fault
    };
    const std::string whole = ResultResponse(Base64Text(20000));
    // Ends 100 characters short of the result's end tag.
    const std::string truncated =
        whole.substr(0, whole.find("</DownloadSignedDocumentResult>") - 100);
    const std::string afterResult = ResponseWith("<DownloadSignedDocumentResult>QUJD"
                                                 "</DownloadSignedDocumentResult>"
                                                 "<Extra></Wrong>");
    const Case cases[] = {
        {"TruncatedInTheResult", truncated.c_str(), false},
        {"MismatchedTagAfterTheResult", afterResult.c_str(), true},
        {"NotXml", "HTTP/1.1 500 Internal Server Error", false},
        {"MissingFile", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = TempDir() + "response.xml";
        DeleteFileA(path.c_str());
        if (c.response)
            WriteResponse(c.response);
        // What the reader says of this file with a handler that takes nothing.
        const HRESULT readerHr = RunSaxParse(path.c_str(), new CSAXContentHandler(nullptr));
        ASSERT_TRUE(FAILED(readerHr));

        CFinalPDF pdf;
        {
            CComPtr<CWatchedFinalPDF> handler(new CWatchedFinalPDF(&pdf));
            EXPECT_EQ(readerHr, RunSaxParse(path.c_str(), handler.Get()));
            // What the reader left open is gone at once: the capture element
            // with its half-written file (which could not be deleted while
            // open), and the target merely taken off.
            EXPECT_TRUE(handler->GetStack().IsEmpty());
            EXPECT_EQ(c.resultEnded, pdf.HasBase64File());
            EXPECT_EQ(c.resultEnded ? 1u : 0u, QuillFiles(TempDir()).size());
        }
        // The record lives on after its handler and a failed load keeps no file.
        EXPECT_EQ(readerHr, pdf.LoadXML(path.c_str()));
        EXPECT_FALSE(pdf.HasBase64File());
        EXPECT_TRUE(QuillFiles(TempDir()).empty());
    }
}

// The signed-document reader as it was before texts were lifted out of the
// file: everything through the XML reader.
class CUnliftedFinalPDF : public CWatchedFinalPDF {
public:
    using CWatchedFinalPDF::CWatchedFinalPDF;
    std::vector<LargeElement> LargeElements() const override { return {}; }

protected:
    ~CUnliftedFinalPDF() override = default;
};

// What one road makes of a response file.
struct ReadOutcome {
    HRESULT hr = E_UNEXPECTED;
    bool hasFile = false;
    std::string content;
    int results = 0;
    bool pieces = false;  // the reader delivered text to the handler
    bool checked = false; // the record took its text as checked base64
    bool base64 = false;  // the file's text is base64
};

template <class Handler>
ReadOutcome ReadWith(const std::function<HRESULT(Handler*)>& parse)
{
    ReadOutcome outcome;
    CFinalPDF pdf;
    CComPtr<Handler> handler(new Handler(&pdf));
    outcome.hr = parse(handler.Get());
    outcome.hasFile = pdf.HasBase64File();
    if (outcome.hasFile) {
        outcome.content = ReadFileBytes(pdf.GetBase64Path().str());
        outcome.base64 = File64Coder().IsBase64File(pdf.GetBase64Path()) != FALSE;
    }
    outcome.checked = pdf.IsBase64Checked();
    outcome.results = pdf.GetResultCount();
    outcome.pieces = !handler->m_pieces.empty();
    return outcome;
}

template <class Handler>
ReadOutcome ReadWith(const std::string& path)
{
    return ReadWith<Handler>(
        [&path](Handler* handler) { return RunSaxParse(path.c_str(), handler); });
}

// The response scanned as it would come off the wire, in pieces of
// pieceSize bytes, then read.
ReadOutcome ReadStreamed(const std::string& path, size_t pieceSize)
{
    const std::string bytes = ReadFileBytes(path);
    CLargeTextScanner scan(CFinalPDF::LargeElements());
    ReadOutcome outcome;
    if (!scan.BeginStream())
        return outcome;
    for (size_t at = 0; at < bytes.size(); at += pieceSize) {
        BYTE* room = scan.Room();
        if (!room)
            break;
        const size_t count = std::min(pieceSize, bytes.size() - at);
        std::memcpy(room, bytes.data() + at, count);
        scan.Put(count);
    }
    outcome.hr = scan.EndStream(true);
    if (FAILED(outcome.hr))
        return outcome;
    return ReadWith<CWatchedFinalPDF>(
        [&scan](CWatchedFinalPDF* handler) { return RunSaxParse(scan, handler); });
}

// The text of a result goes to its file straight from the response when it
// is plain base64, and through the XML reader otherwise; either way the
// file holds what the reader would have delivered, and the reader's errors
// stay its own.
TEST_F(SaxTest, LiftedTextsReadAsTheReaderReadsThem)
{
    const std::string result = "<DownloadSignedDocumentResult>QUJD</DownloadSignedDocumentResult>";
    const std::string whole = ResultResponse(Base64Text(20000));
    struct Case {
        const char* name;
        std::string response;
        bool lifted;
    };
    const Case cases[] = {
        {"Plain", ResultResponse("QUJD"), true},
        {"EmptyText", ResultResponse(""), true},
        {"LineEndsOfEveryKind", ResultResponse("QUJD\r\nREVG\rR0hJ\nSktM\r\n"), true},
        {"ReferencesToBase64", ResultResponse("QUJD&#43;&#47;&#61;&#x2B;&#10;&#32;&#9;"), true},
        {"CarriageReturnReference", ResultResponse("QUJD&#13;"), false},
        {"Blanks", ResultResponse(" QU\tJD "), true},
        {"EndTagWithBlanks",
         ResponseWith("<DownloadSignedDocumentResult>QUJD</DownloadSignedDocumentResult \r\n>"),
         true},
        {"NotBase64ButPlain", ResultResponse("QUJD=QUJD"), true},
        {"TagTextInACommentCdataAndAttribute",
         Envelope(
             "<!-- <DownloadSignedDocumentResult>QQ</DownloadSignedDocumentResult> -->"
             "<DownloadSignedDocumentResponse note=\"a>b&lt;DownloadSignedDocumentResult&gt;\">"
             "<![CDATA[<DownloadSignedDocumentResult>x]]>" +
             result + "<?pi <DownloadSignedDocumentResult>?></DownloadSignedDocumentResponse>"),
         true},
        {"Cdata", ResultResponse("QU<![CDATA[JD]]>"), false},
        {"Comment", ResultResponse("QU<!-- x -->JD"), false},
        {"EntityReference", ResultResponse("QU&amp;JD"), false},
        {"OtherCharacterReference", ResultResponse("QUJD&#233;"), false},
        {"ErrorReport", ResultResponse("ERROR: Not signed."), false},
        {"ChildElement", ResultResponse("QU<b>x</b>JD"), false},
        {"AttributeOnTheResult",
         ResponseWith("<DownloadSignedDocumentResult a=\"1\">QUJD</DownloadSignedDocumentResult>"),
         false},
        {"TwoResultsOnlyOneLifted",
         ResponseWith(result + "<DownloadSignedDocumentResult>QU"
                               "<!---->JD</DownloadSignedDocumentResult>"),
         false},
        {"SeventyResults", ResponseWith([&result] {
             std::string many;
             for (int i = 0; i < 70; ++i)
                 many += result;
             return many;
         }()),
         false},
        {"TruncatedInTheResult", whole.substr(0, whole.find("</DownloadSignedDocumentResult>") - 9),
         false},
        {"IllegalReference", ResultResponse("QUJD&#0;"), false},
        {"MismatchedEndTag", ResponseWith("<DownloadSignedDocumentResult>QUJD</Wrong>"), false},
        {"ResultInAResult",
         ResponseWith("<DownloadSignedDocumentResult>QU\r\n" + result +
                      "</DownloadSignedDocumentResult>"),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteResponse(c.response);
        const ReadOutcome read = ReadWith<CUnliftedFinalPDF>(path);
        const ReadOutcome lifted = ReadWith<CWatchedFinalPDF>(path);
        EXPECT_EQ(read.hr, lifted.hr);
        EXPECT_EQ(read.hasFile, lifted.hasFile);
        EXPECT_EQ(read.results, lifted.results);
        EXPECT_TRUE(read.content == lifted.content)
            << "read: " << testing::PrintToString(read.content)
            << "\nlifted: " << testing::PrintToString(lifted.content);
        // Only a lifted text is taken as checked, and then exactly when
        // it is base64: the operation reads no other text again.
        EXPECT_FALSE(read.checked);
        EXPECT_EQ(c.lifted && lifted.base64, lifted.checked);
        if (c.lifted && c.response != ResultResponse("")) {
            EXPECT_FALSE(lifted.pieces) << "the reader delivered the text";
        } else if (!c.lifted) {
            EXPECT_TRUE(lifted.pieces || FAILED(lifted.hr)) << "the text was lifted";
        }
        EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "a file was left behind";

        // Scanned as it comes off the wire, in pieces that cut it anywhere:
        // the same, though a stream cannot be read twice.
        for (size_t pieceSize : {size_t{1}, size_t{7}, CLargeTextScanner::PieceSize()}) {
            SCOPED_TRACE("streamed in pieces of " + std::to_string(pieceSize));
            const ReadOutcome streamed = ReadStreamed(path, pieceSize);
            EXPECT_EQ(lifted.hr, streamed.hr);
            EXPECT_EQ(lifted.hasFile, streamed.hasFile);
            EXPECT_EQ(lifted.results, streamed.results);
            EXPECT_TRUE(lifted.content == streamed.content)
                << "streamed: " << testing::PrintToString(streamed.content);
            EXPECT_EQ(lifted.checked, streamed.checked);
            EXPECT_EQ(lifted.pieces, streamed.pieces);
            EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "a file was left behind";
        }
    }

    // A UTF-16 response is not scanned at all.
    const std::string text = ResultResponse("QUJD");
    std::string utf16 = "\xFF\xFE";
    const std::string declared =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + text.substr(text.find("?>") + 2);
    for (char ch : declared) {
        utf16 += ch;
        utf16 += '\0';
    }
    const std::string path = WriteResponse(utf16);
    for (const ReadOutcome& wide : {ReadWith<CWatchedFinalPDF>(path), ReadStreamed(path, 3)}) {
        EXPECT_EQ(S_OK, wide.hr);
        EXPECT_EQ("QUJD", wide.content);
        EXPECT_TRUE(wide.pieces);
    }
}

// A signed copy of megabytes reads whole whatever its line breaks: the
// 12 MB copy in CR LF lines that once took minutes, LF lines, one unbroken
// line, and the references a request writes.
TEST_F(SaxTest, LargeSignedCopiesReadWholeInEveryLineLayout)
{
    const std::string bytes = RandomBytes(12 * 1024 * 1024 + 1, 12);
    const std::string text = standin::Base64Encode(bytes);
    struct Layout {
        const char* name;
        size_t width; // 0: unbroken
        const char* ending;
        bool references;
    };
    const Layout layouts[] = {{"CrLf76", 76, "\r\n", false},
                              {"Lf64", 64, "\n", false},
                              {"Unbroken", 0, "", false},
                              {"RequestForm", 64, "\n", true}};
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        std::string body;
        std::string delivered; // what the reader hands over: "\n" for line ends
        if (layout.references) {
            body = standin::Base64RequestText(bytes);
            for (size_t i = 0; i < text.size(); i += 64)
                delivered += text.substr(i, 64) + "\n";
        } else if (layout.width == 0) {
            body = delivered = text;
        } else {
            for (size_t i = 0; i < text.size(); i += layout.width) {
                body += text.substr(i, layout.width) + layout.ending;
                delivered += text.substr(i, layout.width) + "\n";
            }
        }
        const std::string path = WriteResponse(ResultResponse(body));
        body.clear();
        CFinalPDF pdf;
        ASSERT_EQ(S_OK, pdf.LoadXML(path.c_str()));
        ASSERT_TRUE(pdf.HasBase64File());
        const std::string written = ReadFileBytes(pdf.GetBase64Path().str());
        EXPECT_EQ(delivered.size(), written.size());
        EXPECT_TRUE(delivered == written) << "the base64 file differs";
        CString decoded;
        ASSERT_EQ(S_OK, CXMLIO::DecodeFileToTemp(pdf.GetBase64Path(), nullptr, decoded));
        EXPECT_TRUE(ReadFileBytes(decoded.str()) == bytes) << "the signed copy differs";
        DeleteFileA(decoded);

        // Off the wire, where the text is kept as it came and its line ends
        // and references are resolved after its end.
        const ReadOutcome streamed = ReadStreamed(path, CLargeTextScanner::PieceSize());
        EXPECT_EQ(S_OK, streamed.hr);
        EXPECT_TRUE(streamed.checked);
        EXPECT_FALSE(streamed.pieces) << "the reader delivered the text";
        EXPECT_EQ(delivered.size(), streamed.content.size());
        EXPECT_TRUE(delivered == streamed.content) << "the streamed base64 file differs";
    }
}

// A stream given up (the wire failed, the exchange was cancelled) keeps
// nothing of itself, wherever it stood; so does one whose scanner goes
// before its end.
TEST_F(SaxTest, AStreamGivenUpLeavesNothing)
{
    const std::string response = ResultResponse(Base64Text(3 * 1024 * 1024));
    const auto feed = [&response](CLargeTextScanner& scan, size_t bytes) {
        for (size_t at = 0; at < bytes; at += CLargeTextScanner::PieceSize()) {
            BYTE* room = scan.Room();
            ASSERT_NE(nullptr, room);
            const size_t count = std::min(CLargeTextScanner::PieceSize(), bytes - at);
            std::memcpy(room, response.data() + at, count);
            scan.Put(count);
        }
    };
    // Before the result, inside it, after its end.
    const size_t inside = response.find("<DownloadSignedDocumentResult>") + 1024 * 1024;
    for (size_t bytes : {size_t{100}, inside, response.size()}) {
        SCOPED_TRACE(bytes);
        {
            CLargeTextScanner scan(CFinalPDF::LargeElements());
            ASSERT_TRUE(scan.BeginStream());
            feed(scan, bytes);
            EXPECT_EQ(E_ABORT, scan.EndStream(false));
            EXPECT_EQ(nullptr, scan.Room()) << "room after the end";
            EXPECT_TRUE(scan.RestPath().IsEmpty());
            EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "a file of the stream was kept";
            CFinalPDF pdf;
            EXPECT_EQ(E_INVALIDARG, pdf.LoadScanned(scan));
        }
        {
            CLargeTextScanner scan(CFinalPDF::LargeElements());
            ASSERT_TRUE(scan.BeginStream());
            feed(scan, bytes);
        }
        EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "a scanner's going left a file";
    }

    // A stream scans only texts it can keep as they came.
    CLargeTextScanner decoding({{"FileBytes", LargeText::Decode}});
    EXPECT_FALSE(decoding.BeginStream());
    EXPECT_TRUE(QuillFiles(TempDir()).empty());
}

// A handler that only counts the elements the reader reports and keeps
// their text.
class CCountingHandler : public CSAXContentHandler {
public:
    CCountingHandler() : CSAXContentHandler(nullptr) {}
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                                           int, ISAXAttributes*) override
    {
        ++m_elements;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE characters(const wchar_t* text, int length) override
    {
        m_text.append(text, length);
        return S_OK;
    }

    int m_elements = 0;
    std::wstring m_text;
};

// Whatever the SAX readers are given (a response, a template, a receipt),
// a document with a DTD is refused before the reader sees any of it, so
// nothing it names is fetched. MSXML is also told to refuse DTDs and
// external entities, but not every MSXML honours that.
TEST_F(SaxTest, DocumentsWithADtdAreRefusedBeforeAnyParse)
{
    const std::string secret = WriteResponse("SECRET", "secret.txt");
    std::string url = "file:///" + secret;
    for (char& ch : url)
        ch = ch == '\\' ? '/' : ch;
    const std::string cases[] = {
        "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]>" +
            ResultResponse("&x;"),
        "<!DOCTYPE r SYSTEM \"" + url + "\">" + ResultResponse("QUJD"),
        "<!-- a note --><!DOCTYPE r>" + ResultResponse("QUJD"),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        const std::string path = WriteResponse(text);
        CComPtr<CCountingHandler> handler(new CCountingHandler);
        EXPECT_EQ(kXmlDtdRefused, RunSaxParse(path.c_str(), handler.Get()));
        EXPECT_EQ(0, handler->m_elements);
        EXPECT_EQ(std::wstring::npos, handler->m_text.find(L"SECRET"));
    }
    // A document that merely mentions a DTD in its text is read.
    const std::string path = WriteResponse(ResultResponse("&lt;!DOCTYPE r&gt;"));
    CComPtr<CCountingHandler> handler(new CCountingHandler);
    EXPECT_EQ(S_OK, RunSaxParse(path.c_str(), handler.Get()));
    EXPECT_EQ(std::wstring(L"<!DOCTYPE r>"), handler->m_text);
}

TEST_F(SaxTest, RecordOwnsItsBase64FileUntilItHandsItOn)
{
    const std::string first = WriteResponse(ResultResponse("QUJD"), "first.xml");
    const std::string second = WriteResponse(ResultResponse("REVG"), "second.xml");
    CFinalPDF pdf;
    ASSERT_EQ(S_OK, pdf.LoadXML(first.c_str()));
    const std::string firstFile = pdf.GetBase64Path().str();
    ASSERT_EQ(S_OK, pdf.LoadXML(second.c_str()));
    EXPECT_FALSE(FileExists(firstFile)) << "a new load replaces the old file";
    EXPECT_EQ(second, pdf.GetResponsePath().str());

    const CString taken = pdf.TakeBase64File();
    EXPECT_FALSE(pdf.HasBase64File());
    pdf.DeleteBase64File();
    EXPECT_EQ("REVG", ReadFileBytes(taken.str())) << "a file handed on stays";
    EXPECT_TRUE(DeleteFileA(taken));

    EXPECT_EQ(E_INVALIDARG, pdf.LoadXML(nullptr));
}

// ---- Character data, driven as the reader drives it ----

TEST_F(SaxTest, LongRunsAreWrittenInPiecesOf4096)
{
    struct Case {
        const char* name;
        std::wstring text;
        std::vector<int> pieces;
    };
    // A character beyond the basic plane straddling the boundary stays whole.
    const std::wstring straddling =
        std::wstring(4095, L'A') + L"\xD83D\xDE00" + std::wstring(10, L'B');
    const Case cases[] = {
        {"One", Widen(Base64Text(1)), {1}},
        {"ExactlyOnePiece", Widen(Base64Text(4096)), {4096}},
        {"OneOver", Widen(Base64Text(4097)), {4096, 1}},
        {"ExactlyTwoPieces", Widen(Base64Text(8192)), {4096, 4096}},
        {"TwoAndOne", Widen(Base64Text(8193)), {4096, 4096, 1}},
        {"TenThousand", Widen(Base64Text(10000)), {4096, 4096, 1808}},
        {"SurrogatePairAtTheBoundary", straddling, {4095, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFinalPDF pdf;
        CComPtr<CWatchedFinalPDF> handler(new CWatchedFinalPDF(&pdf));
        OpenBody(*handler.Get());
        Start(*handler.Get(), kResponseW);
        Start(*handler.Get(), kResultW);
        Characters(*handler.Get(), c.text);
        End(*handler.Get(), kResultW);
        End(*handler.Get(), kResponseW);
        EXPECT_EQ(c.pieces, handler->m_pieces);
        EXPECT_TRUE(handler->GetStack().IsEmpty());
        ASSERT_TRUE(pdf.HasBase64File());
        const std::string written = ReadFileBytes(pdf.GetBase64Path().str());
        if (c.text == straddling) {
            EXPECT_EQ(std::string(4095, 'A'), written.substr(0, 4095));
        } else {
            EXPECT_TRUE(written == std::string(c.text.begin(), c.text.end()));
        }
    }
}

TEST_F(SaxTest, TextSplitOverCallsEndsUpWholeAndContainerTextIsDropped)
{
    CFinalPDF pdf;
    CComPtr<CWatchedFinalPDF> handler(new CWatchedFinalPDF(&pdf));
    Characters(*handler.Get(), L"before any element");
    OpenBody(*handler.Get());
    Start(*handler.Get(), kResponseW);
    Characters(*handler.Get(), L"container text");

    // Into a string: a capture element the caller points at a text target
    // (at the start of an element the reader itself passes by).
    Start(*handler.Get(), L"Note");
    CXMLElem* parent = nullptr;
    CXMLElem* note = nullptr;
    ASSERT_EQ(S_OK,
              handler->PushTextElement("DownloadSignedDocumentResponse", "Note", &parent, &note));
    CString noteText;
    note->m_textTarget = &noteText;
    for (const wchar_t* piece : {L"caf", L"\xE9", L"", L" au lait"})
        Characters(*handler.Get(), piece);
    End(*handler.Get(), L"Note"); // popped and deleted under its own name
    EXPECT_STREQ("caf\xE9 au lait", noteText);

    // Into the file.
    Start(*handler.Get(), kResultW);
    for (const wchar_t* piece : {L"QUJD", L"\n", L"+", L"", L"REVG=="})
        Characters(*handler.Get(), piece);
    End(*handler.Get(), kResultW);
    Characters(*handler.Get(), L"more container text");
    End(*handler.Get(), kResponseW);

    EXPECT_TRUE(handler->GetStack().IsEmpty());
    ASSERT_TRUE(pdf.HasBase64File());
    EXPECT_EQ("QUJD\n+REVG==", ReadFileBytes(pdf.GetBase64Path().str()));
    EXPECT_TRUE(pdf.GetBuffer().IsEmpty() && pdf.m_tempPath.IsEmpty()) << "container text dropped";
    EXPECT_EQ(1u, QuillFiles(TempDir()).size());
}

// ---- The stack and its ownership ----

TEST_F(SaxTest, StackDeletesOnlyWhatTheHandlerMade)
{
    CCountedElem target("target");
    {
        CSAXStack stack;
        EXPECT_FALSE(stack.Pop()) << "an empty stack gives nothing";
        stack.PushBorrowed(&target);
        stack.PushOwned(std::make_unique<CCountedElem>("capture"));
        stack.PushBorrowed(&target);
        stack.PushOwned(std::make_unique<CCountedElem>("inner"));
        ASSERT_EQ(4, stack.GetCount());
        EXPECT_EQ(3, CCountedElem::s_alive);

        EXPECT_TRUE(stack.IsTopOwned());
        stack.Pop(); // an owned entry let go
        EXPECT_EQ(2, CCountedElem::s_alive);
        EXPECT_FALSE(stack.IsTopOwned());
        EXPECT_EQ(&target, stack.Pop().get()); // the target let go
        EXPECT_EQ(2, CCountedElem::s_alive);

        // A record still to be filed is handed on rather than deleted.
        CSAXStack::Entry entry = stack.Pop();
        ASSERT_TRUE(entry.get_deleter().owned);
        std::unique_ptr<CXMLElem> filed(entry.release());
        EXPECT_STREQ("capture", filed->m_elementName);
        EXPECT_EQ(2, CCountedElem::s_alive);
        filed.reset();

        // Left behind by a parse that stopped.
        stack.PushOwned(std::make_unique<CCountedElem>("left"));
        stack.PushOwned(std::make_unique<CCountedElem>("left too"));
        EXPECT_EQ(3, CCountedElem::s_alive);
    }
    EXPECT_EQ(1, CCountedElem::s_alive) << "only the target remains";
    EXPECT_STREQ("target", target.m_elementName);
}

TEST_F(SaxTest, AbandonRemovesTheFilesOfOpenCapturesOnly)
{
    CXMLElem target("target");
    ASSERT_EQ(S_OK, target.CreateTempFile());
    auto capture = std::make_unique<CXMLElem>("capture");
    ASSERT_EQ(S_OK, capture->CreateTempFile());
    ASSERT_TRUE(capture->m_tempFile->Write(CString("QUJD")));
    const std::string capturePath = capture->m_tempPath.str();
    auto ended = std::make_unique<CXMLElem>("ended"); // its file already handed on
    ASSERT_EQ(S_OK, ended->CreateTempFile());
    ended->m_tempFile.reset();
    const std::string endedPath = ended->m_tempPath.str();

    CSAXStack stack;
    stack.PushBorrowed(&target);
    stack.PushOwned(std::move(ended));
    stack.PushOwned(std::move(capture));
    stack.Abandon();

    EXPECT_TRUE(stack.IsEmpty());
    EXPECT_FALSE(FileExists(capturePath));
    EXPECT_TRUE(FileExists(endedPath));
    EXPECT_TRUE(target.m_tempFile && target.m_tempFile->IsOpen()) << "the target's is its own";
    DeleteFileA(endedPath.c_str());
}

// ---- Opening capture elements ----

TEST(SaxPushTextElementTest, OpensACaptureOnlyUnderItsParent)
{
    struct Case {
        const char* name;
        bool responseOpen;
        const char* parentName;
        bool nullParentOut;
        bool nullElementOut;
        HRESULT hr;
        bool parentIsTarget;
    };
    const Case cases[] = {
        {"UnderItsParent", true, "DownloadSignedDocumentResponse", false, false, S_OK, true},
        {"WrongParent", true, "Signer", false, false, E_FAIL, true},
        {"ParentNamesDifferInCase", true, "downloadsigneddocumentresponse", false, false, E_FAIL,
         true},
        {"EmptyStack", false, "DownloadSignedDocumentResponse", false, false, E_FAIL, false},
        {"NullParentOut", true, "DownloadSignedDocumentResponse", true, false, E_INVALIDARG, false},
        {"NullElementOut", true, "DownloadSignedDocumentResponse", false, true, E_INVALIDARG,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFinalPDF pdf;
        CComPtr<CSAXFinalPDF> handler(new CSAXFinalPDF(&pdf));
        if (c.responseOpen) {
            OpenBody(*handler.Get());
            Start(*handler.Get(), kResponseW);
        }
        const int before = handler->GetStack().GetCount();

        CXMLElem stale("stale");
        CXMLElem* parent = &stale;
        CXMLElem* element = &stale;
        const HRESULT hr =
            handler->PushTextElement(c.parentName, "Note", c.nullParentOut ? nullptr : &parent,
                                     c.nullElementOut ? nullptr : &element);
        EXPECT_EQ(c.hr, hr);
        if (!c.nullParentOut) {
            EXPECT_EQ(c.parentIsTarget ? &pdf : nullptr, parent);
        }
        if (!c.nullElementOut && hr != S_OK) {
            EXPECT_EQ(nullptr, element);
        }
        if (hr != S_OK) {
            EXPECT_EQ(before, handler->GetStack().GetCount()) << "nothing pushed";
            continue;
        }
        ASSERT_NE(nullptr, element);
        EXPECT_EQ(element, handler->GetStack().Top());
        EXPECT_TRUE(handler->GetStack().IsTopOwned());
        EXPECT_STREQ("Note", element->m_elementName);
        EXPECT_EQ(1, element->m_captureAsText);
        EXPECT_EQ(nullptr, element->m_textTarget);
        EXPECT_EQ(nullptr, element->m_numberTarget);
        EXPECT_FALSE(element->m_tempFile);
    }
}

TEST(SaxElementNameTest, LocalNameWithoutPrefix)
{
    struct Case {
        const wchar_t* local;
        const wchar_t* qualified;
        const char* expected;
    };
    const Case cases[] = {
        {L"Envelope", L"soap:Envelope", "Envelope"},
        {L"Result", L"Result", "Result"},
        {L"", L"m:Result", "Result"}, // a reader without namespace processing
        {nullptr, L"Result", "Result"},
        {L"", L"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const int localLength = c.local ? static_cast<int>(std::wcslen(c.local)) : 0;
        EXPECT_STREQ(c.expected,
                     CSAXContentHandler::ElementName(c.local, localLength, c.qualified,
                                                     static_cast<int>(std::wcslen(c.qualified))));
    }
}

// ---- COM identity and lifetime ----

TEST(SaxComTest, QueryInterfaceGivesOnlyIUnknownAndTheHandlersOwnInterface)
{
    CComPtr<CSAXContentHandler> content(new CSAXContentHandler(nullptr));
    CComPtr<CSAXErrorHandler> errors(new CSAXErrorHandler);
    struct Case {
        const char* name;
        IUnknown* object;
        const IID* own;
        const IID* other;
    };
    const Case cases[] = {
        {"ContentHandler", content.Get(), &kIidSAXContentHandler, &kIidSAXErrorHandler},
        {"ErrorHandler", errors.Get(), &kIidSAXErrorHandler, &kIidSAXContentHandler},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const IID* iid : {&IID_IUnknown, c.own}) {
            void* out = nullptr;
            ASSERT_EQ(S_OK, c.object->QueryInterface(*iid, &out));
            EXPECT_EQ(static_cast<void*>(c.object), out);
            // The answer came with a reference of its own.
            EXPECT_EQ(3u, c.object->AddRef());
            EXPECT_EQ(2u, c.object->Release());
            EXPECT_EQ(1u, c.object->Release());
        }
        for (const IID* iid : {c.other, &kIidSAXXMLReader, &IID_IDispatch}) {
            void* out = &out;
            EXPECT_EQ(E_NOINTERFACE, c.object->QueryInterface(*iid, &out));
            EXPECT_EQ(nullptr, out);
        }
        EXPECT_EQ(E_POINTER, c.object->QueryInterface(IID_IUnknown, nullptr));
        EXPECT_EQ(2u, c.object->AddRef());
        EXPECT_EQ(1u, c.object->Release());
    }
}

TEST_F(SaxTest, HandlerGoesWithItsLastReference)
{
    CFinalPDF pdf;
    bool gone = false;
    CSAXContentHandler* handler = new CWatchedFinalPDF(&pdf, &gone);
    EXPECT_EQ(1u, handler->AddRef());
    EXPECT_EQ(2u, handler->AddRef());
    EXPECT_EQ(1u, handler->Release());
    EXPECT_FALSE(gone);
    EXPECT_EQ(0u, handler->Release());
    EXPECT_TRUE(gone);

    // A run takes the handler nobody held yet, whether the parse went well
    // or not at all.
    const std::string good = WriteResponse(ResultResponse("QUJD"));
    const std::string missing = TempDir() + "missing.xml";
    for (const char* path : {good.c_str(), missing.c_str(), static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(path ? path : "null path");
        gone = false;
        RunSaxParse(path, new CWatchedFinalPDF(&pdf, &gone));
        EXPECT_TRUE(gone);
    }
    EXPECT_EQ(E_INVALIDARG, RunSaxParse(good.c_str(), nullptr));
}
