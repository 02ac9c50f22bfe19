// The Mega Drive test ROM of the example song in a real emulator: MAME's "genesis" driver boots
// it headless, records its sound and looks at its screen. Skipped when MAME is not installed
// (Debian package "mame").
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "examples/demo_song.hpp"
#include "rombuild/exports.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using testing::readBytes;
using testing::TempDir;

// Counts the screen's colours after two seconds and keeps a snapshot for a person to look at.
constexpr const char* kLookAtTheScreen = R"(
local frames = 0
emu.register_frame_done(function()
  frames = frames + 1
  if frames == 120 then
    for tag, screen in pairs(manager.machine.screens) do
      local pixels, width, height = screen:pixels()
      local seen, count = {}, 0
      for i = 1, #pixels, 4 do
        local p = string.sub(pixels, i, i + 3)
        if not seen[p] then seen[p] = true; count = count + 1 end
      end
      print(string.format("screen %dx%d colours %d", width, height, count))
    end
    manager.machine.video:snapshot()
  end
end)
)";

struct Sound {
    int rate = 0;
    std::vector<double> left;
};

// The first channel of a 16-bit PCM WAV file.
Sound readWav(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readBytes(path);
    const auto u16 = [&](std::size_t at) { return bytes[at] | bytes[at + 1] << 8; };
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16;
    };
    Sound sound;
    int channels = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::uint32_t size = u32(at + 4);
        if (id == "fmt ") {
            channels = u16(at + 10);
            sound.rate = static_cast<int>(u32(at + 12));
        } else if (id == "data" && channels > 0) {
            const std::size_t end = std::min<std::size_t>(at + 8 + size, bytes.size());
            for (std::size_t s = at + 8; s + 2 <= end; s += 2 * static_cast<std::size_t>(channels))
                sound.left.push_back(static_cast<std::int16_t>(u16(s)));
        }
        at += 8 + size + (size & 1);
    }
    return sound;
}

// The power of the sound at `hz` over samples [from, from + count) (a Hann window against the
// neighbours' leakage).
double powerAt(const Sound& sound, std::size_t from, std::size_t count, double hz) {
    const double w = 2 * std::numbers::pi * hz / sound.rate;
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(count));
        const double x = sound.left[from + i] * hann;
        re += x * std::cos(w * double(i));
        im -= x * std::sin(w * double(i));
    }
    return re * re + im * im;
}

// The frequency of the strongest partial between `low` and `high` Hz, to a hundredth of a hertz.
double strongestPartial(const Sound& sound, std::size_t from, std::size_t count, double low,
                        double high) {
    double best = low;
    for (double step : {0.5, 0.01}) {
        const double a = step == 0.5 ? low : best - 0.5;
        const double b = step == 0.5 ? high : best + 0.5;
        double bestPower = -1;
        for (double hz = a; hz <= b; hz += step) {
            if (const double p = powerAt(sound, from, count, hz); p > bestPower) {
                bestPower = p;
                best = hz;
            }
        }
    }
    return best;
}

TEST(MameGenesis, TheTestRomShowsItsScreenAndPlaysInTune) {
    const char* mame = QVX_MAME;
    if (std::string(mame).empty() || !std::filesystem::exists(mame))
        GTEST_SKIP() << "MAME is not installed (Debian package \"mame\"): the Mega Drive test ROM "
                        "is not run in a real emulator";

    TempDir dir;
    auto buffer = std::make_unique<ImageBuffer>();
    ASSERT_TRUE(exportMegaDriveTestRom(examples::makeDemoSong(), *buffer, dir / "testrom.bin"));
    std::ofstream(dir / "screen.lua") << kLookAtTheScreen;

    const std::filesystem::path snapshots = QVX_MAME_SNAPSHOTS;
    std::filesystem::remove_all(snapshots);
    const std::string d = dir.path().string();
    const std::string command =
        "cd '" + d + "' && HOME='" + d + "' timeout 300 '" + mame +
        "' genesis -cart testrom.bin -video none -sound none -nothrottle -seconds_to_run 4"
        " -wavwrite sound.wav -autoboot_script screen.lua -skip_gameinfo"
        " -snapshot_directory '" +
        snapshots.string() +
        "' -nvram_directory nvram"
        " -cfg_directory cfg -diff_directory diff > mame.txt 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream log(dir / "mame.txt");
    const std::string output((std::istreambuf_iterator<char>(log)), {});
    ASSERT_EQ(status, 0) << command << "\n" << output;

    // The title screen: more than a backdrop.
    const std::string seen = "screen 256x224 colours ";
    const std::size_t at = output.find(seen);
    ASSERT_NE(at, std::string::npos) << output;
    const int colours = std::atoi(output.c_str() + at + seen.size());
    EXPECT_GE(colours, 4) << "the screen is (nearly) blank";

    // The first notes are A-2 on the bass and A-4 on the organ: their common partial is the A
    // at 440 Hz, as the editor plays it (F-number 1038, block 4, YM2610 at 8 MHz).
    const Sound sound = readWav(dir / "sound.wav");
    ASSERT_GT(sound.rate, 0);
    std::size_t onset = 0;
    while (onset < sound.left.size() && std::abs(sound.left[onset]) < 500)
        ++onset;
    const std::size_t from = onset + static_cast<std::size_t>(sound.rate) * 15 / 100;
    const std::size_t count = static_cast<std::size_t>(sound.rate) / 2;
    ASSERT_LE(from + count, sound.left.size()) << "no sound from the Mega Drive";
    const double expected = 1038 * 8e6 / 144 * 8 / (1 << 20);
    const double heard = strongestPartial(sound, from, count, 400, 480);
    const double cents = 1200 * std::log2(heard / expected);
    EXPECT_LT(std::abs(cents), 10.0) << "heard " << heard << " Hz, expected " << expected << " Hz";
    std::printf("MAME genesis: %d colours on screen; A heard at %.2f Hz (%+.1f cents)\n", colours,
                heard, cents);
}

}  // namespace
}  // namespace qvx
