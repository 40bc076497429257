#include "standins/mapi/StandIn.h"

#include <mapicode.h>

static std::string Environment(const char* name)
{
    char buffer[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return {};
    return std::string(buffer, length);
}

CStandIn& CStandIn::Get()
{
    static CStandIn standIn;
    return standIn;
}

HRESULT CStandIn::Enter(const char* call)
{
    Append(IsInitialized() ? std::string(call) : "VIOLATION " + std::string(call));
    return m_fixture.Fails(call) ? MAPI_E_CALL_FAILED : S_OK;
}

void CStandIn::Note(const std::string& line)
{
    Append(line);
}

void CStandIn::Initialize()
{
    if (m_initCount++ == 0)
        LoadFixture();
}

void CStandIn::Uninitialize()
{
    if (m_initCount == 0)
        return;
    if (--m_initCount == 0)
        Append("MAPIUninitialize objects=" + std::to_string(m_objects) +
               " buffers=" + std::to_string(m_buffers));
}

void CStandIn::LoadFixture()
{
    m_fixture = CFixture::Load(Environment("QUILLET_MAPI_FIXTURE"));
}

void CStandIn::Append(const std::string& line)
{
    std::string path = Environment("QUILLET_MAPI_LOG");
    if (path.empty())
        return;
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}
