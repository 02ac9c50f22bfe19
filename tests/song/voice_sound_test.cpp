#include <gtest/gtest.h>

#include <cmath>

#include "song/voice_sound.hpp"
#include "soundlib/ym2610/registers.hpp"
#include "soundlib/ym2610/ym2610.hpp"

namespace qvx {
namespace {

// A voice of the given connection whose slots (editor columns) have these attacks and levels.
VoiceBytes voiceWith(int connection, std::array<int, 4> attack, std::array<int, 4> level) {
    VoiceBytes voice{};
    for (std::size_t s = 0; s < 4; ++s) {
        voice[8 + s] = static_cast<std::uint8_t>(attack[s]);
        voice[4 + s] = static_cast<std::uint8_t>(level[s]);
    }
    voice[24] = static_cast<std::uint8_t>(connection);
    return voice;
}

TEST(VoiceSound, ASilentVoiceIsOneWhoseCarriersAllLackAnAttackOrALevel) {
    struct Case {
        int connection;
        std::array<int, 4> attack, level;
        std::optional<std::string> reason;
    };
    const Case cases[] = {
        {0, {0, 0, 0, 0}, {0, 0, 0, 0}, "Attack 0"},     // a new song's voice
        {0, {31, 31, 31, 0}, {0, 0, 0, 0}, "Attack 0"},  // only slot 4 is heard
        {0, {0, 0, 0, 31}, {127, 127, 127, 0}, std::nullopt},
        {0, {31, 31, 31, 31}, {0, 0, 0, 127}, "Total Level 127"},
        {4, {0, 0, 31, 0}, {0, 0, 127, 0}, "Attack 0 or Total Level 127"},  // slots 3 and 4
        {4, {0, 0, 0, 31}, {0, 0, 0, 0}, std::nullopt},
        {5, {31, 0, 0, 0}, {0, 0, 0, 0}, "Attack 0"},  // slot 1 only modulates
        {6, {0, 31, 0, 0}, {0, 0, 0, 0}, std::nullopt},
        {7, {31, 0, 0, 0}, {0, 127, 127, 127}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(silentVoiceReason(voiceWith(c.connection, c.attack, c.level)), c.reason)
            << "connection " << c.connection;
    EXPECT_EQ(silentVoiceMessage(1, "Attack 0"),
              "Instrument 01 makes no sound: its carrier operators have Attack 0. Press F12 to "
              "edit it or pick a preset.");

    Song song;
    EXPECT_EQ(playedInstruments(song), std::vector<int>{1});
    song.patterns[0].cell(1, 5) = Cell{kNoteC, 4, 3, kNone, kNone};
    song.patterns[0].cell(2, 9) = Cell{4, 4, kNone, kNone, kNone};
    song.patterns[0].cell(3, 9) = Cell{kNoteEmpty, kNone, 7, kNone, kNone};
    EXPECT_EQ(playedInstruments(song), (std::vector<int>{1, 3}));
}

// The drawn envelope against what the chip plays: a one-operator voice, its level heard in 10 ms
// windows at ten moments of the attack, decays, sustain and release.
TEST(VoiceSound, TheEnvelopeCurveIsTheLevelTheChipPlays) {
    VoiceBytes voice = voiceWith(7, {0, 0, 0, 12}, {127, 127, 127, 0});
    voice[3] = 0x01;   // slot 4: multiple 1,
    voice[15] = 10;    // decay 10,
    voice[19] = 6;     // sustain 6,
    voice[23] = 0x47;  // sustain level 4, release 7
    const auto curves = envelopeCurves(voice, 4, 1500, 800);

    qvxsnd::YM2610 chip(8000000, 44100, qvxsnd::FmModel::Accurate);
    for (std::size_t i = 0; i < voice.size(); ++i)
        chip.writeRegister(0, qvxsnd::ym::kVoiceRegisters[i], voice[i]);
    chip.writeRegister(0, 0xA5, 3 << 3 | 1234 >> 8);
    chip.writeRegister(0, 0xA1, 1234 & 0xFF);
    chip.writeRegister(0, 0x28, 0xF1);
    std::vector<std::int16_t> out(2 * 44100 * 23 / 10);
    chip.render(out.data(), 44100 * 3 / 2);
    chip.writeRegister(0, 0x28, 0x01);
    chip.render(out.data() + 2 * 44100 * 3 / 2, 44100 * 8 / 10);
    const auto heardDb = [&](int ms) {  // a full-level sine operator is 0 dB
        double sum = 0;
        for (int i = 0; i < 441; ++i) {
            const double s = out[2 * (std::size_t(ms) * 441 / 10 + std::size_t(i))];
            sum += s * s;
        }
        return 10 * std::log10(sum / 441) - 20 * std::log10(4096 / std::sqrt(2.0));
    };
    for (const int ms : {60, 120, 200, 300, 450, 700, 1000, 1400, 1550, 1650})
        EXPECT_NEAR(curves[3][std::size_t(ms + 5)], heardDb(ms), 1.0) << ms << " ms";
    for (std::size_t slot = 0; slot < 3; ++slot)
        EXPECT_LE(curves[slot][1000], -90.0) << "slots without an attack stay silent";
}

}  // namespace
}  // namespace qvx
