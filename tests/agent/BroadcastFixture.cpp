#include "tests/agent/BroadcastFixture.h"

#include "shared/requests/Broadcast.h"
#include "shared/requests/BodyPart.h"
#include "shared/requests/Recip.h"
#include "shared/service/OpAddDoc.h"
#include "shared/service/OpGetLink.h"
#include "shared/service/OpInvite.h"
#include "shared/service/OpParam.h"
#include "shared/service/OpSendDoc.h"
#include "tests/support/FakeAttachment.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

std::vector<BroadcastTargetShape> ThreeTargets()
{
    return {{"ann@example.com", "Ann Archer", "Buyer", 1},
            {"zoe@example.com", "Zo\xEB \xDCnal", "<Seller>", 2},
            {"carl@example.com", "Carl Cole", "Witness", 1}};
}

std::string CBroadcastWriter::Write(const BroadcastShape& shape, const char* url)
{
    testenv::WriteDword(testenv::kProductKey, "MakeReceipt", shape.receipts ? 1 : 0);
    auto mail = CFakeDispatch::Create();
    mail->Prop(L"Body", Widen(shape.message).c_str()).Prop(L"HTMLBody", L"<p>not sent</p>");
    m_objects.push_back(mail);

    CCredentials sender;
    sender.m_email = "demo.user@example.com";
    sender.m_accountId = "QUILLET-DEMO-0001";
    OpSendDoc request(url);
    request.m_credentials = sender;
    request.m_roleMap = shape.roleMap ? 1 : 0;
    auto* message = new CBodyPart(mail.Get(), 0, "Message Body", "Message Body", "");
    request.AppendPart(message);
    std::vector<CBodyPart*> documents;
    for (size_t i = 0; i < shape.documents.size(); ++i) {
        m_objects.push_back(Attachment(shape.documents[i]));
        const std::string name = "document" + std::to_string(i + 1) + ".pdf";
        auto* part = new CBodyPart(m_objects.back().Get(), static_cast<LONG>(i + 1), name.c_str(),
                                   "Attachment", "");
        request.AppendPart(part);
        documents.push_back(part);
    }
    if (shape.roleMap) {
        auto* fixed = new CRecip;
        fixed->m_email = "approver@example.com";
        fixed->m_name = "Al Approver";
        fixed->m_role = "Approver";
        fixed->m_sequence = 1;
        fixed->m_hardCoded = 1;
        request.m_request.m_signers.AddTail(fixed);
    }
    for (const auto& target : shape.targets) {
        auto* recip = new CRecip;
        recip->m_email = target.email.c_str();
        recip->m_name = target.name.c_str();
        recip->m_role = target.role.c_str();
        recip->m_sequence = target.tier;
        request.m_request.m_signers.AddTail(recip);
    }
    CSendOptions& options = request.m_request.m_sendOptions;
    options.m_string1 = "Lease [Buyer] [Approver]";
    options.m_hideEmailAddrs = shape.hideAddresses ? 1 : 0;
    options.m_sendInvite = shape.invite ? 1 : 0;
    options.m_receiptSubject = shape.receiptSubject.c_str();
    options.m_categoryTags = shape.receiptCategory.c_str();

    CBroadcast broadcast;
    if (FAILED(request.SaveOpFile(broadcast.m_createSignaturePath)))
        return {};
    auto queue = [&](OpQuillet& op, CString& path) {
        op.m_credentials = sender;
        op.m_fileId = &request.m_result;
        return SUCCEEDED(op.SaveOpFile(path));
    };
    for (CBodyPart* part : documents) {
        OpAddDoc upload(url);
        upload.m_document = part;
        CString path;
        if (!queue(upload, path))
            return {};
        broadcast.m_addDocumentPaths.AddTail(path);
    }
    if (shape.hideAddresses) {
        OpParam params(url);
        if (!queue(params, broadcast.m_setParamsPath))
            return {};
    }
    OpGetLink link(url);
    if (!queue(link, broadcast.m_getLinkPath))
        return {};
    if (shape.invite) {
        OpInvite invite(url);
        invite.m_messagePart = message;
        if (!queue(invite, broadcast.m_sendInvitePath))
            return {};
    }
    const char* written = broadcast.Write(request);
    const std::string path = written ? written : "";
    // The agent owns the files now: nothing here deletes them.
    broadcast.m_broadcastPath.Empty();
    request.FreeParts();
    return path;
}
