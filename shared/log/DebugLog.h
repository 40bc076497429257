// CDebugLog: the diagnostic log of a deliverable. Off unless the user's
// "Diagnose" switch is 1; when on, every record goes to one file per process
// start in the temporary folder (XML or text), and can echo to a console and
// to message boxes. Logging never changes what the caller does: nothing here
// reports a failure. What the class library's catch barrier catches at an
// edge (classlib/com/Barrier.h) is an error record of the process's log.
#pragma once

#include <memory>
#include <windows.h>

#include "classlib/strings/CString.h"
#include "classlib/win32/CCriticalSection.h"

class CDebugLog {
public:
    // Output flags.
    static constexpr DWORD kXml = 0x1;
    static constexpr DWORD kFile = 0x8;
    static constexpr DWORD kConsole = 0x10;
    static constexpr DWORD kMessageBox = 0x20;
    // On by default and kept in the stored value, these two select no
    // output of their own.
    static constexpr DWORD kInertBit7 = 0x80;
    static constexpr DWORD kInertBit8 = 0x100;
    static constexpr DWORD kDefaultFlags = kXml | kFile | kConsole | kInertBit7 | kInertBit8;

    // Level bits.
    static constexpr DWORD kErrors = 1;
    static constexpr DWORD kWarnings = 2;
    static constexpr DWORD kComments = 4;
    static constexpr DWORD kBlocks = 8;

    explicit CDebugLog(int bufferSize = 4096);
    CDebugLog(const CDebugLog&) = delete;
    CDebugLog& operator=(const CDebugLog&) = delete;
    ~CDebugLog();

    // The process's log: the one the deliverable registered, else one that
    // stays off.
    static CDebugLog& Process();
    static void SetProcess(CDebugLog* log);

    bool IsOn() const { return m_on; }
    DWORD GetFlags() const { return m_flags; }
    int GetDepth() const { return m_depth; }
    const CString& GetFilePath() const { return m_filePath; }
    bool HasConsole() const { return m_console != INVALID_HANDLE_VALUE; }

    void Enter(const char* name);
    void Exit(const char* name);
    void Error(const char* text);
    // The text with the thread's last error code and the system's message.
    void LastError(const char* text);
    void Warning(const char* text);
    void Comment(const char* text);
    void CommentFormat(const char* format, const char* text);
    void CommentFormatInt(const char* format, long value);
    // Logs a failing code with its class; code 0 logs nothing.
    void HResult(const char* where, HRESULT code);

    // Sends text to every output whose bit is in mask (0: the current flags)
    // and also on in the output flags.
    void Write(const char* text, DWORD mask);

    // At exit: frees the console, closes the XML root, frees the buffers.
    void Close();

    // The class name HResult gives a code: "E_CONSTANT", the RPC failure's
    // own name, or "UNKNOWN".
    static const char* ClassOf(HRESULT code);

private:
    bool IsDiagnoseOn() const;
    HRESULT AllocBuffers();
    void ReadFlags();
    void OpenConsole();
    void OpenLogFile(const char* name);
    // The escaped text in the escape buffer (cut, never split, when full).
    const char* EscapeXml(const char* text);
    static BOOL WINAPI ConsoleSignal(DWORD signal);
    void Record(DWORD level, const char* fileForm, const char* consoleForm, const char* boxForm);

    CString m_filePath;
    bool m_headerWritten = false;
    bool m_on = false;
    int m_bufferSize;
    std::unique_ptr<char[]> m_formatBuffer;
    std::unique_ptr<char[]> m_escapeBuffer;
    DWORD m_levels = 0;
    DWORD m_flags = 0;
    HANDLE m_console = INVALID_HANDLE_VALUE;
    int m_depth = 0;
    CCriticalSection m_lock;
};

// Writes the enter record now and the exit record when the scope ends.
class CLogBlock {
public:
    explicit CLogBlock(const char* name) : m_name(name) { CDebugLog::Process().Enter(m_name); }
    CLogBlock(const CLogBlock&) = delete;
    CLogBlock& operator=(const CLogBlock&) = delete;
    ~CLogBlock() { CDebugLog::Process().Exit(m_name); }

private:
    const char* m_name;
};

// Shorthands for the process's log.
inline CDebugLog& TheLog()
{
    return CDebugLog::Process();
}
