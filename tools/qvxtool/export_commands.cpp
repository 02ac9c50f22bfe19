#include <iostream>
#include <memory>

#include "rombuild/exports.hpp"
#include "song/song_file.hpp"
#include "tools/qvxtool/commands.hpp"

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
}

}  // namespace qvx::tool
