#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "song/song.hpp"

// The preset voices on disk: a folder with one subfolder a group, each holding .ins files.
namespace qvx {

struct PresetEntry {
    std::string name;  // the instrument's name in the file
    std::filesystem::path path;
    VoiceBytes registers{};
};

struct PresetGroup {
    std::string title;  // "Strings and Pads" for strings-and-pads
    std::vector<PresetEntry> presets;
};

// The groups in `folder`: the shipped ones first in their order, then any other subfolder by
// name; in each the presets by name. Files that are no instrument files are left out.
std::vector<PresetGroup> findPresets(const std::filesystem::path& folder);

// The first of `candidates` (installed, then the source tree ...) that holds presets.
std::filesystem::path presetFolder(std::span<const std::filesystem::path> candidates);

}  // namespace qvx
