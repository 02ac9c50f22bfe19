// QVXTracker: the editor program.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <string_view>

#include "editor/artwork.hpp"
#include "editor/dialog_prompts.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/library_sound.hpp"
#include "editor/main_window.hpp"
#include "editor/session_keeper.hpp"
#include "editor/text.hpp"
#include "song/instrument_file.hpp"
#include "song/recovery.hpp"

namespace {

// A file handed over by the desktop: a song opens, an instrument loads into the selected voice.
void openArgument(qvx::editor::MainWindow& window, const QString& path) {
    if (qvx::isInstrumentFile(qvx::editor::toPath(path))) {
        window.showInstrumentEditor();
        window.instrumentEditor()->loadPreset(std::max(window.workspace().voiceIndex(), 0),
                                              qvx::editor::toPath(path));
        return;
    }
    window.openSong(path);
}

void nameApplication() {
    // The profile's keys: ~/.config/Tessalwerk/QVXTracker.conf
    QCoreApplication::setOrganizationName(QStringLiteral("Tessalwerk"));
    QCoreApplication::setApplicationName(QStringLiteral("QVXTracker"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
}

void describeArguments(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("QVXTracker - compose FM music for the Neo Geo"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Song (.mus) to open, or instrument (.ins) to load "
                                                "into the selected voice"),
                                 QStringLiteral("[FILE]"));
}

// --help and --version answer without a display, as on a build machine or in a terminal.
void answerWithoutDisplay(int argc, char** argv) {
    const std::string_view answered[] = {"-h", "--help", "--help-all", "-v", "--version"};
    for (int i = 1; i < argc; ++i) {
        if (std::find(std::begin(answered), std::end(answered), argv[i]) == std::end(answered))
            continue;
        QCoreApplication app(argc, argv);
        nameApplication();
        QCommandLineParser parser;
        describeArguments(parser);
        parser.process(app);  // prints and exits
    }
}

}  // namespace

int main(int argc, char** argv) {
    answerWithoutDisplay(argc, argv);
    QApplication app(argc, argv);
    nameApplication();
    QApplication::setWindowIcon(qvx::editor::artwork::applicationIcon());
    QCommandLineParser parser;
    describeArguments(parser);
    parser.process(app);

    qvx::editor::LibrarySound sound;
    qvx::editor::DialogPrompts prompts;
    qvx::editor::MainWindow window(sound, prompts);
    prompts.setParent(&window);
    qvx::editor::SessionKeeper keeper(window, prompts, qvx::defaultRecoveryFolder(),
                                      [] { QCoreApplication::exit(0); });
    window.show();
    // Asked from inside the event loop, so that a terminating signal during a question ends the
    // program rather than only the question.
    QTimer::singleShot(0, &window, [&] {
        keeper.offerRestore();
        if (!keeper.ended() && !parser.positionalArguments().isEmpty())
            openArgument(window, parser.positionalArguments().first());
    });
    return app.exec();
}
