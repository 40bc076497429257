// The explorer's command bar with the sync button, for Outlook versions
// before the ribbon: made at start-up, placed where the user last left it,
// and hidden until the explorer shows a task folder.
#pragma once

#include <windows.h>
#include <oaidl.h>

class CCmdBar;

// Makes the bar "Quillet" on explorer with the sync button (whose clicks
// use application, not held) and hands it to *bar. On failure *bar is left
// as it was and nothing stays behind. E_INVALIDARG for a null bar;
// E_OUTOFMEMORY; else the failing step's result.
HRESULT AddExplorerButtons(IDispatch* application, IDispatch* explorer, CCmdBar** bar);
