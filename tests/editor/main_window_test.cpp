// The main window's wiring: start-up state, the menu, typing into the pattern editor, playback,
// the questions before unsaved changes are lost, and the settings. The user and the sound library
// are fakes; nothing here opens a dialog or an audio device.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <csignal>
#include <memory>

#include "editor/about_box.hpp"
#include "editor/control_bar.hpp"
#include "editor/help_menu.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/main_window.hpp"
#include "editor/pattern_panel.hpp"
#include "editor/pattern_view.hpp"
#include "editor/rom_maker_window.hpp"
#include "editor/scope_strip.hpp"
#include "editor/session_keeper.hpp"
#include "editor/text.hpp"
#include "editor/tool_window.hpp"
#include "song/pattern_grid.hpp"
#include "song/song_file.hpp"
#include "tests/editor/window_rig.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx::editor {
namespace {

// One menu item as the user sees it: caption, status-bar prompt, shortcut, check box. A
// separator is the caption "-".
struct Item {
    QString caption;
    QString prompt;
    QKeySequence shortcut;
    bool checkable = false;
};

QKeySequence keypad(Qt::Key key) {
    return QKeySequence(Qt::KeypadModifier | key);
}

class MainWindowTest : public QObject, testing::WindowRig {
    Q_OBJECT

  private slots:
    void initTestCase() {
        nameApplication();
        QVERIFY(haveFolder());
    }
    void init() { makeWindow(); }
    void cleanup() { dropWindow(); }

    void startUpState() {
        QCOMPARE(window().windowTitle(), QStringLiteral("QVXTracker[*]"));  // shown without [*]
        QVERIFY(!window().isWindowModified());
        PatternPanel* panel = window().patternPanel();
        QCOMPARE(panel->numberField()->text(), QStringLiteral("00"));
        QCOMPARE(panel->nameBox()->text(), QStringLiteral("Pat 00"));
        QCOMPARE(panel->orderList()->count(), 1);
        QCOMPARE(panel->orderList()->item(0)->text(), QStringLiteral("00 - 00"));
        QCOMPARE(panel->orderList()->currentRow(), 0);
        ControlBar* bar = window().controlBar();
        QCOMPARE(bar->octaveBox()->value(), 4);
        QCOMPARE(bar->octaveBox()->minimum(), 1);
        QCOMPARE(bar->octaveBox()->maximum(), 7);
        QCOMPARE(bar->voiceList()->count(), 31);
        QCOMPARE(bar->voiceList()->currentText(), QStringLiteral("01 Unnamed"));
        QCOMPARE(window().findChild<QLabel*>(QStringLiteral("readyLabel"))->text(),
                 QStringLiteral("Ready"));
        QCOMPARE(window().soundStatusLabel()->text(), QStringLiteral("Sound: test device"));
        QCOMPARE(calls(), (Calls{"start"}));
        QVERIFY(!window().instrumentEditor()->isVisible());
        QVERIFY(!window().romMaker()->isVisible());
        QVERIFY(action("qwerty")->isChecked());
        QVERIFY(!action("azerty")->isChecked());
        // The buttons leave the keyboard focus with the pattern editor.
        for (const char* name : {"playSongButton", "playPatternButton", "stopButton"})
            QCOMPARE(bar->findChild<QToolButton*>(QLatin1String(name))->focusPolicy(), Qt::NoFocus);
        QCOMPARE(bar->editButton()->focusPolicy(), Qt::NoFocus);
    }

    void menusHoldEveryItemInOrder() {
        // The classic menu items in their order, and where they stand the items added to them
        // (marked "+"), which take keys the classic items leave free.
        const Item sep{QStringLiteral("-"), {}, {}};
        const auto keys = [](QKeySequence::StandardKey key) { return QKeySequence(key); };
        const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };
        const auto ctrlShift = [](int key) { return QKeySequence(Qt::CTRL | Qt::SHIFT | key); };
        const std::vector<std::pair<QString, std::vector<Item>>> expected = {
            {"&File",
             {{"&New Project", "Clears the current workspace", keys(QKeySequence::New)},
              {"New &Whole-Chip Song",  // +
               "Starts a song for the whole chip: FM tracks and ADPCM-A drum tracks",
               ctrlShift(Qt::Key_N)},
              {"&Open...", "Opens an existing workspace", keys(QKeySequence::Open)},
              {"Sa&ve", "Saves the song to its file", keys(QKeySequence::Save)},  // +
              {"&Save...", "Saves the current workspace", {}},
              sep,
              {"&Import MOD", "Imports a MOD song", {}},
              sep,
              {"Export QVX0...", "", {}},
              {"&Export Neogeo Test ROM...", "Exports a M1 test ROM", {}},
              {"Export Megadrive Test ROM...", "", {}},
              {"Export &WAV...", "Renders the song into a WAV file", {}},             // +
              {"Export V&GM...", "Writes the song's chip writes as a VGM file", {}},  // +
              sep,
              {"E&xit", "Quit the application", {}}}},
            {"&Edit",
             {{"&Undo", "Takes the last change back", keys(QKeySequence::Undo)},          // +
              {"&Redo", "Makes the last change taken back again", ctrlShift(Qt::Key_Z)},  // +
              sep,                                                                        // +
              {"Cu&t Track", "Cuts the current track to the clipboard", {}},
              {"&Copy Track", "Copies the current track to the clipboard", {}},
              {"&Paste Track", "Pastes to the current track from the clipboard", {}},
              sep,
              {"C&opy Pattern", "Copies the current pattern to the clipboard", {}},
              {"P&aste Pattern", "Pastes the current pattern from the clipboard", {}},
              sep,  // +
              {"Load Pr&eset into Instrument...",
               "Loads one of the preset voices into the selected instrument",
               {}},
              sep,
              {"&Increase Track Octave\t+", "Increases the Octave for the current track",
               keypad(Qt::Key_Plus)},
              {"&Decrease Track Octave\t-", "Decreases the octave for the current track",
               keypad(Qt::Key_Minus)},
              sep,  // + the block, then transposing
              {"Cut B&lock", "Cuts the selected cells", keys(QKeySequence::Cut)},
              {"Copy &Block", "Copies the selected cells", keys(QKeySequence::Copy)},
              {"Paste Bloc&k", "Pastes the copied cells at the cursor", keys(QKeySequence::Paste)},
              sep,
              {"Transpose &Up", "Raises the selected notes (or the track's) a semitone",
               ctrl(Qt::Key_Q)},
              {"Transpose Do&wn", "Lowers the selected notes (or the track's) a semitone",
               ctrl(Qt::Key_A)},
              {"Transpose Octave U&p", "Raises the selected notes (or the track's) an octave",
               ctrlShift(Qt::Key_Q)},
              {"Transpose Octave Dow&n", "Lowers the selected notes (or the track's) an octave",
               ctrlShift(Qt::Key_A)}}},
            {"&Song",  // +
             {{"&Convert to Whole-Chip Song",
               "Makes this song a whole-chip song: its FM tracks and instruments stay, drum "
               "tracks join",
               {}},
              {"Drum &Kit Editor...",
               "Shows the drum kits of a whole-chip song: a sample and a level on each note",
               {}},
              {"&SSG Voice Editor...",
               "Shows the SSG voices of a whole-chip song: mix, noise, envelope and volume "
               "sequence",
               {}},
              {"ADPCM-&B Sample Editor...",
               "Shows the ADPCM-B instruments of a whole-chip song: a sample, its base note and "
               "loop",
               {}}}},
            {"&View",
             {{"&Instrument Editor...\tF12", "Displays or hides the Instrument Editor",
               QKeySequence(Qt::Key_F12), true},
              sep,
              {"&Neogeo Rom Maker...", "Helper Dialog for building M1 and V1 ROM images", {}, true},
              sep,  // +
              {"&Scopes",
               "Displays or hides the scopes of the tracks and the output level",
               {},
               true},
              {"&Fold Tracks", "", {}}}},  // +
            {"&Play",
             {{"&Current Pattern\tF6", "Plays the current pattern", QKeySequence(Qt::Key_F6)},
              {"Son&g\tF5", "Plays the entire song", QKeySequence(Qt::Key_F5)},
              {"&Stop\tF4", "Stops playing; Silence", QKeySequence(Qt::Key_F4)},
              sep,  // + play from here and follow
              {"Song from &Order Entry\tF7", "Plays the song from the selected order entry",
               QKeySequence(Qt::Key_F7)},
              {"Pattern from &Row\tF8", "Plays the current pattern from the cursor's row",
               QKeySequence(Qt::Key_F8)},
              {"&Follow Playback", "Shows the pattern and the row being played", ctrl(Qt::Key_F),
               true}}},
            {"Options",
             {{"&Qwerty Keyboard", "Selects the QWERTY keyboard layout", {}, true},
              {"&Azerty Keyboard", "Selects the AZERTY keyboard layout", {}, true},
              sep,  // +
              {"&Note Off on Key Release", "Letting go of a note key silences the note", {}, true},
              {"MIDI Input", "", {}},
              sep,
              {"&Chip-Accurate FM",
               "Synthesizes FM as the chip computes it, at its own sample rate (about twice the "
               "processor time); also for WAV export",
               {},
               true}}},
            {"&Help",
             {{"&Keys and Effects...\tF1",  // +
               "Lists the editor's keys and the effects the driver plays",
               QKeySequence(Qt::Key_F1)},
              sep,
              {"&About QVXTracker...", "", {}}}},
        };
        const QList<QAction*> menus = window().menuBar()->actions();
        QCOMPARE(menus.size(), qsizetype(expected.size()));
        for (std::size_t m = 0; m < expected.size(); ++m) {
            QCOMPARE(menus[m]->text(), expected[m].first);
            const QList<QAction*> items = menus[m]->menu()->actions();
            QCOMPARE(items.size(), qsizetype(expected[m].second.size()));
            for (qsizetype i = 0; i < items.size(); ++i) {
                const Item& want = expected[m].second[std::size_t(i)];
                QAction* got = items[i];
                if (want.caption == QStringLiteral("-")) {
                    QVERIFY2(got->isSeparator(), qPrintable(expected[m].first));
                    continue;
                }
                QCOMPARE(got->text(), want.caption);
                QCOMPARE(got->statusTip(), want.prompt);
                QCOMPARE(got->shortcut(), want.shortcut);
                QCOMPARE(got->isCheckable(), want.checkable);
            }
        }
    }

    void typingANoteStoresItAndPreviewsIt() {
        showAndActivate();
        ws().setVoiceIndex(2);
        ws().song().instruments[3].registers.fill(0x33);
        QTest::keyClick(window().patternView(), Qt::Key_Z);
        QCOMPARE(ws().currentPatternData().cell(0, 0), (Cell{kNoteC, 4, 3, 0, 0}));
        QCOMPARE(calls(), (Calls{"start", "KeyUp", "loadInstrument 51", "KeyDown 0 3"}));
        QCOMPARE(ws().cursor().row(), 1);
        // Alt+Z is a menu mnemonic, never a note.
        QTest::keyClick(window().patternView(), Qt::Key_Z, Qt::AltModifier);
        QCOMPARE(ws().currentPatternData().cell(0, 1), kEmptyCell);
        // The octave field also sets the Octave box; instrument 0 leaves no voice selected.
        QTest::keyClick(window().patternView(), Qt::Key_Right);
        QTest::keyClick(window().patternView(), Qt::Key_6);
        QCOMPARE(window().controlBar()->octaveBox()->value(), 6);
        QTest::keyClick(window().patternView(), Qt::Key_Right);
        QTest::keyClick(window().patternView(), Qt::Key_0);
        QCOMPARE(window().controlBar()->voiceList()->currentIndex(), -1);
        QVERIFY(ws().modified());
    }

    void playKeysReachTheSoundLibrary() {
        showAndActivate();
        // The status line says what plays.
        const auto status = [this] {
            return window().findChild<QLabel*>(QStringLiteral("readyLabel"))->text();
        };
        QTest::keyClick(window().patternView(), Qt::Key_F6);
        QCOMPARE(status(), QStringLiteral("Playing pattern 00"));
        QTest::keyClick(window().patternView(), Qt::Key_F5);
        QCOMPARE(status(), QStringLiteral("Playing song from order 00"));
        QTest::keyClick(window().patternView(), Qt::Key_F4);
        QCOMPARE(status(), QStringLiteral("Ready"));
        // A one-pattern image (driver, table, block of one instrument and one pattern).
        QCOMPARE(calls(), (Calls{"start", "sendData 2969", "sendCommand 129", "sendData 2969",
                                 "sendCommand 129", "sendCommand 255"}));
        calls().clear();
        for (const char* name : {"playSongButton", "playPatternButton", "stopButton"})
            window().controlBar()->findChild<QToolButton*>(QLatin1String(name))->click();
        QCOMPARE(calls(), (Calls{"sendData 2969", "sendCommand 129", "sendData 2969",
                                 "sendCommand 129", "sendCommand 255"}));
    }

    void aRefusedSongShowsWhyAndSendsNothing() {
        ws().song().patterns[0].cell(0, 0) = Cell{kNoteC, 3, 40, kNone, kNone};
        action("playSong")->trigger();
        QCOMPARE(prompts().messages,
                 QStringList{"Pattern 00, track 1, row 00 uses instrument 40; instruments are "
                             "numbered 1 to 31"});
        action("exportNeoGeo")->trigger();
        QCOMPARE(prompts().messages.size(), 2);
        QVERIFY(prompts().requests.empty());  // refused before any file dialog
        QCOMPARE(calls(), (Calls{"start"}));
    }

    void unsavedChangesAreNeverLostSilently() {
        showAndActivate();
        QTest::keyClick(window().patternView(), Qt::Key_C);
        const Cell typed = ws().currentPatternData().cell(0, 0);
        QVERIFY(ws().modified());

        prompts().saveChoice = Prompts::SaveChoice::Cancel;
        for (const char* command : {"newProject", "open", "importMod"}) {
            action(command)->trigger();
            QCOMPARE(ws().currentPatternData().cell(0, 0), typed);
        }
        QVERIFY(!window().close());
        QVERIFY(window().isVisible());
        QCOMPARE(prompts().questions.size(), 4);
        QVERIFY(prompts().requests.empty());

        // Save, then the dialog cancelled: the command is cancelled too.
        prompts().saveChoice = Prompts::SaveChoice::Save;
        action("newProject")->trigger();
        QCOMPARE(ws().currentPatternData().cell(0, 0), typed);
        // Save into a file: the song is saved, then the command goes ahead.
        prompts().fileNames = {file("kept.mus")};
        action("newProject")->trigger();
        QCOMPARE(ws().currentPatternData().cell(0, 0), kEmptyCell);
        QVERIFY(QFile::exists(file("kept.mus")));
        QVERIFY(!ws().modified());
        // Open brings it back without a question.
        prompts().questions.clear();
        prompts().fileNames = {file("kept.mus")};
        action("open")->trigger();
        QCOMPARE(ws().currentPatternData().cell(0, 0), typed);
        QVERIFY(prompts().questions.isEmpty());
        QCOMPARE(prompts().requests.back().filter, QStringLiteral("Music Files (*.mus)"));
        QCOMPARE(prompts().requests.back().defaultSuffix, QStringLiteral("mus"));
        // Discard goes ahead without saving.
        QTest::keyClick(window().patternView(), Qt::Key_V);
        prompts().saveChoice = Prompts::SaveChoice::Discard;
        action("newProject")->trigger();
        QCOMPARE(ws().currentPatternData().cell(0, 0), kEmptyCell);
    }

    void exportsAskForAFileAndWriteIt() {
        prompts().fileNames = {file("song.qv0"), file("202-m1.bin"), file("testrom.bin")};
        action("exportQvx0")->trigger();
        action("exportNeoGeo")->trigger();
        action("exportMegaDrive")->trigger();
        QVERIFY(prompts().messages.isEmpty());
        QCOMPARE(QFileInfo(file("song.qv0")).size(), qint64(1192));
        QCOMPARE(QFileInfo(file("202-m1.bin")).size(), qint64(2969));
        QCOMPARE(QFileInfo(file("testrom.bin")).size(), qint64(131072));
        QCOMPARE(prompts().requests[0].filter, QStringLiteral("QVX0 binary (*.bin)"));
        QCOMPARE(prompts().requests[1].defaultName, QStringLiteral("202-m1"));
        QCOMPARE(prompts().requests[2].defaultName, QStringLiteral("testrom"));
        QCOMPARE(prompts().requests[2].filter, QStringLiteral("Test ROM files (*.bin)"));
        QCOMPARE(window().statusBar()->currentMessage(),
                 QStringLiteral("Wrote testrom.bin (131072 bytes)"));
        // A file that cannot be written says so.
        prompts().fileNames = {file("no-such-folder/x.bin")};
        action("exportNeoGeo")->trigger();
        QCOMPARE(prompts().messages, QStringList{"Failed to Create x.bin"});
        // A song the console's bank cannot hold is refused before the dialog.
        for (int p = 1; p < 32; ++p)
            ws().song().addPattern();
        prompts().requests.clear();
        action("exportMegaDrive")->trigger();
        QVERIFY(prompts().requests.empty());
        QVERIFY(prompts().messages.last().startsWith(
            QStringLiteral("The song is too large for the Mega Drive test ROM")));
    }

    void aRefusedFileIsNamedWithTheReason() {
        QVERIFY(qvx::testing::writeBytes(file("empty.mus").toStdString(), {}));
        window().openSong(file("empty.mus"));
        QCOMPARE(prompts().messages, QStringList{"Invalid QVX Tracker Music file"});
        QCOMPARE(prompts().details, QStringList{file("empty.mus") + ": the file is empty"});
    }

    void keysAndEffectsAreAtHand() {
        showAndActivate();
        QTest::keyClick(window().patternView(), Qt::Key_F1);
        auto* reference = window().findChild<ReferenceWindow*>();
        QVERIFY(reference && reference->isVisible());
        const QString page = reference->page()->toPlainText();
        QVERIFY(page.contains(QStringLiteral("pattern break")));
        QVERIFY(page.contains(readmePath()));
    }

    void patternPanelShowsTheWorkspace() {
        PatternPanel* panel = window().patternPanel();
        panel->findChild<QPushButton*>(QStringLiteral("newPattern"))->click();
        QCOMPARE(panel->numberField()->text(), QStringLiteral("01"));
        QCOMPARE(panel->nameBox()->text(), QStringLiteral("Pat 01"));
        QCOMPARE(panel->orderList()->count(), 1);  // a new pattern is not played
        panel->findChild<QPushButton*>(QStringLiteral("appendOrder"))->click();
        QCOMPARE(panel->orderList()->count(), 2);
        QCOMPARE(panel->orderList()->item(1)->text(), QStringLiteral("01 - 01"));
        QCOMPARE(panel->orderList()->currentRow(), 1);
        // Showing the new selection did not choose a pattern; choosing entry 0 does.
        QCOMPARE(ws().currentPattern(), 1);
        panel->orderList()->setCurrentRow(0);
        QCOMPARE(ws().currentPattern(), 0);
        QCOMPARE(panel->numberField()->text(), QStringLiteral("00"));
        // The name box goes into the pattern only by Rename.
        panel->nameBox()->setText(QStringLiteral("Verse"));
        QCOMPARE(ws().currentPatternName(), "Pat 00");
        panel->findChild<QPushButton*>(QStringLiteral("renamePattern"))->click();
        QCOMPARE(ws().currentPatternName(), "Verse");
    }

    void toolWindowsFollowTheViewMenu() {
        showAndActivate();
        QAction* editor = action("instrumentEditor");
        QTest::keyClick(window().patternView(), Qt::Key_F12);
        QVERIFY(window().instrumentEditor()->isVisible());
        QVERIFY(editor->isChecked());
        QTest::keyClick(window().patternView(), Qt::Key_F12);
        QVERIFY(!window().instrumentEditor()->isVisible());
        QVERIFY(!editor->isChecked());
        // "Edit" always shows it; its own close box takes the check mark away.
        window().controlBar()->editButton()->click();
        QVERIFY(window().instrumentEditor()->isVisible());
        QVERIFY(editor->isChecked());
        window().instrumentEditor()->reject();
        QVERIFY(!editor->isChecked());
        action("romMaker")->trigger();
        QVERIFY(window().romMaker()->isVisible());
        window().romMaker()->close();
        QVERIFY(!action("romMaker")->isChecked());
    }

    void keyboardLayoutSurvivesARestart() {
        action("azerty")->trigger();
        QVERIFY(!action("qwerty")->isChecked());
        QCOMPARE(QSettings().value(QStringLiteral("Options/Keyboard")).toInt(), 0);
        window_.reset();
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
        QVERIFY(action("azerty")->isChecked());
        QCOMPARE(ws().keyboardLayout(), KeyboardLayout::Azerty);
        QTest::keyClick(window().patternView(), Qt::Key_W);
        QCOMPARE(ws().currentPatternData().cell(0, 0).note, kNoteC);
    }

    void theScopesFollowTheViewMenuAcrossARestart() {
        showAndActivate();
        auto* strip = window().findChild<ScopeStrip*>();
        QVERIFY(strip && strip->isVisible() && action("scopes")->isChecked());
        // A full-scale frame on the output lights the clip mark.
        sound_->scope.assign(100 * SoundSystem::kScopeValues, 0);
        sound_->scope[50 * SoundSystem::kScopeValues + SoundSystem::kScopeLeft] = 32767;
        QVERIFY(strip->refresh() && strip->clipped());
        QCOMPARE(qRound(strip->peakDb()), 0);
        action("scopes")->trigger();
        QVERIFY(!strip->isVisible());
        window_.reset();
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
        showAndActivate();
        QVERIFY(!action("scopes")->isChecked() && !window().findChild<ScopeStrip*>()->isVisible());
    }

    void theGridIsDrawnInTheEditorsColours() {
        window().resize(900, 600);
        ws().toggleTrack(2);
        const QImage image = window().patternView()->viewport()->grab().toImage();
        const auto colour = [&](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
        QCOMPARE(colour(2, 17 + 17 * 1 + 8), PatternView::kRowColour & 0xFFFFFF);
        QCOMPARE(colour(2, 17 + 17 * 4 + 8), PatternView::kBeatRowColour & 0xFFFFFF);
        QCOMPARE(colour(grid::gridEndX(kTracks) + 20, 8), PatternView::kHeaderColour & 0xFFFFFF);
        // The cursor inverts its field (row 0, note field); the other fields keep the colour.
        QCOMPARE(colour(grid::kFirstTrackX + 2, 17 + 2), ~PatternView::kBeatRowColour & 0xFFFFFF);
        // Track 3's lamp is red, track 1's green.
        const QColor off = QColor::fromRgb(image.pixel(grid::trackX(2) + 137, 9));
        const QColor on = QColor::fromRgb(image.pixel(grid::trackX(0) + 137, 9));
        QVERIFY2(off.red() > 2 * off.green(), qPrintable(off.name()));
        QVERIFY2(on.green() > 2 * on.red(), qPrintable(on.name()));
    }

    void aboutBoxSaysTheVersion() {
        AboutBox box(&window());
        QCOMPARE(box.windowTitle(), QStringLiteral("About QVXTracker"));
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("version"))->text(),
                 QStringLiteral("QVXTracker Version 0.6c (28AUG05)"));
        QVERIFY(box.isModal());
    }

    void terminationLeavesARecoveryCopyAndACleanEndNone() {
        qvx::testing::TempDir state;
        int quits = 0;
        window().setSongFile(file("Theme.mus"));
        {
            SessionKeeper keeper(window(), prompts(), state.path(), [&] { ++quits; });
            ws().typeChar(U'z');
            keeper.keepCopy();
            QVERIFY(keeper.folder().hasOwnCopy());
            QVERIFY(ws().save(toPath(file("saved.mus"))));  // saved: nothing left to recover
            QVERIFY(!keeper.folder().hasOwnCopy());
            ws().typeChar(U'x');
            keeper.keepCopy();
        }
        QVERIFY(RecoveryFolder(state.path()).leftBehind().empty());  // ended cleanly

        {
            SessionKeeper keeper(window(), prompts(), state.path(), [&] { ++quits; });
            ws().typeChar(U'c');
            ::raise(SIGTERM);
            QTRY_COMPARE(quits, 1);
        }
        const auto copies = RecoveryFolder(state.path()).leftBehind();
        QCOMPARE(copies.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(copies[0].songFile), file("Theme.mus"));
        Song copy;
        QVERIFY(RecoveryFolder::read(copies[0], copy));
        QVERIFY(serializeSong(copy) == serializeSong(ws().song()));
        QVERIFY(prompts().questions.isEmpty());  // a signal asks nothing
    }

    void restoreQuestionAnswers_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("Restore") << int(Prompts::RestoreChoice::Restore);
        QTest::newRow("Discard") << int(Prompts::RestoreChoice::Discard);
        QTest::newRow("Later") << int(Prompts::RestoreChoice::Later);
    }
    void restoreQuestionAnswers() {
        QFETCH(int, answer);
        qvx::testing::TempDir state;
        Song left;
        left.patterns[0].cell(1, 3) = Cell{5, 2, 1, 0xFF, 0xFF};
        QVERIFY(RecoveryFolder(state.path()).write(left, file("Theme.mus").toStdString(), 0));
        QVERIFY(qvx::testing::writeBytes(state / "damaged.mus", std::vector<std::uint8_t>{1}));
        prompts().restoreChoice = Prompts::RestoreChoice(answer);

        SessionKeeper keeper(window(), prompts(), state.path(), [] {});
        const bool restored = keeper.offerRestore();
        QCOMPARE(prompts().questions.size(), 1);  // the damaged copy is not offered
        QVERIFY2(prompts().questions[0].startsWith(QStringLiteral(
                     "QVXTracker did not close properly. Restore Theme.mus as it was at ")),
                 qPrintable(prompts().questions[0]));
        QVERIFY(prompts().details.last().startsWith(QStringLiteral("The song's file: ") +
                                                    file("Theme.mus") + QLatin1Char('\n')));
        QCOMPARE(prompts().messages.size(), 1);
        QVERIFY(prompts().messages[0].startsWith(QStringLiteral("Invalid QVX Tracker Music file")));
        QVERIFY(std::filesystem::exists(state / "damaged.mus.damaged"));

        const auto stillLeft = RecoveryFolder(state.path()).leftBehind();
        QCOMPARE(restored, answer == int(Prompts::RestoreChoice::Restore));
        QCOMPARE(stillLeft.size(), std::size_t(answer == int(Prompts::RestoreChoice::Later)));
        QCOMPARE(ws().song().patterns[0].cell(1, 3) == left.patterns[0].cell(1, 3), restored);
        QCOMPARE(ws().modified(), restored);
        QCOMPARE(keeper.folder().hasOwnCopy(), restored);
        if (restored) {
            QCOMPARE(window().songFile(), file("Theme.mus"));
            QVERIFY(window().isWindowModified());
            QVERIFY(!ws().canUndo());
        }
    }
};

}  // namespace
}  // namespace qvx::editor

QTEST_MAIN(qvx::editor::MainWindowTest)
#include "main_window_test.moc"
