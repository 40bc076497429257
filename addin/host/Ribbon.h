// What the add-in gives the host's ribbon: the markup of a ribbon id and
// the buttons' image.
#pragma once

#include <windows.h>
#include <oaidl.h>

// A new BSTR of the markup for ribbonId in *markup: the explorer's or the
// mail compose window's, empty for any other id. E_POINTER for a null
// markup; E_OUTOFMEMORY.
HRESULT GetRibbonMarkup(BSTR ribbonId, BSTR* markup);

// The buttons' PNG decoded into a picture object, VT_DISPATCH in *result.
// E_POINTER for a null result, which makes no picture; E_FAIL when the
// image cannot be found or decoded (result untouched); else what making the
// picture answered.
// The image is the form for the screen's DPI (RibbonImageId).
HRESULT GetCustomImage(VARIANT* result);
// The same for a screen of `dpi`.
HRESULT GetCustomImageAt(int dpi, VARIANT* result);

// The ribbon image's RCDATA id for a screen of `dpi`: the settings' 32-pixel
// image below 144 DPI, its 64-pixel form from there on.
UINT RibbonImageId(int dpi);
