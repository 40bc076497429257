// How long the client waits for the signature service and how much it takes
// from it: the limits that end an exchange with a service that answers too
// little, too slowly or too much, instead of leaving the calling thread (often
// the user interface's) waiting for as long as the service wants.
#pragma once

#include <windows.h>
#include <wininet.h>

struct CWireLimits {
    // The most one answer may hold: the answers to everything but a signed
    // copy are a few kilobytes of XML; a signed copy is a whole document in
    // base64 (4 bytes for every 3), and documents of hundreds of megabytes
    // are sent for signature.
    static constexpr ULONGLONG kSmallAnswerBytes = 16ull * 1024 * 1024;
    static constexpr ULONGLONG kSignedCopyAnswerBytes = 1024ull * 1024 * 1024;

    // The most one request may hold. A request's length is announced in 32
    // bits (HttpSendRequestEx), so no upload of a document goes beyond
    // that; every other request is a few kilobytes of XML and at most the
    // invitation's text in base64, and the agent, which assembles them
    // from files it is handed, sends none larger than this.
    static constexpr ULONGLONG kDocumentRequestBytes = 0xFFFFFFFFull;
    static constexpr ULONGLONG kSmallRequestBytes = 32ull * 1024 * 1024;

    // Silence: when no byte moves either way for this long, the exchange
    // ends (connecting, each write of the request, the wait for the answer
    // and each read of it). It bounds silence, not time, so a large upload
    // that keeps moving, however slowly, is never cut off; 50 s leaves a
    // service time to think before it answers a large upload, and gives up
    // a dead one inside a minute.
    DWORD silenceMs = 50 * 1000;

    // Once the answer has begun (its status has come), it has this long,
    // plus one second for every minAnswerBytesPerSecond bytes that came: a
    // service that keeps a connection alive with a byte now and then is
    // given up, a large signed copy arriving at any usable speed is not.
    DWORD answerGraceMs = 60 * 1000;
    DWORD minAnswerBytesPerSecond = 8 * 1024;

    // Checked against the announced Content-Length before reading, and
    // while reading.
    ULONGLONG maxAnswerBytes = kSmallAnswerBytes;
    ULONGLONG maxRequestBytes = kSmallRequestBytes;

    // The limits for calls of this service method.
    static CWireLimits ForMethod(const char* method);

    // The time the answer may have taken when this many bytes of it came.
    ULONGLONG AnswerAllowanceMs(ULONGLONG bytesReceived) const;
};

// Gives the handle (a connection or a request) the silence limit as its
// connect, send and receive timeouts; a failure is logged, not fatal.
void ApplySilenceLimit(HINTERNET handle, DWORD silenceMs);
