// The event interfaces Outlook, Word and Office raise, by their published
// identifiers, with the DISPIDs of the events the stand-in fires. An add-in
// finds the connection point by these, so they must be exact.
#pragma once

#include <windows.h>

namespace standin {

// {0006304E-0000-0000-C000-000000000046} Outlook Application events.
inline constexpr IID kApplicationEvents = {0x0006304e, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00063079-0000-0000-C000-000000000046} Inspectors events.
inline constexpr IID kInspectorsEvents = {0x00063079, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0006304F-0000-0000-C000-000000000046} Explorer events.
inline constexpr IID kExplorerEvents = {0x0006304f, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00063078-0000-0000-C000-000000000046} Explorers events.
inline constexpr IID kExplorersEvents = {0x00063078, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00063077-0000-0000-C000-000000000046} Items events.
inline constexpr IID kItemsEvents = {0x00063077, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0006302B-0000-0000-C000-000000000046} item events.
inline constexpr IID kItemEvents = {0x0006302b, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {000C0351-0000-0000-C000-000000000046} Office command-bar button events.
inline constexpr IID kCommandBarButtonEvents = {0x000c0351, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {000209FE-0000-0000-C000-000000000046} Word Application events.
inline constexpr IID kWordApplicationEvents = {0x000209fe, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00063080-0000-0000-C000-000000000046} the PropertyPages collection.
inline constexpr IID kPropertyPages = {0x00063080, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

// Outlook's events (application, inspectors, explorer, items, item).
inline constexpr DISPID kDispNewInspector = 0xF001;
inline constexpr DISPID kDispNewExplorer = 0xF001;
inline constexpr DISPID kDispExplorerClose = 0xF008;
inline constexpr DISPID kDispItemAdd = 0xF001;
inline constexpr DISPID kDispItemChange = 0xF002;
inline constexpr DISPID kDispItemRemove = 0xF003;
inline constexpr DISPID kDispBeforeFolderSwitch = 0xF003;
inline constexpr DISPID kDispClose = 0xF004;
inline constexpr DISPID kDispOptionsPagesAdd = 0xF005;
inline constexpr DISPID kDispSelectionChange = 0xF007;
inline constexpr DISPID kDispFolderSwitch = 0xF002;
// Office's command-bar button.
inline constexpr DISPID kDispClick = 1;
// Word's application.
inline constexpr DISPID kDispWindowActivate = 10;

} // namespace standin
