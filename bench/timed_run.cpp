// Benchmark helper: starts one program from inside the Wine session and waits for it to end,
// so that its time leaves out the start of the Wine loader that runs this helper.
//   timed_run.exe COMMAND_LINE...
// Prints "ms N exit_code C", then "ended_qpc Q" (the counter as the program was seen to end) and
// "qpc_hz F" and "peak_ws_kb K" (its peak working set); exits with 0 when the program ran and returned 0.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD SamplePeriodMs = 2;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: timed_run COMMAND_LINE...\n");
        return 2;
    }
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        std::string word = argv[i];
        // Quotes only where a word needs them; NSIS wants its /D= switch unquoted.
        bool quote = word.find(' ') != std::string::npos && word.compare(0, 3, "/D=") != 0;
        commandLine += quote ? '"' + word + '"' : word;
    }
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER stop;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "timed_run: cannot start %s (error %lu)\n", commandLine.c_str(),
                     GetLastError());
        return 2;
    }
    // Wine knows the working set of a process only while it runs, so it is sampled until the
    // end; the peak only grows, and the last sample is taken a few milliseconds before the end.
    SIZE_T peakWorkingSet = 0;
    do {
        PROCESS_MEMORY_COUNTERS counters{};
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters) &&
            counters.PeakWorkingSetSize > peakWorkingSet)
            peakWorkingSet = counters.PeakWorkingSetSize;
    } while (WaitForSingleObject(process.hProcess, SamplePeriodMs) == WAIT_TIMEOUT);
    QueryPerformanceCounter(&stop);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const double ms = 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::printf("ms %.1f exit_code %lu\nended_qpc %lld\nqpc_hz %lld\npeak_ws_kb %llu\n", ms,
                static_cast<unsigned long>(code), static_cast<long long>(stop.QuadPart),
                static_cast<long long>(frequency.QuadPart), static_cast<unsigned long long>(peakWorkingSet / 1024));
    return code == 0 ? 0 : 1;
}
