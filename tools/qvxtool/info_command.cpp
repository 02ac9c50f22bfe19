#include <algorithm>
#include <iostream>
#include <memory>

#include "song/midi_notes.hpp"
#include "song/song_file.hpp"
#include "song/voice_sound.hpp"
#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {
namespace {

// "kick on C, snare on D (level 29)"; an empty kit says so.
std::string kitText(const DrumKit& kit) {
    static constexpr const char* kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                             "F#", "G",  "G#", "A",  "A#", "B"};
    std::string text;
    for (int n = 0; n < kKitNotes; ++n) {
        const KitNote& note = kit.notes[static_cast<std::size_t>(n)];
        if (!note.sample) continue;
        if (!text.empty()) text += ", ";
        text += note.sample->name + " on " + kNames[n];
        if (note.level != kMaxKitLevel) text += " (level " + std::to_string(note.level) + ")";
    }
    return text.empty() ? "no samples" : text;
}

// "tone and noise, volume 12, envelope 10, 4-step sequence"
std::string ssgText(const SsgVoice& voice) {
    static constexpr const char* kMixes[] = {"tone", "noise", "tone and noise"};
    std::string text = kMixes[std::min<int>(static_cast<int>(voice.mix), 2)];
    text += ", volume " + std::to_string(voice.volume);
    if (voice.envelope) text += ", envelope " + std::to_string(voice.envelopeShape);
    if (!voice.sequence.empty())
        text += ", " + std::to_string(voice.sequence.size()) + "-step sequence";
    return text;
}

// "piano at 32000 Hz, base note A-3, looped"
std::string pitchedText(const PitchedSample& pitched) {
    std::string text = pitched.sample ? pitched.sample->name : std::string("no sample");
    // Semitone 0 is C-0, MIDI note 12.
    text += " at " + std::to_string(pitched.rate) + " Hz, base note " +
            midiNoteName(pitched.baseSemitone + 12);
    return pitched.loop ? text + ", looped" : text;
}

void printInfo(const Song& song, std::ostream& out) {
    if (song.kind == SongKind::WholeChip) {
        out << "Kind: whole-chip song, " << kFmTracks << " FM, " << kSsgTracks << " SSG, "
            << kAdpcmATracks << " ADPCM-A and " << kAdpcmBTracks << " ADPCM-B tracks\n";
        for (const bool pitched : {false, true}) {
            std::size_t frames = 0;
            const std::vector<SampleRef> samples =
                pitched ? song.pitchedSamples() : song.kitSamples();
            for (const SampleRef& sample : samples)
                frames += sample->pcm.size();
            out << (pitched ? "ADPCM-B samples: " : "Samples: ") << samples.size() << ", "
                << frames / 2 / 1024 << (pitched ? " KB of ADPCM-B\n" : " KB of ADPCM-A\n");
        }
    } else {
        out << "Kind: classic song, " << kTracks << " FM tracks\n";
    }
    out << "Patterns: " << song.patternCount << '\n';
    for (int p = 0; p < song.patternCount; ++p) {
        out << "  " << patternNumberText(p) << "  " << song.patterns[p].name << '\n';
    }
    out << "Order list: " << song.order.size()
        << (song.order.size() == 1 ? " entry\n" : " entries\n");
    for (std::size_t k = 0; k < song.order.size(); ++k) {
        out << "  " << orderEntryText(static_cast<int>(k), song.order[k]) << '\n';
    }
    out << "Used instrument count: " << song.usedInstrumentCount() << '\n';
    out << "Instruments:\n";
    for (int k = 1; k <= song.instrumentCount(); ++k) {
        const Instrument& instrument = song.instruments[k];
        out << "  " << instrument.name;
        if (instrument.kind == InstrumentKind::AdpcmAKit)
            out << " (drum kit: " << kitText(instrument.kit) << ")";
        else if (instrument.kind == InstrumentKind::SsgVoice)
            out << " (SSG voice: " << ssgText(instrument.ssg) << ")";
        else if (instrument.kind == InstrumentKind::AdpcmBSample)
            out << " (ADPCM-B sample: " << pitchedText(instrument.pitched) << ")";
        out << '\n';
    }
    for (const int k : playedInstruments(song))
        if (const auto reason = silentVoiceReason(song.instruments[k].registers))
            out << "Warning: " << silentVoiceFact(k, *reason) << '\n';
}

}  // namespace

void addInfoCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("info", "Show a song's patterns, order list and instruments");
    auto path = std::make_shared<std::string>();
    cmd->add_option("song", *path, "Song file (.mus)")->required();
    cmd->callback([path] {
        auto song = std::make_unique<Song>();
        const Result result = openSong(*path, *song);
        if (!result) fail(result.message());
        std::cout << "Song: " << *path << '\n';
        printInfo(*song, std::cout);
    });
}

}  // namespace qvx::tool
