// What the 50 ms key poll costs: one key-state read, and one tray-icon update that changes
// nothing. Runs on $DISPLAY, or on a private Xvfb (with a trayer, so the icon is really docked)
// when there is none.
#include "controls/tray/ZorTray.h"
#include "platform/KeyState.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t startXvfb() {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buffer[16] = {};
    pollfd waitFor{fds[0], POLLIN, 0};
    if (pid > 0 && poll(&waitFor, 1, 10000) > 0 && read(fds[0], buffer, sizeof buffer - 1) > 0)
        qputenv("DISPLAY", QByteArray(":") + QByteArray(buffer).trimmed());
    close(fds[0]);
    return pid;
}

void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <typename Step> double nanosecondsPer(int rounds, Step step) {
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < rounds; ++round)
        step();
    return double(timer.nsecsElapsed()) / rounds;
}

} // namespace

int main(int argc, char** argv) {
    pid_t xvfb = 0;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qgetenv("QT_QPA_PLATFORM") != "offscreen")
        xvfb = startXvfb();
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zor-no-bus");
    QApplication app(argc, argv);
    std::printf("display system: %s\n",
                platform::isX11() ? "X11" : qPrintable(QGuiApplication::platformName()));

    QProcess trayer;
    if (platform::isX11()) {
        trayer.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        trayer.start(QStringLiteral("trayer"), {QStringLiteral("--SetDockType"), QStringLiteral("true")});
        trayer.waitForStarted(3000);
        settle(500);
    }

    auto& keys = platform::keyState();
    volatile int held = 0;
    const double perRead = nanosecondsPer(20000, [&] { held = held + (keys.GetKeyState(17) & 0x8000); });
    std::printf("key-state read (GetKeyState 17):            %8.1f us\n", perRead / 1000);
    std::printf("key poll (Ctrl and Shift):                  %8.1f us  (%.3f %% of one core at 20 polls/s)\n",
                2 * perRead / 1000, 2 * perRead * 20 / 1e9 * 100);

    ZorTray tray;
    QPixmap wanted(16, 16);
    wanted.fill(Qt::green);
    tray.setTrayIcon(wanted);
    tray.setTrayTip(QStringLiteral("bench"));
    tray.setInTray(true);
    settle(500);
    std::printf("tray host: %s\n", tray.TrayHwnd() ? "found, icon added" : "none");
    // What the tray status does 20 times a second while nothing changes.
    const double unchanged = nanosecondsPer(1000000, [&] {
        if (tray.TrayIcon().cacheKey() != wanted.cacheKey())
            tray.setTrayIcon(wanted);
    });
    std::printf("unchanged icon update (compare, no set):    %8.1f ns\n", unchanged);
    // The same picture set anyway: reaches the tray icon, which skips the repaint.
    const double setSame = nanosecondsPer(100000, [&] { tray.setTrayIcon(wanted); });
    std::printf("same icon set again (no repaint):           %8.1f ns\n", setSame);

    tray.setInTray(false);
    if (trayer.state() != QProcess::NotRunning) {
        trayer.terminate();
        trayer.waitForFinished(2000);
    }
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    return 0;
}
