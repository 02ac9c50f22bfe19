// A MIDI keyboard through real MIDI: a JACK server of the test's own (the dummy backend runs
// without sound hardware, where the ALSA sequencer would need a kernel device), a virtual output
// port of the test, and the editor's input opened on it from the Options menu. Skipped when jackd
// cannot be started.
#include <rtmidi/RtMidi.h>

#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QTest>
#include <memory>
#include <thread>

#include "editor/instrument_editor.hpp"
#include "editor/midi_input.hpp"
#include "editor/midi_keys.hpp"
#include "tests/editor/window_rig.hpp"

namespace qvx::editor {
namespace {

const char* const kPort = "JACK: qvx-test-keys:keys";

class MidiTest : public QObject, testing::WindowRig {
    Q_OBJECT

  private slots:
    void initTestCase() {
        nameApplication();
        const QString server = QStringLiteral("qvxtest-%1").arg(QCoreApplication::applicationPid());
        qputenv("JACK_DEFAULT_SERVER", server.toUtf8());
        qputenv("JACK_NO_START_SERVER", "1");
        jackd_.setProcessChannelMode(QProcess::MergedChannels);
        jackd_.start(QStringLiteral("jackd"),
                     {QStringLiteral("--no-realtime"), QStringLiteral("-n"), server,
                      QStringLiteral("-d"), QStringLiteral("dummy")});
        if (!jackd_.waitForStarted(3000)) return;
        for (int attempt = 0; attempt < 50 && !keys_; ++attempt) {
            try {
                auto keys = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "qvx-test-keys");
                keys->openVirtualPort("keys");
                keys_ = std::move(keys);
            } catch (const RtMidiError&) {
                QTest::qWait(100);
            }
        }
    }
    void cleanupTestCase() {
        keys_.reset();
        jackd_.terminate();
        jackd_.waitForFinished(3000);
    }
    void init() {
        if (!keys_)
            QSKIP(
                "jackd (Debian \"jackd2\") could not be started with the dummy backend: no "
                "MIDI is sent");
        makeWindow();
    }
    void cleanup() {
        window().midiKeys()->choose({});
        dropWindow();
    }

    void notesFromTheKeyboardEnterAndSound() {
        openFromTheMenu();
        calls().clear();
        send({0x90, 60, 100});  // C-4 on the note field of row 0
        QTRY_COMPARE(ws().currentPatternData().cell(0, 0), (Cell{0, 4, 1, 0, 0}));
        QCOMPARE(ws().cursor().row(), 1);
        QVERIFY(contains("KeyDown 0 3"));  // the library's C is the one of the block above

        send({0x90, 12, 100});  // C-0: below the song's octaves
        QTRY_VERIFY(window().statusBar()->currentMessage().contains(
            QStringLiteral("C-0 is outside the song's octaves 1 to 7")));
        QCOMPARE(ws().currentPatternData().cell(0, 1), kEmptyCell);

        calls().clear();
        send({0x80, 60, 0});  // let go, with "Note Off on Key Release" off: the note rings on
        send({0x90, 13, 100});
        QTRY_VERIFY(window().statusBar()->currentMessage().contains(QStringLiteral("C#0")));
        QVERIFY(calls().empty());
        action("noteOffOnRelease")->setChecked(true);
        send({0x90, 62, 100});
        send({0x80, 62, 0});
        QTRY_COMPARE(ws().currentPatternData().cell(0, 1).note, 2);  // D-4
        QTRY_COMPARE(calls().back(), std::string("KeyUp"));
        QCOMPARE(calls()[calls().size() - 2], std::string("KeyDown 2 4"));
    }

    void aPortThatGoesAwayLeavesAMessage() {
        openFromTheMenu();
        keys_.reset();
        QTRY_VERIFY_WITH_TIMEOUT(window().statusBar()->currentMessage().contains(
                                     QStringLiteral("MIDI Input: %1 went away").arg(kPort)),
                                 5000);
        QVERIFY(window().midiKeys()->input().openPort().isEmpty());
        keys_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "qvx-test-keys");
        keys_->openVirtualPort("keys");
    }

    void aFailedOpenKeepsThePortAndTheInstrumentEditorTakesTheNotes() {
        openFromTheMenu();
        window().midiKeys()->choose(QStringLiteral("JACK: nobody:nothing"));
        QCOMPARE(prompts().messages.size(), 1);
        QCOMPARE(window().midiKeys()->input().openPort(), QString::fromLatin1(kPort));

        showAndActivate();
        action("instrumentEditor")->trigger();
        auto* instruments = window().instrumentEditor();
        QApplication::setActiveWindow(instruments);
        QVERIFY(QTest::qWaitForWindowActive(instruments));
        send({0x90, 64, 100});  // E-4 on the test keyboard, nothing entered
        QTRY_COMPARE(ws().heldPreview(), Workspace::PreviewSource::TestKeyboard);
        QCOMPARE(ws().currentPatternData().cell(0, 0), kEmptyCell);
    }

  private:
    void openFromTheMenu() {
        QMenu* menu = nullptr;
        for (QMenu* m : window().menuBar()->findChildren<QMenu*>())
            if (m->title() == QStringLiteral("MIDI Input")) menu = m;
        QVERIFY(menu);
        emit menu->aboutToShow();
        QAction* port = nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == QLatin1String(kPort)) port = a;
        QVERIFY2(port, "the test's port is not in the menu");
        port->trigger();
        QCOMPARE(window().midiKeys()->input().openPort(), QString::fromLatin1(kPort));
        QTest::qWait(100);  // JACK connects the ports in its own time
    }
    void send(std::vector<unsigned char> message) { keys_->sendMessage(&message); }
    bool contains(const char* call) {
        return std::find(calls().begin(), calls().end(), call) != calls().end();
    }

    QProcess jackd_;
    std::unique_ptr<RtMidiOut> keys_;
};

}  // namespace
}  // namespace qvx::editor

QTEST_MAIN(qvx::editor::MidiTest)
#include "midi_test.moc"
