// Whether a request already has its receipt task: one request, one task,
// however many receipt files tell of it (a file imported again because it
// could not be deleted, two files of one request).
#pragma once

#include <windows.h>
#include <oaidl.h>

// Looks through the default Tasks folder of the application's MAPI
// namespace (where the import files its tasks) for a task whose
// "Quillet ID" is requestId. S_OK when there is one, S_FALSE when there is
// none (or requestId is empty), else the failure that stopped the search.
HRESULT FindReceiptTask(IDispatch* application, const char* requestId);
