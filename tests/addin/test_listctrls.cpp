// The editable value list: its in-cell editors driven by the scripted user
// in a dialog of the test's own (keys go through the dialog's message loop
// as typed keys do), the checks of typed values, the option lists and the
// pattern matcher they use.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "addin/controls/KVList.h"
#include "addin/wizard/ValidateValue.h"
#include "classlib/strings/CRegExp.h"
#include "classlib/ui/CDialog.h"
#include "shared/requests/KeywordValue.h"
#include "tests/addin/ListTestIds.h"
#include "standins/scripteduser/ScriptedUser.h"

namespace {

// The message a value with a notification sends its owner here.
constexpr UINT WM_VALUE_CHANGED = WM_APP + 7;

CScriptedUser::Limits Quick()
{
    CScriptedUser::Limits limits;
    limits.stepMs = 2000;
    limits.idleMs = 2000;
    limits.deadlineMs = 20000;
    return limits;
}

std::unique_ptr<CKeywordValue> Value(const char* key, const char* value, const char* type = "Text")
{
    auto row = std::make_unique<CKeywordValue>();
    row->m_key = key;
    row->m_value = value;
    row->m_type = type;
    row->m_prompt = "<enter>";
    return row;
}

// A dialog holding a value list over the test's rows, as the template page
// holds its own: it supplies the texts and hears of changed values.
class ValuesHost : public CDialog {
public:
    explicit ValuesHost(std::vector<std::unique_ptr<CKeywordValue>>& rows)
        : CDialog(IDD_VALUES_HOST), m_list(IDC_HOST_VALUES, this), m_rows(rows)
    {}

    CKVList m_list;
    std::vector<std::pair<WPARAM, LPARAM>> m_changes;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_list.SubclassDlgItem(IDC_HOST_VALUES, m_hWnd);
        m_list.InsertColumn(0, "Key", LVCFMT_LEFT, 100);
        m_list.InsertColumn(1, "Value", LVCFMT_LEFT, 200);
        for (size_t i = 0; i < m_rows.size(); ++i) {
            int at = m_list.InsertItem(static_cast<int>(i), LPSTR_TEXTCALLBACK, -1,
                                       reinterpret_cast<LPARAM>(m_rows[i].get()));
            m_list.SetItemText(at, 1, LPSTR_TEXTCALLBACK);
        }
        return TRUE;
    }

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == IDC_HOST_VALUES &&
            (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW)) {
            m_list.OnScrolled();
            auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
            const CKeywordValue* row = m_list.GetValue(info->item.iItem);
            if ((info->item.mask & LVIF_TEXT) && row)
                CListCtrl::SetDisplayText(header,
                                          info->item.iSubItem == 0 ? row->m_key : row->m_value);
            *result = 0;
            return TRUE;
        }
        return CDialog::OnNotify(wParam, lParam, result);
    }

    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message != WM_VALUE_CHANGED)
            return FALSE;
        m_changes.emplace_back(wParam, lParam);
        result = 0;
        return TRUE;
    }

private:
    std::vector<std::unique_ptr<CKeywordValue>>& m_rows;
};

HWND List(HWND dialog)
{
    return GetDlgItem(dialog, IDC_HOST_VALUES);
}

HWND Editor(HWND dialog)
{
    HWND list = List(dialog);
    HWND editor = FindWindowExA(list, nullptr, "Edit", nullptr);
    return editor ? editor : FindWindowExA(list, nullptr, "ComboBox", nullptr);
}

RECT CellRect(HWND list, int row, int column)
{
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&cell));
    if (column == 0) // the whole row's bounds: the first column is as wide as its header
        cell.right = cell.left + static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    return cell;
}

// The row the open editor stands over, or -1 without one.
int EditorRow(HWND dialog)
{
    HWND editor = Editor(dialog);
    if (!editor)
        return -1;
    RECT frame{};
    GetWindowRect(editor, &frame);
    MapWindowPoints(nullptr, List(dialog), reinterpret_cast<POINT*>(&frame), 2);
    const int rows = static_cast<int>(SendMessageA(List(dialog), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        if (CellRect(List(dialog), row, 1).top == frame.top)
            return row;
    }
    return -2;
}

std::string Cell(HWND list, int row, int column)
{
    char text[256] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

// ---- what a person does ----

void ClickCell(CScriptedUser& user, int row, int column)
{
    user.Do("click row " + std::to_string(row) + " column " + std::to_string(column),
            [row, column](HWND dialog) {
                RECT cell = CellRect(List(dialog), row, column);
                SendMessageA(
                    List(dialog), WM_LBUTTONDOWN, MK_LBUTTON,
                    MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
                return true;
            });
}

void ExpectEditorOn(CScriptedUser& user, int row)
{
    user.Do("see the editor over row " + std::to_string(row), [row](HWND dialog) {
        return EditorRow(dialog) == row && GetFocus() == Editor(dialog);
    });
}

void ExpectNoEditor(CScriptedUser& user)
{
    user.Do("see no editor", [](HWND dialog) { return Editor(dialog) == nullptr; });
}

void TypeInEditor(CScriptedUser& user, const std::string& text)
{
    user.Do("type \"" + text + "\"", [text](HWND dialog) {
        HWND editor = Editor(dialog);
        if (!editor)
            return false;
        SetWindowTextA(editor, text.c_str());
        return true;
    });
}

// Posted, so the key goes through the dialog's loop as a typed one does.
void Press(CScriptedUser& user, WPARAM key)
{
    user.Do("press key " + std::to_string(key), [key](HWND dialog) {
        HWND editor = Editor(dialog);
        if (!editor || GetFocus() != editor)
            return false;
        PostMessageA(editor, WM_KEYDOWN, key, 0);
        return true;
    });
}

INT_PTR RunHost(ValuesHost& host, CScriptedUser& user)
{
    user.Start();
    INT_PTR result = host.DoModal();
    user.Stop();
    return result;
}

std::vector<std::unique_ptr<CKeywordValue>> ThreeTextRows()
{
    std::vector<std::unique_ptr<CKeywordValue>> rows;
    rows.push_back(Value("first", "one"));
    rows.push_back(Value("second", "two"));
    rows.push_back(Value("third", "three"));
    return rows;
}

} // namespace

// ---- moving between rows ----

struct NavigateCase {
    const char* name;
    int from;
    WPARAM key;
    int to; // -1: no editor left
};

class Navigate : public ::testing::TestWithParam<NavigateCase> {};

TEST_P(Navigate, KeysTakeTheEditToTheRowTheyPointAt)
{
    const NavigateCase& row = GetParam();
    auto rows = ThreeTextRows();
    ValuesHost host(rows);
    CScriptedUser user(Quick());
    user.Expect("Values Host");
    ClickCell(user, row.from, 1);
    ExpectEditorOn(user, row.from);
    TypeInEditor(user, "typed");
    Press(user, row.key);
    if (row.to >= 0)
        ExpectEditorOn(user, row.to);
    else
        ExpectNoEditor(user);
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_STREQ("typed", rows[row.from]->m_value) << "leaving the row takes its text";
}

INSTANTIATE_TEST_SUITE_P(Keys, Navigate,
                         ::testing::Values(NavigateCase{"DownFromTheLastWraps", 2, VK_DOWN, 0},
                                           NavigateCase{"UpFromTheFirstWraps", 0, VK_UP, 2},
                                           NavigateCase{"DownMovesOn", 0, VK_DOWN, 1},
                                           NavigateCase{"UpMovesBack", 2, VK_UP, 1},
                                           NavigateCase{"EnterMovesOn", 1, VK_RETURN, 2},
                                           NavigateCase{"EnterOnTheLastEnds", 2, VK_RETURN, -1}),
                         [](const ::testing::TestParamInfo<NavigateCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ValueEditor, EscapeKeepsTheValue)
{
    auto rows = ThreeTextRows();
    ValuesHost host(rows);
    std::string cell;
    CScriptedUser user(Quick());
    ClickCell(user, 1, 1);
    ExpectEditorOn(user, 1);
    TypeInEditor(user, "changed");
    Press(user, VK_ESCAPE);
    ExpectNoEditor(user);
    user.Do("read the cell", [&cell](HWND dialog) {
        cell = Cell(List(dialog), 1, 1);
        return true;
    });
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_STREQ("two", rows[1]->m_value);
    EXPECT_EQ("two", cell);
}

TEST(ValueEditor, ClickOnTheNameEditsTheValueAndLockedOrNarrowCellsOpenNothing)
{
    auto rows = ThreeTextRows();
    rows[2]->m_choice = 0; // not the user's to change
    ValuesHost host(rows);
    int editorLeft = -1;
    int valueLeft = -2;
    bool narrowRect = true;
    CScriptedUser user(Quick());
    ClickCell(user, 0, 0);
    ExpectEditorOn(user, 0);
    user.Do("measure the editor", [&](HWND dialog) {
        RECT frame{};
        GetWindowRect(Editor(dialog), &frame);
        MapWindowPoints(nullptr, List(dialog), reinterpret_cast<POINT*>(&frame), 2);
        editorLeft = frame.left;
        valueLeft = CellRect(List(dialog), 0, 1).left;
        return true;
    });
    Press(user, VK_ESCAPE);
    ExpectNoEditor(user);
    ClickCell(user, 2, 1);
    user.Do("make the value column narrow", [&](HWND dialog) {
        // The click on the locked row opened nothing.
        if (Editor(dialog))
            return false;
        host.m_list.SetColumnWidth(1, 9);
        RECT cell{};
        narrowRect = host.m_list.GetCellRect(0, 1, &cell) != FALSE;
        return true;
    });
    ClickCell(user, 0, 1);
    user.Do("see no editor", [](HWND dialog) { return Editor(dialog) == nullptr; });
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(valueLeft, editorLeft) << "the editor stands over the value";
    EXPECT_FALSE(narrowRect) << "a column under 10 pixels is no cell to edit";
}

// ---- what a finished edit does ----

struct EndEditCase {
    const char* name;
    const char* type;
    const char* pattern;
    const char* errorMessage;
    const char* before;
    const char* typed;
    const char* after;
    const char* cell;
    int notified; // the owner heard of it
};

class EndEdit : public ::testing::TestWithParam<EndEditCase> {};

TEST_P(EndEdit, TypedTextIsCheckedKeptOrRefused)
{
    const EndEditCase& row = GetParam();
    std::vector<std::unique_ptr<CKeywordValue>> rows;
    rows.push_back(Value("value", row.before, row.type));
    rows[0]->m_pattern = row.pattern;
    rows[0]->m_errorMessage = row.errorMessage;
    rows[0]->m_tag = WM_VALUE_CHANGED;
    ValuesHost host(rows);
    std::string cell;
    CScriptedUser user(Quick());
    ClickCell(user, 0, 1);
    ExpectEditorOn(user, 0);
    TypeInEditor(user, row.typed);
    Press(user, VK_RETURN);
    if (*row.errorMessage)
        user.AnswerMessageBox(IDOK);
    ExpectNoEditor(user);
    user.Do("read the cell", [&cell](HWND dialog) {
        cell = Cell(List(dialog), 0, 1);
        return true;
    });
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_STREQ(row.after, rows[0]->m_value);
    EXPECT_EQ(row.cell, cell);
    ASSERT_EQ(static_cast<size_t>(row.notified), host.m_changes.size());
    if (row.notified) {
        EXPECT_EQ(0u, host.m_changes[0].first) << "the row";
        EXPECT_EQ(reinterpret_cast<LPARAM>(rows[0].get()), host.m_changes[0].second);
    }
    if (*row.errorMessage) {
        EXPECT_EQ(std::vector<std::string>{row.errorMessage}, user.MessageBoxTexts());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, EndEdit,
    ::testing::Values(
        EndEditCase{"Matching", "Text", "^\\d+$", "", "12", "345", "345", "345", 1},
        EndEditCase{"NotMatchingGoesBack", "Text", "^\\d+$", "", "12", "12a", "12", "12", 0},
        EndEditCase{"NotMatchingSaysWhy", "Text", "^\\d+$", "Digits only.", "12", "x", "12", "12",
                    0},
        EndEditCase{"RefusedWithoutEarlierValueShowsThePrompt", "Text", "^\\d+$", "", "", "x", "",
                    "<enter>", 0},
        EndEditCase{"EmptiedShowsThePrompt", "Text", "^\\d+$", "", "12", "", "", "<enter>", 0},
        // The prompt stands for no value: it is taken as it is, unchecked.
        EndEditCase{"PromptIsNoValue", "Text", "^\\d+$", "", "12", "<enter>", "<enter>", "<enter>",
                    0},
        EndEditCase{"DateWrittenTheOneWay", "Date", "date", "", "", "3/4/2012", "03/04/2012",
                    "03/04/2012", 1},
        EndEditCase{"MonthNameRefused", "Date", "date", "", "01/02/2012", "Mar/4/2012",
                    "01/02/2012", "01/02/2012", 0}),
    [](const ::testing::TestParamInfo<EndEditCase>& info) { return std::string(info.param.name); });

// ---- the choice editor ----

TEST(ChoiceEditor, OpensOnTheCurrentOptionOrTheFirstAndEnterTakesTheChoice)
{
    std::vector<std::unique_ptr<CKeywordValue>> rows;
    rows.push_back(Value("radio", "none of them", "Radio"));
    SplitOptions(*rows[0], "red;green;blue");
    rows[0]->m_tag = WM_VALUE_CHANGED;
    ValuesHost host(rows);
    LRESULT shownFirst = -1;
    CScriptedUser user(Quick());
    ClickCell(user, 0, 1);
    ExpectEditorOn(user, 0);
    user.Do("choose blue", [&](HWND dialog) {
        HWND combo = Editor(dialog);
        shownFirst = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        SendMessageA(combo, CB_SETCURSEL, 2, 0);
        return true;
    });
    Press(user, VK_RETURN);
    ExpectNoEditor(user);
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(0, shownFirst) << "a value not among the options starts on the first";
    EXPECT_STREQ("blue", rows[0]->m_value);
    EXPECT_EQ(1u, host.m_changes.size());
}

TEST(ChoiceEditor, EscapeKeepsTheChoice)
{
    std::vector<std::unique_ptr<CKeywordValue>> rows;
    rows.push_back(Value("list", "green", "List"));
    SplitOptions(*rows[0], "red;green;blue");
    ValuesHost host(rows);
    LRESULT shownFirst = -1;
    CScriptedUser user(Quick());
    ClickCell(user, 0, 1);
    ExpectEditorOn(user, 0);
    user.Do("choose red", [&](HWND dialog) {
        HWND combo = Editor(dialog);
        shownFirst = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
        return true;
    });
    Press(user, VK_ESCAPE);
    ExpectNoEditor(user);
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(1, shownFirst);
    EXPECT_STREQ("green", rows[0]->m_value);
}

// ---- an edit ended from outside ----

TEST(ValueEditor, ScrollingEndsTheEditAsLosingTheFocusDoes)
{
    std::vector<std::unique_ptr<CKeywordValue>> rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back(Value(("row " + std::to_string(i)).c_str(), "old"));
    ValuesHost host(rows);
    CScriptedUser user(Quick());
    ClickCell(user, 0, 1);
    ExpectEditorOn(user, 0);
    TypeInEditor(user, "typed");
    user.Do("scroll the list", [](HWND dialog) {
        SendMessageA(List(dialog), WM_VSCROLL, SB_PAGEDOWN, 0);
        return true;
    });
    ExpectNoEditor(user);
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_STREQ("typed", rows[0]->m_value);
    EXPECT_EQ(nullptr, host.m_list.GetEditor());
}

TEST(ValueEditor, AnEditorThatClosedItselfIsForgotten)
{
    std::vector<std::unique_ptr<CKeywordValue>> rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back(Value(("row " + std::to_string(i)).c_str(), "old"));
    ValuesHost host(rows);
    HWND heldAfterClose = reinterpret_cast<HWND>(1);
    CScriptedUser user(Quick());
    ClickCell(user, 0, 1);
    ExpectEditorOn(user, 0);
    TypeInEditor(user, "typed");
    // The focus goes elsewhere: the editor ends and closes itself.
    user.Type(IDC_HOST_OTHER, "elsewhere");
    ExpectNoEditor(user);
    user.Do("ask the list", [&](HWND dialog) {
        heldAfterClose = host.m_list.GetEditor();
        // A scroll now has no editor to end.
        SendMessageA(List(dialog), WM_VSCROLL, SB_PAGEDOWN, 0);
        return true;
    });
    user.Do("scroll back once drawn", [](HWND dialog) {
        UpdateWindow(List(dialog));
        SendMessageA(List(dialog), LVM_ENSUREVISIBLE, 0, FALSE);
        return true;
    });
    ClickCell(user, 1, 1);
    ExpectEditorOn(user, 1);
    TypeInEditor(user, "second");
    Press(user, VK_RETURN);
    ExpectEditorOn(user, 2);
    Press(user, VK_ESCAPE);
    ExpectNoEditor(user);
    user.Click(IDCANCEL);
    RunHost(host, user);

    ASSERT_TRUE(user.Finished()) << user.Report();
    EXPECT_EQ(nullptr, heldAfterClose);
    EXPECT_STREQ("typed", rows[0]->m_value);
    EXPECT_STREQ("second", rows[1]->m_value);
}

// ---- checks of values ----

struct ValidateCase {
    const char* name;
    const char* type;
    const char* pattern;
    const char* value;
    int valid;
    const char* after;
};

class Validate : public ::testing::TestWithParam<ValidateCase> {};

TEST_P(Validate, AcceptsOrRefusesAndWritesDatesTheOneWay)
{
    const ValidateCase& row = GetParam();
    CKeywordValue value;
    value.m_type = row.type;
    value.m_pattern = row.pattern;
    value.m_value = row.value;
    value.m_prompt = "<enter>";
    EXPECT_EQ(row.valid, ValidateValue(value));
    EXPECT_STREQ(row.after, value.m_value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Validate,
    ::testing::Values(ValidateCase{"NoPattern", "Text", "", "anything", 1, "anything"},
                      ValidateCase{"NoValue", "Text", "^\\d+$", "", 1, ""},
                      ValidateCase{"ThePrompt", "Text", "^\\d+$", "<enter>", 1, "<enter>"},
                      ValidateCase{"AList", "List", "^\\d+$", "red", 1, "red"},
                      ValidateCase{"PatternMatches", "Text", "^\\d+$", "2012", 1, "2012"},
                      ValidateCase{"PatternMatchesInAnyCase", "Text", "^abc$", "ABC", 1, "ABC"},
                      ValidateCase{"PatternFails", "Text", "^\\d+$", "20x2", 0, "20x2"},
                      ValidateCase{"PatternThatDoesNotParse", "Text", "(abc", "x", 1, "x"},
                      ValidateCase{"EmailTwoLetters", "Text", "@", "jane@example.de", 1,
                                   "jane@example.de"},
                      ValidateCase{"EmailFourLetters", "Text", "any@", "jane.doe@mail.example.info",
                                   1, "jane.doe@mail.example.info"},
                      ValidateCase{"EmailFiveLetters", "Text", "@", "jane@example.abcde", 0,
                                   "jane@example.abcde"},
                      ValidateCase{"EmailWithoutDottedDomain", "Text", "@", "jane@localhost", 0,
                                   "jane@localhost"},
                      ValidateCase{"EmailWithBlank", "Text", "@", "jane doe@example.com", 0,
                                   "jane doe@example.com"},
                      ValidateCase{"Date", "Date", "d", "3/4/2012", 1, "03/04/2012"},
                      ValidateCase{"DateLastDays", "Date", "d", "12/31/99", 1, "12/31/0099"},
                      ValidateCase{"DateMonthName", "Date", "d", "Mar/4/2012", 0, "Mar/4/2012"},
                      ValidateCase{"DateMonth13", "Date", "d", "13/45/2012", 0, "13/45/2012"},
                      ValidateCase{"DateDay32", "Date", "d", "1/32/2012", 0, "1/32/2012"},
                      ValidateCase{"DateMonth0", "Date", "d", "0/4/2012", 0, "0/4/2012"},
                      ValidateCase{"DateEmptyDay", "Date", "d", "3//2012", 0, "3//2012"},
                      ValidateCase{"DateOneSlash", "Date", "d", "3/2012", 0, "3/2012"},
                      ValidateCase{"DateThreeSlashes", "Date", "d", "3/4/20/12", 0, "3/4/20/12"},
                      ValidateCase{"DateYearTooLong", "Date", "d", "3/4/20120", 0, "3/4/20120"}),
    [](const ::testing::TestParamInfo<ValidateCase>& info) {
        return std::string(info.param.name);
    });

struct SplitCase {
    const char* name;
    const char* text;
    std::vector<std::string> options;
};

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, SemicolonsSeparateOptions)
{
    const SplitCase& row = GetParam();
    CKeywordValue value;
    value.m_choices.AddTail("kept");
    SplitOptions(value, row.text);
    std::vector<std::string> options;
    for (POSITION pos = value.m_choices.GetHeadPosition(); pos;)
        options.push_back(value.m_choices.GetNext(pos).str());
    std::vector<std::string> expected{"kept"};
    expected.insert(expected.end(), row.options.begin(), row.options.end());
    EXPECT_EQ(expected, options);
}

INSTANTIATE_TEST_SUITE_P(Texts, Split,
                         ::testing::Values(SplitCase{"Three", "a;b;c", {"a", "b", "c"}},
                                           SplitCase{"EmptyBetween", "a;;b", {"a", "", "b"}},
                                           SplitCase{"ClosingSemicolon", "a;b;", {"a", "b"}},
                                           SplitCase{"LeadingSemicolon", ";a", {"", "a"}},
                                           SplitCase{"One", "single", {"single"}},
                                           SplitCase{"Nothing", "", {}}),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- the pattern matcher ----

struct MatchCase {
    const char* name;
    const char* pattern;
    bool caseSensitive;
    const char* text;
    bool matches;
    int begin; // of the match, when it matches
    int end;
    std::vector<std::pair<int, int>> captures;
};

class Pattern : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Pattern, FindsTheFirstMatchAndItsCaptures)
{
    const MatchCase& row = GetParam();
    CRegExp expression;
    ASSERT_EQ(CRegExp::ParseError::None, expression.Parse(row.pattern, row.caseSensitive));
    CRegExp::MatchInfo match;
    match.begin = match.end = -7;
    ASSERT_EQ(row.matches, expression.Match(row.text, &match));
    if (!row.matches) {
        EXPECT_EQ(-7, match.begin) << "left alone without a match";
        return;
    }
    EXPECT_EQ(row.begin, match.begin);
    EXPECT_EQ(row.end, match.end);
    EXPECT_EQ(row.captures, match.captures);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, Pattern,
    ::testing::Values(
        MatchCase{"LiteralFoundInside", "b", true, "abc", true, 1, 2, {}},
        MatchCase{"CaseSensitive", "ABC", true, "abc", false, 0, 0, {}},
        MatchCase{"CaseInsensitive", "ABC", false, "xabc", true, 1, 4, {}},
        MatchCase{"SetInsensitive", "^[a-c]+$", false, "CAB", true, 0, 3, {}},
        MatchCase{"AnchorsHold", "^b", true, "ab", false, 0, 0, {}},
        MatchCase{"EndAnchor", "c$", true, "cac", true, 2, 3, {}},
        MatchCase{"AnyCharacter", "a.c", true, "abc", true, 0, 3, {}},
        MatchCase{"Letters", "^\\c\\c$", true, "Ab", true, 0, 2, {}},
        MatchCase{"LetterIsNoDigit", "^\\c$", true, "4", false, 0, 0, {}},
        MatchCase{"Digits", "\\d+", true, "ab123c", true, 2, 5, {}},
        MatchCase{"Number", "^\\z$", true, "2024", true, 0, 4, {}},
        MatchCase{"Word", "\\w", true, "  abc ", true, 2, 5, {}},
        MatchCase{"Hex", "^\\h+$", true, "0fA9", true, 0, 4, {}},
        MatchCase{"Quoted", "\\q", true, "say 'hi' now", true, 4, 8, {}},
        MatchCase{"EscapedSpecial", "^a\\.b\\+$", true, "a.b+", true, 0, 4, {}},
        MatchCase{"EscapedDotIsNoAny", "^a\\.b$", true, "axb", false, 0, 0, {}},
        MatchCase{"NegatedSet", "^[^0-9]+$", true, "abc", true, 0, 3, {}},
        MatchCase{"NegatedSetRefuses", "^[^0-9]+$", true, "a1c", false, 0, 0, {}},
        MatchCase{"DashLastInSet", "^[a-]+$", true, "a-a", true, 0, 3, {}},
        MatchCase{"Either", "^(cat|dog)$", true, "dog", true, 0, 3, {}},
        MatchCase{"EitherOfSequences", "ab|cd", true, "xcd", true, 1, 3, {}},
        MatchCase{"Optional", "^colou?r$", true, "color", true, 0, 5, {}},
        MatchCase{"StarTakesAll", "{a*}", true, "aaa", true, 0, 3, {{0, 3}}},
        MatchCase{"LazyStarTakesNothing", "{a*?}", true, "aaa", true, 0, 0, {{0, 0}}},
        MatchCase{"PlusTakesAll", "{a+}", true, "aaa", true, 0, 3, {{0, 3}}},
        MatchCase{"LazyPlusTakesOne", "{a+?}", true, "aaa", true, 0, 1, {{0, 1}}},
        MatchCase{"LazyOptionalSkips", "{a??}a", true, "aa", true, 0, 1, {{0, 0}}},
        MatchCase{"GreedyBeforeRest", "^{.*}{b}", true, "abab", true, 0, 4, {{0, 3}, {3, 4}}},
        MatchCase{"LazyBeforeRest", "^{.*?}{b}", true, "abab", true, 0, 2, {{0, 1}, {1, 2}}},
        MatchCase{"CaptureNotTaken", "^({x}|y)$", true, "y", true, 0, 1, {{-1, -1}}},
        MatchCase{"RepeatedGroup", "^(ab)+$", true, "ababab", true, 0, 6, {}},
        MatchCase{"EmptyRepeatEnds", "^(a*)*$", true, "aa", true, 0, 2, {}},
        MatchCase{"EmailShape",
                  "^[a-zA-Z0-9\\._%\\+\\-]+@([a-zA-Z0-9-]+\\.)+\\c\\c\\c?\\c?$",
                  false,
                  "Jane.Doe+x@Mail.Example.COM",
                  true,
                  0,
                  27,
                  {}}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

struct ParseCase {
    const char* name;
    const char* pattern;
    CRegExp::ParseError error;
};

class PatternErrors : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PatternErrors, AreReportedAndLeaveNothingToMatch)
{
    const ParseCase& row = GetParam();
    CRegExp expression;
    ASSERT_EQ(CRegExp::ParseError::None, expression.Parse("a"));
    EXPECT_EQ(row.error, expression.Parse(row.pattern));
    EXPECT_FALSE(expression.IsParsed());
    EXPECT_FALSE(expression.Match("a"));
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, PatternErrors,
    ::testing::Values(ParseCase{"OpenParen", "(ab", CRegExp::ParseError::MissingParen},
                      ParseCase{"OpenBrace", "{ab", CRegExp::ParseError::MissingParen},
                      ParseCase{"CloseParen", "ab)", CRegExp::ParseError::MissingParen},
                      ParseCase{"CrossedGroups", "(ab}", CRegExp::ParseError::MissingParen},
                      ParseCase{"OpenBracket", "[ab", CRegExp::ParseError::MissingBracket},
                      ParseCase{"EmptySet", "[]", CRegExp::ParseError::EmptySet},
                      ParseCase{"BackwardRange", "[z-a]", CRegExp::ParseError::BadRange},
                      ParseCase{"RepeatOfNothing", "*a", CRegExp::ParseError::NothingToRepeat},
                      ParseCase{"RepeatAfterBar", "a|+", CRegExp::ParseError::NothingToRepeat},
                      ParseCase{"RepeatOfRepeat", "a**", CRegExp::ParseError::NothingToRepeat},
                      ParseCase{"TrailingEscape", "ab\\", CRegExp::ParseError::TrailingEscape}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });
