// CClipBack: a copy of what the user had on the clipboard, taken before the
// add-in puts a button face there and given back afterwards, so a face
// pasted through the clipboard costs the user nothing.
//
// What can be copied is kept: blocks of global memory (texts, device-
// independent bitmaps, registered formats) and enhanced metafiles. Formats
// whose data are GDI objects or owner-managed (bitmaps, palettes, the
// metafile pictures that wrap a metafile handle, owner display, the private
// and GDI-object ranges) cannot be copied as memory and are left out.
// Registered formats (from 0xC000) are kept by name, since a format's number
// belongs to the session; predefined ones by number.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "classlib/ui/CMessageWindow.h"
#include "classlib/win32/Gdi.h"
#include "classlib/win32/Memory.h"

class CClipBack {
public:
    // Opens the clipboard with a window of its own and copies what is there.
    CClipBack();
    CClipBack(const CClipBack&) = delete;
    CClipBack& operator=(const CClipBack&) = delete;
    // What was not handed back to the clipboard goes with the entries.
    ~CClipBack();

    // S_OK when the clipboard was copied; otherwise the reason, and the
    // clipboard must not be changed (there is nothing to give back).
    HRESULT Saved() const { return m_saved; }
    // The window that opens the clipboard for its owner (a message-only
    // window, for as long as this object lives).
    HWND Owner() const { return m_owner.Get(); }
    size_t Count() const { return m_entries.size(); }

    // Empties the clipboard and puts every copied entry back; what the
    // clipboard takes belongs to it from then on. Nothing when nothing was
    // copied. S_OK, or the first failure (the remaining entries are still
    // put back).
    HRESULT Restore();

private:
    // One copied format: its data is a block of global memory or an
    // enhanced metafile.
    struct Entry {
        UINT format = 0;
        std::wstring name; // registered formats only
        CGlobalMem block;
        CEnhMetaFile metafile;

        HANDLE Data() const
        {
            return block ? static_cast<HANDLE>(block.Get()) : static_cast<HANDLE>(metafile.Get());
        }
        // The clipboard has taken the data.
        void HandedOver()
        {
            block.Detach();
            metafile.Detach();
        }
    };

    HRESULT Save();

    CMessageWindow m_owner;
    HRESULT m_saved = E_FAIL;
    std::vector<Entry> m_entries;
};

// Empties the (closed) clipboard and puts a button face on it as Office
// reads faces to paste: the face as a device-independent bitmap, both as
// CF_DIB and as "Toolbar Button Face", and its mask as "Toolbar Button
// Mask". owner opens the clipboard. S_OK, or the first failure.
HRESULT PutFaceOnClipboard(HWND owner, HBITMAP face);

// Holds the clipboard open for a scope, for an owner window.
class CClipboardLock {
public:
    explicit CClipboardLock(HWND owner) : m_open(OpenClipboard(owner) != FALSE) {}
    CClipboardLock(const CClipboardLock&) = delete;
    CClipboardLock& operator=(const CClipboardLock&) = delete;
    ~CClipboardLock()
    {
        if (m_open)
            CloseClipboard();
    }
    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};
