#include "shared/service/WireLimits.h"

#include <cstring>

#include "shared/log/DebugLog.h"

CWireLimits CWireLimits::ForMethod(const char* method)
{
    CWireLimits limits;
    if (!method)
        return limits;
    if (std::strcmp(method, "DownloadSignedDocument") == 0)
        limits.maxAnswerBytes = kSignedCopyAnswerBytes;
    for (const char* upload : {"AddDocumentToRequest", "AddReferenceDocumentToRequest",
                               "AddInstructionalDocumentToRequest"}) {
        if (std::strcmp(method, upload) == 0)
            limits.maxRequestBytes = kDocumentRequestBytes;
    }
    return limits;
}

ULONGLONG CWireLimits::AnswerAllowanceMs(ULONGLONG bytesReceived) const
{
    const ULONGLONG rate = minAnswerBytesPerSecond ? minAnswerBytesPerSecond : 1;
    return answerGraceMs + bytesReceived * 1000 / rate;
}

void ApplySilenceLimit(HINTERNET handle, DWORD silenceMs)
{
    // WinINet keeps these per handle and a request takes its connection's.
    // Under Wine the first three are honoured on connection and request
    // handles (the send and receive ones as socket timeouts, which wait
    // forever when not set); the data-channel ones are taken and ignored
    // there, and are set for the WinINet of Windows, which reads them too.
    struct Option {
        DWORD id;
        bool required;
    };
    static constexpr Option kOptions[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, true},       {INTERNET_OPTION_SEND_TIMEOUT, true},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, true},       {INTERNET_OPTION_DATA_SEND_TIMEOUT, false},
        {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, false},
    };
    for (const Option& option : kOptions) {
        DWORD value = silenceMs;
        if (!InternetSetOptionA(handle, option.id, &value, sizeof value) && option.required)
            TheLog().CommentFormatInt("ApplySilenceLimit: option %lu not taken",
                                      static_cast<long>(option.id));
    }
}
