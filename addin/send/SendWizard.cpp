// The send wizard's road: whether and how the wizard is shown, and how its
// result goes back into the request and the mail item.
#include "addin/send/SendBtn.h"

#include "addin/AddinResource.h"
#include "addin/send/SendClick.h"
#include "addin/wizard/PgIntro.h"
#include "addin/wizard/PgSigPos.h"
#include "addin/wizard/PgSignSeq.h"
#include "addin/wizard/PgTemplate.h"
#include "addin/wizard/WizSheet.h"
#include "classlib/com/HResult.h"
#include "classlib/strings/LoadText.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"
#include "shared/service/Protocol.h"
#include "shared/service/ServiceGlobals.h"

using namespace sendroad;

HRESULT CSendBtn::RunSendWizard(OpSendDoc& request)
{
    CLogBlock block("CSendBtn::RunSendWizard");
    CServiceGlobals& globals = ServiceGlobals();
    CString serviceUrl;
    RETURN_IF_FAILED(CConfig().GetServiceUrl(serviceUrl, nullptr));
    if (!globals.protocol)
        return E_FAIL;
    globals.protocol->Disconnect();
    RETURN_IF_FAILED(globals.protocol->Connect(serviceUrl));

    CConfig config;
    const bool showIntro = config.GetShowWizIntro() == 1;
    const bool templatesOnly = config.GetTemplatesOnly() == 1;
    const bool singleClick = config.GetSingleClick() == 1;
    const bool hasAttachments = m_attachCount > 0;

    CWizSheet sheet(&m_credentials, globals.api, IDS_WIZ_CAPTION, DialogOwner());
    sheet.m_request = request.m_request;
    sheet.m_saved = sheet.m_request;

    int fitting = 0;
    CTemplate found;
    sheet.m_library.LoadTemplates(nullptr);
    // Templates whose document is the mail's attachment need one; a mail
    // without one needs a template that brings its own document.
    sheet.m_library.FindMatches(&sheet.m_request, fitting, &found, nullptr,
                                hasAttachments ? "" : m_attachmentPlaceholder.GetString());
    if (!hasAttachments && fitting == 0) {
        ShowRefusal(IDS_NO_ATTACHMENT_NO_TEMPLATE);
        return E_INVALIDARG;
    }

    CPgIntro intro(CWizPage::kFirstPage);
    CPgTemplate templatePage(fitting > 0 && showIntro ? CWizPage::kMiddlePage
                                                      : CWizPage::kFirstPage);
    CPgSigPos sigPos(fitting > 0 ? CWizPage::kMiddlePage : CWizPage::kFirstPage);
    CPgSignSeq signSeq(CWizPage::kLastPage);
    if (showIntro)
        sheet.AddPage(&intro);
    if (fitting > 0)
        sheet.AddPage(&templatePage);
    sheet.AddPage(&sigPos);
    sheet.AddPage(&signSeq);
    sheet.SetWizardMode();

    if (templatesOnly && fitting == 0) {
        ShowRefusal(IDS_TEMPLATES_ONLY_NONE_FITS);
        return E_FAIL;
    }

    bool showWizard = true;
    if (templatesOnly && singleClick && fitting == 1 && found.m_signatureDoc) {
        const CTempDoc& document = *found.m_signatureDoc;
        const bool usesAttachment = document.m_key == m_attachmentPlaceholder;
        const bool embedded = document.m_kind == CTempDoc::kEmbedded;
        if (SUCCEEDED(sheet.m_request.ApplyTemplate(&found)) &&
            ((usesAttachment && hasAttachments) || (embedded && !hasAttachments)))
            showWizard = false;
        else
            sheet.m_request = sheet.m_saved;
    }
    if (showWizard) {
        if (sheet.DoModal() != ID_WIZFINISH)
            return kUserCancelled;
        // The text says IDOK for a finished wizard on purpose: support reads
        // the logs of all installations by these texts.
        TheLog().Comment("Send Wizard returned IDOK");
        if (showIntro && intro.m_dontShowAgain)
            config.SetShowWizIntro(0);
    }

    CSendOptions& sheetOptions = sheet.m_request.m_sendOptions;
    if (sheetOptions.m_string1.IsEmpty())
        sheetOptions.m_string1 = RequestName(request.m_request.m_subject, Now());

    // The message before the wizard: a template's message replaces the
    // mail's own only where asked (below).
    const CString ownMessage = sheet.m_saved.m_message;
    request.m_request = sheet.m_request;
    sheet.m_request.m_keywordValues.RemoveAll();
    // The user's own entry, unticked again, is only marked on the page; the
    // request knows nothing of it, so no signer list, broadcast audience or
    // gateway made from the request has it.
    CTypedPtrList<CRecip>& signers = request.m_request.m_signers;
    for (POSITION pos = signers.GetHeadPosition(); pos;) {
        const POSITION here = pos;
        if (signers.GetNext(pos)->m_skip)
            delete signers.RemoveAt(here);
    }

    // The signers the wizard added (a template's, the user's own) become
    // recipients of the mail, so it shows whom it went to.
    for (POSITION pos = request.m_request.m_signers.GetHeadPosition(); pos;) {
        const CRecip* signer = request.m_request.m_signers.GetNext(pos);
        if (!signer->m_fromMail)
            AddMailRecipient(signer->m_email);
    }
    for (POSITION pos = request.m_request.m_signers.GetHeadPosition(); pos;) {
        CRecip* signer = request.m_request.m_signers.GetNext(pos);
        if (signer->m_role.IsEmpty())
            continue;
        for (POSITION at = sheet.m_request.m_roles.GetHeadPosition(); at;) {
            const CRole* role = sheet.m_request.m_roles.GetNext(at);
            if (role->m_name == signer->m_role) {
                signer->m_sequence = role->m_sequence;
                signer->m_sequenceText = role->m_sequenceText;
                break;
            }
        }
    }

    bool templateMessage = false;
    if (request.m_request.m_signatureDoc) {
        // The request's subject before the wizard is never empty (a mail
        // without one has the placeholder): whether the mail had its own is
        // what decides.
        bool fill = templatesOnly || m_mailSubject.IsEmpty();
        if (templatesOnly || request.IsMessageEmpty()) {
            templateMessage = true;
            fill = true;
        }
        if (!templateMessage)
            request.m_request.m_message = ownMessage;
        if (fill)
            RETURN_IF_FAILED(ReplaceKeywords(request));
        else
            // The mail keeps its own subject and message; the template's
            // subject would show its place-holders unfilled.
            request.m_request.m_subject = sheet.m_saved.m_subject;
        RETURN_IF_FAILED(AttachTemplateDocuments(request));
    } else {
        request.m_request.m_message = ownMessage;
    }

    if (request.m_request.m_subject.IsEmpty()) {
        request.DefaultSubject();
        SetItemSubject(request);
    }
    return S_OK;
}

bool CSendBtn::ReplaceKeyword(OpSendDoc& request, const char* placeholder, const char* replacement)
{
    CTemplate& model = request.m_request;
    if (model.IsBroadcast()) {
        // The agent fills them per recipient.
        return model.m_subject.Find(placeholder) >= 0 || model.m_message.Find(placeholder) >= 0;
    }
    int replaced = model.m_subject.Replace(placeholder, replacement);
    if (!model.m_message.IsEmpty())
        replaced += model.m_message.Replace(placeholder, replacement);
    return replaced > 0;
}

HRESULT CSendBtn::ReplaceKeywords(OpSendDoc& request)
{
    CLogBlock block("CSendBtn::ReplaceKeywords");
    bool any = false;
    const CString& password = request.m_request.m_sendOptions.m_password;
    if (!password.IsEmpty())
        any |= ReplaceKeyword(request, LoadText(IDS_PASSWORD_PLACEHOLDER, "[Password]"), password);
    for (POSITION pos = request.m_request.m_signers.GetHeadPosition(); pos;) {
        const CRecip* signer = request.m_request.m_signers.GetNext(pos);
        if (signer->m_role.IsEmpty())
            continue;
        // Role names are the template author's text: put together, never
        // used as a format.
        const CString placeholder = "[" + signer->m_role + "]";
        any |= ReplaceKeyword(request, placeholder,
                              signer->m_name.IsEmpty() ? signer->m_email : signer->m_name);
    }
    if (any)
        request.m_roleMap = 1;
    return S_OK;
}
