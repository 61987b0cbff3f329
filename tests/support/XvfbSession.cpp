#include "support/XvfbSession.h"

#include <QtGlobal>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

XvfbSession::XvfbSession() {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(fds[0]);
        char fd[16];
        std::snprintf(fd, sizeof fd, "%d", fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd, "-nolisten", "tcp", "-screen", "0", "1024x768x24",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    m_pid = pid;
    QByteArray number;
    pollfd waitFor{fds[0], POLLIN, 0};
    while (poll(&waitFor, 1, 10000) > 0) {
        char buffer[16];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, got);
        if (number.contains('\n'))
            break;
    }
    close(fds[0]);
    number = number.trimmed();
    if (!number.isEmpty())
        m_display = QStringLiteral(":") + QString::fromLatin1(number);
}

XvfbSession::~XvfbSession() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

bool XvfbSession::startForProcess() {
    static XvfbSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return false;
    }
    qputenv("DISPLAY", session.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    // No session bus: Qt then docks tray icons through XEmbed, and nothing autolaunches a bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zor-no-bus");
    return true;
}
