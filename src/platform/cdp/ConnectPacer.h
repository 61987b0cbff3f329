#pragma once

#include <QString>

namespace platform::cdp {

// When one browser may be asked for a connection again. A browser the user lets be debugged
// from chrome://inspect shows a prompt for every connection attempt, and an unanswered prompt
// stays on screen even after the client gave up: so attempts go one at a time, and after an
// attempt the user did not allow, the next one waits longer, up to a cap. A series of attempts
// ends with a connection, or when the browser starts again (its DevToolsActivePort then names
// another endpoint); the user is told about the prompt and about a refusal once per series.
class ConnectPacer {
public:
    static constexpr qint64 FirstWaitMs = 30'000;
    static constexpr qint64 LongestWaitMs = 15 * 60'000;

    // The endpoint the browser names now; true when it differs from the last one, which starts
    // a new series.
    bool noteEndpoint(const QString& endpoint);
    // Whether an attempt may start at this time (milliseconds on a monotonic clock).
    bool mayAsk(qint64 nowMs) const { return nowMs >= m_notBefore; }
    // A prompt is up; true for the first one of the series.
    bool asking();
    // The prompt ended without an Allow; true for the first such end of the series.
    bool refused(qint64 nowMs);
    // Connected: the series is over.
    void allowed();
    // How long the last refusal keeps the next prompt back.
    qint64 waitMs() const { return m_wait; }

private:
    void startSeries();

    QString m_endpoint;
    qint64 m_notBefore = 0;
    qint64 m_wait = 0;
    bool m_toldAsking = false;
    bool m_toldRefused = false;
};

} // namespace platform::cdp
