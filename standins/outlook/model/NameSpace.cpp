#include "standins/outlook/model/NameSpace.h"

#include "standins/outlook/model/Application.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"

namespace standin {

CNameSpace::CNameSpace(CApplication& application)
    : CAutoObject(L"NameSpace"), m_application(&application)
{
    Getter(L"Type", [](CCall& call) { call.Return(L"MAPI"); });
    Getter(L"Application", [this](CCall& call) { call.Return(&Application()); });
    Getter(L"Offline", [this](CCall& call) { call.ReturnBool(m_offline); });
    Method(L"GetDefaultFolder", 1, 1, [this](CCall& call) {
        CFolder* folder = Application().Mailbox().DefaultFolder(call.Long(0));
        if (!folder)
            Fail(E_INVALIDARG, L"The parameter is incorrect.");
        call.Return(folder);
    });
    // Outlook accepts a store ID as second argument; one store here.
    Method(L"GetItemFromID", 1, 2, [this](CCall& call) {
        CItem* item = Application().Mailbox().FindByEntryId(call.Text(0));
        if (!item)
            Fail(kObjectNotFound, L"The operation failed. An object could not be found.");
        call.Return(item);
    });
    Method(L"Logon", 0, 4, [](CCall&) {});
    Method(L"Logoff", 0, 0, [](CCall&) {});
}

CApplication& CNameSpace::Application() const
{
    if (!m_application)
        Fail(E_FAIL, L"The application has ended.");
    return *m_application;
}

} // namespace standin
