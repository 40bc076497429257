// agentuser.exe: the person at the broadcast agent's dialog in the demo. It
// waits for the agent that the add-in started, tells each step as its row
// turns done, takes a picture of the dialog when asked (--shots DIR), and
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
        const std::string name =
            view.button == "Done" ? "08-agent-done.png" : "08-agent-failed.png";
        std::string error;
        if (user.TakePicture(Wide(shots + "\\" + name), error))
            Say("picture " + name);
        else
            Say("error picture " + name + ": " + error);
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
