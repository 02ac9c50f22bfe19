// The instrument editor's wiring: its fields, the store question, Rename, Load and Save, the test
// keyboard and the View menu. The user and the sound library are fakes.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "editor/control_bar.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/main_window.hpp"
#include "editor/preset_panel.hpp"
#include "editor/voice_pictures.hpp"
#include "tests/editor/window_rig.hpp"

namespace qvx::editor {
namespace {

class InstrumentEditorTest : public QObject, testing::WindowRig {
    Q_OBJECT

  private:
    InstrumentEditor& editor() { return *window_->instrumentEditor(); }
    void click(const char* button) {
        editor().findChild<QPushButton*>(QLatin1String(button))->click();
    }
    void choose(int index) {
        editor().instrumentList()->setCurrentIndex(index);
        emit editor().instrumentList()->activated(index);
    }
    void open() {
        action("instrumentEditor")->trigger();
        QVERIFY(editor().isVisible());
    }

  private slots:
    void initTestCase() {
        nameApplication();
        QVERIFY(haveFolder());
    }

    void init() {
        makeWindow();
        ws().song().instruments[1].registers.fill(0x11);
        ws().song().instruments[2].registers.fill(0x22);
    }

    void cleanup() { dropWindow(); }

    void fieldsShowTheVoiceAndStoreTheirBits() {
        open();
        QCOMPARE(editor().instrumentList()->currentIndex(), 0);
        QCOMPARE(editor().slotField(0, 0)->value(), 1);     // Detune of 0x11
        QCOMPARE(editor().slotField(0, 2)->value(), 0x11);  // Total Level, the whole byte
        QCOMPARE(editor().feedbackField()->value(), 2);
        QCOMPARE(editor().slotField(3, 8)->maximum(), 255);
        editor().slotField(3, 8)->stepUp();  // the up arrow raises
        QCOMPARE(editor().slotField(3, 8)->value(), 2);
        editor().slotField(0, 0)->setValue(9);
        editor().feedbackField()->setValue(5);
        editor().connectionField()->setValue(7);
        click("store");
        QCOMPARE(ws().song().instruments[1].registers[0], 0x11);  // Detune 9 stores 1
        QCOMPARE(ws().song().instruments[1].registers[23], 0x12);
        QCOMPARE(ws().song().instruments[1].registers[24], 0x2F);
        QVERIFY(prompts().questions.isEmpty());
        click("clear");
        QCOMPARE(editor().slotField(1, 2)->value(), 0);
        QCOMPARE(ws().song().instruments[1].registers[5], 0x11);  // nothing stored
    }

    void changingInstrumentsAsksToStoreEdits() {
        open();
        editor().slotField(2, 4)->setValue(3);
        choose(0);  // the same entry: reloads, no question
        QVERIFY(prompts().questions.isEmpty());
        QCOMPARE(editor().slotField(2, 4)->value(), 0x11 & 31);

        editor().slotField(2, 4)->setValue(3);
        prompts().yes = false;
        choose(1);
        QCOMPARE(prompts().questions, QStringList{"Store changes to Instrument 1 first?"});
        QCOMPARE(ws().song().instruments[1].registers[10], 0x11);
        QCOMPARE(editor().slotField(0, 0)->value(), 2);  // instrument 2 shown

        editor().slotField(2, 4)->setValue(3);
        prompts().yes = true;
        choose(0);
        QCOMPARE(ws().song().instruments[2].registers[10], 0x03);
        QVERIFY(ws().modified());

        // Edit while the window is open shows the Voice list's voice, asking first.
        prompts().questions.clear();
        editor().slotField(0, 1)->setValue(9);
        window_->controlBar()->editButton()->click();
        QCOMPARE(prompts().questions, QStringList{"Store changes to Instrument 1 first?"});
    }

    void closeWindowAsksAndTheCloseBoxDoesNot() {
        open();
        QAction* item = action("instrumentEditor");
        editor().slotField(1, 1)->setValue(4);
        prompts().yes = false;
        click("closeWindow");
        QCOMPARE(prompts().questions.size(), 1);
        QVERIFY(!editor().isVisible());
        QVERIFY(!item->isChecked());
        open();
        editor().slotField(1, 1)->setValue(5);
        QTest::keyClick(&editor(), Qt::Key_Escape);
        QVERIFY(!editor().isVisible());
        QVERIFY(!item->isChecked());
        QCOMPARE(prompts().questions.size(), 1);
        // The edit left by Escape is not lost silently: showing again asks for it.
        prompts().yes = true;
        open();
        QCOMPARE(prompts().questions.size(), 2);
        QCOMPARE(ws().song().instruments[1].registers[1] & 0x0F, 5);
        editor().close();  // the close box
        QVERIFY(!editor().isVisible());
        QVERIFY(!item->isChecked());
        QCOMPARE(prompts().questions.size(), 2);
    }

    void renameLoadAndSave() {
        open();
        prompts().answerText = QString();
        click("rename");
        QCOMPARE(ws().song().instruments[1].name, "01 Unnamed");  // an empty name keeps it
        prompts().answerText = QStringLiteral("Bell/Soft");
        click("rename");
        QCOMPARE(ws().song().instruments[1].name, "01 Bell/Soft");
        QCOMPARE(editor().instrumentList()->itemText(0), QStringLiteral("01 Bell/Soft"));
        QCOMPARE(window_->controlBar()->voiceList()->itemText(0), QStringLiteral("01 Bell/Soft"));

        const QString path = file("bell.ins");
        prompts().fileNames = {path};
        click("save");
        QCOMPARE(prompts().requests.back().defaultName, QStringLiteral("Bell_Soft"));
        QCOMPARE(prompts().requests.back().filter, QStringLiteral("Instrument Files (*.ins)"));
        QVERIFY(QFile::exists(path));

        choose(2);
        prompts().fileNames = {path};
        click("load");
        QVERIFY(prompts().messages.isEmpty());
        QCOMPARE(ws().song().instruments[3].name, "03 Bell/Soft");
        QCOMPARE(editor().instrumentList()->currentIndex(), 2);
        QCOMPARE(editor().slotField(0, 2)->value(), 0x11);
        QVERIFY(prompts().requests.back().filter.startsWith(
            QStringLiteral("Supported Instrument Files (*.ins *.y12)")));
        prompts().fileNames = {file("missing.ins")};
        click("load");
        QCOMPARE(prompts().messages, QStringList{"Failed to Open missing.ins"});
    }

    void theTestKeyboardPlaysAndHearsEveryChange() {
        open();
        calls().clear();
        QTest::mouseClick(editor().keyboard(), Qt::LeftButton, {}, QPoint(2, 30));
        QTest::mouseClick(editor().keyboard(), Qt::LeftButton, {}, QPoint(7, 10));
        QCOMPARE(calls(), (Calls{"loadInstrument 17", "KeyDown 0 3", "KeyDown 1 4"}));
        editor().slotField(0, 1)->setValue(3);  // heard at once on the held note
        QCOMPARE(calls().back(), std::string("loadInstrument 19"));
        click("mute");
        QCOMPARE(calls().back(), std::string("KeyUp"));
        editor().slotField(0, 1)->setValue(4);  // no note held: nothing sent
        QCOMPARE(calls().back(), std::string("KeyUp"));
        editor().octaveField()->setValue(0);
        QTest::mouseClick(editor().keyboard(), Qt::LeftButton, {}, QPoint(2, 30));
        QCOMPARE(calls().back(), std::string("KeyDown 0 0"));
        // After playback the channel plays the song's voices: the next key loads the fields'.
        calls().clear();
        action("playSong")->trigger();
        QTest::mouseClick(editor().keyboard(), Qt::LeftButton, {}, QPoint(7, 10));
        QCOMPARE(calls()[2], std::string("loadInstrument 20"));
    }

    // A click on a preset is heard and changes nothing; Use Preset loads it as Load does (undo
    // takes it back, Store stores edits); the menu loads one into the selected voice; the pictures
    // follow the fields.
    void presetsAreHeardUsedAndDrawn() {
        open();
        QTreeWidget* tree = editor().presetPanel()->tree();
        QTreeWidgetItem* bell = tree->findItems("Tubular Bell", Qt::MatchRecursive)[0];
        const VoiceBytes before = ws().song().instruments[1].registers;
        calls().clear();
        tree->setCurrentItem(bell);
        emit tree->itemClicked(bell, 0);
        QCOMPARE(calls(), (Calls{"loadInstrument 7", "KeyDown 0 3"}));  // a C of the octave
        QCOMPARE(ws().song().instruments[1].registers, before);
        QCOMPARE(editor().slotField(0, 1)->value(), 1);
        QTRY_COMPARE(calls().back(), std::string("KeyUp"));
        click("usePreset");
        QCOMPARE(editor().slotField(0, 1)->value(), 7);
        QCOMPARE(ws().song().instruments[1].name, std::string("01 Tubular Bell"));
        editor().slotField(0, 1)->setValue(9);
        click("store");
        QCOMPARE(ws().song().instruments[1].registers[0], 0x09);
        ws().undo();
        ws().undo();
        QCOMPARE(ws().song().instruments[1].registers, before);

        prompts().preset = editor().presetPanel()->groups()[0].presets[0].path;
        ws().setVoiceIndex(1);
        action("loadPreset")->trigger();
        QCOMPARE(ws().song().instruments[2].registers,
                 editor().presetPanel()->groups()[0].presets[0].registers);
        QCOMPARE(editor().instrumentList()->currentIndex(), 1);

        editor().connectionField()->setValue(5);
        QCOMPARE(editor().algorithmView()->connection(), 5);
        QCOMPARE(editor().envelopeView()->curves()[3].size(), std::size_t(2500));
    }

    // A note on a voice whose carriers cannot sound says so in the status bar.
    void aSilentVoiceIsNamedWhenItsNoteIsPlayed() {
        open();
        ws().song().instruments[3].registers.fill(0);
        choose(2);
        QTest::mouseClick(editor().keyboard(), Qt::LeftButton, {}, QPoint(2, 30));
        QCOMPARE(window().statusBar()->currentMessage(),
                 QStringLiteral("Instrument 03 makes no sound: its carrier operators have Attack "
                                "0. Press F12 to edit it or pick a preset."));
        window().statusBar()->clearMessage();
        choose(0);
        QTest::mouseClick(editor().keyboard(), Qt::LeftButton, {}, QPoint(2, 30));
        QVERIFY(window().statusBar()->currentMessage().isEmpty());
    }
};

}  // namespace
}  // namespace qvx::editor

QTEST_MAIN(qvx::editor::InstrumentEditorTest)
#include "instrument_editor_test.moc"
