// The large-template benchmark of the add-in's send wizard: its template
// page, as the send road builds the wizard, for a mail of one recipient and
// a template of 10,000 signers (one for the recipient, the others fixed
// signers) in the template folder. It prints, as `figure NAME VALUE UNIT`
// lines:
// - template_wizard_open_10000: from the wizard's start until the user sees
//   the template page, the library read and matched against the mail;
// - template_wizard_apply_10000: choosing the template until the page has
//   drawn its values, one row per signer;
// - template_wizard_10000: the two together, what the user waits for.
// Each run (3 unless told: bench_template_wizard.exe N) is a wizard of its
// own; the figures are the medians. Exits non-zero when a run failed, the
// page did not show a row per signer, or the wait was over 2 s.
#include <cstdio>
#include <memory>
#include <vector>

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <prsht.h>

#include "addin/AddinResource.h"
#include "addin/wizard/PgSigPos.h"
#include "addin/wizard/PgSignSeq.h"
#include "addin/wizard/PgTemplate.h"
#include "addin/wizard/WizSheet.h"
#include "bench/BigTemplate.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace {

constexpr char kPageCaption[] = "Use a Template?";

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

HWND Control(HWND sheet, int id)
{
    Search search{id, nullptr};
    EnumChildWindows(sheet, MatchVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

CBigTemplateTimes RunOnce()
{
    // The request as the send road makes it for a mail to one recipient
    // with one attachment.
    CTemplate request;
    request.m_subject = "Lease";
    request.m_sendOptions.m_attachCount = 1;
    auto recipient = std::make_unique<CRecip>();
    recipient->m_name = "a@mail.com";
    recipient->m_email = "a@mail.com";
    recipient->m_fromMail = 1;
    request.m_signers.AddHead(recipient.release());
    CCredentials credentials;
    credentials.m_email = "me@example.com";

    CWizSheet sheet(&credentials, nullptr, IDS_WIZ_CAPTION, nullptr);
    CPgTemplate templatePage(CWizPage::kFirstPage);
    CPgSigPos sigPosPage(CWizPage::kMiddlePage);
    CPgSignSeq signSeqPage(CWizPage::kLastPage);
    sheet.m_request = request;
    sheet.m_saved = request;
    sheet.AddPage(&templatePage);
    sheet.AddPage(&sigPosPage);
    sheet.AddPage(&signSeqPage);
    sheet.SetWizardMode();

    CBigTemplateTimes run;
    CScriptedUser::Limits limits;
    limits.deadlineMs = 600000; // the slowest build measured took minutes
    CScriptedUser user(limits);
    const double started = Seconds();
    user.Expect(kPageCaption).Do("chooses the large template", [&run, started](HWND sheet) {
        run.first = Seconds() - started;
        HWND combo = Control(sheet, IDC_TEMPLATE_COMBO);
        const LRESULT index = combo
                                  ? SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                 reinterpret_cast<LPARAM>("Big"))
                                  : CB_ERR;
        if (index == CB_ERR)
            return true; // not offered: the run fails on its row count
        const double chosen = Seconds();
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(IDC_TEMPLATE_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        RedrawWindow(sheet, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        run.second = Seconds() - chosen;
        run.rows = static_cast<int>(
            SendMessageA(Control(sheet, IDC_TEMPLATE_VALUES), LVM_GETITEMCOUNT, 0, 0));
        return true;
    });
    user.Do("cancels the wizard", [](HWND sheet) {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        return true;
    });
    user.Start();
    sheet.DoModal();
    user.Stop();
    // A row per signer, and the document, signature type and mode rows.
    run.ok = user.Finished() && run.rows == kBigTemplateSigners + 3;
    if (!user.Finished())
        std::printf("the run failed: %s\n", user.Report().c_str());
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    CBigTemplateRun setup("bench_template_wizard");
    return ReportBigTemplateRuns(argc, argv,
                                 {.figure = "template_wizard",
                                  .firstStep = "open",
                                  .secondStep = "apply",
                                  .firstText = "template page shown, library read and matched",
                                  .secondText = "template of %d signers chosen, applied and drawn",
                                  .failure = "a run failed or did not show a row per signer"},
                                 RunOnce);
}
