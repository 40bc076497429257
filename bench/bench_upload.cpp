// The benchmark of big documents: the product's own operations with
// documents of tens and hundreds of megabytes, each step timed and its
// memory watched. Uploads (OpAddDoc sent at once, stepped as the dialogs
// step it, and queued and assembled as the agent will) to the stand-in
// service and to a sink of the benchmark's own that only reads, a raw
// WinINet POST of the same request bytes as the limit, and a 50 MB
// document read back as a signed copy, an embedded template document and a
// receipt document. Prints a table, then one line per figure
// ("figure NAME VALUE UNIT") for scripts; exits non-zero when a step failed
// or the memory rose by more than 32 MB. Run under Wine: see bench/README.md.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include "bench/Memory.h"
#include "bench/Samples.h"
#include "bench/Setup.h"
#include "bench/Sink.h"
#include "classlib/win32/Handles.h"
#include "shared/config/Config.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/Receipt.h"
#include "shared/requests/SAXReceipt.h"
#include "shared/requests/Template.h"
#include "shared/service/FinalPDF.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpReqPDF.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/xml/XMLIO.h"
#include "tests/support/FakeDispatch.h"
#include "tests/support/SoapCallOp.h"
#include "tests/support/StandInService.h"
#include "tests/support/StepRunner.h"

namespace {

constexpr const char* kServiceAddress = "127.0.0.6";
constexpr const char* kSinkAddress = "127.0.0.7";
constexpr double kMegabyte = 1024.0 * 1024.0;
constexpr double kMemoryLimitMb = 32.0;
constexpr DWORD kRawWrite = 64 * 1024;

struct Row {
    std::string figure; // its name on the figure lines
    std::string what;
    double megabytes = 0; // of document
    double seconds = 0;
    double rise = 0; // peak working set above the start, MB
    bool ok = false;
    double limitSeconds = 0; // the raw POST of the same request, when compared
};

// A deque: the rows filed stay where they are while more are added.
std::deque<Row> g_rows;
double g_start = 0;
int g_runs = 3;

// Runs step g_runs times with the clock and the memory watched, and files
// its row: the median time, the highest rise.
Row& Measure(const std::string& figure, const std::string& what, double megabytes,
             const std::function<bool()>& step)
{
    Row row{figure, what, megabytes};
    row.ok = true;
    std::vector<double> times;
    std::printf("  %-44s", what.c_str());
    for (int run = 0; run < g_runs; ++run) {
        CMemoryWatch watch;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        row.ok = step() && row.ok;
        QueryPerformanceCounter(&end);
        row.rise = std::max(row.rise, watch.Stop() - g_start);
        times.push_back(double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
        std::printf(" %7.2f s", times.back());
        std::fflush(stdout);
    }
    std::sort(times.begin(), times.end());
    row.seconds = times[times.size() / 2];
    std::printf("%s\n", row.ok ? "" : "  FAILED");
    g_rows.push_back(row);
    return g_rows.back();
}

CCredentials Demo()
{
    CCredentials credentials;
    credentials.m_email = standin::kDefaultEmail;
    credentials.m_accountId = standin::kDefaultApiCode;
    return credentials;
}

// An Outlook attachment whose SaveAsFile writes the document's file where
// it is told, as Outlook does.
CComPtr<CFakeDispatch> AttachmentOf(const std::string& documentPath)
{
    auto attachment = CFakeDispatch::Create();
    attachment->Method(L"SaveAsFile", [documentPath](const DISPPARAMS& params, VARIANT*) {
        if (params.cArgs != 1 || params.rgvarg[0].vt != VT_BSTR)
            return DISP_E_BADPARAMCOUNT;
        char target[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, params.rgvarg[0].bstrVal, -1, target, sizeof target, nullptr,
                            nullptr);
        return CopyFileA(documentPath.c_str(), target, FALSE) ? S_OK : E_FAIL;
    });
    return attachment;
}

enum class Road { Whole, Stepped, Queued };

// OpAddDoc with the document; the new document's ID in documentId.
bool Upload(const CString& url, const CString& fileId, const std::string& documentPath, Road road,
            CString* documentId = nullptr)
{
    auto attachment = AttachmentOf(documentPath);
    CBodyPart part(attachment.Get(), 1, "contract.pdf", "Attachment", "");
    OpAddDoc add(url);
    add.m_credentials = Demo();
    add.m_document = &part;
    int result = 0;
    if (road == Road::Queued) {
        // The add-in's half: the request cut into pieces and described...
        CString opPath;
        if (FAILED(add.SaveOpFile(opPath)))
            return false;
        // ... and the agent's: the pieces assembled around the file ID and sent.
        add.m_fileId = &fileId;
        result = add.Run(nullptr, 0, CWebSvrOp::kPrepare);
        for (POSITION pos = add.m_castlets.GetHeadPosition(); pos;)
            add.m_castlets.GetNext(pos)->m_delete = 1;
        DeleteFileA(opPath);
    } else {
        add.m_fileId = &fileId;
        if (road == Road::Stepped)
            result = RunStepped(add, 600000).result;
        else
            result = add.Run(nullptr, 0, CWebSvrOp::kPrepare);
    }
    if (!result)
        std::printf("    upload failed: %s\n", add.GetErrorText().GetString());
    if (documentId)
        *documentId = add.m_result;
    return result != 0 && add.GetBytesSent() == add.GetUploadSize();
}

// The request OpAddDoc makes of a document, left in its file.
struct RequestMaker : OpAddDoc {
    using OpAddDoc::OpAddDoc;
    using OpAddDoc::PrepareData;
};

// A POST of the request file through WinINet alone, in writes of kRawWrite.
bool RawPost(const char* host, const std::string& requestPath)
{
    CFileHandle file(CreateFileA(requestPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    const DWORD size = GetFileSize(file.Get(), nullptr);
    HINTERNET session =
        InternetOpenA("Inkstave/1.2", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection =
        session ? InternetConnectA(session, host, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1)
                : nullptr;
    const char* accept[] = {"text/xml", nullptr};
    HINTERNET request =
        connection
            ? HttpOpenRequestA(connection, "POST", "/services/gateway.asmx", "HTTP/1.1", "", accept,
                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                   INTERNET_FLAG_KEEP_CONNECTION,
                               1)
            : nullptr;
    bool ok = false;
    const char headers[] = "Content-Type: text/xml; charset=utf-8\r\n";
    if (request &&
        HttpAddRequestHeadersA(request, headers, sizeof headers - 1, HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
        INTERNET_BUFFERSA buffers{};
        buffers.dwStructSize = sizeof buffers;
        buffers.dwBufferTotal = size;
        if (HttpSendRequestExA(request, &buffers, nullptr, HSR_INITIATE, 1)) {
            std::unique_ptr<char[]> block(new char[kRawWrite]);
            ok = true;
            DWORD read = 0;
            while (ok && ReadFile(file.Get(), block.get(), kRawWrite, &read, nullptr) && read > 0) {
                DWORD written = 0;
                ok = InternetWriteFile(request, block.get(), read, &written) && written == read;
            }
            ok = HttpEndRequestA(request, nullptr, 0, 1) && ok;
            char answer[4096];
            DWORD got = 0;
            while (ok && InternetReadFile(request, answer, sizeof answer, &got) && got > 0) {
            }
        }
    }
    for (HINTERNET handle : {request, connection, session}) {
        if (handle)
            InternetCloseHandle(handle);
    }
    return ok;
}

// The signed copy's request as OpReqPDF makes it.
struct SignedCopyRequest : OpReqPDF {
    using OpReqPDF::OpReqPDF;
    using OpReqPDF::PrepareData;
    const CString& Body() const { return m_requestBody; }
    const CString& Action() const { return m_soapAction; }
};

// The signed copy's request sent and its whole answer read through WinINet
// alone, in reads of kRawWrite, kept nowhere; false unless bytes came.
bool RawRead(const char* host, const CString& body, const CString& action)
{
    HINTERNET session =
        InternetOpenA("Inkstave/1.2", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection =
        session ? InternetConnectA(session, host, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1)
                : nullptr;
    const char* accept[] = {"text/xml", nullptr};
    HINTERNET request =
        connection
            ? HttpOpenRequestA(connection, "POST", "/services/gateway.asmx", "HTTP/1.1", "", accept,
                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                   INTERNET_FLAG_KEEP_CONNECTION,
                               1)
            : nullptr;
    ULONGLONG total = 0;
    bool ok = false;
    const std::string headers =
        "Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" + action.str() + "\"\r\n";
    if (request && HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                    const_cast<char*>(body.GetString()),
                                    static_cast<DWORD>(body.GetLength()))) {
        std::unique_ptr<char[]> block(new char[kRawWrite]);
        DWORD got = 0;
        ok = true;
        while (ok && (ok = InternetReadFile(request, block.get(), kRawWrite, &got) != FALSE) &&
               got > 0)
            total += got;
    }
    for (HINTERNET handle : {request, connection, session}) {
        if (handle)
            InternetCloseHandle(handle);
    }
    return ok && total > 0;
}

bool Connect(CProtocol& protocol, const char* host, CString& url)
{
    protocol.Disconnect();
    CConfig config;
    config.SetKey("Host", host);
    return SUCCEEDED(config.GetServiceUrl(url, "services/gateway.asmx")) &&
           SUCCEEDED(protocol.Connect(url));
}

LONGLONG FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return (LONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The document decoded from a base64 file, checked for its size, removed.
bool DecodesTo(const char* base64Path, LONGLONG size)
{
    CString decoded;
    if (FAILED(CXMLIO::DecodeFileToTemp(base64Path, nullptr, decoded)))
        return false;
    const bool whole = FileSize(decoded) == size;
    DeleteFileA(decoded);
    return whole;
}

bool ReadSignedCopy(const std::string& path, LONGLONG size)
{
    CFinalPDF pdf;
    return pdf.LoadXML(path.c_str()) == S_OK && pdf.HasBase64File() &&
           DecodesTo(pdf.GetBase64Path(), size);
}

bool ReadTemplate(const std::string& path, LONGLONG size)
{
    CTemplate loaded;
    return loaded.LoadXML(path.c_str()) == S_OK && loaded.m_signatureDoc &&
           loaded.m_signatureDoc->m_kind == CTempDoc::kEmbedded &&
           DecodesTo(loaded.m_signatureDoc->m_embeddedPath, size);
}

bool ReadReceipt(const std::string& path, LONGLONG size)
{
    CReceipt receipt(nullptr, CReceipt::kFileReceipt);
    if (CSAXReceipt::ReadFile(path.c_str(), receipt) != S_OK)
        return false;
    for (const auto& atom : receipt.GetAtoms()) {
        if (atom->m_name == CReceiptAtom::kDocBytes)
            return FileSize(atom->m_value) == size;
    }
    return false;
}

int Report()
{
    const double overall = PeakWorkingSetMb() - g_start;
    std::printf("\n%-46s %8s %10s %12s %10s\n", "step", "seconds", "MB/s", "peak above",
                "of limit");
    bool passed = true;
    for (const Row& row : g_rows) {
        const double rate = row.seconds > 0 ? row.megabytes / row.seconds : 0;
        char ratio[32] = "";
        if (row.limitSeconds > 0)
            std::snprintf(ratio, sizeof ratio, "%.2f", row.limitSeconds / row.seconds);
        std::printf("%-46s %8.2f %10.1f %9.1f MB %10s%s\n", row.what.c_str(), row.seconds, rate,
                    row.rise, ratio, row.ok ? "" : "  FAILED");
        passed = passed && row.ok && row.rise <= kMemoryLimitMb;
    }
    std::printf("process peak above the start, whole run: %.1f MB\n\n", overall);
    for (const Row& row : g_rows) {
        std::printf("figure %s %.1f MB/s\n", row.figure.c_str(),
                    row.seconds > 0 ? row.megabytes / row.seconds : 0);
        if (row.limitSeconds > 0)
            std::printf("figure %s_of_limit %.2f ratio\n", row.figure.c_str(),
                        row.limitSeconds / row.seconds);
        std::printf("figure %s_peak %.1f MB\n", row.figure.c_str(), row.rise);
    }
    std::printf("figure process_peak %.1f MB\n", overall);
    passed = passed && overall <= kMemoryLimitMb;
    std::printf(passed ? "every step passed; memory stayed within %.0f MB of the start\n"
                       : "a step FAILED or the memory rose by more than %.0f MB\n",
                kMemoryLimitMb);
    return passed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // How often each step runs; its median counts.
    if (argc > 1)
        g_runs = std::max(1, std::atoi(argv[1]));
    CStandInService service(kServiceAddress);
    const std::string folder = BeginBenchmark("quillet-bench", service);
    if (folder.empty())
        return 1;
    CSink sink;
    std::string sinkError;
    if (!sink.Start(kSinkAddress, sinkError)) {
        std::printf("the sink did not start: %s\n", sinkError.c_str());
        return 1;
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillet");
    CConfig().SetKey("SSL", DWORD{0});
    CProtocol protocol;
    ServiceGlobals().protocol = &protocol;
    CString url;
    if (!Connect(protocol, kServiceAddress, url)) {
        std::printf("cannot connect to %s\n", url.GetString());
        return 1;
    }
    SoapCallOp create(url, "CreateSignatureRequest",
                      SoapCallOp::CreateRequestElements("signer@example.com", "Benchmark"));
    if (!create.Run(nullptr, 0, CWebSvrOp::kPrepare)) {
        std::printf("cannot create a request: %s\n", create.GetErrorText().GetString());
        return 1;
    }
    const CString fileId = create.m_result;
    const std::string document = folder + "document.bin";
    g_start = WorkingSetMb();
    std::printf("working set at the start %.1f MB\n", g_start);

    std::printf("uploads to the stand-in service (%s)\n", kServiceAddress);
    for (size_t megabytes : {1, 20, 200}) {
        MakeDocument(document, megabytes);
        const std::string name = std::to_string(megabytes) + "mb";
        const Row& whole =
            Measure("upload_" + name + "_standin", "upload " + name + " to the stand-in",
                    double(megabytes), [&] { return Upload(url, fileId, document, Road::Whole); });
        if (megabytes == 20) {
            // The dialogs' road beside it: its ratio to the upload in one call.
            const double wholeSeconds = whole.seconds;
            Row& stepped =
                Measure("upload_20mb_stepped_standin", "upload 20mb stepped to the stand-in", 20,
                        [&] { return Upload(url, fileId, document, Road::Stepped); });
            stepped.limitSeconds = wholeSeconds;
        }
    }
    Row& queued = Measure("upload_200mb_queued_standin", "upload 200mb queued to the stand-in", 200,
                          [&] { return Upload(url, fileId, document, Road::Queued); });
    MakeDocument(document, 5);
    Measure("upload_5mb_stepped_standin", "upload 5mb stepped to the stand-in", 5,
            [&] { return Upload(url, fileId, document, Road::Stepped); });

    std::printf("uploads to the benchmark's sink (%s)\n", kSinkAddress);
    MakeDocument(document, 200);
    CString sinkUrl;
    if (!Connect(protocol, kSinkAddress, sinkUrl)) {
        std::printf("cannot connect to the sink\n");
        return 1;
    }
    Row& toSink = Measure("upload_200mb_sink", "upload 200mb to the sink", 200,
                          [&] { return Upload(sinkUrl, fileId, document, Road::Whole); });
    {
        auto attachment = AttachmentOf(document);
        CBodyPart part(attachment.Get(), 1, "contract.pdf", "Attachment", "");
        RequestMaker maker(sinkUrl);
        maker.m_credentials = Demo();
        maker.m_document = &part;
        maker.m_fileId = &fileId;
        // The request made, as the upload makes it before it sends.
        std::string requestPath;
        Measure("prepare_200mb", "prepare the request of 200mb", 200, [&] {
            if (!requestPath.empty())
                DeleteFileA(requestPath.c_str());
            const bool made = maker.PrepareData() != 0;
            requestPath = maker.GetRequestFilePath().str();
            return made;
        });
        std::printf("  (the request of 200mb: %.1f MB)\n",
                    FileSize(requestPath.c_str()) / kMegabyte);
        // The limit: the same bytes through WinINet alone, to the sink and
        // to the stand-in service (which shows what taking them in costs it).
        const Row& raw = Measure("raw_wininet_200mb_sink", "raw WinINet POST, 64 KB writes, sink",
                                 200, [&] { return RawPost(kSinkAddress, requestPath); });
        const Row& rawService =
            Measure("raw_wininet_200mb_standin", "raw WinINet POST, 64 KB writes, stand-in", 200,
                    [&] { return RawPost(kServiceAddress, requestPath); });
        toSink.limitSeconds = raw.seconds;
        queued.limitSeconds = rawService.seconds;
        for (Row& row : g_rows) {
            if (row.figure == "upload_200mb_standin")
                row.limitSeconds = rawService.seconds;
        }
    }
    if (!Connect(protocol, kServiceAddress, url)) {
        std::printf("cannot connect to the stand-in again\n");
        return 1;
    }

    std::printf("a 50 MB document read back\n");
    MakeDocument(document, 50);
    const LONGLONG size50 = FileSize(document.c_str());
    service.Control("keep-bytes", "{\"limit\": 67108864}");
    CString documentId;
    if (!Upload(url, fileId, document, Road::Whole, &documentId) ||
        !service.SetSigned(fileId.str())) {
        std::printf("cannot put a signed copy on the stand-in\n");
        return 1;
    }
    // The download alone: through WinINet alone (the limit), in one call,
    // and stepped as the dialogs run it.
    SignedCopyRequest rawRequest(url);
    rawRequest.m_credentials = Demo();
    rawRequest.m_fileId = fileId;
    rawRequest.m_documentId = documentId;
    if (!rawRequest.PrepareData()) {
        std::printf("cannot make the signed copy's request\n");
        return 1;
    }
    const Row& rawRead =
        Measure("raw_wininet_read_50mb", "raw WinINet read of the signed copy", 50,
                [&] { return RawRead(kServiceAddress, rawRequest.Body(), rawRequest.Action()); });
    auto download = [&](bool stepped) {
        OpReqPDF op(url);
        op.m_credentials = Demo();
        op.m_fileId = fileId;
        op.m_documentId = documentId;
        const int result =
            stepped ? RunStepped(op, 600000).result : op.Run(nullptr, 0, CWebSvrOp::kPrepare);
        if (!result)
            std::printf("    download failed: %s\n", op.GetErrorText().GetString());
        return result && op.m_finalPdf && op.m_finalPdf->HasBase64File();
    };
    Row& wholeDownload = Measure("signed_copy_50mb_download", "signed copy 50mb downloaded", 50,
                                 [&] { return download(false); });
    wholeDownload.limitSeconds = rawRead.seconds;
    const double wholeDownloadSeconds = wholeDownload.seconds;
    Row& steppedDownload =
        Measure("signed_copy_50mb_download_stepped", "signed copy 50mb downloaded stepped", 50,
                [&] { return download(true); });
    steppedDownload.limitSeconds = wholeDownloadSeconds;
    Measure("signed_copy_50mb", "signed copy 50mb downloaded and decoded", 50, [&] {
        OpReqPDF download(url);
        download.m_credentials = Demo();
        download.m_fileId = fileId;
        download.m_documentId = documentId;
        return download.Run(nullptr, 0, CWebSvrOp::kPrepare) && download.m_finalPdf &&
               DecodesTo(download.m_finalPdf->GetBase64Path(), size50);
    });
    struct Carrier {
        const char* figure;
        const char* what;
        std::string head;
        std::string tail;
        std::vector<Layout> layouts;
        bool (*read)(const std::string&, LONGLONG);
    };
    const Carrier carriers[] = {
        {"signed_copy_50mb_read",
         "signed copy 50mb read and decoded",
         SignedCopyHead(),
         SignedCopyTail(),
         {Layout::Lf, Layout::CrLf, Layout::Unbroken},
         ReadSignedCopy},
        {"template_50mb_read",
         "template 50mb read, document decoded",
         TemplateHead(),
         TemplateTail(),
         {Layout::Lf, Layout::CrLf, Layout::Unbroken},
         ReadTemplate},
        {"receipt_50mb_read",
         "receipt 50mb read (decodes)",
         ReceiptHead(),
         ReceiptTail(),
         {Layout::RequestForm, Layout::CrLf, Layout::Unbroken},
         ReadReceipt},
    };
    const std::string carrierPath = folder + "carrier.xml";
    for (const Carrier& carrier : carriers) {
        for (Layout layout : carrier.layouts) {
            if (!MakeCarrier(carrierPath, document, layout, carrier.head, carrier.tail)) {
                std::printf("cannot write %s\n", carrierPath.c_str());
                return 1;
            }
            Measure(std::string(carrier.figure) + "_" + LayoutName(layout),
                    std::string(carrier.what) + ", " + LayoutName(layout), 50,
                    [&] { return carrier.read(carrierPath, size50); });
        }
    }
    // What the steps left (the documents, the requests made for the raw
    // POSTs and their response files) goes with the folder.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    protocol.Disconnect();
    ServiceGlobals().protocol = nullptr;
    sink.Stop();
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillet");
    RemoveDirectoryA(folder.c_str());
    const int status = Report();
    CoUninitialize();
    return status;
}
