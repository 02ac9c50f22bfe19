// MAME as an independent emulator for the tests: run headless in a folder of its own, and its
// WAV recordings read back. Tests skip with kMameMissing when Debian's "mame" is not installed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.hpp"

namespace qvx::testing {

inline constexpr const char* kMameMissing = "MAME is not installed (Debian package \"mame\")";

inline bool haveMame(const std::string& program) {
    return !program.empty() && std::filesystem::exists(program);
}

struct MameRun {
    bool ok = false;
    std::string command;
    std::string output;  // what MAME printed
};

// Runs `program MACHINE-AND-OPTIONS` in `dir`, with its home, configuration, NVRAM and diff
// folders there, without video or a sound device, as fast as it goes, for `seconds` of emulated
// time, recording its sound to dir/out.wav; `options` adds to that.
inline MameRun runMame(const std::string& program, const std::filesystem::path& dir,
                       const std::string& options, double seconds, int timeoutSeconds = 600) {
    const std::string d = dir.string();
    MameRun run;
    run.command = "cd '" + d + "' && HOME='" + d + "' timeout " + std::to_string(timeoutSeconds) +
                  " '" + program + "' " + options +
                  " -video none -sound none -nothrottle -seconds_to_run " +
                  std::to_string(static_cast<int>(std::ceil(seconds))) +
                  " -wavwrite out.wav -skip_gameinfo -nvram_directory nvram -cfg_directory cfg"
                  " -diff_directory diff > mame.txt 2>&1";
    run.ok = std::system(run.command.c_str()) == 0;
    std::ifstream log(dir / "mame.txt");
    run.output.assign(std::istreambuf_iterator<char>(log), {});
    return run;
}

// A 16-bit PCM WAV file as MAME writes it.
struct WavSound {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;  // interleaved

    std::vector<double> channel(int c) const {
        std::vector<double> out;
        for (std::size_t i = static_cast<std::size_t>(c); i < samples.size();
             i += static_cast<std::size_t>(channels))
            out.push_back(samples[i]);
        return out;
    }
};

inline WavSound readWav(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readBytes(path);
    const auto u16 = [&](std::size_t at) { return std::uint32_t(bytes[at] | bytes[at + 1] << 8); };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    WavSound sound;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::uint32_t size = u32(at + 4);
        if (id == "fmt " && at + 16 <= bytes.size()) {
            sound.channels = static_cast<int>(u16(at + 10));
            sound.rate = static_cast<int>(u32(at + 12));
        } else if (id == "data" && sound.channels > 0) {
            const std::size_t end = std::min<std::size_t>(at + 8 + size, bytes.size());
            for (std::size_t s = at + 8; s + 2 <= end; s += 2)
                sound.samples.push_back(static_cast<std::int16_t>(u16(s)));
        }
        at += 8 + size + (size & 1);
    }
    return sound;
}

// MAME's vgmplay render of a VGM file at `rate`, at least `seconds` long: both channels; empty
// when MAME failed, nothing when it is not installed.
inline std::optional<WavSound> renderVgmInMame(const std::string& program,
                                               const std::vector<std::uint8_t>& vgm, double seconds,
                                               int rate) {
    if (!haveMame(program)) return std::nullopt;
    TempDir dir;
    writeBytes(dir / "in.vgm", vgm);
    // vgmplay insists on the ROMs of chips the file does not use; zeros do.
    std::filesystem::create_directories(dir / "roms" / "vgmplay");
    for (const auto& [name, size] :
         {std::pair<const char*, std::size_t>{"ym2413_instruments.bin", 144},
          {"ym2608_adpcm_rom.bin", 8192},
          {"dl-1425.bin", 24576}})
        writeBytes(dir / "roms" / "vgmplay" / name, std::vector<std::uint8_t>(size, 0));
    if (!runMame(program, dir.path(),
                 "vgmplay -rompath roms -quik in.vgm -samplerate " + std::to_string(rate),
                 seconds + 2)
             .ok)
        return WavSound{};
    WavSound sound = readWav(dir / "out.wav");
    if (sound.channels != 2 || sound.samples.size() < static_cast<std::size_t>(seconds * rate) * 2)
        return WavSound{};
    return sound;
}

}  // namespace qvx::testing
