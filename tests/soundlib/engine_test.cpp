#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "examples/demo_song.hpp"
#include "song/chip_timing.hpp"
#include "soundlib/engine/engine.hpp"
#include "tests/support/driver_rig.hpp"
#include "tools/engine_sound_target.hpp"

namespace qvx {
namespace {

using qvxsnd::Engine;
using qvxsnd::RegisterWrite;
using testing::multiSongImage;
using testing::songImage;

constexpr std::uint32_t kRate = 44100;

// The engine with everything the chip receives recorded.
struct Rig {
    Rig() : engine(std::make_unique<Engine>(kRate)) {
        engine->setWriteObserver([this](const RegisterWrite& w) { writes.push_back(w); });
    }
    // Renders `seconds` in chunks of `chunk` frames; returns the samples.
    std::vector<std::int16_t> run(double seconds, std::size_t chunk = 512) {
        const auto total = static_cast<std::size_t>(seconds * kRate);
        std::vector<std::int16_t> out(total * 2);
        for (std::size_t done = 0; done < total; done += std::min(chunk, total - done))
            engine->render(out.data() + done * 2, std::min(chunk, total - done));
        return out;
    }
    std::vector<std::uint64_t> keyOnFrames(std::uint8_t channelCode = 0x01) const {
        std::vector<std::uint64_t> frames;
        for (const RegisterWrite& w : writes)
            if (w.bank == 0 && w.address == 0x28 && w.value == (0xF0 | channelCode))
                frames.push_back(w.frame);
        return frames;
    }
    std::unique_ptr<Engine> engine;
    std::vector<RegisterWrite> writes;
};

double rms(std::span<const std::int16_t> samples) {
    double sum = 0;
    for (std::int16_t s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

Song toneSong(std::uint8_t note = 9, int rows = 1) {
    Song song = examples::makeDemoSong();
    song.patternCount = 1;
    song.patterns[0].clear();
    song.order = {0};
    for (int r = 0; r < rows; ++r)
        song.patterns[0].cell(0, r) = Cell{note, 4, 2, 0xFF, 0xFF};
    return song;
}

TEST(Engine, CommandBeforeAnyImageIsLost) {
    Rig rig;
    rig.engine->sendCommand(0x81);
    rig.run(0.05);
    rig.engine->sendData(songImage(toneSong()));
    rig.run(1.5);
    EXPECT_TRUE(rig.keyOnFrames().empty());
}

TEST(Engine, CommandRightAfterTheImageStartsTheSongAfterStartUp) {
    Rig rig;
    rig.engine->sendData(songImage(toneSong()));
    rig.engine->sendCommand(0x81);
    rig.run(1.0);
    const auto keys = rig.keyOnFrames();
    ASSERT_FALSE(keys.empty());
    // Held to 100 ms, taken at the next tick boundary; six ticks later the first row plays.
    const double first = double(keys[0]) / kRate;
    EXPECT_GT(first, 0.100 + 6 * 0.016 - 0.001);
    EXPECT_LT(first, 0.066 + 9 * 0.016 + 0.002);
}

TEST(Engine, RowsAtSpeedSixLast96Milliseconds) {
    Rig rig;
    rig.engine->sendData(songImage(toneSong(9, 64)));
    rig.engine->sendCommand(0x81);
    rig.run(2.5);
    const auto keys = rig.keyOnFrames();
    ASSERT_GE(keys.size(), 20u);
    // 96 ms is 4233.6 frames: the key-ons fall on exact sample positions 4233 or 4234 apart,
    // never drifting from the 16 ms tick grid.
    for (std::size_t i = 2; i < keys.size(); ++i) {
        const std::uint64_t gap = keys[i] - keys[i - 1];
        EXPECT_TRUE(gap == 4233 || gap == 4234) << i << ": " << gap;
    }
    const double span = double(keys.back() - keys[1]);
    EXPECT_NEAR(span / double(keys.size() - 2), 4233.6, 0.5);
}

TEST(Engine, TwoCommandsBeforeTheDriverTakesThemGiveTheLaterOne) {
    Song first = toneSong(2);
    Song second = toneSong(11);
    Rig rig;
    rig.engine->sendData(multiSongImage({&first, &second}));
    rig.engine->sendCommand(0x81);
    rig.engine->sendCommand(0x82);
    rig.run(1.0);
    std::vector<std::uint8_t> lows;
    for (const RegisterWrite& w : rig.writes)
        if (w.bank == 0 && w.address == 0xA1) lows.push_back(w.value);
    ASSERT_FALSE(lows.empty());
    EXPECT_EQ(lows.front(), 0x8D);  // B: the second song only
    EXPECT_EQ(std::count(lows.begin(), lows.end(), 0xB5), 0);
}

TEST(Engine, PlayPatternLoopsAndStopKeysTheFourChannelsOff) {
    Song song = toneSong();
    Rig rig;
    EngineSoundTarget target(*rig.engine);
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);
    ASSERT_TRUE(playback.playPattern(song, 0));
    rig.run(0.3 + 2 * 64 * 0.096);
    const auto keys = rig.keyOnFrames();
    ASSERT_EQ(keys.size(), 3u);  // rows 0 of three passes through the pattern
    EXPECT_NEAR(double(keys[2] - keys[1]), 64 * 4233.6, 1.0);

    const std::size_t mark = rig.writes.size();
    playback.stop();
    rig.run(0.2);
    std::vector<std::uint8_t> offs;
    for (std::size_t i = mark; i < rig.writes.size(); ++i)
        if (rig.writes[i].address == 0x28) offs.push_back(rig.writes[i].value);
    EXPECT_EQ(offs, (std::vector<std::uint8_t>{0x01, 0x02, 0x05, 0x06}));
}

TEST(Engine, ANoteKeepsSoundingAcrossANewImage) {
    Song song = toneSong();
    Rig rig;
    rig.engine->loadInstrument(std::span<const std::uint8_t, 25>(song.instruments[2].registers));
    rig.engine->keyDown(9, 4);
    const auto before = rig.run(0.2);
    EXPECT_GT(rms(std::span(before).subspan(before.size() / 2)), 500.0);
    rig.engine->sendData(songImage(Song{}));  // a new image; nothing keys channel 1 off
    const auto after = rig.run(0.5);
    EXPECT_GT(rms(std::span(after).subspan(after.size() / 2)), 500.0);
}

TEST(Engine, AfterStopTheOutputIsSilentUntilTheNextImage) {
    Song song = toneSong();
    Rig rig;
    rig.engine->loadInstrument(std::span<const std::uint8_t, 25>(song.instruments[2].registers));
    rig.engine->keyDown(9, 4);
    rig.run(0.1);
    rig.engine->stop();
    const auto silent = rig.run(0.5);
    EXPECT_EQ(rms(silent), 0.0);
    EXPECT_EQ(rig.engine->state(), Engine::State::Stopped);
    rig.engine->sendData(songImage(Song{}));
    const auto back = rig.run(0.2);
    EXPECT_GT(rms(back), 500.0);  // the chip kept its sounding note
}

TEST(Engine, PreviewWritesFollowThePreviewOrder) {
    Rig rig;
    rig.run(0.01);
    const std::uint8_t voice[25] = {};
    rig.engine->keyUp();
    rig.engine->loadInstrument(voice);
    rig.engine->keyDown(0, 3);
    rig.run(0.01);
    ASSERT_EQ(rig.writes.size(), 1u + 26 + 4);
    EXPECT_EQ(rig.writes[0].address, 0x28);
    EXPECT_EQ(rig.writes[1].address, 0x28);
    EXPECT_EQ(rig.writes[2].address, 0x31);
    EXPECT_EQ(rig.writes[26].address, 0xB1);
    EXPECT_EQ(rig.writes[27].value, 0x01);
    EXPECT_EQ(rig.writes[28].value, 0xF1);
    EXPECT_EQ(rig.writes[29].address, 0xA5);
    EXPECT_EQ(rig.writes[29].value, (1234 >> 8) | (3 << 3));
    EXPECT_EQ(rig.writes[30].value, 1234 & 0xFF);
    for (const RegisterWrite& w : rig.writes)
        EXPECT_EQ(w.frame, 441u);  // the start of the next render
    // B is 1164 here (not the driver's 1165); bad notes do nothing.
    rig.engine->keyDown(11, 2);
    rig.engine->keyDown(12, 2);
    rig.engine->keyDown(-1, 2);
    rig.run(0.01);
    ASSERT_EQ(rig.writes.size(), 31u + 4);
    EXPECT_EQ(rig.writes[34].value, 1164 & 0xFF);
}

TEST(Engine, ResetStopsTheProgramButKeepsTheChip) {
    Rig rig;
    rig.engine->sendData(songImage(toneSong(9, 64)));
    rig.engine->sendCommand(0x81);
    rig.run(1.0);
    const std::size_t keys = rig.keyOnFrames().size();
    ASSERT_GT(keys, 3u);
    rig.engine->reset();
    const auto after = rig.run(1.0);
    EXPECT_EQ(rig.keyOnFrames().size(), keys);
    EXPECT_EQ(rig.engine->state(), Engine::State::Idle);
    EXPECT_GT(rms(after), 100.0);  // the last note still rings
}

TEST(Engine, PlayPositionNamesEachRowAfterItPlays) {
    Rig rig;
    // Two order entries of the demo song's speed 5: every row named once, in order, then the
    // next entry; nothing before the first row and after Stop.
    const Song song = examples::makeDemoSong();
    rig.engine->sendData(songImage(song));
    rig.engine->sendCommand(0x81);
    std::vector<Engine::PlayPosition> seen;
    for (int chunk = 0; chunk < 1200; ++chunk) {
        rig.run(512.0 / kRate);
        const auto position = rig.engine->playPosition();
        if (chunk < 10) {
            EXPECT_FALSE(position) << chunk;
        }
        if (position && (seen.empty() || seen.back() != *position)) seen.push_back(*position);
    }
    ASSERT_GE(seen.size(), 100u);
    for (std::size_t i = 0; i < 100; ++i)
        EXPECT_EQ(seen[i],
                  (Engine::PlayPosition{static_cast<int>(i / 64), static_cast<int>(i % 64)}))
            << i;
    rig.engine->sendCommand(0xFF);
    rig.run(0.1);
    EXPECT_FALSE(rig.engine->playPosition());
}

TEST(Engine, SamplesDoNotDependOnHowTheRenderIsCutUp) {
    const Song song = examples::makeDemoSong();
    const auto image = songImage(song);
    auto play = [&](std::size_t chunk) {
        Rig rig;
        rig.engine->sendData(image);
        rig.engine->sendCommand(0x81);
        return rig.run(3.0, chunk);
    };
    const auto reference = play(512);
    EXPECT_GT(rms(reference), 500.0);
    EXPECT_EQ(play(512), reference);
    EXPECT_EQ(play(1), reference);
    EXPECT_EQ(play(441), reference);
    EXPECT_EQ(play(100000), reference);
}

// ---- The chip's interrupt as the tick ----------------------------------------------------------

// Every write the board makes to the chip, at its exact T-state, passed on to the engine's chip.
struct TimedWrites : qvxsnd::ChipPort {
    explicit TimedWrites(Engine& engine) : next(engine.board().chip()) {
        engine.board().attachChip(this);
    }
    void write(int port, std::uint8_t value, std::uint64_t tstate) override {
        if (port % 2 == 0)
            latch[port / 2] = value;
        else
            writes.push_back({tstate, port / 2, latch[port / 2], value});
        next->write(port, value, tstate);
    }
    std::optional<std::uint8_t> read(int port, std::uint64_t tstate) override {
        return next->read(port, tstate);
    }
    struct Write {
        std::uint64_t t;
        int bank;
        std::uint8_t reg, value;
    };
    qvxsnd::ChipPort* next;
    std::uint8_t latch[2] = {0, 0};
    std::vector<Write> writes;
};

// The writes from the first tick of the song on (the one that precedes its first key-on), as
// (bank, register, value), times left out.
std::vector<std::tuple<int, int, int>> songWrites(Engine::TickSource source, double seconds) {
    Engine engine(kRate, source);
    TimedWrites timed(engine);
    auto buffer = std::make_unique<ImageBuffer>();
    EngineSoundTarget target(engine);
    Playback(target, *buffer).playSong(examples::makeDemoSong()).ok();
    std::vector<std::int16_t> out(512 * 2);
    for (double t = 0; t < seconds; t += 512.0 / kRate)
        engine.render(out.data(), 512);
    const auto firstKey = std::find_if(timed.writes.begin(), timed.writes.end(), [](auto& w) {
        return w.reg == 0x28 && (w.value & 0xF0) == 0xF0;
    });
    auto from = firstKey;
    while (from != timed.writes.begin() && !(from->reg == 0x27 && from->bank == 0))
        --from;
    std::vector<std::tuple<int, int, int>> result;
    for (auto w = from; w != timed.writes.end(); ++w)
        result.emplace_back(w->bank, w->reg, w->value);
    return result;
}

TEST(EngineChipTicks, TheExampleSongWritesWhatHostTicksWrite) {
    const auto host = songWrites(Engine::TickSource::Host, 12.0);
    const auto chip = songWrites(Engine::TickSource::Chip, 12.0);
    ASSERT_GT(host.size(), 1000u);
    const std::size_t common = std::min(host.size(), chip.size()) - 50;
    EXPECT_TRUE(std::equal(host.begin(), host.begin() + std::ptrdiff_t(common), chip.begin()));
}

// Every tick is timer A's 16.002 ms, rows or no rows: none is lost while a row step runs.
TEST(EngineChipTicks, TicksComeEvery16MillisecondsAndNoneIsLost) {
    Engine engine(kRate, Engine::TickSource::Chip);
    TimedWrites timed(engine);
    auto buffer = std::make_unique<ImageBuffer>();
    EngineSoundTarget target(engine);
    ASSERT_TRUE(Playback(target, *buffer).playSong(examples::makeDemoSong()));
    std::vector<std::int16_t> out(441 * 2);
    for (int chunk = 0; chunk < 30 * 100; ++chunk)
        engine.render(out.data(), 441);
    std::vector<std::uint64_t> ticks;  // each tick acknowledges timer A first
    for (const auto& w : timed.writes)
        if (w.bank == 0 && w.reg == 0x27 && w.value == 0x15) ticks.push_back(w.t);
    ticks.erase(ticks.begin());  // the start-up's write, not a tick
    ASSERT_GT(ticks.size(), 1000u);
    constexpr double kTick = (1024 - 135) * 144 / 2.0;  // T-states at 4 MHz
    double shortest = 1e9, longest = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        shortest = std::min(shortest, double(ticks[i] - ticks[i - 1]));
        longest = std::max(longest, double(ticks[i] - ticks[i - 1]));
    }
    RecordProperty("shortest_tick_ms", std::to_string(shortest / 4000.0));
    RecordProperty("longest_tick_ms", std::to_string(longest / 4000.0));
    RecordProperty("ticks", std::to_string(ticks.size()));
    EXPECT_NEAR(shortest / 4000.0, 16.0, 0.02) << "milliseconds";
    EXPECT_NEAR(longest / 4000.0, 16.0, 0.02) << "milliseconds";
    const double span = double(ticks.back() - ticks.front());
    EXPECT_NEAR(span / kTick, double(ticks.size() - 1), 0.01) << "ticks lost";
    EXPECT_GT(span / 4'000'000.0, 29.5);
}

// A whole-chip song plays on the chip's timer, as on the board: Fxx from 20 sets the tempo, and
// its rows come at ProTracker's pace within 0.1 %, also below the tempos the timer reaches alone.
TEST(EngineChipTicks, AWholeChipSongsTempoPacesItsRows) {
    for (const int tempo : {0x7D, 0xFF, 0x20}) {
        Song song;
        song.resetWholeChip();
        song.instruments[1].registers.fill(0x11);
        for (int row = 0; row < kRows; ++row)
            song.patterns[0].cell(0, row) = Cell{kNoteC, 4, 1, kNone, kNone};
        song.patterns[0].cell(0, 0).effect = 0x0F;
        song.patterns[0].cell(0, 0).parameter = static_cast<std::uint8_t>(tempo);
        song.patterns[0].cell(1, 0) = Cell{kNoteEmpty, kNone, kNone, 0x0F, 0x01};  // a row a tick
        Engine engine(kRate);  // ticked by the host, until a ROM set boots
        TimedWrites timed(engine);
        auto buffer = std::make_unique<ImageBuffer>();
        EngineSoundTarget target(engine);
        ASSERT_TRUE(Playback(target, *buffer).playSong(song));
        std::vector<std::int16_t> out(441 * 2);
        for (int chunk = 0; chunk < 300; ++chunk)
            engine.render(out.data(), 441);
        std::vector<std::uint64_t> keyOns;
        for (const auto& w : timed.writes)
            if (w.bank == 0 && w.reg == 0x28 && (w.value & 0xF0) == 0xF0) keyOns.push_back(w.t);
        ASSERT_GT(keyOns.size(), 20u) << tempo;
        // From the third row on the tempo holds; rows are a tick apart.
        const double ticks = double(keyOns.size() - 3);
        const double hz = 4'000'000.0 * ticks / double(keyOns.back() - keyOns[2]);
        EXPECT_NEAR(hz / tempoTickHz(tempo), 1.0, 0.001) << tempo;
    }
}

// FNV-1a over the samples, as little-endian bytes.
std::uint64_t hashSamples(std::span<const std::int16_t> samples) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::int16_t s : samples) {
        for (int i = 0; i < 2; ++i) {
            h ^= static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> (8 * i));
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

// The example song's first ten seconds, as Play Song renders them. A change here means the
// sound changed: listen to the WAV `qvxtool render examples/demo.mus` writes, then update.
TEST(Engine, TheFmModelSwitchesWhileTheSongPlaysOn) {
    Rig plain;
    Rig switched;
    // Asked for before the image: a new image drops the requests before it, but not this one.
    switched.engine->setFmModel(qvxsnd::FmModel::Accurate);
    for (Rig* rig : {&plain, &switched}) {
        EngineSoundTarget target(*rig->engine);
        auto buffer = std::make_unique<ImageBuffer>();
        Playback playback(target, *buffer);
        ASSERT_TRUE(playback.playSong(examples::makeDemoSong()));
    }
    plain.run(3.0);
    switched.run(1.5);
    EXPECT_EQ(switched.engine->chip().fmModel(), qvxsnd::FmModel::Accurate);
    switched.engine->setFmModel(qvxsnd::FmModel::Documented);
    const auto after = switched.run(1.5);
    EXPECT_EQ(switched.engine->chip().fmModel(), qvxsnd::FmModel::Documented);
    EXPECT_GT(rms(after), 500.0);
    // The driver never notices: the chip receives the same writes at the same times.
    EXPECT_EQ(plain.writes.size(), switched.writes.size());
    EXPECT_TRUE(plain.writes == switched.writes);
}

TEST(Engine, ExampleSongRendersBitIdentically) {
    Rig rig;
    EngineSoundTarget target(*rig.engine);
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);
    ASSERT_TRUE(playback.playSong(examples::makeDemoSong()));
    const auto samples = rig.run(10.0);
    EXPECT_EQ(hashSamples(samples), 0x635dc596c305fa6dull) << std::hex << hashSamples(samples);
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

// A sample preview sounds on its channel without a driver, from behind the V ROM, and shows in
// that channel's scope alone; the next takes its place there; values out of range change nothing.
TEST(Engine, SamplePreviewsPlayBehindTheRomInPlaceOfTheLast) {
    qvxsnd::Engine engine(44100);
    std::vector<std::uint8_t> writes;
    engine.setWriteObserver([&](const qvxsnd::RegisterWrite& w) {
        if (w.bank == 1 && w.address == 0x12) writes.push_back(w.value);  // channel 2's start
    });
    engine.setAdpcmRom(std::vector<std::uint8_t>(1000, 0x80));
    const std::vector<std::uint8_t> loud(2000, 0x77);
    std::vector<std::int16_t> out(2 * 4410);
    for (int k = 0; k < 2; ++k) {
        engine.previewSample(loud, 2, 31);
        engine.render(out.data(), 4410);
        EXPECT_GT(rms(out), 100.0) << k;
    }
    using qvxsnd::ScopeHistory;
    std::vector<std::int16_t> scope(ScopeHistory::kFrames * ScopeHistory::kValues);
    ASSERT_EQ(engine.scopeHistory(scope.data(), ScopeHistory::kFrames), ScopeHistory::kFrames);
    std::array<int, 6> heard{};
    for (std::size_t i = 0; i < ScopeHistory::kFrames; ++i) {
        const std::int16_t* frame = &scope[i * ScopeHistory::kValues];
        for (std::size_t c = 0; c < 6; ++c)
            heard[c] += frame[ScopeHistory::kFirstAdpcmAChannel + c] != 0;
        // Alone and in the middle, the channel is all that the channels together carry.
        ASSERT_EQ(frame[qvxsnd::SourceFrame::kFirstAdpcmA],
                  frame[ScopeHistory::kFirstAdpcmAChannel + 2]);
    }
    EXPECT_GT(heard[2], 3500);
    // A caller made for the eleven values of old gets them in their old places.
    std::vector<std::int16_t> narrow(ScopeHistory::kFrames * 11);
    ASSERT_EQ(engine.scopeHistory(narrow.data(), ScopeHistory::kFrames, 11), ScopeHistory::kFrames);
    for (std::size_t i = 0; i < ScopeHistory::kFrames; i += 97)
        ASSERT_TRUE(
            std::equal(&narrow[i * 11], &narrow[i * 11 + 11], &scope[i * ScopeHistory::kValues]));
    EXPECT_EQ(heard[0] + heard[1] + heard[3] + heard[4] + heard[5], 0);
    EXPECT_EQ(writes, (std::vector<std::uint8_t>{4, 4}));  // block 4, after the ROM's 1000 bytes
    engine.previewSample(loud, 6, 31);
    engine.previewSample(loud, 0, 32);
    engine.previewSample({}, 0, 31);
    engine.render(out.data(), 4410);
    EXPECT_EQ(writes.size(), 2u);
}

}  // namespace
}  // namespace qvx
