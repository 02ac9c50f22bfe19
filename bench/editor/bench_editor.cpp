// The editor's speed where a composer feels it (Qt Test benchmarks, offscreen):
//   - a full repaint of the pattern editor showing all 64 rows;
//   - a key press in the pattern editor down to the preview's KeyDown;
//   - an instrument editor field stepped while a test note sounds, down to its loadInstrument;
//   - a key press down to the first audible sample through the sound library, with SDL's dummy
//     audio driver standing in for the device (printed, median and worst of 20 notes).
// Run: QT_QPA_PLATFORM=offscreen build/release/bench/bench_editor
#include <QApplication>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "editor/instrument_editor.hpp"
#include "editor/main_window.hpp"
#include "editor/midi_input.hpp"
#include "editor/midi_keys.hpp"
#include "editor/pattern_view.hpp"
#include "rombuild/whole_chip_image.hpp"
#include "song/pattern_grid.hpp"
#include "soundlib/library.hpp"

namespace qvx::editor {
namespace {

using Clock = std::chrono::steady_clock;

// Plays into nothing and previews into nothing: what the GUI costs on its own.
class SilentSound : public SoundSystem, public SoundTarget, public PreviewTarget {
  public:
    void start(void*) override {}
    QString status() const override { return {}; }
    SoundTarget& player() override { return *this; }
    PreviewTarget& preview() override { return *this; }
    void sendData(std::span<const std::uint8_t>) override {}
    void sendRoms(std::span<const std::uint8_t>, std::span<const std::uint8_t>) override {}
    void sendCommand(std::uint16_t) override {}
    void playRoms(std::span<const std::uint8_t>, std::span<const std::uint8_t>) override {}
    std::optional<Position> playPosition() override { return std::nullopt; }
    void setChipAccurateFm(bool) override {}
    std::size_t scopeHistory(std::int16_t*, std::size_t) override { return 0; }
    void keyUp() override {}
    void playSample(std::span<const std::int16_t>, int, int) override {}
    void playPitchedSample(std::span<const std::int16_t>, bool, int, int) override {}
    void writeChip(int, std::uint8_t, std::uint8_t) override {}
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes>) override { ++loads; }
    void keyDown(int, int) override {
        keyDownAt = std::chrono::steady_clock::now();
        ++keyDowns;
    }
    int keyDowns = 0;
    int loads = 0;
    std::chrono::steady_clock::time_point keyDownAt;
};

// The sound library itself (the same code behind libqvxsnd's exports), with a tap on its output.
class TappedLibrary : public SoundSystem, public SoundTarget, public PreviewTarget {
  public:
    TappedLibrary() : library_(qvxsnd::SoundLibrary::instance()) {
        library_.setOutputObserver([this](std::span<const std::int16_t> samples) {
            const auto loud = std::find_if(samples.begin(), samples.end(),
                                           [](std::int16_t s) { return std::abs(s) > 256; });
            if (loud == samples.end()) {
                quietBuffers_.fetch_add(1);
                return;
            }
            if (waiting_.exchange(false)) {
                // The buffer goes to the device now; the loud sample plays this far into it.
                const auto offset =
                    std::chrono::microseconds((loud - samples.begin()) / 2 * 1'000'000 / 44'100);
                heardAt_.store((Clock::now() + offset).time_since_epoch().count());
            }
            quietBuffers_.store(0);
        });
    }
    void start(void*) override { library_.initSound(nullptr, 44'100); }
    QString status() const override { return QString::fromUtf8(library_.status()); }
    SoundTarget& player() override { return *this; }
    PreviewTarget& preview() override { return *this; }
    void sendData(std::span<const std::uint8_t> image) override { library_.sendData(image); }
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        library_.sendRoms(m1, v1);
    }
    void sendCommand(std::uint16_t command) override { library_.sendCommand(command); }
    void playRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        library_.sendRoms(m1, v1);
    }
    std::optional<Position> playPosition() override { return std::nullopt; }
    void setChipAccurateFm(bool on) override {
        library_.setFmModel(on ? qvxsnd::FmModel::Accurate : qvxsnd::FmModel::Documented);
    }
    std::size_t scopeHistory(std::int16_t* out, std::size_t frames) override {
        return library_.scopeHistory(out, frames, kScopeValues);
    }
    void keyUp() override { library_.keyUp(); }
    void playPitchedSample(std::span<const std::int16_t>, bool, int, int) override {}
    void writeChip(int bank, std::uint8_t address, std::uint8_t value) override {
        library_.previewWrite(bank, address, value);
    }
    void playSample(std::span<const std::int16_t> pcm, int channel, int level) override {
        library_.previewSample(
            encodeKitSample(Sample{{}, std::vector<std::int16_t>(pcm.begin(), pcm.end())}), channel,
            level);
    }
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) override {
        library_.loadInstrument(voice);
    }
    void keyDown(int note, int octave) override { library_.keyDown(note, octave); }

    void expectNote() { waiting_.store(true); }
    bool heard() const { return !waiting_.load(); }
    Clock::time_point heardAt() const {
        return Clock::time_point(Clock::duration(heardAt_.load()));
    }
    int quietBuffers() const { return quietBuffers_.load(); }

  private:
    qvxsnd::SoundLibrary& library_;
    std::atomic<bool> waiting_{false};
    std::atomic<Clock::rep> heardAt_{0};
    std::atomic<int> quietBuffers_{0};
};

// A plain sine on operator 4 that starts at once and stops at once.
VoiceBytes sineVoice() {
    VoiceBytes voice{};
    for (int op = 0; op < 4; ++op) {
        voice[0 + op] = 0x01;                   // multiple 1
        voice[4 + op] = op == 3 ? 0x00 : 0x7F;  // only operator 4 sounds
        voice[8 + op] = 0x1F;                   // fastest attack
        voice[20 + op] = 0x0F;                  // fastest release
    }
    voice[24] = 0x07;  // algorithm 7
    return voice;
}

class EditorBenchmark : public QObject {
    Q_OBJECT

  private slots:
    void fullRepaintOf64Rows() {
        SilentSound sound;
        SilentPrompts prompts;
        MainWindow window(sound, prompts);
        window.resize(1000, 1300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openSong(QStringLiteral(QVX_SOURCE_DIR "/examples/demo.mus"));
        QCOMPARE(window.workspace().cursor().visibleRows() >= kRows, true);
        QWidget* viewport = window.patternView()->viewport();
        QBENCHMARK {
            viewport->repaint();
        }
    }

    void keyPressToKeyDown() {
        SilentSound sound;
        SilentPrompts prompts;
        MainWindow window(sound, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PatternView* view = window.patternView();
        QBENCHMARK {
            QTest::keyClick(view, Qt::Key_Z);
        }
        QVERIFY(sound.keyDowns > 0);
    }

    void fieldStepToLoadInstrument() {
        SilentSound sound;
        SilentPrompts prompts;
        MainWindow window(sound, prompts);
        window.show();
        InstrumentEditor& editor = *window.instrumentEditor();
        editor.show();
        QTest::mouseClick(editor.keyboard(), Qt::LeftButton, {}, QPoint(2, 30));
        QSpinBox* field = editor.slotField(0, 2);
        const int before = sound.loads;
        int step = 0;
        QBENCHMARK {
            // Up and down: every step is a new voice, so every step is sent.
            if (++step % 2)
                field->stepUp();
            else
                field->stepDown();
        }
        QVERIFY(sound.loads - before == step);
    }

    // A note-on as RtMidi's thread hands it over, to the preview's KeyDown on the GUI thread.
    void midiNoteOnToKeyDown() {
        SilentSound sound;
        SilentPrompts prompts;
        MainWindow window(sound, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MidiInput& midi = window.midiKeys()->input();
        std::vector<double> latencies;
        for (int note = 0; note < 200; ++note) {
            window.workspace().moveToRow(0);
            const int before = sound.keyDowns;
            Clock::time_point queued;
            std::thread([&] {
                queued = Clock::now();
                midi.receive({0x90, std::uint8_t(48 + note % 24), 100});
            }).join();
            while (sound.keyDowns == before)
                QCoreApplication::processEvents();
            latencies.push_back(
                std::chrono::duration<double, std::milli>(sound.keyDownAt - queued).count());
        }
        std::sort(latencies.begin(), latencies.end());
        qInfo(
            "MIDI note-on queued to KeyDown: median %.3f ms, best %.3f ms, worst %.3f ms over "
            "%zu notes",
            latencies[latencies.size() / 2], latencies.front(), latencies.back(), latencies.size());
    }

    void keyPressToFirstAudibleSample() {
        TappedLibrary sound;
        SilentPrompts prompts;
        MainWindow window(sound, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.workspace().song().instruments[1].registers = sineVoice();
        PatternView* view = window.patternView();
        std::vector<double> latencies;
        for (int note = 0; note < 20; ++note) {
            // Silence first: the last note released and a few quiet buffers passed.
            sound.keyUp();
            QTRY_VERIFY_WITH_TIMEOUT(sound.quietBuffers() > 4, 2000);
            sound.expectNote();
            const Clock::time_point pressed = Clock::now();
            QTest::keyClick(view, Qt::Key_Z);
            QTRY_VERIFY_WITH_TIMEOUT(sound.heard(), 2000);
            latencies.push_back(
                std::chrono::duration<double, std::milli>(sound.heardAt() - pressed).count());
        }
        std::sort(latencies.begin(), latencies.end());
        qInfo(
            "key press to first audible sample (%s): median %.1f ms, best %.1f ms, worst %.1f ms "
            "over %zu notes",
            qPrintable(sound.status()), latencies[latencies.size() / 2], latencies.front(),
            latencies.back(), latencies.size());
    }

  private:
    struct SilentPrompts : Prompts {
        void message(const QString&, const QString&) override {}
        bool yesNo(const QString&) override { return true; }
        SaveChoice saveChanges() override { return SaveChoice::Discard; }
        RestoreChoice askRestore(const QString&, const QString&) override {
            return RestoreChoice::Later;
        }
        QString openFileName(const FileRequest&) override { return {}; }
        QString saveFileName(const FileRequest&) override { return {}; }
        std::optional<QString> askText(const QString&, const QString&) override { return {}; }
        std::optional<WavLength> askWavLength(const WavLength&) override { return {}; }
        std::optional<std::filesystem::path> choosePreset(
            const std::vector<PresetGroup>&) override {
            return {};
        }
    };
};

}  // namespace
}  // namespace qvx::editor

int main(int argc, char** argv) {
    // No test uses a real audio device: SDL's dummy driver pulls buffers at the device's pace.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    qvx::editor::EditorBenchmark benchmark;
    return QTest::qExec(&benchmark, argc, argv);
}
#include "bench_editor.moc"
