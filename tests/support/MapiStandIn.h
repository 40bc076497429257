// The stand-in MAPI provider (standins/mapi) made the default mail client
// for the life of the object: mapi32 then loads it from beside the test
// program. The directory it serves comes from a fixture file, and it logs
// every call to a file the test reads.
#pragma once

#include <string>
#include <vector>

class CMapiStandIn {
public:
    // Fixture and log files go into folder (with its closing backslash).
    explicit CMapiStandIn(const std::string& folder);
    CMapiStandIn(const CMapiStandIn&) = delete;
    CMapiStandIn& operator=(const CMapiStandIn&) = delete;
    // Unregisters, puts the previous mail client back, clears the variables.
    ~CMapiStandIn();

    // What mapi32 reads when it is loaded: the default mail client's
    // "DLLPathEx". A 32-bit test writes the WoW64 view, which a 32-bit
    // mapi32 reads. false when the provider is not beside the program.
    bool Register();
    void Unregister();

    // The directory the provider serves (the format is in Fixture.h there).
    void Directory(const std::string& text);
    // The calls logged so far, one a line.
    std::vector<std::string> Calls() const;
    void ClearCalls();

private:
    std::string m_directoryPath;
    std::string m_logPath;
    bool m_hadClient = false;
    std::string m_savedClient;
};
