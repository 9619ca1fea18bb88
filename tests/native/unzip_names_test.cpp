// Name policy: names are read as their entry declares (UTF-8 with flag bit 11, code page
// 437 without), and every hostile name class is refused, both by the checker and by a whole
// expansion, which must then produce nothing at all.
#include "unzip_memory_sink.h"
#include "unzip_zip_writer.h"

#include <gtest/gtest.h>

#include <iconv.h>

using namespace unztest;
using unz::NameEncoding;
using unz::Status;

namespace {

constexpr NameEncoding kBothEncodings[] = {NameEncoding::Cp437, NameEncoding::Utf8};

const char* encodingName(NameEncoding encoding) {
    return encoding == NameEncoding::Utf8 ? "utf-8" : "cp437";
}

bool accepted(const std::string& name, NameEncoding encoding = NameEncoding::Cp437,
              bool* isDir = nullptr, std::string* cleaned = nullptr) {
    bool dir = false;
    std::string out;
    const bool ok = unz::checkEntryName(name, encoding, unz::Limits{}, dir, out) == Status::Ok;
    if (isDir != nullptr) {
        *isDir = dir;
    }
    if (cleaned != nullptr) {
        *cleaned = out;
    }
    return ok;
}

// Refused whichever way the entry says its name is written.
const std::vector<std::string>& hostileNames() {
    static const std::vector<std::string> names = {
        // empty, absolute, separators
        "", "/", "//", "/abs", "/abs/", "\\abs", "a\\b", "dir\\..\\x", "//server/share/x",
        // parent and current folder components, empty components
        "..", "../x", "../../etc/passwd", "a/../b", "a/..", "a/../../x", ".", "./a", "a/./b",
        "a//b", "a//", "...", "x/.../y",
        // drive letters, streams
        "C:", "C:/x", "c:x", "C:\\x", "a:b", "file.txt::$DATA", "a/b:c",
        // control characters
        std::string("a\0b", 3), "a\x01" "b", "a\tb", "a\nb", "a\x1f", "a\x7f",
        // characters Windows reserves
        "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b",
        // trailing dots and spaces
        "a.", "a ", "dir./x", "dir /x", "x/y.", "x/y ", "a. ", "a .",
        // device names, any case, with or without extension, anywhere
        "CON", "con", "Con.txt", "con.tar.gz", "PRN", "prn.log", "AUX", "aux/x", "NUL",
        "dir/nul", "dir/NUL.txt", "COM1", "com9.log", "COM0", "LPT1", "lpt5.txt", "Lpt9",
        "CONIN$", "conout$.x", "CLOCK$", "CON .txt", "nul  .x", "d/com3/x",
        // over-long names and components
        std::string(241, 'a'), std::string(120, 'a') + "/" + std::string(120, 'b'),
    };
    return names;
}

// Refused as UTF-8: what is not its shortest form of a scalar value, C1 controls, and the
// devices Windows also opens with a superscript digit.
const std::vector<std::string>& hostileUtf8Names() {
    static const std::vector<std::string> names = {
        "\x80" "abc", "a/\xff", "caf\xc3", "caf\xc3" "e", "\xc3\xa9\xa9",
        // overlong '/', '\', '.' and ".." (a decoder that takes them would see a separator)
        "a\xc0\xaf" "b", "..\xc0\xaf" "x", "a\xc1\x9c" "b", "\xe0\x80\xae\xe0\x80\xae/x",
        "\xc0\xae\xc0\xae/x", "\xf0\x80\x80\xaf",
        // surrogates, beyond U+10FFFF, five and six byte forms
        "\xed\xa0\x80", "a\xed\xbf\xbf", "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80",
        "\xfc\x84\x80\x80\x80\x80", "\xfe",
        // C1 controls
        "a\xc2\x80", "a\xc2\x85" "b", "\xc2\x9f",
        // COM and LPT with superscript digits
        "COM\xc2\xb9", "com\xc2\xb2.txt", "LPT\xc2\xb3", "d/lpt\xc2\xb9 .x/y",
    };
    return names;
}

// Refused as code page 437: its 0xFD is the superscript two.
const std::vector<std::string>& hostileCp437Names() {
    static const std::vector<std::string> names = {"COM\xfd", "lpt\xfd.log", "d/Com\xfd/x"};
    return names;
}

}  // namespace

TEST(UnzipNames, AcceptsOrdinaryNames) {
    for (NameEncoding encoding : kBothEncodings) {
        for (const char* name :
             {"a", "a.txt", "dir/sub/file.ext", ".hidden", "a b/c d.txt", "console", "COM10",
              "LPT", "nul2", "a..b", "~tmp", "con_", "auxiliary.txt",
              "x-y_z(1)[2]{3}!@#$%^&+=,;'`~", " leading", "dir/.config", "READ.ME"}) {
            EXPECT_TRUE(accepted(name, encoding)) << name << " " << encodingName(encoding);
        }
        const std::string longest(240, 'x');
        EXPECT_TRUE(accepted(longest, encoding)) << encodingName(encoding);
    }
}

TEST(UnzipNames, Utf8NamesPassWhole) {
    for (const std::string name :
         {"caf\xc3\xa9", "\xd0\x9f\xd1\x80\xd0\xbe\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c "
                         "\xc5\x81ukasz \xe8\xa1\xa8/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt",
          "\xe3\x82\xbd/\xe8\xa1\xa8.txt", "\xf0\x9f\x98\x80.txt", "nbsp\xc2\xa0",
          "COM\xc2\xb9x"}) {
        std::string cleaned;
        EXPECT_TRUE(accepted(name, NameEncoding::Utf8, nullptr, &cleaned)) << name;
        EXPECT_EQ(name, cleaned);
    }
}

// Code page 437 as an independent table has it: glibc's iconv.
TEST(UnzipNames, Cp437NamesDecodeToUtf8) {
    iconv_t cd = iconv_open("UTF-8", "CP437");
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), cd) << "iconv knows no CP437";
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string name = std::string("x") + static_cast<char>(byte) + "x";
        char in[3] = {name[0], name[1], name[2]};
        char out[16] = {};
        char* inPtr = in;
        char* outPtr = out;
        std::size_t inLeft = sizeof in;
        std::size_t outLeft = sizeof out;
        ASSERT_NE(static_cast<std::size_t>(-1), iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft))
            << byte;
        std::string cleaned;
        EXPECT_TRUE(accepted(name, NameEncoding::Cp437, nullptr, &cleaned)) << byte;
        EXPECT_EQ(std::string(out, sizeof out - outLeft), cleaned) << byte;
    }
    iconv_close(cd);
    // The same bytes mean other letters as UTF-8, or nothing.
    std::string cleaned;
    ASSERT_TRUE(accepted("caf\x82", NameEncoding::Cp437, nullptr, &cleaned));
    EXPECT_EQ("caf\xc3\xa9", cleaned);
    ASSERT_TRUE(accepted("caf\xc3\xa9", NameEncoding::Cp437, nullptr, &cleaned));
    EXPECT_EQ("caf\xe2\x94\x9c\xe2\x8c\x90", cleaned);
    EXPECT_FALSE(accepted("caf\x82", NameEncoding::Utf8));
}

TEST(UnzipNames, FoldersLoseTheirSlash) {
    bool isDir = false;
    std::string cleaned;
    ASSERT_TRUE(accepted("a/b/", NameEncoding::Cp437, &isDir, &cleaned));
    EXPECT_TRUE(isDir);
    EXPECT_EQ("a/b", cleaned);
    ASSERT_TRUE(accepted("a/b", NameEncoding::Cp437, &isDir, &cleaned));
    EXPECT_FALSE(isDir);
    EXPECT_EQ("a/b", cleaned);
    ASSERT_TRUE(accepted("\x8e/", NameEncoding::Cp437, &isDir, &cleaned));
    EXPECT_TRUE(isDir);
    EXPECT_EQ("\xc3\x84", cleaned);
}

TEST(UnzipNames, RefusesHostileNames) {
    for (NameEncoding encoding : kBothEncodings) {
        for (const std::string& name : hostileNames()) {
            EXPECT_FALSE(accepted(name, encoding)) << "name: " << name << " "
                                                   << encodingName(encoding);
        }
    }
    for (const std::string& name : hostileUtf8Names()) {
        EXPECT_FALSE(accepted(name, NameEncoding::Utf8)) << "name: " << name;
    }
    for (const std::string& name : hostileCp437Names()) {
        EXPECT_FALSE(accepted(name, NameEncoding::Cp437)) << "name: " << name;
    }
}

TEST(UnzipNames, ComponentLengthIsBounded) {
    unz::Limits roomy;
    roomy.maxNameLength = 2000;
    bool isDir = false;
    std::string cleaned;
    auto check = [&](const std::string& name, NameEncoding encoding) {
        return unz::checkEntryName(name, encoding, roomy, isDir, cleaned);
    };
    auto repeat = [](const std::string& letter, std::size_t times) {
        std::string s;
        for (std::size_t i = 0; i < times; ++i) {
            s += letter;
        }
        return s;
    };
    for (NameEncoding encoding : kBothEncodings) {
        EXPECT_EQ(Status::Ok, check(std::string(255, 'a'), encoding));
        EXPECT_EQ(Status::BadName, check(std::string(256, 'a'), encoding));
    }
    // Counted as Windows counts: UTF-16 units, two for a letter beyond the BMP.
    EXPECT_EQ(Status::Ok, check(repeat("\xe8\xa1\xa8", 255), NameEncoding::Utf8));
    EXPECT_EQ(Status::BadName, check(repeat("\xe8\xa1\xa8", 256), NameEncoding::Utf8));
    EXPECT_EQ(Status::Ok, check(repeat("\xf0\x9f\x98\x80", 127) + "a", NameEncoding::Utf8));
    EXPECT_EQ(Status::BadName, check(repeat("\xf0\x9f\x98\x80", 128), NameEncoding::Utf8));
    EXPECT_EQ(Status::Ok, check(std::string(255, '\x82'), NameEncoding::Cp437));
    EXPECT_EQ(Status::BadName, check(std::string(256, '\x82'), NameEncoding::Cp437));
}

namespace {

// An archive with a good file and folder, then the named entry as the writer flags it.
void expectWholeArchiveRefused(const std::string& name, bool flagged) {
    for (bool asFolder : {false, true}) {
        const std::string entry = asFolder ? name + "/" : name;
        const NameEncoding encoding = flagged ? NameEncoding::Utf8 : NameEncoding::Cp437;
        if (asFolder && accepted(entry, encoding)) {
            continue;  // "a/" style: the trailing slash makes it a folder name
        }
        Item bad = asFolder ? folder(entry) : file(entry, "evil");
        if (flagged) {
            bad = utf8Named(bad);
        }
        Image img = buildZip({file("good.txt", "fine"), folder("ok/"), bad});
        MemorySink sink;
        unz::Result r = expandBytes(img.bytes, sink);
        EXPECT_EQ(Status::BadName, r.status) << "name: " << entry << " " << encodingName(encoding);
        EXPECT_EQ(2, r.failedEntry) << "name: " << entry;
        EXPECT_TRUE(sink.files.empty()) << "name: " << entry;
        EXPECT_TRUE(sink.dirs.empty()) << "name: " << entry;
    }
}

}  // namespace

TEST(UnzipNames, HostileNamesFailTheWholeArchive) {
    for (const std::string& name : hostileNames()) {
        if (name.empty()) {
            continue;  // covered below: a zero-length name field
        }
        expectWholeArchiveRefused(name, false);
        expectWholeArchiveRefused(name, true);
    }
    for (const std::string& name : hostileUtf8Names()) {
        expectWholeArchiveRefused(name, true);
    }
    for (const std::string& name : hostileCp437Names()) {
        expectWholeArchiveRefused(name, false);
    }
    MemorySink sink;
    EXPECT_EQ(Status::BadName, expandBytes(buildZip({file("", "x")}).bytes, sink).status);
}

// What other tools write: UTF-8 with the flag (7-Zip, Info-ZIP, macOS, current WinZip and
// WinRAR), code page 437 without it (older writers, Windows's own folder compression).
TEST(UnzipNames, ArchivesOfOtherToolsExpandUnderTheirNames) {
    const std::string profile =
        "\xd0\x9f\xd1\x80\xd0\xbe\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c \xc5\x81ukasz \xe8\xa1\xa8";
    Image img = buildZip({utf8Named(folder(profile + "/")),
                          utf8Named(file(profile + "/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt", "ru")),
                          utf8Named(file("\xe3\x82\xbd.txt", "so", kStored)),
                          file("Caf\x82/\x8e\x99\x9a \xe1.txt", "cp437"),
                          file("plain.txt", "ascii")});
    MemorySink sink;
    const unz::Result r = expandBytes(img.bytes, sink);
    ASSERT_EQ(Status::Ok, r.status) << unz::statusName(r.status);
    const std::set<std::string> dirs{profile, "Caf\xc3\xa9"};
    EXPECT_EQ(dirs, sink.dirs);
    const std::map<std::string, std::string> files{
        {profile + "/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt", "ru"},
        {"\xe3\x82\xbd.txt", "so"},
        {"Caf\xc3\xa9/\xc3\x84\xc3\x96\xc3\x9c \xc3\x9f.txt", "cp437"},
        {"plain.txt", "ascii"}};
    EXPECT_EQ(files, sink.files);
}

TEST(UnzipNames, NameLengthFieldIsChecked) {
    // A name length reaching past the central directory.
    Image img = buildZip({file("a.txt", "abc")});
    put16(img.bytes, img.central[0] + kCenNameLen, 0xFFFF);
    MemorySink sink;
    EXPECT_NE(Status::Ok, expandBytes(img.bytes, sink).status);
}
