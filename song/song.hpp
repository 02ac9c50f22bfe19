#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "song/cell.hpp"
#include "song/drum_kit.hpp"
#include "song/pitched_sample.hpp"
#include "song/ssg_voice.hpp"
#include "song/track_layout.hpp"

namespace qvx {

using Track = std::array<Cell, kRows>;
// Track by track, as the clipboard keeps them; a song uses the first trackCount() of them and the
// others stay empty.
using TrackSet = std::array<Track, kMaxTracks>;
using VoiceBytes = std::array<std::uint8_t, kVoiceBytes>;
using TrackFlags = std::array<std::uint8_t, kMaxTracks>;

// The question asked before an octave shift pushes notes against the octave range.
inline constexpr std::string_view kOctaveLossQuestion = "Some notes will be lost, continue?";

// Returns true to go ahead. Receives the question text to show.
using ConfirmFn = std::function<bool(std::string_view question)>;

struct Pattern {
    std::string name;
    TrackSet tracks = emptyTracks();

    Cell& cell(int track, int row) { return tracks[track][row]; }
    const Cell& cell(int track, int row) const { return tracks[track][row]; }
    void clear() { tracks = emptyTracks(); }
    friend bool operator==(const Pattern&, const Pattern&) = default;

    // Made once: songs clear and copy patterns often, and cells are not all zero bytes.
    static const TrackSet& emptyTracks();
};

// The values are the song file's. A classic song's instruments are all FM voices.
enum class InstrumentKind : std::uint8_t {
    FmVoice = 0,
    AdpcmAKit = 1,
    SsgVoice = 2,
    AdpcmBSample = 3
};

// The kind of instrument a track of `kind` plays.
constexpr InstrumentKind instrumentKindFor(TrackKind kind) {
    switch (kind) {
        case TrackKind::AdpcmA:
            return InstrumentKind::AdpcmAKit;
        case TrackKind::Ssg:
            return InstrumentKind::SsgVoice;
        case TrackKind::AdpcmB:
            return InstrumentKind::AdpcmBSample;
        default:
            return InstrumentKind::FmVoice;
    }
}

// "FM voice", "drum kit", "SSG voice", "ADPCM-B sample"
std::string instrumentKindName(InstrumentKind kind);
// "an FM voice", "a drum kit", "an SSG voice", "an ADPCM-B sample"; plural: "FM voices" ...
std::string instrumentKindText(InstrumentKind kind, bool plural = false);
// "FM tracks", "drum tracks", "SSG tracks", "the ADPCM-B track"
std::string tracksText(TrackKind kind);

struct Instrument {
    InstrumentKind kind = InstrumentKind::FmVoice;
    VoiceBytes registers{};  // an FM voice's
    DrumKit kit;             // an ADPCM-A kit's
    SsgVoice ssg;            // an SSG voice's
    PitchedSample pitched;   // an ADPCM-B instrument's
    std::string name;        // always "%02d %s": the number, a blank, the user's name

    // The name without its "NN " prefix; this is what the files store.
    std::string userName() const;
    friend bool operator==(const Instrument&, const Instrument&) = default;
};

// "%02d Unnamed" and friends: formats an instrument's model name from its number and user name.
std::string instrumentName(int number, std::string_view userName);
std::string patternDefaultName(int index);              // "Pat %02d"
std::string patternNumberText(int index);               // "%02d", as the pattern selector shows it
std::string orderEntryText(int position, int pattern);  // "%02d - %02d"

// Limits a name to what the file formats can carry: at most 255 bytes, no embedded zero byte.
// A longer name is cut before the first UTF-8 character that would not fit whole.
std::string sanitizeName(std::string_view text);

// Highest instrument number used in the given patterns (bytes read as signed), at least 1.
int usedInstrumentCount(std::span<const Pattern> patterns);

struct PatternClipboard {
    TrackSet tracks = Pattern::emptyTracks();
};

// The one live song the editor works on.
class Song {
  public:
    Song();  // the new song state

    std::array<Instrument, kInstrumentSlots> instruments;
    std::array<Pattern, kMaxPatterns> patterns;
    int patternCount = 0;
    std::vector<std::uint8_t> order;  // pattern numbers, first to last
    TrackFlags trackEnabled = allTracksEnabled();
    SongKind kind = SongKind::Classic;

    // New Project: a classic song with one empty pattern "Pat 00", order list [0], instruments
    // "NN Unnamed" that are FM voices with zero registers, all tracks enabled. Clipboards live
    // elsewhere and are not touched.
    void reset();
    // New Whole-Chip Song: the same, as a whole-chip song.
    void resetWholeChip();
    // The FM tracks and the instruments stay as they are; the new tracks start empty.
    void convertToWholeChip();

    int trackCount() const { return qvx::trackCount(kind); }
    TrackKind trackKind(int track) const { return qvx::trackKind(kind, track); }
    int instrumentCount() const { return qvx::instrumentCount(kind); }
    // Every sample the song's kits use (or those of instruments 1 to `instrumentsUpTo`), once
    // each, in the order the instruments first use them.
    std::vector<SampleRef> kitSamples(int instrumentsUpTo = -1) const;
    // The same of the ADPCM-B instruments' samples.
    std::vector<SampleRef> pitchedSamples(int instrumentsUpTo = -1) const;
    static TrackFlags allTracksEnabled();

    int usedInstrumentCount() const;

    // Adds a cleared pattern named "Pat NN"; nothing when 64 exist.
    std::optional<int> addPattern();
    void clearPattern(int index) { patterns[index].clear(); }
    void renamePattern(int index, std::string_view text) {
        patterns[index].name = sanitizeName(text);
    }

    void copyTrack(int pattern, int track, PatternClipboard& clip) const;
    void cutTrack(int pattern, int track, PatternClipboard& clip);
    // Track operations always use clipboard track 0, whichever track was copied.
    void pasteTrack(int pattern, int track, const PatternClipboard& clip);
    void copyPattern(int pattern, PatternClipboard& clip) const;
    void pastePattern(int pattern, const PatternClipboard& clip);

    // Octave shifts ask `confirm` when some notes already sit at the range limit; those notes stay
    // where they are while the others move. Returns whether the track was changed.
    bool shiftTrackOctaveDown(int pattern, int track, const ConfirmFn& confirm);
    bool shiftTrackOctaveUp(int pattern, int track, const ConfirmFn& confirm);

    void toggleTrack(int track) { trackEnabled[track] = trackEnabled[track] ? 0 : 1; }

    void setInstrumentRegisters(int number, const VoiceBytes& bytes) {
        instruments[number].registers = bytes;
    }
    void renameInstrument(int number, std::string_view userText);
    std::string instrumentUserName(int number) const { return instruments[number].userName(); }

    std::span<const Pattern> usedPatterns() const {
        return {patterns.data(), static_cast<std::size_t>(patternCount)};
    }
};

// The ROM Maker's copy of a song read from a song file: registers and cells only, no names; a
// whole-chip song whole, its kits and samples with it.
struct RomSong {
    std::string name;
    SongKind kind = SongKind::Classic;
    std::shared_ptr<const Song> wholeChip;  // a whole-chip song's; null for a classic one
    std::array<Instrument, kInstrumentSlots> instruments;
    std::uint8_t orderCount = 0;
    std::array<std::uint8_t, kRomSongOrderEntries> order{};
    std::uint8_t patternCount = 0;
    std::array<Pattern, kMaxPatterns> patterns;

    int usedInstrumentCount() const;
    std::span<const Pattern> usedPatterns() const { return {patterns.data(), patternCount}; }
};

}  // namespace qvx
