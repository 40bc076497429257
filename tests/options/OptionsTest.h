// What the options page's tests share: QuillOpts.dll registered from beside
// the test program for the suite (and unregistered after it, so no other
// program of the prefix finds it), and Tools | Options of the Outlook
// stand-in opened on the page, played by a scripted user.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "standins/outlook/model/OptionsDialog.h"
#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/TestEnv.h"

namespace optionstest {

inline constexpr char kProgId[] = "QuillOpts.PropPage";
inline constexpr char kPropPageClsid[] = "{0FA753DE-CC7A-49BF-AD7D-6555A0DF5202}";

// A library of the test's, loaded, with one of its exports called.
HRESULT CallExport(HMODULE library, const char* name);

// Registers (or unregisters) the COM library at path by its own exports.
HRESULT RegisterLibrary(const std::string& path, bool registering);

// A value under HKEY_CLASSES_ROOT as text (default value with a null name);
// nothing when the key or the value is missing.
std::optional<std::string> ClassesText(const std::string& key, const char* name);
bool ClassesKeyExists(const std::string& key);

// The text of a control of the page, found by id anywhere in the dialog.
std::string ControlText(HWND dialog, int id);
HWND Control(HWND dialog, int id);
// The texts of a list view's rows, top to bottom (asked of the list, so
// callback texts come from their owner).
std::vector<std::string> ListRows(HWND dialog, int id);
// The check box state image (1 checked, 2 not) of a list view's row.
int ListRowState(HWND dialog, int id, int row);

// The outcome of one Options dialog.
struct OptionsRun {
    INT_PTR ended = 0;
    std::vector<standin::COptionsDialog::PageRecord> records;
    bool scriptDone = false;
    std::string report;
    // The page's record (the one with the page's ProgID).
    const standin::COptionsDialog::PageRecord& Page() const;
};

// How the dialog is run: what a tab switched away does to the control,
// and whether the user picks the "Quillet" tab before the script.
struct OptionsWay {
    standin::COptionsDialog::HiddenTab hiddenTab = standin::COptionsDialog::HiddenTab::Deactivate;
    bool pickPage = true;
};

// Opens Tools | Options with the "Quillet" page added as the add-in adds
// it; the script (without the tab pick, which comes first) is played on it.
OptionsRun RunOptions(const std::function<void(CScriptedUser&)>& script,
                      const CScriptedUser::Limits& limits = {}, const OptionsWay& way = {});

} // namespace optionstest

// Every test of the page: a clean profile, the library registered for the
// suite.
class OptionsPageTest : public CleanProfileTest {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
};
