// How a song's render ends: after its passes the song is stopped and its notes die away, never
// starting over; a render of set seconds fades out; neither ends on a click.
#include <gtest/gtest.h>

#include <cmath>

#include "examples/demo_song.hpp"
#include "rombuild/compiled_image.hpp"
#include "soundlib/engine/engine.hpp"
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
    const int drum = wholeChipTrack(TrackKind::AdpcmA, 1);
    song.patterns[0].cell(drum, 16) = Cell{0, 3, 1, kNone, kNone};
    const auto level = [&](const Song& s) {
        const std::vector<double> left = testing::leftChannel(rendered(s, {0, 2.5}));
        // Row 16 at speed 6 comes 96 ms a row after the start-up's 100 ms.
        const auto at =
            static_cast<std::size_t>((0.1 + 16 * 6 * tickSeconds() + 0.02) * kRenderRate);
        return testing::windowLevels(left, at, at + kRenderRate / 10, kRenderRate / 10)[0];
    };
    EXPECT_GT(level(song), -40.0);
    song.toggleTrack(drum);
    EXPECT_LT(level(song), -80.0);
}

// The first note of a whole-chip song started by its command sounds the same whichever moment of
// the 16 ms tick the command lands in: the driver writes the note's frequency before its key-on,
// so it never starts at the pitch the channel had. Sixteen slots a millisecond apart, on the
// board as the chip ticks it, in the chip-accurate synthesis.
TEST(SongRender, FirstNoteSoundsTheSameInEverySlot) {
    Song song = examples::makeDemoSong();
    song.convertToWholeChip();
    song.order = {0};
    song.patterns[0] = Pattern{};
    song.patterns[0].cell(1, 0) = Cell{9, 4, 2, kNone, kNone};  // A-4 on the brass lead
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildSongImage(song, *buffer);
    ASSERT_TRUE(image) << image.message;
    constexpr std::size_t kMs = kRenderRate / 1000;
    std::vector<std::vector<double>> notes;
    for (int slot = 0; slot < 16; ++slot) {
        qvxsnd::Engine engine(kRenderRate, qvxsnd::Engine::TickSource::Chip,
                              qvxsnd::FmModel::Accurate);
        engine.setAdpcmRom(image.sampleRom);
        engine.sendData({buffer->bytes.data(), image.length});
        std::vector<std::int16_t> out(2 * kMs * 400);
        engine.render(out.data(), (150 + slot) * kMs);  // past the start-up, into the slot
        engine.sendCommand(0x81);
        engine.render(out.data(), 400 * kMs);
        const std::vector<double> left = testing::leftChannel(out);
        const auto onset =
            std::find_if(left.begin(), left.end(), [](double v) { return std::abs(v) > 0.001; });
        ASSERT_LT(onset - left.begin(), static_cast<std::ptrdiff_t>(200 * kMs)) << slot;
        notes.emplace_back(onset - kMs / 2, onset + static_cast<std::ptrdiff_t>(150 * kMs));
    }
    // Against the first slot, at the best lag within a quarter of a millisecond: the output's
    // samples fall differently on the chip's from slot to slot, and the quiet first samples of
    // the attack cross the onset's threshold a few samples apart.
    constexpr std::size_t kLags = kMs / 4;
    for (std::size_t slot = 1; slot < notes.size(); ++slot) {
        double best = 0, levelDb = 0;
        for (std::size_t lag = 0; lag <= 2 * kLags; ++lag) {
            double dot = 0, a = 0, b = 0;
            for (std::size_t i = 2 * kLags; i + 2 * kLags < notes[0].size(); ++i) {
                const double x = notes[0][i], y = notes[slot][i + lag - kLags];
                dot += x * y, a += x * x, b += y * y;
            }
            if (dot / std::sqrt(a * b) > best)
                best = dot / std::sqrt(a * b), levelDb = 10 * std::log10(b / a);
        }
        EXPECT_GT(best, 0.999) << "slot " << slot;
        EXPECT_NEAR(levelDb, 0.0, 0.05) << "slot " << slot;
    }
}

}  // namespace
}  // namespace qvx
