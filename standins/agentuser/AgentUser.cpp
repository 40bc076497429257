#include "standins/agentuser/AgentUser.h"

#include <commctrl.h>

#include "classlib/win32/Handles.h"
#include "standins/outlook/host/Snapshot.h"

namespace {

// The agent's controls (agent/AgentResource.h).
constexpr int kSteps = 1000;
constexpr int kStatus = 1002;
constexpr int kTextCapacity = 512;

std::string TextOf(HWND window)
{
    char text[1024] = {};
    // WM_GETTEXT is carried across processes; the caption of a control of
    // another process is read from the control itself.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

struct FindContext {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindAgent(HWND window, LPARAM context)
{
    auto& find = *reinterpret_cast<FindContext*>(context);
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (strcmp(name, "#32770") == 0 && (!find.process || find.process == process) &&
        GetDlgItem(window, kSteps) && TextOf(window) == CAgentUser::kCaption) {
        find.found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool CAgentUser::WaitForDialog(DWORD timeoutMs, DWORD process)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        FindContext find{process, nullptr};
        EnumWindows(FindAgent, reinterpret_cast<LPARAM>(&find));
        if (find.found && IsWindowVisible(find.found)) {
            m_dialog = find.found;
            GetWindowThreadProcessId(m_dialog, &m_process);
            return true;
        }
        Sleep(50);
    } while (GetTickCount64() < end);
    return false;
}

AgentView CAgentUser::Look() const
{
    AgentView view;
    if (DialogGone())
        return view;
    view.status = TextOf(GetDlgItem(m_dialog, kStatus));
    view.button = TextOf(GetDlgItem(m_dialog, IDCANCEL));
    // A list view answers with the item it writes into the memory the
    // pointer names: that memory must lie in the agent's process.
    HWND list = GetDlgItem(m_dialog, kSteps);
    CKernelHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, m_process));
    if (!process)
        return view;
    const SIZE_T size = sizeof(LVITEMA) + kTextCapacity;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    if (!remote)
        return view;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = kTextCapacity;
        char text[kTextCapacity] = {};
        if (!WriteProcessMemory(process.Get(), remote, &item, sizeof item, nullptr) ||
            !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote)) ||
            !ReadProcessMemory(process.Get(), remote, &item, sizeof item, nullptr) ||
            !ReadProcessMemory(process.Get(), remote + sizeof(LVITEMA), text, sizeof text - 1,
                               nullptr))
            break;
        view.rows.push_back({text, item.iImage});
    }
    VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return view;
}

bool CAgentUser::WaitForButton(const std::vector<std::string>& captions, DWORD timeoutMs,
                               const std::function<void(const AgentView&)>& watch)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        if (DialogGone())
            return false;
        const AgentView view = Look();
        if (watch)
            watch(view);
        if (std::find(captions.begin(), captions.end(), view.button) != captions.end())
            return true;
        Sleep(50);
    } while (GetTickCount64() < end);
    return false;
}

bool CAgentUser::WaitUntil(const std::function<bool(const AgentView&)>& seen, DWORD timeoutMs) const
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        if (DialogGone())
            return false;
        if (seen(Look()))
            return true;
        Sleep(50);
    } while (GetTickCount64() < end);
    return false;
}

void CAgentUser::PressButton() const
{
    if (!DialogGone())
        PostMessageA(GetDlgItem(m_dialog, IDCANCEL), BM_CLICK, 0, 0);
}

std::string CAgentUser::AnswerQuestion(int answer, DWORD timeoutMs) const
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        // A message box of the agent's thread, owned by its dialog.
        for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window;
             window = GetWindow(window, GW_HWNDNEXT)) {
            if (window == m_dialog || GetWindow(window, GW_OWNER) != m_dialog ||
                !GetDlgItem(window, answer))
                continue;
            std::string text;
            for (HWND child = GetWindow(window, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                char name[32] = {};
                GetClassNameA(child, name, sizeof name);
                if (strcmp(name, "Static") == 0 && GetWindowTextLengthA(child) > 0)
                    text = TextOf(child);
            }
            PostMessageA(GetDlgItem(window, answer), BM_CLICK, 0, 0);
            return text;
        }
        Sleep(50);
    } while (GetTickCount64() < end);
    return {};
}

bool CAgentUser::WaitUntilGone(DWORD timeoutMs) const
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!DialogGone()) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
    return true;
}

bool CAgentUser::WaitUntilEnded(DWORD timeoutMs) const
{
    if (!m_process)
        return false;
    CKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, m_process));
    // A process that cannot be opened any more has gone already.
    return !process || WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool CAgentUser::BalloonOver() const
{
    RECT dialog{};
    if (DialogGone() || !GetWindowRect(m_dialog, &dialog))
        return false;
    for (HWND window = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); window;
         window = FindWindowExA(nullptr, window, "tooltips_class32", nullptr)) {
        RECT balloon{};
        RECT overlap{};
        if (IsWindowVisible(window) && GetWindowRect(window, &balloon) &&
            IntersectRect(&overlap, &balloon, &dialog))
            return true;
    }
    return false;
}

bool CAgentUser::TakePicture(const std::wstring& path, std::string& error) const
{
    RECT frame{};
    if (DialogGone() || !GetWindowRect(m_dialog, &frame)) {
        error = "no dialog to take";
        return false;
    }
    // The agent paints in its own process; the screen shows what it painted.
    RedrawWindow(m_dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    HDC screen = GetDC(nullptr);
    std::wstring failure;
    const bool saved = host::SaveAreaPicture(screen, frame, path, failure);
    ReleaseDC(nullptr, screen);
    if (!saved) {
        const int size =
            WideCharToMultiByte(CP_ACP, 0, failure.c_str(), -1, nullptr, 0, nullptr, nullptr);
        error.assign(size > 1 ? size - 1 : 0, '\0');
        if (size > 1)
            WideCharToMultiByte(CP_ACP, 0, failure.c_str(), -1, error.data(), size, nullptr,
                                nullptr);
        return false;
    }
    return true;
}
