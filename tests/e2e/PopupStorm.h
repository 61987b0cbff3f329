#pragma once

#include "support/BrowserTestClient.h"
#include "support/HttpTestServer.h"

#include <QByteArray>
#include <QStringList>

// Pages that call window.open in a tight loop, many tabs at once, and what they counted.
namespace PopupStorm {

// Served at /storm.html; started by run().
extern const QByteArray Page;

struct Result {
    int calls = 0;    // window.open calls made
    int closed = 0;   // of their windows, closed (a cancelled popup's window closes moments later)
    int finished = 0; // tabs whose loop ended
};

// Opens one storm tab per host, all starting at the same moment, and waits until every loop has
// ended.
Result run(BrowserTestClient& client, const HttpTestServer& server, const QStringList& hosts,
           int milliseconds);

// storm0.test, storm1.test, ...: one host per storm tab.
QStringList hosts(int count);

// VmRSS of a process.
qint64 residentBytes(qint64 pid);

} // namespace PopupStorm
