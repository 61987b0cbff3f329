#pragma once

#include <QString>

namespace platform {

// The freedesktop base folders, read from the environment on every call so that tests can
// point them elsewhere.
struct XdgPaths {
    static QString configHome();
    static QString dataHome();
    static QString runtimeDir();
};

} // namespace platform
