#include "tests/support/StandInService.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

#include "tests/support/LinuxProcess.h"
#include "tests/support/TestBase64.h"

#ifndef QUILLET_SOURCE_DIR
#error "QUILLET_SOURCE_DIR must name the repository folder (a Linux path)"
#endif

namespace standin {

namespace {

// The service sends header text as Latin-1 code points, one per byte
// received; this gives the bytes back.
std::string Utf8ToLatin1(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            out += static_cast<char>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F));
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

// --------------------------------------------------------------- records ---

static bool SameName(const std::string& a, const char* b)
{
    return _stricmp(a.c_str(), b) == 0;
}

std::string Request::Header(const char* name) const
{
    for (const auto& header : headers)
        if (SameName(header.first, name))
            return header.second;
    return {};
}

bool Request::HasHeader(const char* name) const
{
    for (const auto& header : headers)
        if (SameName(header.first, name))
            return true;
    return false;
}

std::string Request::Element(const char* name) const
{
    for (const auto& element : elements)
        if (element.first == name)
            return element.second;
    return {};
}

bool Request::HasElement(const char* name) const
{
    for (const auto& element : elements)
        if (element.first == name)
            return true;
    return false;
}

static Pairs PairsOf(const Json& list, bool latin1)
{
    Pairs pairs;
    for (const Json& pair : list.Items()) {
        if (latin1)
            pairs.emplace_back(Utf8ToLatin1(pair[size_t(0)].Str()), Utf8ToLatin1(pair[1].Str()));
        else
            pairs.emplace_back(pair[size_t(0)].Str(), pair[1].Str());
    }
    return pairs;
}

} // namespace standin

using standin::Json;
using standin::JsonQuote;

// ---------------------------------------------------------------- service ---

namespace {

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        fclose(file);
    }
    return text;
}

} // namespace

CStandInService::CStandInService(const char* address, bool tls)
    : m_address(address), m_tls(tls), m_port(tls ? 443 : 80)
{
    WSADATA data;
    m_winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CStandInService::~CStandInService()
{
    Stop();
    if (m_winsock)
        WSACleanup();
}

bool CStandInService::Fail(const std::string& why)
{
    m_lastError = why;
    return false;
}

std::string CStandInService::ServiceUrl() const
{
    return std::string(m_tls ? "https://" : "http://") + m_address + "/services/gateway.asmx";
}

bool CStandInService::Start()
{
    if (m_running)
        return true;
    if (!m_winsock)
        return Fail("WSAStartup failed");
    const std::string sourceDir = QUILLET_SOURCE_DIR;
    const std::string script = sourceDir + "/standins/service/quillet_service.py";
    if (!FileExists(linuxprocess::DosPathOf(script)))
        return Fail("no service script at " + script);
    const std::string python = linuxprocess::PythonPath();
    if (python.empty())
        return Fail("no python3 found (set QUILLET_PYTHON to its Windows path)");

    char temp[MAX_PATH] = {};
    if (!GetTempPathA(sizeof temp, temp))
        return Fail("no temporary folder");
    static LONG serial = 0;
    char name[128];
    snprintf(name, sizeof name, "standin-%s-%lu-%ld", m_address.c_str(), GetCurrentProcessId(),
             InterlockedIncrement(&serial));
    m_readyFile = std::string(temp) + name + ".json";
    m_logFile = std::string(temp) + name + ".log";
    DeleteFileA(m_readyFile.c_str());
    const std::string readyUnix = linuxprocess::UnixPathOf(m_readyFile);
    const std::string logUnix = linuxprocess::UnixPathOf(m_logFile);
    if (readyUnix.empty() || logUnix.empty())
        return Fail("cannot map the temporary folder to a Linux path (not under Wine?)");

    std::vector<std::string> command = {python,    script,   "--address",
                                        m_address, "--port", std::to_string(m_port)};
    if (m_tls)
        command.push_back("--tls");
    command.insert(command.end(), {"--lifetime", std::to_string(m_lifetime), "--ready-file",
                                   readyUnix, "--log", logUnix, "--detach"});
    std::string error;
    if (!linuxprocess::Start(command, &error))
        return Fail(error);

    // The ready file tells when the service listens.
    for (DWORD waited = 0; waited < 10000; waited += 25) {
        if (FileExists(m_readyFile)) {
            bool ok = false;
            Json info = Json::Parse(ReadWholeFile(m_readyFile), &ok);
            if (ok && info["port"].Int() == m_port) {
                m_running = true;
                m_lastError.clear();
                return !m_tls || TrustCertificate();
            }
        }
        Sleep(25);
    }
    return Fail("the service did not start: " + ReadWholeFile(m_logFile));
}

void CStandInService::Stop()
{
    if (!m_running)
        return;
    Control("shutdown");
    m_running = false;
    // The service removes its ready file once its port is closed, so the
    // next test can listen on the same address at once.
    for (DWORD waited = 0; waited < 5000 && FileExists(m_readyFile); waited += 25)
        Sleep(25);
    // A clean end leaves nothing behind; otherwise the log tells what happened.
    if (!FileExists(m_readyFile))
        DeleteFileA(m_logFile.c_str());
}

bool CStandInService::RawExchange(const std::string& address, int port, const std::string& request,
                                  std::string* response, unsigned long timeoutMs)
{
    response->clear();
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET)
        return false;
    DWORD timeout = timeoutMs;
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<u_short>(port));
    target.sin_addr.s_addr = inet_addr(address.c_str());
    bool ok = connect(sock, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
    for (size_t sent = 0; ok && sent < request.size();) {
        int n = send(sock, request.data() + sent, static_cast<int>(request.size() - sent), 0);
        ok = n > 0;
        sent += ok ? static_cast<size_t>(n) : 0;
    }
    char buffer[16384];
    while (ok) {
        int n = recv(sock, buffer, sizeof buffer, 0);
        if (n == 0)
            break;
        ok = n > 0;
        if (ok)
            response->append(buffer, static_cast<size_t>(n));
    }
    closesocket(sock);
    return ok;
}

Json CStandInService::Control(const char* command, const std::string& jsonBody, bool* ok)
{
    if (ok)
        *ok = false;
    std::string request =
        std::string("POST /control/") + command + " HTTP/1.0\r\nHost: " + m_address +
        "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(jsonBody.size()) +
        "\r\n\r\n" + jsonBody;
    std::string response;
    if (!RawExchange(m_address, m_port, request, &response)) {
        Fail(std::string("no answer to control ") + command + " from " + m_address);
        return Json();
    }
    size_t bodyAt = response.find("\r\n\r\n");
    bool parsed = false;
    Json reply =
        Json::Parse(bodyAt == std::string::npos ? "" : response.substr(bodyAt + 4), &parsed);
    if (!parsed) {
        Fail(std::string("control ") + command + " answered " + response.substr(0, 200));
        return Json();
    }
    if (!reply["ok"].Bool()) {
        Fail(std::string("control ") + command + ": " + reply["error"].Str());
        return reply;
    }
    if (ok)
        *ok = true;
    return reply;
}

bool CStandInService::Reset()
{
    bool ok = false;
    Control("reset", "{}", &ok);
    return ok;
}

bool CStandInService::SetBehaviour(const std::string& json)
{
    bool ok = false;
    Control("behaviour", json, &ok);
    return ok;
}

bool CStandInService::FailNext(const char* kind, int count, const char* method,
                               const std::string& fields)
{
    std::string json = "{\"kind\": " + JsonQuote(kind) + ", \"count\": " + std::to_string(count);
    if (method)
        json += ", \"method\": " + JsonQuote(method);
    if (!fields.empty())
        json += ", " + fields;
    return SetBehaviour(json + "}");
}

bool CStandInService::ClearBehaviours()
{
    bool ok = false;
    Control("clear-behaviours", "{}", &ok);
    return ok;
}

std::vector<standin::Request> CStandInService::Requests(size_t since)
{
    std::vector<standin::Request> requests;
    Json reply = Control("requests", "{\"since\": " + std::to_string(since) + "}");
    for (const Json& entry : reply["requests"].Items()) {
        standin::Request request;
        request.method = entry["method"].Str();
        request.path = entry["path"].Str();
        request.head = standin::Utf8ToLatin1(entry["head"].Str());
        request.headers = standin::PairsOf(entry["headers"], true);
        request.body = standin::Base64Decode(entry["body"].Str());
        request.soapMethod = entry["soapMethod"].Str();
        request.elements = standin::PairsOf(entry["elements"], false);
        request.encoding = entry["encoding"].Str();
        request.parseError = entry["parseError"].Str();
        request.behaviour = entry["behaviour"].Str();
        request.status = entry["status"].Int();
        request.tls = entry["tls"].Bool();
        request.client = entry["client"].Str();
        requests.push_back(std::move(request));
    }
    return requests;
}

size_t CStandInService::RequestCount()
{
    return static_cast<size_t>(State()["requests"].Int());
}

std::vector<standin::Document> CStandInService::Documents(const std::string& fileId)
{
    std::vector<standin::Document> documents;
    Json reply = Control("documents", "{\"fileId\": " + JsonQuote(fileId) + "}");
    for (const Json& entry : reply["documents"].Items()) {
        standin::Document document;
        document.documentId = entry["documentId"].Str();
        document.kind = entry["kind"].Str();
        document.method = entry["method"].Str();
        document.fileName = entry["fileName"].Str();
        document.title = entry["title"].Str();
        document.data = standin::Base64Decode(entry["data"].Str());
        document.hasSignedData = !entry["signedData"].IsNull();
        document.signedData = standin::Base64Decode(entry["signedData"].Str());
        documents.push_back(std::move(document));
    }
    return documents;
}

Json CStandInService::State()
{
    return Control("state");
}

bool CStandInService::SetSigned(const std::string& fileId, const std::string& signerEmail,
                                bool isSigned)
{
    std::string json =
        "{\"fileId\": " + JsonQuote(fileId) + ", \"signed\": " + (isSigned ? "true" : "false");
    if (!signerEmail.empty())
        json += ", \"email\": " + JsonQuote(signerEmail);
    bool ok = false;
    Control("sign", json + "}", &ok);
    return ok;
}

bool CStandInService::SetSignedPdf(const std::string& fileId, const std::string& documentId,
                                   const std::string& bytes)
{
    std::string json = "{\"fileId\": " + JsonQuote(fileId) +
                       ", \"data\": " + JsonQuote(standin::Base64Encode(bytes));
    if (!documentId.empty())
        json += ", \"documentId\": " + JsonQuote(documentId);
    bool ok = false;
    Control("signed-pdf", json + "}", &ok);
    return ok;
}

bool CStandInService::AddAccount(const std::string& apiCode, const std::string& email,
                                 const std::string& name)
{
    bool ok = false;
    Control("account",
            "{\"apiCode\": " + JsonQuote(apiCode) + ", \"email\": " + JsonQuote(email) +
                ", \"name\": " + JsonQuote(name) + "}",
            &ok);
    return ok;
}

bool CStandInService::TrustCertificate()
{
    std::string pem = CertificatePem();
    if (pem.empty())
        return false;
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr))
        return Fail("the service's certificate is not PEM");
    std::vector<BYTE> der(size);
    CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                         nullptr);
    HCERTSTORE root = CertOpenSystemStoreA(0, "ROOT");
    if (!root)
        return Fail("cannot open the Root certificate store");
    BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                  CERT_STORE_ADD_USE_EXISTING, nullptr);
    DWORD error = GetLastError();
    // Closing writes the store back to the registry, where the chain engine
    // that WinINet creates on its first secure connection will read it.
    CertCloseStore(root, 0);
    return added ||
           Fail("cannot add the certificate to the Root store: error " + std::to_string(error));
}

std::string CStandInService::CertificatePem()
{
    return Control("certificate")["pem"].Str();
}
