#include "standins/outlook/host/Script.h"

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include <windows.h>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/NoModalScope.h"
#include "standins/outlook/host/AddinHost.h"
#include "standins/outlook/host/CallFilter.h"
#include "standins/outlook/host/ComActivation.h"
#include "standins/outlook/host/Snapshot.h"
#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Attachments.h"
#include "standins/outlook/model/Explorer.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/ItemWindow.h"
#include "standins/outlook/model/Items.h"
#include "standins/outlook/model/NameSpace.h"
#include "standins/outlook/model/OptionsDialog.h"
#include "standins/outlook/model/PropertyPages.h"
#include "standins/outlook/model/Recipients.h"
#include "standins/outlook/model/Word.h"
#include "standins/outlook/office/CommandBarButton.h"
#include "standins/outlook/office/CommandBars.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace host {

namespace {

using standin::CApplication;
using standin::CItem;

// A line that cannot be played; its text is reported.
struct CScriptError {
    std::wstring text;
};

[[noreturn]] void Refuse(const std::wstring& text)
{
    throw CScriptError{text};
}

std::string Narrow(const std::wstring& text)
{
    return CBstr::ToNarrow(text.c_str(), static_cast<int>(text.size())).GetString();
}

std::wstring Hex(HRESULT hr)
{
    wchar_t text[16];
    wsprintfW(text, L"%08lX", static_cast<unsigned long>(hr));
    return text;
}

int Number(const std::wstring& word)
{
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(word, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != word.size())
        Refuse(L"not a number: " + word);
    return value;
}

bool OnOff(const std::wstring& word)
{
    if (word == L"on")
        return true;
    if (word == L"off")
        return false;
    Refuse(L"expected on or off: " + word);
}

struct DescendantSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchDescendant(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<DescendantSearch*>(data);
    if (GetDlgCtrlID(window) != search->id)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The control with that id on the dialog or on a page inside it (a
// property page, an options page's control).
HWND FindDescendant(HWND dialog, int id)
{
    if (HWND direct = GetDlgItem(dialog, id))
        return direct;
    DescendantSearch search{id, nullptr};
    EnumChildWindows(dialog, MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class CPlayer {
public:
    CPlayer(CApplication& application, CAddinHost& addins, CReport& report,
            std::wstring shotsFolder)
        : m_application(application), m_addins(addins), m_report(report),
          m_shotsFolder(std::move(shotsFolder))
    {}

    bool Play(const CScript::Line& line);

private:
    using Words = std::vector<std::wstring>;
    using Step = std::function<void(CScriptedUser&)>;

    void Expect(const Words& words, size_t count);
    const std::wstring& Word(const Words& words, size_t index) const;
    // Runs the action with the queued dialog steps played on what it shows,
    // then the messages it left posted.
    void Act(const std::function<void()>& action);
    void RunPostedMessages();

    CItem& ActiveItem() const;
    standin::CExplorer& Explorer() const;
    CItem* FindBySubject(const std::wstring& subject) const;
    standin::CInspector* FindInspector(const std::wstring& subject) const;
    standin::CCommandBarButton* FindButton(standin::CCommandBars& bars,
                                           const std::wstring& caption) const;
    void NewItem(long type, const Words& words);
    void AddRecipient(const std::wstring& name, long type);
    void Click(const std::wstring& caption, bool explorerOnly);
    void Ribbon(const std::wstring& controlId, const std::wstring& attribute);
    void Select(const Words& words);
    void Deliver(const Words& words);
    bool TakePicture(HWND dialog, const std::wstring& name);
    void Options();

    CApplication& m_application;
    CAddinHost& m_addins;
    CReport& m_report;
    std::vector<Step> m_pending;
    std::wstring m_shotsFolder;
};

void CPlayer::Expect(const Words& words, size_t count)
{
    if (words.size() < count)
        Refuse(words[0] + L" needs " + std::to_wstring(count - 1) + L" argument(s)");
}

const std::wstring& CPlayer::Word(const Words& words, size_t index) const
{
    static const std::wstring none;
    return index < words.size() ? words[index] : none;
}

void CPlayer::Act(const std::function<void()>& action)
{
    CScriptedUser::Limits limits;
    limits.idleMs = 3000;
    // A dialog at work (a sync of large signed copies, an upload) is waited
    // for as long as it works; one that waits for nothing still fails
    // within the step and idle limits.
    limits.deadlineMs = 10 * 60 * 1000;
    CScriptedUser user(limits);
    user.SetNarrator(
        [this](HWND, const std::string& what) { m_report.Line(L"user " + FromUtf8(what)); });
    for (const Step& step : m_pending)
        step(user);
    m_pending.clear();
    user.Start();
    action();
    // Outlook's message loop takes over once the user's action returned:
    // what an add-in posted for after its event runs now, with the queued
    // steps still played on the dialogs it brings up.
    RunPostedMessages();
    user.Stop();
    for (const std::string& caption : user.Captions())
        m_report.Line(L"dialog " + FromUtf8(caption));
    for (const std::string& text : user.MessageBoxTexts())
        m_report.Line(L"messagebox " + FromUtf8(text));
    if (!user.Finished())
        Refuse(L"the dialogs did not go as scripted: " + FromUtf8(user.Report()));
    std::wstring refused;
    for (const std::wstring& refusal : standin::CNoModalScope::TakeRefusals())
        refused += (refused.empty() ? L"" : L"; ") + refusal;
    if (!refused.empty())
        Refuse(L"Outlook refused " + refused);
}

void CPlayer::RunPostedMessages()
{
    // Work that posts itself again and again must not hold the script.
    const ULONGLONG until = GetTickCount64() + 10000;
    MSG message;
    while (GetTickCount64() < until && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

CItem& CPlayer::ActiveItem() const
{
    standin::CInspector* inspector = m_application.ActiveInspector();
    if (!inspector)
        Refuse(L"no item is open");
    return inspector->CurrentItem();
}

standin::CExplorer& CPlayer::Explorer() const
{
    standin::CExplorer* explorer = m_application.ActiveExplorer();
    if (!explorer)
        Refuse(L"no explorer is open");
    return *explorer;
}

CItem* CPlayer::FindBySubject(const std::wstring& subject) const
{
    for (const auto& folder : m_application.Mailbox().Folders()) {
        const standin::CItems& items = folder->Items();
        for (size_t i = 0; i < items.Count(); ++i)
            if (items.At(i)->Subject() == subject)
                return items.At(i);
    }
    return nullptr;
}

standin::CInspector* CPlayer::FindInspector(const std::wstring& subject) const
{
    for (const auto& inspector : m_application.Inspectors().Open())
        if (inspector->CurrentItem().Subject() == subject)
            return inspector.Get();
    return nullptr;
}

standin::CCommandBarButton* CPlayer::FindButton(standin::CCommandBars& bars,
                                                const std::wstring& caption) const
{
    for (size_t i = 0; i < bars.Count(); ++i) {
        standin::CCommandBar* bar = bars.At(i);
        if (bar->Controls())
            if (standin::CCommandBarButton* button = bar->Controls()->Find(caption))
                return button;
    }
    return nullptr;
}

void CPlayer::NewItem(long type, const Words& words)
{
    CComPtr<CItem> item = m_application.Mailbox().CreateItem(type);
    if (words.size() > 1)
        item->SetSubject(words[1]);
    Act([&] { m_application.OpenInspector(*item); });
}

void CPlayer::AddRecipient(const std::wstring& name, long type)
{
    CItem& item = ActiveItem();
    item.Recipients().Add(name, type);
}

void CPlayer::Click(const std::wstring& caption, bool explorerOnly)
{
    standin::CCommandBarButton* button = nullptr;
    standin::CInspector* inspector = explorerOnly ? nullptr : m_application.ActiveInspector();
    if (inspector)
        button = FindButton(inspector->CommandBars(), caption);
    if (!button)
        button = FindButton(Explorer().CommandBars(), caption);
    if (!button)
        Refuse(L"no button captioned " + caption);
    const bool own = inspector && FindButton(inspector->CommandBars(), caption) == button;
    CComPtr<standin::CCommandBarButton> held(button);
    Act([&] {
        standin::CInspector::CCommandScope scope(own ? inspector : nullptr);
        held->Click();
    });
    m_report.Line(L"clicked " + caption);
}

void CPlayer::Ribbon(const std::wstring& controlId, const std::wstring& attribute)
{
    IDispatch* context = m_application.ActiveInspector()
                             ? m_application.ActiveInspector()->Dispatch()
                             : Explorer().Dispatch();
    CVariant result;
    HRESULT hr = S_OK;
    Act([&] {
        standin::CInspector::CCommandScope scope(m_application.ActiveInspector());
        hr = m_addins.RibbonCallback(controlId, attribute, context, &result);
    });
    std::wstring line = L"ribbon " + attribute + L" " + controlId + L" " + Hex(hr);
    if (SUCCEEDED(hr) && result.vt == VT_DISPATCH && result.pdispVal) {
        CComPtr<IPictureDisp> picture;
        if (SUCCEEDED(result.pdispVal->QueryInterface(IID_IPictureDisp, picture.PutVoid()))) {
            CComPtr<IPicture> image;
            OLE_XSIZE_HIMETRIC width = 0;
            OLE_YSIZE_HIMETRIC height = 0;
            short type = PICTYPE_NONE;
            if (SUCCEEDED(picture->QueryInterface(IID_IPicture, image.PutVoid()))) {
                image->get_Width(&width);
                image->get_Height(&height);
                image->get_Type(&type);
            }
            // Pictures measure themselves in HIMETRIC: 2540 a logical inch.
            HDC screen = GetDC(nullptr);
            const int across = MulDiv(width, GetDeviceCaps(screen, LOGPIXELSX), 2540);
            const int down = MulDiv(height, GetDeviceCaps(screen, LOGPIXELSY), 2540);
            ReleaseDC(nullptr, screen);
            line += L" picture type " + std::to_wstring(type) + L" " + std::to_wstring(across) +
                    L"x" + std::to_wstring(down);
        }
    }
    m_report.Line(line);
}

void CPlayer::Select(const Words& words)
{
    standin::CExplorer& explorer = Explorer();
    std::vector<CItem*> chosen;
    standin::CItems& items = explorer.CurrentFolder().Items();
    if (Word(words, 1) == L"all") {
        for (size_t i = 0; i < items.Count(); ++i)
            chosen.push_back(items.At(i));
    } else if (Word(words, 1) != L"none") {
        for (size_t w = 1; w < words.size(); ++w) {
            CItem* found = nullptr;
            for (size_t i = 0; i < items.Count() && !found; ++i)
                if (items.At(i)->Subject() == words[w])
                    found = items.At(i);
            if (!found)
                Refuse(L"no item " + words[w] + L" in " + explorer.CurrentFolder().Name());
            chosen.push_back(found);
        }
    }
    Act([&] { explorer.Select(chosen); });
}

void CPlayer::Deliver(const Words& words)
{
    CComPtr<CItem> mail = m_application.Mailbox().CreateItem(standin::kItemTypeMail);
    mail->SetSubject(words[1]);
    for (size_t w = 2; w < words.size(); ++w)
        mail->Attachments().AddFile(words[w], 1, 0, L"");
    mail->SetBool(L"Sent", true);
    standin::CFolder* inbox = m_application.Mailbox().DefaultFolder(standin::kFolderInbox);
    Act([&] { inbox->Items().Add(mail.Get()); });
}

bool CPlayer::TakePicture(HWND dialog, const std::wstring& name)
{
    const std::wstring path = m_shotsFolder + L"\\" + name + L".png";
    std::wstring error;
    if (SaveWindowPicture(dialog, path, error))
        m_report.Line(L"picture " + path);
    else
        m_report.Error(L"picture " + path + L": " + error);
    return true;
}

// Tools | Options: the add-ins add their pages, then the dialog shows them
// for the queued steps to play on.
void CPlayer::Options()
{
    CComPtr<standin::CPropertyPages> pages;
    std::unique_ptr<standin::COptionsDialog> dialog;
    INT_PTR ended = 0;
    // One action: the steps queued for the dialog are played on it, not
    // spent on the event that comes before it.
    Act([&] {
        pages = m_application.ShowOptions();
        dialog = std::make_unique<standin::COptionsDialog>(*pages, m_application.Dispatch());
        ended = dialog->Run(nullptr);
    });
    for (const auto& page : pages->Pages())
        m_report.Line(L"options page " + (page.progId.empty() ? L"<object>" : page.progId) +
                      L" \"" + page.title + L"\"");
    for (const auto& record : dialog->Records()) {
        if (record.progId.empty())
            continue;
        std::wstring line = L"options page " + record.progId + L" created " + Hex(record.created);
        if (record.activated)
            line += L", shown, " + std::to_wstring(record.statusChanges) + L" status change(s)";
        for (HRESULT applied : record.applies)
            line += L", applied " + Hex(applied);
        if (record.siteReferencesLeft != 0)
            line += L", site held " + std::to_wstring(record.siteReferencesLeft) +
                    L" time(s) after close";
        m_report.Line(line);
    }
    m_report.Line(ended == IDOK ? L"options closed with OK" : L"options cancelled");
}

bool CPlayer::Play(const CScript::Line& line)
{
    const Words& w = line.words;
    const std::wstring& command = w[0];
    try {
        if (command == L"new-mail") {
            NewItem(standin::kItemTypeMail, w);
        } else if (command == L"new-task") {
            NewItem(standin::kItemTypeTask, w);
        } else if (command == L"open") {
            Expect(w, 2);
            CItem* item = FindBySubject(w[1]);
            if (!item)
                Refuse(L"no item " + w[1]);
            Act([&] { m_application.OpenInspector(*item); });
        } else if (command == L"activate") {
            Expect(w, 2);
            standin::CInspector* inspector = FindInspector(w[1]);
            if (!inspector)
                Refuse(L"no open item " + w[1]);
            Act([&] { m_application.Activate(*inspector); });
        } else if (command == L"word-mail") {
            Expect(w, 2);
            m_application.SetWordMail(OnOff(w[1]));
        } else if (command == L"word-window") {
            Expect(w, 3);
            standin::CWordApplication& word = m_application.Word();
            standin::CWordWindow& window = word.Window(w[1]);
            window.SetEnvelopeVisible(OnOff(w[2]));
            Act([&] { word.ActivateWindow(window); });
        } else if (command == L"word-bar") {
            Expect(w, 2);
            if (!m_application.Word().CommandBars().Find(w[1]))
                m_application.Word().CommandBars().AddBar(w[1]);
        } else if (command == L"subject") {
            Expect(w, 2);
            ActiveItem().SetSubject(w[1]);
        } else if (command == L"body") {
            Expect(w, 2);
            ActiveItem().SetBody(w[1]);
        } else if (command == L"to" || command == L"cc" || command == L"bcc") {
            Expect(w, 2);
            AddRecipient(w[1], command == L"to"   ? standin::kRecipientTo
                               : command == L"cc" ? standin::kRecipientCc
                                                  : standin::kRecipientBcc);
        } else if (command == L"attach") {
            Expect(w, 2);
            ActiveItem().Attachments().AddFile(w[1], 1, 0, Word(w, 2));
        } else if (command == L"save") {
            CItem& item = ActiveItem();
            Act([&] { item.Save(); });
        } else if (command == L"close") {
            standin::CInspector* inspector = m_application.ActiveInspector();
            if (!inspector)
                Refuse(L"no item is open");
            const long mode = Word(w, 1) == L"save" ? 0 : 1;
            Act([&] { inspector->Close(mode); });
        } else if (command == L"click") {
            Expect(w, 2);
            Click(w[1], false);
        } else if (command == L"click-explorer") {
            Expect(w, 2);
            Click(w[1], true);
        } else if (command == L"ribbon") {
            Expect(w, 2);
            Ribbon(w[1], L"onAction");
        } else if (command == L"ribbon-image") {
            Expect(w, 2);
            Ribbon(w[1], L"getImage");
        } else if (command == L"folder") {
            Expect(w, 2);
            standin::CFolder* folder = m_application.Mailbox().FolderByName(w[1]);
            if (!folder)
                Refuse(L"no folder " + w[1]);
            bool switched = false;
            Act([&] { switched = Explorer().SwitchTo(*folder); });
            m_report.Line(switched ? L"folder " + w[1] : L"folder switch cancelled");
        } else if (command == L"explorer") {
            standin::CFolder* folder = nullptr;
            if (w.size() > 1 && !(folder = m_application.Mailbox().FolderByName(w[1])))
                Refuse(L"no folder " + w[1]);
            Act([&] { m_application.OpenExplorer(folder); });
        } else if (command == L"close-explorer") {
            Act([&] { Explorer().Close(); });
        } else if (command == L"select") {
            Expect(w, 2);
            Select(w);
        } else if (command == L"deliver") {
            Expect(w, 2);
            Deliver(w);
        } else if (command == L"receive-shown") {
            // The user sends the mail in front and it arrives in the Inbox,
            // as another user's Outlook receives it.
            CItem& shown = ActiveItem();
            CComPtr<CItem> mail = m_application.Mailbox().CreateItem(standin::kItemTypeMail);
            mail->CopyContentFrom(shown);
            mail->SetBool(L"Sent", true);
            standin::CFolder* inbox = m_application.Mailbox().DefaultFolder(standin::kFolderInbox);
            Act([&] { inbox->Items().Add(mail.Get()); });
        } else if (command == L"wait-file") {
            Expect(w, 3);
            const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(Number(w[2]));
            // Outlook goes on serving while it waits: the other program's
            // calls (its releases among them) come in as messages.
            while (GetFileAttributesW(w[1].c_str()) == INVALID_FILE_ATTRIBUTES) {
                if (GetTickCount64() >= until)
                    Refuse(L"no file " + w[1]);
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
                Sleep(20);
            }
        } else if (command == L"offline") {
            Expect(w, 2);
            m_application.NameSpace().SetOffline(OnOff(w[1]));
        } else if (command == L"options") {
            Options();
        } else if (command == L"wait") {
            Expect(w, 2);
            const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(Number(w[1]));
            Act([&] {
                MSG message;
                while (GetTickCount64() < until) {
                    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                        TranslateMessage(&message);
                        DispatchMessageW(&message);
                    }
                    Sleep(5);
                }
            });
        } else if (command == L"serve") {
            Expect(w, 2);
            if (!ServeOtherPrograms(m_application, m_report, static_cast<DWORD>(Number(w[1]))))
                return false;
        } else if (command == L"fail") {
            Expect(w, 4);
            standin::CallLog().Inject(w[1], w[2],
                                      static_cast<HRESULT>(std::stoul(w[3], nullptr, 0)));
        } else if (command == L"say") {
            Expect(w, 2);
            m_report.Line(L"say " + w[1]);
        } else if (command == L"expect") {
            Expect(w, 2);
            m_pending.push_back([t = Narrow(w[1])](CScriptedUser& u) { u.Expect(t); });
        } else if (command == L"type") {
            Expect(w, 3);
            m_pending.push_back(
                [id = Number(w[1]), t = Narrow(w[2])](CScriptedUser& u) { u.Type(id, t); });
        } else if (command == L"press") {
            Expect(w, 2);
            m_pending.push_back([id = Number(w[1])](CScriptedUser& u) { u.Click(id); });
        } else if (command == L"check") {
            Expect(w, 3);
            m_pending.push_back(
                [id = Number(w[1]), on = OnOff(w[2])](CScriptedUser& u) { u.Check(id, on); });
        } else if (command == L"pick-row") {
            Expect(w, 3);
            m_pending.push_back([id = Number(w[1]), row = Number(w[2])](CScriptedUser& u) {
                u.PickListRow(id, row);
            });
        } else if (command == L"pick-item") {
            Expect(w, 3);
            m_pending.push_back([id = Number(w[1]), t = Narrow(w[2])](CScriptedUser& u) {
                u.PickComboItem(id, t);
            });
        } else if (command == L"pick-tab") {
            Expect(w, 2);
            m_pending.push_back([t = Narrow(w[1])](CScriptedUser& u) { u.PickTab(t); });
        } else if (command == L"click-row") {
            Expect(w, 4);
            if (w[3] != L"box" && w[3] != L"text")
                Refuse(L"click-row needs box or text: " + w[3]);
            m_pending.push_back([id = Number(w[1]), row = Number(w[2]), box = w[3] == L"box"](
                                    CScriptedUser& u) { u.ClickListRow(id, row, box); });
        } else if (command == L"answer") {
            Expect(w, 2);
            m_pending.push_back([id = Number(w[1])](CScriptedUser& u) { u.AnswerMessageBox(id); });
        } else if (command == L"wait-text") {
            Expect(w, 3);
            m_pending.push_back([id = Number(w[1]), t = Narrow(w[2])](CScriptedUser& u) {
                u.Do("waits until it says \"" + t + "\"", [id, t](HWND dialog) {
                    char text[256] = {};
                    GetWindowTextA(FindDescendant(dialog, id), text, sizeof(text));
                    return t == text;
                });
            });
        } else if (command == L"await-file") {
            Expect(w, 4);
            // The dialog stays up, idle, while another program it started
            // works (the editor the options page starts): the user waits.
            m_pending.push_back([path = w[1], ms = static_cast<unsigned>(Number(w[2])),
                                 what = Narrow(w[3])](CScriptedUser& u) {
                u.Await(
                    what,
                    [path](HWND) {
                        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
                    },
                    ms);
            });
        } else if (command == L"await-refusal") {
            Expect(w, 3);
            // The dialog stays up, idle, until Outlook has turned a call of
            // another program away because of it.
            m_pending.push_back(
                [ms = static_cast<unsigned>(Number(w[1])), what = Narrow(w[2])](CScriptedUser& u) {
                    u.Await(
                        what, [](HWND) { return CCallFilter::Refused() > 0; }, ms);
                });
        } else if (command == L"shot") {
            Expect(w, 2);
            if (!m_shotsFolder.empty())
                m_pending.push_back([this, name = w[1]](CScriptedUser& u) {
                    u.Do("", [this, name](HWND dialog) { return TakePicture(dialog, name); });
                });
        } else if (command == L"close-dialog") {
            m_pending.push_back([](CScriptedUser& u) { u.Close(); });
        } else {
            Refuse(L"unknown command " + command);
        }
    } catch (const CScriptError& error) {
        m_report.Error(L"line " + std::to_wstring(line.number) + L": " + error.text);
        return false;
    } catch (const standin::CInvokeError& error) {
        m_report.Error(L"line " + std::to_wstring(line.number) + L": " + Hex(error.code) + L" " +
                       error.description);
        return false;
    }
    return true;
}

// Splits a line into words: spaces part them, double quotes keep them
// together.
bool SplitLine(const std::wstring& text, std::vector<std::wstring>& words, std::wstring& error)
{
    size_t at = 0;
    while (true) {
        while (at < text.size() && iswspace(text[at]))
            ++at;
        if (at >= text.size() || text[at] == L'#')
            return true;
        std::wstring word;
        if (text[at] == L'"') {
            ++at;
            bool closed = false;
            while (at < text.size()) {
                wchar_t c = text[at++];
                if (c == L'"') {
                    closed = true;
                    break;
                }
                if (c == L'\\' && at < text.size())
                    c = text[at++];
                word += c;
            }
            if (!closed) {
                error = L"a quote is not closed";
                return false;
            }
        } else {
            while (at < text.size() && !iswspace(text[at]))
                word += text[at++];
        }
        words.push_back(std::move(word));
    }
}

} // namespace

bool CScript::Load(const std::wstring& path, std::wstring& error)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        error = L"cannot read " + path;
        return false;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    std::wstring text;
    if (!standin::FromUtf8(bytes.str(), text)) {
        error = path + L" is not UTF-8";
        return false;
    }
    return Parse(text, error);
}

bool CScript::Parse(const std::wstring& text, std::wstring& error)
{
    m_lines.clear();
    std::wistringstream lines(text);
    std::wstring lineText;
    for (int number = 1; std::getline(lines, lineText); ++number) {
        if (!lineText.empty() && lineText.back() == L'\r')
            lineText.pop_back();
        Line line{number, {}};
        std::wstring why;
        if (!SplitLine(lineText, line.words, why)) {
            error = L"line " + std::to_wstring(number) + L": " + why;
            return false;
        }
        if (!line.words.empty())
            m_lines.push_back(std::move(line));
    }
    return true;
}

bool CScript::Run(CApplication& application, CAddinHost& addins, CReport& report,
                  const std::wstring& shotsFolder) const
{
    CPlayer player(application, addins, report, shotsFolder);
    for (const Line& line : m_lines)
        if (!player.Play(line))
            return false;
    return true;
}

} // namespace host
