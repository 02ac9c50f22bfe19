#include "voices/mod_voices.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "voices/presets.hpp"

namespace qvx::voices {
namespace {

struct Hint {
    std::string_view word;  // in the sample's name, lower case
    std::string_view file;  // the preset's file
};
// The first hint whose word the name holds wins, so the more particular words come first.
constexpr std::array<Hint, 22> kHints = {{
    {"sub", "sub-bass"},
    {"bass", "finger-bass"},
    {"kick", "kick"},
    {"bd", "kick"},
    {"snare", "snare"},
    {"sd", "snare"},
    {"hat", "closed-hat"},
    {"hh", "closed-hat"},
    {"tom", "tom"},
    {"string", "strings"},
    {"pad", "warm-pad"},
    {"choir", "choir-pad"},
    {"organ", "drawbar-organ"},
    {"piano", "bright-piano"},
    {"brass", "brass-section"},
    {"horn", "french-horn"},
    {"trump", "trumpet"},
    {"bell", "tubular-bell"},
    {"flute", "soft-flute"},
    {"marimba", "marimba"},
    {"lead", "saw-lead"},
    {"square", "square-lead"},
}};
constexpr std::array<std::string_view, 4> kAllRound = {"electric-piano", "saw-lead", "synth-bass",
                                                       "strings"};

VoiceBytes presetVoice(std::string_view file) {
    const auto all = presets();
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const Preset& p) { return p.file == file; });
    return found == all.end() ? VoiceBytes{} : found->fields.encode();
}

}  // namespace

VoiceBytes presetVoiceForSample(std::string_view name, int number) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Hint& hint : kHints)
        if (lower.find(hint.word) != std::string::npos) return presetVoice(hint.file);
    return presetVoice(
        kAllRound[static_cast<std::size_t>(std::max(number - 1, 0)) % kAllRound.size()]);
}

}  // namespace qvx::voices
