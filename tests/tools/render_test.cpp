// How a song's render ends: after its passes the song is stopped and its notes die away, never
// starting over; a render of set seconds fades out; neither ends on a click.
#include <gtest/gtest.h>

#include <cmath>

#include "examples/demo_song.hpp"
#include "rombuild/compiled_image.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tools/offline_render.hpp"

namespace qvx {
namespace {

std::vector<std::int16_t> rendered(const Song& song, const SongLength& length) {
    std::vector<std::int16_t> out;
    const Result r = renderSong(song, length, qvxsnd::FmModel::Documented, {}, out);
    EXPECT_TRUE(r) << r.message();
    EXPECT_FALSE(out.empty());
    return out;
}

TEST(SongRender, PassesEndWhenTheReleasedNotesDieAway) {
    const Song song = examples::makeDemoSong();
    const double pass = double(songTicks(song)) * tickSeconds();
    const std::vector<std::int16_t> one = rendered(song, {1, 0});
    const double seconds = double(one.size() / 2) / kRenderRate;
    // The driver's start-up, one pass, then at most the release time.
    EXPECT_GT(seconds, pass + 0.1);
    EXPECT_LE(seconds, pass + 0.13 + kReleaseSeconds);
    EXPECT_EQ(one[one.size() - 1], 0);
    EXPECT_EQ(one[one.size() - 2], 0);

    // After the stop only the release sounds: every 100 ms is quieter than the one before it,
    // where a song starting over would come back up.
    const std::vector<double> left = testing::leftChannel(one);
    const auto stop = static_cast<std::size_t>((pass + 0.15) * kRenderRate);
    const std::vector<double> tail =
        testing::windowLevels(left, std::min(stop, left.size()), left.size(), kRenderRate / 10);
    for (std::size_t i = 1; i < tail.size(); ++i)
        EXPECT_LT(tail[i], tail[i - 1] + 0.5) << "100 ms window " << i << " after the stop";

    // Two passes are one pass longer.
    const std::vector<std::int16_t> two = rendered(song, {2, 0});
    EXPECT_NEAR(double(two.size() - one.size()) / 2 / kRenderRate, pass, 0.05);
}

TEST(SongRender, SetSecondsFadeOut) {
    const std::vector<std::int16_t> out = rendered(examples::makeDemoSong(), {0, 1.5});
    ASSERT_EQ(out.size(), std::size_t(1.5 * kRenderRate) * 2);
    EXPECT_EQ(out[out.size() - 1], 0);
    const std::vector<double> left = testing::leftChannel(out);
    const std::size_t fade = std::size_t(kFadeOutSeconds * kRenderRate);
    const double before =
        testing::windowLevels(left, left.size() - 2 * fade, left.size() - fade, fade)[0];
    const double last =
        testing::windowLevels(left, left.size() - fade / 4, left.size(), fade / 4)[0];
    EXPECT_LT(last, before - 10);
}

// A whole-chip song renders with its drums: a kit's sample, a 1 kHz tone burst, sounds on the
// row its note is on, and not once its track is muted.
TEST(SongRender, WholeChipSongsPlayTheirKits) {
    Song song;
    song.resetWholeChip();
    std::vector<std::int16_t> burst(4000);
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] =
            static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 1000 * double(i) / kAdpcmARate));
    song.instruments[1].kind = InstrumentKind::AdpcmAKit;
    song.instruments[1].kit = singleSampleKit(makeSample("burst", burst));
    song.patterns[0].cell(5, 16) = Cell{0, 3, 1, kNone, kNone};
    const auto level = [&](const Song& s) {
        const std::vector<double> left = testing::leftChannel(rendered(s, {0, 2.5}));
        // Row 16 at speed 6 comes 96 ms a row after the start-up's 100 ms.
        const auto at =
            static_cast<std::size_t>((0.1 + 16 * 6 * tickSeconds() + 0.02) * kRenderRate);
        return testing::windowLevels(left, at, at + kRenderRate / 10, kRenderRate / 10)[0];
    };
    EXPECT_GT(level(song), -40.0);
    song.toggleTrack(5);
    EXPECT_LT(level(song), -80.0);
}

}  // namespace
}  // namespace qvx
