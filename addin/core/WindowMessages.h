// The add-in's private window messages. Each is posted or sent within the
// add-in, on Outlook's user-interface thread; none crosses a process. The
// operation runner's stage message (WM_USER+100) is the shared code's own
// (CPumpOp::kStageMessage), used by the wizard and the sync dialog.
#pragma once

#include <windows.h>

// The step dialog: run stage wParam of the current operation (the last
// stage also ends a question step). The receipt import: make the next
// receipt task.
inline constexpr UINT WM_STEP_RUN = WM_USER + 1;

// From an in-cell editor to its list: move to another row (wParam: the
// key, VK_UP, VK_DOWN or VK_RETURN; lParam: the editor's row).
inline constexpr UINT WM_CELL_NAVIGATE = WM_USER + 3;

// From a keyword-value list to the template page: a value changed. The
// number is also the one the template model names for role rows.
inline constexpr UINT WM_KEYWORD_CHANGED = WM_USER + 20;

// From a list to its in-cell editor: end without taking the text.
inline constexpr UINT WM_CELL_CANCEL = WM_APP + 0x3A0;

// An in-cell drop-down list posts itself this when its drop-down closed:
// the box must not go from inside its own notification.
inline constexpr UINT WM_GIVE_FOCUS_BACK = WM_APP + 0x3A1;
