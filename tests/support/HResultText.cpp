#include "tests/support/HResultText.h"

#include <cstdio>

#include <mapicode.h>
#include <olectl.h>

namespace {

struct Named {
    HRESULT hr;
    const char* name;
};

#define NAMED(code)                                                                                \
    {                                                                                              \
        code, #code                                                                                \
    }

const Named kNames[] = {
    NAMED(S_OK),
    NAMED(S_FALSE),
    NAMED(E_FAIL),
    NAMED(E_INVALIDARG),
    NAMED(E_OUTOFMEMORY),
    NAMED(E_POINTER),
    NAMED(E_NOINTERFACE),
    NAMED(E_NOTIMPL),
    NAMED(E_UNEXPECTED),
    NAMED(E_ACCESSDENIED),
    NAMED(E_ABORT),
    NAMED(E_HANDLE),
    NAMED(CLASS_E_CLASSNOTAVAILABLE),
    NAMED(CLASS_E_NOAGGREGATION),
    NAMED(SELFREG_E_CLASS),
    NAMED(SELFREG_E_TYPELIB),
    NAMED(CONNECT_E_NOCONNECTION),
    NAMED(CONNECT_E_CANNOTCONNECT),
    NAMED(DISP_E_UNKNOWNINTERFACE),
    NAMED(DISP_E_MEMBERNOTFOUND),
    NAMED(DISP_E_PARAMNOTFOUND),
    NAMED(DISP_E_TYPEMISMATCH),
    NAMED(DISP_E_UNKNOWNNAME),
    NAMED(DISP_E_NONAMEDARGS),
    NAMED(DISP_E_BADVARTYPE),
    NAMED(DISP_E_EXCEPTION),
    NAMED(DISP_E_OVERFLOW),
    NAMED(DISP_E_BADINDEX),
    NAMED(DISP_E_BADPARAMCOUNT),
    NAMED(DISP_E_PARAMNOTOPTIONAL),
    NAMED(TYPE_E_ELEMENTNOTFOUND),
    NAMED(TYPE_E_LIBNOTREGISTERED),
    NAMED(TYPE_E_CANTLOADLIBRARY),
    NAMED(REGDB_E_CLASSNOTREG),
    NAMED(RPC_E_SERVERFAULT),
    NAMED(RPC_E_CHANGED_MODE),
    NAMED(CO_E_NOTINITIALIZED),
    NAMED(STG_E_ACCESSDENIED),
    NAMED(STG_E_FILENOTFOUND),
    NAMED(MAPI_E_NO_SUPPORT),
    NAMED(MAPI_E_NOT_FOUND),
    NAMED(MAPI_E_UNKNOWN_ENTRYID),
    NAMED(MAPI_E_LOGON_FAILED),
    NAMED(MAPI_E_NOT_INITIALIZED),
    NAMED(MAPI_E_TOO_COMPLEX),
};

#undef NAMED

const Named kWin32Names[] = {
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
    {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
    {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
    {ERROR_INVALID_DATA, "ERROR_INVALID_DATA"},
    {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
    {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER"},
    {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
    {ERROR_CANCELLED, "ERROR_CANCELLED"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "ERROR_RESOURCE_TYPE_NOT_FOUND"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "ERROR_RESOURCE_NAME_NOT_FOUND"},
    {ERROR_TIMEOUT, "ERROR_TIMEOUT"},
};

} // namespace

std::string HResultText(HRESULT hr)
{
    char text[160];
    const unsigned long value = static_cast<unsigned long>(hr);
    // Codes of FACILITY_ITF mean what the interface says: one value may
    // have several names, and all are shown.
    std::string names;
    for (const Named& named : kNames) {
        if (named.hr == hr)
            names += (names.empty() ? "" : " or ") + std::string(named.name);
    }
    if (names.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32) {
        for (const Named& named : kWin32Names) {
            if (static_cast<HRESULT>(HRESULT_CODE(hr)) == named.hr)
                names = "HRESULT_FROM_WIN32(" + std::string(named.name) + ")";
        }
    }
    if (names.empty()) {
        std::snprintf(text, sizeof text, "0x%08lX (%s, facility %u, code 0x%04X)", value,
                      FAILED(hr) ? "a failure" : "a success",
                      static_cast<unsigned>(HRESULT_FACILITY(hr)),
                      static_cast<unsigned>(HRESULT_CODE(hr)));
        return text;
    }
    std::snprintf(text, sizeof text, "0x%08lX (%s)", value, names.c_str());
    return text;
}

::testing::AssertionResult HResultsEqual(const char* expectedText, const char* actualText,
                                         HRESULT expected, HRESULT actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "Value of: " << actualText << "\n  Actual: hr=" << HResultText(actual)
           << "\nExpected: " << expectedText << ", hr=" << HResultText(expected);
}
