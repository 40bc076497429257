#include "bench/Sink.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

constexpr size_t kReadBlock = 1024 * 1024;

const char kAnswer[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
    "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
    "<AddDocumentToRequestResponse xmlns=\"http://secure.quillet.com/services/\">"
    "<AddDocumentToRequestResult>QD9001</AddDocumentToRequestResult>"
    "</AddDocumentToRequestResponse></soap:Body></soap:Envelope>";

bool SendAll(SOCKET socket, const char* bytes, size_t count)
{
    while (count > 0) {
        const int sent = send(socket, bytes, static_cast<int>(count), 0);
        if (sent <= 0)
            return false;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

} // namespace

CSink::~CSink()
{
    Stop();
}

bool CSink::Start(const char* address, std::string& error)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "WSAStartup failed";
        return false;
    }
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(80);
    inet_pton(AF_INET, address, &where.sin_addr);
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        listen(listener, 4) != 0) {
        error = "cannot listen on " + std::string(address) + ":80 (error " +
                std::to_string(WSAGetLastError()) + ")";
        if (listener != INVALID_SOCKET)
            closesocket(listener);
        return false;
    }
    m_listener = listener;
    m_running = true;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CSink::Stop()
{
    if (!m_running.exchange(false))
        return;
    closesocket(static_cast<SOCKET>(m_listener));
    if (m_thread.joinable())
        m_thread.join();
    WSACleanup();
}

void CSink::Serve()
{
    while (m_running) {
        const SOCKET client = accept(static_cast<SOCKET>(m_listener), nullptr, nullptr);
        if (client == INVALID_SOCKET)
            break;
        // One client at a time: the benchmark sends one request after another.
        Answer(client);
        closesocket(client);
    }
}

void CSink::Answer(unsigned long long socket)
{
    const SOCKET client = static_cast<SOCKET>(socket);
    std::unique_ptr<char[]> buffer(new char[kReadBlock]);
    std::string head;
    for (;;) {
        // The head, byte by byte up to its blank line.
        head.clear();
        while (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) {
            char ch;
            if (recv(client, &ch, 1, 0) != 1)
                return;
            head += ch;
        }
        unsigned long long length = 0;
        for (const char* name : {"\r\nContent-Length:", "\r\ncontent-length:"}) {
            const size_t at = head.find(name);
            if (at != std::string::npos)
                length = std::strtoull(head.c_str() + at + std::strlen(name), nullptr, 10);
        }
        while (length > 0) {
            const int want = static_cast<int>(length < kReadBlock ? length : kReadBlock);
            const int got = recv(client, buffer.get(), want, 0);
            if (got <= 0)
                return;
            length -= static_cast<unsigned long long>(got);
        }
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n"
                                   "Content-Length: " +
                                   std::to_string(sizeof kAnswer - 1) + "\r\n\r\n" + kAnswer;
        if (!SendAll(client, answer.data(), answer.size()))
            return;
    }
}
