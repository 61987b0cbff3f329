#pragma once

#include <QPointer>
#include <QString>
#include <optional>

namespace platform::cdp {

class CdpPage;
class DevToolsBrowser;

// What the opener's window.open() told us, bound to that one request.
struct WindowOpenFacts {
    QString url;
    bool userGesture = false;
    qint64 arrivedAt = 0;
};

// A popup the browser holds until it is decided.
struct PopupRequest {
    QPointer<DevToolsBrowser> browser;
    int generation = 0; // the browser's connection it was held on
    QString targetId;
    QString sessionId;
    QString openerId;
    QString openerFrameId;
    bool noopener = false; // no access to its opener: a renderer of its own, nothing waits on it
    std::optional<WindowOpenFacts> facts; // none: no window.open was seen for it
    bool openDue = false; // held as it was made, so its window.open is reported too, maybe later
    qint64 attachedAt = 0;
    qint64 queuedUntil = 0; // give up waiting for the opener to be listed after this
};

// How one popup ended, for tests and benchmarks. Times are on the connection's clock (ns).
struct PopupOutcome {
    QString targetId;
    QString openerUrl;
    QString url; // from window.open, when seen
    bool cancelled = false;
    bool asked = false; // false: resolved without a listener (no opener, or at exit)
    qint64 attachedAt = 0;
    qint64 commandAt = 0;  // the allow or cancel command was written
    qint64 releasedAt = 0; // the browser confirmed the release (0: never)
};

} // namespace platform::cdp
