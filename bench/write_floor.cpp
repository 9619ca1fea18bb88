// Benchmark floor, not an unzip: writes the files of an archive's tree with their sizes and
// nothing else, through the calls UnzDll.dll writes with (CreateDirectoryA; CreateFileA,
// WriteFile in pieces of 64 KiB, CloseHandle). No reading, no inflating: the least an
// expansion of that tree costs on this file system.
//   write_floor.exe LIST TARGET
// LIST has one entry a line, in archive order: "D path" for a folder, "F bytes path" for a
// file, paths relative to TARGET with backslashes.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD ChunkBytes = 64 * 1024;

bool WriteSized(const std::string& path, unsigned long long bytes, const std::vector<char>& chunk)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    while (bytes > 0 && written) {
        const DWORD want = static_cast<DWORD>(std::min<unsigned long long>(bytes, ChunkBytes));
        DWORD done = 0;
        written = WriteFile(file, chunk.data(), want, &done, nullptr) && done == want;
        bytes -= want;
    }
    return CloseHandle(file) && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: write_floor LIST TARGET\n");
        return 2;
    }
    FILE* list = std::fopen(argv[1], "r");
    if (!list) return 2;
    const std::string target = argv[2];
    const std::vector<char> chunk(ChunkBytes, 'z');
    char line[1024];
    while (std::fgets(line, sizeof line, list)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (line[0] == 'D') {
            if (!CreateDirectoryA((target + '\\' + (line + 2)).c_str(), nullptr)) return 1;
            continue;
        }
        unsigned long long bytes = 0;
        int offset = 0;
        if (std::sscanf(line, "F %llu %n", &bytes, &offset) != 1 || !WriteSized(target + '\\' + (line + offset), bytes, chunk))
            return 1;
    }
    std::fclose(list);
    return 0;
}
