#include <iostream>
#include <memory>

#include "song/song_file.hpp"
#include "song/voice_sound.hpp"
#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {
namespace {

void printInfo(const Song& song, std::ostream& out) {
    out << "Patterns: " << song.patternCount << '\n';
    for (int p = 0; p < song.patternCount; ++p) {
        out << "  " << patternNumberText(p) << "  " << song.patterns[p].name << '\n';
    }
    out << "Order list: " << song.order.size()
        << (song.order.size() == 1 ? " entry\n" : " entries\n");
    for (std::size_t k = 0; k < song.order.size(); ++k) {
        out << "  " << orderEntryText(static_cast<int>(k), song.order[k]) << '\n';
    }
    out << "Used instrument count: " << song.usedInstrumentCount() << '\n';
    out << "Instruments:\n";
    for (int k = 1; k <= kInstrumentCount; ++k)
        out << "  " << song.instruments[k].name << '\n';
    for (const int k : playedInstruments(song))
        if (const auto reason = silentVoiceReason(song.instruments[k].registers))
            out << "Warning: " << silentVoiceFact(k, *reason) << '\n';
}

}  // namespace

void addInfoCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("info", "Show a song's patterns, order list and instruments");
    auto path = std::make_shared<std::string>();
    cmd->add_option("song", *path, "Song file (.mus)")->required();
    cmd->callback([path] {
        auto song = std::make_unique<Song>();
        const Result result = openSong(*path, *song);
        if (!result) fail(result.message());
        std::cout << "Song: " << *path << '\n';
        printInfo(*song, std::cout);
    });
}

}  // namespace qvx::tool
