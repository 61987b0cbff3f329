#pragma once

#include <QLockFile>
#include <QString>

namespace platform {

// Held by the one running instance: a lock file in the user's runtime folder. A holder that
// died leaves a lock that the next start takes over at once.
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const QString& name);
    // True when this process now holds the lock; false when another instance does.
    bool tryAcquire();
    QString path() const { return m_path; }

private:
    QString m_path;
    QLockFile m_lock;
};

} // namespace platform
