// The add-in's protocol object: the process-wide CProtocolUI that connects
// to the service and logs the user in (asking for the credentials when none
// are stored). The commands that talk to the service make it on their first
// use; it lives until the add-in lets it go at shutdown, or, when a command
// still runs then, until that command has ended.
#pragma once

#include <windows.h>
#include <oaidl.h>

// Makes the process's protocol object for the Outlook application unless
// the process has one (the add-in's, or a host's own). 0 or E_OUTOFMEMORY.
HRESULT EnsureAddinProtocol(IDispatch* application);
// Deletes the protocol object made here, closing its connection; one that
// the process got elsewhere is left alone. While a command holds it, it
// goes only when the last hold is let go.
void ReleaseAddinProtocol();
// A running command holds the protocol object and its connection: neither
// goes under it (CCommandRun holds it for its command).
void HoldAddinProtocol();
// Ends a hold; the last one lets the object go when a release was asked
// for meanwhile.
void LetGoAddinProtocol();
