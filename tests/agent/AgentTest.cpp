#include "tests/agent/AgentTest.h"

#include <algorithm>
#include <commctrl.h>

#include "agent/AgentResource.h"
#include "shared/config/Config.h"
#include "shared/requests/Receipt.h"
#include "shared/service/ServiceGlobals.h"
#include "tests/support/TestEnv.h"

using namespace testenv;

namespace {

std::string TextOf(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

} // namespace

AgentSeen LookAtAgent(HWND dialog)
{
    AgentSeen seen;
    HWND list = GetDlgItem(dialog, IDC_AGENT_STEPS);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        char text[256] = {};
        LVITEMA item{};
        item.mask = LVIF_IMAGE | LVIF_TEXT;
        item.iItem = row;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        seen.images.push_back(item.iImage);
        seen.rows.push_back(text);
    }
    seen.status = TextOf(GetDlgItem(dialog, IDC_AGENT_STATUS));
    seen.button = TextOf(GetDlgItem(dialog, IDCANCEL));
    return seen;
}

CScriptedUser::Limits PatientUser()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 20000;
    limits.idleMs = 20000;
    limits.deadlineMs = 90000;
    return limits;
}

void AgentTest::SetUp()
{
    ServiceTestOn<kAgentAddress>::SetUp();
    // The agent brings its own protocol object, as it does in its process.
    m_protocol.Disconnect();
    ServiceGlobals().protocol = nullptr;
    CString receipts;
    ASSERT_EQ(S_OK, GetReceiptsFolder(receipts));
    m_receipts = receipts.str() + "\\";
    m_receiptsGuard.emplace(m_receipts, TempDir() + "receipts-aside\\", true);
    m_writer = std::make_unique<CBroadcastWriter>();
    StoreCredentials();
}

void AgentTest::TearDown()
{
    m_writer.reset();
    m_receiptsGuard.reset();
    ServiceTestOn<kAgentAddress>::TearDown();
}

void AgentTest::StoreCredentials()
{
    CCredentials credentials = Demo();
    ASSERT_EQ(S_OK, CConfig().SetCredentials(credentials));
}

std::string AgentTest::WriteBroadcast(const BroadcastShape& shape)
{
    m_tempBefore = ListFiles(TempDir());
    return m_writer->Write(shape, m_url);
}

INT_PTR AgentTest::RunAgent(const std::string& path, CScriptedUser& user)
{
    CinkProxyDlg dialog;
    dialog.m_broadcast.m_broadcastPath = path.c_str();
    user.Start();
    const INT_PTR result = dialog.DoModal();
    user.Stop();
    return result;
}

std::function<bool(HWND)> AgentTest::WaitForButton(const char* caption, AgentSeen& seen)
{
    return [caption, &seen](HWND dialog) {
        if (TextOf(GetDlgItem(dialog, IDCANCEL)) != caption)
            return false;
        seen = LookAtAgent(dialog);
        return true;
    };
}

std::vector<std::string> AgentTest::FilesLeft() const
{
    std::vector<std::string> left;
    for (const std::string& name : ListFiles(TempDir())) {
        if (std::find(m_tempBefore.begin(), m_tempBefore.end(), name) == m_tempBefore.end())
            left.push_back(name);
    }
    return left;
}

std::vector<std::string> AgentTest::ReceiptFiles() const
{
    return ListFiles(m_receipts);
}
