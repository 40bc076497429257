// agentuser.exe: the person at the broadcast agent's dialog in the demo. It
// waits for the agent that the add-in started, tells each step as its row
// turns done, takes pictures when asked (--shots DIR: the dialog under its
// icon's balloon, then the dialog done), and
// presses the button: "Done" ends with 0; after a failure it presses
// "Close", says yes to the question and ends with 1.
//
//     agentuser.exe [--shots DIR] [--timeout SECONDS]
#include <cstdio>
#include <set>
#include <string>

#include <windows.h>

#include "standins/agentuser/AgentUser.h"

namespace {

constexpr int kImageDone = 0;
// How long the balloon may take to come, and to go (it asks for 10 s).
constexpr ULONGLONG kBalloonComesMs = 3000;
constexpr ULONGLONG kBalloonGoneMs = 20000;

void Say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

int main(int argc, char** argv)
{
    std::string shots;
    DWORD timeoutMs = 120000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--shots")
            shots = argv[i + 1];
        else if (option == "--timeout")
            timeoutMs = static_cast<DWORD>(std::stoul(argv[i + 1])) * 1000;
    }

    CAgentUser user;
    if (!user.WaitForDialog(timeoutMs)) {
        Say("error no agent dialog came");
        return 2;
    }
    Say("agent open");
    const ULONGLONG opened = GetTickCount64();
    auto picture = [&](const std::string& name) {
        std::string error;
        if (user.TakePicture(Wide(shots + "\\" + name), error))
            Say("picture " + name);
        else
            Say("error picture " + name + ": " + error);
    };
    if (!shots.empty()) {
        // The icon's balloon, where the display has a tray that shows one.
        const ULONGLONG end = GetTickCount64() + kBalloonComesMs;
        while (!user.BalloonOver() && GetTickCount64() < end)
            Sleep(50);
        picture("08-agent-balloon.png");
    }
    std::set<std::string> told;
    const bool ended = user.WaitForButton({"Done", "Close"}, timeoutMs, [&](const AgentView& view) {
        for (const AgentRow& row : view.rows) {
            if (row.image == kImageDone && told.insert(row.text).second)
                Say("step done " + row.text);
        }
    });
    if (!ended) {
        Say("error the agent did not finish");
        return 2;
    }
    const AgentView view = user.Look();
    Say("agent " + view.button + " " + view.status);
    if (!shots.empty()) {
        // The dialog on its own once the balloon is gone.
        while (user.BalloonOver() && GetTickCount64() - opened < kBalloonGoneMs)
            Sleep(100);
        picture(view.button == "Done" ? "09-agent-done.png" : "09-agent-failed.png");
    }
    user.PressButton();
    if (view.button != "Done") {
        const std::string question = user.AnswerQuestion(IDYES, 10000);
        Say("question " + question);
    }
    if (!user.WaitUntilGone(20000)) {
        Say("error the agent stayed open");
        return 2;
    }
    Say("agent closed");
    return view.button == "Done" ? 0 : 1;
}
