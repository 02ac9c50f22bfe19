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

}  // namespace qvx::testing
