#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "shared/xml/Base64Coder.h"
#include "shared/requests/Receipt.h"
#include "shared/requests/SAXReceipt.h"
#include "shared/xml/XmlProlog.h"
#include "tests/support/TestBase64.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><inkReceipt>\n";
constexpr const char* kTail = "</inkReceipt>\n";

std::string Base64(const std::string& bytes)
{
    Base64Coder coder;
    EXPECT_TRUE(coder.EncodeBytes(reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<UINT>(bytes.size())));
    return std::string(coder.GetEncoded(), coder.GetEncodedLength());
}

// Every byte value, over and over, so that a lost, doubled or misplaced
// piece of the stream shows; long enough for its base64 to cross several of
// the reader's 4096-character pieces.
std::string DocumentBytes(size_t length, int seed)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 31 + i / 251 + static_cast<size_t>(seed)) & 0xff);
    return bytes;
}

// Breaks base64 text into lines the way a mail encoder would.
std::string InLines(const std::string& text, size_t width)
{
    std::string lines;
    for (size_t i = 0; i < text.size(); i += width)
        lines += text.substr(i, width) + "\r\n";
    return lines;
}

const std::string kEnvelopeOpen =
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soap:Body>";
const std::string kEnvelopeClose = "</soap:Body></soap:Envelope>\n";

struct Document {
    std::string operation;
    std::string name;
    std::string bytes;
    std::string encoded; // as it stands in the piece
};

// The request pieces of one target as the add-in cuts them: the
// create-request operation in three (the signer list is its own piece), one
// piece per document.
struct Request {
    std::string subject = "Contract 7";
    std::string signers = "ann@example.com;bob@example.com";
    std::string secondSigners = "carol@example.com";
    std::string ccs;
    std::string message = "Please sign.\r\n<b>Merci</b> \xE9t\xE9 \x80";
    std::vector<Document> documents;

    std::vector<std::string> Pieces() const
    {
        std::vector<std::string> pieces;
        pieces.push_back(kEnvelopeOpen +
                         "<m:CreateSignatureRequest xmlns:m=\"http://quillet.example/ws/\">"
                         "<m:pstr_FileName>" +
                         subject + "</m:pstr_FileName>\n");
        pieces.push_back("<CSRSigners xmlns:m=\"http://quillet.example/ws/\"><m:pstr_Signers>" +
                         signers + "</m:pstr_Signers>\n<m:pstr_SecondSigners>" + secondSigners +
                         "</m:pstr_SecondSigners>\n<m:pstr_CCs>" + ccs +
                         "</m:pstr_CCs>\n</CSRSigners>\n");
        pieces.push_back("<m:pstr_EmailMessage>" + Base64(message) +
                         "</m:pstr_EmailMessage>\n<m:pint_Flags>3</m:pint_Flags>\n"
                         "</m:CreateSignatureRequest>" +
                         kEnvelopeClose);
        for (const Document& document : documents) {
            pieces.push_back(kEnvelopeOpen + "<m:" + document.operation +
                             " xmlns:m=\"http://quillet.example/ws/\"><m:pstr_FileID>"
                             "{FileID}</m:pstr_FileID>\n<m:pstr_FileName>" +
                             document.name + "</m:pstr_FileName>\n<m:pbyt_File>" +
                             document.encoded + "</m:pbyt_File>\n</m:" + document.operation + ">" +
                             kEnvelopeClose);
        }
        return pieces;
    }
};

Document MakeDocument(const char* operation, const char* name, size_t length, int seed,
                      size_t lineWidth = 0)
{
    Document document{operation, name, DocumentBytes(length, seed), {}};
    const std::string encoded = Base64(document.bytes);
    document.encoded = lineWidth ? InLines(encoded, lineWidth) : encoded;
    return document;
}

struct Results {
    std::string fileId = "F-1001";
    std::string link = "https://sign.example/doc?id=1001&key=abc";
    std::string subject = "Quillet Receipt";
    std::string category = "Quillet";
};

using AtomRows = std::vector<std::pair<std::string, std::string>>;

// Documents are compared by length and a 64-bit FNV-1a digest of their
// bytes, which keeps a mismatch readable.
std::string Digest(const std::string& bytes)
{
    unsigned long long hash = 14695981039346656037ull;
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    char text[64];
    wsprintfA(text, "%u bytes, %08lx%08lx", static_cast<unsigned>(bytes.size()),
              static_cast<unsigned long>(hash >> 32), static_cast<unsigned long>(hash));
    return text;
}

// What the reader gives, head first; a document's bytes read from its file.
AtomRows Atoms(const CReceipt& receipt)
{
    AtomRows rows;
    for (const auto& atom : receipt.GetAtoms()) {
        std::string value(atom->m_value.GetString(), atom->m_value.GetLength());
        if (atom->m_name == CReceiptAtom::kDocBytes)
            value = Digest(ReadFileBytes(value));
        rows.emplace_back(atom->m_name.GetString(), value);
    }
    return rows;
}

// The atom list the reader must give for a request: the reverse of the
// order in which the value elements end in the file.
AtomRows ExpectedAtoms(const Request& request, const Results* results)
{
    AtomRows inFileOrder = {
        {"Subject", request.subject},
        {"Signers", request.signers},
        {"SecondSigners", request.secondSigners},
        {"CCs", request.ccs},
        {"EmailMessage", request.message},
    };
    // A document's two atoms come together when its operation ends, its
    // name nearer the head, whichever order its elements stand in.
    for (const Document& document : request.documents) {
        inFileOrder.emplace_back("DocBytes", Digest(document.bytes));
        inFileOrder.emplace_back("DocName", document.name);
    }
    if (results) {
        inFileOrder.emplace_back("FileID", results->fileId);
        inFileOrder.emplace_back("Link", results->link);
        inFileOrder.emplace_back("ReceiptSubject", results->subject);
        inFileOrder.emplace_back("ReceiptCategory", results->category);
    }
    return AtomRows(inFileOrder.rbegin(), inFileOrder.rend());
}

class ReceiptTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        CString folder;
        ASSERT_EQ(S_OK, GetReceiptsFolder(folder));
        m_receipts = std::string(folder.GetString()) + "\\";
        for (const std::string& name : ListFiles(m_receipts))
            m_before.insert(name);
    }

    void TearDown() override
    {
        // The Receipts folder is the profile's own: only what this test
        // filed there goes.
        for (const std::string& name : ListFiles(m_receipts)) {
            if (!m_before.count(name))
                DeleteFileA((m_receipts + name).c_str());
        }
        for (const std::string& path : m_documents)
            DeleteFileA(path.c_str());
        CleanProfileTest::TearDown();
    }

    std::string WritePiece(const std::string& text)
    {
        const std::string path = TempDir() + "piece" + std::to_string(m_pieces++) + ".txt";
        WriteFileBytes(path, text);
        return path;
    }

    // Writes the receipt as the agent does: each piece as it is loaded, the
    // Results once the invitation went out, the closing line, then filed.
    // The work file's path.
    std::string WriteReceipt(CReceipt& receipt, const Request& request, const Results* results)
    {
        for (const std::string& piece : request.Pieces())
            EXPECT_EQ(S_OK, CloseReceiptFile(&receipt, WritePiece(piece).c_str()));
        if (results) {
            EXPECT_EQ(S_OK,
                      AddReceiptResults(&receipt, results->fileId.c_str(), results->link.c_str(),
                                        results->subject.c_str(), results->category.c_str()));
        }
        EXPECT_EQ(S_OK, CloseReceiptFile(&receipt, nullptr));
        const std::string workPath = receipt.GetFilePath().GetString();
        EXPECT_EQ(S_OK, FileReceipt(&receipt));
        return workPath;
    }

    AtomRows ReadBack(const std::string& path, CReceipt& target, bool parses = true)
    {
        const HRESULT hr = CSAXReceipt::ReadFile(path.c_str(), target);
        if (parses)
            EXPECT_EQ(S_OK, hr);
        else
            EXPECT_TRUE(FAILED(hr));
        for (const auto& atom : target.GetAtoms()) {
            if (atom->m_name == CReceiptAtom::kDocBytes)
                m_documents.push_back(atom->m_value.GetString());
        }
        return Atoms(target);
    }

    std::string m_receipts;
    std::set<std::string> m_before;
    std::vector<std::string> m_documents;
    int m_pieces = 0;
};

TEST_F(ReceiptTest, WrittenReceiptReadsBackIntoTheAtomsInReverseFileOrder)
{
    Request request;
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Offer.pdf", 9000, 1));
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Annex.pdf", 20000, 2, 76));
    const Results results;

    CReceipt written(nullptr, CReceipt::kFileReceipt);
    const std::string workPath = WriteReceipt(written, request, &results);
    const std::string filed = written.GetFilePath().GetString();

    EXPECT_FALSE(FileExists(workPath));
    EXPECT_EQ(m_receipts, FolderOf(filed));
    EXPECT_EQ(FileNameOf(workPath), FileNameOf(filed));

    // The pieces stand in the file byte for byte, between the head and the
    // Results block (whose escaped values the read-back checks).
    std::string expectedStart = kHead;
    for (const std::string& piece : request.Pieces())
        expectedStart += piece;
    const std::string file = ReadFileBytes(filed);
    EXPECT_EQ(expectedStart, file.substr(0, expectedStart.size()));
    const std::string rest = file.substr(std::min(expectedStart.size(), file.size()));
    EXPECT_EQ(0u, rest.find("<Results><FileID>")) << rest;
    // One line: the only line feed is the closing line's.
    EXPECT_EQ(rest.size() - 1, rest.find('\n')) << rest;
    EXPECT_EQ(std::string("</Results>") + kTail, rest.substr(rest.size() - 24)) << rest;

    CReceipt read(nullptr, CReceipt::kFileReceipt);
    EXPECT_EQ(ExpectedAtoms(request, &results), ReadBack(filed, read));
    EXPECT_EQ(filed, read.GetFilePath().GetString());
}

TEST_F(ReceiptTest, ResultsValuesWithMarkupCharactersReadBackUnchanged)
{
    const std::vector<Results> cases = {
        {"F-1", "https://sign.example/x?a=1&b=2&amp;c", "Quillet Receipt", "Quillet"},
        {"F&2", "https://sign.example/", "R&D <urgent> \"a\" 'b'", "Sales > Legal"},
        {"F-3", "https://sign.example/</Link>", "]]> &lt;", "A&B;C"},
        // Letters beyond ASCII, each kept (Windows-1252).
        {"F-\xE9", "https://sign.example/\xFC",
         "J\xFCrgen M\xFCller & S\xF6hne <Sales> \x80 O'Brien", "Caf\xE9 \xE9t\xE9"},
    };
    for (const Results& results : cases) {
        SCOPED_TRACE(results.link + " | " + results.subject);
        Request request;
        CReceipt written(nullptr, CReceipt::kFileReceipt);
        WriteReceipt(written, request, &results);

        CReceipt read(nullptr, CReceipt::kFileReceipt);
        EXPECT_EQ(ExpectedAtoms(request, &results),
                  ReadBack(written.GetFilePath().GetString(), read));
    }
}

TEST_F(ReceiptTest, DocumentBytesAndMessageComeOutDecoded)
{
    // Lengths around the 3-byte groups and the reader's 4096-character
    // pieces, one line or broken into lines.
    const std::vector<std::pair<size_t, size_t>> cases = {
        {0, 0}, {1, 0}, {2, 0}, {3072, 0}, {3073, 0}, {6145, 64}, {40000, 76}};
    Request request;
    static const char message[] = "\x00\x01\xff multi\r\nline \xE4\xF6";
    request.message = std::string(message, sizeof message - 1);
    int seed = 0;
    for (const auto& [length, width] : cases) {
        request.documents.push_back(MakeDocument(
            "AddDocumentToRequest", ("doc" + std::to_string(seed)).c_str(), length, seed, width));
        ++seed;
    }
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    WriteReceipt(written, request, nullptr);

    CReceipt read(nullptr, CReceipt::kFileReceipt);
    const AtomRows atoms = ReadBack(written.GetFilePath().GetString(), read);
    EXPECT_EQ(ExpectedAtoms(request, nullptr), atoms);
    // Without a Results block there is no file ID and no link.
    for (const auto& [name, value] : atoms) {
        EXPECT_NE("FileID", name);
        EXPECT_NE("Link", name);
    }
    // The base64 the reader streamed to disk is gone; what stays are the
    // decoded documents the caller was given.
    std::vector<std::string> temporary;
    for (const std::string& name : QuillFiles(TempDir()))
        temporary.push_back(TempDir() + name);
    std::sort(temporary.begin(), temporary.end());
    std::vector<std::string> given = m_documents;
    std::sort(given.begin(), given.end());
    EXPECT_EQ(given, temporary);
}

// The system's own receipt holds its documents as the requests carry them
// (lines of 64 characters, references for "+", "/" and "="); documents of
// megabytes read back whole in that form and in any other line layout.
TEST_F(ReceiptTest, LargeDocumentsReadBackWholeInEveryLayout)
{
    Request request;
    Document asSent = MakeDocument("AddDocumentToRequest", "Scan.pdf", 7600 * 1024, 3);
    asSent.encoded = standin::Base64RequestText(asSent.bytes);
    request.documents.push_back(asSent);
    request.documents.push_back(
        MakeDocument("AddDocumentToRequest", "Annex.pdf", 5 * 1024 * 1024 + 1, 4, 76));
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Notes.pdf", 3000001, 5));
    const Results results;
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    WriteReceipt(written, request, &results);

    CReceipt read(nullptr, CReceipt::kFileReceipt);
    EXPECT_EQ(ExpectedAtoms(request, &results), ReadBack(written.GetFilePath().GetString(), read));
    // Only the decoded documents the caller was given stay.
    EXPECT_EQ(m_documents.size(), QuillFiles(TempDir()).size());
}

TEST_F(ReceiptTest, DocumentOperationsTheReaderDoesNotNameFollowTheLastKnownOne)
{
    Request request;
    request.documents.push_back(MakeDocument("AddReferenceDocument", "Early.pdf", 10, 7));
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Main.pdf", 10, 8));
    request.documents.push_back(MakeDocument("AddInstructionDocument", "Late.pdf", 10, 9));
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    WriteReceipt(written, request, nullptr);

    CReceipt read(nullptr, CReceipt::kFileReceipt);
    Request seen = request;
    seen.documents.erase(seen.documents.begin()); // before any AddDocumentToRequest
    EXPECT_EQ(ExpectedAtoms(seen, nullptr), ReadBack(written.GetFilePath().GetString(), read));
}

// A name and bytes pair only inside their own operation: bytes without a
// name next to a name without bytes are two incomplete documents, both left
// out (the bytes' file with them), never one document made of the two.
TEST_F(ReceiptTest, DocumentsPairByTheirOwnOperation)
{
    auto operation = [](const std::string& inside) {
        return kEnvelopeOpen + "<m:AddDocumentToRequest xmlns:m=\"urn:x\">" + inside +
               "</m:AddDocumentToRequest>" + kEnvelopeClose;
    };
    auto name = [](const char* text) {
        return "<m:pstr_FileName>" + std::string(text) + "</m:pstr_FileName>";
    };
    auto bytes = [](const std::string& text) {
        return "<m:pbyt_File>" + Base64(text) + "</m:pbyt_File>";
    };
    const std::string text =
        std::string(kHead) + operation(bytes("orphan bytes")) + operation(name("Orphan name.pdf")) +
        operation(name("Name first.pdf") + bytes("first")) +
        operation(bytes("second") + name("Bytes first.pdf")) + operation(bytes("lost")) + kTail;
    const std::string path = TempDir() + "pairs.xml";
    WriteFileBytes(path, text);
    const std::vector<std::string> before = ListFiles(TempDir());
    {
        CReceipt read(nullptr, CReceipt::kFileReceipt);
        EXPECT_EQ((AtomRows{{"DocName", "Bytes first.pdf"},
                            {"DocBytes", Digest("second")},
                            {"DocName", "Name first.pdf"},
                            {"DocBytes", Digest("first")}}),
                  ReadBack(path, read));
        m_documents.clear(); // they go with the receipt
    }
    EXPECT_EQ(before, ListFiles(TempDir())) << "a left-out document's file stayed";
}

TEST_F(ReceiptTest, BrokenFileKeepsTheAtomsReadBeforeTheError)
{
    const std::string path = TempDir() + "broken.xml";
    WriteFileBytes(path, std::string(kHead) + "<Results><FileID>F-9</FileID><Link>a & b</Link>");
    CReceipt read(nullptr, CReceipt::kFileReceipt);
    const AtomRows atoms = ReadBack(path, read, false);
    EXPECT_EQ((AtomRows{{"FileID", "F-9"}}), atoms);
}

TEST_F(ReceiptTest, StaleFilesWhereTheWorkFileWouldGoAreLeftAlone)
{
    // Stale receipts under the short clock-numbered names that temporary
    // files once had: a writer must make a name of its own beside them,
    // never write over one.
    constexpr DWORD kWindow = 200;
    DWORD start = GetTickCount() & 0xffff;
    if (start == 0 || start + kWindow > 0xffff)
        start = 1;
    const std::string stale = std::string(kHead) + std::string(5000, 'S') + kTail;
    std::vector<std::string> planted;
    for (DWORD number = start; number < start + kWindow; ++number) {
        char name[32];
        wsprintfA(name, "Qui%x.xml", number);
        planted.push_back(TempDir() + name);
        WriteFileBytes(planted.back(), stale);
    }

    Request request;
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Offer.pdf", 100, 3));
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    const std::string firstPiece = request.Pieces().front();
    ASSERT_EQ(S_OK, CloseReceiptFile(&written, WritePiece(firstPiece).c_str()));
    const std::string workPath = written.GetFilePath().GetString();
    EXPECT_EQ(std::string(kHead) + firstPiece, ReadFileBytes(workPath));

    for (const std::string& path : planted)
        EXPECT_EQ(stale, ReadFileBytes(path)) << path;
    // Nothing reserved on the way is left behind.
    for (const std::string& name : ListFiles(TempDir()))
        EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

TEST_F(ReceiptTest, StaleFileInTheReceiptsFolderIsNotWrittenOver)
{
    Request request;
    const Results results;
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    for (const std::string& piece : request.Pieces())
        ASSERT_EQ(S_OK, CloseReceiptFile(&written, WritePiece(piece).c_str()));
    ASSERT_EQ(S_OK, AddReceiptResults(&written, results.fileId.c_str(), results.link.c_str(),
                                      results.subject.c_str(), results.category.c_str()));
    ASSERT_EQ(S_OK, CloseReceiptFile(&written, nullptr));
    const std::string workPath = written.GetFilePath().GetString();
    const std::string clash = m_receipts + FileNameOf(workPath);
    const std::string stale = std::string(kHead) + std::string(20000, 'S') + kTail;
    WriteFileBytes(clash, stale);

    ASSERT_EQ(S_OK, FileReceipt(&written));
    const std::string filed = written.GetFilePath().GetString();
    EXPECT_NE(clash, filed);
    EXPECT_EQ(m_receipts, FolderOf(filed));
    EXPECT_EQ(stale, ReadFileBytes(clash));
    EXPECT_FALSE(FileExists(workPath));

    CReceipt read(nullptr, CReceipt::kFileReceipt);
    EXPECT_EQ(ExpectedAtoms(request, &results), ReadBack(filed, read));
}

// The import takes every "*.xml" of the folder whenever it runs: a receipt
// shows there whole or not at all, also when its copy breaks off midway
// (here a range near its end that cannot be read, as a failing disk gives).
TEST_F(ReceiptTest, AReceiptIsFiledWholeOrNotAtAll)
{
    Request request;
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Deed.pdf", 600000, 5));
    const Results results;
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    for (const std::string& piece : request.Pieces())
        ASSERT_EQ(S_OK, CloseReceiptFile(&written, WritePiece(piece).c_str()));
    ASSERT_EQ(S_OK, AddReceiptResults(&written, results.fileId.c_str(), results.link.c_str(),
                                      results.subject.c_str(), results.category.c_str()));
    ASSERT_EQ(S_OK, CloseReceiptFile(&written, nullptr));
    const std::string workPath = written.GetFilePath().GetString();
    const std::string whole = ReadFileBytes(workPath);
    ASSERT_GT(whole.size(), 600000u);

    HANDLE holder = CreateFileA(workPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ASSERT_TRUE(LockFile(holder, static_cast<DWORD>(whole.size() - 100), 0, 10, 0));
    EXPECT_EQ(E_FAIL, FileReceipt(&written));
    EXPECT_EQ(std::vector<std::string>{}, ListFiles(m_receipts));
    UnlockFile(holder, static_cast<DWORD>(whole.size() - 100), 0, 10, 0);
    CloseHandle(holder);
    EXPECT_EQ(whole, ReadFileBytes(workPath));

    // Once it can be read, it is filed as it stands.
    ASSERT_EQ(S_OK, FileReceipt(&written));
    EXPECT_EQ(std::vector<std::string>{FileNameOf(workPath)}, ListFiles(m_receipts));
    EXPECT_EQ(whole, ReadFileBytes(written.GetFilePath().GetString()));
    EXPECT_FALSE(FileExists(workPath));
}

TEST_F(ReceiptTest, WriterRefusesReceiptsOfAnotherKind)
{
    const std::string piece = WritePiece("<x/>");
    CReceipt task(nullptr, CReceipt::kTaskReceipt);
    EXPECT_EQ(E_INVALIDARG, CloseReceiptFile(&task, piece.c_str()));
    EXPECT_EQ(E_INVALIDARG, AddReceiptAtom("<Results></Results>", &task));
    EXPECT_EQ(E_INVALIDARG, AddReceiptResults(&task, "1", "2", "3", "4"));
    EXPECT_EQ(E_INVALIDARG, FileReceipt(&task));
    EXPECT_EQ(E_INVALIDARG, CloseReceiptFile(nullptr, nullptr));
    EXPECT_TRUE(task.GetFilePath().IsEmpty());
    EXPECT_EQ((std::vector<std::string>{"piece0.txt"}), ListFiles(TempDir()));
}

TEST_F(ReceiptTest, MissingPieceFails)
{
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    EXPECT_EQ(E_FAIL, CloseReceiptFile(&written, (TempDir() + "none.txt").c_str()));
    // Nothing was filed, and an unwritten receipt cannot be.
    CReceipt fresh(nullptr, CReceipt::kFileReceipt);
    EXPECT_EQ(E_FAIL, FileReceipt(&fresh));
}

// Hostile receipt files end with a failure; no document of theirs and no
// temporary file is left behind, and nothing they name is read.
TEST_F(ReceiptTest, HostileFilesAreRefusedAndLeaveNothing)
{
    const std::string secret = TempDir() + "secret.txt";
    WriteFileBytes(secret, "SECRET");
    std::string url = "file:///" + secret;
    std::replace(url.begin(), url.end(), '\\', '/');

    Request good;
    good.documents.push_back(MakeDocument("AddDocumentToRequest", "Offer.pdf", 3000, 1, 76));
    std::string pieces;
    for (const std::string& piece : good.Pieces())
        pieces += piece;
    auto document = [](const std::string& encoded) {
        return kEnvelopeOpen +
               "<m:AddDocumentToRequest xmlns:m=\"urn:x\"><m:pstr_FileName>x.pdf</m:pstr_FileName>"
               "<m:pbyt_File>" +
               encoded + "</m:pbyt_File></m:AddDocumentToRequest>" + kEnvelopeClose;
    };
    std::string tooMany;
    for (int i = 0; i < 65; ++i)
        tooMany += document("QUJD");
    const struct {
        const char* what;
        std::string text;
        HRESULT hr;
    } cases[] = {
        {"external entity",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><!DOCTYPE inkReceipt [<!ENTITY x "
         "SYSTEM \"" +
             url + "\">]><inkReceipt>\n" + pieces +
             "<Results><FileID>&x;</FileID></Results></inkReceipt>\n",
         kXmlDtdRefused},
        {"DTD without entities",
         "<!DOCTYPE inkReceipt [<!ELEMENT inkReceipt ANY>]><inkReceipt>\n" + pieces + kTail,
         kXmlDtdRefused},
        {"document bytes that are not base64",
         std::string(kHead) + pieces + document("QUJD=QUJD") + kTail, E_FAIL},
        {"message that is not base64",
         std::string(kHead) + kEnvelopeOpen +
             "<m:CreateSignatureRequest xmlns:m=\"urn:x\"><m:pstr_EmailMessage>SGk*"
             "</m:pstr_EmailMessage></m:CreateSignatureRequest>" +
             kEnvelopeClose + pieces + kTail,
         E_FAIL},
        {"more documents than a receipt holds", std::string(kHead) + tooMany + kTail, E_FAIL},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string path = TempDir() + "hostile.xml";
        WriteFileBytes(path, test.text);
        {
            CReceipt read(nullptr, CReceipt::kFileReceipt);
            EXPECT_EQ(test.hr, CSAXReceipt::ReadFile(path.c_str(), read));
            for (const auto& atom : read.GetAtoms()) {
                EXPECT_NE(CReceiptAtom::kDocBytes, atom->m_name.str()) << "no document of it";
                EXPECT_EQ(std::string::npos, atom->m_value.str().find("SECRET"));
            }
        }
        for (const std::string& name : ListFiles(TempDir()))
            EXPECT_NE(0u, name.rfind("Qui", 0)) << "left behind: " << name;
    }
}

// What the agent never writes but a file may hold anyway: markup inside a
// value, a create-request inside another, a second Results block.
TEST_F(ReceiptTest, OddShapesKeepEveryValueAndTheFirstResults)
{
    const std::string create =
        kEnvelopeOpen +
        "<m:CreateSignatureRequest xmlns:m=\"urn:x\"><m:pstr_FileName>Outer</m:pstr_FileName>"
        "<m:CreateSignatureRequest><m:pstr_FileName>Inner</m:pstr_FileName>"
        "</m:CreateSignatureRequest>"
        "<m:pstr_Signers>ann@x.com<b>bold</b>;bob@x.com</m:pstr_Signers>"
        "<m:pstr_CCs>cc@x.com<i/>;dd@x.com</m:pstr_CCs>"
        "</m:CreateSignatureRequest>" +
        kEnvelopeClose;
    const std::string text = std::string(kHead) + create +
                             "<Results><FileID>F-1</FileID><Link>L-1</Link></Results>"
                             "<Results><FileID>F-2</FileID><Link>L-2</Link>"
                             "<ReceiptSubject>S-2</ReceiptSubject></Results>" +
                             kTail;
    const std::string path = TempDir() + "odd.xml";
    WriteFileBytes(path, text);
    CReceipt read(nullptr, CReceipt::kFileReceipt);
    ASSERT_EQ(S_OK, CSAXReceipt::ReadFile(path.c_str(), read));
    EXPECT_EQ((AtomRows{{"Link", "L-1"},
                        {"FileID", "F-1"},
                        {"CCs", "cc@x.com;dd@x.com"},
                        {"Signers", "ann@x.com;bob@x.com"},
                        {"Subject", "Inner"},
                        {"Subject", "Outer"}}),
              Atoms(read));
}

// The documents a receipt read decoded go with the receipt, unless the
// caller took them.
TEST_F(ReceiptTest, DecodedDocumentsGoWithTheReceiptUnlessTaken)
{
    Request request;
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Kept.pdf", 500, 1));
    request.documents.push_back(MakeDocument("AddDocumentToRequest", "Dropped.pdf", 500, 2));
    CReceipt written(nullptr, CReceipt::kFileReceipt);
    WriteReceipt(written, request, nullptr);

    std::vector<std::string> documents;
    std::string taken;
    {
        CReceipt read(nullptr, CReceipt::kFileReceipt);
        ASSERT_EQ(S_OK, CSAXReceipt::ReadFile(written.GetFilePath(), read));
        for (const auto& atom : read.GetAtoms()) {
            if (atom->m_name == CReceiptAtom::kDocBytes)
                documents.push_back(atom->m_value.str());
        }
        ASSERT_EQ(2u, documents.size());
        // The head's document is the last one in the file.
        for (const auto& atom : read.GetAtoms()) {
            if (atom->m_name == CReceiptAtom::kDocBytes) {
                taken = atom->TakeFile().str();
                break;
            }
        }
    }
    EXPECT_EQ(documents[0], taken);
    EXPECT_TRUE(FileExists(taken)) << "the caller took it";
    EXPECT_FALSE(FileExists(documents[1])) << "gone with the receipt";
    DeleteFileA(taken.c_str());
}

TEST(ReceiptAtoms, AddAtomPutsEachAtTheHead)
{
    CReceipt receipt(nullptr, CReceipt::kFileReceipt);
    EXPECT_EQ(E_INVALIDARG, receipt.AddAtom(nullptr));
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(S_OK, receipt.AddAtom(std::make_unique<CReceiptAtom>(name, "", name)));
    std::string order;
    while (auto atom = receipt.TakeHeadAtom())
        order += atom->m_name.GetString();
    EXPECT_EQ("cba", order);
}

// A profile whose application-data folder the shell cannot give (it would
// lie under a file): the data folders fall back on a machine-wide path an
// administrator set, and are only read there. A user's Outlook may not
// write HKEY_LOCAL_MACHINE; Wine's user may, so the key is checked.
TEST_F(CleanProfileTest, WithoutAnApplicationDataFolderTheMachinesKeyIsOnlyRead)
{
    constexpr const char* kShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    constexpr const char* kMachineKey = "Software\\Quillet\\Quillet for Outlook";
    const std::string blocker = TempDir() + "a file";
    WriteFileBytes(blocker, "");
    const std::string unreachable = blocker + "\\AppData";

    // Whatever happens below, the prefix's profile is given back: the next
    // test program to take this prefix needs its application-data folder.
    struct Restore {
        HKEY folders = nullptr;
        bool hadValue = false;
        DWORD type = 0;
        char saved[MAX_PATH * 2] = {};
        DWORD size = sizeof saved;
        ~Restore()
        {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quillet");
            if (!folders)
                return;
            if (hadValue)
                RegSetValueExA(folders, "AppData", 0, type, reinterpret_cast<const BYTE*>(saved),
                               size);
            else
                RegDeleteValueA(folders, "AppData");
            RegCloseKey(folders);
        }
    } restore;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &restore.folders, nullptr));
    restore.hadValue =
        RegQueryValueExA(restore.folders, "AppData", nullptr, &restore.type,
                         reinterpret_cast<BYTE*>(restore.saved), &restore.size) == ERROR_SUCCESS;
    RegSetValueExA(restore.folders, "AppData", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(unreachable.c_str()),
                   static_cast<DWORD>(unreachable.size() + 1));

    CString folder("junk");
    EXPECT_EQ(E_FAIL, GetReceiptsFolder(folder)) << "no data folder anywhere";
    HKEY machine = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_READ, &machine))
        << "the machine's key was created";

    const std::string machinePath = TempDir() + "Machine";
    CreateDirectoryA(machinePath.c_str(), nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMachineKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &machine, nullptr));
    RegSetValueExA(machine, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(machinePath.c_str()),
                   static_cast<DWORD>(machinePath.size() + 1));
    RegCloseKey(machine);
    char user[257] = {};
    DWORD userLength = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &userLength));
    EXPECT_EQ(S_OK, GetReceiptsFolder(folder));
    EXPECT_EQ(machinePath + "\\" + user + "\\Receipts", folder.str())
        << "the path an administrator set, a folder per user";
}

} // namespace
