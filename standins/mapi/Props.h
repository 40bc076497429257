// Properties as the stand-in's objects keep them, and their copies into MAPI
// buffers for callers. Entry IDs are the stand-in's own: four flag bytes,
// one kind byte ('U' user, 'G' global list, 'C' other container) and a key.
#pragma once

#include <string>
#include <vector>
#include <mapix.h>

struct StoredProp {
    ULONG tag = 0;
    ULONG number = 0;
    std::string bytes;
    std::vector<std::string> values;
};

StoredProp TextProp(ULONG tag, const std::string& text);
StoredProp BinaryProp(ULONG tag, const std::string& bytes);
StoredProp LongProp(ULONG tag, ULONG value);
StoredProp MultiTextProp(ULONG tag, const std::vector<std::string>& values);

const StoredProp* FindProp(const std::vector<StoredProp>& props, ULONG tag);

// The asked properties (all when tags is null) in one new MAPI buffer;
// missing ones come back as PT_ERROR with MAPI_W_ERRORS_RETURNED.
HRESULT CopyPropsOut(const std::vector<StoredProp>& props, const SPropTagArray* tags, ULONG* count,
                     SPropValue** out);
// One property into out, its data allocated on parent.
SCODE CopyPropOut(const StoredProp& prop, SPropValue& out, void* parent);

std::string MakeEntryId(char kind, const std::string& key);
bool ParseEntryId(ULONG size, const ENTRYID* id, char& kind, std::string& key);
// A new MAPI buffer holding the bytes.
HRESULT CopyEntryIdOut(const std::string& id, ULONG* size, ENTRYID** out);
