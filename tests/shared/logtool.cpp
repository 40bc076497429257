// A program of its own for the diagnostic log's console: only a process
// started without a console can be given one. Writes what the console shows
// into the report file.   logtool <report path>
#include <cstdio>
#include <string>

#include "shared/log/DebugLog.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    CDebugLog log;
    log.Enter("A::B");
    log.Comment("hello");
    log.Exit("A::B");

    std::string report =
        "console=" + std::to_string(log.HasConsole() ? 1 : 0) + (log.IsOn() ? "" : " off");
    CONSOLE_SCREEN_BUFFER_INFO info{};
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (log.HasConsole() && GetConsoleScreenBufferInfo(output, &info)) {
        report += " size=" + std::to_string(info.dwSize.X) + "x" + std::to_string(info.dwSize.Y);
        char screen[3 * 80 + 1] = {};
        DWORD read = 0;
        ReadConsoleOutputCharacterA(output, screen, 3 * 80, COORD{0, 0}, &read);
        report += "\n" + std::string(screen, read);
    }
    if (log.HasConsole()) {
        // What a user can do to the log's console must not end the program:
        // Ctrl+C and Ctrl+Break are typed, and Close must not be offered.
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0);
        Sleep(300);
        report += "\nsurvived the keys";
        if (HWND window = GetConsoleWindow()) {
            HMENU menu = GetSystemMenu(window, FALSE);
            const bool closable = menu && GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != UINT(-1);
            report += closable ? "; offers Close" : "; no Close";
        }
    }
    log.Close();
    FILE* file = std::fopen(argv[1], "wb");
    if (!file)
        return 1;
    std::fwrite(report.data(), 1, report.size(), file);
    std::fclose(file);
    return 0;
}
