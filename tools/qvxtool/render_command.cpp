#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "rombuild/wav_writer.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "soundlib/engine/engine.hpp"
#include "tools/engine_sound_target.hpp"
#include "tools/offline_render.hpp"
#include "tools/qvxtool/commands.hpp"
#include "tools/vgm_file.hpp"

namespace qvx::tool {
namespace {

using qvxsnd::Engine;

constexpr std::uint32_t kRate = kRenderRate;

const std::map<std::string, Engine::TickSource> kTickSources = {
    {"host", Engine::TickSource::Host},
    {"chip", Engine::TickSource::Chip},
};

const std::map<std::string, qvxsnd::FmModel> kFmModels = {
    {"model", qvxsnd::FmModel::Documented},
    {"accurate", qvxsnd::FmModel::Accurate},
};

void addFmOption(CLI::App& cmd, std::string& fm) {
    cmd.add_option("--fm", fm,
                   "FM synthesis: model (the documented model, the default) or accurate (the "
                   "chip's own arithmetic at its own sample rate)")
        ->check(CLI::IsMember({"model", "accurate"}));
}

void checkSeconds(double seconds) {
    if (!(seconds > 0.0 && seconds <= kMaxRenderSeconds))
        fail("--seconds must be between 0 and 3600");
}

// Shows the share rendered on a terminal.
class ProgressLine {
  public:
    explicit ProgressLine(std::string label) : label_(std::move(label)) {}
    ~ProgressLine() {
        if (terminal_) std::fputc('\n', stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    RenderProgressFn function() {
        return [this](double done) {
            const int percent = static_cast<int>(done * 100);
            if (terminal_ && percent != shown_) {
                std::fprintf(stderr, "\rRendering %s: %3d%%", label_.c_str(), percent);
                shown_ = percent;
            }
            return true;
        };
    }

  private:
    std::string label_;
    bool terminal_ = ::isatty(STDERR_FILENO) == 1;
    int shown_ = -1;
};

void writeWav(const std::vector<std::int16_t>& samples, const std::string& output,
              const std::string& length) {
    if (!writeFileAtomically(output, encodeWav16(samples, 2, kRate)))
        fail(std::string(kFailedToCreate) + displayName(output));
    std::cout << "Wrote " << output << ": " << length << " of 16-bit stereo at " << kRate
              << " Hz\n";
}

// Renders `seconds` of the engine, sending each command at its time, and writes a WAV file that
// ends in a short fade.
void renderToWav(Engine& engine, double seconds, std::vector<TimedCommand> commands,
                 const std::string& label, const std::string& output) {
    std::optional<std::vector<std::int16_t>> samples;
    {
        ProgressLine progress(label);
        samples = renderEngine(engine, seconds, std::move(commands), progress.function());
    }
    fadeOut(*samples, kRate);
    std::ostringstream length;
    length << seconds << " s";
    writeWav(*samples, output, length.str());
}

struct RenderOptions {
    std::string song;
    std::string output;
    double seconds = 30.0;
    int passes = 0;
    std::optional<int> pattern;
    std::string tick = "host";
    std::string fm = "model";
};

void render(const RenderOptions& options) {
    auto song = std::make_unique<Song>();
    if (const Result r = openSong(options.song, *song); !r) fail(r.message());
    if (options.passes > 0) {
        // As the editor's WAV export: the passes, then the notes released until they die away.
        std::vector<std::int16_t> samples;
        {
            ProgressLine progress(displayName(options.song));
            const Result r = renderSong(*song, {options.passes, 0}, kFmModels.at(options.fm),
                                        progress.function(), samples);
            if (!r) fail(r.message());
        }
        std::ostringstream length;
        length << options.passes << (options.passes == 1 ? " pass" : " passes") << " ("
               << std::fixed << std::setprecision(1) << double(samples.size() / 2) / kRate << " s)";
        return writeWav(samples, options.output, length.str());
    }
    checkSeconds(options.seconds);

    // The same image and commands as Play Song / Play Pattern in the editor, through the same
    // engine, only rendered as fast as the machine allows instead of in real time.
    auto engine =
        std::make_unique<Engine>(kRate, kTickSources.at(options.tick), kFmModels.at(options.fm));
    EngineSoundTarget target(*engine);
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);
    const Result started =
        options.pattern ? playback.playPattern(*song, *options.pattern) : playback.playSong(*song);
    if (!started) fail(started.message());
    renderToWav(*engine, options.seconds, {}, displayName(options.song), options.output);
}

struct RenderRomOptions {
    std::string m1;
    std::string v1;
    std::vector<std::string> commands;
    double seconds = 30.0;
    std::string tick = "chip";
    std::string fm = "model";
    std::string output;
};

void renderRom(const RenderRomOptions& options) {
    checkSeconds(options.seconds);
    std::vector<TimedCommand> commands;
    for (const std::string& text : options.commands)
        commands.push_back(parseTimedCommand(text, options.seconds));
    const std::vector<std::uint8_t> m1 = readRomFile(options.m1, kMaxM1Bytes, "M1 ROM");
    const std::vector<std::uint8_t> v1 = options.v1.empty()
                                             ? std::vector<std::uint8_t>{}
                                             : readRomFile(options.v1, kMaxV1Bytes, "V1 ROM");

    // The board boots the M1 at power-on; the commands reach it as the main CPU would send them.
    auto engine =
        std::make_unique<Engine>(kRate, kTickSources.at(options.tick), kFmModels.at(options.fm));
    engine->setAdpcmRom(v1);
    engine->sendData(m1);
    renderToWav(*engine, options.seconds, std::move(commands), displayName(options.m1),
                options.output);
}

struct RenderVgmOptions {
    std::string input;
    std::string output;
    std::string fm = "documented";
    std::optional<double> seconds;
    std::uint32_t rate = kRate;
};

// Any VGM file of the YM2610 or YM2610B through our chip, its loop played once.
void renderVgmFile(const RenderVgmOptions& options) {
    VgmStream stream;
    if (const Result r = readVgmFile(options.input, stream); !r) fail(r.message());
    for (const std::string& note : stream.notes)
        std::cerr << "qvxtool: " << displayName(options.input) << ": " << note << '\n';
    if (options.seconds) checkSeconds(*options.seconds);
    const double length =
        double(stream.samples + (stream.loopStart ? stream.samples - *stream.loopStart : 0)) /
        kVgmRate;
    if (!options.seconds && length > kMaxRenderSeconds)
        fail(displayName(options.input) + " lasts longer than an hour; give --seconds");
    const qvxsnd::FmModel model =
        options.fm == "accurate" ? qvxsnd::FmModel::Accurate : qvxsnd::FmModel::Documented;
    std::vector<std::int16_t> samples =
        renderVgm(stream, options.rate, VgmPlay{model, true, options.seconds});
    fadeOut(samples, options.rate);
    if (!writeFileAtomically(options.output, encodeWav16(samples, 2, options.rate)))
        fail(std::string(kFailedToCreate) + displayName(options.output));
    std::cout << "Wrote " << options.output << ": " << std::fixed << std::setprecision(2)
              << double(samples.size() / 2) / options.rate << " s of 16-bit stereo at "
              << options.rate << " Hz from a " << (stream.ym2610b ? "YM2610B" : "YM2610") << " at "
              << stream.ym2610Clock << " Hz" << (stream.loopStart ? ", its loop played once" : "")
              << '\n';
}

}  // namespace

// "81@0.5" or "0x81@0.5": command 0x81 at 0.5 s.
TimedCommand parseTimedCommand(const std::string& text, double seconds) {
    const std::size_t at = text.find('@');
    const std::string number =
        text.substr(0, at).starts_with("0x") || text.substr(0, at).starts_with("0X")
            ? text.substr(2, at == std::string::npos ? std::string::npos : at - 2)
            : text.substr(0, at);
    unsigned value = 256;
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), value, 16);
    double time = -1;
    try {
        if (at != std::string::npos) time = std::stod(text.substr(at + 1));
    } catch (const std::exception&) {
        time = -1;
    }
    if (error != std::errc() || end != number.data() + number.size() || number.empty() ||
        value > 0xFF || !(time >= 0.0 && time < seconds))
        fail("--command " + text + ": give a command and a time, as 81@0.5 (hexadecimal 00-ff, " +
             "seconds within the render)");
    return {time, static_cast<std::uint8_t>(value)};
}

std::vector<std::uint8_t> readRomFile(const std::string& path, std::size_t limit,
                                      const char* what) {
    auto bytes = readFileHead(path, limit + 1);
    if (!bytes) fail(std::string(kFailedToOpen) + displayName(path));
    if (bytes->size() > limit)
        fail("The " + std::string(what) + " " + displayName(path) + " is larger than the " +
             std::to_string(limit) + " bytes the sound board can address");
    return std::move(*bytes);
}

void addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    auto* cmd = app.add_subcommand(
        "render", "Render a song (or one pattern) through the emulated sound board to a WAV file");
    cmd->add_option("song", options->song, "Song file (.mus)")->required();
    cmd->add_option("-o,--output", options->output, "WAV file to write")->required();
    auto* seconds = cmd->add_option("--seconds", options->seconds, "Length to render (default 30)");
    auto* pattern = cmd->add_option("--pattern", options->pattern,
                                    "Play this pattern alone, as Play Pattern does");
    auto* tick = cmd->add_option("--tick", options->tick,
                                 "What paces the driver: host (the editor's 16 ms tick, the "
                                 "default) or chip (the YM2610's timer interrupt, as on the board)")
                     ->check(CLI::IsMember({"host", "chip"}));
    cmd->add_option("--passes", options->passes,
                    "Render the song this many times through its order list, then its notes "
                    "released until they die away (at most 2 s), as the editor's WAV export")
        ->check(CLI::Range(1, 1000))
        ->excludes(seconds)
        ->excludes(pattern)
        ->excludes(tick);
    addFmOption(*cmd, options->fm);
    cmd->callback([options] { render(*options); });

    auto rom = std::make_shared<RenderRomOptions>();
    auto* romCmd = app.add_subcommand(
        "render-rom",
        "Boot a built M1 (and V1) on the emulated sound board, send it commands, render to WAV");
    romCmd->add_option("--m1", rom->m1, "M1 ROM (at most 64 KB)")->required();
    romCmd->add_option("--v1", rom->v1, "V1 ROM with the ADPCM-A samples (at most 16 MB)");
    romCmd->add_option("--command", rom->commands,
                       "Sound command at an emulated time, HEX@SECONDS (e.g. 81@0.5); repeatable");
    romCmd->add_option("--seconds", rom->seconds, "Length to render (default 30)");
    romCmd
        ->add_option("--tick", rom->tick,
                     "What paces the driver: chip (the YM2610's timer interrupt, as on the "
                     "board; the default) or host (the editor's 16 ms tick)")
        ->check(CLI::IsMember({"host", "chip"}));
    addFmOption(*romCmd, rom->fm);
    romCmd->add_option("-o,--output", rom->output, "WAV file to write")->required();
    romCmd->callback([rom] { renderRom(*rom); });

    auto vgm = std::make_shared<RenderVgmOptions>();
    auto* vgmCmd = app.add_subcommand(
        "render-vgm",
        "Play a VGM file of the YM2610 or YM2610B (.vgm or .vgz) through the emulated chip to a "
        "WAV file, its loop once");
    vgmCmd->add_option("vgm", vgm->input, "VGM file")->required();
    vgmCmd->add_option("-o,--output", vgm->output, "WAV file to write")->required();
    vgmCmd
        ->add_option("--fm", vgm->fm,
                     "FM synthesis: documented (the default) or accurate (the chip's own "
                     "arithmetic at its own sample rate)")
        ->check(CLI::IsMember({"documented", "model", "accurate"}));
    vgmCmd->add_option("--seconds", vgm->seconds, "Stop after this many seconds");
    vgmCmd->add_option("--rate", vgm->rate, "Output sample rate in Hz (default 44100)")
        ->check(CLI::Range(qvxsnd::YM2610::kMinRate, qvxsnd::YM2610::kMaxRate));
    vgmCmd->callback([vgm] { renderVgmFile(*vgm); });
}

}  // namespace qvx::tool
