// CInCellEditor: what the boxes a CDynamicListCtrl opens over a cell share,
// whatever control they are (a text box, a drop-down list): the cell they
// edit, Enter and Escape kept from the dialog, and the end of the edit.
// Losing the focus ends it: the box's text goes to the target (unless the
// edit was dropped) and to the list's parent (LVN_ENDLABELEDIT), and the
// box closes. It lives as long as its window.
#pragma once

#include "addin/controls/DynamicListCtrl.h"
#include "addin/core/WindowMessages.h"
#include "classlib/strings/CString.h"

template <class Box>
class CInCellEditor : public Box {
public:
    CInCellEditor(CDynamicListCtrl* list, int row, int column, CString* target)
        : m_list(list), m_row(row), m_column(column), m_target(target)
    {}

protected:
    // The text the edit ends with.
    virtual CString EditedText() = 0;

    // Ends the edit, once; the object is gone afterwards.
    void End()
    {
        if (m_ending)
            return;
        m_ending = true;
        const CString text = EditedText();
        if (!m_cancelled && m_target)
            *m_target = text;
        m_list->SendEndEdit(this->m_hWnd, m_row, m_column,
                            m_cancelled ? nullptr : text.GetString());
        // Told to end by the list while it still has the focus (a scroll):
        // the focus goes back to the list rather than nowhere.
        if (::GetFocus() == this->m_hWnd)
            ::SetFocus(m_list->GetSafeHwnd());
        this->DestroyWindow();
    }

    // The messages every box answers alike; a box handles its keys first
    // and hands the rest here.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_GETDLGCODE: {
            // Enter and Escape are the box's, not the dialog's OK and Cancel.
            LRESULT code = this->DefWindowProc(message, wParam, lParam);
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg && msg->message == WM_KEYDOWN &&
                (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
                code |= DLGC_WANTALLKEYS;
            return code;
        }
        case WM_KILLFOCUS: {
            LRESULT result = this->DefWindowProc(message, wParam, lParam);
            End(); // the object may be gone now
            return result;
        }
        case WM_CELL_CANCEL:
            m_cancelled = 1;
            End();
            return 0;
        case WM_DESTROY:
            m_list->EditorGone(this->m_hWnd);
            break;
        default:
            break;
        }
        return this->DefWindowProc(message, wParam, lParam);
    }

    void PostNcDestroy() override { delete this; }

    CDynamicListCtrl* m_list;
    int m_row;
    int m_column;
    int m_cancelled = 0;
    CString* m_target;

private:
    bool m_ending = false;
};
