#include "shared/log/DebugLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "classlib/com/Barrier.h"
#include "classlib/win32/CRegKey.h"
#include "classlib/win32/Handles.h"
#include "classlib/win32/Memory.h"
#include "shared/config/ProductKey.h"
#include "shared/config/SettingValue.h"
#include "shared/xml/XmlEscape.h"

namespace {

CDebugLog* g_processLog = nullptr;

constexpr int kMaxPath = 263;
constexpr int kFormatLimit = 1024;
constexpr const char* kRootElement = "Diagnostics";

CString TimeText(const char* format)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    CString text;
    text.Format(format, now.wMonth, now.wDay, now.wYear, now.wHour, now.wMinute, now.wSecond);
    return text;
}

CString AdvancedKeyPath()
{
    CString path;
    path.Format("%s%s", kProductKeyPath, "\\Advanced");
    return path;
}

// Appends text to the file at path; the file is closed again at once so that
// it is complete after every record.
void AppendToFile(const char* path, const char* text)
{
    CFileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file.Get(), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

// What the class library's catch barrier caught, as an error record of the
// process's log: the edge with its file and line, the code, and for a thrown
// HRESULT the expression that failed and where.
void ReportCaught(const CCaughtFailure& failure)
{
    char text[kFormatLimit];
    int length = std::snprintf(text, sizeof text, "Caught in %s (%s:%u): 0x%08lX %s",
                               failure.where ? failure.where : "", failure.file ? failure.file : "",
                               failure.line, static_cast<unsigned long>(failure.hr),
                               failure.what ? failure.what : "");
    if (failure.thrownFile && length > 0 && static_cast<size_t>(length) < sizeof text)
        std::snprintf(text + length, sizeof text - length, ", thrown at %s:%u", failure.thrownFile,
                      failure.thrownLine);
    TheLog().Error(text);
}

// A failure handed up by RETURN_IF_FAILED, as a comment: it is on its way
// to a caller that decides what it means (many are answers, not faults).
void ReportReturned(const CReturnedFailure& failure)
{
    // The log's own writing may hand a failure up: that one is not told.
    static thread_local bool reporting = false;
    if (reporting)
        return;
    reporting = true;
    struct CDone {
        ~CDone() { reporting = false; }
    } done;
    char text[kFormatLimit];
    std::snprintf(text, sizeof text, "Returned 0x%08lX from %s (%s:%u)",
                  static_cast<unsigned long>(failure.hr),
                  failure.expression ? failure.expression : "", failure.file ? failure.file : "",
                  failure.line);
    TheLog().Comment(text);
}

// Installed before any edge runs: the barrier's own reporter is
// constant-initialised, so this static initialiser cannot be undone by it.
[[maybe_unused]] const CBarrierReporter g_previousReporter = SetBarrierReporter(ReportCaught);
[[maybe_unused]] const CReturnReporter g_previousReturnReporter = SetReturnReporter(ReportReturned);

} // namespace

CDebugLog::CDebugLog(int bufferSize) : m_bufferSize(bufferSize)
{
    if (!IsDiagnoseOn() || AllocBuffers() != S_OK)
        return;
    m_flags = kDefaultFlags;
    ReadFlags();
    m_levels = kErrors | kWarnings | kComments | kBlocks;
    m_on = true;
    OpenLogFile(nullptr);
    OpenConsole();
}

CDebugLog::~CDebugLog()
{
    Close();
    if (g_processLog == this)
        g_processLog = nullptr;
}

CDebugLog& CDebugLog::Process()
{
    if (g_processLog)
        return *g_processLog;
    // Before (or without) a deliverable's own log: one that is never on.
    static CDebugLog offLog(0);
    return offLog;
}

void CDebugLog::SetProcess(CDebugLog* log)
{
    g_processLog = log;
}

bool CDebugLog::IsDiagnoseOn() const
{
    if (m_bufferSize <= 0)
        return false;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, AdvancedKeyPath(), KEY_READ) != ERROR_SUCCESS)
        return false;
    DWORD value = 0;
    return ReadSettingNumber(key, "Diagnose", value) == ERROR_SUCCESS && value == 1;
}

HRESULT CDebugLog::AllocBuffers()
{
    m_formatBuffer.reset(new (std::nothrow) char[m_bufferSize]);
    m_escapeBuffer.reset(new (std::nothrow) char[m_bufferSize]);
    if (!m_formatBuffer || !m_escapeBuffer) {
        m_formatBuffer.reset();
        m_escapeBuffer.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CDebugLog::ReadFlags()
{
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, AdvancedKeyPath(), KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        DWORD value = 0;
        if (ReadSettingNumber(key, "Flags", value) == ERROR_SUCCESS)
            m_flags |= value;
    }
    if (m_flags & kConsole)
        OpenConsole();
    if (m_flags & kFile)
        OpenLogFile(nullptr);
}

void CDebugLog::OpenConsole()
{
    if (HasConsole() || !(m_flags & kConsole))
        return;
    if (!AllocConsole())
        return;
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE || output == nullptr) {
        FreeConsole();
        return;
    }
    m_console = output;
    SetConsoleScreenBufferSize(m_console, COORD{80, 300});
    // The console is the log's, but its Close, Ctrl+C and Ctrl+Break would
    // end the whole process, Outlook with whatever it holds unsaved: Close
    // is taken off its menu, and the two keys are answered here.
    SetConsoleCtrlHandler(&CDebugLog::ConsoleSignal, TRUE);
    if (HWND window = GetConsoleWindow()) {
        if (HMENU menu = GetSystemMenu(window, FALSE))
            DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
    }
}

BOOL WINAPI CDebugLog::ConsoleSignal(DWORD signal)
{
    // Only a key typed into the log's console: it stops nothing. Logging
    // off, shutting down and a forced close go on to the system's handler.
    return signal == CTRL_C_EVENT || signal == CTRL_BREAK_EVENT;
}

void CDebugLog::OpenLogFile(const char* name)
{
    if (m_headerWritten)
        return;

    const bool xml = (m_flags & kXml) != 0;
    const char* extension = xml ? "xml" : "txt";
    CString stamp = TimeText("%02d-%02d-%d %02d %02d %02d");
    CString path;
    if (name) {
        path = name;
    } else {
        char temp[MAX_PATH + 1];
        DWORD length = GetTempPathA(sizeof temp, temp);
        if (length > 0 && length < sizeof temp)
            path.Format("%s\\%s (%s).%s", temp, "inkDebug", stamp.GetString(), extension);
        else
            path.Format("C:\\%s (%s).%s", "inkDebug", stamp.GetString(), extension);
    }

    // The file is made new: a second process started within the same second
    // takes a name of its own (with its process id) instead of writing into
    // the first one's log.
    const int dot = path.ReverseFind('.');
    CFileHandle file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        CString candidate = path;
        if (attempt == 1)
            candidate.Format("%s [%lu]%s", path.Left(dot).GetString(), GetCurrentProcessId(),
                             path.Mid(dot).GetString());
        else if (attempt > 1)
            candidate.Format("%s [%lu-%d]%s", path.Left(dot).GetString(), GetCurrentProcessId(),
                             attempt, path.Mid(dot).GetString());
        candidate = candidate.Left(kMaxPath);
        file.Reset(CreateFileA(candidate, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS)
            return;
        if (file)
            path = candidate;
    }
    if (!file)
        return;
    file.Reset();
    m_filePath = path;
    m_headerWritten = true;

    CString now = TimeText("%02d/%02d/%d (%02d:%02d:%02d)");
    CString header;
    if (xml) {
        header.Format("<?xml version=\"1.0\" encoding=\"UTF-8\"?><%s><time>%s</time>", kRootElement,
                      now.GetString());
    } else {
        CString rule('=', 41);
        header.Format("%s\r\nLog Time: %s\r\n%s\r\n", rule.GetString(), now.GetString(),
                      rule.GetString());
    }
    AppendToFile(m_filePath, header);
}

void CDebugLog::Write(const char* text, DWORD mask)
{
    if (!text)
        return;
    CLock lock(m_lock);
    if (mask == 0)
        mask = m_flags;
    if ((mask & m_flags) != mask)
        return;
    if ((mask & kFile) && m_headerWritten)
        AppendToFile(m_filePath, text);
    if ((mask & kConsole) && HasConsole()) {
        DWORD written = 0;
        WriteFile(m_console, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    }
    if (mask & kMessageBox)
        MessageBoxA(nullptr, text, "Inkstave", MB_OK);
}

const char* CDebugLog::EscapeXml(const char* text)
{
    char* out = m_escapeBuffer.get();
    std::memset(out, 0, m_bufferSize);
    int used = 0;
    std::string_view rest(text);
    std::string piece;
    while (!rest.empty()) {
        piece.clear();
        const size_t took = XmlEscapeNext(rest, piece);
        const int length = static_cast<int>(piece.size());
        if (used + length >= m_bufferSize)
            break; // cut between characters, never inside one
        std::memcpy(out + used, piece.data(), piece.size());
        used += length;
        rest.remove_prefix(took);
    }
    return out;
}

void CDebugLog::Record(DWORD level, const char* fileForm, const char* consoleForm,
                       const char* boxForm)
{
    (void)level;
    if (fileForm)
        Write(fileForm, kXml | kFile);
    if (consoleForm && HasConsole())
        Write(consoleForm, kConsole);
    if (boxForm)
        Write(boxForm, kMessageBox);
}

namespace {

// "<open>" escaped "<close>" around the text.
CString Wrapped(const char* open, const char* escaped, const char* close)
{
    CString text(open);
    text += escaped;
    text += close;
    return text;
}

CString Formatted(const char* format, const char* text)
{
    CString result;
    result.Format(format, text);
    return result;
}

} // namespace

void CDebugLog::Enter(const char* name)
{
    if (!m_on || !(m_levels & kBlocks) || !name)
        return;
    CLock lock(m_lock);
    Record(kBlocks, Wrapped("<block_enter>", EscapeXml(name), "</block_enter>"),
           CString(name) + " {\n",
           (m_flags & kMessageBox) ? Formatted("Entering %s!", name) : nullptr);
    ++m_depth;
}

void CDebugLog::Exit(const char* name)
{
    if (!m_on || !(m_levels & kBlocks) || !name)
        return;
    CLock lock(m_lock);
    --m_depth;
    Record(kBlocks, Wrapped("<block_exit>", EscapeXml(name), "</block_exit>"), CString("} ") + name,
           (m_flags & kMessageBox) ? Formatted("Exiting %s!", name) : nullptr);
}

void CDebugLog::Error(const char* text)
{
    if (!m_on || !(m_levels & kErrors) || !text)
        return;
    CLock lock(m_lock);
    Record(kErrors, Wrapped("<error><details>", EscapeXml(text), "</details></error>\n"),
           CString("ERROR: ") + text + "!\n",
           (m_flags & kMessageBox) ? Formatted("ERROR: %s!", text) : nullptr);
}

void CDebugLog::LastError(const char* text)
{
    const DWORD code = GetLastError();
    if (!m_on || !(m_levels & kErrors) || !text)
        return;
    CLock lock(m_lock);
    CLocalMem message;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<char*>(message.Put()), 0, nullptr);
    CString composite;
    composite.Format("%s failed with error %d: %s", text, static_cast<int>(code),
                     message.Get() ? static_cast<const char*>(message.Get()) : "");
    Record(kErrors, Wrapped("<error><details>", EscapeXml(composite), "</details></error>\n"),
           Formatted("ERROR: %s!\n", composite),
           (m_flags & kMessageBox) ? Formatted("ERROR: %s!", composite) : nullptr);
}

void CDebugLog::Warning(const char* text)
{
    if (!m_on || !(m_levels & kWarnings) || !text)
        return;
    CLock lock(m_lock);
    Record(kWarnings, Wrapped("<warning><details>", EscapeXml(text), "</details></warning>\n"),
           CString("WARNING: ") + text + "\n",
           (m_flags & kMessageBox) ? Formatted("WARNING: %s", text) : nullptr);
}

void CDebugLog::Comment(const char* text)
{
    if (!m_on || !(m_levels & kComments) || !text)
        return;
    CLock lock(m_lock);
    Record(kComments, Wrapped("<comment>", EscapeXml(text), "</comment>\n"),
           CString("Comment: ") + text + "\n", (m_flags & kMessageBox) ? text : nullptr);
}

void CDebugLog::CommentFormat(const char* format, const char* text)
{
    if (!m_on || !format || !text)
        return;
    CLock lock(m_lock);
    if (std::strlen(format) + std::strlen(text) > kFormatLimit)
        Warning("The follow comment might be truncated due to wsprintf limitation");
    if (!(m_levels & kComments))
        return;
    const int size = std::min(kFormatLimit + 1, m_bufferSize);
    std::snprintf(m_formatBuffer.get(), size, format, text);
    Comment(m_formatBuffer.get());
}

void CDebugLog::CommentFormatInt(const char* format, long value)
{
    if (!m_on || !format || !(m_levels & kComments))
        return;
    CLock lock(m_lock);
    std::snprintf(m_formatBuffer.get(), std::min(kFormatLimit + 1, m_bufferSize), format, value);
    Comment(m_formatBuffer.get());
}

const char* CDebugLog::ClassOf(HRESULT code)
{
    static constexpr DWORD kConstants[] = {
        1,          2,          6,          15,         25,         27,         29,
        30,         32,         33,         38,         50,         67,         80,
        86,         109,        122,        183,        233,        299,        1004,
        1054,       1064,       1113,       1115,       1223,       1229,       1232,
        1314,       1315,       1317,       1319,       1323,       2202,       4002,
        0x00030200, 0x80004002, 0x80004005, 0x80030008, 0x80030009, 0x80030012, 0x80030013,
        0x80030019, 0x8003001D, 0x8003001E, 0x80030020, 0x80030021, 0x80030050, 0x80030057,
        0x80030070, 0x80070005, 0x8007000E, 0x80070057};
    const DWORD value = static_cast<DWORD>(code);
    if (value == 0x800106BE)
        return "RPC Error - RPC_S_CALL_FAILED";
    if ((value >= 0x80030001 && value <= 0x80030006) ||
        (value >= 0x800300FA && value <= 0x80030107) ||
        std::find(std::begin(kConstants), std::end(kConstants), value) != std::end(kConstants))
        return "E_CONSTANT";
    return "UNKNOWN";
}

void CDebugLog::HResult(const char* where, HRESULT code)
{
    if (!m_on || !(m_levels & kErrors) || code == 0)
        return;
    CLock lock(m_lock);
    std::snprintf(m_formatBuffer.get(), m_bufferSize, "Error in %s, %s (%#08lx)\r\n",
                  where ? where : "", ClassOf(code), static_cast<unsigned long>(code));
    Error(m_formatBuffer.get());
}

void CDebugLog::Close()
{
    CLock lock(m_lock);
    if (HasConsole()) {
        SetConsoleCtrlHandler(&CDebugLog::ConsoleSignal, FALSE);
        FreeConsole();
        m_console = INVALID_HANDLE_VALUE;
    }
    if (m_headerWritten && (m_flags & kFile)) {
        if (m_flags & kXml) {
            CString closing;
            closing.Format("</%s>\n", kRootElement);
            AppendToFile(m_filePath, closing);
        }
        m_headerWritten = false;
    }
    m_formatBuffer.reset();
    m_escapeBuffer.reset();
    m_on = false;
}
