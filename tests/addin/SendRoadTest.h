// What the send road's tests share: the recorder program that stands in for
// the agent and the browser, and the browser the ".htm" files open with.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

// The recorder (tests/addin/recorder.cpp) appends the command line of each
// of its runs to the file this names; the runs it started inherit the
// setting. The previous setting comes back at the end.
class CRecorder {
public:
    explicit CRecorder(std::string path);
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;
    ~CRecorder();

    // The command lines recorded so far.
    std::vector<std::string> Lines() const;
    // Waits until at least count runs are recorded (a started program runs
    // on its own time); the lines then.
    std::vector<std::string> WaitForLines(size_t count, DWORD timeoutMs = 15000) const;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};

// The user's browser as the registry names it: HKCR\.htm's class with an
// "open" (and, when given, an "opennew") command. Whatever the machine had
// comes back at the end.
class CBrowserClass {
public:
    // A command empty for a verb leaves that verb out; noClass leaves
    // ".htm" without a class.
    CBrowserClass(const std::string& openCommand, const std::string& openNewCommand = {},
                  bool noClass = false);
    CBrowserClass(const CBrowserClass&) = delete;
    CBrowserClass& operator=(const CBrowserClass&) = delete;
    ~CBrowserClass();

    static constexpr const char* kClass = "QuilletTest.htmfile";

private:
    bool m_hadHtm = false;
    bool m_hadHtmValue = false;
    std::string m_previousClass;
};

// The recorder beside the test program, quoted for a command line.
std::string RecorderCommand();
