// The page's list of gateway plug-ins: filled from the component category,
// drawn on demand with a check box per gateway, toggled by a click on the
// box, saved as the "Gateways" setting.

#include "classlib/ui/CWaitCursor.h"
#include "classlib/ui/ScreenDpi.h"
#include "options/OptionsResource.h"
#include "options/page/PropPage.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

constexpr int kStateImageSize = 16;
constexpr COLORREF kStateImageMask = RGB(0xFF, 0x00, 0xFF);
constexpr int kEnabledImage = 1;
constexpr int kDisabledImage = 2;

} // namespace

bool CPropPage::InitGatewayList()
{
    m_gatewayList = ::GetDlgItem(m_hWnd, IDC_GATEWAYS);
    if (!m_gatewayList)
        return false;
    ListView_SetBkColor(m_gatewayList, GetSysColor(COLOR_WINDOW));
    // The check boxes grow with the screen's DPI, as the rows' text does.
    HIMAGELIST stateImages =
        LoadImageStrip(GetResourceModule(), IDB_GATEWAY_STATES, kStateImageSize, kStateImageMask);
    if (!stateImages) {
        TheLog().Error("CPropPage::OnInitDialog: the gateway state images could not be made");
        return false;
    }
    // The list does not share its image lists: it owns them from here on
    // and destroys them with its window, whenever that goes. Only one it
    // held before and lets go of now is ours to destroy.
    HIMAGELIST replaced = ListView_SetImageList(m_gatewayList, stateImages, LVSIL_STATE);
    if (replaced && replaced != stateImages)
        ImageList_Destroy(replaced);
    // The state image is the list's to ask for, like the text.
    ListView_SetCallbackMask(m_gatewayList, LVIS_STATEIMAGEMASK);

    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 75;
    column.pszText = const_cast<char*>("Installed Gateway");
    ::SendMessageA(m_gatewayList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    RECT client{};
    ::GetClientRect(m_gatewayList, &client);
    ListView_SetColumnWidth(m_gatewayList, 0, client.right - client.left - 4);
    return true;
}

void CPropPage::FillGateways()
{
    CLogBlock block("CPropPage::FillGateways");
    CWaitCursor wait;
    // The category is listed and matched with the setting for the page's
    // first window; a later one lists the same records, as the user left
    // them.
    const bool first = !m_gateways.IsEnumerated();
    if (first && FAILED(m_gateways.Enumerate()))
        TheLog().Warning("CPropPage::FillGateways: the gateway category could not be listed");
    CString enabled;
    if (first)
        (void)CConfig().GetGateways(enabled);

    for (const auto& record : m_gateways.Records()) {
        // The setting is searched, not parsed: a CLSID stored with or
        // without its tab is found.
        if (first && !record->m_clsid.IsEmpty() && enabled.Find(record->m_clsid) >= 0)
            record->m_enabled = TRUE;
        if (!record->HasObject() && FAILED(record->Create()))
            continue;
        // Each new item goes on top, so the list shows the gateways in the
        // reverse of the category's order.
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = 0;
        item.pszText = LPSTR_TEXTCALLBACKA;
        item.iImage = I_IMAGECALLBACK;
        item.lParam = reinterpret_cast<LPARAM>(record.get());
        ::SendMessageA(m_gatewayList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CPropPage::OnGatewayDispInfo(NMLVDISPINFOA& info)
{
    const auto* record = reinterpret_cast<const CGwInfo*>(info.item.lParam);
    if (!record)
        return;
    if (info.item.mask & (LVIF_IMAGE | LVIF_STATE)) {
        info.item.mask |= LVIF_STATE;
        info.item.stateMask = LVIS_STATEIMAGEMASK;
        info.item.state = INDEXTOSTATEIMAGEMASK(record->m_enabled ? kEnabledImage : kDisabledImage);
    }
    if ((info.item.mask & LVIF_TEXT) && info.item.iSubItem == 0 && info.item.pszText &&
        info.item.cchTextMax > 0)
        lstrcpynA(info.item.pszText, record->m_name, info.item.cchTextMax);
}

void CPropPage::OnGatewayClick(const NMITEMACTIVATE& click)
{
    // Where the list says the click was, in its own coordinates: the
    // notification carries it, so no later mouse move can shift it.
    LVHITTESTINFO hit{};
    hit.pt = click.ptAction;
    const int index = ListView_HitTest(m_gatewayList, &hit);
    if (index < 0 || !(hit.flags & LVHT_ONITEMSTATEICON))
        return;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!::SendMessageA(m_gatewayList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return;
    auto* record = reinterpret_cast<CGwInfo*>(item.lParam);
    if (!record)
        return;
    record->m_enabled = !record->m_enabled;
    ListView_RedrawItems(m_gatewayList, index, index);
    SetDirty();
}

void CPropPage::SaveGateways()
{
    // In the category's order (the list shows them upside down); each
    // CLSID ends with a tab, the form the add-in reads. A gateway whose
    // creation failed is not listed, so it is not kept; a slow one is.
    CString gateways;
    for (const auto& record : m_gateways.Records())
        if (record->m_enabled && record->HasObject())
            gateways += record->m_clsid + "\t";
    CConfig().SetKey("Gateways", gateways.GetString());
}
