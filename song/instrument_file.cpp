#include "song/instrument_file.hpp"

#include <algorithm>
#include <cctype>

#include "song/byte_reader.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

// The largest .ins: magic, a 255-character name and its terminator, the registers.
constexpr std::size_t kMaxInstrumentFileBytes = 5 + 256 + kVoiceBytes;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Why a .ins file's bytes are no instrument.
std::string whyNotInstrument(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return "the file is empty";
    ByteReader in(bytes);
    if (!in.magic(kInstrumentMagic))
        return "it does not start with \"" + std::string(kInstrumentMagic) + "\"";
    const auto ends = [&in](const std::string& where) {
        return "the file ends after " + std::to_string(in.size()) + where;
    };
    if (!in.string())
        return in.remaining() < 256 ? ends(" bytes, in the instrument's name")
                                    : "the instrument's name is longer than 255 characters";
    return ends(" of " + std::to_string(in.position() + kVoiceBytes) + " bytes");
}

}  // namespace

std::vector<std::uint8_t> serializeInstrument(const Instrument& instrument) {
    std::vector<std::uint8_t> out(kInstrumentMagic.begin(), kInstrumentMagic.end());
    const std::string name = sanitizeName(instrument.userName());
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    out.insert(out.end(), instrument.registers.begin(), instrument.registers.end());
    return out;
}

std::optional<VoiceFile> parseInstrument(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    if (!in.magic(kInstrumentMagic)) return std::nullopt;
    auto name = in.string();
    auto regs = in.fixed<kVoiceBytes>();
    if (!name || !regs) return std::nullopt;
    VoiceFile voice;
    voice.userName = std::move(*name);
    std::copy(regs->begin(), regs->end(), voice.registers.begin());
    return voice;
}

std::optional<VoiceFile> parseY12(std::span<const std::uint8_t> bytes, std::string_view stem) {
    if (bytes.size() < kY12Bytes) return std::nullopt;
    VoiceFile voice;
    voice.userName = sanitizeName(stem);
    // Operator blocks are in the chip's register order, like our voice bytes, so group i of
    // operator j lands at byte 4i + j. Values are taken as they are, unused bits included.
    for (int group = 0; group < 6; ++group)
        for (int op = 0; op < 4; ++op)
            voice.registers[4 * group + op] = bytes[16 * op + group];
    voice.registers[24] = static_cast<std::uint8_t>(((bytes[0x41] & 7) << 3) | (bytes[0x40] & 7));
    return voice;
}

bool isInstrumentFile(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (equalsIgnoringCase(extension, ".ins") || equalsIgnoringCase(extension, ".y12")) return true;
    const auto head = readFileHead(path, kInstrumentMagic.size());
    return head &&
           std::equal(kInstrumentMagic.begin(), kInstrumentMagic.end(), head->begin(), head->end());
}

Result saveInstrumentFile(const Song& song, int number, const std::filesystem::path& path) {
    if (!writeFileAtomically(path, serializeInstrument(song.instruments[number])))
        return Result::failure(std::string(kFailedToCreate) + displayName(path));
    return Result::success();
}

Result loadInstrumentFile(Song& song, int number, const std::filesystem::path& path) {
    auto bytes = readFileHead(path, std::max(kMaxInstrumentFileBytes, kY12Bytes));
    if (!bytes) return cannotOpen(path);

    const std::string fileName = displayName(path);
    const std::size_t dot = fileName.rfind('.');
    const std::string_view extension =
        dot == std::string::npos ? std::string_view() : std::string_view(fileName).substr(dot);

    std::optional<VoiceFile> voice;
    std::string why;
    if (equalsIgnoringCase(extension, ".ins")) {
        voice = parseInstrument(*bytes);
        if (!voice) why = whyNotInstrument(*bytes);
    } else if (equalsIgnoringCase(extension, ".y12")) {
        voice = parseY12(*bytes, std::string_view(fileName).substr(0, dot));
        if (!voice)
            why = "the file holds " + std::to_string(bytes->size()) +
                  " bytes; a YM2612 voice dump holds " + std::to_string(kY12Bytes);
    } else {
        why = "only .ins and .y12 files hold instruments";
    }
    if (!voice) return refuseFile(std::string(kInvalidInstrumentMessage), path, why);

    song.instruments[number].name = instrumentName(number, voice->userName);
    song.instruments[number].registers = voice->registers;
    return Result::success();
}

}  // namespace qvx
