// CXMLDoc over a SOAP response shaped like the ones the web service sends:
// loading, the cursor, typed reads, node lists and reference counting.
#include <string>

#include <gtest/gtest.h>

#include "classlib/com/CBstr.h"
#include "shared/xml/XMLDoc.h"
#include "shared/xml/XmlProlog.h"
#include "tests/support/TestEnv.h"

namespace {

constexpr const char* kSoapResponse = R"(<?xml version="1.0" encoding="utf-8"?>
<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"
               xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <soap:Body>
    <GetUserInfoResponse xmlns="http://tempuri.org/">
      <GetUserInfoResult>
        <Status>0</Status>
        <Name>Ann Example</Name>
        <Quota>12abc</Quota>
        <Code>abc</Code>
        <Empty/>
        <Wrapped><Inner>x</Inner></Wrapped>
        <Mixed><b>bold</b>tail</Mixed>
        <child><grand>deep</grand></child>
        <Files>
          <File><Id>1</Id></File>
          <File><Id>2</Id></File>
          <File><Id>3</Id></File>
        </Files>
      </GetUserInfoResult>
    </GetUserInfoResponse>
  </soap:Body>
</soap:Envelope>)";

constexpr const char* kEnvelope = "/soap:Envelope";
constexpr const char* kResponse = "/soap:Envelope/soap:Body/GetUserInfoResponse";
constexpr const char* kResult = "/soap:Envelope/soap:Body/GetUserInfoResponse/GetUserInfoResult";
constexpr const char* kChild =
    "/soap:Envelope/soap:Body/GetUserInfoResponse/GetUserInfoResult/child";
constexpr const char* kFiles =
    "/soap:Envelope/soap:Body/GetUserInfoResponse/GetUserInfoResult/Files";

// The count after the caller's own reference is taken into account.
long RefCount(IUnknown* object)
{
    object->AddRef();
    return static_cast<long>(object->Release());
}

std::string NameOf(IXMLDOMNode* node)
{
    if (!node)
        return "(none)";
    CBstr name;
    node->get_nodeName(name.Put());
    return name.ToString().str();
}

std::string CursorName(CXMLDoc& doc)
{
    CComPtr<IXMLDOMNode> node;
    doc.GotoNode("", node);
    return NameOf(node.Get());
}

class SoapDocTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_doc.LoadString(kSoapResponse), S_OK); }

    CXMLDoc m_doc;
};

} // namespace

TEST(XmlDocLoad, LoadStringOutcomes)
{
    struct Case {
        const char* label;
        const char* text;
        HRESULT hr;
    };
    const Case cases[] = {
        {"well-formed", kSoapResponse, S_OK}, {"element not closed", "<a><b></a>", S_FALSE},
        {"no root element", "", S_FALSE},     {"plain text", "not xml", S_FALSE},
        {"null text", nullptr, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CXMLDoc doc;
        EXPECT_EQ(doc.LoadString(c.text), c.hr);
        long count = -1;
        if (c.hr == S_OK) {
            EXPECT_EQ(CursorName(doc), "#document");
            // The node list is the document's children: declaration and root.
            EXPECT_EQ(doc.GetNodeCount(&count), S_OK);
            EXPECT_EQ(count, 2);
        } else {
            // No cursor and no list are left behind by a failed load.
            EXPECT_EQ(doc.GetNodeCount(&count), E_FAIL);
            EXPECT_EQ(count, -1);
            EXPECT_EQ(doc.LoadNodesByName("a"), E_FAIL);
            doc.NoteParseError();
        }
    }
}

class XmlDocFileTest : public CleanProfileTest {};

TEST_F(XmlDocFileTest, LoadFileOutcomes)
{
    struct Case {
        const char* label;
        const char* content; // nullptr: the file is not there
        HRESULT hr;
    };
    const Case cases[] = {
        {"well-formed file", "<Defaults><Server>host.example</Server></Defaults>", S_OK},
        {"malformed file", "<Defaults><Server>host.example</Defaults>", S_FALSE},
        {"missing file", nullptr, S_FALSE},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = TempDir() + "defaults" + std::to_string(index++) + ".xml";
        if (c.content)
            testenv::WriteFileBytes(path, c.content);
        CXMLDoc doc;
        EXPECT_EQ(doc.LoadFile(path.c_str()), c.hr);
        if (c.hr == S_OK) {
            CString server("junk");
            EXPECT_EQ(doc.GetSingleNodeValue("/Defaults/Server", server), S_OK);
            EXPECT_EQ(server.str(), "host.example");
        }
    }
    CXMLDoc doc;
    EXPECT_EQ(doc.LoadFile(nullptr), E_INVALIDARG);
}

// A response or file with a DTD is refused before MSXML sees it: nothing it
// names is fetched and nothing of it can be read. UTF-16 files too, and a
// DTD behind comments and processing instructions.
TEST_F(XmlDocFileTest, DocumentsWithADtdAreRefused)
{
    const std::string secret = TempDir() + "secret.txt";
    testenv::WriteFileBytes(secret, "SECRET");
    std::string url = "file:///" + secret;
    for (char& ch : url)
        ch = ch == '\\' ? '/' : ch;
    const std::string body = "<r><v>&x;</v></r>";
    struct Case {
        const char* label;
        std::string text;
    };
    const Case cases[] = {
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]>" + body},
        {"external DTD", "<!DOCTYPE r SYSTEM \"" + url + "\"><r><v>plain</v></r>"},
        {"parameter entity", "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + url + "\"> %p;]>" + body},
        {"nested entities",
         "<!DOCTYPE r [<!ENTITY a \"aaaa\"><!ENTITY x \"&a;&a;&a;&a;&a;&a;\">]>" + body},
        {"behind a comment and an instruction",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- a -->\n<?pi x?>\t<!DOCTYPE r>" +
             std::string("<r><v>plain</v></r>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CXMLDoc fromText;
        EXPECT_EQ(kXmlDtdRefused, fromText.LoadString(c.text.c_str()));
        CString value("junk");
        EXPECT_NE(S_OK, fromText.GetSingleNodeValue("/r/v", value));
        EXPECT_STREQ("junk", value);

        const std::string path = TempDir() + "dtd.xml";
        testenv::WriteFileBytes(path, c.text);
        CXMLDoc fromFile;
        EXPECT_EQ(kXmlDtdRefused, fromFile.LoadFile(path.c_str()));
        EXPECT_NE(S_OK, fromFile.GetSingleNodeValue("/r/v", value));
        EXPECT_STREQ("junk", value);
    }

    // The same in UTF-16, either byte order, with or without its mark.
    const std::string ascii = " <!DOCTYPE r SYSTEM \"" + url + "\"><r><v>plain</v></r>";
    for (int form = 0; form < 4; ++form) {
        const bool bigEndian = form & 1;
        std::string wide = form & 2 ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char ch : ascii) {
            wide += bigEndian ? '\0' : ch;
            wide += bigEndian ? ch : '\0';
        }
        SCOPED_TRACE(form);
        const std::string path = TempDir() + "dtd16.xml";
        testenv::WriteFileBytes(path, wide);
        CXMLDoc doc;
        EXPECT_EQ(kXmlDtdRefused, doc.LoadFile(path.c_str()));
    }

    // What only looks like a DTD further in is no DTD.
    CXMLDoc fine;
    EXPECT_EQ(S_OK, fine.LoadString("<!-- <!DOCTYPE r> --><r><v>&lt;!DOCTYPE r&gt;</v></r>"));
    CString value;
    EXPECT_EQ(S_OK, fine.GetSingleNodeValue("/r/v", value));
    EXPECT_STREQ("<!DOCTYPE r>", value);
}

TEST(XmlDocLoad, ReloadReleasesTheOldDocument)
{
    CXMLDoc doc;
    ASSERT_EQ(doc.LoadString("<first><x>1</x></first>"), S_OK);
    CComPtr<IXMLDOMNode> oldDocument;
    doc.GotoNode("", oldDocument);
    const long held = RefCount(oldDocument.Get());

    ASSERT_EQ(doc.LoadString("<second><y>2</y></second>"), S_OK);
    // Both the document reference and the cursor's went.
    EXPECT_EQ(RefCount(oldDocument.Get()), held - 2);
    CString value("junk");
    EXPECT_EQ(doc.GetSingleNodeValue("/second/y", value), S_OK);
    EXPECT_EQ(value.str(), "2");
    EXPECT_EQ(doc.GetSingleNodeValue("/first/x", value), S_FALSE);
}

TEST(XmlDocNoDocument, EveryOperationRefuses)
{
    CXMLDoc doc;
    CComPtr<IXMLDOMNode> node;
    EXPECT_EQ(doc.GotoNode("", node), S_OK);
    EXPECT_FALSE(node);
    EXPECT_EQ(doc.GotoNode(""), S_OK);
    EXPECT_EQ(doc.GotoNode("x", node), E_FAIL);
    EXPECT_EQ(doc.GotoNode("/x", node), E_FAIL);
    EXPECT_EQ(doc.GotoNode(".."), E_FAIL);
    EXPECT_EQ(doc.GotoNode("../x"), E_FAIL);
    EXPECT_EQ(doc.GotoNodeAt(0), E_FAIL);
    long count = -1;
    EXPECT_EQ(doc.GetNodeCount(&count), E_FAIL);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(doc.LoadNodesByName("x"), E_FAIL);

    CString text("junk");
    int number = -7;
    EXPECT_EQ(doc.GetSingleNodeValue(text), E_FAIL);
    EXPECT_EQ(doc.GetSingleNodeValue("x", text), E_FAIL);
    EXPECT_EQ(doc.GetSingleNodeValue("/x", number), E_FAIL);
    EXPECT_EQ(text.str(), "junk");
    EXPECT_EQ(number, -7);
    doc.NoteParseError();
}

TEST_F(SoapDocTest, PathsResolveAndMoveTheCursor)
{
    struct Case {
        const char* label;
        const char* from; // where the cursor stands first ("" : the document)
        const char* path;
        HRESULT hr;
        const char* found;
    };
    const Case cases[] = {
        {"absolute from the document", "", kResult, S_OK, "GetUserInfoResult"},
        {"absolute from deeper down", kChild, "/soap:Envelope/soap:Body", S_OK, "soap:Body"},
        {"relative child", kResult, "Status", S_OK, "Status"},
        {"relative two steps", kResult, "child/grand", S_OK, "grand"},
        {"self", kResult, ".", S_OK, "GetUserInfoResult"},
        {"parent", kResult, "..", S_OK, "GetUserInfoResponse"},
        {"parent then child", kResult, "../GetUserInfoResult", S_OK, "GetUserInfoResult"},
        {"two parents then child", kChild, "../../GetUserInfoResult", S_OK, "GetUserInfoResult"},
        {"parent step alone", kResult, "../", S_OK, "GetUserInfoResponse"},
        {"parent of the root element", kEnvelope, "..", S_OK, "#document"},
        {"parent of the document", "", "..", S_FALSE, "(none)"},
        {"climbing above the document", kEnvelope, "../../Status", E_FAIL, "(none)"},
        {"missing node", kResult, "Missing", S_FALSE, "(none)"},
        {"missing after a climb", kResult, "../Missing", S_FALSE, "(none)"},
        {"empty path", kResult, "", S_OK, "GetUserInfoResult"},
        {"null path", kResult, nullptr, S_OK, "GetUserInfoResult"},
        // Names are matched as the document spells them, prefix included.
        {"other prefix for the same namespace", "", "/s:Envelope", S_FALSE, "(none)"},
        {"local name without its prefix", "", "/Envelope", S_FALSE, "(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CXMLDoc doc;
        ASSERT_EQ(doc.LoadString(kSoapResponse), S_OK);
        ASSERT_EQ(doc.GotoNode(c.from), S_OK);
        const std::string start = CursorName(doc);

        CComPtr<IXMLDOMNode> node;
        EXPECT_EQ(doc.GotoNode(c.path, node), c.hr);
        EXPECT_EQ(NameOf(node.Get()), c.found);
        EXPECT_EQ(CursorName(doc), start);

        EXPECT_EQ(doc.GotoNode(c.path), c.hr);
        EXPECT_EQ(CursorName(doc), c.hr == S_OK ? std::string(c.found) : start);
    }
}

TEST_F(SoapDocTest, PathFormReadsTheFirstTextChild)
{
    ASSERT_EQ(m_doc.GotoNode(kResult), S_OK);
    struct Case {
        const char* label;
        const char* path;
        HRESULT hr;
        const char* text; // "junk": the caller's string is untouched
    };
    const Case cases[] = {
        {"relative", "Name", S_OK, "Ann Example"},
        {"absolute", "/soap:Envelope/soap:Body/GetUserInfoResponse/GetUserInfoResult/Status", S_OK,
         "0"},
        {"text after an element child", "Mixed", S_OK, "tail"},
        {"empty element", "Empty", S_OK, "junk"},
        {"only an element child", "Wrapped", S_FALSE, "junk"},
        {"missing node", "Missing", S_FALSE, "junk"},
        {"empty path", "", E_INVALIDARG, "junk"},
        {"null path", nullptr, E_INVALIDARG, "junk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CString text("junk");
        EXPECT_EQ(m_doc.GetSingleNodeValue(c.path, text), c.hr);
        EXPECT_EQ(text.str(), c.text);
    }
    EXPECT_EQ(CursorName(m_doc), "GetUserInfoResult");
}

TEST_F(SoapDocTest, CurrentNodeFormReadsTheCursor)
{
    struct Case {
        const char* at;
        HRESULT hr;
        const char* text;
    };
    const Case cases[] = {
        {"Name", S_OK, "Ann Example"},
        {"Mixed", S_OK, "tail"},
        {"Empty", S_OK, "junk"},
        {"Wrapped", S_FALSE, "junk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        ASSERT_EQ(m_doc.GotoNode(kResult), S_OK);
        ASSERT_EQ(m_doc.GotoNode(c.at), S_OK);
        CString text("junk");
        EXPECT_EQ(m_doc.GetSingleNodeValue(text), c.hr);
        EXPECT_EQ(text.str(), c.text);
    }
}

TEST_F(SoapDocTest, IntegerFormTakesTheLeadingDigits)
{
    ASSERT_EQ(m_doc.GotoNode(kResult), S_OK);
    struct Case {
        const char* path;
        HRESULT hr;
        int value; // -7: the caller's value is untouched
    };
    const Case cases[] = {
        {"Files/File/Id", S_OK, 1}, {"Quota", S_OK, 12},      {"Code", S_OK, 0},
        {"Empty", S_OK, 0},         {"Wrapped", S_FALSE, -7}, {"Missing", S_FALSE, -7},
        {"", E_INVALIDARG, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        int value = -7;
        EXPECT_EQ(m_doc.GetSingleNodeValue(c.path, value), c.hr);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(SoapDocTest, NodeListWalksRepeatedChildren)
{
    ASSERT_EQ(m_doc.GotoNode(kFiles), S_OK);
    ASSERT_EQ(m_doc.LoadNodesByName("File"), S_OK);
    long count = -1;
    ASSERT_EQ(m_doc.GetNodeCount(&count), S_OK);
    ASSERT_EQ(count, 3);
    for (long i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(m_doc.GotoNodeAt(i), S_OK);
        int id = -1;
        EXPECT_EQ(m_doc.GetSingleNodeValue("Id", id), S_OK);
        EXPECT_EQ(id, i + 1);
    }
    // Past the end: nothing there and the cursor stays on the last item.
    EXPECT_EQ(m_doc.GotoNodeAt(count), S_FALSE);
    int id = -1;
    EXPECT_EQ(m_doc.GetSingleNodeValue("Id", id), S_OK);
    EXPECT_EQ(id, 3);

    // Moving the cursor keeps the list; descendants at any depth count.
    ASSERT_EQ(m_doc.GotoNode(kResult), S_OK);
    EXPECT_EQ(m_doc.GetNodeCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(m_doc.LoadNodesByName("Id"), S_OK);
    EXPECT_EQ(m_doc.GetNodeCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(m_doc.LoadNodesByName("Nothing"), S_OK);
    EXPECT_EQ(m_doc.GetNodeCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(m_doc.GotoNodeAt(0), S_FALSE);
    EXPECT_EQ(CursorName(m_doc), "GetUserInfoResult");
}

TEST_F(SoapDocTest, DocumentIsNoElementForLoadNodesByName)
{
    // After a load the cursor is the document, and the list its children.
    EXPECT_EQ(m_doc.LoadNodesByName("File"), E_NOINTERFACE);
    long count = -1;
    EXPECT_EQ(m_doc.GetNodeCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(m_doc.GetNodeCount(nullptr), E_INVALIDARG);
}

TEST(XmlDocReferences, MovingOntoTheCursorKeepsCountsExact)
{
    CComPtr<IXMLDOMNode> held;
    long withCursor = 0;
    {
        CXMLDoc doc;
        ASSERT_EQ(doc.LoadString(kSoapResponse), S_OK);
        ASSERT_EQ(doc.GotoNode(kResult), S_OK);
        ASSERT_EQ(doc.GotoNode("", held), S_OK);
        withCursor = RefCount(held.Get());

        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(doc.GotoNode(""), S_OK);
            ASSERT_EQ(doc.GotoNode(nullptr), S_OK);
            EXPECT_EQ(RefCount(held.Get()), withCursor);
        }
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(doc.GotoNode("."), S_OK);
        // The cursor is still alive and still where it was.
        EXPECT_EQ(CursorName(doc), "GetUserInfoResult");
        CString status("junk");
        EXPECT_EQ(doc.GetSingleNodeValue("Status", status), S_OK);
        EXPECT_EQ(status.str(), "0");

        // Whatever object "." gave, the held one is let go once when the
        // cursor leaves for another node, and the new cursor once by the
        // destructor.
        ASSERT_EQ(doc.GotoNode("Status"), S_OK);
        EXPECT_EQ(RefCount(held.Get()), withCursor - 1);
        ASSERT_EQ(doc.GotoNode(".."), S_OK);
    }
    EXPECT_EQ(RefCount(held.Get()), withCursor - 1);
}

TEST(XmlDocReferences, DocumentAsCursorIsReleasedOncePerReference)
{
    CComPtr<IXMLDOMNode> document;
    long afterLoad = 0;
    {
        CXMLDoc doc;
        ASSERT_EQ(doc.LoadString(kSoapResponse), S_OK);
        ASSERT_EQ(doc.GotoNode("", document), S_OK);
        afterLoad = RefCount(document.Get());
        ASSERT_EQ(doc.GotoNode(""), S_OK);
        EXPECT_EQ(RefCount(document.Get()), afterLoad);
        ASSERT_EQ(doc.GotoNode(kEnvelope), S_OK);
        EXPECT_EQ(RefCount(document.Get()), afterLoad - 1);
    }
    EXPECT_EQ(RefCount(document.Get()), afterLoad - 2);
}

TEST_F(SoapDocTest, ResolveFormReplacesWhatTheOutParameterHeld)
{
    ASSERT_EQ(m_doc.GotoNode(kResult), S_OK);
    CComPtr<IXMLDOMNode> junk;
    ASSERT_EQ(m_doc.GotoNode("Code", junk), S_OK);
    const CComPtr<IXMLDOMNode> keep = junk;
    const long bothHold = RefCount(keep.Get());

    struct Case {
        const char* path;
        HRESULT hr;
        const char* found;
    };
    const Case cases[] = {
        {"Missing", S_FALSE, "(none)"},
        {"../../../../../Status", E_FAIL, "(none)"},
        {"Name", S_OK, "Name"},
        {"", S_OK, "GetUserInfoResult"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        junk = keep;
        ASSERT_EQ(RefCount(keep.Get()), bothHold);
        EXPECT_EQ(m_doc.GotoNode(c.path, junk), c.hr);
        EXPECT_EQ(NameOf(junk.Get()), c.found);
        EXPECT_EQ(RefCount(keep.Get()), bothHold - 1);
    }
}
