// Owning holders for GDI objects and device contexts, and the scoped
// selection of an object into a device context. Each kind is freed with its
// own call: GDI objects (bitmaps, brushes, fonts, pens...) with
// DeleteObject, enhanced metafiles with DeleteEnhMetaFile, memory device
// contexts with DeleteDC, a window's device context with ReleaseDC and a
// painting one with EndPaint.
#pragma once

#include <windows.h>

#include "classlib/win32/CUniqueHandle.h"

namespace handle_kind {

template <class T>
struct GdiObject {
    using Type = T;
    static Type None() { return nullptr; }
    static void Close(Type object) { DeleteObject(object); }
};

struct EnhMetaFile {
    using Type = HENHMETAFILE;
    static Type None() { return nullptr; }
    static void Close(Type metafile) { DeleteEnhMetaFile(metafile); }
};

struct MemoryDC {
    using Type = HDC;
    static Type None() { return nullptr; }
    static void Close(Type dc) { DeleteDC(dc); }
};

} // namespace handle_kind

// A GDI object of type T (HBITMAP, HBRUSH, HFONT, HPEN, ...). It must not be
// selected into a device context when it goes: select it back out first
// (CDCSelection does).
template <class T>
using CGdiObject = CUniqueHandle<handle_kind::GdiObject<T>>;
using CEnhMetaFile = CUniqueHandle<handle_kind::EnhMetaFile>;
// A device context of CreateCompatibleDC.
using CMemoryDC = CUniqueHandle<handle_kind::MemoryDC>;

// A window's device context (GetDC; the screen's for a null window) for a
// scope.
class CWindowDC {
public:
    explicit CWindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;
    ~CWindowDC()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// The painting of a WM_PAINT: BeginPaint now, EndPaint when the scope ends
// (always, as BeginPaint asks).
class CPaintDC {
public:
    explicit CPaintDC(HWND window) : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { EndPaint(m_window, &m_paint); }
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

// Selects an object into a device context for a scope and then selects back
// the one that was there, so the object can be deleted (or packed) and the
// device context deleted with its own objects in it. A selection that
// failed leaves nothing to give back.
class CDCSelection {
public:
    CDCSelection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    CDCSelection(const CDCSelection&) = delete;
    CDCSelection& operator=(const CDCSelection&) = delete;
    ~CDCSelection()
    {
        if (IsSelected())
            SelectObject(m_dc, m_previous);
    }
    bool IsSelected() const { return m_previous && m_previous != HGDI_ERROR; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
