// The binding to the unzip library that staging wrote out: load it, hand it one command
// record, unload it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The command record as the library receives it: 148 bytes, 32-bit pointers and handles,
// little-endian. The setup sets the fields named below and leaves every other byte 0; the
// meaning of the option fields belongs to the library, the values are what ours expects
// for "expand everything with its folders, replacing what is there".
struct UnzipCommand {
    HWND window;                     //   0
    std::uint32_t option04;          //   4
    std::uint32_t libraryVersion;    //   8 what GetUnzDllVersion returned
    std::uint32_t option12;          //  12
    std::uint32_t option16;          //  16
    std::uint16_t option20;          //  20
    std::uint16_t option22;          //  22 1
    std::uint32_t option24[5];       //  24..43
    std::uint32_t option44;          //  44 1
    std::uint32_t option48;          //  48 1
    std::uint32_t option52;          //  52
    std::uint32_t option56;          //  56 1
    std::uint32_t option60;          //  60 1
    std::uint32_t option64;          //  64
    const char* archivePath;         //  68
    std::uint32_t reserved72[2];     //  72
    std::uint32_t option80;          //  80
    std::uint32_t reserved84[2];     //  84
    std::uint32_t option92;          //  92
    std::uint32_t reserved96[3];     //  96
    const char* extractionFolder;    // 108 without a trailing backslash
    std::uint32_t reserved112[8];    // 112
    std::uint32_t option144;         // 144 7
};

static_assert(sizeof(void*) == 4, "the library is 32-bit and so is the record");
static_assert(sizeof(UnzipCommand) == 148, "the record is 148 bytes");
static_assert(offsetof(UnzipCommand, option20) == 20 && offsetof(UnzipCommand, option22) == 22, "layout");
static_assert(offsetof(UnzipCommand, option44) == 44 && offsetof(UnzipCommand, option60) == 60, "layout");
static_assert(offsetof(UnzipCommand, archivePath) == 68, "layout");
static_assert(offsetof(UnzipCommand, option80) == 80 && offsetof(UnzipCommand, option92) == 92, "layout");
static_assert(offsetof(UnzipCommand, extractionFolder) == 108, "layout");
static_assert(offsetof(UnzipCommand, option144) == 144, "layout");

// Loads the library at unzipLibraryPath and has it expand archivePath into
// extractionFolder. 0 when the library ran (whatever it made of the archive); 1 when it
// could not be run, with the reason in the main window's title.
int ExtractArchive(const char* archivePath, const char* extractionFolder);
