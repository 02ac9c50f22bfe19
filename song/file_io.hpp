#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "song/result.hpp"

namespace qvx {

// Reads at most `maxBytes` from the start of a regular file. nullopt when the file cannot be
// opened or read (missing, a folder, no permission). Files of the project's formats have a known
// largest size, so the cap keeps a wrong or hostile file from being loaded whole.
std::optional<std::vector<std::uint8_t>> readFileHead(const std::filesystem::path& path,
                                                      std::size_t maxBytes);

// Writes `bytes` to a temporary file in the target's folder and renames it over the target only
// once every byte is on disk, so a failed write never destroys the previous file. A symbolic
// link target is followed, so the link survives. Returns false on any failure; the target is then
// untouched and no temporary file is left behind.
bool writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// The name a message shows for a path: the file name without its folder.
std::string displayName(const std::filesystem::path& path);

// Why a file cannot be read, in a few words: "there is no such file", "it is a folder", "it is not
// a regular file", or the system's reason ("Permission denied").
std::string whyUnreadable(const std::filesystem::path& path);

// A refusal of the file at `path` with the reader's own `message`; its detail names the whole path
// and the reason.
Result refuseFile(std::string message, const std::filesystem::path& path,
                  const std::string& reason);
// "Failed to Open " + file name, with the whole path and why in the detail.
Result cannotOpen(const std::filesystem::path& path);

}  // namespace qvx
