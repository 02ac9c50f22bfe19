#include "song/midi_notes.hpp"

#include <algorithm>

#include "song/cell.hpp"

namespace qvx {
namespace {

constexpr int kLowestOctave = 1;
constexpr int kHighestOctave = 7;

int octaveOf(int number) {
    return number / 12 - 1;
}

}  // namespace

std::optional<MidiKey> midiKey(std::span<const std::uint8_t> message) {
    if (message.size() < 3) return std::nullopt;
    const int kind = message[0] & 0xF0;
    const int number = message[1] & 0x7F;
    if (kind == 0x90 && message[2] != 0) return MidiKey{true, number};
    if (kind == 0x80 || kind == 0x90) return MidiKey{false, number};
    return std::nullopt;
}

std::optional<SongNote> songNoteForMidi(int number) {
    const int octave = octaveOf(number);
    if (number < 0 || octave < kLowestOctave || octave > kHighestOctave) return std::nullopt;
    return SongNote{number % 12, octave};
}

std::string midiNoteName(int number) {
    // The pattern editor's name without its filler: "C -" is written "C-".
    std::string name(noteName(static_cast<std::uint8_t>(number % 12)));
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    if (name.size() == 1) name += '-';
    const int octave = octaveOf(number);
    return name + (octave < 0 ? std::string("-1") : std::to_string(octave));
}

}  // namespace qvx
