#include "support/IsolatedEnvironment.h"

#include <QDir>
#include <QFile>

namespace {
const char* const Variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                 "XDG_RUNTIME_DIR"};
}

IsolatedEnvironment::IsolatedEnvironment()
    : m_root(QDir::tempPath() + QLatin1String("/zor-test-XXXXXX")) {
    for (const char* name : Variables) {
        m_saved.append({name, qgetenv(name)});
        QString folder = m_root.path() + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(folder);
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(name, QFile::encodeName(folder));
    }
}

IsolatedEnvironment::~IsolatedEnvironment() {
    for (const auto& [name, value] : m_saved) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}
