#include "support/SpawnedServer.h"

#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

SpawnedServer::SpawnedServer(const QStringList& command) {
    int fds[2];
    if (command.isEmpty() || pipe(fds) != 0)
        return;
    // Built before the fork: the child may only call what is safe there.
    std::vector<QByteArray> args;
    for (QString arg : command)
        args.push_back(arg.replace(QLatin1String("{fd}"), QString::number(fds[1])).toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(fds[0]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    m_pid = pid;
    pollfd waitFor{fds[0], POLLIN, 0};
    while (!m_line.contains('\n') && poll(&waitFor, 1, 10000) > 0) {
        char buffer[256];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        m_line.append(buffer, got);
    }
    close(fds[0]);
    m_line = m_line.left(m_line.indexOf('\n')).trimmed();
}

SpawnedServer::~SpawnedServer() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}
