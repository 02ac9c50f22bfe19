#include <iostream>
#include <memory>
#include <optional>

#include "rombuild/exports.hpp"
#include "song/file_io.hpp"
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
        if (song->kind != SongKind::WholeChip) return;
        // A whole-chip song's test M1 plays with its samples; the Mega Drive has no ADPCM-A.
        if (run == exportNeoGeoTestRom) reportWritten(neoGeoTestV1Path(options->output).string());
        if (run == exportMegaDriveTestRom) std::cout << megaDriveLeftOut(*song) << '\n';
    });
}

void reportVgm(const std::string& output, const VgmInfo& info) {
    reportWritten(output);
    std::cout << "  " << info.writes << " chip writes, "
              << static_cast<double>(info.samples) / kVgmRate << " s";
    if (info.loopStart)
        std::cout << ", looping from " << static_cast<double>(*info.loopStart) / kVgmRate << " s";
    std::cout << '\n';
}

void addVgmExport(CLI::App& app) {
    struct Options {
        std::string song;
        std::string m1;
        std::string v1;
        std::vector<std::string> commands;
        std::string output;
        std::optional<double> seconds;
        int loops = 1;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand(
        "export-vgm",
        "Write a song's YM2610 register writes with their timing as a VGM file (44100 Hz, 8 MHz "
        "YM2610, looping back to the start of its second pass), or a run of a built M1 and V1 "
        "with the V1's samples in the file");
    auto* song = cmd->add_option("song", options->song, "Song file (.mus)");
    auto* m1 = cmd->add_option("--m1", options->m1, "M1 ROM to boot instead of a song (64 KB)")
                   ->excludes(song);
    cmd->add_option("--v1", options->v1, "V1 ROM with the M1's ADPCM-A samples (16 MB)")->needs(m1);
    cmd->add_option("--command", options->commands,
                    "Sound command for the M1 at an emulated time, HEX@SECONDS; repeatable")
        ->needs(m1);
    cmd->add_option("-o,--output", options->output, "VGM file to write")->required();
    auto* seconds = cmd->add_option("--seconds", options->seconds,
                                    "A fixed length in seconds, without a loop point (an M1 "
                                    "runs 30 s unless told)");
    cmd->add_option("--loops", options->loops,
                    "Passes through the order list after the first, kept in the file (default 1)")
        ->excludes(seconds)
        ->excludes(m1)
        ->check(CLI::Range(1, 98));
    cmd->callback([options] {
        VgmInfo info;
        if (!options->m1.empty()) {
            const double length = options->seconds.value_or(30.0);
            if (!(length > 0.0 && length <= kMaxRenderSeconds))
                fail("--seconds must be between 0 and 3600");
            std::vector<TimedCommand> commands;
            for (const std::string& text : options->commands)
                commands.push_back(parseTimedCommand(text, length));
            const auto m1Bytes = readRomFile(options->m1, kMaxM1Bytes, "M1 ROM");
            const auto v1Bytes = options->v1.empty()
                                     ? std::vector<std::uint8_t>{}
                                     : readRomFile(options->v1, kMaxV1Bytes, "V1 ROM");
            std::vector<std::uint8_t> vgm;
            const std::string title = std::filesystem::path(options->m1).stem().string();
            if (const Result r = buildRomVgm(m1Bytes, v1Bytes, commands, length, title, vgm, &info);
                !r)
                fail(r.message());
            if (!writeFileAtomically(options->output, vgm))
                fail(std::string(kFailedToCreate) + displayName(options->output));
            return reportVgm(options->output, info);
        }
        if (options->song.empty()) fail("export-vgm: name a song, or an M1 with --m1");
        auto loaded = std::make_unique<Song>();
        if (const Result r = openSong(options->song, *loaded); !r) fail(r.message());
        VgmOptions vgm;
        vgm.seconds = options->seconds;
        vgm.passes = options->loops + 1;
        vgm.title = std::filesystem::path(options->song).stem().string();
        if (const Result r = exportVgm(*loaded, vgm, options->output, &info); !r) fail(r.message());
        reportVgm(options->output, info);
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
