#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "song/result.hpp"
#include "song/song.hpp"
#include "soundlib/engine/engine.hpp"

// Rendering through the emulated board as fast as the machine allows: qvxtool render and the
// editor's WAV export hear exactly what Play does, only not in real time.
namespace qvx {

inline constexpr std::uint32_t kRenderRate = 44100;
inline constexpr double kMaxRenderSeconds = 3600.0;

// A sound command sent at an emulated time.
struct TimedCommand {
    double seconds = 0;
    std::uint8_t command = 0;
};

// Told the share done so far (0 to 1) now and then; returning false stops the render.
using RenderProgressFn = std::function<bool(double done)>;

// `seconds` of 16-bit stereo from the engine, each command sent at its time; nothing when the
// progress function stopped it.
std::optional<std::vector<std::int16_t>> renderEngine(qvxsnd::Engine& engine, double seconds,
                                                      std::vector<TimedCommand> commands,
                                                      const RenderProgressFn& progress);
// The same, handing each piece (interleaved stereo, `frames` long) to `sink` instead of keeping
// it; false when the progress function stopped it.
using RenderSinkFn = std::function<void(const std::int16_t* samples, std::size_t frames)>;
bool renderEngine(qvxsnd::Engine& engine, double seconds, std::vector<TimedCommand> commands,
                  const RenderSinkFn& sink, const RenderProgressFn& progress);

struct VgmStream;

// A VGM stream's writes played into a YM2610 (or YM2610B) of its clock with its ROMs, each at its
// time, rendered at `rate` for the stream's whole length; with `loopOnce` the part from its loop
// point plays once more; `seconds` cuts it short.
struct VgmPlay {
    qvxsnd::FmModel model = qvxsnd::FmModel::Documented;
    bool loopOnce = false;
    std::optional<double> seconds;
};
std::vector<std::int16_t> renderVgm(const VgmStream& stream, std::uint32_t rate,
                                    const VgmPlay& play);
std::vector<std::int16_t> renderVgm(const VgmStream& stream, std::uint32_t rate,
                                    qvxsnd::FmModel model = qvxsnd::FmModel::Documented);

// The length of a tick of the editor's playback, in seconds.
double tickSeconds();

// How long a song's render lasts: `passes` times through its order list, or `seconds` when
// passes is 0.
struct SongLength {
    int passes = 1;
    double seconds = 0;
};
// After its last pass a song is stopped as the stop command stops it, and the render goes on while
// its notes are released, until they die away below kSilenceDbfs or for kReleaseSeconds at most.
inline constexpr double kReleaseSeconds = 2.0;
inline constexpr double kSilenceDbfs = -90.0;
// Every render ends with this fade, so that it never stops on a click.
inline constexpr double kFadeOutSeconds = 0.02;

// Fades the last kFadeOutSeconds of interleaved stereo down to a last frame of silence.
void fadeOut(std::vector<std::int16_t>& samples, std::uint32_t rate);

// The song as Play Song plays it, for `length`, by the FM synthesis `model`, as 16-bit stereo at
// kRenderRate. A render that was stopped gives nothing and sets `stopped`.
Result renderSong(const Song& song, const SongLength& length, qvxsnd::FmModel model,
                  const RenderProgressFn& progress, std::vector<std::int16_t>& out,
                  bool* stopped = nullptr);
// The same into a WAV file written safely; a render that was stopped writes nothing.
Result renderSongToWav(const Song& song, const SongLength& length,
                       const std::filesystem::path& path, qvxsnd::FmModel model,
                       const RenderProgressFn& progress, bool* stopped = nullptr);

}  // namespace qvx
