#include "platform/common/SingleInstanceGuard.h"

#include "platform/Log.h"
#include "platform/common/XdgPaths.h"

#include <QDir>

namespace platform {

SingleInstanceGuard::SingleInstanceGuard(const QString& name)
    : m_path(XdgPaths::runtimeDir() + QLatin1Char('/') + name + QLatin1String(".lock"))
    , m_lock(m_path) {
    // Never give up a live holder's lock because it is old: the program runs for days.
    m_lock.setStaleLockTime(0);
}

bool SingleInstanceGuard::tryAcquire() {
    QDir().mkpath(XdgPaths::runtimeDir());
    if (m_lock.tryLock(0))
        return true;
    if (m_lock.error() != QLockFile::LockFailedError)
        qCWarning(lcPlatform, "cannot create the lock %s; starting anyway", qUtf8Printable(m_path));
    return m_lock.error() != QLockFile::LockFailedError;
}

} // namespace platform
