/*
 * UnzDll.dll: expands a ZIP archive into a folder, all or nothing.
 *
 * Built for 32-bit Windows (the shipped library); an x86-64 twin of the same
 * sources exists only to run the tests under 64-bit Wine. Load it with
 * LoadLibraryA and look up the two exports by name:
 *
 *   uint32_t WINAPI GetUnzDllVersion(void);
 *   uint32_t WINAPI UnzDllExec(const UnzipCommand* record);
 *
 * UnzDllExec expands every entry (Stored and Deflate, folders included)
 * into a fresh temporary folder inside the target folder, checks names,
 * sizes and CRC-32 of every entry, and only then moves the result into the
 * target: files of the same name are replaced, existing folders are merged,
 * other files are left alone. On any failure the target is left as it was
 * and the temporary folder is removed. The DLL never shows any UI, keeps
 * no state between calls and may be unloaded after any call.
 *
 * Archive rules: no ZIP64, no multi-disk, no encryption, no leading stub;
 * entry names are read as UTF-8 when their entry sets flag bit 11 and as
 * code page 437 otherwise, and must be relative paths with '/' separators
 * and at most 240 bytes as stored, with no "..", ".", empty or device-name
 * component, no trailing dot or space, no control character, none of
 * \ : * ? " < > | and, for UTF-8, nothing but well-formed UTF-8. One refused
 * entry fails the whole archive. The sum of declared uncompressed sizes may
 * not exceed 2 GiB; at most 65534 entries and 65534 folders.
 *
 * The two paths of the record are ANSI strings in the caller's code page
 * (CP_ACP). The DLL writes through the wide file calls, so names in any
 * script land whole whatever that code page is; a path that does not convert
 * losslessly, or does not fit MAX_PATH UTF-16 units, fails with UNZ_E_PATH.
 */
#ifndef UNZDLL_H
#define UNZDLL_H

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

/* (major << 16) | (minor << 8) | patch */
#define UNZDLL_VERSION 0x00010000u

/* Value of UnzipCommand.recordVersion for the layout below. */
#define UNZ_RECORD_VERSION 7u

/* Return codes of UnzDllExec. Only UNZ_OK means the target was updated. */
#define UNZ_OK              0u  /* everything expanded and moved into place */
#define UNZ_E_RECORD        1u  /* null record, or recordVersion is not 7 */
#define UNZ_E_VERSION       2u  /* callerVersion is neither 0 nor UNZDLL_VERSION */
#define UNZ_E_OPTION        3u  /* a field asks for behaviour this DLL lacks */
#define UNZ_E_PATH          4u  /* a path is missing, empty, not valid in the caller's
                                   code page, or too long for MAX_PATH (also once
                                   joined with an entry name) */
#define UNZ_E_OPEN_ARCHIVE  5u  /* the archive cannot be opened */
#define UNZ_E_TARGET        6u  /* the target is not a folder, or it or the
                                   temporary folder cannot be created */
#define UNZ_E_NOT_ZIP      10u  /* no end of central directory record */
#define UNZ_E_TRUNCATED    11u  /* the archive ends too early */
#define UNZ_E_CORRUPT      12u  /* inconsistent headers, offsets or overlaps */
#define UNZ_E_UNSUPPORTED  13u  /* ZIP64 or multi-disk archive */
#define UNZ_E_ENCRYPTED    14u  /* an entry is encrypted */
#define UNZ_E_METHOD       15u  /* compression other than Stored or Deflate */
#define UNZ_E_NAME         16u  /* an entry name is refused or names collide */
#define UNZ_E_SIZE         17u  /* data does not match a declared size */
#define UNZ_E_CRC          18u  /* CRC-32 mismatch */
#define UNZ_E_DATA         19u  /* damaged deflate data */
#define UNZ_E_LIMIT        20u  /* too many entries or folders, or over 2 GiB */
#define UNZ_E_READ         21u  /* reading the archive failed */
#define UNZ_E_WRITE        22u  /* writing into the temporary folder failed */
#define UNZ_E_COMMIT       23u  /* moving into place failed; target restored */
#define UNZ_E_ROLLBACK     24u  /* moving into place failed and the target could
                                   not be fully restored */
#define UNZ_E_CLEANUP      25u  /* target complete, but the temporary folder
                                   could not be removed entirely */
#define UNZ_E_MEMORY       26u  /* out of memory */
#define UNZ_E_INTERNAL     27u  /* unexpected internal error */

/* The temporary folder UnzDllExec expands into, inside the target:
 * UNZ_TEMP_PREFIX, UNZ_TEMP_HEX_DIGITS hexadecimal digits, UNZ_TEMP_SUFFIX.
 * Only a process killed while expanding leaves one behind; a caller may
 * remove what such a process left in its own target. */
#define UNZ_TEMP_PREFIX     "~unz"
#define UNZ_TEMP_HEX_DIGITS 8
#define UNZ_TEMP_SUFFIX     ".tmp"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Command record: this is its one description, for the DLL and for every
 * caller (the setup and the tests fill and read it through these names).
 * On i686 it is 148 bytes, 4-byte aligned, every offset pinned below; the
 * numbers in the field comments are those i686 offsets. On x86-64 the same
 * fields come in the same order with their natural alignment, so the two
 * pointers and the window handle take 8 bytes and move the fields after
 * them. The caller zero-fills it and
 * sets the fields below; "set to" gives the value meaning "expand
 * everything, overwrite existing files, recreate folders". Fields marked
 * "must be" make UnzDllExec fail with UNZ_E_OPTION otherwise, rather than
 * silently doing something else than asked.
 */
typedef struct UnzipCommand {
    HWND ownerWindow;            /*   0 caller's main window; unused (no UI) */
    uint32_t reserved04;         /*   4 ignored; set to 0 */
    uint32_t callerVersion;      /*   8 0, or what GetUnzDllVersion returned */
    uint32_t userData;           /*  12 ignored; set to 0 */
    uint32_t traceLevel;         /*  16 ignored (the DLL logs nothing); 0 */
    uint16_t quiet;              /*  20 ignored; set to 0 */
    uint16_t neverPrompt;        /*  22 ignored: the DLL never prompts; set to 1 */
    uint32_t testOnly;           /*  24 must be 0 */
    uint32_t listOnly;           /*  28 must be 0 */
    uint32_t convertLineEnds;    /*  32 must be 0 (data is written as stored) */
    uint32_t junkFolders;        /*  36 must be 0 (folder structure is kept) */
    uint32_t freshenOnly;        /*  40 must be 0 */
    uint32_t recreateFolders;    /*  44 must be nonzero: set to 1 */
    uint32_t overwriteExisting;  /*  48 must be nonzero: set to 1 */
    uint32_t keepNewer;          /*  52 must be 0 */
    uint32_t restoreTimes;       /*  56 nonzero: set last-write times from the
                                        archive's DOS timestamps; set to 1 */
    uint32_t replaceReadOnly;    /*  60 nonzero: read-only files in the target
                                        may be replaced; 0 fails instead */
    uint32_t reserved64;         /*  64 ignored; set to 0 */
    const char* archivePath;     /*  68 ANSI path of the archive, in the caller's
                                        code page (required) */
    uint32_t reserved72[2];      /*  72 ignored; set to 0 */
    uint32_t includeCount;       /*  80 must be 0: every entry is expanded */
    uint32_t reserved84[2];      /*  84 ignored; set to 0 */
    uint32_t excludeCount;       /*  92 must be 0: no entry is skipped */
    uint32_t reserved96[3];      /*  96 ignored; set to 0 */
    const char* targetFolder;    /* 108 ANSI path of the folder to expand into, in
                                        the caller's code page;
                                        created if only its last part is missing */
    uint32_t reserved112[8];     /* 112 ignored; set to 0 */
    uint32_t recordVersion;      /* 144 must be UNZ_RECORD_VERSION (7) */
} UnzipCommand;

typedef uint32_t(WINAPI* UnzGetVersionProc)(void);
typedef uint32_t(WINAPI* UnzExecProc)(const UnzipCommand* record);

uint32_t WINAPI GetUnzDllVersion(void);
uint32_t WINAPI UnzDllExec(const UnzipCommand* record);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#define UNZ_STATIC_ASSERT(cond, text) static_assert(cond, text)
#else
#define UNZ_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

#if defined(__i386__) || defined(_M_IX86)
UNZ_STATIC_ASSERT(sizeof(void*) == 4, "the i686 layout has 4-byte pointers");
UNZ_STATIC_ASSERT(sizeof(UnzipCommand) == 148, "command record must be 148 bytes");
#define UNZ_AT(field, offset) \
    UNZ_STATIC_ASSERT(offsetof(UnzipCommand, field) == offset, #field " at " #offset)
UNZ_AT(ownerWindow, 0);
UNZ_AT(reserved04, 4);
UNZ_AT(callerVersion, 8);
UNZ_AT(userData, 12);
UNZ_AT(traceLevel, 16);
UNZ_AT(quiet, 20);
UNZ_AT(neverPrompt, 22);
UNZ_AT(testOnly, 24);
UNZ_AT(listOnly, 28);
UNZ_AT(convertLineEnds, 32);
UNZ_AT(junkFolders, 36);
UNZ_AT(freshenOnly, 40);
UNZ_AT(recreateFolders, 44);
UNZ_AT(overwriteExisting, 48);
UNZ_AT(keepNewer, 52);
UNZ_AT(restoreTimes, 56);
UNZ_AT(replaceReadOnly, 60);
UNZ_AT(reserved64, 64);
UNZ_AT(archivePath, 68);
UNZ_AT(reserved72, 72);
UNZ_AT(includeCount, 80);
UNZ_AT(reserved84, 84);
UNZ_AT(excludeCount, 92);
UNZ_AT(reserved96, 96);
UNZ_AT(targetFolder, 108);
UNZ_AT(reserved112, 112);
UNZ_AT(recordVersion, 144);
#undef UNZ_AT
#endif
#undef UNZ_STATIC_ASSERT

#endif /* UNZDLL_H */
