// The signer list: rows in signing order, the move commands under both
// kinds of positioning, and the buttons that follow the selected row.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "editor/EditorResource.h"
#include "shared/requests/Template.h"
#include "tests/editor/EditorTest.h"

using namespace testenv;

namespace {

enum class Move { Up, Down, ForcedUp, ForcedDown };

// The command sent as the toolbar sends it, whether or not its button is
// enabled: what the list does with a move that has nowhere to go.
CScriptedUser& Force(CScriptedUser& user, int command)
{
    return user.Do("forces the command", [command](HWND dialog) {
        HWND bar = FindWindowExA(dialog, nullptr, TOOLBARCLASSNAMEA, nullptr);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                     reinterpret_cast<LPARAM>(bar));
        return true;
    });
}

CScriptedUser& NoteMoves(CScriptedUser& user, std::vector<std::string>& states)
{
    return user.Do("looks at the move buttons", [&states](HWND dialog) {
        HWND bar = FindWindowExA(dialog, nullptr, TOOLBARCLASSNAMEA, nullptr);
        std::string state;
        state += SendMessageA(bar, TB_ISBUTTONENABLED, ID_MOVE_SIGNER_UP, 0) ? "Up+" : "Up-";
        state +=
            SendMessageA(bar, TB_ISBUTTONENABLED, ID_MOVE_SIGNER_DOWN, 0) ? " Down+" : " Down-";
        states.push_back(state);
        return true;
    });
}

SignerShape Signer(const std::string& role, int sequence, int sender = 0)
{
    return {.name = sender ? "Sender" : "Recipient",
            .role = role,
            .sequence = sequence,
            .sender = sender};
}

} // namespace

TEST_F(EditorTest, SignerMoves)
{
    const struct {
        const char* row;
        int positioning; // as in the file: 1 manual, 2 automatic
        std::vector<SignerShape> signers;
        int selected;
        std::vector<Move> moves;
        std::vector<std::string> before;  // rows shown before the moves
        std::vector<std::string> after;   // rows after them
        std::vector<std::string> buttons; // Up/Down once selected, then after each move
    } rows[] = {
        {.row = "automatic: the sender moves above the recipient",
         .positioning = 2,
         .signers = {Signer("Buyer", 1), Signer("Seller", 2, 1)},
         .selected = 1,
         .moves = {Move::Up},
         .before = {"1|Recipient|Buyer", "2|Sender|Seller"},
         .after = {"1|Sender|Seller", "2|Recipient|Buyer"},
         .buttons = {"Up+ Down-", "Up- Down+"}},
        {.row = "manual: up shares the round, down restores it",
         .positioning = 1,
         .signers = {Signer("Buyer", 1), Signer("Seller", 2, 1)},
         .selected = 1,
         .moves = {Move::Up, Move::Down},
         .before = {"1|Recipient|Buyer", "2|Sender|Seller"},
         .after = {"1|Recipient|Buyer", "2|Sender|Seller"},
         .buttons = {"Up+ Down-", "Up- Down+", "Up+ Down-"}},
        {.row = "one signer cannot move",
         .positioning = 2,
         .signers = {Signer("Buyer", 1)},
         .selected = 0,
         .moves = {Move::ForcedUp, Move::ForcedDown},
         .before = {"1|Recipient|Buyer"},
         .after = {"1|Recipient|Buyer"},
         .buttons = {"Up- Down-", "Up- Down-", "Up- Down-"}},
        {.row = "automatic: four signers, the last to the top and no further",
         .positioning = 2,
         .signers = {Signer("A", 1), Signer("B", 2), Signer("C", 3), Signer("D", 4)},
         .selected = 3,
         .moves = {Move::Up, Move::Up, Move::Up, Move::ForcedUp},
         .before = {"1|Recipient|A", "2|Recipient|B", "3|Recipient|C", "4|Recipient|D"},
         .after = {"1|Recipient|D", "2|Recipient|A", "3|Recipient|B", "4|Recipient|C"},
         .buttons = {"Up+ Down-", "Up+ Down+", "Up+ Down+", "Up- Down+", "Up- Down+"}},
        {.row = "automatic: the top one down and no further than the last",
         .positioning = 2,
         .signers = {Signer("A", 1), Signer("B", 2), Signer("C", 3)},
         .selected = 0,
         .moves = {Move::Down, Move::Down, Move::ForcedDown},
         .before = {"1|Recipient|A", "2|Recipient|B", "3|Recipient|C"},
         .after = {"1|Recipient|B", "2|Recipient|C", "3|Recipient|A"},
         .buttons = {"Up- Down+", "Up+ Down+", "Up+ Down-", "Up+ Down-"}},
        {.row = "manual: equal numbers, the moved one leads its new round",
         .positioning = 1,
         // As the editor writes them: the reader lists them backwards.
         .signers = {Signer("C", 2), Signer("B", 1), Signer("A", 1)},
         .selected = 2,
         .moves = {Move::Up, Move::ForcedUp},
         .before = {"1|Recipient|A", "1|Recipient|B", "2|Recipient|C"},
         .after = {"1|Recipient|C", "1|Recipient|A", "1|Recipient|B"},
         .buttons = {"Up+ Down+", "Up- Down+", "Up- Down+"}},
        {.row = "manual: down to the last round, then no further",
         .positioning = 1,
         .signers = {Signer("A", 1), Signer("B", 2), Signer("C", 3)},
         .selected = 1,
         .moves = {Move::Down, Move::ForcedDown},
         .before = {"1|Recipient|A", "2|Recipient|B", "3|Recipient|C"},
         .after = {"1|Recipient|A", "3|Recipient|C", "3|Recipient|B"},
         .buttons = {"Up+ Down+", "Up+ Down-", "Up+ Down-"}},
        {.row = "manual: a file in no order is shown in signing order",
         .positioning = 1,
         // Read back as U, V, W, Z, Y, X: each row finds its place among
         // those before it, after the ones of its own round.
         .signers = {Signer("X", 3), Signer("Y", 1), Signer("Z", 2), Signer("W", 1), Signer("V", 5),
                     Signer("U", 2)},
         .selected = 0,
         .moves = {},
         .before = {"1|Recipient|W", "1|Recipient|Y", "2|Recipient|U", "2|Recipient|Z",
                    "3|Recipient|X", "5|Recipient|V"},
         .after = {"1|Recipient|W", "1|Recipient|Y", "2|Recipient|U", "2|Recipient|Z",
                   "3|Recipient|X", "5|Recipient|V"},
         .buttons = {"Up- Down+"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        WriteTemplate({.name = "Offer", .signers = row.signers, .positioning = row.positioning});
        std::vector<std::vector<std::string>> seen;
        std::vector<std::string> buttons;
        CScriptedUser user(Quick());
        user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, "Offer");
        NoteSignerRows(user, seen);
        user.PickListRow(IDC_SIGNER_LIST, row.selected);
        NoteMoves(user, buttons);
        for (Move move : row.moves) {
            switch (move) {
            case Move::Up:
                ClickToolbar(user, ID_MOVE_SIGNER_UP, "Move Signer Up");
                break;
            case Move::Down:
                ClickToolbar(user, ID_MOVE_SIGNER_DOWN, "Move Signer Down");
                break;
            case Move::ForcedUp:
                Force(user, ID_MOVE_SIGNER_UP);
                break;
            case Move::ForcedDown:
                Force(user, ID_MOVE_SIGNER_DOWN);
                break;
            }
            NoteMoves(user, buttons);
        }
        NoteSignerRows(user, seen);
        user.Close();
        // A move that went somewhere is a change to offer for saving.
        bool moved = false;
        for (Move move : row.moves)
            moved = moved || move == Move::Up || move == Move::Down;
        if (moved)
            user.AnswerMessageBox(IDNO);
        Run(user);
        ASSERT_EQ(2u, seen.size());
        EXPECT_EQ(row.before, seen[0]);
        EXPECT_EQ(row.after, seen[1]);
        EXPECT_EQ(row.buttons, buttons);
    }
}

TEST_F(EditorTest, NewAndDeletedSignersFollowTheRows)
{
    WriteTemplate({.name = "Offer", .signers = {Signer("A", 1), Signer("B", 2), Signer("C", 3)}});
    std::vector<std::vector<std::string>> seen;
    CScriptedUser user(Quick());
    user.Expect(kMainCaption).PickComboItem(IDC_TEMPLATE_LIST, "Offer");
    ClickToolbar(user, ID_NEW_SIGNER, "New Signer");
    // The dialog opens with a type chosen; a fixed person needs both texts.
    user.Expect("New Signer").Type(IDC_SIGNER_ROLE, "Witness").Click(IDC_SIGNER_HARDCODED);
    user.Type(IDC_SIGNER_NAME, "Wendy").Read(IDC_SIGNER_RECIPIENT);
    user.Do("sees OK wait for the address",
            [](HWND dialog) { return !IsWindowEnabled(GetDlgItem(dialog, IDOK)); });
    user.Type(IDC_SIGNER_EMAIL, "wendy@example.org").Click(IDOK).Expect(kMainCaption);
    NoteSignerRows(user, seen);
    // No still renumbers; Yes deletes the row.
    user.PickListRow(IDC_SIGNER_LIST, 0);
    ClickToolbar(user, ID_DELETE_SIGNER, "Delete Signer");
    user.Expect("Confirm Delete").Click(IDCANCEL).Expect(kMainCaption);
    NoteSignerRows(user, seen);
    user.PickListRow(IDC_SIGNER_LIST, 0);
    ClickToolbar(user, ID_DELETE_SIGNER, "Delete Signer");
    user.Expect("Confirm Delete").Click(IDOK).Expect(kMainCaption);
    NoteSignerRows(user, seen);
    ClickToolbar(user, ID_SAVE_TEMPLATE, "Save Template");
    user.Close();
    Run(user);
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ((std::vector<std::string>{"1|Recipient|A", "2|Recipient|B", "3|Recipient|C",
                                        "4|Wendy|Witness"}),
              seen[0]);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ((std::vector<std::string>{"1|Recipient|B", "2|Recipient|C", "3|Wendy|Witness"}),
              seen[2]);
    CTemplate saved;
    ASSERT_EQ(S_OK, saved.LoadXML(TemplatePath("Offer").c_str()));
    std::vector<std::string> signers;
    for (const CRecip* signer : saved.m_signers)
        signers.push_back(signer->m_role.str() + "|" + std::to_string(signer->m_sequence) + "|" +
                          signer->m_email.str() + "|" + std::to_string(signer->m_hardCoded));
    // The file lists them so that the reader gets the rows' order back.
    EXPECT_EQ((std::vector<std::string>{"B|1||0", "C|2||0", "Witness|3|wendy@example.org|1"}),
              signers);
}
