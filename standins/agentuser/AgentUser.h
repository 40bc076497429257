// CAgentUser: a person at the broadcast agent's dialog, seen from another
// process (the agent is a program of its own). It finds the dialog, reads
// its rows, status line and button the way the screen shows them, presses
// the button, answers the agent's question and takes a picture of the
// dialog. For the tests that run the real inkProxy.exe and for the demo.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

struct AgentRow {
    std::string text;
    int image = -1;
};

struct AgentView {
    std::vector<AgentRow> rows;
    std::string status;
    std::string button;
};

class CAgentUser {
public:
    static constexpr const char* kCaption = "Inkstave Broadcast Agent";

    // Waits up to timeoutMs for the agent's dialog (of process, or of any
    // process when 0); false when none came.
    bool WaitForDialog(DWORD timeoutMs, DWORD process = 0);
    HWND Dialog() const { return m_dialog; }
    bool DialogGone() const { return !m_dialog || !IsWindow(m_dialog); }

    // What the dialog shows now.
    AgentView Look() const;
    // Looks every 50 ms until the button reads one of captions (true) or
    // timeoutMs passes; each look goes to watch first.
    bool WaitForButton(const std::vector<std::string>& captions, DWORD timeoutMs,
                       const std::function<void(const AgentView&)>& watch = {});
    // Looks every 50 ms until seen says yes (true), the dialog goes or
    // timeoutMs passes.
    bool WaitUntil(const std::function<bool(const AgentView&)>& seen, DWORD timeoutMs) const;
    // Presses the dialog's one button.
    void PressButton() const;
    // Waits for the agent's question and answers it (IDYES or IDNO); the
    // question's text, or empty when none came within timeoutMs.
    std::string AnswerQuestion(int answer, DWORD timeoutMs) const;
    // Waits until the dialog is gone.
    bool WaitUntilGone(DWORD timeoutMs) const;
    // Waits until the agent's process has ended (its dialog gone is not
    // enough: the program cleans up on its way out).
    bool WaitUntilEnded(DWORD timeoutMs) const;
    DWORD Process() const { return m_process; }
    // Whether a balloon (a tooltip window of any process) lies over the
    // dialog now.
    bool BalloonOver() const;
    // Saves what the screen shows of the dialog as a PNG; false with why.
    bool TakePicture(const std::wstring& path, std::string& error) const;

private:
    HWND m_dialog = nullptr;
    DWORD m_process = 0;
};
