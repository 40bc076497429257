#include "standins/outlook/model/Folder.h"

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Items.h"

namespace standin {

CFolder::CFolder(CMailbox& mailbox, std::wstring name, long defaultItemType, long defaultId,
                 std::wstring entryId)
    : CAutoObject(L"MAPIFolder"), m_mailbox(&mailbox), m_name(std::move(name)),
      m_defaultItemType(defaultItemType), m_defaultId(defaultId), m_entryId(std::move(entryId))
{
    m_items = New<CItems>(*this);
    Getter(L"Name", [this](CCall& call) { call.Return(m_name); });
    Getter(L"DefaultItemType", [this](CCall& call) { call.Return(m_defaultItemType); });
    Getter(L"EntryID", [this](CCall& call) { call.Return(m_entryId); });
    Getter(L"Items", [this](CCall& call) { call.Return(m_items.Get()); });
}

CFolder::~CFolder()
{
    m_items->Orphan();
}

void CFolder::AddFolderField(const std::wstring& name)
{
    for (const std::wstring& field : m_folderFields)
        if (SameName(field, name))
            return;
    m_folderFields.push_back(name);
}

} // namespace standin
