// CScriptedUser: a person at the keyboard, for tests of code that shows
// dialogs. It runs on a thread timer of the test's thread, so it keeps
// working inside the modal loops of DialogBox, PropertySheet and MessageBox.
// Each tick it looks at the topmost visible, enabled dialog of the thread and
// does the next step of its script there, but only on a control that is
// visible and enabled, as a person could; otherwise it waits.
//
// It also watches: a step that stays impossible for longer than the step
// limit, a dialog that stays up with nothing left to do for longer than the
// idle limit, or a script not finished by the deadline fails the run. Time
// a dialog spends at work does not count against the step and idle limits:
// a dialog is at work while its own messages keep coming to it (a posted
// message of its own or its timer, as an operation that runs stage by stage
// posts them, also while it waits on the network), so a long operation is
// waited for as long as it runs, up to the deadline, while a dialog that
// waits for nothing fails within the limits. The step and idle limits
// count the thread's own time, which stands still while the machine's load
// holds the thread, so a busy machine never fails a dialog that is ready
// within them; the deadline counts the wall clock. A failure records what
// was on screen (the thread's window tree), abandons the script and ends
// every dialog of the thread with IDCANCEL, now and as they come, so that
// the test goes on instead of hanging.
//
//     CScriptedUser user;
//     user.Expect("Quillet Login").Type(1007, "jane@x.com").Click(IDOK)
//         .AnswerMessageBox(IDOK);
//     user.Start();
//     INT_PTR answer = dialog.DoModal();
//     user.Stop();
//     EXPECT_TRUE(user.Finished()) << user.Report();
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

class CScriptedUser {
public:
    struct Limits {
        unsigned tickMs = 20;
        unsigned stepMs = 5000;      // one step impossible this long, the dialog idle, fails
        unsigned idleMs = 5000;      // a dialog up, idle, with nothing to do this long fails
        unsigned deadlineMs = 60000; // the whole script, and any dialog up after it, from Start
    };

    CScriptedUser() = default;
    explicit CScriptedUser(const Limits& limits) : m_limits(limits) {}
    CScriptedUser(const CScriptedUser&) = delete;
    CScriptedUser& operator=(const CScriptedUser&) = delete;
    ~CScriptedUser();

    // The script, in order. Each returns *this for chaining.
    // Waits until the topmost dialog has this caption.
    CScriptedUser& Expect(const std::string& caption);
    // Focuses the edit and replaces its text the way typing does (the edit
    // sends its own EN_UPDATE and EN_CHANGE); on a combo box with an edit
    // part, sets that text and sends CBN_EDITCHANGE.
    CScriptedUser& Type(int id, const std::string& text);
    CScriptedUser& Click(int id);
    // Clicks the check box until it shows the wanted state; a box that does
    // not take it fails the run.
    CScriptedUser& Check(int id, bool checked = true);
    // Selects a row of a list box (LBN_SELCHANGE) or list view (the list's
    // own LVN_ITEMCHANGED, then NM_CLICK), as a click on it does.
    CScriptedUser& PickListRow(int id, int row);
    // Selects the combo box item with exactly this text (CBN_SELCHANGE,
    // CBN_SELENDOK); a missing item fails the run.
    CScriptedUser& PickComboItem(int id, const std::string& text);
    // Clicks a list view's row with the mouse: on its check box (state
    // image) or on its text. The list sends its own notifications (NM_CLICK
    // with the point), as it does for a real click.
    CScriptedUser& ClickListRow(int id, int row, bool onCheckBox);
    // Brings the tab with this text to the front in the dialog's tab
    // control (a property sheet's page, as a click on its tab does).
    CScriptedUser& PickTab(const std::string& text);
    // Waits for a message box, records its text and presses its button.
    CScriptedUser& AnswerMessageBox(int buttonId);
    // Records the control's text (see TextRead).
    CScriptedUser& Read(int id);
    // Closes the topmost dialog as its title bar's close box does.
    CScriptedUser& Close();
    // A step of the test's own on the topmost dialog: return true when done,
    // false to be asked again next tick.
    CScriptedUser& Do(const std::string& what, std::function<bool(HWND dialog)> action);
    // Like Do, for a wait on another program's work while the dialog stays
    // idle (a program it started): ready is asked each tick for up to
    // waitMs, however short the step limit.
    CScriptedUser& Await(const std::string& what, std::function<bool(HWND dialog)> ready,
                         unsigned waitMs);

    // Told, as it happens, what the user sees and does, in words a reader
    // follows ("sees \"Quillet Login\"", "types \"jane@x.com\" into Email:",
    // "clicks Next >"): for a program that narrates a session. dialog is the
    // dialog the step is played on, before the step changes it.
    using Narrator = std::function<void(HWND dialog, const std::string& what)>;
    void SetNarrator(Narrator narrator) { m_narrator = std::move(narrator); }

    // Starts ticking on this thread's messages; Stop ends it (so does the
    // destructor). One scripted user per thread at a time.
    void Start();
    void Stop();

    // Every step done and nothing failed.
    bool Finished() const { return !m_failed && m_next == m_steps.size(); }
    bool Failed() const { return m_failed; }
    // What went wrong (with the window tree at that moment), or what is left.
    std::string Report() const;

    // What the user saw: texts of answered message boxes, captions of the
    // topmost dialogs in the order they came up, texts taken by Read.
    const std::vector<std::string>& MessageBoxTexts() const { return m_messageBoxTexts; }
    const std::vector<std::string>& Captions() const { return m_captions; }
    // The text the last Read of this control found; empty when none.
    std::string TextRead(int id) const;
    // How many dialogs the watch ended after a failure.
    int DialogsClosed() const { return m_closed; }

    // The thread's windows, one per line, indented by depth: class, id,
    // text, visible and enabled.
    static std::string WindowTree();
    // The topmost visible, enabled dialog of this thread, or null.
    static HWND TopmostDialog();

private:
    enum class Kind {
        Expect,
        Type,
        Click,
        Check,
        PickListRow,
        PickComboItem,
        ClickListRow,
        PickTab,
        AnswerMessageBox,
        Read,
        Close,
        Do
    };
    struct Step {
        Kind kind;
        int id = 0;
        std::string text;
        int number = 0;
        std::function<bool(HWND)> action;
        unsigned waitMs = 0; // how long it may stay impossible; 0: the step limit
        std::string Describe() const;
    };
    enum class Readiness { Ready, Wait };

    CScriptedUser& Add(Step step);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);
    // Sees each message the thread takes from its queue, to tell a dialog
    // at work.
    static LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam);
    // Whether the dialog has been at work since the waiting began; if so the
    // waiting begins again from then.
    bool WorkedSince(HWND dialog);
    void Tick();
    Readiness Prepare(const Step& step, HWND dialog, HWND& control, std::string& why) const;
    void Perform(const Step& step, HWND dialog, HWND control);
    void Fail(const std::string& what);
    void EndAllDialogs();
    void NoteCaption(HWND dialog);
    std::string Narrate(const Step& step, HWND dialog, HWND control) const;

    Limits m_limits;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    UINT_PTR m_timer = 0;
    HHOOK m_hook = nullptr;
    ULONGLONG m_lastTickAt = 0; // the wall clock at the last tick
    ULONGLONG m_clock = 0;      // the thread's own clock (see Tick), in ms
    ULONGLONG m_workedAt = 0;   // when a window of the thread last got its own message
    HWND m_workedOn = nullptr;  // and which
    unsigned m_works = 0;       // how many such messages came
    unsigned m_worksSeen = 0;   // of which the waiting has taken account
    ULONGLONG m_startedAt = 0;
    ULONGLONG m_waitingSince = 0; // the current step (or the idle dialog) since, on m_clock
    HWND m_waitingOn = nullptr;   // the dialog the idle watch is timing
    std::string m_lastWhy;
    bool m_failed = false;
    std::string m_failure;
    int m_closed = 0;
    std::vector<HWND> m_ended;  // dialogs already ended by the watch
    HWND m_lastOnTop = nullptr; // for the list of captions
    std::vector<std::string> m_messageBoxTexts;
    std::vector<std::string> m_captions;
    std::vector<std::pair<int, std::string>> m_reads;
    Narrator m_narrator;
};
