#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "song/preview.hpp"

namespace qvx::testing {

// Records the calls that write FM channel 1 as text; a voice shows as its first byte.
struct RecordingPreview : PreviewTarget {
    void keyUp() override { calls.push_back("KeyUp"); }
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) override {
        calls.push_back("loadInstrument " + std::to_string(voice[0]));
    }
    void keyDown(int note, int octave) override {
        calls.push_back("KeyDown " + std::to_string(note) + " " + std::to_string(octave));
    }
    std::vector<std::string> calls;
};

}  // namespace qvx::testing
