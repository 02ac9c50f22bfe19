#include <iostream>
#include <memory>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/rom_sample.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {
namespace {

struct AdpcmOptions {
    std::string input;
    std::string output;
};

void encodeCommand(const AdpcmOptions& options) {
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
        "first unless it is already so)");
    cmd->add_option("sound", options->input, "Sound file (WAV, AIFF, FLAC, Ogg ...)")->required();
    cmd->add_option("-o,--output", options->output, "File to write")->required();
    cmd->callback([options] { encodeCommand(*options); });
}

}  // namespace qvx::tool
