// Firefox popup decisions as the program makes them: a scripted relay on the program's real
// socket asks about popups; the registry, its wrappers and a listener that reads what the
// decision reads and looks the domain up in two full lists answer. Figures: the program's own
// time from the relay's message to its verdict, and the round trip as the relay sees it.
#include "BenchTiming.h"
#include "FullLists.h"
#include "browser/clsIEManager.h"
#include "browser/clsIEWindow.h"
#include "lists/DomainLists.h"
#include "platform/Failure.h"
#include "platform/firefox/FirefoxShellWindows.h"
#include "platform/firefox/wire/ExtensionMessage.h"
#include "platform/firefox/wire/NativeFrame.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace platform::firefox;

namespace {

constexpr int Popups = 2000;
constexpr int Tabs = 50;

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return condition();
}

// The relay's side of the socket: frames out, verdicts back.
struct ScriptedRelay {
    QLocalSocket socket;
    FrameReader reader;
    int verdicts = 0;
    int cancelled = 0;

    void send(const ExtensionMessage& message) { socket.write(frame(message.toJson())); }
    void read() {
        reader.append(socket.readAll());
        while (const auto payload = reader.next()) {
            const auto message = ExtensionMessage::parse(*payload, ExtensionMessage::Direction::ToBrowser);
            if (message && message->type == ExtensionMessage::Type::Verdict) {
                ++verdicts;
                cancelled += message->cancel ? 1 : 0;
            }
        }
    }
};

ExtensionMessage tab(int id, int window, const QString& url) {
    ExtensionMessage message;
    message.type = ExtensionMessage::Type::Tab;
    message.tab = id;
    message.window = window;
    message.url = url;
    message.title = u"page %1"_s.arg(id);
    return message;
}

ExtensionMessage popup(int id, int opener, bool gesture) {
    ExtensionMessage message;
    message.type = ExtensionMessage::Type::Popup;
    message.id = id;
    message.opener = opener;
    message.popupTab = 100000 + id;
    message.gesture = gesture;
    return message;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    // Both lists full, as the program keeps them.
    QTemporaryDir folder;
    if (!writeFullLists(folder.path()))
        return 1;
    DomainLists lists(folder.path());
    lists.LoadList();

    FirefoxShellWindows windows(relaySocketFolder());
    clsIEManager manager(windows);
    QObject::connect(&manager, &clsIEManager::NewWindow2, [&](QObject*&, bool& Cancel, QVariant& key) {
        clsIEWindow* opener = manager.Explorer(key);
        if (!opener)
            return;
        const QString url = opener->Parent()->LocationURL();
        platform::HtmlDocument* document = opener->Document();
        const bool isAccepted = lists.IsInList(QUrl(url).host(), DomainLists::Accepted);
        QString domain;
        zor::tryStep("domain", [&] { domain = document->domain(); });
        const bool isDenied = lists.IsInList(domain, DomainLists::Denied);
        bool gesture = false;
        zor::tryStep("event", [&] { gesture = document->parentWindowEventIsObject(); });
        Cancel = !isAccepted && (isDenied || !gesture);
    });
    std::vector<double> ownUs;
    QObject::connect(&windows, &FirefoxShellWindows::popupResolved, [&](const FirefoxPopupOutcome& outcome) {
        if (outcome.asked)
            ownUs.push_back(static_cast<double>(outcome.answeredNs - outcome.receivedNs) / 1e3);
    });

    ScriptedRelay relay;
    QObject::connect(&relay.socket, &QLocalSocket::readyRead, [&] { relay.read(); });
    relay.socket.connectToServer(relaySocketPath());
    if (!relay.socket.waitForConnected(5000)) {
        std::fprintf(stderr, "bench_firefox: cannot reach the program's socket\n");
        return 1;
    }
    // Tabs over five windows, as a busy Firefox has them.
    for (int id = 1; id <= Tabs; ++id)
        relay.send(tab(id, 1 + id % 5, u"http://site-%1.test/page"_s.arg(id)));
    waitUntil([&] { return manager.ExplorerCount() == Tabs; });

    // One popup at a time, as a page waits for each: the round trip is what the extension waits.
    std::vector<double> roundTripUs;
    QElapsedTimer clock;
    for (int id = 1; id <= Popups; ++id) {
        const int answered = relay.verdicts;
        clock.start();
        relay.send(popup(id, 1 + id % Tabs, id % 2 == 0));
        relay.socket.flush();
        waitUntil([&] { return relay.verdicts > answered; });
        roundTripUs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e3);
    }
    std::printf("Firefox popup decisions over %d popups, %d tabs, both lists full\n", Popups, Tabs);
    std::printf("(a) relay message -> verdict, the program's own time: median %.1f us, p99 %.1f us\n",
                percentile(ownUs, 0.5), percentile(ownUs, 0.99));
    std::printf("(b) relay write -> verdict read, over the local socket: median %.1f us, p99 %.1f us\n",
                percentile(roundTripUs, 0.5), percentile(roundTripUs, 0.99));
    std::printf("(c) cancelled: %d of %d (every popup without a gesture)\n", relay.cancelled, relay.verdicts);
    return 0;
}
