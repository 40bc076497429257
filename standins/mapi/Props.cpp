#include "standins/mapi/Props.h"

#include <cstring>

StoredProp TextProp(ULONG tag, const std::string& text)
{
    StoredProp prop;
    prop.tag = tag;
    prop.bytes = text;
    return prop;
}

StoredProp BinaryProp(ULONG tag, const std::string& bytes)
{
    return TextProp(tag, bytes);
}

StoredProp LongProp(ULONG tag, ULONG value)
{
    StoredProp prop;
    prop.tag = tag;
    prop.number = value;
    return prop;
}

StoredProp MultiTextProp(ULONG tag, const std::vector<std::string>& values)
{
    StoredProp prop;
    prop.tag = tag;
    prop.values = values;
    return prop;
}

const StoredProp* FindProp(const std::vector<StoredProp>& props, ULONG tag)
{
    for (const StoredProp& prop : props)
        if (prop.tag == tag)
            return &prop;
    return nullptr;
}

static SCODE CopyText(const std::string& text, void* parent, char** out)
{
    void* data = nullptr;
    SCODE sc = MAPIAllocateMore(static_cast<ULONG>(text.size() + 1), parent, &data);
    if (FAILED(sc))
        return sc;
    std::memcpy(data, text.c_str(), text.size() + 1);
    *out = static_cast<char*>(data);
    return S_OK;
}

SCODE CopyPropOut(const StoredProp& prop, SPropValue& out, void* parent)
{
    out.ulPropTag = prop.tag;
    out.dwAlignPad = 0;
    switch (PROP_TYPE(prop.tag)) {
    case PT_LONG:
        out.Value.l = static_cast<LONG>(prop.number);
        return S_OK;
    case PT_STRING8:
        return CopyText(prop.bytes, parent, &out.Value.lpszA);
    case PT_BINARY: {
        void* data = nullptr;
        SCODE sc = MAPIAllocateMore(static_cast<ULONG>(prop.bytes.size() + 1), parent, &data);
        if (FAILED(sc))
            return sc;
        std::memcpy(data, prop.bytes.data(), prop.bytes.size());
        out.Value.bin.cb = static_cast<ULONG>(prop.bytes.size());
        out.Value.bin.lpb = static_cast<BYTE*>(data);
        return S_OK;
    }
    case PT_MV_STRING8: {
        void* array = nullptr;
        SCODE sc = MAPIAllocateMore(static_cast<ULONG>(sizeof(char*) * (prop.values.size() + 1)),
                                    parent, &array);
        if (FAILED(sc))
            return sc;
        char** texts = static_cast<char**>(array);
        for (size_t i = 0; i < prop.values.size(); ++i)
            if (FAILED(sc = CopyText(prop.values[i], parent, &texts[i])))
                return sc;
        out.Value.MVszA.cValues = static_cast<ULONG>(prop.values.size());
        out.Value.MVszA.lppszA = texts;
        return S_OK;
    }
    default:
        out.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(prop.tag));
        out.Value.err = MAPI_E_NO_SUPPORT;
        return S_OK;
    }
}

HRESULT CopyPropsOut(const std::vector<StoredProp>& props, const SPropTagArray* tags, ULONG* count,
                     SPropValue** out)
{
    if (!count || !out)
        return MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *out = nullptr;
    ULONG wanted = tags ? tags->cValues : static_cast<ULONG>(props.size());
    void* buffer = nullptr;
    SCODE sc =
        MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * (wanted ? wanted : 1)), &buffer);
    if (FAILED(sc))
        return sc;
    SPropValue* values = static_cast<SPropValue*>(buffer);
    bool missing = false;
    for (ULONG i = 0; i < wanted; ++i) {
        const StoredProp* prop = tags ? FindProp(props, tags->aulPropTag[i]) : &props[i];
        if (!prop) {
            values[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tags->aulPropTag[i]));
            values[i].dwAlignPad = 0;
            values[i].Value.err = MAPI_E_NOT_FOUND;
            missing = true;
            continue;
        }
        if (FAILED(sc = CopyPropOut(*prop, values[i], buffer))) {
            MAPIFreeBuffer(buffer);
            return sc;
        }
    }
    *count = wanted;
    *out = values;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

std::string MakeEntryId(char kind, const std::string& key)
{
    return std::string(4, '\0') + kind + key;
}

bool ParseEntryId(ULONG size, const ENTRYID* id, char& kind, std::string& key)
{
    if (!id || size < 5)
        return false;
    const char* bytes = reinterpret_cast<const char*>(id);
    kind = bytes[4];
    key.assign(bytes + 5, size - 5);
    return true;
}

HRESULT CopyEntryIdOut(const std::string& id, ULONG* size, ENTRYID** out)
{
    if (!size || !out)
        return MAPI_E_INVALID_PARAMETER;
    void* buffer = nullptr;
    SCODE sc = MAPIAllocateBuffer(static_cast<ULONG>(id.size()), &buffer);
    if (FAILED(sc))
        return sc;
    std::memcpy(buffer, id.data(), id.size());
    *size = static_cast<ULONG>(id.size());
    *out = static_cast<ENTRYID*>(buffer);
    return S_OK;
}
