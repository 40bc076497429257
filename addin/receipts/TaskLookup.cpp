#include "addin/receipts/TaskLookup.h"

#include "addin/receipts/ReceiptTask.h"
#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "classlib/com/HResult.h"
#include "classlib/strings/CString.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/outlook/OutlookEnums.h"

using namespace automation;

HRESULT FindReceiptTask(IDispatch* application, const char* requestId)
{
    if (!requestId || !*requestId)
        return S_FALSE;
    if (!application)
        return E_INVALIDARG;
    CBstr mapi(L"MAPI");
    VARIANT mapiArg[] = {BorrowedTextArg(mapi.Get())};
    CVariant nameSpace;
    RETURN_IF_FAILED(
        CDispatcher::CallMethod(application, L"GetNamespace", nameSpace.Put(), 1, mapiArg));
    if (!IsObject(nameSpace))
        return E_FAIL;
    VARIANT folderArg[] = {LongArg(ol::kFolderTasks)};
    CVariant folder;
    RETURN_IF_FAILED(CDispatcher::CallMethod(nameSpace.pdispVal, L"GetDefaultFolder", folder.Put(),
                                             1, folderArg));
    if (!IsObject(folder))
        return E_FAIL;
    CVariant items;
    RETURN_IF_FAILED(CDispatcher::GetProp(folder.pdispVal, L"Items", items.Put()));
    if (!IsObject(items))
        return E_FAIL;
    CVariant count;
    RETURN_IF_FAILED(CDispatcher::GetProp(items.pdispVal, L"Count", count.Put()));
    RETURN_IF_FAILED(VariantChangeType(&count, &count, 0, VT_I4));
    // Items are asked one by one: a user property is not in every folder's
    // fields, so a restriction on it would miss tasks of older installations.
    for (long i = 1; i <= count.lVal; ++i) {
        VARIANT indexArg[] = {LongArg(i)};
        CVariant item;
        if (FAILED(CDispatcher::CallMethod(items.pdispVal, L"Item", item.Put(), 1, indexArg)) ||
            !IsObject(item))
            continue;
        CString id;
        if (CDispatcher::GetUserProperty(item.pdispVal, kQuilletIdProperty, id) == S_OK &&
            id == requestId)
            return S_OK;
    }
    return S_FALSE;
}
