#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "song/preview.hpp"

namespace qvx::testing {

// Records the preview calls as text; a voice shows as its first byte, a sample as its length,
// a chip write as bank, register and value in decimal.
struct RecordingPreview : PreviewTarget {
    void keyUp() override { calls.push_back("KeyUp"); }
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) override {
        calls.push_back("loadInstrument " + std::to_string(voice[0]));
    }
    void keyDown(int note, int octave) override {
        calls.push_back("KeyDown " + std::to_string(note) + " " + std::to_string(octave));
    }
    void playSample(std::span<const std::int16_t> pcm, int channel, int level) override {
        calls.push_back("playSample " + std::to_string(pcm.size()) + " on " +
                        std::to_string(channel) + " at " + std::to_string(level));
    }
    void playPitchedSample(std::span<const std::int16_t> pcm, bool loop, int deltaN,
                           int level) override {
        calls.push_back("playPitchedSample " + std::to_string(pcm.size()) +
                        (loop ? " looped" : "") + " at " + std::to_string(deltaN) + " level " +
                        std::to_string(level));
    }
    void writeChip(int bank, std::uint8_t address, std::uint8_t value) override {
        calls.push_back("writeChip " + std::to_string(bank) + " " + std::to_string(address) + " " +
                        std::to_string(value));
    }
    std::vector<std::string> calls;
};

}  // namespace qvx::testing
