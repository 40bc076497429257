// An Outlook attachment made of a CFakeDispatch, for tests of code that
// saves attachments by late binding. Header only: CFakeDispatch is built
// into the test programs that use it.
#pragma once

#include <string>

#include "tests/support/FakeDispatch.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestText.h"

// An attachment whose SaveAsFile writes contents to the path it is given.
inline CComPtr<CFakeDispatch> Attachment(const std::string& contents)
{
    auto attachment = CFakeDispatch::Create();
    attachment->Method(L"SaveAsFile", [contents](const DISPPARAMS& params, VARIANT*) {
        if (params.cArgs != 1 || params.rgvarg[0].vt != VT_BSTR)
            return DISP_E_BADPARAMCOUNT;
        testenv::WriteFileBytes(NarrowOf(params.rgvarg[0]), contents);
        return S_OK;
    });
    return attachment;
}
