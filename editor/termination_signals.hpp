#pragma once

#include <QObject>
#include <csignal>
#include <vector>

class QSocketNotifier;

namespace qvx::editor {

// Turns SIGTERM, SIGINT and SIGHUP (a log-out, Ctrl+C in the terminal, a closed terminal) into
// a Qt signal on the event loop's thread. The handler only writes the signal's number into a
// socket pair, the one thing that is safe there; everything else happens in `received`. One
// instance at a time; the handlers that were there before come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT

  public:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void received(int signal);

  private:
    void readPending();

    int sockets_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::vector<struct sigaction> previous_;
};

}  // namespace qvx::editor
