// Writes the seed corpus of fuzz_song_file into the folder given: a classic song and a whole-chip
// song with an FM voice, a drum kit of two samples, an SSG voice, an ADPCM-B sample and notes on
// the FM and drum tracks, so the fuzzer starts from every section the readers know.
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
    song.instruments[3].kind = qvx::InstrumentKind::SsgVoice;
    song.instruments[3].ssg =
        qvx::SsgVoice{qvx::SsgMix::Tone, 3, 13, true, 0x0E, 77, true, {15, 10, 5}, 1, 2};
    song.instruments[4].kind = qvx::InstrumentKind::AdpcmBSample;
    song.instruments[4].pitched =
        qvx::PitchedSample{qvx::makeSample("pad", {1, 2, 3, 4}), 16000, 57, 180, true};
    const int drums = qvx::wholeChipTrack(qvx::TrackKind::AdpcmA, 0);
    song.patterns[0].cell(drums, 0) = qvx::Cell{0, 4, 2, 0xFF, 0xFF};
    song.patterns[0].cell(drums + 5, 4) = qvx::Cell{5, 4, 2, 0x0C, 0};
    song.addPattern();
    song.order = {0, 1};
    ok = ok && qvx::saveSong(song, folder / "drums.mus");
    if (!ok) std::fprintf(stderr, "make_song_corpus: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
