// VGM files of songs: their header, the writes read back, and a loop point that lies exactly
// where the order list comes round.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "examples/demo_song.hpp"
#include "tools/vgm_export.hpp"

namespace qvx {
namespace {

VgmStream built(const Song& song, const VgmOptions& options, VgmInfo* info = nullptr) {
    std::vector<std::uint8_t> bytes;
    const Result r = buildVgm(song, options, bytes, info);
    EXPECT_TRUE(r) << r.message();
    std::optional<VgmStream> stream = readVgm(bytes);
    EXPECT_TRUE(stream);
    return stream.value_or(VgmStream{});
}

TEST(Vgm, HeaderWritesAndTheLoopOfTheExampleSong) {
    const Song song = examples::makeDemoSong();
    VgmInfo info;
    const VgmStream two = built(song, {std::nullopt, 2, "demo"}, &info);
    EXPECT_EQ(two.ym2610Clock, 8'000'000u);
    EXPECT_EQ(two.title, "demo");
    EXPECT_EQ(two.samples, info.samples);
    EXPECT_EQ(two.writes.size(), info.writes);
    ASSERT_TRUE(two.loopStart);
    EXPECT_EQ(two.loopStart, info.loopStart);
    // The first pass ends where the second starts: about half of two passes.
    EXPECT_NEAR(static_cast<double>(*two.loopStart) / static_cast<double>(two.samples), 0.5, 0.02);

    // A third pass repeats the second write for write, the loop's length later: the loop point
    // is exactly on the pass boundary, and the looped part plays on as the song does.
    const VgmStream three = built(song, {std::nullopt, 3, "demo"});
    const std::uint64_t loop = two.samples - *two.loopStart;
    std::vector<VgmWrite> second, third;
    for (const VgmWrite& w : three.writes) {
        if (w.sample >= *two.loopStart && w.sample < two.samples) second.push_back(w);
        if (w.sample >= two.samples) third.push_back({w.sample - loop, w.port, w.address, w.value});
    }
    // Ticks are 705.6 samples apart, so a pass's writes may land a sample earlier or later.
    ASSERT_GT(second.size(), 1000u);
    ASSERT_EQ(third.size(), second.size());
    for (std::size_t i = 0; i < second.size(); ++i) {
        EXPECT_EQ((std::tuple{third[i].port, third[i].address, third[i].value}),
                  (std::tuple{second[i].port, second[i].address, second[i].value}))
            << i;
        EXPECT_LE(std::max(third[i].sample, second[i].sample) -
                      std::min(third[i].sample, second[i].sample),
                  1u)
            << i;
    }
    EXPECT_EQ(three.samples, two.samples + loop);
}

TEST(Vgm, FixedLengthsAndRefusals) {
    const VgmStream fixed = built(Song{}, {2.5, 2, ""});
    EXPECT_EQ(fixed.samples, 110250u);
    EXPECT_FALSE(fixed.loopStart);
    EXPECT_FALSE(fixed.writes.empty());

    std::vector<std::uint8_t> bytes = {1, 2};
    Song broken;
    broken.order = {5};
    EXPECT_FALSE(buildVgm(broken, {}, bytes));
    EXPECT_FALSE(buildVgm(Song{}, {0.0, 2, ""}, bytes));
    EXPECT_FALSE(buildVgm(Song{}, {std::nullopt, 0, ""}, bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_FALSE(readVgm(std::vector<std::uint8_t>{'V', 'g', 'm'}));
}

}  // namespace
}  // namespace qvx
