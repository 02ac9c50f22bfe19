#include "tools/vgm_export.hpp"

#include <algorithm>
#include <memory>

#include "rombuild/playback.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "soundlib/engine/engine.hpp"
#include "tools/engine_sound_target.hpp"
#include "tools/offline_render.hpp"

namespace qvx {
namespace {

constexpr std::size_t kHeaderBytes = 0x80;  // a version 1.51 header
constexpr std::uint32_t kVersion = 0x151;
constexpr std::size_t kChunkFrames = 512;
// Register 0x27 is the first thing the driver writes on every tick: its timer acknowledge.
constexpr std::uint8_t kTickMark = 0x27;

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
constexpr std::size_t kMaxAdpcmARom = 16 * 1024 * 1024;  // what the chip's 24-bit addresses reach

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at) {
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

}  // namespace

std::vector<std::uint8_t> encodeVgm(const std::vector<VgmWrite>& writes, std::uint64_t samples,
                                    std::optional<std::uint64_t> loop, const std::string& title,
                                    std::uint32_t clock, std::span<const std::uint8_t> adpcmA) {
    std::vector<std::uint8_t> vgm(kHeaderBytes, 0);
    if (!adpcmA.empty()) {
        // The whole ROM from address 0 in one block.
        std::vector<std::uint8_t> block = {kDataBlock, kBlockMark, kAdpcmARomBlock};
        block.resize(block.size() + 12 + adpcmA.size());
        put32(block, 3, static_cast<std::uint32_t>(adpcmA.size() + 8));
        put32(block, 7, static_cast<std::uint32_t>(adpcmA.size()));
        std::copy(adpcmA.begin(), adpcmA.end(), block.begin() + 15);
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
    const std::vector<std::uint8_t> tag = gd3(title);
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
    put32(vgm, 0x4C, clock);
    return vgm;
}

Result buildVgm(const Song& song, const VgmOptions& options, std::vector<std::uint8_t>& out,
                VgmInfo* info) {
    if (options.seconds && !(*options.seconds > 0.0 && *options.seconds <= kMaxRenderSeconds))
        return Result::failure("The length must be between 0 and 3600 seconds");
    if (!options.seconds && (options.passes < 1 || options.passes > 99))
        return Result::failure("The number of passes must be between 1 and 99");

    // The board plays the song offline at the VGM's own rate, so a write's frame is its time.
    auto engine = std::make_unique<qvxsnd::Engine>(kVgmRate);
    std::vector<qvxsnd::RegisterWrite> writes;
    engine->setWriteObserver([&writes](const qvxsnd::RegisterWrite& w) { writes.push_back(w); });
    EngineSoundTarget target(*engine);
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);
    if (Result started = playback.playSong(song); !started) return started;

    // The order list comes round when the row played goes back to the first row of its first
    // entry; that row's tick is where the pass starts.
    const auto limit = static_cast<std::uint64_t>(
        (options.seconds ? *options.seconds : kMaxRenderSeconds) * kVgmRate);
    std::vector<std::uint64_t> passStarts;
    std::optional<qvxsnd::Engine::PlayPosition> previous;
    std::vector<std::int16_t> samples(kChunkFrames * 2);
    std::uint64_t frame = 0;
    while (frame < limit) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunkFrames, limit - frame));
        engine->render(samples.data(), n);
        frame += n;
        const auto position = engine->playPosition();
        if (position && previous && *position == qvxsnd::Engine::PlayPosition{} &&
            *previous != qvxsnd::Engine::PlayPosition{}) {
            std::uint64_t tick = frame;
            for (auto w = writes.rbegin(); w != writes.rend(); ++w)
                if (w->bank == 0 && w->address == kTickMark) {
                    tick = w->frame;
                    break;
                }
            passStarts.push_back(tick);
            if (!options.seconds && static_cast<int>(passStarts.size()) == options.passes) break;
        }
        if (position) previous = position;
    }
    if (!options.seconds && static_cast<int>(passStarts.size()) < options.passes)
        return Result::failure("The song's order list does not come round within an hour");

    const std::uint64_t end = options.seconds ? limit : passStarts.back();
    std::optional<std::uint64_t> loop;
    if (!options.seconds && options.passes >= 2) loop = passStarts.front();

    std::vector<VgmWrite> stream;
    for (const qvxsnd::RegisterWrite& w : writes) {
        if (w.frame >= end) break;
        stream.push_back({w.frame, w.bank, w.address, w.value});
    }
    std::vector<std::uint8_t> vgm = encodeVgm(stream, end, loop, options.title);
    out = std::move(vgm);
    if (info) *info = VgmInfo{end, loop, stream.size()};
    return Result::success();
}

Result exportVgm(const Song& song, const VgmOptions& options, const std::filesystem::path& path,
                 VgmInfo* info) {
    std::vector<std::uint8_t> vgm;
    if (Result r = buildVgm(song, options, vgm, info); !r) return r;
    if (!writeFileAtomically(path, vgm))
        return Result::failure(std::string(kFailedToCreate) + displayName(path));
    return Result::success();
}

Result buildRomVgm(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1,
                   const std::vector<TimedCommand>& commands, double seconds,
                   const std::string& title, std::vector<std::uint8_t>& out, VgmInfo* info) {
    if (!(seconds > 0.0 && seconds <= kMaxRenderSeconds))
        return Result::failure("The length must be between 0 and 3600 seconds");
    // The board plays the ROMs offline at the VGM's own rate, paced by the chip's timer as on the
    // board, so a write's frame is its time.
    auto engine = std::make_unique<qvxsnd::Engine>(kVgmRate, qvxsnd::Engine::TickSource::Chip);
    std::vector<qvxsnd::RegisterWrite> writes;
    engine->setWriteObserver([&writes](const qvxsnd::RegisterWrite& w) { writes.push_back(w); });
    engine->setAdpcmRom(v1);
    engine->sendData(m1);
    renderEngine(*engine, seconds, commands, [](const std::int16_t*, std::size_t) {}, {});

    const auto end = static_cast<std::uint64_t>(seconds * kVgmRate);
    std::vector<VgmWrite> stream;
    for (const qvxsnd::RegisterWrite& w : writes)
        if (w.frame < end) stream.push_back({w.frame, w.bank, w.address, w.value});
    out = encodeVgm(stream, end, std::nullopt, title, qvxsnd::Engine::kChipClock, v1);
    if (info) *info = VgmInfo{end, std::nullopt, stream.size()};
    return Result::success();
}

std::optional<VgmStream> readVgm(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 0x40 || bytes[0] != 'V' || bytes[1] != 'g' || bytes[2] != 'm' ||
        bytes[3] != ' ')
        return std::nullopt;
    VgmStream stream;
    const std::uint32_t version = get32(bytes, 0x08);
    stream.samples = get32(bytes, 0x18);
    const std::size_t loopAt = get32(bytes, 0x1C) ? get32(bytes, 0x1C) + 0x1C : 0;
    std::size_t at = version >= 0x150 && get32(bytes, 0x34) ? get32(bytes, 0x34) + 0x34 : 0x40;
    if (bytes.size() >= 0x50) stream.ym2610Clock = get32(bytes, 0x4C);
    std::uint64_t now = 0;
    while (at < bytes.size()) {
        if (at == loopAt) stream.loopStart = now;
        const std::uint8_t command = bytes[at];
        if ((command == kWritePort0 || command == kWritePort1) && at + 2 < bytes.size()) {
            stream.writes.push_back({now, static_cast<std::uint8_t>(command - kWritePort0),
                                     bytes[at + 1], bytes[at + 2]});
            at += 3;
        } else if (command == kWait && at + 2 < bytes.size()) {
            now += static_cast<std::uint64_t>(bytes[at + 1] | bytes[at + 2] << 8);
            at += 3;
        } else if (command == kWait735 || command == kWait882) {
            now += command == kWait735 ? 735 : 882;
            ++at;
        } else if ((command & 0xF0) == kWaitShort) {
            now += (command & 0x0Fu) + 1u;
            ++at;
        } else if (command == kDataBlock && at + 7 <= bytes.size() && bytes[at + 1] == kBlockMark) {
            // Bit 31 of the size names the second of two chips; there is one.
            const std::size_t size = get32(bytes, at + 3) & 0x7FFFFFFF;
            const std::size_t data = at + 7;
            if (size > bytes.size() - data) return std::nullopt;
            if (bytes[at + 2] == kAdpcmARomBlock && size >= 8) {
                const std::size_t romSize = get32(bytes, data);
                const std::size_t start = get32(bytes, data + 4);
                if (romSize > kMaxAdpcmARom || start > romSize) return std::nullopt;
                if (stream.adpcmA.size() < romSize) stream.adpcmA.resize(romSize);
                const std::size_t n = std::min(size - 8, romSize - start);
                std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(data + 8), n,
                            stream.adpcmA.begin() + static_cast<std::ptrdiff_t>(start));
            }
            at = data + size;
        } else if (command == kEnd) {
            break;
        } else {
            return std::nullopt;
        }
    }
    const std::size_t gd3At = get32(bytes, 0x14) ? get32(bytes, 0x14) + 0x14 : 0;
    if (gd3At && gd3At + 12 <= bytes.size()) {
        for (std::size_t i = gd3At + 12; i + 1 < bytes.size(); i += 2) {
            const auto code = static_cast<std::uint16_t>(bytes[i] | bytes[i + 1] << 8);
            if (code == 0) break;
            if (code < 0x80) stream.title.push_back(static_cast<char>(code));
        }
    }
    return stream;
}

}  // namespace qvx
