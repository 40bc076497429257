// The editor's script for the scripted user: one step a line, as the
// Outlook stand-in's dialog steps (standins/outlook/README.md): expect
// "caption", type id "text", press id, check id on|off, pick-row id n,
// pick-item id "text", answer id, close-dialog, shot "name"; and two of the
// editor's own: tool id (clicks the toolbar button with that command once
// it is enabled) and file "caption" "path" (picks the file in an open-file
// dialog). Blank lines and lines from "#" on are skipped.
#pragma once

#include <functional>
#include <string>

class CScriptedUser;

namespace editorplayer {

using Teller = std::function<void(const std::string& line)>;

// Queues the script's steps on user; pictures go to shots as NAME.png
// (none when it is empty). False, with the line that does not parse in
// error, when the script is not whole. tell gets the lines the steps add
// to the report: "user clicks the toolbar's New", "picture PATH".
bool QueueEditorScript(CScriptedUser& user, const std::string& script, const std::wstring& shots,
                       const Teller& tell, std::string& error);

} // namespace editorplayer
