#include "standins/outlook/model/Attachments.h"

#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/ItemImage.h"
#include "standins/outlook/model/Mailbox.h"
#include "standins/outlook/model/RecordFile.h"

namespace standin {

namespace {

std::wstring NamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Outlook names an embedded item after its subject.
std::wstring EmbeddedFileName(const CItem& item)
{
    std::wstring subject = item.Subject();
    if (subject.empty())
        subject = L"Untitled";
    return subject + L".msg";
}

[[noreturn]] void FailFile(const std::wstring& error)
{
    const DWORD code = GetLastError();
    Fail(code ? HRESULT_FROM_WIN32(code) : E_FAIL, L"Cannot add the attachment. " + error);
}

} // namespace

CAttachment::CAttachment(CAttachments& owner, long type, std::wstring fileName,
                         std::wstring displayName, std::wstring pathName, long position,
                         std::string bytes)
    : CAutoObject(L"Attachment"), m_owner(&owner), m_type(type), m_fileName(std::move(fileName)),
      m_displayName(std::move(displayName)), m_pathName(std::move(pathName)), m_position(position),
      m_bytes(std::move(bytes))
{
    Getter(L"Index", [this](CCall& call) { call.Return(Index()); });
    Getter(L"Type", [this](CCall& call) { call.Return(m_type); });
    Getter(L"FileName", [this](CCall& call) { call.Return(m_fileName); });
    Property(
        L"DisplayName", [this](CCall& call) { call.Return(m_displayName); },
        [this](CCall& call) { SetDisplayName(call.ValueText()); });
    Getter(L"PathName", [this](CCall& call) { call.Return(m_pathName); });
    Getter(L"Position", [this](CCall& call) { call.Return(m_position); });
    Getter(L"Size", [this](CCall& call) { call.Return(static_cast<long>(m_bytes.size())); });
    Method(L"SaveAsFile", 1, 1, [this](CCall& call) {
        const std::wstring path = call.Text(0);
        std::wstring error;
        if (!WriteWholeFile(path, m_bytes, &error)) {
            const DWORD code = GetLastError();
            Fail(code ? HRESULT_FROM_WIN32(code) : E_FAIL, L"Cannot save the attachment. " + error);
        }
    });
    Method(L"Delete", 0, 0, [this](CCall&) {
        if (m_owner && Index() > 0)
            m_owner->Remove(static_cast<size_t>(Index() - 1));
    });
}

void CAttachment::SetDisplayName(std::wstring name)
{
    m_displayName = std::move(name);
    if (m_owner)
        m_owner->Changed();
}

long CAttachment::Index() const
{
    return m_owner ? m_owner->IndexOf(*this) : 0;
}

CComPtr<CItem> CAttachment::EmbeddedItem() const
{
    if (m_type != kAttachEmbeddedItem)
        return nullptr;
    CItem* item = m_owner ? m_owner->Item() : nullptr;
    return ItemFromMsg(m_bytes,
                       item ? item->Mailbox() ? item->Mailbox()->Link() : nullptr : nullptr);
}

bool CAttachment::SaveAsFile(const std::wstring& path) const
{
    return WriteWholeFile(path, m_bytes, nullptr);
}

CAttachments::CAttachments(CItem& item) : CAutoObject(L"Attachments"), m_item(&item)
{
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_attachments.size())); });
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        call.Return(m_attachments[CollectionIndex(call.Long(0), m_attachments.size())].Get());
    });
    Method(L"Add", 1, 4, [this](CCall& call) {
        const long type = call.Long(1, kAttachByValue);
        const long position = call.Long(2, 0);
        const std::wstring displayName = call.Text(3, L"");
        const VARIANT& source = call.Arg(0);
        if (source.vt == VT_DISPATCH || source.vt == (VT_DISPATCH | VT_BYREF)) {
            CItem* item = Unwrap<CItem>(call.Object(0));
            if (!item || type != kAttachEmbeddedItem)
                Fail(E_INVALIDARG, L"The parameter is incorrect.");
            call.Return(&AddItem(*item, position, displayName));
            return;
        }
        call.Return(&AddFile(call.Text(0), type, position, displayName));
    });
    Method(L"Remove", 1, 1,
           [this](CCall& call) { Remove(CollectionIndex(call.Long(0), m_attachments.size())); });
}

CAttachments::~CAttachments()
{
    for (const auto& attachment : m_attachments)
        attachment->Detach();
}

CAttachment* CAttachments::At(size_t zeroBased) const
{
    return zeroBased < m_attachments.size() ? m_attachments[zeroBased].Get() : nullptr;
}

CAttachment& CAttachments::Add(long type, const std::wstring& fileName,
                               const std::wstring& displayName, const std::string& bytes,
                               long position, const std::wstring& pathName)
{
    m_attachments.push_back(
        New<CAttachment>(*this, type, fileName, displayName, pathName, position, bytes));
    Changed();
    return *m_attachments.back();
}

CAttachment& CAttachments::AddFile(const std::wstring& path, long type, long position,
                                   const std::wstring& displayName)
{
    if (type != kAttachByValue && type != kAttachByReference && type != kAttachEmbeddedItem)
        Fail(E_INVALIDARG, L"The parameter is incorrect.");
    std::string bytes;
    std::wstring error;
    SetLastError(0);
    if (!ReadWholeFile(path, bytes, &error))
        FailFile(error);
    if (type == kAttachEmbeddedItem) {
        CComPtr<CItem> item = ItemFromMsg(bytes, nullptr, &error);
        if (!item) {
            SetLastError(0);
            FailFile(path + L": " + error);
        }
        return AddItem(*item, position, displayName);
    }
    const std::wstring fileName = NamePart(path);
    return Add(type, fileName, displayName.empty() ? fileName : displayName, bytes, position,
               type == kAttachByReference ? path : L"");
}

CAttachment& CAttachments::AddItem(const CItem& item, long position,
                                   const std::wstring& displayName)
{
    const std::wstring fileName = EmbeddedFileName(item);
    const std::wstring subject = item.Subject().empty() ? L"Untitled" : item.Subject();
    return Add(kAttachEmbeddedItem, fileName, displayName.empty() ? subject : displayName,
               ItemToMsg(item), position);
}

void CAttachments::Remove(size_t zeroBased)
{
    if (zeroBased >= m_attachments.size())
        return;
    m_attachments[zeroBased]->Detach();
    m_attachments.erase(m_attachments.begin() + static_cast<std::ptrdiff_t>(zeroBased));
    Changed();
}

void CAttachments::Clear()
{
    for (const auto& attachment : m_attachments)
        attachment->Detach();
    m_attachments.clear();
    Changed();
}

long CAttachments::IndexOf(const CAttachment& attachment) const
{
    for (size_t i = 0; i < m_attachments.size(); ++i)
        if (m_attachments[i].Get() == &attachment)
            return static_cast<long>(i + 1);
    return 0;
}

void CAttachments::Changed()
{
    if (m_item)
        m_item->Touch();
}

void CAttachments::Detach()
{
    m_item = nullptr;
}

} // namespace standin
