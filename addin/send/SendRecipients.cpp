#include "addin/send/SendRecipients.h"

#include <memory>
#include <new>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/identity/Proxy.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/service/OpSendDoc.h"

using namespace automation;

namespace {

// Where an Outlook entry ID holds the contact's item ID.
constexpr int kContactIdAt = 72;
constexpr int kContactIdLength = 48;

// The contact's address field when it holds an "@" (logged either way).
bool TakeEmail(IDispatch* contact, const wchar_t* field, const char* getting, const char* got,
               CRecipID& id)
{
    TheLog().Comment(getting);
    CString email;
    if (FAILED(CDispatcher::GetTextProp(contact, field, email)))
        return false;
    TheLog().CommentFormat(got, email);
    if (email.Find('@') < 0)
        return false;
    id.SetEmail(email);
    return true;
}

bool HasAddress(const CRecipID& id)
{
    return id.m_email.Find('@') >= 0;
}

// Takes its list off the open ones however the expansion ends.
class COpenList {
public:
    COpenList(std::vector<CString>& open, const CString& key) : m_open(open)
    {
        m_open.push_back(key);
    }
    COpenList(const COpenList&) = delete;
    COpenList& operator=(const COpenList&) = delete;
    ~COpenList() { m_open.pop_back(); }

private:
    std::vector<CString>& m_open;
};

} // namespace

HRESULT CSendRecipients::ProcessRecipient(IDispatch* object, CRecipID& id, long type,
                                          OpSendDoc* request, BOOL& found, BOOL readAddressEntry)
{
    if (!object || !request)
        return E_POINTER;
    try {
        TheLog().Comment("Getting DisplayType");
        long displayType = ol::kDisplayUser;
        if (FAILED(CDispatcher::GetLongProp(object, L"DisplayType", displayType)))
            displayType = ol::kDisplayUser;
        TheLog().Comment("Got DisplayType");

        IDispatch* entry = object;
        CVariant entryValue;
        if (readAddressEntry) {
            TheLog().Comment("Getting AddressEntry");
            const HRESULT hr = CDispatcher::GetProp(object, L"AddressEntry", entryValue.Put());
            if (FAILED(hr))
                return hr;
            // Outlook has no entry for a recipient it could not resolve.
            if (!IsObject(entryValue))
                return E_FAIL;
            entry = entryValue.pdispVal;
        }

        switch (displayType) {
        case ol::kDisplayUser:
        case ol::kDisplayRemoteUser:
            GetContactInfoFromRecip(object, id);
            return AddRecipient(entry, id, type, request, found);
        case ol::kDisplayDistList:
        case ol::kDisplayPrivateDistList:
            return ExpandList(entry, type, request, found);
        default:
            // A forum, an agent, an organisation: no one to sign.
            return S_OK;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CSendRecipients::ExpandList(IDispatch* list, long type, OpSendDoc* request, BOOL& found)
{
    // A list is known by its entry's ID; the address and name stand in for
    // an ID that cannot be read.
    CString key;
    if (FAILED(CDispatcher::GetTextProp(list, L"ID", key)) || key.IsEmpty()) {
        CString address;
        CString name;
        CDispatcher::GetTextProp(list, L"Address", address);
        CDispatcher::GetTextProp(list, L"Name", name);
        key = "\t" + address + "\t" + name;
    }
    for (const CString& open : m_openLists) {
        if (open == key) {
            TheLog().Warning("A distribution list holds itself; it is expanded once");
            return S_OK;
        }
    }
    COpenList opened(m_openLists, key);

    CVariant members;
    HRESULT hr = CDispatcher::GetProp(list, L"Members", members.Put());
    if (FAILED(hr))
        return hr;
    if (!IsObject(members))
        return S_OK;
    long count = 0;
    hr = CDispatcher::GetLongProp(members.pdispVal, L"Count", count);
    if (FAILED(hr))
        return hr;
    for (long i = 1; i <= count; ++i) {
        VARIANT index[] = {LongArg(i)};
        CVariant member;
        hr = CDispatcher::CallMethod(members.pdispVal, L"Item", member.Put(), 1, index);
        if (FAILED(hr))
            return hr;
        if (!IsObject(member))
            return E_FAIL;
        CRecipID memberId;
        hr = ProcessRecipient(member.pdispVal, memberId, type, request, found, FALSE);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CSendRecipients::GetContactInfoFromRecip(IDispatch* object, CRecipID& id)
{
    try {
        TheLog().Comment("CSendBtn::GetContactInfoFromRecip: GetNamespace");
        CBstr mapi(L"MAPI");
        VARIANT mapiArg[] = {BorrowedTextArg(mapi.Get())};
        CVariant nameSpace;
        HRESULT hr =
            CDispatcher::CallMethod(m_application, L"GetNamespace", nameSpace.Put(), 1, mapiArg);
        if (FAILED(hr))
            return hr;
        if (!IsObject(nameSpace))
            return E_FAIL;

        // A recipient names its identifier EntryID; an address entry (a
        // list's member) has none by that name, and names it ID.
        CString entryId;
        hr = CDispatcher::GetTextProp(object, L"EntryID", entryId);
        if (FAILED(hr) || entryId.IsEmpty())
            hr = CDispatcher::GetTextProp(object, L"ID", entryId);
        if (FAILED(hr))
            return hr;
        // Only an entry ID long enough to hold an item ID can name a contact.
        if (entryId.GetLength() < kContactIdAt + kContactIdLength)
            return MAPI_E_NOT_FOUND;
        id.m_extra = entryId.Mid(kContactIdAt, kContactIdLength);

        CBstr itemId(id.m_extra);
        VARIANT idArg[] = {BorrowedTextArg(itemId.Get())};
        CVariant contact;
        hr = CDispatcher::CallMethod(nameSpace.pdispVal, L"GetItemFromID", contact.Put(), 1, idArg);
        if (FAILED(hr))
            return hr;
        if (!IsObject(contact))
            return MAPI_E_NOT_FOUND;

        TheLog().Comment("CSendBtn::GetContactInfoFromRecip: Getting FullName");
        CString fullName;
        hr = CDispatcher::GetTextProp(contact.pdispVal, L"FullName", fullName);
        if (FAILED(hr))
            return hr;
        TheLog().CommentFormat("GetContactInfoFromRecip: FullName is %s", fullName);
        id.SplitFullName(fullName);

        TheLog().Comment("CSendBtn::GetContactInfoFromRecip: Getting Email1Address");
        CString email;
        hr = CDispatcher::GetTextProp(contact.pdispVal, L"Email1Address", email);
        TheLog().CommentFormat("GetContactInfoFromRecip: Email1Address is %s", email);
        if (SUCCEEDED(hr))
            id.SetEmail(email);
        if (!HasAddress(id))
            TakeEmail(contact.pdispVal, L"Email2Address",
                      "CSendBtn::GetContactInfoFromRecip: Getting Email2Address",
                      "GetContactInfoFromRecip: Email2Address is %s", id);
        if (!HasAddress(id))
            TakeEmail(contact.pdispVal, L"Email3Address",
                      "CSendBtn::GetContactInfoFromRecip: Getting Email3Address",
                      "GetContactInfoFromRecip: Email3Address is %s", id);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CSendRecipients::AddRecipient(IDispatch* addressEntry, CRecipID& id, long type,
                                      OpSendDoc* request, BOOL& found)
{
    if (!addressEntry || !request)
        return E_POINTER;
    try {
        CString entryType;
        HRESULT hr = CDispatcher::GetTextProp(addressEntry, L"Type", entryType);
        if (FAILED(hr))
            return hr;
        CString address;
        if (entryType == "EX") {
            CString exchange;
            hr = CDispatcher::GetTextProp(addressEntry, L"Address", exchange);
            if (FAILED(hr))
                return hr;
            TheLog().Comment(exchange);
            CProxy directory;
            if (FAILED(directory.GetSmtpProxy(exchange, address)))
                address.Empty();
        } else if (entryType == "SMTP") {
            hr = CDispatcher::GetTextProp(addressEntry, L"Address", address);
            if (FAILED(hr))
                return hr;
        }

        CString name;
        if (!id.m_firstName.IsEmpty() && !id.m_lastName.IsEmpty() && !id.m_fullName.IsEmpty()) {
            name = id.m_fullName;
        } else {
            hr = CDispatcher::GetTextProp(addressEntry, L"Name", name);
            if (FAILED(hr))
                return hr;
            CleanDisplayName(name);
        }

        if (address.IsEmpty()) {
            if (m_unaddressed.IsEmpty()) {
                m_unaddressed = name;
                if (m_unaddressed.IsEmpty())
                    CDispatcher::GetTextProp(addressEntry, L"Name", m_unaddressed);
            }
            return hr;
        }
        found = TRUE;
        std::unique_ptr<CRecip> signer(new CRecip);
        signer->m_email = address;
        signer->m_name = name.IsEmpty() ? address : name;
        signer->m_recipType = static_cast<int>(type);
        if (type == ol::kRecipientTo)
            ++m_toCount;
        else
            signer->m_sequence = -1;
        if (address == m_credentials.m_email)
            request->m_request.m_senderIsRecipient = 1;
        signer->m_fromMail = 1;
        request->m_request.m_signers.AddHead(signer.get());
        signer.release();
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void CleanDisplayName(CString& name)
{
    if (name.Find('@') < 0)
        return;
    for (char delimiter : {'[', '(', '<'}) {
        const int at = name.Find(delimiter);
        if (at >= 0) {
            name = name.Left(at);
            name.Trim();
        }
    }
}
