#include "rombuild/whole_chip_image.hpp"

#include <algorithm>

#include "driver/whole_chip_driver.hpp"
#include "rombuild/adpcm_a.hpp"
#include "rombuild/adpcm_b.hpp"
#include "song/chip_levels.hpp"
#include "song/chip_timing.hpp"
#include "song/compiled_pattern.hpp"

namespace qvx {
namespace wc = driver::whole_chip;
namespace {

constexpr std::size_t kBlockBytes = 256;                 // the chip's address unit
constexpr std::size_t kBoundaryBytes = 1024 * 1024;      // where its counter does not carry
constexpr std::uint8_t kSilence = 0x80;                  // two codes that change nothing
constexpr std::size_t kMaxBlockSamples = wc::kNoSample;  // 0xFF means none
constexpr std::uint8_t kNoEffect = kNone;

std::string cellPlace(const WholeChipBlockSource& source, int pattern, int track, int row) {
    return "Pattern " + patternNumberText(source.firstPatternNumber + pattern) + ", " +
           trackName(source.song->kind, track) + ", row " + patternNumberText(row);
}

// The driver's track slots: the FM tracks, the ADPCM-A tracks, the SSG tracks, then the ADPCM-B
// track, whatever order the editor shows the groups in.
constexpr TrackKind kSlotGroups[] = {TrackKind::Fm, TrackKind::AdpcmA, TrackKind::Ssg,
                                     TrackKind::AdpcmB};

int trackInSlot(SongKind kind, int slot) {
    for (const TrackKind group : kSlotGroups) {
        if (slot < tracksOf(kind, group)) return firstTrackOf(kind, group) + slot;
        slot -= tracksOf(kind, group);
    }
    return -1;
}

// The instrument a cell's byte names: 0 and none mean the first, as the driver reads them.
int instrumentOf(const Cell& cell) {
    return cell.instrument == 0 || cell.instrument == kNone ? 1 : cell.instrument;
}

bool hasNote(const Cell& cell) {
    return cell.note < kNoteEmpty && cell.octave != kNone;
}

// The instruments the block carries: up to the highest its patterns use.
int blockInstruments(const WholeChipBlockSource& source) {
    return std::min(usedInstrumentCount(source.patterns), kWholeChipInstrumentCount);
}

// The block's samples: those of the kits among its instruments, in their order.
std::vector<SampleRef> blockSamples(const WholeChipBlockSource& source) {
    return source.song->kitSamples(blockInstruments(source));
}

void putWord(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void setWord(std::span<std::uint8_t> out, std::size_t at, std::size_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putSsgVoice(std::vector<std::uint8_t>& out, const SsgVoice& voice) {
    // The mixer bits the voice sets on each channel: tone off, noise off.
    static constexpr std::uint8_t kMixBits[] = {0x08, 0x01, 0x00};
    for (int channel = 0; channel < kSsgTracks; ++channel)
        out.push_back(
            static_cast<std::uint8_t>(kMixBits[static_cast<std::size_t>(voice.mix)] << channel));
    out.push_back(voice.noisePeriod);
    out.push_back(
        static_cast<std::uint8_t>((voice.envelope ? 1u << wc::kSsgEnvelopeBit : 0u) |
                                  (voice.envelopeFollowsNote ? 1u << wc::kSsgFollowsBit : 0u)));
    out.push_back(voice.envelopeShape);
    putWord(out, voice.envelopePeriod);
    const std::vector<std::uint8_t> levels = ssgStepLevels(voice);
    const auto step = [](int value) {
        return value == kNoStep ? wc::kNoStep : static_cast<std::uint8_t>(value);
    };
    out.push_back(static_cast<std::uint8_t>(levels.size()));
    out.push_back(step(voice.loopStep));
    out.push_back(step(voice.releaseStep));
    const std::size_t at = out.size();
    out.resize(at + kMaxSsgSequenceSteps / 2, 0);
    for (std::size_t i = 0; i < levels.size(); ++i)
        out[at + i / 2] |= static_cast<std::uint8_t>((levels[i] & 0x0F) << (i % 2 * 4));
}

SampleCoding pitchedCoding(const PitchedSample& pitched) {
    return pitched.loop ? SampleCoding::AdpcmBLoop : SampleCoding::AdpcmB;
}

}  // namespace

std::vector<std::uint8_t> encodeKitSample(const Sample& sample) {
    std::vector<std::uint8_t> pcm(sample.pcm.size() * 2);
    for (std::size_t i = 0; i < sample.pcm.size(); ++i) {
        const auto value = static_cast<std::uint16_t>(sample.pcm[i]);
        pcm[2 * i] = static_cast<std::uint8_t>(value);
        pcm[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    std::vector<std::uint8_t> out(pcm.size() / 4);
    adpcma::Encoder().encodePcm(pcm, out);
    return out;
}

SampleRom::SampleRom(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    bytes_.resize((bytes_.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, kSilence);
}

std::vector<std::uint8_t> encodePitchedSample(const Sample& sample, bool loop) {
    std::vector<std::int16_t> frames = loop ? loopFrames(sample.pcm) : sample.pcm;
    frames.resize(loopFrameCount(frames.size()), 0);
    std::vector<std::uint8_t> data = adpcmb::Encoder().encodePcm(frames);
    // MAME's model of the chip, at a repeat, starts the decoder afresh and then decodes the
    // sample's last code (the low nibble of its last byte), which so sets the step the next pass
    // starts with: any code above 3 would scale the whole pass up. A last code of 0 leaves the
    // step where a key-on puts it, and the wave 1/2000 of full scale up, in either model.
    if (loop && !data.empty()) data.back() &= 0xF0;
    return data;
}

bool SampleRom::add(const SampleRef& sample, SampleCoding coding) {
    if (placeOf(sample, coding)) return true;
    std::size_t start = bytes_.size();
    if (coding != SampleCoding::AdpcmA) {
        const std::vector<std::uint8_t> data =
            encodePitchedSample(*sample, coding == SampleCoding::AdpcmBLoop);
        if (start + data.size() > adpcma::kAddressableBytes) return false;
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        places_.push_back(
            {sample, coding,
             SamplePlace{static_cast<std::uint16_t>(start / kBlockBytes),
                         static_cast<std::uint16_t>(bytes_.size() / kBlockBytes - 1)}});
        return true;
    }
    std::vector<std::uint8_t> data = encodeKitSample(*sample);
    // Padded to the next block, silence after the sound (a sample ends at the end of a block).
    const std::size_t size = (data.size() / kBlockBytes + 1) * kBlockBytes;
    if (start / kBoundaryBytes != (start + size - 1) / kBoundaryBytes)
        start = (start / kBoundaryBytes + 1) * kBoundaryBytes;
    if (start + size > adpcma::kAddressableBytes) return false;
    bytes_.resize(start, kSilence);
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    bytes_.resize(start + size, kSilence);
    places_.push_back(
        {sample, coding,
         SamplePlace{static_cast<std::uint16_t>(start / kBlockBytes),
                     static_cast<std::uint16_t>((start + data.size()) / kBlockBytes)}});
    return true;
}

std::optional<SamplePlace> SampleRom::placeOf(const SampleRef& sample, SampleCoding coding) const {
    // The same sound in two songs' files is two objects, stored once.
    for (const Stored& stored : places_)
        if (stored.coding == coding &&
            (stored.sample == sample || stored.sample->pcm == sample->pcm))
            return stored.place;
    return std::nullopt;
}

bool addSongSamples(const Song& song, SampleRom& rom, int instrumentsUpTo) {
    bool fits = true;
    for (const SampleRef& sample : song.kitSamples(instrumentsUpTo))
        fits = rom.add(sample) && fits;
    const int last = instrumentsUpTo < 0 ? kWholeChipInstrumentCount : instrumentsUpTo;
    for (int k = 1; k <= last; ++k) {
        const Instrument& instrument = song.instruments[static_cast<std::size_t>(k)];
        if (instrument.kind == InstrumentKind::AdpcmBSample && instrument.pitched.sample)
            fits = rom.add(instrument.pitched.sample, pitchedCoding(instrument.pitched)) && fits;
    }
    return fits;
}

WholeChipBlockSource wholeChipSongSource(const Song& song, bool withTrackFlags) {
    return {&song, song.order, song.usedPatterns(), 0,
            withTrackFlags ? &song.trackEnabled : nullptr};
}

WholeChipBlockSource wholeChipPatternSource(const Song& song, int pattern) {
    static constexpr std::uint8_t kFirst[] = {0};
    return {&song, kFirst, std::span(&song.patterns[static_cast<std::size_t>(pattern)], 1), pattern,
            &song.trackEnabled};
}

std::string wholeChipBlockProblem(const WholeChipBlockSource& source) {
    if (source.order.empty()) return "The order list is empty: add an entry to play the song";
    if (source.order.size() > driver::kOrderEntries)
        return "The order list has " + std::to_string(source.order.size()) +
               " entries; the sound driver plays at most " + std::to_string(driver::kOrderEntries);
    for (std::size_t e = 0; e < source.order.size(); ++e)
        if (source.order[e] >= source.patterns.size())
            return "Order entry " + orderEntryText(static_cast<int>(e), source.order[e]) +
                   " names pattern " + patternNumberText(source.order[e]) +
                   ", which does not exist";
    const Song& song = *source.song;
    for (std::size_t p = 0; p < source.patterns.size(); ++p) {
        for (int t = 0; t < song.trackCount(); ++t) {
            for (int row = 0; row < kRows; ++row) {
                const Cell& cell = source.patterns[p].cell(t, row);
                const std::string where = cellPlace(source, static_cast<int>(p), t, row);
                if (cell.instrument != kNone && cell.instrument > kWholeChipInstrumentCount)
                    return where + " uses instrument " + std::to_string(cell.instrument) +
                           "; instruments are numbered 1 to " +
                           std::to_string(kWholeChipInstrumentCount);
                if (!hasNote(cell)) continue;
                const Instrument& instrument =
                    song.instruments[static_cast<std::size_t>(instrumentOf(cell))];
                const TrackKind track = song.trackKind(t);
                const InstrumentKind wanted = instrumentKindFor(track);
                if (instrument.kind != wanted) {
                    return where + " plays " + instrument.name + ", " +
                           instrumentKindText(instrument.kind) + ": " + tracksText(track) +
                           (track == TrackKind::AdpcmB ? " plays " : " play ") +
                           instrumentKindText(wanted, true);
                }
            }
        }
    }
    if (const std::size_t count = blockSamples(source).size(); count > kMaxBlockSamples)
        return "The song's kits use " + std::to_string(count) + " samples; a song plays at most " +
               std::to_string(kMaxBlockSamples);
    return {};
}

std::uint8_t adpcmAChannels(const WholeChipBlockSource& source) {
    const Song& song = *source.song;
    std::uint8_t channels = 0;
    for (const Pattern& pattern : source.patterns)
        for (int t = 0; t < song.trackCount(); ++t)
            if (song.trackKind(t) == TrackKind::AdpcmA)
                for (const Cell& cell : pattern.tracks[static_cast<std::size_t>(t)])
                    if (hasNote(cell))
                        channels |= static_cast<std::uint8_t>(1u << trackChannel(song.kind, t));
    return channels;
}

std::vector<std::uint8_t> wholeChipBlock(const WholeChipBlockSource& source, SampleRom& rom) {
    const Song& song = *source.song;
    const int instruments = blockInstruments(source);
    const std::vector<SampleRef> samples = blockSamples(source);
    std::vector<std::uint8_t> out{'Q', 'V', 'X', '1'};
    putWord(out, 0);  // the image links the blocks
    out.push_back(static_cast<std::uint8_t>(instruments));
    out.push_back(static_cast<std::uint8_t>(samples.size()));
    out.push_back(static_cast<std::uint8_t>(source.patterns.size()));

    addSongSamples(song, rom, instruments);
    std::vector<std::pair<std::size_t, AdpcmBPitchTable>> rateTables;
    for (int k = 1; k <= instruments; ++k) {
        const Instrument& instrument = song.instruments[static_cast<std::size_t>(k)];
        const std::size_t at = out.size();
        switch (instrument.kind) {
            case InstrumentKind::FmVoice:
                out.insert(out.end(), instrument.registers.begin(), instrument.registers.end());
                break;
            case InstrumentKind::AdpcmAKit:
                for (const KitNote& note : instrument.kit.notes) {
                    const auto found = std::find(samples.begin(), samples.end(), note.sample);
                    out.push_back(note.sample ? static_cast<std::uint8_t>(found - samples.begin())
                                              : wc::kNoSample);
                    out.push_back(std::min(note.level, kMaxKitLevel));
                }
                break;
            case InstrumentKind::SsgVoice:
                putSsgVoice(out, instrument.ssg);
                break;
            case InstrumentKind::AdpcmBSample: {
                const PitchedSample& pitched = instrument.pitched;
                const std::optional<SamplePlace> stored =
                    pitched.sample ? rom.placeOf(pitched.sample, pitchedCoding(pitched))
                                   : std::nullopt;
                const SamplePlace place = stored.value_or(SamplePlace{});
                putWord(out, place.start);
                putWord(out, place.end);
                // Without a sample its notes leave the channel stopped.
                out.push_back(static_cast<std::uint8_t>(
                    stored ? wc::kYmAdpcmbStart | (pitched.loop ? wc::kYmAdpcmbRepeat : 0) : 0));
                out.push_back(pitched.level);
                putWord(out, 0);  // where its rates go, once the patterns are laid out
                const AdpcmBPitchTable rates = pitchedRates(pitched);
                out.push_back(static_cast<std::uint8_t>(rates.octave));
                rateTables.emplace_back(at + wc::kAdpcmbRates, rates);
                break;
            }
        }
        out.resize(at + driver::kInstrumentBytes, 0);
    }
    for (const SampleRef& sample : samples) {
        const SamplePlace place = rom.placeOf(sample).value_or(SamplePlace{});
        putWord(out, place.start);
        putWord(out, place.end);
    }

    out.push_back(static_cast<std::uint8_t>(source.order.size()));
    const std::size_t entries = out.size();
    out.insert(out.end(), source.order.begin(), source.order.end());
    out.resize(entries + driver::kOrderEntries, 0);

    const std::size_t table = out.size();
    out.resize(table + wc::kPatternEntryBytes * source.patterns.size(), 0);
    for (std::size_t p = 0; p < source.patterns.size(); ++p) {
        out[table + 2 * p] = static_cast<std::uint8_t>(out.size());
        out[table + 2 * p + 1] = static_cast<std::uint8_t>(out.size() >> 8);
        for (int row = 0; row < kRows; ++row) {
            const std::size_t mask = out.size();
            out.resize(mask + wc::kRowMaskBytes, 0);
            for (int slot = 0; slot < static_cast<int>(wc::kWholeChipTracks); ++slot) {
                const int t = trackInSlot(song.kind, slot);
                const bool muted = source.trackFlags && (*source.trackFlags)[t] == 0;
                const CompiledCell cell = compileCell(source.patterns[p].cell(t, row), muted);
                const int nibble = cell[0] & 0x0F;
                const bool plays = nibble >= 1 && nibble <= 12;
                if (!plays && cell[2] == kNoEffect) continue;
                out[mask + static_cast<std::size_t>(slot / 8)] |=
                    static_cast<std::uint8_t>(1u << (slot % 8));
                out.insert(out.end(), cell.begin(), cell.end());
            }
        }
    }
    // Each ADPCM-B instrument's delta-N over an octave.
    for (const auto& [entry, rates] : rateTables) {
        setWord(out, entry, out.size());
        for (const std::uint16_t deltaN : rates.deltaN)
            putWord(out, deltaN);
    }
    return out;
}

namespace {

// The tables the driver reads behind its sample table, from the functions the editor uses.
void writeDriverTables(std::span<std::uint8_t> image) {
    for (std::size_t i = 0; i < wc::kOctaveSteps; ++i) {
        setWord(image, wc::kFmFnums + 2 * i, fmFnumOctave()[i]);
        setWord(image, wc::kSsgPeriods + 2 * i, ssgPeriodOctave()[i]);
    }
    for (int tempo = kMinTempo; tempo <= kMaxTempo; ++tempo) {
        const TickTimer timer = tempoTimer(tempo);
        const std::size_t at = wc::kTempoTimers + 2 * static_cast<std::size_t>(tempo - kMinTempo);
        image[at] = static_cast<std::uint8_t>(timer.timerA >> 2);
        image[at + 1] = static_cast<std::uint8_t>((timer.timerA & 3) | (timer.divider << 4));
    }
    for (int volume = 0; volume <= kMaxTrackVolume; ++volume)
        image[wc::kVolumeAttenuations + static_cast<std::size_t>(volume)] =
            volumeAttenuation(volume);
    for (std::size_t n = 0; n < wc::kSineSteps; ++n)
        image[wc::kVibratoSine + n] = vibratoSine(static_cast<int>(n));
}

}  // namespace

std::vector<std::uint8_t> wholeChipImage(std::span<const std::vector<std::uint8_t>> blocks,
                                         std::uint8_t songChannels,
                                         std::span<const std::uint8_t> sampleTable) {
    const auto driverBytes = driver::wholeChipImage();
    std::vector<std::uint8_t> image(driverBytes.begin(), driverBytes.end());
    image[wc::kSongAdpcmaChannels] = songChannels;
    image.resize(wc::kFirstSongBlock, 0);
    writeDriverTables(image);
    std::copy_n(sampleTable.begin(), std::min(sampleTable.size(), driver::kSampleTableBytes),
                image.begin() + wc::kSampleTable);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const std::size_t at = image.size();
        image.insert(image.end(), blocks[b].begin(), blocks[b].end());
        // The link word: from behind it to the next block.
        const std::size_t link =
            b + 1 < blocks.size() ? blocks[b].size() - driver::kSongLink - 2 : 0;
        image[at + driver::kSongLink] = static_cast<std::uint8_t>(link);
        image[at + driver::kSongLink + 1] = static_cast<std::uint8_t>(link >> 8);
    }
    if (image.size() > driver::kVariables) return {};
    return image;
}

}  // namespace qvx
