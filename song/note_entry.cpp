#include "song/note_entry.hpp"

#include "song/effects.hpp"

namespace qvx {

std::optional<std::uint8_t> noteForKey(char32_t key, KeyboardLayout layout) {
    if (key == U'#') return kNoteEnd;
    if (key >= U'a' && key <= U'z') key = key - U'a' + U'A';
    if (key > 0x7F) return std::nullopt;
    const std::string_view keys =
        layout == KeyboardLayout::Qwerty ? kQwertyNoteKeys : kAzertyNoteKeys;
    const std::size_t position = keys.find(static_cast<char>(key));
    if (position == std::string_view::npos) return std::nullopt;
    return static_cast<std::uint8_t>(position);
}

std::optional<std::uint8_t> octaveForKey(char32_t key) {
    if (key < U'0' + kMinOctave || key > U'0' + kMaxOctave) return std::nullopt;
    return static_cast<std::uint8_t>(key - U'0');
}

std::optional<int> digitForKey(char32_t key) {
    if (key < U'0' || key > U'9') return std::nullopt;
    return static_cast<int>(key - U'0');
}

std::uint8_t typeInstrumentDigit(std::uint8_t current, int digit) {
    if (current == 1 || current == 2) return static_cast<std::uint8_t>(current * 10 + digit);
    if (current == 3) return static_cast<std::uint8_t>(digit <= 1 ? 30 + digit : digit);
    // A field holding 0 takes a new digit like any other value; only a 0 typed here is lost,
    // since no instrument number starts with it.
    if (digit == 0) return current;
    return static_cast<std::uint8_t>(digit);
}

std::uint8_t typeEffectDigit(std::uint8_t current, int digit) {
    if (current == 1 && digit <= 5) return static_cast<std::uint8_t>(10 + digit);
    return static_cast<std::uint8_t>(digit);
}

std::uint8_t typeParameterDigit(std::uint8_t current, int digit) {
    if (current == kNone) return static_cast<std::uint8_t>(digit);
    return static_cast<std::uint8_t>((current * 10 + digit) % 100);
}

std::optional<std::uint8_t> typedEffect(std::uint8_t current, char32_t key, bool hex) {
    if (hex) return effectForSymbol(key);
    const auto digit = digitForKey(key);
    if (!digit) return std::nullopt;
    return typeEffectDigit(current, *digit);
}

std::optional<std::uint8_t> typedParameter(std::uint8_t current, char32_t key, bool hex) {
    if (!hex) {
        const auto digit = digitForKey(key);
        if (!digit) return std::nullopt;
        return typeParameterDigit(current, *digit);
    }
    const auto digit = hexDigitForKey(key);
    if (!digit) return std::nullopt;
    const int before = current == kNone ? 0 : current;
    return static_cast<std::uint8_t>((before << 4 | *digit) & 0xFF);
}

}  // namespace qvx
