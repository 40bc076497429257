// The send wizard driven by the scripted user as a person drives it: the
// sheet is built the way the send road builds it, over a request and a
// template folder of the test's own, and run modally.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <prsht.h>

#include "addin/AddinResource.h"
#include "addin/wizard/PgIntro.h"
#include "addin/wizard/PgSigPos.h"
#include "addin/wizard/PgSignSeq.h"
#include "addin/wizard/PgTemplate.h"
#include "addin/wizard/WizSheet.h"
#include "classlib/ui/CStatusBar.h"
#include "shared/service/OpLogin.h"
#include "shared/service/ServiceGlobals.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

constexpr int kBack = 0x3023;
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;

constexpr char kOwnAddress[] = "me@example.com";
constexpr char kRolePrompt[] = "<click here to select role>";

CScriptedUser::Limits Quick()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 3000;
    limits.idleMs = 3000;
    limits.deadlineMs = 30000;
    return limits;
}

// ---- what the user sees ----

// The wizard's buttons as they show: each of Back, Next and Finish that is
// visible, with "-" after it when it is disabled.
std::string Offered(HWND sheet)
{
    std::string out;
    const std::pair<int, const char*> buttons[] = {
        {kBack, "Back"}, {kNext, "Next"}, {kFinish, "Finish"}};
    for (const auto& [id, name] : buttons) {
        HWND button = GetDlgItem(sheet, id);
        if (!button || !IsWindowVisible(button))
            continue;
        if (!out.empty())
            out += ' ';
        out += name;
        if (!IsWindowEnabled(button))
            out += '-';
    }
    return out;
}

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchVisible(HWND hwnd, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    if (GetDlgCtrlID(hwnd) == search->id && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The control of the page on show.
HWND Control(HWND sheet, int id)
{
    Search search{id, nullptr};
    EnumChildWindows(sheet, MatchVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Cell(HWND list, int row, int column)
{
    char text[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int Rows(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// The cells of one column, top to bottom.
std::vector<std::string> Column(HWND list, int column)
{
    std::vector<std::string> cells;
    for (int row = 0; row < Rows(list); ++row)
        cells.push_back(Cell(list, row, column));
    return cells;
}

int RowOf(HWND list, const std::string& key)
{
    for (int row = 0; row < Rows(list); ++row) {
        if (Cell(list, row, 0) == key)
            return row;
    }
    return -1;
}

bool Enabled(HWND sheet, int id)
{
    HWND control = Control(sheet, id);
    return control && IsWindowEnabled(control);
}

// ---- the request and the templates ----

// A To recipient of the mail, put at the head of the signers as the send
// road puts them (so the list is in reverse mail order).
CRecip* AddRecipient(CTemplate& request, const char* email)
{
    auto recipient = std::make_unique<CRecip>();
    recipient->m_name = email;
    recipient->m_email = email;
    recipient->m_fromMail = 1;
    CRecip* raw = recipient.get();
    request.m_signers.AddHead(recipient.release());
    return raw;
}

CRecip* FindSigner(const CTemplate& request, const char* email)
{
    for (CRecip* signer : request.m_signers) {
        if (signer->m_email == email)
            return signer;
    }
    return nullptr;
}

std::string SignerXml(const std::string& email, const std::string& role, int sequence)
{
    return "<Signer><Name>" + role + "</Name>\n<Email>" + email + "</Email>\n<Role>" + role +
           "</Role>\n<Sequence>" + std::to_string(sequence) +
           "</Sequence>\n<Sender>0</Sender>\n<HardCoded>0</HardCoded>\n</Signer>";
}

// A template file as the editor writes it: its document the mail's own
// attachment unless bytes are embedded.
std::string TemplateXml(const std::string& name, const std::string& signers,
                        const std::string& embedded = "")
{
    std::string document = "<Document><Key>&lt;Outlook Attachment&gt;</Key>\n<Name>lease.doc</Name>"
                           "\n<Type>Signature</Type>\n</Document>";
    if (!embedded.empty())
        document = "<Document><Key>C:\\docs\\nda.pdf</Key>\n<Name>nda.pdf</Name>\n<Type>Signature"
                   "</Type>\n<FileBytes>" +
                   embedded + "</FileBytes></Document>";
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>" + name +
           "</Name>\n" + document +
           "<Options><SignatureType>0</SignatureType>\n<SendMode>0</SendMode>\n"
           "<Positioning>2</Positioning>\n<Password></Password>\n"
           "<MouseTouchSigning>0</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
           "</Options><Email><Subject>Signed lease</Subject>\n</Email><Signers>" +
           signers + "</Signers></inkTemplate>";
}

// Presses the wizard's Cancel once the scripted user has failed, so that a
// failing test ends instead of waiting in the wizard's loop.
class CancelGuard {
public:
    explicit CancelGuard(const CScriptedUser& user) : m_user(user)
    {
        t_guard = this;
        m_timer = SetTimer(nullptr, 0, 100, Tick);
    }
    ~CancelGuard()
    {
        KillTimer(nullptr, m_timer);
        t_guard = nullptr;
    }

private:
    static BOOL CALLBACK Cancel(HWND hwnd, LPARAM)
    {
        if (GetDlgItem(hwnd, kNext))
            PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (t_guard && t_guard->m_user.Failed())
            EnumThreadWindows(GetCurrentThreadId(), Cancel, 0);
    }

    static inline thread_local CancelGuard* t_guard = nullptr;
    const CScriptedUser& m_user;
    UINT_PTR m_timer = 0;
};

// The wizard as the send road makes it: the pages it holds, their kinds,
// and the request copied in.
struct Wizard {
    Wizard(CCredentials* credentials, const CTemplate& request, bool intro, bool templatesFit)
        : sheet(credentials, nullptr, IDS_WIZ_CAPTION, nullptr), introPage(CWizPage::kFirstPage),
          templatePage(templatesFit && intro ? CWizPage::kMiddlePage : CWizPage::kFirstPage),
          sigPosPage(templatesFit ? CWizPage::kMiddlePage : CWizPage::kFirstPage),
          signSeqPage(CWizPage::kLastPage)
    {
        sheet.m_request = request;
        sheet.m_saved = request;
        if (intro)
            sheet.AddPage(&introPage);
        if (templatesFit)
            sheet.AddPage(&templatePage);
        sheet.AddPage(&sigPosPage);
        sheet.AddPage(&signSeqPage);
        sheet.SetWizardMode();
    }

    INT_PTR Run(CScriptedUser& user)
    {
        CancelGuard guard(user);
        user.Start();
        INT_PTR result = sheet.DoModal();
        user.Stop();
        return result;
    }

    CWizSheet sheet;
    CPgIntro introPage;
    CPgTemplate templatePage;
    CPgSigPos sigPosPage;
    CPgSignSeq signSeqPage;
};

class WizardTest : public CleanProfileTest {
protected:
    void SetUp() override
    {
        CleanProfileTest::SetUp();
        m_folder = TempDir() + "templates";
        CreateDirectoryA(m_folder.c_str(), nullptr);
        WriteText(kProductKey, "TemplateFolder", m_folder);
        // The user's own address without a mail profile to ask.
        WriteText(kProductKey, "Identity", kOwnAddress);
        ServiceGlobals().senderName.Empty();
        ServiceGlobals().senderSmtp.Empty();
        m_credentials.m_email = kOwnAddress;
        m_request.m_subject = "Lease";
        m_request.m_sendOptions.m_attachCount = 1;
    }

    void TearDown() override
    {
        ServiceGlobals().senderName.Empty();
        ServiceGlobals().senderSmtp.Empty();
        CleanProfileTest::TearDown();
    }

    void WriteTemplate(const std::string& file, const std::string& xml)
    {
        WriteFileBytes(m_folder + "\\" + file, xml);
    }

    // Waits until the wizard offers these buttons.
    void ExpectOffered(CScriptedUser& user, const std::string& expected)
    {
        user.Do("wait for the wizard to offer \"" + expected + "\"", [this, expected](HWND sheet) {
            m_seen = Offered(sheet);
            return m_seen == expected;
        });
    }

    // From the template page on to the end, taking the later pages'
    // defaults.
    void FinishFromTemplatePage(CScriptedUser& user)
    {
        user.Click(kNext).Expect("Signature Positioning").Click(kNext);
        user.Expect("Signature Sequence");
        ExpectOffered(user, "Back Finish");
        user.Click(kFinish);
    }

    // Picks a role in a role row of the template page as a person does:
    // a click on the row opens the drop-down, the role is chosen, Enter.
    void PickRole(CScriptedUser& user, const std::string& key, const std::string& role)
    {
        user.Do("open the role of " + key, [key](HWND sheet) {
            HWND list = Control(sheet, IDC_TEMPLATE_VALUES);
            const int row = list ? RowOf(list, key) : -1;
            if (row < 0 || !IsWindowEnabled(list))
                return false;
            RECT cell{};
            cell.top = 1;
            cell.left = LVIR_BOUNDS;
            SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&cell));
            SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON,
                         MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
            return true;
        });
        user.Do("choose " + role + " and press Enter", [role](HWND sheet) {
            HWND list = Control(sheet, IDC_TEMPLATE_VALUES);
            HWND combo = list ? FindWindowExA(list, nullptr, "ComboBox", nullptr) : nullptr;
            if (!combo || GetFocus() != combo)
                return false;
            const LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(role.c_str()));
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            PostMessageA(combo, WM_KEYDOWN, VK_RETURN, 0);
            return true;
        });
        user.Do("see the editor close", [](HWND sheet) {
            HWND list = Control(sheet, IDC_TEMPLATE_VALUES);
            return list && !FindWindowExA(list, nullptr, "ComboBox", nullptr);
        });
    }

    std::string m_folder;
    CCredentials m_credentials;
    CTemplate m_request;
    std::string m_seen; // the buttons the last wait saw
};

} // namespace

// ---- the buttons, page by page ----

struct ButtonsCase {
    const char* name;
    bool intro;
    bool templates;
    // Each step: the page's caption and the buttons it offers; after the
    // last one the user presses Finish.
    std::vector<std::pair<const char*, const char*>> pages;
    bool pickTemplate; // on the template page, choose "Plain"
};

class WizardButtons : public WizardTest, public ::testing::WithParamInterface<ButtonsCase> {};

TEST_P(WizardButtons, EachPageOffersWhatItsKindAndCompletenessCallFor)
{
    const ButtonsCase& row = GetParam();
    if (row.templates)
        WriteTemplate("Plain.xml", TemplateXml("Plain", SignerXml("a@mail.com", "Tenant", 1)));
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, row.intro, row.templates);

    CScriptedUser user(Quick());
    for (size_t i = 0; i < row.pages.size(); ++i) {
        const auto& [caption, offered] = row.pages[i];
        user.Expect(caption);
        ExpectOffered(user, offered);
        // A chosen template whose values are all set leaves the way on as
        // it was without one.
        if (std::string(caption) == "Use a Template?" && row.pickTemplate) {
            user.PickComboItem(IDC_TEMPLATE_COMBO, "Plain");
            ExpectOffered(user, offered);
        }
        if (i + 1 < row.pages.size())
            user.Click(kNext);
    }
    user.Click(kFinish);
    const INT_PTR result = wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(ID_WIZFINISH, result);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WizardButtons,
    ::testing::Values(ButtonsCase{"NoIntroNoTemplates",
                                  false,
                                  false,
                                  {{"Signature Positioning", "Back- Next"},
                                   {"Signature Sequence", "Back Finish"}},
                                  false},
                      // The positioning page is the first of its own kind: no Back to the intro.
                      ButtonsCase{"IntroNoTemplates",
                                  true,
                                  false,
                                  {{"Quillet: 1 to 3 Easy Steps", "Back- Next"},
                                   {"Signature Positioning", "Back- Next"},
                                   {"Signature Sequence", "Back Finish"}},
                                  false},
                      ButtonsCase{"IntroAndTemplates",
                                  true,
                                  true,
                                  {{"Quillet: 1 to 3 Easy Steps", "Back- Next"},
                                   {"Use a Template?", "Back Next"},
                                   {"Signature Positioning", "Back Next"},
                                   {"Signature Sequence", "Back Finish"}},
                                  true},
                      ButtonsCase{"TemplatesNoIntro",
                                  false,
                                  true,
                                  {{"Use a Template?", "Back- Next"},
                                   {"Signature Positioning", "Back Next"},
                                   {"Signature Sequence", "Back Finish"}},
                                  true},
                      // The page's own word: "If not, just press Next".
                      ButtonsCase{"TemplatesOfferedNoneChosen",
                                  false,
                                  true,
                                  {{"Use a Template?", "Back- Next"},
                                   {"Signature Positioning", "Back Next"},
                                   {"Signature Sequence", "Back Finish"}},
                                  false}),
    [](const ::testing::TestParamInfo<ButtonsCase>& info) { return std::string(info.param.name); });

TEST_F(WizardTest, StatusBarSitsBelowTheButtons)
{
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, false, false);
    RECT bar{};
    RECT cancel{};
    CScriptedUser user(Quick());
    user.Expect("Signature Positioning").Do("look at the status bar", [&](HWND sheet) {
        HWND status = GetDlgItem(sheet, static_cast<int>(AFX_IDW_STATUS_BAR));
        if (!status)
            return false;
        GetWindowRect(status, &bar);
        GetWindowRect(GetDlgItem(sheet, IDCANCEL), &cancel);
        return true;
    });
    user.Click(IDCANCEL);
    EXPECT_NE(ID_WIZFINISH, wizard.Run(user));
    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_GE(bar.top, cancel.bottom) << "the bar has room of its own under the buttons";
    EXPECT_GT(bar.bottom, bar.top);
}

// ---- the intro page ----

struct IntroCase {
    const char* name;
    bool finish;
    INT_PTR result;
};

class IntroBox : public WizardTest, public ::testing::WithParamInterface<IntroCase> {};

TEST_P(IntroBox, TickedBoxIsKeptForTheCallerAndNothingIsWrittenHere)
{
    const IntroCase& row = GetParam();
    WriteDword(kProductKey, "ShowWizIntro", 1);
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, true, false);
    CScriptedUser user(Quick());
    user.Expect("Quillet: 1 to 3 Easy Steps").Check(IDC_INTRO_DONT_SHOW).Click(kNext);
    user.Expect("Signature Positioning");
    if (row.finish)
        user.Click(kNext).Expect("Signature Sequence").Click(kFinish);
    else
        user.Click(IDCANCEL);
    const INT_PTR result = wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(row.result, result);
    EXPECT_EQ(1, wizard.introPage.m_dontShowAgain);
    auto stored = ReadValue(kProductKey, "ShowWizIntro");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(std::string("\x01\0\0\0", 4), stored->data) << "only the caller writes it";
}

INSTANTIATE_TEST_SUITE_P(Ends, IntroBox,
                         ::testing::Values(IntroCase{"Cancelled", false, IDCANCEL},
                                           IntroCase{"Finished", true, ID_WIZFINISH}),
                         [](const ::testing::TestParamInfo<IntroCase>& info) {
                             return std::string(info.param.name);
                         });

// A page that refuses to be left the first time it is asked.
class RefusingPage : public CWizPage {
public:
    RefusingPage() : CWizPage(kOnlyPage, IDD_WIZ_SIG_POS) {}
    int m_asked = 0;

protected:
    BOOL OnKillActive() override { return ++m_asked > 1; }
};

TEST_F(WizardTest, FinishStaysOnAPageThatCannotBeLeft)
{
    CWizSheet sheet(&m_credentials, nullptr, IDS_WIZ_CAPTION, nullptr);
    RefusingPage page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    CScriptedUser user(Quick());
    user.Expect("Signature Positioning");
    ExpectOffered(user, "Back- Finish");
    user.Click(kFinish).Do("see the wizard still open", [&](HWND) { return page.m_asked == 1; });
    user.Click(kFinish);
    CancelGuard guard(user);
    user.Start();
    const INT_PTR result = sheet.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_EQ(2, page.m_asked);
}

// ---- the template page ----

TEST_F(WizardTest, ARoleChosenInOneRowIsGivenUpByTheOtherAndTheLastIsFilledByItself)
{
    WriteTemplate("Three.xml",
                  TemplateXml("Three Roles", SignerXml("x@tpl.com", "Buyer", 1) +
                                                 SignerXml("y@tpl.com", "Seller", 2) +
                                                 SignerXml("z@tpl.com", "Witness", 3)));
    for (const char* email : {"a@mail.com", "b@mail.com", "c@mail.com"})
        AddRecipient(m_request, email);
    Wizard wizard(&m_credentials, m_request, true, true);
    std::vector<std::string> afterSecond;
    std::vector<std::string> afterThird;

    CScriptedUser user(Quick());
    user.Expect("Quillet: 1 to 3 Easy Steps").Click(kNext).Expect("Use a Template?");
    user.PickComboItem(IDC_TEMPLATE_COMBO, "Three Roles");
    PickRole(user, "a@mail.com", "Buyer");
    PickRole(user, "b@mail.com", "Buyer");
    user.Do("read the roles", [&](HWND sheet) {
        HWND list = Control(sheet, IDC_TEMPLATE_VALUES);
        afterSecond = {Cell(list, RowOf(list, "a@mail.com"), 1),
                       Cell(list, RowOf(list, "b@mail.com"), 1),
                       Cell(list, RowOf(list, "c@mail.com"), 1)};
        return true;
    });
    ExpectOffered(user, "Back Next-");
    PickRole(user, "a@mail.com", "Seller");
    // One row left and one role free: it takes it without being asked.
    ExpectOffered(user, "Back Next");
    user.Do("read the roles again", [&](HWND sheet) {
        HWND list = Control(sheet, IDC_TEMPLATE_VALUES);
        afterThird = {Cell(list, RowOf(list, "a@mail.com"), 1),
                      Cell(list, RowOf(list, "b@mail.com"), 1),
                      Cell(list, RowOf(list, "c@mail.com"), 1)};
        return true;
    });
    FinishFromTemplatePage(user);
    const INT_PTR result = wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_EQ((std::vector<std::string>{kRolePrompt, "Buyer", kRolePrompt}), afterSecond);
    EXPECT_EQ((std::vector<std::string>{"Seller", "Buyer", "Witness"}), afterThird);
    const CTemplate& request = wizard.sheet.m_request;
    ASSERT_NE(nullptr, FindSigner(request, "c@mail.com"));
    EXPECT_STREQ("Seller", FindSigner(request, "a@mail.com")->m_role);
    EXPECT_STREQ("Buyer", FindSigner(request, "b@mail.com")->m_role);
    EXPECT_STREQ("Witness", FindSigner(request, "c@mail.com")->m_role);
}

int RowHeight(HWND list)
{
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    return row.bottom - row.top;
}

TEST_F(WizardTest, ValueRowsAreAQuarterTallerAndStaySoWhenResized)
{
    WriteTemplate("Plain.xml", TemplateXml("Plain", SignerXml("a@mail.com", "Tenant", 1)));
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, false, true);
    int plain = 0;
    int taller = 0;
    int resized = 0;
    CScriptedUser user(Quick());
    user.Expect("Use a Template?").PickComboItem(IDC_TEMPLATE_COMBO, "Plain");
    user.Do("measure the rows", [&](HWND sheet) {
        HWND values = Control(sheet, IDC_TEMPLATE_VALUES);
        // A list like it that the page does not measure.
        HWND page = GetParent(values);
        HWND other =
            CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_OWNERDRAWFIXED, 0, 0,
                            200, 100, page, reinterpret_cast<HMENU>(4242), nullptr, nullptr);
        SendMessageA(other, WM_SETFONT, SendMessageA(values, WM_GETFONT, 0, 0), FALSE);
        SetWindowPos(other, nullptr, 0, 0, 200, 101, SWP_NOMOVE | SWP_NOZORDER);
        LVCOLUMNA column{};
        SendMessageA(other, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        LVITEMA item{};
        SendMessageA(other, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        plain = RowHeight(other);
        DestroyWindow(other);
        taller = RowHeight(values);
        RECT frame{};
        GetWindowRect(values, &frame);
        for (int grow : {5, 0})
            SetWindowPos(values, nullptr, 0, 0, frame.right - frame.left,
                         frame.bottom - frame.top + grow, SWP_NOMOVE | SWP_NOZORDER);
        resized = RowHeight(values);
        return true;
    });
    user.Click(IDCANCEL);
    wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    ASSERT_GT(plain, 0);
    EXPECT_EQ(plain + plain / 4, taller);
    EXPECT_EQ(taller, resized);
}

TEST_F(WizardTest, PromptEntryMeansNoTemplate)
{
    WriteTemplate("Plain.xml", TemplateXml("Plain", SignerXml("a@mail.com", "Tenant", 1)));
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, false, true);
    int rowsAfterPrompt = -1;
    CScriptedUser user(Quick());
    user.Expect("Use a Template?").PickComboItem(IDC_TEMPLATE_COMBO, "Plain");
    ExpectOffered(user, "Back- Next");
    // The arrow keys of a closed drop-down list select the prompt too.
    user.PickComboItem(IDC_TEMPLATE_COMBO, "<click here to select a template>");
    ExpectOffered(user, "Back- Next");
    user.Do("count the rows", [&](HWND sheet) {
        HWND list = Control(sheet, IDC_TEMPLATE_VALUES);
        rowsAfterPrompt = Rows(list);
        return !IsWindowEnabled(list);
    });
    user.Click(IDCANCEL);
    const INT_PTR result = wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(0, rowsAfterPrompt);
}

TEST_F(WizardTest, AChosenTemplateStaysChosenThroughBackAndNext)
{
    // The template's document is the mail's own attachment: it fits only
    // while the request still knows that the mail has one.
    WriteTemplate("Plain.xml", TemplateXml("Plain", SignerXml("a@mail.com", "Tenant", 1)));
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, false, true);
    std::vector<std::string> shown;
    const auto readChoice = [&](HWND sheet) {
        HWND combo = Control(sheet, IDC_TEMPLATE_COMBO);
        const LRESULT at = combo ? SendMessageA(combo, CB_GETCURSEL, 0, 0) : CB_ERR;
        char text[256] = "<none>";
        if (at != CB_ERR)
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(at),
                         reinterpret_cast<LPARAM>(text));
        shown.push_back(text);
        return true;
    };

    CScriptedUser user(Quick());
    user.Expect("Use a Template?").PickComboItem(IDC_TEMPLATE_COMBO, "Plain");
    ExpectOffered(user, "Back- Next");
    for (int round = 0; round < 2; ++round) {
        user.Click(kNext).Expect("Signature Positioning").Click(kBack);
        user.Expect("Use a Template?");
        ExpectOffered(user, "Back- Next");
        user.Do("read the chosen template", readChoice);
    }
    FinishFromTemplatePage(user);
    const INT_PTR result = wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_EQ((std::vector<std::string>{"Plain", "Plain"}), shown);
    const CTemplate& request = wizard.sheet.m_request;
    EXPECT_EQ(1, request.m_sendOptions.m_attachCount) << "the mail's count, not the template's";
    ASSERT_TRUE(request.m_signatureDoc);
    EXPECT_STREQ("lease.doc", request.m_signatureDoc->m_name);
}

TEST_F(WizardTest, ADecodedTemplateDocumentGoesWithTheLastCopyThatHoldsIt)
{
    WriteTemplate("Nda.xml",
                  TemplateXml("NDA", SignerXml("a@mail.com", "Party", 1), "TkRBIGJ5dGVz\n"));
    AddRecipient(m_request, "a@mail.com");
    m_request.m_sendOptions.m_attachCount = 0;
    std::string decodedPath;
    CTemplate kept; // the request as the send road keeps it after the wizard
    {
        Wizard wizard(&m_credentials, m_request, false, true);
        CScriptedUser user(Quick());
        user.Expect("Use a Template?").PickComboItem(IDC_TEMPLATE_COMBO, "NDA");
        ExpectOffered(user, "Back- Next");
        FinishFromTemplatePage(user);
        ASSERT_EQ(ID_WIZFINISH, wizard.Run(user));
        ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
        ASSERT_TRUE(wizard.sheet.m_request.m_signatureDoc);
        decodedPath = wizard.sheet.m_request.m_signatureDoc->m_embeddedPath.str();
        kept = wizard.sheet.m_request;
    }
    ASSERT_FALSE(decodedPath.empty());
    EXPECT_EQ("NDA bytes", ReadFileBytes(decodedPath)) << "the request still holds it";
    kept.m_signatureDoc.reset();
    EXPECT_FALSE(FileExists(decodedPath)) << "gone with its last holder";
}

TEST_F(WizardTest, EmbeddedDocumentIsDecodedOnceAndBothCopiesPointAtIt)
{
    // "NDA bytes" in base64.
    WriteTemplate("Nda.xml",
                  TemplateXml("NDA", SignerXml("a@mail.com", "Party", 1), "TkRBIGJ5dGVz\n"));
    AddRecipient(m_request, "a@mail.com");
    m_request.m_sendOptions.m_attachCount = 0; // the template brings the document
    Wizard wizard(&m_credentials, m_request, false, true);
    std::string encodedPath;
    std::string decodedPath;
    std::string secondPath;

    CScriptedUser user(Quick());
    user.Expect("Use a Template?").Do("note the embedded file", [&](HWND) {
        const auto& templates = wizard.sheet.m_library.GetTemplates();
        if (templates.IsEmpty())
            return false;
        encodedPath = templates.GetHead()->m_signatureDoc->m_embeddedPath.str();
        return true;
    });
    user.PickComboItem(IDC_TEMPLATE_COMBO, "NDA");
    ExpectOffered(user, "Back- Next");
    user.Do("mark the decoded file", [&](HWND) {
        decodedPath = wizard.sheet.m_request.m_signatureDoc->m_embeddedPath.str();
        WriteFileBytes(decodedPath, "marker");
        return true;
    });
    user.PickComboItem(IDC_TEMPLATE_COMBO, "<click here to select a template>");
    user.PickComboItem(IDC_TEMPLATE_COMBO, "NDA");
    ExpectOffered(user, "Back- Next");
    user.Do("read the path again", [&](HWND) {
        secondPath =
            wizard.sheet.m_library.GetTemplates().GetHead()->m_signatureDoc->m_embeddedPath.str();
        return true;
    });
    FinishFromTemplatePage(user);
    const INT_PTR result = wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(ID_WIZFINISH, result);
    ASSERT_GT(encodedPath.size(), 4u);
    EXPECT_EQ(".tmp", encodedPath.substr(encodedPath.size() - 4));
    EXPECT_FALSE(FileExists(encodedPath)) << "the base64 file goes once decoded";
    EXPECT_EQ(encodedPath.substr(0, encodedPath.size() - 4) + ".pdf", decodedPath);
    EXPECT_EQ(decodedPath, secondPath) << "the library's template points at the decoded file";
    EXPECT_EQ("marker", ReadFileBytes(decodedPath)) << "the second choice decodes nothing";
    EXPECT_STREQ(decodedPath.c_str(), wizard.sheet.m_request.m_signatureDoc->m_embeddedPath);
}

// ---- the positioning and signing-sequence pages ----

class SequenceTest : public WizardTest {
protected:
    // Three To recipients from the mail, none with a number yet.
    void ThreeRecipients()
    {
        for (const char* email : {"a@mail.com", "b@mail.com", "c@mail.com"})
            AddRecipient(m_request, email);
    }

    // From the positioning page to the signing-sequence page.
    void ToSequence(CScriptedUser& user, int positioning)
    {
        user.Expect("Signature Positioning").Click(positioning).Click(kNext);
        user.Expect("Signature Sequence");
    }

    void ReadList(CScriptedUser& user, std::vector<std::string>& numbers,
                  std::vector<std::string>& signers)
    {
        user.Do("read the list", [&numbers, &signers](HWND sheet) {
            HWND list = Control(sheet, IDC_SIGNSEQ_LIST);
            const int columns = static_cast<int>(
                SendMessageA(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)),
                             HDM_GETITEMCOUNT, 0, 0));
            numbers = columns == 2 ? Column(list, 0) : std::vector<std::string>{};
            signers = Column(list, columns - 1);
            return true;
        });
    }
};

TEST_F(SequenceTest, SignersWithoutNumbersAreNumberedInMailOrder)
{
    ThreeRecipients();
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    ReadList(user, numbers, signers);
    ExpectOffered(user, "Back Finish");
    user.Click(kFinish);
    EXPECT_EQ(ID_WIZFINISH, wizard.Run(user));

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), numbers);
    EXPECT_EQ((std::vector<std::string>{"a@mail.com", "b@mail.com", "c@mail.com"}), signers);
    EXPECT_EQ(0, wizard.sheet.m_request.m_sendOptions.m_sendMode);
    EXPECT_EQ(CPgSigPos::kAutomatic, wizard.sheet.m_request.m_sendOptions.m_positioning);
}

TEST_F(SequenceTest, BroadcastListsEveryoneFirstInOneColumnAndSendsOneEach)
{
    ThreeRecipients();
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers;
    std::string label;
    bool subjectEnabledBefore = true;
    bool subjectEnabledAfter = false;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    user.Do("look at the receipt fields", [&](HWND sheet) {
        subjectEnabledBefore = Enabled(sheet, IDC_SIGNSEQ_SUBJECT);
        return true;
    });
    user.Check(IDC_SIGNSEQ_BROADCAST);
    ReadList(user, numbers, signers);
    user.Read(IDC_SIGNSEQ_LABEL).Do("look at the receipt fields again", [&](HWND sheet) {
        subjectEnabledAfter =
            Enabled(sheet, IDC_SIGNSEQ_SUBJECT) && Enabled(sheet, IDC_SIGNSEQ_CATEGORY);
        return true;
    });
    user.Type(IDC_SIGNSEQ_CATEGORY, "Leases");
    ExpectOffered(user, "Back Finish");
    user.Click(kFinish);
    EXPECT_EQ(ID_WIZFINISH, wizard.Run(user));

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_TRUE(numbers.empty()) << "one column only";
    // All first: in the order of the request's signers.
    EXPECT_EQ((std::vector<std::string>{"c@mail.com", "b@mail.com", "a@mail.com"}), signers);
    EXPECT_EQ("Parallel Signing:", user.TextRead(IDC_SIGNSEQ_LABEL));
    EXPECT_FALSE(subjectEnabledBefore);
    EXPECT_TRUE(subjectEnabledAfter);
    const CTemplate& request = wizard.sheet.m_request;
    EXPECT_EQ(CSendOptions::kBroadcast, request.m_sendOptions.m_sendMode);
    EXPECT_STREQ("[Signer] Lease", request.m_sendOptions.m_receiptSubject);
    EXPECT_STREQ("Leases", request.m_sendOptions.m_categoryTags);
    for (const char* email : {"a@mail.com", "b@mail.com", "c@mail.com"})
        EXPECT_EQ(1, FindSigner(request, email)->m_sequence) << email;
}

TEST_F(SequenceTest, ComingBackThroughPositioningSendsNormallyWithoutTheBox)
{
    ThreeRecipients();
    Wizard wizard(&m_credentials, m_request, false, false);
    int modeAfterBack = -1;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    user.Check(IDC_SIGNSEQ_BROADCAST).Click(kBack).Expect("Signature Positioning");
    user.Do("note the send mode", [&](HWND) {
        modeAfterBack = wizard.sheet.m_request.m_sendOptions.m_sendMode;
        return true;
    });
    user.Click(kNext).Expect("Signature Sequence").Check(IDC_SIGNSEQ_BROADCAST, false);
    ExpectOffered(user, "Back Finish");
    user.Click(kFinish);
    EXPECT_EQ(ID_WIZFINISH, wizard.Run(user));

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(CSendOptions::kBroadcast, modeAfterBack) << "leaving with the box ticked";
    EXPECT_EQ(0, wizard.sheet.m_request.m_sendOptions.m_sendMode);
}

TEST_F(SequenceTest, ManualPositioningTakesTheBroadcastBack)
{
    ThreeRecipients();
    Wizard wizard(&m_credentials, m_request, false, false);
    UINT checked = BST_CHECKED;
    bool enabled = true;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    user.Check(IDC_SIGNSEQ_BROADCAST).Click(kBack);
    ToSequence(user, IDC_SIGPOS_MANUAL);
    user.Read(IDC_SIGNSEQ_LABEL).Do("look at the broadcast box", [&](HWND sheet) {
        checked = static_cast<UINT>(
            SendMessageA(Control(sheet, IDC_SIGNSEQ_BROADCAST), BM_GETCHECK, 0, 0));
        enabled = Enabled(sheet, IDC_SIGNSEQ_BROADCAST);
        return true;
    });
    ExpectOffered(user, "Back Finish");
    user.Click(kFinish);
    EXPECT_EQ(ID_WIZFINISH, wizard.Run(user));

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), checked);
    EXPECT_FALSE(enabled);
    EXPECT_EQ("Signing Sequence:", user.TextRead(IDC_SIGNSEQ_LABEL));
    EXPECT_EQ(0, wizard.sheet.m_request.m_sendOptions.m_sendMode);
    EXPECT_EQ(CPgSigPos::kManual, wizard.sheet.m_request.m_sendOptions.m_positioning);
}

struct AddMyselfCase {
    const char* name;
    int positioning; // the radio button
    const char* ownRow;
};

class AddMyself : public SequenceTest, public ::testing::WithParamInterface<AddMyselfCase> {};

TEST_P(AddMyself, OwnEntryComesAndGoesWithTheBox)
{
    const AddMyselfCase& row = GetParam();
    AddRecipient(m_request, "a@mail.com");
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers, numbersAfter, signersAfter;
    bool broadcastEnabled = true;
    bool boxEnabledWhenTicked = false;
    CScriptedUser user(Quick());
    ToSequence(user, row.positioning);
    user.Do("look at the broadcast box", [&](HWND sheet) {
        broadcastEnabled = Enabled(sheet, IDC_SIGNSEQ_BROADCAST);
        return true;
    });
    user.Check(IDC_SIGNSEQ_ADD_MYSELF);
    ReadList(user, numbers, signers);
    user.Do("look at the box", [&](HWND sheet) {
        boxEnabledWhenTicked = Enabled(sheet, IDC_SIGNSEQ_ADD_MYSELF);
        return true;
    });
    user.Check(IDC_SIGNSEQ_ADD_MYSELF, false);
    ReadList(user, numbersAfter, signersAfter);
    ExpectOffered(user, "Back Finish");
    user.Click(kFinish);
    EXPECT_EQ(ID_WIZFINISH, wizard.Run(user));

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ(row.positioning == IDC_SIGPOS_AUTO, broadcastEnabled);
    EXPECT_EQ((std::vector<std::string>{"1", "2"}), numbers);
    EXPECT_EQ((std::vector<std::string>{"a@mail.com", row.ownRow}), signers);
    EXPECT_TRUE(boxEnabledWhenTicked) << "the box must stay free to take the entry back";
    EXPECT_EQ((std::vector<std::string>{"1"}), numbersAfter);
    EXPECT_EQ((std::vector<std::string>{"a@mail.com"}), signersAfter);
    const CRecip* own = FindSigner(wizard.sheet.m_request, kOwnAddress);
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(1, own->m_sender);
    EXPECT_EQ(1, own->m_skip) << "unticked: marked removed, not sent";
}

INSTANTIATE_TEST_SUITE_P(
    Positioning, AddMyself,
    ::testing::Values(AddMyselfCase{"Automatic", IDC_SIGPOS_AUTO, "me@example.com (sender)"},
                      AddMyselfCase{"Manual", IDC_SIGPOS_MANUAL, "me@example.com"}),
    [](const ::testing::TestParamInfo<AddMyselfCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(SequenceTest, UserAlreadyARecipientFindsTheBoxTickedAndFixed)
{
    AddRecipient(m_request, "a@mail.com");
    AddRecipient(m_request, kOwnAddress);
    m_request.m_senderIsRecipient = 1;
    Wizard wizard(&m_credentials, m_request, false, false);
    UINT checked = BST_UNCHECKED;
    bool enabled = true;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    user.Do("look at the box", [&](HWND sheet) {
        checked = static_cast<UINT>(
            SendMessageA(Control(sheet, IDC_SIGNSEQ_ADD_MYSELF), BM_GETCHECK, 0, 0));
        enabled = Enabled(sheet, IDC_SIGNSEQ_ADD_MYSELF);
        return true;
    });
    user.Click(IDCANCEL);
    wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), checked);
    EXPECT_FALSE(enabled);
}

// A signer moved down in manual positioning shares the next one's turn;
// with nobody signing first only Back is left.
TEST_F(SequenceTest, ManualMoveSharesATurnAndWithoutAFirstSignerOnlyBackIsLeft)
{
    AddRecipient(m_request, "a@mail.com");
    AddRecipient(m_request, "b@mail.com");
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_MANUAL);
    user.PickListRow(IDC_SIGNSEQ_LIST, 0).Click(IDC_SIGNSEQ_DOWN);
    ReadList(user, numbers, signers);
    ExpectOffered(user, "Back Next-");
    user.Click(IDCANCEL);
    wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report() << "last seen: " << m_seen;
    EXPECT_EQ((std::vector<std::string>{"2", "2"}), numbers);
    EXPECT_EQ((std::vector<std::string>{"b@mail.com", "a@mail.com"}), signers);
    EXPECT_EQ(2, FindSigner(wizard.sheet.m_request, "a@mail.com")->m_sequence);
}

// Signers who share the first turn (as a template may number them): moving
// the second of them up would number it 0, so nothing moves.
TEST_F(SequenceTest, ManualMoveNeverTakesANumberBelowOne)
{
    for (const char* email : {"a@mail.com", "b@mail.com"})
        AddRecipient(m_request, email)->m_sequence = 1;
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_MANUAL);
    user.PickListRow(IDC_SIGNSEQ_LIST, 1).Click(IDC_SIGNSEQ_UP);
    ReadList(user, numbers, signers);
    user.Click(IDCANCEL);
    wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ((std::vector<std::string>{"1", "1"}), numbers);
    EXPECT_EQ((std::vector<std::string>{"b@mail.com", "a@mail.com"}), signers);
    for (const char* email : {"a@mail.com", "b@mail.com"})
        EXPECT_EQ(1, FindSigner(wizard.sheet.m_request, email)->m_sequence) << email;
}

TEST_F(SequenceTest, AutomaticMovesSwapNumbersWithTheNeighbour)
{
    ThreeRecipients();
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers;
    bool upEnabled = true;
    bool downEnabled = false;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    user.PickListRow(IDC_SIGNSEQ_LIST, 2).Click(IDC_SIGNSEQ_UP).Click(IDC_SIGNSEQ_UP);
    ReadList(user, numbers, signers);
    user.Do("look at the move buttons", [&](HWND sheet) {
        upEnabled = Enabled(sheet, IDC_SIGNSEQ_UP);
        downEnabled = Enabled(sheet, IDC_SIGNSEQ_DOWN);
        return true;
    });
    user.Click(kFinish);
    EXPECT_EQ(ID_WIZFINISH, wizard.Run(user));

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), numbers);
    EXPECT_EQ((std::vector<std::string>{"c@mail.com", "a@mail.com", "b@mail.com"}), signers);
    EXPECT_FALSE(upEnabled) << "the first signer cannot move up";
    EXPECT_TRUE(downEnabled);
    EXPECT_EQ(1, FindSigner(wizard.sheet.m_request, "c@mail.com")->m_sequence);
}

// Ticking "Add myself" refreshes the page: the move buttons come on while
// the rebuilt list has nothing selected. Moving then moves nothing.
TEST_F(SequenceTest, MovesWithNothingSelectedMoveNothing)
{
    ThreeRecipients();
    Wizard wizard(&m_credentials, m_request, false, false);
    std::vector<std::string> numbers, signers, numbersAfter, signersAfter;
    CScriptedUser user(Quick());
    ToSequence(user, IDC_SIGPOS_AUTO);
    user.PickListRow(IDC_SIGNSEQ_LIST, 0).Check(IDC_SIGNSEQ_ADD_MYSELF);
    ReadList(user, numbers, signers);
    user.Click(IDC_SIGNSEQ_DOWN).Click(IDC_SIGNSEQ_UP);
    ReadList(user, numbersAfter, signersAfter);
    user.Click(IDCANCEL);
    wizard.Run(user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4"}), numbers);
    EXPECT_EQ((std::vector<std::string>{"a@mail.com", "b@mail.com", "c@mail.com",
                                        "me@example.com (sender)"}),
              signers);
    EXPECT_EQ(numbers, numbersAfter);
    EXPECT_EQ(signers, signersAfter);
}

// ---- the sheet's runner ----

namespace {

constexpr char kAddress[] = "127.0.0.21";

// A page that waits for an operation started on the sheet.
class WaitingPage : public CWizPage {
public:
    WaitingPage() : CWizPage(kOnlyPage, IDD_WIZ_SIG_POS) {}
    int m_calls = 0;
    BOOL m_result = FALSE;

    BOOL OnOpDone(BOOL result) override
    {
        ++m_calls;
        m_result = result;
        return TRUE;
    }
};

using RunnerOnSheetTest = ServiceTestOn<kAddress>;

} // namespace

TEST_F(RunnerOnSheetTest, OperationRunsOnTheSheetAndTellsTheWaitingPage)
{
    CCredentials credentials = Demo();
    CWizSheet sheet(&credentials, ServiceGlobals().api, IDS_WIZ_CAPTION, nullptr);
    WaitingPage page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    std::string pane = "unread";
    int progress = -1;
    int maxProgress = 0;
    CScriptedUser user(Quick());
    user.Expect("Signature Positioning").Do("start a login on the sheet", [&](HWND) {
        auto* login = new OpLogin(m_url);
        login->m_credentials = credentials;
        sheet.StartOp(login, &page);
        return true;
    });
    user.Do("wait for the page to hear of its end", [&](HWND) {
        maxProgress = std::max(maxProgress, sheet.GetProgress().GetPos());
        return page.m_calls > 0;
    });
    user.Do("look at the status bar", [&](HWND) {
        pane = sheet.GetStatusBar().GetPaneText(1).str();
        progress = sheet.GetProgress().GetPos();
        return true;
    });
    user.Click(IDCANCEL);
    CancelGuard guard(user);
    user.Start();
    sheet.DoModal();
    user.Stop();

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(1, page.m_calls);
    EXPECT_TRUE(page.m_result);
    EXPECT_GT(maxProgress, 0) << "the stages showed on the progress bar";
    EXPECT_EQ("", pane);
    EXPECT_EQ(0, progress);
    EXPECT_EQ(nullptr, sheet.m_waitingPage);
}
