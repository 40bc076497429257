// CSendBtn: the button that sends the open mail item out for electronic
// signature. Its click is the whole send road: the mail's recipients and
// attachments become one request (an OpSendDoc, at once the first
// operation and the record of the send); the user logs in and shapes the
// request in the send wizard; then either the step dialog runs the
// operations one after the other, or the request is written as operation
// files and a broadcast file that the agent (inkProxy.exe) sends once per
// recipient. Only a send that went through (or was handed to the agent)
// closes and deletes the mail item; every refusal leaves it as it was.
#pragma once

#include <memory>

#include "addin/commands/CmdBtn.h"
#include "classlib/com/CComPtr.h"
#include "shared/config/Credentials.h"

class CDlgSteps;
class CRecipID;
class CTempDoc;
class OpGetLink;
class OpSendDoc;

class CSendBtn : public CCmdBtn {
public:
    // Caption, face and mask ids (0 for a ribbon press).
    CSendBtn(UINT captionId = 0, UINT faceId = 0, UINT maskId = 0);
    ~CSendBtn() override;

    // FALSE while a send runs in this process or Outlook is offline, after
    // telling the user so.
    BOOL CanClick() override;
    // The send road. Always S_OK: each failure has been logged and, where
    // the user must know, shown.
    HRESULT OnClick() override;

    // Decides on, builds and runs the send wizard over the request (the
    // login done), then takes its result into the request and the mail
    // item. 0, kUserCancelled when the wizard was not finished, or
    // why it could not run.
    HRESULT RunSendWizard(OpSendDoc& request);
    // Fills "[Password]" and the roles' place-holders ("[role]") in the
    // request's subject and message; a broadcast keeps them for the agent
    // and only notes that the request has some.
    HRESULT ReplaceKeywords(OpSendDoc& request);
    // Attaches the chosen template's documents to the mail item (and to
    // the request's parts), writes the subject and body and saves the item.
    HRESULT AttachTemplateDocuments(OpSendDoc& request);
    // Adds address to the mail's recipients and resolves them.
    HRESULT AddMailRecipient(const char* address);
    // The request's subject (when it has one) becomes the item's, saved.
    HRESULT SetItemSubject(OpSendDoc& request);
    HRESULT SetItemProperty(const wchar_t* name, const char* text, BOOL save);
    // Shows the explorer's shortcuts pane; failures end it quietly.
    void ShowShortcuts();

    // The interactive send's steps, in the step dialog, as the send plan
    // (shared/service/SendPlan.h) lists them: create the request,
    // upload each document, hide the addresses (when asked), get the
    // request's link, let the user place the signatures (manual
    // positioning) and invite the signers (when asked and the mail has a
    // body). The request moves into the dialog with its first step (the
    // dialog owns every operation); until then it stays the caller's. link
    // receives the step that gets the request's link. 0, E_INVALIDARG
    // without a request, or E_OUTOFMEMORY.
    static HRESULT AddSendSteps(CDlgSteps& dialog, std::unique_ptr<OpSendDoc>& request,
                                const char* serviceUrl, OpGetLink** link);

    // Whether a send is running in this process: a second one is refused,
    // since it would reconnect the connection the first one uses.
    static bool IsSending();

    const CCredentials& GetCredentials() const { return m_credentials; }

protected:
    // Kept from the first login through this button for its later clicks.
    CCredentials m_credentials;
    int m_toCount = 0;     // To recipients found during the click
    int m_attachCount = 0; // the mail's supported attachments, this click
    CString m_subjectPlaceholder;
    CString m_attachmentPlaceholder;

private:
    struct CClick;

    HRESULT Send(CClick& click);
    void ShowRefusal(UINT messageId);
    // A refusal whose text names what is refused ("%s").
    void ShowRefusal(UINT messageId, const char* name);
    HRESULT Login(const char* serviceUrl);
    HRESULT SendBroadcast(CClick& click, const CString& serviceUrl);
    HRESULT SendInteractively(CClick& click, const CString& serviceUrl);
    // Every recipient of the mail becomes a signer or copy of the request;
    // the refusals of recipients the service cannot take.
    HRESULT ResolveRecipients(OpSendDoc& request, IDispatch* recipients, long count);
    // The mail body and the supported attachments become the request's
    // parts; the user may stop at unsupported ones.
    HRESULT CollectMailAttachments(OpSendDoc& request);
    // The gateways' result texts, joined.
    CString TellGateways(OpSendDoc& request, const CString& link);
    // The receipt task of a send that went through.
    void MakeReceipt(OpSendDoc& request, const CString& link, const CString& results);
    // Marks the mail sent, closes and deletes it.
    void FinishItem(const char* why);
    HRESULT AttachDocument(OpSendDoc& request, const CTempDoc& document);
    // Fills one place-holder (see ReplaceKeywords); whether it was there.
    bool ReplaceKeyword(OpSendDoc& request, const char* placeholder, const char* replacement);

    CString m_clickTime;
    CString m_mailSubject;         // the mail's own subject this click (empty: none)
    CComPtr<IDispatch> m_sendItem; // the mail being sent, while the send runs
};
