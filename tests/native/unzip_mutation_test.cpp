// Bounded mutation run: a fixed seed, a few thousand damaged variants of a
// few seed archives. It asserts only that every expansion returns without
// crashing (ASan/UBSan watch the rest), never writes past a declared size
// and stays under the sink's byte cap.
#include "unzip_memory_sink.h"
#include "unzip_zip_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <map>

using namespace unztest;

namespace {

// xorshift64*: fully deterministic across standard libraries.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed ? seed : 1) {}
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t state_;
};

struct Seed {
    Image image;
    std::vector<std::size_t> fieldOffsets;  // header fields worth overwriting
};

Seed makeSeed(const std::vector<Item>& items, const std::string& comment = "") {
    Seed seed{buildZip(items, comment), {}};
    for (std::size_t at : seed.image.local) {
        for (std::size_t f : {kLocFlags, kLocMethod, kLocCrc, kLocCsize, kLocUsize, kLocNameLen,
                              kLocExtraLen}) {
            seed.fieldOffsets.push_back(at + f);
        }
    }
    for (std::size_t at : seed.image.central) {
        for (std::size_t f : {kCenFlags, kCenMethod, kCenCrc, kCenCsize, kCenUsize, kCenNameLen,
                              kCenExtraLen, kCenDisk, kCenOffset}) {
            seed.fieldOffsets.push_back(at + f);
        }
    }
    for (std::size_t f : {kEndDisk, kEndCdDisk, kEndDiskEntries, kEndEntries, kEndCdSize,
                          kEndCdOffset, kEndCommentLen}) {
        seed.fieldOffsets.push_back(seed.image.end + f);
    }
    return seed;
}

std::vector<Seed> makeSeeds() {
    const Item withDescriptor = described(file("d/desc.txt", makeText(2000, 5)));
    const Item bare = described(file("bare.bin", makeNoise(300, 9), kStored), false);
    std::vector<Seed> seeds;
    seeds.push_back(makeSeed({file("a.txt", makeText(3000)), folder("f/"),
                              file("f/s.bin", makeNoise(200), kStored),
                              file("f/g/z.bin", std::string(20000, '\0'))}));
    seeds.push_back(makeSeed({withDescriptor, bare, folder("e/")}));
    seeds.push_back(makeSeed({file("one", "1", kStored), file("two", makeText(100, 2))},
                             "comment"));
    // Several inflate chunks, so damage can land mid-stream.
    seeds.push_back(makeSeed({file("big.txt", makeText(150000, 4)), file("tail", "t")}));
    return seeds;
}

const std::uint32_t kBoundaryValues[] = {0,          1,          2,          0x7F,
                                         0x80,       0xFF,       0x100,      0x7FFF,
                                         0x8000,     0xFFFF,     0x10000,    0x7FFFFFFF,
                                         0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

void mutate(Bytes& b, const Seed& seed, Rng& rng) {
    // Weighted so that most mutants keep an end record and reach deeper checks.
    static const int kKindByRoll[20] = {0, 0, 0, 0, 1, 1, 1, 2, 3, 3,
                                        4, 4, 5, 5, 5, 5, 5, 5, 5, 5};
    switch (kKindByRoll[rng.below(20)]) {
    case 0:  // flip a bit
        if (!b.empty()) {
            b[rng.below(b.size())] ^= static_cast<std::uint8_t>(1u << rng.below(8));
        }
        break;
    case 1:  // random byte
        if (!b.empty()) {
            b[rng.below(b.size())] = static_cast<std::uint8_t>(rng.next());
        }
        break;
    case 2:  // truncate
        b.resize(rng.below(b.size() + 1));
        break;
    case 3: {  // insert bytes
        const std::size_t at = rng.below(b.size() + 1);
        const std::size_t n = 1 + rng.below(16);
        Bytes extra(n);
        for (auto& x : extra) {
            x = static_cast<std::uint8_t>(rng.next());
        }
        b.insert(b.begin() + static_cast<long>(at), extra.begin(), extra.end());
        break;
    }
    case 4: {  // delete bytes
        if (b.empty()) {
            break;
        }
        const std::size_t at = rng.below(b.size());
        const std::size_t n = 1 + rng.below(std::min<std::size_t>(16, b.size() - at));
        b.erase(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
        break;
    }
    default: {  // header field gets a boundary value or a near-miss of itself
        const std::size_t at = seed.fieldOffsets[rng.below(seed.fieldOffsets.size())];
        if (at + 4 > b.size()) {
            break;
        }
        std::uint32_t value = kBoundaryValues[rng.below(std::size(kBoundaryValues))];
        if (rng.below(3) == 0) {
            const std::uint32_t old = static_cast<std::uint32_t>(b[at]) | (b[at + 1] << 8);
            value = old + static_cast<std::uint32_t>(rng.below(5)) - 2;
        }
        if (rng.below(2) == 0) {
            put16(b, at, static_cast<std::uint16_t>(value));
        } else {
            put32(b, at, value);
        }
        break;
    }
    }
}

}  // namespace

TEST(UnzipMutation, ThousandsOfDamagedArchivesEndCleanly) {
    constexpr std::uint64_t kSeed = 0x5EED2026u;
    constexpr int kMutantsPerSeed = 3000;
    constexpr std::size_t kSinkCap = 1u << 20;
    unz::Limits limits;
    limits.maxTotalOutput = 4u << 20;

    const std::vector<Seed> seeds = makeSeeds();
    Rng rng(kSeed);
    std::map<std::string, int> outcomes;
    const auto started = std::chrono::steady_clock::now();
    for (const Seed& seed : seeds) {
        {
            MemorySink sink(kSinkCap);
            ASSERT_EQ(unz::Status::Ok, expandBytes(seed.image.bytes, sink, limits).status);
        }
        for (int i = 0; i < kMutantsPerSeed; ++i) {
            Bytes b = seed.image.bytes;
            const std::size_t rounds = 1 + rng.below(4);
            for (std::size_t k = 0; k < rounds; ++k) {
                mutate(b, seed, rng);
            }
            MemorySink sink(kSinkCap);
            const unz::Result r = expandBytes(b, sink, limits);
            ASSERT_FALSE(sink.wroteBeyondDeclared) << "mutant " << i;
            ASSERT_FALSE(sink.capHit) << "mutant " << i;
            ASSERT_FALSE(sink.fileOpen()) << "mutant " << i;
            ASSERT_LE(sink.totalBytes(), kSinkCap);
            ++outcomes[unz::statusName(r.status)];
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string summary;
    for (const auto& o : outcomes) {
        summary += "  " + o.first + ": " + std::to_string(o.second) + "\n";
    }
    std::printf("%d mutants in %.2f s\n%s", kMutantsPerSeed * static_cast<int>(seeds.size()),
                seconds, summary.c_str());
    // Damage must be caught most of the time; a few mutants stay valid.
    EXPECT_GT(outcomes.size(), 5u);
}
