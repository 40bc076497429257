// The stand-in signature service (standins/service/quillet_service.py) as
// seen from a Windows test: starts it as a Linux process through Wine on a
// loopback address of its own, drives its control interface over plain
// Winsock HTTP (not WinINet: that is what the code under test uses, and a
// fault there must not hide itself), and ends it again.
//
// The service must listen where the client's settings point: port 80 for
// http, 443 for https, on the address named by the "Host" setting.
// Link with ws2_32 and crypt32.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/Json.h"

namespace standin {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// One request as the service received it.
struct Request {
    std::string method; // the HTTP method
    std::string path;
    std::string head;       // request line and header lines, byte for byte
    Pairs headers;          // in the order received, names as sent
    std::string body;       // raw bytes
    std::string soapMethod; // empty unless the body was a call of the service
    Pairs elements;         // the call's elements in order, values UTF-8
    std::string encoding;   // "utf-8", or "cp1252" when the body was not UTF-8
    std::string parseError; // why the service refused the body, when it did
    std::string behaviour;  // the injected behaviour that answered, or empty
    int status = 0;         // the status the service answered with (0: none)
    bool tls = false;
    std::string client; // "address:port" of the connection it came over

    // The first header of that name (any case), or empty.
    std::string Header(const char* name) const;
    bool HasHeader(const char* name) const;
    // The first element of that name, or empty.
    std::string Element(const char* name) const;
    bool HasElement(const char* name) const;
};

// A document uploaded to a request.
struct Document {
    std::string documentId;
    std::string kind;   // "Signature", "Reference" or "Instructional"
    std::string method; // the upload method that brought it
    std::string fileName;
    std::string title;
    std::string data;           // the decoded bytes
    bool hasSignedData = false; // a signed copy was set by the test
    std::string signedData;
};

// Behaviour kinds (README.md of the service lists their fields).
namespace kind {
inline constexpr const char* Fault = "fault";
inline constexpr const char* Error = "error";
inline constexpr const char* Result = "result";
inline constexpr const char* Malformed = "malformed";
inline constexpr const char* Empty = "empty";
inline constexpr const char* Http = "http";
inline constexpr const char* ProxyAuth = "proxy_auth";
inline constexpr const char* Slow = "slow";
inline constexpr const char* Cut = "cut";
inline constexpr const char* Padded = "padded";
inline constexpr const char* Close = "close";
inline constexpr const char* Stall = "stall";
inline constexpr const char* Endless = "endless";
} // namespace kind

inline constexpr const char* kDefaultApiCode = "QUILLET-DEMO-0001";
inline constexpr const char* kDefaultEmail = "demo.user@example.com";
inline constexpr const char* kDefaultName = "Demo User";

} // namespace standin

class CStandInService {
public:
    explicit CStandInService(const char* address = "127.0.0.2", bool tls = false);
    ~CStandInService();
    CStandInService(const CStandInService&) = delete;
    CStandInService& operator=(const CStandInService&) = delete;

    // Seconds after which the service ends by itself (default 600), so a
    // test that dies never leaves it behind; set before Start.
    void SetLifetime(int seconds) { m_lifetime = seconds; }

    // Starts the service and waits (at most about 10 s) until it listens.
    bool Start();
    // Asks the service to end and waits until it has let go of its port.
    void Stop();
    bool Running() const { return m_running; }

    const std::string& Address() const { return m_address; }
    int Port() const { return m_port; }
    bool Tls() const { return m_tls; }
    // "http://127.0.0.2/services/gateway.asmx" (https with TLS).
    std::string ServiceUrl() const;
    // Why the last call failed (start-up, transport or the service's reply).
    const std::string& LastError() const { return m_lastError; }

    bool Reset();
    // Queues behaviours: one JSON object, or an array of them.
    bool SetBehaviour(const std::string& json);
    // Queues {"kind": kind, "count": count, "method": method, <fields>};
    // fields is a JSON member list without braces, such as
    // "\"faultstring\": \"No.\"". A null method applies to every method.
    bool FailNext(const char* kind, int count = 1, const char* method = nullptr,
                  const std::string& fields = {});
    bool ClearBehaviours();
    std::vector<standin::Request> Requests(size_t since = 0);
    size_t RequestCount();
    std::vector<standin::Document> Documents(const std::string& fileId);
    // The service's whole state ("accounts", "files", "behaviours", "requests").
    standin::Json State();
    // An empty e-mail marks every signer of the request.
    bool SetSigned(const std::string& fileId, const std::string& signerEmail = {},
                   bool isSigned = true);
    // An empty document ID sets the first document's signed copy.
    bool SetSignedPdf(const std::string& fileId, const std::string& documentId,
                      const std::string& bytes);
    bool AddAccount(const std::string& apiCode, const std::string& email,
                    const std::string& name = {});
    // The PEM of the certificate the service serves with TLS.
    std::string CertificatePem();
    // Puts that certificate in the current user's Root store, so that WinINet
    // accepts the service (Start does this with TLS). Wine reads the store
    // once per process, at the first secure connection: trust given later
    // counts from the next process on. The service keeps one certificate
    // across runs for 127.0.0.1 to 127.0.0.254, so after the first run it
    // is trusted from the start.
    bool TrustCertificate();

    // One control command: POST /control/<command> with a JSON body. Returns
    // the parsed reply; *ok is true when the service answered with "ok".
    standin::Json Control(const char* command, const std::string& jsonBody = "{}",
                          bool* ok = nullptr);

    // Sends a raw request over plain TCP and reads the response until the
    // service closes the connection (send "Connection: close" or HTTP/1.0).
    static bool RawExchange(const std::string& address, int port, const std::string& request,
                            std::string* response, unsigned long timeoutMs = 10000);

private:
    bool Fail(const std::string& why);

    std::string m_address;
    bool m_tls;
    int m_port;
    int m_lifetime = 600;
    bool m_running = false;
    bool m_winsock = false;
    std::string m_readyFile; // Windows path
    std::string m_logFile;   // Windows path
    std::string m_lastError;
};
