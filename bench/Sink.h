// The benchmark's own sink: an HTTP server on a loopback address that only
// reads each request's body and answers every one the same small SOAP
// answer (an AddDocumentToRequest result), so that an upload to it shows
// what the client alone costs.
#pragma once

#include <atomic>
#include <string>
#include <thread>

class CSink {
public:
    CSink() = default;
    ~CSink();
    CSink(const CSink&) = delete;
    CSink& operator=(const CSink&) = delete;

    // Listens on address, port 80 (the client's port comes from its
    // settings); false with the reason in error.
    bool Start(const char* address, std::string& error);
    void Stop();

private:
    void Serve();
    void Answer(unsigned long long socket);

    unsigned long long m_listener = ~0ull;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
