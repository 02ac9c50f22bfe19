#include "editor/termination_signals.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

namespace qvx::editor {
namespace {

// Lock-free, so the handler may read it.
std::atomic<int> writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void onSignal(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full socket means the event loop already has a signal to handle: nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &number, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets_) != 0)
        return;  // without the pair the signals keep their old handling
    writeEnd = sockets_[0];
    notifier_ = new QSocketNotifier(sockets_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPending);

    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        struct sigaction before {};
        ::sigaction(signal, &action, &before);
        previous_.push_back(before);
    }
}

TerminationSignals::~TerminationSignals() {
    for (std::size_t i = 0; i < previous_.size(); ++i)
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    writeEnd = -1;
    for (const int fd : sockets_)
        if (fd >= 0) ::close(fd);
}

void TerminationSignals::readPending() {
    unsigned char number = 0;
    while (::read(sockets_[1], &number, 1) == 1)
        emit received(number);
}

}  // namespace qvx::editor
