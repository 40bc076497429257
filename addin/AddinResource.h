// Ids of the add-in's own resources (resources/QuillOff/QuillOff.rc), one
// section per concern. The shared code's ids are in shared/SharedResource.h.
#pragma once

// Registration.
#define IDR_QUILLOFF 19000 // the registry script, resource type "REGISTRY"

// Command bars and buttons: the bar's name, the buttons' captions, their
// face and mask bitmaps, and the texts the buttons' shared helpers show.
#define IDS_OPERATION_UNKNOWN 19003   // the error report's text when none is given
#define IDS_OFFLINE_UNAVAILABLE 19031 // a command clicked while Outlook is offline
#define IDS_BAR_NAME 19046            // both bars: explorer and inspector
#define IDS_SEND_CAPTION 19047
#define IDS_SYNC_CAPTION 19048
#define IDB_SEND_FACE 19011
#define IDB_SEND_MASK 19018
#define IDB_SYNC_FACE 19028
#define IDB_SYNC_MASK 19029
