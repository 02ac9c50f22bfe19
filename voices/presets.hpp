#pragma once

#include <span>
#include <string_view>

#include "song/voice_fields.hpp"

// The preset voices that ship with the editor, designed for the YM2610. The .ins files in the
// group folders next to this file are written from these definitions (target
// regenerate_voices); a test keeps both in step and plays every voice.
namespace qvx::voices {

struct Preset {
    std::string_view folder;  // the group's folder under voices/
    std::string_view file;    // the file's name in it, without ".ins"
    std::string_view name;    // the instrument's name
    bool swell;               // a pad or swell: it may take longer than 30 ms to be heard
    VoiceFields fields;
};

std::span<const Preset> presets();

}  // namespace qvx::voices
