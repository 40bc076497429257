#include "tests/editor/EditorTest.h"

#include <commctrl.h>

#include "editor/main/EditDlg.h"
#include "tests/support/TestBase64.h"

using namespace testenv;
using standin::Base64Decode;
using standin::Base64Encode;

namespace {

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

std::string Element(const std::string& tag, const std::string& value)
{
    return "<" + tag + ">" + Escaped(value) + "</" + tag + ">\n";
}

} // namespace

void EditorTest::SetUp()
{
    CleanProfileTest::SetUp();
    m_folder = TempDir() + "Templates\\";
    CreateDirectoryA(m_folder.c_str(), nullptr);
    WriteText(kProductKey, "TemplateFolder", m_folder.substr(0, m_folder.size() - 1));
}

CScriptedUser::Limits EditorTest::Quick() const
{
    CScriptedUser::Limits limits;
    limits.stepMs = 3000;
    limits.idleMs = 3000;
    limits.deadlineMs = 30000;
    return limits;
}

std::string EditorTest::WriteTemplate(const TemplateShape& shape) const
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate>";
    xml += Element("Name", shape.name);
    xml += "<Document>";
    xml += Element("Key", shape.documentBytes.empty() ? shape.documentName
                                                      : "C:\\gone\\" + shape.documentName);
    xml += Element("Name", shape.documentName);
    xml += Element("Type", "Signature");
    if (!shape.documentBytes.empty())
        xml += Element("FileBytes", Base64Encode(shape.documentBytes));
    xml += "</Document><Options>";
    xml += Element("SignatureType", "0") + Element("SendMode", std::to_string(shape.sendMode)) +
           Element("Positioning", std::to_string(shape.positioning)) +
           Element("Password", shape.password) + Element("MouseTouchSigning", "0") +
           Element("HideEmailAddrs", "0");
    xml += "</Options><Email>" + Element("Subject", shape.subject) +
           Element("Message", shape.message) + "</Email><Signers>";
    for (const SignerShape& signer : shape.signers) {
        xml += "<Signer>" + Element("Name", signer.name) + Element("Email", signer.email) +
               Element("Role", signer.role) + Element("Sequence", std::to_string(signer.sequence)) +
               Element("Sender", std::to_string(signer.sender)) +
               Element("HardCoded", std::to_string(signer.hardCoded)) + "</Signer>";
    }
    xml += "</Signers></inkTemplate>";
    const std::string path = TemplatePath(shape.name);
    WriteFileBytes(path, xml);
    return path;
}

void EditorTest::Run(CScriptedUser& user)
{
    user.Start();
    {
        CEditDlg dialog;
        dialog.DoModal();
    }
    user.Stop();
    EXPECT_TRUE(user.Finished()) << user.Report();
}

CScriptedUser& ClickToolbar(CScriptedUser& user, int command, const std::string& name)
{
    return user.Do("clicks " + name, [command](HWND dialog) {
        HWND bar = FindWindowExA(dialog, nullptr, TOOLBARCLASSNAMEA, nullptr);
        if (!bar || !SendMessageA(bar, TB_ISBUTTONENABLED, command, 0))
            return false;
        // Posted, as a click arrives: the command may open a dialog, and
        // this step must be over before the next one plays there.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                     reinterpret_cast<LPARAM>(bar));
        return true;
    });
}

CScriptedUser& NoteToolbar(CScriptedUser& user, int command, const std::string& name,
                           std::vector<std::string>& states)
{
    return user.Do("looks at " + name, [command, name, &states](HWND dialog) {
        HWND bar = FindWindowExA(dialog, nullptr, TOOLBARCLASSNAMEA, nullptr);
        if (!bar)
            return false;
        states.push_back(name + (SendMessageA(bar, TB_ISBUTTONENABLED, command, 0) ? "+" : "-"));
        return true;
    });
}

CScriptedUser& PickFile(CScriptedUser& user, const std::string& caption, const std::string& path)
{
    return user.Expect(caption).Do("types the file's path and clicks Open", [path](HWND dialog) {
        // The file name box: an edit, or the edit inside a combo box.
        HWND box = GetDlgItem(dialog, 0x47c);
        HWND edit = box ? FindWindowExA(box, nullptr, "Edit", nullptr) : GetDlgItem(dialog, 0x480);
        if (!edit)
            edit = box;
        if (!edit)
            return false;
        SetWindowTextA(edit, path.c_str());
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        return true;
    });
}

std::vector<std::string> SignerRows(HWND dialog)
{
    HWND list = GetDlgItem(dialog, 1010);
    std::vector<std::string> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::string line;
        for (int column = 0; column < 3; ++column) {
            char text[256] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            if (column)
                line += '|';
            line += text;
        }
        rows.push_back(line);
    }
    return rows;
}

CScriptedUser& NoteSignerRows(CScriptedUser& user, std::vector<std::vector<std::string>>& seen)
{
    return user.Do("reads the signer list", [&seen](HWND dialog) {
        seen.push_back(SignerRows(dialog));
        return true;
    });
}

std::vector<std::string> ComboItems(HWND dialog, int id)
{
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}
