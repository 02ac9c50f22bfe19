#include "tools/offline_render.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "driver/memory_map.hpp"
#include "rombuild/wav_writer.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "soundlib/engine/tick_schedule.hpp"
#include "tools/engine_sound_target.hpp"
#include "tools/vgm_export.hpp"

namespace qvx {
namespace {

constexpr std::size_t kChunkFrames = 512;

}  // namespace

bool renderEngine(qvxsnd::Engine& engine, double seconds, std::vector<TimedCommand> commands,
                  const RenderSinkFn& sink, const RenderProgressFn& progress) {
    std::stable_sort(
        commands.begin(), commands.end(),
        [](const TimedCommand& a, const TimedCommand& b) { return a.seconds < b.seconds; });
    const std::uint32_t rate = engine.sampleRate();
    const auto total = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> chunk(kChunkFrames * 2);
    auto next = commands.begin();
    // The board runs ahead of the chip by the chip's output delay, and a command reaches it where
    // it has got to; so each goes in that much earlier, to be taken at its own board time.
    const auto lead = static_cast<std::size_t>(engine.chip().outputDelay());
    const auto frameOf = [rate, lead](const TimedCommand& c) {
        const auto frame = static_cast<std::size_t>(c.seconds * rate);
        return frame > lead ? frame - lead : 0;
    };
    for (std::size_t done = 0; done < total;) {
        while (next != commands.end() && frameOf(*next) <= done) {
            engine.sendCommand(next->command);
            ++next;
        }
        std::size_t n = std::min(kChunkFrames, total - done);
        if (next != commands.end()) n = std::min(n, frameOf(*next) - done);
        engine.render(chunk.data(), n);
        sink(chunk.data(), n);
        done += n;
        if (progress && !progress(static_cast<double>(done) / static_cast<double>(total)))
            return false;
    }
    return true;
}

std::optional<std::vector<std::int16_t>> renderEngine(qvxsnd::Engine& engine, double seconds,
                                                      std::vector<TimedCommand> commands,
                                                      const RenderProgressFn& progress) {
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(seconds * engine.sampleRate()) * 2);
    const auto keep = [&samples](const std::int16_t* piece, std::size_t frames) {
        samples.insert(samples.end(), piece, piece + frames * 2);
    };
    if (!renderEngine(engine, seconds, std::move(commands), keep, progress)) return std::nullopt;
    return samples;
}

std::vector<std::int16_t> renderVgm(const VgmStream& stream, std::uint32_t rate,
                                    const VgmPlay& play) {
    qvxsnd::YM2610 chip(stream.ym2610Clock ? stream.ym2610Clock : qvxsnd::YM2610::kDefaultClock,
                        rate, play.model);
    chip.setYm2610B(stream.ym2610b);
    chip.setAdpcmRom(stream.adpcmA);
    if (!stream.adpcmB.empty()) chip.setAdpcmBRom(stream.adpcmB);
    // The writes in time order; the looped part once more after the end.
    std::vector<VgmWrite> writes = stream.writes;
    std::uint64_t samples = stream.samples;
    if (play.loopOnce && stream.loopStart) {
        const std::uint64_t loop = *stream.loopStart;
        for (const VgmWrite& w : stream.writes)
            if (w.sample >= loop)
                writes.push_back({w.sample + samples - loop, w.port, w.address, w.value});
        samples += samples - loop;
    }
    if (play.seconds)
        samples = std::min<std::uint64_t>(samples, std::uint64_t(*play.seconds * kVgmRate));
    // A write at time t is heard from the first sample at or after t: rounding to the nearest
    // sample instead would shift some notes a sample against others.
    const std::uint64_t total = (samples * rate + kVgmRate - 1) / kVgmRate;
    std::vector<std::int16_t> out(total * 2);
    std::uint64_t done = 0;
    // Each write goes in early by the chip's output delay, so that it is heard on its frame.
    const auto delay = static_cast<std::uint64_t>(chip.outputDelay());
    for (const VgmWrite& w : writes) {
        if (w.sample >= samples) break;
        // The frame the write falls in, and where in it: the SSG takes it there.
        const std::uint64_t exact = w.sample * rate;
        const std::uint64_t frame = exact / kVgmRate;
        const auto units = static_cast<std::uint32_t>(exact % kVgmRate * chip.clock() / kVgmRate);
        const std::uint64_t at = std::min(frame > delay ? frame - delay : 0, total);
        if (at > done) {
            chip.render(out.data() + done * 2, at - done);
            done = at;
        }
        chip.setWriteOffset(frame > delay && at < total ? units : 0);
        chip.writeRegister(w.port, w.address, w.value);
    }
    if (total > done) chip.render(out.data() + done * 2, total - done);
    return out;
}

std::vector<std::int16_t> renderVgm(const VgmStream& stream, std::uint32_t rate,
                                    qvxsnd::FmModel model) {
    return renderVgm(stream, rate, VgmPlay{model, false, std::nullopt});
}

void fadeOut(std::vector<std::int16_t>& samples, std::uint32_t rate) {
    const std::size_t frames = samples.size() / 2;
    const std::size_t fade = std::min(frames, static_cast<std::size_t>(kFadeOutSeconds * rate));
    for (std::size_t i = 0; i < fade; ++i) {
        const double gain = double(i) / double(std::max<std::size_t>(fade, 2) - 1);
        for (std::size_t c = 0; c < 2; ++c) {
            std::int16_t& v = samples[2 * (frames - 1 - i) + c];
            v = static_cast<std::int16_t>(std::lround(v * gain));
        }
    }
}

double tickSeconds() {
    return static_cast<double>(qvxsnd::TickSchedule::kPeriod) / qvxsnd::Engine::kCpuClock;
}

namespace {

// Where the sound after `from` has died away: the end of the first 10 ms below kSilenceDbfs.
std::size_t diedAway(const std::vector<std::int16_t>& samples, std::size_t from) {
    const auto quiet = static_cast<int>(32768 * std::pow(10.0, kSilenceDbfs / 20));
    constexpr std::size_t kWindow = kRenderRate / 100;
    const std::size_t frames = samples.size() / 2;
    for (std::size_t start = from; start + kWindow <= frames; start += kWindow) {
        const auto loud =
            std::find_if(samples.begin() + std::ptrdiff_t(2 * start),
                         samples.begin() + std::ptrdiff_t(2 * (start + kWindow)),
                         [quiet](std::int16_t v) { return std::abs(int{v}) > quiet; });
        if (loud == samples.begin() + std::ptrdiff_t(2 * (start + kWindow))) return start + kWindow;
    }
    return frames;
}

}  // namespace

Result renderSong(const Song& song, const SongLength& length, qvxsnd::FmModel model,
                  const RenderProgressFn& progress, std::vector<std::int16_t>& out, bool* stopped) {
    if (stopped) *stopped = false;
    const double passSeconds = static_cast<double>(songTicks(song)) * tickSeconds();
    const bool byPasses = length.passes > 0;
    const double seconds = byPasses ? length.passes * passSeconds : length.seconds;
    if (!(seconds > 0.0 && seconds <= kMaxRenderSeconds))
        return Result::failure(byPasses ? "The song lasts more than 3600 seconds that often"
                                        : "The length must be between 0 and 3600 seconds");
    auto engine =
        std::make_unique<qvxsnd::Engine>(kRenderRate, qvxsnd::Engine::TickSource::Host, model);
    EngineSoundTarget target(*engine);
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);
    if (Result started = playback.playSong(song); !started) return started;

    std::vector<std::int16_t> samples;
    const auto keep = [&samples](const std::int16_t* piece, std::size_t frames) {
        samples.insert(samples.end(), piece, piece + frames * 2);
    };
    if (!byPasses) {
        if (!renderEngine(*engine, seconds, {}, keep, progress)) {
            if (stopped) *stopped = true;
            return Result::success();
        }
    } else {
        // The passes count from the song's first row, which comes after the driver's start-up:
        // render up to it in small steps, then on to the moment just before the row that would
        // start the song over, where it is stopped.
        constexpr std::size_t kStep = 32;
        std::int16_t piece[kStep * 2];
        while (!engine->playPosition() && samples.size() / 2 < kRenderRate) {
            engine->render(piece, kStep);
            keep(piece, kStep);
        }
        const double stopAt = seconds - 0.001;
        const std::size_t stopFrame = samples.size() / 2 + std::size_t(stopAt * kRenderRate);
        if (!renderEngine(*engine, stopAt + kReleaseSeconds, {{stopAt, driver::command::kStop}},
                          keep, progress)) {
            if (stopped) *stopped = true;
            return Result::success();
        }
        samples.resize(2 * diedAway(samples, stopFrame));
    }
    fadeOut(samples, kRenderRate);
    out = std::move(samples);
    return Result::success();
}

Result renderSongToWav(const Song& song, const SongLength& length,
                       const std::filesystem::path& path, qvxsnd::FmModel model,
                       const RenderProgressFn& progress, bool* stopped) {
    bool wasStopped = false;
    std::vector<std::int16_t> samples;
    if (Result r = renderSong(song, length, model, progress, samples, &wasStopped); !r) return r;
    if (stopped) *stopped = wasStopped;
    if (wasStopped) return Result::success();
    if (!writeFileAtomically(path, encodeWav16(samples, 2, kRenderRate)))
        return Result::failure(std::string(kFailedToCreate) + displayName(path));
    return Result::success();
}

}  // namespace qvx
