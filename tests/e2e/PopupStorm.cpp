#include "e2e/PopupStorm.h"

#include <QDateTime>
#include <QFile>

using namespace Qt::StringLiterals;

namespace PopupStorm {

// Waits for the start time in its address, then opens popups as fast as they are answered until
// the time is up. No timer after the loop: a tab in the background that kept its thread busy
// for seconds has its timers held back by the browser for a long while.
const QByteArray Page = R"(<!DOCTYPE html><title>storm</title><script>
const query = new URLSearchParams(location.search);
const at = Number(query.get('at')), duration = Number(query.get('ms'));
window.popups = [];
setTimeout(() => {
  const end = Date.now() + duration;
  while (Date.now() < end)
    popups.push(window.open('/popup/' + location.hostname + '/' + popups.length));
  window.loopDone = true;
}, Math.max(0, at - Date.now()));
</script>)";

qint64 residentBytes(qint64 pid) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

Result run(BrowserTestClient& client, const HttpTestServer& server, const QStringList& hosts,
           int milliseconds) {
    const qint64 at = QDateTime::currentMSecsSinceEpoch() + 1500;
    QStringList sessions;
    for (const QString& host : hosts)
        sessions << client.attach(
            client.openTab(server.url(host, u"/storm.html?at=%1&ms=%2"_s.arg(at).arg(milliseconds))));
    const auto count = [&](const QString& expression) {
        int sum = 0;
        for (const QString& session : sessions)
            sum += client.evaluate(session, expression).toInt();
        return sum;
    };
    Result result;
    waitUntil([&] { return count(u"window.loopDone ? 1 : 0"_s) == sessions.size(); }, milliseconds + 60000);
    result.finished = count(u"window.loopDone ? 1 : 0"_s);
    result.calls = count(u"popups.length"_s);
    // The last popups are closed moments after their window.open() returned.
    waitUntil([&] { return count(u"popups.filter(p => p === null || p.closed).length"_s) == result.calls; },
              3000);
    result.closed = count(u"popups.filter(p => p === null || p.closed).length"_s);
    return result;
}

QStringList hosts(int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("storm%1.test").arg(i);
    return names;
}

} // namespace PopupStorm
