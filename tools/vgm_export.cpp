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

// One V ROM serves both sample parts, as on the cartridges that share theirs: a file carries it
// for ADPCM-B too when the writes start that part.
bool playsAdpcmB(const std::vector<VgmWrite>& stream) {
    return std::any_of(stream.begin(), stream.end(), [](const VgmWrite& w) {
        return w.port == 0 && w.address == 0x10 && (w.value & 0x80);
    });
}

constexpr std::size_t kChunkFrames = 512;
// Register 0x27 is the first thing the driver writes on every tick: its timer acknowledge.
constexpr std::uint8_t kTickMark = 0x27;

// Keeps the V ROM a whole-chip song plays with, for the file to carry it.
class KeepingTarget : public EngineSoundTarget {
  public:
    using EngineSoundTarget::EngineSoundTarget;
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        rom.assign(v1.begin(), v1.end());
        EngineSoundTarget::sendRoms(m1, v1);
    }
    std::vector<std::uint8_t> rom;
};

}  // namespace

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
    KeepingTarget target(*engine);
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
    std::vector<std::uint8_t> vgm =
        encodeVgm(stream, end, loop, options.title, qvxsnd::Engine::kChipClock, target.rom,
                  playsAdpcmB(stream) ? std::span(target.rom) : std::span<const std::uint8_t>());
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
    out = encodeVgm(stream, end, std::nullopt, title, qvxsnd::Engine::kChipClock, v1,
                    playsAdpcmB(stream) ? v1 : std::span<const std::uint8_t>());
    if (info) *info = VgmInfo{end, std::nullopt, stream.size()};
    return Result::success();
}

}  // namespace qvx
