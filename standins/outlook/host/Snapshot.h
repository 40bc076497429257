// A picture of a window as the user sees it: the window's own pixels, frame
// included, saved as a PNG. The frame is there only where Wine draws it
// itself, on a display with no window manager (tools/demo sets that up), so
// the host takes pictures only when asked to (--shots).
#pragma once

#include <string>

#include <windows.h>

namespace host {

// Paints the window and its children now, then saves what the screen shows
// of it. False with the reason when it could not.
bool SaveWindowPicture(HWND window, const std::wstring& path, std::wstring& error);

// Saves the pixels of area (in source's coordinates) as a PNG. False with
// the reason when it could not.
bool SaveAreaPicture(HDC source, const RECT& area, const std::wstring& path, std::wstring& error);

} // namespace host
