#include "tools/vgm_file.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

constexpr std::size_t kHeaderBytes = 0x80;  // a version 1.51 header
constexpr std::uint32_t kVersion = 0x151;

enum Command : std::uint8_t {
    kDataBlock = 0x67,  // 0x67 0x66 type, size (4 bytes), data
    kWritePort0 = 0x58,
    kWritePort1 = 0x59,
    kWait = 0x61,
    kWait735 = 0x62,
    kWait882 = 0x63,
    kEnd = 0x66,
    kWaitShort = 0x70,  // 0x70 + n waits n + 1 samples
};
constexpr std::uint8_t kBlockMark = 0x66;
// A data block of this type holds part of the YM2610's ADPCM-A ROM: the ROM's whole size and
// where the part starts (4 bytes each), then the bytes.
constexpr std::uint8_t kAdpcmARomBlock = 0x82;
constexpr std::uint8_t kAdpcmBRomBlock = 0x83;     // the same for the ADPCM-B ROM
constexpr std::size_t kMaxRom = 16 * 1024 * 1024;  // what the chip's 24-bit addresses reach
// A gzip-compressed file (".vgz") may unpack to no more than this: two whole ROMs and room for
// hours of writes.
constexpr std::size_t kMaxUnpacked = 64 * 1024 * 1024;

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t get32(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | in[at + static_cast<std::size_t>(i)];
    return value;
}

void wait(std::vector<std::uint8_t>& out, std::uint64_t samples) {
    while (samples > 0) {
        if (samples <= 16) {
            out.push_back(static_cast<std::uint8_t>(kWaitShort + samples - 1));
            return;
        }
        const auto n = static_cast<std::uint16_t>(std::min<std::uint64_t>(samples, 0xFFFF));
        out.insert(out.end(),
                   {kWait, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)});
        samples -= n;
    }
}

// The GD3 tag: eleven UTF-16 strings (track, game, system and author in English and Japanese,
// date, converter, notes).
std::vector<std::uint8_t> gd3(const std::string& title) {
    std::vector<std::uint8_t> text;
    const auto add = [&text](const std::string& s) {
        // UTF-8 to UTF-16, enough for names; anything malformed becomes U+FFFD.
        for (std::size_t i = 0; i < s.size();) {
            const auto c = static_cast<unsigned char>(s[i]);
            std::uint32_t code = 0xFFFD;
            std::size_t length = 1;
            if (c < 0x80) {
                code = c;
            } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
                code = (c & 0x1Fu) << 6 | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
                length = 2;
            } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
                code = (c & 0x0Fu) << 12 | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6 |
                       (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
                length = 3;
            }
            if (code > 0xFFFF) code = 0xFFFD;
            text.push_back(static_cast<std::uint8_t>(code));
            text.push_back(static_cast<std::uint8_t>(code >> 8));
            i += length;
        }
        text.push_back(0);
        text.push_back(0);
    };
    for (const std::string& s :
         {title, std::string(), std::string(), std::string(), std::string("Neo Geo"), std::string(),
          std::string(), std::string(), std::string(), std::string("QVXTracker"), std::string()})
        add(s);
    std::vector<std::uint8_t> tag = {'G', 'd', '3', ' ', 0, 0, 0, 0, 0, 0, 0, 0};
    put32(tag, 4, 0x100);
    put32(tag, 8, static_cast<std::uint32_t>(text.size()));
    tag.insert(tag.end(), text.begin(), text.end());
    return tag;
}

constexpr std::uint32_t kYm2610BFlag = 0x80000000;
// The clocks the chip model takes (qvxsnd::YM2610's range).
constexpr std::uint32_t kMinClock = 1'000'000;
constexpr std::uint32_t kMaxClock = 20'000'000;
constexpr std::uint32_t kDualChipFlag = 0x40000000;

std::string hex(std::size_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*zX", digits, value);
    return text;
}

// What each command byte that is not the YM2610's own is, and how many bytes it takes with its
// operands (0: a data block, whose size follows; -1: no VGM version defines it).
struct CommandKind {
    const char* chip;  // the chip it writes to, or nothing for the stream's own commands
    int bytes;
};

CommandKind commandKind(std::uint8_t c) {
    static constexpr std::array<const char*, 16> k5x = {
        "Game Gear stereo", "SN76489", "YM2413", "YM2612", "YM2612", "YM2151", "YM2203",  "YM2608",
        "YM2608",           nullptr,   nullptr,  "YM3812", "YM3526", "Y8950",  "YMZ280B", "YMF262"};
    if (c >= 0x30 && c <= 0x3F) return {"a second SN76489", 2};
    if (c >= 0x40 && c <= 0x4E) return {"a chip of VGM 1.60 and later", 3};
    if (c == 0x4F || c == 0x50) return {k5x[c - 0x4F], 2};
    if (c >= 0x51 && c <= 0x5F) return {c == 0x5E || c == 0x5F ? "YMF262" : k5x[c - 0x4F], 3};
    if (c == 0x64) return {nullptr, 4};
    if (c == 0x68) return {"PCM RAM", 12};
    if (c >= 0x80 && c <= 0x8F) return {"YM2612", 1};
    if (c >= 0x90 && c <= 0x95) {
        static constexpr std::array<int, 6> kStream = {5, 5, 6, 11, 2, 5};
        return {"a DAC stream", kStream[c - 0x90]};
    }
    if (c == 0xA0) return {"AY8910", 3};
    if (c == 0xA8 || c == 0xA9) return {"a second YM2610", 3};
    if (c >= 0xA1 && c <= 0xAF) return {"a second chip", 3};
    if (c >= 0xB0 && c <= 0xBF) return {"a chip of VGM 1.51 and later", 3};
    if (c >= 0xC0 && c <= 0xDF) return {"a chip of VGM 1.51 and later", 4};
    if (c == 0xE0) return {nullptr, 5};
    if (c >= 0xE1) return {"a chip of VGM 1.65 and later", 5};
    return {nullptr, -1};
}

// A gzip stream unpacked whole, within kMaxUnpacked; nothing when it is damaged or too large.
std::optional<std::vector<std::uint8_t>> gunzip(std::span<const std::uint8_t> packed,
                                                std::string& why) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    std::vector<std::uint8_t> out;
    int status = Z_OK;
    while (status == Z_OK) {
        if (out.size() >= kMaxUnpacked) {
            why = "it unpacks to more than " + std::to_string(kMaxUnpacked >> 20) + " MB";
            break;
        }
        const std::size_t at = out.size();
        out.resize(at + 1024 * 1024);
        z.next_out = out.data() + at;
        z.avail_out = 1024 * 1024;
        status = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
        if (why.empty()) why = "its compressed data is damaged";
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> encodeVgm(const VgmImage& image) {
    const std::vector<VgmWrite>& writes = image.writes;
    const std::uint64_t samples = image.samples;
    const std::optional<std::uint64_t>& loop = image.loop;
    std::vector<std::uint8_t> vgm(kHeaderBytes, 0);
    for (const auto& [type, rom] :
         {std::pair{kAdpcmARomBlock, image.adpcmA}, {kAdpcmBRomBlock, image.adpcmB}}) {
        if (rom.empty()) continue;
        // The whole ROM from address 0 in one block.
        std::vector<std::uint8_t> block = {kDataBlock, kBlockMark, type};
        block.resize(block.size() + 12 + rom.size());
        put32(block, 3, static_cast<std::uint32_t>(rom.size() + 8));
        put32(block, 7, static_cast<std::uint32_t>(rom.size()));
        std::copy(rom.begin(), rom.end(), block.begin() + 15);
        vgm.insert(vgm.end(), block.begin(), block.end());
    }
    std::uint64_t now = 0;
    std::size_t loopOffset = 0;
    const auto reach = [&](std::uint64_t when) {
        if (loop && loopOffset == 0 && now <= *loop && *loop <= when) {
            wait(vgm, *loop - now);
            now = *loop;
            loopOffset = vgm.size();
        }
        wait(vgm, when - now);
        now = when;
    };
    for (const VgmWrite& w : writes) {
        if (w.sample >= samples) break;
        reach(w.sample);
        vgm.insert(vgm.end(), {w.port == 0 ? kWritePort0 : kWritePort1, w.address, w.value});
    }
    reach(samples);
    vgm.push_back(kEnd);
    const std::size_t gd3Offset = vgm.size();
    const std::vector<std::uint8_t> tag = gd3(image.title);
    vgm.insert(vgm.end(), tag.begin(), tag.end());

    vgm[0] = 'V', vgm[1] = 'g', vgm[2] = 'm', vgm[3] = ' ';
    put32(vgm, 0x04, static_cast<std::uint32_t>(vgm.size() - 0x04));
    put32(vgm, 0x08, kVersion);
    put32(vgm, 0x14, static_cast<std::uint32_t>(gd3Offset - 0x14));
    put32(vgm, 0x18, static_cast<std::uint32_t>(samples));
    if (loop) {
        put32(vgm, 0x1C, static_cast<std::uint32_t>(loopOffset - 0x1C));
        put32(vgm, 0x20, static_cast<std::uint32_t>(samples - *loop));
    }
    put32(vgm, 0x34, static_cast<std::uint32_t>(kHeaderBytes - 0x34));
    put32(vgm, 0x4C, image.clock | (image.ym2610b ? kYm2610BFlag : 0));
    return vgm;
}

std::vector<std::uint8_t> encodeVgm(const std::vector<VgmWrite>& writes, std::uint64_t samples,
                                    std::optional<std::uint64_t> loop, const std::string& title,
                                    std::uint32_t clock, std::span<const std::uint8_t> adpcmA,
                                    std::span<const std::uint8_t> adpcmB) {
    return encodeVgm(VgmImage{writes, samples, loop, title, clock, false, adpcmA, adpcmB});
}

Result parseVgm(std::span<const std::uint8_t> bytes, VgmStream& out) {
    const auto refuse = [](const std::string& why) {
        return Result::failure("Not a VGM file that can be played: " + why);
    };
    if (bytes.size() < 0x40 || bytes[0] != 'V' || bytes[1] != 'g' || bytes[2] != 'm' ||
        bytes[3] != ' ')
        return refuse("it does not start with \"Vgm \"");
    VgmStream stream;
    const std::uint32_t version = get32(bytes, 0x08);
    std::size_t at = version >= 0x150 && get32(bytes, 0x34) ? get32(bytes, 0x34) + 0x34 : 0x40;
    if (at < 0x40 || at > bytes.size()) return refuse("its data offset lies outside the file");
    // Header fields at or after the data's start are not there.
    const auto header = [&](std::size_t offset) {
        return offset + 4 <= at ? get32(bytes, offset) : 0u;
    };
    const std::uint32_t clock = version >= 0x151 ? header(0x4C) : 0;
    stream.ym2610Clock = clock & 0x3FFFFFFF;
    stream.ym2610b = (clock & kYm2610BFlag) != 0;
    if (stream.ym2610Clock == 0) return refuse("its header names no YM2610 (no clock at 0x4C)");
    if (stream.ym2610Clock < kMinClock || stream.ym2610Clock > kMaxClock)
        return refuse("its YM2610 clock, " + std::to_string(stream.ym2610Clock) +
                      " Hz, is outside the " + std::to_string(kMinClock) + " to " +
                      std::to_string(kMaxClock) + " Hz a chip runs at");
    if (clock & kDualChipFlag) stream.notes.push_back("The second YM2610 is not played");
    const std::size_t loopAt = header(0x1C) ? header(0x1C) + 0x1C : 0;

    std::uint64_t now = 0;
    std::vector<std::string> named;  // chips already named in the notes
    const auto note = [&](const std::string& chip, std::uint8_t command, std::size_t offset) {
        if (std::find(named.begin(), named.end(), chip) != named.end()) return;
        named.push_back(chip);
        stream.notes.push_back("The file also writes to " + chip + " (command " + hex(command, 2) +
                               " at offset " + hex(offset, 4) + "); only the YM2610 is played");
    };
    bool ended = false;
    while (at < bytes.size()) {
        if (at == loopAt) stream.loopStart = now;
        const std::uint8_t command = bytes[at];
        const std::size_t left = bytes.size() - at;
        const auto cut = [&] {
            stream.notes.push_back("The file is cut off in a command at offset " + hex(at, 4) +
                                   "; what comes before it is played");
        };
        if (command == kEnd) {
            ended = true;
            break;
        }
        if (command == kWritePort0 || command == kWritePort1) {
            if (left < 3) {
                cut();
                break;
            }
            stream.writes.push_back({now, static_cast<std::uint8_t>(command - kWritePort0),
                                     bytes[at + 1], bytes[at + 2]});
            at += 3;
        } else if (command == kWait) {
            if (left < 3) {
                cut();
                break;
            }
            now += static_cast<std::uint64_t>(bytes[at + 1] | bytes[at + 2] << 8);
            at += 3;
        } else if (command == kWait735 || command == kWait882) {
            now += command == kWait735 ? 735 : 882;
            ++at;
        } else if ((command & 0xF0) == kWaitShort) {
            now += (command & 0x0Fu) + 1u;
            ++at;
        } else if (command == kDataBlock) {
            if (left < 7 || bytes[at + 1] != kBlockMark) {
                cut();
                break;
            }
            // Bit 31 of the size names the second of two chips, whose ROMs are not played.
            const std::uint32_t sizeField = get32(bytes, at + 3);
            const std::size_t size = sizeField & 0x7FFFFFFF;
            const std::size_t data = at + 7;
            if (size > bytes.size() - data) {
                cut();
                break;
            }
            const std::uint8_t type = bytes[at + 2];
            if ((type == kAdpcmARomBlock || type == kAdpcmBRomBlock) && size >= 8 &&
                !(sizeField & 0x80000000)) {
                std::vector<std::uint8_t>& rom =
                    type == kAdpcmARomBlock ? stream.adpcmA : stream.adpcmB;
                // The ROM grows to hold what the blocks bring, never to what a header declares:
                // the chip reads zeros beyond it either way.
                const std::size_t romSize = std::min<std::size_t>(get32(bytes, data), kMaxRom);
                const std::size_t start = get32(bytes, data + 4);
                if (start < romSize) {
                    const std::size_t n = std::min(size - 8, romSize - start);
                    if (rom.size() < start + n) rom.resize(start + n);
                    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(data + 8), n,
                                rom.begin() + static_cast<std::ptrdiff_t>(start));
                }
            }
            at = data + size;
        } else {
            const CommandKind kind = commandKind(command);
            if (kind.bytes < 0)
                return refuse("command " + hex(command, 2) + " at offset " + hex(at, 4) +
                              " is none that VGM defines");
            if (left < std::size_t(kind.bytes)) {
                cut();
                break;
            }
            if (kind.chip) note(kind.chip, command, at);
            if (command >= 0x80 && command <= 0x8F) now += command & 0x0Fu;
            at += std::size_t(kind.bytes);
        }
    }
    if (!ended && at >= bytes.size())
        stream.notes.push_back("The file has no end mark; it is played to the end of its data");
    stream.samples = now;
    if (stream.loopStart && *stream.loopStart >= now) stream.loopStart.reset();

    const std::size_t gd3At = header(0x14) ? header(0x14) + 0x14 : 0;
    if (gd3At && gd3At + 12 <= bytes.size()) {
        for (std::size_t i = gd3At + 12; i + 1 < bytes.size(); i += 2) {
            const auto code = static_cast<std::uint16_t>(bytes[i] | bytes[i + 1] << 8);
            if (code == 0) break;
            if (code < 0x80) stream.title.push_back(static_cast<char>(code));
        }
    }
    out = std::move(stream);
    return Result::success();
}

Result readVgmFile(const std::filesystem::path& path, VgmStream& out) {
    auto bytes = readFileHead(path, kMaxUnpacked + 1);
    if (!bytes) return cannotOpen(path);
    if (bytes->size() > kMaxUnpacked)
        return refuseFile(displayName(path) + " is too large for a VGM file", path,
                          "it holds more than " + std::to_string(kMaxUnpacked >> 20) + " MB");
    if (bytes->size() >= 2 && (*bytes)[0] == 0x1F && (*bytes)[1] == 0x8B) {
        std::string why;
        auto unpacked = gunzip(*bytes, why);
        if (!unpacked)
            return refuseFile(displayName(path) + ": this compressed VGM file cannot be unpacked",
                              path, why);
        *bytes = std::move(*unpacked);
    }
    const Result r = parseVgm(*bytes, out);
    if (r) return r;
    const std::string why = r.message().substr(r.message().find(": ") + 2);
    return refuseFile(displayName(path) + " is not a VGM file that can be played: " + why, path,
                      why);
}

std::optional<VgmStream> readVgm(std::span<const std::uint8_t> bytes) {
    VgmStream stream;
    if (!parseVgm(bytes, stream)) return std::nullopt;
    return stream;
}

}  // namespace qvx
