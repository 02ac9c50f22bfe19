// The chip's pitch values for notes on the SSG and ADPCM-B: the periods the README documents, the
// pitch error it states, and the ends of each value's range; how a looped ADPCM-B sample is
// padded to the chip's blocks, and when its loop would click; how an SSG voice's volume sequence
// steps.
#include <gtest/gtest.h>

#include <cmath>

#include "song/chip_part_preview.hpp"
#include "song/chip_pitch.hpp"
#include "song/pitched_sample.hpp"
#include "song/ssg_sharing.hpp"
#include "song/ssg_voice.hpp"
#include "tests/support/recording_preview.hpp"

namespace qvx {
namespace {

TEST(ChipPitch, SsgTonePeriodsAreTheNearestAtEachOctave) {
    // C and B of octaves 1 to 7, and the worst error of the octave's twelve notes in cents.
    struct Octave {
        int c, b;
        double worstCents;
    };
    const Octave octaves[] = {{3822, 2025, 0.28}, {1911, 1012, 0.67}, {956, 506, 1.01},
                              {478, 253, 1.40},   {239, 127, 6.17},   {119, 63, 9.47},
                              {60, 32, 24.70}};
    for (int octave = 1; octave <= 7; ++octave) {
        SCOPED_TRACE(octave);
        const Octave& expected = octaves[octave - 1];
        EXPECT_EQ(ssgTonePeriod(semitone(0, octave)), expected.c);
        EXPECT_EQ(ssgTonePeriod(semitone(11, octave)), expected.b);
        double worst = 0;
        for (int note = 0; note < 12; ++note) {
            const int s = semitone(note, octave);
            const int period = ssgTonePeriod(s);
            const double cents = centsBetween(ssgToneHz(period), semitoneHz(s));
            // No other period comes nearer.
            for (const int other : {period - 1, period + 1})
                EXPECT_GE(std::abs(centsBetween(ssgToneHz(other), semitoneHz(s))), std::abs(cents));
            worst = std::max(worst, std::abs(cents));
        }
        EXPECT_NEAR(worst, expected.worstCents, 0.005);
    }
    EXPECT_EQ(ssgTonePeriod(semitone(0, 0) - 24), kMaxSsgTonePeriod);  // below the chip's lowest
    EXPECT_EQ(ssgTonePeriod(semitone(0, 14)), 1);
}

TEST(ChipPitch, EnvelopeBuzzAndAdpcmBRates) {
    // The envelope as a tone: a sawtooth repeats every 32 steps, a triangle every 64.
    EXPECT_EQ(ssgEnvelopePeriod(semitone(0, 1), 0x08), 239);
    EXPECT_EQ(ssgEnvelopePeriod(semitone(0, 1), 0x0A), 119);
    EXPECT_EQ(ssgEnvelopePeriod(semitone(0, 4), 0x0C), 30);
    // A 22,050 Hz sample based on C-4: its own rate there, twice it an octave up, the chip's
    // top rate beyond that, an eighth of it three octaves down.
    for (const auto& [octave, deltaN] : {std::pair{4, 26011}, {5, 52022}, {6, 65535}, {1, 3251}})
        EXPECT_EQ(adpcmBDeltaN(22050, semitone(0, 4), semitone(0, octave)), deltaN) << octave;
    EXPECT_NEAR(adpcmBRate(26011), 22050, 22050 * 0.5 / 26011);
}

std::vector<std::int16_t> sine(std::size_t frames, double period, double amplitude) {
    std::vector<std::int16_t> pcm(frames);
    for (std::size_t i = 0; i < frames; ++i)
        pcm[i] = std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * double(i) / period)));
    return pcm;
}

TEST(PitchedSample, LoopsArePaddedWithTheirStartAndClicksAreFound) {
    std::vector<std::int16_t> ramp(1000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = std::int16_t(i);
    const std::vector<std::int16_t> loop = loopFrames(ramp);
    ASSERT_EQ(loop.size(), 1024u);
    EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), loop.begin()));
    EXPECT_TRUE(std::equal(loop.begin() + 1000, loop.end(), ramp.begin()));
    EXPECT_EQ(loopFrameCount(512), 512u);
    EXPECT_EQ(loopFrameCount(513), 1024u);
    const std::vector<std::int16_t> shortOne = loopFrames({1, 2, 3});
    EXPECT_EQ(shortOne.size(), 512u);
    EXPECT_EQ(shortOne[510], 1);  // over and over
    EXPECT_EQ(shortOne[511], 2);

    // Whole cycles that fill the blocks loop smoothly; whole cycles that stop short of them
    // turn back smoothly at the sample's end but not where the padding ends; quiet or constant
    // sound never clicks; a sample cut mid-cycle clicks.
    EXPECT_FALSE(loopClicks(sine(1024, 64, 20000)));
    EXPECT_TRUE(loopClicks(sine(1000, 62.5, 20000)));
    EXPECT_FALSE(loopClicks(sine(1000, 62.5, 500)));
    EXPECT_FALSE(loopClicks(std::vector<std::int16_t>(700, 9000)));
    EXPECT_TRUE(loopClicks(sine(1024, 100, 20000)));
    EXPECT_FALSE(loopClicks({}));

    PitchedSample piano;
    piano.rate = 32000;
    EXPECT_EQ(pitchedDeltaN(piano, semitone(0, 4)),
              adpcmBDeltaN(32000, semitone(0, 4), semitone(0, 4)));
    EXPECT_TRUE(pitchedNoteReachable(piano, semitone(7, 4)));    // 47,953 Hz
    EXPECT_FALSE(pitchedNoteReachable(piano, semitone(10, 4)));  // 57,017 Hz
}

// One step a tick from the note on; at the sustain's end back to the loop step; at key-off on
// from the release step to the end, which then holds; each step scales the voice's volume.
TEST(SsgVoice, TheVolumeSequenceStepsLoopsAndReleases) {
    SsgVoice voice;
    voice.volume = 10;
    voice.sequence = {15, 12, 9, 6, 3, 15, 0};
    voice.loopStep = 2;
    voice.releaseStep = 5;
    ASSERT_EQ(ssgVoiceProblem(voice), "");
    SsgSequencer note(voice);
    std::vector<int> levels{note.start()};
    for (int t = 0; t < 7; ++t)
        levels.push_back(note.tick());
    levels.push_back(note.release());
    for (int t = 0; t < 3; ++t)
        levels.push_back(note.tick());
    // 15 12 9 6 3 | 9 6 3 9 6 3 ... of 10: then key-off at 15, then 0 held.
    EXPECT_EQ(levels, (std::vector<int>{10, 8, 6, 4, 2, 6, 4, 2, 10, 0, 0, 0}));

    // Without a loop the sustain's last step holds; without a release step key-off silences;
    // without a sequence the volume holds.
    voice.loopStep = kNoStep;
    SsgSequencer held(voice);
    held.start();
    for (int t = 0; t < 9; ++t)
        held.tick();
    EXPECT_EQ(held.tick(), 2);
    voice.releaseStep = kNoStep;
    EXPECT_EQ(held.release(), 0);
    voice.sequence.clear();
    SsgSequencer plain(voice);
    EXPECT_EQ(plain.start(), 10);
    EXPECT_EQ(plain.tick(), 10);
    EXPECT_EQ(plain.release(), 0);

    // Voices the driver could not play say why.
    const auto problem = [](auto change) {
        SsgVoice v;
        v.sequence = {15, 8, 0};
        change(v);
        return ssgVoiceProblem(v);
    };
    EXPECT_EQ(problem([](SsgVoice& v) { v.loopStep = 3; }),
              "its loop step is outside the volume sequence");
    EXPECT_EQ(problem([](SsgVoice& v) { v.releaseStep = 0; }),
              "its release step leaves no step to hold the note");
    EXPECT_EQ(problem([](SsgVoice& v) { v.loopStep = 2, v.releaseStep = 1; }),
              "its loop step is not before its release step");
    EXPECT_EQ(problem([](SsgVoice& v) { v.sequence.assign(33, 1); }),
              "its volume sequence has more than 32 steps");
    EXPECT_EQ(problem([](SsgVoice& v) { v.sequence[1] = 16; }),
              "its volume sequence has a step above 15");
    EXPECT_EQ(problem([](SsgVoice& v) { v.noisePeriod = 32; }), "its noise period is above 31");
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

// An SSG note's preview writes what the driver writes for it, on the track's channel; its
// sequence steps at each tick (only a change is written) and releases at key-off; an ADPCM-B
// note plays at its delta-N and stops at key-off.
TEST(ChipPartPreview, NotesWriteWhatTheDriverWrites) {
    testing::RecordingPreview target;
    ChipPartPreview preview;
    preview.setTarget(&target);
    SsgVoice voice{SsgMix::ToneAndNoise, 9, 15, true, 0x0E, 0, true, {15, 15, 0}, kNoStep, 2};
    preview.ssgNote(voice, 1, semitone(9, 4));  // A-4 on SSG B: period 284
    const int buzz = ssgEnvelopePeriod(semitone(9, 4), 0x0E);
    const std::vector<std::string> note = {"writeChip 0 2 28",
                                           "writeChip 0 3 1",
                                           "writeChip 0 7 45",
                                           "writeChip 0 6 9",
                                           "writeChip 0 11 " + std::to_string(buzz & 0xFF),
                                           "writeChip 0 12 " + std::to_string(buzz >> 8),
                                           "writeChip 0 13 14",
                                           "writeChip 0 9 16"};
    EXPECT_EQ(target.calls, note);
    target.calls.clear();
    preview.tick();  // step 1: the same level, nothing written
    preview.release();
    EXPECT_EQ(target.calls, std::vector<std::string>{"writeChip 0 9 0"});

    target.calls.clear();
    PitchedSample pad;
    pad.sample = makeSample("pad", std::vector<std::int16_t>(600, 100));
    pad.loop = true;
    preview.pitchedNote(pad, semitone(0, 5));
    preview.release();
    EXPECT_EQ(target.calls,
              (std::vector<std::string>{"playPitchedSample 600 looped at " +
                                            std::to_string(pitchedDeltaN(pad, semitone(0, 5))) +
                                            " level 255",
                                        "writeChip 0 16 1"}));
}

// Two SSG tracks asking the shared generators for different things, as the editor says it.
TEST(SsgSharing, ClashesAreFoundWhileTheOtherNoteSounds) {
    Song song;
    song.resetWholeChip();
    const auto voice = [&](int k, SsgMix mix, std::uint8_t noise, bool envelope) {
        song.instruments[k].kind = InstrumentKind::SsgVoice;
        song.instruments[k].ssg.mix = mix;
        song.instruments[k].ssg.noisePeriod = noise;
        song.instruments[k].ssg.envelope = envelope;
    };
    voice(1, SsgMix::Noise, 5, false);
    voice(2, SsgMix::ToneAndNoise, 9, false);
    voice(3, SsgMix::Tone, 0, true);
    voice(4, SsgMix::Tone, 0, true);
    song.instruments[4].ssg.envelopeShape = 0x0C;
    const int a = wholeChipTrack(TrackKind::Ssg, 0), b = a + 1;
    Pattern& p = song.patterns[0];
    p.cell(a, 0) = Cell{0, 4, 1, kNone, kNone};
    p.cell(a, 8) = Cell{0, 4, 3, kNone, kNone};
    p.cell(a, 16) = Cell{kNoteEmpty, kNone, kNone, 0x0C, 0};
    struct Case {
        int row, instrument;
        const char* clash;  // the start of the message, or "" for none
    };
    for (const Case& c : {Case{0, 2, "SSG 2 and SSG 1 ask for different noise periods"},
                          Case{4, 1, ""},  // the same noise
                          Case{4, 3, ""},  // no noise asked
                          Case{8, 4, "SSG 2 and SSG 1 ask for different envelopes"},
                          Case{12, 3, ""}, Case{20, 4, ""}}) {  // SSG 1 keyed off at 16
        p.cell(b, c.row) = Cell{0, 4, static_cast<std::uint8_t>(c.instrument), kNone, kNone};
        EXPECT_TRUE(ssgSharingClash(song, p, b, c.row).starts_with(c.clash)) << c.row;
        EXPECT_EQ(ssgSharingClash(song, p, b, c.row).empty(), *c.clash == 0) << c.row;
    }
}

}  // namespace
}  // namespace qvx
