#include "options/module/QuillOptsApp.h"

#include <vector>

namespace {

CString VersionText(DWORD mostSignificant, DWORD leastSignificant)
{
    CString text;
    text.Format("%2d.%d.%d.%d", HIWORD(mostSignificant), LOWORD(mostSignificant),
                HIWORD(leastSignificant), LOWORD(leastSignificant));
    return text;
}

} // namespace

CQuillOptsApp& TheOptsApp()
{
    static CQuillOptsApp app;
    return app;
}

BOOL CQuillOptsApp::InitInstance()
{
    CWinApp::InitInstance();
    AfxSetApp(this);
    return TRUE;
}

void CQuillOptsApp::ReadVersion()
{
    m_productVersion.Empty();
    m_fileVersion.Empty();
    const CString path = GetModulePath();
    if (path.IsEmpty())
        return;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data()))
        return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return;
    m_productVersion = VersionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    m_fileVersion = VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

CString CQuillOptsApp::GetHelpFilePath() const
{
    CString path = GetModulePath();
    const int dot = path.ReverseFind('.');
    const int slash = path.ReverseFind('\\');
    if (dot > slash)
        path = path.Left(dot);
    return path + ".HLP";
}
