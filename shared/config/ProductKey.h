// Where every deliverable keeps its settings: HKEY_CURRENT_USER under
// Software\<company word>\<product name>.
#pragma once

inline constexpr const char* kCompanyWord = "Quillet";
inline constexpr const char* kProductName = "Quillet for Outlook";
inline constexpr const char* kProductKeyPath = "Software\\Quillet\\Quillet for Outlook";
inline constexpr const char* kAdvancedSubkey = "Advanced";
