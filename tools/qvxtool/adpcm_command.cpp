#include <iostream>
#include <memory>
#include <sstream>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/adpcm_b.hpp"
#include "rombuild/rom_sample.hpp"
#include "rombuild/sound_file.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {
namespace {

struct AdpcmOptions {
    std::string input;
    std::string output;
    bool b = false;
    double rate = 22050;
};

// ADPCM-B: any sound file converted to mono at the rate asked for, then encoded whole.
void encodeBCommand(const AdpcmOptions& options) {
    const std::string name = displayName(options.input);
    if (!(options.rate >= 1000 && options.rate <= 55555))
        fail("--rate must be between 1000 and 55555 Hz, the rates ADPCM-B plays at 8 MHz");
    ConvertedSound sound;
    if (const Result r = convertSoundFile(options.input, name, sound, {options.rate, {}}); !r)
        fail(aboutFile(name, r.message()));
    std::ostringstream rate;
    rate << options.rate;
    if (sound.source.rate != static_cast<int>(options.rate) || sound.source.channels != 1 ||
        sound.source.sampleFormat != "16-bit")
        std::cout << name << ": " << describe(sound.source) << ", converted to " << rate.str()
                  << " Hz mono\n";
    const std::vector<std::uint8_t> encoded = adpcmb::Encoder().encodePcm(sound.pcm);
    if (!writeFileAtomically(options.output, encoded))
        fail(std::string(kFailedToCreate) + displayName(options.output));
    reportWritten(options.output);
    std::cout << "Play it at delta-N " << adpcmb::deltaN(options.rate) << " (" << rate.str()
              << " Hz on a chip at 8 MHz)\n";
}

void encodeCommand(const AdpcmOptions& options) {
    if (options.b) return encodeBCommand(options);
    const std::string name = displayName(options.input);
    RomSample sample;
    if (const Result r = readRomSample(options.input, name, sample); !r)
        fail(aboutFile(name, r.message()));
    if (const std::string report = conversionReport(sample); !report.empty())
        std::cout << report << '\n';
    if (sample.encodedSize() > adpcma::kAddressableBytes)
        fail(name + " is too long for ADPCM-A: it encodes to " +
             std::to_string(sample.encodedSize()) + " bytes and one sample can span at most " +
             std::to_string(adpcma::kAddressableBytes));

    std::vector<std::uint8_t> encoded;
    encoded.reserve(sample.encodedSize());
    const Result r = encodeRomSample(sample, [&encoded](std::span<const std::uint8_t> bytes) {
        encoded.insert(encoded.end(), bytes.begin(), bytes.end());
    });
    if (!r) fail(r.message());
    if (!writeFileAtomically(options.output, encoded))
        fail(std::string(kFailedToCreate) + displayName(options.output));
    reportWritten(options.output);
}

}  // namespace

void addAdpcmCommand(CLI::App& app) {
    auto options = std::make_shared<AdpcmOptions>();
    auto* cmd = app.add_subcommand(
        "adpcm",
        "Encode one sound file to raw YM2610 ADPCM-A bytes (converted to 18500 Hz mono 16-bit "
        "first unless it is already so), or with --b to ADPCM-B bytes");
    cmd->add_option("sound", options->input, "Sound file (WAV, AIFF, FLAC, Ogg ...)")->required();
    cmd->add_option("-o,--output", options->output, "File to write")->required();
    cmd->add_flag("--b", options->b,
                  "ADPCM-B instead: the sound converted to mono at --rate and encoded for the "
                  "ADPCM-B channel, whose delta-N to play it at is printed");
    cmd->add_option("--rate", options->rate,
                    "With --b: the rate to convert to, in Hz (default 22050)");
    cmd->callback([options] { encodeCommand(*options); });
}

}  // namespace qvx::tool
