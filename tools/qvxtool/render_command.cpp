#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "rombuild/wav_writer.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "soundlib/engine/engine.hpp"
#include "tools/engine_sound_target.hpp"
#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::size_t kChunkFrames = 512;

struct RenderOptions {
    std::string song;
    std::string output;
    double seconds = 30.0;
    std::optional<int> pattern;
};

void render(const RenderOptions& options) {
    auto song = std::make_unique<Song>();
    if (const Result r = openSong(options.song, *song); !r) fail(r.message());
    if (!(options.seconds > 0.0 && options.seconds <= 3600.0))
        fail("--seconds must be between 0 and 3600");

    // The same image and commands as Play Song / Play Pattern in the editor, through the same
    // engine, only rendered as fast as the machine allows instead of in real time.
    auto engine = std::make_unique<qvxsnd::Engine>(kRate);
    EngineSoundTarget target(*engine);
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);
    const Result started =
        options.pattern ? playback.playPattern(*song, *options.pattern) : playback.playSong(*song);
    if (!started) fail(started.message());

    const auto total = static_cast<std::size_t>(options.seconds * kRate);
    std::vector<std::int16_t> samples(total * 2);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min(kChunkFrames, total - done);
        engine->render(samples.data() + done * 2, n);
        done += n;
        const int percent = static_cast<int>(done * 100 / total);
        if (terminal && percent != shown) {
            std::fprintf(stderr, "\rRendering %s: %3d%%", displayName(options.song).c_str(),
                         percent);
            shown = percent;
        }
    }
    if (terminal) std::fputc('\n', stderr);

    if (!writeFileAtomically(options.output, encodeWav16(samples, 2, kRate)))
        fail(std::string(kFailedToCreate) + displayName(options.output));
    std::cout << "Wrote " << options.output << ": " << options.seconds << " s of 16-bit stereo at "
              << kRate << " Hz\n";
}

}  // namespace

void addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    auto* cmd = app.add_subcommand(
        "render", "Render a song (or one pattern) through the emulated sound board to a WAV file");
    cmd->add_option("song", options->song, "Song file (.mus)")->required();
    cmd->add_option("-o,--output", options->output, "WAV file to write")->required();
    cmd->add_option("--seconds", options->seconds, "Length to render (default 30)");
    cmd->add_option("--pattern", options->pattern, "Play this pattern alone, as Play Pattern does");
    cmd->callback([options] { render(*options); });
}

}  // namespace qvx::tool
