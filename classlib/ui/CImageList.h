// CImageList: owns an image list of the common controls and destroys it
// when it goes. A list view shows it without owning it only when the view
// has the LVS_SHAREIMAGELISTS style; otherwise the view destroys its image
// lists itself and the holder must Detach.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "classlib/win32/CUniqueHandle.h"

namespace handle_kind {

struct ImageList {
    using Type = HIMAGELIST;
    static Type None() { return nullptr; }
    static void Close(Type list) { ImageList_Destroy(list); }
};

} // namespace handle_kind

using CImageList = CUniqueHandle<handle_kind::ImageList>;
