// Writes the preset voices from their definitions in presets.cpp:
//   make_voices FOLDER  ->  FOLDER/<group>/<voice>.ins
#include <iostream>

#include "song/instrument_file.hpp"
#include "voices/presets.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_voices FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    for (const qvx::voices::Preset& preset : qvx::voices::presets()) {
        qvx::Song song;
        song.instruments[1].registers = preset.fields.encode();
        song.renameInstrument(1, preset.name);
        std::filesystem::create_directories(folder / preset.folder);
        const auto path = folder / preset.folder / (std::string(preset.file) + ".ins");
        if (const qvx::Result r = qvx::saveInstrumentFile(song, 1, path); !r) {
            std::cerr << r.message() << '\n';
            return 1;
        }
    }
    return 0;
}
