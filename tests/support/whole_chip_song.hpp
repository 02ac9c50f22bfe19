#pragma once

// A whole-chip song for the driver tests (an FM voice, two drum kits) and what they ask of the
// writes the driver made.
#include <optional>
#include <vector>

#include "rombuild/whole_chip_image.hpp"
#include "tests/support/driver_rig.hpp"

namespace qvx::testing {

inline constexpr std::uint8_t kKeyOn = 0x28;
inline constexpr std::uint8_t kFirstSong = 0x81;

// FM voice 40 and two kits: 41 with a kick on every note, 42 with a snare on D (level 20) and
// nothing elsewhere.
struct DrumSong {
    Song song;
    SampleRef kick = makeSample("kick", std::vector<std::int16_t>(1000, 3000));
    SampleRef snare = makeSample("snare", std::vector<std::int16_t>(700, -2000));

    DrumSong() {
        song.resetWholeChip();
        song.instruments[40].registers.fill(0x40);
        song.instruments[41].kind = InstrumentKind::AdpcmAKit;
        song.instruments[41].kit = singleSampleKit(kick);
        song.instruments[42].kind = InstrumentKind::AdpcmAKit;
        song.instruments[42].kit.notes[2] = {snare, 20};
    }
    Cell& cell(int track, int row) { return song.patterns[0].cell(track, row); }

    // The image, and where its samples went.
    std::vector<std::uint8_t> image(SampleRom& rom) const {
        const WholeChipBlockSource source = wholeChipSongSource(song);
        EXPECT_EQ(wholeChipBlockProblem(source), "");
        const std::vector<std::uint8_t> block = wholeChipBlock(source, rom);
        return wholeChipImage(std::span(&block, 1), adpcmAChannels(source));
    }
};

inline int ssgTrack(int channel) {
    return wholeChipTrack(TrackKind::Ssg, channel);
}

// The last value written to a first-bank register since `from`.
inline std::optional<int> lastWrite(const DriverRig& rig, std::uint8_t reg, std::size_t from) {
    const auto writes = rig.writesTo(0, reg, from);
    if (writes.empty()) return std::nullopt;
    return writes.back().value;
}

// The writes since `from`, the tick's timer acknowledges left out.
inline std::vector<RegisterWrite> since(const DriverRig& rig, std::size_t from) {
    std::vector<RegisterWrite> out;
    for (std::size_t i = from; i < rig.chip.writes.size(); ++i)
        if (rig.chip.writes[i].bank != 0 || rig.chip.writes[i].reg != 0x27)
            out.push_back(rig.chip.writes[i]);
    return out;
}

}  // namespace qvx::testing
