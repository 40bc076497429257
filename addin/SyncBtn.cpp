#include "addin/SyncBtn.h"

CSyncBtn::CSyncBtn(UINT captionId, UINT faceId, UINT maskId) : CCmdBtn(captionId, faceId, maskId) {}

BOOL CSyncBtn::CanClick()
{
    return !IsOffline(TRUE);
}
