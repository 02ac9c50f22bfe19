#include "song/whole_chip_file.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "song/byte_reader.hpp"
#include "song/compiled_pattern.hpp"

namespace qvx {
namespace {

constexpr std::uint8_t kWholeChipKindValue = 1;
constexpr std::uint8_t kAdpcmASampleKind = 0;
constexpr std::uint8_t kPitchedSampleKind = 1;
constexpr std::uint16_t kNoSample = 0xFFFF;
constexpr std::uint8_t kNoStepByte = 0xFF;
constexpr std::uint8_t kEnvelopeOn = 0x01, kEnvelopeFollowsNote = 0x02;
constexpr std::size_t kTrackBytes = kRows * kCompiledCellBytes;

class Writer {
  public:
    void byte(std::uint8_t value) { out_.push_back(value); }
    void word16(std::uint16_t value) {
        byte(static_cast<std::uint8_t>(value));
        byte(static_cast<std::uint8_t>(value >> 8));
    }
    void word32(std::uint32_t value) {
        for (int k = 0; k < 4; ++k)
            byte(static_cast<std::uint8_t>(value >> (8 * k)));
    }
    void text(std::string_view value) {
        const std::string name = sanitizeName(value);
        out_.insert(out_.end(), name.begin(), name.end());
        byte(0);
    }
    void bytes(std::span<const std::uint8_t> values) {
        out_.insert(out_.end(), values.begin(), values.end());
    }
    // Starts a section; its length is filled in by endSection.
    void beginSection(std::string_view tag) {
        bytes({reinterpret_cast<const std::uint8_t*>(tag.data()), 4});
        sectionStart_ = out_.size();
        word32(0);
    }
    void endSection() {
        const auto length = static_cast<std::uint32_t>(out_.size() - sectionStart_ - 4);
        for (int k = 0; k < 4; ++k)
            out_[sectionStart_ + static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(length >> (8 * k));
    }
    std::vector<std::uint8_t> take() { return std::move(out_); }

  private:
    std::vector<std::uint8_t> out_;
    std::size_t sectionStart_ = 0;
};

std::string tagText(std::span<const std::uint8_t> tag) {
    const bool printable =
        std::all_of(tag.begin(), tag.end(), [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
    if (printable) {
        std::string text = "\"";
        text.append(tag.begin(), tag.end());
        return text + "\"";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X%02X%02X%02X", tag[0], tag[1], tag[2], tag[3]);
    return text;
}

// Reads the sections into a whole-chip song. Each returns why it refuses, or nothing.
class SectionReader {
  public:
    SectionReader() : song_(std::make_unique<Song>()) {
        song_->kind = SongKind::WholeChip;  // a new song is otherwise as a new whole-chip one
        song_->patternCount = 0;
    }

    std::string read(std::span<const std::uint8_t> tag, std::span<const std::uint8_t> payload) {
        const std::string name = tagText(tag);
        const std::string_view text(reinterpret_cast<const char*>(tag.data()), 4);
        if (!haveSong_ && text != "SONG") return "its first section is " + name + ", not \"SONG\"";
        ByteReader in(payload);
        std::string why;
        if (text == "SONG")
            why = haveSong_ ? "it has a second \"SONG\" section" : readSong(in);
        else if (text == "SMPL")
            why = readSample(in);
        else if (text == "INST")
            why = readInstrument(in);
        else if (text == "ORDR")
            why = haveOrder_ ? "it has a second \"ORDR\" section" : readOrder(in);
        else if (text == "PATT")
            why = readPattern(in);
        else if (tag[0] >= 'a' && tag[0] <= 'z')
            return {};  // a later version's extra, safe to pass over
        else
            return "it holds a section " + name + " this version does not know";
        if (!why.empty()) return why;
        if (in.remaining() != 0)
            return "section " + name + " holds " + std::to_string(in.remaining()) +
                   " bytes after its contents";
        return {};
    }

    // What the file must have had; then the song.
    std::string finish() {
        if (!haveSong_) return "it has no \"SONG\" section";
        if (!haveOrder_) return "it has no order list";
        if (song_->patternCount == 0) return "it holds no pattern";
        return {};
    }
    std::unique_ptr<Song> takeSong() { return std::move(song_); }

  private:
    static std::string endsIn(const std::string& what) { return what + " is cut short"; }

    std::string readSong(ByteReader& in) {
        auto kind = in.byte();
        auto count = in.byte();
        if (!kind || !count) return endsIn("the \"SONG\" section");
        if (*kind != kWholeChipKindValue)
            return "its song kind " + std::to_string(*kind) + " is not a whole-chip song";
        std::array<int, kTrackKinds> seen{};
        for (int t = 0; t < *count; ++t) {
            auto value = in.byte();
            if (!value) return endsIn("the track list");
            if (*value >= kTrackKinds)
                return "track " + std::to_string(t + 1) + " is of a kind (" +
                       std::to_string(*value) + ") this version does not know";
            const auto kindOfTrack = static_cast<TrackKind>(*value);
            const int channel = seen[*value]++;
            if (channel >= tracksOf(SongKind::WholeChip, kindOfTrack))
                return "it has more " + trackKindName(kindOfTrack) +
                       " tracks than the chip has channels";
            trackTargets_.push_back(firstTrackOf(SongKind::WholeChip, kindOfTrack) + channel);
        }
        haveSong_ = true;
        return {};
    }

    std::string readSample(ByteReader& in) {
        const std::string whose = "sample " + std::to_string(samples_.size());
        auto kind = in.byte();
        if (!kind) return endsIn(whose);
        if (*kind != kAdpcmASampleKind && *kind != kPitchedSampleKind)
            return whose + " is of a kind (" + std::to_string(*kind) +
                   ") this version does not know";
        auto name = in.string();
        auto frames = in.word32();
        if (!name || !frames) return endsIn(whose);
        if (*frames == 0) return whose + " holds no sound";
        // ADPCM-A's address counter stops a drum sample at 1 MB; ADPCM-B's runs on.
        if (*kind == kAdpcmASampleKind && *frames > kMaxKitSampleFrames)
            return whose + " has " + std::to_string(*frames) + " frames, more than the " +
                   std::to_string(kMaxKitSampleFrames) + " one sample can have";
        if (totalFrames_ + *frames > kMaxSongSampleFrames)
            return "its samples hold more than the V ROM space can take";
        auto data = in.take(std::size_t{*frames} * 2);
        if (!data) return endsIn(whose);
        std::vector<std::int16_t> pcm(*frames);
        for (std::size_t f = 0; f < pcm.size(); ++f)
            pcm[f] = static_cast<std::int16_t>((*data)[2 * f] | (*data)[2 * f + 1] << 8);
        totalFrames_ += *frames;
        samples_.push_back(makeSample(std::move(*name), std::move(pcm)));
        sampleKinds_.push_back(*kind);
        return {};
    }

    // A sample number an instrument names: one the file held before it, of the kind it plays.
    std::string sampleProblem(const std::string& whose, std::uint16_t sample, std::uint8_t kind) {
        if (sample >= samples_.size())
            return whose + " plays sample " + std::to_string(sample) +
                   ", which the file does not hold before it";
        if (sampleKinds_[sample] != kind)
            return whose + " plays sample " + std::to_string(sample) + ", which is " +
                   (kind == kAdpcmASampleKind ? "not a drum sample" : "a drum sample");
        return {};
    }

    std::string readSsgVoice(ByteReader& in, const std::string& whose, SsgVoice& voice) {
        auto mix = in.byte(), noise = in.byte(), volume = in.byte(), flags = in.byte(),
             shape = in.byte();
        auto period = in.word16();
        auto steps = in.byte();
        if (!mix || !noise || !volume || !flags || !shape || !period || !steps)
            return endsIn(whose + "'s SSG voice");
        if (*steps > kMaxSsgSequenceSteps)
            return whose + "'s volume sequence has " + std::to_string(*steps) +
                   " steps; it has at most " + std::to_string(kMaxSsgSequenceSteps);
        auto sequence = in.take(*steps);
        auto loop = in.byte(), release = in.byte();
        if (!sequence || !loop || !release) return endsIn(whose + "'s volume sequence");
        if (*flags > (kEnvelopeOn | kEnvelopeFollowsNote))
            return whose + "'s envelope settings (" + std::to_string(*flags) +
                   ") are not ones this version knows";
        voice.mix = static_cast<SsgMix>(*mix);
        voice.noisePeriod = *noise;
        voice.volume = *volume;
        voice.envelope = *flags & kEnvelopeOn;
        voice.envelopeFollowsNote = *flags & kEnvelopeFollowsNote;
        voice.envelopeShape = *shape;
        voice.envelopePeriod = *period;
        voice.sequence.assign(sequence->begin(), sequence->end());
        voice.loopStep = *loop == kNoStepByte ? kNoStep : *loop;
        voice.releaseStep = *release == kNoStepByte ? kNoStep : *release;
        if (const std::string why = ssgVoiceProblem(voice); !why.empty()) return whose + ": " + why;
        return {};
    }

    std::string readPitchedSample(ByteReader& in, const std::string& whose,
                                  PitchedSample& pitched) {
        auto sample = in.word16();
        auto rate = in.word32();
        auto base = in.byte(), level = in.byte(), loop = in.byte();
        if (!sample || !rate || !base || !level || !loop) return endsIn(whose + "'s sample");
        if (*sample != kNoSample) {
            if (std::string why = sampleProblem(whose, *sample, kPitchedSampleKind); !why.empty())
                return why;
            pitched.sample = samples_[*sample];
        }
        if (*rate < kMinPitchedSampleRate || *rate > kMaxPitchedSampleRate)
            return whose + " plays its sample at " + std::to_string(*rate) +
                   " Hz; ADPCM-B samples are made at " + std::to_string(kMinPitchedSampleRate) +
                   " to " + std::to_string(static_cast<int>(kMaxPitchedSampleRate)) + " Hz";
        if (*base > kMaxBaseSemitone) return whose + "'s base note is beyond octave 8";
        if (*loop > 1) return whose + "'s loop is neither on nor off";
        pitched.rate = *rate;
        pitched.baseSemitone = *base;
        pitched.level = *level;
        pitched.loop = *loop == 1;
        return {};
    }

    std::string readInstrument(ByteReader& in) {
        auto number = in.byte();
        auto kind = in.byte();
        if (!number || !kind) return endsIn("an instrument section");
        const std::string whose = "instrument " + std::to_string(*number);
        if (*number < 1 || *number > kWholeChipInstrumentCount)
            return "it numbers an instrument " + std::to_string(*number) +
                   "; instruments are numbered 1 to " + std::to_string(kWholeChipInstrumentCount);
        if (seenInstrument_[*number]) return whose + " comes twice";
        seenInstrument_[*number] = true;
        auto name = in.string();
        if (!name) return endsIn(whose + "'s name");
        Instrument& instrument = song_->instruments[*number];
        instrument.name = instrumentName(*number, *name);
        if (*kind == static_cast<std::uint8_t>(InstrumentKind::FmVoice)) {
            auto registers = in.fixed<kVoiceBytes>();
            if (!registers) return endsIn(whose + "'s voice");
            std::copy(registers->begin(), registers->end(), instrument.registers.begin());
            return {};
        }
        if (*kind == static_cast<std::uint8_t>(InstrumentKind::SsgVoice)) {
            instrument.kind = InstrumentKind::SsgVoice;
            return readSsgVoice(in, whose, instrument.ssg);
        }
        if (*kind == static_cast<std::uint8_t>(InstrumentKind::AdpcmBSample)) {
            instrument.kind = InstrumentKind::AdpcmBSample;
            return readPitchedSample(in, whose, instrument.pitched);
        }
        if (*kind != static_cast<std::uint8_t>(InstrumentKind::AdpcmAKit))
            return whose + " is of a kind (" + std::to_string(*kind) +
                   ") this version does not know";
        instrument.kind = InstrumentKind::AdpcmAKit;
        for (int n = 0; n < kKitNotes; ++n) {
            auto sample = in.word16();
            auto level = in.byte();
            if (!sample || !level) return endsIn(whose + "'s kit");
            if (*level > kMaxKitLevel)
                return whose + " plays a note at level " + std::to_string(*level) +
                       "; levels go from 0 to " + std::to_string(kMaxKitLevel);
            if (*sample != kNoSample)
                if (std::string why = sampleProblem(whose, *sample, kAdpcmASampleKind);
                    !why.empty())
                    return why;
            KitNote& note = instrument.kit.notes[static_cast<std::size_t>(n)];
            note.level = *level;
            if (*sample != kNoSample) note.sample = samples_[*sample];
        }
        return {};
    }

    std::string readOrder(ByteReader& in) {
        auto count = in.byte();
        if (!count) return endsIn("the order list");
        if (*count == 0 || *count > kMaxOrderEntries)
            return "its order list has " + std::to_string(*count) + " entries; a song has 1 to " +
                   std::to_string(kMaxOrderEntries);
        song_->order.assign(*count, 0);
        for (std::size_t e = 0; e < song_->order.size(); ++e) {
            auto value = in.byte();
            if (!value) return endsIn("the order list");
            if (*value >= kMaxPatterns)
                return "order entry " + std::to_string(e) + " plays pattern " +
                       std::to_string(*value) + ", beyond the last of " +
                       std::to_string(kMaxPatterns);
            song_->order[e] = *value;
        }
        haveOrder_ = true;
        return {};
    }

    std::string readPattern(ByteReader& in) {
        if (song_->patternCount >= kMaxPatterns)
            return "it holds more than " + std::to_string(kMaxPatterns) + " patterns";
        const int index = song_->patternCount;
        const std::string whose = "pattern " + std::to_string(index);
        auto name = in.string();
        if (!name) return endsIn(whose + "'s name");
        Pattern& pattern = song_->patterns[index];
        pattern.clear();
        pattern.name = std::move(*name);
        for (const int target : trackTargets_) {
            auto data = in.fixed<kTrackBytes>();
            if (!data) return endsIn(whose + "'s cell data");
            for (int row = 0; row < kRows; ++row) {
                auto cell = decodeStoredCell(
                    data->subspan(static_cast<std::size_t>(row) * kCompiledCellBytes)
                        .first<kCompiledCellBytes>());
                if (!cell) return whose + " holds a note or an octave no song has";
                pattern.tracks[target][row] = *cell;
            }
        }
        ++song_->patternCount;
        return {};
    }

    std::unique_ptr<Song> song_;
    std::vector<int> trackTargets_;  // the song's track for each track the file stores
    std::vector<SampleRef> samples_;
    std::vector<std::uint8_t> sampleKinds_;
    std::size_t totalFrames_ = 0;
    std::array<bool, kInstrumentSlots> seenInstrument_{};
    bool haveSong_ = false;
    bool haveOrder_ = false;
};

void writeSample(Writer& out, const Sample& sample, std::uint8_t kind) {
    out.beginSection("SMPL");
    out.byte(kind);
    out.text(sample.name);
    out.word32(static_cast<std::uint32_t>(sample.pcm.size()));
    for (std::int16_t frame : sample.pcm)
        out.word16(static_cast<std::uint16_t>(frame));
    out.endSection();
}

void writeSsgVoice(Writer& out, const SsgVoice& voice) {
    out.byte(static_cast<std::uint8_t>(voice.mix));
    out.byte(voice.noisePeriod);
    out.byte(voice.volume);
    out.byte(static_cast<std::uint8_t>((voice.envelope ? kEnvelopeOn : 0) |
                                       (voice.envelopeFollowsNote ? kEnvelopeFollowsNote : 0)));
    out.byte(voice.envelopeShape);
    out.word16(voice.envelopePeriod);
    const std::size_t steps = std::min<std::size_t>(voice.sequence.size(), kMaxSsgSequenceSteps);
    out.byte(static_cast<std::uint8_t>(steps));
    out.bytes({voice.sequence.data(), steps});
    const auto step = [](int value) {
        return value == kNoStep ? kNoStepByte : static_cast<std::uint8_t>(value);
    };
    out.byte(step(voice.loopStep));
    out.byte(step(voice.releaseStep));
}

}  // namespace

std::vector<std::uint8_t> serializeWholeChipSong(const Song& song) {
    Writer out;
    out.bytes({reinterpret_cast<const std::uint8_t*>(kWholeChipSongMagic.data()),
               kWholeChipSongMagic.size()});

    out.beginSection("SONG");
    out.byte(kWholeChipKindValue);
    out.byte(static_cast<std::uint8_t>(song.trackCount()));
    for (int t = 0; t < song.trackCount(); ++t)
        out.byte(static_cast<std::uint8_t>(song.trackKind(t)));
    out.endSection();

    // Drum samples first, then the ADPCM-B ones, numbered together in that order.
    const std::vector<SampleRef> samples = song.kitSamples();
    const std::vector<SampleRef> pitchedSamples = song.pitchedSamples();
    for (const SampleRef& sample : samples)
        writeSample(out, *sample, kAdpcmASampleKind);
    for (const SampleRef& sample : pitchedSamples)
        writeSample(out, *sample, kPitchedSampleKind);
    const auto numberOf = [&](const SampleRef& sample, bool pitched) {
        if (!sample) return kNoSample;
        const std::vector<SampleRef>& list = pitched ? pitchedSamples : samples;
        const auto at = std::find(list.begin(), list.end(), sample) - list.begin();
        return static_cast<std::uint16_t>(at + (pitched ? std::ssize(samples) : 0));
    };

    for (int k = 1; k <= song.instrumentCount(); ++k) {
        const Instrument& instrument = song.instruments[k];
        out.beginSection("INST");
        out.byte(static_cast<std::uint8_t>(k));
        out.byte(static_cast<std::uint8_t>(instrument.kind));
        out.text(instrument.userName());
        switch (instrument.kind) {
            case InstrumentKind::FmVoice:
                out.bytes(instrument.registers);
                break;
            case InstrumentKind::AdpcmAKit:
                for (const KitNote& note : instrument.kit.notes) {
                    out.word16(numberOf(note.sample, false));
                    out.byte(std::min(note.level, kMaxKitLevel));
                }
                break;
            case InstrumentKind::SsgVoice:
                writeSsgVoice(out, instrument.ssg);
                break;
            case InstrumentKind::AdpcmBSample: {
                const PitchedSample& pitched = instrument.pitched;
                out.word16(numberOf(pitched.sample, true));
                out.word32(pitched.rate);
                out.byte(static_cast<std::uint8_t>(pitched.baseSemitone));
                out.byte(pitched.level);
                out.byte(pitched.loop ? 1 : 0);
                break;
            }
        }
        out.endSection();
    }

    out.beginSection("ORDR");
    const std::size_t orderCount = std::min<std::size_t>(song.order.size(), kMaxOrderEntries);
    out.byte(static_cast<std::uint8_t>(orderCount));
    out.bytes({song.order.data(), orderCount});
    out.endSection();

    for (const Pattern& pattern : song.usedPatterns()) {
        out.beginSection("PATT");
        out.text(pattern.name);
        for (int t = 0; t < song.trackCount(); ++t)
            for (const Cell& cell : pattern.tracks[t])
                out.bytes(compileCell(cell));
        out.endSection();
    }
    return out.take();
}

std::string readWholeChipSong(std::span<const std::uint8_t> bytes, Song& out) {
    if (bytes.size() > kMaxWholeChipSongFileBytes)
        return "it is larger than the " + std::to_string(kMaxWholeChipSongFileBytes) +
               " bytes any song makes";
    ByteReader in(bytes);
    if (!in.magic(kWholeChipSongMagic))
        return "it does not start with \"" + std::string(kWholeChipSongMagic) + "\"";
    SectionReader sections;
    while (in.remaining() > 0) {
        const std::size_t at = in.position();
        auto tag = in.take(4);
        auto length = in.word32();
        if (!tag || !length)
            return "the file ends after " + std::to_string(in.size()) +
                   " bytes, inside the header of a section at byte " + std::to_string(at);
        auto payload = in.take(*length);
        if (!payload)
            return "section " + tagText(*tag) + " at byte " + std::to_string(at) +
                   " says it holds " + std::to_string(*length) +
                   " bytes, but the file ends after " + std::to_string(in.size());
        if (std::string why = sections.read(*tag, *payload); !why.empty()) return why;
    }
    if (std::string why = sections.finish(); !why.empty()) return why;
    out = std::move(*sections.takeSong());
    return {};
}

}  // namespace qvx
