#include "examples/drum_song.hpp"

#include <algorithm>
#include <cmath>

#include "examples/demo_song.hpp"

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

Song makeDrumSong() {
    Song song = makeDemoSong();
    song.convertToWholeChip();
    Instrument& kit = song.instruments[kDrumKit];
    kit.kind = InstrumentKind::AdpcmAKit;
    kit.kit.notes[kKickNote] = {makeSample("kick", synthesizeKick()), kMaxKitLevel};
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
    song.order = {0, 1, 2, 1, 2, 0, 3};
    return song;
}

}  // namespace qvx::examples
