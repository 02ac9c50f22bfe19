#include "song/voice_sound.hpp"

#include <cstdio>

#include "soundlib/ym2610/registers.hpp"
#include "soundlib/ym2610/ym2610.hpp"

namespace qvx {
namespace {

// The chip numbers its operators 1, 2, 3, 4 but keeps them in registers (and so in the Slot
// columns) in the order 1, 3, 2, 4.
constexpr std::array<int, 5> kSlotOfOperator = {-1, 0, 2, 1, 3};
constexpr std::array<int, 4> kOperatorOfSlot = {1, 3, 2, 4};

constexpr int kTotalLevelByte = 4;
constexpr int kAttackByte = 8;
constexpr int kConnectionByte = 24;

}  // namespace

FmRouting fmRouting(int connection) {
    // Who modulates whom and who is heard, in the chip's operator numbers.
    struct Wiring {
        std::vector<std::pair<int, int>> links;
        std::vector<int> carriers;
    };
    static const std::array<Wiring, 8> kAlgorithms = {{
        {{{1, 2}, {2, 3}, {3, 4}}, {4}},
        {{{1, 3}, {2, 3}, {3, 4}}, {4}},
        {{{1, 4}, {2, 3}, {3, 4}}, {4}},
        {{{1, 2}, {2, 4}, {3, 4}}, {4}},
        {{{1, 2}, {3, 4}}, {2, 4}},
        {{{1, 2}, {1, 3}, {1, 4}}, {2, 3, 4}},
        {{{1, 2}}, {2, 3, 4}},
        {{}, {1, 2, 3, 4}},
    }};
    const Wiring& wiring = kAlgorithms[static_cast<std::size_t>(connection & 7)];
    FmRouting routing;
    for (const auto& [from, to] : wiring.links)
        routing.links.push_back({kSlotOfOperator[from], kSlotOfOperator[to]});
    for (const int op : wiring.carriers)
        routing.carrier[static_cast<std::size_t>(kSlotOfOperator[op])] = true;
    return routing;
}

std::optional<std::string> silentVoiceReason(const VoiceBytes& voice) {
    const FmRouting routing = fmRouting(voice[kConnectionByte]);
    bool noAttack = false, noLevel = false;
    for (std::size_t slot = 0; slot < routing.carrier.size(); ++slot) {
        if (!routing.carrier[slot]) continue;
        const bool attack = (voice[kAttackByte + slot] & 0x1F) != 0;
        const bool level = (voice[kTotalLevelByte + slot] & 0x7F) != 0x7F;
        if (attack && level) return std::nullopt;
        noAttack = noAttack || !attack;
        noLevel = noLevel || !level;
    }
    if (noAttack && noLevel) return "Attack 0 or Total Level 127";
    return noAttack ? "Attack 0" : "Total Level 127";
}

std::string silentVoiceFact(int instrument, const std::string& reason) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", instrument);
    return "Instrument " + std::string(number) + " makes no sound: its carrier operators have " +
           reason + ".";
}

std::string silentVoiceMessage(int instrument, const std::string& reason) {
    return silentVoiceFact(instrument, reason) + " Press F12 to edit it or pick a preset.";
}

std::vector<int> playedInstruments(const Song& song) {
    const int count = song.instrumentCount();
    std::array<bool, kInstrumentSlots> played{};
    for (const Pattern& pattern : song.usedPatterns())
        for (int t = 0; t < song.trackCount(); ++t)
            if (song.trackKind(t) == TrackKind::Fm)
                for (const Cell& cell : pattern.tracks[static_cast<std::size_t>(t)])
                    if (cell.note <= kNoteB)
                        played[cell.instrument >= 1 && cell.instrument <= count ? cell.instrument
                                                                                : 1] = true;
    std::vector<int> numbers;
    for (int k = 1; k <= count; ++k)
        if (played[static_cast<std::size_t>(k)] &&
            song.instruments[static_cast<std::size_t>(k)].kind == InstrumentKind::FmVoice)
            numbers.push_back(k);
    if (numbers.empty() && song.instruments[1].kind == InstrumentKind::FmVoice)
        numbers.push_back(1);
    return numbers;
}

std::array<EnvelopeCurve, VoiceFields::kSlots> envelopeCurves(const VoiceBytes& voice, int octave,
                                                              int holdMs, int releaseMs) {
    // The chip-accurate synthesis on its own, heard at the lowest rate it takes: only its
    // envelope generators are read.
    constexpr std::uint32_t kRate = qvxsnd::YM2610::kMinRate;
    constexpr std::size_t kFramesPerMs = kRate / 1000;
    constexpr double kDbPerStep = 96.0 / 1024.0;
    qvxsnd::YM2610 chip(qvxsnd::YM2610::kDefaultClock, kRate, qvxsnd::FmModel::Accurate);
    for (std::size_t i = 0; i < voice.size(); ++i)
        chip.writeRegister(0, qvxsnd::ym::kVoiceRegisters[i], voice[i]);
    // The test keyboard's C: F-number 1234 is the C of the block above.
    const int block = test_keyboard::octaveFor(0, octave);
    chip.writeRegister(0, qvxsnd::ym::kBlockFnumHigh + 1,
                       static_cast<std::uint8_t>(block << 3 | 1234 >> 8));
    chip.writeRegister(0, qvxsnd::ym::kFnumLow + 1, 1234 & 0xFF);
    chip.writeRegister(0, qvxsnd::ym::kKeyOnOff,
                       qvxsnd::ym::kAllOperatorsOn | qvxsnd::ym::kChannel1);

    std::array<EnvelopeCurve, VoiceFields::kSlots> curves;
    std::array<std::int16_t, kFramesPerMs * 2> scratch{};
    for (int ms = 0; ms < holdMs + releaseMs; ++ms) {
        if (ms == holdMs) chip.writeRegister(0, qvxsnd::ym::kKeyOnOff, qvxsnd::ym::kChannel1);
        chip.render(scratch.data(), kFramesPerMs);
        for (std::size_t slot = 0; slot < curves.size(); ++slot)
            curves[slot].push_back(
                static_cast<float>(-kDbPerStep * chip.envelopeLevel(1, kOperatorOfSlot[slot])));
    }
    return curves;
}

}  // namespace qvx
