// Pictures of the editor for a person to look at: written only when QVX_SCREENSHOT_DIR names a
// folder. Run under a real X server for the desktop's fonts and frames:
//   QVX_SCREENSHOT_DIR=shots xvfb-run -a -s "-screen 0 1280x1024x24"
//   tests/editor/test_editor_screenshots
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "editor/about_box.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/kit_editor.hpp"
#include "editor/main_window.hpp"
#include "editor/pattern_view.hpp"
#include "editor/pitched_sample_editor.hpp"
#include "editor/preset_panel.hpp"
#include "editor/rom_maker_window.hpp"
#include "editor/scope_strip.hpp"
#include "editor/ssg_editor.hpp"
#include "examples/drum_song.hpp"
#include "rombuild/playback.hpp"
#include "song/song_file.hpp"
#include "soundlib/engine/engine.hpp"
#include "tests/editor/editor_fakes.hpp"
#include "tests/support/effects_module.hpp"
#include "tests/support/sound_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"
#include "tools/engine_sound_target.hpp"
#include "tools/offline_render.hpp"

namespace qvx::editor {
namespace {

class Screenshots : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        folder_ = qEnvironmentVariable("QVX_SCREENSHOT_DIR");
        if (folder_.isEmpty()) QSKIP("QVX_SCREENSHOT_DIR is not set: no pictures wanted");
        QDir().mkpath(folder_);
    }

    void mainWindow() {
        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        showDemo(window);
        QVERIFY(prompts.messages.isEmpty());
        save(window, "main-window-example-song");

        // Cursor on track 2's instrument field, track 3 muted, scrolled down.
        Workspace& ws = window.workspace();
        for (int i = 0; i < 7; ++i)
            ws.moveCursor(CursorMove::Right);
        for (int i = 0; i < 5; ++i)
            ws.moveCursor(CursorMove::Down);
        ws.toggleTrack(2);
        save(window, "main-window-cursor-muted-track");
        window.patternView()->verticalScrollBar()->triggerAction(
            QAbstractSlider::SliderPageStepAdd);
        save(window, "main-window-scrolled");

        window.resize(700, 420);
        save(window, "main-window-small");

        // Back to size, all tracks on; the scopes as they look while the song plays: what the
        // engine kept at 14 s.
        window.resize(1000, 760);
        ws.toggleTrack(2);
        showPlaying(window, sound, 14);
        save(window, "main-window-scopes");
    }

    void selectionAndPlayingRow() {
        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        showDemo(window);
        Workspace& ws = window.workspace();
        ws.selectOrder(1);  // "Theme"
        // Tracks 2 and 3, rows 4 to 9, selected with Shift and the cursor keys.
        ws.moveToRow(4);
        ws.nextTrack(+1);
        ws.extendSelection(CursorMove::Right);
        for (int i = 0; i < 5; ++i)
            ws.extendSelection(CursorMove::Down);
        // The song playing at row 16 of the same pattern, followed.
        window.findChild<QAction*>(QStringLiteral("playSongFromHere"))->trigger();
        sound.position = SoundSystem::Position{0, 16};
        window.followPlayback();
        save(window, "main-window-selection-playing-row");
    }

    void wholeChipSong() {
        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        showDemo(window);
        // The whole-chip example's "Theme", the cursor on its hats: the view scrolls sideways to
        // them and keeps the row numbers.
        window.openSong(QStringLiteral(QVX_SOURCE_DIR "/examples/drums.mus"));
        Workspace& ws = window.workspace();
        ws.selectOrder(1);
        for (int t = 0; t < wholeChipTrack(TrackKind::AdpcmA, 1); ++t)
            ws.nextTrack(+1);
        ws.moveCursor(CursorMove::Down);
        save(window, "main-window-whole-chip-song");
        showPlaying(window, sound, 6.2);
        save(window, "main-window-whole-chip-scopes");

        // The example's drum kit, its closed hat chosen.
        window.findChild<QAction*>(QStringLiteral("kitEditor"))->trigger();
        auto* kits = window.findChild<KitEditor*>(QStringLiteral("kitEditor"));
        QVERIFY(QTest::qWaitForWindowExposed(kits));
        kits->selectInstrument(5);
        kits->selectNote(6);
        save(*kits, "kit-editor");
        kits->hide();

        // The answer playing, the view on its SSG parts; then the pluck's and the pad's editors.
        while (ws.cursor().track() > wholeChipTrack(TrackKind::Ssg, 0))
            ws.nextTrack(-1);
        showPlaying(window, sound, 12.0);
        save(window, "main-window-ssg-tracks");
        // The FM and drum groups folded: all fourteen tracks in the window's width.
        window.findChild<QAction*>(QStringLiteral("foldFm"))->setChecked(true);
        window.findChild<QAction*>(QStringLiteral("foldAdpcmA"))->setChecked(true);
        save(window, "main-window-folded-groups");
        window.findChild<QAction*>(QStringLiteral("foldFm"))->setChecked(false);
        window.findChild<QAction*>(QStringLiteral("foldAdpcmA"))->setChecked(false);
        window.findChild<QAction*>(QStringLiteral("ssgEditor"))->trigger();
        auto* ssg = window.findChild<SsgEditor*>(QStringLiteral("ssgEditor"));
        QVERIFY(QTest::qWaitForWindowExposed(ssg));
        ssg->selectInstrument(examples::kPluck);
        save(*ssg, "ssg-editor");
        ssg->hide();
        window.findChild<QAction*>(QStringLiteral("pitchedSampleEditor"))->trigger();
        auto* pad = window.findChild<PitchedSampleEditor*>(QStringLiteral("pitchedSampleEditor"));
        QVERIFY(QTest::qWaitForWindowExposed(pad));
        pad->selectInstrument(examples::kPad);
        save(*pad, "adpcm-b-sample-editor");
    }

    // Our own effects module imported as a whole-chip song, playing its vibrato, the cursor on
    // it: the effect column in hex and the effect's name in the status bar.
    void importedModuleWithEffects() {
        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        showDemo(window);
        QTemporaryDir dir;
        const QString module = dir.filePath(QStringLiteral("effects.mod"));
        QVERIFY(qvx::testing::writeBytes(module.toStdString(),
                                         qvx::testing::effectsModule().bytes()));
        prompts.fileNames = {module};
        prompts.chosenFilter = QStringLiteral("MOD Files, as a whole-chip song (*.mod)");
        window.findChild<QAction*>(QStringLiteral("importMod"))->trigger();
        Workspace& ws = window.workspace();
        for (int row = 0; row < 24; ++row)
            ws.moveCursor(CursorMove::Down);
        for (int field = 0; field < 3; ++field)
            ws.moveCursor(CursorMove::Right);
        showPlaying(window, sound, 2.45);
        save(window, "main-window-effects");
    }

    void instrumentEditor() {
        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        window.openSong(QStringLiteral(QVX_SOURCE_DIR "/examples/demo.mus"));
        window.show();
        window.workspace().setVoiceIndex(1);
        window.findChild<QAction*>(QStringLiteral("instrumentEditor"))->trigger();
        InstrumentEditor* editor = window.instrumentEditor();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        save(*editor, "instrument-editor");
        // Presets of connections 0, 4 and 7: a bass, a bell, a pad.
        for (const std::string name : {"Finger Bass", "Tubular Bell", "Warm Pad"})
            for (const PresetGroup& group : editor->presetPanel()->groups())
                for (const PresetEntry& preset : group.presets)
                    if (preset.name == name) {
                        editor->loadPreset(1, preset.path);
                        save(*editor, ("instrument-editor-" + preset.path.stem().string()).c_str());
                    }
    }

    void romMaker() {
        // A folder as a composer keeps one: songs, samples, other files and sub-folders.
        QTemporaryDir dir;
        const auto path = [&dir](const char* name) { return dir.filePath(QLatin1String(name)); };
        Song song;
        QVERIFY(openSong(QVX_SOURCE_DIR "/examples/demo.mus", song));
        for (const char* name : {"Title.MUS", "stage1.mus", "Boss.mus"})
            QVERIFY(saveSong(song, path(name).toStdString()));
        for (const auto& [name, length] :
             {std::pair{"coin.wav", 4000}, {"Explosion.WAV", 30000}, {"voice_go.wav", 12000}})
            QVERIFY(qvx::testing::writeBytes(
                path(name).toStdString(),
                qvx::testing::monoWav(qvx::testing::sine(std::size_t(length), 330, 0.5))));
        // Sounds from a sample pack, converted when added.
        for (const auto& [name, format, rate, channels] :
             {std::tuple{"kick.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2},
              {"snare 48k.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1},
              {"Hat.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 22050, 2}})
            QVERIFY(qvx::testing::writeSoundFile(path(name).toStdString(), format, rate, channels,
                                                 0.3));
        QVERIFY(qvx::testing::writeBytes(path("readme.txt").toStdString(), {}));
        QVERIFY(qvx::testing::writeBytes(path("cover.png").toStdString(), {}));
        for (const char* folder : {"drafts", "Old"})
            QVERIFY(QDir(dir.path()).mkdir(QLatin1String(folder)));

        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        RomMakerWindow& maker = *window.romMaker();
        window.findChild<QAction*>(QStringLiteral("romMaker"))->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&maker));
        for (const char* name : {"Title.MUS", "stage1.mus", "Boss.mus", "coin.wav", "Explosion.WAV",
                                 "voice_go.wav", "kick.flac", "snare 48k.wav", "Hat.aiff"}) {
            QVERIFY(maker.tree()->selectPath(path(name)));
            maker.findChild<QPushButton*>(QStringLiteral("add"))->click();
        }
        QVERIFY(prompts.messages.isEmpty());
        QVERIFY(maker.tree()->selectPath(dir.path()));
        QTRY_COMPARE(maker.tree()->model()->rowCount(maker.tree()->currentIndex()), 11);
        maker.findChild<QPushButton*>(QStringLiteral("preview"))->click();
        QVERIFY(maker.tree()->selectPath(path("Title.MUS")));
        save(maker, "rom-maker");
    }

    void optionsMenu() {
        testing::FakeSound sound;
        testing::FakePrompts prompts;
        MainWindow window(sound, prompts);
        showDemo(window);
        QMenu* options = nullptr;
        for (QAction* action : window.menuBar()->actions())
            if (action->text() == QStringLiteral("Options")) options = action->menu();
        QVERIFY(options);
        options->popup(window.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(options));
        save(*options, "options-menu");
        options->hide();
    }

    void aboutBox() {
        AboutBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        save(box, "about-box");
    }

  private:
    // The main window at its usual size with the example song.
    // The window as it looks `seconds` into playing its song: the scopes show what the engine
    // kept then, and the view follows the row played.
    static void showPlaying(MainWindow& window, testing::FakeSound& sound, double seconds) {
        qvxsnd::Engine engine(44100);
        EngineSoundTarget target(engine);
        auto buffer = std::make_unique<ImageBuffer>();
        Playback playback(target, *buffer);
        QVERIFY(playback.playSong(window.workspace().song()));
        QVERIFY(renderEngine(engine, seconds, {}, [](const std::int16_t*, std::size_t) {}, {}));
        sound.scope.resize(qvxsnd::ScopeHistory::kFrames * qvxsnd::ScopeHistory::kValues);
        engine.scopeHistory(sound.scope.data(), qvxsnd::ScopeHistory::kFrames);
        const auto at = engine.playPosition();
        QVERIFY(at);
        sound.position = SoundSystem::Position{at->orderPosition, at->row};
        window.findChild<ScopeStrip*>()->refresh();
        window.findChild<QAction*>(QStringLiteral("playSong"))->trigger();
        window.followPlayback();
    }

    static void showDemo(MainWindow& window) {
        window.resize(1000, 760);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openSong(QStringLiteral(QVX_SOURCE_DIR "/examples/demo.mus"));
    }

    void save(QWidget& widget, const char* name) {
        QApplication::processEvents();
        const QString path = folder_ + QLatin1Char('/') + QLatin1String(name) + ".png";
        QVERIFY(widget.grab().save(path));
        qInfo("wrote %s", qPrintable(path));
    }

    QString folder_;
};

}  // namespace
}  // namespace qvx::editor

QTEST_MAIN(qvx::editor::Screenshots)
#include "screenshots_test.moc"
