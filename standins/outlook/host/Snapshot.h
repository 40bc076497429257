// A picture of a window as the user sees it: the screen's pixels where the
// window stands, frame included, saved as a PNG. Only a real display has
// pixels to read: under Wine's null driver the picture comes out blank, so
// the host takes pictures only when asked to (--shots).
#pragma once

#include <string>

#include <windows.h>

namespace host {

// Paints the window and its children now, then saves what the screen shows
// of it. False with the reason when it could not.
bool SaveWindowPicture(HWND window, const std::wstring& path, std::wstring& error);

} // namespace host
