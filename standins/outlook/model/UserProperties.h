// CUserProperties / CUserProperty: the custom properties of a stand-in
// item. A property has a fixed type and keeps its value in that type, so a
// value put in is converted as Outlook converts it (a text into a yes/no
// property must read as one).
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CItem;
class CUserProperties;

// Outlook's user-property types that the stand-in keeps.
inline constexpr long kPropText = 1;
inline constexpr long kPropNumber = 3;
inline constexpr long kPropDateTime = 5;
inline constexpr long kPropYesNo = 6;
inline constexpr long kPropDuration = 7;
inline constexpr long kPropPercent = 12;
inline constexpr long kPropCurrency = 14;
inline constexpr long kPropInteger = 20;

// The VARIANT type a user-property type keeps its value in; VT_EMPTY for a
// type the stand-in does not keep.
VARTYPE UserPropertyVarType(long type);

class CUserProperty final : public CAutoObject {
public:
    CUserProperty(CUserProperties& owner, std::wstring name, long type);

    const std::wstring& Name() const { return m_name; }
    long Type() const { return m_type; }
    const VARIANT& Value() const { return m_value; }
    std::wstring Text() const;
    // Converted to the property's type; false when it does not convert.
    bool SetValue(const VARIANT& value);
    bool SetText(const std::wstring& text);
    long Index() const;

    void Detach() { m_owner = nullptr; }

private:
    ~CUserProperty() override = default;

    CUserProperties* m_owner;
    std::wstring m_name;
    long m_type;
    CVariant m_value;
};

class CUserProperties final : public CAutoObject {
public:
    explicit CUserProperties(CItem& item);

    size_t Count() const { return m_properties.size(); }
    CUserProperty* At(size_t zeroBased) const;
    // By name, without regard to case; null when missing.
    CUserProperty* Find(const std::wstring& name) const;
    // A new property; the one there is when the name and type are taken.
    // Throws CInvokeError as Outlook fails (another type under the name, a
    // type not kept, the folder refusing the field).
    CUserProperty& Add(const std::wstring& name, long type, bool addToFolderFields = false);
    void Remove(size_t zeroBased);
    void Clear();
    long IndexOf(const CUserProperty& property) const;

    CItem* Item() const { return m_item; }
    void Changed();
    void Detach();

private:
    ~CUserProperties() override;

    CItem* m_item;
    std::vector<CComPtr<CUserProperty>> m_properties;
};

} // namespace standin
