#include "bench/BigTemplate.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <commctrl.h>
#include <objbase.h>

#include "classlib/win32/CRegKey.h"
#include "tests/support/TestEnv.h"

namespace {

std::string SignerXml(const std::string& name, const std::string& email, const std::string& role,
                      int sequence, int hardCoded)
{
    return "<Signer><Name>" + name + "</Name>\n<Email>" + email + "</Email>\n<Role>" + role +
           "</Role>\n<Sequence>" + std::to_string(sequence) +
           "</Sequence>\n<Sender>0</Sender>\n<HardCoded>" + std::to_string(hardCoded) +
           "</HardCoded>\n</Signer>";
}

} // namespace

std::string BigTemplateXml(const std::string& name, int signers)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><inkTemplate><Name>" + name +
                      "</Name>\n<Document><Key>&lt;Outlook Attachment&gt;</Key>\n"
                      "<Name>&lt;Outlook Attachment&gt;</Name>\n<Type>Signature</Type>\n"
                      "</Document><Options><SignatureType>0</SignatureType>\n"
                      "<SendMode>0</SendMode>\n<Positioning>2</Positioning>\n"
                      "<Password></Password>\n<MouseTouchSigning>0</MouseTouchSigning>\n"
                      "<HideEmailAddrs>0</HideEmailAddrs>\n</Options><Email><Subject>Please "
                      "sign</Subject>\n</Email><Signers>";
    // Bottom row first, as the editor writes them.
    for (int sequence = signers; sequence >= 2; --sequence) {
        const std::string n = std::to_string(sequence);
        xml +=
            SignerXml("Witness " + n, "witness" + n + "@example.org", "Witness " + n, sequence, 1);
    }
    xml += SignerXml("Recipient", "recipient@example.com", "Tenant", 1, 0);
    return xml + "</Signers></inkTemplate>";
}

CBigTemplateRun::CBigTemplateRun(const char* folderName)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + folderName + "\\";
    const std::string templates = folder + "Templates";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(templates.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
    testenv::WriteFileBytes(templates + "\\Big.xml", BigTemplateXml("Big", kBigTemplateSigners));
    if (!testenv::FileExists(templates + "\\Big.xml")) {
        std::printf("the template could not be written in %s\n", templates.c_str());
        std::exit(2);
    }

    CRegKey key;
    m_hadKey = key.Open(HKEY_CURRENT_USER, testenv::kProductKey, KEY_READ) == ERROR_SUCCESS;
    key.Close();
    if (const auto old = testenv::ReadValue(testenv::kProductKey, "TemplateFolder")) {
        m_hadFolder = true;
        m_oldFolder = old->data;
    }
    testenv::WriteText(testenv::kProductKey, "TemplateFolder", templates);
}

CBigTemplateRun::~CBigTemplateRun()
{
    if (!m_hadKey) {
        RegDeleteTreeA(HKEY_CURRENT_USER, testenv::kProductKey);
    } else if (m_hadFolder) {
        testenv::WriteText(testenv::kProductKey, "TemplateFolder",
                           m_oldFolder.substr(0, m_oldFolder.find('\0')));
    } else {
        CRegKey key;
        if (key.Open(HKEY_CURRENT_USER, testenv::kProductKey, KEY_WRITE) == ERROR_SUCCESS)
            RegDeleteValueA(key.Get(), "TemplateFolder");
    }
    CoUninitialize();
}

double Seconds()
{
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int RunsWanted(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    return runs > 0 ? runs : 3;
}

int ReportBigTemplateRuns(int argc, char** argv, const CBigTemplateReport& report,
                          const std::function<CBigTemplateTimes()>& runOnce)
{
    const int runs = RunsWanted(argc, argv);
    std::vector<double> firsts;
    std::vector<double> seconds;
    std::vector<double> totals;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        const CBigTemplateTimes run = runOnce();
        std::printf("run %d: %s %.3f s, %s %.3f s, %d rows\n", i + 1, report.firstStep, run.first,
                    report.secondStep, run.second, run.rows);
        std::fflush(stdout);
        ok = ok && run.ok;
        firsts.push_back(run.first);
        seconds.push_back(run.second);
        totals.push_back(run.first + run.second);
    }
    const double total = Median(totals);
    std::printf("\n| step | seconds |\n|---|---:|\n");
    std::printf("| %s | %.3f |\n", report.firstText, Median(firsts));
    std::printf("| ");
    std::printf(report.secondText, kBigTemplateSigners);
    std::printf(" | %.3f |\n", Median(seconds));
    std::printf("| together (goal %.1f) | %.3f |\n\n", kBigTemplateGoalSeconds, total);
    std::printf("figure %s_%s_%d %.3f s\n", report.figure, report.firstStep, kBigTemplateSigners,
                Median(firsts));
    std::printf("figure %s_%s_%d %.3f s\n", report.figure, report.secondStep, kBigTemplateSigners,
                Median(seconds));
    std::printf("figure %s_%d %.3f s\n", report.figure, kBigTemplateSigners, total);
    if (!ok)
        std::printf("%s\n", report.failure);
    return ok && total <= kBigTemplateGoalSeconds ? 0 : 1;
}
