// CSendRecipients: the send button's recipient side, for one click. Every
// Outlook recipient of the mail becomes the request's signers, each with an
// SMTP address: an SMTP user as it is, an Exchange user through the
// Exchange directory, a distribution list (public or private, nested too)
// member by member, and a user who is one of the Outlook contacts under the
// contact's full name.
//
// The button makes one per click over its own state: the Outlook
// Application, its credentials and its To count, which it sets to 0 first:
//
//     CSendRecipients recipients(m_application, m_credentials, m_toCount);
//     hr = recipients.ProcessRecipient(recipient, id, type, request, found, TRUE);
#pragma once

#include <vector>

#include <windows.h>
#include <oaidl.h>

#include "classlib/strings/CString.h"
#include "shared/config/Credentials.h"
#include "shared/requests/RecipID.h"

class OpSendDoc;

class CSendRecipients {
public:
    // application: whose MAPI namespace finds the contacts; credentials:
    // their address is the sending user's; toCount: one is added for every
    // signer of type To. None is owned; all outlive this object.
    CSendRecipients(IDispatch* application, const CCredentials& credentials, int& toCount)
        : m_application(application), m_credentials(credentials), m_toCount(toCount)
    {}
    CSendRecipients(const CSendRecipients&) = delete;
    CSendRecipients& operator=(const CSendRecipients&) = delete;

    // Turns one Outlook object into zero or more signers at the head of the
    // request's signer list (so they end up in the reverse of the mail's
    // order). With readAddressEntry, object is a recipient of the mail and
    // its AddressEntry is read; without, object is an address entry already
    // (a list's member). type (1 To, 2 Cc, 3 Bcc) goes to every signer made,
    // list members included. found is set once a signer is made. A list
    // that holds itself, directly or through other lists, is expanded once.
    // 0 also when nothing is made (a forum, an entry without SMTP address);
    // a failed AddressEntry, Members, Count or Item read, or a member that
    // fails, gives that failure: the recipient is invalid.
    HRESULT ProcessRecipient(IDispatch* object, CRecipID& id, long type, OpSendDoc* request,
                             BOOL& found, BOOL readAddressEntry);
    // Makes the signer of one user's address entry: an "SMTP" address as it
    // is, an "EX" one as its primary SMTP address (none when the directory
    // has none), any other type none. Named by id's full name when id knows
    // first, last and full name, else by the entry's Name (CleanDisplayName),
    // else by the address. Counts a To, notes when the signer is the
    // credentials' own address. 0, or the first failed read of Type, Address
    // or Name: the recipient is invalid. An entry without address makes
    // no signer and is noted (Unaddressed).
    HRESULT AddRecipient(IDispatch* addressEntry, CRecipID& id, long type, OpSendDoc* request,
                         BOOL& found);
    // Fills id from the Outlook contact behind a recipient or address entry
    // (its entry ID holds the contact's item ID): full name, first and last
    // name, and the first of Email1Address to Email3Address that holds an
    // "@". The item ID is kept as id's fifth text. Failures (no contact)
    // leave id as far as it got; callers need not look at the result.
    HRESULT GetContactInfoFromRecip(IDispatch* object, CRecipID& id);

    // The name of the first user entry that had no SMTP address (an empty
    // text while every one had). Such a recipient would not get the
    // request, so the caller refuses the send rather than leave it out.
    const CString& Unaddressed() const { return m_unaddressed; }

private:
    HRESULT ExpandList(IDispatch* list, long type, OpSendDoc* request, BOOL& found);

    IDispatch* m_application;
    const CCredentials& m_credentials;
    int& m_toCount;
    // The lists being expanded, outermost first, by their entries' IDs.
    std::vector<CString> m_openLists;
    CString m_unaddressed;
};

// A display name that holds an address loses it: the text is cut before the
// first "[", then before the first "(", then before the first "<", trimmed
// each time. A text without "@" stays as it is.
void CleanDisplayName(CString& name);
