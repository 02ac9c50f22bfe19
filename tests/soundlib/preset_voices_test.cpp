// The preset voices as a newcomer first hears them: a C-4 alone, played through the board with the
// chip-accurate FM. Each must be heard at a sensible level, at once unless it is a pad or a swell,
// and no two may sound alike. The checked-in files must be what their definitions write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "song/instrument_file.hpp"
#include "song/preset_library.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/engine_sound_target.hpp"
#include "voices/mod_voices.hpp"
#include "voices/presets.hpp"

namespace qvx {
namespace {

constexpr double kRate = 44100;

struct Heard {
    double peakDb = -200;          // dBFS
    double audibleMs = -1;         // from key-on to within 20 dB of the loudest millisecond
    std::vector<double> envelope;  // dB in 20 ms windows for a second and a half
    std::vector<double> spectrum;  // at 50 ms: 24 partials of C-3, dB from the strongest
};

Heard play(const VoiceBytes& voice) {
    Song song;
    song.instruments[1].registers = voice;
    song.patterns[0].cell(0, 0) = Cell{kNoteC, 4, 1, kNone, kNone};
    qvxsnd::Engine engine(std::uint32_t(kRate), qvxsnd::Engine::TickSource::Host,
                          qvxsnd::FmModel::Accurate);
    std::uint64_t keyOn = 0;
    engine.setWriteObserver([&](const qvxsnd::RegisterWrite& w) {
        if (w.address == 0x28 && w.value == 0xF1 && !keyOn) keyOn = w.frame;
    });
    EngineSoundTarget target(engine);
    auto buffer = std::make_unique<ImageBuffer>();
    EXPECT_TRUE(Playback(target, *buffer).playPattern(song, 0));
    std::vector<std::int16_t> stereo(std::size_t(2.5 * kRate) * 2);
    engine.render(stereo.data(), stereo.size() / 2);
    const std::vector<double> left = testing::leftChannel(stereo);

    Heard heard;
    double peak = 0;
    for (const double s : left)
        peak = std::max(peak, std::fabs(s));
    heard.peakDb = 20 * std::log10(peak / 32768 + 1e-12);
    const auto ms = testing::windowLevels(left, keyOn, left.size(), std::size_t(kRate / 1000));
    const double loudest = *std::max_element(ms.begin(), ms.end());
    heard.audibleMs =
        double(std::find_if(ms.begin(), ms.end(), [&](double db) { return db > loudest - 20; }) -
               ms.begin());
    for (const double db : testing::windowLevels(left, keyOn, keyOn + std::size_t(1.5 * kRate),
                                                 std::size_t(kRate / 50)))
        heard.envelope.push_back(std::max(db, -60.0));
    for (int h = 1; h <= 24; ++h)
        heard.spectrum.push_back(
            10 * std::log10(testing::powerAt(left, kRate, keyOn + 2205, 4096, 130.81 * h) + 1e-12));
    const double top = *std::max_element(heard.spectrum.begin(), heard.spectrum.end());
    for (double& db : heard.spectrum)
        db = std::max(db - top, -50.0);
    return heard;
}

TEST(PresetVoices, EachSoundsAtOnceAtASensibleLevelAndNoTwoAlike) {
    const auto presets = voices::presets();
    ASSERT_GE(presets.size(), 32u);
    std::vector<Heard> heard;
    std::printf("%-18s %7s %5s %s | %s\n", "preset", "peak dB", "ms", "level at 0.1 0.3 0.6 1.2 s",
                "partials of C-3 1-12 (dB)");
    for (const voices::Preset& preset : presets) {
        heard.push_back(play(preset.fields.encode()));
        const Heard& h = heard.back();
        std::printf("%-18s %7.1f %5.0f", std::string(preset.name).c_str(), h.peakDb, h.audibleMs);
        for (const std::size_t w : {5, 15, 30, 60})
            std::printf(" %5.0f", h.envelope[w]);
        std::printf(" |");
        for (std::size_t k = 0; k < 12; ++k)
            std::printf(" %3.0f", h.spectrum[k]);
        std::printf("\n");
        EXPECT_GE(h.peakDb, -24.0) << preset.name;
        EXPECT_LE(h.peakDb, -6.0) << preset.name;
        EXPECT_TRUE(preset.swell || h.audibleMs <= 30.0) << preset.name;
    }
    for (std::size_t a = 0; a < presets.size(); ++a)
        for (std::size_t b = a + 1; b < presets.size(); ++b) {
            // Alike: the same rise and fall within 2 dB and the same partials within 4 dB, on
            // average over the windows, and over the partials either has.
            const auto distance = [](const std::vector<double>& x, const std::vector<double>& y) {
                double sum = 0, count = 0;
                for (std::size_t k = 0; k < x.size(); ++k)
                    if (std::max(x[k], y[k]) > -50) sum += std::fabs(x[k] - y[k]), ++count;
                return sum / std::max(count, 1.0);
            };
            EXPECT_TRUE(distance(heard[a].envelope, heard[b].envelope) > 2.0 ||
                        distance(heard[a].spectrum, heard[b].spectrum) > 4.0)
                << presets[a].name << " and " << presets[b].name << " sound alike";
        }
}

// The voices/ folder holds what the definitions write, and the library finds every preset in it.
TEST(PresetVoices, CheckedInFilesMatchTheirDefinitionsAndAreFound) {
    const char* root = std::getenv("QVX_SOURCE_DIR");
    const std::filesystem::path folder = std::filesystem::path(root ? root : ".") / "voices";
    const std::vector<PresetGroup> groups = findPresets(folder);
    std::size_t found = 0;
    for (const PresetGroup& group : groups)
        found += group.presets.size();
    EXPECT_EQ(found, voices::presets().size());
    for (const voices::Preset& preset : voices::presets()) {
        Instrument instrument;
        instrument.registers = preset.fields.encode();
        instrument.name = "01 " + std::string(preset.name);
        const auto path = folder / preset.folder / (std::string(preset.file) + ".ins");
        EXPECT_EQ(testing::readBytes(path), serializeInstrument(instrument))
            << path << ": run the regenerate_voices target";
    }
}

// A whole-chip MOD import's samples take the voice their name suggests, in any case; others
// take all-round voices in turn.
TEST(PresetVoices, ModSamplesTakeTheVoiceTheirNameSuggests) {
    const auto voice = [](std::string_view file) {
        for (const voices::Preset& p : voices::presets())
            if (p.file == file) return p.fields.encode();
        return VoiceBytes{};
    };
    EXPECT_EQ(voices::presetVoiceForSample("Bass 1", 1), voice("finger-bass"));
    EXPECT_EQ(voices::presetVoiceForSample("SUB BASS", 7), voice("sub-bass"));
    EXPECT_EQ(voices::presetVoiceForSample("st-01:snare", 3), voice("snare"));
    EXPECT_EQ(voices::presetVoiceForSample("Warm pad", 9), voice("warm-pad"));
    EXPECT_EQ(voices::presetVoiceForSample("", 1), voice("electric-piano"));
    EXPECT_EQ(voices::presetVoiceForSample("xyz", 2), voice("saw-lead"));
    EXPECT_EQ(voices::presetVoiceForSample("xyz", 6), voice("saw-lead"));
}

}  // namespace
}  // namespace qvx
