#include "editor/session_keeper.hpp"

#include <QDateTime>
#include <QFile>
#include <QStatusBar>
#include <QTimer>

#include "editor/main_window.hpp"
#include "editor/termination_signals.hpp"
#include "editor/text.hpp"

namespace qvx::editor {

SessionKeeper::SessionKeeper(MainWindow& window, Prompts& prompts,
                             const std::filesystem::path& folder, QuitFn quit, QObject* parent)
    : QObject(parent), window_(window), prompts_(prompts), folder_(folder), quit_(std::move(quit)) {
    timer_ = new QTimer(this);
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, &SessionKeeper::keepCopy);
    timer_->start();
    // Saved, discarded or undone to the saved song: the copy has nothing left to keep.
    connect(&window_, &MainWindow::songModifiedChanged, this, [this](bool modified) {
        if (!modified) folder_.removeOwnCopy();
    });
    signals_ = new TerminationSignals(this);
    connect(signals_, &TerminationSignals::received, this, &SessionKeeper::terminate);
}

SessionKeeper::~SessionKeeper() {
    if (!endedBySignal_) folder_.removeOwnCopy();
}

void SessionKeeper::keepCopy() {
    const Workspace& workspace = window_.workspace();
    if (!workspace.modified()) {
        if (folder_.hasOwnCopy()) folder_.removeOwnCopy();
        return;
    }
    if (folder_.hasOwnCopy() && copiedRevision_ == workspace.revision()) return;
    const Result result =
        folder_.write(workspace.song(), QFile::encodeName(window_.songFile()).toStdString(),
                      QDateTime::currentSecsSinceEpoch());
    if (result)
        copiedRevision_ = workspace.revision();
    else
        window_.statusBar()->showMessage(QStringLiteral("No recovery copy could be written: %1")
                                             .arg(QString::fromStdString(result.message())));
}

void SessionKeeper::terminate(int) {
    keepCopy();
    endedBySignal_ = true;
    quit_();
}

bool SessionKeeper::offerRestore() {
    for (const RecoveryCopy& copy : folder_.leftBehind()) {
        auto song = std::make_unique<Song>();
        if (const Result read = RecoveryFolder::read(copy, *song); !read) {
            folder_.keepAside(copy);
            prompts_.message(QStringLiteral("%1\n\nThe recovery copy was kept aside in %2.")
                                 .arg(fromModelText(read.message()),
                                      QFile::decodeName(folder_.folder().c_str())),
                             fromModelText(read.detail()));
            continue;
        }
        const QString question =
            fromModelText(recoveryQuestion(copy, QDateTime::currentSecsSinceEpoch()));
        const Prompts::RestoreChoice choice =
            prompts_.askRestore(question, fromModelText(recoveryDetails(copy)));
        if (endedBySignal_) return false;  // the question was closed by the signal: decide nothing
        switch (choice) {
            case Prompts::RestoreChoice::Restore:
                window_.workspace().restoreUnsaved(std::move(song));
                window_.setSongFile(QFile::decodeName(QByteArray::fromStdString(copy.songFile)));
                folder_.discard(copy);
                keepCopy();  // the restored song is this session's work now
                return true;
            case Prompts::RestoreChoice::Discard:
                folder_.discard(copy);
                break;
            case Prompts::RestoreChoice::Later:
                break;
        }
    }
    return false;
}

}  // namespace qvx::editor
