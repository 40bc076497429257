#include "standins/scripteduser/ScriptedUser.h"

#include <algorithm>
#include <sstream>

#include <commctrl.h>

namespace {

thread_local CScriptedUser* t_user = nullptr;

// The message box keeps its text in a static with this id (Windows and Wine alike).
constexpr int kMessageBoxTextId = 0xFFFF;

std::string ClassOf(HWND hwnd)
{
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::string TextOf(HWND hwnd)
{
    int length = GetWindowTextLengthA(hwnd);
    std::string text(length > 0 ? length + 1 : 1, '\0');
    int copied = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? copied : 0);
    return text;
}

bool IsDialogWindow(HWND hwnd)
{
    return ClassOf(hwnd) == "#32770";
}

bool Usable(HWND hwnd)
{
    return hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM into)
{
    reinterpret_cast<std::vector<HWND>*>(into)->push_back(hwnd);
    return TRUE;
}

// Top-level windows of this thread, topmost first.
std::vector<HWND> ThreadWindows()
{
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool IsMessageBox(HWND dialog)
{
    HWND text = GetDlgItem(dialog, kMessageBoxTextId);
    return text && ClassOf(text) == "Static";
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND hwnd, LPARAM data)
{
    auto* search = reinterpret_cast<ControlSearch*>(data);
    if (GetDlgCtrlID(hwnd) != search->id)
        return TRUE;
    if (!search->found || IsWindowVisible(hwnd))
        search->found = hwnd;
    return !IsWindowVisible(hwnd);
}

// The control a person would use: the dialog's own child with that id, or one
// inside a child dialog (a property page), preferring one that is on screen.
HWND FindControl(HWND dialog, int id)
{
    HWND direct = GetDlgItem(dialog, id);
    if (Usable(direct))
        return direct;
    ControlSearch search{id, nullptr};
    EnumChildWindows(dialog, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.found ? search.found : direct;
}

// Notifications go to the control's parent: the dialog, or the page it sits on.
void Notify(HWND control, WORD code)
{
    SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                 reinterpret_cast<LPARAM>(control));
}

// A property sheet (and so a wizard) keeps its pages behind a tab control,
// hidden in a wizard; it ends by its own Cancel, not by EndDialog.
bool IsPropertySheet(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "SysTabControl32")
            return true;
    return false;
}

HWND TabControlOf(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "SysTabControl32")
            return child;
    return nullptr;
}

// The index of the tab with that text (mnemonics aside), or -1.
int FindTab(HWND tabs, const std::string& text);

// Where on a list view's row a click lands: inside its check box (the
// state image, found by asking the list what lies under each point of the
// row) or in the middle of its text. False when the row has no such part.
bool ListRowPoint(HWND list, int row, bool onCheckBox, POINT& point)
{
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)))
        return false;
    const int middle = (bounds.top + bounds.bottom) / 2;
    if (!onCheckBox) {
        RECT label{};
        label.left = LVIR_LABEL;
        if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label)))
            return false;
        point = {(label.left + label.right) / 2, middle};
        return true;
    }
    for (int x = bounds.left; x < bounds.right; ++x) {
        LVHITTESTINFO hit{};
        hit.pt = {x, middle};
        if (SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == row &&
            (hit.flags & LVHT_ONITEMSTATEICON)) {
            point = {x + 3, middle};
            return true;
        }
    }
    return false;
}

// A control's text as a person reads it: without the mnemonic's ampersand.
std::string Readable(const std::string& text)
{
    std::string readable;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        readable += text[i];
    }
    return readable;
}

// What a person calls a control: a button by its text, an edit or a list
// by the label in front of it (the static just before it in the dialog's
// order), else by its id.
std::string NameOf(HWND control, int id)
{
    const std::string kind = ClassOf(control);
    if (kind == "Button" && !TextOf(control).empty())
        return Readable(TextOf(control));
    for (HWND before = GetWindow(control, GW_HWNDPREV); before;
         before = GetWindow(before, GW_HWNDPREV)) {
        if (ClassOf(before) != "Static")
            break;
        if (!TextOf(before).empty())
            return Readable(TextOf(before));
    }
    return "control " + std::to_string(id);
}

int FindTab(HWND tabs, const std::string& text)
{
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        char buffer[256] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        if (SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item)) &&
            Readable(buffer) == text)
            return index;
    }
    return -1;
}

void DumpTree(std::ostringstream& out, HWND hwnd, int depth)
{
    out << std::string(2 * depth + 2, ' ') << ClassOf(hwnd) << " id=" << GetDlgCtrlID(hwnd) << " \""
        << TextOf(hwnd) << "\"" << (IsWindowVisible(hwnd) ? " visible" : " hidden")
        << (IsWindowEnabled(hwnd) ? " enabled" : " disabled") << "\n";
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        DumpTree(out, child, depth + 1);
}

} // namespace

CScriptedUser::~CScriptedUser()
{
    Stop();
}

std::string CScriptedUser::Step::Describe() const
{
    std::ostringstream out;
    switch (kind) {
    case Kind::Expect:
        out << "expect dialog \"" << text << "\"";
        break;
    case Kind::Type:
        out << "type \"" << text << "\" into " << id;
        break;
    case Kind::Click:
        out << "click " << id;
        break;
    case Kind::Check:
        out << (number ? "check " : "uncheck ") << id;
        break;
    case Kind::PickListRow:
        out << "pick row " << number << " of list " << id;
        break;
    case Kind::PickComboItem:
        out << "pick \"" << text << "\" in combo box " << id;
        break;
    case Kind::ClickListRow:
        out << "click row " << number << " of list " << id
            << (text.empty() ? " on its text" : " on its check box");
        break;
    case Kind::PickTab:
        out << "pick the tab \"" << text << "\"";
        break;
    case Kind::AnswerMessageBox:
        out << "answer a message box with button " << id;
        break;
    case Kind::Read:
        out << "read the text of " << id;
        break;
    case Kind::Close:
        out << "close the dialog";
        break;
    case Kind::Do:
        out << text;
        break;
    }
    return out.str();
}

CScriptedUser& CScriptedUser::Add(Step step)
{
    m_steps.push_back(std::move(step));
    return *this;
}

CScriptedUser& CScriptedUser::Expect(const std::string& caption)
{
    return Add({Kind::Expect, 0, caption, 0, {}});
}

CScriptedUser& CScriptedUser::Type(int id, const std::string& text)
{
    return Add({Kind::Type, id, text, 0, {}});
}

CScriptedUser& CScriptedUser::Click(int id)
{
    return Add({Kind::Click, id, {}, 0, {}});
}

CScriptedUser& CScriptedUser::Check(int id, bool checked)
{
    return Add({Kind::Check, id, {}, checked ? 1 : 0, {}});
}

CScriptedUser& CScriptedUser::PickListRow(int id, int row)
{
    return Add({Kind::PickListRow, id, {}, row, {}});
}

CScriptedUser& CScriptedUser::PickComboItem(int id, const std::string& text)
{
    return Add({Kind::PickComboItem, id, text, 0, {}});
}

CScriptedUser& CScriptedUser::ClickListRow(int id, int row, bool onCheckBox)
{
    return Add({Kind::ClickListRow, id, onCheckBox ? "box" : "", row, {}});
}

CScriptedUser& CScriptedUser::PickTab(const std::string& text)
{
    return Add({Kind::PickTab, 0, text, 0, {}});
}

CScriptedUser& CScriptedUser::AnswerMessageBox(int buttonId)
{
    return Add({Kind::AnswerMessageBox, buttonId, {}, 0, {}});
}

CScriptedUser& CScriptedUser::Read(int id)
{
    return Add({Kind::Read, id, {}, 0, {}});
}

CScriptedUser& CScriptedUser::Close()
{
    return Add({Kind::Close, 0, {}, 0, {}});
}

CScriptedUser& CScriptedUser::Do(const std::string& what, std::function<bool(HWND)> action)
{
    return Add({Kind::Do, 0, what, 0, std::move(action)});
}

CScriptedUser& CScriptedUser::Await(const std::string& what, std::function<bool(HWND)> ready,
                                    unsigned waitMs)
{
    return Add({Kind::Do, 0, what, 0, std::move(ready), waitMs});
}

void CScriptedUser::Start()
{
    Stop();
    t_user = this;
    m_startedAt = GetTickCount64();
    m_lastTickAt = m_startedAt;
    m_clock = 0;
    m_waitingOn = nullptr;
    m_workedAt = 0;
    m_workedOn = nullptr;
    m_works = 0;
    m_worksSeen = 0;
    m_timer = SetTimer(nullptr, 0, m_limits.tickMs, TimerProc);
    if (!m_timer)
        Fail("SetTimer failed");
    m_hook = SetWindowsHookExA(WH_GETMESSAGE, MessageHook, nullptr, GetCurrentThreadId());
}

void CScriptedUser::Stop()
{
    if (m_timer)
        KillTimer(nullptr, m_timer);
    m_timer = 0;
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    m_hook = nullptr;
    if (t_user == this)
        t_user = nullptr;
}

void CALLBACK CScriptedUser::TimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    CScriptedUser* user = t_user;
    if (!user)
        return;
    try {
        user->Tick();
    } catch (...) {
        user->Fail("a step threw an exception");
    }
}

LRESULT CALLBACK CScriptedUser::MessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    CScriptedUser* user = t_user;
    if (code == HC_ACTION && user && wParam == PM_REMOVE) {
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        // A window's own messages: its timers and what it posts itself (the
        // user's own timer has no window). Input and painting say nothing
        // of work.
        if (message->hwnd && (message->message == WM_TIMER ||
                              (message->message >= WM_USER && message->message < 0xC000))) {
            user->m_workedAt = user->m_clock;
            user->m_workedOn = message->hwnd;
            ++user->m_works;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CScriptedUser::WorkedSince(HWND dialog)
{
    if (!m_workedOn || m_works == m_worksSeen)
        return false;
    if (m_workedOn != dialog && !IsChild(dialog, m_workedOn))
        return false;
    m_worksSeen = m_works;
    m_waitingSince = m_workedAt;
    return true;
}

HWND CScriptedUser::TopmostDialog()
{
    for (HWND hwnd : ThreadWindows()) {
        if (IsDialogWindow(hwnd) && Usable(hwnd))
            return hwnd;
    }
    return nullptr;
}

std::string CScriptedUser::WindowTree()
{
    std::ostringstream out;
    for (HWND hwnd : ThreadWindows())
        DumpTree(out, hwnd, 0);
    return out.str();
}

void CScriptedUser::NoteCaption(HWND dialog)
{
    // A dialog counts as seen each time it comes to the top, so the list
    // reads like what the person saw: form, message box, form again.
    if (dialog == m_lastOnTop)
        return;
    m_lastOnTop = dialog;
    if (!dialog)
        return;
    m_captions.push_back(TextOf(dialog));
}

void CScriptedUser::Tick()
{
    const ULONGLONG now = GetTickCount64();
    // The waits are timed on the thread's own clock: a tick counts for the
    // time since the last one, but for no more than a few ticks' worth. A
    // thread the machine's load (or the code under test) held does not see
    // its dialog waiting meanwhile, so a busy machine never fails a dialog
    // that would have been ready in the time it was given.
    m_clock += std::min<ULONGLONG>(now - m_lastTickAt, 5ull * m_limits.tickMs);
    m_lastTickAt = now;
    HWND dialog = TopmostDialog();
    NoteCaption(dialog);
    if (m_failed) {
        EndAllDialogs();
        return;
    }
    bool scriptLeft = m_next < m_steps.size();
    if (scriptLeft && now - m_startedAt > m_limits.deadlineMs) {
        Fail("the script was not done within " + std::to_string(m_limits.deadlineMs) +
             " ms; step " + std::to_string(m_next + 1) + " (" + m_steps[m_next].Describe() +
             ") was next");
        return;
    }
    // Waiting is timed only while one dialog stays on top: a new dialog is
    // progress, and with none up the code under test is busy elsewhere.
    if (!dialog) {
        m_waitingOn = nullptr;
        return;
    }
    if (!scriptLeft && now - m_startedAt > m_limits.deadlineMs) {
        Fail("dialog \"" + TextOf(dialog) + "\" was still up " +
             std::to_string(m_limits.deadlineMs) + " ms after the start, the script done");
        return;
    }
    if (dialog != m_waitingOn) {
        m_waitingOn = dialog;
        m_waitingSince = m_clock;
        m_worksSeen = m_works;
    }
    // A dialog at work is not waiting for nothing: its time is not counted.
    WorkedSince(dialog);
    ULONGLONG waited = m_clock - m_waitingSince;
    if (!scriptLeft) {
        if (waited > m_limits.idleMs)
            Fail("dialog \"" + TextOf(dialog) +
                 "\" waits for nothing: the script is done and it "
                 "stayed up, idle, " +
                 std::to_string(waited) + " ms");
        return;
    }
    Step step = m_steps[m_next];
    HWND control = nullptr;
    std::string why;
    if (Prepare(step, dialog, control, why) == Readiness::Wait) {
        m_lastWhy = why;
        if (waited > (step.waitMs ? step.waitMs : m_limits.stepMs))
            Fail("step " + std::to_string(m_next + 1) + " (" + step.Describe() +
                 ") stayed impossible for " + std::to_string(waited) +
                 " ms with the dialog idle: " + why);
        return;
    }
    // Counted as done before it is done: a click may open a modal dialog whose
    // loop runs the next ticks before this call returns.
    ++m_next;
    m_waitingSince = m_clock;
    m_worksSeen = m_works;
    m_lastWhy.clear();
    if (m_narrator) {
        const std::string what = Narrate(step, dialog, control);
        if (!what.empty())
            m_narrator(dialog, what);
    }
    Perform(step, dialog, control);
}

CScriptedUser::Readiness CScriptedUser::Prepare(const Step& step, HWND dialog, HWND& control,
                                                std::string& why) const
{
    std::string caption = TextOf(dialog);
    switch (step.kind) {
    case Kind::Expect:
        why = "the dialog on top is \"" + caption + "\"";
        return caption == step.text ? Readiness::Ready : Readiness::Wait;
    case Kind::Close:
        return Readiness::Ready;
    case Kind::PickTab: {
        HWND tabs = TabControlOf(dialog);
        if (!tabs || FindTab(tabs, step.text) < 0) {
            why = "\"" + caption + "\" has no tab \"" + step.text + "\"";
            return Readiness::Wait;
        }
        control = tabs;
        return Readiness::Ready;
    }
    case Kind::Do:
        why = "not yet";
        return step.action(dialog) ? Readiness::Ready : Readiness::Wait;
    case Kind::AnswerMessageBox:
        if (!IsMessageBox(dialog)) {
            why = "the dialog on top, \"" + caption + "\", is not a message box";
            return Readiness::Wait;
        }
        break;
    default:
        break;
    }
    control = FindControl(dialog, step.id);
    if (!control) {
        why = "\"" + caption + "\" has no control " + std::to_string(step.id);
        return Readiness::Wait;
    }
    if (!Usable(control)) {
        why = "control " + std::to_string(step.id) + " of \"" + caption + "\" is " +
              (IsWindowVisible(control) ? "disabled" : "hidden");
        return Readiness::Wait;
    }
    std::string kind = ClassOf(control);
    if (step.kind == Kind::Type && kind == "Edit" &&
        (GetWindowLongA(control, GWL_STYLE) & ES_READONLY)) {
        why = "edit " + std::to_string(step.id) + " of \"" + caption + "\" is read-only";
        return Readiness::Wait;
    }
    if (step.kind == Kind::PickListRow) {
        LRESULT rows = kind == "ListBox" ? SendMessageA(control, LB_GETCOUNT, 0, 0)
                                         : SendMessageA(control, LVM_GETITEMCOUNT, 0, 0);
        if (step.number >= rows) {
            why = "list " + std::to_string(step.id) + " has " + std::to_string(rows) + " rows";
            return Readiness::Wait;
        }
    }
    if (step.kind == Kind::ClickListRow) {
        POINT point{};
        if (!ListRowPoint(control, step.number, !step.text.empty(), point)) {
            why = "list " + std::to_string(step.id) + " has no row " + std::to_string(step.number) +
                  (step.text.empty() ? " with a text" : " with a check box");
            return Readiness::Wait;
        }
    }
    if (step.kind == Kind::PickComboItem &&
        SendMessageA(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(step.text.c_str())) < 0) {
        why = "combo box " + std::to_string(step.id) + " has no item \"" + step.text + "\"";
        return Readiness::Wait;
    }
    return Readiness::Ready;
}

std::string CScriptedUser::Narrate(const Step& step, HWND dialog, HWND control) const
{
    const std::string name = control ? NameOf(control, step.id) : std::string();
    switch (step.kind) {
    case Kind::Expect:
        return "sees \"" + TextOf(dialog) + "\"";
    case Kind::Type: {
        // A password is typed, not shown.
        const bool hidden =
            ClassOf(control) == "Edit" && (GetWindowLongA(control, GWL_STYLE) & ES_PASSWORD) != 0;
        return "types \"" + (hidden ? std::string(step.text.size(), '*') : step.text) + "\" into " +
               name;
    }
    case Kind::Click:
        return "clicks " + name;
    case Kind::Check:
        return (step.number ? "ticks " : "unticks ") + name;
    case Kind::PickListRow:
        return "picks row " + std::to_string(step.number + 1) + " of " + name;
    case Kind::PickComboItem:
        return "picks \"" + step.text + "\" in " + name;
    case Kind::ClickListRow:
        return std::string("clicks ") + (step.text.empty() ? "the text" : "the check box") +
               " of row " + std::to_string(step.number + 1) + " of " + name;
    case Kind::PickTab:
        return "picks the tab \"" + step.text + "\"";
    case Kind::AnswerMessageBox:
        return "reads the message \"" + TextOf(GetDlgItem(dialog, kMessageBoxTextId)) +
               "\" and clicks " + name;
    case Kind::Read:
        return "reads \"" + TextOf(control) + "\"";
    case Kind::Close:
        return "closes \"" + TextOf(dialog) + "\"";
    case Kind::Do:
        return step.text;
    }
    return step.Describe();
}

void CScriptedUser::Perform(const Step& step, HWND dialog, HWND control)
{
    switch (step.kind) {
    case Kind::Expect:
    case Kind::Do:
        return;
    case Kind::Close:
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case Kind::Read:
        m_reads.emplace_back(step.id, TextOf(control));
        return;
    case Kind::Click:
        SendMessageA(control, BM_CLICK, 0, 0);
        return;
    case Kind::AnswerMessageBox:
        m_messageBoxTexts.push_back(TextOf(GetDlgItem(dialog, kMessageBoxTextId)));
        SendMessageA(control, BM_CLICK, 0, 0);
        return;
    case Kind::Type:
        if (ClassOf(control) == "ComboBox") {
            SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text.c_str()));
            Notify(control, CBN_EDITUPDATE);
            Notify(control, CBN_EDITCHANGE);
            return;
        }
        // Focus first (the dialog manager selects an edit's text as it gets
        // focus), then the edit replaces the selection as if it were typed.
        SendMessageA(GetParent(control), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        SendMessageA(control, EM_SETSEL, 0, -1);
        SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(step.text.c_str()));
        return;
    case Kind::Check: {
        WPARAM wanted = step.number ? BST_CHECKED : BST_UNCHECKED;
        // A three-state box may need two clicks.
        for (int click = 0; click < 3 && IsWindow(control) &&
                            static_cast<WPARAM>(SendMessageA(control, BM_GETCHECK, 0, 0)) != wanted;
             ++click)
            SendMessageA(control, BM_CLICK, 0, 0);
        if (IsWindow(control) &&
            static_cast<WPARAM>(SendMessageA(control, BM_GETCHECK, 0, 0)) != wanted)
            Fail("check box " + std::to_string(step.id) + " does not take the state asked for");
        return;
    }
    case Kind::PickListRow:
        if (ClassOf(control) == "ListBox") {
            LONG style = GetWindowLongA(control, GWL_STYLE);
            if (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
                SendMessageA(control, LB_SETSEL, FALSE, -1);
                SendMessageA(control, LB_SETSEL, TRUE, step.number);
                SendMessageA(control, LB_SETCARETINDEX, step.number, FALSE);
            } else {
                SendMessageA(control, LB_SETCURSEL, step.number, 0);
            }
            Notify(control, LBN_SELCHANGE);
        } else {
            // The list view reports the state change itself (LVN_ITEMCHANGED).
            LVITEMA item{};
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(control, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(&item));
            item.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(control, LVM_SETITEMSTATE, step.number, reinterpret_cast<LPARAM>(&item));
            SendMessageA(control, LVM_ENSUREVISIBLE, step.number, FALSE);
            NMITEMACTIVATE click{};
            click.hdr.hwndFrom = control;
            click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
            click.hdr.code = NM_CLICK;
            click.iItem = step.number;
            SendMessageA(GetParent(control), WM_NOTIFY, click.hdr.idFrom,
                         reinterpret_cast<LPARAM>(&click));
        }
        return;
    case Kind::ClickListRow: {
        POINT point{};
        if (!ListRowPoint(control, step.number, !step.text.empty(), point))
            return;
        const LPARAM at = MAKELPARAM(point.x, point.y);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(control, WM_LBUTTONUP, 0, at);
        return;
    }
    case Kind::PickTab: {
        const int index = FindTab(control, step.text);
        if (IsPropertySheet(dialog)) {
            SendMessageA(dialog, PSM_SETCURSEL, index, 0);
            return;
        }
        NMHDR header{control, static_cast<UINT_PTR>(GetDlgCtrlID(control)),
                     static_cast<UINT>(TCN_SELCHANGING)};
        SendMessageA(GetParent(control), WM_NOTIFY, header.idFrom,
                     reinterpret_cast<LPARAM>(&header));
        SendMessageA(control, TCM_SETCURSEL, index, 0);
        header.code = static_cast<UINT>(TCN_SELCHANGE);
        SendMessageA(GetParent(control), WM_NOTIFY, header.idFrom,
                     reinterpret_cast<LPARAM>(&header));
        return;
    }
    case Kind::PickComboItem: {
        LRESULT index = SendMessageA(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(step.text.c_str()));
        SendMessageA(control, CB_SETCURSEL, index, 0);
        Notify(control, CBN_SELCHANGE);
        Notify(control, CBN_SELENDOK);
        return;
    }
    }
}

void CScriptedUser::Fail(const std::string& what)
{
    if (m_failed)
        return;
    m_failed = true;
    m_failure = what + "\nWindows of the thread:\n" + WindowTree();
    EndAllDialogs();
}

void CScriptedUser::EndAllDialogs()
{
    for (HWND hwnd : ThreadWindows()) {
        if (!IsDialogWindow(hwnd) || !IsWindowVisible(hwnd))
            continue;
        if (IsPropertySheet(hwnd))
            PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        else
            EndDialog(hwnd, IDCANCEL);
        if (std::find(m_ended.begin(), m_ended.end(), hwnd) == m_ended.end()) {
            m_ended.push_back(hwnd);
            ++m_closed;
        }
    }
}

std::string CScriptedUser::TextRead(int id) const
{
    for (auto it = m_reads.rbegin(); it != m_reads.rend(); ++it) {
        if (it->first == id)
            return it->second;
    }
    return {};
}

std::string CScriptedUser::Report() const
{
    std::ostringstream out;
    if (m_failed)
        out << m_failure;
    else if (m_next < m_steps.size())
        out << "stopped at step " << m_next + 1 << " of " << m_steps.size() << " ("
            << m_steps[m_next].Describe() << ")" << (m_lastWhy.empty() ? "" : ": ") << m_lastWhy
            << "\n";
    else
        out << "all " << m_steps.size() << " steps done\n";
    out << "Dialogs seen:";
    for (const std::string& caption : m_captions)
        out << " \"" << caption << "\"";
    out << "\n";
    return out.str();
}
