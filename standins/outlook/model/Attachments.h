// CAttachments / CAttachment: the attachments of a stand-in item. A file
// attached by value (type 1) or by reference (4) is read in when it is
// added, so SaveAsFile writes the same bytes whatever happened to the file
// since; an embedded item (5) is kept in the ".msg" stand-in format.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CAttachments;
class CItem;

// Outlook's attachment types.
inline constexpr long kAttachByValue = 1;
inline constexpr long kAttachByReference = 4;
inline constexpr long kAttachEmbeddedItem = 5;
inline constexpr long kAttachOle = 6;

class CAttachment final : public CAutoObject {
public:
    CAttachment(CAttachments& owner, long type, std::wstring fileName, std::wstring displayName,
                std::wstring pathName, long position, std::string bytes);

    long Type() const { return m_type; }
    const std::wstring& FileName() const { return m_fileName; }
    const std::wstring& DisplayName() const { return m_displayName; }
    void SetDisplayName(std::wstring name);
    // The linked file of an attachment by reference; empty otherwise.
    const std::wstring& PathName() const { return m_pathName; }
    long Position() const { return m_position; }
    const std::string& Bytes() const { return m_bytes; }
    // 1-based; 0 once deleted.
    long Index() const;
    // The embedded item, read back from its bytes; null when not one.
    CComPtr<CItem> EmbeddedItem() const;
    // Writes the bytes; false (with the system's error) when it cannot.
    bool SaveAsFile(const std::wstring& path) const;

    void Detach() { m_owner = nullptr; }

private:
    ~CAttachment() override = default;

    CAttachments* m_owner;
    long m_type;
    std::wstring m_fileName;
    std::wstring m_displayName;
    std::wstring m_pathName;
    long m_position;
    std::string m_bytes;
};

class CAttachments final : public CAutoObject {
public:
    explicit CAttachments(CItem& item);

    size_t Count() const { return m_attachments.size(); }
    CAttachment* At(size_t zeroBased) const;
    // Any attachment as it stands (a test's fixture, the file readers).
    CAttachment& Add(long type, const std::wstring& fileName, const std::wstring& displayName,
                     const std::string& bytes, long position = 0,
                     const std::wstring& pathName = L"");
    // What Attachments.Add does with a file (types 1 and 4) or an item /
    // ".msg" file (type 5); throws CInvokeError as Outlook fails.
    CAttachment& AddFile(const std::wstring& path, long type, long position,
                         const std::wstring& displayName);
    CAttachment& AddItem(const CItem& item, long position, const std::wstring& displayName);
    void Remove(size_t zeroBased);
    void Clear();
    long IndexOf(const CAttachment& attachment) const;

    CItem* Item() const { return m_item; }
    void Changed();
    void Detach();

private:
    ~CAttachments() override;

    CItem* m_item;
    std::vector<CComPtr<CAttachment>> m_attachments;
};

} // namespace standin
