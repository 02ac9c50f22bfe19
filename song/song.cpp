#include "song/song.hpp"

#include <algorithm>
#include <cstdio>

namespace qvx {

std::string_view noteName(std::uint8_t note) {
    static constexpr std::array<std::string_view, 14> kNames = {
        "C -", "C#", "D -", "D#", "E -", "F -", "F#", "G -", "G#", "A -", "A#", "B -", "- -", "END",
    };
    return note < kNames.size() ? kNames[note] : std::string_view("???");
}

const TrackSet& Pattern::emptyTracks() {
    static const TrackSet empty = [] {
        TrackSet all;
        for (auto& track : all)
            track.fill(kEmptyCell);
        return all;
    }();
    return empty;
}

std::string Instrument::userName() const {
    return name.size() > 3 ? name.substr(3) : std::string();
}

std::string instrumentName(int number, std::string_view userName) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d ", number);
    return prefix + sanitizeName(userName);
}

std::string patternDefaultName(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "Pat %02d", index);
    return text;
}

std::string patternNumberText(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", index);
    return text;
}

std::string orderEntryText(int position, int pattern) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d - %02d", position, pattern);
    return text;
}

std::string sanitizeName(std::string_view text) {
    // The files store names zero-terminated and the readers take at most 255 bytes.
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    if (text.size() <= kMaxNameLength) return std::string(text);
    // Cut before a character that would not fit whole: back over the continuation bytes of a
    // UTF-8 sequence (at most three).
    std::size_t cut = kMaxNameLength;
    for (int k = 0; k < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++k)
        --cut;
    return std::string(text.substr(0, cut));
}

std::string instrumentKindName(InstrumentKind kind) {
    switch (kind) {
        case InstrumentKind::AdpcmAKit:
            return "drum kit";
        case InstrumentKind::SsgVoice:
            return "SSG voice";
        case InstrumentKind::AdpcmBSample:
            return "ADPCM-B sample";
        default:
            return "FM voice";
    }
}

std::string instrumentKindText(InstrumentKind kind, bool plural) {
    const std::string name = instrumentKindName(kind);
    if (plural) return name + "s";
    return (kind == InstrumentKind::AdpcmAKit ? "a " : "an ") + name;
}

std::string tracksText(TrackKind kind) {
    switch (kind) {
        case TrackKind::AdpcmA:
            return "drum tracks";
        case TrackKind::Ssg:
            return "SSG tracks";
        case TrackKind::AdpcmB:
            return "the ADPCM-B track";
        default:
            return "FM tracks";
    }
}

int usedInstrumentCount(std::span<const Pattern> patterns) {
    int result = 1;
    for (const Pattern& pattern : patterns)
        for (const Track& track : pattern.tracks)
            for (const Cell& cell : track)
                result = std::max(result, asSigned(cell.instrument));
    return result;
}

namespace {

// Moves a track's notes one octave down (step -1) or up (+1). When a note already sits at the
// limit the way goes, the question comes first; on Yes those notes stay at the limit while the
// others move. Octave 0 and none (read as -1) never move.
bool shiftTrackOctave(Track& cells, int step, const ConfirmFn& confirm) {
    const bool down = step < 0;
    const int limit = down ? kMinOctave : kMaxOctave;
    int nearest = down ? kMaxOctave : 0;
    for (const Cell& cell : cells) {
        if (cell.octave == kNone) continue;
        const int octave = asSigned(cell.octave);
        nearest = down ? std::min(nearest, octave) : std::max(nearest, octave);
    }
    if (nearest == limit && !(confirm && confirm(kOctaveLossQuestion))) return false;
    for (Cell& cell : cells) {
        const int octave = asSigned(cell.octave);
        if (down ? octave > limit : octave > 0 && octave < limit)
            cell.octave = static_cast<std::uint8_t>(octave + step);
    }
    return true;
}

}  // namespace

Song::Song() {
    reset();
}

void Song::reset() {
    kind = SongKind::Classic;
    patternCount = 0;
    for (int k = 1; k <= kWholeChipInstrumentCount; ++k) {
        instruments[k] = Instrument();
        instruments[k].name = instrumentName(k, "Unnamed");
    }
    trackEnabled = allTracksEnabled();
    for (Pattern& pattern : patterns)
        pattern.clear();
    addPattern();
    order.assign(1, 0);
}

void Song::resetWholeChip() {
    reset();
    kind = SongKind::WholeChip;
}

void Song::convertToWholeChip() {
    // A classic song never shows the tracks beyond its four, so nothing there is the user's.
    for (Pattern& pattern : patterns)
        for (int track = kTracks; track < kMaxTracks; ++track)
            pattern.tracks[track].fill(kEmptyCell);
    kind = SongKind::WholeChip;
}

namespace {

void addOnce(std::vector<SampleRef>& samples, const SampleRef& sample) {
    if (sample && std::find(samples.begin(), samples.end(), sample) == samples.end())
        samples.push_back(sample);
}

}  // namespace

std::vector<SampleRef> Song::kitSamples(int instrumentsUpTo) const {
    std::vector<SampleRef> samples;
    const int last = instrumentsUpTo < 0 ? instrumentCount() : instrumentsUpTo;
    for (int k = 1; k <= last; ++k)
        if (instruments[k].kind == InstrumentKind::AdpcmAKit)
            for (const SampleRef& sample : instruments[k].kit.samples())
                addOnce(samples, sample);
    return samples;
}

std::vector<SampleRef> Song::pitchedSamples(int instrumentsUpTo) const {
    std::vector<SampleRef> samples;
    const int last = instrumentsUpTo < 0 ? instrumentCount() : instrumentsUpTo;
    for (int k = 1; k <= last; ++k)
        if (instruments[k].kind == InstrumentKind::AdpcmBSample)
            addOnce(samples, instruments[k].pitched.sample);
    return samples;
}

TrackFlags Song::allTracksEnabled() {
    TrackFlags flags;
    flags.fill(1);
    return flags;
}

int Song::usedInstrumentCount() const {
    return qvx::usedInstrumentCount(usedPatterns());
}

std::optional<int> Song::addPattern() {
    if (patternCount >= kMaxPatterns) return std::nullopt;
    const int index = patternCount++;
    patterns[index].clear();
    patterns[index].name = patternDefaultName(index);
    return index;
}

void Song::copyTrack(int pattern, int track, PatternClipboard& clip) const {
    clip.tracks[0] = patterns[pattern].tracks[track];
}

void Song::cutTrack(int pattern, int track, PatternClipboard& clip) {
    copyTrack(pattern, track, clip);
    patterns[pattern].tracks[track].fill(kEmptyCell);
}

void Song::pasteTrack(int pattern, int track, const PatternClipboard& clip) {
    patterns[pattern].tracks[track] = clip.tracks[0];
}

void Song::copyPattern(int pattern, PatternClipboard& clip) const {
    clip.tracks = patterns[pattern].tracks;
}

void Song::pastePattern(int pattern, const PatternClipboard& clip) {
    // Only the tracks this song has: a classic song keeps its hidden ones empty.
    std::copy_n(clip.tracks.begin(), trackCount(), patterns[pattern].tracks.begin());
}

bool Song::shiftTrackOctaveDown(int pattern, int track, const ConfirmFn& confirm) {
    return shiftTrackOctave(patterns[pattern].tracks[track], -1, confirm);
}

bool Song::shiftTrackOctaveUp(int pattern, int track, const ConfirmFn& confirm) {
    return shiftTrackOctave(patterns[pattern].tracks[track], +1, confirm);
}

void Song::renameInstrument(int number, std::string_view userText) {
    instruments[number].name = instrumentName(number, userText);
}

int RomSong::usedInstrumentCount() const {
    return qvx::usedInstrumentCount(usedPatterns());
}

}  // namespace qvx
