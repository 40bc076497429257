// What the editor's dialog tests share: a template folder of the test's own
// (the TemplateFolder setting), template files written into it, and the
// main dialog run modally while a scripted user plays a script on it.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "standins/scripteduser/ScriptedUser.h"
#include "tests/support/TestEnv.h"

inline constexpr char kMainCaption[] = "Inkstave Templates";

// One signer of a template file written by a test.
struct SignerShape {
    std::string name = {};
    std::string email = {};
    std::string role = {};
    int sequence = 1;
    int sender = 0;
    int hardCoded = 0;
};

// A template file as the add-in's reader takes it; document "<Outlook
// Attachment>" unless embedded bytes are given.
struct TemplateShape {
    std::string name = {};
    std::vector<SignerShape> signers = {};
    std::string subject = "Please sign";
    std::string message = "Thank you";
    std::string password = {};
    int positioning = 2;
    int sendMode = 0;
    std::string documentName = "<Outlook Attachment>";
    std::string documentBytes = {}; // embedded when not empty
};

class EditorTest : public CleanProfileTest {
protected:
    void SetUp() override;

    CScriptedUser::Limits Quick() const;
    const std::string& Folder() const { return m_folder; }
    std::string TemplatePath(const std::string& name) const { return m_folder + name + ".xml"; }
    // Writes the template file into the folder; returns its path.
    std::string WriteTemplate(const TemplateShape& shape) const;

    // Runs the main dialog while the user plays; the script should end it.
    void Run(CScriptedUser& user);

private:
    std::string m_folder; // with its closing backslash
};

// ---- steps a person takes on the main dialog ----

// Clicks a toolbar button once it is enabled (waits while it is not).
CScriptedUser& ClickToolbar(CScriptedUser& user, int command, const std::string& name);
// Records whether a toolbar button is enabled, in states ("Save+", "Save-").
CScriptedUser& NoteToolbar(CScriptedUser& user, int command, const std::string& name,
                           std::vector<std::string>& states);
// Picks the file in an open-file dialog (its caption) by typing its path.
CScriptedUser& PickFile(CScriptedUser& user, const std::string& caption, const std::string& path);
// The rows of the signer list as "tier|signer|role", top to bottom.
std::vector<std::string> SignerRows(HWND dialog);
// Records the signer rows at this point of the script.
CScriptedUser& NoteSignerRows(CScriptedUser& user, std::vector<std::vector<std::string>>& seen);
// The items of a combo box of the dialog, in order.
std::vector<std::string> ComboItems(HWND dialog, int id);
