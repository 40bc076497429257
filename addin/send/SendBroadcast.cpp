// The broadcast branch: the send plan written as operation files and one
// broadcast file, handed to the agent (inkProxy.exe) beside this module.
#include "addin/send/SendBtn.h"

#include <memory>

#include "addin/AddinResource.h"
#include "addin/send/SendClick.h"
#include "classlib/strings/LoadText.h"
#include "classlib/win32/ModulePath.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Launcher.h"
#include "shared/requests/Broadcast.h"
#include "shared/service/OpSendDoc.h"
#include "shared/service/SendPlan.h"
#include "shared/ui/DlgError.h"

using namespace automation;
using namespace sendroad;

namespace {

// The path of the module this code is in (QuillOff.dll; a test program
// that links the add-in in): the agent lives beside it.
CString ThisModulePath()
{
    static const char kInThisModule = 0;
    return ModulePathOf(ModuleHolding(&kInThisModule));
}

// Every file a broadcast has written so far: when the broadcast does not go
// to the agent, nobody else will delete them.
class CWrittenFiles {
public:
    CWrittenFiles() = default;
    CWrittenFiles(const CWrittenFiles&) = delete;
    CWrittenFiles& operator=(const CWrittenFiles&) = delete;
    ~CWrittenFiles()
    {
        if (m_keep)
            return;
        for (POSITION pos = m_paths.GetHeadPosition(); pos;) {
            const CString& path = m_paths.GetNext(pos);
            if (!path.IsEmpty())
                DeleteFileA(path);
        }
    }

    // The operation file and the pieces it names.
    void AddOperation(const OpQuillet& op, const CString& opFile)
    {
        m_paths.AddTail(opFile);
        for (POSITION pos = op.m_castlets.GetHeadPosition(); pos;)
            m_paths.AddTail(op.m_castlets.GetNext(pos)->m_path);
    }
    void Add(const CString& path) { m_paths.AddTail(path); }
    // The agent has them now.
    void HandOver() { m_keep = true; }

private:
    CStringList m_paths;
    bool m_keep = false;
};

} // namespace

HRESULT CSendBtn::SendBroadcast(CClick& click, const CString& serviceUrl)
{
    OpSendDoc& request = *click.request;
    IDispatch* item = m_sendItem.Get();
    auto broadcast = std::make_unique<CBroadcast>();
    CWrittenFiles written;

    // An operation file that cannot be written: the user is told and what
    // was written goes again.
    auto refuse = [this](HRESULT hr) {
        ShowRefusal(IDS_BROADCAST_NOT_FORMULATED);
        return FAILED(hr) ? hr : E_FAIL;
    };
    auto save = [&](OpQuillet& op, CString& path) {
        const HRESULT hr = op.SaveOpFile(path);
        if (SUCCEEDED(hr))
            written.AddOperation(op, path);
        return hr;
    };

    // The agent places no signatures: the question step has no file.
    for (const CPlannedStep& planned : PlanSend(request)) {
        if (planned.step == SendStep::kEditLocations)
            continue;
        HRESULT hr = S_OK;
        if (planned.step == SendStep::kCreate) {
            hr = save(request, broadcast->m_createSignaturePath);
        } else {
            std::unique_ptr<OpQuillet> op = MakeStepOperation(planned, request, serviceUrl);
            if (!op)
                return E_OUTOFMEMORY;
            CString path;
            hr = save(*op, path);
            if (SUCCEEDED(hr)) {
                switch (planned.step) {
                case SendStep::kUpload:
                    broadcast->m_addDocumentPaths.AddTail(path);
                    break;
                case SendStep::kSetParams:
                    broadcast->m_setParamsPath = path;
                    break;
                case SendStep::kGetLink:
                    broadcast->m_getLinkPath = path;
                    break;
                case SendStep::kInvite:
                    broadcast->m_sendInvitePath = path;
                    break;
                case SendStep::kCreate:
                case SendStep::kEditLocations:
                    break;
                }
            }
        }
        if (FAILED(hr))
            return refuse(hr);
    }

    CVariant entryId;
    if (SUCCEEDED(GetProp(item, L"EntryID", entryId.Put())))
        broadcast->m_entryId = TextOf(entryId);
    CSendOptions& receipt = request.m_request.m_sendOptions;
    if (receipt.m_receiptSubject.IsEmpty())
        receipt.m_receiptSubject = LoadText(IDS_RECEIPT_SUBJECT, "[Signer] %s");
    if (receipt.m_categoryTags.IsEmpty())
        receipt.m_categoryTags = LoadText(IDS_RECEIPT_CATEGORY, "Quillet");
    // The user's text: "%s" is filled as it stands, never as a format.
    receipt.m_receiptSubject.Replace("%s", click.mailSubject.IsEmpty() ? request.m_request.m_subject
                                                                       : click.mailSubject);

    const char* broadcastFile = broadcast->Write(request);
    if (!broadcastFile)
        return refuse(E_FAIL);
    const CString broadcastPath = broadcastFile;
    written.Add(broadcastPath);
    CLauncher launcher;
    if (!launcher.LaunchModuleProgram(ThisModulePath(), "inkProxy.exe", broadcastPath)) {
        // Nobody will send these files: they go, and the mail stays.
        ShowRefusal(IDS_AGENT_NOT_STARTED);
        return E_FAIL;
    }
    written.HandOver();
    FinishItem("broadcast");
    return S_OK;
}
