// QVXTracker: the editor program.
#include <QApplication>
#include <QCommandLineParser>

#include "editor/artwork.hpp"
#include "editor/dialog_prompts.hpp"
#include "editor/library_sound.hpp"
#include "editor/main_window.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The profile's keys: ~/.config/Tessalwerk/QVXTracker.conf
    QCoreApplication::setOrganizationName(QStringLiteral("Tessalwerk"));
    QCoreApplication::setApplicationName(QStringLiteral("QVXTracker"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QApplication::setWindowIcon(qvx::editor::artwork::applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("QVXTracker - compose FM music for the Neo Geo"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("song"), QStringLiteral("Song file (.mus) to open"),
                                 QStringLiteral("[SONG.mus]"));
    parser.process(app);

    qvx::editor::LibrarySound sound;
    qvx::editor::DialogPrompts prompts;
    qvx::editor::MainWindow window(sound, prompts);
    prompts.setParent(&window);
    window.show();
    if (!parser.positionalArguments().isEmpty())
        window.openSong(parser.positionalArguments().first());
    return app.exec();
}
