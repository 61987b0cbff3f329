// ZORBrakkonHolder: starts a Chromium-family browser with its DevTools on a pipe and holds that
// pipe for the browser's whole life, so that ZOR Brakkon can quit, crash or restart while the
// user's browser goes on.
//
//   ZORBrakkonHolder --folder DIR --log FILE [--wait MS] -- PROGRAM [ARGUMENTS...]
//
// The first process waits until the browser answered on its pipe (or did not) and prints one
// line: "ready <browser pid> <socket>" (exit 0), "refused" (3: the browser said it will not
// speak DevTools on this profile), "exited" (4: it ended first), "silent" (5: no answer within
// MS milliseconds) or "failed <reason>" (1). The holder itself stays in the background and
// ends with its browser.
#include "host/BrowserHolder.h"
#include "platform/pipe/HolderSockets.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using host::BrowserHolder;
using platform::pipe::HolderSockets;

namespace {

struct Options {
    std::string folder;
    std::string log;
    int waitMs = 15000;
    std::vector<char*> browser; // program and arguments, ended by nullptr
};

bool parse(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (i + 1 >= argc)
            return false;
        if (std::strcmp(argv[i], "--folder") == 0)
            options.folder = argv[++i];
        else if (std::strcmp(argv[i], "--log") == 0)
            options.log = argv[++i];
        else if (std::strcmp(argv[i], "--wait") == 0)
            options.waitMs = std::atoi(argv[++i]);
        else
            return false;
    }
    for (++i; i < argc; ++i)
        options.browser.push_back(argv[i]);
    options.browser.push_back(nullptr);
    return !options.folder.empty() && !options.log.empty() && options.browser.size() > 1;
}

// The first process: passes the holder's verdict on and ends.
int relayVerdict(int verdictFd) {
    std::string line;
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(verdictFd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            line.append(buffer, static_cast<size_t>(got));
    if (line.empty())
        line = "failed the holder ended without a word\n";
    std::fputs(line.c_str(), stdout);
    const std::string word = line.substr(0, line.find_first_of(" \n"));
    return word == "ready" ? 0 : word == "refused" ? 3 : word == "exited" ? 4 : word == "silent" ? 5 : 1;
}

void tell(int& verdictFd, const QString& line) {
    if (verdictFd < 0)
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    [[maybe_unused]] const ssize_t written =
        ::write(verdictFd, bytes.constData(), static_cast<size_t>(bytes.size()));
    ::close(verdictFd);
    verdictFd = -1;
}

// The browser, with the pipe as its descriptors 3 (commands in) and 4 (answers out).
pid_t startBrowser(const Options& options, int browserEnd) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::dup2(browserEnd, 3);
    ::dup2(browserEnd, 4);
    ::execvp(options.browser[0], options.browser.data());
    std::fprintf(stderr, "holder: cannot run %s: %s\n", options.browser[0], std::strerror(errno));
    ::_exit(127);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s --folder DIR --log FILE [--wait MS] -- PROGRAM [ARGUMENTS...]\n",
                     argv[0]);
        return 2;
    }
    int verdict[2];
    if (::pipe2(verdict, O_CLOEXEC) != 0)
        return 1;
    const pid_t background = ::fork();
    if (background < 0)
        return 1;
    if (background > 0) {
        ::close(verdict[1]);
        return relayVerdict(verdict[0]);
    }

    // The holder: a session of its own, so that the program's end, its terminal or its process
    // group take neither the holder nor the browser along.
    ::close(verdict[0]);
    int verdictFd = verdict[1];
    ::setsid();
    ::umask(077);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int log = ::open(options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(log >= 0 ? log : null, STDERR_FILENO);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        tell(verdictFd,
             QStringLiteral("failed no socket pair: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    const pid_t browser = startBrowser(options, pair[1]);
    ::close(pair[1]);
    if (browser < 0) {
        tell(verdictFd, QStringLiteral("failed cannot start the browser"));
        return 1;
    }

    QCoreApplication app(argc, argv);
    BrowserHolder holder(pair[0], browser, QString::fromLocal8Bit(options.log.c_str()));
    QObject::connect(&holder, &BrowserHolder::browserEnded, &app, [&] {
        tell(verdictFd, QStringLiteral("exited"));
        app.quit();
    });
    holder.waitForAnswer(options.waitMs, [&](BrowserHolder::Start start) {
        if (start == BrowserHolder::Start::Answered) {
            const QString folder = QString::fromLocal8Bit(options.folder.c_str());
            const QString socket = HolderSockets::socketPath(folder, browser);
            QString problem;
            if (HolderSockets::preparePrivateFolder(folder, &problem) && holder.offer(socket, &problem)) {
                tell(verdictFd, QStringLiteral("ready %1 %2").arg(browser).arg(socket));
                return;
            }
            tell(verdictFd, QStringLiteral("failed ") + problem);
        } else if (start != BrowserHolder::Start::Exited) {
            tell(verdictFd, start == BrowserHolder::Start::Refused ? QStringLiteral("refused")
                                                                   : QStringLiteral("silent"));
        }
        // The pipe is of no use: end the window that was opened.
        holder.endBrowser();
        QMetaObject::invokeMethod(
            &app, [&app] { app.exit(0); }, Qt::QueuedConnection);
    });
    return app.exec();
}
