#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Notes from a MIDI keyboard, in the song's terms.
namespace qvx {

struct MidiKey {
    bool on = false;  // a note-on; a note-off otherwise
    int number = 0;   // the MIDI note number, 0..127
};

// The key a MIDI message presses or lets go of, on whichever channel: a note-on with velocity 0
// is a note-off, as keyboards send it. Every other message (controllers, pitch bend, SysEx ...)
// is nothing here.
std::optional<MidiKey> midiKey(std::span<const std::uint8_t> message);

struct SongNote {
    int note = 0;    // 0 (C) .. 11 (B)
    int octave = 0;  // as the pattern editor writes it
};

// MIDI note 60, middle C, is C-4. Nothing for a note outside the song's octaves 1..7.
std::optional<SongNote> songNoteForMidi(int number);

// "C-0" or "G#8": a MIDI note as the pattern editor would write it, octaves outside the song's
// included.
std::string midiNoteName(int number);

}  // namespace qvx
