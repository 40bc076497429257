// What the files of the send button's road share: the record of one click
// and the small helpers more than one of them needs. Private to addin/send.
#pragma once

#include <memory>

#include <oaidl.h>

#include "addin/send/DlgSteps.h"
#include "addin/send/SendBtn.h"
#include "classlib/strings/CString.h"
#include "shared/service/OpSendDoc.h"

// What one click makes and the common end lets go of.
struct CSendBtn::CClick {
    std::unique_ptr<OpSendDoc> ownedRequest; // until the step dialog takes it
    OpSendDoc* request = nullptr;
    std::unique_ptr<CDlgSteps> steps;
    CString mailSubject; // the mail's own, before any placeholder

    ~CClick()
    {
        if (request) {
            request->FreeParts();
            request->FreeRecipients();
        }
        // The dialog deletes its steps with their operations, the request
        // among them.
        steps.reset();
    }
};

namespace sendroad {

// The local date and time, as the C library's "%c" writes it.
CString Now();
// "subject (time)": the request's name on the service.
CString RequestName(const CString& subject, const CString& time);
// The text of a property's value; empty when it is no text.
CString TextOf(const VARIANT& value);

} // namespace sendroad
