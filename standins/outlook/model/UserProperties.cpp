#include "standins/outlook/model/UserProperties.h"

#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/model/Folder.h"
#include "standins/outlook/model/Item.h"
#include "standins/outlook/model/ValueText.h"

namespace standin {

VARTYPE UserPropertyVarType(long type)
{
    switch (type) {
    case kPropText:
        return VT_BSTR;
    case kPropNumber:
        return VT_R8;
    case kPropDateTime:
        return VT_DATE;
    case kPropYesNo:
        return VT_BOOL;
    case kPropDuration:
    case kPropPercent:
    case kPropInteger:
        return VT_I4;
    case kPropCurrency:
        return VT_CY;
    default:
        return VT_EMPTY;
    }
}

CUserProperty::CUserProperty(CUserProperties& owner, std::wstring name, long type)
    : CAutoObject(L"UserProperty"), m_owner(&owner), m_name(std::move(name)), m_type(type)
{
    const VARTYPE vt = UserPropertyVarType(type);
    if (vt == VT_BSTR) {
        m_value = TextVariant(L"");
    } else {
        m_value.vt = vt;
        m_value.cyVal.int64 = 0; // the whole value, whatever the type
        if (vt == VT_DATE)
            m_value.date = kNoDate;
    }
    Getter(L"Name", [this](CCall& call) { call.Return(m_name); });
    Getter(L"Type", [this](CCall& call) { call.Return(m_type); });
    Getter(L"Index", [this](CCall& call) { call.Return(Index()); });
    Property(
        L"Value", [this](CCall& call) { call.Return(m_value); },
        [this](CCall& call) {
            if (!SetValue(call.Value()))
                Fail(DISP_E_TYPEMISMATCH, L"Type mismatch.");
        });
    Method(L"Delete", 0, 0, [this](CCall&) {
        if (m_owner && Index() > 0)
            m_owner->Remove(static_cast<size_t>(Index() - 1));
    });
}

std::wstring CUserProperty::Text() const
{
    std::wstring text;
    ValueToText(m_value, text);
    return text;
}

bool CUserProperty::SetValue(const VARIANT& value)
{
    CVariant converted;
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0,
                                 UserPropertyVarType(m_type))))
        return false;
    m_value = converted;
    if (m_owner)
        m_owner->Changed();
    return true;
}

bool CUserProperty::SetText(const std::wstring& text)
{
    return SetValue(TextVariant(text));
}

long CUserProperty::Index() const
{
    return m_owner ? m_owner->IndexOf(*this) : 0;
}

CUserProperties::CUserProperties(CItem& item) : CAutoObject(L"UserProperties"), m_item(&item)
{
    Getter(L"Count", [this](CCall& call) { call.Return(static_cast<long>(m_properties.size())); });
    // By name or by place. A name the item lacks gives Nothing, as in
    // Outlook, where only the use of it then fails.
    Indexed(L"Item", 1, 1, [this](CCall& call) {
        const VARIANT& key = call.Arg(0);
        if ((key.vt & ~VT_BYREF) == VT_BSTR) {
            call.Return(Find(call.Text(0)));
            return;
        }
        call.Return(m_properties[CollectionIndex(call.Long(0), m_properties.size())].Get());
    });
    // Custom properties are all this collection keeps, so custom = false
    // (the item's own fields) finds none of them.
    Method(L"Find", 1, 2, [this](CCall& call) {
        const std::wstring name = call.Text(0);
        if (!call.Bool(1, true)) {
            call.ReturnNothing();
            return;
        }
        call.Return(Find(name));
    });
    Method(L"Add", 2, 4, [this](CCall& call) {
        const std::wstring name = call.Text(0);
        const long type = call.Long(1);
        const bool addToFolderFields = call.Bool(2, true);
        call.Return(&Add(name, type, addToFolderFields));
    });
    Method(L"Remove", 1, 1,
           [this](CCall& call) { Remove(CollectionIndex(call.Long(0), m_properties.size())); });
}

CUserProperties::~CUserProperties()
{
    for (const auto& property : m_properties)
        property->Detach();
}

CUserProperty* CUserProperties::At(size_t zeroBased) const
{
    return zeroBased < m_properties.size() ? m_properties[zeroBased].Get() : nullptr;
}

CUserProperty* CUserProperties::Find(const std::wstring& name) const
{
    for (const auto& property : m_properties)
        if (SameName(property->Name(), name))
            return property.Get();
    return nullptr;
}

CUserProperty& CUserProperties::Add(const std::wstring& name, long type, bool addToFolderFields)
{
    if (name.empty())
        Fail(E_INVALIDARG, L"The parameter is incorrect.");
    if (UserPropertyVarType(type) == VT_EMPTY)
        Fail(E_INVALIDARG, L"The property type is not supported.");
    CFolder* folder = m_item ? m_item->Folder() : nullptr;
    if (addToFolderFields && folder && folder->RefusesFolderFields())
        Fail(E_FAIL, L"The field cannot be added to the folder \"" + folder->Name() + L"\".");
    if (CUserProperty* existing = Find(name)) {
        if (existing->Type() != type)
            Fail(E_INVALIDARG,
                 L"A property named \"" + name + L"\" of another type already exists.");
        return *existing;
    }
    m_properties.push_back(New<CUserProperty>(*this, name, type));
    if (addToFolderFields && folder)
        folder->AddFolderField(name);
    Changed();
    return *m_properties.back();
}

void CUserProperties::Remove(size_t zeroBased)
{
    if (zeroBased >= m_properties.size())
        return;
    m_properties[zeroBased]->Detach();
    m_properties.erase(m_properties.begin() + static_cast<std::ptrdiff_t>(zeroBased));
    Changed();
}

void CUserProperties::Clear()
{
    for (const auto& property : m_properties)
        property->Detach();
    m_properties.clear();
    Changed();
}

long CUserProperties::IndexOf(const CUserProperty& property) const
{
    for (size_t i = 0; i < m_properties.size(); ++i)
        if (m_properties[i].Get() == &property)
            return static_cast<long>(i + 1);
    return 0;
}

void CUserProperties::Changed()
{
    if (m_item)
        m_item->Touch();
}

void CUserProperties::Detach()
{
    m_item = nullptr;
}

} // namespace standin
