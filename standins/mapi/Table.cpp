#include "standins/mapi/Table.h"

#include <cstring>

#include "standins/mapi/Guids.h"
#include "standins/mapi/StandIn.h"

namespace {

// true/false for a row, or an error for a restriction the stand-in does not
// evaluate (the caller then gets MAPI_E_TOO_COMPLEX rather than a guess).
HRESULT Evaluate(const SRestriction& restriction, const std::vector<StoredProp>& row, bool& passes)
{
    switch (restriction.rt) {
    case RES_AND:
    case RES_OR: {
        const bool isAnd = restriction.rt == RES_AND;
        const ULONG count = isAnd ? restriction.res.resAnd.cRes : restriction.res.resOr.cRes;
        const SRestriction* parts =
            isAnd ? restriction.res.resAnd.lpRes : restriction.res.resOr.lpRes;
        passes = isAnd;
        for (ULONG i = 0; i < count; ++i) {
            bool part = false;
            HRESULT hr = Evaluate(parts[i], row, part);
            if (FAILED(hr))
                return hr;
            if (isAnd)
                passes = passes && part;
            else
                passes = passes || part;
        }
        return S_OK;
    }
    case RES_NOT: {
        bool inner = false;
        HRESULT hr = Evaluate(*restriction.res.resNot.lpRes, row, inner);
        passes = !inner;
        return hr;
    }
    case RES_EXIST:
        passes = FindProp(row, restriction.res.resExist.ulPropTag) != nullptr;
        return S_OK;
    case RES_PROPERTY: {
        const SPropertyRestriction& compare = restriction.res.resProperty;
        if (compare.relop != RELOP_EQ && compare.relop != RELOP_NE)
            return MAPI_E_TOO_COMPLEX;
        if (!compare.lpProp || PROP_TYPE(compare.lpProp->ulPropTag) != PROP_TYPE(compare.ulPropTag))
            return MAPI_E_INVALID_PARAMETER;
        const StoredProp* prop = FindProp(row, compare.ulPropTag);
        if (!prop) {
            // A row without the property matches no comparison.
            passes = false;
            return S_OK;
        }
        bool equal = false;
        switch (PROP_TYPE(compare.ulPropTag)) {
        case PT_LONG:
            equal = prop->number == static_cast<ULONG>(compare.lpProp->Value.l);
            break;
        case PT_BINARY:
            equal = prop->bytes.size() == compare.lpProp->Value.bin.cb &&
                    std::memcmp(prop->bytes.data(), compare.lpProp->Value.bin.lpb,
                                prop->bytes.size()) == 0;
            break;
        case PT_STRING8:
            equal = compare.lpProp->Value.lpszA && prop->bytes == compare.lpProp->Value.lpszA;
            break;
        default:
            return MAPI_E_TOO_COMPLEX;
        }
        passes = compare.relop == RELOP_EQ ? equal : !equal;
        return S_OK;
    }
    default:
        return MAPI_E_TOO_COMPLEX;
    }
}

} // namespace

CTable::CTable(std::string name, std::vector<std::vector<StoredProp>> rows)
    : CLoggedUnknown(std::move(name)), m_rows(std::move(rows)), m_passes(m_rows.size(), true)
{}

bool CTable::AnswersFor(REFIID iid) const
{
    return iid == kIidMapiTable;
}

std::vector<const std::vector<StoredProp>*> CTable::Visible() const
{
    std::vector<const std::vector<StoredProp>*> rows;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_passes[i])
            rows.push_back(&m_rows[i]);
    return rows;
}

STDMETHODIMP CTable::SetColumns(LPSPropTagArray tags, ULONG)
{
    if (HRESULT hr = Enter("SetColumns"); FAILED(hr))
        return hr;
    if (!tags)
        return MAPI_E_INVALID_PARAMETER;
    m_columns.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
    return S_OK;
}

STDMETHODIMP CTable::Restrict(LPSRestriction restriction, ULONG)
{
    if (HRESULT hr = Enter("Restrict"); FAILED(hr))
        return hr;
    std::vector<bool> passes(m_rows.size(), true);
    if (restriction) {
        for (size_t i = 0; i < m_rows.size(); ++i) {
            bool pass = false;
            HRESULT hr = Evaluate(*restriction, m_rows[i], pass);
            if (FAILED(hr))
                return hr;
            passes[i] = pass;
        }
    }
    m_passes = passes;
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CTable::GetRowCount(ULONG, ULONG* count)
{
    if (HRESULT hr = Enter("GetRowCount"); FAILED(hr))
        return hr;
    if (!count)
        return MAPI_E_INVALID_PARAMETER;
    *count = static_cast<ULONG>(Visible().size());
    return S_OK;
}

STDMETHODIMP CTable::SeekRow(BOOKMARK origin, LONG rows, LONG* sought)
{
    if (HRESULT hr = Enter("SeekRow"); FAILED(hr))
        return hr;
    if (origin != BOOKMARK_BEGINNING || rows < 0)
        return MAPI_E_NO_SUPPORT;
    size_t visible = Visible().size();
    m_position = static_cast<size_t>(rows) < visible ? static_cast<size_t>(rows) : visible;
    if (sought)
        *sought = static_cast<LONG>(m_position);
    return S_OK;
}

STDMETHODIMP CTable::SortTable(LPSSortOrderSet sort, ULONG)
{
    if (HRESULT hr = Enter("SortTable"); FAILED(hr))
        return hr;
    return sort && sort->cSorts ? MAPI_E_TOO_COMPLEX : S_OK;
}

STDMETHODIMP CTable::QueryRows(LONG count, ULONG, LPSRowSet* out)
{
    if (HRESULT hr = Enter("QueryRows"); FAILED(hr))
        return hr;
    if (!out || count < 0)
        return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    std::vector<const std::vector<StoredProp>*> visible = Visible();
    size_t first = m_position < visible.size() ? m_position : visible.size();
    size_t taken = visible.size() - first;
    if (taken > static_cast<size_t>(count))
        taken = static_cast<size_t>(count);

    void* buffer = nullptr;
    SCODE sc = MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(taken ? taken : 1)), &buffer);
    if (FAILED(sc))
        return sc;
    SRowSet* rows = static_cast<SRowSet*>(buffer);
    rows->cRows = 0;
    // Each row's properties are a buffer of their own, as FreeProws expects.
    for (size_t i = 0; i < taken; ++i) {
        const std::vector<StoredProp>& row = *visible[first + i];
        ULONG props = 0;
        SPropValue* values = nullptr;
        std::vector<ULONG> columns = m_columns;
        if (columns.empty())
            for (const StoredProp& prop : row)
                columns.push_back(prop.tag);
        std::vector<BYTE> tagBytes(CbNewSPropTagArray(columns.size()));
        SPropTagArray* tags = reinterpret_cast<SPropTagArray*>(tagBytes.data());
        tags->cValues = static_cast<ULONG>(columns.size());
        std::memcpy(tags->aulPropTag, columns.data(), columns.size() * sizeof(ULONG));
        HRESULT hr = CopyPropsOut(row, tags, &props, &values);
        if (FAILED(hr)) {
            for (ULONG done = 0; done < rows->cRows; ++done)
                MAPIFreeBuffer(rows->aRow[done].lpProps);
            MAPIFreeBuffer(rows);
            return hr;
        }
        rows->aRow[i].ulAdrEntryPad = 0;
        rows->aRow[i].cValues = props;
        rows->aRow[i].lpProps = values;
        rows->cRows = static_cast<ULONG>(i + 1);
    }
    m_position = first + taken;
    *out = rows;
    return S_OK;
}

STDMETHODIMP CTable::GetLastError(HRESULT, ULONG, LPMAPIERROR* error)
{
    if (error)
        *error = nullptr;
    return Unsupported("GetLastError");
}
STDMETHODIMP CTable::Advise(ULONG, LPMAPIADVISESINK, ULONG*)
{
    return Unsupported("Advise");
}
STDMETHODIMP CTable::Unadvise(ULONG)
{
    return Unsupported("Unadvise");
}
STDMETHODIMP CTable::GetStatus(ULONG*, ULONG*)
{
    return Unsupported("GetStatus");
}
STDMETHODIMP CTable::QueryColumns(ULONG, LPSPropTagArray*)
{
    return Unsupported("QueryColumns");
}
STDMETHODIMP CTable::SeekRowApprox(ULONG, ULONG)
{
    return Unsupported("SeekRowApprox");
}
STDMETHODIMP CTable::QueryPosition(ULONG*, ULONG*, ULONG*)
{
    return Unsupported("QueryPosition");
}
STDMETHODIMP CTable::FindRow(LPSRestriction, BOOKMARK, ULONG)
{
    return Unsupported("FindRow");
}
STDMETHODIMP CTable::CreateBookmark(BOOKMARK*)
{
    return Unsupported("CreateBookmark");
}
STDMETHODIMP CTable::FreeBookmark(BOOKMARK)
{
    return Unsupported("FreeBookmark");
}
STDMETHODIMP CTable::QuerySortOrder(LPSSortOrderSet*)
{
    return Unsupported("QuerySortOrder");
}
STDMETHODIMP CTable::Abort()
{
    return Unsupported("Abort");
}
STDMETHODIMP CTable::ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*)
{
    return Unsupported("ExpandRow");
}
STDMETHODIMP CTable::CollapseRow(ULONG, LPBYTE, ULONG, ULONG*)
{
    return Unsupported("CollapseRow");
}
STDMETHODIMP CTable::WaitForCompletion(ULONG, ULONG, ULONG*)
{
    return Unsupported("WaitForCompletion");
}
STDMETHODIMP CTable::GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*)
{
    return Unsupported("GetCollapseState");
}
STDMETHODIMP CTable::SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*)
{
    return Unsupported("SetCollapseState");
}
