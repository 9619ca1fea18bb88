// zavdriver: runs setup.exe and walks it through a scenario given as arguments, for the
// benchmark and for hand runs. Prints one line per measured or observed event.
//
//   zavdriver SETUP_EXE STEP...
//     start                  start the setup; prints "painted_ms N" (start to first paint)
//     to-progress            walk to the progress page, accepting the license
//     previous:NAME          choose a previous configuration on the welcome page
//     option:NAME=on|off     startmenu, desktop, group, run, readme
//     install                press "Install"; waits for a message box or the end of the
//                            setup; prints "box TEXT|CAPTION" or "exited_ms N" and "exit_code N"
//     answer:ok              press OK on the open message box, then wait as install does
//     close:EXE              end every process of that executable name
//     copy:FROM>TO           the setup's product copy alone (SHFileOperationA FO_COPY, silent,
//                            no confirmation); prints "copy_ms N"
// Exit code 0 when every step succeeded, 1 otherwise (the failing step is named on stderr).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "SetupDriver.h"

namespace {

constexpr DWORD InstallTimeoutMs = 120000;

struct OptionName {
    const char* name;
    const char* pageClass;
    int id;
};
constexpr OptionName Options[] = {
    {"startmenu", DestinationPageClass, StartMenuCheckId},
    {"desktop", DestinationPageClass, DesktopCheckId},
    {"group", DestinationPageClass, GroupCheckId},
    {"run", ProgressPageClass, RunAfterCheckId},
    {"readme", ProgressPageClass, ReadmeCheckId},
};

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Waits for what the click that was just made leads to, and reports it.
bool ReportOutcome(e2e::SetupDriver& driver, double clickedAt)
{
    e2e::MessageBoxInfo box;
    switch (driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box)) {
    case e2e::WaitResult::MessageBox:
        std::printf("box_ms %.1f\nbox %s|%s\n", e2e::NowMs() - clickedAt, box.text.c_str(), box.caption.c_str());
        return true;
    case e2e::WaitResult::Exited: {
        double ended = e2e::NowMs();
        DWORD code = 0;
        driver.WaitForExit(0, &code);
        std::printf("exited_ms %.1f\nexit_code %lu\n", ended - clickedAt, static_cast<unsigned long>(code));
        return true;
    }
    case e2e::WaitResult::TimedOut:
        break;
    }
    return false;
}

bool CopyTree(const std::string& from, const std::string& to)
{
    std::string source = from + '\0';
    std::string target = to + '\0';
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_COPY;
    operation.pFrom = source.c_str();
    operation.pTo = target.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    double started = e2e::NowMs();
    int result = SHFileOperationA(&operation);
    std::printf("copy_ms %.1f\n", e2e::NowMs() - started);
    return result == 0;
}

bool RunStep(e2e::SetupDriver& driver, const std::string& setupExe, const std::string& step)
{
    static e2e::MessageBoxInfo lastBox;
    if (step == "start") {
        double started = e2e::NowMs();
        if (!driver.Start(setupExe)) return false;
        std::printf("painted_ms %.1f\n", e2e::NowMs() - started);
        return true;
    }
    if (step == "to-progress") return driver.GoToProgressPage();
    if (StartsWith(step, "previous:")) return driver.ChoosePreviousConfiguration(step.substr(9));
    if (StartsWith(step, "option:")) {
        std::string rest = step.substr(7);
        size_t equals = rest.find('=');
        if (equals == std::string::npos) return false;
        std::string name = rest.substr(0, equals);
        bool on = rest.substr(equals + 1) == "on";
        for (const OptionName& option : Options)
            if (name == option.name) return driver.SetOption(option.pageClass, option.id, on);
        return false;
    }
    if (step == "install") {
        double clicked = e2e::NowMs();
        return driver.StartInstall() && ReportOutcome(driver, clicked);
    }
    if (step == "answer:ok") {
        e2e::MessageBoxInfo box;
        if (driver.WaitForMessageBoxOrExit(0, box) != e2e::WaitResult::MessageBox) return false;
        double clicked = e2e::NowMs();
        return driver.Answer(box, IDOK) && ReportOutcome(driver, clicked);
    }
    if (StartsWith(step, "close:")) {
        e2e::TerminateProcesses(step.substr(6).c_str());
        return true;
    }
    if (StartsWith(step, "copy:")) {
        std::string rest = step.substr(5);
        size_t arrow = rest.find('>');
        return arrow != std::string::npos && CopyTree(rest.substr(0, arrow), rest.substr(arrow + 1));
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: zavdriver SETUP_EXE STEP...\n");
        return 2;
    }
    std::string setupExe = argv[1];
    e2e::SetupDriver driver;
    for (int i = 2; i < argc; ++i) {
        if (!RunStep(driver, setupExe, argv[i])) {
            std::fprintf(stderr, "zavdriver: step failed: %s\n", argv[i]);
            return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}
