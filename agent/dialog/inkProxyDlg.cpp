#include "agent/dialog/inkProxyDlg.h"
#include "classlib/ui/ScreenDpi.h"

#include <cstring>
#include <utility>

#include <commctrl.h>

#include "agent/AgentResource.h"
#include "classlib/win32/Gdi.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/OpQuillet.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/ui/DlgError.h"
#include "shared/ui/ProtocolUI.h"

namespace {

constexpr int kImageSize = 16;
constexpr int kImageCount = 7;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
// The column's first width, before it takes the list's width.
constexpr int kFirstColumnWidth = 75;
constexpr int kColumnMargin = 4;

CString Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

// Ends a dialog of the agent's thread that the agent's window owns,
// directly or through another one (its question, the about box, an error,
// the login): the agent is ending and waits for no answer.
BOOL CALLBACK EndOwnedDialog(HWND window, LPARAM agent)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") != 0)
        return TRUE;
    for (HWND owner = GetWindow(window, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER)) {
        if (owner == reinterpret_cast<HWND>(agent)) {
            ::EndDialog(window, IDCANCEL);
            break;
        }
    }
    return TRUE;
}

// The about box: its template says everything.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}
};

using SetBkColorFunction = COLORREF(WINAPI*)(HIMAGELIST, COLORREF);

// Looked up at run time: the common controls of some systems lack it.
void SetImageListBackground(HIMAGELIST list, COLORREF colour)
{
    HMODULE controls = GetModuleHandleA("comctl32.dll");
    if (!controls)
        return;
    auto function = reinterpret_cast<SetBkColorFunction>(
        reinterpret_cast<void*>(GetProcAddress(controls, "ImageList_SetBkColor")));
    if (function)
        function(list, colour);
}

} // namespace

CinkProxyDlg::CinkProxyDlg() : CDialog(IDD_INKPROXY_DIALOG)
{
    m_icon = static_cast<HICON>(LoadImageA(GetResourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                           IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    m_tipText = Text(IDS_AGENT_TITLE);
    m_balloonText = Text(IDS_AGENT_BALLOON);
}

CinkProxyDlg::~CinkProxyDlg()
{
    // Whatever DoModal left (a dialog never run) goes too.
    DeleteBroadcastFiles();
}

INT_PTR CinkProxyDlg::DoModal()
{
    const INT_PTR result = CDialog::DoModal();
    m_tray.RemoveIcon();
    DeleteBroadcastFiles();
    return result;
}

void CinkProxyDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Control(dx, IDC_AGENT_STEPS, m_list);
    DDX_Control(dx, IDC_AGENT_PICTURE, m_picture);
    DDX_Control(dx, IDC_AGENT_PROGRESS, m_progress);
    DDX_Text(dx, IDC_AGENT_STATUS, m_statusText);
    DDX_Control(dx, IDCANCEL, m_button2);
}

BOOL CinkProxyDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    BindPump(*this, kStageMessage, IDC_AGENT_STATUS);
    CSystemTray::SetMainWindow(m_hWnd);
    const CString about = Text(IDS_ABOUTBOX);
    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE); menu && !about.IsEmpty()) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    m_picture.ShowWindow(SW_HIDE);

    // Without a tray or pictures the broadcast still runs: it only lacks
    // its icon or the rows' pictures.
    if (!InitTrayAndList())
        TheLog().Warning("CinkProxyDlg::OnInitDialog: no tray icon or step pictures");
    m_progress.SetRange32(0, 100);
    m_list.SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, "eSignature Transactions", LVCFMT_LEFT, kFirstColumnWidth);
    RECT frame{};
    m_list.GetWindowRect(&frame);
    // Room is kept for the vertical scroll bar that many targets bring, so
    // the one column never needs a horizontal one.
    m_list.SetColumnWidth(0, frame.right - frame.left - kColumnMargin -
                                 GetSystemMetrics(SM_CXVSCROLL));

    if (m_broadcast.m_broadcastPath.IsEmpty()) {
        CDlgError error(m_hWnd);
        error.m_details = Text(IDS_AGENT_NO_DIRECTIVES);
        error.DoModal();
        EndDialog(IDCANCEL);
        return TRUE;
    }
    // The start waits for nothing the screen does: a dialog started
    // minimised is never painted until the user opens it.
    m_started = true;
    PostMessage(kStartMessage);
    return TRUE;
}

bool CinkProxyDlg::InitTrayAndList()
{
    m_tray.SetTargetWnd(m_hWnd);
    const bool tray = m_tray.Create(m_tipText, m_icon, m_balloonText, m_tipText) != FALSE;
    // The step pictures grow with the screen's DPI, as the rows' text does.
    HIMAGELIST images =
        LoadImageStrip(GetResourceModule(), IDB_AGENT_STEP_STATES, kImageSize, kTransparent);
    if (images && ImageList_GetImageCount(images) < kImageCount) {
        ImageList_Destroy(images);
        images = nullptr;
    }
    if (images) {
        SetImageListBackground(images, GetSysColor(COLOR_WINDOW));
        // Without LVS_SHAREIMAGELISTS the list destroys it with itself.
        m_list.SetImageList(images, LVSIL_SMALL);
    }
    return tray && images;
}

BOOL CinkProxyDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message) {
    case kStartMessage:
        OnStartBroadcast();
        result = 0;
        return TRUE;
    case kStageMessage:
        OnRunStep(static_cast<int>(wParam));
        result = 0;
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about(m_hWnd);
            about.DoModal();
            result = 0;
            return TRUE;
        }
        if ((wParam & 0xFFF0) == SC_MINIMIZE || (wParam & 0xFFF0) == SC_CLOSE) {
            CSystemTray::HideToTray(m_hWnd);
            result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_icon);
        return TRUE;
    case WM_QUERYENDSESSION:
        // The broadcast never holds the session up: what it has not sent
        // is logged and its files go when the session ends.
        result = TRUE;
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
        result = 0;
        return TRUE;
    case WM_DESTROY:
        m_tray.RemoveIcon();
        StopRun();
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CinkProxyDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case ID_TRAY_OPEN:
        if (!IsWindowVisible())
            CSystemTray::RestoreFromTray(m_hWnd);
        return TRUE;
    case ID_TRAY_EXIT:
        // The user asked from the tray: no question, and an open one goes
        // unanswered.
        EndAgent();
        return TRUE;
    default:
        return CDialog::OnCommand(wParam, lParam);
    }
}

void CinkProxyDlg::OnOK()
{
    // Enter is the button, as Escape is.
    OnCancelButton();
}

void CinkProxyDlg::OnCancel()
{
    OnCancelButton();
}

void CinkProxyDlg::OnCancelButton()
{
    if (m_asking)
        return;
    if (m_button == Button::kDone) {
        EndDialog(IDOK);
        return;
    }
    m_asking = true;
    const int answer = ::MessageBoxA(m_hWnd, Text(IDS_AGENT_CANCEL_QUESTION), Text(IDS_AGENT_TITLE),
                                     MB_YESNO | MB_ICONQUESTION);
    m_asking = false;
    // "E&xit" or the session's end may have closed the question meanwhile.
    if (m_ending || answer != IDYES)
        return;
    EndAgent();
}

void CinkProxyDlg::EndAgent()
{
    if (m_ending)
        return;
    m_ending = true;
    StopRun();
    EndDialog(IDCANCEL);
    EnumThreadWindows(GetCurrentThreadId(), EndOwnedDialog, reinterpret_cast<LPARAM>(m_hWnd));
}

void CinkProxyDlg::OnEndSession()
{
    CLogBlock block("CinkProxyDlg::OnEndSession");
    const CString unsent = UnsentTargets();
    if (!unsent.IsEmpty()) {
        CString note;
        note.Format("CinkProxyDlg::OnEndSession: the Windows session ends; not sent to %s",
                    unsent.GetString());
        TheLog().Warning(note);
    }
    EndAgent();
    m_tray.RemoveIcon();
    // The rows show the steps, which go now.
    m_list.DeleteAllItems();
    // The service objects hold no file, and a login that was asking still
    // runs on them until its dialog has returned: they go with DoModal's
    // clean-up.
    auto webService = std::move(m_webService);
    auto protocol = std::move(m_protocol);
    DeleteBroadcastFiles();
    m_webService = std::move(webService);
    m_protocol = std::move(protocol);
}

CString CinkProxyDlg::UnsentTargets() const
{
    CString addresses;
    const CBroadcastTarget* named = nullptr;
    for (const CStepOp* row : m_steps) {
        const auto* step = static_cast<const CBroadcastStep*>(row);
        // A target's steps follow each other: it is named once.
        if (step->m_state == kDone || !step->m_target || step->m_target.get() == named)
            continue;
        named = step->m_target.get();
        if (!addresses.IsEmpty())
            addresses += ", ";
        addresses += named->m_email;
    }
    return addresses;
}

void CinkProxyDlg::OnPaint()
{
    if (IsIconic(m_hWnd)) {
        CPaintDC dc(m_hWnd);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
        RECT client{};
        GetClientRect(&client);
        const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc.Get(), x, y, m_icon);
        return;
    }
    CPaintDC dc(m_hWnd);
    CGdiObject<HBITMAP> picture(
        LoadBitmapForDpi(GetResourceModule(), IDB_AGENT_PICTURE, ScreenDpi()));
    if (!picture)
        return;
    RECT place{};
    m_picture.GetWindowRect(&place);
    ScreenToClient(&place);
    BITMAP size{};
    GetObjectA(picture.Get(), sizeof size, &size);
    HDC memory = CreateCompatibleDC(dc.Get());
    if (!memory)
        return;
    HGDIOBJ old = SelectObject(memory, picture.Get());
    TransparentBlt(dc.Get(), place.left, place.top, size.bmWidth, size.bmHeight, memory, 0, 0,
                   size.bmWidth, size.bmHeight, kTransparent);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void CinkProxyDlg::OnStartBroadcast()
{
    CLogBlock block("CinkProxyDlg::OnStartBroadcast");
    // The dialog shows before the login and the reading (when it can be
    // seen at all).
    UpdateWindow();
    CConfig config;
    if (!m_webService) {
        // A login that fails is not the end: the steps then fail at the
        // service, and the user is told why there.
        const HRESULT hr = [this, &config]() -> HRESULT {
            HRESULT result = config.GetServiceUrl(m_serviceUrl, nullptr);
            if (FAILED(result))
                return result;
            (void)config.GetCredentials(m_credentials);
            m_webService = std::make_unique<CWebService>();
            if (!ServiceGlobals().protocol) {
                m_protocol = std::make_unique<CProtocolUI>(nullptr);
                ServiceGlobals().protocol = m_protocol.get();
            }
            // The login dialog is the agent's: it stays with the agent's
            // window, whether that is minimised or hidden in the tray.
            ServiceGlobals().protocol->SetOwner(m_hWnd);
            result = m_webService->FireUpProtocol(m_serviceUrl);
            if (FAILED(result))
                return result;
            return ServiceGlobals().protocol->Login(m_credentials);
        }();
        if (hr != S_OK)
            TheLog().HResult("CinkProxyDlg::OnStartBroadcast: login", hr);
        // The agent was ended while the login asked.
        if (m_ending)
            return;
    }

    if (!LoadBroadcast())
        TheLog().Error("CinkProxyDlg::OnStartBroadcast: the broadcast could not be read whole");
    ListSteps(m_steps);
    if (!CurrentStep()) {
        // Nothing to send: the user is told, and the one button closes.
        EndRunEmpty();
        SetButton(Button::kClose);
        ShowStatus(Text(IDS_AGENT_NOT_COMPLETED));
        CDlgError error(m_hWnd);
        error.m_details = Text(IDS_AGENT_NO_DIRECTIVES);
        error.DoModal();
        return;
    }
    StartRun();
}

void CinkProxyDlg::DeleteBroadcastFiles()
{
    // The steps' operations delete their pieces with them (a piece file
    // several targets shared is gone after the first).
    ForgetSteps();
    m_steps.RemoveAll();
    m_broadcast.m_steps.RemoveAll();
    m_webService.reset();
    if (m_protocol) {
        if (ServiceGlobals().protocol == m_protocol.get())
            ServiceGlobals().protocol = nullptr;
        m_protocol.reset();
    }
    // Only the add-in's own files among those the broadcast names.
    m_broadcast.DeleteFiles();
}
