#include "song/effects.hpp"

#include <array>
#include <cstdio>

#include "song/cell.hpp"

namespace qvx {
namespace {

constexpr std::array<EffectInfo, 23> kEffects = {{
    {0x00, "arpeggio", "xy", "the note, x semitones above, y above, in turn a tick (000: nothing)"},
    {0x01, "slide up", "xx", "the pitch up by xx sixteenths of a semitone a tick"},
    {0x02, "slide down", "xx", "the pitch down by xx sixteenths of a semitone a tick"},
    {0x03, "portamento", "xx",
     "glides to the cell's note by xx sixteenths a tick, without keying it; 300 at the last "
     "speed"},
    {0x04, "vibrato", "xy",
     "the pitch swings on a sine of x/64 cycle a tick, y/16 semitone at its peak; 0 keeps the "
     "last"},
    {0x05, "portamento and volume slide", "xy", "the portamento goes on; the volume as Axy"},
    {0x06, "vibrato and volume slide", "xy", "the vibrato goes on; the volume as Axy"},
    {0x07, "tremolo", "xy", "the volume swings as 4xy swings the pitch, 4y at its peak"},
    {0x08, "panning", "xx", "00-3F left, 40-BF both, C0-FF right (not the SSG)"},
    {0x09, "sample offset", "xx", "an ADPCM-A or ADPCM-B sample starts xx x 256 bytes in"},
    {0x0A, "volume slide", "xy", "the volume up by x, or down by y, a tick"},
    {0x0B, "jump", "xx", "to order position xx after this row"},
    {0x0C, "volume", "xx", "the volume, 00-40 (40: the instrument's own level); C00 keys off"},
    {0x0D, "pattern break", "xx", "to row xx (read as decimal) of the next order position"},
    {0x0E, "extended", "xy",
     "E1x, E2x fine slide up, down by x once; E9x retrigger every x ticks; EAx, EBx fine volume "
     "up, down; ECx cut at tick x; EDx delay the note to tick x; EEx delay the pattern x rows"},
    {0x0F, "speed", "xx", "01-1F ticks a row; 20-FF tempo (125: 50 ticks a second); F00 stops"},
    {0x10, "LFO", "xy", "the FM LFO on (x 1) at rate y (0-7), or off (x 0)"},
    {0x11, "AMS and PMS", "xy",
     "the FM track's sensitivity to the LFO: amplitude x (0-3), pitch y"},
    {0x12, "SSG noise", "xx", "the SSG's noise period, 00-1F"},
    {0x13, "SSG envelope shape", "xx", "the SSG envelope's shape, 0-F (restarts it)"},
    {0x14, "SSG envelope period high", "xx", "the SSG envelope period's high byte"},
    {0x15, "SSG envelope period low", "xx", "the SSG envelope period's low byte"},
    {0x16, "ADPCM-A master level", "xx", "the ADPCM-A channels' master level, 00-3F"},
}};

constexpr std::string_view kSymbols = "0123456789ABCDEFGHIJKLM";

std::string format(const char* pattern, auto... values) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string volumeSlide(std::uint8_t p) {
    return (p >> 4) ? format("volume up %d a tick", p >> 4)
                    : format("volume down %d a tick", p & 15);
}

std::string extended(std::uint8_t p) {
    const int x = p & 15;
    switch (p >> 4) {
        case 0x1:
            return format("E fine slide up: %d/16 semitone", x);
        case 0x2:
            return format("E fine slide down: %d/16 semitone", x);
        case 0x9:
            return format("E retrigger: every %d ticks", x);
        case 0xA:
            return format("E fine volume up: %d", x);
        case 0xB:
            return format("E fine volume down: %d", x);
        case 0xC:
            return format("E cut: at tick %d", x);
        case 0xD:
            return format("E delay: the note at tick %d", x);
        case 0xE:
            return format("E pattern delay: %d rows", x);
        default:
            return format("E%X: does nothing", p >> 4);
    }
}

std::string describe(std::uint8_t e, std::uint8_t p, TrackKind kind) {
    const int x = p >> 4, y = p & 15;
    switch (e) {
        case 0x0:
            return p ? format("0 arpeggio: +%d, +%d semitones", x, y) : "0 arpeggio: nothing";
        case 0x1:
            return format("1 slide up: %d/16 semitone a tick", p);
        case 0x2:
            return format("2 slide down: %d/16 semitone a tick", p);
        case 0x3:
            return p ? format("3 portamento: %d/16 semitone a tick", p)
                     : "3 portamento: at the last speed";
        case 0x4:
            return format("4 vibrato: speed %s, depth %s", x ? format("%d", x).c_str() : "the last",
                          y ? format("%d/16 semitone", y).c_str() : "the last");
        case 0x5:
            return "5 portamento on, " + volumeSlide(p);
        case 0x6:
            return "6 vibrato on, " + volumeSlide(p);
        case 0x7:
            return format("7 tremolo: speed %s, depth %s", x ? format("%d", x).c_str() : "the last",
                          y ? format("%d", 4 * y).c_str() : "the last");
        case 0x8: {
            const char* side = p < 0x40 ? "left" : p < 0xC0 ? "both" : "right";
            return kind == TrackKind::Ssg
                       ? format("8 panning: %s (the SSG has none: ignored)", side)
                       : format("8 panning: %s", side);
        }
        case 0x9:
            return format("9 sample offset: %d x 256 bytes", p);
        case 0xA:
            return "A " + volumeSlide(p);
        case 0xB:
            return format("B jump: to order position %d", p);
        case 0xC:
            return p ? format("C volume: %d of 64", std::min<int>(p, 64)) : "C key off";
        case 0xD:
            return format("D pattern break: to row %d of the next position", 10 * x + y);
        case 0xE:
            return extended(p);
        case 0xF:
            if (p == 0) return "F stop the song";
            return p < 0x20 ? format("F speed: %d ticks a row", p)
                            : format("F tempo: %d beats a minute", p);
        case 0x10:
            return x ? format("G LFO on: rate %d", y & 7) : "G LFO off";
        case 0x11:
            return kind == TrackKind::Fm
                       ? format("H AMS %d, PMS %d", x & 3, y & 7)
                       : format("H AMS %d, PMS %d (FM only: ignored)", x & 3, y & 7);
        case 0x12:
            return format("I SSG noise period %d", p & 31);
        case 0x13:
            return format("J SSG envelope shape %d", p & 15);
        case 0x14:
            return format("K SSG envelope period, high byte %02X", p);
        case 0x15:
            return format("L SSG envelope period, low byte %02X", p);
        case 0x16:
            return format("M ADPCM-A master level %d", p & 63);
        default:
            return format("effect %02X: does nothing", e);
    }
}

}  // namespace

std::span<const EffectInfo> wholeChipEffects() {
    return kEffects;
}

char effectSymbol(std::uint8_t effect) {
    return effect < kSymbols.size() ? kSymbols[effect] : '?';
}

std::optional<std::uint8_t> effectForSymbol(char32_t key) {
    if (key >= 'a' && key <= 'z') key -= 'a' - 'A';
    const auto at = key < 128 ? kSymbols.find(static_cast<char>(key)) : std::string_view::npos;
    if (at == std::string_view::npos) return std::nullopt;
    return static_cast<std::uint8_t>(at);
}

std::optional<int> hexDigitForKey(char32_t key) {
    const auto effect = effectForSymbol(key);
    if (!effect || *effect > 0x0F) return std::nullopt;
    return *effect;
}

std::string describeEffect(std::uint8_t effect, std::uint8_t parameter, TrackKind kind) {
    if (effect == kNone) return {};
    return describe(effect, parameter, kind);  // as the driver reads it: "- -" is FF
}

}  // namespace qvx
