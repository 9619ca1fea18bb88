// Core expansion: good archives give exactly the right tree; every kind of
// damage ends with an error and never with output beyond declared sizes.
#include "unzip_memory_sink.h"
#include "unzip_zip_writer.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace unztest;
using unz::Status;

namespace {

std::string statusText(Status s) { return unz::statusName(s); }

// Expands and checks the invariants that must hold whatever the outcome.
unz::Result expandChecked(const Bytes& bytes, MemorySink& sink,
                          const unz::Limits& limits = unz::Limits{}) {
    unz::Result r = expandBytes(bytes, sink, limits);
    EXPECT_FALSE(sink.wroteBeyondDeclared);
    EXPECT_FALSE(sink.fileOpen());
    return r;
}

Status expandStatus(const Bytes& bytes) {
    MemorySink sink;
    return expandChecked(bytes, sink).status;
}

#define EXPECT_STATUS(expected, actual) \
    EXPECT_EQ(statusText(expected), statusText(actual))

}  // namespace

TEST(UnzipCore, ExpandsStoredDeflateAndFolders) {
    const std::string text = makeText(5000);
    const std::string noise = makeNoise(100 * 1024);
    const std::string zeros(300 * 1024, '\0');
    const std::string bigText = makeText(1 << 20, 3);
    Image img = buildZip({
        file("readme.txt", text),
        folder("bin/"),
        file("bin/app.exe", noise, kStored),
        file("docs/manual/guide.txt", text.substr(0, 100)),
        folder("empty/"),
        file("empty.txt", "", kStored),
        file("empty-deflated.txt", ""),
        file("zeros.bin", zeros),
        file("noise.bin", noise),
        file("docs/big.txt", bigText),
    });
    MemorySink sink;
    unz::Result r = expandChecked(img.bytes, sink);
    ASSERT_EQ(statusText(Status::Ok), statusText(r.status));
    EXPECT_EQ((std::set<std::string>{"bin", "docs", "docs/manual", "empty"}), sink.dirs);
    std::map<std::string, std::string> expected{
        {"readme.txt", text},        {"bin/app.exe", noise},
        {"docs/manual/guide.txt", text.substr(0, 100)},
        {"empty.txt", ""},           {"empty-deflated.txt", ""},
        {"zeros.bin", zeros},        {"noise.bin", noise},
        {"docs/big.txt", bigText},
    };
    EXPECT_EQ(expected.size(), sink.files.size());
    for (const auto& item : expected) {
        auto found = sink.files.find(item.first);
        ASSERT_NE(found, sink.files.end()) << item.first;
        EXPECT_TRUE(found->second == item.second) << item.first;
    }
    EXPECT_EQ(8u, r.filesWritten);
    EXPECT_EQ(4u, r.directoriesCreated);
    EXPECT_EQ(0, sink.aborted);
}

TEST(UnzipCore, DataDescriptorsWithAndWithoutSignature) {
    const Item a = described(file("a.txt", makeText(70000)));
    const Item b = described(file("b.bin", makeNoise(1000), kStored), false);
    const Item c = described(file("c.txt", "tail"), false);
    MemorySink sink;
    unz::Result r = expandChecked(buildZip({a, b, c}).bytes, sink);
    ASSERT_EQ(statusText(Status::Ok), statusText(r.status));
    EXPECT_EQ(3u, sink.files.size());
    EXPECT_TRUE(sink.files["a.txt"] == a.data);
    EXPECT_TRUE(sink.files["b.bin"] == b.data);
    EXPECT_EQ("tail", sink.files["c.txt"]);
}

TEST(UnzipCore, DescriptorValuesMustAgree) {
    const Item a = described(file("a.txt", "hello hello hello"));
    Image img = buildZip({a});
    // The descriptor's CRC sits right after the signature, before the CD.
    const std::size_t cd = img.central[0];
    put32(img.bytes, cd - 12, 0x12345678);
    EXPECT_STATUS(Status::Corrupt, expandStatus(img.bytes));
}

TEST(UnzipCore, EmptyArchiveAndComments) {
    EXPECT_STATUS(Status::Ok, expandStatus(buildZip({}).bytes));
    EXPECT_STATUS(Status::Ok, expandStatus(buildZip({file("a", "x")}, "a comment").bytes));
    // A fake end record inside the comment must not be taken for the real one.
    std::string fake("PK\x05\x06", 4);
    fake += std::string(18, '\0');
    MemorySink sink;
    unz::Result r = expandChecked(buildZip({file("a", "x")}, "x" + fake + "y").bytes, sink);
    EXPECT_STATUS(Status::Ok, r.status);
    EXPECT_EQ("x", sink.files["a"]);
}

TEST(UnzipCore, PassesDosTimes) {
    Item a = file("a", "1");
    a.dosTime = 0x1234;
    a.dosDate = 0x5678;
    MemorySink sink;
    ASSERT_EQ(Status::Ok, expandChecked(buildZip({a}).bytes, sink).status);
    EXPECT_EQ(0x56781234u, sink.times["a"]);
}

TEST(UnzipCore, FoldersMayBeExplicitImplicitOrRepeated) {
    MemorySink sink;
    unz::Result r = expandChecked(
        buildZip({file("d/x", "1"), folder("d/"), folder("d/"), folder("e/f/")}).bytes, sink);
    ASSERT_EQ(Status::Ok, r.status);
    EXPECT_EQ((std::set<std::string>{"d", "e", "e/f"}), sink.dirs);
}

TEST(UnzipCore, CrcMismatch) {
    Item a = file("a.txt", makeText(1000));
    a.crc = crcOf(a.data) ^ 1;
    MemorySink sink;
    unz::Result r = expandChecked(buildZip({file("ok.txt", "ok"), a}).bytes, sink);
    EXPECT_STATUS(Status::CrcMismatch, r.status);
    EXPECT_EQ(1, r.failedEntry);
    EXPECT_EQ(0u, sink.files.count("a.txt"));
    EXPECT_EQ(1, sink.aborted);

    Item s = file("s.bin", makeNoise(100), kStored);
    s.crc = 0;
    EXPECT_STATUS(Status::CrcMismatch, expandStatus(buildZip({s}).bytes));

    // Central and local disagree.
    Image img = buildZip({file("a.txt", "abc")});
    put32(img.bytes, img.central[0] + kCenCrc, 1);
    EXPECT_STATUS(Status::CrcMismatch, expandStatus(img.bytes));
}

TEST(UnzipCore, UncompressedSizeLiesUpward) {
    Item a = file("a.txt", makeText(1000));
    a.uncompressedSize = 1001;
    EXPECT_STATUS(Status::SizeMismatch, expandStatus(buildZip({a}).bytes));
    Item s = file("s.txt", "abc", kStored);
    s.uncompressedSize = 4;  // stored: must equal the compressed size
    EXPECT_STATUS(Status::SizeMismatch, expandStatus(buildZip({s}).bytes));
}

TEST(UnzipCore, UncompressedSizeLiesDownward) {
    Item a = file("a.txt", makeText(200000));
    a.uncompressedSize = 100;
    MemorySink sink;
    unz::Result r = expandChecked(buildZip({a}).bytes, sink);
    EXPECT_STATUS(Status::SizeMismatch, r.status);
    EXPECT_LE(sink.totalBytes(), 100u);
}

TEST(UnzipCore, CompressedSizeLies) {
    const std::string text = makeText(20000);
    Item shorter = file("a.txt", text);
    shorter.compressedSize = static_cast<std::uint32_t>(deflateRaw(text).size() - 10);
    shorter.payload = deflateRaw(text).substr(0, *shorter.compressedSize);
    EXPECT_STATUS(Status::BadData, expandStatus(buildZip({shorter}).bytes));

    // Extra bytes after the end of the deflate stream.
    Item longer = file("a.txt", text);
    longer.payload = deflateRaw(text) + "junk";
    EXPECT_STATUS(Status::SizeMismatch, expandStatus(buildZip({longer}).bytes));

    // Compressed size reaching into the central directory.
    Image img = buildZip({file("a.txt", text)});
    const std::uint32_t tooBig = static_cast<std::uint32_t>(img.central[0]);
    put32(img.bytes, img.local[0] + kLocCsize, tooBig);
    put32(img.bytes, img.central[0] + kCenCsize, tooBig);
    EXPECT_STATUS(Status::Corrupt, expandStatus(img.bytes));
}

TEST(UnzipCore, LocalHeaderMustAgree) {
    Image img = buildZip({file("a.txt", "abc")});
    Bytes b = img.bytes;
    put32(b, img.local[0] + kLocUsize, 4);
    EXPECT_STATUS(Status::SizeMismatch, expandStatus(b));
    b = img.bytes;
    put16(b, img.local[0] + kLocMethod, 0);
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    b[img.local[0] + 30] = 'b';  // local name differs
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    b[img.local[0]] = 'X';  // signature
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
}

TEST(UnzipCore, WrongOffsets) {
    Image img = buildZip({file("a.txt", "abc"), file("b.txt", "def")});
    Bytes b = img.bytes;
    put32(b, img.central[1] + kCenOffset, 1);
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    put32(b, img.central[1] + kCenOffset, static_cast<std::uint32_t>(img.central[0]));
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    put32(b, img.central[1] + kCenOffset, 0xFFFFFFF0u);
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    put32(b, img.end + kEndCdOffset, static_cast<std::uint32_t>(img.central[0] + 1));
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    put16(b, img.end + kEndEntries, 3);
    put16(b, img.end + kEndDiskEntries, 3);
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    b = img.bytes;
    put16(b, img.end + kEndEntries, 1);
    put16(b, img.end + kEndDiskEntries, 1);
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
    // A self-extractor stub in front shifts every offset: refused.
    b = img.bytes;
    b.insert(b.begin(), 64, 'M');
    EXPECT_STATUS(Status::Corrupt, expandStatus(b));
}

TEST(UnzipCore, OverlappingEntries) {
    const std::string text = makeText(3000);
    Image img = buildZip({file("a.txt", text), file("b.txt", text)});
    // Stretch a's data over b's local header, keeping both headers agreeing.
    const std::uint32_t stretched =
        static_cast<std::uint32_t>(img.local[1] - (img.local[0] + 30 + 5) + 10);
    put32(img.bytes, img.local[0] + kLocCsize, stretched);
    put32(img.bytes, img.central[0] + kCenCsize, stretched);
    EXPECT_STATUS(Status::Corrupt, expandStatus(img.bytes));

    // Two central entries sharing one local header.
    Image twice = buildZip({file("a.txt", "x"), file("b.txt", "x")});
    put32(twice.bytes, twice.central[1] + kCenOffset, 0);
    EXPECT_STATUS(Status::Corrupt, expandStatus(twice.bytes));
}

TEST(UnzipCore, TruncationAtEveryPosition) {
    const Item d = described(file("d.txt", makeText(300)));
    Image img = buildZip({file("a.txt", makeText(400)), folder("f/"),
                          file("f/s.bin", makeNoise(50), kStored), d});
    for (std::size_t len = 0; len < img.bytes.size(); ++len) {
        Bytes cut(img.bytes.begin(), img.bytes.begin() + static_cast<long>(len));
        MemorySink sink;
        unz::Result r = expandChecked(cut, sink);
        EXPECT_NE(Status::Ok, r.status) << "length " << len;
        EXPECT_TRUE(sink.files.empty()) << "length " << len;
    }
}

TEST(UnzipCore, EncryptedEntries) {
    for (std::uint16_t flag : {0x0001, 0x0041, 0x2000}) {
        Item a = file("a.txt", "secret");
        a.extraFlags = flag;
        EXPECT_STATUS(Status::Encrypted, expandStatus(buildZip({a}).bytes)) << flag;
    }
    Item aes = file("a.txt", "secret");
    aes.method = 99;
    aes.payload = "xxxxxxxx";
    EXPECT_STATUS(Status::Encrypted, expandStatus(buildZip({aes}).bytes));
    // Flag only in the local header.
    Image img = buildZip({file("a.txt", "secret")});
    put16(img.bytes, img.local[0] + kLocFlags, 1);
    EXPECT_STATUS(Status::Encrypted, expandStatus(img.bytes));
}

TEST(UnzipCore, UnknownMethods) {
    for (std::uint16_t method : {1, 6, 9, 12, 14, 93, 95, 0xFFFF}) {
        Item a = file("a.txt", "data");
        a.method = method;
        a.payload = "data";
        EXPECT_STATUS(Status::UnsupportedMethod, expandStatus(buildZip({a}).bytes)) << method;
    }
}

TEST(UnzipCore, Zip64MarkersRefused) {
    Image img = buildZip({file("a.txt", "abc")});
    Bytes b = img.bytes;
    put16(b, img.end + kEndEntries, 0xFFFF);
    put16(b, img.end + kEndDiskEntries, 0xFFFF);
    EXPECT_STATUS(Status::Unsupported, expandStatus(b));
    b = img.bytes;
    put32(b, img.end + kEndCdOffset, 0xFFFFFFFF);
    EXPECT_STATUS(Status::Unsupported, expandStatus(b));
    b = img.bytes;
    put32(b, img.end + kEndCdSize, 0xFFFFFFFF);
    EXPECT_STATUS(Status::Unsupported, expandStatus(b));
    for (std::size_t field : {kCenCsize, kCenUsize, kCenOffset}) {
        b = img.bytes;
        put32(b, img.central[0] + field, 0xFFFFFFFF);
        EXPECT_STATUS(Status::Unsupported, expandStatus(b)) << field;
    }
    const std::string zip64Extra = std::string("\x01\x00\x10\x00", 4) + std::string(16, '\0');
    Item central = file("a.txt", "abc");
    central.centralExtra = zip64Extra;
    EXPECT_STATUS(Status::Unsupported, expandStatus(buildZip({central}).bytes));
    Item local = file("a.txt", "abc");
    local.localExtra = zip64Extra;
    EXPECT_STATUS(Status::Unsupported, expandStatus(buildZip({local}).bytes));
    // A ZIP64 end locator right before the end record.
    Image bare = buildZip({});
    Bytes locator;
    add32(locator, 0x07064b50);
    locator.resize(20, 0);
    locator.insert(locator.end(), bare.bytes.begin(), bare.bytes.end());
    put32(locator, 20 + kEndCdOffset, 20);
    EXPECT_STATUS(Status::Unsupported, expandStatus(locator));
}

TEST(UnzipCore, OtherExtraFieldsAccepted) {
    Item a = file("a.txt", "abc");
    a.localExtra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);  // timestamp
    a.centralExtra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    EXPECT_STATUS(Status::Ok, expandStatus(buildZip({a}).bytes));
}

TEST(UnzipCore, MultiDiskRefused) {
    Image img = buildZip({file("a.txt", "abc")});
    Bytes b = img.bytes;
    put16(b, img.end + kEndDisk, 1);
    EXPECT_STATUS(Status::Unsupported, expandStatus(b));
    b = img.bytes;
    put16(b, img.central[0] + kCenDisk, 2);
    EXPECT_STATUS(Status::Unsupported, expandStatus(b));
}

TEST(UnzipCore, NotZip) {
    EXPECT_STATUS(Status::NotZip, expandStatus({}));
    EXPECT_STATUS(Status::NotZip, expandStatus(Bytes(21, 0)));
    const std::string noise = makeNoise(100000);
    EXPECT_STATUS(Status::NotZip, expandStatus(Bytes(noise.begin(), noise.end())));
    Image img = buildZip({file("a", "b")});
    img.bytes.push_back(0);  // trailing byte not covered by the comment length
    EXPECT_STATUS(Status::NotZip, expandStatus(img.bytes));
}

TEST(UnzipCore, CompressionBombStopsAtDeclaredSize) {
    const std::string huge(16u << 20, '\0');
    Item bomb = file("bomb.bin", "");
    bomb.payload = deflateRaw(huge, 9);
    bomb.uncompressedSize = 4096;
    bomb.crc = crcOf(huge.substr(0, 4096));
    ASSERT_LT(bomb.payload->size(), 64u * 1024);
    MemorySink sink;
    unz::Result r = expandChecked(buildZip({bomb}).bytes, sink);
    EXPECT_STATUS(Status::SizeMismatch, r.status);
    EXPECT_LE(sink.totalBytes(), 4096u);
    EXPECT_TRUE(sink.files.empty());
}

TEST(UnzipCore, CompressionBombDeclaringHugeSize) {
    const std::string big(4u << 20, '\0');
    Item bomb = file("bomb.bin", "");
    bomb.payload = deflateRaw(big, 9);
    bomb.uncompressedSize = 0xFFFFFFF0u;
    MemorySink sink;
    unz::Result r = expandChecked(buildZip({bomb}).bytes, sink);
    EXPECT_STATUS(Status::LimitExceeded, r.status);
    EXPECT_EQ(0u, sink.totalBytes());

    // Several entries each under the cap but over it together.
    Item half = bomb;
    half.uncompressedSize = 0x60000000u;  // 1.5 GiB
    Item other = half;
    other.name = "bomb2.bin";
    MemorySink sink2;
    EXPECT_STATUS(Status::LimitExceeded, expandChecked(buildZip({half, other}).bytes, sink2).status);
    EXPECT_EQ(0u, sink2.totalBytes());

    // A lowered cap applies to honest archives too.
    unz::Limits small;
    small.maxTotalOutput = 1u << 20;
    MemorySink sink3;
    EXPECT_STATUS(Status::LimitExceeded,
                  expandChecked(buildZip({file("big", big)}).bytes, sink3, small).status);
    EXPECT_EQ(0u, sink3.totalBytes());
}

TEST(UnzipCore, EntryAndFolderLimits) {
    unz::Limits limits;
    limits.maxEntries = 3;
    MemorySink sink;
    EXPECT_STATUS(Status::LimitExceeded,
                  expandChecked(buildZip({file("a", ""), file("b", ""), file("c", ""),
                                          file("d", "")}).bytes,
                                sink, limits).status);
    limits = unz::Limits{};
    limits.maxDirectories = 2;
    MemorySink sink2;
    EXPECT_STATUS(Status::LimitExceeded,
                  expandChecked(buildZip({file("a/b/c/d", "")}).bytes, sink2, limits).status);
    EXPECT_TRUE(sink2.dirs.empty());
}

TEST(UnzipCore, CollidingNames) {
    EXPECT_STATUS(Status::DuplicateName,
                  expandStatus(buildZip({file("a.txt", "1"), file("a.txt", "2")}).bytes));
    EXPECT_STATUS(Status::DuplicateName,
                  expandStatus(buildZip({file("a.txt", "1"), file("A.TXT", "2")}).bytes));
    EXPECT_STATUS(Status::DuplicateName,
                  expandStatus(buildZip({file("a", "1"), file("a/b", "2")}).bytes));
    EXPECT_STATUS(Status::DuplicateName,
                  expandStatus(buildZip({file("a/b", "2"), file("a", "1")}).bytes));
    EXPECT_STATUS(Status::DuplicateName,
                  expandStatus(buildZip({folder("a/"), file("a", "1")}).bytes));
    EXPECT_STATUS(Status::DuplicateName,
                  expandStatus(buildZip({file("Dir/x", "1"), file("dir/y", "2")}).bytes));
}

TEST(UnzipCore, FolderEntriesCarryNoData) {
    Item d = folder("d/");
    d.data = "x";
    d.method = kStored;
    EXPECT_STATUS(Status::SizeMismatch, expandStatus(buildZip({d}).bytes));
}

namespace {

// Refuses one chosen operation, to check clean stops on output errors.
class FailingSink : public MemorySink {
public:
    enum class Fail { Directory, Create, Write, Finish };
    explicit FailingSink(Fail what) : what_(what) {}
    bool createDirectory(const std::string& p) override {
        return what_ != Fail::Directory && MemorySink::createDirectory(p);
    }
    bool createFile(const unz::FileInfo& i) override {
        return what_ != Fail::Create && MemorySink::createFile(i);
    }
    bool write(const std::uint8_t* d, std::size_t n) override {
        return what_ != Fail::Write && MemorySink::write(d, n);
    }
    bool finishFile() override {
        if (what_ == Fail::Finish) {
            abortFile();
            return false;
        }
        return MemorySink::finishFile();
    }

private:
    Fail what_;
};

}  // namespace

TEST(UnzipCore, SinkFailuresStopCleanly) {
    Image img = buildZip({folder("d/"), file("d/a.txt", makeText(100))});
    for (auto what : {FailingSink::Fail::Directory, FailingSink::Fail::Create,
                      FailingSink::Fail::Write, FailingSink::Fail::Finish}) {
        FailingSink sink(what);
        unz::Result r = expandChecked(img.bytes, sink);
        EXPECT_STATUS(Status::SinkFailed, r.status);
        EXPECT_TRUE(sink.files.empty());
    }
}

namespace {

class ShortReadSource : public unz::Source {
public:
    ShortReadSource(const Bytes& b, std::uint64_t failFrom, std::uint64_t failTo)
        : bytes_(b), failFrom_(failFrom), failTo_(failTo) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t len) override {
        if (offset + len > failFrom_ && offset < failTo_) {
            return false;
        }
        std::memcpy(buffer, bytes_.data() + offset, len);
        return true;
    }

private:
    const Bytes& bytes_;
    std::uint64_t failFrom_;
    std::uint64_t failTo_;
};

}  // namespace

TEST(UnzipCore, ReadErrorsAreReported) {
    Image img = buildZip({file("a.txt", makeText(1000))});
    ShortReadSource source(img.bytes, img.local[0] + 40, img.central[0]);
    MemorySink sink;
    unz::Result r = unz::expandArchive(source, sink);
    EXPECT_STATUS(Status::ReadFailed, r.status);
    EXPECT_TRUE(sink.files.empty());
}
