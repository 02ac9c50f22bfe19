// Writes the example files from their definitions in demo_song.cpp:
//   make_examples OUTPUT_FOLDER  ->  OUTPUT_FOLDER/demo.mus, drums.mus, slap-bass.ins
#include <iostream>

#include "examples/demo_song.hpp"
#include "examples/drum_song.hpp"
#include "song/instrument_file.hpp"
#include "song/song_file.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_examples OUTPUT_FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const qvx::Song song = qvx::examples::makeDemoSong();
    for (const qvx::Result& r : {qvx::saveSong(song, folder / "demo.mus"),
                                 qvx::saveSong(qvx::examples::makeDrumSong(), folder / "drums.mus"),
                                 qvx::saveInstrumentFile(song, qvx::examples::kDemoInstrument,
                                                         folder / "slap-bass.ins")}) {
        if (!r) {
            std::cerr << r.message() << '\n';
            return 1;
        }
    }
    return 0;
}
