// The Mega Drive test ROM of the example song in a real emulator: MAME's "genesis" driver boots
// it headless, records its sound and takes a snapshot of its screen when it stops. (No Lua
// script: with a frame callback MAME 0.251 often crashes on its way out.) Skipped when MAME is not
// installed (Debian package "mame").
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "examples/demo_song.hpp"
#include "rombuild/exports.hpp"
#include "tests/support/mame.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using testing::readBytes;
using testing::TempDir;

// The distinct colours of a PNG picture (8-bit RGB or RGBA, as MAME's snapshots are), or -1 when
// it cannot be read.
int pngColours(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> png = readBytes(path);
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t(png[at]) << 24 | std::uint32_t(png[at + 1]) << 16 |
               std::uint32_t(png[at + 2]) << 8 | png[at + 3];
    };
    std::uint32_t width = 0, height = 0;
    int channels = 0;
    std::vector<std::uint8_t> packed;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t size = be32(at);
        const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                               png.begin() + static_cast<std::ptrdiff_t>(at + 8));
        if (at + 12 + size > png.size()) return -1;
        const auto body = png.begin() + static_cast<std::ptrdiff_t>(at + 8);
        if (type == "IHDR") {
            width = be32(at + 8);
            height = be32(at + 12);
            if (body[8] != 8 || (body[9] != 2 && body[9] != 6) || body[12] != 0) return -1;
            channels = body[9] == 2 ? 3 : 4;
        } else if (type == "IDAT") {
            packed.insert(packed.end(), body, body + size);
        }
        at += 12 + size;
    }
    const std::size_t stride = std::size_t{width} * static_cast<std::size_t>(channels);
    std::vector<std::uint8_t> raw(std::size_t{height} * (stride + 1));
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (channels == 0 ||
        uncompress(raw.data(), &rawSize, packed.data(), static_cast<uLong>(packed.size())) !=
            Z_OK ||
        rawSize != raw.size())
        return -1;
    // Undo each scanline's filter against the line above.
    std::vector<std::uint8_t> above(stride, 0), line(stride);
    std::set<std::uint32_t> colours;
    const auto bpp = static_cast<std::size_t>(channels);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = &raw[y * (stride + 1)];
        for (std::size_t x = 0; x < stride; ++x) {
            const int a = x >= bpp ? line[x - bpp] : 0, b = above[x],
                      c = x >= bpp ? above[x - bpp] : 0;
            int predicted = 0;
            switch (in[0]) {
                case 1:
                    predicted = a;
                    break;
                case 2:
                    predicted = b;
                    break;
                case 3:
                    predicted = (a + b) / 2;
                    break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                              pc = std::abs(p - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default:
                    break;
            }
            line[x] = static_cast<std::uint8_t>(in[1 + x] + predicted);
        }
        for (std::size_t x = 0; x < stride; x += bpp)
            colours.insert(std::uint32_t(line[x]) << 16 | std::uint32_t(line[x + 1]) << 8 |
                           line[x + 2]);
        above = line;
    }
    return static_cast<int>(colours.size());
}

struct Sound {
    int rate = 0;
    std::vector<double> left;
};

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
    if (!testing::haveMame(QVX_MAME))
        GTEST_SKIP() << testing::kMameMissing
                     << ": the Mega Drive test ROM is not run in a real "
                        "emulator";

    TempDir dir;
    auto buffer = std::make_unique<ImageBuffer>();
    ASSERT_TRUE(exportMegaDriveTestRom(examples::makeDemoSong(), *buffer, dir / "testrom.bin"));

    const std::filesystem::path snapshots = QVX_MAME_SNAPSHOTS;
    std::filesystem::remove_all(snapshots);
    const testing::MameRun run = testing::runMame(
        QVX_MAME, dir.path(),
        "genesis -cart testrom.bin -snapshot_directory '" + snapshots.string() + "'", 4, 300);
    ASSERT_TRUE(run.ok) << run.command << "\n" << run.output;

    // The title screen, in the snapshot MAME takes when it stops: more than a backdrop.
    const int colours = pngColours(snapshots / "genesis" / "0000.png");
    EXPECT_GE(colours, 4) << "the screen is (nearly) blank, or no snapshot was taken";

    // The first notes are A-2 on the bass and A-4 on the organ: their common partial is the A
    // at 440 Hz, as the editor plays it (F-number 1038, block 4, YM2610 at 8 MHz).
    const testing::WavSound wav = testing::readWav(dir / "out.wav");
    const Sound sound{wav.rate, wav.channel(0)};
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
