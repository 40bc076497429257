// Receipt files the import is done with for now. A file that does not read,
// or whose task could not be made, would otherwise be read again on every
// selection change in a task folder (and its failing task would open the
// import's dialog and leave one more mail copy each time); a file whose task
// was saved but which cannot be deleted (another program holds it open)
// would be imported again. Each gets a marker in the "Set Aside" folder
// inside the Receipts folder: the file's size and last write time when it
// was set aside, and why. The import passes a marked file over for as long
// as it is unchanged; a file that changed (the agent wrote it again, the
// user mended it) is tried again. Markers whose file is gone are removed,
// and the folder with the last of them.
#pragma once

#include "classlib/strings/CString.h"

enum class SetAsideReason {
    // Not made into a task: tried again only when the file changes.
    Failed,
    // Its task was saved: only deleted, quietly, once it can be.
    Imported,
};

// How the receipt file at path stands: false when it is not set aside (no
// marker, or the file changed since, whose marker then goes); true, with
// the reason, when it is.
bool IsReceiptSetAside(const char* path, SetAsideReason& reason);

// Marks the receipt file at path as set aside, saying so in the log (once:
// the import does not look at the file again until it changes).
void SetReceiptAside(const char* path, SetAsideReason reason, const char* why);

// The receipt file at path is gone: its marker goes too.
void ForgetSetAside(const char* path);

// Removes the markers of the folder's receipts whose files are gone.
void DropStaleMarkers(const char* receiptsFolder);
