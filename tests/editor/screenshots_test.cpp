// Pictures of the editor for a person to look at: written only when QVX_SCREENSHOT_DIR names a
// folder. Run under a real X server for the desktop's fonts and frames:
//   QVX_SCREENSHOT_DIR=shots xvfb-run -a -s "-screen 0 1280x1024x24"
//   tests/editor/test_editor_screenshots
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QTest>

#include "editor/about_box.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/main_window.hpp"
#include "editor/pattern_view.hpp"
#include "tests/editor/editor_fakes.hpp"

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
        window.resize(1000, 760);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openSong(QStringLiteral(QVX_SOURCE_DIR "/examples/demo.mus"));
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
    }

    void aboutBox() {
        AboutBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        save(box, "about-box");
    }

  private:
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
