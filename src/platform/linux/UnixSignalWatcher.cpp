#include "platform/linux/UnixSignalWatcher.h"

#include "platform/Log.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {
// The handler may only do async-signal-safe work: it writes the number into a socket that the
// event loop watches.
int g_signalSocket[2] = {-1, -1};

void onSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[0], &byte, 1);
}
} // namespace

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent) {
    if (g_signalSocket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSocket) != 0) {
        qCWarning(lcPlatform, "cannot watch for termination signals");
        return;
    }
    for (int end : g_signalSocket)
        ::fcntl(end, F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_signalSocket[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readPending);
    for (int number : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
}

UnixSignalWatcher::~UnixSignalWatcher() {
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        ::signal(number, SIG_DFL);
}

void UnixSignalWatcher::readPending() {
    unsigned char byte = 0;
    while (::read(g_signalSocket[1], &byte, 1) == 1) {
        qCInfo(lcPlatform, "signal %d received", int(byte));
        emit received(byte);
    }
}

} // namespace platform
