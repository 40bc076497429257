// What the two large-template benchmarks share: the template of many
// signers they read, its folder set as the user's template folder for the
// run, and the clock.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

// The size the goal is set for.
inline constexpr int kBigTemplateSigners = 10000;
// The goal: shown in the editor, and applied by the wizard, within this.
inline constexpr double kBigTemplateGoalSeconds = 2.0;

// A template file as the editor writes it, named name, whose document is the
// mail's attachment: one signer for the mail's recipient (role "Tenant")
// first, then signers - 1 fixed signers, each with a role of its own, in
// signing order (the editor writes the bottom row first; the reader lists
// them backwards).
std::string BigTemplateXml(const std::string& name, int signers);

// COM in a single-threaded apartment, the common controls, a temporary
// folder of the benchmark's own (TMP and TEMP point there) with a
// "Templates" folder in it set as the TemplateFolder setting, holding the
// template "Big". Ends with the setting as it was. Exits the process when
// the folder cannot be made.
class CBigTemplateRun {
public:
    explicit CBigTemplateRun(const char* folderName);
    ~CBigTemplateRun();
    CBigTemplateRun(const CBigTemplateRun&) = delete;
    CBigTemplateRun& operator=(const CBigTemplateRun&) = delete;

private:
    bool m_hadKey = false;
    bool m_hadFolder = false;
    std::string m_oldFolder;
};

double Seconds();
double Median(std::vector<double> values);
// How many runs: the first argument, else 3.
int RunsWanted(int argc, char** argv);

// One run of a benchmark: the times of its two steps, in seconds, the rows
// it saw, and whether it went as it should.
struct CBigTemplateTimes {
    bool ok = false;
    double first = 0;
    double second = 0;
    int rows = 0;
};

// How a benchmark names what it measures: its figures ("template_editor"),
// its two steps in the figures ("open", "show") and in the table (the
// second text takes the signers' count), and what a failed run means.
struct CBigTemplateReport {
    const char* figure;
    const char* firstStep;
    const char* secondStep;
    const char* firstText;
    const char* secondText;
    const char* failure;
};

// Runs runOnce as often as the command line asks (three times unless told),
// prints each run, then the medians as a table and as figure lines. 0 when
// every run went as it should and the two steps together meet the goal.
int ReportBigTemplateRuns(int argc, char** argv, const CBigTemplateReport& report,
                          const std::function<CBigTemplateTimes()>& runOnce);
