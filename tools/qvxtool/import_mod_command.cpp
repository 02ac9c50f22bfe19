#include <iostream>
#include <memory>

#include "song/mod_import.hpp"
#include "song/song_file.hpp"
#include "tools/qvxtool/commands.hpp"
#include "voices/mod_voices.hpp"

namespace qvx::tool {

void addImportModCommand(CLI::App& app) {
    struct Options {
        std::string module;
        std::string output;
        bool wholeChip = false;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("import-mod",
                                   "Convert a four-channel ProTracker module (M.K.) into a song");
    cmd->add_option("module", options->module, "ProTracker module (.mod)")->required();
    cmd->add_option("-o,--output", options->output, "Song file to write (.mus)")->required();
    cmd->add_flag("--whole-chip", options->wholeChip,
                  "Make a whole-chip song: every effect as ProTracker plays it, and each sample's "
                  "instrument a preset voice");
    cmd->callback([options] {
        auto song = std::make_unique<Song>();
        ModImportReport report;
        const ModImportOptions how{options->wholeChip, voices::presetVoiceForSample};
        if (const Result r = importMod(options->module, *song, &report, how); !r) fail(r.message());
        if (const Result r = saveSong(*song, options->output); !r) fail(r.message());

        std::cout << "Imported " << options->module
                  << (options->wholeChip ? " as a whole-chip song" : "") << '\n';
        std::cout << "Patterns: " << report.patterns << '\n';
        if (report.patternsInFile > static_cast<std::uint64_t>(report.patterns)) {
            std::cout << "Patterns left out (the file's size gives " << report.patternsInFile
                      << ", a song holds " << kMaxPatterns << "): "
                      << report.patternsInFile - static_cast<std::uint64_t>(report.patterns)
                      << '\n';
        }
        std::cout << "Order entries: " << report.orderEntries << '\n';
        std::cout << "Notes dropped (no recognised period): " << report.droppedNotes << '\n';
        if (report.clearedSampleNumbers > 0) {
            std::cout << "Sample numbers above " << kInstrumentCount
                      << " stored as no instrument: " << report.clearedSampleNumbers << '\n';
        }
        std::cout << "Wrote " << options->output << '\n';
    });
}

}  // namespace qvx::tool
