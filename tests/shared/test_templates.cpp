#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/xml/Base64Coder.h"
#include "shared/config/Config.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/requests/TempMgr.h"
#include "shared/requests/Template.h"
#include "shared/xml/XmlEscape.h"
#include "shared/xml/XmlProlog.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

CRecip* AddSigner(CTemplate& owner, const char* name, const char* email, const char* role = "",
                  int sequence = -1)
{
    auto signer = std::make_unique<CRecip>();
    signer->m_name = name;
    signer->m_email = email;
    signer->m_role = role;
    signer->m_sequence = sequence;
    CRecip* raw = signer.get();
    owner.m_signers.AddTail(signer.release());
    return raw;
}

std::vector<std::string> Emails(const CTemplate& owner)
{
    std::vector<std::string> emails;
    for (const CRecip* signer : owner.m_signers)
        emails.push_back(signer->m_email.str());
    return emails;
}

CRecip* FindByEmail(const CTemplate& owner, const char* email)
{
    for (CRecip* signer : owner.m_signers) {
        if (signer->m_email == email)
            return signer;
    }
    return nullptr;
}

std::vector<std::string> Choices(const CStringList& list)
{
    std::vector<std::string> out;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        out.push_back(list.GetNext(pos).str());
    return out;
}

// A template file as the editor lays it out, from the pieces a test cares about.
std::string TemplateXml(const std::string& name, const std::string& documents,
                        const std::string& signers, int sendMode = 0)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>" + name +
           "</Name>\n" + documents + "<Options><SignatureType>0</SignatureType>\n<SendMode>" +
           std::to_string(sendMode) +
           "</SendMode>\n<Positioning>0</Positioning>\n<Password></Password>\n"
           "<MouseTouchSigning>0</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
           "</Options><Email><Subject>s</Subject>\n</Email><Signers>" +
           signers + "</Signers></inkTemplate>";
}

std::string DocXml(const std::string& key, const std::string& name, const std::string& type,
                   const std::string& fileBytes = "", bool withBytes = false)
{
    std::string text =
        "<Document><Key>" + key + "</Key>\n<Name>" + name + "</Name>\n<Type>" + type + "</Type>\n";
    if (withBytes)
        text += "<FileBytes>" + fileBytes + "</FileBytes>";
    return text + "</Document>";
}

std::string SignerXml(const std::string& name, const std::string& email, const std::string& role,
                      int sequence, int sender = 0, int hardCoded = 0)
{
    return "<Signer><Name>" + name + "</Name>\n<Email>" + email + "</Email>\n<Role>" + role +
           "</Role>\n<Sequence>" + std::to_string(sequence) + "</Sequence>\n<Sender>" +
           std::to_string(sender) + "</Sender>\n<HardCoded>" + std::to_string(hardCoded) +
           "</HardCoded>\n</Signer>";
}

class TemplateTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        ServiceGlobals().senderName = "Me Myself";
        ServiceGlobals().senderSmtp = "me@x.com";
    }
    void TearDown() override
    {
        ServiceGlobals().senderName.Empty();
        ServiceGlobals().senderSmtp.Empty();
        CleanProfileTest::TearDown();
    }

    std::string Folder(const char* name)
    {
        const std::string folder = TempDir() + name;
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }

    std::string WriteTemplate(const std::string& folder, const std::string& file,
                              const std::string& text)
    {
        const std::string path = folder + "\\" + file;
        WriteFileBytes(path, text);
        return path;
    }
};

const char* const kBase64Of256 =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4v\n"
    "MDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5f\n"
    "YGFiY2RlZmdoaWprbG1ub3BxcnN0dXZ3eHl6e3x9fn+AgYKDhIWGh4iJiouMjY6P\n"
    "kJGSk5SVlpeYmZqbnJ2en6ChoqOkpaanqKmqq6ytrq+wsbKztLW2t7i5uru8vb6/\n"
    "wMHCw8TFxsfIycrLzM3Oz9DR0tPU1dbX2Nna29zd3t/g4eLj5OXm5+jp6uvs7e7v\n"
    "8PHy8/T19vf4+fr7/P3+/w==\n";

// ---- the template file ----

TEST_F(TemplateTest, RoundTripKeepsTheByteLayoutAndEveryField)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written in Windows-1252; this process runs code page " << GetACP();
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const std::string source = TempDir() + "doc.bin";
    WriteFileBytes(source, all);
    const std::string folder = Folder("lib");

    CTemplate saved;
    saved.m_name = "Contract Q1";
    saved.m_description = "R&D <draft> it's\tcaf\xE9";
    saved.m_signatureDoc = std::make_unique<CTempDoc>();
    saved.m_signatureDoc->m_key = source.c_str();
    saved.m_signatureDoc->m_name = "A&B's <deal>\tr\xE9sum\xE9";
    saved.m_signatureDoc->m_kind = CTempDoc::kEmbedded;
    saved.m_signatureDoc->m_browsed = true; // its key is the file the user picked
    saved.m_referenceDoc = std::make_unique<CTempDoc>();
    saved.m_referenceDoc->m_key = "terms.pdf";
    saved.m_referenceDoc->m_name = "terms.pdf";
    saved.m_sendOptions.m_signatureType = 2;
    saved.m_sendOptions.m_sendMode = 0;
    saved.m_sendOptions.m_positioning = 1;
    saved.m_sendOptions.m_password = "p&<w'\t\xE9";
    saved.m_sendOptions.m_mouseSignAllowed = 1;
    saved.m_subject = "Re: A&B <x> it's\tna\xEFve";
    saved.m_message = "Dear \xC9milie & co";
    AddSigner(saved, "Ann & Co", "ann@x.com", "Buyer<1>", 1);
    AddSigner(saved, "Bj\xF6rn", "bjorn@x.com", "Seller", 2)->m_sender = 1;
    AddSigner(saved, "", "carl@x.com", "", 3)->m_hardCoded = 1;
    AddSigner(saved, "Skipped", "skip@x.com", "Sender", 4)->m_skip = 1;
    ASSERT_EQ(S_OK, saved.SaveXML(folder.c_str()));

    const std::string path = folder + "\\Contract Q1.xml";
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate>"
        "<Name>Contract Q1</Name>\n"
        "<Description>R&amp;D &lt;draft&gt; it&#39;s&#9;caf&#233;</Description>\n"
        "<Document><Key>" +
        std::string(XmlEscaped(source.c_str())) +
        "</Key>\n"
        "<Name>A&amp;B&#39;s &lt;deal&gt;&#9;r&#233;sum&#233;</Name>\n"
        "<Type>Signature</Type>\n"
        "<FileBytes>" +
        std::string(kBase64Of256) +
        "</FileBytes></Document>"
        "<Document><Key>terms.pdf</Key>\n<Name>terms.pdf</Name>\n<Type>Reference</Type>\n"
        "</Document>"
        "<Options><SignatureType>2</SignatureType>\n<SendMode>0</SendMode>\n"
        "<Positioning>1</Positioning>\n<Password>p&amp;&lt;w'\t&#233;</Password>\n"
        "<MouseTouchSigning>1</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
        "</Options><Email><Subject>Re: A&amp;B &lt;x&gt; it's\tna&#239;ve</Subject>\n"
        "<Message>Dear &#201;milie &amp; co</Message>\n</Email><Signers>"
        "<Signer><Name>Ann &amp; Co</Name>\n<Email>ann@x.com</Email>\n"
        "<Role>Buyer&lt;1&gt;</Role>\n<Sequence>1</Sequence>\n<Sender>0</Sender>\n"
        "<HardCoded>0</HardCoded>\n</Signer>"
        "<Signer><Name>Bj&#246;rn</Name>\n<Email>bjorn@x.com</Email>\n<Role>Seller</Role>\n"
        "<Sequence>2</Sequence>\n<Sender>1</Sender>\n<HardCoded>0</HardCoded>\n</Signer>"
        "<Signer><Name></Name>\n<Email>carl@x.com</Email>\n<Role></Role>\n"
        "<Sequence>3</Sequence>\n<Sender>0</Sender>\n<HardCoded>1</HardCoded>\n</Signer>"
        "</Signers></inkTemplate>";
    ASSERT_EQ(expected, ReadFileBytes(path));

    CTemplate loaded;
    ASSERT_EQ(S_OK, loaded.LoadXML(path.c_str()));
    EXPECT_EQ(path, loaded.m_filePath.str());
    EXPECT_EQ("Contract Q1", loaded.m_name.str());
    EXPECT_EQ("R&D <draft> it's\tcaf\xE9", loaded.m_description.str());
    EXPECT_EQ("Re: A&B <x> it's\tna\xEFve", loaded.m_subject.str());
    EXPECT_EQ("Dear \xC9milie & co", loaded.m_message.str());
    EXPECT_EQ("p&<w'\t\xE9", loaded.m_sendOptions.m_password.str());
    EXPECT_EQ(2, loaded.m_sendOptions.m_signatureType);
    EXPECT_EQ(1, loaded.m_sendOptions.m_positioning);
    EXPECT_EQ(1, loaded.m_sendOptions.m_mouseSignAllowed);
    EXPECT_EQ(0, loaded.m_sendOptions.m_hideEmailAddrs);

    ASSERT_TRUE(loaded.m_signatureDoc);
    const CTempDoc& doc = *loaded.m_signatureDoc;
    EXPECT_EQ(source, doc.m_key.str());
    EXPECT_EQ("A&B's <deal>\tr\xE9sum\xE9", doc.m_name.str());
    EXPECT_EQ(CTempDoc::kEmbedded, doc.m_kind);
    EXPECT_EQ(1, doc.m_fromTemplate);
    EXPECT_EQ(kBase64Of256, ReadFileBytes(doc.m_embeddedPath.str()));
    const std::string decoded = TempDir() + "decoded.bin";
    File64Coder coder;
    ASSERT_TRUE(coder.DecodeFile(doc.m_embeddedPath, decoded.c_str()));
    EXPECT_EQ(all, ReadFileBytes(decoded));
    ASSERT_TRUE(loaded.m_referenceDoc);
    EXPECT_EQ(CTempDoc::kKeyIsName, loaded.m_referenceDoc->m_kind);
    EXPECT_FALSE(loaded.m_infoDoc);

    // The reader gives the signers back to front; the skipped one stayed out.
    EXPECT_EQ((std::vector<std::string>{"carl@x.com", "bjorn@x.com", "ann@x.com"}), Emails(loaded));
    const struct {
        const char* email;
        const char* name;
        const char* role;
        int sequence;
        const char* sequenceText;
        int sender;
        int hardCoded;
    } signers[] = {
        {"ann@x.com", "Ann & Co", "Buyer<1>", 1, "1", 0, 0},
        {"bjorn@x.com", "Bj\xF6rn", "Seller", 2, "2", 1, 0},
        {"carl@x.com", "", "", 3, "3", 0, 1},
    };
    for (const auto& want : signers) {
        SCOPED_TRACE(want.email);
        const CRecip* got = FindByEmail(loaded, want.email);
        ASSERT_TRUE(got);
        EXPECT_EQ(want.name, got->m_name.str());
        EXPECT_EQ(want.role, got->m_role.str());
        EXPECT_EQ(want.sequence, got->m_sequence);
        EXPECT_EQ(want.sequenceText, got->m_sequenceText.str());
        EXPECT_EQ(want.sender, got->m_sender);
        EXPECT_EQ(want.hardCoded, got->m_hardCoded);
    }
    // One role per signer with a role, in signer order.
    std::vector<std::pair<std::string, int>> roles;
    for (const CRole* role : loaded.m_roles)
        roles.emplace_back(role->m_name.str(), role->m_sequence);
    EXPECT_EQ((std::vector<std::pair<std::string, int>>{{"Seller", 2}, {"Buyer<1>", 1}}), roles);
}

// An embedded document of megabytes (10 MB failed, 50 MB took most of a
// minute when the reader took the text) reads back whole, as the editor
// writes it and with other line breaks.
TEST_F(TemplateTest, LargeEmbeddedDocumentsReadBackWholeInEveryLayout)
{
    const std::string bytes = RandomBytes(10 * 1024 * 1024 + 2, 10);
    const std::string source = TempDir() + "scan.pdf";
    WriteFileBytes(source, bytes);
    const std::string folder = Folder("large");
    CTemplate saved;
    saved.m_name = "Scan";
    saved.m_signatureDoc = std::make_unique<CTempDoc>();
    saved.m_signatureDoc->m_key = source.c_str();
    saved.m_signatureDoc->m_name = "scan.pdf";
    saved.m_signatureDoc->m_kind = CTempDoc::kEmbedded;
    saved.m_signatureDoc->m_browsed = true;
    ASSERT_EQ(S_OK, saved.SaveXML(folder.c_str()));
    DeleteFileA(source.c_str());
    const std::string file = ReadFileBytes(folder + "\\Scan.xml");
    const size_t start = file.find("<FileBytes>") + 11;
    const size_t end = file.find("</FileBytes>");
    ASSERT_LT(start, end);
    const std::string lines = file.substr(start, end - start);
    std::string unbroken = lines;
    unbroken.erase(std::remove(unbroken.begin(), unbroken.end(), '\n'), unbroken.end());
    std::string crlf;
    for (char ch : lines)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);

    const struct {
        const char* name;
        std::string text;
        std::string delivered;
    } layouts[] = {
        {"AsWritten", lines, lines}, {"CrLf", crlf, lines}, {"Unbroken", unbroken, unbroken}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const std::string path =
            WriteTemplate(folder, std::string(layout.name) + ".xml",
                          file.substr(0, start) + layout.text + file.substr(end));
        CTemplate loaded;
        ASSERT_EQ(S_OK, loaded.LoadXML(path.c_str()));
        ASSERT_TRUE(loaded.m_signatureDoc);
        const CTempDoc& doc = *loaded.m_signatureDoc;
        EXPECT_EQ(CTempDoc::kEmbedded, doc.m_kind);
        EXPECT_TRUE(ReadFileBytes(doc.m_embeddedPath.str()) == layout.delivered)
            << "the embedded text differs";
        const std::string decoded = TempDir() + "decoded.bin";
        File64Coder coder;
        ASSERT_TRUE(coder.DecodeFile(doc.m_embeddedPath, decoded.c_str()));
        EXPECT_TRUE(ReadFileBytes(decoded) == bytes) << "the document differs";
        DeleteFileA(decoded.c_str());
    }
    EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "an embedded file outlived its template";
}

// The embedded text is the document's base64 in lines of 64 characters,
// each closed by "\n", whatever the document's size and wherever the writer
// cuts its reads; a text read back from a template goes out as it came.
TEST_F(TemplateTest, EmbeddedDocumentsAreWrittenAsTheirBase64Lines)
{
    const std::string folder = Folder("lines");
    const auto lines = [](const std::string& bytes) {
        const std::string text = standin::Base64Encode(bytes);
        std::string out;
        for (size_t at = 0; at < text.size(); at += 64)
            out += text.substr(at, 64) + "\n";
        return out;
    };
    const std::string kept = TempDir() + "kept.b64";
    WriteFileBytes(kept, "QUJD\r\nREVG\r\n");
    const struct {
        const char* what;
        size_t size;          // of a document the key names
        const char* keptText; // or none, and this embedded text
    } cases[] = {
        {"empty", 0, nullptr},
        {"one byte", 1, nullptr},
        {"one line less a byte", 47, nullptr},
        {"one line", 48, nullptr},
        {"one line and a byte", 49, nullptr},
        {"past the encoder's read block", 48 * 16384 * 2 + 5, nullptr},
        {"read back from a template", 0, "QUJD\r\nREVG\r\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string bytes = RandomBytes(test.size, static_cast<unsigned>(test.size));
        const std::string source = TempDir() + "doc.bin";
        CTemplate saved;
        saved.m_name = "Lines";
        saved.m_signatureDoc = std::make_unique<CTempDoc>();
        saved.m_signatureDoc->m_name = "doc.bin";
        saved.m_signatureDoc->m_kind = CTempDoc::kEmbedded;
        if (test.keptText) {
            saved.m_signatureDoc->m_key = (TempDir() + "gone.bin").c_str();
            saved.m_signatureDoc->m_embeddedPath = kept.c_str();
        } else {
            WriteFileBytes(source, bytes);
            saved.m_signatureDoc->m_key = source.c_str();
            saved.m_signatureDoc->m_browsed = true;
        }
        ASSERT_EQ(S_OK, saved.SaveXML(folder.c_str()));
        const std::string file = ReadFileBytes(folder + "\\Lines.xml");
        const size_t start = file.find("<FileBytes>") + 11;
        const size_t end = file.find("</FileBytes>");
        ASSERT_LE(start, end);
        EXPECT_TRUE(file.substr(start, end - start) ==
                    (test.keptText ? std::string(test.keptText) : lines(bytes)))
            << "the embedded text differs";
        DeleteFileA(source.c_str());
    }
    DeleteFileA(kept.c_str());
    EXPECT_TRUE(QuillFiles(TempDir()).empty()) << "the writer left a file behind";
}

TEST_F(TemplateTest, ReaderEdgeCases)
{
    const std::string folder = Folder("edge");
    const std::string path = WriteTemplate(
        folder, "edge.xml",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>Edge</Name>\n"
        "<Role>stray</Role>\n"
        "<Document><Key>k</Key>\n<Name>n</Name>\n</Document>"
        "<Options><SignatureType>x7</SignatureType>\n<SendMode>1</SendMode>\n</Options>"
        "<Signers><Signer><Name>Z</Name>\n<Email>z@x.com</Email>\n<Sequence>12</Sequence>\n"
        "<Sequence>3</Sequence>\n<Description>lost</Description>\n</Signer></Signers>"
        "</inkTemplate>");
    CTemplate loaded;
    ASSERT_EQ(S_OK, loaded.LoadXML(path.c_str()));
    EXPECT_EQ("", loaded.m_description.str()); // absent here, and the signer's is not its
    EXPECT_EQ(0, loaded.m_sendOptions.m_signatureType);
    EXPECT_EQ(1, loaded.m_sendOptions.m_sendMode);
    // A document without a type is the signature document; without bytes
    // and with a key unlike its name it is a plain one.
    ASSERT_TRUE(loaded.m_signatureDoc);
    EXPECT_EQ(CTempDoc::kPlain, loaded.m_signatureDoc->m_kind);
    ASSERT_EQ(1, loaded.m_signers.GetCount());
    const CRecip& signer = *loaded.m_signers.GetHead();
    EXPECT_EQ("", signer.m_role.str());
    // A repeated element keeps both texts; the number is the last element's.
    EXPECT_EQ("123", signer.m_sequenceText.str());
    EXPECT_EQ(3, signer.m_sequence);
}

// Every embedded-bytes file the reader makes belongs to a document the
// template kept; the others must not pile up in the temporary folder.
TEST_F(TemplateTest, DroppedDocumentsTakeTheirEmbeddedFilesAlong)
{
    const std::string folder = Folder("drop");
    const std::string head = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate>"
                             "<Name>T</Name>\n";
    const struct {
        const char* what;
        std::string text;
        bool parses;
        const char* keptBytes; // the signature document's embedded text, if any
    } cases[] = {
        {"unknown type", head + DocXml("k", "n", "Mystery", "QUJD", true) + "</inkTemplate>", true,
         nullptr},
        {"replaced signature document",
         head + DocXml("k1", "n1", "Signature", "Zmlyc3Q=", true) +
             DocXml("k2", "n2", "Signature", "c2Vjb25k", true) + "</inkTemplate>",
         true, "c2Vjb25k"},
        {"aborted inside the bytes", head + "<Document><Key>k</Key>\n<FileBytes>QUJD", false,
         nullptr},
        {"aborted after the bytes",
         head + "<Document><Key>k</Key>\n<FileBytes>QUJD</FileBytes><Name>n", false, nullptr},
        {"aborted inside a signer", head + "<Signers><Signer><Name>x", false, nullptr},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string path = WriteTemplate(folder, "t.xml", test.text);
        {
            CTemplate loaded;
            const HRESULT hr = loaded.LoadXML(path.c_str());
            EXPECT_EQ(test.parses, SUCCEEDED(hr));
            if (test.keptBytes) {
                ASSERT_TRUE(loaded.m_signatureDoc);
                EXPECT_EQ("n2", loaded.m_signatureDoc->m_name.str());
                EXPECT_EQ(test.keptBytes,
                          ReadFileBytes(loaded.m_signatureDoc->m_embeddedPath.str()));
                EXPECT_EQ(1u, QuillFiles(TempDir()).size());
                DeleteFileA(loaded.m_signatureDoc->m_embeddedPath);
            } else if (test.parses) {
                EXPECT_FALSE(loaded.m_signatureDoc);
            }
        }
        EXPECT_EQ(std::vector<std::string>{}, QuillFiles(TempDir()));
    }
}

// No letter is lost on the way through a template file, whichever field it
// is in and however the field is escaped.
TEST_F(TemplateTest, AccentedValuesSurviveTheFile)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written in Windows-1252; this process runs code page " << GetACP();
    const char* const values[] = {
        "J\xFCrgen M\xFCller & S\xF6hne <Sales>",
        "Caf\xE9 \x80 100, O'Brien",
        "\xC9milie; \"na\xEFve\" \xDF",
    };
    const std::string folder = Folder("accents");
    for (const char* value : values) {
        SCOPED_TRACE(value);
        CTemplate saved;
        saved.m_name = "Accents";
        saved.m_description = value;
        saved.m_subject = value;
        saved.m_message = value;
        saved.m_sendOptions.m_password = value;
        saved.m_signatureDoc = std::make_unique<CTempDoc>();
        saved.m_signatureDoc->m_key = value;
        saved.m_signatureDoc->m_name = value;
        AddSigner(saved, value, value, value, 1);
        ASSERT_EQ(S_OK, saved.SaveXML(folder.c_str()));
        const std::string text = ReadFileBytes(folder + "\\Accents.xml");
        for (char ch : text)
            ASSERT_LT(static_cast<unsigned char>(ch), 128u) << "only ASCII in the file: " << text;

        CTemplate loaded;
        ASSERT_EQ(S_OK, loaded.LoadXML((folder + "\\Accents.xml").c_str()));
        EXPECT_EQ(value, loaded.m_description.str());
        EXPECT_EQ(value, loaded.m_subject.str());
        EXPECT_EQ(value, loaded.m_message.str());
        EXPECT_EQ(value, loaded.m_sendOptions.m_password.str());
        ASSERT_TRUE(loaded.m_signatureDoc);
        EXPECT_EQ(value, loaded.m_signatureDoc->m_key.str());
        EXPECT_EQ(value, loaded.m_signatureDoc->m_name.str());
        ASSERT_EQ(1, loaded.m_signers.GetCount());
        const CRecip& signer = *loaded.m_signers.GetHead();
        EXPECT_EQ(value, signer.m_name.str());
        EXPECT_EQ(value, signer.m_email.str());
        EXPECT_EQ(value, signer.m_role.str());
    }
}

// Whatever a hostile template file holds, it is refused as a whole: no
// document of it is kept, nothing it names is read, and no temporary file
// of it stays behind.
TEST_F(TemplateTest, HostileFilesAreRefusedAndLeaveNothing)
{
    const std::string secret = TempDir() + "secret.txt";
    WriteFileBytes(secret, "SECRET");
    std::string url = "file:///" + secret;
    std::replace(url.begin(), url.end(), '\\', '/');
    const std::string body = "<inkTemplate><Name>&x;</Name>\n" +
                             DocXml("k", "n", "Signature", "QUJD", true) + "</inkTemplate>";
    const struct {
        const char* what;
        std::string text;
        HRESULT hr;
    } cases[] = {
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE inkTemplate [<!ENTITY x SYSTEM \"" + url + "\">]>" +
             body,
         kXmlDtdRefused},
        {"external DTD",
         "<!DOCTYPE inkTemplate SYSTEM \"" + url + "\"><inkTemplate><Name>n</Name>\n" +
             DocXml("k", "n", "Signature", "QUJD", true) + "</inkTemplate>",
         kXmlDtdRefused},
        {"internal DTD", "<!DOCTYPE inkTemplate [<!ENTITY x \"expanded\">]>" + body,
         kXmlDtdRefused},
        {"DTD after a comment",
         "<?xml version=\"1.0\"?>\n<!-- made by hand -->\n<!DOCTYPE inkTemplate>" + body,
         kXmlDtdRefused},
        {"padding in the middle of the bytes",
         "<inkTemplate><Name>n</Name>\n" + DocXml("k", "n", "Signature", "QUJD=QUJD", true) +
             "</inkTemplate>",
         E_FAIL},
        {"bytes outside the alphabet",
         "<inkTemplate><Name>n</Name>\n" + DocXml("k", "n", "Reference", "QU*D", true) +
             DocXml("k", "n", "Signature", "QUJD", true) + "</inkTemplate>",
         E_FAIL},
    };
    const std::string folder = Folder("hostile");
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string path = WriteTemplate(folder, "t.xml", test.text);
        {
            CTemplate loaded;
            EXPECT_EQ(test.hr, loaded.LoadXML(path.c_str()));
            EXPECT_FALSE(loaded.m_signatureDoc) << "nothing of a refused file is used";
            EXPECT_FALSE(loaded.m_referenceDoc);
            EXPECT_EQ(std::string::npos, loaded.m_name.str().find("SECRET"));
        }
        EXPECT_EQ(std::vector<std::string>{}, QuillFiles(TempDir()));
    }

    // Bytes broken into lines, LF or CR LF, are base64 all the same.
    for (const char* lines : {"QUJD\nREVG\n", "QUJD\r\nREVG\r\n"}) {
        const std::string path =
            WriteTemplate(folder, "t.xml",
                          "<inkTemplate><Name>n</Name>\n" +
                              DocXml("k", "n", "Signature", lines, true) + "</inkTemplate>");
        CTemplate loaded;
        ASSERT_EQ(S_OK, loaded.LoadXML(path.c_str()));
        ASSERT_TRUE(loaded.m_signatureDoc);
        EXPECT_EQ(CTempDoc::kEmbedded, loaded.m_signatureDoc->m_kind);
    }
}

// A document with bytes of its own is embedded even when its key is its
// name; its bytes stay on disk as long as a template or a copy of one
// still holds the document, and no longer.
TEST_F(TemplateTest, EmbeddedBytesLiveAsLongAsTheirLastHolder)
{
    const std::string folder = Folder("embedded");
    const std::string path =
        WriteTemplate(folder, "t.xml",
                      "<inkTemplate><Name>n</Name>\n" +
                          DocXml("same.pdf", "same.pdf", "Signature", "QUJD", true) +
                          DocXml("ref.pdf", "ref.pdf", "Reference") + "</inkTemplate>");
    std::string bytesPath;
    auto request = std::make_unique<CTemplate>();
    {
        CTemplate loaded;
        ASSERT_EQ(S_OK, loaded.LoadXML(path.c_str()));
        ASSERT_TRUE(loaded.m_signatureDoc);
        EXPECT_EQ(CTempDoc::kEmbedded, loaded.m_signatureDoc->m_kind);
        EXPECT_EQ(CTempDoc::kKeyIsName, loaded.m_referenceDoc->m_kind) << "no bytes of its own";
        bytesPath = loaded.m_signatureDoc->m_embeddedPath.str();
        EXPECT_EQ("QUJD", ReadFileBytes(bytesPath));
        ASSERT_EQ(S_OK, request->CopyDocuments(loaded));
    }
    EXPECT_TRUE(FileExists(bytesPath)) << "the copy in the request still uses it";
    EXPECT_EQ(bytesPath, request->m_signatureDoc->m_embeddedPath.str());
    request.reset();
    EXPECT_FALSE(FileExists(bytesPath)) << "discarded with its last holder";
    EXPECT_EQ(std::vector<std::string>{}, QuillFiles(TempDir()));
}

TEST_F(TemplateTest, NamesThatLeaveTheFolderAreRefused)
{
    const std::string folder = Folder("names");
    const char* const refused[] = {"",      "..",     ".",      "..\\up", "a/b",     "c:x",
                                   "a*b",   "a?b",    "a\"b",   "a<b",    "a>b",     "a|b",
                                   "tab\t", "trail.", "trail ", "con",    "NUL.txt", "com1"};
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        CTemplate bad;
        bad.m_name = name;
        bad.m_signatureDoc = std::make_unique<CTempDoc>();
        EXPECT_EQ(E_INVALIDARG, bad.SaveXML(folder.c_str()));
        CString path;
        EXPECT_EQ(E_INVALIDARG, CTemplate::PathInFolder(folder.c_str(), name, path));
        EXPECT_EQ("", path.str());
    }
    EXPECT_EQ(std::vector<std::string>{}, ListFiles(folder));
    EXPECT_FALSE(FileExists(TempDir() + "up.xml"));

    // Windows reserves COM and LPT with a superscript digit too, whichever
    // bytes the code page gives the digit.
    const struct {
        const wchar_t* name;
        bool valid;
    } devices[] = {{L"COM\u00b9", false}, {L"com\u00b2", false},      {L"COM\u00b3.xml", false},
                   {L"LPT\u00b9", false}, {L"lpt\u00b2 .txt", false}, {L"LPT\u00b3.txt", false},
                   {L"COM10", true},      {L"LPT\u00b9x", true},      {L"COM", true}};
    for (const auto& device : devices) {
        char name[32] = {};
        ASSERT_LT(0, WideCharToMultiByte(CP_ACP, 0, device.name, -1, name, sizeof name, nullptr,
                                         nullptr));
        SCOPED_TRACE(name);
        EXPECT_EQ(device.valid, CTemplate::IsValidName(name));
        CString path;
        EXPECT_EQ(
            device.valid ? S_OK : E_INVALIDARG,
            CTemplate::PathInFolder(folder.c_str(), (CString(name) + ".xml").GetString(), path));
    }

    CTemplate good;
    good.m_name = "Quarterly (v2) - final";
    EXPECT_EQ(E_INVALIDARG, good.SaveXML(folder.c_str())); // no signature document
    good.m_signatureDoc = std::make_unique<CTempDoc>();
    EXPECT_EQ(S_OK, good.SaveXML(folder.c_str()));
    EXPECT_EQ(std::vector<std::string>{"Quarterly (v2) - final.xml"}, ListFiles(folder));
}

// ---- the model ----

TEST_F(TemplateTest, SendOptionsPiece)
{
    const struct {
        const char* what;
        void (*setup)(CSendOptions&);
        const char* expected;
    } cases[] = {
        {"defaults", [](CSendOptions&) {},
         "<SendOptions>\n<DisplayReceipt>true</DisplayReceipt>\n"
         "<MouseSignAllowed>false</MouseSignAllowed>\n<HideEmailAddrs>false</HideEmailAddrs>\n"
         "<SendInvite>true</SendInvite>\n<SignatureType>0</SignatureType>\n"
         "<Positioning>0</Positioning>\n<SendMode>0</SendMode>\n<ReceiptType>3</ReceiptType>\n"
         "</SendOptions>\n"},
        {"everything",
         [](CSendOptions& options) {
             options.m_password = "pw";
             options.m_displayReceipt = 0;
             options.m_mouseSignAllowed = 1;
             options.m_hideEmailAddrs = 1;
             options.m_sendInvite = 0;
             options.m_signatureType = 2;
             options.m_positioning = 1;
             options.m_sendMode = 1;
             options.m_receiptType = 6;
             options.m_receiptSubject = "Sent";
             options.m_categoryTags = "Blue";
             options.m_string1 = "never";
         },
         "<SendOptions>\n<Password>pw</Password>\n<DisplayReceipt>false</DisplayReceipt>\n"
         "<MouseSignAllowed>true</MouseSignAllowed>\n<HideEmailAddrs>true</HideEmailAddrs>\n"
         "<SendInvite>false</SendInvite>\n<SignatureType>2</SignatureType>\n"
         "<Positioning>1</Positioning>\n<SendMode>1</SendMode>\n<ReceiptType>6</ReceiptType>\n"
         "<ReceiptSubject>Sent</ReceiptSubject>\n<CategoryTags>Blue</CategoryTags>\n"
         "</SendOptions>\n"},
        {"texts with markup and accents, escaped whole",
         [](CSendOptions& options) {
             options.m_password = "a<b&c";
             options.m_receiptSubject = "Sign \xE9t\xE9 <now>";
             options.m_categoryTags = "R&D";
         },
         "<SendOptions>\n<Password>a&lt;b&amp;c</Password>\n<DisplayReceipt>true</DisplayReceipt>\n"
         "<MouseSignAllowed>false</MouseSignAllowed>\n<HideEmailAddrs>false</HideEmailAddrs>\n"
         "<SendInvite>true</SendInvite>\n<SignatureType>0</SignatureType>\n"
         "<Positioning>0</Positioning>\n<SendMode>0</SendMode>\n<ReceiptType>3</ReceiptType>\n"
         "<ReceiptSubject>Sign &#233;t&#233; &lt;now&gt;</ReceiptSubject>\n"
         "<CategoryTags>R&amp;D</CategoryTags>\n</SendOptions>\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        CSendOptions options;
        test.setup(options);
        CString path;
        ASSERT_EQ(1, options.WriteXml(path));
        EXPECT_EQ(test.expected, ReadFileBytes(path.str()));
        DeleteFileA(path);
    }
}

TEST_F(TemplateTest, KeywordRowsComeOutFrontToBack)
{
    CTemplate request;
    AddSigner(request, "Ann", "ann@x.com", "Buyer");
    CRecip* open = AddSigner(request, "", "bob@x.com");
    open->m_choices.AddTail("Seller");
    open->m_choices.AddTail("Witness");
    request.m_signatureDoc = std::make_unique<CTempDoc>();
    request.m_signatureDoc->m_name = "deal.pdf";
    request.m_infoDoc = std::make_unique<CTempDoc>();
    request.m_infoDoc->m_name = "info.pdf";
    request.m_sendOptions.m_signatureType = 1;
    request.m_sendOptions.m_password = "secret";
    ASSERT_EQ(S_OK, request.BuildKeywordRows());

    std::vector<std::string> rows;
    for (const CKeywordValue* row : request.m_keywordValues)
        rows.push_back(row->m_key.str() + "=" + row->m_value.str() + "/" + row->m_type.str());
    EXPECT_EQ((std::vector<std::string>{
                  "Password=secret/Text", "Mode=normal/List", "Signature Type=written/List",
                  "Additional Information=info.pdf/Text", "Signature Document=deal.pdf/Text",
                  "bob@x.com=<click here to select role>/List", "Ann=Buyer/Text"}),
              rows);
    const CKeywordValue& roleRow =
        *request.m_keywordValues.GetAt(request.m_keywordValues.FindIndex(5));
    EXPECT_EQ(CKeywordValue::kRoleRowTag, roleRow.m_tag);
    EXPECT_EQ(1, roleRow.m_choice);
    EXPECT_EQ(-1, roleRow.m_selected);
    EXPECT_EQ((std::vector<std::string>{"Seller", "Witness"}), Choices(roleRow.m_choices));

    // The row is keyed by the address, and that is how its signer is found.
    CKeywordValue picked = roleRow;
    picked.m_value = "Witness";
    EXPECT_TRUE(request.SetSignerRole(picked));
    EXPECT_EQ("Witness", open->m_role.str());

    request.m_sendOptions.m_sendMode = 1;
    open->m_role.Empty();
    ASSERT_EQ(S_OK, request.BuildKeywordRows());
    for (const CKeywordValue* row : request.m_keywordValues)
        EXPECT_NE("bob@x.com", row->m_key.str()); // no role to pick in a broadcast

    request.m_sendOptions.m_sendMode = 2;
    EXPECT_EQ(E_FAIL, request.BuildKeywordRows());
}

TEST_F(TemplateTest, RoleChoiceCountsOnlyRoleRows)
{
    CTemplate request;
    AddSigner(request, "A", "a@x.com")->m_choices.AddTail("R1");
    AddSigner(request, "B", "b@x.com")->m_choices.AddTail("R2");
    AddSigner(request, "C", "c@x.com");
    ASSERT_EQ(S_OK, request.BuildKeywordRows());
    auto rowFor = [&request](const char* key) -> CKeywordValue& {
        for (CKeywordValue* row : request.m_keywordValues) {
            if (row->m_key == key)
                return *row;
        }
        throw std::runtime_error(key);
    };
    rowFor("A").m_value = "R1";
    rowFor("B").m_value = "R2";
    CKeywordValue& row = rowFor("C");

    const struct {
        const char* what;
        std::vector<const char*> choices;
        int skipB;
        int result;
        const char* value;
    } cases[] = {
        {"all taken", {"R1", "R2"}, 0, 1, ""},
        {"one free", {"R1", "R3"}, 0, 1, "R3"},
        {"a skipped row does not take its role", {"R1", "R2"}, 1, 1, "R2"},
        {"two free", {"R3", "R4"}, 0, 0, "<click here to select role>"},
        // The option rows hold these values but take no role.
        {"option values are no roles",
         {"electronic", "normal"},
         0,
         0,
         "<click here to select role>"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        row.m_choices.RemoveAll();
        for (const char* choice : test.choices)
            row.m_choices.AddTail(choice);
        row.m_value = "<click here to select role>";
        rowFor("B").m_skip = test.skipB;
        EXPECT_EQ(test.result, request.AutoSelectRole(row));
        EXPECT_EQ(test.value, row.m_value.str());
    }
    EXPECT_EQ(0, request.IsRoleTaken("written"));
    EXPECT_EQ(1, request.IsRoleTaken("R1"));
}

TEST_F(TemplateTest, IdentifyUserTakesTheIdentitySetting)
{
    ServiceGlobals().senderSmtp.Empty();
    CConfig().SetIdentity("Jane <JANE@Example.COM>");
    EXPECT_EQ(S_OK, CTemplate::IdentifyUser());
    EXPECT_EQ("jane@example.com", ServiceGlobals().senderSmtp.str());
    CConfig().SetIdentity("no address here");
    EXPECT_EQ(E_FAIL, CTemplate::IdentifyUser());
}

TEST_F(TemplateTest, CopyIsDeep)
{
    CTemplate original;
    original.m_name = "N";
    original.m_signatureDoc = std::make_unique<CTempDoc>();
    original.m_signatureDoc->m_name = "d.pdf";
    AddSigner(original, "A", "a@x.com", "R")->m_choices.AddTail("R");
    CTemplate copy;
    AddSigner(copy, "old", "old@x.com");
    copy = original;
    original.m_signatureDoc->m_name = "changed";
    original.m_signers.GetHead()->m_email = "changed";
    EXPECT_EQ("N", copy.m_name.str());
    EXPECT_EQ("d.pdf", copy.m_signatureDoc->m_name.str());
    EXPECT_EQ(std::vector<std::string>{"a@x.com"}, Emails(copy));
    EXPECT_EQ(std::vector<std::string>{"R"}, Choices(copy.m_signers.GetHead()->m_choices));
}

// ---- matching and the library ----

class LibraryTest : public TemplateTest {
protected:
    void SetUp() override
    {
        TemplateTest::SetUp();
        m_folder = Folder("library");
        WriteTemplate(m_folder, "broken.xml", "<inkTemplate><Name>Broken</Name><Signers>");
        WriteTemplate(
            m_folder, "pair.xml",
            TemplateXml("Pair", DocXml("pair.pdf", "pair.pdf", "Signature"),
                        SignerXml("B", "b@x.com", "RB", 1) + SignerXml("C", "c@x.com", "RC", 2)));
        WriteTemplate(
            m_folder, "broadcast.xml",
            TemplateXml("Broadcast", DocXml("all.pdf", "all.pdf", "Signature"),
                        SignerXml("X", "", "Signer", 2) + SignerXml("S", "", "Sender", 1, 1), 1));
        WriteTemplate(m_folder, "sender.xml",
                      TemplateXml("WithSender", DocXml("mine.pdf", "mine.pdf", "Signature"),
                                  SignerXml("D", "d@x.com", "Client", 2) +
                                      SignerXml("S", "", "Approver", 1, 1)));
        WriteTemplate(m_folder, "nosig.xml",
                      TemplateXml("NoSig", DocXml("ref.pdf", "ref.pdf", "Reference"),
                                  SignerXml("B", "b@x.com", "RB", 1)));
        WriteTemplate(
            m_folder, "two.xml",
            TemplateXml("TwoOpen", DocXml("two.pdf", "two.pdf", "Signature"),
                        SignerXml("P", "p@x.com", "R1", 1) + SignerXml("Q", "q@x.com", "R2", 2)));
        WriteText(kProductKey, "TemplateFolder", m_folder);
    }

    CTemplate* Stored(const char* name)
    {
        for (CTemplate* stored : m_library.GetTemplates()) {
            if (stored->m_name == name)
                return stored;
        }
        return nullptr;
    }

    static void Recipients(CTemplate& request, const std::vector<const char*>& emails)
    {
        for (const char* email : emails)
            AddSigner(request, (std::string("Name of ") + email).c_str(), email)->m_fromMail = 1;
    }

    std::string m_folder;
    CTempMgr m_library;
};

TEST_F(LibraryTest, LoadsTheReadableTemplates)
{
    ASSERT_EQ(1, m_library.LoadTemplates(""));
    EXPECT_EQ(m_folder, m_library.GetFolder().str());
    std::vector<std::string> names;
    for (const CTemplate* stored : m_library.GetTemplates()) {
        names.push_back(stored->m_name.str());
        EXPECT_NE(0u, stored->m_fileTimeLow | stored->m_fileTimeHigh);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"Broadcast", "NoSig", "Pair", "TwoOpen", "WithSender"}),
              names);

    // Loading again replaces the library rather than adding to it.
    ASSERT_EQ(1, m_library.LoadTemplates(m_folder.c_str()));
    EXPECT_EQ(5, m_library.GetTemplates().GetCount());

    const std::string empty = Folder("empty");
    EXPECT_EQ(0, m_library.LoadTemplates(empty.c_str()));
    EXPECT_EQ(0, m_library.GetTemplates().GetCount());
}

TEST_F(LibraryTest, FindMatchesTable)
{
    ASSERT_EQ(1, m_library.LoadTemplates(m_folder.c_str()));
    const struct {
        const char* what;
        std::vector<const char*> recipients;
        const char* required;
        const char* excluded;
        std::vector<std::string> matching; // NoSig always keeps its mark
        const char* last;
    } cases[] = {
        {"one by address, one left over",
         {"a@x.com", "b@x.com"},
         nullptr,
         nullptr,
         {"Broadcast", "NoSig", "Pair", "TwoOpen"},
         nullptr},
        {"one recipient pairs with the one open signer",
         {"a@x.com"},
         nullptr,
         nullptr,
         {"Broadcast", "NoSig", "WithSender"},
         nullptr},
        {"three recipients fit no normal template",
         {"a@x.com", "b@x.com", "e@x.com"},
         nullptr,
         nullptr,
         {"Broadcast", "NoSig"},
         "Broadcast"},
        {"required key", {"a@x.com", "b@x.com"}, "pair.pdf", nullptr, {"NoSig", "Pair"}, "Pair"},
        {"excluded key", {"a@x.com"}, nullptr, "all.pdf", {"NoSig", "WithSender"}, "WithSender"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        CTemplate request;
        Recipients(request, test.recipients);
        int count = -1;
        CTemplate found;
        m_library.FindMatches(&request, count, &found, test.required, test.excluded);
        std::vector<std::string> matching;
        for (const CTemplate* stored : m_library.GetTemplates()) {
            if (stored->m_match)
                matching.push_back(stored->m_name.str());
        }
        std::sort(matching.begin(), matching.end());
        EXPECT_EQ(test.matching, matching);
        EXPECT_EQ(static_cast<int>(test.matching.size()) - 1, count);
        if (test.last) {
            EXPECT_EQ(test.last, found.m_name.str());
        }
        // The request itself is untouched: the search works on copies.
        EXPECT_EQ(std::vector<std::string>(test.recipients.begin(), test.recipients.end()),
                  Emails(request));
        for (const CTemplate* stored : m_library.GetTemplates()) {
            for (const CRecip* signer : stored->m_signers)
                EXPECT_EQ(nullptr, signer->m_partner);
        }
    }
    int count = -1;
    m_library.FindMatches(nullptr, count, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, count);
}

TEST_F(LibraryTest, ApplyPairsByAddressThenTheLeftOverPair)
{
    ASSERT_EQ(1, m_library.LoadTemplates(m_folder.c_str()));
    CTemplate request;
    Recipients(request, {"a@x.com", "b@x.com"});
    ASSERT_EQ(S_OK, request.ApplyTemplate(Stored("Pair")));
    EXPECT_EQ("pair.pdf", request.m_signatureDoc->m_name.str());
    const CRecip* a = FindByEmail(request, "a@x.com");
    const CRecip* b = FindByEmail(request, "b@x.com");
    ASSERT_TRUE(a && b);
    EXPECT_EQ("Name of a@x.com", a->m_name.str());
    EXPECT_EQ("RC", a->m_role.str());
    EXPECT_EQ(2, a->m_sequence);
    EXPECT_EQ(1, a->m_fromMail);
    EXPECT_EQ("RB", b->m_role.str());
    EXPECT_EQ(1, b->m_sequence);
    EXPECT_EQ(FindByEmail(*Stored("Pair"), "c@x.com"), a->m_partner);
}

TEST_F(LibraryTest, SenderIsAddedOnceHoweverOftenApplied)
{
    ASSERT_EQ(1, m_library.LoadTemplates(m_folder.c_str()));
    CTemplate request;
    Recipients(request, {"a@x.com"});
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(S_OK, request.ApplyTemplate(Stored("WithSender")));
        EXPECT_EQ((std::vector<std::string>{"a@x.com", "me@x.com"}), Emails(request));
        const CRecip* me = FindByEmail(request, "me@x.com");
        EXPECT_EQ("Me Myself", me->m_name.str());
        EXPECT_EQ(1, me->m_hardCoded);
        EXPECT_EQ(1, me->m_sender);
        EXPECT_EQ("Approver", me->m_role.str());
        EXPECT_EQ("Client", FindByEmail(request, "a@x.com")->m_role.str());
    }
}

TEST_F(LibraryTest, BroadcastPairsEveryRecipientWithTheOneSigner)
{
    ASSERT_EQ(1, m_library.LoadTemplates(m_folder.c_str()));
    CTemplate request;
    Recipients(request, {"a@x.com", "b@x.com", "e@x.com"});
    ASSERT_EQ(S_OK, request.ApplyTemplate(Stored("Broadcast")));
    EXPECT_EQ(1, request.m_sendOptions.m_sendMode);
    for (const CRecip* recip : request.m_signers) {
        SCOPED_TRACE(recip->m_email.str());
        EXPECT_EQ(recip->m_hardCoded ? "Sender" : "Signer", recip->m_role.str());
        EXPECT_TRUE(recip->m_partner);
    }
    EXPECT_EQ(4, request.m_signers.GetCount());
}

TEST_F(LibraryTest, OpenPairingsOfferEachRoleOnce)
{
    ASSERT_EQ(1, m_library.LoadTemplates(m_folder.c_str()));
    CTemplate request;
    Recipients(request, {"a@x.com", "b@x.com"});
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(S_OK, request.ApplyTemplate(Stored("TwoOpen")));
        for (const CRecip* recip : request.m_signers)
            EXPECT_EQ((std::vector<std::string>{"R2", "R1"}), Choices(recip->m_choices));
    }
    EXPECT_EQ(E_INVALIDARG, request.ApplyTemplate(nullptr));
    EXPECT_EQ(E_INVALIDARG, request.ApplyTemplate(Stored("NoSig")));
    CTemplate three;
    Recipients(three, {"a@x.com", "e@x.com", "f@x.com"});
    EXPECT_EQ(E_INVALIDARG, three.ApplyTemplate(Stored("TwoOpen")));
}

TEST_F(LibraryTest, TemplateNotFromAFileReplacesTheSigners)
{
    CTemplate stored;
    stored.m_signatureDoc = std::make_unique<CTempDoc>();
    AddSigner(stored, "T", "t@x.com", "Role");
    CTemplate request;
    Recipients(request, {"a@x.com", "b@x.com"});
    ASSERT_EQ(S_OK, request.ApplyTemplate(&stored));
    EXPECT_EQ(std::vector<std::string>{"t@x.com"}, Emails(request));
}

} // namespace
