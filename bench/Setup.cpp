#include "bench/Setup.h"

#include <cstdio>

#include <windows.h>

std::string BeginBenchmark(const char* folderName, CStandInService& service)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + folderName + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
    if (!service.Start()) {
        std::printf("the stand-in service did not start: %s\n", service.LastError().c_str());
        return {};
    }
    return folder;
}
