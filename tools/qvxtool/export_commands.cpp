#include <iostream>
#include <memory>
#include <optional>

#include "rombuild/exports.hpp"
#include "song/song_file.hpp"
#include "tools/qvxtool/commands.hpp"
#include "tools/vgm_export.hpp"

namespace qvx::tool {
namespace {

using ExportFn = Result (*)(const Song&, ImageBuffer&, const std::filesystem::path&);

void addExport(CLI::App& app, const std::string& name, const std::string& description,
               ExportFn run) {
    struct Options {
        std::string song;
        std::string output;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand(name, description);
    cmd->add_option("song", options->song, "Song file (.mus)")->required();
    cmd->add_option("-o,--output", options->output, "File to write")->required();
    cmd->callback([options, run] {
        auto song = std::make_unique<Song>();
        if (const Result r = openSong(options->song, *song); !r) fail(r.message());
        auto buffer = std::make_unique<ImageBuffer>();
        if (const Result r = run(*song, *buffer, options->output); !r) fail(r.message());
        reportWritten(options->output);
    });
}

void addVgmExport(CLI::App& app) {
    struct Options {
        std::string song;
        std::string output;
        std::optional<double> seconds;
        int loops = 1;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand(
        "export-vgm",
        "Write the song's YM2610 register writes with their timing as a VGM file (44100 Hz, "
        "8 MHz YM2610, looping back to the start of its second pass)");
    cmd->add_option("song", options->song, "Song file (.mus)")->required();
    cmd->add_option("-o,--output", options->output, "VGM file to write")->required();
    auto* seconds = cmd->add_option("--seconds", options->seconds,
                                    "A fixed length in seconds, without a loop point");
    cmd->add_option("--loops", options->loops,
                    "Passes through the order list after the first, kept in the file (default 1)")
        ->excludes(seconds)
        ->check(CLI::Range(1, 98));
    cmd->callback([options] {
        auto song = std::make_unique<Song>();
        if (const Result r = openSong(options->song, *song); !r) fail(r.message());
        VgmOptions vgm;
        vgm.seconds = options->seconds;
        vgm.passes = options->loops + 1;
        vgm.title = std::filesystem::path(options->song).stem().string();
        VgmInfo info;
        if (const Result r = exportVgm(*song, vgm, options->output, &info); !r) fail(r.message());
        reportWritten(options->output);
        std::cout << "  " << info.writes << " chip writes, "
                  << static_cast<double>(info.samples) / kVgmRate << " s";
        if (info.loopStart)
            std::cout << ", looping from " << static_cast<double>(*info.loopStart) / kVgmRate
                      << " s";
        std::cout << '\n';
    });
}

}  // namespace

void addExportCommands(CLI::App& app) {
    addExport(app, "export-qvx0", "Write the compiled song block (\"QVX0\" onwards) alone",
              exportCompiledImage);
    addExport(app, "export-neogeo", "Write a Neo Geo test M1 ROM that plays the song from power-on",
              exportNeoGeoTestRom);
    addExport(app, "export-megadrive",
              "Write a Mega Drive test ROM (128 KB) that shows a title screen and plays the song "
              "in a loop",
              exportMegaDriveTestRom);
    addVgmExport(app);
}

}  // namespace qvx::tool
