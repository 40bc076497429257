// CBroadcast: one broadcast, as the add-in hands it to the agent (the
// broadcast file naming every queued operation file) and as the agent works
// through it (the loaded files and the pending steps of the current target).
#pragma once

#include <memory>

#include "classlib/strings/CStringList.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/requests/FileMgr.h"
#include "shared/ui/StepOp.h"
#include "shared/xml/XMLDoc.h"

class OpSendDoc;

class CBroadcast : public CFileMgr {
public:
    CBroadcast() = default;
    CBroadcast(const CBroadcast&) = delete;
    CBroadcast& operator=(const CBroadcast&) = delete;
    // Deletes the file named by the path to delete, when there is one.
    ~CBroadcast() override;

    // Writes the broadcast file into a new ".xml" file of the temporary
    // folder, with the receipt subject and category of the request's send
    // options; its path, or null.
    const char* Write(const OpSendDoc& request);

    CTypedPtrList<CStepOp> m_steps{10};
    CTypedPtrList<CXMLDoc> m_docs{10};
    std::unique_ptr<CXMLDoc> m_broadcastDoc;
    std::unique_ptr<CXMLDoc> m_createDoc;
    std::unique_ptr<CXMLDoc> m_paramsDoc;
    std::unique_ptr<CXMLDoc> m_linkDoc;
    std::unique_ptr<CXMLDoc> m_inviteDoc;
    std::unique_ptr<CXMLDoc> m_recipsDoc;
    CString m_broadcastPath;
    CString m_createSignaturePath;
    CStringList m_addDocumentPaths;
    CString m_getLinkPath;
    CString m_setParamsPath;
    CString m_sendInvitePath;
    CString m_deletePath;
    CString m_entryId;
};
