// What the agent's tests share: the stand-in service on the agent's own
// addresses, a broadcast written as the add-in writes it, the agent's
// dialog run under a scripted user, and a look at what it showed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "agent/dialog/inkProxyDlg.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/agent/BroadcastFixture.h"
#include "tests/support/FolderGuard.h"
#include "tests/support/ServiceTest.h"

inline constexpr char kAgentAddress[] = "127.0.1.1";
inline constexpr char kAgentCaption[] = "Inkstave Broadcast Agent";

// The rows, status line and button of the agent's dialog.
struct AgentSeen {
    std::vector<int> images;
    std::vector<std::string> rows;
    std::string status;
    std::string button;
};
AgentSeen LookAtAgent(HWND dialog);

CScriptedUser::Limits PatientUser();

class AgentTest : public ServiceTestOn<kAgentAddress> {
protected:
    void SetUp() override;
    void TearDown() override;

    // The agent makes its own protocol object, as in its own process.
    void StoreCredentials();
    // Writes the broadcast; its path.
    std::string WriteBroadcast(const BroadcastShape& shape);
    // Runs the agent on path under user; what DoModal answered.
    INT_PTR RunAgent(const std::string& path, CScriptedUser& user);
    // The script's step that waits until the button reads caption and keeps
    // what the dialog shows then.
    std::function<bool(HWND)> WaitForButton(const char* caption, AgentSeen& seen);

    // The temporary folder's files now, less the ones there before the
    // broadcast was written.
    std::vector<std::string> FilesLeft() const;
    std::vector<std::string> ReceiptFiles() const;

    std::string m_receipts;
    std::vector<std::string> m_tempBefore;
    std::optional<CFolderGuard> m_receiptsGuard;
    std::unique_ptr<CBroadcastWriter> m_writer;
};
