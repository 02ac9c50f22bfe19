// Writes the seed corpus of fuzz_song_file into the folder given: a classic song and a whole-chip
// song with an FM voice, a drum kit of two samples and notes on both kinds of track, so the fuzzer
// starts from every section the readers know.
#include <cstdio>

#include "song/song_file.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_song_corpus FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    qvx::Song song;
    song.renameInstrument(1, "Bass");
    song.instruments[1].registers.fill(0x11);
    song.patterns[0].cell(0, 0) = qvx::Cell{0, 3, 1, 0x0F, 4};
    song.patterns[0].cell(3, 8) = qvx::Cell{13, 2, 0xFF, 0x0D, 0};
    bool ok = static_cast<bool>(qvx::saveSong(song, folder / "classic.mus"));

    song.convertToWholeChip();
    song.instruments[2].kind = qvx::InstrumentKind::AdpcmAKit;
    song.instruments[2].kit = qvx::singleSampleKit(qvx::makeSample("kick", {0, 900, -900, 40}));
    song.instruments[2].kit.notes[5] = {qvx::makeSample("hat", {5, -5, 5}), 20};
    song.patterns[0].cell(4, 0) = qvx::Cell{0, 4, 2, 0xFF, 0xFF};
    song.patterns[0].cell(9, 4) = qvx::Cell{5, 4, 2, 0x0C, 0};
    song.addPattern();
    song.order = {0, 1};
    ok = ok && qvx::saveSong(song, folder / "drums.mus");
    if (!ok) std::fprintf(stderr, "make_song_corpus: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
