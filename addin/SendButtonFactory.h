// The one place that makes the send command's button, for the inspectors'
// command bars and for the ribbon's press alike.
#pragma once

#include <windows.h>

class CCmdBtn;

// A new send button (count 0) with that caption and face (0 for a ribbon
// press), or null when it cannot be made.
CCmdBtn* NewSendButton(UINT captionId = 0, UINT faceId = 0, UINT maskId = 0);
