// Name policy: every hostile name class is refused, both by the checker and
// by a whole expansion, which must then produce nothing at all.
#include "unzip_memory_sink.h"
#include "unzip_zip_writer.h"

#include <gtest/gtest.h>

using namespace unztest;
using unz::Status;

namespace {

bool accepted(const std::string& name, bool* isDir = nullptr, std::string* cleaned = nullptr) {
    bool dir = false;
    std::string out;
    const bool ok = unz::checkEntryName(name, unz::Limits{}, dir, out) == Status::Ok;
    if (isDir != nullptr) {
        *isDir = dir;
    }
    if (cleaned != nullptr) {
        *cleaned = out;
    }
    return ok;
}

const std::vector<std::string>& hostileNames() {
    static const std::vector<std::string> names = {
        // empty, absolute, separators
        "", "/", "//", "/abs", "/abs/", "\\abs", "a\\b", "dir\\..\\x", "//server/share/x",
        // parent and current folder components, empty components
        "..", "../x", "../../etc/passwd", "a/../b", "a/..", "a/../../x", ".", "./a", "a/./b",
        "a//b", "a//", "...", "x/.../y",
        // drive letters, streams
        "C:", "C:/x", "c:x", "C:\\x", "a:b", "file.txt::$DATA", "a/b:c",
        // control characters, non-ASCII
        std::string("a\0b", 3), "a\x01" "b", "a\tb", "a\nb", "a\x1f", "a\x7f", "\x80" "abc",
        "caf\xc3\xa9", "a/\xff",
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

}  // namespace

TEST(UnzipNames, AcceptsOrdinaryNames) {
    for (const char* name :
         {"a", "a.txt", "dir/sub/file.ext", ".hidden", "a b/c d.txt", "console", "COM10",
          "LPT", "nul2", "a..b", "~tmp", "con_", "auxiliary.txt", "x-y_z(1)[2]{3}!@#$%^&+=,;'`~",
          " leading", "dir/.config", "READ.ME"}) {
        EXPECT_TRUE(accepted(name)) << name;
    }
    const std::string longest(240, 'x');
    EXPECT_TRUE(accepted(longest));
}

TEST(UnzipNames, FoldersLoseTheirSlash) {
    bool isDir = false;
    std::string cleaned;
    ASSERT_TRUE(accepted("a/b/", &isDir, &cleaned));
    EXPECT_TRUE(isDir);
    EXPECT_EQ("a/b", cleaned);
    ASSERT_TRUE(accepted("a/b", &isDir, &cleaned));
    EXPECT_FALSE(isDir);
    EXPECT_EQ("a/b", cleaned);
}

TEST(UnzipNames, RefusesHostileNames) {
    for (const std::string& name : hostileNames()) {
        EXPECT_FALSE(accepted(name)) << "name: " << name;
    }
}

TEST(UnzipNames, ComponentLengthIsBounded) {
    unz::Limits roomy;
    roomy.maxNameLength = 1000;
    bool isDir = false;
    std::string cleaned;
    EXPECT_EQ(Status::Ok, unz::checkEntryName(std::string(255, 'a'), roomy, isDir, cleaned));
    EXPECT_EQ(Status::BadName,
              unz::checkEntryName(std::string(256, 'a'), roomy, isDir, cleaned));
}

TEST(UnzipNames, HostileNamesFailTheWholeArchive) {
    for (const std::string& name : hostileNames()) {
        if (name.empty()) {
            continue;  // covered below: a zero-length name field
        }
        for (bool asFolder : {false, true}) {
            const std::string entry = asFolder ? name + "/" : name;
            if (asFolder && accepted(entry)) {
                continue;  // "a/" style: the trailing slash makes it a folder name
            }
            Image img = buildZip({file("good.txt", "fine"), folder("ok/"),
                                  asFolder ? folder(entry) : file(entry, "evil")});
            MemorySink sink;
            unz::Result r = expandBytes(img.bytes, sink);
            EXPECT_EQ(Status::BadName, r.status) << "name: " << entry;
            EXPECT_EQ(2, r.failedEntry) << "name: " << entry;
            EXPECT_TRUE(sink.files.empty()) << "name: " << entry;
            EXPECT_TRUE(sink.dirs.empty()) << "name: " << entry;
        }
    }
    MemorySink sink;
    EXPECT_EQ(Status::BadName, expandBytes(buildZip({file("", "x")}).bytes, sink).status);
}

TEST(UnzipNames, NameLengthFieldIsChecked) {
    // A name length reaching past the central directory.
    Image img = buildZip({file("a.txt", "abc")});
    put16(img.bytes, img.central[0] + kCenNameLen, 0xFFFF);
    MemorySink sink;
    EXPECT_NE(Status::Ok, expandBytes(img.bytes, sink).status);
}
