// What editorplayer.exe hands its hook in the editor's process. The editor
// is started by another program (the options page, inside Outlook), so it
// inherits nothing of the player's: the settings go by a named block of
// shared memory that the player holds while the editor runs.
#pragma once

#include <windows.h>

namespace editorplayer {

inline constexpr wchar_t kSettingsName[] = L"Local\\QuilletEditorPlayer";
// The program the hook plays in; every other program it is loaded into is
// left alone.
inline constexpr wchar_t kEditorProgram[] = L"inkEdit.exe";

struct Settings {
    wchar_t script[MAX_PATH]; // the steps, one a line
    wchar_t report[MAX_PATH]; // what the user did and saw, a line each
    wchar_t shots[MAX_PATH];  // where pictures go; empty: none
};

// The report's last line, one of these, says the editor's main dialog is gone.
inline constexpr char kClosed[] = "editor closed";
inline constexpr char kClosedEarly[] = "editor closed early";

} // namespace editorplayer
