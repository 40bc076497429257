#include "tests/options/OptionsTest.h"

#include <commctrl.h>

#include "classlib/com/CComPtr.h"
#include "standins/outlook/model/PropertyPages.h"

namespace optionstest {

HRESULT CallExport(HMODULE library, const char* name)
{
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto call = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return call ? call() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT RegisterLibrary(const std::string& path, bool registering)
{
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library)
        return HRESULT_FROM_WIN32(GetLastError());
    const HRESULT hr =
        CallExport(library, registering ? "DllRegisterServer" : "DllUnregisterServer");
    FreeLibrary(library);
    return hr;
}

std::optional<std::string> ClassesText(const std::string& key, const char* name)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::string(text);
}

bool ClassesKeyExists(const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    if (GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND Control(HWND dialog, int id)
{
    Search search{id, nullptr};
    EnumChildWindows(dialog, Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ControlText(HWND dialog, int id)
{
    char text[1024] = {};
    GetWindowTextA(Control(dialog, id), text, sizeof text);
    return text;
}

std::vector<std::string> ListRows(HWND dialog, int id)
{
    HWND list = Control(dialog, id);
    std::vector<std::string> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        char text[256] = {};
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        rows.push_back(text);
    }
    return rows;
}

int ListRowState(HWND dialog, int id, int row)
{
    HWND list = Control(dialog, id);
    const UINT state =
        static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

const standin::COptionsDialog::PageRecord& OptionsRun::Page() const
{
    static const standin::COptionsDialog::PageRecord none;
    for (const auto& record : records)
        if (record.progId == L"QuillOpts.PropPage")
            return record;
    return none;
}

OptionsRun RunOptions(const std::function<void(CScriptedUser&)>& script,
                      const CScriptedUser::Limits& limits, const OptionsWay& way)
{
    CComPtr<standin::CPropertyPages> pages = standin::New<standin::CPropertyPages>();
    pages->AddPage(L"QuillOpts.PropPage", L"Quillet");
    OptionsRun run;
    {
        standin::COptionsDialog dialog(*pages, nullptr);
        dialog.SetHiddenTab(way.hiddenTab);
        CScriptedUser user(limits);
        user.Expect("Options");
        if (way.pickPage)
            user.PickTab("Quillet");
        script(user);
        user.Start();
        run.ended = dialog.Run(nullptr);
        user.Stop();
        run.scriptDone = user.Finished();
        run.report = user.Report();
        run.records = dialog.Records();
    }
    return run;
}

} // namespace optionstest

void OptionsPageTest::SetUpTestSuite()
{
    ASSERT_EQ(S_OK, optionstest::RegisterLibrary(testenv::ProgramFolder() + "QuillOpts.dll", true));
}

void OptionsPageTest::TearDownTestSuite()
{
    // Pages let go of are unloaded before the library's registration goes.
    CoFreeUnusedLibrariesEx(0, 0);
    optionstest::RegisterLibrary(testenv::ProgramFolder() + "QuillOpts.dll", false);
}
