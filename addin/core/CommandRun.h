// CCommandRun: the add-in's one running command. A send, a sync and a
// receipt import each wait in modal dialogs on Outlook's one thread, while
// other Outlook windows (a second mail, the explorer) stay usable; a second
// command started from there would reconnect, or let go of, the process's
// service connection under the first one's running request. So a command
// takes the one slot for as long as it runs, and one that finds it taken
// does not run. While the slot is taken the process's protocol object (and
// with it the connection) is held: the add-in's shutdown lets it go only
// once the command has ended.
#pragma once

#include <windows.h>

enum class AddinCommand { kNone, kSend, kSync, kReceiptImport };

class CCommandRun {
public:
    // Takes the slot for command when it is free; Taken() says whether.
    explicit CCommandRun(AddinCommand command);
    CCommandRun(const CCommandRun&) = delete;
    CCommandRun& operator=(const CCommandRun&) = delete;
    // Frees the slot it took, and lets the protocol object go when the
    // add-in was shut down meanwhile.
    ~CCommandRun();

    bool Taken() const { return m_taken; }

    // The command running now, kNone when none.
    static AddinCommand Running();
    // What a command (asking) refused because running runs tells the user:
    // a string id of the add-in's table.
    static UINT RefusalTextId(AddinCommand running, AddinCommand asking);

private:
    bool m_taken = false;
};
