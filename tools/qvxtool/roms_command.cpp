#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>

#include "rombuild/rom_build.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"
#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {
namespace {

struct RomsOptions {
    std::vector<std::string> songs;
    std::vector<std::string> samples;
    std::string m1;
    std::string v1;
    std::string header;
    std::string padM1;
};

// "64K", "128K", or the byte counts 65536 and 131072.
std::size_t padSize(const std::string& text) {
    if (text.empty()) return 0;
    for (const std::size_t size : kM1PadSizes)
        if (text == std::to_string(size) || text == std::to_string(size / 1024) + "K" ||
            text == std::to_string(size / 1024) + "k")
            return size;
    fail("--pad-m1 " + text + ": give 64K or 128K");
}

void printCommands(const std::vector<RomCommand>& commands, std::uint8_t off,
                   std::string_view offDefine, std::ostream& out) {
    std::size_t width = 0;
    for (const RomCommand& c : commands)
        width = std::max(width, c.define.size());
    const auto number = [&out](std::uint8_t value) -> std::ostream& {
        return out << "  0x" << std::hex << std::setw(2) << std::setfill('0') << int{value}
                   << std::dec << std::setfill(' ') << "  ";
    };
    for (const RomCommand& c : commands) {
        number(c.number) << std::left << std::setw(static_cast<int>(width)) << c.define
                         << std::right << "  " << c.name << " (" << c.bytes << " bytes)\n";
    }
    number(off) << offDefine << '\n';
}

void buildRomsCommand(const RomsOptions& options) {
    const std::size_t padTo = padSize(options.padM1);
    std::vector<RomSong> songs(options.songs.size());
    for (std::size_t i = 0; i < songs.size(); ++i) {
        if (const Result r = readRomSong(options.songs[i], displayName(options.songs[i]), songs[i]);
            !r)
            fail(r.message());
    }
    std::vector<RomSample> samples(options.samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::string name = displayName(options.samples[i]);
        if (const Result r = readRomSample(options.samples[i], name, samples[i]); !r)
            fail(aboutFile(name, r.message()));
        if (const std::string report = conversionReport(samples[i]); !report.empty())
            std::cout << report << '\n';
    }

    const RomCommands commands = romCommands(songs, samples);
    std::cout << "Songs:\n";
    printCommands(commands.songs, driver::command::kStop, "SOUND_FM_OFF", std::cout);
    std::cout << "Samples:\n";
    printCommands(commands.samples, driver::command::kAdpcmOff, "SOUND_ADPCM_OFF", std::cout);
    const RomSpace space = romSpace(songs, samples);
    std::cout << "M1 space remaining: " << space.m1 << " bytes\n";
    std::cout << "V1 space remaining: " << space.v1 << " bytes\n";

    const RomOutputs outputs{options.v1, options.m1, options.header, padTo};
    if (outputs.v1.empty() && outputs.m1.empty() && outputs.header.empty()) return;
    const RomBuildResult result = buildRoms(songs, samples, outputs);
    for (const RomOutput output : result.written)
        reportWritten(outputs.path(output));
    const std::vector<std::string> messages = result.messages();
    if (messages.empty()) return;
    for (std::size_t i = 0; i + 1 < messages.size(); ++i)
        std::cerr << "qvxtool: " << messages[i] << '\n';
    fail(messages.back());
}

}  // namespace

void addRomsCommand(CLI::App& app) {
    auto options = std::make_shared<RomsOptions>();
    auto* cmd = app.add_subcommand(
        "roms", "Build the M1 and V1 sound ROMs and the command header from songs and samples");
    using namespace driver::command;
    cmd->add_option("--song", options->songs,
                    "Song file (.mus); songs play as commands " + commandText(kFirstSong) + ", " +
                        commandText(kFirstSong + 1) + ", ... in this order");
    cmd->add_option("--sample", options->samples,
                    "Sound file (WAV, AIFF, FLAC, Ogg ...; converted to 18500 Hz mono 16-bit "
                    "unless it is already so); samples play as commands " +
                        commandText(kFirstSample) + ", " + commandText(kFirstSample + 1) +
                        ", ... in this order");
    cmd->add_option("--m1", options->m1, "M1 ROM to write (driver, sample table, songs)");
    cmd->add_option("--v1", options->v1, "V1 ROM to write (ADPCM-A samples)");
    cmd->add_option("--pad-m1", options->padM1,
                    "Fill the M1 up to 64K or 128K with 0xFF, as EPROM burners and emulators "
                    "expect (default: as built)");
    cmd->add_option("--header", options->header, "C header to write with the command numbers");
    cmd->callback([options] { buildRomsCommand(*options); });
}

}  // namespace qvx::tool
