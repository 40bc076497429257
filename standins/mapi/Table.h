// CTable: a MAPI table over fixed rows that applies SetColumns and Restrict
// for real (AND, OR, NOT, EXIST and property comparisons with EQ and NE),
// so a caller that gets the restriction wrong sees the wrong rows.
#pragma once

#include <string>
#include <vector>
#include <mapix.h>

#include "standins/mapi/LoggedUnknown.h"
#include "standins/mapi/Props.h"

class CTable : public CLoggedUnknown<IMAPITable> {
public:
    CTable(std::string name, std::vector<std::vector<StoredProp>> rows);

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR*) override;
    STDMETHODIMP Advise(ULONG, LPMAPIADVISESINK, ULONG*) override;
    STDMETHODIMP Unadvise(ULONG) override;
    STDMETHODIMP GetStatus(ULONG*, ULONG*) override;
    STDMETHODIMP SetColumns(LPSPropTagArray tags, ULONG flags) override;
    STDMETHODIMP QueryColumns(ULONG, LPSPropTagArray*) override;
    STDMETHODIMP GetRowCount(ULONG flags, ULONG* count) override;
    STDMETHODIMP SeekRow(BOOKMARK origin, LONG rows, LONG* sought) override;
    STDMETHODIMP SeekRowApprox(ULONG, ULONG) override;
    STDMETHODIMP QueryPosition(ULONG*, ULONG*, ULONG*) override;
    STDMETHODIMP FindRow(LPSRestriction, BOOKMARK, ULONG) override;
    STDMETHODIMP Restrict(LPSRestriction restriction, ULONG flags) override;
    STDMETHODIMP CreateBookmark(BOOKMARK*) override;
    STDMETHODIMP FreeBookmark(BOOKMARK) override;
    STDMETHODIMP SortTable(LPSSortOrderSet sort, ULONG flags) override;
    STDMETHODIMP QuerySortOrder(LPSSortOrderSet*) override;
    STDMETHODIMP QueryRows(LONG count, ULONG flags, LPSRowSet* rows) override;
    STDMETHODIMP Abort() override;
    STDMETHODIMP ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) override;
    STDMETHODIMP CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) override;
    STDMETHODIMP WaitForCompletion(ULONG, ULONG, ULONG*) override;
    STDMETHODIMP GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override;
    STDMETHODIMP SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*) override;

protected:
    bool AnswersFor(REFIID iid) const override;

private:
    // The rows the current restriction lets through.
    std::vector<const std::vector<StoredProp>*> Visible() const;

    std::vector<std::vector<StoredProp>> m_rows;
    std::vector<ULONG> m_columns;
    std::vector<bool> m_passes;
    size_t m_position = 0;
};
