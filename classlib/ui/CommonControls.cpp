#include "classlib/ui/CommonControls.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

void InitCommonControlsOnce()
{
    static const bool registered = [] {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                                    ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES |
                                                    ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    (void)registered;
}
