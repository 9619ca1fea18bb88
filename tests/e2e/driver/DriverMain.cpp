// zavdriver: runs setup.exe and walks it through a scenario given as arguments, for the
// benchmark and for hand runs. Prints one line per measured or observed event.
//
//   zavdriver SETUP_EXE STEP...
//     start                  start the setup; prints "painted_ms N" (start to first paint) and
//                            "painted_peak_ws_kb N" (its peak working set by then)
//     to-progress            walk to the progress page, accepting the license
//     page:N                 walk to page N (0 welcome, 1 license, 2 destination, 3 progress)
//     previous:NAME          choose a previous configuration on the welcome page
//     option:NAME=on|off     startmenu, desktop, group, run, readme
//     install                press "Install"; waits for a message box or the end of the
//                            setup; prints "box TEXT|CAPTION" or "exited_ms N", "exit_code N"
//                            and "peak_ws_kb N" (the setup's peak working set)
//     answer:ok              press OK on the open message box, then wait as install does
//     browse:FOLDER          press "Change", choose FOLDER in the folder browser and press OK
//                            (browse: alone: OK on the browser's root, the Desktop);
//                            prints the message box that follows: "box TEXT|CAPTION"
//     install-until:PATH     press "Install" and stop the setup's thread as soon as PATH exists
//     resume                 let the stopped setup go on, then wait as install does
//     hold:FILE              make FILE once the setup has painted, and wait until it is gone
//                            (meanwhile the caller looks at the screen)
//     close:EXE              end every process of that executable name
//     copy:FROM>TO           the setup's product copy alone (SHFileOperationA FO_COPY, silent,
//                            no confirmation); prints "copy_ms N"
// Exit code 0 when every step succeeded, 1 otherwise (the failing step is named on stderr).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SetupDriver.h"

namespace {

constexpr DWORD InstallTimeoutMs = 120000;
constexpr DWORD HoldTimeoutMs = 600000;
constexpr DWORD PollMs = 10;
constexpr int PageCount = 4;

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
        std::printf("exited_ms %.1f\nexit_code %lu\npeak_ws_kb %llu\n", ended - clickedAt,
                    static_cast<unsigned long>(code),
                    static_cast<unsigned long long>(driver.PeakWorkingSet() / 1024));
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

bool WaitUntil(bool (*done)(const std::string&), const std::string& what, DWORD timeoutMs,
               const e2e::SetupDriver* alive = nullptr)
{
    double deadline = e2e::NowMs() + timeoutMs;
    while (!done(what)) {
        if (e2e::NowMs() > deadline || (alive && !alive->Running())) return false;
        Sleep(PollMs);
    }
    return true;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool Gone(const std::string& path) { return !Exists(path); }

bool Hold(e2e::SetupDriver& driver, bool stopped, const std::string& file)
{
    // A stopped setup paints no more; a running one first finishes what it has to paint.
    if (!stopped) driver.WaitUntilPainted();
    Sleep(500);
    HANDLE marker = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return false;
    CloseHandle(marker);
    return WaitUntil(Gone, file, HoldTimeoutMs);
}

// Presses "Change" and chooses the folder; when the setup found no path for what the browser
// returned, it says so and opens the browser again, and the choice is made once more.
bool Browse(e2e::SetupDriver& driver, const std::string& folder)
{
    if (!driver.PressChange()) return false;
    e2e::MessageBoxInfo box;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box) != e2e::WaitResult::MessageBox) return false;
        if (box.caption == FolderPickerTitle) {
            if (!driver.ChooseInBrowser(box, folder)) return false;
            continue;
        }
        if (box.text.find("not valid") == std::string::npos) {
            std::printf("box %s|%s\n", box.text.c_str(), box.caption.c_str());
            return true;
        }
        if (!driver.Answer(box, IDOK)) return false;
    }
    return false;
}

bool RunStep(e2e::SetupDriver& driver, const std::string& setupExe, const std::string& step)
{
    static bool stopped = false;
    if (step == "start") {
        double started = e2e::NowMs();
        if (!driver.Start(setupExe)) return false;
        double painted = e2e::NowMs();
        std::printf("painted_ms %.1f\npainted_peak_ws_kb %llu\n", painted - started,
                    static_cast<unsigned long long>(driver.PeakWorkingSet() / 1024));
        return true;
    }
    if (step == "to-progress") return driver.GoToProgressPage();
    if (StartsWith(step, "page:")) {
        int page = std::atoi(step.c_str() + 5);
        return page >= 0 && page < PageCount && driver.GoToPage(page);
    }
    if (StartsWith(step, "hold:")) return Hold(driver, stopped, step.substr(5));
    if (StartsWith(step, "browse:")) return Browse(driver, step.substr(7));
    if (StartsWith(step, "install-until:")) {
        if (!driver.StartInstall() || !WaitUntil(Exists, step.substr(14), InstallTimeoutMs, &driver)) return false;
        stopped = SuspendThread(driver.MainThread()) != static_cast<DWORD>(-1);
        return stopped;
    }
    if (step == "resume") {
        if (!stopped || ResumeThread(driver.MainThread()) == static_cast<DWORD>(-1)) return false;
        stopped = false;
        return ReportOutcome(driver, e2e::NowMs());
    }
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
