// CScript: the user's actions the host program plays against the loaded
// add-ins, one command a line ("#" starts a comment; texts with spaces go
// in double quotes, \" and \\ inside them). The commands are listed in
// standins/outlook/README.md. Dialog steps (expect, type, press, answer,
// ...) are not actions: they queue up for the scripted user, who plays
// them on the dialogs that the next action brings up. An action during
// which a dialog comes up with nothing queued for it fails the script,
// and the dialog is cancelled, so that a script never hangs.
#pragma once

#include <string>
#include <vector>

#include "standins/outlook/host/Report.h"

namespace standin {
class CApplication;
}

namespace host {

class CAddinHost;

class CScript {
public:
    struct Line {
        int number = 0;
        std::vector<std::wstring> words;
    };

    // False with a reason when the file cannot be read or a line does not parse.
    bool Load(const std::wstring& path, std::wstring& error);
    bool Parse(const std::wstring& text, std::wstring& error);
    const std::vector<Line>& Lines() const { return m_lines; }

    // Plays every line; false after the first line that failed (reported).
    // shotsFolder, when not empty, is where "shot" saves its pictures.
    bool Run(standin::CApplication& application, CAddinHost& addins, CReport& report,
             const std::wstring& shotsFolder = {}) const;

private:
    std::vector<Line> m_lines;
};

} // namespace host
