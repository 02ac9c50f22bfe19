// Writes the seed corpus of fuzz_sound_file into the folder given: a few short sounds in each
// format libsndfile writes, and the damaged files the converter once failed on.
#include <cstdio>

#include "tests/support/damaged_sounds.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sound_corpus FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    struct Seed {
        const char* name;
        int format;
        int rate;
        int channels;
    };
    const Seed seeds[] = {
        {"pcm8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1},
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 18500, 1},
        {"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 22050, 1},
        {"ima.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 22050, 1},
        {"tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 22050, 1},
        {"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2},
        {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1},
        {"tone.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 32000, 1},
        {"tone.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 11025, 1},
        {"tone.au", SF_FORMAT_AU | SF_FORMAT_ULAW, 8000, 1},
    };
    for (const Seed& seed : seeds) {
        if (!qvx::testing::writeSoundFile(folder / seed.name, seed.format, seed.rate, seed.channels,
                                          0.02)) {
            std::fprintf(stderr, "make_sound_corpus: cannot write %s\n", seed.name);
            return 1;
        }
    }
    return qvx::testing::writeDamagedSounds(folder).empty() ? 1 : 0;
}
