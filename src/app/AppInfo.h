#pragma once

#include "app/Version.h"

#include <QString>

namespace App {
inline const QString MakerNotice =
    QStringLiteral("ZOR Brakkon, made by the ZOR Brakkon developers. Free to use.");

inline QString VersionCaption() {
    return QStringLiteral("ZOR Brakkon Version %1.%2.%3").arg(Major).arg(Minor).arg(Revision);
}
} // namespace App
