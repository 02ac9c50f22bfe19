#pragma once

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "song/recovery.hpp"

class QTimer;

namespace qvx::editor {

class MainWindow;
class Prompts;
class TerminationSignals;

// Keeps the session's work safe: while the song has unsaved changes a recovery copy is written
// every minute, and once more when a terminating signal arrives, after which the program ends
// without a question. At start-up it offers back what an earlier session left behind.
class SessionKeeper : public QObject {
    Q_OBJECT

  public:
    static constexpr int kIntervalMs = 60 * 1000;
    using QuitFn = std::function<void()>;

    // `quit` ends the program after a terminating signal (the event loop's exit).
    SessionKeeper(MainWindow& window, Prompts& prompts, const std::filesystem::path& folder,
                  QuitFn quit, QObject* parent = nullptr);
    // A session that ends other than by a signal has saved or discarded its changes: its copy
    // goes with it.
    ~SessionKeeper() override;

    // Asks about each copy an ended session left, newest first, until one is restored; a copy
    // that cannot be read is reported and kept aside. Returns whether a song was restored.
    bool offerRestore();
    // Brings the copy up to date: written when the song has changes it does not hold yet,
    // removed when the song has none.
    void keepCopy();
    const RecoveryFolder& folder() const { return folder_; }
    // A terminating signal arrived: whatever was about to be asked is no longer wanted.
    bool ended() const { return endedBySignal_; }

  private:
    void terminate(int signal);

    MainWindow& window_;
    Prompts& prompts_;
    RecoveryFolder folder_;
    QuitFn quit_;
    QTimer* timer_ = nullptr;
    TerminationSignals* signals_ = nullptr;
    std::uint64_t copiedRevision_ = 0;
    bool endedBySignal_ = false;
};

}  // namespace qvx::editor
