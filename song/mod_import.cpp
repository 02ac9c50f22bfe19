#include "song/mod_import.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>

#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

// Amiga periods of the five octaves ProTracker can play, C to B; index 12 * i + n is note n in
// octave i + 3. Finetuned samples use other periods, which on purpose match nothing here.
constexpr std::array<std::uint16_t, 60> kPeriods = {
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 907,  //
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480, 453,  //
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240, 226,  //
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120, 113,  //
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,  56,
};
constexpr int kFirstOctave = 3;
constexpr std::string_view kSignature = "M.K.";
constexpr int kNoSample = -1;

std::size_t bigEndianWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::size_t>(bytes[offset]) << 8 | bytes[offset + 1];
}

// Converts one 4-byte module note. `remembered` is this channel's sample number for the pattern:
// taken from the first note that has a pitch (even when that note names no sample) and then
// handed to every later note without a sample number of its own.
Cell convertNote(const std::uint8_t* note, int& remembered, ModImportReport& report,
                 bool wholeChip) {
    const int period = (note[0] & 0x0F) << 8 | note[1];
    const int sample = (note[0] & 0xF0) | (note[2] >> 4);
    const std::uint8_t effect = note[2] & 0x0F;
    const std::uint8_t parameter = note[3];

    Cell cell;
    std::tie(cell.note, cell.octave) = periodToNote(period);
    if (cell.note == kNoteEmpty) {
        cell.octave = kNone;
        cell.instrument = kNone;
        if (period != 0) ++report.droppedNotes;
    } else {
        if (remembered == kNoSample) remembered = sample;
        const int number = sample == 0 ? remembered : sample;
        if (number > kInstrumentCount) {
            // Only a damaged module gets here (the high nibble normally holds one bit). Kept, it
            // would make the compiled image claim instruments the song does not have.
            cell.instrument = kNone;
            ++report.clearedSampleNumbers;
        } else {
            cell.instrument = static_cast<std::uint8_t>(number);
        }
    }
    // Arpeggio has no counterpart in the classic driver, and its parameter would be meaningless
    // alone; the whole-chip driver plays it (000 does nothing there either).
    if (effect != 0 || (wholeChip && parameter != 0)) {
        cell.effect = effect;
        cell.parameter = parameter;
    }
    return cell;
}

// A whole-chip import's instruments: each sample the notes use is named after the module's and
// takes a voice; a note whose sample is quieter than 64 starts at its volume (Cxx), as
// ProTracker starts it, unless its cell has another effect.
void giveSampleVoices(std::span<const std::uint8_t> head, Song& song,
                      const ModImportOptions& options) {
    std::array<bool, kModSamples + 1> used{};
    for (int p = 0; p < song.patternCount; ++p) {
        for (int channel = 0; channel < kTracks; ++channel) {
            for (int row = 0; row < kRows; ++row) {
                Cell& cell = song.patterns[p].cell(channel, row);
                if (cell.note == kNoteEmpty || cell.instrument == kNone || cell.instrument == 0)
                    continue;
                used[cell.instrument] = true;
                const std::size_t header =
                    kModSampleHeaders + kModSampleHeaderBytes * (cell.instrument - 1u);
                const int volume = std::min<int>(head[header + kModSampleVolumeOffset], 64);
                if (volume < 64 && cell.effect == kNone) {
                    cell.effect = 0x0C;
                    cell.parameter = static_cast<std::uint8_t>(volume);
                }
            }
        }
    }
    for (int number = 1; number <= kModSamples; ++number) {
        if (!used[static_cast<std::size_t>(number)]) continue;
        const auto* name = head.data() + kModSampleHeaders + kModSampleHeaderBytes * (number - 1u);
        // Up to its first zero byte, in printable ASCII: a module's names are in no one encoding.
        std::string text;
        for (std::size_t i = 0; i < kModSampleNameBytes && name[i] != 0; ++i)
            if (name[i] >= 0x20 && name[i] < 0x7F) text += static_cast<char>(name[i]);
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        Instrument& instrument = song.instruments[static_cast<std::size_t>(number)];
        instrument.name = instrumentName(number, sanitizeName(text));
        if (options.voiceFor) instrument.registers = options.voiceFor(text, number);
    }
}

}  // namespace

std::pair<std::uint8_t, std::uint8_t> periodToNote(int period) {
    if (period != 0) {
        const auto* match = std::find(kPeriods.begin(), kPeriods.end(), period);
        if (match != kPeriods.end()) {
            const auto index = static_cast<int>(match - kPeriods.begin());
            return {static_cast<std::uint8_t>(index % 12),
                    static_cast<std::uint8_t>(kFirstOctave + index / 12)};
        }
    }
    return {kNoteEmpty, kNone};
}

// What the import refuses, and why:
// - no "M.K." at 1080 (or a file too short to hold it): 15-sample modules, other channel counts
//   and the more-than-64-patterns "M!K!" variant are laid out differently.
// - a song length of 0 (nothing to play; the song needs at least one order entry) or above 128
//   (the order table has 128 slots before the signature, so anything more is garbage).
// - a file too short for the header, the sample data its header declares and one pattern: it
//   is truncated or not a module, and a song needs at least one pattern.
// - an order entry naming a pattern at or beyond the pattern count: playing it would run off the
//   song's patterns.
// A file whose size leaves room for more than 64 patterns is imported with the first 64: an
// "M.K." module holds at most 64, so the surplus is trailing data rather than music.
Result parseMod(std::span<const std::uint8_t> head, std::uint64_t fileLength, Song& out,
                ModImportReport* report, const ModImportOptions& options) {
    const auto invalid = [](std::string why) {
        return Result::failure(std::string(kInvalidModMessage), std::move(why));
    };
    if (fileLength < kModPatternsOffset || head.size() < kModPatternsOffset)
        return invalid("the file holds " + std::to_string(fileLength) + " bytes, fewer than a " +
                       "module's " + std::to_string(kModPatternsOffset) + " bytes of header");
    if (!std::equal(kSignature.begin(), kSignature.end(), head.begin() + kModSignatureOffset))
        return invalid("it has no \"M.K.\" signature at byte " +
                       std::to_string(kModSignatureOffset));

    const std::size_t songLength = head[kModSongLengthOffset];
    if (songLength == 0 || songLength > kModOrderSlots)
        return invalid("its song length is " + std::to_string(songLength) +
                       "; a module's is 1 to " + std::to_string(kModOrderSlots));

    std::uint64_t sampleBytes = 0;
    for (int s = 0; s < kModSamples; ++s) {
        sampleBytes += 2 * bigEndianWord(head, kModSampleHeaders + kModSampleHeaderBytes * s +
                                                   kModSampleLengthOffset);
    }
    if (fileLength < kModPatternsOffset + sampleBytes + kModPatternBytes)
        return invalid("the file ends after " + std::to_string(fileLength) + " of the " +
                       std::to_string(kModPatternsOffset + sampleBytes + kModPatternBytes) +
                       " bytes its header, one pattern and its samples need");

    ModImportReport result;
    result.patternsInFile = (fileLength - kModPatternsOffset - sampleBytes) / kModPatternBytes;
    result.patterns =
        static_cast<int>(std::min<std::uint64_t>(result.patternsInFile, kMaxPatterns));
    // The size was taken apart from the read; a file that shrank in between is refused too.
    const std::size_t patternBytes = static_cast<std::size_t>(result.patterns) * kModPatternBytes;
    if (head.size() < kModPatternsOffset + patternBytes)
        return invalid("the file shrank while it was read");

    const auto order = head.subspan(kModOrderOffset, songLength);
    for (std::size_t e = 0; e < order.size(); ++e)
        if (order[e] >= result.patterns)
            return invalid("order entry " + std::to_string(e) + " plays pattern " +
                           std::to_string(order[e]) + " of the " + std::to_string(result.patterns) +
                           " the file holds");
    result.orderEntries = static_cast<int>(songLength);

    auto song = std::make_unique<Song>();  // the new song state: instruments stay as they are
    if (options.wholeChip) song->resetWholeChip();
    song->order.assign(order.begin(), order.end());
    song->patternCount = result.patterns;
    for (int p = 0; p < result.patterns; ++p) {
        Pattern& pattern = song->patterns[p];
        pattern.name = patternDefaultName(p);
        std::array<int, kTracks> remembered;
        remembered.fill(kNoSample);
        const std::uint8_t* note = head.data() + kModPatternsOffset + kModPatternBytes * p;
        for (int row = 0; row < kRows; ++row) {
            for (int channel = 0; channel < kTracks; ++channel, note += 4)
                pattern.cell(channel, row) =
                    convertNote(note, remembered[channel], result, options.wholeChip);
        }
    }

    if (options.wholeChip) giveSampleVoices(head, *song, options);
    out = std::move(*song);
    if (report) *report = result;
    return Result::success();
}

Result importMod(const std::filesystem::path& path, Song& out, ModImportReport* report,
                 const ModImportOptions& options) {
    auto head = readFileHead(path, kModHeadBytes);
    std::error_code error;
    const std::uint64_t length = head ? std::filesystem::file_size(path, error) : 0;
    if (!head || error) return cannotOpen(path);
    const Result read = parseMod(*head, length, out, report, options);
    return read ? read : refuseFile(read.message(), path, read.detail());
}

}  // namespace qvx
