// The editing comforts, as wired into the windows: undo keys, the block, transpose,
// the editing keys, Save with a remembered file and the title, recent files, play from here,
// follow playback, WAV export, note-off on release and chip-accurate FM. The user and the sound
// library are fakes.
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

#include "editor/control_bar.hpp"
#include "editor/kit_editor.hpp"
#include "editor/pattern_view.hpp"
#include "editor/pitched_sample_editor.hpp"
#include "editor/recent_files.hpp"
#include "editor/scope_strip.hpp"
#include "editor/ssg_editor.hpp"
#include "editor/wav_export.hpp"
#include "song/song_file.hpp"
#include "tests/editor/window_rig.hpp"
#include "tests/support/mod_builder.hpp"
#include "tests/support/sound_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/vgm_export.hpp"

namespace qvx::editor {
namespace {

class EditingFeaturesTest : public QObject, testing::WindowRig {
    Q_OBJECT

  private:
    PatternView* view() { return window_->patternView(); }
    void key(int k, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(view(), Qt::Key(k), modifiers);
    }
    const Cell& cell(int track, int row) { return ws().currentPatternData().cell(track, row); }

  private slots:
    void initTestCase() {
        nameApplication();
        QVERIFY(haveFolder());
    }
    void init() { makeWindow(); }
    void cleanup() { dropWindow(); }

    void keysReachTheirCommands() {
        showAndActivate();
        key(Qt::Key_Z);
        key(Qt::Key_X);
        QCOMPARE(cell(0, 1).note, 2);
        QVERIFY(action("undo")->isEnabled());
        key(Qt::Key_Z, Qt::ControlModifier);  // undo: the D goes, the cursor goes back
        QCOMPARE(cell(0, 1), kEmptyCell);
        QCOMPARE(ws().cursor().row(), 1);
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(cell(0, 1).note, 2);
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(cell(0, 1).note, 2);

        // The block: Shift and the arrows select, Ctrl+C / Ctrl+V copy, Delete clears.
        key(Qt::Key_Up);
        key(Qt::Key_Up);
        key(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(ws().selection(), (CellRect{0, 0, 0, 1}));
        key(Qt::Key_C, Qt::ControlModifier);
        key(Qt::Key_Tab);  // the next track, the selection gone
        QCOMPARE(ws().cursor().column(), 5);
        key(Qt::Key_V, Qt::ControlModifier);  // at the cursor: track 2, rows 1 and 2
        QCOMPARE(cell(1, 1).note, kNoteC);
        QCOMPARE(cell(1, 2).note, 2);
        key(Qt::Key_Q, Qt::ControlModifier);  // a semitone up: the cursor's track
        QCOMPARE(cell(1, 2).note, 3);
        key(Qt::Key_Delete);  // no selection: the cursor's cell
        QCOMPARE(cell(1, 1), kEmptyCell);
        QCOMPARE(cell(1, 2).note, 3);
        key(Qt::Key_Backtab);
        QCOMPARE(ws().cursor().column(), 0);

        // Pages, ends, insert and backspace.
        key(Qt::Key_PageDown);
        QCOMPARE(ws().cursor().row(), 17);
        key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(ws().cursor().row(), 63);
        key(Qt::Key_Home, Qt::ControlModifier);
        key(Qt::Key_Insert);
        QCOMPARE(cell(0, 1).note, kNoteC);
        key(Qt::Key_Backspace);
        QCOMPARE(cell(0, 0).note, kNoteC);

        // Play from here: the song from the order entry, the pattern from the cursor's row.
        calls().clear();
        key(Qt::Key_F7);
        key(Qt::Key_F8);
        QCOMPARE(calls(),
                 (Calls{"sendData 2969", "sendCommand 129", "sendData 2969", "sendCommand 129"}));
    }

    void saveRemembersTheFileAndTheTitleFollows() {
        showAndActivate();
        QCOMPARE(window().windowTitle(), QStringLiteral("QVXTracker[*]"));
        key(Qt::Key_Z);
        QVERIFY(window().isWindowModified());
        prompts().fileNames = {file("song.mus")};
        key(Qt::Key_S, Qt::ControlModifier);  // a new song: asks where
        QCOMPARE(prompts().requests.size(), 1u);
        QCOMPARE(window().windowTitle(), QStringLiteral("song.mus[*] - QVXTracker"));
        QVERIFY(!window().isWindowModified());
        key(Qt::Key_X);
        QVERIFY(window().isWindowModified());
        key(Qt::Key_S, Qt::ControlModifier);  // the same file, no question
        QCOMPARE(prompts().requests.size(), 1u);
        QVERIFY(!window().isWindowModified());
        key(Qt::Key_Z, Qt::ControlModifier);  // back before the save: changed again
        QVERIFY(window().isWindowModified());
        prompts().saveChoice = Prompts::SaveChoice::Save;
        action("newProject")->trigger();  // Save / Discard / Cancel: Save writes song.mus
        QCOMPARE(prompts().requests.size(), 1u);
        QCOMPARE(window().windowTitle(), QStringLiteral("QVXTracker[*]"));
        Song saved;
        QVERIFY(openSong(file("song.mus").toStdString(), saved));
        QCOMPARE(saved.patterns[0].cell(0, 0).note, kNoteC);
    }

    void wholeChipSongsShowTheirTracksAndConvertIsOneStep() {
        showAndActivate();
        auto* kind = window().findChild<QLabel*>(QStringLiteral("songKind"));
        QCOMPARE(kind->text(), QStringLiteral("Classic song"));
        action("newWholeChipSong")->trigger();
        QCOMPARE(kind->text(), QStringLiteral("Whole-chip song"));
        QVERIFY(!action("convertToWholeChip")->isEnabled());
        // Tab reaches the last track, and the view scrolls sideways to show it.
        PatternView* view = window().patternView();
        for (int t = 0; t < 13; ++t)
            key(Qt::Key_Tab);
        QCOMPARE(ws().cursor().track(), 13);
        QVERIFY(view->sidewaysOffset() > 0);
        QVERIFY(view->viewport()->rect().contains(view->fieldRect(0, ws().cursor().column())));
        const QImage image = view->viewport()->grab().toImage();
        const auto header = [&](int track) {
            return QColor::fromRgb(image.pixel(view->fieldRect(0, 5 * track).x() + 3, 9));
        };
        QVERIFY2(header(12).red() > header(12).green() + 30, "the drum tracks' headers are amber");
        QVERIFY2(header(13).blue() > header(13).green() + 30, "the ADPCM-B track's is violet");
        QVERIFY(ws().song().patterns[0].cell(13, 0) == kEmptyCell);
        // A scope for each track, each drum track showing its own channel.
        auto* scopes = window().findChild<ScopeStrip*>();
        const auto scopeTitles = [&] {
            scopes->refresh();
            QStringList titles;
            for (const ScopeStrip::Panel& panel : scopes->panels())
                titles << panel.title + "=" + QString::number(panel.value);
            return titles.join(' ');
        };
        QCOMPARE(scopeTitles(),
                 QStringLiteral("FM 1=0 FM 2=1 FM 3=2 FM 4=3 SSG 1=5 SSG 2=6 SSG 3=7 ADPCM-A 1=11 "
                                "ADPCM-A 2=12 ADPCM-A 3=13 ADPCM-A 4=14 ADPCM-A 5=15 ADPCM-A 6=16 "
                                "ADPCM-B=8"));

        action("newProject")->trigger();
        QCOMPARE(kind->text(), QStringLiteral("Classic song"));
        QCOMPARE(scopeTitles(),
                 QStringLiteral("Track 1=0 Track 2=1 Track 3=2 Track 4=3 ADPCM-A=4"));
        QCOMPARE(view->sidewaysOffset(), 0);
        action("convertToWholeChip")->trigger();
        QCOMPARE(kind->text(), QStringLiteral("Whole-chip song"));
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(kind->text(), QStringLiteral("Classic song"));
        QVERIFY(!window().isWindowModified());
    }

    // A whole-chip song's effect column takes hex, the status bar names the effect under the
    // cursor, and Import MOD makes a whole-chip song when its dialog's file type says so.
    void wholeChipEffectsAreTypedInHexAndNamed() {
        showAndActivate();
        action("newWholeChipSong")->trigger();
        key(Qt::Key_Z);
        key(Qt::Key_Up);
        for (int field = 0; field < 3; ++field)
            key(Qt::Key_Right);
        key(Qt::Key_C);
        key(Qt::Key_Right);
        key(Qt::Key_2);
        key(Qt::Key_0);
        QCOMPARE(ws().currentPatternData().cell(0, 0).effect, 0x0C);
        QCOMPARE(ws().currentPatternData().cell(0, 0).parameter, 0x20);
        auto* status = window().findChild<QLabel*>(QStringLiteral("effectStatus"));
        QCOMPARE(status->text(), QStringLiteral("C volume: 32 of 64"));
        key(Qt::Key_Down);
        QCOMPARE(status->text(), QString());

        qvx::testing::ModBuilder mod;
        mod.note(0, 0, 0, 428, 1, 0x4, 0x36);
        QVERIFY(qvx::testing::writeBytes(file("tune.mod").toStdString(), mod.bytes()));
        prompts().saveChoice = Prompts::SaveChoice::Discard;
        prompts().fileNames = {file("tune.mod")};
        prompts().chosenFilter = QStringLiteral("MOD Files, as a whole-chip song (*.mod)");
        action("importMod")->trigger();
        QCOMPARE(ws().song().kind, SongKind::WholeChip);
        QCOMPARE(ws().currentPatternData().cell(0, 0).effect, 0x04);
        key(Qt::Key_Up);
        QCOMPARE(status->text(), QStringLiteral("4 vibrato: speed 3, depth 6/16 semitone"));
    }

    // A FLAC loaded into a kit note through the Drum Kit Editor is converted to the chip's
    // ADPCM-A rate and heard at once.
    void aKitSampleLoadedFromAFlacIsHeard() {
        QVERIFY(qvx::testing::writeSoundFile(file("hit.flac").toStdString(),
                                             SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 0.25));
        action("newWholeChipSong")->trigger();
        QVERIFY(action("kitEditor")->isEnabled());
        action("kitEditor")->trigger();
        auto* kits = window().findChild<KitEditor*>(QStringLiteral("kitEditor"));
        QVERIFY(kits && kits->isVisible());
        kits->selectInstrument(4);
        kits->selectNote(2);
        prompts().fileNames = {file("hit.flac")};
        calls().clear();
        kits->findChild<QPushButton*>(QStringLiteral("loadNote"))->click();
        const SampleRef& hit = ws().song().instruments[4].kit.notes[2].sample;
        QVERIFY(hit);
        QVERIFY(std::abs(double(hit->pcm.size()) - 0.25 * kAdpcmARate) < 2);  // at 18,518.5 Hz
        QVERIFY2(!calls().empty(), "nothing heard");
        QCOMPARE(calls().back(), "playSample " + std::to_string(hit->pcm.size()) + " on 0 at 31");
        QCOMPARE(ws().song().instruments[4].kind, InstrumentKind::AdpcmAKit);
        QCOMPARE(kits->notes()->item(2, 1)->text(), QStringLiteral("hit"));
        QVERIFY(kits->figures()->text().startsWith(QStringLiteral("1 sample(s), 0.25 s")));
        QVERIFY(ws().voiceListEntries()[3].ends_with("(drum kit)"));
        // D typed on the first drum track, with an FM voice selected, takes the kit and plays
        // its D on the track's channel.
        for (int t = 0; t < wholeChipTrack(TrackKind::AdpcmA, 0); ++t)
            key(Qt::Key_Tab);
        calls().clear();
        key(Qt::Key_X);
        QCOMPARE(cell(wholeChipTrack(TrackKind::AdpcmA, 0), 0).instrument, 4);
        QCOMPARE(calls().back(), "playSample " + std::to_string(hit->pcm.size()) + " on 0 at 31");
        action("undo")->trigger();
        action("undo")->trigger();  // one step each
        QCOMPARE(ws().song().instruments[4].kind, InstrumentKind::FmVoice);
    }

    // The SSG Voice Editor: an edit is heard at once on the test note it holds.
    void anSsgEditIsHeardOnTheHeldNote() {
        action("newWholeChipSong")->trigger();
        action("ssgEditor")->trigger();
        auto* editor = window().findChild<SsgEditor*>(QStringLiteral("ssgEditor"));
        QVERIFY(editor && editor->isVisible());
        editor->selectInstrument(6);
        editor->volumeField()->setValue(12);  // makes it an SSG voice
        QCOMPARE(ws().song().instruments[6].kind, InstrumentKind::SsgVoice);
        editor->findChild<QPushButton*>(QStringLiteral("playSsgNote"))->click();
        QCOMPARE(calls().back(), std::string("writeChip 0 8 12"));  // A-4 on SSG A at 12
        calls().clear();
        editor->volumeField()->setValue(7);
        QCOMPARE(calls().back(), std::string("writeChip 0 8 7"));  // heard on the held note
        editor->sequenceField()->setText(QStringLiteral("15 99"));
        emit editor->sequenceField()->editingFinished();
        QVERIFY(editor->problem()->text().contains(QStringLiteral("above 15")));
        QCOMPARE(ws().song().instruments[6].ssg.volume, 7);  // the bad sequence not kept
        editor->findChild<QPushButton*>(QStringLiteral("releaseSsgNote"))->click();
        QCOMPARE(calls().back(), std::string("writeChip 0 8 0"));
    }

    // The ADPCM-B Sample Editor: a sound loaded at the rate chosen, heard; its loop shown with
    // the padding that fills its last block.
    void aPitchedSampleShowsItsLoopWithItsPadding() {
        QVERIFY(qvx::testing::writeSoundFile(file("tone.wav").toStdString(),
                                             SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 0.02));
        action("newWholeChipSong")->trigger();
        action("pitchedSampleEditor")->trigger();
        auto* editor =
            window().findChild<PitchedSampleEditor*>(QStringLiteral("pitchedSampleEditor"));
        QVERIFY(editor && editor->isVisible());
        editor->selectInstrument(9);
        QCOMPARE(editor->rateField()->value(), 22050);
        prompts().fileNames = {file("tone.wav")};
        calls().clear();
        editor->findChild<QPushButton*>(QStringLiteral("loadPitchedSound"))->click();
        const PitchedSample& pitched = ws().song().instruments[9].pitched;
        QVERIFY(pitched.sample);
        QCOMPARE(pitched.sample->pcm.size(), std::size_t{441});  // 20 ms at 22,050 Hz
        QCOMPARE(calls().back(), "playPitchedSample 441 at " +
                                     std::to_string(pitchedDeltaN(pitched, semitone(0, 4))) +
                                     " level 255");  // C-4, its base note: 22,050 Hz
        editor->loopField()->setChecked(true);
        QVERIFY2(editor->figures()->text().contains(
                     QStringLiteral("Loop: 512 frames a pass, 0.023 s at the base note (the "
                                    "sample, then 71 frames of its start)")),
                 qPrintable(editor->figures()->text()));
        QVERIFY(ws().song().instruments[9].pitched.loop);
        QVERIFY(ws().voiceListEntries()[8].ends_with("(ADPCM-B sample)"));
    }

    void recentFilesSurviveARestart() {
        Song song;
        QVERIFY(saveSong(song, file("one.mus").toStdString()));
        QVERIFY(saveSong(song, file("two.mus").toStdString()));
        window().openSong(file("one.mus"));
        window().openSong(file("two.mus"));
        window().openSong(file("one.mus"));
        QCOMPARE(window().recentFiles()->files(),
                 (QStringList{QFileInfo(file("one.mus")).absoluteFilePath(),
                              QFileInfo(file("two.mus")).absoluteFilePath()}));
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);  // the same profile
        QCOMPARE(window().recentFiles()->files().size(), 2);
        QCOMPARE(action("recentFile2")->text(), QStringLiteral("&2 two.mus"));
        action("recentFile2")->trigger();
        QCOMPARE(window().songFile(), QFileInfo(file("two.mus")).absoluteFilePath());
        QFile::remove(file("one.mus"));
        action("recentFile2")->trigger();  // one.mus, now second
        QCOMPARE(prompts().messages,
                 QStringList{"one.mus is no longer there; it leaves the list of recent songs."});
        QCOMPARE(window().recentFiles()->files().size(), 1);
    }

    void followPlaybackShowsThePlayingRow() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        ws().newPattern();
        ws().appendOrder();  // order 0, 1
        ws().selectOrder(0);
        action("playSong")->trigger();
        sound_->position = SoundSystem::Position{1, 40};
        window().followPlayback();
        QCOMPARE(ws().currentPattern(), 1);
        QCOMPARE(ws().orderSelection(), 1);
        QCOMPARE(view()->playingRow(), 40);
        QVERIFY(ws().cursor().topRow() <= 40 &&
                40 < ws().cursor().topRow() + ws().cursor().visibleRows());
        // Follow off: the view stays; the row is lit only in its own pattern.
        action("follow")->trigger();
        QVERIFY(!action("follow")->isChecked());
        ws().selectOrder(0);
        sound_->position = SoundSystem::Position{1, 41};
        window().followPlayback();
        QCOMPARE(ws().currentPattern(), 0);
        QCOMPARE(view()->playingRow(), -1);
        sound_->position.reset();
        window().followPlayback();
        QCOMPARE(view()->playingRow(), -1);
    }

    void wavExportWritesTheChosenLength() {
        prompts().wavLength = WavLength{false, 1, 0.5};
        prompts().fileNames = {file("half.wav")};
        action("exportWav")->trigger();
        QCOMPARE(QFileInfo(file("half.wav")).size(), 44 + 22050 * 4);
        QCOMPARE(prompts().requests.back().defaultName, QStringLiteral("Untitled.wav"));
        QCOMPARE(window().statusBar()->currentMessage(),
                 QStringLiteral("Wrote half.wav (%1 bytes)").arg(44 + 22050 * 4));
        prompts().wavLength.reset();  // cancelled: no file asked for
        prompts().requests.clear();
        action("exportWav")->trigger();
        QVERIFY(prompts().requests.empty());

        // The VGM of the new song: two passes, looping back to the second, named as the file.
        QVERIFY(saveSong(ws().song(), file("tune.mus").toStdString()));
        window().openSong(file("tune.mus"));
        prompts().fileNames = {file("tune.vgm")};
        action("exportVgm")->trigger();
        QCOMPARE(prompts().requests.back().filter, QStringLiteral("VGM files (*.vgm)"));
        const std::optional<VgmStream> vgm =
            readVgm(qvx::testing::readBytes(file("tune.vgm").toStdString()));
        QVERIFY(vgm && vgm->loopStart);
        QCOMPARE(vgm->title, std::string("tune"));
    }

    void noteOffOnReleaseAndTheEditStepAreOptions() {
        showAndActivate();
        calls().clear();
        QTest::keyRelease(view(), Qt::Key_Z);
        QVERIFY(calls().empty());
        action("noteOffOnRelease")->trigger();
        QTest::keyPress(view(), Qt::Key_Z);
        QTest::keyRelease(view(), Qt::Key_Z);
        QCOMPARE(calls().back(), std::string("KeyUp"));

        window().controlBar()->stepBox()->setValue(4);
        QCOMPARE(ws().editStep(), 4);
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
        QCOMPARE(window().controlBar()->stepBox()->value(), 4);
        QVERIFY(action("noteOffOnRelease")->isChecked());
    }

    void chipAccurateFmIsTheDefaultAndAnOptionForPlayAndWavExport() {
        QCOMPARE(sound_->chipAccurateFm, std::optional<bool>(true));  // told at start
        window().openSong(QStringLiteral(QVX_SOURCE_DIR "/examples/demo.mus"));
        prompts().wavLength = WavLength{false, 1, 1.0};
        prompts().fileNames = {file("accurate.wav"), file("model.wav")};
        action("exportWav")->trigger();
        action("chipAccurateFm")->trigger();
        QCOMPARE(sound_->chipAccurateFm, std::optional<bool>(false));
        action("exportWav")->trigger();
        const auto model = qvx::testing::readBytes(file("model.wav").toStdString());
        const auto accurate = qvx::testing::readBytes(file("accurate.wav").toStdString());
        QCOMPARE(model.size(), accurate.size());
        QVERIFY(model != accurate);

        sound_->chipAccurateFm.reset();  // the choice stands
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
        QVERIFY(!action("chipAccurateFm")->isChecked());
        QCOMPARE(sound_->chipAccurateFm, std::optional<bool>(false));
    }
};

}  // namespace
}  // namespace qvx::editor

QTEST_MAIN(qvx::editor::EditingFeaturesTest)
#include "editing_features_test.moc"
