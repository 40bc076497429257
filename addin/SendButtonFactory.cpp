#include "addin/SendButtonFactory.h"

#include <new>

#include "addin/CmdBtn.h"

CCmdBtn* NewSendButton(UINT captionId, UINT faceId, UINT maskId)
{
    // The send road's button class replaces the plain button here once it
    // is part of the add-in.
    return new (std::nothrow) CCmdBtn(captionId, faceId, maskId);
}
