// The two files the setup carries in its own data: the unzip library and the product
// archive. Their definitions are generated at build time from the built files.
#pragma once

#include <cstddef>
#include <cstdint>

// One file as 16-bit words, one word per byte in file order: the byte is the low half of
// its word, the high half is 0 and is never written out. crc32 is the CRC-32 of the file's
// bytes, recorded when the words were generated, so that damage to them can be told.
struct EmbeddedImage {
    const std::uint16_t* words;
    std::size_t byteCount;
    std::uint32_t crc32;
};

// UnzDll.dll. In the program's data it lies directly in front of the archive.
extern const EmbeddedImage LibraryImage;
// zav.zip, the product archive.
extern const EmbeddedImage ArchiveImage;

// The longest path inside the archive ("ZAV 1.00 beta 8\\...", backslashes): the deepest
// path the product puts below a destination folder.
extern const char ArchiveLongestPath[];

// A file of the archive: its path ("ZAV 1.00 beta 8\\...", backslashes) and its size.
struct ArchiveFile {
    const char* path;
    std::uint32_t size;
};
// Every file of the archive, so that an expansion can be checked to have left them all.
extern const ArchiveFile ArchiveFiles[];
extern const std::size_t ArchiveFileCount;
