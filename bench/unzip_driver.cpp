// Benchmark driver: loads UnzDll.dll, fills the command record the way the
// setup does and times one UnzDllExec call.
//   unzip_driver.exe DLL ARCHIVE TARGET
// Prints "code=N seconds=S" and exits with the DLL's code (2 on misuse).
#include "UnzDll.h"

#include <windows.h>

#include <cstdio>

namespace {

template <typename Fn>
Fn procAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: unzip_driver DLL ARCHIVE TARGET\n");
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    auto getVersion = procAddress<UnzGetVersionProc>(module, "GetUnzDllVersion");
    auto exec = procAddress<UnzExecProc>(module, "UnzDllExec");
    if (getVersion == nullptr || exec == nullptr) {
        std::fprintf(stderr, "exports missing\n");
        FreeLibrary(module);
        return 2;
    }
    UnzipCommand record = {};
    record.callerVersion = getVersion();
    record.neverPrompt = 1;
    record.recreateFolders = 1;
    record.overwriteExisting = 1;
    record.restoreTimes = 1;
    record.replaceReadOnly = 1;
    record.archivePath = argv[2];
    record.targetFolder = argv[3];
    record.recordVersion = UNZ_RECORD_VERSION;

    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const uint32_t code = exec(&record);
    QueryPerformanceCounter(&stop);
    FreeLibrary(module);

    const double seconds =
        static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("code=%u seconds=%.3f\n", static_cast<unsigned>(code), seconds);
    return static_cast<int>(code);
}
