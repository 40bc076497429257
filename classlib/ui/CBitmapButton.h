// CBitmapButton: an owner-drawn push button that shows one of up to four
// bitmaps of the resource module: up, pressed, focused and disabled (the up
// picture stands in for a missing one). It takes a dialog's button by
// SubclassDlgItem; the button needs BS_OWNERDRAW, which AutoLoad sets.
#pragma once

#include "classlib/ui/CWnd.h"
#include "classlib/win32/Gdi.h"

class CBitmapButton : public CWnd {
public:
    CBitmapButton() = default;
    CBitmapButton(const CBitmapButton&) = delete;
    CBitmapButton& operator=(const CBitmapButton&) = delete;

    // Loads the bitmaps by resource name (null: none). FALSE when the up
    // picture is missing.
    BOOL LoadBitmaps(const char* up, const char* down = nullptr, const char* focus = nullptr,
                     const char* disabled = nullptr);
    // Takes the dialog's button id, makes it owner drawn, and loads the
    // bitmaps named after its text with the suffixes U, D, F and X ("OPEN":
    // "OPENU", "OPEND", "OPENF", "OPENX"). FALSE when the button or its up
    // picture is missing.
    BOOL AutoLoad(int id, HWND parent);

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Draw(const DRAWITEMSTRUCT& item) const;

    CGdiObject<HBITMAP> m_up;
    CGdiObject<HBITMAP> m_down;
    CGdiObject<HBITMAP> m_focus;
    CGdiObject<HBITMAP> m_disabled;
};
