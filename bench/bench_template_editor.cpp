// The large-template benchmark of the editor: inkEdit's main dialog, as the
// user runs it, with a template of 10,000 signers in the template folder.
// It prints, as `figure NAME VALUE UNIT` lines:
// - template_editor_open_10000: from the dialog's start until the user sees
//   it, the template library (the large template in it) read;
// - template_editor_show_10000: choosing the template in the list until the
//   dialog has drawn it, every signer a row;
// - template_editor_10000: the two together, what the user waits for.
// Each run (3 unless told: bench_template_editor.exe N) is a dialog of its
// own; the figures are the medians. Exits non-zero when a run failed, the
// list did not show every signer, or the wait was over 2 s.
#include <cstdio>
#include <vector>

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "bench/BigTemplate.h"
#include "editor/EditorResource.h"
#include "editor/main/EditDlg.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace {

constexpr char kMainCaption[] = "Inkstave Templates";

CBigTemplateTimes RunOnce()
{
    CBigTemplateTimes run;
    CScriptedUser::Limits limits;
    limits.deadlineMs = 600000; // the slowest build measured took minutes
    CScriptedUser user(limits);
    const double started = Seconds();
    user.Expect(kMainCaption).Do("chooses the large template", [&run, started](HWND dialog) {
        run.first = Seconds() - started;
        HWND list = GetDlgItem(dialog, IDC_TEMPLATE_LIST);
        const LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>("Big"));
        if (index == CB_ERR)
            return true; // not listed: the run fails on its row count
        const double chosen = Seconds();
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEMPLATE_LIST, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        run.second = Seconds() - chosen;
        run.rows = static_cast<int>(
            SendMessageA(GetDlgItem(dialog, IDC_SIGNER_LIST), LVM_GETITEMCOUNT, 0, 0));
        return true;
    });
    user.Close();
    user.Start();
    {
        CEditDlg dialog;
        dialog.DoModal();
    }
    user.Stop();
    run.ok = user.Finished() && run.rows == kBigTemplateSigners;
    if (!user.Finished())
        std::printf("the run failed: %s\n", user.Report().c_str());
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    CBigTemplateRun setup("bench_template_editor");
    return ReportBigTemplateRuns(argc, argv,
                                 {.figure = "template_editor",
                                  .firstStep = "open",
                                  .secondStep = "show",
                                  .firstText = "editor opened, library of the template read",
                                  .secondText = "template of %d signers chosen and drawn",
                                  .failure = "a run failed or did not show every signer"},
                                 RunOnce);
}
