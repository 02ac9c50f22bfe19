// The built sound ROMs in MAME's Neo Geo, the emulator homebrew developers test with, against the
// preview of the same ROMs (the chip-paced, chip-accurate render that qvxtool render-rom gives).
// MAME's "aes" machine runs a cartridge this test writes, listed in a software list of its own,
// with a stand-in system ROM (neogeo/system_rom.s) that sends a table of sound commands at set
// video frames and logs the Z80's answers on the memory card. Skipped without MAME.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "examples/demo_song.hpp"
#include "examples/drum_song.hpp"
#include "rombuild/exports.hpp"
#include "rombuild/rom_maker.hpp"
#include "rombuild/wav_writer.hpp"
#include "song/mod_import.hpp"
#include "song/song_file.hpp"
#include "tests/support/effects_module.hpp"
#include "tests/support/fm_notes.hpp"
#include "tests/support/mame.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/offline_render.hpp"
#include "voices/mod_voices.hpp"

namespace qvx {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRate = testing::kNotesChipRate;  // the chip's 55555.6 Hz, to the hertz
constexpr double kLineSeconds = 384.0 / 6e6;              // a video line of the Neo Geo
constexpr int kFrameLines = 264;

struct Command {
    int frame;  // video frames after the Z80's first answer
    std::uint8_t command;
};

struct Answer {
    int frame;
    std::uint8_t command;
    std::uint8_t answer;
    bool operator==(const Answer&) const = default;
};

struct MameResult {
    std::string failure;  // empty when MAME ran
    std::vector<double> sound;
    std::vector<Answer> answers;
    std::vector<double> sentAt;    // when each command was written, in seconds after reset
    std::vector<int> answerReads;  // the system ROM's reads until the answer changed
    double firstBlank = 0;         // when the first vertical blank came
};

Bytes padded(Bytes bytes, std::size_t size, std::uint8_t fill) {
    bytes.resize(std::max(size, bytes.size()), fill);
    return bytes;
}

// The Neo Geo's 68000 ROMs are dumped with the bytes of each word swapped.
Bytes swappedWords(Bytes bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

std::string sha1(const std::filesystem::path& path) {
    std::string digest(40, '?');
    if (FILE* pipe = ::popen(("sha1sum '" + path.string() + "'").c_str(), "r")) {
        if (std::fread(digest.data(), 1, digest.size(), pipe) != digest.size()) digest.clear();
        ::pclose(pipe);
    }
    return digest;
}

// The cartridge's files in MAME's ROM folder, and its entry in a "neogeo" software list. The P
// ROM only carries the command table; the fix layer and the sprites are blank.
std::string writeCartridge(const std::filesystem::path& dir, const Bytes& m1, const Bytes& v1,
                           const std::vector<Command>& table) {
    Bytes p1(0x100000, 0xFF);
    std::size_t at = 0x200;
    for (const Command& c : table) {
        p1[at++] = static_cast<std::uint8_t>(c.frame >> 8);
        p1[at++] = static_cast<std::uint8_t>(c.frame);
        p1[at++] = 0;
        p1[at++] = c.command;
    }
    const std::size_t v1Size = std::max<std::size_t>(0x100000, std::bit_ceil(v1.size()));
    struct Area {
        const char* name;
        std::size_t regionSize;
        std::vector<std::pair<std::string, Bytes>> roms;
        const char* loadflag;
    };
    const std::vector<Area> areas = {
        {"maincpu", 0x100000, {{"qvx-p1.p1", swappedWords(p1)}}, "load16_word_swap"},
        {"fixed", 0x40000, {{"qvx-s1.s1", Bytes(0x20000)}}, nullptr},
        {"audiocpu", std::max<std::size_t>(0x20000, m1.size()), {{"qvx-m1.m1", m1}}, nullptr},
        {"ymsnd:adpcma", v1Size, {{"qvx-v1.v1", padded(v1, v1Size, 0x80)}}, nullptr},
        {"sprites",
         0x200000,
         {{"qvx-c1.c1", Bytes(0x100000)}, {"qvx-c2.c2", Bytes(0x100000)}},
         "load16_byte"}};
    const std::filesystem::path folder = dir / "roms" / "neogeo" / "qvxtest";
    std::filesystem::create_directories(folder);
    std::string entry =
        "  <software name=\"qvxtest\">\n    <description>QVXTracker sound test</description>\n"
        "    <year>2026</year>\n    <publisher>QVXTracker</publisher>\n"
        "    <part name=\"cart\" interface=\"neo_cart\">\n";
    char line[512];
    for (const Area& area : areas) {
        const bool program = area.name == std::string_view("maincpu");
        std::snprintf(line, sizeof line, "      <dataarea name=\"%s\"%s size=\"0x%zx\">\n",
                      area.name, program ? " width=\"16\" endianness=\"big\"" : "",
                      area.regionSize);
        entry += line;
        std::size_t offset = 0;
        for (const auto& [name, bytes] : area.roms) {
            testing::writeBytes(folder / name, bytes);
            std::snprintf(line, sizeof line,
                          "        <rom%s%s%s name=\"%s\" offset=\"0x%zx\" size=\"0x%zx\" "
                          "crc=\"%08lx\" sha1=\"%s\"/>\n",
                          area.loadflag ? " loadflag=\"" : "", area.loadflag ? area.loadflag : "",
                          area.loadflag ? "\"" : "", name.c_str(), offset, bytes.size(),
                          crc32(0, bytes.data(), static_cast<uInt>(bytes.size())),
                          sha1(folder / name).c_str());
            entry += line;
            offset += area.loadflag && std::string_view(area.loadflag) == "load16_byte"
                          ? 1
                          : bytes.size();
        }
        entry += "      </dataarea>\n";
    }
    entry += "    </part>\n  </software>\n";
    std::filesystem::create_directories(dir / "hash");
    const std::string list =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE softwarelist SYSTEM \"softwarelist.dtd\">\n"
        "<softwarelist name=\"neogeo\" description=\"QVXTracker sound tests\">\n" +
        entry + "</softwarelist>\n";
    testing::writeBytes(dir / "hash" / "neogeo.xml", Bytes(list.begin(), list.end()));
    return entry;
}

MameResult playInMame(const Bytes& m1, const Bytes& v1, const std::vector<Command>& table,
                      double seconds) {
    MameResult result;
    TempDir dir;
    writeCartridge(dir.path(), m1, v1, table);
    // The stand-in system ROM as the Asian AES's, and a blank zoom table: MAME warns that their
    // checksums are not the real ones and runs them.
    std::filesystem::create_directories(dir / "roms" / "aes");
    testing::writeBytes(
        dir / "roms" / "aes" / "neo-epo.bin",
        swappedWords(padded(testing::readBytes(QVX_NEOGEO_SYSTEM_ROM), 0x20000, 0xFF)));
    testing::writeBytes(dir / "roms" / "aes" / "000-lo.lo", Bytes(0x20000));
    testing::writeBytes(dir / "card.neo", Bytes(2048));
    const testing::MameRun run =
        testing::runMame(QVX_MAME, dir.path(),
                         "aes -bios asia -cart qvxtest -memc card.neo -hashpath hash -rompath "
                         "roms -samplerate " +
                             std::to_string(kRate),
                         seconds);
    if (!run.ok) {
        result.failure = run.command + "\n" + run.output;
        return result;
    }
    const testing::WavSound wav = testing::readWav(dir / "out.wav");
    const std::vector<double> left = wav.channel(0), right = wav.channel(1);
    for (std::size_t i = 0; i < left.size(); ++i)
        result.sound.push_back((left[i] + right[i]) / 2);
    // The system ROM's log: where in the video frame each thing happened, by the line counter,
    // and in which frame. A frame has 264 lines of 64 us.
    const Bytes card = testing::readBytes(dir / "card.neo");
    const auto word = [&](std::size_t at) { return card[at] << 8 | card[at + 1]; };
    const auto linesFrom = [](int from, int to) {
        return ((to - from) % kFrameLines + kFrameLines) % kFrameLines;
    };
    const int resetLine = word(2), blankLine = word(4), helloFrame = card[1];
    // MAME starts the machine on the line where the vertical blank comes, so the first one comes
    // a whole frame after reset.
    const int firstBlankLines =
        linesFrom(resetLine, blankLine) == 0 ? kFrameLines : linesFrom(resetLine, blankLine);
    result.firstBlank = firstBlankLines * kLineSeconds;
    for (std::size_t e = 0; e < card[0]; ++e) {
        const std::uint8_t* at = &card[6 + 8 * e];
        result.answerReads.push_back(at[6] << 8 | at[7]);
        const int frame = at[0] << 8 | at[1];
        result.answers.push_back({frame, at[2], at[3]});
        const int lines = firstBlankLines + (helloFrame + frame - 1) * kFrameLines +
                          linesFrom(blankLine, at[4] << 8 | at[5]);
        result.sentAt.push_back((lines + 0.5) * kLineSeconds);
    }
    return result;
}

// The preview of the same ROMs, each command at the time the system ROM sent it in MAME; with
// `keyOns`, the frames at which ADPCM-A channels were keyed on.
std::vector<double> preview(const Bytes& m1, const Bytes& v1, const MameResult& mame,
                            double seconds, std::vector<std::uint64_t>* keyOns = nullptr) {
    using qvxsnd::Engine;
    auto engine =
        std::make_unique<Engine>(kRate, Engine::TickSource::Chip, qvxsnd::FmModel::Accurate);
    if (keyOns)
        engine->setWriteObserver([keyOns](const qvxsnd::RegisterWrite& w) {
            if (w.bank == 1 && w.address == 0x00 && w.value != 0 && w.value < 0x40)
                keyOns->push_back(w.frame);
        });
    engine->setAdpcmRom(v1);
    engine->sendData(m1);
    std::vector<TimedCommand> commands{{0.0, 0x7F}};  // the system ROM's hello
    for (std::size_t i = 0; i < mame.answers.size(); ++i)
        commands.push_back({mame.sentAt[i], mame.answers[i].command});
    const auto stereo = renderEngine(*engine, seconds, commands, nullptr);
    std::vector<double> mono;
    for (std::size_t i = 0; stereo && i + 1 < stereo->size(); i += 2)
        mono.push_back(((*stereo)[i] + (*stereo)[i + 1]) / 2.0);
    return mono;
}

double rms(const std::vector<double>& x, long from, long n) {
    double sum = 0;
    for (long i = from; i < from + n; ++i)
        sum += x[static_cast<std::size_t>(i)] * x[static_cast<std::size_t>(i)];
    return std::sqrt(sum / double(n));
}

// Both emulators bring the chip's 55555.6 Hz output to 55555 Hz, each with its own interpolator,
// and so differ in phase in the top octave; the ROMs' behaviour is compared below this.
constexpr double kComparedBand = 8000;

// A second of the preview against MAME's, MAME's lined up on the first onset.
struct Second {
    int index = 0;
    bool sounding = false;
    double lagMs = 0, levelDb = 0, residualDb = 0;
    double correlation = 0;      // below kComparedBand
    double fullCorrelation = 0;  // over the whole band
};

struct Comparison {
    double offsetMs = 0;  // MAME's first onset after the preview's
    double gainDb = 0;    // MAME's level over the preview's, over the whole run
    std::vector<Second> seconds;
};

long firstOnset(const std::vector<double>& x) {
    const double peak = std::accumulate(
        x.begin(), x.end(), 0.0, [](double m, double v) { return std::max(m, std::abs(v)); });
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::abs(x[i]) > peak / 20) return static_cast<long>(i);
    return 0;
}

// The normalised correlation of a[from, from + n) and b[from + shift, ...), every other sample.
double correlation(const std::vector<double>& a, const std::vector<double>& b, long from, long n,
                   long shift) {
    double ab = 0, aa = 0, bb = 0;
    for (long i = from; i < from + n; i += 2) {
        const double x = a[std::size_t(i)], y = b[std::size_t(i + shift)];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return ab / std::sqrt(aa * bb + 1e-9);
}

Comparison compare(const std::vector<double>& mame, const std::vector<double>& ours) {
    Comparison c;
    const std::vector<double> mameBand = testing::lowPassed(mame, kComparedBand, kRate),
                              ourBand = testing::lowPassed(ours, kComparedBand, kRate);
    const long offset = firstOnset(mame) - firstOnset(ours);
    c.offsetMs = 1000.0 * double(offset) / kRate;
    const long n = kRate;
    const long maxLag = kRate / 500;  // 2 ms either way
    const long seconds = std::min<long>(long(ours.size()), long(mame.size()) - offset - maxLag) / n;
    double mameEnergy = 0, ourEnergy = 0;
    for (long k = 0; k < seconds; ++k) {
        Second s;
        s.index = int(k);
        const long from = k * n;
        const double level = rms(ours, from, n);
        s.sounding = level > 32768 * std::pow(10.0, -50.0 / 20);
        if (s.sounding) {
            double best = -2;
            long lag = 0;
            for (long l = std::max(-maxLag, -(from + offset)); l <= maxLag; ++l) {
                if (const double r = correlation(ourBand, mameBand, from, n, offset + l);
                    r > best) {
                    best = r;
                    lag = l;
                }
            }
            s.lagMs = 1000.0 * double(lag) / kRate;
            s.correlation = best;
            s.fullCorrelation = correlation(ours, mame, from, n, offset + lag);
            const double theirs = rms(mame, from + offset + lag, n);
            s.levelDb = 20 * std::log10(theirs / level);
            mameEnergy += theirs * theirs;
            ourEnergy += level * level;
        }
        c.seconds.push_back(s);
    }
    c.gainDb = 10 * std::log10(mameEnergy / ourEnergy);
    for (Second& s : c.seconds) {
        if (!s.sounding) continue;
        s.levelDb -= c.gainDb;
        const double g = std::pow(10.0, c.gainDb / 20);
        const long from = s.index * n + offset + std::lround(s.lagMs * kRate / 1000.0);
        double diff = 0, power = 0;
        for (long i = 0; i < n; ++i) {
            const double m = mame[std::size_t(from + i)];
            const double d = m - g * ours[std::size_t(s.index * n + i)];
            diff += d * d;
            power += m * m;
        }
        s.residualDb = 10 * std::log10(diff / power);
    }
    return c;
}

void report(const char* run, const Comparison& c) {
    std::printf("%s: MAME's first onset %+.3f ms after the preview's, level %+.2f dB\n", run,
                c.offsetMs, c.gainDb);
    std::printf(
        "  second | onset ms | level dB | correlation < 8 kHz | correlation | residual dB\n");
    for (const Second& s : c.seconds) {
        if (s.sounding)
            std::printf("  %6d | %+8.3f | %+8.2f | %19.4f | %11.4f | %+11.1f\n", s.index, s.lagMs,
                        s.levelDb, s.correlation, s.fullCorrelation, s.residualDb);
        else
            std::printf("  %6d | silent in the preview\n", s.index);
    }
}

// The worst of the sounding seconds, each held to the bounds (a correlation bound of 0 checks
// none).
struct Worst {
    double lagMs = 0, levelDb = 0, correlation = 1;
};
Worst checkSeconds(const Comparison& c, double maxLagMs, double maxLevelDb, double minCorrelation) {
    Worst worst;
    for (const Second& s : c.seconds) {
        if (!s.sounding) continue;
        worst.lagMs = std::max(worst.lagMs, std::abs(s.lagMs));
        worst.levelDb = std::max(worst.levelDb, std::abs(s.levelDb));
        worst.correlation = std::min(worst.correlation, s.correlation);
        EXPECT_LE(std::abs(s.lagMs), maxLagMs) << "second " << s.index;
        EXPECT_LE(std::abs(s.levelDb), maxLevelDb) << "second " << s.index;
        EXPECT_GE(s.correlation, minCorrelation) << "second " << s.index;
    }
    return worst;
}

TEST(MameNeoGeo, TheTestRomPlaysTheExampleSongInTimeFromPowerOn) {
    if (!testing::haveMame(QVX_MAME)) GTEST_SKIP() << testing::kMameMissing;
    TempDir dir;
    auto buffer = std::make_unique<ImageBuffer>();
    ASSERT_TRUE(exportNeoGeoTestRom(examples::makeDemoSong(), *buffer, dir / "m1.bin"));
    const Bytes m1 = padded(testing::readBytes(dir / "m1.bin"), 0x10000, 0xFF);
    constexpr double kSeconds = 21;

    const MameResult mame = playInMame(m1, {}, {}, kSeconds);
    ASSERT_TRUE(mame.failure.empty()) << mame.failure;
    const Comparison c = compare(mame.sound, preview(m1, {}, mame, kSeconds));
    report("Neo Geo test ROM", c);
    double worst = 0;
    int sounding = 0;
    for (const Second& s : c.seconds) {
        if (!s.sounding) continue;
        ++sounding;
        worst = std::max(worst, std::abs(s.lagMs));
        EXPECT_LE(std::abs(s.lagMs), 1.0) << "second " << s.index;
    }
    EXPECT_GE(sounding, 19);
    std::printf("MAME aes, test ROM: %d s compared, onsets within %.3f ms of the first\n", sounding,
                worst);
}

// Two songs and three samples from the ROM Maker; the second sample is long enough to start below
// 64 KB into the V ROM and end above it.
RomImages romMakerPair(const TempDir& dir) {
    Song second = examples::makeDemoSong();
    second.order = {2, 3};
    EXPECT_TRUE(saveSong(examples::makeDemoSong(), dir / "first.mus"));
    EXPECT_TRUE(saveSong(second, dir / "second.mus"));
    RomMaker maker;
    EXPECT_TRUE(maker.add(dir / "first.mus"));
    EXPECT_TRUE(maker.add(dir / "second.mus"));
    for (const auto& [name, seconds, hz] :
         {std::tuple{"hit.wav", 3.0, 330.0}, {"long.wav", 5.0, 220.0}, {"short.wav", 1.0, 660.0}}) {
        std::vector<std::int16_t> pcm(std::size_t(seconds * 18500));
        for (std::size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = std::int16_t(12000 * std::sin(2 * std::numbers::pi * hz * double(i) / 18500));
        testing::writeBytes(dir / name, encodeWav16(pcm, 1, 18500));
        EXPECT_TRUE(maker.add(dir / name));
    }
    return maker.images();
}

TEST(MameNeoGeo, ARomMakerPairTakesEveryCommandAsThePreviewDoes) {
    if (!testing::haveMame(QVX_MAME)) GTEST_SKIP() << testing::kMameMissing;
    TempDir dir;
    const RomImages roms = romMakerPair(dir);
    ASSERT_TRUE(roms.problems.empty());
    // Song 1, the samples over it, song 2, stop, the long sample alone, all samples off.
    const std::vector<Command> table = {{30, 0x81},  {120, 0x04}, {180, 0x05}, {300, 0x06},
                                        {420, 0x82}, {650, 0xFF}, {680, 0x05}, {970, 0x7F}};
    const std::vector<Answer> expected = {{30, 0x81, 0x81}, {120, 0x04, 0},    {180, 0x05, 1},
                                          {300, 0x06, 2},   {420, 0x82, 0x82}, {650, 0xFF, 0xFF},
                                          {680, 0x05, 3},   {970, 0x7F, 0x7F}};
    constexpr double kSeconds = 18;

    for (const bool pad : {false, true}) {
        const Bytes m1 = padded(roms.m1, pad ? 0x20000 : 0x10000, 0xFF);
        const char* run = pad ? "ROM Maker pair, M1 padded to 128 KB" : "ROM Maker pair";
        SCOPED_TRACE(run);
        const MameResult mame = playInMame(m1, roms.v1, table, kSeconds);
        ASSERT_TRUE(mame.failure.empty()) << mame.failure;
        EXPECT_EQ(mame.answers, expected);
        ASSERT_EQ(mame.sentAt.size(), table.size());
        const Comparison c = compare(mame.sound, preview(roms.m1, roms.v1, mame, kSeconds));
        report(run, c);
        std::printf("  the first vertical blank came %.3f ms after reset; commands sent at",
                    1000 * mame.firstBlank);
        for (std::size_t i = 0; i < mame.sentAt.size(); ++i)
            std::printf(" %.4f (answered after %d reads)", mame.sentAt[i], mame.answerReads[i]);
        std::printf(" s\n");
        const Worst worst = checkSeconds(c, 1.0, 1.0, 0.98);
        // What MAME plays, on its own terms: nothing before song 1; the long sample alone, past
        // the V ROM's 64 KB mark, at its pitch; nothing after all samples are off.
        const auto window = [&](double from, double seconds) {
            const auto begin = static_cast<long>(from * kRate);
            return std::vector<double>(mame.sound.begin() + begin,
                                       mame.sound.begin() + begin + long(seconds * kRate));
        };
        const double silence = 32768 * std::pow(10.0, -60.0 / 20);
        const std::vector<double> before = window(0.05, 0.3),
                                  after = window(mame.sentAt.back() + 0.1, 0.5);
        EXPECT_LT(rms(before, 0, long(before.size())), silence);
        EXPECT_LT(rms(after, 0, long(after.size())), silence);
        const std::vector<double> alone = window(mame.sentAt[6] + 4.2, 0.5);
        const double pitch = testing::strongestPartial(alone, kRate, 0, alone.size(), 150, 300);
        EXPECT_NEAR(pitch, 220 * (8e6 / 432) / 18500, 1.0);
        std::printf(
            "MAME aes, %s: %zu answers as sent; onsets within %.3f ms, levels within "
            "%.2f dB, correlation at least %.4f; the long sample at %.2f Hz past 64 KB\n",
            run, mame.answers.size(), worst.lagMs, worst.levelDb, worst.correlation, pitch);
    }
}

// The example with only the tracks of the given kinds playing, over the given order entries.
Song examplePart(std::initializer_list<TrackKind> kinds, std::vector<std::uint8_t> order) {
    Song song = examples::makeDrumSong();
    for (int p = 0; p < song.patternCount; ++p)
        for (int t = 0; t < song.trackCount(); ++t)
            if (std::find(kinds.begin(), kinds.end(), song.trackKind(t)) == kinds.end())
                song.patterns[p].tracks[static_cast<std::size_t>(t)].fill(kEmptyCell);
    song.order = std::move(order);
    return song;
}

// How a run is held: second by second to a correlation (below 8 kHz); its drum hits one by one;
// or (the SSG) second by second to its spectrum.
enum class Held { Correlation, Hits, Spectrum };

// The SSG, second by second: the power in each band within 1 dB of MAME's, where the band holds
// more than a thousandth of the second's power. MAME renders its SSG as a stream of its own,
// mixed in 36 to 144 us behind its FM by where a write falls among its buffers (measured in
// tests/soundlib/chip_parts_comparison_test.cpp), so every note of a quick arpeggio starts at a
// phase of MAME's own: the notes, their levels and their harmonics are what can be compared.
double worstBandDb(const std::vector<double>& mame, const std::vector<double>& ours,
                   const Comparison& c) {
    const std::vector<double> edges = {100, 400, 800, 1600, 3200, 6400, 12800};
    const long offset = std::lround(c.offsetMs * kRate / 1000);
    double worst = 0;
    for (const Second& s : c.seconds) {
        if (!s.sounding) continue;
        const std::size_t from = std::size_t(s.index) * std::size_t(kRate);
        constexpr std::size_t n = 32768;
        const std::vector<double> a = testing::bandLevels(ours, kRate, from, n, edges),
                                  b = testing::bandLevels(mame, kRate, from + offset, n, edges);
        const double total =
            10 * std::log10(std::accumulate(a.begin(), a.end(), 0.0, [](double sum, double db) {
                return sum + std::pow(10, db / 10);
            }));
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (a[k] < total - 30) continue;
            worst = std::max(worst, std::abs(b[k] - a[k] - c.gainDb));
            EXPECT_LE(std::abs(b[k] - a[k] - c.gainDb), 1.0)
                << "second " << s.index << " band " << k;
        }
    }
    return worst;
}

// The whole-chip example built into an M1/V1 pair with one sample, started by its command in
// MAME's Neo Geo: MAME plays it as the preview does; the sample, sent while the song plays,
// sounds on a channel the songs leave free, or (as here, where they use all six) on the next in
// turn, channel 0. All fourteen channels together are held to their levels, a correlation of
// 0.97 and a lag of 0.2 ms (the SSG's phases and its delay behind FM are MAME's own, below);
// without the SSG to onsets within 0.1 ms and a correlation of 0.98. Then the
// parts alone. The drums: every hit the preview keys on is in MAME's, where the preview has it
// (single hits of noise may start one ADPCM-A step, 54 us, apart in the two: where a key-on falls
// among the chip's 18.5 kHz steps is the emulators' own; within 0.1 ms either way). The SSG (the
// buzz bass, the pluck and its echo): by level and spectrum. The ADPCM-B pad: as the whole.
TEST(MameNeoGeo, TheWholeChipExamplePlaysAsThePreviewDoes) {
    if (!testing::haveMame(QVX_MAME)) GTEST_SKIP() << testing::kMameMissing;
    TempDir dir;
    using enum TrackKind;
    ASSERT_TRUE(saveSong(examples::makeDrumSong(), dir / "all.mus"));
    const std::vector<std::uint8_t> order = examples::makeDrumSong().order;
    ASSERT_TRUE(saveSong(examplePart({Fm, AdpcmA, AdpcmB}, order), dir / "no-ssg.mus"));
    ASSERT_TRUE(saveSong(examplePart({AdpcmA}, {1, 2}), dir / "drums.mus"));
    ASSERT_TRUE(saveSong(examplePart({Ssg}, {0, 2}), dir / "ssg.mus"));
    ASSERT_TRUE(saveSong(examplePart({AdpcmB}, {1}), dir / "adpcm-b.mus"));
    std::vector<std::int16_t> pcm(18500);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = std::int16_t(9000 * std::sin(2 * std::numbers::pi * 550 * double(i) / 18500));
    testing::writeBytes(dir / "bell.wav", encodeWav16(pcm, 1, 18500));
    RomMaker maker;
    for (const char* name : {"all.mus", "no-ssg.mus", "drums.mus", "ssg.mus", "adpcm-b.mus"})
        ASSERT_TRUE(maker.add(dir / name));
    ASSERT_TRUE(maker.add(dir / "bell.wav"));
    const RomImages roms = maker.images();
    ASSERT_TRUE(roms.problems.empty()) << roms.problems.front();

    struct Run {
        const char* name;
        std::uint8_t song;
        double seconds;
        Held held;
        double minCorrelation = 0;
    };
    const Run runs[] = {
        {"whole-chip example", 0x81, 35, Held::Correlation, 0.97},
        {"it without the SSG", 0x82, 35, Held::Correlation, 0.98},
        {"its drums alone", 0x83, 11, Held::Hits},
        {"its SSG alone", 0x84, 11, Held::Spectrum},
        {"its ADPCM-B alone", 0x85, 6, Held::Correlation, 0.98},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        // The first run sends the sample too, 9.5 s in.
        std::vector<Command> table = {{30, run.song}};
        std::vector<Answer> expected = {{30, run.song, run.song}};
        if (run.song == 0x81) table.push_back({600, 0x04}), expected.push_back({600, 0x04, 0});
        const MameResult mame = playInMame(roms.m1, roms.v1, table, run.seconds);
        ASSERT_TRUE(mame.failure.empty()) << mame.failure;
        EXPECT_EQ(mame.answers, expected);
        std::vector<std::uint64_t> keyOns;
        const std::vector<double> ours = preview(roms.m1, roms.v1, mame, run.seconds, &keyOns);
        const Comparison c = compare(mame.sound, ours);
        report(run.name, c);
        const double maxLagMs = run.held == Held::Spectrum ? 1.0 : run.song == 0x81 ? 0.2 : 0.1;
        // A buzz note whose tone runs beside its envelope at the same pitch sounds louder or
        // softer by where the envelope's restart falls in the tone's cycle, which MAME's SSG
        // write jitter moves: a second of such a note alone is held to 1 dB, the spectrum and the
        // whole run's level to their bounds.
        const double maxLevelDb = run.held == Held::Spectrum ? 1.0 : 0.5;
        const Worst worst = checkSeconds(c, maxLagMs, maxLevelDb, run.minCorrelation);
        // Each hit's first 20 ms in MAME's sound, at the lag that fits it best: the same waveform,
        // or (two hits at once, a step apart) the same level.
        std::size_t hits = 0, found = 0;
        const long offset = std::lround(c.offsetMs * kRate / 1000);
        const long maxLag = kRate / 10000;  // 0.1 ms
        for (const std::uint64_t at :
             run.held == Held::Hits ? keyOns : std::vector<std::uint64_t>{}) {
            const long from = long(at), n = kRate / 50;
            if (from + offset + n + maxLag >= long(mame.sound.size())) break;
            ++hits;
            double best = 0;
            for (long lag = -maxLag; lag <= maxLag; ++lag)
                best = std::max(best, correlation(ours, mame.sound, from, n, offset + lag));
            const double levelDb =
                20 * std::log10(rms(mame.sound, from + offset, n) / rms(ours, from, n)) - c.gainDb;
            found += best >= 0.9 || std::abs(levelDb) <= 0.5;
        }
        if (run.held == Held::Hits) {
            EXPECT_GT(hits, 80u);
            EXPECT_EQ(found, hits);
        }
        const double bandDb = run.held == Held::Spectrum ? worstBandDb(mame.sound, ours, c) : 0.0;
        std::printf(
            "MAME aes, %s: onsets within %.3f ms, levels within %.2f dB, correlation at "
            "least %.4f; drum hits %zu of %zu; spectrum bands within %.2f dB\n",
            run.name, worst.lagMs, worst.levelDb, worst.correlation, found, hits, bandDb);
    }
}

// Our own module with every effect, imported as a whole-chip song (preset voices, its tempo
// change through the chip's timer), plays in MAME as in the preview, second by second.
TEST(MameNeoGeo, AnImportedModulesEffectsPlayAsThePreviewDoes) {
    if (!testing::haveMame(QVX_MAME)) GTEST_SKIP() << testing::kMameMissing;
    TempDir dir;
    Song song;
    ASSERT_TRUE(parseMod(testing::effectsModule().bytes(), song, nullptr,
                         {true, voices::presetVoiceForSample}));
    ASSERT_TRUE(saveSong(song, dir / "effects.mus"));
    RomMaker maker;
    ASSERT_TRUE(maker.add(dir / "effects.mus"));
    const RomImages roms = maker.images();
    ASSERT_TRUE(roms.problems.empty()) << roms.problems.front();
    constexpr double kSeconds = 11;
    const MameResult mame = playInMame(roms.m1, roms.v1, {{30, 0x81}}, kSeconds);
    ASSERT_TRUE(mame.failure.empty()) << mame.failure;
    const std::vector<double> ours = preview(roms.m1, roms.v1, mame, kSeconds, nullptr);
    const Comparison c = compare(mame.sound, ours);
    report("the effects module", c);
    const Worst worst = checkSeconds(c, 0.1, 0.5, 0.98);
    std::printf(
        "MAME aes, the effects module: onsets within %.3f ms, levels within %.2f dB, "
        "correlation at least %.4f\n",
        worst.lagMs, worst.levelDb, worst.correlation);
}

// The first note of a whole-chip song started by its command, sixteen times 41 video frames apart
// (43.3 ticks: each start lands 0.3 tick later in the 16 ms tick than the last), each stopped
// 20 frames on so that its note dies away before the next: in MAME every start sounds as the
// first, and as the preview's does.
TEST(MameNeoGeo, AWholeChipSongsFirstNoteSoundsTheSameInEverySlot) {
    if (!testing::haveMame(QVX_MAME)) GTEST_SKIP() << testing::kMameMissing;
    TempDir dir;
    Song song = examples::makeDemoSong();
    song.convertToWholeChip();
    song.order = {0};
    song.patterns[0] = Pattern{};
    song.patterns[0].cell(1, 0) = Cell{9, 4, 2, kNone, kNone};  // A-4 on the brass lead
    ASSERT_TRUE(saveSong(song, dir / "note.mus"));
    RomMaker maker;
    ASSERT_TRUE(maker.add(dir / "note.mus"));
    const RomImages roms = maker.images();
    ASSERT_TRUE(roms.problems.empty()) << roms.problems.front();
    constexpr int kStarts = 16, kEvery = 121;
    std::vector<Command> table;
    std::vector<Answer> expected;
    for (int k = 0; k < kStarts; ++k) {
        const int at = 30 + k * kEvery;
        table.insert(table.end(), {{at, 0x81}, {at + 20, 0xFF}});
        expected.insert(expected.end(), {{at, 0x81, 0x81}, {at + 20, 0xFF, 0xFF}});
    }
    const double seconds = (30 + kStarts * kEvery) * kFrameLines * kLineSeconds + 1;
    const MameResult mame = playInMame(roms.m1, roms.v1, table, seconds);
    ASSERT_TRUE(mame.failure.empty()) << mame.failure;
    ASSERT_EQ(mame.answers, expected);
    const std::vector<double> ours = testing::lowPassed(preview(roms.m1, roms.v1, mame, seconds),
                                                        kComparedBand, kRate),
                              theirs = testing::lowPassed(mame.sound, kComparedBand, kRate);
    // Where the note started by command `k` sets in, in `x`.
    const long n = 3 * kRate / 10;  // 300 ms
    const auto onset = [&](const std::vector<double>& x, int k) {
        const auto from = long(mame.sentAt[std::size_t(2 * k)] * kRate);
        EXPECT_LT(rms(x, from - n / 3, n / 3), 10.0) << "start " << k << ": the last note has died";
        long at = from;
        while (at < from + n && std::abs(x[std::size_t(at)]) < 30)
            ++at;
        EXPECT_LT(at, from + n) << "start " << k << " sounds";
        return at - 4;
    };
    // The best correlation within 0.15 ms either way, and the level of b's note over a's.
    const auto match = [&](const std::vector<double>& a, long atA, const std::vector<double>& b,
                           long atB) {
        double best = -1;
        for (long lag = -8; lag <= 8; ++lag)
            best = std::max(best, correlation(a, b, atA, n, atB - atA + lag));
        return std::pair{best, 20 * std::log10(rms(b, atB, n) / rms(a, atA, n))};
    };
    const long firstInMame = onset(theirs, 0);
    std::printf(
        "  start | sent ms into a tick | MAME vs its first: corr, dB | MAME vs preview: corr, "
        "dB\n");
    double worstSlotDb = 0, worstPreviewDb = 0, worstCorrelation = 1;
    for (int k = 0; k < kStarts; ++k) {
        const long inMame = onset(theirs, k), inOurs = onset(ours, k);
        const auto [slotCorrelation, slotDb] = match(theirs, firstInMame, theirs, inMame);
        const auto [previewCorrelation, previewDb] = match(ours, inOurs, theirs, inMame);
        std::printf("  %5d | %19.2f | %17.4f, %+5.2f | %16.4f, %+5.2f\n", k,
                    std::fmod(1000 * mame.sentAt[std::size_t(2 * k)], 16.0), slotCorrelation,
                    slotDb, previewCorrelation, previewDb);
        EXPECT_GE(slotCorrelation, 0.99) << "start " << k;
        EXPECT_LE(std::abs(slotDb), 0.25) << "start " << k;
        EXPECT_GE(previewCorrelation, 0.98) << "start " << k;
        EXPECT_LE(std::abs(previewDb), 0.5) << "start " << k;
        worstSlotDb = std::max(worstSlotDb, std::abs(slotDb));
        worstPreviewDb = std::max(worstPreviewDb, std::abs(previewDb));
        worstCorrelation = std::min({worstCorrelation, slotCorrelation, previewCorrelation});
    }
    std::printf(
        "MAME aes, a whole-chip song's first note in %d slots: within %.3f dB of the first start, "
        "%.3f dB of the preview, correlation at least %.4f\n",
        kStarts, worstSlotDb, worstPreviewDb, worstCorrelation);
}

}  // namespace
}  // namespace qvx
