// Writes the WAV files the qvxtool tests feed to "roms" and "adpcm" into the folder given.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/damaged_sounds.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

namespace {

bool write(const std::filesystem::path& path, const qvx::testing::Bytes& bytes) {
    return qvx::testing::writeBytes(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_wav FOLDER\n");
        return 2;
    }
    namespace t = qvx::testing;
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    // 600 samples of a decaying tone: 300 ADPCM-A bytes.
    std::vector<std::int16_t> hit = t::sine(600, 220, 0.9);
    for (std::size_t i = 0; i < hit.size(); ++i)
        hit[i] = static_cast<std::int16_t>(hit[i] * std::exp(-static_cast<double>(i) / 150));
    const std::vector<std::int16_t> silence(8, 0);
    const bool ok = write(folder / "hit.wav", t::monoWav(hit)) &&
                    write(folder / "snare drum.wav", t::monoWav(t::sine(100, 900, 0.5))) &&
                    write(folder / "silence.wav", t::monoWav(silence)) &&
                    write(folder / "stereo.wav", t::monoWav(silence, {1, 2, 18500, 4, 16})) &&
                    write(folder / "notwav.wav", t::Bytes{'h', 'e', 'l', 'l', 'o'}) &&
                    write(folder / "empty.wav", t::Bytes{});

    // The sound files the tool must refuse, each with its message on a line of the manifest.
    std::filesystem::create_directories(folder / "damaged");
    const std::vector<t::DamagedSound> damaged = t::writeDamagedSounds(folder / "damaged");
    std::ofstream manifest(folder / "damaged" / "manifest.txt");
    for (const t::DamagedSound& file : damaged)
        manifest << file.file << '\t' << file.message << '\n';
    return ok && !damaged.empty() && manifest.flush() ? 0 : 1;
}
