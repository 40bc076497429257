#include "classlib/inet/CInternetSession.h"

#include <cstring>

CString CInternetException::GetErrorMessage() const
{
    char* message = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE source = nullptr;
    if (m_dwError >= INTERNET_ERROR_BASE && m_dwError <= INTERNET_ERROR_LAST) {
        source = GetModuleHandleA("wininet.dll");
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    } else {
        flags |= FORMAT_MESSAGE_FROM_SYSTEM;
    }
    FormatMessageA(flags, source, m_dwError, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    CString text;
    if (message) {
        text = message;
        LocalFree(message);
        text.TrimRight();
    } else {
        text.Format("Internet error %lu", m_dwError);
    }
    return text;
}

int CInternetException::ReportError(UINT type) const
{
    return MessageBoxA(nullptr, GetErrorMessage(), nullptr, type);
}

void ThrowLastInternetError(DWORD_PTR context)
{
    throw CInternetException(GetLastError(), context);
}

CInternetSession::CInternetSession(const char* agent, DWORD_PTR context, DWORD accessType,
                                   const char* proxyName, const char* proxyBypass, DWORD flags)
    : m_handle(InternetOpenA(agent, accessType, proxyName, proxyBypass, flags)), m_context(context)
{
    if (!m_handle)
        ThrowLastInternetError(context);
}

CInternetSession::~CInternetSession() = default;

BOOL CInternetSession::EnableStatusCallback(BOOL enable)
{
    INTERNET_STATUS_CALLBACK previous =
        InternetSetStatusCallbackA(m_handle.Get(), enable ? StatusCallback : nullptr);
    return previous != INTERNET_INVALID_STATUS_CALLBACK;
}

void CALLBACK CInternetSession::StatusCallback(HINTERNET, DWORD_PTR, DWORD, void*, DWORD)
{
    // WinINet hands only the request's context, which is the same
    // (kInternetContext) everywhere, so the notification is taken and
    // dropped here.
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const char* server,
                                                                     INTERNET_PORT port,
                                                                     const char* userName,
                                                                     const char* password)
{
    HINTERNET connection = InternetConnectA(m_handle.Get(), server, port, userName, password,
                                            INTERNET_SERVICE_HTTP, 0, m_context);
    if (!connection)
        ThrowLastInternetError(m_context);
    return std::make_unique<CHttpConnection>(connection, server, port);
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(const char* verb, const char* objectName,
                                                        const char* referer, DWORD_PTR context,
                                                        const char** acceptTypes,
                                                        const char* version, DWORD flags)
{
    HINTERNET request =
        HttpOpenRequestA(m_handle.Get(), verb, objectName, version,
                         referer && *referer ? referer : nullptr, acceptTypes, flags, context);
    if (!request)
        ThrowLastInternetError(context);
    return std::make_unique<CHttpFile>(request, context);
}

BOOL CHttpFile::AddRequestHeaders(const char* headers, DWORD flags, int length)
{
    if (length < 0)
        length = static_cast<int>(std::strlen(headers));
    return HttpAddRequestHeadersA(m_handle.Get(), headers, static_cast<DWORD>(length), flags);
}

BOOL CHttpFile::SendRequest(const char* headers, DWORD headersLength, const void* optional,
                            DWORD optionalLength)
{
    if (headers && headersLength == 0)
        headersLength = static_cast<DWORD>(std::strlen(headers));
    if (!HttpSendRequestA(m_handle.Get(), headers, headersLength, const_cast<void*>(optional),
                          optionalLength))
        ThrowLastInternetError(m_context);
    return TRUE;
}

BOOL CHttpFile::SendRequestEx(DWORD totalLength, DWORD flags, DWORD_PTR context)
{
    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.dwBufferTotal = totalLength;
    if (!HttpSendRequestExA(m_handle.Get(), &buffers, nullptr, flags, context))
        ThrowLastInternetError(context);
    return TRUE;
}

BOOL CHttpFile::EndRequest(DWORD flags, DWORD_PTR context)
{
    if (!HttpEndRequestA(m_handle.Get(), nullptr, flags, context))
        ThrowLastInternetError(context);
    return TRUE;
}

UINT CHttpFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!InternetReadFile(m_handle.Get(), buffer, count, &read))
        ThrowLastInternetError(m_context);
    return read;
}

DWORD CHttpFile::QueryDataAvailable()
{
    DWORD available = 0;
    if (!InternetQueryDataAvailable(m_handle.Get(), &available, 0, 0))
        ThrowLastInternetError(m_context);
    return available;
}

void CHttpFile::Write(const void* buffer, UINT count)
{
    const BYTE* bytes = static_cast<const BYTE*>(buffer);
    while (count > 0) {
        DWORD written = 0;
        if (!InternetWriteFile(m_handle.Get(), bytes, count, &written) || written == 0)
            ThrowLastInternetError(m_context);
        bytes += written;
        count -= written;
    }
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& status) const
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!HttpQueryInfoA(m_handle.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value,
                        &size, nullptr))
        return FALSE;
    status = value;
    return TRUE;
}

BOOL CHttpFile::QueryInfo(DWORD level, CString& value) const
{
    DWORD size = 0;
    HttpQueryInfoA(m_handle.Get(), level, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return FALSE;
    // The size asked for may or may not count the closing zero.
    DWORD length = size + 1;
    CString text;
    char* buffer = text.GetBuffer(static_cast<int>(length));
    const BOOL found = HttpQueryInfoA(m_handle.Get(), level, buffer, &length, nullptr);
    text.ReleaseBuffer(found ? static_cast<int>(length) : 0);
    if (!found)
        return FALSE;
    value = text;
    return TRUE;
}

DWORD CHttpFile::ErrorDlg(HWND parent, DWORD error, DWORD flags)
{
    return InternetErrorDlg(parent, m_handle.Get(), error, flags, nullptr);
}
