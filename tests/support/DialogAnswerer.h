// CDialogAnswerer: answers every dialog and message box that comes up on
// this thread while it lives, however many, pressing one button on each,
// and keeps what each showed. For code whose dialogs are not the point of
// the test; a dialog with steps to play wants the scripted user instead
// (standins/scripteduser).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

class CDialogAnswerer {
public:
    // Looks for a visible dialog of the thread every 50 ms, from the
    // message loop the dialog runs. One answerer per thread at a time.
    explicit CDialogAnswerer(int button = IDOK);
    CDialogAnswerer(const CDialogAnswerer&) = delete;
    CDialogAnswerer& operator=(const CDialogAnswerer&) = delete;
    ~CDialogAnswerer();

    // Caption and message text (empty but for a message box) of each
    // dialog answered, in the order they came.
    const std::vector<std::pair<std::string, std::string>>& Seen() const { return m_seen; }
    std::vector<std::string> Captions() const;
    // The owner window of each dialog answered, in the same order.
    const std::vector<HWND>& Owners() const { return m_owners; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK Answer(HWND window, LPARAM self);

    int m_button;
    UINT_PTR m_timer = 0;
    std::vector<std::pair<std::string, std::string>> m_seen;
    std::vector<HWND> m_owners;
};
