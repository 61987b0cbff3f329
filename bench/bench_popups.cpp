// Popup decision speed against real headless Chromium instances: our time from a popup's
// attach to the allow/cancel command, decided by the main window's own handler over both lists
// full (every popup cancelled, its domain added to the full denied list), attach-to-release against a client
// with no logic at all and over the pipe of a browser started through the holder (as --launch-browser does),
// and popup addresses requested while blocking (must be none).
#include "BenchTiming.h"
#include "FullLists.h"
#include "app/frmMain.h"
#include "browser/clsIEManager.h"
#include "browser/clsIEWindow.h"
#include "lists/DomainLists.h"
#include "platform/Dialogs.h"
#include "platform/Failure.h"
#include "platform/Platform.h"
#include "platform/cdp/CdpShellWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>

using namespace Qt::StringLiterals;
using platform::cdp::CdpShellWindows;
using platform::cdp::DevToolsConnection;

namespace {

constexpr int Popups = 200;

// The processor time of this thread: what the decision itself costs, without the time the
// scheduler gave the processors to the browser or anything else while it ran.
qint64 threadCpuNs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// How long this thread has sat ready to run while others had the processors (ns).
qint64 threadRunQueueNs() {
    QFile stat(u"/proc/thread-self/schedstat"_s);
    return stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ').value(1).toLongLong() : 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return condition();
}

// A headless Chromium of its own, fresh profile, its own popup blocker off.
struct Chromium {
    QTemporaryDir profile;
    QProcess process;
    QUrl ws;
    Chromium() {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStandardPaths::findExecutable(u"chromium"_s),
                      {u"--headless=new"_s, u"--no-sandbox"_s, u"--disable-gpu"_s, u"--disable-quic"_s,
                       u"--no-first-run"_s, u"--disable-background-networking"_s,
                       u"--disable-component-update"_s, u"--disable-sync"_s, u"--disable-popup-blocking"_s,
                       u"--user-data-dir="_s + profile.path(), u"--remote-debugging-port=0"_s,
                       u"--host-resolver-rules=MAP *.test 127.0.0.1"_s, u"about:blank"_s});
        waitUntil([&] {
            QFile file(profile.filePath(u"DevToolsActivePort"_s));
            if (!file.open(QIODevice::ReadOnly))
                return false;
            const QList<QByteArray> lines = file.readAll().split('\n');
            if (lines.size() < 2 || lines[1].isEmpty())
                return false;
            ws = QUrl(
                u"ws://127.0.0.1:%1%2"_s.arg(QString::fromLatin1(lines[0]), QString::fromLatin1(lines[1])));
            return true;
        });
    }
    ~Chromium() {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        if (!process.waitForFinished(5000))
            ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
};

// A headless Chromium started through the holder, DevTools on its pipe only, on a page that
// starts opening popups once the program has had time to attach.
struct HeldChromium {
    QTemporaryDir dir;
    QString socket;
    qint64 pid = 0;
    explicit HeldChromium(const QString& page) {
        QProcess holder;
        holder.start(QCoreApplication::applicationDirPath() + u"/../bin/ZORBrakkonHolder"_s,
                     {u"--folder"_s, dir.filePath(u"holders"_s), u"--log"_s, dir.filePath(u"log"_s), u"--"_s,
                      QStandardPaths::findExecutable(u"chromium"_s), u"--headless=new"_s, u"--no-sandbox"_s,
                      u"--disable-gpu"_s, u"--disable-quic"_s, u"--no-first-run"_s,
                      u"--disable-background-networking"_s, u"--disable-component-update"_s,
                      u"--disable-sync"_s, u"--disable-popup-blocking"_s,
                      u"--user-data-dir="_s + dir.filePath(u"profile"_s), u"--remote-debugging-pipe"_s,
                      u"--host-resolver-rules=MAP *.test 127.0.0.1"_s, page});
        holder.waitForFinished(30000);
        const QStringList verdict = QString::fromUtf8(holder.readAllStandardOutput()).trimmed().split(u' ');
        if (verdict.value(0) == "ready"_L1) {
            pid = verdict.value(1).toLongLong();
            socket = verdict.mid(2).join(u' ');
        }
    }
    ~HeldChromium() {
        if (pid > 0)
            ::kill(static_cast<pid_t>(pid), SIGTERM);
    }
};

// Opens a tab from a connection of its own that never holds anything.
void openTab(const QUrl& ws, const QString& url) {
    DevToolsConnection driver;
    driver.open(ws);
    waitUntil([&] { return driver.isOpen(); });
    bool done = false;
    driver.send(u"Target.createTarget"_s, {{"url"_L1, url}}, {},
                [&](const QJsonObject&, const QJsonObject&) { done = true; });
    waitUntil([&] { return done; });
}

// Serves one page that opens a popup every 60 ms while it runs, and counts popup requests.
struct PageServer {
    QTcpServer server;
    int popupRequests = 0;
    PageServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray head = s->readAll();
                    if (head.contains("GET /popup"))
                        ++popupRequests;
                    const QByteArray start =
                        head.contains("GET /?late") ? "setTimeout(storm, 2000)" : "storm()";
                    const QByteArray body = "<script>let n = 0; function storm() { setInterval(() => "
                                            "window.open('/popup/' + (++n), '_blank'), 60); } " +
                                            start + ";</script>";
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: "
                             "close\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url() const { return u"http://site-a.test:%1/"_s.arg(server.serverPort()); }
};

struct Run {
    std::vector<double> decisionUs;    // the main window's handler alone
    std::vector<double> decisionCpuUs; // the same, this thread's processor time
    std::vector<double> decisionOwnUs; // the same, less the time the thread waited for a processor
    std::vector<double> commandUs;
    std::vector<double> releaseMs;
    int popupRequests = 0;
};

// Whatever the window would ask the user is answered at once: a benchmark has no one to ask.
class NoOneAsked final : public platform::Dialogs {
public:
    platform::MsgAnswer messageBox(QWidget*, const QString&, platform::MsgIcon, platform::MsgButtons,
                                   const QString&) override {
        return platform::MsgAnswer::Ok;
    }
    std::optional<QString> inputBox(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    platform::FileDialogResult fileDialog(const platform::FileDialogRequest&) override { return {}; }
    bool shellOpen(QWidget*, const QString&, const QString&, const QString&) override { return false; }
};

// The program's path: registry, wrappers and the main window's own decision, in popup mode
// "ALL popups" with the lists loaded from a folder holding both full.
Run runProgram(bool ignoreErrors, const QString& listFolder, bool overPipe = false) {
    Run run;
    PageServer pages;
    std::optional<Chromium> chromium;
    std::optional<HeldChromium> held;
    QList<platform::cdp::BrowserSource> sources;
    if (overPipe) {
        held.emplace(pages.url() + u"?late"_s);
        platform::cdp::BrowserSource source;
        source.kind = platform::cdp::BrowserSource::Kind::Holder;
        source.file = held->socket;
        sources << source;
    } else {
        chromium.emplace();
        sources = CdpShellWindows::endpointSources({chromium->ws.toString()});
    }
    CdpShellWindows windows(sources);
    frmMain::Services services;
    // The window's handler is connected between these two, so they time it alone.
    QElapsedTimer decision;
    qint64 decisionCpu = 0;
    qint64 waitedBefore = 0;
    services.makeIEManager = [&] {
        auto manager = std::make_unique<clsIEManager>(windows);
        QObject::connect(manager.get(), &clsIEManager::NewWindow2, [&](QObject*&, bool&, QVariant&) {
            waitedBefore = threadRunQueueNs();
            decisionCpu = threadCpuNs();
            decision.start();
        });
        return manager;
    };
    services.listFolder = listFolder;
    frmMain form(services);
    form.Form_Load();
    form.optMode[1]->setChecked(true);
    form.chkIgnoreErrors->setChecked(ignoreErrors);
    const clsIEManager& manager = *form.mobjIEManager;
    QObject::connect(&manager, &clsIEManager::NewWindow2, [&](QObject*&, bool&, QVariant&) {
        const qint64 elapsed = decision.nsecsElapsed();
        run.decisionCpuUs.push_back(static_cast<double>(threadCpuNs() - decisionCpu) / 1e3);
        run.decisionUs.push_back(static_cast<double>(elapsed) / 1e3);
        run.decisionOwnUs.push_back(static_cast<double>(elapsed - (threadRunQueueNs() - waitedBefore)) / 1e3);
    });
    QObject::connect(&windows, &CdpShellWindows::popupResolved, [&](const platform::cdp::PopupOutcome& o) {
        if (!o.asked)
            return;
        run.commandUs.push_back(static_cast<double>(o.commandAt - o.attachedAt) / 1e3);
        if (o.releasedAt)
            run.releaseMs.push_back(static_cast<double>(o.releasedAt - o.attachedAt) / 1e6);
    });
    waitUntil([&] { return windows.connectedCount() == 1 && manager.ExplorerCount() >= 1; });
    if (chromium)
        openTab(chromium->ws, pages.url());
    waitUntil([&] { return run.commandUs.size() >= Popups + 5; }, 120000);
    run.popupRequests = pages.popupRequests;
    return run;
}

// A client with no logic at all: every popup is cancelled and its opener released.
Run runMinimalClient() {
    Run run;
    Chromium chromium;
    PageServer pages;
    DevToolsConnection cdp;
    QHash<QString, QString> sessionOfTarget;
    QObject::connect(&cdp, &DevToolsConnection::eventReceived,
                     [&](const QString& method, const QJsonObject& p, const QString&) {
                         if (method != "Target.attachedToTarget"_L1)
                             return;
                         const qint64 at = cdp.receivedAt();
                         const QJsonObject info = p.value("targetInfo"_L1).toObject();
                         const QString session = p.value("sessionId"_L1).toString();
                         const QString opener = info.value("openerId"_L1).toString();
                         if (opener.isEmpty()) {
                             sessionOfTarget.insert(info.value("targetId"_L1).toString(), session);
                             cdp.send(u"Runtime.runIfWaitingForDebugger"_s, {}, session);
                             return;
                         }
                         cdp.send(u"Target.closeTarget"_s, {{"targetId"_L1, info.value("targetId"_L1)}});
                         cdp.send(u"Runtime.runIfWaitingForDebugger"_s, {}, sessionOfTarget.value(opener),
                                  [&, at](const QJsonObject&, const QJsonObject&) {
                                      run.releaseMs.push_back(static_cast<double>(cdp.now() - at) / 1e6);
                                  });
                         cdp.flush();
                     });
    cdp.open(chromium.ws);
    waitUntil([&] { return cdp.isOpen(); });
    cdp.send(u"Target.setAutoAttach"_s, {{"autoAttach"_L1, true},
                                         {"waitForDebuggerOnStart"_L1, true},
                                         {"flatten"_L1, true},
                                         {"filter"_L1, QJsonArray{QJsonObject{{"type"_L1, "page"_L1}}}}});
    openTab(chromium.ws, pages.url());
    waitUntil([&] { return run.releaseMs.size() >= Popups + 5; }, 120000);
    run.popupRequests = pages.popupRequests;
    return run;
}

double median(const std::vector<double>& v) {
    return percentile(v, 0.5);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::setDialogs(std::make_unique<NoOneAsked>());
    // Both lists full, as the program keeps them; each run starts from these files.
    QTemporaryDir folder;
    if (!writeFullLists(folder.path()))
        return 1;
    std::printf("popup decisions over %d popups per run, real headless Chromium\n", Popups);
    std::vector<double> ours, minimal, pipe;
    int requested = 0;
    for (const bool ignoreErrors : {false, true}) {
        const Run program = runProgram(ignoreErrors, folder.path());
        const Run bare = runMinimalClient(); // alternately, each on a browser of its own
        const Run piped = runProgram(ignoreErrors, folder.path(), true);
        std::printf(
            "(a) the window's decision, ignore script errors %-3s: median %.1f us, p99 %.1f us (processor "
            "time: median %.1f us, p99 %.1f us; without waits for a processor: p99 %.1f us); attach -> "
            "command median %.1f us, p99 %.1f us (%zu popups)\n",
            ignoreErrors ? "on" : "off", median(program.decisionUs), percentile(program.decisionUs, 0.99),
            median(program.decisionCpuUs), percentile(program.decisionCpuUs, 0.99),
            percentile(program.decisionOwnUs, 0.99), median(program.commandUs),
            percentile(program.commandUs, 0.99), program.commandUs.size());
        ours.insert(ours.end(), program.releaseMs.begin(), program.releaseMs.end());
        minimal.insert(minimal.end(), bare.releaseMs.begin(), bare.releaseMs.end());
        pipe.insert(pipe.end(), piped.releaseMs.begin(), piped.releaseMs.end());
        requested += program.popupRequests + piped.popupRequests;
    }
    std::printf(
        "(b) attach -> opener released: ours median %.2f ms, minimal client median %.2f ms, ratio %.3f\n",
        median(ours), median(minimal), median(minimal) > 0 ? median(ours) / median(minimal) : 0.0);
    std::printf("(b) the same over the pipe through the holder: median %.2f ms (%zu popups), ratio to the "
                "WebSocket %.3f\n",
                median(pipe), pipe.size(), median(ours) > 0 ? median(pipe) / median(ours) : 0.0);
    std::printf("(c) popup addresses requested while blocking: %d\n", requested);
    return 0;
}
