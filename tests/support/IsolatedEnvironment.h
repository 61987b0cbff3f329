#pragma once

#include <QString>
#include <QTemporaryDir>

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR at fresh
// temporary folders for the life of the object.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    IsolatedEnvironment(const IsolatedEnvironment&) = delete;
    IsolatedEnvironment& operator=(const IsolatedEnvironment&) = delete;

private:
    QTemporaryDir m_root;
    QList<std::pair<QByteArray, QByteArray>> m_saved;
};
