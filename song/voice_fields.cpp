#include "song/voice_fields.hpp"

namespace qvx {
namespace {

// Byte offsets of the register groups: four bytes each, one per slot, then the voice's byte.
constexpr int kDetuneMultiple = 0;
constexpr int kTotalLevel = 4;
constexpr int kKeyScaleAttack = 8;
constexpr int kDecay = 12;
constexpr int kSustain = 16;
constexpr int kSusLevelRelease = 20;
constexpr int kFeedbackConnection = 24;

std::uint8_t byteOf(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

VoiceFields VoiceFields::decode(const VoiceBytes& voice) {
    VoiceFields f;
    for (int k = 0; k < kSlots; ++k) {
        Slot& s = f.slot[k];
        s.detune = voice[kDetuneMultiple + k] >> 4;
        s.multiple = voice[kDetuneMultiple + k] & 15;
        s.totalLevel = voice[kTotalLevel + k];
        s.keyScale = voice[kKeyScaleAttack + k] >> 6;
        s.attack = voice[kKeyScaleAttack + k] & 31;
        s.decay = voice[kDecay + k];
        s.sustain = voice[kSustain + k];
        s.susLevel = voice[kSusLevelRelease + k] >> 4;
        s.release = voice[kSusLevelRelease + k] & 15;
    }
    f.feedback = voice[kFeedbackConnection] >> 3;
    f.connection = voice[kFeedbackConnection] & 7;
    return f;
}

VoiceBytes VoiceFields::encode() const {
    VoiceBytes voice{};
    for (int k = 0; k < kSlots; ++k) {
        const Slot& s = slot[k];
        voice[kDetuneMultiple + k] = byteOf((s.detune & 7) << 4 | (s.multiple & 15));
        voice[kTotalLevel + k] = byteOf(s.totalLevel & 127);
        voice[kKeyScaleAttack + k] = byteOf((s.keyScale & 3) << 6 | (s.attack & 31));
        voice[kDecay + k] = byteOf(s.decay & 31);
        voice[kSustain + k] = byteOf(s.sustain & 31);
        voice[kSusLevelRelease + k] = byteOf((s.susLevel & 15) << 4 | (s.release & 15));
    }
    voice[kFeedbackConnection] = byteOf((feedback & 7) << 3 | (connection & 7));
    return voice;
}

bool fieldsDiffer(const VoiceFields& fields, const VoiceBytes& stored) {
    return fields.encode() != VoiceFields::decode(stored).encode();
}

namespace test_keyboard {

std::optional<int> noteAt(int x, int y) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return std::nullopt;
    if (y < kBlackKeyHeight)
        for (const BlackKey& key : kBlackKeys)
            if (x >= key.left && x <= key.right) return key.note;
    return kWhiteKeyNotes[x / kWhiteKeyWidth];
}

int octaveFor(int note, int octaveBox) {
    const int octave = note == 0 && octaveBox > 0 ? octaveBox - 1 : octaveBox;
    return octave & 7;
}

}  // namespace test_keyboard
}  // namespace qvx
