#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "song/result.hpp"
#include "song/song.hpp"

namespace qvx {

inline constexpr std::string_view kInstrumentMagic = "QVXI1";
inline constexpr std::string_view kInvalidInstrumentMessage = "Invalid QVX Tracker Instrument file";
inline constexpr std::size_t kY12Bytes = 128;

// A voice as the instrument files carry it: the user's name (without the "NN " prefix) and the
// 25 register bytes.
struct VoiceFile {
    std::string userName;
    VoiceBytes registers{};
};

std::vector<std::uint8_t> serializeInstrument(const Instrument& instrument);

// .ins: "QVXI1", the zero-terminated user name, 25 register bytes.
std::optional<VoiceFile> parseInstrument(std::span<const std::uint8_t> bytes);

// .y12 (a 128-byte YM2612 voice dump): per operator block of 16 bytes, bytes 0..5 are the six
// register groups; 0x40 algorithm, 0x41 feedback. The name is the file's stem.
std::optional<VoiceFile> parseY12(std::span<const std::uint8_t> bytes, std::string_view stem);

// Whether a file handed to the editor is an instrument rather than a song: its name ends in
// ".ins" or ".y12" (any case), or it starts with "QVXI1".
bool isInstrumentFile(const std::filesystem::path& path);

// Writes instrument `number` safely. Failure: "Failed to Create " + file name.
Result saveInstrumentFile(const Song& song, int number, const std::filesystem::path& path);

// Replaces instrument `number`'s name and registers from a .ins or .y12 file (chosen by the
// extension, case ignored). Nothing changes unless the whole file was read.
Result loadInstrumentFile(Song& song, int number, const std::filesystem::path& path);

}  // namespace qvx
