#include "addin/core/CommandRun.h"

#include "addin/AddinResource.h"
#include "addin/core/AddinProtocol.h"
#include "classlib/strings/CString.h"
#include "shared/log/DebugLog.h"

namespace {

// Outlook calls the add-in on one thread only: no lock needed.
AddinCommand g_running = AddinCommand::kNone;

const char* NameOf(AddinCommand command)
{
    switch (command) {
    case AddinCommand::kSend:
        return "send";
    case AddinCommand::kSync:
        return "sync";
    case AddinCommand::kReceiptImport:
        return "receipt import";
    case AddinCommand::kNone:
        break;
    }
    return "none";
}

} // namespace

CCommandRun::CCommandRun(AddinCommand command)
{
    if (command == AddinCommand::kNone)
        return;
    if (g_running != AddinCommand::kNone) {
        CString why;
        why.Format("A %s is running: the %s does not start", NameOf(g_running), NameOf(command));
        TheLog().Comment(why);
        return;
    }
    g_running = command;
    m_taken = true;
    HoldAddinProtocol();
}

CCommandRun::~CCommandRun()
{
    if (!m_taken)
        return;
    g_running = AddinCommand::kNone;
    LetGoAddinProtocol();
}

AddinCommand CCommandRun::Running()
{
    return g_running;
}

UINT CCommandRun::RefusalTextId(AddinCommand running, AddinCommand asking)
{
    switch (running) {
    case AddinCommand::kSend:
        return asking == AddinCommand::kSend ? IDS_SEND_RUNNING : IDS_SEND_RUNNING_OTHER;
    case AddinCommand::kSync:
        return IDS_SYNC_RUNNING;
    case AddinCommand::kReceiptImport:
        return IDS_IMPORT_RUNNING;
    case AddinCommand::kNone:
        break;
    }
    return IDS_OPERATION_UNKNOWN;
}
