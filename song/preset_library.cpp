#include "song/preset_library.hpp"

#include <algorithm>
#include <array>
#include <system_error>

#include "song/file_io.hpp"
#include "song/instrument_file.hpp"

namespace qvx {
namespace {

struct KnownGroup {
    const char* folder;
    const char* title;
};
constexpr std::array<KnownGroup, 8> kGroups = {{
    {"bass", "Bass"},
    {"lead", "Lead"},
    {"keys", "Keys"},
    {"organ", "Organ"},
    {"brass", "Brass"},
    {"strings-and-pads", "Strings and Pads"},
    {"bells-and-mallets", "Bells and Mallets"},
    {"percussion-and-effects", "Percussion and Effects"},
}};
constexpr std::size_t kMaxInstrumentFile = 512;  // magic, a 255-character name, 25 bytes

std::size_t rank(const std::string& folder) {
    const auto known = std::find_if(kGroups.begin(), kGroups.end(),
                                    [&](const KnownGroup& g) { return folder == g.folder; });
    return static_cast<std::size_t>(known - kGroups.begin());
}

}  // namespace

std::vector<PresetGroup> findPresets(const std::filesystem::path& folder) {
    std::vector<std::pair<std::string, std::filesystem::path>> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_directory(error))
            folders.emplace_back(entry.path().filename().string(), entry.path());
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
        return std::pair(rank(a.first), a.first) < std::pair(rank(b.first), b.first);
    });
    std::vector<PresetGroup> groups;
    for (const auto& [name, path] : folders) {
        const std::size_t known = rank(name);
        PresetGroup group{known < kGroups.size() ? kGroups[known].title : name, {}};
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            if (entry.path().extension() != ".ins") continue;
            const auto bytes = readFileHead(entry.path(), kMaxInstrumentFile);
            const auto voice = bytes ? parseInstrument(*bytes) : std::nullopt;
            if (voice) group.presets.push_back({voice->userName, entry.path(), voice->registers});
        }
        std::sort(group.presets.begin(), group.presets.end(),
                  [](const PresetEntry& a, const PresetEntry& b) { return a.name < b.name; });
        if (!group.presets.empty()) groups.push_back(std::move(group));
    }
    return groups;
}

std::filesystem::path presetFolder(std::span<const std::filesystem::path> candidates) {
    for (const std::filesystem::path& folder : candidates)
        if (!findPresets(folder).empty()) return folder;
    return {};
}

}  // namespace qvx
