// Writes the fuzz target's seed corpus: small valid archives (stored,
// deflated, folders, data descriptors) and the hostile cases the DLL tests
// refuse. Run once; its output is kept in seeds/ beside this file.
#include "unzip_zip_writer.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace unztest;

namespace {

std::vector<Item> base() {
    const Item bare = described(file("d/bare.bin", makeNoise(200, 9), kStored), false);
    return {folder("d/"), file("a.txt", "stored text", kStored), described(file("d/desc.txt", makeText(1500, 5))),
            file("d/e/zeros.dat", std::string(3000, '\0')), bare, folder("d/empty/")};
}

Bytes withBase(const Item& bad) {
    std::vector<Item> items = base();
    items.insert(items.begin() + 2, bad);
    return buildZip(items).bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    std::vector<std::pair<std::string, Bytes>> seeds;
    seeds.push_back({"valid", buildZip(base()).bytes});
    seeds.push_back({"valid-comment", buildZip({file("one", "1", kStored)}, "comment").bytes});
    seeds.push_back({"empty-archive", buildZip({}).bytes});
    int n = 0;
    for (const char* name : {"../evil.txt", "d/../../evil.txt", "..\\evil.txt", "/evil.txt",
                             "\\evil.txt", "C:evil.txt", "C:/evil.txt", "d/CON",
                             "d/a.txt:stream", "d/trailing.", "//server/evil"}) {
        seeds.push_back({"name-" + std::to_string(++n), withBase(file(name, "evil"))});
    }
    seeds.push_back({"folder-escape", withBase(folder("../evil/"))});
    // Names in other scripts: flagged UTF-8 ("Профиль Łukasz 表/файл.txt") and code page 437
    // ("Café/ÄÖÜ.txt"), and UTF-8 that a lenient decoder would read as "../evil.txt".
    Bytes names = buildZip(
        {utf8Named(file("\xd0\x9f\xd1\x80\xd0\xbe\xd1\x84\xd0\xb8\xd0\xbb\xd1\x8c \xc5\x81ukasz "
                        "\xe8\xa1\xa8/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt", "ru")),
         file("Caf\x82/\x8e\x99\x9a.txt", "cp437", kStored)}).bytes;
    seeds.push_back({"names-other-scripts", names});
    seeds.push_back({"name-utf8-overlong", withBase(utf8Named(file("..\xc0\xaf" "evil.txt", "evil")))});
    seeds.push_back({"duplicate", withBase(file("D/A.TXT", "dup"))});

    Item badCrc = file("d/bad-crc.txt", makeText(300));
    badCrc.crc = 0xDEADBEEF;
    seeds.push_back({"crc-mismatch", withBase(badCrc)});
    Item liar = file("d/liar.txt", makeText(5000));
    liar.uncompressedSize = 1000;
    seeds.push_back({"size-lies", withBase(liar)});
    Item bomb = file("d/bomb.bin", "");
    bomb.payload = deflateRaw(std::string(1u << 20, '\0'), 9);
    bomb.uncompressedSize = 4096;
    seeds.push_back({"bomb", withBase(bomb)});
    Item huge = bomb;
    huge.uncompressedSize = 0xF0000000u;
    seeds.push_back({"declares-huge", withBase(huge)});
    Item unknown = file("d/method.bin", "data");
    unknown.method = 12;
    unknown.payload = "data";
    seeds.push_back({"unknown-method", withBase(unknown)});
    Item encrypted = file("d/secret.txt", "secret");
    encrypted.extraFlags = 1;
    seeds.push_back({"encrypted", withBase(encrypted)});

    const Image img = buildZip(base());
    seeds.push_back({"truncated-end", Bytes(img.bytes.begin(), img.bytes.end() - 1)});
    seeds.push_back({"truncated-half",
                     Bytes(img.bytes.begin(), img.bytes.begin() + img.bytes.size() / 2)});
    Bytes cut = img.bytes;
    cut.erase(cut.begin() + static_cast<long>(img.local[2] + 40),
              cut.begin() + static_cast<long>(img.local[2] + 400));
    seeds.push_back({"data-removed", cut});
    Bytes offsets = img.bytes;
    put32(offsets, img.central[3] + kCenOffset, static_cast<std::uint32_t>(img.local[3] + 1));
    seeds.push_back({"wrong-offset", offsets});

    for (const auto& seed : seeds) {
        const std::string path = std::string(argv[1]) + "/" + seed.first + ".zip";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr ||
            std::fwrite(seed.second.data(), 1, seed.second.size(), f) != seed.second.size() ||
            std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
