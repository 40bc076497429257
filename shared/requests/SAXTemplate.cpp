#include "shared/requests/SAXTemplate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "classlib/com/Barrier.h"
#include "shared/log/DebugLog.h"
#include "shared/requests/Template.h"
#include "shared/xml/Base64Coder.h"

namespace {

constexpr const char* kRoot = "inkTemplate";
constexpr const char* kDocument = "Document";
constexpr const char* kSigner = "Signer";

// Value elements and the container each is captured under.
constexpr struct {
    const char* child;
    const char* parent;
} kValues[] = {
    {"Description", kRoot},       {"Name", kRoot},
    {"Name", kDocument},          {"Name", kSigner},
    {"Key", kDocument},           {"Type", kDocument},
    {"FileBytes", kDocument},     {"Subject", kRoot},
    {"Message", kRoot},           {"SignatureType", kRoot},
    {"SendMode", kRoot},          {"Positioning", kRoot},
    {"MouseTouchSigning", kRoot}, {"HideEmailAddrs", kRoot},
    {"Password", kRoot},          {"Role", kSigner},
    {"Email", kSigner},           {"Sequence", kSigner},
    {"Sender", kSigner},          {"HardCoded", kSigner},
};

} // namespace

CSAXTemplate::CSAXTemplate(CTemplate* target) : CSAXContentHandler(target) {}

std::vector<LargeElement> CSAXTemplate::LargeElements() const
{
    return {{"FileBytes", LargeText::Copy}};
}

CTemplate& CSAXTemplate::Template() const
{
    return *static_cast<CTemplate*>(GetTarget());
}

HRESULT CSAXTemplate::startElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                   const wchar_t* qName, int qLength, ISAXAttributes*)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXTemplate::startElement", S_OK, [&] {
        Start(ElementName(localName, localLength, qName, qLength));
        return S_OK;
    });
}

HRESULT CSAXTemplate::endElement(const wchar_t*, int, const wchar_t* localName, int localLength,
                                 const wchar_t* qName, int qLength)
{
    // Whatever was not captured is simply missing from the target.
    return CatchAtEdge("CSAXTemplate::endElement", S_OK, [&] {
        End(ElementName(localName, localLength, qName, qLength));
        return S_OK;
    });
}

void CSAXTemplate::Start(const CString& name)
{
    if (!GetTarget())
        return;
    if (name == kRoot) {
        PushTarget(name);
        return;
    }
    if (name == kDocument) {
        if (m_stack.IsEmpty())
            return;
        auto document = std::make_unique<CTempDoc>();
        document->m_fromTemplate = 1;
        CTempDoc* raw = document.get();
        m_stack.PushOwned(std::move(document));
        m_currentDoc = raw;
        return;
    }
    if (name == kSigner) {
        if (!m_stack.IsEmpty())
            m_stack.PushOwned(std::make_unique<CRecip>(kSigner));
        return;
    }
    const CXMLElem* top = m_stack.Top();
    if (!top)
        return;
    for (const auto& value : kValues) {
        if (!(name == value.child) || !(top->m_elementName == value.parent))
            continue;
        if (name == "Type" && !m_currentDoc)
            return;
        CXMLElem* parent = nullptr;
        CXMLElem* capture = nullptr;
        if (PushTextElement(value.parent, value.child, &parent, &capture) == S_OK)
            BindCapture(name, *parent, *capture);
        return;
    }
}

void CSAXTemplate::BindCapture(const CString& name, CXMLElem& parent, CXMLElem& capture)
{
    m_number.Empty();
    auto number = [this, &capture](int& field) {
        capture.m_textTarget = &m_number;
        capture.m_numberTarget = &field;
    };
    if (auto* document = dynamic_cast<CTempDoc*>(&parent)) {
        if (name == "Name") {
            capture.m_textTarget = &document->m_name;
        } else if (name == "Key") {
            capture.m_textTarget = &document->m_key;
        } else if (name == "Type") {
            document->m_type.Empty();
            capture.m_textTarget = &document->m_type;
        } else if (name == "FileBytes") {
            if (FAILED(OpenFileCapture(capture)))
                TheLog().Error("CSAXTemplate: no temporary file for an embedded document");
        }
        return;
    }
    if (auto* signer = dynamic_cast<CRecip*>(&parent)) {
        if (name == "Name")
            capture.m_textTarget = &signer->m_name;
        else if (name == "Role")
            capture.m_textTarget = &signer->m_role;
        else if (name == "Email")
            capture.m_textTarget = &signer->m_email;
        else if (name == "Sequence")
            number(signer->m_sequence); // the text joins the sequence text at the end
        else if (name == "Sender")
            number(signer->m_sender);
        else if (name == "HardCoded")
            number(signer->m_hardCoded);
        return;
    }
    if (&parent != GetTarget())
        return;
    CTemplate& target = Template();
    CSendOptions& options = target.m_sendOptions;
    if (name == "Description")
        capture.m_textTarget = &target.m_description;
    else if (name == "Name")
        capture.m_textTarget = &target.m_name;
    else if (name == "Subject")
        capture.m_textTarget = &target.m_subject;
    else if (name == "Message")
        capture.m_textTarget = &target.m_message;
    else if (name == "Password")
        capture.m_textTarget = &options.m_password;
    else if (name == "SignatureType")
        number(options.m_signatureType);
    else if (name == "SendMode")
        number(options.m_sendMode);
    else if (name == "Positioning")
        number(options.m_positioning);
    else if (name == "MouseTouchSigning")
        number(options.m_mouseSignAllowed);
    else if (name == "HideEmailAddrs")
        number(options.m_hideEmailAddrs);
}

void CSAXTemplate::End(const CString& name)
{
    CSAXStack::Entry entry = PopNamed(name);
    if (!entry || !entry.get_deleter().owned)
        return; // the template leaves the stack; it is never deleted here

    if (name == "FileBytes") {
        // Closed now, so that whoever reads the path finds the text whole.
        entry->m_tempFile.reset();
        const LiftedText* lifted = TakeLifted(*entry);
        auto* document = dynamic_cast<CTempDoc*>(m_stack.Top());
        if (!document || entry->m_tempPath.IsEmpty()) {
            if (!entry->m_tempPath.IsEmpty())
                DeleteFileA(entry->m_tempPath);
            if (document)
                document->m_kind = CTempDoc::kEmbedded;
            return;
        }
        // Checked now (a lifted text was checked as it was lifted), so that
        // a template never hands on bytes that would decode to garbage.
        File64Coder coder;
        if (lifted ? !lifted->base64 : !coder.IsBase64File(entry->m_tempPath)) {
            DeleteFileA(entry->m_tempPath);
            Refuse("CSAXTemplate: an embedded document is not base64");
            return;
        }
        document->m_kind = CTempDoc::kEmbedded;
        document->TakeEmbeddedFile(entry->m_tempPath);
        return;
    }
    if (name == kDocument) {
        if (auto* document = dynamic_cast<CTempDoc*>(entry.get())) {
            entry.release();
            std::unique_ptr<CTempDoc> owned(document);
            if (m_currentDoc == document)
                m_currentDoc = nullptr;
            FileDocument(std::move(owned));
        }
        return;
    }
    if (name == kSigner) {
        if (auto* signer = dynamic_cast<CRecip*>(entry.get())) {
            entry.release();
            std::unique_ptr<CRecip> owned(signer);
            Template().m_signers.AddHead(owned.get());
            owned.release();
        }
        return;
    }
    if (entry->m_numberTarget) {
        *entry->m_numberTarget = std::atoi(m_number);
        if (name == "Sequence") {
            if (auto* signer = dynamic_cast<CRecip*>(m_stack.Top()))
                signer->m_sequenceText += m_number;
        }
        m_number.Empty();
    }
}

void CSAXTemplate::FileDocument(std::unique_ptr<CTempDoc> document)
{
    // Bytes of its own make a document embedded whatever its key says.
    if (document->m_kind != CTempDoc::kEmbedded && document->m_key == document->m_name)
        document->m_kind = CTempDoc::kKeyIsName;
    CTemplate& target = Template();
    std::unique_ptr<CTempDoc>* slot = nullptr;
    if (document->m_type == "Signature")
        slot = &target.m_signatureDoc;
    else if (document->m_type == "Reference")
        slot = &target.m_referenceDoc;
    else if (document->m_type == "Informative")
        slot = &target.m_infoDoc;
    if (!slot)
        return; // not kept: its embedded file goes with it
    m_filed.erase(std::remove(m_filed.begin(), m_filed.end(), slot->get()), m_filed.end());
    m_filed.push_back(document.get());
    // A document replaced by a later block takes its embedded file along.
    *slot = std::move(document);
}

void CSAXTemplate::Refuse(const char* why)
{
    TheLog().Error(why);
    if (SUCCEEDED(m_failure))
        m_failure = E_FAIL;
}

void CSAXTemplate::DiscardFiled()
{
    CTemplate& target = Template();
    for (std::unique_ptr<CTempDoc>* slot :
         {&target.m_signatureDoc, &target.m_referenceDoc, &target.m_infoDoc}) {
        if (std::find(m_filed.begin(), m_filed.end(), slot->get()) != m_filed.end())
            slot->reset();
    }
    m_filed.clear();
}
