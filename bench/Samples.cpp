#include "bench/Samples.h"

#include <memory>

#include <windows.h>

#include "classlib/win32/Handles.h"
#include "shared/xml/Base64Stream.h"
#include "tests/support/TestBase64.h"

namespace {

bool WriteAll(HANDLE file, const char* bytes, size_t count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
}

bool WriteText(HANDLE file, const std::string& text)
{
    return WriteAll(file, text.data(), text.size());
}

// Reads up to count bytes; what it got.
size_t ReadSome(HANDLE file, char* buffer, size_t count)
{
    size_t total = 0;
    while (total < count) {
        DWORD read = 0;
        if (!ReadFile(file, buffer + total, static_cast<DWORD>(count - total), &read, nullptr) ||
            read == 0)
            break;
        total += read;
    }
    return total;
}

} // namespace

const char* LayoutName(Layout layout)
{
    switch (layout) {
    case Layout::RequestForm:
        return "request_form";
    case Layout::Lf:
        return "lf";
    case Layout::CrLf:
        return "crlf";
    case Layout::Unbroken:
        return "unbroken";
    }
    return "?";
}

bool MakeDocument(const std::string& path, size_t megabytes)
{
    CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string block(1 << 20, '\0');
    unsigned state = static_cast<unsigned>(megabytes) * 2654435761u + 12345u;
    for (size_t left = megabytes; left > 0; --left) {
        for (char& byte : block) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<char>(state >> 24);
        }
        if (!WriteText(file.Get(), block))
            return false;
    }
    return true;
}

bool MakeCarrier(const std::string& path, const std::string& documentPath, Layout layout,
                 const std::string& head, const std::string& tail)
{
    CFileHandle input(CreateFileA(documentPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    CFileHandle output(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input || !output || !WriteText(output.Get(), head))
        return false;
    bool written = true;
    if (layout == Layout::RequestForm || layout == Layout::Lf) {
        written = EncodeBase64Lines(input.Get(), layout == Layout::RequestForm,
                                    [&output](const char* text, size_t length) {
                                        return WriteAll(output.Get(), text, length);
                                    });
    } else {
        // Whole lines of 57 bytes (76 characters), or pieces of whole groups;
        // about a megabyte at a time.
        const size_t line = layout == Layout::CrLf ? 57 : 3 * 65536;
        const size_t block = line * (layout == Layout::CrLf ? 16384 : 4);
        std::unique_ptr<char[]> bytes(new char[block]);
        for (size_t got; written && (got = ReadSome(input.Get(), bytes.get(), block)) > 0;) {
            std::string text;
            for (size_t at = 0; at < got; at += line) {
                const size_t count = got - at < line ? got - at : line;
                text += standin::Base64Encode(std::string(bytes.get() + at, count));
                if (layout == Layout::CrLf)
                    text += "\r\n";
            }
            written = WriteText(output.Get(), text);
        }
    }
    return written && WriteText(output.Get(), tail);
}

std::string SignedCopyHead()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>"
           "<DownloadSignedDocumentResponse xmlns=\"http://secure.quillet.com/services/\">"
           "<DownloadSignedDocumentResult>";
}

std::string SignedCopyTail()
{
    return "</DownloadSignedDocumentResult></DownloadSignedDocumentResponse></soap:Body>"
           "</soap:Envelope>";
}

std::string TemplateHead()
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>Benchmark</Name>\n"
           "<Document><Key>C:&#92;Scans&#92;contract.pdf</Key>\n<Name>contract.pdf</Name>\n"
           "<Type>Signature</Type>\n<FileBytes>";
}

std::string TemplateTail()
{
    return "</FileBytes></Document><Options><SignatureType>0</SignatureType>\n"
           "<SendMode>0</SendMode>\n<Positioning>0</Positioning>\n<Password></Password>\n"
           "<MouseTouchSigning>1</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
           "</Options><Email><Subject>Please sign</Subject>\n</Email><Signers>"
           "<Signer><Name>Ann</Name>\n<Email>ann@example.com</Email>\n<Role></Role>\n"
           "<Sequence>1</Sequence>\n<Sender>0</Sender>\n<HardCoded>0</HardCoded>\n</Signer>"
           "</Signers></inkTemplate>";
}

std::string ReceiptHead()
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><inkReceipt>\n"
           "<SOAP-ENV:Envelope\nxmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
           "xmlns:m1=\"http://secure.quillet.com/services/\">\n<SOAP-ENV:Body>\n"
           "<m:AddDocumentToRequest xmlns:m=\"http://secure.quillet.com/services/\">\n"
           "<m:pstr_APICode>QUILLET-DEMO-0001</m:pstr_APICode>\n<m:pstr_FileID></m:pstr_FileID>\n"
           "<m:pbyt_File>";
}

std::string ReceiptTail()
{
    return "</m:pbyt_File>\n<m:pstr_FileName>contract.pdf</m:pstr_FileName>\n"
           "<m:pstr_Title>contract.pdf</m:pstr_Title>\n</m:AddDocumentToRequest>\n"
           "</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n<Results><FileID>QF1001</FileID><Link>"
           "http://127.0.0.6/services/maintain.aspx</Link><ReceiptSubject>Receipt"
           "</ReceiptSubject><ReceiptCategory>Quillet</ReceiptCategory></Results></inkReceipt>\n";
}
