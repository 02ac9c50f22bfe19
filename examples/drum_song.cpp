#include "examples/drum_song.hpp"

#include <algorithm>
#include <cmath>

#include "examples/demo_song.hpp"
#include "song/chip_pitch.hpp"

namespace qvx::examples {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::size_t frames(double seconds) {
    return static_cast<std::size_t>(seconds * kAdpcmARate);
}

std::int16_t toPcm(double value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32000));
}

// A fixed noise source, so that the example is the same sound every time it is made.
class Noise {
  public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state_ = 0x2545F491;
};

}  // namespace

// A sine whose pitch falls from 160 Hz to 45 Hz, over a short click.
std::vector<std::int16_t> synthesizeKick() {
    std::vector<std::int16_t> out(frames(0.32));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kAdpcmARate;
        const double pitch = 45 + 115 * std::exp(-t / 0.035);
        phase += 2 * kPi * pitch / kAdpcmARate;
        const double body = std::sin(phase) * std::exp(-t / 0.11);
        const double click = std::exp(-t / 0.002) * 0.4;
        out[i] = toPcm(0.95 * body + click);
    }
    return out;
}

// A 185 Hz drum head under bright noise that dies a little slower.
std::vector<std::int16_t> synthesizeSnare() {
    std::vector<std::int16_t> out(frames(0.26));
    Noise noise;
    double previous = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kAdpcmARate;
        const double head = std::sin(2 * kPi * 185 * t) * std::exp(-t / 0.045);
        const double white = noise.next();
        const double bright = white - 0.6 * previous;  // tilts the noise up
        previous = white;
        out[i] = toPcm(0.55 * head + 0.5 * bright * std::exp(-t / 0.07));
    }
    return out;
}

// Noise with its lows taken out, short (closed) or ringing (open).
std::vector<std::int16_t> synthesizeHiHat(bool open) {
    const double decay = open ? 0.16 : 0.018;
    std::vector<std::int16_t> out(frames(open ? 0.4 : 0.07));
    Noise noise;
    double previous = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kAdpcmARate;
        const double white = noise.next();
        const double high = white - previous;  // the first difference: a high-pass
        previous = white;
        out[i] = toPcm(0.45 * high * std::exp(-t / decay));
    }
    return out;
}

// A long wash of noise with its lows taken out, for the top of the song.
std::vector<std::int16_t> synthesizeCrash() {
    std::vector<std::int16_t> out(frames(1.2));
    Noise noise;
    double previous = 0, low = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kAdpcmARate;
        const double white = noise.next();
        const double high = white - previous;
        previous = white;
        low += 0.3 * (high - low);  // softens the very top
        out[i] = toPcm(0.5 * (0.6 * high + 0.4 * low) * std::exp(-t / 0.45));
    }
    return out;
}

// A drum head whose pitch falls from `highHz` to `lowHz`.
std::vector<std::int16_t> synthesizeTom(double highHz, double lowHz) {
    std::vector<std::int16_t> out(frames(0.4));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kAdpcmARate;
        phase += 2 * kPi * (lowHz + (highHz - lowHz) * std::exp(-t / 0.06)) / kAdpcmARate;
        out[i] = toPcm(0.85 * std::sin(phase) * std::exp(-t / 0.14));
    }
    return out;
}

// Three quick bursts of noise and a short tail, as hands clap.
std::vector<std::int16_t> synthesizeClap() {
    std::vector<std::int16_t> out(frames(0.25));
    Noise noise;
    double previous = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kAdpcmARate;
        const double white = noise.next();
        const double bright = white - 0.8 * previous;
        previous = white;
        const double burst = std::fmod(t, 0.011) < 0.004 && t < 0.033 ? 1.0 : 0.0;
        const double tail = t >= 0.033 ? std::exp(-(t - 0.033) / 0.05) : 0.0;
        out[i] = toPcm(0.5 * bright * std::max(burst, tail));
    }
    return out;
}

std::vector<std::int16_t> synthesizePad() {
    // 256 cycles of A-4's 441 Hz (50 frames) and 257 of a wave a little above it, in 12,800
    // frames: 25 ADPCM-B blocks, so the loop has no padding and no seam.
    constexpr std::size_t kFrames = 12800;
    std::vector<std::int16_t> out(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        double value = 0;
        for (const double cycles : {256.0, 257.0})
            for (int harmonic = 1; harmonic <= 6; ++harmonic)
                value += std::sin(2 * kPi * cycles * harmonic * static_cast<double>(i) / kFrames) /
                         harmonic;
        out[i] = toPcm(0.28 * value);
    }
    return out;
}

namespace {

SsgVoice ssgVoice(std::uint8_t volume, std::vector<std::uint8_t> sequence) {
    SsgVoice voice;
    voice.volume = volume;
    voice.sequence = std::move(sequence);
    return voice;
}

// Am - F - C - G, as the demo's chords.
constexpr std::uint8_t kChordNotes[4][3] = {{9, 0, 4}, {5, 9, 0}, {0, 4, 7}, {7, 11, 2}};
constexpr std::uint8_t kRootOctaves[4] = {2, 2, 3, 2};

}  // namespace

Song makeDrumSong() {
    Song song = makeDemoSong();
    song.convertToWholeChip();
    Instrument& kit = song.instruments[kDrumKit];
    kit.kind = InstrumentKind::AdpcmAKit;
    kit.kit.notes[kKickNote] = {makeSample("kick", synthesizeKick()), 29};
    kit.kit.notes[kSnareNote] = {makeSample("snare", synthesizeSnare()), 29};
    kit.kit.notes[kClosedHatNote] = {makeSample("closed hat", synthesizeHiHat(false)), 24};
    kit.kit.notes[kOpenHatNote] = {makeSample("open hat", synthesizeHiHat(true)), 22};
    song.renameInstrument(kDrumKit, "Drum Kit");

    // ADPCM-A 1: kick and snare; ADPCM-A 2: the hats; ADPCM-A 3: the snare's fills.
    constexpr int kKickTrack = firstTrackOf(SongKind::WholeChip, TrackKind::AdpcmA),
                  kHatTrack = kKickTrack + 1, kFillTrack = kKickTrack + 2;
    const auto hit = [&](Pattern& p, int track, int row, std::uint8_t note) {
        p.cell(track, row) = Cell{note, 3, kDrumKit, kNone, kNone};
    };
    for (int index = 0; index < song.patternCount; ++index) {
        Pattern& p = song.patterns[index];
        const bool intro = index == 0;
        const int rows = index == 3 ? 32 : kRows;  // the turnaround breaks at row 31
        for (int row = 0; row < rows; row += 2) {
            const int beat = row % 16;
            if (beat == 0 || beat == 10) hit(p, kKickTrack, row, kKickNote);
            if (!intro && (beat == 4 || beat == 12)) hit(p, kKickTrack, row, kSnareNote);
            if (!intro || row >= 32)
                hit(p, kHatTrack, row, beat == 14 ? kOpenHatNote : kClosedHatNote);
        }
        if (index == 3)
            for (int row = 24; row < 32; ++row)
                hit(p, kFillTrack, row, kSnareNote);  // a roll into the top
    }
    kit.kit.notes[kCrashNote] = {makeSample("crash", synthesizeCrash()), 22};
    kit.kit.notes[kHighTomNote] = {makeSample("high tom", synthesizeTom(190, 120)), 28};
    kit.kit.notes[kLowTomNote] = {makeSample("low tom", synthesizeTom(130, 80)), 28};
    kit.kit.notes[kClapNote] = {makeSample("clap", synthesizeClap()), 24};
    constexpr int kCrashTrack = kKickTrack + 3, kTomTrack = kKickTrack + 4,
                  kClapTrack = kKickTrack + 5;
    hit(song.patterns[1], kCrashTrack, 0, kCrashNote);
    for (int row = 0; row < kRows; row += 16)
        hit(song.patterns[2], kClapTrack, row + 12, kClapNote);
    for (int row = 16; row < 24; row += 2)
        hit(song.patterns[3], kTomTrack, row, row < 20 ? kHighTomNote : kLowTomNote);

    // The SSG: a plucked arpeggio over the answer and its echo two rows later, quieter (on another
    // note of the chord); a buzz bass (the envelope repeating at the note's pitch) under the intro.
    Instrument& pluck = song.instruments[kPluck];
    pluck.kind = InstrumentKind::SsgVoice;
    pluck.ssg = ssgVoice(11, {15, 13, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 2, 1, 1, 0});
    song.renameInstrument(kPluck, "Pluck");
    Instrument& echo = song.instruments[kEcho];
    echo.kind = InstrumentKind::SsgVoice;
    echo.ssg = ssgVoice(6, pluck.ssg.sequence);
    song.renameInstrument(kEcho, "Pluck Echo");
    Instrument& buzz = song.instruments[kBuzzBass];
    buzz.kind = InstrumentKind::SsgVoice;
    buzz.ssg.volume = 15;
    buzz.ssg.envelope = buzz.ssg.envelopeFollowsNote = true;
    buzz.ssg.envelopeShape = 0x08;  // a falling sawtooth, over and over
    song.renameInstrument(kBuzzBass, "Buzz Bass");
    constexpr int kArpTrack = firstTrackOf(SongKind::WholeChip, TrackKind::Ssg),
                  kBuzzTrack = kArpTrack + 1, kEchoTrack = kArpTrack + 2;
    const auto note = [](Pattern& p, int track, int row, std::uint8_t name, int octave,
                         std::uint8_t instrument) {
        p.cell(track, row) =
            Cell{name, static_cast<std::uint8_t>(octave), instrument, kNone, kNone};
    };
    for (int row = 0; row < kRows; ++row) {
        const std::uint8_t name = kChordNotes[row / 16][row % 3];
        note(song.patterns[2], kArpTrack, row, name, 5, kPluck);
        if (row + 2 < kRows) note(song.patterns[2], kEchoTrack, row + 2, name, 5, kEcho);
    }
    for (int bar = 0; bar < 4; ++bar) {
        for (const int step : {0, 6, 8}) {
            const int octave = kRootOctaves[bar] + (step == 6 ? 1 : 0);
            note(song.patterns[0], kBuzzTrack, bar * 16 + step, kChordNotes[bar][0], octave,
                 kBuzzBass);
        }
        song.patterns[0].cell(kBuzzTrack, bar * 16 + 12) = Cell{kNoteEmpty, kNone, kNone, 0x0C, 0};
    }

    // The ADPCM-B: a pad holding each chord's middle note through the theme, let go before the
    // next.
    Instrument& pad = song.instruments[kPad];
    pad.kind = InstrumentKind::AdpcmBSample;
    pad.pitched.sample = makeSample("pad", synthesizePad());
    pad.pitched.rate = kPadRate;
    pad.pitched.baseSemitone = semitone(9, 4);  // its 441 Hz
    pad.pitched.level = 110;
    pad.pitched.loop = true;
    song.renameInstrument(kPad, "Pad");
    constexpr int kPadTrack = firstTrackOf(SongKind::WholeChip, TrackKind::AdpcmB);
    for (int bar = 0; bar < 4; ++bar) {
        note(song.patterns[1], kPadTrack, bar * 16, kChordNotes[bar][1], 4, kPad);
        song.patterns[1].cell(kPadTrack, bar * 16 + 15) = Cell{kNoteEmpty, kNone, kNone, 0x0C, 0};
    }

    song.order = {0, 1, 2, 1, 2, 0, 3};
    return song;
}

}  // namespace qvx::examples
